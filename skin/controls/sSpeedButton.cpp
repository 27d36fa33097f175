#include "sSpeedButton.h"

#include <algorithm>

#include "acCtrlUtils.h"
#include "sSkinManager.h"
#include "skin/paint/PixelOps.h"
#include "skin/binding/sSkinText.h"
#include "ui/Forms.h"

namespace cb {

namespace {

// One press at a time holds the hints; whoever holds them gives them back.
TsSpeedButton* gHintHolder = nullptr;
bool gSavedShowHint = true;

bool PointerInside(const TControl* C) {
  POINT P;
  if (!C->Parent() || !C->Parent()->HandleAllocated() || !GetCursorPos(&P)) return false;
  const TPoint L = C->ScreenToClient(TPoint(P.x, P.y));
  return L.X >= 0 && L.Y >= 0 && L.X < C->Width() && L.Y < C->Height();
}

}  // namespace

TsSpeedButton::TsSpeedButton(TComponent* AOwner) : TSpeedButton(AOwner) {
  FCommonData = std::make_unique<TsCommonData>(this, COC_TsSpeedButton);
  FCommonData->DefaultSection = L"SPEEDBUTTON";
  FCommonData->ShownPicture = [this] { return ShownPicture(); };
  FCommonData->PicturesStale = [this] { DropLooks(); };
  SetMargin(-1);
  FOldFlat = Flat();
  FOldLayout = Layout();
  FOldMargin = Margin();
}

TsSpeedButton::~TsSpeedButton() {
  ReleaseHints();
  if (TsSkinManager* M = FCommonData->SkinManager(); M && M->ActiveGraphControl() == this) M->SetActiveGraphControl(nullptr);
  FCommonData.reset();
}

TsSpeedButton* TsSpeedButton::HintHolder() { return gHintHolder; }

void TsSpeedButton::HoldHints() {
  if (gHintHolder || !Application) return;
  gHintHolder = this;
  gSavedShowHint = Application->ShowHint();
  Application->SetShowHint(false);
}

void TsSpeedButton::ReleaseHints() {
  if (gHintHolder != this) return;
  gHintHolder = nullptr;
  if (Application) Application->SetShowHint(gSavedShowHint);
}

void TsSpeedButton::Loaded() {
  TSpeedButton::Loaded();
  FCommonData->Loaded();
  UpdateOpaque();
}

void TsSpeedButton::UpdateOpaque() {
  if (FCommonData->Skinned())
    FControlStyle |= csOpaque;
  else
    FControlStyle &= ~csOpaque;
}

int TsSpeedButton::Scaled(int Value) const { return MulDiv(Value, CurrentPPI(), DesignPPI); }

int TsSpeedButton::CurrentState() const {
  if (FState == bsDown || FState == bsExclusive) return 2;
  return FCommonData->ControlState() == 1 ? 1 : 0;
}

void TsSpeedButton::Invalidate() {
  if (Layout() != FOldLayout || Margin() != FOldMargin || Flat() != FOldFlat) {
    FOldLayout = Layout();
    FOldMargin = Margin();
    FOldFlat = Flat();
    FCommonData->UpdateIndexes(true);
  }
  // While held, the fades show the pressed look; a repaint would cut them short.
  if (CurrentState() == 2 && FCommonData->Skinned()) return;
  TSpeedButton::Invalidate();
}

void TsSpeedButton::DropLooks() {
  for (TLook& L : FLooks) L = TLook();
}

// A property the looks are painted from changed.
void TsSpeedButton::LooksChanged() {
  DropLooks();
  FCommonData->Invalidate();
}

// What the looks are painted from beyond the state: the parent's pixels under
// the button (or its plain colour), the size, caption, font, enabled state,
// skin section and colour effects. Kept whole and compared exactly, so a look
// is never reused over a background that merely resembles its own. Events that
// change what this cannot see drop the looks.
TsSpeedButton::TLookInputs TsSpeedButton::LookInputs(const TCacheInfo& CI) const {
  TLookInputs In;
  In.Scalars = {Width(), Height(), CI.X, CI.Y, CI.Ready ? 1 : 0, static_cast<std::int64_t>(CI.FillColor),
                CI.FillRect.Left, CI.FillRect.Top, CI.FillRect.Right, CI.FillRect.Bottom,
                static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(Font()->Handle())),
                static_cast<std::int64_t>(Font()->Color()), Enabled() ? 1 : 0,
                static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(FCommonData->SkinData())),
                FCommonData->FColorTone, FCommonData->FHUEOffset, FCommonData->FSaturation,
                FCommonData->SkinIndex(), CurrentPPI()};
  In.Scalars.push_back(Margin());
  In.Scalars.insert(In.Scalars.end(),
                    {FDisabledKind, DisabledSettings().Blend, DisabledSettings().Saturation, FMutedCaption ? 1 : 0});
  In.Caption = Caption();
  if (const Bitmap32* B = CI.Bmp) {
    const int X0 = std::max(0, CI.X), Y0 = std::max(0, CI.Y);
    const int X1 = std::min(B->Width(), CI.X + Width()), Y1 = std::min(B->Height(), CI.Y + Height());
    if (X1 > X0 && Y1 > Y0) {
      In.Parent.reserve(static_cast<size_t>(X1 - X0) * static_cast<size_t>(Y1 - Y0));
      for (int Y = Y0; Y < Y1; ++Y) In.Parent.insert(In.Parent.end(), B->Line(Y) + X0, B->Line(Y) + X1);
    }
  }
  return In;
}

void TsSpeedButton::SetWordWrap(bool Value) {
  if (ChangeValue(FWordWrap, Value)) LooksChanged();
}

void TsSpeedButton::SetUseEllipsis(bool Value) {
  if (ChangeValue(FUseEllipsis, Value)) LooksChanged();
}

void TsSpeedButton::SetShowCaption(bool Value) {
  if (ChangeValue(FShowCaption, Value)) LooksChanged();
}

void TsSpeedButton::SetTextOffset(int Value) {
  if (ChangeValue(FTextOffset, Value)) LooksChanged();
}

void TsSpeedButton::SetAlignment(TAlignment Value) {
  if (ChangeValue(FAlignment, Value)) LooksChanged();
}

void TsSpeedButton::SetTextAlignment(TAlignment Value) {
  if (ChangeValue(FTextAlignment, Value)) LooksChanged();
}

void TsSpeedButton::SetMutedCaption(bool Value) {
  if (ChangeValue(FMutedCaption, Value)) LooksChanged();
}

void TsSpeedButton::SetDisabledKind(unsigned Value) {
  if (ChangeValue(FDisabledKind, Value)) LooksChanged();
}

UINT TsSpeedButton::MeasureFlags() const {
  UINT F = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : DT_SINGLELINE);
  if (FUseEllipsis) F |= DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS;
  return F;
}

bool TsSpeedButton::ContentShifted() const {
  if (CurrentState() != 2) return false;
  TsSkinManager* M = FCommonData->SkinManager();
  TacSkinData* D = FCommonData->CommonSkinData();
  const int I = FCommonData->SkinIndex();
  if (!D || I < 0 || I >= static_cast<int>(D->gd.size())) return false;
  const TsGeneralData& G = D->gd[static_cast<size_t>(I)];
  if (!((M && M->ButtonsOptions()->ShiftContentOnClick()) || G.ShiftOnClick)) return false;
  const bool HasBorder = G.BorderIndex >= 0 && G.BorderIndex < static_cast<int>(D->ma.size());
  return HasBorder || (Parent() && Parent()->CaptureControl() == this);
}

bool TsSpeedButton::PrepareCache() {
  TsCommonData& SD = *FCommonData;
  if (!Parent() || Width() <= 0 || Height() <= 0) return false;
  TCacheInfo CI;
  const std::uint8_t Kind = ParentBG(this, CI);
  if (Kind == btNotReady) {
    SD.FUpdating = true;
    return false;
  }
  FStdParent = Kind == btUnknown;

  SD.PrepareCacheBmp();
  TDibBitmap& Cache = *SD.CacheBmp();
  if (Cache.Empty()) return false;
  const int State = CurrentState();
  const bool Shifted = ContentShifted();
  // The pressed look also depends on the capture (the shift); it is not kept.
  TLookInputs In = LookInputs(CI);
  if (!(In == FLooksInputs)) {
    DropLooks();
    FLooksInputs = std::move(In);
  }
  TLook& Look = FLooks[State];
  if (Look.Valid && !Shifted && Look.Pixels.Width() == Width() && Look.Pixels.Height() == Height()) {
    GdiFlush();
    CopyPiece(Cache.Bmp(), BmpPoint(0, 0), Look.Pixels, Look.Pixels.Bounds());
    FCaptionRect = Look.CaptionRect;
    SD.BGChanged = false;
    return true;
  }
  ++FLooksPainted;
  HDC DC = Cache.Canvas();
  PaintSection(SD, CI, true, State, Cache.Bmp(), BmpPoint(0, 0), Cache.Bmp().Bounds());
  GdiFlush();

  // Caption layout (no glyph on this system's buttons).
  const int ActTextOffset = Scaled(FTextOffset);
  const int ActMargin = Margin() < 0 ? 0 : Scaled(Margin() + 3);
  const std::wstring Text = Caption();
  HGDIOBJ OldFont = SelectObject(DC, Font()->Handle());
  SIZE Ext{0, 0};
  if (FShowCaption && !Text.empty()) {
    RECT M{0, 0, std::max(0, Width() - 2 * std::max(0, ActMargin)), 0};
    DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &M, MeasureFlags() | DT_CALCRECT);
    Ext = SIZE{M.right - M.left, M.bottom - M.top};
  }
  const int W = Width(), H = Height();
  RECT T;
  T.top = (H - Ext.cy) / 2;
  T.bottom = T.top + Ext.cy;
  const int A = (W - (Ext.cx + 2 * ActMargin)) / 2;
  if (FAlignment == taRightJustify) {
    T.right = W - ActMargin;
    T.left = T.right - Ext.cx;
  } else if (FAlignment == taLeftJustify) {
    // Without a glyph both text alignments start the caption at the margin.
    T.left = ActMargin;
    T.right = T.left + Ext.cx;
  } else {
    T.left = A + ActMargin;
    T.right = T.left + Ext.cx;
  }
  OffsetRect(&T, ActTextOffset, 0);
  if (Shifted) OffsetRect(&T, 1, 1);
  FCaptionRect = T;
  if (FShowCaption && !Text.empty()) {
    UINT F = (MeasureFlags() & ~(FWordWrap ? DT_SINGLELINE : 0)) | DT_NOCLIP | DT_VCENTER;
    F |= FTextAlignment == taRightJustify ? DT_RIGHT : FTextAlignment == taCenter ? DT_CENTER : DT_LEFT;
    if (SD.Skinned())
      DrawSkinnedText(DC, Text, Enabled() && !FMutedCaption, true, SD.SkinManager(), State, SD, F, T);
    else
      DrawPlainText(DC, Text, Enabled(), F, T,
                    FMutedCaption && Enabled() ? GetSysColor(COLOR_GRAYTEXT) : ColorToRGB(Font()->Color()));
  }
  SelectObject(DC, OldFont);
  GdiFlush();
  if (!Enabled()) DimDisabled(this, Cache.Bmp(), FDisabledKind, CI);
  if (!Shifted) {
    Look.Pixels = Cache.Bmp().Clone();
    Look.CaptionRect = T;
    Look.Valid = true;
  }
  SD.BGChanged = false;
  return true;
}

void TsSpeedButton::Paint() {
  if (!Visible() || !Parent()) return;
  if (!FCommonData->Skinned()) {
    TSpeedButton::Paint();
    return;
  }
  if (TDibBitmap* P = ShownPicture()) P->CopyTo(Canvas()->Handle(), 0, 0);
}

TDibBitmap* TsSpeedButton::ShownPicture() {
  TsCommonData& SD = *FCommonData;
  if (!Visible() || !Parent() || !SD.Skinned() || Width() <= 0 || Height() <= 0) return nullptr;
  if (TacFadeTimer* T = SD.AnimTimer(); T && T->State != -1)
    return T->BmpOut && T->BmpOut->Width() == Width() && T->BmpOut->Height() == Height() ? T->BmpOut.get() : nullptr;
  if (CurrentState() > 0 || Down() != FStoredDown || FPartlyVisible) SD.BGChanged = true;
  FStoredDown = Down();
  const TRect PC = Parent()->ClientRect();
  FPartlyVisible = Left() < 0 || Top() < 0 || Left() + Width() > PC.Width() || Top() + Height() > PC.Height();
  if ((SD.BGChanged || FStdParent || !SD.CacheBmp() || SD.CacheBmp()->Empty()) && !PrepareCache()) return nullptr;
  return SD.CacheBmp();
}

void TsSpeedButton::RepaintNow() {
  TsCommonData& SD = *FCommonData;
  TWinControl* P = Parent();
  if (!P || !Visible() || !P->HandleAllocated() || !IsWindowVisible(P->WindowHandle())) return;
  if (ComponentState() & (csLoading | csDestroying) || (P->ComponentState() & (csLoading | csDestroying))) return;
  if (SD.FUpdating) return;
  HDC DC = GetDC(P->WindowHandle());
  if (!DC) return;
  IntersectClipRect(DC, Left(), Top(), Left() + Width(), Top() + Height());
  TacFadeTimer* T = SD.AnimTimer();
  if (T && T->State != -1 && T->BmpOut && T->BmpOut->Width() == Width() && T->BmpOut->Height() == Height()) {
    T->BmpOut->CopyTo(DC, Left(), Top());
  } else if (!SD.Skinned()) {
    ReleaseDC(P->WindowHandle(), DC);
    TSpeedButton::Invalidate();
    return;
  } else {
    if (CurrentState() > 0) SD.BGChanged = true;
    if ((!SD.BGChanged && !FStdParent && SD.CacheBmp() && !SD.CacheBmp()->Empty()) || PrepareCache())
      SD.CacheBmp()->CopyTo(DC, Left(), Top());
  }
  ReleaseDC(P->WindowHandle(), DC);
}

void TsSpeedButton::ChangeState(int NewState, TacAnimEvent Event, bool WithGlow) {
  TsCommonData& SD = *FCommonData;
  if (!SD.Skinned()) {
    TSpeedButton::Invalidate();
    return;
  }
  AnimateStateChange(SD, NewState, nullptr, WithGlow, false, IsAnimationEnabled(Event, FAnimatEvents, SD.SkinManager()));
}

void TsSpeedButton::SkinnedMouseEnter() {
  if (!Enabled() || !FCommonData->Skinned()) return;
  TsSkinManager* M = FCommonData->SkinManager();
  if (M && M->Options()->NoMouseHover()) return;
  if (M) M->SetActiveGraphControl(this);
  ChangeState(CurrentState(), aeEnter, true);
}

void TsSpeedButton::SkinnedMouseLeave() {
  TsCommonData& SD = *FCommonData;
  SD.FMouseAbove = false;
  if (TsSkinManager* M = SD.SkinManager(); M && M->ActiveGraphControl() == this) M->SetActiveGraphControl(nullptr);
  ReleaseHints();
  if (FState == bsDown) FState = bsUp;
  if (SD.Skinned()) ChangeState(CurrentState(), aeLeave, false);
}

void TsSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TSpeedButton::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  HoldHints();
  if (FCommonData->Skinned()) ChangeState(2, aeDown, false);
}

void TsSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  TsCommonData& SD = *FCommonData;
  TSpeedButton::MouseMove(Shift, X, Y);
  if (!SD.Skinned()) return;
  if (FDragging) {
    // Held and dragged out: the normal look until the pointer comes back.
    const bool Inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
    if (Inside != SD.FMouseAbove) {
      SD.FMouseAbove = Inside;
      if (TsSkinManager* M = SD.SkinManager(); M && Inside) M->SetActiveGraphControl(this);
      ChangeState(CurrentState(), Inside ? aeDown : aeLeave, false);
    }
    return;
  }
  TsSkinManager* M = SD.SkinManager();
  if (SD.FMouseAbove && M && M->ActiveGraphControl() != this) {
    SD.FMouseAbove = false;
    Perform(CM_MOUSEENTER);
  }
}

void TsSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft && FDragging) {
    ReleaseHints();
    const bool Inside = X >= 0 && Y >= 0 && X < Width() && Y < Height();
    if (GroupIndex() == 0) FState = bsUp;
    FCommonData->FMouseAbove = Inside;
    // The look goes up before the click handler runs (it may open a menu).
    if (FCommonData->Skinned()) ChangeState(CurrentState(), aeUp, true);
  }
  TSpeedButton::MouseUp(Button, Shift, X, Y);
}

bool TsSpeedButton::SkinCommand(TMessage& M) {
  TsCommonData& SD = *FCommonData;
  TsSkinManager* Own = SD.SkinManager();
  const bool FromOwn = reinterpret_cast<TsSkinManager*>(M.LParam) == Own;
  switch (CommandOf(M.WParam)) {
    case SKC_SKINLOADED:
      if (FromOwn) {
        UpdateOpaque();
        if (Visible()) TSpeedButton::Invalidate();
      }
      return true;
    case SKC_SKINREMOVED:
      if (FromOwn && !(ComponentState() & csDestroying)) {
        FControlStyle &= ~csOpaque;
        if (Visible()) TSpeedButton::Invalidate();
      }
      return true;
    case SKC_REFRESH:
      if (FromOwn && Visible()) TSpeedButton::Invalidate();
      return true;
    case SKC_GETDEFINDEX:
      M.Result = Own ? Own->GetSkinIndex(Flat() ? "TOOLBUTTON" : "SPEEDBUTTON") + 1 : 0;
      return true;
    case SKC_INVALIDATE:
      SD.FUpdating = false;
      RepaintNow();
      return true;
    case SKC_PREPARECACHE: M.Result = PrepareCache() ? 0 : 1; return true;
    case SKC_SETACTIVE:
      // A held button follows its own press: dragging out and back is handled there.
      if (Parent() && Parent()->CaptureControl() == this) return true;
      SkinnedMouseLeave();
      FMouseInControl = false;
      if (Parent()) Parent()->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(this));
      return true;
    case SKC_GETDEFSECTION: M.Result = 15; return true;
    default: return false;
  }
}

void TsSpeedButton::WndProc(TMessage& M) {
  TsCommonData& SD = *FCommonData;
  switch (M.Msg) {
    case SKM_COMMAND:
      if (SkinCommand(M)) return;
      break;
    case CM_MOUSEENTER:
      TSpeedButton::WndProc(M);
      if (IsOwnMouseNotice(this, M)) SkinnedMouseEnter();
      return;
    case CM_MOUSELEAVE:
      TSpeedButton::WndProc(M);
      if (IsOwnMouseNotice(this, M)) SkinnedMouseLeave();
      return;
    case WM_CANCELMODE: {
      // The capture went elsewhere: no press survives it.
      TSpeedButton::WndProc(M);
      ReleaseHints();
      SD.FMouseAbove = SD.FMouseAbove && PointerInside(this);
      if (SD.Skinned()) ChangeState(CurrentState(), aeUp, false);
      return;
    }
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
    case CM_PARENTCOLORCHANGED:
      SD.BGChanged = true;
      DropLooks();
      break;
    case CM_TEXTCHANGED:
      SD.BGChanged = true;
      DropLooks();
      if (FShowCaption && SD.Skinned()) RepaintNow();
      break;
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_BUTTONPRESSED:
      SD.BGChanged = true;
      DropLooks();
      break;
    case CM_VISIBLECHANGED: SD.FMouseAbove = false; break;
    default: break;
  }
  TSpeedButton::WndProc(M);
}

void TsSpeedButton::PublishProperties(TPublisher& P) {
  P.Enum(L"Alignment", &TsSpeedButton::Alignment, &TsSpeedButton::SetAlignment,
         {L"taLeftJustify", L"taRightJustify", L"taCenter"}, taCenter);
  P.Enum(L"TextAlignment", &TsSpeedButton::TextAlignment, &TsSpeedButton::SetTextAlignment,
         {L"taLeftJustify", L"taRightJustify", L"taCenter"}, taCenter);
  P.Int(L"TextOffset", &TsSpeedButton::TextOffset, &TsSpeedButton::SetTextOffset, 0);
  P.Bool(L"ShowCaption", &TsSpeedButton::ShowCaption, &TsSpeedButton::SetShowCaption, true);
  P.Bool(L"WordWrap", &TsSpeedButton::WordWrap, &TsSpeedButton::SetWordWrap, true);
  P.Bool(L"UseEllipsis", &TsSpeedButton::UseEllipsis, &TsSpeedButton::SetUseEllipsis, true);
  P.Set(L"DisabledKind", &TsSpeedButton::DisabledKind, &TsSpeedButton::SetDisabledKind, {L"dkBlended", L"dkGrayed"},
        dkBlended);
}

}  // namespace cb
