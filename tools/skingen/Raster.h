// Drawing helpers for the skin's images: anti-aliased shapes composited onto a
// 32-bit bitmap (straight alpha), plus PNG and 24-bit BMP writers. Results are
// deterministic: fixed supersampling and no platform text or font services.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "skin/paint/Bitmap32.h"

namespace skingen {

// Colour as 0x00BBGGRR (the skin's colour order).
using Colour = std::uint32_t;
constexpr Colour RGB(int r, int g, int b) { return Colour(r) | Colour(g) << 8 | Colour(b) << 16; }

// Coverage test in pixel coordinates (pixel x spans [x, x + 1)).
using Shape = std::function<bool(double x, double y)>;

// Composites the colour with the given opacity (0..1) wherever the shape
// covers a pixel of the clip rectangle, by 8 x 8 supersampling.
void FillShape(const Bitmap32& bmp, const BmpRect& clip, const Shape& shape, Colour c, double opacity = 1.0);
// Sets every pixel of r to the colour with the given alpha (no compositing).
void SetRect(const Bitmap32& bmp, const BmpRect& r, Colour c, std::uint8_t alpha = 255);

Shape RectShape(double l, double t, double r, double b);
Shape RoundRectShape(double l, double t, double r, double b, double radius);
Shape CircleShape(double cx, double cy, double radius);
// A thick polyline with round joins and caps.
Shape StrokeShape(std::vector<std::pair<double, double>> points, double width);
Shape Difference(Shape a, Shape b);

// Fraction (0..1) of a pixel covered by a shape.
double Coverage(const Shape& shape, int x, int y);

// Writes RGBA PNG (maximum compression, no time or text chunks). Throws
// std::runtime_error on failure.
void WritePng(const std::string& path, const Bitmap32& bmp);
// PNG bytes in memory.
std::vector<std::uint8_t> EncodePng(const Bitmap32& bmp);
// Writes a bottom-up 24-bit BMP with a 40-byte info header.
void WriteBmp24(const std::string& path, const Bitmap32& bmp);

}  // namespace skingen
