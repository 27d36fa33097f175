#pragma once
// What the skin fuzzers share: a small fixed skin around the fuzzed text.
#include "tests/support/FakeSkinHost.h"
#include "base/Geometry.h"
#include "tests/support/SkinImages.h"
#include "acSkinArchive.h"

namespace cb::fuzz {

inline uint32_t MasterPixel(int x, int y) {
  if ((x + y) % 7 == 0) return clMagenta;
  return static_cast<uint32_t>(x * 5) << 16 | static_cast<uint32_t>(y * 10) << 8 | 100;
}

// The files every fuzzed skin carries beside its options.
inline const std::vector<cb::TacArchiveEntry>& SkinFiles() {
  static const std::vector<cb::TacArchiveEntry> files = {{"MASTER.BMP", cb::test::MakeBmp24(40, 20, MasterPixel)},
          {"EDGE.BMP", cb::test::MakeBmp24(3, 3, [](int, int) { return 0x808080u; })},
          {"GLYPH.PNG", cb::test::MakePngRgba(4, 4, [](int x, int y) { return x == y ? 0xFFFF00FFu : 0x80102030u; })}};
  return files;
}

}  // namespace cb::fuzz
