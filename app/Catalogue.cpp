#include "Catalogue.h"

namespace cb {

const char16_t kCatalogueText[] =
    u"3dbuilder,ScreenSketch,photos,windowsmaps,getstarted,bingweather,soundrecorder,bingfinance,bingnews,"
    u"people,onenote,xboxapp,windowsalarms,zunevideo,windowscommunicationsapps,officehub,windowsstore,"
    u"solitairecollection,windowscamera,windowscalculator,zunemusic,gethelp,Messaging,Microsoft3DViewer,"
    u"MicrosoftStickyNotes,MSPaint,OneConnect,Print3D,SkypeApp,Wallet,FeedbackHub,MixedReality,YourPhone";

const std::array<AppButton, kAppCount> kAppButtons = {{
    {0, u"3dbuilder", "btn1", u"3D建模", 17, 8, 66, "Microsoft.3DBuilder"},
    {1, u"ScreenSketch", "btn34", u"截图和草图", 109, 231, 87, "*ScreenSketch*"},
    {2, u"photos", "btn9", u"照片", 155, 8, 66, "Microsoft.Windows.Photos"},
    {3, u"windowsmaps", "btn13", u"地图", 225, 8, 66, "Microsoft.WindowsMaps"},
    {4, u"getstarted", "btn7", u"使用技巧", 203, 231, 87, "Microsoft.Getstarted"},
    {5, u"bingweather", "btn21", u"天气", 88, 36, 66, "Microsoft.BingWeather"},
    {6, u"soundrecorder", "btn18", u"录音机", 17, 175, 87, "*soundrecorder*"},
    {7, u"bingfinance", "btn8", u"财经", 225, 36, 66, "Microsoft.BingFinance"},
    {8, u"bingnews", "btn11", u"新闻", 17, 64, 66, "Microsoft.BingNews"},
    {9, u"people", "btn16", u"人脉", 88, 64, 66, "Microsoft.People"},
    {10, u"onenote", "btn15", u"OneNote", 155, 64, 66, "Microsoft.Office.OneNote"},
    {11, u"xboxapp", "btn22", u"Xbox", 225, 64, 66, "*xboxapp*"},
    {12, u"windowsalarms", "btn2", u"闹钟和时钟", 17, 119, 87, "Microsoft.WindowsAlarms"},
    {13, u"zunevideo", "btn10", u"电影和电视", 109, 119, 87, "Microsoft.ZuneVideo"},
    {14, u"windowscommunicationsapps", "btn3", u"日历和邮件", 203, 119, 87, "Microsoft.windowscommunicationsapps"},
    {15, u"officehub", "btn6", u"获取office", 17, 147, 87, "*officehub*"},
    {16, u"windowsstore", "btn19", u"应用商店", 109, 147, 87, "*windowsstore*"},
    {17, u"solitairecollection", "btn14", u"棋牌游戏", 203, 147, 87, "*solitairecollection*"},
    {18, u"windowscamera", "btn5", u"相机", 88, 8, 63, "Microsoft.WindowsCamera"},
    {19, u"windowscalculator", "btn4", u"计算器", 109, 175, 87, "*windowscalculator*"},
    {20, u"zunemusic", "btn12", u"Groove 音乐", 203, 175, 87, "Microsoft.ZuneMusic"},
    {21, u"gethelp", "btn17", u"获取帮助", 17, 203, 87, "Microsoft.GetHelp"},
    {22, u"Messaging", "btn28", u"消息", 225, 92, 65, "Microsoft.Messaging"},
    {23, u"Microsoft3DViewer", "btn26", u"3D 查看器", 17, 231, 87, "Microsoft.Microsoft3DViewer"},
    {24, u"MicrosoftStickyNotes", "btn35", u"便签", 155, 36, 66, "Microsoft.MicrosoftStickyNotes"},
    {25, u"MSPaint", "btn27", u"画图 3D", 17, 36, 66, "Microsoft.MSPaint"},
    {26, u"OneConnect", "btn29", u"移动套餐", 109, 203, 87, "Microsoft.OneConnect"},
    {27, u"Print3D", "btn30", u"Print 3D", 155, 92, 66, "Microsoft.Print3D"},
    {28, u"SkypeApp", "btn31", u"Skype", 17, 92, 66, "Microsoft.SkypeApp"},
    {29, u"Wallet", "btn32", u"Wallet", 87, 92, 66, "Microsoft.Wallet"},
    {30, u"FeedbackHub", "btn33", u"反馈中心", 203, 203, 87, "Microsoft.WindowsFeedbackHub"},
    {31, u"MixedReality", "btn36", u"混合现实门户", 17, 259, 132, "*MixedReality*"},
    {32, u"YourPhone", "btn37", u"你的手机", 155, 259, 135, "*YourPhone*"},
}};

std::vector<std::u16string> CatalogueKeys() {
  std::vector<std::u16string> keys;
  std::u16string text = kCatalogueText, item;
  for (char16_t c : text) {
    if (c == u',') {
      keys.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  keys.push_back(item);
  return keys;
}

bool SelectorMatches(std::string_view Selector, std::string_view Name) {
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  // Greedy match with one backtrack point: the last '*' seen.
  size_t s = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < Name.size()) {
    if (s < Selector.size() && Selector[s] == '*') {
      star = s++;
      resume = n;
    } else if (s < Selector.size() && lower(Selector[s]) == lower(Name[n])) {
      ++s;
      ++n;
    } else if (star != std::string_view::npos) {
      s = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (s < Selector.size() && Selector[s] == '*') ++s;
  return s == Selector.size();
}

const AppButton* AppForPackage(std::string_view PackageName) {
  for (const auto& b : kAppButtons)
    if (SelectorMatches(b.selector, PackageName)) return &b;
  return nullptr;
}

std::vector<std::string> ParsePackageNames(std::string_view Output) {
  std::vector<std::string> Names;
  while (!Output.empty() && Names.size() < kMaxPackageNames) {
    const size_t End = Output.find_first_of("\r\n");
    std::string_view Line = Output.substr(0, End);
    Output.remove_prefix(End == std::string_view::npos ? Output.size() : End + 1);
    while (!Line.empty() && (Line.front() == ' ' || Line.front() == '\t')) Line.remove_prefix(1);
    while (!Line.empty() && (Line.back() == ' ' || Line.back() == '\t')) Line.remove_suffix(1);
    bool Name = !Line.empty() && Line.size() <= 255;
    for (char c : Line)
      Name = Name && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-');
    if (Name) Names.emplace_back(Line);
  }
  return Names;
}

std::array<bool, kAppCount> InstalledApps(const std::vector<std::string>& Names) {
  std::array<bool, kAppCount> Installed{};
  for (const auto& b : kAppButtons)
    for (const auto& n : Names)
      if (SelectorMatches(b.selector, n)) {
        Installed[size_t(b.tag)] = true;
        break;
      }
  return Installed;
}

}  // namespace cb
