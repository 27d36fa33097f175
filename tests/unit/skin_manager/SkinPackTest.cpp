#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/FakeSkinHost.h"
#include "SkinPack.h"
#include "acSkinArchive.h"

using namespace cb;
namespace fs = std::filesystem;

namespace {

struct TempFolder {
  fs::path path;
  TempFolder() {
    path = fs::temp_directory_path() / ("cb_skinpack_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                        "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempFolder() { fs::remove_all(path); }
  void Put(const std::string& name, const std::string& text) {
    std::ofstream(path / name, std::ios::binary) << text;
  }
};

}  // namespace

TEST(SkinPack, OptionsFirstOthersSortedAndTheSameBytesEveryTime) {
  TempFolder f;
  f.Put("b.png", "png bytes");
  f.Put("A.BMP", std::string(3000, 'x'));
  f.Put("Options.dat", "[GLOBALINFO]\r\n");
  fs::create_directories(f.path / "sub");
  f.Put("preview.png", "PREVIEW");
  fs::path previewFile = f.path / "sub" / "p.png";
  std::ofstream(previewFile) << "PNG";
  TSkinPackResult a = PackSkinFolder(f.path, previewFile);
  TSkinPackResult b = PackSkinFolder(f.path, previewFile);
  EXPECT_EQ(a.Archive, b.Archive);
  EXPECT_EQ(a.Names, (std::vector<std::string>{"Options.dat", "A.BMP", "b.png", "preview.png"}));
  TMemoryStream s(a.Archive);
  TacSkinConvertor c;
  c.PackedData = &s;
  ASSERT_TRUE(ReadSkinArchive(c, nullptr));
  EXPECT_EQ(c.Options->AsString(), "[GLOBALINFO]\r\n");
  EXPECT_EQ(c.FileCount, 3);
  TMemoryStream img;
  ASSERT_TRUE(ExtractSkinPreview(img, s));
  EXPECT_EQ(img.AsString(), "PNG");
}

TEST(SkinPack, FolderWithoutOptionsIsRefused) {
  TempFolder f;
  f.Put("A.BMP", "x");
  EXPECT_THROW(PackSkinFolder(f.path), ESkinPackError);
  EXPECT_THROW(PackSkinFolder(f.path / "missing"), ESkinPackError);
}
