#include "ui/Forms.h"

#include <algorithm>

#include "ui/FormStreaming.h"
#include "ui/ResourceStream.h"
#include "ui/StdCtrls.h"
#include "ui/Threads.h"
#include "ui/UiText.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

UINT WindowDpi(HWND Wnd) {
  static auto Fn = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return Fn ? Fn(Wnd) : 0;
}

TButton* FindButton(TWinControl* Parent, bool Default) {
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    TControl* C = Parent->Controls(i);
    if (auto* B = dynamic_cast<TButton*>(C)) {
      if ((Default ? B->Default() : B->Cancel()) && B->Visible() && B->Enabled()) return B;
    } else if (auto* W = WinControlOf(C)) {
      if (TButton* Found = FindButton(W, Default)) return Found;
    }
  }
  return nullptr;
}

TWinControl* FirstTabStop(TWinControl* Parent) {
  TWinControl* Best = nullptr;
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    auto* W = WinControlOf(Parent->Controls(i));
    if (!W || !W->Visible() || !W->Enabled()) continue;
    TWinControl* Candidate = W->TabStop() ? W : FirstTabStop(W);
    if (Candidate && (!Best || W->TabOrder() < Best->TabOrder())) Best = Candidate;
  }
  return Best;
}

struct TDisabledWindows {
  HWND Except;
  std::vector<HWND> List;
};

BOOL CALLBACK DisableProc(HWND Wnd, LPARAM Param) {
  auto* D = reinterpret_cast<TDisabledWindows*>(Param);
  if (Wnd != D->Except && IsWindowVisible(Wnd) && IsWindowEnabled(Wnd)) {
    EnableWindow(Wnd, FALSE);
    D->List.push_back(Wnd);
  }
  return TRUE;
}

TRect WindowRectOf(HWND Wnd) {
  RECT R;
  GetWindowRect(Wnd, &R);
  return FromRECT(R);
}

TRect WorkAreaOf(HWND Wnd) {
  MONITORINFO MI{};
  MI.cbSize = sizeof MI;
  HMONITOR Mon = MonitorFromWindow(Wnd, MONITOR_DEFAULTTONEAREST);
  if (Mon && GetMonitorInfoW(Mon, &MI)) return FromRECT(MI.rcWork);
  return Screen->WorkAreaRect();
}

}  // namespace

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this)) {
  FControlStyle |= csAcceptsControls;
  // Forms start hidden and carry their own font.
  TControl::SetVisible(false);
  SetParentFont(false);
  if (Screen) Screen->AddForm(this);
}

TCustomForm::~TCustomForm() {
  Destroying();
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
  }
  // Owned components go while the form is still whole: they are its children.
  DestroyComponents();
  if (Application) Application->FormDestroying(this);
  if (Screen) Screen->RemoveForm(this);
  DestroyHandle();
}

void TCustomForm::InitializeForm() {
  if (!ReadComponentResource(this, HInstance, ClassName()))
    throw EResNotFound("Resource " + WideToUtf8(ClassName()) + " of type FORMTEXT not found");
  DoCreate();
}

void TCustomForm::InitializeFormFromText(std::string_view Text) {
  ReadComponentFromText(this, Text);
  DoCreate();
}

void TCustomForm::PaintWindow(HDC DC) { PaintOnCanvas(*FCanvas, DC, [this] { Paint(); }); }

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

bool TCustomForm::CloseQuery() {
  bool CanClose = true;
  if (OnCloseQuery) OnCloseQuery(this, CanClose);
  return CanClose;
}

void TCustomForm::SetDesignPPI(TControl* C, int PPI) {
  C->SetCurrentPPI(PPI);
  C->Font()->SetPixelsPerInch(PPI);
  if (auto* W = WinControlOf(C))
    for (int i = 0; i < W->ControlCount(); ++i) SetDesignPPI(W->Controls(i), PPI);
}

void TCustomForm::Loaded() {
  // A description made at another density: every control starts at it, and
  // the window scales from there to its monitor's.
  if (FPixelsPerInch > 0 && FPixelsPerInch != CurrentPPI()) SetDesignPPI(this, FPixelsPerInch);
  TWinControl::Loaded();
  if (FVisible) {
    FVisible = false;
    SetVisible(true);
  }
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  Perform(CM_BORDERCHANGED);
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  if (Value == FBorderIcons) return;
  FBorderIcons = Value;
  Perform(CM_BORDERCHANGED);
  RecreateWnd();
}

TWindowState TCustomForm::WindowState() const {
  if (!FHandle) return wsNormal;
  if (IsIconic(FHandle)) return wsMinimized;
  if (IsZoomed(FHandle)) return wsMaximized;
  return wsNormal;
}

void TCustomForm::SetWindowState(TWindowState Value) {
  if (!FHandle) return;
  ShowWindow(FHandle, Value == wsMinimized ? SW_MINIMIZE : Value == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

TRect TCustomForm::ClientRect() const {
  if (FHandle) return TWinControl::ClientRect();
  return TRect(0, 0, FClientWidth >= 0 ? FClientWidth : FWidth, FClientHeight >= 0 ? FClientHeight : FHeight);
}

void TCustomForm::SetClientWidth(int Value) {
  FClientWidth = Value;
  if (!FHandle) {
    Realign();
    return;
  }
  RECT C;
  GetClientRect(FHandle, &C);
  SetBounds(FLeft, FTop, FWidth + Value - (C.right - C.left), FHeight);
}

void TCustomForm::SetClientHeight(int Value) {
  FClientHeight = Value;
  if (!FHandle) {
    Realign();
    return;
  }
  RECT C;
  GetClientRect(FHandle, &C);
  SetBounds(FLeft, FTop, FWidth, FHeight + Value - (C.bottom - C.top));
}

void TCustomForm::CreateParams(TCreateParams& P) {
  TWinControl::CreateParams(P);
  P.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  P.ExStyle = 0;
  bool CanMinMax = true;
  switch (FBorderStyle) {
    case bsNone: P.Style |= WS_POPUP; CanMinMax = false; break;
    case bsSingle: P.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: P.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      P.Style |= WS_POPUP | WS_CAPTION;
      P.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      CanMinMax = false;
      break;
    case bsToolWindow: P.Style |= WS_CAPTION; P.ExStyle |= WS_EX_TOOLWINDOW; CanMinMax = false; break;
    case bsSizeToolWin: P.Style |= WS_CAPTION | WS_THICKFRAME; P.ExStyle |= WS_EX_TOOLWINDOW; CanMinMax = false; break;
  }
  if (FBorderStyle != bsNone && (FBorderIcons & biSystemMenu)) {
    P.Style |= WS_SYSMENU;
    if (CanMinMax && (FBorderIcons & biMinimize)) P.Style |= WS_MINIMIZEBOX;
    if (CanMinMax && (FBorderIcons & biMaximize)) P.Style |= WS_MAXIMIZEBOX;
    if ((FBorderIcons & biHelp) && !(P.Style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) P.ExStyle |= WS_EX_CONTEXTHELP;
  }
  if (!Enabled()) P.Style |= WS_DISABLED;
  TCustomForm* Main = Application ? Application->MainForm() : nullptr;
  P.WndParent = nullptr;
  if (Main && Main != this) {
    P.WndParent = Main->Handle();
  } else if (Application && Application->MainFormOnTaskBar()) {
    P.ExStyle |= WS_EX_APPWINDOW;
  }
  // The window size follows the client size the description gives.
  RECT R{0, 0, ClientRect().Width(), ClientRect().Height()};
  AdjustWindowRectEx(&R, P.Style, FALSE, P.ExStyle);
  P.Width = R.right - R.left;
  P.Height = R.bottom - R.top;
  if (FPositioned) {
    // A window made again keeps its place.
    P.X = FLeft;
    P.Y = FTop;
  } else if (FPosition == poDefault || FPosition == poDefaultPosOnly) {
    P.X = CW_USEDEFAULT;
    P.Y = CW_USEDEFAULT;
  }
  P.WindowClass.style = CS_DBLCLKS;
  P.WindowClass.hIcon = LoadIconW(HInstance, L"MAINICON");
  if (!P.WindowClass.hIcon) P.WindowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  RECT WR;
  GetWindowRect(FHandle, &WR);
  FLeft = WR.left;
  FTop = WR.top;
  FWidth = WR.right - WR.left;
  FHeight = WR.bottom - WR.top;
  // Designed at 96 DPI; a window on a denser monitor scales once here.
  UINT Dpi = WindowDpi(FHandle);
  if (Dpi && static_cast<int>(Dpi) != CurrentPPI()) ScaleForPPI(static_cast<int>(Dpi));
  if (FClientWidth >= 0) SetClientWidth(FClientWidth);
  if (FClientHeight >= 0) SetClientHeight(FClientHeight);
}

void TCustomForm::ChangeScale(int M, int D) {
  // A form keeps its place; its client area and contents scale.
  int CW = ClientRect().Width(), CH = ClientRect().Height();
  int L = FLeft, T = FTop;
  TWinControl::ChangeScale(M, D);
  FClientWidth = MulDivRound(CW, M, D);
  FClientHeight = MulDivRound(CH, M, D);
  if (FHandle) {
    SetBounds(L, T, FWidth, FHeight);
    SetClientWidth(FClientWidth);
    SetClientHeight(FClientHeight);
  } else {
    FLeft = L;
    FTop = T;
  }
}

bool TCustomForm::WantsVisibleWindow() const { return Visible(); }

void TCustomForm::SetVisible(bool Value) {
  if (ComponentState() & csLoading) {
    // Shown once the whole description is read.
    FVisible = Value;
    return;
  }
  if (Value == Visible() && (!FHandle || (IsWindowVisible(FHandle) != 0) == Value)) return;
  if (Value) {
    HandleNeeded();
    if (!FPositioned) {
      ApplyPosition();
      FPositioned = true;
    }
    TControl::SetVisible(true);
    // OnShow runs before the window appears and before any input reaches it.
    DoShow();
    if (!Visible() || !FHandle) return;
    // A main form whose OnShow ended the run does not flash up on the way out.
    if (Application && Application->MainForm() == this && Application->Terminated()) return;
    Perform(CM_SHOWINGCHANGED, 1);
    if (!FActiveControl)
      if (TWinControl* W = FirstTabStop(this)) FActiveControl = W;
    if (FActiveControl && FActiveControl->CanFocus() && GetActiveWindow() == FHandle) ::SetFocus(FActiveControl->Handle());
  } else {
    TControl::SetVisible(false);
    if (FHandle && IsWindowVisible(FHandle)) {
      DoHide();
      Perform(CM_SHOWINGCHANGED, 0);
    }
  }
}

void TCustomForm::ApplyPosition() {
  if (!FHandle) return;
  TRect W = WindowRectOf(FHandle);
  TRect Area;
  TCustomForm* Main = Application ? Application->MainForm() : nullptr;
  TCustomForm* Over = nullptr;
  switch (FPosition) {
    case poScreenCenter:
      Area = WorkAreaOf(Main && Main != this && Main->HandleAllocated() ? Main->WindowHandle() : FHandle);
      break;
    case poDesktopCenter: Area = TRect(0, 0, Screen->Width(), Screen->Height()); break;
    case poOwnerFormCenter:
      Over = dynamic_cast<TCustomForm*>(Owner());
      if (!Over) Over = Main;
      break;
    case poMainFormCenter: Over = Main; break;
    default: return;
  }
  if (FPosition == poMainFormCenter || FPosition == poOwnerFormCenter) {
    if (Over && Over != this && Over->HandleAllocated())
      Area = WindowRectOf(Over->WindowHandle());
    else
      Area = WorkAreaOf(FHandle);
  }
  int X = Area.Left + (Area.Width() - W.Width()) / 2;
  int Y = Area.Top + (Area.Height() - W.Height()) / 2;
  // Keep the title bar reachable.
  TRect Work = WorkAreaOf(FHandle);
  X = std::max(Work.Left, std::min(X, Work.Right - W.Width()));
  Y = std::max(Work.Top, std::min(Y, Work.Bottom - W.Height()));
  SetBounds(X, Y, W.Width(), W.Height());
}

void TCustomForm::ShowNoActivate() {
  FActivateOnShow = false;
  struct TReset {
    bool& Flag;
    ~TReset() { Flag = true; }
  } Reset{FActivateOnShow};
  Show();
}

bool TCustomForm::Active() const { return FHandle && GetActiveWindow() == FHandle; }

void TCustomForm::SetActiveControl(TWinControl* Value) {
  FActiveControl = Value;
  if (Value && FHandle && Active() && Value->CanFocus()) ::SetFocus(Value->Handle());
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || FModal)
    throw EInvalidOperation("Cannot make a visible window modal");
  if (GetCapture()) SendMessageW(GetCapture(), WM_CANCELMODE, 0, 0);
  ReleaseCapture();
  HandleNeeded();
  HWND Before = GetActiveWindow();
  TDisabledWindows Disabled{FHandle, {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableProc, reinterpret_cast<LPARAM>(&Disabled));
  FModal = true;
  FModalResult = mrNone;
  auto Restore = [&] {
    for (HWND W : Disabled.List)
      if (IsWindow(W)) EnableWindow(W, TRUE);
    FModal = false;
  };
  try {
    Show();
    while (FModalResult == mrNone) {
      Application->HandleMessage();
      if (Application->Terminated() && FModalResult == mrNone) FModalResult = mrCancel;
      if (FModalResult != mrNone) CloseModal();
      if (!Visible() && FModalResult == mrNone) FModalResult = mrCancel;
    }
  } catch (...) {
    Restore();
    if (FHandle) ShowWindow(FHandle, SW_HIDE);
    TControl::SetVisible(false);
    throw;
  }
  // Enable the others before hiding, so the system activates one of them.
  Restore();
  Hide();
  if (Before && IsWindow(Before) && Before != FHandle) SetActiveWindow(Before);
  return FModalResult;
}

void TCustomForm::CloseModal() {
  TCloseAction Action = caHide;
  if (!CloseQuery()) {
    Action = caNone;
  } else if (OnClose) {
    OnClose(this, Action);
  }
  if (Action == caNone) FModalResult = mrNone;
}

void TCustomForm::Close() {
  if (FModal) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction Action = caHide;
  if (OnClose) OnClose(this, Action);
  if (Action == caNone) return;
  // The main form stays on screen until the run ends: shutdown hides it, so
  // whatever hides it (an animation) runs to its end first.
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (Action) {
    case caHide: Hide(); break;
    case caMinimize:
      if (FHandle) ShowWindow(FHandle, SW_MINIMIZE);
      break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::Release() {
  if (Application) PostMessageW(Application->Handle(), CM_RELEASE, 0, reinterpret_cast<LPARAM>(this));
}

void TCustomForm::WndProc(TMessage& M) {
  switch (M.Msg) {
    case WM_CLOSE:
      Close();
      M.Result = 0;
      return;
    case WM_ACTIVATE:
      DefaultHandler(M);
      if (LOWORD(M.WParam) != WA_INACTIVE) {
        if (Screen) Screen->SetActiveForm(this);
        Perform(CM_ACTIVATE);
        if (OnActivate) OnActivate(this);
        TWinControl* Target = FActiveControl ? FActiveControl : FirstTabStop(this);
        if (Target && Target->CanFocus() && Target->HandleAllocated()) ::SetFocus(Target->WindowHandle());
      } else {
        Perform(CM_DEACTIVATE);
        if (OnDeactivate) OnDeactivate(this);
      }
      return;
    case WM_SETFOCUS:
      if (FActiveControl && FActiveControl->CanFocus() && FActiveControl->HandleAllocated()) {
        ::SetFocus(FActiveControl->WindowHandle());
        return;
      }
      break;
    case CM_VISIBLECHANGED:
      return;  // a form shows its window itself, after OnShow
    case CM_SHOWINGCHANGED:
      // The default handling is the showing itself, so a hook can act before and after it.
      if (FHandle) ShowWindow(FHandle, M.WParam ? (FActivateOnShow ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
      return;
    case WM_DPICHANGED: {
      ScaleForPPI(LOWORD(M.WParam));
      auto* R = reinterpret_cast<RECT*>(M.LParam);
      if (R && FHandle)
        SetWindowPos(FHandle, nullptr, R->left, R->top, R->right - R->left, R->bottom - R->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      M.Result = 0;
      return;
    }
    case DM_GETDEFID:
      if (TButton* B = FindButton(this, true); B && B->HandleAllocated()) {
        M.Result = MAKELONG(GetDlgCtrlID(B->WindowHandle()), DC_HASDEFID);
        return;
      }
      M.Result = 0;
      return;
    case WM_COMMAND:
      if (M.LParam == 0 && LOWORD(M.WParam) == IDCANCEL) {
        if (TButton* B = FindButton(this, false)) {
          B->Click();
          return;
        }
      }
      break;
    default:
      break;
  }
  TWinControl::WndProc(M);
}

void TCustomForm::PublishProperties(TPublisher& P) {
  auto Never = [](const TPersistent*) { return false; };
  // A form stores its client size; the window size follows from the border.
  P.Int(L"Width", &TCustomForm::Width, &TCustomForm::SetWidth, 0).Stored = Never;
  P.Int(L"Height", &TCustomForm::Height, &TCustomForm::SetHeight, 0).Stored = Never;
  P.Bool(L"ParentFont", &TCustomForm::ParentFont, &TCustomForm::SetParentFont, false).Stored = Never;
  P.Bool(L"Visible", &TCustomForm::Visible, &TCustomForm::SetVisible, false);
  P.Enum(L"BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle,
         {L"bsNone", L"bsSingle", L"bsSizeable", L"bsDialog", L"bsToolWindow", L"bsSizeToolWin"}, bsSizeable);
  P.Set(L"BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons,
        {L"biSystemMenu", L"biMinimize", L"biMaximize", L"biHelp"}, biSystemMenu | biMinimize | biMaximize);
  P.Int(L"ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth, -1).HasDefault = false;
  P.Int(L"ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight, -1).HasDefault = false;
  P.Enum(L"Position", &TCustomForm::Position, &TCustomForm::SetPosition,
         {L"poDesigned", L"poDefault", L"poDefaultPosOnly", L"poDefaultSizeOnly", L"poScreenCenter",
          L"poDesktopCenter", L"poMainFormCenter", L"poOwnerFormCenter"},
         poDefaultPosOnly);
  P.Int(L"PixelsPerInch", &TCustomForm::PixelsPerInch, &TCustomForm::SetPixelsPerInch, DesignPPI);
  P.Int(L"TextHeight", &TCustomForm::TextHeight, &TCustomForm::SetTextHeight, 13);
  P.Event(L"OnCreate", &TCustomForm::OnCreate);
  P.Event(L"OnPaint", &TCustomForm::OnPaint);
  P.Event(L"OnShow", &TCustomForm::OnShow);
  P.Event(L"OnHide", &TCustomForm::OnHide);
  P.Event(L"OnClose", &TCustomForm::OnClose);
  P.Event(L"OnCloseQuery", &TCustomForm::OnCloseQuery);
  P.Event(L"OnDestroy", &TCustomForm::OnDestroy);
  P.Event(L"OnActivate", &TCustomForm::OnActivate);
  P.Event(L"OnDeactivate", &TCustomForm::OnDeactivate);
}
