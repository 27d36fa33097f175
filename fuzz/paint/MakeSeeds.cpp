// Writes the small seed corpora of the decoder fuzzers into a directory.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "ImageSamples.h"

namespace fs = std::filesystem;

static void Write(const fs::path& dir, const std::string& name, const samples::Bytes& b) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: paint_fuzz_seeds <corpus root>\n";
    return 2;
  }
  const fs::path root = argv[1];
  const std::vector<std::uint32_t> px = {0xFFFF0000u, 0xFF00FF00u, 0x800000FFu, 0x00FF00FFu, 0xFF123456u, 0xFFFFFFFFu};
  const std::vector<std::uint32_t> idx = {0, 1, 2, 3, 1, 0};
  const std::vector<std::uint32_t> pal = {0x000000, 0xFF0000, 0x00FF00, 0xFF00FF};
  const std::uint32_t m565[4] = {0xF800, 0x07E0, 0x001F, 0};
  const std::uint32_t m8888[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  const fs::path bmp = root / "fuzz_paint_bmp";
  Write(bmp, "rgb24", samples::MakeBmp(3, 2, 24, false, px));
  Write(bmp, "rgb32_topdown", samples::MakeBmp(3, 2, 32, true, px));
  Write(bmp, "pal8", samples::MakeBmp(3, 2, 8, false, idx, pal));
  Write(bmp, "pal4", samples::MakeBmp(3, 2, 4, false, idx, pal));
  Write(bmp, "mono", samples::MakeBmp(3, 2, 1, false, {0, 1, 1, 0, 1, 0}, {0, 0xFFFFFF}));
  Write(bmp, "bf565", samples::MakeBmp(2, 1, 16, false, {0xF800, 0x07FF}, {}, 3, m565));
  Write(bmp, "bf8888", samples::MakeBmp(2, 1, 32, false, {0x40112233u, 0xFF000000u}, {}, 3, m8888));
  samples::Bytes rle = samples::MakeBmp(4, 2, 8, false, std::vector<std::uint32_t>(8, 0), pal);
  rle.resize(rle.size() - 8);
  for (int v : {3, 1, 1, 2, 0, 0, 0, 3, 2, 1, 2, 0, 0, 2, 1, 0, 0, 1}) rle.push_back(std::uint8_t(v));
  rle[30] = 1;
  Write(bmp, "rle8", rle);

  const fs::path png = root / "fuzz_paint_png";
  const std::uint8_t rgba[] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 9, 9, 9, 9};
  Write(png, "rgba", samples::MakePng(2, 2, PNG_FORMAT_RGBA, rgba));
  Write(png, "rgb", samples::MakePng(2, 2, PNG_FORMAT_RGB, rgba));
  Write(png, "grey", samples::MakePng(4, 2, PNG_FORMAT_GRAY, rgba));
  Write(png, "grey_alpha", samples::MakePng(2, 2, PNG_FORMAT_GA, rgba));
  const std::uint8_t map[] = {10, 20, 30, 255, 40, 50, 60, 0};
  const std::uint8_t pidx[] = {1, 0, 0, 1};
  Write(png, "palette", samples::MakePng(2, 2, PNG_FORMAT_RGBA_COLORMAP, pidx, map, 2));

  const fs::path jpg = root / "fuzz_paint_jpeg";
  Write(jpg, "colour", samples::MakeJpeg(16, 8, 3));
  Write(jpg, "grey", samples::MakeJpeg(9, 9, 1));
  Write(jpg, "progressive", samples::MakeJpeg(16, 16, 3, true));
  return 0;
}
