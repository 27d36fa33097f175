#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>

#include "ui/Forms.h"
#include "ui/Threads.h"
#include "ui/UiText.h"

DWORD MainThreadID = GetCurrentThreadId();
HINSTANCE HInstance = GetModuleHandleW(nullptr);
TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

std::atomic<HWND> gAppWindow{nullptr};

void WakeGuiThread() {
  if (HWND W = gAppWindow.load()) PostMessageW(W, CM_SYNCHRONIZE, 0, 0);
}

// Creates the two global objects before main and frees them after it.
struct TGlobals {
  TGlobals() {
    Screen = new TScreen(nullptr);
    Application = new TApplication(nullptr);
    WakeMainThread = WakeGuiThread;
  }
  ~TGlobals() {
    try {
      delete Application;
    } catch (...) {
    }
    Application = nullptr;
    delete Screen;
    Screen = nullptr;
  }
} Globals;

}  // namespace

// ---------------------------------------------------------------------------

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
  wchar_t Path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, Path, MAX_PATH);
  std::wstring P = Path;
  size_t Slash = P.find_last_of(L"\\/");
  std::wstring File = Slash == std::wstring::npos ? P : P.substr(Slash + 1);
  size_t Dot = File.find_last_of(L'.');
  FTitle = Dot == std::wstring::npos ? File : File.substr(0, Dot);
}

TApplication::~TApplication() {
  SetComponentStateFlag(csDestroying, true);
  CancelPendingSynchronize();
  DestroyComponents();
  if (FHandle) {
    gAppWindow = nullptr;
    DestroyWindow(FHandle);
    FHandle = nullptr;
  }
}

std::wstring TApplication::ExeName() const {
  wchar_t Path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, Path, MAX_PATH);
  return Path;
}

void TApplication::SetTitle(const std::wstring& Value) {
  FTitle = Value;
  if (FHandle) SetWindowTextW(FHandle, Value.c_str());
}

void TApplication::Initialize() {
  INITCOMMONCONTROLSEX IC{sizeof IC, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&IC);
  Handle();
}

HWND TApplication::Handle() {
  if (FHandle || GetCurrentThreadId() != MainThreadID) return FHandle;
  WNDCLASSEXW WC{};
  WC.cbSize = sizeof WC;
  if (!GetClassInfoExW(HInstance, L"TApplication", &WC)) {
    WC = WNDCLASSEXW{};
    WC.cbSize = sizeof WC;
    WC.lpfnWndProc = AppWndProc;
    WC.hInstance = HInstance;
    WC.lpszClassName = L"TApplication";
    WC.hIcon = LoadIconW(HInstance, L"MAINICON");
    RegisterClassExW(&WC);
  }
  FHandle = CreateWindowExW(WS_EX_TOOLWINDOW, L"TApplication", FTitle.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            HInstance, this);
  gAppWindow = FHandle;
  return FHandle;
}

LRESULT CALLBACK TApplication::AppWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TApplication* App = Application;
  if (!App || (App->FHandle && App->FHandle != Wnd)) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  if (!App->FHandle) App->FHandle = Wnd;
  TMessage M{Msg, WParam, LParam, 0};
  try {
    // Newest hook first; a hook that handles the message ends it.
    std::vector<std::pair<int, TWindowHook>> Hooks = App->FHooks;
    for (auto It = Hooks.rbegin(); It != Hooks.rend(); ++It)
      if (It->second && It->second(M)) return M.Result;
    App->WndProc(M);
  } catch (...) {
    App->HandleException(App);
  }
  return M.Result;
}

void TApplication::WndProc(TMessage& M) {
  switch (M.Msg) {
    case CM_SYNCHRONIZE:
      ::CheckSynchronize();
      return;
    case CM_RELEASE: {
      auto* Form = reinterpret_cast<TCustomForm*>(M.LParam);
      // Only a form that still exists; a second Release of the same form is harmless.
      if (Screen && std::find(Screen->FormList().begin(), Screen->FormList().end(), Form) != Screen->FormList().end())
        delete Form;
      return;
    }
    case WM_NCDESTROY:
      gAppWindow = nullptr;
      FHandle = nullptr;
      break;
    default:
      break;
  }
  M.Result = DefWindowProcW(FHandle ? FHandle : gAppWindow.load(), M.Msg, M.WParam, M.LParam);
}

int TApplication::HookMainWindow(TWindowHook Hook) {
  int Id = FNextHookId++;
  FHooks.emplace_back(Id, std::move(Hook));
  return Id;
}

void TApplication::UnhookMainWindow(int Id) {
  FHooks.erase(std::remove_if(FHooks.begin(), FHooks.end(), [Id](const auto& H) { return H.first == Id; }),
               FHooks.end());
}

void TApplication::Run() {
  FRunning = true;
  FTerminated = false;
  Handle();
  // An error on the way (in OnShow, say) is reported like any other and the
  // program goes on; it never unwinds out of the loop.
  try {
    if (FMainForm && FShowMainForm) FMainForm->Show();
  } catch (...) {
    HandleException(this);
  }
  while (!FTerminated) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
  // Closing the main form only ended the loop; its window goes now.
  try {
    if (FMainForm && FMainForm->HandleAllocated() && !(FMainForm->ComponentState() & csDestroying)) FMainForm->Hide();
  } catch (...) {
    HandleException(this);
  }
  FRunning = false;
}

bool TApplication::IsDialogKey(MSG& Msg) {
  if (Msg.message != WM_KEYDOWN && Msg.message != WM_KEYUP && Msg.message != WM_CHAR && Msg.message != WM_SYSKEYDOWN &&
      Msg.message != WM_SYSCHAR)
    return false;
  // Tab, Enter and Escape work on forms as they do in dialogs.
  HWND Top = GetAncestor(Msg.hwnd, GA_ROOT);
  if (!Top || !dynamic_cast<TCustomForm*>(TWinControl::FindControl(Top))) return false;
  return IsDialogMessageW(Top, &Msg) != 0;
}

bool TApplication::ProcessMessage(MSG& Msg) {
  if (!PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (Msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  if (!IsDialogKey(Msg)) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  return true;
}

void TApplication::HandleMessage() {
  MSG Msg;
  if (!ProcessMessage(Msg)) {
    // Idle: contexts that canvases took outside painting go back.
    TControlCanvas::FreeDeviceContexts();
    if (!::CheckSynchronize() && !FTerminated) WaitMessage();
  }
}

void TApplication::ProcessMessages() {
  MSG Msg;
  while (ProcessMessage(Msg)) {
  }
}

void TApplication::Terminate() {
  FTerminated = true;
  // Wakes a loop that waits for input; no quit message is left behind for
  // message loops that run after this one.
  if (HWND W = gAppWindow.load()) PostMessageW(W, WM_NULL, 0, 0);
}

HWND TApplication::ActiveFormHandle() const {
  HWND W = GetActiveWindow();
  if (W && IsWindowVisible(W)) return W;
  if (Screen && Screen->ActiveForm() && Screen->ActiveForm()->HandleAllocated()) return Screen->ActiveForm()->WindowHandle();
  if (FMainForm && FMainForm->HandleAllocated()) return FMainForm->WindowHandle();
  return nullptr;
}

namespace {

// The box being shown by this thread and the captions it gets. A box shown
// from within another's loop stacks on it.
struct TBoxCaptions {
  const std::vector<std::pair<int, std::wstring>>* Captions;
  HHOOK Hook = nullptr;
  HWND Box = nullptr;  // the box once seen: its buttons are set once
  TBoxCaptions* Outer = nullptr;
};
thread_local TBoxCaptions* gBoxCaptions = nullptr;

LRESULT CALLBACK BoxCaptionHook(int Code, WPARAM WParam, LPARAM LParam) {
  TBoxCaptions* B = gBoxCaptions;
  // The box's buttons exist once it is activated, before it is first painted.
  if (B && Code == HCBT_ACTIVATE && !B->Box) {
    HWND Wnd = reinterpret_cast<HWND>(WParam);
    wchar_t Class[16] = {};
    GetClassNameW(Wnd, Class, 15);
    if (std::wstring(Class) == L"#32770") {
      B->Box = Wnd;
      for (const auto& [Id, Text] : *B->Captions)
        if (HWND Button = GetDlgItem(Wnd, Id)) SetWindowTextW(Button, Text.c_str());
    }
  }
  return CallNextHookEx(B ? B->Hook : nullptr, Code, WParam, LParam);
}

}  // namespace

void TApplication::SetMessageButtonCaption(int Id, const std::wstring& Caption) {
  for (auto& [Have, Text] : FButtonCaptions)
    if (Have == Id) {
      Text = Caption;
      return;
    }
  FButtonCaptions.emplace_back(Id, Caption);
}

int TApplication::MessageBox(const std::wstring& Text, const std::wstring& Caption, UINT Flags) {
  if (FButtonCaptions.empty()) return ::MessageBoxW(ActiveFormHandle(), Text.c_str(), Caption.c_str(), Flags);
  TBoxCaptions B;
  B.Captions = &FButtonCaptions;
  B.Outer = gBoxCaptions;
  B.Hook = SetWindowsHookExW(WH_CBT, BoxCaptionHook, nullptr, GetCurrentThreadId());
  gBoxCaptions = &B;
  const int Result = ::MessageBoxW(ActiveFormHandle(), Text.c_str(), Caption.c_str(), Flags);
  gBoxCaptions = B.Outer;
  if (B.Hook) UnhookWindowsHookEx(B.Hook);
  return Result;
}

void TApplication::HandleException(TObject* Sender) {
  std::wstring Text;
  try {
    throw;
  } catch (const EClearbayError& E) {
    Text = ToWide(E.Message());
  } catch (const std::exception& E) {
    Text = Utf8ToWide(E.what());
  } catch (...) {
    Text = L"An unknown error occurred";
  }
  try {
    if (OnException)
      OnException(Sender, Text);
    else
      ShowException(Text);
  } catch (...) {
    // The error handler itself failed; nothing more can be reported.
  }
}

void TApplication::ShowException(const std::wstring& Message) {
  MessageBox(Message, FTitle, MB_OK | MB_ICONSTOP);
}

void TApplication::CheckSynchronize() { ::CheckSynchronize(); }

void TApplication::FormDestroying(TCustomForm* Form) {
  if (FMainForm == Form) FMainForm = nullptr;
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FMainForm) FMainForm = nullptr;
}

// ---------------------------------------------------------------------------

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}
TScreen::~TScreen() = default;

void TScreen::AddForm(TCustomForm* Form) {
  if (std::find(FForms.begin(), FForms.end(), Form) == FForms.end()) FForms.push_back(Form);
}

void TScreen::RemoveForm(TCustomForm* Form) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), Form), FForms.end());
  if (FActiveForm == Form) FActiveForm = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* Form) { FActiveForm = Form; }

TCustomForm* TScreen::FormOfHandle(HWND Wnd) const {
  if (!Wnd) return nullptr;
  for (auto It = FForms.rbegin(); It != FForms.rend(); ++It)
    if ((*It)->WindowHandle() == Wnd) return *It;
  return nullptr;
}

void TScreen::SetCursor(TCursor Value) {
  FCursor = Value;
  if (!TThread::IsMainThread()) {
    TThread::Queue([this, Value] { if (FCursor == Value) SetCursor(Value); });
    return;
  }
  POINT P;
  if (!GetCursorPos(&P)) return;
  HWND W = WindowFromPoint(P);
  if (W && GetWindowThreadProcessId(W, nullptr) == GetCurrentThreadId()) {
    LRESULT Hit = SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM(P.x, P.y));
    SendMessageW(W, WM_SETCURSOR, reinterpret_cast<WPARAM>(W), MAKELPARAM(Hit, WM_MOUSEMOVE));
  } else if (Value != crDefault) {
    ::SetCursor(CursorHandle(Value));
  }
}

int TScreen::PixelsPerInch() const {
  HDC DC = GetDC(nullptr);
  int P = GetDeviceCaps(DC, LOGPIXELSY);
  ReleaseDC(nullptr, DC);
  return P;
}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

TRect TScreen::WorkAreaRect() const {
  RECT R;
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &R, 0)) return TRect(0, 0, Width(), Height());
  return FromRECT(R);
}

TRect TScreen::DesktopRect() const {
  int X = GetSystemMetrics(SM_XVIRTUALSCREEN), Y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return Bounds(X, Y, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}
