// What the control suites share: real pointer presses, ordered logs of what a
// control receives, pictures through WM_PRINT, the numbers looks are made of,
// and accepted pictures kept as regression guards.
#pragma once
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "../binding/BindingFixture.h"
#include "skin/paint/ImageDecoders.h"

namespace cb::test {

inline void PressPointer(bool Down) {
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dwFlags = Down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  SendInput(1, &In, sizeof In);
}

// Moves the pointer onto a point of a control (its client coordinates) and
// lets the messages arrive.
inline void PointAt(TControl* C, int X, int Y, DWORD SettleMs = 60) {
  const TPoint P = C->ClientToScreen(TPoint(X, Y));
  MovePointer(P.X, P.Y);
  Pump(SettleMs);
}

// What a window shows on the screen now.
inline std::vector<std::uint32_t> OnScreen(TWinControl* C) {
  const int W = C->Width(), H = C->Height();
  return Capture32(W, H, [&](HDC Mem) {
    HDC DC = GetDC(C->Handle());
    BitBlt(Mem, 0, 0, W, H, DC, 0, 0, SRCCOPY);
    ReleaseDC(C->Handle(), DC);
  });
}

inline bool FadesSettled(TsCommonData& SD) { return !SD.AnimTimer() || SD.AnimTimer()->State == -1; }

// A rectangle of a picture W pixels wide.
inline std::vector<std::uint32_t> Crop(const std::vector<std::uint32_t>& P, int W, int X, int Y, int CW, int CH) {
  std::vector<std::uint32_t> Out;
  Out.reserve(size_t(CW * CH));
  for (int R = 0; R < CH; ++R)
    for (int C = 0; C < CW; ++C) Out.push_back(P[size_t((Y + R) * W + X + C)]);
  return Out;
}

// A control's cache as 0x00RRGGBB pixels, row by row.
inline std::vector<std::uint32_t> CachePixels(TsCommonData& SD) {
  const Bitmap32& B = SD.CacheBmp()->Bmp();
  std::vector<std::uint32_t> Out;
  for (int Y = 0; Y < B.Height(); ++Y)
    for (int X = 0; X < B.Width(); ++X) Out.push_back(B.Pixel(X, Y) & 0xFFFFFFu);
  return Out;
}

// A colour (0x00BBGGRR) as a pixel (0x00RRGGBB).
inline std::uint32_t PixelOf(COLORREF C) { return ((C & 0xFFu) << 16) | (C & 0xFF00u) | ((C >> 16) & 0xFFu); }

// Per channel of two pixels: (A * WA + B * (256 - WA)) >> 8.
inline std::uint32_t Mix256(std::uint32_t A, std::uint32_t B, std::uint32_t WA) {
  std::uint32_t Out = 0;
  for (int S = 0; S <= 16; S += 8) Out |= ((((A >> S) & 0xFF) * WA + ((B >> S) & 0xFF) * (256 - WA)) >> 8) << S;
  return Out;
}

// The disabled look: the control keeps 100 of 256 parts of its face, the
// background under it gives 155 (the library's blend setting starts at 100).
inline std::uint32_t DisabledMix(std::uint32_t Face, std::uint32_t Under) {
  std::uint32_t Out = 0;
  for (int S = 0; S <= 16; S += 8) Out |= ((((Face >> S) & 0xFF) * 100 + ((Under >> S) & 0xFF) * 155) >> 8) << S;
  return Out;
}

// Row Y of a two-colour vertical gradient over Rows rows (colours 0x00BBGGRR
// as the skin writes them; result a pixel): each channel starts at the first
// colour and moves by (second - first) / Rows per row, rounded.
inline std::uint32_t GradientRow(COLORREF First, COLORREF Second, int Y, int Rows) {
  const std::uint32_t A = PixelOf(First), B = PixelOf(Second);
  std::uint32_t Out = 0;
  for (int S = 0; S <= 16; S += 8) {
    const double C0 = (A >> S) & 0xFF, C1 = (B >> S) & 0xFF;
    Out |= static_cast<std::uint32_t>(std::nearbyint(C0 + (C1 - C0) / Rows * Y)) << S;
  }
  return Out;
}

// Pieces laid side by side into one sheet.
struct TSheet {
  int W = 0, H = 0;
  std::vector<std::vector<std::uint32_t>> Pieces;
  std::vector<std::uint32_t> Pixels() const {
    std::vector<std::uint32_t> Out(size_t(W) * Pieces.size() * size_t(H));
    const int SW = W * static_cast<int>(Pieces.size());
    for (size_t I = 0; I < Pieces.size(); ++I)
      for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X) Out[size_t(Y * SW) + I * size_t(W) + size_t(X)] = Pieces[I][size_t(Y * W + X)];
    return Out;
  }
};

// Regression guards: pictures that were the code's own output, looked at and
// accepted. A difference says that a look changed, not that it is wrong; what
// the looks are defined by (offsets, colours, mixes) is checked by numbers in
// the suites. Compares a sheet (0x00RRGGBB pixels) with its PNG; with
// CB_UPDATE_GUARDS=1 writes the PNG instead (render once, look, commit).
inline void ExpectAsAccepted(const std::string& Name, const TSheet& S) {
  const std::string Path = std::string(CB_GUARD_DIR) + "/" + Name + ".png";
  const std::vector<std::uint32_t> Px = S.Pixels();
  const int W = S.W * static_cast<int>(S.Pieces.size()), H = S.H;
  const char* U = std::getenv("CB_UPDATE_GUARDS");
  if (U && std::string(U) == "1") {
    png_image Img{};
    Img.version = PNG_IMAGE_VERSION;
    Img.width = static_cast<png_uint_32>(W);
    Img.height = static_cast<png_uint_32>(H);
    Img.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> Opaque(Px);
    for (auto& P : Opaque) P |= 0xFF000000u;
    ASSERT_TRUE(png_image_write_to_file(&Img, Path.c_str(), 0, Opaque.data(), W * 4, nullptr)) << Path;
    return;
  }
  std::ifstream F(Path, std::ios::binary);
  ASSERT_TRUE(F.good()) << "no accepted picture " << Path;
  const std::vector<std::uint8_t> Bytes((std::istreambuf_iterator<char>(F)), std::istreambuf_iterator<char>());
  const TDecodedImage G = DecodePng(Bytes.data(), Bytes.size());
  ASSERT_EQ(G.Bmp.Width(), W) << Path;
  ASSERT_EQ(G.Bmp.Height(), H) << Path;
  int Diff = 0;
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) Diff += (G.Bmp.Pixel(X, Y) & 0xFFFFFF) != Px[size_t(Y * W + X)];
  EXPECT_EQ(Diff, 0) << Path << " differs in " << Diff << " pixels";
}

}  // namespace cb::test
