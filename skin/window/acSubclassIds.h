// Ids of the engine's hooks on windows the framework does not own
// (AddForeignHook, ui/ForeignHooks.h). One window may carry several of them
// at once; each comes off by its id.
#pragma once
#include <cstdint>

namespace cb {

enum TacSubclassId : std::uintptr_t {
  siMenuWindow = 1,  // the menu-window wrapper on a "#32768" popup-menu window
  siDialog,          // the dialog wrapper on a system dialog or message box
  siDialogChild,     // the wrapper of one child control of such a dialog
  siAnimation,       // a show or hide animation holding back the window's own painting
};

}  // namespace cb
