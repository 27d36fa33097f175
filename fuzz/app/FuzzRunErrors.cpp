// Input: the bytes an elevated child wrote to its error output (or to its
// output, for the state query). Beyond "no crash": everything read from it is
// in it. A package name and a code may have been cut by a line break, so they
// are looked for in the text with its line breaks taken out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Catalogue.h"
#include "RunErrors.h"

namespace {

void Check(bool Ok) {
  if (!Ok) std::abort();
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string_view Text(reinterpret_cast<const char*>(Data), Size);
  std::string Flat;
  for (char c : Text)
    if (c != '\r' && c != '\n') Flat += c;
  const std::string FlatLower = Lower(Flat);

  const auto Errors = cb::ParseRunErrors(Text);
  Check(Errors.size() <= cb::kMaxRunErrors);
  for (const auto& E : Errors) {
    Check(!E.Codes.empty() || !E.Package.empty());
    Check(E.Package.empty() || Flat.find(E.Package) != std::string::npos);
    for (std::uint32_t Code : E.Codes) {
      std::u16string Hex = cb::CodeText(Code);
      Check(FlatLower.find(Lower(std::string(Hex.begin(), Hex.end()))) != std::string::npos);
    }
  }
  for (std::int32_t Exit : {-1, 0, 1}) {
    Check(!cb::UninstallAllNotice(Exit, Errors).empty());
    Check(!cb::InstallAllNotice(Exit, Errors).empty());
    Check(!cb::UninstallNotice(u"x", Exit, Errors).empty());
  }

  const auto Names = cb::ParsePackageNames(Text);
  Check(Names.size() <= cb::kMaxPackageNames);
  for (const auto& N : Names) Check(!N.empty() && Text.find(N) != std::string_view::npos);
  (void)cb::InstalledApps(Names);
  return 0;
}
