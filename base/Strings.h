#pragma once
// Text helpers. Text the platform handles as 16-bit strings is std::u16string;
// 8-bit skin data stays std::string. Nothing here throws on malformed input except
// the explicit number parsers (StrToInt) and Format on a bad format string.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

constexpr char16_t ReplacementChar = 0xFFFD;

// UTF-8 <-> UTF-16. Malformed sequences, overlong forms, encoded surrogates and lone
// surrogates each become one U+FFFD; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view S);
std::string Utf16ToUtf8(std::u16string_view S);
bool IsValidUtf8(std::string_view S);

// The 8-bit code page of the program's users: 936 (simplified Chinese, GBK). A
// complete table is built in; the Windows side may install its own decoder instead.
std::u16string AnsiToUtf16(std::string_view S);
// Characters the code page cannot hold become '?'.
std::string Utf16ToAnsi(std::u16string_view S);
std::u16string Latin1ToUtf16(std::string_view S);
// The built-in code page 936 tables themselves, whatever decoder is installed.
std::u16string Cp936ToUtf16(std::string_view S);
std::string Utf16ToCp936(std::u16string_view S);

using TAnsiDecoder = std::u16string (*)(std::string_view);
// Replaces the built-in code page 936 decoding used by AnsiToUtf16 and DecodeText;
// nullptr restores it. Set once at start-up, before other threads decode text.
void SetAnsiDecoder(TAnsiDecoder Decoder);

enum class TTextEncoding { teUtf8, teUtf16LE, teUtf16BE, teAnsi };

struct TDecodedText {
  std::u16string Text;
  TTextEncoding Encoding = TTextEncoding::teUtf8;
  bool HadBom = false;
};

// Bytes of a text file: a BOM decides (UTF-8, UTF-16 LE, UTF-16 BE); without one,
// text that is valid UTF-8 is UTF-8 and anything else is the 8-bit code page.
TDecodedText DecodeTextEx(const void* Data, std::size_t Size);
std::u16string DecodeText(const void* Data, std::size_t Size);
inline std::u16string DecodeText(std::string_view Bytes) { return DecodeText(Bytes.data(), Bytes.size()); }
// Bytes for a text file in the given encoding (BOM included when asked for).
std::string EncodeText(std::u16string_view Text, TTextEncoding Encoding, bool WithBom);

// Case handling folds ASCII letters only, so results never depend on a locale.
char16_t UpCaseChar(char16_t C);
char16_t LoCaseChar(char16_t C);
std::u16string UpperCase(std::u16string_view S);
std::u16string LowerCase(std::u16string_view S);
std::string UpperCase(std::string_view S);
std::string LowerCase(std::string_view S);
bool SameText(std::u16string_view A, std::u16string_view B);
bool SameText(std::string_view A, std::string_view B);
// <0, 0, >0 like strcmp; CompareText ignores ASCII case, CompareStr compares
// 16-bit code units (a prefix sorts first).
int CompareText(std::u16string_view A, std::u16string_view B);
int CompareStr(std::u16string_view A, std::u16string_view B);
bool StartsText(std::u16string_view SubText, std::u16string_view Text);
bool EndsText(std::u16string_view SubText, std::u16string_view Text);

// Remove characters 0..32 (blanks and control characters) at either end.
std::u16string Trim(std::u16string_view S);
std::u16string TrimLeft(std::u16string_view S);
std::u16string TrimRight(std::u16string_view S);
std::string Trim(std::string_view S);

std::u16string IntToStr(std::int64_t Value);
std::u16string IntToHex(std::uint64_t Value, int Digits);
// Decimal with optional sign, or hexadecimal after "$", "0x" or "0X"; blanks around
// the number are allowed. Out of range or malformed: EConvertError / false / Default.
bool TryStrToInt(std::u16string_view S, std::int32_t& Value);
bool TryStrToInt64(std::u16string_view S, std::int64_t& Value);
// The 8-bit reading of skin values: leading spaces only, nothing after the digits, and
// hexadecimal of at most the width's digits, which wraps into the sign ($FFFFFFFF is -1).
bool TryStrToInt(std::string_view S, std::int32_t& Value);
bool TryStrToInt64(std::string_view S, std::int64_t& Value);
std::int32_t StrToInt(std::u16string_view S);
std::int32_t StrToIntDef(std::u16string_view S, std::int32_t Default);

// Replaces each "%s" by the next argument; "%%" gives "%". Fewer arguments than
// placeholders, or any other directive, raises EConvertError.
std::u16string Format(std::u16string_view Fmt, std::initializer_list<std::u16string_view> Args);

// Literal helper for tests and messages: u8 text to u16string.
inline std::u16string U16(std::string_view Utf8) { return Utf8ToUtf16(Utf8); }
