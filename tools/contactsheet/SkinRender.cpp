#include "SkinRender.h"

#include <algorithm>

#include "skin/paint/PixelOps.h"
#include "skin/paint/Resample.h"

namespace skintool {

namespace {

struct Btn { int Left, Top, Width; };
// The main window's 36 buttons (client coordinates, 22 pixels high).
constexpr Btn kButtons[] = {
    {17, 8, 66},    {109, 231, 87}, {155, 8, 66},   {225, 8, 66},   {203, 231, 87}, {88, 36, 66},
    {17, 175, 87},  {225, 36, 66},  {17, 64, 66},   {88, 64, 66},   {155, 64, 66},  {225, 64, 66},
    {17, 119, 87},  {109, 119, 87}, {203, 119, 87}, {17, 147, 87},  {109, 147, 87}, {203, 147, 87},
    {88, 8, 63},    {109, 175, 87}, {203, 175, 87}, {17, 203, 87},  {225, 92, 65},  {17, 231, 87},
    {155, 36, 66},  {17, 36, 66},   {109, 203, 87}, {155, 92, 66},  {17, 92, 66},   {87, 92, 66},
    {203, 203, 87}, {17, 259, 132}, {155, 259, 135}, {308, 36, 85}, {308, 64, 85},  {308, 203, 85}};

// A caption stand-in: a short bar of text colour.
void TextBar(Bitmap32& bmp, int cx, int cy, int w, std::uint32_t colour) {
  FillPixels32(bmp, BmpRect(cx - w / 2, cy - 1, cx + w / 2, cy + 2), colour, 255);
  TintRect32(bmp, BmpRect(cx - w / 2, cy - 1, cx + w / 2, cy + 2), 90, 0xFFFFFF);
}

}  // namespace

Bitmap32 RenderMainWindowPreview(LoadedSkin& skin, int Width, int Height) {
  cb::TacSkinData* sd = skin.Data(96);
  const int border = 4, title = sd->ExTitleHeight;
  const int ww = 412 + 2 * border, wh = 290 + title + border;
  const int ch = wh + 40, cw = ch * Width / Height;
  Bitmap32 canvas(cw, ch);
  FillPixels32(canvas, canvas.Bounds(), 0xE6DCD2, 255);
  const int ox = (cw - ww) / 2, oy = 20;
  const BmpRect win(ox, oy, ox + ww, oy + wh);
  TCacheInfo desk = MakeCacheInfo(canvas);

  auto section = [&](const char* name) { return skin.Manager->GetSkinIndex(name, sd); };
  cb::PaintSectionByIndex(section("FORM"), desk, -1, -1, sd, canvas, BmpPoint(0, 0), win, 1);
  cb::PaintSectionByIndex(section("FORMTITLE"), desk, -1, -1, sd, canvas, BmpPoint(0, 0),
                          BmpRect(win.Left, win.Top, win.Right, win.Top + title), 1);
  const std::uint32_t font = std::uint32_t(sd->gd[size_t(section("FORMTITLE"))].Props[1].FontColor.Color);
  TextBar(canvas, win.Left + 40, win.Top + title / 2, 50, font);
  int x = win.Right - border;
  for (int glyph : {cb::tgClose, cb::tgMin}) {
    const int mi = sd->TitleGlyphs[size_t(glyph)];
    if (mi < 0) continue;
    const cb::TsMaskData& m = sd->ma[size_t(mi)];
    x -= m.Width;
    cb::DrawCornerImage(canvas, BmpPoint(x, win.Top + (title - m.Height) / 2), 0, desk, m, 1);
  }

  const int cx0 = win.Left + border, cy0 = win.Top + title;
  const int speed = section("SPEEDBUTTON");
  FixedBinding button(sd, speed);
  const std::uint32_t text = std::uint32_t(sd->gd[size_t(speed)].Props[0].FontColor.Color);
  int i = 0;
  for (const Btn& b : kButtons) {
    const BmpRect r(cx0 + b.Left, cy0 + b.Top, cx0 + b.Left + b.Width, cy0 + b.Top + 22);
    const int state = i++ == 19 ? 1 : 0;  // the calculator button under the pointer
    cb::PaintSection(button, desk, true, state, canvas, BmpPoint(0, 0), r);
    TextBar(canvas, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2, b.Width / 2, text);
  }
  const std::uint32_t label = std::uint32_t(sd->gd[size_t(section("FORM"))].Props[1].FontColor.Color);
  TextBar(canvas, cx0 + 332, cy0 + 184, 20, label);
  TextBar(canvas, cx0 + 350, cy0 + 270, 56, std::uint32_t(skin.Manager->Palette[pcWebText]));
  const BmpRect track(cx0 + 347, cy0 + 176, cx0 + 380, cy0 + 191);
  FixedBinding on(sd, section("SLIDER_ON"));
  cb::PaintSection(on, desk, true, 0, canvas, BmpPoint(0, 0), track);
  FixedBinding thumb(sd, section("PANEL"));
  cb::PaintSection(thumb, desk, true, 0, canvas, BmpPoint(0, 0),
                   BmpRect(track.Right - 14, track.Top + 1, track.Right - 1, track.Bottom - 1));

  Bitmap32 out;
  Resample(canvas, out, Width, rfMitchell, Height);
  ForEachPixel(out, TPixelOp::Opaque, 0);
  return out;
}

}  // namespace skintool
