// Each routine next to pixman doing the nearest equivalent on the same
// pixels; compare items_per_second of neighbouring lines.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <random>

#include "skin/paint/PixelOps.h"
#include "skin/paint/Resample.h"

namespace {

constexpr int kSide = 512;

// Like a skin image: opaque areas and clear areas with soft edges between.
Bitmap32 SkinLikeImage(int w, int h, unsigned seed) {
  Bitmap32 b(w, h);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int band = (x / 24 + y / 24) % 3;  // 0 clear, 1 opaque, 2 soft
      const std::uint32_t a = band == 0 ? 0 : (band == 1 ? 255 : std::uint32_t(x * 7 + y) & 0xFF);
      const std::uint32_t c = rng() & 0xFFFFFF;
      b.SetPixel(x, y, (a << 24) | c);
    }
  return b;
}

Bitmap32 RandomImage(int w, int h, unsigned seed, bool opaque = false) {
  Bitmap32 b(w, h);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, opaque ? (rng() | 0xFF000000u) : std::uint32_t(rng()));
  return b;
}

// A pixman image over the bitmap's pixels (top-down, owned bitmaps).
pixman_image_t* Pix(const Bitmap32& b, pixman_format_code_t f = PIXMAN_a8r8g8b8) {
  return pixman_image_create_bits(f, b.Width(), b.Height(), reinterpret_cast<uint32_t*>(b.Row0()), int(b.Stride()));
}

pixman_image_t* Solid(std::uint16_t a, std::uint16_t r = 0, std::uint16_t g = 0, std::uint16_t bl = 0) {
  pixman_color_t c{r, g, bl, a};
  return pixman_image_create_solid_fill(&c);
}

void Items(benchmark::State& s, std::int64_t pixels) { s.SetItemsProcessed(s.iterations() * pixels); }

// ---- per-pixel blend ----
// arg 0: global weight G; arg 1: source pixels, 0 random, 1 banded as in
// real images; arg 2: side, 512 streams through the caches, 128 (a large
// control piece) stays in them.
Bitmap32 AlphaSource(int kind, int side) { return kind ? SkinLikeImage(side, side, 1) : RandomImage(side, side, 1); }

void AlphaArgs(benchmark::internal::Benchmark* b) {
  for (int side : {kSide, 128})
    for (int kind : {0, 1})
      for (int g : {255, 128}) b->Args({g, kind, side});
}

void BlendPieceAlpha_G(benchmark::State& s) {
  const int g = int(s.range(0)), side = int(s.range(2));
  Bitmap32 src = AlphaSource(int(s.range(1)), side), dst = RandomImage(side, side, 2);
  for (auto _ : s) {
    BlendPieceAlpha(dst, src, BmpRect(0, 0, side - 1, side - 1), g, BmpPoint(0, 0));
    benchmark::DoNotOptimize(dst.Row0());
  }
  Items(s, side * side);
}
BENCHMARK(BlendPieceAlpha_G)->Apply(AlphaArgs);

void Pixman_Over_Mask(benchmark::State& s) {
  const int g = int(s.range(0)), side = int(s.range(2));
  Bitmap32 src = AlphaSource(int(s.range(1)), side), dst = RandomImage(side, side, 2);
  pixman_image_t *ps = Pix(src), *pd = Pix(dst);
  pixman_image_t* mask = g == 255 ? nullptr : Solid(std::uint16_t(g * 257));
  for (auto _ : s) {
    pixman_image_composite32(PIXMAN_OP_OVER, ps, mask, pd, 0, 0, 0, 0, 0, 0, side, side);
    benchmark::DoNotOptimize(dst.Row0());
  }
  if (mask) pixman_image_unref(mask);
  pixman_image_unref(ps);
  pixman_image_unref(pd);
  Items(s, side * side);
}
BENCHMARK(Pixman_Over_Mask)->Apply(AlphaArgs);

// ---- constant weight ----
void BlendBitmapConst_128(benchmark::State& s) {
  Bitmap32 src = RandomImage(kSide, kSide, 3), dst = RandomImage(kSide, kSide, 4);
  for (auto _ : s) {
    BlendBitmapConst(dst, src, 128, BmpPoint(0, 0), BmpRect(0, 0, kSide - 1, kSide - 1));
    benchmark::DoNotOptimize(dst.Row0());
  }
  Items(s, kSide * kSide);
}
BENCHMARK(BlendBitmapConst_128);

void Pixman_Add_ConstMask(benchmark::State& s) {
  Bitmap32 src = RandomImage(kSide, kSide, 3), dst = RandomImage(kSide, kSide, 4);
  pixman_image_t *ps = Pix(src), *pd = Pix(dst), *mask = Solid(0x8080);
  for (auto _ : s) {
    pixman_image_composite32(PIXMAN_OP_ADD, ps, mask, pd, 0, 0, 0, 0, 0, 0, kSide, kSide);
    benchmark::DoNotOptimize(dst.Row0());
  }
  pixman_image_unref(mask);
  pixman_image_unref(ps);
  pixman_image_unref(pd);
  Items(s, kSide * kSide);
}
BENCHMARK(Pixman_Add_ConstMask);

// ---- cross-fade: in place, A towards B ----
void CrossFade_100(benchmark::State& s) {
  Bitmap32 a = RandomImage(kSide, kSide, 5), b = RandomImage(kSide, kSide, 6, true);
  for (auto _ : s) {
    CrossFade(a, a, b, 100);
    benchmark::DoNotOptimize(a.Row0());
  }
  Items(s, kSide * kSide);
}
BENCHMARK(CrossFade_100);

void Pixman_OpaqueOver_ConstMask(benchmark::State& s) {
  // An opaque source over the target through a constant mask is a cross-fade.
  Bitmap32 a = RandomImage(kSide, kSide, 5), b = RandomImage(kSide, kSide, 6, true);
  pixman_image_t *pa = Pix(a), *pb = Pix(b, PIXMAN_x8r8g8b8), *mask = Solid(100 * 257);
  for (auto _ : s) {
    pixman_image_composite32(PIXMAN_OP_OVER, pb, mask, pa, 0, 0, 0, 0, 0, 0, kSide, kSide);
    benchmark::DoNotOptimize(a.Row0());
  }
  pixman_image_unref(mask);
  pixman_image_unref(pa);
  pixman_image_unref(pb);
  Items(s, kSide * kSide);
}
BENCHMARK(Pixman_OpaqueOver_ConstMask);

// ---- fills ----
void FillPixels32_Rect(benchmark::State& s) {
  Bitmap32 d(kSide, kSide);
  for (auto _ : s) {
    FillPixels32(d, BmpRect(0, 0, kSide, kSide), 0x336699, 255);
    benchmark::DoNotOptimize(d.Row0());
  }
  Items(s, kSide * kSide);
}
BENCHMARK(FillPixels32_Rect);

void Pixman_Fill(benchmark::State& s) {
  Bitmap32 d(kSide, kSide);
  for (auto _ : s) {
    pixman_fill(reinterpret_cast<uint32_t*>(d.Row0()), int(d.Stride() / 4), 32, 0, 0, kSide, kSide, 0xFF996633u);
    benchmark::DoNotOptimize(d.Row0());
  }
  Items(s, kSide * kSide);
}
BENCHMARK(Pixman_Fill);

void Pixman_SrcSolid(benchmark::State& s) {
  Bitmap32 d(kSide, kSide);
  pixman_image_t *pd = Pix(d), *solid = Solid(0xFFFF, 0x9999, 0x6666, 0x3333);
  for (auto _ : s) {
    pixman_image_composite32(PIXMAN_OP_SRC, solid, nullptr, pd, 0, 0, 0, 0, 0, 0, kSide, kSide);
    benchmark::DoNotOptimize(d.Row0());
  }
  pixman_image_unref(solid);
  pixman_image_unref(pd);
  Items(s, kSide * kSide);
}
BENCHMARK(Pixman_SrcSolid);

// ---- tint: a solid colour of weight 255 - A over the pixels ----
void TintRect32_100(benchmark::State& s) {
  Bitmap32 d = RandomImage(kSide, kSide, 7);
  for (auto _ : s) {
    TintRect32(d, BmpRect(0, 0, kSide, kSide), 100, 0x336699);
    benchmark::DoNotOptimize(d.Row0());
  }
  Items(s, kSide * kSide);
}
BENCHMARK(TintRect32_100);

void Pixman_OverSolid(benchmark::State& s) {
  Bitmap32 d = RandomImage(kSide, kSide, 7);
  const std::uint16_t a = 155 * 257;  // premultiplied colour at alpha 155
  pixman_image_t *pd = Pix(d), *solid = Solid(a, std::uint16_t(0x99 * 155 / 255 * 257),
                                               std::uint16_t(0x66 * 155 / 255 * 257), std::uint16_t(0x33 * 155 / 255 * 257));
  for (auto _ : s) {
    pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, pd, 0, 0, 0, 0, 0, 0, kSide, kSide);
    benchmark::DoNotOptimize(d.Row0());
  }
  pixman_image_unref(solid);
  pixman_image_unref(pd);
  Items(s, kSide * kSide);
}
BENCHMARK(Pixman_OverSolid);

// ---- resampling: arg 0 = source side, arg 1 = target side ----
void Resample_Mitchell(benchmark::State& s) {
  const int from = int(s.range(0)), to = int(s.range(1));
  Bitmap32 src = RandomImage(from, from, 8), dst(to, to);
  for (auto _ : s) {
    Resample(src, dst, BmpSize(to, to), rfMitchell);
    benchmark::DoNotOptimize(dst.Row0());
  }
  Items(s, std::int64_t(to) * to);
}
BENCHMARK(Resample_Mitchell)->Args({512, 341})->Args({256, 512});

void PixmanScaled(benchmark::State& s, bool separable) {
  const int from = int(s.range(0)), to = int(s.range(1));
  Bitmap32 src = RandomImage(from, from, 8), dst(to, to);
  pixman_image_t *ps = Pix(src), *pd = Pix(dst);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(double(from) / to), pixman_double_to_fixed(double(from) / to));
  pixman_image_set_transform(ps, &t);
  pixman_image_set_repeat(ps, PIXMAN_REPEAT_PAD);
  int n = 0;
  pixman_fixed_t* params = nullptr;
  if (separable) {
    const pixman_fixed_t sc = pixman_double_to_fixed(double(from) / to);
    params = pixman_filter_create_separable_convolution(&n, sc > pixman_fixed_1 ? sc : pixman_fixed_1,
                                                        sc > pixman_fixed_1 ? sc : pixman_fixed_1, PIXMAN_KERNEL_IMPULSE,
                                                        PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_CUBIC, PIXMAN_KERNEL_CUBIC, 1, 1);
    pixman_image_set_filter(ps, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
  } else {
    pixman_image_set_filter(ps, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  }
  for (auto _ : s) {
    pixman_image_composite32(PIXMAN_OP_SRC, ps, nullptr, pd, 0, 0, 0, 0, 0, 0, to, to);
    benchmark::DoNotOptimize(dst.Row0());
  }
  free(params);
  pixman_image_unref(ps);
  pixman_image_unref(pd);
  Items(s, std::int64_t(to) * to);
}
void Pixman_Scaled_Bilinear(benchmark::State& s) { PixmanScaled(s, false); }
void Pixman_Scaled_SeparableCubic(benchmark::State& s) { PixmanScaled(s, true); }
BENCHMARK(Pixman_Scaled_Bilinear)->Args({512, 341})->Args({256, 512});
BENCHMARK(Pixman_Scaled_SeparableCubic)->Args({512, 341})->Args({256, 512});

}  // namespace

BENCHMARK_MAIN();
