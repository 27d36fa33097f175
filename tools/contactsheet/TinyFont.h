// A 3 x 5 pixel capital font for the skin tools' labels and the preview's
// captions: no platform text service, so the pictures are the same on every
// machine. Letters are drawn as capitals; characters outside Latin letters,
// digits and a few signs (Chinese captions) become light bars of their width.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>

#include "skin/paint/Bitmap32.h"
#include "skin/paint/PixelOps.h"

namespace skintool {

// One string of 15 bits per character, rows top to bottom; null: not drawn as a glyph.
inline const char* TinyGlyph(char32_t c) {
  if (c < 128) c = char32_t(std::toupper(int(c)));
  switch (c) {
    case 'A': return "010101111101101"; case 'B': return "110101110101110"; case 'C': return "011100100100011";
    case 'D': return "110101101101110"; case 'E': return "111100110100111"; case 'F': return "111100110100100";
    case 'G': return "011100101101011"; case 'H': return "101101111101101"; case 'I': return "111010010010111";
    case 'J': return "001001001101010"; case 'K': return "101101110101101"; case 'L': return "100100100100111";
    case 'M': return "101111111101101"; case 'N': return "110101101101101"; case 'O': return "010101101101010";
    case 'P': return "110101110100100"; case 'Q': return "010101101110011"; case 'R': return "110101110101101";
    case 'S': return "011100010001110"; case 'T': return "111010010010010"; case 'U': return "101101101101111";
    case 'V': return "101101101101010"; case 'W': return "101101111111101"; case 'X': return "101101010101101";
    case 'Y': return "101101010010010"; case 'Z': return "111001010100111"; case '0': return "111101101101111";
    case '1': return "010110010010111"; case '2': return "110001010100111"; case '3': return "110001010001110";
    case '4': return "101101111001001"; case '5': return "111100110001110"; case '6': return "011100111101111";
    case '7': return "111001010010010"; case '8': return "111101111101111"; case '9': return "111101111001110";
    case '_': return "000000000000111"; case '%': return "101001010100101"; case '-': return "000000111000000";
    case '.': return "000000000000010"; case ' ': return "000000000000000";
    default: return nullptr;
  }
}

// Code points of UTF-8 text; a broken sequence counts as one unknown character.
inline std::u32string DecodeUtf8(const std::string& s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    const int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + size_t(n) > s.size()) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    char32_t c = n == 1 ? b : char32_t(b & (0x7F >> n));
    for (int k = 1; k < n; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + size_t(k)]) & 0x3F);
    out.push_back(c);
    i += size_t(n);
  }
  return out;
}

// Advance of one character: glyphs 4 pixels, the bars of others 6.
inline int TinyAdvance(char32_t c) { return TinyGlyph(c) ? 4 : 6; }

inline int TinyTextWidth(const std::string& utf8) {
  int w = 0;
  for (char32_t c : DecodeUtf8(utf8)) w += TinyAdvance(c);
  return w > 0 ? w - 1 : 0;
}

// Text with its top left at (x, y), 5 pixels high, in colour (0x00BBGGRR).
inline void DrawTinyText(Bitmap32& bmp, int x, int y, const std::string& utf8, std::uint32_t colour) {
  for (char32_t c : DecodeUtf8(utf8)) {
    if (const char* g = TinyGlyph(c)) {
      for (int r = 0; r < 5; ++r)
        for (int k = 0; k < 3; ++k)
          if (g[r * 3 + k] == '1') FillPixels32(bmp, BmpRect(x + k, y + r, x + k + 1, y + r + 1), colour, 255);
    } else {
      const BmpRect bar(x, y + 1, x + 5, y + 4);
      FillPixels32(bmp, bar, colour, 255);
      TintRect32(bmp, bar, 90, 0xFFFFFF);
    }
    x += TinyAdvance(c);
  }
}

}  // namespace skintool
