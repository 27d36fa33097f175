// Captions drawn with the skin's colours: the colour of the section the text
// lies on, the one-pixel shadows, a glow behind the text, the disabled look.
// Every routine draws with the font already selected into DC.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "skin/paint/Bitmap32.h"

class TControl;

namespace cb {

class TsSkinManager;
class TsCommonData;
class TacSkinData;

// What command SKC_GETFONTSECTION carries up through see-through sections.
struct TacFontSectionRequest {
  int State = 0;
  int Index = -1;
  RECT R{0, 0, 0, 0};
};

// Whether a section lets what lies under it show at a state (for its text).
bool SectionIsSeeThrough(const TacSkinData& Data, int SkinIndex, int State);

// A face for text whose font lacks some of its glyphs: a program that writes
// Chinese names one that has them, and text in a Latin face (a menu's or a
// message box's on a system whose fonts are not linked to a Chinese one) is
// drawn in that face instead of as empty boxes. Empty (the default): none.
void SetTextFallbackFace(const std::wstring& Face);
// While it lives, DC draws Text in the fallback face when its font lacks
// glyphs of Text (the same height, weight and style).
class TacFontFallback {
public:
  TacFontFallback(HDC DC, const std::wstring& Text);
  ~TacFontFallback();
  TacFontFallback(const TacFontFallback&) = delete;
  TacFontFallback& operator=(const TacFontFallback&) = delete;

private:
  HDC FDC;
  HFONT FFont = nullptr;
  HGDIOBJ FOld = nullptr;
};

void DrawPlainText(HDC DC, const std::wstring& Text, bool Enabled, UINT Flags, RECT R, COLORREF FontColor);
void DrawSkinnedText(HDC DC, const std::wstring& Text, bool Enabled, bool UseGlow, TsSkinManager* Manager, int State,
                     TsCommonData& CommonData, UINT Flags, RECT R);
void DrawSectionText(HDC DC, const std::wstring& Text, bool Enabled, TsSkinManager* Manager, int State, int SkinIndex,
                     TacSkinData* Data, UINT Flags, RECT R);
// What TextSectionFor answers when a section below hands the text to the
// parent's font (the control's own without a parent).
constexpr int kParentFontSection = -2;
// The section whose font colour applies to text of Control; negative: the parent's font.
int TextSectionFor(TControl* Control, int SkinIndex, TsSkinManager* Manager, int State, TacSkinData* Data);
std::uint32_t TextColorFor(TControl* Control, int SkinIndex, TsSkinManager* Manager, TsCommonData& CommonData,
                           int State);
// The control's tone, hue and saturation applied to one colour.
std::uint32_t ApplyTextEffects(std::uint32_t Color, const TsCommonData* CommonData);
// A blurred glow of the text under Rect in Bmp's pixels (the text is drawn after).
void DrawTextGlow(HDC BmpDC, Bitmap32& Bmp, const std::wstring& Text, RECT R, std::vector<std::uint8_t>& GlowCache,
                  std::uint32_t GlowColor, int GlowSize, int Sides, UINT Flags);

}  // namespace cb
