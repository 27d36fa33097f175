// Helpers shared by the framework's Windows tests.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Forms.h"
#include "ui/Threads.h"

// Handles messages until Done() or the time is up; returns Done().
inline bool PumpUntil(const std::function<bool()>& Done, DWORD TimeoutMs = 3000) {
  DWORD Start = GetTickCount();
  while (!Done()) {
    if (GetTickCount() - Start > TimeoutMs) return Done();
    Application->ProcessMessages();
    CheckSynchronize();
    Sleep(2);
  }
  return true;
}

inline void Pump(DWORD Ms) {
  PumpUntil([] { return false; }, Ms);
}

// Moves the pointer as the user would: input that the system turns into
// mouse messages for the window under it.
inline void MovePointer(int X, int Y) {
  SetCursorPos(X, Y);
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dx = MulDiv(X, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  In.mi.dy = MulDiv(Y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  In.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &In, sizeof In);
}

// The text of a message box of this process, found by a helper thread, which
// then presses its first button. Used while the GUI thread sits in the box.
struct TBoxWatcher {
  std::wstring Text;
  HWND Owner = nullptr;
  bool Seen = false;
  HANDLE Thread = nullptr;

  void Start() {
    Thread = CreateThread(nullptr, 0, &TBoxWatcher::Run, this, 0, nullptr);
  }
  void Join() {
    if (Thread) {
      WaitForSingleObject(Thread, 10000);
      CloseHandle(Thread);
      Thread = nullptr;
    }
  }
  static BOOL CALLBACK Find(HWND W, LPARAM P) {
    auto* Self = reinterpret_cast<TBoxWatcher*>(P);
    wchar_t Cls[64] = {};
    GetClassNameW(W, Cls, 64);
    DWORD Pid = 0;
    GetWindowThreadProcessId(W, &Pid);
    if (Pid == GetCurrentProcessId() && std::wstring(Cls) == L"#32770" && IsWindowVisible(W)) {
      wchar_t Buf[512] = {};
      GetDlgItemTextW(W, 0xFFFF, Buf, 512);
      Self->Text = Buf;
      Self->Owner = GetWindow(W, GW_OWNER);
      Self->Seen = true;
      PostMessageW(W, WM_COMMAND, IDOK, 0);
      PostMessageW(W, WM_COMMAND, IDYES, 0);
      return FALSE;
    }
    return TRUE;
  }
  static DWORD WINAPI Run(void* P) {
    auto* Self = static_cast<TBoxWatcher*>(P);
    for (int i = 0; i < 500 && !Self->Seen; ++i) {
      Sleep(10);
      EnumWindows(Find, reinterpret_cast<LPARAM>(Self));
    }
    return 0;
  }
};
