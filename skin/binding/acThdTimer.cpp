#include "skin/binding/acThdTimer.h"
#include "base/Rounding.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "sSkinManager.h"
#include "ui/Forms.h"
#include "skin/paint/PixelOps.h"
#include "skin/binding/acGlow.h"
#include "skin/binding/sCommonData.h"

namespace cb {

bool gAnimationsSuppressed = false;

namespace {

// To nearest, ties to even, as the levels are specified.

// Running animations of one interval step together on one clock: one timer
// message a step for all of them, and no system timer set and killed for each
// fade (under Wine each is a round trip to the server, as is each message).
struct TAnimClock {
  std::vector<TacThreadedTimer*> Running;
  std::unique_ptr<TTimer> Timer;
};

std::map<unsigned, TAnimClock>& Clocks() {
  static auto* C = new std::map<unsigned, TAnimClock>;  // timers may still stop while statics go at exit
  return *C;
}

bool OnClock(const TacThreadedTimer* T) {
  for (auto& [Interval, C] : Clocks())
    if (std::find(C.Running.begin(), C.Running.end(), T) != C.Running.end()) return true;
  return false;
}

void LeaveClock(TacThreadedTimer* T) {
  for (auto& [Interval, C] : Clocks()) {
    auto It = std::find(C.Running.begin(), C.Running.end(), T);
    if (It == C.Running.end()) continue;
    C.Running.erase(It);  // an idle clock stops at its next tick: a fade turned round keeps it going
  }
}

void JoinClock(TacThreadedTimer* T, unsigned Interval) {
  TAnimClock& C = Clocks()[Interval];
  if (std::find(C.Running.begin(), C.Running.end(), T) != C.Running.end()) return;
  LeaveClock(T);
  C.Running.push_back(T);
  if (!C.Timer) {
    C.Timer = std::make_unique<TTimer>(nullptr);
    C.Timer->SetEnabled(false);
    C.Timer->SetInterval(Interval);
    C.Timer->OnTimer = [&C](TObject*) {
      if (C.Running.empty()) C.Timer->SetEnabled(false);
      // A step may stop or free other animations: each is looked up again.
      const std::vector<TacThreadedTimer*> Now = C.Running;
      for (TacThreadedTimer* A : Now)
        if (std::find(C.Running.begin(), C.Running.end(), A) != C.Running.end()) A->Tick();
    };
  }
  C.Timer->SetEnabled(true);
}

// Pictures of finished fades, kept for the next ones: making and freeing a
// bitmap and its context costs about 80 us under Wine, and a sweep across the
// buttons starts two fades a button. A few sizes at most are in use at once.
std::vector<std::unique_ptr<TDibBitmap>>& Spares() {
  static auto* S = new std::vector<std::unique_ptr<TDibBitmap>>;  // fades may still end while statics go at exit
  return *S;
}

constexpr size_t MaxSpares = 12;

void GiveBack(std::unique_ptr<TDibBitmap>& B) {
  if (!B) return;
  auto& S = Spares();
  if (!B->Empty()) {
    if (S.size() >= MaxSpares) S.erase(S.begin());  // the oldest size goes first
    S.push_back(std::move(B));
  }
  B.reset();
}

// A bitmap of that size whose pixels the caller overwrites whole.
std::unique_ptr<TDibBitmap> TakeSpare(int W, int H) {
  auto& S = Spares();
  for (auto It = S.end(); It != S.begin();) {
    --It;
    if ((*It)->Width() == W && (*It)->Height() == H) {
      std::unique_ptr<TDibBitmap> B = std::move(*It);
      S.erase(It);
      return B;
    }
  }
  auto B = std::make_unique<TDibBitmap>();
  B->SetSize(W, H);
  return B;
}

}  // namespace

TacThreadedTimer::TacThreadedTimer(TComponent* AOwner) : TComponent(AOwner) {}

TacThreadedTimer::~TacThreadedTimer() {
  FEnabled = false;
  Destroyed = true;
  LeaveClock(this);
}

void TacThreadedTimer::UpdateTimer() {
  if (FInterval > 0 && FEnabled && !Destroyed && HasWork())
    JoinClock(this, FInterval);
  else
    LeaveClock(this);
}

bool TacThreadedTimer::Running() const { return OnClock(this); }

void TacThreadedTimer::SetEnabled(bool V) {
  FEnabled = V;
  UpdateTimer();
}

void TacThreadedTimer::SetInterval(unsigned V) {
  if (V == FInterval) return;
  FInterval = V;
  LeaveClock(this);  // the clock of the new interval takes it
  UpdateTimer();
}

void TacThreadedTimer::SetOnTimer(TNotifyEvent V) {
  FOnTimer = std::move(V);
  UpdateTimer();
}

void TacThreadedTimer::PublishProperties(TPublisher& P) {
  using C = TacThreadedTimer;
  P.Bool(L"Enabled", &C::Enabled, &C::SetEnabled, true);
  P.Int(L"Interval", &C::Interval, &C::SetInterval, 1000);
}

void TacThreadedTimer::Step() {
  if (FOnTimer) FOnTimer(this);
}

void TacThreadedTimer::Tick() {
  if (Executing || Destroyed) return;
  Executing = true;
  struct TDone {
    bool& E;
    ~TDone() { E = false; }
  } Done{Executing};
  Step();
}

// ---------------------------------------------------------------------------
// Control fades

TacFadeTimer::TacFadeTimer(TComponent* AOwner) : TacThreadedTimer(AOwner) {}

TacFadeTimer* TacFadeTimer::CreateOwned(TComponent* AOwner, bool ChangeEvent) {
  auto* T = new TacFadeTimer(AOwner);
  T->SetEnabled(false);
  if (ChangeEvent) T->SetOnTimer([T](TObject*) { T->TimeHandler(); });
  return T;
}

TacFadeTimer::~TacFadeTimer() {
  FEnabled = false;
  Destroyed = true;
  LeaveClock(this);
  if (AnimData) AnimData->TimerGone(this);
  GiveBack(BmpTo);
  GiveBack(BmpOut);
  GiveBack(BmpFrom);
  GiveBack(BmpShown);
}

void TacFadeTimer::CopyFrom(std::unique_ptr<TDibBitmap>& Dst, const Bitmap32& Src, const BmpRect& R) {
  if (!Dst || Dst->Width() != R.Width() || Dst->Height() != R.Height()) {
    GiveBack(Dst);
    Dst = TakeSpare(R.Width(), R.Height());
  }
  if (!Dst->Empty()) CopyPiece(Dst->Bmp(), BmpPoint(0, 0), Src, R);
}

void TacFadeTimer::StopAnimation() {
  SetEnabled(false);
  State = -1;
  GiveBack(BmpTo);
  GiveBack(BmpOut);
  GiveBack(BmpFrom);
  GiveBack(BmpShown);
}

void TacFadeTimer::InitData(TsCommonData* AData, int AIteration, TacAnimProc AAnimProc, int AState, bool AFast) {
  SetEnabled(false);
  AnimData = AData;
  Value = 0;
  Glow = std::clamp(Glow, 0.0, 255.0);
  Iterations = AFast ? 3 : 6;
  if (AState == 0) {
    Iterations *= 3;
    GlowStep = Glow / Iterations;
  } else if (AState == 2) {
    GlowStep = Glow / Iterations;
  } else {
    Iterations = State <= 0 ? RoundEven((255 - Glow) * 6 / 255) : 6;
    Iterations = std::max(Iterations, 1);
    GlowStep = (255 - Glow) / Iterations;
  }
  ValueStep = (255 - Value) / Iterations;
  // Continue from what is on screen.
  if ((AState == 2 || (AState == 1 && State == 2)) && BmpOut && !BmpOut->Empty())
    CopyFrom(BmpFrom, BmpOut->Bmp(), BmpOut->Bmp().Bounds());
  if (AState == 1 && State <= 0)
    Iteration = RoundEven(Glow * 6 / 255);
  else if (AState == 0 && State == 1)
    Iteration = Glow == 0 ? 0 : RoundEven((255 - Glow) * Iterations / 255);
  else
    Iteration = BmpOut ? 0 : AIteration;
  AnimProc = std::move(AAnimProc);
  OldState = State;
  State = AState;
  SetInterval(12);
  SetEnabled(true);
}

void TacFadeTimer::TimeHandler() {
  if (!FEnabled || !AnimProc || Destroyed) return;
  if (!AnimProc(AnimData, Iteration)) {
    // Every ending leaves the timer idle, so a later request for any state starts afresh.
    SetEnabled(false);
    State = -1;
  }
}

void TacFadeTimer::Step() {
  if (AnimProc) {
    ++Iteration;
    if (Iteration > Iterations) {
      SetEnabled(false);
      State = -1;
    } else {
      TimeHandler();
    }
  } else {
    TacThreadedTimer::Step();
  }
}

// ---------------------------------------------------------------------------

namespace {

// Steps 1 to 3: the level and the cross-fade into BmpOut.
bool Blend(TacFadeTimer& T, TsCommonData& D, int& V) {
  TDibBitmap* Cache = D.CacheBmp();
  if (!T.BmpFrom || !T.BmpTo || !Cache) return false;
  const int W = T.BmpTo->Width(), H = T.BmpTo->Height();
  if (!T.BmpOut || T.BmpOut->Width() != W || T.BmpOut->Height() != H) {
    GiveBack(T.BmpOut);
    T.BmpOut = TakeSpare(W, H);
  }
  if (T.BmpOut->Empty()) return false;
  CopyPiece(T.BmpOut->Bmp(), BmpPoint(0, 0), T.BmpFrom->Bmp(), T.BmpFrom->Bmp().Bounds());
  switch (T.State) {
    case 0:
    case 2: T.Glow -= T.GlowStep; break;
    case 1: T.Glow += T.GlowStep; break;
    default: T.Glow = 255 - static_cast<double>(T.Iteration) / T.Iterations * 255; break;
  }
  V = std::clamp(RoundEven(T.Glow), 0, 255);
  T.Level = V;
  const int Kept = T.State == 1 ? 255 - V : V;
  BlendBitmapConst(T.BmpOut->Bmp(), T.BmpTo->Bmp(), Kept, BmpPoint(0, 0), BmpRect(0, 0, W - 1, H - 1));
  return true;
}

// Steps 5 and 6: the glow follows the level; the ending leaves things idle.
bool Finish(TacFadeTimer& T, TsCommonData& D, int V) {
  if (T.Iteration < T.Iterations) {
    if (D.GlowID >= 0) {
      if (T.State == 0 && V < 10) {
        T.Glow = 0;
        DropGlow(D.GlowID);
      } else {
        SetGlowAlpha(D.GlowID, V);
      }
    }
    return true;
  }
  if (T.State == 0) T.StopAnimation();
  if (T.State != 1)
    DropGlow(D.GlowID);
  else
    SetGlowAlpha(D.GlowID, V);  // a glow that stays shows the level reached, not the one before
  return false;
}

}  // namespace

bool AnimStepGraphic(TsCommonData* D, int) {
  if (!D || !D->AnimTimer()) return false;
  TacFadeTimer& T = *D->AnimTimer();
  int V = 0;
  if (!Blend(T, *D, V)) return false;
  TControl* C = D->OwnerControl();
  if (C) {
    SendSkinCommand(C, SKC_SETUPDATING, 0, 0);
    SendSkinCommand(C, SKC_INVALIDATE);
  }
  const bool Reached = T.State == 1 ? V >= 255 : V <= 0;
  if (Finish(T, *D, V)) return true;
  // A fade turned round part way ends its steps short of the new look: the
  // control then shows that look itself, or the last step would stay.
  if (!Reached && C) {
    T.State = -1;
    SendSkinCommand(C, SKC_INVALIDATE);
  }
  return false;
}

bool AnimStepWindowed(TsCommonData* D, int) {
  if (!D || !D->AnimTimer()) return false;
  TacFadeTimer& T = *D->AnimTimer();
  int V = 0;
  if (!Blend(T, *D, V)) return false;
  auto* W = WinControlOf(D->OwnerControl());
  if (W && W->HandleAllocated()) {
    // The picture with the windowless children, straight to the window.
    if (!T.BmpShown || T.BmpShown->Width() != T.BmpOut->Width() || T.BmpShown->Height() != T.BmpOut->Height()) {
      GiveBack(T.BmpShown);
      T.BmpShown = TakeSpare(T.BmpOut->Width(), T.BmpOut->Height());
    }
    TDibBitmap& Shown = *T.BmpShown;
    if (!Shown.Empty()) {
      CopyPiece(Shown.Bmp(), BmpPoint(0, 0), T.BmpOut->Bmp(), T.BmpOut->Bmp().Bounds());
      PaintWindowlessChildren(Shown.Canvas(), W, POINT{0, 0});
      if (HDC DC = GetDC(W->WindowHandle())) {
        Shown.CopyTo(DC, 0, 0);
        ReleaseDC(W->WindowHandle(), DC);
      }
    }
  }
  const bool Reached = T.State == 1 ? V >= 255 : V <= 0;
  if (Finish(T, *D, V)) return true;
  // As for windowless controls: a fade turned round part way ends short of
  // the new look, so the window paints that look itself.
  if (!Reached && W && W->HandleAllocated()) {
    T.State = -1;
    InvalidateRect(W->WindowHandle(), nullptr, FALSE);
  }
  return false;
}

bool IsAnimationEnabled(TacAnimEvent Event, TacAnimatEvents ControlEvents, TsSkinManager* Manager) {
  const TacAnimatEvents Own[] = {aeMouseEnter, aeMouseLeave, aeMouseDown, aeMouseUp};
  if (!Manager || (ControlEvents & Own[Event])) return true;
  if (!(ControlEvents & aeGlobalDef)) return false;
  const TacBtnEvents Global[] = {beMouseEnter, beMouseLeave, beMouseDown, beMouseUp};
  return (Manager->AnimEffects()->Buttons()->Events() & Global[Event]) != 0;
}

void StartStateAnimation(TsCommonData& D, int NewState, const TacAnimProc& Step, bool Fast) {
  TControl* Owner = D.OwnerControl();
  TDibBitmap* Cache = D.CacheBmp();
  if (!Owner || !Cache) return;
  int Count = 0;
  TacFadeTimer* T = D.AnimTimer();
  if (!T) {
    T = D.CreateAnimTimer();
    T->Glow = NewState == 0 ? 255 : 0;
  } else {
    Count = std::max(0, (T->State == 0 ? 12 : 0) - T->Iteration + 6);
  }
  if (T->State != -1 && T->State == NewState) return;
  if (T->BmpOut && (T->BmpOut->Width() != Cache->Width() || T->BmpOut->Height() != Cache->Height())) GiveBack(T->BmpOut);
  TacFadeTimer::CopyFrom(T->BmpFrom, Cache->Bmp(), Cache->Bmp().Bounds());
  if (D.BGChanged && SendSkinCommand(Owner, SKC_PREPARECACHE) != 0) {
    T->SetEnabled(false);
    return;
  }
  Cache = D.CacheBmp();
  TacFadeTimer::CopyFrom(T->BmpTo, Cache->Bmp(), Cache->Bmp().Bounds());
  TacAnimProc Proc = Step ? Step : (WinControlOf(Owner) ? TacAnimProc(AnimStepWindowed) : TacAnimProc(AnimStepGraphic));
  T->InitData(&D, Count, Proc, NewState, Fast);
  T->TimeHandler();
}

void AnimateStateChange(TsCommonData& D, int NewState, const TacAnimProc& Step, bool WithGlow, bool Fast,
                        bool Allowed) {
  if (!D.Skinned()) {
    D.Invalidate();
    return;
  }
  // Already on its way there: nothing to change, and the picture stays valid.
  if (TacFadeTimer* T = D.AnimTimer(); T && T->State != -1 && T->State == NewState && T->Enabled()) return;
  TsSkinManager* M = D.SkinManager();
  const bool Changing = M && (M->ManagerState() & (msSkinChanging | msBroadCasting));
  if (Allowed && !Changing && !gAnimationsSuppressed && D.CacheBmp() && !D.CacheBmp()->Empty() && !D.BGChanged &&
      M && M->Effects()->AllowAnimation()) {
    if (WithGlow && NewState < 100 && D.GlowID < 0) ShowGlow(D, 0);
    D.BGChanged = true;
    StartStateAnimation(D, NewState, Step, Fast);
    return;
  }
  D.BGChanged = true;
  D.Invalidate();
  if (!D.FMouseAbove)
    HideGlow(D.GlowID, false);
  else if (WithGlow && NewState < 100 && D.GlowID < 0)
    ShowGlow(D, 255);
}

}  // namespace cb
