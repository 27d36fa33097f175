#include "uCommonFunc.h"

#include "uBusy.h"

#include <shellapi.h>
#include <urlmon.h>
#include <wininet.h>
#include <winver.h>

#include <algorithm>
#include <chrono>
#include <utility>
#include <stdexcept>
#include <vector>

#include "Commands.h"
#include "ui/Forms.h"

namespace cb {

const wchar_t kMakerPageUrl[] = L"https://www.declutra.com/3505.html";
const wchar_t kDescriptorUrl[] = L"http://update.declutra.com/updates/declutra.txt";
const wchar_t kConnectivityUrl[] = L"http://www.msftconnecttest.com/";

namespace {

[[noreturn]] void Fail(const std::wstring& what, DWORD error) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = what;
  if (text) {
    message += L": ";
    message += text;
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
      message.pop_back();
  }
  throw std::runtime_error(WideToUtf8(message));
}

// Script runs as the closing program sees them.
struct TScriptRuns {
  std::mutex Lock;
  std::condition_variable Changed;
  int Active = 0;                 // tickets out
  bool Closing = false;           // no new run starts
  bool TakenOver = false;         // no further step of a run starts
  TScriptRun* Holder = nullptr;   // the run whose file is written
  HANDLE BypassChild = nullptr;   // a Bypass step under way
};
TScriptRuns g_runs;

// Every run shares the one script file and the machine's execution policy,
// whichever thread or instance of the program makes it; this lock, held for a
// whole run, keeps them apart. A holder that died leaves it abandoned, which
// the next taker sees.
HANDLE MachineRunLock() {
  static const HANDLE lock = [] {
    HANDLE h = CreateMutexW(nullptr, FALSE, L"Global\\ClearbayScriptRun");
    // A system that does not let us make a global name: one session still counts.
    if (!h) h = CreateMutexW(nullptr, FALSE, L"Local\\ClearbayScriptRun");
    return h;
  }();
  return lock;
}

// The pipes of one captured run. Every end is created non-inheritable; the
// child's ends are handed to that child alone (see StartProcess).
class TChildPipes {
 public:
  TChildPipes() {
    for (auto& P : FPipes)
      if (!CreatePipe(&P.Read, &P.Write, nullptr, 0)) P.Read = P.Write = nullptr;
  }
  ~TChildPipes() {
    CloseChildEnds();
    for (auto& P : FPipes)
      if (P.Read) CloseHandle(P.Read);
  }
  TChildPipes(const TChildPipes&) = delete;
  TChildPipes& operator=(const TChildPipes&) = delete;

  bool Ready() const { return FPipes[0].Read && FPipes[1].Read; }
  HANDLE OutWrite() const { return FPipes[0].Write; }
  HANDLE ErrWrite() const { return FPipes[1].Write; }
  // Once the child has them: the pipes then end when the child does.
  void CloseChildEnds() {
    for (auto& P : FPipes)
      if (P.Write) CloseHandle(std::exchange(P.Write, nullptr));
  }

  // Reads both pipes on a thread of its own until the child has ended and
  // they are drained, then waits for the child; the waits keep a window alive.
  void Read(HANDLE Process, TCapture& Capture);

 private:
  struct TPipe {
    HANDLE Read = nullptr, Write = nullptr;
    std::string* Into = nullptr;
    bool Open = true;
  };
  TPipe FPipes[2];
  HANDLE FProcess = nullptr;
  static DWORD WINAPI ReadThread(void* Self);
  void ReadAll();
};

void TChildPipes::Read(HANDLE Process, TCapture& Capture) {
  FPipes[0].Into = &Capture.Out;
  FPipes[1].Into = &Capture.Err;
  FProcess = Process;
  HANDLE Thread = CreateThread(nullptr, 0, ReadThread, this, 0, nullptr);
  if (Thread) {
    if (!WaitResponsive(Thread)) WaitForSingleObject(Thread, INFINITE);
    CloseHandle(Thread);
  } else {
    // Nobody to read: the child's writes fail instead of filling the pipes.
    for (auto& P : FPipes)
      if (P.Read) CloseHandle(std::exchange(P.Read, nullptr));
  }
  // A child may close its ends and go on running.
  WaitResponsive(Process);
}

DWORD WINAPI TChildPipes::ReadThread(void* Self) {
  static_cast<TChildPipes*>(Self)->ReadAll();
  return 0;
}

void TChildPipes::ReadAll() {
  // Peeking never blocks, so one thread serves both pipes, and a pipe that a
  // grandchild keeps open cannot hold the run beyond a short drain.
  constexpr ULONGLONG kDrainMs = 500;
  ULONGLONG ExitedAt = 0;
  std::vector<char> Buffer(64 * 1024);
  for (;;) {
    bool Any = false, Open = false;
    for (auto& P : FPipes) {
      DWORD Avail = 0;
      if (!P.Open) continue;
      if (!PeekNamedPipe(P.Read, nullptr, 0, nullptr, &Avail, nullptr)) {
        P.Open = false;  // every writer has gone
        continue;
      }
      Open = true;
      if (!Avail) continue;
      DWORD Got = 0;
      if (!ReadFile(P.Read, Buffer.data(), std::min<DWORD>(Avail, DWORD(Buffer.size())), &Got, nullptr)) {
        P.Open = false;
        continue;
      }
      Any = Any || Got > 0;
      const size_t Keep = std::min<size_t>(Got, kMaxCaptureBytes - std::min(kMaxCaptureBytes, P.Into->size()));
      P.Into->append(Buffer.data(), Keep);
    }
    if (!Open) return;
    if (Any) continue;
    if (ExitedAt) {
      if (GetTickCount64() - ExitedAt > kDrainMs) return;
      Sleep(10);
    } else if (WaitForSingleObject(FProcess, 10) != WAIT_TIMEOUT) {
      ExitedAt = GetTickCount64();
    }
  }
}

// Process creation that hands out inheritable handles is one at a time, so
// that where the system ignores the handle list no other child of ours can
// inherit a run's pipe ends.
std::mutex g_inheritLock;

bool StartProcess(const std::wstring& CommandLine, uint16_t ShowWindow, PROCESS_INFORMATION& pi,
                  TChildPipes* Pipes = nullptr) {
  // CreateProcessW may write into the command-line buffer.
  std::vector<wchar_t> cmd(CommandLine.begin(), CommandLine.end());
  cmd.push_back(L'\0');
  STARTUPINFOEXW six{};
  STARTUPINFOW& si = six.StartupInfo;
  si.cb = sizeof(si);  // 68 in the 32-bit build
  si.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
  si.wShowWindow = ShowWindow;
  pi = {};
  if (!Pipes)
    return CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                          nullptr, nullptr, &si, &pi) != FALSE;

  if (!Pipes->Ready()) return false;
  std::lock_guard<std::mutex> guard(g_inheritLock);
  HANDLE Handles[2] = {Pipes->OutWrite(), Pipes->ErrWrite()};
  for (HANDLE h : Handles)
    if (!SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) return false;
  si.dwFlags |= STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = Handles[0];
  si.hStdError = Handles[1];
  DWORD Flags = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS;
  SIZE_T Size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &Size);
  std::vector<char> List(Size);
  auto* Attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(List.data());
  const bool HasList = Size && InitializeProcThreadAttributeList(Attributes, 1, 0, &Size);
  if (HasList && UpdateProcThreadAttribute(Attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, Handles,
                                           sizeof Handles, nullptr, nullptr)) {
    six.lpAttributeList = Attributes;
    si.cb = sizeof(six);
    Flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  const bool Started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, Flags, nullptr, nullptr, &si, &pi);
  if (HasList) DeleteProcThreadAttributeList(Attributes);
  for (HANDLE h : Handles) SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);
  Pipes->CloseChildEnds();
  return Started;
}

int32_t WaitAndClose(PROCESS_INFORMATION& pi) {
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  int32_t result = GetExitCodeProcess(pi.hProcess, &code) ? int32_t(code) : -1;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return result;
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

int32_t RunCaptured(const std::wstring& CommandLine, TCapture& Capture) {
  TChildPipes Pipes;
  PROCESS_INFORMATION pi;
  if (!StartProcess(CommandLine, SW_HIDE, pi, &Pipes)) return -1;
  Pipes.Read(pi.hProcess, Capture);
  return WaitAndClose(pi);
}

int32_t RunProcess(const std::wstring& CommandLine, uint16_t ShowWindow, bool Wait, uint32_t* ProcessId) {
  PROCESS_INFORMATION pi;
  if (!StartProcess(CommandLine, ShowWindow, pi)) return -1;
  if (Wait) {
    WaitResponsive(pi.hProcess);
    return WaitAndClose(pi);
  }
  if (ProcessId) *ProcessId = pi.dwProcessId;
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return -1;
}

void* SystemProcAddress(const wchar_t* Dll, const char* Name) {
  HMODULE m = LoadLibraryExW(Dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!m && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A system that predates the search flags: the full path of the system
    // directory, whose DLLs then find their own dependencies there.
    wchar_t dir[MAX_PATH];
    UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::wstring path = std::wstring(dir, n) + L"\\" + Dll;
    m = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return m ? reinterpret_cast<void*>(GetProcAddress(m, Name)) : nullptr;
}

std::vector<std::wstring> CommandLineParameters() {
  std::vector<std::wstring> params;
  const wchar_t* line = GetCommandLineW();
  // The program name ends at its closing quote or at the first blank; only
  // when something follows is the shell's splitter needed (and its DLL loaded).
  const wchar_t* p = line;
  if (*p == L'"') {
    for (++p; *p && *p != L'"'; ++p) {
    }
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  if (!*p) return params;
  static auto* const split = SystemProc<decltype(CommandLineToArgvW)>(L"shell32.dll", "CommandLineToArgvW");
  int count = 0;
  if (LPWSTR* args = split ? split(line, &count) : nullptr) {
    for (int i = 1; i < count; ++i) params.emplace_back(args[i]);
    LocalFree(args);
  }
  return params;
}

bool OpenUrl(const std::wstring& Url) {
  if (!IsWebAddress(ToU16(Url))) return false;
  static auto* const shellExecute = SystemProc<decltype(ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
  return shellExecute &&
         reinterpret_cast<INT_PTR>(shellExecute(nullptr, L"open", Url.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

bool ShowMsg(const std::wstring& Text, const std::wstring& Caption, bool AskYesNo) {
  if (AskYesNo) return Application->MessageBox(Text, Caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
  return Application->MessageBox(Text, Caption, MB_OK | MB_ICONINFORMATION) != 0;
}

void DeletePath(const std::wstring& Path, bool IsDirectory) {
  if (IsDirectory)
    DeleteDirTree(Path);
  else
    DeleteFileW(Path.c_str());
}

bool DeleteDirTree(const std::wstring& Dir) {
  std::wstring base = Dir;
  if (base.empty() || (base.back() != L'\\' && base.back() != L'/')) base += L'\\';
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileExW((base + L"*.*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = fd.cFileName;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (name == L"." || name == L"..") continue;
        std::wstring sub = Dir + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          // Never descend through a link: an elevated delete must stay inside
          // the tree it was given. The link itself is removed.
          RemoveDirectoryW(sub.c_str());
          continue;
        }
        DWORD attr = GetFileAttributesW(sub.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY)) DeleteDirTree(sub);
      } else {
        DeleteFileW((Dir + L"\\" + name).c_str());
      }
    } while (FindNextFileW(find, &fd));
    FindClose(find);
  }
  return RemoveDirectoryW(Dir.c_str()) != 0;
}

std::wstring TempDirectory() {
  DWORD n = GetEnvironmentVariableW(L"temp", nullptr, 0);
  if (n > 0) {
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(L"temp", value.data(), n);
    value.resize(n);
    if (!value.empty()) return value;
  }
  // Without "temp" the script would land in the root of the current drive.
  wchar_t buf[MAX_PATH + 1];
  DWORD len = GetTempPathW(MAX_PATH + 1, buf);
  std::wstring path(buf, len);
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

TScriptRun::TTicket::TTicket() {
  std::lock_guard<std::mutex> guard(g_runs.Lock);
  if (g_runs.Closing) throw std::runtime_error("The program is closing");
  ++g_runs.Active;
}

TScriptRun::TTicket::~TTicket() {
  std::lock_guard<std::mutex> guard(g_runs.Lock);
  --g_runs.Active;
  g_runs.Changed.notify_all();
}

TRunTurn::TRunTurn() {
  HANDLE lock = MachineRunLock();
  if (!lock) throw std::runtime_error("Cannot create the script run lock");
  // A run of another instance may take minutes: the window stays alive meanwhile.
  if (!WaitResponsive(lock)) throw std::runtime_error("Cannot take the script run lock");
  FHeld = true;
}

TRunTurn::TRunTurn(unsigned TimeoutMs) {
  HANDLE lock = MachineRunLock();
  if (!lock) return;
  const DWORD r = WaitForSingleObject(lock, TimeoutMs);
  FHeld = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

TRunTurn::~TRunTurn() {
  if (FHeld) ReleaseMutex(MachineRunLock());
}

TScriptRun::TScriptRun(const std::wstring& ResName) {
  {
    // The wait for the turn may have outlasted the window.
    std::lock_guard<std::mutex> guard(g_runs.Lock);
    if (g_runs.Closing) throw std::runtime_error("The program is closing");
  }
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(module, ResName.c_str(), L"ps1file");
  if (!res) Fail(L"Resource " + ResName + L" not found", GetLastError());
  HGLOBAL data = LoadResource(module, res);
  const char* bytes = data ? static_cast<const char*>(LockResource(data)) : nullptr;
  if (!bytes) Fail(L"Resource " + ResName + L" cannot be read", GetLastError());
  FScript.assign(bytes, SizeofResource(module, res));

  FScriptPath = ToWide(cb::ScriptPath(ToU16(TempDirectory())));
  const wchar_t* path = FScriptPath.c_str();

  // Remove whatever stands there (a planted link is removed, never followed),
  // then create a new file that nobody else may open while it is written.
  DeleteFileW(path);
  HANDLE write = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (write == INVALID_HANDLE_VALUE) Fail(L"Cannot create " + FScriptPath, GetLastError());
  DWORD written = 0;
  BY_HANDLE_FILE_INFORMATION created{};
  bool ok = WriteFile(write, FScript.data(), DWORD(FScript.size()), &written, nullptr) &&
            written == FScript.size() && FlushFileBuffers(write) && GetFileInformationByHandle(write, &created);
  DWORD error = GetLastError();
  CloseHandle(write);
  if (!ok) {
    DeleteFileW(path);
    Fail(L"Cannot write " + FScriptPath, error);
  }

  // PowerShell opens scripts for reading with read sharing only, which no handle
  // with write access may coexist with; so the file is reopened read-only and
  // denying writers, renames and deletes. Whatever happened in between is caught
  // by checking that it is still the same file with the same bytes.
  FHandle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (FHandle == INVALID_HANDLE_VALUE) Fail(L"Cannot lock " + FScriptPath, GetLastError());
  BY_HANDLE_FILE_INFORMATION held{};
  std::string back(FScript.size() + 1, '\0');
  DWORD got = 0;
  bool same = GetFileInformationByHandle(FHandle, &held) && SameFile(created, held) &&
              !(held.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
              ReadFile(FHandle, back.data(), DWORD(back.size()), &got, nullptr) && got == FScript.size() &&
              back.compare(0, got, FScript) == 0;
  if (!same) {
    CloseHandle(FHandle);
    FHandle = INVALID_HANDLE_VALUE;
    throw std::runtime_error(WideToUtf8(L"The script file " + FScriptPath + L" was changed by another program"));
  }
  std::lock_guard<std::mutex> guard(g_runs.Lock);
  g_runs.Holder = this;
}

int32_t TScriptRun::Step(const std::u16string& CommandLine, bool IsBypass, TCapture* Capture) {
  std::unique_lock<std::mutex> guard(g_runs.Lock);
  if (g_runs.TakenOver) return -1;
  PROCESS_INFORMATION pi;
  TChildPipes Pipes;
  if (!StartProcess(ToWide(CommandLine), SW_HIDE, pi, Capture ? &Pipes : nullptr)) return -1;
  if (IsBypass) g_runs.BypassChild = pi.hProcess;
  guard.unlock();
  if (Capture)
    Pipes.Read(pi.hProcess, *Capture);
  else
    WaitResponsive(pi.hProcess);
  guard.lock();
  if (IsBypass) g_runs.BypassChild = nullptr;
  guard.unlock();
  return WaitAndClose(pi);
}

bool TScriptRun::Run() {
  int32_t bypass = Step(kBypassCommand, true);
  TCapture capture;
  int32_t script = Step(ScriptCommand(ToU16(FScriptPath)), false, &capture);
  Step(kRestrictedCommand, false);
  FScriptExit = bypass == -1 ? -1 : script;
  FScriptErrors = std::move(capture.Err);
  return bypass != -1 && RunSucceeded(script);
}

TScriptRun::~TScriptRun() {
  std::lock_guard<std::mutex> guard(g_runs.Lock);
  if (g_runs.Holder == this) g_runs.Holder = nullptr;
  if (FHandle != INVALID_HANDLE_VALUE) CloseHandle(FHandle);
  FHandle = INVALID_HANDLE_VALUE;
  if (!FScriptPath.empty()) DeletePath(FScriptPath, false);
}

bool FinishScriptRuns(unsigned TimeoutMs, const std::function<void()>& Idle) {
  std::unique_lock<std::mutex> guard(g_runs.Lock);
  g_runs.Closing = true;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (g_runs.Active != 0 && std::chrono::steady_clock::now() < deadline) {
    g_runs.Changed.wait_for(guard, std::chrono::milliseconds(15), [] { return g_runs.Active == 0; });
    if (Idle && g_runs.Active != 0) {
      guard.unlock();
      Idle();
      guard.lock();
    }
  }
  if (g_runs.Active == 0) return true;
  g_runs.TakenOver = true;
  // Only a run that has written its file may have set Bypass; one still
  // waiting for its turn (behind another instance's run) must not restrict
  // the policy under that run's feet.
  if (!g_runs.Holder) return false;
  // A Bypass step that ended after RESTRICTED would undo it.
  if (g_runs.BypassChild && WaitForSingleObject(g_runs.BypassChild, 5000) != WAIT_OBJECT_0)
    TerminateProcess(g_runs.BypassChild, 1);
  RunProcess(ToWide(kRestrictedCommand), SW_HIDE, true);
  if (TScriptRun* run = g_runs.Holder) {
    if (run->FHandle != INVALID_HANDLE_VALUE) CloseHandle(run->FHandle);
    run->FHandle = INVALID_HANDLE_VALUE;
    const wchar_t* path = run->FScriptPath.c_str();
    // PowerShell may still hold it open; then it goes at the next start of Windows.
    if (!DeleteFileW(path) && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
      MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  return false;
}

bool RepairLeftoverRun() {
  HANDLE lock = MachineRunLock();
  if (!lock) return false;
  const DWORD taken = WaitForSingleObject(lock, 0);
  // Another instance is in the middle of a run: its file is no leftover.
  if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) return false;
  bool repaired = false;
  const std::wstring path = ToWide(cb::ScriptPath(ToU16(TempDirectory())));
  const DWORD attr = GetFileAttributesW(path.c_str());
  if (attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY)) {
    RunProcess(ToWide(kRestrictedCommand), SW_HIDE, true);
    DeletePath(path, false);
    repaired = true;
  }
  ReleaseMutex(lock);
  return repaired;
}

bool RunScriptResource(const std::wstring& ResName) {
  TScriptRun run(ResName);
  return run.Run();
}

std::wstring GetAppVersion(int VerLen) {
  wchar_t path[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  path[n < MAX_PATH * 2 ? n : MAX_PATH * 2 - 1] = L'\0';
  static auto* const infoSize =
      SystemProc<decltype(GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW");
  static auto* const info = SystemProc<decltype(GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW");
  static auto* const query = SystemProc<decltype(VerQueryValueW)>(L"version.dll", "VerQueryValueW");
  DWORD handle = 0;
  DWORD size = infoSize && info && query ? infoSize(path, &handle) : 0;
  if (size == 0) {
    switch (VerLen) {
      case 2: return L"0.0";
      case 3: return L"0.0.0";
      case 4: return L"0.0.0.0";
      default: return L"";
    }
  }
  std::vector<unsigned char> data(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (!info(path, 0, size, data.data()) || !query(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || !fixed)
    return ToWide(FormatFileVersion(0, 0, VerLen));
  return ToWide(FormatFileVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS, VerLen));
}

bool IsNetConnected() {
  static auto* const check = SystemProc<decltype(InternetCheckConnectionW)>(L"wininet.dll", "InternetCheckConnectionW");
  return check && check(kConnectivityUrl, FLAG_ICC_FORCE_CONNECTION, 0) != FALSE;
}

bool DownloadFile(const std::wstring& Url, const std::wstring& FileName) {
  static auto* const forget = SystemProc<decltype(DeleteUrlCacheEntryW)>(L"wininet.dll", "DeleteUrlCacheEntryW");
  static auto* const download = SystemProc<decltype(URLDownloadToFileW)>(L"urlmon.dll", "URLDownloadToFileW");
  if (!download) return false;
  // A cached copy would hide a new descriptor until the cache expires.
  if (forget) forget(Url.c_str());
  return download(nullptr, Url.c_str(), FileName.c_str(), 0, nullptr) == S_OK;
}

}  // namespace cb
