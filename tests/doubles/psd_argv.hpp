#pragma once
// Command-line splitting as Windows programs see it.
#include <string>
#include <string_view>
#include <vector>

namespace cb::test::psd {

// Splits a raw process command line into argv by the shell's rules: the
// program name ends at the first blank or is quoted without escapes; after it,
// 2n backslashes before a quote give n backslashes and toggle quoting, 2n+1
// give n backslashes and a literal quote, and a doubled quote inside a quoted
// run gives a literal quote and ends the run. Works on UTF-8 bytes: every
// special character is ASCII.
std::vector<std::string> splitCommandLine(std::string_view line);

}  // namespace cb::test::psd
