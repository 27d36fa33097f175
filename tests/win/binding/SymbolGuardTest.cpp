// A regression guard for the standard symbols: every pixel, alpha included,
// at 100 % and 200 %, against pictures rendered once and accepted by eye (they
// catch a change, they do not prove a symbol right). The icon font is the program's
// own resource, so only the four Marlett symbols depend on the system's fonts.
//
// CB_UPDATE_GUARDS=1 writes the pictures instead of comparing (then look at
// them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "skin/paint/ImageDecoders.h"
#include "skin/binding/sCharImageList.h"
#include "tests/support/SkinImages.h"

namespace {

using namespace cb;

std::wstring AcceptedPath(int PPI) {
  const std::string Dir = CB_GUARD_DIR;
  return L"Z:" + std::wstring(Dir.begin(), Dir.end()) + L"/StdSymbols" + std::to_wstring(PPI) + L".png";
}

bool ReadAll(const std::wstring& Path, std::vector<std::uint8_t>& Out) {
  HANDLE F = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (F == INVALID_HANDLE_VALUE) return false;
  Out.resize(GetFileSize(F, nullptr));
  DWORD Got = 0;
  const bool Ok = ReadFile(F, Out.data(), static_cast<DWORD>(Out.size()), &Got, nullptr) && Got == Out.size();
  CloseHandle(F);
  return Ok;
}

bool WriteAll(const std::wstring& Path, const std::vector<std::uint8_t>& Data) {
  HANDLE F = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (F == INVALID_HANDLE_VALUE) return false;
  DWORD Put = 0;
  WriteFile(F, Data.data(), static_cast<DWORD>(Data.size()), &Put, nullptr);
  CloseHandle(F);
  return Put == Data.size();
}

// All 25 symbols side by side, black with their coverage as alpha.
Bitmap32 Strip(int PPI) {
  TsCharImageList& L = StdCharList();
  L.GenerateStdList(PPI);
  const int W = L.ScaledWidth(), H = L.ScaledHeight();
  Bitmap32 S(W * 25, H);
  for (int I = 0; I < 25; ++I) {
    std::unique_ptr<Bitmap32> B = L.CreateBitmap32Color(I, W, 0, 0, H);
    if (!B) continue;
    for (int Y = 0; Y < H; ++Y)
      for (int X = 0; X < W; ++X) S.SetPixel(I * W + X, Y, B->Pixel(X, Y));
  }
  L.GenerateStdList(96);
  return S;
}

void CompareWithAccepted(int PPI) {
  ASSERT_TRUE(RegisterIconFont());
  Bitmap32 Now = Strip(PPI);
  const std::vector<std::uint8_t> Png =
      cb::test::MakePngRgba(Now.Width(), Now.Height(), [&](int X, int Y) { return Now.Pixel(X, Y); });
  if (std::getenv("CB_UPDATE_GUARDS")) {
    ASSERT_TRUE(WriteAll(AcceptedPath(PPI), Png));
    GTEST_SKIP() << "written; look at it before committing";
  }
  std::vector<std::uint8_t> Bytes;
  ASSERT_TRUE(ReadAll(AcceptedPath(PPI), Bytes)) << "the accepted picture";
  TDecodedImage G = DecodePng(Bytes.data(), Bytes.size());
  ASSERT_EQ(G.Bmp.Width(), Now.Width());
  ASSERT_EQ(G.Bmp.Height(), Now.Height());
  std::vector<int> Wrong(25, 0);
  const int W = Now.Width() / 25;
  for (int Y = 0; Y < Now.Height(); ++Y)
    for (int X = 0; X < Now.Width(); ++X) Wrong[static_cast<size_t>(X / W)] += Now.Pixel(X, Y) != G.Bmp.Pixel(X, Y);
  for (int I = 0; I < 25; ++I) EXPECT_EQ(Wrong[static_cast<size_t>(I)], 0) << "symbol " << I << " at " << PPI;
  if (::testing::Test::HasFailure()) WriteAll(L"StdSymbols" + std::to_wstring(PPI) + L".actual.png", Png);
}

TEST(SymbolRegressionGuard, TheStandardSymbolsAt100PercentLookAsAccepted) { CompareWithAccepted(96); }

TEST(SymbolRegressionGuard, TheStandardSymbolsAt200PercentLookAsAccepted) { CompareWithAccepted(192); }

}  // namespace
