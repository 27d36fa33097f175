#include "sSkinProvider.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "acBorderForm.h"
#include "acDwm.h"
#include "acRegion.h"
#include "sSkinManager.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/sSkinText.h"
#include "skin/paint/section/sGraphUtils.h"

namespace cb {

namespace {

constexpr UINT_PTR FadeTimerBase = 0xAC50;  // + button slot
constexpr int FadeIterations = 6;           // steps of 12 ms
constexpr unsigned FadeInterval = 12;
constexpr UINT WM_SYSMENU_AT_CURSOR = 0x313;

bool IsSkinnedMessage(UINT Msg) { return Msg == SKM_COMMAND; }
int XOf(LPARAM L) { return static_cast<short>(LOWORD(L)); }
int YOf(LPARAM L) { return static_cast<short>(HIWORD(L)); }

}  // namespace

bool LayeredWindowsAvailable() {
  static const bool Available = [] {
    HMODULE User = GetModuleHandleW(L"user32.dll");
    return User && GetProcAddress(User, "UpdateLayeredWindow") && GetProcAddress(User, "SetLayeredWindowAttributes");
  }();
  return Available;
}

TsSkinProvider* ProviderOfWindow(HWND Wnd) {
  TWinControl* C = TWinControl::FindControl(Wnd);  // this process's windows only
  if (!C) return nullptr;
  return reinterpret_cast<TsSkinProvider*>(C->Perform(SKM_COMMAND, SkinCommand(SKC_GETPROVIDER), 0));
}

// ---------------------------------------------------------------------------
// Life

TsSkinProvider::TsSkinProvider(TCustomForm* AForm) : Form(AForm) {
  // One provider per form: a second one stays inert.
  if (Form->Perform(SKM_COMMAND, SkinCommand(SKC_GETPROVIDER), 0) != 0) {
    FDetached = true;
    return;
  }
  FCommonData = std::make_unique<TsCommonData>(Form, COC_TsSkinProvider);
  FCommonData->DefaultSection = L"FORM";
  TempBmp = std::make_unique<TDibBitmap>();
  // Newest hook first: the provider sees the form's messages before its binding.
  Form->AddWindowHook(HookId, [this](TMessage& M, const TWindowHookNext& Next) { WndHook(M, Next); });
  ButtonClose.cpHitCode = HTCLOSE;
  ButtonMax.cpHitCode = HTMAXBUTTON;
  ButtonMin.cpHitCode = HTMINBUTTON;
  ButtonHelp.cpHitCode = HTHELP;
}

TsSkinProvider::~TsSkinProvider() {
  if (FDetached && !FCommonData) return;
  Detach();
}

// One caption font for all the forms that share its name, height and
// charset: a dialog opened again and again finds it made and its glyphs known.
struct TacCaptionFont {
  HFONT Handle = nullptr;
  std::wstring Name;
  int Height = 0, Charset = 0;
  TacCaptionFont(const std::wstring& AName, int AHeight, int ACharset)
      : Handle(CreateFontW(AHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, static_cast<DWORD>(ACharset), 0, 0,
                           CLEARTYPE_QUALITY, 0, AName.c_str())),
        Name(AName), Height(AHeight), Charset(ACharset) {}
  ~TacCaptionFont() {
    if (Handle) DeleteObject(Handle);
  }
  TacCaptionFont(const TacCaptionFont&) = delete;
  TacCaptionFont& operator=(const TacCaptionFont&) = delete;
};

namespace {

// Lives as long as a provider holds it.
std::shared_ptr<TacCaptionFont> CaptionFont(const std::wstring& Name, int Height, int Charset) {
  static std::weak_ptr<TacCaptionFont> Last;
  if (auto F = Last.lock(); F && F->Name == Name && F->Height == Height && F->Charset == Charset) return F;
  auto F = std::make_shared<TacCaptionFont>(Name, Height, Charset);
  Last = F;
  return F;
}

}  // namespace

void TsSkinProvider::FreeCaptionFont() { FCaptionFont.reset(); }

void TsSkinProvider::Detach() {
  // Fades, the border window and the capture go before the hooks come off,
  // so no tick or forwarded message reaches a provider on its way out.
  KillAnimations();
  BorderForm.reset();
  if (biClicked && Wnd() && GetCapture() == Wnd()) {
    biClicked = false;
    ReleaseCapture();
  }
  if (!FDetached) {
    FDetached = true;
    Form->RemoveWindowHook(HookId);
    RemoveRegion();
    if (HWND W = Wnd(); W && !(Form->ComponentState() & csDestroying)) {
      SetWindowPos(W, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      InvalidateRect(W, nullptr, TRUE);
    }
  }
  FCommonData.reset();
  FreeCaptionFont();
}

HWND TsSkinProvider::Wnd() const { return Form ? Form->WindowHandle() : nullptr; }
TsSkinManager* TsSkinProvider::Manager() const { return DefaultManager(); }
TacSkinData* TsSkinProvider::Data() { return FCommonData ? FCommonData->CommonSkinData() : nullptr; }

bool TsSkinProvider::Skinned() const {
  if (FDetached || !FCommonData || !Form || (Form->ComponentState() & csDestroying)) return false;
  TsSkinManager* M = Manager();
  return M && M->SkinCommonInfo.Active && FCommonData->Skinned(true) && DrawNonClientArea;
}

bool TsSkinProvider::ExtendedBorders() {
  TsSkinManager* M = Manager();
  if (!M || !M->ExtendedBordersValue() || !AllowExtBorders || !DrawNonClientArea || !LayeredWindowsAvailable())
    return false;
  if (Form->BorderStyle() == bsNone || Form->Parent()) return false;
  // The manager may leave a maximised window its own frame: no border window then.
  HWND W = Wnd();
  if (W && IsZoomed(W) && M->Options() && M->Options()->NativeBordersMaximized()) return false;
  return true;
}

void TsSkinProvider::InitRT() {
  if (!RTInit) return;
  RTInit = false;
  PrepareForm();
}

void TsSkinProvider::PrepareForm() {
  if (!FCommonData || !Wnd()) return;
  TsSkinManager* M = Manager();
  if (!M || !M->SkinCommonInfo.Active) return;
  // With composition on, the manager would paint its own frame over ours.
  if (DwmCompositionEnabled()) {
    const BOOL OwnFrame = DrawNonClientArea;
    DwmSetWindowAttributeRT(Wnd(), acDwmNCRenderingPolicy, &OwnFrame, sizeof OwnFrame);
  }
  FCommonData->Loaded(false);
  TacSkinData* D = Data();
  FTitleSkinIndex = D ? M->SkinCommonInfo.Sections[ssFormTitle] : -1;
  FCaptionSkinIndex = -1;
  FHeaderIndex = D ? M->SkinCommonInfo.Sections[ssFormHeader] : -1;
  if (UseGlobalColor && !FCommonData->GetCustomColor()) Form->SetColor(static_cast<TColor>(M->GetGlobalColor()));
  if (HWND W = Wnd(); W && M->Brush(0))
    SetClassLongPtrW(W, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(M->Brush(0)));
  FrameChanged();
  RgnChanged = true;
  MetricsChanged();
}

// ---------------------------------------------------------------------------
// Geometry

TacFrameMetrics TsSkinProvider::Metrics() {
  TacFrameMetrics FM;
  HWND W = Wnd();
  if (!W) return FM;
  RECT WR{};
  GetWindowRect(W, &WR);
  const int FormW = WR.right - WR.left, FormH = WR.bottom - WR.top;
  // Asked many times per message; each reading is a trip to the window system.
  if (FMetricsValid && FMetrics.FormW == FormW && FMetrics.FormH == FormH && FMetrics.Extended == ExtendedBorders() &&
      FMetricsSkin == Data())
    return FMetrics;
  POINT O{0, 0};
  ClientToScreen(W, &O);
  // The system's own frame as the window has it (equal to the density's
  // metrics on Windows; measured, so a frame that differs cannot shift the image).
  FM.SF = std::max(0, static_cast<int>(O.x - WR.left));
  FM.SC = CaptionHeight(false) ? std::max(0, static_cast<int>(O.y - WR.top) - FM.SF) : 0;
  FM.Extended = ExtendedBorders();
  TacSkinData* D = Data();
  if (FM.Extended && D) {
    FM.BW = std::max(1, D->ExBorderWidth);
    FM.TH = FM.SC ? (IsZoomed(W) ? D->ExMaxHeight : D->ExTitleHeight) : 0;
    FM.L = std::max(0, D->FormShadowSize.Left);
    FM.T = std::max(0, D->FormShadowSize.Top);
    FM.R = std::max(0, D->FormShadowSize.Right);
    FM.B = std::max(0, D->FormShadowSize.Bottom);
    FM.Width = FormW + 2 * (FM.BW - FM.SF) + FM.L + FM.R;
    FM.Height = FormH + (FM.TH - FM.SC - FM.SF) + (FM.BW - FM.SF) + FM.T + FM.B;
  } else {
    FM.BW = FM.SF;
    FM.TH = FM.SC;
    FM.Width = FormW;
    FM.Height = FormH;
  }
  FM.FormW = FormW;
  FM.FormH = FormH;
  FMetrics = FM;
  FMetricsSkin = D;
  FMetricsValid = true;
  return FM;
}

int TsSkinProvider::CaptionHeight(bool CheckSkin) {
  HWND W = Wnd();
  if (!W) return 0;
  const bool Caption = (GetWindowLongW(W, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
  if (!Caption && !IsIconic(W)) return 0;
  if (CheckSkin && ExtendedBorders())
    if (TacSkinData* D = Data()) return D->ExTitleHeight;
  const bool Small =
      Form->BorderStyle() == bsToolWindow || Form->BorderStyle() == bsSizeToolWin || (Form->BorderStyle() == bsDialog);
  return GetSystemMetrics(Small && !IsIconic(W) ? SM_CYSMCAPTION : SM_CYCAPTION);
}

void TsSkinProvider::ShadowSize(RECT& R) {
  const TacFrameMetrics FM = Metrics();
  R = RECT{FM.L, FM.T, FM.R, FM.B};
}

int TsSkinProvider::OffsetX() {
  const TacFrameMetrics FM = Metrics();
  return FM.Extended ? FM.BW + FM.L : FM.SF;
}

int TsSkinProvider::OffsetY() {
  const TacFrameMetrics FM = Metrics();
  return FM.Extended ? FM.TH + FM.T : FM.SF + FM.SC;
}

POINT TsSkinProvider::ScreenToImage(POINT P) {
  RECT WR{};
  GetWindowRect(Wnd(), &WR);
  const TacFrameMetrics FM = Metrics();
  if (!FM.Extended) return POINT{P.x - WR.left, P.y - WR.top};
  // The image's client origin lies on the window's client origin.
  const int X = WR.left - (FM.BW + FM.L - FM.SF), Y = WR.top - (FM.T + FM.TH - FM.SF - FM.SC);
  return POINT{P.x - X, P.y - Y};
}

// ---------------------------------------------------------------------------
// Title layout and painting

bool TsSkinProvider::ButtonEnabled(const TsCaptionButton& Btn) const {
  HWND W = Wnd();
  if (!W) return false;
  // Minimise and maximise/restore follow the border icons and the window's
  // state: the system greys its menu's items by state and renews them only
  // when that menu is next shown, so they go stale after each change.
  const TBorderIcons BI = Form->BorderIcons();
  if (Btn.cpHitCode == HTMAXBUTTON) return (BI & biMaximize) && !IsIconic(W);
  if (Btn.cpHitCode == HTMINBUTTON) return (BI & biMinimize) != 0;
  if (Btn.cpHitCode != HTCLOSE) return true;
  // Close is greyed only on purpose (a window that may not be closed).
  HMENU Sys = GetSystemMenu(W, FALSE);
  const UINT S = Sys ? GetMenuState(Sys, SC_CLOSE, MF_BYCOMMAND) : static_cast<UINT>(-1);
  return S == static_cast<UINT>(-1) || !(S & (MF_GRAYED | MF_DISABLED));
}

void TsSkinProvider::LayoutTitle(const TacFrameMetrics& FM) {
  TacSkinData* D = Data();
  TsSkinManager* M = Manager();
  const TFormBorderStyle BS = Form->BorderStyle();
  const TBorderIcons BI = Form->BorderIcons();
  HWND W = Wnd();
  const bool Sys = (BI & biSystemMenu) && BS != bsNone;
  const bool Tool = BS == bsToolWindow || BS == bsSizeToolWin;
  const bool MinMaxStyle = BS == bsSingle || BS == bsSizeable;
  BigButtons = BS == bsSingle || BS == bsSizeable || BS == bsDialog;
  ButtonMin.Visible = Sys && (BI & biMinimize) && (MinMaxStyle || IsIconic(W));
  ButtonMax.Visible = Sys && (BI & biMaximize) && MinMaxStyle;
  ButtonClose.Visible = Sys;
  ButtonHelp.Visible = (BI & biHelp) && Sys;
  const bool Alone = !ButtonMin.Visible && !ButtonMax.Visible;
  ButtonClose.cpGlyphType = Tool ? tgSmallClose : Alone ? tgCloseAlone : tgClose;
  ButtonMax.cpGlyphType = Tool ? (IsZoomed(W) ? tgSmallNormal : tgSmallMax) : (IsZoomed(W) ? tgNormal : tgMax);
  ButtonMin.cpGlyphType =
      Tool ? tgSmallMin : (IsIconic(W) && Form != (Application ? Application->MainForm() : nullptr) ? tgNormal : tgMin);
  ButtonHelp.cpGlyphType = Tool ? tgSmallHelp : tgHelp;
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) {
    B->cpHaveAlignment = !Tool;
    B->Enabled = ButtonEnabled(*B);
  }

  const int Spacing = D ? D->Spacing : 4;
  const int L = FM.Extended ? FM.L + (D ? D->BILeftMargin : 0) : 0;
  const int X0 = FM.BW + L;
  int X1 = FM.Width - std::max(4, FM.BW) - (FM.Extended ? FM.R + (D ? D->BIRightMargin : 0) : 0);
  FHeaderHeight = FM.Extended ? FM.TH + FM.T : FM.SF + FM.TH + FM.T;
  // A maximised title of its own height is centred without the skin's offset.
  const bool OwnMaxHeight = W && IsZoomed(W) && D && D->ExMaxHeight != D->ExTitleHeight;
  VCenter = FM.Extended ? FHeaderHeight - FM.TH / 2 + (D && !OwnMaxHeight ? D->ExCenterOffs : 0) : FM.SC / 2 + FM.SF / 2;
  if (W && IsZoomed(W)) VCenter += 2;

  auto GlyphSize = [&](TacTitleGlyph G) -> SIZE {
    const int Idx = D ? D->TitleGlyphs[static_cast<size_t>(G)] : -1;
    if (Idx < 0 || Idx >= static_cast<int>(D->ma.size())) return SIZE{21, 21};
    return SIZE{D->ma[static_cast<size_t>(Idx)].Width, D->ma[static_cast<size_t>(Idx)].Height};
  };
  const int CloseH = GlyphSize(ButtonClose.cpGlyphType).cy;
  const bool TopAligned = M && M->SkinCommonInfo.BIVAlign == 1;
  int X = X1;
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) {
    if (!B->Visible) {
      B->cpRect = RECT{0, 0, 0, 0};
      continue;
    }
    if (B == &ButtonHelp) X -= Spacing;
    const SIZE S = GlyphSize(B->cpGlyphType);
    const int Top = TopAligned && B->cpHaveAlignment ? FM.T + (D ? D->BITopMargin : 0) : VCenter - CloseH / 2;
    B->cpRect = RECT{X - S.cx, Top, X, Top + S.cy};
    X -= S.cx + (BigButtons && D ? D->BISpacing : 0);
  }
  // Icon.
  const bool Icon = ShowAppIcon && (BS == bsSingle || BS == bsSizeable) && (GetWindowLongW(W, GWL_STYLE) & WS_SYSMENU);
  if (Icon && FM.TH > 0) {
    const int Avail = FM.TH - (D ? D->BITopMargin : 0);
    const int Size = Avail < 48 ? 16 : Avail <= 64 ? 24 : 32;
    FIconRect = RECT{X0, VCenter - Size / 2, X0 + Size, VCenter - Size / 2 + Size};
  } else {
    FIconRect = RECT{X0, 0, X0, 0};
  }
  (void)X1;
}

void TsSkinProvider::PaintShadow(Bitmap32& Bmp, const TacFrameMetrics& FM, const std::vector<BmpRect>& Clear) {
  TacSkinData* D = Data();
  if (!D || !FM.Extended) return;
  const Bitmap32* Tpl = FormActive ? D->ShdaTemplate.get() : D->ShdiTemplate.get();
  if (!Tpl || Tpl->Empty()) return;
  const int TW = Tpl->Width(), TH = Tpl->Height(), W = FM.Width, H = FM.Height;
  const int L = FM.L, T = FM.T, R = FM.R, B = FM.B;
  if (L + R > TW || T + B > TH) return;
  // A nine-grid whose margins are the shadow's; only the band outside the
  // frame is drawn, the frame lies opaque over the rest.
  struct Piece {
    BmpRect Dst, Src;
  };
  const Piece Pieces[] = {
      {{0, 0, L, T}, {0, 0, L, T}},
      {{L, 0, W - R, T}, {L, 0, TW - R, T}},
      {{W - R, 0, W, T}, {TW - R, 0, TW, T}},
      {{0, T, L, H - B}, {0, T, L, TH - B}},
      {{W - R, T, W, H - B}, {TW - R, T, TW, TH - B}},
      {{0, H - B, L, H}, {0, TH - B, L, TH}},
      {{L, H - B, W - R, H}, {L, TH - B, TW - R, TH}},
      {{W - R, H - B, W, H}, {TW - R, TH - B, TW, TH}},
  };
  for (const Piece& P : Pieces)
    if (P.Dst.Width() > 0 && P.Dst.Height() > 0 && P.Src.Width() > 0 && P.Src.Height() > 0)
      StretchNearest(Bmp, P.Dst, *Tpl, P.Src);
  // Where the frame's corners are clear the grid goes on below them, the
  // middle stretched as the pieces above stretch theirs.
  const auto Map = [](int X, int Size, int Lo, int Hi, int TplSize) {
    if (X < Lo) return X;
    if (X >= Size - Hi) return TplSize - (Size - X);
    const long long D = Size - Lo - Hi, S = TplSize - Lo - Hi;
    return Lo + static_cast<int>((2LL * (X - Lo) + 1) * S / (2 * D));
  };
  if (W - L - R <= 0 || H - T - B <= 0) return;
  for (const BmpRect& C : Clear)
    for (int Y = C.Top; Y < C.Bottom; ++Y) {
      std::uint32_t* Line = Bmp.Line(Y);
      const std::uint32_t* From = Tpl->Line(Map(Y, H, T, B, TH));
      for (int X = C.Left; X < C.Right; ++X) Line[X] = From[Map(X, W, L, R, TW)];
    }
}

void TsSkinProvider::PaintIcon(Bitmap32& Bmp) {
  HWND W = Wnd();
  if (FIconRect.right <= FIconRect.left || !W) return;
  HICON Icon = reinterpret_cast<HICON>(SendMessageW(W, WM_GETICON, ICON_SMALL2, 0));
  if (!Icon) Icon = reinterpret_cast<HICON>(GetClassLongPtrW(W, GCLP_HICONSM));
  if (!Icon) Icon = reinterpret_cast<HICON>(GetClassLongPtrW(W, GCLP_HICON));
  if (!Icon) return;
  const int S = FIconRect.right - FIconRect.left;
  if (Icon != FIconOf || S != FIconSize) {
    // The system draws an icon slowly; its pixels with their alpha are kept
    // until the icon or its size changes.
    TDibBitmap Mask(S, S);
    DrawIconEx(Mask.Canvas(), 0, 0, Icon, S, S, 0, nullptr, DI_NORMAL);
    GdiFlush();
    FIconPic = Bitmap32(S, S);
    CopyPiece(FIconPic, BmpPoint(0, 0), Mask.Bmp(), Mask.Bmp().Bounds());
    FIconHasAlpha = false;
    for (int Y = 0; Y < S && !FIconHasAlpha; ++Y)
      for (int X = 0; X < S; ++X)
        if (FIconPic.Line(Y)[X] >> 24) {
          FIconHasAlpha = true;
          break;
        }
    FIconOf = Icon;
    FIconSize = S;
  }
  // The icon goes through a picture of its own so its alpha lands on the title.
  const BmpRect At(FIconRect.left, FIconRect.top, FIconRect.right, FIconRect.bottom);
  if (FIconHasAlpha) {
    Bitmap32 Pic(S, S);
    CopyPiece(Pic, BmpPoint(0, 0), Bmp, At);
    BlendByOwnAlpha(Pic, FIconPic);
    CopyPiece(Bmp, BmpPoint(At.Left, At.Top), Pic, Pic.Bounds());
    return;
  }
  // Without alpha its masks act on the title's own pixels.
  TDibBitmap Pic(S, S);
  CopyPiece(Pic.Bmp(), BmpPoint(0, 0), Bmp, At);
  DrawIconEx(Pic.Canvas(), 0, 0, Icon, S, S, 0, nullptr, DI_NORMAL);
  GdiFlush();
  for (int Y = 0; Y < S; ++Y)
    for (int X = 0; X < S; ++X) Pic.Bmp().Line(Y)[X] |= 0xFF000000u;
  CopyPiece(Bmp, BmpPoint(At.Left, At.Top), Pic.Bmp(), Pic.Bmp().Bounds());
}

void TsSkinProvider::DrawButton(Bitmap32& Bmp, TsCaptionButton& Btn, bool FromStrip) {
  TacSkinData* D = Data();
  if (!D || !Btn.Visible) return;
  const int Idx = D->TitleGlyphs[static_cast<size_t>(Btn.cpGlyphType)];
  if (Idx < 0 || Idx >= static_cast<int>(D->ma.size())) return;
  const TsMaskData& Mk = D->ma[static_cast<size_t>(Idx)];
  const RECT& R = Btn.cpRect;
  const int W = R.right - R.left, H = R.bottom - R.top;
  if (W <= 0 || H <= 0) return;
  if (FromStrip && !TempBmp->Empty())
    CopyPiece(Bmp, BmpPoint(R.left, R.top), TempBmp->Bmp(),
              BmpRect(R.left - TempBmpLeft, R.top - TempBmpTop, R.right - TempBmpLeft, R.bottom - TempBmpTop));
  const TCacheInfo CI = MakeCacheInfo(Bmp);
  const int Level = Btn.cpTimer ? Btn.cpTimer->Level : -1;
  const int State = Btn.cpTimer ? 0 : Btn.cpState;
  const bool Dim = (!FormActive || !Btn.Enabled) && State == 0;
  if (Level <= 0 || Btn.cpState == 2) {
    DrawCornerImage(Bmp, BmpPoint(R.left, R.top), Btn.cpTimer && Btn.cpState != 2 ? 0 : Btn.cpState, CI, Mk,
                    Dim ? 0 : 1);
    return;
  }
  // A fade: the normal and the hot look mixed by the fade's level.
  Bitmap32 Normal(W, H), Hot(W, H);
  CopyPiece(Normal, BmpPoint(0, 0), Bmp, BmpRect(R.left, R.top, R.right, R.bottom));
  CopyPiece(Hot, BmpPoint(0, 0), Normal, Normal.Bounds());
  DrawCornerImage(Normal, BmpPoint(0, 0), 0, MakeCacheInfo(Normal), Mk, Dim ? 0 : 1);
  DrawCornerImage(Hot, BmpPoint(0, 0), 1, MakeCacheInfo(Hot), Mk, 1);
  Bitmap32 Out(W, H);
  CrossFade(Out, Normal, Hot, std::clamp(Level, 0, 255));
  CopyPiece(Bmp, BmpPoint(R.left, R.top), Out, Out.Bounds());
}

void TsSkinProvider::PaintCaptionText(const TacFrameMetrics& FM, int State, const RECT& TextRect) {
  const std::wstring Text = Form->Caption();
  if (Text.empty() || TextRect.right <= TextRect.left) return;
  TDibBitmap* Cache = FCommonData->CacheBmp();
  TsSkinManager* M = Manager();
  TacSkinData* D = Data();
  HDC DC = Cache->Canvas();
  std::wstring FontName = M ? M->CurrentFontName() : std::wstring();
  if (FontName.empty()) FontName = Form->Font()->Name();
  // The density the frame is drawn for (the skin data chosen for the form).
  const int PPI = D && D->PPI > 0 ? D->PPI : 96;
  const int Height = -MulDiv(13, PPI, 96);
  const int Charset = static_cast<int>(Form->Font()->Charset());
  if (!FCaptionFont || Height != FCaptionFont->Height || Charset != FCaptionFont->Charset ||
      FontName != FCaptionFont->Name)
    FCaptionFont = CaptionFont(FontName, Height, Charset);
  HGDIOBJ Old = SelectObject(DC, FCaptionFont->Handle);
  TEXTMETRICW TM{};
  GetTextMetricsW(DC, &TM);
  RECT R = TextRect;
  R.top = VCenter - 1 - TM.tmHeight / 2;
  R.bottom = R.top + TM.tmHeight;
  UINT Flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
  if (CaptionAlignment == taCenter) Flags |= DT_CENTER;
  if (CaptionAlignment == taRightJustify) Flags |= DT_RIGHT;
  const int Section = FTitleSkinIndex >= 0 ? FTitleSkinIndex : FCommonData->SkinIndex();
  DrawSectionText(DC, Text, true, M, State, Section, D, Flags, R);
  SelectObject(DC, Old);
  GdiFlush();
  // GDI leaves text pixels without alpha; the title is opaque.
  Bitmap32& B = Cache->Bmp();
  const int Y0 = std::max(0L, R.top), Y1 = std::min<LONG>(B.Height(), R.bottom);
  const int X0 = std::max(0L, R.left), X1 = std::min<LONG>(B.Width(), R.right);
  for (int Y = Y0; Y < Y1; ++Y)
    for (int X = X0; X < X1; ++X) B.Line(Y)[X] |= 0xFF000000u;
  (void)FM;
}

void TsSkinProvider::PaintTitle(Bitmap32& Bmp, const TacFrameMetrics& FM, int State) {
  TacSkinData* D = Data();
  const BmpRect Band(FM.L, FM.T, FM.Width - FM.R, std::min(FM.Height - FM.B, FHeaderHeight));
  if (FTitleSkinIndex >= 0 && Band.Height() > 0 && Band.Width() > 0)
    PaintSectionByIndex(FTitleSkinIndex, MakeCacheInfo(Bmp), -1, -1, D, Bmp, BmpPoint(0, 0), Band, State);
  PaintIcon(Bmp);
  // The caption between the icon and the buttons.
  const int Spacing = D ? D->Spacing : 4;
  int Left = FIconRect.right + (FIconRect.right > FIconRect.left ? Spacing : 0) + (D ? D->BILeftMargin : 0);
  if (FIconRect.right == FIconRect.left) Left = FIconRect.left + Spacing;
  int Right = FM.Width - FM.R - FM.BW;
  for (const TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp})
    if (B->Visible) Right = std::min<int>(Right, B->cpRect.left);
  Right -= Spacing;
  PaintCaptionText(FM, State, RECT{Left, FM.T, Right, FHeaderHeight});
}

namespace {

// One corner piece of a border mask as the section painter lays it: the
// state image's corner at Src (SX, SY) drawn 1:1 at Dst.
struct TCornerPiece {
  const TsMaskData* Mk = nullptr;
  const Bitmap32* Src = nullptr;
  int SX = 0, SY = 0;
  BmpRect Dst;
  bool Has(int X, int Y) const { return Mk && X >= Dst.Left && X < Dst.Right && Y >= Dst.Top && Y < Dst.Bottom; }
  // What lies below shows through this pixel of the piece.
  bool Clear(int X, int Y) const {
    const int PX = SX + X - Dst.Left, PY = SY + Y - Dst.Top;
    if (PX < 0 || PY < 0 || PX >= Src->Width() || PY >= Src->Height()) return false;
    const std::uint32_t P = Src->Line(PY)[PX];
    if (Mk->MaskType == 0 && (Mk->DrawMode & 16)) return (P >> 24) == 0;  // a mask with its own alpha
    return (P & 0xFFFFFFu) == KeyToPixel(clKeyColor);                   // the key colour
  }
};

// The four corner pieces (top left, top right, bottom left, bottom right)
// of a section's border mask laid over R in a state; none where the section
// has no mask or the mask is not drawn in that state.
std::array<TCornerPiece, 4> CornerPieces(TacSkinData* D, int Section, const BmpRect& R, int State) {
  std::array<TCornerPiece, 4> P{};
  if (!D || Section < 0 || Section >= static_cast<int>(D->gd.size())) return P;
  const int Bi = D->gd[static_cast<size_t>(Section)].BorderIndex;
  if (Bi < 0 || Bi >= static_cast<int>(D->ma.size())) return P;
  const TsMaskData& Mk = D->ma[static_cast<size_t>(Bi)];
  const Bitmap32* Src = MaskSource(Mk);
  if (!Src || !Mk.Manager || Mk.Width <= 0 || Mk.Height <= 0 || (State == 0 && (Mk.DrawMode & 2))) return P;
  int WL = Mk.WL, WT = Mk.WT, WR = Mk.WR, WB = Mk.WB;
  // Shared out as the section painter shares them, so the pieces lie where it draws them.
  FitBorder(R.Width(), WL, WR);
  FitBorder(R.Height(), WT, WB);
  const int SX = Mk.R.Left + std::max(0, std::min(State, static_cast<int>(Mk.ImageCount) - 1)) * Mk.Width;
  const int SY = Mk.R.Top;
  P[0] = {&Mk, Src, SX, SY, BmpRect(R.Left, R.Top, R.Left + WL, R.Top + WT)};
  P[1] = {&Mk, Src, SX + Mk.Width - WR, SY, BmpRect(R.Right - WR, R.Top, R.Right, R.Top + WT)};
  P[2] = {&Mk, Src, SX, SY + Mk.Height - WB, BmpRect(R.Left, R.Bottom - WB, R.Left + WL, R.Bottom)};
  P[3] = {&Mk, Src, SX + Mk.Width - WR, SY + Mk.Height - WB, BmpRect(R.Right - WR, R.Bottom - WB, R.Right, R.Bottom)};
  return P;
}

}  // namespace

std::vector<BmpRect> TsSkinProvider::CornerHoles(const TacFrameMetrics& FM, int State) {
  // The form section covers the whole window and the title section its top
  // band: a pixel is cut away only where every piece over it lets the
  // pixels below show, so only in the form mask's corner pieces.
  std::vector<BmpRect> Holes;
  TacSkinData* D = Data();
  const BmpRect Whole(FM.L, FM.T, FM.Width - FM.R, FM.Height - FM.B);
  const BmpRect Band(Whole.Left, Whole.Top, Whole.Right, std::min(Whole.Bottom, FHeaderHeight));
  const auto Form = CornerPieces(D, FCommonData->SkinIndex(), Whole, State);
  const auto Title =
      FTitleSkinIndex >= 0 ? CornerPieces(D, FTitleSkinIndex, Band, State) : std::array<TCornerPiece, 4>{};
  const bool TitleBand = FTitleSkinIndex >= 0 && Band.Height() > 0;
  for (const TCornerPiece& F : Form) {
    if (!F.Mk) continue;
    for (int Y = F.Dst.Top; Y < F.Dst.Bottom; ++Y) {
      int Run = -1;
      for (int X = F.Dst.Left; X <= F.Dst.Right; ++X) {
        bool Hole = X < F.Dst.Right && F.Clear(X, Y);
        if (Hole && TitleBand && Y < Band.Bottom) {
          const TCornerPiece* T = nullptr;
          for (const TCornerPiece& C : Title)
            if (C.Has(X, Y)) T = &C;
          Hole = T && T->Clear(X, Y);
        }
        if (Hole && Run < 0) Run = X;
        if (!Hole && Run >= 0) {
          Holes.emplace_back(Run, Y, X, Y + 1);
          Run = -1;
        }
      }
    }
  }
  return Holes;
}

bool TsSkinProvider::PaintAll() {
  HWND W = Wnd();
  if (RTInit && W) InitRT();
  if (!Skinned() || !W || IsIconic(W) || FInPaint) return false;
  TacSkinData* D = Data();
  const int FormIdx = FCommonData->SkinIndex();
  if (!D || FormIdx < 0 || FormIdx >= static_cast<int>(D->gd.size())) return false;
  const TacFrameMetrics FM = Metrics();
  if (FM.Width <= 0 || FM.Height <= 0) return false;
  FInPaint = true;
  ++PaintCount;
  TDibBitmap* Cache = FCommonData->CacheBmp();
  Cache->SetSize(FM.Width, FM.Height);
  Bitmap32& Bmp = Cache->Bmp();
  FillPixels32(Bmp, Bmp.Bounds(), 0, 0);
  const TsGeneralData& G = D->gd[static_cast<size_t>(FormIdx)];
  const int State = std::min(FormActive ? 1 : 0, std::max(0, G.States - 1));
  const BmpRect Frame(FM.L, FM.T, FM.Width - FM.R, FM.Height - FM.B);
  LayoutTitle(FM);
  TCacheInfo None;
  PaintSectionByIndex(FormIdx, None, -1, -1, D, Bmp, BmpPoint(0, 0), Frame, State);
  PaintTitle(Bmp, FM, State);
  // The masks' clear corners: cut out of the window without the border
  // window, showing the shadow below them with it.
  std::vector<BmpRect> Clear = IsZoomed(W) ? std::vector<BmpRect>() : CornerHoles(FM, State);
  std::vector<BmpRect> Holes = FM.Extended ? std::vector<BmpRect>() : Clear;
  if (Holes != FHoles) {
    FHoles = std::move(Holes);
    RgnChanged = true;
  }
  // The frame is opaque however its pieces were composed, but for those corners.
  for (int Y = Frame.Top; Y < Frame.Bottom; ++Y) {
    std::uint32_t* Line = Bmp.Line(Y);
    for (int X = Frame.Left; X < Frame.Right; ++X) Line[X] |= 0xFF000000u;
  }
  for (const BmpRect& C : Clear)
    for (int Y = C.Top; Y < C.Bottom; ++Y) std::fill(Bmp.Line(Y) + C.Left, Bmp.Line(Y) + C.Right, 0u);
  PaintShadow(Bmp, FM, Clear);
  // The strip behind the buttons, kept for redrawing one button alone.
  int StripL = FM.Width, StripR = 0, StripT = FM.Height, StripB = 0;
  for (const TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp})
    if (B->Visible) {
      StripL = std::min<int>(StripL, B->cpRect.left);
      StripR = std::max<int>(StripR, B->cpRect.right);
      StripT = std::min<int>(StripT, B->cpRect.top);
      StripB = std::max<int>(StripB, B->cpRect.bottom);
    }
  if (StripR > StripL && StripB > StripT) {
    TempBmp->SetSize(StripR - StripL, StripB - StripT);
    TempBmpLeft = StripL;
    TempBmpTop = StripT;
    CopyPiece(TempBmp->Bmp(), BmpPoint(0, 0), Bmp, BmpRect(StripL, StripT, StripR, StripB));
  } else {
    TempBmp->Free();
  }
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) DrawButton(Bmp, *B, false);
  FCommonData->BGChanged = false;
  FImageSize = SIZE{FM.FormW, FM.FormH};
  ++ImageSerial;
  FInPaint = false;
  return true;
}

void TsSkinProvider::FrameChanged() {
  if (FCommonData) FCommonData->BGChanged = true;
}

// ---------------------------------------------------------------------------
// Showing the image

void TsSkinProvider::ShowImage() {
  if (!Skinned()) return;
  if (ExtendedBorders()) {
    UpdateExBorders();
  } else {
    NCPaint();
  }
}

void TsSkinProvider::NCPaint() {
  HWND W = Wnd();
  if (!W || !IsWindowVisible(W) || ExtendedBorders()) return;
  if (FCommonData->BGChanged && !PaintAll()) return;
  if (RgnChanged) UpdateRegion();
  TDibBitmap* Cache = FCommonData->CacheBmp();
  if (!Cache || Cache->Empty()) return;
  const TacFrameMetrics FM = Metrics();
  HDC DC = GetWindowDC(W);
  if (!DC) return;
  // The frame only: the client area paints itself.
  const int CW = FM.Width - 2 * FM.SF, CTop = FM.SF + FM.SC;
  Cache->CopyTo(DC, 0, 0, BmpRect(0, 0, FM.Width, CTop));
  Cache->CopyTo(DC, 0, CTop, BmpRect(0, CTop, FM.SF, FM.Height));
  Cache->CopyTo(DC, FM.Width - FM.SF, CTop, BmpRect(FM.Width - FM.SF, CTop, FM.Width, FM.Height));
  Cache->CopyTo(DC, FM.SF, FM.Height - FM.SF, BmpRect(FM.SF, FM.Height - FM.SF, FM.SF + CW, FM.Height));
  ReleaseDC(W, DC);
}

void TsSkinProvider::UpdateExBorders() {
  HWND W = Wnd();
  if (!W || !Skinned() || !ExtendedBorders()) {
    BorderForm.reset();
    return;
  }
  if (!IsWindowVisible(W) || IsIconic(W)) {
    if (BorderForm) BorderForm->FreeWindow();
    return;
  }
  if (!BorderForm) BorderForm = std::make_unique<TacBorderForm>(this);
  UpdateRegion();
  const bool Stale = FCommonData->BGChanged;
  if (Stale) PaintAll();
  BorderForm->UpdateExBordersPos(Stale);
}

void TsSkinProvider::UpdateRegion() {
  HWND W = Wnd();
  // Only a new size, state or skin changes the region; moves leave it alone.
  if (!RgnChanged || !W || IsIconic(W) || !Skinned()) return;
  const TacFrameMetrics FM = Metrics();
  // Without the border window the region follows the image's corners.
  if (!FM.Extended && FCommonData->BGChanged && !PaintAll()) return;
  RECT WR{};
  GetWindowRect(W, &WR);
  const int FormW = WR.right - WR.left, FormH = WR.bottom - WR.top;
  RgnChanged = false;
  // Known before the call: the window's answer to the new region reports the same size.
  FRgnSize = SIZE{FormW, FormH};
  const bool Redraw = IsWindowVisible(W) != FALSE;
  // The window owns a region only when the call succeeds.
  if (FM.Extended) {
    // The system's frame and caption are cut away; the border window shows the skin's.
    TacRgn(FM.SF, FM.SF + FM.SC, FormW - FM.SF, FormH - FM.SF).SetTo(W, Redraw);
  } else if (IsZoomed(W)) {
    // The frame a maximised window has beyond the screen's edges is cut away,
    // no more: the whole caption and client area stay on the screen.
    TacRgn(FM.SF, FM.SF, FormW - FM.SF, FormH - FM.SF).SetTo(W, Redraw);
  } else if (FHoles.empty()) {
    SetWindowRgn(W, nullptr, Redraw);  // square corners: the window's own rectangle
  } else {
    TacRgn R(0, 0, FormW, FormH);
    for (const BmpRect& H : FHoles) {
      const TacRgn Hole(H.Left, H.Top, H.Right, H.Bottom);
      CombineRgn(R.Get(), R.Get(), Hole.Get(), RGN_DIFF);
    }
    R.SetTo(W, Redraw);
  }
}

void TsSkinProvider::Snap(WINDOWPOS& WP) {
  HWND W = Wnd();
  if ((WP.flags & SWP_NOMOVE) || !W || IsZoomed(W) || IsIconic(W)) return;
  RECT WR{};
  GetWindowRect(W, &WR);
  const int CX = (WP.flags & SWP_NOSIZE) ? WR.right - WR.left : WP.cx;
  const int CY = (WP.flags & SWP_NOSIZE) ? WR.bottom - WR.top : WP.cy;
  // What the user sees as the window is the skin's frame, which lies outside
  // the window's own rectangle by the difference of the two frames.
  const TacFrameMetrics FM = Metrics();
  const int DX = FM.Extended ? FM.BW - FM.SF : 0;
  const int DTop = FM.Extended && FM.SC ? FM.TH - FM.SF - FM.SC : DX;
  const RECT Frame{WP.x - DX, WP.y - DTop, WP.x + CX + DX, WP.y + CY + DX};
  MONITORINFO MI{};
  MI.cbSize = sizeof MI;
  if (!GetMonitorInfoW(MonitorFromRect(&Frame, MONITOR_DEFAULTTONEAREST), &MI)) return;
  const RECT& Work = MI.rcWork;
  auto Pull = [this](int Edge, int Target) { return std::abs(Target - Edge) <= SnapBuffer ? Target - Edge : 0; };
  int MX = Pull(Frame.left, Work.left);
  if (!MX) MX = Pull(Frame.right, Work.right);
  int MY = Pull(Frame.top, Work.top);
  if (!MY) MY = Pull(Frame.bottom, Work.bottom);
  WP.x += MX;
  WP.y += MY;
}

void TsSkinProvider::RemoveRegion() {
  HWND W = Wnd();
  FRgnSize = SIZE{0, 0};
  if (W && IsWindow(W)) SetWindowRgn(W, nullptr, IsWindowVisible(W));
}

void TsSkinProvider::EraseClient(TMessage& M) {
  HDC DC = reinterpret_cast<HDC>(M.WParam);
  if (!DC) return;
  if (FCommonData->BGChanged) PaintAll();
  TDibBitmap* Cache = FCommonData->CacheBmp();
  if (!Cache || Cache->Empty() || FCommonData->BGChanged) return;
  const int OX = OffsetX(), OY = OffsetY();
  RECT CR{};
  GetClientRect(Wnd(), &CR);
  Cache->CopyTo(DC, 0, 0, BmpRect(OX, OY, OX + CR.right, OY + CR.bottom));
  M.Result = 1;
}

void TsSkinProvider::AnswerBG(TacBGRequest& R) {
  if (FCommonData->BGChanged) PaintAll();
  TDibBitmap* Cache = FCommonData->CacheBmp();
  if (!Cache || Cache->Empty() || FCommonData->BGChanged) {
    R.BGKind = btFill;
    R.Color = static_cast<std::uint32_t>(ColorToRGB(Form->Color()));
    return;
  }
  // The child's position is counted from the client origin; the image has the frame around it.
  R.Offset.x += OffsetX();
  R.Offset.y += OffsetY();
  R.Bmp = &Cache->Bmp();
  R.BGKind = btCache;
  if (R.DrawRequested && R.TargetDC)
    Cache->CopyTo(
        R.TargetDC, R.R.left, R.R.top,
        BmpRect(R.Offset.x, R.Offset.y, R.Offset.x + R.R.right - R.R.left, R.Offset.y + R.R.bottom - R.R.top));
}

// ---------------------------------------------------------------------------
// Title buttons

TsCaptionButton* TsSkinProvider::ButtonOfHT(int HT) {
  switch (HT) {
    case HTCLOSE: return &ButtonClose;
    case HTMAXBUTTON: return &ButtonMax;
    case HTMINBUTTON: return &ButtonMin;
    case HTHELP: return &ButtonHelp;
    default: return nullptr;
  }
}

int TsSkinProvider::ExHitTest(POINT P) {
  HWND W = Wnd();
  if (!W || !Skinned()) return HTNOWHERE;
  if (!IsWindowEnabled(W)) return HTTRANSPARENT;
  if (FCommonData->BGChanged) PaintAll();
  const TacFrameMetrics FM = Metrics();
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) {
    if (!B->Visible || !PtInRect(&B->cpRect, P)) continue;
    if (B == &ButtonClose) return B->Enabled ? HTCLOSE : HTCAPTION;
    if (B == &ButtonMax) return B->Enabled ? HTMAXBUTTON : HTCAPTION;
    if (B == &ButtonMin) return B->Enabled || IsIconic(W) ? HTMINBUTTON : HTCAPTION;
    return HTHELP;
  }
  const bool Sizable = (GetWindowLongW(W, GWL_STYLE) & WS_THICKFRAME) && !IsZoomed(W);
  const RECT Frame{FM.L, FM.T, FM.Width - FM.R, FM.Height - FM.B};
  if (Sizable) {
    const int C = FM.Extended ? std::max(FM.BW, 6) : FM.BW;
    const bool Left = P.x < Frame.left + C, Right = P.x >= Frame.right - C;
    const bool Top = P.y < Frame.top + C, Bottom = P.y >= Frame.bottom - C;
    if (Top && Left) return HTTOPLEFT;
    if (Top && Right) return HTTOPRIGHT;
    if (Bottom && Left) return HTBOTTOMLEFT;
    if (Bottom && Right) return HTBOTTOMRIGHT;
    if (Left) return HTLEFT;
    if (Right) return HTRIGHT;
    if (Top) return HTTOP;
    if (Bottom) return HTBOTTOM;
  }
  const int CaptionBottom = FM.Extended ? FM.T + FM.TH : FM.SF + FM.SC;
  if (P.y < CaptionBottom && FM.TH > 0) return PtInRect(&FIconRect, P) ? HTSYSMENU : HTCAPTION;
  if (PtInRect(&Frame, P)) {
    const RECT Client{OffsetX(), OffsetY(), Frame.right - FM.BW, Frame.bottom - FM.BW};
    return PtInRect(&Client, P) ? HTCLIENT : HTBORDER;
  }
  return HTTRANSPARENT;
}

void TsSkinProvider::RepaintButton(TsCaptionButton& Btn) {
  TDibBitmap* Cache = FCommonData ? FCommonData->CacheBmp() : nullptr;
  if (!Cache || Cache->Empty() || FCommonData->BGChanged) {
    ShowImage();
    return;
  }
  DrawButton(Cache->Bmp(), Btn, true);
  DirtySerial = ++ImageSerial;
  DirtyRect = Btn.cpRect;
  if (ExtendedBorders()) {
    if (BorderForm) BorderForm->UpdateExBordersPos(true);
    return;
  }
  HWND W = Wnd();
  if (HDC DC = W ? GetWindowDC(W) : nullptr) {
    const RECT& R = Btn.cpRect;
    Cache->CopyTo(DC, R.left, R.top, BmpRect(R.left, R.top, R.right, R.bottom));
    ReleaseDC(W, DC);
  }
}

void TsSkinProvider::StartFade(TsCaptionButton& Btn, bool Up) {
  HWND W = Wnd();
  if (!W) return;
  if (!Btn.cpTimer) {
    if (!Up) return;  // nothing shows to fade out from
    Btn.cpTimer = std::make_unique<TacSBAnimation>();
    Btn.cpTimer->TimerId = FadeTimerBase + static_cast<UINT_PTR>(&Btn == &ButtonClose ? 0
                                                                 : &Btn == &ButtonMax ? 1
                                                                 : &Btn == &ButtonMin ? 2
                                                                                      : 3);
    Btn.cpTimer->Level = 0;
  }
  Btn.cpTimer->Step = (Up ? 1 : -1) * std::max(1, 255 / FadeIterations);
  SetTimer(W, Btn.cpTimer->TimerId, FadeInterval, nullptr);
}

void TsSkinProvider::StopFade(TsCaptionButton& Btn) {
  if (!Btn.cpTimer) return;
  if (HWND W = Wnd()) KillTimer(W, Btn.cpTimer->TimerId);
  Btn.cpTimer.reset();  // the reference goes with the fade
}

void TsSkinProvider::FadeTick(UINT_PTR Id) {
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) {
    if (!B->cpTimer || B->cpTimer->TimerId != Id) continue;
    TacSBAnimation& A = *B->cpTimer;
    A.Level = std::clamp(A.Level + A.Step, 0, 255);
    if (A.Step > 0) {
      // On the way up the pointer may have left without a message saying so.
      POINT P{};
      GetCursorPos(&P);
      if (!PtInRect(&B->cpRect, ScreenToImage(P)) && B->cpState == 1) {
        B->cpState = 0;
        CurrentHT = 0;
        A.Step = -A.Step;
      } else if (A.Level >= 255) {
        StopFade(*B);  // fully hot: the plain hot look shows from now on
      }
    } else if (A.Level <= 0) {
      StopFade(*B);
    }
    RepaintButton(*B);
    return;
  }
}

void TsSkinProvider::KillAnimations() {
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) StopFade(*B);
}

void TsSkinProvider::SetHot(int HT) {
  if (biClicked) return;  // a press keeps its button until released
  TsCaptionButton* New = ButtonOfHT(HT);
  if (New && (!New->Visible || !New->Enabled)) New = nullptr;
  TsCaptionButton* Old = ButtonOfHT(CurrentHT);
  if (Old == New) return;
  CurrentHT = New ? HT : 0;
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp})
    if (B != New && B->cpState != 0) {
      B->cpState = 0;
      StartFade(*B, false);
      RepaintButton(*B);
    }
  if (New) {
    New->cpState = 1;
    StartFade(*New, true);
    RepaintButton(*New);
  }
}

void TsSkinProvider::CancelPress() {
  const bool Was = biClicked;
  biClicked = false;
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp})
    if (B->cpState == 2) {
      POINT P{};
      GetCursorPos(&P);
      B->cpState = PtInRect(&B->cpRect, ScreenToImage(P)) ? 1 : 0;
      CurrentHT = B->cpState ? static_cast<int>(B->cpHitCode) : 0;
      RepaintButton(*B);
    }
  if (Was && Wnd() && GetCapture() == Wnd()) ReleaseCapture();
}

void TsSkinProvider::DoCommand(WPARAM Cmd) {
  if (HWND W = Wnd()) PostMessageW(W, WM_SYSCOMMAND, Cmd, 0);
}

void TsSkinProvider::ReleaseAt(POINT Image) {
  if (!biClicked) return;
  TsCaptionButton* Pressed = nullptr;
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp})
    if (B->cpState == 2) Pressed = B;
  const bool Inside = Pressed && PtInRect(&Pressed->cpRect, Image);
  // Whatever the release, the capture and the pending press end here.
  CancelPress();
  if (!Inside) return;
  HWND W = Wnd();
  if (Pressed == &ButtonClose) {
    Pressed->cpState = 0;
    CurrentHT = 0;
    DoCommand(SC_CLOSE);
    KillAnimations();
  } else if (Pressed == &ButtonMin) {
    Pressed->cpState = 0;
    CurrentHT = 0;
    DoCommand(IsIconic(W) && Form != Application->MainForm() ? SC_RESTORE : SC_MINIMIZE);
    FrameChanged();
  } else if (Pressed == &ButtonMax) {
    Pressed->cpState = 0;
    CurrentHT = 0;  // the button is hot again when the pointer next moves over it
    DoCommand(IsZoomed(W) ? SC_RESTORE : SC_MAXIMIZE);
  } else if (Pressed == &ButtonHelp) {
    DoCommand(SC_CONTEXTHELP);
  }
}

void TsSkinProvider::HandleNCMouseMove(int HT) { SetHot(HT); }

void TsSkinProvider::HandleNCMouseLeave() {
  if (!biClicked) SetHot(0);
}

void TsSkinProvider::HandleNCButtonDown(int HT, POINT Screen) {
  HWND W = Wnd();
  if (HT == HTSYSMENU) {
    // The second click of a double click on the icon closes the menu; where
    // the menu's loop keeps that click for itself, it still closes the window,
    // as with the system's own menu.
    const DWORD Opened = GetTickCount();
    MSG Pending{};
    if (!DropSysMenuBelowIcon() && GetTickCount() - Opened <= GetDoubleClickTime() &&
        !PeekMessageW(&Pending, nullptr, WM_NCLBUTTONDOWN, WM_NCLBUTTONDBLCLK, PM_NOREMOVE)) {
      POINT P{};
      GetCursorPos(&P);
      const POINT Image = ScreenToImage(P);
      if (PtInRect(&FIconRect, Image)) DoCommand(SC_CLOSE);
    }
    return;
  }
  if (TsCaptionButton* B = ButtonOfHT(HT); B && B->Visible && B->Enabled) {
    for (TsCaptionButton* O : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp})
      if (O != B && O->cpState) {
        O->cpState = 0;
        RepaintButton(*O);
      }
    StopFade(*B);
    B->cpState = 2;
    CurrentHT = HT;
    biClicked = true;
    SetCapture(W);
    RepaintButton(*B);
    return;
  }
  (void)Screen;
}

void TsSkinProvider::HandleNCButtonUp(int HT, POINT Screen) {
  (void)HT;
  ReleaseAt(ScreenToImage(Screen));
}

void TsSkinProvider::HandleNCDoubleClick(int HT) {
  HWND W = Wnd();
  if (HT == HTSYSMENU) {
    DoCommand(SC_CLOSE);
  } else if (HT == HTCAPTION) {
    const LONG Style = GetWindowLongW(W, GWL_STYLE);
    if (IsIconic(W))
      DoCommand(SC_RESTORE);
    else if (Style & WS_MAXIMIZEBOX)
      DoCommand(IsZoomed(W) ? SC_RESTORE : SC_MAXIMIZE);
  }
}

void TsSkinProvider::HandleNCRightUp(int HT, POINT Screen) {
  if (RightPressed && (HT == HTCAPTION || HT == HTSYSMENU)) DropSysMenu(Screen.x, Screen.y);
  RightPressed = false;
}

HMENU TsSkinProvider::BuildSysMenu() {
  HWND W = Wnd();
  HMENU Sys = W ? GetSystemMenu(W, FALSE) : nullptr;
  if (!Sys) return nullptr;
  if (FCommonData && FCommonData->BGChanged) PaintAll();  // the button set is known
  HMENU Menu = CreatePopupMenu();
  const LONG Style = GetWindowLongW(W, GWL_STYLE);
  const bool Zoomed = IsZoomed(W), Iconic = IsIconic(W);
  const TFormBorderStyle BS = Form->BorderStyle();
  const bool MinMax = BS == bsSingle || BS == bsSizeable;
  const bool Sizable = BS != bsNone && BS != bsDialog && BS != bsToolWindow;
  auto Caption = [&](UINT Cmd, const wchar_t* Default) {
    wchar_t Buf[256] = {};
    if (GetMenuStringW(Sys, Cmd, Buf, 255, MF_BYCOMMAND) > 0) return std::wstring(Buf);
    return std::wstring(Default);
  };
  auto Add = [&](UINT Cmd, const wchar_t* Default, bool Visible, bool Enabled) {
    if (!Visible) return;
    AppendMenuW(Menu, MF_STRING | (Enabled ? 0 : MF_GRAYED), Cmd, Caption(Cmd, Default).c_str());
  };
  Add(SC_RESTORE, L"Restore", MinMax, (Zoomed && (Style & WS_MAXIMIZEBOX)) || Iconic);
  Add(SC_MOVE, L"Move", true, !Zoomed);
  Add(SC_SIZE, L"Size", Sizable, BS != bsSingle && !Iconic);
  Add(SC_MINIMIZE, L"Minimize", ButtonMin.Visible, !Iconic);
  Add(SC_MAXIMIZE, L"Maximize", ButtonMax.Visible, !Zoomed);
  if (GetMenuItemCount(Menu) > 0) AppendMenuW(Menu, MF_SEPARATOR, 0, nullptr);
  // The window's own items (outside the system range) keep their ids.
  bool Own = false;
  for (int I = 0, N = GetMenuItemCount(Sys); I < N; ++I) {
    const UINT Id = GetMenuItemID(Sys, I);
    if (Id == 0 || Id == static_cast<UINT>(-1) || (Id >= 0xF000 && Id <= 0xF1FF)) continue;
    wchar_t Buf[256] = {};
    GetMenuStringW(Sys, static_cast<UINT>(I), Buf, 255, MF_BYPOSITION);
    AppendMenuW(Menu, MF_STRING, Id, Buf);
    Own = true;
  }
  if (Own) AppendMenuW(Menu, MF_SEPARATOR, 0, nullptr);
  const UINT CloseState = GetMenuState(Sys, SC_CLOSE, MF_BYCOMMAND);
  Add(SC_CLOSE, L"Close", true, CloseState == static_cast<UINT>(-1) || !(CloseState & (MF_GRAYED | MF_DISABLED)));
  return Menu;
}

bool TsSkinProvider::DropSysMenuBelowIcon() {
  if (FCommonData && FCommonData->BGChanged) PaintAll();  // the icon's place is known
  const POINT Origin = ScreenToImage(POINT{0, 0});
  return DropSysMenu(FIconRect.left - Origin.x, FIconRect.bottom - Origin.y);
}

bool TsSkinProvider::DropSysMenu(int X, int Y) {
  HWND W = Wnd();
  HMENU Menu = BuildSysMenu();
  if (!Menu) return false;
  // Drawn plainly until the skinned menu painter takes it over.
  const UINT Cmd =
      static_cast<UINT>(TrackPopupMenu(Menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, X, Y, 0, W, nullptr));
  DestroyMenu(Menu);
  if (Cmd) DoCommand(Cmd);
  return Cmd != 0;
}

// ---------------------------------------------------------------------------
// Messages

LRESULT TsSkinProvider::ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  return Form->Perform(Msg, WParam, LParam);
}

bool TsSkinProvider::HandleCommand(TMessage& M, const TWindowHookNext& Next) {
  constexpr unsigned FrameWidthQuery = 67;
  if (static_cast<unsigned>(CommandOf(M.WParam)) == FrameWidthQuery) {
    // The system frame width, as the controls' adapters measure it.
    M.Result = Metrics().SF;
    return true;
  }
  switch (CommandOf(M.WParam)) {
    case SKC_GETPROVIDER: M.Result = reinterpret_cast<LRESULT>(this); return true;
    case SKC_SKINLOADED:
    case SKC_REFRESH:
      Next(M);
      PrepareForm();
      BroadcastSkinCommand(Form, CommandOf(M.WParam), M.LParam, CommandArg(M.WParam));
      ShowImage();
      if (Wnd()) InvalidateRect(Wnd(), nullptr, TRUE);
      return true;
    case SKC_SKINREMOVED:
      Next(M);
      BroadcastSkinCommand(Form, SKC_SKINREMOVED, M.LParam);
      KillAnimations();
      BorderForm.reset();
      RemoveRegion();
      return true;
    case SKC_STOPANIM:
    case SKC_FONTCHANGED:
      Next(M);
      if (CommandOf(M.WParam) == SKC_FONTCHANGED) FrameChanged();
      BroadcastSkinCommand(Form, CommandOf(M.WParam), M.LParam, CommandArg(M.WParam));
      return true;
    case SKC_PREPARECACHE: PaintAll(); return true;
    case SKC_GETBG:
      if (!Skinned()) return false;
      AnswerBG(*reinterpret_cast<TacBGRequest*>(M.LParam));
      return true;
    default: return false;
  }
}

void TsSkinProvider::WndHook(TMessage& M, const TWindowHookNext& Next) {
  // A run-time provider reads the skin once its window is made.
  if (RTInit && Wnd() && !(Form->ControlState() & csCreating)) InitRT();
  switch (M.Msg) {
    case WM_NCCALCSIZE:
    case WM_STYLECHANGED:
    case WM_DPICHANGED:
    case WM_SHOWWINDOW: MetricsChanged(); break;
    default: break;
  }
  if (IsSkinnedMessage(M.Msg)) {
    if (!HandleCommand(M, Next)) Next(M);
    return;
  }
  if (!Skinned()) {
    Next(M);
    return;
  }
  switch (M.Msg) {
    case WM_NCHITTEST: {
      InitRT();
      if (ExtendedBorders() || !CaptionHeight(false)) break;
      const int HT = ExHitTest(ScreenToImage(POINT{XOf(M.LParam), YOf(M.LParam)}));
      if (HT == HTSYSMENU || ButtonOfHT(HT)) {
        M.Result = HT;
        return;
      }
      break;
    }
    case WM_NCPAINT:
      InitRT();
      if (!ExtendedBorders()) NCPaint();
      M.Result = 0;
      return;
    case WM_NCACTIVATE: {
      const bool Active = M.WParam != 0;
      if (Active != FormActive) {
        FormActive = Active;
        FrameChanged();
      }
      ShowImage();
      // True: the activation may change; the system paints no frame of its own.
      M.Result = TRUE;
      return;
    }
    case WM_ERASEBKGND:
      if (!DrawClientArea || !IsWindowVisible(Wnd())) break;
      EraseClient(M);
      if (M.Result) return;
      break;
    case WM_SETICON:
      Next(M);
      FIconOf = nullptr;
      FrameChanged();
      ShowImage();
      return;
    case WM_SETTEXT:
      Next(M);
      FrameChanged();
      ShowImage();
      return;
    case WM_MOVE:
    case WM_SIZE:  // a real change of size is seen once the position has changed
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE: {
      // The frame looks the same wherever it stands, with focus or pointer
      // anywhere; the binding's marks for controls do not apply to it.
      const bool Stale = FCommonData->BGChanged;
      Next(M);
      FCommonData->BGChanged = Stale;
      return;
    }
    case WM_SHOWWINDOW:
      Next(M);
      // Clipped before it first shows, so no frame of the system's is painted and cut off afterwards.
      if (M.WParam) UpdateRegion();
      return;
    case WM_DPICHANGED:
      FrameChanged();
      RgnChanged = true;
      break;
    case WM_WINDOWPOSCHANGING:
      if (ScreenSnap && M.LParam) Snap(*reinterpret_cast<WINDOWPOS*>(M.LParam));
      break;
    case WM_WINDOWPOSCHANGED: {
      Next(M);
      auto* WP = reinterpret_cast<WINDOWPOS*>(M.LParam);
      RECT WR{};
      GetWindowRect(Wnd(), &WR);
      const SIZE Now{WR.right - WR.left, WR.bottom - WR.top};
      // Only a new size needs a new image and region; moves keep them.
      if (Now.cx != FImageSize.cx || Now.cy != FImageSize.cy) FrameChanged();
      if (Now.cx != FRgnSize.cx || Now.cy != FRgnSize.cy) RgnChanged = true;
      if (ExtendedBorders()) {
        UpdateExBorders();
      } else {
        // The frame in the window itself (a maximised window may have it so):
        // no border window, the region of this mode.
        BorderForm.reset();
        if (RgnChanged) UpdateRegion();
        if (WP && (WP->flags & SWP_SHOWWINDOW)) NCPaint();
      }
      return;
    }
    case WM_NCLBUTTONDOWN: {
      POINT P{XOf(M.LParam), YOf(M.LParam)};
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      if (HT == -1) HT = ExHitTest(ScreenToImage(P));
      if (HT == HTSYSMENU || (ButtonOfHT(HT) && ButtonOfHT(HT)->Visible)) {
        HandleNCButtonDown(HT, P);
        M.Result = 0;
        return;
      }
      if (HT == HTCAPTION && IsIconic(Wnd())) {
        PostMessageW(Wnd(), WM_SYSCOMMAND, 0xF012, 0);
        return;
      }
      M.WParam = static_cast<WPARAM>(HT);
      break;
    }
    case WM_NCLBUTTONUP:
      if (biClicked) {
        HandleNCButtonUp(0, POINT{XOf(M.LParam), YOf(M.LParam)});
        return;
      }
      if (static_cast<INT_PTR>(M.WParam) == -1) return;
      break;
    case WM_NCLBUTTONDBLCLK: {
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      if (HT == -1) HT = ExHitTest(ScreenToImage(POINT{XOf(M.LParam), YOf(M.LParam)}));
      if (HT == HTCAPTION || HT == HTSYSMENU) {
        HandleNCDoubleClick(HT);
        return;
      }
      // A quick second click on a title button is another press.
      if (TsCaptionButton* B = ButtonOfHT(HT); B && B->Visible) {
        HandleNCButtonDown(HT, POINT{XOf(M.LParam), YOf(M.LParam)});
        return;
      }
      break;
    }
    case WM_NCRBUTTONDOWN: {
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      if (HT == -1) HT = ExHitTest(ScreenToImage(POINT{XOf(M.LParam), YOf(M.LParam)}));
      if (HT == HTCAPTION || HT == HTSYSMENU) {
        RightPressed = true;
        return;
      }
      break;
    }
    case WM_NCRBUTTONUP: {
      POINT P{XOf(M.LParam), YOf(M.LParam)};
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      if (HT == -1) HT = ExHitTest(ScreenToImage(P));
      if (RightPressed) {
        HandleNCRightUp(HT, P);
        return;
      }
      break;
    }
    case WM_SYSCOMMAND:
      // Alt+Space: the skinned system menu replaces the window's own here too.
      if ((M.WParam & 0xFFF0) == SC_KEYMENU && M.LParam == VK_SPACE && CaptionHeight(false)) {
        DropSysMenuBelowIcon();
        M.Result = 0;
        return;
      }
      break;
    case WM_SYSMENU_AT_CURSOR: {
      POINT P{};
      GetCursorPos(&P);
      DropSysMenu(P.x, P.y);
      M.Result = 0;
      return;
    }
    case WM_NCMOUSEMOVE: {
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      if (HT == -1 || !ExtendedBorders()) HT = ExHitTest(ScreenToImage(POINT{XOf(M.LParam), YOf(M.LParam)}));
      SetHot(HT);
      if (!ExtendedBorders()) {
        TRACKMOUSEEVENT T{sizeof T, TME_LEAVE | TME_NONCLIENT, Wnd(), 0};
        TrackMouseEvent(&T);
      }
      break;
    }
    case WM_NCMOUSELEAVE: HandleNCMouseLeave(); break;
    case WM_MOUSEMOVE:
      if (biClicked) {
        // While pressed, the button shows pressed only with the pointer over it.
        POINT P{XOf(M.LParam), YOf(M.LParam)};
        ClientToScreen(Wnd(), &P);
        TsCaptionButton* B = ButtonOfHT(CurrentHT);
        if (B) {
          const int State = PtInRect(&B->cpRect, ScreenToImage(P)) ? 2 : 0;
          if (State != B->cpState) {
            B->cpState = State;
            RepaintButton(*B);
          }
        }
        return;
      }
      break;
    case WM_LBUTTONUP:
      if (biClicked) {
        POINT P{XOf(M.LParam), YOf(M.LParam)};
        ClientToScreen(Wnd(), &P);
        TsCaptionButton* B = ButtonOfHT(CurrentHT);
        // The press went out of its button and back: it is the pressed one again.
        if (B && B->cpState != 2 && PtInRect(&B->cpRect, ScreenToImage(P))) B->cpState = 2;
        ReleaseAt(ScreenToImage(P));
        return;
      }
      break;
    case WM_CAPTURECHANGED:
      if (biClicked && reinterpret_cast<HWND>(M.LParam) != Wnd()) CancelPress();
      break;
    case WM_CANCELMODE:
      if (biClicked) CancelPress();
      break;
    case WM_TIMER:
      if (M.WParam >= FadeTimerBase && M.WParam < FadeTimerBase + 4) {
        FadeTick(M.WParam);
        return;
      }
      break;
    case WM_NCDESTROY:
      KillAnimations();
      BorderForm.reset();
      break;
    case WM_PAINT:
      // A border window lost while the form could not show one (its redraw
      // switched off, say) comes back with the form's next paint.
      if (ExtendedBorders() && IsWindowVisible(Wnd()) && !IsIconic(Wnd()) &&
          (!BorderForm || !BorderForm->Handle() || !IsWindowVisible(BorderForm->Handle())))
        UpdateExBorders();
      break;
    case WM_PRINTCLIENT:
    case WM_PRINT: break;
    default: break;
  }
  Next(M);
}

}  // namespace cb
