// The app catalogue and the main window's app buttons: portable facts that the
// form description, the handlers and the tests all agree on.
#pragma once
#include <array>
#include <string>
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
};

extern const std::array<AppButton, kAppCount> kAppButtons;

// Splits the catalogue text as the string list does with ',' (no blanks or
// quotes in it, so a plain split is exact).
std::vector<std::u16string> CatalogueKeys();

}  // namespace cb
