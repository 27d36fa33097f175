// The main window as its stored description builds it, and the notice path
// between bulk workers and the window.
#include <gtest/gtest.h>

#include <cwchar>
#include <tuple>

#include "../ui/UiTestUtil.h"
#include "Catalogue.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "ui/Threads.h"
#include "uBusy.h"

#include <thread>

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

// Counts the dialog boxes the GUI thread creates and keeps the caption of the
// last one; the box watcher answers them from its own thread.
struct TBoxCounter {
  static inline int Count = 0;
  static inline std::wstring Caption;
  HHOOK Hook = nullptr;
  TBoxCounter() {
    Count = 0;
    Caption.clear();
    Hook = SetWindowsHookExW(WH_CBT, &TBoxCounter::Proc, nullptr, GetCurrentThreadId());
  }
  ~TBoxCounter() { UnhookWindowsHookEx(Hook); }
  static LRESULT CALLBACK Proc(int Code, WPARAM W, LPARAM L) {
    if (Code == HCBT_CREATEWND || Code == HCBT_ACTIVATE) {
      HWND wnd = reinterpret_cast<HWND>(W);
      wchar_t cls[16] = {};
      GetClassNameW(wnd, cls, 16);
      if (std::wcscmp(cls, L"#32770") == 0) {
        // A message box gets its caption after it is created.
        if (Code == HCBT_CREATEWND) {
          ++Count;
        } else {
          wchar_t text[64] = {};
          GetWindowTextW(wnd, text, 64);
          Caption = text;
        }
      }
    }
    return CallNextHookEx(nullptr, Code, W, L);
  }
};

// Left, Top, Width, Height.
using Box = std::tuple<int, int, int, int>;
Box Bounds(const TControl* c) { return {c->Left(), c->Top(), c->Width(), c->Height()}; }
// Labels size themselves to their captions in whatever font the system
// substitutes, so only where they sit is fixed.
using Place = std::pair<int, int>;
Place At(const TControl* c) { return {c->Left(), c->Top()}; }

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
  // WParam 0 and 1 both give the object's text; any other value an empty one.
  const std::pair<WPARAM, const wchar_t*> kCases[] = {{0, L"全部卸载完成！"}, {1, L"全部卸载完成！"}, {2, L""}};
  for (auto [wparam, expected] : kCases) {
    SCOPED_TRACE(wparam);
    int before = TStrMsgObject::Live();
    TBoxCounter boxes;
    TBoxWatcher watcher;
    watcher.Start();
    m.form->Perform(WM_USER, wparam, reinterpret_cast<LPARAM>(new TStrMsgObject(L"全部卸载完成！")));
    watcher.Join();
    EXPECT_TRUE(watcher.Seen);
    EXPECT_EQ(watcher.Text, expected);
    EXPECT_EQ(boxes.Count, 1);
    EXPECT_EQ(boxes.Caption, L"提示");
    EXPECT_EQ(TStrMsgObject::Live(), before);
  }
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
  link->SetBusy(true);
  Pump();
  EXPECT_EQ(TStrMsgObject::Live(), before);
}

// Every control of the three windows where the layout tables put it (96 DPI).
TEST(Layout, EveryControlOfTheThreeWindows) {
  struct AppButton {
    const char* name;
    int left, top, width;
  };
  static const AppButton kButtons[] = {
      {"btn1", 17, 8, 66},    {"btn34", 109, 231, 87}, {"btn9", 155, 8, 66},    {"btn13", 225, 8, 66},
      {"btn7", 203, 231, 87}, {"btn21", 88, 36, 66},   {"btn18", 17, 175, 87},  {"btn8", 225, 36, 66},
      {"btn11", 17, 64, 66},  {"btn16", 88, 64, 66},   {"btn15", 155, 64, 66},  {"btn22", 225, 64, 66},
      {"btn2", 17, 119, 87},  {"btn10", 109, 119, 87}, {"btn3", 203, 119, 87},  {"btn6", 17, 147, 87},
      {"btn19", 109, 147, 87}, {"btn14", 203, 147, 87}, {"btn5", 88, 8, 63},    {"btn4", 109, 175, 87},
      {"btn12", 203, 175, 87}, {"btn17", 17, 203, 87}, {"btn28", 225, 92, 65},  {"btn26", 17, 231, 87},
      {"btn35", 155, 36, 66}, {"btn27", 17, 36, 66},   {"btn29", 109, 203, 87}, {"btn30", 155, 92, 66},
      {"btn31", 17, 92, 66},  {"btn32", 87, 92, 66},   {"btn33", 203, 203, 87}, {"btn36", 17, 259, 132},
      {"btn37", 155, 259, 135}};
  MainForm m;
  TForm1* f = m.form;
  if (f->CurrentPPI() != 96) GTEST_SKIP() << "the tables are for 96 DPI";
  EXPECT_EQ(f->ClientWidth(), 412);
  EXPECT_EQ(f->ClientHeight(), 290);
  ASSERT_EQ(std::size(kButtons), f->AppButtons.size());
  for (size_t tag = 0; tag < std::size(kButtons); ++tag) {
    const AppButton& b = kButtons[tag];
    TSpeedButton* btn = f->AppButtons[tag];
    ASSERT_NE(btn, nullptr) << tag;
    EXPECT_EQ(btn->Name(), std::wstring(b.name, b.name + strlen(b.name))) << tag;
    EXPECT_EQ(Bounds(btn), Box(b.left, b.top, b.width, 22)) << b.name;
  }
  EXPECT_EQ(Bounds(f->btn23), Box(308, 36, 85, 22));
  EXPECT_EQ(Bounds(f->btn24), Box(308, 64, 85, 22));
  EXPECT_EQ(Bounds(f->btn25), Box(308, 203, 85, 22));
  EXPECT_EQ(At(f->lbl1), Place(318, 260));
  EXPECT_EQ(At(f->lbl2), Place(320, 176));
  EXPECT_EQ(Bounds(f->sSlider1), Box(347, 176, 33, 15));

  std::unique_ptr<TForm2> about(new TForm2(Application));
  EXPECT_EQ(about->ClientWidth(), 301);
  EXPECT_EQ(about->ClientHeight(), 119);
  EXPECT_EQ(At(about->lbl1), Place(20, 24));
  EXPECT_EQ(At(about->lbl2), Place(136, 56));
  EXPECT_EQ(Bounds(about->btn2), Box(20, 86, 61, 22));
  EXPECT_EQ(Bounds(about->btn1), Box(202, 86, 75, 25));

  std::unique_ptr<TfrmVer> ver(new TfrmVer(nullptr));
  EXPECT_EQ(ver->ClientWidth(), 270);
  EXPECT_EQ(ver->ClientHeight(), 113);
  EXPECT_EQ(At(ver->lbl1), Place(24, 16));
  EXPECT_EQ(At(ver->lbl2), Place(24, 52));
  EXPECT_EQ(Bounds(ver->btn1), Box(175, 79, 75, 25));
}

// While the GUI thread waits for a run, the window answers (a message sent
// from another thread is handled), a click on a control is dropped rather
// than acted on later, and a close request is held and made again at the end.
TEST(BusyWindow, AnswersDropsClicksAndHoldsTheCloseRequest) {
  MainForm m;
  HWND wnd = m.form->Handle();
  HWND slider = m.form->sSlider1->Handle();
  const bool on = m.form->sSlider1->SliderOn();
  RECT r;
  GetClientRect(slider, &r);
  const LPARAM centre = MAKELPARAM(r.right / 2, r.bottom / 2);
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  bool answered = false, closeAnswered = false;
  std::thread outside([&] {
    PostMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageW(slider, WM_LBUTTONUP, 0, centre);
    DWORD_PTR result = 1;
    answered = SendMessageTimeoutW(wnd, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result) != 0;
    closeAnswered = SendMessageTimeoutW(wnd, WM_CLOSE, 0, 0, SMTO_NORMAL, 2000, &result) != 0;
    Sleep(100);
    SetEvent(done);
  });
  {
    TBusyWindow busy(m.form);
    EXPECT_TRUE(busy.Wait(done, 10000));
    EXPECT_TRUE(busy.CloseHeld());
    EXPECT_TRUE(IsWindow(wnd)) << "the close request went through during the wait";
  }
  outside.join();
  CloseHandle(done);
  EXPECT_TRUE(answered);
  EXPECT_TRUE(closeAnswered);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, wnd, WM_CLOSE, WM_CLOSE, PM_REMOVE)) << "the held close request was not made again";
  Pump();
  EXPECT_EQ(m.form->sSlider1->SliderOn(), on) << "a click made during the wait was acted on";
  // A wait that nothing ends gives up at its limit.
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    TBusyWindow busy(m.form);
    EXPECT_FALSE(busy.Wait(never, 200));
    EXPECT_FALSE(busy.CloseHeld());
  }
  CloseHandle(never);
}
