#include "ui/ExtCtrls.h"

#include <map>


#include "ui/Forms.h"
#include "ui/Threads.h"

namespace {

// The procedure lives in the window's own extra bytes: read without a round
// trip to the server (a property read is one under Wine), on every timer tick.
LRESULT CALLBACK UtilWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* Proc = reinterpret_cast<std::function<void(TMessage&)>*>(GetWindowLongPtrW(Wnd, 0));
  if (!Proc) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  TMessage M{Msg, WParam, LParam, 0};
  try {
    (*Proc)(M);
  } catch (...) {
    if (Application) Application->HandleException(nullptr);
  }
  return M.Result;
}

}  // namespace

HWND AllocateHWnd(std::function<void(TMessage&)> Proc) {
  WNDCLASSEXW WC{};
  WC.cbSize = sizeof WC;
  if (!GetClassInfoExW(HInstance, L"TPUtilWindow", &WC)) {
    WC = WNDCLASSEXW{};
    WC.cbSize = sizeof WC;
    WC.cbWndExtra = sizeof(LONG_PTR);
    WC.lpfnWndProc = UtilWndProc;
    WC.hInstance = HInstance;
    WC.lpszClassName = L"TPUtilWindow";
    RegisterClassExW(&WC);
  }
  HWND W = CreateWindowExW(WS_EX_TOOLWINDOW, L"TPUtilWindow", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, HInstance,
                           nullptr);
  if (!W) throw EComponentError("Cannot create a helper window");
  auto* Stored = new std::function<void(TMessage&)>(std::move(Proc));
  SetWindowLongPtrW(W, 0, reinterpret_cast<LONG_PTR>(Stored));
  return W;
}

void DeallocateHWnd(HWND Wnd) {
  if (!Wnd) return;
  auto* Proc = reinterpret_cast<std::function<void(TMessage&)>*>(SetWindowLongPtrW(Wnd, 0, 0));
  DestroyWindow(Wnd);
  delete Proc;
}

// ---------------------------------------------------------------------------
// TTimer

namespace {

// Every timer ticks through one hidden window; a tick whose timer is gone
// finds no entry (ids are never reused).
struct TTimerWindow {
  HWND Wnd = nullptr;
  std::map<UINT_PTR, TTimer*> Timers;
  UINT_PTR NextId = 1;
};

TTimerWindow& Timers() {
  // Never destroyed: forms are freed while static objects go, and still use it.
  static auto* T = new TTimerWindow;
  return *T;
}

HWND TimerWindow() {
  TTimerWindow& T = Timers();
  if (!T.Wnd || !IsWindow(T.Wnd)) {
    T.Wnd = AllocateHWnd([](TMessage& M) {
      TTimerWindow& TW = Timers();
      if (M.Msg == WM_TIMER) {
        auto It = TW.Timers.find(static_cast<UINT_PTR>(M.WParam));
        if (It != TW.Timers.end()) It->second->Tick();
        return;
      }
      M.Result = DefWindowProcW(TW.Wnd, M.Msg, M.WParam, M.LParam);
    });
  }
  return T.Wnd;
}

}  // namespace

HWND TTimer::SharedWindow() { return Timers().Wnd; }

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), FId(Timers().NextId++) { UpdateTimer(); }

TTimer::~TTimer() {
  FEnabled = false;
  TTimerWindow& T = Timers();
  if (FRunning && T.Wnd) KillTimer(T.Wnd, FId);
  T.Timers.erase(FId);
}

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
  OnTimer = std::move(Value);
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}

void TTimer::Tick() {
  if (FRunning && !(ComponentState() & csDestroying)) Timer();
}

void TTimer::UpdateTimer() {
  if (ComponentState() & csLoading) return;
  TTimerWindow& T = Timers();
  if (FRunning) {
    KillTimer(T.Wnd, FId);
    FRunning = false;
    T.Timers.erase(FId);
  }
  if (!FEnabled || FInterval == 0) return;
  HWND W = TimerWindow();
  FRunning = SetTimer(W, FId, FInterval, nullptr) != 0;
  if (FRunning) T.Timers[FId] = this;
}

void TTimer::PublishProperties(TPublisher& P) {
  P.Bool(L"Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true);
  P.Int(L"Interval", &TTimer::Interval, &TTimer::SetInterval, 1000);
  P.Event(L"OnTimer", &TTimer::OnTimer);
}

// ---------------------------------------------------------------------------
// TCustomPanel

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle |= csAcceptsControls | csOpaque;
  FWidth = 185;
  FHeight = 41;
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
  if (Value == FBevelOuter) return;
  FBevelOuter = Value;
  Realign();
  Invalidate();
  Perform(CM_BORDERCHANGED);
}

void TCustomPanel::SetBevelInner(TBevelCut Value) {
  if (Value == FBevelInner) return;
  FBevelInner = Value;
  Realign();
  Invalidate();
  Perform(CM_BORDERCHANGED);
}

void TCustomPanel::SetBevelWidth(int Value) {
  if (Value == FBevelWidth || Value < 1) return;
  FBevelWidth = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomPanel::SetShowCaption(bool Value) {
  if (Value == FShowCaption) return;
  FShowCaption = Value;
  Invalidate();
}

void TCustomPanel::WndProc(TMessage& M) {
  if (M.Msg == WM_ERASEBKGND) {
    M.Result = 1;  // Paint covers the whole area
    return;
  }
  TCustomControl::WndProc(M);
}

void TCustomPanel::Paint() {
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  C->Brush()->SetColor(Color());
  C->FillRect(R);
  auto Bevel = [&](TBevelCut Cut) {
    if (Cut == bvNone) return;
    if (Cut != bvSpace) {
      RECT RR = ToRECT(R);
      for (int i = 0; i < FBevelWidth; ++i) {
        DrawEdge(C->Handle(), &RR, Cut == bvRaised ? BDR_RAISEDINNER : BDR_SUNKENOUTER, BF_RECT);
        InflateRect(&RR, -1, -1);
      }
    }
    R.Inflate(-FBevelWidth, -FBevelWidth);
  };
  Bevel(FBevelOuter);
  Bevel(FBevelInner);
  if (FShowCaption && !Caption().empty()) {
    C->Brush()->SetStyle(bsClear);
    UINT Flags = DT_SINGLELINE | DT_VCENTER |
                 (FAlignment == taCenter ? DT_CENTER : FAlignment == taRightJustify ? DT_RIGHT : DT_LEFT);
    C->DrawText(Caption(), R, Flags);
  }
}

void TCustomPanel::PublishProperties(TPublisher& P) {
  const TIdentNames Cuts{L"bvNone", L"bvLowered", L"bvRaised", L"bvSpace"};
  P.Enum(L"Alignment", &TCustomPanel::Alignment, &TCustomPanel::SetAlignment,
         {L"taLeftJustify", L"taRightJustify", L"taCenter"}, taCenter);
  P.Enum(L"BevelInner", &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner, Cuts, bvNone);
  P.Enum(L"BevelOuter", &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter, Cuts, bvRaised);
  P.Int(L"BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth, 1);
  P.Bool(L"ShowCaption", &TCustomPanel::ShowCaption, &TCustomPanel::SetShowCaption, true);
  P.Int(L"TabOrder", &TCustomPanel::TabOrder, &TCustomPanel::SetTabOrder, -1).HasDefault = false;
}
