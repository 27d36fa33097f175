#pragma once
// Small Windows helpers shared by the double and the test programs.
#include <windows.h>

#include <string>
#include <string_view>

namespace cb::test::psd {

std::string toUtf8(std::wstring_view text);
std::wstring toWide(std::string_view utf8);
// Writes UTF-8 text to a standard handle: as characters to a console, as bytes otherwise.
void writeStd(DWORD which, std::string_view utf8);
std::string systemMessage(DWORD code);
// Milliseconds since 1970, to a microsecond.
double nowEpochMs();

}  // namespace cb::test::psd
