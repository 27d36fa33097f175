#pragma once
// The few services of the platform that the portable skin code needs. The
// Windows skin manager implements them; tests fake them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cb {

enum class TacMsgKind { mkError, mkWarning, mkInformation };

// System colour indexes the skin data asks for (the platform's COLOR_* values).
enum TacSysColor : int {
  scWindow = 5,
  scWindowText = 8,
  scHighlight = 13,
  scHighlightText = 14,
  scBtnFace = 15,
  scInfoText = 23,
  scInfoBk = 24,
};

class TacSkinHost {
public:
  virtual ~TacSkinHost() = default;

  // A message box with an OK button. The Windows side switches the skinning of
  // standard dialogs and the system colour replacement off while it is shown.
  virtual void ShowMessage(const std::u16string& text, TacMsgKind kind) = 0;

  // Paths are the platform's (backslash separated) paths.
  virtual bool FileExists(const std::u16string& path) = 0;
  virtual bool DirectoryExists(const std::u16string& path) = 0;
  virtual bool CreateDir(const std::u16string& path) = 0;
  virtual bool ReadWholeFile(const std::u16string& path, std::vector<uint8_t>& out) = 0;
  virtual bool WriteWholeFile(const std::u16string& path, const std::vector<uint8_t>& data) = 0;
  // Directory of the running program, with a trailing backslash.
  virtual std::u16string ExeDirectory() = 0;

  // 0x00BBGGRR value of a system colour.
  virtual uint32_t SysColor(int index) = 0;
  // Width of the sizing frame of a window at a density.
  virtual int SizingFrameWidth(int ppi) = 0;
  // Horizontal scroll arrow width when the engine has taken it from the system, else 0.
  virtual int ScrollArrowWidth(int /*ppi*/) { return 0; }
  // True while desktop composition is on.
  virtual bool CompositionEnabled() { return true; }

  // 8-bit skin text (system code page) to UTF-16; the default widens bytes.
  virtual std::u16string FromAnsi(const std::string& s) {
    std::u16string r;
    r.reserve(s.size());
    for (unsigned char c : s) r.push_back(c);
    return r;
  }
};

}  // namespace cb
