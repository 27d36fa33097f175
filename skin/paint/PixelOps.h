// Copying, keying, blending, tinting and colour effects on 32-bit bitmaps.
//
// Colours (TColor, 0x00BBGGRR) are written into pixels (0xAARRGGBB) with red
// and blue swapped. Blends divide by 256. Fill routines take half-open
// rectangles; source rectangles of copy and blend routines include their
// right and bottom edges. A bitmap without rows or columns is left alone.
#pragma once

#include <cstdint>
#include <functional>

#include "skin/paint/Bitmap32.h"
#include "skin/paint/CacheInfo.h"

// Every pixel of R (clipped) = colour with the given alpha byte.
void FillPixels32(const Bitmap32& Bmp, const BmpRect& R, std::uint32_t Color, std::uint8_t Alpha = 255);
// The four bands between Outer and Inner (top, left, right, bottom).
void FillBand32(const Bitmap32& Bmp, const BmpRect& Outer, const BmpRect& Inner, std::uint8_t Alpha,
                std::uint32_t Color);
// c = (c * A + colour.c * (255 - A)) >> 8 for B, G, R; alpha unchanged.
void TintRect32(const Bitmap32& Bmp, const BmpRect& R, int A, std::uint32_t Color);

// c' = (A * (dst - src) + src * 256) >> 8 for all four bytes; A is the
// weight kept by the target.
void BlendBitmapConst(const Bitmap32& Dst, const Bitmap32& Src, int A, BmpPoint DstPt, const BmpRect& SrcRect);
// Per-pixel alpha blend of a source piece with global alpha G (0..255).
void BlendPieceAlpha(const Bitmap32& Dst, const Bitmap32& Src, const BmpRect& SrcRect, int G, BmpPoint DstPt);
// The source piece SrcArea scaled to the size of DstArea, then blended there as
// BlendPieceAlpha. Both rectangles are half-open, as StretchPiece takes them.
void StretchPieceAlpha(const Bitmap32& Dst, const BmpRect& DstArea, const Bitmap32& Src, const BmpRect& SrcArea,
                       int G);
// Keyed copy: source pixels equal to the key take the parent's pixel (when
// OverParent and the parent is ready and another bitmap), the parent's fill
// colour (parent not ready) or are left; pixels copied into the parent's own
// bitmap get alpha 255.
// SrcRect is inclusive, as BlendPieceAlpha takes it.
void CopyPieceKeyed(const Bitmap32& Dst, const Bitmap32& Src, const BmpRect& SrcRect, BmpPoint DstPt, std::uint32_t Key,
                    bool OverParent, const TCacheInfo& ParentBG);
// Source pixels different from the key are copied with alpha 255.
void CopyKeyedOpaque(const Bitmap32& Dst, const Bitmap32& Src, int X, std::uint32_t Key, int Y);
// For source pixels different from the key, all four bytes
// c' = (src * (255 - A) + dst * A) >> 8.
void BlendKeyed(const Bitmap32& Dst, int X, int Y, std::uint32_t Key, int A, const BmpRect& SrcRect,
                const Bitmap32& Src);
// Same size only: c' = ((src - dst) * src.A + dst * 256) >> 8; alpha kept.
void BlendByOwnAlpha(const Bitmap32& Dst, const Bitmap32& Src);
// Same size only: out = (W * (B - A) + A * 256) >> 8 for all four bytes.
void CrossFade(const Bitmap32& Out, const Bitmap32& A, const Bitmap32& B, int W);
// Same size only: c' = ((dst - colour.c) * mask.c + colour.c * 256) >> 8.
void MaskWithColour(const Bitmap32& Dst, const Bitmap32& Mask, std::uint32_t Color);

// Per-pixel colour operations.
enum class TPixelOp {
  Tone,        // value: a colour (TColor)
  Brightness,  // value: -255..255
  Saturation,  // value: -255..255 and beyond (results clamped)
  Hue,         // value: degrees
  Opaque       // alpha = 255
};
// Applies the operation to every pixel that is not the key (as KeyToPixel);
// with key 0x1FFFFFFF to all pixels.
void ForEachPixel(const Bitmap32& Bmp, TPixelOp Op, int Value, std::uint32_t Key = clNoColor);
// One pixel (0xAARRGGBB) through an operation.
std::uint32_t ApplyPixelOp(std::uint32_t Pixel, TPixelOp Op, int Value);
// The same for a TColor (0x00BBGGRR), top byte kept.
std::uint32_t ChangeColorHue(std::uint32_t Color, int Degrees);
std::uint32_t ChangeColorSaturation(std::uint32_t Color, int Value);
std::uint32_t ChangeColorBrightness(std::uint32_t Color, int Value);

// Colour effects of a control after its section is painted: tone (unless
// 0x1FFFFFFF; converted by SkinColorToRGB with Manager), hue offset and
// saturation (each unless 0), all skipping the key pixel 0x00FF00FF.
class ISkinColorSource;
void ApplyColourEffects(const Bitmap32& Bmp, std::uint32_t ColorTone, int HueOffset, int Saturation,
                        const ISkinColorSource* Manager = nullptr);

// c = Round(0.299 R + 0.587 G + 0.114 B) (ties to even) in B, G and R.
void Greyscale32(const Bitmap32& Bmp);
// As above, leaving pixels equal to SkipPixel (a whole 0xAARRGGBB value).
void Greyscale32(const Bitmap32& Bmp, std::uint32_t SkipPixel);
// The luminance of one pixel by the same rule.
std::uint8_t GreyOf(std::uint32_t Pixel);

// Library-wide settings of the disabled look.
struct TacDisabledSettings {
  int Saturation = -90;  // percent; -100 means greyscale
  int Blend = 100;       // weight (0..255) the control keeps
};
TacDisabledSettings& DisabledSettings();

// Kinds of the disabled look (a set).
inline constexpr unsigned dkBlended = 1;
inline constexpr unsigned dkGrayed = 2;

// Disabled look: greyed, then blended with the parent's background.
// ParentColor answers the parent control's background colour; it is asked
// only when the parent's fill colour is unknown (may be empty: white).
void DrawDisabled(const Bitmap32& Bmp, unsigned Kinds, const std::function<std::uint32_t()>& ParentColor,
                  BmpPoint Offset, const TCacheInfo& ParentBG);

// Images without alpha: opaque, except pixels of the key colour, which become
// the fully transparent key pixel 0x00FF00FF.
void MakeKeyTransparent(const Bitmap32& Bmp, std::uint32_t Key = clKeyColor);
// Images with alpha: opaque key pixels (0xFFFF00FF) become the fully
// transparent key pixel 0x00FF00FF; every other pixel stays.
void ClearOpaqueKey(const Bitmap32& Bmp);
// Colour channels multiplied by alpha (channel * alpha >> 8); 0x00FFFFFF
// becomes 0. With LimitBright, pixels whose channels are all 245 or more are
// limited to 244 afterwards.
void PremultiplyAlpha(const Bitmap32& Bmp, bool LimitBright = false);

// Nearest-neighbour stretch of a source piece (half-open) into a target piece
// (half-open), clipped to both bitmaps.
void StretchNearest(const Bitmap32& Dst, const BmpRect& DstRect, const Bitmap32& Src, const BmpRect& SrcRect);
// Plain copy of a source piece (half-open) to a target point, clipped.
void CopyPiece(const Bitmap32& Dst, BmpPoint DstPt, const Bitmap32& Src, const BmpRect& SrcRect);
