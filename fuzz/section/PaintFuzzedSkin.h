#pragma once
// A skin made of fuzzed bytes with every section and image painted in every
// state, into rectangles from 1 x 1 to larger than the images. Input: the
// options text, a zero byte, then bytes that give the images their sizes and
// pixels. Shared by the fuzzer and the unit tier's replay of its findings.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/FakeSkinHost.h"
#include "tests/support/SkinImages.h"
#include "acSkinArchive.h"
#include "sGraphUtils.h"
#include "sSkinManagerCore.h"

namespace cb::fuzz {

// The bytes after the options text, read round and round.
class ImageBytes {
 public:
  ImageBytes(const std::string& b) : b_(b) {}
  uint8_t Next() { return b_.empty() ? uint8_t(i_++ * 37) : uint8_t(b_[i_++ % b_.size()]); }
  int Size(int most) { return 1 + Next() % most; }

 private:
  const std::string& b_;
  size_t i_ = 0;
};

// A control whose parent answers with a ready image and a colour.
class FuzzBinding : public cb::ISectionBinding {
 public:
  FuzzBinding(cb::TacSkinData* sd, int index, const TCacheInfo& bg, int effects)
      : sd_(sd), index_(index), bg_(bg), effects_(effects) {}
  cb::TacSkinData* SkinData() const override { return sd_; }
  int SkinIndex() const override { return index_; }
  bool CustomColor() const override { return effects_ & 1; }
  std::uint32_t OwnerColor() const override { return clBtnFace; }
  std::uint32_t ColorTone() const override { return effects_ & 2 ? 0x3080C0u : clNoColor; }
  int HUEOffset() const override { return effects_ & 4 ? 40 : 0; }
  int Saturation() const override { return effects_ & 8 ? -60 : 0; }
  bool ParentBackground(TCacheInfo& out) override {
    out = bg_;
    return true;
  }

 private:
  cb::TacSkinData* sd_;
  int index_;
  TCacheInfo bg_;
  int effects_;
};

// A bitmap inside a frame of guard pixels: any write that leaves the bitmap
// changes the frame.
class Guarded {
 public:
  static constexpr std::uint32_t kGuard = 0x5AA5C33Cu;
  Guarded(int w, int h) : outer_(w + 4, h + 4) {
    outer_.Fill(kGuard);
    view_ = outer_.View(BmpRect(2, 2, w + 2, h + 2));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) view_.SetPixel(x, y, 0xFF000000u | std::uint32_t(x * 5 + y * 3) * 0x010203u);
  }
  Bitmap32& Bmp() { return view_; }
  bool Intact() const {
    for (int y = 0; y < outer_.Height(); ++y)
      for (int x = 0; x < outer_.Width(); ++x) {
        const bool inside = x >= 2 && y >= 2 && x < view_.Width() + 2 && y < view_.Height() + 2;
        if (!inside && outer_.Pixel(x, y) != kGuard) return false;
      }
    return true;
  }

 private:
  Bitmap32 outer_;
  Bitmap32 view_;
};

// Returns false when some painting wrote outside the bitmap it was given.
inline bool PaintFuzzedSkin(const uint8_t* data, size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const size_t zero = all.find('\0');
  const std::string options = all.substr(0, zero);
  const std::string rest = zero == std::string::npos ? std::string() : all.substr(zero + 1);

  ImageBytes bytes(rest);
  auto colour = [&](int, int) -> uint32_t {
    const uint8_t k = bytes.Next();
    if (k % 5 == 0) return clMagenta;
    return uint32_t(k) << 16 | uint32_t(bytes.Next()) << 8 | bytes.Next();
  };
  auto rgba = [&](int, int) -> uint32_t {
    return uint32_t(bytes.Next()) << 24 | uint32_t(bytes.Next()) << 16 | uint32_t(bytes.Next()) << 8 | bytes.Next();
  };
  const int mw = bytes.Size(48), mh = bytes.Size(32);
  std::vector<uint8_t> master = cb::test::MakeBmp24(mw, mh, colour);
  const int ew = bytes.Size(12), eh = bytes.Size(12);
  std::vector<uint8_t> edge = cb::test::MakeBmp24(ew, eh, colour);
  const int aw = bytes.Size(16), ah = bytes.Size(16);
  std::vector<uint8_t> alpha = cb::test::MakePngRgba(aw, ah, rgba);

  cb::test::FakeSkinHost host;
  cb::TacSkinManagerCore mgr(host);
  mgr.ExtendedBorders = true;
  mgr.SkinName = u"F";
  auto& item = mgr.InternalSkins.Add();
  item.Name = u"F";
  item.PackedData.Bytes() = cb::WriteSkinArchive({{"OPTIONS.DAT", std::vector<uint8_t>(options.begin(), options.end())},
                                               {"MASTER.BMP", master},
                                               {"EDGE.BMP", edge},
                                               {"ALPHA.PNG", alpha}});
  static const int densities[4] = {96, 120, 144, 192};
  cb::TacSkinData* d = mgr.CommonSkinData(densities[size % 4]);
  if (!d) return true;

  bool intact = true;
  Guarded parent(64, 48);
  auto ready = [&](int x, int y) {
    TCacheInfo bg = MakeCacheInfo(parent.Bmp());
    bg.X = x, bg.Y = y;
    return bg;
  };
  TCacheInfo filled;
  filled.FillColor = 0x408020;
  TCacheInfo notReady = ready(-3, 5);
  notReady.Ready = false;
  notReady.FillColor = clBtnFace;
  notReady.FillRect = BmpRect(4, 4, 30, 20);
  const TCacheInfo backgrounds[4] = {ready(3, 2), filled, notReady, TCacheInfo()};
  const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {3, 7}, {9, 4}, {24, 18}, {70, 41}};
  const BmpPoint offsets[3] = {BmpPoint(0, 0), BmpPoint(5, 3), BmpPoint(-4, 50)};

  const int sections = std::min<int>(int(d->gd.size()), 12);
  for (int si = 0; si < sections; ++si) {
    const int states = std::clamp(d->gd[size_t(si)].States, 1, 3) + 1;
    for (int state = 0; state < states; ++state)
      for (size_t k = 0; k < std::size(sizes); ++k) {
        const auto [w, h] = sizes[k];
        const TCacheInfo& bg = backgrounds[(size_t(si) + k) % 4];
        const BmpPoint at = offsets[(size_t(state) + k) % 3];
        Guarded b(w, h);
        cb::PaintSectionByIndex(si, bg, -1, -1, d, b.Bmp(), at, b.Bmp().Bounds(), state);
        cb::PaintSectionBackground(si, bg, state, clBtnFace, -1, -1, d, b.Bmp(), at, BmpRect(1, 0, w, h));
        FuzzBinding bind(d, si, ready(at.X, at.Y), int(k) + state);
        cb::PaintSection(bind, bg, true, state, b.Bmp(), at, b.Bmp().Bounds());
        cb::RestoreCorners(bind, b.Bmp(), state, cb::kCornersAll);
        intact = intact && b.Intact();
        Bitmap32 saved;
        cb::PaintOuterEffect(*d, si, parent.Bmp(), BmpRect(at.X, at.Y, at.X + w, at.Y + h), state, saved);
      }
  }
  // The records as loaded, then each again with its rectangle, cell and
  // borders pulled about: the painter clips whatever a record claims.
  const int loaded = std::min<int>(int(d->ma.size()), 12);
  std::vector<cb::TsMaskData> records(d->ma.begin(), d->ma.begin() + loaded);
  for (int i = 0; i < loaded; ++i) {
    cb::TsMaskData m = records[size_t(i)];
    m.R.Left += bytes.Next() % 9 - 4;
    m.R.Top += bytes.Next() % 9 - 4;
    m.R.Right += bytes.Next() % 40 - 8;
    m.R.Bottom += bytes.Next() % 24 - 8;
    m.ImageCount = uint16_t(bytes.Next() % 4);
    m.Width = m.R.Width() / std::max<int>(1, m.ImageCount) + bytes.Next() % 5 - 2;
    m.Height = m.R.Height() / (m.MaskType + 1) + bytes.Next() % 5 - 2;
    m.WL = uint16_t(m.WL + bytes.Next() % 3);
    m.WB = uint16_t(m.WB + bytes.Next() % 3);
    records.push_back(m);
  }
  for (size_t mi = 0; mi < records.size(); ++mi) {
    const cb::TsMaskData& m = records[mi];
    for (int state = 0; state < 3; ++state)
      for (size_t k = 0; k < std::size(sizes); ++k) {
        const auto [w, h] = sizes[k];
        const TCacheInfo& bg = backgrounds[(mi + k) % 4];
        Guarded b(w, h);
        Bitmap32& t = b.Bmp();
        cb::DrawBorderMask(t, t.Bounds(), bg, true, state, m);
        cb::DrawBorderMask(t, BmpRect(-2, 1, w + 3, h + 2), bg, false, state, m);
        cb::DrawOuterMask(t, t.Bounds(), bg, 200, TMargins(2, 3, 1, 4), state, m);
        cb::DrawOuterMask(t, BmpRect(-1, -1, w + 1, h + 1), bg, 255, TMargins(9, 0, 5, 40), state, m);
        cb::DrawCornerImage(t, BmpPoint(-1, 1), state, bg, m, 1);
        cb::DrawCornerImage(t, BmpPoint(w - 2, h - 1), state, bg, m, 0);
        BmpRect r = t.Bounds();
        cb::DrawTexture(t, r, m.DrawMode, m);
        r = BmpRect(1, 1, w, h);
        cb::DrawMaskedTexture(t, r, bg, state ? cb::fmWholeTiles : cb::fmTile, m);
        if (sections > 0)
          cb::PaintSectionWithMask(int(mi) % sections, bg, m, d, t, offsets[k % 3], t.Bounds(), state);
        intact = intact && b.Intact();
      }
  }
  return intact && parent.Intact();
}

}  // namespace cb::fuzz
