#include "acAnimations.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>

#include "skin/paint/PixelOps.h"
#include "ui/Forms.h"

namespace cb {

namespace {

bool gFormAnimating = false;

std::unique_ptr<TacHideTimer>& HideTimerSlot() {
  static auto* Slot = new std::unique_ptr<TacHideTimer>;  // stopped explicitly before the program ends
  return *Slot;
}

int Rounded(double V) { return static_cast<int>(std::lround(V)); }

}  // namespace

bool FormAnimationRunning() { return gFormAnimating; }
void SetFormAnimationRunning(bool Value) { gFormAnimating = Value; }

std::uint32_t AnimTicks() {
  // The performance counter, not GetTickCount: that one moves in steps of
  // about 16 ms on Windows, which would make every 12 ms step last 16.
  static const LONGLONG Freq = [] {
    LARGE_INTEGER F{};
    QueryPerformanceFrequency(&F);
    return F.QuadPart > 0 ? F.QuadPart : 1000;
  }();
  LARGE_INTEGER C{};
  if (!QueryPerformanceCounter(&C)) return GetTickCount() * 1000u;
  // In two parts, so that the product cannot overflow however long the machine has run.
  const unsigned long long Q = static_cast<unsigned long long>(C.QuadPart);
  const unsigned long long F = static_cast<unsigned long long>(Freq);
  return static_cast<std::uint32_t>(Q / F * 1000000ull + Q % F * 1000000ull / F);
}

int ShowOpacity(int Final, int N, int I) {
  if (N < 1) return Final;
  double Step = (Final - 50.0) / N;
  if (Step <= 0) Step = Final / (N + 1.0);
  return std::clamp(static_cast<int>(std::lround((I + 1) * Step)), 0, Final);
}

void WaitTicksFrom(std::uint32_t Start, std::uint32_t Span) {
  while (!TicksElapsed(Start, AnimTicks(), Span)) {
    // Most of the wait sleeps; the last millisecond or two spin, as a sleep
    // may take a whole scheduler tick.
    const std::uint32_t Left = Span - static_cast<std::uint32_t>(AnimTicks() - Start);
    if (Left > 2000 && Left <= Span)
      Sleep(1);
    else
      SwitchToThread();
  }
}

void DrawZoomed(TDibBitmap& Frame, const TDibBitmap& Picture, double InsetX, double InsetY) {
  const int W = Picture.Width(), H = Picture.Height();
  FillPixels32(Frame.Bmp(), Frame.Bmp().Bounds(), 0, 0);
  const int IX = std::clamp(Rounded(InsetX), 0, W / 2), IY = std::clamp(Rounded(InsetY), 0, H / 2);
  const BmpRect Dst(IX, IY, W - IX, H - IY);
  if (Dst.Width() <= 0 || Dst.Height() <= 0) return;
  if (IX == 0 && IY == 0)
    CopyPiece(Frame.Bmp(), BmpPoint(0, 0), Picture.Bmp(), Picture.Bmp().Bounds());
  else
    // Nearest pixel, as a zoom of a few pixels shows no difference to a filter.
    StretchNearest(Frame.Bmp(), Dst, Picture.Bmp(), Picture.Bmp().Bounds());
}

void DrawRolled(TDibBitmap& Frame, const TDibBitmap& Picture, int Rows) {
  FillPixels32(Frame.Bmp(), Frame.Bmp().Bounds(), 0, 0);
  Rows = std::clamp(Rows, 0, Picture.Height());
  if (Rows > 0) CopyPiece(Frame.Bmp(), BmpPoint(0, 0), Picture.Bmp(), BmpRect(0, 0, Picture.Width(), Rows));
}

// ---------------------------------------------------------------------------
// Hide

TacHideTimer::~TacHideTimer() { Finish(); }

TacHideTimer& HideTimer() {
  auto& T = HideTimerSlot();
  if (!T) T = std::make_unique<TacHideTimer>();
  return *T;
}

void TacHideTimer::Start(std::unique_ptr<TacLayeredSurface> Surface, std::unique_ptr<TDibBitmap> Picture, POINT Pos,
                         int StartOpacity, TacAnimType Mode, int Steps, bool Synchronous) {
  Finish();  // a previous fade-out ends where it is
  if (!Surface || !Surface->Handle() || !Picture || Picture->Empty() || Steps < 1) return;
  FSurface = std::move(Surface);
  FSrc = std::move(Picture);
  FDst = std::make_unique<TDibBitmap>(FSrc->Width(), FSrc->Height());
  if (FDst->Empty()) {
    Finish();
    return;
  }
  FPos = Pos;
  FMode = Mode;
  FStart = std::clamp(StartOpacity, 0, 255);
  FOpacity = FStart;
  FSteps = Steps;
  FCurrent = FPrepared = 0;
  FLastFrame = AnimTicks();
  if (Synchronous) {
    // The program is ending: no message loop will deliver the clock's ticks.
    while (FSurface) {
      WaitTicksFrom(FLastFrame, kAnimStepUs);
      Step();
    }
    return;
  }
  FLastFrame = AnimTicks();
  SetInterval(12);
  SetEnabled(true);
}

void TacHideTimer::Finish() {
  SetEnabled(false);
  FSurface.reset();
  FSrc.reset();
  FDst.reset();
  FCurrent = FSteps = 0;
}

void TacHideTimer::DrawStep() {
  const double N = FSteps;
  switch (FMode) {
    case atAero:
      DrawZoomed(*FDst, *FSrc, FCurrent * FSrc->Width() / (32 * N), FCurrent * FSrc->Height() / (32 * N));
      break;
    case atDropDown: DrawRolled(*FDst, *FSrc, Rounded(FSrc->Height() * (1 - FCurrent / N))); break;
    default: CopyPiece(FDst->Bmp(), BmpPoint(0, 0), FSrc->Bmp(), FSrc->Bmp().Bounds()); break;
  }
}

void TacHideTimer::Step() {
  // The surface goes with its owner window; nothing is left to fade then.
  if (!FSurface || !FSurface->Handle()) {
    Finish();
    return;
  }
  // The message timer may come early; frames are never closer than 12 ms.
  if (!TicksElapsed(FLastFrame, AnimTicks(), kAnimStepUs)) return;
  if (FCurrent == 0 || FPrepared != FCurrent) {
    ++FCurrent;
    FOpacity = std::max(0.0, FOpacity - static_cast<double>(FStart) / FSteps);
    DrawStep();
  }
  FLastFrame = AnimTicks();  // frames 12 ms apart from the start of one hand-over to the next
  FSurface->Present(*FDst, FPos, Rounded(FOpacity));
  if (FCurrent >= FSteps) {
    Finish();
    return;
  }
  // The next frame is drawn now, so the next tick only has to show it.
  ++FCurrent;
  FOpacity = std::max(0.0, FOpacity - static_cast<double>(FStart) / FSteps);
  DrawStep();
  FPrepared = FCurrent;
}

// ---------------------------------------------------------------------------
// Minimise and restore

TacMinTimer::~TacMinTimer() {
  SetEnabled(false);
  FSurface.reset();
}

RECT TaskbarTarget(const RECT& Window) {
  const int W = std::max<LONG>(1, Window.right - Window.left), H = std::max<LONG>(1, Window.bottom - Window.top);
  const int CX = (Window.left + Window.right) / 2;
  APPBARDATA Bar{};
  Bar.cbSize = sizeof Bar;
  RECT Edge{};
  UINT Side = ABE_BOTTOM;
  // The shell's library is mapped at the first minimise, not at start-up.
  using TAppBarMessage = UINT_PTR(WINAPI*)(DWORD, PAPPBARDATA);
  static const TAppBarMessage AppBarMessage = [] {
    HMODULE Shell = LoadLibraryW(L"shell32.dll");
    return Shell ? reinterpret_cast<TAppBarMessage>(
                       reinterpret_cast<void (*)()>(GetProcAddress(Shell, "SHAppBarMessage")))
                 : nullptr;
  }();
  if (AppBarMessage && AppBarMessage(ABM_GETTASKBARPOS, &Bar) && Bar.rc.right > Bar.rc.left &&
      Bar.rc.bottom > Bar.rc.top) {
    Edge = Bar.rc;
    Side = Bar.uEdge;
  } else {
    MONITORINFO MI{};
    MI.cbSize = sizeof MI;
    if (!GetMonitorInfoW(MonitorFromRect(&Window, MONITOR_DEFAULTTONEAREST), &MI)) return Window;
    Edge = RECT{MI.rcWork.left, MI.rcWork.bottom, MI.rcWork.right, MI.rcWork.bottom};
  }
  // A button-sized picture on the bar, under the window's middle.
  const int TW = std::max(1, W / 6), TH = std::max(1, H / 6);
  const int CY = (Window.top + Window.bottom) / 2;
  switch (Side) {
    case ABE_LEFT: return RECT{Edge.left, CY - TH / 2, Edge.left + TW, CY + TH / 2};
    case ABE_RIGHT: return RECT{Edge.right - TW, CY - TH / 2, Edge.right, CY + TH / 2};
    case ABE_TOP: return RECT{CX - TW / 2, Edge.top, CX + TW / 2, Edge.top + TH};
    default: return RECT{CX - TW / 2, Edge.bottom - TH, CX + TW / 2, Edge.bottom};
  }
}

void TacMinTimer::Start(std::unique_ptr<TacLayeredSurface> Surface, std::unique_ptr<TDibBitmap> Picture,
                        const RECT& From, const RECT& To, int AlphaFrom, int AlphaTo_, int Steps, bool AMinimized,
                        std::function<void()> Done) {
  SetEnabled(false);
  FSurface = std::move(Surface);
  FSavedImage = std::move(Picture);
  if (!FSurface || !FSurface->Handle() || !FSavedImage || FSavedImage->Empty()) {
    FSurface.reset();
    if (Done) Done();
    return;
  }
  RectFrom = From;
  RectTo = To;
  AlphaOrigin = AlphaFrom;
  AlphaTo = AlphaTo_;
  StepCount = std::max(1, Steps);
  Minimized = AMinimized;
  CurStep = 0;
  FDone = std::move(Done);
  SetInterval(6);
  SetEnabled(true);
}

std::unique_ptr<TacLayeredSurface> TacMinTimer::Stop() {
  SetEnabled(false);
  FDone = nullptr;
  FFrame.reset();
  FSavedImage.reset();
  return std::move(FSurface);
}

void TacMinTimer::DrawStep() {
  // Linear between the two rectangles: CurStep of StepCount.
  const double K = static_cast<double>(CurStep) / StepCount;
  auto Mix = [K](LONG A, LONG B) { return static_cast<int>(std::lround(A + (B - A) * K)); };
  const RECT R{Mix(RectFrom.left, RectTo.left), Mix(RectFrom.top, RectTo.top), Mix(RectFrom.right, RectTo.right),
               Mix(RectFrom.bottom, RectTo.bottom)};
  const int W = std::max<LONG>(1, R.right - R.left), H = std::max<LONG>(1, R.bottom - R.top);
  if (!FFrame || FFrame->Width() != W || FFrame->Height() != H) FFrame = std::make_unique<TDibBitmap>(W, H);
  if (FFrame->Empty()) return;
  if (W == FSavedImage->Width() && H == FSavedImage->Height())
    CopyPiece(FFrame->Bmp(), BmpPoint(0, 0), FSavedImage->Bmp(), FSavedImage->Bmp().Bounds());
  else
    StretchNearest(FFrame->Bmp(), FFrame->Bmp().Bounds(), FSavedImage->Bmp(), FSavedImage->Bmp().Bounds());
  const double Alpha = AlphaOrigin + (AlphaTo - AlphaOrigin) * static_cast<double>(CurStep) / StepCount;
  FSurface->Present(*FFrame, POINT{R.left, R.top}, std::clamp(static_cast<int>(std::lround(Alpha)), 0, 255));
}

void TacMinTimer::Step() {
  if (!FSurface || !FSurface->Handle()) {
    Stop();
    return;
  }
  ++CurStep;
  DrawStep();
  if (CurStep < StepCount) return;
  SetEnabled(false);
  FFrame.reset();
  FSavedImage.reset();
  // Done decides what becomes of the surface; without it the surface goes.
  std::function<void()> Done = std::move(FDone);
  FDone = nullptr;
  if (Done)
    Done();
  else
    FSurface.reset();
}

// ---------------------------------------------------------------------------
// Blend on moving

TacMoveTimer::~TacMoveTimer() { SetEnabled(false); }

void TacMoveTimer::Start(int From, int To, int Time) {
  StartValue = std::clamp(From, 0, 255);
  BlendValue = static_cast<std::uint8_t>(std::clamp(To, 0, 255));
  CurrentBlendValue = StartValue;
  // Below one step the whole change is made at once.
  BlendStep = Time < 13 ? StartValue - BlendValue : (StartValue - BlendValue) / (Time / 12.0);
  SetInterval(12);
  SetEnabled(true);
}

void TacMoveTimer::Step() {
  if (!FormHandle || !IsWindow(FormHandle)) {
    SetEnabled(false);
    return;
  }
  CurrentBlendValue = std::max<double>(BlendValue, CurrentBlendValue - BlendStep);
  if (Apply) Apply(static_cast<int>(std::lround(CurrentBlendValue)));
  if (CurrentBlendValue <= BlendValue) SetEnabled(false);
}

void TacMoveTimer::Restore() {
  SetEnabled(false);
  CurrentBlendValue = StartValue;
  if (Apply && FormHandle && IsWindow(FormHandle)) Apply(StartValue);
}

void StopFormAnimations() {
  HideTimerSlot().reset();
  SetFormAnimationRunning(false);
}

}  // namespace cb
