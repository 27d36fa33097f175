#include "sLabel.h"

#include "acCtrlUtils.h"
#include "sSkinManager.h"
#include "skin/binding/sCommonData.h"
#include "skin/binding/sSkinText.h"

namespace cb {

namespace {

// One guard for all labels: sizing one label may move another.
bool gAdjusting = false;

bool IsBlank(wchar_t C) { return C == L' ' || C == L'\t'; }

}  // namespace

TsCustomLabel::TsCustomLabel(TComponent* AOwner) : TLabel(AOwner) { SetTransparent(true); }

TsCustomLabel::~TsCustomLabel() = default;

TsSkinManager* TsCustomLabel::SkinManager() const { return FSkinManager ? FSkinManager : DefaultManager(); }

bool TsCustomLabel::SkinActive() const {
  TsSkinManager* M = SkinManager();
  return M && !(M->ComponentState() & csDestroying) && M->SkinCommonInfo.Active;
}

void TsCustomLabel::SetSkinSection(const std::wstring& Value) {
  if (Value == FSkinSection) return;
  FSkinSection = Value;
  FSkinIndex = -1;
  Invalidate();
}

void TsCustomLabel::SetEllipsisPosition(TEllipsisPosition Value) {
  if (ChangeValue(FEllipsisPosition, Value)) Invalidate();
}

int TsCustomLabel::SkinIndex() {
  if (!SkinActive() || FSkinSection.empty()) return -1;
  if (FSkinIndex < 0) {
    std::string Name;
    for (wchar_t C : FSkinSection) Name.push_back(static_cast<char>(C >= L'a' && C <= L'z' ? C - 32 : C));
    FSkinIndex = SkinManager()->GetSkinIndex(Name, SkinManager()->CommonSkinData(CurrentPPI()));
  }
  return FSkinIndex;
}

std::uint32_t TsCustomLabel::ParentBGColor() const {
  TWinControl* P = Parent();
  if (!P) return GetSysColor(COLOR_BTNFACE);
  const LRESULT C = SendSkinCommand(P, SKC_ISSKINNED) ? SendSkinCommand(P, SKC_GETBGCOLOR) : 0;
  return C ? static_cast<std::uint32_t>(C) & 0xFFFFFF : ColorToRGB(P->Color());
}

TColor TsCustomLabel::Disabled(TColor C) const {
  const std::uint32_t Text = ColorToRGB(C), BG = ParentBGColor();
  std::uint32_t Out = 0;
  for (int Shift = 0; Shift <= 16; Shift += 8)
    Out |= ((((Text >> Shift) & 0xFF) * 100 + ((BG >> Shift) & 0xFF) * 155) >> 8) << Shift;
  return static_cast<TColor>(Out);
}

TColor TsCustomLabel::DrawColor() {
  TColor C = SkinActive() ? static_cast<TColor>(SkinManager()->GetGlobalFontColor() & 0xFFFFFF) : Font()->Color();
  return Enabled() ? C : Disabled(C);
}

std::wstring TsCustomLabel::FittedText(HDC DC, const std::wstring& Text, int Width, int Height, UINT Flags) const {
  TEXTMETRICW TM{};
  GetTextMetricsW(DC, &TM);
  const UINT Measure = (Flags & ~(DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS | DT_SINGLELINE)) |
                       DT_CALCRECT | DT_WORDBREAK;
  auto Fits = [&](const std::wstring& S) {
    RECT R{0, 0, Width, 0};
    DrawTextW(DC, S.c_str(), static_cast<int>(S.size()), &R, Measure);
    return R.bottom <= Height || R.bottom <= TM.tmHeight;
  };
  if (Fits(Text)) return Text;
  // Every pass takes something away, so the loop ends with the text.
  std::wstring Base = Text;
  while (!Base.empty()) {
    const size_t Cut = Base.find_last_of(L" \t");
    if (Cut != std::wstring::npos) {
      Base.erase(Cut);
    } else {
      const bool Pair = Base.size() >= 2 && IS_LOW_SURROGATE(Base.back()) && IS_HIGH_SURROGATE(Base[Base.size() - 2]);
      Base.erase(Base.size() - (Pair ? 2 : 1));
    }
    while (!Base.empty() && IsBlank(Base.back())) Base.pop_back();
    if (Fits(Base + L"...")) break;
  }
  return Base + L"...";
}

void TsCustomLabel::DoDrawText(TRect& R, UINT Flags) {
  std::wstring Text = Caption();
  const bool Calc = (Flags & DT_CALCRECT) != 0;
  if (Calc && (Text.empty() || (ShowAccelChar() && Text == L"&"))) Text = L" ";
  if (!ShowAccelChar()) Flags |= DT_NOPREFIX;
  if (BiDiMode() != bdLeftToRight) Flags |= DT_RTLREADING;
  // The label's own font object, kept from paint to paint: the canvas's copy
  // was made anew for each colour, and each new font costs a look-up under Wine.
  HDC DC = Canvas()->Handle();
  HGDIOBJ OldFont = SelectObject(DC, Font()->Handle());
  if (FEllipsisPosition != epNone && !AutoSize()) {
    Flags &= ~(DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS);
    Flags |= FEllipsisPosition == epPathEllipsis ? DT_PATH_ELLIPSIS
             : FEllipsisPosition == epEndEllipsis ? DT_END_ELLIPSIS
                                                  : DT_WORD_ELLIPSIS;
    if (WordWrap() && !Calc && FEllipsisPosition != epPathEllipsis)
      Text = FittedText(DC, Text, R.Width(), ClientHeight(), Flags);
  }
  const COLORREF OldColor = Calc ? 0 : SetTextColor(DC, ColorToRGB(DrawColor()));
  const int OldMode = SetBkMode(DC, TRANSPARENT);
  RECT RR{R.Left, R.Top, R.Right, R.Bottom};
  DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &RR, Flags);
  if (Calc) R = TRect(RR.left, RR.top, RR.right, RR.bottom);
  SetBkMode(DC, OldMode);
  if (!Calc) SetTextColor(DC, OldColor);
  SelectObject(DC, OldFont);
}

void TsCustomLabel::Paint() {
  if (ComponentState() & csDestroying) return;
  const int Index = SkinIndex();
  if (Index >= 0 && Parent()) {
    TCacheInfo CI;
    if (ParentBG(this, CI) != btNotReady)
      PaintSectionToDC(Index, CI, SkinManager()->CommonSkinData(CurrentPPI()), Canvas()->Handle(), BmpPoint(0, 0),
                       BmpRect(0, 0, Width(), Height()), 0);
  }
  TLabel::Paint();
  // Resolved again at the next paint: a skin may have come or gone meanwhile.
  FSkinIndex = -1;
}

void TsCustomLabel::AdjustBounds() {
  if (!AutoSize() || (ComponentState() & (csLoading | csDestroying)) || gAdjusting) return;
  gAdjusting = true;
  struct TDone {
    ~TDone() { gAdjusting = false; }
  } Done;
  TCanvas* C = Canvas();
  HDC Previous = C->HandleAllocated() ? C->Handle() : nullptr;
  HDC DC = GetDC(nullptr);
  C->SetHandle(DC);
  TRect R(0, 0, WordWrap() ? Width() : 0, 0);
  DoDrawText(R, TextFlags() | DT_CALCRECT);
  C->SetHandle(Previous);
  ReleaseDC(nullptr, DC);
  const int W = WordWrap() ? Width() : R.Width(), H = R.Height();
  // A right-aligned label grows to the left: its right edge stays.
  const bool KeepRight = Alignment() == taRightJustify && BiDiMode() == bdLeftToRight;
  SetBounds(KeepRight ? Left() + Width() - W : Left(), Top(), W, H);
}

void TsCustomLabel::Loaded() {
  TLabel::Loaded();
  AdjustBounds();
}

void TsCustomLabel::WndProc(TMessage& M) {
  switch (M.Msg) {
    case CM_HITTEST:
      if (FTransparentForMouse) {
        M.Result = 0;
        return;
      }
      break;
    case SKM_COMMAND:
      switch (CommandOf(M.WParam)) {
        case SKC_SKINREMOVED:
          if (reinterpret_cast<TsSkinManager*>(M.LParam) == FSkinManager && FSkinManager &&
              (FSkinManager->ComponentState() & csDestroying))
            FSkinManager = nullptr;
          if (FSavedParentFont) SetParentFont(true);
          FSkinIndex = -1;
          Invalidate();
          return;
        case SKC_REFRESH:
          FSavedParentFont = ParentFont();
          FSkinIndex = -1;
          Invalidate();
          return;
        case SKC_GETFONTSECTION:
          if (SkinActive() && Parent()) M.Result = SendSkinCommand(Parent(), SKC_GETFONTSECTION, M.LParam);
          return;
        case SKC_ISOPAQUE: M.Result = SkinActive() ? 1 : (Transparent() ? 1 : 0); return;
        default: break;
      }
      break;
    default: break;
  }
  TLabel::WndProc(M);
}

void TsCustomLabel::PublishProperties(TPublisher& P) {
  P.Str(L"SkinSection", &TsCustomLabel::SkinSection, &TsCustomLabel::SetSkinSection);
  P.Bool(L"TransparentForMouse", &TsCustomLabel::TransparentForMouse, &TsCustomLabel::SetTransparentForMouse, false);
  P.Bool(L"Transparent", &TsCustomLabel::Transparent, &TsCustomLabel::SetTransparent, true);
  P.Enum(L"EllipsisPosition", &TsCustomLabel::EllipsisPosition, &TsCustomLabel::SetEllipsisPosition,
         {L"epNone", L"epPathEllipsis", L"epEndEllipsis", L"epWordEllipsis"}, epNone);
}

// ---------------------------------------------------------------------------

void TsLabel::SetUseSkinColor(bool Value) {
  if (Value == FUseSkinColor) return;
  FUseSkinColor = Value;
  if (!(ComponentState() & csLoading)) Invalidate();
}

TColor TsLabel::DrawColor() {
  TColor C = Font()->Color();
  if (FUseSkinColor && SkinActive()) {
    TsSkinManager* M = SkinManager();
    TacSkinData* D = M->CommonSkinData(CurrentPPI());
    auto Valid = [D](int I) { return D && I >= 0 && I < static_cast<int>(D->gd.size()); };
    int Index = SkinIndex();
    if (Valid(Index) && D->gd[static_cast<size_t>(Index)].Props[0].Transparency > 39) Index = -1;
    bool ParentFontColor = false;
    if (Index < 0 && Parent()) {
      // What lies under the label decides.
      TacFontSectionRequest Req;
      Req.R = RECT{Left(), Top(), Left() + Width(), Top() + Height()};
      const LRESULT Answer = SendSkinCommand(Parent(), SKC_GETFONTSECTION, reinterpret_cast<LPARAM>(&Req));
      if (Req.Index >= 0)
        Index = Req.Index;
      else if (Answer)
        ParentFontColor = true;
    }
    if (ParentFontColor)
      C = Parent()->Font()->Color();
    else if (Valid(Index))
      C = static_cast<TColor>(D->gd[static_cast<size_t>(Index)].Props[0].FontColor.Color & 0xFFFFFF);
    else
      C = static_cast<TColor>(M->GetGlobalFontColor() & 0xFFFFFF);
  }
  return Enabled() ? C : Disabled(C);
}

void TsLabel::PublishProperties(TPublisher& P) {
  P.Bool(L"UseSkinColor", &TsLabel::UseSkinColor, &TsLabel::SetUseSkinColor, true);
}

}  // namespace cb
