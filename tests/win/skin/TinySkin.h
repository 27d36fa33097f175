// A small unpacked skin written into a temporary folder: an options file and
// a 24-bit master image whose areas have known colours. It has what the
// built-in skin lacks: a glow mask on SPEEDBUTTON, a two-frame close glyph and a
// section with an outer shadow (SHADOWED).
#pragma once
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sSkinManager.h"
#include "tests/support/SkinImages.h"

namespace cb::test {

// Master image areas.
constexpr int kGlowL = 0, kGlowT = 0, kGlowSize = 16, kGlowBorder = 4;  // SPEEDBUTTON GLOW0, nine parts
constexpr int kCloseL = 20, kCloseT = 0, kCloseFrame = 10;              // BICONCLOSE, two frames of 10 x 10
constexpr int kMasterW = 64, kMasterH = 32;
constexpr std::uint32_t kGlowColour = 0x2060C0;  // 0x00RRGGBB

inline std::uint32_t TinyMasterPixel(int X, int Y) {
  if (X < kGlowSize && Y < kGlowSize) {
    const bool Centre = X >= kGlowBorder && X < kGlowSize - kGlowBorder && Y >= kGlowBorder && Y < kGlowSize - kGlowBorder;
    return Centre ? 0xFF00FF : kGlowColour;
  }
  if (X >= kCloseL && X < kCloseL + 2 * kCloseFrame && Y < kCloseFrame) {
    // Each frame a different colour per column, so a mirrored frame shows.
    const int F = (X - kCloseL) / kCloseFrame, C = (X - kCloseL) % kCloseFrame;
    return (static_cast<std::uint32_t>(C * 25) << 16) | (F ? 0x00A000u : 0x0040u);
  }
  // A colourful field for the colour operations.
  return (static_cast<std::uint32_t>(X * 4) << 16) | (static_cast<std::uint32_t>(Y * 8) << 8) | 0x80;
}

struct TTinySkin {
  std::wstring Dir;  // the skin directory; the skin is the folder "Tiny" in it
  explicit TTinySkin(int KeepHue = 0) {
    wchar_t Tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, Tmp);
    Dir = std::wstring(Tmp) + L"cb_tiny_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
          std::to_wstring(Serial()++);
    CreateDirectoryW(Dir.c_str(), nullptr);
    CreateDirectoryW((Dir + L"\\Tiny").c_str(), nullptr);
    const std::string Options =
        "[GLOBALINFO]\r\nVERSION=14.01\r\nMASTERBITMAP=MASTER.BMP\r\nCOLOR=15790320\r\nFONTCOLOR=2105376\r\n"
        "BIKEEPHUE=" + std::to_string(KeepHue) + "\r\n"
        "BICONCLOSE=@0020@0000@0040@0010@2@0\r\n"
        "[SPEEDBUTTON]\r\nSTATES=3\r\nCOLOR=3316172\r\nFONTCOLOR=0\r\nHOTCOLOR=3381759\r\n"
        "GLOW=1\r\nGLOWMARGIN=2\r\nGLOW0=^0000^0000^0016^0016^0004^0004^0004^0004^1^0^1\r\n"
        "GRADIENTDATA=183902;14854402;97;1;0;14854402;14854402;0;1;0\r\n"
        "[PANEL]\r\nSTATES=1\r\nCOLOR=15790320\r\nFONTCOLOR=2105376\r\n"
        // A shadow of four pixels all round, made from the values.
        "[SHADOWED]\r\nSTATES=1\r\nCOLOR=15790320\r\nOUTERMODE=4\r\nOUTOFFSL=4\r\nOUTOFFST=4\r\n"
        "OUTOFFSR=4\r\nOUTOFFSB=4\r\nOUTOPACITY=255\r\n";
    Write(L"\\Tiny\\Options.dat", std::vector<std::uint8_t>(Options.begin(), Options.end()));
    Write(L"\\Tiny\\MASTER.BMP", MakeBmp24(kMasterW, kMasterH, TinyMasterPixel));
  }
  ~TTinySkin() {
    DeleteFileW((Dir + L"\\Tiny\\Options.dat").c_str());
    DeleteFileW((Dir + L"\\Tiny\\MASTER.BMP").c_str());
    RemoveDirectoryW((Dir + L"\\Tiny").c_str());
    RemoveDirectoryW(Dir.c_str());
  }
  // A manager (owned by Owner) with this skin loaded.
  TsSkinManager* Load(TComponent* Owner) const {
    auto* M = new TsSkinManager(Owner);
    M->SetSkinDirectory(Dir);
    M->SetSkinName(L"Tiny");
    return M;
  }

private:
  static int& Serial() {
    static int N = 0;
    return N;
  }
  void Write(const std::wstring& Name, const std::vector<std::uint8_t>& Bytes) const {
    HANDLE F = CreateFileW((Dir + Name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD Put = 0;
    WriteFile(F, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Put, nullptr);
    CloseHandle(F);
  }
};

}  // namespace cb::test
