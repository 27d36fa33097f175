// launcher.exe: starts a command line the way the program under test does
// (CreateProcessW without an application name, STARTUPINFOW flags 0x41 and
// SW_HIDE, creation flags 0x30) and reports the child's exit code as JSON.
//   launcher [--flags N] [--show N] [--creation N] [--cwd DIR] [--env NAME=VALUE]... [--no-wait] --cmdfile FILE
//   launcher [options] -- <command line>
// --detach starts the child with neither a console to attach to nor standard
// handles, as the desktop or a service starts a program.
// --watch reports the start at once (a line with the pid) and the exit code on a
// second line when the child ends, so a test can find the child's windows while
// it runs and still learn how it ended.
// The command line is the UTF-8 content of FILE (exact, whatever the caller's
// quoting), or everything after " -- " as written. --env sets a variable in the
// child's environment; Wine takes TEMP and TMP from the registry, not from the
// Linux environment, so this is how a test gives the program a temporary
// directory of its own.
#include <windows.h>

#include <cstdlib>
#include <cwctype>
#include <map>

#include "psd_argv.hpp"
#include "psd_json.hpp"
#include "win_util.hpp"

int wmain() {
  const std::wstring whole = GetCommandLineW();
  const size_t sep = whole.find(L" -- ");
  std::wstring child = sep == std::wstring::npos ? std::wstring() : whole.substr(sep + 4);
  const std::vector<std::string> args = cb::test::psd::splitCommandLine(cb::test::psd::toUtf8(whole.substr(0, sep)));
  DWORD flags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK, creation = CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS;
  WORD show = SW_HIDE;
  bool wait = true, watch = false, detach = false;
  std::wstring cwd;
  std::vector<std::wstring> overrides;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--flags" && hasValue) flags = DWORD(std::strtoul(args[++i].c_str(), nullptr, 0));
    else if (a == "--show" && hasValue) show = WORD(std::strtoul(args[++i].c_str(), nullptr, 0));
    else if (a == "--creation" && hasValue) creation = DWORD(std::strtoul(args[++i].c_str(), nullptr, 0));
    else if (a == "--cwd" && hasValue) cwd = cb::test::psd::toWide(args[++i]);
    else if (a == "--no-wait") wait = false;
    else if (a == "--watch") watch = true;
    else if (a == "--detach") detach = true;
    else if (a == "--env" && hasValue && args[i + 1].find('=') != std::string::npos) overrides.push_back(cb::test::psd::toWide(args[++i]));
    else if (a == "--cmdfile" && hasValue) {
      HANDLE f = CreateFileW(cb::test::psd::toWide(args[++i]).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
      char buffer[32768];
      DWORD n = 0;
      if (f == INVALID_HANDLE_VALUE || !ReadFile(f, buffer, sizeof buffer, &n, nullptr)) {
        cb::test::psd::writeStd(STD_ERROR_HANDLE, "launcher: cannot read " + args[i] + "\n");
        return 2;
      }
      CloseHandle(f);
      child = cb::test::psd::toWide(std::string_view(buffer, n));
    }
    else {
      cb::test::psd::writeStd(STD_ERROR_HANDLE, "launcher: bad option " + a + "\n");
      return 2;
    }
  }
  if (child.empty()) {
    cb::test::psd::writeStd(STD_ERROR_HANDLE, "usage: launcher [options] --cmdfile FILE | launcher [options] -- <command line>\n");
    return 2;
  }
  // The child's environment: ours with the overrides, names compared without regard to case.
  std::wstring block;
  if (!overrides.empty()) {
    std::map<std::wstring, std::wstring> vars;
    auto key = [](std::wstring name) {
      for (wchar_t& c : name) c = wchar_t(towupper(c));
      return name;
    };
    wchar_t* env = GetEnvironmentStringsW();
    for (const wchar_t* p = env; *p; p += wcslen(p) + 1) {
      const std::wstring entry = p;
      const size_t eq = entry.find(L'=', 1);
      if (eq != std::wstring::npos) vars[key(entry.substr(0, eq))] = entry;
    }
    FreeEnvironmentStringsW(env);
    for (const std::wstring& entry : overrides) vars[key(entry.substr(0, entry.find(L'=')))] = entry;
    for (const auto& kv : vars) block += kv.second + L'\0';
    block += L'\0';
    creation |= CREATE_UNICODE_ENVIRONMENT;
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = flags;
  si.wShowWindow = show;
  PROCESS_INFORMATION pi{};
  cb::test::psd::JsonObject j;
  // Wine hands a child the parent's standard handles even unasked.
  const HANDLE std[3] = {GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE)};
  if (detach) {
    FreeConsole();
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) SetStdHandle(which, nullptr);
  }
  const BOOL created = CreateProcessW(nullptr, child.data(), nullptr, nullptr, FALSE, creation,
                                      block.empty() ? nullptr : block.data(), cwd.empty() ? nullptr : cwd.c_str(), &si, &pi);
  if (detach) {
    SetStdHandle(STD_INPUT_HANDLE, std[0]);
    SetStdHandle(STD_OUTPUT_HANDLE, std[1]);
    SetStdHandle(STD_ERROR_HANDLE, std[2]);
  }
  if (!created) {
    const DWORD err = GetLastError();
    j.boolean("started", false).num("error", static_cast<long long>(err)).str("message", cb::test::psd::systemMessage(err));
    cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
    return 1;
  }
  j.boolean("started", true).num("pid", static_cast<long long>(pi.dwProcessId));
  if (watch) {
    cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
    j = cb::test::psd::JsonObject();
  }
  if (wait) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    j.num("exit_code", static_cast<long>(static_cast<int>(code)));
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  cb::test::psd::writeStd(STD_OUTPUT_HANDLE, j.text() + "\n");
  return 0;
}
