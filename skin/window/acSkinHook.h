// Automatic skinning: the thread's window-creation hook attaches a form
// provider to each of the application's forms, and decides which system
// dialogs and popup-menu windows get skinned.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "acDialogWnd.h"
#include "sSkinProvider.h"

namespace cb {

// What was attached to one window. One made for a form is a component of
// that form and goes with it, whatever order the program's objects go in;
// one made for a system dialog has no owner and goes with its window.
// Either leaves the hook's list as it is freed.
class TacProvider : public TComponent {
  CB_CLASS(TacProvider, TComponent)
public:
  explicit TacProvider(TCustomForm* AForm, HWND AHandle);
  ~TacProvider() override;
  bool IsRunTimeOnly() const override { return true; }
  std::unique_ptr<TsSkinProvider> sp;  // none for a system dialog
  // A system dialog's wrapper; its window's hooks own it.
  TacDialogWnd* ListSW = nullptr;
  bool WindowGoing = false;
  // Skins the dialog; false when it could not be taken (nothing is left changed).
  bool InitDialog();
  // The dialog's wrapper came off (its window went, or it gave the dialog back).
  bool DialogDead() const;
  HWND CtrlHandle = nullptr;
  TCustomForm* Form = nullptr;
};

// A form whose Tag holds all these bits is never skinned.
constexpr std::intptr_t acExcludeTag = 0x100;
// At most this many skinned system dialogs are visible at once.
constexpr int acMaxVisibleDialogs = 2;

// Registers the hook's handling with the skin manager (before the first form).
void InstallFormSkinning();
// Attaches a window as the hook does; true when it was dealt with.
bool AttachWindow(HWND Wnd);
// What the hook attached, in order.
const std::vector<TacProvider*>& AttachedWindows();
TacProvider* FindAttached(HWND Wnd);
// Frees everything attached (the manager's hook is going).
void ReleaseAttachedWindows();

}  // namespace cb
