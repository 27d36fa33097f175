#pragma once
// Tokens and statements of the small PowerShell subset the double understands:
// bare words, quoted strings, variables, parameters (-Name, -Name:value),
// script blocks, the call operator and pipelines.
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cb::test::psd {

struct ParseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class TokenType { Word, SingleQuoted, DoubleQuoted, Variable, Parameter, ScriptBlock, Pipe, Call, EndOfStatement };

struct Token {
  TokenType type = TokenType::Word;
  // Word: the text with escapes undone; SingleQuoted: the value; DoubleQuoted:
  // the raw inside, expanded when evaluated; Variable: the name; Parameter:
  // the name without its dash; ScriptBlock: the raw inside.
  std::string text;
  bool colon = false;  // Parameter written -Name:value; the value is the next token
  // Variable: the member names written right after it ($_.A.B: A, B).
  std::vector<std::string> members;
};

std::vector<Token> tokenize(std::string_view text);  // throws ParseError

struct Element {
  Token token;
  bool hasColonValue = false;
  Token colonValue;
};

struct CommandCall {
  bool callOperator = false;
  std::vector<Element> elements;  // elements[0] names the command
};

using Pipeline = std::vector<CommandCall>;

std::vector<Pipeline> parseStatements(std::string_view text);  // throws ParseError

// The text of a double-quoted string with escapes undone; every $name and
// $(...) part is replaced by what expandPart answers for "name" or "(...)".
std::string expandString(std::string_view raw, const std::function<std::string(std::string_view)>& expandPart);

// Script and command texts arrive as bytes; this turns a UTF-16 text (with or
// without its byte-order mark handled by the caller) into UTF-8.
std::string utf16leToUtf8(std::string_view bytes);
// Strips a UTF-8 byte-order mark or converts a UTF-16 LE/BE text with one.
std::string decodeScriptBytes(std::string_view bytes);

bool iequals(std::string_view a, std::string_view b);

}  // namespace cb::test::psd
