// The form provider's animations: showing, hiding, minimising, restoring and
// the translucent drag.
#include <algorithm>
#include <cmath>
#include <vector>

#include "acAnimations.h"
#include "acDwm.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"
#include "skin/paint/PixelOps.h"

namespace cb {

namespace {

constexpr int kShowStepMs = 12;

bool Topmost(HWND W) { return (GetWindowLongPtrW(W, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// The visible children told to stop drawing; they are the ones told to start
// again (a child that stopped drawing no longer counts as visible).
std::vector<HWND> StopChildrenRedraw(HWND W) {
  std::vector<HWND> Stopped;
  for (HWND C = GetWindow(W, GW_CHILD); C; C = GetWindow(C, GW_HWNDNEXT))
    if (IsWindowVisible(C)) Stopped.push_back(C);
  for (HWND C : Stopped) SendMessageW(C, WM_SETREDRAW, FALSE, 0);
  return Stopped;
}

void RestartChildrenRedraw(const std::vector<HWND>& Stopped) {
  for (HWND C : Stopped)
    if (IsWindow(C)) SendMessageW(C, WM_SETREDRAW, TRUE, 0);
}

// Every pixel's alpha inside R made opaque (the colours drawn there by GDI
// carry no alpha of their own).
void MakeOpaque(Bitmap32& Bmp, BmpRect R) {
  R.Left = std::max(R.Left, 0);
  R.Top = std::max(R.Top, 0);
  R.Right = std::min(R.Right, Bmp.Width());
  R.Bottom = std::min(R.Bottom, Bmp.Height());
  for (int Y = R.Top; Y < R.Bottom; ++Y) {
    std::uint32_t* L = Bmp.Line(Y);
    for (int X = R.Left; X < R.Right; ++X) L[X] |= 0xFF000000u;
  }
}

// The surface placed directly above W in z-order and shown, never activated.
void PlaceAbove(HWND Surface, HWND W) {
  HWND Prev = GetWindow(W, GW_HWNDPREV);
  SetWindowPos(Surface, Prev && Prev != Surface ? Prev : HWND_TOP, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER);
}

// The surface shown directly behind W, never activated.
void PlaceBelow(HWND Surface, HWND W) {
  SetWindowPos(Surface, W, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER);
}

}  // namespace

// ---------------------------------------------------------------------------
// The window's picture

POINT TsSkinProvider::PicturePos() {
  POINT O{0, 0};
  ClientToScreen(Wnd(), &O);
  return POINT{O.x - Frame->OffsetX(), O.y - Frame->OffsetY()};
}

std::unique_ptr<TDibBitmap> TsSkinProvider::MakeWindowPicture() {
  HWND W = Wnd();
  if (!W || !Skinned() || !Frame) return nullptr;
  if ((FCommonData->BGChanged || Frame->Stale() || !Frame->FrameImage()) && !Frame->PaintAll()) return nullptr;
  TDibBitmap* Img = Frame->FrameImage();
  if (!Img || Img->Empty()) return nullptr;
  auto Pic = std::make_unique<TDibBitmap>(Img->Width(), Img->Height());
  if (Pic->Empty()) return nullptr;
  CopyPiece(Pic->Bmp(), BmpPoint(0, 0), Img->Bmp(), Img->Bmp().Bounds());
  const int OX = Frame->OffsetX(), OY = Frame->OffsetY();
  RECT CR{};
  GetClientRect(W, &CR);
  // The client area and its children through their own painting, as the screen shows them.
  HDC DC = Pic->Canvas();
  POINT Old{};
  SetViewportOrgEx(DC, OX, OY, &Old);
  SendMessageW(W, WM_PRINT, reinterpret_cast<WPARAM>(DC), PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  SetViewportOrgEx(DC, Old.x, Old.y, nullptr);
  GdiFlush();
  if (ExtendedBorders()) {
    MakeOpaque(Pic->Bmp(), BmpRect(OX, OY, OX + CR.right, OY + CR.bottom));
  } else {
    // The window without a border window: opaque inside its region, clear outside.
    MakeOpaque(Pic->Bmp(), Pic->Bmp().Bounds());
    for (const BmpRect& H : Frame->Holes()) FillPixels32(Pic->Bmp(), H, 0, 0);
  }
  return Pic;
}

std::unique_ptr<TacLayeredSurface> TsSkinProvider::AnimationSurface(bool FromBorder) {
  HWND W = Wnd();
  std::unique_ptr<TacLayeredSurface> S;
  if (FromBorder && BorderForm) S = BorderForm->ReleaseSurface();
  if (!S) S = std::make_unique<TacLayeredSurface>(nullptr, GetWindow(W, GW_OWNER), Topmost(W) ? WS_EX_TOPMOST : 0);
  if (!S->Handle()) return nullptr;
  // The whole picture shows, not only the frame a border window leaves out of the client.
  SetWindowRgn(S->Handle(), nullptr, FALSE);
  return S;
}

void TsSkinProvider::MakeTransparent(bool& AddedLayered) {
  HWND W = Wnd();
  const LONG_PTR Ex = GetWindowLongPtrW(W, GWL_EXSTYLE);
  AddedLayered = !(Ex & WS_EX_LAYERED);
  if (AddedLayered) SetWindowLongPtrW(W, GWL_EXSTYLE, Ex | WS_EX_LAYERED);
  SetLayeredWindowAttributes(W, 0, 0, LWA_ALPHA);
}

void TsSkinProvider::LiftTransparency(bool AddedLayered) {
  HWND W = Wnd();
  if (!W || !IsWindow(W)) return;
  if (AddedLayered)
    SetWindowLongPtrW(W, GWL_EXSTYLE, GetWindowLongPtrW(W, GWL_EXSTYLE) & ~WS_EX_LAYERED);
  else
    SetLayeredWindowAttributes(W, 0, 255, LWA_ALPHA);
}

// ---------------------------------------------------------------------------
// Show

bool TsSkinProvider::ShowAnimationWanted() {
  TsSkinManager* M = Manager();
  HWND W = Wnd();
  return AllowAnimation && W && Skinned() && !Form->Parent() && M && M->Effects()->AllowAnimation() &&
         M->AnimEffects()->FormShow()->Active() && M->AnimEffects()->FormShow()->Time() >= kShowStepMs &&
         !gAnimationsSuppressed && !FormAnimationRunning() &&
         LayeredWindowsAvailable() && !IsWindowVisible(W) && !(Application && Application->Terminated());
}

void TsSkinProvider::ShowAnimated(TMessage& M, const TWindowHookNext& Next) {
  HWND W = Wnd();
  bool AddedLayered = false;
  // Invisible from its first appearance until the picture has grown to it.
  MakeTransparent(AddedLayered);
  UpdateRegion();
  const std::vector<HWND> Stopped = StopChildrenRedraw(W);
  // The border window comes up with the form, as always, but clear: made
  // after the form, the display (Wine's) would stack it above the form.
  FBorderBlend = 0;
  std::weak_ptr<bool> Alive = FAlive;
  Next(M);
  RestartChildrenRedraw(Stopped);
  if (Alive.expired()) return;
  FInAnimation = true;
  SetFormAnimationRunning(true);
  std::unique_ptr<TacLayeredSurface> Surface;
  RunShowAnimation(Surface);
  EndShowAnimation(std::move(Surface), AddedLayered);
}

void TsSkinProvider::RunShowAnimation(std::unique_ptr<TacLayeredSurface>& Surface) {
  HWND W = Wnd();
  TsSkinManager* Mgr = Manager();
  // Each of these shows the window at once, through the one ending below.
  if (!W || !IsWindowVisible(W) || IsIconic(W) || !Mgr) return;
  const int N = Mgr->AnimEffects()->FormShow()->Time() / kShowStepMs;
  if (N < 1) return;
  std::unique_ptr<TDibBitmap> Pic = MakeWindowPicture();
  if (!Pic) return;
  TDibBitmap Out(Pic->Width(), Pic->Height());
  if (Out.Empty()) return;
  // The border window, already up behind the form (clear), carries the
  // animation where it is: the form above it is clear until the end. No
  // window is made, destroyed or restacked around the form's first
  // appearance: under Wine that cost the form its first click, and a surface
  // put above the form stayed above it on the display.
  Surface = AnimationSurface(true);
  if (!Surface) return;
  const TacAnimType Mode = Mgr->AnimEffects()->FormShow()->Mode();
  const int Final = 255;
  const POINT Pos = PicturePos();
  const double DX = Pic->Width() / 32.0, DY = Pic->Height() / 32.0;
  double Rows = 0;
  std::uint32_t Last = 0;
  for (int I = 0; I <= N; ++I) {
    int Opacity = ShowOpacity(Final, N, I);
    if (Mode == atAero) {
      DrawZoomed(Out, *Pic, DX - DX * I / N, DY - DY * I / N);
    } else if (Mode == atDropDown) {
      Opacity = 255;
      Rows += (Pic->Height() - Rows) / 2;
      DrawRolled(Out, *Pic, static_cast<int>(std::lround(Rows)));
    } else {
      CopyPiece(Out.Bmp(), BmpPoint(0, 0), Pic->Bmp(), Pic->Bmp().Bounds());
    }
    // Drawn first, shown when its 12 ms have come: the frames keep their pace
    // whatever a frame costs to draw.
    if (I > 0) WaitTicksFrom(Last, kAnimStepUs);
    Last = AnimTicks();  // 12 ms from the start of one hand-over to the next
    Surface->Present(Out, Pos, Opacity);
    if (I == 0 && !IsWindowVisible(Surface->Handle())) PlaceBelow(Surface->Handle(), W);
    if (Mode == atDropDown && Pic->Height() - Rows < 2) break;
  }
  WaitTicksFrom(Last, kAnimStepUs);
  Surface->Present(*Pic, Pos, Final);
}

void TsSkinProvider::EndShowAnimation(std::unique_ptr<TacLayeredSurface> Surface, bool AddedLayered) {
  HWND W = Wnd();
  // The one way out of the show, whatever ended it: the window is never left invisible.
  FInAnimation = false;
  FBorderBlend = 255;
  SetFormAnimationRunning(false);
  if (W && IsWindow(W)) {
    // Painted once visible (a window that leaves the layered state may have lost
    // what it showed); the surface still lies above it with the same picture.
    LiftTransparency(AddedLayered);
    RedrawWindow(W, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    if (Surface && Surface->Handle()) {
      // The composited screen needs a frame to show the window before the frame replaces the picture.
      if (DwmCompositionEnabled()) Sleep(24);
      if (ExtendedBorders()) {
        if (!BorderForm) BorderForm = std::make_unique<TacBorderForm>(static_cast<TacBorderOwner*>(this));
        BorderForm->AdoptSurface(std::move(Surface));
      }
    }
    UpdateExBorders();
  }
  Surface.reset();
  if (OnAfterAnimation) OnAfterAnimation();
}

// ---------------------------------------------------------------------------
// Close and hide

bool TsSkinProvider::HideAnimationWanted() {
  TsSkinManager* M = Manager();
  HWND W = Wnd();
  return AllowAnimation && W && Skinned() && !Form->Parent() && M && M->Effects()->AllowAnimation() &&
         M->AnimEffects()->FormHide()->Active() && M->AnimEffects()->FormHide()->Time() >= kShowStepMs &&
         LayeredWindowsAvailable() && IsWindowVisible(W) && !IsIconic(W) && !FInAnimation;
}

void TsSkinProvider::CaptureOnClose(TMessage& M, const TWindowHookNext& Next) {
  std::weak_ptr<bool> Alive = FAlive;
  HWND W = Wnd();
  Next(M);
  // The form may have refused, or gone with its provider, while it was asked.
  if (Alive.expired() || !W || !IsWindow(W) || Wnd() != W) return;
  if (!HideAnimationWanted()) return;
  // Taken while the whole form still shows as it was when asked to close;
  // nothing on screen changes, so a form that stays keeps its frame as it was.
  FClosePicture = MakeWindowPicture();
}

void TsSkinProvider::HideAnimated(TMessage& M, const TWindowHookNext& Next) {
  HWND W = Wnd();
  TsSkinManager* Mgr = Manager();
  std::unique_ptr<TDibBitmap> Pic = std::move(FClosePicture);
  TDibBitmap* Img = Frame->FrameImage();
  // A picture taken on closing that no longer fits the window is taken again.
  if (!Pic || !Img || Pic->Width() != Img->Width() || Pic->Height() != Img->Height() || FCommonData->BGChanged)
    Pic = MakeWindowPicture();
  std::unique_ptr<TacLayeredSurface> Surface = Pic ? AnimationSurface(true) : nullptr;
  if (!Surface) {
    Next(M);
    return;
  }
  const POINT Pos = PicturePos();
  // The surface shows the whole form before the form goes, so nothing flickers.
  Surface->Present(*Pic, Pos, 255);
  PlaceAbove(Surface->Handle(), W);
  FInAnimation = true;
  SetFormAnimationRunning(true);
  std::weak_ptr<bool> Alive = FAlive;
  Next(M);
  SetFormAnimationRunning(false);
  if (!Alive.expired()) {
    FInAnimation = false;
    if (BorderForm) BorderForm->FreeWindow();
  }
  const bool Ending = Application && Application->Terminated();
  HideTimer().Start(std::move(Surface), std::move(Pic), Pos, 255, Mgr->AnimEffects()->FormHide()->Mode(),
                    Mgr->AnimEffects()->FormHide()->Time() / kShowStepMs, Ending);
}

// ---------------------------------------------------------------------------
// Minimise and restore

bool TsSkinProvider::MinimizeAnimationWanted() {
  TsSkinManager* M = Manager();
  HWND W = Wnd();
  return AllowAnimation && W && Skinned() && !Form->Parent() && M && M->Effects()->AllowAnimation() &&
         M->AnimEffects()->Minimizing()->Active() && LayeredWindowsAvailable() && !FInAnimation &&
         !FormAnimationRunning();
}

bool TsSkinProvider::SysCommandAnimated(TMessage& M, const TWindowHookNext& Next) {
  const WPARAM Cmd = M.WParam & 0xFFF0;
  if (Cmd != SC_MINIMIZE && Cmd != SC_RESTORE) return false;
  HWND W = Wnd();
  if (Cmd == SC_RESTORE && !IsIconic(W)) return false;  // a maximised window's restore is not to the task bar
  if (Cmd == SC_MINIMIZE && (IsIconic(W) || !IsWindowVisible(W))) return false;
  if (SkipAnimation) {
    SkipAnimation = false;
    return false;
  }
  if (!MinimizeAnimationWanted()) return false;
  if (Cmd == SC_MINIMIZE)
    MinimizeAnimated(M, Next);
  else
    RestoreAnimated(M, Next);
  return true;
}

void TsSkinProvider::MinimizeAnimated(TMessage& M, const TWindowHookNext& Next) {
  HWND W = Wnd();
  if (FMinTimer) FMinTimer->Stop();
  std::unique_ptr<TDibBitmap> Pic = MakeWindowPicture();
  std::unique_ptr<TacLayeredSurface> Surface = Pic ? AnimationSurface(true) : nullptr;
  if (!Surface) {
    Next(M);
    return;
  }
  const POINT Pos = PicturePos();
  const RECT From{Pos.x, Pos.y, Pos.x + Pic->Width(), Pos.y + Pic->Height()};
  Surface->Present(*Pic, Pos, 255);
  PlaceAbove(Surface->Handle(), W);
  const int Steps = std::max(1, Manager()->AnimEffects()->Minimizing()->Time() / 6);
  if (!FMinTimer) FMinTimer = std::make_unique<TacMinTimer>(W);
  FMinTimer->Start(std::move(Surface), std::move(Pic), From, TaskbarTarget(From), 255, 0, Steps, true, nullptr);
  Next(M);
}

void TsSkinProvider::RestoreAnimated(TMessage& M, const TWindowHookNext& Next) {
  HWND W = Wnd();
  if (FMinTimer) FMinTimer->Stop();
  bool AddedLayered = false;
  MakeTransparent(AddedLayered);
  FRestoreLayered = AddedLayered;
  // As when showing: the border window comes back with the form, clear.
  FBorderBlend = 0;
  std::weak_ptr<bool> Alive = FAlive;
  Next(M);
  if (Alive.expired()) return;
  FInAnimation = true;
  auto End = [this](std::unique_ptr<TacLayeredSurface> S) {
    FInAnimation = false;
    FBorderBlend = 255;
    HWND Wn = Wnd();
    if (Wn && IsWindow(Wn)) {
      LiftTransparency(FRestoreLayered);
      RedrawWindow(Wn, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      if (S && S->Handle() && ExtendedBorders()) {
        if (!BorderForm) BorderForm = std::make_unique<TacBorderForm>(static_cast<TacBorderOwner*>(this));
        BorderForm->AdoptSurface(std::move(S));
      }
      UpdateExBorders();
    }
    S.reset();
    if (OnAfterAnimation) OnAfterAnimation();
  };
  std::unique_ptr<TDibBitmap> Pic = IsIconic(W) || !IsWindowVisible(W) ? nullptr : MakeWindowPicture();
  // As when showing: the border window, up behind the clear form, carries it.
  std::unique_ptr<TacLayeredSurface> Surface = Pic ? AnimationSurface(true) : nullptr;
  if (!Surface) {
    End(nullptr);
    return;
  }
  const POINT Pos = PicturePos();
  const RECT To{Pos.x, Pos.y, Pos.x + Pic->Width(), Pos.y + Pic->Height()};
  const int Steps = std::max(1, Manager()->AnimEffects()->Minimizing()->Time() / 6);
  if (!FMinTimer) FMinTimer = std::make_unique<TacMinTimer>(W);
  TacMinTimer* T = FMinTimer.get();
  if (!IsWindowVisible(Surface->Handle())) PlaceBelow(Surface->Handle(), W);
  T->Start(std::move(Surface), std::move(Pic), TaskbarTarget(To), To, 0, 255, Steps, false,
           [T, End] { End(T->Stop()); });
}

// ---------------------------------------------------------------------------
// The translucent drag

bool TsSkinProvider::BlendOnMoving(TMessage& M, const TWindowHookNext& Next) {
  TsSkinManager* Mgr = Manager();
  HWND W = Wnd();
  if (M.Msg != WM_NCLBUTTONDOWN || M.WParam != HTCAPTION || !Mgr || !W || IsZoomed(W)) return false;
  TacBlendOnMoving* B = Mgr->AnimEffects()->BlendOnMoving();
  if (!B->Active() || !AllowBlendOnMoving || !Mgr->Effects()->AllowAnimation() || B->BlendValue() >= 255)
    return false;
  HWND Border = BorderForm ? BorderForm->Handle() : nullptr;
  FMoveTimer = std::make_unique<TacMoveTimer>(W, Border);
  bool AddedLayered = false;
  const LONG_PTR Ex = GetWindowLongPtrW(W, GWL_EXSTYLE);
  AddedLayered = !(Ex & WS_EX_LAYERED);
  if (AddedLayered) SetWindowLongPtrW(W, GWL_EXSTYLE, Ex | WS_EX_LAYERED);
  SetLayeredWindowAttributes(W, 0, 255, LWA_ALPHA);
  SendSkinCommand(Form, SKC_STOPANIM);
  FMoveTimer->Apply = [this, W](int Value) {
    SetLayeredWindowAttributes(W, 0, static_cast<BYTE>(Value), LWA_ALPHA);
    if (BorderForm) BorderForm->UpdateExBordersPos(false, Value);
  };
  FMoveTimer->Start(255, B->BlendValue(), B->Time());
  std::weak_ptr<bool> Alive = FAlive;
  // The system's move loop runs inside; the timer's steps come through it.
  Next(M);
  if (Alive.expired()) return true;
  if (FMoveTimer) {
    FMoveTimer->Restore();
    FMoveTimer.reset();
  }
  LiftTransparency(AddedLayered);
  return true;
}

void TsSkinProvider::StopFormTimers() {
  // A timer's surface goes with it; the window it belonged to is going.
  FMinTimer.reset();
  FMoveTimer.reset();
  FClosePicture.reset();
}

}  // namespace cb
