// Separable two-pass resampling.
#pragma once

#include "skin/paint/Bitmap32.h"

// Filters by number.
enum TResampleFilter : int {
  rfBox = 0,
  rfTriangle = 1,
  rfHermite = 2,
  rfBell = 3,
  rfBSpline = 4,
  rfSinc = 5,       // windowed (Lanczos, three lobes)
  rfMitchell = 6,   // B = C = 1/3; the one the painters use
};

// Scales Src into Dst at Size. Nothing happens for a source
// smaller than 2 x 2, a non-positive target size or an unknown filter; equal
// sizes copy. An owned Dst is sized to Size; a wrapped Dst must
// already have that size (otherwise nothing happens). Returns whether Dst
// was written. All four bytes are filtered.
bool Resample(const Bitmap32& Src, Bitmap32& Dst, BmpSize Size, int Filter);

// Scales an image of Cols x Rows equal cells (frames side by side, mask rows
// below) by Mul / Div, cell by cell so that no filter reaches across a cell
// edge. The result is as large as the whole image scaled (at least 1 x 1);
// cell i, j lands at (i * W / Cols, j * H / Rows) of it, where the painters
// look for it, and columns or rows left over by the division stay clear.
// Smooth uses the Mitchell filter, otherwise nearest pixels (also for cells
// too small to filter).
Bitmap32 ScaleFrames(const Bitmap32& Src, int Cols, int Rows, int Mul, int Div, bool Smooth);
