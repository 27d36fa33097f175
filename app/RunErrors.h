// What a PowerShell run wrote to its error output, read as data: the error
// records, the HRESULTs in them and the package each one is about, and the
// short Chinese reasons the notices give for them. Plain text work; the
// bytes come from an elevated child's pipe, so nothing here trusts them.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cb {

// One error record of a run.
struct TRunError {
  std::vector<std::uint32_t> Codes;  // in the order they appear, each once
  std::string Package;               // the first package full name in it, or empty
};

// Every "0x" followed by exactly eight hex digits (either case) that stands
// on its own (no letter, digit or underscore around it), in order, repeats kept.
std::vector<std::uint32_t> FindHResults(std::string_view Text);

// Splits error output into records and reads each. A record starts at a line
// "Verb-Noun : ..." (or with the first line); the lines PowerShell broke at the
// console width are joined again first, so a code or a package name cut at the
// end of a line is found whole. Only the first kMaxRunErrors records are kept.
std::vector<TRunError> ParseRunErrors(std::string_view Output);
constexpr size_t kMaxRunErrors = 4096;

// The code a record is explained by: the last one that has a reason (the
// inner, more precise error comes after the general one), else the first; 0
// when the record has none.
std::uint32_t ChosenCode(const TRunError& Error);

// The reason for a code, or nullptr for a code the program does not know.
const char16_t* ReasonFor(std::uint32_t Code);

// "0x80073D02".
std::u16string CodeText(std::uint32_t Code);

// A notice line for a record: "<reason>（0x…）", the code alone when it is
// unknown, empty when the record has no code.
std::u16string ReasonLine(const TRunError& Error);

// A package Windows keeps because it cannot be removed for one user.
bool KeptBySystem(const TRunError& Error);

// Why an install that ran without an error left the app missing.
extern const char16_t kNothingToRegister[];

// The record a failed run is explained by: the first with a known reason,
// else the first with a code; nullptr when none has a code.
const TRunError* ExplainingError(const std::vector<TRunError>& Errors);

// The notice after one app's uninstall or install: the usual first line, and
// when the run failed with a code, its reason on a second line.
std::u16string UninstallNotice(const std::u16string& DisName, int32_t ExitCode, const std::vector<TRunError>& Errors);
std::u16string InstallNotice(const std::u16string& DisName, int32_t ExitCode, const std::vector<TRunError>& Errors);

// The bulk runs, counted per package: kept by Windows (removal only) and
// failed for another reason, each package once.
struct TBulkTally {
  int Kept = 0;
  struct TFailure {
    std::u16string Name;    // the app's caption, the package name, or empty
    std::u16string Reason;  // ReasonLine
  };
  std::vector<TFailure> Failed;
};
TBulkTally TallyBulk(const std::vector<TRunError>& Errors, bool Removal);

// Whether a bulk run did its work: it started, and nothing failed but (for a
// removal) the packages Windows keeps.
bool BulkDone(int32_t ExitCode, const std::vector<TRunError>& Errors, bool Removal);

// "全部卸载完成！" and how many system components Windows kept when nothing
// else failed; otherwise the failure line, up to kListedFailures apps with
// their reasons and how many more.
std::u16string UninstallAllNotice(int32_t ExitCode, const std::vector<TRunError>& Errors);
std::u16string InstallAllNotice(int32_t ExitCode, const std::vector<TRunError>& Errors);
constexpr size_t kListedFailures = 5;

}  // namespace cb
