// Draws the MetroUI skin's images: "MASTER COPY.PNG" (211 x 274, RGBA) with
// every piece at the rectangle the options file names for it, and
// "BUTTONHUGE.BMP" (288 x 128, 24-bit). Usage:
//   skingen <Options.dat> <master.png> <buttonhuge.bmp>
// Every image key of the options file must have a painter here, and pieces
// that share a rectangle must agree on what they show; otherwise the
// generator stops with a message, so the two files cannot drift apart.
#include <cstdio>
#include <exception>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "Raster.h"
#include "sSkinOptions.h"
#include "sSkinOptions.h"

using namespace skingen;

namespace {

constexpr int kMasterWidth = 211, kMasterHeight = 274;

constexpr Colour kAccent = RGB(0, 169, 218);
constexpr Colour kAccentDark = RGB(0, 140, 186);
constexpr Colour kWhite = RGB(255, 255, 255);
constexpr Colour kText = RGB(32, 32, 32);
constexpr Colour kGlyph = RGB(51, 51, 51);
constexpr Colour kBorder = RGB(204, 204, 204);
constexpr Colour kBorderDark = RGB(173, 173, 173);
constexpr Colour kBoxBorder = RGB(118, 118, 118);
constexpr Colour kLine = RGB(229, 229, 229);
constexpr Colour kClose = RGB(232, 17, 35);
constexpr Colour kClosePressed = RGB(241, 112, 122);

struct Piece {
  BmpRect R;  // whole rectangle (all frames, mask rows)
  cb::TacImageRef Ref;
  double Scale = 1;  // density of the variant / 96
  int FrameW() const { return R.Width() / std::max(1, Ref.ImageCount); }
  int FrameH() const { return R.Height() / (Ref.MaskType + 1); }
  int FrameX(int i) const { return R.Left + i * FrameW(); }
};

// Fully transparent pixels of an alpha-drawn piece. They carry the piece's
// ink colour rather than the magenta key: the loader scales such pieces for
// 125 % and 150 % by resampling colour and alpha apart, and magenta there
// turns the glyphs' edges purple.
void Clear(const Bitmap32& bmp, const BmpRect& r, Colour ink) {
  SetRect(bmp, r, ink, 0);
}

// One-pixel (scaled) frames of a border image; the inside stays transparent.
void DrawFrames(const Bitmap32& bmp, const Piece& p, const std::vector<Colour>& colours) {
  if (int(colours.size()) != p.Ref.ImageCount)
    throw std::runtime_error("frame colours do not match the image count");
  for (int i = 0; i < p.Ref.ImageCount; ++i) {
    int x0 = p.FrameX(i), w = p.FrameW(), h = p.FrameH();
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        bool edge = x < p.Ref.WL || x >= w - p.Ref.WR || y < p.Ref.WT || y >= h - p.Ref.WB;
        bmp.SetPixel(x0 + x, p.R.Top + y, edge ? ColorToPixel(colours[i], 255) : 0x00FF00FF);
      }
  }
}

void DrawSolid(const Bitmap32& bmp, const Piece& p, Colour c) { SetRect(bmp, p.R, c); }

// Check boxes, radio buttons and the menu check mark, drawn on a 13-unit grid.
void DrawCheckGlyph(const Bitmap32& bmp, const Piece& p, const std::string& kind) {
  const double s = p.FrameW() / 13.0;
  const double x0 = p.R.Left, y0 = p.R.Top, n = p.FrameW();
  const BmpRect clip = p.R;
  auto tick = [&](Colour c) {
    FillShape(bmp, clip,
              StrokeShape({{x0 + 3.0 * s, y0 + 6.6 * s}, {x0 + 5.5 * s, y0 + 9.1 * s}, {x0 + 10.2 * s, y0 + 4.2 * s}},
                          1.6 * s),
              c);
  };
  int b = int(s + 0.5);
  if (kind == "BOXUNCHECKED" || kind == "BOXGRAYED") {
    SetRect(bmp, clip, kBoxBorder);
    SetRect(bmp, BmpRect(clip.Left + b, clip.Top + b, clip.Right - b, clip.Bottom - b), kWhite);
    if (kind == "BOXGRAYED") {
      int i = int(3 * s + 0.5);
      SetRect(bmp, BmpRect(clip.Left + i, clip.Top + i, clip.Right - i, clip.Bottom - i), kAccent);
    }
  } else if (kind == "BOXCHECKED") {
    SetRect(bmp, clip, kAccent);
    tick(kWhite);
  } else if (kind == "RADIOUNCHECKED" || kind == "RADIOCHECKED") {
    const bool on = kind == "RADIOCHECKED";
    Clear(bmp, clip, on ? kAccent : kBoxBorder);
    const double c = n / 2.0;
    FillShape(bmp, clip, CircleShape(x0 + c, y0 + c, c), on ? kAccent : kBoxBorder);
    FillShape(bmp, clip, CircleShape(x0 + c, y0 + c, c - s), kWhite);
    if (on) FillShape(bmp, clip, CircleShape(x0 + c, y0 + c, 3.0 * s), kAccent);
  } else if (kind == "CHECK") {
    Clear(bmp, clip, kText);
    tick(kText);
  } else {
    throw std::runtime_error("no painter for the glyph " + kind);
  }
}

// Title bar buttons: three frames (normal, hot, pressed).
void DrawTitleGlyph(const Bitmap32& bmp, const Piece& p, const std::string& kind) {
  if (p.Ref.ImageCount != 3) throw std::runtime_error(kind + " needs three frames");
  const bool small = kind[0] == 'S';
  const std::string what = kind.substr(5);  // CLOSE, MAX, MIN, NORM
  const bool close = what == "CLOSE";
  const int w = p.FrameW(), h = p.FrameH();
  const int t = small ? 1 : int(p.Scale + 0.5);   // stroke width
  const int g = small ? 7 : 10 * t;                 // glyph box
  Clear(bmp, p.R, kGlyph);
  for (int i = 0; i < 3; ++i) {
    const int x0 = p.FrameX(i), y0 = p.R.Top;
    const BmpRect cell(x0, y0, x0 + w, y0 + h);
    Colour ink = kGlyph;
    if (i > 0) {
      Colour bg = close ? (i == 1 ? kClose : kClosePressed) : (i == 1 ? RGB(229, 229, 229) : RGB(204, 204, 204));
      SetRect(bmp, cell, bg);
      if (close) ink = kWhite;
    }
    const int gx = x0 + (w - g) / 2, gy = y0 + (h - g) / 2;
    auto outline = [&](int l, int tp, int r, int b) {
      return Difference(RectShape(l, tp, r, b), RectShape(l + t, tp + t, r - t, b - t));
    };
    if (what == "CLOSE") {
      double a = gx + 0.5 * t - 0.5, z = gx + g - 0.5 * t + 0.5;
      double ay = gy + 0.5 * t - 0.5, zy = gy + g - 0.5 * t + 0.5;
      // A 7-pixel cross of hairlines fades to grey; the small one is drawn bolder.
      const double stroke = small ? 1.45 : t * 1.1;
      FillShape(bmp, cell, StrokeShape({{a, ay}, {z, zy}}, stroke), ink);
      FillShape(bmp, cell, StrokeShape({{z, ay}, {a, zy}}, stroke), ink);
    } else if (what == "MIN") {
      int y = gy + g / 2;
      FillShape(bmp, cell, RectShape(gx, y, gx + g, y + t), ink);
    } else if (what == "MAX") {
      FillShape(bmp, cell, outline(gx, gy, gx + g, gy + g), ink);
    } else if (what == "NORM") {
      const int d = small ? 2 : 2 * t;
      FillShape(bmp, cell, Difference(outline(gx + d, gy, gx + g, gy + g - d), RectShape(gx, gy + d, gx + g - d, gy + g)),
                ink);
      FillShape(bmp, cell, outline(gx, gy + d, gx + g - d, gy + g), ink);
    } else {
      throw std::runtime_error("no painter for the title glyph " + kind);
    }
  }
}

// Track bar thumb: a flat bar per state.
void DrawThumb(const Bitmap32& bmp, const Piece& p) {
  const Colour fills[3] = {kAccent, RGB(23, 23, 23), kBorder};
  for (int i = 0; i < p.Ref.ImageCount && i < 3; ++i) {
    int x0 = p.FrameX(i);
    Clear(bmp, BmpRect(x0, p.R.Top, x0 + p.FrameW(), p.R.Bottom), fills[i]);
    FillShape(bmp, BmpRect(x0, p.R.Top, x0 + p.FrameW(), p.R.Bottom),
              RoundRectShape(x0, p.R.Top, x0 + p.FrameW(), p.R.Bottom, p.Scale), fills[i]);
  }
}

// Hint frame: image over mask, rounded corners that let the background through.
void DrawHint(const Bitmap32& bmp, const Piece& p) {
  const int w = p.FrameW(), h = p.FrameH(), x0 = p.R.Left, y0 = p.R.Top;
  SetRect(bmp, BmpRect(x0, y0, x0 + w, y0 + h), kBoxBorder);
  FillShape(bmp, BmpRect(x0, y0, x0 + w, y0 + h), RoundRectShape(x0 + 1, y0 + 1, x0 + w - 1, y0 + h - 1, 2), kWhite);
  auto outer = RoundRectShape(x0, y0, x0 + w, y0 + h, 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int m = 255 - int(255 * Coverage(outer, x0 + x, y0 + y) + 0.5);
      bmp.SetPixel(x0 + x, y0 + h + y, 0xFF000000u | std::uint32_t(m) * 0x010101u);
    }
}

// Message box background column: white body over a light button band.
void DrawDialogColumn(const Bitmap32& bmp, const Piece& p) {
  int split = p.R.Top + p.R.Height() * 70 / 100;
  SetRect(bmp, BmpRect(p.R.Left, p.R.Top, p.R.Right, split), kWhite);
  SetRect(bmp, BmpRect(p.R.Left, split, p.R.Right, p.R.Bottom), RGB(240, 240, 240));
}

const std::map<std::string, std::string>& BorderStyleOfSection() {
  static const std::map<std::string, std::string> m = [] {
    std::map<std::string, std::string> r;
    for (auto s : {"BUTTON", "BUTTON_BIG", "UPDOWNBTN"}) r[s] = "button";
    for (auto s : {"SPEEDBUTTON", "MENUBTN", "SPEEDBUTTON_SMALL", "TOOLBUTTON", "TABLEFT", "TABRIGHT", "TABBOTTOM"})
      r[s] = "speedbutton";
    for (auto s : {"EDIT", "COMBOBOX", "ALPHAEDIT", "ALPHACOMBOBOX"}) r[s] = "edit";
    for (auto s : {"FORM", "DIALOG"}) r[s] = "form";
    r["FORMTITLE"] = "title";
    for (auto s : {"GAUGE", "GROUPBOX", "MAINMENU", "STATUSBAR", "PAGECONTROL", "PAGECONTROLLEFT", "PAGECONTROLRIGHT",
                   "PAGECONTROLBOTTOM", "PANEL_LOW", "PANEL", "COLHEADER", "RIBBONPAGE"})
      r[s] = "panel";
    for (auto s : {"TABTOP", "RIBBONTAB"}) r[s] = "tab";
    for (auto s : {"DIVIDER", "DIVIDERV"}) r[s] = "line";
    r["HINT"] = "hint";
    return r;
  }();
  return m;
}

void DrawBorderStyle(const Bitmap32& bmp, const Piece& p, const std::string& style) {
  if (style == "button") DrawFrames(bmp, p, {kBorderDark, kAccent, kAccentDark});
  else if (style == "speedbutton") DrawFrames(bmp, p, {kBorder, kAccent, kAccentDark});
  else if (style == "edit") DrawFrames(bmp, p, {RGB(191, 191, 191), kAccent, kAccent});
  else if (style == "form" || style == "title") DrawFrames(bmp, p, {RGB(170, 170, 170), kAccent});
  else if (style == "panel") DrawFrames(bmp, p, {kBorder});
  else if (style == "tab") DrawFrames(bmp, p, {kBorder, kAccent, kBorder});
  else if (style == "line") DrawSolid(bmp, p, kLine);
  else if (style == "hint") DrawHint(bmp, p);
  else throw std::runtime_error("unknown border style " + style);
}

// Chooses the painter of one image key; returns a name that identifies what
// was drawn, so that two keys sharing a rectangle can be compared.
std::string Paint(const Bitmap32& bmp, const std::string& section, const std::string& base, const Piece& p) {
  if (section == "GLOBALINFO") {
    if (base.rfind("BOX", 0) == 0 || base.rfind("RADIO", 0) == 0 || base == "CHECK") {
      DrawCheckGlyph(bmp, p, base);
      return base;
    }
    if (base.rfind("BICON", 0) == 0 || base.rfind("SICON", 0) == 0) {
      // Restore and maximise of small buttons share one picture.
      std::string kind = base == "SICONNORM" ? std::string("SICONMAX") : base;
      DrawTitleGlyph(bmp, p, kind);
      return kind;
    }
  } else if (section == "TRACKBAR") {
    if (base == "SLIDERMASK") return DrawThumb(bmp, p), base;
    if (base == "SLIDERCHANNEL") return DrawSolid(bmp, p, RGB(194, 194, 194)), base;
    if (base == "PROGHORZ" || base == "PROGVERT") return DrawSolid(bmp, p, kAccent), "PROG";
    if (base == "TICKHORZ" || base == "TICKVERT") return DrawSolid(bmp, p, RGB(153, 153, 153)), base;
  } else if (section == "DIALOG" && (base == "PATTERN" || base == "HOTPATTERN")) {
    DrawDialogColumn(bmp, p);
    return "DIALOGCOLUMN";
  } else if (base == "BORDERSMASK") {
    auto it = BorderStyleOfSection().find(section);
    if (it != BorderStyleOfSection().end()) {
      DrawBorderStyle(bmp, p, it->second);
      return it->second;
    }
  }
  throw std::runtime_error("no painter for [" + section + "] " + base);
}

// The big button of its own file: three rounded frames over their masks.
// The fill is flat: small buttons take the top and bottom border rows of
// the picture directly above each other, and a gradient would show a step.
// Pixels wholly outside the rounded frame are the magenta key, so that the
// parent, not the button's own colour, shows in the corners.
Bitmap32 DrawButtonHuge() {
  Bitmap32 bmp(288, 128);
  struct Look { Colour border, top, bottom; };
  const Look looks[3] = {{kBorderDark, RGB(249, 249, 249), RGB(249, 249, 249)},
                         {kAccent, RGB(229, 245, 252), RGB(229, 245, 252)},
                         {kAccentDark, RGB(204, 236, 248), RGB(204, 236, 248)}};
  for (int f = 0; f < 3; ++f) {
    const int x0 = f * 96;
    const BmpRect cell(x0, 0, x0 + 96, 64);
    SetRect(bmp, cell, looks[f].border, 0);  // edges keep the border's colour
    auto outer = RoundRectShape(x0, 0, x0 + 96, 64, 4);
    FillShape(bmp, cell, outer, looks[f].border);
    auto inner = RoundRectShape(x0 + 1, 1, x0 + 95, 63, 3);
    for (int y = 1; y < 63; ++y) {
      auto lerp = [&](int sh) {
        int a = (looks[f].top >> sh) & 0xFF, b = (looks[f].bottom >> sh) & 0xFF;
        return (a * (62 - (y - 1)) + b * (y - 1) + 31) / 62;
      };
      Colour c = RGB(lerp(0), lerp(8), lerp(16));
      FillShape(bmp, BmpRect(x0, y, x0 + 96, y + 1), inner, c);
    }
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 96; ++x) {
        if ((bmp.Pixel(x0 + x, y) >> 24) == 0) bmp.SetPixel(x0 + x, y, ColorToPixel(RGB(255, 0, 255), 255));
        int m = 255 - int(255 * Coverage(outer, x0 + x, y) + 0.5);
        bmp.SetPixel(x0 + x, 64 + y, 0xFF000000u | std::uint32_t(m) * 0x010101u);
      }
  }
  return bmp;
}

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: skingen <Options.dat> <master.png> <buttonhuge.bmp>\n");
    return 2;
  }
  try {
    cb::TacMemIni ini(ReadAll(argv[1]));
    Bitmap32 master(kMasterWidth, kMasterHeight);  // zero: fully transparent
    std::map<std::tuple<int, int, int, int>, std::string> drawn;
    for (const auto& sec : ini.Sections()) {
      for (const auto& [key, value] : sec.Keys) {
        if (sec.Name == "GLOBALINFO" && key == "MASTERBITMAP") continue;
        if (!cb::IsImageReference(value)) continue;
        Piece p;
        p.Ref = cb::ParseCanonicalImageRef(cb::CanonicalImageRef(value));
        if (!p.Ref.FileName.empty()) continue;  // a file of its own
        p.R = BmpRect(p.Ref.Left, p.Ref.Top, p.Ref.Right, p.Ref.Bottom);
        if (p.R.Left < 0 || p.R.Top < 0 || p.R.Right > kMasterWidth || p.R.Bottom > kMasterHeight ||
            p.R.Width() <= 0 || p.R.Height() <= 0)
          throw std::runtime_error("[" + sec.Name + "] " + key + " lies outside the master image");
        std::string base = key;
        size_t star = key.find('*');
        if (star != std::string::npos) {
          base = key.substr(0, star);
          p.Scale = std::stoi(key.substr(star + 1)) / 100.0;
        }
        std::string what = Paint(master, sec.Name, base, p);
        auto k = std::make_tuple(p.R.Left, p.R.Top, p.R.Right, p.R.Bottom);
        auto it = drawn.find(k);
        if (it != drawn.end() && it->second != what)
          throw std::runtime_error("[" + sec.Name + "] " + key + " shares its rectangle with a different piece (" +
                                   it->second + ")");
        drawn.emplace(k, what);
      }
    }
    WritePng(argv[2], master);
    WriteBmp24(argv[3], DrawButtonHuge());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "skingen: %s\n", e.what());
    return 1;
  }
  return 0;
}
