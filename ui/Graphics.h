// Fonts, brushes, pens and a canvas over a device context: what controls need
// to paint themselves.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "ui/Classes.h"

// A colour for GDI: system colours (top byte 0xFF) resolved through GetSysColor;
// clNone and clDefault give black.
COLORREF ColorToRGB(TColor Color);

using TFontStyles = std::uint32_t;
constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

// Font description; Handle() creates the GDI font on demand and drops it when
// anything changes. Height < 0 is the character height in pixels (the usual),
// > 0 the cell height. OnChange fires after each change.
class TFont : public TPersistent {
  CB_CLASS(TFont, TPersistent)
public:
  TFont();
  ~TFont() override;
  void Assign(const TPersistent* Source) override;
  bool SameAs(const TFont& Other) const;  // all stored values equal

  const std::wstring& Name() const { return FName; }
  void SetName(const std::wstring& Value);
  int Height() const { return FHeight; }
  void SetHeight(int Value);
  // Points at PixelsPerInch; setting it sets Height.
  int Size() const;
  void SetSize(int Value);
  int Charset() const { return FCharset; }
  void SetCharset(int Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }

  HFONT Handle();
  TNotifyEvent OnChange;

  static void PublishProperties(TPublisher& P);

private:
  void Changed();
  std::wstring FName = L"Tahoma";
  int FHeight = -11;
  int FCharset = 1;
  TColor FColor = clWindowText;
  TFontStyles FStyle = 0;
  int FPixelsPerInch = 96;
  HFONT FHandle = nullptr;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TPersistent {
  CB_CLASS(TBrush, TPersistent)
public:
  ~TBrush() override;
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  HBRUSH Handle();  // a hollow brush for bsClear
  TNotifyEvent OnChange;

private:
  void Changed();
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  HBRUSH FHandle = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psClear };

class TPen : public TPersistent {
  CB_CLASS(TPen, TPersistent)
public:
  ~TPen() override;
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  HPEN Handle();
  TNotifyEvent OnChange;

private:
  void Changed();
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  HPEN FHandle = nullptr;
};

// Draws on a borrowed HDC with the current Font, Brush and Pen. The objects are
// selected when a drawing call needs them; SetHandle restores the DC's own
// objects before it lets go of it.
class TCanvas : public TPersistent {
  CB_CLASS(TCanvas, TPersistent)
public:
  TCanvas();
  ~TCanvas() override;

  // The device context; a canvas that can make one for itself does so here.
  HDC Handle() {
    if (!FHandle) CreateHandle();
    return FHandle;
  }
  bool HandleAllocated() const { return FHandle != nullptr; }
  virtual void SetHandle(HDC Value);
  TFont* Font() const { return FFont.get(); }
  TBrush* Brush() const { return FBrush.get(); }
  TPen* Pen() const { return FPen.get(); }

  void TextOut(int X, int Y, const std::wstring& Text);
  // Text clipped to R, drawn at X, Y.
  void TextRect(const TRect& R, int X, int Y, const std::wstring& Text);
  // DrawTextW with Flags (DT_*); returns the height drawn, or the rectangle
  // measured with DT_CALCRECT.
  int DrawText(const std::wstring& Text, TRect& R, UINT Flags);
  TSize TextExtent(const std::wstring& Text);
  int TextWidth(const std::wstring& Text) { return TextExtent(Text).cx; }
  int TextHeight(const std::wstring& Text) { return TextExtent(Text).cy; }
  void FillRect(const TRect& R);    // with Brush
  void FrameRect(const TRect& R);   // one pixel, Brush colour
  void Rectangle(const TRect& R);   // Pen outline, Brush inside
  void RoundRect(const TRect& R, int CX, int CY);
  void Ellipse(const TRect& R);
  void MoveTo(int X, int Y);
  void LineTo(int X, int Y);
  void Draw(int X, int Y, HBITMAP Bitmap);  // the whole bitmap, copied
  // Copies Source's SourceRect into DestRect (stretching when sizes differ).
  void CopyRect(const TRect& DestRect, HDC Source, const TRect& SourceRect);

protected:
  // Called when drawing needs a context and none is set.
  virtual void CreateHandle() {}

private:
  void RequireHandle();
  void RequireFont();
  void RequireBrush();
  void RequirePen();
  void Restore();
  HDC FHandle = nullptr;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TBrush> FBrush;
  std::unique_ptr<TPen> FPen;
  HGDIOBJ FOldFont = nullptr, FOldBrush = nullptr, FOldPen = nullptr;
};

inline RECT ToRECT(const TRect& R) { return RECT{R.Left, R.Top, R.Right, R.Bottom}; }
inline TRect FromRECT(const RECT& R) { return TRect(R.left, R.top, R.right, R.bottom); }
