#include "IniFile.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <type_traits>

#include "Errors.h"
#include "Stream.h"
#include "StringList.h"

namespace {

bool HasLineBreak(std::u16string_view S) {
  return S.find(u'\r') != std::u16string_view::npos || S.find(u'\n') != std::u16string_view::npos;
}

bool IsAscii(std::u16string_view S) {
  for (char16_t C : S)
    if (C >= 0x80) return false;
  return true;
}

template <class Char>
bool IsQuoted(std::basic_string_view<Char> S) {
  return S.size() >= 2 && S.front() == S.back() && (S.front() == Char('"') || S.front() == Char('\''));
}

template <class Char>
std::basic_string_view<Char> TrimLeftView(std::basic_string_view<Char> S) {
  std::size_t B = 0;
  while (B < S.size() && static_cast<std::make_unsigned_t<Char>>(S[B]) <= 32) ++B;
  return S.substr(B);
}

template <class Char>
std::basic_string_view<Char> TrimRightView(std::basic_string_view<Char> S) {
  std::size_t E = S.size();
  while (E > 0 && static_cast<std::make_unsigned_t<Char>>(S[E - 1]) <= 32) --E;
  return S.substr(0, E);
}

template <class Char>
std::basic_string_view<Char> TrimView(std::basic_string_view<Char> S) {
  return TrimLeftView(TrimRightView(S));
}

// The first CR or LF at or after From, or the end. 8-bit text (a skin's
// options file, read at every load) looks for LF and then for a CR before it
// with memchr rather than a byte at a time.
template <class Char>
std::size_t LineEnd(std::basic_string_view<Char> S, std::size_t From) {
  if constexpr (sizeof(Char) == 1) {
    const char* P = reinterpret_cast<const char*>(S.data());
    const void* Lf = std::memchr(P + From, '\n', S.size() - From);
    const std::size_t End = Lf ? static_cast<std::size_t>(static_cast<const char*>(Lf) - P) : S.size();
    const void* Cr = std::memchr(P + From, '\r', End - From);
    return Cr ? static_cast<std::size_t>(static_cast<const char*>(Cr) - P) : End;
  } else {
    std::size_t J = From;
    while (J < S.size() && S[J] != Char('\r') && S[J] != Char('\n')) ++J;
    return J;
  }
}

} // namespace

template <class Char>
std::uint32_t TBasicNameIndex<Char>::Hash(View Name) {
  // FNV-1a over the code units: names are short, and this runs inline.
  std::uint32_t H = 2166136261u;
  for (const Char C : Name) H = (H ^ static_cast<std::uint32_t>(C)) * 16777619u;
  return H;
}

template <class Char>
std::size_t TBasicNameIndex<Char>::Probe(View Name, std::uint32_t H) const {
  const std::size_t Mask = FSlots.size() - 1;
  std::size_t I = H & Mask;
  for (;; I = (I + 1) & Mask) {
    const std::uint64_t S = FSlots[I];
    if (!S || (static_cast<std::uint32_t>(S >> 32) == H && View(FEntries[(S & 0xFFFFFFFFu) - 1].first) == Name))
      return I;
  }
}

template <class Char>
typename TBasicNameIndex<Char>::const_iterator TBasicNameIndex<Char>::find(View Name) const {
  if (FSlots.empty()) return nullptr;
  const std::uint64_t S = FSlots[Probe(Name, Hash(Name))];
  return S ? &FEntries[(S & 0xFFFFFFFFu) - 1] : nullptr;
}

template <class Char>
std::size_t TBasicNameIndex<Char>::at(View Name) const {
  const const_iterator It = find(Name);
  if (!It) throw std::out_of_range("name not in the INI index");
  return It->second;
}

template <class Char>
std::pair<typename TBasicNameIndex<Char>::const_iterator, bool> TBasicNameIndex<Char>::emplace(String Name,
                                                                                               std::size_t Pos) {
  if ((FEntries.size() + 1) * 2 > FSlots.size()) Rehash(std::max<std::size_t>(16, FSlots.size() * 2));
  const std::uint32_t H = Hash(Name);
  const std::size_t I = Probe(Name, H);
  if (FSlots[I]) return {&FEntries[(FSlots[I] & 0xFFFFFFFFu) - 1], false};
  FEntries.emplace_back(std::move(Name), Pos);
  FSlots[I] = std::uint64_t(H) << 32 | FEntries.size();
  return {&FEntries.back(), true};
}

template <class Char>
void TBasicNameIndex<Char>::reserve(std::size_t Count) {
  FEntries.reserve(Count);
  std::size_t Slots = 16;
  while (Slots < Count * 2) Slots *= 2;
  if (Slots > FSlots.size()) Rehash(Slots);
}

template <class Char>
void TBasicNameIndex<Char>::clear() {
  FEntries.clear();
  std::fill(FSlots.begin(), FSlots.end(), 0u);
}

template <class Char>
void TBasicNameIndex<Char>::Rehash(std::size_t SlotCount) {
  if (FEntries.empty()) {  // nothing to move (a section's first room)
    FSlots.assign(SlotCount, 0u);
    return;
  }
  std::vector<std::uint64_t> Old(SlotCount, 0u);
  Old.swap(FSlots);
  const std::size_t Mask = SlotCount - 1;
  for (const std::uint64_t S : Old) {
    if (!S) continue;
    std::size_t I = static_cast<std::uint32_t>(S >> 32) & Mask;
    while (FSlots[I]) I = (I + 1) & Mask;
    FSlots[I] = S;
  }
}

template class TBasicNameIndex<char>;
template class TBasicNameIndex<char16_t>;

template <class Char>
void TBasicMemIni<Char>::SetCaseSensitive(bool Value) {
  if (Value == FCaseSensitive) return;
  FCaseSensitive = Value;
  Reindex();
}

template <class Char>
typename TBasicMemIni<Char>::String TBasicMemIni<Char>::Fold(View S) const {
  return FCaseSensitive ? String(S) : UpperCase(S);
}

template <class Char>
const std::size_t* TBasicMemIni<Char>::Find(const TNameIndex& Index, View Name) const {
  const auto It = FCaseSensitive ? Index.find(Name) : Index.find(Fold(Name));
  return It ? &It->second : nullptr;
}

template <class Char>
void TBasicMemIni<Char>::Reindex() {
  FIndex.clear();
  for (std::size_t I = 0; I < FSections.size(); ++I) {
    TSection& Sec = FSections[I];
    FIndex.emplace(Fold(Sec.Name), I); // emplace keeps the first
    Sec.Index.clear();
    for (std::size_t K = 0; K < Sec.Keys.size(); ++K) Sec.Index.emplace(Fold(Sec.Keys[K].Name), K);
  }
}

template <class Char>
void TBasicMemIni<Char>::Clear() {
  FSections.clear();
  FIndex.clear();
}

template <class Char>
void TBasicMemIni<Char>::SetText(View Text) {
  Clear();
  const bool Profile = FSyntax == TIniSyntax::isProfile;
  constexpr std::size_t None = std::size_t(-1);
  std::size_t Cur = None;
  std::size_t I = 0;
  while (I < Text.size()) {
    std::size_t J = LineEnd(Text, I);
    const View Line = TrimView(Text.substr(I, J - I));
    if (J < Text.size() && Text[J] == Char('\r')) ++J;
    if (J < Text.size() && Text[J] == Char('\n')) ++J;
    I = J;

    if (Line.empty() || Line[0] == Char(';')) continue;
    if (Line[0] == Char('[') && (Profile || Line.back() == Char(']'))) {
      const std::size_t Close = Profile ? Line.find(Char(']')) : Line.size() - 1;
      if (Close == View::npos) {
        Cur = None; // a broken header: keys under it belong to no section
        continue;
      }
      String Name(TrimView(Line.substr(1, Close - 1)));
      const auto [It, New] = FIndex.emplace(Fold(Name), FSections.size());
      if (New || Profile) {
        FSections.push_back(TSection{std::move(Name), {}, {}});
        Cur = FSections.size() - 1;
        // Room for the dozen keys or so of a skin section at once, rather
        // than growing one key at a time.
        FSections.back().Keys.reserve(16);
        FSections.back().Index.reserve(16);
      } else {
        Cur = It->second;
      }
      continue;
    }
    if (Cur == None) continue;
    const std::size_t Eq = Line.find(Char('='));
    if (Eq == View::npos) continue;
    TSection& Sec = FSections[Cur];
    String Name(Profile ? TrimRightView(Line.substr(0, Eq)) : Line.substr(0, Eq));
    if (Profile && Name.empty()) continue;
    Sec.Index.emplace(Fold(Name), Sec.Keys.size());
    Sec.Keys.push_back(TKey{std::move(Name), String(Profile ? TrimLeftView(Line.substr(Eq + 1)) : Line.substr(Eq + 1))});
  }
}

template <class Char>
const typename TBasicMemIni<Char>::TSection* TBasicMemIni<Char>::FindSection(View Section) const {
  const std::size_t* I = Find(FIndex, Section);
  return I ? &FSections[*I] : nullptr;
}

template <class Char>
int TBasicMemIni<Char>::SectionIndex(View Section) const {
  const std::size_t* I = Find(FIndex, Section);
  return I ? static_cast<int>(*I) : -1;
}

template <class Char>
const typename TBasicMemIni<Char>::TKey* TBasicMemIni<Char>::FindKey(View Section, View Ident) const {
  const TSection* Sec = FindSection(Section);
  if (!Sec) return nullptr;
  const std::size_t* I = Find(Sec->Index, Ident);
  return I ? &Sec->Keys[*I] : nullptr;
}

template <class Char>
typename TBasicMemIni<Char>::String TBasicMemIni<Char>::Cook(const String& Raw) const {
  if (FStripQuotes && IsQuoted(View(Raw))) return Raw.substr(1, Raw.size() - 2);
  return Raw;
}

template <class Char>
std::optional<typename TBasicMemIni<Char>::String> TBasicMemIni<Char>::Value(View Section, View Ident) const {
  const TKey* K = FindKey(Section, Ident);
  if (!K) return std::nullopt;
  return Cook(K->Value);
}

template <class Char>
typename TBasicMemIni<Char>::String TBasicMemIni<Char>::ReadString(View Section, View Ident, View Default) const {
  const TKey* K = FindKey(Section, Ident);
  return K ? Cook(K->Value) : String(Default);
}

template <class Char>
std::int32_t TBasicMemIni<Char>::ReadInteger(View Section, View Ident, std::int32_t Default) const {
  const TKey* K = FindKey(Section, Ident);
  std::int32_t V;
  return K && TryStrToInt(View(Cook(K->Value)), V) ? V : Default;
}

template class TBasicMemIni<char>;
template class TBasicMemIni<char16_t>;

// TMemIniFile

TMemIniFile::TMemIniFile(const std::filesystem::path& FileName, bool CaseSensitive)
    : TBasicMemIni(TIniSyntax::isProfile, CaseSensitive) {
  LoadFromFile(FileName);
}

std::unique_ptr<TMemIniFile> TMemIniFile::Create(const std::filesystem::path& FileName) {
  return std::make_unique<TMemIniFile>(FileName);
}

std::unique_ptr<TMemIniFile> TMemIniFile::FromBuffer(const void* Data, std::size_t Size) {
  auto Ini = std::make_unique<TMemIniFile>();
  Ini->LoadFromBuffer(Data, Size);
  return Ini;
}

std::unique_ptr<TMemIniFile> TMemIniFile::FromText(std::u16string_view Text) {
  auto Ini = std::make_unique<TMemIniFile>();
  Ini->SetText(Text);
  return Ini;
}

void TMemIniFile::LoadFromFile(const std::filesystem::path& FileName) {
  FFileName = FileName;
  std::error_code Ec;
  if (!std::filesystem::exists(FileName, Ec)) {
    Clear();
    return;
  }
  std::string Bytes;
  try {
    Bytes = ReadFileBytes(FileName, MaxIniSize);
  } catch (const EStreamError& E) {
    throw EIniFileError(std::string("INI file not loaded: ") + E.what());
  }
  LoadFromBuffer(Bytes.data(), Bytes.size());
}

void TMemIniFile::LoadFromBuffer(const void* Data, std::size_t Size) {
  if (Size > MaxIniSize)
    throw EIniFileError("INI text of " + std::to_string(Size) + " bytes exceeds the limit of " +
                        std::to_string(MaxIniSize) + " bytes");
  TDecodedText D = DecodeTextEx(Data, Size);
  TBasicMemIni::SetText(D.Text);
  FEncoding = D.Encoding;
}

void TMemIniFile::SetText(std::u16string_view Text) {
  if (Text.size() > MaxIniSize)
    throw EIniFileError("INI text of " + std::to_string(Text.size()) + " characters exceeds the limit of " +
                        std::to_string(MaxIniSize));
  TBasicMemIni::SetText(Text);
}

void TMemIniFile::SetStrings(const TStringList& Lines) { SetText(Lines.Text()); }

std::u16string TMemIniFile::GetText() const {
  std::u16string R;
  for (const TSection& Sec : FSections) {
    R += u'[';
    R += Sec.Name;
    R += u"]\r\n";
    for (const TKey& K : Sec.Keys) {
      R += K.Name;
      R += u'=';
      R += K.Value;
      R += u"\r\n";
    }
    R += u"\r\n";
  }
  return R;
}

void TMemIniFile::GetStrings(TStringList& Lines) const { Lines.SetText(GetText()); }

void TMemIniFile::UpdateFile() const {
  if (FFileName.empty()) throw EIniFileError("INI file has no file name");
  const std::u16string Text = GetText();
  std::string Bytes;
  if (FEncoding == TTextEncoding::teUtf16LE || FEncoding == TTextEncoding::teUtf16BE)
    Bytes = EncodeText(Text, FEncoding, true);
  else
    Bytes = EncodeText(Text, TTextEncoding::teUtf8, !IsAscii(Text));
  try {
    WriteFileBytes(FFileName, Bytes.data(), Bytes.size());
  } catch (const EStreamError& E) {
    throw EIniFileError(std::string("INI file not written: ") + E.what());
  }
}

bool TMemIniFile::ReadBool(std::u16string_view Section, std::u16string_view Ident, bool Default) const {
  const TKey* K = FindKey(Section, Ident);
  if (!K) return Default;
  const std::u16string V = Cook(K->Value);
  std::int32_t N;
  if (TryStrToInt(V, N)) return N != 0;
  if (SameText(V, u"true")) return true;
  if (SameText(V, u"false")) return false;
  return Default;
}

void TMemIniFile::ReadSection(std::u16string_view Section, TStringList& Strings) const {
  Strings.Clear();
  const TSection* Sec = FindSection(Section);
  if (!Sec) return;
  for (std::size_t K = 0; K < Sec->Keys.size(); ++K)
    if (Sec->Index.at(Fold(Sec->Keys[K].Name)) == K) Strings.Add(Sec->Keys[K].Name);
}

void TMemIniFile::ReadSections(TStringList& Strings) const {
  Strings.Clear();
  for (std::size_t I = 0; I < FSections.size(); ++I)
    if (FIndex.at(Fold(FSections[I].Name)) == I) Strings.Add(FSections[I].Name);
}

void TMemIniFile::ReadSectionValues(std::u16string_view Section, TStringList& Strings) const {
  Strings.Clear();
  const TSection* Sec = FindSection(Section);
  if (!Sec) return;
  for (std::size_t K = 0; K < Sec->Keys.size(); ++K)
    if (Sec->Index.at(Fold(Sec->Keys[K].Name)) == K)
      Strings.Add(Sec->Keys[K].Name + u"=" + Cook(Sec->Keys[K].Value));
}

void TMemIniFile::WriteString(std::u16string_view Section, std::u16string_view Ident, std::u16string_view Value) {
  if (HasLineBreak(Section) || Section.find(u']') != std::u16string_view::npos || Trim(Section) != Section)
    throw EIniFileError("Invalid INI section name '" + Utf16ToUtf8(Section) + "'");
  if (Ident.empty() || HasLineBreak(Ident) || Ident.find(u'=') != std::u16string_view::npos ||
      Trim(Ident) != Ident || Ident[0] == u';' || Ident[0] == u'[')
    throw EIniFileError("Invalid INI key name '" + Utf16ToUtf8(Ident) + "'");
  if (HasLineBreak(Value)) throw EIniFileError("INI value for '" + Utf16ToUtf8(Ident) + "' holds a line break");

  // Store what reads back as Value: blanks at the ends and a quoted-looking value
  // survive only inside quotes.
  std::u16string Raw(Value);
  if (StripQuotes() && (IsQuoted(Value) || (!Value.empty() && (Value.front() <= 32 || Value.back() <= 32))))
    Raw = u"\"" + Raw + u"\"";

  const std::u16string SecKey = Fold(Section);
  auto SIt = FIndex.find(SecKey);
  if (SIt == FIndex.end()) {
    FSections.push_back(TSection{std::u16string(Section), {}, {}});
    SIt = FIndex.emplace(SecKey, FSections.size() - 1).first;
  }
  TSection& Sec = FSections[SIt->second];
  const std::u16string KeyKey = Fold(Ident);
  const auto KIt = Sec.Index.find(KeyKey);
  if (KIt != Sec.Index.end()) {
    Sec.Keys[KIt->second].Value = std::move(Raw);
  } else {
    Sec.Keys.push_back(TKey{std::u16string(Ident), std::move(Raw)});
    Sec.Index.emplace(KeyKey, Sec.Keys.size() - 1);
  }
}

void TMemIniFile::WriteInteger(std::u16string_view Section, std::u16string_view Ident, std::int32_t Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

void TMemIniFile::WriteBool(std::u16string_view Section, std::u16string_view Ident, bool Value) {
  WriteString(Section, Ident, Value ? u"1" : u"0");
}

void TMemIniFile::EraseSection(std::u16string_view Section) {
  const std::u16string Key = Fold(Section);
  std::erase_if(FSections, [&](const TSection& S) { return Fold(S.Name) == Key; });
  Reindex();
}

void TMemIniFile::DeleteKey(std::u16string_view Section, std::u16string_view Ident) {
  const auto SIt = FIndex.find(Fold(Section));
  if (SIt == FIndex.end()) return;
  TSection& Sec = FSections[SIt->second];
  const std::u16string Key = Fold(Ident);
  std::erase_if(Sec.Keys, [&](const TKey& K) { return Fold(K.Name) == Key; });
  Reindex();
}
