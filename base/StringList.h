#pragma once
// A list of 16-bit strings, each with an optional borrowed object pointer.

#include <cstddef>
#include <filesystem>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "Strings.h"

class TStream;

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList {
public:
  TStringList() = default;
  TStringList(const TStringList&) = default;
  TStringList& operator=(const TStringList&) = default;
  TStringList(TStringList&&) noexcept = default;
  TStringList& operator=(TStringList&&) noexcept = default;
  virtual ~TStringList() = default;

  // Items. Indexes out of range raise EStringListError.
  int Count() const { return static_cast<int>(FItems.size()); }
  const std::u16string& operator[](int Index) const { return Strings(Index); }
  const std::u16string& Strings(int Index) const;
  void SetStrings(int Index, std::u16string_view S); // refused on a sorted list
  void* Objects(int Index) const;
  void SetObjects(int Index, void* Obj);

  // Returns the new item's index. On a sorted list the item goes to its sorted place and
  // Duplicates decides about an equal item: ignore (returns the existing index), accept,
  // or raise EStringListError.
  int Add(std::u16string_view S);
  int AddObject(std::u16string_view S, void* Obj);
  void Insert(int Index, std::u16string_view S); // refused on a sorted list
  void InsertObject(int Index, std::u16string_view S, void* Obj);
  void Delete(int Index);
  void Clear();
  void Exchange(int Index1, int Index2); // refused on a sorted list
  void AddStrings(const TStringList& Other);
  // Copies items, objects and every setting.
  void Assign(const TStringList& Other);

  // Comparison follows CaseSensitive (default false: ASCII case ignored).
  int IndexOf(std::u16string_view S) const;
  int IndexOfObject(const void* Obj) const;
  // Binary search on a sorted list: true with the first equal item's index, else false
  // with the insertion point. Unsorted lists search linearly.
  bool Find(std::u16string_view S, int& Index) const;
  void Sort();

  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);

  // Lines. The getter ends every item with LineBreak (default CR LF); the setter splits
  // at CR LF, LF or CR, and a final line break adds no empty item.
  std::u16string Text() const;
  void SetText(std::u16string_view Value);
  const std::u16string& LineBreak() const { return FLineBreak; }
  void SetLineBreak(std::u16string_view Value);

  // Delimited text. The setter follows the ordinary rules (see SetDelimitedText); the
  // getter quotes every item the setter would otherwise split or trim, so that
  // SetDelimitedText(DelimitedText()) gives the same items.
  char16_t Delimiter() const { return FDelimiter; }
  void SetDelimiter(char16_t Value) { FDelimiter = Value; }
  char16_t QuoteChar() const { return FQuoteChar; }
  void SetQuoteChar(char16_t Value) { FQuoteChar = Value; }
  bool StrictDelimiter() const { return FStrictDelimiter; }
  void SetStrictDelimiter(bool Value) { FStrictDelimiter = Value; }
  std::u16string DelimitedText() const;
  // Clears, then: blanks and control characters (1..32) at the start are skipped; an
  // item that begins with QuoteChar runs to the matching quote (two quotes inside stand
  // for one; an unterminated quote runs to the end); any other item ends at Delimiter
  // or, unless StrictDelimiter, at a blank or control character. Unless StrictDelimiter,
  // blanks after an item and after a delimiter are skipped. A delimiter that is the very
  // last character adds an empty last item.
  void SetDelimitedText(std::u16string_view Value);
  // Delimited text with ',' and '"', never strict, whatever the list's settings.
  std::u16string CommaText() const;
  void SetCommaText(std::u16string_view Value);

  // NAME=VALUE items; the name ends at the first NameValueSeparator.
  char16_t NameValueSeparator() const { return FNameValueSeparator; }
  void SetNameValueSeparator(char16_t Value) { FNameValueSeparator = Value; }
  std::u16string Names(int Index) const;          // empty when the item has no separator
  std::u16string ValueFromIndex(int Index) const; // empty when the item has no separator
  std::u16string Values(std::u16string_view Name) const;
  // Replaces the first item of that name; an empty value deletes it; adds when absent.
  void SetValues(std::u16string_view Name, std::u16string_view Value);
  int IndexOfName(std::u16string_view Name) const;

  // Text files and streams, decoded as DecodeText does (BOMs, UTF-8, code page 936).
  void LoadFromStream(TStream& Stream);
  void LoadFromFile(const std::filesystem::path& FileName);
  // Written as UTF-8 without BOM.
  void SaveToStream(TStream& Stream) const;
  void SaveToFile(const std::filesystem::path& FileName) const;

  // Range-for support over the strings.
  class const_iterator;
  const_iterator begin() const;
  const_iterator end() const;

private:
  struct TItem {
    std::u16string S;
    void* Obj = nullptr;
  };
  std::vector<TItem> FItems;
  bool FSorted = false;
  bool FCaseSensitive = false;
  TDuplicates FDuplicates = TDuplicates::dupIgnore;
  char16_t FDelimiter = u',';
  char16_t FQuoteChar = u'"';
  char16_t FNameValueSeparator = u'=';
  bool FStrictDelimiter = false;
  std::u16string FLineBreak = u"\r\n";

  int Compare(std::u16string_view A, std::u16string_view B) const;
  void CheckIndex(int Index) const;
  void CheckUnsorted(const char* Operation) const;
  void InsertItem(int Index, std::u16string_view S, void* Obj);
  static std::u16string DelimitedTextOf(const TStringList& L, char16_t Delim, char16_t Quote,
                                        bool Strict);
  static void LoadDelimited(TStringList& L, std::u16string_view Value, char16_t Delim,
                            char16_t Quote, bool Strict);
};

class TStringList::const_iterator {
public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = std::u16string;
  using difference_type = std::ptrdiff_t;
  using pointer = const std::u16string*;
  using reference = const std::u16string&;
  const_iterator() = default;
  reference operator*() const { return FIt->S; }
  pointer operator->() const { return &FIt->S; }
  const_iterator& operator++() { ++FIt; return *this; }
  const_iterator operator++(int) { auto T = *this; ++FIt; return T; }
  friend bool operator==(const const_iterator&, const const_iterator&) = default;

private:
  friend class TStringList;
  explicit const_iterator(std::vector<TItem>::const_iterator It) : FIt(It) {}
  std::vector<TItem>::const_iterator FIt;
};

inline TStringList::const_iterator TStringList::begin() const { return const_iterator(FItems.begin()); }
inline TStringList::const_iterator TStringList::end() const { return const_iterator(FItems.end()); }
