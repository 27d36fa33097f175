// One decoder per target: any input must decode or throw EImageError.
#include <cstddef>
#include <cstdint>

#include "skin/paint/ImageDecoders.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/Resample.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
#if defined(FUZZ_KIND_bmp)
    TDecodedImage img = DecodeBmp(data, size);
#elif defined(FUZZ_KIND_png)
    TDecodedImage img = DecodePng(data, size);
#else
    TDecodedImage img = DecodeJpeg(data, size);
#endif
    const Bitmap32& b = img.Bmp;
    if (b.Empty()) __builtin_trap();  // a decoded image always has pixels
    // Read every pixel so that the sanitizers see the whole result, and put
    // small images through the routines the skin loader applies.
    std::uint32_t acc = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) acc ^= b.Pixel(x, y);
    if (std::int64_t(b.Width()) * b.Height() <= 1 << 16) {
      MakeKeyTransparent(b);
      PremultiplyAlpha(b, acc & 1);
      Bitmap32 half;
      Resample(b, half, BmpSize(b.Width() / 2 + 1, b.Height() / 2 + 1), rfMitchell);
    }
  } catch (const EImageError&) {
  }
  return 0;
}
