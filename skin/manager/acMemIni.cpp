#include "acMemIni.h"

#include <cctype>

namespace cb {

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

// Magnitude limit: 2^63 for 64-bit reading, 2^31 for 32-bit.
bool ParseInteger(const std::string& text, uint64_t limitPos, uint64_t limitNeg, bool& neg, uint64_t& mag,
                  int hexBits) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  neg = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  mag = 0;
  for (; i < text.size(); ++i) {
    int c = static_cast<unsigned char>(text[i]);
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    if (hex) {
      if (mag >> (hexBits - 4)) return false;  // more digits than the width holds
      mag = mag << 4 | static_cast<uint64_t>(d);
    } else {
      if (mag > (UINT64_MAX - 9) / 10) return false;
      mag = mag * 10 + static_cast<uint64_t>(d);
      if (mag > (neg ? limitNeg : limitPos)) return false;
    }
  }
  return true;
}

}  // namespace

bool TryStrToInt(const std::string& s, int32_t& out) {
  bool neg;
  uint64_t mag;
  if (!ParseInteger(s, 0x7FFFFFFFull, 0x80000000ull, neg, mag, 32)) return false;
  uint32_t v = static_cast<uint32_t>(mag);  // hexadecimal wraps into the sign
  if (neg) v = 0u - v;
  out = static_cast<int32_t>(v);
  return true;
}

bool TryStrToInt64(const std::string& s, int64_t& out) {
  bool neg;
  uint64_t mag;
  if (!ParseInteger(s, 0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, neg, mag, 64)) return false;
  uint64_t v = neg ? 0u - mag : mag;
  out = static_cast<int64_t>(v);
  return true;
}

void TacMemIni::Clear() {
  FSections.clear();
  FIndex.clear();
}

void TacMemIni::SetText(const std::string& text) {
  Clear();
  Section* cur = nullptr;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    if (line.empty() || line[0] == ';') {
      if (end == text.size()) break;
      continue;
    }
    if (line[0] == '[' && line.back() == ']') {
      std::string name = Trim(line.substr(1, line.size() - 2));
      auto it = FIndex.find(name);
      if (it == FIndex.end()) {
        FIndex.emplace(name, FSections.size());
        FSections.push_back(Section{name, {}, {}});
        cur = &FSections.back();
      } else {
        cur = &FSections[it->second];
      }
    } else if (cur) {
      size_t eq = line.find('=');
      if (eq != std::string::npos) {
        std::string key = line.substr(0, eq);
        cur->Index.emplace(key, cur->Keys.size());
        cur->Keys.emplace_back(std::move(key), line.substr(eq + 1));
      }
    }
    if (end == text.size()) break;
  }
}

const TacMemIni::Section* TacMemIni::Find(const std::string& section) const {
  auto it = FIndex.find(section);
  return it == FIndex.end() ? nullptr : &FSections[it->second];
}

int TacMemIni::SectionIndex(const std::string& section) const {
  auto it = FIndex.find(section);
  return it == FIndex.end() ? -1 : static_cast<int>(it->second);
}

bool TacMemIni::ValueExists(const std::string& section, const std::string& key) const {
  const Section* s = Find(section);
  return s && s->Index.count(key);
}

std::optional<std::string> TacMemIni::Value(const std::string& section, const std::string& key) const {
  const Section* s = Find(section);
  if (!s) return std::nullopt;
  auto it = s->Index.find(key);
  if (it == s->Index.end()) return std::nullopt;
  return s->Keys[it->second].second;
}

std::string TacMemIni::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
  auto v = Value(section, key);
  return v ? *v : def;
}

int32_t TacMemIni::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
  auto v = Value(section, key);
  int32_t r;
  return v && TryStrToInt(*v, r) ? r : def;
}

}  // namespace cb
