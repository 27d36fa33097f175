// The wrapper of a popup-menu window ("#32768"): the window is made
// transparent before it first shows, so the system's frame never flashes;
// its frame is painted from the menu level's picture; the layered style goes
// once the first picture is up.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "skin/paint/DibBitmap.h"
#include "ui/ForeignHooks.h"

namespace cb {

class TacMnuWnd : public TForeignWrapper {
public:
  explicit TacMnuWnd(HWND Wnd);
  ~TacMnuWnd() override;
  void WndProc(TMessage& M, const TWindowHookNext& Next) override;
  HWND Handle() const { return FWnd; }

  bool Destroyed = false;
  // The window's region was set since the last question about it.
  bool RgnChanged = false;
  // The frame has been painted once.
  bool FramePainted = false;
  // Layered by the wrapper and not yet given its final opacity.
  bool LayeredByUs = false;

  // Paints the frame (what lies outside the items) into a DC of the whole window.
  void PaintFrame(HDC WindowDC);

private:
  void OnShowing(const WINDOWPOS& WP);
  void OnCommand(TMessage& M);
  void FirstPictureUp();
  void RedrawOthers();
  const Bitmap32* Picture();
  HWND FWnd;
  // The menu section at the window's size, when the painter has no picture of this window.
  std::unique_ptr<TDibBitmap> FCache;
};

// Wraps a menu window as the creation hook does; false when it cannot.
bool WrapMenuWindow(HWND Wnd);
// The wrappers of menu windows alive now (dead ones leave it as they are freed).
const std::vector<TacMnuWnd*>& MenuWrappers();
TacMnuWnd* MenuWrapperOf(HWND Wnd);
// The menu window an item is drawn in: the DC's window, else the one showing Menu.
HWND FindMenuWindow(HDC DC, HMENU Menu);
// The frame's width on every side of a menu window.
constexpr int acMenuFrameWidth = 3;

}  // namespace cb
