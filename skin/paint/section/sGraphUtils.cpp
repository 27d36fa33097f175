#include "sGraphUtils.h"
#include "base/Rounding.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "skin/paint/PixelOps.h"
#include "skin/paint/SkinColors.h"

// CB_NO_SIMD builds the plain scalar code, which the tests also run.
#if defined(__SSE2__) && !defined(CB_NO_SIMD)
#include <emmintrin.h>
#define CB_SECTION_SSE2 1
#endif

namespace cb {

namespace {

using u32 = std::uint32_t;

constexpr u32 kKeyPixel = 0x00FF00FF;  // the magenta key as a pixel (alpha 0)

BmpRect Intersect(const BmpRect& a, const BmpRect& b) {
  return BmpRect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                 std::min(a.Bottom, b.Bottom));
}
bool IsEmpty(const BmpRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }
BmpRect Inclusive(const BmpRect& r) { return BmpRect(r.Left, r.Top, r.Right - 1, r.Bottom - 1); }

int Weight(int percent) { return std::clamp(percent * 255 / 100, 0, 255); }

// A state colour as painting uses it: system colours through the skin palette.
u32 PaintColor(u32 c, const TacSkinData* sd) {
  if (IsSystemColor(c) || (c & 0xFF000000u) == 0xF1000000u)
    return SkinColorToRGB(c, sd ? static_cast<const ISkinColorSource*>(sd->FOwner) : nullptr) & 0xFFFFFF;
  return c & 0xFFFFFF;
}

bool ValidSection(const TacSkinData* sd, int i) { return sd && sd->FOwner && i >= 0 && i < int(sd->gd.size()); }
bool ValidMask(const TacSkinData* sd, int i) { return sd && i >= 0 && i < int(sd->ma.size()); }

int ClampState(int state, int states) { return std::clamp(std::min(state, states - 1), 0, 2); }

u32 ParentPixel(const TCacheInfo& bg, int x, int y, bool& ok) {
  ok = false;
  if (!bg.Ready || !bg.Bmp) return 0;
  int px = bg.X + x, py = bg.Y + y;
  if (px < 0 || py < 0 || px >= bg.Bmp->Width() || py >= bg.Bmp->Height()) return 0;
  ok = true;
  return bg.Bmp->Pixel(px, py);
}

// Image-and-mask composition of one piece: dst rect D receives the source
// rect S (scaled by nearest neighbour when sizes differ); the mask lies
// MaskOffset rows below the image. Key pixels take the parent (when over it),
// the parent's fill colour, or leave the target.
void ComposeMasked(Bitmap32& Dst, const BmpRect& D, const Bitmap32& Src, const BmpRect& S, int MaskOffset,
                   const TCacheInfo& ParentBG, bool OverParent) {
  const int dw = D.Width(), dh = D.Height(), sw = S.Width(), sh = S.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const bool fillKey = !ParentBG.Ready && ParentBG.FillColor != clKeyColor;
  const u32 fill = ColorToPixel(FillColorOf(ParentBG.FillColor), 255);
  const bool intoParent = ParentBG.Bmp && ParentBG.Bmp->Row0() == Dst.Row0();
  for (int y = std::max(0, -D.Top); y < dh && D.Top + y < Dst.Height(); ++y) {
    const int sy = S.Top + (sh == dh ? y : int((2LL * y + 1) * sh / (2LL * dh)));
    const int my = sy + MaskOffset;
    if (sy < 0 || my < 0 || my >= Src.Height() || sy >= Src.Height()) continue;
    const u32* img = Src.Line(sy);
    const u32* msk = Src.Line(my);
    u32* d = Dst.Line(D.Top + y);
    for (int x = std::max(0, -D.Left); x < dw && D.Left + x < Dst.Width(); ++x) {
      const int sx = S.Left + (sw == dw ? x : int((2LL * x + 1) * sw / (2LL * dw)));
      if (sx < 0 || sx >= Src.Width()) continue;
      const u32 s = img[sx];
      u32& t = d[D.Left + x];
      if (s == kKeyPixel) {
        bool ok = false;
        u32 p = OverParent && !intoParent ? ParentPixel(ParentBG, D.Left + x, D.Top + y, ok) : 0;
        if (ok) t = p;
        else if (fillKey) t = fill;
        continue;
      }
      const u32 m = msk[sx];
      u32 out = 0;
      for (int sh8 = 0; sh8 < 32; sh8 += 8) {
        const int ic = int((s >> sh8) & 0xFF), dc = int((t >> sh8) & 0xFF);
        const int mc = sh8 == 24 ? int(m & 0xFF) : int((m >> sh8) & 0xFF);
        const int v = (((dc - ic) * mc) >> 8) + ic;
        out |= u32(std::clamp(v, 0, 255)) << sh8;
      }
      t = out;
    }
  }
}

// Tiles Src piece S over area A of Dst, the grid anchored at Origin.
void Tile(Bitmap32& Dst, const BmpRect& A, const Bitmap32& Src, const BmpRect& S, BmpPoint Origin) {
  const int tw = S.Width(), th = S.Height();
  if (tw <= 0 || th <= 0 || IsEmpty(A)) return;
  auto floorDiv = [](int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
  const int y0 = Origin.Y + floorDiv(A.Top - Origin.Y, th) * th;
  const int x0 = Origin.X + floorDiv(A.Left - Origin.X, tw) * tw;
  for (int y = y0; y < A.Bottom; y += th)
    for (int x = x0; x < A.Right; x += tw) {
      BmpRect d = Intersect(BmpRect(x, y, x + tw, y + th), A);
      if (IsEmpty(d)) continue;
      CopyPiece(Dst, BmpPoint(d.Left, d.Top), Src,
                BmpRect(S.Left + d.Left - x, S.Top + d.Top - y, S.Left + d.Right - x, S.Top + d.Bottom - y));
    }
}

void TileMasked(Bitmap32& Dst, const BmpRect& A, const Bitmap32& Src, const BmpRect& S, int MaskOffset,
                const TCacheInfo& ParentBG) {
  const int tw = S.Width(), th = S.Height();
  if (tw <= 0 || th <= 0) return;
  for (int y = A.Top; y < A.Bottom; y += th)
    for (int x = A.Left; x < A.Right; x += tw) {
      BmpRect d = Intersect(BmpRect(x, y, x + tw, y + th), A);
      ComposeMasked(Dst, d, Src, BmpRect(S.Left, S.Top, S.Left + d.Width(), S.Top + d.Height()), MaskOffset, ParentBG,
                    true);
    }
}

// Parent's image (or fill colour) into Rect, as for full transparency.
void CopyParent(Bitmap32& Bmp, const BmpRect& Rect, const TCacheInfo& bg, BmpPoint Offset) {
  if (bg.Bmp && bg.Ready) {
    if (bg.Bmp->Row0() == Bmp.Row0()) return;  // painting over itself
    CopyPiece(Bmp, BmpPoint(Rect.Left, Rect.Top), *bg.Bmp,
              BmpRect(bg.X + Offset.X, bg.Y + Offset.Y, bg.X + Offset.X + Rect.Width(), bg.Y + Offset.Y + Rect.Height()));
    return;
  }
  FillPixels32(Bmp, Rect, FillColorOf(bg.FillColor), 255);
  if (!bg.Bmp) return;
  // Real image only outside FillRect: copy the strips around it.
  const int sx = bg.X + Offset.X, sy = bg.Y + Offset.Y;
  const BmpRect src = Intersect(BmpRect(sx, sy, sx + Rect.Width(), sy + Rect.Height()), bg.Bmp->Bounds());
  const BmpRect& f = bg.FillRect;
  const BmpRect strips[4] = {
      BmpRect(src.Left, src.Top, std::min(src.Right, f.Left), src.Bottom),
      BmpRect(std::max(src.Left, f.Left), src.Top, std::min(src.Right, f.Right), std::min(src.Bottom, f.Top)),
      BmpRect(std::max(src.Left, f.Right), src.Top, src.Right, src.Bottom),
      BmpRect(std::max(src.Left, f.Left), std::max(src.Top, f.Bottom), std::min(src.Right, f.Right), src.Bottom)};
  for (const BmpRect& s : strips)
    if (!IsEmpty(s)) CopyPiece(Bmp, BmpPoint(Rect.Left + s.Left - sx, Rect.Top + s.Top - sy), *bg.Bmp, s);
}

// Nearest-neighbour stretch of source piece S onto D, sampling as the pixel
// layer's StretchNearest does ((2i + 1) * s / 2d) but stepping the source
// row and column incrementally: border sides are thin and long, and two
// divisions per pixel were most of their cost.
struct NearestStep {
  int q, r, qStep, rStep, den;
  NearestStep(int from, int s, int d)
      : q(int((2LL * from + 1) * s / (2LL * d))), r(int((2LL * from + 1) * s % (2LL * d))),
        qStep(s / d), rStep(2 * (s % d)), den(2 * d) {}
  void Next() {
    q += qStep;
    r += rStep;
    if (r >= den) {
      r -= den;
      ++q;
    }
  }
};

void StretchPiece(Bitmap32& Dst, const BmpRect& D, const Bitmap32& Src, const BmpRect& S) {
  const int dw = D.Width(), dh = D.Height(), sw = S.Width(), sh = S.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || Dst.Empty() || Src.Empty()) return;
  const int x0 = std::max(0, -D.Left), x1 = std::min(dw, Dst.Width() - D.Left);
  const int y0 = std::max(0, -D.Top), y1 = std::min(dh, Dst.Height() - D.Top);
  if (x0 >= x1 || y0 >= y1) return;
  // Every row samples the same columns: find the runs of pixels that take
  // one source column once, then fill them row by row.
  struct Run { int From, To, Sx; };
  Run few[16];
  std::vector<Run> many;
  Run* runs = few;
  int count = 0;
  if (std::min(sw, x1 - x0) > int(std::size(few))) {
    many.resize(size_t(std::min(sw, x1 - x0)));
    runs = many.data();
  }
  auto add = [&](int from, int to, int sx) {
    if (sx >= 0 && sx < Src.Width()) runs[count++] = Run{from, to, sx};
  };
  if (sw <= dw) {
    // Enlarging: column j's run ends at the first x with (2x + 1) sw >= 2 dw (j + 1).
    for (int j = int((2LL * x0 + 1) * sw / (2LL * dw)), x = x0; x < x1; ++j) {
      const int end = std::max(x + 1, int(std::min<long long>(x1, (2LL * dw * (j + 1) + sw - 1) / (2LL * sw))));
      add(x, end, S.Left + j);
      x = end;
    }
  } else {
    NearestStep xs(x0, sw, dw);
    for (int x = x0; x < x1; ++x, xs.Next()) add(x, x + 1, S.Left + xs.q);
  }
  NearestStep ys(y0, sh, dh);
  for (int y = y0; y < y1; ++y, ys.Next()) {
    const int sy = S.Top + ys.q;
    if (sy < 0 || sy >= Src.Height()) continue;
    const u32* s = Src.Line(sy);
    u32* d = Dst.Line(D.Top + y) + D.Left;
    for (int i = 0; i < count; ++i) {
      const u32 v = s[runs[i].Sx];
      int x = runs[i].From;
#ifdef CB_SECTION_SSE2
      const __m128i vv = _mm_set1_epi32(int(v));
      for (; x + 4 <= runs[i].To; x += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), vv);
#endif
      for (; x < runs[i].To; ++x) d[x] = v;
    }
  }
}

// Rows of R become (p * A + c * (256 - A)) >> 8 on all four bytes, c the
// row's colour in Column (row 0 at Top) and p the pixel of From at FromAt
// (top left of R), or R's own pixel when From is null: the arithmetic of
// blending a bitmap whose rows are each one colour, without the bitmap.
void BlendRowColours(Bitmap32& Bmp, const BmpRect& R, const Bitmap32& Column, int Top, int A, const Bitmap32* From,
                     BmpPoint FromAt) {
  const u32 a = u32(std::clamp(A, 0, 255)), ia = 256 - a;
  for (int y = R.Top; y < R.Bottom; ++y) {
    const u32 c = Column.Pixel(0, y - Top);
    u32* d = Bmp.Line(y) + R.Left;
    const u32* p = From ? From->Line(FromAt.Y + y - R.Top) + FromAt.X : d;
    const int n = R.Width();
    int x = 0;
#ifdef CB_SECTION_SSE2
    // Every 16-bit lane stays at most 255 * 256, so the unsigned sums fit.
    auto k = [&](int sh) { return short(((c >> sh) & 0xFF) * ia); };
    const __m128i kv = _mm_set_epi16(k(24), k(16), k(8), k(0), k(24), k(16), k(8), k(0));
    const __m128i av = _mm_set1_epi16(short(a)), zero = _mm_setzero_si128();
    for (; x + 4 <= n; x += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
      const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), av), kv), 8);
      const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), av), kv), 8);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), _mm_packus_epi16(lo, hi));
    }
#endif
    // Two bytes per multiply; the 16-bit lanes never carry into each other.
    const u32 kEven = (c & 0x00FF00FFu) * ia, kOdd = ((c >> 8) & 0x00FF00FFu) * ia;
    for (; x < n; ++x) {
      const u32 v = p[x];
      const u32 even = (((v & 0x00FF00FFu) * a + kEven) >> 8) & 0x00FF00FFu;
      const u32 odd = (((v >> 8) & 0x00FF00FFu) * a + kOdd) & 0xFF00FF00u;
      d[x] = even | odd;
    }
  }
}

struct Content {
  u32 Color = 0xFFFFFF;
  int Tex = 0, Grad = 0;
  int Texture = -1;
  const std::vector<TsGradPoint>* Points = nullptr;
};

void PaintGradientOrColor(Bitmap32& Bmp, const BmpRect& R, const Content& c) {
  if (c.Points && !c.Points->empty()) PaintGradient(Bmp, R, *c.Points);
  else FillPixels32(Bmp, R, c.Color, 255);
}

bool HasTexture(const Content& c, TacSkinData* sd) {
  return c.Tex > 0 && ValidMask(sd, c.Texture) && MaskSource(sd->ma[size_t(c.Texture)]);
}

// True when FillContent paints every row in one colour whatever the width:
// no texture, and a plain colour or a top-to-bottom gradient.
bool RowUniform(const Content& c, TacSkinData* sd) {
  if (HasTexture(c, sd)) return false;
  if (c.Grad <= 0 || !c.Points || c.Points->size() <= 1) return true;
  return ((*c.Points)[0].Mode & gpDirectionBits) == 0;
}

// Colour, texture and gradient of a section's state into R.
void FillContent(Bitmap32& Bmp, const BmpRect& R, const Content& c, TacSkinData* sd, const TCacheInfo& ParentBG) {
  bool painted = false;
  if (HasTexture(c, sd)) {
    const TsMaskData& m = sd->ma[size_t(c.Texture)];
    BmpRect left = R;
    if (m.MaskType != 0) DrawMaskedTexture(Bmp, left, ParentBG, m.DrawMode, m);
    else DrawTexture(Bmp, left, m.DrawMode, m);
    if (left.Left != -1 || left.Right != -1) FillPixels32(Bmp, Intersect(left, R), c.Color, 255);
    painted = true;
  }
  if (c.Grad > 0) {
    if (painted) {
      Bitmap32 tmp(R.Width(), R.Height());
      PaintGradientOrColor(tmp, tmp.Bounds(), c);
      BlendBitmapConst(Bmp, tmp, std::clamp(c.Tex * 255 / 100, 0, 255), BmpPoint(R.Left, R.Top),
                       Inclusive(tmp.Bounds()));
    } else {
      PaintGradientOrColor(Bmp, R, c);
    }
  }
  const int sum = c.Tex + c.Grad;
  if (sum >= 1 && sum <= 99) TintRect32(Bmp, R, Weight(sum), c.Color);
  if (c.Tex <= 0 && c.Grad <= 0) FillPixels32(Bmp, R, c.Color, 255);
}

void ApplyEffects(ISectionBinding& cd, Bitmap32& Bmp) {
  TacSkinData* sd = cd.SkinData();
  if (cd.ColorTone() != clNoColor)
    ForEachPixel(Bmp, TPixelOp::Tone, int(SkinColorToRGB(cd.ColorTone(), sd ? sd->FOwner : nullptr) & 0xFFFFFF),
                 clKeyColor);
  if (cd.HUEOffset() != 0) ForEachPixel(Bmp, TPixelOp::Hue, cd.HUEOffset(), clKeyColor);
  if (cd.Saturation() != 0) ForEachPixel(Bmp, TPixelOp::Saturation, cd.Saturation(), clKeyColor);
}

bool RectInside(const Bitmap32& Bmp, const BmpRect& R) {
  auto in = [&](int x, int y) { return x >= 0 && y >= 0 && x <= Bmp.Width() && y <= Bmp.Height(); };
  return in(R.Left, R.Top) && in(R.Right, R.Bottom);
}

void PaintCorners(TacSkinData* sd, const TsGeneralData& g, Bitmap32& Bmp, const BmpRect& Rect, int State) {
  TCacheInfo self = MakeCacheInfo(Bmp);
  const int idx[4] = {g.ImgTL, g.ImgTR, g.ImgBL, g.ImgBR};
  for (int k = 0; k < 4; ++k) {
    if (!ValidMask(sd, idx[k])) continue;
    const TsMaskData& m = sd->ma[size_t(idx[k])];
    const int x = (k & 1) ? Rect.Right - m.Width : Rect.Left;
    const int y = (k & 2) ? Rect.Bottom - m.Height : Rect.Top;
    DrawCornerImage(Bmp, BmpPoint(x, y), State, self, m, 1);
  }
}

// Steps shared by the entries without a control.
void PaintIndexed(int SkinIndex, const TCacheInfo& ParentBG, const TsMaskData* Border, int TextureHot,
                  int TextureNormal, TacSkinData* sd, Bitmap32& Bmp, BmpPoint Offset, const BmpRect& Rect,
                  int State) {
  if (!ValidSection(sd, SkinIndex) || Bmp.Empty()) return;
  if (Rect.Left < 0 || Rect.Top < 0 || !RectInside(Bmp, Rect)) return;
  const TsGeneralData& g = sd->gd[size_t(SkinIndex)];
  State = ClampState(State, g.States);
  PaintSectionBackground(SkinIndex, ParentBG, State, clKeyColor, TextureHot, TextureNormal, sd, Bmp, Offset, Rect);
  PaintCorners(sd, g, Bmp, Rect, State);
  if (!Border && ValidMask(sd, g.BorderIndex)) Border = &sd->ma[size_t(g.BorderIndex)];
  if (Border) {
    TCacheInfo bg = ParentBG;
    bg.X += Offset.X;
    bg.Y += Offset.Y;
    DrawBorderMask(Bmp, Rect, bg, true, State, *Border);
  }
}

}  // namespace

void FitBorder(int size, int& a, int& b) {
  if (size >= a + b) return;
  const int d = a + b - size, h = d / 2;
  a = std::max(a - h, 0);
  b = std::max(b - h - (d % 2), 0);
}

const Bitmap32* MaskSource(const TsMaskData& Mask) {
  if (Mask.Bmp) return Mask.Bmp;
  if (!Mask.Manager) return nullptr;
  const Bitmap32* m = Mask.Manager->MasterBitmap.get();
  return m && !m->Empty() ? m : nullptr;
}

void PaintSection(ISectionBinding& CommonData, const TCacheInfo& ParentBG, bool CornersOverParent, int State,
                  Bitmap32& Bmp, BmpPoint Offset, BmpRect Rect) {
  TacSkinData* sd = CommonData.SkinData();
  const int si = CommonData.SkinIndex();
  if (!ValidSection(sd, si) || Bmp.Empty()) return;
  if (!RectInside(Bmp, Rect)) return;
  const TsGeneralData& g = sd->gd[size_t(si)];
  State = std::max(0, std::min(State, g.States - 1));
  PaintControlBackground(CommonData, ParentBG, State, Bmp, Offset, Rect);
  PaintCorners(sd, g, Bmp, Rect, std::min(State, 2));
  bool effects;
  if (ValidMask(sd, g.BorderIndex) && !(State == 0 && (sd->ma[size_t(g.BorderIndex)].DrawMode & dmNotInState0))) {
    TCacheInfo bg = ParentBG;
    bg.X += Offset.X;
    bg.Y += Offset.Y;
    DrawBorderMask(Bmp, Rect, bg, CornersOverParent, State, sd->ma[size_t(g.BorderIndex)]);
    effects = true;
  } else {
    effects = g.Props[size_t(std::min(State, 2))].Transparency == 0;
  }
  if (effects) ApplyEffects(CommonData, Bmp);
}

void PaintControlBackground(ISectionBinding& CommonData, const TCacheInfo& ParentBG, int State, Bitmap32& Bmp,
                            BmpPoint Offset, const BmpRect& Rect) {
  TacSkinData* sd = CommonData.SkinData();
  const int si = CommonData.SkinIndex();
  if (!ValidSection(sd, si)) return;
  u32 custom = clKeyColor;
  if (CommonData.CustomColor()) custom = SkinColorToRGB(CommonData.OwnerColor(), sd->FOwner) & 0xFFFFFF;
  State = std::max(0, std::min(State, sd->gd[size_t(si)].States - 1));
  PaintSectionBackground(si, ParentBG, State, custom, kNoTexture, kNoTexture, sd, Bmp, Offset, Rect);
}

void PaintSectionByIndex(int SkinIndex, const TCacheInfo& ParentBG, int TextureHot, int TextureNormal,
                         TacSkinData* SkinData, Bitmap32& Bmp, BmpPoint Offset, const BmpRect& Rect, int State) {
  PaintIndexed(SkinIndex, ParentBG, nullptr, TextureHot, TextureNormal, SkinData, Bmp, Offset, Rect, State);
}

void PaintSectionWithMask(int SkinIndex, const TCacheInfo& ParentBG, const TsMaskData& BorderMask,
                          TacSkinData* SkinData, Bitmap32& Bmp, BmpPoint Offset, const BmpRect& Rect, int State) {
  PaintIndexed(SkinIndex, ParentBG, &BorderMask, kNoTexture, kNoTexture, SkinData, Bmp, Offset, Rect, State);
}

void PaintSectionBackground(int SkinIndex, const TCacheInfo& ParentBG, int State, std::uint32_t CustomColor,
                            int TextureHot, int TextureNormal, TacSkinData* SkinData, Bitmap32& Bmp, BmpPoint Offset,
                            const BmpRect& Rect) {
  TacSkinData* sd = SkinData;
  if (!ValidSection(sd, SkinIndex) || Bmp.Empty() || IsEmpty(Rect)) return;
  const TsGeneralData& g = sd->gd[size_t(SkinIndex)];
  State = ClampState(State, g.States);
  const TsGenState& P = g.Props[size_t(State)];

  Content c;
  int transparency = 0;
  bool gradientOnTop = false;
  if ((CustomColor & 0xFFFFFF) == clKeyColor && (CustomColor >> 24) == 0) {
    c.Color = PaintColor(u32(P.Color), sd);
    transparency = std::clamp(P.Transparency, 0, 100);
    gradientOnTop = !P.GradientArray.empty() && (P.GradientArray[0].Mode & gpOnTop);
    if (transparency < 100) {
      c.Tex = P.ImagePercent;
      c.Grad = gradientOnTop ? 0 : P.GradientPercent;
      if (c.Tex > 0 && TextureNormal < 0) TextureNormal = P.TextureIndex;
    }
    c.Points = &P.GradientArray;
  } else {
    c.Color = PaintColor(CustomColor, sd);
  }
  c.Texture = TextureNormal;
  const bool usesImage = (c.Tex > 0 && ValidMask(sd, c.Texture)) || c.Grad > 0;
  const BmpRect clipped = Intersect(Rect, Bmp.Bounds());
  // The parent's pixel under Rect's top left is at X + Offset.X, Y + Offset.Y,
  // whether Rect is painted in place or in a bitmap of its own.
  TCacheInfo inPlace = ParentBG;
  inPlace.X += Offset.X - Rect.Left;
  inPlace.Y += Offset.Y - Rect.Top;

  if (ParentBG.Known()) {
    if (transparency == 0) {
      FillContent(Bmp, clipped, c, sd, inPlace);
    } else if (transparency == 100) {
      CopyParent(Bmp, Rect, ParentBG, Offset);
    } else if (ParentBG.Ready || usesImage) {
      TCacheInfo bg = ParentBG;
      bg.X += Offset.X;
      bg.Y += Offset.Y;
      if (RowUniform(c, sd)) {
        // One pixel per row is enough to know the content; blend it straight
        // over the parent's copy instead of through a whole temporary bitmap.
        Bitmap32 column(1, Rect.Height());
        FillContent(column, column.Bounds(), c, sd, bg);
        const Bitmap32* parent = ParentBG.Ready && ParentBG.Bmp && ParentBG.Bmp->Row0() != Bmp.Row0() ? ParentBG.Bmp : nullptr;
        const BmpPoint at(ParentBG.X + Offset.X, ParentBG.Y + Offset.Y);
        if (parent && clipped == Rect && at.X >= 0 && at.Y >= 0 && at.X + Rect.Width() <= parent->Width() &&
            at.Y + Rect.Height() <= parent->Height()) {
          // The parent's pixels are read where they are, not copied first.
          BlendRowColours(Bmp, Rect, column, Rect.Top, Weight(transparency), parent, at);
        } else {
          CopyParent(Bmp, Rect, ParentBG, Offset);
          BlendRowColours(Bmp, clipped, column, Rect.Top, Weight(transparency), nullptr, BmpPoint(0, 0));
        }
      } else {
        Bitmap32 tmp(Rect.Width(), Rect.Height());
        FillContent(tmp, tmp.Bounds(), c, sd, bg);
        CopyParent(Bmp, Rect, ParentBG, Offset);
        BlendBitmapConst(Bmp, tmp, Weight(transparency), BmpPoint(Rect.Left, Rect.Top), Inclusive(tmp.Bounds()));
      }
    } else {
      FillPixels32(Bmp, clipped, MixTwoColours(FillColorOf(ParentBG.FillColor), c.Color, Weight(transparency)) & 0xFFFFFF,
                   255);
    }
  } else {
    FillContent(Bmp, clipped, c, sd, inPlace);
  }

  if (gradientOnTop) PaintGradient(Bmp, clipped, P.GradientArray);

  const int last = State == 0 ? (TextureNormal >= 0 ? TextureNormal : P.TextureIndex) : TextureHot;
  if (ValidMask(sd, last)) {
    const TsMaskData& m = sd->ma[size_t(last)];
    if (m.MaskType > 0 && m.DrawMode == fmWholeTiles) {
      BmpRect r = clipped;
      DrawMaskedTexture(Bmp, r, inPlace, fmWholeTiles, m);
    }
  }
}

void DrawBorderMask(Bitmap32& Bmp, const BmpRect& Rect, const TCacheInfo& ParentBG, bool CornersOverParent, int State,
                    const TsMaskData& Mask) {
  if (State == 0 && (Mask.DrawMode & dmNotInState0)) return;
  if (Rect.Width() < 2 || Rect.Height() < 2 || !Mask.Manager) return;
  const Bitmap32* src = MaskSource(Mask);
  if (!src || Bmp.Empty()) return;

  int wl = Mask.WL, wt = Mask.WT, wr = Mask.WR, wb = Mask.WB;
  FitBorder(Rect.Width(), wl, wr);
  FitBorder(Rect.Height(), wt, wb);
  const int cw = Mask.Width - wl - wr, ch = Mask.Height - wt - wb;
  if (cw < 0 || ch < 0 || Mask.Width <= 0 || Mask.Height <= 0) return;

  const int sx = Mask.R.Left + std::max(0, std::min(State, int(Mask.ImageCount) - 1)) * Mask.Width;
  const int sy = Mask.R.Top;
  const int mw = Mask.Width, mh = Mask.Height;
  const bool stretch = Mask.DrawMode & dmStretch;
  const bool alpha = Mask.MaskType == 0 && (Mask.DrawMode & dmAlpha);
  const int maskOffset = Mask.R.Height() / 2;
  const bool cornersOver = CornersOverParent && (Mask.Cfg & cfgCornerBits);

  // Destination bounds of the inner edges.
  const int L = Rect.Left, T = Rect.Top, R = Rect.Right, B = Rect.Bottom;

  auto corner = [&](const BmpRect& s, int dx, int dy) {
    if (IsEmpty(s)) return;
    const BmpRect d(dx, dy, dx + s.Width(), dy + s.Height());
    if (Mask.MaskType > 0) ComposeMasked(Bmp, d, *src, s, maskOffset, ParentBG, cornersOver);
    else if (alpha) BlendPieceAlpha(Bmp, *src, Inclusive(s), 255, BmpPoint(dx, dy));
    else CopyPieceKeyed(Bmp, *src, Inclusive(s), BmpPoint(dx, dy), clKeyColor, cornersOver, ParentBG);
  };
  // A side or the centre: source piece s laid over destination area d, tiled
  // along the axes where the piece is smaller, or stretched once.
  auto fill = [&](const BmpRect& s, const BmpRect& d) {
    if (IsEmpty(s) || IsEmpty(d)) return;
    if (stretch || (s.Width() == d.Width() && s.Height() == d.Height())) {
      if (Mask.MaskType > 0) {
        ComposeMasked(Bmp, d, *src, s, maskOffset, ParentBG, false);
      } else if (alpha) {
        if (s.Width() == d.Width() && s.Height() == d.Height())
          BlendPieceAlpha(Bmp, *src, Inclusive(s), 255, BmpPoint(d.Left, d.Top));
        else
          StretchPieceAlpha(Bmp, d, *src, s, 255);
      } else {
        StretchPiece(Bmp, d, *src, s);
      }
      return;
    }
    // Whole tiles while they fit, then one cut tile up to the end.
    for (int y = d.Top; y < d.Bottom; y += s.Height()) {
      const int th = std::min(s.Height(), d.Bottom - y);
      for (int x = d.Left; x < d.Right; x += s.Width()) {
        const int tw = std::min(s.Width(), d.Right - x);
        const BmpRect piece(s.Left, s.Top, s.Left + tw, s.Top + th);
        if (Mask.MaskType > 0) ComposeMasked(Bmp, BmpRect(x, y, x + tw, y + th), *src, piece, maskOffset, ParentBG, false);
        else if (alpha) BlendPieceAlpha(Bmp, *src, Inclusive(piece), 255, BmpPoint(x, y));
        else CopyPiece(Bmp, BmpPoint(x, y), *src, piece);
      }
    }
  };

  // Top-left, left, top, bottom-left, bottom, bottom-right, top-right, right, centre.
  corner(BmpRect(sx, sy, sx + wl, sy + wt), L, T);
  fill(BmpRect(sx, sy + wt, sx + wl, sy + wt + ch), BmpRect(L, T + wt, L + wl, B - wb));
  fill(BmpRect(sx + wl, sy, sx + wl + cw, sy + wt), BmpRect(L + wl, T, R - wr, T + wt));
  corner(BmpRect(sx, sy + mh - wb, sx + wl, sy + mh), L, B - wb);
  fill(BmpRect(sx + wl, sy + mh - wb, sx + wl + cw, sy + mh), BmpRect(L + wl, B - wb, R - wr, B));
  corner(BmpRect(sx + mw - wr, sy + mh - wb, sx + mw, sy + mh), R - wr, B - wb);
  corner(BmpRect(sx + mw - wr, sy, sx + mw, sy + wt), R - wr, T);
  fill(BmpRect(sx + mw - wr, sy + wt, sx + mw, sy + wt + ch), BmpRect(R - wr, T + wt, R, B - wb));
  if (Mask.DrawMode & dmCentre)
    fill(BmpRect(sx + wl, sy + wt, sx + wl + cw, sy + wt + ch), BmpRect(L + wl, T + wt, R - wr, B - wb));
}

void DrawCornerImage(Bitmap32& Bmp, BmpPoint Position, int State, const TCacheInfo& ParentBG, const TsMaskData& Mask,
                     int Opaque) {
  const Bitmap32* src = MaskSource(Mask);
  if (!src || Bmp.Empty() || Mask.Width <= 0 || Mask.Height <= 0) return;
  if (Mask.Bmp && (Mask.Bmp->Width() < Mask.R.Right || Mask.Bmp->Height() < Mask.R.Bottom)) return;
  State = std::max(0, std::min(State, int(Mask.ImageCount) - 1));
  BmpRect s(Mask.R.Left + State * Mask.Width, Mask.R.Top, Mask.R.Left + (State + 1) * Mask.Width,
            Mask.R.Top + Mask.Height);
  int x = Position.X, y = Position.Y;
  if (x < 0) { s.Left -= x; x = 0; }
  if (y < 0) { s.Top -= y; y = 0; }
  if (IsEmpty(s)) return;
  if (Mask.MaskType > 0) {
    ComposeMasked(Bmp, BmpRect(x, y, x + s.Width(), y + s.Height()), *src, s, Mask.R.Height() / 2, ParentBG, true);
    return;
  }
  const bool alpha = (Mask.DrawMode & dmAlpha) || Mask.ImgType == itisaPngGlyph;
  if (Opaque == 1) {
    if (alpha) BlendPieceAlpha(Bmp, *src, Inclusive(s), 255, BmpPoint(x, y));
    else CopyPieceKeyed(Bmp, *src, Inclusive(s), BmpPoint(x, y), clKeyColor, true, ParentBG);
  } else {
    if (alpha) BlendPieceAlpha(Bmp, *src, Inclusive(s), 127, BmpPoint(x, y));
    else BlendKeyed(Bmp, x, y, clKeyColor, 127, Inclusive(s), *src);
  }
}

void DrawTexture(Bitmap32& Bmp, BmpRect& R, int FillMode, const TsMaskData& Mask) {
  const Bitmap32* src = MaskSource(Mask);
  const BmpRect none(-1, -1, -1, -1);
  const BmpRect tile(Mask.R.Left, Mask.R.Top, Mask.R.Right, Mask.R.Top + (Mask.R.Height() / (Mask.MaskType + 1)));
  const int tw = tile.Width(), th = tile.Height();
  if (!src || Bmp.Empty() || IsEmpty(R) || tw <= 0 || th <= 0) return;
  const BmpRect r = R;
  auto rest = [&](BmpRect left) { R = IsEmpty(left) ? none : left; };
  switch (FillMode) {
    case 0: Tile(Bmp, r, *src, tile, BmpPoint(r.Left, r.Top)); R = none; break;
    case 1: StretchNearest(Bmp, r, *src, tile); R = none; break;
    case 2: {
      BmpRect a(r.Left, r.Top, r.Right, std::min(r.Bottom, r.Top + th));
      Tile(Bmp, a, *src, tile, BmpPoint(r.Left, r.Top));
      rest(BmpRect(r.Left, a.Bottom, r.Right, r.Bottom));
      break;
    }
    case 3: {
      BmpRect a(r.Left, r.Top, std::min(r.Right, r.Left + tw), r.Bottom);
      Tile(Bmp, a, *src, tile, BmpPoint(r.Left, r.Top));
      rest(BmpRect(a.Right, r.Top, r.Right, r.Bottom));
      break;
    }
    case 4: {
      BmpRect a(r.Left, r.Top, r.Right, std::min(r.Bottom, r.Top + th));
      StretchNearest(Bmp, a, *src, BmpRect(tile.Left, tile.Top, tile.Right, tile.Top + a.Height()));
      rest(BmpRect(r.Left, a.Bottom, r.Right, r.Bottom));
      break;
    }
    case 5: {
      BmpRect a(r.Left, r.Top, std::min(r.Right, r.Left + tw), r.Bottom);
      StretchNearest(Bmp, a, *src, BmpRect(tile.Left, tile.Top, tile.Left + a.Width(), tile.Bottom));
      rest(BmpRect(a.Right, r.Top, r.Right, r.Bottom));
      break;
    }
    case 6: {
      BmpRect a(r.Left, std::max(r.Top, r.Bottom - th), r.Right, r.Bottom);
      Tile(Bmp, a, *src, tile, BmpPoint(r.Left, r.Bottom - th));
      rest(BmpRect(r.Left, r.Top, r.Right, a.Top));
      break;
    }
    case 7: case 8: case 9: case 14: {
      BmpRect a(std::max(r.Left, r.Right - tw), r.Top, r.Right, r.Bottom);
      Tile(Bmp, a, *src, tile, BmpPoint(r.Right - tw, r.Top));
      if (FillMode == 7) rest(BmpRect(r.Left, r.Top, a.Left, r.Bottom));
      else R = none;
      break;
    }
    case 10: {
      const int nx = r.Width() / tw, ny = r.Height() / th;
      Tile(Bmp, BmpRect(r.Left, r.Top, r.Left + nx * tw, r.Top + ny * th), *src, tile, BmpPoint(r.Left, r.Top));
      R = none;
      break;
    }
    case 11:
      for (int y = r.Top; y < r.Bottom; y += th) {
        const int h = std::min(th, r.Bottom - y);
        StretchNearest(Bmp, BmpRect(r.Left, y, r.Right, y + h), *src,
                       BmpRect(tile.Left, tile.Top, tile.Right, tile.Top + h));
      }
      R = none;
      break;
    case 12:
      for (int x = r.Left; x < r.Right; x += tw) {
        const int w = std::min(tw, r.Right - x);
        StretchNearest(Bmp, BmpRect(x, r.Top, x + w, r.Bottom), *src,
                       BmpRect(tile.Left, tile.Top, tile.Left + w, tile.Bottom));
      }
      R = none;
      break;
    case 13: Tile(Bmp, r, *src, tile, BmpPoint(r.Right - tw, r.Bottom - th)); R = none; break;
    default: break;  // unknown modes paint nothing and leave R as it is
  }
}

void DrawMaskedTexture(Bitmap32& Bmp, BmpRect& R, const TCacheInfo& ParentBG, int FillMode, const TsMaskData& Mask) {
  const Bitmap32* src = MaskSource(Mask);
  const BmpRect none(-1, -1, -1, -1);
  if (!src || Bmp.Empty() || IsEmpty(R) || Mask.MaskType <= 0) return;
  const int th = Mask.R.Height() / (Mask.MaskType + 1), tw = Mask.R.Width();
  if (tw <= 0 || th <= 0) return;
  const BmpRect tile(Mask.R.Left, Mask.R.Top, Mask.R.Right, Mask.R.Top + th);
  const int maskOffset = Mask.R.Height() / 2;
  const BmpRect r = R;
  if (FillMode == 0) {
    TileMasked(Bmp, r, *src, tile, maskOffset, ParentBG);
    R = none;
  } else if (FillMode == 10) {
    const int nx = r.Width() / tw, ny = r.Height() / th;
    const BmpRect whole(r.Left, r.Top, r.Left + nx * tw, r.Top + ny * th);
    TileMasked(Bmp, whole, *src, tile, maskOffset, ParentBG);
    // The strips right of and below the whole tiles show the background.
    const BmpRect strips[2] = {BmpRect(whole.Right, r.Top, r.Right, r.Bottom),
                               BmpRect(r.Left, whole.Bottom, whole.Right, r.Bottom)};
    for (const BmpRect& s : strips) {
      if (IsEmpty(s)) continue;
      if (ParentBG.Ready && ParentBG.Bmp && ParentBG.Bmp->Row0() != Bmp.Row0())
        CopyPiece(Bmp, BmpPoint(s.Left, s.Top), *ParentBG.Bmp,
                  BmpRect(ParentBG.X + s.Left, ParentBG.Y + s.Top, ParentBG.X + s.Right, ParentBG.Y + s.Bottom));
      else if (ParentBG.FillColor != clKeyColor)
        FillPixels32(Bmp, s, FillColorOf(ParentBG.FillColor), 255);
    }
    R = none;
  }
}

namespace {

int Channel(u32 c, int sh) { return int((c >> sh) & 0xFF); }

// One band row colour: first + k * step, rounded to nearest (ties to even).
u32 BandColor(u32 c1, u32 c2, int k, int n) {
  if (c1 == c2 || n <= 0) return c1;
  u32 out = 0;
  for (int sh = 0; sh < 24; sh += 8) {
    const double step = double(Channel(c2, sh) - Channel(c1, sh)) / n;
    const int v = RoundEven(Channel(c1, sh) + step * k);
    out |= u32(std::clamp(v, 0, 255)) << sh;
  }
  return out;
}

// The system gradient fill's interpolation: 16-bit channels, truncated.
u32 SysGradientColor(u32 c1, u32 c2, int k, int n) {
  if (n <= 0) return c1;
  u32 out = 0;
  for (int sh = 0; sh < 24; sh += 8) {
    const int a = Channel(c1, sh) << 8, b = Channel(c2, sh) << 8;
    out |= u32(((a + int((long long)(b - a) * k / n)) >> 8) & 0xFF) << sh;
  }
  return out;
}

void FillRow(Bitmap32& Bmp, int y, int l, int r, u32 pixel) {
  u32* d = Bmp.Line(y);
  for (int x = l; x < r; ++x) d[x] = pixel;
}

// Colour of point p in the triangle (a, b, c) by barycentric weights.
u32 TriangleColor(double px, double py, const double* v, const u32* c) {
  const double det = (v[3] - v[5]) * (v[0] - v[4]) + (v[4] - v[2]) * (v[1] - v[5]);
  if (det == 0) return c[0];
  const double w0 = ((v[3] - v[5]) * (px - v[4]) + (v[4] - v[2]) * (py - v[5])) / det;
  const double w1 = ((v[5] - v[1]) * (px - v[4]) + (v[0] - v[4]) * (py - v[5])) / det;
  const double w2 = 1 - w0 - w1;
  u32 out = 0;
  for (int sh = 0; sh < 24; sh += 8) {
    const double ch = w0 * Channel(c[0], sh) + w1 * Channel(c[1], sh) + w2 * Channel(c[2], sh);
    out |= u32(std::clamp(int(ch), 0, 255)) << sh;
  }
  return out;
}

bool InTriangle(double px, double py, const double* v) {
  auto side = [&](int a, int b) {
    return (v[2 * b] - v[2 * a]) * (py - v[2 * a + 1]) - (v[2 * b + 1] - v[2 * a + 1]) * (px - v[2 * a]);
  };
  const double d1 = side(0, 1), d2 = side(1, 2), d3 = side(2, 0);
  const bool neg = d1 < 0 || d2 < 0 || d3 < 0, pos = d1 > 0 || d2 > 0 || d3 > 0;
  return !(neg && pos);
}

}  // namespace

namespace {

using GradPoints = std::vector<TsGradPoint>;

u32 PointColor(const GradPoints& Points, size_t i) { return Points[i].Color & 0xFFFFFFu; }

bool SystemFill(const GradPoints& Points, size_t i) {
  return (Points[i].Mode & gpSystemFill) || (Points[i - 1].Mode & gpSystemFill);
}

u32 BandStep(const GradPoints& Points, size_t i, int k, int n) {
  const u32 a = PointColor(Points, i - 1), b = PointColor(Points, i);
  return SystemFill(Points, i) ? SysGradientColor(a, b, k, n) : BandColor(a, b, k, n);
}

// Mode 0: horizontal bands from top to bottom; r is Rect clipped to the bitmap.
void PaintVerticalGradient(Bitmap32& Bmp, const BmpRect& Rect, const BmpRect& r, const GradPoints& Points,
                           int Offset) {
  const size_t n = Points.size();
  const int total = Rect.Height() + Offset;
  int y = Rect.Top + Offset;
  for (size_t i = 1; i < n && y < Rect.Bottom; ++i) {
    int rows = (int(Points[i].Percent) - int(Points[i - 1].Percent)) * total / 100;
    if (i == n - 1) rows = Rect.Bottom - y;
    for (int k = 0; k < rows; ++k, ++y) {
      if (y < r.Top || y >= r.Bottom) continue;
      FillRow(Bmp, y, r.Left, r.Right, ColorToPixel(BandStep(Points, i, k, rows), 255));
    }
  }
}

// Mode 1: vertical bands from left to right, one row built and copied down.
void PaintHorizontalGradient(Bitmap32& Bmp, const BmpRect& Rect, const BmpRect& r, const GradPoints& Points) {
  const size_t n = Points.size();
  std::vector<u32> row(size_t(Rect.Width()), 0);
  double edge = 0;
  int x = 0;
  for (size_t i = 1; i < n && x < Rect.Width(); ++i) {
    edge = RoundEvenValue(edge + (int(Points[i].Percent) - int(Points[i - 1].Percent)) * double(Rect.Width()) / 100);
    int end = i == n - 1 ? Rect.Width() : std::min(int(edge), Rect.Width());
    const int cols = end - x;
    for (int k = 0; k < cols; ++k, ++x) row[size_t(x)] = ColorToPixel(BandStep(Points, i, k, cols), 255);
  }
  for (int y = r.Top; y < r.Bottom; ++y)
    std::memcpy(Bmp.Line(y) + r.Left, row.data() + (r.Left - Rect.Left), size_t(r.Width()) * 4);
}

// Four corners and a centre, with gpOnTop: our own four-corner blend, bilinear
// between the corner colours of points 1..4.
void PaintCornerGradient(Bitmap32& Bmp, const BmpRect& Rect, const BmpRect& r, const GradPoints& Points) {
  const double L = Rect.Left, T = Rect.Top, R = Rect.Right - 1, B = Rect.Bottom - 1;
  const u32 tl = PointColor(Points, 1), tr = PointColor(Points, 2), br = PointColor(Points, 3),
            bl = PointColor(Points, 4);
  for (int y = r.Top; y < r.Bottom; ++y) {
    const double fy = B > T ? (y - T) / (B - T) : 0;
    for (int x = r.Left; x < r.Right; ++x) {
      const double fx = R > L ? (x - L) / (R - L) : 0;
      u32 out = 0;
      for (int sh = 0; sh < 24; sh += 8) {
        const double top = Channel(tl, sh) * (1 - fx) + Channel(tr, sh) * fx;
        const double bot = Channel(bl, sh) * (1 - fx) + Channel(br, sh) * fx;
        out |= u32(std::clamp(RoundEven(top * (1 - fy) + bot * fy), 0, 255)) << sh;
      }
      Bmp.SetPixel(x, y, ColorToPixel(out, 255));
    }
  }
}

// Four corners and a centre: four triangles meeting at the centre, each
// coloured by barycentric weights.
void PaintTriangleGradient(Bitmap32& Bmp, const BmpRect& Rect, const BmpRect& r, const GradPoints& Points) {
  const double L = Rect.Left, T = Rect.Top, R = Rect.Right - 1, B = Rect.Bottom - 1;
  const double cx = (L + R) / 2, cy = (T + B) / 2;
  const double vx[5][2] = {{L, T}, {cx, cy}, {R, T}, {R, B}, {L, B}};
  const int tri[4][3] = {{0, 1, 2}, {1, 2, 3}, {0, 1, 4}, {4, 1, 3}};
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x)
      for (const auto& t : tri) {
        const double v[6] = {vx[t[0]][0], vx[t[0]][1], vx[t[1]][0], vx[t[1]][1], vx[t[2]][0], vx[t[2]][1]};
        if (!InTriangle(x, y, v)) continue;
        const u32 c[3] = {PointColor(Points, size_t(t[0])), PointColor(Points, size_t(t[1])),
                          PointColor(Points, size_t(t[2]))};
        Bmp.SetPixel(x, y, ColorToPixel(TriangleColor(x, y, v, c), 255));
        break;
      }
}

}  // namespace

void PaintGradient(Bitmap32& Bmp, const BmpRect& Rect, const std::vector<TsGradPoint>& Points, int Offset) {
  const BmpRect r = Intersect(Rect, Bmp.Bounds());
  if (IsEmpty(r) || Points.empty()) return;
  const u32 mode = Points[0].Mode & gpDirectionBits;
  // One colour, or too few points for four corners and a centre: a plain fill.
  if (Points.size() == 1 || (mode > 1 && Points.size() < 5)) return FillPixels32(Bmp, r, PointColor(Points, 0), 255);
  if (mode == 0) return PaintVerticalGradient(Bmp, Rect, r, Points, Offset);
  if (mode == 1) return PaintHorizontalGradient(Bmp, Rect, r, Points);
  if (Points[0].Mode & gpOnTop) return PaintCornerGradient(Bmp, Rect, r, Points);
  PaintTriangleGradient(Bmp, Rect, r, Points);
}

void RestoreCorners(ISectionBinding& CommonData, Bitmap32& Cache, int State, int Corners) {
  TacSkinData* sd = CommonData.SkinData();
  const int si = CommonData.SkinIndex();
  if (!ValidSection(sd, si) || Cache.Empty()) return;
  const int bi = sd->gd[size_t(si)].BorderIndex;
  if (!ValidMask(sd, bi)) return;
  const TsMaskData& m = sd->ma[size_t(bi)];
  const Bitmap32* src = MaskSource(m);
  if (!src || !(m.Cfg & cfgCornerBits)) return;
  TCacheInfo bg;
  if (!CommonData.ParentBackground(bg)) return;
  if (!bg.Ready && bg.FillColor == clKeyColor) return;
  // An image of its own is one cell, whatever the record says of states.
  int cx = 0, cy = 0, cellW = src->Width(), cellH = src->Height() / (m.MaskType + 1);
  int maskOffset = m.MaskType > 0 ? src->Height() / 2 : 0;
  if (!m.Bmp) {
    State = std::max(0, std::min(State, int(m.ImageCount) - 1));
    cx = m.R.Left + State * m.Width;
    cy = m.R.Top;
    cellW = m.Width;
    cellH = m.Height;
    maskOffset = m.R.Height() / 2;
  }
  struct C { int bit, sx, sy, w, h, dx, dy; };
  const int W = Cache.Width(), H = Cache.Height();
  const C cs[4] = {{kCornerTopLeft, cx, cy, m.WL, m.WT, 0, 0},
                   {kCornerBottomLeft, cx, cy + cellH - m.WB, m.WL, m.WB, 0, H - m.WB},
                   {kCornerTopRight, cx + cellW - m.WR, cy, m.WR, m.WT, W - m.WR, 0},
                   {kCornerBottomRight, cx + cellW - m.WR, cy + cellH - m.WB, m.WR, m.WB, W - m.WR, H - m.WB}};
  // Where the parent's image does not reach, only a known colour stands in.
  const bool haveFill = bg.FillColor != clKeyColor;
  const u32 fill = ColorToPixel(FillColorOf(bg.FillColor), 255);
  for (const C& c : cs) {
    if (!(Corners & c.bit)) continue;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        const int sx = c.sx + x, sy = c.sy + y, dx = c.dx + x, dy = c.dy + y;
        if (sx < 0 || sy < 0 || sx >= src->Width() || sy >= src->Height()) continue;
        if (dx < 0 || dy < 0 || dx >= W || dy >= H) continue;
        bool ok = false;
        u32 parent = ParentPixel(bg, dx, dy, ok);
        if (!ok) {
          if (!haveFill) continue;
          parent = fill;
        }
        if (m.MaskType > 0) {
          if (sy + maskOffset < 0 || sy + maskOffset >= src->Height()) continue;
          const u32 mk = src->Pixel(sx, sy + maskOffset);
          const u32 cur = Cache.Pixel(dx, dy);
          u32 out = 0;
          for (int sh = 0; sh < 32; sh += 8) {
            const int pc = Channel(parent, sh), cc = Channel(cur, sh), mc = sh == 24 ? Channel(mk, 0) : Channel(mk, sh);
            out |= u32(std::clamp((((pc - cc) * mc) >> 8) + cc, 0, 255)) << sh;
          }
          Cache.SetPixel(dx, dy, out);
        } else if (src->Pixel(sx, sy) == kKeyPixel) {
          Cache.SetPixel(dx, dy, parent);
        }
      }
  }
}

void DrawOuterMask(Bitmap32& Bmp, const BmpRect& Rect, const TCacheInfo& ParentBG, int Opacity,
                   const TMargins& Offsets, int State, const TsMaskData& Mask) {
  (void)ParentBG;  // key pixels are skipped: what lies under them stays
  if (State == 0 && (Mask.DrawMode & dmNotInState0)) return;
  if (Rect.Width() < 2 || Rect.Height() < 2 || !Mask.Manager) return;
  const Bitmap32* src = MaskSource(Mask);
  if (!src || Bmp.Empty() || Mask.Width <= 0 || Mask.Height <= 0) return;
  // Only the band outside the control is covered.
  int wl = std::min<int>(Mask.WL, std::max(0, Offsets.Left));
  int wt = std::min<int>(Mask.WT, std::max(0, Offsets.Top));
  int wr = std::min<int>(Mask.WR, std::max(0, Offsets.Right));
  int wb = std::min<int>(Mask.WB, std::max(0, Offsets.Bottom));
  FitBorder(Rect.Width(), wl, wr);
  FitBorder(Rect.Height(), wt, wb);
  const int mw = Mask.Width, mh = Mask.Height;
  // The sides and the centre come from between the image's full borders.
  const int cw = mw - Mask.WL - Mask.WR, ch = mh - Mask.WT - Mask.WB;
  if (cw < 0 || ch < 0) return;
  const int sx = Mask.R.Left + std::max(0, std::min(State, int(Mask.ImageCount) - 1)) * mw;
  const int sy = Mask.R.Top;
  const bool masked = Mask.MaskType > 0;
  const bool alpha = !masked && (Mask.DrawMode & dmAlpha);
  const bool stretch = Mask.DrawMode & dmStretch;
  const int maskOffset = masked ? Mask.R.Height() / 2 : 0;
  Opacity = std::clamp(Opacity, 0, 255);

  // One piece, source S onto D at the same size or by nearest samples.
  auto compose = [&](const BmpRect& S, const BmpRect& D) {
    const int dw = D.Width(), dh = D.Height(), sw = S.Width(), sh = S.Height();
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    if (alpha) {
      // A piece that leaves the image is not stretched: cut short by the
      // blend, it would come out at another scale.
      if (sw == dw && sh == dh) {
        BlendPieceAlpha(Bmp, *src, Inclusive(S), Opacity, BmpPoint(D.Left, D.Top));
      } else if (S.Left >= 0 && S.Top >= 0 && S.Right <= src->Width() && S.Bottom <= src->Height()) {
        StretchPieceAlpha(Bmp, D, *src, S, Opacity);
      }
      return;
    }
    const int x0 = std::max(0, -D.Left), x1 = std::min(dw, Bmp.Width() - D.Left);
    const int y0 = std::max(0, -D.Top), y1 = std::min(dh, Bmp.Height() - D.Top);
    for (int y = y0; y < y1; ++y) {
      const int py = S.Top + (sh == dh ? y : int((2LL * y + 1) * sh / (2LL * dh)));
      if (py < 0 || py >= src->Height() || py + maskOffset < 0 || py + maskOffset >= src->Height()) continue;
      const u32* img = src->Line(py);
      const u32* msk = masked ? src->Line(py + maskOffset) : nullptr;
      u32* d = Bmp.Line(D.Top + y) + D.Left;
      for (int x = x0; x < x1; ++x) {
        const int px = S.Left + (sw == dw ? x : int((2LL * x + 1) * sw / (2LL * dw)));
        if (px < 0 || px >= src->Width()) continue;
        const u32 s = img[px];
        if (s == kKeyPixel) continue;
        const int mred = msk ? Channel(msk[px], 16) : 0;
        const int m = Opacity * (255 - mred) >> 8;
        const u32 t = d[x];
        u32 out = 0;
        for (int k = 0; k < 24; k += 8) out |= u32((Channel(t, k) * (255 - m) + Channel(s, k) * m) >> 8) << k;
        d[x] = out | u32(std::max(int(t >> 24), 255 - mred)) << 24;
      }
    }
  };
  // A side or the centre: stretched once, or tiled from its start edge with
  // one cut tile at the end.
  auto fill = [&](const BmpRect& S, const BmpRect& D) {
    if (IsEmpty(S) || IsEmpty(D)) return;
    if (stretch) {
      compose(S, D);
      return;
    }
    for (int y = D.Top; y < D.Bottom; y += S.Height()) {
      const int th = std::min(S.Height(), D.Bottom - y);
      for (int x = D.Left; x < D.Right; x += S.Width()) {
        const int tw = std::min(S.Width(), D.Right - x);
        compose(BmpRect(S.Left, S.Top, S.Left + tw, S.Top + th), BmpRect(x, y, x + tw, y + th));
      }
    }
  };
  auto corner = [&](int x, int y, int w, int h, int dx, int dy) {
    compose(BmpRect(x, y, x + w, y + h), BmpRect(dx, dy, dx + w, dy + h));
  };
  const int L = Rect.Left, T = Rect.Top, R = Rect.Right, B = Rect.Bottom;
  // Every band keeps the image's outer edge.
  corner(sx, sy, wl, wt, L, T);
  fill(BmpRect(sx, sy + Mask.WT, sx + wl, sy + Mask.WT + ch), BmpRect(L, T + wt, L + wl, B - wb));
  fill(BmpRect(sx + Mask.WL, sy, sx + Mask.WL + cw, sy + wt), BmpRect(L + wl, T, R - wr, T + wt));
  corner(sx, sy + mh - wb, wl, wb, L, B - wb);
  fill(BmpRect(sx + Mask.WL, sy + mh - wb, sx + Mask.WL + cw, sy + mh), BmpRect(L + wl, B - wb, R - wr, B));
  corner(sx + mw - wr, sy + mh - wb, wr, wb, R - wr, B - wb);
  corner(sx + mw - wr, sy, wr, wt, R - wr, T);
  fill(BmpRect(sx + mw - wr, sy + Mask.WT, sx + mw, sy + Mask.WT + ch), BmpRect(R - wr, T + wt, R, B - wb));
  if (Mask.DrawMode & dmCentre)
    fill(BmpRect(sx + Mask.WL, sy + Mask.WT, sx + Mask.WL + cw, sy + Mask.WT + ch),
         BmpRect(L + wl, T + wt, R - wr, B - wb));
}

bool PaintOuterEffect(TacSkinData& SkinData, int SkinIndex, Bitmap32& ParentBmp, const BmpRect& Bounds, int State,
                      Bitmap32& OuterCache) {
  if (!ValidSection(&SkinData, SkinIndex)) return false;
  const TsGeneralData& g = SkinData.gd[size_t(SkinIndex)];
  if (g.OuterMode < 1) return false;
  int mask = g.OuterMask;
  TMargins off = g.OuterOffset;
  int opacity = g.OuterOpacity;
  if (mask < 0 && (g.OuterMode == 1 || g.OuterMode == 2)) {
    const TacOutEffData& oe = SkinData.oe[size_t(g.OuterMode - 1)];
    if (oe.Source == 0) return false;
    mask = oe.Mask;
    off = TMargins{oe.OffsetL, oe.OffsetT, oe.OffsetR, oe.OffsetB};
    opacity = oe.Opacity;
  }
  if (!ValidMask(&SkinData, mask)) return false;
  const BmpRect area(Bounds.Left - std::max(0, off.Left), Bounds.Top - std::max(0, off.Top),
                     Bounds.Right + std::max(0, off.Right), Bounds.Bottom + std::max(0, off.Bottom));
  OuterCache = Bitmap32(area.Width(), area.Height());
  CopyPiece(OuterCache, BmpPoint(std::max(0, -area.Left), std::max(0, -area.Top)), ParentBmp,
            Intersect(area, ParentBmp.Bounds()));
  DrawOuterMask(ParentBmp, area, MakeCacheInfo(ParentBmp), opacity, off, State, SkinData.ma[size_t(mask)]);
  return true;
}

}  // namespace cb
