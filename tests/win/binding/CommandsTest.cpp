// Skin commands between a control and its parent and form: outer effects
// painted into the parent's picture, the background colour mixed through
// partly transparent sections, a scroll change recomputing the frame and
// reaching the children, a new child announced to its form.
#include "BindingFixture.h"
#include "skin/paint/PixelOps.h"

namespace {

using namespace cb;
using namespace cb::test;

// The recorders sit in a base that is built before the scene and freed after it.
struct TCommandRecords {
  TLog Log;
  std::vector<LPARAM> Announced;
};
struct TCommandFixture : TCommandRecords, TTinySceneFixture {};

TEST_F(TCommandFixture, AChildPaintsItsShadowIntoTheBandAroundItInItsParentsPicture) {
  TsCommonData& B = S->Button->SD;
  B.SetSkinSection(L"SHADOWED");
  ASSERT_TRUE(B.Skinned());
  TDibBitmap Parent(200, 120);
  auto White = [&] { FillPixels32(Parent.Bmp(), Parent.Bmp().Bounds(), 0xFFFFFF, 255); };
  auto Paint = [&] {
    TacOuterRequest R{&Parent.Bmp(), POINT{0, 0}, 2};
    SendSkinCommand(S->Button, SKC_PAINTOUTER, reinterpret_cast<LPARAM>(&R), 2);
  };
  White();
  Paint();
  EXPECT_EQ(Parent.Bmp().Pixel(28, 38) & 0xFFFFFF, 0xFFFFFFu) << "not without outer effects on the control";
  B.OuterVisibility = ovAlways;
  M->Effects()->SetAllowOuterEffects(false);
  Paint();
  EXPECT_EQ(Parent.Bmp().Pixel(28, 38) & 0xFFFFFF, 0xFFFFFFu) << "not when the manager forbids them";
  M->Effects()->SetAllowOuterEffects(true);
  Paint();
  // The button lies at (30, 40) - (117, 62): the shadow lies in the band of
  // four pixels around it. (The computed shape's sides come from a centre of
  // no width, so only its corners show; see the section painter.)
  const Bitmap32& P = Parent.Bmp();
  EXPECT_NE(P.Pixel(28, 38) & 0xFFFFFF, 0xFFFFFFu) << "top left";
  EXPECT_NE(P.Pixel(118, 38) & 0xFFFFFF, 0xFFFFFFu) << "top right";
  EXPECT_NE(P.Pixel(28, 63) & 0xFFFFFF, 0xFFFFFFu) << "bottom left";
  EXPECT_NE(P.Pixel(118, 63) & 0xFFFFFF, 0xFFFFFFu) << "bottom right";
  EXPECT_EQ(P.Pixel(25, 37) & 0xFFFFFF, 0xFFFFFFu) << "nothing beyond the band";
  EXPECT_EQ(P.Pixel(31, 41) & 0xFFFFFF, 0xFFFFFFu) << "nothing under the control";
  // What lay under the band is kept, to paint the shadow afresh later.
  ASSERT_EQ(B.FOuterCache.Width(), 87 + 8);
  ASSERT_EQ(B.FOuterCache.Height(), 22 + 8);
  EXPECT_EQ(B.FOuterCache.Pixel(2, 10), 0xFFFFFFFFu);

  // The parent's helper asks every visible skinned child, at the parent's offset.
  S->Panel->SD.PrepareCacheBmp();
  Bitmap32& Cache = S->Panel->SD.CacheBmp()->Bmp();
  FillPixels32(Cache, Cache.Bounds(), 0xFFFFFF, 255);
  PaintOuterEffects(S->Panel->SD, S->Panel, POINT{0, 0});
  EXPECT_NE(Cache.Pixel(28, 38) & 0xFFFFFF, 0xFFFFFFu);
  FillPixels32(Cache, Cache.Bounds(), 0xFFFFFF, 255);
  S->Button->SetVisible(false);
  PaintOuterEffects(S->Panel->SD, S->Panel, POINT{0, 0});
  EXPECT_EQ(Cache.Pixel(28, 38) & 0xFFFFFF, 0xFFFFFFu) << "a hidden child casts no shadow";
}

// Colours are 0x00BBGGRR; each expected channel is worked out by hand as
// own + (below - own) * T / 256, with fractions that truncation and rounding agree on.
TEST_F(TCommandFixture, APartlyTransparentSectionsBackgroundColourLetsTheColourBelowThroughByT256) {
  S->F.SetColor(static_cast<TColor>(0x40E0F0));
  TsGeneralData& Panel = S->Panel->SD.CommonSkinData()->gd[size_t(S->Panel->SD.SkinIndex())];
  Panel.Props[0].Color = 0xC08030;
  Panel.Props[0].Transparency = 40;
  // Over the plain form: R 0x30 + 192*40/256 (30), G 0x80 + 96*40/256 (15), B 0xC0 - 128*40/256 (20).
  EXPECT_EQ(static_cast<std::uint32_t>(SendSkinCommand(S->Panel, SKC_GETBGCOLOR)), 0xAC8F4Eu);
  TsGeneralData& Button = S->Button->SD.CommonSkinData()->gd[size_t(S->Button->SD.SkinIndex())];
  Button.Props[0].Color = 0x004010;
  Button.Props[0].Transparency = 75;
  // Over the skinned panel's answer: R 0x10 + 62*75/256 (18.2), G 0x40 + 79*75/256 (23.1), B 0 + 172*75/256 (50.4).
  EXPECT_EQ(static_cast<std::uint32_t>(SendSkinCommand(S->Button, SKC_GETBGCOLOR)), 0x325722u);
  Button.Props[0].Transparency = 100;
  EXPECT_EQ(static_cast<std::uint32_t>(SendSkinCommand(S->Button, SKC_GETBGCOLOR)), 0xAC8F4Eu) << "all the panel's";
  Button.Props[0].Transparency = 0;
  EXPECT_EQ(static_cast<std::uint32_t>(SendSkinCommand(S->Button, SKC_GETBGCOLOR)), 0x004010u) << "all its own";
}

TEST_F(TCommandFixture, AScrollChangeRecomputesTheFrameThenReachesTheChildren) {
  S->Panel->AddWindowHook(0x5ED, [this](TMessage& Msg, const TWindowHookNext& Next) {
    if (Msg.Msg == WM_NCCALCSIZE) Log.push_back("panel frame");
    if (Msg.Msg == SKM_COMMAND && CommandOf(Msg.WParam) == SKC_SCROLLCHANGED) Log.push_back("panel skc 53");
    Next(Msg);
  });
  Record(S->Button, Log, "button");
  SendSkinCommand(S->Panel, SKC_SCROLLCHANGED);
  EXPECT_EQ(Log, (TLog{"panel skc 53", "panel frame", "button skc 53"}));
}

TEST_F(TCommandFixture, AWindowMadeInsideABoundControlIsAnnouncedToItsFormOnce) {
  S->F.AddWindowHook(0x5EE, [this](TMessage& Msg, const TWindowHookNext& Next) {
    if (Msg.Msg == SKM_COMMAND && CommandOf(Msg.WParam) == SKC_CONTROLADDED) Announced.push_back(Msg.LParam);
    Next(Msg);
  });
  auto* Child = new TTestPanel(S->Panel);
  Child->SetBounds(130, 60, 40, 30);
  Child->SetParent(S->Panel);
  Child->HandleNeeded();
  EXPECT_EQ(Announced, (std::vector<LPARAM>{reinterpret_cast<LPARAM>(static_cast<TControl*>(Child))}));
}

}  // namespace
