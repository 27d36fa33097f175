#include "sSkinRecolour.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "skin/paint/PixelOps.h"

namespace cb {

namespace {

// One rectangle of one image, so that an area shared by several masks or
// densities is treated once.
struct TArea {
  Bitmap32* Bmp;
  TRect R;
  bool operator<(const TArea& O) const {
    return std::tie(Bmp, R.Left, R.Top, R.Right, R.Bottom) < std::tie(O.Bmp, O.R.Left, O.R.Top, O.R.Right, O.R.Bottom);
  }
};

// The area a mask covers in its image, cut to the image; Bmp null when none.
TArea AreaOf(TacSkinManagerCore& M, const TacSkinData& D, int Mask) {
  if (Mask < 0 || Mask >= static_cast<int>(D.ma.size())) return {nullptr, {}};
  const TsMaskData& Md = D.ma[static_cast<size_t>(Mask)];
  Bitmap32* B = Md.Bmp ? Md.Bmp : M.MasterBitmap.get();
  if (!B || B->Empty()) return {nullptr, {}};
  TRect R{std::max(0, Md.R.Left), std::max(0, Md.R.Top), std::min(B->Width(), Md.R.Right),
          std::min(B->Height(), Md.R.Bottom)};
  if (R.Right <= R.Left || R.Bottom <= R.Top) return {nullptr, {}};
  return {B, R};
}

bool IsMaster(TacSkinManagerCore& M, const TArea& A) { return A.Bmp == M.MasterBitmap.get(); }

// Which glyphs keep their colours: BIKEEPHUE 1 all title buttons, above 1
// only the close glyphs.
std::vector<int> KeptGlyphs(const TacSkinData& D, int KeepHue) {
  if (KeepHue <= 0) return {};
  if (KeepHue > 1) return {D.TitleGlyphs[tgCloseAlone], D.TitleGlyphs[tgClose], D.TitleGlyphs[tgSmallClose]};
  return {D.TitleGlyphs[tgCloseAlone], D.TitleGlyphs[tgClose], D.TitleGlyphs[tgMax],        D.TitleGlyphs[tgMin],
          D.TitleGlyphs[tgNormal],     D.TitleGlyphs[tgHelp],  D.TitleGlyphs[tgSmallClose], D.TitleGlyphs[tgSmallMax],
          D.TitleGlyphs[tgSmallMin],   D.TitleGlyphs[tgSmallNormal]};
}

struct TSaved {
  TArea A;
  Bitmap32 Pixels;
};

void CopyArea(Bitmap32& Dst, int DX, int DY, const Bitmap32& Src, const TRect& R) {
  for (int Y = R.Top; Y < R.Bottom; ++Y)
    std::copy(Src.Line(Y) + R.Left, Src.Line(Y) + R.Right, Dst.Line(DY + Y - R.Top) + DX);
}

bool ColourValue(int32_t C) { return C >= 0; }  // -1 is "none"; system colours are not RGB

void RecolourStates(TacSkinData& D, TPixelOp Op, int Value, bool Gradients) {
  auto Change = [&](int32_t& C) {
    if (!ColourValue(C)) return;
    const uint32_t V = static_cast<uint32_t>(C);
    C = static_cast<int32_t>(Op == TPixelOp::Hue ? ChangeColorHue(V, Value) : ChangeColorSaturation(V, Value));
  };
  for (TsGeneralData& G : D.gd)
    for (TsGenState& S : G.Props) {
      Change(S.Color);
      Change(S.GlowColor);
      Change(S.FontColor.Color);
      Change(S.FontColor.Left);
      Change(S.FontColor.Top);
      Change(S.FontColor.Right);
      Change(S.FontColor.Bottom);
      // A gradient point's top byte is a flag of its own; the change keeps it.
      if (Gradients)
        for (TsGradPoint& P : S.GradientArray) P.Color = ChangeColorSaturation(P.Color, Value);
    }
}

}  // namespace

void RecolourSkin(TacSkinManagerCore& M, TacSkinData& Fresh, const std::vector<TacSkinData*>& Others,
                  const TacRecolour& S) {
  if (!S.Any()) return;
  // Areas whose colours stay: in the master image those of every density
  // (all of them are in the newly decoded master), in Fresh's own images its own.
  std::set<TArea> Keep;
  const int KeepHue = M.SkinCommonInfo.BIKeepHUE;
  auto AddKept = [&](TacSkinData& D, bool Own) {
    for (int G : KeptGlyphs(D, KeepHue)) {
      TArea A = AreaOf(M, D, G);
      if (A.Bmp && (Own || IsMaster(M, A))) Keep.insert(A);
    }
  };
  AddKept(Fresh, true);
  for (TacSkinData* D : Others)
    if (D && D != &Fresh) AddKept(*D, false);
  std::vector<TSaved> Saved;
  for (const TArea& A : Keep) {
    TSaved Sv{A, Bitmap32(A.R.Width(), A.R.Height())};
    CopyArea(Sv.Pixels, 0, 0, *A.Bmp, A.R);
    Saved.push_back(std::move(Sv));
  }

  std::vector<Bitmap32*> Images;
  if (M.MasterBitmap) Images.push_back(M.MasterBitmap.get());
  for (auto& B : Fresh.BmpArray)
    if (B) Images.push_back(&B->Bmp);
  const int Sat = std::clamp(S.Saturation * 255 / 100, -255, 255);
  const int Bright = std::clamp(S.Brightness, -100, 100);
  for (Bitmap32* B : Images) {
    if (B->Empty()) continue;
    if (S.Hue) ForEachPixel(*B, TPixelOp::Hue, S.Hue, clMagenta);
    if (Sat) ForEachPixel(*B, TPixelOp::Saturation, Sat, clMagenta);
    if (Bright) ForEachPixel(*B, TPixelOp::Brightness, Bright, clMagenta);
  }
  if (S.Hue) RecolourStates(Fresh, TPixelOp::Hue, S.Hue, false);
  if (Sat) {
    RecolourStates(Fresh, TPixelOp::Saturation, Sat, true);
    if (ColourValue(M.SkinCommonInfo.Shadow1Color))
      M.SkinCommonInfo.Shadow1Color =
          static_cast<int32_t>(ChangeColorSaturation(static_cast<uint32_t>(M.SkinCommonInfo.Shadow1Color), Sat));
    static const TacPaletteColors Changed[] = {
        pcMainColor,        pcLabelText,        pcWebText,          pcEditText,          pcEditBG,
        pcSelectionBG,      pcSelectionText,    pcSelectionBG_Focused, pcSelectionText_Focused,
        pcEditBG_Inverted,  pcEditText_Inverted, pcEditBG_OddRow,   pcEditBG_EvenRow,    pcBtnColor1Active,
        pcBtnColor2Active,  pcBtnBorderActive,  pcBtnFontActive,    pcBtnColor1Normal,   pcBtnColor2Normal,
        pcBtnBorderNormal,  pcBtnFontNormal,    pcBtnColor1Pressed, pcBtnColor2Pressed,  pcBtnBorderPressed,
        pcBtnFontPressed,   pcBorder,           pcGrid,             pcHintBG,            pcHintText};
    for (TacPaletteColors P : Changed) M.Palette[P] = ChangeColorSaturation(M.Palette[P], Sat);
  }

  for (const TSaved& Sv : Saved) {
    const TArea& A = Sv.A;
    for (int Y = 0; Y < A.R.Height(); ++Y)
      std::copy(Sv.Pixels.Line(Y), Sv.Pixels.Line(Y) + A.R.Width(), A.Bmp->Line(A.R.Top + Y) + A.R.Left);
  }
}

namespace {

void MirrorFrames(TacSkinManagerCore& M, TacSkinData& D, bool MasterAreas, bool OwnImages, std::set<TArea>& Done) {
  std::vector<int> Masks = {D.TitleGlyphs[tgClose], D.TitleGlyphs[tgMax], D.TitleGlyphs[tgMin],
                            D.TitleGlyphs[tgNormal]};
  for (size_t G = tgClose; G <= tgNormal; ++G)
    if (!D.TitleGlows[G].empty()) Masks.push_back(D.TitleGlows[G][0]);
  for (int Mask : Masks) {
    TArea A = AreaOf(M, D, Mask);
    if (!A.Bmp || (IsMaster(M, A) ? !MasterAreas : !OwnImages) || !Done.insert(A).second) continue;
    const TsMaskData& Md = D.ma[static_cast<size_t>(Mask)];
    const int Frames = std::max<int>(1, Md.ImageCount);
    const int FW = Md.Width > 0 ? Md.Width : A.R.Width() / Frames;
    for (int F = 0; F < Frames; ++F) {
      const int L = A.R.Left + F * FW, R = std::min(A.R.Right, L + FW);
      for (int Y = A.R.Top; Y < A.R.Bottom; ++Y) std::reverse(A.Bmp->Line(Y) + L, A.Bmp->Line(Y) + R);
    }
  }
}

}  // namespace

void FlipTitleGlyphs(TacSkinManagerCore& M, const std::vector<TacSkinData*>& Datas, bool MasterOnly) {
  std::set<TArea> Done;
  for (TacSkinData* D : Datas)
    if (D) MirrorFrames(M, *D, true, !MasterOnly, Done);
}

void FlipTitleGlyphsOwnImages(TacSkinManagerCore& M, TacSkinData& D) {
  std::set<TArea> Done;
  MirrorFrames(M, D, false, true, Done);
}

}  // namespace cb
