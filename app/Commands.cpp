#include "Commands.h"

#include <string_view>

#include "base/Strings.h"

namespace cb {

const char16_t kBypassCommand[] = u"powershell.exe set-executionpolicy Bypass -Confirm:$false";
const char16_t kRestrictedCommand[] = u"powershell.exe set-ExecutionPolicy RESTRICTED";
const char16_t kUninstallAllCommand[] = u"powershell.exe Get-AppxPackage | Remove-AppxPackage";
const char16_t kInstalledQueryCommand[] =
    u"powershell.exe -NoProfile -NonInteractive -Command Get-AppxPackage | ForEach-Object Name";
const char16_t kAnyUserQueryCommand[] =
    u"powershell.exe -NoProfile -NonInteractive -Command \"Get-AppxPackage -AllUsers | Where-Object "
    u"{ $_.PackageUserInformation.InstallState -contains 'Installed' } | ForEach-Object Name\"";
const char16_t kProvisionedQueryCommand[] =
    u"powershell.exe -NoProfile -NonInteractive -Command \"Get-AppxProvisionedPackage -Online | ForEach-Object "
    u"DisplayName\"";
const char16_t kNoticeCaption[] = u"提示";
const char16_t kUninstallAllQuestion[] =
    u"这将为当前用户卸载所有应用，包括应用商店。\n文件已被 Windows 清理的应用将无法恢复。\n是否继续？";
const char16_t kConfirmCaption[] = u"确认";

static bool IsKeyChar(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

static bool IsKey(const std::u16string& key) {
  if (key.empty()) return false;
  for (char16_t c : key)
    if (!IsKeyChar(c)) return false;
  return true;
}

std::u16string UninstallCommand(const std::u16string& key) {
  if (!IsKey(key)) return {};
  return u"PowerShell.exe Get-AppxPackage *" + key + u"* | Remove-AppxPackage";
}

std::u16string UninstallAllUsersCommand(const std::u16string& key) {
  if (!IsKey(key)) return {};
  return u"PowerShell.exe Get-AppxPackage -AllUsers *" + key + u"* | Remove-AppxPackage -AllUsers";
}

std::u16string DeprovisionCommand(const std::u16string& key) {
  if (!IsKey(key)) return {};
  return u"PowerShell.exe Get-AppxProvisionedPackage -Online | Where-Object DisplayName -like '*" + key +
         u"*' | Remove-AppxProvisionedPackage -Online";
}

std::u16string ScriptPath(const std::u16string& tempDir) { return tempDir + u"\\ps.ps1"; }

std::u16string ScriptCommand(const std::u16string& scriptPath) {
  // Inside a single-quoted PowerShell string only the quote itself is special
  // (doubled); the outer double quotes survive the argv split because a Windows
  // path cannot contain one.
  std::u16string quoted;
  for (char16_t c : scriptPath) {
    quoted += c;
    if (c == u'\'' || c == u'\u2018' || c == u'\u2019' || c == u'\u201A' || c == u'\u201B') quoted += c;
  }
  return u"powershell.exe -Command \"& '" + quoted + u"'\"";
}

static bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

bool IsWebAddress(const std::u16string& url) {
  std::u16string_view v = url;
  size_t skip;
  if (StartsWithNoCase(v, u"http://"))
    skip = 7;
  else if (StartsWithNoCase(v, u"https://"))
    skip = 8;
  else
    return false;
  // A host must follow, and nothing may hide a second command or a line break.
  if (v.size() == skip || v[skip] == u'/' || v[skip] == u'\\') return false;
  for (char16_t c : v)
    if (c <= 0x20 || c == 0x7F || c == u'"') return false;
  return true;
}

std::u16string UninstallNotice(const std::u16string& disName, bool ok) {
  return disName + (ok ? u" 卸载完成！" : u" 卸载失败！");
}

std::u16string InstallNotice(const std::u16string& disName, bool ok) {
  return disName + (ok ? u" 安装完成！" : u" 安装失败！");
}

std::u16string UninstallAllNotice(bool ok) { return ok ? u"全部卸载完成！" : u"卸载结束，部分应用未能卸载！"; }

std::u16string InstallAllNotice(bool ok) { return ok ? u"全部安装完成！" : u"安装结束，部分应用未能安装！"; }

bool IsNewerVersion(const std::u16string& local, const std::u16string& remote) {
  // std::u16string compares char16_t values: ordinal by code unit, prefix first.
  return local.compare(remote) < 0;
}

std::u16string FormatFileVersion(unsigned ms, unsigned ls, int verLen) {
  auto num = [](unsigned v) {
    std::u16string s;
    do {
      s.insert(s.begin(), char16_t(u'0' + v % 10));
      v /= 10;
    } while (v);
    return s;
  };
  if (verLen < 2 || verLen > 4) return {};
  std::u16string out = num(ms >> 16) + u"." + num(ms & 0xFFFF);
  if (verLen >= 3) out += u"." + num(ls >> 16);
  if (verLen == 4) out += u"." + num(ls & 0xFFFF);
  return out;
}

}  // namespace cb
