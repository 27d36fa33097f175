#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "psd_argv.hpp"
#include "psd_engine.hpp"

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const char* kForEach =
    " | ForEach {Add-AppxPackage -DisableDevelopmentMode -Register \"$($_.InstallLocation)\\AppXManifest.xml\"}";

struct FakeHost : cb::test::psd::Host {
  cb::test::psd::Store store;
  std::map<std::string, std::string> files;  // lower-case path -> bytes
  std::set<std::string> heldForWriting;      // lower-case paths
  std::string cwd = "C:\\Work";
  std::string out, err;
  std::vector<int> sleeps;
  std::vector<std::string> reads;

  FakeHost() {
    store.packages = {
        pkg("Microsoft.People_10.1909.12456.0_x64__8wekyb3d8bbwe", true),
        pkg("Microsoft.Windows.PeopleExperienceHost_10.0.19041.1_neutral_neutral_cw5n1h2txyewy", true, true),
        pkg("Microsoft.WindowsCalculator_10.1906.55.0_x64__8wekyb3d8bbwe", true),
        pkg("Microsoft.3DBuilder_13.0.10349.0_x64__8wekyb3d8bbwe", false),
        pkg("Microsoft.ScreenSketch_10.1907.2471.0_x64__8wekyb3d8bbwe", false),
        pkg("Microsoft.WindowsSoundRecorder_10.1906.1972.0_x64__8wekyb3d8bbwe", false),
        pkg("Microsoft.WindowsStore_11910.1002.5.0_x64__8wekyb3d8bbwe", true),
        pkg("Microsoft.VCLibs.140.00_14.0.27323.0_x64__8wekyb3d8bbwe", true, true),
    };
  }
  static cb::test::psd::Package pkg(std::string full, bool current, bool unremovable = false) {
    cb::test::psd::Package p;
    p.fullName = full;
    p.installLocation = "C:\\Program Files\\WindowsApps\\" + full;
    p.currentUser = current;
    p.unremovable = unremovable;
    return p;
  }
  cb::test::psd::Package& byName(const std::string& name) {
    for (auto& p : store.packages) {
      if (p.name() == name) return p;
    }
    throw std::runtime_error("no package " + name);
  }
  void script(const std::string& path, std::string text) { files[lower(path)] = std::move(text); }

  cb::test::psd::Store loadStore() override { return store; }
  void updateStore(const std::function<void(cb::test::psd::Store&)>& change) override { change(store); }
  bool isFile(const std::string& path) override { return files.count(lower(path)) != 0; }
  cb::test::psd::FileRead readFile(const std::string& path) override {
    reads.push_back(path);
    cb::test::psd::FileRead r;
    auto it = files.find(lower(path));
    if (it == files.end()) r.status = cb::test::psd::ReadStatus::NotFound;
    else if (heldForWriting.count(lower(path))) r.status = cb::test::psd::ReadStatus::SharingViolation;
    else {
      r.status = cb::test::psd::ReadStatus::Ok;
      r.bytes = it->second;
    }
    return r;
  }
  std::string currentDirectory() override { return cwd; }
  void sleepMs(int ms) override {
    if (ms) sleeps.push_back(ms);
  }
  void writeOut(std::string_view t) override { out += t; }
  void writeErr(std::string_view t) override { err += t; }

  cb::test::psd::Outcome line(const std::string& commandLine) { return cb::test::psd::run(cb::test::psd::splitCommandLine(commandLine), *this); }
  std::vector<std::string> currentUser() const {
    std::vector<std::string> v;
    for (const auto& p : store.packages) {
      if (p.currentUser) v.push_back(p.name());
    }
    return v;
  }
};

using V = std::vector<std::string>;

TEST(DoublePolicy, SetBypassAndRestrictedAsTheProgramWritesThem) {
  FakeHost h;
  auto o = h.line("powershell.exe set-executionpolicy Bypass -Confirm:$false");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.kind, "set-policy");
  EXPECT_EQ(o.mode, "command");
  EXPECT_EQ(o.policyBefore, "Restricted");
  EXPECT_EQ(o.policyAfter, "Bypass");
  EXPECT_EQ(h.store.executionPolicy, "Bypass");
  o = h.line("powershell.exe set-ExecutionPolicy RESTRICTED");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(h.store.executionPolicy, "Restricted");
  EXPECT_EQ(o.policyBefore, "Bypass");
}

TEST(DoublePolicy, BadValuesAndParametersFailWithoutChange) {
  FakeHost h;
  auto o = h.line("powershell.exe Set-ExecutionPolicy Sometimes");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(h.store.executionPolicy, "Restricted");
  EXPECT_NE(h.err.find("Unable to match the identifier name Sometimes"), std::string::npos);
  o = h.line("powershell.exe Set-ExecutionPolicy Bypass -Confirm:maybe");
  EXPECT_EQ(o.exitCode, 1);
  o = h.line("powershell.exe Set-ExecutionPolicy Bypass -Colour red");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(h.store.executionPolicy, "Restricted");
  // Parameter names are prefixes without regard to case; WhatIf changes nothing.
  o = h.line("powershell.exe set-executionpolicy -executionp bypass -wh");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(h.store.executionPolicy, "Restricted");
  o = h.line("powershell.exe Set-ExecutionPolicy Default");
  EXPECT_EQ(h.store.executionPolicy, "Restricted");
  o = h.line("powershell.exe Set-ExecutionPolicy -Scope CurrentUser Bypass");
  EXPECT_EQ(o.exitCode, 1);
}

TEST(DoubleRemove, OneAppByWildcardWithoutRegardToCase) {
  FakeHost h;
  auto o = h.line("PowerShell.exe Get-AppxPackage *WINDOWScalculator* | Remove-AppxPackage");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.kind, "remove");
  EXPECT_EQ(o.removed, (V{"Microsoft.WindowsCalculator_10.1906.55.0_x64__8wekyb3d8bbwe"}));
  EXPECT_FALSE(h.byName("Microsoft.WindowsCalculator").currentUser);
  EXPECT_TRUE(h.byName("Microsoft.People").currentUser);
  // The package stays known to the machine, so the restore script finds it.
  o = h.line("powershell.exe Get-AppxPackage -AllUsers *calculator*");
  EXPECT_NE(h.out.find("Microsoft.WindowsCalculator_"), std::string::npos);
}

TEST(DoubleRemove, NothingMatchingSucceedsAndASystemPackageFails) {
  FakeHost h;
  auto o = h.line("PowerShell.exe Get-AppxPackage *bingsports* | Remove-AppxPackage");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(o.removed.empty());
  EXPECT_TRUE(o.errors.empty());
  // Only the current user's packages are candidates: 3D Builder is not installed for this user.
  o = h.line("PowerShell.exe Get-AppxPackage *3dbuilder* | Remove-AppxPackage");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(o.removed.empty());
  // "people" also matches a part of Windows that cannot be removed.
  o = h.line("PowerShell.exe Get-AppxPackage *people* | Remove-AppxPackage");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.removed, (V{"Microsoft.People_10.1909.12456.0_x64__8wekyb3d8bbwe"}));
  ASSERT_EQ(o.errors.size(), 1u);
  EXPECT_NE(o.errors[0].find("0x80073CFA"), std::string::npos);
  EXPECT_TRUE(h.byName("Microsoft.Windows.PeopleExperienceHost").currentUser);
}

TEST(DoubleRemove, EveryPackageOfTheCurrentUser) {
  FakeHost h;
  auto o = h.line("powershell.exe Get-AppxPackage | Remove-AppxPackage");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.removed.size(), 3u);
  EXPECT_EQ(o.errors.size(), 2u);
  EXPECT_EQ(h.currentUser(), (V{"Microsoft.Windows.PeopleExperienceHost", "Microsoft.VCLibs.140.00"}));
  // With only removable packages left to remove, the run succeeds.
  for (auto& p : h.store.packages) p.unremovable = false;
  o = h.line("powershell.exe Get-AppxPackage | Remove-AppxPackage");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(h.currentUser().empty());
}

TEST(DoubleScript, TheFiveFormsRegisterFromEveryUsersList) {
  struct Case {
    std::string text;
    V registered;
  };
  const std::vector<Case> cases = {
      {std::string("Get-AppxPackage -AllUsers \"Microsoft.3DBuilder\"") + kForEach + "\r\n",
       {"Microsoft.3DBuilder_13.0.10349.0_x64__8wekyb3d8bbwe"}},
      {std::string("Get-AppxPackage -AllUsers *ScreenSketch*") + kForEach,
       {"Microsoft.ScreenSketch_10.1907.2471.0_x64__8wekyb3d8bbwe"}},
      {"Get-AppXPackage *soundrecorder* -AllUsers | Foreach {Add-AppxPackage -DisableDevelopmentMode -Register "
       "\"$($_.InstallLocation)\\AppXManifest.xml\"}\r\n",
       {"Microsoft.WindowsSoundRecorder_10.1906.1972.0_x64__8wekyb3d8bbwe"}},
      {"Get-AppXPackage -AllUsers *WindowsStore* | Foreach {Add-AppxPackage -DisableDevelopmentMode -Register "
       "\"$($_.InstallLocation)\\AppXManifest.xml\"}",
       {"Microsoft.WindowsStore_11910.1002.5.0_x64__8wekyb3d8bbwe"}},
  };
  for (const Case& c : cases) {
    FakeHost h;
    h.store.executionPolicy = "Bypass";
    h.script("C:\\Temp\\ps.ps1", c.text);
    auto o = h.line("powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"");
    EXPECT_EQ(o.exitCode, 0) << c.text << h.err;
    EXPECT_EQ(o.kind, "script");
    EXPECT_EQ(o.registered, c.registered) << c.text;
    ASSERT_EQ(o.scripts.size(), 1u);
    EXPECT_EQ(o.scripts[0].status, "read");
    EXPECT_EQ(o.scripts[0].bytes, c.text);
    for (const auto& full : c.registered) EXPECT_TRUE(h.store.find(full)->currentUser);
  }
  FakeHost h;
  h.store.executionPolicy = "Bypass";
  h.script("C:\\Temp\\ps.ps1",
           "Get-AppxPackage -AllUsers| Foreach {Add-AppxPackage -DisableDevelopmentMode -Register "
           "\"$($_.InstallLocation)\\AppXManifest.xml\"}");
  auto o = h.line("powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(o.registered.size(), h.store.packages.size());
  EXPECT_EQ(h.currentUser().size(), h.store.packages.size());
}

TEST(DoubleScript, BrokenPackageMakesTheCommandFail) {
  FakeHost h;
  h.store.executionPolicy = "Bypass";
  h.byName("Microsoft.ScreenSketch").broken = true;
  h.script("C:\\Temp\\ps.ps1", std::string("Get-AppxPackage -AllUsers") + kForEach);
  auto o = h.line("powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.registered.size(), h.store.packages.size() - 1);
  EXPECT_FALSE(h.byName("Microsoft.ScreenSketch").currentUser);
  ASSERT_EQ(o.errors.size(), 1u);
  EXPECT_NE(o.errors[0].find("0x80073CF6"), std::string::npos);
  // Run with -File, errors that do not stop the script leave the exit code at 0.
  o = h.line("powershell.exe -File C:\\Temp\\ps.ps1");
  EXPECT_EQ(o.mode, "file");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.errors.size(), 1u);
}

TEST(DoubleScript, RefusedWhileRestrictedWithoutReading) {
  FakeHost h;
  h.script("C:\\Temp\\ps.ps1", std::string("Get-AppxPackage -AllUsers") + kForEach);
  auto o = h.line("powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 1);
  ASSERT_EQ(o.scripts.size(), 1u);
  EXPECT_EQ(o.scripts[0].status, "refused");
  EXPECT_TRUE(h.reads.empty());
  EXPECT_TRUE(o.registered.empty());
  EXPECT_NE(h.err.find("cannot be loaded because running scripts is disabled on this system"), std::string::npos);
  o = h.line("powershell.exe -File C:\\Temp\\ps.ps1");
  EXPECT_EQ(o.exitCode, 1);
  // AllSigned refuses an unsigned script too; a process-wide override lets it run.
  h.store.executionPolicy = "AllSigned";
  EXPECT_EQ(h.line("powershell.exe C:\\Temp\\ps.ps1").exitCode, 1);
  o = h.line("powershell.exe -ExecutionPolicy Bypass -File C:\\Temp\\ps.ps1");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_FALSE(o.registered.empty());
  EXPECT_EQ(h.store.executionPolicy, "AllSigned");
}

TEST(DoubleScript, PathsWithBlanksAndQuotes) {
  FakeHost h;
  h.store.executionPolicy = "Bypass";
  const std::string body = std::string("Get-AppxPackage -AllUsers *ScreenSketch*") + kForEach;
  h.script("C:\\Temp\\ps.ps1", body);
  h.script("C:\\Users\\Jo Ann\\Temp\\ps.ps1", body);
  h.script("C:\\Users\\it's\\ps.ps1", body);
  h.script("C:\\Users\\O\xE2\x80\x99" "Brien\\ps.ps1", body);

  // The legacy unquoted form works without blanks...
  auto o = h.line("powershell.exe C:\\Temp\\ps.ps1");
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(o.commandText, "C:\\Temp\\ps.ps1");
  EXPECT_EQ(o.registered.size(), 1u);
  // ...and breaks at a blank, quoted or not.
  for (const char* line : {"powershell.exe C:\\Users\\Jo Ann\\Temp\\ps.ps1",
                           "powershell.exe \"C:\\Users\\Jo Ann\\Temp\\ps.ps1\""}) {
    h.err.clear();
    o = h.line(line);
    EXPECT_EQ(o.exitCode, 1) << line;
    EXPECT_TRUE(o.scripts.empty());
    EXPECT_NE(h.err.find("The term 'C:\\Users\\Jo' is not recognized"), std::string::npos) << h.err;
  }
  // The call operator with a single-quoted path runs it, quotes doubled inside.
  o = h.line("powershell.exe -Command \"& 'C:\\Users\\Jo Ann\\Temp\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 0) << h.err;
  ASSERT_EQ(o.scripts.size(), 1u);
  EXPECT_EQ(o.scripts[0].path, "C:\\Users\\Jo Ann\\Temp\\ps.ps1");
  o = h.line("powershell.exe -Command \"& 'C:\\Users\\it''s\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 0) << h.err;
  // A typographic apostrophe ends the string too, so doubling only ASCII quotes is not enough.
  o = h.line("powershell.exe -Command \"& 'C:\\Users\\O\xE2\x80\x99" "Brien\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 1);
  o = h.line("powershell.exe -Command \"& 'C:\\Users\\O\xE2\x80\x99\xE2\x80\x99" "Brien\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 0) << h.err;
  // A quoted path without the call operator is only a string that PowerShell prints.
  h.out.clear();
  o = h.line("powershell.exe -Command \"'C:\\Temp\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(o.scripts.empty());
  EXPECT_EQ(h.out, "C:\\Temp\\ps.ps1\r\n");
  // Relative paths resolve against the current directory.
  h.cwd = "C:\\Temp";
  o = h.line("powershell.exe -File ps.ps1");
  EXPECT_EQ(o.exitCode, 0);
  o = h.line("powershell.exe .\\ps.ps1");
  EXPECT_EQ(o.exitCode, 0);
  o = h.line("powershell.exe ps.ps1");
  EXPECT_EQ(o.exitCode, 1);
}

TEST(DoubleScript, FileErrors) {
  FakeHost h;
  h.store.executionPolicy = "Bypass";
  auto o = h.line("powershell.exe -File C:\\Temp\\missing.ps1");
  EXPECT_EQ(o.exitCode, cb::test::psd::kBadCommandLine);
  EXPECT_EQ(o.exitCode, -196608);
  h.script("C:\\Temp\\x.txt", "Get-AppxPackage");
  EXPECT_EQ(h.line("powershell.exe -File C:\\Temp\\x.txt").exitCode, cb::test::psd::kBadCommandLine);
  EXPECT_EQ(h.line("powershell.exe -File").exitCode, cb::test::psd::kBadCommandLine);
  o = h.line("powershell.exe -Command \"& 'C:\\Temp\\missing.ps1'\"");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(h.err.find("& : The term 'C:\\Temp\\missing.ps1' is not recognized"), std::string::npos);

  h.script("C:\\Temp\\ps.ps1", std::string("Get-AppxPackage -AllUsers") + kForEach);
  h.heldForWriting.insert("c:\\temp\\ps.ps1");
  o = h.line("powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 1);
  ASSERT_EQ(o.scripts.size(), 1u);
  EXPECT_EQ(o.scripts[0].status, "sharing_violation");
  EXPECT_TRUE(o.registered.empty());
  EXPECT_NE(h.err.find("because it is being used by another process"), std::string::npos);
}

TEST(DoubleScript, OtherScriptTextsFail) {
  for (const char* text : {"Write-Host hello", "Get-AppxPackage -AllUsers | Foreach {Remove-Item C:\\}",
                           "Get-AppxPackage -AllUsers | Foreach {Add-AppxPackage C:\\x.appx}",
                           "Get-AppxPackage -AllUsers \"Microsoft.3DBuilder | ForEach {", "Get-AppxPackage [x"}) {
    FakeHost h;
    h.store.executionPolicy = "Bypass";
    h.script("C:\\Temp\\ps.ps1", text);
    auto o = h.line("powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"");
    EXPECT_EQ(o.exitCode, 1) << text;
    EXPECT_TRUE(o.registered.empty()) << text;
    EXPECT_FALSE(o.errors.empty()) << text;
  }
}

TEST(DoubleScript, EncodingsAndRecursion) {
  FakeHost h;
  h.store.executionPolicy = "Bypass";
  const std::string text = "Get-AppxPackage -AllUsers *ScreenSketch* | % {Add-AppxPackage -Register \"$($_.InstallLocation)\\AppXManifest.xml\"}";
  std::string utf16 = "\xFF\xFE";
  for (char c : text) {
    utf16 += c;
    utf16 += '\0';
  }
  h.script("C:\\Temp\\ps.ps1", utf16);
  auto o = h.line("powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(o.registered.size(), 1u);
  // A script that runs itself stops at the call depth limit instead of looping.
  h.script("C:\\Temp\\self.ps1", "& 'C:\\Temp\\self.ps1'");
  o = h.line("powershell.exe -Command \"& 'C:\\Temp\\self.ps1'\"");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(h.err.find("call depth overflow"), std::string::npos);
}

TEST(DoubleHost, ParametersCommandTextAndDelays) {
  FakeHost h;
  h.store.delayMs = {{"set-policy", 40}, {"all", 5}, {"after_read", 70}, {"before_read", 20}};
  auto o = h.line("powershell.exe -NoProfile -nonint -Command Set-ExecutionPolicy Bypass");
  EXPECT_EQ(o.commandText, "Set-ExecutionPolicy Bypass");
  EXPECT_EQ(h.sleeps, (std::vector<int>{45}));
  h.sleeps.clear();
  h.script("C:\\Temp\\ps.ps1", std::string("Get-AppxPackage -AllUsers *ScreenSketch*") + kForEach);
  o = h.line("powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"");
  EXPECT_EQ(h.sleeps, (std::vector<int>{20, 70, 5}));
  // -EncodedCommand carries UTF-16 text in base64: "Get-ExecutionPolicy".
  h.out.clear();
  o = h.line("powershell.exe -enc RwBlAHQALQBFAHgAZQBjAHUAdABpAG8AbgBQAG8AbABpAGMAeQA=");
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(h.out, "Bypass\r\n");
  EXPECT_EQ(h.line("powershell.exe -enc %%%").exitCode, cb::test::psd::kBadCommandLine);
  EXPECT_EQ(h.line("powershell.exe").exitCode, 1);
  // An unknown host parameter starts the command text, which then fails.
  o = h.line("powershell.exe -Bogus x");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.commandText, "-Bogus x");
  // Parameter binding of the cmdlets: unique prefixes, no ambiguity, no stray arguments.
  EXPECT_EQ(h.line("powershell.exe Get-AppxPackage -all *x*").exitCode, 0);
  EXPECT_EQ(h.line("powershell.exe Get-AppxPackage -P x").exitCode, 1);
  EXPECT_EQ(h.line("powershell.exe Get-AppxPackage a b c").exitCode, 1);
  EXPECT_EQ(h.line("powershell.exe Get-AppxPackage -AllUsers -AllUsers").exitCode, 1);
  // Only the last statement decides the exit code.
  EXPECT_EQ(h.line("powershell.exe Nope; Get-ExecutionPolicy").exitCode, 0);
  EXPECT_EQ(h.line("powershell.exe Get-ExecutionPolicy; Nope").exitCode, 1);
}

// A machine shared by several accounts, with a package in each state that the
// administrator's command lines meet.
struct SharedMachine : FakeHost {
  static constexpr const char* kCalculator = "Microsoft.WindowsCalculator_10.1906.55.0_x64__8wekyb3d8bbwe";
  static constexpr const char* kNews = "Microsoft.BingNews_4.7.28.0_x64__8wekyb3d8bbwe";
  static constexpr const char* kBuilder = "Microsoft.3DBuilder_13.0.10349.0_x64__8wekyb3d8bbwe";
  static constexpr const char* kMusic = "Microsoft.ZuneMusic_10.20092.10311.0_x64__8wekyb3d8bbwe";
  static constexpr const char* kAlarms = "Microsoft.WindowsAlarms_10.2009.5.0_x64__8wekyb3d8bbwe";
  static constexpr const char* kHost =
      "Microsoft.Windows.PeopleExperienceHost_10.0.19041.1_neutral_neutral_cw5n1h2txyewy";
  static constexpr const char* kMaps = "Microsoft.WindowsMaps_10.2005.1.0_x64__8wekyb3d8bbwe";

  SharedMachine() {
    store.executionPolicy = "Bypass";
    store.packages.clear();
    add(kCalculator, true, false, false);  // the current user only
    add(kNews, false, true, false);        // other users only
    add(kBuilder, false, false, false);    // staged: nobody has it
    add(kMusic, false, false, true);       // provisioned, nobody has it yet
    add(kAlarms, true, true, true);
    add(kHost, true, true, false).unremovable = true;
    add(kMaps, true, true, true).failure = "0x80070005";
  }
  cb::test::psd::Package& add(const char* full, bool current, bool others, bool provisioned) {
    store.packages.push_back(pkg(full, current));
    store.packages.back().otherUsers = others;
    store.packages.back().provisioned = provisioned;
    return store.packages.back();
  }
};

std::string removeForEveryone(const std::string& key) {
  return "PowerShell.exe Get-AppxPackage -AllUsers *" + key + "* | Remove-AppxPackage -AllUsers";
}
std::string deprovision(const std::string& key) {
  return "PowerShell.exe Get-AppxProvisionedPackage -Online | Where-Object DisplayName -like '*" + key +
         "*' | Remove-AppxProvisionedPackage -Online";
}
std::string installedForAnyone(const std::string& test) {
  return "powershell.exe -NoProfile -NonInteractive -Command \"Get-AppxPackage -AllUsers | Where-Object " + test +
         " | ForEach-Object Name\"";
}
const char* kProvisionedQuery =
    "powershell.exe -NoProfile -NonInteractive -Command \"Get-AppxProvisionedPackage -Online | ForEach-Object "
    "DisplayName\"";

TEST(DoubleAllUsers, QueriesListWhatAnyUserHasAndWhatIsProvisioned) {
  SharedMachine h;
  auto o = h.line(installedForAnyone("{ $_.PackageUserInformation.InstallState -contains 'Installed' }"));
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(o.kind, "query");
  EXPECT_EQ(h.out,
            "Microsoft.WindowsCalculator\r\nMicrosoft.BingNews\r\nMicrosoft.WindowsAlarms\r\n"
            "Microsoft.Windows.PeopleExperienceHost\r\nMicrosoft.WindowsMaps\r\n");
  // The state is an enumeration, compared with a string without regard to case.
  h.out.clear();
  o = h.line(installedForAnyone("{$PSItem.packageuserinformation.installstate -Contains \\\"STAGED\\\"}"));
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(h.out, "Microsoft.3DBuilder\r\nMicrosoft.ZuneMusic\r\n");
  h.out.clear();
  o = h.line(kProvisionedQuery);
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(o.kind, "query");
  EXPECT_EQ(h.out, "Microsoft.ZuneMusic\r\nMicrosoft.WindowsAlarms\r\nMicrosoft.WindowsMaps\r\n");
  // The current user's query still sees only what this user has.
  h.out.clear();
  o = h.line("powershell.exe -NoProfile -NonInteractive -Command Get-AppxPackage | ForEach-Object Name");
  EXPECT_EQ(h.out,
            "Microsoft.WindowsCalculator\r\nMicrosoft.WindowsAlarms\r\nMicrosoft.Windows.PeopleExperienceHost\r\n"
            "Microsoft.WindowsMaps\r\n");
}

TEST(DoubleAllUsers, RemovalForEveryUserForgetsWhatIsNotProvisioned) {
  SharedMachine h;
  // Installed for this user only, for others only, for nobody: all gone from the machine.
  for (const char* full : {SharedMachine::kCalculator, SharedMachine::kNews, SharedMachine::kBuilder}) {
    const std::string key = std::string(full).substr(10, std::string(full).find('_') - 10);
    auto o = h.line(removeForEveryone(lower(key)));
    EXPECT_EQ(o.exitCode, 0) << key << h.err;
    EXPECT_EQ(o.kind, "remove");
    EXPECT_TRUE(o.allUsers);
    EXPECT_EQ(o.removed, V{full});
    EXPECT_EQ(h.store.find(full), nullptr) << key;
  }
  // A provisioned package stays known, staged for new accounts.
  for (const char* full : {SharedMachine::kAlarms, SharedMachine::kMusic}) {
    const std::string key = std::string(full).substr(10, std::string(full).find('_') - 10);
    auto o = h.line(removeForEveryone(key));
    EXPECT_EQ(o.exitCode, 0) << key << h.err;
    EXPECT_EQ(o.removed, V{full});
    const cb::test::psd::Package* p = h.store.find(full);
    ASSERT_NE(p, nullptr) << key;
    EXPECT_FALSE(p->currentUser || p->otherUsers) << key;
    EXPECT_TRUE(p->provisioned) << key;
  }
  // So an install script finds what is staged and nothing of what is gone.
  h.script("C:\\Temp\\ps.ps1", std::string("Get-AppxPackage -AllUsers *Calculator*") + kForEach + "\r\n" +
                                   "Get-AppxPackage -AllUsers *Alarms*" + kForEach);
  auto o = h.line("powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"");
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(o.registered, V{SharedMachine::kAlarms});
  // The current user's removal leaves the other users' copies and the provisioning alone.
  SharedMachine one;
  o = one.line("PowerShell.exe Get-AppxPackage *windowsalarms* | Remove-AppxPackage");
  EXPECT_EQ(o.exitCode, 0) << one.err;
  EXPECT_FALSE(o.allUsers);
  const cb::test::psd::Package* p = one.store.find(SharedMachine::kAlarms);
  ASSERT_NE(p, nullptr);
  EXPECT_FALSE(p->currentUser);
  EXPECT_TRUE(p->otherUsers && p->provisioned);
}

TEST(DoubleAllUsers, RemovalForEveryUserFailsAsTheCurrentUsersRemovalDoes) {
  const std::string untouched = SharedMachine().store.serialize();
  for (const std::string key : {"people", "windowsmaps"}) {
    SharedMachine all, one;
    const auto a = all.line(removeForEveryone(key));
    const auto b = one.line("PowerShell.exe Get-AppxPackage *" + key + "* | Remove-AppxPackage");
    EXPECT_EQ(a.exitCode, 1) << key;
    EXPECT_EQ(a.exitCode, b.exitCode) << key;
    ASSERT_EQ(a.errors.size(), 1u) << key;
    EXPECT_EQ(a.errors, b.errors) << key;
    EXPECT_EQ(all.err, one.err) << key;
    EXPECT_NE(a.errors[0].find(key == "people" ? "0x80073CFA" : "error 0x80070005"), std::string::npos) << a.errors[0];
    EXPECT_TRUE(a.removed.empty()) << key;
    EXPECT_EQ(all.store.serialize(), untouched) << key;
  }
}

TEST(DoubleDeprovision, ByDisplayNameWildcard) {
  SharedMachine h;
  // Still installed for users: only the provisioning goes.
  auto o = h.line(deprovision("windowsalarms"));
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(o.kind, "deprovision");
  EXPECT_EQ(o.deprovisioned, V{SharedMachine::kAlarms});
  EXPECT_TRUE(o.removed.empty());
  EXPECT_FALSE(o.allUsers);
  const cb::test::psd::Package* p = h.store.find(SharedMachine::kAlarms);
  ASSERT_NE(p, nullptr);
  EXPECT_FALSE(p->provisioned);
  EXPECT_TRUE(p->currentUser && p->otherUsers);
  // Nobody has it: gone from the machine. -Like and a bare pattern, without regard to case.
  o = h.line("PowerShell.exe Get-AppxProvisionedPackage -Online | Where-Object DisplayName -Like *ZUNEmusic* | "
             "Remove-AppxProvisionedPackage -Online");
  EXPECT_EQ(o.exitCode, 0) << h.err;
  EXPECT_EQ(o.deprovisioned, V{SharedMachine::kMusic});
  EXPECT_EQ(h.store.find(SharedMachine::kMusic), nullptr);
  // Installed but not provisioned: nothing matches, which is no error.
  o = h.line(deprovision("windowscalculator"));
  EXPECT_TRUE(o.deprovisioned.empty());
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(o.errors.empty());
  const std::string before = h.store.serialize();
  o = h.line(deprovision("windowsmaps"));
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_TRUE(o.deprovisioned.empty());
  ASSERT_EQ(o.errors.size(), 1u);
  EXPECT_EQ(o.errors[0],
            "Remove-AppxProvisionedPackage : Deployment failed with HRESULT: 0x80073CFA, Removal failed. Please "
            "contact your software vendor. (Exception from HRESULT: 0x80073CFA)\r\nerror 0x80070005: AppX "
            "Deployment Deprovision operation on package " + std::string(SharedMachine::kMaps) +
                " from: C:\\Program Files\\WindowsApps\\" + SharedMachine::kMaps + " failed.");
  EXPECT_EQ(h.store.serialize(), before);
}

TEST(DoubleAllUsers, NearMissesAreRefusedAndChangeNothing) {
  const std::string prov = "PowerShell.exe Get-AppxProvisionedPackage -Online | ";
  const std::string deprov = " | Remove-AppxProvisionedPackage -Online";
  struct Case {
    std::string line, script;
  };
  const std::vector<Case> cases = {
      {"PowerShell.exe Get-AppxProvisionedPackage | Where-Object DisplayName -like '*zunemusic*'" + deprov, ""},
      {prov + "Where-Object DisplayName -like '*zunemusic*' | Remove-AppxProvisionedPackage", ""},
      {prov + "Where-Object DisplayName -like '*zunemusic*' | Remove-AppxProvisionedPackage -Online -AllUsers", ""},
      {prov + "Where-Object DisplayName -eq 'Microsoft.ZuneMusic'" + deprov, ""},
      {prov + "Where-Object DisplayName -notlike '*alarms*'" + deprov, ""},
      {prov + "Where-Object DisplayName '*zunemusic*'" + deprov, ""},
      {prov + "Where-Object Publisher -like '*zunemusic*'" + deprov, ""},
      {prov + "Where-Object Name -like '*zunemusic*'" + deprov, ""},  // a property of Get-AppxPackage's objects
      {prov + "Where-Object DisplayName -like '[zune*'" + deprov, ""},
      {"PowerShell.exe Get-AppxPackage -AllUsers *zunemusic*" + deprov, ""},
      {"PowerShell.exe Get-AppxPackage -AllUsers | Where-Object Name -like '*zunemusic*' | Remove-AppxPackage", ""},
      {removeForEveryone("windowscalculator") + " -User Bob", ""},
      {"powershell.exe -Command \"& 'C:\\Temp\\ps.ps1'\"",
       "Get-AppxPackage -AllUsers *3dbuilder* | Foreach {Add-AppxPackage -AllUsers -DisableDevelopmentMode "
       "-Register \"$($_.InstallLocation)\\AppXManifest.xml\"}"},
      {installedForAnyone("{ $_.PackageUserInformation.InstallState -eq 'Installed' }"), ""},
      {installedForAnyone("{ $_.PackageUserInformation -contains 'Installed' }"), ""},
      {installedForAnyone("{ $_ .PackageUserInformation.InstallState -contains 'Installed' }"), ""},
      {installedForAnyone("{ $_.PackageUserInformation.InstallState -contains Installed }"), ""},
      {installedForAnyone("{ $_.PackageUserInformation.InstallState -contains 'Installed'; $true }"), ""},
      {"powershell.exe -NoProfile -NonInteractive -Command \"Get-AppxProvisionedPackage | ForEach-Object "
       "DisplayName\"", ""},
      {"powershell.exe -NoProfile -NonInteractive -Command \"Get-AppxProvisionedPackage -Online | ForEach-Object "
       "Name\"", ""},
  };
  const std::string untouched = SharedMachine().store.serialize();
  for (const Case& c : cases) {
    SharedMachine h;
    if (!c.script.empty()) h.script("C:\\Temp\\ps.ps1", c.script);
    const auto o = h.line(c.line);
    EXPECT_EQ(o.exitCode, 1) << c.line;
    EXPECT_FALSE(o.errors.empty()) << c.line;
    EXPECT_TRUE(o.removed.empty() && o.deprovisioned.empty() && o.registered.empty()) << c.line;
    EXPECT_EQ(h.out, "") << c.line;
    EXPECT_EQ(h.store.serialize(), untouched) << c.line;
  }
}

struct BrokenStoreHost : FakeHost {
  cb::test::psd::Store loadStore() override { throw cb::test::psd::StoreError("store line 1: bad"); }
};

TEST(DoubleHost, AnUnreadableStoreIsReportedNotGuessed) {
  BrokenStoreHost h;
  auto o = h.line("powershell.exe Get-AppxPackage | Remove-AppxPackage");
  EXPECT_EQ(o.exitCode, 3);
  ASSERT_EQ(o.errors.size(), 1u);
  EXPECT_NE(o.errors[0].find("store line 1: bad"), std::string::npos);
}

}  // namespace
