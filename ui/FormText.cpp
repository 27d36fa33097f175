#include "ui/FormText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/Strings.h"

namespace {

std::wstring Wide(std::string_view Utf8) {
  std::u16string U = Utf8ToUtf16(Utf8);
  return std::wstring(U.begin(), U.end());
}
std::string Narrow(std::wstring_view W) { return Utf16ToUtf8(std::u16string(W.begin(), W.end())); }

[[noreturn]] void Fail(int Line, const std::string& What) {
  throw EFormError("Form description, line " + std::to_string(Line) + ": " + What);
}

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Nesting deeper than this is refused so that hostile text cannot exhaust the stack.
constexpr int MaxDepth = 64;

class TParser {
public:
  explicit TParser(std::string_view Text) : S(Text) {
    if (S.size() >= 3 && std::memcmp(S.data(), "\xEF\xBB\xBF", 3) == 0) P = 3;
  }

  TFormObject ParseRoot() {
    Skip();
    TFormObject Root = ParseObject(0);
    Skip();
    if (P < S.size()) Fail(Line, "text after the end of the root object");
    return Root;
  }

private:
  std::string_view S;
  size_t P = 0;
  int Line = 1;

  void Skip() {
    while (P < S.size()) {
      char c = S[P];
      if (c == '\n') {
        ++Line;
        ++P;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++P;
      } else if (c == '#') {
        while (P < S.size() && S[P] != '\n') ++P;
      } else {
        break;
      }
    }
  }
  bool Peek(char c) {
    Skip();
    return P < S.size() && S[P] == c;
  }
  void Expect(char c) {
    Skip();
    if (P >= S.size() || S[P] != c) Fail(Line, std::string("'") + c + "' expected");
    ++P;
  }
  std::string Ident() {
    Skip();
    if (P >= S.size() || !IsIdentStart(S[P])) Fail(Line, "a name expected");
    size_t B = P;
    while (P < S.size() && IsIdentChar(S[P])) ++P;
    return std::string(S.substr(B, P - B));
  }

  TFormObject ParseObject(int Depth) {
    TFormObject O;
    O.Line = Line;
    O.Name = Wide(Ident());
    Expect(':');
    O.ClassName = Wide(Ident());
    Expect('{');
    ParseBody(O, Depth);
    return O;
  }

  void ParseBody(TFormObject& O, int Depth) {
    if (Depth > MaxDepth) Fail(Line, "objects nested too deeply");
    for (;;) {
      if (Peek('}')) {
        ++P;
        return;
      }
      if (P >= S.size()) Fail(Line, "'}' expected before the end of the text");
      int At = Line;
      std::string Name = Ident();
      Skip();
      if (P < S.size() && S[P] == ':') {
        ++P;
        TFormObject Child;
        Child.Line = At;
        Child.Name = Wide(Name);
        Child.ClassName = Wide(Ident());
        Expect('{');
        ParseBody(Child, Depth + 1);
        O.Children.push_back(std::move(Child));
      } else {
        O.Props.push_back(ParseProp(Name, At, Depth));
      }
    }
  }

  TFormProp ParseProp(std::string Name, int At, int Depth) {
    while (Peek('.')) {
      ++P;
      Name += '.';
      Name += Ident();
    }
    Expect('=');
    TFormProp Prop;
    Prop.Name = Wide(Name);
    Prop.Line = At;
    Prop.Value = ParseValue(Depth);
    return Prop;
  }

  TFormValue ParseValue(int Depth) {
    Skip();
    if (P >= S.size()) Fail(Line, "a value expected");
    TFormValue V;
    char c = S[P];
    if (c == '-' || (c >= '0' && c <= '9')) {
      if (IsReal()) {
        V.Kind = TFormValue::vkReal;
        V.Real = Real();
      } else {
        V.Kind = TFormValue::vkInteger;
        V.Int = Integer();
      }
    } else if (c == '"') {
      V.Kind = TFormValue::vkString;
      std::u16string Acc;
      while (Peek('"')) Acc += String();
      V.Str.assign(Acc.begin(), Acc.end());
    } else if (c == '[') {
      ++P;
      V.Kind = TFormValue::vkSet;
      if (!Peek(']')) {
        for (;;) {
          V.List.push_back(Wide(Ident()));
          if (Peek(',')) {
            ++P;
            continue;
          }
          break;
        }
      }
      Expect(']');
    } else if (c == '(') {
      ++P;
      V.Kind = TFormValue::vkLines;
      while (Peek('"')) {
        std::u16string L = String();
        V.List.emplace_back(L.begin(), L.end());
      }
      Expect(')');
    } else if (c == '<') {
      ++P;
      V.Kind = TFormValue::vkItems;
      if (Depth > MaxDepth) Fail(Line, "objects nested too deeply");
      while (Peek('{')) {
        ++P;
        std::vector<TFormProp> Item;
        while (!Peek('}')) {
          if (P >= S.size()) Fail(Line, "'}' expected before the end of the text");
          int At = Line;
          std::string Name = Ident();
          Item.push_back(ParseProp(Name, At, Depth + 1));
        }
        ++P;
        V.Items.push_back(std::move(Item));
      }
      Expect('>');
    } else if (IsIdentStart(c)) {
      std::string Id = Ident();
      if ((Id == "base64" || Id == "hex") && Peek('{')) {
        ++P;
        V.Kind = TFormValue::vkBinary;
        if (Id == "base64")
          Base64Block(V.Bytes);
        else
          HexBlock(V.Bytes);
      } else {
        V.Kind = TFormValue::vkIdent;
        V.Str = Wide(Id);
      }
    } else {
      Fail(Line, std::string("unexpected character '") + c + "'");
    }
    return V;
  }

  // Decimal digits followed by a fraction or an exponent: 14.01  -2.5e-3
  bool IsReal() const {
    size_t Q = P + (S[P] == '-' ? 1 : 0);
    if (Q + 1 < S.size() && S[Q] == '0' && (S[Q + 1] == 'x' || S[Q + 1] == 'X')) return false;
    while (Q < S.size() && S[Q] >= '0' && S[Q] <= '9') ++Q;
    return Q < S.size() && (S[Q] == '.' || S[Q] == 'e' || S[Q] == 'E');
  }

  double Real() {
    size_t B = P;
    if (S[P] == '-') ++P;
    auto Digits = [&] {
      size_t D = P;
      while (P < S.size() && S[P] >= '0' && S[P] <= '9') ++P;
      return P > D;
    };
    bool Any = Digits();
    if (P < S.size() && S[P] == '.') {
      ++P;
      Any = Digits() && Any;  // digits on both sides of the point
    }
    if (Any && P < S.size() && (S[P] == 'e' || S[P] == 'E')) {
      ++P;
      if (P < S.size() && (S[P] == '-' || S[P] == '+')) ++P;
      Any = Digits();
    }
    if (!Any || (P < S.size() && IsIdentChar(S[P]))) Fail(Line, "bad number");
    double V = 0;
    auto [End, Err] = std::from_chars(S.data() + B, S.data() + P, V);
    if (Err != std::errc() || End != S.data() + P || !std::isfinite(V)) Fail(Line, "number out of range");
    return V;
  }

  std::int64_t Integer() {
    bool Neg = false;
    if (S[P] == '-') {
      Neg = true;
      ++P;
    }
    if (P >= S.size() || S[P] < '0' || S[P] > '9') Fail(Line, "a number expected");
    std::uint64_t V = 0;
    bool Hex = S[P] == '0' && P + 1 < S.size() && (S[P + 1] == 'x' || S[P + 1] == 'X');
    if (Hex) {
      P += 2;
      size_t B = P;
      while (P < S.size() && HexDigit(S[P]) >= 0) {
        if (P - B >= 16) Fail(Line, "number out of range");
        V = V * 16 + static_cast<std::uint64_t>(HexDigit(S[P++]));
      }
      if (P == B) Fail(Line, "hexadecimal digits expected");
    } else {
      while (P < S.size() && S[P] >= '0' && S[P] <= '9') {
        std::uint64_t D = static_cast<std::uint64_t>(S[P++] - '0');
        if (V > (UINT64_MAX - D) / 10) Fail(Line, "number out of range");
        V = V * 10 + D;
      }
    }
    if (P < S.size() && IsIdentChar(S[P])) Fail(Line, "bad number");
    if (!Hex && V > static_cast<std::uint64_t>(INT64_MAX) + (Neg ? 1 : 0)) Fail(Line, "number out of range");
    return Neg ? static_cast<std::int64_t>(0 - V) : static_cast<std::int64_t>(V);
  }

  std::u16string String() {
    int Start = Line;
    ++P;  // opening quote
    std::string Raw;
    std::u16string Out;
    auto Flush = [&] {
      if (!Raw.empty()) {
        Out += Utf8ToUtf16(Raw);
        Raw.clear();
      }
    };
    for (;;) {
      if (P >= S.size()) Fail(Start, "string not closed");
      char c = S[P++];
      if (c == '"') break;
      if (c == '\n') Fail(Start, "line end inside a string");
      if (c != '\\') {
        Raw += c;
        continue;
      }
      if (P >= S.size()) Fail(Start, "string not closed");
      char e = S[P++];
      switch (e) {
        case '"': Raw += '"'; break;
        case '\\': Raw += '\\'; break;
        case 'n': Raw += '\n'; break;
        case 'r': Raw += '\r'; break;
        case 't': Raw += '\t'; break;
        case 'u': {
          if (P + 4 > S.size()) Fail(Line, "four hexadecimal digits expected after \\u");
          unsigned U = 0;
          for (int i = 0; i < 4; ++i) {
            int D = HexDigit(S[P++]);
            if (D < 0) Fail(Line, "four hexadecimal digits expected after \\u");
            U = U * 16 + static_cast<unsigned>(D);
          }
          Flush();
          Out += static_cast<char16_t>(U);
          break;
        }
        default: Fail(Line, std::string("unknown escape \\") + e);
      }
    }
    Flush();
    return Out;
  }

  void Base64Block(std::vector<std::uint8_t>& Out) {
    // Size the buffer once: a 60 KB block must not grow in small steps.
    size_t End = S.find('}', P);
    if (End == std::string_view::npos) Fail(Line, "'}' expected after the base64 block");
    Out.reserve((End - P) / 4 * 3 + 3);
    std::uint32_t Acc = 0;
    int Bits = 0;
    bool Pad = false;
    for (; P < End; ++P) {
      char c = S[P];
      if (c == '\n') {
        ++Line;
        continue;
      }
      if (c == ' ' || c == '\t' || c == '\r') continue;
      if (c == '=') {
        Pad = true;
        continue;
      }
      int D = Base64Digit(c);
      if (D < 0 || Pad) Fail(Line, "bad character in a base64 block");
      Acc = (Acc << 6) | static_cast<std::uint32_t>(D);
      Bits += 6;
      if (Bits >= 8) {
        Bits -= 8;
        Out.push_back(static_cast<std::uint8_t>(Acc >> Bits));
        Acc &= (1u << Bits) - 1;
      }
    }
    if (Bits >= 6) Fail(Line, "base64 block cut short");
    ++P;
  }

  void HexBlock(std::vector<std::uint8_t>& Out) {
    size_t End = S.find('}', P);
    if (End == std::string_view::npos) Fail(Line, "'}' expected after the hex block");
    Out.reserve((End - P) / 2);
    int Hi = -1;
    for (; P < End; ++P) {
      char c = S[P];
      if (c == '\n') {
        ++Line;
        continue;
      }
      if (c == ' ' || c == '\t' || c == '\r') continue;
      int D = HexDigit(c);
      if (D < 0) Fail(Line, "bad character in a hex block");
      if (Hi < 0) {
        Hi = D;
      } else {
        Out.push_back(static_cast<std::uint8_t>(Hi * 16 + D));
        Hi = -1;
      }
    }
    if (Hi >= 0) Fail(Line, "odd number of digits in a hex block");
    ++P;
  }
};

// ---------------------------------------------------------------------------

std::string Quote(const std::wstring& W) {
  std::string R = "\"";
  std::string U = Narrow(W);
  for (char c : U) {
    switch (c) {
      case '"': R += "\\\""; break;
      case '\\': R += "\\\\"; break;
      case '\n': R += "\\n"; break;
      case '\r': R += "\\r"; break;
      case '\t': R += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char Buf[8];
          std::snprintf(Buf, sizeof Buf, "\\u%04X", static_cast<unsigned>(static_cast<unsigned char>(c)));
          R += Buf;
        } else {
          R += c;
        }
    }
  }
  R += '"';
  return R;
}

// Lone surrogates cannot pass through UTF-8; they are written as escapes.
std::string QuoteExact(const std::wstring& W) {
  bool Lone = false;
  for (size_t i = 0; i < W.size(); ++i) {
    wchar_t c = W[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < W.size() && W[i + 1] >= 0xDC00 && W[i + 1] <= 0xDFFF) {
      ++i;
      continue;
    }
    if (c >= 0xD800 && c <= 0xDFFF) Lone = true;
  }
  if (!Lone) return Quote(W);
  std::string R = "\"";
  for (size_t i = 0; i < W.size(); ++i) {
    wchar_t c = W[i];
    bool Pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < W.size() && W[i + 1] >= 0xDC00 && W[i + 1] <= 0xDFFF;
    if (Pair) {
      std::string Part = Quote(W.substr(i, 2));
      R += Part.substr(1, Part.size() - 2);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      char Buf[8];
      std::snprintf(Buf, sizeof Buf, "\\u%04X", static_cast<unsigned>(c));
      R += Buf;
    } else {
      std::string Part = Quote(std::wstring(1, c));
      R += Part.substr(1, Part.size() - 2);
    }
  }
  return R + "\"";
}

// Shortest text that reads back to the same value; always with a point or
// an exponent, so that it reads back as a real.
std::string FormatReal(double V) {
  if (!std::isfinite(V)) throw EFormError("a real value must be finite");
  char Buf[64];
  auto [End, Err] = std::to_chars(Buf, Buf + sizeof Buf, V);
  if (Err != std::errc()) throw EFormError("a real value cannot be written");
  std::string R(Buf, End);
  if (R.find_first_of(".e") == std::string::npos) R += ".0";
  return R;
}

void Indent(std::string& Out, int Level) { Out.append(static_cast<size_t>(Level) * 2, ' '); }

void FormatProps(std::string& Out, const std::vector<TFormProp>& Props, int Level);

void FormatValue(std::string& Out, const TFormValue& V, int Level) {
  switch (V.Kind) {
    case TFormValue::vkInteger: Out += std::to_string(V.Int); break;
    case TFormValue::vkReal: Out += FormatReal(V.Real); break;
    case TFormValue::vkString: Out += QuoteExact(V.Str); break;
    case TFormValue::vkIdent: Out += Narrow(V.Str); break;
    case TFormValue::vkSet:
      Out += '[';
      for (size_t i = 0; i < V.List.size(); ++i) {
        if (i) Out += ", ";
        Out += Narrow(V.List[i]);
      }
      Out += ']';
      break;
    case TFormValue::vkLines:
      Out += "(";
      if (V.List.empty()) {
        Out += ")";
        break;
      }
      Out += '\n';
      for (const std::wstring& L : V.List) {
        Indent(Out, Level + 1);
        Out += QuoteExact(L);
        Out += '\n';
      }
      Indent(Out, Level);
      Out += ')';
      break;
    case TFormValue::vkBinary: {
      Out += "base64 {\n";
      std::string B = EncodeBase64(V.Bytes.data(), V.Bytes.size());
      for (size_t i = 0; i < B.size(); i += 76) {
        Indent(Out, Level + 1);
        Out.append(B, i, 76);
        Out += '\n';
      }
      Indent(Out, Level);
      Out += '}';
      break;
    }
    case TFormValue::vkItems:
      Out += "<\n";
      for (const auto& Item : V.Items) {
        Indent(Out, Level + 1);
        Out += "{\n";
        FormatProps(Out, Item, Level + 2);
        Indent(Out, Level + 1);
        Out += "}\n";
      }
      Indent(Out, Level);
      Out += '>';
      break;
  }
}

void FormatProps(std::string& Out, const std::vector<TFormProp>& Props, int Level) {
  for (const TFormProp& P : Props) {
    Indent(Out, Level);
    Out += Narrow(P.Name);
    Out += " = ";
    FormatValue(Out, P.Value, Level);
    Out += '\n';
  }
}

void FormatObject(std::string& Out, const TFormObject& O, int Level) {
  Indent(Out, Level);
  Out += Narrow(O.Name) + ": " + Narrow(O.ClassName) + " {\n";
  FormatProps(Out, O.Props, Level + 1);
  for (const TFormObject& C : O.Children) FormatObject(Out, C, Level + 1);
  Indent(Out, Level);
  Out += "}\n";
}

}  // namespace

TFormObject ParseFormText(std::string_view Text) { return TParser(Text).ParseRoot(); }

std::string FormatFormText(const TFormObject& Root) {
  std::string Out;
  FormatObject(Out, Root, 0);
  return Out;
}

std::string EncodeBase64(const std::uint8_t* Data, std::size_t Size) {
  static const char Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string R;
  R.reserve((Size + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= Size; i += 3) {
    std::uint32_t V = (std::uint32_t(Data[i]) << 16) | (std::uint32_t(Data[i + 1]) << 8) | Data[i + 2];
    R += Digits[V >> 18];
    R += Digits[(V >> 12) & 63];
    R += Digits[(V >> 6) & 63];
    R += Digits[V & 63];
  }
  if (Size - i == 1) {
    std::uint32_t V = std::uint32_t(Data[i]) << 16;
    R += Digits[V >> 18];
    R += Digits[(V >> 12) & 63];
    R += "==";
  } else if (Size - i == 2) {
    std::uint32_t V = (std::uint32_t(Data[i]) << 16) | (std::uint32_t(Data[i + 1]) << 8);
    R += Digits[V >> 18];
    R += Digits[(V >> 12) & 63];
    R += Digits[(V >> 6) & 63];
    R += '=';
  }
  return R;
}
