// State animations: the exact step counts and levels, stepped by hand in
// place of the 12 ms clock, and a real fade under the pointer.
#include "BindingFixture.h"
#include "tests/support/ResourceCounts.h"

namespace {

using namespace cb;
using namespace cb::test;

using TLevels = std::vector<int>;

struct TAnimFixture : ::testing::Test {
  std::unique_ptr<TScene> S;
  std::unique_ptr<TsSkinManager> M;
  void SetUp() override {
    S = std::make_unique<TScene>();
    M = MakeManager();
    S->F.Show();
    Pump(30);
    // The normal look is in the cache before any change.
    S->Button->Repaint();
    ASSERT_FALSE(S->Button->SD.BGChanged);
  }
  void TearDown() override {
    M.reset();
    S.reset();
  }
  TsCommonData& SD() { return S->Button->SD; }
  TacFadeTimer& T() { return *SD().AnimTimer(); }
  // Requests a state: hover state follows the pointer flag, pressed the button's own.
  TLevels Change(int State, bool Fast = false) {
    SD().FMouseAbove = State == 1 || (State == 2 && SD().FMouseAbove);
    S->Button->Pressed = State == 2;
    AnimateStateChange(SD(), State, nullptr, false, Fast, true);
    return {T().Level};
  }
  // Ticks until the animation ends (or Max ticks), collecting the levels.
  TLevels Run(TLevels L, int Max = 40) {
    for (int I = 0; I < Max && T().Enabled(); ++I) {
      T().Tick();
      if (T().State != -1 || !T().Enabled()) L.push_back(T().Level);
    }
    return L;
  }
};

TEST_F(TAnimFixture, HoverInFromRestRisesInStepsOf42AndAHalf) {
  TLevels L = Change(1);
  EXPECT_EQ(T().Iterations, 6);
  EXPECT_DOUBLE_EQ(T().GlowStep, 42.5);
  L = Run(L);
  EXPECT_EQ(L, (TLevels{42, 85, 128, 170, 212, 255, 255}));
  EXPECT_FALSE(T().Enabled());
  EXPECT_EQ(T().State, -1) << "an animation that ended is idle";
  // The last picture is the new look exactly.
  ASSERT_TRUE(T().BmpOut && T().BmpTo);
  EXPECT_EQ(T().BmpOut->Bmp().Pixel(40, 11), T().BmpTo->Bmp().Pixel(40, 11));
  EXPECT_NE(T().BmpFrom->Bmp().Pixel(40, 11), T().BmpTo->Bmp().Pixel(40, 11)) << "hot and normal differ";
}

TEST_F(TAnimFixture, LeavingHalfWayFadesFromTheReachedLevelIn18ths) {
  TLevels In = Change(1);
  T().Tick();
  ASSERT_EQ(T().Level, 85);
  TLevels L = Change(0);
  EXPECT_EQ(T().Iterations, 18);
  EXPECT_NEAR(T().GlowStep, 85.0 / 18, 1e-9);
  EXPECT_EQ(T().Iteration, 12) << "continues where the hover left the picture";
  L = Run(L);
  EXPECT_EQ(L, (TLevels{80, 76, 71, 66, 61, 57, 52}));
  EXPECT_EQ(T().State, -1);
  EXPECT_FALSE(T().BmpOut) << "the normal state frees the animation's pictures";
}

TEST_F(TAnimFixture, PressingFallsFromFullInSixStepsAndAFastLeaveTakesNine) {
  Run(Change(1));
  TLevels Down = Run(Change(2));
  EXPECT_EQ(Down, (TLevels{212, 170, 128, 85, 42, 0, 0}));
  Run(Change(1));
  TLevels Fast = Change(0, true);
  EXPECT_EQ(T().Iterations, 9);
  Fast = Run(Fast);
  EXPECT_EQ(Fast.size(), 10u);
  EXPECT_EQ(Fast.back(), 0);
}

TEST_F(TAnimFixture, TheStateUnderWayIsNotRestartedButAFinishedOneIs) {
  Change(1);
  T().Tick();
  const int Iteration = T().Iteration;
  const double Glow = T().Glow;
  Change(1);
  EXPECT_EQ(T().Iteration, Iteration);
  EXPECT_EQ(T().Glow, Glow);
  Run({});
  ASSERT_EQ(T().State, -1);
  // After the end, asking for the same state again is a new animation.
  Change(0);
  EXPECT_EQ(T().State, 0);
  Run({});
  Change(1);
  EXPECT_EQ(T().State, 1);
  EXPECT_TRUE(T().Enabled());
}

TEST_F(TAnimFixture, WithAnimationOffAChangeRepaintsAtOnce) {
  M->Effects()->SetAllowAnimation(false);
  const std::uint32_t Before = SD().CacheBmp()->Bmp().Pixel(40, 11);
  SD().FMouseAbove = true;
  AnimateStateChange(SD(), 1, nullptr, false, false, true);
  EXPECT_EQ(SD().AnimTimer(), nullptr);
  EXPECT_NE(SD().CacheBmp()->Bmp().Pixel(40, 11), Before) << "the hot look is painted at once";
}

// A fade back to the normal look hands its pictures on: the next fades of a
// control of that size make no new bitmap or context, which costs dearly under Wine.
TEST_F(TAnimFixture, AFinishedFadesPicturesServeTheNextFades) {
  // Two rounds first: the pictures and their contexts settle into their roles.
  for (int I = 0; I < 2; ++I) {
    Run(Change(1));
    Run(Change(0));
  }
  ASSERT_EQ(T().BmpOut, nullptr);
  const int Gdi = GdiObjectCount();
  for (int I = 0; I < 4; ++I) {
    Change(1);
    T().Tick();
    ASSERT_TRUE(T().BmpFrom && T().BmpTo && T().BmpOut) << "a fade under way has its pictures";
    EXPECT_EQ(GdiObjectCount(), Gdi) << "fade " << I << " made its pictures anew";
    const TLevels L = Run({});
    ASSERT_FALSE(L.empty());
    EXPECT_EQ(L.back(), 255);
    EXPECT_EQ(T().BmpOut->Bmp().Pixel(40, 11), T().BmpTo->Bmp().Pixel(40, 11)) << "ends on the hot look exactly";
    Run(Change(0));
    EXPECT_EQ(T().BmpOut, nullptr);
  }
  EXPECT_EQ(GdiObjectCount(), Gdi) << "the pictures are spares now, neither freed nor made";
}

// Hears when a component it watches is freed.
class TWatcher : public TComponent {
public:
  using TComponent::TComponent;
  bool Heard = false;

protected:
  void Notification(TComponent* C, TOperation Op) override {
    TComponent::Notification(C, Op);
    if (Op == opRemove) Heard = true;
  }
};

TEST_F(TAnimFixture, AControlThatGoesTakesItsRunningAnimationWithIt) {
  Change(1);
  ASSERT_TRUE(T().Enabled());
  TWatcher W(nullptr);
  SD().AnimTimer()->FreeNotification(&W);
  Sleep(30);  // ticks of the real clock are waiting now
  delete S->Button;
  S->Button = nullptr;
  EXPECT_TRUE(W.Heard) << "the timer went with its control";
  Pump(60);  // and the waiting ticks reach nothing
  EXPECT_EQ(M->ActiveGraphControl(), nullptr);
}

TEST_F(TAnimFixture, TheRealClockFadesInUnderThePointerAndBackToTheNormalLook) {
  const int W = S->Panel->Width(), H = S->Panel->Height();
  const std::vector<std::uint32_t> Normal = Print(S->Panel->Handle(), W, H);
  TPoint P = S->Button->ClientToScreen(TPoint(40, 11));
  MovePointer(P.X, P.Y);
  ASSERT_TRUE(PumpUntil([&] { return SD().AnimTimer() && SD().AnimTimer()->State == 1; }));
  ASSERT_TRUE(PumpUntil([&] { return SD().AnimTimer()->State == -1; }, 2000)) << "the fade ends by itself";
  const std::vector<std::uint32_t> Hot = Print(S->Panel->Handle(), W, H);
  const int CX = S->Button->Left() + 40, CY = S->Button->Top() + 11;
  EXPECT_NE(Hot[size_t(CY * W + CX)], Normal[size_t(CY * W + CX)]);
  TPoint Away = S->F.ClientToScreen(TPoint(300, 200));
  MovePointer(Away.X, Away.Y);
  ASSERT_TRUE(PumpUntil([&] { return SD().AnimTimer()->State == 0; }));
  ASSERT_TRUE(PumpUntil([&] { return SD().AnimTimer()->State == -1; }, 2000));
  S->Button->Repaint();
  EXPECT_EQ(Print(S->Panel->Handle(), W, H), Normal) << "the normal look, exactly";
}

}  // namespace
