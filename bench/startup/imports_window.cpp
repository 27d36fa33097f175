// The second floor: the minimal window program importing the system
// libraries Clearbay imports (internet, URL download, shell, common controls,
// version information). Their loading is part of start-up under Wine.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <urlmon.h>
#include <wininet.h>

// Referenced, so the imports stay.
static void* volatile gKeep[] = {reinterpret_cast<void*>(&InternetCheckConnectionW),
                                 reinterpret_cast<void*>(&URLDownloadToFileW), reinterpret_cast<void*>(&ShellExecuteW),
                                 reinterpret_cast<void*>(&GetFileVersionInfoW)};

static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int show) {
  (void)gKeep;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"MinimalWindow";
  RegisterClassW(&wc);
  HWND h = CreateWindowExW(0, wc.lpszClassName, L"Minimal", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                           CW_USEDEFAULT, CW_USEDEFAULT, 430, 330, nullptr, nullptr, inst, nullptr);
  ShowWindow(h, show);
  UpdateWindow(h);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
