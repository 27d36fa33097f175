#pragma once
// Byte streams. Positions and sizes are 64-bit; transfers are counted in size_t.
// Read and Write return what they moved; ReadBuffer and WriteBuffer throw on a short
// transfer.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;

  virtual std::size_t Read(void* Buffer, std::size_t Count) = 0;
  virtual std::size_t Write(const void* Buffer, std::size_t Count) = 0;
  // Returns the new position. A target before 0 raises EStreamError.
  virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

  virtual std::int64_t Position();
  virtual void SetPosition(std::int64_t Pos);
  virtual std::int64_t Size();
  // Streams of fixed size raise EStreamError.
  virtual void SetSize(std::int64_t NewSize);

  void ReadBuffer(void* Buffer, std::size_t Count);        // EReadError when short
  void WriteBuffer(const void* Buffer, std::size_t Count); // EWriteError when short

  // Copies Count bytes from Source's position; Count 0 copies all of Source from its
  // start. Returns the bytes copied; a short source raises EReadError.
  std::int64_t CopyFrom(TStream& Source, std::int64_t Count);

  // Whole-content helpers: the content runs from position 0 to Size().
  void SaveToStream(TStream& Dest);
  void SaveToFile(const std::filesystem::path& FileName);
  // Replace the content with Source's whole content; position ends at 0.
  void LoadFromStream(TStream& Source);
  void LoadFromFile(const std::filesystem::path& FileName);
  // Everything from the current position to the end.
  std::string ReadAll();

  // Little-endian 32-bit integers, as stored files hold them. A short read raises EReadError.
  std::int32_t ReadInt32();
  void WriteInt32(std::int32_t Value);
};

// Owns a growable buffer (at most 1 TiB, or 2 GiB in 32-bit builds; more raises
// EStreamError). Seeking past the end is allowed; a write there fills the
// gap with zeros.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> Bytes) : FData(std::move(Bytes)) {}
  std::size_t Read(void* Buffer, std::size_t Count) override;
  std::size_t Write(const void* Buffer, std::size_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  std::int64_t Position() override { return FPosition; }
  std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
  // The same, for a stream held as a value (a stored skin's data).
  std::int64_t Position() const { return FPosition; }
  std::int64_t Size() const { return static_cast<std::int64_t>(FData.size()); }
  void SetSize(std::int64_t NewSize) override;

  void Clear();
  std::uint8_t* Memory() { return FData.data(); }
  const std::uint8_t* Memory() const { return FData.data(); }
  const std::vector<std::uint8_t>& Bytes() const { return FData; }
  // The buffer itself, for code that fills or hands it on whole; a position past its
  // end after a change reads nothing.
  std::vector<std::uint8_t>& Bytes() { return FData; }
  // Bytes from the position to the end (0 when the position is past the end).
  std::size_t Remaining() const {
    return FPosition < static_cast<std::int64_t>(FData.size()) ? FData.size() - static_cast<std::size_t>(FPosition) : 0;
  }
  std::string AsString() const { return std::string(FData.begin(), FData.end()); }

private:
  std::vector<std::uint8_t> FData;
  std::int64_t FPosition = 0;
};

// A view over memory it does not own (a resource, a buffer of the caller). Read-only
// unless constructed writable; never grows.
class TPointerStream : public TStream {
public:
  TPointerStream(const void* Ptr, std::size_t Size);
  TPointerStream(void* Ptr, std::size_t Size, bool ReadOnly);
  std::size_t Read(void* Buffer, std::size_t Count) override;
  std::size_t Write(const void* Buffer, std::size_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  std::int64_t Position() override { return FPosition; }
  std::int64_t Size() override { return static_cast<std::int64_t>(FSize); }
  const std::uint8_t* Memory() const { return FPtr; }

protected:
  TPointerStream() = default;
  // For derived streams that find their memory after construction.
  void SetPointer(const void* Ptr, std::size_t Size, bool ReadOnly = true);

private:
  std::uint8_t* FPtr = nullptr;
  std::size_t FSize = 0;
  std::int64_t FPosition = 0;
  bool FReadOnly = true;
};

// Whole-file helpers for code that wants bytes. Larger than MaxSize: EReadError.
std::string ReadFileBytes(const std::filesystem::path& FileName,
                          std::uint64_t MaxSize = UINT64_MAX);
void WriteFileBytes(const std::filesystem::path& FileName, const void* Data, std::size_t Size);
