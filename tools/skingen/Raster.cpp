#include "Raster.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace skingen {

namespace {

constexpr int kSub = 8;

double DistToSegment(double px, double py, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  double qx = ax + t * dx - px, qy = ay + t * dy - py;
  return std::sqrt(qx * qx + qy * qy);
}

std::uint8_t ToByte(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

double Coverage(const Shape& shape, int x, int y) {
  int hits = 0;
  for (int sy = 0; sy < kSub; ++sy)
    for (int sx = 0; sx < kSub; ++sx)
      if (shape(x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub)) ++hits;
  return double(hits) / (kSub * kSub);
}

void FillShape(const Bitmap32& bmp, const BmpRect& clip, const Shape& shape, Colour c, double opacity) {
  int l = std::max(clip.Left, 0), t = std::max(clip.Top, 0);
  int r = std::min(clip.Right, bmp.Width()), b = std::min(clip.Bottom, bmp.Height());
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) {
      double a = Coverage(shape, x, y) * opacity;
      if (a <= 0) continue;
      std::uint32_t d = bmp.Pixel(x, y);
      double da = (d >> 24) / 255.0;
      double oa = a + da * (1 - a);
      auto mix = [&](double src, double dst) { return oa > 0 ? (src * a + dst * da * (1 - a)) / oa : 0.0; };
      double r8 = mix(c & 0xFF, (d >> 16) & 0xFF);
      double g8 = mix((c >> 8) & 0xFF, (d >> 8) & 0xFF);
      double b8 = mix((c >> 16) & 0xFF, d & 0xFF);
      bmp.SetPixel(x, y,
                   std::uint32_t(ToByte(oa * 255)) << 24 | std::uint32_t(ToByte(r8)) << 16 |
                       std::uint32_t(ToByte(g8)) << 8 | ToByte(b8));
    }
}

void SetRect(const Bitmap32& bmp, const BmpRect& r, Colour c, std::uint8_t alpha) {
  for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, bmp.Height()); ++y)
    for (int x = std::max(r.Left, 0); x < std::min(r.Right, bmp.Width()); ++x) bmp.SetPixel(x, y, ColorToPixel(c, alpha));
}

Shape RectShape(double l, double t, double r, double b) {
  return [=](double x, double y) { return x >= l && x < r && y >= t && y < b; };
}

Shape RoundRectShape(double l, double t, double r, double b, double radius) {
  return [=](double x, double y) {
    if (x < l || x >= r || y < t || y >= b) return false;
    double cx = std::clamp(x, l + radius, r - radius), cy = std::clamp(y, t + radius, b - radius);
    double dx = x - cx, dy = y - cy;
    return dx * dx + dy * dy <= radius * radius;
  };
}

Shape CircleShape(double cx, double cy, double radius) {
  return [=](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius; };
}

Shape StrokeShape(std::vector<std::pair<double, double>> points, double width) {
  return [pts = std::move(points), half = width / 2](double x, double y) {
    for (size_t i = 0; i + 1 < pts.size(); ++i)
      if (DistToSegment(x, y, pts[i].first, pts[i].second, pts[i + 1].first, pts[i + 1].second) <= half) return true;
    return false;
  };
}

Shape Difference(Shape a, Shape b) {
  return [a = std::move(a), b = std::move(b)](double x, double y) { return a(x, y) && !b(x, y); };
}

std::vector<std::uint8_t> EncodePng(const Bitmap32& bmp) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) throw std::runtime_error("libpng: cannot create a writer");
  png_infop info = png_create_info_struct(png);
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> row(size_t(bmp.Width()) * 4);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    throw std::runtime_error("libpng: cannot encode the image");
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* v = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + n);
      },
      [](png_structp) {});
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, bmp.Width(), bmp.Height(), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < bmp.Height(); ++y) {
    for (int x = 0; x < bmp.Width(); ++x) {
      std::uint32_t p = bmp.Pixel(x, y);
      row[x * 4 + 0] = (p >> 16) & 0xFF;
      row[x * 4 + 1] = (p >> 8) & 0xFF;
      row[x * 4 + 2] = p & 0xFF;
      row[x * 4 + 3] = p >> 24;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

namespace {
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& data) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f || std::fwrite(data.data(), 1, data.size(), f.get()) != data.size())
    throw std::runtime_error("cannot write " + path);
}
void Put16(std::vector<std::uint8_t>& v, unsigned x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
}  // namespace

void WritePng(const std::string& path, const Bitmap32& bmp) { WriteFile(path, EncodePng(bmp)); }

void WriteBmp24(const std::string& path, const Bitmap32& bmp) {
  const std::uint32_t rowBytes = (std::uint32_t(bmp.Width()) * 3 + 3) & ~3u;
  const std::uint32_t imageBytes = rowBytes * std::uint32_t(bmp.Height());
  std::vector<std::uint8_t> v;
  v.reserve(54 + imageBytes);
  v.push_back('B');
  v.push_back('M');
  Put32(v, 54 + imageBytes);
  Put32(v, 0);
  Put32(v, 54);
  Put32(v, 40);
  Put32(v, std::uint32_t(bmp.Width()));
  Put32(v, std::uint32_t(bmp.Height()));  // positive: bottom-up rows
  Put16(v, 1);
  Put16(v, 24);
  Put32(v, 0);  // no compression
  Put32(v, imageBytes);
  Put32(v, 2835);  // 72 dots per inch
  Put32(v, 2835);
  Put32(v, 0);
  Put32(v, 0);
  for (int y = bmp.Height() - 1; y >= 0; --y) {
    size_t start = v.size();
    for (int x = 0; x < bmp.Width(); ++x) {
      std::uint32_t p = bmp.Pixel(x, y);
      v.push_back(p & 0xFF);
      v.push_back((p >> 8) & 0xFF);
      v.push_back((p >> 16) & 0xFF);
    }
    v.resize(start + rowBytes, 0);
  }
  WriteFile(path, v);
}

}  // namespace skingen
