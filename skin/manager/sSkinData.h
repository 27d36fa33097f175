#pragma once
// The skin as painting reads it, once per density: section records, image
// (mask) records, outer effects, the sections and images needed by role,
// metrics and window shadows.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Geometry.h"
#include "sSkinOptions.h"
#include "skin/paint/Bitmap32.h"

namespace cb {

class TacSkinManagerCore;

// Bits of a border image's TsMaskData::DrawMode.
constexpr uint16_t dmStretch = 1;     // sides and centre stretched, not tiled
constexpr uint16_t dmNotInState0 = 2; // no border in state 0
constexpr uint16_t dmCentre = 4;      // the centre piece is painted
constexpr uint16_t dmKeepSize = 8;    // not rescaled at other densities
constexpr uint16_t dmAlpha = 16;      // per-pixel alpha

// A texture mask's DrawMode is a fill mode instead.
enum TacFillMode : uint16_t {
  fmTile = 0, fmStretch = 1, fmTopRow = 2, fmLeftColumn = 3, fmTopRowStretched = 4, fmLeftColumnStretched = 5,
  fmBottomRow = 6, fmRightColumn = 7, fmRightColumn8 = 8, fmRightColumn9 = 9, fmWholeTiles = 10,
  fmRowsStretched = 11, fmColumnsStretched = 12, fmBottomRight = 13, fmRightColumn14 = 14
};

// Bits of TsMaskData::Cfg.
constexpr int cfgKeyCorners = 1;    // a corner area holds the key colour
constexpr int cfgHugeButton = 2;    // BORDERSMASK of BUTTON_HUGE, section already known
constexpr int cfgCornerBits = cfgKeyCorners | cfgHugeButton;

// Bits of TsGradPoint::Mode.
constexpr uint32_t gpDirectionBits = 3;
constexpr uint32_t gpSystemFill = 16;  // band drawn by the system gradient fill
constexpr uint32_t gpOnTop = 32;       // gradient painted over everything else

struct TsFontColor {
  int32_t Color = 0, Left = -1, Top = -1, Right = -1, Bottom = -1;
  friend bool operator==(const TsFontColor&, const TsFontColor&) = default;
};

struct TsGenState {
  int GlowSize = 0;
  int ImagePercent = 0;
  int TextureIndex = -1;
  int Transparency = 0;
  int GradientPercent = 0;
  int32_t Color = 0xFFFFFF;
  int32_t GlowColor = 0xFFFFFF;
  TsFontColor FontColor;
  std::vector<TsGradPoint> GradientArray;
};

struct TsGeneralData {
  std::string ParentClass;
  std::string ClassName;
  std::array<TsGenState, 3> Props;
  bool UseState2 = false;
  bool GiveOwnFont = false;
  bool ShiftOnClick = false;
  bool ReservedBoolean = false;
  int States = 3;
  int ScrollBorderOffset = 0;
  int GlowCount = 0;
  int GlowMargin = 0;
  int GlowSize = 0, HotGlowSize = 0;
  int BorderIndex = 0;
  int ImgTL = -1, ImgTR = -1, ImgBL = -1, ImgBR = -1;
  int32_t HotGlowColor = 0, GlowColor = 0;
  int OuterMode = 2;
  int OuterMask = -1;
  int OuterOpacity = 200;
  TMargins OuterOffset{-1, -1, -1, -1};
  int OuterBlur = 9, OuterRadius = 9;
  int32_t OuterColorL = 0, OuterColorT = 0, OuterColorR = 0, OuterColorB = 0;
};

struct TsMaskData {
  Bitmap32* Bmp = nullptr;  // borrowed from the skin data's BmpArray; null: the master image
  std::string ClassName;
  std::string PropertyName;
  TRect R;
  uint16_t ImageCount = 0;
  uint16_t MaskType = 0;
  uint16_t DrawMode = 0;
  TacImgType ImgType = itisaBorder;
  TacSkinManagerCore* Manager = nullptr;
  uint16_t WL = 0, WT = 0, WR = 0, WB = 0;
  int Cfg = 0;
  int MulPPi = 96, DivPPI = 96;
  int SkinIndex = -1;
  int Width = 0, Height = 0;
};

// What loading (AddMask) and the single records of GetScaledMaskData build alike.
// The record a canonical reference describes, before its image is found.
TsMaskData MaskRecordOf(const TacImageRef& Ref, const std::string& Section, const std::string& Key, int SkinIndex,
                        TacSkinManagerCore* Manager, int MulPPI, int DivPPI);
// Border widths taken with their image from Div to Mul.
void ScaleMaskBorders(TsMaskData& md, int Mul, int Div);
// Whether a corner of the first frame (its border widths, limited to the frame and
// to the image) holds the key colour.
bool HasKeyedCorners(const Bitmap32& Img, const TsMaskData& md);

struct TacOutEffData {
  int32_t ColorL = 0, ColorT = 0, ColorR = 0, ColorB = 0;
  int OffsetL = 0, OffsetT = 0, OffsetR = 0, OffsetB = 0;
  int WidthL = -1, WidthT = -1, WidthR = -1, WidthB = -1;
  int Blur = 0, Radius = 0, Mask = -1, Source = 0, Opacity = 0;
};

struct TacBmpData {
  int MulPPI = 96, DivPPI = 96, MaskType = 0;
  std::string Path;
  std::string FileName;
  Bitmap32 Bmp;
  TRect R;
  TRect SrcRect;
};

struct TacConstElementData {
  int SkinIndex = -1;
  int MaskIndex = -1;
  int GlyphIndex = -1;
  std::array<int, 3> BGIndex{-1, -1, -1};
  std::string SkinSection;
};

struct TacTrackBarData {
  int SkinIndex = -1, MaskIndex = -1, SliderIndex = -1;
  std::array<int, 2> BGIndex{-1, -1};
  int TickIndex = -1, ProgIndex = -1, ChannelIndex = -1;
};

// Sections needed by role, in this order.
enum TacSection {
  ssMenuItem, ssCheckBox, ssSpeedButton, ssSpeedButton_Small, ssToolButton, ssTransparent, ssGroupBox, ssDivider,
  ssWebBtn, ssButton, ssComboNoEdit, ssButtonHuge, ssToolBar, ssEdit, ssGauge, ssSelection, ssStatusBar, ssPanel,
  ssPanelLow, ssTrackBar, ssProgressV, ssDragBar, ssGripH, ssGripV, ssProgressH, ssTabSheet, ssUpDown, ssComboBox,
  ssCaption, ssMainMenu, ssSplitter, ssComboBtn, ssFormTitle, ssHint, ssDividerV, ssPageControl, ssTabTop,
  ssBarPanel, ssBarTitle, ssMenuCaption, ssDialogTitle, ssMenuButton, ssMenuLine, ssFormHeader, ssTBBtn,
  ssTBMenuBtn, ssTBTab, ssColHeader, ssColHeaderA, ssColHeaderL, ssColHeaderR, ssSlider_Off, ssSlider_On,
  ssSectionCount
};
static_assert(ssSectionCount == 53);
extern const char* const acSectionNames[ssSectionCount];

// Title bar glyph slots, in this order.
enum TacTitleGlyph {
  tgCloseAlone, tgClose, tgMax, tgMin, tgNormal, tgHelp, tgSmallClose, tgSmallMax, tgSmallMin, tgSmallNormal,
  tgSmallHelp, tgTitleButton, tgNone
};

class TacSkinData {
public:
  TacSkinData(TacSkinManagerCore* owner, int aPPI);
  TacSkinData(const TacSkinData&) = delete;
  TacSkinData& operator=(const TacSkinData&) = delete;

  void SetPPI(int aPPI);
  // Loading steps, in the order the manager runs them.
  void LoadParams();
  void LoadAllMasks();
  void LoadAllGeneralData();
  void InitConstantIndexes();
  void InitMaskIndexes();
  void InitMaskParams();
  void CheckShadows();
  void Reset();
  // Has the manager load the skin into this object at its density.
  void Init();

  int ScaleIntValue(int value) const { return value * PPI / 96; }
  const Bitmap32& GetActiveShadow();
  const Bitmap32& GetPassiveShadow();
  bool Active() const { return !gd.empty(); }
  int BrightMin() const;
  int BrightMax() const;

  // Image (and mask rows) of a mask: its own bitmap or the master image.
  const Bitmap32* MaskBitmap(int maskIndex) const;

  // The masks of a section (their SkinIndex), in list order: what the mask
  // lookups walk instead of the whole list, hundreds of times while a skin
  // loads. Rebuilt when the list has changed its length; whoever changes a
  // mask's section or name in place calls ForgetMaskIndex.
  std::span<const int> MasksOfSection(int skinIndex) const;
  void ForgetMaskIndex() const { FIndexedMasks = SIZE_MAX; }
  // The first section record of a name (-1: none), through an index by name
  // rather than a walk over every record, as every lookup by section and each
  // step up a parent chain asks it. Rebuilt when the list has changed its
  // length; whoever renames a record in place calls ForgetSectionIndex.
  int SectionIndexOf(std::string_view name) const;
  // SectionIndexOf the record's ParentClass (-1 for none or an empty name),
  // kept with the index: every step up a parent chain asks it.
  int ParentIndexOf(int skinIndex) const;
  void ForgetSectionIndex() const { FIndexedSections = SIZE_MAX; }

  std::unique_ptr<Bitmap32> rsta, rsti;
  bool Initializing = false;
  std::vector<std::unique_ptr<TacBmpData>> BmpArray;
  TacSkinManagerCore* FOwner;
  int ScaleValue = 0;
  int ScalePercent = 100;
  int PPI = 96;

  int Spacing = 4, LineWidth = 2, ArrowSize = 5, SmallArrowSize = 4, ScrollBtnLength = 16;
  int Shadow1Blur = -1, Shadow1Offset = 0, Shadow1Transparency = 0;
  int ExBorderWidth = 4, ExTitleHeight = 30, ExMaxHeight = 0, ExContentOffs = 0, ExCenterOffs = 0;
  int ExShadowOffs = 0, ExShadowOffsR = 0, ExShadowOffsT = 0, ExShadowOffsB = 0;
  int BIRightMargin = 0, BILeftMargin = 0, BITopMargin = 0, BISpacing = 0;
  int WndShadowRadius = 17, WndShadowSize = 13, WndShadowOffset = 2;
  uint32_t WndShadowColorN = 0x44000000, WndShadowColorA = 0x99000000;
  int ExDrawMode = 0;
  int ComboBoxMargin = 2, SliderMargin = 1;
  uint8_t TabsCovering = 0, RibbonCovering = 0;
  int BIGlowCount = 0;

  std::array<TacConstElementData, 4> Scrolls, ScrollBtns, UpDownBtns;
  std::array<TacConstElementData, 2> Sliders;
  TacConstElementData MenuItem, ComboBtn;
  std::array<std::vector<int>, 7> TitleGlows;
  std::array<int, 7> GlowMargins{};
  std::array<int, 13> TitleGlyphs;
  std::array<int, 2> RadioButton{-1, -1};
  std::array<int, 3> CheckBox{-1, -1, -1}, SmallCheckBox{-1, -1, -1};
  std::array<TacTrackBarData, 2> TrackBar;  // [vertical, horizontal]
  std::array<std::array<TacConstElementData, 4>, 4> Tabs;  // [first, last, middle, single][side]
  int ExBorder = -1;
  int ExBorderVariant = -1;  // scale index of the EXBORDER variant that was taken
  int GripVertical = -1, GripHorizontal = -1, GripRightBottom = -1;
  std::unique_ptr<Bitmap32> ShdaTemplate, ShdiTemplate;
  TMargins FormShadowSize;

  std::vector<TsMaskData> ma;
  std::array<TacOutEffData, 2> oe;
  std::vector<TsGeneralData> gd;

private:
  friend class TacSkinManagerCore;
  mutable std::vector<int> FMasksBySection;  // mask indexes by section
  mutable std::vector<size_t> FMaskStarts;   // where each section's begin, and the end
  mutable size_t FIndexedMasks = SIZE_MAX;
  mutable TBasicNameIndex<char> FSectionIndex;
  mutable size_t FIndexedSections = SIZE_MAX;
  mutable std::vector<int> FParents;  // ParentIndexOf by record; kUnknownParent until asked
  void IndexSections() const;

  int GlobalInt(const std::string& key, int def) const;
  int ScaledGlobalInt(const std::string& key, int def) const;
  int BorderScaledGlobalInt(const std::string& key, int def) const;
  // Variant -1: the loader's choice of variant; otherwise only that one.
  bool AddMask(const std::string& section, int sectionIndex, const std::string& key, int onlyVariant = -1);
  void ScaleBorders(TsMaskData& md, int mul, int div, bool limit);
  void ReadSection(TsGeneralData& g, const std::string& section, const TacSectionReader& r);
  void LayCommonSections();
  void ReadOuterEffect(int index, const std::string& prefix);
  int AddComputedOuterMask(int sectionIndex);
  // A blurred shape around a point, as a one-frame border image with its mask
  // rows; the offsets are the room on each side.
  int AddComputedShape(int sectionIndex, const std::string& className, const std::string& propertyName,
                       const std::string& tag, TMargins offsets, int radius, int blur, uint32_t colorL,
                       uint32_t colorT, uint32_t colorR, uint32_t colorB);
  void FillElement(TacConstElementData& e, std::initializer_list<const char*> names);
};

}  // namespace cb
