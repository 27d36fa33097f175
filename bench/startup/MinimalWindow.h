// The plain Win32 window both start-up floors show: register, create, show,
// paint once, run the message loop until the window is closed.
#pragma once
#include <windows.h>

inline LRESULT CALLBACK MinimalWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

inline int RunMinimalWindow(HINSTANCE inst, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = MinimalWindowProc;
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
