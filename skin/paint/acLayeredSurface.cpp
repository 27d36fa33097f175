#include "skin/paint/acLayeredSurface.h"

#include <algorithm>

#include "skin/paint/DibBitmap.h"
#include "ui/Forms.h"

namespace cb {

namespace {

// The window's own data: the surface it belongs to, in its extra bytes.
constexpr int kSurfaceSlot = 0;

bool RegisterSurfaceClass(WNDPROC Proc) {
  // Registered here alone: a second registration under the same name with
  // another procedure would decide by order which one every window gets.
  static const bool Done = [Proc] {
    WNDCLASSEXW WC{};
    WC.cbSize = sizeof WC;
    // No class shadow (CS_DROPSHADOW): the pictures carry their own.
    WC.style = 0;
    WC.lpfnWndProc = Proc;
    WC.cbWndExtra = sizeof(LONG_PTR);
    WC.hInstance = GetModuleHandleW(nullptr);
    WC.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    WC.lpszClassName = TacLayeredSurface::ClassName;
    return RegisterClassExW(&WC) != 0;
  }();
  return Done;
}

LRESULT DefaultMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_NCHITTEST: return HTTRANSPARENT;  // the pointer goes to what lies below
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    default: return DefWindowProcW(Wnd, Msg, WParam, LParam);
  }
}

}  // namespace

TacLayeredSurface::TacLayeredSurface(TacSurfaceOwner* Owner, HWND OwnerWnd, DWORD ExStyle) : FOwner(Owner) {
  if (!RegisterSurfaceClass(&WndProc)) return;
  // FWnd is set by the first message, so the owner hears the creation too.
  CreateWindowExW(WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | ExStyle, ClassName, L"", WS_POPUP, 0, 0, 0, 0,
                  OwnerWnd, nullptr, GetModuleHandleW(nullptr), this);
}

TacLayeredSurface::~TacLayeredSurface() {
  if (!FWnd) return;
  HWND W = FWnd;
  FWnd = nullptr;
  SetWindowLongPtrW(W, kSurfaceSlot, 0);
  DestroyWindow(W);
}

void TacLayeredSurface::Adopt(TacSurfaceOwner* Borrower) {
  if (!FLent) {
    FLender = FOwner;
    FLent = true;
  }
  FOwner = Borrower;
}

void TacLayeredSurface::SetOwner(TacSurfaceOwner* NewOwner) {
  FOwner = NewOwner;
  FLender = nullptr;
  FLent = false;
}

TacLayeredSurface::TPresentObserver TacLayeredSurface::PresentObserver = nullptr;

void TacLayeredSurface::GiveBack() {
  if (!FLent) return;
  FOwner = FLender;
  FLender = nullptr;
  FLent = false;
}

bool TacLayeredSurface::Present(TDibBitmap& Picture, POINT Pos, int Opacity, const RECT* Dirty) {
  if (!FWnd || Picture.Empty()) return false;
  if (PresentObserver) PresentObserver(FWnd, Picture, Pos, Opacity);
  RECT Now{};
  GetWindowRect(FWnd, &Now);
  SIZE Size{Picture.Width(), Picture.Height()};
  POINT Src{0, 0};
  BLENDFUNCTION Blend{AC_SRC_OVER, 0, static_cast<BYTE>(std::clamp(Opacity, 0, 255)), AC_SRC_ALPHA};
  UPDATELAYEREDWINDOWINFO Info{};
  Info.cbSize = sizeof Info;
  Info.pptDst = Now.left != Pos.x || Now.top != Pos.y ? &Pos : nullptr;
  Info.psize = Now.right - Now.left != Size.cx || Now.bottom - Now.top != Size.cy ? &Size : nullptr;
  Info.hdcSrc = Picture.Canvas();
  Info.pptSrc = &Src;
  Info.pblend = &Blend;
  Info.dwFlags = ULW_ALPHA;
  Info.prcDirty = Info.psize ? nullptr : Dirty;
  // No screen context: the system takes the screen's own, and each one asked
  // for is a round trip to the window server under Wine, on every fade step.
  return UpdateLayeredWindowIndirect(FWnd, &Info) != FALSE;
}

LRESULT CALLBACK TacLayeredSurface::WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_NCCREATE) {
    auto* Self = static_cast<TacLayeredSurface*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
    SetWindowLongPtrW(Wnd, kSurfaceSlot, reinterpret_cast<LONG_PTR>(Self));
    if (Self) Self->FWnd = Wnd;
  }
  auto* Self = reinterpret_cast<TacLayeredSurface*>(GetWindowLongPtrW(Wnd, kSurfaceSlot));
  TacSurfaceOwner* Owner = Self ? Self->FOwner : nullptr;
  LRESULT Result = 0;
  try {
    Result = Owner ? Owner->SurfaceMessage(Wnd, Msg, WParam, LParam) : DefaultMessage(Wnd, Msg, WParam, LParam);
  } catch (...) {
    // Never unwind through the system's frames.
    if (Application) Application->HandleException(nullptr);
    Result = DefWindowProcW(Wnd, Msg, WParam, LParam);
  }
  if (Msg == WM_NCDESTROY && Self) {
    SetWindowLongPtrW(Wnd, kSurfaceSlot, 0);
    Self->FWnd = nullptr;
  }
  return Result;
}

}  // namespace cb
