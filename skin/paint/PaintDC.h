#pragma once
// Painting that needs a device context.
#include <windows.h>

#include "base/Geometry.h"

// Fills R with a solid brush of Color's RGB (system colours resolved); the
// device context's state is as before afterwards.
void FillRectDC(HDC DC, const RECT& R, TColor Color);
