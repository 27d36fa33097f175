// Renders the preview of a skin (a miniature of the main window) and packs
// the skin archive with it. Usage:
//   skinpreview <Options.dat> <BUTTONHUGE.BMP> <MASTER COPY.PNG> <preview.png> <archive.asz>
#include <cstdio>
#include <exception>
#include <fstream>

#include "Raster.h"
#include "SkinRender.h"
#include "acSkinArchive.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: skinpreview <Options.dat> <BUTTONHUGE.BMP> <MASTER COPY.PNG> <preview.png> <archive.asz>\n");
    return 2;
  }
  try {
    using skintool::ReadFileBytes;
    const auto options = ReadFileBytes(argv[1]), huge = ReadFileBytes(argv[2]), master = ReadFileBytes(argv[3]);
    auto skin = skintool::LoadSkin("MetroUI", {{"Options.dat", options}, {"BUTTONHUGE.BMP", huge},
                                               {"MASTER COPY.PNG", master}});
    const auto preview = skingen::EncodePng(skintool::RenderMainWindowPreview(*skin, 280, 200));
    {
      std::ofstream f(argv[4], std::ios::binary);
      f.write(reinterpret_cast<const char*>(preview.data()), std::streamsize(preview.size()));
      if (!f) throw std::runtime_error(std::string("cannot write ") + argv[4]);
    }
    const auto archive = cb::WriteSkinArchive(
        {{"OPTIONS.DAT", options}, {"BUTTONHUGE.BMP", huge}, {"MASTER COPY.PNG", master}}, &preview);
    std::ofstream f(argv[5], std::ios::binary);
    f.write(reinterpret_cast<const char*>(archive.data()), std::streamsize(archive.size()));
    if (!f) throw std::runtime_error(std::string("cannot write ") + argv[5]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "skinpreview: %s\n", e.what());
    return 1;
  }
  return 0;
}
