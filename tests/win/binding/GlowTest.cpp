// Hover glows on a small skin whose speed buttons have a glow mask: the
// window's place and picture, the alpha following the state animation, and
// every way a glow goes.
#include "BindingFixture.h"
#include "skin/binding/acGlow.h"

namespace {

using namespace cb;
using namespace cb::test;

struct TGlowFixture : TTinySceneFixture {
  void SetUp() override {
    TTinySceneFixture::SetUp();
    if (HasFatalFailure()) return;
    S->F.Show();
    Pump(30);
    S->Button->Repaint();
    ASSERT_TRUE(S->Button->SD.Skinned());
  }
  TsCommonData& SD() { return S->Button->SD; }
  TacGlowEffect* Glow() { return GlowEffect(SD().GlowID); }
  RECT Expected() {
    const TPoint O = S->Button->ClientToScreen(TPoint(0, 0));
    // Grown by the mask's border (4) less the section's glow margin (2).
    return RECT{O.X - 2, O.Y - 2, O.X + 87 + 2, O.Y + 22 + 2};
  }
};

TEST_F(TGlowFixture, AGlowIsALayeredWindowAroundTheControlThatThePointerPassesThrough) {
  HWND Active = GetForegroundWindow();
  const int Id = ShowGlow(SD(), 0);
  ASSERT_GE(Id, 0);
  EXPECT_EQ(SD().GlowID, Id);
  TacGlowEffect* G = Glow();
  ASSERT_TRUE(G && G->Wnd());
  RECT R;
  GetWindowRect(G->Wnd(), &R);
  const RECT E = Expected();
  EXPECT_TRUE(EqualRect(&R, &E)) << R.left << "," << R.top << "," << R.right << "," << R.bottom;
  const LONG Ex = GetWindowLongW(G->Wnd(), GWL_EXSTYLE);
  EXPECT_EQ(Ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE),
            WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE);
  EXPECT_EQ(SendMessageW(G->Wnd(), WM_NCHITTEST, 0, MAKELPARAM(E.left + 1, E.top + 1)), HTTRANSPARENT);
  // Just behind the control's form, not above it (where an owned window would be).
  EXPECT_EQ(GetWindow(S->F.WindowHandle(), GW_HWNDNEXT), G->Wnd());
  EXPECT_EQ(GetWindow(G->Wnd(), GW_HWNDPREV), S->F.WindowHandle());
  EXPECT_TRUE(IsWindowVisible(G->Wnd()));
  EXPECT_EQ(GetForegroundWindow(), Active) << "never activated";
  // The mask's four-pixel border, stretched around; its middle left empty.
  const Bitmap32& B = G->AlphaBmp->Bmp();
  ASSERT_EQ(B.Width(), 91);
  ASSERT_EQ(B.Height(), 26);
  const std::uint32_t Ring = 0xFF000000u | kGlowColour;
  EXPECT_EQ(B.Pixel(0, 0), Ring);
  EXPECT_EQ(B.Pixel(3, 13), Ring);
  EXPECT_EQ(B.Pixel(45, 25), Ring);
  EXPECT_EQ(B.Pixel(4, 13), 0u);
  EXPECT_EQ(B.Pixel(45, 12), 0u);
  EXPECT_EQ(B.Pixel(86, 13), 0u);
  EXPECT_EQ(B.Pixel(87, 13), Ring);

  EXPECT_EQ(ShowGlow(SD(), 77), Id) << "a second request only sets the alpha";
  EXPECT_EQ(G->Alpha, 77);
  SetGlowAlpha(Id, 300);
  EXPECT_EQ(G->Alpha, 255);
  HWND W = G->Wnd();
  HideGlow(SD().GlowID, false);
  EXPECT_EQ(SD().GlowID, -1);
  EXPECT_FALSE(IsWindow(W));
  EXPECT_EQ(GlowEffect(Id), nullptr);
}

// What the form animations will do with a surface: take its messages for a
// while and give them back to the owner it had (here none), window and all.
TEST_F(TGlowFixture, ASurfaceLentToAnotherOwnerIsGivenBackWithItsWindow) {
  struct TBorrower final : TacSurfaceOwner {
    LRESULT SurfaceMessage(HWND W, UINT Msg, WPARAM WP, LPARAM LP) override {
      return Msg == WM_NCHITTEST ? HTCAPTION : DefWindowProcW(W, Msg, WP, LP);
    }
  } Borrower;
  ASSERT_GE(ShowGlow(SD(), 255), 0);
  TacLayeredSurface& Surface = *Glow()->Surface;
  const HWND W = Surface.Handle();
  const RECT R = WindowRect(W);
  auto HitTest = [&] { return SendMessageW(W, WM_NCHITTEST, 0, MAKELPARAM(R.left + 1, R.top + 1)); };
  Surface.Adopt(&Borrower);
  EXPECT_EQ(HitTest(), HTCAPTION);
  Surface.GiveBack();
  EXPECT_EQ(HitTest(), HTTRANSPARENT);
  EXPECT_TRUE(IsWindowVisible(W));
}

TEST_F(TGlowFixture, IdsAreReusedSoTheListIsAsLongAsTheMostGlowsShownAtOnce) {
  ASSERT_EQ(GlowsShown(), 0);
  const int Before = GlowListSize();
  auto* Other = new TTestButton(S->Panel);
  Other->SetBounds(30, 70, 87, 22);
  Other->SetParent(S->Panel);
  Other->SD.Loaded();
  for (int I = 0; I < 40; ++I) {
    const int A = ShowGlow(SD(), 255), B = ShowGlow(Other->SD, 255);
    ASSERT_GE(A, 0);
    ASSERT_GE(B, 0);
    ASSERT_NE(A, B);
    HideGlow(SD().GlowID, false);
    EXPECT_EQ(ShowGlow(SD(), 255), A) << "the free id again";
    HideGlow(SD().GlowID, false);
    HideGlow(Other->SD.GlowID, false);
  }
  EXPECT_EQ(GlowsShown(), 0);
  EXPECT_LE(GlowListSize(), std::max(Before, 2));
}

TEST_F(TGlowFixture, NoGlowWithoutAMaskWhenGlowingIsOffOrTheMouseIsCaptured) {
  EXPECT_EQ(ShowGlow(S->Panel->SD, 255), -1) << "PANEL has no glow";
  M->Effects()->SetAllowGlowing(false);
  EXPECT_EQ(ShowGlow(SD(), 255), -1);
  M->Effects()->SetAllowGlowing(true);
  SetCapture(S->F.WindowHandle());
  EXPECT_EQ(ShowGlow(SD(), 255), -1);
  ReleaseCapture();
  EXPECT_GE(ShowGlow(SD(), 255), 0);
}

TEST_F(TGlowFixture, TheGlowFollowsTheHoverFadeAndGoesWhenTheLeaveFadeIsAlmostDone) {
  SD().FMouseAbove = true;
  AnimateStateChange(SD(), 1, nullptr, true, false, true);
  ASSERT_NE(Glow(), nullptr) << "started with the animation";
  TacFadeTimer& T = *SD().AnimTimer();
  std::vector<int> Alphas{Glow()->Alpha};
  while (T.Enabled()) {
    T.Tick();
    if (Glow()) Alphas.push_back(Glow()->Alpha);
  }
  EXPECT_EQ(Alphas, (std::vector<int>{42, 85, 128, 170, 212, 255, 255}));
  ASSERT_NE(Glow(), nullptr) << "a finished hover keeps its glow";
  SD().FMouseAbove = false;
  AnimateStateChange(SD(), 0, nullptr, true, false, true);
  Alphas = {Glow()->Alpha};
  int Ticks = 0;
  while (Glow() && T.Enabled() && Ticks++ < 40) {
    T.Tick();
    if (Glow()) Alphas.push_back(Glow()->Alpha);
  }
  EXPECT_EQ(Glow(), nullptr);
  // 18 steps of 255/18 down from full; the last one removes it.
  ASSERT_EQ(Alphas.size(), 17u);
  EXPECT_EQ(Alphas.front(), 241);
  EXPECT_EQ(Alphas[8], 128);
  EXPECT_EQ(Alphas.back(), 14);
  EXPECT_TRUE(std::is_sorted(Alphas.rbegin(), Alphas.rend()));
}

TEST_F(TGlowFixture, WithoutAnimationTheGlowShowsAtFullAlphaAndGoesWithThePointer) {
  M->Effects()->SetAllowAnimation(false);
  SD().FMouseAbove = true;
  AnimateStateChange(SD(), 1, nullptr, true, false, true);
  ASSERT_NE(Glow(), nullptr);
  EXPECT_EQ(Glow()->Alpha, 255);
  SD().FMouseAbove = false;
  AnimateStateChange(SD(), 0, nullptr, true, false, true);
  EXPECT_EQ(Glow(), nullptr);
}

TEST_F(TGlowFixture, HidingDisablingANewSectionANewSkinOrTheControlGoingRemoveTheGlow) {
  auto Again = [&] {
    EXPECT_GE(ShowGlow(SD(), 255), 0);
    return Glow() ? Glow()->Wnd() : nullptr;
  };
  HWND W = Again();
  S->Button->SetVisible(false);
  EXPECT_FALSE(IsWindow(W)) << "hidden";
  S->Button->SetVisible(true);
  W = Again();
  S->Button->SetEnabled(false);
  EXPECT_FALSE(IsWindow(W)) << "disabled";
  S->Button->SetEnabled(true);
  W = Again();
  SD().SetSkinSection(L"speedbutton");
  EXPECT_FALSE(IsWindow(W)) << "a new section";
  W = Again();
  M->UpdateSkin(false);
  EXPECT_FALSE(IsWindow(W)) << "a broadcast skin";
  EXPECT_EQ(GlowsShown(), 0);
  W = Again();
  delete S->Button;
  S->Button = nullptr;
  EXPECT_FALSE(IsWindow(W)) << "the control went";
  EXPECT_EQ(GlowsShown(), 0);
}

// A control of a kind that does not run its own glow: the binding starts it
// on mouse enter and fades it out on leave.
class TPlainGlowControl : public TGraphicControl {
public:
  explicit TPlainGlowControl(TComponent* AOwner) : TGraphicControl(AOwner), SD(this, 120) {}
  TsCommonData SD;
};

class TPlainGlowWindow : public TCustomControl {
public:
  explicit TPlainGlowWindow(TComponent* AOwner) : TCustomControl(AOwner), SD(this, 120) {}
  TsCommonData SD;
};

TEST_F(TGlowFixture, AWindowThatMovesOrIsResizedLosesItsGlow) {
  auto* C = new TPlainGlowWindow(S->Panel);
  C->SetBounds(120, 40, 50, 20);
  C->SetParent(S->Panel);
  C->HandleNeeded();
  C->SD.SetSkinSection(L"SPEEDBUTTON");
  C->SD.Loaded();
  ASSERT_GE(ShowGlow(C->SD, 255), 0);
  HWND W = GlowEffect(C->SD.GlowID)->Wnd();
  C->SetBounds(121, 40, 50, 20);
  EXPECT_FALSE(IsWindow(W)) << "moved";
  EXPECT_EQ(C->SD.GlowID, -1);
  ASSERT_GE(ShowGlow(C->SD, 255), 0);
  W = GlowEffect(C->SD.GlowID)->Wnd();
  C->SetBounds(121, 40, 60, 20);
  EXPECT_FALSE(IsWindow(W)) << "resized";
}

TEST_F(TGlowFixture, TheBindingGlowsOtherKindsOnEnterAndFadesThemOnLeave) {
  auto* C = new TPlainGlowControl(S->Panel);
  C->SetBounds(120, 40, 50, 20);
  C->SetParent(S->Panel);
  C->SD.SetSkinSection(L"SPEEDBUTTON");
  C->SD.Loaded();
  ASSERT_TRUE(C->SD.Skinned());
  C->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(C));
  TacGlowEffect* G = GlowEffect(C->SD.GlowID);
  ASSERT_NE(G, nullptr);
  EXPECT_EQ(G->Alpha, 255);
  C->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(C));
  ASSERT_NE(GlowEffect(C->SD.GlowID), nullptr) << "fades first";
  TacFadeTimer* T = C->SD.AnimTimer();
  ASSERT_TRUE(T && T->Enabled());
  std::vector<int> Alphas;
  for (int I = 0; I < 40 && GlowEffect(C->SD.GlowID); ++I) {
    T->Tick();
    if (TacGlowEffect* Now = GlowEffect(C->SD.GlowID)) Alphas.push_back(Now->Alpha);
  }
  EXPECT_EQ(C->SD.GlowID, -1);
  ASSERT_EQ(Alphas.size(), 17u);
  EXPECT_EQ(Alphas.front(), 241);
  EXPECT_EQ(Alphas.back(), 14);
  EXPECT_TRUE(std::is_sorted(Alphas.rbegin(), Alphas.rend()));
  EXPECT_FALSE(T->Enabled());
  EXPECT_EQ(T->State, -1);
}

}  // namespace

namespace {

using namespace cb;
using namespace cb::test;

// The real pointer: the glow shows on entering, lets the pointer through to
// what lies below it (the control keeps its hover), and fades out on the real
// clock after leaving.
TEST_F(TGlowFixture, UnderTheRealPointerTheGlowComesLetsThePointerThroughAndFadesAway) {
  auto* C = new TPlainGlowControl(S->Panel);
  C->SetBounds(120, 40, 50, 20);
  C->SetParent(S->Panel);
  C->SD.SetSkinSection(L"SPEEDBUTTON");
  C->SD.Loaded();
  const TPoint In = C->ClientToScreen(TPoint(25, 10));
  MovePointer(In.X, In.Y);
  ASSERT_TRUE(PumpUntil([&] { return C->SD.GlowID >= 0; })) << "the glow came";
  HWND W = GlowEffect(C->SD.GlowID)->Wnd();
  EXPECT_TRUE(IsWindowVisible(W));
  // Over the glow's band, outside the control: the panel is what is there.
  const TPoint Band = C->ClientToScreen(TPoint(-1, 10));
  EXPECT_EQ(WindowFromPoint(POINT{Band.X, Band.Y}), S->Panel->WindowHandle());
  Pump(300);
  EXPECT_TRUE(C->SD.FMouseAbove) << "the glow over the control takes no hover away";
  EXPECT_EQ(GlowEffect(C->SD.GlowID) ? GlowEffect(C->SD.GlowID)->Wnd() : nullptr, W) << "and stays";
  const TPoint Away = S->F.ClientToScreen(TPoint(300, 200));
  MovePointer(Away.X, Away.Y);
  ASSERT_TRUE(PumpUntil([&] { return !C->SD.FMouseAbove; }));
  EXPECT_TRUE(IsWindow(W)) << "fading, not cut off";
  ASSERT_TRUE(PumpUntil([&] { return C->SD.GlowID < 0; }, 3000)) << "gone within the fade's 18 steps";
  EXPECT_FALSE(IsWindow(W));
}

}  // namespace
