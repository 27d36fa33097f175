#include "acFrame.h"

#include <algorithm>
#include <array>

#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "skin/paint/PixelOps.h"
#include "skin/binding/sSkinText.h"
#include "skin/paint/section/sGraphUtils.h"

namespace cb {

namespace {

constexpr UINT_PTR FadeTimerBase = 0xAC50;  // + button slot
constexpr int FadeIterations = 6;           // steps of 12 ms
constexpr unsigned FadeInterval = 12;
constexpr UINT WM_SYSMENU_AT_CURSOR = 0x313;

int XOf(LPARAM L) { return static_cast<short>(LOWORD(L)); }
int YOf(LPARAM L) { return static_cast<short>(HIWORD(L)); }

static_assert(htClose == HTCLOSE && htMaxButton == HTMAXBUTTON && htMinButton == HTMINBUTTON && htHelp == HTHELP &&
              htSysMenu == HTSYSMENU && htCaption == HTCAPTION && htClient == HTCLIENT && htBorder == HTBORDER &&
              htTransparent == HTTRANSPARENT && htTopLeft == HTTOPLEFT && htBottomRight == HTBOTTOMRIGHT);

}  // namespace

// One caption font for all the frames that share its name, height and
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

// Lives as long as a frame holds it.
std::shared_ptr<TacCaptionFont> CaptionFont(const std::wstring& Name, int Height, int Charset) {
  static std::weak_ptr<TacCaptionFont> Last;
  if (auto F = Last.lock(); F && F->Name == Name && F->Height == Height && F->Charset == Charset) return F;
  auto F = std::make_shared<TacCaptionFont>(Name, Height, Charset);
  Last = F;
  return F;
}

}  // namespace

// ---------------------------------------------------------------------------
// Life

TacFrame::TacFrame(TacFrameHost& Host) : FHost(Host) {
  TempBmp = std::make_unique<TDibBitmap>();
  ButtonClose.cpHitCode = HTCLOSE;
  ButtonMax.cpHitCode = HTMAXBUTTON;
  ButtonMin.cpHitCode = HTMINBUTTON;
  ButtonHelp.cpHitCode = HTHELP;
}

TacFrame::~TacFrame() { Release(); }

void TacFrame::Release() {
  KillAnimations();
  if (biClicked && Wnd() && GetCapture() == Wnd()) {
    biClicked = false;
    ReleaseCapture();
  }
  FCaptionFont.reset();
}

TacSkinData* TacFrame::SkinData() const { return Data() ? Data()->CommonSkinData() : nullptr; }

TDibBitmap* TacFrame::FrameImage() { return Data() ? Data()->CacheBmp() : nullptr; }

void TacFrame::Changed() {
  if (Data()) Data()->BGChanged = true;
}

bool TacFrame::Stale() const { return !Data() || Data()->BGChanged; }

// ---------------------------------------------------------------------------
// Geometry

TacFrameMetrics TacFrame::Metrics() {
  HWND W = Wnd();
  if (!W) return TacFrameMetrics();
  RECT WR{};
  GetWindowRect(W, &WR);
  const int FormW = WR.right - WR.left, FormH = WR.bottom - WR.top;
  // Asked many times per message; each reading is a trip to the window system.
  const bool Extended = FHost.FrameExtended();
  TacSkinData* D = SkinData();
  if (FMetricsValid && FMetrics.FormW == FormW && FMetrics.FormH == FormH && FMetrics.Extended == Extended &&
      FMetricsSkin == D)
    return FMetrics;
  POINT O{0, 0};
  ClientToScreen(W, &O);
  TacFrameSizes S;
  S.FormW = FormW;
  S.FormH = FormH;
  // The system's own frame as the window has it (equal to the density's
  // metrics on Windows; measured, so a frame that differs cannot shift the image).
  S.SF = std::max(0, static_cast<int>(O.x - WR.left));
  S.SC = CaptionHeight(false) ? std::max(0, static_cast<int>(O.y - WR.top) - S.SF) : 0;
  S.Extended = Extended;
  S.Zoomed = IsZoomed(W) != FALSE;
  S.HaveSkin = D != nullptr;
  if (D) {
    S.ExBorderWidth = D->ExBorderWidth;
    S.ExTitleHeight = D->ExTitleHeight;
    S.ExMaxHeight = D->ExMaxHeight;
    S.Shadow = D->FormShadowSize;
  }
  FMetrics = FrameMetrics(S);
  FMetricsSkin = D;
  FMetricsValid = true;
  return FMetrics;
}

int TacFrame::CaptionHeight(bool CheckSkin) {
  HWND W = Wnd();
  if (!W) return 0;
  const bool Caption = (GetWindowLongW(W, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
  if (!Caption && !IsIconic(W)) return 0;
  if (CheckSkin && FHost.FrameExtended())
    if (TacSkinData* D = SkinData()) return D->ExTitleHeight;
  const TacBorderStyle BS = FHost.FrameBorderStyle();
  const bool Small = BS == acbsToolWindow || BS == acbsSizeToolWin || BS == acbsDialog;
  return GetSystemMetrics(Small && !IsIconic(W) ? SM_CYSMCAPTION : SM_CYCAPTION);
}

void TacFrame::ShadowSize(RECT& R) {
  const TacFrameMetrics FM = Metrics();
  R = RECT{FM.L, FM.T, FM.R, FM.B};
}

int TacFrame::OffsetX() {
  const TacFrameMetrics FM = Metrics();
  return FM.Extended ? FM.BW + FM.L : FM.SF;
}

int TacFrame::OffsetY() {
  const TacFrameMetrics FM = Metrics();
  return FM.Extended ? FM.TH + FM.T : FM.SF + FM.SC;
}

POINT TacFrame::ScreenToImage(POINT P) {
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

bool TacFrame::ButtonEnabled(const TsCaptionButton& Btn) const {
  HWND W = Wnd();
  if (!W) return false;
  // Minimise and maximise/restore follow the border icons and the window's
  // state: the system greys its menu's items by state and renews them only
  // when that menu is next shown, so they go stale after each change.
  const unsigned BI = FHost.FrameBorderIcons();
  if (Btn.cpHitCode == HTMAXBUTTON) return (BI & acbiMaximize) && !IsIconic(W);
  if (Btn.cpHitCode == HTMINBUTTON) return (BI & acbiMinimize) != 0;
  if (Btn.cpHitCode != HTCLOSE) return true;
  // Close is greyed only on purpose (a window that may not be closed).
  HMENU Sys = GetSystemMenu(W, FALSE);
  const UINT S = Sys ? GetMenuState(Sys, SC_CLOSE, MF_BYCOMMAND) : static_cast<UINT>(-1);
  return S == static_cast<UINT>(-1) || !(S & (MF_GRAYED | MF_DISABLED));
}

void TacFrame::LayoutTitle(const TacFrameMetrics& FM) {
  TacSkinData* D = SkinData();
  TsSkinManager* M = DefaultManager();
  HWND W = Wnd();
  TacTitleInput In;
  In.FM = FM;
  In.Border = FHost.FrameBorderStyle();
  In.Icons = FHost.FrameBorderIcons();
  In.Iconic = W && IsIconic(W);
  In.Zoomed = W && IsZoomed(W);
  In.MainForm = FHost.FrameIsMainWindow();
  In.ShowIcon = FHost.FrameShowsIcon() && W && ((GetWindowLongW(W, GWL_STYLE) & WS_SYSMENU) || FHost.FrameIcon());
  for (int G = 0; G <= tgNone; ++G) {
    const int Idx = D && G < tgNone ? D->TitleGlyphs[static_cast<size_t>(G)] : -1;
    In.GlyphSizes[static_cast<size_t>(G)] = Idx < 0 || Idx >= static_cast<int>(D->ma.size())
                                                ? TSize(21, 21)
                                                : TSize(D->ma[static_cast<size_t>(Idx)].Width, D->ma[static_cast<size_t>(Idx)].Height);
  }
  if (D) {
    In.Spacing = D->Spacing;
    In.BILeftMargin = D->BILeftMargin;
    In.BIRightMargin = D->BIRightMargin;
    In.BISpacing = D->BISpacing;
    In.BITopMargin = D->BITopMargin;
    In.ExCenterOffs = D->ExCenterOffs;
    In.OwnMaxHeight = D->ExMaxHeight != D->ExTitleHeight;
  }
  In.ButtonsTopAligned = M && M->SkinCommonInfo.BIVAlign == 1;
  FLayout = cb::LayoutTitle(In);
  BigButtons = FLayout.BigButtons;
  VCenter = FLayout.VCenter;
  FHeaderHeight = FLayout.HeaderHeight;
  FIconRect = ToRECT(FLayout.Icon);
  const std::pair<TsCaptionButton*, TacTitleButtonSlot> Slots[] = {
      {&ButtonClose, tbClose}, {&ButtonMax, tbMax}, {&ButtonMin, tbMin}, {&ButtonHelp, tbHelp}};
  for (const auto& [B, Slot] : Slots) {
    const TacTitleButtonPlace& P = FLayout.Buttons[Slot];
    B->Visible = P.Visible;
    B->cpGlyphType = P.Glyph;
    B->cpHaveAlignment = P.HaveAlignment;
    B->cpRect = P.Visible ? ToRECT(P.Rect) : RECT{0, 0, 0, 0};
    B->Enabled = ButtonEnabled(*B);
  }
}

void TacFrame::PaintShadow(Bitmap32& Bmp, const TacFrameMetrics& FM, const std::vector<BmpRect>& Clear) {
  TacSkinData* D = SkinData();
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

void TacFrame::PaintIcon(Bitmap32& Bmp) {
  HWND W = Wnd();
  if (FIconRect.right <= FIconRect.left || !W) return;
  HICON Icon = FHost.FrameIcon();
  if (!Icon) Icon = reinterpret_cast<HICON>(SendMessageW(W, WM_GETICON, ICON_SMALL2, 0));
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

void TacFrame::DrawButton(Bitmap32& Bmp, TsCaptionButton& Btn, bool FromStrip) {
  TacSkinData* D = SkinData();
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

void TacFrame::PaintCaptionText(const TacFrameMetrics& FM, int State, const RECT& TextRect) {
  const std::wstring Text = FHost.FrameCaption();
  if (Text.empty() || TextRect.right <= TextRect.left) return;
  TDibBitmap* Cache = Data()->CacheBmp();
  TsSkinManager* M = DefaultManager();
  TacSkinData* D = SkinData();
  HDC DC = Cache->Canvas();
  std::wstring FontName = M ? M->CurrentFontName() : std::wstring();
  if (FontName.empty()) FontName = FHost.FrameFontName();
  // The density the frame is drawn for (the skin data chosen for the form).
  const int PPI = D && D->PPI > 0 ? D->PPI : 96;
  const int Height = -MulDiv(13, PPI, 96);
  const int Charset = FHost.FrameFontCharset();
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
  // The framework's alignments: 0 left, 1 right, 2 centred.
  if (FHost.FrameCaptionAlignment() == 2) Flags |= DT_CENTER;
  if (FHost.FrameCaptionAlignment() == 1) Flags |= DT_RIGHT;
  const int Section = FTitleSkinIndex >= 0 ? FTitleSkinIndex : Data()->SkinIndex();
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

void TacFrame::PaintTitle(Bitmap32& Bmp, const TacFrameMetrics& FM, int State) {
  TacSkinData* D = SkinData();
  const BmpRect Band(FM.L, FM.T, FM.Width - FM.R, std::min(FM.Height - FM.B, FHeaderHeight));
  if (FTitleSkinIndex >= 0 && Band.Height() > 0 && Band.Width() > 0)
    PaintSectionByIndex(FTitleSkinIndex, MakeCacheInfo(Bmp), -1, -1, D, Bmp, BmpPoint(0, 0), Band, State);
  PaintIcon(Bmp);
  PaintCaptionText(FM, State, ToRECT(FLayout.Caption));
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

std::vector<BmpRect> TacFrame::CornerHoles(const TacFrameMetrics& FM, int State) {
  // The form section covers the whole window and the title section its top
  // band: a pixel is cut away only where every piece over it lets the
  // pixels below show, so only in the form mask's corner pieces.
  std::vector<BmpRect> Holes;
  TacSkinData* D = SkinData();
  const BmpRect Whole(FM.L, FM.T, FM.Width - FM.R, FM.Height - FM.B);
  const BmpRect Band(Whole.Left, Whole.Top, Whole.Right, std::min(Whole.Bottom, FHeaderHeight));
  const auto Frame = CornerPieces(D, Data()->SkinIndex(), Whole, State);
  const auto Title =
      FTitleSkinIndex >= 0 ? CornerPieces(D, FTitleSkinIndex, Band, State) : std::array<TCornerPiece, 4>{};
  const bool TitleBand = FTitleSkinIndex >= 0 && Band.Height() > 0;
  for (const TCornerPiece& F : Frame) {
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

bool TacFrame::PaintAll() {
  HWND W = Wnd();
  if (W) FHost.FrameEnsureReady();
  if (!FHost.FrameSkinned() || !W || IsIconic(W) || FInPaint) return false;
  TacSkinData* D = SkinData();
  const int FormIdx = Data()->SkinIndex();
  if (!D || FormIdx < 0 || FormIdx >= static_cast<int>(D->gd.size())) return false;
  const TacFrameMetrics FM = Metrics();
  if (FM.Width <= 0 || FM.Height <= 0) return false;
  FInPaint = true;
  ++PaintCount;
  TDibBitmap* Cache = Data()->CacheBmp();
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
    FHost.FrameHolesChanged();
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
  Data()->BGChanged = false;
  FImageSize = SIZE{FM.FormW, FM.FormH};
  ++ImageSerial;
  FInPaint = false;
  return true;
}


TsCaptionButton* TacFrame::ButtonOfHT(int HT) {
  switch (HT) {
    case HTCLOSE: return &ButtonClose;
    case HTMAXBUTTON: return &ButtonMax;
    case HTMINBUTTON: return &ButtonMin;
    case HTHELP: return &ButtonHelp;
    default: return nullptr;
  }
}

int TacFrame::ExHitTest(POINT P) {
  HWND W = Wnd();
  if (!W || !FHost.FrameSkinned()) return HTNOWHERE;
  if (!IsWindowEnabled(W)) return HTTRANSPARENT;
  if (Data()->BGChanged) PaintAll();
  const TacFrameMetrics FM = Metrics();
  TacHitInput In;
  In.Enabled = {ButtonClose.Enabled, ButtonMax.Enabled, ButtonMin.Enabled, ButtonHelp.Enabled};
  In.Iconic = IsIconic(W) != FALSE;
  In.Sizable = (GetWindowLongW(W, GWL_STYLE) & WS_THICKFRAME) && !IsZoomed(W);
  const TRect Frame = FM.Frame();
  In.Client = TRect(OffsetX(), OffsetY(), Frame.Right - FM.BW, Frame.Bottom - FM.BW);
  return FrameHitTest(TPoint(P.x, P.y), FM, FLayout, In);
}

void TacFrame::RepaintButton(TsCaptionButton& Btn) {
  TDibBitmap* Cache = Data() ? Data()->CacheBmp() : nullptr;
  if (!Cache || Cache->Empty() || Data()->BGChanged) {
    FHost.FrameShow();
    return;
  }
  DrawButton(Cache->Bmp(), Btn, true);
  DirtySerial = ++ImageSerial;
  DirtyRect = Btn.cpRect;
  FHost.FrameShowPart(Btn.cpRect);
}

void TacFrame::StartFade(TsCaptionButton& Btn, bool Up) {
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

void TacFrame::StopFade(TsCaptionButton& Btn) {
  if (!Btn.cpTimer) return;
  if (HWND W = Wnd()) KillTimer(W, Btn.cpTimer->TimerId);
  Btn.cpTimer.reset();  // the reference goes with the fade
}

void TacFrame::FadeTick(UINT_PTR Id) {
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

void TacFrame::KillAnimations() {
  for (TsCaptionButton* B : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) StopFade(*B);
}

void TacFrame::SetHot(int HT) {
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

void TacFrame::CancelPress() {
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

void TacFrame::DoCommand(WPARAM Cmd) {
  if (HWND W = Wnd()) PostMessageW(W, WM_SYSCOMMAND, Cmd, 0);
}

void TacFrame::ReleaseAt(POINT Image) {
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
    DoCommand(IsIconic(W) && !FHost.FrameIsMainWindow() ? SC_RESTORE : SC_MINIMIZE);
    Changed();
  } else if (Pressed == &ButtonMax) {
    Pressed->cpState = 0;
    CurrentHT = 0;  // the button is hot again when the pointer next moves over it
    DoCommand(IsZoomed(W) ? SC_RESTORE : SC_MAXIMIZE);
  } else if (Pressed == &ButtonHelp) {
    DoCommand(SC_CONTEXTHELP);
  }
}

void TacFrame::HandleNCMouseMove(int HT) { SetHot(HT); }

void TacFrame::HandleNCMouseLeave() {
  if (!biClicked) SetHot(0);
}

void TacFrame::HandleNCButtonDown(int HT, POINT Screen) {
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

void TacFrame::HandleNCButtonUp(int HT, POINT Screen) {
  (void)HT;
  ReleaseAt(ScreenToImage(Screen));
}

void TacFrame::HandleNCDoubleClick(int HT) {
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

void TacFrame::HandleNCRightUp(int HT, POINT Screen) {
  if (RightPressed && (HT == HTCAPTION || HT == HTSYSMENU)) DropSysMenu(Screen.x, Screen.y);
  RightPressed = false;
}

HMENU TacFrame::BuildSysMenu() {
  HWND W = Wnd();
  HMENU Sys = W ? GetSystemMenu(W, FALSE) : nullptr;
  if (!Sys) return nullptr;
  if (Data() && Data()->BGChanged) PaintAll();  // the button set is known
  HMENU Menu = CreatePopupMenu();
  const LONG Style = GetWindowLongW(W, GWL_STYLE);
  const bool Zoomed = IsZoomed(W), Iconic = IsIconic(W);
  const TacBorderStyle BS = FHost.FrameBorderStyle();
  const bool MinMax = BS == acbsSingle || BS == acbsSizeable;
  const bool Sizable = BS != acbsNone && BS != acbsDialog && BS != acbsToolWindow;
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
  Add(SC_SIZE, L"Size", Sizable, BS != acbsSingle && !Iconic);
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

bool TacFrame::DropSysMenuBelowIcon() {
  if (Data() && Data()->BGChanged) PaintAll();  // the icon's place is known
  const POINT Origin = ScreenToImage(POINT{0, 0});
  return DropSysMenu(FIconRect.left - Origin.x, FIconRect.bottom - Origin.y);
}

bool TacFrame::DropSysMenu(int X, int Y) {
  HWND W = Wnd();
  HMENU Menu = BuildSysMenu();
  if (!Menu) return false;
  // The window owns the menu while it shows, so the items' measure and draw
  // questions reach this frame's owner, which hands them on (HandleInput).
  TsSkinManager* M = DefaultManager();
  TsSkinableMenus* Painter = M && M->SkinCommonInfo.Active && M->SkinnedPopups() ? SkinableMenus(M) : nullptr;
  if (Painter) Painter->HookMenu(Menu, true);
  FMenuPainter = Painter;
  const UINT Cmd =
      static_cast<UINT>(TrackPopupMenu(Menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, X, Y, 0, W, nullptr));
  FMenuPainter = nullptr;
  if (Painter && SkinableMenus(M) == Painter) Painter->UnhookMenu(Menu);
  DestroyMenu(Menu);
  if (Cmd) DoCommand(Cmd);
  return Cmd != 0;
}

// ---------------------------------------------------------------------------
// Messages

bool TacFrame::HandleInput(TMessage& M) {
  switch (M.Msg) {
    case WM_MEASUREITEM:
    case WM_DRAWITEM: return FMenuPainter && FMenuPainter->HandleOwnerMessage(M);
    case WM_NCHITTEST: {
      // With a border window that window answers over the frame.
      if (FHost.FrameExtended() || !CaptionHeight(false)) return false;
      const int HT = ExHitTest(ScreenToImage(POINT{XOf(M.LParam), YOf(M.LParam)}));
      if (HT == HTSYSMENU || ButtonOfHT(HT)) {
        M.Result = HT;
        return true;
      }
      return false;
    }
    case WM_NCLBUTTONDOWN: {
      POINT P{XOf(M.LParam), YOf(M.LParam)};
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      if (HT == -1) HT = ExHitTest(ScreenToImage(P));
      if (HT == HTSYSMENU || (ButtonOfHT(HT) && ButtonOfHT(HT)->Visible)) {
        HandleNCButtonDown(HT, P);
        M.Result = 0;
        return true;
      }
      if (HT == HTCAPTION && IsIconic(Wnd())) {
        PostMessageW(Wnd(), WM_SYSCOMMAND, 0xF012, 0);
        return true;
      }
      M.WParam = static_cast<WPARAM>(HT);
      return false;
    }
    case WM_NCLBUTTONUP:
      if (biClicked) {
        HandleNCButtonUp(0, POINT{XOf(M.LParam), YOf(M.LParam)});
        return true;
      }
      return static_cast<INT_PTR>(M.WParam) == -1;
    case WM_NCLBUTTONDBLCLK: {
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      if (HT == -1) HT = ExHitTest(ScreenToImage(POINT{XOf(M.LParam), YOf(M.LParam)}));
      if (HT == HTCAPTION || HT == HTSYSMENU) {
        HandleNCDoubleClick(HT);
        return true;
      }
      // A quick second click on a title button is another press.
      if (TsCaptionButton* B = ButtonOfHT(HT); B && B->Visible) {
        HandleNCButtonDown(HT, POINT{XOf(M.LParam), YOf(M.LParam)});
        return true;
      }
      return false;
    }
    case WM_NCRBUTTONDOWN: {
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      if (HT == -1) HT = ExHitTest(ScreenToImage(POINT{XOf(M.LParam), YOf(M.LParam)}));
      if (HT == HTCAPTION || HT == HTSYSMENU) {
        RightPressed = true;
        return true;
      }
      return false;
    }
    case WM_NCRBUTTONUP: {
      POINT P{XOf(M.LParam), YOf(M.LParam)};
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      if (HT == -1) HT = ExHitTest(ScreenToImage(P));
      if (RightPressed) {
        HandleNCRightUp(HT, P);
        return true;
      }
      return false;
    }
    case WM_SYSCOMMAND:
      // Alt+Space: the skinned system menu replaces the window's own here too.
      if ((M.WParam & 0xFFF0) == SC_KEYMENU && M.LParam == VK_SPACE && CaptionHeight(false)) {
        DropSysMenuBelowIcon();
        M.Result = 0;
        return true;
      }
      return false;
    case WM_SYSMENU_AT_CURSOR: {
      POINT P{};
      GetCursorPos(&P);
      DropSysMenu(P.x, P.y);
      M.Result = 0;
      return true;
    }
    case WM_NCMOUSEMOVE: {
      int HT = static_cast<int>(static_cast<INT_PTR>(M.WParam));
      const bool Extended = FHost.FrameExtended();
      if (HT == -1 || !Extended) HT = ExHitTest(ScreenToImage(POINT{XOf(M.LParam), YOf(M.LParam)}));
      SetHot(HT);
      if (!Extended) {
        TRACKMOUSEEVENT T{sizeof T, TME_LEAVE | TME_NONCLIENT, Wnd(), 0};
        TrackMouseEvent(&T);
      }
      return false;
    }
    case WM_NCMOUSELEAVE: HandleNCMouseLeave(); return false;
    case WM_MOUSEMOVE: {
      if (!biClicked) return false;
      // While pressed, the button shows pressed only with the pointer over it.
      POINT P{XOf(M.LParam), YOf(M.LParam)};
      ClientToScreen(Wnd(), &P);
      if (TsCaptionButton* B = ButtonOfHT(CurrentHT)) {
        const int State = PtInRect(&B->cpRect, ScreenToImage(P)) ? 2 : 0;
        if (State != B->cpState) {
          B->cpState = State;
          RepaintButton(*B);
        }
      }
      return true;
    }
    case WM_LBUTTONUP: {
      if (!biClicked) return false;
      POINT P{XOf(M.LParam), YOf(M.LParam)};
      ClientToScreen(Wnd(), &P);
      TsCaptionButton* B = ButtonOfHT(CurrentHT);
      // The press went out of its button and back: it is the pressed one again.
      if (B && B->cpState != 2 && PtInRect(&B->cpRect, ScreenToImage(P))) B->cpState = 2;
      ReleaseAt(ScreenToImage(P));
      return true;
    }
    case WM_CAPTURECHANGED:
      if (biClicked && reinterpret_cast<HWND>(M.LParam) != Wnd()) CancelPress();
      return false;
    case WM_CANCELMODE:
      if (biClicked) CancelPress();
      return false;
    case WM_TIMER:
      if (M.WParam >= FadeTimerBase && M.WParam < FadeTimerBase + 4) {
        FadeTick(M.WParam);
        return true;
      }
      return false;
    default: return false;
  }
}

}  // namespace cb
