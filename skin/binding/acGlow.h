// Hover glows: a layered window around a control, painted from its
// section's glow mask, that shows through to the pointer and fades with the
// control's state animation.
#pragma once
#include <windows.h>

#include <memory>

#include "skin/paint/DibBitmap.h"
#include "skin/paint/acLayeredSurface.h"

namespace cb {

class TsCommonData;
class TsSkinManager;

class TacGlowEffect {
public:
  // The glow image, premultiplied as a layered window takes it.
  std::unique_ptr<TDibBitmap> AlphaBmp;
  int Margin = 0;
  int MaskIndex = -1;
  // The glow's own window. Nobody owns its messages: the defaults are what a
  // glow needs (the pointer passes through, never activated).
  std::unique_ptr<TacLayeredSurface> Surface;
  HWND Wnd() const { return Surface ? Surface->Handle() : nullptr; }
  bool Destroyed = false;
  TsSkinManager* SkinManager = nullptr;
  TsCommonData* SkinData = nullptr;
  int Alpha = 0;  // the global alpha last applied
  RECT Bounds{};  // the window's place on screen
};

// Shows a glow around the owner of Data at Alpha (0..255) and stores its id
// in Data.GlowID; an existing glow only takes the alpha. -1 when the section
// has no glow, glowing is not allowed, or the mouse is captured.
int ShowGlow(TsCommonData& Data, int Alpha);
// Removes a glow; Animated fades it out on the owner's timer first (when
// animations are allowed). GlowID is -1 afterwards (at once when not animated).
void HideGlow(int& GlowID, bool Animated);
// Removes a glow at once and leaves the owner's animation running (the
// animation's own steps end the glow this way).
void DropGlow(int& GlowID);
void SetGlowAlpha(int GlowID, int Alpha);
void FreeAllGlows();
// The effect of an id; nullptr when there is none.
TacGlowEffect* GlowEffect(int GlowID);
// Number of glows shown now.
int GlowsShown();
// Length of the list that ids index: free places are taken again, so it is the
// most glows ever shown at once.
int GlowListSize();

}  // namespace cb
