// A sizeable form under the skin: maximised and restored by its title
// button, resized by dragging the border window's frame, and moved to
// another density, with the border window and the regions in step.
#include "WindowFixture.h"

#include "acRegion.h"

// Rectangles compared and printed by the assertions (found by their global type).
inline bool operator==(const RECT& A, const RECT& B) { return EqualRect(&A, &B) != 0; }

inline std::ostream& operator<<(std::ostream& O, const RECT& R) {
  return O << "{" << R.left << ", " << R.top << ", " << R.right << ", " << R.bottom << "}";
}

namespace {

using namespace cb;
using namespace cb::test;

// Bounds of a window's region (empty when it has none).
RECT RegionBox(HWND W) {
  TacRgn R(0, 0, 0, 0);
  RECT Box{0, 0, 0, 0};
  if (R.ReadFrom(W)) GetRgnBox(R.Get(), &Box);
  return Box;
}

// The skin's frame and shadow around the client area, as the skin data of one density gives them.
RECT FrameAround(HWND Form, const TacSkinData& D) {
  const RECT C = ClientOnScreen(Form);
  return RECT{C.left - D.ExBorderWidth - D.FormShadowSize.Left, C.top - D.ExTitleHeight - D.FormShadowSize.Top,
              C.right + D.ExBorderWidth + D.FormShadowSize.Right,
              C.bottom + D.ExBorderWidth + D.FormShadowSize.Bottom};
}

struct TSizeableScene : TSkinnedScene {
  TFrameForm F{bsSizeable, biSystemMenu | biMinimize | biMaximize, L"Sizeable", 160, 120};
  TsSkinProvider* P = nullptr;
  TSizeableScene() {
    ShowAndSettle(F);
    P = ProviderOf(F);
  }
  HWND W() { return F.WindowHandle(); }
};

TEST(Sizing, TheMaximiseButtonMaximisesWithoutShadowOrSizingBandsAndRestoresAsBefore) {
  TSizeableScene S;
  ASSERT_TRUE(S.P && S.P->Frame->ButtonMax.Visible);
  const RECT Before = WindowRect(S.W());
  const TacFrameMetrics Normal = S.P->Frame->Metrics();
  EXPECT_EQ(S.P->Frame->ButtonMax.cpGlyphType, tgMax);
  EXPECT_EQ(RegionBox(BorderWnd(S.F)), (RECT{0, 0, Normal.Width, Normal.Height}));
  EXPECT_EQ(S.P->Frame->ExHitTest(POINT{Normal.L + 1, Normal.Height / 2}), HTLEFT);

  Click(ImageToScreen(*S.P, CentreOf(S.P->Frame->ButtonMax.cpRect)));
  ASSERT_TRUE(PumpUntil([&] { return IsZoomed(S.W()) != 0; }));
  Pump(100);
  HWND B = BorderWnd(S.F);
  ASSERT_TRUE(B && IsWindowVisible(B));
  EXPECT_EQ(GetWindow(S.W(), GW_HWNDNEXT), B);
  EXPECT_EQ(S.P->Frame->ButtonMax.cpGlyphType, tgNormal);
  const TacFrameMetrics Max = S.P->Frame->Metrics();
  EXPECT_EQ(WindowRect(B).right - WindowRect(B).left, Max.Width);
  // No shadow and no outer border: the title bar alone shows around the
  // client area, and the frame's edges size nothing.
  EXPECT_EQ(RegionBox(B), (RECT{Max.L + Max.BW, Max.T + 4, Max.Width - Max.R - Max.BW, S.P->Frame->OffsetY()}));
  EXPECT_NE(S.P->Frame->ExHitTest(POINT{Max.L + 1, Max.Height / 2}), HTLEFT);
  EXPECT_NE(S.P->Frame->ExHitTest(POINT{Max.Width - Max.R - 1, Max.Height - Max.B - 1}), HTBOTTOMRIGHT);

  Click(ImageToScreen(*S.P, CentreOf(S.P->Frame->ButtonMax.cpRect)));
  ASSERT_TRUE(PumpUntil([&] { return IsZoomed(S.W()) == 0; }));
  Pump(100);
  B = BorderWnd(S.F);
  ASSERT_TRUE(B && IsWindowVisible(B));
  EXPECT_EQ(WindowRect(S.W()), Before);
  EXPECT_EQ(S.P->Frame->ButtonMax.cpGlyphType, tgMax);
  EXPECT_EQ(RegionBox(B), (RECT{0, 0, Normal.Width, Normal.Height}));
  EXPECT_EQ(WindowRect(B), FrameAround(S.W(), *S.P->FCommonData->CommonSkinData()));
  EXPECT_EQ(S.P->Frame->ExHitTest(POINT{Normal.L + 1, Normal.Height / 2}), HTLEFT);
}

TEST(Sizing, TheBorderWindowsFrameSizesTheFormWithTheSizingPointer) {
  TSizeableScene S;
  ASSERT_TRUE(S.P);
  HWND B = BorderWnd(S.F);
  ASSERT_TRUE(B);
  const TacFrameMetrics FM = S.P->Frame->Metrics();
  // The bands reach a little into the shadow; the corners combine them.
  const POINT Right{FM.Width - FM.R + 3, FM.Height / 2}, Corner{FM.Width - FM.R - 1, FM.Height - FM.B - 1};
  EXPECT_EQ(S.P->Frame->ExHitTest(Right), HTRIGHT);
  EXPECT_EQ(S.P->Frame->ExHitTest(Corner), HTBOTTOMRIGHT);
  EXPECT_EQ(S.P->Frame->ExHitTest(POINT{FM.Width / 2, FM.T + 1}), HTTOP);
  const POINT At = ImageToScreen(*S.P, Right);
  MovePointer(At.x, At.y);
  Pump(60);
  SendMessageW(B, WM_SETCURSOR, reinterpret_cast<WPARAM>(B), MAKELPARAM(htObject, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_SIZEWE)));

  // A press there starts the system's sizing of the form from that edge (the
  // command is taken off here, before its modal loop would start).
  WPARAM Command = 0;
  S.F.AddWindowHook(0xF0F1, [&](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_SYSCOMMAND && (M.WParam & 0xFFF0) == SC_SIZE) {
      Command = M.WParam;
      return;
    }
    Next(M);
  });
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  EXPECT_TRUE(PumpUntil([&] { return Command != 0; }, 1000));
  MouseButton(MOUSEEVENTF_LEFTUP);
  Pump(40);
  S.F.RemoveWindowHook(0xF0F1);
  EXPECT_EQ(Command & 0xFFF0, static_cast<WPARAM>(SC_SIZE));
  EXPECT_NE(Command & 0x000F, 0u);
  // The sizes the system sets are followed by the frame.
  const RECT Before = WindowRect(S.W());
  S.F.SetBounds(S.F.Left(), S.F.Top(), S.F.Width() + 40, S.F.Height());
  Pump(60);
  const RECT After = WindowRect(S.W());
  EXPECT_EQ(After.right, Before.right + 40);
  EXPECT_EQ(WindowRect(BorderWnd(S.F)), FrameAround(S.W(), *S.P->FCommonData->CommonSkinData()));
  EXPECT_EQ(S.P->Frame->FrameImage()->Width(), FM.Width + 40);
}

TEST(Sizing, WithScreenSnapAMoveNearTheWorkAreasEdgesPutsTheVisibleFrameOnThem) {
  TSizeableScene S;
  ASSERT_TRUE(S.P);
  RECT Work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &Work, 0);
  const TacSkinData& D = *S.P->FCommonData->CommonSkinData();
  // The visible frame's left and top edges against the work area's, for a move of the window to X, Y.
  auto FrameAt = [&](int X, int Y) {
    S.F.SetBounds(X, Y, S.F.Width(), S.F.Height());
    Pump(40);
    const RECT C = ClientOnScreen(S.W());
    return POINT{C.left - D.ExBorderWidth - Work.left, C.top - D.ExTitleHeight - Work.top};
  };
  const POINT Off = FrameAt(200, 150);  // where the frame lies for this window position
  const int X0 = 200 - (Off.x), Y0 = 150 - (Off.y);  // the window position that puts the frame on the corner
  EXPECT_EQ(FrameAt(X0 + 7, Y0 + 9).x, 7);  // no snapping yet
  S.P->ScreenSnap = true;
  POINT F = FrameAt(X0 + 8, Y0 + 9);
  EXPECT_EQ(F.x, 0);
  EXPECT_EQ(F.y, 0);
  F = FrameAt(X0 - 6, Y0 + 30);
  EXPECT_EQ(F.x, 0);
  EXPECT_EQ(F.y, 30);
  F = FrameAt(X0 + 11, Y0 + 11);
  EXPECT_EQ(F.x, 11);
  EXPECT_EQ(F.y, 11);
  // The right edge too.
  const int FrameW = S.F.ClientWidth() + 2 * D.ExBorderWidth;
  F = FrameAt(X0 + (Work.right - Work.left) - FrameW - 5, Y0 + 100);
  EXPECT_EQ(F.x + FrameW, Work.right - Work.left);
  EXPECT_EQ(WindowRect(BorderWnd(S.F)), FrameAround(S.W(), D));
}

TEST(Sizing, ANewDensityRebuildsTheFrameWithTheSkinOfThatDensity) {
  TSizeableScene S;
  ASSERT_TRUE(S.P);
  TacSkinData* D96 = S.M->CommonSkinData(96);
  TacSkinData* D192 = S.M->CommonSkinData(192);
  ASSERT_TRUE(D96 && D192);
  ASSERT_NE(D96->ExTitleHeight, D192->ExTitleHeight);
  const int Paints = S.P->Frame->PaintCount;
  RECT R = WindowRect(S.W());
  R.right = R.left + 2 * (R.right - R.left);
  R.bottom = R.top + 2 * (R.bottom - R.top);
  SendMessageW(S.W(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&R));
  Pump(100);
  EXPECT_EQ(S.P->FCommonData->CommonSkinData(), D192);
  EXPECT_GT(S.P->Frame->PaintCount, Paints);
  HWND B = BorderWnd(S.F);
  ASSERT_TRUE(B && IsWindowVisible(B));
  EXPECT_EQ(WindowRect(B), FrameAround(S.W(), *D192));
  const TacFrameMetrics FM = S.P->Frame->Metrics();
  EXPECT_EQ(FM.TH, D192->ExTitleHeight);
  EXPECT_EQ(S.P->Frame->FrameImage()->Width(), WindowRect(B).right - WindowRect(B).left);
  EXPECT_EQ(RegionBox(B), (RECT{0, 0, FM.Width, FM.Height}));
  // The title buttons are laid out in the new image: the close button ends at its right margin.
  EXPECT_EQ(S.P->Frame->ExHitTest(CentreOf(S.P->Frame->ButtonClose.cpRect)), HTCLOSE);
  EXPECT_EQ(S.P->Frame->ButtonClose.cpRect.bottom - S.P->Frame->ButtonClose.cpRect.top,
            D192->ma[static_cast<size_t>(D192->TitleGlyphs[static_cast<size_t>(S.P->Frame->ButtonClose.cpGlyphType)])].Height);
  // Back at the first density, the frame is the first one again.
  R = WindowRect(S.W());
  R.right = R.left + (R.right - R.left) / 2;
  R.bottom = R.top + (R.bottom - R.top) / 2;
  SendMessageW(S.W(), WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&R));
  Pump(100);
  EXPECT_EQ(S.P->FCommonData->CommonSkinData(), D96);
  EXPECT_EQ(WindowRect(BorderWnd(S.F)), FrameAround(S.W(), *D96));
}

}  // namespace
