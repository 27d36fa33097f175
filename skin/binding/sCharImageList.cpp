#include "skin/binding/sCharImageList.h"
#include "base/Rounding.h"

#include <algorithm>
#include <cmath>

#include "sSkinOptions.h"
#include "skin/paint/DibBitmap.h"
#include "ui/Forms.h"

namespace cb {

namespace {



}  // namespace

TacCharListItem& TsCharImageList::AddItem(std::uint16_t Char, double ScalingFactor, int OffsetY,
                                          const std::wstring& FontName) {
  TacCharListItem& I = Items.emplace_back();
  I.Char = Char;
  I.ScalingFactor = ScalingFactor;
  I.OffsetY = OffsetY;
  I.FontName = FontName;
  return I;
}

int TsCharImageList::ScaledWidth() const { return Width * PPIOfScaleIndex(SavedScale) / 96; }
int TsCharImageList::ScaledHeight() const { return Height * PPIOfScaleIndex(SavedScale) / 96; }

void TsCharImageList::Render(const TacCharListItem& Item, Bitmap32& Out, int GlyphHeight, std::uint32_t Color) const {
  const int W = Out.Width(), H = Out.Height();
  TDibBitmap Work(W, H);
  if (Work.Empty()) return;
  HDC DC = Work.Canvas();
  Work.Bmp().Fill(0x00FFFFFF);  // white, alpha 0
  LOGFONTW LF{};
  LF.lfHeight = -RoundEven(GlyphHeight * Item.ScalingFactor);
  LF.lfWeight = Item.Bold ? FW_BOLD : FW_NORMAL;
  LF.lfItalic = Item.Italic;
  LF.lfCharSet = static_cast<BYTE>(Item.Charset);
  LF.lfPitchAndFamily = static_cast<BYTE>(Item.Pitch);
  LF.lfQuality = ANTIALIASED_QUALITY;
  LF.lfEscapement = LF.lfOrientation = (Item.Angle % 360) * 10;
  lstrcpynW(LF.lfFaceName, Item.FontName.c_str(), LF_FACESIZE);
  HFONT Font = CreateFontIndirectW(&LF);
  HGDIOBJ OldFont = SelectObject(DC, Font);
  SetBkMode(DC, TRANSPARENT);
  SetTextColor(DC, RGB(0, 0, 0));
  const wchar_t Ch[2] = {static_cast<wchar_t>(Item.Char), 0};
  RECT M{0, 0, 0, 0};
  DrawTextW(DC, Ch, 1, &M, DT_CALCRECT | DT_NOPREFIX | DT_EXTERNALLEADING | DT_NOCLIP | DT_SINGLELINE);
  int OffY = Item.OffsetY;
  if (SavedScale > 0) OffY = OffY * PPIOfScaleIndex(SavedScale) / 96;
  const int X = (W - (M.right - M.left)) / 2, Y = (H - (M.bottom - M.top)) / 2 + RoundEven(OffY * Item.ScalingFactor);
  RECT R{X, Y, X + (M.right - M.left), Y + (M.bottom - M.top)};
  if (Item.DrawContour) {
    HPEN Pen = CreatePen(PS_SOLID, GlyphHeight / 48 + 1, RGB(0, 0, 0));
    HGDIOBJ OldPen = SelectObject(DC, Pen);
    BeginPath(DC);
    DrawTextW(DC, Ch, 1, &R, DT_NOPREFIX | DT_EXTERNALLEADING | DT_NOCLIP | DT_SINGLELINE);
    EndPath(DC);
    StrokePath(DC);
    SelectObject(DC, OldPen);
    DeleteObject(Pen);
  } else {
    DrawTextW(DC, Ch, 1, &R, DT_NOPREFIX | DT_EXTERNALLEADING | DT_NOCLIP | DT_SINGLELINE);
  }
  SelectObject(DC, OldFont);
  DeleteObject(Font);
  GdiFlush();
  // Coverage becomes alpha; the colour is the symbol's own.
  std::uint32_t Base = Color != clNoColor ? Color : Item.Color != clNoColor ? Item.Color : 0;
  Base &= 0xFFFFFF;
  const bool Gradient = Item.SecondColor != clNoColor;
  const std::uint32_t Second = Item.SecondColor & 0xFFFFFF;
  for (int Yy = 0; Yy < H; ++Yy) {
    std::uint32_t C = Base;
    if (Gradient) {
      const double T = H > 1 ? static_cast<double>(Yy) / (H - 1) : 0;
      C = 0;
      for (int S = 0; S <= 16; S += 8) {
        const double A = (Base >> S) & 0xFF, B = (Second >> S) & 0xFF;
        C |= static_cast<std::uint32_t>(std::clamp(RoundEven(A + (B - A) * T), 0, 255)) << S;
      }
    }
    const std::uint32_t Pixel = SwapRB(C) & 0xFFFFFF;
    const std::uint32_t* Src = Work.Bmp().Line(Yy);
    std::uint32_t* Dst = Out.Line(Yy);
    for (int Xx = 0; Xx < W; ++Xx) {
      const std::uint32_t P = Src[Xx];
      const std::uint32_t Sum = ((P >> 16) & 0xFF) + 2 * ((P >> 8) & 0xFF) + (P & 0xFF);
      std::uint32_t A = 255 - (Sum >> 2);
      if (State == 0 && BlendValue < 255) A = A * BlendValue / 256;
      Dst[Xx] = A ? (A << 24) | Pixel : 0;
    }
  }
}

std::unique_ptr<Bitmap32> TsCharImageList::CreateBitmap32Color(int Index, int W, int GlyphHeight,
                                                               std::uint32_t CharColor, int H) {
  if (Index < 0 || Index >= static_cast<int>(Items.size()) || W <= 0 || H <= 0) return nullptr;
  if (GlyphHeight <= 0) GlyphHeight = ScaledHeight();
  TacCharListItem& Item = Items[static_cast<size_t>(Index)];
  if (!Item.CacheBmp || Item.CacheBmp->Width() != W || Item.CacheBmp->Height() != H || Item.CacheColor != CharColor ||
      Item.CacheGlyphHeight != GlyphHeight) {
    auto B = std::make_unique<Bitmap32>(W, H);
    Render(Item, *B, GlyphHeight, CharColor);
    Item.CacheBmp = std::move(B);
    Item.CacheColor = CharColor;
    Item.CacheGlyphHeight = GlyphHeight;
  }
  auto Copy = std::make_unique<Bitmap32>(Item.CacheBmp->Clone());
  return Copy;
}

bool TsCharImageList::ItemIsCached(int Index) const {
  return Index >= 0 && Index < static_cast<int>(Items.size()) && Items[static_cast<size_t>(Index)].CacheBmp;
}

void TsCharImageList::ClearCache() {
  for (auto& I : Items) I.CacheBmp.reset();
}

void TsCharImageList::GenerateStdList(int PPI) {
  SavedScale = ScaleIndexOfPPI(PPI);
  ClearCache();
  for (int I = 0; I < static_cast<int>(Items.size()); ++I)
    CreateBitmap32Color(I, ScaledWidth(), ScaledHeight(), clNoColor, ScaledHeight());
}

bool RegisterIconFont() {
  static HANDLE Font = nullptr;
  if (Font) return true;
  HMODULE Module = GetModuleHandleW(nullptr);
  HRSRC R = FindResourceW(Module, L"AWFONT", reinterpret_cast<LPCWSTR>(RT_RCDATA));
  if (!R) return false;
  void* Data = LockResource(LoadResource(Module, R));
  DWORD Count = 0;
  Font = AddFontMemResourceEx(Data, SizeofResource(Module, R), nullptr, &Count);
  return Font != nullptr;
}

TsCharImageList& StdCharList() {
  static TsCharImageList* List = [] {
    RegisterIconFont();
    auto* L = new TsCharImageList;
    L->Width = 16;
    L->Height = 14;
    L->BkColor = 0xFFFFFF;
    L->BlendValue = 222;
    struct TStd {
      std::uint16_t Char;
      double Scale;
      int Offset;
    };
    const TStd Std[21] = {{0xF016, 1.0, 0}, {0xF115, 1.0, 0}, {0xF274, 1.0, 0}, {0xF141, 1.0, 4}, {0xF1EC, 1.0, 0},
                          {0xF111, 0.75, 0}, {0xF00C, 1.0, 0}, {0xF047, 0.9, 1}, {0xF1FB, 1.0, 0}, {0xF00C, 1.1, 0},
                          {0xF00D, 1.1, 0}, {0xF067, 0.8, 2}, {0xF0D8, 1.3, 0}, {0xF01E, 0.9, 1}, {0xF048, 0.8, 2},
                          {0xF053, 0.8, 2}, {0xF054, 0.8, 2}, {0xF051, 0.8, 2}, {0xF068, 0.8, 2}, {0xF00C, 0.8, 0},
                          {0xF00D, 0.8, 0}};
    for (const TStd& S : Std) L->AddItem(S.Char, S.Scale, S.Offset);
    for (wchar_t C : {L'0', L'1', L'2', L'r'}) L->AddItem(C, 1.0, 0, L"Marlett").Charset = SYMBOL_CHARSET;
    L->GenerateStdList(Screen ? Screen->PixelsPerInch() : 96);
    return L;
  }();
  return *List;
}

}  // namespace cb
