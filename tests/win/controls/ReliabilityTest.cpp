// Ten thousand hover fades and a thousand switch toggles leave the process's
// GDI and USER objects and its private memory where they were. The fades are
// stepped by hand in place of the 12 ms clock; CB_RELIABILITY_FADES sets their
// number. The form is skinned as the program's are, so its repaints go through
// the off-screen composition. Wine answers GetGuiResources with 0, so the
// objects are counted directly.
#include "ControlsFixture.h"

#include "acSlider.h"
#include "sSkinProvider.h"
#include "sSpeedButton.h"
#include "tests/support/ResourceCounts.h"

namespace {

using namespace cb;
using namespace cb::test;

struct TCounts {
  int Gdi, User;
  std::uint64_t Private;
};

TCounts Now() { return {GdiObjectCount(), UserObjectCount(), PrivateBytes()}; }

void RunOut(TsCommonData& SD) {
  for (int I = 0; I < 100 && SD.AnimTimer() && SD.AnimTimer()->Enabled(); ++I) SD.AnimTimer()->Tick();
}

TEST(Reliability, HoverFadesAndSwitchTogglesLeaveNothingBehind) {
  const char* Env = std::getenv("CB_RELIABILITY_FADES");
  const int Fades = Env ? std::atoi(Env) : 10000;
  TTestForm F(nullptr);
  std::vector<TsSpeedButton*> Buttons;
  for (int I = 0; I < 6; ++I) {
    auto* B = new TsSpeedButton(&F);
    B->SetBounds(10 + I * 56, 10, 54, 22);
    B->SetCaption(L"按钮" + std::to_wstring(I));
    B->SetParent(&F);
    Buttons.push_back(B);
  }
  auto* S = new TsSlider(&F);
  S->SetBounds(10, 60, 33, 15);
  S->SetParent(&F);
  F.HandleNeeded();
  for (auto* B : Buttons) B->SkinData()->Loaded();
  S->SkinData()->Loaded();
  S->Thumb()->SkinData()->Loaded();
  auto M = MakeManager();
  auto Provider = std::make_unique<TsSkinProvider>(&F);
  SendMessageW(F.Handle(), SKM_COMMAND, SkinCommand(SKC_SKINLOADED), reinterpret_cast<LPARAM>(M.get()));
  F.Show();
  Pump(50);
  auto Cycle = [&](int N, int Toggles, bool Animated) {
    for (int I = 0; I < N; I += 2) {
      TsSpeedButton* B = Buttons[size_t(I / 2) % Buttons.size()];
      B->Perform(CM_MOUSEENTER);
      RunOut(*B->SkinData());
      B->Perform(CM_MOUSELEAVE);
      RunOut(*B->SkinData());
      if (I % 40 == 0)
        RedrawWindow(F.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    M->Effects()->SetAllowAnimation(Animated);
    for (int I = 0; I < Toggles; ++I) S->Click();
    M->Effects()->SetAllowAnimation(true);
    Application->ProcessMessages();
  };
  // Every picture and timer made once, in the order of the run below.
  Cycle(40, 4, false);
  Cycle(0, 4, true);
  const TCounts Before = Now();
  Cycle(Fades, 1000, false);
  Cycle(0, 10, true);  // a few with the glide
  const TCounts After = Now();
  EXPECT_EQ(After.Gdi, Before.Gdi);
  EXPECT_EQ(After.User, Before.User);
  EXPECT_LT(After.Private, Before.Private + 256 * 1024) << "private bytes grew";
  printf("fades %d: GDI %d -> %d, USER %d -> %d, private %llu KB -> %llu KB\n", Fades, Before.Gdi, After.Gdi,
         Before.User, After.User, static_cast<unsigned long long>(Before.Private / 1024),
         static_cast<unsigned long long>(After.Private / 1024));
  for (auto* B : Buttons) EXPECT_EQ(B->CurrentState(), 0);
  Provider.reset();
}

}  // namespace
