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
  using TDisable = BOOL(WINAPI*)(PVOID*);
  using TRevert = BOOL(WINAPI*)(PVOID);
  PVOID Old = nullptr;
  bool Off = false;
  TNativeSystemFolder() {
    HMODULE Kernel = GetModuleHandleW(L"kernel32.dll");
    auto Disable = reinterpret_cast<TDisable>(
        reinterpret_cast<void*>(GetProcAddress(Kernel, "Wow64DisableWow64FsRedirection")));
    BOOL Wow64 = FALSE;
    if (Disable && IsWow64Process(GetCurrentProcess(), &Wow64) && Wow64) Off = Disable(&Old) != FALSE;
  }
  ~TNativeSystemFolder() {
    if (!Off) return;
    auto Revert = reinterpret_cast<TRevert>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "Wow64RevertWow64FsRedirection")));
    if (Revert) Revert(Old);
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
  if (R.Code == 0) {
    // A query that fails proves nothing either way.
    TCapture Capture;
    if (RunCaptured(ToWide(kInstalledQueryCommand), Capture) == 0 &&
        !InstalledApps(ParsePackageNames(Capture.Out))[size_t(App->tag)]) {
      R.Code = 1;
      R.Reason = kNothingToRegister;
    }
  }
  R.Ok = R.Code == 0;
  return R;
}

bool QueryAppStates(std::array<TAppState, kAppCount>& States) {
  States = {};
  const char16_t* Queries[] = {kInstalledQueryCommand, kAnyUserQueryCommand, kProvisionedQueryCommand};
  for (int q = 0; q < 3; ++q) {
    TCapture Capture;
    int32_t Code;
    {
      TNativeSystemFolder Native;
      Code = RunCaptured(ToWide(Queries[q]), Capture);
    }
    if (Code != 0) return false;
    const auto Found = InstalledApps(ParsePackageNames(Capture.Out));
    for (size_t i = 0; i < Found.size(); ++i) {
      bool& Flag = q == 0 ? States[i].CurrentUser : q == 1 ? States[i].AnyUser : States[i].Provisioned;
      Flag = Found[i];
    }
  }
  return true;
}

}  // namespace cb
