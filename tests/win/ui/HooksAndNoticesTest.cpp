// Stacked window hooks, mouse notices about children, the order of
// destruction, painting surfaces, windowed capture, form showing, timers.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "UiTestUtil.h"
#include "ui/Buttons.h"
#include "ui/ExtCtrls.h"
#include "ui/Forms.h"

namespace {

constexpr UINT WM_PROBE = WM_APP + 7;

class TPlainForm : public TForm {
  CB_CLASS(TPlainForm, TForm)
public:
  explicit TPlainForm(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(bsSingle);
    SetPosition(poDesigned);
    SetBounds(120, 120, 320, 220);
  }
};

// Writes what reaches its own WndProc into a shared log.
template <class Base>
class TLogged : public Base {
public:
  TLogged(TComponent* AOwner, std::vector<std::string>* ALog) : Base(AOwner), Log(ALog) {}
  std::vector<std::string>* Log;
  std::vector<std::pair<UINT, LPARAM>> Notices;  // mouse enter / leave as received

protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == WM_PROBE) {
      Log->push_back("wndproc");
      M.Result = 7;
      return;
    }
    if (M.Msg == CM_MOUSEENTER || M.Msg == CM_MOUSELEAVE) Notices.emplace_back(M.Msg, M.LParam);
    Base::WndProc(M);
  }
};

TWindowHookProc Logging(std::vector<std::string>& Log, std::string Name) {
  return [&Log, Name](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_PROBE) Log.push_back(Name);
    Next(M);
  };
}

TEST(Hooks, StackNewestFirstAndComeOffInAnyOrder) {
  std::vector<std::string> Log;
  TPlainForm F(nullptr);
  auto* C = new TLogged<TCustomControl>(&F, &Log);
  C->SetParent(&F);
  C->AddWindowHook(1, Logging(Log, "a"));
  C->AddWindowHook(2, Logging(Log, "b"));
  C->AddWindowHook(3, Logging(Log, "c"));
  EXPECT_EQ(SendMessageW(C->Handle(), WM_PROBE, 0, 0), 7) << "the answer comes back up the chain";
  EXPECT_EQ(Log, (std::vector<std::string>{"c", "b", "a", "wndproc"}));

  // The middle one goes first, then the oldest; the rest still reach the window.
  Log.clear();
  EXPECT_TRUE(C->RemoveWindowHook(2));
  C->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"c", "a", "wndproc"}));
  Log.clear();
  EXPECT_TRUE(C->RemoveWindowHook(1));
  EXPECT_FALSE(C->RemoveWindowHook(1));
  C->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"c", "wndproc"}));

  // The same id again replaces the hook where it stands.
  Log.clear();
  C->AddWindowHook(4, Logging(Log, "d"));
  C->AddWindowHook(3, Logging(Log, "c2"));
  C->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"d", "c2", "wndproc"}));
  EXPECT_TRUE(C->HasWindowHook(3));
}

TEST(Hooks, AHookTakenOffWhileAMessageIsUnderWayIsPassedOver) {
  std::vector<std::string> Log;
  TPlainForm F(nullptr);
  auto* C = new TLogged<TCustomControl>(&F, &Log);
  C->SetParent(&F);
  C->AddWindowHook(1, Logging(Log, "old"));
  C->AddWindowHook(2, [&](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_PROBE) {
      Log.push_back("top");
      // Both come off in the middle of the message, the one below first.
      C->RemoveWindowHook(1);
      C->RemoveWindowHook(2);
    }
    Next(M);
  });
  C->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"top", "wndproc"}));
  Log.clear();
  C->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"wndproc"}));
}

TEST(Notices, ALeaveNamingAChildClearsTheParentsRecordNotItsOwnHover) {
  std::vector<std::string> Log;
  auto* F = new TLogged<TPlainForm>(nullptr, &Log);
  auto* A = new TSpeedButton(F);
  A->SetBounds(10, 10, 80, 30);
  A->SetParent(F);
  F->Show();
  SetForegroundWindow(F->Handle());
  Pump(50);
  TPoint P = A->ClientToScreen(TPoint(20, 15));
  MovePointer(P.X, P.Y);
  ASSERT_TRUE(PumpUntil([&] { return A->MouseInControl(); }));
  ASSERT_EQ(F->HoverControl(), A);
  const LPARAM AsA = reinterpret_cast<LPARAM>(A);
  EXPECT_EQ(F->Notices, (std::vector<std::pair<UINT, LPARAM>>{{CM_MOUSEENTER, 0}, {CM_MOUSEENTER, AsA}}));

  // The child drops its hot state on its own (as on a lost capture).
  A->Perform(CM_MOUSELEAVE);
  EXPECT_FALSE(A->MouseInControl());
  EXPECT_EQ(F->HoverControl(), nullptr);
  EXPECT_TRUE(F->MouseInControl()) << "the pointer is still over the form";

  // The next move over the child enters it again.
  MovePointer(P.X + 3, P.Y);
  ASSERT_TRUE(PumpUntil([&] { return A->MouseInControl(); }));
  EXPECT_EQ(F->Notices, (std::vector<std::pair<UINT, LPARAM>>{
                            {CM_MOUSEENTER, 0}, {CM_MOUSEENTER, AsA}, {CM_MOUSELEAVE, AsA}, {CM_MOUSEENTER, AsA}}));
  delete F;
}

TEST(Notices, NoticesAboutDescendantsTravelUpNamingThem) {
  std::vector<std::string> Log;
  TLogged<TPlainForm> F(nullptr, &Log);
  auto* Panel = new TLogged<TPanel>(&F, &Log);
  Panel->SetParent(&F);
  auto* Inner = new TSpeedButton(&F);
  Inner->SetParent(Panel);
  Inner->Perform(CM_MOUSEENTER);
  const LPARAM AsInner = reinterpret_cast<LPARAM>(Inner);
  EXPECT_EQ(Panel->Notices, (std::vector<std::pair<UINT, LPARAM>>{{CM_MOUSEENTER, AsInner}}));
  EXPECT_EQ(F.Notices, (std::vector<std::pair<UINT, LPARAM>>{{CM_MOUSEENTER, AsInner}}));
  EXPECT_FALSE(Panel->MouseInControl());
  EXPECT_FALSE(F.MouseInControl());
}

// Looks at the framework's state from inside its own destructor, where
// skinning code tears itself down.
class TDying : public TLogged<TGraphicControl> {
public:
  using TLogged::TLogged;
  bool SawDestroying = false, StillHovered = true, StillCapturing = true, HeardBroadcast = true;
  bool* Done = nullptr;
  ~TDying() override {
    SawDestroying = (ComponentState() & csDestroying) != 0;
    TWinControl* P = Parent();
    StillHovered = P->HoverControl() == this;
    StillCapturing = P->CaptureControl() == this || GetCapture() == P->WindowHandle();
    size_t Before = Log->size();
    TMessage M{WM_PROBE, 0, 0, 0};
    P->Broadcast(M);
    HeardBroadcast = Log->size() != Before;
    *Done = SawDestroying && !StillHovered && !StillCapturing && !HeardBroadcast;
  }
};

TEST(Destruction, AControlIsDestroyingAndDetachedBeforeAnyDestructorRuns) {
  std::vector<std::string> Log;
  TPlainForm F(nullptr);
  bool Done = false;
  auto* D = new TDying(&F, &Log);
  D->Done = &Done;
  D->SetBounds(10, 10, 50, 30);
  D->SetParent(&F);
  F.Show();
  HWND W = F.Handle();
  SendMessageW(W, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
  SendMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  ASSERT_EQ(F.HoverControl(), D);
  ASSERT_EQ(F.CaptureControl(), D);
  ASSERT_EQ(GetCapture(), W);
  delete D;
  EXPECT_TRUE(Done) << "csDestroying set, hover and capture gone, broadcasts passing it by";
  EXPECT_EQ(GetCapture(), nullptr);
}

// A windowed control that asks for clicks and the capture, as a slider does.
class TPressable : public TCustomControl {
public:
  TPressable(TComponent* AOwner, bool Ask) : TCustomControl(AOwner) {
    if (Ask) SetControlStyle(ControlStyle() | csClickEvents | csCaptureMouse);
  }
};

TEST(Mouse, WindowedControlsCaptureAndClickOnlyWhenTheirStyleAsks) {
  TPlainForm F(nullptr);
  for (bool Ask : {true, false}) {
    auto* C = new TPressable(&F, Ask);
    C->SetBounds(10, 10, 100, 40);
    C->SetParent(&F);
    int Clicks = 0;
    C->OnClick = [&](TObject*) { ++Clicks; };
    HWND W = C->Handle();
    SendMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(GetCapture() == W, Ask);
    SendMessageW(W, WM_LBUTTONUP, 0, MAKELPARAM(6, 6));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Clicks, Ask ? 1 : 0);
    // Released outside: no click.
    SendMessageW(W, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(W, WM_LBUTTONUP, 0, MAKELPARAM(300, 5));
    EXPECT_EQ(Clicks, Ask ? 1 : 0);
    delete C;
  }
}

// A memory DC over a 32-bit bitmap.
struct TBitmapDC {
  HDC DC;
  HBITMAP Bmp;
  HGDIOBJ Old;
  TBitmapDC(int W, int H) {
    BITMAPINFO BI{};
    BI.bmiHeader = {sizeof(BITMAPINFOHEADER), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* Bits = nullptr;
    DC = CreateCompatibleDC(nullptr);
    Bmp = CreateDIBSection(DC, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
    Old = SelectObject(DC, Bmp);
  }
  ~TBitmapDC() {
    SelectObject(DC, Old);
    DeleteObject(Bmp);
    DeleteDC(DC);
  }
};

class TFill : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;
  TColor Fill = clRed;
  int Copies = 0;

protected:
  void Paint() override {
    if (ControlState() & csPaintCopy) ++Copies;
    Canvas()->Brush()->SetColor(Fill);
    Canvas()->FillRect(ClientRect());
  }
};

TEST(Painting, WindowCapturesArePaintCopiesForTheWindowAndItsChildren) {
  TPlainForm F(nullptr);
  auto* G = new TFill(&F);
  G->SetBounds(10, 10, 20, 20);
  G->SetParent(&F);
  F.Show();
  TBitmapDC B(100, 100);
  for (LPARAM How : {LPARAM(PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN), LPARAM(PRF_CLIENT)}) {
    int Before = G->Copies;
    UINT Msg = How == PRF_CLIENT ? WM_PRINTCLIENT : WM_PRINT;
    SendMessageW(F.Handle(), Msg, reinterpret_cast<WPARAM>(B.DC), How);
    EXPECT_EQ(G->Copies, Before + 1) << Msg;
    EXPECT_EQ(GetPixel(B.DC, 15, 15), RGB(255, 0, 0));
    EXPECT_FALSE(F.ControlState() & csPaintCopy);
  }
}

TEST(Painting, PaintToLayersWindowedChildrenAsTheScreenDoes) {
  TPlainForm F(nullptr);
  auto* Below = new TPanel(&F);
  Below->SetBevelOuter(bvNone);
  Below->SetColor(clRed);
  Below->SetBounds(10, 10, 40, 40);
  Below->SetParent(&F);
  auto* Above = new TPanel(&F);
  Above->SetBevelOuter(bvNone);
  Above->SetColor(clBlue);
  Above->SetBounds(30, 30, 40, 40);
  Above->SetParent(&F);
  F.HandleNeeded();
  // Raised by the window system alone: the list of controls does not know.
  SetWindowPos(Below->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  F.Show();
  TBitmapDC B(100, 100);
  F.PaintTo(B.DC, 0, 0);
  EXPECT_EQ(GetPixel(B.DC, 40, 40), RGB(255, 0, 0)) << "the window on top is painted last";
  EXPECT_EQ(GetPixel(B.DC, 60, 60), RGB(0, 0, 255));
}

TEST(Painting, CanvasesWorkOutsidePaintingAndFormsPaintThroughOnPaint) {
  TPlainForm F(nullptr);
  auto* G = new TFill(&F);
  G->SetBounds(30, 20, 25, 15);
  G->SetParent(&F);
  F.Show();
  // A windowless control draws on its parent's window, moved and clipped to itself.
  HDC DC = G->Canvas()->Handle();
  ASSERT_NE(DC, nullptr);
  POINT Org{};
  GetViewportOrgEx(DC, &Org);
  EXPECT_EQ(Org.x, 30);
  EXPECT_EQ(Org.y, 20);
  RECT Clip{};
  ASSERT_NE(GetClipBox(DC, &Clip), ERROR);
  EXPECT_EQ(Clip.left, 0);
  EXPECT_EQ(Clip.top, 0);
  EXPECT_EQ(Clip.right, 25);
  EXPECT_EQ(Clip.bottom, 15);
  G->Canvas()->Brush()->SetColor(clLime);
  G->Canvas()->FillRect(TRect(0, 0, 5, 5));
  // Given back when the application is idle.
  Application->HandleMessage();
  Pump(20);
  EXPECT_FALSE(G->Canvas()->HandleAllocated());

  int Paints = 0;
  F.OnPaint = [&](TObject*) {
    ++Paints;
    F.Canvas()->Brush()->SetColor(clYellow);
    F.Canvas()->FillRect(TRect(0, 0, 10, 10));
  };
  TBitmapDC B(100, 100);
  SendMessageW(F.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(B.DC), PRF_CLIENT);
  EXPECT_EQ(Paints, 1);
  EXPECT_EQ(GetPixel(B.DC, 5, 5), RGB(255, 255, 0));
  EXPECT_EQ(GetPixel(B.DC, 35, 25), RGB(255, 0, 0)) << "children after the form's own picture";
}

TEST(Forms, TheShowingNoticeIsTheShowingSoAHookWrapsIt) {
  std::vector<std::string> Log;
  TPlainForm F(nullptr);
  F.HandleNeeded();
  F.AddWindowHook(1, [&](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg != CM_SHOWINGCHANGED) return Next(M);
    Log.push_back("before " + std::to_string(IsWindowVisible(F.Handle())));
    Next(M);
    Log.push_back("after " + std::to_string(IsWindowVisible(F.Handle())));
  });
  F.Show();
  F.Hide();
  EXPECT_EQ(Log, (std::vector<std::string>{"before 0", "after 1", "before 1", "after 0"}));
}

TEST(Forms, AFormCanBeShownWithoutTakingActivation) {
  TPlainForm A(nullptr), B(nullptr);
  A.Show();
  SetForegroundWindow(A.Handle());
  SetActiveWindow(A.Handle());
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == A.Handle(); }));
  B.ShowNoActivate();
  Pump(30);
  EXPECT_TRUE(IsWindowVisible(B.Handle()));
  EXPECT_EQ(GetActiveWindow(), A.Handle());
  B.Hide();
  B.Show();
  EXPECT_TRUE(PumpUntil([&] { return GetActiveWindow() == B.Handle(); })) << "a plain Show still activates";
}

size_t UtilWindowsOfThisThread() {
  size_t N = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND W, LPARAM P) {
        wchar_t Cls[64] = {};
        GetClassNameW(W, Cls, 64);
        if (std::wstring(Cls) == L"TPUtilWindow") ++*reinterpret_cast<size_t*>(P);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&N));
  return N;
}

TEST(Timers, AllTimersShareOneWindowAndAFreedTimerNeverTicks) {
  TTimer First(nullptr);
  First.SetInterval(10);
  First.OnTimer = [](TObject*) {};
  const size_t Windows = UtilWindowsOfThisThread();
  std::vector<int> Ticks(4, 0);
  std::vector<TTimer*> Timers;
  for (int I = 0; I < 4; ++I) {
    auto* T = new TTimer(nullptr);
    T->SetInterval(5);
    T->OnTimer = [&Ticks, I](TObject*) { ++Ticks[size_t(I)]; };
    Timers.push_back(T);
  }
  EXPECT_EQ(UtilWindowsOfThisThread(), Windows);
  ASSERT_TRUE(PumpUntil([&] { return Ticks[0] > 0 && Ticks[1] > 0 && Ticks[2] > 0 && Ticks[3] > 0; }));
  // Freed with ticks already queued for it.
  Sleep(30);
  delete Timers[2];
  int Frozen = Ticks[2];
  int Other = Ticks[3];
  Pump(60);
  EXPECT_EQ(Ticks[2], Frozen);
  EXPECT_GT(Ticks[3], Other);
  for (TTimer* T : {Timers[0], Timers[1], Timers[3]}) delete T;
}

}  // namespace
