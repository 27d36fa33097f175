// The command-line mode for administrators: what the switches ask for, the
// usage text, and the texts the mode writes (the app list as CSV, log lines).
// Plain text work; the Windows side runs what is asked for.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Catalogue.h"

namespace cb {

enum class TCliOp { None, Uninstall, Install, UninstallAll, InstallAll, List, Help };

struct TCliRequest {
  TCliOp Op = TCliOp::None;   // None: the window starts as usual
  std::vector<const AppButton*> Apps;  // Uninstall and Install, in the order given, each once
  bool AllUsers = false;
  bool Quiet = false;
  std::u16string LogPath;     // empty: no log
  std::u16string Error;       // a usage error, in Chinese and English; nothing may run
};

// Reads the program's arguments. Switches start with '/' or '-' and are
// matched without regard to case. "/acver" and "/acpreview" belong to the
// window and are left to it; arguments that hold nothing else start the
// window. Anything unknown is a usage error, and so is a key that is not in
// the catalogue: keys never reach a command line as they were typed.
TCliRequest ParseCommandLine(const std::vector<std::u16string>& Params);

// The app with this key or caption (ASCII letters without regard to case), or nullptr.
const AppButton* FindApp(std::u16string_view KeyOrCaption);

// Exit codes of the mode.
constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitBusy = 3;

std::u16string UsageText();

// An app's state as the listing finds it.
struct TAppState {
  bool CurrentUser = false;  // installed for the user running the program
  bool AnyUser = false;      // installed for at least one user
  bool Provisioned = false;  // new accounts get it
};

// "key,caption,current_user,any_user,provisioned" and one line per app in
// catalogue order, CR LF line ends, fields quoted where they need it.
std::string ListCsv(const std::array<TAppState, kAppCount>& States);

// One line of the log, without its line end: the fields separated by tabs,
// each stripped of control characters so that a line stays one line.
struct TLogEntry {
  std::u16string Time;         // local time with its offset from UTC
  std::u16string Operation;    // "uninstall", "uninstall-allusers", "deprovision", "install", ...
  const AppButton* App = nullptr;
  std::u16string Result;       // "ok", "failed", "busy", "cancelled", "usage-error"
  int32_t ExitCode = 0;        // PowerShell's (-1: not started)
  bool HasExitCode = false;
  uint32_t HResult = 0;        // 0: none
  std::u16string Explanation;
};
std::u16string LogLine(const TLogEntry& Entry);

// "2026-12-11T10:14:15+08:00" from the local time's fields and its offset.
std::u16string LogTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int OffsetMinutes);

}  // namespace cb
