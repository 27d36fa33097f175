#include "skin/paint/Resample.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <vector>

#include "skin/paint/PixelOps.h"

// CB_NO_SIMD builds the plain scalar code, which the tests also run.
#if defined(__SSE2__) && !defined(CB_NO_SIMD)
#include <emmintrin.h>
#define CB_RESAMPLE_SSE2 1
#endif

namespace {

constexpr double kPi = 3.14159265358979323846;

double Support(int filter) {
  switch (filter) {
    case rfBox: return 0.5;
    case rfTriangle: case rfHermite: return 1.0;
    case rfBell: return 1.5;
    case rfBSpline: case rfMitchell: return 2.0;
    case rfSinc: return 3.0;
    default: return 0.0;
  }
}

double Sinc(double x) {
  if (x == 0.0) return 1.0;
  x *= kPi;
  return std::sin(x) / x;
}

double FilterValue(int filter, double x) {
  x = std::fabs(x);
  switch (filter) {
    case rfBox: return x <= 0.5 ? 1.0 : 0.0;
    case rfTriangle: return x < 1.0 ? 1.0 - x : 0.0;
    case rfHermite: return x < 1.0 ? (2.0 * x - 3.0) * x * x + 1.0 : 0.0;
    case rfBell:
      if (x < 0.5) return 0.75 - x * x;
      if (x < 1.5) return (x - 1.5) * (x - 1.5) / 2.0;
      return 0.0;
    case rfBSpline:
      if (x < 1.0) return (0.5 * x - 1.0) * x * x + 2.0 / 3.0;
      if (x < 2.0) { x = 2.0 - x; return x * x * x / 6.0; }
      return 0.0;
    case rfSinc: return x < 3.0 ? Sinc(x) * Sinc(x / 3.0) : 0.0;
    case rfMitchell:
      if (x < 1.0) return (7.0 / 6.0) * x * x * x - 2.0 * x * x + 8.0 / 9.0;
      if (x < 2.0) return (-7.0 / 18.0) * x * x * x + 2.0 * x * x - (10.0 / 3.0) * x + 16.0 / 9.0;
      return 0.0;
    default: return 0.0;
  }
}

constexpr int kShift = 14;
constexpr int kOne = 1 << kShift;

// Contributions of source pixels to each target pixel, in fixed point.
struct Weights {
  std::vector<int> start;         // first entry of target i in idx/w
  std::vector<int> count;
  std::vector<int> idx;           // source index (mirrored into the image)
  std::vector<std::int16_t> w;    // weight, Q14; each target's weights sum to 1
  std::vector<std::int32_t> pair; // weights k and k + 1 of a target as one 32-bit value
};

Weights Build(int src, int dst, int filter) {
  Weights out;
  out.start.resize(std::size_t(dst));
  out.count.resize(std::size_t(dst));
  const double scale = double(dst) / src;
  const double f = scale < 1.0 ? scale : 1.0;
  const double radius = Support(filter) / f;
  std::vector<double> tmp;
  std::vector<int> tmpIdx;
  for (int i = 0; i < dst; ++i) {
    const double center = (i + 0.5) / scale - 0.5;
    const int left = int(std::ceil(center - radius)), right = int(std::floor(center + radius));
    tmp.clear();
    tmpIdx.clear();
    double sum = 0;
    for (int j = left; j <= right; ++j) {
      const double v = FilterValue(filter, (center - j) * f);
      if (v == 0.0) continue;
      int n = j < 0 ? -j : (j >= src ? 2 * src - j - 1 : j);
      n = std::clamp(n, 0, src - 1);
      tmp.push_back(v);
      tmpIdx.push_back(n);
      sum += v;
    }
    if (tmp.empty() || sum == 0.0) {  // nothing in reach: nearest pixel
      tmp.assign(1, 1.0);
      tmpIdx.assign(1, std::clamp(int(std::lround(center)), 0, src - 1));
      sum = 1.0;
    }
    out.start[std::size_t(i)] = int(out.idx.size());
    out.count[std::size_t(i)] = int(tmp.size());
    int total = 0;
    std::size_t big = 0;
    for (std::size_t k = 0; k < tmp.size(); ++k) {
      const int q = int(std::lround(tmp[k] / sum * kOne));
      out.w.push_back(std::int16_t(q));
      out.idx.push_back(tmpIdx[k]);
      total += q;
      if (std::fabs(tmp[k]) > std::fabs(tmp[big])) big = k;
    }
    out.w[out.start[std::size_t(i)] + big] = std::int16_t(out.w[out.start[std::size_t(i)] + big] + (kOne - total));
    if (tmp.size() & 1) {  // an even count lets the vector code take weights in pairs
      out.w.push_back(0);
      out.idx.push_back(tmpIdx.back());
      ++out.count[std::size_t(i)];
    }
  }
  out.pair.resize(out.w.size() / 2);
  for (std::size_t k = 0; k + 1 < out.w.size(); k += 2)
    out.pair[k / 2] = std::int32_t((std::uint32_t(std::uint16_t(out.w[k + 1])) << 16) | std::uint16_t(out.w[k]));
  return out;
}

#ifndef CB_RESAMPLE_SSE2
inline std::uint32_t Pack(const int acc[4]) {
  std::uint32_t p = 0;
  for (int c = 0; c < 4; ++c) {
    int v = (acc[c] + (kOne >> 1)) >> kShift;
    p |= std::uint32_t(v < 0 ? 0 : (v > 255 ? 255 : v)) << (8 * c);
  }
  return p;
}
#endif

// Integer sums are exact in any order, so the vector paths give the bits of
// the scalar ones.
void Horizontal(const Bitmap32& src, const Bitmap32& dst, const Weights& wt) {
  for (int y = 0; y < src.Height(); ++y) {
    const std::uint8_t* s = src.Row(y);
    std::uint32_t* d = dst.Line(y);
    for (int x = 0; x < dst.Width(); ++x) {
      const int st = wt.start[std::size_t(x)], n = wt.count[std::size_t(x)];
      const int* idx = wt.idx.data() + st;
#ifdef CB_RESAMPLE_SSE2
      const __m128i zero = _mm_setzero_si128();
      const std::int32_t* pw = wt.pair.data() + st / 2;
      __m128i acc = _mm_set1_epi32(kOne >> 1);
      for (int k = 0; k < n; k += 2) {
        std::uint32_t pa, pb;
        std::memcpy(&pa, s + std::ptrdiff_t(idx[k]) * 4, 4);
        std::memcpy(&pb, s + std::ptrdiff_t(idx[k + 1]) * 4, 4);
        const __m128i v = _mm_unpacklo_epi8(
            _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(pa)), _mm_cvtsi32_si128(int(pb))), zero);
        acc = _mm_add_epi32(acc, _mm_madd_epi16(v, _mm_set1_epi32(pw[k / 2])));
      }
      const __m128i v16 = _mm_packs_epi32(_mm_srai_epi32(acc, kShift), zero);
      d[x] = std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(v16, zero)));
#else
      const std::int16_t* w = wt.w.data() + st;
      int a[4] = {0, 0, 0, 0};
      for (int k = 0; k < n; ++k) {
        const std::uint8_t* p = s + std::ptrdiff_t(idx[k]) * 4;
        a[0] += p[0] * w[k];
        a[1] += p[1] * w[k];
        a[2] += p[2] * w[k];
        a[3] += p[3] * w[k];
      }
      d[x] = Pack(a);
#endif
    }
  }
}

void Vertical(const Bitmap32& src, const Bitmap32& dst, const Weights& wt) {
  const int bytes = dst.Width() * 4;
  std::vector<int> acc(static_cast<std::size_t>(bytes));
  std::vector<const std::uint8_t*> rows;
  for (int y = 0; y < dst.Height(); ++y) {
    const int st = wt.start[std::size_t(y)], n = wt.count[std::size_t(y)];
    const std::int16_t* w = wt.w.data() + st;
    rows.resize(std::size_t(n));
    for (int k = 0; k < n; ++k) rows[std::size_t(k)] = src.Row(wt.idx[std::size_t(st + k)]);
    std::uint8_t* d = dst.Row(y);
    int i = 0;
#ifdef CB_RESAMPLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(kOne >> 1);
    for (; i + 16 <= bytes; i += 16) {
      __m128i a0 = round, a1 = round, a2 = round, a3 = round;
      for (int k = 0; k < n; k += 2) {  // counts are even
        const __m128i ra = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[std::size_t(k)] + i));
        const __m128i rb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[std::size_t(k + 1)] + i));
        const __m128i ww = _mm_set1_epi32(wt.pair[std::size_t(st + k) / 2]);
        const __m128i lo = _mm_unpacklo_epi8(ra, rb), hi = _mm_unpackhi_epi8(ra, rb);
        a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), ww));
        a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), ww));
        a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), ww));
        a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), ww));
      }
      const __m128i p01 = _mm_packs_epi32(_mm_srai_epi32(a0, kShift), _mm_srai_epi32(a1, kShift));
      const __m128i p23 = _mm_packs_epi32(_mm_srai_epi32(a2, kShift), _mm_srai_epi32(a3, kShift));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(p01, p23));
    }
#endif
    for (int j = i; j < bytes; ++j) acc[std::size_t(j)] = kOne >> 1;
    for (int k = 0; k < n; ++k) {
      const std::uint8_t* s = rows[std::size_t(k)];
      for (int j = i; j < bytes; ++j) acc[std::size_t(j)] += s[j] * w[k];
    }
    for (int j = i; j < bytes; ++j) {
      const int v = acc[std::size_t(j)] >> kShift;
      d[j] = std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  }
}

}  // namespace

bool Resample(const Bitmap32& Src, Bitmap32& Dst, BmpSize Size, int Filter) {
  const int Width = Size.Width, Height = Size.Height;
  if (Src.Width() < 2 || Src.Height() < 2 || Width <= 0 || Height <= 0) return false;
  if (Support(Filter) == 0.0) return false;
  if (&Src == &Dst) {  // resizing Dst would free the source
    Bitmap32 out;
    if (!Resample(Src, out, Size, Filter)) return false;
    Dst = std::move(out);
    return true;
  }
  if (std::int64_t(Width) * Height > Bitmap32::kMaxPixels ||
      std::int64_t(Width) * Src.Height() > Bitmap32::kMaxPixels)
    return false;
  if (Dst.Width() != Width || Dst.Height() != Height) {
    if (!Dst.OwnsPixels() && !Dst.Empty()) return false;
    Dst.SetSize(Width, Height);
  }
  if (Width == Src.Width() && Height == Src.Height()) {
    for (int y = 0; y < Height; ++y) std::memmove(Dst.Row(y), Src.Row(y), std::size_t(Width) * 4);
    return true;
  }
  Bitmap32 mid(Width, Src.Height());
  Horizontal(Src, mid, Build(Src.Width(), Width, Filter));
  Vertical(mid, Dst, Build(Src.Height(), Height, Filter));
  return true;
}

Bitmap32 ScaleFrames(const Bitmap32& Src, int Cols, int Rows, int Mul, int Div, bool Smooth) {
  if (Div <= 0 || Mul <= 0 || Src.Empty()) return Bitmap32();
  const auto scale = [&](int v) { return std::max(1, int(std::int64_t(v) * Mul / Div)); };
  // Every pixel is written below (the cells, then the strips they leave).
  Bitmap32 dst = Bitmap32::Uninitialized(scale(Src.Width()), scale(Src.Height()));
  Cols = std::max(1, Cols);
  Rows = std::max(1, Rows);
  // Source cells the image cannot hold whole are scaled as one piece.
  if (Src.Width() / Cols == 0 || Src.Height() / Rows == 0) Cols = Rows = 1;
  const int sw = Src.Width() / Cols, sh = Src.Height() / Rows;
  const int dw = dst.Width() / Cols, dh = dst.Height() / Rows;
  if (dw == 0 || dh == 0) {
    StretchNearest(dst, dst.Bounds(), Src, Src.Bounds());
    return dst;
  }
  // Right and bottom strips that no whole cell reaches stay clear.
  for (int y = 0; y < dst.Height(); ++y) {
    const int from = y < Rows * dh ? Cols * dw : 0;
    std::fill(dst.Line(y) + from, dst.Line(y) + dst.Width(), 0u);
  }
  for (int j = 0; j < Rows; ++j)
    for (int i = 0; i < Cols; ++i) {
      const Bitmap32 from = Src.View(BmpRect(i * sw, j * sh, (i + 1) * sw, (j + 1) * sh));
      const BmpRect to(i * dw, j * dh, (i + 1) * dw, (j + 1) * dh);
      Bitmap32 cell = dst.View(to);
      if (!(Smooth && Resample(from, cell, BmpSize(dw, dh), rfMitchell))) StretchNearest(dst, to, from, from.Bounds());
    }
  return dst;
}
