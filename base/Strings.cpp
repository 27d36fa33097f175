#include "Strings.h"

#include <algorithm>
#include <limits>

#include "Errors.h"

namespace {

void AppendUtf8(std::string& R, char32_t C) {
  if (C < 0x80) {
    R.push_back(static_cast<char>(C));
  } else if (C < 0x800) {
    R.push_back(static_cast<char>(0xC0 | (C >> 6)));
    R.push_back(static_cast<char>(0x80 | (C & 0x3F)));
  } else if (C < 0x10000) {
    R.push_back(static_cast<char>(0xE0 | (C >> 12)));
    R.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
    R.push_back(static_cast<char>(0x80 | (C & 0x3F)));
  } else {
    R.push_back(static_cast<char>(0xF0 | (C >> 18)));
    R.push_back(static_cast<char>(0x80 | ((C >> 12) & 0x3F)));
    R.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
    R.push_back(static_cast<char>(0x80 | (C & 0x3F)));
  }
}

void AppendUtf16(std::u16string& R, char32_t C) {
  if (C < 0x10000) {
    R.push_back(static_cast<char16_t>(C));
  } else {
    C -= 0x10000;
    R.push_back(static_cast<char16_t>(0xD800 | (C >> 10)));
    R.push_back(static_cast<char16_t>(0xDC00 | (C & 0x3FF)));
  }
}

// Decodes one UTF-8 sequence at S[I]. On success returns true with the code point and
// its length; on failure Len is the maximal ill-formed prefix (at least 1), which
// becomes a single U+FFFD.
bool NextUtf8(std::string_view S, std::size_t I, char32_t& C, std::size_t& Len) {
  const unsigned char B0 = static_cast<unsigned char>(S[I]);
  Len = 1;
  if (B0 < 0x80) {
    C = B0;
    return true;
  }
  int Need;
  unsigned char Lo = 0x80, Hi = 0xBF; // allowed range of the second byte
  if (B0 >= 0xC2 && B0 <= 0xDF) {
    Need = 1; C = B0 & 0x1F;
  } else if (B0 >= 0xE0 && B0 <= 0xEF) {
    Need = 2; C = B0 & 0x0F;
    if (B0 == 0xE0) Lo = 0xA0;      // overlong
    else if (B0 == 0xED) Hi = 0x9F; // surrogates
  } else if (B0 >= 0xF0 && B0 <= 0xF4) {
    Need = 3; C = B0 & 0x07;
    if (B0 == 0xF0) Lo = 0x90;      // overlong
    else if (B0 == 0xF4) Hi = 0x8F; // above U+10FFFF
  } else {
    return false;
  }
  for (int K = 1; K <= Need; ++K) {
    if (I + K >= S.size()) return false;
    const unsigned char B = static_cast<unsigned char>(S[I + K]);
    if (K == 1 ? (B < Lo || B > Hi) : (B < 0x80 || B > 0xBF)) return false;
    C = (C << 6) | (B & 0x3F);
    Len = K + 1;
  }
  return true;
}

bool IsBlank(char16_t C) { return C <= 32; }

} // namespace

std::u16string Utf8ToUtf16(std::string_view S) {
  std::u16string R;
  R.reserve(S.size());
  for (std::size_t I = 0; I < S.size();) {
    char32_t C;
    std::size_t Len;
    if (NextUtf8(S, I, C, Len)) AppendUtf16(R, C);
    else R.push_back(ReplacementChar);
    I += Len;
  }
  return R;
}

bool IsValidUtf8(std::string_view S) {
  for (std::size_t I = 0; I < S.size();) {
    char32_t C;
    std::size_t Len;
    if (!NextUtf8(S, I, C, Len)) return false;
    I += Len;
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view S) {
  std::string R;
  R.reserve(S.size() + S.size() / 2);
  for (std::size_t I = 0; I < S.size(); ++I) {
    char32_t C = S[I];
    if (C >= 0xD800 && C <= 0xDBFF && I + 1 < S.size() && S[I + 1] >= 0xDC00 && S[I + 1] <= 0xDFFF) {
      C = 0x10000 + ((C - 0xD800) << 10) + (S[I + 1] - 0xDC00);
      ++I;
    } else if (C >= 0xD800 && C <= 0xDFFF) {
      C = ReplacementChar;
    }
    AppendUtf8(R, C);
  }
  return R;
}

std::u16string Latin1ToUtf16(std::string_view S) {
  std::u16string R(S.size(), u'\0');
  for (std::size_t I = 0; I < S.size(); ++I) R[I] = static_cast<unsigned char>(S[I]);
  return R;
}

TDecodedText DecodeTextEx(const void* Data, std::size_t Size) {
  TDecodedText R;
  const auto* P = static_cast<const unsigned char*>(Data);
  if (Size == 0 || P == nullptr) return R;
  if (Size >= 3 && P[0] == 0xEF && P[1] == 0xBB && P[2] == 0xBF) {
    R.HadBom = true;
    R.Text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(P) + 3, Size - 3));
    return R;
  }
  if (Size >= 2 && ((P[0] == 0xFF && P[1] == 0xFE) || (P[0] == 0xFE && P[1] == 0xFF))) {
    const bool LE = P[0] == 0xFF;
    R.Encoding = LE ? TTextEncoding::teUtf16LE : TTextEncoding::teUtf16BE;
    R.HadBom = true;
    const std::size_t N = (Size - 2) / 2;
    R.Text.resize(N);
    for (std::size_t I = 0; I < N; ++I) {
      const unsigned char A = P[2 + 2 * I], B = P[3 + 2 * I];
      R.Text[I] = LE ? char16_t(A | (B << 8)) : char16_t((A << 8) | B);
    }
    if ((Size - 2) % 2) R.Text.push_back(ReplacementChar); // a stray last byte
    return R;
  }
  const std::string_view S(reinterpret_cast<const char*>(P), Size);
  if (IsValidUtf8(S)) {
    R.Text = Utf8ToUtf16(S);
  } else {
    R.Encoding = TTextEncoding::teAnsi;
    R.Text = AnsiToUtf16(S);
  }
  return R;
}

std::u16string DecodeText(const void* Data, std::size_t Size) { return DecodeTextEx(Data, Size).Text; }

std::string EncodeText(std::u16string_view Text, TTextEncoding Encoding, bool WithBom) {
  std::string R;
  switch (Encoding) {
  case TTextEncoding::teUtf8:
    if (WithBom) R = "\xEF\xBB\xBF";
    R += Utf16ToUtf8(Text);
    break;
  case TTextEncoding::teUtf16LE:
  case TTextEncoding::teUtf16BE: {
    const bool LE = Encoding == TTextEncoding::teUtf16LE;
    R.reserve(Text.size() * 2 + 2);
    auto Put = [&](char16_t C) {
      const char Lo = static_cast<char>(C & 0xFF), Hi = static_cast<char>(C >> 8);
      if (LE) { R.push_back(Lo); R.push_back(Hi); }
      else { R.push_back(Hi); R.push_back(Lo); }
    };
    if (WithBom) Put(0xFEFF);
    for (char16_t C : Text) Put(C);
    break;
  }
  case TTextEncoding::teAnsi:
    R = Utf16ToAnsi(Text);
    break;
  }
  return R;
}

char16_t UpCaseChar(char16_t C) { return (C >= u'a' && C <= u'z') ? char16_t(C - 32) : C; }
char16_t LoCaseChar(char16_t C) { return (C >= u'A' && C <= u'Z') ? char16_t(C + 32) : C; }

std::u16string UpperCase(std::u16string_view S) {
  std::u16string R(S);
  for (auto& C : R) C = UpCaseChar(C);
  return R;
}

std::u16string LowerCase(std::u16string_view S) {
  std::u16string R(S);
  for (auto& C : R) C = LoCaseChar(C);
  return R;
}

std::string UpperCase(std::string_view S) {
  std::string R(S);
  for (auto& C : R)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 32);
  return R;
}

std::string LowerCase(std::string_view S) {
  std::string R(S);
  for (auto& C : R)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C + 32);
  return R;
}

int CompareText(std::u16string_view A, std::u16string_view B) {
  const std::size_t N = std::min(A.size(), B.size());
  for (std::size_t I = 0; I < N; ++I) {
    const char16_t X = UpCaseChar(A[I]), Y = UpCaseChar(B[I]);
    if (X != Y) return X < Y ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

int CompareStr(std::u16string_view A, std::u16string_view B) {
  const int C = A.compare(B);
  return C < 0 ? -1 : (C > 0 ? 1 : 0);
}

bool SameText(std::u16string_view A, std::u16string_view B) {
  return A.size() == B.size() && CompareText(A, B) == 0;
}

bool SameText(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t I = 0; I < A.size(); ++I) {
    char X = A[I], Y = B[I];
    if (X >= 'a' && X <= 'z') X = static_cast<char>(X - 32);
    if (Y >= 'a' && Y <= 'z') Y = static_cast<char>(Y - 32);
    if (X != Y) return false;
  }
  return true;
}

bool StartsText(std::u16string_view SubText, std::u16string_view Text) {
  return Text.size() >= SubText.size() && SameText(Text.substr(0, SubText.size()), SubText);
}

bool EndsText(std::u16string_view SubText, std::u16string_view Text) {
  return Text.size() >= SubText.size() && SameText(Text.substr(Text.size() - SubText.size()), SubText);
}

std::u16string Trim(std::u16string_view S) { return TrimLeft(TrimRight(S)); }

std::u16string TrimLeft(std::u16string_view S) {
  std::size_t I = 0;
  while (I < S.size() && IsBlank(S[I])) ++I;
  return std::u16string(S.substr(I));
}

std::u16string TrimRight(std::u16string_view S) {
  std::size_t N = S.size();
  while (N > 0 && IsBlank(S[N - 1])) --N;
  return std::u16string(S.substr(0, N));
}

std::string Trim(std::string_view S) {
  std::size_t B = 0, E = S.size();
  while (B < E && static_cast<unsigned char>(S[B]) <= 32) ++B;
  while (E > B && static_cast<unsigned char>(S[E - 1]) <= 32) --E;
  return std::string(S.substr(B, E - B));
}

std::u16string IntToStr(std::int64_t Value) {
  // Via unsigned, so the most negative value has a magnitude too.
  std::uint64_t M = Value < 0 ? 0 - static_cast<std::uint64_t>(Value) : static_cast<std::uint64_t>(Value);
  char16_t Buf[24];
  int P = 24;
  do {
    Buf[--P] = static_cast<char16_t>(u'0' + M % 10);
    M /= 10;
  } while (M);
  if (Value < 0) Buf[--P] = u'-';
  return std::u16string(Buf + P, Buf + 24);
}

std::u16string IntToHex(std::uint64_t Value, int Digits) {
  static const char16_t Hex[] = u"0123456789ABCDEF";
  std::u16string R;
  do {
    R.insert(R.begin(), Hex[Value & 15]);
    Value >>= 4;
  } while (Value);
  if (Digits > 64) Digits = 64;
  if (static_cast<int>(R.size()) < Digits) R.insert(0, Digits - R.size(), u'0');
  return R;
}

namespace {

// One integer grammar for both text widths: optional sign, then decimal, or
// hexadecimal after "$" or "0x". Hexadecimal may fill all Bits and wraps into
// the sign ($FFFFFFFF is -1 as a 32-bit value), as hex constants do; decimal is
// range-checked. The callers decide what blanks around the number they allow.
template <class Char>
bool ParseInteger(std::basic_string_view<Char> S, int Bits, std::int64_t& Out) {
  std::size_t I = 0;
  bool Neg = false;
  if (I < S.size() && (S[I] == Char('-') || S[I] == Char('+'))) Neg = S[I++] == Char('-');
  bool Hex = false;
  if (I < S.size() && S[I] == Char('$')) {
    Hex = true;
    ++I;
  } else if (I + 1 < S.size() && S[I] == Char('0') && (S[I + 1] == Char('x') || S[I + 1] == Char('X'))) {
    Hex = true;
    I += 2;
  }
  if (I >= S.size()) return false;
  const std::uint64_t Limit = (std::uint64_t(1) << (Bits - 1)) - (Neg ? 0 : 1);
  std::uint64_t M = 0;
  for (; I < S.size(); ++I) {
    const auto C = static_cast<std::uint32_t>(S[I]);
    unsigned D;
    if (C >= '0' && C <= '9') D = C - '0';
    else if (Hex && C >= 'a' && C <= 'f') D = C - 'a' + 10;
    else if (Hex && C >= 'A' && C <= 'F') D = C - 'A' + 10;
    else return false;
    if (Hex) {
      if (M >> (Bits - 4)) return false;  // more digits than the width holds
      M = M << 4 | D;
    } else {
      if (M > (Limit - D) / 10) return false;
      M = M * 10 + D;
    }
  }
  std::uint64_t V = Neg ? 0 - M : M;
  if (Bits == 32) V = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(V)));
  Out = static_cast<std::int64_t>(V);
  return true;
}

// Wide text (forms, descriptors) allows blanks on both sides.
std::u16string_view TrimBlanks(std::u16string_view S) {
  std::size_t B = 0, E = S.size();
  while (B < E && IsBlank(S[B])) ++B;
  while (E > B && IsBlank(S[E - 1])) --E;
  return S.substr(B, E - B);
}

// 8-bit text (options file values) allows leading spaces only.
std::string_view SkipSpaces(std::string_view S) {
  std::size_t B = 0;
  while (B < S.size() && S[B] == ' ') ++B;
  return S.substr(B);
}

template <class T, class Char>
bool ParseAs(std::basic_string_view<Char> S, T& Value) {
  std::int64_t V;
  if (!ParseInteger(S, int(sizeof(T) * 8), V)) return false;
  Value = static_cast<T>(V);
  return true;
}

} // namespace

bool TryStrToInt64(std::u16string_view S, std::int64_t& Value) { return ParseAs(TrimBlanks(S), Value); }
bool TryStrToInt(std::u16string_view S, std::int32_t& Value) { return ParseAs(TrimBlanks(S), Value); }
bool TryStrToInt(std::string_view S, std::int32_t& Value) { return ParseAs(SkipSpaces(S), Value); }
bool TryStrToInt64(std::string_view S, std::int64_t& Value) { return ParseAs(SkipSpaces(S), Value); }

std::int32_t StrToInt(std::u16string_view S) {
  std::int32_t V;
  if (!TryStrToInt(S, V))
    throw EConvertError("'" + Utf16ToUtf8(S) + "' is not a valid integer value");
  return V;
}

std::int32_t StrToIntDef(std::u16string_view S, std::int32_t Default) {
  std::int32_t V;
  return TryStrToInt(S, V) ? V : Default;
}

std::u16string Format(std::u16string_view Fmt, std::initializer_list<std::u16string_view> Args) {
  std::u16string R;
  R.reserve(Fmt.size());
  auto Arg = Args.begin();
  for (std::size_t I = 0; I < Fmt.size(); ++I) {
    if (Fmt[I] != u'%') {
      R.push_back(Fmt[I]);
      continue;
    }
    const char16_t D = I + 1 < Fmt.size() ? Fmt[I + 1] : 0;
    if (D == u'%') {
      R.push_back(u'%');
    } else if (D == u's' || D == u'S') {
      if (Arg == Args.end())
        throw EConvertError("Format '" + Utf16ToUtf8(Fmt) + "' has more placeholders than arguments");
      R += *Arg++;
    } else {
      throw EConvertError("Format '" + Utf16ToUtf8(Fmt) + "' invalid or incompatible with argument");
    }
    ++I;
  }
  return R;
}
