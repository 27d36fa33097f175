#include "Stream.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>

#include "Errors.h"
#include "Strings.h"

namespace {

constexpr std::size_t CopyBlock = 64 * 1024;
// Far beyond any real use; larger requests are refused before the allocator sees them.
constexpr std::uint64_t MaxMemoryStreamSize = sizeof(void*) >= 8 ? (std::uint64_t(1) << 40) : 0x7FFFFFFFu;

std::string PathText(const std::filesystem::path& P) {
  const auto U = P.u8string();
  return std::string(U.begin(), U.end());
}

// New position after a seek, refusing targets before 0 and arithmetic overflow.
std::int64_t SeekTarget(std::int64_t Offset, TSeekOrigin Origin, std::int64_t Pos, std::int64_t Size) {
  std::int64_t Base = Origin == TSeekOrigin::soBeginning ? 0 : (Origin == TSeekOrigin::soCurrent ? Pos : Size);
  if ((Offset > 0 && Base > std::numeric_limits<std::int64_t>::max() - Offset) || Base + Offset < 0)
    throw EStreamError("Seek outside the stream");
  return Base + Offset;
}

} // namespace

std::int64_t TStream::Position() { return Seek(0, TSeekOrigin::soCurrent); }

void TStream::SetPosition(std::int64_t Pos) { Seek(Pos, TSeekOrigin::soBeginning); }

std::int64_t TStream::Size() {
  const std::int64_t Pos = Seek(0, TSeekOrigin::soCurrent);
  const std::int64_t End = Seek(0, TSeekOrigin::soEnd);
  Seek(Pos, TSeekOrigin::soBeginning);
  return End;
}

void TStream::SetSize(std::int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* Buffer, std::size_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, std::size_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& Source, std::int64_t Count) {
  if (Count < 0) throw EStreamError("Negative copy count");
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  std::vector<std::uint8_t> Buf(static_cast<std::size_t>(std::min<std::int64_t>(Count, CopyBlock)));
  std::int64_t Left = Count;
  while (Left > 0) {
    const std::size_t N = static_cast<std::size_t>(std::min<std::int64_t>(Left, CopyBlock));
    Source.ReadBuffer(Buf.data(), N);
    WriteBuffer(Buf.data(), N);
    Left -= static_cast<std::int64_t>(N);
  }
  return Count;
}

void TStream::SaveToStream(TStream& Dest) {
  const std::int64_t Pos = Position();
  Dest.CopyFrom(*this, 0);
  SetPosition(Pos);
}

void TStream::SaveToFile(const std::filesystem::path& FileName) {
  std::ofstream F(FileName, std::ios::binary | std::ios::trunc);
  if (!F) throw EFOpenError("Cannot create file \"" + PathText(FileName) + "\"");
  const std::int64_t Pos = Position();
  SetPosition(0);
  std::vector<char> Buf(CopyBlock);
  for (;;) {
    const std::size_t N = Read(Buf.data(), Buf.size());
    if (N == 0) break;
    F.write(Buf.data(), static_cast<std::streamsize>(N));
  }
  SetPosition(Pos);
  F.flush();
  if (!F) throw EWriteError("Cannot write file \"" + PathText(FileName) + "\"");
}

void TStream::LoadFromStream(TStream& Source) {
  SetPosition(0);
  SetSize(0);
  CopyFrom(Source, 0);
  SetPosition(0);
}

void TStream::LoadFromFile(const std::filesystem::path& FileName) {
  const std::string Bytes = ReadFileBytes(FileName);
  SetPosition(0);
  SetSize(0);
  WriteBuffer(Bytes.data(), Bytes.size());
  SetPosition(0);
}

std::string TStream::ReadAll() {
  const std::int64_t Left = Size() - Position();
  if (Left <= 0) return std::string();
  if (static_cast<std::uint64_t>(Left) > std::numeric_limits<std::size_t>::max() / 2)
    throw EReadError("Stream too large to read into memory");
  std::string R(static_cast<std::size_t>(Left), '\0');
  ReadBuffer(R.data(), R.size());
  return R;
}

std::int32_t TStream::ReadInt32() {
  std::uint8_t B[4];
  ReadBuffer(B, 4);
  return static_cast<std::int32_t>(std::uint32_t(B[0]) | std::uint32_t(B[1]) << 8 | std::uint32_t(B[2]) << 16 |
                                   std::uint32_t(B[3]) << 24);
}

void TStream::WriteInt32(std::int32_t Value) {
  const std::uint32_t U = static_cast<std::uint32_t>(Value);
  const std::uint8_t B[4] = {std::uint8_t(U), std::uint8_t(U >> 8), std::uint8_t(U >> 16), std::uint8_t(U >> 24)};
  WriteBuffer(B, 4);
}

// TMemoryStream

std::size_t TMemoryStream::Read(void* Buffer, std::size_t Count) {
  const std::int64_t Size = static_cast<std::int64_t>(FData.size());
  if (FPosition >= Size || Count == 0) return 0;
  const std::size_t Avail = static_cast<std::size_t>(Size - FPosition);
  const std::size_t N = std::min(Count, Avail);
  std::memcpy(Buffer, FData.data() + FPosition, N);
  FPosition += static_cast<std::int64_t>(N);
  return N;
}

std::size_t TMemoryStream::Write(const void* Buffer, std::size_t Count) {
  if (Count == 0) return 0;
  if (Count > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - FPosition))
    throw EWriteError("Stream write error");
  const std::int64_t End = FPosition + static_cast<std::int64_t>(Count);
  if (End > Size()) SetSize(End);
  std::memcpy(FData.data() + FPosition, Buffer, Count);
  FPosition = End;
  return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  FPosition = SeekTarget(Offset, Origin, FPosition, Size());
  return FPosition;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
  if (NewSize < 0) throw EStreamError("Negative stream size");
  if (static_cast<std::uint64_t>(NewSize) > MaxMemoryStreamSize ||
      static_cast<std::uint64_t>(NewSize) > FData.max_size())
    throw EStreamError("Out of memory while expanding memory stream");
  try {
    // Grow geometrically so that many small writes stay linear overall.
    const std::size_t N = static_cast<std::size_t>(NewSize);
    if (N > FData.capacity()) FData.reserve(std::max(N, FData.capacity() + FData.capacity() / 2));
    FData.resize(N);
  } catch (const std::bad_alloc&) {
    throw EStreamError("Out of memory while expanding memory stream");
  } catch (const std::length_error&) {
    throw EStreamError("Out of memory while expanding memory stream");
  }
  if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

// TPointerStream

TPointerStream::TPointerStream(const void* Ptr, std::size_t Size) { SetPointer(Ptr, Size, true); }

TPointerStream::TPointerStream(void* Ptr, std::size_t Size, bool ReadOnly) { SetPointer(Ptr, Size, ReadOnly); }

void TPointerStream::SetPointer(const void* Ptr, std::size_t Size, bool ReadOnly) {
  FPtr = static_cast<std::uint8_t*>(const_cast<void*>(Ptr));
  FSize = Ptr ? Size : 0;
  FPosition = 0;
  FReadOnly = ReadOnly;
}

std::size_t TPointerStream::Read(void* Buffer, std::size_t Count) {
  if (FPosition < 0 || static_cast<std::uint64_t>(FPosition) >= FSize || Count == 0) return 0;
  const std::size_t Pos = static_cast<std::size_t>(FPosition);
  const std::size_t N = std::min(Count, FSize - Pos);
  std::memcpy(Buffer, FPtr + Pos, N);
  FPosition += static_cast<std::int64_t>(N);
  return N;
}

std::size_t TPointerStream::Write(const void* Buffer, std::size_t Count) {
  if (FReadOnly || static_cast<std::uint64_t>(FPosition) >= FSize || Count == 0) return 0;
  const std::size_t Pos = static_cast<std::size_t>(FPosition);
  const std::size_t N = std::min(Count, FSize - Pos);
  std::memcpy(FPtr + Pos, Buffer, N);
  FPosition += static_cast<std::int64_t>(N);
  return N;
}

std::int64_t TPointerStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  FPosition = SeekTarget(Offset, Origin, FPosition, static_cast<std::int64_t>(FSize));
  return FPosition;
}

// Files

std::string ReadFileBytes(const std::filesystem::path& FileName, std::uint64_t MaxSize) {
  std::error_code Ec;
  if (std::filesystem::is_directory(FileName, Ec))
    throw EFOpenError("Cannot open file \"" + PathText(FileName) + "\": it is a directory");
  std::ifstream F(FileName, std::ios::binary);
  if (!F) throw EFOpenError("Cannot open file \"" + PathText(FileName) + "\"");
  std::string R;
  std::vector<char> Buf(CopyBlock);
  // Read in blocks rather than trusting a size asked up front: the file may be a
  // device or grow while it is read.
  while (F) {
    F.read(Buf.data(), static_cast<std::streamsize>(Buf.size()));
    const std::size_t N = static_cast<std::size_t>(F.gcount());
    if (N == 0) break;
    if (R.size() + N > MaxSize || R.size() + N > R.max_size() / 2)
      throw EReadError("File \"" + PathText(FileName) + "\" is larger than " + std::to_string(MaxSize) + " bytes");
    R.append(Buf.data(), N);
  }
  if (F.bad()) throw EReadError("Cannot read file \"" + PathText(FileName) + "\"");
  return R;
}

void WriteFileBytes(const std::filesystem::path& FileName, const void* Data, std::size_t Size) {
  std::ofstream F(FileName, std::ios::binary | std::ios::trunc);
  if (!F) throw EFOpenError("Cannot create file \"" + PathText(FileName) + "\"");
  F.write(static_cast<const char*>(Data), static_cast<std::streamsize>(Size));
  F.flush();
  if (!F) throw EWriteError("Cannot write file \"" + PathText(FileName) + "\"");
}
