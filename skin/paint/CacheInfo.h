// Background on which a piece is painted.
#pragma once

#include <cstdint>

#include "skin/paint/Bitmap32.h"

struct TCacheInfo {
  Bitmap32* Bmp = nullptr;             // the parent's painted image (borrowed)
  int X = 0, Y = 0;                    // offset of the target's origin inside Bmp
  std::uint32_t FillColor = 0xFF00FF;  // plain colour of the parent, 0xFF00FF when unknown
  BmpRect FillRect;                    // part of Bmp that holds only FillColor
  bool Ready = false;                  // Bmp holds a valid image

  bool Known() const { return Ready || FillColor != 0xFF00FF; }
};

// The background "what is already in the bitmap itself".
inline TCacheInfo MakeCacheInfo(Bitmap32& bmp) {
  TCacheInfo ci;
  ci.Bmp = &bmp;
  ci.Ready = true;
  return ci;
}
