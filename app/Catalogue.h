// The app catalogue and the main window's app buttons: portable facts that the
// form description, the handlers and the tests all agree on.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace cb {

// Comma-separated keys; a key's position is the Tag of its button.
extern const char16_t kCatalogueText[];
constexpr int kAppCount = 33;

struct AppButton {
  int tag;
  const char16_t* key;
  const char* name;         // component name in the main window's description
  const char16_t* caption;
  int left, top, width;     // client pixels at 96 DPI; every app button is 22 high
  // The packages that are the app: an exact package name, or the uninstall
  // command's wildcard "*key*"; both matched without regard to case.
  const char* selector;
};

extern const std::array<AppButton, kAppCount> kAppButtons;

// Splits the catalogue text as the string list does with ',' (no blanks or
// quotes in it, so a plain split is exact).
std::vector<std::u16string> CatalogueKeys();

// Whether a package name matches a selector ('*' stands for any run of
// characters; ASCII letters match without regard to case).
bool SelectorMatches(std::string_view Selector, std::string_view PackageName);

// The first app whose selector matches the package name, or nullptr.
const AppButton* AppForPackage(std::string_view PackageName);

// The package names a query printed, one a line; lines that cannot be a
// package name are skipped. At most kMaxPackageNames are kept.
std::vector<std::string> ParsePackageNames(std::string_view Output);
constexpr size_t kMaxPackageNames = 65536;

// Whether each app (by Tag) has a package among the names.
std::array<bool, kAppCount> InstalledApps(const std::vector<std::string>& Names);

}  // namespace cb
