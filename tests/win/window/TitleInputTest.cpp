// The title bar under the pointer: hover, press and release of the title
// buttons with the capture, double clicks and the system menu, driven by
// real pointer input over the border window.
#include "WindowFixture.h"

namespace {

using namespace cb;
using namespace cb::test;

struct TTitleScene : TSkinnedScene {
  TLog Log;
  TFrameForm F{bsSingle, biSystemMenu | biMinimize, L"Clearbay"};
  TsSkinProvider* P = nullptr;
  TTitleScene() {
    ShowAndSettle(F);
    P = ProviderOf(F);
    if (P) RecordFrame(&F, Log);
  }
  ~TTitleScene() { F.RemoveWindowHook(0xF0F0); }
  POINT At(const RECT& ImageRect) { return ImageToScreen(*P, CentreOf(ImageRect)); }
  void MoveTo(POINT Pt) {
    MovePointer(Pt.x, Pt.y);
    Pump(60);
  }
  int HotCount() {
    int N = 0;
    for (const TsCaptionButton* B : {&P->Frame->ButtonClose, &P->Frame->ButtonMax, &P->Frame->ButtonMin, &P->Frame->ButtonHelp})
      N += B->cpState == 1;
    return N;
  }
};

TEST(TitleInput, PressAndReleaseOnCloseSendsCloseOnceAfterTheCaptureEnds) {
  TTitleScene S;
  ASSERT_TRUE(S.P);
  bool Closing = false;
  S.F.OnClose = [&](TObject*, TCloseAction& A) {
    Closing = true;
    A = caNone;  // the test keeps its form
  };
  S.MoveTo(S.At(S.P->Frame->ButtonClose.cpRect));
  EXPECT_EQ(S.P->Frame->ButtonClose.cpState, 1);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  Pump(60);
  EXPECT_EQ(S.P->Frame->ButtonClose.cpState, 2);
  EXPECT_TRUE(S.P->Frame->biClicked);
  EXPECT_EQ(GetCapture(), S.F.WindowHandle());
  MouseButton(MOUSEEVENTF_LEFTUP);
  Pump(100);
  EXPECT_TRUE(Closing);
  EXPECT_FALSE(S.P->Frame->biClicked);
  EXPECT_NE(GetCapture(), S.F.WindowHandle());
  EXPECT_EQ(S.Log, (TLog{"nclbuttondown", "lbuttonup", "capturechanged", "syscommand close", "close"}));
}

TEST(TitleInput, PressOnCloseDragOffAndReleaseDoesNothing) {
  TTitleScene S;
  ASSERT_TRUE(S.P);
  S.MoveTo(S.At(S.P->Frame->ButtonClose.cpRect));
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  Pump(60);
  RECT CR{};
  GetClientRect(S.F.WindowHandle(), &CR);
  POINT Off = CentreOf(CR);
  ClientToScreen(S.F.WindowHandle(), &Off);
  S.MoveTo(Off);
  EXPECT_EQ(S.P->Frame->ButtonClose.cpState, 0);  // pressed only while over it
  MouseButton(MOUSEEVENTF_LEFTUP);
  Pump(100);
  EXPECT_TRUE(IsWindowVisible(S.F.WindowHandle()));
  EXPECT_FALSE(S.P->Frame->biClicked);
  EXPECT_EQ(S.P->Frame->ButtonClose.cpState, 0);
  EXPECT_NE(GetCapture(), S.F.WindowHandle());
  EXPECT_EQ(S.Log, (TLog{"nclbuttondown", "lbuttonup", "capturechanged"}));
}

TEST(TitleInput, ALostCaptureOrCancelModeEndsThePressWithoutActing) {
  TTitleScene S;
  ASSERT_TRUE(S.P);
  for (int Way = 0; Way < 2; ++Way) {
    SCOPED_TRACE(Way ? "capture lost" : "cancel mode");
    S.Log.clear();
    S.MoveTo(S.At(S.P->Frame->ButtonMin.cpRect));
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    Pump(60);
    ASSERT_EQ(S.P->Frame->ButtonMin.cpState, 2);
    if (Way == 0)
      SendMessageW(S.F.WindowHandle(), WM_CANCELMODE, 0, 0);
    else
      ReleaseCapture();
    Pump(30);
    EXPECT_FALSE(S.P->Frame->biClicked);
    EXPECT_EQ(S.P->Frame->ButtonMin.cpState, 1);  // back to hot: the pointer is still over it
    EXPECT_NE(GetCapture(), S.F.WindowHandle());
    MouseButton(MOUSEEVENTF_LEFTUP);
    Pump(100);
    EXPECT_FALSE(IsIconic(S.F.WindowHandle()));
    for (const std::string& N : S.Log) EXPECT_EQ(N.find("syscommand"), std::string::npos) << N;
  }
}

TEST(TitleInput, HoverFromMinimiseStraightOntoCloseLeavesExactlyOneHot) {
  TTitleScene S;
  ASSERT_TRUE(S.P);
  S.MoveTo(S.At(S.P->Frame->ButtonMin.cpRect));
  EXPECT_EQ(S.P->Frame->ButtonMin.cpState, 1);
  EXPECT_EQ(S.HotCount(), 1);
  S.MoveTo(S.At(S.P->Frame->ButtonClose.cpRect));
  EXPECT_EQ(S.P->Frame->ButtonClose.cpState, 1);
  EXPECT_EQ(S.P->Frame->ButtonMin.cpState, 0);
  EXPECT_EQ(S.HotCount(), 1);
  EXPECT_EQ(S.P->Frame->CurrentHT, HTCLOSE);
  // Leaving the frame returns it to normal once the fades are done.
  RECT CR{};
  GetClientRect(S.F.WindowHandle(), &CR);
  POINT In = CentreOf(CR);
  ClientToScreen(S.F.WindowHandle(), &In);
  S.MoveTo(In);
  EXPECT_TRUE(PumpUntil([&] { return S.HotCount() == 0 && !S.P->Frame->ButtonClose.cpTimer && !S.P->Frame->ButtonMin.cpTimer; }));
}

TEST(TitleInput, PressAndReleaseOnMinimiseMinimisesAndTheBorderWindowGoesAndComesBack) {
  TTitleScene S;
  ASSERT_TRUE(S.P);
  HWND W = S.F.WindowHandle();
  S.MoveTo(S.At(S.P->Frame->ButtonMin.cpRect));
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  Pump(40);
  MouseButton(MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(PumpUntil([&] { return IsIconic(W) != 0; }));
  EXPECT_TRUE(PumpUntil([&] { return !BorderWnd(S.F) || !IsWindowVisible(BorderWnd(S.F)); }));
  ShowWindow(W, SW_RESTORE);
  Pump(100);
  HWND B = BorderWnd(S.F);
  ASSERT_TRUE(B && IsWindowVisible(B));
  EXPECT_NE(std::find(S.Log.begin(), S.Log.end(), "syscommand minimize"), S.Log.end());
  // Nothing of the press is left: the button rests once the pointer is away
  // and is hot again when it comes back.
  EXPECT_FALSE(S.P->Frame->biClicked);
  S.MoveTo(CentreOf(WindowRect(W)));
  EXPECT_EQ(S.P->Frame->ButtonMin.cpState, 0);
  S.MoveTo(S.At(S.P->Frame->ButtonMin.cpRect));
  EXPECT_EQ(S.P->Frame->ButtonMin.cpState, 1);
}

// The closes, minimises, maximises and restores a log holds, in order (a
// press on the caption also starts a move, which moves nothing here).
TLog Commands(const TLog& Log) {
  TLog Out;
  for (const std::string& N : Log)
    if ((N.rfind("syscommand", 0) == 0 && N != "syscommand " + std::to_string(SC_MOVE)) || N == "close")
      Out.push_back(N);
  return Out;
}

TEST(TitleInput, DoubleClicksOnTheCaptionAndTheIcon) {
  TTitleScene S;
  ASSERT_TRUE(S.P);
  TFrameForm About(bsDialog, biSystemMenu, L"关于", 600, 420);
  ShowAndSettle(About);
  TsSkinProvider* PA = ProviderOf(About);
  ASSERT_TRUE(PA);
  TLog AboutLog;
  RecordFrame(&About, AboutLog);
  // The About dialog has no maximise: a double click on its caption does nothing.
  const TacFrameMetrics FA = PA->Frame->Metrics();
  const RECT Before = WindowRect(About.WindowHandle()), *BeforeP = &Before;
  DoubleClick(ImageToScreen(*PA, POINT{FA.Width / 2, FA.T + FA.TH / 2}));
  Pump(100);
  EXPECT_EQ(Commands(AboutLog), TLog{});
  const RECT After = WindowRect(About.WindowHandle());
  EXPECT_TRUE(EqualRect(&After, BeforeP));
  About.RemoveWindowHook(0xF0F0);
  // A double click on the main window's icon closes it.
  S.Log.clear();
  S.F.OnClose = [](TObject*, TCloseAction& A) { A = caNone; };
  // The first click opens the system menu; should the second leave it open, this ends it.
  UINT_PTR T = SetTimer(nullptr, 0, 1500, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  DoubleClick(S.At(S.P->Frame->FIconRect));
  EXPECT_TRUE(PumpUntil([&] { return !Commands(S.Log).empty(); }));
  KillTimer(nullptr, T);
  Pump(60);
  EXPECT_EQ(Commands(S.Log), (TLog{"syscommand close", "close"}));
}

TEST(TitleInput, MaximiseAndRestoreStayUsableAfterEachOtherAndAltSpace) {
  TSkinnedScene Scene;
  TFrameForm F(bsSizeable, biSystemMenu | biMinimize | biMaximize, L"Sizeable", 160, 120);
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  ASSERT_TRUE(P && P->Frame->ButtonMax.Visible);
  HWND W = F.WindowHandle();
  auto MaxButton = [&] { return ImageToScreen(*P, CentreOf(P->Frame->ButtonMax.cpRect)); };
  Click(MaxButton());
  ASSERT_TRUE(PumpUntil([&] { return IsZoomed(W) != 0; }));
  Pump(100);
  // The restore button, where the maximised title has it, is hot under the pointer.
  MovePointer(10, 400);
  Pump(60);
  MovePointer(MaxButton().x, MaxButton().y);
  Pump(60);
  EXPECT_EQ(P->Frame->ButtonMax.cpState, 1);
  EXPECT_EQ(P->Frame->CurrentHT, HTMAXBUTTON);

  // Alt+Space opens the skinned system menu, not the window's own.
  static int Opened, WindowsOwn;
  Opened = WindowsOwn = 0;
  F.AddWindowHook(0xF0F1, [](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_INITMENUPOPUP) ++(HIWORD(M.LParam) ? WindowsOwn : Opened);
    Next(M);
  });
  UINT_PTR T = SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR, DWORD) { EndMenu(); });
  KeyWith(VK_MENU, VK_SPACE);
  EXPECT_TRUE(PumpUntil([&] { return Opened + WindowsOwn > 0; }));
  Pump(300);
  KillTimer(nullptr, T);
  F.RemoveWindowHook(0xF0F1);
  EXPECT_EQ(Opened, 1);
  EXPECT_EQ(WindowsOwn, 0);

  // Restore, then maximise again, both by their button.
  Click(MaxButton());
  ASSERT_TRUE(PumpUntil([&] { return IsZoomed(W) == 0; }));
  Pump(100);
  Click(MaxButton());
  EXPECT_TRUE(PumpUntil([&] { return IsZoomed(W) != 0; }));
  Pump(100);
  ShowWindow(W, SW_RESTORE);
  Pump(60);
}

TEST(TitleInput, TheSystemMenuIsBuiltFromTheWindowsOwnAndOpensFromTheCaption) {
  TTitleScene S;
  ASSERT_TRUE(S.P);
  HMENU Menu = S.P->Frame->BuildSysMenu();
  ASSERT_TRUE(Menu);
  std::vector<std::pair<UINT, bool>> Items;  // id, enabled (separators: id 0, enabled)
  for (int I = 0; I < GetMenuItemCount(Menu); ++I) {
    const UINT Id = GetMenuItemID(Menu, I);
    Items.emplace_back(Id, Id == 0 || !(GetMenuState(Menu, static_cast<UINT>(I), MF_BYPOSITION) & MF_GRAYED));
  }
  DestroyMenu(Menu);
  // bsSingle with minimise: Restore (greyed), Move, Size (greyed), Minimize, separator, Close.
  const std::vector<std::pair<UINT, bool>> Want{{SC_RESTORE, false}, {SC_MOVE, true}, {SC_SIZE, false},
                                                {SC_MINIMIZE, true}, {0, true},       {SC_CLOSE, true}};
  EXPECT_EQ(Items, Want);

  // 0x313 opens it (a plain menu until the skinned painter exists); the timer closes it.
  static bool Seen;
  Seen = false;
  UINT_PTR T = SetTimer(nullptr, 0, 150, [](HWND, UINT, UINT_PTR, DWORD) {
    if (HWND MenuWnd = FindWindowW(L"#32768", nullptr); MenuWnd && IsWindowVisible(MenuWnd)) Seen = true;
    EndMenu();
  });
  SendMessageW(S.F.WindowHandle(), 0x313, 0, 0);
  KillTimer(nullptr, T);
  EXPECT_TRUE(Seen);
  for (const std::string& N : S.Log) EXPECT_EQ(N.find("syscommand"), std::string::npos) << N;
}

}  // namespace
