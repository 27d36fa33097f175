// Small helpers shared by the app's Windows tests.
#pragma once
#include <windows.h>

#include <string>

// Linux paths of the build reach Wine through its Z: drive.
inline std::wstring HostPath(const std::string& unixPath) {
  std::wstring p = L"Z:";
  for (char c : unixPath) p += (c == '/') ? L'\\' : wchar_t(c);
  return p;
}

inline std::string ReadAll(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<missing>";
  std::string out;
  char buf[4096];
  DWORD got;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  CloseHandle(h);
  return out;
}

inline std::wstring MakeTempDir(const std::wstring& name) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring dir = std::wstring(base) + name + L"-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir;
}
