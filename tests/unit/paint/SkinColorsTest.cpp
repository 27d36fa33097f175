#include "skin/paint/SkinColors.h"

#include <gtest/gtest.h>

namespace {

// Palette entry i holds 0x010000 * i + 0x42, so every entry is recognisable.
class FakeSkin : public ISkinColorSource {
 public:
  bool active = true;
  bool hasTitle = true, hasHint = true;
  bool SkinColorsActive() const override { return active; }
  std::uint32_t PaletteColor(TacPaletteColors i) const override { return 0x010000u * std::uint32_t(i) + 0x42; }
  bool SectionColors(TacColorSection s, int state, std::uint32_t& color, std::uint32_t& font) const override {
    if (s == TacColorSection::FormTitle && !hasTitle) return false;
    if (s == TacColorSection::Hint && !hasHint) return false;
    const std::uint32_t base = s == TacColorSection::FormTitle ? 0x100 : 0x200;
    color = base + std::uint32_t(state);
    font = base + 0x10 + std::uint32_t(state);
    return true;
  }
};

class FakeSystem : public ISystemColors {
 public:
  std::uint32_t SysColor(int index) const override { return 0xABC000u + std::uint32_t(index); }
};

std::uint32_t Pal(TacPaletteColors i) { return 0x010000u * std::uint32_t(i) + 0x42; }

}  // namespace

TEST(SkinColors, PlainColoursPassThrough) {
  FakeSkin skin;
  EXPECT_EQ(SkinColorToRGB(0x123456, &skin), 0x123456u);
  EXPECT_EQ(SkinColorToRGB(0x1FFFFFFF, &skin), 0x1FFFFFFFu);
}

TEST(SkinColors, SystemColoursMapToThePalette) {
  FakeSkin skin;
  struct Case {
    std::uint32_t color;
    std::uint32_t want;
  };
  const Case cases[] = {
      {0xF1000001, Pal(pcMainColor)},           {0xFF000000, Pal(pcMainColor)},
      {0xFF00000F, Pal(pcMainColor)},           {0xFF00001E, Pal(pcMainColor)},
      {0xFF000006, Pal(pcBorder)},              {0xFF00000B, Pal(pcBorder)},
      {0xFF000007, Pal(pcLabelText)},           {0xFF000012, Pal(pcLabelText)},
      {0xFF000005, Pal(pcEditBG)},              {0xFF000008, Pal(pcEditText)},
      {0xFF00000D, Pal(pcSelectionBG_Focused)}, {0xFF00001D, Pal(pcSelectionBG_Focused)},
      {0xFF00000E, Pal(pcSelectionText_Focused)}, {0xFF00001A, Pal(pcWebTextHot)},
      {0xFF00006C, Pal(pcEditText_Alert)},      {0xFF0000A2, Pal(pcBtnRedTextActive)},
      {0xFF0000B4, Pal(pcBtnRedText)},          {0xFF003E0A, Pal(pcEditText_Ok)},
      {0xFF004C4C, Pal(pcEditText_Warning)},    {0xFFC9FFD2, Pal(pcEditBG_Ok)},
      {0xFFBAFFFF, Pal(pcEditBG_Warning)},      {0xFFDBDBFF, Pal(pcEditBG_Alert)},
      {0xFFD5D5FF, Pal(pcBtnToneRed)},          {0xFFBDBDFF, Pal(pcBtnToneRedActive)},
      {0xFFE1FFD2, Pal(pcBtnToneGreen)},        {0xFFCDFFB4, Pal(pcBtnToneGreenActive)},
      {0xFFFFEDC9, Pal(pcBtnToneBlue)},         {0xFFFFE9BE, Pal(pcBtnToneBlueActive)},
      {0xFFCAF3FF, Pal(pcBtnToneYellow)},       {0xFFBAEFFF, Pal(pcBtnToneYellowActive)},
      {0xFF28851A, Pal(pcBtnGreenText)},        {0xFF008E00, Pal(pcBtnGreenTextActive)},
      {0xFFAE7400, Pal(pcBtnBlueText)},         {0xFF916000, Pal(pcBtnBlueTextActive)},
      {0xFF00A5D7, Pal(pcBtnYellowText)},       {0xFF0098C6, Pal(pcBtnYellowTextActive)},
      // Title and hint sections.
      {0xFF000002, 0x101}, {0xFF00001B, 0x101}, {0xFF000003, 0x100}, {0xFF00001C, 0x100},
      {0xFF000009, 0x111}, {0xFF000013, 0x110}, {0xFF000017, 0x210}, {0xFF000018, 0x200},
      // Mixes.
      {0xFF000010, MixTwoColours(Pal(pcMainColor), 0, 180)},
      {0xFF000015, MixTwoColours(Pal(pcMainColor), 0, 180)},
      {0xFF000011, MixTwoColours(Pal(pcMainColor), Pal(pcLabelText), 127)},
      {0xFF000014, MixTwoColours(Pal(pcMainColor), Pal(pcSelectionBG_Focused), 127)},
      {0xFF000016, MixTwoColours(Pal(pcMainColor), 0xFFFFFF, 180)},
  };
  for (const Case& c : cases) EXPECT_EQ(SkinColorToRGB(c.color, &skin), c.want) << std::hex << c.color;
}

TEST(SkinColors, MissingTitleAndHintFallBackToThePalette) {
  FakeSkin skin;
  skin.hasTitle = skin.hasHint = false;
  EXPECT_EQ(SkinColorToRGB(0xFF000002, &skin), Pal(pcMainColor));
  EXPECT_EQ(SkinColorToRGB(0xFF000009, &skin), Pal(pcLabelText));
  EXPECT_EQ(SkinColorToRGB(0xFF000013, &skin), Pal(pcLabelText));
  EXPECT_EQ(SkinColorToRGB(0xFF000017, &skin), Pal(pcEditText));
  EXPECT_EQ(SkinColorToRGB(0xFF000018, &skin), Pal(pcEditBG));
}

TEST(SkinColors, WithoutAnActiveManagerLargeLowBitsAreTheColour) {
  FakeSystem sys;
  SetSystemColors(&sys);
  FakeSkin inactive;
  inactive.active = false;
  EXPECT_EQ(SkinColorToRGB(0xFF00000F, &inactive), 0xABC00Fu);  // 15 <= 100: system colour
  EXPECT_EQ(SkinColorToRGB(0xFF000065, &inactive), 0x000065u);  // 101 > 100: the bits
  EXPECT_EQ(SkinColorToRGB(0xFFD5D5FF, nullptr), 0xD5D5FFu);    // no default manager
  // Any other system colour with a manager: the platform's conversion.
  FakeSkin skin;
  EXPECT_EQ(SkinColorToRGB(0xFF000019, &skin), 0xABC019u);
  SetSystemColors(nullptr);
  EXPECT_EQ(PlainColorToRGB(0xFF00000F), 0xF0F0F0u);
  EXPECT_EQ(GetSysColorValue(99), 0u);
}

TEST(SkinColors, DefaultManagerIsUsedWhenNoneIsGiven) {
  FakeSkin skin;
  SetDefaultSkinColorSource(&skin);
  EXPECT_EQ(SkinColorToRGB(0xFF00000F), Pal(pcMainColor));
  SetDefaultSkinColorSource(nullptr);
  EXPECT_EQ(SkinColorToRGB(0xFF00000F), 0xF0F0F0u);
}
