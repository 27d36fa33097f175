// 32-bit bitmap of the pixel layer: rows of B, G, R, A bytes reached through
// the address of row 0 and a signed row stride, so that bottom-up and
// top-down memory (a DIB section on Windows) are handled the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Rectangle used by the pixel routines. Fill routines read it half-open
// (Right and Bottom excluded); copy and blend routines read source rectangles
// inclusive of Right and Bottom, as their callers pass them.
// Converts implicitly from any rectangle type with Left/Top/Right/Bottom.
struct BmpRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;

  constexpr BmpRect() = default;
  constexpr BmpRect(int l, int t, int r, int b) : Left(l), Top(t), Right(r), Bottom(b) {}
  template <class R>
    requires requires(const R& r) { r.Left; r.Top; r.Right; r.Bottom; }
  constexpr BmpRect(const R& r)
      : Left(static_cast<int>(r.Left)), Top(static_cast<int>(r.Top)),
        Right(static_cast<int>(r.Right)), Bottom(static_cast<int>(r.Bottom)) {}

  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  friend constexpr bool operator==(const BmpRect&, const BmpRect&) = default;
};

// Point; converts implicitly from any point type with X/Y.
struct BmpPoint {
  int X = 0, Y = 0;

  constexpr BmpPoint() = default;
  constexpr BmpPoint(int x, int y) : X(x), Y(y) {}
  template <class P>
    requires requires(const P& p) { p.X; p.Y; }
  constexpr BmpPoint(const P& p) : X(static_cast<int>(p.X)), Y(static_cast<int>(p.Y)) {}
  friend constexpr bool operator==(const BmpPoint&, const BmpPoint&) = default;
};

// Size of a target image.
struct BmpSize {
  int Width = 0, Height = 0;

  constexpr BmpSize() = default;
  constexpr BmpSize(int w, int h) : Width(w), Height(h) {}
  friend constexpr bool operator==(const BmpSize&, const BmpSize&) = default;
};

// Constness is that of the handle (size and memory), not of the pixels:
// routines take their targets as const references, so that views such as
// View() can be passed directly.
class Bitmap32 {
 public:
  // Pixel memory released by a wrapping bitmap when it dies (for example the
  // DIB section that backs a bitmap on Windows).
  using Release = std::function<void()>;

  // Empty bitmap (0 x 0).
  Bitmap32() = default;
  // Owned, top-down, zero-filled pixels; a negative extent gives 0 x 0.
  // Throws std::length_error when the size exceeds kMaxPixels.
  Bitmap32(int width, int height);
  ~Bitmap32();

  Bitmap32(Bitmap32&& other) noexcept;
  Bitmap32& operator=(Bitmap32&& other) noexcept;
  Bitmap32(const Bitmap32&) = delete;
  Bitmap32& operator=(const Bitmap32&) = delete;

  // Pixels of someone else: row 0 at `row0`, row y at row0 + y * stride
  // (negative for bottom-up memory). Nothing is freed unless `release` is
  // given, which is called once when this bitmap is destroyed or reassigned.
  static Bitmap32 Wrap(void* row0, int width, int height, std::ptrdiff_t stride,
                       Release release = {});
  // Owned, top-down pixels that are not cleared: only for a caller that
  // writes every pixel before any is read (clearing memory that is then
  // overwritten whole is a large part of enlarging skin images).
  static Bitmap32 Uninitialized(int width, int height);
  // Non-owning view of a part of this bitmap (clipped to it); valid while
  // this bitmap's pixels live.
  Bitmap32 View(const BmpRect& halfOpen) const;
  // Owned, top-down copy of the pixels.
  Bitmap32 Clone() const;

  // Re-creates owned pixels of the new size (zero-filled) unless the size is
  // already that; a wrapped bitmap becomes an owned one.
  void SetSize(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ <= 0 || height_ <= 0; }
  bool OwnsPixels() const { return owned_ != nullptr; }
  // Difference between the addresses of row 1 and row 0; 0 for one row.
  std::ptrdiff_t Stride() const { return height_ > 1 ? stride_ : 0; }
  std::uint8_t* Row0() const { return row0_; }
  std::uint8_t* Row(int y) const { return row0_ + y * stride_; }
  std::uint32_t* Line(int y) const { return reinterpret_cast<std::uint32_t*>(Row(y)); }

  // Whole pixel as 0xAARRGGBB; no bounds checks beyond a debug assertion.
  std::uint32_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, std::uint32_t value) const;
  BmpRect Bounds() const { return BmpRect(0, 0, width_, height_); }

  // Every pixel set to one value.
  void Fill(std::uint32_t value) const;

  // Upper bound for any bitmap the layer allocates (64 Mi pixels).
  static constexpr std::int64_t kMaxPixels = std::int64_t(1) << 26;

 private:
  void Reset() noexcept;
  void Allocate(int width, int height, bool zero);

  std::uint8_t* row0_ = nullptr;
  std::ptrdiff_t stride_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::uint32_t* owned_ = nullptr;  // owned storage, or null
  Release release_;
};

// Creation helpers with the size of two extents, a rectangle (negative
// extents count as 0) or another bitmap.
Bitmap32 CreateBitmap32(int width, int height);
Bitmap32 CreateBitmap32(const BmpRect& r);
Bitmap32 CreateBitmap32(const Bitmap32& sizeOf);

// Pixel value helpers. A colour (TColor) is 0x00BBGGRR; a pixel 0xAARRGGBB.
constexpr std::uint32_t SwapRB(std::uint32_t c) {
  return (c & 0xFF00FF00u) | ((c & 0xFFu) << 16) | ((c >> 16) & 0xFFu);
}
// Pixel of a plain colour (low 24 bits) with the given alpha byte.
constexpr std::uint32_t ColorToPixel(std::uint32_t color, std::uint8_t alpha) {
  return (SwapRB(color) & 0xFFFFFFu) | (std::uint32_t(alpha) << 24);
}
// Key in pixel order: the colour's top byte becomes the alpha byte, so the
// magenta key 0xFF00FF matches only the pixel 0x00FF00FF.
constexpr std::uint32_t KeyToPixel(std::uint32_t key) { return SwapRB(key); }

inline constexpr std::uint32_t clKeyColor = 0xFF00FF;   // magenta: transparent / unknown
inline constexpr std::uint32_t clNoColor = 0x1FFFFFFF;  // "not set"; as a key: skip nothing
