// Small image files written in code, for decoder tests and fuzz seeds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <png.h>
#include <jpeglib.h>

namespace samples {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// BMP with a 40-byte header (or 56 with masks), rows given top-down as
// 0xAARRGGBB pixels. bpp 1/4/8 use `palette` (pixel value = index).
inline Bytes MakeBmp(int w, int h, int bpp, bool topDown, const std::vector<std::uint32_t>& px,
                     const std::vector<std::uint32_t>& palette = {}, std::uint32_t compression = 0,
                     const std::uint32_t* masks = nullptr) {
  const int hsize = masks ? 56 : 40;
  const int stride = (w * bpp + 31) / 32 * 4;
  Bytes pix(std::size_t(stride) * std::size_t(h), 0);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = pix.data() + std::size_t(stride) * std::size_t(topDown ? y : h - 1 - y);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t v = px[std::size_t(y * w + x)];
      switch (bpp) {
        case 1: row[x / 8] |= std::uint8_t((v & 1) << (7 - x % 8)); break;
        case 4: row[x / 2] |= std::uint8_t((v & 0xF) << (x % 2 ? 0 : 4)); break;
        case 8: row[x] = std::uint8_t(v); break;
        case 16: row[2 * x] = std::uint8_t(v); row[2 * x + 1] = std::uint8_t(v >> 8); break;
        case 24: row[3 * x] = std::uint8_t(v); row[3 * x + 1] = std::uint8_t(v >> 8); row[3 * x + 2] = std::uint8_t(v >> 16); break;
        default: std::memcpy(row + 4 * x, &v, 4);
      }
    }
  }
  Bytes b{'B', 'M'};
  const std::uint32_t off = 14 + std::uint32_t(hsize) + std::uint32_t(palette.size()) * 4;
  Put32(b, off + std::uint32_t(pix.size()));
  Put32(b, 0);
  Put32(b, off);
  Put32(b, std::uint32_t(hsize));
  Put32(b, std::uint32_t(w));
  Put32(b, std::uint32_t(topDown ? -h : h));
  Put16(b, 1);
  Put16(b, std::uint32_t(bpp));
  Put32(b, compression);
  Put32(b, std::uint32_t(pix.size()));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, std::uint32_t(palette.size()));
  Put32(b, 0);
  if (masks)
    for (int i = 0; i < 4; ++i) Put32(b, masks[i]);
  for (std::uint32_t c : palette) Put32(b, c & 0xFFFFFF);
  b.insert(b.end(), pix.begin(), pix.end());
  return b;
}

// PNG through libpng's simplified writer; `format` is a PNG_FORMAT_* value
// and `data` holds rows of that format (or indexes with a colour map).
inline Bytes MakePng(int w, int h, std::uint32_t format, const void* data, const void* colormap = nullptr,
                     int colormapEntries = 0) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = png_uint_32(w);
  img.height = png_uint_32(h);
  img.format = format;
  img.colormap_entries = png_uint_32(colormapEntries);
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&img, nullptr, &size, 0, data, 0, colormap)) throw std::runtime_error(img.message);
  Bytes out(size);
  if (!png_image_write_to_memory(&img, out.data(), &size, 0, data, 0, colormap)) throw std::runtime_error(img.message);
  out.resize(size);
  return out;
}

// JPEG of a smooth picture; 1 or 3 components; optionally progressive.
inline Bytes MakeJpeg(int w, int h, int components, bool progressive = false) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = JDIMENSION(w);
  c.image_height = JDIMENSION(h);
  c.input_components = components;
  c.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<std::uint8_t> row(std::size_t(w * components));
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < components; ++k)
        row[std::size_t(x * components + k)] = std::uint8_t(k == 0 ? 200 : (k == 1 ? 100 : 50));
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  Bytes out(mem, mem + size);
  jpeg_destroy_compress(&c);
  std::free(mem);
  return out;
}

}  // namespace samples
