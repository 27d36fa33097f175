// Entry routine of Clearbay.
#include <windows.h>

#include "Unit1.h"
#include "skin/paint/sCharImageList.h"
#include "skin/window/acSkinHook.h"
#include "Unit2.h"
#include "uCommonFunc.h"

using namespace cb;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Application->Initialize();
  ShowVersionBannerIfAsked(CommandLineParameters());
  StdCharList();  // the icon font registered and the standard symbols drawn before any window
  Application->SetMainFormOnTaskBar(true);
  InstallFormSkinning();  // every form is framed by the skin as its window is made
  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
  Application->Run();
  // The windows are gone; a bulk install may still be inside its script run.
  FinishScriptRuns(kScriptRunExitWaitMs, [] { Application->ProcessMessages(); });
  return 0;
}
