// What the manager does to a freshly loaded skin before anyone paints with it:
// its hue, saturation and brightness settings applied to the images and
// colours, and the title-bar glyphs mirrored for right-to-left programs.
#pragma once

#include <vector>

#include "sSkinManagerCore.h"

namespace cb {

struct TacRecolour {
  int Hue = 0;         // degrees
  int Saturation = 0;  // percent, -100..100 (larger values are limited)
  int Brightness = 0;  // -100..100
  bool Any() const { return Hue != 0 || Saturation != 0 || Brightness != 0; }
};

// Recolours what the last load of Fresh brought: the master image (decoded
// anew by every load), Fresh's own images and state colours and, for
// saturation, the palette and the skin-wide shadow colour. Others are the
// skin data loaded before; their images are already recoloured, but areas of
// the master image they use are kept when the skin asks to keep the
// title-button glyphs' colours.
void RecolourSkin(TacSkinManagerCore& Manager, TacSkinData& Fresh, const std::vector<TacSkinData*>& Others,
                  const TacRecolour& Settings);

// Mirrors every frame of the title glyphs (close, maximise, minimise,
// restore) and of their first glow image, each area once. With
// MasterOnly only the areas in the master image are mirrored (a new load
// decoded it afresh while the other images stayed mirrored).
void FlipTitleGlyphs(TacSkinManagerCore& Manager, const std::vector<TacSkinData*>& Datas, bool MasterOnly = false);
// The same for one skin data's own images only.
void FlipTitleGlyphsOwnImages(TacSkinManagerCore& Manager, TacSkinData& Data);

}  // namespace cb
