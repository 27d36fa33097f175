#include "acPreviewRecord.h"

#include <cstring>

namespace cb {

bool IsPreviewRecord(const void* Data, std::size_t Size) {
  if (!Data || Size < sizeof(std::uint32_t)) return false;
  std::uint32_t Magic = 0;
  std::memcpy(&Magic, Data, sizeof Magic);
  return Magic == kPreviewMagic;
}

std::optional<TacPreviewRecord> ReadPreviewRecord(const void* Data, std::size_t Size) {
  // A record cut short is not read: the texts after the cut would be guesses.
  if (!IsPreviewRecord(Data, Size) || Size < kPreviewSize) return std::nullopt;
  const char* P = static_cast<const char*>(Data);
  auto Field = [P](std::size_t At, std::size_t FieldSize) {
    const std::size_t Len = ::strnlen(P + At, FieldSize - 1);
    return std::string(P + At, Len);
  };
  return TacPreviewRecord{Field(kPreviewNameAt, kPreviewNameSize), Field(kPreviewDirAt, kPreviewDirSize),
                          Field(kPreviewTextAt, kPreviewTextSize)};
}

}  // namespace cb
