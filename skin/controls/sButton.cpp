#include "sButton.h"

#include <algorithm>

#include "acCtrlUtils.h"
#include "sSkinManager.h"
#include "skin/binding/sSkinText.h"

namespace cb {

TsButton::TsButton(TComponent* AOwner) : TButton(AOwner) {
  FCommonData = std::make_unique<TsCommonData>(this, COC_TsButton);
  FCommonData->DefaultSection = L"BUTTON";
}

TsButton::~TsButton() { FCommonData.reset(); }

void TsButton::Loaded() {
  TButton::Loaded();
  FCommonData->Loaded();
}

// Without a skin the button still looks like one: the drawing is ours either way.
void TsButton::DrawUnskinned(const DRAWITEMSTRUCT& Item) {
  RECT R = Item.rcItem;
  const bool Pressed = (Item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(Item.hDC, &R, DFC_BUTTON, DFCS_BUTTONPUSH | (Pressed ? DFCS_PUSHED : 0));
  const std::wstring Text = Caption();
  const int Saved = SaveDC(Item.hDC);
  SelectObject(Item.hDC, Font()->Handle());
  SetBkMode(Item.hDC, TRANSPARENT);
  SetTextColor(Item.hDC, GetSysColor(Enabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  if (Pressed) OffsetRect(&R, 1, 1);
  DrawTextW(Item.hDC, Text.c_str(), static_cast<int>(Text.size()), &R, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (Item.itemState & ODS_FOCUS) {
    RECT F = Item.rcItem;
    InflateRect(&F, -3, -3);
    DrawFocusRect(Item.hDC, &F);
  }
  RestoreDC(Item.hDC, Saved);
}

void TsButton::CreateParams(TCreateParams& P) {
  TButton::CreateParams(P);
  P.Style = (P.Style & ~static_cast<DWORD>(BS_TYPEMASK)) | BS_OWNERDRAW;
}

void TsButton::SetDown(bool Value) {
  if (ChangeValue(FDown, Value)) FCommonData->Invalidate();
}

void TsButton::SetShowFocus(bool Value) {
  if (ChangeValue(FShowFocus, Value)) FCommonData->Invalidate();
}

void TsButton::SetFocusMargin(int Value) {
  if (ChangeValue(FFocusMargin, Value)) FCommonData->Invalidate();
}

void TsButton::SetContentMargin(int Value) {
  if (ChangeValue(FContentMargin, Value)) FCommonData->Invalidate();
}

void TsButton::SetDisabledKind(unsigned Value) {
  if (ChangeValue(FDisabledKind, Value)) FCommonData->Invalidate();
}

void TsButton::SetWordWrap(bool Value) {
  if (ChangeValue(FWordWrap, Value)) FCommonData->Invalidate();
}

bool TsButton::Pushed() const {
  return HandleAllocated() && (SendMessageW(WindowHandle(), BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

int TsButton::CurrentState() const {
  if (!FCommonData) return 0;  // asked while the control is torn down
  TsSkinManager* M = FCommonData->SkinManager();
  const bool NoHover = M && M->Options()->NoMouseHover();
  if ((Pushed() || FForcePressed) && (FCommonData->FMouseAbove || !FMouseClicked || NoHover)) return 2;
  if (FDown) return 2;
  if ((ComponentState() & csDesigning) || FCommonData->ControlState() != 1) return Default() ? 3 : 0;
  return 1;
}

int TsButton::PaintedState() const {
  int S = CurrentState();
  TacSkinData* D = FCommonData->CommonSkinData();
  const int I = FCommonData->SkinIndex();
  const int States = D && I >= 0 && I < static_cast<int>(D->gd.size()) ? D->gd[static_cast<size_t>(I)].States : 3;
  if (S == 3 && States < 4) S = 1;
  return std::clamp(S, 0, std::max(0, States - 1));
}

bool TsButton::PrepareCache() {
  TsCommonData& SD = *FCommonData;
  TCacheInfo CI;
  if (ParentBG(this, CI) == btNotReady) {
    SD.FUpdating = true;
    return false;
  }
  SD.PrepareCacheBmp();
  TDibBitmap* Cache = SD.CacheBmp();
  if (!Cache || Cache->Empty()) return false;
  const int State = PaintedState();
  PaintSection(SD, CI, true, State, Cache->Bmp(), BmpPoint(0, 0), Cache->Bmp().Bounds());
  GdiFlush();
  HDC DC = Cache->Canvas();
  HGDIOBJ OldFont = SelectObject(DC, Font()->Handle());
  const std::wstring Text = Caption();
  const UINT Wrap = FWordWrap ? DT_WORDBREAK : DT_SINGLELINE;
  SIZE Ext{0, 0};
  if (!Text.empty()) {
    RECT M{FContentMargin, 0, std::max(FContentMargin, Width() - 2 * FContentMargin), 0};
    DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &M, DT_CALCRECT | DT_EXPANDTABS | Wrap);
    Ext = SIZE{M.right - M.left, M.bottom - M.top};
  }
  RECT R;
  R.left = (Width() - Ext.cx) / 2;
  R.right = R.left + Ext.cx;
  R.top = (Height() - Ext.cy) / 2;
  R.bottom = R.top + Ext.cy;
  TsSkinManager* Mgr = SD.SkinManager();
  TacSkinData* D = SD.CommonSkinData();
  const TsGeneralData* G =
      D && SD.SkinIndex() >= 0 && SD.SkinIndex() < static_cast<int>(D->gd.size()) ? &D->gd[size_t(SD.SkinIndex())] : nullptr;
  if (State == 2 && ((Mgr && Mgr->ButtonsOptions()->ShiftContentOnClick()) || (G && G->ShiftOnClick))) OffsetRect(&R, 1, 1);
  FCaptionRect = R;
  if (!Text.empty()) {
    const LONG Style = HandleAllocated() ? GetWindowLongW(WindowHandle(), GWL_STYLE) : 0;
    UINT F = Wrap | DT_VCENTER | DT_EXPANDTABS;
    F |= (Style & BS_CENTER) == BS_LEFT ? DT_LEFT : (Style & BS_CENTER) == BS_RIGHT ? DT_RIGHT : DT_CENTER;
    DrawSkinnedText(DC, Text, Enabled(), true, Mgr, State, SD, F, R);
  }
  SelectObject(DC, OldFont);
  GdiFlush();
  if (!Enabled()) DimDisabled(this, Cache->Bmp(), FDisabledKind, CI);
  // The focus rectangle, dotted in the section's font colour. Its pixels are
  // written unchecked: a button within three pixels of top and bottom has no
  // room for it and draws none.
  FFocusRect = RECT{0, 0, 0, 0};
  RECT F = R;
  InflateRect(&F, FFocusMargin + 1, FFocusMargin);
  F.top = std::max<LONG>(F.top, 3);
  F.bottom = std::min<LONG>(F.bottom, Height() - 3);
  F.left = std::max<LONG>(F.left, 0);
  F.right = std::min<LONG>(F.right, Width());
  if (Focused() && Enabled() && !Text.empty() && FShowFocus && SD.Skinned() && G && F.left < F.right &&
      F.top < F.bottom) {
    FFocusRect = F;
    const std::uint32_t C =
        ColorToPixel(static_cast<std::uint32_t>(G->Props[size_t(std::min(2, G->States - 1))].FontColor.Color) & 0xFFFFFF, 255);
    Bitmap32& B = Cache->Bmp();
    for (int X = F.left; X < F.right; ++X) {
      if ((X - F.left) % 2) continue;
      B.SetPixel(X, F.top, C);
      B.SetPixel(X, F.bottom - 1, C);
    }
    for (int Y = F.top; Y < F.bottom; ++Y) {
      if ((Y - F.top) % 2) continue;
      B.SetPixel(F.left, Y, C);
      B.SetPixel(F.right - 1, Y, C);
    }
  }
  SD.BGChanged = false;
  return true;
}

void TsButton::PaintTo(HDC DC) {
  TsCommonData& SD = *FCommonData;
  if (TacFadeTimer* T = SD.AnimTimer(); T && T->State != -1 && T->BmpOut && !T->BmpOut->Empty()) {
    T->BmpOut->CopyTo(DC, 0, 0);
    return;
  }
  RECT Box;
  if (GetClipBox(DC, &Box) == ERROR) return;
  if (SD.HalfVisible) SD.BGChanged = true;
  SD.HalfVisible = (Box.right - Box.left) != Width() || (Box.bottom - Box.top) != Height();
  TDibBitmap* Cache = SD.CacheBmp();
  if ((SD.BGChanged || !Cache || Cache->Empty() || Cache->Width() != Width() || Cache->Height() != Height()) &&
      !PrepareCache())
    return;
  SD.CacheBmp()->CopyTo(DC, 0, 0);
}

void TsButton::WMPaint(TMessage& M) {
  // Always validated, even when nothing can be drawn yet: an unvalidated
  // window would be sent WM_PAINT again and again.
  PAINTSTRUCT PS{};
  HDC DC = M.WParam ? reinterpret_cast<HDC>(M.WParam) : BeginPaint(WindowHandle(), &PS);
  if (DC && !FCommonData->FUpdating) PaintTo(DC);
  if (!M.WParam) EndPaint(WindowHandle(), &PS);
  M.Result = 0;
}

void TsButton::RedrawNow() {
  if (HandleAllocated()) RedrawWindow(WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TsButton::ChangeState(int NewState, TacAnimEvent Event, bool WithGlow) {
  TsCommonData& SD = *FCommonData;
  AnimateStateChange(SD, NewState, nullptr, WithGlow, false, IsAnimationEnabled(Event, FAnimatEvents, SD.SkinManager()));
}

bool TsButton::SkinCommand(TMessage& M) {
  TsCommonData& SD = *FCommonData;
  const bool FromOwn = reinterpret_cast<TsSkinManager*>(M.LParam) == SD.SkinManager();
  switch (CommandOf(M.WParam)) {
    case SKC_SKINLOADED:
    case SKC_SKINREMOVED:
    case SKC_REFRESH:
      if (FromOwn) {
        SD.BGChanged = true;
        if (HandleAllocated()) ::InvalidateRect(WindowHandle(), nullptr, TRUE);
      }
      return true;
    case SKC_GETDEFINDEX: {
      TsSkinManager* Own = SD.SkinManager();
      M.Result = Own ? Own->GetSkinIndex("BUTTON") + 1 : 0;
      return true;
    }
    case SKC_PREPARECACHE: M.Result = PrepareCache() ? 0 : 1; return true;
    case SKC_GETDEFSECTION: M.Result = 2; return true;
    default: return false;
  }
}

void TsButton::WndProc(TMessage& M) {
  TsCommonData& SD = *FCommonData;
  if (M.Msg == SKM_COMMAND) {
    if (SkinCommand(M)) return;
    TButton::WndProc(M);
    return;
  }
  if (!SD.Skinned()) {
    if (M.Msg == CN_DRAWITEM && M.LParam) {
      DrawUnskinned(*reinterpret_cast<const DRAWITEMSTRUCT*>(M.LParam));
      M.Result = 1;
      return;
    }
    TButton::WndProc(M);
    return;
  }
  const bool Active = Enabled() && !(ComponentState() & csDesigning);
  switch (M.Msg) {
    case WM_PAINT: WMPaint(M); return;
    case WM_ERASEBKGND:
      if (M.WParam && !SD.IsAnimating()) {
        TDibBitmap* Cache = SD.CacheBmp();
        if ((SD.BGChanged || !Cache || Cache->Empty()) && !PrepareCache()) {
          M.Result = 1;
          return;
        }
        SD.CacheBmp()->CopyTo(reinterpret_cast<HDC>(M.WParam), 0, 0);
      }
      M.Result = 1;
      return;
    case CN_DRAWITEM: M.Result = 1; return;
    case BM_SETSTYLE:
      // The drawing stays ours whatever style is asked for.
      M.WParam = (M.WParam & ~static_cast<WPARAM>(BS_TYPEMASK)) | BS_OWNERDRAW;
      break;
    case BM_SETSTATE:
      TButton::WndProc(M);
      // A key press: the pressed look at once (mouse presses fade themselves).
      if (!FMouseClicked && !SD.IsAnimating()) {
        SD.BGChanged = true;
        RedrawNow();
      }
      return;
    case CM_MOUSEENTER:
      TButton::WndProc(M);
      if (IsOwnMouseNotice(this, M) && Active) {
        SD.BGChanged = false;
        ChangeState(CurrentState(), aeEnter, true);
      }
      return;
    case CM_MOUSELEAVE:
      TButton::WndProc(M);
      if (IsOwnMouseNotice(this, M) && Active) ChangeState(CurrentState(), aeLeave, false);
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!Active) break;
      FMouseClicked = true;
      // A press lands on the button under the pointer, whether or not an
      // enter was seen (an enabled change makes the binding forget it).
      SD.FMouseAbove = true;
      TButton::WndProc(M);
      if (!FDown) ChangeState(CurrentState(), aeDown, false);
      return;
    case WM_LBUTTONUP:
      if (!Active) break;
      // Pressed elsewhere and released here: neither a click nor a release of ours.
      if (!FMouseClicked) {
        M.Result = 0;
        return;
      }
      FMouseClicked = false;
      if (SD.IsAnimating()) {
        // A quick click still shows the pressed look for a moment.
        SD.StopAnimation();
        FForcePressed = true;
        SD.BGChanged = true;
        RedrawNow();
        Sleep(30);
        FForcePressed = false;
      }
      TButton::WndProc(M);  // the release and the click
      if (!(ComponentState() & csDestroying) && HandleAllocated())
        ChangeState(SD.FMouseAbove ? CurrentState() : 0, aeUp, true);
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case CM_ENTER:
    case CM_EXIT:
      TButton::WndProc(M);
      SD.Invalidate();
      return;
    case WM_KEYDOWN:
    case WM_KEYUP:
      TButton::WndProc(M);
      if (M.WParam == VK_SPACE && !(ComponentState() & csDestroying) && HandleAllocated()) {
        SD.BGChanged = true;
        RedrawNow();
      }
      return;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_VISIBLECHANGED:
      TButton::WndProc(M);
      SD.Invalidate();
      return;
    default: break;
  }
  TButton::WndProc(M);
}

void TsButton::PublishProperties(TPublisher& P) {
  P.Bool(L"Down", &TsButton::Down, &TsButton::SetDown, false);
  P.Bool(L"ShowFocus", &TsButton::ShowFocus, &TsButton::SetShowFocus, true);
  P.Int(L"FocusMargin", &TsButton::FocusMargin, &TsButton::SetFocusMargin, 1);
  P.Int(L"ContentMargin", &TsButton::ContentMargin, &TsButton::SetContentMargin, 6);
  P.Bool(L"WordWrap", &TsButton::WordWrap, &TsButton::SetWordWrap, true);
  P.Set(L"DisabledKind", &TsButton::DisabledKind, &TsButton::SetDisabledKind, {L"dkBlended", L"dkGrayed"}, dkBlended);
}

}  // namespace cb
