#include "CommandLine.h"

#include <algorithm>

#include "RunErrors.h"
#include "base/Strings.h"

namespace cb {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view TrimBlanks(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::u16string Both(std::u16string_view Chinese, std::u16string_view English) {
  return std::u16string(Chinese) + u"\n" + std::u16string(English);
}

// The keys of one switch's list, or a usage error naming every key that is
// not an app, so that one run tells the whole story.
std::u16string ReadApps(std::u16string_view List, std::vector<const AppButton*>& Apps) {
  std::u16string Unknown;
  bool Empty = List.empty();
  size_t From = 0;
  while (!Empty) {
    const size_t Comma = List.find(u',', From);
    const std::u16string_view Item =
        TrimBlanks(List.substr(From, Comma == std::u16string_view::npos ? std::u16string_view::npos : Comma - From));
    if (Item.empty()) {
      Empty = true;
      break;
    }
    if (const AppButton* App = FindApp(Item)) {
      if (std::find(Apps.begin(), Apps.end(), App) == Apps.end()) Apps.push_back(App);
    } else {
      Unknown += (Unknown.empty() ? u"" : u", ") + std::u16string(Item);
    }
    if (Comma == std::u16string_view::npos) break;
    From = Comma + 1;
  }
  if (Empty) return Both(u"应用列表中有空项。", u"The app list has an empty entry.");
  if (!Unknown.empty()) return Both(u"未知的应用：" + Unknown, u"Unknown app: " + Unknown);
  return {};
}

}  // namespace

const AppButton* FindApp(std::u16string_view KeyOrCaption) {
  for (const auto& b : kAppButtons)
    if (SameText(KeyOrCaption, b.key)) return &b;
  for (const auto& b : kAppButtons)
    if (SameText(KeyOrCaption, b.caption)) return &b;
  return nullptr;
}

TCliRequest ParseCommandLine(const std::vector<std::u16string>& Params) {
  TCliRequest R;
  // Skin preview is the window's own mode, whatever follows.
  if (!Params.empty() && SameText(Params.front(), u"/acpreview")) return R;
  bool Help = false, HasLog = false, HasOp = false;
  auto fail = [&R](std::u16string Error) {
    if (R.Error.empty()) R.Error = std::move(Error);
  };
  auto setOp = [&](TCliOp Op) {
    if (HasOp) fail(Both(u"一次只能执行一项操作。", u"Only one operation can run at a time."));
    HasOp = true;
    R.Op = Op;
  };
  bool Any = false;
  for (const auto& P : Params) {
    if (SameText(P, u"/acver")) continue;
    Any = true;
    if (P.size() < 2 || (P[0] != u'/' && P[0] != u'-')) {
      fail(Both(u"未知的参数：" + P, u"Unknown argument: " + P));
      continue;
    }
    const size_t Colon = P.find(u':');
    const std::u16string Name = LowerCase(std::u16string_view(P).substr(1, Colon == std::u16string::npos ? P.npos : Colon - 1));
    const bool HasValue = Colon != std::u16string::npos;
    const std::u16string_view Value = HasValue ? std::u16string_view(P).substr(Colon + 1) : std::u16string_view();
    const bool Flag = !HasValue;
    if ((Name == u"?" || Name == u"h" || Name == u"help") && Flag) {
      Help = true;
    } else if ((Name == u"uninstall" || Name == u"install") && !TrimBlanks(Value).empty()) {
      setOp(Name == u"uninstall" ? TCliOp::Uninstall : TCliOp::Install);
      std::vector<const AppButton*> Apps;
      if (std::u16string Error = ReadApps(Value, Apps); !Error.empty()) fail(Error);
      R.Apps = std::move(Apps);
    } else if (Name == u"uninstall" || Name == u"install") {
      const std::u16string Example = P.substr(0, Name.size() + 1) + u":windowscalculator";
      fail(Both(u"缺少应用，例如 " + Example, u"Name the apps, for example " + Example));
    } else if (Name == u"uninstall-all" && Flag) {
      setOp(TCliOp::UninstallAll);
    } else if (Name == u"install-all" && Flag) {
      setOp(TCliOp::InstallAll);
    } else if (Name == u"list" && Flag) {
      setOp(TCliOp::List);
    } else if (Name == u"allusers" && Flag) {
      R.AllUsers = true;
    } else if (Name == u"quiet" && Flag) {
      R.Quiet = true;
    } else if (Name == u"log" && HasValue) {
      const std::u16string_view Path = TrimBlanks(Value);
      if (Path.empty()) fail(Both(u"缺少日志文件名。", u"The log switch needs a file name."));
      if (HasLog) fail(Both(u"只能指定一个日志文件。", u"Only one log file can be given."));
      HasLog = true;
      R.LogPath = Path;
    } else {
      fail(Both(u"未知的开关：" + P, u"Unknown switch: " + P));
    }
  }
  if (!Any) return R;  // nothing but the window's own switches
  if (Help) {
    R.Op = TCliOp::Help;
    R.Error.clear();
    return R;
  }
  if (R.Error.empty() && !HasOp) fail(Both(u"未指定操作。", u"No operation given."));
  if (R.Error.empty() && R.AllUsers && R.Op != TCliOp::Uninstall)
    fail(Both(u"/allusers 只能与 /uninstall: 同用。", u"/allusers goes with /uninstall: only."));
  if (!R.Error.empty()) {
    // A usage error runs nothing; the operation stays named for the log.
    R.Apps.clear();
    if (R.Op == TCliOp::None) R.Op = TCliOp::Help;
  }
  return R;
}

std::u16string UsageText() {
  // Lines short enough for a box on a small screen.
  std::u16string Keys, Line;
  for (size_t i = 0; i < kAppButtons.size(); ++i) {
    const std::u16string Key = std::u16string(kAppButtons[i].key) + (i + 1 < kAppButtons.size() ? u"," : u"");
    if (!Line.empty() && Line.size() + 1 + Key.size() > 64) {
      Keys += Line + u"\n  ";
      Line.clear();
    }
    Line += (Line.empty() ? u"" : u" ") + Key;
  }
  Keys += Line;
  return u"Clearbay 命令行 / Clearbay command line\n"
         u"\n"
         u"Clearbay.exe /uninstall:应用[,应用...] [/allusers] [/quiet] [/log:文件]\n"
         u"Clearbay.exe /install:应用[,应用...] [/quiet] [/log:文件]\n"
         u"Clearbay.exe /uninstall-all | /install-all | /list [/quiet] [/log:文件]\n"
         u"\n"
         u"/uninstall:应用,...  为当前用户卸载这些应用。应用可写应用键或按钮上的名称。\n"
         u"    Uninstalls the apps for the current user. An app is its key or its button's caption.\n"
         u"/install:应用,...  重新注册这些应用。 Registers the apps again.\n"
         u"/uninstall-all  卸载当前用户的全部应用。 Uninstalls every app of the current user.\n"
         u"/install-all  重新注册全部应用。 Registers every app again.\n"
         u"/allusers  与 /uninstall: 同用：为所有用户卸载，并删除预配的应用包，新账户不会再获得它。\n"
         u"    With /uninstall: removes the apps for every user and their provisioned packages,\n"
         u"    so that new accounts do not get them.\n"
         u"/list  以 CSV（UTF-8）列出 33 个应用及其状态。 Lists the 33 apps and their states as CSV (UTF-8).\n"
         u"/quiet  不显示任何窗口。 Shows no window at all.\n"
         u"/log:文件  每次运行在文件末尾追加一行（UTF-8）。 Appends one line per run to the file (UTF-8).\n"
         u"/?  显示本说明。 Shows this text.\n"
         u"\n"
         u"退出代码 / Exit codes:\n"
         u"0  全部成功 / everything succeeded\n"
         u"1  至少一项操作失败 / at least one operation failed\n"
         u"2  用法错误，未执行任何操作 / usage error, nothing ran\n"
         u"3  另一个实例正在运行，请稍后重试 / another instance is running, try again later\n"
         u"\n"
         u"应用键 / App keys:\n  " +
         Keys + u"\n";
}

std::string ListCsv(const std::array<TAppState, kAppCount>& States) {
  auto field = [](std::u16string_view Text) {
    std::string s = Utf16ToUtf8(Text);
    if (s.find_first_of(",\"\r\n") == std::string::npos && (s.empty() || (s.front() != ' ' && s.back() != ' ')))
      return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
  };
  auto yes = [](bool v) { return v ? "yes" : "no"; };
  std::string Csv = "key,caption,current_user,any_user,provisioned\r\n";
  for (size_t i = 0; i < kAppButtons.size(); ++i) {
    const AppButton& b = kAppButtons[i];
    const TAppState& s = States[size_t(b.tag)];
    Csv += field(b.key) + "," + field(b.caption) + "," + yes(s.CurrentUser) + "," + yes(s.AnyUser) + "," +
           yes(s.Provisioned) + "\r\n";
  }
  return Csv;
}

std::u16string LogLine(const TLogEntry& E) {
  auto clean = [](std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out)
      if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) c = u' ';
    return out;
  };
  std::u16string Line = clean(E.Time) + u"\t" + clean(E.Operation) + u"\t";
  Line += (E.App ? std::u16string(E.App->key) : u"") + u"\t" + (E.App ? std::u16string(E.App->caption) : u"") + u"\t";
  Line += clean(E.Result) + u"\t" + (E.HasExitCode ? IntToStr(E.ExitCode) : u"") + u"\t";
  Line += (E.HResult ? CodeText(E.HResult) : u"") + u"\t" + clean(E.Explanation);
  return Line;
}

std::u16string LogTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int OffsetMinutes) {
  auto two = [](int v) { return std::u16string{char16_t(u'0' + v / 10 % 10), char16_t(u'0' + v % 10)}; };
  const int Off = OffsetMinutes < 0 ? -OffsetMinutes : OffsetMinutes;
  return two(Year / 100) + two(Year % 100) + u"-" + two(Month) + u"-" + two(Day) + u"T" + two(Hour) + u":" +
         two(Minute) + u":" + two(Second) + (OffsetMinutes < 0 ? u"-" : u"+") + two(Off / 60) + u":" + two(Off % 60);
}

}  // namespace cb
