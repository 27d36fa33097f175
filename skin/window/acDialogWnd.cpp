#include "acDialogWnd.h"

#include <algorithm>
#include <cwctype>
#include <map>

#include "acDwm.h"
#include "acRegion.h"
#include "acSubclassIds.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"
#include "skin/binding/sSkinText.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/section/sGraphUtils.h"

namespace cb {

namespace {

constexpr LONG DS_NOIDLEMSG_ = 0x100;
constexpr LONG KeptStyles = WS_SYSMENU | DS_NOIDLEMSG_;

std::wstring LowerClassOf(HWND Wnd) {
  wchar_t Buf[256] = {};
  GetClassNameW(Wnd, Buf, 255);
  std::wstring S = Buf;
  for (auto& C : S) C = static_cast<wchar_t>(std::towlower(C));
  return S;
}

std::wstring TextOf(HWND Wnd) {
  std::wstring S(static_cast<size_t>(std::max(0, GetWindowTextLengthW(Wnd))) + 1, L'\0');
  S.resize(static_cast<size_t>(std::max(0, GetWindowTextW(Wnd, S.data(), static_cast<int>(S.size())))));
  return S;
}

// A class style is shared by every window of the class: the saved-bits style
// comes off while any skinned dialog of the class lives and goes back with the
// last one.
struct TSaveBitsHold {
  int Holders = 0;
  bool Had = false;
};
std::map<ATOM, TSaveBitsHold>& SaveBitsHolds() {
  static auto* M = new std::map<ATOM, TSaveBitsHold>;
  return *M;
}

void HoldSaveBits(HWND W) {
  TSaveBitsHold& H = SaveBitsHolds()[static_cast<ATOM>(GetClassWord(W, GCW_ATOM))];
  const ULONG_PTR Style = GetClassLongPtrW(W, GCL_STYLE);
  if (H.Holders++ == 0) H.Had = (Style & CS_SAVEBITS) != 0;
  if (Style & CS_SAVEBITS) SetClassLongPtrW(W, GCL_STYLE, static_cast<LONG_PTR>(Style & ~ULONG_PTR(CS_SAVEBITS)));
}

void ReleaseSaveBits(HWND W) {
  auto It = SaveBitsHolds().find(static_cast<ATOM>(GetClassWord(W, GCW_ATOM)));
  if (It == SaveBitsHolds().end() || --It->second.Holders > 0) return;
  if (It->second.Had)
    SetClassLongPtrW(W, GCL_STYLE, static_cast<LONG_PTR>(GetClassLongPtrW(W, GCL_STYLE) | CS_SAVEBITS));
  SaveBitsHolds().erase(It);
}

TsSkinManager* LiveManager() {
  TsSkinManager* M = DefaultManager();
  return M && M->SkinCommonInfo.Active ? M : nullptr;
}

// ---------------------------------------------------------------------------
// Children

// Text of a static: the dialog's background, the text in the font colour of
// the dialog's section through the skin's text routine.
class TacStaticWnd : public TacChildWnd {
public:
  using TacChildWnd::TacChildWnd;

protected:
  void PaintTo(TDibBitmap& Bmp) override {
    const LONG Style = GetWindowLongW(CtrlHandle, GWL_STYLE);
    const std::wstring Text = TextOf(CtrlHandle);
    UINT Flags = DT_EXPANDTABS;
    switch (Style & SS_TYPEMASK) {
      case SS_CENTER: Flags |= DT_CENTER | DT_WORDBREAK; break;
      case SS_RIGHT: Flags |= DT_RIGHT | DT_WORDBREAK; break;
      case SS_LEFTNOWORDWRAP: Flags |= DT_LEFT; break;
      case SS_SIMPLE: Flags |= DT_LEFT | DT_SINGLELINE; break;
      default: Flags |= DT_LEFT | DT_WORDBREAK; break;
    }
    if (Style & SS_NOPREFIX) Flags |= DT_NOPREFIX;
    HDC DC = Bmp.Canvas();
    HGDIOBJ Old = SelectObject(DC, reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0))
                                       ? reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0))
                                       : GetStockObject(DEFAULT_GUI_FONT));
    RECT R{0, 0, Bmp.Width(), Bmp.Height()};
    DrawSectionText(DC, Text, IsWindowEnabled(CtrlHandle) != FALSE, DefaultManager(), 0, FDialog.ClientSection(),
                    FDialog.Skin(), Flags, R);
    SelectObject(DC, Old);
  }
  bool Restyles(UINT Msg) const override { return Msg == WM_SETTEXT || Msg == WM_ENABLE || Msg == WM_SETFONT; }
};

// An icon or bitmap static: the picture over the dialog's background.
class TacIconWnd : public TacChildWnd {
public:
  using TacChildWnd::TacChildWnd;

protected:
  void PaintTo(TDibBitmap& Bmp) override {
    const LONG Type = GetWindowLongW(CtrlHandle, GWL_STYLE) & SS_TYPEMASK;
    HDC DC = Bmp.Canvas();
    if (Type == SS_BITMAP) {
      auto* Pic = reinterpret_cast<HBITMAP>(SendMessageW(CtrlHandle, STM_GETIMAGE, IMAGE_BITMAP, 0));
      BITMAP B{};
      if (!Pic || !GetObjectW(Pic, sizeof B, &B)) return;
      HDC Src = CreateCompatibleDC(DC);
      HGDIOBJ Old = SelectObject(Src, Pic);
      BitBlt(DC, 0, 0, B.bmWidth, B.bmHeight, Src, 0, 0, SRCCOPY);
      SelectObject(Src, Old);
      DeleteDC(Src);
      return;
    }
    auto* Icon = reinterpret_cast<HICON>(SendMessageW(CtrlHandle, STM_GETICON, 0, 0));
    if (!Icon) return;
    // At its own size, as the static shows it (a message box sizes the static to the icon).
    DrawIconEx(DC, 0, 0, Icon, Bmp.Width(), Bmp.Height(), 0, nullptr, DI_NORMAL);
  }
  bool Restyles(UINT Msg) const override { return Msg == STM_SETICON || Msg == STM_SETIMAGE || Msg == WM_ENABLE; }
};

// A push button with the look of the program's own: the "BUTTON" section in
// its state (hot under the pointer or focused, pressed while pushed, the
// default button hot), the caption through the skin's text routine, the
// focus rectangle dotted in the section's font colour.
class TacBtnWnd : public TacChildWnd {
public:
  using TacChildWnd::TacChildWnd;
  void WndProc(TMessage& M, const TWindowHookNext& Next) override {
    switch (M.Msg) {
      case WM_MOUSEMOVE:
        if (!FMouseAbove) {
          FMouseAbove = true;
          TRACKMOUSEEVENT T{sizeof T, TME_LEAVE, CtrlHandle, 0};
          TrackMouseEvent(&T);
          InvalidateRect(CtrlHandle, nullptr, FALSE);
        }
        break;
      case WM_MOUSELEAVE:
        FMouseAbove = false;
        InvalidateRect(CtrlHandle, nullptr, FALSE);
        break;
      default: break;
    }
    TacChildWnd::WndProc(M, Next);
  }

  int State() const {
    const LRESULT S = SendMessageW(CtrlHandle, BM_GETSTATE, 0, 0);
    if (S & BST_PUSHED) return 2;
    if (FMouseAbove || GetFocus() == CtrlHandle) return 1;
    if ((GetWindowLongW(CtrlHandle, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return 3;
    return 0;
  }

protected:
  void PaintTo(TDibBitmap& Bmp) override {
    TsSkinManager* M = DefaultManager();
    TacSkinData* D = FDialog.Skin();
    const int Idx = M ? M->SkinCommonInfo.Sections[ssButton] : -1;
    if (!D || Idx < 0 || Idx >= static_cast<int>(D->gd.size())) return;
    const TsGeneralData& G = D->gd[static_cast<size_t>(Idx)];
    int S = State();
    if (S == 3 && G.States < 4) S = 1;
    S = std::clamp(S, 0, std::max(0, G.States - 1));
    // The section over the background the bitmap already holds.
    Bitmap32 Under(Bmp.Width(), Bmp.Height());
    CopyPiece(Under, BmpPoint(0, 0), Bmp.Bmp(), Bmp.Bmp().Bounds());
    TCacheInfo CI = MakeCacheInfo(Under);
    PaintSectionByIndex(Idx, CI, -1, -1, D, Bmp.Bmp(), BmpPoint(0, 0), Bmp.Bmp().Bounds(), S);
    GdiFlush();
    HDC DC = Bmp.Canvas();
    HFONT Font = reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0));
    HGDIOBJ Old = SelectObject(DC, Font ? static_cast<HGDIOBJ>(Font) : GetStockObject(DEFAULT_GUI_FONT));
    const std::wstring Text = TextOf(CtrlHandle);
    const int W = Bmp.Width(), H = Bmp.Height(), Margin = 6;
    RECT R{0, 0, 0, 0};
    if (!Text.empty()) {
      RECT Ms{Margin, 0, std::max(Margin, W - 2 * Margin), 0};
      {
        TacFontFallback Fallback(DC, Text);
        DrawTextW(DC, Text.c_str(), static_cast<int>(Text.size()), &Ms, DT_CALCRECT | DT_EXPANDTABS | DT_SINGLELINE);
      }
      R.left = (W - (Ms.right - Ms.left)) / 2;
      R.right = R.left + (Ms.right - Ms.left);
      R.top = (H - (Ms.bottom - Ms.top)) / 2;
      R.bottom = R.top + (Ms.bottom - Ms.top);
      DrawSectionText(DC, Text, IsWindowEnabled(CtrlHandle) != FALSE, M, S, Idx, D,
                      DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_EXPANDTABS, R);
    }
    SelectObject(DC, Old);
    GdiFlush();
    RECT F = R;
    InflateRect(&F, 2, 1);
    F.top = std::max<LONG>(F.top, 3);
    F.bottom = std::min<LONG>(F.bottom, H - 3);
    F.left = std::max<LONG>(F.left, 0);
    F.right = std::min<LONG>(F.right, W);
    if (GetFocus() == CtrlHandle && IsWindowEnabled(CtrlHandle) && !Text.empty() && F.left < F.right &&
        F.top < F.bottom) {
      const std::uint32_t C =
          ColorToPixel(static_cast<std::uint32_t>(G.Props[size_t(std::min(2, G.States - 1))].FontColor.Color) & 0xFFFFFF, 255);
      Bitmap32& B = Bmp.Bmp();
      for (int X = F.left; X < F.right; X += 2) {
        B.SetPixel(X, F.top, C);
        B.SetPixel(X, F.bottom - 1, C);
      }
      for (int Y = F.top; Y < F.bottom; Y += 2) {
        B.SetPixel(F.left, Y, C);
        B.SetPixel(F.right - 1, Y, C);
      }
    }
  }
  bool Restyles(UINT Msg) const override {
    switch (Msg) {
      case BM_SETSTATE:
      case BM_SETSTYLE:
      case BM_CLICK:
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
      case WM_ENABLE:
      case WM_SETTEXT:
      case WM_LBUTTONDOWN:
      case WM_LBUTTONUP:
      case WM_KEYDOWN:
      case WM_KEYUP:
      case WM_CAPTURECHANGED: return true;
      default: return false;
    }
  }

private:
  bool FMouseAbove = false;
};

}  // namespace

void PrintHwndControls(HWND Parent, HDC DC) {
  // Bottom of the z-order first, so those above are printed over it.
  HWND Last = GetWindow(Parent, GW_CHILD);
  if (!Last) return;
  Last = GetWindow(Last, GW_HWNDLAST);
  for (HWND C = Last; C; C = GetWindow(C, GW_HWNDPREV)) {
    if ((GetWindowLongW(C, GWL_STYLE) & (WS_CHILD | WS_VISIBLE)) != (WS_CHILD | WS_VISIBLE)) continue;
    POINT P{0, 0};
    MapWindowPoints(C, Parent, &P, 1);
    POINT Old{};
    OffsetViewportOrgEx(DC, P.x, P.y, &Old);
    SendMessageW(C, WM_PRINT, reinterpret_cast<WPARAM>(DC), PRF_CLIENT | PRF_ERASEBKGND | PRF_NONCLIENT);
    PrintHwndControls(C, DC);
    SetViewportOrgEx(DC, Old.x, Old.y, nullptr);
  }
}

// ---------------------------------------------------------------------------
// Child wrappers

void TacChildWnd::WndProc(TMessage& M, const TWindowHookNext& Next) {
  switch (M.Msg) {
    case WM_ERASEBKGND: M.Result = 1; return;
    case WM_PAINT: {
      PAINTSTRUCT PS{};
      HDC DC = M.WParam ? reinterpret_cast<HDC>(M.WParam) : BeginPaint(CtrlHandle, &PS);
      if (DC) Paint(DC);
      if (!M.WParam) EndPaint(CtrlHandle, &PS);
      M.Result = 0;
      return;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(M.WParam));
      M.Result = 0;
      return;
    case WM_PRINT:
      if (M.LParam & PRF_CLIENT) Paint(reinterpret_cast<HDC>(M.WParam));
      M.Result = 0;
      return;
    case WM_NCDESTROY: Destroyed = true; break;
    default: break;
  }
  Next(M);
  // The control's own handling may have drawn its system look straight to the screen.
  if (!Destroyed && Restyles(M.Msg)) RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

bool TacChildWnd::Restyles(UINT) const { return false; }

void TacChildWnd::Paint(HDC DC) {
  RECT CR{};
  GetClientRect(CtrlHandle, &CR);
  if (CR.right <= 0 || CR.bottom <= 0) return;
  TDibBitmap Bmp(CR.right, CR.bottom);
  if (!FDialog.ChildBackground(CtrlHandle, Bmp)) FillPixels32(Bmp.Bmp(), Bmp.Bmp().Bounds(), GetSysColor(COLOR_BTNFACE));
  PaintTo(Bmp);
  GdiFlush();
  Bmp.CopyTo(DC, 0, 0);
}

std::unique_ptr<TacChildWnd> MakeChildWrapper(HWND Child, TacDialogWnd& Dialog) {
  const std::wstring Class = LowerClassOf(Child);
  const LONG Style = GetWindowLongW(Child, GWL_STYLE);
  if (Class == L"static") {
    switch (Style & SS_TYPEMASK) {
      case SS_ICON:
      case SS_BITMAP: return std::make_unique<TacIconWnd>(Child, Dialog);
      case SS_LEFT:
      case SS_CENTER:
      case SS_RIGHT:
      case SS_SIMPLE:
      case SS_LEFTNOWORDWRAP: return std::make_unique<TacStaticWnd>(Child, Dialog);
      default: return nullptr;  // frames, rectangles, owner-drawn: theirs
    }
  }
  if (Class == L"button") {
    const LONG Type = Style & BS_TYPEMASK;
    if (Type == BS_PUSHBUTTON || Type == BS_DEFPUSHBUTTON) return std::make_unique<TacBtnWnd>(Child, Dialog);
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// The dialog

TacDialogWnd::TacDialogWnd(HWND Wnd) : TacMainWnd(Wnd), SkinData(nullptr, COC_TsSkinProvider) {
  Frame = std::make_unique<TacFrame>(static_cast<TacFrameHost&>(*this));
}

TacDialogWnd::~TacDialogWnd() {
  Frame.reset();
  BorderForm.reset();
  if (TitleIcon) DestroyIcon(TitleIcon);
  if (TitleFont) DeleteObject(TitleFont);
  if (FBrush) DeleteObject(FBrush);
}

bool TacDialogWnd::FrameSkinned() const {
  return !Destroyed && LiveManager() && SkinData.SkinIndex() >= 0 && IsWindow(CtrlHandle);
}

bool TacDialogWnd::FrameExtended() const {
  TsSkinManager* M = LiveManager();
  return M && M->ExtendedBordersValue() && LayeredWindowsAvailable() && BorderStyle != acbsNone;
}

std::wstring TacDialogWnd::FrameCaption() const { return TextOf(CtrlHandle); }

bool TacDialogWnd::Attach() {
  HWND W = CtrlHandle;
  FOldStyle = GetWindowLongW(W, GWL_STYLE);
  BorderStyle = acbsSingle;
  // The rendering policy, the class's saved bits and the idle messages would
  // each let the system draw or restore pixels of its own over ours.
  if (FOldStyle & DS_NOIDLEMSG_) SetWindowLongW(W, GWL_STYLE, FOldStyle & ~DS_NOIDLEMSG_);
  HoldSaveBits(W);
  FHoldsClass = true;
  if (DwmCompositionEnabled()) {
    const BOOL OwnFrame = TRUE;
    FPolicySet = SUCCEEDED(DwmSetWindowAttributeRT(W, acDwmNCRenderingPolicy, &OwnFrame, sizeof OwnFrame));
  }
  if ((FOldStyle & WS_POPUP) && !(FOldStyle & WS_CAPTION))
    BorderStyle = acbsNone;
  else if (FOldStyle & WS_THICKFRAME)
    BorderStyle = acbsSizeable;
  else if (FOldStyle & DS_MODALFRAME)
    BorderStyle = acbsDialog;
  else
    BorderStyle = acbsSizeable;
  NONCLIENTMETRICSW NCM{};
  NCM.cbSize = sizeof NCM;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof NCM, &NCM, 0)) {
    TitleFont = CreateFontIndirectW(&NCM.lfCaptionFont);
    TitleFontName = NCM.lfCaptionFont.lfFaceName;
    TitleFontCharset = NCM.lfCaptionFont.lfCharSet;
  }
  HICON Src = reinterpret_cast<HICON>(GetClassLongPtrW(W, GCLP_HICONSM));
  if (!Src) Src = reinterpret_cast<HICON>(GetClassLongPtrW(W, GCLP_HICON));
  if (!Src) Src = LoadIconW(nullptr, IDI_APPLICATION);
  // Ours alone: the class's icon is shared, a system icon must not be destroyed.
  if (Src)
    TitleIcon = static_cast<HICON>(
        CopyImage(Src, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  // The system draws no caption buttons of its own any more.
  SetWindowLongW(W, GWL_STYLE, GetWindowLongW(W, GWL_STYLE) & ~WS_SYSMENU);
  PrepareSkin();
  return true;
}

void TacDialogWnd::PrepareSkin() {
  TsSkinManager* M = LiveManager();
  if (!M) return;
  if (HDC Screen = GetDC(nullptr)) {
    SkinData.CurrentPPI = GetDeviceCaps(Screen, LOGPIXELSY);
    ReleaseDC(nullptr, Screen);
  }
  SkinData.SetSkinSection(L"DIALOG");
  SkinData.Loaded(false);
  const int DlgTitle = M->SkinCommonInfo.Sections[ssDialogTitle];
  Frame->FTitleSkinIndex = DlgTitle >= 0 ? DlgTitle : M->SkinCommonInfo.Sections[ssFormTitle];
  Frame->FCaptionSkinIndex = -1;
  Frame->FHeaderIndex = -1;
  Frame->MetricsChanged();
  Frame->Changed();
  FRgnChanged = true;
}

namespace {

// The box's buttons moved together as its layout changes.
void MoveButtons(HWND Dialog, int DX, int DY) {
  for (HWND C = GetWindow(Dialog, GW_CHILD); C; C = GetWindow(C, GW_HWNDNEXT)) {
    if (LowerClassOf(C) != L"button") continue;
    RECT BR{};
    GetWindowRect(C, &BR);
    POINT P{BR.left, BR.top};
    ScreenToClient(Dialog, &P);
    SetWindowPos(C, nullptr, P.x + DX, P.y + DY, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
  }
}

}  // namespace

bool TacDialogWnd::InitChildren() {
  if (Initialized) return true;
  Initialized = true;
  for (HWND C = GetWindow(CtrlHandle, GW_CHILD); C; C = GetWindow(C, GW_HWNDNEXT)) {
    std::unique_ptr<TacChildWnd> Wrapper = MakeChildWrapper(C, *this);
    if (!Wrapper) continue;
    if (!AddForeignHook(C, siDialogChild, std::move(Wrapper))) return false;
    WrappedChildren.push_back(C);
  }
  FitMessageText();
  KeepTextAboveBand();
  return true;
}

int TacDialogWnd::BandTop(int FromY) {
  if (!FrameSkinned() || (SkinData.BGChanged && !Frame->PaintAll())) return -1;
  TDibBitmap* Img = Frame->FrameImage();
  if (!Img || Img->Empty()) return -1;
  const Bitmap32& B = Img->Bmp();
  RECT CR{};
  GetClientRect(CtrlHandle, &CR);
  // A column of the client's left margin, which no child covers.
  const int X = Frame->OffsetX() + 2, Y0 = Frame->OffsetY() + FromY, End = std::min<int>(B.Height(), Frame->OffsetY() + CR.bottom);
  if (X >= B.Width() || Y0 < 0 || Y0 >= End) return -1;
  auto At = [&](int Y) { return B.Pixel(X, Y) & 0xFFFFFFu; };
  const std::uint32_t Text = At(Y0);
  // A band keeps its colour for a few rows; a gradient changes on every row.
  constexpr int kBandRows = 4;
  for (int Y = Y0 + 1; Y + kBandRows <= End; ++Y) {
    if (At(Y) == Text) continue;
    bool Band = true;
    for (int K = 1; K < kBandRows && Band; ++K) Band = At(Y + K) == At(Y);
    if (Band) return Y - Frame->OffsetY();
  }
  return -1;
}

void TacDialogWnd::KeepTextAboveBand() {
  constexpr int kMessageTextId = 0xFFFF;
  HWND Text = GetDlgItem(CtrlHandle, kMessageTextId);
  if (!Text || LowerClassOf(Text) != L"static" || !FrameSkinned()) return;
  RECT TR{};
  GetClientRect(Text, &TR);
  const std::wstring All = TextOf(Text);
  HDC DC = GetDC(Text);
  if (!DC) return;
  HGDIOBJ Old = SelectObject(DC, reinterpret_cast<HFONT>(SendMessageW(Text, WM_GETFONT, 0, 0)));
  RECT Need{0, 0, TR.right, 0};
  TEXTMETRICW TM{};
  {
    // As the text is drawn: top-aligned, in one face for all of it.
    TacFontFallback Fallback(DC, All);
    DrawTextW(DC, All.c_str(), static_cast<int>(All.size()), &Need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    GetTextMetricsW(DC, &TM);
  }
  SelectObject(DC, Old);
  ReleaseDC(Text, DC);
  POINT P{0, 0};
  MapWindowPoints(Text, CtrlHandle, &P, 1);
  const int TextEnd = P.y + std::min<int>(Need.bottom, TR.bottom) + std::max<int>(2, TM.tmHeight / 2);
  // Twice at most: a band that does not move with the box is not chased.
  for (int Pass = 0; Pass < 2; ++Pass) {
    const int Band = BandTop(P.y);
    if (Band < 0 || Band >= TextEnd) return;
    RECT WR{};
    GetWindowRect(CtrlHandle, &WR);
    const int FormH = WR.bottom - WR.top, BandInForm = Band + Frame->OffsetY();
    if (BandInForm <= 0) return;
    // A band stretched with the box moves down by its share of every row added.
    const long long Want = TextEnd + Frame->OffsetY();
    const int Grow = std::clamp(static_cast<int>((Want * FormH + BandInForm - 1) / BandInForm) - FormH, 1,
                                GetSystemMetrics(SM_CYSCREEN) / 2);
    const UINT Keep = SWP_NOZORDER | SWP_NOACTIVATE;
    MoveButtons(CtrlHandle, 0, Grow);
    SetWindowPos(CtrlHandle, nullptr, WR.left, WR.top - Grow / 2, WR.right - WR.left, FormH + Grow, Keep);
  }
}

void TacDialogWnd::FitMessageText() {
  // A message box is laid out for its own font; its text drawn in the
  // fallback face (Chinese on a system whose message font has no Chinese)
  // may need more room, which the box then gets, its buttons kept centred.
  constexpr int kMessageTextId = 0xFFFF;
  HWND Text = GetDlgItem(CtrlHandle, kMessageTextId);
  if (!Text || LowerClassOf(Text) != L"static") return;
  RECT CR{};
  GetClientRect(Text, &CR);
  std::wstring All = TextOf(Text), Line;
  int Need = 0;
  HDC DC = GetDC(Text);
  if (!DC) return;
  HGDIOBJ Old = SelectObject(DC, reinterpret_cast<HFONT>(SendMessageW(Text, WM_GETFONT, 0, 0)));
  for (size_t From = 0; From <= All.size();) {
    size_t To = All.find(L'\n', From);
    if (To == std::wstring::npos) To = All.size();
    Line = All.substr(From, To - From);
    if (!Line.empty() && Line.back() == L'\r') Line.pop_back();
    if (!Line.empty()) {
      TacFontFallback Fallback(DC, Line);
      RECT R{0, 0, 0, 0};
      DrawTextW(DC, Line.c_str(), static_cast<int>(Line.size()), &R, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS | DT_NOPREFIX);
      Need = std::max(Need, static_cast<int>(R.right));
    }
    From = To + 1;
  }
  SelectObject(DC, Old);
  ReleaseDC(Text, DC);
  const int Grow = std::min(Need - static_cast<int>(CR.right), GetSystemMetrics(SM_CXSCREEN) / 2);
  if (Grow <= 0) return;
  RECT WR{}, TR{};
  GetWindowRect(CtrlHandle, &WR);
  GetWindowRect(Text, &TR);
  const UINT Keep = SWP_NOZORDER | SWP_NOACTIVATE;
  SetWindowPos(Text, nullptr, 0, 0, TR.right - TR.left + Grow, TR.bottom - TR.top, Keep | SWP_NOMOVE);
  MoveButtons(CtrlHandle, Grow / 2, 0);
  SetWindowPos(CtrlHandle, nullptr, WR.left - Grow / 2, WR.top, WR.right - WR.left + Grow, WR.bottom - WR.top, Keep);
}

void TacDialogWnd::Detach() {
  if (Destroyed) return;
  Destroyed = true;
  HWND W = CtrlHandle;
  Frame->Release();
  BorderForm.reset();
  for (HWND C : WrappedChildren)
    if (IsWindow(C)) RemoveForeignHook(C, siDialogChild);
  WrappedChildren.clear();
  if (IsWindow(W)) {
    const LONG Now = GetWindowLongW(W, GWL_STYLE);
    SetWindowLongW(W, GWL_STYLE, (Now & ~KeptStyles) | (FOldStyle & KeptStyles));
    if (FHoldsClass) ReleaseSaveBits(W);
    FHoldsClass = false;
    if (FPolicySet) {
      const DWORD UseStyle = 0;
      DwmSetWindowAttributeRT(W, acDwmNCRenderingPolicy, &UseStyle, sizeof UseStyle);
    }
    if (FOwnRgn) SetWindowRgn(W, nullptr, FALSE);
    SetWindowPos(W, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(W, nullptr, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
  }
  // Last: with no message of the dialog under way this frees the wrapper.
  RemoveForeignHook(W, siDialog);
}

HBRUSH TacDialogWnd::ClientBrush() {
  TsSkinManager* M = LiveManager();
  const COLORREF C = M ? static_cast<COLORREF>(M->GetGlobalColor() & 0xFFFFFF) : GetSysColor(COLOR_BTNFACE);
  // One brush while the colour stays: the message comes for every child's paint.
  if (!FBrush || C != FBrushColor) {
    if (FBrush) DeleteObject(FBrush);
    FBrush = CreateSolidBrush(C);
    FBrushColor = C;
  }
  return FBrush;
}

bool TacDialogWnd::ChildBackground(HWND Child, TDibBitmap& Into) {
  if (!FrameSkinned()) return false;
  if (SkinData.BGChanged && !Frame->PaintAll()) return false;
  TDibBitmap* Img = Frame->FrameImage();
  if (!Img || Img->Empty()) return false;
  POINT P{0, 0};
  MapWindowPoints(Child, CtrlHandle, &P, 1);
  const int X = Frame->OffsetX() + P.x, Y = Frame->OffsetY() + P.y;
  CopyPiece(Into.Bmp(), BmpPoint(0, 0), Img->Bmp(), BmpRect(X, Y, X + Into.Width(), Y + Into.Height()));
  return true;
}

void TacDialogWnd::UpdateRegion() {
  HWND W = CtrlHandle;
  if (!FRgnChanged || !W || IsIconic(W) || !FrameSkinned()) return;
  const TacFrameMetrics FM = Frame->Metrics();
  RECT WR{};
  GetWindowRect(W, &WR);
  const int FormW = WR.right - WR.left, FormH = WR.bottom - WR.top;
  FRgnChanged = false;
  FRgnSize = SIZE{FormW, FormH};
  if (!FM.Extended) return;
  // The system's frame and caption are cut away; the border window shows the skin's.
  if (TacRgn(FM.SF, FM.SF + FM.SC, FormW - FM.SF, FormH - FM.SF).SetTo(W, IsWindowVisible(W) != FALSE)) FOwnRgn = true;
}

void TacDialogWnd::UpdateExBorders() {
  HWND W = CtrlHandle;
  if (!FrameSkinned() || !FrameExtended()) {
    BorderForm.reset();
    return;
  }
  if (!IsWindowVisible(W) || IsIconic(W)) {
    if (BorderForm) BorderForm->FreeWindow();
    return;
  }
  if (!BorderForm) BorderForm = std::make_unique<TacBorderForm>(static_cast<TacBorderOwner*>(this));
  UpdateRegion();
  const bool Stale = SkinData.BGChanged;
  if (Stale) Frame->PaintAll();
  BorderForm->UpdateExBordersPos(Stale);
}

void TacDialogWnd::EraseClient(TMessage& M) {
  HDC DC = reinterpret_cast<HDC>(M.WParam);
  if (!DC) return;
  if (SkinData.BGChanged) Frame->PaintAll();
  TDibBitmap* Img = Frame->FrameImage();
  if (!Img || Img->Empty() || SkinData.BGChanged) return;
  const int OX = Frame->OffsetX(), OY = Frame->OffsetY();
  RECT CR{};
  GetClientRect(CtrlHandle, &CR);
  Img->CopyTo(DC, 0, 0, BmpRect(OX, OY, OX + CR.right, OY + CR.bottom));
  M.Result = 1;
}

bool TacDialogWnd::CloseByOnlyButton() {
  // The title's close button stands for the box's cancel button, or for its
  // only button; a box with a choice and no cancel (yes/no) cannot be closed.
  HWND Cancel = GetDlgItem(CtrlHandle, IDCANCEL);
  HWND Only = nullptr;
  int Buttons = 0;
  for (HWND C = GetWindow(CtrlHandle, GW_CHILD); C; C = GetWindow(C, GW_HWNDNEXT)) {
    if (LowerClassOf(C) != L"button" || !IsWindowVisible(C)) continue;
    const LONG Type = GetWindowLongW(C, GWL_STYLE) & BS_TYPEMASK;
    if (Type != BS_PUSHBUTTON && Type != BS_DEFPUSHBUTTON) continue;
    ++Buttons;
    Only = C;
  }
  HWND Target = Cancel && IsWindowEnabled(Cancel) ? Cancel : Buttons == 1 ? Only : nullptr;
  if (!Target) return false;
  PostMessageW(CtrlHandle, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(Target), BN_CLICKED), reinterpret_cast<LPARAM>(Target));
  return true;
}

void TacDialogWnd::NCActivate(TMessage& M, const TWindowHookNext& Next) {
  // The system's caption is cut away by the region; its answer is still the dialog's.
  Next(M);
  const bool Active = M.WParam != 0;
  if (Active != Frame->FormActive) {
    Frame->FormActive = Active;
    Frame->Changed();
  }
  UpdateExBorders();
}

void TacDialogWnd::WndProc(TMessage& M, const TWindowHookNext& Next) {
  if (M.Msg == WM_NCDESTROY) {
    // The hooks come off after this; the window's pieces go now.
    Destroyed = true;
    Frame->Release();
    BorderForm.reset();
    if (FHoldsClass) ReleaseSaveBits(CtrlHandle);
    FHoldsClass = false;
    Next(M);
    return;
  }
  if (Destroyed || !FrameSkinned()) {
    Next(M);
    return;
  }
  switch (M.Msg) {
    case WM_NCCALCSIZE:
    case WM_STYLECHANGED:
    case WM_DPICHANGED: Frame->MetricsChanged(); break;
    default: break;
  }
  if (M.Msg == SKM_COMMAND) {
    switch (CommandOf(M.WParam)) {
      case SKC_GETFRAMEWIDTH: M.Result = Frame->Metrics().SF; return;
      case SKC_SKINLOADED:
      case SKC_REFRESH:
        PrepareSkin();
        UpdateExBorders();
        RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
        M.Result = 0;
        return;
      default: break;
    }
    Next(M);
    return;
  }
  if (Frame->HandleInput(M)) return;
  switch (M.Msg) {
    case WM_ERASEBKGND:
      if (!InitChildren()) {
        Detach();
        Next(M);
        return;
      }
      EraseClient(M);
      if (M.Result) return;
      break;
    case WM_NCPAINT:
      if (!IsWindowVisible(CtrlHandle)) break;
      if (!InitChildren()) {
        Detach();
        Next(M);
        return;
      }
      if (!FrameExtended()) break;
      if (!BorderForm || !BorderForm->Handle() || !IsWindowVisible(BorderForm->Handle())) UpdateExBorders();
      M.Result = 0;
      return;
    case WM_NCACTIVATE: NCActivate(M, Next); return;
    case WM_PRINT:
      // Children are printed by us, in z-order, whatever the system's printing does with them.
      if (M.LParam & PRF_CHILDREN) {
        M.LParam &= ~PRF_CHILDREN;
        Next(M);
        PrintHwndControls(CtrlHandle, reinterpret_cast<HDC>(M.WParam));
        return;
      }
      break;
    case WM_PAINT:
      // The box's own painting (a band behind its buttons) would cover the
      // skin's background; the client area is the erase's.
      if (!M.WParam) {
        PAINTSTRUCT PS{};
        BeginPaint(CtrlHandle, &PS);
        EndPaint(CtrlHandle, &PS);
        M.Result = 0;
        return;
      }
      break;
    case WM_CTLCOLORDLG:
      M.Result = reinterpret_cast<LRESULT>(ClientBrush());
      return;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Children left unwrapped draw on the dialog's colour, in its font colour.
      HDC DC = reinterpret_cast<HDC>(M.WParam);
      TacSkinData* D = Skin();
      const int I = ClientSection();
      SetBkMode(DC, TRANSPARENT);
      if (D && I >= 0 && I < static_cast<int>(D->gd.size()))
        SetTextColor(DC, static_cast<COLORREF>(D->gd[static_cast<size_t>(I)].Props[0].FontColor.Color) & 0xFFFFFF);
      M.Result = reinterpret_cast<LRESULT>(ClientBrush());
      return;
    }
    case WM_SYSCOMMAND:
      if ((M.WParam & 0xFFF0) == SC_CLOSE) {
        CloseByOnlyButton();
        M.Result = 0;
        return;
      }
      break;
    case WM_SETTEXT:
    case WM_SETICON:
      Next(M);
      Frame->Changed();
      UpdateExBorders();
      return;
    case WM_SHOWWINDOW:
      Next(M);
      Frame->MetricsChanged();
      // Clipped before it first shows, so no frame of the system's is seen.
      if (M.WParam) UpdateRegion();
      return;
    case WM_WINDOWPOSCHANGED: {
      Next(M);
      RECT WR{};
      GetWindowRect(CtrlHandle, &WR);
      const SIZE Now{WR.right - WR.left, WR.bottom - WR.top};
      if (Now.cx != Frame->ImageSize().cx || Now.cy != Frame->ImageSize().cy) Frame->Changed();
      if (Now.cx != FRgnSize.cx || Now.cy != FRgnSize.cy) FRgnChanged = true;
      UpdateExBorders();
      return;
    }
    default: break;
  }
  Next(M);
}

}  // namespace cb
