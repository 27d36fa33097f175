#include "psd_store.hpp"

#include <charconv>

namespace cb::test::psd {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

[[noreturn]] void fail(size_t line, const std::string& what) {
  throw StoreError("store line " + std::to_string(line) + ": " + what);
}

bool parseBool(std::string_view v, size_t line) {
  if (v == "1" || iequals(v, "true") || iequals(v, "yes")) return true;
  if (v == "0" || iequals(v, "false") || iequals(v, "no") || v.empty()) return false;
  fail(line, "not a Boolean value: " + std::string(v));
}

}  // namespace

std::string Package::name() const {
  const size_t at = fullName.find('_');
  return at == std::string::npos ? fullName : fullName.substr(0, at);
}

Store Store::parse(std::string_view text) {
  if (text.size() > kMaxFileBytes) throw StoreError("store file too large");
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Store st;
  enum class Section { None, Settings, Delays, Package } section = Section::None;
  size_t lineNo = 0;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    std::string_view line = trim(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++lineNo;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') fail(lineNo, "unterminated section header");
      std::string_view head = trim(line.substr(1, line.size() - 2));
      if (iequals(head, "settings")) {
        section = Section::Settings;
      } else if (iequals(head, "delay_ms")) {
        section = Section::Delays;
      } else if (head.size() > 8 && iequals(head.substr(0, 8), "package ")) {
        Package p;
        p.fullName = std::string(trim(head.substr(8)));
        if (st.find(p.fullName)) fail(lineNo, "duplicate package " + p.fullName);
        st.packages.push_back(std::move(p));
        section = Section::Package;
      } else {
        fail(lineNo, "unknown section [" + std::string(head) + "]");
      }
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) fail(lineNo, "expected key=value");
    const std::string_view key = trim(line.substr(0, eq));
    const std::string_view value = trim(line.substr(eq + 1));
    switch (section) {
      case Section::None: fail(lineNo, "key outside any section");
      case Section::Settings:
        if (iequals(key, "QueryFails")) {
          st.queryFails = parseBool(value, lineNo);
          break;
        }
        if (!iequals(key, "ExecutionPolicy")) fail(lineNo, "unknown setting " + std::string(key));
        st.executionPolicy = std::string(value);
        break;
      case Section::Delays: {
        int ms = 0;
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), ms);
        if (ec != std::errc() || end != value.data() + value.size() || ms < 0 || ms > 600000) {
          fail(lineNo, "delay must be 0 to 600000 ms: " + std::string(value));
        }
        st.delayMs[std::string(key)] = ms;
        break;
      }
      case Section::Package: {
        Package& p = st.packages.back();
        if (iequals(key, "InstallLocation")) p.installLocation = std::string(value);
        else if (iequals(key, "CurrentUser")) p.currentUser = parseBool(value, lineNo);
        else if (iequals(key, "OtherUsers")) p.otherUsers = parseBool(value, lineNo);
        else if (iequals(key, "Provisioned")) p.provisioned = parseBool(value, lineNo);
        else if (iequals(key, "Unremovable")) p.unremovable = parseBool(value, lineNo);
        else if (iequals(key, "Broken")) p.broken = parseBool(value, lineNo);
        else if (iequals(key, "Failure")) p.failure = std::string(value);
        else fail(lineNo, "unknown package key " + std::string(key));
        break;
      }
    }
  }
  return st;
}

std::string Store::serialize() const {
  std::string out = "[settings]\r\nExecutionPolicy=" + executionPolicy + "\r\n";
  if (queryFails) out += "QueryFails=1\r\n";
  if (!delayMs.empty()) {
    out += "\r\n[delay_ms]\r\n";
    for (const auto& [k, v] : delayMs) out += k + "=" + std::to_string(v) + "\r\n";
  }
  for (const Package& p : packages) {
    out += "\r\n[package " + p.fullName + "]\r\nInstallLocation=" + p.installLocation +
           "\r\nCurrentUser=" + (p.currentUser ? "1" : "0") + "\r\nOtherUsers=" + (p.otherUsers ? "1" : "0") +
           "\r\nProvisioned=" + (p.provisioned ? "1" : "0") + "\r\nUnremovable=" + (p.unremovable ? "1" : "0") +
           "\r\nBroken=" + (p.broken ? "1" : "0") + "\r\n";
    if (!p.failure.empty()) out += "Failure=" + p.failure + "\r\n";
  }
  return out;
}

int Store::delay(const std::string& key) const {
  auto it = delayMs.find(key);
  return it == delayMs.end() ? 0 : it->second;
}

Package* Store::find(std::string_view fullName) {
  for (Package& p : packages) {
    if (iequals(p.fullName, fullName)) return &p;
  }
  return nullptr;
}

bool Store::dropIfUnused(std::string_view fullName) {
  for (auto it = packages.begin(); it != packages.end(); ++it) {
    if (!iequals(it->fullName, fullName)) continue;
    if (it->installedForAnyone() || it->provisioned) return false;
    packages.erase(it);
    return true;
  }
  return false;
}

}  // namespace cb::test::psd
