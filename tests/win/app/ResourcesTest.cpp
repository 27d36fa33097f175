// Reads the program's resources back from the built Clearbay.exe.
#include <gtest/gtest.h>

#include <vector>

#include "wintest.h"

namespace {

struct Module {
  HMODULE h = nullptr;
  explicit Module(const std::wstring& path) {
    h = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  }
  ~Module() {
    if (h) FreeLibrary(h);
  }
  std::string Resource(const wchar_t* name, const wchar_t* type, WORD lang) const {
    HRSRC r = FindResourceExW(h, type, name, lang);
    if (!r) return "<none>";
    HGLOBAL g = LoadResource(h, r);
    return std::string(static_cast<const char*>(LockResource(g)), SizeofResource(h, r));
  }
};

std::wstring ExePath() { return HostPath(CB_CLEARBAY_EXE); }

const char* kScriptNames[] = {"3DBUILDER", "SCREENSKETCH", "PHOTOS", "WINDOWSMAPS", "GETSTARTED", "BINGWEATHER",
                              "SOUNDRECORDER", "BINGFINANCE", "BINGNEWS", "PEOPLE", "ONENOTE", "XBOXAPP",
                              "WINDOWSALARMS", "ZUNEVIDEO", "WINDOWSCOMMUNICATIONSAPPS", "OFFICEHUB", "WINDOWSSTORE",
                              "SOLITAIRECOLLECTION", "WINDOWSCAMERA", "WINDOWSCALCULATOR", "ZUNEMUSIC", "GETHELP",
                              "MESSAGING", "MICROSOFT3DVIEWER", "MICROSOFTSTICKYNOTES", "MSPAINT", "ONECONNECT",
                              "PRINT3D", "SKYPEAPP", "WALLET", "FEEDBACKHUB", "MIXEDREALITY", "YOURPHONE",
                              "INSTALLALLAPP", "BINGSPORTS"};

}  // namespace

TEST(ProgramFile, CarriesEveryScriptByteForByte) {
  if (std::string(CB_CLEARBAY_EXE).empty()) GTEST_SKIP() << "Clearbay.exe is not part of this build";
  Module exe(ExePath());
  ASSERT_NE(exe.h, nullptr);
  const WORD enUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  int crlf = 0;
  for (const char* n : kScriptNames) {
    std::wstring name(n, n + strlen(n));
    std::string expected = ReadAll(HostPath(std::string(CB_SOURCE_DIR) + "/resources/scripts/" + n + ".ps1"));
    std::string actual = exe.Resource(name.c_str(), L"PS1FILE", enUS);
    EXPECT_EQ(actual, expected) << n;
    // Found also without regard to case, as the program asks for it.
    std::wstring lower = name;
    for (auto& c : lower) c = wchar_t(towlower(c));
    EXPECT_NE(FindResourceW(exe.h, lower.c_str(), L"ps1file"), nullptr) << n;
    if (actual.size() > 2 && actual.compare(actual.size() - 2, 2, "\r\n") == 0) ++crlf;
    for (unsigned char c : actual) ASSERT_LT(c, 0x80) << n << " is not 7-bit ASCII";
  }
  EXPECT_EQ(crlf, 25);
  // Nothing more of that type.
  int count = 0;
  EnumResourceNamesW(
      exe.h, L"PS1FILE", [](HMODULE, LPCWSTR, LPWSTR, LONG_PTR p) -> BOOL { return ++*reinterpret_cast<int*>(p), TRUE; },
      reinterpret_cast<LONG_PTR>(&count));
  EXPECT_EQ(count, 35);
}

TEST(ProgramFile, ManifestAsksForAdminAndPerMonitorDpi) {
  if (std::string(CB_CLEARBAY_EXE).empty()) GTEST_SKIP() << "Clearbay.exe is not part of this build";
  Module exe(ExePath());
  ASSERT_NE(exe.h, nullptr);
  HRSRC r = FindResourceW(exe.h, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(r, nullptr);
  std::string m(static_cast<const char*>(LockResource(LoadResource(exe.h, r))), SizeofResource(exe.h, r));
  for (const char* needle :
       {"level=\"requireAdministrator\"", ">PerMonitorV2<", ">true/pm<", "Microsoft.Windows.Common-Controls",
        "version=\"6.0.0.0\"", "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
    EXPECT_NE(m.find(needle), std::string::npos) << needle;
  EXPECT_NE(FindResourceW(exe.h, L"MAINICON", RT_GROUP_ICON), nullptr);
}

TEST(ProgramFile, VersionIsOnePointZero) {
  if (std::string(CB_CLEARBAY_EXE).empty()) GTEST_SKIP() << "Clearbay.exe is not part of this build";
  std::wstring path = ExePath();
  DWORD dummy = 0, size = GetFileVersionInfoSizeW(path.c_str(), &dummy);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* f = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&f), &len));
  EXPECT_EQ(f->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(f->dwFileVersionLS, 0u);
}
