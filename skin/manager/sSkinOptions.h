#pragma once
// Values of the skin options file: image references and their canonical form,
// gradient data, and reading keys of a section through its parent chain.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/IniFile.h"

namespace cb {

// The options file and the manager's common sections: 8-bit text read as the
// framework's memory INI, names compared exactly.
class TacMemIni : public TBasicMemIni<char> {
public:
  TacMemIni() : TBasicMemIni(TIniSyntax::isMemIni, true) {}
  explicit TacMemIni(std::string_view Text) : TacMemIni() { SetText(Text); }
};

enum TacImgType { itisaBorder, itisaTexture, itisaGlyph, itisaGlow, itisaPngGlyph };

// A parsed canonical image reference.
struct TacImageRef {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int WL = 0, WT = 0, WR = 0, WB = 0;
  int ImageCount = 0;
  int MaskType = 0;
  TacImgType ImgType = itisaBorder;
  int DrawMode = 0;
  std::string FileName;  // empty: the rectangle is in the master image
};

// True for values that name an image (any case).
bool IsImageReference(const std::string& value);
// Converts any form of image reference to the canonical "&..." form (upper case).
std::string CanonicalImageRef(const std::string& value);
// Parses a canonical value; unreadable digits count as 0.
TacImageRef ParseCanonicalImageRef(const std::string& canonical);
// ParseCanonicalImageRef(CanonicalImageRef(value)), without making the text.
TacImageRef ImageRefOf(const std::string& value);

#pragma pack(push, 1)
// One stop of a gradient.
struct TsGradPoint {
  uint16_t Index = 0;
  uint32_t Mode = 0;
  uint32_t Color = 0;
  uint8_t Percent = 0;
};
#pragma pack(pop)
static_assert(sizeof(TsGradPoint) == 11);

// GRADIENTDATA text to points. Texts of four characters or fewer give no
// points; so does a text with a field that is not an integer.
std::vector<TsGradPoint> ParseGradientData(const std::string& text);

// Scale index of a density, and the density of a scale index.
int ScaleIndexOfPPI(int ppi);
int PPIOfScaleIndex(int index);
// V scaled by a scale index (0: V, 1: V + V/4, 2: V + V/2, 3: 2V).
int ScaleByIndex(int v, int index);
// Suffix of a scaled variant key: "", "*125", "*150", "*200".
const char* ScaleSuffix(int index);

class TacKeySlots;

// Reads keys of a section, falling back along its PARENTCLASS chain (which
// ends at an empty parent, at the section itself, or where it would loop).
class TacSectionReader {
public:
  explicit TacSectionReader(const TacMemIni& ini) : FIni(ini) {}
  const TacMemIni& Ini() const { return FIni; }

  std::vector<std::string> Chain(const std::string& section) const;
  // First present, non-empty value along the chain.
  std::optional<std::string> Lookup(const std::string& section, const std::string& key) const;
  // Integer with -1 meaning missing: missing or negative values are looked up
  // along the chain, then def; the result is at most max.
  int ReadInt(const std::string& section, const std::string& key, int def, int max) const;
  // Colour (may be negative): the first present value along the chain; a
  // malformed value gives def.
  int32_t ReadColor(const std::string& section, const std::string& key, int32_t def) const;
  // Exactly "TRUE" or "1" is true; any other present value false.
  bool ReadFlag(const std::string& section, const std::string& key, bool def) const;
  std::string ReadText(const std::string& section, const std::string& key, const std::string& def) const;

  // The value of an image key for skin data of scale index s and density ppi:
  // from the start index upwards, then downwards. variantIndex gets the index
  // of the key that was taken.
  std::optional<std::string> ChooseVariant(const std::string& section, const std::string& key, int s, int ppi,
                                           int& variantIndex) const;
  // The same within a section already found; null when there is none.
  static const std::string* ChooseVariant(const TacMemIni::TSection& section, const std::string& key, int s, int ppi,
                                          int& variantIndex);

  // The sections of a chain, worked out once per section.
  const std::vector<const TacMemIni::TSection*>& ChainOf(const std::string& section) const;
  // The slot of each of a section's keys (-1: none), worked out once per
  // section: a parent's keys come up again in the chain of every child.
  // The span stays valid while the reader lives, for a section of its INI;
  // for any other section until the next call.
  std::span<const int> SlotsOf(const TacMemIni::TSection& section, const TacKeySlots& slots) const;

private:
  const TacMemIni& FIni;
  mutable std::unordered_map<std::string, std::vector<const TacMemIni::TSection*>> FChains;
  mutable const TacKeySlots* FSlotsFor = nullptr;
  // The slots of every section worked out so far, one after another, and where
  // each section's begin (SIZE_MAX: not yet); room for all is taken at once.
  mutable std::vector<int> FSlotList;
  mutable std::vector<size_t> FSlotStart;
  mutable std::vector<int> FOtherSlots;
};

// A fixed list of key names; a key's position in it is its slot.
class TacKeySlots {
public:
  TacKeySlots(std::initializer_list<const char*> names);
  int Slot(std::string_view name) const;
  size_t Count() const { return FCount; }

private:
  size_t FCount = 0;
  std::unordered_map<std::string_view, int> FSlots;
};

// The values of a list of keys in a section and along its parent chain, read
// as TacSectionReader reads them. Found in one walk over the chain's keys
// instead of one search per key and section, as every section of a skin is
// read this way while it loads.
class TacSectionValues {
public:
  TacSectionValues(const TacSectionReader& r, const std::string& section, const TacKeySlots& slots);
  TacSectionValues(const TacSectionValues&) = delete;
  TacSectionValues& operator=(const TacSectionValues&) = delete;

  const std::string* Lookup(int slot) const;
  int ReadInt(int slot, int def, int max) const;
  int32_t ReadColor(int slot, int32_t def) const;
  bool ReadFlag(int slot, bool def) const;

private:
  size_t FCount, FLevels;
  // [level][slot]: the first of the key's lines, or null; in place for the
  // usual chain of a few levels.
  std::array<const std::string*, 256> FInPlace;
  std::vector<const std::string*> FMore;
  const std::string** FValues;
};

}  // namespace cb
