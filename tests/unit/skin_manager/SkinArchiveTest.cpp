#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "tests/support/FakeSkinHost.h"
#include "acSkinArchive.h"

using namespace cb;
using namespace cb::test;

namespace {

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// A raw entry with a zlib stream compressed from `packedFrom` but stating `stated` bytes.
void AppendRawEntry(std::vector<uint8_t>& out, const std::string& name, int32_t stated,
                    const std::vector<uint8_t>& packedFrom) {
  TMemoryStream s;
  s.WriteInt32(static_cast<int32_t>(name.size()));
  s.Write(name.data(), name.size());
  s.WriteInt32(stated);
  uLongf bound = compressBound(static_cast<uLong>(packedFrom.size()));
  std::vector<uint8_t> z(bound);
  compress2(z.data(), &bound, packedFrom.data(), static_cast<uLong>(packedFrom.size()), 9);
  s.Write(z.data(), bound);
  out.insert(out.end(), s.Bytes().begin(), s.Bytes().end());
}

std::vector<uint8_t> Header(int32_t n) {
  TMemoryStream s;
  s.Write("ASzf", 4);
  s.WriteInt32(n);
  return s.Bytes();
}

struct Read {
  TacSkinConvertor c;
  TMemoryStream data;
  bool ok = false;
  explicit Read(std::vector<uint8_t> bytes, TacSkinHost* host = nullptr) : data(std::move(bytes)) {
    c.PackedData = &data;
    ok = ReadSkinArchive(c, host);
  }
};

}  // namespace

TEST(SkinArchive, RoundTripKeepsEntriesTypesAndStopsBeforePreview) {
  std::vector<uint8_t> big = RandomBytes(300000, 1);  // incompressible: spans several input blocks
  std::vector<TacArchiveEntry> entries = {
      {"BUTTONHUGE.BMP", Bytes("BM fake bitmap")},
      {"options.dat", Bytes("[GLOBALINFO]\r\nVERSION=14.01\r\n")},
      {"Big.png", big},
      {"Face.ttf", Bytes("font")},
      {"Other.OTF", {}},
      {"photo.jpg", Bytes("jpeg")},
  };
  std::vector<uint8_t> preview = Bytes("PNGDATA");
  std::vector<uint8_t> bytes = WriteSkinArchive(entries, &preview);
  Read r(bytes);
  ASSERT_TRUE(r.ok);
  ASSERT_TRUE(r.c.Options);
  EXPECT_EQ(r.c.Options->AsString(), "[GLOBALINFO]\r\nVERSION=14.01\r\n");
  ASSERT_EQ(r.c.FileCount, 5);
  ASSERT_EQ(r.c.Files.size(), 5u);
  EXPECT_EQ(r.c.Files[0].Name, u"BUTTONHUGE.BMP");
  EXPECT_EQ(r.c.Files[0].FileType, ftBmp);
  EXPECT_EQ(r.c.Files[1].FileType, ftOther);
  EXPECT_EQ(r.c.Files[1].Stream->Bytes(), big);
  EXPECT_EQ(r.c.Files[2].FileType, ftFont);
  EXPECT_EQ(r.c.Files[3].FileType, ftFont);
  EXPECT_EQ(r.c.Files[3].Stream->Size(), 0u);
  EXPECT_EQ(r.c.Files[4].FileType, ftOther);
  EXPECT_EQ(r.c.Files[4].Stream->AsString(), "jpeg");
  // The reader stands exactly on the preview trailer, which it never reads.
  EXPECT_EQ(r.data.Position(), bytes.size() - 10 - 4 - preview.size());
  EXPECT_EQ(r.c.FindByUpperName("BIG.PNG"), &r.c.Files[1]);
  EXPECT_EQ(r.c.FindByUpperName("Big.png"), nullptr);
  EXPECT_EQ(r.c.FindByExactName("Face.ttf"), &r.c.Files[2]);
  EXPECT_EQ(r.c.FindByExactName("FACE.TTF"), nullptr);

  TMemoryStream dest;
  ASSERT_TRUE(ExtractSkinPreview(dest, r.data));
  EXPECT_EQ(dest.Bytes(), preview);
  EXPECT_EQ(dest.Position(), 0u);
}

TEST(SkinArchive, WriterIsDeterministicAndUsesMaximumCompression) {
  std::vector<TacArchiveEntry> e = {{"OPTIONS.DAT", std::vector<uint8_t>(5000, 'a')}};
  auto a = WriteSkinArchive(e), b = WriteSkinArchive(e);
  EXPECT_EQ(a, b);
  // zlib header of level 9: 0x78 0xDA.
  ASSERT_GT(a.size(), 25u);
  EXPECT_EQ(a[8 + 4 + 11 + 4], 0x78);
  EXPECT_EQ(a[8 + 4 + 11 + 5], 0xDA);
}

TEST(SkinArchive, FileTypes) {
  EXPECT_EQ(FileTypeOfName("A.bmp"), ftBmp);
  EXPECT_EQ(FileTypeOfName("a.ttf"), ftFont);
  EXPECT_EQ(FileTypeOfName("a.OTF"), ftFont);
  EXPECT_EQ(FileTypeOfName("a.jpg"), ftOther);
  EXPECT_EQ(FileTypeOfName("bmp"), ftOther);
  EXPECT_EQ(FileTypeOfName("a.bmp.png"), ftOther);
}

TEST(SkinArchive, WrongMagicShowsMessageAndReadsNothing) {
  FakeSkinHost host;
  Read r(Bytes("ASzF\1\0\0\0"), &host);
  EXPECT_FALSE(r.ok);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].first, "Loaded data is not a packed Lumiskin file");
  EXPECT_EQ(host.messages[0].second, TacMsgKind::mkError);
  EXPECT_FALSE(r.c.Options);
  Read empty(std::vector<uint8_t>{}, &host);
  EXPECT_FALSE(empty.ok);
}

TEST(SkinArchive, AMagicWithoutACountHoldsNoEntries) {
  for (size_t size : {4, 5, 7}) {
    FakeSkinHost host;
    Read r(Bytes(std::string("ASzf\0\0\0", size)), &host);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.c.Options);
    EXPECT_TRUE(r.c.Files.empty());
    EXPECT_EQ(r.c.FileCount, 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(r.data.Position(), r.data.Size());  // left at its end, never beyond
  }
}

TEST(SkinArchive, BadCountsAndSizesAreErrors) {
  auto expectError = [](std::vector<uint8_t> bytes, const char* what) {
    TacSkinConvertor c;
    TMemoryStream s(std::move(bytes));
    c.PackedData = &s;
    EXPECT_THROW(ReadSkinArchive(c, nullptr), EacSkinArchiveError) << what;
  };
  expectError(Header(-1), "negative count");
  expectError(Header(0x7FFFFFFF), "huge count");
  expectError(Header(1), "count beyond data");
  std::vector<uint8_t> content = Bytes("hello");
  {
    auto b = Header(1);
    AppendRawEntry(b, "A.BMP", 5, content);
    b[8] = 0xFF, b[9] = 0xFF, b[10] = 0xFF, b[11] = 0xFF;  // name length -1
    expectError(b, "negative name length");
    b[8] = 0x00, b[9] = 0x00, b[10] = 0x10, b[11] = 0x00;  // 1 MB name
    expectError(b, "huge name length");
  }
  {
    auto b = Header(1);
    AppendRawEntry(b, "A.BMP", -5, content);
    expectError(b, "negative size");
  }
  {
    auto b = Header(1);
    AppendRawEntry(b, "A.BMP", 0x7FFFFFF0, content);
    expectError(b, "huge size");
  }
  {
    auto b = Header(1);
    AppendRawEntry(b, "A.BMP", 6, content);
    expectError(b, "fewer bytes than stated");
  }
  {
    auto b = Header(1);
    AppendRawEntry(b, "A.BMP", 4, content);
    expectError(b, "more bytes than stated");
  }
  {
    auto b = Header(1);
    AppendRawEntry(b, "A.BMP", 5, content);
    b[b.size() - 8] ^= 0x55;  // damage the deflate data / checksum
    expectError(b, "corrupt stream");
  }
}

// Every field of an entry's zlib wrapper that zlib refuses is an error of the
// archive, with zlib's reason where it gives one.
TEST(SkinArchive, DamagedWrappersAreErrors) {
  const std::vector<uint8_t> content = RandomBytes(3000, 4);
  auto expectError = [](std::vector<uint8_t> bytes, const char* what) {
    TacSkinConvertor c;
    TMemoryStream s(std::move(bytes));
    c.PackedData = &s;
    try {
      ReadSkinArchive(c, nullptr);
      ADD_FAILURE() << "no error for " << what;
    } catch (const EacSkinArchiveError& e) {
      EXPECT_NE(std::string(e.what()).find("damaged compressed data"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
    }
  };
  auto entry = [&] {
    auto b = Header(1);
    AppendRawEntry(b, "A.BMP", static_cast<int32_t>(content.size()), content);
    return b;
  };
  const size_t head = 8 + 4 + 5 + 4;  // the count, the name and the size before the stream
  for (size_t i = 1; i <= 4; ++i) {
    auto b = entry();
    b[b.size() - i] ^= 0x01;  // each byte of the checksum
    expectError(b, "incorrect data check");
  }
  {
    auto b = entry();
    b[head] = static_cast<uint8_t>((b[head] & 0xF0) | 7);  // not deflate (8)
    b[head + 1] = static_cast<uint8_t>(b[head + 1] - ((b[head] << 8 | b[head + 1]) % 31));
    expectError(b, "unknown compression method");
  }
  {
    auto b = entry();
    b[head] = 0x88;  // a window of 2^16 bytes, more than deflate allows
    b[head + 1] = static_cast<uint8_t>(b[head + 1] - ((b[head] << 8 | b[head + 1]) % 31));
    expectError(b, "invalid window size");
  }
  {
    auto b = entry();
    b[head + 1] ^= 0x01;  // the header's own check
    expectError(b, "incorrect header check");
  }
  {
    auto b = entry();
    b[head + 1] = 0x20;  // a preset dictionary, with the check made to hold
    b[head + 1] = static_cast<uint8_t>(b[head + 1] + (31 - (b[head] << 8 | b[head + 1]) % 31) % 31);
    expectError(b, "");
  }
  {
    auto b = entry();
    b[head + 2] = 0x07;  // a final block of the reserved type
    expectError(b, "invalid block type");
  }
}

TEST(SkinArchive, EveryTruncationIsAnError) {
  std::vector<TacArchiveEntry> e = {{"OPTIONS.DAT", Bytes("[A]\nB=1\n")}, {"X.BMP", RandomBytes(700, 3)}};
  auto full = WriteSkinArchive(e);
  for (size_t cut = 8; cut < full.size(); ++cut) {
    std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
    TacSkinConvertor c;
    TMemoryStream s(part);
    c.PackedData = &s;
    EXPECT_THROW(ReadSkinArchive(c, nullptr), EacSkinArchiveError) << "cut at " << cut;
  }
}

TEST(SkinArchive, EmptyEntryIsReadAndTheNextEntryFollowsIt) {
  auto b = Header(3);
  AppendRawEntry(b, "EMPTY.BMP", 0, {});
  AppendRawEntry(b, "OPTIONS.DAT", 3, Bytes("[A]"));
  AppendRawEntry(b, "NEXT.PNG", 2, Bytes("ok"));
  Read r(b);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.c.FileCount, 2);
  EXPECT_EQ(r.c.Files[0].Stream->Size(), 0u);
  EXPECT_EQ(r.c.Files[1].Stream->AsString(), "ok");
  EXPECT_EQ(r.c.Options->AsString(), "[A]");
}

TEST(SkinArchive, FileCountNeverExceedsTheItemsRead) {
  // No options entry: every entry is a file; two options entries: the last wins.
  Read none(WriteSkinArchive({{"A.BMP", Bytes("a")}, {"B.BMP", Bytes("b")}}));
  EXPECT_FALSE(none.c.Options);
  EXPECT_EQ(none.c.FileCount, 2);
  Read two(WriteSkinArchive({{"OPTIONS.DAT", Bytes("1")}, {"Options.Dat", Bytes("2")}, {"C.BMP", Bytes("c")}}));
  EXPECT_EQ(two.c.Options->AsString(), "2");
  EXPECT_EQ(two.c.FileCount, 1);
  EXPECT_EQ(two.c.FindByUpperName("C.BMP")->Stream->AsString(), "c");
}

TEST(SkinArchive, ClearEmptiesEverythingAndKeepsALentStream) {
  TMemoryStream lent(WriteSkinArchive({{"OPTIONS.DAT", Bytes("x")}, {"A.BMP", Bytes("a")}}));
  TacSkinConvertor c;
  c.PackedData = &lent;
  ASSERT_TRUE(ReadSkinArchive(c, nullptr));
  c.Clear();
  EXPECT_TRUE(c.Files.empty());
  EXPECT_EQ(c.FileCount, 0);
  EXPECT_FALSE(c.Options);
  EXPECT_EQ(c.PackedData, nullptr);
  EXPECT_FALSE(lent.Bytes().empty());
}

TEST(SkinArchive, LoadFileReadsExistingFilesOnly) {
  FakeSkinHost host;
  TacSkinConvertor c;
  c.Options = std::make_unique<TMemoryStream>(Bytes("old"));
  LoadSkinArchiveFile(u"C:\\Skins\\Missing.asz", c, host);
  EXPECT_EQ(c.Options->AsString(), "old");
  host.files[u"C:\\Skins\\Dark.asz"] = WriteSkinArchive({{"OPTIONS.DAT", Bytes("new")}});
  LoadSkinArchiveFile(u"C:\\Skins\\Dark.asz", c, host);
  EXPECT_EQ(c.Options->AsString(), "new");
  EXPECT_EQ(c.PackedData, nullptr);
  host.files[u"C:\\Skins\\Bad.asz"] = Bytes("nonsense");
  LoadSkinArchiveFile(u"C:\\Skins\\Bad.asz", c, host);
  EXPECT_FALSE(c.Options);
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST(SkinPreview, FoundMissingAndDamagedTrailers) {
  TMemoryStream dest(Bytes("keep"));
  EXPECT_FALSE(ExtractSkinPreview(dest, TMemoryStream(Bytes("ASzf no trailer here"))));
  EXPECT_EQ(dest.AsString(), "keep");
  TMemoryStream shortSize(Bytes("..previewimg\x05\x00"));
  EXPECT_FALSE(ExtractSkinPreview(dest, shortSize));
  TMemoryStream tooLong(Bytes(std::string("..previewimg\x09\x00\x00\x00", 16) + "abc"));
  EXPECT_FALSE(ExtractSkinPreview(dest, tooLong));
  TMemoryStream negative(Bytes(std::string("previewimg\xFF\xFF\xFF\xFF", 14) + "abc"));
  EXPECT_FALSE(ExtractSkinPreview(dest, negative));
  EXPECT_EQ(dest.AsString(), "keep");
  // Only the first occurrence counts: here its size field reads "prev", far too large.
  TMemoryStream two(Bytes(std::string("xxpreviewimgpreviewimg\x03\x00\x00\x00", 26) + "abcdef"));
  EXPECT_FALSE(ExtractSkinPreview(dest, two));
  TMemoryStream clean(Bytes(std::string("zzzpreviewimg\x03\x00\x00\x00", 17) + "abcdef"));
  ASSERT_TRUE(ExtractSkinPreview(dest, clean));
  EXPECT_EQ(dest.AsString(), "abc");
  FakeSkinHost host;
  EXPECT_FALSE(ExtractSkinPreview(dest, u"C:\\none.asz", host));
  host.files[u"C:\\p.asz"] = clean.Bytes();
  dest.Clear();
  EXPECT_TRUE(ExtractSkinPreview(dest, u"C:\\p.asz", host));
  EXPECT_EQ(dest.AsString(), "abc");
}

TEST(SkinPreview, HorspoolSearchAgreesWithNaiveSearch) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string hay(rng() % 200, 'a');
    for (char& ch : hay) ch = "abp"[rng() % 3];
    std::string needle(1 + rng() % 4, 'a');
    for (char& ch : needle) ch = "abp"[rng() % 3];
    size_t expect = hay.find(needle);
    std::ptrdiff_t got = FindBytes(reinterpret_cast<const uint8_t*>(hay.data()), hay.size(), needle.data(), needle.size());
    EXPECT_EQ(got, expect == std::string::npos ? -1 : static_cast<std::ptrdiff_t>(expect)) << hay << " / " << needle;
  }
}
