// The fast paths must give exactly the bits of a plain per-channel reference.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "skin/paint/PixelOps.h"

namespace {

std::uint32_t C(std::uint32_t p, int i) { return (p >> (8 * i)) & 0xFF; }

std::uint32_t RefAlpha(std::uint32_t s, std::uint32_t d, int g) {
  if (g == 255) {
    const int a = int(C(s, 3));
    std::uint32_t out = 0;
    for (int i = 0; i < 3; ++i) out |= std::uint32_t(((int(C(s, i)) - int(C(d, i))) * a + int(C(d, i)) * 256) >> 8) << (8 * i);
    int al = std::max(int(C(d, 3)), ((a - int(C(d, 3))) * a + int(C(d, 3)) * 256) >> 8);
    if (a == 255) al = 255;
    return out | std::uint32_t(al) << 24;
  }
  const int a = int(C(s, 3)) * g >> 8;
  std::uint32_t out = 0;
  for (int i = 0; i < 3; ++i) out |= std::uint32_t((a * (int(C(s, i)) - int(C(d, i))) + int(C(d, i)) * 256) >> 8) << (8 * i);
  const int al = std::max(int(C(d, 3)), (a * (a - int(C(d, 3))) + int(C(d, 3)) * 256) >> 8);
  return out | std::uint32_t(al) << 24;
}

std::uint32_t RefConst(std::uint32_t d, std::uint32_t s, int a) {  // (A (dst - src) + src 256) >> 8
  std::uint32_t out = 0;
  for (int i = 0; i < 4; ++i) out |= std::uint32_t((a * (int(C(d, i)) - int(C(s, i))) + int(C(s, i)) * 256) >> 8) << (8 * i);
  return out;
}

std::uint32_t RefTint(std::uint32_t d, int a, std::uint32_t color) {
  const std::uint32_t c = ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
  std::uint32_t out = d & 0xFF000000u;
  for (int i = 0; i < 3; ++i) out |= std::uint32_t((int(C(d, i)) * a + int(C(c, i)) * (255 - a)) >> 8) << (8 * i);
  return out;
}

struct Image {
  std::vector<std::uint32_t> mem;
  Bitmap32 bmp;
};

// Bottom-up memory with a padded stride, filled at random; some pixels
// fully transparent or fully opaque so that both special cases occur.
Image Random(std::mt19937& rng, int w, int h) {
  Image im;
  const int pitch = w + 3;
  im.mem.resize(std::size_t(pitch * h));
  for (auto& p : im.mem) {
    p = rng();
    const int k = int(rng() % 8);
    if (k == 0) p &= 0x00FFFFFFu;
    if (k == 1) p |= 0xFF000000u;
  }
  auto* row0 = reinterpret_cast<std::uint8_t*>(im.mem.data()) + std::ptrdiff_t(h - 1) * pitch * 4;
  im.bmp = Bitmap32::Wrap(row0, w, h, -std::ptrdiff_t(pitch) * 4);
  return im;
}

}  // namespace

TEST(Reference, BlendPieceAlphaMatchesScalarOnRandomImages) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 40; ++round) {
    const int w = 1 + int(rng() % 37), h = 1 + int(rng() % 9);
    Image src = Random(rng, w, h), dst = Random(rng, w + 4, h + 2);
    const Bitmap32 before = dst.bmp.Clone();
    const int g = round % 3 == 0 ? 255 : (round % 3 == 1 ? 128 : int(rng() % 256));
    const int ox = int(rng() % 5) - 1, oy = int(rng() % 3) - 1;
    BlendPieceAlpha(dst.bmp, src.bmp, BmpRect(0, 0, w - 1, h - 1), g, BmpPoint(ox, oy));
    for (int y = 0; y < dst.bmp.Height(); ++y)
      for (int x = 0; x < dst.bmp.Width(); ++x) {
        const int sx = x - ox, sy = y - oy;
        const bool inside = sx >= 0 && sy >= 0 && sx < w && sy < h;
        const std::uint32_t want = inside ? RefAlpha(src.bmp.Pixel(sx, sy), before.Pixel(x, y), g) : before.Pixel(x, y);
        ASSERT_EQ(dst.bmp.Pixel(x, y), want) << "round " << round << " at " << x << "," << y << " g " << g;
      }
  }
}

TEST(Reference, BlendPieceAlphaMatchesScalarOnClearAndOpaqueRuns) {
  // Runs of four and more clear or opaque pixels take the block shortcuts.
  std::mt19937 rng(77);
  for (int round = 0; round < 20; ++round) {
    const int w = 8 + int(rng() % 40), h = 1 + int(rng() % 4);
    Image src = Random(rng, w, h), dst = Random(rng, w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t p = src.bmp.Pixel(x, y) & 0xFFFFFFu;
        const int run = (x / 5 + round) % 3;
        src.bmp.SetPixel(x, y, run == 0 ? p : (run == 1 ? p | 0xFF000000u : src.bmp.Pixel(x, y)));
      }
    const Bitmap32 before = dst.bmp.Clone();
    const int g = round % 2 ? 255 : 200;
    BlendPieceAlpha(dst.bmp, src.bmp, BmpRect(0, 0, w - 1, h - 1), g, BmpPoint(0, 0));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(dst.bmp.Pixel(x, y), RefAlpha(src.bmp.Pixel(x, y), before.Pixel(x, y), g)) << round << " " << x;
  }
}

TEST(Reference, ConstantBlendCrossFadeAndTintMatchScalar) {
  std::mt19937 rng(99);
  for (int round = 0; round < 30; ++round) {
    const int w = 1 + int(rng() % 41), h = 1 + int(rng() % 5);
    Image a = Random(rng, w, h), b = Random(rng, w, h);
    const int k = int(rng() % 256);

    Bitmap32 c = a.bmp.Clone();
    BlendBitmapConst(c, b.bmp, k, BmpPoint(0, 0), BmpRect(0, 0, w - 1, h - 1));
    Bitmap32 f(w, h);
    CrossFade(f, a.bmp, b.bmp, k);
    Bitmap32 t = a.bmp.Clone();
    const std::uint32_t color = rng() & 0xFFFFFF;
    TintRect32(t, BmpRect(0, 0, w, h), k, color);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t pa = a.bmp.Pixel(x, y), pb = b.bmp.Pixel(x, y);
        ASSERT_EQ(c.Pixel(x, y), RefConst(pa, pb, k)) << round;
        ASSERT_EQ(f.Pixel(x, y), RefConst(pb, pa, k)) << round;  // (W (B - A) + A 256) >> 8
        ASSERT_EQ(t.Pixel(x, y), RefTint(pa, k, color)) << round;
      }
    // In place: the output may be one of the inputs.
    CrossFade(a.bmp, a.bmp, b.bmp, k);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) ASSERT_EQ(a.bmp.Pixel(x, y), f.Pixel(x, y));
  }
}

TEST(Reference, FillCoversExactlyTheRectangle) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    Image im = Random(rng, 1 + int(rng() % 30), 1 + int(rng() % 6));
    const Bitmap32 before = im.bmp.Clone();
    const BmpRect r(int(rng() % 12) - 3, int(rng() % 4) - 1, int(rng() % 40), int(rng() % 8));
    FillPixels32(im.bmp, r, 0x336699, 0x80);
    for (int y = 0; y < im.bmp.Height(); ++y)
      for (int x = 0; x < im.bmp.Width(); ++x) {
        const bool in = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
        ASSERT_EQ(im.bmp.Pixel(x, y), in ? 0x80996633u : before.Pixel(x, y));
      }
  }
}
