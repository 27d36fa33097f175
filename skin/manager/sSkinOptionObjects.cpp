#include "sSkinOptionObjects.h"

#include <utility>

namespace cb {

void TacSkinEffects::PublishProperties(TPublisher& P) {
  using C = TacSkinEffects;
  P.Bool(L"AllowAnimation", &C::AllowAnimation, &C::SetAllowAnimation, true);
  P.Bool(L"AllowAeroBluring", &C::AllowAeroBluring, &C::SetAllowAeroBluring, true);
  P.Bool(L"AllowGlowing", &C::AllowGlowing, &C::SetAllowGlowing, true);
  P.Bool(L"AllowOuterEffects", &C::AllowOuterEffects, &C::SetAllowOuterEffects, true);
  P.Bool(L"DiscoloredGlyphs", &C::DiscoloredGlyphs, &C::SetDiscoloredGlyphs, false);
}

void TacAnimSetting::PublishProperties(TPublisher& P) {
  using C = TacAnimSetting;
  // The defaults differ between the settings of one class: each instance knows its own.
  P.Bool(L"Active", &C::Active, &C::SetActive, true).Stored = [](const TPersistent* O) {
    auto* S = static_cast<const C*>(O);
    return S->Active() != S->DefaultActive();
  };
  P.Int(L"Time", &C::Time, &C::SetTime, 0).Stored = [](const TPersistent* O) {
    auto* S = static_cast<const C*>(O);
    return S->Time() != S->DefaultTime();
  };
}

void TacModeAnimSetting::PublishProperties(TPublisher& P) {
  using C = TacModeAnimSetting;
  P.Enum(L"Mode", &C::Mode, &C::SetMode, {L"atFading", L"atAero", L"atDropDown"}, atAero).Stored =
      [](const TPersistent* O) {
        auto* S = static_cast<const C*>(O);
        return S->Mode() != S->DefaultMode();
      };
}

void TacBlendOnMoving::PublishProperties(TPublisher& P) {
  P.Int(L"BlendValue", &TacBlendOnMoving::BlendValue, &TacBlendOnMoving::SetBlendValue, 170);
}

void TacBtnEffects::PublishProperties(TPublisher& P) {
  P.Set(L"Events", &TacBtnEffects::Events, &TacBtnEffects::SetEvents,
        {L"beMouseEnter", L"beMouseLeave", L"beMouseDown", L"beMouseUp"},
        beMouseEnter | beMouseLeave | beMouseDown | beMouseUp);
}

void TacAnimEffects::PublishProperties(TPublisher& P) {
  using C = TacAnimEffects;
  P.Object(L"BlendOnMoving", &C::BlendOnMoving);
  P.Object(L"Buttons", &C::Buttons);
  P.Object(L"DialogShow", &C::DialogShow);
  P.Object(L"FormShow", &C::FormShow);
  P.Object(L"FormHide", &C::FormHide);
  P.Object(L"DialogHide", &C::DialogHide);
  P.Object(L"Minimizing", &C::Minimizing);
  P.Object(L"PageChange", &C::PageChange);
  P.Object(L"SkinChanging", &C::SkinChanging);
}

void TacButtonsSupport::PublishProperties(TPublisher& P) {
  using C = TacButtonsSupport;
  P.Bool(L"OldGlyphsMode", &C::OldGlyphsMode, &C::SetOldGlyphsMode, false);
  P.Bool(L"ShowFocusRect", &C::ShowFocusRect, &C::SetShowFocusRect, false);
  P.Bool(L"ShiftContentOnClick", &C::ShiftContentOnClick, &C::SetShiftContentOnClick, true);
  P.Bool(L"AllowRTLSysButtons", &C::AllowRTLSysButtons, &C::SetAllowRTLSysButtons, true);
  P.Set(L"ModalButtonsColoring", &C::ModalButtonsColoring, &C::SetModalButtonsColoring,
        {L"bcBackground", L"bcGlyph", L"bcText"}, bcText);
}

void TacLabelsSupport::PublishProperties(TPublisher& P) {
  P.Bool(L"TransparentAlways", &TacLabelsSupport::TransparentAlways, &TacLabelsSupport::SetTransparentAlways, true);
}

void TacScrollBarsSupport::PublishProperties(TPublisher& P) {
  using C = TacScrollBarsSupport;
  P.Int(L"ButtonsSize", &C::ButtonsSize, &C::SetButtonsSize, -1);
  P.Int(L"ScrollSize", &C::ScrollSize, &C::SetScrollSize, -1);
}

void TacMenuSupport::PublishProperties(TPublisher& P) {
  using C = TacMenuSupport;
  P.Int(L"AlphaBlend", &C::AlphaBlend, &C::SetAlphaBlend, 255);
  P.Bool(L"CustomFont", &C::CustomFont, &C::SetCustomFont, false);
  P.Bool(L"UseExtraLine", &C::UseExtraLine, &C::SetUseExtraLine, false);
  P.Int(L"ExtraLineWidth", &C::ExtraLineWidth, &C::SetExtraLineWidth, 32);
  P.Str(L"IcoLineSkin", &C::IcoLineSkin, &C::SetIcoLineSkin);
}

void TacOptions::SetFlag(TacOptionFlag F, bool V) {
  if (FFlags[F] == V) return;
  FFlags[F] = V;
  if (OnFlagChanged) OnFlagChanged(F, V);
}

void TacOptions::SetScaleMode(TacScaleMode V) {
  if (V == FScaleMode) return;
  if (OnScaleModeChanging)
    OnScaleModeChanging(V);  // the manager stores it, with what follows from it
  else
    FScaleMode = V;
}

void TacOptions::SetPixelsPerInch(int V) {
  V = V < 48 ? 48 : V > 384 ? 384 : V;
  if (V == FPixelsPerInch) return;
  if (OnPixelsPerInchChanging)
    OnPixelsPerInchChanging(V);
  else
    FPixelsPerInch = V;
}

void TacOptions::PublishProperties(TPublisher& P) {
  using C = TacOptions;
  P.Bool(L"ChangeSysColors", &C::ChangeSysColors, &C::SetChangeSysColors, false);
  P.Bool(L"CheckEmptyAlpha", &C::CheckEmptyAlpha, &C::SetCheckEmptyAlpha, false);
  P.Bool(L"DrawNonClientArea", &C::DrawNonClientArea, &C::SetDrawNonClientArea, true);
  P.Bool(L"NativeBordersMaximized", &C::NativeBordersMaximized, &C::SetNativeBordersMaximized, false);
  P.Bool(L"NoMouseHover", &C::NoMouseHover, &C::SetNoMouseHover, false);
  P.Bool(L"StdGlyphsOrder", &C::StdGlyphsOrder, &C::SetStdGlyphsOrder, false);
  P.Bool(L"StdImgTransparency", &C::StdImgTransparency, &C::SetStdImgTransparency, false);
  P.Enum(L"ArrowsStyle", &C::ArrowsStyle, &C::SetArrowsStyle,
         {L"arsSolid1", L"arsLines1", L"arsSolid2", L"arsLines2", L"arsDefault"}, arsDefault);
  P.Enum(L"OptimizingPriority", &C::OptimizingPriority, &C::SetOptimizingPriority, {L"opSpeed", L"opMemory"},
         opSpeed);
  P.Enum(L"ScaleMode", &C::ScaleMode, &C::SetScaleMode,
         {L"sm100", L"sm125", L"sm150", L"sm200", L"smAuto", L"smOldMode", L"smVCL", L"smCustomPPI"}, smVCL);
  P.Int(L"PixelsPerInch", &C::PixelsPerInch, &C::SetPixelsPerInch, 96);
  P.Enum(L"GroupBoxStyle", &C::GroupBoxStyle, &C::SetGroupBoxStyle, {L"gsStandard", L"gsCard"}, gsStandard);
}

void TacFonts::PublishProperties(TPublisher& P) {
  P.Enum(L"MainMode", &TacFonts::MainMode, &TacFonts::SetMainMode, {L"fmDefault", L"fmFromSkin", L"fmCustom"},
         fmDefault);
  P.Str(L"MainFont", &TacFonts::MainFont, &TacFonts::SetMainFont);
}

namespace {

const wchar_t* const ThirdListNames[ThirdListCount] = {
    L"ThirdEdits",       L"ThirdButtons",      L"ThirdBitBtns",      L"ThirdCheckBoxes", L"ThirdComboBoxes",
    L"ThirdGrids",       L"ThirdGroupBoxes",   L"ThirdListViews",    L"ThirdPanels",     L"ThirdTreeViews",
    L"ThirdWWEdits",     L"ThirdGridEh",       L"ThirdVirtualTrees", L"ThirdPageControl", L"ThirdTabControl",
    L"ThirdToolBar",     L"ThirdStatusBar",    L"ThirdSpeedButton",  L"ThirdScrollControl", L"ThirdUpDown",
    L"ThirdScrollBar",   L"ThirdStaticText",   L"ThirdNativePaint"};

template <int... I>
void PublishThird(TPublisher& P, std::integer_sequence<int, I...>) {
  (P.Str(ThirdListNames[I], &TsThirdPartyList::ListAt<I>, &TsThirdPartyList::SetListAt<I>,
         TsThirdPartyList::DefaultList(I).c_str()),
   ...);
}

}  // namespace

TsThirdPartyList::TsThirdPartyList() { FillEmpty(); }

const std::wstring& TsThirdPartyList::DefaultList(int Index) {
  static const std::wstring Space = L" ", Buttons = L"TButton";
  return Index == tlButtons ? Buttons : Space;
}

void TsThirdPartyList::FillEmpty() {
  for (int I = 0; I < ThirdListCount; ++I)
    if (FLists[static_cast<size_t>(I)].empty()) FLists[static_cast<size_t>(I)] = DefaultList(I);
}

void TsThirdPartyList::PublishProperties(TPublisher& P) {
  PublishThird(P, std::make_integer_sequence<int, ThirdListCount>{});
}

}  // namespace cb
