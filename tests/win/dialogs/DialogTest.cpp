// Message boxes under the skin: what the dialog wrapper does to the box as
// it comes, is shown, loses and regains activation and is closed from its
// title bar; which boxes the creation hook takes; what the box shows.
#include "DialogFixture.h"

#include "acAnimations.h"
#include "skin/binding/sSkinText.h"

#include "../controls/ControlsFixture.h"

#include "tests/support/ResourceCounts.h"

#include <atomic>
#include <thread>

namespace {

using namespace cb;
using namespace cb::test;

TLog* gBoxLog = nullptr;

std::string BoxMessageName(const TMessage& M) {
  switch (M.Msg) {
    case WM_ERASEBKGND: return "erase";
    case WM_NCPAINT: return "ncpaint";
    case WM_NCACTIVATE: return M.WParam ? "ncactivate 1" : "ncactivate 0";
    case WM_NCLBUTTONDOWN: return "nclbuttondown";
    case WM_NCLBUTTONUP: return "nclbuttonup";
    case WM_LBUTTONUP: return "lbuttonup";
    case WM_SYSCOMMAND: return (M.WParam & 0xFFF0) == SC_CLOSE ? "syscommand close" : "";
    case WM_COMMAND: return "command " + std::to_string(LOWORD(M.WParam));
    case WM_NCDESTROY: return "ncdestroy";
    default: return {};
  }
}

// Runs after the skin's hook: records whether the box was taken, then records
// from the top of its chain what it receives and when its children get wrapped.
LRESULT CALLBACK RecordingHook(int Code, WPARAM WParam, LPARAM LParam) {
  const LRESULT R = CallNextHookEx(nullptr, Code, WParam, LParam);
  if (Code != HCBT_CREATEWND || !gBoxLog) return R;
  const auto* CW = reinterpret_cast<const CBT_CREATEWNDW*>(LParam);
  if (reinterpret_cast<std::uintptr_t>(CW->lpcs->lpszClass) != 0x8002) return R;
  HWND Box = reinterpret_cast<HWND>(WParam);
  gBoxLog->push_back(DialogOf(Box) ? "attached" : "not attached");
  AddForeignHook(Box, 0xB0C5, [Box](TMessage& M, const TWindowHookNext& Next) {
    const int Before = M.Msg == WM_NCDESTROY ? 0 : WrappedChildren(Box);
    Next(M);
    const std::string N = BoxMessageName(M);
    if (!N.empty()) gBoxLog->push_back(N);
    if (M.Msg != WM_NCDESTROY && WrappedChildren(Box) != Before)
      gBoxLog->push_back("children wrapped " + std::to_string(WrappedChildren(Box)));
  });
  return R;
}

// The log without the entries that come as often as the system repaints.
TLog Steps(const TLog& Log) {
  TLog Out;
  for (const auto& E : Log)
    if (E != "erase" && E != "ncpaint") Out.push_back(E);
  return Out;
}

POINT ScreenOf(TacDialogWnd& D, const RECT& ImageRect) {
  const POINT Origin = D.Frame->ScreenToImage(POINT{0, 0});
  const POINT C = CentreOf(ImageRect);
  return POINT{C.x - Origin.x, C.y - Origin.y};
}

struct TBoxScene : TSkinnedScene {
  TFrameForm F{bsSingle, biSystemMenu | biMinimize, L"Clearbay", 120, 100};
  TBoxScene() { ShowAndSettle(F); }
};

TEST(DialogWrapper, TakesTheBoxWrapsItsChildrenFollowsActivationAndClosesItFromTheTitleAsItsOnlyButton) {
  TBoxScene S;
  TLog Log;
  gBoxLog = &Log;
  HHOOK H = SetWindowsHookExW(WH_CBT, RecordingHook, nullptr, GetCurrentThreadId());
  Application->SetMessageButtonCaption(IDOK, L"确定");
  bool Shadowed = false, ClosedInactive = false;
  std::wstring Button;

  const int Result = WithBox(L"计算器 卸载完成！", L"提示", MB_OK | MB_ICONINFORMATION, [&](HWND Box) {
    TacDialogWnd* D = DialogOf(Box);
    if (!D) return EndDialog(Box, 0), void();
    Pump(100);
    wchar_t Text[32] = {};
    GetDlgItemTextW(Box, IDOK, Text, 31);
    Button = Text;
    Shadowed = D->BorderForm && D->BorderForm->Handle() && IsWindowVisible(D->BorderForm->Handle());
    Log.push_back("-- away");
    SetForegroundWindow(S.F.WindowHandle());
    Pump(100);
    ClosedInactive = !D->Frame->FormActive;
    Log.push_back("-- back");
    SetForegroundWindow(Box);
    Pump(100);
    Log.push_back("-- close");
    Click(ScreenOf(*D, D->Frame->ButtonClose.cpRect));
    Pump(150);
  });
  UnhookWindowsHookEx(H);
  gBoxLog = nullptr;
  EXPECT_EQ(Result, IDOK);
  EXPECT_EQ(Button, L"确定");  // the program's word, not the system's
  EXPECT_TRUE(Shadowed);
  EXPECT_TRUE(ClosedInactive);
  // Taken as it is made, children wrapped when it is first drawn, the close
  // button's release standing for the box's only button.
  EXPECT_TRUE(InOrder(Steps(Log), {"attached", "ncactivate 1", "children wrapped 3", "-- away", "ncactivate 0",
                                   "-- back", "ncactivate 1", "-- close", "nclbuttondown", "lbuttonup",
                                   "syscommand close", "?ncactivate 0", "command 1", "ncdestroy"}));
}


TEST(DialogHook, TwoBoxesOpenAtOnceAreBothSkinnedAThirdIsNot) {
  TBoxScene S;
  bool First = false, Second = false, Third = true, ThirdKeepsItsMenu = false;
  WithBox(L"一", L"box 1", MB_OK, [&](HWND B1) {
    First = DialogOf(B1) != nullptr;
    WithBox(L"二", L"box 2", MB_OK, [&](HWND B2) {
      Second = DialogOf(B2) != nullptr;
      WithBox(L"三", L"box 3", MB_OK, [&](HWND B3) {
        Third = DialogOf(B3) != nullptr || FindAttached(B3) != nullptr;
        ThirdKeepsItsMenu = (GetWindowLongW(B3, GWL_STYLE) & WS_SYSMENU) != 0;
        EndDialog(B3, IDOK);
      });
      EndDialog(B2, IDOK);
    });
    EndDialog(B1, IDOK);
  });
  EXPECT_TRUE(First);
  EXPECT_TRUE(Second);
  EXPECT_FALSE(Third);
  EXPECT_TRUE(ThirdKeepsItsMenu);
  Pump(50);
  EXPECT_TRUE(std::none_of(AttachedWindows().begin(), AttachedWindows().end(), [](auto* P) { return !P->Form; }));
}

TEST(DialogHook, ABoxOfAWorkerThreadIsNotSkinned) {
  TBoxScene S;
  std::thread Worker([] { MessageBoxW(nullptr, L"后台", L"worker box", MB_OK); });
  HWND Box = nullptr;
  PumpUntil([&] { return (Box = FindWindowW(L"#32770", L"worker box")) != nullptr && IsWindowVisible(Box); }, 3000);
  ASSERT_TRUE(Box);
  Pump(100);
  EXPECT_EQ(FindAttached(Box), nullptr);
  EXPECT_NE(GetWindowLongW(Box, GWL_STYLE) & WS_SYSMENU, 0);  // its own caption buttons
  PostMessageW(Box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  Worker.join();
}

// A hidden dialog of this thread with the given children; each child is made
// by the given thread function (so one may belong to another thread).
HWND MakeBox(DWORD Style) {
  struct {
    DLGTEMPLATE T;
    WORD Menu, Class, Title;
  } Tpl{};
  Tpl.T.style = Style;
  Tpl.T.x = 40;
  Tpl.T.y = 40;
  Tpl.T.cx = 160;
  Tpl.T.cy = 60;
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &Tpl.T, nullptr,
                                    [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
}

HWND AddStatic(HWND Box, int Y, DWORD ExStyle = 0) {
  return CreateWindowExW(ExStyle, L"STATIC", L"文字", WS_CHILD | WS_VISIBLE | SS_LEFT, 10, Y, 120, 16, Box, nullptr, nullptr,
                         nullptr);
}

TEST(DialogWrapper, ADialogWithAChildItCannotWrapIsGivenBackWholeAndItsWrapperGoesAtTheNextPurge) {
  TBoxScene S;
  const DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_NOIDLEMSG;
  HWND Box = MakeBox(Style);
  ASSERT_TRUE(Box);
  TacProvider* P = FindAttached(Box);
  ASSERT_TRUE(P && DialogOf(Box));
  EXPECT_EQ(GetWindowLongW(Box, GWL_STYLE) & (WS_SYSMENU | DS_NOIDLEMSG), 0);
  EXPECT_EQ(GetClassLongPtrW(Box, GCL_STYLE) & CS_SAVEBITS, 0u);
  // Ours above and below one made by another thread, which no hook of ours can take.
  HWND Own1 = AddStatic(Box, 0);
  // The other thread keeps its window until told; it pumps meanwhile, as a
  // thread whose windows the dialog's messages reach must.
  std::atomic<bool> Made{false}, Done{false};
  std::thread Other([&] {
    AddStatic(Box, 20, WS_EX_NOPARENTNOTIFY);
    Made = true;
    while (!Done) {
      MSG Msg;
      while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&Msg);
      Sleep(5);
    }
  });
  PumpUntil([&] { return Made.load(); }, 2000);
  HWND Own2 = AddStatic(Box, 40);
  ShowWindow(Box, SW_SHOW);
  UpdateWindow(Box);
  Pump(100);
  EXPECT_EQ(GetWindowLongW(Box, GWL_STYLE) & (WS_SYSMENU | DS_NOIDLEMSG), WS_SYSMENU | DS_NOIDLEMSG);
  EXPECT_NE(GetClassLongPtrW(Box, GCL_STYLE) & CS_SAVEBITS, 0u);  // the class's, as the system made it
  EXPECT_FALSE(HasForeignHook(Box, siDialog));
  EXPECT_FALSE(HasForeignHook(Own1, siDialogChild));
  EXPECT_FALSE(HasForeignHook(Own2, siDialogChild));
  HRGN R = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(Box, R), ERROR);  // the whole window again, its own frame showing
  DeleteObject(R);
  // Dead but listed until the hook next counts the dialogs.
  EXPECT_NE(FindAttached(Box), nullptr);
  EXPECT_TRUE(P->DialogDead());
  HWND Next = MakeBox(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
  EXPECT_EQ(FindAttached(Box), nullptr);
  EXPECT_NE(FindAttached(Next), nullptr);
  Done = true;
  Other.join();  // its window goes with it
  DestroyWindow(Next);
  DestroyWindow(Box);
}

TEST(DialogWrapper, OneIconCopyAndOneBrushPerWrapperWhateverIsRepainted) {
  TBoxScene S;
  // Without the modal frame the title shows an icon.
  HWND Box = MakeBox(WS_POPUP | WS_CAPTION | WS_SYSMENU);
  ASSERT_TRUE(Box);
  AddStatic(Box, 10);
  ShowWindow(Box, SW_SHOW);
  Pump(100);
  TacDialogWnd* D = DialogOf(Box);
  ASSERT_TRUE(D);
  HICON Icon = D->TitleIcon;
  ICONINFO II{};
  ASSERT_TRUE(GetIconInfo(Icon, &II));
  DeleteObject(II.hbmColor);
  DeleteObject(II.hbmMask);
  HBRUSH Brush = reinterpret_cast<HBRUSH>(SendMessageW(Box, WM_CTLCOLORDLG, 0, 0));
  int Gdi = 0;
  for (int I = 0; I < 50; ++I) {
    if (I == 1) Gdi = GdiObjectCount();  // the first round makes what is kept
    SetWindowTextW(Box, (L"标题 " + std::to_wstring(I)).c_str());
    RedrawWindow(Box, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageW(Box, WM_CTLCOLORDLG, 0, 0)), Brush);
  }
  Pump(50);
  EXPECT_EQ(D->TitleIcon, Icon);
  EXPECT_EQ(GdiObjectCount(), Gdi);
  DestroyWindow(Box);
  Pump(50);
  // The copy went with its wrapper.
  EXPECT_FALSE(GetIconInfo(Icon, &II));
  EXPECT_EQ(GetObjectType(Brush), 0u);
}


// The notice as the program shows it, at the density of the screen it runs on
// (the suite is run in a prefix at 96 and in one at 192): the client area
// through WM_PRINT with its children, and the frame image the border window shows.
TEST(DialogLook, TheNoticeBoxAsAccepted) {
  TBoxScene S;
  Application->SetMessageButtonCaption(IDOK, L"确定");
  MovePointer(2, 2);  // nothing of the box is hot in the picture
  Pump(50);
  HDC Screen = GetDC(nullptr);
  const int PPI = GetDeviceCaps(Screen, LOGPIXELSY);
  ReleaseDC(nullptr, Screen);
  TSheet Client, Frame;
  std::uint32_t Corner = 0, DialogColour = 0;
  WithBox(L"计算器 卸载完成！", L"提示", MB_OK | MB_ICONINFORMATION, [&](HWND Box) {
    SetForegroundWindow(Box);
    SetFocus(GetDlgItem(Box, IDOK));  // as the box gives it; the picture shows the focused, default button
    Pump(100);
    RECT CR{};
    GetClientRect(Box, &CR);
    Client.W = CR.right;
    Client.H = CR.bottom;
    Client.Pieces.push_back(Print(Box, CR.right, CR.bottom));
    if (TacDialogWnd* D = DialogOf(Box); D && D->Frame->FrameImage()) {
      const Bitmap32& B = D->Frame->FrameImage()->Bmp();
      Frame.W = B.Width();
      Frame.H = B.Height();
      std::vector<std::uint32_t> Px;
      for (int Y = 0; Y < B.Height(); ++Y)
        for (int X = 0; X < B.Width(); ++X) Px.push_back(B.Pixel(X, Y) & 0xFFFFFF);
      Frame.Pieces.push_back(Px);
      const int I = D->ClientSection();
      DialogColour = PixelOf(static_cast<COLORREF>(D->Skin()->gd[size_t(I)].Props[0].Color) & 0xFFFFFF);
    }
    Corner = Client.Pieces[0][size_t(2 * Client.W + 2)];
    PostMessageW(GetDlgItem(Box, IDOK), BM_CLICK, 0, 0);
  });
  ASSERT_FALSE(Frame.Pieces.empty());
  EXPECT_EQ(Corner, DialogColour);  // the client area is the section's, not the system's face
  ExpectAsAccepted("notice_client_" + std::to_string(PPI), Client);
  ExpectAsAccepted("notice_frame_" + std::to_string(PPI), Frame);
}

// The program's settings: forms fade in and out, message boxes do not. Every
// picture a layered window shows while a box comes and goes is whole.
std::vector<std::pair<HWND, int>>* gPresents = nullptr;

TEST(DialogWrapper, BoxesAppearAndVanishAtOnceWhileFormsAreAnimated) {
  TBoxScene S;
  S.M->AnimEffects()->FormShow()->SetTime(100);
  S.M->AnimEffects()->FormHide()->SetTime(100);
  S.M->AnimEffects()->DialogShow()->SetActive(false);
  S.M->AnimEffects()->DialogShow()->SetTime(100);
  std::vector<std::pair<HWND, int>> Presents;
  gPresents = &Presents;
  TacLayeredSurface::PresentObserver = [](HWND W, const TDibBitmap&, POINT, int Opacity) {
    if (gPresents) gPresents->push_back({W, Opacity});
  };
  HWND Border = nullptr;
  size_t WhileShown = 0;
  WithBox(L"计算器 卸载完成！", L"提示", MB_OK | MB_ICONINFORMATION, [&](HWND Box) {
    TacDialogWnd* D = DialogOf(Box);
    Border = D && D->BorderForm ? D->BorderForm->Handle() : nullptr;
    WhileShown = Presents.size();
    PostMessageW(Box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  const bool BorderGoneAtOnce = Border && !IsWindow(Border);
  Pump(200);
  TacLayeredSurface::PresentObserver = nullptr;
  gPresents = nullptr;
  ASSERT_TRUE(Border);
  EXPECT_GT(WhileShown, 0u);
  int OfBox = 0;
  for (const auto& [W, Opacity] : Presents) {
    EXPECT_EQ(Opacity, 255) << "a picture faded in or out";
    OfBox += W == Border;
  }
  EXPECT_GT(OfBox, 0);
  EXPECT_TRUE(BorderGoneAtOnce) << "the box's frame outlived the box";
  EXPECT_FALSE(HideTimer().Busy());
}

}  // namespace

// The skin paints a band of its own behind the buttons, growing with the box:
// a long text still ends above it, and the buttons stay on it.
TEST(DialogLook, ALongTextEndsAboveTheBandBehindTheButtons) {
  TBoxScene S;
  SetTextFallbackFace(L"微软雅黑");  // as the program draws Chinese: taller lines than the box was laid out for
  // Lines short enough that the box wraps none of them: it is as tall as they are in its own font.
  std::wstring Text = L"计算器 卸载完成！";
  for (const wchar_t* App : {L"新闻", L"天气", L"相机", L"地图", L"照片", L"便签", L"消息", L"Groove 音乐"})
    Text += std::wstring(L"\n") + App + L" 卸载完成！";
  std::vector<std::uint32_t> Px;
  int W = 0, H = 0;
  RECT T{}, B{};
  WithBox(Text, L"提示", MB_OK | MB_ICONINFORMATION, [&](HWND Box) {
    Pump(100);
    RECT CR{};
    GetClientRect(Box, &CR);
    W = CR.right;
    H = CR.bottom;
    Px = Print(Box, W, H);
    GetWindowRect(GetDlgItem(Box, 0xFFFF), &T);
    GetWindowRect(GetDlgItem(Box, IDOK), &B);
    MapWindowPoints(nullptr, Box, reinterpret_cast<POINT*>(&T), 2);
    MapWindowPoints(nullptr, Box, reinterpret_cast<POINT*>(&B), 2);
    PostMessageW(GetDlgItem(Box, IDOK), BM_CLICK, 0, 0);
  });
  SetTextFallbackFace(L"");
  ASSERT_EQ(Px.size(), size_t(W) * size_t(H));
  auto At = [&](int X, int Y) { return Px[size_t(Y) * size_t(W) + size_t(X)]; };
  auto Ink = [&](std::uint32_t P) { return (P & 0xFF) < 0x80 && ((P >> 8) & 0xFF) < 0x80 && ((P >> 16) & 0xFF) < 0x80; };
  int LastInk = -1;
  for (int Y = T.top; Y < std::min<int>(T.bottom, H); ++Y)
    for (int X = std::max<int>(0, T.left); X < std::min<int>(T.right, W); ++X)
      if (Ink(At(X, Y))) LastInk = Y;
  ASSERT_GT(LastInk, T.top);
  // The left margin's colour where the text starts, down to its last line.
  const std::uint32_t Paper = At(2, T.top);
  for (int Y = T.top; Y <= LastInk; ++Y) ASSERT_EQ(At(2, Y), Paper) << "row " << Y << ", text ends at " << LastInk;
  EXPECT_NE(At(2, B.top), Paper);  // the band is there, behind the button
}
