#include "uCmdMode.h"

#include <windows.h>

#include <atomic>
#include <exception>

#include "Commands.h"
#include "base/Strings.h"
#include "ui/Forms.h"
#include "uAppRuns.h"
#include "uCommonFunc.h"

namespace cb {

namespace {

std::atomic<bool> g_stop{false};

// Ctrl+C lets the run under way finish and skips the rest; a console or a
// session that goes ends the process soon, and a script run must not leave
// the machine at Bypass with its file behind.
BOOL WINAPI ConsoleControl(DWORD Type) {
  if (Type == CTRL_C_EVENT || Type == CTRL_BREAK_EVENT) {
    g_stop = true;
    return TRUE;
  }
  FinishScriptRuns(kScriptRunEndSessionWaitMs);
  return FALSE;
}

// Where the program was started from: a redirected standard output takes
// UTF-8 bytes, a console takes the text as it is.
class TOutput {
 public:
  TOutput() {
    HANDLE Out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD Mode = 0;
    if (Out && Out != INVALID_HANDLE_VALUE) {
      const DWORD Type = GetFileType(Out);
      if (Type == FILE_TYPE_CHAR && GetConsoleMode(Out, &Mode))
        FConsole = Out;
      else if (Type == FILE_TYPE_DISK || Type == FILE_TYPE_PIPE || Type == FILE_TYPE_CHAR)
        FFile = Out;
    }
    if (!FConsole && !FFile && AttachConsole(ATTACH_PARENT_PROCESS)) {
      HANDLE Console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
      if (Console != INVALID_HANDLE_VALUE) {
        FConsole = Console;
        FOwned = true;
        // The shell does not wait for a windowed program: its prompt is out already.
        Write(u"\n");
      }
    }
    if (FConsole) SetConsoleCtrlHandler(ConsoleControl, TRUE);
  }
  ~TOutput() {
    if (FOwned) CloseHandle(FConsole);
  }
  TOutput(const TOutput&) = delete;
  TOutput& operator=(const TOutput&) = delete;

  bool Present() const { return FConsole || FFile; }

  void Write(std::u16string_view Text) {
    std::u16string T;
    for (size_t i = 0; i < Text.size(); ++i) {
      if (Text[i] == u'\n' && (i == 0 || Text[i - 1] != u'\r')) T += u'\r';
      T += Text[i];
    }
    DWORD Done = 0;
    if (FConsole) {
      WriteConsoleW(FConsole, T.data(), DWORD(T.size()), &Done, nullptr);
    } else if (FFile) {
      const std::string Bytes = Utf16ToUtf8(T);
      WriteFile(FFile, Bytes.data(), DWORD(Bytes.size()), &Done, nullptr);
    }
  }

 private:
  HANDLE FConsole = nullptr, FFile = nullptr;
  bool FOwned = false;
};

// Appends whole lines: every write lands at the end, so several instances
// can share one log.
class TLog {
 public:
  ~TLog() {
    if (FFile != INVALID_HANDLE_VALUE) CloseHandle(FFile);
  }
  bool Open(const std::wstring& Path) {
    // A deployment's first run finds no folder for its log yet.
    for (size_t i = Path.find_first_of(L"\\/", 1); i != std::wstring::npos; i = Path.find_first_of(L"\\/", i + 1))
      CreateDirectoryW(Path.substr(0, i).c_str(), nullptr);
    FFile = CreateFileW(Path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return FFile != INVALID_HANDLE_VALUE;
  }
  void Append(const std::u16string& Line) {
    if (FFile == INVALID_HANDLE_VALUE) return;
    const std::string Bytes = Utf16ToUtf8(Line) + "\r\n";
    DWORD Done = 0;
    WriteFile(FFile, Bytes.data(), DWORD(Bytes.size()), &Done, nullptr);
  }

 private:
  HANDLE FFile = INVALID_HANDLE_VALUE;
};

std::u16string NowText() {
  SYSTEMTIME Utc, Local;
  GetSystemTime(&Utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &Utc, &Local)) Local = Utc;
  FILETIME U, L;
  SystemTimeToFileTime(&Utc, &U);
  SystemTimeToFileTime(&Local, &L);
  auto ticks = [](const FILETIME& F) { return (int64_t(F.dwHighDateTime) << 32) | F.dwLowDateTime; };
  const int64_t Seconds = (ticks(L) - ticks(U)) / 10000000;
  const int Offset = int((Seconds + (Seconds < 0 ? -30 : 30)) / 60);
  return LogTime(Local.wYear, Local.wMonth, Local.wDay, Local.wHour, Local.wMinute, Local.wSecond, Offset);
}

std::u16string Both(const char16_t* Chinese, const char16_t* English) {
  return std::u16string(Chinese) + u"\n" + English;
}

// A text of several lines as one log field.
std::u16string OneLine(const std::u16string& Text) {
  std::u16string Out;
  for (char16_t c : Text) {
    if (c == u'\r') continue;
    if (c == u'\n')
      Out += u" / ";
    else
      Out += c;
  }
  return Out;
}

const char16_t* OperationName(TCliOp Op) {
  switch (Op) {
    case TCliOp::Uninstall: return u"uninstall";
    case TCliOp::Install: return u"install";
    case TCliOp::UninstallAll: return u"uninstall-all";
    case TCliOp::InstallAll: return u"install-all";
    case TCliOp::List: return u"list";
    default: return u"usage";
  }
}

// An operation that threw before PowerShell started (a script resource
// missing, the script file not writable): a failure that names its reason.
TRunResult Guarded(const std::function<TRunResult()>& Run, std::u16string& Problem) {
  try {
    return Run();
  } catch (const std::exception& e) {
    Problem = Utf8ToUtf16(e.what());
  } catch (...) {
    Problem = u"?";
  }
  return {};
}

}  // namespace

int RunCommandMode(const TCliRequest& R, const std::function<void()>& PrepareBoxes) {
  TOutput Out;
  TLog Log;
  bool Prepared = false;
  auto box = [&](const std::u16string& Text, const std::u16string& Caption, UINT Flags) {
    if (!Prepared && PrepareBoxes) PrepareBoxes();
    Prepared = true;
    return Application->MessageBox(ToWide(Text), ToWide(Caption), Flags | MB_SETFOREGROUND);
  };
  // For the person who started the program: the console, else a box unless quiet.
  auto tell = [&](const std::u16string& Text, const std::u16string& Caption, UINT Icon) {
    if (Out.Present())
      Out.Write(Text + u"\n");
    else if (!R.Quiet)
      box(Text, Caption, MB_OK | Icon);
  };
  auto log = [&](TLogEntry E, bool Echo) {
    E.Time = NowText();
    const std::u16string Line = LogLine(E);
    Log.Append(Line);
    if (Echo) Out.Write(Line + u"\n");
  };
  const std::u16string Title = u"Clearbay";

  if (R.Op == TCliOp::Help && R.Error.empty()) {
    tell(UsageText(), Title, MB_ICONINFORMATION);
    return kExitOk;
  }
  std::u16string Error = R.Error;
  if (!R.LogPath.empty() && !Log.Open(ToWide(R.LogPath)))
    Error += std::u16string(Error.empty() ? u"" : u"\n") + u"无法打开日志文件：" + R.LogPath + u"\nCannot open the log file: " + R.LogPath;
  if (!Error.empty()) {
    TLogEntry E;
    E.Operation = OperationName(R.Op);
    E.Result = u"usage-error";
    E.Explanation = OneLine(Error);
    log(E, false);
    tell(Error + u"\n" + u"运行 Clearbay.exe /? 查看用法。 Run Clearbay.exe /? for the usage.", Title, MB_ICONERROR);
    return kExitUsage;
  }

  const char16_t* Operation = OperationName(R.Op);
  if (R.Op == TCliOp::List) {
    std::array<TAppState, kAppCount> States;
    const bool Ok = QueryAppStates(States);
    TLogEntry E;
    E.Operation = Operation;
    E.Result = Ok ? u"ok" : u"failed";
    // The list itself goes to the standard output; the log line does not.
    log(E, false);
    if (!Ok) {
      tell(Both(u"无法读取应用的状态。", u"The apps' states could not be read."), Title, MB_ICONERROR);
      return kExitFailed;
    }
    const std::u16string Csv = Utf8ToUtf16(ListCsv(States));
    if (Out.Present())
      Out.Write(Csv);
    else if (!R.Quiet)
      box(Csv, Title, MB_OK | MB_ICONINFORMATION);
    return kExitOk;
  }

  if (R.Op == TCliOp::UninstallAll && !R.Quiet &&
      box(kUninstallAllQuestion, kConfirmCaption, MB_YESNO | MB_ICONQUESTION) != IDYES) {
    TLogEntry E;
    E.Operation = Operation;
    E.Result = u"cancelled";
    log(E, true);
    return kExitFailed;
  }

  TRunTurn Turn(kCommandTurnWaitMs);
  if (!Turn.Held()) {
    TLogEntry E;
    E.Operation = Operation;
    E.Result = u"busy";
    const std::u16string Busy = Both(u"另一个实例正在运行，请稍后重试。", u"Another instance is running; try again later.");
    E.Explanation = OneLine(Busy);
    log(E, true);
    if (!Out.Present() && !R.Quiet) box(Busy, Title, MB_OK | MB_ICONWARNING);
    return kExitBusy;
  }
  // As at the window's start: a run that a killed instance left behind is undone first.
  RepairLeftoverRun();

  int Failed = 0;
  std::vector<std::u16string> Notices;
  auto record = [&](const char16_t* Op, const AppButton* App, const TRunResult& Result, const std::u16string& Problem,
                    bool Bulk) {
    TLogEntry E;
    E.Operation = Op;
    E.App = App;
    E.Result = Result.Ok ? u"ok" : u"failed";
    E.HasExitCode = Problem.empty();
    E.ExitCode = Result.Code;
    if (Bulk && Problem.empty() && Result.Code != -1) {
      // The notice's text, also when done: it counts what Windows kept.
      E.Explanation = OneLine(R.Op == TCliOp::UninstallAll ? UninstallAllNotice(Result.Code, Result.Errors)
                                                            : InstallAllNotice(Result.Code, Result.Errors));
    }
    if (!Result.Ok) {
      if (!Problem.empty()) {
        E.Explanation = Problem;
      } else if (!Result.Reason.empty()) {
        E.Explanation = Result.Reason;
      } else if (Result.Code == -1) {
        E.Explanation = u"PowerShell 未能启动";
      } else if (Bulk) {
        for (const auto& X : Result.Errors)
          if (!(R.Op == TCliOp::UninstallAll && KeptBySystem(X)) && ChosenCode(X)) {
            E.HResult = ChosenCode(X);
            break;
          }
      } else if (const TRunError* X = ExplainingError(Result.Errors)) {
        E.HResult = ChosenCode(*X);
        if (const char16_t* Reason = ReasonFor(E.HResult)) E.Explanation = Reason;
      }
    }
    log(E, true);
  };

  if (R.Op == TCliOp::UninstallAll || R.Op == TCliOp::InstallAll) {
    const bool Removal = R.Op == TCliOp::UninstallAll;
    std::u16string Problem;
    const TRunResult Result = Guarded(
        [&] {
          if (Removal) return UninstallEverything();
          TScriptRun Run(L"installallapp");
          return RunInstallScript(Run, nullptr);
        },
        Problem);
    record(Operation, nullptr, Result, Problem, true);
    if (!Result.Ok) ++Failed;
    Notices.push_back(Removal ? UninstallAllNotice(Result.Code, Result.Errors) : InstallAllNotice(Result.Code, Result.Errors));
  } else {
    for (const AppButton* App : R.Apps) {
      const std::u16string Key = App->key;
      if (g_stop) {
        TLogEntry E;
        E.Operation = Operation;
        E.App = App;
        E.Result = u"cancelled";
        log(E, true);
        ++Failed;
        continue;
      }
      std::u16string Problem;
      TRunResult Result;
      if (R.Op == TCliOp::Install) {
        Result = Guarded(
            [&] {
              TScriptRun Run(ToWide(Key));
              return RunInstallScript(Run, App);
            },
            Problem);
        record(u"install", App, Result, Problem, false);
      } else if (!R.AllUsers) {
        Result = Guarded([&] { return UninstallApp(Key); }, Problem);
        record(u"uninstall", App, Result, Problem, false);
      } else {
        // Both, whatever the first did: an app that is in use for one user is
        // still not to come to new accounts.
        Result = Guarded([&] { return UninstallAppForAllUsers(Key); }, Problem);
        record(u"uninstall-allusers", App, Result, Problem, false);
        std::u16string Problem2;
        const TRunResult Deprovision = Guarded([&] { return DeprovisionApp(Key); }, Problem2);
        record(u"deprovision", App, Deprovision, Problem2, false);
        if (Result.Ok && !Deprovision.Ok) {
          Result = Deprovision;
          Problem = Problem2;
        }
      }
      if (!Result.Ok) ++Failed;
      std::u16string Notice = R.Op == TCliOp::Install ? InstallNotice(App->caption, Result)
                                                      : UninstallNotice(App->caption, Result.Code, Result.Errors);
      if (!Problem.empty()) Notice += u"\n" + Problem;
      Notices.push_back(Notice);
    }
  }

  if (!R.Quiet && !Out.Present() && !Notices.empty()) {
    constexpr size_t kShown = 12;
    std::u16string Text;
    for (size_t i = 0; i < Notices.size() && i < kShown; ++i) Text += (i ? u"\n" : u"") + Notices[i];
    if (Notices.size() > kShown) Text += u"\n另有 " + IntToStr(int64_t(Notices.size() - kShown)) + u" 项";
    box(Text, kNoticeCaption, MB_OK | (Failed ? MB_ICONWARNING : MB_ICONINFORMATION));
  }
  return Failed ? kExitFailed : kExitOk;
}

}  // namespace cb
