#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/Errors.h"
#include "base/Stream.h"
#include "base/StringList.h"

namespace {

using Items = std::vector<std::u16string>;

Items ItemsOf(const TStringList& L) { return Items(L.begin(), L.end()); }

Items Split(std::u16string_view Text, char16_t Delim = u'&', bool Strict = false) {
  TStringList L;
  L.SetDelimiter(Delim);
  L.SetStrictDelimiter(Strict);
  L.SetDelimitedText(Text);
  return ItemsOf(L);
}

TEST(DelimitedText, LoadRulesCaseByCase) {
  struct Case {
    std::u16string In;
    Items Out;
  };
  const Case Cases[] = {
      {u"a&b", {u"a", u"b"}},
      {u"a b&c", {u"a", u"b", u"c"}},              // a blank ends an item
      {u"", {}},                                  // empty text: no items
      {u"   \t\r\n", {}},                         // only blanks: no items
      {u"  \x01\x1F a&b", {u"a", u"b"}},          // leading blanks and controls skipped
      {u"a &  b", {u"a", u"b"}},                  // blanks around the delimiter
      {u"a\tb\nc", {u"a", u"b", u"c"}},           // control characters end items too
      {u"a&b&", {u"a", u"b", u""}},               // delimiter at the very end: empty last item
      {u"&", {u"", u""}},
      {u"a&&b", {u"a", u"", u"b"}},
      {u"a& ", {u"a"}},                           // not at the very end: nothing added
      {u"\"x y\"&z", {u"x y", u"z"}},             // quotes keep blanks and delimiters
      {u"\"a&b\"", {u"a&b"}},
      {u"\"say \"\"hi\"\"\"&b", {u"say \"hi\"", u"b"}}, // doubled quotes stand for one
      {u"\"\"", {u""}},
      {u"\"\"\"\"", {u"\""}},
      {u"\"abc&d", {u"abc&d"}},                   // unterminated quote runs to the end
      {u"\"ab\"cd&e", {u"ab", u"cd", u"e"}},      // text after a closing quote is a new item
      {u"\"ab\" &c", {u"ab", u"c"}},
      {u"x\"y\"", {u"x\"y\""}},                   // a quote inside an item is plain text
      {u"\u4FEE\u590D\u95EE\u9898&\u65B0\u589E", {u"\u4FEE\u590D\u95EE\u9898", u"\u65B0\u589E"}},
      {u"a,b", {u"a,b"}},                         // only the chosen delimiter splits
  };
  for (const Case& C : Cases) EXPECT_EQ(Split(C.In), C.Out) << Utf16ToUtf8(C.In);
}

TEST(DelimitedText, StrictDelimiterKeepsBlanks) {
  EXPECT_EQ(Split(u"a b&c", u'&', true), (Items{u"a b", u"c"}));
  // Blanks at the very start are still skipped; others belong to the items.
  EXPECT_EQ(Split(u"  a & b ", u'&', true), (Items{u"a ", u" b "}));
  EXPECT_EQ(Split(u"a& ", u'&', true), (Items{u"a", u" "}));
  EXPECT_EQ(Split(u"a&", u'&', true), (Items{u"a", u""}));
  EXPECT_EQ(Split(u"\"q \"\" r\"&s t", u'&', true), (Items{u"q \" r", u"s t"}));
  EXPECT_EQ(Split(u"", u'&', true), Items{});
}

TEST(DelimitedText, NulIsAnOrdinaryCharacter) {
  const std::u16string In{u'a', u'\0', u'b', u'&', u'c'};
  EXPECT_EQ(Split(In), (Items{std::u16string{u'a', u'\0', u'b'}, u"c"}));
}

TEST(DelimitedText, GetterQuotesWhatNeedsIt) {
  TStringList L;
  L.SetDelimiter(u'&');
  for (auto S : {u"plain", u"with blank", u"a&b", u"q\"q", u"", u"\u4E2D"}) L.Add(S);
  EXPECT_EQ(L.DelimitedText(), u"plain&\"with blank\"&\"a&b\"&\"q\"\"q\"&\"\"&\u4E2D");
  L.SetStrictDelimiter(true);
  EXPECT_EQ(L.DelimitedText(), u"plain&with blank&\"a&b\"&\"q\"\"q\"&\"\"&\u4E2D");
  L.Clear();
  EXPECT_EQ(L.DelimitedText(), u"");
}

// Any list must survive set(get(list)), whatever its delimiter and strictness.
TEST(DelimitedText, RoundTripsRandomLists) {
  std::mt19937 Rng(20240607);
  const std::u16string Alphabet = std::u16string(u"ab &,;\"'\t\r\n\x01 \u4E2D\uFFFD") + u'\0';
  for (char16_t Delim : {u',', u'&', u';', u'\t', u' ', u'|'})
    for (bool Strict : {false, true})
      for (int Round = 0; Round < 300; ++Round) {
        TStringList L;
        L.SetDelimiter(Delim);
        L.SetStrictDelimiter(Strict);
        const int N = static_cast<int>(Rng() % 5);
        for (int I = 0; I < N; ++I) {
          std::u16string S;
          const int Len = static_cast<int>(Rng() % 5);
          for (int K = 0; K < Len; ++K) S.push_back(Alphabet[Rng() % Alphabet.size()]);
          L.Add(S);
        }
        TStringList Back;
        Back.SetDelimiter(Delim);
        Back.SetStrictDelimiter(Strict);
        Back.SetDelimitedText(L.DelimitedText());
        ASSERT_EQ(ItemsOf(Back), ItemsOf(L))
            << "delimiter " << int(Delim) << " strict " << Strict << " text " << Utf16ToUtf8(L.DelimitedText());
      }
}

TEST(DelimitedText, CommaTextIgnoresListSettings) {
  TStringList L;
  L.SetDelimiter(u'&');
  L.SetStrictDelimiter(true);
  L.SetCommaText(u"a b,\"c,d\",e");
  EXPECT_EQ(ItemsOf(L), (Items{u"a", u"b", u"c,d", u"e"}));
  EXPECT_EQ(L.CommaText(), u"a,b,\"c,d\",e");
  EXPECT_EQ(L.DelimitedText(), u"a&b&c,d&e");
}

TEST(StringList, TextSplitsAtEveryLineBreakKind) {
  TStringList L;
  L.SetText(u"a\r\nb\nc\rd");
  EXPECT_EQ(ItemsOf(L), (Items{u"a", u"b", u"c", u"d"}));
  L.SetText(u"a\r\n\r\nb\r\n");
  EXPECT_EQ(ItemsOf(L), (Items{u"a", u"", u"b"})); // the final break adds nothing
  L.SetText(u"\n\r");
  EXPECT_EQ(ItemsOf(L), (Items{u"", u""}));        // LF then CR: two breaks
  L.SetText(u"");
  EXPECT_EQ(L.Count(), 0);
  L.SetText(u"x\ny");
  EXPECT_EQ(L.Text(), u"x\r\ny\r\n");
  L.SetLineBreak(u"\n");
  EXPECT_EQ(L.Text(), u"x\ny\n");
}

TEST(StringList, IndexOfIgnoresCaseUnlessAsked) {
  TStringList L;
  L.Add(u"WindowsCalculator");
  L.Add(u"Xbox");
  EXPECT_EQ(L.IndexOf(u"windowscalculator"), 0);
  EXPECT_EQ(L.IndexOf(u"XBOX"), 1);
  EXPECT_EQ(L.IndexOf(u"Xbo"), -1);
  L.SetCaseSensitive(true);
  EXPECT_EQ(L.IndexOf(u"XBOX"), -1);
  EXPECT_EQ(L.IndexOf(u"Xbox"), 1);
}

TEST(StringList, SortedListsKeepOrderAndHandleDuplicates) {
  TStringList L;
  L.SetSorted(true);
  EXPECT_EQ(L.Add(u"pear"), 0);
  EXPECT_EQ(L.Add(u"Apple"), 0);
  EXPECT_EQ(L.Add(u"banana"), 1);
  EXPECT_EQ(ItemsOf(L), (Items{u"Apple", u"banana", u"pear"}));
  // dupIgnore (default): the existing index, nothing added, case ignored.
  EXPECT_EQ(L.Add(u"APPLE"), 0);
  EXPECT_EQ(L.Count(), 3);
  L.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(L.Add(u"Pear"), EStringListError);
  EXPECT_EQ(L.Count(), 3);
  L.SetDuplicates(TDuplicates::dupAccept);
  int Obj = 0;
  EXPECT_EQ(L.AddObject(u"BANANA", &Obj), 2);
  EXPECT_EQ(L.Objects(2), &Obj);
  int Index = -1;
  EXPECT_TRUE(L.Find(u"Banana", Index));
  EXPECT_EQ(Index, 1);
  EXPECT_FALSE(L.Find(u"cherry", Index));
  EXPECT_EQ(Index, 3);
  // Position-changing operations are refused on a sorted list.
  EXPECT_THROW(L.Insert(0, u"zz"), EStringListError);
  EXPECT_THROW(L.SetStrings(0, u"zz"), EStringListError);
  EXPECT_THROW(L.Exchange(0, 1), EStringListError);
  // Turning sorting on sorts what is there; case sensitivity re-sorts.
  TStringList U;
  for (auto S : {u"b", u"C", u"a", u"B"}) U.Add(S);
  U.SetSorted(true);
  EXPECT_EQ(ItemsOf(U), (Items{u"a", u"b", u"B", u"C"}));
  U.SetCaseSensitive(true);
  EXPECT_EQ(ItemsOf(U), (Items{u"B", u"C", u"a", u"b"}));
}

TEST(StringList, ObjectsFollowTheirItems) {
  int A = 1, B = 2, C = 3;
  TStringList L;
  L.AddObject(u"a", &A);
  L.AddObject(u"c", &C);
  L.InsertObject(1, u"b", &B);
  EXPECT_EQ(L.Objects(1), &B);
  EXPECT_EQ(L.IndexOfObject(&C), 2);
  L.Delete(0);
  EXPECT_EQ(L.Objects(0), &B);
  L.Exchange(0, 1);
  EXPECT_EQ(L[0], u"c");
  EXPECT_EQ(L.Objects(0), &C);
  EXPECT_EQ(L.IndexOfObject(&A), -1);
}

TEST(StringList, IndexesOutOfRangeThrow) {
  TStringList L;
  L.Add(u"x");
  EXPECT_THROW(L.Strings(1), EStringListError);
  EXPECT_THROW(L[-1], EStringListError);
  EXPECT_THROW(L.Delete(1), EStringListError);
  EXPECT_THROW(L.Objects(5), EStringListError);
  EXPECT_THROW(L.Insert(2, u"y"), EStringListError);
  L.Insert(1, u"y"); // at the end is fine
  EXPECT_EQ(L[1], u"y");
}

TEST(StringList, NamesAndValues) {
  TStringList L;
  L.SetText(u"VER=1.1\nURL=http://h/x?a=b\nnoseparator\n=empty name");
  EXPECT_EQ(L.Names(0), u"VER");
  EXPECT_EQ(L.Values(u"ver"), u"1.1");
  EXPECT_EQ(L.Values(u"URL"), u"http://h/x?a=b"); // split at the first '='
  EXPECT_EQ(L.Names(2), u"");
  EXPECT_EQ(L.ValueFromIndex(2), u"");
  EXPECT_EQ(L.Values(u"noseparator"), u"");
  EXPECT_EQ(L.Values(u""), u"empty name");
  L.SetValues(u"ver", u"2.0");
  EXPECT_EQ(L[0], u"ver=2.0");
  L.SetValues(u"Detail", u"a&b");
  EXPECT_EQ(L[4], u"Detail=a&b");
  L.SetValues(u"URL", u"");
  EXPECT_EQ(L.IndexOfName(u"URL"), -1);
  EXPECT_EQ(L.Count(), 4);
}

TEST(StringList, AssignCopiesItemsAndSettings) {
  TStringList A;
  A.SetDelimiter(u'&');
  A.SetStrictDelimiter(true);
  A.SetCaseSensitive(true);
  int Obj;
  A.AddObject(u"x y", &Obj);
  TStringList B;
  B.Add(u"old");
  B.Assign(A);
  EXPECT_EQ(ItemsOf(B), Items{u"x y"});
  EXPECT_EQ(B.Objects(0), &Obj);
  EXPECT_EQ(B.Delimiter(), u'&');
  EXPECT_TRUE(B.StrictDelimiter());
  EXPECT_TRUE(B.CaseSensitive());
  B.AddStrings(B);
  EXPECT_EQ(B.Count(), 2);
}

TEST(StringList, LoadsTextStreamsInAnyEncoding) {
  // UTF-16 LE with BOM: "a\r\n中"
  const unsigned char Bytes[] = {0xFF, 0xFE, 'a', 0, '\r', 0, '\n', 0, 0x2D, 0x4E};
  TPointerStream S(Bytes, sizeof Bytes);
  TStringList L;
  L.LoadFromStream(S);
  EXPECT_EQ(ItemsOf(L), (Items{u"a", u"\u4E2D"}));
  TMemoryStream M;
  L.SaveToStream(M);
  EXPECT_EQ(std::string(M.Bytes().begin(), M.Bytes().end()), "a\r\n\xE4\xB8\xAD\r\n");
}

} // namespace
