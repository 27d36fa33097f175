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

void TacRgn::AddRect(int Left, int Top, int Right, int Bottom) {
  TacRgn Part(Left, Top, Right, Bottom);
  if (FRgn && Part.FRgn) CombineRgn(FRgn, FRgn, Part.FRgn, RGN_OR);
}

bool TacRgn::SameAs(HWND Wnd) const {
  RECT W{};
  GetWindowRect(Wnd, &W);
  TacRgn Current(0, 0, W.right - W.left, W.bottom - W.top);
  Current.ReadFrom(Wnd);  // stays the whole rectangle without a region
  return FRgn && Current.FRgn && EqualRgn(FRgn, Current.FRgn);
}

long TacRgn::Alive() { return gAlive; }

}  // namespace cb
