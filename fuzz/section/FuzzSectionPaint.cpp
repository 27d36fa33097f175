// Every section and image of a fuzzed skin painted in every state under the
// address and undefined-behaviour sanitizers; a write past a bitmap's edge
// that stays inside other memory is caught by the guard frames.
#include <cstddef>
#include <cstdint>

#include "PaintFuzzedSkin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!cb::fuzz::PaintFuzzedSkin(data, size)) __builtin_trap();
  return 0;
}
