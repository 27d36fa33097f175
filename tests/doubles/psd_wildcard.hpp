#pragma once
// Wildcard patterns as the package cmdlets match names.
#include <stdexcept>
#include <string>
#include <string_view>

namespace cb::test::psd {

struct WildcardError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// True when the pattern holds a wildcard character (* ? [) that is not escaped.
bool hasWildcard(std::string_view pattern);

// Matches the whole of text against pattern without regard to ASCII case:
// * any run, ? one character, [abc] and [a-z] one of a set, ` escapes the next
// character. An unclosed [ throws WildcardError.
bool wildcardMatch(std::string_view pattern, std::string_view text);

}  // namespace cb::test::psd
