// Forms fading in, out, to the task bar and back, recorded from the layered
// surface every frame goes through: opacity, the drawn part of the picture,
// the time between frames, and the real window's own opacity meanwhile.
#include "WindowFixture.h"

#include "acAnimations.h"

#include <atomic>
#include <thread>

namespace {

using namespace cb;
using namespace cb::test;

struct TShot {
  HWND Surface;
  int Opacity;
  RECT Drawn;      // the picture's pixels with any alpha, in picture coordinates
  SIZE Size;       // the picture's size
  POINT Pos;
  double Ms;       // when it was sent
  bool FormShows;  // the real window visible to the eye (not layered at opacity 0)
};

HWND gWatched = nullptr;
std::vector<TShot>* gShots = nullptr;

double NowMs() {
  LARGE_INTEGER C{}, F{};
  QueryPerformanceCounter(&C);
  QueryPerformanceFrequency(&F);
  return C.QuadPart * 1000.0 / F.QuadPart;
}

bool FormShows(HWND W) {
  if (!W || !IsWindowVisible(W)) return false;
  if (!(GetWindowLongPtrW(W, GWL_EXSTYLE) & WS_EX_LAYERED)) return true;
  BYTE Alpha = 255;
  DWORD Flags = 0;
  return GetLayeredWindowAttributes(W, nullptr, &Alpha, &Flags) && (!(Flags & LWA_ALPHA) || Alpha > 0);
}

void Observe(HWND Wnd, const TDibBitmap& P, POINT Pos, int Opacity) {
  if (!gShots) return;
  const double At = NowMs();  // before the scan below, whose length varies from frame to frame
  RECT R{P.Width(), P.Height(), 0, 0};
  for (int Y = 0; Y < P.Height(); ++Y)
    for (int X = 0; X < P.Width(); ++X)
      if (P.Bmp().Pixel(X, Y) >> 24) {
        R.left = std::min<LONG>(R.left, X);
        R.top = std::min<LONG>(R.top, Y);
        R.right = std::max<LONG>(R.right, X + 1);
        R.bottom = std::max<LONG>(R.bottom, Y + 1);
      }
  gShots->push_back({Wnd, Opacity, R, SIZE{P.Width(), P.Height()}, Pos, At, FormShows(gWatched)});
}

// Records the frames of every surface while it lives.
struct TRecorder {
  std::vector<TShot> Shots;
  explicit TRecorder(HWND Form) {
    gWatched = Form;
    gShots = &Shots;
    TacLayeredSurface::PresentObserver = &Observe;
  }
  ~TRecorder() {
    TacLayeredSurface::PresentObserver = nullptr;
    gShots = nullptr;
    gWatched = nullptr;
  }
  // The frames of one surface.
  std::vector<TShot> Of(HWND Surface) const {
    std::vector<TShot> R;
    for (const TShot& S : Shots)
      if (S.Surface == Surface) R.push_back(S);
    return R;
  }
  std::vector<int> Opacities(HWND Surface) const {
    std::vector<int> R;
    for (const TShot& S : Of(Surface)) R.push_back(S.Opacity);
    return R;
  }
};

struct TAnimScene : TSkinnedScene {
  TAnimScene(int ShowMs, int HideMs) {
    M->AnimEffects()->FormShow()->SetTime(ShowMs);
    M->AnimEffects()->FormHide()->SetTime(HideMs);
  }
};

void ExpectSteadyFrames(const std::vector<TShot>& F, size_t Upto) {
  for (size_t I = 1; I < Upto && I < F.size(); ++I) EXPECT_GE(F[I].Ms - F[I - 1].Ms, 11.5) << "frame " << I;
}

TEST(FormAnimation, ShowGrowsThePictureInNineStepsWhileTheWindowStaysInvisible) {
  TAnimScene S(100, 0);
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  F.HandleNeeded();
  TRecorder R(F.WindowHandle());
  F.Show();
  // The show is synchronous: everything is recorded when it returns. The
  // border window comes up clear with the form, carries the animation behind
  // the clear form, and shows the frame at the end.
  const HWND Border = BorderWnd(F);
  ASSERT_TRUE(Border);
  std::vector<TShot> All = R.Of(Border), Fr;
  size_t I0 = 0;
  while (I0 < All.size() && All[I0].Opacity == 0) ++I0;
  EXPECT_GT(I0, 0u) << "the border window came up clear";
  for (size_t I = I0; I < All.size() && Fr.size() < 10; ++I) Fr.push_back(All[I]);
  std::vector<int> Opacities;
  for (const TShot& Sh : Fr) Opacities.push_back(Sh.Opacity);
  EXPECT_EQ(Opacities, (std::vector<int>{26, 51, 77, 103, 128, 154, 179, 205, 231, 255}));
  ASSERT_EQ(Fr.size(), 10u);
  EXPECT_EQ(All.back().Opacity, 255);
  ExpectSteadyFrames(Fr, 10);
  // 31/32 of the picture at first, growing every step, whole at the end.
  const RECT Full = Fr.back().Drawn;
  const int W = Fr.back().Size.cx, H = Fr.back().Size.cy;
  EXPECT_NEAR(Fr.front().Drawn.left - Full.left, W / 32.0, 1.5);
  EXPECT_NEAR(Fr.front().Drawn.top - Full.top, H / 32.0, 1.5);
  for (size_t I = 1; I < 9; ++I) {
    EXPECT_LT(Fr[I].Drawn.left, Fr[I - 1].Drawn.left) << I;
    EXPECT_GT(Fr[I].Drawn.bottom, Fr[I - 1].Drawn.bottom) << I;
  }
  EXPECT_EQ(Fr[8].Drawn.left, Full.left);
  for (size_t I = 0; I < Fr.size(); ++I) EXPECT_FALSE(Fr[I].FormShows) << "the window showed at frame " << I;
  // Afterwards the window shows by itself, not layered, its border window behind it.
  EXPECT_TRUE(FormShows(F.WindowHandle()));
  EXPECT_FALSE(GetWindowLongPtrW(F.WindowHandle(), GWL_EXSTYLE) & WS_EX_LAYERED);
  ASSERT_TRUE(IsWindowVisible(Border));
  EXPECT_TRUE(PumpUntil([&] { return GetWindow(F.WindowHandle(), GW_HWNDNEXT) == Border; }, 1000));
  EXPECT_FALSE(FormAnimationRunning());
  EXPECT_FALSE(ProviderOf(F)->FInAnimation);
}

TEST(FormAnimation, OpacitiesNeverGoBelowNothingAndWaitsSurviveTheTickCountWrapping) {
  // A form less opaque than 50 rises to its opacity instead of starting below nothing.
  int Last = 0;
  for (int I = 0; I <= 8; ++I) {
    const int O = ShowOpacity(30, 8, I);
    EXPECT_GE(O, Last);
    EXPECT_LE(O, 30);
    Last = O;
  }
  EXPECT_GT(ShowOpacity(30, 8, 0), 0);
  EXPECT_EQ(ShowOpacity(255, 0, 0), 255) << "no steps: the final opacity at once";
  static_assert(TicksElapsed(0xFFFFFFF8u, 4u, 12), "12 ms across the wrap");
  static_assert(!TicksElapsed(0xFFFFFFF8u, 2u, 12), "10 ms across the wrap");
  static_assert(!TicksElapsed(100u, 100u, 12) && TicksElapsed(100u, 112u, 12));
}

TEST(FormAnimation, AWindowGoneWhileAskedToCloseIsLeftAlone) {
  TAnimScene S(0, 100);
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  const HWND W = F.WindowHandle();
  // The window, and the provider with it, go while the form is asked.
  F.OnCloseQuery = [W](TObject*, bool& CanClose) {
    CanClose = false;
    DestroyWindow(W);
  };
  TRecorder R(W);
  SendMessageW(W, WM_CLOSE, 0, 0);
  Pump(100);
  EXPECT_FALSE(IsWindow(W));
  EXPECT_TRUE(R.Shots.empty());
  EXPECT_FALSE(HideTimer().Busy());
}

TEST(FormAnimation, EveryEarlyEndOfTheShowLeavesTheWindowVisible) {
  // Too short for a step: shown at once.
  {
    TAnimScene S(11, 0);
    TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
    F.HandleNeeded();
    TRecorder R(F.WindowHandle());
    F.Show();
    EXPECT_TRUE(R.Shots.empty() || R.Shots.front().Surface == BorderWnd(F));
    for (const TShot& Sh : R.Shots) EXPECT_EQ(Sh.Opacity, 255);
    EXPECT_TRUE(FormShows(F.WindowHandle()));
  }
  // A window that comes up minimised (its show turned into a minimise below the provider).
  {
    TAnimScene S(100, 0);
    TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
    F.AddWindowHook(0xA11, [&F](TMessage& M, const TWindowHookNext& Next) {
      if (M.Msg == CM_SHOWINGCHANGED && M.WParam) {
        ShowWindow(F.WindowHandle(), SW_SHOWMINNOACTIVE);
        return;
      }
      Next(M);
    });
    F.HandleNeeded();
    TRecorder R(F.WindowHandle());
    F.Show();
    for (const TShot& Sh : R.Shots) EXPECT_EQ(Sh.Opacity, 255);
    EXPECT_FALSE(GetWindowLongPtrW(F.WindowHandle(), GWL_EXSTYLE) & WS_EX_LAYERED) << "left invisible";
    EXPECT_FALSE(FormAnimationRunning());
    EXPECT_FALSE(ProviderOf(F)->FInAnimation);
    ShowWindow(F.WindowHandle(), SW_RESTORE);
    Pump(60);
    EXPECT_TRUE(FormShows(F.WindowHandle()));
  }
}

TEST(FormAnimation, HideFadesOutInEightStepsOfTwelveMsAndARefusedCloseChangesNothing) {
  TAnimScene S(0, 100);
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  bool Refuse = true;
  F.OnCloseQuery = [&Refuse](TObject*, bool& CanClose) { CanClose = !Refuse; };
  ShowAndSettle(F);
  const HWND Border = BorderWnd(F);
  ASSERT_TRUE(Border);
  const unsigned Serial = ProviderOf(F)->Frame->ImageSerial;
  {
    TRecorder R(F.WindowHandle());
    SendMessageW(F.WindowHandle(), WM_CLOSE, 0, 0);
    Pump(200);
    EXPECT_TRUE(R.Shots.empty()) << "a form that stays shows no animation";
    EXPECT_TRUE(IsWindowVisible(F.WindowHandle()));
    EXPECT_EQ(BorderWnd(F), Border);
    EXPECT_EQ(ProviderOf(F)->Frame->ImageSerial, Serial);
  }
  Refuse = false;
  TRecorder R(F.WindowHandle());
  SendMessageW(F.WindowHandle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(F.WindowHandle()));
  ASSERT_TRUE(PumpUntil([] { return !HideTimer().Busy(); }, 2000));
  // The border window's own surface carries the fade: the whole form at first, then less each step.
  const std::vector<TShot> Fr = R.Of(Border);
  EXPECT_EQ(R.Opacities(Border), (std::vector<int>{255, 223, 191, 159, 128, 96, 64, 32, 0}));
  ASSERT_EQ(Fr.size(), 9u);
  ExpectSteadyFrames(Fr, 9);
  for (size_t I = 2; I < Fr.size() - 1; ++I) EXPECT_GT(Fr[I].Drawn.left, Fr[I - 1].Drawn.left) << I;
  EXPECT_FALSE(IsWindow(Border)) << "the surface is freed at the end";
  EXPECT_FALSE(FormAnimationRunning());
}

TEST(FormAnimation, MinimiseAndRestoreRunThirteenStepsEachAndTheTitleButtonAnimatesOnce) {
  TAnimScene S(0, 0);
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  const HWND Border = BorderWnd(F);
  ASSERT_TRUE(P && Border);
  {
    TRecorder R(F.WindowHandle());
    Click(ImageToScreen(*P, CentreOf(P->Frame->ButtonMin.cpRect)));
    ASSERT_TRUE(PumpUntil([&] { return IsIconic(F.WindowHandle()) && P->MinTimer() && !P->MinTimer()->Busy(); }));
    Pump(100);
    // The pressed button's pictures come first; then 13 steps, once.
    std::vector<TShot> Fr;
    for (const TShot& Sh : R.Of(Border))
      if (Sh.Opacity < 255) Fr.push_back(Sh);
    ASSERT_EQ(Fr.size(), 13u);
    EXPECT_EQ(Fr.front().Opacity, 235);
    EXPECT_EQ(Fr.back().Opacity, 0);
    // Smaller and lower every step, towards the task bar's edge.
    for (size_t I = 1; I < Fr.size(); ++I) {
      EXPECT_LT(Fr[I].Size.cx, Fr[I - 1].Size.cx) << I;
      EXPECT_GT(Fr[I].Pos.y, Fr[I - 1].Pos.y) << I;
    }
    EXPECT_FALSE(IsWindow(Border));
  }
  TRecorder R(F.WindowHandle());
  SendMessageW(F.WindowHandle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  ASSERT_TRUE(PumpUntil([&] { return !P->MinTimer()->Busy(); }));
  // The border window comes back clear with the form and carries the 13 steps.
  const HWND Surface = BorderWnd(F);
  ASSERT_TRUE(Surface);
  std::vector<TShot> Fr;
  for (const TShot& Sh : R.Of(Surface))
    if (Sh.Opacity > 0 && (Fr.empty() || Fr.back().Opacity < 255)) Fr.push_back(Sh);
  ASSERT_EQ(Fr.size(), 13u);
  EXPECT_EQ(Fr.front().Opacity, 20);
  EXPECT_EQ(Fr.back().Opacity, 255);
  for (const TShot& Sh : Fr) EXPECT_FALSE(Sh.FormShows);
  EXPECT_TRUE(FormShows(F.WindowHandle()));
  EXPECT_FALSE(IsIconic(F.WindowHandle()));
  EXPECT_TRUE(IsWindowVisible(Surface));
}

TEST(FormAnimation, TimersAndTheirSurfacesGoWithTheirWindow) {
  TAnimScene S(0, 100);
  HWND Surface = nullptr;
  {
    TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
    ShowAndSettle(F);
    Surface = BorderWnd(F);
    PostMessageW(F.WindowHandle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(PumpUntil([&] { return ProviderOf(F)->MinTimer() && ProviderOf(F)->MinTimer()->Busy(); }));
    // The window goes in the middle of the animation.
    TsSkinProvider* P = ProviderOf(F);
    DestroyWindow(F.WindowHandle());
    EXPECT_FALSE(IsWindow(Surface)) << "the minimise surface outlived its window";
    EXPECT_FALSE(P->MinTimer() && P->MinTimer()->Running());
  }
  Pump(100);
  // A fade-out outlives its form, not the program's last form.
  auto F = std::make_unique<TFrameForm>(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(*F);
  Surface = BorderWnd(*F);
  F->Hide();
  F.reset();
  EXPECT_FALSE(HideTimer().Busy());
  EXPECT_FALSE(IsWindow(Surface));
}

TEST(FormAnimation, BlendOnMovingTurnsTheDraggedFormTranslucentAndBack) {
  TAnimScene S(0, 0);
  TacBlendOnMoving* B = S.M->AnimEffects()->BlendOnMoving();
  B->SetActive(true);
  B->SetTime(60);
  B->SetBlendValue(170);
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  const HWND W = F.WindowHandle();
  const HWND Border = BorderWnd(F);
  const RECT Before = WindowRect(W);
  TRecorder R(W);
  const POINT Caption = ImageToScreen(*P, POINT{P->Frame->OffsetX() + 60, P->Frame->OffsetY() - 15});
  MovePointer(Caption.x, Caption.y);
  Pump(60);
  // The drag runs in the system's move loop: the hand moves from another thread
  // and reads the form's opacity on the way.
  std::vector<int> Seen;
  std::atomic<bool> Done{false};
  std::thread Hand([&] {
    MouseButton(MOUSEEVENTF_LEFTDOWN);
    for (int I = 1; I <= 12; ++I) {
      Sleep(15);
      SetCursorPos(Caption.x + 3 * I, Caption.y + 2 * I);
      BYTE Alpha = 255;
      DWORD Flags = 0;
      if ((GetWindowLongPtrW(W, GWL_EXSTYLE) & WS_EX_LAYERED) && GetLayeredWindowAttributes(W, nullptr, &Alpha, &Flags))
        Seen.push_back(Alpha);
    }
    MouseButton(MOUSEEVENTF_LEFTUP);
    Done = true;
  });
  PumpUntil([&] { return Done.load(); }, 3000);
  Hand.join();
  Pump(100);
  // Down to the blend value in steps, never below it; opaque again after the move.
  ASSERT_GE(Seen.size(), 6u);
  EXPECT_LT(Seen.front(), 255);
  EXPECT_TRUE(std::is_sorted(Seen.rbegin(), Seen.rend()));
  EXPECT_EQ(Seen.back(), 170);
  EXPECT_EQ(*std::min_element(Seen.begin(), Seen.end()), 170);
  EXPECT_FALSE(GetWindowLongPtrW(W, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_EQ(P->MoveTimer(), nullptr);
  // The border window went down with the form and came back with it.
  const std::vector<int> Frames = R.Opacities(Border);
  ASSERT_FALSE(Frames.empty());
  EXPECT_NE(std::find(Frames.begin(), Frames.end(), 170), Frames.end());
  EXPECT_EQ(Frames.back(), 255);
  EXPECT_EQ(WindowRect(W).left - Before.left, 36) << "the form moved with the pointer";
}

}  // namespace
