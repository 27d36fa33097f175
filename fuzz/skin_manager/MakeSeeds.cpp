// Writes the seed corpora of the skin fuzzers: a few small archives, options
// texts covering each value form, and preview trailers.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/FakeSkinHost.h"
#include "tests/support/SkinImages.h"
#include "acSkinArchive.h"

namespace fs = std::filesystem;

static void Write(const fs::path& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::create_directories(dir);
  std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
}

static std::vector<uint8_t> B(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  fs::path root = argv[1];
  const std::string options =
      "[GLOBALINFO]\nMASTERBITMAP=MASTER.BMP\nVERSION=14.01\nCOLOR=14330112\nFONTCOLOR=255\nTITLEHEIGHT*200=33\n"
      "BOXCHECKED=@0000@0000@0010@0010@1@0\nBOXCHECKED*200=@0010@0000@0030@0020@1@0\n"
      "EXBORDER=^0000^0010^0020^0020^0003^0003^0003^0003^2^0^1\nBICONCLOSE=@0000@0000@0005@0005@1@0\n"
      "BICONCLOSEGLOW=1\nBICONCLOSEGLOW0=!GLYPH.PNG!1!0!3\nSH_SOURCE=1\nSH_MASK=&0000000000100010000200020002000210001000000\n"
      "[BUTTON]\nCOLOR=100\nHOTCOLOR=200\nBORDERSMASK=^0020^0000^0040^0020^0002^0002^0002^0002^1^1^1\n"
      "PATTERN=~0000~0010~0010~0020~00\nGLYPHMASK=!GLYPH.PNG!2!0!4!0!0!2!4\n"
      "GRADIENTDATA=183902;14854402;97;1;0;14854402;14854402;0;1;0\nHOTGRADIENTDATA=255;30;0;65280;150;16;B\n"
      "[SPEEDBUTTON]\nPARENTCLASS=BUTTON\nUSESTATE2=1\nCOLOR2=300\n"
      "[EDIT]\nBORDERSMASK=!EDGE.BMP!1!0!0!1!1!1!1!0\n[PANEL_LOW]\nOUTERMODE=3\nOUTOFFSL=4\nOUTOFFSR=6\nOUTOFFSB=8\n"
      "[A]\nPARENTCLASS=B\n[B]\nPARENTCLASS=A\n";
  auto archive = cb::WriteSkinArchive({{"OPTIONS.DAT", B(options)},
                                       {"MASTER.BMP", cb::test::MakeBmp24(40, 20, [](int x, int) { return x * 6u; })},
                                       {"Font.ttf", B("font")},
                                       {"EMPTY.PNG", {}}},
                                      nullptr);
  Write(root / "fuzz_skin_archive", "skin.asz", archive);
  Write(root / "fuzz_skin_archive", "small.asz", cb::WriteSkinArchive({{"options.dat", B("[A]\nB=1\n")}}));
  Write(root / "fuzz_skin_options", "skin.txt", B(options));
  Write(root / "fuzz_skin_options", "common.txt",
        B(options + std::string(1, '\0') + "[MINE]\nPARENTCLASS=button\nCOLOR=0x10\nBORDERSMASK=N/A\nX=EDGE.BMP\n"));
  Write(root / "fuzz_skin_options", "forms.txt",
        B("[GLOBALINFO]\nMASTERBITMAP=MASTER.BMP\n[S]\nA=^0^0^30^20^0^0^0^0^1^0^9^0003^0000^0000^0000^0000^0000\n"
          "B=!EDGE.BMP!1!0!1!5!5!5!5!3\nC=!GLYPH.PNG!1!0!3\nD=back.bmp\nE=~0001~0002~0003~0004~05~1~EDGE.BMP\nF=@1\n"));
  std::vector<uint8_t> preview = archive;
  std::string trailer = std::string("previewimg\x04\x00\x00\x00", 14) + "\x89PNG";
  preview.insert(preview.end(), trailer.begin(), trailer.end());
  Write(root / "fuzz_skin_preview", "with_preview.asz", preview);
  Write(root / "fuzz_skin_preview", "short.bin", B("xxpreviewimg\x02"));
  return 0;
}
