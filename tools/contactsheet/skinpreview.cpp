// Renders the preview of a skin (a miniature of the main window) as a PNG;
// the skin packer stores it after the archive. Usage:
//   skinpreview <Options.dat> <BUTTONHUGE.BMP> <MASTER COPY.PNG> <preview.png>
#include <cstdio>
#include <exception>
#include <fstream>

#include "Raster.h"
#include "SkinRender.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: skinpreview <Options.dat> <BUTTONHUGE.BMP> <MASTER COPY.PNG> <preview.png>\n");
    return 2;
  }
  try {
    using cb::test::ReadFileBytes;
    auto skin = cb::test::LoadSkin("MetroUI", {{"Options.dat", ReadFileBytes(argv[1])},
                                               {"BUTTONHUGE.BMP", ReadFileBytes(argv[2])},
                                               {"MASTER COPY.PNG", ReadFileBytes(argv[3])}});
    const auto preview = skingen::EncodePng(skintool::RenderMainWindowPreview(*skin, 280, 200));
    std::ofstream f(argv[4], std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(preview.data()), std::streamsize(preview.size()));
    if (!f) throw std::runtime_error(std::string("cannot write ") + argv[4]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "skinpreview: %s\n", e.what());
    return 1;
  }
  return 0;
}
