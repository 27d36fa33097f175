// Stacked hooks on windows the framework does not own (menu windows, system
// dialogs, their children), with the discipline of TControl::AddWindowHook:
// - each hook has an id and hands a message on with Next; the newest runs
//   first, and the window's previous procedure ends the chain;
// - hooks come off in any order, even during a message: a message runs over
//   the hooks that were on when it began and passes over those taken off
//   since; hooks added meanwhile see the next one;
// - on WM_NCDESTROY all of them come off, after each has seen it;
// - once the last is off, the previous procedure is put back only while ours
//   is still the window's: a procedure installed after ours keeps calling
//   ours, which then passes everything through;
// - a wrapper handed over is freed when its hook is off and the outermost
//   message on its window has returned, never inside its own procedure;
// - an exception a hook lets out goes to the application's error handler,
//   never into system code.
// One subclass per window carries every hook on it. Calls only on the thread
// of the window, where its messages run.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "ui/Controls.h"

// State and messages of one wrapper on one foreign window.
class TForeignWrapper {
public:
  // Runs with the window possibly gone (after WM_NCDESTROY): whatever a
  // wrapper must undo on its window it undoes when it sees that message.
  virtual ~TForeignWrapper() = default;
  virtual void WndProc(TMessage& Message, const TWindowHookNext& Next) = 0;
};

// Installs on top of Wnd's chain under Id; an Id already there is replaced
// in place (its wrapper freed as a removed one). False, and Wrapper freed,
// when Wnd is not a window of the calling thread or refuses the subclass.
bool AddForeignHook(HWND Wnd, std::uintptr_t Id, TWindowHookProc Proc);
bool AddForeignHook(HWND Wnd, std::uintptr_t Id, std::unique_ptr<TForeignWrapper> Wrapper);
// False when Wnd has no hook Id. With no message of Wnd under way the
// wrapper is freed before this returns.
bool RemoveForeignHook(HWND Wnd, std::uintptr_t Id);
bool HasForeignHook(HWND Wnd, std::uintptr_t Id);
// The wrapper on Wnd under Id; null for none or for a plain procedure.
TForeignWrapper* FindForeignWrapper(HWND Wnd, std::uintptr_t Id);
