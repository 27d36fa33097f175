#pragma once
// The package store of the PowerShell double: a small INI-like text file that
// tests seed and read.
//
//   [settings]
//   ExecutionPolicy=Restricted
//   [delay_ms]
//   after_read=500
//   [package Microsoft.BingNews_4.7.28.0_x64__8wekyb3d8bbwe]
//   InstallLocation=C:\Program Files\WindowsApps\Microsoft.BingNews_4.7.28.0_x64__8wekyb3d8bbwe
//   CurrentUser=1
//   OtherUsers=0
//   Provisioned=1
//   Unremovable=0
//   Broken=0
//   Failure=0x80073D02
//
// Every [package] section is a package known to the machine (what
// Get-AppxPackage -AllUsers lists); CurrentUser says whether the current user
// has it installed, OtherUsers whether some other user has, Provisioned
// whether new accounts get it. A package that nobody has installed is staged.
// Failure makes removing, deprovisioning and registering the package fail
// with that HRESULT; QueryFails (settings) makes the program's query of the
// current user's packages (Get-AppxPackage with no -AllUsers and no removal
// after it) fail.
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace cb::test::psd {

struct StoreError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Package {
  std::string fullName;
  std::string installLocation;
  bool currentUser = false;
  bool otherUsers = false;
  bool provisioned = false;
  bool unremovable = false;
  bool broken = false;
  std::string failure;  // an HRESULT as "0x8007...", or empty

  // The package name: the full name up to its first underscore; a
  // provisioned package's DisplayName too.
  std::string name() const;
  bool installedForAnyone() const { return currentUser || otherUsers; }
};

struct Store {
  std::string executionPolicy = "Restricted";
  bool queryFails = false;
  std::map<std::string, int> delayMs;  // key -> milliseconds
  std::vector<Package> packages;

  static Store parse(std::string_view text);  // throws StoreError
  std::string serialize() const;

  int delay(const std::string& key) const;
  Package* find(std::string_view fullName);
  // Forgets a package that is neither installed for anyone nor provisioned,
  // as the machine does; answers whether it did.
  bool dropIfUnused(std::string_view fullName);
};

// Largest store file and script file the double reads.
constexpr size_t kMaxFileBytes = 16u << 20;

}  // namespace cb::test::psd
