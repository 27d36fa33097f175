#include "psd_json.hpp"

namespace cb::test::psd {

namespace {

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t utf8Length(std::string_view s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = 0;
  unsigned int cp = 0;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
  else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; }
  else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
  else return 0;
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    const unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
    return 0;
  }
  return len;
}

}  // namespace

std::string jsonQuote(std::string_view s) {
  static const char hex[] = "0123456789abcdef";
  std::string out = "\"";
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += "\\u00"; out += hex[c >> 4]; out += hex[c & 15];
      }
      ++i;
    } else if (c < 0x80) {
      out += char(c);
      ++i;
    } else if (size_t len = utf8Length(s, i)) {
      out.append(s.substr(i, len));
      i += len;
    } else {
      out += "\\ufffd";
      ++i;
    }
  }
  return out + "\"";
}

std::string jsonArray(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    out += jsonQuote(items[i]);
  }
  return out + "]";
}

std::string base64(std::string_view b) {
  static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((b.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < b.size(); i += 3) {
    const unsigned v = (unsigned char)b[i] << 16 | (unsigned char)b[i + 1] << 8 | (unsigned char)b[i + 2];
    out += table[v >> 18];
    out += table[(v >> 12) & 63];
    out += table[(v >> 6) & 63];
    out += table[v & 63];
  }
  if (i < b.size()) {
    const bool two = i + 1 < b.size();
    const unsigned v = (unsigned char)b[i] << 16 | (two ? (unsigned char)b[i + 1] << 8 : 0u);
    out += table[v >> 18];
    out += table[(v >> 12) & 63];
    out += two ? table[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

JsonObject& JsonObject::raw(std::string_view key, std::string_view json) {
  if (body_.size() > 1) body_ += ',';
  body_ += jsonQuote(key);
  body_ += ':';
  body_ += json;
  return *this;
}

JsonObject& JsonObject::str(std::string_view key, std::string_view value) { return raw(key, jsonQuote(value)); }
JsonObject& JsonObject::num(std::string_view key, long long value) { return raw(key, std::to_string(value)); }
JsonObject& JsonObject::boolean(std::string_view key, bool value) { return raw(key, value ? "true" : "false"); }

}  // namespace cb::test::psd
