#pragma once
// An INI file held in memory.
//
// Reading follows the system's INI profile routines: lines are trimmed; ';' starts a
// comment line; "[name]" opens a section (blanks inside the brackets and anything after
// ']' are ignored); "key=value" splits at the first '=', key and value trimmed; lines
// before the first section and lines without '=' hold no value. A name that occurs
// twice is found at its first occurrence (sections and keys alike). With StripQuotes
// (the default) a value enclosed in one pair of matching quotes, ' or ", is read
// without them. Names ignore ASCII case unless CaseSensitive.
//
// Input is capped at MaxIniSize bytes; more raises EIniFileError rather than reading
// an unbounded amount.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Strings.h"

class TStringList;

constexpr std::size_t MaxIniSize = 16u * 1024u * 1024u;

class TMemIniFile {
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
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);
  bool StripQuotes() const { return FStripQuotes; }
  void SetStripQuotes(bool Value) { FStripQuotes = Value; }
  // How the loaded bytes were encoded; UpdateFile writes the same way where it can.
  TTextEncoding Encoding() const { return FEncoding; }

  // Replace the content.
  void LoadFromFile(const std::filesystem::path& FileName);
  void LoadFromBuffer(const void* Data, std::size_t Size);
  void SetText(std::u16string_view Text);
  void SetStrings(const TStringList& Lines);
  void Clear();

  std::u16string GetText() const; // CR LF line breaks, a blank line after each section
  void GetStrings(TStringList& Lines) const;
  // Writes GetText to FileName (UTF-16 when read as UTF-16, else UTF-8, with a BOM
  // when the text is not plain ASCII).
  void UpdateFile() const;

  std::u16string ReadString(std::u16string_view Section, std::u16string_view Ident,
                            std::u16string_view Default) const;
  // Decimal, or hexadecimal after "0x" or "$"; anything else (or out of range) gives Default.
  std::int32_t ReadInteger(std::u16string_view Section, std::u16string_view Ident,
                           std::int32_t Default) const;
  // An integer (non-zero is true) or "true"/"false"; anything else gives Default.
  bool ReadBool(std::u16string_view Section, std::u16string_view Ident, bool Default) const;

  bool SectionExists(std::u16string_view Section) const;
  bool ValueExists(std::u16string_view Section, std::u16string_view Ident) const;
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
  struct TKey {
    std::u16string Name;
    std::u16string Raw; // trimmed text after '='
  };
  struct TSection {
    std::u16string Name;
    std::vector<TKey> Keys;
    std::unordered_map<std::u16string, std::size_t> Index; // folded name -> first key
  };
  std::vector<TSection> FSections;
  std::unordered_map<std::u16string, std::size_t> FIndex; // folded name -> first section
  std::filesystem::path FFileName;
  bool FCaseSensitive = false;
  bool FStripQuotes = true;
  TTextEncoding FEncoding = TTextEncoding::teUtf8;

  std::u16string Fold(std::u16string_view S) const;
  void Reindex();
  void ParseText(std::u16string_view Text);
  const TSection* FindSection(std::u16string_view Section) const;
  const TKey* FindKey(std::u16string_view Section, std::u16string_view Ident) const;
  std::u16string Cook(const std::u16string& Raw) const;
};
