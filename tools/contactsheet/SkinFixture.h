// Loads a skin outside the program: an in-memory platform whose files are
// given by the caller, and the skin manager core on top of it. Used by the
// skin tools and by the section painting tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sSkinHost.h"
#include "sSkinManagerCore.h"

namespace skintool {

class MemoryHost : public cb::TacSkinHost {
 public:
  std::map<std::u16string, std::vector<std::uint8_t>> Files;
  std::vector<std::string> Messages;

  void ShowMessage(const std::u16string& text, cb::TacMsgKind) override { Messages.emplace_back(text.begin(), text.end()); }
  bool FileExists(const std::u16string& p) override { return Files.count(p) != 0; }
  bool DirectoryExists(const std::u16string&) override { return true; }
  bool CreateDir(const std::u16string&) override { return true; }
  bool ReadWholeFile(const std::u16string& p, std::vector<std::uint8_t>& out) override {
    auto it = Files.find(p);
    if (it == Files.end()) return false;
    out = it->second;
    return true;
  }
  bool WriteWholeFile(const std::u16string& p, const std::vector<std::uint8_t>& d) override {
    Files[p] = d;
    return true;
  }
  std::u16string ExeDirectory() override { return u"C:\\App\\"; }
  std::uint32_t SysColor(int index) override {
    switch (index) {
      case cb::scWindow: return 0xFFFFFF;
      case cb::scHighlight: return 0xD77800;
      case cb::scHighlightText: return 0xFFFFFF;
      case cb::scInfoBk: return 0xE1FFFF;
      case cb::scBtnFace: return 0xF0F0F0;
      default: return 0;
    }
  }
  int SizingFrameWidth(int ppi) override { return 8 * ppi / 96; }
};

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << f.rdbuf();
  const std::string d = s.str();
  return std::vector<std::uint8_t>(d.begin(), d.end());
}

inline std::u16string Widen(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// A loaded skin: the platform, the manager core and its skin data by density.
struct LoadedSkin {
  MemoryHost Host;
  std::unique_ptr<cb::TacSkinManagerCore> Manager;

  cb::TacSkinData* Data(int ppi) { return Manager->CommonSkinData(ppi); }
  int Section(const std::string& name, int ppi = 96) { return Manager->GetSkinIndex(name, Data(ppi)); }
};

// files: name (as in the skin directory) -> bytes. A name ending in ".asz"
// loads that packed skin; otherwise the files form an unpacked skin.
inline std::unique_ptr<LoadedSkin> LoadSkin(const std::string& skinName,
                                            const std::map<std::string, std::vector<std::uint8_t>>& files) {
  auto s = std::make_unique<LoadedSkin>();
  bool packed = false;
  for (const auto& [name, bytes] : files) {
    const bool asz = name.size() > 4 && name.substr(name.size() - 4) == ".asz";
    packed |= asz;
    s->Host.Files[Widen(asz ? "C:\\Skins\\" + name : "C:\\Skins\\" + skinName + "\\" + name)] = bytes;
  }
  s->Manager = std::make_unique<cb::TacSkinManagerCore>(s->Host);
  s->Manager->SkinDirectory = u"C:\\Skins";
  s->Manager->SkinName = Widen(skinName);
  s->Manager->ExtendedBorders = true;
  if (!s->Manager->CommonSkinData(96) || s->Manager->CommonSkinData(96)->gd.empty())
    throw std::runtime_error("the skin " + skinName + " did not load");
  (void)packed;
  return s;
}

}  // namespace skintool
