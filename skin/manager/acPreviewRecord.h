// The record a skin editor sends with WM_COPYDATA (kind 7) to preview a skin
// in a running program: a magic number and three 8-bit texts, each in a field
// of fixed size. It comes from another process, into an elevated one: only
// what really came is read.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace cb {

constexpr std::uint32_t kPreviewMagic = 0xA400;
constexpr std::size_t kPreviewNameAt = 4, kPreviewNameSize = 128, kPreviewDirAt = 132, kPreviewDirSize = 512,
                      kPreviewTextAt = 644, kPreviewTextSize = 30001, kPreviewSize = 30645;

struct TacPreviewRecord {
  std::string Name, Dir, Text;  // 8-bit, as the sender wrote them
};

// Whether Data announces a preview record (the magic needs 4 bytes that came).
bool IsPreviewRecord(const void* Data, std::size_t Size);
// The record's texts when the whole record came, each ending inside its field
// whatever the sender wrote there (its last byte counts as zero); none for a
// record cut short or of another kind.
std::optional<TacPreviewRecord> ReadPreviewRecord(const void* Data, std::size_t Size);

}  // namespace cb
