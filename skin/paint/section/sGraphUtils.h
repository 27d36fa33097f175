// Painting one skin section into a 32-bit bitmap: background (colour,
// texture, gradient, transparency over the parent), corner images, the
// nine-part border image, and the control's colour effects. Portable: the
// device-context entry points live with the Windows control binding.
#pragma once

#include <cstdint>
#include <vector>

#include "sSkinData.h"
#include "sSkinManagerCore.h"
#include "skin/paint/Bitmap32.h"
#include "skin/paint/CacheInfo.h"

namespace cb {

// The few things the painter reads of a control's skin binding. The Windows
// binding implements it; tests and tools fake it.
class ISectionBinding {
 public:
  virtual ~ISectionBinding() = default;
  // Skin data the control paints with (its density); null: not skinned.
  virtual TacSkinData* SkinData() const = 0;
  virtual int SkinIndex() const = 0;
  // True when the control paints with its own colour (OwnerColor).
  virtual bool CustomColor() const = 0;
  // The owner's colour (for a form provider, the form's colour).
  virtual std::uint32_t OwnerColor() const = 0;
  // 0x1FFFFFFF when not set.
  virtual std::uint32_t ColorTone() const = 0;
  virtual int HUEOffset() const = 0;
  virtual int Saturation() const = 0;
  // The parent's background at the control's own origin (X, Y already
  // include the control's position). False when there is no parent.
  virtual bool ParentBackground(TCacheInfo& out) = 0;
};

inline constexpr int kNoTexture = -1;

// The control entry: background, corners, border, colour effects.
void PaintSection(ISectionBinding& CommonData, const TCacheInfo& ParentBG, bool CornersOverParent, int State,
                  Bitmap32& Bmp, BmpPoint Offset, BmpRect Rect);
// Resolves the control's custom colour and paints the section background.
void PaintControlBackground(ISectionBinding& CommonData, const TCacheInfo& ParentBG, int State, Bitmap32& Bmp,
                            BmpPoint Offset, const BmpRect& Rect);
// A section without a control (title bars, menus, dialogs). Texture
// arguments of -1 mean the skin's own textures.
void PaintSectionByIndex(int SkinIndex, const TCacheInfo& ParentBG, int TextureHot, int TextureNormal,
                         TacSkinData* SkinData, Bitmap32& Bmp, BmpPoint Offset, const BmpRect& Rect, int State);
// As PaintSectionByIndex with a caller-supplied border image.
void PaintSectionWithMask(int SkinIndex, const TCacheInfo& ParentBG, const TsMaskData& BorderMask,
                          TacSkinData* SkinData, Bitmap32& Bmp, BmpPoint Offset, const BmpRect& Rect, int State);
// Background only; CustomColor 0xFF00FF takes the colour from the skin.
void PaintSectionBackground(int SkinIndex, const TCacheInfo& ParentBG, int State, std::uint32_t CustomColor,
                            int TextureHot, int TextureNormal, TacSkinData* SkinData, Bitmap32& Bmp, BmpPoint Offset,
                            const BmpRect& Rect);

// Nine-part border image painter.
void DrawBorderMask(Bitmap32& Bmp, const BmpRect& Rect, const TCacheInfo& ParentBG, bool CornersOverParent, int State,
                    const TsMaskData& Mask);
// One state image of a mask at a position; Opaque 1 draws at full strength,
// anything else at half strength.
void DrawCornerImage(Bitmap32& Bmp, BmpPoint Position, int State, const TCacheInfo& ParentBG, const TsMaskData& Mask,
                     int Opaque);
// Texture fills. On return R holds the part left unpainted, or all four
// values -1 when nothing is left.
void DrawTexture(Bitmap32& Bmp, BmpRect& R, int FillMode, const TsMaskData& Mask);
void DrawMaskedTexture(Bitmap32& Bmp, BmpRect& R, const TCacheInfo& ParentBG, int FillMode, const TsMaskData& Mask);
// Gradient bands; Offset lengthens the virtual height of vertical bands.
void PaintGradient(Bitmap32& Bmp, const BmpRect& Rect, const std::vector<TsGradPoint>& Points, int Offset = 0);

// Corner bits of RestoreCorners.
inline constexpr int kCornerTopLeft = 1, kCornerBottomLeft = 2, kCornerTopRight = 4, kCornerBottomRight = 8,
                     kCornersAll = 15;
// Re-composes the corners of a finished cache whose border image has
// transparent corner pixels with the parent's background.
void RestoreCorners(ISectionBinding& CommonData, Bitmap32& Cache, int State, int Corners);

// The border painter limited to the band outside a control, every piece
// composed with Opacity (outer shadows and glows in the parent's image).
void DrawOuterMask(Bitmap32& Bmp, const BmpRect& Rect, const TCacheInfo& ParentBG, int Opacity,
                   const TMargins& Offsets, int State, const TsMaskData& Mask);
// A control's outer effect painted into its parent's image: Bounds is the
// control's rectangle there. The parent's pixels under the effect are saved
// into OuterCache first. Returns false when the section has none.
bool PaintOuterEffect(TacSkinData& SkinData, int SkinIndex, Bitmap32& ParentBmp, const BmpRect& Bounds, int State,
                      Bitmap32& OuterCache);

// The image a mask reads from: its own bitmap or the master image; null when
// the mask is unusable.
const Bitmap32* MaskSource(const TsMaskData& Mask);

// Borders wider together than the rectangle lose half the excess each, the
// odd pixel from the far one.
void FitBorder(int size, int& a, int& b);

}  // namespace cb
