// Entry routine of Clearbay.
#include <windows.h>

#include "Unit1.h"
#include "Unit2.h"
#include "uCommonFunc.h"

using namespace cb;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Application->Initialize();
  Application->SetMainFormOnTaskBar(true);
  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
  Application->Run();
  // The windows are gone; a bulk install may still be inside its script run.
  FinishScriptRuns(kScriptRunExitWaitMs);
  return 0;
}
