#include "sStoredSkinLinks.h"

#include <cstdint>
#include <vector>

#include "base/Stream.h"
#include "ui/FormStreaming.h"

namespace {

cb::TsStoredSkins& SkinsOf(TCollection* C) {
  auto* Links = dynamic_cast<TacStoredSkinLinks*>(C);
  if (!Links) throw EComponentError("A stored skin belongs to stored skins");
  return Links->Skins();
}

void PutInt(std::vector<std::uint8_t>& Out, std::uint32_t V) {
  for (int i = 0; i < 4; ++i) Out.push_back(static_cast<std::uint8_t>(V >> (8 * i)));
}

std::uint32_t GetInt(const std::uint8_t* P) {
  return P[0] | (std::uint32_t(P[1]) << 8) | (std::uint32_t(P[2]) << 16) | (std::uint32_t(P[3]) << 24);
}

}  // namespace

TacStoredSkinLink::TacStoredSkinLink(TCollection* ACollection)
    : TCollectionItem(ACollection), FSkins(&SkinsOf(ACollection)), FSkin(&FSkins->Add()) {}

TacStoredSkinLink::~TacStoredSkinLink() {
  for (int i = 0; i < FSkins->Count(); ++i)
    if (&FSkins->Items(i) == FSkin) {
      FSkins->Delete(i);
      break;
    }
}

void TacStoredSkinLink::PublishProperties(TPublisher& P) {
  using L = TacStoredSkinLink;
  P.Str(L"Name", &L::SkinName, &L::SetSkinName);
  P.Color(L"Shadow1Color", &L::Shadow1Color, &L::SetShadow1Color, 0);
  P.Int(L"Shadow1Offset", &L::Shadow1Offset, &L::SetShadow1Offset, 0);
  P.Int(L"Shadow1Blur", &L::Shadow1Blur, &L::SetShadow1Blur, -1);
  P.Int(L"Shadow1Transparency", &L::Shadow1Transparency, &L::SetShadow1Transparency, 0);
  P.Color(L"BorderColor", &L::BorderColor, &L::SetBorderColor, clMagenta);
  P.Real(L"Version", &L::Version, &L::SetVersion, 0);
  P.Str(L"Author", &L::Author, &L::SetAuthor);
  P.Str(L"Description", &L::Description, &L::SetDescription);
}

void TacStoredSkinLink::DefineProperties(TFiler& F) {
  TCollectionItem::DefineProperties(F);
  F.DefineBinaryProperty(
      L"MasterBitmap",
      [this](TStream& S) {
        std::uint8_t Head[8];
        S.ReadBuffer(Head, sizeof Head);
        const std::uint32_t W = GetInt(Head), H = GetInt(Head + 4);
        const std::uint64_t Pixels = std::uint64_t(W) * H;  // cannot wrap: both below 2^32
        if (W == 0 || H == 0 || Pixels > std::uint64_t(Bitmap32::kMaxPixels) ||
            std::uint64_t(S.Size()) != 8 + Pixels * 4)
          throw EReadError("The master bitmap's size does not match its pixels");
        Bitmap32 B(static_cast<int>(W), static_cast<int>(H));
        for (int y = 0; y < B.Height(); ++y) S.ReadBuffer(B.Row(y), std::size_t(W) * 4);
        FSkin->MasterBitmap = std::move(B);
      },
      [this](TStream& S) {
        const Bitmap32& B = FSkin->MasterBitmap;
        std::vector<std::uint8_t> Head;
        PutInt(Head, static_cast<std::uint32_t>(B.Width()));
        PutInt(Head, static_cast<std::uint32_t>(B.Height()));
        S.WriteBuffer(Head.data(), Head.size());
        for (int y = 0; y < B.Height(); ++y) S.WriteBuffer(B.Row(y), std::size_t(B.Width()) * 4);
      },
      !FSkin->MasterBitmap.Empty());
  F.DefineBinaryProperty(
      L"Data",
      [this](TStream& S) {
        std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(S.Size()));
        if (!Bytes.empty()) S.ReadBuffer(Bytes.data(), Bytes.size());
        FSkin->PackedData = TMemoryStream(std::move(Bytes));
      },
      [this](TStream& S) {
        if (FSkin->PackedData.Size()) S.WriteBuffer(FSkin->PackedData.Bytes().data(), FSkin->PackedData.Size());
      },
      FSkin->PackedData.Size() > 0);
  F.DefineProperty(
      L"OriginName",
      [this](TReader& R) {
        const std::wstring V = R.ReadString();
        FSkin->OrigName.assign(V.begin(), V.end());
      },
      [this](TWriter& W) { W.WriteString(std::wstring(FSkin->OrigName.begin(), FSkin->OrigName.end())); },
      !FSkin->OrigName.empty());
}

TacStoredSkinLinks::TacStoredSkinLinks(cb::TsStoredSkins& Skins, TPersistent* AOwner)
    : TCollection(TacStoredSkinLink::StaticClassInfo(), AOwner), FSkins(Skins) {}

TacStoredSkinLinks::~TacStoredSkinLinks() { Clear(); }

void TacStoredSkinLinks::Update(TCollectionItem* Item) {
  TCollection::Update(Item);
  // Items may have been moved: the skins follow, since the first skin of a
  // name, and the first of all, is the one a manager takes.
  for (int i = 0; i < Count() && i < FSkins.Count(); ++i) {
    const cb::TsStoredSkin* Want = &static_cast<TacStoredSkinLink*>(Items(i))->Skin();
    if (&FSkins.Items(i) == Want) continue;
    for (int j = i + 1; j < FSkins.Count(); ++j)
      if (&FSkins.Items(j) == Want) {
        FSkins.Move(j, i);
        break;
      }
  }
  FSkins.Update();
}
