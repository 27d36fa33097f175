// Text conversions between the platform's 16-bit strings and base/'s types.
#pragma once

#include <string>
#include <string_view>

inline std::wstring ToWide(std::u16string_view S) { return std::wstring(S.begin(), S.end()); }
inline std::u16string ToU16(std::wstring_view S) { return std::u16string(S.begin(), S.end()); }
std::wstring Utf8ToWide(std::string_view S);
std::string WideToUtf8(std::wstring_view S);
