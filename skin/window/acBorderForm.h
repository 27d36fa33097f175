// The layered companion window of a skinned window: shows the frame image with
// the soft shadow around the real window, lies directly behind it, and hands
// the pointer over the frame to its owner as non-client input.
#pragma once
#include <windows.h>

#include <memory>

#include "skin/paint/acLayeredSurface.h"

namespace cb {

class TacFrame;

// What the border window needs of its owner (a form provider or a dialog wrapper).
class TacBorderOwner {
public:
  virtual HWND BorderOwnerHandle() const = 0;
  virtual bool BorderOwnerSkinned() const = 0;
  // The frame it shows: image, geometry, hit codes, title-button hover.
  virtual TacFrame& BorderFrame() = 0;

protected:
  ~TacBorderOwner() = default;
};

class TacBorderForm : private TacSurfaceOwner {
public:
  explicit TacBorderForm(TacBorderOwner* Owner);
  ~TacBorderForm();
  TacBorderForm(const TacBorderForm&) = delete;
  TacBorderForm& operator=(const TacBorderForm&) = delete;

  // Brings the layered window in step with the owner: created when missing,
  // its picture renewed when the owner's image changed, placed behind the
  // owner (Redraw lets the move repaint). Freed while the owner is hidden or
  // minimised.
  void UpdateExBordersPos(bool Redraw, int Blend = 255);
  // Frees the layered window (it is made again on the next update).
  void FreeWindow();
  // Hands the layered window over to an animation (null when there is none);
  // a border window is made again on the next update.
  std::unique_ptr<TacLayeredSurface> ReleaseSurface();
  // Takes the surface back after the animation: it shows the owner's frame
  // again from the next update on.
  void AdoptSurface(std::unique_ptr<TacLayeredSurface> Surface);
  HWND Handle() const { return FWnd; }
  bool Locked = false;
  // Pictures handed to the window system so far (moves must send none).
  int PictureCount = 0;
  bool ResetRgn = false;
  POINT LastTopLeft{0, 0};

private:
  LRESULT SurfaceMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) override;
  LRESULT NCHitTest(POINT Screen);
  void PunchHole(POINT Client);
  void MakeRgn();
  void KeepBehindOwner();
  static constexpr UINT_PTR ZOrderTimer = 1;
  void CreateWnd();
  HWND OwnerWnd() const;
  TacFrame& Frame() const;
  // The owner's hit code of a screen point.
  int HitAt(POINT Screen) const;
  bool OverShadow(POINT Image) const;

  TacBorderOwner* FOwner;
  std::unique_ptr<TacLayeredSurface> FSurface;
  HWND FWnd = nullptr;  // FSurface's window while it has one
  int FImageW = 0, FImageH = 0;
  unsigned FShownSerial = 0;  // the owner's image serial the window shows
  int FShownBlend = -1;
  bool ExBorderShowing = false;
  bool FTrackingLeave = false;
  bool FZoomed = false;  // the region was made for a maximised owner
  int FZOrderChecks = 0;
};

}  // namespace cb
