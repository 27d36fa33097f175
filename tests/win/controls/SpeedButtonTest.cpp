// The skinned speed button under real pointer input: the order of what it
// receives and the looks it goes through, the hint rules, and its exact
// pictures in every state at two densities.
#include "ControlsFixture.h"
#include "sSpeedButton.h"
#include "skin/paint/SkinColors.h"

namespace {

using namespace cb;
using namespace cb::test;

// Exposes the pressed state for the pictures.
class TProbeButton : public TsSpeedButton {
public:
  using TsSpeedButton::TsSpeedButton;
  void SetPressed(bool Value) { FState = Value ? bsDown : bsUp; }
};

struct TButtonScene {
  TTestForm F{nullptr};
  TProbeButton* A = new TProbeButton(&F);
  TProbeButton* B = new TProbeButton(&F);
  TTestPanel* Panel = new TTestPanel(&F);
  TProbeButton* OnPanel = new TProbeButton(&F);
  std::unique_ptr<TsSkinManager> M;
  TButtonScene() {
    F.Font()->SetName(L"微软雅黑");
    F.Font()->SetHeight(-12);
    A->SetBounds(20, 20, 66, 22);
    A->SetCaption(L"3D建模");
    A->SetParent(&F);
    B->SetBounds(88, 20, 66, 22);  // its neighbour, two pixels away
    B->SetCaption(L"相机");
    B->SetParent(&F);
    Panel->SetBounds(20, 80, 200, 60);
    Panel->SetParent(&F);
    OnPanel->SetBounds(10, 19, 87, 22);
    OnPanel->SetCaption(L"截图和草图");
    OnPanel->SetParent(Panel);
    F.HandleNeeded();
    for (TProbeButton* Btn : {A, B, OnPanel}) Btn->SkinData()->Loaded();
    Panel->SD.Loaded();
    M = MakeManager();
    // A gradient under the panel's button: its background is not one colour.
    Panel->SD.SetSkinSection(L"BUTTON");
    F.Show();
    SetForegroundWindow(F.Handle());
    Pump(80);
  }
  ~TButtonScene() {
    PressPointer(false);
    M.reset();
  }
  bool Settled() {
    return FadesSettled(*A->SkinData()) && FadesSettled(*B->SkinData()) && FadesSettled(*OnPanel->SkinData());
  }
};

// Logs the notices and presses a button receives, the looks it goes to and its clicks.
void Watch(TProbeButton* Btn, TLog& Log) {
  Btn->AddWindowHook(0x5EC, [&Log, Btn](TMessage& M, const TWindowHookNext& Next) {
    const int Before = Btn->CurrentState();
    switch (M.Msg) {
      case CM_MOUSEENTER:
        if (IsOwnMouseNotice(Btn, M)) Log.push_back("enter");
        break;
      case CM_MOUSELEAVE:
        if (IsOwnMouseNotice(Btn, M)) Log.push_back("leave");
        break;
      case WM_LBUTTONDOWN: Log.push_back("down"); break;
      case WM_LBUTTONUP: Log.push_back("up"); break;
      case WM_CANCELMODE: Log.push_back("cancel"); break;
      default: break;
    }
    Next(M);
    if (Btn->CurrentState() != Before) Log.push_back("state " + std::to_string(Btn->CurrentState()));
  });
  Btn->OnClick = [&Log](TObject*) { Log.push_back("click"); };
}

TEST(SpeedButton, APressDraggedOutAndBackIsPressedAgainAndClicksOnceOnRelease) {
  TLog Log;
  TButtonScene S;
  Watch(S.A, Log);
  PointAt(S.A, 30, 11);
  ASSERT_TRUE(PumpUntil([&] { return S.A->CurrentState() == 1; })) << "hot under the pointer";
  PressPointer(true);
  ASSERT_TRUE(PumpUntil([&] { return S.A->CurrentState() == 2; }));
  PointAt(S.A, 30, 60);  // dragged out, still held
  ASSERT_TRUE(PumpUntil([&] { return S.A->CurrentState() == 0; })) << "held outside: the normal look";
  PointAt(S.A, 40, 11);
  ASSERT_TRUE(PumpUntil([&] { return S.A->CurrentState() == 2; })) << "back inside: pressed again";
  PressPointer(false);
  ASSERT_TRUE(PumpUntil([&] { return S.A->CurrentState() == 1; }));
  EXPECT_EQ(Log, (TLog{"enter", "state 1", "down", "state 2", "state 0", "state 2", "up", "click", "state 1"}));
  EXPECT_EQ(GetCapture(), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return S.Settled(); }));
}

TEST(SpeedButton, AReleaseOutsideEndsNormalWithoutClickOrCaptureOrHeldHints) {
  TLog Log;
  TButtonScene S;
  Watch(S.A, Log);
  Application->SetShowHint(true);
  PointAt(S.A, 30, 11);
  PressPointer(true);
  ASSERT_TRUE(PumpUntil([&] { return S.A->CurrentState() == 2; }));
  EXPECT_FALSE(Application->ShowHint()) << "no hints while a button is held";
  EXPECT_EQ(TsSpeedButton::HintHolder(), S.A);
  PointAt(&S.F, 300, 200);
  PressPointer(false);
  ASSERT_TRUE(PumpUntil([&] { return S.F.CaptureControl() == nullptr && S.Settled(); }));
  Pump(50);
  EXPECT_EQ(S.A->CurrentState(), 0);
  EXPECT_EQ(S.A->State(), bsUp);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(Application->ShowHint()) << "hints back after release";
  EXPECT_EQ(std::count(Log.begin(), Log.end(), "click"), 0);
  EXPECT_EQ(Log.back(), "leave");
  EXPECT_EQ(S.M->ActiveGraphControl(), nullptr);
}

TEST(SpeedButton, LosingTheCaptureOrGoingWhileHeldGivesTheHintsBack) {
  TButtonScene S;
  TLog Log;
  Watch(S.A, Log);
  Application->SetShowHint(true);
  PointAt(S.A, 30, 11);
  PressPointer(true);
  ASSERT_TRUE(PumpUntil([&] { return S.A->CurrentState() == 2; }));
  ASSERT_FALSE(Application->ShowHint());
  // Something else takes the capture (a menu, a dialog) while the button is held.
  TTestForm Other(nullptr);
  Other.HandleNeeded();
  SetCapture(Other.Handle());
  Pump(30);
  EXPECT_TRUE(Application->ShowHint());
  EXPECT_NE(S.A->CurrentState(), 2) << "no pressed look without the press";
  EXPECT_NE(std::find(Log.begin(), Log.end(), "cancel"), Log.end());
  ReleaseCapture();
  PressPointer(false);
  Pump(30);

  // Freed while held: the setting it saved comes back.
  PointAt(S.B, 30, 11);
  PressPointer(true);
  ASSERT_TRUE(PumpUntil([&] { return S.B->CurrentState() == 2; }));
  ASSERT_FALSE(Application->ShowHint());
  delete S.B;
  S.B = nullptr;
  EXPECT_TRUE(Application->ShowHint());
  EXPECT_EQ(TsSpeedButton::HintHolder(), nullptr);
  PressPointer(false);
  Pump(30);
}

TEST(SpeedButton, AQuickMoveToTheNeighbourLeavesExactlyOneHot) {
  TButtonScene S;
  TLog LogA, LogB;
  Watch(S.A, LogA);
  Watch(S.B, LogB);
  PointAt(&S.F, 300, 200);
  ASSERT_TRUE(PumpUntil([&] { return S.Settled(); }));
  LogA.clear();
  LogB.clear();
  const std::vector<std::uint32_t> Normal = Print(S.F.Handle(), S.F.ClientWidth(), S.F.ClientHeight());
  // Into A and straight on into B, with no time for A's fade in between.
  const TPoint PA = S.A->ClientToScreen(TPoint(60, 11)), PB = S.B->ClientToScreen(TPoint(4, 11));
  MovePointer(PA.X, PA.Y);
  Pump(15);
  MovePointer(PB.X, PB.Y);
  ASSERT_TRUE(PumpUntil([&] { return S.B->CurrentState() == 1 && S.Settled(); }));
  EXPECT_EQ(S.A->CurrentState(), 0);
  EXPECT_EQ(S.M->ActiveGraphControl(), S.B);
  EXPECT_EQ(LogA, (TLog{"enter", "state 1", "leave", "state 0"}));
  EXPECT_EQ(LogB, (TLog{"enter", "state 1"}));
  const int W = S.F.ClientWidth();
  const std::vector<std::uint32_t> Now = Print(S.F.Handle(), W, S.F.ClientHeight());
  EXPECT_EQ(Crop(Now, W, 20, 20, 66, 22), Crop(Normal, W, 20, 20, 66, 22)) << "A shows its normal look exactly";
  EXPECT_NE(Crop(Now, W, 88, 20, 66, 22), Crop(Normal, W, 88, 20, 66, 22)) << "B shows its hot look";
}

// Builds the look of a state as a paint does (a state change marks the cache changed).
std::vector<std::uint32_t> LookOf(TProbeButton* Btn, int State) {
  Btn->SkinData()->FMouseAbove = State == 1;
  Btn->SetPressed(State == 2);
  Btn->SkinData()->BGChanged = true;
  EXPECT_TRUE(Btn->PrepareCache());
  return CachePixels(*Btn->SkinData());
}

// Whether a pixel lies clear of a caption (and of the text's shadows).
bool OffCaption(const RECT& Caption, int X, int Y) {
  return X < Caption.left - 2 || X >= Caption.right + 2 || Y < Caption.top - 2 || Y >= Caption.bottom + 2;
}

// Hovers to and fro under the pointer paint each look once; later ones copy it.
TEST(SpeedButton, HoversToAndFroPaintEachLookOnce) {
  TButtonScene S;
  PointAt(&S.F, 300, 200);
  ASSERT_TRUE(PumpUntil([&] { return S.Settled(); }));
  const int Before = S.A->LooksPainted();
  int AfterFirst = 0;
  for (int Round = 0; Round < 3; ++Round) {
    PointAt(S.A, 30, 11);
    ASSERT_TRUE(PumpUntil([&] { return S.A->CurrentState() == 1 && S.Settled(); }));
    PointAt(&S.F, 300, 200);
    ASSERT_TRUE(PumpUntil([&] { return S.A->CurrentState() == 0 && S.Settled(); }));
    if (Round == 0) {
      AfterFirst = S.A->LooksPainted();
      EXPECT_GE(AfterFirst - Before, 1) << "the hot look is painted once";
    }
  }
  EXPECT_EQ(S.A->LooksPainted(), AfterFirst) << "nothing changed but the look";
}

// A kept look is dropped by every change of what it was painted from: the next
// build paints again and shows the change; a look built afresh equals it.
TEST(SpeedButton, AKeptLookIsPaintedAgainAfterEachChangeOfItsInputs) {
  TButtonScene S;
  PointAt(&S.F, 300, 200);
  ASSERT_TRUE(PumpUntil([&] { return S.Settled(); }));
  TProbeButton* A = S.A;
  auto Repainted = [&](const char* What, auto&& Change) {
    const std::vector<std::uint32_t> Hot = LookOf(A, 1), Normal = LookOf(A, 0);
    EXPECT_EQ(LookOf(A, 1), Hot) << What << ": unchanged, the kept look";
    const int N = A->LooksPainted();
    LookOf(A, 1);
    LookOf(A, 0);
    EXPECT_EQ(A->LooksPainted(), N) << What << ": both looks kept";
    Change();
    Pump(20);  // a change may repaint the button's normal look on its own
    const int M = A->LooksPainted();
    const std::vector<std::uint32_t> After = LookOf(A, 1);
    EXPECT_EQ(A->LooksPainted(), M + 1) << What << ": the hot look painted again";
    return std::make_pair(Hot, After);
  };
  Repainted("the background changed", [&] { SendSkinCommand(A, SKC_BGCHANGED); });
  Repainted("a skin refresh", [&] { SendSkinCommand(A, SKC_REFRESH, reinterpret_cast<LPARAM>(S.M.get())); });
  Repainted("the skin's font", [&] { SendSkinCommand(A, SKC_FONTCHANGED, reinterpret_cast<LPARAM>(S.M.get())); });
  auto [Before, Wider] = Repainted("a size change", [&] { A->SetWidth(70); });
  EXPECT_EQ(A->SkinData()->CacheBmp()->Width(), 70);
  EXPECT_NE(Before.size(), Wider.size());
  A->SetWidth(66);
  // The caption's change shows: the hot look of B's caption, as B paints it.
  auto [Old, New] = Repainted("a caption change", [&] { A->SetCaption(S.B->Caption()); });
  EXPECT_NE(Old, New);
  EXPECT_EQ(New, LookOf(S.B, 1)) << "the same look as the button that has that caption";
  Repainted("a font change", [&] { A->Font()->SetHeight(-14); });
  Repainted("a text property", [&] { A->SetTextOffset(2); });
  Repainted("a colour tone", [&] { A->SkinData()->FColorTone = 0x0000FF; });
  A->SkinData()->FColorTone = 0x1FFFFFFF;
  // Disabled, it has no hot look: its normal look is dimmed over the form's
  // colour, face and all, not the kept look with a paler caption.
  const std::vector<std::uint32_t> Normal = LookOf(A, 0);
  const RECT Caption = A->LastCaptionRect();
  A->SetEnabled(false);
  const std::vector<std::uint32_t> Dimmed = LookOf(A, 0);
  const std::uint32_t Form = PixelOf(GetSysColor(COLOR_BTNFACE));
  for (int Y = 0; Y < A->Height(); ++Y)
    for (int X = 0; X < A->Width(); ++X) {
      const size_t I = size_t(Y * A->Width() + X);
      if (!OffCaption(Caption, X, Y)) continue;
      ASSERT_EQ(Dimmed[I], DisabledMix(Normal[I], Form)) << X << "," << Y;
    }
  A->SetEnabled(true);
  EXPECT_EQ(LookOf(A, 0), Normal);
  // The panel's picture changes under its button without a word: the key sees it.
  TProbeButton* P = S.OnPanel;
  const std::vector<std::uint32_t> OnGradient = LookOf(P, 0);
  const int N = P->LooksPainted();
  LookOf(P, 0);
  EXPECT_EQ(P->LooksPainted(), N);
  S.Panel->SD.CacheBmp()->Bmp().Fill(0xFF205080);
  const std::vector<std::uint32_t> OnBlue = LookOf(P, 0);
  EXPECT_EQ(P->LooksPainted(), N + 1);
  EXPECT_NE(OnBlue, OnGradient);
}

TEST(SpeedButton, TheCaptionMovesOneDownRightWhenPressedOnlyIfTheSkinAsks) {
  TButtonScene S;
  S.A->Repaint();
  Pump(20);
  const RECT Up = S.A->LastCaptionRect();
  EXPECT_GT(Up.right - Up.left, 0);
  S.A->SetPressed(true);
  ASSERT_TRUE(S.A->PrepareCache());
  RECT Pressed = S.A->LastCaptionRect();
  EXPECT_EQ(Pressed.left, Up.left + 1);
  EXPECT_EQ(Pressed.top, Up.top + 1);
  S.M->ButtonsOptions()->SetShiftContentOnClick(false);
  ASSERT_TRUE(S.A->PrepareCache());
  Pressed = S.A->LastCaptionRect();
  EXPECT_EQ(Pressed.left, Up.left);
  EXPECT_EQ(Pressed.top, Up.top);
  // Left-aligned, the caption starts at the margin (scaled Margin + 3, or 0
  // without one), whatever the text's own alignment.
  S.A->SetPressed(false);
  S.A->SetAlignment(taLeftJustify);
  for (int Margin : {-1, 2}) {
    S.A->SetMargin(Margin);
    ASSERT_TRUE(S.A->PrepareCache());
    EXPECT_EQ(S.A->LastCaptionRect().left, Margin < 0 ? 0 : Margin + 3) << "margin " << Margin;
  }
}

// The looks by the numbers they are made of. Hot: the section's hot gradient,
// half transparent over the form's colour. Disabled: an opaque face over the
// panel's gradient keeps 100 of 256 parts, the picture under it gives the rest.
TEST(SpeedButton, HotAndDisabledFacesAreTheirNumbers) {
  TButtonScene S;
  PointAt(&S.F, 300, 200);
  ASSERT_TRUE(PumpUntil([&] { return S.Settled(); }));
  TProbeButton* A = S.A;
  const int W = A->Width(), H = A->Height();
  const std::vector<std::uint32_t> Hot = LookOf(A, 1);
  const RECT Caption = A->LastCaptionRect();
  const std::uint32_t Form = PixelOf(GetSysColor(COLOR_BTNFACE));
  // SPEEDBUTTON of the built-in skin, hot: HOTTRANSPARENCY 50 (the form keeps
  // 50 * 255 / 100 = 127 parts), HOTGRADIENTDATA 16644331 down to 16445654.
  int Checked = 0;
  for (int Y = 2; Y < H - 2; ++Y)
    for (int X = 2; X < W - 2; ++X) {
      if (!OffCaption(Caption, X, Y)) continue;
      ++Checked;
      ASSERT_EQ(Hot[size_t(Y * W + X)], Mix256(Form, GradientRow(16644331, 16445654, Y, H), 127)) << X << "," << Y;
    }
  EXPECT_GT(Checked, W * H / 5);

  TProbeButton* P = S.OnPanel;
  P->SkinData()->SetSkinSection(L"BUTTON");
  const std::vector<std::uint32_t> Normal = LookOf(P, 0);
  const RECT PCaption = P->LastCaptionRect();
  P->SetEnabled(false);
  const std::vector<std::uint32_t> Dimmed = LookOf(P, 0);
  const Bitmap32& Under = S.Panel->SD.CacheBmp()->Bmp();
  int Opaque = 0;
  for (int Y = 0; Y < P->Height(); ++Y)
    for (int X = 0; X < P->Width(); ++X) {
      if (!OffCaption(PCaption, X, Y)) continue;
      const size_t I = size_t(Y * P->Width() + X);
      const std::uint32_t U = Under.Pixel(P->Left() + X, P->Top() + Y) & 0xFFFFFF;
      Opaque += Normal[I] != U;
      ASSERT_EQ(Dimmed[I], DisabledMix(Normal[I], U)) << X << "," << Y;
    }
  EXPECT_GT(Opaque, P->Width() * P->Height() / 4) << "the face is not the panel's picture";
}

// A muted caption: the face as it was, and where the caption was solid in the
// skin's font colour (SPEEDBUTTON's FONTCOLOR 2105376) it is the disabled-text
// colour, that colour mixed with the skin's global colour at the blend
// setting (100); the button stays enabled.
TEST(SpeedButton, AMutedCaptionIsInTheDisabledTextColourOnAnUnchangedFace) {
  TButtonScene S;
  PointAt(&S.F, 300, 200);
  ASSERT_TRUE(PumpUntil([&] { return S.Settled(); }));
  TProbeButton* A = S.A;
  const std::vector<std::uint32_t> Normal = LookOf(A, 0);
  const RECT Caption = A->LastCaptionRect();
  A->SetMutedCaption(true);
  EXPECT_TRUE(A->Enabled());
  const std::vector<std::uint32_t> Muted = LookOf(A, 0);
  const std::uint32_t Font = PixelOf(2105376);
  const std::uint32_t Grey = PixelOf(MixTwoColours(2105376, S.M->GetGlobalColor() & 0xFFFFFF, 100));
  ASSERT_NE(Font, Grey);
  int Solid = 0;
  for (int Y = 0; Y < A->Height(); ++Y)
    for (int X = 0; X < A->Width(); ++X) {
      const size_t I = size_t(Y * A->Width() + X);
      if (OffCaption(Caption, X, Y)) {
        ASSERT_EQ(Muted[I], Normal[I]) << X << "," << Y;
      } else if ((Normal[I] & 0xFFFFFF) == Font) {
        ++Solid;
        ASSERT_EQ(Muted[I] & 0xFFFFFF, Grey) << X << "," << Y;
      }
    }
  EXPECT_GT(Solid, 10) << "the caption has solid strokes";
  A->SetMutedCaption(false);
  EXPECT_EQ(LookOf(A, 0), Normal);
}

TEST(SpeedButton, ACaptionTooWideIsCutWithAnEllipsisOnOneLineWithoutWrapping) {
  TButtonScene S;
  S.A->SetCaption(L"混合现实门户 and a long tail");
  S.A->SetWordWrap(false);
  ASSERT_TRUE(S.A->PrepareCache());
  RECT R = S.A->LastCaptionRect();
  EXPECT_LE(R.right - R.left, S.A->Width());
  EXPECT_GE(R.left, 0);
  const int OneLine = R.bottom - R.top;
  S.A->SetWordWrap(true);
  S.A->SetHeight(44);
  ASSERT_TRUE(S.A->PrepareCache());
  R = S.A->LastCaptionRect();
  EXPECT_GT(R.bottom - R.top, OneLine) << "wrapped onto more lines";
  EXPECT_LE(R.right - R.left, S.A->Width());
}

// Every look of a button at the form (one colour) and on a gradient, at 96 and 192
// DPI, as accepted by eye: a regression guard.
void LooksAt(int PPI) {
  TButtonScene S;
  PointAt(&S.F, 340, 230);
  S.M->AnimEffects()->Buttons()->SetEvents(0);  // pictures of the looks, not of fades
  if (PPI != 96) {
    S.F.ScaleForPPI(PPI);
    for (TProbeButton* Btn : {S.A, S.OnPanel}) SendSkinCommand(Btn, SKC_SCALECHANGED, PPI);
    SendSkinCommand(S.Panel, SKC_SCALECHANGED, PPI);
    Pump(30);
  }
  for (TProbeButton* Btn : {S.A, S.OnPanel}) {
    TSheet Sheet{Btn->Width(), Btn->Height(), {}};
    TWinControl* P = Btn->Parent();
    for (int State = 0; State < 3; ++State) {
      Btn->SkinData()->FMouseAbove = State == 1;
      Btn->SetPressed(State == 2);
      Btn->SkinData()->BGChanged = true;
      const std::vector<std::uint32_t> Pic = Print(P->Handle(), P->ClientWidth(), P->ClientHeight());
      Sheet.Pieces.push_back(Crop(Pic, P->ClientWidth(), Btn->Left(), Btn->Top(), Btn->Width(), Btn->Height()));
    }
    EXPECT_NE(Sheet.Pieces[0], Sheet.Pieces[1]);
    EXPECT_NE(Sheet.Pieces[1], Sheet.Pieces[2]);
    ExpectAsAccepted(std::string("speedbutton_") + (Btn == S.A ? "form" : "gradient") + "_" + std::to_string(PPI),
                     Sheet);
  }
}

TEST(SpeedButton, RegressionGuardEachLookAsAcceptedAt96Dpi) { LooksAt(96); }
TEST(SpeedButton, RegressionGuardEachLookAsAcceptedAt192Dpi) { LooksAt(192); }

}  // namespace
