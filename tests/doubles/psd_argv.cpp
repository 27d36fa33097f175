#include "psd_argv.hpp"

namespace cb::test::psd {

namespace {
bool isBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::vector<std::string> splitCommandLine(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0;
  const size_t n = s.size();

  std::string name;
  if (i < n && s[i] == '"') {
    ++i;
    while (i < n && s[i] != '"') name += s[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !isBlank(s[i])) name += s[i++];
  }
  out.push_back(std::move(name));
  // Whatever sticks to a quoted program name starts the next argument.
  while (i < n && isBlank(s[i])) ++i;

  std::string cur;
  bool started = false;
  size_t backslashes = 0;
  int quotes = 0;  // 0 outside quotes; 1 inside; 2 just after a closing quote
  while (i < n) {
    const char c = s[i];
    if (isBlank(c) && quotes == 0) {
      out.push_back(std::move(cur));
      cur.clear();
      started = false;
      backslashes = 0;
      while (i < n && isBlank(s[i])) ++i;
      continue;
    }
    started = true;
    if (c == '\\') {
      cur += c;
      ++backslashes;
      ++i;
    } else if (c == '"') {
      if (backslashes % 2 == 0) {
        cur.resize(cur.size() - backslashes / 2);
        ++quotes;
      } else {
        cur.resize(cur.size() - backslashes / 2 - 1);
        cur += '"';
      }
      ++i;
      backslashes = 0;
      while (i < n && s[i] == '"') {
        if (++quotes == 3) {
          cur += '"';
          quotes = 0;
        }
        ++i;
      }
      if (quotes == 2) quotes = 0;
    } else {
      cur += c;
      backslashes = 0;
      ++i;
    }
  }
  if (started) out.push_back(std::move(cur));
  return out;
}

}  // namespace cb::test::psd
