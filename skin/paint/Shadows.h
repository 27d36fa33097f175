// Soft shadow shapes computed from a few numbers of the skin.
#pragma once

#include <cstdint>
#include <utility>

#include "skin/paint/Bitmap32.h"

// Window shadow template: (2R + 2S + 1) wide, (2R + 2S + O + 1) high,
// premultiplied. Each corner is a radial falloff of radius R around its own
// centre, p = round(255 * (R + 1 - E) * (1 - E / R) / R) limited to 0..255
// for a distance E <= R; alpha = opacity * p >> 8, colour premultiplied by
// that alpha (>> 8). The 2S rows and columns between the corners repeat the
// edge pixels and the shape starts O rows below the top. Color carries the
// opacity in its top byte (0x99000000). Negative values count as 0.
Bitmap32 MakeWindowShadow(std::uint32_t Color, int Radius, int Offset, int Size);
// Two window shadows that differ in colour alone (a skin's active and
// inactive ones), each as MakeWindowShadow makes it.
std::pair<Bitmap32, Bitmap32> MakeWindowShadows(std::uint32_t Color1, std::uint32_t Color2, int Radius, int Offset,
                                                int Size);

// Margins of the window shadow template around a window: S, max(0, S - O),
// S, max(0, S + O).
BmpRect WindowShadowMargins(int Offset, int Size);

// Blurred rounded shape for outer effects, as an image-and-mask bitmap of
// Width x 2 * Height: the upper half holds the colours (opaque, or the key
// pixel 0x00FF00FF where a side's colour is the key 0xFF00FF), the lower half
// the mask (grey: 0 shows the image fully, 255 keeps the background).
//
// The solid part is the rectangle Shape (half-open, in the upper half's
// coordinates; it may be empty or lie partly outside) with corners rounded by
// Radius; outside it the shape fades over Blur pixels with a quadratic
// falloff (Blur 0: a hard edge). Each pixel takes the colour of the side of
// Shape it lies beyond (left, top, right, bottom; the side it is farthest
// beyond wins, left and right before top and bottom on ties; inside: left).
struct ShadowShapeColors {
  std::uint32_t Left = 0, Top = 0, Right = 0, Bottom = 0;  // TColor each
};
Bitmap32 MakeBlurredShape(int Width, int Height, const BmpRect& Shape, int Radius, int Blur,
                          const ShadowShapeColors& Colors);
