#include "skin/paint/SkinColors.h"

#include <atomic>

namespace {

using u32 = std::uint32_t;

// The system's default scheme, as colours 0x00BBGGRR by index.
constexpr u32 kDefaultSysColors[31] = {
    0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xD77800, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0};

std::atomic<const ISystemColors*> g_sysColors{nullptr};
std::atomic<const ISkinColorSource*> g_defaultSource{nullptr};

struct Reserved {
  u32 value;
  TacPaletteColors index;
};
// Reserved colour values that name palette entries.
constexpr Reserved kReserved[] = {
    {0xF1000001, pcMainColor},
    {0xFF00006C, pcEditText_Alert},      {0xFF0000A2, pcBtnRedTextActive},
    {0xFF0000B4, pcBtnRedText},          {0xFF003E0A, pcEditText_Ok},
    {0xFF004C4C, pcEditText_Warning},    {0xFFC9FFD2, pcEditBG_Ok},
    {0xFFBAFFFF, pcEditBG_Warning},      {0xFFDBDBFF, pcEditBG_Alert},
    {0xFFD5D5FF, pcBtnToneRed},          {0xFFBDBDFF, pcBtnToneRedActive},
    {0xFFE1FFD2, pcBtnToneGreen},        {0xFFCDFFB4, pcBtnToneGreenActive},
    {0xFFFFEDC9, pcBtnToneBlue},         {0xFFFFE9BE, pcBtnToneBlueActive},
    {0xFFCAF3FF, pcBtnToneYellow},       {0xFFBAEFFF, pcBtnToneYellowActive},
    {0xFF28851A, pcBtnGreenText},        {0xFF008E00, pcBtnGreenTextActive},
    {0xFFAE7400, pcBtnBlueText},         {0xFF916000, pcBtnBlueTextActive},
    {0xFF00A5D7, pcBtnYellowText},       {0xFF0098C6, pcBtnYellowTextActive},
};

// A state colour of the title or hint section, or the palette fallback.
u32 SectionColor(const ISkinColorSource& m, TacColorSection s, int state, bool font, TacPaletteColors fallback) {
  u32 color = 0, fontColor = 0;
  if (m.SectionColors(s, state, color, fontColor)) return font ? fontColor : color;
  return m.PaletteColor(fallback);
}

}  // namespace

void SetSystemColors(const ISystemColors* colors) { g_sysColors.store(colors); }
void SetDefaultSkinColorSource(const ISkinColorSource* source) { g_defaultSource.store(source); }
const ISkinColorSource* DefaultSkinColorSource() { return g_defaultSource.load(); }

std::uint32_t GetSysColorValue(int index) {
  if (const ISystemColors* s = g_sysColors.load()) return s->SysColor(index);
  return index >= 0 && index < 31 ? kDefaultSysColors[index] : 0;
}

std::uint32_t PlainColorToRGB(std::uint32_t color) {
  return std::int32_t(color) < 0 ? GetSysColorValue(int(color & 0xFF)) : color;
}

std::uint32_t FillColorOf(std::uint32_t color) {
  return (IsSystemColor(color) ? PlainColorToRGB(color) : color) & 0xFFFFFFu;
}

std::uint32_t MixTwoColours(std::uint32_t color1, std::uint32_t color2, int weight) {
  const u32 w = u32(weight < 0 ? 0 : (weight > 255 ? 255 : weight)), iw = 255 - w;
  u32 out = color1 & 0xFF000000u;
  for (int sh = 0; sh < 24; sh += 8)
    out |= ((((color1 >> sh) & 0xFF) * w + ((color2 >> sh) & 0xFF) * iw) >> 8) << sh;
  return out;
}

std::uint32_t SkinColorToRGB(std::uint32_t color, const ISkinColorSource* manager) {
  if (std::int32_t(color) >= 0) return color;
  if (!manager) manager = g_defaultSource.load();
  if (!manager || !manager->SkinColorsActive()) {
    const u32 low = color & 0xFFFFFFu;
    return low > 100 ? low : PlainColorToRGB(color);
  }
  const ISkinColorSource& m = *manager;
  for (const Reserved& r : kReserved)
    if (r.value == color) return m.PaletteColor(r.index);
  if (!IsSystemColor(color)) return PlainColorToRGB(color);
  switch (color & 0xFF) {
    case 0x00: case 0x01: case 0x04: case 0x0C: case 0x0F: case 0x1E:
      return m.PaletteColor(pcMainColor);
    case 0x02: case 0x1B:
      return SectionColor(m, TacColorSection::FormTitle, 1, false, pcMainColor);
    case 0x03: case 0x1C:
      return SectionColor(m, TacColorSection::FormTitle, 0, false, pcMainColor);
    case 0x09:
      return SectionColor(m, TacColorSection::FormTitle, 1, true, pcLabelText);
    case 0x13:
      return SectionColor(m, TacColorSection::FormTitle, 0, true, pcLabelText);
    case 0x06: case 0x0A: case 0x0B:
      return m.PaletteColor(pcBorder);
    case 0x07: case 0x12:
      return m.PaletteColor(pcLabelText);
    case 0x05:
      return m.PaletteColor(pcEditBG);
    case 0x08:
      return m.PaletteColor(pcEditText);
    case 0x0D: case 0x1D:
      return m.PaletteColor(pcSelectionBG_Focused);
    case 0x0E:
      return m.PaletteColor(pcSelectionText_Focused);
    case 0x10: case 0x15:
      return MixTwoColours(m.PaletteColor(pcMainColor), 0, 180);
    case 0x11:
      return MixTwoColours(m.PaletteColor(pcMainColor), m.PaletteColor(pcLabelText), 127);
    case 0x14:
      return MixTwoColours(m.PaletteColor(pcMainColor), m.PaletteColor(pcSelectionBG_Focused), 127);
    case 0x16:
      return MixTwoColours(m.PaletteColor(pcMainColor), 0xFFFFFF, 180);
    case 0x17:
      return SectionColor(m, TacColorSection::Hint, 0, true, pcEditText);
    case 0x18:
      return SectionColor(m, TacColorSection::Hint, 0, false, pcEditBG);
    case 0x1A:
      return m.PaletteColor(pcWebTextHot);
    default:
      return PlainColorToRGB(color);
  }
}
