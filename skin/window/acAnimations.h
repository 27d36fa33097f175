// Forms that fade and zoom in, out, to the task bar and back: the whole
// window's picture on a layered surface, redrawn in steps while the real
// window stays invisible.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "sSkinOptionObjects.h"
#include "skin/binding/acThdTimer.h"
#include "skin/paint/DibBitmap.h"
#include "skin/paint/acLayeredSurface.h"

namespace cb {

// Set while a show or hide animation is under way: border windows stay where
// they are and providers do not paint.
bool FormAnimationRunning();
void SetFormAnimationRunning(bool Value);

// Microseconds of a 32-bit counter that wraps (every 71 minutes), as the
// system's tick count does; the waits compare differences, which stay right
// across the wrap. Milliseconds would let a 12 ms step end up to 1 ms early.
std::uint32_t AnimTicks();
constexpr std::uint32_t kAnimStepUs = 12000;
constexpr bool TicksElapsed(std::uint32_t Start, std::uint32_t Now, std::uint32_t Span) {
  return static_cast<std::uint32_t>(Now - Start) >= Span;
}
// The opacity of frame I (0..N) of a show in N steps towards Final: from 50
// below Final up in equal steps; a Final below 50 rises from nothing instead
// of starting below it.
int ShowOpacity(int Final, int N, int I);

// Returns once Span microseconds have passed since Start.
void WaitTicksFrom(std::uint32_t Start, std::uint32_t Span);

// One frame of a picture that grows (show) or shrinks (hide) in the aero
// mode: Picture stretched into Frame, inset by Inset.x and Inset.y per side.
void DrawZoomed(TDibBitmap& Frame, const TDibBitmap& Picture, double InsetX, double InsetY);
// One frame of the drop-down mode: the top Rows rows of Picture.
void DrawRolled(TDibBitmap& Frame, const TDibBitmap& Picture, int Rows);

// The fade-out of a hidden form. One runs at a time in the process; it owns
// its surface and pictures and no longer needs the form.
class TacHideTimer : public TacThreadedTimer {
  CB_CLASS(TacHideTimer, TacThreadedTimer)
public:
  TacHideTimer() : TacThreadedTimer(nullptr) {}
  ~TacHideTimer() override;
  // Shows Picture on Surface at Pos with StartOpacity and takes it out in
  // Steps of 12 ms; Synchronous runs the steps before it returns.
  void Start(std::unique_ptr<TacLayeredSurface> Surface, std::unique_ptr<TDibBitmap> Picture, POINT Pos,
             int StartOpacity, TacAnimType Mode, int Steps, bool Synchronous);
  // Stops at once and frees the surface and the pictures.
  void Finish();
  bool Busy() const { return FSurface != nullptr; }

protected:
  void Step() override;
  bool HasWork() const override { return FSurface != nullptr; }

private:
  void DrawStep();
  std::unique_ptr<TacLayeredSurface> FSurface;
  std::unique_ptr<TDibBitmap> FSrc, FDst;
  POINT FPos{0, 0};
  TacAnimType FMode = atAero;
  int FStart = 255, FSteps = 0, FCurrent = 0, FPrepared = 0;
  double FOpacity = 0;
  std::uint32_t FLastFrame = 0;
};

// The one hide animation of the process (made on first use).
TacHideTimer& HideTimer();

// Minimising to the task bar and restoring from it: the picture moves and
// shrinks between the window's place and a small one on the task bar edge,
// in StepCount steps of 6 ms.
class TacMinTimer : public TacThreadedTimer {
  CB_CLASS(TacMinTimer, TacThreadedTimer)
public:
  explicit TacMinTimer(HWND Form) : TacThreadedTimer(nullptr), FormHandle(Form) {}
  ~TacMinTimer() override;
  // Runs from RectFrom to RectTo with the opacity from AlphaOrigin to AlphaTo;
  // Done is called after the last step (not when the timer is stopped).
  void Start(std::unique_ptr<TacLayeredSurface> Surface, std::unique_ptr<TDibBitmap> Picture, const RECT& From,
             const RECT& To, int AlphaFrom, int AlphaTo_, int Steps, bool AMinimized, std::function<void()> Done);
  // Stops where it is; the surface is handed back, or freed with the timer.
  std::unique_ptr<TacLayeredSurface> Stop();
  bool Busy() const { return FSurface != nullptr; }

  HWND FormHandle;
  RECT RectFrom{}, RectTo{};
  int AlphaOrigin = 255, AlphaTo = 0, StepCount = 1, CurStep = 0;
  bool Minimized = true;

protected:
  void Step() override;
  bool HasWork() const override { return FSurface != nullptr; }

private:
  void DrawStep();
  std::unique_ptr<TacLayeredSurface> FSurface;
  std::unique_ptr<TDibBitmap> FSavedImage, FFrame;
  std::function<void()> FDone;
};

// Where a window minimises to: a small rectangle on the task bar's edge
// below (or beside) the window; the bottom of the work area without one.
RECT TaskbarTarget(const RECT& Window);

// Blend on moving: while the caption is dragged the form goes down to
// BlendValue in steps of 12 ms and comes back when the move ends.
class TacMoveTimer : public TacThreadedTimer {
  CB_CLASS(TacMoveTimer, TacThreadedTimer)
public:
  TacMoveTimer(HWND Form, HWND Border) : TacThreadedTimer(nullptr), FormHandle(Form), BorderForm(Border) {}
  ~TacMoveTimer() override;
  void Start(int From, int To, int Time);
  // Back to the start opacity.
  void Restore();

  std::uint8_t BlendValue = 255;
  HWND FormHandle, BorderForm;
  double BlendStep = 0, CurrentBlendValue = 255;
  int StartValue = 255;
  // Applies an opacity to the form (and its border window); tests watch it.
  std::function<void(int)> Apply;

protected:
  void Step() override;
  bool HasWork() const override { return FormHandle != nullptr; }
};

// Stops every form animation and frees its surface (the program is ending).
void StopFormAnimations();

}  // namespace cb
