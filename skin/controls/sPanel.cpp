#include "sPanel.h"

#include <algorithm>

#include "acCtrlUtils.h"
#include "sSkinManager.h"
#include "skin/paint/PixelOps.h"
#include "skin/binding/sSkinText.h"

namespace cb {

void TacSideShadow::Set(int& Field, int Value) {
  if (Field == Value) return;
  Field = Value;
  Changed();
}

void TacSideShadow::SetSide(TacSide Value) {
  if (FSide == Value) return;
  FSide = Value;
  Changed();
}

void TacSideShadow::Changed() {
  if (FOwner) FOwner->ShadowChanged();
}

// ---------------------------------------------------------------------------

TsCustomPanel::TsCustomPanel(TComponent* AOwner) : TCustomPanel(AOwner) {
  FCommonData = std::make_unique<TsCommonData>(this, COC_TsPanel);
  FCommonData->DefaultSection = L"PANEL";
  FSideShadow = std::make_unique<TacSideShadow>(this);
}

TsCustomPanel::~TsCustomPanel() {
  // Children go first: they ask this panel for its background on the way.
  while (ControlCount() > 0) delete Controls(ControlCount() - 1);
  FCommonData.reset();
}

void TsCustomPanel::Loaded() {
  TCustomPanel::Loaded();
  FCommonData->Loaded();
  FOldBevel = BevelOuter();
  if (HandleAllocated())
    SetClassLongPtrW(WindowHandle(), GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
}

void TsCustomPanel::CreateWnd() {
  TCustomPanel::CreateWnd();
  if (!(ComponentState() & csLoading) && FCommonData->Loading) FCommonData->Loaded();
}

void TsCustomPanel::ShadowChanged() {
  if (ComponentState() & csLoading) return;
  ShadowBmp.reset();
  FCommonData->BGChanged = true;
  BroadcastSkinCommand(this, SKC_REPAINTIFMOVED);
  if (HandleAllocated())
    RedrawWindow(WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool TsCustomPanel::PrepareCache() {
  TsCommonData& SD = *FCommonData;
  SD.PrepareCacheBmp();
  TDibBitmap* Cache = SD.CacheBmp();
  if (!Cache || Cache->Empty()) return false;
  TCacheInfo CI;
  if (ParentBG(this, CI) == btNotReady) {
    SD.FUpdating = true;
    return false;
  }
  PaintSection(SD, CI, true, 0, Cache->Bmp(), BmpPoint(0, 0), Cache->Bmp().Bounds());
  GdiFlush();
  const int Bevels = (BevelOuter() != bvNone ? 1 : 0) + (BevelInner() != bvNone ? 1 : 0);
  RECT R{0, 0, Width(), Height()};
  InflateRect(&R, -BevelWidth() * Bevels, -BevelWidth() * Bevels);
  WriteText(R, Cache->Canvas());
  if (OnPaint) OnPaint(this, Cache->Canvas());
  GdiFlush();
  SD.BGChanged = false;
  PaintSideShadow();
  if (FDimsWhenDisabled && !Enabled()) DimDisabled(this, Cache->Bmp(), dkBlended, CI);
  return true;
}

void TsCustomPanel::PaintSideShadow() {
  if (FSideShadow->Mode() != 1) return;
  TDibBitmap* Cache = FCommonData->CacheBmp();
  if (!Cache || Cache->Empty()) return;
  const int Size = std::max(1, MulDiv(FSideShadow->ShadowSize(), FCommonData->CurrentPPI, 96));
  const bool Vertical = FSideShadow->Side() == asLeft || FSideShadow->Side() == asRight;
  const int W = Vertical ? std::min(Size, Width()) : Width(), H = Vertical ? Height() : std::min(Size, Height());
  if (W <= 0 || H <= 0) return;
  if (!ShadowBmp || ShadowBmp->Width() != W || ShadowBmp->Height() != H) {
    ShadowBmp = std::make_unique<TDibBitmap>(W, H);
    Bitmap32& S = ShadowBmp->Bmp();
    // Black, from the blend at the panel's edge down to nothing.
    for (int Y = 0; Y < H; ++Y)
      for (int X = 0; X < W; ++X) {
        int D = 0, Len = Vertical ? W : H;
        switch (FSideShadow->Side()) {
          case asLeft: D = X; break;
          case asRight: D = W - 1 - X; break;
          case asTop: D = Y; break;
          case asBottom: D = H - 1 - Y; break;
        }
        const int A = Len > 1 ? FSideShadow->Blend() * (Len - 1 - D) / (Len - 1) : FSideShadow->Blend();
        S.SetPixel(X, Y, static_cast<std::uint32_t>(A) << 24);
      }
  }
  const int X = FSideShadow->Side() == asRight ? Width() - W : 0;
  const int Y = FSideShadow->Side() == asBottom ? Height() - H : 0;
  Bitmap32& C = Cache->Bmp();
  for (int J = 0; J < H; ++J)
    for (int I = 0; I < W; ++I) {
      const std::uint32_t S = ShadowBmp->Bmp().Pixel(I, J), A = S >> 24, D = C.Pixel(X + I, Y + J);
      std::uint32_t Out = D & 0xFF000000u;
      for (int Sh = 0; Sh <= 16; Sh += 8) Out |= ((((D >> Sh) & 0xFF) * (256 - A)) >> 8) << Sh;
      C.SetPixel(X + I, Y + J, Out);
    }
}

void TsCustomPanel::WriteText(RECT R, HDC DC) {
  const std::wstring Text = Caption();
  if (!ShowCaption() || Text.empty() || !DC) return;
  const int Saved = SaveDC(DC);
  SelectObject(DC, Font()->Handle());
  UINT F = Alignment() == taLeftJustify ? DT_LEFT : Alignment() == taRightJustify ? DT_RIGHT : DT_CENTER;
  F |= DT_EXPANDTABS;
  // Centred vertically: measured wrapped, then placed half-way.
  RECT M = R;
  DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &M, F | DT_CALCRECT | DT_WORDBREAK);
  const int Diff = (R.bottom - R.top) - (M.bottom - M.top);
  R.top += Diff >= 0 ? Diff / 2 : -((-Diff + 1) / 2);
  R.bottom = R.top + (M.bottom - M.top);
  DrawSkinnedText(DC, Text, Enabled(), false, FCommonData->SkinManager(), 0, *FCommonData, F | DT_WORDBREAK, R);
  RestoreDC(DC, Saved);
}

void TsCustomPanel::RebuildIfStale() {
  TDibBitmap* Cache = FCommonData->CacheBmp();
  if (FCommonData->BGChanged || FCommonData->HalfVisible || !Cache || Cache->Empty() || Cache->Width() != Width() ||
      Cache->Height() != Height())
    PrepareCache();
}

bool TsCustomPanel::OurPaint(HDC DC, bool SendUpdated) {
  TsCommonData& SD = *FCommonData;
  const bool Copy = (FControlState & csPaintCopy) != 0;
  if (!DC || (!Showing() && !Copy) || !SD.Skinned()) return false;
  RECT Box;
  if (GetClipBox(DC, &Box) == ERROR) return false;
  bool Painted = false;
  if (!SD.FUpdating || Copy) {
    RebuildIfStale();
    if (SD.BGChanged) return false;
    SD.HalfVisible = !Copy && (Box.left > 0 || Box.top > 0 || Box.right < Width() || Box.bottom < Height());
    SD.CacheBmp()->CopyTo(DC, 0, 0);
    PaintWindowlessChildren(DC, this, POINT{0, 0});
    Painted = true;
  }
  if (SendUpdated && !Copy) BroadcastSkinCommand(this, SKC_UPDATEDONE);
  return Painted;
}

bool TsCustomPanel::SkinCommandHandled(TMessage& M) {
  TsCommonData& SD = *FCommonData;
  TsSkinManager* Own = SD.SkinManager();
  const TacSkinCommand C = CommandOf(M.WParam);
  switch (C) {
    case SKC_SKINLOADED:
    case SKC_SKINREMOVED:
    case SKC_REFRESH:
      // The binding has taken it; the children are next.
      if (reinterpret_cast<TsSkinManager*>(M.LParam) == Own && HandleAllocated() && Visible())
        RedrawWindow(WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
      BroadcastSkinCommand(this, C, M.LParam, CommandArg(M.WParam));
      return true;
    case SKC_ISSKINNED: M.Result = 1; return true;
    case SKC_GETDEFINDEX: {
      const char* Names[] = {"TRANSPARENT", "PANEL_LOW", "PANEL", "GROUPBOX"};
      M.Result = Own ? Own->GetSkinIndex(Names[BevelOuter()]) + 1 : 0;
      return true;
    }
    case SKC_PREPARECACHE: M.Result = PrepareCache() ? 0 : 1; return true;
    default: return false;
  }
}

void TsCustomPanel::WndProc(TMessage& M) {
  TsCommonData& SD = *FCommonData;
  if (M.Msg == SKM_COMMAND) {
    if (SkinCommandHandled(M)) return;
    TCustomPanel::WndProc(M);
    return;
  }
  if (!SD.Skinned()) {
    TCustomPanel::WndProc(M);
    return;
  }
  switch (M.Msg) {
    case WM_ERASEBKGND: {
      HDC DC = reinterpret_cast<HDC>(M.WParam);
      if (!(FControlState & csPaintCopy) && M.WParam != static_cast<WPARAM>(M.LParam)) {
        M.Result = 1;
        return;
      }
      if (DC) {
        RebuildIfStale();
        if (!SD.BGChanged) SD.CacheBmp()->CopyTo(DC, 0, 0);
      }
      M.Result = 1;
      return;
    }
    case WM_PAINT: {
      PAINTSTRUCT PS{};
      HDC DC = M.WParam ? reinterpret_cast<HDC>(M.WParam) : BeginPaint(WindowHandle(), &PS);
      if (!SD.FUpdating || M.WParam) OurPaint(DC, true);
      if (!M.WParam) EndPaint(WindowHandle(), &PS);
      M.Result = 0;
      return;
    }
    case WM_PRINT:
      SD.FUpdating = false;
      SD.HalfVisible = false;
      break;
    case WM_SIZE:
      SD.BGChanged = true;
      TCustomPanel::WndProc(M);
      BroadcastSkinCommand(this, SKC_UPDATEDONE);
      return;
    case CM_BORDERCHANGED:
      if (BevelOuter() != FOldBevel) {
        FOldBevel = BevelOuter();
        SD.UpdateIndexes(true);
        SD.Invalidate();
      }
      break;
    case CM_TEXTCHANGED:
      if (!Caption().empty()) SD.Invalidate();
      break;
    case CM_FONTCHANGED: SD.Invalidate(); break;
    default: break;
  }
  TCustomPanel::WndProc(M);
}

// ---------------------------------------------------------------------------

TsButtonPanel::TsButtonPanel(TComponent* AOwner) : TsPanel(AOwner) { FDimsWhenDisabled = true; }

void TsButtonPanel::WndProc(TMessage& M) {
  switch (M.Msg) {
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      if (FCommonData->Skinned() && !(FControlState & csPaintCopy)) {
        M.Result = 1;
        return;
      }
      break;
    case CM_ENABLEDCHANGED:
      TsPanel::WndProc(M);
      FCommonData->Invalidate();
      return;
    default: break;
  }
  TsPanel::WndProc(M);
}

}  // namespace cb
