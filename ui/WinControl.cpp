#include "ui/Controls.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "ui/Forms.h"
#include "ui/Threads.h"
#include "ui/UiText.h"
#include "ui/WindowMap.h"

namespace {

const wchar_t ControlProp[] = L"ClearbayControl";

thread_local TWinControl* tCreating = nullptr;

// The control of each of our windows, found through this map rather than the
// window property beside it. Never destroyed: windows still receive messages
// while static objects go at exit.
TWindowMap<TWinControl>& Controls() {
  static auto* M = new TWindowMap<TWinControl>;
  return *M;
}
TWinControl* MappedControl(HWND Wnd) { return Controls().Find(Wnd); }
void MapControl(HWND Wnd, TWinControl* C) { Controls().Set(Wnd, C); }
void UnmapControl(HWND Wnd) {
  RemovePropW(Wnd, ControlProp);
  Controls().Set(Wnd, nullptr);
}

// Original procedures of system classes taken over under our own class names.
std::map<std::wstring, WNDPROC>& SuperClasses() {
  // Never destroyed: forms are freed while static objects go, and still use it.
  static auto* M = new std::map<std::wstring, WNDPROC>;
  return *M;
}
std::mutex& ClassLock() {
  // Never destroyed: forms are freed while static objects go, and still use it.
  static auto* M = new std::mutex;
  return *M;
}

UINT NextControlId() {
  static std::atomic<UINT> Id{1000};
  return Id++;
}


}  // namespace

LRESULT CALLBACK ControlWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* C = MappedControl(Wnd);
  if (!C) {
    C = tCreating;
    if (!C || C->FHandle) return DefWindowProcW(Wnd, Msg, WParam, LParam);
    C->AttachHandle(Wnd);
  }
  if (Msg == WM_NCHITTEST) {
    // The system sends it just before the WM_SETCURSOR of the same move.
    C->FHitPoint = POINT{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))};
    C->FHitPointFresh = true;
  }
  TMessage M{Msg, WParam, LParam, 0};
  try {
    C->WindowProc(M);
  } catch (...) {
    // Never let an exception unwind through the system's frames.
    if (Application) Application->HandleException(C);
  }
  if (Msg == WM_NCDESTROY) {
    UnmapControl(Wnd);
    if (C->FHandle == Wnd) C->FHandle = nullptr;
  }
  return M.Result;
}

LRESULT CALLBACK CreationHookProc(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code == HCBT_CREATEWND && tCreating && !tCreating->FHandle) {
    auto* CW = reinterpret_cast<CBT_CREATEWNDW*>(LParam);
    if (CW->lpcs && CW->lpcs->lpCreateParams == tCreating) tCreating->AttachHandle(reinterpret_cast<HWND>(WParam));
  }
  return CallNextHookEx(nullptr, Code, WParam, LParam);
}

bool IsOwnProcessWindow(HWND Wnd) {
  DWORD Pid = 0;
  return Wnd && GetWindowThreadProcessId(Wnd, &Pid) && Pid == GetCurrentProcessId();
}

TWinControl* TWinControl::FindControl(HWND Wnd) {
  // A window of another process may carry a property of the same name; its
  // value is no object of ours (windows under the pointer can be anyone's).
  if (!IsOwnProcessWindow(Wnd)) return nullptr;
  return MappedControl(Wnd);
}

TWinControl* TWinControl::CreatingControl() { return tCreating; }

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
  // A window gets clicks and the capture only when its class asks for them.
  FControlStyle &= ~(csClickEvents | csCaptureMouse);
}

TWinControl::~TWinControl() {
  Destroying();
  // Children that outlive this window (owned elsewhere) lose their parent now,
  // while this object is still whole.
  while (!FControls.empty()) RemoveControl(FControls.back());
  DestroyHandle();
}

void TWinControl::AttachHandle(HWND Wnd) {
  FHandle = Wnd;
  SetPropW(Wnd, ControlProp, this);
  MapControl(Wnd, this);
}

HWND TWinControl::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TWinControl::CreateHandle() {
  if (FHandle) return;
  if (ComponentState() & csDestroying) throw EInvalidOperation("Cannot create a window while destroying");
  CreateWnd();
}

void TWinControl::CreateParams(TCreateParams& P) {
  P.Caption = FText;
  P.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (Visible()) P.Style |= WS_VISIBLE;
  if (!Enabled()) P.Style |= WS_DISABLED;
  if (FTabStop) P.Style |= WS_TABSTOP;
  P.X = FLeft;
  P.Y = FTop;
  P.Width = FWidth;
  P.Height = FHeight;
  P.WndParent = FParent ? FParent->Handle() : nullptr;
  P.Param = this;
  P.WindowClass.cbSize = sizeof(WNDCLASSEXW);
  P.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  P.WindowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  P.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
  TCreateParams P;
  CreateParams(P);
  if ((P.Style & WS_CHILD) && !P.WndParent) {
    throw EInvalidOperation("Control " + WideToUtf8(Name()) + " has no parent window");
  }
  {
    std::lock_guard<std::mutex> L(ClassLock());
    WNDCLASSEXW Existing{};
  Existing.cbSize = sizeof Existing;
    bool Registered = GetClassInfoExW(HInstance, P.WinClassName.c_str(), &Existing) != 0;
    if (!P.SysClassName.empty()) {
      auto It = SuperClasses().find(P.WinClassName);
      if (It == SuperClasses().end()) {
        WNDCLASSEXW Sys{};
  Sys.cbSize = sizeof Sys;
        if (!GetClassInfoExW(nullptr, P.SysClassName.c_str(), &Sys))
          throw EComponentError("System window class " + WideToUtf8(P.SysClassName) + " not found");
        SuperClasses()[P.WinClassName] = Sys.lpfnWndProc;
        FDefWndProc = Sys.lpfnWndProc;
        if (!Registered) {
          Sys.cbSize = sizeof(WNDCLASSEXW);
          Sys.hInstance = HInstance;
          Sys.lpszClassName = P.WinClassName.c_str();
          Sys.lpfnWndProc = ControlWndProc;
          Sys.style &= ~CS_GLOBALCLASS;
          if (!RegisterClassExW(&Sys)) throw EComponentError("Cannot register window class " + WideToUtf8(P.WinClassName));
        }
      } else {
        FDefWndProc = It->second;
      }
    } else {
      FDefWndProc = DefWindowProcW;
      if (!Registered) {
        WNDCLASSEXW WC = P.WindowClass;
        WC.cbSize = sizeof(WNDCLASSEXW);
        WC.hInstance = HInstance;
        WC.lpszClassName = P.WinClassName.c_str();
        WC.lpfnWndProc = ControlWndProc;
        if (!RegisterClassExW(&WC)) throw EComponentError("Cannot register window class " + WideToUtf8(P.WinClassName));
      }
    }
  }
  FControlState |= csCreating;
  try {
    CreateWindowHandle(P);
  } catch (...) {
    FControlState &= ~csCreating;
    throw;
  }
  FControlState &= ~csCreating;
  SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), FALSE);
  // Windowed children, in tab order, so the window order follows it.
  std::vector<TWinControl*> Kids;
  for (TControl* C : FControls)
    if (auto* W = WinControlOf(C)) Kids.push_back(W);
  std::stable_sort(Kids.begin(), Kids.end(), [](TWinControl* A, TWinControl* B) { return A->FTabOrder < B->FTabOrder; });
  for (TWinControl* W : Kids) W->HandleNeeded();
  Realign();
}

void TWinControl::CreateWindowHandle(const TCreateParams& P) {
  TWinControl* Prev = tCreating;
  tCreating = this;
  // The handle is known from the very first hook the new window meets, so any
  // later creation hook can match it to this control.
  HHOOK Hook = SetWindowsHookExW(WH_CBT, CreationHookProc, nullptr, GetCurrentThreadId());
  HMENU Id = (P.Style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(NextControlId())) : nullptr;
  HWND Wnd = CreateWindowExW(P.ExStyle, P.WinClassName.c_str(), P.Caption.c_str(), P.Style, P.X, P.Y, P.Width,
                             P.Height, P.WndParent, Id, HInstance, P.Param);
  if (Hook) UnhookWindowsHookEx(Hook);
  tCreating = Prev;
  if (!Wnd) {
    FHandle = nullptr;
    throw EComponentError("Cannot create the window of " + WideToUtf8(ClassName()) + " (error " +
                          std::to_string(GetLastError()) + ")");
  }
  if (!FHandle) AttachHandle(Wnd);
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  FControlState |= csDestroyingHandle;
  DestroyWnd();
  FControlState &= ~csDestroyingHandle;
}

void TWinControl::DestroyWnd() {
  HWND W = FHandle;
  if (!W) return;
  // No canvas may keep a context of a window that is going.
  TControlCanvas::FreeDeviceContexts();
  DestroyWindow(W);
  if (FHandle == W) {
    // The window was not ours to destroy (another thread); forget it anyway.
    UnmapControl(W);
    FHandle = nullptr;
  }
}

void TWinControl::RecreateWnd() {
  if (FHandle) Perform(CM_RECREATEWND);
}

void TWinControl::InsertControl(TControl* AControl) {
  if (!AControl) return;
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
  FControls.push_back(AControl);
  AControl->FParent = this;
  if (auto* W = WinControlOf(AControl)) {
    if (W->FTabOrder < 0) {
      int N = 0;
      for (TControl* C : FControls)
        if (C != AControl && WinControlOf(C)) ++N;
      W->FTabOrder = N;
    }
    if (FHandle) W->HandleNeeded();
  } else if (FHandle && AControl->Visible()) {
    AControl->Invalidate();
  }
  Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
  if (AControl->Align() != alNone) Realign();
}

void TWinControl::RemoveControl(TControl* AControl) {
  auto It = std::find(FControls.begin(), FControls.end(), AControl);
  if (It == FControls.end()) return;
  if (!(ComponentState() & csDestroying)) Perform(CM_CONTROLLISTCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
  if (auto* W = WinControlOf(AControl)) {
    W->DestroyHandle();
  } else if (AControl->Visible() && FHandle && !(ComponentState() & csDestroying)) {
    AControl->Invalidate();
  }
  ForgetChildInput(AControl);
  It = std::find(FControls.begin(), FControls.end(), AControl);
  if (It != FControls.end()) FControls.erase(It);
  AControl->FParent = nullptr;
  if (!(ComponentState() & csDestroying)) Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
}

void TWinControl::ForgetChildInput(TControl* AControl) {
  if (FHoverControl == AControl) FHoverControl = nullptr;
  if (FCaptureControl == AControl) {
    FCaptureControl = nullptr;
    if (FHandle && GetCapture() == FHandle) ReleaseCapture();
  }
}

std::vector<TWinControl*> TWinControl::WindowedChildrenBottomUp() const {
  std::vector<TWinControl*> Kids;
  for (TControl* C : FControls)
    if (auto* W = WinControlOf(C)) Kids.push_back(W);
  if (!FHandle) return Kids;
  // The windows' own order decides: the list order can lag behind it.
  std::vector<TWinControl*> Ordered;
  HWND Top = GetWindow(FHandle, GW_CHILD);
  for (HWND H = Top ? GetWindow(Top, GW_HWNDLAST) : nullptr; H; H = GetWindow(H, GW_HWNDPREV)) {
    auto It = std::find_if(Kids.begin(), Kids.end(), [H](TWinControl* W) { return W->FHandle == H; });
    if (It != Kids.end()) Ordered.push_back(*It);
  }
  for (TWinControl* W : Kids)
    if (!W->FHandle) Ordered.push_back(W);
  return Ordered;
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) {
  for (TControl* C : FControls)
    if (C->Owner() == Root) Proc(C);
  TComponent::GetChildren(Proc, Root);
}

TControl* TWinControl::ControlAtPos(TPoint P, bool AllowDisabled, bool AllowWinControls) const {
  for (auto It = FControls.rbegin(); It != FControls.rend(); ++It) {
    TControl* C = *It;
    bool Windowed = WinControlOf(C) != nullptr;
    if (Windowed && !AllowWinControls) continue;
    if (!C->Visible() || (!C->Enabled() && !AllowDisabled)) continue;
    if (!C->BoundsRect().Contains(P)) continue;
    if (C->Perform(CM_HITTEST, 0, MAKELPARAM(P.X - C->Left(), P.Y - C->Top())) == 0) continue;
    return C;
  }
  return nullptr;
}

void TWinControl::Broadcast(TMessage& M) {
  for (size_t i = 0; i < FControls.size(); ++i) {
    if (FControls[i]->ComponentState() & csDestroying) continue;
    FControls[i]->WindowProc(M);
    if (M.Result != 0) return;
  }
}

void TWinControl::SetTabOrder(int Value) { FTabOrder = Value; }

void TWinControl::SetTabStop(bool Value) {
  if (Value == FTabStop) return;
  FTabStop = Value;
  if (FHandle) {
    LONG_PTR S = GetWindowLongPtrW(FHandle, GWL_STYLE);
    SetWindowLongPtrW(FHandle, GWL_STYLE, Value ? (S | WS_TABSTOP) : (S & ~static_cast<LONG_PTR>(WS_TABSTOP)));
  }
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

bool TWinControl::CanFocus() const {
  for (const TControl* C = this; C; C = C->Parent())
    if (!C->Visible() || !C->Enabled()) return false;
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (AWidth < 0) AWidth = 0;
  if (AHeight < 0) AHeight = 0;
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FHandle) SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  if (FParent && FParent->FAlignLevel == 0) UpdateAnchorRules();
  if (FParent && Align() != alNone) FParent->Realign();
  if (!FHandle) Realign();
}

TRect TWinControl::ClientRect() const {
  if (FHandle) {
    RECT R;
    GetClientRect(FHandle, &R);
    return FromRECT(R);
  }
  return TRect(0, 0, FWidth, FHeight);
}

bool TWinControl::Showing() const { return FHandle && IsWindowVisible(FHandle); }

bool TWinControl::WantsVisibleWindow() const { return Visible(); }

void TWinControl::UpdateShowing() {
  if (!FHandle) return;
  bool Want = WantsVisibleWindow();
  if (Want == (IsWindowVisible(FHandle) != 0) && (GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_VISIBLE) == (Want ? WS_VISIBLE : 0))
    return;
  Perform(CM_SHOWINGCHANGED, Want);
}

void TWinControl::Invalidate() {
  if (FHandle) ::InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::Repaint() {
  if (FHandle) RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TWinControl::PaintTo(HDC DC, int X, int Y) {
  TRect R = ClientRect();
  PaintCopy(DC, X, Y, R.Width(), R.Height(), [&] {
    Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);
    Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
    for (TWinControl* W : WindowedChildrenBottomUp())
      if (W->Visible()) W->PaintTo(DC, W->Left(), W->Top());
  });
}

void TWinControl::ScaleForPPI(int NewPPI) {
  if (NewPPI <= 0 || NewPPI == CurrentPPI()) return;
  int Old = CurrentPPI();
  FControlState |= csScaling;
  DisableAlign();
  try {
    ChangeScale(NewPPI, Old);
  } catch (...) {
    --FAlignLevel;
    FControlState &= ~csScaling;
    throw;
  }
  --FAlignLevel;
  FControlState &= ~csScaling;
  // Anchors keep the distances of the scaled layout from now on.
  RecordAnchorRules();
  Perform(CM_SCALECHANGED, static_cast<WPARAM>(Old), NewPPI);
}

void TWinControl::ChangeScale(int M, int D) {
  ++FAlignLevel;
  TControl::ChangeScale(M, D);
  for (size_t i = 0; i < FControls.size(); ++i) FControls[i]->ChangeScale(M, D);
  --FAlignLevel;
}

void TWinControl::RecordAnchorRules() {
  for (TControl* C : FControls) {
    C->UpdateAnchorRules();
    if (auto* W = WinControlOf(C)) W->RecordAnchorRules();
  }
}

void TWinControl::EnableAlign() {
  if (FAlignLevel > 0 && --FAlignLevel == 0) Realign();
}

void TWinControl::Realign() {
  if (FAlignLevel > 0) return;
  TRect R = ClientRect();
  ++FAlignLevel;
  try {
    AlignControls(R);
  } catch (...) {
    --FAlignLevel;
    throw;
  }
  --FAlignLevel;
}

void TWinControl::AlignControls(TRect& R) {
  const TAlign Order[] = {alTop, alBottom, alLeft, alRight, alClient};
  for (TAlign A : Order)
    for (TControl* C : FControls) {
      if (C->Align() != A || !C->Visible()) continue;
      switch (A) {
        case alTop:
          C->SetBounds(R.Left, R.Top, R.Width(), C->Height());
          R.Top += C->Height();
          break;
        case alBottom:
          C->SetBounds(R.Left, R.Bottom - C->Height(), R.Width(), C->Height());
          R.Bottom -= C->Height();
          break;
        case alLeft:
          C->SetBounds(R.Left, R.Top, C->Width(), R.Height());
          R.Left += C->Width();
          break;
        case alRight:
          C->SetBounds(R.Right - C->Width(), R.Top, C->Width(), R.Height());
          R.Right -= C->Width();
          break;
        default:
          C->SetBounds(R.Left, R.Top, R.Width(), R.Height());
          break;
      }
    }
  // Anchored controls keep their distances to the edges they are tied to.
  TRect Client = ClientRect();
  for (TControl* C : FControls) {
    if (C->Align() != alNone || !C->FAnchorsKnown) continue;
    TAnchors A = C->Anchors();
    int L = C->Left(), T = C->Top(), W = C->Width(), H = C->Height();
    if (A & akRight) {
      if (A & akLeft)
        W = Client.Width() - C->FAnchorRight - L;
      else
        L = Client.Width() - C->FAnchorRight - W;
    }
    if (A & akBottom) {
      if (A & akTop)
        H = Client.Height() - C->FAnchorBottom - T;
      else
        T = Client.Height() - C->FAnchorBottom - H;
    }
    C->SetBounds(L, T, W, H);
  }
}

void TWinControl::Loaded() {
  TControl::Loaded();
  Realign();
}

void TWinControl::SetTextValue(const std::wstring& Value) {
  FText = Value;
  if (FHandle) SetWindowTextW(FHandle, Value.c_str());
}

std::wstring TWinControl::GetText() const { return FText; }

void TWinControl::PaintWindow(HDC DC) {
  // A system class draws itself; our own classes have only the erased background.
  if (FDefWndProc && FDefWndProc != DefWindowProcW) {
    TMessage M{WM_PAINT, reinterpret_cast<WPARAM>(DC), 0, 0};
    DefaultHandler(M);
  }
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
  bool Started = First == nullptr;
  for (size_t i = 0; i < FControls.size(); ++i) {
    TControl* C = FControls[i];
    if (!Started) {
      Started = C == First;
      if (!Started) continue;
    }
    if (WinControlOf(C) || !C->Visible() || (C->ComponentState() & csDestroying)) continue;
    RECT Area{C->Left(), C->Top(), C->Left() + C->Width(), C->Top() + C->Height()};
    if (!RectVisible(DC, &Area)) continue;
    int Saved = SaveDC(DC);
    OffsetViewportOrgEx(DC, C->Left(), C->Top(), nullptr);
    IntersectClipRect(DC, 0, 0, C->Width(), C->Height());
    // A copy into another context is a copy for the windowless children too.
    TControlState Old = C->ControlState();
    if (FControlState & csPaintCopy) C->SetControlState(Old | csPaintCopy);
    try {
      C->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
    } catch (...) {
      C->SetControlState(Old);
      RestoreDC(DC, Saved);
      throw;
    }
    C->SetControlState(Old);
    RestoreDC(DC, Saved);
  }
}

void TWinControl::PaintHandler(TMessage& M) {
  HDC DC = reinterpret_cast<HDC>(M.WParam);
  PAINTSTRUCT PS{};
  bool Own = DC == nullptr;
  if (Own) DC = BeginPaint(FHandle, &PS);
  try {
    int Saved = SaveDC(DC);
    PaintWindow(DC);
    RestoreDC(DC, Saved);
    PaintControls(DC, nullptr);
  } catch (...) {
    if (Own) EndPaint(FHandle, &PS);
    throw;
  }
  if (Own) EndPaint(FHandle, &PS);
}

void TWinControl::DefaultHandler(TMessage& M) {
  if (!FHandle) return;
  WNDPROC Proc = FDefWndProc ? FDefWndProc : DefWindowProcW;
  M.Result = CallWindowProcW(Proc, FHandle, M.Msg, M.WParam, M.LParam);
}

void TWinControl::SetHover(TControl* C) {
  if (C == FHoverControl) return;
  TControl* Old = FHoverControl;
  FHoverControl = C;
  if (Old) Old->Perform(CM_MOUSELEAVE);
  if (C) C->Perform(CM_MOUSEENTER);
}

bool TWinControl::RouteToChild(TMessage& M) {
  TPoint P(static_cast<short>(LOWORD(M.LParam)), static_cast<short>(HIWORD(M.LParam)));
  TControl* Target = FCaptureControl;
  bool Down = M.Msg == WM_LBUTTONDOWN || M.Msg == WM_RBUTTONDOWN || M.Msg == WM_MBUTTONDOWN ||
              M.Msg == WM_LBUTTONDBLCLK || M.Msg == WM_RBUTTONDBLCLK || M.Msg == WM_MBUTTONDBLCLK;
  bool Up = M.Msg == WM_LBUTTONUP || M.Msg == WM_RBUTTONUP || M.Msg == WM_MBUTTONUP;
  if (!Target) {
    Target = ControlAtPos(P);
    if (M.Msg == WM_MOUSEMOVE) SetHover(Target);
    if (!Target) return false;
    if (Down && (Target->ControlStyle() & csCaptureMouse)) {
      FCaptureControl = Target;
      SetCapture(FHandle);
    }
  }
  TMessage CM = M;
  CM.LParam = MAKELPARAM(P.X - Target->Left(), P.Y - Target->Top());
  if (Up && FCaptureControl == Target &&
      !(M.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
    FCaptureControl = nullptr;
    if (GetCapture() == FHandle) ReleaseCapture();
  }
  Target->WindowProc(CM);
  M.Result = CM.Result;
  if (Up && !FCaptureControl && M.Msg != WM_MOUSEMOVE) SetHover(ControlAtPos(P));
  return true;
}

bool TWinControl::HandleSetCursor(TMessage& M) {
  const bool HitPointFresh = FHitPointFresh;
  FHitPointFresh = false;
  if (LOWORD(M.LParam) != HTCLIENT) return false;
  TCursor C = Screen ? Screen->Cursor() : crDefault;
  HWND Over = reinterpret_cast<HWND>(M.WParam);
  if (C == crDefault) {
    if (Over == FHandle) {
      TControl* Child = FCaptureControl;
      if (!Child) {
        // The pointer's place as this move's hit test gave it: asking the
        // system instead costs a round trip to the window server under Wine.
        POINT P = FHitPoint;
        if (!HitPointFresh) GetCursorPos(&P);
        ::ScreenToClient(FHandle, &P);
        Child = ControlAtPos(TPoint(P.x, P.y));
      }
      if (Child) C = Child->Cursor();
    } else if (TWinControl* W = FindControl(Over)) {
      if (W->Cursor() != crDefault) return false;
    }
    if (C == crDefault) C = Cursor();
  }
  if (C == crDefault) return false;
  ::SetCursor(CursorHandle(C));
  M.Result = TRUE;
  return true;
}

bool TWinControl::OwnsPainting() const { return FDefWndProc == DefWindowProcW; }

bool TWinControl::HasVisibleGraphicChildren() const {
  return std::any_of(FControls.begin(), FControls.end(),
                     [](TControl* C) { return !WinControlOf(C) && C->Visible(); });
}

void TWinControl::WMPaint(TMessage& M) {
  // A system class paints itself unless windowless children lie on it.
  if (OwnsPainting() || HasVisibleGraphicChildren())
    PaintHandler(M);
  else
    DefaultHandler(M);
}

void TWinControl::WMPrint(TMessage& M) {
  HDC DC = reinterpret_cast<HDC>(M.WParam);
  if ((M.LParam & PRF_CHECKVISIBLE) && !IsWindowVisible(FHandle)) return;
  TPaintCopyScope Copy(FControlState);
  if (M.LParam & PRF_NONCLIENT) {
    TMessage NC{WM_PRINT, M.WParam, PRF_NONCLIENT, 0};
    DefaultHandler(NC);
  }
  int Saved = SaveDC(DC);
  if (M.LParam & PRF_NONCLIENT) {
    // With the frame drawn, the client area sits inside it.
    RECT W;
    GetWindowRect(FHandle, &W);
    POINT O{0, 0};
    ::ClientToScreen(FHandle, &O);
    OffsetViewportOrgEx(DC, O.x - W.left, O.y - W.top, nullptr);
  }
  RECT C;
  GetClientRect(FHandle, &C);
  IntersectClipRect(DC, 0, 0, C.right, C.bottom);
  if (M.LParam & (PRF_CLIENT | PRF_ERASEBKGND))
    Perform(WM_PRINTCLIENT, M.WParam, M.LParam & (PRF_CLIENT | PRF_ERASEBKGND));
  if (M.LParam & PRF_CHILDREN)
    for (TWinControl* Win : WindowedChildrenBottomUp()) {
      if (!Win->HandleAllocated() || !IsWindowVisible(Win->FHandle)) continue;
      int S2 = SaveDC(DC);
      OffsetViewportOrgEx(DC, Win->Left(), Win->Top(), nullptr);
      SendMessageW(Win->FHandle, WM_PRINT, M.WParam, M.LParam | PRF_NONCLIENT);
      RestoreDC(DC, S2);
    }
  RestoreDC(DC, Saved);
}

void TWinControl::WMPrintClient(TMessage& M) {
  // Captures of the window (printing, animations) get the same picture as
  // the screen, windowless children included.
  TPaintCopyScope Copy(FControlState);
  if (M.LParam & PRF_ERASEBKGND) Perform(WM_ERASEBKGND, M.WParam, 0);
  // Through the whole chain, so that whatever paints the window paints the copy.
  if (M.LParam & PRF_CLIENT) Perform(WM_PAINT, M.WParam, 0);
}

void TWinControl::WMEraseBkgnd(TMessage& M) {
  HDC DC = reinterpret_cast<HDC>(M.WParam);
  HBRUSH B = CreateSolidBrush(ColorToRGB(Color()));
  RECT R;
  if (FHandle && !(FControlState & csPaintCopy))
    GetClientRect(FHandle, &R);
  else
    R = ToRECT(ClientRect());
  FillRect(DC, &R, B);
  DeleteObject(B);
  M.Result = 1;
}

void TWinControl::WMMouse(TMessage& M) {
  if (M.Msg == WM_MOUSEMOVE && !FTrackingLeave && FHandle) {
    TRACKMOUSEEVENT T{sizeof T, TME_LEAVE, FHandle, 0};
    FTrackingLeave = TrackMouseEvent(&T) != 0;
    if (!FMouseInControl) Perform(CM_MOUSEENTER);
  }
  if (RouteToChild(M)) return;
  // The window's own press: held as a capture when its style asks for it.
  const bool Down = M.Msg == WM_LBUTTONDOWN || M.Msg == WM_LBUTTONDBLCLK;
  if (Down && (ControlStyle() & csCaptureMouse) && FHandle) SetCapture(FHandle);
  TControl::WndProc(M);
  if (M.Msg == WM_LBUTTONUP && (ControlStyle() & csCaptureMouse) && FHandle && GetCapture() == FHandle &&
      !(M.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)))
    ReleaseCapture();
}

void TWinControl::WMMouseLeave(TMessage&) {
  FTrackingLeave = false;
  if (!FCaptureControl) SetHover(nullptr);
  POINT P;
  GetCursorPos(&P);
  const HWND Under = WindowFromPoint(P);
  // Over a windowed child the pointer is still inside this control.
  if (FMouseInControl && !(Under && Under != FHandle && IsChild(FHandle, Under))) Perform(CM_MOUSELEAVE);
  // Leaving through a child window leaves the parents too, when the pointer
  // is outside them now; they stopped tracking when it entered the child.
  for (TWinControl* A = FParent; A; A = A->FParent) {
    if (!A->FMouseInControl || !A->FHandle) continue;
    if (Under && (Under == A->FHandle || IsChild(A->FHandle, Under))) break;
    A->FTrackingLeave = false;
    A->SetHover(nullptr);
    A->Perform(CM_MOUSELEAVE);
  }
}

void TWinControl::WMCaptureChanged(TMessage& M) {
  if (reinterpret_cast<HWND>(M.LParam) == FHandle) return;
  if (FCaptureControl) {
    TControl* C = FCaptureControl;
    FCaptureControl = nullptr;
    C->Perform(WM_CANCELMODE);
  } else if (FControlState & csLButtonDown) {
    Perform(WM_CANCELMODE);
  }
}

void TWinControl::WMWindowPosChanged(TMessage& M) {
  auto* WP = reinterpret_cast<WINDOWPOS*>(M.LParam);
  if (!FHandle || ((WP->flags & SWP_NOSIZE) && (WP->flags & SWP_NOMOVE)) || IsIconic(FHandle)) return;
  RECT R;
  GetWindowRect(FHandle, &R);
  HWND P = GetParent(FHandle);
  if (P && (GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_CHILD)) MapWindowPoints(nullptr, P, reinterpret_cast<POINT*>(&R), 2);
  FLeft = R.left;
  FTop = R.top;
  FWidth = R.right - R.left;
  FHeight = R.bottom - R.top;
}

bool TWinControl::Reflect(TMessage& M, HWND From, UINT Notification, bool OnlyWhenAnswered) {
  TWinControl* C = FindControl(From);
  if (!C || C == this) return false;
  LRESULT R = C->Perform(Notification, M.WParam, M.LParam);
  if (OnlyWhenAnswered && !R) return false;
  M.Result = R;
  return true;
}

bool TWinControl::ReflectToChild(TMessage& M) {
  switch (M.Msg) {
    case WM_COMMAND:
      return M.LParam && Reflect(M, reinterpret_cast<HWND>(M.LParam), CN_COMMAND, false);
    case WM_NOTIFY: {
      auto* H = reinterpret_cast<NMHDR*>(M.LParam);
      return H && H->hwndFrom != FHandle && Reflect(M, H->hwndFrom, CN_NOTIFY, false);
    }
    case WM_DRAWITEM: {
      auto* D = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
      return D && D->CtlType != ODT_MENU && Reflect(M, D->hwndItem, CN_DRAWITEM, false);
    }
    case WM_CTLCOLORBTN:
      return Reflect(M, reinterpret_cast<HWND>(M.LParam), CN_CTLCOLORBTN, true);
    case WM_CTLCOLORSTATIC:
      return Reflect(M, reinterpret_cast<HWND>(M.LParam), CN_CTLCOLORSTATIC, true);
    default:
      return false;
  }
}

void TWinControl::CMFontChanged() {
  if (FHandle) SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
  for (size_t i = 0; i < FControls.size(); ++i) FControls[i]->Perform(CM_PARENTFONTCHANGED);
  Invalidate();
}

void TWinControl::CMColorChanged() {
  for (size_t i = 0; i < FControls.size(); ++i) FControls[i]->Perform(CM_PARENTCOLORCHANGED);
  Invalidate();
}

void TWinControl::CMRecreateWnd() {
  if (!FHandle) return;
  bool WasVisible = IsWindowVisible(FHandle) != 0;
  DestroyHandle();
  CreateHandle();
  if (WasVisible && !IsWindowVisible(FHandle)) ShowWindow(FHandle, SW_SHOWNA);
}

void TWinControl::WndProc(TMessage& M) {
  if (ReflectToChild(M)) return;
  switch (M.Msg) {
    case WM_PAINT: WMPaint(M); return;
    case WM_PRINT:
      if (!OwnsPainting() || !FHandle) break;
      WMPrint(M);
      return;
    case WM_PRINTCLIENT:
      if (!OwnsPainting()) break;
      WMPrintClient(M);
      return;
    case WM_ERASEBKGND:
      if (!OwnsPainting()) break;
      WMEraseBkgnd(M);
      return;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      WMMouse(M);
      return;
    case WM_MOUSELEAVE: WMMouseLeave(M); break;
    case WM_CAPTURECHANGED: WMCaptureChanged(M); break;
    case WM_SETCURSOR:
      if (HandleSetCursor(M)) return;
      break;
    case WM_SIZE:
      DefaultHandler(M);
      Realign();
      return;
    case WM_WINDOWPOSCHANGED: WMWindowPosChanged(M); break;
    case CM_ENABLEDCHANGED:
      if (FHandle) EnableWindow(FHandle, Enabled());
      Invalidate();
      return;
    case CM_VISIBLECHANGED: UpdateShowing(); return;
    case CM_SHOWINGCHANGED:
      if (FHandle) ShowWindow(FHandle, M.WParam ? SW_SHOWNA : SW_HIDE);
      return;
    case CM_TEXTCHANGED: Invalidate(); return;
    case CM_FONTCHANGED: CMFontChanged(); return;
    case CM_COLORCHANGED: CMColorChanged(); return;
    case CM_RECREATEWND: CMRecreateWnd(); return;
    default: break;
  }
  TControl::WndProc(M);
}
