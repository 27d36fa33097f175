// skinpack <skin folder> <output.asz> [--preview <image file>]
#include <cstdio>
#include <fstream>

#include "SkinPack.h"

int main(int argc, char** argv) {
  std::optional<std::filesystem::path> preview;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--preview" && i + 1 < argc)
      preview = argv[++i];
    else
      args.push_back(a);
  }
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: skinpack <skin folder> <output.asz> [--preview <image file>]\n");
    return 2;
  }
  try {
    cb::TSkinPackResult r = cb::PackSkinFolder(args[0], preview);
    std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(r.Archive.data()), static_cast<std::streamsize>(r.Archive.size()));
    if (!out) throw cb::ESkinPackError("cannot write " + args[1]);
    std::printf("%s: %zu entries, %zu bytes\n", args[1].c_str(), r.Names.size(), r.Archive.size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "skinpack: %s\n", e.what());
    return 1;
  }
  return 0;
}
