#pragma once
// Rectangles, points and colours shared by portable and Windows code. TRect, TPoint
// and TSize have the layout of the platform's RECT, POINT and SIZE (four, two and two
// 32-bit integers) so the Windows side may pass them through directly.

#include <algorithm>
#include <cstdint>

struct TPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  constexpr TPoint() = default;
  constexpr TPoint(std::int32_t AX, std::int32_t AY) : X(AX), Y(AY) {}
  friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  std::int32_t cx = 0;
  std::int32_t cy = 0;
  constexpr TSize() = default;
  constexpr TSize(std::int32_t ACx, std::int32_t ACy) : cx(ACx), cy(ACy) {}
  friend constexpr bool operator==(const TSize&, const TSize&) = default;
};

// Half-open: Right and Bottom lie outside, as the platform's fill routines take them.
struct TRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;

  constexpr TRect() = default;
  constexpr TRect(std::int32_t ALeft, std::int32_t ATop, std::int32_t ARight, std::int32_t ABottom)
      : Left(ALeft), Top(ATop), Right(ARight), Bottom(ABottom) {}
  constexpr TRect(TPoint TopLeft, TPoint BottomRight)
      : Left(TopLeft.X), Top(TopLeft.Y), Right(BottomRight.X), Bottom(BottomRight.Y) {}

  constexpr std::int32_t Width() const { return Right - Left; }
  constexpr std::int32_t Height() const { return Bottom - Top; }
  constexpr TSize Size() const { return TSize(Width(), Height()); }
  constexpr TPoint TopLeft() const { return TPoint(Left, Top); }
  constexpr TPoint BottomRight() const { return TPoint(Right, Bottom); }
  constexpr bool HasNoArea() const { return Right <= Left || Bottom <= Top; }
  // All four values zero: a rectangle that was not given at all.
  constexpr bool IsAllZero() const { return Left == 0 && Top == 0 && Right == 0 && Bottom == 0; }

  constexpr void Offset(std::int32_t DX, std::int32_t DY) {
    Left += DX; Right += DX; Top += DY; Bottom += DY;
  }
  constexpr void Inflate(std::int32_t DX, std::int32_t DY) {
    Left -= DX; Right += DX; Top -= DY; Bottom += DY;
  }
  constexpr bool Contains(TPoint P) const {
    return P.X >= Left && P.X < Right && P.Y >= Top && P.Y < Bottom;
  }
  // Whether R lies wholly inside this rectangle.
  constexpr bool Contains(const TRect& R) const {
    return R.Left >= Left && R.Right <= Right && R.Top >= Top && R.Bottom <= Bottom;
  }
  constexpr bool IntersectsWith(const TRect& R) const {
    return std::max(Left, R.Left) < std::min(Right, R.Right) &&
           std::max(Top, R.Top) < std::min(Bottom, R.Bottom);
  }
  // Becomes the common part of both; an empty result is all zeros. Returns !HasNoArea().
  constexpr bool Intersect(const TRect& R) {
    *this = Intersection(*this, R);
    return !HasNoArea();
  }
  static constexpr TRect Intersection(const TRect& A, const TRect& B) {
    TRect Res(std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
              std::min(A.Bottom, B.Bottom));
    return Res.HasNoArea() ? TRect() : Res;
  }
  friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

// Four widths, one per side (border room, shadow sizes, offsets): not a rectangle.
struct TMargins {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;

  constexpr TMargins() = default;
  constexpr TMargins(std::int32_t ALeft, std::int32_t ATop, std::int32_t ARight, std::int32_t ABottom)
      : Left(ALeft), Top(ATop), Right(ARight), Bottom(ABottom) {}
  constexpr bool IsAllZero() const { return Left == 0 && Top == 0 && Right == 0 && Bottom == 0; }
  friend constexpr bool operator==(const TMargins&, const TMargins&) = default;
};

constexpr TRect Bounds(std::int32_t Left, std::int32_t Top, std::int32_t Width, std::int32_t Height) {
  return TRect(Left, Top, Left + Width, Top + Height);
}

// 0x00BBGGRR, red in the low byte. A top byte of 0xFF marks a system colour whose low
// byte is the platform's system colour index.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clMagenta = clFuchsia; // also "no colour here" throughout the skin code
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;    // "not set"
constexpr TColor clDefault = 0x20000000;

constexpr TColor clSystemColor = 0xFF000000;
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clActiveBorder = clSystemColor | 10;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clAppWorkSpace = clSystemColor | 12;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;
constexpr TColor clHotLight = clSystemColor | 26;
constexpr TColor clGradientActiveCaption = clSystemColor | 27;
constexpr TColor clGradientInactiveCaption = clSystemColor | 28;
constexpr TColor clMenuHighlight = clSystemColor | 29;
constexpr TColor clMenuBar = clSystemColor | 30;

// The system colour values 0xFF0000xx (anything else in the top byte is not one).
constexpr bool IsSystemColor(TColor C) { return (C & 0xFFFFFF00u) == clSystemColor; }
constexpr int SystemColorIndex(TColor C) { return static_cast<int>(C & 0xFFu); }
constexpr std::uint8_t ColorR(TColor C) { return static_cast<std::uint8_t>(C); }
constexpr std::uint8_t ColorG(TColor C) { return static_cast<std::uint8_t>(C >> 8); }
constexpr std::uint8_t ColorB(TColor C) { return static_cast<std::uint8_t>(C >> 16); }
constexpr TColor MakeColor(std::uint8_t R, std::uint8_t G, std::uint8_t B) {
  return TColor(R) | (TColor(G) << 8) | (TColor(B) << 16);
}
