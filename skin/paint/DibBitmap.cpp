#include "skin/paint/DibBitmap.h"

#include <atomic>

namespace cb {

namespace {
std::atomic<long> gAlive{0};
}

long TDibBitmap::Alive() { return gAlive.load(); }

bool TDibBitmap::SetSize(int Width, int Height) {
  if (Width <= 0 || Height <= 0) {
    Free();
    return true;
  }
  if (FHandle && Width == FBmp.Width() && Height == FBmp.Height()) return true;
  if (static_cast<std::int64_t>(Width) * Height > Bitmap32::kMaxPixels) return false;
  Free();
  BITMAPINFO BI{};
  BI.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  BI.bmiHeader.biWidth = Width;
  BI.bmiHeader.biHeight = -Height;  // top-down: row 0 first in memory
  BI.bmiHeader.biPlanes = 1;
  BI.bmiHeader.biBitCount = 32;
  BI.bmiHeader.biCompression = BI_RGB;
  void* Bits = nullptr;
  HBITMAP H = CreateDIBSection(nullptr, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (!H || !Bits) {
    if (H) DeleteObject(H);
    return false;
  }
  FHandle = H;
  ++gAlive;
  FBmp = Bitmap32::Wrap(Bits, Width, Height, static_cast<std::ptrdiff_t>(Width) * 4);
  return true;
}

void TDibBitmap::Free() {
  FBmp = Bitmap32();
  if (FDC) {
    SelectObject(FDC, FOld);
    DeleteDC(FDC);
    --gAlive;
    FDC = nullptr;
    FOld = nullptr;
  }
  if (FHandle) {
    DeleteObject(FHandle);
    --gAlive;
    FHandle = nullptr;
  }
}

HDC TDibBitmap::Canvas() {
  if (!FHandle) return nullptr;
  if (!FDC) {
    FDC = CreateCompatibleDC(nullptr);
    if (FDC) {
      ++gAlive;
      FOld = SelectObject(FDC, FHandle);
    }
  }
  // GDI may still be drawing into the pixels the pixel layer reads next.
  GdiFlush();
  return FDC;
}

void TDibBitmap::CopyTo(HDC DC, int X, int Y, const BmpRect& S) {
  if (!DC || Empty()) return;
  if (HDC Src = Canvas()) BitBlt(DC, X, Y, S.Width(), S.Height(), Src, S.Left, S.Top, SRCCOPY);
}

}  // namespace cb
