#pragma once
// Tiny image files built in code for synthetic skins.
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cb::test {

// 0x00RRGGBB colour of a pixel.
using PixelFn = std::function<uint32_t(int x, int y)>;

inline void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
inline void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}

// 24-bit bottom-up BMP.
inline std::vector<uint8_t> MakeBmp24(int w, int h, const PixelFn& px) {
  int stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> v{'B', 'M'};
  Put32(v, static_cast<uint32_t>(54 + stride * h));
  Put32(v, 0);
  Put32(v, 54);
  Put32(v, 40);
  Put32(v, static_cast<uint32_t>(w));
  Put32(v, static_cast<uint32_t>(h));
  Put16(v, 1);
  Put16(v, 24);
  Put32(v, 0);
  Put32(v, static_cast<uint32_t>(stride * h));
  Put32(v, 2835);
  Put32(v, 2835);
  Put32(v, 0);
  Put32(v, 0);
  for (int y = h - 1; y >= 0; --y) {
    size_t start = v.size();
    for (int x = 0; x < w; ++x) {
      uint32_t c = px(x, y);
      v.push_back(static_cast<uint8_t>(c));
      v.push_back(static_cast<uint8_t>(c >> 8));
      v.push_back(static_cast<uint8_t>(c >> 16));
    }
    while (v.size() - start < static_cast<size_t>(stride)) v.push_back(0);
  }
  return v;
}

inline void PngChunk(std::vector<uint8_t>& v, const char* type, const std::vector<uint8_t>& data) {
  uint32_t n = static_cast<uint32_t>(data.size());
  for (int i = 3; i >= 0; --i) v.push_back(static_cast<uint8_t>(n >> (8 * i)));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  v.insert(v.end(), body.begin(), body.end());
  uint32_t crc = static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
  for (int i = 3; i >= 0; --i) v.push_back(static_cast<uint8_t>(crc >> (8 * i)));
}

// RGBA PNG; px gives 0xAARRGGBB.
inline std::vector<uint8_t> MakePngRgba(int w, int h, const PixelFn& px) {
  std::vector<uint8_t> v{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> ihdr;
  for (uint32_t x : {static_cast<uint32_t>(w), static_cast<uint32_t>(h)})
    for (int i = 3; i >= 0; --i) ihdr.push_back(static_cast<uint8_t>(x >> (8 * i)));
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
  PngChunk(v, "IHDR", ihdr);
  std::vector<uint8_t> raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      uint32_t c = px(x, y);
      raw.insert(raw.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c),
                             static_cast<uint8_t>(c >> 24)});
    }
  }
  uLongf n = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> z(n);
  compress2(z.data(), &n, raw.data(), static_cast<uLong>(raw.size()), 9);
  z.resize(n);
  PngChunk(v, "IDAT", z);
  PngChunk(v, "IEND", {});
  return v;
}

}  // namespace cb::test
