// Entry routine of Clearbay.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "Unit1.h"
#include "skin/paint/sCharImageList.h"
#include "skin/window/acSkinHook.h"
#include "Unit2.h"
#include "uCommonFunc.h"

using namespace cb;

namespace {

std::vector<std::wstring> Parameters() {
  std::vector<std::wstring> Params;
  int Count = 0;
  if (LPWSTR* Args = CommandLineToArgvW(GetCommandLineW(), &Count)) {
    for (int I = 1; I < Count; ++I) Params.emplace_back(Args[I]);
    LocalFree(Args);
  }
  return Params;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Application->Initialize();
  ShowVersionBannerIfAsked(Parameters());
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
