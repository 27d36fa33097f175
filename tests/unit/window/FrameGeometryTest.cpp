// The frame's geometry with the built-in skin's numbers (border 4, title 30,
// shadow 13, 11, 13, 15, title buttons 28 x 30) on a window whose system frame
// is 8 wide and whose caption is 23 high: the sizes, where the buttons, icon
// and caption go for each of the program's window kinds, and the hit codes.
#include <gtest/gtest.h>

#include "acFrameGeometry.h"

namespace {

using namespace cb;

TacFrameSizes Sizes(bool Extended = true) {
  TacFrameSizes S;
  S.FormW = 420;
  S.FormH = 320;
  S.SF = 8;
  S.SC = 23;
  S.Extended = Extended;
  S.HaveSkin = true;
  S.ExBorderWidth = 4;
  S.ExTitleHeight = 30;
  S.ExMaxHeight = 26;
  S.Shadow = TMargins(13, 11, 13, 15);
  return S;
}

TacTitleInput Title(const TacFrameMetrics& FM, TacBorderStyle Border, unsigned Icons) {
  TacTitleInput In;
  In.FM = FM;
  In.Border = Border;
  In.Icons = Icons;
  In.GlyphSizes.fill(TSize(21, 21));
  for (TacTitleGlyph G : {tgCloseAlone, tgClose, tgMax, tgMin, tgNormal, tgHelp}) In.GlyphSizes[G] = TSize(28, 30);
  In.Spacing = 4;
  In.ExCenterOffs = 1;
  return In;
}

TEST(FrameGeometry, TheImageIsTheClientAreaWithTheSkinsBorderTitleAndShadowAround) {
  // Client area: 420 - 2 x 8 = 404 wide, 320 - 23 - 2 x 8 = 281 high.
  const TacFrameMetrics FM = FrameMetrics(Sizes());
  EXPECT_EQ(FM.Width, 13 + 4 + 404 + 4 + 13);
  EXPECT_EQ(FM.Height, 11 + 30 + 281 + 4 + 15);
  EXPECT_EQ(FM.Frame(), TRect(13, 11, 13 + 412, 11 + 315));

  TacFrameSizes S = Sizes();
  S.Zoomed = true;  // the maximised title has its own height
  EXPECT_EQ(FrameMetrics(S).Height, 11 + 26 + 281 + 4 + 15);
  S.SC = 0;  // no caption: no title either
  EXPECT_EQ(FrameMetrics(S).TH, 0);
  // Without the border window, or without a skin, the image is the window.
  for (const TacFrameSizes& Plain : {Sizes(false), [] {
         TacFrameSizes N = Sizes();
         N.HaveSkin = false;
         return N;
       }()}) {
    const TacFrameMetrics P = FrameMetrics(Plain);
    EXPECT_EQ(P.Width, 420);
    EXPECT_EQ(P.Height, 320);
    EXPECT_EQ(P.BW, 8);
    EXPECT_EQ(P.TH, 23);
    EXPECT_EQ(P.Frame(), TRect(0, 0, 420, 320));
  }
}

TEST(FrameGeometry, EachWindowKindGetsItsButtonsIconAndCaptionPlace) {
  const TacFrameMetrics FM = FrameMetrics(Sizes());
  // The main window: minimise and close, flush with the client area's right
  // edge (x 421), centred on the title's line (41 - 15 + 1 = 27), the icon at
  // the frame's left inside the border, the caption between the two.
  const TacTitleLayout Main = LayoutTitle(Title(FM, acbsSingle, acbiSystemMenu | acbiMinimize));
  EXPECT_EQ(Main.VCenter, 27);
  EXPECT_EQ(Main.HeaderHeight, 41);
  EXPECT_TRUE(Main.BigButtons);
  EXPECT_EQ(Main.Buttons[tbClose].Glyph, tgClose);
  EXPECT_EQ(Main.Buttons[tbClose].Rect, TRect(393, 12, 421, 42));
  EXPECT_EQ(Main.Buttons[tbMin].Rect, TRect(365, 12, 393, 42));
  EXPECT_FALSE(Main.Buttons[tbMax].Visible);
  EXPECT_FALSE(Main.Buttons[tbHelp].Visible);
  EXPECT_EQ(Main.Icon, TRect(17, 19, 33, 35));
  EXPECT_EQ(Main.Caption, TRect(37, 11, 361, 41));

  // About: the close button alone, and no icon; the caption starts after the spacing.
  const TacTitleLayout About = LayoutTitle(Title(FM, acbsDialog, acbiSystemMenu));
  EXPECT_EQ(About.Buttons[tbClose].Glyph, tgCloseAlone);
  EXPECT_EQ(About.Buttons[tbClose].Rect, TRect(393, 12, 421, 42));
  EXPECT_FALSE(About.Buttons[tbMin].Visible);
  EXPECT_EQ(About.Icon.Width(), 0);
  EXPECT_EQ(About.Caption.Left, 17 + 4);
  EXPECT_EQ(About.Caption.Right, 393 - 4);

  // The new-version dialog has no border icons: no button, no icon.
  const TacTitleLayout Plain = LayoutTitle(Title(FM, acbsDialog, 0));
  for (const auto& B : Plain.Buttons) EXPECT_FALSE(B.Visible);
  EXPECT_EQ(Plain.Caption.Right, 421 - 4);

  // A tool window takes the small glyphs (21 x 21 here); help comes after a spacing.
  const TacTitleLayout Tool = LayoutTitle(Title(FM, acbsToolWindow, acbiSystemMenu | acbiHelp | acbiMinimize));
  EXPECT_EQ(Tool.Buttons[tbClose].Glyph, tgSmallClose);
  EXPECT_FALSE(Tool.Buttons[tbMin].Visible);
  EXPECT_EQ(Tool.Buttons[tbHelp].Rect.Right, 421 - 21 - 4);
}

TEST(FrameGeometry, MaximisedAndIconicTitles) {
  TacFrameSizes S = Sizes();
  S.Zoomed = true;
  TacTitleInput In = Title(FrameMetrics(S), acbsSizeable, acbiSystemMenu | acbiMinimize | acbiMaximize);
  In.Zoomed = true;
  In.OwnMaxHeight = true;
  // 11 + 26 - 13, without the skin's offset for a title of its own height, and 2 lower.
  const TacTitleLayout Max = LayoutTitle(In);
  EXPECT_EQ(Max.VCenter, 26);
  EXPECT_EQ(Max.Buttons[tbMax].Glyph, tgNormal);
  EXPECT_EQ(Max.Buttons[tbMax].Rect.Top, 26 - 15);
  In.OwnMaxHeight = false;
  EXPECT_EQ(LayoutTitle(In).VCenter, 27);
  // An iconic window other than the main one shows restore in minimise's place.
  In = Title(FrameMetrics(Sizes()), acbsDialog, acbiSystemMenu | acbiMinimize);
  In.Iconic = true;
  EXPECT_TRUE(LayoutTitle(In).Buttons[tbMin].Visible);
  EXPECT_EQ(LayoutTitle(In).Buttons[tbMin].Glyph, tgNormal);
  In.MainForm = true;
  EXPECT_EQ(LayoutTitle(In).Buttons[tbMin].Glyph, tgMin);
  // Without the border window the title's line lies half the caption and half the frame down.
  EXPECT_EQ(LayoutTitle(Title(FrameMetrics(Sizes(false)), acbsSingle, acbiSystemMenu)).VCenter, 23 / 2 + 8 / 2);
}

TEST(FrameGeometry, HitCodesOverButtonsIconCaptionClientFrameAndShadow) {
  const TacFrameMetrics FM = FrameMetrics(Sizes());
  const TacTitleLayout L = LayoutTitle(Title(FM, acbsSingle, acbiSystemMenu | acbiMinimize));
  TacHitInput In;
  In.Enabled.fill(true);
  In.Client = TRect(17, 41, 17 + 404, 41 + 281);
  auto Hit = [&](int X, int Y) { return FrameHitTest(TPoint(X, Y), FM, L, In); };
  EXPECT_EQ(Hit(400, 20), htClose);
  EXPECT_EQ(Hit(370, 20), htMinButton);
  EXPECT_EQ(Hit(20, 25), htSysMenu);
  EXPECT_EQ(Hit(200, 20), htCaption);
  EXPECT_EQ(Hit(200, 200), htClient);
  EXPECT_EQ(Hit(14, 200), htBorder);  // a fixed frame sizes nothing
  EXPECT_EQ(Hit(5, 200), htTransparent);
  // Disabled buttons are caption, but an iconic window's minimise restores it.
  In.Enabled.fill(false);
  EXPECT_EQ(Hit(400, 20), htCaption);
  EXPECT_EQ(Hit(370, 20), htCaption);
  In.Iconic = true;
  EXPECT_EQ(Hit(370, 20), htMinButton);
  // A sizing frame: bands of max(4, 6) pixels inside the frame's edges.
  In.Sizable = true;
  EXPECT_EQ(Hit(13, 11), htTopLeft);
  EXPECT_EQ(Hit(18, 200), htLeft);
  EXPECT_EQ(Hit(19, 200), htClient);
  EXPECT_EQ(Hit(424, 325), htBottomRight);
  EXPECT_EQ(Hit(200, 16), htTop);
  EXPECT_EQ(Hit(200, 17), htCaption);
}

}  // namespace
