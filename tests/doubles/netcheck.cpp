// netcheck.exe: the two network calls of the update check, for proving the
// test network: connectivity test and download to a file.
//   netcheck check <url>
//   netcheck get <url> <file>
#include <windows.h>
#include <urlmon.h>
#include <wininet.h>

#include "psd_json.hpp"
#include "win_util.hpp"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    cb::test::psd::writeStd(STD_ERROR_HANDLE, "usage: netcheck check <url> | netcheck get <url> <file>\n");
    return 2;
  }
  const std::wstring command = argv[1];
  cb::test::psd::JsonObject j;
  if (command == L"check") {
    const BOOL ok = InternetCheckConnectionW(argv[2], FLAG_ICC_FORCE_CONNECTION, 0);
    j.boolean("connected", ok != FALSE);
    if (!ok) j.num("error", static_cast<long long>(GetLastError()));
  } else if (command == L"get" && argc >= 4) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT hr = URLDownloadToFileW(nullptr, argv[2], argv[3], 0, nullptr);
    j.boolean("ok", hr == S_OK).num("hr", static_cast<long>(hr));
    CoUninitialize();
  } else {
    cb::test::psd::writeStd(STD_ERROR_HANDLE, "netcheck: unknown command\n");
    return 2;
  }
  cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
  return 0;
}
