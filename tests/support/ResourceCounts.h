// Honest counts of what the process holds, where Wine answers
// GetGuiResources and the private-bytes counter with 0.
#pragma once
#include <windows.h>

#include <cstdint>

namespace cb::test {

// GDI objects: the system's count, or else the live entries of the GDI
// handle table, found by asking each slot's type (a handle of a slot with no
// generation bits names whatever lives there now).
inline int GdiObjectCount() {
  if (DWORD N = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return static_cast<int>(N);
  int Live = 0;
  for (std::uintptr_t Slot = 1; Slot <= 0xFFFF; ++Slot)
    Live += GetObjectType(reinterpret_cast<HGDIOBJ>(Slot)) != 0;
  return Live;
}

namespace detail {
inline BOOL CALLBACK CountOwn(HWND Wnd, LPARAM P) {
  DWORD Pid = 0;
  GetWindowThreadProcessId(Wnd, &Pid);
  if (Pid == GetCurrentProcessId()) {
    ++*reinterpret_cast<int*>(P);
    EnumChildWindows(Wnd, CountOwn, P);
  }
  return TRUE;
}
}  // namespace detail

// USER objects: the system's count, or else this process's windows
// (top-level, their children, and message-only windows).
inline int UserObjectCount() {
  if (DWORD N = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return static_cast<int>(N);
  int N = 0;
  EnumWindows(detail::CountOwn, reinterpret_cast<LPARAM>(&N));
  for (HWND W = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); W;
       W = FindWindowExW(HWND_MESSAGE, W, nullptr, nullptr))
    detail::CountOwn(W, reinterpret_cast<LPARAM>(&N));
  return N;
}

// Windows of the calling thread, hidden ones included.
inline int ThreadWindows() {
  int N = 0;
  EnumThreadWindows(
      GetCurrentThreadId(), [](HWND, LPARAM P) -> BOOL { return ++*reinterpret_cast<int*>(P), TRUE; },
      reinterpret_cast<LPARAM>(&N));
  return N;
}

// Committed private memory, summed over the address space.
inline std::uint64_t PrivateBytes() {
  std::uint64_t Sum = 0;
  MEMORY_BASIC_INFORMATION I;
  for (auto* P = static_cast<std::uint8_t*>(nullptr); VirtualQuery(P, &I, sizeof I) == sizeof I;
       P = static_cast<std::uint8_t*>(I.BaseAddress) + I.RegionSize) {
    if (I.State == MEM_COMMIT && I.Type == MEM_PRIVATE) Sum += I.RegionSize;
    if (static_cast<std::uint8_t*>(I.BaseAddress) + I.RegionSize < P) break;
  }
  return Sum;
}

}  // namespace cb::test
