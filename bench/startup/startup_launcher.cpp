// Measures start-up of a GUI program: from process creation until its window
// is visible and its GUI thread waits for input. Prints milliseconds per run.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

struct Find {
  DWORD pid;
  bool visible = false;
};

static BOOL CALLBACK Enum(HWND h, LPARAM p) {
  auto* f = reinterpret_cast<Find*>(p);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == f->pid && IsWindowVisible(h)) {
    RECT r;
    GetWindowRect(h, &r);
    if (r.right - r.left > 100) f->visible = true;
  }
  return TRUE;
}

// With a trace file, the program's own marks (CB_STARTUP_TRACE) go between
// the launcher's "start" and "idle" lines, all in performance-counter ticks.
static const wchar_t* gTrace = nullptr;

static void Mark(const char* name, const LARGE_INTEGER& t) {
  if (!gTrace) return;
  FILE* f = _wfopen(gTrace, L"ab");
  if (!f) return;
  fprintf(f, "%s %lld\n", name, static_cast<long long>(t.QuadPart));
  fclose(f);
}

static double Once(const std::wstring& cmd) {
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  Mark("frequency", freq);
  std::vector<wchar_t> buf(cmd.begin(), cmd.end());
  buf.push_back(0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  QueryPerformanceCounter(&t0);
  Mark("start", t0);
  if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  Find f{pi.dwProcessId};
  for (int i = 0; i < 60000 && !f.visible; ++i) {
    EnumWindows(Enum, reinterpret_cast<LPARAM>(&f));
    if (!f.visible) Sleep(1);
  }
  WaitForInputIdle(pi.hProcess, 60000);
  QueryPerformanceCounter(&t1);
  Mark("visible and idle", t1);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return f.visible ? double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(freq.QuadPart) : -1;
}

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && wcscmp(argv[1], L"--trace") == 0) {
    // One traced run: the marks are read from the file by the caller.
    gTrace = argv[2];
    _wremove(gTrace);
    SetEnvironmentVariableW(L"CB_STARTUP_TRACE", gTrace);
    argv += 2;
    argc -= 2;
  }
  if (argc < 3) {
    fwprintf(stderr, L"usage: startup_launcher [--trace <file>] <runs> <command line>\n");
    return 2;
  }
  int runs = _wtoi(argv[1]);
  std::wstring cmd = argv[2];
  Once(cmd);  // warm the file cache and Wine's loader
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    double ms = Once(cmd);
    if (ms < 0) {
      fwprintf(stderr, L"no window from %ls\n", cmd.c_str());
      return 1;
    }
    t.push_back(ms);
  }
  std::sort(t.begin(), t.end());
  printf("%.1f\n", t[t.size() / 2]);
  return 0;
}
