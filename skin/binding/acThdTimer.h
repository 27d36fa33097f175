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

class TacThreadedTimer : public TComponent {
  CB_CLASS(TacThreadedTimer, TComponent)
public:
  explicit TacThreadedTimer(TComponent* AOwner);
  // Disabled, for an animation; with ChangeEvent its own TimeHandler is OnTimer.
  static TacThreadedTimer* CreateOwned(TComponent* AOwner, bool ChangeEvent);
  ~TacThreadedTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned Value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent Value);
  static void PublishProperties(TPublisher& P);

  // Prepares an animation towards AState and enables it.
  void InitData(TsCommonData* AData, int AIteration, TacAnimProc AAnimProc, int AState, bool AFast);
  // Runs one step with the current iteration.
  void TimeHandler();
  // What the message timer calls every Interval (tests call it to step).
  void Tick();
  // Whether the internal timer is running now.
  bool Running() const;
  // Stops the animation: disabled, idle, its pictures freed.
  void StopAnimation();
  static void CopyFrom(std::unique_ptr<TDibBitmap>& Dst, const Bitmap32& Src, const BmpRect& R);

  double Glow = 0, Value = 0, GlowStep = 0, ValueStep = 0;
  int State = -1, Iteration = 0, OldState = -1, Iterations = 6, ThreadType = 0;
  int Level = 0;  // the last step's level (0..255)
  std::unique_ptr<TDibBitmap> BmpTo, BmpOut, BmpFrom;
  std::unique_ptr<TDibBitmap> BmpShown;  // a windowed control's picture with its children, kept between steps
  TsCommonData* AnimData = nullptr;
  bool Destroyed = false;
  TacAnimProc AnimProc;

private:
  void UpdateTimer();
  bool FEnabled = true;
  unsigned FInterval = 1000;
  TNotifyEvent FOnTimer;
  bool Executing = false;
  std::unique_ptr<TTimer> FTimer;
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
