// The desktop window manager's few entry points, looked up in dwmapi.dll on
// first use. Where the library or an entry is missing, the call answers
// E_NOTIMPL and composition counts as off.
#pragma once
#include <windows.h>

namespace cb {

struct TacDwmEntries {
  HRESULT(WINAPI* IsCompositionEnabled)(BOOL* Enabled) = nullptr;
  HRESULT(WINAPI* SetWindowAttribute)(HWND Wnd, DWORD Attribute, LPCVOID Value, DWORD Size) = nullptr;
};

// The entries in use; loaded on the first call. Tests may put their own in.
TacDwmEntries& DwmEntries();

bool DwmCompositionEnabled();
HRESULT DwmSetWindowAttributeRT(HWND Wnd, DWORD Attribute, LPCVOID Value, DWORD Size);

// Attribute 3: whether the manager renders the non-client area.
constexpr DWORD acDwmNCRenderingPolicy = 3;

}  // namespace cb
