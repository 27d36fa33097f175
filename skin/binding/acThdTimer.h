// State animations of skinned controls: the old and the new look cross-faded
// in steps of 12 ms. The timer runs on the GUI thread, on the framework's
// message timer.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "skin/paint/DibBitmap.h"
#include "ui/ExtCtrls.h"

namespace cb {

class TsCommonData;

// One step of an animation; false ends it.
using TacAnimProc = std::function<bool(TsCommonData* Data, int Iteration)>;

// A timer on the shared animation clock: every running timer of one interval
// steps on one message timer of the GUI thread. Minimise, move and hide
// animations are clocks of this kind; control fades add their data below.
class TacThreadedTimer : public TComponent {
  CB_CLASS(TacThreadedTimer, TComponent)
public:
  explicit TacThreadedTimer(TComponent* AOwner);
  ~TacThreadedTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned Value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent Value);
  static void PublishProperties(TPublisher& P);

  // What the clock calls every Interval (tests call it to step).
  void Tick();
  // Whether the timer is on its clock now.
  bool Running() const;

protected:
  // One step; by default the OnTimer event.
  virtual void Step();
  // Whether the timer has anything to do when enabled.
  virtual bool HasWork() const { return static_cast<bool>(FOnTimer); }
  void UpdateTimer();
  bool FEnabled = true;
  bool Destroyed = false;

private:
  unsigned FInterval = 1000;
  TNotifyEvent FOnTimer;
  bool Executing = false;
};

// The cross-fade of a control between its old and its new look.
class TacFadeTimer : public TacThreadedTimer {
  CB_CLASS(TacFadeTimer, TacThreadedTimer)
public:
  explicit TacFadeTimer(TComponent* AOwner);
  // Disabled, for an animation; with ChangeEvent its own TimeHandler is OnTimer.
  static TacFadeTimer* CreateOwned(TComponent* AOwner, bool ChangeEvent);
  ~TacFadeTimer() override;

  // Prepares an animation towards AState and enables it.
  void InitData(TsCommonData* AData, int AIteration, TacAnimProc AAnimProc, int AState, bool AFast);
  // Runs one step with the current iteration.
  void TimeHandler();
  // Stops the animation: disabled, idle, its pictures freed.
  void StopAnimation();
  static void CopyFrom(std::unique_ptr<TDibBitmap>& Dst, const Bitmap32& Src, const BmpRect& R);

  double Glow = 0, Value = 0, GlowStep = 0, ValueStep = 0;
  int State = -1, Iteration = 0, OldState = -1, Iterations = 6, ThreadType = 0;
  int Level = 0;  // the last step's level (0..255)
  std::unique_ptr<TDibBitmap> BmpTo, BmpOut, BmpFrom;
  std::unique_ptr<TDibBitmap> BmpShown;  // a windowed control's picture with its children, kept between steps
  TsCommonData* AnimData = nullptr;
  TacAnimProc AnimProc;

protected:
  void Step() override;
  bool HasWork() const override { return AnimProc || TacThreadedTimer::HasWork(); }
};

// The step of a windowless control (shows BmpOut through its paint) and of a
// windowed one (draws BmpOut with its windowless children straight to its window).
bool AnimStepGraphic(TsCommonData* Data, int Iteration);
bool AnimStepWindowed(TsCommonData* Data, int Iteration);

// Events of a control's animation set.
using TacAnimatEvents = std::uint32_t;
constexpr TacAnimatEvents aeMouseEnter = 1, aeMouseLeave = 2, aeMouseDown = 4, aeMouseUp = 8, aeGlobalDef = 16;
enum TacAnimEvent { aeEnter, aeLeave, aeDown, aeUp };
class TsSkinManager;
bool IsAnimationEnabled(TacAnimEvent Event, TacAnimatEvents ControlEvents, TsSkinManager* Manager);

// The call every control makes on enter (1), leave (0), down (2) and up.
void AnimateStateChange(TsCommonData& Data, int NewState, const TacAnimProc& Step, bool WithGlow, bool Fast,
                        bool Allowed);
void StartStateAnimation(TsCommonData& Data, int NewState, const TacAnimProc& Step, bool Fast);
// Switches every animation off for a while (form scaling, skin changes).
extern bool gAnimationsSuppressed;

}  // namespace cb
