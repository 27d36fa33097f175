// A whole run of the message loop: the main form's OnShow before any input,
// and closing the main form ending the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Forms.h"

namespace {

class TMainForm : public TForm {
  CB_CLASS(TMainForm, TForm)
public:
  using TForm::TForm;
  std::vector<std::wstring>* Log = nullptr;
  // Whether the application already had a main form when this window was made.
  bool MainFormWhenCreated = true;

protected:
  void CreateWnd() override {
    MainFormWhenCreated = Application->MainForm() != nullptr;
    TForm::CreateWnd();
  }
  void WndProc(TMessage& M) override {
    if (M.Msg == WM_USER) {
      Log->push_back(L"input");
      Close();
      // The run ends first; the window goes at shutdown.
      Log->push_back(IsWindowVisible(FHandle) ? L"still shown" : L"hidden at once");
      return;
    }
    TForm::WndProc(M);
  }
};

TEST(Run, OnShowOfTheMainFormRunsBeforeQueuedInputAndClosingItEndsTheRun) {
  std::vector<std::wstring> Log;
  Application->Initialize();
  Application->SetMainFormOnTaskBar(true);
  TMainForm* Main = nullptr;
  Application->CreateForm(Main);
  Main->Log = &Log;
  ASSERT_EQ(Application->MainForm(), Main);
  EXPECT_TRUE(Main->HandleAllocated());
  EXPECT_FALSE(Main->MainFormWhenCreated) << "the window is made before the form is the main form";
  PostMessageW(Main->Handle(), WM_USER, 0, 0);  // waiting before the loop starts
  Main->OnShow = [&](TObject*) { Log.push_back(L"show"); };
  Main->OnClose = [&](TObject*, TCloseAction&) { Log.push_back(L"close"); };
  Application->Run();
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"show", L"input", L"close", L"still shown"}));
  EXPECT_TRUE(Application->Terminated());
  EXPECT_FALSE(IsWindowVisible(Main->Handle()));
  EXPECT_TRUE(GetWindowLongPtrW(Main->Handle(), GWL_EXSTYLE) & WS_EX_APPWINDOW);

  // A second form belongs to the main form's window.
  TForm* Second = nullptr;
  Application->CreateForm(Second);
  EXPECT_EQ(GetWindow(Second->Handle(), GW_OWNER), Main->Handle());

  // Terminate inside OnShow: the loop handles nothing more.
  Log.clear();
  PostMessageW(Main->Handle(), WM_USER, 0, 0);
  Main->OnShow = [&](TObject*) {
    Log.push_back(L"show");
    Application->Terminate();
  };
  Application->Run();
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"show"}));
  EXPECT_FALSE(IsWindowVisible(Main->Handle())) << "no flash of a window that is already ending";

  // An error in OnShow is reported, not thrown out of the loop.
  Log.clear();
  Main->OnShow = [&](TObject*) { throw EClearbayError("show failed"); };
  Application->OnException = [&](TObject*, const std::wstring& Text) {
    Log.push_back(Text);
    Application->Terminate();
  };
  EXPECT_NO_THROW(Application->Run());
  Application->OnException = nullptr;
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"show failed"}));

  // Freeing the main form clears it.
  delete Main;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

}  // namespace
