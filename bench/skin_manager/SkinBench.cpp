// Skin core against its floors, in the same run:
//  - reading an archive against inflating the same entries with zlib alone
//    (target: at most 1.15 times the floor);
//  - loading a whole skin at 96 and 192 pixels per inch against decoding its
//    images alone.
// The ratios (of CPU times; of medians with --benchmark_repetitions) are printed
// after the table.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "tests/support/FakeSkinHost.h"
#include "tests/support/SkinImages.h"
#include "acSkinArchive.h"
#include "sSkinManagerCore.h"
#include "skin/paint/ImageDecoders.h"

namespace {

using namespace cb;

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

const BenchSkin& Skin() {
  static BenchSkin skin;
  return skin;
}

void BM_ArchiveRead(benchmark::State& state) {
  const BenchSkin& skin = Skin();
  for (auto _ : state) {
    TMemoryStream data(skin.archive);
    TacSkinConvertor c;
    c.PackedData = &data;
    ReadSkinArchive(c, nullptr);
    benchmark::DoNotOptimize(c.Files.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(skin.archive.size()));
}

// Floor: the same entries inflated by zlib into buffers of the known sizes
// (including the copy of the archive bytes that the reader's stream gets).
void BM_ArchiveInflateFloor(benchmark::State& state) {
  const BenchSkin& skin = Skin();
  for (auto _ : state) {
    std::vector<uint8_t> data(skin.archive);
    for (const auto& e : skin.entries) {
      std::vector<uint8_t> out(e.size);
      uLongf n = static_cast<uLongf>(e.size);
      uncompress(out.data(), &n, data.data() + e.offset, static_cast<uLong>(e.packed));
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(skin.archive.size()));
}

void BM_SkinLoad(benchmark::State& state) {
  const BenchSkin& skin = Skin();
  int ppi = static_cast<int>(state.range(0));
  for (auto _ : state) {
    cb::test::FakeSkinHost host;
    TacSkinManagerCore mgr(host);
    mgr.SkinName = u"Bench";
    mgr.ExtendedBorders = true;
    auto& item = mgr.InternalSkins.Add();
    item.Name = u"Bench";
    item.PackedData.Bytes() = skin.archive;
    TacSkinData* d = mgr.CommonSkinData(ppi);
    if (d->gd.size() < 70) state.SkipWithError("skin did not load");
    benchmark::DoNotOptimize(d->ma.data());
  }
}

// Floor: decoding the skin's two images alone.
void BM_SkinImagesDecodeFloor(benchmark::State& state) {
  const BenchSkin& skin = Skin();
  for (auto _ : state) {
    TDecodedImage a = DecodePng(skin.png.data(), skin.png.size());
    TDecodedImage b = DecodeBmp(skin.bmp.data(), skin.bmp.size());
    benchmark::DoNotOptimize(a.Bmp.Row0());
    benchmark::DoNotOptimize(b.Bmp.Row0());
  }
}

BENCHMARK(BM_ArchiveRead);
BENCHMARK(BM_ArchiveInflateFloor);
BENCHMARK(BM_SkinLoad)->Arg(96)->Arg(192);
BENCHMARK(BM_SkinImagesDecodeFloor);

// Prints the table, then each measurement against its floor.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, double> ns, median;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    // With repetitions the median stands for the benchmark.
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
        median[r.run_name.str()] = ns[r.run_name.str()] = r.GetAdjustedCPUTime();
      else if (r.run_type == Run::RT_Iteration && r.iterations > 0 && !median.count(r.run_name.str()))
        ns[r.run_name.str()] = r.GetAdjustedCPUTime();
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  // glibc moves its mmap and trim thresholds with the sizes freed so far, so
  // a run could fall into returning the heap top after every iteration and
  // faulting it in again on the next: loading at 192 pixels per inch measured
  // 2.2 or 5.6 ms from one run to the next (1.3 thousand page faults against
  // 130 thousand). Fixed thresholds measure the code, not that history.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  benchmark::Initialize(&argc, argv);
  RatioReporter rep;
  benchmark::RunSpecifiedBenchmarks(&rep);
  auto ratio = [&](const char* a, const char* b, const char* note) {
    if (rep.ns.count(a) && rep.ns.count(b) && rep.ns[b] > 0)
      std::printf("ratio %-22s / %-26s = %.3f %s\n", a, b, rep.ns[a] / rep.ns[b], note);
  };
  ratio("BM_ArchiveRead", "BM_ArchiveInflateFloor", "(target <= 1.15)");
  ratio("BM_SkinLoad/96", "BM_SkinImagesDecodeFloor", "(report)");
  ratio("BM_SkinLoad/192", "BM_SkinImagesDecodeFloor", "(report)");
  benchmark::Shutdown();
  return 0;
}
