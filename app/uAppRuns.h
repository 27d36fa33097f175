// The PowerShell runs behind the app menu, the bulk buttons and the command
// line: one routine per operation, so that the window and the command line
// run exactly the same command lines and judge their outcome alike.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "CommandLine.h"
#include "RunErrors.h"
#include "uCommonFunc.h"

namespace cb {

struct TRunResult {
  int32_t Code = -1;  // PowerShell's exit code, -1 when it did not start
  std::vector<TRunError> Errors;
  bool Ok = false;
  std::u16string Reason;  // why it failed, when no error record says
};

// Each waits for the machine's turn first (see TRunTurn).
// "卸载": the app's packages of the current user.
TRunResult UninstallApp(const std::u16string& Key);
// The app's packages of every user, and its provisioned package.
TRunResult UninstallAppForAllUsers(const std::u16string& Key);
TRunResult DeprovisionApp(const std::u16string& Key);
// "卸载全部".
TRunResult UninstallEverything();
// "安装" (App) and "安装全部" (App null): a script run whose file is written.
// A single app's script has not done its work when it exits 0 after errors,
// or when the app is still not installed afterwards (the script found
// nothing to register: its files are gone from the machine).
TRunResult RunInstallScript(TScriptRun& Run, const AppButton* App);

// Runs a query that prints package names, one a line, and finds the apps
// among them (by Tag); false when the query failed.
bool QueryApps(const char16_t* Command, std::array<bool, kAppCount>& Found);

// Which apps are installed for the current user, for any user, and
// provisioned; false when a query failed.
bool QueryAppStates(std::array<TAppState, kAppCount>& States);

// The notice after one app's install, with the reason an error record cannot give.
std::u16string InstallNotice(const std::u16string& DisName, const TRunResult& Result);

}  // namespace cb
