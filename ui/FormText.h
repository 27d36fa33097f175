// The text of form descriptions, parsed into a tree and written back.
// The format is described in ui/README.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/Errors.h"

// Malformed descriptions; the message names the line.
class EFormError : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};

struct TFormProp;

struct TFormValue {
  enum TKind { vkInteger, vkString, vkIdent, vkSet, vkLines, vkBinary, vkItems, vkReal };
  TKind Kind = vkInteger;
  std::int64_t Int = 0;
  double Real = 0;                                // finite
  std::wstring Str;                               // string, identifier
  std::vector<std::wstring> List;                 // set members, lines
  std::vector<std::uint8_t> Bytes;                // binary
  std::vector<std::vector<TFormProp>> Items;      // collection items
};

struct TFormProp {
  std::wstring Name;  // may be a dotted path: Font.Name
  TFormValue Value;
  int Line = 0;
};

struct TFormObject {
  std::wstring Name;
  std::wstring ClassName;
  std::vector<TFormProp> Props;
  std::vector<TFormObject> Children;
  int Line = 0;
};

// Parses UTF-8 text (a byte-order mark is skipped). EFormError on bad input.
TFormObject ParseFormText(std::string_view Text);
// Canonical text of a tree (UTF-8, LF line ends, two-blank indentation).
std::string FormatFormText(const TFormObject& Root);

// Base64 as used in binary blocks.
std::string EncodeBase64(const std::uint8_t* Data, std::size_t Size);
