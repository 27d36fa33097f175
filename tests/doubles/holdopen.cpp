// holdopen.exe: holds a file open for a while, as another process might.
//   holdopen <path> <ms> [--access r|w|rw] [--share none|r|w|rw|rwd]
// Prints {"held":true} once the file is open (or the error) and closes it after <ms>.
#include <windows.h>

#include <cstdlib>

#include "psd_json.hpp"
#include "win_util.hpp"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    cb::test::psd::writeStd(STD_ERROR_HANDLE, "usage: holdopen <path> <ms> [--access r|w|rw] [--share none|r|w|rw|rwd]\n");
    return 2;
  }
  DWORD access = GENERIC_READ | GENERIC_WRITE, share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::wstring key = argv[i], value = argv[i + 1];
    if (key == L"--access") {
      access = (value.find(L'r') != std::wstring::npos ? GENERIC_READ : 0) |
               (value.find(L'w') != std::wstring::npos ? GENERIC_WRITE : 0);
    } else if (key == L"--share") {
      share = value == L"none" ? 0
                               : ((value.find(L'r') != std::wstring::npos ? FILE_SHARE_READ : 0) |
                                  (value.find(L'w') != std::wstring::npos ? FILE_SHARE_WRITE : 0) |
                                  (value.find(L'd') != std::wstring::npos ? FILE_SHARE_DELETE : 0));
    }
  }
  HANDLE h = CreateFileW(argv[1], access, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  cb::test::psd::JsonObject j;
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    j.boolean("held", false).num("error", static_cast<long long>(err)).str("message", cb::test::psd::systemMessage(err));
    cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
    return 1;
  }
  j.boolean("held", true);
  cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
  Sleep(DWORD(std::wcstoul(argv[2], nullptr, 10)));
  CloseHandle(h);
  return 0;
}
