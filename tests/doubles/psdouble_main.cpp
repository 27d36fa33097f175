// powershell.exe for the tests: runs the command forms of the program under
// test against a package store and logs every call as one JSON line.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

#include "psd_argv.hpp"
#include "psd_engine.hpp"
#include "psd_json.hpp"
#include "win_util.hpp"

namespace {

constexpr DWORD kLockWaitMs = 30000;

class HandleGuard {
 public:
  explicit HandleGuard(HANDLE h) : h_(h) {}
  ~HandleGuard() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// Opens a shared file and takes a whole-file lock, retrying while others hold it.
HANDLE openLocked(const std::wstring& path, DWORD access, bool exclusive) {
  const DWORD start = GetTickCount();
  HANDLE h = INVALID_HANDLE_VALUE;
  for (;;) {
    h = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) break;
    const DWORD err = GetLastError();
    if (err != ERROR_SHARING_VIOLATION || GetTickCount() - start > kLockWaitMs) {
      throw cb::test::psd::StoreError("cannot open " + cb::test::psd::toUtf8(path) + ": " + cb::test::psd::systemMessage(err));
    }
    Sleep(5);
  }
  for (;;) {
    OVERLAPPED ov{};
    if (LockFileEx(h, (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &ov)) {
      return h;
    }
    if (GetTickCount() - start > kLockWaitMs) {
      CloseHandle(h);
      throw cb::test::psd::StoreError("the lock of " + cb::test::psd::toUtf8(path) + " was not released within 30 s");
    }
    Sleep(2);
  }
}

void unlock(HANDLE h) {
  OVERLAPPED ov{};
  UnlockFileEx(h, 0, MAXDWORD, MAXDWORD, &ov);
}

std::string readWhole(HANDLE h, const std::wstring& path) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(h, &size)) throw cb::test::psd::StoreError("cannot size " + cb::test::psd::toUtf8(path));
  if (size.QuadPart > LONGLONG(cb::test::psd::kMaxFileBytes)) throw cb::test::psd::StoreError(cb::test::psd::toUtf8(path) + " is too large");
  std::string bytes(size_t(size.QuadPart), '\0');
  LARGE_INTEGER zero{};
  SetFilePointerEx(h, zero, nullptr, FILE_BEGIN);
  size_t got = 0;
  while (got < bytes.size()) {
    DWORD n = 0;
    if (!ReadFile(h, bytes.data() + got, DWORD(bytes.size() - got), &n, nullptr) || n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes;
}

// PowerShell breaks its error view at the console's width, mid-word, also
// when the error output goes to a pipe; so does the double (120 columns).
std::string consoleWrapped(std::string_view text) {
  constexpr size_t kWidth = 120;
  if (GetFileType(GetStdHandle(STD_ERROR_HANDLE)) != FILE_TYPE_PIPE) return std::string(text);
  std::string out;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    do {
      out.append(line.substr(0, kWidth)).append("\r\n");
      line.remove_prefix(std::min(kWidth, line.size()));
    } while (!line.empty());
  }
  return out;
}

class WinHost : public cb::test::psd::Host {
 public:
  explicit WinHost(std::wstring statePath) : statePath_(std::move(statePath)) {}

  cb::test::psd::Store loadStore() override {
    HandleGuard h(openLocked(statePath_, GENERIC_READ, false));
    const std::string text = readWhole(h.get(), statePath_);
    unlock(h.get());
    return cb::test::psd::Store::parse(text);
  }

  void updateStore(const std::function<void(cb::test::psd::Store&)>& change) override {
    HandleGuard h(openLocked(statePath_, GENERIC_READ | GENERIC_WRITE, true));
    struct Unlock {
      HANDLE h;
      ~Unlock() { unlock(h); }
    } guard{h.get()};
    cb::test::psd::Store store = cb::test::psd::Store::parse(readWhole(h.get(), statePath_));
    change(store);
    const std::string text = store.serialize();
    LARGE_INTEGER zero{};
    SetFilePointerEx(h.get(), zero, nullptr, FILE_BEGIN);
    DWORD done = 0;
    if (!WriteFile(h.get(), text.data(), DWORD(text.size()), &done, nullptr) || done != text.size() ||
        !SetEndOfFile(h.get())) {
      throw cb::test::psd::StoreError("cannot write " + cb::test::psd::toUtf8(statePath_) + ": " + cb::test::psd::systemMessage(GetLastError()));
    }
    FlushFileBuffers(h.get());
  }

  bool isFile(const std::string& path) override {
    const DWORD a = GetFileAttributesW(cb::test::psd::toWide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }

  cb::test::psd::FileRead readFile(const std::string& path) override {
    cb::test::psd::FileRead r;
    const std::wstring wpath = cb::test::psd::toWide(path);
    HANDLE h = CreateFileW(wpath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD err = GetLastError();
      switch (err) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: r.status = cb::test::psd::ReadStatus::NotFound; break;
        case ERROR_SHARING_VIOLATION: r.status = cb::test::psd::ReadStatus::SharingViolation; break;
        case ERROR_ACCESS_DENIED: r.status = cb::test::psd::ReadStatus::AccessDenied; break;
        default: r.status = cb::test::psd::ReadStatus::Failed; r.error = cb::test::psd::systemMessage(err);
      }
      return r;
    }
    HandleGuard guard(h);
    try {
      r.bytes = readWhole(h, wpath);
      r.status = cb::test::psd::ReadStatus::Ok;
    } catch (const cb::test::psd::StoreError& e) {
      r.status = cb::test::psd::ReadStatus::Failed;
      r.error = e.what();
    }
    return r;
  }

  std::string currentDirectory() override {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetCurrentDirectoryW(DWORD(std::size(buffer)), buffer);
    return n && n < std::size(buffer) ? cb::test::psd::toUtf8(std::wstring_view(buffer, n)) : std::string();
  }

  void sleepMs(int ms) override {
    if (ms > 0) Sleep(DWORD(ms));
  }
  void writeOut(std::string_view text) override { cb::test::psd::writeStd(STD_OUTPUT_HANDLE, text); }
  void writeErr(std::string_view text) override { cb::test::psd::writeStd(STD_ERROR_HANDLE, consoleWrapped(text)); }

 private:
  std::wstring statePath_;
};

std::wstring storeDirectory() {
  wchar_t buffer[MAX_PATH * 4];
  DWORD n = GetEnvironmentVariableW(L"PSDOUBLE_DIR", buffer, DWORD(std::size(buffer)));
  if (n && n < std::size(buffer)) return std::wstring(buffer, n);
  n = GetModuleFileNameW(nullptr, buffer, DWORD(std::size(buffer)));
  std::wstring exe(buffer, n);
  const size_t slash = exe.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : exe.substr(0, slash);
}

DWORD parentProcessId() {
  DWORD parent = 0;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W e{};
  e.dwSize = sizeof e;
  for (BOOL ok = Process32FirstW(snap, &e); ok; ok = Process32NextW(snap, &e)) {
    if (e.th32ProcessID == GetCurrentProcessId()) {
      parent = e.th32ParentProcessID;
      break;
    }
  }
  CloseHandle(snap);
  return parent;
}

std::string isoTime() {
  SYSTEMTIME st;
  GetSystemTime(&st);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", st.wYear, st.wMonth, st.wDay, st.wHour,
                st.wMinute, st.wSecond, st.wMilliseconds);
  return buffer;
}

void appendLog(const std::wstring& path, const std::string& line) {
  HANDLE h = INVALID_HANDLE_VALUE;
  try {
    h = openLocked(path, GENERIC_READ | FILE_APPEND_DATA, true);
  } catch (const std::exception& e) {
    cb::test::psd::writeStd(STD_ERROR_HANDLE, std::string("psdouble log: ") + e.what() + "\r\n");
    return;
  }
  DWORD done = 0;
  const std::string text = line + "\n";
  WriteFile(h, text.data(), DWORD(text.size()), &done, nullptr);
  unlock(h);
  CloseHandle(h);
}

std::string fmtMs(double ms) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.3f", ms);
  return buffer;
}

}  // namespace

int wmain() {
  const double started = cb::test::psd::nowEpochMs();
  const std::string time = isoTime();
  STARTUPINFOW si{};
  si.cb = sizeof si;
  GetStartupInfoW(&si);
  const HWND console = GetConsoleWindow();
  const bool consoleVisible = console && IsWindowVisible(console);

  const std::string commandLine = cb::test::psd::toUtf8(GetCommandLineW());
  const std::vector<std::string> argv = cb::test::psd::splitCommandLine(commandLine);
  const std::wstring dir = storeDirectory();
  WinHost host(dir + L"\\psdouble-state.ini");

  cb::test::psd::Outcome o;
  try {
    o = cb::test::psd::run(argv, host);
  } catch (const std::exception& e) {
    o.errors.push_back(std::string("psdouble: ") + e.what());
    cb::test::psd::writeStd(STD_ERROR_HANDLE, o.errors.back() + "\r\n");
    o.exitCode = 3;
  }

  std::string scripts = "[";
  for (size_t i = 0; i < o.scripts.size(); ++i) {
    const cb::test::psd::ScriptRecord& s = o.scripts[i];
    cb::test::psd::JsonObject j;
    j.str("path", s.path).str("status", s.status).str("bytes_b64", cb::test::psd::base64(s.bytes)).str("text", s.bytes);
    scripts += (i ? "," : "") + j.text();
  }
  scripts += "]";

  cb::test::psd::JsonObject log;
  log.num("pid", static_cast<long long>(GetCurrentProcessId()))
      .num("ppid", static_cast<long long>(parentProcessId()))
      .str("time", time)
      .raw("t_start_ms", fmtMs(started))
      .raw("t_end_ms", fmtMs(cb::test::psd::nowEpochMs()))
      .str("cmdline", commandLine)
      .raw("argv", cb::test::psd::jsonArray(argv))
      .str("cwd", host.currentDirectory())
      .raw("startup", cb::test::psd::JsonObject().num("dwFlags", static_cast<long long>(si.dwFlags)).num("wShowWindow", si.wShowWindow).text())
      .raw("console", cb::test::psd::JsonObject().boolean("window", console != nullptr).boolean("visible", consoleVisible).text())
      .str("mode", o.mode)
      .str("command_text", o.commandText)
      .str("kind", o.kind)
      .str("policy_before", o.policyBefore)
      .str("policy_after", o.policyAfter)
      .raw("scripts", scripts)
      .raw("removed", cb::test::psd::jsonArray(o.removed))
      .raw("registered", cb::test::psd::jsonArray(o.registered))
      .raw("deprovisioned", cb::test::psd::jsonArray(o.deprovisioned))
      .boolean("all_users", o.allUsers)
      .raw("errors", cb::test::psd::jsonArray(o.errors))
      .num("exit_code", o.exitCode);
  appendLog(dir + L"\\psdouble.log", log.text());
  return o.exitCode;
}
