#include "skin/binding/sCommonData.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

#include "sSkinManager.h"
#include "skin/paint/PaintDC.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/SkinColors.h"
#include "skin/binding/acGlow.h"
#include "skin/binding/sSkinText.h"
#include "ui/Forms.h"
#include "base/Strings.h"
#include "ui/UiText.h"

namespace cb {

namespace {

const wchar_t kPropName[] = L"ACSDATA";

bool InRanges(std::uint8_t K, std::initializer_list<std::pair<int, int>> Ranges) {
  for (auto [A, B] : Ranges)
    if (K >= A && K <= B) return true;
  return false;
}

// Section names are ASCII; the comparison folds nothing else.
std::string Upper8(const std::wstring& S) { return UpperCase(WideToUtf8(S)); }
std::wstring UpperW(const std::wstring& S) { return ToWide(UpperCase(ToU16(S))); }

bool ManagerLive(const TsSkinManager* M) {
  return M && !(M->ComponentState() & csDestroying) &&
         (M->SkinCommonInfo.Active || (M->ManagerState() & (msSkinChanging | msBroadCasting)));
}

int KindOfSection(std::uint8_t K, const std::wstring& OwnerClass, std::wstring& Name) {
  switch (K) {
    case 18: Name = L"COMBOBOX"; return 1;
    case 19: Name = L"BAR"; return 1;
    case 20: Name = L"BARTITLE"; return 1;
    case 56: Name = L"DRAGBAR"; return 1;
    case 98: Name = L"TOOLBUTTON"; return 1;
    case 230: Name = L"EDIT"; return 1;
    default: break;
  }
  if (InRanges(K, {{2, 10}, {12, 14}, {32, 34}, {50, 51}, {53, 54}, {57, 59}, {74, 76}, {78, 78}, {81, 85},
                   {92, 94}, {132, 141}, {143, 143}, {151, 152}, {161, 161}, {165, 165}, {224, 224}, {226, 227}}))
    return 0;  // the owner knows its section
  Name = OwnerClass;
  return 1;
}

// The picture every buffered paint of the GUI thread composes in; it only grows.
TDibBitmap& PaintBuffer() {
  static TDibBitmap* B = new TDibBitmap;  // windows may still paint while statics go at exit
  return *B;
}
bool gBuffering = false;

// One windowless child over what Buf already holds at its place (Buf in its
// parent's client coordinates), within R: a child that shows one picture is
// copied pixel for pixel, the others paint through the picture's context.
void PaintChildInto(TDibBitmap& Buf, TControl* C, const RECT& R) {
  const RECT B{C->Left(), C->Top(), C->Left() + C->Width(), C->Top() + C->Height()};
  RECT X;
  if (!IntersectRect(&X, &B, &R)) return;
  auto* CD = reinterpret_cast<TsCommonData*>(SendSkinCommand(C, SKC_GETCOMMONDATA));
  TDibBitmap* Pic = CD && CD->ShownPicture ? CD->ShownPicture() : nullptr;
  if (Pic && Pic->Width() == C->Width() && Pic->Height() == C->Height()) {
    GdiFlush();
    CopyPiece(Buf.Bmp(), BmpPoint(X.left, X.top), Pic->Bmp(),
              BmpRect(X.left - B.left, X.top - B.top, X.right - B.left, X.bottom - B.top));
    return;
  }
  HDC DC = Buf.Canvas();
  const int Saved = SaveDC(DC);
  SetViewportOrgEx(DC, B.left, B.top, nullptr);
  IntersectClipRect(DC, X.left - B.left, X.top - B.top, X.right - B.left, X.bottom - B.top);
  C->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
  RestoreDC(DC, Saved);
  GdiFlush();
}

bool IsWindowlessChild(TControl* C) {
  return !WinControlOf(C) && C->Visible() && C->Width() > 0 && C->Height() > 0 &&
         !(C->ComponentState() & csDestroying);
}

// The windowless children of Parent over what Buf already holds, within R.
void PaintChildrenInto(TDibBitmap& Buf, TWinControl* Parent, const RECT& R) {
  for (int I = 0; I < Parent->ControlCount(); ++I)
    if (TControl* C = Parent->Controls(I); IsWindowlessChild(C)) PaintChildInto(Buf, C, R);
  GdiFlush();
}

}  // namespace

bool gHoverForStdKinds = false;

bool KindNoHover(std::uint8_t K) { return InRanges(K, {{19, 19}, {51, 74}, {110, 110}, {141, 161}}); }
bool KindHoverIfAllowed(std::uint8_t K) { return InRanges(K, {{2, 18}, {76, 85}, {132, 140}, {231, 231}}); }
bool KindBGIgnoresHover(std::uint8_t K) {
  return InRanges(K, {{51, 51}, {54, 54}, {56, 59}, {74, 74}, {110, 110}, {141, 141}, {143, 143}, {151, 151},
                      {161, 161}, {226, 226}});
}
bool KindColorsFollowState(std::uint8_t K) { return InRanges(K, {{2, 18}, {76, 84}, {132, 140}, {231, 231}}); }
bool KindFrameOnRefresh(std::uint8_t K) {
  return InRanges(K, {{7, 8}, {10, 10}, {14, 14}, {78, 78}, {83, 83}, {85, 85}, {231, 231}});
}
bool KindOwnGlow(std::uint8_t K) { return K >= 92 && K <= 94; }

TCacheInfo BGInfoToCI(const TacBGRequest& I) {
  TCacheInfo CI;
  CI.Bmp = I.Bmp;
  CI.X = I.Offset.x;
  CI.Y = I.Offset.y;
  if (I.BGKind == btCache && I.Bmp) {
    CI.FillColor = clKeyColor;
    CI.Ready = true;
  } else {
    CI.FillColor = I.Color & 0xFFFFFF;
    CI.FillRect = BmpRect(I.FillRect.left, I.FillRect.top, I.FillRect.right, I.FillRect.bottom);
    CI.Ready = false;
  }
  return CI;
}

TsCommonData* CommonDataOfWindow(HWND Wnd) {
  if (!IsOwnProcessWindow(Wnd)) return nullptr;
  return static_cast<TsCommonData*>(GetPropW(Wnd, kPropName));
}

LRESULT SendSkinCommand(HWND Wnd, TacSkinCommand Command, LPARAM LParam, std::uint16_t Low) {
  // Commands carry pointers: never to another process.
  if (!IsOwnProcessWindow(Wnd)) return 0;
  if (TWinControl* C = TWinControl::FindControl(Wnd))
    return C->Perform(SKM_COMMAND, SkinCommand(Command, Low), LParam);
  return SendMessageW(Wnd, SKM_COMMAND, SkinCommand(Command, Low), LParam);
}

LRESULT SendSkinCommand(TControl* Control, TacSkinCommand Command, LPARAM LParam, std::uint16_t Low) {
  if (!Control || (Control->ComponentState() & csDestroying)) return 0;
  return Control->Perform(SKM_COMMAND, SkinCommand(Command, Low), LParam);
}

void BroadcastSkinCommand(TWinControl* Parent, TacSkinCommand Command, LPARAM LParam, std::uint16_t Low) {
  if (!Parent) return;
  for (int I = 0; I < Parent->ControlCount(); ++I) {
    TControl* C = Parent->Controls(I);
    if (C->ComponentState() & csDestroying) continue;
    LRESULT Skinned = SendSkinCommand(C, SKC_ISSKINNED);
    SendSkinCommand(C, Command, LParam, Low);
    // A plain window in between passes the command on to what lies inside it.
    if (auto* W = WinControlOf(C); W && !Skinned && !(W->HandleAllocated() && CommonDataOfWindow(W->WindowHandle())))
      BroadcastSkinCommand(W, Command, LParam, Low);
  }
}

// ---------------------------------------------------------------------------

TsCommonData::TsCommonData(TControl* AOwner, std::uint8_t AKind, bool CreateCacheBmp)
    : COC(AKind), FOwnerControl(AOwner) {
  if (CreateCacheBmp) FCacheBmp = std::make_unique<TDibBitmap>();
  if (FOwnerControl) {
    CurrentPPI = FOwnerControl->CurrentPPI();
    FOwnerControl->AddWindowHook(reinterpret_cast<std::uintptr_t>(this),
                                 [this](TMessage& M, const TWindowHookNext& Next) {
                                   if (HandleMessage(M)) return;
                                   Next(M);
                                   // After the owner: its window exists, its cache is rebuilt.
                                   if (M.Msg == WM_CREATE || M.Msg == WM_NCCREATE) InitCommonProp();
                                   if (M.Msg == SKM_COMMAND && CommandOf(M.WParam) == SKC_PREPARECACHE) BGChanged = false;
                                 });
  }
  InitCommonProp();
}

TsCommonData::~TsCommonData() {
  // The glow and the animation go first: no tick may reach a binding or control on its way out.
  HideGlow(GlowID, false);
  if (TacFadeTimer* T = FAnimTimer) {
    FAnimTimer = nullptr;
    T->AnimData = nullptr;
    T->StopAnimation();
    if (!(T->ComponentState() & csDestroying)) delete T;
  }
  RemoveCommonProp();
  SkinIndex_ = -1;
  // A manager must not keep pointing at an owner that goes (its hover check
  // reads the active control every 100 ms).
  if (TsSkinManager* M = DefaultManager()) M->ForgetControl(FOwnerControl);
  if (FSkinManager && FSkinManager != DefaultManager()) FSkinManager->ForgetControl(FOwnerControl);
  if (FOwnerControl) FOwnerControl->RemoveWindowHook(reinterpret_cast<std::uintptr_t>(this));
}

TacFadeTimer* TsCommonData::CreateAnimTimer() {
  if (!FAnimTimer) {
    FAnimTimer = TacFadeTimer::CreateOwned(FOwnerControl, false);
    FAnimTimer->AnimData = this;
  }
  return FAnimTimer;
}

void TsCommonData::StopAnimation() {
  if (FAnimTimer) FAnimTimer->StopAnimation();
}

bool TsCommonData::IsAnimating() const { return FAnimTimer && FAnimTimer->Enabled(); }

void TsCommonData::InitCommonProp() {
  auto* W = WinControlOf(FOwnerControl);
  if (!W || !W->HandleAllocated()) return;
  if (FPropWindow == W->WindowHandle()) return;
  RemoveCommonProp();
  FPropWindow = W->WindowHandle();
  SetPropW(FPropWindow, kPropName, this);
}

void TsCommonData::RemoveCommonProp() {
  if (!FPropWindow) return;
  if (IsWindow(FPropWindow) && GetPropW(FPropWindow, kPropName) == this) RemovePropW(FPropWindow, kPropName);
  FPropWindow = nullptr;
}

TsSkinManager* TsCommonData::SkinManager() const { return FSkinManager ? FSkinManager : DefaultManager(); }

void TsCommonData::SetSkinManager(TsSkinManager* Value) {
  if (Value == DefaultManager()) Value = nullptr;
  if (Value == FSkinManager) return;
  FSkinManager = Value;
  UpdateIndexes(true);
  if (!Loading && FOwnerControl)
    SendSkinCommand(FOwnerControl, SkinIndex_ >= 0 ? SKC_REFRESH : SKC_SKINREMOVED,
                    reinterpret_cast<LPARAM>(SkinManager()));
}

TacSkinData* TsCommonData::KeptSkinData(const TsSkinManager* M) const {
  return FCommonSkinData && M && M->SkinDataGeneration == FDataGeneration ? FCommonSkinData : nullptr;
}

TacSkinData* TsCommonData::CommonSkinData() {
  TsSkinManager* M = SkinManager();
  if (!M) return nullptr;
  if (TacSkinData* Kept = KeptSkinData(M); Kept && SkinIndex_ >= 0) return Kept;
  int PPI = 96;
  switch (M->Options()->ScaleMode()) {
    case smAuto:
    case smVCL: PPI = FOwnerControl ? FOwnerControl->CurrentPPI() : CurrentPPI; break;
    case smOldMode: PPI = 96; break;
    case smCustomPPI: PPI = M->Options()->PixelsPerInch(); break;
    case sm100: PPI = 96; break;
    case sm125: PPI = 120; break;
    case sm150: PPI = 144; break;
    case sm200: PPI = 192; break;
  }
  if (M->ManagerState() & msFormScaling) PPI = CurrentPPI;
  TacSkinData* D = M->CommonSkinData(PPI);
  if (SkinIndex_ >= 0 && D && !D->gd.empty()) {
    FCommonSkinData = D;
    FDataGeneration = M->SkinDataGeneration;
    PPIIndex = D->ScaleValue;
  }
  return D;
}

void TsCommonData::ResolveSection() {
  SkinIndex_ = -1;
  TsSkinManager* M = SkinManager();
  if (!ManagerLive(M)) return;
  TacSkinData* D = M->CommonSkinData(FOwnerControl ? FOwnerControl->CurrentPPI() : CurrentPPI);
  if (!D || D->gd.empty()) return;
  if (!FSkinSection.empty()) {
    SkinIndex_ = M->GetSkinIndex(Upper8(FSkinSection), D);
    return;
  }
  std::wstring Name;
  if (KindOfSection(COC, FOwnerControl ? FOwnerControl->ClassName() : L"", Name) == 0) {
    LRESULT Answer = FOwnerControl ? SendSkinCommand(FOwnerControl, SKC_GETDEFINDEX) : 0;
    if (Answer > 0) {
      SkinIndex_ = static_cast<int>(Answer) - 1;
      return;
    }
    Name = DefaultSection;
  }
  SkinIndex_ = M->GetSkinIndex(Upper8(Name), D);
}

void TsCommonData::ComputeBGType() {
  BGType = 0;
  TacSkinData* D = SkinIndex_ >= 0 ? CommonSkinData() : nullptr;
  if (!D || SkinIndex_ >= static_cast<int>(D->gd.size())) return;
  const TsGenState& P = D->gd[static_cast<size_t>(SkinIndex_)].Props[0];
  if (P.ImagePercent > 0 && P.TextureIndex >= 0 && P.TextureIndex < static_cast<int>(D->ma.size())) {
    const int Mode = D->ma[static_cast<size_t>(P.TextureIndex)].DrawMode;
    auto In = [Mode](std::initializer_list<int> L) { return std::find(L.begin(), L.end(), Mode) != L.end(); };
    if (In({1, 4, 5, 8, 9, 11, 12})) BGType |= 0x04;
    if (In({0, 1, 3, 5, 10, 12})) BGType |= 0x10;
    if (In({0, 1, 7, 9, 10, 12})) BGType |= 0x40;
    if (In({0, 1, 2, 4, 10, 11})) BGType |= 0x20;
    if (In({0, 1, 6, 8, 10, 11})) BGType |= 0x80;
  }
  const bool OnTop = !P.GradientArray.empty() && (P.GradientArray[0].Mode & gpOnTop);
  if ((!P.GradientArray.empty() && P.GradientPercent > 0) || OnTop) {
    switch (P.GradientArray[0].Mode & gpDirectionBits) {
      case 0: BGType |= 0x02; break;
      case 1: BGType |= 0x01; break;
      case 2: BGType |= 0x03; break;
      default: break;
    }
  }
}

void TsCommonData::UpdateIndexes(bool UpdateMain) {
  BGChanged = true;
  Stale();
  if (UpdateMain) {
    FCommonSkinData = nullptr;
    ResolveSection();
  }
  ComputeBGType();
}

void TsCommonData::Loaded(bool UpdateColors) {
  Loading = false;
  FCommonSkinData = nullptr;
  UpdateIndexes(true);
  if (Skinned() && FOwnerControl && FOwnerControl->Parent() && !(FOwnerControl->ComponentState() & csLoading)) {
    if (TCustomForm* F = GetParentForm(FOwnerControl); F && F->HandleAllocated())
      SendSkinCommand(F->WindowHandle(), SKC_CONTROLADDED, reinterpret_cast<LPARAM>(FOwnerControl));
    if (UpdateColors) ApplySkinColors(false);
  }
  InitCommonProp();
}

bool TsCommonData::Skinned(bool CheckSkinActive) const {
  TsSkinManager* M = SkinManager();
  if (!M || (M->ComponentState() & csDestroying)) return false;
  if (FOwnerControl && (FOwnerControl->ComponentState() & csDestroying)) return false;
  if (CheckSkinActive && !M->SkinCommonInfo.Active) return false;
  const TacSkinData* Kept = KeptSkinData(M);
  const TacSkinData* D = Kept ? Kept : (M->SkinDataArray.empty() ? nullptr : M->SkinDataArray[0].get());
  return D && SkinIndex_ >= 0 && SkinIndex_ < static_cast<int>(D->gd.size());
}

HWND TsCommonData::OwnerHandle() const {
  if (!FOwnerControl || (FOwnerControl->ComponentState() & csDestroying)) return nullptr;
  if (auto* W = WinControlOf(FOwnerControl); W && W->HandleAllocated()) return W->WindowHandle();
  return nullptr;
}

void TsCommonData::BeginUpdate() {
  ++FUpdateCount;
  FUpdating = true;
  CtrlSkinState |= ACS_LOCKED;
  if (FUpdateCount == 1 && FOwnerControl) SendSkinCommand(FOwnerControl, SKC_BEGINUPDATE);
}

void TsCommonData::EndUpdate(bool Repaint) {
  if (FUpdateCount > 0) --FUpdateCount;
  if (FUpdateCount > 0) return;
  FUpdating = false;
  CtrlSkinState &= ~ACS_LOCKED;
  if (FOwnerControl) SendSkinCommand(FOwnerControl, SKC_ENDUPDATE);
  if (Repaint) Invalidate(true);
}

bool TsCommonData::Updating() const {
  if (!SkinManager()) return false;
  if (FUpdating) return true;
  if (FOwnerControl && FOwnerControl->Parent()) return SendSkinCommand(FOwnerControl->Parent(), SKC_ISUPDATING) != 0;
  return false;
}

bool TsCommonData::OwnerReady() const {
  if (!FOwnerControl || !FOwnerControl->Parent() || Loading) return false;
  if (FOwnerControl->ComponentState() & (csDestroying | csReading | csLoading)) return false;
  if (auto* W = WinControlOf(FOwnerControl)) return W->HandleAllocated();
  return FOwnerControl->Parent()->HandleAllocated();
}

void TsCommonData::Invalidate(bool UpdateNow) {
  BGChanged = true;
  if (Loading || !OwnerReady()) return;
  StopAnimation();
  if (auto* W = WinControlOf(FOwnerControl)) {
    RedrawWindow(W->WindowHandle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | (UpdateNow ? RDW_UPDATENOW : 0));
  } else if (COC == COC_TsSpeedButton) {
    SendSkinCommand(FOwnerControl, SKC_INVALIDATE);
  } else {
    FOwnerControl->Repaint();
  }
}

int TsCommonData::ControlState() const {
  if (!FOwnerControl || (FOwnerControl->ComponentState() & (csDestroying | csDesigning)) || !FOwnerControl->Enabled())
    return 0;
  if (FFocused) return 1;
  if (auto* W = WinControlOf(FOwnerControl); W && W->Focused()) return COC == COC_TsPanel ? 0 : 1;
  TsSkinManager* M = SkinManager();
  if (!FMouseAbove || (M && M->Options()->NoMouseHover())) return 0;
  if (KindNoHover(COC) || (KindHoverIfAllowed(COC) && !gHoverForStdKinds)) return 0;
  return 1;
}

void TsCommonData::PrepareCacheBmp() {
  if (!FCacheBmp) FCacheBmp = std::make_unique<TDibBitmap>();
  if (FOwnerControl) FCacheBmp->SetSize(FOwnerControl->Width(), FOwnerControl->Height());
}

std::uint32_t TsCommonData::OwnerColor() const {
  return FOwnerControl ? ColorToRGB(FOwnerControl->Color()) : GetSysColor(COLOR_BTNFACE);
}

bool TsCommonData::ParentBackground(TCacheInfo& Out) {
  if (!FOwnerControl || !FOwnerControl->Parent()) return false;
  GetParentBG(Out);
  return true;
}

void TsCommonData::GetParentBG(TCacheInfo& CI) {
  CI = TCacheInfo();
  TWinControl* P = FOwnerControl ? FOwnerControl->Parent() : nullptr;
  if (!P) return;
  TacBGRequest R;
  SendSkinCommand(P, SKC_GETBG, reinterpret_cast<LPARAM>(&R));
  if (R.BGKind == btUnknown) {
    R.BGKind = btFill;
    LRESULT C = SendSkinCommand(P, SKC_GETBGCOLOR);
    R.Color = C ? static_cast<std::uint32_t>(C) : ColorToRGB(P->Color());
  }
  R.Offset.x += FOwnerControl->Left();
  R.Offset.y += FOwnerControl->Top();
  if (R.BGKind != btCache) OffsetRect(&R.FillRect, -FOwnerControl->Left(), -FOwnerControl->Top());
  CI = BGInfoToCI(R);
  if (R.BGKind == btNotReady) CI.Bmp = nullptr;
}

void TsCommonData::ApplySkinColors(bool Repaint) {
  if (Skinned() && KindColorsFollowState(COC) && FOwnerControl) {
    TacSkinData* D = CommonSkinData();
    const TsGeneralData& G = D->gd[static_cast<size_t>(SkinIndex_)];
    if (G.Props[0].Transparency != 100 || G.Props[1].Transparency != 100) {
      if (!FCustomColor) FOwnerControl->SetColor(static_cast<TColor>(G.Props[0].Color) & 0xFFFFFF);
      if (!FCustomFont) {
        CtrlSkinState |= ACS_FONTCHANGING;
        FOwnerControl->Font()->SetColor(static_cast<TColor>(G.Props[0].FontColor.Color) & 0xFFFFFF);
        CtrlSkinState &= ~ACS_FONTCHANGING;
      }
    }
  }
  if (auto* W = WinControlOf(FOwnerControl); W && W->HandleAllocated()) {
    TsSkinManager* M = SkinManager();
    HBRUSH B = Skinned() && M ? M->Brush(0) : GetSysColorBrush(COLOR_BTNFACE);
    if (B && COC != 142) SetClassLongPtrW(W->WindowHandle(), GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(B));
  }
  if (Repaint) Invalidate(true);
}

bool TsCommonData::RepaintIfMoved() {
  if (!Skinned() || !FOwnerControl) return true;
  TsSkinManager* M = SkinManager();
  if (M && (M->ManagerState() & msSkinChanging)) return true;
  if (!FOwnerControl->Enabled()) return true;
  TWinControl* P = FOwnerControl->Parent();
  if (P && SendSkinCommand(P, SKC_ISBGCOMPLEX)) return true;
  TacSkinData* D = CommonSkinData();
  if (D->gd[static_cast<size_t>(SkinIndex_)].Props[0].Transparency <= 0) return false;
  return P && P->HandleAllocated();
}

void TsCommonData::SetSkinSection(const std::wstring& Value) {
  if (Value == FSkinSection) return;
  HideGlow(GlowID, false);
  FSkinSection = UpperW(Value);
  UpdateIndexes(true);
  if (!FOwnerControl || !FOwnerControl->Parent()) return;
  if (FOwnerControl->ComponentState() & (csLoading | csReading | csDestroying)) return;
  if (auto* W = WinControlOf(FOwnerControl)) {
    if (FCacheBmp) FCacheBmp->Free();
    SendSkinCommand(W, SKC_BGCHANGED, 0, 1);
    BroadcastSkinCommand(W, SKC_BGCHANGED, 0, 1);
  } else if (Updating()) {
    ApplySkinColors(false);
  } else {
    SendSkinCommand(FOwnerControl, SkinIndex_ >= 0 ? SKC_REFRESH : SKC_SKINREMOVED,
                    reinterpret_cast<LPARAM>(SkinManager()), 1);
  }
}

void TsCommonData::SetCustomColor(bool Value) {
  if (Value == FCustomColor) return;
  FCustomColor = Value;
  ApplySkinColors(true);
}

void TsCommonData::SetCustomFont(bool Value) {
  if (Value == FCustomFont) return;
  FCustomFont = Value;
  ApplySkinColors(true);
}

std::uint32_t TsCommonData::StateColor(int State) {
  if (!Skinned() || FCustomColor) return OwnerColor();
  TacSkinData* D = CommonSkinData();
  const TsGeneralData& G = D->gd[static_cast<size_t>(SkinIndex_)];
  const TsGenState& P = G.Props[static_cast<size_t>(State == 1 && G.States > 1 ? 1 : 0)];
  auto ParentColor = [this]() -> std::uint32_t {
    TWinControl* Par = FOwnerControl ? FOwnerControl->Parent() : nullptr;
    if (!Par) return GetSysColor(COLOR_BTNFACE);
    LRESULT C = SendSkinCommand(Par, SKC_GETBGCOLOR);
    return C ? static_cast<std::uint32_t>(C) : ColorToRGB(Par->Color());
  };
  if (P.Transparency <= 0) return static_cast<std::uint32_t>(P.Color) & 0xFFFFFF;
  if (P.Transparency >= 100) return ParentColor();
  return MixTwoColours(ParentColor(), static_cast<std::uint32_t>(P.Color), P.Transparency * 255 / 100) & 0xFFFFFF;
}

void TsCommonData::AnswerBGRequest(TacBGRequest& R) {
  const int State = FFocused || (FMouseAbove && !KindBGIgnoresHover(COC)) ? 1 : 0;
  if (R.DrawRequested) {
    if (BGChanged && FOwnerControl) SendSkinCommand(FOwnerControl, SKC_PREPARECACHE);
    if (FCacheBmp && !FCacheBmp->Empty() && !BGChanged) {
      FCacheBmp->CopyTo(R.TargetDC, R.R.left, R.R.top,
                        BmpRect(R.Offset.x, R.Offset.y, R.Offset.x + R.R.right - R.R.left,
                                R.Offset.y + R.R.bottom - R.R.top));
      R.BGKind = btCache;
      return;
    }
  }
  if (!Skinned() || FCustomColor) {
    R.BGKind = btFill;
    R.Color = OwnerColor();
    return;
  }
  TacSkinData* D = CommonSkinData();
  const TsGeneralData& G = D->gd[static_cast<size_t>(SkinIndex_)];
  const TsGenState& P = G.Props[static_cast<size_t>(std::min({State, G.States - 1, 2}))];
  auto CacheValid = [this] {
    return FCacheBmp && !FCacheBmp->Empty() && !BGChanged && FOwnerControl &&
           FCacheBmp->Width() == FOwnerControl->Width() && FCacheBmp->Height() == FOwnerControl->Height();
  };
  auto Rebuild = [this] {
    if (FOwnerControl) SendSkinCommand(FOwnerControl, SKC_PREPARECACHE);
  };
  const bool Plain = P.ImagePercent <= 0 && P.GradientPercent <= 0 && P.GradientArray.empty() && G.ImgTL < 0 &&
                     G.ImgTR < 0 && G.ImgBL < 0 && G.ImgBR < 0;
  if (P.Transparency == 0 && Plain) {
    R.BGKind = btFill;
    R.Color = StateColor(State);
    if (G.BorderIndex >= 0 && G.BorderIndex < static_cast<int>(D->ma.size()) &&
        !(D->ma[static_cast<size_t>(G.BorderIndex)].DrawMode & dmNotInState0)) {
      const TsMaskData& Mk = D->ma[static_cast<size_t>(G.BorderIndex)];
      // Children over the border take it from the picture, the rest is plain.
      if (FOwnerControl) R.FillRect = RECT{Mk.WL, Mk.WT, FOwnerControl->Width() - Mk.WR, FOwnerControl->Height() - Mk.WB};
      if (CacheValid()) R.Bmp = &FCacheBmp->Bmp();
    }
    if (R.DrawRequested && R.TargetDC) FillRectDC(R.TargetDC, R.R, R.Color);
    return;
  }
  if (P.Transparency < 100) {
    if (!CacheValid()) {
      if (FCacheBmp) FCacheBmp->Free();
      Rebuild();
    }
    if (!CacheValid()) {
      if (P.Transparency > 0) FUpdating = true;
      R.BGKind = btNotReady;
      R.Color = SkinManager()->GetGlobalColor();
      return;
    }
    R.BGKind = btCache;
    R.Bmp = &FCacheBmp->Bmp();
    return;
  }
  // See-through: the own picture when there is one, else the grandparent's.
  if (FCacheBmp) {
    if (!CacheValid()) Rebuild();
    if (CacheValid()) {
      R.BGKind = btCache;
      R.Bmp = &FCacheBmp->Bmp();
    } else {
      R.BGKind = btFill;
      R.Color = StateColor(0);
    }
    return;
  }
  if (TWinControl* Par = FOwnerControl ? FOwnerControl->Parent() : nullptr) {
    SendSkinCommand(Par, SKC_GETBG, reinterpret_cast<LPARAM>(&R));
    R.Offset.x += FOwnerControl->Left();
    R.Offset.y += FOwnerControl->Top();
    OffsetRect(&R.FillRect, -FOwnerControl->Left(), -FOwnerControl->Top());
  }
}

bool TsCommonData::OwnManager(LPARAM LParam) const {
  return reinterpret_cast<TsSkinManager*>(LParam) == SkinManager();
}

void TsCommonData::MouseEnter() {
  TsSkinManager* M = SkinManager();
  if (!Skinned() || FMouseAbove || !M) return;
  if (KindNoHover(COC) || (KindHoverIfAllowed(COC) && !gHoverForStdKinds)) return;
  // Only one speed button of a parent is hot at a time.
  if (TWinControl* P = FOwnerControl ? FOwnerControl->Parent() : nullptr) {
    for (int I = 0; I < P->ControlCount(); ++I) {
      TControl* C = P->Controls(I);
      if (C == FOwnerControl || WinControlOf(C)) continue;
      if (auto* CD = reinterpret_cast<TsCommonData*>(SendSkinCommand(C, SKC_GETCOMMONDATA));
          CD && CD->COC == COC_TsSpeedButton && CD->FMouseAbove)
        C->Perform(CM_MOUSELEAVE);
    }
  }
  FMouseAbove = true;
  if (WinControlOf(FOwnerControl))
    M->SetActiveControl(FOwnerControl);
  else
    M->SetActiveGraphControl(FOwnerControl);
  // Buttons (OwnGlow) start and stop theirs with their state animation.
  if (!KindBGIgnoresHover(COC) && !KindOwnGlow(COC)) ShowGlow(*this, 255);
}

void TsCommonData::MouseLeave() {
  if (!FMouseAbove) return;
  FMouseAbove = false;
  if (TsSkinManager* M = SkinManager()) M->ForgetControl(FOwnerControl);
  if (!KindBGIgnoresHover(COC) && !KindOwnGlow(COC)) HideGlow(GlowID, true);
}

void TsCommonData::AnnounceChild(HWND Child) {
  // A control made inside the owner is announced to its form. A child of
  // another process has no control here, whatever its properties hold.
  if (!IsOwnProcessWindow(Child)) return;
  TControl* C = TWinControl::FindControl(Child);
  if (!C || !FOwnerControl) return;
  TCustomForm* F = GetParentForm(FOwnerControl);
  if (!F) F = dynamic_cast<TCustomForm*>(FOwnerControl);
  if (F && F->HandleAllocated()) SendSkinCommand(F->WindowHandle(), SKC_CONTROLADDED, reinterpret_cast<LPARAM>(C));
}

void TsCommonData::PaintOuter(const TacOuterRequest& R) {
  TsSkinManager* M = SkinManager();
  if (!R.Bmp || !Skinned() || OuterVisibility == ovNone || !M || !M->Effects()->AllowOuterEffects() || !FOwnerControl)
    return;
  const BmpRect Bounds(R.Offset.x + FOwnerControl->Left(), R.Offset.y + FOwnerControl->Top(),
                       R.Offset.x + FOwnerControl->Left() + FOwnerControl->Width(),
                       R.Offset.y + FOwnerControl->Top() + FOwnerControl->Height());
  PaintOuterEffect(*CommonSkinData(), SkinIndex_, *R.Bmp, Bounds, 0, FOuterCache);
}

LRESULT TsCommonData::HandleCommand(TMessage& M, bool& Handled) {
  Handled = true;
  const TacSkinCommand Code = CommandOf(M.WParam);
  const std::uint16_t Low = CommandArg(M.WParam);
  auto* Windowed = WinControlOf(FOwnerControl);
  switch (Code) {
    case SKC_SKINLOADED:
      if (OwnManager(M.LParam)) {
        FCommonSkinData = nullptr;
        StopAnimation();
        UpdateIndexes(true);
        if (FCacheBmp) FCacheBmp->Free();
      }
      Handled = false;  // the owner repaints
      return 0;
    case SKC_SKINREMOVED:
      if (OwnManager(M.LParam)) {
        Stale();
        FCommonSkinData = nullptr;
        if (SkinIndex_ >= 0) {
          SkinIndex_ = -1;
          StopAnimation();
          if (FCacheBmp) FCacheBmp->Free();
          BGChanged = true;
          if (Windowed && Windowed->HandleAllocated())
            SetClassLongPtrW(Windowed->WindowHandle(), GCLP_HBRBACKGROUND,
                             reinterpret_cast<LONG_PTR>(GetSysColorBrush(COLOR_BTNFACE)));
        }
      }
      Handled = false;
      return 0;
    case SKC_REFRESH:
      if (OwnManager(M.LParam)) {
        Stale();
        StopAnimation();
        BGChanged = true;
        FUpdating = false;
        ApplySkinColors(true);
      }
      Handled = false;
      return 0;
    case SKC_UPDATEDONE:
      if (FUpdating) {
        FUpdating = false;
        if (!Updating()) Invalidate(false);
        if (Windowed) BroadcastSkinCommand(Windowed, SKC_UPDATEDONE);
      }
      return 0;
    case SKC_ISSKINNED: return Skinned() ? 1 : 0;
    case SKC_SETUPDATING: FUpdating = Low == 1; return 0;
    case SKC_ISUPDATING: {
      if (FUpdating) return 1;
      if (FCustomColor) return 0;
      if (Windowed) {
        if (BGChanged || !FCacheBmp || FCacheBmp->Empty()) SendSkinCommand(FOwnerControl, SKC_PREPARECACHE);
        return !FCacheBmp || FCacheBmp->Empty() ? 1 : 0;
      }
      return FCacheBmp && FOwnerControl &&
                     (FCacheBmp->Width() != FOwnerControl->Width() || FCacheBmp->Height() != FOwnerControl->Height())
                 ? 1
                 : 0;
    }
    case SKC_ISHALFVISIBLE: return HalfVisible ? 1 : 0;
    case SKC_SECTIONCHANGED: {
      const auto* Name = reinterpret_cast<const wchar_t*>(M.LParam);
      if (Name && UpperW(FSkinSection.empty() ? DefaultSection : FSkinSection) == Name) {
        Stale();
        Invalidate(false);
      }
      return 0;
    }
    case SKC_SETSECTION:
      if (!M.LParam) return 0;
      SetSkinSection(*reinterpret_cast<const std::wstring*>(M.LParam));
      return 1;
    case SKC_STOPANIM: StopAnimation(); return 0;
    case SKC_BGCHANGED:
      BGChanged = true;
      Stale();
      if (Windowed) BroadcastSkinCommand(Windowed, SKC_BGCHANGED, M.LParam, Low);
      return 0;
    case SKC_INVALIDATE:
      if (COC == COC_TsSpeedButton) {
        Handled = false;  // the speed button repaints itself, its cache kept
        return 0;
      }
      Invalidate(false);
      return 0;
    case SKC_ISBGCOMPLEX: return BGType != 0 || HalfVisible ? 1 : 0;
    case SKC_REPAINTIFMOVED: {
      const bool Was = BGChanged;
      BGChanged = BGChanged || RepaintIfMoved();
      Stale();
      StopAnimation();
      if (Low == 1 && Windowed && Windowed->HandleAllocated())
        RedrawWindow(Windowed->WindowHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      if (BGChanged != Was && Windowed)
        for (int I = 0; I < Windowed->ControlCount(); ++I)
          SendSkinCommand(Windowed->Controls(I), SKC_REPAINTIFMOVED, 0, 1);
      return 0;
    }
    case SKC_GETBGCOLOR: {
      if (!Skinned()) return static_cast<LRESULT>(OwnerColor());
      const TsGenState& P = CommonSkinData()->gd[static_cast<size_t>(SkinIndex_)].Props[0];
      if (P.Transparency <= 0) return static_cast<LRESULT>(static_cast<std::uint32_t>(P.Color) & 0xFFFFFF);
      TWinControl* Par = FOwnerControl ? FOwnerControl->Parent() : nullptr;
      std::uint32_t ParentC = Par ? (SendSkinCommand(Par, SKC_ISSKINNED) ? static_cast<std::uint32_t>(SendSkinCommand(Par, SKC_GETBGCOLOR))
                                                                          : ColorToRGB(Par->Color()))
                                  : GetSysColor(COLOR_BTNFACE);
      if (P.Transparency >= 100) return static_cast<LRESULT>(ParentC);
      // The percent counts against 256, not 100: skins are made to look right with that mix.
      const std::uint32_t Own = static_cast<std::uint32_t>(P.Color);
      std::uint32_t Out = 0;
      for (int Shift = 0; Shift <= 16; Shift += 8) {
        const int O = (Own >> Shift) & 0xFF, Pa = (ParentC >> Shift) & 0xFF;
        Out |= static_cast<std::uint32_t>(std::clamp(O + (Pa - O) * P.Transparency / 256, 0, 255)) << Shift;
      }
      return static_cast<LRESULT>(Out);
    }
    case SKC_SETHALFVISIBLE: HalfVisible = true; return 0;
    case SKC_PREPARECACHE: Handled = false; return 0;  // the owner paints; the hook clears BGChanged after
    case SKC_GETSKININDEX:
      if (M.LParam) reinterpret_cast<std::int32_t*>(M.LParam)[1] = SkinIndex_;
      return 0;
    case SKC_FREECACHE:
      if (Windowed) BroadcastSkinCommand(Windowed, SKC_FREECACHE);
      if (FCacheBmp) FCacheBmp->Free();
      BGChanged = true;
      Stale();
      return 0;
    case SKC_GETBG:
      if (M.LParam) AnswerBGRequest(*reinterpret_cast<TacBGRequest*>(M.LParam));
      return 0;
    case SKC_FONTCHANGED:
      if (OwnManager(M.LParam)) {
        BGChanged = true;
        Stale();
        if (Windowed) BroadcastSkinCommand(Windowed, SKC_FONTCHANGED, M.LParam);
      }
      return 0;
    case SKC_GETCOMMONDATA: return reinterpret_cast<LRESULT>(this);
    case SKC_SETPRINTDC:
      PrintDC = reinterpret_cast<HDC>(M.LParam);
      CtrlSkinState = PrintDC ? (CtrlSkinState | ACS_PRINTING) : (CtrlSkinState & ~ACS_PRINTING);
      return 0;
    case SKC_SCALECHANGED:
      CurrentPPI = static_cast<int>(M.LParam);
      FCommonSkinData = nullptr;
      UpdateIndexes(true);
      if (Windowed) BroadcastSkinCommand(Windowed, SKC_SCALECHANGED, M.LParam);
      Handled = false;
      return 0;
    case SKC_PAINTOUTER:
      if (M.LParam) PaintOuter(*reinterpret_cast<TacOuterRequest*>(M.LParam));
      return 0;
    case SKC_SCROLLCHANGED:
      if (Windowed) {
        if (Windowed->HandleAllocated())
          SetWindowPos(Windowed->WindowHandle(), nullptr, 0, 0, 0, 0,
                       SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        BroadcastSkinCommand(Windowed, SKC_SCROLLCHANGED);
      }
      return 0;
    case SKC_GETPPI: return CurrentPPI;
    case SKC_GETBOUNDS:
      if (M.LParam) {
        auto* R = reinterpret_cast<RECT*>(M.LParam);
        *R = FOwnerControl ? RECT{FOwnerControl->Left(), FOwnerControl->Top(), FOwnerControl->Left() + FOwnerControl->Width(),
                                  FOwnerControl->Top() + FOwnerControl->Height()}
                           : RECT{0, 0, 0, 0};
      }
      return 0;
    case SKC_ISOPAQUE: {
      TsSkinManager* Mg = SkinManager();
      if (Mg && Mg->SkinCommonInfo.Active) return 1;
      return FOwnerControl && (FOwnerControl->ControlStyle() & csOpaque) ? 0 : 1;
    }
    case SKC_GETSKINDATA: return reinterpret_cast<LRESULT>(CommonSkinData());
    case SKC_GETFONTSECTION: {
      auto* Req = reinterpret_cast<TacFontSectionRequest*>(M.LParam);
      if (!Req || !Skinned()) {
        Handled = false;
        return 0;
      }
      Req->Index = SkinIndex_;
      // See-through: the section below decides, as far down as one is solid.
      if (SectionIsSeeThrough(*CommonSkinData(), SkinIndex_, Req->State) && FOwnerControl && FOwnerControl->Parent()) {
        TWinControl* P = FOwnerControl->Parent();
        OffsetRect(&Req->R, P->Left(), P->Top());
        SendSkinCommand(P, SKC_GETFONTSECTION, M.LParam);
        return 0;
      }
      return 1;
    }
    default: Handled = false; return 0;
  }
}

// A form's update area composed in one off-screen picture (its background, then
// its windowless children) and copied to the window once. Under Wine each
// trip of a child through the window's context costs far more than its
// pixels: restoring a context's state selects its font again, and each font
// selection reads the X resources anew.
bool TsCommonData::PaintBuffered() {
  auto* F = dynamic_cast<TCustomForm*>(FOwnerControl);
  if (!F || COC != COC_TsSkinProvider || gBuffering || !F->HandleAllocated() || !Skinned() || F->OnPaint ||
      (F->ComponentState() & csDestroying))
    return false;
  bool Windowless = false;
  for (int I = 0; I < F->ControlCount() && !Windowless; ++I) Windowless = IsWindowlessChild(F->Controls(I));
  if (!Windowless) return false;
  const HWND Wnd = F->WindowHandle();
  RECT Client;
  GetClientRect(Wnd, &Client);
  TDibBitmap& Buf = PaintBuffer();
  if ((Buf.Width() < Client.right || Buf.Height() < Client.bottom) &&
      !Buf.SetSize(std::max(Buf.Width(), static_cast<int>(Client.right)),
                   std::max(Buf.Height(), static_cast<int>(Client.bottom))))
    return false;
  HDC BDC = Buf.Canvas();
  if (!BDC) return false;
  PAINTSTRUCT PS{};
  HDC DC = BeginPaint(Wnd, &PS);
  struct TDone {
    HWND Wnd;
    PAINTSTRUCT& PS;
    HDC BDC;
    ~TDone() {
      SelectClipRgn(BDC, nullptr);
      gBuffering = false;
      EndPaint(Wnd, &PS);
    }
  } Done{Wnd, PS, BDC};
  gBuffering = true;
  RECT R;
  if (!DC || !IntersectRect(&R, &PS.rcPaint, &Client)) return true;
  IntersectClipRect(BDC, R.left, R.top, R.right, R.bottom);
  F->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(BDC), reinterpret_cast<LPARAM>(BDC));
  PaintChildrenInto(Buf, F, R);
  BitBlt(DC, R.left, R.top, R.right - R.left, R.bottom - R.top, BDC, R.left, R.top, SRCCOPY);
  return true;
}

bool TsCommonData::HandleMessage(TMessage& M) {
  switch (M.Msg) {
    case WM_PAINT:
      if (M.WParam || !PaintBuffered()) return false;
      M.Result = 0;
      return true;
    case SKM_COMMAND: {
      bool Handled = false;
      LRESULT R = HandleCommand(M, Handled);
      if (Handled) M.Result = R;
      return Handled;
    }
    case WM_MOVE:
      if (Skinned()) {
        if (RepaintIfMoved()) BGChanged = true;
        HideGlow(GlowID, false);
      }
      return false;
    case WM_SIZE:
      if (Skinned()) {
        BGChanged = true;
        Stale();
        if (!IsAnimating()) HideGlow(GlowID, false);
      }
      CtrlSkinState &= ~(ACS_WIDTHCHANGING | ACS_HEIGHTCHANGING);
      return false;
    case WM_WINDOWPOSCHANGING: {
      auto* WP = reinterpret_cast<WINDOWPOS*>(M.LParam);
      if (WP && FOwnerControl && !(WP->flags & SWP_NOSIZE)) {
        if (WP->cx != FOwnerControl->Width()) CtrlSkinState |= ACS_WIDTHCHANGING;
        if (WP->cy != FOwnerControl->Height()) CtrlSkinState |= ACS_HEIGHTCHANGING;
      }
      return false;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (Skinned()) {
        FFocused = M.Msg == WM_SETFOCUS;
        BGChanged = true;
      }
      return false;
    case WM_SHOWWINDOW: StopAnimation(); return false;
    case CM_ENABLEDCHANGED:
    case WM_FONTCHANGE:
      FMouseAbove = false;
      FFocused = false;
      BGChanged = true;
      Stale();
      if (FOwnerControl && !FOwnerControl->Enabled()) HideGlow(GlowID, false);
      return false;
    case WM_UPDATEUISTATE: return Skinned();
    case WM_DPICHANGED: FCommonSkinData = nullptr; return false;
    case CM_VISIBLECHANGED:
      FCommonSkinData = nullptr;
      BGChanged = true;
      Stale();
      if (FOwnerControl && !FOwnerControl->Visible()) HideGlow(GlowID, false);
      return false;
    case WM_PARENTNOTIFY:
      if (LOWORD(M.WParam) == WM_CREATE) AnnounceChild(reinterpret_cast<HWND>(M.LParam));
      return false;
    case CM_MOUSEENTER:
      if (IsOwnMouseNotice(FOwnerControl, M)) MouseEnter();
      return false;
    case CM_MOUSELEAVE:
      if (IsOwnMouseNotice(FOwnerControl, M)) MouseLeave();
      return false;
    case CM_SHOWINGCHANGED:
      if (FOwnerControl && FOwnerControl->Visible()) Loaded(true);
      return false;
    default: return false;
  }
}

// ---------------------------------------------------------------------------

void PaintSectionToDC(int SkinIndex, const TCacheInfo& ParentBG, TacSkinData* SkinData, HDC DC, BmpPoint Offset,
                      const BmpRect& Rect, int State) {
  if (!DC || Rect.Width() <= 0 || Rect.Height() <= 0 || Rect.Left < 0 || Rect.Top < 0) return;
  TDibBitmap Tmp(Rect.Width(), Rect.Height());
  if (Tmp.Empty()) return;
  PaintSectionByIndex(SkinIndex, ParentBG, -1, -1, SkinData, Tmp.Bmp(), Offset, Tmp.Bmp().Bounds(), State);
  const int Saved = SaveDC(DC);
  Tmp.CopyTo(DC, Rect.Left, Rect.Top);
  RestoreDC(DC, Saved);
}

void PaintCacheToDC(TWinControl* Control, TsCommonData& CD, POINT Origin, bool RestoreFirst, HDC DC,
                    const RECT& Clip) {
  TDibBitmap* Cache = CD.CacheBmp();
  if (!Control || !Cache || Cache->Empty() || !DC) return;
  if (RestoreFirst) RestoreCorners(CD, Cache->Bmp(), 0, kCornersAll);
  const int Saved = SaveDC(DC);
  IntersectClipRect(DC, Clip.left, Clip.top, Clip.right, Clip.bottom);
  TsSkinManager* M = CD.SkinManager();
  const bool KeepGraphic = M && M->Options()->StdImgTransparency();
  for (int I = 0; I < Control->ControlCount(); ++I) {
    TControl* C = Control->Controls(I);
    if (!C->Visible()) continue;
    RECT B{C->Left(), C->Top(), C->Left() + C->Width(), C->Top() + C->Height()}, X;
    if (!IntersectRect(&X, &B, &Clip)) continue;
    const bool Windowless = WinControlOf(C) == nullptr;
    if (Windowless && KeepGraphic) continue;
    if ((C->ControlStyle() & csOpaque) || Windowless || SendSkinCommand(C, SKC_ISOPAQUE) == 1)
      ExcludeClipRect(DC, B.left, B.top, B.right, B.bottom);
  }
  Cache->CopyTo(DC, Clip.left, Clip.top,
                BmpRect(Origin.x + Clip.left, Origin.y + Clip.top, Origin.x + Clip.right, Origin.y + Clip.bottom));
  RestoreDC(DC, Saved);
}

void PaintOuterEffects(TsCommonData& CommonData, TWinControl* OwnerCtrl, POINT Offset) {
  TsSkinManager* M = CommonData.SkinManager();
  if (!OwnerCtrl || !CommonData.Skinned() || !M || !M->Effects()->AllowOuterEffects() || !CommonData.CacheBmp() ||
      CommonData.CacheBmp()->Empty())
    return;
  TacOuterRequest R{&CommonData.CacheBmp()->Bmp(), Offset, 2};
  for (int I = 0; I < OwnerCtrl->ControlCount(); ++I) {
    TControl* C = OwnerCtrl->Controls(I);
    if (C->Visible() && !(C->ComponentState() & csDestroying) && SendSkinCommand(C, SKC_ISSKINNED))
      SendSkinCommand(C, SKC_PAINTOUTER, reinterpret_cast<LPARAM>(&R), 2);
  }
}

void PaintWindowlessChildren(HDC DC, TWinControl* Control, POINT Offset) {
  static bool Busy = false;
  if (Busy || !Control || !DC) return;
  RECT Box;
  if (GetClipBox(DC, &Box) == NULLREGION) {
    SendSkinCommand(Control, SKC_SETHALFVISIBLE);
    return;
  }
  Busy = true;
  // The composing picture of buffered paints when it is free (no picture made
  // and freed each time), else one of the control's size.
  const bool Shared = !gBuffering;
  struct TFree {
    bool& B;
    bool Shared;
    ~TFree() {
      B = false;
      if (Shared) gBuffering = false;
    }
  } Free{Busy, Shared};
  if (Shared) gBuffering = true;
  TacBGRequest Own;
  SendSkinCommand(Control, SKC_GETBG, reinterpret_cast<LPARAM>(&Own));
  std::unique_ptr<TDibBitmap> Private;
  TDibBitmap* Off = nullptr;
  for (int I = 0; I < Control->ControlCount(); ++I) {
    TControl* C = Control->Controls(I);
    if (!IsWindowlessChild(C)) continue;
    RECT B{C->Left() + Offset.x, C->Top() + Offset.y, C->Left() + Offset.x + C->Width(), C->Top() + Offset.y + C->Height()};
    if (!RectVisible(DC, &B)) continue;
    if (!Off) {
      const int W = Control->Width(), H = Control->Height();
      if (Shared) {
        TDibBitmap& Buf = PaintBuffer();
        if ((Buf.Width() >= W && Buf.Height() >= H) || Buf.SetSize(std::max(Buf.Width(), W), std::max(Buf.Height(), H)))
          Off = &Buf;
      }
      if (!Off) {
        Private = std::make_unique<TDibBitmap>(W, H);
        Off = Private.get();
      }
      if (Off->Empty() || !Off->Canvas()) return;
    }
    // The background under the child.
    const BmpRect CR(C->Left(), C->Top(), C->Left() + C->Width(), C->Top() + C->Height());
    if (C->ControlStyle() & csOpaque) {
      FillRectDC(Off->Canvas(), RECT{CR.Left, CR.Top, CR.Right, CR.Bottom},
                 static_cast<TColor>(SendSkinCommand(Control, SKC_GETBGCOLOR)));
    } else if (Own.BGKind == btCache && Own.Bmp) {
      GdiFlush();
      CopyPiece(Off->Bmp(), BmpPoint(CR.Left, CR.Top), *Own.Bmp,
                BmpRect(Own.Offset.x + CR.Left, Own.Offset.y + CR.Top, Own.Offset.x + CR.Right,
                        Own.Offset.y + CR.Bottom));
    } else {
      FillRectDC(Off->Canvas(), RECT{CR.Left, CR.Top, CR.Right, CR.Bottom}, static_cast<TColor>(Own.Color));
    }
    PaintChildInto(*Off, C, RECT{CR.Left, CR.Top, CR.Right, CR.Bottom});
    // Pixels the child left as the key colour show what is already there.
    TransparentBlt(DC, B.left, B.top, CR.Width(), CR.Height(), Off->Canvas(), CR.Left, CR.Top, CR.Width(), CR.Height(),
                   RGB(255, 0, 255));
  }
}

}  // namespace cb
