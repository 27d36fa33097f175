// The skin manager the window benchmarks measure under: MetroUI read from a
// stored description, as the program's own form carries it, with extended borders.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sSkinManager.h"
#include "tests/support/MetroUIResource.h"
#include "ui/FormStreaming.h"
#include "ui/FormText.h"

namespace cb::bench {

inline std::unique_ptr<TsSkinManager> MakeManager() {
  RegisterSkinManagerClasses();
  auto M = std::make_unique<TsSkinManager>(nullptr);
  const std::vector<std::uint8_t> Data = test::MetroUIArchive();
  std::string Text = "M: TsSkinManager {\n  InternalSkins = <\n    {\n      Name = \"MetroUI (internal)\"\n"
                     "      Data = base64 {\n" +
                     EncodeBase64(Data.data(), Data.size()) +
                     "\n      }\n    }\n  >\n  SkinDirectory = \"c:\\\\nowhere\"\n  ExtendedBorders = True\n"
                     "  SkinName = \"MetroUI\"\n}\n";
  ReadComponentFromText(M.get(), Text);
  return M;
}

// Handles every message waiting in the thread's queue.
inline void Drain() {
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
}

}  // namespace cb::bench
