#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "base/Errors.h"
#include "base/Strings.h"

namespace {

const char16_t FFFD = ReplacementChar;

std::string Bytes(std::initializer_list<int> L) {
  std::string S;
  for (int B : L) S.push_back(static_cast<char>(B));
  return S;
}

TEST(Utf, RoundTripsAllPlanes) {
  // ASCII, Latin-1, Chinese, and a character outside the BMP (surrogate pair).
  const std::string U8 = "Az\xC3\xA9\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80";
  const std::u16string U16 = u"Az\u00E9\u4E2D\u6587\U0001F600";
  EXPECT_EQ(Utf8ToUtf16(U8), U16);
  EXPECT_EQ(Utf16ToUtf8(U16), U8);
  EXPECT_EQ(U16.size(), 7u);
  EXPECT_TRUE(IsValidUtf8(U8));
}

TEST(Utf, MalformedUtf8BecomesOneReplacementPerMaximalPart) {
  // A stray continuation byte.
  EXPECT_EQ(Utf8ToUtf16(Bytes({'a', 0x80, 'b'})), (std::u16string{u'a', FFFD, u'b'}));
  // A sequence cut short, mid-text and at the end: one replacement, next char kept.
  EXPECT_EQ(Utf8ToUtf16(Bytes({0xE4, 0xB8, 'x'})), (std::u16string{FFFD, u'x'}));
  EXPECT_EQ(Utf8ToUtf16(Bytes({'x', 0xF0, 0x9F, 0x98})), (std::u16string{u'x', FFFD}));
  // Overlong '/' and overlong 3-byte form.
  EXPECT_EQ(Utf8ToUtf16(Bytes({0xC0, 0xAF})), (std::u16string{FFFD, FFFD}));
  EXPECT_EQ(Utf8ToUtf16(Bytes({0xE0, 0x80, 0xAF})), (std::u16string{FFFD, FFFD, FFFD}));
  // An encoded surrogate and a value above U+10FFFF.
  EXPECT_EQ(Utf8ToUtf16(Bytes({0xED, 0xA0, 0x80})), (std::u16string{FFFD, FFFD, FFFD}));
  EXPECT_EQ(Utf8ToUtf16(Bytes({0xF4, 0x90, 0x80, 0x80})), (std::u16string(4, FFFD)));
  EXPECT_EQ(Utf8ToUtf16(Bytes({0xFF, 0xFE})), (std::u16string(2, FFFD)));
  EXPECT_FALSE(IsValidUtf8(Bytes({0xC0, 0xAF})));
  // The highest code point is still fine.
  EXPECT_EQ(Utf8ToUtf16(Bytes({0xF4, 0x8F, 0xBF, 0xBF})), u"\U0010FFFF");
}

TEST(Utf, LoneSurrogatesBecomeReplacement) {
  const std::string R = "\xEF\xBF\xBD";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t(0xD800)}), "a" + R);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xDC00), u'b'}), R + "b");
  // High followed by high: both lone.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{char16_t(0xD83D), char16_t(0xD83D)}), R + R);
}

TEST(Cp936, KnownCodes) {
  EXPECT_EQ(Cp936ToUtf16(Bytes({0xD6, 0xD0, 0xCE, 0xC4})), u"\u4E2D\u6587"); // zhong wen
  EXPECT_EQ(Cp936ToUtf16(Bytes({0xB0, 0xA1})), u"\u554A");                   // first of level 1
  EXPECT_EQ(Cp936ToUtf16(Bytes({0x81, 0x40})), u"\u4E02");                   // first extension code
  EXPECT_EQ(Cp936ToUtf16(Bytes({0xA1, 0xA4})), u"\u00B7");
  EXPECT_EQ(Cp936ToUtf16(Bytes({0xA3, 0xA1})), u"\uFF01");                   // full-width '!'
  EXPECT_EQ(Cp936ToUtf16(Bytes({0xD0, 0xB6, 0xD4, 0xD8})), u"\u5378\u8F7D"); // xie zai
  EXPECT_EQ(Cp936ToUtf16(Bytes({0x80})), u"\u20AC");
  EXPECT_EQ(Cp936ToUtf16("plain ascii"), u"plain ascii");
}

TEST(Cp936, BadBytesDoNotSwallowTheirNeighbours) {
  // A lead byte followed by an ASCII byte that cannot be a trail: the ASCII survives.
  EXPECT_EQ(Cp936ToUtf16(Bytes({0xB0, '\n', 'x'})), (std::u16string{FFFD, u'\n', u'x'}));
  EXPECT_EQ(Cp936ToUtf16(Bytes({'a', 0xB0})), (std::u16string{u'a', FFFD}));
  EXPECT_EQ(Cp936ToUtf16(Bytes({0xFF, 'a'})), (std::u16string{FFFD, u'a'}));
  EXPECT_EQ(Cp936ToUtf16(Bytes({0x81, 0x7F})), (std::u16string{FFFD, char16_t(0x7F)}));
}

TEST(Cp936, WholeTableIsConsistent) {
  int Mapped = 0;
  for (int Lead = 0x81; Lead <= 0xFE; ++Lead)
    for (int Trail = 0x40; Trail <= 0xFE; ++Trail) {
      if (Trail == 0x7F) continue;
      const std::string Code = Bytes({Lead, Trail});
      const std::u16string U = Cp936ToUtf16(Code);
      ASSERT_EQ(U.size(), 1u) << Lead << "," << Trail;
      if (U[0] == FFFD) continue;
      ++Mapped;
      EXPECT_GE(U[0], 0x80) << Lead << "," << Trail;
      // Encoding gives back a code that decodes to the same character.
      EXPECT_EQ(Cp936ToUtf16(Utf16ToCp936(U)), U) << Lead << "," << Trail;
    }
  // GBK has 21886 characters; the table must not be truncated.
  EXPECT_GT(Mapped, 21000);
}

TEST(Cp936, EncodeUnmappableAsQuestionMark) {
  EXPECT_EQ(Utf16ToCp936(u"a\u4E2Db"), Bytes({'a', 0xD6, 0xD0, 'b'}));
  EXPECT_EQ(Utf16ToCp936(u"\u20AC"), Bytes({0x80}));
  EXPECT_EQ(Utf16ToCp936(u"x\U0001F600y"), "x?y"); // one '?' for the pair
  EXPECT_EQ(Utf16ToCp936(u"\u0E01"), "?");         // Thai is not in the code page
}

TEST(Cp936, DecoderHookReplacesTable) {
  SetAnsiDecoder(&Latin1ToUtf16);
  EXPECT_EQ(AnsiToUtf16(Bytes({0xD6, 0xD0})), u"\u00D6\u00D0");
  EXPECT_EQ(DecodeTextEx(Bytes({0xD6, 0xD0}).data(), 2).Text, u"\u00D6\u00D0");
  SetAnsiDecoder(nullptr);
  EXPECT_EQ(AnsiToUtf16(Bytes({0xD6, 0xD0})), u"\u4E2D");
}

TEST(DecodeText, ChoosesEncodingByBomThenValidity) {
  struct Case {
    std::string In;
    std::u16string Out;
    TTextEncoding Enc;
    bool Bom;
  };
  const Case Cases[] = {
      {"", u"", TTextEncoding::teUtf8, false},
      {"abc", u"abc", TTextEncoding::teUtf8, false},
      {"\xEF\xBB\xBF" "a\xE4\xB8\xAD", u"a\u4E2D", TTextEncoding::teUtf8, true},
      {"\xE4\xB8\xAD", u"\u4E2D", TTextEncoding::teUtf8, false},
      {Bytes({0xFF, 0xFE, 'a', 0, 0x2D, 0x4E}), u"a\u4E2D", TTextEncoding::teUtf16LE, true},
      {Bytes({0xFE, 0xFF, 0, 'a', 0x4E, 0x2D}), u"a\u4E2D", TTextEncoding::teUtf16BE, true},
      // A stray last byte of a UTF-16 text is reported, not dropped.
      {Bytes({0xFF, 0xFE, 'a', 0, 'b'}), std::u16string{u'a', FFFD}, TTextEncoding::teUtf16LE, true},
      {Bytes({0xFF, 0xFE}), u"", TTextEncoding::teUtf16LE, true},
      // Not valid UTF-8: the 8-bit code page.
      {Bytes({'V', '=', 0xD6, 0xD0, 0xCE, 0xC4}), u"V=\u4E2D\u6587", TTextEncoding::teAnsi, false},
  };
  for (const Case& C : Cases) {
    const TDecodedText D = DecodeTextEx(C.In.data(), C.In.size());
    EXPECT_EQ(D.Text, C.Out) << C.In;
    EXPECT_EQ(D.Encoding, C.Enc) << C.In;
    EXPECT_EQ(D.HadBom, C.Bom) << C.In;
  }
  EXPECT_EQ(DecodeText(nullptr, 0), u"");
}

TEST(DecodeText, EncodeTextRoundTrips) {
  const std::u16string T = u"[MAIN]\r\nDetail=\u4FEE\u590D&\u65B0\u589E\r\n";
  for (TTextEncoding E : {TTextEncoding::teUtf8, TTextEncoding::teUtf16LE, TTextEncoding::teUtf16BE,
                          TTextEncoding::teAnsi})
    for (bool Bom : {false, true}) {
      if (Bom && E == TTextEncoding::teAnsi) continue;
      if (!Bom && (E == TTextEncoding::teUtf16LE || E == TTextEncoding::teUtf16BE)) continue;
      const std::string B = EncodeText(T, E, Bom);
      const TDecodedText D = DecodeTextEx(B.data(), B.size());
      EXPECT_EQ(D.Text, T) << int(E);
      EXPECT_EQ(D.Encoding, E) << int(E);
    }
}

TEST(Case, FoldsAsciiOnly) {
  EXPECT_TRUE(SameText(u"Main", u"MAIN"));
  EXPECT_FALSE(SameText(u"Main", u"MAINS"));
  EXPECT_FALSE(SameText(u"\u00E4", u"\u00C4")); // no locale folding
  EXPECT_TRUE(SameText(std::string_view("detail"), std::string_view("DETAIL")));
  EXPECT_EQ(UpperCase(u"ver\u4E2Dz"), u"VER\u4E2DZ");
  EXPECT_EQ(LowerCase(u"[MAIN]@Z"), u"[main]@z");
  EXPECT_EQ(UpperCase(std::string_view("a.asz")), "A.ASZ");
  // '_' lies between the upper and lower letters; folding to upper puts it after them.
  EXPECT_GT(CompareText(u"a_", u"AB"), 0);
  EXPECT_EQ(CompareText(u"abc", u"ABC"), 0);
  EXPECT_LT(CompareText(u"ab", u"ABC"), 0);
  EXPECT_TRUE(EndsText(u".ASZ", u"MetroUI.asz"));
  EXPECT_FALSE(EndsText(u".asz", u"sz"));
  EXPECT_TRUE(StartsText(u"/ACPRE", u"/acpreview"));
}

TEST(Case, CompareStrIsByCodeUnit) {
  EXPECT_LT(CompareStr(u"1.0", u"1.1"), 0);
  EXPECT_LT(CompareStr(u"1.0", u"1.0.1"), 0); // prefix first
  EXPECT_GT(CompareStr(u"9.0", u"10.0"), 0);
  EXPECT_GT(CompareStr(u"x1.0", u"1.0"), 0);
  EXPECT_GT(CompareStr(u"a", u"B"), 0);       // case-sensitive
  EXPECT_EQ(CompareStr(u"", u""), 0);
  // Above the surrogates sorts after a supplementary character by 16-bit unit.
  EXPECT_GT(CompareStr(u"\uFF01", u"\U0001F600"), 0);
}

TEST(Trim, RemovesBlanksAndControlCharacters) {
  EXPECT_EQ(Trim(u" \t\r\n\x01 a b \x1F "), u"a b");
  EXPECT_EQ(Trim(std::u16string(3, u'\0') + u"x"), u"x");
  EXPECT_EQ(TrimLeft(u"  a "), u"a ");
  EXPECT_EQ(TrimRight(u"  a "), u"  a");
  EXPECT_EQ(Trim(u"    "), u"");
  EXPECT_EQ(Trim(u"\u3000x"), u"\u3000x"); // ideographic space is not a control character
  EXPECT_EQ(Trim(std::string_view(" x\t")), "x");
}

TEST(Numbers, IntToStrAndParsing) {
  EXPECT_EQ(IntToStr(0), u"0");
  EXPECT_EQ(IntToStr(-42), u"-42");
  EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808");
  EXPECT_EQ(IntToHex(0xFF00FF, 8), u"00FF00FF");
  EXPECT_EQ(IntToHex(0x1FFFFFFF, 2), u"1FFFFFFF");

  struct Case {
    std::u16string In;
    bool Ok;
    std::int32_t V;
  };
  const Case Cases[] = {
      {u"12", true, 12},        {u" -5 ", true, -5},          {u"+7", true, 7},
      {u"$FF", true, 255},      {u"0x1f", true, 31},          {u"0X1F", true, 31},
      {u"$FFFFFFFF", true, -1}, {u"-263173", true, -263173},  {u"2147483647", true, 2147483647},
      {u"-2147483648", true, std::numeric_limits<std::int32_t>::min()},
      {u"2147483648", false, 0}, {u"99999999999999999999999", false, 0},
      {u"", false, 0},          {u"  ", false, 0},            {u"-", false, 0},
      {u"12a", false, 0},       {u"0x", false, 0},            {u"$", false, 0},
      {u"1 2", false, 0},       {u"$1FFFFFFFF", false, 0},    {u"\uFF11", false, 0},
  };
  for (const Case& C : Cases) {
    std::int32_t V = 12345;
    EXPECT_EQ(TryStrToInt(C.In, V), C.Ok) << Utf16ToUtf8(C.In);
    if (C.Ok) {
      EXPECT_EQ(V, C.V) << Utf16ToUtf8(C.In);
    }
    EXPECT_EQ(StrToIntDef(C.In, -99), C.Ok ? C.V : -99) << Utf16ToUtf8(C.In);
  }
  EXPECT_THROW(StrToInt(u"abc"), EConvertError);
  std::int64_t V64;
  EXPECT_TRUE(TryStrToInt64(u"-9223372036854775808", V64));
  EXPECT_EQ(V64, std::numeric_limits<std::int64_t>::min());
  EXPECT_FALSE(TryStrToInt64(u"9223372036854775808", V64));
}

// The options file is read as 8-bit text, forms and descriptors as 16-bit:
// a number must mean the same in both, blanks aside.
TEST(Numbers, NarrowAndWideTextReadTheSameIntegers) {
  const char* const Texts[] = {"0",          "-0",         "+12",        "$7fffffff",           "$80000000",
                               "-$80000000", "-$FFFFFFFF", "0x00000001", "$000000001",          "$100000000",
                               "-2147483649", "4294967295", "12 ",       "9223372036854775807", "-9223372036854775808",
                               "$FFFFFFFFFFFFFFFF",          "$1FFFFFFFFFFFFFFFF", "0x-1", "--1", "1e3"};
  for (const char* T : Texts) {
    const std::u16string W = Utf8ToUtf16(T);
    std::int32_t N32 = 7, W32 = 7;
    std::int64_t N64 = 7, W64 = 7;
    const bool Narrow32 = TryStrToInt(std::string_view(T), N32), Wide32 = TryStrToInt(W, W32);
    const bool Narrow64 = TryStrToInt64(std::string_view(T), N64), Wide64 = TryStrToInt64(W, W64);
    if (std::string_view(T).back() != ' ') {
      EXPECT_EQ(Narrow32, Wide32) << T;
      EXPECT_EQ(Narrow64, Wide64) << T;
    }
    if (Narrow32 && Wide32) {
      EXPECT_EQ(N32, W32) << T;
    }
    if (Narrow64 && Wide64) {
      EXPECT_EQ(N64, W64) << T;
    }
  }
  std::int32_t V = 0;
  EXPECT_TRUE(TryStrToInt(std::string_view("-$FFFFFFFF"), V));
  EXPECT_EQ(V, 1);  // hexadecimal wraps, then the sign applies
  EXPECT_TRUE(TryStrToInt(u" 12 ", V));
  EXPECT_FALSE(TryStrToInt(std::string_view("12 "), V));  // options values carry no trailing blanks
  std::int64_t V64 = 0;
  EXPECT_TRUE(TryStrToInt64(std::string_view("$FFFFFFFFFFFFFFFF"), V64));
  EXPECT_EQ(V64, -1);
  EXPECT_FALSE(TryStrToInt(u"$100000000", V));
}

TEST(Format, ReplacesPlaceholdersInOrder) {
  EXPECT_EQ(Format(u"%s \u5378\u8F7D\u5B8C\u6210\uFF01", {u"\u8BA1\u7B97\u5668"}),
            u"\u8BA1\u7B97\u5668 \u5378\u8F7D\u5B8C\u6210\uFF01");
  EXPECT_EQ(Format(u"%s-%s=%s", {u"a", u"", u"%s"}), u"a-=%s"); // arguments are not re-read
  EXPECT_EQ(Format(u"100%%", {}), u"100%");
  EXPECT_EQ(Format(u"", {u"unused"}), u"");
  EXPECT_THROW(Format(u"%s %s", {u"one"}), EConvertError);
  EXPECT_THROW(Format(u"%d", {u"1"}), EConvertError);
  EXPECT_THROW(Format(u"50%", {}), EConvertError);
}

TEST(Errors, MessagesKeepTheirText) {
  try {
    throw EReadError(std::u16string(u"\u8BFB\u53D6\u5931\u8D25 stream"));
  } catch (const EStreamError& E) {
    EXPECT_EQ(E.Message(), u"\u8BFB\u53D6\u5931\u8D25 stream");
    EXPECT_STREQ(E.what(), "\xE8\xAF\xBB\xE5\x8F\x96\xE5\xA4\xB1\xE8\xB4\xA5 stream");
  }
  // Every error of the layer is caught by the base type.
  EXPECT_THROW(throw EConvertError("x"), EClearbayError);
  EXPECT_THROW(throw EIniFileError("x"), std::runtime_error);
}

} // namespace
