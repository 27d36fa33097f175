// Popup menus and timers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiTestUtil.h"
#include "ui/ExtCtrls.h"
#include "ui/Menus.h"

namespace {

std::vector<UINT> gKeys;

// Types keys into the menu window once it is open (runs inside the menu loop).
void CALLBACK MenuKeys(HWND, UINT, UINT_PTR Id, DWORD) {
  HWND Menu = FindWindowW(L"#32768", nullptr);
  if (!Menu || !IsWindowVisible(Menu)) return;
  KillTimer(nullptr, Id);
  for (UINT K : gKeys) {
    PostMessageW(Menu, WM_KEYDOWN, K, 0);
    PostMessageW(Menu, WM_KEYUP, K, 0xC0000000);
  }
}

struct TMenuFixture : ::testing::Test {
  TComponent Root{nullptr};
  TPopupMenu* Menu = new TPopupMenu(&Root);
  TMenuItem* Uninstall = new TMenuItem(&Root);
  TMenuItem* Install = new TMenuItem(&Root);
  std::vector<std::wstring> Log;
  void SetUp() override {
    Uninstall->SetCaption(L"Uninstall");
    Install->SetCaption(L"Install");
    Menu->Items()->Add(Uninstall);
    Menu->Items()->Add(Install);
    Uninstall->OnClick = [this](TObject*) { Log.push_back(L"uninstall"); };
    Install->OnClick = [this](TObject*) { Log.push_back(L"install"); };
  }
  void PopupWithKeys(std::vector<UINT> Keys) {
    gKeys = std::move(Keys);
    SetTimer(nullptr, 0, 20, MenuKeys);
    Menu->Popup(200, 200);
    Log.push_back(L"returned");
  }
};

TEST_F(TMenuFixture, ChosenItemRunsAfterPopupReturns) {
  PopupWithKeys({VK_DOWN, VK_DOWN, VK_RETURN});
  ASSERT_TRUE(PumpUntil([&] { return Log.size() == 2; }));
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"returned", L"install"}));
}

TEST_F(TMenuFixture, DismissedMenuRunsNothing) {
  PopupWithKeys({VK_ESCAPE, VK_ESCAPE});
  Pump(100);
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"returned"}));
}

TEST_F(TMenuFixture, ItemFreedBeforeItsCommandArrivesIsNotCalled) {
  // The same keys choose "Install" when nothing is freed: the menu did open
  // and a command was on its way.
  PopupWithKeys({VK_DOWN, VK_DOWN, VK_RETURN});
  ASSERT_TRUE(PumpUntil([&] { return Log.size() == 2; }));
  ASSERT_EQ(Log.back(), L"install");
  Log.clear();
  PopupWithKeys({VK_DOWN, VK_DOWN, VK_RETURN});
  delete Install;  // its command is already posted
  Pump(100);
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"returned"}));
}

TEST_F(TMenuFixture, OwnerDrawnItemsAreMeasuredAndDrawnByTheirHooks) {
  Menu->SetOwnerDraw(true);
  int Measured = 0, Drawn = 0;
  for (TMenuItem* I : {Uninstall, Install}) {
    I->OnMeasureItem = [&](TObject*, TCanvas* C, int& W, int& H) {
      ++Measured;
      EXPECT_NE(C->Handle(), nullptr);
      W = 120;
      H = 30;
    };
    I->OnAdvancedDrawItem = [&](TObject*, TCanvas* C, const TRect& R, TOwnerDrawState) {
      ++Drawn;
      EXPECT_EQ(R.Height(), 30);
      C->Brush()->SetColor(clWhite);
      C->FillRect(R);
    };
  }
  PopupWithKeys({VK_DOWN, VK_RETURN});
  ASSERT_TRUE(PumpUntil([&] { return Log.size() == 2; }));
  EXPECT_EQ(Measured, 2);
  EXPECT_GE(Drawn, 2);
  EXPECT_EQ(Log.back(), L"uninstall");
}

TEST(Timers, TimerFiresWhileEnabledOnly) {
  TTimer T(nullptr);
  int Ticks = 0;
  T.SetInterval(15);
  T.OnTimer = [&](TObject*) { ++Ticks; };
  ASSERT_TRUE(PumpUntil([&] { return Ticks >= 2; }));
  T.SetEnabled(false);
  Pump(30);
  int After = Ticks;
  Pump(80);
  EXPECT_EQ(Ticks, After);
}

}  // namespace
