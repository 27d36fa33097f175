#include "skin/paint/Bitmap32.h"

#include <cassert>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

Bitmap32::Bitmap32(int width, int height) { SetSize(width, height); }

Bitmap32::~Bitmap32() { Reset(); }

Bitmap32::Bitmap32(Bitmap32&& other) noexcept
    : row0_(std::exchange(other.row0_, nullptr)),
      stride_(std::exchange(other.stride_, 0)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      owned_(std::exchange(other.owned_, nullptr)),
      release_(std::exchange(other.release_, {})) {}

Bitmap32& Bitmap32::operator=(Bitmap32&& other) noexcept {
  if (this != &other) {
    Reset();
    row0_ = std::exchange(other.row0_, nullptr);
    stride_ = std::exchange(other.stride_, 0);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    owned_ = std::exchange(other.owned_, nullptr);
    release_ = std::exchange(other.release_, {});
  }
  return *this;
}

void Bitmap32::Reset() noexcept {
  delete[] owned_;
  owned_ = nullptr;
  if (release_) {
    auto r = std::move(release_);
    release_ = {};
    r();
  }
  row0_ = nullptr;
  stride_ = 0;
  width_ = height_ = 0;
}

Bitmap32 Bitmap32::Wrap(void* row0, int width, int height, std::ptrdiff_t stride, Release release) {
  Bitmap32 b;
  if (row0 && width > 0 && height > 0) {
    b.row0_ = static_cast<std::uint8_t*>(row0);
    b.width_ = width;
    b.height_ = height;
    b.stride_ = height > 1 ? stride : 0;
  }
  b.release_ = std::move(release);
  return b;
}

Bitmap32 Bitmap32::View(const BmpRect& r) const {
  int l = r.Left < 0 ? 0 : r.Left, t = r.Top < 0 ? 0 : r.Top;
  int rr = r.Right > width_ ? width_ : r.Right, bb = r.Bottom > height_ ? height_ : r.Bottom;
  if (rr <= l || bb <= t) return Bitmap32();
  return Wrap(Row(t) + std::ptrdiff_t(l) * 4, rr - l, bb - t, stride_);
}

Bitmap32 Bitmap32::Clone() const {
  Bitmap32 b(width_, height_);
  for (int y = 0; y < height_; ++y) std::memcpy(b.Row(y), Row(y), std::size_t(width_) * 4);
  return b;
}

Bitmap32 Bitmap32::Uninitialized(int width, int height) {
  Bitmap32 b;
  b.Allocate(width, height, false);
  return b;
}

void Bitmap32::SetSize(int width, int height) { Allocate(width, height, true); }

void Bitmap32::Allocate(int width, int height, bool zero) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (owned_ && width == width_ && height == height_) return;
  std::int64_t n = std::int64_t(width) * height;
  if (n > kMaxPixels) throw std::length_error("bitmap of " + std::to_string(width) + " x " +
                                              std::to_string(height) + " pixels is too large");
  std::uint32_t* p = n > 0 ? (zero ? new std::uint32_t[std::size_t(n)]() : new std::uint32_t[std::size_t(n)])
                           : nullptr;
  Reset();
  owned_ = p;
  if (p) {
    row0_ = reinterpret_cast<std::uint8_t*>(p);
    width_ = width;
    height_ = height;
    stride_ = height > 1 ? std::ptrdiff_t(width) * 4 : 0;
  }
}

std::uint32_t Bitmap32::Pixel(int x, int y) const {
  assert(x >= 0 && x < width_ && y >= 0 && y < height_);
  std::uint32_t v;
  std::memcpy(&v, Row(y) + std::ptrdiff_t(x) * 4, 4);
  return v;
}

void Bitmap32::SetPixel(int x, int y, std::uint32_t value) const {
  assert(x >= 0 && x < width_ && y >= 0 && y < height_);
  std::memcpy(Row(y) + std::ptrdiff_t(x) * 4, &value, 4);
}

void Bitmap32::Fill(std::uint32_t value) const {
  for (int y = 0; y < height_; ++y) {
    std::uint32_t* p = Line(y);
    for (int x = 0; x < width_; ++x) p[x] = value;
  }
}

Bitmap32 CreateBitmap32(int width, int height) { return Bitmap32(width, height); }

Bitmap32 CreateBitmap32(const BmpRect& r) {
  return Bitmap32(r.Width() > 0 ? r.Width() : 0, r.Height() > 0 ? r.Height() : 0);
}

Bitmap32 CreateBitmap32(const Bitmap32& sizeOf) { return Bitmap32(sizeOf.Width(), sizeOf.Height()); }
