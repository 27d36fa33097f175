// A 32-bit bitmap whose pixels are a DIB section: the pixel layer paints into
// it, GDI draws text into it and copies it to windows.
#pragma once
#include <windows.h>

#include "skin/paint/Bitmap32.h"

namespace cb {

class TDibBitmap {
public:
  TDibBitmap() = default;
  TDibBitmap(int Width, int Height) { SetSize(Width, Height); }
  ~TDibBitmap() { Free(); }
  TDibBitmap(const TDibBitmap&) = delete;
  TDibBitmap& operator=(const TDibBitmap&) = delete;

  // Zero-filled pixels of the new size unless the size is already that; a
  // size of 0 frees everything. False when the system has no memory for it.
  bool SetSize(int Width, int Height);
  void Free();

  int Width() const { return FBmp.Width(); }
  int Height() const { return FBmp.Height(); }
  bool Empty() const { return FBmp.Empty(); }
  Bitmap32& Bmp() { return FBmp; }
  const Bitmap32& Bmp() const { return FBmp; }
  HBITMAP Handle() const { return FHandle; }
  // A memory context with the bitmap selected (made on first use).
  HDC Canvas();

  // Copies a part of the bitmap to DC (alpha ignored).
  void CopyTo(HDC DC, int X, int Y, const BmpRect& Source);
  void CopyTo(HDC DC, int X, int Y) { CopyTo(DC, X, Y, FBmp.Bounds()); }

  // Bitmaps and memory contexts made here and not yet deleted: the system's
  // own object counts are not kept under Wine, so tests count these.
  static long Alive();

private:
  Bitmap32 FBmp;
  HBITMAP FHandle = nullptr;
  HDC FDC = nullptr;
  HGDIOBJ FOld = nullptr;
};

}  // namespace cb
