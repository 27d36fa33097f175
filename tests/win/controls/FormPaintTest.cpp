// A skinned form composes its windowless children off the screen and copies
// the result to the window once: what reaches the window must be, pixel for
// pixel, what each child paints for itself (the picture WM_PRINT takes), for
// whole and partial repaints, with looks and fades under way.
#include "ControlsFixture.h"
#include "sLabel.h"
#include "sSkinProvider.h"
#include "sSpeedButton.h"

namespace {

using namespace cb;
using namespace cb::test;

// The client area as the window shows it now.
std::vector<std::uint32_t> Shown(HWND Wnd, int W, int H) {
  return Capture32(W, H, [&](HDC Mem) {
    HDC DC = GetDC(Wnd);
    BitBlt(Mem, 0, 0, W, H, DC, 0, 0, SRCCOPY);
    ReleaseDC(Wnd, DC);
  });
}

int Differing(const std::vector<std::uint32_t>& A, const std::vector<std::uint32_t>& B) {
  int N = 0;
  for (size_t I = 0; I < A.size() && I < B.size(); ++I) N += A[I] != B[I];
  return N + static_cast<int>(A.size() > B.size() ? A.size() - B.size() : B.size() - A.size());
}

struct TFormScene {
  std::unique_ptr<TsSkinManager> M;
  TForm* F = nullptr;
  std::unique_ptr<TsSkinProvider> Provider;
  std::vector<TsSpeedButton*> Buttons;
  TsLabel* Label = nullptr;
  int W = 0, H = 0;
  TFormScene() {
    M = MakeManager();
    F = new TForm(nullptr);
    F->SetBorderStyle(bsSingle);
    F->SetPosition(poDesigned);
    F->SetBounds(120, 120, 360, 200);
    F->Font()->SetName(L"微软雅黑");
    F->Font()->SetHeight(-12);
    for (int I = 0; I < 8; ++I) {
      auto* B = new TsSpeedButton(F);
      // Two rows; the last button hangs over the right edge.
      B->SetBounds(I < 4 ? 12 + I * 70 : 40 + (I - 4) * 90, I < 4 ? 12 : 60, I < 4 ? 66 : 87, 22);
      B->SetCaption(L"按钮" + std::to_wstring(I));
      B->SetParent(F);
      Buttons.push_back(B);
    }
    // A label over part of a button: the later child paints on top.
    Label = new TsLabel(F);
    Label->SetBounds(50, 20, 60, 17);
    Label->SetCaption(L"提示");
    Label->SetParent(F);
    // Skinned as the creation hook skins the program's forms (not installed
    // here: it would skin every later suite's forms too).
    F->HandleNeeded();
    Provider = std::make_unique<TsSkinProvider>(F);
    Provider->UseGlobalColor = false;
    Provider->MakeSkinMenu = false;
    SendMessageW(F->Handle(), SKM_COMMAND, SkinCommand(SKC_SKINLOADED), reinterpret_cast<LPARAM>(M.get()));
    MovePointer(2, 2);  // no button hot by the pointer's chance position
    F->Show();
    SetForegroundWindow(F->Handle());
    Pump(120);
    for (auto* B : Buttons) B->SkinData()->Loaded();
    RECT R;
    GetClientRect(F->Handle(), &R);
    W = R.right;
    H = R.bottom;
  }
  ~TFormScene() {
    Provider.reset();
    delete F;
    M.reset();
    Pump(20);
  }
  void Repaint(const RECT* Part) {
    RedrawWindow(F->Handle(), Part, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    GdiFlush();
  }
};

TEST(FormPaint, TheWindowShowsWhatEachChildPaints) {
  TFormScene S;
  ASSERT_NE(CommonDataOfWindow(S.F->Handle()), nullptr) << "the form has no skin provider";
  S.Repaint(nullptr);
  EXPECT_EQ(Differing(Shown(S.F->Handle(), S.W, S.H), Print(S.F->Handle(), S.W, S.H)), 0) << "whole repaint";

  // Hot and held looks without fades, then a partial repaint cutting through buttons.
  S.M->Effects()->SetAllowAnimation(false);
  S.Buttons[1]->Perform(CM_MOUSEENTER);
  S.Buttons[6]->Perform(CM_MOUSEENTER);
  Pump(20);
  const RECT Part{30, 18, 250, 70};
  S.Repaint(&Part);
  EXPECT_EQ(Differing(Shown(S.F->Handle(), S.W, S.H), Print(S.F->Handle(), S.W, S.H)), 0)
      << "partial repaint with a hot look";

  // Half way through a fade the window shows the fade's picture.
  S.M->Effects()->SetAllowAnimation(true);
  S.Buttons[6]->Perform(CM_MOUSELEAVE);
  S.Buttons[2]->Perform(CM_MOUSEENTER);
  for (TsSpeedButton* B : {S.Buttons[2], S.Buttons[6]}) {
    ASSERT_TRUE(B->SkinData()->AnimTimer() && B->SkinData()->AnimTimer()->Enabled());
    B->SkinData()->AnimTimer()->Tick();
  }
  S.Repaint(nullptr);
  EXPECT_EQ(Differing(Shown(S.F->Handle(), S.W, S.H), Print(S.F->Handle(), S.W, S.H)), 0) << "repaint during fades";
}

// The pointer leaves while the hot look is still fading in: the fade back
// starts part way and ends in fewer steps, and the window must end on the
// rest look, not on the fade's last step.
TEST(FormPaint, AFadeTurnedRoundEndsOnTheNewLook) {
  TFormScene S;
  S.Repaint(nullptr);
  const std::vector<std::uint32_t> Rest = Shown(S.F->Handle(), S.W, S.H);
  TsSpeedButton* B = S.Buttons[3];  // nothing lies over it
  TsCommonData& SD = *B->SkinData();
  B->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(SD.AnimTimer() && SD.AnimTimer()->Enabled());
  SD.AnimTimer()->Tick();
  SD.AnimTimer()->Tick();
  B->Perform(CM_MOUSELEAVE);
  for (int I = 0; I < 100 && SD.AnimTimer() && SD.AnimTimer()->Enabled(); ++I) SD.AnimTimer()->Tick();
  ASSERT_TRUE(FadesSettled(SD));
  EXPECT_EQ(B->CurrentState(), 0);
  EXPECT_EQ(Differing(Shown(S.F->Handle(), S.W, S.H), Rest), 0) << "the fade's last step stayed on the screen";
}

}  // namespace
