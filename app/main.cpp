// Entry routine of Clearbay.
#include <windows.h>

#include "CommandLine.h"
#include "Unit1.h"
#include "skin/binding/sCharImageList.h"
#include "skin/binding/sSkinText.h"
#include "skin/window/acSkinHook.h"
#include "Unit2.h"
#include "uCmdMode.h"
#include "uCommonFunc.h"
#include "uStartupTrace.h"

using namespace cb;

namespace {

DWORD WINAPI RepairThread(void*) { return RepairLeftoverRun() ? 1 : 0; }

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  StartupMark("main");
  const std::vector<std::wstring> Params = CommandLineParameters();
  std::vector<std::u16string> Args;
  for (const auto& P : Params) Args.push_back(ToU16(P));
  const TCliRequest Cli = ParseCommandLine(Args);
  // A quiet run makes no window of any kind, so nothing of the skin is set up.
  if (Cli.Op != TCliOp::None && Cli.Quiet) return RunCommandMode(Cli, nullptr);
  SkinLoadMark = StartupMark;
  Application->Initialize();
  // The boxes the program shows speak its language, whatever the system's is.
  Application->SetMessageButtonCaption(IDOK, L"确定");
  Application->SetMessageButtonCaption(IDCANCEL, L"取消");
  Application->SetMessageButtonCaption(IDYES, L"是");
  Application->SetMessageButtonCaption(IDNO, L"否");
  if (Cli.Op == TCliOp::None) ShowVersionBannerIfAsked(Params);
  StartupMark("initialized");
  StdCharList();  // the icon font registered and the standard symbols drawn before any window
  Application->SetMainFormOnTaskBar(true);
  // The program's own face for Chinese text that a menu's or a box's font cannot show.
  SetTextFallbackFace(L"微软雅黑");
  InstallFormSkinning();  // every form is framed by the skin as its window is made
  StartupMark("symbols");
  if (Cli.Op != TCliOp::None) {
    // The boxes are skinned by the main window's skin manager; the window
    // itself is made but never shown, and it is no main form.
    return RunCommandMode(Cli, [] { new TForm1(Application); });
  }
  // A run that a killed instance left behind is undone aside, while the window comes up.
  if (HANDLE repair = CreateThread(nullptr, 0, RepairThread, nullptr, 0, nullptr)) CloseHandle(repair);
  Application->CreateForm(Form1);
  StartupMark("main form");
  Application->CreateForm(Form2);
  StartupMark("about form");
  Application->Run();
  // The windows are gone; a bulk install may still be inside its script run.
  FinishScriptRuns(kScriptRunExitWaitMs, [] { Application->ProcessMessages(); });
  return 0;
}
