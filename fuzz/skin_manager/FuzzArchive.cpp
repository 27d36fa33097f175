// Archive bytes straight into the reader.
#include <cstddef>
#include <cstdint>

#include "acSkinArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream s(std::vector<uint8_t>(data, data + size));
  cb::TacSkinConvertor c;
  c.PackedData = &s;
  try {
    if (cb::ReadSkinArchive(c, nullptr)) {
      // What was read is consistent with what the reader promises.
      if (c.FileCount != static_cast<int>(c.Files.size())) __builtin_trap();
      if (s.Position() > s.Size()) __builtin_trap();
    }
  } catch (const cb::EacSkinArchiveError&) {
  }
  return 0;
}
