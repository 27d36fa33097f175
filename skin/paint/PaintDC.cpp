#include "skin/paint/PaintDC.h"

#include "ui/Graphics.h"

void FillRectDC(HDC DC, const RECT& R, TColor Color) {
  if (!DC) return;
  const int Saved = SaveDC(DC);
  if (HBRUSH Brush = CreateSolidBrush(ColorToRGB(Color))) {
    FillRect(DC, &R, Brush);
    DeleteObject(Brush);
  }
  if (Saved) RestoreDC(DC, Saved);
}
