#include "skin/paint/Shadows.h"
#include "base/Rounding.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Column or row of the (2R + 1) core that an image coordinate repeats: the
// 2S lines between the two corner centres repeat the centre line.
int CoreCoord(int v, int r, int s) {
  if (v <= r) return v;
  if (v <= r + 2 * s) return r;
  return v - 2 * s;
}

}  // namespace

namespace {

// The window shadows of several colours at once: the opacity of a pixel is
// worked out once for all of them (a skin's active and inactive shadows differ
// in colour alone).
void MakeShadows(const std::uint32_t* Colors, Bitmap32* Out, int Count, int Radius, int Offset, int Size) {
  const int r = std::clamp(Radius, 0, 1024), o = std::clamp(Offset, 0, 1024), s = std::clamp(Size, 0, 1024);
  const int w = 2 * r + 2 * s + 1;
  std::uint32_t opacity[2], rgb[2];
  for (int k = 0; k < Count; ++k) {
    // Every row below the offset is written in full; the offset rows are clear.
    Out[k] = Bitmap32::Uninitialized(w, w + o);
    for (int y = 0; y < o; ++y) std::memset(Out[k].Line(y), 0, std::size_t(w) * 4);
    opacity[k] = Colors[k] >> 24;
    rgb[k] = SwapRB(Colors[k]) & 0xFFFFFFu;  // pixel order
  }
  // Opacity of a core pixel by its distance from the centre (R, R).
  auto level = [r](int cx, int cy) -> int {
    const double dx = cx - r, dy = cy - r;
    const double e = std::sqrt(dx * dx + dy * dy);
    if (e > r) return 0;
    if (r == 0) return 255;
    const double p = RoundEvenValue(255.0 * (r + 1 - e) * (1.0 - e / r) / r);
    return int(std::clamp(p, 0.0, 255.0));
  };
  // A pixel depends only on its core coordinates, so the 2S repeated rows are
  // copies of the centre row and the repeated columns of the centre column;
  // the distance is symmetric, so the far half mirrors the near one. The
  // square roots are taken over a quarter of the core alone, and over half
  // of that, as the distance does not change when x and y trade places.
  const int n = r + 1;
  std::vector<int> levels(std::size_t(n) * std::size_t(n));
  for (int cy = 0; cy < n; ++cy)
    for (int cx = cy; cx < n; ++cx) levels[std::size_t(cy) * n + cx] = levels[std::size_t(cx) * n + cy] = level(cx, cy);
  for (int y = 0; y < w; ++y) {
    if (y > r) {
      for (int k = 0; k < Count; ++k)
        std::memcpy(Out[k].Line(y + o), Out[k].Line((y <= r + 2 * s ? r : w - 1 - y) + o), std::size_t(w) * 4);
      continue;
    }
    const int cy = CoreCoord(y, r, s);
    for (int x = 0; x < w; ++x) {
      const int from = x <= r ? -1 : x <= r + 2 * s ? r : w - 1 - x;
      const int lv = from < 0 ? levels[std::size_t(cy) * n + CoreCoord(x, r, s)] : 0;
      for (int k = 0; k < Count; ++k) {
        std::uint32_t* line = Out[k].Line(y + o);
        if (from >= 0) {
          line[x] = line[from];
          continue;
        }
        const std::uint32_t a = (opacity[k] * std::uint32_t(lv)) >> 8;
        std::uint32_t px = a << 24;
        for (int sh = 0; sh < 24; sh += 8) px |= ((((rgb[k] >> sh) & 0xFF) * a) >> 8) << sh;
        line[x] = px;
      }
    }
  }
}

}  // namespace

Bitmap32 MakeWindowShadow(std::uint32_t Color, int Radius, int Offset, int Size) {
  Bitmap32 bmp;
  MakeShadows(&Color, &bmp, 1, Radius, Offset, Size);
  return bmp;
}

std::pair<Bitmap32, Bitmap32> MakeWindowShadows(std::uint32_t Color1, std::uint32_t Color2, int Radius, int Offset,
                                                int Size) {
  const std::uint32_t colors[2] = {Color1, Color2};
  Bitmap32 out[2];
  MakeShadows(colors, out, 2, Radius, Offset, Size);
  return {std::move(out[0]), std::move(out[1])};
}

BmpRect WindowShadowMargins(int Offset, int Size) {
  return BmpRect(Size, std::max(0, Size - Offset), Size, std::max(0, Size + Offset));
}

Bitmap32 MakeBlurredShape(int Width, int Height, const BmpRect& Shape, int Radius, int Blur,
                          const ShadowShapeColors& Colors) {
  if (Width <= 0 || Height <= 0 || std::int64_t(Width) * Height * 2 > Bitmap32::kMaxPixels) return Bitmap32();
  // Every pixel of both halves is written below.
  Bitmap32 bmp = Bitmap32::Uninitialized(Width, 2 * Height);
  const double blur = std::max(0, Blur);
  // Solid part: the rectangle with rounded corners; a pixel's distance from
  // it is that from the rectangle shrunk by the radius, less the radius.
  const double l = Shape.Left, t = Shape.Top, rr = Shape.Right, b = Shape.Bottom;
  const double cx = (l + rr) / 2, cy = (t + b) / 2;
  const double hw = std::max(0.0, (rr - l) / 2), hh = std::max(0.0, (b - t) / 2);
  const double rad = std::clamp(double(Radius), 0.0, std::min(hw, hh));
  const std::uint32_t sideColor[4] = {Colors.Left, Colors.Top, Colors.Right, Colors.Bottom};
  for (int y = 0; y < Height; ++y) {
    std::uint32_t* img = bmp.Line(y);
    std::uint32_t* mask = bmp.Line(y + Height);
    for (int x = 0; x < Width; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      const double qx = std::fabs(px - cx) - (hw - rad), qy = std::fabs(py - cy) - (hh - rad);
      const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
      const double dist = std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - rad;
      int level;
      if (dist <= 0) {
        level = 255;
      } else if (blur > 0) {
        const double k = 1.0 - dist / blur;
        level = k <= 0 ? 0 : int(std::lround(255.0 * k * k));
      } else {
        level = dist < 1.0 ? int(std::lround(255.0 * (1.0 - dist))) : 0;
      }
      // The side this pixel lies beyond.
      const double beyond[4] = {l - px, t - py, px - rr, py - b};
      int side = 0;
      for (int k : {2, 1, 3})
        if (beyond[k] > beyond[side]) side = k;
      const std::uint32_t c = sideColor[side];
      if ((c & 0xFFFFFFu) == 0xFF00FF) {
        img[x] = 0x00FF00FFu;
        mask[x] = 0xFFFFFFFFu;
      } else {
        img[x] = ColorToPixel(c, 255);
        const std::uint32_t m = std::uint32_t(255 - level);
        mask[x] = 0xFF000000u | m | (m << 8) | (m << 16);
      }
    }
  }
  return bmp;
}
