// The slider switch: the thumb's resting places, toggling by click and by
// drag under real pointer input, the veto, and the clean-up on every exit.
#include "ControlsFixture.h"
#include "acSlider.h"
#include "tests/support/ScopedHook.h"

namespace {

using namespace cb;
using namespace cb::test;

struct TSliderScene {
  TTestForm F{nullptr};
  TsSlider* S = new TsSlider(&F);
  std::unique_ptr<TsSkinManager> M;
  TLog Log;
  std::vector<int> Lefts;  // every place the thumb went
  // Declared after what it writes to, so it comes off first: the thumb still
  // moves while the form is torn down.
  std::unique_ptr<TScopedHook> ThumbMoves;
  explicit TSliderScene(int W = 33, int H = 15) {
    S->SetBounds(40, 40, W, H);
    S->SetParent(&F);
    F.HandleNeeded();
    S->SkinData()->Loaded();
    S->Thumb()->SkinData()->Loaded();
    M = MakeManager();
    S->OnSliderChange = [this](TObject*) { Log.push_back(S->SliderOn() ? "on" : "off"); };
    ThumbMoves = std::make_unique<TScopedHook>(S->Thumb(), 0x5EC, [this](TMessage& Msg, const TWindowHookNext& Next) {
      Next(Msg);
      if (Msg.Msg == WM_WINDOWPOSCHANGED && (Lefts.empty() || Lefts.back() != S->Thumb()->Left()))
        Lefts.push_back(S->Thumb()->Left());
    });
    F.Show();
    SetForegroundWindow(F.Handle());
    Pump(60);
  }
  ~TSliderScene() { PressPointer(false); }
  TRect ThumbRect() const { return S->Thumb()->BoundsRect(); }
  void ClickAt(TControl* C, int X, int Y) {
    PointAt(C, X, Y, 30);
    PressPointer(true);
    Pump(30);
    PressPointer(false);
    Pump(60);
  }
};

TEST(Slider, StartsOnWithTheThumbLeftAndRestsAtTheEndsOfItsTrack) {
  TSliderScene T;
  EXPECT_TRUE(T.S->SliderOn());
  EXPECT_EQ(T.ThumbRect(), TRect(1, 1, 14, 14));
  EXPECT_EQ(T.S->SkinData()->SkinIndex(), T.M->GetSkinIndex("SLIDER_ON"));
  EXPECT_EQ(T.S->Thumb()->SkinData()->SkinIndex(), T.M->GetSkinIndex("PANEL")) << "the skin has no thumb sections";
  T.S->SetSliderOn(false);
  EXPECT_EQ(T.ThumbRect(), TRect(19, 1, 32, 14));
  EXPECT_EQ(T.S->SkinData()->SkinIndex(), T.M->GetSkinIndex("SLIDER_OFF"));
  T.S->SetSliderOn(false);
  EXPECT_EQ(T.Log, (TLog{"off"})) << "the same value again changes nothing";
}

TEST(Slider, AClickOnTheTrackOrTheThumbTogglesOnceWithTheThumbGliding) {
  TSliderScene T;
  T.ClickAt(T.S, 28, 7);  // the track, beside the thumb
  EXPECT_FALSE(T.S->SliderOn());
  EXPECT_EQ(T.Log, (TLog{"off"}));
  EXPECT_EQ(T.ThumbRect(), TRect(19, 1, 32, 14));
  // It glided there: places on the way, each closer, ending at the end.
  ASSERT_GE(T.Lefts.size(), 5u);
  EXPECT_TRUE(std::is_sorted(T.Lefts.begin(), T.Lefts.end()));
  EXPECT_EQ(T.Lefts.back(), 19);
  T.Lefts.clear();
  T.ClickAt(T.S->Thumb(), 6, 6);
  EXPECT_TRUE(T.S->SliderOn());
  EXPECT_EQ(T.Log, (TLog{"off", "on"}));
  EXPECT_EQ(T.ThumbRect(), TRect(1, 1, 14, 14));
  EXPECT_FALSE(T.S->Changing);
}

TEST(Slider, WithoutAnimationTheThumbJumps) {
  TSliderScene T;
  T.M->Effects()->SetAllowAnimation(false);
  T.ClickAt(T.S, 28, 7);
  EXPECT_FALSE(T.S->SliderOn());
  EXPECT_EQ(T.Lefts, (std::vector<int>{19}));
}

TEST(Slider, DraggingToTheOtherEndTogglesOnceAndDraggingBackLeavesItAsItWas) {
  TSliderScene T;
  PointAt(T.S->Thumb(), 6, 6);
  PressPointer(true);
  Pump(30);
  for (int X = 8; X <= 26; X += 3) PointAt(T.S->Thumb(), X - T.S->Thumb()->Left() + 1, 6, 20);
  PressPointer(false);
  Pump(60);
  EXPECT_FALSE(T.S->SliderOn());
  EXPECT_EQ(T.Log, (TLog{"off"}));
  EXPECT_EQ(T.ThumbRect(), TRect(19, 1, 32, 14));
  EXPECT_FALSE(T.S->Capturing);
  EXPECT_FALSE(T.S->Dragged);
  // Out a little and back home: no change.
  T.Log.clear();
  PointAt(T.S->Thumb(), 6, 6);
  PressPointer(true);
  Pump(30);
  PointAt(T.S->Thumb(), 2, 6, 30);
  PointAt(T.S->Thumb(), 6, 6, 30);
  PressPointer(false);
  Pump(60);
  EXPECT_FALSE(T.S->SliderOn());
  EXPECT_TRUE(T.Log.empty());
  EXPECT_EQ(T.ThumbRect(), TRect(19, 1, 32, 14));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(Slider, AVetoKeepsTheStateAndSendsTheThumbHome) {
  TSliderScene T;
  T.S->OnChanging = [](TObject*, bool& Can) { Can = false; };
  T.ClickAt(T.S, 28, 7);
  EXPECT_TRUE(T.S->SliderOn());
  EXPECT_TRUE(T.Log.empty());
  // Dragged all the way: still home when released.
  PointAt(T.S->Thumb(), 6, 6);
  PressPointer(true);
  Pump(30);
  PointAt(T.S->Thumb(), 30, 6, 40);
  PressPointer(false);
  Pump(60);
  EXPECT_TRUE(T.S->SliderOn());
  EXPECT_EQ(T.ThumbRect(), TRect(1, 1, 14, 14));
  EXPECT_FALSE(T.S->Changing);
}

TEST(Slider, LosingTheCaptureEndsTheDragAndTheThumbGoesHome) {
  TSliderScene T;
  PointAt(T.S->Thumb(), 6, 6);
  PressPointer(true);
  Pump(30);
  PointAt(T.S->Thumb(), 9, 6, 40);
  ASSERT_TRUE(T.S->Capturing);
  ASSERT_TRUE(T.S->Dragged);
  TTestForm Other(nullptr);
  Other.HandleNeeded();
  SetCapture(Other.Handle());
  Pump(30);
  EXPECT_FALSE(T.S->Capturing);
  EXPECT_FALSE(T.S->Dragged);
  EXPECT_EQ(T.ThumbRect(), TRect(1, 1, 14, 14));
  ReleaseCapture();
  PressPointer(false);
  Pump(30);
  EXPECT_TRUE(T.S->SliderOn());
}

TEST(Slider, AThumbThatFillsTheTrackTogglesWithoutAGlide) {
  TSliderScene T(15, 15);  // a square thumb as wide as the track
  T.Lefts.clear();
  T.S->Click();
  EXPECT_FALSE(T.S->SliderOn());
  EXPECT_EQ(T.S->Thumb()->Left(), 1);
  T.S->SetKeepThumbAspectRatio(false);
  T.S->SetThumbSizeInPercent(100);  // the far end lies left of the margin
  T.Lefts.clear();
  T.S->Click();
  EXPECT_TRUE(T.S->SliderOn());
  for (int L : T.Lefts) EXPECT_GE(L, 0) << "the thumb never leaves the track";
  EXPECT_FALSE(T.S->Changing);
}

TEST(Slider, TheChangingFlagIsClearedWhenAHandlerThrows) {
  TSliderScene T;
  T.S->OnSliderChange = [](TObject*) { throw std::runtime_error("handler"); };
  EXPECT_THROW(T.S->Click(), std::runtime_error);
  EXPECT_FALSE(T.S->Changing);
  EXPECT_FALSE(T.S->SliderOn());
  T.S->OnSliderChange = nullptr;
  T.S->Click();
  EXPECT_TRUE(T.S->SliderOn()) << "a later click toggles again";
}

// The thumb goes out with its track's paint (one window's paint cycle instead
// of two), showing the picture its own paint shows; invalidated alone, it
// still paints itself.
TEST(Slider, AThumbDueWithItsTrackIsPaintedWithItAndAloneByItself) {
  for (bool On : {true, false}) {
    TSliderScene T;
    T.S->SetSliderOn(On);
    Pump(30);
    TLog Paints;
    for (TWinControl* C : {static_cast<TWinControl*>(T.S), static_cast<TWinControl*>(T.S->Thumb())})
      C->AddWindowHook(0x5ED, [&Paints, C, &T](TMessage& M, const TWindowHookNext& Next) {
        if (M.Msg == WM_PAINT && !M.WParam) Paints.push_back(C == T.S ? "track paint" : "thumb paint");
        Next(M);
      });
    const HWND Track = T.S->Handle(), Thumb = T.S->Thumb()->Handle();
    const std::vector<std::uint32_t> Picture = Print(Thumb, T.S->Thumb()->Width(), T.S->Thumb()->Height());
    HDC DC = GetDC(Thumb);
    PatBlt(DC, 0, 0, T.S->Thumb()->Width(), T.S->Thumb()->Height(), BLACKNESS);
    ReleaseDC(Thumb, DC);
    ASSERT_NE(OnScreen(T.S->Thumb()), Picture);
    RedrawWindow(Track, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    EXPECT_EQ(Paints, (TLog{"track paint"}));
    EXPECT_EQ(OnScreen(T.S->Thumb()), Picture);
    RECT U{};
    EXPECT_FALSE(GetUpdateRect(Thumb, &U, FALSE)) << "nothing left for the thumb to paint";
    Paints.clear();
    RedrawWindow(Thumb, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(Paints, (TLog{"thumb paint"}));
    EXPECT_EQ(OnScreen(T.S->Thumb()), Picture);
    T.S->Thumb()->RemoveWindowHook(0x5ED);
    T.S->RemoveWindowHook(0x5ED);
  }
}

// Disabled, track and thumb are their enabled looks mixed with what lies under
// them: the track with the form's colour, the thumb with the dimmed track.
TEST(Slider, ADisabledSwitchIsItsLookMixedWithWhatLiesUnder) {
  TSliderScene T;
  TsButtonPanel* Th = T.S->Thumb();
  auto Looks = [&] {
    T.S->SkinData()->BGChanged = true;
    EXPECT_TRUE(T.S->PrepareCache());
    Th->SkinData()->BGChanged = true;
    EXPECT_TRUE(Th->PrepareCache());
    return std::make_pair(CachePixels(*T.S->SkinData()), CachePixels(*Th->SkinData()));
  };
  const auto [Track, Thumb] = Looks();
  T.S->SetEnabled(false);
  ASSERT_FALSE(Th->Enabled()) << "the thumb follows its track";
  const auto [DimTrack, DimThumb] = Looks();
  const std::uint32_t Form = PixelOf(GetSysColor(COLOR_BTNFACE));
  for (size_t I = 0; I < Track.size(); ++I) ASSERT_EQ(DimTrack[I], DisabledMix(Track[I], Form)) << I;
  // The thumb's inside (its frame's corners show the track).
  const int W = Th->Width(), TW = T.S->Width();
  for (int Y = 2; Y < Th->Height() - 2; ++Y)
    for (int X = 2; X < W - 2; ++X) {
      const std::uint32_t Under = DimTrack[size_t((Th->Top() + Y) * TW + Th->Left() + X)];
      ASSERT_EQ(DimThumb[size_t(Y * W + X)], DisabledMix(Thumb[size_t(Y * W + X)], Under)) << X << "," << Y;
    }
  EXPECT_NE(Thumb[size_t(6 * W + 6)], Track[size_t((Th->Top() + 6) * TW + Th->Left() + 6)]) << "a face of its own";
}

void SliderLooksAt(int PPI) {
  TSliderScene T;
  if (PPI != 96) {
    T.F.ScaleForPPI(PPI);
    SendSkinCommand(T.S, SKC_SCALECHANGED, PPI);
    Pump(30);
  }
  EXPECT_EQ(T.ThumbRect(), TRect(1, 1, T.S->Height() - 1, T.S->Height() - 1)) << "square, inside the track";
  TSheet Sheet{T.S->Width(), T.S->Height(), {}};
  for (bool On : {true, false}) {
    T.S->SetSliderOn(On);
    Pump(20);
    Sheet.Pieces.push_back(Print(T.S->Handle(), T.S->Width(), T.S->Height()));
  }
  EXPECT_NE(Sheet.Pieces[0], Sheet.Pieces[1]);
  ExpectAsAccepted("slider_" + std::to_string(PPI), Sheet);
}

TEST(Slider, RegressionGuardOnAndOffAsAcceptedAt96Dpi) { SliderLooksAt(96); }
TEST(Slider, RegressionGuardOnAndOffAsAcceptedAt192Dpi) { SliderLooksAt(192); }

}  // namespace
