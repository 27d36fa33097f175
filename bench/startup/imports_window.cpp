// The second floor: the minimal window program importing the system
// libraries Clearbay imports at load time (common controls, image blending);
// the internet, download, shell and version libraries it loads on first use.
#include <windows.h>

#include <commctrl.h>

#include "MinimalWindow.h"

// Referenced, so the import stays.
static void* volatile gKeep[] = {reinterpret_cast<void*>(&AlphaBlend)};

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int show) {
  (void)gKeep;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  return RunMinimalWindow(inst, show);
}
