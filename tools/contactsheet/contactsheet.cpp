// Contact sheet of a packed skin: every section in states 0, 1 and 2 at 100,
// 125, 150 and 200 %, then the title glyphs, check boxes and radio buttons,
// labelled with a tiny built-in font. Usage: contactsheet <skin.asz> <out.png>
#include <cstdio>
#include <exception>
#include <string>

#include "Raster.h"
#include "SkinRender.h"
#include "skin/paint/PixelOps.h"

namespace {

// 3 x 5 glyphs, one string of 15 bits per character (rows top to bottom).
const char* Glyph(char c) {
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
    default: return "000000000000000";
  }
}

void Label(Bitmap32& bmp, int x, int y, const std::string& text) {
  for (char c : text) {
    const char* g = Glyph(c);
    for (int r = 0; r < 5; ++r)
      for (int k = 0; k < 3; ++k)
        if (g[r * 3 + k] == '1') FillPixels32(bmp, BmpRect(x + k, y + r, x + k + 1, y + r + 1), 0x202020, 255);
    x += 4;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: contactsheet <skin.asz> <out.png>\n");
    return 2;
  }
  try {
    auto skin = skintool::LoadSkin("SKIN", {{"SKIN.asz", skintool::ReadFileBytes(argv[1])}});
    const int ppis[4] = {96, 120, 144, 192};
    const int cellW = 2 * 64 + 8, labelW = 110, rowH = 2 * 28 + 10;
    cb::TacSkinData* base = skin->Data(96);
    const int n = int(base->gd.size());
    const int W = labelW + 4 * 3 * cellW, H = 20 + (n + 3) * rowH;
    Bitmap32 sheet(W, H);
    FillPixels32(sheet, sheet.Bounds(), 0xF0F0F0, 255);
    for (int p = 0; p < 4; ++p)
      for (int s = 0; s < 3; ++s)
        Label(sheet, labelW + (p * 3 + s) * cellW, 6, std::to_string(ppis[p] * 100 / 96) + "% S" + std::to_string(s));
    TCacheInfo bg = MakeCacheInfo(sheet);
    for (int i = 1; i < n; ++i) {
      const int y = 20 + (i - 1) * rowH;
      Label(sheet, 4, y + 4, base->gd[size_t(i)].ClassName);
      for (int p = 0; p < 4; ++p) {
        cb::TacSkinData* sd = skin->Data(ppis[p]);
        const int si = skin->Manager->GetSkinIndex(base->gd[size_t(i)].ClassName, sd);
        skintool::FixedBinding b(sd, si);
        const int w = 64 * ppis[p] / 96, h = 24 * ppis[p] / 96;
        for (int s = 0; s < 3; ++s) {
          const int x = labelW + (p * 3 + s) * cellW;
          Bitmap32 cell(w, h);
          cb::PaintSection(b, bg, true, s, cell, BmpPoint(x, y), cell.Bounds());
          CopyPiece(sheet, BmpPoint(x, y), cell, cell.Bounds());
        }
      }
    }
    // Glyphs of [GLOBALINFO] at every density.
    const int gy = 20 + (n - 1) * rowH;
    Label(sheet, 4, gy + 4, "GLYPHS");
    for (int p = 0; p < 4; ++p) {
      cb::TacSkinData* sd = skin->Data(ppis[p]);
      int x = labelW + p * 3 * cellW, y = gy;
      std::vector<int> masks(sd->TitleGlyphs.begin(), sd->TitleGlyphs.end());
      masks.insert(masks.end(), sd->CheckBox.begin(), sd->CheckBox.end());
      masks.insert(masks.end(), sd->RadioButton.begin(), sd->RadioButton.end());
      for (int mi : masks) {
        if (mi < 0) continue;
        const cb::TsMaskData& m = sd->ma[size_t(mi)];
        for (int s = 0; s < m.ImageCount; ++s) {
          if (x + m.Width > labelW + (p + 1) * 3 * cellW) { x = labelW + p * 3 * cellW; y += 46 * ppis[p] / 96; }
          cb::DrawCornerImage(sheet, BmpPoint(x, y), s, bg, m, 1);
          x += m.Width + 2;
        }
      }
    }
    skingen::WritePng(argv[2], sheet);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "contactsheet: %s\n", e.what());
    return 1;
  }
  return 0;
}
