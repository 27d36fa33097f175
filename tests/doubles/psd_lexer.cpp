#include "psd_lexer.hpp"

#include <cstdint>

namespace cb::test::psd {

namespace {

// PowerShell also takes the typographic quotes and dashes; a path holding one
// breaks a quoted command exactly as an ASCII quote would.
size_t typographic(std::string_view s, size_t i, unsigned char lo, unsigned char hi) {
  if (i + 2 < s.size() + 0 && static_cast<unsigned char>(s[i]) == 0xE2 && static_cast<unsigned char>(s[i + 1]) == 0x80) {
    const unsigned char c = static_cast<unsigned char>(s[i + 2]);
    if (c >= lo && c <= hi) return 3;
  }
  return 0;
}
size_t singleQuoteAt(std::string_view s, size_t i) {
  if (i >= s.size()) return 0;
  return s[i] == '\'' ? 1 : typographic(s, i, 0x98, 0x9B);
}
size_t doubleQuoteAt(std::string_view s, size_t i) {
  if (i >= s.size()) return 0;
  return s[i] == '"' ? 1 : typographic(s, i, 0x9C, 0x9E);
}
size_t dashAt(std::string_view s, size_t i) {
  if (i >= s.size()) return 0;
  return s[i] == '-' ? 1 : typographic(s, i, 0x93, 0x95);
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isNameChar(char c) { return isAlpha(c) || (c >= '0' && c <= '9') || c == '_'; }
bool endsWord(char c) {
  return isSpace(c) || c == '\n' || c == '|' || c == ';' || c == '(' || c == ')' || c == '{' || c == '}' ||
         c == ',' || c == '&';
}

// i at the opening quote; returns the value and leaves i after the closing quote.
std::string readSingle(std::string_view s, size_t& i) {
  i += singleQuoteAt(s, i);
  std::string out;
  while (i < s.size()) {
    if (size_t q = singleQuoteAt(s, i)) {
      if (size_t q2 = singleQuoteAt(s, i + q)) {
        out.append(s.substr(i + q, q2));
        i += q + q2;
        continue;
      }
      i += q;
      return out;
    }
    out += s[i++];
  }
  throw ParseError("The string is missing the terminator: '.");
}

void skipParens(std::string_view s, size_t& i, std::string& out);

// i at the opening quote; returns the raw inside, leaves i after the closing quote.
std::string readDouble(std::string_view s, size_t& i) {
  i += doubleQuoteAt(s, i);
  std::string out;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '`' && i + 1 < s.size()) {
      out.append(s.substr(i, 2));
      i += 2;
    } else if (size_t q = doubleQuoteAt(s, i)) {
      if (size_t q2 = doubleQuoteAt(s, i + q)) {
        out += "\"\"";
        i += q + q2;
        continue;
      }
      i += q;
      return out;
    } else if (c == '$' && i + 1 < s.size() && s[i + 1] == '(') {
      out += '$';
      ++i;
      skipParens(s, i, out);
    } else {
      out += c;
      ++i;
    }
  }
  throw ParseError("The string is missing the terminator: \".");
}

// i at '('; copies through the matching ')' into out.
void skipParens(std::string_view s, size_t& i, std::string& out) {
  int depth = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (singleQuoteAt(s, i)) {
      const size_t from = i;
      readSingle(s, i);
      out.append(s.substr(from, i - from));
      continue;
    }
    if (doubleQuoteAt(s, i)) {
      const size_t from = i;
      readDouble(s, i);
      out.append(s.substr(from, i - from));
      continue;
    }
    out += c;
    ++i;
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return;
  }
  throw ParseError("Missing closing ')' in subexpression.");
}

std::string readBlock(std::string_view s, size_t& i) {
  const size_t start = ++i;
  int depth = 1;
  while (i < s.size()) {
    const char c = s[i];
    if (singleQuoteAt(s, i)) {
      readSingle(s, i);
    } else if (doubleQuoteAt(s, i)) {
      readDouble(s, i);
    } else if (c == '#') {
      while (i < s.size() && s[i] != '\n') ++i;
    } else if (c == '`') {
      i += 2;
    } else {
      ++i;
      if (c == '{') ++depth;
      if (c == '}' && --depth == 0) return std::string(s.substr(start, i - 1 - start));
    }
  }
  throw ParseError("Missing closing '}' in statement block or type definition.");
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  auto push = [&](TokenType t, std::string text = {}, bool colon = false) {
    out.push_back(Token{t, std::move(text), colon, {}});
  };
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const char c = s[i];
    if (isSpace(c)) {
      ++i;
    } else if (c == '`' && i + 1 < n && (s[i + 1] == '\n' || s[i + 1] == '\r')) {
      i += 2;
      if (i < n && s[i - 1] == '\r' && s[i] == '\n') ++i;
    } else if (c == '\n' || c == ';') {
      push(TokenType::EndOfStatement);
      ++i;
    } else if (c == '#') {
      while (i < n && s[i] != '\n') ++i;
    } else if (c == '<' && i + 1 < n && s[i + 1] == '#') {
      const size_t end = s.find("#>", i + 2);
      if (end == std::string_view::npos) throw ParseError("Missing the ending comment block token.");
      i = end + 2;
    } else if (c == '|') {
      if (i + 1 < n && s[i + 1] == '|') throw ParseError("The token '||' is not a valid statement separator in this version.");
      push(TokenType::Pipe);
      ++i;
    } else if (c == '&') {
      if (i + 1 < n && s[i + 1] == '&') throw ParseError("The token '&&' is not a valid statement separator in this version.");
      push(TokenType::Call);
      ++i;
    } else if (c == '{') {
      push(TokenType::ScriptBlock, readBlock(s, i));
    } else if (c == '}') {
      throw ParseError("Unexpected token '}' in expression or statement.");
    } else if (c == '(' || c == ')' || c == ',') {
      throw ParseError(std::string("The double does not support '") + c + "' here.");
    } else if (singleQuoteAt(s, i)) {
      push(TokenType::SingleQuoted, readSingle(s, i));
    } else if (doubleQuoteAt(s, i)) {
      push(TokenType::DoubleQuoted, readDouble(s, i));
    } else if (c == '$' && i + 1 < n && (isNameChar(s[i + 1]) || s[i + 1] == '{' || s[i + 1] == '(')) {
      if (s[i + 1] == '(') throw ParseError("The double does not support a subexpression outside a string.");
      std::string name;
      if (s[i + 1] == '{') {
        const size_t end = s.find('}', i + 2);
        if (end == std::string_view::npos) throw ParseError("Missing '}' after a variable name.");
        name = std::string(s.substr(i + 2, end - i - 2));
        i = end + 1;
      } else {
        i += 1;
        while (i < n && (isNameChar(s[i]) || (s[i] == ':' && i + 1 < n && isAlpha(s[i + 1])))) name += s[i++];
      }
      push(TokenType::Variable, name);
      // A member is access only when it touches the variable: "$_ .A" is two tokens.
      while (i + 1 < n && s[i] == '.' && (isAlpha(s[i + 1]) || s[i + 1] == '_')) {
        std::string member;
        for (++i; i < n && isNameChar(s[i]);) member += s[i++];
        out.back().members.push_back(std::move(member));
      }
    } else if (size_t d = dashAt(s, i); d && i + d < n && (isAlpha(s[i + d]) || s[i + d] == '_' || s[i + d] == '?')) {
      i += d;
      std::string name;
      while (i < n && !endsWord(s[i]) && s[i] != ':' && !singleQuoteAt(s, i) && !doubleQuoteAt(s, i)) name += s[i++];
      bool colon = false;
      if (i < n && s[i] == ':') {
        colon = true;
        ++i;
      }
      push(TokenType::Parameter, name, colon);
    } else {
      std::string word;
      while (i < n && !endsWord(s[i])) {
        if (s[i] == '`' && i + 1 < n) {
          word += s[i + 1];
          i += 2;
        } else if (singleQuoteAt(s, i)) {
          word += readSingle(s, i);
        } else if (doubleQuoteAt(s, i)) {
          word += readDouble(s, i);
        } else {
          word += s[i++];
        }
      }
      push(TokenType::Word, word);
    }
  }
  return out;
}

std::vector<Pipeline> parseStatements(std::string_view text) {
  const std::vector<Token> tokens = tokenize(text);
  std::vector<Pipeline> statements;
  Pipeline pipeline;
  CommandCall command;
  bool expectCommand = true;  // at the start of a statement or after a bar

  auto endCommand = [&](bool moreFollows) {
    if (command.elements.empty()) {
      if (command.callOperator) throw ParseError("Missing expression after '&' in pipeline element.");
      if (moreFollows || !pipeline.empty()) throw ParseError("An empty pipe element is not allowed.");
      return;
    }
    pipeline.push_back(std::move(command));
    command = CommandCall{};
  };

  for (size_t k = 0; k < tokens.size(); ++k) {
    const Token& t = tokens[k];
    switch (t.type) {
      case TokenType::EndOfStatement:
        endCommand(false);
        if (!pipeline.empty()) statements.push_back(std::move(pipeline));
        pipeline.clear();
        expectCommand = true;
        break;
      case TokenType::Pipe:
        endCommand(true);
        expectCommand = true;
        break;
      case TokenType::Call:
        if (!expectCommand || command.callOperator) {
          throw ParseError("The ampersand (&) character is not allowed. The & operator is reserved for future use; "
                           "wrap an ampersand in double quotation marks (\"&\") to pass it as part of a string.");
        }
        command.callOperator = true;
        break;
      default: {
        expectCommand = false;
        Element e;
        e.token = t;
        if (t.type == TokenType::Parameter && t.colon) {
          if (k + 1 >= tokens.size() || tokens[k + 1].type == TokenType::Pipe ||
              tokens[k + 1].type == TokenType::EndOfStatement || tokens[k + 1].type == TokenType::Call) {
            throw ParseError("Missing an argument for parameter '" + t.text + "'.");
          }
          e.hasColonValue = true;
          e.colonValue = tokens[++k];
        }
        command.elements.push_back(std::move(e));
      }
    }
  }
  endCommand(false);
  if (!pipeline.empty()) statements.push_back(std::move(pipeline));
  return statements;
}

std::string expandString(std::string_view raw, const std::function<std::string(std::string_view)>& expandPart) {
  std::string out;
  size_t i = 0;
  const size_t n = raw.size();
  while (i < n) {
    const char c = raw[i];
    if (c == '`' && i + 1 < n) {
      const char e = raw[i + 1];
      switch (e) {
        case '0': out += '\0'; break;
        case 'a': out += '\a'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'v': out += '\v'; break;
        default: out += e;
      }
      i += 2;
    } else if (c == '"' && i + 1 < n && raw[i + 1] == '"') {
      out += '"';
      i += 2;
    } else if (c == '$' && i + 1 < n && raw[i + 1] == '(') {
      ++i;
      std::string part;
      skipParens(raw, i, part);
      out += expandPart(part);
    } else if (c == '$' && i + 1 < n && raw[i + 1] == '{') {
      const size_t end = raw.find('}', i + 2);
      if (end == std::string_view::npos) throw ParseError("Missing '}' after a variable name.");
      out += expandPart(raw.substr(i + 2, end - i - 2));
      i = end + 1;
    } else if (c == '$' && i + 1 < n && isNameChar(raw[i + 1])) {
      size_t j = i + 1;
      while (j < n && (isNameChar(raw[j]) || (raw[j] == ':' && j + 1 < n && isAlpha(raw[j + 1])))) ++j;
      out += expandPart(raw.substr(i + 1, j - i - 1));
      i = j;
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

std::string utf16leToUtf8(std::string_view b) {
  std::string out;
  out.reserve(b.size() / 2);
  for (size_t i = 0; i + 1 < b.size(); i += 2) {
    uint32_t u = static_cast<unsigned char>(b[i]) | static_cast<unsigned char>(b[i + 1]) << 8;
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < b.size()) {
      const uint32_t lo = static_cast<unsigned char>(b[i + 2]) | static_cast<unsigned char>(b[i + 3]) << 8;
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        i += 2;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    appendUtf8(out, u);
  }
  return out;
}

std::string decodeScriptBytes(std::string_view b) {
  if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") return std::string(b.substr(3));
  if (b.size() >= 2 && b.substr(0, 2) == "\xFF\xFE") return utf16leToUtf8(b.substr(2));
  if (b.size() >= 2 && b.substr(0, 2) == "\xFE\xFF") {
    std::string swapped(b.substr(2));
    for (size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
    return utf16leToUtf8(swapped);
  }
  return std::string(b);
}

}  // namespace cb::test::psd
