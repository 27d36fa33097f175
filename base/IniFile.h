#pragma once
// INI text held in memory: one implementation for the two readers of INI text on the
// platform, over 16-bit text (the framework and the program) and 8-bit text (the skin).
//
// Lines are trimmed; empty lines and lines starting with ';' hold nothing; key=value
// lines before the first section belong to none. The rest depends on the syntax:
// - isProfile, the system's INI profile routines (the update descriptor): "[name]"
//   opens a section (blanks inside the brackets and anything after ']' are ignored; a
//   header without ']' opens nothing, so the keys under it belong to no section); a key
//   is split at the first '=' with name and value trimmed, an empty name holds nothing;
//   a section that occurs twice is found at its first occurrence, the second one's keys
//   are not seen. Values in one pair of matching quotes, ' or ", are read without them.
// - isMemIni, the framework's memory INI (the skin's options file): only a whole line in
//   brackets is a header; the key is everything before the first '=' and the value
//   everything after, as written; a section that occurs twice adds its keys to the first.
//   Quotes are part of the value.
// In both, the first of repeated keys counts. Names ignore ASCII case unless
// CaseSensitive.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Strings.h"

class TStringList;

constexpr std::size_t MaxIniSize = 16u * 1024u * 1024u;

enum class TIniSyntax { isProfile, isMemIni };

// Folded names to positions in one flat table (open addressing) rather than a
// node per name: a skin's options file of a thousand keys is read at every
// load. The first position given for a name is kept.
template <class Char>
class TBasicNameIndex {
public:
  using String = std::basic_string<Char>;
  using View = std::basic_string_view<Char>;
  using value_type = std::pair<String, std::size_t>;
  using const_iterator = const value_type*; // valid until the next emplace

  const_iterator end() const { return nullptr; }
  const_iterator find(View Name) const;
  std::size_t at(View Name) const; // std::out_of_range when Name is missing
  std::pair<const_iterator, bool> emplace(String Name, std::size_t Pos);
  void reserve(std::size_t Count);
  void clear();
  std::size_t size() const { return FEntries.size(); }

private:
  std::vector<value_type> FEntries;
  // The name's hash in the high half, entry + 1 in the low (0: free); a power
  // of two, at most half full.
  std::vector<std::uint64_t> FSlots;

  static std::uint32_t Hash(View Name);
  // The slot holding Name, or the free slot where it would go.
  std::size_t Probe(View Name, std::uint32_t H) const;
  void Rehash(std::size_t SlotCount);
};

template <class Char>
class TBasicMemIni {
public:
  using String = std::basic_string<Char>;
  using View = std::basic_string_view<Char>;
  struct TKey {
    String Name;
    String Value; // as stored: quotes not yet stripped
  };
  // Names are looked up as views: a case-sensitive lookup makes no string.
  using TNameIndex = TBasicNameIndex<Char>;
  struct TSection {
    String Name;
    std::vector<TKey> Keys; // file order, repeated names included
    TNameIndex Index;       // folded name -> first key
  };

  explicit TBasicMemIni(TIniSyntax Syntax = TIniSyntax::isProfile, bool CaseSensitive = false)
      : FSyntax(Syntax), FCaseSensitive(CaseSensitive), FStripQuotes(Syntax == TIniSyntax::isProfile) {}

  TIniSyntax Syntax() const { return FSyntax; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);
  bool StripQuotes() const { return FStripQuotes; }
  void SetStripQuotes(bool Value) { FStripQuotes = Value; }

  // Replaces the content.
  void SetText(View Text);
  void Clear();

  const std::vector<TSection>& Sections() const { return FSections; }
  const TSection* FindSection(View Section) const;
  // Position in Sections(), or -1.
  int SectionIndex(View Section) const;
  bool SectionExists(View Section) const { return FindSection(Section) != nullptr; }
  bool ValueExists(View Section, View Ident) const { return FindKey(Section, Ident) != nullptr; }

  // The value (quotes stripped when StripQuotes), or nothing when the section or key is missing.
  std::optional<String> Value(View Section, View Ident) const;
  String ReadString(View Section, View Ident, View Default) const;
  // Decimal, or hexadecimal after "0x" or "$"; anything else (or out of range) gives Default.
  std::int32_t ReadInteger(View Section, View Ident, std::int32_t Default) const;

protected:
  std::vector<TSection> FSections;
  TNameIndex FIndex; // folded name -> first section

  String Fold(View S) const;
  const std::size_t* Find(const TNameIndex& Index, View Name) const;
  void Reindex();
  const TKey* FindKey(View Section, View Ident) const;
  String Cook(const String& Raw) const;

private:
  TIniSyntax FSyntax;
  bool FCaseSensitive;
  bool FStripQuotes;
};

extern template class TBasicNameIndex<char>;
extern template class TBasicNameIndex<char16_t>;
extern template class TBasicMemIni<char>;
extern template class TBasicMemIni<char16_t>;

// The 16-bit INI of the framework and the program, with files, encodings and writing.
// Input is capped at MaxIniSize bytes; more raises EIniFileError rather than reading an
// unbounded amount.
class TMemIniFile : public TBasicMemIni<char16_t> {
public:
  TMemIniFile() = default;
  // A file that does not exist gives an empty INI (UpdateFile then creates it); a file
  // that cannot be read or is too large raises EIniFileError.
  explicit TMemIniFile(const std::filesystem::path& FileName, bool CaseSensitive = false);
  static std::unique_ptr<TMemIniFile> Create(const std::filesystem::path& FileName);
  static std::unique_ptr<TMemIniFile> FromBuffer(const void* Data, std::size_t Size);
  static std::unique_ptr<TMemIniFile> FromText(std::u16string_view Text);

  const std::filesystem::path& FileName() const { return FFileName; }
  void SetFileName(const std::filesystem::path& FileName) { FFileName = FileName; }
  // How the loaded bytes were encoded; UpdateFile writes the same way where it can.
  TTextEncoding Encoding() const { return FEncoding; }

  // Replace the content.
  void LoadFromFile(const std::filesystem::path& FileName);
  void LoadFromBuffer(const void* Data, std::size_t Size);
  void SetText(std::u16string_view Text);
  void SetStrings(const TStringList& Lines);

  std::u16string GetText() const; // CR LF line breaks, a blank line after each section
  void GetStrings(TStringList& Lines) const;
  // Writes GetText to FileName (UTF-16 when read as UTF-16, else UTF-8, with a BOM
  // when the text is not plain ASCII).
  void UpdateFile() const;

  // An integer (non-zero is true) or "true"/"false"; anything else gives Default.
  bool ReadBool(std::u16string_view Section, std::u16string_view Ident, bool Default) const;

  // These clear Strings first. Names appear once each, in file order.
  void ReadSection(std::u16string_view Section, TStringList& Strings) const;
  void ReadSections(TStringList& Strings) const;
  void ReadSectionValues(std::u16string_view Section, TStringList& Strings) const;

  // Replaces the value of the first key of that name or appends the key, creating the
  // section at the end when needed. Names that the text form cannot hold (empty key, a
  // key with '=', a section with ']', line breaks anywhere) raise EIniFileError.
  void WriteString(std::u16string_view Section, std::u16string_view Ident, std::u16string_view Value);
  void WriteInteger(std::u16string_view Section, std::u16string_view Ident, std::int32_t Value);
  void WriteBool(std::u16string_view Section, std::u16string_view Ident, bool Value);
  // Removes every section of that name.
  void EraseSection(std::u16string_view Section);
  void DeleteKey(std::u16string_view Section, std::u16string_view Ident);

private:
  std::filesystem::path FFileName;
  TTextEncoding FEncoding = TTextEncoding::teUtf8;
};
