#include <gtest/gtest.h>

#include "CommandLine.h"

using namespace cb;

namespace {

TCliRequest Parse(std::initializer_list<const char16_t*> Args) {
  std::vector<std::u16string> V;
  for (const char16_t* A : Args) V.emplace_back(A);
  return ParseCommandLine(V);
}

std::vector<std::u16string> Keys(const TCliRequest& R) {
  std::vector<std::u16string> K;
  for (const AppButton* A : R.Apps) K.emplace_back(A->key);
  return K;
}

}  // namespace

TEST(CommandLine, SwitchesNameCatalogueAppsInTheOrderGiven) {
  // The window's own switches start the window, whatever follows the preview switch.
  EXPECT_EQ(Parse({}).Op, TCliOp::None);
  EXPECT_EQ(Parse({u"/ACVER"}).Op, TCliOp::None);
  EXPECT_EQ(Parse({u"/acpreview", u"/uninstall:bingnews"}).Op, TCliOp::None);

  TCliRequest R = Parse({u"-UnInstall: WINDOWSCALCULATOR ,新闻,onenote,windowscalculator,Groove 音乐", u"/ALLUSERS",
                         u"-quiet", u"/log: C:\\logs\\deploy log.txt ", u"/acver"});
  EXPECT_TRUE(R.Error.empty()) << std::string(R.Error.begin(), R.Error.end());
  EXPECT_EQ(R.Op, TCliOp::Uninstall);
  // Keys come from the catalogue, never as typed; a repeat runs once.
  EXPECT_EQ(Keys(R), (std::vector<std::u16string>{u"windowscalculator", u"bingnews", u"onenote", u"zunemusic"}));
  EXPECT_TRUE(R.AllUsers);
  EXPECT_TRUE(R.Quiet);
  EXPECT_EQ(R.LogPath, u"C:\\logs\\deploy log.txt");

  EXPECT_EQ(Parse({u"/install-all"}).Op, TCliOp::InstallAll);
  EXPECT_EQ(Parse({u"-Uninstall-All", u"/quiet"}).Op, TCliOp::UninstallAll);
  EXPECT_EQ(Parse({u"/list", u"/acver"}).Op, TCliOp::List);
  // Help wins over whatever else is wrong.
  R = Parse({u"/frob", u"/?"});
  EXPECT_EQ(R.Op, TCliOp::Help);
  EXPECT_TRUE(R.Error.empty());
}

TEST(CommandLine, BadInputIsAnErrorThatRunsNothing) {
  struct Case {
    std::initializer_list<const char16_t*> Args;
    const char16_t* Says;
  };
  const Case Cases[] = {
      {{u"/uninstall:windowscalculator,nope,bingnews"}, u"未知的应用：nope"},
      {{u"/uninstall:nope,windowscalculator,bad"}, u"未知的应用：nope, bad"},
      // Nothing that is not a key reaches a command line.
      {{u"/uninstall:windowscalculator*"}, u"未知的应用"},
      {{u"/uninstall:calc'|Remove-Item C:\\"}, u"未知的应用"},
      {{u"/uninstall:bingnews", u"/install:bingnews"}, u"一次只能执行一项操作"},
      {{u"/list", u"/list"}, u"一次只能执行一项操作"},
      {{u"/install:bingnews", u"/allusers"}, u"/allusers 只能与 /uninstall: 同用"},
      {{u"/uninstall-all", u"/allusers"}, u"/allusers 只能与 /uninstall: 同用"},
      {{u"/uninstall"}, u"缺少应用，例如 /uninstall:windowscalculator"},
      {{u"/install: "}, u"缺少应用"},
      {{u"/uninstall:a,,b"}, u"应用列表中有空项"},
      {{u"/uninstall:bingnews,"}, u"应用列表中有空项"},
      {{u"/list:all"}, u"未知的开关：/list:all"},
      {{u"/quiet:yes", u"/list"}, u"未知的开关"},
      {{u"bingnews"}, u"未知的参数：bingnews"},
      {{u"/"}, u"未知的参数"},
      {{u"/quiet", u"/log:x.txt"}, u"未指定操作"},
      {{u"/list", u"/log:"}, u"缺少日志文件名"},
      {{u"/list", u"/log:a", u"/log:b"}, u"只能指定一个日志文件"},
  };
  for (const Case& C : Cases) {
    const TCliRequest R = Parse(C.Args);
    const std::u16string First = *C.Args.begin();
    EXPECT_NE(R.Error.find(C.Says), std::u16string::npos) << std::string(First.begin(), First.end());
    // Every message has its English line too.
    EXPECT_NE(R.Error.find(u'\n'), std::u16string::npos);
    EXPECT_NE(R.Op, TCliOp::None);
    EXPECT_TRUE(R.Apps.empty());
  }
}

TEST(CommandLine, LogLinesStayOneLineOfEightFields) {
  TLogEntry E;
  E.Time = LogTime(2026, 3, 4, 5, 6, 7, -(5 * 60 + 30));
  EXPECT_EQ(E.Time, u"2026-03-04T05:06:07-05:30");
  EXPECT_EQ(LogTime(987, 12, 31, 23, 59, 59, 8 * 60), u"0987-12-31T23:59:59+08:00");
  E.Operation = u"uninstall";
  E.App = FindApp(u"计算器");
  E.Result = u"failed";
  E.HasExitCode = true;
  E.ExitCode = -1;
  E.HResult = 0x80073D02;
  E.Explanation = u"first\tsecond\r\nthird\u2028";
  EXPECT_EQ(LogLine(E), u"2026-03-04T05:06:07-05:30\tuninstall\twindowscalculator\t计算器\tfailed\t-1\t0x80073D02\t"
                        u"first second  third ");
  TLogEntry Empty;
  Empty.Operation = u"list";
  Empty.Result = u"ok";
  EXPECT_EQ(LogLine(Empty), u"\tlist\t\t\tok\t\t\t");
}

TEST(CommandLine, ListHasAHeaderAndOneRowPerApp) {
  std::array<TAppState, kAppCount> States{};
  const AppButton* Calc = FindApp(u"windowscalculator");
  States[size_t(Calc->tag)] = {false, true, true};
  const std::string Csv = ListCsv(States);
  EXPECT_EQ(Csv.rfind("key,caption,current_user,any_user,provisioned\r\n", 0), 0u);
  EXPECT_NE(Csv.find("\r\nwindowscalculator,计算器,no,yes,yes\r\n"), std::string::npos);
  EXPECT_NE(Csv.find("\r\nzunemusic,Groove 音乐,no,no,no\r\n"), std::string::npos);
  size_t Lines = 0;
  for (size_t i = 0; (i = Csv.find("\r\n", i)) != std::string::npos; i += 2) ++Lines;
  EXPECT_EQ(Lines, size_t(kAppCount) + 1);
}
