// The option objects a skin manager carries, as published in form
// descriptions. Painting, window skinning and controls read their values.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "ui/Classes.h"

namespace cb {

class TacOptionObject : public TPersistent {
  CB_CLASS(TacOptionObject, TPersistent)
public:
  // Runs after a published value changed (the manager reacts to some).
  std::function<void()> OnChange;

protected:
  void Changed() {
    if (OnChange) OnChange();
  }
};

class TacSkinEffects : public TacOptionObject {
  CB_CLASS(TacSkinEffects, TacOptionObject)
public:
  bool AllowAnimation() const { return FAllowAnimation; }
  void SetAllowAnimation(bool V) { FAllowAnimation = V; }
  bool AllowAeroBluring() const { return FAllowAeroBluring; }
  void SetAllowAeroBluring(bool V) { FAllowAeroBluring = V; }
  bool AllowGlowing() const { return FAllowGlowing; }
  void SetAllowGlowing(bool V) { FAllowGlowing = V; }
  bool AllowOuterEffects() const { return FAllowOuterEffects; }
  void SetAllowOuterEffects(bool V) { FAllowOuterEffects = V; }
  bool DiscoloredGlyphs() const { return FDiscoloredGlyphs; }
  void SetDiscoloredGlyphs(bool V) { FDiscoloredGlyphs = V; }
  static void PublishProperties(TPublisher& P);

private:
  bool FAllowAnimation = true, FAllowAeroBluring = true, FAllowGlowing = true, FAllowOuterEffects = true;
  bool FDiscoloredGlyphs = false;
};

enum TacAnimType { atFading, atAero, atDropDown };

// Active and Time, the pair every animation setting has.
class TacAnimSetting : public TacOptionObject {
  CB_CLASS(TacAnimSetting, TacOptionObject)
public:
  TacAnimSetting() = default;
  TacAnimSetting(bool AActive, int ATime) : FActive(AActive), FTime(ATime), FDefActive(AActive), FDefTime(ATime) {}
  bool Active() const { return FActive; }
  void SetActive(bool V) { FActive = V; }
  int Time() const { return FTime; }
  void SetTime(int V) { FTime = V; }
  bool DefaultActive() const { return FDefActive; }
  int DefaultTime() const { return FDefTime; }
  static void PublishProperties(TPublisher& P);

private:
  bool FActive = true;
  int FTime = 0;
  bool FDefActive = true;
  int FDefTime = 0;
};

// Show, hide and skin-change animations also have a mode.
class TacModeAnimSetting : public TacAnimSetting {
  CB_CLASS(TacModeAnimSetting, TacAnimSetting)
public:
  TacModeAnimSetting() = default;
  TacModeAnimSetting(bool AActive, int ATime, TacAnimType AMode)
      : TacAnimSetting(AActive, ATime), FMode(AMode), FDefMode(AMode) {}
  TacAnimType Mode() const { return FMode; }
  void SetMode(TacAnimType V) { FMode = V; }
  TacAnimType DefaultMode() const { return FDefMode; }
  static void PublishProperties(TPublisher& P);

private:
  TacAnimType FMode = atAero;
  TacAnimType FDefMode = atAero;
};

class TacBlendOnMoving : public TacAnimSetting {
  CB_CLASS(TacBlendOnMoving, TacAnimSetting)
public:
  TacBlendOnMoving() : TacAnimSetting(false, 1000) {}
  int BlendValue() const { return FBlendValue; }
  void SetBlendValue(int V) { FBlendValue = V; }
  static void PublishProperties(TPublisher& P);

private:
  int FBlendValue = 170;
};

using TacBtnEvents = std::uint32_t;
constexpr TacBtnEvents beMouseEnter = 1, beMouseLeave = 2, beMouseDown = 4, beMouseUp = 8;

class TacBtnEffects : public TacOptionObject {
  CB_CLASS(TacBtnEffects, TacOptionObject)
public:
  TacBtnEvents Events() const { return FEvents; }
  void SetEvents(TacBtnEvents V) { FEvents = V; }
  static void PublishProperties(TPublisher& P);

private:
  TacBtnEvents FEvents = beMouseEnter | beMouseLeave | beMouseDown | beMouseUp;
};

class TacAnimEffects : public TacOptionObject {
  CB_CLASS(TacAnimEffects, TacOptionObject)
public:
  TacBlendOnMoving* BlendOnMoving() const { return const_cast<TacBlendOnMoving*>(&FBlendOnMoving); }
  TacBtnEffects* Buttons() const { return const_cast<TacBtnEffects*>(&FButtons); }
  TacModeAnimSetting* DialogShow() const { return const_cast<TacModeAnimSetting*>(&FDialogShow); }
  TacModeAnimSetting* FormShow() const { return const_cast<TacModeAnimSetting*>(&FFormShow); }
  TacModeAnimSetting* FormHide() const { return const_cast<TacModeAnimSetting*>(&FFormHide); }
  TacModeAnimSetting* DialogHide() const { return const_cast<TacModeAnimSetting*>(&FDialogHide); }
  TacAnimSetting* Minimizing() const { return const_cast<TacAnimSetting*>(&FMinimizing); }
  TacAnimSetting* PageChange() const { return const_cast<TacAnimSetting*>(&FPageChange); }
  TacModeAnimSetting* SkinChanging() const { return const_cast<TacModeAnimSetting*>(&FSkinChanging); }
  static void PublishProperties(TPublisher& P);

private:
  TacBlendOnMoving FBlendOnMoving;
  TacBtnEffects FButtons;
  TacModeAnimSetting FDialogShow{true, 0, atAero}, FFormShow{true, 0, atAero}, FFormHide{true, 0, atAero},
      FDialogHide{true, 0, atAero};
  TacAnimSetting FMinimizing{true, 80}, FPageChange{true, 0};
  TacModeAnimSetting FSkinChanging{true, 100, atFading};
};

using TacBtnColoring = std::uint32_t;
constexpr TacBtnColoring bcBackground = 1, bcGlyph = 2, bcText = 4;

class TacButtonsSupport : public TacOptionObject {
  CB_CLASS(TacButtonsSupport, TacOptionObject)
public:
  bool OldGlyphsMode() const { return FOldGlyphsMode; }
  void SetOldGlyphsMode(bool V) { FOldGlyphsMode = V; }
  bool ShowFocusRect() const { return FShowFocusRect; }
  void SetShowFocusRect(bool V) { FShowFocusRect = V; }
  bool ShiftContentOnClick() const { return FShiftContentOnClick; }
  void SetShiftContentOnClick(bool V) { FShiftContentOnClick = V; }
  bool AllowRTLSysButtons() const { return FAllowRTLSysButtons; }
  void SetAllowRTLSysButtons(bool V) { FAllowRTLSysButtons = V; }
  TacBtnColoring ModalButtonsColoring() const { return FModalButtonsColoring; }
  void SetModalButtonsColoring(TacBtnColoring V) { FModalButtonsColoring = V; }
  static void PublishProperties(TPublisher& P);

private:
  bool FOldGlyphsMode = false, FShowFocusRect = false, FShiftContentOnClick = true, FAllowRTLSysButtons = true;
  TacBtnColoring FModalButtonsColoring = bcText;
};

class TacLabelsSupport : public TacOptionObject {
  CB_CLASS(TacLabelsSupport, TacOptionObject)
public:
  bool TransparentAlways() const { return FTransparentAlways; }
  void SetTransparentAlways(bool V) { FTransparentAlways = V; }
  static void PublishProperties(TPublisher& P);

private:
  bool FTransparentAlways = true;
};

class TacScrollBarsSupport : public TacOptionObject {
  CB_CLASS(TacScrollBarsSupport, TacOptionObject)
public:
  int ButtonsSize() const { return FButtonsSize; }
  void SetButtonsSize(int V) { FButtonsSize = V; }
  int ScrollSize() const { return FScrollSize; }
  void SetScrollSize(int V) { FScrollSize = V; }
  static void PublishProperties(TPublisher& P);

private:
  int FButtonsSize = -1, FScrollSize = -1;
};

class TacMenuSupport : public TacOptionObject {
  CB_CLASS(TacMenuSupport, TacOptionObject)
public:
  int AlphaBlend() const { return FAlphaBlend; }
  void SetAlphaBlend(int V) { FAlphaBlend = V < 0 ? 0 : V > 255 ? 255 : V; }
  bool CustomFont() const { return FCustomFont; }
  void SetCustomFont(bool V) { FCustomFont = V; }
  bool UseExtraLine() const { return FUseExtraLine; }
  void SetUseExtraLine(bool V) { FUseExtraLine = V; }
  int ExtraLineWidth() const { return FExtraLineWidth; }
  void SetExtraLineWidth(int V) { FExtraLineWidth = V; }
  std::wstring IcoLineSkin() const { return FIcoLineSkin; }
  void SetIcoLineSkin(const std::wstring& V) { FIcoLineSkin = V; }
  static void PublishProperties(TPublisher& P);

private:
  int FAlphaBlend = 255;
  bool FCustomFont = false, FUseExtraLine = false;
  int FExtraLineWidth = 32;
  std::wstring FIcoLineSkin;
};

enum TacArrowsStyle { arsSolid1, arsLines1, arsSolid2, arsLines2, arsDefault };
enum TacOptimizingPriority { opSpeed, opMemory };
enum TacScaleMode { sm100, sm125, sm150, sm200, smAuto, smOldMode, smVCL, smCustomPPI };
enum TacGroupBoxStyle { gsStandard, gsCard };
// The seven flags of TacOptions by index.
enum TacOptionFlag {
  ofCheckEmptyAlpha, ofNoMouseHover, ofNativeBordersMaximized, ofStdGlyphsOrder, ofChangeSysColors,
  ofStdImgTransparency, ofDrawNonClientArea, ofFlagCount
};

class TacOptions : public TacOptionObject {
  CB_CLASS(TacOptions, TacOptionObject)
public:
  bool Flag(TacOptionFlag F) const { return FFlags[F]; }
  // FlagChanged tells the manager (index, new value) after a change.
  void SetFlag(TacOptionFlag F, bool V);
  std::function<void(TacOptionFlag, bool)> OnFlagChanged;
  std::function<void(TacScaleMode)> OnScaleModeChanging;  // before the mode is stored
  std::function<void(int)> OnPixelsPerInchChanging;

  bool CheckEmptyAlpha() const { return Flag(ofCheckEmptyAlpha); }
  void SetCheckEmptyAlpha(bool V) { SetFlag(ofCheckEmptyAlpha, V); }
  bool NoMouseHover() const { return Flag(ofNoMouseHover); }
  void SetNoMouseHover(bool V) { SetFlag(ofNoMouseHover, V); }
  bool NativeBordersMaximized() const { return Flag(ofNativeBordersMaximized); }
  void SetNativeBordersMaximized(bool V) { SetFlag(ofNativeBordersMaximized, V); }
  bool StdGlyphsOrder() const { return Flag(ofStdGlyphsOrder); }
  void SetStdGlyphsOrder(bool V) { SetFlag(ofStdGlyphsOrder, V); }
  bool ChangeSysColors() const { return Flag(ofChangeSysColors); }
  void SetChangeSysColors(bool V) { SetFlag(ofChangeSysColors, V); }
  bool StdImgTransparency() const { return Flag(ofStdImgTransparency); }
  void SetStdImgTransparency(bool V) { SetFlag(ofStdImgTransparency, V); }
  bool DrawNonClientArea() const { return Flag(ofDrawNonClientArea); }
  void SetDrawNonClientArea(bool V) { SetFlag(ofDrawNonClientArea, V); }
  TacArrowsStyle ArrowsStyle() const { return FArrowsStyle; }
  void SetArrowsStyle(TacArrowsStyle V) { FArrowsStyle = V; }
  TacOptimizingPriority OptimizingPriority() const { return FOptimizingPriority; }
  void SetOptimizingPriority(TacOptimizingPriority V) { FOptimizingPriority = V; }
  TacScaleMode ScaleMode() const { return FScaleMode; }
  void SetScaleMode(TacScaleMode V);
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int V);
  // Stores without telling the manager (its own bookkeeping).
  void StoreScaleMode(TacScaleMode V) { FScaleMode = V; }
  void StorePixelsPerInch(int V) { FPixelsPerInch = V; }
  TacGroupBoxStyle GroupBoxStyle() const { return FGroupBoxStyle; }
  void SetGroupBoxStyle(TacGroupBoxStyle V) { FGroupBoxStyle = V; }
  static void PublishProperties(TPublisher& P);

private:
  std::array<bool, ofFlagCount> FFlags{false, false, false, false, false, false, true};
  TacArrowsStyle FArrowsStyle = arsDefault;
  TacOptimizingPriority FOptimizingPriority = opSpeed;
  TacScaleMode FScaleMode = smVCL;
  int FPixelsPerInch = 96;
  TacGroupBoxStyle FGroupBoxStyle = gsStandard;
};

enum TacFontMode { fmDefault, fmFromSkin, fmCustom };

class TacFonts : public TacOptionObject {
  CB_CLASS(TacFonts, TacOptionObject)
public:
  TacFontMode MainMode() const { return FMainMode; }
  void SetMainMode(TacFontMode V) {
    if (V == FMainMode) return;
    FMainMode = V;
    Changed();
  }
  std::wstring MainFont() const { return FMainFont; }
  void SetMainFont(const std::wstring& V) {
    if (V == FMainFont) return;
    FMainFont = V;
    if (FMainMode == fmCustom) Changed();
  }
  static void PublishProperties(TPublisher& P);

private:
  TacFontMode FMainMode = fmDefault;
  std::wstring FMainFont;
};

// Lists of foreign control classes to skin, one class name per line.
constexpr int ThirdListCount = 23;
enum TacThirdList {
  tlEdits, tlButtons, tlBitBtns, tlCheckBoxes, tlComboBoxes, tlGrids, tlGroupBoxes, tlListViews, tlPanels,
  tlTreeViews, tlWWEdits, tlGridEh, tlVirtualTrees, tlPageControl, tlTabControl, tlToolBar, tlStatusBar,
  tlSpeedButton, tlScrollControl, tlUpDown, tlScrollBar, tlStaticText, tlNativePaint
};

class TsThirdPartyList : public TacOptionObject {
  CB_CLASS(TsThirdPartyList, TacOptionObject)
public:
  TsThirdPartyList();
  const std::wstring& List(int Index) const { return FLists[static_cast<size_t>(Index)]; }
  void SetList(int Index, const std::wstring& Value) {
    FLists[static_cast<size_t>(Index)] = Value;
    Changed();
  }
  // The publisher takes one getter and setter per list.
  template <int I>
  std::wstring ListAt() const {
    return FLists[I];
  }
  template <int I>
  void SetListAt(const std::wstring& V) {
    SetList(I, V);
  }
  static const std::wstring& DefaultList(int Index);
  // Empty lists take their defaults.
  void FillEmpty();
  static void PublishProperties(TPublisher& P);

private:
  std::array<std::wstring, ThirdListCount> FLists;
};

}  // namespace cb
