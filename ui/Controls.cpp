#include "ui/Controls.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "ui/Forms.h"
#include "ui/Threads.h"

int MulDivRound(int Value, int Numerator, int Denominator) {
  if (Denominator == 0) return Value;
  long long P = static_cast<long long>(Value) * Numerator;
  long long D = Denominator;
  if (D < 0) {
    P = -P;
    D = -D;
  }
  return static_cast<int>(P >= 0 ? (P + D / 2) / D : -((-P + D / 2) / D));
}

TShiftState KeysToShiftState(WPARAM Keys) {
  TShiftState S = 0;
  if (Keys & MK_SHIFT) S |= ssShift;
  if (Keys & MK_CONTROL) S |= ssCtrl;
  if (Keys & MK_LBUTTON) S |= ssLeft;
  if (Keys & MK_RBUTTON) S |= ssRight;
  if (Keys & MK_MBUTTON) S |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) S |= ssAlt;
  return S;
}

HCURSOR CursorHandle(TCursor Cursor) {
  LPCWSTR Id = IDC_ARROW;
  switch (Cursor) {
    case crNone: return nullptr;
    case crCross: Id = IDC_CROSS; break;
    case crIBeam: Id = IDC_IBEAM; break;
    case crSizeNESW: Id = IDC_SIZENESW; break;
    case crSizeNS: Id = IDC_SIZENS; break;
    case crSizeNWSE: Id = IDC_SIZENWSE; break;
    case crSizeWE: Id = IDC_SIZEWE; break;
    case crUpArrow: Id = IDC_UPARROW; break;
    case crHourGlass: Id = IDC_WAIT; break;
    case crNo: Id = IDC_NO; break;
    case crAppStart: Id = IDC_APPSTARTING; break;
    case crHelp: Id = IDC_HELP; break;
    case crHandPoint: Id = IDC_HAND; break;
    case crSizeAll: Id = IDC_SIZEALL; break;
    default: break;
  }
  return LoadCursorW(nullptr, Id);
}

TCustomForm* GetParentForm(const TControl* Control) {
  const TControl* C = Control;
  while (C && C->Parent()) C = C->Parent();
  return const_cast<TCustomForm*>(dynamic_cast<const TCustomForm*>(C));
}

// ---------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TComponent(AOwner), FFont(std::make_unique<TFont>()) {
  FFont->OnChange = [this](TObject*) { FontOnChange(); };
}

TControl::~TControl() {
  Destroying();
  if (FParent) FParent->RemoveControl(this);
}

void TControl::BeforeDestruction() {
  TComponent::BeforeDestruction();
  if (FParent) FParent->ForgetChildInput(this);
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParentComponent(TComponent* Value) {
  if (auto* W = dynamic_cast<TWinControl*>(Value)) SetParent(W);
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  if (AParent == this) throw EInvalidOperation("A control cannot be its own parent");
  if (FParent) FParent->RemoveControl(this);
  if (AParent) {
    AParent->InsertControl(this);
    SyncWithParent();
    UpdateAnchorRules();
  }
}

void TControl::SyncWithParent() {
  if (!FParent) return;
  if (FParentFont) {
    FSyncingFont = true;
    try {
      FFont->Assign(FParent->Font());
    } catch (...) {
      FSyncingFont = false;
      throw;
    }
    FSyncingFont = false;
  }
  if (FParentColor && FColor != FParent->Color()) {
    FColor = FParent->Color();
    Perform(CM_COLORCHANGED);
  }
}

void TControl::FontOnChange() {
  if (!FSyncingFont) FParentFont = false;
  FontChanged();
}

void TControl::FontChanged() { Perform(CM_FONTCHANGED); }

void TControl::SetParentFont(bool Value) {
  if (Value == FParentFont) return;
  FParentFont = Value;
  if (Value) SyncWithParent();
}

void TControl::SetColor(TColor Value) {
  FParentColor = false;
  if (Value == FColor) return;
  FColor = Value;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool Value) {
  if (Value == FParentColor) return;
  FParentColor = Value;
  if (Value) SyncWithParent();
}

void TControl::SetCursor(TCursor Value) {
  if (FCursor.exchange(Value) == Value) return;
  // The pointer itself belongs to the GUI thread; a worker's change travels there.
  if (TThread::IsMainThread())
    Perform(CM_CURSORCHANGED);
  else
    TThread::Queue([this] { Perform(CM_CURSORCHANGED); }, this);
}

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  FAlign = Value;
  if (FParent) FParent->Realign();
}

void TControl::SetBiDiMode(TBiDiMode Value) {
  if (Value == FBiDiMode) return;
  FBiDiMode = Value;
  Perform(CM_BIDIMODECHANGED);
}

void TControl::SetAnchors(TAnchors Value) {
  FAnchors = Value;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (!FParent) return;
  TRect R = FParent->ClientRect();
  FAnchorRight = R.Width() - (FLeft + FWidth);
  FAnchorBottom = R.Height() - (FTop + FHeight);
  FAnchorsKnown = true;
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (AWidth < 0) AWidth = 0;
  if (AHeight < 0) AHeight = 0;
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  bool Repaint = FParent && FVisible;
  if (Repaint) InvalidateRect(BoundsRect());
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
  if (FParent && FParent->FAlignLevel == 0) UpdateAnchorRules();
  if (Repaint) InvalidateRect(BoundsRect());
  if (FParent && FAlign != alNone) FParent->Realign();
}

TRect TControl::ClientRect() const { return TRect(0, 0, FWidth, FHeight); }

void TControl::SetClientWidth(int Value) { SetWidth(Value); }
void TControl::SetClientHeight(int Value) { SetHeight(Value); }

TPoint TControl::ClientOrigin() const {
  if (auto* W = WinControlOf(this); W && W->WindowHandle()) {
    POINT P{0, 0};
    ::ClientToScreen(W->WindowHandle(), &P);
    return TPoint(P.x, P.y);
  }
  if (!FParent) return TPoint(FLeft, FTop);
  TPoint P = FParent->ClientOrigin();
  return TPoint(P.X + FLeft, P.Y + FTop);
}

TPoint TControl::ClientToScreen(TPoint P) const {
  TPoint O = ClientOrigin();
  return TPoint(P.X + O.X, P.Y + O.Y);
}

TPoint TControl::ScreenToClient(TPoint P) const {
  TPoint O = ClientOrigin();
  return TPoint(P.X - O.X, P.Y - O.Y);
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  VisibleChanging();
  if (FParent && FVisible) InvalidateRect(BoundsRect());
  FVisible = Value;
  Perform(CM_VISIBLECHANGED, Value);
  if (FParent && FVisible) InvalidateRect(BoundsRect());
  if (FParent && FAlign != alNone) FParent->Realign();
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::SetText(const std::wstring& Value) {
  if (Value == GetText()) return;
  SetTextValue(Value);
  Perform(CM_TEXTCHANGED);
}

void TControl::SetTextValue(const std::wstring& Value) { FText = Value; }

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage M{Msg, WParam, LParam, 0};
  WindowProc(M);
  return M.Result;
}

void TControl::WindowProc(TMessage& M) {
  if (FHooks.empty()) {
    WndProc(M);
    return;
  }
  // A snapshot: hooks added while the message is under way see the next one;
  // hooks removed meanwhile are passed over. A few hooks fit on the stack.
  constexpr std::size_t Inline = 4;
  if (FHooks.size() <= Inline) {
    std::array<std::shared_ptr<THook>, Inline> Chain;
    std::copy(FHooks.begin(), FHooks.end(), Chain.begin());
    CallHooks(Chain.data(), FHooks.size(), 0, M);
    return;
  }
  const std::vector<std::shared_ptr<THook>> Chain = FHooks;
  CallHooks(Chain.data(), Chain.size(), 0, M);
}

void TControl::CallHooks(const std::shared_ptr<THook>* Chain, std::size_t Count, std::size_t From, TMessage& M) {
  for (std::size_t I = From; I < Count; ++I) {
    if (Chain[I]->Removed) continue;
    auto Rest = [this, Chain, Count, I](TMessage& Next) { CallHooks(Chain, Count, I + 1, Next); };
    Chain[I]->Proc(M, TWindowHookNext(Rest));
    return;
  }
  WndProc(M);
}

void TControl::AddWindowHook(std::uintptr_t Id, TWindowHookProc Proc) {
  auto Hook = std::make_shared<THook>(THook{Id, std::move(Proc)});
  for (auto& H : FHooks)
    if (H->Id == Id) {
      H->Removed = true;
      H = std::move(Hook);
      return;
    }
  FHooks.insert(FHooks.begin(), std::move(Hook));
}

bool TControl::RemoveWindowHook(std::uintptr_t Id) {
  for (auto It = FHooks.begin(); It != FHooks.end(); ++It)
    if ((*It)->Id == Id) {
      (*It)->Removed = true;
      FHooks.erase(It);
      return true;
    }
  return false;
}

bool TControl::HasWindowHook(std::uintptr_t Id) const {
  return std::any_of(FHooks.begin(), FHooks.end(), [Id](const auto& H) { return H->Id == Id; });
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::InvalidateRect(const TRect& R) {
  if (!FParent) return;
  HWND W = FParent->WindowHandle();
  if (!W) return;
  RECT RR{R.Left, R.Top, R.Right, R.Bottom};
  ::InvalidateRect(W, &RR, TRUE);
}

void TControl::Invalidate() { InvalidateRect(BoundsRect()); }

void TControl::Update() {
  if (FParent) FParent->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (!FParent) return;
  auto& L = FParent->FControls;
  L.erase(std::remove(L.begin(), L.end(), this), L.end());
  L.push_back(this);
  if (auto* W = WinControlOf(this); W && W->HandleAllocated())
    SetWindowPos(W->WindowHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::SendToBack() {
  if (!FParent) return;
  auto& L = FParent->FControls;
  L.erase(std::remove(L.begin(), L.end(), this), L.end());
  L.insert(L.begin(), this);
  if (auto* W = WinControlOf(this); W && W->HandleAllocated())
    SetWindowPos(W->WindowHandle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::PaintCopy(HDC DC, int X, int Y, int Width, int Height, const std::function<void()>& Body) {
  struct TRestore {
    TControlState& State;
    TControlState Old;
    HDC DC;
    int Saved;
    ~TRestore() {
      RestoreDC(DC, Saved);
      State = Old;
    }
  } Restore{FControlState, FControlState, DC, SaveDC(DC)};
  FControlState |= csPaintCopy;
  OffsetViewportOrgEx(DC, X, Y, nullptr);
  IntersectClipRect(DC, 0, 0, Width, Height);
  Body();
}

void TControl::PaintOnCanvas(TCanvas& Canvas, HDC DC, const std::function<void()>& Paint) {
  Canvas.SetHandle(DC);
  struct TRelease {
    TCanvas& C;
    ~TRelease() { C.SetHandle(nullptr); }
  } Release{Canvas};
  Canvas.Font()->Assign(Font());
  Canvas.Brush()->SetColor(Color());
  Paint();
}

void TControl::PaintTo(HDC DC, int X, int Y) {
  PaintCopy(DC, X, Y, FWidth, FHeight, [&] { Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0); });
}

void TControl::ScaleForPPI(int NewPPI) {
  if (NewPPI <= 0 || NewPPI == FCurrentPPI) return;
  int Old = FCurrentPPI;
  FControlState |= csScaling;
  ChangeScale(NewPPI, Old);
  FControlState &= ~csScaling;
  Perform(CM_SCALECHANGED, static_cast<WPARAM>(Old), NewPPI);
}

void TControl::ChangeScale(int M, int D) {
  FCurrentPPI = MulDivRound(FCurrentPPI, M, D);
  int L = MulDivRound(FLeft, M, D), T = MulDivRound(FTop, M, D);
  // Right and bottom edges scale as positions so neighbours stay adjacent.
  int W = MulDivRound(FLeft + FWidth, M, D) - L, H = MulDivRound(FTop + FHeight, M, D) - T;
  if (!FParentFont) {
    FSyncingFont = true;
    FFont->SetHeight(MulDivRound(FFont->Height(), M, D));
    FSyncingFont = false;
  }
  FFont->SetPixelsPerInch(FCurrentPPI);
  SetBounds(L, T, W, H);
}

void TControl::Loaded() {
  TComponent::Loaded();
  SyncWithParent();
  UpdateAnchorRules();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::HandleMouse(TMessage& M) {
  int X = static_cast<short>(LOWORD(M.LParam)), Y = static_cast<short>(HIWORD(M.LParam));
  TShiftState Shift = KeysToShiftState(M.WParam);
  switch (M.Msg) {
    case WM_MOUSEMOVE: MouseMove(Shift, X, Y); break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (FControlStyle & csClickEvents) FControlState |= csClicked;
      FControlState |= csLButtonDown;
      if (M.Msg == WM_LBUTTONDBLCLK) {
        Shift |= ssDouble;
        if (OnDblClick) OnDblClick(this);
      }
      MouseDown(mbLeft, Shift, X, Y);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: MouseDown(mbRight, Shift, X, Y); break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: MouseDown(mbMiddle, Shift, X, Y); break;
    case WM_LBUTTONUP: {
      bool Clicked = (FControlState & csClicked) != 0;
      FControlState &= ~(csLButtonDown | csClicked);
      MouseUp(mbLeft, Shift, X, Y);
      if (Clicked && X >= 0 && Y >= 0 && X < FWidth && Y < FHeight) Click();
      break;
    }
    case WM_RBUTTONUP: MouseUp(mbRight, Shift, X, Y); break;
    case WM_MBUTTONUP: MouseUp(mbMiddle, Shift, X, Y); break;
  }
}

void TControl::MouseNotice(TMessage& M, bool Enter) {
  TControl* About = IsOwnMouseNotice(this, M) ? this : reinterpret_cast<TControl*>(M.LParam);
  if (About == this) {
    FMouseInControl = Enter;
    if (Enter && OnMouseEnter) OnMouseEnter(this);
    if (!Enter && OnMouseLeave) OnMouseLeave(this);
  } else if (!Enter) {
    // A child that says it was left is no longer the hovered one: the next
    // move over it enters it again.
    if (auto* W = WinControlOf(this); W && W->FHoverControl == About) W->FHoverControl = nullptr;
  }
  if (FParent) FParent->Perform(M.Msg, 0, reinterpret_cast<LPARAM>(About));
}

void TControl::WndProc(TMessage& M) {
  switch (M.Msg) {
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
      HandleMouse(M);
      break;
    case WM_CANCELMODE:
      FControlState &= ~(csLButtonDown | csClicked);
      break;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      MouseNotice(M, M.Msg == CM_MOUSEENTER);
      return;
    case CM_HITTEST:
      M.Result = 1;
      return;
    case CM_PARENTFONTCHANGED:
      if (FParentFont) SyncWithParent();
      return;
    case CM_PARENTCOLORCHANGED:
      if (FParentColor) SyncWithParent();
      return;
    case CM_ENABLEDCHANGED:
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
    case CM_TEXTCHANGED:
      Invalidate();
      break;
    case CM_CURSORCHANGED: {
      // Apply at once when the pointer is over this control.
      if (!TThread::IsMainThread()) return;
      HWND W = nullptr;
      if (auto* WC = WinControlOf(this))
        W = WC->WindowHandle();
      else if (FParent)
        W = FParent->WindowHandle();
      POINT P;
      if (W && GetCursorPos(&P) && WindowFromPoint(P) == W)
        SendMessageW(W, WM_SETCURSOR, reinterpret_cast<WPARAM>(W), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      return;
    }
    default:
      break;
  }
  DefaultHandler(M);
}

void TControl::PublishProperties(TPublisher& P) {
  P.Int(L"Left", &TControl::Left, &TControl::SetLeft, 0);
  P.Int(L"Top", &TControl::Top, &TControl::SetTop, 0);
  P.Int(L"Width", &TControl::Width, &TControl::SetWidth, 0);
  P.Int(L"Height", &TControl::Height, &TControl::SetHeight, 0);
  P.Enum(L"Align", &TControl::Align, &TControl::SetAlign,
         {L"alNone", L"alTop", L"alBottom", L"alLeft", L"alRight", L"alClient", L"alCustom"}, alNone);
  P.Set(L"Anchors", &TControl::Anchors, &TControl::SetAnchors, {L"akLeft", L"akTop", L"akRight", L"akBottom"},
        akLeft | akTop);
  P.Enum(L"BiDiMode", &TControl::BiDiMode, &TControl::SetBiDiMode,
         {L"bdLeftToRight", L"bdRightToLeft", L"bdRightToLeftNoAlign", L"bdRightToLeftReadingOnly"}, bdLeftToRight);
  P.Str(L"Caption", &TControl::Caption, &TControl::SetCaption);
  P.Color(L"Color", &TControl::Color, &TControl::SetColor, clBtnFace).Stored = [](const TPersistent* O) {
    return !static_cast<const TControl*>(O)->ParentColor();
  };
  P.Bool(L"ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false);
  P.Int(L"Cursor", &TControl::Cursor, &TControl::SetCursor, crDefault);
  P.Bool(L"Enabled", &TControl::Enabled, &TControl::SetEnabled, true);
  P.Object(L"Font", &TControl::Font).Stored = [](const TPersistent* O) {
    return !static_cast<const TControl*>(O)->ParentFont();
  };
  P.Bool(L"ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true);
  P.Bool(L"Visible", &TControl::Visible, &TControl::SetVisible, true);
  P.Event(L"OnClick", &TControl::OnClick);
  P.Event(L"OnDblClick", &TControl::OnDblClick);
  P.Event(L"OnMouseEnter", &TControl::OnMouseEnter);
  P.Event(L"OnMouseLeave", &TControl::OnMouseLeave);
  P.Event(L"OnMouseDown", &TControl::OnMouseDown);
  P.Event(L"OnMouseUp", &TControl::OnMouseUp);
  P.Event(L"OnMouseMove", &TControl::OnMouseMove);
}

// ---------------------------------------------------------------------------

namespace {
std::vector<TControlCanvas*>& CanvasesWithOwnDC() {
  // Never destroyed: forms are freed while static objects go, and still use it.
  static auto* List = new std::vector<TControlCanvas*>;
  return *List;
}
}  // namespace

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::SetHandle(HDC Value) {
  if (FOwnDC && Value != FOwnDC) FreeHandle();
  TCanvas::SetHandle(Value);
}

void TControlCanvas::CreateHandle() {
  HWND Wnd = nullptr;
  int X = 0, Y = 0;
  if (auto* W = WinControlOf(FControl)) {
    Wnd = W->WindowHandle();
  } else if (FControl->Parent()) {
    Wnd = FControl->Parent()->WindowHandle();
    X = FControl->Left();
    Y = FControl->Top();
  }
  if (!Wnd) return;
  HDC DC = GetDC(Wnd);
  if (!DC) return;
  SetViewportOrgEx(DC, X, Y, nullptr);
  IntersectClipRect(DC, 0, 0, FControl->Width(), FControl->Height());
  FWindow = Wnd;
  FOwnDC = DC;
  CanvasesWithOwnDC().push_back(this);
  TCanvas::SetHandle(DC);
}

void TControlCanvas::FreeHandle() {
  if (!FOwnDC) return;
  HDC DC = FOwnDC;
  FOwnDC = nullptr;
  TCanvas::SetHandle(nullptr);
  ReleaseDC(FWindow, DC);
  FWindow = nullptr;
  auto& L = CanvasesWithOwnDC();
  L.erase(std::remove(L.begin(), L.end(), this), L.end());
}

void TControlCanvas::FreeDeviceContexts() {
  auto& L = CanvasesWithOwnDC();
  while (!L.empty()) L.back()->FreeHandle();
}

// ---------------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WndProc(TMessage& M) {
  if (M.Msg == WM_PAINT) {
    HDC DC = reinterpret_cast<HDC>(M.WParam);
    if (!DC) return;
    PaintOnCanvas(*FCanvas, DC, [this] { Paint(); });
    return;
  }
  TControl::WndProc(M);
}

// ---------------------------------------------------------------------------

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC DC) { PaintOnCanvas(*FCanvas, DC, [this] { Paint(); }); }

void TCustomControl::Paint() { FCanvas->FillRect(ClientRect()); }
