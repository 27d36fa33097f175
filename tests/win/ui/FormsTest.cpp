// Forms: window classes, styles, modal loops, close actions, the application
// window and error handling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiTestUtil.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"
#include "ui/UiText.h"

namespace {

class TFormA : public TForm {
  CB_CLASS(TFormA, TForm)
public:
  explicit TFormA(TComponent* AOwner) : TForm(AOwner) {
    SetClientWidth(412);
    SetClientHeight(290);
  }
  bool* DestroyedFlag = nullptr;
  ~TFormA() override {
    if (DestroyedFlag) *DestroyedFlag = true;
  }

protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == WM_APP + 9) throw EClearbayError("handler failed: \u00e9");
    TForm::WndProc(M);
  }
};

HHOOK gHook = nullptr;
std::vector<std::pair<std::wstring, bool>> gCreations;

LRESULT CALLBACK TestCbtHook(int Code, WPARAM W, LPARAM L) {
  if (Code == HCBT_CREATEWND) {
    auto* CW = reinterpret_cast<CBT_CREATEWNDW*>(L);
    wchar_t Cls[64] = {};
    GetClassNameW(reinterpret_cast<HWND>(W), Cls, 64);
    TCustomForm* F = Screen->FormOfHandle(reinterpret_cast<HWND>(W));
    bool Known = F && F == TWinControl::CreatingControl() && CW->lpcs->lpCreateParams == F;
    gCreations.emplace_back(Cls, Known);
  }
  return CallNextHookEx(gHook, Code, W, L);
}

TEST(Forms, WindowClassIsTheFormClassAndHooksSeeTheFormWhileItIsCreated) {
  gCreations.clear();
  gHook = SetWindowsHookExW(WH_CBT, TestCbtHook, nullptr, GetCurrentThreadId());
  TFormA F(nullptr);
  HWND W = F.Handle();
  UnhookWindowsHookEx(gHook);
  wchar_t Cls[64] = {};
  GetClassNameW(W, Cls, 64);
  EXPECT_STREQ(Cls, L"TFormA");
  ASSERT_FALSE(gCreations.empty());
  EXPECT_EQ(gCreations.front().first, L"TFormA");
  EXPECT_TRUE(gCreations.front().second) << "a later creation hook must find the form by its window";
  EXPECT_EQ(Screen->FormOfHandle(W), &F);
  EXPECT_EQ(TWinControl::FindControl(W), &F);
}

TEST(Forms, BorderStyleAndIconsGiveTheWindowItsStyle) {
  TFormA F(nullptr);
  F.SetBorderStyle(bsSingle);
  F.SetBorderIcons(biSystemMenu | biMinimize);
  LONG_PTR S = GetWindowLongPtrW(F.Handle(), GWL_STYLE);
  EXPECT_TRUE(S & WS_CAPTION);
  EXPECT_TRUE(S & WS_SYSMENU);
  EXPECT_TRUE(S & WS_MINIMIZEBOX);
  EXPECT_FALSE(S & WS_MAXIMIZEBOX);
  EXPECT_FALSE(S & WS_THICKFRAME) << "cannot be resized";
  RECT R;
  GetClientRect(F.Handle(), &R);
  EXPECT_EQ(R.right, 412);
  EXPECT_EQ(R.bottom, 290);

  HWND Old = F.Handle();
  F.SetBorderStyle(bsDialog);  // recreates the window
  EXPECT_NE(F.Handle(), Old);
  EXPECT_TRUE(GetWindowLongPtrW(F.Handle(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(GetWindowLongPtrW(F.Handle(), GWL_STYLE) & WS_MINIMIZEBOX);
  GetClientRect(F.Handle(), &R);
  EXPECT_EQ(R.right, 412) << "client size survives the new border";

  F.SetBorderIcons(0);
  EXPECT_FALSE(GetWindowLongPtrW(F.Handle(), GWL_STYLE) & WS_SYSMENU);
}

TEST(Forms, ANewBorderKeepsAShownFormShownInPlace) {
  TFormA F(nullptr);
  F.SetBorderStyle(bsSingle);
  F.SetPosition(poDesigned);
  F.SetBounds(120, 130, 300, 200);
  F.Show();
  RECT Before;
  GetWindowRect(F.Handle(), &Before);
  F.SetBorderStyle(bsSizeable);
  EXPECT_TRUE(IsWindowVisible(F.Handle()));
  RECT After;
  GetWindowRect(F.Handle(), &After);
  EXPECT_EQ(After.left, Before.left);
  EXPECT_EQ(After.top, Before.top);
  F.Hide();
}

TEST(Forms, EnterPressesTheDefaultButtonAndEscapeTheCancelButton) {
  TFormA F(nullptr);
  auto* Ok = new TButton(&F);
  Ok->SetParent(&F);
  Ok->SetDefault(true);
  Ok->SetModalResult(mrOk);
  auto* Cancel = new TButton(&F);
  Cancel->SetParent(&F);
  Cancel->SetLeft(100);
  Cancel->SetCancel(true);
  Cancel->SetModalResult(mrCancel);
  auto* Box = new TCheckBox(&F);
  Box->SetParent(&F);
  Box->SetTop(50);
  int OkClicks = 0, CancelClicks = 0;
  Ok->OnClick = [&](TObject*) { ++OkClicks; };
  Cancel->OnClick = [&](TObject*) { ++CancelClicks; };
  TTimer T(nullptr);
  T.SetInterval(30);
  int Step = 0;
  // Once the box is shown: the key, pressed with the check box focused.
  auto PressOnBox = [&](WPARAM Key) {
    Step = 0;
    T.OnTimer = [&, Key](TObject*) {
      if (!F.Visible() || ++Step > 1) return;
      Box->SetFocus();
      PostMessageW(Box->Handle(), WM_KEYDOWN, Key, 0);
      PostMessageW(Box->Handle(), WM_KEYUP, Key, 0xC0000000);
    };
  };
  PressOnBox(VK_RETURN);
  EXPECT_EQ(F.ShowModal(), mrOk);
  EXPECT_EQ(OkClicks, 1);
  EXPECT_FALSE(Box->Checked()) << "Enter is not a click on the focused check box";
  PressOnBox(VK_ESCAPE);
  EXPECT_EQ(F.ShowModal(), mrCancel);
  EXPECT_EQ(CancelClicks, 1);
  EXPECT_EQ(OkClicks, 1);
}

TEST(Forms, ScreenCenterPlacesTheWindowInTheMiddleOfTheWorkArea) {
  TFormA F(nullptr);
  F.SetBorderStyle(bsSingle);
  F.SetPosition(poScreenCenter);
  F.Show();
  RECT R;
  GetWindowRect(F.Handle(), &R);
  TRect Work = Screen->WorkAreaRect();
  EXPECT_NEAR((R.left + R.right) / 2, (Work.Left + Work.Right) / 2, 1);
  EXPECT_NEAR((R.top + R.bottom) / 2, (Work.Top + Work.Bottom) / 2, 1);
  F.Hide();
}

TEST(Forms, OnShowRunsBeforeTheWindowIsVisible) {
  TFormA F(nullptr);
  bool VisibleInShow = true;
  int Shows = 0;
  F.OnShow = [&](TObject*) {
    ++Shows;
    VisibleInShow = IsWindowVisible(F.Handle()) != 0;
  };
  F.Show();
  EXPECT_EQ(Shows, 1);
  EXPECT_FALSE(VisibleInShow);
  EXPECT_TRUE(IsWindowVisible(F.Handle()));
  F.Show();
  EXPECT_EQ(Shows, 1) << "already shown";
  F.Hide();
  EXPECT_FALSE(IsWindowVisible(F.Handle()));
}

TEST(Forms, ShowModalDisablesOtherWindowsUntilModalResultIsSet) {
  TFormA Owner(nullptr);
  Owner.Show();
  TFormA Dialog(nullptr);
  bool OwnerEnabledDuring = true;
  TTimer T(nullptr);
  T.SetInterval(30);
  T.OnTimer = [&](TObject*) {
    T.SetEnabled(false);
    OwnerEnabledDuring = IsWindowEnabled(Owner.Handle()) != 0;
    EXPECT_TRUE(Dialog.Modal());
    Dialog.SetModalResult(mrOk);
  };
  EXPECT_EQ(Dialog.ShowModal(), mrOk);
  EXPECT_FALSE(OwnerEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(Owner.Handle()));
  EXPECT_FALSE(Dialog.Visible());
  EXPECT_FALSE(Dialog.Modal());
  Owner.Hide();
}

TEST(Forms, CloseOnAModalFormCancelsUnlessOnCloseRefuses) {
  TFormA Dialog(nullptr);
  int Closes = 0;
  Dialog.OnClose = [&](TObject*, TCloseAction& A) {
    // The first attempt is refused, the second accepted.
    if (++Closes == 1) A = caNone;
  };
  TTimer T(nullptr);
  T.SetInterval(20);
  T.OnTimer = [&](TObject*) {
    if (Dialog.Visible()) PostMessageW(Dialog.Handle(), WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(Dialog.ShowModal(), mrCancel);
  EXPECT_EQ(Closes, 2);
}

TEST(Forms, CloseActionsHideMinimiseOrFree) {
  {
    TFormA F(nullptr);
    F.Show();
    F.Close();  // caHide by default
    EXPECT_FALSE(IsWindowVisible(F.Handle()));
    F.Show();
    F.OnClose = [](TObject*, TCloseAction& A) { A = caMinimize; };
    F.Close();
    EXPECT_TRUE(IsIconic(F.Handle()));
    F.OnClose = [](TObject*, TCloseAction& A) { A = caNone; };
    F.OnCloseQuery = [](TObject*, bool& Can) { Can = false; };
    F.Close();
    EXPECT_TRUE(IsWindowVisible(F.Handle()));
  }
  bool Destroyed = false;
  auto* F = new TFormA(nullptr);
  F->DestroyedFlag = &Destroyed;
  F->Show();
  int Count = Screen->FormCount();
  F->OnClose = [](TObject*, TCloseAction& A) { A = caFree; };
  PostMessageW(F->Handle(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return Destroyed; })) << "caFree frees the form after its messages";
  EXPECT_EQ(Screen->FormCount(), Count - 1);
}

TEST(Application, HooksSeeTheApplicationWindowsMessagesFirstNewestFirst) {
  HWND App = Application->Handle();
  ASSERT_NE(App, nullptr);
  wchar_t Cls[64] = {};
  GetClassNameW(App, Cls, 64);
  EXPECT_STREQ(Cls, L"TApplication");
  std::vector<int> Order;
  int Old = Application->HookMainWindow([&](TMessage& M) {
    if (M.Msg == WM_APP + 3) Order.push_back(1);
    return false;
  });
  int New = Application->HookMainWindow([&](TMessage& M) {
    if (M.Msg != WM_APP + 3) return false;
    Order.push_back(2);
    M.Result = 77;
    return M.WParam == 1;  // handled: nobody after it sees the message
  });
  EXPECT_EQ(SendMessageW(App, WM_APP + 3, 0, 0), 0);
  EXPECT_EQ(Order, (std::vector<int>{2, 1}));
  Order.clear();
  EXPECT_EQ(SendMessageW(App, WM_APP + 3, 1, 0), 77);
  EXPECT_EQ(Order, (std::vector<int>{2}));
  Application->UnhookMainWindow(New);
  Application->UnhookMainWindow(Old);
  Order.clear();
  SendMessageW(App, WM_APP + 3, 1, 0);
  EXPECT_TRUE(Order.empty());
}

TEST(Application, ErrorsEscapingAHandlerAreShownNotPropagated) {
  TFormA F(nullptr);
  F.Show();
  std::wstring Seen;
  TObject* Sender = nullptr;
  Application->OnException = [&](TObject* S, const std::wstring& Text) {
    Sender = S;
    Seen = Text;
  };
  SendMessageW(F.Handle(), WM_APP + 9, 0, 0);
  Application->OnException = nullptr;
  EXPECT_EQ(Seen, L"handler failed: \u00e9");
  EXPECT_EQ(Sender, &F);

  // Without a handler of its own the application shows the text in a box
  // owned by the active window.
  SetForegroundWindow(F.Handle());
  SetActiveWindow(F.Handle());
  TBoxWatcher Box;
  Box.Start();
  SendMessageW(F.Handle(), WM_APP + 9, 0, 0);
  Box.Join();
  EXPECT_TRUE(Box.Seen);
  EXPECT_EQ(Box.Text, L"handler failed: \u00e9");
  EXPECT_EQ(Box.Owner, F.Handle());
  F.Hide();
}

TEST(Application, MessageBoxIsOwnedByTheActiveWindowAndReturnsTheAnswer) {
  TFormA F(nullptr);
  F.Show();
  SetActiveWindow(F.Handle());
  TBoxWatcher Box;
  Box.Start();
  int R = Application->MessageBox(L"body text", L"caption", MB_OK | MB_ICONINFORMATION);
  Box.Join();
  EXPECT_EQ(R, IDOK);
  EXPECT_EQ(Box.Text, L"body text");
  EXPECT_EQ(Box.Owner, F.Handle());
  F.Hide();
}

}  // namespace
