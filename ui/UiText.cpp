#include "ui/UiText.h"

#include "base/Strings.h"

std::wstring Utf8ToWide(std::string_view S) { return ToWide(Utf8ToUtf16(S)); }
std::string WideToUtf8(std::wstring_view S) { return Utf16ToUtf8(ToU16(S)); }
