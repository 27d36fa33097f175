// Pictures of a loaded skin drawn with the section painter: the main window
// miniature used as the skin's preview.
#pragma once

#include "tests/support/SkinFixture.h"
#include "sGraphUtils.h"

namespace skintool {

// A binding with fixed answers, for painting without a control.
class FixedBinding : public cb::ISectionBinding {
 public:
  FixedBinding(cb::TacSkinData* sd, int index) : sd_(sd), index_(index) {}
  cb::TacSkinData* SkinData() const override { return sd_; }
  int SkinIndex() const override { return index_; }
  bool CustomColor() const override { return false; }
  std::uint32_t OwnerColor() const override { return 0; }
  std::uint32_t ColorTone() const override { return clNoColor; }
  int HUEOffset() const override { return 0; }
  int Saturation() const override { return 0; }
  bool ParentBackground(TCacheInfo&) override { return false; }

 private:
  cb::TacSkinData* sd_;
  int index_;
};

// The main window (frame, title buttons, app buttons, switch) at 96 pixels
// per inch on a plain desktop, scaled to Width x Height.
Bitmap32 RenderMainWindowPreview(cb::test::LoadedSkin& skin, int Width, int Height);

}  // namespace skintool
