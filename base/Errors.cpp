#include "Errors.h"

#include "Strings.h"

EClearbayError::EClearbayError(const std::string& Utf8Message) : std::runtime_error(Utf8Message) {}
EClearbayError::EClearbayError(const char* Utf8Message) : std::runtime_error(Utf8Message) {}
EClearbayError::EClearbayError(std::u16string_view Message)
    : std::runtime_error(Utf16ToUtf8(Message)) {}

std::u16string EClearbayError::Message() const { return Utf8ToUtf16(what()); }
