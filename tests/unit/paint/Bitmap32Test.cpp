#include "skin/paint/Bitmap32.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

TEST(Bitmap32, OwnedBitmapIsZeroedTopDownAndRefusesNegativeSizes) {
  Bitmap32 b(3, 2);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.Stride(), 12);
  EXPECT_TRUE(b.OwnsPixels());
  EXPECT_EQ(b.Pixel(2, 1), 0u);
  EXPECT_EQ(b.Row(1), b.Row0() + 12);

  EXPECT_TRUE(Bitmap32(-1, 5).Empty());
  EXPECT_TRUE(Bitmap32(5, -1).Empty());
  EXPECT_EQ(CreateBitmap32(BmpRect(10, 10, 4, 20)).Width(), 0);
  EXPECT_EQ(CreateBitmap32(BmpRect(1, 2, 4, 7)).Height(), 5);
  EXPECT_THROW(Bitmap32(1 << 14, 1 << 14), std::length_error);
}

TEST(Bitmap32, OneRowBitmapHasStrideZero) {
  Bitmap32 b(4, 1);
  EXPECT_EQ(b.Stride(), 0);
  b.SetPixel(3, 0, 0x11223344u);
  EXPECT_EQ(b.Pixel(3, 0), 0x11223344u);
}

TEST(Bitmap32, WrapsBottomUpMemoryWithPadding) {
  // Three rows of two pixels, rows stored last-first with 4 bytes of padding.
  std::vector<std::uint32_t> mem(3 * 3, 0xDEADBEEF);
  const std::ptrdiff_t stride = -12;
  auto* row0 = reinterpret_cast<std::uint8_t*>(mem.data()) + 2 * 12;
  Bitmap32 b = Bitmap32::Wrap(row0, 2, 3, stride);
  EXPECT_FALSE(b.OwnsPixels());
  EXPECT_EQ(b.Stride(), -12);
  b.Fill(0x01020304u);
  b.SetPixel(1, 2, 0xAABBCCDDu);
  EXPECT_EQ(mem[0], 0x01020304u);  // row 2 is first in memory
  EXPECT_EQ(mem[1], 0xAABBCCDDu);
  EXPECT_EQ(mem[2], 0xDEADBEEFu);  // padding untouched
  EXPECT_EQ(mem[6], 0x01020304u);  // row 0 is last
  EXPECT_EQ(mem[8], 0xDEADBEEFu);
}

TEST(Bitmap32, ReleaseRunsOnceWhenTheWrapperDies) {
  int released = 0;
  std::uint32_t px = 0;
  {
    Bitmap32 a = Bitmap32::Wrap(&px, 1, 1, 0, [&] { ++released; });
    Bitmap32 b = std::move(a);
    EXPECT_EQ(released, 0);
    Bitmap32 c;
    c = std::move(b);
    EXPECT_EQ(released, 0);
  }
  EXPECT_EQ(released, 1);
  Bitmap32 d = Bitmap32::Wrap(&px, 1, 1, 0, [&] { ++released; });
  d.SetSize(2, 2);  // becomes owned: the foreign memory is let go
  EXPECT_EQ(released, 2);
  EXPECT_TRUE(d.OwnsPixels());
}

TEST(Bitmap32, ViewAndCloneShareOrCopyPixels) {
  Bitmap32 b(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) b.SetPixel(x, y, std::uint32_t(y * 4 + x));
  Bitmap32 v = b.View(BmpRect(1, 1, 9, 3));  // clipped to 3 x 2
  EXPECT_EQ(v.Width(), 3);
  EXPECT_EQ(v.Height(), 2);
  EXPECT_EQ(v.Pixel(0, 0), 5u);
  v.SetPixel(2, 1, 99);
  EXPECT_EQ(b.Pixel(3, 2), 99u);
  EXPECT_TRUE(b.View(BmpRect(4, 0, 8, 2)).Empty());

  Bitmap32 c = v.Clone();
  EXPECT_TRUE(c.OwnsPixels());
  EXPECT_EQ(c.Pixel(2, 1), 99u);
  c.SetPixel(0, 0, 7);
  EXPECT_EQ(b.Pixel(1, 1), 5u);
}

TEST(Bitmap32, PixelHelpersSwapRedAndBlue) {
  EXPECT_EQ(SwapRB(0x112233u), 0x332211u);
  EXPECT_EQ(ColorToPixel(0x0000FF, 255), 0xFFFF0000u);
  EXPECT_EQ(KeyToPixel(0xFF00FF), 0x00FF00FFu);
  EXPECT_EQ(KeyToPixel(0x1FFFFFFF), 0x1FFFFFFFu);
}

TEST(Bitmap32, UninitializedHasTheSizeAndOwnsItsRows) {
  const Bitmap32 b = Bitmap32::Uninitialized(3, 2);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_TRUE(b.OwnsPixels());
  EXPECT_EQ(b.Stride(), 12);
  b.Fill(0x11223344u);
  EXPECT_EQ(b.Pixel(2, 1), 0x11223344u);
  EXPECT_TRUE(Bitmap32::Uninitialized(-1, 5).Empty());
  EXPECT_THROW(Bitmap32::Uninitialized(1 << 14, 1 << 14), std::length_error);
}
