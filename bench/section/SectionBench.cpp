// Painting the caches of the main window's 36 speed buttons in states 0, 1
// and 2 at 96 and 192 pixels per inch, against the floor of filling the same
// pixels with FillPixels32. The ratio of the two is the figure that counts.
#include <benchmark/benchmark.h>

#include <vector>

#include "tests/support/SkinFixture.h"
#include "SkinRender.h"
#include "sGraphUtils.h"
#include "skin/paint/PixelOps.h"

namespace {

constexpr int kWidths[36] = {66, 87, 66, 66, 87, 66, 87, 66, 66, 66, 66, 66, 87, 87, 87, 87, 87, 87,
                             63, 87, 87, 87, 65, 87, 66, 66, 87, 66, 66, 66, 87, 132, 135, 85, 85, 85};

struct Fixture {
  std::unique_ptr<cb::test::LoadedSkin> skin =
      cb::test::LoadSkin("MetroUI", {{"MetroUI.asz", cb::test::ReadFileBytes(CB_METROUI_ASZ_PATH)}});
  std::vector<Bitmap32> caches[2];
  Bitmap32 parent[2];
  Fixture() {
    for (int d = 0; d < 2; ++d) {
      const int k = d + 1;
      for (int w : kWidths) caches[d].emplace_back(w * k, 22 * k);
      parent[d] = Bitmap32(412 * k, 290 * k);
      parent[d].Fill(0xFFFFFFFF);
    }
  }
};

Fixture& F() {
  static Fixture f;
  return f;
}

void BM_SpeedButtonCaches(benchmark::State& state) {
  Fixture& f = F();
  cb::TacSkinData* sd[2] = {f.skin->Data(96), f.skin->Data(192)};
  for (auto _ : state) {
    for (int d = 0; d < 2; ++d) {
      skintool::FixedBinding b(sd[d], f.skin->Manager->GetSkinIndex("SPEEDBUTTON", sd[d]));
      TCacheInfo bg = MakeCacheInfo(f.parent[d]);
      for (int s = 0; s < 3; ++s)
        for (size_t i = 0; i < f.caches[d].size(); ++i) {
          Bitmap32& c = f.caches[d][i];
          cb::PaintSection(b, bg, true, s, c, BmpPoint(int(i) * 4, 8), c.Bounds());
          benchmark::DoNotOptimize(c.Row0());
        }
    }
  }
}
BENCHMARK(BM_SpeedButtonCaches);

void BM_FillFloor(benchmark::State& state) {
  Fixture& f = F();
  for (auto _ : state) {
    for (int d = 0; d < 2; ++d)
      for (int s = 0; s < 3; ++s)
        for (Bitmap32& c : f.caches[d]) {
          FillPixels32(c, c.Bounds(), 0xFFFFFF, 255);
          benchmark::DoNotOptimize(c.Row0());
        }
  }
}
BENCHMARK(BM_FillFloor);

}  // namespace

BENCHMARK_MAIN();
