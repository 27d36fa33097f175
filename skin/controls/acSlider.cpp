#include "acSlider.h"
#include "base/Rounding.h"

#include <cmath>

#include "sSkinManager.h"
#include "skin/paint/PixelOps.h"

namespace cb {

namespace {

constexpr std::uintptr_t kThumbHook = 0xAC51, kTrackHook = 0xAC52;

// Marks a running toggle and clears the mark however the toggle ends.
struct TChangingScope {
  bool& Flag;
  explicit TChangingScope(bool& F) : Flag(F) { Flag = true; }
  ~TChangingScope() { Flag = false; }
};

// Dst := E + (B - E) * Alpha / 256 on every channel, alpha included.
void Mix(Bitmap32& Dst, const Bitmap32& E, const Bitmap32& B, int Alpha) {
  for (int Y = 0; Y < Dst.Height(); ++Y)
    for (int X = 0; X < Dst.Width(); ++X) {
      const std::uint32_t PE = E.Pixel(X, Y), PB = B.Pixel(X, Y);
      std::uint32_t Out = 0;
      for (int S = 0; S <= 24; S += 8) {
        const int CE = static_cast<int>((PE >> S) & 0xFF), CB = static_cast<int>((PB >> S) & 0xFF);
        Out |= static_cast<std::uint32_t>((CE * 256 + (CB - CE) * Alpha) >> 8) << S;
      }
      Dst.SetPixel(X, Y, Out);
    }
}

}  // namespace

TsSlider::TsSlider(TComponent* AOwner) : TsPanel(AOwner) {
  FCommonData->COC = COC_TsSlider;
  FCommonData->DefaultSection = L"SLIDER_ON";
  FDimsWhenDisabled = true;
  FControlStyle &= ~csSetCaption;  // the track shows no text of its own
  FControlStyle |= csClickEvents | csCaptureMouse;
  SetTabStop(false);
  SetBevelOuter(bvLowered);
  FWidth = 57;
  FHeight = 21;
  FButton = new TsButtonPanel(this);
  // The thumb holds the pointer while dragged.
  FButton->SetControlStyle((FButton->ControlStyle() & ~csSetCaption) | csCaptureMouse | csClickEvents);
  FButton->SetBevelOuter(bvNone);
  FButton->SetTop(1);
  FButton->SetParent(this);
  FButton->OnMouseDown = [this](TObject*, TMouseButton B, TShiftState, int X, int Y) { ThumbDown(B, X, Y); };
  FButton->OnMouseMove = [this](TObject*, TShiftState, int X, int Y) { ThumbMove(X, Y); };
  FButton->OnMouseUp = [this](TObject*, TMouseButton B, TShiftState, int, int) { ThumbUp(B); };
  FButton->AddWindowHook(kThumbHook, [this](TMessage& M, const TWindowHookNext& Next) {
    Next(M);
    // The capture went elsewhere: the drag is over, the thumb goes home.
    if (M.Msg == WM_CANCELMODE) ThumbCancel();
  });
  // The thumb paints over the track's own picture.
  AddWindowHook(kTrackHook, [this](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == SKM_COMMAND && CommandOf(M.WParam) == SKC_GETBG && M.LParam && FCommonData->Skinned()) {
      TDibBitmap* Cache = FCommonData->CacheBmp();
      const bool Stale = !Cache || Cache->Empty() || Cache->Width() != Width() || Cache->Height() != Height();
      if (!Changing && (Stale || FCommonData->BGChanged)) PrepareCache();
      Cache = FCommonData->CacheBmp();
      if (Cache && !Cache->Empty()) {
        auto& R = *reinterpret_cast<TacBGRequest*>(M.LParam);
        R.BGKind = btCache;
        R.Bmp = &Cache->Bmp();
        R.Offset = POINT{0, 0};
        return;
      }
    }
    Next(M);
  });
  UpdateThumb();
}

TsSlider::~TsSlider() {
  RemoveWindowHook(kTrackHook);
  if (FButton) FButton->RemoveWindowHook(kThumbHook);
}

void TsSlider::Loaded() {
  TsPanel::Loaded();
  UpdateThumb();
}

void TsSlider::ChangeScale(int M, int D) {
  TsPanel::ChangeScale(M, D);
  // The thumb was scaled with the other children; its place follows the track.
  UpdateThumb();
}

int TsSlider::Margin(int) const {
  if (!FCommonData->Skinned()) return 1;
  TacSkinData* D = FCommonData->CommonSkinData();
  return D ? D->SliderMargin : 1;
}

void TsSlider::UpdateThumbSection() {
  TsSkinManager* M = FCommonData->SkinManager();
  if (!M || !FButton) return;
  const char* Name = FSliderOn ? "THUMB_ON" : "THUMB_OFF";
  if (M->GetSkinIndex(Name, FCommonData->CommonSkinData()) < 0) Name = "PANEL";
  const std::wstring W(Name, Name + std::char_traits<char>::length(Name));
  if (FButton->SkinData()->SkinSection() != W) FButton->SkinData()->SetSkinSection(W);
}

void TsSlider::UpdateThumb() {
  if (!FButton) return;
  const int L = Margin(0), T = Margin(1), R = Margin(2), B = Margin(3);
  const int H = std::max(0, Height() - T - B);
  const int W = FKeepThumbAspectRatio ? H : Width() * FThumbSizeInPercent / 100;
  const int X = Capturing && Dragged ? FButton->Left() : ThumbAtStart() ? L : Width() - W - R;
  FButton->SetBounds(X, T, W, H);
  FButton->SkinData()->BGChanged = true;
  UpdateThumbSection();
}

bool TsSlider::OnFromPosition() const {
  const int W = FButton->Width(), R = Margin(2);
  const bool AtStartHalf = FButton->Left() < RoundEven((Width() - W) * FThumbSizeInPercent / 100.0) - R;
  return AtStartHalf != FReversed;
}

bool TsSlider::AskChanging() {
  bool Can = true;
  if (OnChanging) OnChanging(this, Can);
  return Can;
}

void TsSlider::SnapBack() {
  if (HandleAllocated() && GetCapture() == WindowHandle()) return;
  Dragged = false;
  Capturing = false;
  UpdateThumb();
}

void TsSlider::ChangeValue(bool Value) {
  if (Value == FSliderOn) return;
  if (!AskChanging()) {
    SnapBack();
    return;
  }
  FCommonData->BeginUpdate();
  FSliderOn = Value;
  UpdateThumb();
  FCommonData->UpdateIndexes(true);
  FCommonData->EndUpdate(false);
  if (!(ComponentState() & csLoading)) {
    FCommonData->BGChanged = true;
    if (HandleAllocated())
      RedrawWindow(WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
  if (OnSliderChange) OnSliderChange(this);
}

void TsSlider::SetSliderOn(bool Value) { ChangeValue(Value); }

void TsSlider::SetReversed(bool Value) {
  if (Value == FReversed) return;
  FReversed = Value;
  UpdateThumb();
  FCommonData->Invalidate();
}

void TsSlider::SetThumbSizeInPercent(int Value) {
  Value = std::clamp(Value, 1, 100);
  if (Value == FThumbSizeInPercent) return;
  FThumbSizeInPercent = Value;
  UpdateThumb();
}

void TsSlider::SetKeepThumbAspectRatio(bool Value) {
  if (Value == FKeepThumbAspectRatio) return;
  FKeepThumbAspectRatio = Value;
  UpdateThumb();
}

void TsSlider::EndUpdate(bool DoRepaint) {
  if (UpdateCount > 0) --UpdateCount;
  if (DoRepaint && UpdateCount == 0) FCommonData->Invalidate(true);
}

void TsSlider::Click() {
  TsPanel::Click();
  AnimatedToggle();
}

void TsSlider::AnimatedToggle() {
  if (Changing || !AskChanging()) return;
  TChangingScope Scope(Changing);
  const int L = Margin(0), R = Margin(2), W = FButton->Width();
  const int T = ThumbAtStart() ? Width() - W - R : L;
  const int S = FButton->Left();
  TsSkinManager* M = FCommonData->SkinManager();
  const bool Animate = !(M && !M->Effects()->AllowAnimation()) && HandleAllocated() && FCommonData->Skinned();
  // A thumb that fills the track, or an end at 0, has nowhere to glide.
  if (!Animate || S == T || S <= 0 || T <= 0) {
    FSliderOn = !FSliderOn;
    FCommonData->UpdateIndexes(true);
    UpdateThumb();
    FCommonData->BGChanged = true;
  } else {
    if (FCommonData->BGChanged || !FCommonData->CacheBmp() || FCommonData->CacheBmp()->Empty()) PrepareCache();
    TDibBitmap* Cache = FCommonData->CacheBmp();
    const int CW = Cache->Width(), CH = Cache->Height();
    TDibBitmap E(CW, CH), B(CW, CH);
    const bool WasAtStart = ThumbAtStart();
    CopyPiece((WasAtStart ? B : E).Bmp(), BmpPoint(0, 0), Cache->Bmp(), Cache->Bmp().Bounds());
    FSliderOn = !FSliderOn;
    FCommonData->UpdateIndexes(true);
    PrepareCache();
    CopyPiece((WasAtStart ? E : B).Bmp(), BmpPoint(0, 0), Cache->Bmp(), Cache->Bmp().Bounds());
    const bool ToStart = !WasAtStart;
    bool SectionDone = false;
    double P = S;
    while (std::fabs(P - T) > 0.1) {
      const DWORD Tick = GetTickCount();
      SendMessageW(WindowHandle(), WM_SETREDRAW, FALSE, 0);
      FButton->SkinData()->BGChanged = true;
      P -= (P - T) / 3;
      FButton->SetLeft(RoundEven(P));
      const int Alpha = static_cast<int>(255 - P * 255 / (ToStart ? S : T)) & 0xFF;
      Mix(Cache->Bmp(), E.Bmp(), B.Bmp(), Alpha);
      if (!SectionDone && std::fabs(P - T) < 1) {
        UpdateThumbSection();
        SectionDone = true;
      }
      SendMessageW(WindowHandle(), WM_SETREDRAW, TRUE, 0);
      RedrawWindow(WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
      while (GetTickCount() - Tick < 12) Sleep(1);
    }
    FCommonData->BGChanged = true;
    PrepareCache();
  }
  if (HandleAllocated()) RedrawWindow(WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  UpdateThumb();
  if (FButton->HandleAllocated())
    RedrawWindow(FButton->WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  if (OnSliderChange) OnSliderChange(this);
}

void TsSlider::ThumbDown(TMouseButton Button, int X, int Y) {
  if (Button != mbLeft) return;
  Capturing = true;
  MouseDownSpot = ClickPoint = TPoint(X, Y);
}

void TsSlider::ThumbMove(int X, int Y) {
  if (!Capturing) return;
  TsCommonData& TD = *FButton->SkinData();
  TD.BeginUpdate();
  Dragged = Dragged || X != ClickPoint.X || Y != ClickPoint.Y;
  const int L = Margin(0), R = Margin(2), W = FButton->Width();
  const int N = FButton->Left() + (X - MouseDownSpot.X);
  if (N - L > 0 && N + W < Width() - R) {
    FButton->SetLeft(N);
    // Near the other end: the switch turns over.
    const bool Near = ThumbAtStart() ? FButton->Left() > Width() - W - R - 3 : FButton->Left() < L + 3;
    if (Near) ChangeValue(!FSliderOn);
  } else if (N - L <= 0) {
    if (FButton->Left() != L) FButton->SetLeft(L);
    ChangeValue(OnFromPosition());
  } else {
    FButton->SetLeft(Width() - W - R);
    ChangeValue(OnFromPosition());
  }
  TD.BGChanged = true;
  TD.EndUpdate(false);
  FButton->Invalidate();
}

void TsSlider::ThumbUp(TMouseButton Button) {
  if (Button != mbLeft || !Capturing) return;
  Capturing = false;
  if (CanFocus()) SetFocus();
  if (Dragged)
    ChangeValue(OnFromPosition());
  else
    AnimatedToggle();
  Dragged = false;
  UpdateThumb();
}

void TsSlider::ThumbCancel() {
  if (!Capturing && !Dragged) return;
  Capturing = false;
  Dragged = false;
  UpdateThumb();
}

bool TsSlider::PrepareCache() {
  if (UpdateCount > 0) return true;
  FCommonData->UpdateIndexes(true);
  return TsPanel::PrepareCache();
}

bool TsSlider::OurPaint(HDC DC, bool SendUpdated) {
  if (UpdateCount > 0) return false;
  return TsPanel::OurPaint(DC, SendUpdated);
}

// A thumb due for a paint goes out with the track: under Wine a window's own
// paint (update region, caret, visible region, each a trip to the server)
// costs many times its pixels. Its picture is the one its own paint would show.
void TsSlider::PaintThumbAlong() {
  TsButtonPanel* B = FButton;
  if (!B || !B->HandleAllocated() || UpdateCount > 0 || !B->Showing()) return;
  const TsCommonData& TD = *B->SkinData();
  if (TD.FUpdating || !TD.Skinned()) return;
  const HWND W = B->WindowHandle();
  if (!GetUpdateRect(W, nullptr, FALSE)) return;
  HDC DC = GetDC(W);
  if (!DC) return;
  const bool Painted = B->OurPaint(DC, true);
  ReleaseDC(W, DC);
  if (Painted) ValidateRect(W, nullptr);
}

void TsSlider::WndProc(TMessage& M) {
  switch (M.Msg) {
    case SKM_COMMAND:
      switch (CommandOf(M.WParam)) {
        case SKC_GETDEFINDEX: {
          TsSkinManager* Own = FCommonData->SkinManager();
          int I = Own ? Own->GetSkinIndex(FSliderOn ? "SLIDER_ON" : "SLIDER_OFF") : -1;
          if (I < 0 && Own) I = Own->GetSkinIndex("PANEL_LOW");
          M.Result = I + 1;
          return;
        }
        case SKC_GETDEFSECTION: M.Result = 8; return;
        case SKC_REFRESH:
        case SKC_SKINLOADED:
          TsPanel::WndProc(M);
          UpdateThumb();
          return;
        case SKC_REPAINTIFMOVED:
          FCommonData->BGChanged = true;
          FButton->SkinData()->BGChanged = true;
          if (CommandArg(M.WParam) == 1 && HandleAllocated())
            RedrawWindow(WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
          return;
        default: break;
      }
      break;
    case WM_GETTEXTLENGTH: M.Result = 0; return;
    case WM_PAINT:
      TsPanel::WndProc(M);
      if (!M.WParam) PaintThumbAlong();
      return;
    case WM_SIZE:
      TsPanel::WndProc(M);
      UpdateThumb();
      return;
    case CM_ENABLEDCHANGED:
      TsPanel::WndProc(M);
      FButton->SetEnabled(Enabled());
      FCommonData->Invalidate();
      return;
    default: break;
  }
  TsPanel::WndProc(M);
}

void TsSlider::PublishProperties(TPublisher& P) {
  P.Bool(L"SliderOn", &TsSlider::SliderOn, &TsSlider::SetSliderOn, true);
  P.Bool(L"Reversed", &TsSlider::Reversed, &TsSlider::SetReversed, false);
  P.Bool(L"KeepThumbAspectRatio", &TsSlider::KeepThumbAspectRatio, &TsSlider::SetKeepThumbAspectRatio, true);
  P.Int(L"ThumbSizeInPercent", &TsSlider::ThumbSizeInPercent, &TsSlider::SetThumbSizeInPercent, 50);
  P.Enum(L"BevelOuter", &TsSlider::BevelOuter, &TsSlider::SetBevelOuter, {L"bvNone", L"bvLowered", L"bvRaised", L"bvSpace"},
         bvLowered);
  P.Int(L"TabOrder", &TsSlider::TabOrder, &TsSlider::SetTabOrder, -1).HasDefault = false;
}

}  // namespace cb
