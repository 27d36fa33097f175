#include "acBorderForm.h"

#include <algorithm>

#include "acRegion.h"
#include "sSkinManager.h"
#include "acFrame.h"
#include "ui/Forms.h"

namespace cb {

namespace {

int XOf(LPARAM L) { return static_cast<short>(LOWORD(L)); }
int YOf(LPARAM L) { return static_cast<short>(HIWORD(L)); }

LPCWSTR SizingCursor(int HT) {
  switch (HT) {
    case HTLEFT:
    case HTRIGHT: return IDC_SIZEWE;
    case HTTOP:
    case HTBOTTOM: return IDC_SIZENS;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: return IDC_SIZENWSE;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: return IDC_SIZENESW;
    default: return nullptr;
  }
}

}  // namespace

TacBorderForm::TacBorderForm(TacBorderOwner* Owner) : FOwner(Owner) {}

TacBorderForm::~TacBorderForm() { FreeWindow(); }

HWND TacBorderForm::OwnerWnd() const { return FOwner ? FOwner->BorderOwnerHandle() : nullptr; }
TacFrame& TacBorderForm::Frame() const { return FOwner->BorderFrame(); }
int TacBorderForm::HitAt(POINT Screen) const { return Frame().ExHitTest(Frame().ScreenToImage(Screen)); }

void TacBorderForm::FreeWindow() {
  if (!FSurface) return;
  FWnd = nullptr;
  FSurface.reset();  // no message of its end reaches this object
  FImageW = FImageH = 0;
  FShownBlend = -1;
  FTrackingLeave = false;
}

std::unique_ptr<TacLayeredSurface> TacBorderForm::ReleaseSurface() {
  if (!FSurface || !FWnd) {
    FreeWindow();
    return nullptr;
  }
  KillTimer(FWnd, ZOrderTimer);
  FSurface->SetOwner(nullptr);
  FWnd = nullptr;
  FImageW = FImageH = 0;
  FShownBlend = -1;
  FTrackingLeave = false;
  return std::move(FSurface);
}

void TacBorderForm::AdoptSurface(std::unique_ptr<TacLayeredSurface> Surface) {
  FreeWindow();
  if (!Surface || !Surface->Handle()) return;
  FSurface = std::move(Surface);
  FSurface->SetOwner(static_cast<TacSurfaceOwner*>(this));
  FWnd = FSurface->Handle();
  // Size unknown: the next update sends the frame's picture and makes the region.
  FImageW = FImageH = 0;
  FShownBlend = -1;
}

void TacBorderForm::CreateWnd() {
  HWND Owner = OwnerWnd();
  // Owned by the form's own owner, not the form: a window always lies above
  // its owner, and this one must lie directly behind the form.
  HWND Up = Owner ? GetWindow(Owner, GW_OWNER) : nullptr;
  FSurface = std::make_unique<TacLayeredSurface>(static_cast<TacSurfaceOwner*>(this), Up);
  FWnd = FSurface->Handle();
}

void TacBorderForm::UpdateExBordersPos(bool Redraw, int Blend) {
  HWND O = OwnerWnd();
  if (Locked || ExBorderShowing || !O || !FOwner->BorderOwnerSkinned()) return;
  if (Application && Application->Terminated()) return;
  if (!IsWindowVisible(O) || IsIconic(O)) {
    FreeWindow();
    return;
  }
  struct TGuard {
    bool& B;
    explicit TGuard(bool& V) : B(V) { B = true; }
    ~TGuard() { B = false; }
  } Guard(ExBorderShowing);
  TDibBitmap* Img = Frame().FrameImage();
  if (!Img || Img->Empty() || Frame().Stale()) {
    if (!Frame().PaintAll()) return;
    Img = Frame().FrameImage();
    Redraw = true;
  }
  if (!Img || Img->Empty()) return;
  const TacFrameMetrics FM = Frame().Metrics();
  RECT WR{};
  GetWindowRect(O, &WR);
  const int X = WR.left - (FM.BW + FM.L - FM.SF);
  const int Y = WR.top - (FM.SC ? FM.T + FM.TH - FM.SF - FM.SC : FM.T - FM.SF);
  bool Fresh = false;
  if (!FWnd) {
    CreateWnd();
    if (!FWnd) return;
    Fresh = true;
  }
  const bool Resized = Img->Width() != FImageW || Img->Height() != FImageH;
  RECT BR{};
  GetWindowRect(FWnd, &BR);
  bool Moved = BR.left != X || BR.top != Y;
  // The picture goes to the window system only when it changed: a full
  // layered update costs milliseconds, a move a fraction of one.
  if (Resized || Fresh || Frame().ImageSerial != FShownSerial || Blend != FShownBlend) {
    // One button redrawn since the last picture: only its rectangle is sent.
    const bool OnePiece = !Resized && !Fresh && Blend == FShownBlend && Frame().ImageSerial == FShownSerial + 1 &&
                          Frame().DirtySerial == Frame().ImageSerial;
    // A failure is left alone: the next update tries again.
    ++PictureCount;
    if (FSurface->Present(*Img, POINT{X, Y}, Blend, OnePiece ? &Frame().DirtyRect : nullptr)) {
      FShownSerial = Frame().ImageSerial;
      FShownBlend = Blend;
      Moved = false;
    }
    if (Resized || Fresh) {
      FImageW = Img->Width();
      FImageH = Img->Height();
      MakeRgn();
    }
  }
  if (FZoomed != (IsZoomed(O) != FALSE)) MakeRgn();
  const bool Behind = GetWindow(O, GW_HWNDNEXT) == FWnd;
  const bool Shown = IsWindowVisible(FWnd) != FALSE;
  if (Behind && Shown && !Moved) return;
  LastTopLeft = POINT{X, Y};
  // Directly behind the form, never activated; a move alone keeps the picture.
  UINT Flags = SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | (Redraw ? 0 : SWP_NOREDRAW);
  if (!Shown) Flags |= SWP_SHOWWINDOW;
  if (Behind) Flags |= SWP_NOZORDER;
  if (!Moved) Flags |= SWP_NOMOVE;
  SetWindowPos(FWnd, O, X, Y, 0, 0, Flags);
  // A window that has just appeared may still be raised once the display
  // maps it (Wine does, without a message): its place is checked a few more times.
  if (Fresh) {
    FZOrderChecks = 12;
    SetTimer(FWnd, ZOrderTimer, 50, nullptr);
  }
}

void TacBorderForm::KeepBehindOwner() {
  HWND O = OwnerWnd();
  if (FWnd && O && GetWindow(O, GW_HWNDNEXT) != FWnd)
    SetWindowPos(FWnd, O, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void TacBorderForm::MakeRgn() {
  if (!FWnd) return;
  // The frame and shadow; the form's client area is left out so that the
  // pointer there reaches the form.
  const int OX = Frame().OffsetX(), OY = Frame().OffsetY();
  RECT CR{};
  GetClientRect(OwnerWnd(), &CR);
  // A maximised window shows no shadow and no outer border: they would lie
  // off the screen's edges or over the next screen.
  FZoomed = IsZoomed(OwnerWnd()) != FALSE;
  const TacFrameMetrics FM = Frame().Metrics();
  TacRgn Full = FZoomed ? TacRgn(FM.L + FM.BW, FM.T + 4, FImageW - FM.R - FM.BW, FImageH - FM.B - FM.BW)
                        : TacRgn(0, 0, FImageW, FImageH);
  const TacRgn Client(OX, OY, OX + CR.right, OY + CR.bottom);
  CombineRgn(Full.Get(), Full.Get(), Client.Get(), RGN_XOR);
  Full.SetTo(FWnd, false);
  ResetRgn = false;
}

void TacBorderForm::PunchHole(POINT Client) {
  // A one-pixel hole under the pointer lets the next event fall through to
  // the window below; the next hit test closes it again.
  TacRgn Rgn(0, 0, 0, 0);
  if (!Rgn.ReadFrom(FWnd)) return;
  const TacRgn Hole(Client.x, Client.y, Client.x + 1, Client.y + 1);
  CombineRgn(Rgn.Get(), Rgn.Get(), Hole.Get(), RGN_XOR);
  Rgn.SetTo(FWnd, false);
  ResetRgn = true;
}

bool TacBorderForm::OverShadow(POINT P) const {
  const TacFrameMetrics FM = Frame().Metrics();
  const int C = std::max(6, FM.BW);
  const RECT Frame{FM.L - C, FM.T - C, FM.Width - FM.R + C, FM.Height - FM.B + C};
  return !PtInRect(&Frame, P);
}

LRESULT TacBorderForm::NCHitTest(POINT Screen) {
  if (ResetRgn) MakeRgn();
  RECT WR{};
  GetWindowRect(FWnd, &WR);
  const POINT P{Screen.x - WR.left, Screen.y - WR.top};
  if (OverShadow(P)) {
    // The hole lets the next event at this point reach the window below,
    // whatever thread it belongs to (the system passes a transparent answer
    // on only to windows of this thread, Wine not even that).
    PunchHole(P);
    return HTTRANSPARENT;
  }
  // Over the frame: no default action of the system; the owner decides.
  return htObject;
}

LRESULT TacBorderForm::SurfaceMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  HWND O = OwnerWnd();
  const POINT Pt{XOf(LParam), YOf(LParam)};
  switch (Msg) {
    case WM_NCHITTEST: return NCHitTest(Pt);
    case WM_MOUSEACTIVATE:
      if (O && IsWindowEnabled(O)) SetForegroundWindow(O);
      return MA_NOACTIVATE;
    case WM_SETFOCUS:
      if (O && IsWindowEnabled(O) && IsWindowVisible(O)) SetFocus(O);
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
      if (LOWORD(LParam) == htObject) {
        // The system knows no sizing edge here: the pointer shows the owner's.
        POINT P{};
        GetCursorPos(&P);
        if (LPCWSTR Shape = SizingCursor(HitAt(P))) {
          SetCursor(LoadCursorW(nullptr, Shape));
          return TRUE;
        }
      }
      break;
    case WM_NCPAINT:
    case WM_DPICHANGED: return 0;
    case WM_NCMOUSEMOVE: {
      if (!FTrackingLeave) {
        TRACKMOUSEEVENT T{sizeof T, TME_LEAVE | TME_NONCLIENT, FWnd, 0};
        FTrackingLeave = TrackMouseEvent(&T) != 0;
      }
      Frame().HandleNCMouseMove(HitAt(Pt));
      return 0;
    }
    case WM_NCMOUSELEAVE:
      FTrackingLeave = false;
      Frame().HandleNCMouseLeave();
      return 0;
    case WM_NCLBUTTONDOWN: {
      const int HT = HitAt(Pt);
      if (O) SendMessageW(O, WM_NCLBUTTONDOWN, HT == HTSYSMENU ? HTSYSMENU : static_cast<WPARAM>(-1), LParam);
      return 0;
    }
    case WM_NCLBUTTONUP:
    case WM_NCRBUTTONUP:
      if (O) SendMessageW(O, Msg, static_cast<WPARAM>(-1), LParam);
      return 0;
    case WM_NCRBUTTONDOWN:
      if (O) SendMessageW(O, Msg, static_cast<WPARAM>(HitAt(Pt)), LParam);
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (O) SendMessageW(O, Msg, static_cast<WPARAM>(HitAt(Pt)), LParam);
      return 0;
    case WM_TIMER:
      if (WParam == ZOrderTimer) {
        if (--FZOrderChecks <= 0) KillTimer(Wnd, ZOrderTimer);
        KeepBehindOwner();
        return 0;
      }
      break;
    case WM_NCDESTROY: FWnd = nullptr; return DefWindowProcW(Wnd, Msg, WParam, LParam);
    default:
      if (Msg >= WM_MOUSEMOVE && Msg <= WM_MBUTTONDBLCLK) {
        // Client input here only arrives over the shadow.
        PunchHole(Pt);
        return 0;
      }
      break;
  }
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

}  // namespace cb
