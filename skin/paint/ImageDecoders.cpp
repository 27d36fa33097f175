#include "skin/paint/ImageDecoders.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <png.h>
// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace {

using u8 = std::uint8_t;
using u32 = std::uint32_t;

[[noreturn]] void Fail(const std::string& what) { throw EImageError(what); }

void CheckSize(const char* kind, long long w, long long h) {
  if (w <= 0 || h <= 0) Fail(std::string(kind) + " image has an invalid size");
  if (w > kMaxImageSide || h > kMaxImageSide || w * h > kMaxImagePixels)
    Fail(std::string(kind) + " image of " + std::to_string(w) + " x " + std::to_string(h) + " pixels is too large");
}

// ---- BMP --------------------------------------------------------------------

u32 Le16(const u8* p) { return u32(p[0]) | (u32(p[1]) << 8); }
u32 Le32(const u8* p) { return u32(p[0]) | (u32(p[1]) << 8) | (u32(p[2]) << 16) | (u32(p[3]) << 24); }

// One channel described by a bit mask, widened to 8 bits.
struct Field {
  u32 mask = 0;
  int shift = 0, bits = 0;
  explicit Field(u32 m = 0) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    for (u32 v = m >> shift; v & 1; v >>= 1) ++bits;
    if (bits > 8) { shift += bits - 8; bits = 8; }
  }
  u32 Get(u32 px, u32 absent) const {
    if (!mask || !bits) return absent;
    const u32 v = (px >> shift) & ((1u << bits) - 1);
    const u32 max = (1u << bits) - 1;
    return (v * 255 + max / 2) / max;
  }
};

constexpr u32 kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6;

void DecodeRle(const u8* p, const u8* end, int bpp, const std::vector<u32>& pal, const Bitmap32& bmp) {
  const int w = bmp.Width(), h = bmp.Height();
  int x = 0, y = 0;  // y counts from the bottom row
  auto put = [&](u32 index) {
    if (x < w && y < h) bmp.SetPixel(x, h - 1 - y, index < pal.size() ? pal[index] : 0xFF000000u);
    ++x;
  };
  while (true) {
    if (end - p < 2) Fail("BMP run-length data is truncated");
    const u32 n = p[0], v = p[1];
    p += 2;
    if (n > 0) {
      for (u32 i = 0; i < n && x < w; ++i) put(bpp == 8 ? v : (i & 1 ? v & 0xF : v >> 4));
      continue;
    }
    if (v == 0) {  // end of line
      x = 0;
      if (++y >= h) return;
    } else if (v == 1) {  // end of bitmap
      return;
    } else if (v == 2) {  // move
      if (end - p < 2) Fail("BMP run-length data is truncated");
      x += p[0];
      y += p[1];
      p += 2;
      if (y >= h) return;
    } else {  // v literal pixels, padded to 16 bits
      const std::size_t bytes = bpp == 8 ? v : (v + 1) / 2;
      const std::size_t padded = (bytes + 1) & ~std::size_t(1);
      if (std::size_t(end - p) < padded) Fail("BMP run-length data is truncated");
      for (u32 i = 0; i < v; ++i) put(bpp == 8 ? p[i] : (i & 1 ? p[i / 2] & 0xF : p[i / 2] >> 4));
      p += padded;
    }
  }
}

}  // namespace

TDecodedImage DecodeBmp(const std::uint8_t* data, std::size_t size) {
  if (!data || size < 2 || data[0] != 'B' || data[1] != 'M') Fail("Data is not a BMP image");
  if (size < 18) Fail("BMP header is truncated");
  const u32 offBits = Le32(data + 10);
  const u32 hsize = Le32(data + 14);
  if (hsize != 12 && (hsize < 40 || hsize > 124)) Fail("BMP header of unknown kind");
  if (14ull + hsize > size) Fail("BMP header is truncated");
  const u8* h = data + 14;
  long long w, ht;
  u32 bpp, comp = kRgb, clrUsed = 0;
  if (hsize == 12) {
    w = Le16(h + 4);
    ht = std::int16_t(Le16(h + 6));
    bpp = Le16(h + 10);
  } else {
    w = std::int32_t(Le32(h + 4));
    ht = std::int32_t(Le32(h + 8));
    bpp = Le16(h + 14);
    comp = Le32(h + 16);
    clrUsed = Le32(h + 32);
  }
  const bool topDown = ht < 0;
  if (topDown) ht = -ht;
  CheckSize("BMP", w, ht);
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) Fail("BMP bit depth is not supported");
  if ((comp == kRle8 && bpp != 8) || (comp == kRle4 && bpp != 4) ||
      ((comp == kBitfields || comp == kAlphaBitfields) && bpp != 16 && bpp != 32) ||
      (comp != kRgb && comp != kRle8 && comp != kRle4 && comp != kBitfields && comp != kAlphaBitfields))
    Fail("BMP compression is not supported");
  if ((comp == kRle8 || comp == kRle4) && topDown) Fail("BMP run-length image cannot be top-down");

  // Channel masks: in the header from 52 bytes on, else after a 40-byte one.
  std::size_t after = 14 + hsize;
  u32 masks[4] = {0, 0, 0, 0};
  bool haveAlphaMask = false;
  if (comp == kBitfields || comp == kAlphaBitfields) {
    const int n = comp == kAlphaBitfields ? 4 : 3;
    const u8* m = h + 40;
    if (hsize < 52) {
      if (after + 4ull * n > size) Fail("BMP header is truncated");
      m = data + after;
      after += 4 * std::size_t(n);
    }
    for (int i = 0; i < n; ++i) masks[i] = Le32(m + 4 * i);
    if (hsize >= 56) masks[3] = Le32(h + 52);
    haveAlphaMask = masks[3] != 0;
  } else if (bpp == 16) {
    masks[0] = 0x7C00; masks[1] = 0x03E0; masks[2] = 0x001F;
  }

  std::vector<u32> pal;
  if (bpp <= 8) {
    const std::size_t entry = hsize == 12 ? 3 : 4;
    std::size_t n = clrUsed ? clrUsed : (std::size_t(1) << bpp);
    if (n > 256) n = 256;
    const std::size_t room = size > after ? (size - after) / entry : 0;
    if (room < n) {
      if (room == 0) Fail("BMP palette is truncated");
      n = room;
    }
    pal.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      const u8* e = data + after + i * entry;
      pal[i] = 0xFF000000u | (u32(e[2]) << 16) | (u32(e[1]) << 8) | e[0];
    }
  }

  if (offBits >= size) Fail("BMP pixel data is missing");
  TDecodedImage out;
  out.SourceBits = int(bpp);
  out.Bmp = Bitmap32(int(w), int(ht));
  const Bitmap32& bmp = out.Bmp;
  const u8* pix = data + offBits;
  const u8* end = data + size;

  if (comp == kRle8 || comp == kRle4) {
    bmp.Fill(pal.empty() ? 0xFF000000u : pal[0]);
    DecodeRle(pix, end, int(bpp), pal, bmp);
    return out;
  }

  const unsigned long long stride = ((unsigned long long)w * bpp + 31) / 32 * 4;
  if (stride * (unsigned long long)ht > (unsigned long long)(end - pix)) Fail("BMP pixel data is truncated");
  const Field fr(masks[0]), fg(masks[1]), fb(masks[2]), fa(masks[3]);
  out.HasAlpha = (bpp == 32 && comp == kRgb) || haveAlphaMask;
  for (long long row = 0; row < ht; ++row) {
    const u8* s = pix + stride * row;
    u32* d = bmp.Line(int(topDown ? row : ht - 1 - row));
    for (long long x = 0; x < w; ++x) {
      u32 v;
      switch (bpp) {
        case 1: { const u32 i = (s[x >> 3] >> (7 - (x & 7))) & 1; v = i < pal.size() ? pal[i] : 0xFF000000u; break; }
        case 4: { const u32 i = (s[x >> 1] >> (x & 1 ? 0 : 4)) & 0xF; v = i < pal.size() ? pal[i] : 0xFF000000u; break; }
        case 8: v = s[x] < pal.size() ? pal[s[x]] : 0xFF000000u; break;
        case 24: v = 0xFF000000u | (u32(s[3 * x + 2]) << 16) | (u32(s[3 * x + 1]) << 8) | s[3 * x]; break;
        case 16: {
          const u32 p = Le16(s + 2 * x);
          v = fb.Get(p, 0) | (fg.Get(p, 0) << 8) | (fr.Get(p, 0) << 16) | (fa.Get(p, 255) << 24);
          break;
        }
        default: {
          const u32 p = Le32(s + 4 * x);
          if (comp == kRgb) v = p;
          else v = fb.Get(p, 0) | (fg.Get(p, 0) << 8) | (fr.Get(p, 0) << 16) | (fa.Get(p, 255) << 24);
        }
      }
      d[x] = v;
    }
  }
  return out;
}

// ---- PNG --------------------------------------------------------------------

namespace {

struct PngJob {
  const u8* data = nullptr;
  std::size_t size = 0, pos = 0;
  char message[256] = "";
  // Filled by the decoder:
  png_uint_32 width = 0, height = 0;
  int sourceBits = 0;
  bool hasAlpha = false;
  // Called once the size is known; returns row pointers or null.
  png_bytep* (*prepare)(PngJob*) = nullptr;
  void* owner = nullptr;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  if (n > job->size - job->pos) png_error(png, "PNG data is truncated");
  std::memcpy(out, job->data + job->pos, n);
  job->pos += n;
}

void PngFail(png_structp png, png_const_charp msg) {
  auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
  std::snprintf(job->message, sizeof job->message, "%s", msg ? msg : "unknown error");
  png_longjmp(png, 1);
}

void PngWarn(png_structp, png_const_charp) {}

// Only trivially destructible locals live here: libpng leaves by longjmp.
bool PngDecodeCore(PngJob* job) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, PngFail, PngWarn);
  if (!png) {
    std::snprintf(job->message, sizeof job->message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    std::snprintf(job->message, sizeof job->message, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, job, PngRead);
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(png, 8u << 20);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#endif
  png_read_info(png, info);
  job->width = png_get_image_width(png, info);
  job->height = png_get_image_height(png, info);
  if ((unsigned long long)job->width * job->height > (unsigned long long)kMaxImagePixels)
    png_error(png, "image is too large");
  const int colorType = png_get_color_type(png, info);
  job->sourceBits = png_get_bit_depth(png, info) * png_get_channels(png, info);
  job->hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != png_size_t(job->width) * 4) png_error(png, "unexpected pixel layout");
  png_bytep* rows = job->prepare(job);
  if (!rows) png_error(png, "out of memory");
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

struct PngTarget {
  Bitmap32 bmp;
  std::vector<png_bytep> rows;
};

png_bytep* PreparePng(PngJob* job) {
  auto* t = static_cast<PngTarget*>(job->owner);
  try {
    t->bmp = Bitmap32(int(job->width), int(job->height));
    t->rows.resize(job->height);
    for (png_uint_32 y = 0; y < job->height; ++y) t->rows[y] = t->bmp.Row(int(y));
    return t->rows.data();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

TDecodedImage DecodePng(const std::uint8_t* data, std::size_t size) {
  if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) Fail("Data is not a PNG image");
  PngTarget target;
  PngJob job;
  job.data = data;
  job.size = size;
  job.prepare = PreparePng;
  job.owner = &target;
  if (!PngDecodeCore(&job)) Fail(std::string("PNG image cannot be read: ") + job.message);
  TDecodedImage out;
  out.Bmp = std::move(target.bmp);
  out.HasAlpha = job.hasAlpha;
  out.SourceBits = job.sourceBits;
  return out;
}

// ---- JPEG -------------------------------------------------------------------

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegFail(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void JpegMessage(j_common_ptr cinfo, int level) {
  // A premature end of data is a truncated file, not a grey-padded image.
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) JpegFail(cinfo);
}

void JpegProgress(j_common_ptr cinfo) {
  // Forged progressive files can hold a huge number of scans.
  if (cinfo->is_decompressor) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > 300) {
      auto* err = reinterpret_cast<JpegError*>(cinfo->err);
      std::snprintf(err->message, sizeof err->message, "too many scans");
      std::longjmp(err->jump, 1);
    }
  }
}

struct JpegJob {
  const u8* data;
  std::size_t size;
  JDIMENSION width = 0, height = 0;
  int components = 0;
  png_bytep* (*prepare)(JpegJob*) = nullptr;
  void* owner = nullptr;
  char message[JMSG_LENGTH_MAX] = "";
};

bool JpegDecodeCore(JpegJob* job) {
  jpeg_decompress_struct cinfo;
  JpegError err;
  jpeg_progress_mgr progress;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegFail;
  err.mgr.emit_message = JpegMessage;
  err.message[0] = 0;
  if (setjmp(err.jump)) {
    std::snprintf(job->message, sizeof job->message, "%s", err.message);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  progress.progress_monitor = JpegProgress;
  cinfo.progress = &progress;
  cinfo.mem->max_memory_to_use = 256L << 20;
  jpeg_mem_src(&cinfo, const_cast<unsigned char*>(job->data), static_cast<unsigned long>(job->size));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width > JDIMENSION(kMaxImageSide) || cinfo.image_height > JDIMENSION(kMaxImageSide) ||
      (unsigned long long)cinfo.image_width * cinfo.image_height > (unsigned long long)kMaxImagePixels) {
    std::snprintf(err.message, sizeof err.message, "image of %u x %u pixels is too large", cinfo.image_width,
                  cinfo.image_height);
    std::longjmp(err.jump, 1);
  }
  job->components = cinfo.num_components;
  cinfo.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&cinfo);
  job->width = cinfo.output_width;
  job->height = cinfo.output_height;
  png_bytep* rows = job->prepare(job);
  if (!rows) {
    std::snprintf(err.message, sizeof err.message, "out of memory");
    std::longjmp(err.jump, 1);
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rows[cinfo.output_scanline];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

png_bytep* PrepareJpeg(JpegJob* job) {
  auto* t = static_cast<PngTarget*>(job->owner);
  try {
    t->bmp = Bitmap32(int(job->width), int(job->height));
    t->rows.resize(job->height);
    for (JDIMENSION y = 0; y < job->height; ++y) t->rows[y] = t->bmp.Row(int(y));
    return t->rows.data();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

TDecodedImage DecodeJpeg(const std::uint8_t* data, std::size_t size) {
  if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) Fail("Data is not a JPEG image");
  if (size > 0x7FFFFFFFu) Fail("JPEG data is too large");  // the library counts in long
  PngTarget target;
  JpegJob job{data, size};
  job.prepare = PrepareJpeg;
  job.owner = &target;
  if (!JpegDecodeCore(&job)) Fail(std::string("JPEG image cannot be read: ") + job.message);
  TDecodedImage out;
  out.Bmp = std::move(target.bmp);
  out.HasAlpha = false;
  out.SourceBits = 8 * job.components;
  return out;
}

// ---- choice of decoder --------------------------------------------------------

TImageFormat SniffImageFormat(const std::uint8_t* data, std::size_t size) {
  if (!data) return TImageFormat::Unknown;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return TImageFormat::Bmp;
  if (size >= 8 && png_sig_cmp(data, 0, 8) == 0) return TImageFormat::Png;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return TImageFormat::Jpeg;
  return TImageFormat::Unknown;
}

TImageFormat ImageFormatFromName(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return TImageFormat::Unknown;
  std::string ext;
  for (char c : fileName.substr(dot + 1)) ext += char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (ext == "bmp") return TImageFormat::Bmp;
  if (ext == "png") return TImageFormat::Png;
  if (ext == "jpg" || ext == "jpeg") return TImageFormat::Jpeg;
  return TImageFormat::Unknown;
}

TDecodedImage DecodeImage(const std::uint8_t* data, std::size_t size, TImageFormat format) {
  if (format == TImageFormat::Unknown) format = SniffImageFormat(data, size);
  switch (format) {
    case TImageFormat::Bmp: return DecodeBmp(data, size);
    case TImageFormat::Png: return DecodePng(data, size);
    case TImageFormat::Jpeg: return DecodeJpeg(data, size);
    default: Fail("Data is not an image of a known format");
  }
}
