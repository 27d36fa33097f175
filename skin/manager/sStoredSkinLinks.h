#pragma once
// Stored skins as they travel in form descriptions: each collection item
// stands for one skin of a manager's TsStoredSkins and reads and writes its
// values there, so the manager works on plain data.
#include <string>

#include "sStoredSkins.h"
#include "ui/Classes.h"

class TacStoredSkinLinks;

class TacStoredSkinLink : public TCollectionItem {
  CB_CLASS(TacStoredSkinLink, TCollectionItem)
public:
  // Adds a skin to the linked stored skins; the destructor removes it.
  explicit TacStoredSkinLink(TCollection* ACollection);
  ~TacStoredSkinLink() override;
  cb::TsStoredSkin& Skin() const { return *FSkin; }

  std::wstring SkinName() const { return {FSkin->Name.begin(), FSkin->Name.end()}; }
  void SetSkinName(const std::wstring& V) { FSkin->Name.assign(V.begin(), V.end()); }
  TColor Shadow1Color() const { return static_cast<TColor>(FSkin->Shadow1Color); }
  void SetShadow1Color(TColor V) { FSkin->Shadow1Color = static_cast<std::int32_t>(V); }
  int Shadow1Offset() const { return FSkin->Shadow1Offset; }
  void SetShadow1Offset(int V) { FSkin->Shadow1Offset = V; }
  int Shadow1Blur() const { return FSkin->Shadow1Blur; }
  void SetShadow1Blur(int V) { FSkin->Shadow1Blur = V; }
  int Shadow1Transparency() const { return FSkin->Shadow1Transparency; }
  void SetShadow1Transparency(int V) { FSkin->Shadow1Transparency = V; }
  TColor BorderColor() const { return static_cast<TColor>(FSkin->BorderColor); }
  void SetBorderColor(TColor V) { FSkin->BorderColor = static_cast<std::int32_t>(V); }
  double Version() const { return FSkin->Version; }
  void SetVersion(double V) { FSkin->Version = V; }
  std::wstring Author() const { return {FSkin->Author.begin(), FSkin->Author.end()}; }
  void SetAuthor(const std::wstring& V) { FSkin->Author.assign(V.begin(), V.end()); }
  std::wstring Description() const { return {FSkin->Description.begin(), FSkin->Description.end()}; }
  void SetDescription(const std::wstring& V) { FSkin->Description.assign(V.begin(), V.end()); }

  static void PublishProperties(TPublisher& P);
  // "MasterBitmap" (width, height, top-down BGRA), "Data" (the archive) and
  // "OriginName".
  void DefineProperties(TFiler& F) override;
  // MasterBitmap stands second, after Name, as stored descriptions have it.
  std::wstring DefinedPropertyPlace(const std::wstring& Name) const override {
    return Name == L"MasterBitmap" ? L"Name" : L"";
  }

private:
  cb::TsStoredSkins* FSkins;
  cb::TsStoredSkin* FSkin;
};

class TacStoredSkinLinks : public TCollection {
  CB_CLASS(TacStoredSkinLinks, TCollection)
public:
  // Skins must outlive this collection. Items already in it are not linked:
  // start with an empty one.
  TacStoredSkinLinks(cb::TsStoredSkins& Skins, TPersistent* AOwner);
  ~TacStoredSkinLinks() override;  // removes its skins from Skins
  cb::TsStoredSkins& Skins() const { return FSkins; }

protected:
  void Update(TCollectionItem* Item) override;

private:
  cb::TsStoredSkins& FSkins;
};
