// The frame drawn in the window itself instead of by the border window: a
// maximised form under the manager's option for native borders, and any form
// when extended borders are off, with the window region each mode makes.
#include "WindowFixture.h"

#include <cstdlib>

#include "acRegion.h"

namespace {

using namespace cb;
using namespace cb::test;

// The window's region in window coordinates; false when it has none.
bool RegionOf(HWND W, TacRgn& Into) { return Into.ReadFrom(W); }

bool SameRegion(HWND W, const TacRgn& Expected) {
  TacRgn R(0, 0, 0, 0);
  return RegionOf(W, R) && EqualRgn(R.Get(), Expected.Get());
}

// What the window's own non-client area shows, 0x00RRGGBB.
std::vector<std::uint32_t> WindowPicture(HWND W, int& Width, int& Height) {
  const RECT R = WindowRect(W);
  Width = R.right - R.left;
  Height = R.bottom - R.top;
  const int CW = Width, CH = Height;
  return Capture32(CW, CH, [&](HDC DC) {
    HDC WDC = GetWindowDC(W);
    BitBlt(DC, 0, 0, CW, CH, WDC, 0, 0, SRCCOPY);
    ReleaseDC(W, WDC);
  });
}

TEST(NativeFrame, AMaximisedFormUnderTheNativeBordersOptionDrawsItsFrameItselfAndGetsItsBorderWindowBackOnRestore) {
  TSkinnedScene S;
  S.M->Options()->SetNativeBordersMaximized(true);
  TFrameForm F(bsSizeable, biSystemMenu | biMinimize | biMaximize, L"Sizeable", 160, 120);
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  ASSERT_TRUE(P && BorderWnd(F));
  HWND W = F.WindowHandle();
  const RECT Before = WindowRect(W);

  Click(ImageToScreen(*P, CentreOf(P->Frame->ButtonMax.cpRect)));
  ASSERT_TRUE(PumpUntil([&] { return IsZoomed(W) != 0; }));
  Pump(100);
  // No border window; the image is the window's own size, drawn in its frame.
  EXPECT_EQ(BorderOf(F), nullptr);
  EXPECT_EQ(FindWindowW(L"TacGlowForm", nullptr), nullptr);
  const TacFrameMetrics FM = P->Frame->Metrics();
  EXPECT_FALSE(FM.Extended);
  const RECT WR = WindowRect(W);
  ASSERT_TRUE(P->Frame->FrameImage());
  EXPECT_EQ(P->Frame->FrameImage()->Width(), WR.right - WR.left);
  EXPECT_EQ(P->Frame->FrameImage()->Height(), WR.bottom - WR.top);
  EXPECT_EQ(P->Frame->ButtonMax.cpGlyphType, tgNormal);
  // Only the frame beyond the screen's edges is cut away.
  EXPECT_TRUE(SameRegion(W, TacRgn(FM.SF, FM.SF, WR.right - WR.left - FM.SF, WR.bottom - WR.top - FM.SF)));
  // The title bar and its buttons are the image's, on the window.
  int PW = 0, PH = 0;
  const std::vector<std::uint32_t> Pic = WindowPicture(W, PW, PH);
  for (POINT Pt : {CentreOf(P->Frame->ButtonClose.cpRect), CentreOf(P->Frame->ButtonMax.cpRect), POINT{PW / 2, FM.SF + FM.SC / 2},
                   POINT{P->Frame->ButtonClose.cpRect.left + 3, P->Frame->ButtonClose.cpRect.top + 3}})
    EXPECT_EQ(Pic[size_t(Pt.y * PW + Pt.x)], ImagePixel(*P, Pt.x, Pt.y) & 0xFFFFFF) << Pt.x << "," << Pt.y;

  // The restore button, hit in the window's own frame, brings the border window back.
  RECT Restore = P->Frame->ButtonMax.cpRect;
  OffsetRect(&Restore, WR.left, WR.top);
  Click(CentreOf(Restore));
  ASSERT_TRUE(PumpUntil([&] { return IsZoomed(W) == 0; }));
  Pump(100);
  EXPECT_EQ(WindowRect(W).left, Before.left);
  EXPECT_EQ(WindowRect(W).right, Before.right);
  HWND B = BorderWnd(F);
  ASSERT_TRUE(B && IsWindowVisible(B));
  EXPECT_EQ(GetWindow(W, GW_HWNDNEXT), B);
  const TacFrameMetrics N = P->Frame->Metrics();
  EXPECT_TRUE(N.Extended);
  EXPECT_TRUE(SameRegion(W, TacRgn(N.SF, N.SF + N.SC, N.FormW - N.SF, N.FormH - N.SF)));
}

TEST(NativeFrame, WithoutTheOptionAMaximisedFormKeepsItsBorderWindow) {
  TSkinnedScene S;
  TFrameForm F(bsSizeable, biSystemMenu | biMinimize | biMaximize, L"Sizeable", 160, 120);
  ShowAndSettle(F);
  ShowWindow(F.WindowHandle(), SW_MAXIMIZE);
  Pump(120);
  ASSERT_TRUE(IsZoomed(F.WindowHandle()));
  EXPECT_TRUE(BorderWnd(F) && IsWindowVisible(BorderWnd(F)));
  EXPECT_TRUE(ProviderOf(F)->Frame->Metrics().Extended);
}

TEST(NativeFrame, WithoutExtendedBordersTheRegionLeavesOutTheCornersEveryMaskOverThemLeavesClear) {
  TSkinnedScene S;
  S.M->SetExtendedBorders(false);
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  ASSERT_TRUE(P);
  HWND W = F.WindowHandle();
  EXPECT_EQ(BorderOf(F), nullptr);
  const TacFrameMetrics FM = P->Frame->Metrics();
  EXPECT_FALSE(FM.Extended);
  // The title's centre line lies half the caption and half the frame down,
  // and the buttons sit on it.
  EXPECT_EQ(P->Frame->VCenter, FM.SC / 2 + FM.SF / 2);
  const RECT& Close = P->Frame->ButtonClose.cpRect;
  EXPECT_LE(std::abs((Close.top + Close.bottom) / 2 - P->Frame->VCenter), 1);
  // The built-in skin's masks have square corners: the window keeps its rectangle.
  TacRgn None(0, 0, 0, 0);
  EXPECT_FALSE(RegionOf(W, None));

  // Clear corners: top left in both the form's and the title's mask, bottom
  // left in the form's (the title does not reach it), top right in the form's
  // alone (the title's opaque corner lies over it).
  TacSkinData& D = *P->FCommonData->CommonSkinData();
  const int Form = P->FCommonData->SkinIndex(), Title = P->Frame->FTitleSkinIndex;
  ASSERT_GE(Form, 0);
  ASSERT_GE(Title, 0);
  ClearCornerPixel(D, Form, 0);
  ClearCornerPixel(D, Title, 0);
  ClearCornerPixel(D, Form, 2);
  ClearCornerPixel(D, Form, 1);
  P->FCommonData->BGChanged = true;
  const long Regions = TacRgn::Alive();
  F.SetBounds(F.Left(), F.Top(), F.Width() + 10, F.Height());
  Pump(80);
  EXPECT_EQ(TacRgn::Alive(), Regions);  // every temporary region went
  const RECT WR = WindowRect(W);
  const int FW = WR.right - WR.left, FH = WR.bottom - WR.top;
  TacRgn Want(0, 0, FW, FH);
  const TacRgn TL(0, 0, 1, 1), BL(0, FH - 1, 1, FH);
  CombineRgn(Want.Get(), Want.Get(), TL.Get(), RGN_DIFF);
  CombineRgn(Want.Get(), Want.Get(), BL.Get(), RGN_DIFF);
  EXPECT_TRUE(SameRegion(W, Want));
}

TEST(NativeFrame, WithoutExtendedBordersAMaximisedFormLosesOnlyItsFrameBeyondTheScreen) {
  TSkinnedScene S;
  S.M->SetExtendedBorders(false);
  TFrameForm F(bsSizeable, biSystemMenu | biMinimize | biMaximize, L"Sizeable", 160, 120);
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  ASSERT_TRUE(P);
  HWND W = F.WindowHandle();
  ShowWindow(W, SW_MAXIMIZE);
  Pump(120);
  ASSERT_TRUE(IsZoomed(W));
  const TacFrameMetrics FM = P->Frame->Metrics();
  const RECT WR = WindowRect(W);
  EXPECT_TRUE(SameRegion(W, TacRgn(FM.SF, FM.SF, WR.right - WR.left - FM.SF, WR.bottom - WR.top - FM.SF)));
  ShowWindow(W, SW_RESTORE);
  Pump(120);
  TacRgn None(0, 0, 0, 0);
  EXPECT_FALSE(RegionOf(W, None));
}

}  // namespace

namespace {

TEST(NativeFrame, ExtendedBordersSwitchedOffAndOnAtRunTimeTakeAndGiveBackTheBorderWindowAndItsRegion) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  ASSERT_TRUE(P && BorderWnd(F));
  HWND W = F.WindowHandle(), Old = BorderWnd(F);
  S.M->SetExtendedBorders(false);
  Pump(80);
  EXPECT_FALSE(IsWindow(Old));
  EXPECT_EQ(BorderOf(F), nullptr);
  TacRgn None(0, 0, 0, 0);
  EXPECT_FALSE(RegionOf(W, None));  // the skin's square corners: the window's own rectangle
  EXPECT_FALSE(P->Frame->Metrics().Extended);
  S.M->SetExtendedBorders(true);
  Pump(80);
  HWND B = BorderWnd(F);
  ASSERT_TRUE(B && IsWindowVisible(B));
  const TacFrameMetrics FM = P->Frame->Metrics();
  EXPECT_TRUE(SameRegion(W, TacRgn(FM.SF, FM.SF + FM.SC, FM.FormW - FM.SF, FM.FormH - FM.SF)));
}

}  // namespace
