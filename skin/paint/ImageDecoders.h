// Decoders of the image files a skin may carry: BMP (our own reader), PNG
// (libpng) and JPEG (libjpeg). They decode from memory into a Bitmap32 and
// throw EImageError with a clear message on bad input; sizes are capped so
// that a forged header cannot make them allocate without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/Errors.h"
#include "skin/paint/Bitmap32.h"

class EImageError : public EClearbayError {
 public:
  using EClearbayError::EClearbayError;
};

enum class TImageFormat { Unknown, Bmp, Png, Jpeg };

struct TDecodedImage {
  Bitmap32 Bmp;           // top-down 32-bit pixels
  bool HasAlpha = false;  // the file carried an alpha channel (kept in Bmp)
  int SourceBits = 0;     // bits per pixel of the file (PNG/JPEG: of a pixel, channels x depth)
};

// Largest width or height accepted, and largest pixel count.
inline constexpr int kMaxImageSide = 16384;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t(1) << 24;

// Images without alpha come out with alpha 255 in every pixel.
TDecodedImage DecodeBmp(const std::uint8_t* data, std::size_t size);
TDecodedImage DecodePng(const std::uint8_t* data, std::size_t size);
TDecodedImage DecodeJpeg(const std::uint8_t* data, std::size_t size);
// Chooses by format; Unknown is sniffed from the first bytes.
TDecodedImage DecodeImage(const std::uint8_t* data, std::size_t size, TImageFormat format = TImageFormat::Unknown);

// Format by a file name's extension (".bmp", ".png", ".jpg", ".jpeg", any case).
TImageFormat ImageFormatFromName(std::string_view fileName);
// Format by the first bytes of the data.
TImageFormat SniffImageFormat(const std::uint8_t* data, std::size_t size);
