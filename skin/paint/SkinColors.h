// Colours of the system and of the skin palette as painting sees them.
#pragma once

#include <cstdint>

#include "base/Geometry.h"

// The skin palette, in its fixed order (59 entries).
enum TacPaletteColors : int {
  pcMainColor, pcLabelText, pcWebText, pcWebTextHot, pcEditText, pcEditBG,
  pcSelectionBG, pcSelectionText, pcSelectionBG_Focused, pcSelectionText_Focused,
  pcEditBG_Inverted, pcEditText_Inverted, pcEditBG_OddRow, pcEditBG_EvenRow,
  pcEditText_Ok, pcEditText_Warning, pcEditText_Alert, pcEditText_Caution, pcEditText_Bypassed,
  pcEditBG_Ok, pcEditBG_Warning, pcEditBG_Alert, pcEditBG_Caution, pcEditBG_Bypassed,
  pcEditText_Highlight1, pcEditText_Highlight2, pcEditText_Highlight3,
  pcBtnColor1Active, pcBtnColor2Active, pcBtnBorderActive, pcBtnFontActive,
  pcBtnColor1Normal, pcBtnColor2Normal, pcBtnBorderNormal, pcBtnFontNormal,
  pcBtnColor1Pressed, pcBtnColor2Pressed, pcBtnBorderPressed, pcBtnFontPressed,
  pcBtnToneRed, pcBtnToneRedActive, pcBtnToneGreen, pcBtnToneGreenActive,
  pcBtnToneBlue, pcBtnToneBlueActive, pcBtnToneYellow, pcBtnToneYellowActive,
  pcBtnRedText, pcBtnRedTextActive, pcBtnGreenText, pcBtnGreenTextActive,
  pcBtnBlueText, pcBtnBlueTextActive, pcBtnYellowText, pcBtnYellowTextActive,
  pcBorder, pcGrid, pcHintBG, pcHintText,
  pcPaletteCount
};
static_assert(pcPaletteCount == 59);

// Sections whose state colours stand in for caption and tooltip colours.
enum class TacColorSection { FormTitle, Hint };

// What painting needs of a skin manager to resolve colours. The skin data
// and the Windows manager implement it; tests fake it.
class ISkinColorSource {
 public:
  virtual ~ISkinColorSource() = default;
  // True while the manager is active or in the middle of a skin change.
  virtual bool SkinColorsActive() const = 0;
  virtual std::uint32_t PaletteColor(TacPaletteColors index) const = 0;
  // Colour and font colour of a state (0..2) of the section; false when the
  // skin has no such section.
  virtual bool SectionColors(TacColorSection section, int state, std::uint32_t& color,
                             std::uint32_t& fontColor) const = 0;
};

// System colours by index (COLOR_BTNFACE = 15 ...). The Windows side installs
// the real ones; without it a table of the system's default scheme answers.
class ISystemColors {
 public:
  virtual ~ISystemColors() = default;
  virtual std::uint32_t SysColor(int index) const = 0;
};

// Installs the providers (nullptr restores the built-in answers / no manager).
// Meant to be set on the GUI thread before painting starts.
void SetSystemColors(const ISystemColors* colors);
void SetDefaultSkinColorSource(const ISkinColorSource* source);
const ISkinColorSource* DefaultSkinColorSource();

// The system colour of an index from the installed provider (0 for an
// index the system does not know).
std::uint32_t GetSysColorValue(int index);

// The platform's conversion without the platform: a negative colour is the
// installed provider's system colour of its low byte. (Named apart from the
// framework's ColorToRGB: both are linked into the program.)
std::uint32_t PlainColorToRGB(std::uint32_t color);

// Colour of a fill: system colours converted, anything else its low 24 bits.
std::uint32_t FillColorOf(std::uint32_t color);

// Per channel (c1 * W + c2 * (255 - W)) >> 8; the top byte of colour 1 kept.
std::uint32_t MixTwoColours(std::uint32_t color1, std::uint32_t color2, int weight);

// Colour used for painting: plain colours as they are; system colours and the
// reserved values mapped to the skin's palette while a manager is active
// (nullptr: the default manager).
std::uint32_t SkinColorToRGB(std::uint32_t color, const ISkinColorSource* manager = nullptr);
