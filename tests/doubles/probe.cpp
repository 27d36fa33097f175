// probe.exe: reads what is on the screen for the end-to-end tests.
//   probe list [--pid N] [--class C] [--visible] [--gettext]
//   probe wait --class C [--text T] [--pid N] [--timeout ms] [--gone]
//   probe cursor [--hwnd H]
//   probe close --hwnd H | ping --hwnd H [--timeout ms] | activate --hwnd H | restore --hwnd H
//   probe endsession --hwnd H   (logoff as the system does it: ask, tell, end the process)
//   probe repaint --hwnd H [--timeout ms]   (invalidates the window; did it paint in time?)
//   probe msgbox --text T --caption C [--flags N]   (shows a box itself, for testing the harness)
// Output is JSON on stdout. Window texts come from the window manager's copy
// (InternalGetWindowText) so that a window whose thread is busy never blocks
// the probe; --gettext asks the window itself, with a time limit.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "psd_json.hpp"
#include "win_util.hpp"

namespace {

struct Options {
  std::map<std::string, std::string> values;
  bool has(const std::string& k) const { return values.count(k) != 0; }
  std::string get(const std::string& k, const std::string& fallback = {}) const {
    auto it = values.find(k);
    return it == values.end() ? fallback : it->second;
  }
  long long num(const std::string& k, long long fallback) const {
    return has(k) ? std::strtoll(get(k).c_str(), nullptr, 0) : fallback;
  }
};

bool gGetText = false;

std::string windowText(HWND h) {
  wchar_t buffer[4096];
  if (gGetText) {
    DWORD_PTR n = 0;
    if (SendMessageTimeoutW(h, WM_GETTEXT, std::size(buffer), reinterpret_cast<LPARAM>(buffer),
                            SMTO_ABORTIFHUNG | SMTO_BLOCK, 500, &n)) {
      return cb::test::psd::toUtf8(std::wstring_view(buffer, size_t(n)));
    }
  }
  const int n = InternalGetWindowText(h, buffer, int(std::size(buffer)));
  return cb::test::psd::toUtf8(std::wstring_view(buffer, size_t(n > 0 ? n : 0)));
}

std::string className(HWND h) {
  wchar_t buffer[256];
  const int n = GetClassNameW(h, buffer, int(std::size(buffer)));
  return cb::test::psd::toUtf8(std::wstring_view(buffer, size_t(n > 0 ? n : 0)));
}

std::string rectJson(const RECT& r) {
  return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + "]";
}

long long handleValue(HWND h) { return static_cast<long long>(reinterpret_cast<intptr_t>(h)); }

std::string describe(HWND h, bool topLevel, int depth) {
  cb::test::psd::JsonObject j;
  DWORD pid = 0;
  const DWORD tid = GetWindowThreadProcessId(h, &pid);
  RECT wr{}, cr{};
  GetWindowRect(h, &wr);
  GetClientRect(h, &cr);
  POINT origin{0, 0};
  ClientToScreen(h, &origin);
  OffsetRect(&cr, origin.x, origin.y);
  j.num("hwnd", handleValue(h)).str("class", className(h)).str("text", windowText(h));
  if (topLevel) {
    j.num("pid", static_cast<long long>(pid)).num("tid", static_cast<long long>(tid)).num("owner", handleValue(GetWindow(h, GW_OWNER)));
    j.boolean("foreground", GetForegroundWindow() == h);
  } else {
    j.num("id", static_cast<long long>(GetDlgCtrlID(h)));
  }
  j.boolean("visible", IsWindowVisible(h) != FALSE)
      .boolean("enabled", IsWindowEnabled(h) != FALSE)
      .num("style", static_cast<long long>(static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE))))
      .num("exstyle", static_cast<long long>(static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE))))
      .raw("rect", rectJson(wr))
      .raw("client", rectJson(cr));
  std::string children = "[";
  if (depth < 16) {
    bool first = true;
    for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      children += (first ? "" : ",") + describe(c, false, depth + 1);
      first = false;
    }
  }
  j.raw("children", children + "]");
  return j.text();
}

std::vector<HWND> topLevelWindows() {
  std::vector<HWND> all;
  EnumWindows([](HWND h, LPARAM p) -> BOOL {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&all));
  return all;
}

bool matches(HWND h, const Options& o) {
  if (o.has("pid")) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (static_cast<long long>(pid) != o.num("pid", 0)) return false;
  }
  if (o.has("class") && className(h) != o.get("class")) return false;
  if (o.has("text") && windowText(h) != o.get("text")) return false;
  if (o.has("visible") && !IsWindowVisible(h)) return false;
  return true;
}

int list(const Options& o) {
  std::string out = "[";
  bool first = true;
  for (HWND h : topLevelWindows()) {
    if (!matches(h, o)) continue;
    out += (first ? "" : ",") + describe(h, true, 0);
    first = false;
  }
  cb::test::psd::writeStd(STD_OUTPUT_HANDLE, out + "]\n");
  return 0;
}

int wait(Options o) {
  o.values["visible"] = "1";
  const DWORD timeout = DWORD(o.num("timeout", 10000));
  const bool gone = o.has("gone");
  const DWORD start = GetTickCount();
  for (;;) {
    HWND hit = nullptr;
    for (HWND h : topLevelWindows()) {
      if (matches(h, o)) {
        hit = h;
        break;
      }
    }
    if (!gone && hit) {
      cb::test::psd::writeStd(STD_OUTPUT_HANDLE, describe(hit, true, 0) + "\n");
      return 0;
    }
    if (gone && !hit) {
      cb::test::psd::writeStd(STD_OUTPUT_HANDLE, "{\"gone\":true}\n");
      return 0;
    }
    if (GetTickCount() - start >= timeout) {
      cb::test::psd::writeStd(STD_OUTPUT_HANDLE, "{\"timeout\":true}\n");
      return 1;
    }
    Sleep(50);
  }
}

std::string cursorName(HCURSOR c) {
  static const struct {
    LPCWSTR id;
    const char* name;
  } kinds[] = {{IDC_ARROW, "arrow"},   {IDC_IBEAM, "ibeam"},       {IDC_WAIT, "wait"},
               {IDC_CROSS, "cross"},   {IDC_UPARROW, "uparrow"},   {IDC_SIZENWSE, "sizenwse"},
               {IDC_SIZENESW, "sizenesw"}, {IDC_SIZEWE, "sizewe"}, {IDC_SIZENS, "sizens"},
               {IDC_SIZEALL, "sizeall"}, {IDC_NO, "no"},           {IDC_HAND, "hand"},
               {IDC_APPSTARTING, "appstarting"}, {IDC_HELP, "help"}};
  if (!c) return "none";
  for (const auto& k : kinds) {
    if (LoadCursorW(nullptr, k.id) == c) return k.name;
  }
  return "other";
}

int cursor(const Options& o) {
  CURSORINFO ci{};
  ci.cbSize = sizeof ci;
  cb::test::psd::JsonObject j;
  if (GetCursorInfo(&ci)) {
    j.str("current", cursorName(ci.hCursor))
        .num("handle", static_cast<long long>(reinterpret_cast<intptr_t>(ci.hCursor)))
        .boolean("showing", (ci.flags & CURSOR_SHOWING) != 0)
        .raw("position", "[" + std::to_string(ci.ptScreenPos.x) + "," + std::to_string(ci.ptScreenPos.y) + "]");
  } else {
    j.str("error", cb::test::psd::systemMessage(GetLastError()));
  }
  if (o.has("hwnd")) {
    HWND h = reinterpret_cast<HWND>(static_cast<intptr_t>(o.num("hwnd", 0)));
    j.str("class_cursor", cursorName(reinterpret_cast<HCURSOR>(GetClassLongPtrW(h, GCLP_HCURSOR))));
  }
  cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
  return 0;
}

HWND hwndOf(const Options& o) { return reinterpret_cast<HWND>(static_cast<intptr_t>(o.num("hwnd", 0))); }

int ping(const Options& o) {
  const DWORD start = GetTickCount();
  DWORD_PTR result = 0;
  const bool ok = SendMessageTimeoutW(hwndOf(o), WM_NULL, 0, 0, SMTO_NORMAL, UINT(o.num("timeout", 1000)), &result);
  cb::test::psd::JsonObject j;
  j.boolean("responsive", ok).num("ms", static_cast<long long>(GetTickCount() - start));
  cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
  return ok ? 0 : 1;
}

// Invalidates the whole window and reports whether it painted within the time.
int repaint(const Options& o) {
  HWND wnd = hwndOf(o);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  const DWORD start = GetTickCount(), limit = DWORD(o.num("timeout", 1000));
  bool painted = false;
  while (!(painted = !GetUpdateRect(wnd, nullptr, FALSE)) && GetTickCount() - start < limit) Sleep(10);
  cb::test::psd::JsonObject j;
  j.boolean("painted", painted).num("ms", static_cast<long long>(GetTickCount() - start));
  cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
  return painted ? 0 : 1;
}

// What the system does to a program when the user logs off: asks, tells,
// and ends the process once the window has answered (or after 5 s).
int endSession(const Options& o) {
  HWND wnd = hwndOf(o);
  DWORD pid = 0;
  GetWindowThreadProcessId(wnd, &pid);
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  const DWORD start = GetTickCount();
  DWORD_PTR agreed = 0, ignored = 0;
  const bool asked = SendMessageTimeoutW(wnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &agreed);
  const bool told = SendMessageTimeoutW(wnd, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &ignored);
  const DWORD spent = GetTickCount() - start;
  if (process) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
  cb::test::psd::JsonObject j;
  j.boolean("asked", asked).boolean("agreed", agreed != 0).boolean("told", told).num("ms", static_cast<long long>(spent));
  cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
  return 0;
}

// Sends the bytes of a file with WM_COPYDATA (--kind, --size to send fewer
// or more than the file holds; a larger size pads with zeros) and prints the answer.
int copyData(const Options& o) {
  std::vector<char> bytes;
  if (FILE* f = _wfopen(cb::test::psd::toWide(o.get("file")).c_str(), L"rb")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
  } else {
    cb::test::psd::writeStd(STD_ERROR_HANDLE, "probe: cannot read " + o.get("file") + "\n");
    return 2;
  }
  const size_t size = size_t(o.num("size", static_cast<long long>(bytes.size())));
  if (bytes.size() < size) bytes.resize(size, 0);
  COPYDATASTRUCT cd{0, DWORD(size), bytes.data()};
  DWORD_PTR result = 0;
  const bool ok = SendMessageTimeoutW(hwndOf(o), WM_COPYDATA, WPARAM(o.num("kind", 7)), reinterpret_cast<LPARAM>(&cd),
                                      SMTO_NORMAL, UINT(o.num("timeout", 5000)), &result);
  cb::test::psd::JsonObject j;
  j.boolean("sent", ok).num("result", static_cast<long long>(result));
  cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
  return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    cb::test::psd::writeStd(STD_ERROR_HANDLE, "usage: probe list|wait|cursor|close|ping|activate|restore [--option value]...\n");
    return 2;
  }
  const std::string command = cb::test::psd::toUtf8(argv[1]);
  Options o;
  for (int i = 2; i < argc; ++i) {
    std::string key = cb::test::psd::toUtf8(argv[i]);
    if (key.rfind("--", 0) != 0) {
      cb::test::psd::writeStd(STD_ERROR_HANDLE, "probe: unexpected argument " + key + "\n");
      return 2;
    }
    key = key.substr(2);
    const bool isFlag = key == "gone" || key == "visible" || key == "gettext";
    if (isFlag) {
      o.values[key] = "1";
    } else if (i + 1 < argc) {
      o.values[key] = cb::test::psd::toUtf8(argv[++i]);
    } else {
      cb::test::psd::writeStd(STD_ERROR_HANDLE, "probe: --" + key + " needs a value\n");
      return 2;
    }
  }
  gGetText = o.has("gettext");
  if (command == "list") return list(o);
  if (command == "wait") return wait(o);
  if (command == "cursor") return cursor(o);
  if (command == "ping") return ping(o);
  if (command == "close") return PostMessageW(hwndOf(o), WM_CLOSE, 0, 0) ? 0 : 1;
  if (command == "msgbox") {
    const int answer = MessageBoxW(nullptr, cb::test::psd::toWide(o.get("text")).c_str(), cb::test::psd::toWide(o.get("caption")).c_str(),
                                   UINT(o.num("flags", MB_OK)));
    cb::test::psd::writeStd(STD_OUTPUT_HANDLE, "{\"answer\":" + std::to_string(answer) + "}\n");
    return 0;
  }
  if (command == "endsession") return endSession(o);
  if (command == "copydata") return copyData(o);
  if (command == "repaint") return repaint(o);
  if (command == "activate") return SetForegroundWindow(hwndOf(o)) ? 0 : 1;
  // What the task bar does for a minimised window (there is none on the test display).
  if (command == "restore") return PostMessageW(hwndOf(o), WM_SYSCOMMAND, SC_RESTORE, 0) ? 0 : 1;
  cb::test::psd::writeStd(STD_ERROR_HANDLE, "probe: unknown command " + command + "\n");
  return 2;
}
