#pragma once
// In-memory INI text with case-sensitive section and key names, sections kept
// in file order. A repeated section adds its keys to the first one; of
// repeated keys the first counts.
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace cb {

class TacMemIni {
public:
  struct Section {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Keys;  // file order
    std::unordered_map<std::string, size_t> Index;          // first occurrence
  };

  TacMemIni() = default;
  explicit TacMemIni(const std::string& text) { SetText(text); }

  // Replaces the content: lines are trimmed; empty lines and lines starting
  // with ";" are skipped; "[NAME]" opens a section; KEY=VALUE lines (value
  // after the first "=") belong to the current section.
  void SetText(const std::string& text);
  void Clear();

  bool SectionExists(const std::string& section) const { return Find(section) != nullptr; }
  bool ValueExists(const std::string& section, const std::string& key) const;
  // The value, or nothing when the section or key is missing.
  std::optional<std::string> Value(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // The platform's integer conversion: decimal with optional sign, or
  // hexadecimal after "$", "0x" or "0X"; anything else gives def.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;

  const std::vector<Section>& Sections() const { return FSections; }
  const Section* Find(const std::string& section) const;
  int SectionIndex(const std::string& section) const;

private:
  std::vector<Section> FSections;
  std::unordered_map<std::string, size_t> FIndex;
};

// The integer conversions used for skin values.
bool TryStrToInt(const std::string& s, int32_t& out);
bool TryStrToInt64(const std::string& s, int64_t& out);

}  // namespace cb
