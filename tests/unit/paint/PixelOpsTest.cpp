#include "skin/paint/PixelOps.h"

#include <gtest/gtest.h>

#include <random>

#include "skin/paint/SkinColors.h"

namespace {

Bitmap32 Solid(int w, int h, std::uint32_t px) {
  Bitmap32 b(w, h);
  b.Fill(px);
  return b;
}

std::uint8_t ByteAt(const Bitmap32& b, int x, int y, int i) { return b.Row(y)[x * 4 + i]; }

}  // namespace

TEST(Fills, FillPixels32WritesSwappedColourAndAlphaInHalfOpenRect) {
  Bitmap32 b(4, 3);
  FillPixels32(b, BmpRect(1, 1, 3, 3), 0x0000FF, 255);
  EXPECT_EQ(ByteAt(b, 1, 1, 0), 0x00);  // blue
  EXPECT_EQ(ByteAt(b, 1, 1, 1), 0x00);  // green
  EXPECT_EQ(ByteAt(b, 1, 1, 2), 0xFF);  // red
  EXPECT_EQ(ByteAt(b, 1, 1, 3), 0xFF);  // alpha
  EXPECT_EQ(b.Pixel(2, 2), 0xFFFF0000u);
  EXPECT_EQ(b.Pixel(3, 1), 0u);  // right edge excluded
  EXPECT_EQ(b.Pixel(1, 0), 0u);
  FillPixels32(b, BmpRect(-5, -5, 100, 100), 0x123456, 7);  // clipped, no crash
  EXPECT_EQ(b.Pixel(3, 2), 0x07563412u);
}

TEST(Fills, SystemColoursAreConvertedBeforeFilling) {
  Bitmap32 b(1, 1);
  FillPixels32(b, b.Bounds(), 0xFF00000F, 255);  // button face of the default scheme
  EXPECT_EQ(b.Pixel(0, 0), 0xFFF0F0F0u);
}

TEST(Fills, FillBandLeavesTheInnerRectangle) {
  Bitmap32 b(5, 5);
  FillBand32(b, BmpRect(0, 0, 5, 5), BmpRect(1, 2, 4, 4), 255, 0xFFFFFF);
  int filled = 0;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      const bool inner = x >= 1 && x < 4 && y >= 2 && y < 4;
      EXPECT_EQ(b.Pixel(x, y), inner ? 0u : 0xFFFFFFFFu) << x << "," << y;
      filled += !inner;
    }
  EXPECT_EQ(filled, 19);
}

TEST(Fills, TintRect32UsesWeightAndKeepsAlpha) {
  Bitmap32 b = Solid(2, 1, 0x80C86432u);  // a=0x80 r=200 g=100 b=50
  TintRect32(b, BmpRect(0, 0, 1, 1), 100, 0x0000FF);  // towards red
  // r = (200*100 + 255*155) >> 8 = 232, g = 100*100 >> 8 = 39, b = 50*100 >> 8 = 19
  EXPECT_EQ(b.Pixel(0, 0), 0x80E82713u);
  EXPECT_EQ(b.Pixel(1, 0), 0x80C86432u);
}

TEST(Mix, MixTwoColoursDividesBy256AndKeepsTopByte) {
  EXPECT_EQ(MixTwoColours(0xFFFFFF, 0x000000, 255), 0xFEFEFEu);
  EXPECT_EQ(MixTwoColours(0xAA000000u | 0x0000FF, 0x00FF00, 128), 0xAA007E7Fu);  // r 32640 >> 8, g 32385 >> 8
}

TEST(Blend, BlendPieceAlphaTransparentAndOpaqueSources) {
  Bitmap32 dst = Solid(2, 1, 0x40102030u);
  Bitmap32 src(2, 1);
  src.SetPixel(0, 0, 0x00FFFFFFu);  // fully transparent
  src.SetPixel(1, 0, 0xFF90A0B0u);  // opaque
  BlendPieceAlpha(dst, src, BmpRect(0, 0, 1, 0), 255, BmpPoint(0, 0));
  EXPECT_EQ(dst.Pixel(0, 0), 0x40102030u);
  // Exactly the rule per channel: ((s - d) * 255 + d * 256) >> 8; an opaque
  // source leaves the pixel opaque (the rule's 254 would let the parent show).
  EXPECT_EQ(dst.Pixel(1, 0), 0xFF8F9FAFu);
}

TEST(Blend, BlendPieceAlphaExactValues) {
  // G = 255: d' = ((s - d) * sA + d * 256) >> 8; alpha max(dA, ((sA - dA) * sA + dA * 256) >> 8)
  Bitmap32 dst = Solid(1, 1, 0x20406080u);
  Bitmap32 src = Solid(1, 1, 0x80FF0010u);
  BlendPieceAlpha(dst, src, BmpRect(0, 0, 0, 0), 255, BmpPoint(0, 0));
  // r: ((255-64)*128 + 64*256)>>8 = 159; g: ((0-96)*128+96*256)>>8 = 48;
  // b: ((16-128)*128+128*256)>>8 = 72; a: ((128-32)*128+32*256)>>8 = 80
  EXPECT_EQ(dst.Pixel(0, 0), 0x509F3048u);

  // G = 128: a = 128*128 >> 8 = 64
  dst.Fill(0x20406080u);
  BlendPieceAlpha(dst, src, BmpRect(0, 0, 0, 0), 128, BmpPoint(0, 0));
  // r: (64*(255-64)+64*256)>>8 = 111; g: (64*(0-96)+96*256)>>8 = 72;
  // b: (64*(16-128)+128*256)>>8 = 100; a: max(32, (64*(64-32)+32*256)>>8 = 40)
  EXPECT_EQ(dst.Pixel(0, 0), 0x286F4864u);
}

TEST(Blend, PiecesAreClippedAgainstBothBitmaps) {
  Bitmap32 dst = Solid(3, 3, 0xFF000000u);
  Bitmap32 src(3, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) src.SetPixel(x, y, 0xFF000000u | std::uint32_t((y * 3 + x + 1) * 20));
  // The source pixel numbered v (value 20 v) lands as (255 * 20 v) >> 8: each a value of its own.
  auto landed = [](std::uint32_t v) { return (255 * 20 * v) >> 8; };
  // Negative target point: the source start moves by the same amount.
  BlendPieceAlpha(dst, src, BmpRect(0, 0, 2, 2), 255, BmpPoint(-1, -2));
  EXPECT_EQ(dst.Pixel(0, 0) & 0xFF, landed(8));  // source (1, 2)
  EXPECT_EQ(dst.Pixel(1, 0) & 0xFF, landed(9));
  EXPECT_EQ(dst.Pixel(0, 1), 0xFF000000u);

  // Negative source start moves the target; the right edge is cut to the source.
  dst.Fill(0xFF000000u);
  BlendPieceAlpha(dst, src, BmpRect(-1, 0, 7, 0), 255, BmpPoint(0, 1));
  EXPECT_EQ(dst.Pixel(0, 1), 0xFF000000u);
  EXPECT_EQ(dst.Pixel(1, 1) & 0xFF, landed(1));
  EXPECT_EQ(dst.Pixel(2, 1) & 0xFF, landed(2));

  // Empty or outside sources do nothing.
  dst.Fill(0xFF000000u);
  BlendPieceAlpha(dst, src, BmpRect(2, 0, 1, 0), 255, BmpPoint(0, 0));
  BlendPieceAlpha(dst, src, BmpRect(3, 0, 5, 2), 255, BmpPoint(0, 0));
  BlendPieceAlpha(dst, src, BmpRect(0, 0, 2, 2), 255, BmpPoint(3, 0));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(dst.Pixel(x, y), 0xFF000000u);
}

TEST(Blend, ConstantBlendCrossFadeAndOwnAlpha) {
  Bitmap32 dst = Solid(1, 1, 0xFF804020u);
  Bitmap32 src = Solid(1, 1, 0x00000000u);
  BlendBitmapConst(dst, src, 64, BmpPoint(0, 0), BmpRect(0, 0, 0, 0));  // target keeps 64/256
  EXPECT_EQ(dst.Pixel(0, 0), 0x3F201008u);

  Bitmap32 a = Solid(1, 1, 0x00000000u), b = Solid(1, 1, 0xFFFFFFFFu), out(1, 1);
  CrossFade(out, a, b, 0);
  EXPECT_EQ(out.Pixel(0, 0), 0u);
  CrossFade(out, a, b, 128);
  EXPECT_EQ(out.Pixel(0, 0), 0x7F7F7F7Fu);
  CrossFade(out, a, Bitmap32(2, 1), 128);  // sizes differ: untouched
  EXPECT_EQ(out.Pixel(0, 0), 0x7F7F7F7Fu);

  Bitmap32 d = Solid(1, 1, 0x11000000u);
  BlendByOwnAlpha(d, Solid(1, 1, 0x80FF8000u));
  // c' = ((s - d) * 128 + d * 256) >> 8; alpha kept
  EXPECT_EQ(d.Pixel(0, 0), 0x117F4000u);
}

TEST(Blend, MaskWithColourWhiteKeepsBlackTakesColour) {
  Bitmap32 d(3, 1);
  d.Fill(0x55102030u);
  Bitmap32 m(3, 1);
  m.SetPixel(0, 0, 0x00FFFFFFu);
  m.SetPixel(1, 0, 0x00000000u);
  m.SetPixel(2, 0, 0x00808080u);
  MaskWithColour(d, m, 0x0000FF);  // red
  EXPECT_EQ(d.Pixel(0, 0), 0x55101F2Fu);  // (255 d + c) >> 8: kept within one unit
  EXPECT_EQ(d.Pixel(1, 0), 0x55FF0000u);
  EXPECT_EQ(d.Pixel(2, 0), 0x55871018u);
}

TEST(Keyed, CopyKeyedOpaqueSkipsKeyAndSetsAlpha) {
  Bitmap32 dst = Solid(3, 1, 0x11111111u);
  Bitmap32 src(2, 1);
  src.SetPixel(0, 0, 0x00FF00FFu);  // the key
  src.SetPixel(1, 0, 0x00123456u);
  CopyKeyedOpaque(dst, src, 1, 0xFF00FF, 0);
  EXPECT_EQ(dst.Pixel(1, 0), 0x11111111u);
  EXPECT_EQ(dst.Pixel(2, 0), 0xFF123456u);
}

TEST(Keyed, BlendKeyedWeighsAllFourBytes) {
  Bitmap32 dst = Solid(2, 1, 0xFFFFFFFFu);
  Bitmap32 src(2, 1);
  src.SetPixel(0, 0, 0x00FF00FFu);  // key: skipped
  src.SetPixel(1, 0, 0x00000000u);
  BlendKeyed(dst, 0, 0, 0xFF00FF, 100, BmpRect(0, 0, 1, 0), src);
  EXPECT_EQ(dst.Pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(dst.Pixel(1, 0), 0x63636363u);  // 255 * 100 >> 8 = 99
}

TEST(Keyed, KeyMatchesOnlyTheTransparentMagentaPixel) {
  Bitmap32 dst = Solid(2, 1, 0u);
  Bitmap32 src(2, 1);
  src.SetPixel(0, 0, 0xFFFF00FFu);  // opaque magenta: not the key
  src.SetPixel(1, 0, 0x00FF00FFu);
  TCacheInfo none;
  CopyPieceKeyed(dst, src, BmpRect(0, 0, 1, 0), BmpPoint(0, 0), 0xFF00FF, false, none);
  EXPECT_EQ(dst.Pixel(0, 0), 0xFFFF00FFu);
  EXPECT_EQ(dst.Pixel(1, 0), 0u);
}

TEST(Keyed, CopyPieceKeyedTakesParentPixelsOrFillColour) {
  Bitmap32 parent(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) parent.SetPixel(x, y, 0xFF000000u | std::uint32_t(y * 16 + x));
  Bitmap32 src(2, 1);
  src.SetPixel(0, 0, 0x00FF00FFu);
  src.SetPixel(1, 0, 0x80112233u);

  Bitmap32 dst = Solid(3, 2, 0x01010101u);
  TCacheInfo bg;
  bg.Bmp = &parent;
  bg.X = 1;
  bg.Y = 2;
  bg.Ready = true;
  CopyPieceKeyed(dst, src, BmpRect(0, 0, 1, 0), BmpPoint(1, 1), 0xFF00FF, true, bg);
  EXPECT_EQ(dst.Pixel(1, 1), parent.Pixel(2, 3));  // parent at (X + x, Y + y)
  EXPECT_EQ(dst.Pixel(2, 1), 0x80112233u);          // alpha kept in a foreign bitmap

  // Not over the parent: key pixels stay.
  dst.Fill(0x01010101u);
  CopyPieceKeyed(dst, src, BmpRect(0, 0, 1, 0), BmpPoint(0, 0), 0xFF00FF, false, bg);
  EXPECT_EQ(dst.Pixel(0, 0), 0x01010101u);

  // Not ready: key pixels take the fill colour.
  TCacheInfo fill;
  fill.FillColor = 0x00FF00;
  CopyPieceKeyed(dst, src, BmpRect(0, 0, 1, 0), BmpPoint(0, 0), 0xFF00FF, true, fill);
  EXPECT_EQ(dst.Pixel(0, 0), 0xFF00FF00u);

  // Copied into the parent's own bitmap: opaque.
  TCacheInfo self = MakeCacheInfo(parent);
  CopyPieceKeyed(parent, src, BmpRect(0, 0, 1, 0), BmpPoint(0, 0), 0xFF00FF, true, self);
  EXPECT_EQ(parent.Pixel(1, 0), 0xFF112233u);
  EXPECT_EQ(parent.Pixel(0, 0), 0xFF000000u);
}

TEST(Effects, ToneScalesTheToneByTheLargestChannel) {
  // m = 200; tone red 255, green 128, blue 0 (TColor 0x0080FF)
  EXPECT_EQ(ApplyPixelOp(0x7F32C864u, TPixelOp::Tone, 0x0080FF), 0x7FC76400u);
}

TEST(Effects, BrightnessBothWays) {
  // b = 64: c + c * 64 >> 8, at most 255
  EXPECT_EQ(ApplyPixelOp(0x10F06410u, TPixelOp::Brightness, 64), 0x10FF7D14u);
  // b = -64: c - c * 64 >> 8
  EXPECT_EQ(ApplyPixelOp(0x10F06410u, TPixelOp::Brightness, -64), 0x10B44B0Cu);
  EXPECT_EQ(ApplyPixelOp(0x10F06410u, TPixelOp::Brightness, 0), 0x10F06410u);
}

TEST(Effects, SaturationFollowsTheFormulaAtBothEnds) {
  const std::uint32_t px = 0xFF3080C0u;  // r 48, g 128, b 192
  const std::uint32_t g = GreyOf(px);    // round(14.352 + 75.136 + 21.888) = 111
  EXPECT_EQ(g, 111u);
  const std::uint32_t out = ApplyPixelOp(px, TPixelOp::Saturation, -255);
  const std::uint32_t v = (255 * g) >> 8;  // ((s + 255) c - g s) >> 8 with s = -255
  EXPECT_EQ(out, 0xFF000000u | v | (v << 8) | (v << 16));
  // Raised saturation clamps: ((255 + 255) * c - 111 * 255) >> 8 gives -15, 144, 271
  EXPECT_EQ(ApplyPixelOp(px, TPixelOp::Saturation, 255), 0xFF0090FFu);
}

TEST(Effects, HueRotatesAndWraps) {
  EXPECT_EQ(ApplyPixelOp(0xFFFF0000u, TPixelOp::Hue, 120), 0xFF00FF00u);   // red -> green
  EXPECT_EQ(ApplyPixelOp(0xFFFF0000u, TPixelOp::Hue, -120), 0xFF0000FFu);  // red -> blue
  EXPECT_EQ(ApplyPixelOp(0x80808080u, TPixelOp::Hue, 77), 0x80808080u);    // grey unchanged
  EXPECT_EQ(ApplyPixelOp(0xFF000000u, TPixelOp::Hue, 200), 0xFF000000u);
  // +360 keeps every colour within one unit.
  for (std::uint32_t px : {0xFF3080C0u, 0xFF123456u, 0xFFFEDCBAu, 0xFF01FF02u, 0x00C8643Cu}) {
    const std::uint32_t o = ApplyPixelOp(px, TPixelOp::Hue, 360);
    for (int sh = 0; sh < 32; sh += 8) EXPECT_NEAR(int((o >> sh) & 0xFF), int((px >> sh) & 0xFF), 1) << std::hex << px;
  }
  // A hue of 30 degrees from red: r 255, g = min + delta * 30 / 60 truncated.
  EXPECT_EQ(ApplyPixelOp(0xFFFF0000u, TPixelOp::Hue, 30), 0xFFFF7F00u);
  EXPECT_EQ(ChangeColorHue(0x0000FF, 120), 0x00FF00u);  // TColor red -> green
}

TEST(Effects, ForEachPixelSkipsOnlyTheTransparentKey) {
  Bitmap32 b(3, 1);
  b.SetPixel(0, 0, 0x00FF00FFu);
  b.SetPixel(1, 0, 0xFFFF00FFu);
  b.SetPixel(2, 0, 0xFF3080C0u);
  for (TPixelOp op : {TPixelOp::Tone, TPixelOp::Hue, TPixelOp::Saturation}) {
    Bitmap32 c = b.Clone();
    ForEachPixel(c, op, op == TPixelOp::Tone ? 0x00FF00 : (op == TPixelOp::Hue ? 90 : -90), 0xFF00FF);
    EXPECT_EQ(c.Pixel(0, 0), 0x00FF00FFu);
    EXPECT_NE(c.Pixel(1, 0), 0xFFFF00FFu);
    EXPECT_NE(c.Pixel(2, 0), 0xFF3080C0u);
  }
  Bitmap32 all = b.Clone();
  ForEachPixel(all, TPixelOp::Opaque, 0);
  EXPECT_EQ(all.Pixel(0, 0), 0xFFFF00FFu);
}

TEST(Effects, ControlColourEffectsInOrderSkippingTheKey) {
  Bitmap32 b(2, 1);
  b.SetPixel(0, 0, 0x00FF00FFu);
  b.SetPixel(1, 0, 0xFF3080C0u);
  ApplyColourEffects(b, 0x0000FF, 120, -100);
  std::uint32_t want = ApplyPixelOp(0xFF3080C0u, TPixelOp::Tone, 0x0000FF);
  want = ApplyPixelOp(want, TPixelOp::Hue, 120);
  want = ApplyPixelOp(want, TPixelOp::Saturation, -100);
  EXPECT_EQ(b.Pixel(1, 0), want);
  EXPECT_EQ(b.Pixel(0, 0), 0x00FF00FFu);
  Bitmap32 c(1, 1);
  c.SetPixel(0, 0, 0xFF3080C0u);
  ApplyColourEffects(c, 0x1FFFFFFF, 0, 0);  // nothing set: unchanged
  EXPECT_EQ(c.Pixel(0, 0), 0xFF3080C0u);
}

TEST(Effects, OneRowBitmapIsProcessed) {
  std::uint32_t mem[3] = {0x10000000u, 0x20000000u, 0x30000000u};
  Bitmap32 b = Bitmap32::Wrap(mem, 3, 1, 12345);  // the stride of one row does not matter
  EXPECT_EQ(b.Stride(), 0);
  ForEachPixel(b, TPixelOp::Opaque, 0);
  EXPECT_EQ(mem[2], 0xFF000000u);
  Bitmap32 none = Bitmap32::Wrap(mem, 3, 0, 12);
  ForEachPixel(none, TPixelOp::Tone, 0);  // no rows: nothing
  EXPECT_EQ(mem[0], 0xFF000000u);
}

TEST(Effects, Greyscale32RoundsHalfToEven) {
  Bitmap32 b(3, 1);
  b.SetPixel(0, 0, 0x110000FAu);  // b 250: 28.5 -> 28
  b.SetPixel(1, 0, 0x220004A8u);  // g 4, b 168: 21.5 -> 22
  b.SetPixel(2, 0, 0x33FFFFFFu);
  Greyscale32(b);
  EXPECT_EQ(b.Pixel(0, 0), 0x111C1C1Cu);
  EXPECT_EQ(b.Pixel(1, 0), 0x22161616u);
  EXPECT_EQ(b.Pixel(2, 0), 0x33FFFFFFu);
  Bitmap32 k(2, 1);
  k.SetPixel(0, 0, 0x00FF00FFu);
  k.SetPixel(1, 0, 0xFFFF00FFu);
  Greyscale32(k, 0x00FF00FFu);
  EXPECT_EQ(k.Pixel(0, 0), 0x00FF00FFu);
  EXPECT_EQ(k.Pixel(1, 0), 0xFF696969u);  // round(76.245 + 29.07) = 105
}

TEST(Disabled, GreyedThenBlendedOverAReadyParent) {
  Bitmap32 parent = Solid(6, 6, 0xFF000000u);
  parent.SetPixel(3, 4, 0x00FF00FFu);  // key pixel of the parent: skipped
  Bitmap32 b = Solid(2, 2, 0xFFFFFFFFu);
  TCacheInfo bg;
  bg.Bmp = &parent;
  bg.X = 1;
  bg.Y = 2;
  bg.Ready = true;
  DrawDisabled(b, dkBlended, nullptr, BmpPoint(1, 1), bg);
  // control keeps 100/256: (0 * 155 + 255 * 100) >> 8 = 99 on colour; alpha (255*155+255*100)>>8 = 254
  EXPECT_EQ(b.Pixel(0, 0), 0xFE636363u);
  EXPECT_EQ(b.Pixel(1, 1), 0xFFFFFFFFu);  // over parent (3, 4)

  Bitmap32 g = Solid(1, 1, 0xFF0000FFu);
  DrawDisabled(g, dkGrayed, nullptr, BmpPoint(0, 0), TCacheInfo());
  EXPECT_EQ(g.Pixel(0, 0), ApplyPixelOp(0xFF0000FFu, TPixelOp::Saturation, -229));
  DisabledSettings().Saturation = -100;
  Bitmap32 g2 = Solid(1, 1, 0xFF0000FAu);
  DrawDisabled(g2, dkGrayed, nullptr, BmpPoint(0, 0), TCacheInfo());
  EXPECT_EQ(g2.Pixel(0, 0), 0xFF1C1C1Cu);
  DisabledSettings() = TacDisabledSettings();
}

TEST(Disabled, KeyPixelsAreLeftAlone) {
  for (unsigned kinds : {dkGrayed, dkBlended, dkGrayed | dkBlended}) {
    Bitmap32 b = Solid(2, 1, 0xFF0000FFu);
    b.SetPixel(1, 0, 0x00FF00FFu);
    TCacheInfo bg;
    bg.FillColor = 0x000000;
    DrawDisabled(b, kinds, nullptr, BmpPoint(), bg);
    EXPECT_EQ(b.Pixel(1, 0), 0x00FF00FFu) << kinds;
    EXPECT_NE(b.Pixel(0, 0), 0xFF0000FFu) << kinds;
  }
}

TEST(Disabled, BlendedTowardsFillColourOrParentColour) {
  Bitmap32 b = Solid(1, 1, 0xFFFFFFFFu);
  TCacheInfo bg;
  bg.FillColor = 0x000000;
  DrawDisabled(b, dkBlended, nullptr, BmpPoint(), bg);
  EXPECT_EQ(b.Pixel(0, 0), 0xFF636363u);  // tint: 255 * 100 >> 8

  int asked = 0;
  Bitmap32 c = Solid(1, 1, 0xFF000000u);
  TCacheInfo unknown;
  DrawDisabled(c, dkBlended, [&] { ++asked; return std::uint32_t(0x0000FF); }, BmpPoint(), unknown);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(c.Pixel(0, 0), 0xFF9A0000u);  // red: 255 * 155 >> 8 = 154
}

TEST(Stretch, StretchPieceAlphaScalesThenBlends) {
  Bitmap32 src = Solid(2, 2, 0xFF204060u);
  Bitmap32 dst = Solid(5, 5, 0xFF000000u);
  StretchPieceAlpha(dst, BmpRect(1, 1, 5, 5), src, BmpRect(0, 0, 2, 2), 255);
  EXPECT_EQ(dst.Pixel(0, 0), 0xFF000000u);
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 5; ++x) EXPECT_EQ(dst.Pixel(x, y), 0xFF1F3F5Fu) << x << "," << y;  // (255 s + d) >> 8

  // A piece not at the origin goes through the plain stretch.
  Bitmap32 src2(3, 1);
  src2.SetPixel(1, 0, 0xFF0000FFu);
  src2.SetPixel(2, 0, 0xFFFF0000u);
  Bitmap32 d2 = Solid(4, 1, 0u);
  StretchPieceAlpha(d2, BmpRect(0, 0, 4, 1), src2, BmpRect(1, 0, 3, 1), 255);
  EXPECT_EQ(d2.Pixel(0, 0), 0xFF0000FEu);
  EXPECT_EQ(d2.Pixel(1, 0), 0xFF0000FEu);
  EXPECT_EQ(d2.Pixel(3, 0), 0xFFFE0000u);

  Bitmap32 d3 = Solid(2, 2, 0u);
  StretchPieceAlpha(d3, BmpRect(0, 0, 2, 2), src, BmpRect(0, -1, 2, 1), 255);  // start outside: nothing
  StretchPieceAlpha(d3, BmpRect(0, 0, 2, 2), src, BmpRect(0, 0, 2, 0), 255);
  EXPECT_EQ(d3.Pixel(0, 0), 0u);
}

TEST(Prepare, KeyTransparencyAndPremultiplication) {
  Bitmap32 b(3, 1);
  b.SetPixel(0, 0, 0x00FF00FFu);
  b.SetPixel(1, 0, 0x12FF00FFu);
  b.SetPixel(2, 0, 0x00102030u);
  MakeKeyTransparent(b);
  EXPECT_EQ(b.Pixel(0, 0), 0x00FF00FFu);
  EXPECT_EQ(b.Pixel(1, 0), 0x00FF00FFu);
  EXPECT_EQ(b.Pixel(2, 0), 0xFF102030u);

  // Rows of 11 (lanes of four and a tail) in a padded view, against the
  // rule pixel by pixel; with alpha only the opaque key changes.
  std::mt19937 rng(7);
  const std::uint32_t kinds[] = {0x00FF00FFu, 0x7FFF00FFu, 0xFFFF00FFu, 0xFFFF00FEu, 0x00000000u, 0x80FF00FFu};
  Bitmap32 whole(13, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 13; ++x) whole.SetPixel(x, y, rng() % 2 ? kinds[rng() % 6] : std::uint32_t(rng()));
  const Bitmap32 keyed = whole.Clone(), cleared = whole.Clone();
  MakeKeyTransparent(keyed.View(BmpRect(1, 0, 12, 4)));
  ClearOpaqueKey(cleared.View(BmpRect(1, 0, 12, 4)));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 13; ++x) {
      const std::uint32_t v = whole.Pixel(x, y);
      const bool inside = x >= 1 && x < 12;
      const std::uint32_t key = (v & 0xFFFFFFu) == 0xFF00FFu ? 0x00FF00FFu : v | 0xFF000000u;
      ASSERT_EQ(keyed.Pixel(x, y), inside ? key : v) << x << "," << y;
      ASSERT_EQ(cleared.Pixel(x, y), inside && v == 0xFFFF00FFu ? 0x00FF00FFu : v) << x << "," << y;
    }

  Bitmap32 p(3, 1);
  p.SetPixel(0, 0, 0x00FFFFFFu);
  p.SetPixel(1, 0, 0x80FF8040u);
  p.SetPixel(2, 0, 0xFFFFFFFFu);
  Bitmap32 q = p.Clone();
  PremultiplyAlpha(p);
  EXPECT_EQ(p.Pixel(0, 0), 0u);
  EXPECT_EQ(p.Pixel(1, 0), 0x807F4020u);
  EXPECT_EQ(p.Pixel(2, 0), 0xFFFEFEFEu);
  PremultiplyAlpha(q, true);
  EXPECT_EQ(q.Pixel(2, 0), 0xFFF4F4F4u);
}

// Per-pixel rule of nearest-neighbour stretching, clipped to both bitmaps.
TEST(Stretch, StretchNearestMatchesThePixelRuleWhenClipped) {
  Bitmap32 src(7, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) src.SetPixel(x, y, 0xFF000000u | std::uint32_t(y * 16 + x));
  // Whole-number enlargements (twice and three times across, clipped on
  // either side) take a path of their own.
  const BmpRect dstRects[] = {{0, 0, 13, 9}, {-3, -2, 10, 6}, {4, 3, 20, 15}, {2, 1, 5, 3},
                              {-3, -1, 11, 9}, {1, 0, 15, 10}, {-4, 2, 17, 17}};
  const BmpRect srcRects[] = {{0, 0, 7, 5}, {-2, -1, 6, 4}, {3, 2, 9, 8}, {1, 1, 2, 2}};
  for (const BmpRect& dr : dstRects)
    for (const BmpRect& sr : srcRects) {
      Bitmap32 got(11, 8);
      got.Fill(0x12345678u);
      StretchNearest(got, dr, src, sr);
      const int dw = dr.Width(), dh = dr.Height(), sw = sr.Width(), sh = sr.Height();
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 11; ++x) {
          std::uint32_t want = 0x12345678u;
          const int ty = y - dr.Top, tx = x - dr.Left;
          if (ty >= 0 && ty < dh && tx >= 0 && tx < dw) {
            const int sy = sr.Top + int((2LL * ty + 1) * sh / (2LL * dh));
            const int sx = sr.Left + int((2LL * tx + 1) * sw / (2LL * dw));
            if (sy >= 0 && sy < 5 && sx >= 0 && sx < 7) want = src.Pixel(sx, sy);
          }
          ASSERT_EQ(got.Pixel(x, y), want) << x << "," << y << " dst " << dr.Left << "," << dr.Top << " src "
                                           << sr.Left << "," << sr.Top;
        }
    }
}

// Twice as wide and twice as high (every border image at 200 %): rows are
// written in pairs and whole lanes of pixels at a time; widths around the
// lanes, odd offsets, clipping on every side, and sources reaching past
// either edge of their image, against the pixel rule.
TEST(Stretch, StretchNearestDoublesWideImagesByThePixelRule) {
  std::mt19937 rng(21);
  for (int sw : {1, 3, 4, 5, 8, 9, 37})
    for (int sh : {1, 2, 5})
      for (int sl : {1, -1, 3})
        for (const BmpRect& at : {BmpRect(0, 0, 2 * sw, 2 * sh), BmpRect(-3, -1, 2 * sw - 3, 2 * sh - 1),
                                  BmpRect(1, 1, 2 * sw + 1, 2 * sh + 1), BmpRect(5, -2, 2 * sw + 5, 2 * sh - 2)}) {
          Bitmap32 src(sw + 2, sh + 1);
          for (int y = 0; y < src.Height(); ++y)
            for (int x = 0; x < src.Width(); ++x) src.SetPixel(x, y, rng());
          const BmpRect sr(sl, 1, sl + sw, sh + 1);
          Bitmap32 got(2 * sw + 2, 2 * sh + 1);
          got.Fill(0x12345678u);
          StretchNearest(got, at, src, sr);
          for (int y = 0; y < got.Height(); ++y)
            for (int x = 0; x < got.Width(); ++x) {
              const int tx = x - at.Left, ty = y - at.Top, sx = sl + tx / 2;
              const bool in = tx >= 0 && tx < 2 * sw && ty >= 0 && ty < 2 * sh && sx >= 0 && sx < src.Width();
              ASSERT_EQ(got.Pixel(x, y), in ? src.Pixel(sx, 1 + ty / 2) : 0x12345678u)
                  << x << "," << y << " of " << sw << "x" << sh << " from " << sl << " at " << at.Left << ","
                  << at.Top;
            }
        }
}

// A source that is a part of the target itself is read as the rows are
// written, one pixel after another, also when rows repeat.
TEST(Stretch, StretchNearestWithinOneBitmapReadsAsItWrites) {
  auto slow = [](const Bitmap32& dst, BmpRect dr, const Bitmap32& src, BmpRect sr) {
    const int dw = dr.Width(), dh = dr.Height(), sw = sr.Width(), sh = sr.Height();
    for (int y = std::max(0, -dr.Top); y < dh && dr.Top + y < dst.Height(); ++y) {
      const int sy = sr.Top + int((2LL * y + 1) * sh / (2LL * dh));
      if (sy < 0 || sy >= src.Height()) continue;
      for (int x = std::max(0, -dr.Left); x < dw && dr.Left + x < dst.Width(); ++x) {
        const int sx = sr.Left + int((2LL * x + 1) * sw / (2LL * dw));
        if (sx >= 0 && sx < src.Width()) dst.SetPixel(dr.Left + x, dr.Top + y, src.Pixel(sx, sy));
      }
    }
  };
  const BmpRect views[] = {{0, 0, 6, 4}, {2, 1, 8, 6}, {0, 3, 12, 10}};
  const BmpRect dstRects[] = {{0, 0, 12, 10}, {1, 2, 11, 9}, {3, 0, 9, 10}};
  for (const BmpRect& v : views)
    for (const BmpRect& dr : dstRects) {
      Bitmap32 got(12, 10), want(12, 10);
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) got.SetPixel(x, y, std::uint32_t(y * 100 + x)), want.SetPixel(x, y, std::uint32_t(y * 100 + x));
      const Bitmap32 gs = got.View(v), ws = want.View(v);
      StretchNearest(got, dr, gs, gs.Bounds());
      slow(want, dr, ws, ws.Bounds());
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) ASSERT_EQ(got.Pixel(x, y), want.Pixel(x, y)) << x << "," << y;
    }
}
