// Entry routine of Clearbay.
#include <windows.h>

#include "Unit1.h"
#include "skin/binding/sCharImageList.h"
#include "skin/binding/sSkinText.h"
#include "skin/window/acSkinHook.h"
#include "Unit2.h"
#include "uCommonFunc.h"
#include "uStartupTrace.h"

using namespace cb;

namespace {

DWORD WINAPI RepairThread(void*) { return RepairLeftoverRun() ? 1 : 0; }

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  StartupMark("main");
  SkinLoadMark = StartupMark;
  Application->Initialize();
  // The boxes the program shows speak its language, whatever the system's is.
  Application->SetMessageButtonCaption(IDOK, L"确定");
  Application->SetMessageButtonCaption(IDCANCEL, L"取消");
  Application->SetMessageButtonCaption(IDYES, L"是");
  Application->SetMessageButtonCaption(IDNO, L"否");
  ShowVersionBannerIfAsked(CommandLineParameters());
  StartupMark("initialized");
  StdCharList();  // the icon font registered and the standard symbols drawn before any window
  Application->SetMainFormOnTaskBar(true);
  // The program's own face for Chinese text that a menu's or a box's font cannot show.
  SetTextFallbackFace(L"微软雅黑");
  InstallFormSkinning();  // every form is framed by the skin as its window is made
  StartupMark("symbols");
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
