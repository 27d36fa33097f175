#include "acRegion.h"

namespace cb {

namespace {
long gAlive = 0;
}

TacRgn::TacRgn(int Left, int Top, int Right, int Bottom) : FRgn(CreateRectRgn(Left, Top, Right, Bottom)) {
  if (FRgn) ++gAlive;
}

TacRgn::~TacRgn() {
  if (FRgn) {
    DeleteObject(FRgn);
    --gAlive;
  }
}

bool TacRgn::ReadFrom(HWND Wnd) { return FRgn && GetWindowRgn(Wnd, FRgn) != ERROR; }

bool TacRgn::SetTo(HWND Wnd, bool Redraw) {
  if (!FRgn || !SetWindowRgn(Wnd, FRgn, Redraw)) return false;
  // The window owns it from now on.
  FRgn = nullptr;
  --gAlive;
  return true;
}

long TacRgn::Alive() { return gAlive; }

}  // namespace cb
