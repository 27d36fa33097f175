// A window of another process for the binding's tests. It carries the
// properties this program's windows carry, each holding a value that is no
// pointer of the test's process, and counts the skin commands it receives.
// Argument: the parent window in hex (0: a top-level window). WM_APP answers
// the count; closing the window ends the program.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

namespace {

LRESULT Commands = 0;

LRESULT CALLBACK Proc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_CREATE:
      // Set before the parent hears of the new child.
      SetPropW(Wnd, L"ACSDATA", reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x5A5A5A50)));
      SetPropW(Wnd, L"ClearbayControl", reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x5A5A5A50)));
      return 0;
    case 0xA100: ++Commands; return 0;
    case WM_APP: return Commands;
    case WM_CLOSE: DestroyWindow(Wnd); return 0;
    case WM_DESTROY:
      RemovePropW(Wnd, L"ACSDATA");
      RemovePropW(Wnd, L"ClearbayControl");
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcW(Wnd, Msg, WParam, LParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  HWND Parent = argc > 1 ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(argv[1], nullptr, 16))) : nullptr;
  WNDCLASSW C{};
  C.lpfnWndProc = Proc;
  C.hInstance = GetModuleHandleW(nullptr);
  C.lpszClassName = L"CbForeignWindow";
  RegisterClassW(&C);
  HWND W = CreateWindowExW(0, C.lpszClassName, L"foreign", Parent ? WS_CHILD | WS_VISIBLE : WS_POPUP, 0, 0, 20, 20,
                           Parent, nullptr, C.hInstance, nullptr);
  if (!W) return 1;
  MSG M;
  while (GetMessageW(&M, nullptr, 0, 0) > 0) DispatchMessageW(&M);
  return 0;
}
