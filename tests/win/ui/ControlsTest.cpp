// Message dispatch, change notifications, windowless controls, painting, scaling.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "UiTestUtil.h"
#include "ui/Buttons.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"
#include "ui/StdCtrls.h"

namespace {

constexpr UINT WM_PROBE = WM_APP + 5;

// Records every framework notification it receives.
template <class Base>
class TSpy : public Base {
public:
  explicit TSpy(TComponent* AOwner) : Base(AOwner) {}
  std::vector<UINT> Seen;
  int PaintCopies = 0, Paints = 0;
  size_t Count(UINT Msg) const { return static_cast<size_t>(std::count(Seen.begin(), Seen.end(), Msg)); }

protected:
  void WndProc(TMessage& M) override {
    if ((M.Msg >= CM_BASE && M.Msg < CM_BASE + 0x100) || M.Msg == WM_PROBE) Seen.push_back(M.Msg);
    if (M.Msg == WM_PROBE) {
      M.Result = 1234;
      return;
    }
    Base::WndProc(M);
  }
};

class TSpyGraphic : public TSpy<TGraphicControl> {
public:
  using TSpy::TSpy;
  TColor Fill = clRed;

protected:
  void Paint() override {
    ++Paints;
    if (ControlState() & csPaintCopy) ++PaintCopies;
    Canvas()->Brush()->SetColor(Fill);
    Canvas()->FillRect(ClientRect());
  }
};

class TPlainForm : public TForm {
  CB_CLASS(TPlainForm, TForm)
public:
  explicit TPlainForm(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(bsSingle);
    SetPosition(poScreenCenter);
    SetClientWidth(300);
    SetClientHeight(200);
  }
};

TEST(Dispatch, PerformReachesWindowlessAndWindowedControlsThroughWindowProc) {
  TPlainForm F(nullptr);
  auto* G = new TSpyGraphic(&F);
  G->SetParent(&F);
  auto* W = new TSpy<TCustomControl>(&F);
  W->SetParent(&F);
  EXPECT_EQ(G->Perform(WM_PROBE), 1234);
  EXPECT_EQ(W->Perform(WM_PROBE), 1234);
  // A real message to the window takes the same path.
  EXPECT_EQ(SendMessageW(W->Handle(), WM_PROBE, 0, 0), 1234);
  EXPECT_EQ(W->Count(WM_PROBE), 2u);

  // A hook sees messages first and passes the rest on.
  int Wrapped = 0;
  W->AddWindowHook(1, [&](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_PROBE) ++Wrapped;
    Next(M);
  });
  EXPECT_EQ(SendMessageW(W->Handle(), WM_PROBE, 0, 0), 1234);
  EXPECT_EQ(Wrapped, 1);
  EXPECT_TRUE(W->RemoveWindowHook(1));
  EXPECT_EQ(SendMessageW(W->Handle(), WM_PROBE, 0, 0), 1234);
  EXPECT_EQ(Wrapped, 1);
}

TEST(Dispatch, ChangeNotificationsArriveAsMessages) {
  TPlainForm F(nullptr);
  auto* G = new TSpyGraphic(&F);
  G->SetParent(&F);
  auto* W = new TSpy<TCustomControl>(&F);
  W->SetParent(&F);
  W->HandleNeeded();
  G->SetVisible(false);
  G->SetEnabled(false);
  G->SetColor(clBlue);
  G->SetCaption(L"x");
  G->SetBiDiMode(bdRightToLeft);
  G->SetCursor(crHandPoint);
  EXPECT_EQ(G->Count(CM_VISIBLECHANGED), 1u);
  EXPECT_EQ(G->Count(CM_ENABLEDCHANGED), 1u);
  EXPECT_EQ(G->Count(CM_COLORCHANGED), 1u);
  EXPECT_EQ(G->Count(CM_TEXTCHANGED), 1u);
  EXPECT_EQ(G->Count(CM_BIDIMODECHANGED), 1u);
  EXPECT_EQ(G->Count(CM_CURSORCHANGED), 1u);
  G->SetColor(clBlue);  // no change, no message
  EXPECT_EQ(G->Count(CM_COLORCHANGED), 1u);

  // Showing a windowed child changes its window; the control hears it first.
  W->SetVisible(false);
  EXPECT_EQ(W->Count(CM_SHOWINGCHANGED), 1u);
  EXPECT_FALSE(GetWindowLongPtrW(W->Handle(), GWL_STYLE) & WS_VISIBLE);

  // Recreating the window goes through CM_RECREATEWND and yields a new window.
  HWND Old = W->Handle();
  W->RecreateWnd();
  EXPECT_EQ(W->Count(CM_RECREATEWND), 1u);
  EXPECT_TRUE(W->HandleAllocated());
  EXPECT_FALSE(IsWindow(Old));
  EXPECT_EQ(TWinControl::FindControl(W->Handle()), W);
}

TEST(Dispatch, FontChangesReachChildrenThatFollowTheirParent) {
  TPlainForm F(nullptr);
  auto* Follows = new TSpyGraphic(&F);
  Follows->SetParent(&F);
  auto* Own = new TSpyGraphic(&F);
  Own->SetParent(&F);
  Own->Font()->SetName(L"Courier New");
  EXPECT_FALSE(Own->ParentFont());
  size_t Before = Follows->Count(CM_FONTCHANGED);
  F.Font()->SetHeight(-20);
  EXPECT_EQ(Follows->Font()->Height(), -20);
  EXPECT_TRUE(Follows->ParentFont());
  EXPECT_EQ(Follows->Count(CM_FONTCHANGED), Before + 1);
  EXPECT_EQ(Own->Font()->Height(), -11);
  EXPECT_EQ(Own->Font()->Name(), L"Courier New");
  Own->SetParentFont(true);
  EXPECT_EQ(Own->Font()->Height(), -20);
}

TEST(Dispatch, ParentHearsControlListChanges) {
  auto* F = new TSpy<TPlainForm>(nullptr);
  auto* G = new TGraphicControl(nullptr);
  G->SetParent(F);
  ASSERT_EQ(F->Count(CM_CONTROLLISTCHANGE), 1u);
  EXPECT_EQ(F->ControlCount(), 1);
  G->SetParent(nullptr);
  EXPECT_EQ(F->Count(CM_CONTROLLISTCHANGE), 2u);
  EXPECT_EQ(F->ControlCount(), 0);
  G->SetParent(F);
  delete G;  // freeing a child takes it out of its parent
  EXPECT_EQ(F->ControlCount(), 0);
  // A form freed with children owned elsewhere leaves them parentless.
  auto* Orphan = new TGraphicControl(nullptr);
  Orphan->SetParent(F);
  delete F;
  EXPECT_EQ(Orphan->Parent(), nullptr);
  delete Orphan;
}

// Real pointer movement over windowless controls.
TEST(Mouse, WindowlessControlsHearEnterAndLeaveFromRealPointerMoves) {
  TPlainForm F(nullptr);
  F.SetPosition(poDesigned);
  F.SetBounds(100, 100, 400, 300);
  std::vector<std::wstring> Log;
  auto* A = new TSpeedButton(&F);
  A->SetName(L"a");
  A->SetBounds(10, 10, 80, 30);
  A->SetParent(&F);
  auto* B = new TSpeedButton(&F);
  B->SetName(L"b");
  B->SetBounds(100, 10, 80, 30);
  B->SetParent(&F);
  for (TSpeedButton* S : {A, B}) {
    S->OnMouseEnter = [&Log](TObject* O) { Log.push_back(L"enter " + static_cast<TComponent*>(O)->Name()); };
    S->OnMouseLeave = [&Log](TObject* O) { Log.push_back(L"leave " + static_cast<TComponent*>(O)->Name()); };
  }
  F.Show();
  SetForegroundWindow(F.Handle());
  Pump(100);
  auto MoveTo = [&](TControl* C, int X, int Y) {
    TPoint P = C ? C->ClientToScreen(TPoint(X, Y)) : TPoint(X, Y);
    MovePointer(P.X, P.Y);
  };
  MoveTo(A, 20, 15);
  ASSERT_TRUE(PumpUntil([&] { return A->MouseInControl(); })) << "pointer over a";
  MoveTo(B, 20, 15);
  ASSERT_TRUE(PumpUntil([&] { return B->MouseInControl() && !A->MouseInControl(); }));
  MoveTo(nullptr, 5, 5);  // off the form
  ASSERT_TRUE(PumpUntil([&] { return !B->MouseInControl(); }));
  EXPECT_EQ(Log, (std::vector<std::wstring>{L"enter a", L"leave a", L"enter b", L"leave b"}));
  EXPECT_EQ(F.HoverControl(), nullptr);
}

TEST(Mouse, LeavingThroughAWindowedChildLeavesTheFormToo) {
  TPlainForm F(nullptr);
  F.SetPosition(poDesigned);
  F.SetBounds(100, 100, 300, 200);
  auto* Panel = new TPanel(&F);
  Panel->SetBounds(0, 0, 100, 100);
  Panel->SetParent(&F);
  F.Show();
  SetForegroundWindow(F.Handle());
  Pump(50);
  TPoint P = F.ClientToScreen(TPoint(200, 150));
  MovePointer(P.X, P.Y);
  ASSERT_TRUE(PumpUntil([&] { return F.MouseInControl(); }));
  P = Panel->ClientToScreen(TPoint(50, 50));
  MovePointer(P.X, P.Y);
  ASSERT_TRUE(PumpUntil([&] { return Panel->MouseInControl(); }));
  EXPECT_TRUE(F.MouseInControl()) << "the child lies inside the form";
  MovePointer(P.X - 60, P.Y);  // out of the form across the panel's left edge
  ASSERT_TRUE(PumpUntil([&] { return !Panel->MouseInControl(); }));
  EXPECT_TRUE(PumpUntil([&] { return !F.MouseInControl(); }));
}

TEST(Mouse, SpeedButtonClicksOnLeftButtonOnlyAndLooksPressedWhileHeld) {
  TPlainForm F(nullptr);
  auto* S = new TSpeedButton(&F);
  S->SetBounds(10, 10, 80, 30);
  S->SetParent(&F);
  int Clicks = 0;
  S->OnClick = [&](TObject*) { ++Clicks; };
  HWND W = F.Handle();
  auto At = [](int X, int Y) { return MAKELPARAM(X, Y); };
  SendMessageW(W, WM_RBUTTONDOWN, MK_RBUTTON, At(20, 20));
  SendMessageW(W, WM_RBUTTONUP, 0, At(20, 20));
  EXPECT_EQ(Clicks, 0) << "right click does nothing";
  SendMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  EXPECT_EQ(S->State(), bsDown);
  EXPECT_EQ(F.CaptureControl(), S);
  SendMessageW(W, WM_MOUSEMOVE, MK_LBUTTON, At(200, 100));  // dragged off: looks up
  EXPECT_EQ(S->State(), bsUp);
  SendMessageW(W, WM_MOUSEMOVE, MK_LBUTTON, At(30, 20));  // back on: pressed again
  EXPECT_EQ(S->State(), bsDown);
  SendMessageW(W, WM_LBUTTONUP, 0, At(30, 20));
  EXPECT_EQ(S->State(), bsUp);
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(F.CaptureControl(), nullptr);
  // Released outside: no click.
  SendMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  SendMessageW(W, WM_LBUTTONUP, 0, At(250, 150));
  EXPECT_EQ(Clicks, 1);
  // A disabled button takes no input.
  S->SetEnabled(false);
  SendMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  SendMessageW(W, WM_LBUTTONUP, 0, At(20, 20));
  EXPECT_EQ(Clicks, 1);
}

TEST(Mouse, PointerShapeFollowsTheControlUnderIt) {
  TPlainForm F(nullptr);
  F.SetPosition(poDesigned);
  F.SetBounds(150, 150, 300, 200);
  auto* L = new TLabel(&F);
  L->SetCaption(L"link");
  L->SetLeft(10);
  L->SetTop(10);
  L->SetCursor(crHandPoint);
  L->SetParent(&F);
  F.Show();
  Pump(50);
  TPoint P = L->ClientToScreen(TPoint(2, 2));
  MovePointer(P.X, P.Y);
  Pump(50);
  SendMessageW(F.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(F.Handle()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), CursorHandle(crHandPoint));
  // Real moves alone: the shape of whatever lies under each new place.
  const HCURSOR Arrow = CursorHandle(crArrow);
  TPoint Off = F.ClientToScreen(TPoint(200, 120));
  MovePointer(Off.X, Off.Y);
  EXPECT_TRUE(PumpUntil([&] { return GetCursor() == Arrow; })) << "off the label";
  MovePointer(P.X + 1, P.Y + 1);
  EXPECT_TRUE(PumpUntil([&] { return GetCursor() == CursorHandle(crHandPoint); })) << "back on the label";
  MovePointer(Off.X, Off.Y);
  EXPECT_TRUE(PumpUntil([&] { return GetCursor() == Arrow; })) << "off again";
  Screen->SetCursor(crHourGlass);
  SendMessageW(F.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(F.Handle()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), CursorHandle(crHourGlass));
  Screen->SetCursor(crDefault);
}

namespace {

// A white form with a red windowless child at (10, 10) and a blue panel at
// (50, 10), 40 x 40.
struct TPaintScene {
  TPlainForm F{nullptr};
  TSpyGraphic* G = new TSpyGraphic(&F);
  TPanel* Inner = new TPanel(&F);
  TPaintScene() {
    F.SetColor(clWhite);
    G->SetBounds(10, 10, 20, 20);
    G->SetParent(&F);
    Inner->SetBounds(50, 10, 40, 40);
    Inner->SetBevelOuter(bvNone);
    Inner->SetColor(clBlue);
    Inner->SetParent(&F);
  }
};

// A memory DC over a bitmap compatible with the screen.
struct TMemoryDC {
  HDC DC;
  HBITMAP Bmp;
  HGDIOBJ Old;
  TMemoryDC(int W, int H) {
    HDC Screen = GetDC(nullptr);
    DC = CreateCompatibleDC(Screen);
    Bmp = CreateCompatibleBitmap(Screen, W, H);
    ReleaseDC(nullptr, Screen);
    Old = SelectObject(DC, Bmp);
  }
  ~TMemoryDC() {
    SelectObject(DC, Old);
    DeleteObject(Bmp);
    DeleteDC(DC);
  }
};

}  // namespace

TEST(Painting, PaintToDrawsControlsIntoAnotherContextWithPaintCopySet) {
  TPaintScene S;
  auto* G2 = new TSpyGraphic(&S.F);
  G2->Fill = clLime;
  G2->SetBounds(5, 5, 10, 10);
  G2->SetParent(S.Inner);
  S.F.HandleNeeded();

  TMemoryDC M(200, 100);
  HDC DC = M.DC;
  S.F.PaintTo(DC, 3, 4);
  EXPECT_EQ(GetPixel(DC, 3 + 15, 4 + 15), RGB(255, 0, 0)) << "windowless child";
  EXPECT_EQ(GetPixel(DC, 3 + 2, 4 + 2), RGB(255, 255, 255)) << "form background";
  EXPECT_EQ(GetPixel(DC, 3 + 50 + 30, 4 + 10 + 30), RGB(0, 0, 255)) << "windowed child";
  EXPECT_EQ(GetPixel(DC, 3 + 50 + 7, 4 + 10 + 7), RGB(0, 255, 0)) << "its windowless child";
  EXPECT_GE(S.G->PaintCopies, 1);
  EXPECT_FALSE(S.G->ControlState() & csPaintCopy);
}

TEST(Painting, WindowCapturesIncludeWindowlessChildren) {
  TPaintScene S;
  S.F.Show();
  {
    TMemoryDC M(300, 200);
    HDC DC = M.DC;
    SendMessageW(S.F.Handle(), WM_PRINT, reinterpret_cast<WPARAM>(DC), PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    EXPECT_EQ(GetPixel(DC, 15, 15), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(DC, 2, 2), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(DC, 70, 30), RGB(0, 0, 255));
  }
  S.F.Hide();
}

// A skinned form paints its own background; a plain label on it must show that
// background, as the themed platform's labels do, unless it is made opaque.
TEST(Painting, PlainLabelsAreTransparentUnlessToldOtherwise) {
  TPlainForm F(nullptr);
  F.SetColor(clBtnFace);
  F.SetBounds(100, 100, 200, 120);
  F.OnPaint = [&](TObject*) {
    F.Canvas()->Brush()->SetColor(clWhite);
    F.Canvas()->FillRect(F.ClientRect());
  };
  auto* L = new TLabel(&F);
  L->SetAutoSize(false);
  L->SetBounds(10, 10, 80, 20);
  L->SetCaption(L"i");
  L->SetParent(&F);
  F.HandleNeeded();
  auto At = [&](int X, int Y) {
    TMemoryDC M(200, 100);
    F.PaintTo(M.DC, 0, 0);
    return GetPixel(M.DC, X, Y);
  };
  EXPECT_TRUE(L->Transparent());
  EXPECT_EQ(At(80, 25), RGB(255, 255, 255)) << "the form's picture shows through";
  L->SetTransparent(false);
  EXPECT_EQ(At(80, 25), ColorToRGB(clBtnFace)) << "an opaque label fills with its colour";
}

TEST(Scaling, FormsScalePositionsSizesAndFontsToTheNewDensity) {
  TPlainForm F(nullptr);
  F.Font()->SetHeight(-12);
  F.SetClientWidth(412);
  F.SetClientHeight(290);
  auto* B = new TSpeedButton(&F);
  B->SetBounds(17, 8, 66, 22);
  B->SetParent(&F);
  auto* L = new TLabel(&F);
  L->SetAutoSize(false);
  L->SetBounds(318, 260, 65, 19);
  L->SetParent(&F);
  L->SetParentFont(false);
  L->Font()->SetHeight(-11);
  F.HandleNeeded();
  ASSERT_EQ(F.CurrentPPI(), 96);
  F.ScaleForPPI(144);
  EXPECT_EQ(F.CurrentPPI(), 144);
  EXPECT_EQ(B->CurrentPPI(), 144);
  EXPECT_EQ(B->BoundsRect(), TRect(26, 12, 125, 45));  // 17*1.5 = 25.5 rounds up; edges scale as positions
  EXPECT_EQ(L->BoundsRect(), TRect(477, 390, 575, 419));
  EXPECT_EQ(F.Font()->Height(), -18);
  EXPECT_EQ(B->Font()->Height(), -18) << "a child following its parent's font";
  EXPECT_EQ(L->Font()->Height(), -17) << "-11 * 1.5 = -16.5 rounds away from zero";
  EXPECT_EQ(F.ClientWidth(), 618);
  EXPECT_EQ(F.ClientHeight(), 435);
  // Back to 96: the design values again.
  F.ScaleForPPI(96);
  EXPECT_EQ(B->BoundsRect(), TRect(17, 8, 83, 30));
  EXPECT_EQ(F.ClientWidth(), 412);
  EXPECT_EQ(F.Font()->Height(), -12);

  // The platform's notice of a new density does the same, and moves the window.
  RECT Suggested{40, 50, 40 + 600, 50 + 450};
  SendMessageW(F.Handle(), WM_DPICHANGED, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&Suggested));
  EXPECT_EQ(F.CurrentPPI(), 120);
  EXPECT_EQ(B->BoundsRect(), TRect(21, 10, 104, 38));
  EXPECT_EQ(F.Left(), 40);
  EXPECT_EQ(F.Top(), 50);
}

TEST(Scaling, MulDivRoundRoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDivRound(17, 3, 2), 26);
  EXPECT_EQ(MulDivRound(-11, 3, 2), -17);
  EXPECT_EQ(MulDivRound(10, 5, 4), 13);  // 12.5
  EXPECT_EQ(MulDivRound(7, 1, 0), 7);
}

TEST(Layout, AnchoredAndAlignedChildrenFollowTheirParent) {
  TPlainForm F(nullptr);
  F.SetClientWidth(270);
  F.SetClientHeight(113);
  auto* Btn = new TButton(&F);
  Btn->SetBounds(175, 79, 75, 25);
  Btn->SetParent(&F);
  Btn->SetAnchors(akTop | akRight);
  auto* Top = new TPanel(&F);
  Top->SetHeight(20);
  Top->SetParent(&F);
  Top->SetAlign(alTop);
  F.HandleNeeded();
  EXPECT_EQ(Top->BoundsRect(), TRect(0, 0, 270, 20));
  F.SetClientWidth(370);
  EXPECT_EQ(Btn->Left(), 275) << "keeps 20 pixels to the right edge";
  EXPECT_EQ(Btn->Top(), 79);
  EXPECT_EQ(Top->Width(), 370);

  // After scaling, the anchor keeps the scaled distance (20 * 1.5).
  F.SetClientWidth(270);
  F.ScaleForPPI(144);
  EXPECT_EQ(F.ClientWidth(), 405);
  EXPECT_EQ(Btn->BoundsRect(), TRect(263, 119, 375, 156));
  F.SetClientWidth(505);
  EXPECT_EQ(Btn->Left(), 363);
  EXPECT_EQ(Btn->Width(), 112);
}

TEST(Labels, AutoSizeFollowsTheCaption) {
  TPlainForm F(nullptr);
  auto* L = new TLabel(&F);
  L->SetParent(&F);
  L->SetCaption(L"short");
  int W1 = L->Width();
  L->SetCaption(L"a considerably longer caption");
  EXPECT_GT(L->Width(), W1);
  EXPECT_GT(L->Height(), 0);
  L->SetAutoSize(false);
  L->SetCaption(L"x");
  EXPECT_GT(L->Width(), W1) << "no longer follows";
}

TEST(Buttons, ClickingAButtonSetsItsFormsModalResult) {
  TPlainForm F(nullptr);
  auto* B = new TButton(&F);
  B->SetParent(&F);
  B->SetModalResult(mrOk);
  int Clicks = 0;
  B->OnClick = [&](TObject*) { ++Clicks; };
  // The button's own notification, as the system sends it to the parent.
  SendMessageW(F.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(B->Handle()), BN_CLICKED),
               reinterpret_cast<LPARAM>(B->Handle()));
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(F.ModalResult(), mrOk);
  wchar_t Cls[32] = {};
  GetClassNameW(B->Handle(), Cls, 32);
  EXPECT_STREQ(Cls, L"TButton");

  auto* C = new TCheckBox(&F);
  C->SetParent(&F);
  SendMessageW(F.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(C->Handle()), BN_CLICKED),
               reinterpret_cast<LPARAM>(C->Handle()));
  EXPECT_TRUE(C->Checked());
  EXPECT_EQ(SendMessageW(C->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
}

}  // namespace
