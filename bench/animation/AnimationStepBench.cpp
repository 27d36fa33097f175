// GUI-thread time of one state-animation step of a speed button of the main
// window's size (87 x 22) and of the same button at 200 % (174 x 44), as a
// share of the 12 ms between steps. Each step cross-fades the two looks and
// shows the picture: through the parent's paint or straight onto the window
// (a bound test button), and as the program's own skinned speed button does.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/WinClock.h"
#include "sSkinManager.h"
#include "skin/controls/sControls.h"
#include "skin/controls/sSpeedButton.h"
#include "skin/paint/PixelOps.h"
#include "skin/binding/acThdTimer.h"
#include "skin/binding/sCharImageList.h"
#include "skin/binding/sCommonData.h"
#include "tests/support/MetroUIResource.h"
#include "ui/FormStreaming.h"
#include "ui/Forms.h"
#include "ui/FormText.h"

using namespace cb;

namespace {

// A windowless button painting SPEEDBUTTON through its cache, and showing the
// animation's picture while one runs (as the skinned speed button does).
class TBenchButton : public TGraphicControl {
public:
  explicit TBenchButton(TComponent* AOwner) : TGraphicControl(AOwner), SD(this, COC_TsSpeedButton) {
    SD.DefaultSection = L"SPEEDBUTTON";
  }
  TsCommonData SD;
  // How a step reaches the screen: invalidating the button's part of its
  // parent and letting the parent paint, or drawing the picture straight
  // onto the parent's window through the button's canvas.
  bool Straight = false;
  void SetPPI(int PPI) { SetCurrentPPI(PPI); }

protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == SKM_COMMAND) switch (CommandOf(M.WParam)) {
        case SKC_GETDEFINDEX:
          M.Result = SD.SkinManager() ? SD.SkinManager()->GetSkinIndex("SPEEDBUTTON") + 1 : 0;
          return;
        case SKC_INVALIDATE:
          if (TacFadeTimer* T = SD.AnimTimer(); Straight && T && T->BmpOut) {
            T->BmpOut->CopyTo(Canvas()->Handle(), 0, 0);
            return;
          }
          Repaint();
          return;
        case SKC_PREPARECACHE: Cache(); return;
        default: break;
      }
    TGraphicControl::WndProc(M);
  }
  void Cache() {
    SD.PrepareCacheBmp();
    TCacheInfo CI;
    SD.GetParentBG(CI);
    Bitmap32& B = SD.CacheBmp()->Bmp();
    PaintSection(SD, CI, true, SD.ControlState(), B, BmpPoint(0, 0), B.Bounds());
    SD.BGChanged = false;
  }
  void Paint() override {
    if (TacFadeTimer* T = SD.AnimTimer(); T && T->State != -1 && T->BmpOut) {
      T->BmpOut->CopyTo(Canvas()->Handle(), 0, 0);
      return;
    }
    if (SD.BGChanged || !SD.CacheBmp() || SD.CacheBmp()->Empty()) Cache();
    SD.CacheBmp()->CopyTo(Canvas()->Handle(), 0, 0);
  }
};

// The program's speed button, at a density of the bench's choosing.
class TBenchSpeedButton : public TsSpeedButton {
public:
  using TsSpeedButton::TsSpeedButton;
  void SetPPI(int PPI) { SetCurrentPPI(PPI); }
};

enum TWay { wyThroughParent, wyStraight, wySpeedButton };
const char* const WayNames[] = {"test button through the parent's paint", "test button drawn straight to the window",
                                "the skinned speed button"};

class TBenchForm : public TForm {
public:
  explicit TBenchForm(TComponent* AOwner) : TForm(AOwner) {}

protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == SKM_COMMAND) switch (CommandOf(M.WParam)) {
        case SKC_SKINLOADED:
        case SKC_SKINREMOVED:
        case SKC_REFRESH:
          BroadcastSkinCommand(this, CommandOf(M.WParam), M.LParam, CommandArg(M.WParam));
          return;
        default: break;
      }
    TForm::WndProc(M);
  }
};

using cb::bench::Now;

void Pump() {
  MSG M;
  while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&M);
}

// Median microseconds of one step over Animations hover-in and leave fades.
void Measure(int PPI, TWay Way, int Animations) {
  auto F = std::make_unique<TBenchForm>(nullptr);
  F->SetBorderStyle(bsSingle);
  F->SetPosition(poDesigned);
  F->SetBounds(50, 50, 400, 300);
  TControl* B = nullptr;
  TsCommonData* D = nullptr;
  if (Way == wySpeedButton) {
    auto* S = new TBenchSpeedButton(F.get());
    S->SetPPI(PPI);
    S->SetCaption(L"计算器");
    B = S;
    D = S->SkinData();
  } else {
    auto* T = new TBenchButton(F.get());
    T->SetPPI(PPI);
    T->Straight = Way == wyStraight;
    B = T;
    D = &T->SD;
  }
  B->SetBounds(20, 20, 87 * PPI / 96, 22 * PPI / 96);
  B->SetParent(F.get());
  F->Show();
  Pump();
  D->Loaded();
  B->Repaint();
  std::vector<double> Steps;
  TsCommonData& SD = *D;
  for (int I = 0; I < Animations; ++I) {
    if (SD.BGChanged) B->Repaint();
    SD.FMouseAbove = I % 2 == 0;
    double T0 = Now();
    AnimateStateChange(SD, I % 2 == 0 ? 1 : 0, nullptr, false, false, true);
    Steps.push_back(Now() - T0);  // the start runs the first step at once
    while (SD.AnimTimer() && SD.AnimTimer()->Enabled()) {
      T0 = Now();
      SD.AnimTimer()->Tick();
      Steps.push_back(Now() - T0);
    }
    Pump();
  }
  std::sort(Steps.begin(), Steps.end());
  const double Median = Steps[Steps.size() / 2] * 1e6, P90 = Steps[Steps.size() * 9 / 10] * 1e6;
  double Sum = 0;
  for (double X : Steps) Sum += X;
  const double Mean = Sum / static_cast<double>(Steps.size()) * 1e6;
  std::printf("%d ppi, button %dx%d (skin data for %d ppi), %s: %zu steps, median %.1f us (%.2f %% of 12 ms), "
              "90th percentile %.1f us, mean %.1f us (%.2f %%)\n",
              PPI, B->Width(), B->Height(), SD.CommonSkinData() ? SD.CommonSkinData()->PPI : 0,
              WayNames[Way], Steps.size(), Median,
              Median / 120.0, P90, Mean, Mean / 120.0);
  // The cross-fade alone, without reaching the screen.
  TacFadeTimer& T = *SD.AnimTimer();
  if (T.BmpFrom && T.BmpTo) {
    std::unique_ptr<TDibBitmap> Out = std::make_unique<TDibBitmap>(T.BmpTo->Width(), T.BmpTo->Height());
    const double T0 = Now();
    for (int I = 0; I < 2000; ++I) {
      CopyPiece(Out->Bmp(), BmpPoint(0, 0), T.BmpFrom->Bmp(), T.BmpFrom->Bmp().Bounds());
      BlendBitmapConst(Out->Bmp(), T.BmpTo->Bmp(), I & 255, BmpPoint(0, 0),
                       BmpRect(0, 0, Out->Width() - 1, Out->Height() - 1));
    }
    std::printf("  of which the cross-fade: %.1f us\n", (Now() - T0) / 2000 * 1e6);
  }
}

}  // namespace

int main() {
  RegisterSkinManagerClasses();
  auto M = std::make_unique<TsSkinManager>(nullptr);
  const std::vector<std::uint8_t> Data = cb::test::MetroUIArchive();
  const std::string Text = "M: TsSkinManager {\n  InternalSkins = <\n    {\n      Name = \"MetroUI (internal)\"\n"
                           "      Data = base64 {\n" +
                           EncodeBase64(Data.data(), Data.size()) +
                           "\n      }\n    }\n  >\n  SkinDirectory = \"c:\\\\nowhere\"\n  SkinName = \"MetroUI\"\n}\n";
  // Where start-up time goes on the skin's side, for the start-up breakdown.
  double T0 = Now();
  ReadComponentFromText(M.get(), Text);
  const double Read = Now() - T0;
  T0 = Now();
  RegisterIconFont();
  const double Font = Now() - T0;
  T0 = Now();
  StdCharList();
  const double Symbols = Now() - T0;
  T0 = Now();
  M->SetSkinName(M->GetSkinName());
  const double Reload = Now() - T0;
  std::printf("skin manager read from its description (skin loaded): %.1f ms; again by name: %.1f ms\n", Read * 1e3,
              Reload * 1e3);
  std::printf("icon font registered: %.1f ms; standard symbols built: %.1f ms\n", Font * 1e3, Symbols * 1e3);
  RegisterSkinControlClasses();
  for (TWay Way : {wyThroughParent, wyStraight, wySpeedButton}) {
    Measure(96, Way, 301);
    Measure(192, Way, 301);
  }
  return 0;
}
