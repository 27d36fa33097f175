// The skin list: which files of the skin directory count as skins, the
// previews they carry, the worker that fills the list in steps and ends, and
// a request that cannot wait for it.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <set>

#include "../ui/UiTestUtil.h"
#include "sSkinManager.h"
#include "skin/binding/sMessages.h"

namespace {

using namespace cb;

std::uint32_t PreviewPixel(int X, int Y) { return 0xFF000000u | (std::uint32_t(X) << 16) | (std::uint32_t(Y) << 8) | 0x33u; }

// Archive bytes that end with a preview trailer holding a 140 x 100 PNG.
std::vector<std::uint8_t> SkinFileWithPreview() {
  std::vector<std::uint32_t> Pixels(kSkinPreviewWidth * kSkinPreviewHeight);
  for (int Y = 0; Y < kSkinPreviewHeight; ++Y)
    for (int X = 0; X < kSkinPreviewWidth; ++X) Pixels[size_t(Y * kSkinPreviewWidth + X)] = PreviewPixel(X, Y);
  png_image Img{};
  Img.version = PNG_IMAGE_VERSION;
  Img.width = kSkinPreviewWidth;
  Img.height = kSkinPreviewHeight;
  Img.format = PNG_FORMAT_BGRA;
  png_alloc_size_t Size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&Img, nullptr, &Size, 0, Pixels.data(), 0, nullptr));
  std::vector<std::uint8_t> Png(Size);
  EXPECT_TRUE(png_image_write_to_memory(&Img, Png.data(), &Size, 0, Pixels.data(), 0, nullptr));
  Png.resize(Size);
  const std::string Head = "not an archive the list needs to read;previewimg";
  std::vector<std::uint8_t> File(Head.begin(), Head.end());
  for (int I = 0; I < 4; ++I) File.push_back(std::uint8_t(Png.size() >> (8 * I)));
  File.insert(File.end(), Png.begin(), Png.end());
  return File;
}

struct TSkinFolder {
  std::wstring Dir;
  std::vector<std::wstring> Files, Folders;
  TSkinFolder() {
    wchar_t Tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, Tmp);
    Dir = std::wstring(Tmp) + L"cb_skinlist_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount());
    CreateDirectoryW(Dir.c_str(), nullptr);
  }
  ~TSkinFolder() {
    for (auto& F : Files) DeleteFileW((Dir + L"\\" + F).c_str());
    for (auto& F : Folders) RemoveDirectoryW((Dir + L"\\" + F).c_str());
    RemoveDirectoryW(Dir.c_str());
  }
  void File(const std::wstring& Name, const std::vector<std::uint8_t>& Bytes) {
    HANDLE H = CreateFileW((Dir + L"\\" + Name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD W = 0;
    WriteFile(H, Bytes.data(), DWORD(Bytes.size()), &W, nullptr);
    CloseHandle(H);
    Files.push_back(Name);
  }
  void Folder(const std::wstring& Name) {
    CreateDirectoryW((Dir + L"\\" + Name).c_str(), nullptr);
    Folders.push_back(Name);
  }
};

std::vector<std::wstring> Names(const TStringList& sl) {
  std::vector<std::wstring> R;
  for (int I = 0; I < sl.Count(); ++I) R.emplace_back(sl[I].begin(), sl[I].end());
  std::sort(R.begin(), R.end());
  return R;
}

// Records the skin commands a window receives, with their LParam.
class TListSpy : public TForm {
public:
  using TForm::TForm;
  std::vector<std::pair<int, LPARAM>> Commands;

protected:
  void WndProc(TMessage& Msg) override {
    if (Msg.Msg == SKM_COMMAND && (CommandOf(Msg.WParam) == SKC_SKINLISTLOADING || CommandOf(Msg.WParam) == SKC_SKINLISTCHANGED))
      Commands.emplace_back(CommandOf(Msg.WParam), CommandOf(Msg.WParam) == SKC_SKINLISTLOADING ? Msg.LParam : 0);
    TForm::WndProc(Msg);
  }
};

TEST(SkinList, OnlyFilesNamedExactlyAszAreSkinsAndTheirPreviewsAreDecoded) {
  TSkinFolder F;
  F.File(L"Dark.asz", SkinFileWithPreview());
  F.File(L"Light.ASZ", SkinFileWithPreview());
  F.File(L".Hidden.asz", SkinFileWithPreview());
  F.File(L"NoPreview.asz", {1, 2, 3});
  F.Folder(L"Old.asz");
  TsSkinManager M(nullptr);
  M.SetSkinsFilter(sfiExternal);
  M.SetSkinDirectory(F.Dir);
  TStringList sl;
  const std::wstring First = M.GetSkinNames(sl, true);
  EXPECT_EQ(Names(sl), (std::vector<std::wstring>{L"Dark", L"NoPreview"}));
  EXPECT_FALSE(First.empty());
  const int Dark = sl[0] == u"Dark" ? 0 : 1;
  ASSERT_EQ(SkinImageIndexOf(sl, 1 - Dark), -1) << "a file without a preview is listed without one";
  const int Index = SkinImageIndexOf(sl, Dark);
  ASSERT_EQ(Index, 0);
  const Bitmap32& Img = M.SkinListController().Images[size_t(Index)];
  ASSERT_EQ(Img.Width(), kSkinPreviewWidth);
  ASSERT_EQ(Img.Height(), kSkinPreviewHeight);
  for (int Y : {0, 57, kSkinPreviewHeight - 1})
    for (int X : {0, 99, kSkinPreviewWidth - 1}) EXPECT_EQ(Img.Pixel(X, Y), PreviewPixel(X, Y)) << X << "," << Y;
  EXPECT_EQ(M.SkinListController().SkinList[size_t(Dark ? 1 : 0)].skSkinMode, smExtPacked);
}

TEST(SkinList, ARequestWhileTheWorkerAddsGetsTheWholeListAtOnce) {
  TSkinFolder F;
  for (const wchar_t* N : {L"A.asz", L"B.asz", L"C.asz", L"D.asz", L"E.asz", L"F.asz"}) F.File(N, {0});
  TListSpy Spy(nullptr);
  Spy.HandleNeeded();
  TsSkinManager M(nullptr);
  M.SetSkinsFilter(sfiExternal);
  M.SetSkinDirectory(F.Dir);
  TacSkinListController& L = M.SkinListController();
  L.AddControl(&Spy);
  const int Before = TacAddThread::LiveCount();
  ASSERT_TRUE(L.UpdateData(false));
  ASSERT_TRUE(L.WorkerRunning());
  EXPECT_EQ(TacAddThread::LiveCount(), Before + 1);
  Pump(30);  // a step or two, not all eight
  ASSERT_LT(L.SkinList.size(), 6u) << "the worker adds one entry per step";
  TStringList sl;
  M.GetSkinNames(sl);
  EXPECT_EQ(Names(sl), (std::vector<std::wstring>{L"A", L"B", L"C", L"D", L"E", L"F"}));
  EXPECT_FALSE(L.WorkerRunning());
  EXPECT_FALSE(L.UpdateNeeded);
  ASSERT_TRUE(PumpUntil([&] { return TacAddThread::LiveCount() == Before; }));
  Pump(40);
  EXPECT_EQ(L.SkinList.size(), 6u) << "nothing added twice once the worker is told to stop";
  using C = std::vector<std::pair<int, LPARAM>>;
  EXPECT_EQ(Spy.Commands, (C{{SKC_SKINLISTCHANGED, 0}, {SKC_SKINLISTLOADING, 1}, {SKC_SKINLISTLOADING, 0}, {SKC_SKINLISTCHANGED, 0}}));
}

TEST(SkinList, AWorkerOverAMissingDirectoryAddsTheInternalSkinAndEnds) {
  TsSkinManager M(nullptr);
  TsStoredSkin& S = M.InternalSkins.Add();
  S.Name = u"Inner";
  S.PackedData.Bytes() = SkinFileWithPreview();
  M.SetSkinDirectory(L"c:\\cb_no_such_folder\\Skins");
  TacSkinListController& L = M.SkinListController();
  TListSpy Spy(nullptr);
  L.AddControl(&Spy);
  const int Before = TacAddThread::LiveCount();
  ASSERT_TRUE(L.UpdateData(false));
  ASSERT_TRUE(PumpUntil([&] { return TacAddThread::LiveCount() == Before; }, 2000)) << "the worker kept running";
  EXPECT_FALSE(L.WorkerRunning());
  EXPECT_FALSE(L.UpdateNeeded);
  ASSERT_EQ(L.SkinList.size(), 1u);
  EXPECT_EQ(L.SkinList[0].skName, L"Inner");
  EXPECT_EQ(L.SkinList[0].skSkinMode, smInternal);
  ASSERT_EQ(L.SkinList[0].skImageIndex, 0);
  EXPECT_EQ(L.Images[0].Pixel(5, 7), PreviewPixel(5, 7));
  EXPECT_EQ(Spy.Commands.back(), std::make_pair(int(SKC_SKINLISTCHANGED), LPARAM(0))) << "told once the list is complete";
}

}  // namespace
