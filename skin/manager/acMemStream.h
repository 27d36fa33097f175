#pragma once
// A growable byte buffer with a read/write position: the in-memory stream
// that archives, options text and image files live in.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace cb {

class EacStreamError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TacMemoryStream {
public:
  TacMemoryStream() = default;
  explicit TacMemoryStream(std::vector<uint8_t> bytes) : Data(std::move(bytes)) {}

  size_t Size() const { return Data.size(); }
  size_t Position() const { return FPosition; }
  void SetPosition(size_t p) { FPosition = p > Data.size() ? Data.size() : p; }
  size_t Remaining() const { return Data.size() - FPosition; }
  void SetSize(size_t n) {
    Data.resize(n);
    if (FPosition > n) FPosition = n;
  }
  void Clear() {
    Data.clear();
    FPosition = 0;
  }

  // Reads up to count bytes; answers how many were read.
  size_t Read(void* dst, size_t count) {
    size_t n = count < Remaining() ? count : Remaining();
    if (n) std::memcpy(dst, Data.data() + FPosition, n);
    FPosition += n;
    return n;
  }
  // Reads exactly count bytes or throws.
  void ReadBuffer(void* dst, size_t count) {
    if (Read(dst, count) != count) throw EacStreamError("Stream read error");
  }
  int32_t ReadInt32() {
    uint8_t b[4] = {};
    ReadBuffer(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                uint32_t(b[3]) << 24);
  }
  void Write(const void* src, size_t count) {
    if (!count) return;
    if (FPosition + count > Data.size()) Data.resize(FPosition + count);
    std::memcpy(Data.data() + FPosition, src, count);
    FPosition += count;
  }
  void WriteInt32(int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    uint8_t b[4] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24)};
    Write(b, 4);
  }
  std::string AsString() const { return std::string(Data.begin(), Data.end()); }

  std::vector<uint8_t> Data;

private:
  size_t FPosition = 0;
};

}  // namespace cb
