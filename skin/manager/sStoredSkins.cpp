#include "sStoredSkins.h"

namespace cb {

TsStoredSkin::TsStoredSkin(TsStoredSkins* collection) {
  if (collection && collection->OnItemCreated) collection->OnItemCreated();
}

void TsStoredSkin::Assign(const TsStoredSkin* source) {
  if (!source) throw std::invalid_argument("Cannot assign a nil to a TsStoredSkin");
  if (source == this) return;
  PackedData.Bytes() = source->PackedData.Bytes();
  PackedData.SetPosition(0);
  MasterBitmap = source->MasterBitmap.Clone();
  Name = source->Name;
  Author = source->Author;
  Version = source->Version;
  BorderColor = source->BorderColor;
  Description = source->Description;
  Shadow1Blur = source->Shadow1Blur;
  Shadow1Color = source->Shadow1Color;
  Shadow1Offset = source->Shadow1Offset;
  Shadow1Transparency = source->Shadow1Transparency;
}

TsStoredSkin& TsStoredSkins::Add() {
  FItems.push_back(std::make_unique<TsStoredSkin>(this));
  Update();
  return *FItems.back();
}

void TsStoredSkins::Delete(int index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("Stored skin index out of range");
  FItems.erase(FItems.begin() + index);
  Update();
}

void TsStoredSkins::Move(int from, int to) {
  if (from < 0 || from >= Count() || to < 0 || to >= Count())
    throw std::out_of_range("Stored skin index out of range");
  if (from == to) return;
  auto item = std::move(FItems[static_cast<size_t>(from)]);
  FItems.erase(FItems.begin() + from);
  FItems.insert(FItems.begin() + to, std::move(item));
  Update();
}

void TsStoredSkins::Clear() {
  FItems.clear();
  Update();
}

int TsStoredSkins::IndexOf(const std::u16string& skinName) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i]->Name == skinName) return static_cast<int>(i);
  return -1;
}

void TsStoredSkins::Update() {
  if (OnSkinListChanged) OnSkinListChanged();
}

}  // namespace cb
