#include "uBusy.h"

#include "ui/Threads.h"

namespace cb {

namespace {

thread_local TBusyWindow* g_current = nullptr;

// Keys that reach the frame rather than a control (Alt+F4, Alt+Space) stay:
// what they ask for is held or harmless. Everything else a user aims at the
// controls is dropped.
bool IsDroppedInput(const MSG& M, HWND Wnd) {
  const UINT Msg = M.message;
  const bool Key = Msg >= WM_KEYFIRST && Msg <= WM_KEYLAST && Msg != WM_SYSKEYDOWN && Msg != WM_SYSKEYUP &&
                   Msg != WM_SYSCHAR && Msg != WM_SYSDEADCHAR;
  const bool Button = Msg >= WM_MOUSEFIRST && Msg <= WM_MOUSELAST && Msg != WM_MOUSEMOVE;
  if (!Key && !Button) return false;
  // Controls without a window of their own take their clicks through the
  // form's; the form's frame takes the release of a title-button press while
  // it holds the capture.
  if (M.hwnd == Wnd) return Key || GetCapture() != Wnd;
  return IsChild(Wnd, M.hwnd) != FALSE;
}

}  // namespace

struct TBusyWindow::THeld {
  bool Close = false;
};

// The held request lives in the hook's own state, so the hook never reaches
// back into a busy window that is going.
TBusyWindow::TBusyWindow(TCustomForm* Form) : FForm(Form), FWnd(Form->Handle()), FOuter(g_current) {
  auto Held = std::make_shared<THeld>();
  FHeld = Held;
  FForm->AddWindowHook(reinterpret_cast<std::uintptr_t>(this),
                       [Held](TMessage& M, const TWindowHookNext& Next) {
                         if (M.Msg == WM_CLOSE) {
                           Held->Close = true;
                           M.Result = 0;
                           return;
                         }
                         Next(M);
                       });
  g_current = this;
}

TBusyWindow::~TBusyWindow() {
  g_current = FOuter;
  FForm->RemoveWindowHook(reinterpret_cast<std::uintptr_t>(this));
  if (!FHeld->Close) return;
  TBusyWindow* Outer = FOuter;
  while (Outer && Outer->FForm != FForm) Outer = Outer->FOuter;
  if (Outer)
    Outer->FHeld->Close = true;  // the outer wait is not over yet
  else
    PostMessageW(FWnd, WM_CLOSE, 0, 0);
}

bool TBusyWindow::CloseHeld() const { return FHeld->Close; }

TBusyWindow* TBusyWindow::Current() { return g_current; }

bool TBusyWindow::Wait(HANDLE Handle, DWORD TimeoutMs) {
  const ULONGLONG Start = GetTickCount64();
  // The program's end asked for meanwhile is asked for again once this wait is over.
  bool Quit = false;
  WPARAM QuitCode = 0;
  struct TRepost {
    bool& Quit;
    WPARAM& Code;
    ~TRepost() {
      if (Quit) PostQuitMessage(static_cast<int>(Code));
    }
  } Repost{Quit, QuitCode};
  for (;;) {
    MSG M;
    while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) {
      if (M.message == WM_QUIT) {
        Quit = true;
        QuitCode = M.wParam;
        continue;
      }
      if (IsDroppedInput(M, FWnd)) continue;
      TranslateMessage(&M);
      DispatchMessageW(&M);
    }
    CheckSynchronize();
    DWORD Left = INFINITE;
    if (TimeoutMs != INFINITE) {
      const ULONGLONG Spent = GetTickCount64() - Start;
      if (Spent >= TimeoutMs) {
        const DWORD R = WaitForSingleObject(Handle, 0);
        return R == WAIT_OBJECT_0 || R == WAIT_ABANDONED;
      }
      Left = static_cast<DWORD>(TimeoutMs - Spent);
    }
    const DWORD R = MsgWaitForMultipleObjectsEx(1, &Handle, Left, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // A mutex whose holder died is ours now all the same.
    if (R == WAIT_OBJECT_0 || R == WAIT_ABANDONED_0) return true;
    if (R == WAIT_FAILED) return false;
  }
}

bool WaitResponsive(HANDLE Handle) {
  if (TBusyWindow* B = TBusyWindow::Current()) return B->Wait(Handle);
  const DWORD R = WaitForSingleObject(Handle, INFINITE);
  return R == WAIT_OBJECT_0 || R == WAIT_ABANDONED;
}

}  // namespace cb
