#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "base/Errors.h"
#include "base/Stream.h"

namespace fs = std::filesystem;

namespace {

std::string Content(TMemoryStream& M) { return std::string(M.Bytes().begin(), M.Bytes().end()); }

TEST(MemoryStream, ReadWriteSeek) {
  TMemoryStream M;
  M.WriteBuffer("hello world", 11);
  EXPECT_EQ(M.Size(), 11);
  EXPECT_EQ(M.Position(), 11);
  EXPECT_EQ(M.Seek(-5, TSeekOrigin::soEnd), 6);
  char Buf[16] = {};
  EXPECT_EQ(M.Read(Buf, sizeof Buf), 5u); // short read returns what there is
  EXPECT_STREQ(Buf, "world");
  EXPECT_EQ(M.Read(Buf, 4), 0u);
  M.SetPosition(0);
  M.WriteBuffer("J", 1);
  EXPECT_EQ(Content(M), "Jello world");
  EXPECT_EQ(M.Seek(2, TSeekOrigin::soCurrent), 3);
  EXPECT_THROW(M.Seek(-4, TSeekOrigin::soCurrent), EStreamError);
  EXPECT_EQ(M.Position(), 3); // a refused seek leaves the position
  EXPECT_THROW(M.ReadBuffer(Buf, 9), EReadError);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  TMemoryStream M;
  M.WriteBuffer("ab", 2);
  M.Seek(3, TSeekOrigin::soEnd);
  char Buf[1];
  EXPECT_EQ(M.Read(Buf, 1), 0u);
  EXPECT_EQ(M.Size(), 2); // seeking alone does not grow
  M.WriteBuffer("z", 1);
  EXPECT_EQ(Content(M), std::string("ab\0\0\0z", 6));
}

TEST(MemoryStream, SetSizeAndClear) {
  TMemoryStream M;
  M.WriteBuffer("abcdef", 6);
  M.SetSize(3);
  EXPECT_EQ(M.Position(), 3); // clipped to the new end
  EXPECT_EQ(Content(M), "abc");
  M.SetSize(5);
  EXPECT_EQ(Content(M), std::string("abc\0\0", 5));
  EXPECT_THROW(M.SetSize(-1), EStreamError);
  M.Clear();
  EXPECT_EQ(M.Size(), 0);
  EXPECT_EQ(M.Position(), 0);
  // Many small writes: contents intact after repeated growth.
  for (int I = 0; I < 10000; ++I) {
    const char C = static_cast<char>('a' + I % 26);
    M.WriteBuffer(&C, 1);
  }
  EXPECT_EQ(M.Size(), 10000);
  EXPECT_EQ(M.Memory()[9999], 'a' + 9999 % 26);
}

TEST(MemoryStream, ImpossibleSizesFailAsStreamErrors) {
  TMemoryStream M;
  EXPECT_THROW(M.SetSize(std::int64_t(1) << 62), EStreamError);
  M.Seek(std::numeric_limits<std::int64_t>::max() - 1, TSeekOrigin::soBeginning);
  EXPECT_THROW(M.WriteBuffer("abc", 3), EStreamError);
  EXPECT_THROW(M.Seek(std::numeric_limits<std::int64_t>::max(), TSeekOrigin::soCurrent), EStreamError);
}

TEST(PointerStream, ReadOnlyView) {
  const char Data[] = "resource";
  TPointerStream P(Data, 8);
  EXPECT_EQ(P.Size(), 8);
  char Buf[8];
  P.ReadBuffer(Buf, 3);
  EXPECT_EQ(std::string(Buf, 3), "res");
  EXPECT_EQ(P.Write("x", 1), 0u);
  EXPECT_THROW(P.WriteBuffer("x", 1), EWriteError);
  EXPECT_THROW(P.SetSize(2), EStreamError);
  P.Seek(100, TSeekOrigin::soBeginning);
  EXPECT_EQ(P.Read(Buf, 1), 0u);
  EXPECT_STREQ(Data, "resource");
}

TEST(PointerStream, WritableViewNeverGrows) {
  char Data[4] = {'a', 'b', 'c', 'd'};
  TPointerStream P(Data, 4, false);
  P.Seek(2, TSeekOrigin::soBeginning);
  EXPECT_EQ(P.Write("XYZ", 3), 2u);
  EXPECT_EQ(std::string(Data, 4), "abXY");
  EXPECT_EQ(P.Size(), 4);
  P.SetPosition(3);
  EXPECT_THROW(P.WriteBuffer("12", 2), EWriteError);
}

// Only Read/Write/Seek: the base class supplies Position and Size through Seek, as a
// stream over platform memory may rely on.
class TSeekOnlyStream : public TStream {
public:
  explicit TSeekOnlyStream(std::string S) : FData(std::move(S)) {}
  std::size_t Read(void* Buffer, std::size_t Count) override {
    const std::size_t N = FPos >= FData.size() ? 0 : std::min(Count, FData.size() - FPos);
    std::memcpy(Buffer, FData.data() + FPos, N);
    FPos += N;
    return N;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override {
    const std::int64_t Base = Origin == TSeekOrigin::soBeginning ? 0
                              : Origin == TSeekOrigin::soCurrent ? std::int64_t(FPos)
                                                                 : std::int64_t(FData.size());
    FPos = static_cast<std::size_t>(Base + Offset);
    return Base + Offset;
  }

private:
  std::string FData;
  std::size_t FPos = 0;
};

TEST(Stream, DefaultsAndCopying) {
  TSeekOnlyStream S("0123456789");
  S.Seek(4, TSeekOrigin::soBeginning);
  EXPECT_EQ(S.Size(), 10);
  EXPECT_EQ(S.Position(), 4); // Size() left the position alone
  EXPECT_EQ(S.ReadAll(), "456789");

  TMemoryStream M;
  S.SetPosition(2);
  EXPECT_EQ(M.CopyFrom(S, 3), 3);
  EXPECT_EQ(Content(M), "234");
  EXPECT_EQ(M.CopyFrom(S, 0), 10); // 0: all of the source from its start
  EXPECT_EQ(Content(M), "2340123456789");
  S.SetPosition(8);
  EXPECT_THROW(M.CopyFrom(S, 5), EReadError);
  EXPECT_THROW(M.CopyFrom(S, -1), EStreamError);

  TMemoryStream Dest;
  M.SetPosition(5);
  M.SaveToStream(Dest);
  EXPECT_EQ(Content(Dest), Content(M));
  EXPECT_EQ(M.Position(), 5);
  Dest.LoadFromStream(S);
  EXPECT_EQ(Content(Dest), "0123456789");
  EXPECT_EQ(Dest.Position(), 0);
}

TEST(Stream, CopiesLargerThanOneBlock) {
  TMemoryStream Src;
  std::string Big(200000, '\0');
  for (std::size_t I = 0; I < Big.size(); ++I) Big[I] = static_cast<char>(I * 7);
  Src.WriteBuffer(Big.data(), Big.size());
  TMemoryStream Dst;
  Dst.CopyFrom(Src, 0);
  EXPECT_EQ(Content(Dst), Big);
}

TEST(Stream, Files) {
  const fs::path Dir = fs::temp_directory_path() / "cb_base_stream_test";
  fs::remove_all(Dir);
  fs::create_directories(Dir);
  const fs::path P = Dir / "data.bin";
  TMemoryStream M;
  M.WriteBuffer("\0\x01\x02 bytes", 9);
  M.SaveToFile(P);
  TMemoryStream L;
  L.WriteBuffer("old content that is longer", 26);
  L.LoadFromFile(P);
  EXPECT_EQ(Content(L), std::string("\0\x01\x02 bytes", 9));
  EXPECT_EQ(L.Position(), 0);
  EXPECT_EQ(ReadFileBytes(P), std::string("\0\x01\x02 bytes", 9));
  EXPECT_THROW(ReadFileBytes(P, 8), EReadError);
  EXPECT_THROW(L.LoadFromFile(Dir / "missing"), EFOpenError);
  EXPECT_THROW(L.LoadFromFile(Dir), EFOpenError);
  EXPECT_THROW(M.SaveToFile(Dir / "no" / "such" / "dir"), EFOpenError);
  fs::remove_all(Dir);
}

} // namespace
