#include "uAppRuns.h"

#include "Commands.h"

namespace cb {

namespace {

TRunResult Captured(const std::u16string& CommandLine) {
  TRunResult R;
  if (CommandLine.empty()) return R;
  TRunTurn Turn;
  TCapture Capture;
  R.Code = RunCaptured(ToWide(CommandLine), Capture);
  R.Errors = ParseRunErrors(Capture.Err);
  R.Ok = RunSucceeded(R.Code);
  return R;
}

// The provisioning commands belong to the system's own PowerShell: the 32-bit
// one that a 32-bit program finds on 64-bit Windows cannot service the running
// system. The program's folder is still searched first, as for every run.
struct TNativeSystemFolder {
  PVOID Old = nullptr;
  bool Off = false;
  TNativeSystemFolder() {
    BOOL Wow64 = FALSE;
    Off = IsWow64Process(GetCurrentProcess(), &Wow64) && Wow64 && Wow64DisableWow64FsRedirection(&Old);
  }
  ~TNativeSystemFolder() {
    if (Off) Wow64RevertWow64FsRedirection(Old);
  }
  TNativeSystemFolder(const TNativeSystemFolder&) = delete;
  TNativeSystemFolder& operator=(const TNativeSystemFolder&) = delete;
};

}  // namespace

TRunResult UninstallApp(const std::u16string& Key) { return Captured(UninstallCommand(Key)); }

TRunResult UninstallAppForAllUsers(const std::u16string& Key) {
  TNativeSystemFolder Native;
  return Captured(UninstallAllUsersCommand(Key));
}

TRunResult DeprovisionApp(const std::u16string& Key) {
  TNativeSystemFolder Native;
  return Captured(DeprovisionCommand(Key));
}

TRunResult UninstallEverything() {
  TRunResult R = Captured(kUninstallAllCommand);
  R.Ok = BulkDone(R.Code, R.Errors, true);
  return R;
}

TRunResult RunInstallScript(TScriptRun& Run, const AppButton* App) {
  TRunResult R;
  R.Code = Run.Run() ? 0 : Run.ScriptExit();
  R.Errors = ParseRunErrors(Run.ScriptErrors());
  if (!App) {
    R.Ok = BulkDone(R.Code, R.Errors, false);
    return R;
  }
  if (R.Code == 0 && !R.Errors.empty()) R.Code = 1;
  // A query that fails proves nothing either way.
  std::array<bool, kAppCount> Installed{};
  if (R.Code == 0 && QueryApps(kInstalledQueryCommand, Installed) && !Installed[size_t(App->tag)]) {
    R.Code = 1;
    R.Reason = kNothingToRegister;
  }
  R.Ok = R.Code == 0;
  return R;
}

bool QueryApps(const char16_t* Command, std::array<bool, kAppCount>& Found) {
  TCapture Capture;
  if (RunCaptured(ToWide(Command), Capture) != 0) return false;
  Found = InstalledApps(ParsePackageNames(Capture.Out));
  return true;
}

bool QueryAppStates(std::array<TAppState, kAppCount>& States) {
  States = {};
  std::array<bool, kAppCount> Mine{}, Anyone{}, Provisioned{};
  {
    TNativeSystemFolder Native;
    if (!QueryApps(kInstalledQueryCommand, Mine) || !QueryApps(kAnyUserQueryCommand, Anyone) ||
        !QueryApps(kProvisionedQueryCommand, Provisioned))
      return false;
  }
  for (size_t i = 0; i < States.size(); ++i) States[i] = {Mine[i], Anyone[i], Provisioned[i]};
  return true;
}

std::u16string InstallNotice(const std::u16string& DisName, const TRunResult& Result) {
  const std::u16string Notice = InstallNotice(DisName, Result.Code, Result.Errors);
  return Result.Reason.empty() ? Notice : Notice + u"\n" + Result.Reason;
}

}  // namespace cb
