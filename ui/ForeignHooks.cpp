#include "ui/ForeignHooks.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "ui/Forms.h"
#include "ui/WindowMap.h"

namespace {

LRESULT CALLBACK ForeignWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

struct THook {
  std::uintptr_t Id;
  TWindowHookProc Proc;
  std::unique_ptr<TForeignWrapper> Wrapper;
  std::uint64_t Serial = 0;  // order of adding; a message passes over hooks newer than itself
  bool Removed = false;
};

// The subclass of one window and the hooks on it.
//
// Messages walk FHooks by index from the newest down. While any message of
// the window is under way (FDepth > 0) no entry moves: removed hooks stay in
// place, marked, and a hook replaced in place is parked in FReplaced. So a
// message needs no copy of the chain, and no hook nor wrapper is freed under
// a procedure that may still be running it. At depth 0 the marked ones go.
class TSubclass {
public:
  explicit TSubclass(HWND Wnd) : FWnd(Wnd) {}
  bool Install();
  LRESULT Handle(UINT Msg, WPARAM WParam, LPARAM LParam);
  void Add(std::unique_ptr<THook> Hook);
  bool Remove(std::uintptr_t Id);
  THook* Find(std::uintptr_t Id) const;

private:
  void CallFrom(std::size_t Below, std::uint64_t Serial, TMessage& M);
  void Settle();
  bool RestorePrevious();

  HWND FWnd;
  WNDPROC FPrev = nullptr;
  std::vector<std::unique_ptr<THook>> FHooks;  // oldest first
  std::vector<std::unique_ptr<THook>> FReplaced;
  std::uint64_t FSerial = 0;
  int FDepth = 0;
  bool FDirty = false;      // something to free at depth 0
  bool FDestroyed = false;  // WM_NCDESTROY seen
};

// The subclass of each window. Never destroyed: windows still receive
// messages while static objects go at exit.
TWindowMap<TSubclass>& Subclasses() {
  static auto* M = new TWindowMap<TSubclass>;
  return *M;
}
TSubclass* FindSubclass(HWND Wnd) { return Subclasses().Find(Wnd); }
void MapSubclass(HWND Wnd, TSubclass* S) { Subclasses().Set(Wnd, S); }

LRESULT CALLBACK ForeignWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (TSubclass* S = FindSubclass(Wnd)) return S->Handle(Msg, WParam, LParam);
  // Only a window already past WM_NCDESTROY gets here.
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

LRESULT TSubclass::Handle(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage M{Msg, WParam, LParam, 0};
  ++FDepth;
  try {
    CallFrom(FHooks.size(), FSerial, M);
  } catch (...) {
    // Never let an exception unwind through the system's frames.
    if (Application) Application->HandleException(nullptr);
  }
  if (Msg == WM_NCDESTROY) {
    for (auto& H : FHooks) H->Removed = true;
    FDirty = FDestroyed = true;
    RestorePrevious();
    MapSubclass(FWnd, nullptr);  // the handle may name another window from now on
  }
  if (--FDepth == 0) Settle();  // may free this
  return M.Result;
}

void TSubclass::CallFrom(std::size_t Below, std::uint64_t Serial, TMessage& M) {
  while (Below > 0) {
    THook& H = *FHooks[--Below];
    if (H.Removed || H.Serial > Serial) continue;
    auto Rest = [this, Below, Serial](TMessage& Next) { CallFrom(Below, Serial, Next); };
    H.Proc(M, TWindowHookNext(Rest));
    return;
  }
  M.Result = CallWindowProcW(FPrev, FWnd, M.Msg, M.WParam, M.LParam);
}

void TSubclass::Add(std::unique_ptr<THook> Hook) {
  Hook->Serial = ++FSerial;
  for (auto& H : FHooks)
    if (!H->Removed && H->Id == Hook->Id) {
      H->Removed = true;
      FReplaced.push_back(std::move(H));
      H = std::move(Hook);
      FDirty = true;
      if (FDepth == 0) Settle();
      return;
    }
  FHooks.push_back(std::move(Hook));
}

bool TSubclass::Remove(std::uintptr_t Id) {
  THook* H = Find(Id);
  if (!H) return false;
  H->Removed = true;
  FDirty = true;
  if (FDepth == 0) Settle();  // may free this
  return true;
}

THook* TSubclass::Find(std::uintptr_t Id) const {
  for (auto& H : FHooks)
    if (!H->Removed && H->Id == Id) return H.get();
  return nullptr;
}

void TSubclass::Settle() {
  // A wrapper's destructor may send its window messages (a style put back):
  // the raised depth keeps them from settling inside this loop, which picks up
  // whatever they took off.
  ++FDepth;
  while (FDirty) {
    FDirty = false;
    std::vector<std::unique_ptr<THook>> Dead = std::move(FReplaced);
    FReplaced.clear();
    for (auto& H : FHooks)
      if (H->Removed) Dead.push_back(std::move(H));
    std::erase_if(FHooks, [](const auto& H) { return !H; });
    Dead.clear();
  }
  --FDepth;
  if (FDestroyed) {
    delete this;
  } else if (FHooks.empty() && RestorePrevious()) {
    MapSubclass(FWnd, nullptr);
    delete this;
  }
  // Otherwise a procedure installed after ours still calls it: stay, passing
  // everything through, until ours is the window's again.
}

bool TSubclass::Install() {
  FPrev = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(FWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ForeignWndProc)));
  return FPrev != nullptr;
}

bool TSubclass::RestorePrevious() {
  if (GetWindowLongPtrW(FWnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&ForeignWndProc)) return false;
  SetWindowLongPtrW(FWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FPrev));
  return true;
}

bool AddHook(HWND Wnd, std::unique_ptr<THook> Hook) {
  // Messages run on the window's thread, and the chain is not locked.
  if (!Wnd || GetWindowThreadProcessId(Wnd, nullptr) != GetCurrentThreadId()) return false;
  TSubclass* S = FindSubclass(Wnd);
  if (!S) {
    // Everything that may throw comes before the window is changed.
    auto New = std::make_unique<TSubclass>(Wnd);
    MapSubclass(Wnd, New.get());
    if (!New->Install()) {
      MapSubclass(Wnd, nullptr);
      return false;
    }
    S = New.release();
  }
  S->Add(std::move(Hook));
  return true;
}

}  // namespace

bool AddForeignHook(HWND Wnd, std::uintptr_t Id, TWindowHookProc Proc) {
  return AddHook(Wnd, std::make_unique<THook>(THook{Id, std::move(Proc), nullptr}));
}

bool AddForeignHook(HWND Wnd, std::uintptr_t Id, std::unique_ptr<TForeignWrapper> Wrapper) {
  TForeignWrapper* W = Wrapper.get();
  if (!W) return false;
  auto Proc = [W](TMessage& M, const TWindowHookNext& Next) { W->WndProc(M, Next); };
  return AddHook(Wnd, std::make_unique<THook>(THook{Id, Proc, std::move(Wrapper)}));
}

bool RemoveForeignHook(HWND Wnd, std::uintptr_t Id) {
  TSubclass* S = FindSubclass(Wnd);
  return S && S->Remove(Id);
}

bool HasForeignHook(HWND Wnd, std::uintptr_t Id) {
  TSubclass* S = FindSubclass(Wnd);
  return S && S->Find(Id);
}

TForeignWrapper* FindForeignWrapper(HWND Wnd, std::uintptr_t Id) {
  TSubclass* S = FindSubclass(Wnd);
  THook* H = S ? S->Find(Id) : nullptr;
  return H ? H->Wrapper.get() : nullptr;
}
