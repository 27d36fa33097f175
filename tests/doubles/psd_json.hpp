#pragma once
// Just enough JSON writing for one log line per call.
#include <string>
#include <string_view>
#include <vector>

namespace cb::test::psd {

// A JSON string literal of UTF-8 text; bytes that are not valid UTF-8 become U+FFFD.
std::string jsonQuote(std::string_view utf8);
std::string jsonArray(const std::vector<std::string>& items);
std::string base64(std::string_view bytes);

class JsonObject {
 public:
  JsonObject& str(std::string_view key, std::string_view value);
  JsonObject& num(std::string_view key, long long value);
  JsonObject& boolean(std::string_view key, bool value);
  JsonObject& raw(std::string_view key, std::string_view json);
  std::string text() const { return body_ + "}"; }

 private:
  std::string body_ = "{";
};

}  // namespace cb::test::psd
