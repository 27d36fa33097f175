#include "skin/paint/PixelOps.h"

#include <functional>
#include <utility>
#include <vector>

#include <algorithm>
#include <cstring>

#include "skin/paint/Resample.h"
#include "skin/paint/SkinColors.h"

// CB_NO_SIMD builds the plain scalar code, which the tests also run.
#if defined(__SSE2__) && !defined(CB_NO_SIMD)
#include <emmintrin.h>
#define CB_PIXEL_SSE2 1
#endif

namespace {

using u8 = std::uint8_t;
using u32 = std::uint32_t;

inline u32 Ch(u32 p, int shift) { return (p >> shift) & 0xFF; }

// Source piece placed at a target point, clipped to both bitmaps.
struct Clip {
  int dx, dy, sx, sy, w, h;
};

// SrcRect includes its right and bottom edges.
bool ClipPiece(const Bitmap32& dst, BmpPoint dp, const Bitmap32& src, const BmpRect& r, Clip& c) {
  if (dst.Empty() || src.Empty()) return false;
  long long dx = dp.X, dy = dp.Y, sx = r.Left, sy = r.Top, sr = r.Right, sb = r.Bottom;
  if (dx < 0) { sx -= dx; dx = 0; }
  if (dy < 0) { sy -= dy; dy = 0; }
  if (sx < 0) { dx -= sx; sx = 0; }
  if (sy < 0) { dy -= sy; sy = 0; }
  if (sr < sx || sb < sy) return false;
  if (sx >= src.Width() || sy >= src.Height() || dx >= dst.Width() || dy >= dst.Height()) return false;
  sr = std::min<long long>(sr, src.Width() - 1);
  sb = std::min<long long>(sb, src.Height() - 1);
  long long w = std::min<long long>(sr - sx + 1, dst.Width() - dx);
  long long h = std::min<long long>(sb - sy + 1, dst.Height() - dy);
  if (w <= 0 || h <= 0) return false;
  c = {int(dx), int(dy), int(sx), int(sy), int(w), int(h)};
  return true;
}

// Half-open rectangle clipped to the bitmap.
bool ClipFill(const Bitmap32& bmp, const BmpRect& r, BmpRect& out) {
  if (bmp.Empty()) return false;
  out.Left = std::max(r.Left, 0);
  out.Top = std::max(r.Top, 0);
  out.Right = std::min(r.Right, bmp.Width());
  out.Bottom = std::min(r.Bottom, bmp.Height());
  return out.Left < out.Right && out.Top < out.Bottom;
}

inline u32* Px(const Bitmap32& b, int x, int y) { return b.Line(y) + x; }

// ---- row kernels --------------------------------------------------------
// Every kernel computes, per byte lane, (s * ws + d * wd) >> 8 with
// ws + wd <= 256 so that the sum fits 16 bits; the SSE2 path and the scalar
// tail give the same bits.

// Per-pixel alpha: a = sA (G = 255) or sA * G >> 8; colour lanes
// (s * a + d * (256 - a)) >> 8, alpha lane the same with s = a, then
// max(dA, that); an opaque source pixel (G = 255) gives alpha 255.
inline u32 AlphaPixel(u32 s, u32 d, int g) {
  u32 sa = s >> 24;
  u32 a = g == 255 ? sa : (sa * u32(g)) >> 8;
  u32 ia = 256 - a;
  u32 b = (Ch(s, 0) * a + Ch(d, 0) * ia) >> 8;
  u32 gg = (Ch(s, 8) * a + Ch(d, 8) * ia) >> 8;
  u32 r = (Ch(s, 16) * a + Ch(d, 16) * ia) >> 8;
  u32 al = (a * a + Ch(d, 24) * ia) >> 8;
  al = std::max(al, d >> 24);
  if (g == 255 && sa == 255) al = 255;
  return b | (gg << 8) | (r << 16) | (al << 24);
}

#ifdef CB_PIXEL_SSE2
// G = 255, four pixels, no unpacking: B and R sit in the even 16-bit lanes,
// G and A in the odd ones. Per lane t = (d << 8) + (s - d) * a, exact
// modulo 2^16 as above; the even lanes take t >> 8, the odd lanes keep the
// high byte of t where it already belongs. The alpha lane's difference is
// held at 0 or more, which gives max(dA, blend) directly (the blend is
// below dA exactly when a < dA).
inline __m128i AlphaQuadFull(__m128i sv, __m128i dv) {
  const __m128i lowBytes = _mm_set1_epi16(0x00FF);
  const __m128i alphaFloor = _mm_set1_epi32(0x00008000);  // G lane unbounded
  const __m128i sOdd = _mm_srli_epi16(sv, 8);
  const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sOdd, 0xF5), 0xF5);
  const __m128i dEven = _mm_and_si128(dv, lowBytes);
  const __m128i diffEven = _mm_sub_epi16(_mm_and_si128(sv, lowBytes), dEven);
  const __m128i tEven = _mm_add_epi16(_mm_slli_epi16(dv, 8), _mm_mullo_epi16(diffEven, a));
  const __m128i diffOdd = _mm_max_epi16(_mm_sub_epi16(sOdd, _mm_srli_epi16(dv, 8)), alphaFloor);
  const __m128i tOdd = _mm_add_epi16(_mm_andnot_si128(lowBytes, dv), _mm_mullo_epi16(diffOdd, a));
  const __m128i res = _mm_or_si128(_mm_srli_epi16(tEven, 8), _mm_andnot_si128(lowBytes, tOdd));
  // An opaque source pixel gives alpha 255.
  return _mm_or_si128(res, _mm_and_si128(_mm_cmpeq_epi8(sv, _mm_set1_epi32(-1)), _mm_set1_epi32(int(0xFF000000u))));
}

// Four opaque source pixels: (255 s + d) >> 8 = s - (d < s), alpha 255.
inline __m128i OpaqueQuad(__m128i sv, __m128i dv) {
  const __m128i ones = _mm_set1_epi32(-1);
  const __m128i dGeS = _mm_cmpeq_epi8(_mm_max_epu8(sv, dv), dv);
  return _mm_or_si128(_mm_add_epi8(sv, _mm_xor_si128(dGeS, ones)), _mm_set1_epi32(int(0xFF000000u)));
}

void AlphaRowFullSse2(u32* d, const u32* s, int n, int& done) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ones = _mm_set1_epi32(-1);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 4));
    // Top alpha bits of the eight pixels: only all-clear or all-set runs
    // can be fully transparent or fully opaque.
    const int top = _mm_movemask_ps(_mm_castsi128_ps(s0)) | (_mm_movemask_ps(_mm_castsi128_ps(s1)) << 4);
    __m128i* dp = reinterpret_cast<__m128i*>(d + i);
    if (top == 0) {
      if ((_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(s0, s1), zero)) & 0x8888) == 0x8888) continue;
    } else if (top == 0xFF) {
      if ((_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(s0, s1), ones)) & 0x8888) == 0x8888) {
        _mm_storeu_si128(dp, OpaqueQuad(s0, _mm_loadu_si128(dp)));
        _mm_storeu_si128(dp + 1, OpaqueQuad(s1, _mm_loadu_si128(dp + 1)));
        continue;
      }
    }
    _mm_storeu_si128(dp, AlphaQuadFull(s0, _mm_loadu_si128(dp)));
    _mm_storeu_si128(dp + 1, AlphaQuadFull(s1, _mm_loadu_si128(dp + 1)));
  }
  for (; i + 4 <= n; i += 4) {
    __m128i* dp = reinterpret_cast<__m128i*>(d + i);
    _mm_storeu_si128(dp, AlphaQuadFull(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)), _mm_loadu_si128(dp)));
  }
  done = i;
}

// G < 255: the scaled alpha a = sA * G >> 8 replaces the source alpha byte,
// after which the rule is the G = 255 one. a stays below 255, so the
// opaque-source override of the quad kernel never fires.
inline __m128i ScaleAlpha(__m128i sv, __m128i gv) {
  const __m128i colourBytes = _mm_set1_epi32(0x00FFFFFF);
  const __m128i a = _mm_mullo_epi16(_mm_srli_epi32(sv, 24), gv);  // sA * G < 2^16
  return _mm_or_si128(_mm_and_si128(sv, colourBytes), _mm_andnot_si128(colourBytes, _mm_slli_epi32(a, 16)));
}

void AlphaRowSse2(u32* d, const u32* s, int n, int g, int& done) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i gv = _mm_set1_epi32(g);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 4));
    // Eight fully transparent source pixels leave the target as it is.
    if ((_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(s0, s1), zero)) & 0x8888) == 0x8888) continue;
    __m128i* dp = reinterpret_cast<__m128i*>(d + i);
    _mm_storeu_si128(dp, AlphaQuadFull(ScaleAlpha(s0, gv), _mm_loadu_si128(dp)));
    _mm_storeu_si128(dp + 1, AlphaQuadFull(ScaleAlpha(s1, gv), _mm_loadu_si128(dp + 1)));
  }
  for (; i + 4 <= n; i += 4) {
    __m128i* dp = reinterpret_cast<__m128i*>(d + i);
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    _mm_storeu_si128(dp, AlphaQuadFull(ScaleAlpha(sv, gv), _mm_loadu_si128(dp)));
  }
  done = i;
}
#endif

void AlphaRow(u32* d, const u32* s, int n, int g) {
  int i = 0;
#ifdef CB_PIXEL_SSE2
  if (g == 255)
    AlphaRowFullSse2(d, s, n, i);
  else
    AlphaRowSse2(d, s, n, g, i);
#endif
  for (; i < n; ++i) d[i] = AlphaPixel(s[i], d[i], g);
}

// (s * ws + d * (256 - ws)) >> 8 on all four bytes; ws in 0..255.
inline u32 MixPixel(u32 s, u32 d, u32 ws) {
  u32 wd = 256 - ws;
  u32 out = 0;
  for (int sh = 0; sh < 32; sh += 8) out |= ((Ch(s, sh) * ws + Ch(d, sh) * wd) >> 8) << sh;
  return out;
}

// out = MixPixel(s, d, ws) for a row; out may alias s or d.
void MixRow(u32* out, const u32* s, const u32* d, int n, int ws) {
  int i = 0;
#ifdef CB_PIXEL_SSE2
  const __m128i zero = _mm_setzero_si128();
  const __m128i wsv = _mm_set1_epi16(short(ws));
  const __m128i wdv = _mm_set1_epi16(short(256 - ws));
  for (; i + 4 <= n; i += 4) {
    __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(sv, zero), wsv),
                                              _mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), wdv)), 8);
    __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(sv, zero), wsv),
                                              _mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), wdv)), 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) out[i] = MixPixel(s[i], d[i], u32(ws));
}

// Colour lanes (c * a + k) >> 8 with k = colour channel * (255 - a); alpha kept.
void TintRow(u32* d, int n, int a, u32 kb, u32 kg, u32 kr) {
  int i = 0;
#ifdef CB_PIXEL_SSE2
  const __m128i zero = _mm_setzero_si128();
  const __m128i av = _mm_set_epi16(256, short(a), short(a), short(a), 256, short(a), short(a), short(a));
  const __m128i kv = _mm_set_epi16(0, short(kr), short(kg), short(kb), 0, short(kr), short(kg), short(kb));
  for (; i + 4 <= n; i += 4) {
    __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(dv, zero), av), kv), 8);
    __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(dv, zero), av), kv), 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; i < n; ++i) {
    u32 p = d[i];
    d[i] = ((Ch(p, 0) * u32(a) + kb) >> 8) | (((Ch(p, 8) * u32(a) + kg) >> 8) << 8) |
           (((Ch(p, 16) * u32(a) + kr) >> 8) << 16) | (p & 0xFF000000u);
  }
}

inline int ClampWeight(int a) { return a < 0 ? 0 : (a > 255 ? 255 : a); }

// Round-half-to-even of (299 R + 587 G + 114 B) / 1000.
inline int Luma(u32 p) {
  int l = 299 * int(Ch(p, 16)) + 587 * int(Ch(p, 8)) + 114 * int(Ch(p, 0));
  int q = l / 1000, rem = l % 1000;
  if (rem > 500 || (rem == 500 && (q & 1))) ++q;
  return q;
}

u32 TonePixel(u32 p, u32 tone) {
  u32 m = std::max({Ch(p, 0), Ch(p, 8), Ch(p, 16)});
  u32 r = (Ch(tone, 0) * m) >> 8, g = (Ch(tone, 8) * m) >> 8, b = (Ch(tone, 16) * m) >> 8;
  return b | (g << 8) | (r << 16) | (p & 0xFF000000u);
}

u32 BrightPixel(u32 p, int v) {
  if (v == 0) return p;
  u32 out = p & 0xFF000000u;
  int av = v < 0 ? -v : v;
  for (int sh = 0; sh < 24; sh += 8) {
    int c = int(Ch(p, sh));
    int n = v > 0 ? std::min(255, c + ((c * av) >> 8)) : std::max(0, c - ((c * av) >> 8));
    out |= u32(n) << sh;
  }
  return out;
}

u32 SatPixel(u32 p, int s) {
  if (s == 0) return p;
  long long grey = Luma(p);
  u32 out = p & 0xFF000000u;
  for (int sh = 0; sh < 24; sh += 8) {
    long long c = Ch(p, sh);
    long long v = ((s + 255LL) * c - grey * s) >> 8;  // arithmetic shift: floor
    out |= u32(v < 0 ? 0 : (v > 255 ? 255 : v)) << sh;
  }
  return out;
}

// HSV round trip in integers: V = max, S * V = max - min, the six-sector
// hue as a fraction N / delta, back-conversion values truncated.
u32 HuePixel(u32 p, int h) {
  int r = int(Ch(p, 16)), g = int(Ch(p, 8)), b = int(Ch(p, 0));
  int mx = std::max({r, g, b}), mn = std::min({r, g, b});
  if (mx == mn) return p;  // grey (also black): unchanged
  long long delta = mx - mn, n;
  if (mx == r) {
    n = 60LL * (g - b);
    if (n < 0) n += 360 * delta;
  } else if (mx == g) {
    n = 120 * delta + 60LL * (b - r);
  } else {
    n = 240 * delta + 60LL * (r - g);
  }
  long long t = (n + (long long)h * delta) / delta;  // Trunc, toward zero
  int hue = int(((t % 360) + 360) % 360);
  int sector = hue / 60, rem = hue % 60;
  int down = int((delta * rem + 59) / 60);  // ceil: Trunc(V - delta * f)
  int up = int((delta * rem) / 60);         // floor: Trunc(min + delta * f)
  int q = mx - down, tt = mn + up;
  int nr, ng, nb;
  switch (sector) {
    case 0: nr = mx; ng = tt; nb = mn; break;
    case 1: nr = q; ng = mx; nb = mn; break;
    case 2: nr = mn; ng = mx; nb = tt; break;
    case 3: nr = mn; ng = q; nb = mx; break;
    case 4: nr = tt; ng = mn; nb = mx; break;
    default: nr = mx; ng = mn; nb = q; break;
  }
  return u32(nb) | (u32(ng) << 8) | (u32(nr) << 16) | (p & 0xFF000000u);
}

}  // namespace

// ---- fills ----------------------------------------------------------------

void FillPixels32(const Bitmap32& Bmp, const BmpRect& R, std::uint32_t Color, std::uint8_t Alpha) {
  BmpRect c;
  if (!ClipFill(Bmp, R, c)) return;
  const u32 v = ColorToPixel(FillColorOf(Color), Alpha);
  const int n = c.Width();
  for (int y = c.Top; y < c.Bottom; ++y) {
    u32* p = Px(Bmp, c.Left, y);
    int i = 0;
#ifdef CB_PIXEL_SSE2
    const __m128i vv = _mm_set1_epi32(int(v));
    if ((reinterpret_cast<std::uintptr_t>(p) & 3) == 0) {  // pixels are 4-byte aligned in practice
      for (; i < n && (reinterpret_cast<std::uintptr_t>(p + i) & 15) != 0; ++i) p[i] = v;
      for (; i + 16 <= n; i += 16) {
        _mm_store_si128(reinterpret_cast<__m128i*>(p + i), vv);
        _mm_store_si128(reinterpret_cast<__m128i*>(p + i + 4), vv);
        _mm_store_si128(reinterpret_cast<__m128i*>(p + i + 8), vv);
        _mm_store_si128(reinterpret_cast<__m128i*>(p + i + 12), vv);
      }
    }
    for (; i + 4 <= n; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), vv);
#endif
    for (; i < n; ++i) p[i] = v;
  }
}

void FillBand32(const Bitmap32& Bmp, const BmpRect& Outer, const BmpRect& Inner, std::uint8_t Alpha,
                std::uint32_t Color) {
  FillPixels32(Bmp, BmpRect(Outer.Left, Outer.Top, Outer.Right, Inner.Top), Color, Alpha);
  FillPixels32(Bmp, BmpRect(Outer.Left, Inner.Top, Inner.Left, Inner.Bottom), Color, Alpha);
  FillPixels32(Bmp, BmpRect(Inner.Right, Inner.Top, Outer.Right, Inner.Bottom), Color, Alpha);
  FillPixels32(Bmp, BmpRect(Outer.Left, Inner.Bottom, Outer.Right, Outer.Bottom), Color, Alpha);
}

void TintRect32(const Bitmap32& Bmp, const BmpRect& R, int A, std::uint32_t Color) {
  BmpRect c;
  if (!ClipFill(Bmp, R, c)) return;
  A = ClampWeight(A);
  const u32 col = FillColorOf(Color);  // 0x00BBGGRR
  const u32 inv = u32(255 - A);
  const u32 kr = (col & 0xFF) * inv, kg = ((col >> 8) & 0xFF) * inv, kb = ((col >> 16) & 0xFF) * inv;
  for (int y = c.Top; y < c.Bottom; ++y) TintRow(Px(Bmp, c.Left, y), c.Width(), A, kb, kg, kr);
}

// ---- copies and blends ----------------------------------------------------

void BlendBitmapConst(const Bitmap32& Dst, const Bitmap32& Src, int A, BmpPoint DstPt, const BmpRect& SrcRect) {
  Clip c;
  if (!ClipPiece(Dst, DstPt, Src, SrcRect, c)) return;
  A = ClampWeight(A);
  // (A * dst + (256 - A) * src) >> 8
  for (int y = 0; y < c.h; ++y) {
    u32* d = Px(Dst, c.dx, c.dy + y);
    MixRow(d, d, Px(Src, c.sx, c.sy + y), c.w, A);
  }
}

void BlendPieceAlpha(const Bitmap32& Dst, const Bitmap32& Src, const BmpRect& SrcRect, int G, BmpPoint DstPt) {
  Clip c;
  if (!ClipPiece(Dst, DstPt, Src, SrcRect, c)) return;
  G = ClampWeight(G);
  for (int y = 0; y < c.h; ++y) AlphaRow(Px(Dst, c.dx, c.dy + y), Px(Src, c.sx, c.sy + y), c.w, G);
}

void StretchPieceAlpha(const Bitmap32& Dst, const BmpRect& DstArea, const Bitmap32& Src, const BmpRect& SrcArea,
                       int G) {
  const int X = DstArea.Left, Y = DstArea.Top, DstW = DstArea.Width(), DstH = DstArea.Height();
  const int SrcX = SrcArea.Left, SrcY = SrcArea.Top;
  int SrcW = SrcArea.Width(), SrcH = SrcArea.Height();
  if (Dst.Empty() || Src.Empty() || SrcW <= 0 || SrcH <= 0 || DstW <= 0 || DstH <= 0) return;
  if (SrcX < 0 || SrcY < 0 || SrcX >= Src.Width() || SrcY >= Src.Height()) return;
  if (X >= Dst.Width() || Y >= Dst.Height() || X + DstW <= 0 || Y + DstH <= 0) return;
  if (std::int64_t(DstW) * DstH > Bitmap32::kMaxPixels) return;
  SrcW = std::min(SrcW, Src.Width() - SrcX);
  SrcH = std::min(SrcH, Src.Height() - SrcY);
  Bitmap32 tmp(DstW, DstH);
  Bitmap32 piece = Src.View(BmpRect(SrcX, SrcY, SrcX + SrcW, SrcY + SrcH));
  bool done = false;
  if (SrcX == 0 && SrcY == 0) done = Resample(piece, tmp, BmpSize(DstW, DstH), rfMitchell);
  if (!done) StretchNearest(tmp, tmp.Bounds(), piece, piece.Bounds());
  BlendPieceAlpha(Dst, tmp, BmpRect(0, 0, DstW - 1, DstH - 1), G, BmpPoint(X, Y));
}

void CopyPieceKeyed(const Bitmap32& Dst, const Bitmap32& Src, const BmpRect& SrcRect, BmpPoint DstPt, std::uint32_t Key,
                    bool OverParent, const TCacheInfo& ParentBG) {
  Clip c;
  if (!ClipPiece(Dst, DstPt, Src, SrcRect, c)) return;
  const u32 key = KeyToPixel(Key);
  const Bitmap32* parent = ParentBG.Bmp;
  const bool intoParent = parent && parent->Row0() == Dst.Row0();
  const bool fromParent = OverParent && ParentBG.Ready && parent && !intoParent && !parent->Empty();
  const bool fillKey = !ParentBG.Ready && ParentBG.FillColor != clKeyColor;
  const u32 fill = ColorToPixel(FillColorOf(ParentBG.FillColor), 255);
  const u32 setAlpha = intoParent ? 0xFF000000u : 0;
  for (int y = 0; y < c.h; ++y) {
    u32* d = Px(Dst, c.dx, c.dy + y);
    const u32* s = Px(Src, c.sx, c.sy + y);
    const int py = ParentBG.Y + c.dy + y;
    for (int x = 0; x < c.w; ++x) {
      u32 p = s[x];
      if (p != key) {
        d[x] = p | setAlpha;
      } else if (fromParent) {
        const int px = ParentBG.X + c.dx + x;
        if (px >= 0 && py >= 0 && px < parent->Width() && py < parent->Height()) d[x] = parent->Pixel(px, py);
      } else if (fillKey) {
        d[x] = fill;
      }
    }
  }
}

void CopyKeyedOpaque(const Bitmap32& Dst, const Bitmap32& Src, int X, std::uint32_t Key, int Y) {
  Clip c;
  if (!ClipPiece(Dst, BmpPoint(X, Y), Src, BmpRect(0, 0, Src.Width() - 1, Src.Height() - 1), c)) return;
  const u32 key = KeyToPixel(Key & 0xFFFFFFu);
  for (int y = 0; y < c.h; ++y) {
    u32* d = Px(Dst, c.dx, c.dy + y);
    const u32* s = Px(Src, c.sx, c.sy + y);
    for (int x = 0; x < c.w; ++x)
      if (s[x] != key) d[x] = s[x] | 0xFF000000u;
  }
}

void BlendKeyed(const Bitmap32& Dst, int X, int Y, std::uint32_t Key, int A, const BmpRect& SrcRect,
                const Bitmap32& Src) {
  Clip c;
  if (!ClipPiece(Dst, BmpPoint(X, Y), Src, SrcRect, c)) return;
  A = ClampWeight(A);
  const u32 key = KeyToPixel(Key);
  for (int y = 0; y < c.h; ++y) {
    u32* d = Px(Dst, c.dx, c.dy + y);
    const u32* s = Px(Src, c.sx, c.sy + y);
    for (int x = 0; x < c.w; ++x) {
      if (s[x] == key) continue;
      u32 o = 0;
      for (int sh = 0; sh < 32; sh += 8)
        o |= ((Ch(s[x], sh) * u32(255 - A) + Ch(d[x], sh) * u32(A)) >> 8) << sh;
      d[x] = o;
    }
  }
}

void BlendByOwnAlpha(const Bitmap32& Dst, const Bitmap32& Src) {
  if (Dst.Empty() || Dst.Width() != Src.Width() || Dst.Height() != Src.Height()) return;
  for (int y = 0; y < Dst.Height(); ++y) {
    u32* d = Dst.Line(y);
    const u32* s = Src.Line(y);
    for (int x = 0; x < Dst.Width(); ++x) {
      const u32 a = s[x] >> 24, ia = 256 - a;
      u32 o = d[x] & 0xFF000000u;
      for (int sh = 0; sh < 24; sh += 8) o |= ((Ch(s[x], sh) * a + Ch(d[x], sh) * ia) >> 8) << sh;
      d[x] = o;
    }
  }
}

void CrossFade(const Bitmap32& Out, const Bitmap32& A, const Bitmap32& B, int W) {
  if (Out.Empty() || Out.Width() != A.Width() || Out.Height() != A.Height() || A.Width() != B.Width() ||
      A.Height() != B.Height())
    return;
  W = ClampWeight(W);
  // (W * b + (256 - W) * a) >> 8
  for (int y = 0; y < Out.Height(); ++y) MixRow(Out.Line(y), B.Line(y), A.Line(y), Out.Width(), W);
}

void MaskWithColour(const Bitmap32& Dst, const Bitmap32& Mask, std::uint32_t Color) {
  if (Dst.Empty() || Dst.Width() != Mask.Width() || Dst.Height() != Mask.Height()) return;
  const u32 col = ColorToPixel(FillColorOf(Color), 0);
  for (int y = 0; y < Dst.Height(); ++y) {
    u32* d = Dst.Line(y);
    const u32* m = Mask.Line(y);
    for (int x = 0; x < Dst.Width(); ++x) {
      u32 o = d[x] & 0xFF000000u;
      for (int sh = 0; sh < 24; sh += 8) {
        const u32 mc = Ch(m[x], sh);
        o |= ((Ch(d[x], sh) * mc + Ch(col, sh) * (256 - mc)) >> 8) << sh;
      }
      d[x] = o;
    }
  }
}

// ---- colour effects -------------------------------------------------------

std::uint32_t ApplyPixelOp(std::uint32_t Pixel, TPixelOp Op, int Value) {
  switch (Op) {
    case TPixelOp::Tone: return TonePixel(Pixel, u32(Value));
    case TPixelOp::Brightness: return BrightPixel(Pixel, std::clamp(Value, -255, 255));
    case TPixelOp::Saturation: return SatPixel(Pixel, Value);
    case TPixelOp::Hue: return HuePixel(Pixel, Value);
    case TPixelOp::Opaque: return Pixel | 0xFF000000u;
  }
  return Pixel;
}

void ForEachPixel(const Bitmap32& Bmp, TPixelOp Op, int Value, std::uint32_t Key) {
  if (Bmp.Empty()) return;
  if (Op == TPixelOp::Tone) Value = int(FillColorOf(u32(Value)));
  const bool useKey = Key != clNoColor;
  const u32 key = KeyToPixel(Key);
  for (int y = 0; y < Bmp.Height(); ++y) {
    u32* p = Bmp.Line(y);
    for (int x = 0; x < Bmp.Width(); ++x)
      if (!useKey || p[x] != key) p[x] = ApplyPixelOp(p[x], Op, Value);
  }
}

std::uint32_t ChangeColorHue(std::uint32_t Color, int Degrees) {
  return SwapRB(HuePixel(SwapRB(Color), Degrees));
}
std::uint32_t ChangeColorSaturation(std::uint32_t Color, int Value) {
  return SwapRB(SatPixel(SwapRB(Color), Value));
}
std::uint32_t ChangeColorBrightness(std::uint32_t Color, int Value) {
  return SwapRB(BrightPixel(SwapRB(Color), std::clamp(Value, -255, 255)));
}

void ApplyColourEffects(const Bitmap32& Bmp, std::uint32_t ColorTone, int HueOffset, int Saturation,
                        const ISkinColorSource* Manager) {
  if (ColorTone != clNoColor) ForEachPixel(Bmp, TPixelOp::Tone, int(SkinColorToRGB(ColorTone, Manager)), clKeyColor);
  if (HueOffset != 0) ForEachPixel(Bmp, TPixelOp::Hue, HueOffset, clKeyColor);
  if (Saturation != 0) ForEachPixel(Bmp, TPixelOp::Saturation, Saturation, clKeyColor);
}

std::uint8_t GreyOf(std::uint32_t Pixel) { return std::uint8_t(Luma(Pixel)); }

namespace {
void Grey(const Bitmap32& Bmp, bool skip, u32 skipPixel) {
  for (int y = 0; y < Bmp.Height(); ++y) {
    u32* p = Bmp.Line(y);
    for (int x = 0; x < Bmp.Width(); ++x) {
      if (skip && p[x] == skipPixel) continue;
      const u32 g = u32(Luma(p[x]));
      p[x] = (p[x] & 0xFF000000u) | g | (g << 8) | (g << 16);
    }
  }
}
}  // namespace

void Greyscale32(const Bitmap32& Bmp) { Grey(Bmp, false, 0); }
void Greyscale32(const Bitmap32& Bmp, std::uint32_t SkipPixel) { Grey(Bmp, true, SkipPixel); }

// ---- disabled look ----------------------------------------------------------

TacDisabledSettings& DisabledSettings() {
  static TacDisabledSettings settings;
  return settings;
}

void DrawDisabled(const Bitmap32& Bmp, unsigned Kinds, const std::function<std::uint32_t()>& ParentColor,
                  BmpPoint Offset, const TCacheInfo& ParentBG) {
  if (Bmp.Empty()) return;
  const TacDisabledSettings& s = DisabledSettings();
  // Key pixels mark where the parent shows through: the disabled look leaves them.
  std::vector<std::pair<int, int>> keys;
  for (int y = 0; y < Bmp.Height(); ++y) {
    const u32* p = Bmp.Line(y);
    for (int x = 0; x < Bmp.Width(); ++x)
      if ((p[x] & 0xFFFFFFu) == (KeyToPixel(clKeyColor) & 0xFFFFFFu)) keys.emplace_back(x, y);
  }
  struct TPutBack {
    const Bitmap32& B;
    const std::vector<std::pair<int, int>>& K;
    std::vector<u32> V;
    ~TPutBack() {
      for (size_t i = 0; i < K.size(); ++i) B.SetPixel(K[i].first, K[i].second, V[i]);
    }
  } putBack{Bmp, keys, {}};
  for (auto [x, y] : keys) putBack.V.push_back(Bmp.Pixel(x, y));
  if (Kinds & dkGrayed) {
    if (s.Saturation == -100)
      Greyscale32(Bmp);
    else
      ForEachPixel(Bmp, TPixelOp::Saturation, s.Saturation * 255 / 100);
  }
  if (Kinds & dkBlended) {
    if (ParentBG.Ready && ParentBG.Bmp) {
      const int px = ParentBG.X + Offset.X, py = ParentBG.Y + Offset.Y;
      BlendKeyed(Bmp, 0, 0, clKeyColor, s.Blend, BmpRect(px, py, px + Bmp.Width() - 1, py + Bmp.Height() - 1),
                 *ParentBG.Bmp);
    } else {
      u32 color = ParentBG.FillColor;
      if (color == clKeyColor) color = ParentColor ? ParentColor() : 0xFFFFFF;
      TintRect32(Bmp, Bmp.Bounds(), s.Blend, color);
    }
  }
}

// ---- image preparation ------------------------------------------------------

void MakeKeyTransparent(const Bitmap32& Bmp, std::uint32_t Key) {
  const u32 key = SwapRB(Key) & 0xFFFFFFu;
  const int w = Bmp.Width(), h = Bmp.Height();
  for (int y = 0; y < h; ++y) {
    u32* p = Bmp.Line(y);
    int x = 0;
#ifdef CB_PIXEL_SSE2
    // Four pixels at once: a key pixel (compared without its alpha) becomes
    // the key, every other one opaque.
    const __m128i rgb = _mm_set1_epi32(0x00FFFFFF), keyv = _mm_set1_epi32(int(key));
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    for (; x + 4 <= w; x += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
      const __m128i isKey = _mm_cmpeq_epi32(_mm_and_si128(v, rgb), keyv);
      const __m128i out = _mm_or_si128(_mm_and_si128(isKey, keyv), _mm_andnot_si128(isKey, _mm_or_si128(v, opaque)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + x), out);
    }
#endif
    for (; x < w; ++x) p[x] = (p[x] & 0xFFFFFFu) == key ? key : (p[x] | 0xFF000000u);
  }
}

void ClearOpaqueKey(const Bitmap32& Bmp) {
  const int w = Bmp.Width(), h = Bmp.Height();
  for (int y = 0; y < h; ++y) {
    u32* p = Bmp.Line(y);
    int x = 0;
#ifdef CB_PIXEL_SSE2
    // The alpha byte of the lanes equal to the opaque key is cleared.
    const __m128i key = _mm_set1_epi32(int(0xFFFF00FFu)), alpha = _mm_set1_epi32(int(0xFF000000u));
    for (; x + 4 <= w; x += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
      const __m128i clear = _mm_and_si128(_mm_cmpeq_epi32(v, key), alpha);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + x), _mm_andnot_si128(clear, v));
    }
#endif
    for (; x < w; ++x)
      if (p[x] == 0xFFFF00FFu) p[x] = 0x00FF00FFu;
  }
}

void PremultiplyAlpha(const Bitmap32& Bmp, bool LimitBright) {
  for (int y = 0; y < Bmp.Height(); ++y) {
    u32* p = Bmp.Line(y);
    for (int x = 0; x < Bmp.Width(); ++x) {
      const u32 v = p[x];
      if (v == 0x00FFFFFFu) {
        p[x] = 0;
        continue;
      }
      const u32 a = v >> 24;
      u32 b = (Ch(v, 0) * a) >> 8, g = (Ch(v, 8) * a) >> 8, r = (Ch(v, 16) * a) >> 8;
      if (LimitBright && b >= 245 && g >= 245 && r >= 245) b = g = r = 244;
      p[x] = b | (g << 8) | (r << 16) | (a << 24);
    }
  }
}

namespace {

// Columns x0 to x1 of a row twice as wide as `in`: column x is in[x div 2].
// `out2`, when given, gets the same row.
void WidenTwice(u32* out, u32* out2, const u32* in, int x0, int x1) {
  int x = x0;
  if (x & 1) {
    out[x] = in[x >> 1];
    if (out2) out2[x] = in[x >> 1];
    ++x;
  }
#ifdef CB_PIXEL_SSE2
  // Four source pixels, each doubled by interleaving the lanes with themselves.
  for (; x + 8 <= x1; x += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + (x >> 1)));
    const __m128i lo = _mm_unpacklo_epi32(v, v), hi = _mm_unpackhi_epi32(v, v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4), hi);
    if (out2) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out2 + x), lo);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out2 + x + 4), hi);
    }
  }
#endif
  for (; x + 1 < x1; x += 2) {
    out[x] = out[x + 1] = in[x >> 1];
    if (out2) out2[x] = out2[x + 1] = in[x >> 1];
  }
  if (x < x1) {
    out[x] = in[x >> 1];
    if (out2) out2[x] = in[x >> 1];
  }
}

}  // namespace

void StretchNearest(const Bitmap32& Dst, const BmpRect& DstRect, const Bitmap32& Src, const BmpRect& SrcRect) {
  const int dw = DstRect.Width(), dh = DstRect.Height(), sw = SrcRect.Width(), sh = SrcRect.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || Dst.Empty() || Src.Empty()) return;
  // The source column of each target column is the same on every row: one
  // 64-bit division per column instead of one per pixel (skin loading at
  // high densities enlarges every border image this way).
  const int x0 = std::max(0, -DstRect.Left), x1 = std::min(dw, Dst.Width() - DstRect.Left);
  if (x1 <= x0) return;
  // (2x + 1) * sw div (2 * kx * sw) is x div kx for every x >= 0.
  const int kx = dw == 2 * sw ? 2 : 0;
  std::vector<int> cols;
  const auto findCols = [&] {
    cols.resize(std::size_t(x1 - x0));
    for (int x = x0; x < x1; ++x) {
      const int sx = SrcRect.Left + int((2LL * x + 1) * sw / (2LL * dw));
      cols[std::size_t(x - x0)] = sx >= 0 && sx < Src.Width() ? sx : -1;
    }
  };
  // Enlarging repeats source rows: a row like the one before is a copy of it,
  // when every column is taken from the source and the two bitmaps do not
  // share memory (writing a row must not change the rows still read). Twice
  // as wide, the source columns run from x0 div 2 to (x1 - 1) div 2.
  bool allCols = true;
  if (kx == 2) {
    allCols = SrcRect.Left + x0 / 2 >= 0 && SrcRect.Left + (x1 - 1) / 2 < Src.Width();
  } else {
    findCols();
    for (const int sx : cols) allCols = allCols && sx >= 0;
  }
  const auto span = [](const Bitmap32& b) {
    const std::uint8_t *a = b.Row(0), *z = b.Row(b.Height() - 1);
    return std::pair<const std::uint8_t*, const std::uint8_t*>(std::min(a, z),
                                                               std::max(a, z) + std::size_t(b.Width()) * 4);
  };
  const auto [sLo, sHi] = span(Src);
  const auto [dLo, dHi] = span(Dst);
  const std::less<const std::uint8_t*> before;
  const bool copyRows = allCols && !(before(sLo, dHi) && before(dLo, sHi));
  if (!(copyRows && kx == 2) && cols.empty()) findCols();
  const u32* prevSrc = nullptr;
  const u32* prevDst = nullptr;
  for (int y = std::max(0, -DstRect.Top); y < dh && DstRect.Top + y < Dst.Height(); ++y) {
    const int sy = SrcRect.Top + int((2LL * y + 1) * sh / (2LL * dh));
    if (sy < 0 || sy >= Src.Height()) continue;
    const u32* s = Src.Line(sy);
    u32* d = Dst.Line(DstRect.Top + y);
    if (copyRows && s == prevSrc) {
      std::memmove(d + DstRect.Left + x0, prevDst + DstRect.Left + x0, std::size_t(x1 - x0) * 4);
      continue;
    }
    if (copyRows && kx == 2) {
      // Twice as wide (every border image at 200 %): target column x shows
      // source column x div 2, each source pixel written twice, and into the
      // next row as well when that repeats this source row (twice as high),
      // rather than reading the row back to copy it.
      const int ny = y + 1;
      u32* next = ny < dh && DstRect.Top + ny < Dst.Height() && SrcRect.Top + int((2LL * ny + 1) * sh / (2LL * dh)) == sy
                      ? Dst.Line(DstRect.Top + ny) + DstRect.Left
                      : nullptr;
      WidenTwice(d + DstRect.Left, next, s + SrcRect.Left, x0, x1);
      prevSrc = s;
      prevDst = d;
      if (next) ++y;
      continue;
    }
    for (int x = x0; x < x1; ++x)
      if (const int sx = cols[std::size_t(x - x0)]; sx >= 0) d[DstRect.Left + x] = s[sx];
    prevSrc = s;
    prevDst = d;
  }
}

void CopyPiece(const Bitmap32& Dst, BmpPoint DstPt, const Bitmap32& Src, const BmpRect& SrcRect) {
  Clip c;
  if (!ClipPiece(Dst, DstPt, Src, BmpRect(SrcRect.Left, SrcRect.Top, SrcRect.Right - 1, SrcRect.Bottom - 1), c))
    return;
  for (int y = 0; y < c.h; ++y) std::memmove(Px(Dst, c.dx, c.dy + y), Px(Src, c.sx, c.sy + y), std::size_t(c.w) * 4);
}
