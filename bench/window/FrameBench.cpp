// Skinned frames against the same windows without the skin, in one run:
// opening a dialog until it is painted, and one step of dragging a window.
// Then the reliability figures: many openings and activations, and the skin
// switched off and on, with windows, regions and private bytes before and after.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "acRegion.h"
#include "acSkinHook.h"
#include "sSkinManager.h"
#include "tests/support/MetroUIResource.h"
#include "tests/support/ResourceCounts.h"
#include "ui/FormStreaming.h"
#include "ui/FormText.h"

using namespace cb;

namespace {

std::unique_ptr<TsSkinManager> MakeManager() {
  RegisterSkinManagerClasses();
  auto M = std::make_unique<TsSkinManager>(nullptr);
  const std::vector<std::uint8_t> Data = test::MetroUIArchive();
  std::string Text = "M: TsSkinManager {\n  InternalSkins = <\n    {\n      Name = \"MetroUI (internal)\"\n"
                     "      Data = base64 {\n" +
                     EncodeBase64(Data.data(), Data.size()) +
                     "\n      }\n    }\n  >\n  SkinDirectory = \"c:\\\\nowhere\"\n  ExtendedBorders = True\n"
                     "  SkinName = \"MetroUI\"\n}\n";
  ReadComponentFromText(M.get(), Text);
  return M;
}

class TDialog : public TForm {
public:
  TDialog() : TForm(nullptr) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetPosition(poDesigned);
    SetCaption(L"关于");
    SetBounds(300, 200, 307, 148);
  }
};

double Now() {
  static LARGE_INTEGER F{};
  if (!F.QuadPart) QueryPerformanceFrequency(&F);
  LARGE_INTEGER C;
  QueryPerformanceCounter(&C);
  return double(C.QuadPart) * 1e6 / double(F.QuadPart);
}

void Drain() {
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
}

double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  return V[V.size() / 2];
}

// Microseconds from Show until every paint of the dialog (frame and shadow included) is done.
double OpenUntilPainted() {
  TDialog D;
  const double T0 = Now();
  D.Show();
  UpdateWindow(D.WindowHandle());
  Drain();
  GdiFlush();
  const double T = Now() - T0;
  D.Hide();
  Drain();
  return T;
}

// GUI-thread microseconds of one move of the main window (window, frame image, border window).
double MoveStep(TForm& F, int I) {
  const double T0 = Now();
  SetWindowPos(F.WindowHandle(), nullptr, 100 + (I % 40) * 3, 80 + (I % 40) * 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Drain();
  return Now() - T0;
}

void Figures(const char* What) {
  std::printf("  %-34s windows %4d  regions %ld  attached %zu  private %8llu KB\n", What, cb::test::ThreadWindows(),
              TacRgn::Alive(), AttachedWindows().size(),
              static_cast<unsigned long long>(cb::test::PrivateBytes() / 1024));
}

}  // namespace

// "frame_bench.exe speed" leaves out the reliability rounds.
int main(int argc, char** argv) {
  const bool SpeedOnly = argc > 1 && std::string(argv[1]) == "speed";
  InstallFormSkinning();
  Application->SetMainFormOnTaskBar(true);
  auto M = MakeManager();
  const int Rounds = 40;
  std::vector<double> OpenSkin, OpenPlain, MoveSkin, MovePlain;
  TForm Main(nullptr);
  Main.SetBorderStyle(bsSingle);
  Main.SetBorderIcons(biSystemMenu | biMinimize);
  Main.SetCaption(L"Clearbay");
  Main.SetPosition(poDesigned);
  Main.SetBounds(100, 80, 428, 329);
  Main.Show();
  Drain();
  for (int Pass = 0; Pass < 2; ++Pass) {
    // Alternating, so both see the same machine.
    for (int I = 0; I < Rounds; ++I) {
      M->SetActive(true);
      AttachWindow(Main.Handle());  // as its next activation would
      Drain();
      OpenSkin.push_back(OpenUntilPainted());
      for (int K = 0; K < 5; ++K) MoveSkin.push_back(MoveStep(Main, I * 5 + K));
      M->SetActive(false);
      Drain();
      OpenPlain.push_back(OpenUntilPainted());
      for (int K = 0; K < 5; ++K) MovePlain.push_back(MoveStep(Main, I * 5 + K));
    }
  }
  const double OS = Median(OpenSkin), OP = Median(OpenPlain), MS = Median(MoveSkin), MP = Median(MovePlain);
  std::printf("open dialog until painted: skinned %.0f us, plain %.0f us, ratio %.2f (limit 1.5)\n", OS, OP, OS / OP);
  std::printf("drag step of the main window: skinned %.0f us, plain %.0f us, ratio %.2f (limit 2)\n", MS, MP, MS / MP);
  if (SpeedOnly) return 0;

  M->SetActive(true);
  AttachWindow(Main.Handle());
  Drain();
  std::printf("reliability:\n");
  Figures("start");
  for (int I = 0; I < 1000; ++I) {
    TDialog D;
    D.Show();
    Drain();
    D.Hide();
  }
  Drain();
  Figures("after 1000 dialog openings");
  TDialog Other;
  Other.Show();
  for (int I = 0; I < 1000; ++I) {
    SetForegroundWindow((I & 1) ? Other.WindowHandle() : Main.WindowHandle());
    Drain();
  }
  Figures("after 1000 activations");
  for (int I = 0; I < 100; ++I) {
    M->SetActive(false);
    Drain();
    M->SetActive(true);
    SetForegroundWindow((I & 1) ? Other.WindowHandle() : Main.WindowHandle());
    Drain();
  }
  Figures("after 100 skin off/on");
  M->SetActive(false);
  Drain();
  const bool Clean = AttachedWindows().empty() && FindWindowW(L"TacGlowForm", nullptr) == nullptr &&
                     !Main.HasWindowHook(TsSkinProvider::HookId) && !Other.HasWindowHook(TsSkinProvider::HookId);
  Figures("skin off");
  std::printf("  every hook, provider and border window gone with the skin: %s\n", Clean ? "yes" : "NO");
  return Clean ? 0 : 1;
}
