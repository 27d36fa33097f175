// Options text (and, after a zero byte, common sections) built into skin data
// at one of the four densities, inside a small skin with a master image and two files.
#include <cstddef>
#include <cstdint>

#include "FuzzSkin.h"
#include "sSkinManagerCore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string all(reinterpret_cast<const char*>(data), size);
  size_t zero = all.find('\0');
  std::string options = all.substr(0, zero);
  std::string common = zero == std::string::npos ? std::string() : all.substr(zero + 1);

  cb::test::FakeSkinHost host;
  cb::TacSkinManagerCore mgr(host);
  mgr.ExtendedBorders = true;
  mgr.CommonSections = common;
  mgr.SkinName = u"F";
  auto& item = mgr.InternalSkins.Add();
  item.Name = u"F";
  // The image entries are packed once; only the options entry changes.
  static const std::vector<uint8_t> files = [] {
    std::vector<uint8_t> a = cb::WriteSkinArchive(cb::fuzz::SkinFiles());
    return std::vector<uint8_t>(a.begin() + 8, a.end());
  }();
  std::vector<uint8_t>& archive = item.PackedData.Bytes();
  archive = cb::WriteSkinArchive({{"OPTIONS.DAT", std::vector<uint8_t>(options.begin(), options.end())}});
  archive[4] = static_cast<uint8_t>(1 + cb::fuzz::SkinFiles().size());
  archive.insert(archive.end(), files.begin(), files.end());
  // One density per input, chosen by its length.
  static const int densities[4] = {96, 120, 144, 192};
  for (int ppi : {densities[size % 4]}) {
    cb::TacSkinData* d = mgr.CommonSkinData(ppi);
    // Every record's indexes point inside the arrays they name.
    int masks = static_cast<int>(d->ma.size());
    for (const auto& g : d->gd)
      if (g.BorderIndex >= masks || g.OuterMask >= masks || g.Props[0].TextureIndex >= masks) __builtin_trap();
    for (const auto& m : d->ma) {
      const Bitmap32* b = m.Bmp ? m.Bmp : mgr.MasterBitmap.get();
      if (!b || m.R.Left < 0 || m.R.Top < 0 || m.R.Right > b->Width() || m.R.Bottom > b->Height()) __builtin_trap();
    }
    cb::TsMaskData md;
    std::unique_ptr<Bitmap32> own;
    if (!d->gd.empty()) mgr.GetScaledMaskData(d->gd.back().ClassName, "BORDERSMASK", md, ppi, own);
  }
  return 0;
}
