// Prints everything a skin load builds at one density, as text: the skin-wide
// values, the palette, every section, mask and outer-effect record, the
// elements found by role, the metrics and a digest of every bitmap (master
// image, owned images, shadow templates, computed window shadows). Two
// loaders that print the same text built the same data.
// Usage: skindump <skin.asz | bench> <ppi> [common sections file]
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/FakeSkinHost.h"
#include "BenchSkin.h"
#include "sSkinManagerCore.h"

namespace {

using namespace cb;

std::FILE* out = stdout;

std::string Digest(const Bitmap32* b) {
  if (!b || b->Empty()) return "none";
  uint64_t h = 1469598103934665603ull;
  for (int y = 0; y < b->Height(); ++y) {
    const uint8_t* p = b->Row(y);
    for (int i = 0; i < b->Width() * 4; ++i) h = (h ^ p[i]) * 1099511628211ull;
  }
  char s[64];
  std::snprintf(s, sizeof s, "%dx%d:%016" PRIx64, b->Width(), b->Height(), h);
  return s;
}

std::string Rect(const TRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom);
}

std::string Margins(const TMargins& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom);
}

void Element(const char* name, const TacConstElementData& e) {
  std::fprintf(out, "%s %d %d %d %d,%d,%d %s\n", name, e.SkinIndex, e.MaskIndex, e.GlyphIndex, e.BGIndex[0],
               e.BGIndex[1], e.BGIndex[2], e.SkinSection.c_str());
}

void Dump(TacSkinManagerCore& m, TacSkinData& d) {
  const TsSkinCommonInfo& ci = m.SkinCommonInfo;
  std::fprintf(out, "common %d %d %.4f [%s] [%s] [%s] [%s] %d %d %d %d %d %d %d %d %d\n", ci.Active,
               ci.UseAeroBluring, ci.Version, ci.Author.c_str(), ci.SkinPath.c_str(), ci.MainFont.c_str(),
               ci.Description.c_str(), ci.FXColor, ci.Shadow1Color, ci.SysInactiveBorderColor, ci.ArrowStyle,
               ci.BIVAlign, ci.BIKeepHUE, ci.BrightMin, ci.BrightMax, ci.IndexGlobalInfo);
  for (int i = 0; i < ssSectionCount; ++i) std::fprintf(out, "section %d %d\n", i, ci.Sections[size_t(i)]);
  for (size_t i = 0; i < m.Palette.size(); ++i) std::fprintf(out, "palette %zu %08x\n", i, m.Palette[i]);
  std::fprintf(out, "master %s\n", Digest(m.MasterBitmap.get()).c_str());
  std::fprintf(out, "data ppi %d scale %d %d init %d\n", d.PPI, d.ScaleValue, d.ScalePercent, d.Initializing);
  std::fprintf(out, "metrics %d %d %d %d %d | %d %d %d | %d %d %d %d %d | %d %d %d %d | %d %d %d %d\n", d.Spacing,
               d.LineWidth, d.ArrowSize, d.SmallArrowSize, d.ScrollBtnLength, d.Shadow1Blur, d.Shadow1Offset,
               d.Shadow1Transparency, d.ExBorderWidth, d.ExTitleHeight, d.ExMaxHeight, d.ExContentOffs,
               d.ExCenterOffs, d.ExShadowOffs, d.ExShadowOffsR, d.ExShadowOffsT, d.ExShadowOffsB, d.BIRightMargin,
               d.BILeftMargin, d.BITopMargin, d.BISpacing);
  std::fprintf(out, "metrics2 %d %d %d %08x %08x %d %d %d %u %u %d\n", d.WndShadowRadius, d.WndShadowSize,
               d.WndShadowOffset, d.WndShadowColorN, d.WndShadowColorA, d.ExDrawMode, d.ComboBoxMargin,
               d.SliderMargin, d.TabsCovering, d.RibbonCovering, d.BIGlowCount);
  for (int i = 0; i < 4; ++i) {
    Element("scroll", d.Scrolls[size_t(i)]);
    Element("scrollbtn", d.ScrollBtns[size_t(i)]);
    Element("updown", d.UpDownBtns[size_t(i)]);
  }
  for (const auto& e : d.Sliders) Element("slider", e);
  Element("menuitem", d.MenuItem);
  Element("combobtn", d.ComboBtn);
  for (size_t i = 0; i < d.TitleGlows.size(); ++i) {
    std::fprintf(out, "titleglows %zu margin %d:", i, d.GlowMargins[i]);
    for (int v : d.TitleGlows[i]) std::fprintf(out, " %d", v);
    std::fprintf(out, "\n");
  }
  for (int v : d.TitleGlyphs) std::fprintf(out, "titleglyph %d\n", v);
  std::fprintf(out, "radio %d %d check %d %d %d small %d %d %d\n", d.RadioButton[0], d.RadioButton[1],
               d.CheckBox[0], d.CheckBox[1], d.CheckBox[2], d.SmallCheckBox[0], d.SmallCheckBox[1],
               d.SmallCheckBox[2]);
  for (const auto& t : d.TrackBar)
    std::fprintf(out, "trackbar %d %d %d %d %d %d %d %d\n", t.SkinIndex, t.MaskIndex, t.SliderIndex, t.BGIndex[0],
                 t.BGIndex[1], t.TickIndex, t.ProgIndex, t.ChannelIndex);
  for (const auto& row : d.Tabs)
    for (const auto& e : row) Element("tab", e);
  std::fprintf(out, "exborder %d variant %d grips %d %d %d shadowsize %s\n", d.ExBorder, d.ExBorderVariant,
               d.GripVertical, d.GripHorizontal, d.GripRightBottom, Margins(d.FormShadowSize).c_str());
  std::fprintf(out, "templates %s %s\n", Digest(d.ShdaTemplate.get()).c_str(), Digest(d.ShdiTemplate.get()).c_str());
  for (size_t i = 0; i < d.BmpArray.size(); ++i) {
    const TacBmpData& b = *d.BmpArray[i];
    std::fprintf(out, "bmp %zu %d %d %d [%s] [%s] %s %s %s\n", i, b.MulPPI, b.DivPPI, b.MaskType, b.Path.c_str(),
                 b.FileName.c_str(), Digest(&b.Bmp).c_str(), Rect(b.R).c_str(), Rect(b.SrcRect).c_str());
  }
  for (size_t i = 0; i < d.ma.size(); ++i) {
    const TsMaskData& k = d.ma[i];
    long bmp = -1;
    for (size_t j = 0; j < d.BmpArray.size(); ++j)
      if (&d.BmpArray[j]->Bmp == k.Bmp) bmp = long(j);
    std::fprintf(out, "mask %zu bmp %ld%s [%s] [%s] %s %u %u %u %d %d %u %u %u %u %d %d %d %d %d %d\n", i, bmp,
                 k.Bmp && bmp < 0 ? (" foreign " + Digest(k.Bmp)).c_str() : "", k.ClassName.c_str(),
                 k.PropertyName.c_str(), Rect(k.R).c_str(), k.ImageCount, k.MaskType, k.DrawMode, int(k.ImgType),
                 k.Manager == &m, k.WL, k.WT, k.WR, k.WB, k.Cfg, k.MulPPi, k.DivPPI, k.SkinIndex, k.Width, k.Height);
  }
  for (size_t i = 0; i < d.oe.size(); ++i) {
    const TacOutEffData& o = d.oe[i];
    std::fprintf(out, "oe %zu %d %d %d %d | %d %d %d %d | %d %d %d %d | %d %d %d %d %d\n", i, o.ColorL, o.ColorT,
                 o.ColorR, o.ColorB, o.OffsetL, o.OffsetT, o.OffsetR, o.OffsetB, o.WidthL, o.WidthT, o.WidthR,
                 o.WidthB, o.Blur, o.Radius, o.Mask, o.Source, o.Opacity);
  }
  for (size_t i = 0; i < d.gd.size(); ++i) {
    const TsGeneralData& g = d.gd[i];
    std::fprintf(out, "gd %zu [%s] [%s] %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %s %d %d %d %d %d %d\n",
                 i, g.ClassName.c_str(), g.ParentClass.c_str(), g.UseState2, g.GiveOwnFont, g.ShiftOnClick,
                 g.ReservedBoolean, g.States, g.ScrollBorderOffset, g.GlowCount, g.GlowMargin, g.GlowSize,
                 g.HotGlowSize, g.BorderIndex, g.ImgTL, g.ImgTR, g.ImgBL, g.ImgBR, g.HotGlowColor, g.GlowColor,
                 g.OuterMode, g.OuterMask, g.OuterOpacity, Margins(g.OuterOffset).c_str(), g.OuterBlur,
                 g.OuterRadius, g.OuterColorL, g.OuterColorT, g.OuterColorR, g.OuterColorB);
    for (const TsGenState& s : g.Props) {
      std::fprintf(out, "  state %d %d %d %d %d %d %d font %d %d %d %d %d grad", s.GlowSize, s.ImagePercent,
                   s.TextureIndex, s.Transparency, s.GradientPercent, s.Color, s.GlowColor, s.FontColor.Color,
                   s.FontColor.Left, s.FontColor.Top, s.FontColor.Right, s.FontColor.Bottom);
      for (const TsGradPoint& p : s.GradientArray)
        std::fprintf(out, " %u/%u/%u/%u", unsigned(p.Index), unsigned(p.Mode), unsigned(p.Color),
                     unsigned(p.Percent));
      std::fprintf(out, "\n");
    }
  }
  // Made on first use; printed last so that the records above are as loading left them.
  std::fprintf(out, "shadows %s %s\n", Digest(&d.GetActiveShadow()).c_str(), Digest(&d.GetPassiveShadow()).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: skindump <skin.asz | bench> <ppi> [common sections file]\n");
    return 2;
  }
  try {
    std::vector<uint8_t> archive;
    std::string source = argv[1];
    if (source == "bench") {
      archive = cb::bench::Skin().archive;
    } else {
      std::ifstream f(source, std::ios::binary);
      if (!f) throw std::runtime_error("cannot read " + source);
      archive.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    cb::test::FakeSkinHost host;
    TacSkinManagerCore mgr(host);
    if (argc > 3) {
      std::ifstream f(argv[3], std::ios::binary);
      mgr.CommonSections.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    mgr.SkinName = u"Dumped";
    mgr.ExtendedBorders = true;
    auto& item = mgr.InternalSkins.Add();
    item.Name = u"Dumped";
    item.PackedData.Bytes() = archive;
    TacSkinData* d = mgr.CommonSkinData(std::atoi(argv[2]));
    Dump(mgr, *d);
    for (const auto& m : host.messages) std::fprintf(out, "message %d [%s]\n", int(m.second), m.first.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "skindump: %s\n", e.what());
    return 1;
  }
  return 0;
}
