#include "skin/binding/sSkinText.h"

#include <algorithm>
#include <vector>

#include "sSkinManager.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/SkinColors.h"
#include "skin/binding/sCommonData.h"
#include "ui/Controls.h"

namespace cb {

namespace {

std::wstring& FallbackFace() {
  static auto* Face = new std::wstring;
  return *Face;
}

void DrawAt(HDC DC, const std::wstring& Text, RECT R, int DX, int DY, UINT Flags, COLORREF Color) {
  OffsetRect(&R, DX, DY);
  SetTextColor(DC, Color & 0xFFFFFF);
  TacFontFallback Fallback(DC, Text);
  DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &R, Flags);
}

const TsGenState* StateOf(const TacSkinData* D, int Index, int State) {
  if (!D || Index < 0 || Index >= static_cast<int>(D->gd.size())) return nullptr;
  const TsGeneralData& G = D->gd[static_cast<size_t>(Index)];
  return &G.Props[static_cast<size_t>(std::clamp(std::min(State, G.States - 1), 0, 2))];
}

// The shadows (each side that has a colour) and the text itself.
void DrawWithShadows(HDC DC, const std::wstring& Text, RECT R, UINT Flags, const TsFontColor& F,
                     const TsCommonData* CD) {
  const int Sides[4][3] = {{F.Left, -1, 0}, {F.Top, 0, -1}, {F.Right, 1, 0}, {F.Bottom, 0, 1}};
  for (const auto& S : Sides)
    if (S[0] != -1) DrawAt(DC, Text, R, S[1], S[2], Flags, ApplyTextEffects(static_cast<std::uint32_t>(S[0]), CD));
  DrawAt(DC, Text, R, 0, 0, Flags, ApplyTextEffects(static_cast<std::uint32_t>(F.Color), CD));
}

bool ConstantTextSection(const TsSkinManager* M, int Index) {
  if (!M || Index < 0) return false;
  for (int S = ssMenuItem; S <= ssButton; ++S)
    if (M->SkinCommonInfo.Sections[static_cast<size_t>(S)] == Index) return true;
  return false;
}

}  // namespace

bool SectionIsSeeThrough(const TacSkinData& D, int Index, int State) {
  if (Index < 0 || Index >= static_cast<int>(D.gd.size())) return false;
  const TsGeneralData& G = D.gd[static_cast<size_t>(Index)];
  const int S = std::clamp(State, 0, 2);
  if (G.Props[static_cast<size_t>(S)].Transparency <= 50) return false;
  if (G.BorderIndex < 0 || G.BorderIndex >= static_cast<int>(D.ma.size())) return true;
  const TsMaskData& M = D.ma[static_cast<size_t>(G.BorderIndex)];
  if (S == 0) return !(M.DrawMode & dmCentre) || (M.DrawMode & dmNotInState0);
  if (!(M.DrawMode & dmCentre)) return true;
  if (M.MaskType == 1) {
    // The mask row at the middle of the state's cell says whether the centre is cut out.
    const Bitmap32* Src = D.MaskBitmap(G.BorderIndex);
    const int Cells = std::max<int>(1, M.ImageCount);
    const int CW = M.R.Width() / Cells, CH = M.R.Height() / 2;
    const int X = M.R.Left + CW * std::min(S, Cells - 1) + CW / 2, Y = M.R.Top + CH + CH / 2;
    if (Src && X >= 0 && Y >= 0 && X < Src->Width() && Y < Src->Height()) return (Src->Pixel(X, Y) & 0x80) != 0;
  }
  return false;
}

std::uint32_t ApplyTextEffects(std::uint32_t Color, const TsCommonData* CD) {
  std::uint32_t C = PlainColorToRGB(Color) & 0xFFFFFF;
  if (!CD) return C;
  // The same tone as the control's painted face (a pixel operation: colours go in and out in pixel order).
  if (CD->ColorTone() != clNoColor) {
    const std::uint32_t Tone = SkinColorToRGB(CD->ColorTone(), CD->SkinManager()) & 0xFFFFFF;
    C = SwapRB(ApplyPixelOp(SwapRB(C), TPixelOp::Tone, static_cast<int>(Tone)));
  }
  if (CD->HUEOffset()) C = ChangeColorHue(C, CD->HUEOffset());
  if (CD->Saturation()) C = ChangeColorSaturation(C, CD->Saturation() * 256 / 100);
  return C & 0xFFFFFF;
}

void SetTextFallbackFace(const std::wstring& Face) { FallbackFace() = Face; }

TacFontFallback::TacFontFallback(HDC DC, const std::wstring& Text) : FDC(DC) {
  const std::wstring& Face = FallbackFace();
  if (Face.empty() || Text.empty()) return;
  std::vector<WORD> Glyphs(Text.size());
  if (GetGlyphIndicesW(DC, Text.c_str(), static_cast<int>(Text.size()), Glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) ==
      GDI_ERROR)
    return;
  bool Missing = false;
  for (size_t I = 0; I < Text.size() && !Missing; ++I)
    // Line breaks, tabs and the prefix mark are not drawn as glyphs.
    Missing = Glyphs[I] == 0xFFFF && Text[I] >= L' ' && Text[I] != L'&';
  if (!Missing) return;
  LOGFONTW LF{};
  if (!GetObjectW(GetCurrentObject(DC, OBJ_FONT), sizeof LF, &LF) || Face == LF.lfFaceName) return;
  lstrcpynW(LF.lfFaceName, Face.c_str(), LF_FACESIZE);
  LF.lfCharSet = DEFAULT_CHARSET;
  if ((FFont = CreateFontIndirectW(&LF))) FOld = SelectObject(DC, FFont);
}

TacFontFallback::~TacFontFallback() {
  if (!FFont) return;
  SelectObject(FDC, FOld);
  DeleteObject(FFont);
}

void DrawPlainText(HDC DC, const std::wstring& Text, bool Enabled, UINT Flags, RECT R, COLORREF FontColor) {
  if (Text.empty() || R.right <= R.left || R.bottom <= R.top) return;
  const int Saved = SaveDC(DC);
  SetBkMode(DC, TRANSPARENT);
  if (!Enabled) {
    DrawAt(DC, Text, R, 1, 1, Flags, GetSysColor(COLOR_BTNHIGHLIGHT));
    DrawAt(DC, Text, R, 0, 0, Flags, GetSysColor(COLOR_BTNSHADOW));
  } else {
    DrawAt(DC, Text, R, 0, 0, Flags, FontColor);
  }
  RestoreDC(DC, Saved);
}

int TextSectionFor(TControl* C, int Index, TsSkinManager* M, int State, TacSkinData* D) {
  if (const TsGenState* P = StateOf(D, Index, State);
      State > 0 && P && State < D->gd[static_cast<size_t>(Index)].States && P->Transparency <= 39)
    return Index;
  if (!C) return Index;
  TacFontSectionRequest Req;
  Req.State = std::min(State, 2);
  Req.Index = Index;
  Req.R = RECT{C->Left(), C->Top(), C->Left() + C->Width(), C->Top() + C->Height()};
  (void)M;
  SendSkinCommand(C, SKC_GETFONTSECTION, reinterpret_cast<LPARAM>(&Req));
  if (Req.Index == -1) return Index;
  if (Req.Index == 0) return kParentFontSection;
  return Req.Index >= 0 ? Req.Index : Index;
}

std::uint32_t TextColorFor(TControl* C, int Index, TsSkinManager* M, TsCommonData& CD, int State) {
  if (CD.CustomFont() && C) return ColorToRGB(C->Font()->Color());
  TacSkinData* D = CD.CommonSkinData();
  int I = Index;
  const TsGenState* P = StateOf(D, Index, State);
  if (!P || P->Transparency > 39) I = TextSectionFor(C, Index, M, State, D);
  if (I == kParentFontSection) return ColorToRGB((C->Parent() ? C->Parent() : C)->Font()->Color());
  if (M && M->SkinCommonInfo.Active) {
    if (const TsGenState* Q = StateOf(D, I, State)) return static_cast<std::uint32_t>(Q->FontColor.Color) & 0xFFFFFF;
    return M->GetGlobalFontColor() & 0xFFFFFF;
  }
  return C ? ColorToRGB(C->Font()->Color()) : GetSysColor(COLOR_BTNTEXT);
}

void DrawSkinnedText(HDC DC, const std::wstring& Text, bool Enabled, bool UseGlow, TsSkinManager* M, int State,
                     TsCommonData& CD, UINT Flags, RECT R) {
  const int Len = static_cast<int>(Text.size());
  if (Len == 0 || R.right <= R.left || R.bottom <= R.top) return;
  TControl* C = CD.OwnerControl();
  struct TRestore {
    HDC DC;
    int Saved;
    HFONT Underline = nullptr;
    ~TRestore() {
      RestoreDC(DC, Saved);
      if (Underline) DeleteObject(Underline);  // after the context let go of it
    }
  } Restore{DC, SaveDC(DC)};
  SetBkMode(DC, TRANSPARENT);
  TacSkinData* D = CD.CommonSkinData();
  if (State != 0 && CD.Skinned() && M && CD.SkinIndex() == M->SkinCommonInfo.Sections[ssWebBtn]) {
    LOGFONTW LF{};
    if (GetObjectW(GetCurrentObject(DC, OBJ_FONT), sizeof LF, &LF)) {
      LF.lfUnderline = TRUE;
      if ((Restore.Underline = CreateFontIndirectW(&LF))) SelectObject(DC, Restore.Underline);
    }
  }
  if (!CD.Skinned() || CD.CustomFont()) {
    DrawPlainText(DC, Text, Enabled, Flags, R, C ? ColorToRGB(C->Font()->Color()) : GetSysColor(COLOR_BTNTEXT));
    return;
  }
  int Index = CD.SkinIndex();
  if (C && C->Parent() && ConstantTextSection(M, Index)) Index = TextSectionFor(C, Index, M, State, D);
  if (Index < 0 && C && C->Parent()) {
    DrawPlainText(DC, Text, Enabled, Flags, R, ColorToRGB(C->Parent()->Font()->Color()));
    return;
  }
  const TsGenState* P = StateOf(D, Index, std::min(State, 2));
  if (!P) {
    DrawPlainText(DC, Text, Enabled, Flags, R, C ? ColorToRGB(C->Font()->Color()) : GetSysColor(COLOR_BTNTEXT));
    return;
  }
  if (UseGlow && CD.CacheBmp() && !CD.CacheBmp()->Empty() && P->GlowSize != 0) {
    std::vector<std::uint8_t> Cache;
    DrawTextGlow(DC, CD.CacheBmp()->Bmp(), Text, R, Cache, ApplyTextEffects(static_cast<std::uint32_t>(P->GlowColor), &CD),
                 P->GlowSize, 15, Flags);
  }
  if (!Enabled) {
    const std::uint32_t Global = M ? M->GetGlobalColor() : GetSysColor(COLOR_BTNFACE);
    const std::uint32_t Mixed =
        MixTwoColours(static_cast<std::uint32_t>(P->FontColor.Color), Global, DisabledSettings().Blend);
    DrawAt(DC, Text, R, 0, 0, Flags, ApplyTextEffects(Mixed, &CD));
    return;
  }
  DrawWithShadows(DC, Text, R, Flags, P->FontColor, &CD);
}

void DrawSectionText(HDC DC, const std::wstring& Text, bool Enabled, TsSkinManager* M, int State, int Index,
                     TacSkinData* D, UINT Flags, RECT R) {
  (void)M;
  if (Text.empty()) return;
  const int Saved = SaveDC(DC);
  SetBkMode(DC, TRANSPARENT);
  if (const TsGenState* P = StateOf(D, Index, State)) {
    if (Enabled) {
      DrawWithShadows(DC, Text, R, Flags, P->FontColor, nullptr);
    } else {
      const TsGenState& S0 = D->gd[static_cast<size_t>(Index)].Props[0];
      DrawAt(DC, Text, R, 0, 0, Flags,
             MixTwoColours(static_cast<std::uint32_t>(S0.FontColor.Color), static_cast<std::uint32_t>(S0.Color),
                           DisabledSettings().Blend));
    }
  } else {
    DrawAt(DC, Text, R, 0, 0, Flags, GetTextColor(DC));
  }
  RestoreDC(DC, Saved);
}

void DrawTextGlow(HDC BmpDC, Bitmap32& Bmp, const std::wstring& Text, RECT R, std::vector<std::uint8_t>& Cache,
                  std::uint32_t GlowColor, int GlowSize, int Sides, UINT Flags) {
  if (GlowSize <= 0 || Text.empty()) return;
  RECT W = R;
  OffsetRect(&W, 1, 1);
  InflateRect(&W, GlowSize + 4, GlowSize + 4);
  const int CW = W.right - W.left, CH = W.bottom - W.top;
  if (CW <= 0 || CH <= 0) return;
  if (Cache.size() != static_cast<size_t>(CW) * CH) {
    // The text's shape in black on white, drawn with the target's font, then blurred.
    TDibBitmap Shape(CW, CH);
    if (Shape.Empty()) return;
    HDC S = Shape.Canvas();
    Shape.Bmp().Fill(0xFFFFFFFF);
    HGDIOBJ Old = SelectObject(S, GetCurrentObject(BmpDC, OBJ_FONT));
    SetBkMode(S, TRANSPARENT);
    RECT T = R;
    OffsetRect(&T, -W.left, -W.top);
    DrawAt(S, Text, T, 0, 0, Flags, 0);
    const int Offs[4][2] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    for (int I = 0; I < 4; ++I)
      if (Sides & (1 << I)) DrawAt(S, Text, T, Offs[I][0], Offs[I][1], Flags, 0);
    SelectObject(S, Old);
    GdiFlush();
    std::vector<std::uint8_t> A(static_cast<size_t>(CW) * CH), B(A.size());
    for (int Y = 0; Y < CH; ++Y)
      for (int X = 0; X < CW; ++X) A[static_cast<size_t>(Y * CW + X)] = static_cast<std::uint8_t>(Shape.Bmp().Pixel(X, Y) & 0xFF);
    // A box blur of the glow's radius, rows then columns.
    const int Rd = GlowSize;
    for (int Pass = 0; Pass < 2; ++Pass) {
      const bool Rows = Pass == 0;
      for (int Y = 0; Y < CH; ++Y)
        for (int X = 0; X < CW; ++X) {
          int Sum = 0, N = 0;
          for (int K = -Rd; K <= Rd; ++K) {
            const int XX = Rows ? X + K : X, YY = Rows ? Y : Y + K;
            if (XX < 0 || YY < 0 || XX >= CW || YY >= CH) {
              Sum += 255;
            } else {
              Sum += (Rows ? A : B)[static_cast<size_t>(YY * CW + XX)];
            }
            ++N;
          }
          (Rows ? B : A)[static_cast<size_t>(Y * CW + X)] = static_cast<std::uint8_t>(Sum / N);
        }
    }
    Cache = std::move(A);
  }
  const std::uint32_t GR = GlowColor & 0xFF, GG = (GlowColor >> 8) & 0xFF, GB = (GlowColor >> 16) & 0xFF;
  for (int Y = 0; Y < CH; ++Y) {
    const int TY = W.top + Y;
    if (TY < 0 || TY >= Bmp.Height()) continue;
    for (int X = 0; X < CW; ++X) {
      const int TX = W.left + X;
      if (TX < 0 || TX >= Bmp.Width()) continue;
      const std::uint32_t M = Cache[static_cast<size_t>(Y * CW + X)];
      if (M >= 255) continue;
      const std::uint32_t P = Bmp.Pixel(TX, TY);
      const std::uint32_t A = P >> 24, Bc = P & 0xFF, Gc = (P >> 8) & 0xFF, Rc = (P >> 16) & 0xFF;
      const std::uint32_t A2 = A + (((255 - A) * (255 - M)) >> 8);
      const std::uint32_t R2 = (GR * (255 - M) + Rc * M) >> 8, G2 = (GG * (255 - M) + Gc * M) >> 8,
                          B2 = (GB * (255 - M) + Bc * M) >> 8;
      Bmp.SetPixel(TX, TY, (A2 << 24) | (R2 << 16) | (G2 << 8) | B2);
    }
  }
}

}  // namespace cb
