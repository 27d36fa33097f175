#include "psd_wildcard.hpp"

#include <cstdint>
#include <vector>

namespace cb::test::psd {

namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

enum class Kind { Literal, Any, Run, Set };
struct Element {
  Kind kind = Kind::Literal;
  char ch = 0;
  std::string set;  // pairs of range bounds, folded
};

std::vector<Element> compile(std::string_view p) {
  std::vector<Element> out;
  for (size_t i = 0; i < p.size(); ++i) {
    const char c = p[i];
    Element e;
    if (c == '`' && i + 1 < p.size()) {
      e.ch = fold(p[++i]);
    } else if (c == '*') {
      if (!out.empty() && out.back().kind == Kind::Run) continue;
      e.kind = Kind::Run;
    } else if (c == '?') {
      e.kind = Kind::Any;
    } else if (c == '[') {
      e.kind = Kind::Set;
      size_t j = i + 1;
      bool closed = false;
      while (j < p.size()) {
        char a = p[j];
        if (a == ']') {
          closed = true;
          break;
        }
        if (a == '`' && j + 1 < p.size()) a = p[++j];
        char b = a;
        if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
          b = p[j + 2];
          if (b == '`' && j + 3 < p.size()) {
            b = p[j + 3];
            ++j;
          }
          j += 2;
        }
        e.set += fold(a);
        e.set += fold(b);
        ++j;
      }
      if (!closed) {
        throw WildcardError("The specified wildcard character pattern is not valid: " + std::string(p));
      }
      i = j;
    } else {
      e.ch = fold(c);
    }
    out.push_back(std::move(e));
  }
  return out;
}

bool matchOne(const Element& e, char c) {
  c = fold(c);
  switch (e.kind) {
    case Kind::Literal: return e.ch == c;
    case Kind::Any: return true;
    case Kind::Set:
      for (size_t k = 0; k + 1 < e.set.size(); k += 2) {
        if (c >= e.set[k] && c <= e.set[k + 1]) return true;
      }
      return false;
    case Kind::Run: break;
  }
  return false;
}

}  // namespace

bool hasWildcard(std::string_view p) {
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '`') {
      ++i;
      continue;
    }
    if (p[i] == '*' || p[i] == '?' || p[i] == '[') return true;
  }
  return false;
}

bool wildcardMatch(std::string_view pattern, std::string_view text) {
  const std::vector<Element> pat = compile(pattern);
  // Greedy match with one backtrack point per star: linear in practice and
  // never exponential.
  size_t pi = 0, ti = 0;
  size_t starP = SIZE_MAX, starT = 0;
  while (ti < text.size()) {
    if (pi < pat.size() && pat[pi].kind == Kind::Run) {
      starP = pi++;
      starT = ti;
    } else if (pi < pat.size() && matchOne(pat[pi], text[ti])) {
      ++pi;
      ++ti;
    } else if (starP != SIZE_MAX) {
      pi = starP + 1;
      ti = ++starT;
    } else {
      return false;
    }
  }
  while (pi < pat.size() && pat[pi].kind == Kind::Run) ++pi;
  return pi == pat.size();
}

}  // namespace cb::test::psd
