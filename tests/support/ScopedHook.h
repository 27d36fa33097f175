#pragma once
// A window hook that comes off when its scope ends. Declared after the locals
// it captures, it goes before them: a hook left on a control still runs while
// the control is torn down, and would write into locals already gone.
#include <cstdint>
#include <utility>

#include "ui/Controls.h"

namespace cb::test {

class TScopedHook {
public:
  TScopedHook(TControl* Control, std::uintptr_t Id, TWindowHookProc Proc) : FControl(Control), FId(Id) {
    FControl->AddWindowHook(FId, std::move(Proc));
  }
  ~TScopedHook() { FControl->RemoveWindowHook(FId); }
  TScopedHook(const TScopedHook&) = delete;
  TScopedHook& operator=(const TScopedHook&) = delete;

private:
  TControl* FControl;
  std::uintptr_t FId;
};

}  // namespace cb::test
