// Painting through a device context.
#include <gtest/gtest.h>

#include <cstdint>

#include "skin/paint/PaintDC.h"
#include "ui/Graphics.h"

namespace {

// An 8 x 8 top-down 32-bit DIB selected into a memory DC.
struct TDibDC {
  HDC DC = CreateCompatibleDC(nullptr);
  std::uint32_t* Bits = nullptr;
  HBITMAP Bmp = nullptr;
  HGDIOBJ Old = nullptr;
  TDibDC() {
    BITMAPINFO BI{};
    BI.bmiHeader.biSize = sizeof(BI.bmiHeader);
    BI.bmiHeader.biWidth = 8;
    BI.bmiHeader.biHeight = -8;
    BI.bmiHeader.biPlanes = 1;
    BI.bmiHeader.biBitCount = 32;
    void* P = nullptr;
    Bmp = CreateDIBSection(DC, &BI, DIB_RGB_COLORS, &P, nullptr, 0);
    Bits = static_cast<std::uint32_t*>(P);
    Old = SelectObject(DC, Bmp);
  }
  ~TDibDC() {
    SelectObject(DC, Old);
    DeleteObject(Bmp);
    DeleteDC(DC);
  }
  std::uint32_t At(int X, int Y) const {
    GdiFlush();
    return Bits[Y * 8 + X] & 0xFFFFFF;
  }
};

}  // namespace

TEST(PaintDC, FillRectDCFillsHalfOpenRectWithTheColoursRgb) {
  TDibDC D;
  ASSERT_NE(D.Bits, nullptr);
  FillRectDC(D.DC, RECT{1, 1, 3, 4}, 0x0000FF);  // red as a TColor
  EXPECT_EQ(D.At(1, 1), 0xFF0000u) << "stored blue, green, red";
  EXPECT_EQ(D.At(2, 3), 0xFF0000u);
  EXPECT_EQ(D.At(3, 3), 0u) << "right edge not filled";
  EXPECT_EQ(D.At(2, 4), 0u) << "bottom edge not filled";
  EXPECT_EQ(D.At(0, 0), 0u);

  // A system colour is the system's RGB, not a built-in default (the pixel
  // layer's own conversion once shadowed the framework's at link time).
  FillRectDC(D.DC, RECT{0, 6, 8, 8}, clBtnFace);
  const COLORREF Face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(D.At(5, 7), (std::uint32_t(GetRValue(Face)) << 16) | (GetGValue(Face) << 8) | GetBValue(Face));
}

TEST(PaintDC, FillRectDCLeavesTheContextAsItWas) {
  TDibDC D;
  HBRUSH Mine = CreateSolidBrush(RGB(1, 2, 3));
  SelectObject(D.DC, Mine);
  SetViewportOrgEx(D.DC, 2, 0, nullptr);
  SetTextColor(D.DC, RGB(9, 8, 7));
  FillRectDC(D.DC, RECT{0, 0, 1, 1}, 0x00FF00);
  EXPECT_EQ(D.At(2, 0), 0x00FF00u) << "drawn in the caller's coordinates";
  EXPECT_EQ(GetCurrentObject(D.DC, OBJ_BRUSH), Mine);
  POINT Org{};
  GetViewportOrgEx(D.DC, &Org);
  EXPECT_EQ(Org.x, 2);
  EXPECT_EQ(GetTextColor(D.DC), RGB(9, 8, 7));
  SelectObject(D.DC, GetStockObject(WHITE_BRUSH));
  DeleteObject(Mine);
  FillRectDC(nullptr, RECT{0, 0, 1, 1}, 0);  // no context: nothing to do
}
