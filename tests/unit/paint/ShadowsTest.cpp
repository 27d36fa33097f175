#include "skin/paint/Shadows.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(WindowShadow, SizeMarginsAndOffsetOfTheBuiltInValues) {
  const Bitmap32 s = MakeWindowShadow(0x99000000u, 17, 2, 13);
  EXPECT_EQ(s.Width(), 61);   // 2R + 2S + 1
  EXPECT_EQ(s.Height(), 63);  // one offset taller
  EXPECT_EQ(WindowShadowMargins(2, 13), BmpRect(13, 11, 13, 15));
  EXPECT_EQ(WindowShadowMargins(20, 13), BmpRect(13, 0, 13, 33));
  for (int x = 0; x < 61; ++x) {
    EXPECT_EQ(s.Pixel(x, 0), 0u);
    EXPECT_EQ(s.Pixel(x, 1), 0u);
  }
  // Corners beyond the radius are clear; the middle is the full opacity.
  EXPECT_EQ(s.Pixel(0, 2), 0u);
  EXPECT_EQ(s.Pixel(60, 62), 0u);
  EXPECT_EQ(s.Pixel(30, 32), 0x98000000u);  // 0x99 * 255 >> 8
}

TEST(WindowShadow, FalloffFollowsTheRadialFormulaAndRepeatsEdges) {
  const int r = 10, s = 3;
  const Bitmap32 img = MakeWindowShadow(0x800000FFu, r, 0, s);  // red at half opacity
  auto expect = [&](double e) {
    if (e > r) return 0u;
    double p = std::nearbyint(255.0 * (r + 1 - e) * (1 - e / r) / r);
    p = std::fmin(255.0, std::fmax(0.0, p));
    return std::uint32_t(0x80 * unsigned(p)) >> 8;
  };
  // Pixel (4, 2): distance from the corner centre (10, 10).
  const std::uint32_t a = expect(std::sqrt(36.0 + 64.0));
  EXPECT_EQ(img.Pixel(4, 2) >> 24, a);
  EXPECT_EQ((img.Pixel(4, 2) >> 16) & 0xFF, (255 * a) >> 8);  // premultiplied red
  EXPECT_EQ(img.Pixel(4, 2) & 0xFFFF, 0u);
  // Columns 10..16 repeat the centre column; the shape is symmetric.
  for (int x = 10; x <= 16; ++x) EXPECT_EQ(img.Pixel(x, 1), img.Pixel(10, 1));
  EXPECT_EQ(img.Pixel(4, 2), img.Pixel(26 - 4, 2));
  EXPECT_EQ(img.Pixel(4, 2), img.Pixel(4, 26 - 2));
  EXPECT_EQ(img.Pixel(10, 0) >> 24, expect(10.0));
}

// Every pixel, repeated rows and columns included, against the formula.
TEST(WindowShadow, EveryPixelFollowsItsCoreCoordinates) {
  const int r = 6, o = 3, s = 4, w = 2 * r + 2 * s + 1;
  const std::uint32_t color = 0xC0336699u;
  const Bitmap32 img = MakeWindowShadow(color, r, o, s);
  ASSERT_EQ(img.Width(), w);
  ASSERT_EQ(img.Height(), w + o);
  auto core = [&](int v) { return v <= r ? v : v <= r + 2 * s ? r : v - 2 * s; };
  for (int y = 0; y < w + o; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t want = 0;
      if (y >= o) {
        const double dx = core(x) - r, dy = core(y - o) - r, e = std::sqrt(dx * dx + dy * dy);
        const double p = e > r ? 0.0 : std::fmin(255.0, std::fmax(0.0, std::nearbyint(255.0 * (r + 1 - e) * (1 - e / r) / r)));
        const std::uint32_t a = ((color >> 24) * std::uint32_t(p)) >> 8;
        want = a << 24 | ((0x99u * a) >> 8) << 16 | ((0x66u * a) >> 8) << 8 | ((0x33u * a) >> 8);
      }
      ASSERT_EQ(img.Pixel(x, y), want) << x << "," << y;
    }
}

// The pair made at once is, bit for bit, the two made one by one.
TEST(WindowShadow, PairEqualsTwoSingleShadows) {
  const int params[][3] = {{17, 2, 13}, {6, 0, 4}, {0, 3, 2}, {34, 4, 26}};
  for (const auto& p : params) {
    const auto [a, n] = MakeWindowShadows(0x99000000u, 0x44336699u, p[0], p[1], p[2]);
    const Bitmap32 wantA = MakeWindowShadow(0x99000000u, p[0], p[1], p[2]);
    const Bitmap32 wantN = MakeWindowShadow(0x44336699u, p[0], p[1], p[2]);
    ASSERT_EQ(a.Width(), wantA.Width());
    ASSERT_EQ(a.Height(), wantA.Height());
    ASSERT_EQ(n.Width(), wantN.Width());
    ASSERT_EQ(n.Height(), wantN.Height());
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x) {
        ASSERT_EQ(a.Pixel(x, y), wantA.Pixel(x, y)) << p[0] << " " << x << "," << y;
        ASSERT_EQ(n.Pixel(x, y), wantN.Pixel(x, y)) << p[0] << " " << x << "," << y;
      }
  }
}

TEST(WindowShadow, ZeroRadiusIsAHardRectangle) {
  const Bitmap32 img = MakeWindowShadow(0xFF000000u, 0, 1, 2);
  EXPECT_EQ(img.Width(), 5);
  EXPECT_EQ(img.Height(), 6);
  EXPECT_EQ(img.Pixel(0, 0), 0u);
  EXPECT_EQ(img.Pixel(0, 1), 0xFE000000u);
  EXPECT_EQ(img.Pixel(4, 5), 0xFE000000u);
}

TEST(BlurredShape, MaskDarkInsideFadingOutsideWithSideColours) {
  ShadowShapeColors colors{0x0000FF, 0x00FF00, 0xFF0000, 0xFF00FF};  // bottom keyed
  const Bitmap32 b = MakeBlurredShape(20, 20, BmpRect(5, 5, 15, 15), 3, 4, colors);
  ASSERT_EQ(b.Width(), 20);
  ASSERT_EQ(b.Height(), 40);
  auto mask = [&](int x, int y) { return b.Pixel(x, y + 20) & 0xFF; };
  EXPECT_EQ(mask(10, 10), 0u);    // solid
  EXPECT_EQ(mask(0, 10), 255u);   // beyond the blur
  EXPECT_GT(mask(3, 10), mask(4, 10));  // fading outwards
  EXPECT_LT(mask(4, 10), 255u);
  // The rounded corner: the rectangle's corner pixel is not solid.
  EXPECT_GT(mask(5, 5), 0u);
  EXPECT_EQ(mask(6, 10), 0u);
  EXPECT_EQ(b.Pixel(2, 10), 0xFFFF0000u);  // left: red
  EXPECT_EQ(b.Pixel(10, 2), 0xFF00FF00u);  // top: green
  EXPECT_EQ(b.Pixel(17, 10), 0xFF0000FFu); // right: blue
  EXPECT_EQ(b.Pixel(10, 17), 0x00FF00FFu); // bottom: key
  EXPECT_EQ(mask(10, 17), 255u);
  EXPECT_TRUE(MakeBlurredShape(0, 5, BmpRect(), 1, 1, colors).Empty());
}
