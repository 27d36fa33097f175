// What the process holds stays flat: GDI and USER objects and private memory
// after 10,000 state animations of the test button and 200 reloads of the skin.
#include "BindingFixture.h"
#include "tests/support/ResourceCounts.h"

#include <cstdio>

namespace {

using namespace cb;
using namespace cb::test;

TEST(Counting, TheCountsSeeObjectsComeAndGo) {
  // The counting itself is trusted only because it sees these. (A thread's
  // first window brings the system's own along, for as long as it has one.)
  HWND Anchor = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  const int Gdi = GdiObjectCount(), User = UserObjectCount();
  HBRUSH B[10];
  for (HBRUSH& X : B) X = CreateSolidBrush(RGB(1, 2, 3));
  HDC DC = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GdiObjectCount(), Gdi + 11);
  HWND W = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  HWND C = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, W, nullptr, nullptr, nullptr);
  EXPECT_EQ(UserObjectCount(), User + 2);
  DestroyWindow(W);
  (void)C;
  for (HBRUSH X : B) DeleteObject(X);
  DeleteDC(DC);
  EXPECT_EQ(GdiObjectCount(), Gdi);
  EXPECT_EQ(UserObjectCount(), User);
  DestroyWindow(Anchor);
  const std::uint64_t Before = PrivateBytes();
  void* Big = VirtualAlloc(nullptr, 8 << 20, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  EXPECT_GE(PrivateBytes(), Before + (8 << 20) - (64 << 10));
  VirtualFree(Big, 0, MEM_RELEASE);
}

struct TCounts {
  int Gdi, User;
  std::uint64_t Bytes;
  static TCounts Now() { return {GdiObjectCount(), UserObjectCount(), PrivateBytes()}; }
};

void Report(const char* What, const TCounts& B, const TCounts& A) {
  std::printf("%s: GDI %d -> %d, USER %d -> %d, private bytes %llu -> %llu\n", What, B.Gdi, A.Gdi, B.User, A.User,
              static_cast<unsigned long long>(B.Bytes), static_cast<unsigned long long>(A.Bytes));
}

// Heaps keep what they once held; growth beyond this is a leak.
constexpr std::uint64_t kMemorySlack = 1 << 20;

// Shows each step straight on its parent's window, as the skinned speed
// button does, rather than through its parent's paint.
class TStraightButton : public TTestButton {
public:
  using TTestButton::TTestButton;

protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == SKM_COMMAND && CommandOf(M.WParam) == SKC_INVALIDATE)
      if (TacFadeTimer* T = SD.AnimTimer(); T && T->State != -1 && T->BmpOut) {
        T->BmpOut->CopyTo(Canvas()->Handle(), 0, 0);
        return;
      }
    TTestButton::WndProc(M);
  }
};

TEST(Reliability, TenThousandStateAnimationsLeaveNothingBehind) {
  TScene S;
  delete S.Button;
  S.Button = new TStraightButton(&S.F);
  S.Button->SetBounds(30, 40, 87, 22);
  S.Button->SetParent(S.Panel);
  S.Button->SD.Loaded();
  auto M = MakeManager();
  S.F.Show();
  Pump(30);
  S.Button->Repaint();
  TsCommonData& SD = S.Button->SD;
  int Ran = 0;
  auto Animate = [&](int State) {
    if (SD.BGChanged) S.Button->Repaint();  // the cache holds the look the fade starts from
    SD.FMouseAbove = State == 1;
    AnimateStateChange(SD, State, nullptr, false, false, true);
    Ran += SD.AnimTimer() && SD.AnimTimer()->Enabled();
    for (int I = 0; I < 40 && SD.AnimTimer() && SD.AnimTimer()->Enabled(); ++I) SD.AnimTimer()->Tick();
  };
  for (int I = 0; I < 100; ++I) Animate(I % 2 ? 0 : 1);
  Pump(20);
  const TCounts Before = TCounts::Now();
  Ran = 0;
  for (int I = 0; I < 10000; ++I) Animate(I % 2 ? 0 : 1);
  Pump(20);
  EXPECT_EQ(Ran, 10000) << "every change was animated";
  const TCounts After = TCounts::Now();
  Report("10,000 state animations", Before, After);
  EXPECT_EQ(After.Gdi, Before.Gdi);
  EXPECT_EQ(After.User, Before.User);
  EXPECT_LE(After.Bytes, Before.Bytes + kMemorySlack) << Before.Bytes << " -> " << After.Bytes;
}

TEST(Reliability, TwoHundredReloadsOfTheSkinLeaveNothingBehind) {
  TScene S;
  auto M = MakeManager();
  S.F.Show();
  Pump(30);
  for (int I = 0; I < 5; ++I) M->SetSkinName(M->GetSkinName());
  Pump(20);
  const TCounts Before = TCounts::Now();
  for (int I = 0; I < 200; ++I) {
    M->SetSkinName(M->GetSkinName());
    if (I % 20 == 0) Pump(5);  // the windows repaint now and then, as they would
  }
  Pump(20);
  const TCounts After = TCounts::Now();
  Report("200 reloads", Before, After);
  EXPECT_EQ(After.Gdi, Before.Gdi);
  EXPECT_EQ(After.User, Before.User);
  EXPECT_LE(After.Bytes, Before.Bytes + kMemorySlack) << Before.Bytes << " -> " << After.Bytes;
}

TEST(Reliability, AfterEachReloadEveryBindingReadsTheSkinDataThatIsThere) {
  TScene S;
  auto M = MakeManager();
  S.F.Show();
  Pump(30);
  const std::vector<TsCommonData*> Bindings{&S.Panel->SD, &S.Button->SD};
  for (TsCommonData* SD : Bindings) ASSERT_EQ(SD->CommonSkinData(), M->SkinDataArray[0].get()) << "kept before the reload";
  for (int I = 0; I < 20; ++I) {
    // As a held-back change reloads: the data goes, new data comes, and the
    // windows are asked about it before they are told.
    M->BeginUpdate();
    M->ResetSkinData();
    // Takes the place of the freed data, so a kept pointer cannot pass for the new one.
    auto Occupant = std::make_unique<TacSkinData>(M.get(), 96);
    M->SetSkinName(M->GetSkinName());
    for (TsCommonData* SD : Bindings) {
      EXPECT_EQ(SD->CommonSkinData(), M->SkinDataArray[0].get()) << "reload " << I;
      EXPECT_TRUE(SD->Skinned(false));
    }
    M->EndUpdate(true, false);
    Pump(5);
  }
}

}  // namespace
