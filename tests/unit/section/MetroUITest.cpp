// The packed built-in skin as the build makes it, and regression guards for a
// few of its sections: pictures rendered once and accepted by eye, which catch
// any change of look but do not prove the look right (the numbers tests of the
// painter do that). Rewritten only when CB_UPDATE_GUARDS=1.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "Raster.h"
#include "tests/support/SkinFixture.h"
#include "SkinRender.h"
#include "acSkinArchive.h"
#include "sGraphUtils.h"
#include "skin/paint/ImageDecoders.h"

using namespace cb;

namespace {

std::vector<std::uint8_t> Archive() { return cb::test::ReadFileBytes(CB_METROUI_ASZ_PATH); }

std::unique_ptr<cb::test::LoadedSkin> Packed() { return cb::test::LoadSkin("MetroUI", {{"MetroUI.asz", Archive()}}); }

}  // namespace

TEST(MetroUIArchive, EntriesOptionsAndPreview) {
  TMemoryStream packed;
  packed.Bytes() = Archive();
  TacSkinConvertor sc;
  sc.PackedData = &packed;
  ASSERT_TRUE(ReadSkinArchive(sc, nullptr));
  sc.PackedData = nullptr;
  ASSERT_EQ(sc.FileCount, 2);
  EXPECT_EQ(sc.Files[0].AnsiName, "BUTTONHUGE.BMP");
  EXPECT_EQ(sc.Files[0].FileType, ftBmp);
  EXPECT_EQ(sc.Files[0].Stream->Bytes().size(), 110646u);
  EXPECT_EQ(sc.Files[1].AnsiName, "MASTER COPY.PNG");
  EXPECT_EQ(sc.Files[1].FileType, ftOther);
  ASSERT_TRUE(sc.Options);
  const std::string text(sc.Options->Bytes().begin(), sc.Options->Bytes().end());
  EXPECT_EQ(text.substr(0, text.find_first_of("\r\n")), "[GLOBALINFO]");

  const auto master = DecodePng(sc.Files[1].Stream->Bytes().data(), sc.Files[1].Stream->Bytes().size());
  EXPECT_EQ(master.Bmp.Width(), 211);
  EXPECT_EQ(master.Bmp.Height(), 274);
  EXPECT_TRUE(master.HasAlpha);
  const auto huge = DecodeBmp(sc.Files[0].Stream->Bytes().data(), sc.Files[0].Stream->Bytes().size());
  EXPECT_EQ(huge.Bmp.Width(), 288);
  EXPECT_EQ(huge.SourceBits, 24);

  TMemoryStream preview;
  ASSERT_TRUE(ExtractSkinPreview(preview, packed));
  const auto p = DecodePng(preview.Bytes().data(), preview.Bytes().size());
  EXPECT_EQ(p.Bmp.Width(), 280);
  EXPECT_EQ(p.Bmp.Height(), 200);
}

TEST(MetroUIArchive, SkinDataFacts) {
  auto skin = Packed();
  TacSkinData* sd = skin->Data(96);
  auto& m = *skin->Manager;
  EXPECT_EQ(m.SkinCommonInfo.Version, 14.01);
  for (const char* name : {"DIALOGTITLE", "COLHEADERA", "COLHEADERL", "COLHEADERR", "TRANSPARENT", "MAINCOLOR"})
    EXPECT_GE(m.GetSkinIndex(name, sd), 71) << name;  // appended after the file's sections
  EXPECT_EQ(m.GetSkinIndex("FORMHEADER", sd), -1);
  EXPECT_EQ(m.GetSkinIndex("THUMB_ON", sd), -1);
  EXPECT_EQ(m.GetSkinIndex("GLOBALINFO", sd), 0);

  const TsGeneralData& item = sd->gd[size_t(m.GetSkinIndex("MENUITEM", sd))];
  EXPECT_EQ(item.Props[1].Color, 14330112);
  EXPECT_EQ(item.Props[1].FontColor.Color, 0xFFFFFF);
  const TsGeneralData& speed = sd->gd[size_t(m.GetSkinIndex("SPEEDBUTTON", sd))];
  EXPECT_EQ(speed.States, 3);
  EXPECT_EQ(speed.Props[0].Transparency, 100);
  EXPECT_EQ(speed.Props[1].Transparency, 50);
  EXPECT_FALSE(speed.Props[1].GradientArray.empty());
  const TsGeneralData& button = sd->gd[size_t(m.GetSkinIndex("BUTTON", sd))];
  for (int s = 0; s < 3; ++s) EXPECT_EQ(button.Props[size_t(s)].GradientArray.size(), 2u) << s;
  const TsGeneralData& form = sd->gd[size_t(m.GetSkinIndex("FORM", sd))];
  const TsGeneralData& dialog = sd->gd[size_t(m.GetSkinIndex("DIALOG", sd))];
  ASSERT_GE(dialog.Props[0].TextureIndex, 0);
  EXPECT_EQ(sd->ma[size_t(dialog.BorderIndex)].R, sd->ma[size_t(form.BorderIndex)].R);

  // Title glyphs: small maximise and restore share a picture but not a record.
  const int smax = sd->TitleGlyphs[tgSmallMax], snorm = sd->TitleGlyphs[tgSmallNormal];
  ASSERT_GE(smax, 0);
  ASSERT_GE(snorm, 0);
  EXPECT_NE(smax, snorm);
  EXPECT_EQ(sd->ma[size_t(smax)].R, sd->ma[size_t(snorm)].R);
  EXPECT_EQ(sd->TitleGlyphs[tgCloseAlone], sd->TitleGlyphs[tgClose]);
  EXPECT_EQ(sd->ExBorder, -1);
  EXPECT_EQ(sd->FormShadowSize, (TMargins{13, 11, 13, 15}));
  for (const auto& glows : sd->TitleGlows) EXPECT_TRUE(glows.empty());

  // The big check box comes from its 200 % picture at 200 % and 125 %.
  TacSkinData* sd200 = skin->Data(192);
  EXPECT_EQ(sd200->ma[size_t(sd200->CheckBox[1])].DivPPI, 192);
  TacSkinData* sd125 = skin->Data(120);
  EXPECT_EQ(sd125->ma[size_t(sd125->CheckBox[1])].DivPPI, 192);
  EXPECT_EQ(sd->ma[size_t(sd->CheckBox[1])].DivPPI, 96);
}

TEST(MetroUIArchive, LooksOfTheSwitchAndMenu) {
  auto skin = Packed();
  TacSkinData* sd = skin->Data(96);
  auto paint = [&](const char* name, int state) {
    skintool::FixedBinding b(sd, skin->Section(name));
    Bitmap32 bmp(33, 15);
    TCacheInfo bg;
    bg.FillColor = 0xFFFFFF;
    PaintSection(b, bg, true, state, bmp, {}, bmp.Bounds());
    return bmp.Pixel(16, 7);
  };
  EXPECT_EQ(paint("SLIDER_ON", 0), ColorToPixel(14330112, 255));
  const std::uint32_t off = paint("SLIDER_OFF", 0);
  EXPECT_EQ((off >> 16) & 0xFF, off & 0xFF);  // grey
  EXPECT_EQ(paint("MENUITEM", 1), ColorToPixel(14330112, 255));
  EXPECT_EQ(paint("MENUITEM", 0), ColorToPixel(0xFFFFFF, 255));  // the menu shows through
}

TEST(MetroUIRegressionGuard, SectionsLookAsAccepted) {
  auto skin = Packed();
  struct Case { const char* section; int w, h, ppi; };
  const Case cases[] = {{"BUTTON", 75, 25, 96},      {"SPEEDBUTTON", 87, 22, 96}, {"SPEEDBUTTON", 174, 44, 192},
                        {"FORMTITLE", 120, 30, 96},  {"EDIT", 60, 21, 96},        {"BUTTON_HUGE", 120, 70, 96},
                        {"HINT", 50, 20, 96}};
  const bool update = std::getenv("CB_UPDATE_GUARDS") && std::string(std::getenv("CB_UPDATE_GUARDS")) == "1";
  for (const Case& c : cases) {
    TacSkinData* sd = skin->Data(c.ppi);
    skintool::FixedBinding b(sd, skin->Manager->GetSkinIndex(c.section, sd));
    Bitmap32 sheet(c.w * 3, c.h);
    // A parent that changes along both axes, so that a piece read from the parent at
    // the wrong offset shows in the picture.
    Bitmap32 parent(c.w * 3, c.h);
    for (int y = 0; y < parent.Height(); ++y)
      for (int x = 0; x < parent.Width(); ++x)
        parent.SetPixel(x, y, 0xFF00F000u | std::uint32_t(x * 255 / (parent.Width() - 1)) << 16 |
                                  std::uint32_t(y * 255 / (parent.Height() - 1)));
    for (int s = 0; s < 3; ++s)
      PaintSection(b, MakeCacheInfo(parent), true, s, sheet, BmpPoint(s * c.w, 0), BmpRect(s * c.w, 0, (s + 1) * c.w, c.h));
    const std::string path =
        std::string(CB_GUARD_DIR) + "/" + c.section + "_" + std::to_string(c.ppi) + ".png";
    if (update) {
      skingen::WritePng(path, sheet);
      continue;
    }
    const auto bytes = cb::test::ReadFileBytes(path);
    const auto gold = DecodePng(bytes.data(), bytes.size());
    ASSERT_EQ(gold.Bmp.Width(), sheet.Width()) << path;
    ASSERT_EQ(gold.Bmp.Height(), sheet.Height()) << path;
    int diff = 0;
    for (int y = 0; y < sheet.Height(); ++y)
      for (int x = 0; x < sheet.Width(); ++x) diff += gold.Bmp.Pixel(x, y) != sheet.Pixel(x, y);
    EXPECT_EQ(diff, 0) << path << " differs in " << diff << " pixels";
  }
}
