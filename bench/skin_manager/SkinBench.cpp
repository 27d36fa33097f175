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
#include "BenchSkin.h"
#include "sSkinManagerCore.h"
#include "skin/paint/ImageDecoders.h"

namespace {

using namespace cb;

using cb::bench::BenchSkin;
using cb::bench::Skin;

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
