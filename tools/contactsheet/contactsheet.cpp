// Contact sheet of a packed skin: every section in states 0, 1 and 2 at 100,
// 125, 150 and 200 %, then the title glyphs, check boxes and radio buttons,
// labelled with a tiny built-in font. Usage: contactsheet <skin.asz> <out.png>
#include <cstdio>
#include <exception>
#include <string>

#include "Raster.h"
#include "SkinRender.h"
#include "TinyFont.h"
#include "skin/paint/PixelOps.h"

namespace {

void Label(Bitmap32& bmp, int x, int y, const std::string& text) { skintool::DrawTinyText(bmp, x, y, text, 0x202020); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: contactsheet <skin.asz> <out.png>\n");
    return 2;
  }
  try {
    auto skin = cb::test::LoadSkin("SKIN", {{"SKIN.asz", cb::test::ReadFileBytes(argv[1])}});
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
