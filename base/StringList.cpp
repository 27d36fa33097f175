#include "StringList.h"

#include <algorithm>

#include "Errors.h"
#include "Stream.h"

namespace {

bool IsBlank(char16_t C) { return C >= 1 && C <= 32; }

std::u16string QuotedStr(std::u16string_view S, char16_t Quote) {
  std::u16string R;
  R.reserve(S.size() + 2);
  R.push_back(Quote);
  for (char16_t C : S) {
    if (C == Quote) R.push_back(Quote);
    R.push_back(C);
  }
  R.push_back(Quote);
  return R;
}

} // namespace

int TStringList::Compare(std::u16string_view A, std::u16string_view B) const {
  return FCaseSensitive ? CompareStr(A, B) : CompareText(A, B);
}

void TStringList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= Count())
    throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
}

void TStringList::CheckUnsorted(const char* Operation) const {
  if (FSorted) throw EStringListError(std::string("Operation not allowed on sorted list: ") + Operation);
}

const std::u16string& TStringList::Strings(int Index) const {
  CheckIndex(Index);
  return FItems[static_cast<std::size_t>(Index)].S;
}

void TStringList::SetStrings(int Index, std::u16string_view S) {
  CheckUnsorted("SetStrings");
  CheckIndex(Index);
  FItems[static_cast<std::size_t>(Index)].S = S;
}

void* TStringList::Objects(int Index) const {
  CheckIndex(Index);
  return FItems[static_cast<std::size_t>(Index)].Obj;
}

void TStringList::SetObjects(int Index, void* Obj) {
  CheckIndex(Index);
  FItems[static_cast<std::size_t>(Index)].Obj = Obj;
}

int TStringList::Add(std::u16string_view S) { return AddObject(S, nullptr); }

int TStringList::AddObject(std::u16string_view S, void* Obj) {
  int Index = Count();
  if (FSorted && Find(S, Index)) {
    if (FDuplicates == TDuplicates::dupIgnore) return Index;
    if (FDuplicates == TDuplicates::dupError)
      throw EStringListError("String list does not allow duplicates");
    // Accepted duplicates go after their equals, keeping insertion order among them.
    while (Index < Count() && Compare(FItems[static_cast<std::size_t>(Index)].S, S) == 0) ++Index;
  }
  InsertItem(Index, S, Obj);
  return Index;
}

void TStringList::Insert(int Index, std::u16string_view S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int Index, std::u16string_view S, void* Obj) {
  CheckUnsorted("Insert");
  if (Index < 0 || Index > Count())
    throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
  InsertItem(Index, S, Obj);
}

void TStringList::InsertItem(int Index, std::u16string_view S, void* Obj) {
  FItems.insert(FItems.begin() + Index, TItem{std::u16string(S), Obj});
}

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  FItems.erase(FItems.begin() + Index);
}

void TStringList::Clear() { FItems.clear(); }

void TStringList::Exchange(int Index1, int Index2) {
  CheckUnsorted("Exchange");
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(FItems[static_cast<std::size_t>(Index1)], FItems[static_cast<std::size_t>(Index2)]);
}

void TStringList::AddStrings(const TStringList& Other) {
  if (&Other == this) {
    const TStringList Copy(Other);
    AddStrings(Copy);
    return;
  }
  for (const TItem& It : Other.FItems) AddObject(It.S, It.Obj);
}

void TStringList::Assign(const TStringList& Other) {
  if (&Other != this) *this = Other;
}

int TStringList::IndexOf(std::u16string_view S) const {
  int Index;
  return Find(S, Index) ? Index : -1;
}

int TStringList::IndexOfObject(const void* Obj) const {
  for (std::size_t I = 0; I < FItems.size(); ++I)
    if (FItems[I].Obj == Obj) return static_cast<int>(I);
  return -1;
}

bool TStringList::Find(std::u16string_view S, int& Index) const {
  if (!FSorted) {
    for (std::size_t I = 0; I < FItems.size(); ++I)
      if (Compare(FItems[I].S, S) == 0) {
        Index = static_cast<int>(I);
        return true;
      }
    Index = Count();
    return false;
  }
  auto It = std::lower_bound(FItems.begin(), FItems.end(), S,
                             [this](const TItem& A, std::u16string_view B) { return Compare(A.S, B) < 0; });
  Index = static_cast<int>(It - FItems.begin());
  return It != FItems.end() && Compare(It->S, S) == 0;
}

void TStringList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [this](const TItem& A, const TItem& B) { return Compare(A.S, B.S) < 0; });
}

void TStringList::SetSorted(bool Value) {
  if (Value && !FSorted) Sort();
  FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (Value == FCaseSensitive) return;
  FCaseSensitive = Value;
  if (FSorted) Sort();
}

void TStringList::SetLineBreak(std::u16string_view Value) { FLineBreak.assign(Value.data(), Value.size()); }

std::u16string TStringList::Text() const {
  std::u16string R;
  for (const TItem& It : FItems) {
    R += It.S;
    R += FLineBreak;
  }
  return R;
}

void TStringList::SetText(std::u16string_view Value) {
  Clear();
  std::size_t I = 0;
  while (I < Value.size()) {
    std::size_t J = I;
    while (J < Value.size() && Value[J] != u'\r' && Value[J] != u'\n') ++J;
    Add(Value.substr(I, J - I));
    if (J < Value.size() && Value[J] == u'\r') ++J;
    if (J < Value.size() && Value[J] == u'\n') ++J;
    I = J;
  }
}

std::u16string TStringList::DelimitedTextOf(const TStringList& L, char16_t Delim, char16_t Quote, bool Strict) {
  std::u16string R;
  for (std::size_t I = 0; I < L.FItems.size(); ++I) {
    const std::u16string& S = L.FItems[I].S;
    // Quote whatever the loader would split, trim or read as a quote: empty items,
    // delimiters, quotes, and (unless strict) blanks, control characters and NUL. Strict
    // loading still skips blanks at the very start, so a leading blank needs quotes too.
    bool Quote_ = S.empty() || IsBlank(S[0]);
    for (char16_t C : S) {
      if (Quote_) break;
      if (C == Delim || C == Quote || (!Strict && C <= 32)) Quote_ = true;
    }
    if (I) R.push_back(Delim);
    R += Quote_ ? QuotedStr(S, Quote) : S;
  }
  return R;
}

void TStringList::LoadDelimited(TStringList& L, std::u16string_view V, char16_t Delim, char16_t Quote, bool Strict) {
  L.Clear();
  const std::size_t N = V.size();
  std::size_t P = 0;
  while (P < N && IsBlank(V[P])) ++P;
  while (P < N) {
    std::u16string S;
    if (V[P] == Quote) {
      ++P;
      while (P < N) {
        if (V[P] == Quote) {
          if (P + 1 < N && V[P + 1] == Quote) {
            S.push_back(Quote);
            P += 2;
            continue;
          }
          ++P; // the closing quote
          break;
        }
        S.push_back(V[P++]);
      }
    } else {
      const std::size_t P1 = P;
      while (P < N && V[P] != Delim && (Strict || !IsBlank(V[P]))) ++P;
      S.assign(V.substr(P1, P - P1));
    }
    L.Add(S);
    if (!Strict)
      while (P < N && IsBlank(V[P])) ++P;
    if (P < N && V[P] == Delim) {
      if (P + 1 == N) L.Add(u"");
      ++P;
      if (!Strict)
        while (P < N && IsBlank(V[P])) ++P;
    }
  }
}

std::u16string TStringList::DelimitedText() const {
  return DelimitedTextOf(*this, FDelimiter, FQuoteChar, FStrictDelimiter);
}

void TStringList::SetDelimitedText(std::u16string_view Value) {
  LoadDelimited(*this, Value, FDelimiter, FQuoteChar, FStrictDelimiter);
}

std::u16string TStringList::CommaText() const { return DelimitedTextOf(*this, u',', u'"', false); }

void TStringList::SetCommaText(std::u16string_view Value) { LoadDelimited(*this, Value, u',', u'"', false); }

std::u16string TStringList::Names(int Index) const {
  const std::u16string& S = Strings(Index);
  const auto P = S.find(FNameValueSeparator);
  return P == std::u16string::npos ? std::u16string() : S.substr(0, P);
}

std::u16string TStringList::ValueFromIndex(int Index) const {
  const std::u16string& S = Strings(Index);
  const auto P = S.find(FNameValueSeparator);
  return P == std::u16string::npos ? std::u16string() : S.substr(P + 1);
}

int TStringList::IndexOfName(std::u16string_view Name) const {
  for (std::size_t I = 0; I < FItems.size(); ++I) {
    const std::u16string& S = FItems[I].S;
    const auto P = S.find(FNameValueSeparator);
    if (P != std::u16string::npos && Compare(std::u16string_view(S).substr(0, P), Name) == 0)
      return static_cast<int>(I);
  }
  return -1;
}

std::u16string TStringList::Values(std::u16string_view Name) const {
  const int I = IndexOfName(Name);
  return I < 0 ? std::u16string() : ValueFromIndex(I);
}

void TStringList::SetValues(std::u16string_view Name, std::u16string_view Value) {
  const int I = IndexOfName(Name);
  if (Value.empty()) {
    if (I >= 0) Delete(I);
    return;
  }
  std::u16string Item(Name);
  Item.push_back(FNameValueSeparator);
  Item += Value;
  if (I < 0) {
    Add(Item);
  } else if (FSorted) {
    // The new text may sort elsewhere.
    void* Obj = FItems[static_cast<std::size_t>(I)].Obj;
    Delete(I);
    AddObject(Item, Obj);
  } else {
    FItems[static_cast<std::size_t>(I)].S = std::move(Item);
  }
}

void TStringList::LoadFromStream(TStream& Stream) {
  const std::string Bytes = Stream.ReadAll();
  SetText(DecodeText(Bytes.data(), Bytes.size()));
}

void TStringList::LoadFromFile(const std::filesystem::path& FileName) {
  const std::string Bytes = ReadFileBytes(FileName);
  SetText(DecodeText(Bytes.data(), Bytes.size()));
}

void TStringList::SaveToStream(TStream& Stream) const {
  const std::string Bytes = Utf16ToUtf8(Text());
  Stream.WriteBuffer(Bytes.data(), Bytes.size());
}

void TStringList::SaveToFile(const std::filesystem::path& FileName) const {
  const std::string Bytes = Utf16ToUtf8(Text());
  WriteFileBytes(FileName, Bytes.data(), Bytes.size());
}
