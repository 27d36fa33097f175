#include <gtest/gtest.h>

#include <random>
#include <set>

#include "tests/support/FakeSkinHost.h"
#include "tests/support/SkinImages.h"
#include "acSkinArchive.h"
#include "sSkinManagerCore.h"

using namespace cb;
using namespace cb::test;

namespace {

const char* const kOptions =
    "[GLOBALINFO]\n"
    "MASTERBITMAP=MASTER.BMP\n"
    "VERSION=14.01\n"
    "AUTHOR=Tester\n"
    "COLOR=14330112\n"
    "FONTCOLOR=255\n"
    "BORDERCOLOR=4210752\n"
    "FORMOFFSET=1\n"
    "BORDERWIDTH=5\n"
    "TITLEHEIGHT=20\n"
    "TITLEHEIGHT*200=33\n"
    "WSHSIZE*150=20\n"
    "SHADOW1BLUR=3\n"
    "BOXCHECKED=@0000@0000@0010@0010@1@0\n"
    "BOXCHECKED*200=@0010@0000@0030@0020@1@0\n"
    "EXBORDER=^0000^0010^0020^0020^0003^0003^0003^0003^2^0^1\n"
    "EXBORDER*200=^0000^0000^0040^0020^0006^0006^0006^0006^2^0^1\n"
    "BICONCLOSE=@0000@0000@0005@0005@1@0\n"
    "BICONCLOSEGLOW=2\n"
    "BICONCLOSEGLOW0=@0005@0000@0010@0005@1@0\n"
    "BICONCLOSEGLOWMARGIN=3\n"
    "BTNCOLOR2NORMAL=4294704123\n"
    "COLORTONEBLUETEXTActive=12345\n"
    "[BUTTON]\n"
    "COLOR=100\n"
    "HOTCOLOR=200\n"
    "BORDERSMASK=^0020^0000^0040^0020^0002^0002^0002^0002^1^1^1\n"
    "IMGTOPRIGHT=^0000^0000^0010^0010^0001^0001^0001^0001^1^0^8\n"
    "PATTERN=~0000~0010~0010~0020~00\n"
    "GLYPHMASK=!MISSING.BMP!1!0!2\n"
    "IMGTOPLEFT=@0050@0000@0060@0010@1@0\n"
    "GRADIENTDATA=183902;14854402;97;1;0;14854402;14854402;0;1;0\n"
    "[SPEEDBUTTON]\n"
    "PARENTCLASS=BUTTON\n"
    "USESTATE2=1\n"
    "COLOR2=300\n"
    "[EDIT]\n"
    "COLOR=16777215\n"
    "FONTCOLOR=0\n"
    "BORDERSMASK=!edge.bmp!1!0!0!1!1!1!1!0\n"
    "[SELECTION]\n"
    "COLOR=5\n"
    "FONTCOLOR=-1\n"
    "[MENUITEM]\n"
    "STATES=2\n"
    "HOTCOLOR=77\n"
    "HOTFONTCOLOR=88\n"
    "[FORMTITLE]\n"
    "COLOR=1\n"
    "STATES=1\n"
    "HOTPATTERN=~0000~0010~0010~0020~00\n"
    "[TOOLBAR]\n"
    "COLOR=2\n"
    "[TABTOP]\n"
    "TABSCOVERING=3\n"
    "[PANEL_LOW]\n"
    "OUTERMODE=3\n"
    "OUTOFFSL=4\n"
    "OUTOFFST=2\n"
    "OUTOFFSR=6\n"
    "OUTOFFSB=8\n"
    "OUTCOLL=255\n"
    "[A]\nPARENTCLASS=B\n[B]\nPARENTCLASS=C\n[C]\nPARENTCLASS=A\nCOLOR=7\n";

uint32_t MasterPixel(int x, int y) {
  if (x == 20 && y == 0) return clMagenta;
  return static_cast<uint32_t>(x * 5) << 16 | static_cast<uint32_t>(y * 10) << 8 | 100;
}

std::vector<uint8_t> SkinArchive(const std::string& options = kOptions) {
  return WriteSkinArchive({{"OPTIONS.DAT", Bytes(options)},
                           {"MASTER.BMP", MakeBmp24(40, 20, MasterPixel)},
                           {"EDGE.BMP", MakeBmp24(3, 3, [](int, int) { return 0x808080u; })}});
}

struct Loaded {
  FakeSkinHost host;
  TacSkinManagerCore mgr{host};
  explicit Loaded(const std::string& options = kOptions, bool extended = true) {
    mgr.ExtendedBorders = extended;
    mgr.SkinName = u"Test";
    TsStoredSkin& s = mgr.InternalSkins.Add();
    s.Name = u"Test";
    s.PackedData.Bytes() = SkinArchive(options);
  }
  TacSkinData& At(int ppi) { return *mgr.CommonSkinData(ppi); }
  int Sec(TacSkinData& d, const char* name) { return mgr.GetSkinIndex(name, &d); }
  const TsMaskData& Mask(TacSkinData& d, const char* section, const char* prop) {
    int i = mgr.GetMaskIndex(section, prop, &d);
    EXPECT_GE(i, 0) << section << "." << prop;
    return d.ma.at(static_cast<size_t>(i < 0 ? 0 : i));
  }
};

}  // namespace

TEST(SkinData, SectionsStatesInheritanceAndAppendedSections) {
  Loaded s;
  TacSkinData& d = s.At(96);
  ASSERT_TRUE(d.Active());
  std::vector<std::string> names = s.mgr.GetSkinSections(&d);
  std::vector<std::string> expect = {"GLOBALINFO", "BUTTON", "SPEEDBUTTON", "EDIT", "SELECTION", "MENUITEM",
                                     "FORMTITLE", "TOOLBAR", "TABTOP", "PANEL_LOW", "A", "B", "C",
                                     "TRANSPARENT", "MAINCOLOR", "MENUCAPTION", "DIALOGTITLE", "MENUBTN", "TB_TAB",
                                     "COLHEADER", "COLHEADERA", "COLHEADERL", "COLHEADERR", "SLIDER_OFF",
                                     "SLIDER_ON"};
  EXPECT_EQ(names, expect);
  const auto& sec = s.mgr.SkinCommonInfo.Sections;
  EXPECT_EQ(sec[ssDialogTitle], sec[ssFormTitle]);
  EXPECT_EQ(sec[ssColHeaderA], sec[ssButton]);
  EXPECT_EQ(sec[ssFormHeader], -1);
  EXPECT_EQ(sec[ssTBBtn], -1);  // no TOOLBUTTON to fall back on
  EXPECT_EQ(sec[ssTransparent], s.Sec(d, "TRANSPARENT"));
  EXPECT_EQ(s.mgr.SkinCommonInfo.IndexGlobalInfo, 0);

  const TsGeneralData& button = d.gd[1];
  const TsGeneralData& speed = d.gd[2];
  EXPECT_EQ(button.Props[0].Color, 100);
  EXPECT_EQ(button.Props[1].Color, 200);
  EXPECT_EQ(button.Props[2].Color, 200);  // pressed copies hot without USESTATE2
  EXPECT_EQ(speed.Props[0].Color, 100);
  EXPECT_EQ(speed.Props[1].Color, 200);
  EXPECT_EQ(speed.Props[2].Color, 300);
  EXPECT_EQ(speed.Props[0].FontColor, (TsFontColor{0, -1, -1, -1, -1}));
  ASSERT_EQ(button.Props[0].GradientArray.size(), 2u);
  EXPECT_EQ(button.Props[0].GradientArray[1].Percent, 100);
  EXPECT_EQ(speed.Props[0].GradientArray.size(), 2u);  // texts inherit too
  EXPECT_EQ(button.States, 3);
  const TsGeneralData& title = d.gd[static_cast<size_t>(s.Sec(d, "FORMTITLE"))];
  EXPECT_EQ(title.Props[1].Color, 1);
  EXPECT_EQ(title.Props[1].TextureIndex, -1);  // one state: no hot texture
  const TsGeneralData& menu = d.gd[static_cast<size_t>(s.Sec(d, "MENUITEM"))];
  EXPECT_EQ(menu.Props[1].Color, 77);
  EXPECT_EQ(menu.Props[2].FontColor.Color, 88);
  const TsGeneralData& transparent = d.gd[static_cast<size_t>(s.Sec(d, "TRANSPARENT"))];
  EXPECT_EQ(transparent.States, 1);
  EXPECT_EQ(transparent.Props[2].Transparency, 100);
  EXPECT_EQ(transparent.Props[0].FontColor.Color, 0);  // the label colour is read later in the load
  const TsGeneralData& mainColor = d.gd[static_cast<size_t>(s.Sec(d, "MAINCOLOR"))];
  EXPECT_EQ(mainColor.Props[0].Color, 14330112);
  EXPECT_EQ(mainColor.Props[0].Transparency, 0);
  EXPECT_EQ(d.TabsCovering, 3);
  // A parent loop through three sections ends.
  EXPECT_EQ(d.gd[static_cast<size_t>(s.Sec(d, "A"))].Props[0].Color, 7);
  EXPECT_EQ(s.mgr.GetMaskIndex(s.Sec(d, "A"), "NOTHING", &d), -1);
}

TEST(SkinData, MasksAtEveryDensity) {
  Loaded s;
  TacSkinData& d96 = s.At(96);
  const TsMaskData& box96 = s.Mask(d96, "GLOBALINFO", "BOXCHECKED");
  EXPECT_EQ(box96.Bmp, nullptr);
  EXPECT_EQ(box96.R, (TRect{0, 0, 10, 10}));
  EXPECT_EQ(box96.DivPPI, 96);
  EXPECT_EQ(box96.ImgType, itisaGlyph);
  EXPECT_EQ(d96.CheckBox[1], s.mgr.GetMaskIndex("GLOBALINFO", "BOXCHECKED", &d96));

  TacSkinData& d192 = s.At(192);
  const TsMaskData& box192 = s.Mask(d192, "GLOBALINFO", "BOXCHECKED");
  EXPECT_EQ(box192.Bmp, nullptr);
  EXPECT_EQ(box192.R, (TRect{10, 0, 30, 20}));
  EXPECT_EQ(box192.DivPPI, 192);
  EXPECT_EQ(box192.MulPPi, 192);

  TacSkinData& d120 = s.At(120);
  const TsMaskData& box120 = s.Mask(d120, "GLOBALINFO", "BOXCHECKED");
  ASSERT_NE(box120.Bmp, nullptr);
  EXPECT_EQ(box120.DivPPI, 192);
  EXPECT_EQ(box120.MulPPi, 120);
  EXPECT_EQ(box120.R, (TRect{0, 0, 12, 12}));
  EXPECT_EQ(box120.Width, 12);

  // The border image: a rectangle of the master image at 100 %, a scaled copy at 150 %.
  const TsMaskData& b96 = s.Mask(d96, "BUTTON", "BORDERSMASK");
  EXPECT_EQ(b96.Width, 20);
  EXPECT_EQ(b96.Height, 10);
  EXPECT_EQ(b96.WL, 2);
  EXPECT_EQ(b96.Cfg & cfgKeyCorners, cfgKeyCorners);  // magenta in the top-left corner
  TacSkinData& d144 = s.At(144);
  const TsMaskData& b144 = s.Mask(d144, "BUTTON", "BORDERSMASK");
  ASSERT_NE(b144.Bmp, nullptr);
  EXPECT_EQ(b144.R, (TRect{0, 0, 30, 30}));
  EXPECT_EQ(b144.Width, 30);
  EXPECT_EQ(b144.Height, 15);
  EXPECT_EQ(b144.WL, 3);
  EXPECT_EQ(b144.WB, 3);
  EXPECT_EQ(b144.Bmp->Pixel(29, 29), 0xFF000000u | MasterPixel(39, 19));
  // Draw mode bit 3 keeps a master-image piece at its drawn size.
  const TsMaskData& kept = s.Mask(d144, "BUTTON", "IMGTOPRIGHT");
  EXPECT_EQ(kept.Bmp, nullptr);
  EXPECT_EQ(kept.R, (TRect{0, 0, 10, 10}));
  EXPECT_EQ(kept.WL, 1);

  // Images that cannot be found leave no record.
  int button = s.Sec(d96, "BUTTON");
  EXPECT_EQ(s.mgr.GetMaskIndex(button, "GLYPHMASK", &d96), -1);
  EXPECT_EQ(d96.gd[static_cast<size_t>(button)].ImgTL, -1);  // rectangle outside the master image

  // A separate file, found in the archive by its upper-cased name.
  int edit = s.Sec(d96, "EDIT");
  const TsMaskData& edge = d96.ma[static_cast<size_t>(d96.gd[static_cast<size_t>(edit)].BorderIndex)];
  ASSERT_NE(edge.Bmp, nullptr);
  EXPECT_EQ(edge.R, (TRect{0, 0, 3, 3}));
  EXPECT_EQ(edge.Bmp->Pixel(1, 1), 0xFF808080u);
  EXPECT_EQ(d96.gd[static_cast<size_t>(edit)].ScrollBorderOffset, -1);
  EXPECT_EQ(d96.gd[static_cast<size_t>(button)].ScrollBorderOffset, 0);
}

TEST(SkinData, LookupsFollowParentsAsEachFormSays) {
  Loaded s;
  TacSkinData& d = s.At(96);
  int button = s.Sec(d, "BUTTON"), speed = s.Sec(d, "SPEEDBUTTON");
  int border = s.mgr.GetMaskIndex(button, "BORDERSMASK", &d);
  ASSERT_GE(border, 0);
  EXPECT_EQ(s.mgr.GetMaskIndex(speed, "BORDERSMASK", &d), border);
  EXPECT_EQ(s.mgr.GetMaskIndex(speed, "SPEEDBUTTON", "BORDERSMASK", &d), border);
  EXPECT_EQ(s.mgr.GetMaskIndex(speed, "BUTTON", "BORDERSMASK", &d), -1);
  EXPECT_EQ(s.mgr.GetMaskIndex("SPEEDBUTTON", "BORDERSMASK", &d), -1);
  EXPECT_EQ(s.mgr.GetMaskIndex(-1, "BORDERSMASK", &d), -1);
  EXPECT_EQ(d.gd[static_cast<size_t>(speed)].BorderIndex, border);
  int pattern = s.mgr.GetTextureIndex(button, "PATTERN", &d);
  ASSERT_GE(pattern, 0);
  EXPECT_EQ(d.gd[static_cast<size_t>(speed)].Props[0].TextureIndex, pattern);
  EXPECT_EQ(s.mgr.GetTextureIndex(speed, "SPEEDBUTTON", "PATTERN", &d), pattern);
  EXPECT_EQ(s.mgr.GetTextureIndex(speed, "BUTTON", "PATTERN", &d), pattern);  // by name, directly
  EXPECT_EQ(s.mgr.GetTextureIndex(s.Sec(d, "EDIT"), "EDIT", "PATTERN", &d), -1);
  EXPECT_EQ(s.mgr.GetTextureIndex(button, "BORDERSMASK", &d), -1);  // not a texture
  EXPECT_EQ(s.mgr.GetSkinIndex("button", &d), -1);
  EXPECT_EQ(s.mgr.GetSkinIndex("", &d), -1);
  // A section appended as a copy finds its original's images.
  EXPECT_EQ(s.mgr.GetMaskIndex(s.Sec(d, "COLHEADER"), "BORDERSMASK", &d), border);
  EXPECT_TRUE(s.mgr.IsValidSkinIndex(button));
  EXPECT_FALSE(s.mgr.IsValidImgIndex(static_cast<int>(d.ma.size())));
}

TEST(SkinData, TitleGlyphsGlowsAndOuterImages) {
  Loaded s;
  TacSkinData& d = s.At(96);
  int close = s.mgr.GetMaskIndex("GLOBALINFO", "BICONCLOSE", &d);
  int glow0 = s.mgr.GetMaskIndex("GLOBALINFO", "BICONCLOSEGLOW0", &d);
  ASSERT_GE(close, 0);
  EXPECT_EQ(d.TitleGlyphs[tgClose], close);
  EXPECT_EQ(d.TitleGlyphs[tgCloseAlone], close);
  EXPECT_EQ(d.TitleGlyphs[tgSmallClose], close);
  EXPECT_EQ(d.TitleGlyphs[tgMax], -1);
  EXPECT_EQ(d.TitleGlyphs[tgNone], -1);
  EXPECT_EQ(d.TitleGlows[1], (std::vector<int>{glow0, -1}));
  EXPECT_EQ(d.TitleGlows[0], (std::vector<int>{glow0, glow0}));
  EXPECT_EQ(d.GlowMargins[0], 3);
  EXPECT_EQ(d.GlowMargins[1], 3);

  int panel = s.Sec(d, "PANEL_LOW");
  int outer = d.gd[static_cast<size_t>(panel)].OuterMask;
  ASSERT_GE(outer, 0);
  const TsMaskData& m = d.ma[static_cast<size_t>(outer)];
  // The ring around a one-pixel centre, the mask below it.
  EXPECT_EQ(m.R, (TRect{0, 0, 11, 22}));
  EXPECT_EQ(m.MaskType, 1);
  EXPECT_EQ(m.DrawMode, 1);
  EXPECT_EQ(m.WL, 4);
  EXPECT_EQ(m.WR, 6);
  EXPECT_EQ(m.WT, 2);
  EXPECT_EQ(m.WB, 8);
  bool tagged = false;
  for (const auto& b : d.BmpArray) tagged |= b->FileName == "Outer" + std::to_string(outer);
  EXPECT_TRUE(tagged);
  EXPECT_EQ(d.gd[static_cast<size_t>(s.Sec(d, "BUTTON"))].OuterMask, -1);  // mode 2 without OUTERMASK
}

TEST(SkinData, MetricsFollowTheBorderImageVariant) {
  Loaded s;
  TacSkinData& d96 = s.At(96);
  EXPECT_EQ(d96.ExTitleHeight, 20);
  EXPECT_EQ(d96.ExMaxHeight, 20);
  EXPECT_EQ(d96.ExBorderWidth, 5);
  EXPECT_EQ(d96.ExContentOffs, 1);
  EXPECT_EQ(d96.WndShadowRadius, 17);
  EXPECT_EQ(d96.Shadow1Blur, 3);
  TacSkinData& d192 = s.At(192);
  EXPECT_EQ(d192.ExTitleHeight, 33);
  EXPECT_EQ(d192.ExBorderWidth, 10);
  EXPECT_EQ(d192.ExContentOffs, 2);
  EXPECT_EQ(d192.Shadow1Blur, 6);
  EXPECT_EQ(d192.Spacing, 8);
  TacSkinData& d144 = s.At(144);
  EXPECT_EQ(d144.ExTitleHeight, 24);  // 33 drawn for 192, at 144
  EXPECT_EQ(d144.ExBorderWidth, 7);
  EXPECT_EQ(d144.WndShadowSize, 20);   // its own "*150" value as it stands
  EXPECT_EQ(d144.WndShadowRadius, 25);  // 17 x 144 / 96
  EXPECT_EQ(d144.ComboBoxMargin, 2);

  // Window shadow templates come from the border image's frames.
  ASSERT_TRUE(d96.ShdiTemplate && d96.ShdaTemplate);
  EXPECT_EQ(d96.ShdiTemplate->Width(), 10);
  EXPECT_EQ(d96.ShdiTemplate->Pixel(0, 0), 0xFF000000u | MasterPixel(0, 10));
  EXPECT_EQ(d96.ShdaTemplate->Pixel(0, 0), 0xFF000000u | MasterPixel(10, 10));
  EXPECT_EQ(d96.FormShadowSize, (TMargins{2, 2, 2, 2}));
  EXPECT_EQ(d192.FormShadowSize, (TMargins{4, 4, 4, 4}));
}

TEST(SkinData, ComputedShadowsWithoutBorderImageAndNoneWithoutExtendedBorders) {
  std::string opts = kOptions;
  opts.replace(opts.find("EXBORDER="), 8, "XXBORDER");
  opts.replace(opts.find("EXBORDER*200"), 8, "XXBORDER");
  Loaded s(opts);
  TacSkinData& d = s.At(96);
  EXPECT_EQ(d.ExBorder, -1);
  EXPECT_EQ(d.FormShadowSize, (TMargins{13, 11, 13, 15}));
  // Radius 17, size 13 and offset 2 by default: (2R + 2S + 1) x (2R + 2S + O + 1), the
  // shape O rows down; the active one at opacity 0x99, the inactive one at 0x44.
  ASSERT_TRUE(d.ShdaTemplate && d.ShdiTemplate);
  for (const Bitmap32* t : {d.ShdaTemplate.get(), d.ShdiTemplate.get()}) {
    EXPECT_EQ(t->Width(), 61);
    EXPECT_EQ(t->Height(), 63);
    for (int x = 0; x < t->Width(); ++x) EXPECT_EQ(t->Pixel(x, 0) | t->Pixel(x, 1), 0u) << x;
  }
  auto peak = [](const Bitmap32& b) {
    uint32_t m = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) m = std::max(m, b.Pixel(x, y) >> 24);
    return m;
  };
  EXPECT_EQ(peak(*d.ShdaTemplate), 0x99u * 255 >> 8);
  EXPECT_EQ(peak(*d.ShdiTemplate), 0x44u * 255 >> 8);
  Loaded plain(kOptions, false);
  TacSkinData& p = plain.At(96);
  EXPECT_FALSE(p.ShdaTemplate);
  EXPECT_EQ(p.FormShadowSize, TMargins{});
}

TEST(SkinData, Palette) {
  Loaded s;
  s.At(96);
  const auto& P = s.mgr.Palette;
  EXPECT_EQ(P[pcMainColor], 14330112u);
  EXPECT_EQ(P[pcLabelText], 255u);
  EXPECT_EQ(P[pcWebText], 0xFF0000u);
  EXPECT_EQ(P[pcEditBG], 0xFFFFFFu);
  EXPECT_EQ(P[pcEditText], 0u);
  // The selection has no usable text colour: the menu item's hot colours stand in.
  EXPECT_EQ(P[pcSelectionBG], 77u);
  EXPECT_EQ(P[pcSelectionText], 88u);
  // Its hot state has the default text colour 0, which is usable.
  EXPECT_EQ(P[pcSelectionBG_Focused], 0xFFFFFFu);
  EXPECT_EQ(P[pcSelectionText_Focused], 0u);
  EXPECT_EQ(P[pcEditBG_Inverted], 0u);
  EXPECT_EQ(P[pcEditText_Inverted], 0xFFFFFFu);
  EXPECT_EQ(P[pcEditBG_EvenRow], 0xF1F1F1u);
  EXPECT_EQ(P[pcGrid], 0xE0E0E0u);
  EXPECT_EQ(P[pcEditText_Caution], 0x6Cu);
  EXPECT_EQ(P[pcBtnColor1Active], 0xFFE4C24Du);
  EXPECT_EQ(P[pcBtnColor2Active], 0xFFDAA900u);
  EXPECT_EQ(P[pcBtnColor2Normal], 0xFFFBFBFBu);
  EXPECT_EQ(P[pcBtnBorderPressed], 4210752u);
  EXPECT_EQ(P[pcBtnFontNormal], 255u);
  EXPECT_EQ(P[pcBtnToneGreenActive], 0xE1FFD2u);
  EXPECT_EQ(P[pcBtnBlueTextActive], 12345u);
  EXPECT_EQ(P[pcBtnYellowTextActive], 0xA5D7u);
  EXPECT_EQ(P[pcHintBG], 0xE1FFFFu);  // no HINT section: the system's colours
  EXPECT_EQ(s.mgr.SkinCommonInfo.Author, "Tester");
  EXPECT_DOUBLE_EQ(s.mgr.SkinCommonInfo.Version, 14.01);
  EXPECT_TRUE(s.host.messages.empty());
}

TEST(SkinData, CommonSectionsAreLaidOver) {
  Loaded s;
  s.mgr.CommonSections =
      "; laid over every skin\n[MYSECTION]\nPARENTCLASS=button\nCOLOR=0x10\nSTATES=2\nGIVEOWNFONT=true\n"
      "BORDERSMASK=N/A\n[BUTTON]\nCOLOR=999\n";
  TacSkinData& d = s.At(96);
  int mine = s.Sec(d, "MYSECTION");
  ASSERT_GE(mine, 0);
  const TsGeneralData& g = d.gd[static_cast<size_t>(mine)];
  EXPECT_EQ(g.ParentClass, "BUTTON");
  EXPECT_EQ(g.Props[0].Color, 16);
  EXPECT_EQ(g.Props[1].Color, 200);  // from the parent record
  EXPECT_EQ(g.States, 2);
  EXPECT_TRUE(g.GiveOwnFont);
  EXPECT_EQ(g.BorderIndex, -2);
  EXPECT_EQ(g.ScrollBorderOffset, -2);
  EXPECT_EQ(d.gd[static_cast<size_t>(s.Sec(d, "BUTTON"))].Props[0].Color, 100);
}

TEST(SkinData, VersionWarningAndEmptyDataWhileInactive) {
  std::string opts = kOptions;
  opts.replace(opts.find("VERSION=14.01"), 13, "VERSION=15.50");
  Loaded s(opts);
  s.At(96);
  ASSERT_EQ(s.host.messages.size(), 1u);
  EXPECT_EQ(s.host.messages[0].first,
            "This version of the skin has not complete support by used Lumiskin package release.\r\n"
            "Components must be updated to latest version for using this skin.");
  Loaded preview(opts);
  preview.mgr.PreviewMode = true;
  preview.At(96);
  EXPECT_TRUE(preview.host.messages.empty());

  FakeSkinHost host;
  TacSkinManagerCore none(host);
  none.SkinName = u"Nothing";
  TacSkinData* d = none.CommonSkinData(96);
  EXPECT_FALSE(d->Active());
  EXPECT_FALSE(none.Active());  // no skin anywhere: switched off
  EXPECT_EQ(none.CommonSkinData(150)->PPI, 150);
  EXPECT_TRUE(none.GetSkinSections().empty());
}

TEST(SkinData, ScaledMaskDataPrefersTheLargerImage) {
  Loaded s;
  s.At(96);
  TsMaskData md;
  std::unique_ptr<Bitmap32> own;
  EXPECT_EQ(s.mgr.GetScaledMaskData("GLOBALINFO", "BOXCHECKED", md, 96, own), 96);
  EXPECT_EQ(md.DivPPI, 192);
  EXPECT_EQ(md.MulPPi, 96);
  EXPECT_EQ(md.R, (TRect{0, 0, 10, 10}));
  ASSERT_TRUE(own);
  EXPECT_EQ(md.Bmp, own.get());
  EXPECT_EQ(s.mgr.GetScaledMaskData("GLOBALINFO", "BOXCHECKED", md, 192, own), 192);
  EXPECT_EQ(md.DivPPI, 192);
  EXPECT_EQ(md.R, (TRect{0, 0, 20, 20}));
  EXPECT_EQ(own->Pixel(0, 0), 0xFF000000u | MasterPixel(10, 0));
  EXPECT_EQ(s.mgr.GetScaledMaskData("BUTTON", "BORDERSMASK", md, 96, own), 96);
  EXPECT_EQ(md.Cfg & cfgKeyCorners, cfgKeyCorners);
  EXPECT_EQ(md.Height, 10);
  EXPECT_EQ(s.mgr.GetScaledMaskData("BUTTON", "NOPE", md, 96, own), -1);
  EXPECT_EQ(s.mgr.GetScaledMaskData("BUTTON", "GLYPHMASK", md, 96, own), -1);
  s.mgr.FActive = false;
  EXPECT_EQ(s.mgr.GetScaledMaskData("GLOBALINFO", "BOXCHECKED", md, 96, own), -1);
}

TEST(SkinData, MasterPngKeyPixelsBecomeTransparent) {
  FakeSkinHost host;
  TacSkinManagerCore mgr(host);
  mgr.SkinName = u"P";
  auto& item = mgr.InternalSkins.Add();
  item.Name = u"P";
  item.PackedData.Bytes() = WriteSkinArchive(
      {{"OPTIONS.DAT", Bytes("[GLOBALINFO]\nMASTERBITMAP=M.PNG\n[X]\nGLYPHMASK=@0@0@2@1@1@0\n")},
       {"m.png", MakePngRgba(2, 1, [](int x, int) { return x == 0 ? 0xFFFF00FFu : 0x80102030u; })}});
  mgr.CommonSkinData(96);
  ASSERT_TRUE(mgr.MasterBitmap);
  EXPECT_EQ(mgr.MasterBitmap->Pixel(0, 0), 0x00FF00FFu);
  EXPECT_EQ(mgr.MasterBitmap->Pixel(1, 0), 0x80102030u);
  EXPECT_GE(mgr.GetMaskIndex("X", "GLYPHMASK", mgr.CommonSkinData(96)), 0);
}

// Where a skin comes from.
TEST(SkinFiles, SkinDirectoryForms) {
  FakeSkinHost host;
  TacSkinManagerCore m(host);
  auto full = [&](const char16_t* dir) {
    m.SkinDirectory = dir;
    return A(m.GetFullSkinDirectory());
  };
  EXPECT_EQ(full(u"Skins"), "C:\\App\\Skins\\");
  EXPECT_EQ(full(u"..\\Skins"), "C:\\Skins\\");
  EXPECT_EQ(full(u"D"), "D:\\");
  EXPECT_EQ(full(u".\\Sub"), "C:\\App\\Sub\\");
  EXPECT_EQ(full(u"./Sub/"), "C:\\App\\Sub\\");
  EXPECT_EQ(full(u"."), "C:\\App\\");
  EXPECT_EQ(full(u"c:\\Skins"), "c:\\Skins\\");
  EXPECT_EQ(full(u"\\\\server\\skins\\"), "\\\\server\\skins\\");
  EXPECT_EQ(A(TacSkinManagerCore::NormalizeDir(u"")), "");
  EXPECT_EQ(A(TacSkinManagerCore::NameWithoutAsz(u"Dark.ASZ")), "Dark");
  EXPECT_EQ(A(TacSkinManagerCore::NameWithoutAsz(u".asz")), ".asz");
  EXPECT_EQ(A(TacSkinManagerCore::NameWithoutAsz(u"Dark.zip")), "Dark.zip");
}

TEST(SkinFiles, ResolutionOrder) {
  FakeSkinHost host;
  TacSkinManagerCore m(host);
  m.SkinDirectory = u"C:\\Skins";
  auto& item = m.InternalSkins.Add();
  item.Name = u"MetroUI (internal)";
  const std::vector<uint8_t> archive = WriteSkinArchive({{"OPTIONS.DAT", Bytes("[GLOBALINFO]\nAUTHOR=internal\n")}});
  item.PackedData.Bytes() = archive;

  // Internal: an unknown name falls back to the first stored skin.
  m.SkinName = u"MetroUI";
  ASSERT_TRUE(m.InitSkinFile());
  EXPECT_EQ(A(m.SkinName), "MetroUI (internal)");
  EXPECT_TRUE(m.SkinIsPacked);
  EXPECT_EQ(m.SkinPath, u"");
  EXPECT_EQ(m.OptionsDat.ReadString("GLOBALINFO", "AUTHOR", ""), "internal");
  EXPECT_EQ(item.PackedData.Bytes(), archive);  // read in place, neither taken nor changed
  EXPECT_EQ(m.sc->PackedData, nullptr);  // the stream was only lent

  // A packed file beats the stored skin, an unpacked directory beats both.
  m.SkinName = u"MetroUI (internal)";
  host.files[u"C:\\Skins\\MetroUI (internal).asz"] =
      WriteSkinArchive({{"OPTIONS.DAT", Bytes("[GLOBALINFO]\nAUTHOR=packed\n")}});
  ASSERT_TRUE(m.InitSkinFile());
  EXPECT_EQ(m.OptionsDat.ReadString("GLOBALINFO", "AUTHOR", ""), "packed");
  EXPECT_EQ(A(m.SkinPath), "C:\\Skins\\MetroUI (internal)\\");
  host.files[u"C:\\Skins\\MetroUI (internal)\\Options.dat"] = Bytes("[GLOBALINFO]\nAUTHOR=unpacked\n");
  ASSERT_TRUE(m.InitSkinFile());
  EXPECT_FALSE(m.SkinIsPacked);
  EXPECT_EQ(m.OptionsDat.ReadString("GLOBALINFO", "AUTHOR", ""), "unpacked");
  // A pending preview text beats everything.
  m.PreviewPending = true;
  m.PreviewText = "[GLOBALINFO]\nAUTHOR=preview\n";
  ASSERT_TRUE(m.InitSkinFile());
  EXPECT_EQ(m.OptionsDat.ReadString("GLOBALINFO", "AUTHOR", ""), "preview");
  EXPECT_EQ(m.SkinFile, &m.OptionsDat);
  EXPECT_TRUE(host.messages.empty());
}

TEST(SkinFiles, FailuresAndTheirMessages) {
  FakeSkinHost host;
  TacSkinManagerCore m(host);
  m.SkinDirectory = u"C:\\Skins";
  m.SkinName = u"Blue";
  host.files[u"C:\\Skins\\Blue.asz"] = WriteSkinArchive({{"A.BMP", Bytes("a")}});
  EXPECT_FALSE(m.InitSkinFile());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].first,
            "Internal format error in the \"Blue\" skin. Please, update this skin to latest version.");
  host.messages.clear();
  host.files[u"C:\\Skins\\Blue.asz"] = Bytes("PK not ours");
  EXPECT_FALSE(m.InitSkinFile());
  ASSERT_EQ(host.messages.size(), 2u);
  EXPECT_EQ(host.messages[0].first, "Loaded data is not a packed Lumiskin file");
  // Damaged archives raise a clear error for the caller to show.
  auto cut = WriteSkinArchive({{"OPTIONS.DAT", Bytes("[GLOBALINFO]\n")}});
  cut.resize(cut.size() - 3);
  host.files[u"C:\\Skins\\Blue.asz"] = cut;
  EXPECT_THROW(m.InitSkinFile(), EacSkinArchiveError);
  // No source at all: the manager switches itself off without a message.
  host.files.clear();
  host.messages.clear();
  EXPECT_FALSE(m.InitSkinFile());
  EXPECT_FALSE(m.FActive);
  EXPECT_TRUE(host.messages.empty());
  // A stored skin without archive bytes keeps the previous options.
  m.FActive = true;
  m.OptionsDat.SetText("[KEEP]\n");
  m.InternalSkins.Add().Name = u"Blue";
  EXPECT_TRUE(m.InitSkinFile());
  EXPECT_FALSE(m.SkinIsPacked);
  EXPECT_TRUE(m.OptionsDat.SectionExists("KEEP"));
}

TEST(SkinFiles, ExtractingStoredSkins) {
  FakeSkinHost host;
  TacSkinManagerCore m(host);
  auto& a = m.InternalSkins.Add();
  a.Name = u"Dup";
  a.PackedData.Bytes() = Bytes("first");
  auto& b = m.InternalSkins.Add();
  b.Name = u"Dup";
  b.PackedData.Bytes() = Bytes("second");
  host.dirs.insert(u"D:\\Out");
  m.ExtractInternalSkin(u"Dup", u"D:\\Out");
  EXPECT_EQ(host.files[u"D:\\Out\\Dup extracted.asz"], Bytes("second"));
  EXPECT_TRUE(host.messages.empty());
  m.ExtractInternalSkin(u"dup", u"D:\\Out");
  m.ExtractInternalSkin(u"Dup", u"D:\\Missing");
  ASSERT_EQ(host.messages.size(), 3u);
  EXPECT_EQ(host.messages[0].first, "Skin does not exists.");
  EXPECT_EQ(host.messages[1].first, "Directory does not exists.");
  m.ExtractByIndex(0, u"E:\\New");
  EXPECT_EQ(host.files[u"E:\\New\\Dup extracted.asz"], Bytes("first"));
  host.failCreateDir = true;
  m.ExtractByIndex(0, u"F:\\No/");
  EXPECT_EQ(host.messages.back().first, "F:\\No\\ directory creation error.");
}

TEST(StoredSkins, AssignIndexOfAndNotifications) {
  TsStoredSkins skins;
  int created = 0, changed = 0;
  skins.OnItemCreated = [&] { ++created; };
  skins.OnSkinListChanged = [&] { ++changed; };
  TsStoredSkin& a = skins.Add();
  a.Name = u"One";
  a.Version = 14.01;
  a.Author = u"me";
  a.OrigName = u"One.asz";
  a.Shadow1Blur = 4;
  a.BorderColor = 7;
  a.PackedData.Bytes() = Bytes("bytes");
  a.MasterBitmap = Bitmap32(2, 2);
  TsStoredSkin& b = skins.Add();
  EXPECT_EQ(created, 2);
  EXPECT_EQ(changed, 2);
  EXPECT_EQ(b.Shadow1Blur, -1);
  EXPECT_EQ(b.BorderColor, std::int32_t(clMagenta));
  b.OrigName = u"keep";
  b.Assign(&a);
  EXPECT_EQ(b.Name, u"One");
  EXPECT_EQ(b.PackedData.Bytes(), Bytes("bytes"));
  EXPECT_EQ(b.MasterBitmap.Width(), 2);
  EXPECT_EQ(b.Shadow1Blur, 4);
  EXPECT_EQ(b.BorderColor, 7);
  EXPECT_DOUBLE_EQ(b.Version, 14.01);
  EXPECT_EQ(b.OrigName, u"keep");
  EXPECT_THROW(b.Assign(nullptr), std::invalid_argument);
  EXPECT_EQ(skins.IndexOf(u"One"), 0);
  EXPECT_EQ(skins.IndexOf(u"one"), -1);
  EXPECT_EQ(skins.IndexOf(u"Two"), -1);
  EXPECT_THROW(skins.Delete(5), std::out_of_range);

  // Moving keeps the items themselves (links hold their addresses).
  TsStoredSkin& c = skins.Add();
  c.Name = u"Three";
  skins.Move(2, 0);
  EXPECT_EQ(&skins.Items(0), &c);
  EXPECT_EQ(&skins.Items(1), &a);
  EXPECT_EQ(&skins.Items(2), &b);
  EXPECT_EQ(skins.IndexOf(u"One"), 1);
  EXPECT_THROW(skins.Move(0, 3), std::out_of_range);
  EXPECT_THROW(skins.Move(-1, 0), std::out_of_range);
}

TEST(SkinData, OuterEffectRecords) {
  Loaded s;
  TacSkinData& d = s.At(96);
  const TacOutEffData& lo = d.oe[0];
  const TacOutEffData& sh = d.oe[1];
  EXPECT_EQ(lo.Source, 2);
  EXPECT_EQ(lo.Opacity, 200);
  EXPECT_EQ(lo.ColorL, 0xFFFFFF);
  EXPECT_EQ(lo.ColorT, 0);
  EXPECT_EQ(lo.OffsetB, 4);
  EXPECT_EQ(lo.Radius, 9);
  ASSERT_GE(lo.Mask, 0);
  EXPECT_EQ(d.ma[static_cast<size_t>(lo.Mask)].R, (TRect{0, 0, 5, 14}));
  // Widths without their keys stay -1: the image's own borders apply.
  EXPECT_EQ((std::array<int, 4>{lo.WidthL, lo.WidthT, lo.WidthR, lo.WidthB}), (std::array<int, 4>{-1, -1, -1, -1}));
  EXPECT_EQ(sh.Opacity, 60);
  EXPECT_EQ(sh.ColorL, 0);
  EXPECT_EQ(sh.ColorR, std::int32_t(clMagenta));
  EXPECT_EQ((std::array<int, 4>{sh.WidthL, sh.WidthT, sh.WidthR, sh.WidthB}), (std::array<int, 4>{-1, -1, -1, -1}));
  bool tagged = false;
  for (const auto& b : d.BmpArray) tagged |= b->FileName == "OuterCalc";
  EXPECT_TRUE(tagged);
  EXPECT_EQ(s.At(192).oe[0].OffsetB, 8);

  std::string opts = kOptions;
  opts.insert(opts.find('\n') + 1,
              "SH_SOURCE=1\nSH_MASK=^0000^0000^0010^0010^0002^0002^0003^0004^1^0^1\nSH_WIDTHL=5\nLO_SOURCE=0\n");
  Loaded one(opts);
  TacSkinData& o = one.At(96);
  EXPECT_EQ(o.oe[1].Mask, one.mgr.GetMaskIndex("GLOBALINFO", "SH_MASK", &o));
  EXPECT_EQ((std::array<int, 4>{o.oe[1].WidthL, o.oe[1].WidthT, o.oe[1].WidthR, o.oe[1].WidthB}),
            (std::array<int, 4>{5, -1, -1, -1}));
  EXPECT_EQ(o.oe[0].Mask, -1);
  TacSkinData& o192 = one.At(192);
  EXPECT_EQ(o192.oe[1].WidthL, 10);
  EXPECT_EQ(o192.oe[1].WidthR, -1);
  ASSERT_GE(o192.oe[1].Mask, 0);
  EXPECT_EQ(o192.ma[static_cast<size_t>(o192.oe[1].Mask)].WR, 6);  // the plain image enlarged to the scale
}

TEST(SkinData, SeparateFilesPartsReuseAndPremultiplication) {
  std::string opts =
      "[GLOBALINFO]\nMASTERBITMAP=MASTER.BMP\n"
      "[X]\nTEX=!glyph.png!1!0!1\nPART=!GLYPH.PNG!1!0!2!2!0!4!2\nBORDER=!GLYPH.PNG!1!0!0!1!1!1!1!0\n";
  FakeSkinHost host;
  TacSkinManagerCore mgr(host);
  mgr.SkinName = u"F";
  auto& item = mgr.InternalSkins.Add();
  item.Name = u"F";
  item.PackedData.Bytes() = WriteSkinArchive(
      {{"OPTIONS.DAT", Bytes(opts)},
       {"MASTER.BMP", MakeBmp24(4, 4, [](int, int) { return 0u; })},
       {"GLYPH.PNG", MakePngRgba(4, 2, [](int x, int) { return x == 3 ? 0xFF0000FFu : 0x80102030u; })}});
  TacSkinData& d = *mgr.CommonSkinData(96);
  const TsMaskData& tex = d.ma.at(static_cast<size_t>(mgr.GetMaskIndex("X", "TEX", &d)));
  const TsMaskData& part = d.ma.at(static_cast<size_t>(mgr.GetMaskIndex("X", "PART", &d)));
  ASSERT_NE(tex.Bmp, nullptr);
  EXPECT_EQ(tex.Bmp, part.Bmp);  // one bitmap for one file
  int glyphBitmaps = 0;
  for (const auto& b : d.BmpArray) glyphBitmaps += b->FileName == "GLYPH.PNG";
  EXPECT_EQ(glyphBitmaps, 1);
  EXPECT_EQ(tex.R, (TRect{0, 0, 4, 2}));
  EXPECT_EQ(part.R, (TRect{0, 0, 4, 2}));  // the whole bitmap the first user loaded
  EXPECT_EQ(tex.Bmp->Pixel(0, 0), 0x80081018u);  // premultiplied: the texture loaded it first
  EXPECT_EQ(mgr.GetTextureIndex(mgr.GetSkinIndex("X", &d), "TEX", &d), mgr.GetMaskIndex("X", "TEX", &d));
  // A border image sharing the bitmap keeps a middle: WB limited to 2 - 1 - 1.
  const TsMaskData& border = d.ma.at(static_cast<size_t>(mgr.GetMaskIndex("X", "BORDER", &d)));
  EXPECT_EQ(border.WR, 1);
  EXPECT_EQ(border.WB, 0);

  // At 200 % the texture takes its own variant, drawn for that density: a
  // plain reference to the same file then uses the bitmap at its density.
  FakeSkinHost host2;
  TacSkinManagerCore mgr2(host2);
  mgr2.SkinName = u"F";
  auto& item2 = mgr2.InternalSkins.Add();
  item2.Name = u"F";
  item2.PackedData.Bytes() = WriteSkinArchive(
      {{"OPTIONS.DAT", Bytes(opts + "TEX*200=!glyph.png!1!0!1\n")},
       {"MASTER.BMP", MakeBmp24(4, 4, [](int, int) { return 0u; })},
       {"GLYPH.PNG", MakePngRgba(4, 2, [](int, int) { return 0x80102030u; })}});
  TacSkinData& d2 = *mgr2.CommonSkinData(192);
  const TsMaskData& part2 = d2.ma.at(static_cast<size_t>(mgr2.GetMaskIndex("X", "PART", &d2)));
  EXPECT_EQ(part2.R, (TRect{0, 0, 4, 2}));
  EXPECT_EQ(part2.MulPPi, 192);
  EXPECT_EQ(part2.DivPPI, 192);
}

TEST(SkinData, UnpackedSkinAndFonts) {
  FakeSkinHost host;
  TacSkinManagerCore mgr(host);
  mgr.SkinDirectory = u"C:\\Skins";
  mgr.SkinName = u"U";
  host.files[u"C:\\Skins\\U\\Options.dat"] =
      Bytes(std::string(kOptions) + "[FONTS]\n");
  host.files[u"C:\\Skins\\U\\MASTER.BMP"] = MakeBmp24(40, 20, MasterPixel);
  host.files[u"C:\\Skins\\U\\EDGE.BMP"] = MakeBmp24(3, 3, [](int, int) { return 0x808080u; });
  TacSkinData& d = *mgr.CommonSkinData(96);
  EXPECT_FALSE(mgr.SkinIsPacked);
  Loaded packed;
  EXPECT_EQ(d.ma.size(), packed.At(96).ma.size());
  EXPECT_EQ(d.gd.size(), packed.At(96).gd.size() + 1);

  std::string fontOpts = "[GLOBALINFO]\nFontCount=2\nFontFile0=Face.ttf\nFontName0=My Face\nFontFile1=Gone.otf\n";
  mgr.OptionsDat.SetText(fontOpts);
  host.files[u"C:\\Skins\\U\\Face.ttf"] = Bytes("ttf");
  auto fonts = mgr.CollectSkinFonts();
  ASSERT_EQ(fonts.size(), 1u);
  EXPECT_EQ(fonts[0].FaceName, "My Face");
  EXPECT_EQ(fonts[0].Data, Bytes("ttf"));

  TacSkinManagerCore p(host);
  p.SkinName = u"P";
  auto& item = p.InternalSkins.Add();
  item.Name = u"P";
  item.PackedData.Bytes() = WriteSkinArchive({{"OPTIONS.DAT", Bytes(fontOpts)}, {"Face.ttf", Bytes("a")},
                                           {"other.OTF", Bytes("b")}, {"x.bmp", Bytes("c")}});
  ASSERT_TRUE(p.InitSkinFile());
  fonts = p.CollectSkinFonts();
  ASSERT_EQ(fonts.size(), 2u);
  EXPECT_EQ(fonts[0].FaceName, "My Face");
  EXPECT_EQ(fonts[1].FileName, "other.OTF");
  EXPECT_EQ(fonts[1].FaceName, "");
}

TEST(SkinData, ScaledGlobalIntegersOfEitherSign) {
  const std::string opts =
      "[GLOBALINFO]\nMASTERBITMAP=MASTER.BMP\nSHADOW1OFFSET=-4\nBIRIGHT=-3\nBILEFT*200=-5\nSH_OFFSETL=-2\n"
      "ALIGNOFFSET=-1\nALIGNOFFSETR*125=7\nALIGNOFFSETT=2\n";
  Loaded s(opts);
  TacSkinData& d96 = s.At(96);
  EXPECT_EQ(d96.Shadow1Offset, -4);
  EXPECT_EQ(d96.Shadow1Blur, -1);
  EXPECT_EQ(d96.BIRightMargin, -3);
  EXPECT_EQ(d96.ExShadowOffsR, -1);  // a variant of another scale does not count
  // The plain key or the default stands in, enlarged whatever its sign.
  TacSkinData& d192 = s.At(192);
  EXPECT_EQ(d192.Shadow1Offset, -8);
  EXPECT_EQ(d192.Shadow1Blur, -2);
  EXPECT_EQ(d192.BIRightMargin, -6);
  EXPECT_EQ(d192.BILeftMargin, -5);  // its own variant, as it stands
  EXPECT_EQ(d192.oe[1].OffsetL, -4);
  EXPECT_EQ(d192.ExShadowOffs, -2);
  EXPECT_EQ(d192.ExShadowOffsB, -2);
  EXPECT_EQ(d192.ExShadowOffsT, 4);
  // A side given only in the data's own scale counts for that side.
  TacSkinData& d120 = s.At(120);
  EXPECT_EQ(d120.ExShadowOffsR, 7);
  EXPECT_EQ(d120.ExShadowOffsB, -1);
}

TEST(SkinData, OuterEffectImagesTakeTheirOwnScaleOrThePlainKey) {
  std::string opts = kOptions;
  opts.insert(opts.find('\n') + 1,
              "SH_SOURCE=1\nSH_MASK=^0000^0000^0010^0010^0002^0002^0003^0004^1^0^1\n"
              "SH_MASK*200=^0010^0000^0030^0020^0004^0004^0006^0008^1^0^1\n");
  Loaded s(opts);
  struct Case { int ppi, div; };
  for (Case c : {Case{96, 96}, Case{120, 96}, Case{144, 96}, Case{192, 192}}) {
    TacSkinData& d = s.At(c.ppi);
    ASSERT_GE(d.oe[1].Mask, 0) << c.ppi;
    const TsMaskData& m = d.ma[static_cast<size_t>(d.oe[1].Mask)];
    EXPECT_EQ(m.DivPPI, c.div) << c.ppi;
    EXPECT_EQ(m.MulPPi, c.ppi) << c.ppi;
    EXPECT_EQ(m.WR, 3 * c.ppi / 96) << c.ppi;
    EXPECT_EQ(s.mgr.GetMaskIndex("GLOBALINFO", "SH_MASK", &d), d.oe[1].Mask) << c.ppi;
  }
}

TEST(SkinData, CommonSectionsGiveTheirGlowKeys) {
  Loaded s;
  s.mgr.CommonSections = "[MINE]\nPARENTCLASS=button\nGCOL=0x123456\nGSIZE=4\nHGCOL=77\nHGSIZE=5\nGCOL2=88\nGSIZE2=6\n";
  TacSkinData& d = s.At(96);
  const int i = s.Sec(d, "MINE");
  ASSERT_GE(i, 0);
  const TsGeneralData& g = d.gd[static_cast<size_t>(i)];
  EXPECT_EQ(g.Props[0].GlowColor, 0x123456);
  EXPECT_EQ(g.Props[0].GlowSize, 4);
  EXPECT_EQ(g.Props[1].GlowColor, 77);
  EXPECT_EQ(g.Props[1].GlowSize, 5);
  EXPECT_EQ(g.Props[2].GlowColor, 88);
  EXPECT_EQ(g.Props[2].GlowSize, 6);
}

TEST(SkinData, ScaledMaskDataOfFilesKeepsTheirPartAndScalesBordersWithTheImage) {
  Loaded s(std::string(kOptions) + "[X]\nPART=!EDGE.BMP!1!0!2!1!0!3!2\nKEEP=!EDGE.BMP!1!0!0!1!1!1!1!8\n");
  s.At(96);
  TsMaskData md;
  std::unique_ptr<Bitmap32> own;
  // A glyph naming a rectangle of its file keeps it, scaled with the image.
  ASSERT_EQ(s.mgr.GetScaledMaskData("X", "PART", md, 96, own), 96);
  EXPECT_EQ(md.R, (TRect{1, 0, 3, 2}));
  EXPECT_EQ(md.Width, 2);
  ASSERT_EQ(s.mgr.GetScaledMaskData("X", "PART", md, 192, own), 192);
  EXPECT_EQ(own->Width(), 6);
  EXPECT_EQ(md.R, (TRect{2, 0, 6, 4}));
  // A file is taken to the density even when it keeps its drawn size, and
  // its borders with it.
  ASSERT_EQ(s.mgr.GetScaledMaskData("X", "KEEP", md, 192, own), 192);
  EXPECT_EQ(own->Width(), 6);
  EXPECT_EQ((std::array<int, 4>{md.WL, md.WT, md.WR, md.WB}), (std::array<int, 4>{2, 2, 2, 2}));
}

TEST(SkinData, LoadedAndSingleRecordsFlagKeyedCornersAlike) {
  // Two 3 x 3 frames; the key pixel (20, 0) lies in the second frame. A left border
  // wider than the frame reaches it unless limited to the frame.
  std::string opts = kOptions;
  opts += "[WIDE]\nBORDERSMASK=^0016^0000^0022^0003^0005^0001^0001^0001^2^0^0\n";
  opts += "[KEYED]\nBORDERSMASK=^0019^0000^0022^0003^0002^0001^0001^0001^1^0^0\n";
  Loaded s(opts);
  TacSkinData& d = s.At(96);
  EXPECT_EQ(s.Mask(d, "WIDE", "BORDERSMASK").Cfg & cfgKeyCorners, 0);
  EXPECT_EQ(s.Mask(d, "KEYED", "BORDERSMASK").Cfg & cfgKeyCorners, cfgKeyCorners);
  TsMaskData md;
  std::unique_ptr<Bitmap32> own;
  ASSERT_EQ(s.mgr.GetScaledMaskData("WIDE", "BORDERSMASK", md, 96, own), 96);
  EXPECT_EQ(md.Cfg & cfgKeyCorners, 0);
  ASSERT_EQ(s.mgr.GetScaledMaskData("KEYED", "BORDERSMASK", md, 96, own), 96);
  EXPECT_EQ(md.Cfg & cfgKeyCorners, cfgKeyCorners);
}

namespace {

// The lookups as a scan of the whole mask list, written apart from the index.
int ScanMask(const TacSkinData& d, int si, const std::string& prop, bool texture) {
  for (size_t i = 0; i < d.ma.size(); ++i)
    if (d.ma[i].SkinIndex == si && d.ma[i].PropertyName == prop && (!texture || d.ma[i].ImgType == itisaTexture))
      return static_cast<int>(i);
  return -1;
}
int SectionNamed(const TacSkinData& d, const std::string& name) {
  for (size_t i = 0; i < d.gd.size(); ++i)
    if (!name.empty() && d.gd[i].ClassName == name) return static_cast<int>(i);
  return -1;
}
int ScanChain(const TacSkinData& d, int si, const std::string& prop, bool texture) {
  std::set<int> seen;
  while (si >= 0 && si < static_cast<int>(d.gd.size()) && seen.insert(si).second) {
    if (int i = ScanMask(d, si, prop, texture); i >= 0) return i;
    const TsGeneralData& g = d.gd[static_cast<size_t>(si)];
    if (g.ParentClass.empty() || g.ParentClass == g.ClassName) return -1;
    si = SectionNamed(d, g.ParentClass);
  }
  return -1;
}

}  // namespace

// The corners of the first frame are searched four pixels at a time; they
// must answer as a search pixel by pixel: random frames, border widths wider
// than the frame, rectangles reaching past the image, key pixels anywhere.
TEST(SkinData, KeyedCornersAnswerAsAPixelByPixelSearch) {
  std::mt19937 rng(17);
  for (int round = 0; round < 3000; ++round) {
    Bitmap32 img(1 + static_cast<int>(rng() % 40), 1 + static_cast<int>(rng() % 30));
    for (int y = 0; y < img.Height(); ++y)
      for (int x = 0; x < img.Width(); ++x) img.SetPixel(x, y, rng() % 60 ? rng() & 0xFFFF00FEu : 0x12FF00FFu);
    TsMaskData md;
    const int l = static_cast<int>(rng() % 20) - 4, t = static_cast<int>(rng() % 16) - 4;
    md.R = {l, t, l + 1 + static_cast<int>(rng() % 48), t + 1 + static_cast<int>(rng() % 36)};
    md.ImageCount = static_cast<uint16_t>(1 + rng() % 3);
    md.MaskType = static_cast<uint16_t>(rng() % 2);
    md.WL = static_cast<uint16_t>(rng() % 12), md.WT = static_cast<uint16_t>(rng() % 12);
    md.WR = static_cast<uint16_t>(rng() % 12), md.WB = static_cast<uint16_t>(rng() % 12);
    const int fw = md.R.Width() / md.ImageCount, fh = md.R.Height() / (md.MaskType + 1);
    auto keyIn = [&](int x0, int y0, int w, int h) {
      for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
          if (x >= 0 && y >= 0 && x < img.Width() && y < img.Height() && (img.Pixel(x, y) & 0xFFFFFF) == 0xFF00FF)
            return true;
      return false;
    };
    const int wl = std::min<int>(md.WL, fw), wr = std::min<int>(md.WR, fw), wt = std::min<int>(md.WT, fh),
              wb = std::min<int>(md.WB, fh);
    const bool want = keyIn(l, t, wl, wt) || keyIn(l + fw - wr, t, wr, wt) || keyIn(l, t + fh - wb, wl, wb) ||
                      keyIn(l + fw - wr, t + fh - wb, wr, wb);
    ASSERT_EQ(HasKeyedCorners(img, md), want) << round;
  }
}

// Sections are found by name through an index; it must answer as the walk
// over the records would: the first of a repeated name, after records are
// added, after the skin is loaded again with other sections in the same
// number, and after a record is renamed in place.
TEST(SkinData, SectionLookupsAnswerAsAWalkOverTheRecords) {
  Loaded s;
  TacSkinData& d = s.At(96);
  auto check = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> names = extra;
    for (const TsGeneralData& g : d.gd) names.push_back(g.ClassName);
    for (const std::string& n : names) {
      ASSERT_EQ(s.mgr.GetSkinIndex(n, &d), SectionNamed(d, n)) << n;
      ASSERT_EQ(s.mgr.GetSkinIndex(n + "X", &d), SectionNamed(d, n + "X")) << n;
    }
  };
  ASSERT_NO_FATAL_FAILURE(check({"", "NONE", "button"}));
  TsGeneralData twin = d.gd[1];
  d.gd.push_back(twin);  // a second record of a name: the first still answers
  TsGeneralData added;
  added.ClassName = "ADDED";
  d.gd.push_back(added);
  ASSERT_NO_FATAL_FAILURE(check({"ADDED"}));
  // Another skin whose sections differ from the first in one name alone.
  d.Reset();
  ASSERT_TRUE(s.mgr.ReloadSkin(d));
  const size_t count = d.gd.size();
  ASSERT_GE(s.mgr.GetSkinIndex("EDIT", &d), 0);
  std::string other = kOptions;
  other.replace(other.find("[EDIT]"), 6, "[KNOPF]");
  s.mgr.InternalSkins.Items(0).PackedData.Bytes() = SkinArchive(other);
  d.Reset();
  ASSERT_TRUE(s.mgr.ReloadSkin(d));
  ASSERT_EQ(d.gd.size(), count);
  EXPECT_LT(s.mgr.GetSkinIndex("EDIT", &d), 0);
  EXPECT_GE(s.mgr.GetSkinIndex("KNOPF", &d), 0);
  ASSERT_NO_FATAL_FAILURE(check({"EDIT"}));
  d.gd[2].ClassName = "RENAMED";
  d.ForgetSectionIndex();
  ASSERT_NO_FATAL_FAILURE(check({"RENAMED"}));
}

// The masks are found through an index by section; it must answer as the
// scan of the list would, also after the list has grown or changed in place.
TEST(SkinData, MaskLookupsAnswerAsAScanOfTheListAfterEveryChange) {
  Loaded s;
  TacSkinData& d = s.At(96);
  std::mt19937 rng(3);
  const char* const props[] = {"BORDERSMASK", "PATTERN", "GLYPHMASK", "HOTPATTERN"};
  auto check = [&] {
    for (int si = -1; si <= static_cast<int>(d.gd.size()); ++si)
      for (const char* p : {"BORDERSMASK", "PATTERN", "GLYPHMASK", "HOTPATTERN", "NONE"}) {
        SCOPED_TRACE(std::to_string(si) + "." + p);
        bool valid = si >= 0 && si < static_cast<int>(d.gd.size());
        std::string name = valid ? d.gd[static_cast<size_t>(si)].ClassName : "";
        ASSERT_EQ(s.mgr.GetMaskIndex(si, p, &d), ScanChain(d, si, p, false));
        ASSERT_EQ(s.mgr.GetTextureIndex(si, p, &d), ScanChain(d, si, p, true));
        int own = valid ? ScanMask(d, si, p, false) : -1;
        const std::string parent = valid ? d.gd[static_cast<size_t>(si)].ParentClass : "";
        int viaParent = !valid || own >= 0 || parent.empty() || parent == name
                            ? -1
                            : ScanChain(d, SectionNamed(d, parent), p, false);
        ASSERT_EQ(s.mgr.GetMaskIndex(si, name, p, &d), valid ? (own >= 0 ? own : viaParent) : -1);
      }
  };
  for (int round = 0; round < 40; ++round) {
    // Sections chained at random (loops, themselves, missing parents), masks
    // spread over them and over indexes no section has.
    d.gd.assign(12, TsGeneralData{});
    for (size_t i = 0; i < d.gd.size(); ++i) {
      d.gd[i].ClassName = "S" + std::to_string(i);
      int p = static_cast<int>(rng() % 15);
      d.gd[i].ParentClass = p < 13 ? "S" + std::to_string(p) : "";
    }
    d.ma.assign(rng() % 40, TsMaskData{});
    for (TsMaskData& m : d.ma) {
      m.SkinIndex = static_cast<int>(rng() % 16) - 2;
      m.PropertyName = props[rng() % 4];
      m.ImgType = rng() % 2 ? itisaTexture : itisaBorder;
    }
    d.ForgetMaskIndex();  // the lists were replaced whole
    d.ForgetSectionIndex();
    ASSERT_NO_FATAL_FAILURE(check());
    // A mask added at the end, then one moved to another section in place.
    TsMaskData m;
    m.SkinIndex = static_cast<int>(rng() % 12);
    m.PropertyName = props[rng() % 4];
    d.ma.push_back(m);
    ASSERT_NO_FATAL_FAILURE(check());
    if (!d.ma.empty()) {
      d.ma[rng() % d.ma.size()].SkinIndex = static_cast<int>(rng() % 12);
      d.ForgetMaskIndex();
      ASSERT_NO_FATAL_FAILURE(check());
    }
  }
}
