#include "ui/Graphics.h"

#include <cmath>

COLORREF ColorToRGB(TColor Color) {
  if (IsSystemColor(Color)) return GetSysColor(SystemColorIndex(Color));
  if (Color == clNone || Color == clDefault) return RGB(0, 0, 0);
  return static_cast<COLORREF>(Color & 0xFFFFFF);
}

// ---------------------------------------------------------------------------

TFont::TFont() = default;

TFont::~TFont() {
  if (FHandle) DeleteObject(FHandle);
}

void TFont::Assign(const TPersistent* Source) {
  auto* F = dynamic_cast<const TFont*>(Source);
  if (!F) return TPersistent::Assign(Source);
  if (SameAs(*F)) return;
  FName = F->FName;
  FHeight = F->FHeight;
  FCharset = F->FCharset;
  FColor = F->FColor;
  FStyle = F->FStyle;
  FPixelsPerInch = F->FPixelsPerInch;
  Changed();
}

bool TFont::SameAs(const TFont& O) const {
  return FName == O.FName && FHeight == O.FHeight && FCharset == O.FCharset && FColor == O.FColor &&
         FStyle == O.FStyle;
}

void TFont::SetName(const std::wstring& Value) {
  if (Value.empty() || Value == FName) return;
  FName = Value;
  Changed();
}

void TFont::SetHeight(int Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  Changed();
}

int TFont::Size() const {
  // Height -11 at 96 PPI is 8 points; rounding as the platform's dialogs do.
  return -static_cast<int>(std::lround(FHeight * 72.0 / FPixelsPerInch));
}

void TFont::SetSize(int Value) { SetHeight(-static_cast<int>(std::lround(Value * FPixelsPerInch / 72.0))); }

void TFont::SetCharset(int Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  Changed();
}

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}

HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONTW LF{};
    LF.lfHeight = FHeight;
    LF.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    LF.lfItalic = (FStyle & fsItalic) ? 1 : 0;
    LF.lfUnderline = (FStyle & fsUnderline) ? 1 : 0;
    LF.lfStrikeOut = (FStyle & fsStrikeOut) ? 1 : 0;
    LF.lfCharSet = static_cast<BYTE>(FCharset);
    LF.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(LF.lfFaceName, FName.c_str(), LF_FACESIZE);
    FHandle = CreateFontIndirectW(&LF);
  }
  return FHandle;
}

void TFont::Changed() {
  // Listeners (a canvas) deselect the old handle before it is deleted.
  HFONT Old = FHandle;
  FHandle = nullptr;
  if (OnChange) OnChange(this);
  if (Old) DeleteObject(Old);
}

void TFont::PublishProperties(TPublisher& P) {
  P.Int(L"Charset", &TFont::Charset, &TFont::SetCharset, 1);
  P.Color(L"Color", &TFont::Color, &TFont::SetColor, clWindowText);
  P.Int(L"Height", &TFont::Height, &TFont::SetHeight, -11);
  P.Str(L"Name", &TFont::Name, &TFont::SetName, L"Tahoma");
  P.Set(L"Style", &TFont::Style, &TFont::SetStyle, {L"fsBold", L"fsItalic", L"fsUnderline", L"fsStrikeOut"}, 0);
}

// ---------------------------------------------------------------------------

TBrush::~TBrush() {
  if (FHandle) DeleteObject(FHandle);
}
void TBrush::SetColor(TColor Value) {
  if (Value == FColor && FStyle == bsSolid) return;
  FColor = Value;
  FStyle = bsSolid;
  Changed();
}
void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}
HBRUSH TBrush::Handle() {
  if (!FHandle) {
    if (FStyle == bsClear) {
      LOGBRUSH LB{BS_HOLLOW, 0, 0};
      FHandle = CreateBrushIndirect(&LB);
    } else {
      FHandle = CreateSolidBrush(ColorToRGB(FColor));
    }
  }
  return FHandle;
}
void TBrush::Changed() {
  HBRUSH Old = FHandle;
  FHandle = nullptr;
  if (OnChange) OnChange(this);
  if (Old) DeleteObject(Old);
}

TPen::~TPen() {
  if (FHandle) DeleteObject(FHandle);
}
void TPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}
void TPen::SetWidth(int Value) {
  if (Value == FWidth) return;
  FWidth = Value;
  Changed();
}
void TPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}
HPEN TPen::Handle() {
  if (!FHandle) {
    int S = FStyle == psDash ? PS_DASH : FStyle == psDot ? PS_DOT : FStyle == psClear ? PS_NULL : PS_SOLID;
    FHandle = CreatePen(S, FWidth, ColorToRGB(FColor));
  }
  return FHandle;
}
void TPen::Changed() {
  HPEN Old = FHandle;
  FHandle = nullptr;
  if (OnChange) OnChange(this);
  if (Old) DeleteObject(Old);
}

// ---------------------------------------------------------------------------

TCanvas::TCanvas() : FFont(std::make_unique<TFont>()), FBrush(std::make_unique<TBrush>()), FPen(std::make_unique<TPen>()) {
  // A changed object is selected again at the next drawing call.
  FFont->OnChange = [this](TObject*) {
    if (FHandle && FOldFont) {
      SelectObject(FHandle, FOldFont);
      FOldFont = nullptr;
    }
  };
  FBrush->OnChange = [this](TObject*) {
    if (FHandle && FOldBrush) {
      SelectObject(FHandle, FOldBrush);
      FOldBrush = nullptr;
    }
  };
  FPen->OnChange = [this](TObject*) {
    if (FHandle && FOldPen) {
      SelectObject(FHandle, FOldPen);
      FOldPen = nullptr;
    }
  };
}

TCanvas::~TCanvas() { Restore(); }

void TCanvas::Restore() {
  if (!FHandle) return;
  if (FOldFont) SelectObject(FHandle, FOldFont);
  if (FOldBrush) SelectObject(FHandle, FOldBrush);
  if (FOldPen) SelectObject(FHandle, FOldPen);
  FOldFont = FOldBrush = FOldPen = nullptr;
}

void TCanvas::SetHandle(HDC Value) {
  if (Value == FHandle) return;
  Restore();
  FHandle = Value;
}

void TCanvas::RequireHandle() {
  if (!FHandle) CreateHandle();
  if (!FHandle) throw EInvalidOperation("Canvas does not allow drawing");
}

void TCanvas::RequireFont() {
  RequireHandle();
  HGDIOBJ Old = SelectObject(FHandle, FFont->Handle());
  if (!FOldFont) FOldFont = Old;
  SetTextColor(FHandle, ColorToRGB(FFont->Color()));
  if (FBrush->Style() == bsClear) {
    SetBkMode(FHandle, TRANSPARENT);
  } else {
    SetBkMode(FHandle, OPAQUE);
    SetBkColor(FHandle, ColorToRGB(FBrush->Color()));
  }
}

void TCanvas::RequireBrush() {
  RequireHandle();
  HGDIOBJ Old = SelectObject(FHandle, FBrush->Handle());
  if (!FOldBrush) FOldBrush = Old;
}

void TCanvas::RequirePen() {
  RequireHandle();
  HGDIOBJ Old = SelectObject(FHandle, FPen->Handle());
  if (!FOldPen) FOldPen = Old;
}

void TCanvas::TextOut(int X, int Y, const std::wstring& Text) {
  RequireFont();
  ExtTextOutW(FHandle, X, Y, 0, nullptr, Text.c_str(), static_cast<UINT>(Text.size()), nullptr);
}

void TCanvas::TextRect(const TRect& R, int X, int Y, const std::wstring& Text) {
  RequireFont();
  RECT RR = ToRECT(R);
  UINT Opt = ETO_CLIPPED | (FBrush->Style() != bsClear ? ETO_OPAQUE : 0);
  ExtTextOutW(FHandle, X, Y, Opt, &RR, Text.c_str(), static_cast<UINT>(Text.size()), nullptr);
}

int TCanvas::DrawText(const std::wstring& Text, TRect& R, UINT Flags) {
  RequireFont();
  RECT RR = ToRECT(R);
  int H = ::DrawTextW(FHandle, Text.c_str(), static_cast<int>(Text.size()), &RR, Flags);
  if (Flags & DT_CALCRECT) R = FromRECT(RR);
  return H;
}

TSize TCanvas::TextExtent(const std::wstring& Text) {
  RequireFont();
  SIZE S{0, 0};
  GetTextExtentPoint32W(FHandle, Text.c_str(), static_cast<int>(Text.size()), &S);
  return TSize(S.cx, S.cy);
}

void TCanvas::FillRect(const TRect& R) {
  RequireBrush();
  RECT RR = ToRECT(R);
  ::FillRect(FHandle, &RR, FBrush->Handle());
}

void TCanvas::FrameRect(const TRect& R) {
  RequireBrush();
  RECT RR = ToRECT(R);
  ::FrameRect(FHandle, &RR, FBrush->Handle());
}

void TCanvas::Rectangle(const TRect& R) {
  RequireBrush();
  RequirePen();
  ::Rectangle(FHandle, R.Left, R.Top, R.Right, R.Bottom);
}

void TCanvas::RoundRect(const TRect& R, int CX, int CY) {
  RequireBrush();
  RequirePen();
  ::RoundRect(FHandle, R.Left, R.Top, R.Right, R.Bottom, CX, CY);
}

void TCanvas::Ellipse(const TRect& R) {
  RequireBrush();
  RequirePen();
  ::Ellipse(FHandle, R.Left, R.Top, R.Right, R.Bottom);
}

void TCanvas::MoveTo(int X, int Y) {
  RequireHandle();
  MoveToEx(FHandle, X, Y, nullptr);
}

void TCanvas::LineTo(int X, int Y) {
  RequirePen();
  ::LineTo(FHandle, X, Y);
}

void TCanvas::Draw(int X, int Y, HBITMAP Bitmap) {
  RequireHandle();
  BITMAP BM{};
  if (!Bitmap || !GetObjectW(Bitmap, sizeof BM, &BM)) return;
  HDC Mem = CreateCompatibleDC(FHandle);
  HGDIOBJ Old = SelectObject(Mem, Bitmap);
  BitBlt(FHandle, X, Y, BM.bmWidth, BM.bmHeight, Mem, 0, 0, SRCCOPY);
  SelectObject(Mem, Old);
  DeleteDC(Mem);
}

void TCanvas::CopyRect(const TRect& D, HDC Source, const TRect& S) {
  RequireHandle();
  if (D.Width() == S.Width() && D.Height() == S.Height())
    BitBlt(FHandle, D.Left, D.Top, D.Width(), D.Height(), Source, S.Left, S.Top, SRCCOPY);
  else
    StretchBlt(FHandle, D.Left, D.Top, D.Width(), D.Height(), Source, S.Left, S.Top, S.Width(), S.Height(), SRCCOPY);
}
