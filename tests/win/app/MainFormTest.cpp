// The main window as its stored description builds it, and the notice path
// between bulk workers and the window.
#include <gtest/gtest.h>

#include <thread>

#include "Catalogue.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "ui/Threads.h"

using namespace cb;

namespace {

std::wstring Wide(const char16_t* s) { return std::wstring(s, s + std::char_traits<char16_t>::length(s)); }

// A window that is created from its description but never shown, so the
// update check of FormShow does not run.
struct MainForm {
  TForm1* form = nullptr;
  MainForm() { form = new TForm1(Application); }
  ~MainForm() { delete form; }
};

void Pump() {
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
}

}  // namespace

TEST(MainForm, LayoutFollowsTheCatalogue) {
  MainForm m;
  TForm1* f = m.form;
  EXPECT_EQ(std::wstring(f->ClassName()), L"TForm1");
  EXPECT_EQ(f->Caption(), L"Clearbay");
  EXPECT_EQ(f->BorderStyle(), bsSingle);
  EXPECT_EQ(f->BorderIcons(), biSystemMenu | biMinimize);
  EXPECT_EQ(f->Font()->Name(), L"微软雅黑");
  EXPECT_EQ(f->Font()->Height(), -12 * f->CurrentPPI() / 96);
  if (f->CurrentPPI() == 96) {
    EXPECT_EQ(f->ClientWidth(), 412);
    EXPECT_EQ(f->ClientHeight(), 290);
  }
  wchar_t cls[64];
  GetClassNameW(f->Handle(), cls, 64);
  EXPECT_STREQ(cls, L"TForm1");
  auto keys = CatalogueKeys();
  for (const auto& b : kAppButtons) {
    TSpeedButton* btn = f->AppButtons[size_t(b.tag)];
    ASSERT_NE(btn, nullptr) << b.name;
    EXPECT_EQ(btn->Name(), std::wstring(b.name, b.name + strlen(b.name)));
    EXPECT_EQ(btn->Tag(), b.tag);
    EXPECT_EQ(btn->Caption(), Wide(b.caption));
    if (f->CurrentPPI() == 96) {
      EXPECT_EQ(btn->Left(), b.left) << b.name;
      EXPECT_EQ(btn->Top(), b.top) << b.name;
      EXPECT_EQ(btn->Width(), b.width) << b.name;
      EXPECT_EQ(btn->Height(), 22) << b.name;
    }
    EXPECT_TRUE(bool(btn->OnClick)) << b.name;
  }
  ASSERT_NE(f->AppList(), nullptr);
  ASSERT_EQ(f->AppList()->Count(), kAppCount);
  for (int i = 0; i < kAppCount; ++i) EXPECT_EQ((*f->AppList())[i], keys[size_t(i)]);
  EXPECT_EQ(f->btn23->Caption(), L"卸载全部");
  EXPECT_EQ(f->btn24->Caption(), L"安装全部");
  EXPECT_EQ(f->btn25->Caption(), L"关于");
  EXPECT_EQ(f->btn24->Tag(), 999);
  EXPECT_EQ(f->lbl1->Caption(), L"Declutra");
  EXPECT_EQ(f->lbl1->Font()->Name(), L"Segoe Print");
  EXPECT_EQ(f->lbl1->Cursor(), crHandPoint);
  EXPECT_EQ(f->lbl2->Caption(), L"提示");
  EXPECT_TRUE(f->sSlider1->SliderOn());
  ASSERT_NE(f->p1, nullptr);
  ASSERT_NE(f->N1, nullptr);
  EXPECT_EQ(f->p1->Caption(), L"卸载");
  EXPECT_EQ(f->N1->Caption(), L"安装");
  EXPECT_TRUE(bool(f->p1->OnClick));
  EXPECT_TRUE(bool(f->N1->OnClick));
}

TEST(MainForm, NoticeIsShownOnceAndFreed) {
  MainForm m;
  int before = TStrMsgObject::Live();
  // A message box would block the test: answer it from a timer-free thread by
  // closing the first #32770 window that appears.
  std::thread closer([] {
    for (int i = 0; i < 500; ++i) {
      HWND box = FindWindowW(L"#32770", L"提示");
      if (box) {
        wchar_t text[256] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 256);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(10);
    }
  });
  TMessage msg{WM_USER, 0, reinterpret_cast<LPARAM>(new TStrMsgObject(L"全部卸载完成！")), 0};
  m.form->Perform(msg.Msg, msg.WParam, msg.LParam);
  closer.join();
  EXPECT_EQ(TStrMsgObject::Live(), before);
}

TEST(MainForm, NoticesQueuedForAClosingWindowAreFreedNotLost) {
  int before = TStrMsgObject::Live();
  std::shared_ptr<TWindowLink> link;
  {
    MainForm m;
    link = m.form->Link();
    HWND wnd = m.form->Handle();
    // Two notices wait in the queue when the window goes.
    for (int i = 0; i < 2; ++i)
      PostMessageW(wnd, WM_USER, 0, reinterpret_cast<LPARAM>(new TStrMsgObject(L"x")));
    EXPECT_EQ(TStrMsgObject::Live(), before + 2);
  }
  EXPECT_EQ(TStrMsgObject::Live(), before);
  // A worker that finishes after the window has gone posts nothing.
  link->PostNotice(std::make_unique<TStrMsgObject>(L"late"));
  link->SetCursor(crHourGlass);
  Pump();
  EXPECT_EQ(TStrMsgObject::Live(), before);
}
