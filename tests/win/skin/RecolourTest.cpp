// The manager's recolouring of a loaded skin and the right-to-left mirroring
// of the title glyphs, checked pixel by pixel on a small skin of known colours.
#include <gtest/gtest.h>

#include "TinySkin.h"
#include "skin/paint/PixelOps.h"
#include "ui/Forms.h"

namespace {

using namespace cb;
using namespace cb::test;

struct TRecolour : ::testing::Test {
  std::unique_ptr<TTinySkin> Skin;
  std::unique_ptr<TForm> Owner;
  TsSkinManager* M = nullptr;
  void Load(int KeepHue = 0) {
    RegisterSkinManagerClasses();
    Skin = std::make_unique<TTinySkin>(KeepHue);
    Owner = std::make_unique<TForm>(nullptr);
    M = Skin->Load(Owner.get());
    ASSERT_EQ(M->SkinInfo(), L"14.01");
    ASSERT_TRUE(M->MasterBitmap);
  }
  int Section(const char* Name) { return M->GetSkinIndex(Name, M->SkinDataArray[0].get()); }
  std::uint32_t Master(int X, int Y) { return M->MasterBitmap->Pixel(X, Y); }
};

// The master pixel as loaded (0xAARRGGBB; the key colour transparent).
std::uint32_t Loaded(int X, int Y) {
  const std::uint32_t C = TinyMasterPixel(X, Y);
  return C == 0xFF00FF ? 0x00FF00FFu : 0xFF000000u | C;
}

bool InClose(int X, int Y) { return X >= kCloseL && X < kCloseL + 2 * kCloseFrame && Y < kCloseFrame; }

TEST_F(TRecolour, HueSaturationAndBrightnessChangeImagesAndColoursInThatOrderOnce) {
  Load();
  const int Btn = Section("SPEEDBUTTON");
  ASSERT_GE(Btn, 0);
  const std::uint32_t StateColour = 3316172, MainColour = M->Palette[pcMainColor], HotText = M->Palette[pcWebTextHot];
  M->SetHueOffset(40);
  M->SetSaturation(-30);
  M->SetBrightness(20);
  const int Sat = -76;  // -30 % of 255, truncated
  auto Expected = [&](int X, int Y) {
    const std::uint32_t P = Loaded(X, Y);
    if (P == 0x00FF00FFu) return P;  // the key stays
    return ApplyPixelOp(ApplyPixelOp(ApplyPixelOp(P, TPixelOp::Hue, 40), TPixelOp::Saturation, Sat),
                        TPixelOp::Brightness, 20);
  };
  auto CheckMaster = [&](const char* When) {
    int Wrong = 0;
    for (int Y = 0; Y < kMasterH; ++Y)
      for (int X = 0; X < kMasterW; ++X) Wrong += Master(X, Y) != Expected(X, Y);
    EXPECT_EQ(Wrong, 0) << When;
  };
  CheckMaster("after the three settings");
  const TsGeneralData& G = M->SkinDataArray[0]->gd[static_cast<size_t>(Btn)];
  EXPECT_EQ(static_cast<std::uint32_t>(G.Props[0].Color), ChangeColorSaturation(ChangeColorHue(StateColour, 40), Sat))
      << "state colours take hue and saturation, not brightness";
  EXPECT_EQ(M->Palette[pcMainColor], ChangeColorSaturation(MainColour, Sat)) << "the palette takes saturation";
  ASSERT_FALSE(G.Props[0].GradientArray.empty());
  EXPECT_EQ(G.Props[0].GradientArray[0].Color, ChangeColorSaturation(0xFF000000u | 183902, Sat))
      << "gradients take saturation, their flag byte kept";
  EXPECT_EQ(M->Palette[pcWebTextHot], HotText) << "not every palette entry";
  // A density loaded later decodes the master image again: recoloured once, not twice.
  ASSERT_EQ(M->Options()->ScaleMode(), smVCL);
  ASSERT_FALSE(M->CommonSkinData(192)->gd.empty());
  CheckMaster("after another density was loaded");
  M->SetHueOffset(0);
  M->SetSaturation(0);
  M->SetBrightness(0);
  int Changed = 0;
  for (int Y = 0; Y < kMasterH; ++Y)
    for (int X = 0; X < kMasterW; ++X) Changed += Master(X, Y) != Loaded(X, Y);
  EXPECT_EQ(Changed, 0) << "back to the skin's own colours";
}

TEST_F(TRecolour, ASkinThatKeepsItsTitleGlyphsKeepsThemUnderEveryChange) {
  Load(1);
  M->SetHueOffset(120);
  M->SetSaturation(50);
  int Kept = 0, Changed = 0, Total = 0;
  for (int Y = 0; Y < kMasterH; ++Y)
    for (int X = 0; X < kMasterW; ++X) {
      if (InClose(X, Y))
        Kept += Master(X, Y) == Loaded(X, Y);
      else if (Loaded(X, Y) != 0x00FF00FFu) {
        ++Total;
        Changed += Master(X, Y) != Loaded(X, Y);
      }
    }
  EXPECT_EQ(Kept, 2 * kCloseFrame * kCloseFrame);
  EXPECT_GT(Changed, Total * 9 / 10) << "everything else takes the new colours";
}

TEST_F(TRecolour, RightToLeftMirrorsEachFrameOfTheTitleGlyphsOnce) {
  Load();
  auto Mirrored = [&] {
    int Same = 0;
    for (int Y = 0; Y < kCloseFrame; ++Y)
      for (int F = 0; F < 2; ++F)
        for (int C = 0; C < kCloseFrame; ++C) {
          const int X = kCloseL + F * kCloseFrame + C, From = kCloseL + F * kCloseFrame + kCloseFrame - 1 - C;
          Same += Master(X, Y) == Loaded(From, Y);
        }
    return Same == 2 * kCloseFrame * kCloseFrame;
  };
  ASSERT_FALSE(Mirrored());
  M->FlipImages(true);
  EXPECT_TRUE(Mirrored());
  EXPECT_TRUE(M->ManagerState() & msRTLFlipped);
  M->FlipImages(true);
  EXPECT_TRUE(Mirrored()) << "asking again changes nothing";
  ASSERT_FALSE(M->CommonSkinData(144)->gd.empty());
  EXPECT_TRUE(Mirrored()) << "a new density's load keeps the master image mirrored";
  EXPECT_EQ(Master(kCloseL + 2 * kCloseFrame, 0), Loaded(kCloseL + 2 * kCloseFrame, 0)) << "only the glyphs";
  M->FlipImages(false);
  EXPECT_FALSE(Mirrored());
  M->ButtonsOptions()->SetAllowRTLSysButtons(false);
  M->FlipImages(true);
  EXPECT_FALSE(Mirrored()) << "not allowed by the button options";
}

TEST_F(TRecolour, AManagerOfARightToLeftFormLoadsTheGlyphsMirrored) {
  RegisterSkinManagerClasses();
  TTinySkin S;
  TForm Form(nullptr);
  Form.SetBiDiMode(bdRightToLeft);
  TsSkinManager* RM = S.Load(&Form);
  ASSERT_TRUE(RM->MasterBitmap);
  EXPECT_TRUE(RM->ManagerState() & msRTLFlipped);
  EXPECT_EQ(RM->MasterBitmap->Pixel(kCloseL, 0), Loaded(kCloseL + kCloseFrame - 1, 0));
  RM->SetSkinName(L"Tiny");
  EXPECT_EQ(RM->MasterBitmap->Pixel(kCloseL, 0), Loaded(kCloseL + kCloseFrame - 1, 0)) << "loaded again: once";
}

}  // namespace
