// The border window: its size and place around the form, following moves,
// resizes, minimise and hiding, the pointer over its shadow, and the regions
// it makes.
#include "WindowFixture.h"
#include "tests/support/ResourceCounts.h"

#include "acRegion.h"
#include "skin/paint/Shadows.h"
#include "skin/binding/acGlow.h"

namespace {

using namespace cb;
using namespace cb::test;

// The skin's frame around the client area (border 4, title 30) and the shadow around that.
void ExpectFramedBy(HWND Form, HWND Border) {
  const RECT C = ClientOnScreen(Form), B = WindowRect(Border);
  const RECT Frame{C.left - 4, C.top - 30, C.right + 4, C.bottom + 4};
  EXPECT_EQ(B.left, Frame.left - 13);
  EXPECT_EQ(B.top, Frame.top - 11);
  EXPECT_EQ(B.right, Frame.right + 13);
  EXPECT_EQ(B.bottom, Frame.bottom + 15);
  EXPECT_EQ((B.right - B.left) - (Frame.right - Frame.left), 26);
  EXPECT_EQ((B.bottom - B.top) - (Frame.bottom - Frame.top), 26);
}

TEST(BorderWindow, LiesExactlyBehindTheFormAndIsTwentySixPixelsLargerThanTheFrame) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  HWND B = BorderWnd(F);
  ASSERT_TRUE(B && IsWindowVisible(B));
  ExpectFramedBy(F.WindowHandle(), B);
  EXPECT_TRUE(PumpUntil([&] { return GetWindow(F.WindowHandle(), GW_HWNDNEXT) == B; }, 1000));
  // Layered, never activated, not on the task bar.
  const LONG_PTR Ex = GetWindowLongPtrW(B, GWL_EXSTYLE);
  EXPECT_TRUE(Ex & WS_EX_LAYERED);
  EXPECT_TRUE(Ex & WS_EX_NOACTIVATE);
  EXPECT_TRUE(Ex & WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetActiveWindow(), F.WindowHandle());
}

TEST(BorderWindow, FollowsMovesWithoutANewImageAndResizesWithOne) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  HWND B = BorderWnd(F);
  ASSERT_TRUE(P && B);
  F.SetBounds(F.Left(), F.Top(), F.Width(), F.Height());  // the window takes the form's size
  Pump(40);
  const int Paints = P->Frame->PaintCount, Pictures = BorderOf(F)->PictureCount;
  for (int I = 1; I <= 5; ++I) {
    F.SetBounds(F.Left() + 17, F.Top() + 9, F.Width(), F.Height());
    Pump(20);
    ExpectFramedBy(F.WindowHandle(), B);
  }
  EXPECT_EQ(P->Frame->PaintCount, Paints);
  EXPECT_EQ(BorderOf(F)->PictureCount, Pictures);
  F.SetBounds(F.Left(), F.Top(), F.Width() + 40, F.Height() + 30);
  Pump(40);
  EXPECT_EQ(BorderWnd(F), B);
  ExpectFramedBy(F.WindowHandle(), B);
  EXPECT_GT(P->Frame->PaintCount, Paints);
}

TEST(BorderWindow, EachChangeOfActivationBuildsOneImageAndSendsOnePicture) {
  TSkinnedScene S;
  TFrameForm A(bsSingle, biSystemMenu | biMinimize, L"A");
  TFrameForm B(bsDialog, biSystemMenu, L"B", 260, 190);
  ShowAndSettle(A);
  TsSkinProvider* P = ProviderOf(A);
  ASSERT_TRUE(P && BorderOf(A));
  for (int I = 0; I < 2; ++I) {
    const int Paints = P->Frame->PaintCount, Pictures = BorderOf(A)->PictureCount;
    ShowAndSettle(B);
    ASSERT_FALSE(P->Frame->FormActive);
    EXPECT_EQ(P->Frame->PaintCount, Paints + 1);
    EXPECT_EQ(BorderOf(A)->PictureCount, Pictures + 1);
    B.Hide();
    SetForegroundWindow(A.WindowHandle());
    Pump(80);
    ASSERT_TRUE(P->Frame->FormActive);
    EXPECT_EQ(P->Frame->PaintCount, Paints + 2);
    EXPECT_EQ(BorderOf(A)->PictureCount, Pictures + 2);
  }
  // The dialog's own frame goes out once per showing.
  const int Pictures = BorderOf(B)->PictureCount;
  ShowAndSettle(B);
  EXPECT_EQ(BorderOf(B)->PictureCount, Pictures + 1);
}

// The frame image as it is, and as a build from scratch makes it now.
std::vector<std::uint32_t> ImageNow(TsSkinProvider& P) {
  const Bitmap32& B = P.Frame->FrameImage()->Bmp();
  std::vector<std::uint32_t> V;
  for (int Y = 0; Y < B.Height(); ++Y) V.insert(V.end(), B.Line(Y), B.Line(Y) + B.Width());
  return V;
}

TEST(BorderWindow, ADialogClosedByItsCloseButtonOpensAgainWithTheButtonAtRest) {
  TSkinnedScene S;
  TFrameForm A(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  TFrameForm D(bsDialog, biSystemMenu, L"About", 260, 190);
  MovePointer(5, 5);
  ShowAndSettle(A);
  ShowAndSettle(D);
  TsSkinProvider* P = ProviderOf(D);
  ASSERT_TRUE(P);
  ASSERT_TRUE(P->Frame->FormActive);
  const std::vector<std::uint32_t> First = ImageNow(*P);
  const POINT Close = ImageToScreen(*P, CentreOf(P->Frame->ButtonClose.cpRect));
  MovePointer(Close.x, Close.y);
  Pump(100);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  Pump(60);
  MouseButton(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(D.WindowHandle()); }));
  SetForegroundWindow(A.WindowHandle());
  MovePointer(5, 5);
  Pump(80);
  ShowAndSettle(D);
  ASSERT_TRUE(P->Frame->FormActive);
  EXPECT_EQ(P->Frame->ButtonClose.cpState, 0);
  // It looks exactly as it did when it first opened.
  EXPECT_EQ(ImageNow(*P), First);
}

TEST(BorderWindow, GoesWhenTheFormHidesOrMinimisesAndComesBackInPlace) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  HWND W = F.WindowHandle();
  ASSERT_TRUE(BorderWnd(F));
  HWND Old = BorderWnd(F);
  ShowWindow(W, SW_MINIMIZE);
  Pump(60);
  EXPECT_FALSE(IsWindow(Old));
  EXPECT_EQ(BorderWnd(F), nullptr);
  ShowWindow(W, SW_RESTORE);
  Pump(80);
  ASSERT_TRUE(BorderWnd(F));
  ExpectFramedBy(W, BorderWnd(F));
  F.Hide();
  Pump(40);
  EXPECT_EQ(BorderWnd(F), nullptr);
  ShowAndSettle(F);
  ASSERT_TRUE(BorderWnd(F));
  ExpectFramedBy(W, BorderWnd(F));
}

TEST(BorderWindow, ComesBackBehindItsFormWhenTheFormIsRaisedAgain) {
  TSkinnedScene S;
  TFrameForm A(bsSingle, biSystemMenu | biMinimize, L"A");
  TFrameForm B(bsSingle, biSystemMenu | biMinimize, L"B", 260, 190);
  ShowAndSettle(A);
  ShowAndSettle(B);
  EXPECT_TRUE(PumpUntil([&] { return GetWindow(B.WindowHandle(), GW_HWNDNEXT) == BorderWnd(B); }, 1000));
  SetWindowPos(A.WindowHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_TRUE(PumpUntil([&] { return GetWindow(A.WindowHandle(), GW_HWNDNEXT) == BorderWnd(A); }, 1000));
  // B's frame is now under A's.
  HWND Below = BorderWnd(A);
  bool Found = false;
  for (HWND W = GetWindow(Below, GW_HWNDNEXT); W; W = GetWindow(W, GW_HWNDNEXT))
    if (W == B.WindowHandle()) Found = true;
  EXPECT_TRUE(Found);
}

TEST(BorderWindow, AClickOnTheShadowActivatesTheWindowBelow) {
  TSkinnedScene S;
  TFrameForm Below(bsSingle, biSystemMenu | biMinimize, L"Below", 150, 150);
  TFrameForm Top(bsSingle, biSystemMenu | biMinimize, L"Top", 330, 260);
  ShowAndSettle(Below);
  ShowAndSettle(Top);
  ASSERT_EQ(GetActiveWindow(), Top.WindowHandle());
  HWND B = BorderWnd(Top);
  ASSERT_TRUE(B);
  // A point of Top's left shadow that lies over Below's client area.
  const RECT TB = WindowRect(B);
  const POINT Shadow{TB.left + 4, TB.top + 60};
  const RECT BelowClient = ClientOnScreen(Below.WindowHandle());
  ASSERT_TRUE(PtInRect(&BelowClient, Shadow));
  EXPECT_EQ(SendMessageW(B, WM_NCHITTEST, 0, MAKELPARAM(Shadow.x, Shadow.y)), HTTRANSPARENT);
  const POINT Frame{TB.left + 13 + 1, TB.top + 60};
  EXPECT_EQ(SendMessageW(B, WM_NCHITTEST, 0, MAKELPARAM(Frame.x, Frame.y)), htObject);
  MovePointer(Shadow.x, Shadow.y);
  Pump(40);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  MouseButton(MOUSEEVENTF_LEFTUP);
  EXPECT_TRUE(PumpUntil([&] { return GetActiveWindow() == Below.WindowHandle(); }, 1500));
}

TEST(BorderWindow, PointerMessagesOverTheShadowLeaveNoRegionBehind) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  HWND B = BorderWnd(F);
  ASSERT_TRUE(B);
  const RECT R = WindowRect(B);
  auto Round = [&] {
    // Each move makes a hole, each hit test closes it again.
    SendMessageW(B, WM_MOUSEMOVE, 0, MAKELPARAM(3, 40));
    SendMessageW(B, WM_NCHITTEST, 0, MAKELPARAM(R.left + 3, R.top + 40));
  };
  for (int I = 0; I < 20; ++I) Round();
  const long Regions = TacRgn::Alive();
  for (int I = 0; I < 1000; ++I) Round();
  EXPECT_EQ(TacRgn::Alive(), Regions);
  EXPECT_EQ(Regions, 0);
  // The hole is closed: the frame still answers.
  EXPECT_EQ(SendMessageW(B, WM_NCHITTEST, 0, MAKELPARAM(R.left + 15, R.top + 40)), htObject);
}

// A hover glow around a test button of the small skin (the built-in one has
// none): placed around the button with its picture, and passing the pointer on.
void ExpectAGlowThatThePointerPassesThrough() {
  TTinySkin Skin;
  TScene Scene;
  std::unique_ptr<TsSkinManager> M(Skin.Load(nullptr));
  TsCommonData& SD = Scene.Button->SD;
  ASSERT_GE(ShowGlow(SD, 255), 0);
  HWND G = GlowEffect(SD.GlowID)->Wnd();
  // A surface has no place or size before its first picture: these are the
  // picture's, grown by the mask's border (4) less the glow margin (2).
  const TPoint O = Scene.Button->ClientToScreen(TPoint(0, 0));
  const RECT R = WindowRect(G), Expected{O.X - 2, O.Y - 2, O.X + 87 + 2, O.Y + 22 + 2};
  EXPECT_TRUE(EqualRect(&R, &Expected)) << R.left << "," << R.top << "," << R.right << "," << R.bottom;
  EXPECT_TRUE(IsWindowVisible(G));
  EXPECT_EQ(SendMessageW(G, WM_NCHITTEST, 0, MAKELPARAM(R.left + 1, R.top + 1)), HTTRANSPARENT);
  HideGlow(SD.GlowID, false);
}

// Glows and border windows are the same kind of layered window; neither may
// take the other's behaviour, whichever of them the process made first.
TEST(BorderWindow, GlowsShownBeforeAndAfterLeaveTheTitleBarTakingInput) {
  ASSERT_NO_FATAL_FAILURE(ExpectAGlowThatThePointerPassesThrough());
  {
    TSkinnedScene S;
    TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
    ShowAndSettle(F);
    HWND B = BorderWnd(F);
    ASSERT_TRUE(B);
    const RECT R = WindowRect(B);
    // The title bar (frame from 13, 11; title 30 high) and the left shadow.
    EXPECT_EQ(SendMessageW(B, WM_NCHITTEST, 0, MAKELPARAM(R.left + 13 + 120, R.top + 11 + 15)), htObject);
    EXPECT_EQ(SendMessageW(B, WM_NCHITTEST, 0, MAKELPARAM(R.left + 4, R.top + 60)), HTTRANSPARENT);
  }
  ExpectAGlowThatThePointerPassesThrough();
}

TEST(BorderWindow, ShadowShapesFromOddSkinValuesAreSafe) {
  // A radius of 0 or below divides by nothing; the shape keeps its size.
  for (int Radius : {0, -4}) {
    const Bitmap32 B = MakeWindowShadow(0x99000000, Radius, 2, 13);
    EXPECT_EQ(B.Width(), 2 * 13 + 1);
    EXPECT_EQ(B.Height(), 2 * 13 + 2 + 1);
    EXPECT_LE(B.Pixel(13, 15) >> 24, 0x99u);
  }
  const BmpRect M = WindowShadowMargins(2, 13);
  EXPECT_EQ(M, BmpRect(13, 11, 13, 15));
}

TEST(BorderWindow, HundredsOfOpeningsLeaveNoBitmapsRegionsOrWindowsBehind) {
  TSkinnedScene S;
  auto Once = [] {
    TFrameForm F(bsDialog, biSystemMenu, L"关于", 300, 200);
    F.Show();
    Pump(5);
    F.Hide();
  };
  for (int I = 0; I < 10; ++I) Once();
  const int Windows = ThreadWindows();
  const long Pictures = TDibBitmap::Alive();
  for (int I = 0; I < 200; ++I) Once();
  Pump(50);
  EXPECT_EQ(ThreadWindows(), Windows);
  EXPECT_EQ(TDibBitmap::Alive(), Pictures);  // bitmaps and their contexts
  EXPECT_EQ(TacRgn::Alive(), 0);
  EXPECT_TRUE(AttachedWindows().empty());
  EXPECT_EQ(FindWindowW(L"TacGlowForm", nullptr), nullptr);
}

}  // namespace
