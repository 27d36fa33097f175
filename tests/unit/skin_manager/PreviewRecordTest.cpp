// A skin editor's preview record as another process may send it: whole,
// cut short, of another kind, or with texts that run to the end of their fields.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "acPreviewRecord.h"

namespace {

using namespace cb;

std::vector<std::uint8_t> Record(std::uint32_t Magic = kPreviewMagic) {
  std::vector<std::uint8_t> R(kPreviewSize, 0);
  std::memcpy(R.data(), &Magic, sizeof Magic);
  std::memcpy(R.data() + kPreviewNameAt, "Dark", 4);
  std::memcpy(R.data() + kPreviewDirAt, "C:\\Skins", 8);
  std::memcpy(R.data() + kPreviewTextAt, "[OPTIONS]", 9);
  return R;
}

TEST(PreviewRecord, OnlyAWholeRecordOfItsKindIsRead) {
  const std::vector<std::uint8_t> R = Record();
  const auto Read = ReadPreviewRecord(R.data(), R.size());
  ASSERT_TRUE(Read);
  EXPECT_EQ(Read->Name, "Dark");
  EXPECT_EQ(Read->Dir, "C:\\Skins");
  EXPECT_EQ(Read->Text, "[OPTIONS]");
  EXPECT_FALSE(ReadPreviewRecord(R.data(), kPreviewSize - 1)) << "cut short by one byte";
  EXPECT_FALSE(ReadPreviewRecord(nullptr, kPreviewSize));
  EXPECT_FALSE(IsPreviewRecord(R.data(), 3)) << "the magic is read only from 4 bytes that came";
  const std::vector<std::uint8_t> Other = Record(0xA401);
  EXPECT_FALSE(ReadPreviewRecord(Other.data(), Other.size()));
}

TEST(PreviewRecord, TextsEndInsideTheirFieldsWhateverTheSenderWrote) {
  std::vector<std::uint8_t> R = Record();
  std::memset(R.data() + kPreviewNameAt, 'N', kPreviewNameSize);
  std::memset(R.data() + kPreviewTextAt, 'T', kPreviewTextSize);
  const auto Read = ReadPreviewRecord(R.data(), R.size());
  ASSERT_TRUE(Read);
  EXPECT_EQ(Read->Name, std::string(kPreviewNameSize - 1, 'N')) << "the field's last byte counts as zero";
  EXPECT_EQ(Read->Dir, "C:\\Skins");
  EXPECT_EQ(Read->Text, std::string(kPreviewTextSize - 1, 'T'));
}

}  // namespace
