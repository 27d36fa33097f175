// The skinned push button: a real button window drawn by the control, under
// real pointer and keyboard input.
#include "ControlsFixture.h"
#include "sButton.h"
#include "tests/support/ScopedHook.h"

namespace {

using namespace cb;
using namespace cb::test;

// A form whose picture is not ready: its children must wait.
class TNotReadyForm : public TTestForm {
public:
  using TTestForm::TTestForm;
  bool NotReady = false;

protected:
  void WndProc(TMessage& M) override {
    if (NotReady && M.Msg == SKM_COMMAND && CommandOf(M.WParam) == SKC_GETBG && M.LParam) {
      reinterpret_cast<TacBGRequest*>(M.LParam)->BGKind = btNotReady;
      return;
    }
    TTestForm::WndProc(M);
  }
};

struct TButtonScene {
  TNotReadyForm F{nullptr};
  TsButton* Ok = new TsButton(&F);
  TsButton* Update = new TsButton(&F);
  std::unique_ptr<TsSkinManager> M;
  TLog Log;
  TButtonScene() {
    F.Font()->SetName(L"微软雅黑");
    F.Font()->SetHeight(-12);
    Ok->SetBounds(40, 40, 75, 25);
    Ok->SetCaption(L"确定");
    Ok->SetTabOrder(0);
    Ok->SetParent(&F);
    Update->SetBounds(140, 40, 75, 25);
    Update->SetCaption(L"立即更新");
    Update->SetTabOrder(1);
    Update->SetParent(&F);
    F.HandleNeeded();
    Ok->SkinData()->Loaded();
    Update->SkinData()->Loaded();
    M = MakeManager();
    Ok->OnClick = [this](TObject*) { Log.push_back("click ok"); };
    Update->OnClick = [this](TObject*) { Log.push_back("click update"); };
    F.Show();
    SetForegroundWindow(F.Handle());
    Pump(60);
  }
  ~TButtonScene() { PressPointer(false); }
};

void Key(WORD VK, bool Down) {
  INPUT In{};
  In.type = INPUT_KEYBOARD;
  In.ki.wVk = VK;
  In.ki.dwFlags = Down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &In, sizeof In);
}

TEST(Button, EnterPressDragOutAndBackThenReleaseClicksOnceAndEndsHot) {
  TButtonScene S;
  TLog Looks;
  TScopedHook Hook(S.Ok, 0x5EC, [&](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == BM_GETSTATE) return Next(M);  // asked by CurrentState itself
    const int Before = S.Ok->CurrentState();
    Next(M);
    if (S.Ok->CurrentState() != Before) Looks.push_back("state " + std::to_string(S.Ok->CurrentState()));
  });
  PointAt(S.Ok, 30, 12);
  ASSERT_TRUE(PumpUntil([&] { return S.Ok->CurrentState() == 1; }));
  PressPointer(true);
  ASSERT_TRUE(PumpUntil([&] { return S.Ok->CurrentState() == 2; }));
  PointAt(S.Ok, 30, 80);
  ASSERT_TRUE(PumpUntil([&] { return S.Ok->CurrentState() != 2; })) << "held outside: not pressed";
  PointAt(S.Ok, 30, 12);
  ASSERT_TRUE(PumpUntil([&] { return S.Ok->CurrentState() == 2; }));
  PressPointer(false);
  ASSERT_TRUE(PumpUntil([&] { return !S.Log.empty(); }));
  Pump(60);
  EXPECT_EQ(S.Log, (TLog{"click ok"}));
  EXPECT_EQ(S.Ok->CurrentState(), 1);
  // The looks in order (a change seen from nested messages counts once).
  Looks.erase(std::unique(Looks.begin(), Looks.end()), Looks.end());
  ASSERT_GE(Looks.size(), 4u);
  EXPECT_EQ(TLog(Looks.end() - 4, Looks.end()), (TLog{"state 2", "state 1", "state 2", "state 1"}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(Button, AQuickClickShowsThePressedLookForAtLeast30Ms) {
  TButtonScene S;
  PointAt(S.Ok, 30, 12);
  ASSERT_TRUE(PumpUntil([&] { return FadesSettled(*S.Ok->SkinData()); }));
  std::vector<std::pair<int, DWORD>> Painted;  // the look of each paint and when
  DWORD UpAt = 0, UpDone = 0;
  TScopedHook Hook(S.Ok, 0x5EC, [&](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_PAINT) Painted.push_back({S.Ok->PaintedState(), GetTickCount()});
    if (M.Msg == WM_LBUTTONUP) UpAt = GetTickCount();
    Next(M);
    if (M.Msg == WM_LBUTTONUP) UpDone = GetTickCount();
  });
  PressPointer(true);
  PressPointer(false);  // released before the press fade could finish
  ASSERT_TRUE(PumpUntil([&] { return !S.Log.empty(); }));
  ASSERT_TRUE(std::any_of(Painted.begin(), Painted.end(), [&](auto& P) { return P.first == 2 && P.second >= UpAt; }))
      << "the pressed look painted during the release";
  EXPECT_GE(UpDone - UpAt, 30u);
  EXPECT_EQ(S.Log, (TLog{"click ok"}));
}

TEST(Button, TabDrawsTheFocusRectangleAroundTheCaptionAndSpaceClicks) {
  TButtonScene S;
  PointAt(&S.F, 300, 200);
  S.Ok->SetFocus();
  Pump(30);
  ASSERT_TRUE(S.Ok->Focused());
  Key(VK_TAB, true);
  Key(VK_TAB, false);
  ASSERT_TRUE(PumpUntil([&] { return S.Update->Focused(); })) << "the tab order moves on";
  S.Update->PrepareCache();
  const RECT C = S.Update->LastCaptionRect(), F = S.Update->LastFocusRect();
  EXPECT_TRUE(F.left < C.left && F.right > C.right && F.top <= C.top && F.bottom >= C.bottom);
  EXPECT_EQ(S.Update->CurrentState(), 1) << "focused: the hot look";
  // Space: pressed while down, the click on release.
  Key(VK_SPACE, true);
  ASSERT_TRUE(PumpUntil([&] { return S.Update->CurrentState() == 2; }));
  Key(VK_SPACE, false);
  ASSERT_TRUE(PumpUntil([&] { return !S.Log.empty(); }));
  EXPECT_EQ(S.Log, (TLog{"click update"}));
  EXPECT_NE(S.Update->CurrentState(), 2);
  // No caption, no focus rectangle.
  S.Update->SetCaption(L"");
  S.Update->PrepareCache();
  const RECT None = S.Update->LastFocusRect();
  EXPECT_EQ(None.right - None.left, 0);
  // However small the button, the rectangle stays inside its picture; with
  // no room inside the three-pixel margins nothing is drawn.
  S.Update->SetCaption(L"立即更新");
  for (int H = 1; H <= 4; ++H)
    for (int W = 1; W <= 4; ++W) {
      S.Update->SetBounds(140, 40, W, H);
      ASSERT_TRUE(S.Update->Focused());
      S.Update->SetShowFocus(false);
      ASSERT_TRUE(S.Update->PrepareCache());
      const std::vector<std::uint32_t> Without = CachePixels(*S.Update->SkinData());
      S.Update->SetShowFocus(true);
      ASSERT_TRUE(S.Update->PrepareCache());
      const RECT F = S.Update->LastFocusRect();
      EXPECT_TRUE(F.left >= 0 && F.top >= 0 && F.left <= F.right && F.top <= F.bottom && F.right <= W && F.bottom <= H)
          << W << "x" << H;
      EXPECT_EQ(CachePixels(*S.Update->SkinData()), Without) << W << "x" << H;
    }
}

// The binding forgets the pointer on an enabled change, so the next press
// comes without an enter: it is a press all the same. A release over the
// button of a press made elsewhere is not the button's: no click, and the
// platform does not see it.
TEST(Button, APressWithoutAnEnterIsPressedAndAReleaseWithoutAPressStopsThere) {
  TButtonScene S;
  TLog Ups;
  S.Ok->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { Ups.push_back("up"); };
  PointAt(S.Ok, 30, 12);
  ASSERT_TRUE(PumpUntil([&] { return S.Ok->CurrentState() == 1 && FadesSettled(*S.Ok->SkinData()); }));
  S.Ok->SetEnabled(false);
  S.Ok->SetEnabled(true);
  Pump(30);
  ASSERT_FALSE(S.Ok->SkinData()->FMouseAbove);
  PressPointer(true);
  EXPECT_TRUE(PumpUntil([&] { return S.Ok->CurrentState() == 2; }, 500)) << "pressed";
  PressPointer(false);
  ASSERT_TRUE(PumpUntil([&] { return !S.Log.empty(); }));
  EXPECT_EQ(S.Log, (TLog{"click ok"}));
  EXPECT_EQ(Ups, (TLog{"up"}));
  S.Log.clear();
  Ups.clear();
  PointAt(&S.F, 300, 200);
  PressPointer(true);
  Pump(30);
  PointAt(S.Ok, 30, 12);
  ASSERT_TRUE(PumpUntil([&] { return S.Ok->SkinData()->FMouseAbove; }));
  PressPointer(false);
  Pump(60);
  EXPECT_TRUE(S.Log.empty());
  EXPECT_TRUE(Ups.empty()) << "the release went on to the platform";
  EXPECT_NE(S.Ok->CurrentState(), 2);
  EXPECT_EQ(GetCapture(), nullptr);
}

// The looks by the numbers they are made of: the caption's shift when pressed,
// the hot face (the section's hot gradient, opaque), and the disabled face
// (the normal face mixed with the form's colour under it).
TEST(Button, PressedHotAndDisabledLooksAreTheirNumbers) {
  TButtonScene S;
  PointAt(&S.F, 300, 200);
  S.M->AnimEffects()->Buttons()->SetEvents(0);
  SetFocus(nullptr);
  Pump(20);
  TsButton* B = S.Ok;
  TsCommonData& SD = *B->SkinData();
  const int W = B->Width(), H = B->Height();
  auto Look = [&] {
    EXPECT_TRUE(B->PrepareCache());
    return CachePixels(SD);
  };
  const std::vector<std::uint32_t> Normal = Look();
  const RECT Up = B->LastCaptionRect();
  B->SetDown(true);
  Look();
  EXPECT_EQ(B->LastCaptionRect().left, Up.left + 1);
  EXPECT_EQ(B->LastCaptionRect().top, Up.top + 1);
  B->SetDown(false);
  auto OffCaption = [&](int X, int Y) {
    return X < Up.left - 2 || X >= Up.right + 2 || Y < Up.top - 2 || Y >= Up.bottom + 2;
  };
  auto Face = [&](int X, int Y) { return X >= 2 && Y >= 2 && X < W - 2 && Y < H - 2 && OffCaption(X, Y); };
  SD.FMouseAbove = true;
  ASSERT_EQ(B->PaintedState(), 1);
  const std::vector<std::uint32_t> Hot = Look();
  SD.FMouseAbove = false;
  // HOTGRADIENTDATA of BUTTON in the built-in skin: 16710384 down to 16511708.
  int Checked = 0;
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) {
      if (!Face(X, Y)) continue;
      ++Checked;
      ASSERT_EQ(Hot[size_t(Y * W + X)], GradientRow(16710384, 16511708, Y, H)) << X << "," << Y;
    }
  EXPECT_GT(Checked, W * H / 3);
  B->SetEnabled(false);
  const std::vector<std::uint32_t> Disabled = Look();
  const std::uint32_t Form = PixelOf(GetSysColor(COLOR_BTNFACE));
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) {
      if (!OffCaption(X, Y)) continue;
      ASSERT_EQ(Disabled[size_t(Y * W + X)], DisabledMix(Normal[size_t(Y * W + X)], Form)) << X << "," << Y;
    }
}

// The pointer leaves while the hot look is still fading in: the fade back
// starts part way and ends in fewer steps; the window must end on the rest
// look, not on the fade's last step.
TEST(Button, AFadeTurnedRoundEndsOnTheRestLook) {
  TButtonScene S;
  PointAt(&S.F, 300, 200);
  Pump(30);
  TsCommonData& SD = *S.Update->SkinData();
  ASSERT_TRUE(PumpUntil([&] { return FadesSettled(SD); }));
  const std::vector<std::uint32_t> Rest = OnScreen(S.Update);
  S.Update->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(SD.AnimTimer() && SD.AnimTimer()->Enabled());
  SD.AnimTimer()->Tick();
  SD.AnimTimer()->Tick();
  S.Update->Perform(CM_MOUSELEAVE);
  for (int I = 0; I < 100 && SD.AnimTimer() && SD.AnimTimer()->Enabled(); ++I) SD.AnimTimer()->Tick();
  ASSERT_TRUE(FadesSettled(SD));
  Pump(30);
  EXPECT_EQ(S.Update->CurrentState(), 0);
  const std::vector<std::uint32_t> End = OnScreen(S.Update);
  int Differing = 0;
  for (size_t I = 0; I < Rest.size(); ++I) Differing += Rest[I] != End[I];
  EXPECT_EQ(Differing, 0) << "the fade's last step stayed on the screen";
}

TEST(Button, ADefaultButtonIsPaintedHotWhenTheSectionHasThreeStates) {
  TButtonScene S;
  S.Ok->SetDefault(true);
  PointAt(&S.F, 300, 200);
  S.Update->SetFocus();
  Pump(20);
  EXPECT_EQ(S.Ok->CurrentState(), 3);
  EXPECT_EQ(S.Ok->PaintedState(), 1);
  EXPECT_EQ(GetWindowLongW(S.Ok->Handle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << "still drawn by the control";
}

TEST(Button, APaintThatMustWaitForTheParentStillValidatesTheWindow) {
  TButtonScene S;
  int Paints = 0;
  TScopedHook Hook(S.Ok, 0x5EC, [&](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_PAINT) ++Paints;
    Next(M);
  });
  S.F.NotReady = true;
  S.Ok->SkinData()->BGChanged = true;
  InvalidateRect(S.Ok->Handle(), nullptr, TRUE);
  Pump(200);
  EXPECT_LE(Paints, 2) << "WM_PAINT does not repeat";
  RECT U;
  EXPECT_FALSE(GetUpdateRect(S.Ok->Handle(), &U, FALSE));
  // Still waiting (the binding marked as updating): validated all the same.
  ASSERT_TRUE(S.Ok->SkinData()->FUpdating);
  Paints = 0;
  InvalidateRect(S.Ok->Handle(), nullptr, TRUE);
  Pump(200);
  EXPECT_LE(Paints, 2) << "WM_PAINT does not repeat";
  EXPECT_FALSE(GetUpdateRect(S.Ok->Handle(), &U, FALSE));
}

void ButtonLooksAt(int PPI) {
  TButtonScene S;
  PointAt(&S.F, 300, 200);
  S.M->AnimEffects()->Buttons()->SetEvents(0);
  if (PPI != 96) {
    S.F.ScaleForPPI(PPI);
    SendSkinCommand(S.Ok, SKC_SCALECHANGED, PPI);
    Pump(30);
  }
  SetFocus(nullptr);
  Pump(20);
  TSheet Sheet{S.Ok->Width(), S.Ok->Height(), {}};
  auto Shot = [&] {
    S.Ok->SkinData()->BGChanged = true;
    Sheet.Pieces.push_back(Print(S.Ok->Handle(), S.Ok->Width(), S.Ok->Height()));
  };
  Shot();
  S.Ok->SkinData()->FMouseAbove = true;
  Shot();
  S.Ok->SkinData()->FMouseAbove = false;
  S.Ok->SetDown(true);
  Shot();
  S.Ok->SetDown(false);
  S.Ok->SetFocus();
  Pump(20);
  Shot();
  EXPECT_NE(Sheet.Pieces[0], Sheet.Pieces[1]);
  EXPECT_NE(Sheet.Pieces[1], Sheet.Pieces[2]);
  EXPECT_NE(Sheet.Pieces[1], Sheet.Pieces[3]) << "the focus rectangle";
  ExpectAsAccepted("button_" + std::to_string(PPI), Sheet);
}

TEST(Button, RegressionGuardNormalHotPressedAndFocusedAsAcceptedAt96Dpi) { ButtonLooksAt(96); }
TEST(Button, RegressionGuardNormalHotPressedAndFocusedAsAcceptedAt192Dpi) { ButtonLooksAt(192); }

}  // namespace
