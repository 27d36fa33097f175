#include "sSkinOptions.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <unordered_set>

#include "acSkinArchive.h"

namespace cb {

namespace {

// The fields of s between separators, as views into s: every image reference
// and gradient of a skin is split while it loads, so neither the fields nor,
// for the usual dozen or so, their list are allocated.
class SplitFields {
public:
  SplitFields(std::string_view s, char sep) {
    for (size_t b = 0;;) {
      size_t e = s.find(sep, b);
      Add(s.substr(b, e == std::string_view::npos ? e : e - b));
      if (e == std::string_view::npos) break;
      b = e + 1;
    }
  }
  size_t size() const { return FCount; }
  std::string_view operator[](size_t i) const { return i < kInPlace ? FInPlace[i] : FMore[i - kInPlace]; }

private:
  static constexpr size_t kInPlace = 24;
  std::array<std::string_view, kInPlace> FInPlace;
  std::vector<std::string_view> FMore;
  size_t FCount = 0;

  void Add(std::string_view f) {
    if (FCount < kInPlace)
      FInPlace[FCount] = f;
    else
      FMore.push_back(f);
    ++FCount;
  }
};

int ToInt(std::string_view s, int def = 0) {
  int32_t v;
  return TryStrToInt(s, v) ? v : def;
}

// A number as the fixed-width digits of the canonical form.
// Written by hand: every image reference of a skin is put in this form while
// it loads, and formatting through snprintf was a noticeable part of that.
void AppendDigits(std::string& out, int v, int width) {
  int max = width == 1 ? 9 : width == 2 ? 99 : 9999;
  v = std::clamp(v, 0, max);
  char buf[4];
  for (int i = width - 1; i >= 0; --i, v /= 10) buf[i] = static_cast<char>('0' + v % 10);
  out.append(buf, static_cast<size_t>(width));
}

std::string Digits(int v, int width) {
  std::string s;
  AppendDigits(s, v, width);
  return s;
}

// Field n (from 1) after the marker.
// (Views into the value, which outlives them.)
struct Fields {
  SplitFields f;  // the marker's own empty field first
  explicit Fields(const std::string& v) : f(v, v[0]) {}
  size_t Count() const { return f.size() - 1; }
  std::string_view View(size_t n) const { return n >= 1 && n <= Count() ? f[n] : std::string_view(); }
  std::string Text(size_t n) const { return std::string(View(n)); }
  int Int(size_t n) const { return ToInt(View(n)); }
};

std::string Canon(int l, int t, int r, int b, int wl, int wt, int wr, int wb, int count, int maskType, int type,
                  int drawMode, std::string_view file) {
  std::string s;
  s.reserve(44 + file.size());
  s += '&';
  for (int v : {l, t, r, b, wl, wt, wr, wb}) AppendDigits(s, v, 4);
  AppendDigits(s, count, 1);
  AppendDigits(s, maskType, 1);
  AppendDigits(s, std::min(type, 4), 1);
  AppendDigits(s, drawMode, 2);
  s += "000000";
  s += file;
  return s;
}

int DigitsAt(const std::string& s, size_t pos1, size_t width) {
  int v = 0;
  for (size_t i = 0; i < width; ++i) {
    size_t p = pos1 - 1 + i;
    if (p >= s.size() || s[p] < '0' || s[p] > '9') return 0;
    v = v * 10 + (s[p] - '0');
  }
  return v;
}

}  // namespace

namespace {
// Whether text holds ".BMP" or ".JPG" in any case; every value of a skin is
// asked this while it loads, so the dots are found with memchr and no
// upper-cased copy is made.
bool HoldsImageExtension(const std::string& text) {
  auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
  const char* p = text.data();
  const char* end = p + text.size();
  while (end - p >= 4) {
    p = static_cast<const char*>(std::memchr(p, '.', static_cast<size_t>(end - p - 3)));
    if (!p) return false;
    const char a = up(p[1]), b = up(p[2]), c = up(p[3]);
    if ((a == 'B' && b == 'M' && c == 'P') || (a == 'J' && b == 'P' && c == 'G')) return true;
    ++p;
  }
  return false;
}
}  // namespace

bool IsImageReference(const std::string& value) {
  if (value.empty()) return false;
  char c = value[0];
  if (c == '^' || c == '@' || c == '~' || c == '!' || c == '&') return true;
  return HoldsImageExtension(value);
}

namespace {

// The canonical form of any image reference, handed to emit as its fields (in
// Canon's order, the file last) or, for a value already canonical, to pass as
// it stands; CanonicalImageRef writes the fields out, ImageRefOf reads them.
template <class Emit, class Pass>
auto CanonicalFields(const std::string& value, Emit emit, Pass pass) {
  // Read in upper case; most values are written so, and are read where they lie.
  std::string upper;
  const bool lower = std::any_of(value.begin(), value.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  const std::string& v = lower ? (upper = AnsiUpper(value)) : value;
  if (v.empty()) return pass(v);
  char m = v[0];
  bool marked = m == '^' || m == '@' || m == '~' || m == '!' || m == '&';
  if (v.size() < 4) {
    int type = m == '@' ? itisaGlyph : m == '~' ? itisaTexture : itisaBorder;
    return emit(0, 0, 0, 0, 0, 0, 0, 0, 3, 0, type, 1, marked ? std::string_view() : std::string_view(v));
  }
  if (!marked) return emit(0, 0, 0, 0, 0, 0, 0, 0, 1, 0, itisaTexture, 0, v);
  if (m == '&') return pass(v);
  Fields f(v);
  switch (m) {
    case '^': {
      int l = f.Int(1), t = f.Int(2), r = f.Int(3), b = f.Int(4);
      int wl = f.Int(5), wt = f.Int(6), wr = f.Int(7), wb = f.Int(8);
      int count = f.Int(9), maskType = f.Int(10), drawMode = f.Int(11);
      if (wl <= 0 && wt <= 0 && wr <= 0 && wb <= 0 && v.size() > 47) {
        int bw = f.Int(12);
        if (Digits(bw, 4) != "0000") {
          wl = wt = wr = wb = bw;
        } else {
          int w = (r - l) / std::max(1, std::clamp(count, 0, 9));
          int h = (b - t) / (std::clamp(maskType, 0, 9) + 1);
          wl = wr = std::max(0, (w - 1) / 2);
          wt = wb = std::max(0, (h - 1) / 2);
        }
      }
      return emit(l, t, r, b, wl, wt, wr, wb, count, maskType, itisaBorder, drawMode, "");
    }
    case '@':
      return emit(f.Int(1), f.Int(2), f.Int(3), f.Int(4), 0, 0, 0, 0, f.Int(5), f.Int(6), itisaGlyph, 0, "");
    case '~': {
      int maskType = v.size() >= 25 && v[24] >= '0' && v[24] <= '9' ? v[24] - '0' : 0;
      return emit(f.Int(1), f.Int(2), f.Int(3), f.Int(4), 0, 0, 0, 0, 1, maskType, itisaTexture, f.Int(5), f.View(7));
    }
    default: {  // '!'
      const std::string_view file = f.View(1);
      int type = std::clamp(f.Int(4), 0, 4);
      int count = f.Int(2), maskType = f.Int(3), drawMode = f.Int(9);
      switch (type) {
        case itisaBorder:
          return emit(0, 0, 0, 0, f.Int(5), f.Int(6), f.Int(7), f.Int(8), count, maskType, type, drawMode, file);
        case itisaTexture:
          return emit(0, 0, 0, 0, 0, 0, 0, 0, count, maskType, type, drawMode, file);
        case itisaGlow:
          if (f.Count() < 5) return emit(0, 0, 0, 0, 0, 0, 0, 0, 1, 0, type, 0, file);
          return emit(0, 0, 0, 0, f.Int(5), f.Int(6), f.Int(7), f.Int(8), count, maskType, type, drawMode, file);
        default:  // glyphs
          if (f.Count() < 5) return emit(0, 0, 0, 0, 0, 0, 0, 0, count, maskType, type, drawMode, file);
          return emit(f.Int(5), f.Int(6), f.Int(7), f.Int(8), 0, 0, 0, 0, count, maskType, type, drawMode, file);
      }
    }
  }
}

}  // namespace

std::string CanonicalImageRef(const std::string& value) {
  return CanonicalFields(value, Canon, [](const std::string& v) { return v; });
}

// What ParseCanonicalImageRef reads back from CanonicalImageRef, without the
// text in between: Canon clamps each field to its digits, and the file follows.
TacImageRef ImageRefOf(const std::string& value) {
  auto emit = [](int l, int t, int r, int b, int wl, int wt, int wr, int wb, int count, int maskType, int type,
                 int drawMode, std::string_view file) {
    auto four = [](int v) { return std::clamp(v, 0, 9999); };
    TacImageRef ref;
    ref.Left = four(l), ref.Top = four(t), ref.Right = four(r), ref.Bottom = four(b);
    ref.WL = four(wl), ref.WT = four(wt), ref.WR = four(wr), ref.WB = four(wb);
    ref.ImageCount = std::clamp(count, 0, 9);
    ref.MaskType = std::clamp(maskType, 0, 9);
    ref.ImgType = static_cast<TacImgType>(std::clamp(std::min(type, 4), 0, 4));
    ref.DrawMode = std::clamp(drawMode, 0, 99);
    ref.FileName = std::string(file);
    return ref;
  };
  return CanonicalFields(value, emit, [](const std::string& v) { return ParseCanonicalImageRef(v); });
}

TacImageRef ParseCanonicalImageRef(const std::string& c) {
  TacImageRef r;
  r.Left = DigitsAt(c, 2, 4);
  r.Top = DigitsAt(c, 6, 4);
  r.Right = DigitsAt(c, 10, 4);
  r.Bottom = DigitsAt(c, 14, 4);
  r.WL = DigitsAt(c, 18, 4);
  r.WT = DigitsAt(c, 22, 4);
  r.WR = DigitsAt(c, 26, 4);
  r.WB = DigitsAt(c, 30, 4);
  r.ImageCount = DigitsAt(c, 34, 1);
  r.MaskType = DigitsAt(c, 35, 1);
  r.ImgType = static_cast<TacImgType>(std::min(DigitsAt(c, 36, 1), 4));
  r.DrawMode = DigitsAt(c, 37, 2);
  if (c.size() > 44) r.FileName = c.substr(44);
  return r;
}

std::vector<TsGradPoint> ParseGradientData(const std::string& text) {
  std::vector<TsGradPoint> pts;
  if (text.size() <= 4) return pts;
  const SplitFields f(text, ';');
  // The numbers in place for the usual dozen or so fields.
  std::array<int32_t, 32> inPlace;
  std::vector<int32_t> more(f.size() > inPlace.size() ? f.size() : 0);
  int32_t* n = more.empty() ? inPlace.data() : more.data();
  char last = text.back();
  // The trailing count letter of the second layout is not a number.
  size_t numeric = last == '0' ? f.size() : f.size() - 1;
  for (size_t i = 0; i < numeric; ++i)
    if (!TryStrToInt(f[i], n[i])) return {};
  if (last == '0') {
    size_t groups = f.size() / 5;
    pts.reserve(std::max<size_t>(groups, 5));
    int total = 0;
    for (size_t g = 0; g < groups; ++g) {
      const int32_t* q = &n[g * 5];
      TsGradPoint p;
      p.Index = static_cast<uint16_t>(g);
      p.Color = static_cast<uint32_t>(q[0]) | 0xFF000000u;
      p.Mode = static_cast<uint32_t>(q[3]) & ~0x10u;
      p.Percent = static_cast<uint8_t>(std::min(total, 100));
      total = std::min(total + std::clamp(q[2], 0, 100), 1000);
      pts.push_back(p);
    }
    if (!pts.empty() && (pts[0].Mode & 3) == 2)
      while (pts.size() < 5) pts.push_back(pts.back());
  } else {
    int count = last >= 'A' && last <= 'Z' ? last - 'A' + 1 : 0;
    count = std::min<int>(count, static_cast<int>(numeric / 3));
    pts.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int g = 0; g < count; ++g) {
      const int32_t* q = &n[static_cast<size_t>(g) * 3];
      TsGradPoint p;
      p.Index = static_cast<uint16_t>(g);
      p.Color = static_cast<uint32_t>(q[0]);
      p.Percent = static_cast<uint8_t>(std::clamp(q[1], 0, 100));
      p.Mode = static_cast<uint32_t>(q[2]);
      pts.push_back(p);
    }
    for (const TsGradPoint& p : pts)
      if (p.Mode & 0x10) pts[0].Mode |= 0x20;
  }
  if (!pts.empty()) pts.back().Percent = 100;
  return pts;
}

int ScaleIndexOfPPI(int ppi) { return ppi <= 110 ? 0 : ppi <= 134 ? 1 : ppi <= 170 ? 2 : 3; }

int PPIOfScaleIndex(int index) {
  static const int ppi[4] = {96, 120, 144, 192};
  return ppi[std::clamp(index, 0, 3)];
}

int ScaleByIndex(int v, int index) {
  switch (index) {
    case 1: return v + v / 4;
    case 2: return v + v / 2;
    case 3: return 2 * v;
    default: return v;
  }
}

const char* ScaleSuffix(int index) {
  static const char* const s[4] = {"", "*125", "*150", "*200"};
  return s[std::clamp(index, 0, 3)];
}

namespace {
const std::string* KeyIn(const TacMemIni::TSection* s, std::string_view key) {
  auto k = s->Index.find(key);
  return k == s->Index.end() ? nullptr : &s->Keys[k->second].Value;
}
}  // namespace

std::vector<std::string> TacSectionReader::Chain(const std::string& section) const {
  std::vector<std::string> chain{section};
  std::unordered_set<std::string> seen{section};
  std::string cur = section;
  for (;;) {
    auto parent = FIni.Value(cur, "PARENTCLASS");
    if (!parent || parent->empty() || *parent == cur || seen.count(*parent)) break;
    cur = *parent;
    seen.insert(cur);
    chain.push_back(cur);
  }
  return chain;
}

// The sections of Chain, walked without copying a name: the names are views
// of the section asked for and of PARENTCLASS values held by the INI.
const std::vector<const TacMemIni::TSection*>& TacSectionReader::ChainOf(const std::string& section) const {
  auto it = FChains.find(section);
  if (it != FChains.end()) return it->second;
  std::vector<const TacMemIni::TSection*> chain;
  chain.reserve(4);
  // The names seen, in place while the chain is short, in a set beside once it is long.
  constexpr size_t kShortChain = 16;
  std::array<std::string_view, kShortChain> names;
  size_t count = 0;
  std::unordered_set<std::string_view> seen;
  names[count++] = section;
  std::string_view cur = section;
  for (const TacMemIni::TSection* s = FIni.FindSection(cur); s;) {
    chain.push_back(s);
    const std::string* value = KeyIn(s, "PARENTCLASS");
    if (!value) break;
    std::string_view parent = *value;
    if (FIni.StripQuotes() && parent.size() >= 2 && parent.front() == parent.back() &&
        (parent.front() == '"' || parent.front() == '\''))
      parent = parent.substr(1, parent.size() - 2);
    if (parent.empty() || parent == cur) break;
    if (count < kShortChain ? std::find(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(count), parent) !=
                                  names.begin() + static_cast<std::ptrdiff_t>(count)
                            : seen.count(parent) != 0)
      break;
    if (count < kShortChain) names[count] = parent;
    if (++count == kShortChain) seen.insert(names.begin(), names.end());
    if (count > kShortChain) seen.insert(parent);
    cur = parent;
    s = FIni.FindSection(cur);
  }
  return FChains.emplace(section, std::move(chain)).first->second;
}

std::span<const int> TacSectionReader::SlotsOf(const TacMemIni::TSection& section, const TacKeySlots& slots) const {
  const auto& all = FIni.Sections();
  if (FSlotsFor != &slots || FSlotStart.size() != all.size()) {
    FSlotsFor = &slots;
    FSlotStart.assign(all.size(), SIZE_MAX);
    FSlotList.clear();
    size_t keys = 0;
    for (const TacMemIni::TSection& s : all) keys += s.Keys.size();
    FSlotList.reserve(keys);  // never moved again: earlier spans stay valid
  }
  const std::less<const TacMemIni::TSection*> before;
  if (all.empty() || before(&section, all.data()) || !before(&section, all.data() + all.size())) {
    FOtherSlots.clear();
    for (const TacMemIni::TKey& k : section.Keys) FOtherSlots.push_back(slots.Slot(k.Name));
    return FOtherSlots;
  }
  size_t& start = FSlotStart[static_cast<size_t>(&section - all.data())];
  if (start == SIZE_MAX) {
    start = FSlotList.size();
    for (const TacMemIni::TKey& k : section.Keys) FSlotList.push_back(slots.Slot(k.Name));
  }
  return std::span<const int>(FSlotList.data() + start, section.Keys.size());
}


std::optional<std::string> TacSectionReader::Lookup(const std::string& section, const std::string& key) const {
  for (const TacMemIni::TSection* s : ChainOf(section))
    if (const std::string* v = KeyIn(s, key); v && !v->empty()) return *v;
  return std::nullopt;
}

int TacSectionReader::ReadInt(const std::string& section, const std::string& key, int def, int max) const {
  for (const TacMemIni::TSection* s : ChainOf(section)) {
    int32_t v;
    if (const std::string* text = KeyIn(s, key); text && TryStrToInt(*text, v) && v >= 0) return std::min(v, max);
  }
  return std::min(def, max);
}

int32_t TacSectionReader::ReadColor(const std::string& section, const std::string& key, int32_t def) const {
  auto v = Lookup(section, key);
  int32_t r;
  return v && TryStrToInt(*v, r) ? r : def;
}

bool TacSectionReader::ReadFlag(const std::string& section, const std::string& key, bool def) const {
  auto v = Lookup(section, key);
  return v ? (*v == "TRUE" || *v == "1") : def;
}

std::string TacSectionReader::ReadText(const std::string& section, const std::string& key,
                                       const std::string& def) const {
  auto v = Lookup(section, key);
  return v ? *v : def;
}

std::optional<std::string> TacSectionReader::ChooseVariant(const std::string& section, const std::string& key, int s,
                                                           int ppi, int& variantIndex) const {
  const TacMemIni::TSection* sec = FIni.FindSection(section);
  const std::string* v = sec ? ChooseVariant(*sec, key, s, ppi, variantIndex) : nullptr;
  return v ? std::optional<std::string>(*v) : std::nullopt;
}

const std::string* TacSectionReader::ChooseVariant(const TacMemIni::TSection& section, const std::string& key, int s,
                                                   int ppi, int& variantIndex) {
  const int start = PPIOfScaleIndex(s) < ppi ? s + 1 : s;
  std::string name = key;
  auto at = [&](int i) -> const std::string* {
    name.resize(key.size());
    name += ScaleSuffix(i);
    const std::string* v = KeyIn(&section, name);
    if (!v || v->empty()) return nullptr;
    variantIndex = i;
    return v;
  };
  for (int i = start; i <= 3; ++i)
    if (const std::string* v = at(i)) return v;
  for (int i = std::min(start, 4) - 1; i >= 0; --i)
    if (const std::string* v = at(i)) return v;
  return nullptr;
}

TacKeySlots::TacKeySlots(std::initializer_list<const char*> names) : FCount(names.size()) {
  int n = 0;
  for (const char* name : names) FSlots.emplace(name, n++);
}

int TacKeySlots::Slot(std::string_view name) const {
  auto it = FSlots.find(name);
  return it == FSlots.end() ? -1 : it->second;
}

TacSectionValues::TacSectionValues(const TacSectionReader& r, const std::string& section, const TacKeySlots& slots)
    : FCount(slots.Count()) {
  const auto& chain = r.ChainOf(section);
  FLevels = chain.size();
  const size_t cells = FLevels * FCount;
  if (cells > FInPlace.size()) FMore.resize(cells);
  FValues = cells > FInPlace.size() ? FMore.data() : FInPlace.data();
  std::fill(FValues, FValues + cells, nullptr);
  for (size_t level = 0; level < FLevels; ++level) {
    const std::vector<TacMemIni::TKey>& keys = chain[level]->Keys;
    const std::span<const int> slotOf = r.SlotsOf(*chain[level], slots);
    for (size_t i = 0; i < keys.size(); ++i)
      if (int slot = slotOf[i]; slot >= 0 && !FValues[level * FCount + static_cast<size_t>(slot)])
        FValues[level * FCount + static_cast<size_t>(slot)] = &keys[i].Value;
  }
}

const std::string* TacSectionValues::Lookup(int slot) const {
  for (size_t level = 0; level < FLevels; ++level)
    if (const std::string* v = FValues[level * FCount + static_cast<size_t>(slot)]; v && !v->empty()) return v;
  return nullptr;
}

int TacSectionValues::ReadInt(int slot, int def, int max) const {
  for (size_t level = 0; level < FLevels; ++level) {
    int32_t v;
    if (const std::string* text = FValues[level * FCount + static_cast<size_t>(slot)];
        text && TryStrToInt(*text, v) && v >= 0)
      return std::min(v, max);
  }
  return std::min(def, max);
}

int32_t TacSectionValues::ReadColor(int slot, int32_t def) const {
  const std::string* v = Lookup(slot);
  int32_t r;
  return v && TryStrToInt(*v, r) ? r : def;
}

bool TacSectionValues::ReadFlag(int slot, bool def) const {
  const std::string* v = Lookup(slot);
  return v ? (*v == "TRUE" || *v == "1") : def;
}

}  // namespace cb
