// A region with one owner: deleted when it goes, unless a window took it.
// The live count lets tests see that no temporary region is left behind
// (the system's own object counts are not kept under Wine).
#pragma once
#include <windows.h>

namespace cb {

class TacRgn {
public:
  TacRgn(int Left, int Top, int Right, int Bottom);
  ~TacRgn();
  TacRgn(const TacRgn&) = delete;
  TacRgn& operator=(const TacRgn&) = delete;

  HRGN Get() const { return FRgn; }
  // Joins a rectangle to the region.
  void AddRect(int Left, int Top, int Right, int Bottom);
  // Same area as the window's own region (a window without one: its whole rectangle).
  bool SameAs(HWND Wnd) const;
  // The window's own region (false when it has none).
  bool ReadFrom(HWND Wnd);
  // Hands the region to the window; it stays this object's when refused.
  bool SetTo(HWND Wnd, bool Redraw);
  // Regions made here and not yet deleted or handed over.
  static long Alive();

private:
  HRGN FRgn;
};

}  // namespace cb
