// The one kind of layered window the engine shows its own pictures in: the
// border window around a form, hover glows, and the pictures of form
// animations. One window class and one window procedure for all of them: a
// message goes to whoever owns the surface at that moment, so a surface can
// pass from one owner to another without being made again.
#pragma once
#include <windows.h>

namespace cb {

class TDibBitmap;

// What a surface's messages go to. Messages a surface gets while nobody owns
// it are answered by the default: the pointer passes through, and the window
// never activates.
class TacSurfaceOwner {
public:
  virtual LRESULT SurfaceMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) = 0;

protected:
  ~TacSurfaceOwner() = default;
};

class TacLayeredSurface {
public:
  // The class name the system knows these windows by.
  static constexpr const wchar_t* ClassName = L"TacGlowForm";

  // A hidden popup without size or picture, never activated and not on the
  // task bar (ExStyle adds to that), owned by OwnerWnd. Its messages go to
  // Owner (none: the default) from the first one on. Handle() is null when the
  // window could not be made.
  TacLayeredSurface(TacSurfaceOwner* Owner, HWND OwnerWnd, DWORD ExStyle = 0);
  // Destroys the window; no message of its end reaches the owner.
  ~TacLayeredSurface();
  TacLayeredSurface(const TacLayeredSurface&) = delete;
  TacLayeredSurface& operator=(const TacLayeredSurface&) = delete;

  // Null once the window is gone (also when something else destroyed it).
  HWND Handle() const { return FWnd; }
  TacSurfaceOwner* Owner() const { return FOwner; }

  // Lends the surface: its messages go to Borrower until GiveBack, which
  // hands them to the owner it had before. The window, its place and its
  // picture stay as they are. A borrower gives it back before it goes.
  void Adopt(TacSurfaceOwner* Borrower);
  void GiveBack();
  // Passes the surface on for good (an animation takes a border window's
  // surface and hands it back to a border window at its end); null: nobody.
  void SetOwner(TacSurfaceOwner* NewOwner);

  // Shows Picture (premultiplied alpha) with its top left at Pos on screen,
  // at Opacity 0..255 over the per-pixel alpha. Place and size go to the
  // system only when they change (either one makes the update a move too).
  // Dirty, in picture coordinates, sends only that part; only while the size
  // stays. False when the system refused: the next picture tries again.
  bool Present(TDibBitmap& Picture, POINT Pos, int Opacity, const RECT* Dirty = nullptr);

  // Sees every picture any surface is asked to show, before it goes to the
  // system (the animations' tests record their frames with it).
  using TPresentObserver = void (*)(HWND Wnd, const TDibBitmap& Picture, POINT Pos, int Opacity);
  static TPresentObserver PresentObserver;

private:
  static LRESULT CALLBACK WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

  HWND FWnd = nullptr;
  TacSurfaceOwner* FOwner = nullptr;
  TacSurfaceOwner* FLender = nullptr;  // the owner to give the surface back to
  bool FLent = false;
};

}  // namespace cb
