#include "RunErrors.h"

#include <algorithm>

#include "Catalogue.h"
#include "Commands.h"

namespace cb {

const char16_t kNothingToRegister[] = u"此电脑上已没有该应用的文件，无法重新注册来恢复";

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsWordChar(char c) { return IsAlnum(c) || c == '_'; }
unsigned HexValue(char c) {
  return c <= '9' ? unsigned(c - '0') : c <= 'F' ? unsigned(c - 'A' + 10) : unsigned(c - 'a' + 10);
}

std::u16string Widen(std::string_view s) { return std::u16string(s.begin(), s.end()); }

// The length of the package full name that t starts with, or 0. A full name
// is Name_Version_Architecture_ResourceId_PublisherId: the version four
// numbers, the publisher id 13 lower-case letters and digits. What follows it
// (a sentence's full stop, a line glued on) is not part of it.
size_t PackageFullNameLength(std::string_view t) {
  size_t at = 0, parts[4];
  for (int i = 0; i < 4; ++i) {
    const size_t u = t.find('_', at);
    if (u == std::string_view::npos) return 0;
    parts[i] = u;
    at = u + 1;
  }
  if (parts[0] == 0 || parts[2] == parts[1] + 1) return 0;
  if (t.size() < at + 13) return 0;
  for (size_t i = at; i < at + 13; ++i)
    if (!((t[i] >= 'a' && t[i] <= 'z') || (t[i] >= '0' && t[i] <= '9'))) return 0;
  // An upper-case letter after it is a line glued on, never part of the id.
  if (t.size() > at + 13 && IsWordChar(t[at + 13]) && !(t[at + 13] >= 'A' && t[at + 13] <= 'Z')) return 0;
  int dots = 0;
  bool digit = false;
  for (char c : t.substr(parts[0] + 1, parts[1] - parts[0] - 1)) {
    if (c == '.') {
      if (!digit) return 0;
      ++dots;
      digit = false;
    } else if (c >= '0' && c <= '9') {
      digit = true;
    } else {
      return 0;
    }
  }
  return dots == 3 && digit ? at + 13 : 0;
}

bool IsNameChar(char c) { return IsWordChar(c) || c == '.' || c == '-' || c == '~'; }

std::string FirstPackage(std::string_view Text) {
  size_t i = 0;
  while (i < Text.size()) {
    if (!IsNameChar(Text[i])) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < Text.size() && IsNameChar(Text[j])) ++j;
    std::string_view t = Text.substr(i, j - i);
    while (!t.empty() && (t.front() == '.' || t.front() == '-')) t.remove_prefix(1);
    if (size_t n = PackageFullNameLength(t)) return std::string(t.substr(0, n));
    i = j;
  }
  return {};
}

// "Remove-AppxPackage : ...": where PowerShell starts an error record.
bool StartsRecord(std::string_view Line) {
  size_t i = 0;
  auto word = [&] {
    size_t from = i;
    while (i < Line.size() && IsAlnum(Line[i])) ++i;
    return i > from;
  };
  if (!word() || i >= Line.size() || Line[i] != '-') return false;
  ++i;
  return word() && Line.substr(i, 3) == " : ";
}

void AddCodes(std::vector<std::uint32_t>& To, std::string_view Text) {
  for (std::uint32_t c : FindHResults(Text))
    if (std::find(To.begin(), To.end(), c) == To.end()) To.push_back(c);
}

TRunError ReadRecord(const std::vector<std::string_view>& Lines, size_t From, size_t To, size_t Width) {
  // A line as long as the widest one was broken by the console, not ended:
  // it goes on in the next line without a separator.
  std::string Joined;
  for (size_t i = From; i < To; ++i) {
    Joined.append(Lines[i]);
    if (!(Width >= 40 && Lines[i].size() == Width)) Joined += '\n';
  }
  TRunError E;
  AddCodes(E.Codes, Joined);
  // A line that only happened to be the widest one and ends with a code is
  // not to lose it to the join.
  for (size_t i = From; i < To; ++i) AddCodes(E.Codes, Lines[i]);
  E.Package = FirstPackage(Joined);
  return E;
}

struct TReason {
  std::uint32_t Code;
  const char16_t* Text;
};

constexpr TReason kReasons[] = {
    {0x80073CFA, u"Windows 未能删除此应用"},
    {0x80070032, u"这是 Windows 的一部分，不能只为当前用户卸载"},
    {0x80073D02, u"应用正在运行，请关闭后重试"},
    {0x80073CF3, u"依赖项或冲突检查未通过"},
    {0x80073CF6, u"应用注册失败"},
    {0x80073CF9, u"应用注册失败"},
    {0x80073CF0, kNothingToRegister},
    {0x80070002, kNothingToRegister},
    {0x80070005, u"拒绝访问"},
};

std::u16string Number(size_t v) {
  std::u16string s;
  do {
    s.insert(s.begin(), char16_t(u'0' + v % 10));
    v /= 10;
  } while (v);
  return s;
}

// The notice's second line for a failed single run: the first record with a
// known reason, else the first with a code.
std::u16string SingleReason(int32_t ExitCode, const std::vector<TRunError>& Errors) {
  if (RunSucceeded(ExitCode)) return {};
  const TRunError* E = ExplainingError(Errors);
  return E ? u"\n" + ReasonLine(*E) : u"";
}

// A removal whose only errors are the packages Windows keeps is done.
bool BulkDone(int32_t ExitCode, const TBulkTally& T) {
  return ExitCode != -1 && T.Failed.empty() && (ExitCode == 0 || T.Kept > 0);
}

std::u16string BulkNotice(int32_t ExitCode, const std::vector<TRunError>& Errors, bool Removal) {
  const TBulkTally T = TallyBulk(Errors, Removal);
  const std::u16string KeptLine =
      T.Kept ? u"\nWindows 保留了 " + Number(size_t(T.Kept)) + u" 个无法卸载的系统组件。" : u"";
  if (BulkDone(ExitCode, T)) return (Removal ? UninstallAllNotice(true) : InstallAllNotice(true)) + KeptLine;
  std::u16string Text = Removal ? UninstallAllNotice(false) : InstallAllNotice(false);
  for (size_t i = 0; i < T.Failed.size() && i < kListedFailures; ++i) {
    const auto& F = T.Failed[i];
    Text += u"\n" + F.Name + (F.Name.empty() || F.Reason.empty() ? u"" : u"：") + F.Reason;
  }
  if (T.Failed.size() > kListedFailures)
    Text += u"\n另有 " + Number(T.Failed.size() - kListedFailures) + (Removal ? u" 个应用未能卸载。" : u" 个应用未能安装。");
  return Text + KeptLine;
}

}  // namespace

std::vector<std::uint32_t> FindHResults(std::string_view Text) {
  std::vector<std::uint32_t> Codes;
  for (size_t i = 0; i + 10 <= Text.size(); ++i) {
    if (Text[i] != '0' || (Text[i + 1] != 'x' && Text[i + 1] != 'X')) continue;
    if (i > 0 && IsWordChar(Text[i - 1])) continue;
    size_t j = i + 2;
    std::uint32_t v = 0;
    while (j < Text.size() && j < i + 10 && IsHex(Text[j])) v = (v << 4) | HexValue(Text[j++]);
    if (j != i + 10 || (j < Text.size() && IsWordChar(Text[j]))) continue;
    Codes.push_back(v);
    i = j - 1;
  }
  return Codes;
}

std::vector<TRunError> ParseRunErrors(std::string_view Output) {
  std::vector<std::string_view> Lines;
  size_t Width = 0;
  while (!Output.empty()) {
    size_t End = Output.find_first_of("\r\n");
    std::string_view Line = Output.substr(0, End);
    if (End == std::string_view::npos) {
      Output = {};
    } else {
      // "\r\n", a lone "\n" or a lone "\r" each end one line.
      size_t Skip = Output.substr(End, 2) == "\r\n" ? 2 : 1;
      Output.remove_prefix(End + Skip);
    }
    Width = std::max(Width, Line.size());
    Lines.push_back(Line);
  }
  std::vector<TRunError> Errors;
  size_t From = 0;
  for (size_t i = 0; i <= Lines.size() && Errors.size() < kMaxRunErrors; ++i) {
    if (i < Lines.size() && !(i > From && StartsRecord(Lines[i]))) continue;
    if (i > From) {
      TRunError E = ReadRecord(Lines, From, i, Width);
      if (!E.Codes.empty() || !E.Package.empty()) Errors.push_back(std::move(E));
    }
    From = i;
  }
  return Errors;
}

std::uint32_t ChosenCode(const TRunError& E) {
  for (auto it = E.Codes.rbegin(); it != E.Codes.rend(); ++it)
    if (ReasonFor(*it)) return *it;
  return E.Codes.empty() ? 0 : E.Codes.front();
}

const char16_t* ReasonFor(std::uint32_t Code) {
  for (const auto& R : kReasons)
    if (R.Code == Code) return R.Text;
  return nullptr;
}

std::u16string CodeText(std::uint32_t Code) {
  static const char Digits[] = "0123456789ABCDEF";
  std::u16string s = u"0x";
  for (int shift = 28; shift >= 0; shift -= 4) s += char16_t(Digits[(Code >> shift) & 0xF]);
  return s;
}

std::u16string ReasonLine(const TRunError& E) {
  if (E.Codes.empty()) return {};
  const std::uint32_t Code = ChosenCode(E);
  const char16_t* Reason = ReasonFor(Code);
  return Reason ? std::u16string(Reason) + u"（" + CodeText(Code) + u"）" : CodeText(Code);
}

bool KeptBySystem(const TRunError& E) {
  return std::find(E.Codes.begin(), E.Codes.end(), 0x80070032u) != E.Codes.end();
}

std::u16string UninstallNotice(const std::u16string& DisName, int32_t ExitCode, const std::vector<TRunError>& Errors) {
  return UninstallNotice(DisName, RunSucceeded(ExitCode)) + SingleReason(ExitCode, Errors);
}

std::u16string InstallNotice(const std::u16string& DisName, int32_t ExitCode, const std::vector<TRunError>& Errors) {
  return InstallNotice(DisName, RunSucceeded(ExitCode)) + SingleReason(ExitCode, Errors);
}

TBulkTally TallyBulk(const std::vector<TRunError>& Errors, bool Removal) {
  TBulkTally T;
  std::vector<std::string> Kept, Failed;
  auto seen = [](std::vector<std::string>& List, const std::string& Package) {
    // A record naming no package is a package of its own.
    if (Package.empty()) return false;
    if (std::find(List.begin(), List.end(), Package) != List.end()) return true;
    List.push_back(Package);
    return false;
  };
  for (const auto& E : Errors) {
    if (Removal && KeptBySystem(E)) {
      if (!seen(Kept, E.Package)) ++T.Kept;
      continue;
    }
    if (seen(Failed, E.Package)) continue;
    const std::string_view Name = std::string_view(E.Package).substr(0, E.Package.find('_'));
    const AppButton* App = Name.empty() ? nullptr : AppForPackage(Name);
    T.Failed.push_back({App ? std::u16string(App->caption) : Widen(Name), ReasonLine(E)});
  }
  return T;
}

const TRunError* ExplainingError(const std::vector<TRunError>& Errors) {
  for (const auto& E : Errors)
    if (ReasonFor(ChosenCode(E))) return &E;
  for (const auto& E : Errors)
    if (!E.Codes.empty()) return &E;
  return nullptr;
}

bool BulkDone(int32_t ExitCode, const std::vector<TRunError>& Errors, bool Removal) {
  return BulkDone(ExitCode, TallyBulk(Errors, Removal));
}

std::u16string UninstallAllNotice(int32_t ExitCode, const std::vector<TRunError>& Errors) {
  return BulkNotice(ExitCode, Errors, true);
}

std::u16string InstallAllNotice(int32_t ExitCode, const std::vector<TRunError>& Errors) {
  return BulkNotice(ExitCode, Errors, false);
}

}  // namespace cb
