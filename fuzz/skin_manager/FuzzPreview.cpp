// Preview extraction, and the search it uses checked against a plain search;
// and a skin editor's preview record as it arrives from another process.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "acPreviewRecord.h"
#include "acSkinArchive.h"

namespace {

// The record read from exactly what came: at least the whole record, its
// magic, and every text inside its field with no zero in it.
void CheckRecord(const uint8_t* data, size_t size) {
  const std::optional<cb::TacPreviewRecord> r = cb::ReadPreviewRecord(data, size);
  if (!r) return;
  if (size < cb::kPreviewSize || !cb::IsPreviewRecord(data, size)) __builtin_trap();
  auto check = [&](const std::string& text, size_t at, size_t field) {
    if (text.size() >= field || text.find('\0') != std::string::npos) __builtin_trap();
    if (std::memcmp(text.data(), data + at, text.size()) != 0) __builtin_trap();
    if (text.size() + 1 < field && data[at + text.size()] != 0) __builtin_trap();
  };
  check(r->Name, cb::kPreviewNameAt, cb::kPreviewNameSize);
  check(r->Dir, cb::kPreviewDirAt, cb::kPreviewDirSize);
  check(r->Text, cb::kPreviewTextAt, cb::kPreviewTextSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckRecord(data, size);
  // Records are long: the input also stands for the head of one that carries the magic.
  if (size >= 4 && size < cb::kPreviewSize + 64) {
    std::vector<uint8_t> record(cb::kPreviewSize + (data[0] & 1 ? 0 : 16), 0x41);
    std::memcpy(record.data(), data, size < record.size() ? size : record.size());
    const uint32_t magic = cb::kPreviewMagic;
    if (data[1] & 1) std::memcpy(record.data(), &magic, sizeof magic);
    CheckRecord(record.data(), data[2] & 1 ? record.size() : size);
  }
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
