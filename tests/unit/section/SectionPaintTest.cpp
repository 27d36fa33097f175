// Exact-pixel rules of the section painter on small hand-made skins.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/SkinFixture.h"
#include "SkinRender.h"
#include "sGraphUtils.h"
#include "skin/paint/PixelOps.h"

using namespace cb;

namespace {

constexpr std::uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

// A manager core with an empty skin data of our own making.
struct Skin {
  cb::test::FakeSkinHost host;
  TacSkinManagerCore mgr{host};
  TacSkinData sd{&mgr, 96};

  Skin() { mgr.MasterBitmap = std::make_unique<Bitmap32>(64, 32); }
  Bitmap32& Master() { return *mgr.MasterBitmap; }
  int AddSection(int states, std::uint32_t c0, std::uint32_t c1 = 0, std::uint32_t c2 = 0) {
    TsGeneralData g;
    g.ClassName = "S" + std::to_string(sd.gd.size());
    g.States = states;
    g.BorderIndex = -1;
    g.Props[0].Color = std::int32_t(c0);
    g.Props[1].Color = std::int32_t(c1);
    g.Props[2].Color = std::int32_t(c2);
    sd.gd.push_back(g);
    return int(sd.gd.size()) - 1;
  }
  int AddMask(TRect r, int count, int wl, int wt, int wr, int wb, int drawMode, int maskType = 0) {
    TsMaskData m;
    m.Manager = &mgr;
    m.R = r;
    m.ImageCount = std::uint16_t(count);
    m.MaskType = std::uint16_t(maskType);
    m.WL = std::uint16_t(wl), m.WT = std::uint16_t(wt), m.WR = std::uint16_t(wr), m.WB = std::uint16_t(wb);
    m.DrawMode = std::uint16_t(drawMode);
    m.Width = r.Width() / count;
    m.Height = r.Height() / (maskType + 1);
    sd.ma.push_back(m);
    return int(sd.ma.size()) - 1;
  }
};

std::uint32_t Px(std::uint32_t colour) { return ColorToPixel(colour, 255); }

// Every pixel its own colour, so that a read at the wrong place shows.
Bitmap32 Gradient(int w, int h) {
  Bitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, 0xFF000000u | std::uint32_t(x * 9) << 16 | std::uint32_t(y * 7) << 8 | 0x40);
  return b;
}

TCacheInfo FillBG(std::uint32_t colour) {
  TCacheInfo bg;
  bg.FillColor = colour;
  return bg;
}

}  // namespace

TEST(DrawBorderMask, BorderWidthsAreCutForNarrowRectangles) {
  Skin s;
  // 5 x 5 cell, each column its own grey level so the source column shows.
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 5; ++y) s.Master().SetPixel(x, y, 0xFF000000u | std::uint32_t(10 * (x + 1)) * 0x010101u);
  auto col = [](const Bitmap32& b, int x) { return b.Pixel(x, 2) & 0xFF; };
  {
    const int mi = s.AddMask({0, 0, 5, 5}, 1, 2, 2, 2, 2, 0);
    Bitmap32 b(3, 5);
    DrawBorderMask(b, b.Bounds(), FillBG(kWhite), false, 1, s.sd.ma[size_t(mi)]);
    // d = 1, h = 0: WL stays 2, WR loses the odd pixel.
    EXPECT_EQ(col(b, 0), 10u);
    EXPECT_EQ(col(b, 1), 20u);
    EXPECT_EQ(col(b, 2), 50u);
  }
  {
    const int mi = s.AddMask({0, 0, 5, 5}, 1, 3, 1, 3, 1, 0);
    Bitmap32 b(2, 5);
    DrawBorderMask(b, b.Bounds(), FillBG(kWhite), false, 1, s.sd.ma[size_t(mi)]);
    // d = 4, h = 2: one pixel each side; CW = 5 - 1 - 1.
    EXPECT_EQ(col(b, 0), 10u);
    EXPECT_EQ(col(b, 1), 50u);
  }
}

TEST(DrawBorderMask, TilesSidesAndStretchesWithBitZero) {
  Skin s;
  // Cell 4 x 3: left border 1 (red), top/bottom 0, two centre columns blue/green, right 1 (red).
  const std::uint32_t cols[4] = {kRed, kBlue, kGreen, kRed};
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 3; ++y) s.Master().SetPixel(x, y, Px(cols[x]));
  const int tiled = s.AddMask({0, 0, 4, 3}, 1, 1, 0, 1, 0, 4);
  const int stretched = s.AddMask({0, 0, 4, 3}, 1, 1, 0, 1, 0, 5);
  Bitmap32 b(7, 3);
  DrawBorderMask(b, b.Bounds(), FillBG(kWhite), false, 0, s.sd.ma[size_t(tiled)]);
  const std::uint32_t want[7] = {kRed, kBlue, kGreen, kBlue, kGreen, kBlue, kRed};
  for (int x = 0; x < 7; ++x) EXPECT_EQ(b.Pixel(x, 1), Px(want[x])) << x;
  Bitmap32 c(6, 3);
  DrawBorderMask(c, c.Bounds(), FillBG(kWhite), false, 0, s.sd.ma[size_t(stretched)]);
  const std::uint32_t want2[6] = {kRed, kBlue, kBlue, kGreen, kGreen, kRed};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(c.Pixel(x, 1), Px(want2[x])) << x;
}

TEST(PaintSection, StateIsClampedToTheSectionsStates) {
  Skin s;
  const int si = s.AddSection(2, kRed, kGreen, kBlue);
  Bitmap32 b(4, 4);
  PaintSectionByIndex(si, FillBG(kWhite), -1, -1, &s.sd, b, {}, b.Bounds(), 3);
  EXPECT_EQ(b.Pixel(1, 1), Px(kGreen));
  const int three = s.AddSection(3, kRed, kGreen, kBlue);
  PaintSectionByIndex(three, FillBG(kWhite), -1, -1, &s.sd, b, {}, b.Bounds(), 7);
  EXPECT_EQ(b.Pixel(1, 1), Px(kBlue));
  // A rectangle that leaves the bitmap paints nothing.
  b.Fill(0);
  PaintSectionByIndex(si, FillBG(kWhite), -1, -1, &s.sd, b, {}, BmpRect(0, 0, 6, 4), 0);
  EXPECT_EQ(b.Pixel(0, 0), 0u);
}

TEST(PaintSection, BorderWithBitOneIsAbsentInStateZero) {
  Skin s;
  for (int x = 0; x < 6; ++x)
    for (int y = 0; y < 3; ++y) s.Master().SetPixel(x, y, Px(kBlue));
  const int si = s.AddSection(2, kWhite, kWhite);
  s.sd.gd[size_t(si)].BorderIndex = s.AddMask({0, 0, 6, 3}, 2, 1, 1, 1, 1, 3);
  skintool::FixedBinding bind(&s.sd, si);
  Bitmap32 b(8, 8);
  PaintSection(bind, FillBG(kWhite), false, 0, b, {}, b.Bounds());
  EXPECT_EQ(b.Pixel(0, 0), Px(kWhite));
  PaintSection(bind, FillBG(kWhite), false, 1, b, {}, b.Bounds());
  EXPECT_EQ(b.Pixel(0, 0), Px(kBlue));
  EXPECT_EQ(b.Pixel(7, 4), Px(kBlue));
  EXPECT_EQ(b.Pixel(4, 4), Px(kWhite));  // no centre without bit 2
}

TEST(PaintSection, FullTransparencyReproducesTheParent) {
  Skin s;
  const int si = s.AddSection(1, kRed);
  s.sd.gd[size_t(si)].Props[0].Transparency = 100;
  Bitmap32 parent(20, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) parent.SetPixel(x, y, 0xFF000000u | std::uint32_t(x * 12 + y));
  TCacheInfo bg = MakeCacheInfo(parent);
  Bitmap32 b(6, 5);
  PaintSectionByIndex(si, bg, -1, -1, &s.sd, b, BmpPoint(7, 9), b.Bounds(), 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(b.Pixel(x, y), parent.Pixel(7 + x, 9 + y));
  // Half transparency over a plain parent colour: the colour mix.
  s.sd.gd[size_t(si)].Props[0].Transparency = 50;
  PaintSectionByIndex(si, FillBG(kBlue), -1, -1, &s.sd, b, {}, b.Bounds(), 0);
  EXPECT_EQ(b.Pixel(2, 2), Px(MixTwoColours(kBlue, kRed, 127) & 0xFFFFFF));
}

TEST(PaintSection, KeyedCornerOverReadyParentShowsTheParent) {
  Skin s;
  for (int x = 0; x < 3; ++x)
    for (int y = 0; y < 3; ++y) s.Master().SetPixel(x, y, Px(kBlue));
  s.Master().SetPixel(0, 0, 0x00FF00FF);  // transparent corner pixel
  const int si = s.AddSection(1, kWhite);
  const int mi = s.AddMask({0, 0, 3, 3}, 1, 1, 1, 1, 1, 1);
  s.sd.ma[size_t(mi)].Cfg = 1;
  s.sd.gd[size_t(si)].BorderIndex = mi;
  Bitmap32 parent = Gradient(30, 30);
  Bitmap32 b(10, 10);
  PaintSectionByIndex(si, MakeCacheInfo(parent), -1, -1, &s.sd, b, BmpPoint(5, 3), b.Bounds(), 0);
  EXPECT_EQ(b.Pixel(0, 0), parent.Pixel(5, 3));
  EXPECT_EQ(b.Pixel(1, 0), Px(kBlue));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_NE(b.Pixel(x, y) & 0xFFFFFF, 0xFF00FFu);
}

TEST(DrawTexture, ModeTwoFillsOneRowAndReportsTheRest) {
  Skin s;
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 10; ++y) s.Master().SetPixel(x, y, Px(kGreen));
  const int si = s.AddSection(1, kRed);
  const int ti = s.AddMask({0, 0, 4, 10}, 1, 0, 0, 0, 0, 2);
  s.sd.ma[size_t(ti)].ImgType = itisaTexture;
  s.sd.gd[size_t(si)].Props[0].TextureIndex = ti;
  s.sd.gd[size_t(si)].Props[0].ImagePercent = 100;
  Bitmap32 b(9, 30);
  PaintSectionByIndex(si, FillBG(kWhite), -1, -1, &s.sd, b, {}, b.Bounds(), 0);
  for (int y = 0; y < 30; ++y) EXPECT_EQ(b.Pixel(8, y), Px(y < 10 ? kGreen : kRed)) << y;
  BmpRect r(0, 0, 9, 30);
  DrawTexture(b, r, 2, s.sd.ma[size_t(ti)]);
  EXPECT_EQ(r, BmpRect(0, 10, 9, 30));
  r = BmpRect(0, 0, 9, 30);
  DrawTexture(b, r, 0, s.sd.ma[size_t(ti)]);
  EXPECT_EQ(r, BmpRect(-1, -1, -1, -1));
}

TEST(PaintGradient, VerticalAndHorizontalBands) {
  std::vector<TsGradPoint> pts(2);
  pts[0].Color = 0xFF000000;  // black, top byte as the loader leaves it
  pts[1].Color = 0xFF0000C8;  // red 200
  pts[1].Percent = 100;
  Bitmap32 b(3, 5);
  PaintGradient(b, b.Bounds(), pts);
  // 5 rows: step 40 per row.
  for (int y = 0; y < 5; ++y) EXPECT_EQ(b.Pixel(1, y), 0xFF000000u | std::uint32_t(40 * y) << 16) << y;
  pts[0].Mode = pts[1].Mode = 1;
  Bitmap32 h(4, 2);
  PaintGradient(h, h.Bounds(), pts);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(h.Pixel(x, 1), 0xFF000000u | std::uint32_t(50 * x) << 16) << x;
  // Gradient at 60 % tinted towards the colour for the remaining 40 %.
  Skin s;
  const int si = s.AddSection(1, kWhite);
  s.sd.gd[size_t(si)].Props[0].GradientPercent = 60;
  s.sd.gd[size_t(si)].Props[0].GradientArray = {pts[0], pts[1]};
  s.sd.gd[size_t(si)].Props[0].GradientArray[0].Mode = 0;
  s.sd.gd[size_t(si)].Props[0].GradientArray[1].Mode = 0;
  Bitmap32 g(2, 5);
  PaintSectionByIndex(si, FillBG(kWhite), -1, -1, &s.sd, g, {}, g.Bounds(), 0);
  const int a = 60 * 255 / 100;
  EXPECT_EQ(g.Pixel(0, 0), 0xFF000000u | std::uint32_t((255 * (255 - a)) >> 8) * 0x010101u);
}

TEST(PaintSection, ColourEffectsSkipKeyPixelsAndApplyWhenOpaque) {
  Skin s;
  const int si = s.AddSection(1, kWhite);
  struct Toned : skintool::FixedBinding {
    using FixedBinding::FixedBinding;
    std::uint32_t ColorTone() const override { return kRed; }
  } bind(&s.sd, si);
  Bitmap32 b(4, 4);
  PaintSection(bind, FillBG(kWhite), false, 0, b, {}, BmpRect(0, 0, 4, 2));
  EXPECT_EQ(b.Pixel(0, 0), ApplyPixelOp(Px(kWhite), TPixelOp::Tone, int(kRed)));
  // Transparent sections get no effects.
  s.sd.gd[size_t(si)].Props[0].Transparency = 100;
  b.Fill(Px(kGreen));
  PaintSection(bind, FillBG(kGreen), false, 0, b, {}, b.Bounds());
  EXPECT_EQ(b.Pixel(1, 1), Px(kGreen));
}

namespace {

// Every pixel different, alpha included, so that any misplaced read shows.
Bitmap32 Noise(int w, int h, std::uint32_t seed) {
  Bitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      b.SetPixel(x, y, seed ^ (seed >> 15));
    }
  return b;
}

// A half-transparent state as one image: the content painted alone, the
// parent copied under the rectangle, then the two blended by the weight.
Bitmap32 Composed(const Bitmap32& start, const BmpRect& r, const Bitmap32& parent, BmpPoint at,
                  const std::vector<TsGradPoint>& pts, int gradientPercent, std::uint32_t colour, int transparency) {
  Bitmap32 want(start.Width(), start.Height());
  CopyPiece(want, {}, start, start.Bounds());
  Bitmap32 content(r.Width(), r.Height());
  PaintGradient(content, content.Bounds(), pts);
  if (gradientPercent < 100) TintRect32(content, content.Bounds(), gradientPercent * 255 / 100, colour);
  CopyPiece(want, BmpPoint(r.Left, r.Top), parent, BmpRect(at.X, at.Y, at.X + r.Width(), at.Y + r.Height()));
  BlendBitmapConst(want, content, transparency * 255 / 100, BmpPoint(r.Left, r.Top),
                   BmpRect(0, 0, r.Width() - 1, r.Height() - 1));
  return want;
}

}  // namespace

TEST(PaintSectionBackground, HalfTransparentContentIsBlendedOverTheParentAsOneImage) {
  Skin s;
  const int si = s.AddSection(1, 0x3060C0);
  TsGenState& st = s.sd.gd[size_t(si)].Props[0];
  st.Transparency = 30;
  std::vector<TsGradPoint> pts(3);
  pts[0].Color = 0xFF102030, pts[1].Color = 0xFFE0C0A0, pts[2].Color = 0xFF00FF00;
  pts[1].Percent = 40, pts[2].Percent = 100;
  Bitmap32 parent = Noise(40, 30, 7);
  struct Case { int w, h, gradPercent, mode; BmpRect r; BmpPoint at; };
  const Case cases[] = {
      {20, 12, 100, 0, BmpRect(2, 1, 19, 11), {9, 6}},    // top-to-bottom bands over a parent that covers it
      {20, 12, 60, 0, BmpRect(0, 0, 20, 12), {3, 4}},     // bands tinted towards the colour
      {20, 12, 100, 0, BmpRect(1, 2, 17, 12), {30, 25}},  // the parent ends inside the rectangle
      {20, 12, 100, 1, BmpRect(2, 1, 19, 11), {9, 6}},    // left-to-right bands
      {9, 7, 100, 0, BmpRect(-3, 2, 8, 10), {5, 5}},      // the rectangle leaves the bitmap
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " mode " << c.mode << " at " << c.at.X << "," << c.at.Y);
    st.GradientPercent = c.gradPercent;
    st.GradientArray = pts;
    for (TsGradPoint& p : st.GradientArray) p.Mode = std::uint32_t(c.mode);
    const Bitmap32 start = Noise(c.w, c.h, 99);
    Bitmap32 b(c.w, c.h);
    CopyPiece(b, {}, start, start.Bounds());
    TCacheInfo bg = MakeCacheInfo(parent);
    bg.X = c.at.X - c.r.Left;  // the parent's pixel under the rectangle's top left is at
    bg.Y = c.at.Y - c.r.Top;
    PaintSectionBackground(si, bg, 0, clKeyColor, -1, -1, &s.sd, b, BmpPoint(c.r.Left, c.r.Top), c.r);
    const Bitmap32 want = Composed(start, c.r, parent, c.at, st.GradientArray, c.gradPercent, 0x3060C0, 30);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) ASSERT_EQ(b.Pixel(x, y), want.Pixel(x, y)) << x << "," << y;
  }
}

TEST(DrawBorderMask, StretchedPiecesAreNearestSamplesOfTheirPieces) {
  Skin s;
  // A 7 x 6 cell at (10, 2); borders 2, 1, 3, 2; stretched sides and centre.
  for (int y = 0; y < 8; ++y)
    for (int x = 10; x < 17; ++x) s.Master().SetPixel(x, y, 0xFF000000u | std::uint32_t(x * 4099 + y * 131));
  const int mi = s.AddMask({10, 2, 17, 8}, 1, 2, 1, 3, 2, 1 | 4);
  const TsMaskData& m = s.sd.ma[size_t(mi)];
  auto reference = [&](Bitmap32& want, const BmpRect& r) {
    const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
    auto corner = [&](int sx, int sy, int w, int h, int dx, int dy) {
      CopyPiece(want, BmpPoint(dx, dy), s.Master(), BmpRect(sx, sy, sx + w, sy + h));
    };
    auto piece = [&](BmpRect src, BmpRect dst) { StretchNearest(want, dst, s.Master(), src); };
    corner(10, 2, 2, 1, L, T);
    corner(14, 2, 3, 1, R - 3, T);
    corner(10, 6, 2, 2, L, B - 2);
    corner(14, 6, 3, 2, R - 3, B - 2);
    piece(BmpRect(10, 3, 12, 6), BmpRect(L, T + 1, L + 2, B - 2));
    piece(BmpRect(14, 3, 17, 6), BmpRect(R - 3, T + 1, R, B - 2));
    piece(BmpRect(12, 2, 14, 3), BmpRect(L + 2, T, R - 3, T + 1));
    piece(BmpRect(12, 6, 14, 8), BmpRect(L + 2, B - 2, R - 3, B));
    piece(BmpRect(12, 3, 14, 6), BmpRect(L + 2, T + 1, R - 3, B - 2));
  };
  // Narrower and wider than the cell, and a rectangle hanging off two edges.
  const BmpRect rects[] = {BmpRect(0, 0, 5, 3),  BmpRect(0, 0, 6, 4),   BmpRect(0, 0, 7, 6),   BmpRect(0, 0, 41, 23),
                           BmpRect(0, 0, 13, 5), BmpRect(-4, -3, 30, 9), BmpRect(6, 5, 50, 40), BmpRect(0, 0, 200, 4)};
  for (const BmpRect& r : rects) {
    SCOPED_TRACE(testing::Message() << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom);
    Bitmap32 b = Noise(40, 30, 3), want = Noise(40, 30, 3);
    DrawBorderMask(b, r, FillBG(kWhite), false, 0, m);
    reference(want, r);
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) ASSERT_EQ(b.Pixel(x, y), want.Pixel(x, y)) << x << "," << y;
  }
}

namespace {

// The opacity rule of outer effects for one channel.
std::uint32_t Over(std::uint32_t dst, std::uint32_t img, int m, int alpha) {
  std::uint32_t out = 0;
  for (int k = 0; k < 24; k += 8)
    out |= ((((dst >> k) & 0xFF) * std::uint32_t(255 - m) + ((img >> k) & 0xFF) * std::uint32_t(m)) >> 8) << k;
  return out | std::uint32_t(std::max<int>(int(dst >> 24), alpha)) << 24;
}

std::uint32_t Distinct(int x, int y) { return 0xFF000000u | std::uint32_t(x * 40 + 3) << 16 | std::uint32_t(y * 40 + 3); }

}  // namespace

TEST(DrawOuterMask, BandsComeFromTheImagesOuterEdgeOverItsWholeHeight) {
  Skin s;
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 7; ++x) s.Master().SetPixel(x, y, Distinct(x, y));
  // A plain 7 x 7 image with borders of 3 and the control one pixel inside
  // on every side: only the outermost row or column of each border shows.
  const int mi = s.AddMask({0, 0, 7, 7}, 1, 3, 3, 3, 3, dmStretch);
  const int op = 200, m = op * 255 >> 8;
  const std::uint32_t black = 0xFF000000u;
  Bitmap32 b(8, 8);
  b.Fill(black);
  DrawOuterMask(b, b.Bounds(), FillBG(kWhite), op, TMargins(1, 1, 1, 1), 1, s.sd.ma[size_t(mi)]);
  EXPECT_EQ(b.Pixel(0, 0), Over(black, Distinct(0, 0), m, 255));
  EXPECT_EQ(b.Pixel(7, 0), Over(black, Distinct(6, 0), m, 255));
  EXPECT_EQ(b.Pixel(0, 7), Over(black, Distinct(0, 6), m, 255));
  EXPECT_EQ(b.Pixel(7, 7), Over(black, Distinct(6, 6), m, 255));
  for (int i = 1; i < 7; ++i) {
    // Sides: the image's side between its full borders, stretched.
    EXPECT_EQ(b.Pixel(0, i), Over(black, Distinct(0, 3), m, 255)) << i;
    EXPECT_EQ(b.Pixel(i, 0), Over(black, Distinct(3, 0), m, 255)) << i;
    EXPECT_EQ(b.Pixel(7, i), Over(black, Distinct(6, 3), m, 255)) << i;
    EXPECT_EQ(b.Pixel(i, 7), Over(black, Distinct(3, 6), m, 255)) << i;
  }
  EXPECT_EQ(b.Pixel(3, 3), black);  // the control's own area is not covered
  // Borders as wide as the offsets: the lower half of a plain image is painted too.
  const int full = s.AddMask({0, 0, 6, 6}, 1, 3, 3, 3, 3, 0);
  Bitmap32 c(6, 6);
  c.Fill(0x00000000u);
  DrawOuterMask(c, c.Bounds(), FillBG(kWhite), 255, TMargins(3, 3, 3, 3), 1, s.sd.ma[size_t(full)]);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(c.Pixel(x, y), Over(0, Distinct(x, y), 254, 255)) << x << "," << y;
}

TEST(DrawOuterMask, SidesAreTiledUnlessStretched) {
  Skin s;
  // Cell 4 x 3: borders of 1; the top side holds two columns, A and B.
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) s.Master().SetPixel(x, y, Distinct(x, y));
  const int tiled = s.AddMask({0, 0, 4, 3}, 1, 1, 1, 1, 1, 0);
  const int stretched = s.AddMask({0, 0, 4, 3}, 1, 1, 1, 1, 1, dmStretch);
  const int cols[2][6] = {{1, 2, 1, 2, 1, 2}, {1, 1, 1, 2, 2, 2}};
  for (int k = 0; k < 2; ++k) {
    Bitmap32 b(8, 5);
    b.Fill(0xFF000000u);
    DrawOuterMask(b, b.Bounds(), FillBG(kWhite), 255, TMargins(1, 1, 1, 1), 1, s.sd.ma[size_t(k ? stretched : tiled)]);
    for (int x = 1; x < 7; ++x)
      EXPECT_EQ(b.Pixel(x, 0), Over(0xFF000000u, Distinct(cols[k][x - 1], 0), 254, 255)) << k << ": " << x;
  }
}

TEST(DrawOuterMask, AlphaImagesAreBlendedByTheirOwnAlphaAndTheOpacity) {
  Skin s;
  // A fully transparent shadow except one half-transparent pixel per corner.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) s.Master().SetPixel(x, y, 0x00000000u);
  for (int p : {0, 3}) {
    s.Master().SetPixel(p, 0, 0x80402010u);
    s.Master().SetPixel(p, 3, 0x80402010u);
  }
  const int mi = s.AddMask({0, 0, 4, 4}, 1, 1, 1, 1, 1, dmAlpha | dmStretch);
  for (int op : {255, 128}) {
    Bitmap32 b(10, 7), want(10, 7);
    b.Fill(Px(kWhite));
    want.Fill(Px(kWhite));
    DrawOuterMask(b, b.Bounds(), FillBG(kWhite), op, TMargins(1, 1, 1, 1), 1, s.sd.ma[size_t(mi)]);
    for (BmpPoint at : {BmpPoint(0, 0), BmpPoint(9, 0), BmpPoint(0, 6), BmpPoint(9, 6)})
      BlendPieceAlpha(want, s.Master(), BmpRect(0, 0, 0, 0), op, at);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 10; ++x) ASSERT_EQ(b.Pixel(x, y), want.Pixel(x, y)) << op << ": " << x << "," << y;
  }
}

TEST(DrawOuterMask, PiecesBeyondTheImageAreNotRead) {
  Skin s;
  // The master is 64 x 32; a cell claimed 80 pixels wide starting at 40
  // puts the right-hand border past the image's last column.
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) s.Master().SetPixel(x, y, Distinct(x % 6, y % 6));
  const int mi = s.AddMask({40, 0, 120, 8}, 1, 2, 2, 2, 2, 0);
  for (int opts = 0; opts < 2; ++opts) {
    s.sd.ma[size_t(mi)].DrawMode = std::uint16_t(opts ? dmStretch | dmCentre : 0);
    Bitmap32 b(90, 10);
    b.Fill(0x12345678u);
    DrawOuterMask(b, b.Bounds(), FillBG(kWhite), 255, TMargins(2, 2, 2, 2), 1, s.sd.ma[size_t(mi)]);
    EXPECT_NE(b.Pixel(0, 0), 0x12345678u);
    for (int y = 0; y < 10; ++y)
      for (int x = 88; x < 90; ++x) ASSERT_EQ(b.Pixel(x, y), 0x12345678u) << opts << ": " << x << "," << y;
  }
}

namespace {

// A control whose parent answers with the given background.
struct OverParent : skintool::FixedBinding {
  TCacheInfo bg;
  OverParent(TacSkinData* sd, int index, const TCacheInfo& b) : FixedBinding(sd, index), bg(b) {}
  bool ParentBackground(TCacheInfo& out) override {
    out = bg;
    return true;
  }
};

}  // namespace

TEST(RestoreCorners, KeyPixelsTakeTheParentOrAKnownColourButNeverTheKey) {
  Skin s;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) s.Master().SetPixel(x, y, Px(kBlue));
  for (int p : {0, 2}) {
    s.Master().SetPixel(p, p, 0x00FF00FF);
    s.Master().SetPixel(2 - p, p, 0x00FF00FF);
  }
  const int si = s.AddSection(1, kWhite);
  const int mi = s.AddMask({0, 0, 3, 3}, 1, 1, 1, 1, 1, 0);
  s.sd.ma[size_t(mi)].Cfg = cfgKeyCorners;
  s.sd.gd[size_t(si)].BorderIndex = mi;
  // The parent's image covers only the top left of the 6 x 6 control.
  Bitmap32 parent = Gradient(8, 8);
  for (std::uint32_t fill : {clKeyColor, kGreen}) {
    TCacheInfo bg = MakeCacheInfo(parent);
    bg.X = 3, bg.Y = 4;
    bg.FillColor = fill;
    OverParent bind(&s.sd, si, bg);
    Bitmap32 cache(6, 6);
    cache.Fill(0xFF112233u);
    RestoreCorners(bind, cache, 0, kCornersAll);
    const std::uint32_t outside = fill == clKeyColor ? 0xFF112233u : Px(fill);
    EXPECT_EQ(cache.Pixel(0, 0), parent.Pixel(3, 4));
    EXPECT_EQ(cache.Pixel(5, 0), outside);
    EXPECT_EQ(cache.Pixel(0, 5), outside);
    EXPECT_EQ(cache.Pixel(5, 5), outside);
    EXPECT_EQ(cache.Pixel(1, 1), 0xFF112233u);
  }
}

TEST(RestoreCorners, AMaskWithItsOwnImageIsOneCell) {
  Skin s;
  // Four key corners in a 4 x 4 image the record claims holds two states.
  Bitmap32 own(4, 4);
  own.Fill(Px(kBlue));
  for (BmpPoint p : {BmpPoint(0, 0), BmpPoint(3, 0), BmpPoint(0, 3), BmpPoint(3, 3)}) own.SetPixel(p.X, p.Y, 0x00FF00FF);
  const int si = s.AddSection(2, kWhite, kWhite);
  const int mi = s.AddMask({0, 0, 4, 4}, 2, 1, 1, 1, 1, 0);
  s.sd.ma[size_t(mi)].Bmp = &own;
  s.sd.ma[size_t(mi)].Cfg = cfgKeyCorners;
  s.sd.gd[size_t(si)].BorderIndex = mi;
  Bitmap32 parent = Gradient(20, 20);
  TCacheInfo bg = MakeCacheInfo(parent);
  bg.X = 5, bg.Y = 2;
  OverParent bind(&s.sd, si, bg);
  Bitmap32 cache(7, 5);
  cache.Fill(0xFF112233u);
  RestoreCorners(bind, cache, 1, kCornersAll);
  for (BmpPoint p : {BmpPoint(0, 0), BmpPoint(6, 0), BmpPoint(0, 4), BmpPoint(6, 4)})
    EXPECT_EQ(cache.Pixel(p.X, p.Y), parent.Pixel(5 + p.X, 2 + p.Y)) << p.X << "," << p.Y;
}

TEST(PaintSectionBackground, MaskedTexturesShowTheParentAtTheControlsOffset) {
  Skin s;
  // A 4 x 4 tile with a black mask below it (the image shows as it is);
  // every third diagonal is the key and shows the parent.
  auto keyed = [](int x, int y) { return (x + y) % 3 == 0; };
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      s.Master().SetPixel(x, y, keyed(x, y) ? 0x00FF00FFu : Distinct(x, y));
      s.Master().SetPixel(x, y + 4, 0xFF000000u);
    }
  const int si = s.AddSection(1, kRed);
  const int ti = s.AddMask({0, 0, 4, 8}, 1, 0, 0, 0, 0, fmTile, 1);
  TsGenState& st = s.sd.gd[size_t(si)].Props[0];
  st.TextureIndex = ti;
  st.ImagePercent = 100;
  Bitmap32 parent = Gradient(40, 40);
  const BmpRect rect(2, 1, 10, 9);
  const BmpPoint offset(5, 4);
  struct Case { int mode, transparency; };
  for (Case c : {Case{fmTile, 0}, Case{fmTile, 50}, Case{fmWholeTiles, 0}, Case{fmWholeTiles, 50},
                 Case{fmWholeTiles, 100}}) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", transparency " << c.transparency);
    s.sd.ma[size_t(ti)].DrawMode = std::uint16_t(c.mode);
    st.Transparency = c.transparency;
    TCacheInfo bg = MakeCacheInfo(parent);
    bg.X = 2, bg.Y = 3;
    Bitmap32 b(14, 12);
    b.Fill(0xFF112233u);
    PaintSectionBackground(si, bg, 0, clKeyColor, -1, -1, &s.sd, b, offset, rect);
    for (int y = rect.Top; y < rect.Bottom; ++y)
      for (int x = rect.Left; x < rect.Right; ++x) {
        const int tx = (x - rect.Left) % 4, ty = (y - rect.Top) % 4;
        const std::uint32_t under = parent.Pixel(bg.X + offset.X + x - rect.Left, bg.Y + offset.Y + y - rect.Top);
        if (keyed(tx, ty)) {
          ASSERT_EQ(b.Pixel(x, y), under) << x << "," << y;
        } else if (c.transparency == 0) {
          ASSERT_EQ(b.Pixel(x, y), Distinct(tx, ty)) << x << "," << y;
        }
      }
  }
}

TEST(PaintSectionBackground, ACustomSystemColourGoesThroughTheSkinPalette) {
  Skin s;
  s.mgr.SkinCommonInfo.Active = true;
  s.mgr.Palette[pcMainColor] = 0x2468AC;
  const int si = s.AddSection(1, kRed);
  Bitmap32 b(3, 3);
  PaintSectionBackground(si, FillBG(kWhite), 0, clBtnFace, -1, -1, &s.sd, b, {}, b.Bounds());
  EXPECT_EQ(b.Pixel(1, 1), Px(0x2468AC));
  PaintSectionBackground(si, FillBG(kWhite), 0, kGreen, -1, -1, &s.sd, b, {}, b.Bounds());
  EXPECT_EQ(b.Pixel(1, 1), Px(kGreen));
}

TEST(SectionPainters, MaskRowsOutsideTheImageAreNotRead) {
  // The master is the lower half of a larger bitmap, so that rows above it
  // are memory a stray read would reach without crashing.
  Bitmap32 whole(8, 20);
  whole.Fill(0xFF808080u);
  Skin s;
  s.mgr.MasterBitmap = std::make_unique<Bitmap32>(whole.View(BmpRect(0, 10, 8, 20)));
  s.Master().Fill(0xFF204060u);
  // A rectangle claimed upside down puts the mask rows above the image.
  const int mi = s.AddMask({0, 0, 4, 4}, 1, 1, 1, 1, 1, dmCentre, 1);
  TsMaskData& m = s.sd.ma[size_t(mi)];
  m.R = TRect(0, 0, 4, -8);
  m.Cfg = cfgKeyCorners;
  const int si = s.AddSection(1, kWhite);
  s.sd.gd[size_t(si)].BorderIndex = mi;
  Bitmap32 parent = Gradient(10, 10);
  OverParent bind(&s.sd, si, MakeCacheInfo(parent));
  auto untouched = [](const Bitmap32& b) {
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x)
        if (b.Pixel(x, y) != 0xFF000000u) return false;
    return true;
  };
  Bitmap32 b(6, 6);
  b.Fill(0xFF000000u);
  DrawBorderMask(b, b.Bounds(), FillBG(kWhite), false, 1, m);
  EXPECT_TRUE(untouched(b));
  b.Fill(0xFF000000u);
  DrawOuterMask(b, b.Bounds(), FillBG(kWhite), 255, TMargins(1, 1, 1, 1), 1, m);
  EXPECT_TRUE(untouched(b));
  b.Fill(0xFF000000u);
  RestoreCorners(bind, b, 0, kCornersAll);
  EXPECT_TRUE(untouched(b));
}
