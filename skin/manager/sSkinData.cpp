#include "sSkinData.h"

#include <algorithm>
#include <climits>
#include <unordered_set>

#include "sSkinManagerCore.h"
#include "skin/paint/ImageDecoders.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/Resample.h"
#include "skin/paint/Shadows.h"

#if defined(__SSE2__) && !defined(CB_NO_SIMD)
#include <emmintrin.h>
#define CB_KEY_SSE2 1
#endif

namespace cb {

const char* const acSectionNames[ssSectionCount] = {
    "MENUITEM", "CHECKBOX", "SPEEDBUTTON", "SPEEDBUTTON_SMALL", "TOOLBUTTON", "TRANSPARENT", "GROUPBOX", "DIVIDER",
    "WEBBUTTON", "BUTTON", "COMBONOEDIT", "BUTTON_HUGE", "TOOLBAR", "EDIT", "GAUGE", "SELECTION", "STATUSBAR",
    "PANEL", "PANEL_LOW", "TRACKBAR", "PROGRESSV", "DRAGBAR", "GRIPH", "GRIPV", "PROGRESSH", "TABSHEET", "UPDOWNBTN",
    "COMBOBOX", "CAPTION", "MAINMENU", "SPLITTER", "COMBOBTN", "FORMTITLE", "HINT", "DIVIDERV", "PAGECONTROL",
    "TABTOP", "BARPANEL", "BARTITLE", "MENUCAPTION", "DIALOGTITLE", "MENUBTN", "MENULINE", "FORMHEADER", "TB_BTN",
    "TB_MENUBTN", "TB_TAB", "COLHEADER", "COLHEADERA", "COLHEADERL", "COLHEADERR", "SLIDER_OFF", "SLIDER_ON"};

namespace {

const char* const kGlobal = "GLOBALINFO";

// Fallback entry of the sections from ssMenuCaption on (-1: none).
int FallbackOf(int s) {
  switch (s) {
    case ssMenuCaption: return ssToolBar;
    case ssDialogTitle: return ssFormTitle;
    case ssMenuButton: return ssSpeedButton;
    case ssTBBtn: return ssToolButton;
    case ssTBTab: return ssTabTop;
    case ssColHeader: return ssButton;
    case ssColHeaderA:
    case ssColHeaderL:
    case ssColHeaderR: return ssColHeader;
    case ssSlider_Off:
    case ssSlider_On: return ssPanelLow;
    default: return -1;
  }
}

uint16_t U16(int v) { return static_cast<uint16_t>(std::clamp(v, 0, 0xFFFF)); }

// "SECTION-KEY", made in one piece.
std::string PathOf(const std::string& section, const std::string& key) {
  std::string path;
  path.reserve(section.size() + 1 + key.size());
  path.append(section).append(1, '-').append(key);
  return path;
}

// Frames side by side, mask rows below: each cell is scaled on its own.
// An image that holds more than the mask's cells is scaled as one piece.
Bitmap32 ScaleMaskImage(const Bitmap32& src, const TsMaskData& md, bool smooth, bool wholeIsMask = true) {
  return ScaleFrames(src, wholeIsMask ? md.ImageCount : 1, wholeIsMask ? md.MaskType + 1 : 1, md.MulPPi, md.DivPPI,
                     smooth);
}

}  // namespace

TacSkinData::TacSkinData(TacSkinManagerCore* owner, int aPPI) : FOwner(owner) {
  TitleGlyphs.fill(-1);
  SetPPI(aPPI);
}

void TacSkinData::SetPPI(int aPPI) {
  PPI = aPPI;
  ScalePercent = aPPI * 100 / 96;
  ScaleValue = ScaleIndexOfPPI(aPPI);
}

void TacSkinData::Init() {
  struct Flag {
    bool& f;
    ~Flag() { f = false; }
  } guard{Initializing};
  Initializing = true;
  FOwner->ReloadSkin(*this);
}

void TacSkinData::Reset() {
  BmpArray.clear();
  gd.clear();
  ma.clear();
  ForgetMaskIndex();
  ForgetSectionIndex();
  oe = {};
  rsta.reset();
  rsti.reset();
  ShdaTemplate.reset();
  ShdiTemplate.reset();
}

int TacSkinData::BrightMin() const { return FOwner->SkinCommonInfo.BrightMin; }
int TacSkinData::BrightMax() const { return FOwner->SkinCommonInfo.BrightMax; }

const Bitmap32* TacSkinData::MaskBitmap(int i) const {
  if (i < 0 || i >= static_cast<int>(ma.size())) return nullptr;
  return ma[static_cast<size_t>(i)].Bmp ? ma[static_cast<size_t>(i)].Bmp : FOwner->MasterBitmap.get();
}

std::span<const int> TacSkinData::MasksOfSection(int skinIndex) const {
  if (FIndexedMasks != ma.size()) {
    // All lists in one array, each section's from its start offset on.
    size_t sections = 0;
    for (const TsMaskData& m : ma)
      if (m.SkinIndex >= 0) sections = std::max(sections, static_cast<size_t>(m.SkinIndex) + 1);
    FMaskStarts.assign(sections + 1, 0);
    for (const TsMaskData& m : ma)
      if (m.SkinIndex >= 0) ++FMaskStarts[static_cast<size_t>(m.SkinIndex) + 1];
    for (size_t i = 1; i <= sections; ++i) FMaskStarts[i] += FMaskStarts[i - 1];
    FMasksBySection.resize(FMaskStarts[sections]);
    std::vector<size_t> next(FMaskStarts.begin(), FMaskStarts.end() - 1);
    for (size_t i = 0; i < ma.size(); ++i)
      if (const int si = ma[i].SkinIndex; si >= 0) FMasksBySection[next[static_cast<size_t>(si)]++] = static_cast<int>(i);
    FIndexedMasks = ma.size();
  }
  if (skinIndex < 0 || static_cast<size_t>(skinIndex) + 1 >= FMaskStarts.size()) return {};
  const size_t from = FMaskStarts[static_cast<size_t>(skinIndex)], to = FMaskStarts[static_cast<size_t>(skinIndex) + 1];
  return std::span<const int>(FMasksBySection.data() + from, to - from);
}

namespace {
constexpr int kUnknownParent = -2;
}

void TacSkinData::IndexSections() const {
  if (FIndexedSections == gd.size()) return;
  FSectionIndex.clear();
  FSectionIndex.reserve(gd.size());
  for (size_t i = 0; i < gd.size(); ++i) FSectionIndex.emplace(gd[i].ClassName, i);  // the first of a name stays
  FParents.assign(gd.size(), kUnknownParent);
  FIndexedSections = gd.size();
}

int TacSkinData::SectionIndexOf(std::string_view name) const {
  IndexSections();
  const auto it = FSectionIndex.find(name);
  return it == FSectionIndex.end() ? -1 : static_cast<int>(it->second);
}

int TacSkinData::ParentIndexOf(int skinIndex) const {
  if (skinIndex < 0 || static_cast<size_t>(skinIndex) >= gd.size()) return -1;
  IndexSections();
  int& known = FParents[static_cast<size_t>(skinIndex)];
  if (known == kUnknownParent) {
    const std::string& parent = gd[static_cast<size_t>(skinIndex)].ParentClass;
    known = parent.empty() ? -1 : SectionIndexOf(parent);
  }
  return known;
}

int TacSkinData::GlobalInt(const std::string& key, int def) const {
  return FOwner->OptionsDat.ReadInteger(kGlobal, key, def);
}

int TacSkinData::ScaledGlobalInt(const std::string& key, int def) const {
  const TacMemIni& ini = FOwner->OptionsDat;
  int v;
  bool asItStands = true;
  if (ScaleValue == 0) {
    v = ini.ReadInteger(kGlobal, key, def);
  } else if (ini.ValueExists(kGlobal, key + ScaleSuffix(ScaleValue))) {
    v = ini.ReadInteger(kGlobal, key + ScaleSuffix(ScaleValue), def);
  } else {
    v = ScaleIntValue(ini.ReadInteger(kGlobal, key, def));
    asItStands = false;
  }
  if (asItStands && FOwner->CustomPPIMode && FOwner->PixelsPerInch < 96) v = ScaleIntValue(v);
  return v;
}

int TacSkinData::BorderScaledGlobalInt(const std::string& key, int def) const {
  if (ExBorder < 0) return ScaledGlobalInt(key, def);
  const TacMemIni& ini = FOwner->OptionsDat;
  int variant = std::max(ExBorderVariant, 0);
  std::string k = key + ScaleSuffix(variant);
  if (ini.ValueExists(kGlobal, k)) return ini.ReadInteger(kGlobal, k, def) * PPI / PPIOfScaleIndex(variant);
  return ini.ReadInteger(kGlobal, key, def) * PPI / 96;
}

void TacSkinData::LoadParams() {
  Spacing = ScaleIntValue(4);
  LineWidth = ScaleIntValue(2);
  ArrowSize = ScaleIntValue(5);
  SmallArrowSize = ScaleIntValue(4);
  int arrow = FOwner->Host.ScrollArrowWidth(96);
  ScrollBtnLength = ScaleIntValue(arrow > 0 ? arrow : 16);
  Shadow1Blur = ScaledGlobalInt("SHADOW1BLUR", -1);
  Shadow1Offset = ScaledGlobalInt("SHADOW1OFFSET", 0);
  Shadow1Transparency = GlobalInt("SHADOW1TRANSPARENCY", 0);
}

TsMaskData MaskRecordOf(const TacImageRef& Ref, const std::string& Section, const std::string& Key, int SkinIndex,
                        TacSkinManagerCore* Manager, int MulPPI, int DivPPI) {
  TsMaskData md;
  md.ClassName = Section;
  md.PropertyName = Key;
  md.SkinIndex = SkinIndex;
  md.Manager = Manager;
  md.R = {Ref.Left, Ref.Top, Ref.Right, Ref.Bottom};
  md.ImageCount = U16(Ref.ImageCount);
  md.MaskType = U16(Ref.MaskType);
  md.DrawMode = U16(Ref.DrawMode);
  md.ImgType = Ref.ImgType;
  md.WL = U16(Ref.WL);
  md.WT = U16(Ref.WT);
  md.WR = U16(Ref.WR);
  md.WB = U16(Ref.WB);
  md.MulPPi = MulPPI;
  md.DivPPI = DivPPI;
  return md;
}

void ScaleMaskBorders(TsMaskData& md, int Mul, int Div) {
  if (Mul == Div || Div <= 0) return;
  md.WL = U16(md.WL * Mul / Div);
  md.WT = U16(md.WT * Mul / Div);
  md.WR = U16(md.WR * Mul / Div);
  md.WB = U16(md.WB * Mul / Div);
}

bool HasKeyedCorners(const Bitmap32& Img, const TsMaskData& md) {
  const int fw = md.R.Width() / std::max<int>(1, md.ImageCount), fh = md.R.Height() / (md.MaskType + 1);
  const int wl = std::min<int>(md.WL, fw), wr = std::min<int>(md.WR, fw), wt = std::min<int>(md.WT, fh),
            wb = std::min<int>(md.WB, fh);
  auto keyIn = [&](int x0, int y0, int w, int h) {
    const int x1 = std::min(x0 + w, Img.Width()), y1 = std::min(y0 + h, Img.Height());
    for (int y = std::max(0, y0); y < y1; ++y) {
      const uint32_t* row = Img.Line(y);
      int x = std::max(0, x0);
#ifdef CB_KEY_SSE2
      // Four pixels at a time: their colour (alpha masked off) against the key.
      const __m128i colour = _mm_set1_epi32(0x00FFFFFF), key = _mm_set1_epi32(static_cast<int>(clMagenta));
      for (; x + 4 <= x1; x += 4) {
        const __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), colour);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(v, key))) return true;
      }
#endif
      for (; x < x1; ++x)
        if ((row[x] & 0xFFFFFF) == clMagenta) return true;
    }
    return false;
  };
  const int l = md.R.Left, t = md.R.Top;
  return keyIn(l, t, wl, wt) || keyIn(l + fw - wr, t, wr, wt) || keyIn(l, t + fh - wb, wl, wb) ||
         keyIn(l + fw - wr, t + fh - wb, wr, wb);
}

void TacSkinData::ScaleBorders(TsMaskData& md, int mul, int div, bool limit) {
  ScaleMaskBorders(md, mul, div);
  if (!limit) return;
  // A shared bitmap: the right and bottom borders must leave a middle.
  int frameW = md.R.Width() / std::max<int>(1, md.ImageCount);
  int frameH = md.R.Height() / (md.MaskType + 1);
  md.WR = U16(std::min<int>(md.WR, frameW - md.WL - 1));
  md.WB = U16(std::min<int>(md.WB, frameH - md.WT - 1));
}

bool TacSkinData::AddMask(const std::string& section, int sectionIndex, const std::string& key, int onlyVariant) {
  const TacMemIni& ini = FOwner->OptionsDat;
  int variant = onlyVariant;
  std::optional<std::string> only;
  const std::string* value = nullptr;
  if (onlyVariant >= 0) {
    only = ini.Value(section, key + ScaleSuffix(onlyVariant));
    value = only ? &*only : nullptr;
  } else {
    const auto& sections = ini.Sections();
    const TacMemIni::TSection* sec = sectionIndex >= 0 && static_cast<size_t>(sectionIndex) < sections.size() &&
                                             sections[static_cast<size_t>(sectionIndex)].Name == section
                                         ? &sections[static_cast<size_t>(sectionIndex)]
                                         : ini.FindSection(section);
    if (sec) value = TacSectionReader::ChooseVariant(*sec, key, ScaleValue, PPI, variant);
  }
  if (!value || !IsImageReference(*value)) return false;
  TacImageRef ref = ImageRefOf(*value);
  TsMaskData md = MaskRecordOf(ref, section, key, sectionIndex, FOwner, PPI, PPIOfScaleIndex(variant));
  bool smooth = md.ImgType == itisaTexture || md.ImgType == itisaPngGlyph;
  bool scale = md.MulPPi != md.DivPPI && !(md.DrawMode & dmKeepSize);

  if (!ref.FileName.empty()) {
    TacBmpData* found = nullptr;
    for (auto& b : BmpArray)
      if (b->FileName == ref.FileName) {
        found = b.get();
        break;
      }
    if (found) {
      // The bitmap as it was loaded first, at the density it was loaded for.
      md.Bmp = &found->Bmp;
      md.R = {0, 0, found->Bmp.Width(), found->Bmp.Height()};
      md.MulPPi = found->MulPPI;
      md.DivPPI = found->DivPPI;
      if (md.R.Width() <= 0 || md.R.Height() <= 0) return false;
      ScaleBorders(md, found->MulPPI, found->DivPPI, true);
    } else {
      Bitmap32 img;
      bool hasAlpha = false;
      if (!FOwner->LoadSkinImage(ref.FileName, img, hasAlpha) || img.Empty()) return false;
      if (FOwner->Brightness <= 0 && md.ImgType != itisaBorder)
        PremultiplyAlpha(img, !FOwner->Host.CompositionEnabled());
      // A rectangle in a separate file is a part of it; none means all of it.
      TRect part = md.R.IsAllZero() ? TRect{0, 0, img.Width(), img.Height()} : md.R;
      if (part.Left < 0 || part.Top < 0 || part.Right > img.Width() || part.Bottom > img.Height() ||
          part.Width() <= 0 || part.Height() <= 0)
        return false;
      auto b = std::make_unique<TacBmpData>();
      b->Path = PathOf(section, key);
      b->FileName = ref.FileName;
      b->MaskType = md.MaskType;
      b->SrcRect = {0, 0, img.Width(), img.Height()};
      if (scale) {
        b->Bmp = ScaleMaskImage(img, md, smooth, part == TRect{0, 0, img.Width(), img.Height()});
        b->MulPPI = md.MulPPi;
        b->DivPPI = md.DivPPI;
        part = {part.Left * md.MulPPi / md.DivPPI, part.Top * md.MulPPi / md.DivPPI,
                std::min(b->Bmp.Width(), part.Right * md.MulPPi / md.DivPPI),
                std::min(b->Bmp.Height(), part.Bottom * md.MulPPi / md.DivPPI)};
      } else {
        b->Bmp = std::move(img);
        b->MulPPI = b->DivPPI = md.DivPPI;
      }
      b->R = {0, 0, b->Bmp.Width(), b->Bmp.Height()};
      md.Bmp = &b->Bmp;
      md.R = part;
      ScaleBorders(md, b->MulPPI, b->DivPPI, false);
      BmpArray.push_back(std::move(b));
    }
  } else {
    const Bitmap32* master = FOwner->MasterBitmap.get();
    if (!master || master->Empty()) return false;
    if (md.R.Left < 0 || md.R.Top < 0 || md.R.Width() <= 0 || md.R.Height() <= 0 || md.R.Right > master->Width() ||
        md.R.Bottom > master->Height())
      return false;
    if (scale) {
      TacBmpData* found = nullptr;
      for (auto& b : BmpArray)
        if (b->FileName.empty() && b->SrcRect == md.R && b->MulPPI == md.MulPPi && b->DivPPI == md.DivPPI) {
          found = b.get();
          break;
        }
      bool reused = found != nullptr;
      if (!found) {
        auto b = std::make_unique<TacBmpData>();
        b->Path = PathOf(section, key);
        b->MaskType = md.MaskType;
        b->SrcRect = md.R;
        b->Bmp = ScaleMaskImage(master->View(BmpRect(md.R.Left, md.R.Top, md.R.Right, md.R.Bottom)), md, smooth);
        b->MulPPI = md.MulPPi;
        b->DivPPI = md.DivPPI;
        b->R = {0, 0, b->Bmp.Width(), b->Bmp.Height()};
        found = b.get();
        BmpArray.push_back(std::move(b));
      }
      md.Bmp = &found->Bmp;
      md.R = {0, 0, found->Bmp.Width(), found->Bmp.Height()};
      ScaleBorders(md, found->MulPPI, found->DivPPI, reused);
    }
  }

  if (md.ImgType == itisaBorder) {
    // Corner areas holding the key colour need keyed painting.
    if (HasKeyedCorners(md.Bmp ? *md.Bmp : *FOwner->MasterBitmap, md)) md.Cfg |= cfgKeyCorners;
    if (section == "BUTTON_HUGE" && key == "BORDERSMASK" && FOwner->SkinCommonInfo.Sections[ssButtonHuge] >= 0)
      md.Cfg |= cfgHugeButton;
  }
  if (section == kGlobal && key == "EXBORDER") ExBorderVariant = variant;
  ma.push_back(std::move(md));
  return true;
}

void TacSkinData::LoadAllMasks() {
  BmpArray.clear();
  ma.clear();
  ForgetMaskIndex();
  ExBorderVariant = -1;
  const TacMemIni& ini = FOwner->OptionsDat;
  FOwner->Palette[pcMainColor] =
      static_cast<uint32_t>(ini.ReadInteger(kGlobal, "COLOR", static_cast<int32_t>(FOwner->Host.SysColor(scBtnFace))));
  const auto& sections = ini.Sections();
  // Room for about two images a section (a border and a glyph) and the few
  // made later, so that the records are not moved again and again.
  ma.reserve(2 * sections.size() + 16);
  for (size_t si = 0; si < sections.size(); ++si) {
    const auto& s = sections[si];
    for (const auto& kv : s.Keys) {
      if (!IsImageReference(kv.Value)) continue;  // first: the cheapest test that rules most keys out
      if (kv.Name.find('*') != std::string::npos) continue;
      if (s.Name == kGlobal && kv.Name == "MASTERBITMAP") continue;
      if (s.Index.at(kv.Name) != static_cast<size_t>(&kv - s.Keys.data())) continue;  // repeated key
      AddMask(s.Name, static_cast<int>(si), kv.Name);
    }
  }
  // Image files named by the common sections.
  TacMemIni common(FOwner->CommonSections);
  for (const auto& s : common.Sections()) {
    if (s.Name == kGlobal) continue;
    for (const auto& kv : s.Keys) {
      if (AnsiUpper(kv.Value).find(".BMP") == std::string::npos) continue;
      std::u16string path = FOwner->Host.FromAnsi(kv.Value);
      bool absolute = path.find(u':') != std::u16string::npos || (!path.empty() && path[0] == u'\\');
      if (!absolute) path = FOwner->SkinPath + path;
      std::vector<uint8_t> bytes;
      if (!FOwner->Host.FileExists(path) || !FOwner->Host.ReadWholeFile(path, bytes)) continue;
      Bitmap32 img;
      try {
        TDecodedImage d = DecodeImage(bytes.data(), bytes.size(), TImageFormat::Bmp);
        img = std::move(d.Bmp);
        if (!d.HasAlpha) MakeKeyTransparent(img);
      } catch (const std::exception&) {
        continue;
      }
      if (img.Width() < 1) continue;
      auto b = std::make_unique<TacBmpData>();
      b->Path = AnsiUpper(s.Name) + "-" + AnsiUpper(kv.Name);
      b->FileName = AnsiUpper(kv.Value);
      b->Bmp = std::move(img);
      b->R = b->SrcRect = {0, 0, b->Bmp.Width(), b->Bmp.Height()};
      TsMaskData md;
      md.Bmp = &b->Bmp;
      md.ClassName = AnsiUpper(s.Name);
      md.PropertyName = AnsiUpper(kv.Name);
      md.R = b->R;
      md.ImageCount = 1;
      md.ImgType = itisaTexture;
      md.Manager = FOwner;
      md.MulPPi = md.DivPPI = PPI;
      md.SkinIndex = ini.SectionIndex(md.ClassName);
      BmpArray.push_back(std::move(b));
      ma.push_back(std::move(md));
    }
  }
}

namespace {

// The keys a section record is read from, by slot.
enum SectionKey {
  skStates,
  skUseState2,
  skReserved,
  skOwnFont,
  skShiftClick,
  skGlow,
  skGlowMargin,
  skOuterMode,
  skOutOffsL,
  skOutOffsT,
  skOutOffsR,
  skOutOffsB,
  skOutOpacity,
  skOutBlur,
  skOutRadius,
  skOutColL,
  skOutColT,
  skOutColR,
  skOutColB,
  skState0  // then 12 keys per state, in the order of StateKey
};
enum StateKey {
  stColor,
  stFontColor,
  stTCLeft,
  stTCTop,
  stTCRight,
  stTCBottom,
  stGCol,
  stGSize,
  stGradientPercent,
  stGradientData,
  stImagePercent,
  stTransparency,
  stKeyCount
};

const TacKeySlots& SectionKeys() {
  static const TacKeySlots slots{"STATES",          "USESTATE2",
                                 "RESERVEDBOOLEAN", "GIVEOWNFONT",
                                 "SHIFTCLICK",      "GLOW",
                                 "GLOWMARGIN",      "OUTERMODE",
                                 "OUTOFFSL",        "OUTOFFST",
                                 "OUTOFFSR",        "OUTOFFSB",
                                 "OUTOPACITY",      "OUTBLUR",
                                 "OUTRADIUS",       "OUTCOLL",
                                 "OUTCOLT",         "OUTCOLR",
                                 "OUTCOLB",         "COLOR",
                                 "FONTCOLOR",       "TCLEFT",
                                 "TCTOP",           "TCRIGHT",
                                 "TCBOTTOM",        "GCOL",
                                 "GSIZE",           "GRADIENTPERCENT",
                                 "GRADIENTDATA",    "IMAGEPERCENT",
                                 "TRANSPARENCY",    "HOTCOLOR",
                                 "HOTFONTCOLOR",    "HOTTCLEFT",
                                 "HOTTCTOP",        "HOTTCRIGHT",
                                 "HOTTCBOTTOM",     "HGCOL",
                                 "HGSIZE",          "HOTGRADIENTPERCENT",
                                 "HOTGRADIENTDATA", "HOTIMAGEPERCENT",
                                 "HOTTRANSPARENCY", "COLOR2",
                                 "FONTCOLOR2",      "TCLEFT2",
                                 "TCTOP2",          "TCRIGHT2",
                                 "TCBOTTOM2",       "GCOL2",
                                 "GSIZE2",          "GRADIENTPERCENT2",
                                 "GRADIENTDATA2",   "IMAGEPERCENT2",
                                 "TRANSPARENCY2"};
  return slots;
}

}  // namespace

void TacSkinData::ReadSection(TsGeneralData& g, const std::string& section, const TacSectionReader& r) {
  const TacSectionValues v(r, section, SectionKeys());
  g.ClassName = section;
  g.ParentClass = FOwner->OptionsDat.ReadString(section, "PARENTCLASS", "");
  g.States = v.ReadInt(skStates, 3, 255);
  g.UseState2 = v.ReadInt(skUseState2, 0, INT_MAX) == 1;
  g.ReservedBoolean = v.ReadFlag(skReserved, false);
  g.GiveOwnFont = v.ReadFlag(skOwnFont, false);
  g.ShiftOnClick = v.ReadFlag(skShiftClick, false);
  g.GlowCount = v.ReadInt(skGlow, 0, 255);
  g.GlowMargin = v.ReadInt(skGlowMargin, 0, 255);
  if (!ma.empty()) g.GlowMargin = ScaleIntValue(g.GlowMargin);
  g.OuterMode = v.ReadInt(skOuterMode, 2, INT_MAX);
  auto offs = [&](int slot) {
    int x = v.ReadInt(slot, -1, 255);
    return x < 0 ? -1 : ScaleIntValue(x);
  };
  g.OuterOffset = {offs(skOutOffsL), offs(skOutOffsT), offs(skOutOffsR), offs(skOutOffsB)};
  g.OuterOpacity = v.ReadInt(skOutOpacity, 200, 255);
  g.OuterBlur = ScaleIntValue(v.ReadInt(skOutBlur, 9, 30));
  g.OuterRadius = ScaleIntValue(v.ReadInt(skOutRadius, 9, 60));
  g.OuterColorL = v.ReadColor(skOutColL, 0);
  g.OuterColorT = v.ReadColor(skOutColT, 0);
  g.OuterColorR = v.ReadColor(skOutColR, 0);
  g.OuterColorB = v.ReadColor(skOutColB, 0);
  g.BorderIndex = 0;
  g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = -1;

  auto readState = [&](int s) {
    TsGenState st;
    const int k = skState0 + s * stKeyCount;
    st.Color = v.ReadColor(k + stColor, 0xFFFFFF);
    st.FontColor.Color = v.ReadColor(k + stFontColor, 0);
    st.FontColor.Left = v.ReadColor(k + stTCLeft, -1);
    st.FontColor.Top = v.ReadColor(k + stTCTop, -1);
    st.FontColor.Right = v.ReadColor(k + stTCRight, -1);
    st.FontColor.Bottom = v.ReadColor(k + stTCBottom, -1);
    st.GlowColor = v.ReadColor(k + stGCol, 0xFFFFFF);
    st.GlowSize = v.ReadInt(k + stGSize, 0, INT_MAX);
    st.GradientPercent = v.ReadInt(k + stGradientPercent, 0, INT_MAX);
    if (const std::string* text = v.Lookup(k + stGradientData)) st.GradientArray = ParseGradientData(*text);
    st.ImagePercent = v.ReadInt(k + stImagePercent, 0, INT_MAX);
    st.Transparency = v.ReadInt(k + stTransparency, 0, INT_MAX);
    return st;
  };
  g.Props[0] = readState(0);
  g.Props[1] = g.States >= 2 ? readState(1) : g.Props[0];
  g.Props[2] = g.UseState2 ? readState(2) : g.Props[1];
}

void TacSkinData::LayCommonSections() {
  TacMemIni common(FOwner->CommonSections);
  for (const auto& cs : common.Sections()) {
    if (FOwner->GetSkinIndex(cs.Name, this) >= 0) continue;
    auto val = [&](const char* key) { return common.Value(cs.Name, key); };
    TsGeneralData g;
    g.OuterMode = 0;
    g.OuterOpacity = 0;
    g.OuterBlur = g.OuterRadius = 0;
    g.ClassName = cs.Name;
    auto parent = val("PARENTCLASS");
    g.ParentClass = parent ? AnsiUpper(*parent) : "-1";
    int pi = FOwner->GetSkinIndex(g.ParentClass, this);
    TsGeneralData base;
    if (pi >= 0) base = gd[static_cast<size_t>(pi)];
    auto intOr = [&](const char* key, int def) {
      auto v = val(key);
      int32_t x;
      return v && TryStrToInt(*v, x) ? x : def;
    };
    auto flagOr = [&](const char* key, bool def) {
      auto v = val(key);
      if (!v) return def;
      std::string up = AnsiUpper(*v);
      return up == "TRUE" || up == "1";
    };
    g.States = std::min(intOr("STATES", base.States), 255);
    g.UseState2 = val("USESTATE2") ? intOr("USESTATE2", 0) == 1 : base.UseState2;
    g.ReservedBoolean = flagOr("RESERVEDBOOLEAN", base.ReservedBoolean);
    g.GiveOwnFont = flagOr("GIVEOWNFONT", base.GiveOwnFont);
    g.GlowCount = intOr("GLOW", base.GlowCount);
    g.GlowMargin = intOr("GLOWMARGIN", base.GlowMargin);
    static const char* const keys[3][12] = {
        {"COLOR", "FONTCOLOR", "TCLEFT", "TCTOP", "TCRIGHT", "TCBOTTOM", "GRADIENTPERCENT", "GRADIENTDATA",
         "IMAGEPERCENT", "TRANSPARENCY", "GCOL", "GSIZE"},
        {"HOTCOLOR", "HOTFONTCOLOR", "HOTTCLEFT", "HOTTCTOP", "HOTTCRIGHT", "HOTTCBOTTOM", "HOTGRADIENTPERCENT",
         "HOTGRADIENTDATA", "HOTIMAGEPERCENT", "HOTTRANSPARENCY", "HGCOL", "HGSIZE"},
        {"COLOR2", "FONTCOLOR2", "TCLEFT2", "TCTOP2", "TCRIGHT2", "TCBOTTOM2", "GRADIENTPERCENT2", "GRADIENTDATA2",
         "IMAGEPERCENT2", "TRANSPARENCY2", "GCOL2", "GSIZE2"}};
    for (int s = 0; s < 3; ++s) {
      const TsGenState& b = base.Props[static_cast<size_t>(s)];
      TsGenState st = b;
      st.TextureIndex = -1;
      st.Color = intOr(keys[s][0], b.Color);
      st.FontColor.Color = intOr(keys[s][1], b.FontColor.Color);
      st.FontColor.Left = intOr(keys[s][2], b.FontColor.Left);
      st.FontColor.Top = intOr(keys[s][3], b.FontColor.Top);
      st.FontColor.Right = intOr(keys[s][4], b.FontColor.Right);
      st.FontColor.Bottom = intOr(keys[s][5], b.FontColor.Bottom);
      st.GradientPercent = intOr(keys[s][6], b.GradientPercent);
      if (auto gdText = val(keys[s][7])) st.GradientArray = ParseGradientData(*gdText);
      st.ImagePercent = intOr(keys[s][8], b.ImagePercent);
      st.Transparency = intOr(keys[s][9], b.Transparency);
      st.GlowColor = intOr(keys[s][10], b.GlowColor);
      st.GlowSize = intOr(keys[s][11], b.GlowSize);
      g.Props[static_cast<size_t>(s)] = st;
    }
    auto border = val("BORDERSMASK");
    g.BorderIndex = border && border->size() < 5 ? -2 : 0;
    gd.push_back(std::move(g));
  }
}

void TacSkinData::ReadOuterEffect(int index, const std::string& p) {
  TacOutEffData& e = oe[static_cast<size_t>(index)];
  bool sh = index == 1;
  auto color = [&](const char* side, int32_t def) { return GlobalInt(p + "_COLOR" + side, def); };
  if (sh) {
    e.ColorL = color("L", 0);
    e.ColorT = e.ColorR = e.ColorB = clMagenta;
  } else {
    e.ColorL = color("L", 0xFFFFFF);
    e.ColorT = color("T", 0);
    e.ColorR = color("R", 0xFFFFFF);
    e.ColorB = color("B", 0xFFFFFF);
  }
  e.OffsetL = ScaledGlobalInt(p + "_OFFSETL", sh ? 3 : 2);
  e.OffsetT = ScaledGlobalInt(p + "_OFFSETT", 2);
  e.OffsetR = ScaledGlobalInt(p + "_OFFSETR", sh ? 3 : 2);
  e.OffsetB = ScaledGlobalInt(p + "_OFFSETB", sh ? 5 : 4);
  e.Radius = ScaledGlobalInt(p + "_RADIUS_OE", 9);
  e.Blur = ScaledGlobalInt(p + "_BLUR_OE", 5);
  e.Opacity = GlobalInt(p + "_OPACITY", sh ? 60 : 200);
  e.Source = GlobalInt(p + "_SOURCE", 2);
  e.Mask = -1;
  if (e.Source == 1) {
    // The variant of the data's own scale, else the plain key enlarged: not
    // the loader's search, which may take a larger variant.
    const std::string key = p + "_MASK";
    const TacMemIni& ini = FOwner->OptionsDat;
    auto present = [&](int i) {
      auto v = ini.Value(kGlobal, key + ScaleSuffix(i));
      return v && !v->empty();
    };
    const int variant = present(ScaleValue) ? ScaleValue : present(0) ? 0 : -1;
    e.Mask = FOwner->GetMaskIndex(kGlobal, key, this);
    if (variant < 0) {
      e.Mask = -1;
    } else if (e.Mask < 0 || ma[static_cast<size_t>(e.Mask)].DivPPI != PPIOfScaleIndex(variant)) {
      const size_t before = ma.size();
      if (!AddMask(kGlobal, ini.SectionIndex(kGlobal), key, variant)) {
        e.Mask = -1;
      } else if (e.Mask >= 0) {
        ma[static_cast<size_t>(e.Mask)] = std::move(ma.back());
        ma.pop_back();
        ForgetMaskIndex();
      } else {
        e.Mask = static_cast<int>(before);
      }
    }
  } else if (e.Source == 2) {
    int g = FOwner->GetSkinIndex(kGlobal, this);
    e.Mask = AddComputedShape(g, kGlobal, p + "_CALC", "OuterCalc", {e.OffsetL, e.OffsetT, e.OffsetR, e.OffsetB},
                              e.Radius, e.Blur, static_cast<uint32_t>(e.ColorL), static_cast<uint32_t>(e.ColorT),
                              static_cast<uint32_t>(e.ColorR), static_cast<uint32_t>(e.ColorB));
  }
  // Widths only from their own keys; -1 when a key is missing.
  auto width = [&](const char* side) {
    int v = GlobalInt(p + "_WIDTH" + side, -1);
    return v >= 0 ? ScaleIntValue(v) : -1;
  };
  e.WidthL = width("L");
  e.WidthT = width("T");
  e.WidthR = width("R");
  e.WidthB = width("B");
}

void TacSkinData::LoadAllGeneralData() {
  const TacMemIni& ini = FOwner->OptionsDat;
  TacSectionReader r(ini);
  gd.clear();
  ForgetSectionIndex();
  // One record a section, then TRANSPARENT, MAINCOLOR and the fourteen
  // fallback copies at most.
  gd.reserve(ini.Sections().size() + 16);
  TabsCovering = static_cast<uint8_t>(r.ReadInt("TABTOP", "TABSCOVERING", 0, 255));
  RibbonCovering = static_cast<uint8_t>(r.ReadInt("RIBBONTAB", "TABSCOVERING", 0, 255));
  for (const auto& s : ini.Sections()) {
    TsGeneralData g;
    ReadSection(g, s.Name, r);
    gd.push_back(std::move(g));
  }
  LayCommonSections();
  for (TsMaskData& m : ma)
    if (m.SkinIndex < 0) m.SkinIndex = FOwner->GetSkinIndex(m.ClassName, this);
  ForgetMaskIndex();
  auto addPlain = [&](const char* name, int32_t color, int transparency) {
    if (FOwner->GetSkinIndex(name, this) >= 0) return;
    TsGeneralData g;
    g.ClassName = name;
    g.States = 1;
    g.BorderIndex = -1;
    for (TsGenState& st : g.Props) {
      st.Color = color;
      st.Transparency = transparency;
      st.FontColor = {static_cast<int32_t>(FOwner->Palette[pcLabelText]), -1, -1, -1, -1};
    }
    gd.push_back(std::move(g));
  };
  addPlain("TRANSPARENT", 0xFFFFFF, 100);
  addPlain("MAINCOLOR", static_cast<int32_t>(FOwner->Palette[pcMainColor]), 0);

  ExDrawMode = GlobalInt("BORDERMODE", 0);
  ExShadowOffs = ScaledGlobalInt("ALIGNOFFSET", 0);
  // A side of its own, plain or in the data's scale; else the left side's value.
  auto alignSide = [&](const std::string& key) {
    const bool own = ini.ValueExists(kGlobal, key) ||
                     (ScaleValue > 0 && ini.ValueExists(kGlobal, key + ScaleSuffix(ScaleValue)));
    return own ? ScaledGlobalInt(key, 0) : ExShadowOffs;
  };
  ExShadowOffsR = alignSide("ALIGNOFFSETR");
  ExShadowOffsT = alignSide("ALIGNOFFSETT");
  ExShadowOffsB = alignSide("ALIGNOFFSETB");
  WndShadowRadius = ScaledGlobalInt("WSHRAD", 17);
  WndShadowOffset = ScaledGlobalInt("WSHOFFS", 2);
  WndShadowSize = ScaledGlobalInt("WSHSIZE", 13);
  WndShadowColorN = static_cast<uint32_t>(GlobalInt("WSHCOLN", 0x44000000));
  WndShadowColorA = static_cast<uint32_t>(GlobalInt("WSHCOLA", static_cast<int32_t>(0x99000000u)));
  BISpacing = ScaledGlobalInt("BISPACE", 0);
  BIRightMargin = ScaledGlobalInt("BIRIGHT", 0);
  BILeftMargin = ScaledGlobalInt("BILEFT", 0);
  BITopMargin = ScaledGlobalInt("BITOP", 0);
  static const char* const glowMargins[5] = {"BICLOSEALONEGLOWMARGIN", "BICONCLOSEGLOWMARGIN", "BICONMAXGLOWMARGIN",
                                             "BICONMINGLOWMARGIN", "BICONNORMGLOWMARGIN"};
  for (int i = 0; i < 5; ++i) GlowMargins[static_cast<size_t>(i)] = ScaledGlobalInt(glowMargins[i], 0);
  BIGlowCount = std::clamp(GlobalInt("BICONCLOSEGLOW", 0), 0, 255);
  ComboBoxMargin = GlobalInt("COMBOMARGIN", 2);
  if (ComboBoxMargin == 1 && PPI > 143) ComboBoxMargin = 2;
  SliderMargin = GlobalInt("SLIDERMARGIN", 1);
  ReadOuterEffect(0, "LO");
  ReadOuterEffect(1, "SH");
}

void TacSkinData::FillElement(TacConstElementData& e, std::initializer_list<const char*> names) {
  e = TacConstElementData{};
  for (const char* n : names) {
    int i = FOwner->GetSkinIndex(n, this);
    if (i >= 0) {
      e.SkinIndex = i;
      e.SkinSection = n;
      break;
    }
  }
  if (e.SkinIndex < 0) return;
  e.MaskIndex = FOwner->GetMaskIndex(e.SkinIndex, "BORDERSMASK", this);
  e.GlyphIndex = FOwner->GetMaskIndex(e.SkinIndex, "GLYPHMASK", this);
  e.BGIndex[0] = FOwner->GetTextureIndex(e.SkinIndex, "PATTERN", this);
  e.BGIndex[1] = FOwner->GetTextureIndex(e.SkinIndex, "HOTPATTERN", this);
}

void TacSkinData::InitConstantIndexes() {
  TsSkinCommonInfo& ci = FOwner->SkinCommonInfo;
  ci.IndexGlobalInfo = FOwner->GetSkinIndex(kGlobal, this);
  for (int s = 0; s < ssSectionCount; ++s) {
    int idx = FOwner->GetSkinIndex(acSectionNames[s], this);
    int fb = FallbackOf(s);
    if (idx < 0 && fb >= 0 && ci.Sections[static_cast<size_t>(fb)] >= 0) {
      idx = ci.Sections[static_cast<size_t>(fb)];
      TsGeneralData copy = gd[static_cast<size_t>(idx)];
      // The copy reaches its original's images through the parent chain.
      copy.ParentClass = copy.ClassName;
      copy.ClassName = acSectionNames[s];
      gd.push_back(std::move(copy));
    }
    ci.Sections[static_cast<size_t>(s)] = idx;
  }
  int g = ci.IndexGlobalInfo;
  auto gm = [&](const std::string& name) { return FOwner->GetMaskIndex(kGlobal, name, this); };
  (void)g;
  CheckBox = {gm("BOXUNCHECKED"), gm("BOXCHECKED"), gm("BOXGRAYED")};
  SmallCheckBox = {gm("SMALLUNCHECKED"), gm("SMALLCHECKED"), gm("SMALLGRAYED")};
  RadioButton = {gm("RADIOUNCHECKED"), gm("RADIOCHECKED")};
  ExBorder = gm("EXBORDER");
  GripRightBottom = gm("GRIPIMAGE");
  GripHorizontal = gm("GRIPHORZ");
  GripVertical = gm("GRIPVERT");

  FillElement(MenuItem, {"MENUITEM"});
  FillElement(ComboBtn, {"COMBOBTN"});
  ComboBtn.GlyphIndex = FOwner->GetMaskIndex(FOwner->GetSkinIndex("COMBOBOX", this), "GLYPHMASK", this);
  static const char* const sides[4] = {"LEFT", "TOP", "RIGHT", "BOTTOM"};
  static const char* const layouts[4] = {"FIRST", "LAST", "MIDDLE", ""};
  for (int l = 0; l < 4; ++l)
    for (int s = 0; s < 4; ++s) {
      std::string name = std::string("TAB") + sides[s] + layouts[l];
      FillElement(Tabs[static_cast<size_t>(l)][static_cast<size_t>(s)], {name.c_str()});
    }
  FillElement(Sliders[0], {"SCROLLSLIDERH"});
  FillElement(Sliders[1], {"SCROLLSLIDERV"});
  static const char* const scrollBtns[4] = {"SCROLLBTNLEFT", "SCROLLBTNTOP", "SCROLLBTNRIGHT", "SCROLLBTNBOTTOM"};
  static const char* const scrolls[4] = {"SCROLLBAR1H", "SCROLLBAR1V", "SCROLLBAR2H", "SCROLLBAR2V"};
  static const char* const upDowns[4] = {"UPDOWNBTN_LEFT", "UPDOWNBTN_TOP", "UPDOWNBTNRIGHT", "UPDOWNBTN_BOTTOM"};
  for (size_t s = 0; s < 4; ++s) {
    FillElement(ScrollBtns[s], {scrollBtns[s]});
    FillElement(Scrolls[s], {scrolls[s]});
    FillElement(UpDownBtns[s], {upDowns[s], "UPDOWNBTN", "BUTTON"});
  }
  int tb = FOwner->GetSkinIndex("TRACKBAR", this);
  for (int v = 0; v < 2; ++v) {
    TacTrackBarData& t = TrackBar[static_cast<size_t>(v)];
    t = TacTrackBarData{};
    t.SkinIndex = tb;
    if (tb < 0) continue;
    bool vertical = v == 0;
    t.MaskIndex = FOwner->GetMaskIndex(tb, "BORDERSMASK", this);
    t.SliderIndex = vertical ? FOwner->GetMaskIndex(tb, "SLIDERVMASK", this) : -1;
    if (t.SliderIndex < 0) t.SliderIndex = FOwner->GetMaskIndex(tb, "SLIDERMASK", this);
    t.BGIndex = {FOwner->GetTextureIndex(tb, "PATTERN", this), FOwner->GetTextureIndex(tb, "HOTPATTERN", this)};
    t.TickIndex = FOwner->GetMaskIndex(tb, vertical ? "TICKVERT" : "TICKHORZ", this);
    t.ProgIndex = FOwner->GetMaskIndex(tb, vertical ? "PROGVERT" : "PROGHORZ", this);
    t.ChannelIndex = FOwner->GetMaskIndex(tb, "SLIDERCHANNEL", this);
  }

  static const char* const glyphs[12] = {"BICLOSEALONE", "BICONCLOSE", "BICONMAX",  "BICONMIN",
                                         "BICONNORM",    "BICONHELP",  "SICONCLOSE", "SICONMAX",
                                         "SICONMIN",     "SICONNORM",  "SICONHELP",  "TITLEBUTTON"};
  for (size_t i = 0; i < 12; ++i) TitleGlyphs[i] = gm(glyphs[i]);
  TitleGlyphs[tgNone] = -1;
  if (TitleGlyphs[tgCloseAlone] < 0) TitleGlyphs[tgCloseAlone] = TitleGlyphs[tgClose];
  for (size_t i = tgSmallClose; i <= tgSmallHelp; ++i)
    if (TitleGlyphs[i] < 0) TitleGlyphs[i] = TitleGlyphs[i - 5];
  for (auto& v : TitleGlows) v.clear();
  for (size_t i = 0; i < 5; ++i)
    for (int n = 0; n < BIGlowCount; ++n)
      TitleGlows[i].push_back(gm(std::string(glyphs[i]) + "GLOW" + std::to_string(n)));
  if (TitleGlyphs[tgCloseAlone] == TitleGlyphs[tgClose]) {
    GlowMargins[0] = GlowMargins[1];
    TitleGlows[0].assign(TitleGlows[1].size(), TitleGlows[1].empty() ? -1 : TitleGlows[1][0]);
  }
}

int TacSkinData::AddComputedOuterMask(int si) {
  const TsGeneralData& g = gd[static_cast<size_t>(si)];
  bool leftOnly = g.OuterMode == 3;
  uint32_t key = clMagenta;
  return AddComputedShape(si, g.ClassName, "OUTERMASK", "Outer" + std::to_string(ma.size()), g.OuterOffset,
                          g.OuterRadius, g.OuterBlur, static_cast<uint32_t>(g.OuterColorL),
                          leftOnly ? key : static_cast<uint32_t>(g.OuterColorT),
                          leftOnly ? key : static_cast<uint32_t>(g.OuterColorR),
                          leftOnly ? key : static_cast<uint32_t>(g.OuterColorB));
}

int TacSkinData::AddComputedShape(int si, const std::string& className, const std::string& propertyName,
                                  const std::string& tag, TMargins offsets, int radius, int blur, uint32_t colorL,
                                  uint32_t colorT, uint32_t colorR, uint32_t colorB) {
  int l = std::max(0, offsets.Left), t = std::max(0, offsets.Top);
  int r = std::max(0, offsets.Right), b = std::max(0, offsets.Bottom);
  int w = l + r, h = t + b;
  if (w <= 0 || h <= 0) return -1;
  ShadowShapeColors colors;
  colors.Left = colorL;
  colors.Top = colorT;
  colors.Right = colorR;
  colors.Bottom = colorB;
  // The solid part is the control, which the border painting stretches from
  // its one-pixel centre: without that centre the sides between the corners
  // would have nothing to stretch and only the corners would show.
  Bitmap32 img = MakeBlurredShape(w + 1, h + 1, BmpRect(l, t, l + 1, t + 1), radius, blur, colors);
  if (img.Empty()) return -1;
  int index = static_cast<int>(ma.size());
  auto bd = std::make_unique<TacBmpData>();
  bd->FileName = tag;
  bd->Path = className + "-" + propertyName;
  bd->MaskType = 1;
  bd->MulPPI = bd->DivPPI = PPI;
  bd->Bmp = std::move(img);
  bd->R = bd->SrcRect = {0, 0, bd->Bmp.Width(), bd->Bmp.Height()};
  TsMaskData md;
  md.Bmp = &bd->Bmp;
  md.ClassName = className;
  md.PropertyName = propertyName;
  md.R = bd->R;
  md.ImageCount = 1;
  md.MaskType = 1;
  md.DrawMode = 1;
  md.ImgType = itisaBorder;
  md.Manager = FOwner;
  md.MulPPi = md.DivPPI = PPI;
  md.SkinIndex = si;
  int W = bd->Bmp.Width();
  md.WL = U16((W + l - r) / 2);
  md.WR = U16((W + r - l) / 2);
  md.WT = U16((h + t - b) / 2);
  md.WB = U16((h + b - t) / 2);
  BmpArray.push_back(std::move(bd));
  ma.push_back(std::move(md));
  return index;
}

void TacSkinData::InitMaskIndexes() {
  for (size_t i = 0; i < gd.size(); ++i) {
    TsGeneralData& g = gd[i];
    if (g.ClassName == kGlobal) {
      g.BorderIndex = -1;  // never a border: 0 would name the first mask
      continue;
    }
    int si = static_cast<int>(i);
    if (g.BorderIndex == 0) g.BorderIndex = FOwner->GetMaskIndex(si, "BORDERSMASK", this);
    g.ImgTL = FOwner->GetMaskIndex(si, "IMGTOPLEFT", this);
    g.ImgTR = FOwner->GetMaskIndex(si, "IMGTOPRIGHT", this);
    g.ImgBL = FOwner->GetMaskIndex(si, "IMGBTMLEFT", this);
    g.ImgBR = FOwner->GetMaskIndex(si, "IMGBTMRIGHT", this);
    switch (g.OuterMode) {
      case 1:
      case 2: g.OuterMask = FOwner->GetMaskIndex(si, "OUTERMASK", this); break;
      case 3:
      case 4:
        g.OuterMask = FOwner->GetMaskIndex(si, "OUTERMASK", this);
        if (g.OuterMask < 0) g.OuterMask = AddComputedOuterMask(si);
        break;
      default: g.OuterMask = -1;
    }
    TsGeneralData& gg = gd[i];  // the mask list may have grown, the records not
    gg.Props[0].TextureIndex = FOwner->GetTextureIndex(si, "PATTERN", this);
    gg.Props[1].TextureIndex = gg.States > 1 ? FOwner->GetTextureIndex(si, "HOTPATTERN", this) : -1;
    gg.Props[2].TextureIndex = gg.States > 2 && gg.UseState2 ? FOwner->GetTextureIndex(si, "PATTERN2", this)
                                                             : gg.Props[1].TextureIndex;
    if (gg.BorderIndex < 0) {
      gg.ScrollBorderOffset = -2;
    } else {
      const TsMaskData& m = ma[static_cast<size_t>(gg.BorderIndex)];
      bool ones = m.WL == 1 && m.WT == 1 && m.WR == 1 && m.WB == 1;
      gg.ScrollBorderOffset = (gg.ClassName == "EDIT" || gg.ClassName == "ALPHAEDIT") && ones ? -1 : 0;
    }
  }
  for (TsMaskData& m : ma) {
    m.Width = m.ImageCount > 0 ? m.R.Width() / m.ImageCount : m.R.Width();
    m.Height = m.R.Height() / (m.MaskType + 1);
    if (m.ImageCount == 0) {
      if (m.WT <= 0) m.WT = U16((m.Height - 1) / (2 * (m.MaskType + 1)));
      if (m.WB <= 0) m.WB = U16((m.Height - 1) / (2 * (m.MaskType + 1)));
      if (m.WL <= 0) m.WL = U16((m.Width - 1) / 2);
      if (m.WR <= 0) m.WR = U16((m.Width - 1) / 2);
      m.ImageCount = 1;
    }
  }
}

void TacSkinData::InitMaskParams() {
  ExBorderWidth = std::max(1, BorderScaledGlobalInt("BORDERWIDTH", 4));
  ExContentOffs = BorderScaledGlobalInt("FORMOFFSET", FOwner->Host.SizingFrameWidth(96));
  ExTitleHeight = BorderScaledGlobalInt("TITLEHEIGHT", 30);
  if (ExTitleHeight <= 0) ExTitleHeight = ScaleIntValue(30);
  ExMaxHeight = BorderScaledGlobalInt("MAXHEIGHT", 0);
  if (ExMaxHeight <= 0) ExMaxHeight = ExTitleHeight;
  ExCenterOffs = BorderScaledGlobalInt("CENTEROFFSET", 0);
}

const Bitmap32& TacSkinData::GetActiveShadow() {
  if (!rsta)
    rsta = std::make_unique<Bitmap32>(
        MakeWindowShadow(WndShadowColorA, WndShadowRadius, WndShadowOffset, WndShadowSize));
  return *rsta;
}

const Bitmap32& TacSkinData::GetPassiveShadow() {
  if (!rsti)
    rsti = std::make_unique<Bitmap32>(
        MakeWindowShadow(WndShadowColorN, WndShadowRadius, WndShadowOffset, WndShadowSize));
  return *rsti;
}

void TacSkinData::CheckShadows() {
  ShdaTemplate.reset();
  ShdiTemplate.reset();
  FormShadowSize = {};
  if (!FOwner->Active() || !FOwner->ExtendedBorders) return;
  if (ExBorder >= 0) {
    const TsMaskData& m = ma[static_cast<size_t>(ExBorder)];
    const Bitmap32* src = MaskBitmap(ExBorder);
    auto frame = [&](int k) {
      auto b = std::make_unique<Bitmap32>(m.Width, m.Height);
      CopyPiece(*b, BmpPoint(0, 0), *src,
                BmpRect(m.R.Left + k * m.Width, m.R.Top, m.R.Left + (k + 1) * m.Width, m.R.Top + m.Height));
      return b;
    };
    ShdiTemplate = frame(0);
    ShdaTemplate = frame(m.ImageCount > 1 ? 1 : 0);
    if (ExDrawMode != 0)
      FormShadowSize = {ExContentOffs, ExContentOffs, ExContentOffs, ExContentOffs};
    else
      FormShadowSize = {std::max(0, m.WL - ExContentOffs), std::max(0, m.WT - ExContentOffs),
                        std::max(0, m.WR - ExContentOffs), std::max(0, m.WB - ExContentOffs)};
  } else {
    // The templates are the computed shadows; rsta and rsti stay to be made on first use.
    auto [active, passive] =
        MakeWindowShadows(WndShadowColorA, WndShadowColorN, WndShadowRadius, WndShadowOffset, WndShadowSize);
    ShdaTemplate = std::make_unique<Bitmap32>(std::move(active));
    ShdiTemplate = std::make_unique<Bitmap32>(std::move(passive));
    FormShadowSize = {WndShadowSize, std::max(0, WndShadowSize - WndShadowOffset), WndShadowSize,
                      std::max(0, WndShadowSize + WndShadowOffset)};
  }
}

}  // namespace cb
