// Preview extraction, and the search it uses checked against a plain search.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "acSkinArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream archive(std::vector<uint8_t>(data, data + size));
  TMemoryStream dest;
  bool found = cb::ExtractSkinPreview(dest, archive);
  static const char marker[] = "previewimg";
  const uint8_t* hit = std::search(data, data + size, marker, marker + 10);
  std::ptrdiff_t expect = hit == data + size ? -1 : hit - data;
  if (cb::FindBytes(data, size, marker, 10) != expect) __builtin_trap();
  if (found && (expect < 0 || dest.Position() != 0 || dest.Bytes().size() > size)) __builtin_trap();
  // A short needle taken from the input itself must be found where it starts.
  if (size >= 3) {
    size_t len = 1 + data[0] % 3;
    const char* needle = reinterpret_cast<const char*>(data + size - len);
    std::ptrdiff_t got = cb::FindBytes(data, size, needle, len);
    const uint8_t* first = std::search(data, data + size, data + size - len, data + size);
    if (got != first - data) __builtin_trap();
  }
  return 0;
}
