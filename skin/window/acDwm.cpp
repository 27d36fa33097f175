#include "acDwm.h"

namespace cb {

namespace {
// An entry point of the type it is declared with (through the generic one the lookup gives).
template <class F> F Entry(HMODULE Lib, const char* Name) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(Lib, Name)));
}
}  // namespace

TacDwmEntries& DwmEntries() {
  static TacDwmEntries Entries = [] {
    TacDwmEntries E;
    // The library stays loaded for the life of the process, as the system's own users keep it.
    if (HMODULE Lib = LoadLibraryW(L"dwmapi.dll")) {
      E.IsCompositionEnabled = Entry<decltype(E.IsCompositionEnabled)>(Lib, "DwmIsCompositionEnabled");
      E.SetWindowAttribute = Entry<decltype(E.SetWindowAttribute)>(Lib, "DwmSetWindowAttribute");
    }
    return E;
  }();
  return Entries;
}

bool DwmCompositionEnabled() {
  BOOL On = FALSE;
  const auto Fn = DwmEntries().IsCompositionEnabled;
  return Fn && SUCCEEDED(Fn(&On)) && On;
}

HRESULT DwmSetWindowAttributeRT(HWND Wnd, DWORD Attribute, LPCVOID Value, DWORD Size) {
  const auto Fn = DwmEntries().SetWindowAttribute;
  return Fn ? Fn(Wnd, Attribute, Value, Size) : E_NOTIMPL;
}

}  // namespace cb
