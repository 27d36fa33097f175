// Stored skins travelling in form descriptions.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "acSkinArchive.h"
#include "sStoredSkinLinks.h"
#include "ui/FormStreaming.h"

namespace {

// Stands where the skin manager will: plain stored skins, published through links.
class TSkinHolder : public TComponent {
  CB_CLASS(TSkinHolder, TComponent)
public:
  explicit TSkinHolder(TComponent* AOwner) : TComponent(AOwner) {
    Skins.OnSkinListChanged = [this] { ++ListChanges; };
  }
  cb::TsStoredSkins Skins;
  int ListChanges = 0;
  TacStoredSkinLinks* InternalSkins() const { return FLinks.get(); }
  static void PublishProperties(TPublisher& P) { P.Collection(L"InternalSkins", &TSkinHolder::InternalSkins); }

private:
  std::unique_ptr<TacStoredSkinLinks> FLinks = std::make_unique<TacStoredSkinLinks>(Skins, this);
};

std::vector<std::uint8_t> Bytes(const std::string& S) { return {S.begin(), S.end()}; }

const std::string kOptions = "[GLOBALINFO]\r\nVERSION=14.01\r\n";
const std::vector<std::uint8_t> kPreview = Bytes("\x89PNG preview bytes");

std::vector<std::uint8_t> Archive() {
  return cb::WriteSkinArchive({{"OPTIONS.DAT", Bytes(kOptions)}, {"BUTTONHUGE.BMP", Bytes("BM....")}}, &kPreview);
}

std::string Description(const std::vector<std::uint8_t>& Data) {
  return "Holder: TSkinHolder {\n"
         "  InternalSkins = <\n"
         "    {\n"
         "      Name = \"MetroUI (internal)\"\n"
         "      Version = 14.01\n"
         "      Author = \"\u5F00\u53D1\u8005\"\n"
         "      Data = base64 {\n" +
         EncodeBase64(Data.data(), Data.size()) +
         "\n      }\n"
         "      OriginName = \"MetroUI.asz\"\n"
         "    }\n"
         "    {\n"
         "      Name = \"Second\"\n"
         "      Shadow1Blur = 4\n"
         "      BorderColor = 0x123456\n"
         "    }\n"
         "  >\n"
         "}\n";
}

}  // namespace

TEST(StoredSkins, DescriptionFillsTheManagersData) {
  RegisterClasses<TSkinHolder>();
  TSkinHolder H(nullptr);
  const std::vector<std::uint8_t> Data = Archive();
  ReadComponentFromText(&H, Description(Data));

  ASSERT_EQ(H.Skins.Count(), 2);
  EXPECT_EQ(H.InternalSkins()->Count(), 2);
  EXPECT_GE(H.ListChanges, 2) << "each new item marks the skin list stale";
  EXPECT_EQ(H.Skins.IndexOf(u"MetroUI (internal)"), 0);
  EXPECT_EQ(H.Skins.IndexOf(u"metroui (internal)"), -1) << "names match exactly";
  EXPECT_EQ(H.Skins.IndexOf(u"Second"), 1);

  const cb::TsStoredSkin& First = H.Skins.Items(0);
  EXPECT_EQ(First.Version, 14.01);
  EXPECT_EQ(First.Author, u"\u5F00\u53D1\u8005");
  EXPECT_EQ(First.OrigName, u"MetroUI.asz");
  EXPECT_EQ(First.PackedData.Bytes(), Data);
  EXPECT_EQ(First.BorderColor, std::int32_t(clMagenta)) << "defaults stand when nothing is stored";
  EXPECT_EQ(First.Shadow1Blur, -1);
  EXPECT_TRUE(First.MasterBitmap.Empty());
  const cb::TsStoredSkin& Second = H.Skins.Items(1);
  EXPECT_EQ(Second.Shadow1Blur, 4);
  EXPECT_EQ(Second.BorderColor, 0x123456);
  EXPECT_EQ(Second.PackedData.Size(), 0u);

  // The bytes are the archive itself: it reads, and its preview is found.
  cb::TacSkinConvertor Conv;
  TMemoryStream Packed = First.PackedData;
  Packed.SetPosition(0);
  Conv.PackedData = &Packed;
  ASSERT_TRUE(cb::ReadSkinArchive(Conv, nullptr));
  Conv.PackedData = nullptr;
  ASSERT_TRUE(Conv.Options);
  EXPECT_EQ(Conv.Options->Bytes(), Bytes(kOptions));
  EXPECT_EQ(Conv.FileCount, 1);
  TMemoryStream Preview;
  ASSERT_TRUE(cb::ExtractSkinPreview(Preview, First.PackedData));
  EXPECT_EQ(Preview.Bytes(), kPreview);
}

TEST(StoredSkins, WrittenDescriptionReadsBackToTheSameSkins) {
  RegisterClasses<TSkinHolder>();
  TSkinHolder A(nullptr);
  A.SetName(L"Holder");
  ReadComponentFromText(&A, Description(Archive()));
  Bitmap32& M = A.Skins.Items(1).MasterBitmap;
  M = Bitmap32(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) M.SetPixel(x, y, 0x80000000u | std::uint32_t(x * 16 + y));
  const std::string T1 = WriteComponentToText(&A);
  EXPECT_NE(T1.find("Version = 14.01\n"), std::string::npos) << T1;
  EXPECT_NE(T1.find("OriginName = \"MetroUI.asz\"\n"), std::string::npos);
  EXPECT_EQ(T1.find("Shadow1Offset"), std::string::npos) << "defaults are not written";
  EXPECT_EQ(T1.find("MasterBitmap"), T1.rfind("MasterBitmap")) << "only the skin that has one writes it";
  // In the stored order: right after the name, before the shadow values.
  const size_t Second = T1.find("Name = \"Second\""), Bmp = T1.find("MasterBitmap"), Blur = T1.find("Shadow1Blur = 4");
  EXPECT_LT(Second, Bmp);
  EXPECT_LT(Bmp, Blur) << T1;

  TSkinHolder B(nullptr);
  ReadComponentFromText(&B, T1);
  ASSERT_EQ(B.Skins.Count(), 2);
  EXPECT_EQ(B.Skins.Items(0).PackedData.Bytes(), A.Skins.Items(0).PackedData.Bytes());
  const Bitmap32& R = B.Skins.Items(1).MasterBitmap;
  ASSERT_EQ(R.Width(), 3);
  ASSERT_EQ(R.Height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(R.Pixel(x, y), M.Pixel(x, y));
  EXPECT_EQ(WriteComponentToText(&B), T1);
}

TEST(StoredSkins, ItemsAndSkinsStayInStep) {
  TSkinHolder H(nullptr);
  auto* Item = H.InternalSkins()->AddItem<TacStoredSkinLink>();
  ASSERT_NE(Item, nullptr);
  Item->SetSkinName(L"One");
  H.InternalSkins()->AddItem<TacStoredSkinLink>()->SetSkinName(L"Two");
  ASSERT_EQ(H.Skins.Count(), 2);
  EXPECT_EQ(&Item->Skin(), &H.Skins.Items(0));
  H.InternalSkins()->AddItem<TacStoredSkinLink>()->SetSkinName(L"Three");
  // Moving an item moves its skin: the first skin is the one a manager falls back to.
  static_cast<TacStoredSkinLink*>(H.InternalSkins()->Items(2))->SetIndex(0);
  ASSERT_EQ(H.Skins.Count(), 3);
  EXPECT_EQ(H.Skins.Items(0).Name, u"Three");
  EXPECT_EQ(H.Skins.Items(1).Name, u"One");
  EXPECT_EQ(H.Skins.Items(2).Name, u"Two");
  Item->SetIndex(2);
  EXPECT_EQ(H.Skins.Items(2).Name, u"One");
  EXPECT_EQ(H.Skins.IndexOf(u"Two"), 1);
  H.InternalSkins()->Delete(0);
  ASSERT_EQ(H.Skins.Count(), 2);
  EXPECT_EQ(H.Skins.Items(0).Name, u"Two");
  H.InternalSkins()->Clear();
  EXPECT_EQ(H.Skins.Count(), 0);

  // A link outside a stored-skins collection has nothing to stand for.
  TCollection Plain(TacStoredSkinLink::StaticClassInfo());
  EXPECT_THROW(Plain.Add(), EComponentError);
  EXPECT_EQ(Plain.Count(), 0);
}

TEST(StoredSkins, DamagedMasterBitmapIsRefusedWithItsLine) {
  RegisterClasses<TSkinHolder>();
  const char* Cases[] = {
      "hex { 02 00 00 00 01 00 00 00 01 02 03 04 }",                      // 2 x 1 needs 8 bytes
      "hex { 00 00 00 00 00 00 00 00 }",                                  // empty size
      "hex { FF FF FF 7F FF FF FF 7F }",                                  // absurd size
      "hex { FF FF FF FF FF FF FF FF }",                                  // product beyond 2^63
      "hex { 01 00 }",                                                    // no header
  };
  for (const char* Value : Cases) {
    TSkinHolder H(nullptr);
    const std::string Text = std::string("Holder: TSkinHolder {\n  InternalSkins = <\n    {\n      Name = \"x\"\n") +
                             "      MasterBitmap = " + Value + "\n    }\n  >\n}\n";
    try {
      ReadComponentFromText(&H, Text);
      ADD_FAILURE() << "accepted " << Value;
    } catch (const EFormError& E) {
      EXPECT_NE(std::string(E.what()).find("line 5"), std::string::npos) << E.what();
    }
    EXPECT_TRUE(H.Skins.Count() == 0 || H.Skins.Items(0).MasterBitmap.Empty());
  }
}
