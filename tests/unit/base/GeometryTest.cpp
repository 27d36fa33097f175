#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "base/Geometry.h"
#include "base/Rounding.h"

#include <cfenv>

namespace {

TEST(Rect, HalfOpenContainsAndIntersect) {
  const TRect R(10, 20, 30, 40);
  EXPECT_EQ(R.Width(), 20);
  EXPECT_EQ(R.Height(), 20);
  EXPECT_TRUE(R.Contains(TPoint(10, 20)));
  EXPECT_FALSE(R.Contains(TPoint(30, 39))); // right edge is outside
  EXPECT_FALSE(R.Contains(TPoint(29, 40))); // bottom edge is outside
  EXPECT_TRUE(R.Contains(TRect(10, 20, 30, 40)));
  EXPECT_FALSE(R.Contains(TRect(9, 20, 30, 40)));

  TRect A = R;
  EXPECT_TRUE(A.Intersect(TRect(25, 0, 100, 25)));
  EXPECT_EQ(A, TRect(25, 20, 30, 25));
  // Touching edges share nothing; an empty result is all zeros.
  EXPECT_FALSE(R.IntersectsWith(TRect(30, 20, 40, 40)));
  TRect B = R;
  EXPECT_FALSE(B.Intersect(TRect(30, 20, 40, 40)));
  EXPECT_EQ(B, TRect());
  EXPECT_TRUE(TRect(5, 5, 5, 9).HasNoArea());
  EXPECT_TRUE(TRect(5, 5, 4, 9).HasNoArea());
}

TEST(Rect, MoveAndGrow) {
  TRect R = Bounds(1, 2, 3, 4);
  EXPECT_EQ(R, TRect(1, 2, 4, 6));
  R.Offset(-1, 10);
  EXPECT_EQ(R, TRect(0, 12, 3, 16));
  R.Inflate(2, 1);
  EXPECT_EQ(R, TRect(-2, 11, 5, 17));
  EXPECT_EQ(R.Size(), TSize(7, 6));
  EXPECT_EQ(R.TopLeft(), TPoint(-2, 11));
  EXPECT_EQ(R.BottomRight(), TPoint(5, 17));
  static_assert(sizeof(TRect) == 16 && sizeof(TPoint) == 8 && sizeof(TSize) == 8);
}

TEST(Color, ValuesAndParts) {
  EXPECT_EQ(MakeColor(0xDA, 0xA9, 0x00), 0x00A9DAu); // red in the low byte
  EXPECT_EQ(ColorR(14330112), 0x00);
  EXPECT_EQ(ColorG(14330112), 0xA9);
  EXPECT_EQ(ColorB(14330112), 0xDA);
  EXPECT_TRUE(IsSystemColor(clBtnFace));
  EXPECT_EQ(clBtnFace, 0xFF00000Fu);
  EXPECT_EQ(SystemColorIndex(clWindowText), 8);
  EXPECT_FALSE(IsSystemColor(clNone));
  EXPECT_FALSE(IsSystemColor(clFuchsia));
  EXPECT_EQ(static_cast<TColor>(-263173), 0xFFFBFBFBu); // an opaque colour read as a negative integer
  EXPECT_FALSE(IsSystemColor(0xFFFBFBFBu));
}

// Fade levels and glyph sizes must not change because some DLL set another
// floating-point rounding mode in the thread.
TEST(Rounding, TiesGoToEvenWhateverTheThreadsRoundingMode) {
  const struct {
    double In;
    int Out;
  } Cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {2.4999, 2},
               {2.5001, 3}, {-2.6, -3}, {127.5, 128}, {42.499999, 42}, {212.5, 212}};
  for (int Mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(Mode), 0);
    for (const auto& C : Cases) {
      EXPECT_EQ(RoundEven(C.In), C.Out) << C.In << " mode " << Mode;
    }
  }
  std::fesetround(FE_TONEAREST);
}

// Positive values take their floor by truncation; every value, halves and
// values beyond 2^52 among them, rounds as it did through floor.
TEST(Rounding, TruncatedFloorsRoundAsFloorDid) {
  auto reference = [](double V) {
    const double F = std::floor(V), D = V - F;
    return D > 0.5 || (D == 0.5 && std::fmod(F, 2.0) != 0) ? F + 1 : F;
  };
  std::mt19937_64 rng(4);
  std::vector<double> values = {0.0, -0.0, 0.5, 1.5, 4503599627370495.5, 4503599627370496.0, 4503599627370497.0,
                                9007199254740993.0, 1e300, -1e300, 0.49999999999999994};
  for (int i = 0; i < 100000; ++i) {
    const double magnitude = std::ldexp(1.0, static_cast<int>(rng() % 70) - 8);
    const double v = std::uniform_real_distribution<double>(-magnitude, magnitude)(rng);
    values.push_back(v);
    values.push_back(std::floor(v) + 0.5);
  }
  for (double v : values) {
    const double got = RoundEvenValue(v), want = reference(v);
    ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << v;
  }
}

} // namespace
