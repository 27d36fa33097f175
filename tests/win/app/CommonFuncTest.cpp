// Process, file and script-file helpers, with real processes under Wine.
#include <gtest/gtest.h>

#include "uCommonFunc.h"
#include "wintest.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <string>

using namespace cb;

namespace {

DWORD HandleCount() {
  DWORD n = 0;
  GetProcessHandleCount(GetCurrentProcess(), &n);
  return n;
}

std::wstring SelfPath() {
  wchar_t p[MAX_PATH];
  GetModuleFileNameW(nullptr, p, MAX_PATH);
  return p;
}

// Every way another process could change or replace the file; the exit code
// has one bit per attempt that succeeded.
int Attack(const std::wstring& path) {
  int won = 0;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    DWORD w;
    WriteFile(h, "evil", 4, &w, nullptr);
    CloseHandle(h);
    won |= 1;
  }
  h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  CREATE_ALWAYS, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    won |= 2;
  }
  if (DeleteFileW(path.c_str())) won |= 4;
  std::wstring other = path + L".evil";
  h = CreateFileW(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    DWORD w;
    WriteFile(h, "evil", 4, &w, nullptr);
    CloseHandle(h);
  }
  if (MoveFileExW(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) won |= 8;
  DeleteFileW(other.c_str());
  if (MoveFileW(path.c_str(), (path + L".moved").c_str())) won |= 16;
  h = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    FILE_DISPOSITION_INFO d{TRUE};
    if (SetFileInformationByHandle(h, FileDispositionInfo, &d, sizeof d)) won |= 32;
    CloseHandle(h);
  }
  return won;
}

// The child of the capture test: signals the event that the handle value
// would be if the parent's inheritable handles had reached it, then writes a
// line to its output and Bytes to its error output.
int ChildOutput(HANDLE Event, size_t Bytes) {
  SetEvent(Event);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE), err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD w;
  WriteFile(out, "child\r\n", 7, &w, nullptr);
  std::string block(64 * 1024, 'E');
  for (size_t done = 0; done < Bytes; done += block.size())
    if (!WriteFile(err, block.data(), DWORD(std::min(block.size(), Bytes - done)), &w, nullptr)) return 9;
  return 5;
}

class TempEnv : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempDir(L"clearbay test dir");  // blanks on purpose
    wchar_t old[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(L"temp", old, MAX_PATH * 2);
    old_ = std::wstring(old, n);
    SetEnvironmentVariableW(L"temp", dir_.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"temp", old_.c_str());
    DeleteDirTree(dir_);
  }
  std::wstring dir_, old_;
};

}  // namespace

TEST(RunProcess, UnstartableCommandGivesMinusOneAndLeaksNothing) {
  DWORD before = HandleCount();
  EXPECT_EQ(RunProcess(L"no-such-program-4711.exe", SW_HIDE, true), -1);
  EXPECT_EQ(RunProcess(L"", SW_HIDE, true), -1);
  EXPECT_EQ(HandleCount(), before);
}

TEST(RunProcess, WaitsAndReturnsExitCode) {
  DWORD before = HandleCount();
  EXPECT_EQ(RunProcess(L"cmd.exe /c exit 7", SW_HIDE, true), 7);
  EXPECT_EQ(RunProcess(L"cmd.exe /c exit 0", SW_HIDE, true), 0);
  EXPECT_EQ(HandleCount(), before);
}

TEST(RunProcess, WithoutWaitGivesIdAndMinusOne) {
  DWORD before = HandleCount();
  uint32_t pid = 0;
  EXPECT_EQ(RunProcess(L"cmd.exe /c exit 3", SW_HIDE, false, &pid), -1);
  EXPECT_NE(pid, 0u);
  HANDLE p = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (p) {  // it may be gone already
    WaitForSingleObject(p, 10000);
    CloseHandle(p);
  }
  EXPECT_EQ(RunProcess(L"cmd.exe /c exit 3", SW_HIDE, false), -1);
  EXPECT_EQ(HandleCount(), before);
}

TEST(RunCaptured, OnlyItsPipesReachTheChildAndWhatIsKeptIsBounded) {
  // Inheritable, as a handle of another part of the program may be.
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE other = CreateEventW(&sa, TRUE, FALSE, nullptr);
  ASSERT_TRUE(other);
  const DWORD before = HandleCount();
  TCapture c;
  const std::wstring cmd = L"\"" + SelfPath() + L"\" --child-output " +
                           std::to_wstring(reinterpret_cast<uintptr_t>(other)) + L" 3000000";
  EXPECT_EQ(RunCaptured(cmd, c), 5);
  EXPECT_EQ(WaitForSingleObject(other, 0), DWORD(WAIT_TIMEOUT)) << "the child inherited a handle not meant for it";
  EXPECT_EQ(c.Out, "child\r\n");
  // Three megabytes written, the first one kept; the child was never held up.
  EXPECT_EQ(c.Err, std::string(kMaxCaptureBytes, 'E'));
  EXPECT_EQ(HandleCount(), before);
  CloseHandle(other);
  EXPECT_EQ(RunCaptured(L"no-such-program-4711.exe", c), -1);
  EXPECT_EQ(HandleCount(), before);
}

TEST(OpenUrl, RefusesAnythingButWebAddresses) {
  EXPECT_FALSE(OpenUrl(L"C:\\Windows\\System32\\cmd.exe"));
  EXPECT_FALSE(OpenUrl(L"file:///C:/Windows/notepad.exe"));
  EXPECT_FALSE(OpenUrl(L"notepad.exe"));
}

TEST_F(TempEnv, DeleteDirTreeRemovesNestedTree) {
  std::wstring root = dir_ + L"\\tree";
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW((root + L"\\a").c_str(), nullptr);
  CreateDirectoryW((root + L"\\a\\b").c_str(), nullptr);
  for (auto f : {L"\\x.txt", L"\\a\\y.txt", L"\\a\\b\\z.txt"}) CloseHandle(CreateFileW((root + f).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
  EXPECT_TRUE(DeleteDirTree(root));
  EXPECT_EQ(GetFileAttributesW(root.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(TempEnv, DeleteDirTreeKeepsWhatItCannotDelete) {
  std::wstring root = dir_ + L"\\tree2";
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW((root + L"\\a").c_str(), nullptr);
  std::wstring locked = root + L"\\a\\locked.txt";
  HANDLE h = CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(CreateFileW((root + L"\\free.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_FALSE(DeleteDirTree(root));
  EXPECT_NE(GetFileAttributesW(locked.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW((root + L"\\free.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  CloseHandle(h);
  EXPECT_TRUE(DeleteDirTree(root));
}

TEST_F(TempEnv, ScriptFileCannotBeChangedWhileHeld) {
  std::wstring path;
  {
    TScriptRun run(L"windowscalculator");
    path = run.ScriptPath();
    EXPECT_EQ(path, dir_ + L"\\ps.ps1");
    EXPECT_EQ(ReadAll(path), run.Script());
    EXPECT_EQ(run.Script().rfind("Get-AppXPackage *windowscalculator* -AllUsers", 0), 0u);

    // PowerShell's own way of opening a script still works.
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);

    std::wstring cmd = L"\"" + SelfPath() + L"\" --attack \"" + path + L"\"";
    EXPECT_EQ(RunProcess(cmd, SW_HIDE, true), 0) << "another process changed or replaced the script";
    EXPECT_EQ(ReadAll(path), run.Script());
  }
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "script left behind";
}

TEST_F(TempEnv, AttackerChangesAnUnprotectedFile) {
  std::wstring path = dir_ + L"\\plain.ps1";
  CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  std::wstring cmd = L"\"" + SelfPath() + L"\" --attack \"" + path + L"\"";
  EXPECT_EQ(RunProcess(cmd, SW_HIDE, true) & 3, 3);
}

TEST_F(TempEnv, PlantedLinkIsReplacedNotFollowed) {
  std::wstring victim = dir_ + L"\\victim.txt";
  HANDLE h = CreateFileW(victim.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD w;
  WriteFile(h, "precious", 8, &w, nullptr);
  CloseHandle(h);
  std::wstring link = dir_ + L"\\ps.ps1";
  if (!CreateSymbolicLinkW(link.c_str(), victim.c_str(), 0)) GTEST_SKIP() << "no symbolic links here";
  {
    TScriptRun run(L"3dbuilder");
    EXPECT_EQ(ReadAll(link), run.Script());
  }
  EXPECT_EQ(ReadAll(victim), "precious");
}

TEST_F(TempEnv, FileHeldOpenByAnotherProgramAbandonsTheRun) {
  std::wstring path = dir_ + L"\\ps.ps1";
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0,
                         nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_THROW(TScriptRun run(L"3dbuilder"), std::runtime_error);
  CloseHandle(h);
}

// Processes started from this one, counted by a job that holds it.
struct TChildCounter {
  HANDLE Job = CreateJobObjectW(nullptr, nullptr);
  bool Ok = Job && AssignProcessToJobObject(Job, GetCurrentProcess());
  ~TChildCounter() {
    if (Job) CloseHandle(Job);
  }
  DWORD Started() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    QueryInformationJobObject(Job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr);
    return info.TotalProcesses;
  }
};

TEST_F(TempEnv, MissingResourceThrowsBeforeAnyProcess) {
  static TChildCounter children;  // a process joins a job for good
  if (!children.Ok) GTEST_SKIP() << "no jobs here";
  DWORD before = children.Started();
  EXPECT_THROW(RunScriptResource(L"nosuchapp"), std::runtime_error);
  EXPECT_EQ(children.Started(), before);
  EXPECT_EQ(GetFileAttributesW((dir_ + L"\\ps.ps1").c_str()), INVALID_FILE_ATTRIBUTES);
  // The count does see a child (and the console host it may bring).
  EXPECT_EQ(RunProcess(L"cmd.exe /c exit 0", SW_HIDE, true), 0);
  EXPECT_GT(children.Started(), before);
}

// Presses one button of this process's message box from a helper thread and
// notes the buttons the box offers.
struct TBoxAnswer {
  int Press;
  std::wstring Caption, Text;
  bool HasOk = false, HasYes = false, HasNo = false;
  HANDLE Thread = nullptr;
  explicit TBoxAnswer(int Button) : Press(Button) {
    Thread = CreateThread(nullptr, 0, &TBoxAnswer::Run, this, 0, nullptr);
  }
  ~TBoxAnswer() {
    WaitForSingleObject(Thread, 10000);
    CloseHandle(Thread);
  }
  static BOOL CALLBACK Find(HWND W, LPARAM P) {
    auto* self = reinterpret_cast<TBoxAnswer*>(P);
    wchar_t cls[16] = {};
    GetClassNameW(W, cls, 16);
    DWORD pid = 0;
    GetWindowThreadProcessId(W, &pid);
    if (pid != GetCurrentProcessId() || std::wstring(cls) != L"#32770" || !IsWindowVisible(W)) return TRUE;
    wchar_t buf[256] = {};
    GetWindowTextW(W, buf, 256);
    self->Caption = buf;
    GetDlgItemTextW(W, 0xFFFF, buf, 256);
    self->Text = buf;
    self->HasOk = GetDlgItem(W, IDOK) != nullptr;
    self->HasYes = GetDlgItem(W, IDYES) != nullptr;
    self->HasNo = GetDlgItem(W, IDNO) != nullptr;
    PostMessageW(GetDlgItem(W, self->Press), BM_CLICK, 0, 0);
    return FALSE;
  }
  static DWORD WINAPI Run(void* P) {
    auto* self = static_cast<TBoxAnswer*>(P);
    for (int i = 0; i < 500 && self->Caption.empty(); ++i) {
      Sleep(10);
      EnumWindows(Find, reinterpret_cast<LPARAM>(self));
    }
    return 0;
  }
};

TEST(ShowMsg, YesNoGivesTheAnswerInformationGivesTrue) {
  {
    TBoxAnswer answer(IDYES);
    EXPECT_TRUE(ShowMsg(L"继续？", L"提示", true));
    EXPECT_EQ(answer.Caption, L"提示");
  }
  {
    TBoxAnswer answer(IDNO);
    EXPECT_FALSE(ShowMsg(L"继续？", L"提示", true));
    EXPECT_EQ(answer.Text, L"继续？");
    EXPECT_TRUE(answer.HasYes);
    EXPECT_TRUE(answer.HasNo);
    EXPECT_FALSE(answer.HasOk);
  }
  {
    TBoxAnswer answer(IDOK);
    EXPECT_TRUE(ShowMsg(L"完成", L"提示", false));
    EXPECT_EQ(answer.Text, L"完成");
    EXPECT_TRUE(answer.HasOk);
    EXPECT_FALSE(answer.HasYes);
    EXPECT_FALSE(answer.HasNo);
  }
}

// DLLs loaded on first use come from the system directory alone: the program
// runs elevated, and a DLL of the same name beside it or in the current folder
// must never be taken.
TEST_F(TempEnv, SystemProcLoadsFromTheSystemDirectoryOnly) {
  auto* size = SystemProc<decltype(GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
  ASSERT_NE(size, nullptr);
  HMODULE m = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCWSTR>(size), &m));
  wchar_t path[MAX_PATH], sys[MAX_PATH];
  GetModuleFileNameW(m, path, MAX_PATH);
  UINT n = GetSystemDirectoryW(sys, MAX_PATH);
  EXPECT_EQ(_wcsnicmp(path, sys, n), 0) << path;
  EXPECT_EQ(SystemProcAddress(L"version.dll", "NoSuchFunction"), nullptr);

  // A module planted beside the program and in the current folder, which a
  // plain load by name does take.
  std::wstring self = SelfPath();
  std::wstring besides = self.substr(0, self.find_last_of(L'\\') + 1) + L"cbplanted.dll";
  std::wstring here = dir_ + L"\\cbplanted.dll";
  ASSERT_TRUE(CopyFileW(self.c_str(), besides.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(self.c_str(), here.c_str(), FALSE));
  wchar_t cwd[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, cwd);
  SetCurrentDirectoryW(dir_.c_str());
  HMODULE plain = LoadLibraryW(L"cbplanted.dll");
  bool plantedLoads = plain != nullptr;
  if (plain) FreeLibrary(plain);
  if (plantedLoads) SystemProcAddress(L"cbplanted.dll", "main");
  HMODULE stillThere = GetModuleHandleW(L"cbplanted.dll");
  SetCurrentDirectoryW(cwd);
  DeleteFileW(besides.c_str());
  DeleteFileW(here.c_str());
  if (!plantedLoads) GTEST_SKIP() << "a planted module does not load here at all";
  EXPECT_EQ(stillThere, nullptr) << "the planted module was loaded";
}

TEST(AppVersion, ReadsOwnFileVersion) {
  EXPECT_EQ(GetAppVersion(2), L"1.0");
  EXPECT_EQ(GetAppVersion(3), L"1.0.0");
  EXPECT_EQ(GetAppVersion(4), L"1.0.0.0");
  EXPECT_EQ(GetAppVersion(5), L"");
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--attack") {
    int n = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &n);
    return Attack(wargv[2]);
  }
  if (argc == 4 && std::string(argv[1]) == "--child-output")
    return ChildOutput(reinterpret_cast<HANDLE>(std::strtoull(argv[2], nullptr, 10)), std::strtoull(argv[3], nullptr, 10));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
