// The skin tools' tiny font: what the preview's captions are made of.
#include <gtest/gtest.h>

#include "TinyFont.h"

using namespace skintool;

TEST(TinyFont, DecodesCaptionsAndSurvivesBrokenText) {
  EXPECT_EQ(DecodeUtf8("Groove 音乐"), std::u32string(U"Groove 音乐"));
  EXPECT_EQ(DecodeUtf8("\xE9\x9F"), std::u32string(U"\uFFFD\uFFFD"));  // cut short at the end
  EXPECT_EQ(DecodeUtf8("a\xFF" "b"), std::u32string(U"a\uFFFDb"));
  // Letters and digits 4 pixels, Chinese characters 6, without the last gap.
  EXPECT_EQ(TinyTextWidth("Xbox"), 15);
  EXPECT_EQ(TinyTextWidth("3D建模"), 19);
  EXPECT_EQ(TinyTextWidth(""), 0);
}

TEST(TinyFont, LettersAreGlyphsAndOtherCharactersLightBars) {
  Bitmap32 b(20, 7);
  b.Fill(ColorToPixel(0xFFFFFF, 255));
  DrawTinyText(b, 1, 1, "l", 0x000000);  // drawn as the capital L
  for (int r = 0; r < 5; ++r) EXPECT_EQ(b.Pixel(1, 1 + r), ColorToPixel(0, 255)) << r;
  EXPECT_EQ(b.Pixel(2, 1), ColorToPixel(0xFFFFFF, 255));
  EXPECT_EQ(b.Pixel(3, 5), ColorToPixel(0, 255));
  DrawTinyText(b, 6, 1, "建", 0x000000);
  const std::uint32_t bar = b.Pixel(8, 3);
  EXPECT_NE(bar, ColorToPixel(0, 255));
  EXPECT_NE(bar, ColorToPixel(0xFFFFFF, 255));
  EXPECT_EQ(b.Pixel(8, 1), ColorToPixel(0xFFFFFF, 255));  // the bar leaves the top row
  // Text that leaves the bitmap is clipped, not written past it.
  DrawTinyText(b, 17, 4, "WW", 0x000000);
  EXPECT_EQ(b.Pixel(17, 4), ColorToPixel(0, 255));
  EXPECT_EQ(b.Pixel(19, 6), ColorToPixel(0, 255));
}
