#include "uStartupTrace.h"

#include <windows.h>

#include <cstdio>

namespace cb {

void StartupMark(const char* Name) {
  static const HANDLE file = [] {
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"CB_STARTUP_TRACE", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return INVALID_HANDLE_VALUE;
    return CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }();
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  char line[128];
  int len = std::snprintf(line, sizeof line, "%s %lld\n", Name, static_cast<long long>(now.QuadPart));
  DWORD written;
  if (len > 0) WriteFile(file, line, static_cast<DWORD>(len), &written, nullptr);
}

}  // namespace cb
