// Entry routine of Clearbay.
#include <windows.h>

#include "Unit1.h"
#include "Unit2.h"

using namespace cb;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Application->Initialize();
  Application->SetMainFormOnTaskBar(true);
  Application->CreateForm(Form1);
  Application->CreateForm(Form2);
  Application->Run();
  return 0;
}
