#pragma once
// Skins carried in a window's form data: the archive bytes and a few values.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Stream.h"
#include "base/Geometry.h"
#include "skin/paint/Bitmap32.h"

namespace cb {

class TsStoredSkins;

class TsStoredSkin {
public:
  explicit TsStoredSkin(TsStoredSkins* collection = nullptr);

  // Copies everything but OrigName from another stored skin; a null source
  // cannot be assigned (std::invalid_argument).
  void Assign(const TsStoredSkin* source);

  std::u16string Name;
  Bitmap32 MasterBitmap;
  int32_t Shadow1Color = 0;
  int Shadow1Offset = 0;
  int Shadow1Blur = -1;
  int Shadow1Transparency = 0;
  int32_t BorderColor = clMagenta;
  double Version = 0;
  std::u16string Author;
  std::u16string Description;
  TMemoryStream PackedData;  // "Data": the whole archive
  std::u16string OrigName;     // "OriginName"
};

class TsStoredSkins {
public:
  // Told when an item is created (the skin list is then stale) and after
  // the collection was updated.
  std::function<void()> OnItemCreated;
  std::function<void()> OnSkinListChanged;

  TsStoredSkin& Add();
  void Delete(int index);
  // Moves the item at from to index to; the others keep their order.
  void Move(int from, int to);
  void Clear();
  int Count() const { return static_cast<int>(FItems.size()); }
  TsStoredSkin& Items(int index) { return *FItems.at(static_cast<size_t>(index)); }
  const TsStoredSkin& Items(int index) const { return *FItems.at(static_cast<size_t>(index)); }
  // First item whose Name equals skinName exactly, else -1.
  int IndexOf(const std::u16string& skinName) const;
  // Assigning another collection leaves the items unchanged.
  void Assign(const TsStoredSkins&) {}
  void Update();

private:
  friend class TsStoredSkin;
  std::vector<std::unique_ptr<TsStoredSkin>> FItems;
};

}  // namespace cb
