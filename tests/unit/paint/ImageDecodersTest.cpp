#include "skin/paint/ImageDecoders.h"

#include <gtest/gtest.h>

#include "ImageSamples.h"

using samples::Bytes;

namespace {

TDecodedImage Decode(const Bytes& b) { return DecodeImage(b.data(), b.size()); }

// The decoder's message must name the problem, not just fail.
void ExpectError(const Bytes& b, const char* part) {
  try {
    DecodeImage(b.data(), b.size());
    ADD_FAILURE() << "no error, expected one containing \"" << part << "\"";
  } catch (const EImageError& e) {
    EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
  }
}

const std::vector<std::uint32_t> kPixels6 = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu,
                                             0xFF123456u, 0xFFFF00FFu, 0xFFFFFFFFu};

}  // namespace

TEST(DecodeBmp, TwentyFourBitBottomUpAndTopDown) {
  for (bool topDown : {false, true}) {
    const TDecodedImage img = Decode(samples::MakeBmp(3, 2, 24, topDown, kPixels6));
    ASSERT_EQ(img.Bmp.Width(), 3);
    ASSERT_EQ(img.Bmp.Height(), 2);
    EXPECT_FALSE(img.HasAlpha);
    EXPECT_EQ(img.SourceBits, 24);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(img.Bmp.Pixel(i % 3, i / 3), kPixels6[std::size_t(i)]) << i;
  }
}

TEST(DecodeBmp, ThirtyTwoBitKeepsTheFourthByteAsAlpha) {
  const std::vector<std::uint32_t> px = {0x00FF00FFu, 0x80102030u};
  const TDecodedImage img = Decode(samples::MakeBmp(2, 1, 32, false, px));
  EXPECT_TRUE(img.HasAlpha);
  EXPECT_EQ(img.Bmp.Pixel(0, 0), 0x00FF00FFu);
  EXPECT_EQ(img.Bmp.Pixel(1, 0), 0x80102030u);
}

TEST(DecodeBmp, PalettedDepths) {
  const std::vector<std::uint32_t> pal = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  const std::vector<std::uint32_t> idx = {0, 1, 2, 3, 1, 0, 3, 2, 2};
  for (int bpp : {4, 8}) {
    const TDecodedImage img = Decode(samples::MakeBmp(9, 1, bpp, false, idx, pal));
    for (int x = 0; x < 9; ++x) EXPECT_EQ(img.Bmp.Pixel(x, 0), 0xFF000000u | pal[idx[std::size_t(x)]]) << bpp;
  }
  const std::vector<std::uint32_t> bits = {1, 0, 1, 1, 0, 0, 0, 1, 1, 0};
  const TDecodedImage mono = Decode(samples::MakeBmp(10, 1, 1, false, bits, {0x000000, 0xFFFFFF}));
  for (int x = 0; x < 10; ++x) EXPECT_EQ(mono.Bmp.Pixel(x, 0), bits[std::size_t(x)] ? 0xFFFFFFFFu : 0xFF000000u);
}

TEST(DecodeBmp, BitfieldsWithAlphaMaskAnd565) {
  const std::uint32_t masks565[4] = {0xF800, 0x07E0, 0x001F, 0};
  const TDecodedImage a = Decode(samples::MakeBmp(2, 1, 16, false, {0xF800, 0x07FF}, {}, 3, masks565));
  EXPECT_EQ(a.Bmp.Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(a.Bmp.Pixel(1, 0), 0xFF00FFFFu);
  EXPECT_FALSE(a.HasAlpha);
  const std::uint32_t masksA[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  const TDecodedImage b = Decode(samples::MakeBmp(1, 1, 32, false, {0x40112233u}, {}, 3, masksA));
  EXPECT_TRUE(b.HasAlpha);
  EXPECT_EQ(b.Bmp.Pixel(0, 0), 0x40112233u);
}

TEST(DecodeBmp, RunLengthEightBit) {
  Bytes b = samples::MakeBmp(4, 2, 8, false, std::vector<std::uint32_t>(8, 0), {0x000000, 0x0000FF, 0x00FF00});
  b.resize(b.size() - 8);  // replace the plain rows by runs
  const Bytes runs = {3, 1, 1, 2, 0, 0,  // bottom row: 1 1 1 2
                      0, 3, 2, 1, 2, 0,  // top row: literal 2 1 2 (padded), then end
                      0, 1};
  b.insert(b.end(), runs.begin(), runs.end());
  b[30] = 1;  // compression: RLE8
  const TDecodedImage img = Decode(b);
  EXPECT_EQ(img.Bmp.Pixel(0, 1), 0xFF0000FFu);
  EXPECT_EQ(img.Bmp.Pixel(3, 1), 0xFF00FF00u);
  EXPECT_EQ(img.Bmp.Pixel(1, 0), 0xFF0000FFu);
  EXPECT_EQ(img.Bmp.Pixel(3, 0), 0xFF000000u);  // not written: the first palette colour

  Bytes cut(b.begin(), b.end() - 3);
  ExpectError(cut, "truncated");
}

TEST(DecodeBmp, CorruptFilesGiveClearErrors) {
  Bytes good = samples::MakeBmp(3, 2, 24, false, kPixels6);
  ExpectError(Bytes(good.begin(), good.end() - 1), "truncated");
  ExpectError(Bytes(good.begin(), good.begin() + 20), "truncated");
  Bytes wide = good;
  wide[18] = 0xFF; wide[19] = 0xFF; wide[20] = 0xFF; wide[21] = 0x7F;  // width 2^31 - 1
  ExpectError(wide, "too large");
  Bytes zero = good;
  zero[22] = zero[23] = zero[24] = zero[25] = 0;
  ExpectError(zero, "invalid size");
  Bytes depth = good;
  depth[28] = 7;
  ExpectError(depth, "bit depth");
  Bytes off = good;
  off[10] = 0xFF; off[11] = 0xFF;
  ExpectError(off, "missing");
  ExpectError(Bytes{'B', 'M', 0, 0}, "truncated");
  EXPECT_THROW(DecodeBmp(good.data() + 1, 30), EImageError);
  EXPECT_THROW(DecodeBmp(nullptr, 0), EImageError);
  ExpectError(Bytes{1, 2, 3}, "known format");
}

TEST(DecodePng, RgbaGreyAndPalette) {
  const std::uint8_t rgba[] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0};
  TDecodedImage a = Decode(samples::MakePng(3, 1, PNG_FORMAT_RGBA, rgba));
  EXPECT_TRUE(a.HasAlpha);
  EXPECT_EQ(a.SourceBits, 32);
  EXPECT_EQ(a.Bmp.Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(a.Bmp.Pixel(1, 0), 0x8000FF00u);
  EXPECT_EQ(a.Bmp.Pixel(2, 0), 0x000000FFu);

  const std::uint8_t rgb[] = {1, 2, 3, 250, 251, 252};
  TDecodedImage b = Decode(samples::MakePng(1, 2, PNG_FORMAT_RGB, rgb));
  EXPECT_FALSE(b.HasAlpha);
  EXPECT_EQ(b.Bmp.Pixel(0, 0), 0xFF010203u);
  EXPECT_EQ(b.Bmp.Pixel(0, 1), 0xFFFAFBFCu);

  const std::uint8_t grey[] = {0, 77, 255, 128};
  TDecodedImage g = Decode(samples::MakePng(2, 2, PNG_FORMAT_GRAY, grey));
  EXPECT_FALSE(g.HasAlpha);
  EXPECT_EQ(g.Bmp.Pixel(1, 0), 0xFF4D4D4Du);
  EXPECT_EQ(g.Bmp.Pixel(1, 1), 0xFF808080u);

  const std::uint8_t map[] = {10, 20, 30, 255, 40, 50, 60, 0};  // RGBA entries
  const std::uint8_t idx[] = {1, 0};
  TDecodedImage p = Decode(samples::MakePng(2, 1, PNG_FORMAT_RGBA_COLORMAP, idx, map, 2));
  EXPECT_TRUE(p.HasAlpha);
  EXPECT_EQ(p.Bmp.Pixel(0, 0) >> 24, 0u);
  EXPECT_EQ(p.Bmp.Pixel(1, 0), 0xFF0A141Eu);
}

TEST(DecodePng, CorruptFilesGiveClearErrors) {
  const std::uint8_t rgb[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  const Bytes good = samples::MakePng(2, 2, PNG_FORMAT_RGB, rgb);
  ExpectError(Bytes(good.begin(), good.begin() + 40), "PNG image cannot be read");
  ExpectError(Bytes(good.begin(), good.end() - 20), "PNG image cannot be read");
  // Width in the header set to 100000: refused before any pixel is read.
  Bytes huge = good;
  huge[16] = 0; huge[17] = 0x01; huge[18] = 0x86; huge[19] = 0xA0;
  ExpectError(huge, "PNG image cannot be read");
  Bytes bad = good;
  bad[0] = 0;
  ExpectError(bad, "known format");
  EXPECT_THROW(DecodePng(good.data(), 7), EImageError);
}

TEST(DecodeJpeg, ColourGreyAndProgressive) {
  for (int comps : {1, 3})
    for (bool prog : {false, true}) {
      const TDecodedImage img = Decode(samples::MakeJpeg(17, 9, comps, prog));
      ASSERT_EQ(img.Bmp.Width(), 17);
      ASSERT_EQ(img.Bmp.Height(), 9);
      EXPECT_FALSE(img.HasAlpha);
      EXPECT_EQ(img.SourceBits, 8 * comps);
      const std::uint32_t p = img.Bmp.Pixel(8, 4);
      EXPECT_EQ(p >> 24, 255u);
      EXPECT_NEAR(int((p >> 16) & 0xFF), 200, 3);
      if (comps == 3) {
        EXPECT_NEAR(int((p >> 8) & 0xFF), 100, 3);
        EXPECT_NEAR(int(p & 0xFF), 50, 3);
      }
    }
}

TEST(DecodeJpeg, TruncatedAndForgedFilesGiveClearErrors) {
  const Bytes good = samples::MakeJpeg(64, 64, 3);
  ExpectError(Bytes(good.begin(), good.begin() + good.size() / 2), "JPEG image cannot be read");
  ExpectError(Bytes(good.begin(), good.begin() + 30), "JPEG image cannot be read");
  // The frame header's height and width bytes set to 65000 x 65000.
  Bytes huge = good;
  for (std::size_t i = 2; i + 8 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0xFD; huge[i + 6] = 0xE8; huge[i + 7] = 0xFD; huge[i + 8] = 0xE8;
      break;
    }
  ExpectError(huge, "too large");
}

TEST(ImageFormats, ByNameAndByContent) {
  EXPECT_EQ(ImageFormatFromName("skin/Master.BMP"), TImageFormat::Bmp);
  EXPECT_EQ(ImageFormatFromName("a.b.png"), TImageFormat::Png);
  EXPECT_EQ(ImageFormatFromName("x.JPeG"), TImageFormat::Jpeg);
  EXPECT_EQ(ImageFormatFromName("x.jpg"), TImageFormat::Jpeg);
  EXPECT_EQ(ImageFormatFromName("noext"), TImageFormat::Unknown);
  const Bytes j = samples::MakeJpeg(2, 2, 1);
  EXPECT_EQ(SniffImageFormat(j.data(), j.size()), TImageFormat::Jpeg);
  EXPECT_EQ(SniffImageFormat(nullptr, 0), TImageFormat::Unknown);
}
