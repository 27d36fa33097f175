// The section painter's fuzz inputs (seeds and every finding kept) painted
// again under the sanitizers: a read or write past a bitmap aborts the run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "PaintFuzzedSkin.h"

namespace fs = std::filesystem;

TEST(SectionPaintFuzzInputs, PaintWithinTheirBitmaps) {
  int inputs = 0;
  for (const char* dir : {CB_SECTION_FUZZ_DIR "/regressions", CB_SECTION_FUZZ_DIR "/corpus/fuzz_section_paint"}) {
    for (const auto& e : fs::directory_iterator(dir)) {
      std::ifstream in(e.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_TRUE(cb::fuzz::PaintFuzzedSkin(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
          << e.path().filename();
      ++inputs;
    }
  }
  EXPECT_GE(inputs, 2);
}
