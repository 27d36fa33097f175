// Command lines the program hands to PowerShell, the notice texts, and the
// checks on outside data that decide what an elevated process may do.
#pragma once
#include <string>

namespace cb {

extern const char16_t kBypassCommand[];
extern const char16_t kRestrictedCommand[];
extern const char16_t kUninstallAllCommand[];
// Lists the names of the current user's packages, one a line, and nothing
// else: no profile may print anything first.
extern const char16_t kInstalledQueryCommand[];

// The same for packages installed for at least one user (staged ones are
// known to every user but installed for none), and for provisioned packages,
// by their display names.
extern const char16_t kAnyUserQueryCommand[];
extern const char16_t kProvisionedQueryCommand[];

// "PowerShell.exe Get-AppxPackage *<key>* | Remove-AppxPackage". Keys come from
// the catalogue; anything but letters and digits is refused (empty result) so a
// key can never carry PowerShell syntax into an elevated command.
std::u16string UninstallCommand(const std::u16string& key);

// The removal for every user, and the removal of the provisioned package that
// would bring the app back to new accounts; keys are checked as above.
std::u16string UninstallAllUsersCommand(const std::u16string& key);
std::u16string DeprovisionCommand(const std::u16string& key);

// The temporary script file: the "temp" value and "\ps.ps1", joined as they stand.
std::u16string ScriptPath(const std::u16string& tempDir);

// Runs the script through PowerShell's call operator on a single-quoted path, so
// blanks and any other character in the path reach PowerShell intact.
std::u16string ScriptCommand(const std::u16string& scriptPath);

// True for http:// and https:// addresses with a host; the shell must never be
// asked to open a path, a file: address or a program on behalf of a download
// descriptor that came over plain HTTP.
bool IsWebAddress(const std::u16string& url);

// Notices. `ok` false gives the program's own failure wording.
std::u16string UninstallNotice(const std::u16string& disName, bool ok);
std::u16string InstallNotice(const std::u16string& disName, bool ok);
std::u16string UninstallAllNotice(bool ok);
std::u16string InstallAllNotice(bool ok);
extern const char16_t kNoticeCaption[];
// The question before everything is uninstalled, and its caption.
extern const char16_t kUninstallAllQuestion[];
extern const char16_t kConfirmCaption[];

// A PowerShell run succeeded when it started (not -1) and exited with 0.
inline bool RunSucceeded(int exitCode) { return exitCode == 0; }

// Version texts compare as texts: ordinal by 16-bit code unit, a prefix first.
bool IsNewerVersion(const std::u16string& local, const std::u16string& remote);

// "1.0", "1.0.0", "1.0.0.0" from the fixed file version halves; "" for other lengths.
std::u16string FormatFileVersion(unsigned ms, unsigned ls, int verLen);

}  // namespace cb
