#include "sSkinProvider.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "acBorderForm.h"
#include "acDwm.h"
#include "acRegion.h"
#include "sSkinManager.h"
#include "skin/paint/PixelOps.h"
#include "skin/binding/sSkinText.h"
#include "skin/paint/section/sGraphUtils.h"

namespace cb {

namespace {

bool IsSkinnedMessage(UINT Msg) { return Msg == SKM_COMMAND; }

// Providers alive: when the last one goes, the hide animation that may
// outlive its form goes too.
int gLiveProviders = 0;

}  // namespace

bool LayeredWindowsAvailable() {
  static const bool Available = [] {
    HMODULE User = GetModuleHandleW(L"user32.dll");
    return User && GetProcAddress(User, "UpdateLayeredWindow") && GetProcAddress(User, "SetLayeredWindowAttributes");
  }();
  return Available;
}

TsSkinProvider* ProviderOfWindow(HWND Wnd) {
  TWinControl* C = TWinControl::FindControl(Wnd);  // this process's windows only
  if (!C) return nullptr;
  return reinterpret_cast<TsSkinProvider*>(C->Perform(SKM_COMMAND, SkinCommand(SKC_GETPROVIDER), 0));
}

// ---------------------------------------------------------------------------
// Life

TsSkinProvider::TsSkinProvider(TCustomForm* AForm) : Form(AForm) {
  // One provider per form: a second one stays inert.
  if (Form->Perform(SKM_COMMAND, SkinCommand(SKC_GETPROVIDER), 0) != 0) {
    FDetached = true;
    return;
  }
  ++gLiveProviders;
  FCommonData = std::make_unique<TsCommonData>(Form, COC_TsSkinProvider);
  FCommonData->DefaultSection = L"FORM";
  Frame = std::make_unique<TacFrame>(static_cast<TacFrameHost&>(*this));
  // Newest hook first: the provider sees the form's messages before its binding.
  Form->AddWindowHook(HookId, [this](TMessage& M, const TWindowHookNext& Next) { WndHook(M, Next); });
}

TsSkinProvider::~TsSkinProvider() {
  if (FDetached && !FCommonData) return;
  Detach();
  if (--gLiveProviders == 0) StopFormAnimations();
}

void TsSkinProvider::Detach() {
  // Fades, the border window and the capture go before the hooks come off,
  // so no tick or forwarded message reaches a provider on its way out.
  StopFormTimers();
  if (Frame) Frame->Release();
  BorderForm.reset();
  if (!FDetached) {
    FDetached = true;
    Form->RemoveWindowHook(HookId);
    RemoveRegion();
    if (HWND W = Wnd(); W && !(Form->ComponentState() & csDestroying)) {
      SetWindowPos(W, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      InvalidateRect(W, nullptr, TRUE);
    }
  }
  Frame.reset();
  FCommonData.reset();
}

HWND TsSkinProvider::Wnd() const { return Form ? Form->WindowHandle() : nullptr; }
TsSkinManager* TsSkinProvider::Manager() const { return DefaultManager(); }
TacSkinData* TsSkinProvider::Data() { return FCommonData ? FCommonData->CommonSkinData() : nullptr; }

bool TsSkinProvider::Skinned() const {
  if (FDetached || !FCommonData || !Form || (Form->ComponentState() & csDestroying)) return false;
  TsSkinManager* M = Manager();
  return M && M->SkinCommonInfo.Active && FCommonData->Skinned(true) && DrawNonClientArea;
}

bool TsSkinProvider::ExtendedBorders() const {
  TsSkinManager* M = Manager();
  if (!M || !M->ExtendedBordersValue() || !AllowExtBorders || !DrawNonClientArea || !LayeredWindowsAvailable())
    return false;
  if (Form->BorderStyle() == bsNone || Form->Parent()) return false;
  // The manager may leave a maximised window its own frame: no border window then.
  HWND W = Wnd();
  if (W && IsZoomed(W) && M->Options() && M->Options()->NativeBordersMaximized()) return false;
  return true;
}

void TsSkinProvider::InitRT() {
  if (!RTInit) return;
  RTInit = false;
  PrepareForm();
}

void TsSkinProvider::PrepareForm() {
  if (!FCommonData || !Wnd()) return;
  TsSkinManager* M = Manager();
  if (!M || !M->SkinCommonInfo.Active) return;
  // With composition on, the manager would paint its own frame over ours.
  if (DwmCompositionEnabled()) {
    const BOOL OwnFrame = DrawNonClientArea;
    DwmSetWindowAttributeRT(Wnd(), acDwmNCRenderingPolicy, &OwnFrame, sizeof OwnFrame);
  }
  FCommonData->Loaded(false);
  TacSkinData* D = Data();
  Frame->FTitleSkinIndex = D ? M->SkinCommonInfo.Sections[ssFormTitle] : -1;
  Frame->FCaptionSkinIndex = -1;
  Frame->FHeaderIndex = D ? M->SkinCommonInfo.Sections[ssFormHeader] : -1;
  if (UseGlobalColor && !FCommonData->GetCustomColor()) Form->SetColor(static_cast<TColor>(M->GetGlobalColor()));
  if (HWND W = Wnd(); W && M->Brush(0))
    SetClassLongPtrW(W, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(M->Brush(0)));
  Frame->Changed();
  RgnChanged = true;
  Frame->MetricsChanged();
}

// ---------------------------------------------------------------------------
// The frame's host

TacBorderStyle TsSkinProvider::FrameBorderStyle() const {
  switch (Form->BorderStyle()) {
    case bsNone: return acbsNone;
    case bsSingle: return acbsSingle;
    case bsSizeable: return acbsSizeable;
    case bsDialog: return acbsDialog;
    case bsToolWindow: return acbsToolWindow;
    case bsSizeToolWin: return acbsSizeToolWin;
  }
  return acbsSingle;
}

std::wstring TsSkinProvider::FrameFontName() const { return Form->Font()->Name(); }
int TsSkinProvider::FrameFontCharset() const { return static_cast<int>(Form->Font()->Charset()); }
bool TsSkinProvider::FrameIsMainWindow() const { return Application && Form == Application->MainForm(); }

void TsSkinProvider::FrameEnsureReady() {
  if (RTInit) InitRT();
}

void TsSkinProvider::FrameShowPart(const RECT& Part) {
  if (ExtendedBorders()) {
    if (BorderForm) BorderForm->UpdateExBordersPos(true);
    return;
  }
  HWND W = Wnd();
  TDibBitmap* Cache = Frame->FrameImage();
  if (HDC DC = W && Cache ? GetWindowDC(W) : nullptr) {
    Cache->CopyTo(DC, Part.left, Part.top, BmpRect(Part.left, Part.top, Part.right, Part.bottom));
    ReleaseDC(W, DC);
  }
}

// ---------------------------------------------------------------------------
// Showing the image

void TsSkinProvider::ShowImage() {
  if (!Skinned()) return;
  if (ExtendedBorders()) {
    UpdateExBorders();
  } else {
    NCPaint();
  }
}

void TsSkinProvider::NCPaint() {
  HWND W = Wnd();
  if (!W || !IsWindowVisible(W) || ExtendedBorders()) return;
  if (FCommonData->BGChanged && !Frame->PaintAll()) return;
  if (RgnChanged) UpdateRegion();
  TDibBitmap* Cache = FCommonData->CacheBmp();
  if (!Cache || Cache->Empty()) return;
  const TacFrameMetrics FM = Frame->Metrics();
  HDC DC = GetWindowDC(W);
  if (!DC) return;
  // The frame only: the client area paints itself.
  const int CW = FM.Width - 2 * FM.SF, CTop = FM.SF + FM.SC;
  Cache->CopyTo(DC, 0, 0, BmpRect(0, 0, FM.Width, CTop));
  Cache->CopyTo(DC, 0, CTop, BmpRect(0, CTop, FM.SF, FM.Height));
  Cache->CopyTo(DC, FM.Width - FM.SF, CTop, BmpRect(FM.Width - FM.SF, CTop, FM.Width, FM.Height));
  Cache->CopyTo(DC, FM.SF, FM.Height - FM.SF, BmpRect(FM.SF, FM.Height - FM.SF, FM.SF + CW, FM.Height));
  ReleaseDC(W, DC);
}

void TsSkinProvider::UpdateExBorders() {
  // An animation's surface stands in for the border window until it ends.
  if (FInAnimation || FormAnimationRunning()) return;
  HWND W = Wnd();
  if (!W || !Skinned() || !ExtendedBorders()) {
    BorderForm.reset();
    return;
  }
  if (!IsWindowVisible(W) || IsIconic(W)) {
    if (BorderForm) BorderForm->FreeWindow();
    return;
  }
  if (!BorderForm) BorderForm = std::make_unique<TacBorderForm>(static_cast<TacBorderOwner*>(this));
  UpdateRegion();
  const bool Stale = FCommonData->BGChanged;
  if (Stale) Frame->PaintAll();
  BorderForm->UpdateExBordersPos(Stale, FBorderBlend);
}

void TsSkinProvider::UpdateRegion() {
  HWND W = Wnd();
  // Only a new size, state or skin changes the region; moves leave it alone.
  if (!RgnChanged || !W || IsIconic(W) || !Skinned()) return;
  const TacFrameMetrics FM = Frame->Metrics();
  // Without the border window the region follows the image's corners.
  if (!FM.Extended && FCommonData->BGChanged && !Frame->PaintAll()) return;
  RECT WR{};
  GetWindowRect(W, &WR);
  const int FormW = WR.right - WR.left, FormH = WR.bottom - WR.top;
  RgnChanged = false;
  // Known before the call: the window's answer to the new region reports the same size.
  FRgnSize = SIZE{FormW, FormH};
  const bool Redraw = IsWindowVisible(W) != FALSE;
  // The window owns a region only when the call succeeds.
  if (FM.Extended) {
    // The system's frame and caption are cut away; the border window shows the skin's.
    TacRgn(FM.SF, FM.SF + FM.SC, FormW - FM.SF, FormH - FM.SF).SetTo(W, Redraw);
  } else if (IsZoomed(W)) {
    // The frame a maximised window has beyond the screen's edges is cut away,
    // no more: the whole caption and client area stay on the screen.
    TacRgn(FM.SF, FM.SF, FormW - FM.SF, FormH - FM.SF).SetTo(W, Redraw);
  } else if (Frame->Holes().empty()) {
    SetWindowRgn(W, nullptr, Redraw);  // square corners: the window's own rectangle
  } else {
    TacRgn R(0, 0, FormW, FormH);
    for (const BmpRect& H : Frame->Holes()) {
      const TacRgn Hole(H.Left, H.Top, H.Right, H.Bottom);
      CombineRgn(R.Get(), R.Get(), Hole.Get(), RGN_DIFF);
    }
    R.SetTo(W, Redraw);
  }
}

void TsSkinProvider::Snap(WINDOWPOS& WP) {
  HWND W = Wnd();
  if ((WP.flags & SWP_NOMOVE) || !W || IsZoomed(W) || IsIconic(W)) return;
  RECT WR{};
  GetWindowRect(W, &WR);
  const int CX = (WP.flags & SWP_NOSIZE) ? WR.right - WR.left : WP.cx;
  const int CY = (WP.flags & SWP_NOSIZE) ? WR.bottom - WR.top : WP.cy;
  // What the user sees as the window is the skin's frame, which lies outside
  // the window's own rectangle by the difference of the two frames.
  const TacFrameMetrics FM = Frame->Metrics();
  const int DX = FM.Extended ? FM.BW - FM.SF : 0;
  const int DTop = FM.Extended && FM.SC ? FM.TH - FM.SF - FM.SC : DX;
  const RECT Frame{WP.x - DX, WP.y - DTop, WP.x + CX + DX, WP.y + CY + DX};
  MONITORINFO MI{};
  MI.cbSize = sizeof MI;
  if (!GetMonitorInfoW(MonitorFromRect(&Frame, MONITOR_DEFAULTTONEAREST), &MI)) return;
  const RECT& Work = MI.rcWork;
  auto Pull = [this](int Edge, int Target) { return std::abs(Target - Edge) <= SnapBuffer ? Target - Edge : 0; };
  int MX = Pull(Frame.left, Work.left);
  if (!MX) MX = Pull(Frame.right, Work.right);
  int MY = Pull(Frame.top, Work.top);
  if (!MY) MY = Pull(Frame.bottom, Work.bottom);
  WP.x += MX;
  WP.y += MY;
}

void TsSkinProvider::RemoveRegion() {
  HWND W = Wnd();
  FRgnSize = SIZE{0, 0};
  if (W && IsWindow(W)) SetWindowRgn(W, nullptr, IsWindowVisible(W));
}

void TsSkinProvider::EraseClient(TMessage& M) {
  HDC DC = reinterpret_cast<HDC>(M.WParam);
  if (!DC) return;
  if (FCommonData->BGChanged) Frame->PaintAll();
  TDibBitmap* Cache = FCommonData->CacheBmp();
  if (!Cache || Cache->Empty() || FCommonData->BGChanged) return;
  const int OX = Frame->OffsetX(), OY = Frame->OffsetY();
  RECT CR{};
  GetClientRect(Wnd(), &CR);
  Cache->CopyTo(DC, 0, 0, BmpRect(OX, OY, OX + CR.right, OY + CR.bottom));
  M.Result = 1;
}

void TsSkinProvider::AnswerBG(TacBGRequest& R) {
  if (FCommonData->BGChanged) Frame->PaintAll();
  TDibBitmap* Cache = FCommonData->CacheBmp();
  if (!Cache || Cache->Empty() || FCommonData->BGChanged) {
    R.BGKind = btFill;
    R.Color = static_cast<std::uint32_t>(ColorToRGB(Form->Color()));
    return;
  }
  // The child's position is counted from the client origin; the image has the frame around it.
  R.Offset.x += Frame->OffsetX();
  R.Offset.y += Frame->OffsetY();
  R.Bmp = &Cache->Bmp();
  R.BGKind = btCache;
  if (R.DrawRequested && R.TargetDC)
    Cache->CopyTo(
        R.TargetDC, R.R.left, R.R.top,
        BmpRect(R.Offset.x, R.Offset.y, R.Offset.x + R.R.right - R.R.left, R.Offset.y + R.R.bottom - R.R.top));
}

// ---------------------------------------------------------------------------
// Title buttons
LRESULT TsSkinProvider::ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  return Form->Perform(Msg, WParam, LParam);
}

bool TsSkinProvider::HandleCommand(TMessage& M, const TWindowHookNext& Next) {
  switch (CommandOf(M.WParam)) {
    // The system frame width, as the controls' adapters measure it.
    case SKC_GETFRAMEWIDTH: M.Result = Frame->Metrics().SF; return true;
    case SKC_GETPROVIDER: M.Result = reinterpret_cast<LRESULT>(this); return true;
    case SKC_SKINLOADED:
    case SKC_REFRESH:
      Next(M);
      PrepareForm();
      BroadcastSkinCommand(Form, CommandOf(M.WParam), M.LParam, CommandArg(M.WParam));
      ShowImage();
      if (Wnd()) InvalidateRect(Wnd(), nullptr, TRUE);
      return true;
    case SKC_SKINREMOVED:
      Next(M);
      BroadcastSkinCommand(Form, SKC_SKINREMOVED, M.LParam);
      Frame->KillAnimations();
      BorderForm.reset();
      RemoveRegion();
      return true;
    case SKC_STOPANIM:
    case SKC_FONTCHANGED:
      Next(M);
      if (CommandOf(M.WParam) == SKC_FONTCHANGED) Frame->Changed();
      BroadcastSkinCommand(Form, CommandOf(M.WParam), M.LParam, CommandArg(M.WParam));
      return true;
    case SKC_PREPARECACHE: Frame->PaintAll(); return true;
    case SKC_GETBG:
      if (!Skinned()) return false;
      AnswerBG(*reinterpret_cast<TacBGRequest*>(M.LParam));
      return true;
    default: return false;
  }
}

void TsSkinProvider::WndHook(TMessage& M, const TWindowHookNext& Next) {
  // A run-time provider reads the skin once its window is made.
  if (RTInit && Wnd() && !(Form->ControlState() & csCreating)) InitRT();
  switch (M.Msg) {
    case WM_NCCALCSIZE:
    case WM_STYLECHANGED:
    case WM_DPICHANGED:
    case WM_SHOWWINDOW: Frame->MetricsChanged(); break;
    default: break;
  }
  if (IsSkinnedMessage(M.Msg)) {
    if (!HandleCommand(M, Next)) Next(M);
    return;
  }
  if (!Skinned()) {
    Next(M);
    return;
  }
  // The pointer over the frame and the system menu are the frame's.
  if (Frame->HandleInput(M)) return;
  switch (M.Msg) {
    case CM_SHOWINGCHANGED:
      if (M.WParam && ShowAnimationWanted()) {
        ShowAnimated(M, Next);
        return;
      }
      if (!M.WParam && HideAnimationWanted()) {
        HideAnimated(M, Next);
        return;
      }
      break;
    case WM_CLOSE: CaptureOnClose(M, Next); return;
    case WM_SYSCOMMAND:
      if (SysCommandAnimated(M, Next)) return;
      break;
    case WM_NCLBUTTONDOWN:
      if (M.WParam == HTCAPTION && BlendOnMoving(M, Next)) return;
      break;
    case WM_NCPAINT:
      InitRT();
      if (!ExtendedBorders()) NCPaint();
      M.Result = 0;
      return;
    case WM_NCACTIVATE: {
      const bool Active = M.WParam != 0;
      if (Active != Frame->FormActive) {
        Frame->FormActive = Active;
        Frame->Changed();
      }
      ShowImage();
      // True: the activation may change; the system paints no frame of its own.
      M.Result = TRUE;
      return;
    }
    case WM_ERASEBKGND:
      if (!DrawClientArea || !IsWindowVisible(Wnd())) break;
      EraseClient(M);
      if (M.Result) return;
      break;
    case WM_SETICON:
      Next(M);
      Frame->IconChanged();
      Frame->Changed();
      ShowImage();
      return;
    case WM_SETTEXT:
      Next(M);
      Frame->Changed();
      ShowImage();
      return;
    case WM_MOVE:
    case WM_SIZE:  // a real change of size is seen once the position has changed
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
      // The frame looks the same wherever it stands, with focus or pointer
      // anywhere; the binding's marks for controls do not apply to it.
      const bool Stale = FCommonData->BGChanged;
      Next(M);
      FCommonData->BGChanged = Stale;
      return;
    }
    case WM_SHOWWINDOW:
      Next(M);
      // Clipped before it first shows, so no frame of the system's is painted and cut off afterwards.
      if (M.WParam) UpdateRegion();
      return;
    case WM_DPICHANGED:
      Frame->Changed();
      RgnChanged = true;
      break;
    case WM_WINDOWPOSCHANGING:
      if (ScreenSnap && M.LParam) Snap(*reinterpret_cast<WINDOWPOS*>(M.LParam));
      break;
    case WM_WINDOWPOSCHANGED: {
      Next(M);
      auto* WP = reinterpret_cast<WINDOWPOS*>(M.LParam);
      RECT WR{};
      GetWindowRect(Wnd(), &WR);
      const SIZE Now{WR.right - WR.left, WR.bottom - WR.top};
      // Only a new size needs a new image and region; moves keep them.
      if (Now.cx != Frame->ImageSize().cx || Now.cy != Frame->ImageSize().cy) Frame->Changed();
      if (Now.cx != FRgnSize.cx || Now.cy != FRgnSize.cy) RgnChanged = true;
      if (ExtendedBorders()) {
        UpdateExBorders();
      } else {
        // The frame in the window itself (a maximised window may have it so):
        // no border window, the region of this mode.
        BorderForm.reset();
        if (RgnChanged) UpdateRegion();
        if (WP && (WP->flags & SWP_SHOWWINDOW)) NCPaint();
      }
      return;
    }
    case WM_NCDESTROY:
      StopFormTimers();
      Frame->KillAnimations();
      BorderForm.reset();
      break;
    case WM_PAINT:
      // A border window lost while the form could not show one (its redraw
      // switched off, say) comes back with the form's next paint.
      if (ExtendedBorders() && IsWindowVisible(Wnd()) && !IsIconic(Wnd()) &&
          (!BorderForm || !BorderForm->Handle() || !IsWindowVisible(BorderForm->Handle())))
        UpdateExBorders();
      break;
    default: break;
  }
  Next(M);
}

}  // namespace cb
