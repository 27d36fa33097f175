// Loads a skin outside the program: an in-memory platform whose files are
// given by the caller, and the skin manager core on top of it. Used by the
// skin tools, the section painting tests and the benchmarks.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "skin/manager/sSkinManagerCore.h"
#include "tests/support/FakeSkinHost.h"

namespace cb::test {

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
  FakeSkinHost Host;
  std::unique_ptr<cb::TacSkinManagerCore> Manager;

  cb::TacSkinData* Data(int ppi) { return Manager->CommonSkinData(ppi); }
  int Section(const std::string& name, int ppi = 96) { return Manager->GetSkinIndex(name, Data(ppi)); }
};

// files: name (as in the skin directory) -> bytes. A name ending in ".asz"
// loads that packed skin; otherwise the files form an unpacked skin.
inline std::unique_ptr<LoadedSkin> LoadSkin(const std::string& skinName,
                                            const std::map<std::string, std::vector<std::uint8_t>>& files) {
  auto s = std::make_unique<LoadedSkin>();
  s->Host.allDirsExist = true;
  s->Host.sizingFrame = 8;
  bool packed = false;
  for (const auto& [name, bytes] : files) {
    const bool asz = name.size() > 4 && name.substr(name.size() - 4) == ".asz";
    packed |= asz;
    s->Host.files[Widen(asz ? "C:\\Skins\\" + name : "C:\\Skins\\" + skinName + "\\" + name)] = bytes;
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

}  // namespace cb::test
