// Process, shell, message-box and file helpers of the app.
#pragma once
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ui/UiText.h"

namespace cb {

// Web addresses of the maker.
extern const wchar_t kMakerPageUrl[];
extern const wchar_t kDescriptorUrl[];
extern const wchar_t kConnectivityUrl[];

inline const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// Starts CommandLine; returns the child's exit code when waiting, else -1.
// -1 also when the process could not be created.
int32_t RunProcess(const std::wstring& CommandLine, uint16_t ShowWindow, bool Wait, uint32_t* ProcessId = nullptr);

// What a child wrote to its standard output and error. The pipes are
// inherited by that child alone; the first kMaxCaptureBytes of each are kept
// and the rest is read and dropped, so a child that writes without end costs
// neither memory nor a blocked pipe.
struct TCapture {
  std::string Out, Err;
};
constexpr size_t kMaxCaptureBytes = 1u << 20;

// Starts CommandLine hidden with its output captured and waits for it (with
// the window alive when the thread has a busy window); the exit code, or -1
// when it could not be started.
int32_t RunCaptured(const std::wstring& CommandLine, TCapture& Capture);

// Opens a web page with the shell; anything that is not an http(s) address is
// refused (false), because this process always runs elevated.
bool OpenUrl(const std::wstring& Url);

// Information box (OK) or question box (Yes/No) owned by the active window.
bool ShowMsg(const std::wstring& Text, const std::wstring& Caption, bool AskYesNo);

void DeletePath(const std::wstring& Path, bool IsDirectory);
bool DeleteDirTree(const std::wstring& Dir);

// The value of the environment variable "temp" (the system's temp path when unset).
std::wstring TempDirectory();

// The machine's turn for PowerShell runs that change packages or the execution
// policy: runs of other threads and other instances of the program come
// before or after, never in between. The lock belongs to a thread, and a
// thread that holds it takes it again at once (a run inside a longer turn).
class TRunTurn {
 public:
  // Waits for the turn, keeping the thread's busy window alive; throws when
  // the lock cannot be made or taken.
  TRunTurn();
  // Waits at most TimeoutMs; Held says whether the turn came.
  explicit TRunTurn(unsigned TimeoutMs);
  ~TRunTurn();
  TRunTurn(const TRunTurn&) = delete;
  TRunTurn& operator=(const TRunTurn&) = delete;
  bool Held() const { return FHeld; }

 private:
  bool FHeld = false;
};

// A script resource written to the temporary script file and held so that no
// other process can change, rename or delete it until PowerShell has run it.
// Runs are serialised: every run shares the one file name and the machine-wide
// execution policy, so overlapping runs would execute each other's script or
// restrict the policy under each other's feet.
class TScriptRun {
  // Counts the run from before it waits for its turn until its file is gone,
  // and refuses it once the program is closing.
  struct TTicket {
    TTicket();
    ~TTicket();
    TTicket(const TTicket&) = delete;
    TTicket& operator=(const TTicket&) = delete;
  };

 public:
  // Opens the resource and writes the file; throws (before any process starts)
  // when the resource is missing or the file cannot be written safely.
  explicit TScriptRun(const std::wstring& ResName);
  ~TScriptRun();
  TScriptRun(const TScriptRun&) = delete;
  TScriptRun& operator=(const TScriptRun&) = delete;

  // Bypass, the script, RESTRICTED; each runs whatever the others returned.
  // Returns whether the script ran and reported success.
  bool Run();
  // The script step's exit code (-1 when it or the Bypass step did not start)
  // and its error output.
  int32_t ScriptExit() const { return FScriptExit; }
  const std::string& ScriptErrors() const { return FScriptErrors; }

  const std::wstring& ScriptPath() const { return FScriptPath; }
  const std::string& Script() const { return FScript; }

 private:
  friend bool FinishScriptRuns(unsigned TimeoutMs, const std::function<void()>& Idle);
  // One step of the run, hidden and waited for; -1 without starting anything
  // once the closing program has taken the run over.
  int32_t Step(const std::u16string& CommandLine, bool IsBypass, TCapture* Capture = nullptr);


  TTicket FTicket;
  TRunTurn FTurn;
  std::wstring FScriptPath;
  std::string FScript;
  HANDLE FHandle = INVALID_HANDLE_VALUE;
  int32_t FScriptExit = -1;
  std::string FScriptErrors;
};

// Called once the main window has gone. A script run still going on a worker
// thread would die with the process between Bypass and RESTRICTED and leave an
// elevated machine at Bypass with the script in the temporary folder. So runs
// not started yet are refused, and the ones under way get TimeoutMs to reach
// their RESTRICTED step and delete their file; a run still going then is taken
// over: no further step of it starts, the policy is set back to RESTRICTED here
// and the file deleted. Idle runs every few milliseconds of the wait, so that
// what is still on the way out (a hide animation) can finish. Returns whether
// every run had finished by itself.
bool FinishScriptRuns(unsigned TimeoutMs, const std::function<void()>& Idle = {});

// How long the closing program waits for a script run: the Bypass step and
// PowerShell reading its script take far less; a script that works on after
// that needs neither the policy nor the file any more.
constexpr unsigned kScriptRunExitWaitMs = 30000;

// A run that a killed process left behind (its script file is there and no
// instance is running a script): RESTRICTED is run and the file deleted.
// Returns whether there was one. Runs a process: call it off the GUI thread.
bool RepairLeftoverRun();

// How long a session that is ending waits for a script run before it
// restores the policy and deletes the file itself: the system gives a
// program a few seconds after it has agreed to end.
constexpr unsigned kScriptRunEndSessionWaitMs = 1500;

// The whole script run: write, Bypass, run, RESTRICTED, delete. Returns whether
// the script succeeded; throws as TScriptRun does.
bool RunScriptResource(const std::wstring& ResName);

// A function of a system DLL that start-up does not need, found on first use
// (null when the DLL or the function is missing). Loading those DLLs at start
// cost a visible part of it. They come from the system directory only: this
// process runs elevated, and a DLL of the same name beside the program or in
// the current folder must never be loaded. The DLL stays loaded.
void* SystemProcAddress(const wchar_t* Dll, const char* Name);
template <class F>
F* SystemProc(const wchar_t* Dll, const char* Name) {
  return reinterpret_cast<F*>(SystemProcAddress(Dll, Name));
}

// The program's arguments as the shell splits them (without the program name).
std::vector<std::wstring> CommandLineParameters();

// Update-side helpers.
std::wstring GetAppVersion(int VerLen);
bool IsNetConnected();
bool DownloadFile(const std::wstring& Url, const std::wstring& FileName);

}  // namespace cb
