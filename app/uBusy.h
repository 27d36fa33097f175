// The main window while its GUI thread waits for something that has to end
// before the window may act again: a single-app run, the update check.
#pragma once
#include <windows.h>

#include <memory>

#include "ui/Forms.h"

namespace cb {

// While one lives, the form keeps painting and can be moved and minimised, but
// clicks and keys aimed at its controls are dropped (not queued to act once the
// wait is over), and a close request (title button, Alt+F4, system menu,
// WM_CLOSE from outside) is held. The request is made again when the last
// busy window of the form goes, after whatever its owner did last (a notice).
class TBusyWindow {
 public:
  explicit TBusyWindow(TCustomForm* Form);
  ~TBusyWindow();
  TBusyWindow(const TBusyWindow&) = delete;
  TBusyWindow& operator=(const TBusyWindow&) = delete;

  // Runs the thread's messages as above until Handle is signalled (true) or
  // TimeoutMs has passed (false).
  bool Wait(HANDLE Handle, DWORD TimeoutMs = INFINITE);
  bool CloseHeld() const;

  // The innermost busy window of the calling thread, or null.
  static TBusyWindow* Current();

 private:
  TCustomForm* FForm;
  HWND FWnd;
  TBusyWindow* FOuter;
  struct THeld;
  std::shared_ptr<THeld> FHeld;
};

// Waits for Handle: through the thread's busy window when it has one, so that
// a wait on the GUI thread keeps the window alive; plainly on other threads.
// False when the wait failed.
bool WaitResponsive(HANDLE Handle);

}  // namespace cb
