#include "skin/paint/Resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

TEST(Resample, RefusesTinySourcesAndBadSizes) {
  Bitmap32 dst;
  EXPECT_FALSE(Resample(Bitmap32(1, 5), dst, BmpSize(4, 4), rfMitchell));
  EXPECT_FALSE(Resample(Bitmap32(5, 1), dst, BmpSize(4, 4), rfMitchell));
  EXPECT_FALSE(Resample(Bitmap32(5, 5), dst, BmpSize(0, 4), rfMitchell));
  EXPECT_FALSE(Resample(Bitmap32(5, 5), dst, BmpSize(4, 4), 17));
  EXPECT_TRUE(dst.Empty());
  std::uint32_t mem[4] = {};
  Bitmap32 wrapped = Bitmap32::Wrap(mem, 2, 2, 8);
  EXPECT_FALSE(Resample(Bitmap32(5, 5), wrapped, BmpSize(3, 3), rfMitchell));  // foreign memory of another size
  EXPECT_TRUE(Resample(Bitmap32(5, 5), wrapped, BmpSize(2, 2), rfMitchell));
}

TEST(Resample, IntoItself) {
  Bitmap32 b(4, 4);
  b.Fill(0xFF102030u);
  ASSERT_TRUE(Resample(b, b, BmpSize(8, 6), rfMitchell));
  EXPECT_EQ(b.Width(), 8);
  EXPECT_EQ(b.Height(), 6);
  EXPECT_EQ(b.Pixel(7, 5), 0xFF102030u);
}

TEST(Resample, EqualSizeCopies) {
  Bitmap32 src(3, 2);
  for (int i = 0; i < 6; ++i) src.SetPixel(i % 3, i / 3, 0x01020304u * std::uint32_t(i + 1));
  Bitmap32 dst;
  ASSERT_TRUE(Resample(src, dst, BmpSize(3, 2), rfMitchell));
  for (int i = 0; i < 6; ++i) EXPECT_EQ(dst.Pixel(i % 3, i / 3), src.Pixel(i % 3, i / 3));
}

TEST(Resample, FlatImagesStayFlatWithEveryFilter) {
  Bitmap32 src(7, 5);
  src.Fill(0x80C86432u);
  for (int f = rfBox; f <= rfMitchell; ++f)
    for (auto [w, h] : {std::pair{13, 9}, std::pair{3, 2}, std::pair{1, 1}, std::pair{20, 3}}) {
      Bitmap32 dst;
      ASSERT_TRUE(Resample(src, dst, BmpSize(w, h), f));
      ASSERT_EQ(dst.Width(), w);
      ASSERT_EQ(dst.Height(), h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(dst.Pixel(x, y), 0x80C86432u) << "filter " << f;
    }
}

TEST(Resample, BoxHalvingAveragesPairs) {
  Bitmap32 src(4, 2);
  const std::uint32_t v[4] = {0, 100, 200, 50};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) src.SetPixel(x, y, 0xFF000000u | v[x]);
  Bitmap32 dst;
  ASSERT_TRUE(Resample(src, dst, BmpSize(2, 1), rfBox));
  EXPECT_EQ(dst.Pixel(0, 0), 0xFF000032u);  // (0 + 100) / 2
  EXPECT_EQ(dst.Pixel(1, 0), 0xFF00007Du);  // (200 + 50) / 2
}

TEST(Resample, MitchellEnlargesAStepSymmetricallyWithinRange) {
  // A dark-light-dark bar: the enlarged picture must be mirror-symmetric and
  // rise to the light value in the middle, with no wrap-around of bytes.
  Bitmap32 src(6, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) src.SetPixel(x, y, (x == 2 || x == 3) ? 0xFFFFFFFFu : 0xFF000000u);
  Bitmap32 dst;
  ASSERT_TRUE(Resample(src, dst, BmpSize(24, 4), rfMitchell));
  for (int x = 0; x < 12; ++x) EXPECT_EQ(dst.Pixel(x, 1), dst.Pixel(23 - x, 1)) << x;
  EXPECT_EQ(dst.Pixel(11, 2), 0xFFFFFFFFu);
  EXPECT_EQ(dst.Pixel(0, 0) & 0xFF, 0u);
  int prev = -1;
  for (int x = 0; x < 12; ++x) {  // the Mitchell lobes may dip, but never wrap
    const int v = int(dst.Pixel(x, 0) & 0xFF);
    if (x >= 5) {
      EXPECT_GE(v, prev) << x;
    }
    prev = v;
  }
}

TEST(Resample, ShrinkingKeepsTheMeanOfNoise) {
  std::mt19937 rng(5);
  Bitmap32 src(64, 64);
  long long sum = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const std::uint32_t g = rng() & 0xFF;
      sum += g;
      src.SetPixel(x, y, 0xFF000000u | g | (g << 8) | (g << 16));
    }
  Bitmap32 dst;
  ASSERT_TRUE(Resample(src, dst, BmpSize(16, 16), rfMitchell));
  long long dsum = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) dsum += dst.Pixel(x, y) & 0xFF;
  EXPECT_NEAR(double(dsum) / 256, double(sum) / 4096, 2.0);
}

namespace {

// Plain double-precision resampler of the same definition (half-pixel
// centres, mirrored edges, weights normalised per target pixel).
double Mitchell(double x) {
  x = std::fabs(x);
  if (x < 1) return 7.0 / 6 * x * x * x - 2 * x * x + 8.0 / 9;
  if (x < 2) return -7.0 / 18 * x * x * x + 2 * x * x - 10.0 / 3 * x + 16.0 / 9;
  return 0;
}

std::vector<std::vector<std::pair<int, double>>> RefWeights(int src, int dst) {
  std::vector<std::vector<std::pair<int, double>>> out(static_cast<std::size_t>(dst));
  const double scale = double(dst) / src, f = std::min(scale, 1.0);
  for (int i = 0; i < dst; ++i) {
    const double c = (i + 0.5) / scale - 0.5;
    double sum = 0;
    for (int j = int(std::ceil(c - 2 / f)); j <= int(std::floor(c + 2 / f)); ++j) {
      const double v = Mitchell((c - j) * f);
      if (v == 0) continue;
      int n = j < 0 ? -j : (j >= src ? 2 * src - j - 1 : j);
      n = std::clamp(n, 0, src - 1);
      out[std::size_t(i)].push_back({n, v});
      sum += v;
    }
    for (auto& [n, v] : out[std::size_t(i)]) v /= sum;
  }
  return out;
}

std::uint8_t Clip(double v) { return std::uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

TEST(Resample, MatchesAPlainDoubleResamplerWithinRounding) {
  std::mt19937 rng(11);
  for (auto [sw, sh, dw, dh] : {std::array{13, 7, 29, 5}, std::array{40, 33, 17, 21}, std::array{5, 5, 9, 12},
                                std::array{64, 8, 21, 8}}) {
    Bitmap32 src(sw, sh);
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw; ++x) src.SetPixel(x, y, std::uint32_t(rng()));
    Bitmap32 dst;
    ASSERT_TRUE(Resample(src, dst, BmpSize(dw, dh), rfMitchell));
    const auto wx = RefWeights(sw, dw), wy = RefWeights(sh, dh);
    // Horizontal pass to 8 bits, then vertical, as the routine does.
    std::vector<std::uint8_t> mid(std::size_t(dw * sh * 4));
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < dw; ++x)
        for (int c = 0; c < 4; ++c) {
          double v = 0;
          for (auto [n, w] : wx[std::size_t(x)]) v += w * ((src.Pixel(n, y) >> (8 * c)) & 0xFF);
          mid[std::size_t((y * dw + x) * 4 + c)] = Clip(v);
        }
    double total = 0;
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dw; ++x)
        for (int c = 0; c < 4; ++c) {
          double v = 0;
          for (auto [n, w] : wy[std::size_t(y)]) v += w * mid[std::size_t((n * dw + x) * 4 + c)];
          const int got = int((dst.Pixel(x, y) >> (8 * c)) & 0xFF);
          ASSERT_NEAR(got, Clip(v), 2) << sw << "x" << sh << " -> " << dw << "x" << dh << " at " << x << "," << y;
          total += std::abs(got - Clip(v));
        }
    EXPECT_LT(total / (dw * dh * 4), 0.2);
  }
}

namespace {
// Cols x Rows cells of sw x sh, each one flat colour of its own.
Bitmap32 CellImage(int cols, int rows, int sw, int sh, int extraW = 0) {
  Bitmap32 b(cols * sw + extraW, rows * sh);
  b.Fill(0xFFFFFFFFu);
  for (int j = 0; j < rows; ++j)
    for (int i = 0; i < cols; ++i)
      for (int y = 0; y < sh; ++y)
        for (int x = 0; x < sw; ++x) b.SetPixel(i * sw + x, j * sh + y, 0xFF000000u | std::uint32_t(0x203040 * (1 + i + cols * j)));
  return b;
}
}  // namespace

TEST(ScaleFrames, NoFilterReachesAcrossACell) {
  for (bool smooth : {true, false})
    for (int mul : {120, 144, 192}) {
      SCOPED_TRACE(testing::Message() << "smooth " << smooth << " ppi " << mul);
      const Bitmap32 src = CellImage(3, 2, 10, 8);
      const Bitmap32 out = ScaleFrames(src, 3, 2, mul, 96, smooth);
      ASSERT_EQ(out.Width(), 30 * mul / 96);
      ASSERT_EQ(out.Height(), 16 * mul / 96);
      const int dw = out.Width() / 3, dh = out.Height() / 2;
      for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x) {
          const int i = x / dw, j = y / dh;
          const std::uint32_t want = i < 3 && j < 2 ? 0xFF000000u | std::uint32_t(0x203040 * (1 + i + 3 * j)) : 0;
          ASSERT_EQ(out.Pixel(x, y), want) << x << "," << y;
        }
    }
  // Scaled whole, the same image mixes neighbouring frames at their edges.
  Bitmap32 whole;
  ASSERT_TRUE(Resample(CellImage(3, 2, 10, 8), whole, BmpSize(45, 24), rfMitchell));
  EXPECT_NE(whole.Pixel(14, 3), whole.Pixel(2, 3));
}

TEST(ScaleFrames, LeftoverColumnsStayClearAndDegenerateCellsStillScale) {
  // 2 cells of 5 plus a stray column: 11 wide becomes 16, cells of 8.
  const Bitmap32 out = ScaleFrames(CellImage(2, 1, 5, 4, 1), 2, 1, 3, 2, true);
  ASSERT_EQ(out.Width(), 16);
  EXPECT_EQ(out.Pixel(7, 0), 0xFF203040u);
  EXPECT_EQ(out.Pixel(8, 5), 0xFF406080u);
  EXPECT_EQ(out.Pixel(15, 5), 0xFF406080u);

  const Bitmap32 rows = ScaleFrames(CellImage(1, 3, 4, 3), 1, 3, 5, 4, true);
  EXPECT_EQ(rows.Height(), 11);
  EXPECT_EQ(rows.Pixel(3, 8), 0xFF000000u | (0x203040u * 3));
  EXPECT_EQ(rows.Pixel(3, 9), 0u);  // 11 rows hold three cells of 3
  EXPECT_EQ(rows.Pixel(0, 10), 0u);

  // One-pixel cells cannot be filtered: nearest pixels still fill them.
  const Bitmap32 tiny = ScaleFrames(CellImage(4, 1, 1, 1), 4, 1, 2, 1, true);
  ASSERT_EQ(tiny.Width(), 8);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(tiny.Pixel(x, 1), 0xFF000000u | std::uint32_t(0x203040 * (1 + x / 2)));

  // More cells than pixels, or a shrink to nothing, falls back to one piece.
  EXPECT_EQ(ScaleFrames(Bitmap32(3, 3), 9, 65536, 1, 1, true).Width(), 3);
  EXPECT_EQ(ScaleFrames(Bitmap32(3, 3), 2, 1, 1, 10, true).Width(), 1);
  EXPECT_TRUE(ScaleFrames(Bitmap32(), 1, 1, 2, 1, true).Empty());
  EXPECT_TRUE(ScaleFrames(Bitmap32(3, 3), 1, 1, 2, 0, true).Empty());
}

// The vector and the scalar build give the same bits: both suites check the
// same digest of seeded resamplings, recorded once from the reviewed output.
TEST(Resample, VectorAndScalarBuildsAgreeToTheBit) {
  std::mt19937 rng(5);
  std::uint64_t h = 1469598103934665603ull;
  for (auto [sw, sh, dw, dh] : {std::array{13, 7, 29, 5}, std::array{40, 33, 17, 21}, std::array{5, 5, 9, 12},
                                std::array{64, 8, 21, 8}, std::array{3, 90, 11, 40}}) {
    Bitmap32 src(sw, sh);
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw; ++x) src.SetPixel(x, y, std::uint32_t(rng()));
    Bitmap32 dst;
    ASSERT_TRUE(Resample(src, dst, BmpSize(dw, dh), rfMitchell));
    for (int y = 0; y < dh; ++y)
      for (int x = 0; x < dw; ++x) h = (h ^ dst.Pixel(x, y)) * 1099511628211ull;
  }
  EXPECT_EQ(h, 0x6e6fb84bf513103dull);
}

// The target is allocated without clearing: memory that held other pixels
// must not show through in the strips that no whole cell reaches.
TEST(ScaleFrames, LeftoverStripsAreClearOverReusedMemory) {
  for (bool smooth : {true, false})
    for (int mul : {120, 168, 192, 250}) {
      SCOPED_TRACE(testing::Message() << "smooth " << smooth << " ppi " << mul);
      const Bitmap32 src = CellImage(3, 2, 10, 8, 1);  // a stray column beyond the cells
      const int w = std::max(1, 31 * mul / 96), h = std::max(1, 16 * mul / 96);
      {
        Bitmap32 dirty(w, h);  // freed just before: the allocator hands it out again
        dirty.Fill(0xDEADBEEFu);
      }
      const Bitmap32 out = ScaleFrames(src, 3, 2, mul, 96, smooth);
      ASSERT_EQ(out.Width(), w);
      ASSERT_EQ(out.Height(), h);
      const int dw = w / 3, dh = h / 2;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const std::uint32_t p = out.Pixel(x, y);
          if (x >= 3 * dw || y >= 2 * dh)
            ASSERT_EQ(p, 0u) << x << "," << y;
          else
            ASSERT_NE(p, 0xDEADBEEFu) << x << "," << y;
        }
    }
}
