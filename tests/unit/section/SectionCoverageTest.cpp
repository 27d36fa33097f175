// Texture fill modes, the four-corner gradients, the gradient on top and the
// corner images, each checked against what its table or rule says.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/SkinFixture.h"
#include "SkinRender.h"
#include "sGraphUtils.h"
#include "skin/paint/PixelOps.h"

using namespace cb;

namespace {

constexpr std::uint32_t kSentinel = 0xFF112233u;

struct Skin {
  cb::test::FakeSkinHost host;
  TacSkinManagerCore mgr{host};
  TacSkinData sd{&mgr, 96};
  Skin() { mgr.MasterBitmap = std::make_unique<Bitmap32>(32, 16); }
  Bitmap32& Master() { return *mgr.MasterBitmap; }
  TsMaskData Mask(TRect r, int count, int drawMode) {
    TsMaskData m;
    m.Manager = &mgr;
    m.R = r;
    m.ImageCount = std::uint16_t(count);
    m.DrawMode = std::uint16_t(drawMode);
    m.Width = r.Width() / count;
    m.Height = r.Height();
    return m;
  }
};

// Tile pixels all different and far from the sentinel.
std::uint32_t TilePx(int u, int v) { return 0xFF000000u | std::uint32_t(50 + u * 60) << 16 | std::uint32_t(90 + v * 70); }

int Mod(int a, int m) { return ((a % m) + m) % m; }

}  // namespace

TEST(DrawTexture, EveryFillModePaintsAndLeavesWhatItsTableSays) {
  Skin s;
  constexpr int tw = 3, th = 2;
  for (int v = 0; v < th; ++v)
    for (int u = 0; u < tw; ++u) s.Master().SetPixel(4 + u, 5 + v, TilePx(u, v));
  const TsMaskData m = s.Mask({4, 5, 4 + tw, 5 + th}, 1, 0);
  // 8 x 7: neither side a multiple of the tile, so cut tiles show.
  const int l = 1, t = 1, r = 9, b = 8;
  const BmpRect none(-1, -1, -1, -1);
  using Expect = std::function<std::uint32_t(int x, int y)>;  // kSentinel: left alone
  const auto tiled = [&](int ox, int oy) {
    return [=](int x, int y) { return TilePx(Mod(x - ox, tw), Mod(y - oy, th)); };
  };
  struct Case {
    int mode;
    BmpRect rest;
    Expect want;
  };
  const Case cases[] = {
      {0, none, tiled(l, t)},
      {2, BmpRect(l, t + th, r, b), [&](int x, int y) { return y < t + th ? TilePx((x - l) % tw, y - t) : kSentinel; }},
      {3, BmpRect(l + tw, t, r, b), [&](int x, int y) { return x < l + tw ? TilePx(x - l, (y - t) % th) : kSentinel; }},
      {6, BmpRect(l, t, r, b - th), [&](int x, int y) { return y >= b - th ? TilePx((x - l) % tw, y - (b - th)) : kSentinel; }},
      {7, BmpRect(l, t, r - tw, b), [&](int x, int y) { return x >= r - tw ? TilePx(x - (r - tw), (y - t) % th) : kSentinel; }},
      {8, none, [&](int x, int y) { return x >= r - tw ? TilePx(x - (r - tw), (y - t) % th) : kSentinel; }},
      {9, none, [&](int x, int y) { return x >= r - tw ? TilePx(x - (r - tw), (y - t) % th) : kSentinel; }},
      {14, none, [&](int x, int y) { return x >= r - tw ? TilePx(x - (r - tw), (y - t) % th) : kSentinel; }},
      {10, none, [&](int x, int y) { return x < l + 2 * tw && y < t + 3 * th ? TilePx((x - l) % tw, (y - t) % th) : kSentinel; }},
      {13, none, tiled(r - tw, b - th)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode);
    Bitmap32 bmp(10, 9);
    bmp.Fill(kSentinel);
    BmpRect rr(l, t, r, b);
    DrawTexture(bmp, rr, c.mode, m);
    EXPECT_EQ(rr, c.rest);
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x) {
        const bool in = x >= l && x < r && y >= t && y < b;
        ASSERT_EQ(bmp.Pixel(x, y), in ? c.want(x, y) : kSentinel) << x << "," << y;
      }
  }

  // Stretched modes: the tile's first and last columns (or rows) land on the
  // area's edges, and every pixel of the area is one of the tile's.
  struct Stretch {
    int mode;
    BmpRect area, rest;
  };
  const Stretch stretches[] = {{1, BmpRect(l, t, r, b), none},
                               {4, BmpRect(l, t, r, t + th), BmpRect(l, t + th, r, b)},
                               {5, BmpRect(l, t, l + tw, b), BmpRect(l + tw, t, r, b)},
                               {11, BmpRect(l, t, r, b), none},
                               {12, BmpRect(l, t, r, b), none}};
  for (const Stretch& c : stretches) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode);
    Bitmap32 bmp(10, 9);
    bmp.Fill(kSentinel);
    BmpRect rr(l, t, r, b);
    DrawTexture(bmp, rr, c.mode, m);
    EXPECT_EQ(rr, c.rest);
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x) {
        const bool in = x >= c.area.Left && x < c.area.Right && y >= c.area.Top && y < c.area.Bottom;
        if (!in) {
          ASSERT_EQ(bmp.Pixel(x, y), kSentinel) << x << "," << y;
          continue;
        }
        // Which tile row (column) a pixel may show: stretched along an axis, any;
        // tiled along it, the one its distance from the start gives.
        const bool rowsTiled = c.mode == 11, colsTiled = c.mode == 12;
        bool found = false;
        for (int v = 0; v < th && !found; ++v)
          for (int u = 0; u < tw && !found; ++u)
            found = bmp.Pixel(x, y) == TilePx(u, v) && (!rowsTiled || v == (y - t) % th) &&
                    (!colsTiled || u == (x - l) % tw);
        ASSERT_TRUE(found) << x << "," << y;
      }
    const bool stretchX = c.mode == 1 || c.mode == 4 || c.mode == 11;
    const bool stretchY = c.mode == 1 || c.mode == 5 || c.mode == 12;
    if (stretchX) {
      EXPECT_EQ(bmp.Pixel(c.area.Left, t), TilePx(0, 0));
      EXPECT_EQ(bmp.Pixel(c.area.Right - 1, t), TilePx(tw - 1, 0));
    }
    if (stretchY) {
      EXPECT_EQ(bmp.Pixel(l, c.area.Top), TilePx(0, 0));
      EXPECT_EQ(bmp.Pixel(l, c.area.Bottom - 1), TilePx(0, th - 1));
    }
  }
}

TEST(PaintGradient, FourCornersAndCentre) {
  std::vector<TsGradPoint> pts(5);
  const std::uint32_t colours[5] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000};
  for (int i = 0; i < 5; ++i) pts[size_t(i)].Color = 0xFF000000u | colours[i], pts[size_t(i)].Mode = 2;
  // Triangles over top-left (0), centre (1), top-right (2), bottom-right (3), bottom-left (4).
  Bitmap32 tri(9, 7);
  PaintGradient(tri, tri.Bounds(), pts);
  EXPECT_EQ(tri.Pixel(0, 0), ColorToPixel(colours[0], 255));
  EXPECT_EQ(tri.Pixel(4, 3), ColorToPixel(colours[1], 255));
  EXPECT_EQ(tri.Pixel(8, 0), ColorToPixel(colours[2], 255));
  EXPECT_EQ(tri.Pixel(8, 6), ColorToPixel(colours[3], 255));
  EXPECT_EQ(tri.Pixel(0, 6), ColorToPixel(colours[4], 255));
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(tri.Pixel(x, y) >> 24, 0xFFu) << x << "," << y;

  // Direction 3 is read as the four-corner mode too.
  for (TsGradPoint& p : pts) p.Mode = 3;
  Bitmap32 three(9, 7);
  PaintGradient(three, three.Bounds(), pts);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(three.Pixel(x, y), tri.Pixel(x, y)) << x << "," << y;

  // Bit 5: the corner colours of points 1 to 4 blended across the rectangle.
  pts[0].Mode = 2 | gpOnTop;
  Bitmap32 own(9, 7);
  PaintGradient(own, own.Bounds(), pts);
  EXPECT_EQ(own.Pixel(0, 0), ColorToPixel(colours[1], 255));
  EXPECT_EQ(own.Pixel(8, 0), ColorToPixel(colours[2], 255));
  EXPECT_EQ(own.Pixel(8, 6), ColorToPixel(colours[3], 255));
  EXPECT_EQ(own.Pixel(0, 6), ColorToPixel(colours[4], 255));
  // The centre is the mean of the four corners (127.5 rounds to even).
  EXPECT_EQ(own.Pixel(4, 3), ColorToPixel(0x808040u, 255));

  // Fewer than five points: the first colour only.
  pts.resize(4);
  pts[0].Mode = 2;
  Bitmap32 few(4, 4);
  PaintGradient(few, few.Bounds(), pts);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(few.Pixel(x, y), ColorToPixel(colours[0], 255));
}

TEST(PaintSectionBackground, AGradientOnTopCoversTheContentAndTheParent) {
  Skin s;
  TsGeneralData g;
  g.ClassName = "TOP";
  g.States = 1;
  g.BorderIndex = -1;
  g.Props[0].Color = 0x0000FF;
  g.Props[0].GradientPercent = 40;  // not a blend: the gradient lies over everything
  std::vector<TsGradPoint> pts(2);
  pts[0].Color = 0xFF204060, pts[0].Mode = gpOnTop;
  pts[1].Color = 0xFFA0C0E0, pts[1].Percent = 100;
  g.Props[0].GradientArray = pts;
  s.sd.gd.push_back(g);
  const BmpRect rect(2, 1, 8, 6);
  Bitmap32 want(10, 8);
  want.Fill(kSentinel);
  PaintGradient(want, rect, pts);
  for (int transparency : {0, 100}) {
    SCOPED_TRACE(transparency);
    s.sd.gd[0].Props[0].Transparency = transparency;
    Bitmap32 parent(20, 20);
    parent.Fill(0xFF445566u);
    Bitmap32 b(10, 8);
    b.Fill(kSentinel);
    PaintSectionBackground(0, MakeCacheInfo(parent), 0, clKeyColor, -1, -1, &s.sd, b, BmpPoint(3, 4), rect);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 10; ++x) ASSERT_EQ(b.Pixel(x, y), want.Pixel(x, y)) << x << "," << y;
  }
}

TEST(DrawCornerImage, OneStateCellKeyedOverTheParentClippedAndAtHalfStrength) {
  Skin s;
  // Two states of 3 x 2 side by side; the key in the second state's top-left.
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) s.Master().SetPixel(x, y, TilePx(x, y));
  s.Master().SetPixel(3, 0, 0x00FF00FFu);
  const TsMaskData m = s.Mask({0, 0, 6, 2}, 2, 0);
  Bitmap32 parent(20, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) parent.SetPixel(x, y, 0xFF000000u | std::uint32_t(x * 11) << 8 | std::uint32_t(y * 13));
  TCacheInfo bg = MakeCacheInfo(parent);
  bg.X = 4, bg.Y = 6;

  // State 7 is state 1; the key pixel shows the parent under it.
  Bitmap32 b(8, 6);
  b.Fill(kSentinel);
  DrawCornerImage(b, BmpPoint(2, 3), 7, bg, m, 1);
  EXPECT_EQ(b.Pixel(2, 3), parent.Pixel(4 + 2, 6 + 3));
  EXPECT_EQ(b.Pixel(3, 3), TilePx(4, 0));
  EXPECT_EQ(b.Pixel(4, 4), TilePx(5, 1));
  EXPECT_EQ(b.Pixel(5, 3), kSentinel);
  EXPECT_EQ(b.Pixel(1, 3), kSentinel);

  // A negative position cuts the source: column 1 of state 0 lands at x 0.
  Bitmap32 c(8, 6);
  c.Fill(kSentinel);
  DrawCornerImage(c, BmpPoint(-1, -1), 0, bg, m, 1);
  EXPECT_EQ(c.Pixel(0, 0), TilePx(1, 1));
  EXPECT_EQ(c.Pixel(1, 0), TilePx(2, 1));
  EXPECT_EQ(c.Pixel(2, 0), kSentinel);
  EXPECT_EQ(c.Pixel(0, 1), kSentinel);

  // Any other Opaque value: half strength, the key left alone.
  Bitmap32 d(8, 6);
  d.Fill(kSentinel);
  DrawCornerImage(d, BmpPoint(0, 0), 1, bg, m, 0);
  EXPECT_EQ(d.Pixel(0, 0), kSentinel);
  auto half = [](std::uint32_t src, std::uint32_t dst) {
    std::uint32_t out = 0;
    for (int sh = 0; sh < 32; sh += 8)
      out |= ((((src >> sh) & 0xFF) * 128 + ((dst >> sh) & 0xFF) * 127) >> 8) << sh;
    return out;
  };
  EXPECT_EQ(d.Pixel(1, 0), half(TilePx(4, 0), kSentinel));
  EXPECT_EQ(d.Pixel(2, 1), half(TilePx(5, 1), kSentinel));
}

// A computed outer shadow (no OUTERMASK image) lines every side of the
// control evenly, not only its corners.
TEST(OuterEffect, AComputedShadowLinesEachWholeSide) {
  const std::string options =
      "[GLOBALINFO]\nVERSION=14\n"
      "[PANEL_LOW]\nOUTERMODE=4\nOUTOFFSL=4\nOUTOFFST=4\nOUTOFFSR=4\nOUTOFFSB=4\nOUTOPACITY=255\nOUTBLUR=4\nOUTRADIUS=2\n";
  auto s = cb::test::LoadSkin("Outer", {{"Options.dat", std::vector<std::uint8_t>(options.begin(), options.end())}});
  TacSkinData& d = *s->Data(96);
  const int sec = s->Section("PANEL_LOW");
  ASSERT_GE(sec, 0);
  constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
  Bitmap32 parent(60, 50);
  parent.Fill(kWhite);
  const BmpRect ctl(20, 15, 40, 35);
  Bitmap32 saved;
  ASSERT_TRUE(PaintOuterEffect(d, sec, parent, ctl, 0, saved));
  // One pixel outside the middle of each side.
  const std::uint32_t left = parent.Pixel(ctl.Left - 1, 25), top = parent.Pixel(30, ctl.Top - 1);
  EXPECT_NE(left, kWhite);
  EXPECT_NE(top, kWhite);
  EXPECT_NE(parent.Pixel(ctl.Right, 25), kWhite);
  EXPECT_NE(parent.Pixel(30, ctl.Bottom), kWhite);
  // Between the corners the band is even.
  for (int y = ctl.Top + 4; y < ctl.Bottom - 4; ++y) EXPECT_EQ(parent.Pixel(ctl.Left - 1, y), left) << "y " << y;
  for (int x = ctl.Left + 4; x < ctl.Right - 4; ++x) EXPECT_EQ(parent.Pixel(x, ctl.Top - 1), top) << "x " << x;
  // The control's own area is not the effect's.
  EXPECT_EQ(parent.Pixel(30, 25), kWhite);
}
