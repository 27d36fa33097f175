#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Catalogue.h"
#include "RunErrors.h"

using namespace cb;

namespace {

// PowerShell's error view as it reaches a pipe: every line of the message cut
// into pieces of the console's width, mid-word, with CR LF after each piece.
std::string Wrap(const std::string& Text, size_t Width) {
  std::string Out;
  size_t Start = 0;
  while (Start <= Text.size()) {
    size_t End = Text.find('\n', Start);
    if (End == std::string::npos) End = Text.size();
    std::string Line = Text.substr(Start, End - Start);
    do {
      Out += Line.substr(0, Width) + "\r\n";
      Line.erase(0, Width);
    } while (!Line.empty());
    Start = End + 1;
  }
  return Out;
}

const char kKept[] =
    "Remove-AppxPackage : Deployment failed with HRESULT: 0x80073CFA, Removal failed. Please contact your software "
    "vendor. (Exception from HRESULT: 0x80073CFA)\n"
    "error 0x80070032: AppX Deployment Remove operation on package "
    "Microsoft.XboxGameCallableUI_1000.19041.1023.0_neutral_neutral_cw5n1h2txyewy from: "
    "C:\\Windows\\SystemApps\\Microsoft.XboxGameCallableUI_cw5n1h2txyewy failed. This app is part of Windows and cannot "
    "be uninstalled on a per-user basis. An administrator can attempt to remove the app from the computer using Turn "
    "Windows Features on or off. However, it may not be possible to uninstall the app.\n"
    "NOTE: For additional information, look for [ActivityId] 8cd4c8d2-7d8d-0003-4d8f-d48c8d7dd601 in the Event Log or "
    "use the command line Get-AppxLog -ActivityID 8cd4c8d2-7d8d-0003-4d8f-d48c8d7dd601\n"
    "At line:1 char:19\n"
    "+ Get-AppxPackage | Remove-AppxPackage\n"
    "+                   ~~~~~~~~~~~~~~~~~~\n"
    "    + CategoryInfo          : WriteError: (Microsoft.XboxG...h2txyewy:String) [Remove-AppxPackage], IOException\n"
    "    + FullyQualifiedErrorId : DeploymentError,Microsoft.Windows.Appx.PackageManager.Commands."
    "RemoveAppxPackageCommand\n"
    " ";

const char kRunning[] =
    "Remove-AppxPackage : Deployment failed with HRESULT: 0x80073D02, The package could not be installed because "
    "resources it modifies are currently in use.\n"
    "error 0x80073d02: Unable to remove because the following apps need to be closed "
    "Microsoft.WindowsCalculator_10.2009.4.0_x64__8wekyb3d8bbwe.\n"
    "At line:1 char:19\n"
    "+ Get-AppxPackage | Remove-AppxPackage\n"
    " ";

const char kUnknown[] =
    "Remove-AppxPackage : Deployment failed with HRESULT: 0x80073CFA, Removal failed. Please contact your software "
    "vendor. (Exception from HRESULT: 0x80073CFA)\n"
    "error 0x8007000D: AppX Deployment Remove operation on package Microsoft.BingNews_4.7.28.0_x64__8wekyb3d8bbwe "
    "failed.\n"
    " ";

}  // namespace

TEST(RunErrors, CodesStandAloneInEitherCase) {
  EXPECT_EQ(FindHResults("HRESULT: 0x80073CFA, (Exception from HRESULT: 0x80073cfa) error 0X80070032:"),
            (std::vector<std::uint32_t>{0x80073CFA, 0x80073CFA, 0x80070032}));
  // Too long, too short, glued to a word or cut off by the end: no code.
  EXPECT_TRUE(FindHResults("0x800700321 0x8007003 a0x80070032 0x80070032b _0x80070005 0x8007").empty());
  EXPECT_EQ(FindHResults("(0x80070005)"), std::vector<std::uint32_t>{0x80070005});
  EXPECT_EQ(FindHResults("0x80070005"), std::vector<std::uint32_t>{0x80070005});
}

TEST(RunErrors, SeveralRecordsReadTheSameAtEveryConsoleWidth) {
  const std::string Text = std::string(kKept) + "\n" + kRunning + "\n" + kUnknown;
  // Every width cuts somewhere else, through codes and package names too.
  for (size_t Width = 60; Width <= 200; ++Width) {
    SCOPED_TRACE(Width);
    const auto Errors = ParseRunErrors(Wrap(Text, Width));
    ASSERT_EQ(Errors.size(), 3u);
    EXPECT_EQ(Errors[0].Codes, (std::vector<std::uint32_t>{0x80073CFA, 0x80070032}));
    EXPECT_EQ(Errors[0].Package, "Microsoft.XboxGameCallableUI_1000.19041.1023.0_neutral_neutral_cw5n1h2txyewy");
    EXPECT_EQ(Errors[1].Codes, std::vector<std::uint32_t>{0x80073D02});
    EXPECT_EQ(Errors[1].Package, "Microsoft.WindowsCalculator_10.2009.4.0_x64__8wekyb3d8bbwe");
    EXPECT_EQ(Errors[2].Codes, (std::vector<std::uint32_t>{0x80073CFA, 0x8007000D}));
    EXPECT_EQ(Errors[2].Package, "Microsoft.BingNews_4.7.28.0_x64__8wekyb3d8bbwe");
  }
  // Unwrapped, with bare line feeds, as the test double writes it.
  EXPECT_EQ(ParseRunErrors(Text).size(), 3u);
}

TEST(RunErrors, TheInnerKnownCodeExplainsARecord) {
  const auto Errors = ParseRunErrors(std::string(kKept) + "\n" + kUnknown);
  ASSERT_EQ(Errors.size(), 2u);
  EXPECT_EQ(ReasonLine(Errors[0]), u"这是 Windows 的一部分，不能只为当前用户卸载（0x80070032）");
  // An unknown inner code leaves the known outer one.
  EXPECT_EQ(ReasonLine(Errors[1]), u"Windows 未能删除此应用（0x80073CFA）");
  EXPECT_EQ(ReasonLine(TRunError{{0x8007000D}, ""}), u"0x8007000D");
  EXPECT_EQ(ReasonLine(TRunError{{}, "x"}), u"");
  for (std::uint32_t Code : {0x80073CFAu, 0x80070032u, 0x80073D02u, 0x80073CF3u, 0x80073CF6u, 0x80073CF9u, 0x80073CF0u,
                             0x80070002u, 0x80070005u})
    EXPECT_NE(ReasonFor(Code), nullptr) << std::hex << Code;
}

TEST(RunErrors, SingleNoticesKeepTheirFirstLine) {
  const auto Running = ParseRunErrors(Wrap(kRunning, 80));
  EXPECT_EQ(UninstallNotice(u"计算器", 1, Running), u"计算器 卸载失败！\n应用正在运行，请关闭后重试（0x80073D02）");
  EXPECT_EQ(UninstallNotice(u"计算器", 0, {}), u"计算器 卸载完成！");
  // A run that succeeded says so whatever it wrote on the way.
  EXPECT_EQ(UninstallNotice(u"计算器", 0, Running), u"计算器 卸载完成！");
  // No code at all: today's text alone.
  EXPECT_EQ(UninstallNotice(u"计算器", 1, ParseRunErrors("Get-AppxPackage : something went wrong\r\n")),
            u"计算器 卸载失败！");
  EXPECT_EQ(InstallNotice(u"计算器", 1, {TRunError{{0x8007000D}, ""}}), u"计算器 安装失败！\n0x8007000D");
  EXPECT_EQ(InstallNotice(u"计算器", -1, {}), u"计算器 安装失败！");
}

TEST(RunErrors, BulkNoticesCountPerPackage) {
  auto Record = [](std::uint32_t Code, const char* Package) {
    return "Remove-AppxPackage : Deployment failed with HRESULT: 0x80073CFA, Removal failed.\nerror " +
           std::string(Code == 0x80070032 ? "0x80070032" : Code == 0x80073D02 ? "0x80073D02" : "0x80070005") +
           ": operation on package " + Package + " failed.\n";
  };
  std::string Kept = Record(0x80070032, "Microsoft.AAD.BrokerPlugin_1000.19041.1.0_neutral_neutral_cw5n1h2txyewy") +
                     Record(0x80070032, "Microsoft.Windows.Cortana_1.14.0.19041_neutral_neutral_cw5n1h2txyewy") +
                     // The same package twice counts once.
                     Record(0x80070032, "Microsoft.Windows.Cortana_1.14.0.19041_neutral_neutral_cw5n1h2txyewy");
  EXPECT_EQ(UninstallAllNotice(1, ParseRunErrors(Kept)), u"全部卸载完成！\nWindows 保留了 2 个无法卸载的系统组件。");
  EXPECT_EQ(UninstallAllNotice(0, {}), u"全部卸载完成！");
  EXPECT_EQ(UninstallAllNotice(1, {}), u"卸载结束，部分应用未能卸载！");
  EXPECT_EQ(UninstallAllNotice(-1, {}), u"卸载结束，部分应用未能卸载！");

  std::string Failing = Kept + Record(0x80073D02, "Microsoft.WindowsCalculator_10.2009.4.0_x64__8wekyb3d8bbwe");
  EXPECT_EQ(UninstallAllNotice(1, ParseRunErrors(Failing)),
            u"卸载结束，部分应用未能卸载！\n计算器：应用正在运行，请关闭后重试（0x80073D02）\n"
            u"Windows 保留了 2 个无法卸载的系统组件。");
  // Five are listed by caption or package name, the rest counted.
  for (const char* P : {"Microsoft.BingNews_4.7.28.0_x64__8wekyb3d8bbwe", "Contoso.Tool_1.0.0.0_x64__abcdefghjkmnp",
                        "Microsoft.People_10.2009.3.0_x64__8wekyb3d8bbwe", "Microsoft.ZuneMusic_1.0.0.0_x64__8wekyb3d8bbwe",
                        "Microsoft.ZuneVideo_1.0.0.0_x64__8wekyb3d8bbwe", "Microsoft.Wallet_1.0.0.0_x64__8wekyb3d8bbwe"})
    Failing += Record(0x80070005, P);
  EXPECT_EQ(UninstallAllNotice(1, ParseRunErrors(Failing)),
            u"卸载结束，部分应用未能卸载！\n计算器：应用正在运行，请关闭后重试（0x80073D02）\n新闻：拒绝访问（0x80070005）\n"
            u"Contoso.Tool：拒绝访问（0x80070005）\n人脉：拒绝访问（0x80070005）\nGroove 音乐：拒绝访问（0x80070005）\n"
            u"另有 2 个应用未能卸载。\nWindows 保留了 2 个无法卸载的系统组件。");
  // Registering keeps nothing back: every error is a failure.
  EXPECT_EQ(InstallAllNotice(1, ParseRunErrors(Kept)),
            u"安装结束，部分应用未能安装！\nMicrosoft.AAD.BrokerPlugin：这是 Windows 的一部分，不能只为当前用户卸载（0x80070032）\n"
            u"Microsoft.Windows.Cortana：这是 Windows 的一部分，不能只为当前用户卸载（0x80070032）");
  EXPECT_EQ(InstallAllNotice(0, {}), u"全部安装完成！");
}

TEST(InstalledApps, SelectorsAndQueryOutput) {
  EXPECT_TRUE(SelectorMatches("*windowscalculator*", "Microsoft.WindowsCalculator"));
  EXPECT_TRUE(SelectorMatches("Microsoft.People", "microsoft.people"));
  EXPECT_FALSE(SelectorMatches("Microsoft.People", "Microsoft.Windows.PeopleExperienceHost"));
  EXPECT_FALSE(SelectorMatches("Microsoft.People", "Microsoft.People2"));
  EXPECT_TRUE(SelectorMatches("*a*b*", "xaxxbx"));
  EXPECT_FALSE(SelectorMatches("*a*b*", "xbxxax"));
  const auto Names = ParsePackageNames(
      "Microsoft.WindowsCalculator\r\n  Microsoft.People  \r\nnot a name\r\n\r\nMicrosoft.MixedReality.Portal");
  EXPECT_EQ(Names, (std::vector<std::string>{"Microsoft.WindowsCalculator", "Microsoft.People",
                                             "Microsoft.MixedReality.Portal"}));
  const auto Installed = InstalledApps(Names);
  for (const auto& b : kAppButtons) {
    const std::u16string Key = b.key;
    EXPECT_EQ(Installed[size_t(b.tag)], Key == u"windowscalculator" || Key == u"people" || Key == u"MixedReality")
        << b.name;
  }
}
