#include <gtest/gtest.h>

#include <set>

#include "Catalogue.h"
#include "Commands.h"

using namespace cb;

TEST(Catalogue, KeysAndButtonsAgree) {
  auto keys = CatalogueKeys();
  ASSERT_EQ(keys.size(), size_t(kAppCount));
  EXPECT_EQ(keys.front(), u"3dbuilder");
  EXPECT_EQ(keys.back(), u"YourPhone");
  std::set<int> tags;
  std::set<std::string> names;
  for (const auto& b : kAppButtons) {
    ASSERT_GE(b.tag, 0);
    ASSERT_LT(b.tag, kAppCount);
    EXPECT_EQ(keys[size_t(b.tag)], b.key) << b.name;
    tags.insert(b.tag);
    names.insert(b.name);
    EXPECT_GT(b.width, 0);
  }
  EXPECT_EQ(tags.size(), size_t(kAppCount));
  EXPECT_EQ(names.size(), size_t(kAppCount));
  for (const auto& k : keys) EXPECT_EQ(k.find_first_of(u" \"',"), std::u16string::npos);
}

TEST(Catalogue, ButtonsDoNotOverlap) {
  for (size_t i = 0; i < kAppButtons.size(); ++i)
    for (size_t j = i + 1; j < kAppButtons.size(); ++j) {
      const auto &a = kAppButtons[i], &b = kAppButtons[j];
      bool apart = a.left + a.width <= b.left || b.left + b.width <= a.left || a.top + 22 <= b.top ||
                   b.top + 22 <= a.top;
      EXPECT_TRUE(apart) << a.name << " overlaps " << b.name;
    }
}

TEST(Commands, UninstallCommandWrapsKeyInWildcards) {
  EXPECT_EQ(UninstallCommand(u"windowscalculator"),
            u"PowerShell.exe Get-AppxPackage *windowscalculator* | Remove-AppxPackage");
  EXPECT_EQ(UninstallCommand(u"3dbuilder"), u"PowerShell.exe Get-AppxPackage *3dbuilder* | Remove-AppxPackage");
}

TEST(Commands, UninstallCommandRefusesAnythingButAKey) {
  EXPECT_EQ(UninstallCommand(u""), u"");
  EXPECT_EQ(UninstallCommand(u"x; Remove-Item C:\\"), u"");
  EXPECT_EQ(UninstallCommand(u"a b"), u"");
  EXPECT_EQ(UninstallCommand(u"a|b"), u"");
  EXPECT_EQ(UninstallCommand(u"a*"), u"");
}

TEST(Commands, FixedCommandLines) {
  EXPECT_EQ(std::u16string(kBypassCommand), u"powershell.exe set-executionpolicy Bypass -Confirm:$false");
  EXPECT_EQ(std::u16string(kRestrictedCommand), u"powershell.exe set-ExecutionPolicy RESTRICTED");
  EXPECT_EQ(std::u16string(kUninstallAllCommand), u"powershell.exe Get-AppxPackage | Remove-AppxPackage");
}

TEST(Commands, ScriptPathJoinsAsItStands) {
  EXPECT_EQ(ScriptPath(u"C:\\Temp"), u"C:\\Temp\\ps.ps1");
  EXPECT_EQ(ScriptPath(u"C:\\Temp\\"), u"C:\\Temp\\\\ps.ps1");
}

TEST(Commands, ScriptCommandQuotesForPowerShell) {
  EXPECT_EQ(ScriptCommand(u"C:\\Users\\A B\\AppData\\Local\\Temp\\ps.ps1"),
            u"powershell.exe -Command \"& 'C:\\Users\\A B\\AppData\\Local\\Temp\\ps.ps1'\"");
  // A quote in a user name is doubled, typographic ones too (PowerShell treats them alike).
  EXPECT_EQ(ScriptCommand(u"C:\\O'Brien\\ps.ps1"), u"powershell.exe -Command \"& 'C:\\O''Brien\\ps.ps1'\"");
  EXPECT_EQ(ScriptCommand(u"C:\\O\u2019B\\ps.ps1"), u"powershell.exe -Command \"& 'C:\\O\u2019\u2019B\\ps.ps1'\"");
  // Dollar signs and backticks are literal inside single quotes: left alone.
  EXPECT_EQ(ScriptCommand(u"C:\\$x`y\\ps.ps1"), u"powershell.exe -Command \"& 'C:\\$x`y\\ps.ps1'\"");
}

TEST(Commands, OnlyWebAddressesOpen) {
  EXPECT_TRUE(IsWebAddress(u"http://www.declutra.com/download"));
  EXPECT_TRUE(IsWebAddress(u"HTTPS://www.declutra.com/3505.html"));
  EXPECT_FALSE(IsWebAddress(u"file:///C:/Windows/System32/cmd.exe"));
  EXPECT_FALSE(IsWebAddress(u"C:\\Windows\\System32\\cmd.exe"));
  EXPECT_FALSE(IsWebAddress(u"cmd.exe"));
  EXPECT_FALSE(IsWebAddress(u"\\\\server\\share\\x.exe"));
  EXPECT_FALSE(IsWebAddress(u"javascript:alert(1)"));
  EXPECT_FALSE(IsWebAddress(u"http:///etc"));
  EXPECT_FALSE(IsWebAddress(u"http://"));
  EXPECT_FALSE(IsWebAddress(u"http://a b"));
  EXPECT_FALSE(IsWebAddress(u"http://host\" other"));
  EXPECT_FALSE(IsWebAddress(u" http://host"));
  EXPECT_FALSE(IsWebAddress(u""));
}

TEST(Commands, Notices) {
  EXPECT_EQ(UninstallNotice(u"计算器", true), u"计算器 卸载完成！");
  EXPECT_EQ(InstallNotice(u"计算器", true), u"计算器 安装完成！");
  EXPECT_EQ(UninstallNotice(u"计算器", false), u"计算器 卸载失败！");
  EXPECT_EQ(InstallNotice(u"计算器", false), u"计算器 安装失败！");
  EXPECT_EQ(UninstallAllNotice(true), u"全部卸载完成！");
  EXPECT_EQ(InstallAllNotice(true), u"全部安装完成！");
  EXPECT_NE(UninstallAllNotice(false), UninstallAllNotice(true));
  EXPECT_NE(InstallAllNotice(false), InstallAllNotice(true));
  EXPECT_FALSE(RunSucceeded(-1));
  EXPECT_FALSE(RunSucceeded(1));
  EXPECT_TRUE(RunSucceeded(0));
}

TEST(Version, ComparesAsText) {
  EXPECT_FALSE(IsNewerVersion(u"1.0", u"1.0"));
  EXPECT_TRUE(IsNewerVersion(u"1.0", u"1.1"));
  EXPECT_TRUE(IsNewerVersion(u"1.0", u"1.0.1"));
  EXPECT_FALSE(IsNewerVersion(u"1.0", u"0.9"));
  EXPECT_FALSE(IsNewerVersion(u"9.0", u"10.0"));
  EXPECT_TRUE(IsNewerVersion(u"1.0", u"x1.0"));
  EXPECT_FALSE(IsNewerVersion(u"1.0", u""));
  // Ordinal by code unit: a lower-case letter sorts after an upper-case one.
  EXPECT_TRUE(IsNewerVersion(u"1.0A", u"1.0a"));
  // Above the BMP a surrogate (0xD8xx) sorts below U+FF10 by code unit.
  EXPECT_TRUE(IsNewerVersion(u"1.0\U0001F600", u"1.0\uFF10"));
}

TEST(Version, FormatsFileVersion) {
  unsigned ms = (1u << 16) | 0, ls = (2u << 16) | 3;
  EXPECT_EQ(FormatFileVersion(ms, ls, 2), u"1.0");
  EXPECT_EQ(FormatFileVersion(ms, ls, 3), u"1.0.2");
  EXPECT_EQ(FormatFileVersion(ms, ls, 4), u"1.0.2.3");
  EXPECT_EQ(FormatFileVersion(ms, ls, 1), u"");
  EXPECT_EQ(FormatFileVersion(ms, ls, 5), u"");
  EXPECT_EQ(FormatFileVersion(0xFFFFFFFFu, 0x000A0064u, 4), u"65535.65535.10.100");
}
