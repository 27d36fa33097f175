#pragma once
// An in-memory platform for the skin code: files, directories, message boxes.
// The one fake host of tests, tools, fuzzers and benchmarks.
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "skin/manager/sSkinHost.h"

namespace cb::test {

inline std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }
inline std::string A(const std::u16string& s) {
  std::string r;
  for (char16_t c : s) r.push_back(static_cast<char>(c));
  return r;
}

class FakeSkinHost : public cb::TacSkinHost {
public:
  std::map<std::u16string, std::vector<uint8_t>> files;
  std::set<std::u16string> dirs;
  std::vector<std::pair<std::string, cb::TacMsgKind>> messages;
  std::u16string exeDir = u"C:\\App\\";
  bool composition = true;
  bool failCreateDir = false;
  bool allDirsExist = false;  // every directory is there (skins loaded by the tools)
  int sizingFrame = 4;        // sizing frame width at 96 pixels per inch

  void ShowMessage(const std::u16string& text, cb::TacMsgKind kind) override {
    messages.emplace_back(A(text), kind);
  }
  bool FileExists(const std::u16string& p) override { return files.count(p) != 0; }
  bool DirectoryExists(const std::u16string& p) override {
    if (allDirsExist) return true;
    std::u16string d = p;
    if (!d.empty() && d.back() == u'\\') d.pop_back();
    return dirs.count(d) != 0;
  }
  bool CreateDir(const std::u16string& p) override {
    if (failCreateDir) return false;
    std::u16string d = p;
    if (!d.empty() && d.back() == u'\\') d.pop_back();
    dirs.insert(d);
    return true;
  }
  bool ReadWholeFile(const std::u16string& p, std::vector<uint8_t>& out) override {
    auto it = files.find(p);
    if (it == files.end()) return false;
    out = it->second;
    return true;
  }
  bool WriteWholeFile(const std::u16string& p, const std::vector<uint8_t>& data) override {
    files[p] = data;
    return true;
  }
  std::u16string ExeDirectory() override { return exeDir; }
  uint32_t SysColor(int index) override {
    switch (index) {
      case cb::scBtnFace: return 0xF0F0F0;
      case cb::scWindow: return 0xFFFFFF;
      case cb::scWindowText: return 0x000000;
      case cb::scHighlight: return 0xD77800;
      case cb::scHighlightText: return 0xFFFFFF;
      case cb::scInfoBk: return 0xE1FFFF;
      case cb::scInfoText: return 0x000000;
    }
    return 0;
  }
  int SizingFrameWidth(int ppi) override { return sizingFrame * ppi / 96; }
  bool CompositionEnabled() override { return composition; }
};

inline std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

}  // namespace cb::test
