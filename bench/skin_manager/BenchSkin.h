// The benchmark's skin, shared with tools/skindump (which checks that a faster
// loader still builds the same data from it).
#pragma once
#include <zlib.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/support/SkinImages.h"
#include "acSkinArchive.h"

namespace cb::bench {

// A skin of the built-in skin's shape: a 15 KB options file with 71 sections,
// a 288x128 24-bit bitmap and a 211x274 RGBA master image.
struct BenchSkin {
  std::string options;
  std::vector<uint8_t> bmp, png, archive;
  struct Entry {
    size_t offset, packed, size;
  };
  std::vector<Entry> entries;  // where each zlib stream lies, for the floor

  BenchSkin() {
    std::mt19937 rng(5);
    bmp = cb::test::MakeBmp24(288, 128, [&](int x, int y) {
      return (x / 96) * 0x300000u + static_cast<uint32_t>(y * 2) * 0x100u + static_cast<uint32_t>(x % 96) +
             (rng() & 3);
    });
    png = cb::test::MakePngRgba(211, 274, [&](int x, int y) {
      uint32_t a = (x * 7 + y * 3) % 256;
      return a << 24 | static_cast<uint32_t>(x) << 16 | static_cast<uint32_t>(y % 256) << 8 | (rng() & 7);
    });
    options =
        "[GLOBALINFO]\r\nMASTERBITMAP=MASTER COPY.PNG\r\nVERSION=14.01\r\nCOLOR=16777215\r\nFONTCOLOR=0\r\n"
        "BORDERWIDTH=4\r\nTITLEHEIGHT=30\r\nEXBORDER=&0000020000460066001700170017001720009000000\r\n"
        "EXBORDER*200=&0000020000460066001700170017001720009000000\r\n";
    static const char* glyphs[] = {"BOXUNCHECKED", "BOXCHECKED", "BOXGRAYED", "RADIOUNCHECKED", "RADIOCHECKED",
                                   "BICONCLOSE", "BICONMAX", "BICONMIN", "BICONNORM", "SICONMAX", "SICONNORM"};
    for (int i = 0; i < 11; ++i) {
      char v[128];
      std::snprintf(v, sizeof v, "%s=@%04d@0100@%04d@0113@1@0\r\n%s*200=@%04d@0120@%04d@0146@1@0\r\n", glyphs[i],
                    i * 13, i * 13 + 13, glyphs[i], i * 19, i * 19 + 19);
      options += v;
    }
    for (int s = 0; s < 70; ++s) {
      char v[512];
      int x = (s * 3) % 180, y = (s * 7) % 90;
      std::snprintf(v, sizeof v,
                    "[SECTION%02d]\r\nPARENTCLASS=%s\r\nSTATES=3\r\nCOLOR=%d\r\nHOTCOLOR=%d\r\nFONTCOLOR=0\r\n"
                    "GRADIENTDATA=183902;14854402;97;1;0;14854402;14854402;0;1;0\r\nTRANSPARENCY=0\r\n"
                    "BORDERSMASK=&%04d%04d%04d%04d0003000300030003%d%d009000000\r\nPATTERN=N/A\r\nHOTPATTERN=N/A\r\n"
                    "GLYPHMASK=@%04d@0150@%04d@0160@1@0\r\nIMAGEPERCENT=0\r\nGRADIENTPERCENT=100\r\n",
                    s, s ? "SECTION00" : "", 0xF0F0F0 + s, 0xE0E0E0 + s, x, y, x + 30, y + 20 * (1 + s % 2),
                    1 + s % 3, s % 2, s, s + 10);
      options += v;
    }
    options += "[BUTTON_HUGE]\r\nBORDERSMASK=!BUTTONHUGE.BMP!3!1!0!0031!0031!0031!0031!5\r\n";
    archive = WriteSkinArchive({{"OPTIONS.DAT", std::vector<uint8_t>(options.begin(), options.end())},
                                {"BUTTONHUGE.BMP", bmp},
                                {"MASTER COPY.PNG", png}});
    // Locate each zlib stream once (the floor is told where they are).
    TMemoryStream s(archive);
    s.SetPosition(8);
    for (int i = 0; i < 3; ++i) {
      int32_t len = s.ReadInt32();
      s.SetPosition(s.Position() + static_cast<size_t>(len));
      int32_t size = s.ReadInt32();
      size_t start = s.Position();
      z_stream zs{};
      inflateInit(&zs);
      std::vector<uint8_t> out(static_cast<size_t>(size) + 1);
      zs.next_in = archive.data() + start;
      zs.avail_in = static_cast<uInt>(archive.size() - start);
      zs.next_out = out.data();
      zs.avail_out = static_cast<uInt>(out.size());
      inflate(&zs, Z_FINISH);
      size_t packed = archive.size() - start - zs.avail_in;
      inflateEnd(&zs);
      entries.push_back({start, packed, static_cast<size_t>(size)});
      s.SetPosition(start + packed);
    }
  }
};

inline const BenchSkin& Skin() {
  static BenchSkin skin;
  return skin;
}

}  // namespace cb::bench
