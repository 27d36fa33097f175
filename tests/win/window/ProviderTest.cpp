// The form provider: which title buttons and icon each of the program's
// window kinds gets, the frame image with its shadow and activation looks,
// the region that removes the system frame, and tearing down.
#include "WindowFixture.h"

#include <cmath>
#include <tuple>

#include "acDwm.h"

namespace {

using namespace cb;
using namespace cb::test;

TEST(Provider, EachWindowKindGetsTheTitleButtonsAndIconItsBorderGives) {
  TSkinnedScene S;
  TFrameForm Main(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  TFrameForm About(bsDialog, biSystemMenu, L"关于", 300, 200);
  TFrameForm Ver(bsDialog, 0, L"", 350, 250);
  for (TFrameForm* F : {&Main, &About, &Ver}) ShowAndSettle(*F);
  TsSkinProvider* PM = ProviderOf(Main);
  TsSkinProvider* PA = ProviderOf(About);
  TsSkinProvider* PV = ProviderOf(Ver);
  ASSERT_TRUE(PM && PA && PV);

  // Main window: minimise and close side by side at the right, close drawn as one of a pair; an icon.
  EXPECT_TRUE(PM->Frame->ButtonMin.Visible);
  EXPECT_TRUE(PM->Frame->ButtonClose.Visible);
  EXPECT_FALSE(PM->Frame->ButtonMax.Visible);
  EXPECT_FALSE(PM->Frame->ButtonHelp.Visible);
  EXPECT_EQ(PM->Frame->ButtonClose.cpGlyphType, tgClose);
  EXPECT_EQ(PM->Frame->ButtonMin.cpGlyphType, tgMin);
  EXPECT_EQ(PM->Frame->ButtonMin.cpRect.right, PM->Frame->ButtonClose.cpRect.left);
  EXPECT_EQ(PM->Frame->ButtonMin.cpRect.top, PM->Frame->ButtonClose.cpRect.top);
  EXPECT_EQ(PM->Frame->FIconRect.right - PM->Frame->FIconRect.left, 16);
  EXPECT_EQ(PM->Frame->FIconRect.bottom - PM->Frame->FIconRect.top, 16);

  // About: the close button alone, no icon.
  EXPECT_TRUE(PA->Frame->ButtonClose.Visible);
  EXPECT_FALSE(PA->Frame->ButtonMin.Visible);
  EXPECT_FALSE(PA->Frame->ButtonMax.Visible);
  EXPECT_EQ(PA->Frame->ButtonClose.cpGlyphType, tgCloseAlone);
  EXPECT_EQ(PA->Frame->FIconRect.right, PA->Frame->FIconRect.left);

  // New version: nothing at all in the title.
  for (const TsCaptionButton* B : {&PV->Frame->ButtonClose, &PV->Frame->ButtonMin, &PV->Frame->ButtonMax, &PV->Frame->ButtonHelp})
    EXPECT_FALSE(B->Visible);
  EXPECT_EQ(PV->Frame->FIconRect.right, PV->Frame->FIconRect.left);
}

TEST(Provider, TheFormIsClippedToExactlyItsClientArea) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  HWND W = F.WindowHandle();
  HRGN R = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(W, R), ERROR);
  RECT Box{};
  EXPECT_EQ(GetRgnBox(R, &Box), SIMPLEREGION);
  DeleteObject(R);
  RECT WR{}, CR{};
  GetWindowRect(W, &WR);
  GetClientRect(W, &CR);
  POINT O{0, 0};
  ClientToScreen(W, &O);
  // The system's frame (left, right, bottom) and caption are cut away, nothing of the client.
  const RECT Client{O.x - WR.left, O.y - WR.top, O.x - WR.left + CR.right, O.y - WR.top + CR.bottom};
  EXPECT_EQ(Box.left, Client.left);
  EXPECT_EQ(Box.top, Client.top);
  EXPECT_EQ(Box.right, Client.right);
  EXPECT_EQ(Box.bottom, Client.bottom);
  EXPECT_GT(Box.top, Box.left);  // the caption went too
}

// The built-in skin's generated shadow at the middle of a side, D pixels in
// from the image's outer edge, worked out from its description: radius 17,
// offset 2 (the top starts that much lower), colour black at the given
// opacity; a pixel E from its corner circle's centre has level
// round(255 (R + 1 - E) (1 - E / R) / R) and opacity (colour opacity x level) / 256.
std::uint32_t ShadowAt(int D, bool Top, std::uint32_t Opacity) {
  const int R = 17, O = 2;
  if (Top && D < O) return 0;
  const double E = R - (Top ? D - O : D);
  if (E > R) return 0;
  const int Level = static_cast<int>(std::nearbyint(255.0 * (R + 1 - E) * (1.0 - E / R) / R));
  return ((Opacity * static_cast<std::uint32_t>(Level)) >> 8) << 24;
}

TEST(Provider, TheFrameIsOpaqueAndTheShadowIsTheDescribedOneEvenOnAllSidesInBothStates) {
  TSkinnedScene S;
  TFrameForm A(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  TFrameForm B(bsSingle, biSystemMenu | biMinimize, L"Other", 700, 420);
  ShowAndSettle(A);
  TsSkinProvider* P = ProviderOf(A);
  ASSERT_TRUE(P);
  ASSERT_TRUE(P->Frame->FormActive);
  const TacFrameMetrics FM = P->Frame->Metrics();
  ASSERT_EQ(FM.L, 13);
  ASSERT_EQ(FM.T, 11);
  ASSERT_EQ(FM.R, 13);
  ASSERT_EQ(FM.B, 15);
  auto Check = [&](std::uint32_t Opacity, const char* Which) {
    SCOPED_TRACE(Which);
    const int W = FM.Width, H = FM.Height, MidY = H / 2, MidX = W / 2;
    // Frame corners and middle: opaque.
    EXPECT_EQ(ImagePixel(*P, FM.L, FM.T) >> 24, 0xFFu);
    EXPECT_EQ(ImagePixel(*P, W - FM.R - 1, H - FM.B - 1) >> 24, 0xFFu);
    for (int D = 0; D < 13; ++D) {
      EXPECT_EQ(ImagePixel(*P, D, MidY), ShadowAt(D, false, Opacity)) << D;
      EXPECT_EQ(ImagePixel(*P, W - 1 - D, MidY), ShadowAt(D, false, Opacity)) << D;
    }
    for (int D = 0; D < 11; ++D) EXPECT_EQ(ImagePixel(*P, MidX, D), ShadowAt(D, true, Opacity)) << D;
    for (int D = 0; D < 15; ++D) EXPECT_EQ(ImagePixel(*P, MidX, H - 1 - D), ShadowAt(D, false, Opacity)) << D;
    EXPECT_EQ(ImagePixel(*P, 0, 0), 0u);
  };
  Check(0x99, "active");
  // Another form takes the activation: the shadow goes light, the title grey.
  ShowAndSettle(B);
  EXPECT_FALSE(P->Frame->FormActive);
  if (P->FCommonData->BGChanged) P->Frame->PaintAll();
  Check(0x44, "inactive");

  // A skin with rounded corners: where the form's or the title's mask leaves
  // a corner clear, the shadow shows below it instead of an opaque pixel.
  ShowAndSettle(A);
  TacSkinData& Data = *P->FCommonData->CommonSkinData();
  ClearCornerPixel(Data, P->FCommonData->SkinIndex(), 2);
  P->FCommonData->BGChanged = true;
  P->Frame->PaintAll();
  const int Bottom = FM.Height - FM.B - 1;
  // Black, and darker than the shadow just outside it, as the shadow grows
  // darker towards the frame; the pixels beside it stay opaque.
  const std::uint32_t Corner = ImagePixel(*P, FM.L, Bottom), Outside = ImagePixel(*P, FM.L - 1, Bottom);
  EXPECT_EQ(Corner & 0xFFFFFFu, 0u);
  EXPECT_GT(Outside >> 24, 0u);
  EXPECT_GT(Corner >> 24, Outside >> 24);
  EXPECT_LT(Corner >> 24, 0x99u);
  EXPECT_EQ(ImagePixel(*P, FM.L + 1, Bottom) >> 24, 0xFFu);
  EXPECT_EQ(ImagePixel(*P, FM.L, Bottom - 1) >> 24, 0xFFu);
}

TEST(Provider, WithCompositionOnTheManagerIsToldNotToDrawTheFrame) {
  // The desktop window manager as a recorder, composition on, then off.
  static std::vector<std::tuple<HWND, DWORD, BOOL>> Calls;
  static BOOL Composed;
  Calls.clear();
  const TacDwmEntries Real = DwmEntries();
  DwmEntries().IsCompositionEnabled = [](BOOL* On) -> HRESULT {
    *On = Composed;
    return S_OK;
  };
  DwmEntries().SetWindowAttribute = [](HWND W, DWORD A, LPCVOID V, DWORD Size) -> HRESULT {
    Calls.emplace_back(W, A, Size == sizeof(BOOL) ? *static_cast<const BOOL*>(V) : -1);
    return S_OK;
  };
  {
    TSkinnedScene S;
    Composed = TRUE;
    TFrameForm A(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
    ShowAndSettle(A);
    ASSERT_TRUE(ProviderOf(A));
    ASSERT_FALSE(Calls.empty());
    for (const auto& C : Calls) EXPECT_EQ(C, std::make_tuple(A.WindowHandle(), DWORD{3}, TRUE));
    Calls.clear();
    Composed = FALSE;
    ProviderOf(A)->PrepareForm();
    EXPECT_TRUE(Calls.empty());
  }
  DwmEntries() = Real;
}

// The darkest title pixel inside the caption's rectangle.
int DarkestTitle(TsSkinProvider& P) {
  int Darkest = 255;
  const TacFrameMetrics FM = P.Frame->Metrics();
  int Right = FM.Width - FM.R;
  for (const TsCaptionButton* B : {&P.Frame->ButtonClose, &P.Frame->ButtonMax, &P.Frame->ButtonMin, &P.Frame->ButtonHelp})
    if (B->Visible) Right = std::min<int>(Right, B->cpRect.left);
  for (int Y = FM.T + 4; Y < FM.T + FM.TH - 4; ++Y)
    for (int X = P.Frame->FIconRect.right + 4; X < Right - 4; ++X) {
      const std::uint32_t C = ImagePixel(P, X, Y);
      Darkest = std::min(Darkest, static_cast<int>((C >> 8) & 0xFF));
    }
  return Darkest;
}

TEST(Provider, TheCaptionIsDrawnInTheTitlesActiveAndInactiveColours) {
  TSkinnedScene S;
  TFrameForm A(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  TFrameForm B(bsSingle, biSystemMenu | biMinimize, L"Other", 700, 420);
  ShowAndSettle(A);
  TsSkinProvider* P = ProviderOf(A);
  ASSERT_TRUE(P);
  // FORMTITLE: 0x202020 while active, 0x999999 while not.
  const int ActiveDark = DarkestTitle(*P);
  EXPECT_LT(ActiveDark, 0x60);
  ShowAndSettle(B);
  if (P->FCommonData->BGChanged) P->Frame->PaintAll();
  const int InactiveDark = DarkestTitle(*P);
  EXPECT_GE(InactiveDark, 0x90);
  EXPECT_LT(InactiveDark, 0xF0);  // the text is there
}

TEST(Provider, TheClientAreaIsPaintedFromTheFrameImage) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  F.SetColor(clRed);  // not the skin's: the picture must not come from it
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  ASSERT_TRUE(P);
  const int W = F.ClientWidth(), H = F.ClientHeight();
  const std::vector<std::uint32_t> Pic = Print(F.WindowHandle(), W, H);
  const int OX = P->Frame->OffsetX(), OY = P->Frame->OffsetY();
  for (POINT Pt : {POINT{0, 0}, POINT{W / 2, H / 2}, POINT{W - 1, H - 1}})
    EXPECT_EQ(Pic[size_t(Pt.y * W + Pt.x)], ImagePixel(*P, OX + Pt.x, OY + Pt.y) & 0xFFFFFF) << Pt.x << "," << Pt.y;
  EXPECT_EQ(Pic[size_t(H / 2 * W + W / 2)], 0xFFFFFFu);  // FORM is white
}

TEST(Provider, ActivationMessagesReachTheFormInOrderAndLetItBeDeactivated) {
  TSkinnedScene S;
  TLog Log;
  TFrameForm A(bsSingle, biSystemMenu | biMinimize, L"A");
  TFrameForm B(bsSingle, biSystemMenu | biMinimize, L"B", 700, 420);
  ShowAndSettle(A);
  RecordFrame(&A, Log);
  ShowAndSettle(B);
  EXPECT_EQ(GetActiveWindow(), B.WindowHandle());
  SetForegroundWindow(A.WindowHandle());
  Pump(100);
  EXPECT_EQ(GetActiveWindow(), A.WindowHandle());
  EXPECT_EQ(Log, (TLog{"ncactivate 0", "ncactivate 1"}));
  // The answer lets the system take the activation away.
  EXPECT_EQ(SendMessageW(A.WindowHandle(), WM_NCACTIVATE, FALSE, 0), TRUE);
  A.RemoveWindowHook(0xF0F0);
}

TEST(Provider, DeactivatingTheSkinTakesOffEveryHookInAnyOrderAndGivesTheFrameBack) {
  TSkinnedScene S;
  TLog Log;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  ASSERT_TRUE(ProviderOf(F));
  // A hook above the provider's: the provider's comes off from the middle of the chain.
  RecordFrame(&F, Log);
  HWND Border = BorderWnd(F);
  ASSERT_TRUE(Border && IsWindow(Border));
  for (int I = 0; I < 3; ++I) {
    S.M->SetActive(false);
    EXPECT_FALSE(F.HasWindowHook(TsSkinProvider::HookId));
    EXPECT_EQ(ProviderOf(F), nullptr);
    EXPECT_TRUE(AttachedWindows().empty());
    EXPECT_FALSE(IsWindow(Border));
    HRGN R = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(F.WindowHandle(), R), ERROR);  // the system frame is back
    DeleteObject(R);
    // The recorder above still gets the form's messages.
    Log.clear();
    SendMessageW(F.WindowHandle(), WM_NCACTIVATE, TRUE, 0);
    EXPECT_EQ(Log, TLog{"ncactivate 1"});
    S.M->SetActive(true);
    // A form made before the skin is attached when it is next activated.
    SetForegroundWindow(GetDesktopWindow());
    ShowAndSettle(F);
    ASSERT_TRUE(ProviderOf(F));
    Border = BorderWnd(F);
    EXPECT_TRUE(Border && IsWindowVisible(Border));
  }
  F.RemoveWindowHook(0xF0F0);
}

TEST(Provider, FreeingAFormWhileAButtonFadesStopsTheFadeAndTheBorderWindowFirst) {
  TSkinnedScene S;
  HWND Border = nullptr, W = nullptr;
  for (bool HookHears : {true, false}) {
    auto* F = new TFrameForm(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
    ShowAndSettle(*F);
    TsSkinProvider* P = ProviderOf(*F);
    ASSERT_TRUE(P);
    P->Frame->HandleNCMouseMove(HTCLOSE);
    ASSERT_TRUE(P->Frame->ButtonClose.cpTimer);
    Border = BorderWnd(*F);
    W = F->WindowHandle();
    // The hook hears nothing while the application object is being freed: what
    // it attached must go with the form all the same.
    if (!HookHears) SetCreationHookHandler([](int, WPARAM, LPARAM) {});
    delete F;
    if (!HookHears) InstallFormSkinning();
    // No tick reaches the freed provider; nothing is left behind.
    Pump(150);
    EXPECT_FALSE(IsWindow(W));
    EXPECT_FALSE(IsWindow(Border));
    EXPECT_EQ(FindAttached(W), nullptr);
    EXPECT_TRUE(AttachedWindows().empty());
  }
  // Taking the skin off afterwards finds nothing of the freed forms.
  S.M->SetActive(false);
}

TEST(Provider, AFadeThatEndsClearsItsReference) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay");
  ShowAndSettle(F);
  TsSkinProvider* P = ProviderOf(F);
  ASSERT_TRUE(P);
  MovePointer(5, 5);  // far from the button: the fade up turns round at once
  EXPECT_TRUE(PumpUntil([&] { return P->Frame->CurrentHT == 0 && !P->Frame->ButtonMin.cpTimer; }));
  P->Frame->HandleNCMouseMove(HTMINBUTTON);
  ASSERT_TRUE(P->Frame->ButtonMin.cpTimer);
  EXPECT_TRUE(PumpUntil([&] { return !P->Frame->ButtonMin.cpTimer; }, 2000));
  EXPECT_EQ(P->Frame->ButtonMin.cpState, 0);
  EXPECT_EQ(P->Frame->CurrentHT, 0);
}

}  // namespace
