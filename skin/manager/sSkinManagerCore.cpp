#include "sSkinManagerCore.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <sstream>

#include "skin/paint/ImageDecoders.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/Resample.h"

namespace cb {

const char* const SFormatErrorBegin = "Internal format error in the ";
const char* const SFormatErrorEnd = " skin. Please, update this skin to latest version.";

namespace {

const char* const kGlobal = "GLOBALINFO";
constexpr int kMaxChain = 256;

std::u16string W(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

// Decimal number with "." as the separator; anything else gives 0.
double ReadVersion(const std::string& text) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  double v = 0;
  if (!(in >> v)) return 0;
  return v;
}

// The bytes of an options file as text, read where they lie.
std::string_view AsText(const std::vector<uint8_t>& bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

}  // namespace

namespace {
// Shared by all managers, so a generation never repeats, not even in a manager made later.
std::uint32_t gLastGeneration = 0;
}  // namespace

TacSkinManagerCore::TacSkinManagerCore(TacSkinHost& host) : Host(host), SkinDataGeneration(++gLastGeneration) {
  for (size_t i = 0; i < FEmptyData.size(); ++i)
    FEmptyData[i] = std::make_unique<TacSkinData>(this, PPIOfScaleIndex(static_cast<int>(i)));
  SkinCommonInfo.SysInactiveBorderColor = static_cast<int32_t>(host.SysColor(11));
}

TacSkinManagerCore::~TacSkinManagerCore() = default;

std::u16string TacSkinManagerCore::NameWithoutAsz(const std::u16string& v) {
  if (v.size() > 4) {
    std::u16string ext = v.substr(v.size() - 4);
    for (char16_t& c : ext) c = Lower(c);
    if (ext == u".asz") return v.substr(0, v.size() - 4);
  }
  return v;
}

std::u16string TacSkinManagerCore::NormalizeDir(const std::u16string& d) {
  if (d.empty() || d.back() == u'\\') return d;
  if (d.back() == u'/') return d.substr(0, d.size() - 1) + u"\\";
  if (d.size() == 1) return d + u":\\";
  return d + u"\\";
}

std::u16string TacSkinManagerCore::GetFullSkinDirectory() const {
  const std::u16string& s = SkinDirectory;
  std::u16string app = Host.ExeDirectory();
  std::u16string r;
  if (s.rfind(u"..", 0) == 0) {
    r = app.empty() ? app : app.substr(0, app.size() - 1);
    while (!r.empty() && r.back() != u'/' && r.back() != u'\\') r.pop_back();
    r += s.size() > 3 ? s.substr(3) : std::u16string();
  } else if (s.rfind(u".\\", 0) == 0 || s.rfind(u"./", 0) == 0) {
    r = app + s.substr(2);
  } else if (s == u".") {
    r = app;
  } else if (s.size() == 1) {
    r = s;  // a drive letter
  } else if (s.find(u':') == std::u16string::npos && s.find(u"\\\\") == std::u16string::npos) {
    r = app + s;
  } else {
    r = s;
  }
  return NormalizeDir(r);
}

void TacSkinManagerCore::CloseSkinFile() { sc.reset(); }

bool TacSkinManagerCore::InitSkinFile() {
  SkinPath = GetFullSkinDirectory() + SkinName + u"\\";
  std::u16string opts = SkinPath + u"Options.dat";
  SkinIsPacked = false;
  if (PreviewPending) {
    OptionsDat.SetText(PreviewText);
  } else if (Host.FileExists(opts)) {
    std::vector<uint8_t> bytes;
    Host.ReadWholeFile(opts, bytes);
    OptionsDat.SetText(AsText(bytes));
  } else if (std::u16string arc = NormalizeDir(SkinDirectory) + SkinName + u".asz"; Host.FileExists(arc)) {
    if (!sc) sc = std::make_unique<TacSkinConvertor>();
    LoadSkinArchiveFile(arc, *sc, Host);
    if (!sc->Options) {
      SkinChanging = true;
      Host.ShowMessage(W(SFormatErrorBegin) + u"\"" + SkinName + u"\"" + W(SFormatErrorEnd), TacMsgKind::mkError);
      SkinChanging = false;
      return false;
    }
    SkinIsPacked = true;
    OptionsDat.SetText(AsText(sc->Options->Bytes()));
  } else {
    SkinPath.clear();
    int index = InternalSkins.IndexOf(SkinName);
    if (InternalSkins.Count() == 0) {
      FActive = false;
      return false;
    }
    if (index < 0) {
      SkinName = InternalSkins.Items(0).Name;
      index = 0;
    }
    TsStoredSkin& item = InternalSkins.Items(index);
    if (item.PackedData.Size() > 0) {
      SkinIsPacked = true;
      CloseSkinFile();
      sc = std::make_unique<TacSkinConvertor>();
      item.PackedData.SetPosition(0);
      sc->PackedData = &item.PackedData;
      struct GiveBack {
        TacSkinConvertor& c;
        ~GiveBack() { c.PackedData = nullptr; }
      } giveBack{*sc};
      ReadSkinArchive(*sc, &Host);
      // A stored archive that cannot be read leaves nothing to load.
      if (!sc->Options) return false;
      OptionsDat.SetText(AsText(sc->Options->Bytes()));
    } else {
      SkinIsPacked = false;
    }
  }
  SkinFile = &OptionsDat;
  return true;
}

void TacSkinManagerCore::ExtractInternalSkin(const std::u16string& nameOfSkin, const std::u16string& destDir) {
  bool found = false;
  for (int i = 0; i < InternalSkins.Count(); ++i) {
    if (InternalSkins.Items(i).Name != nameOfSkin) continue;
    found = true;
    if (Host.DirectoryExists(destDir))
      ExtractByIndex(i, destDir);
    else
      Host.ShowMessage(u"Directory does not exists.", TacMsgKind::mkError);
  }
  if (!found) Host.ShowMessage(u"Skin does not exists.", TacMsgKind::mkError);
}

void TacSkinManagerCore::ExtractByIndex(int index, const std::u16string& destDir) {
  if (index < 0 || index >= InternalSkins.Count()) return;
  std::u16string dir = NormalizeDir(destDir);
  if (!Host.DirectoryExists(dir) && !Host.CreateDir(dir)) {
    Host.ShowMessage(dir + u" directory creation error.", TacMsgKind::mkError);
    return;
  }
  const TsStoredSkin& item = InternalSkins.Items(index);
  Host.WriteWholeFile(dir + item.Name + u" extracted.asz", item.PackedData.Bytes());
}

bool TacSkinManagerCore::ReadSkinFile(const std::string& upperName, std::vector<uint8_t>& out) const {
  if (SkinIsPacked && sc) {
    if (const TacFileItem* f = sc->FindByUpperName(upperName)) {
      out = f->Stream->Bytes();
      return true;
    }
  }
  if (SkinPath.empty()) return false;
  std::u16string path = SkinPath + Host.FromAnsi(upperName);
  return Host.FileExists(path) && Host.ReadWholeFile(path, out);
}

bool TacSkinManagerCore::LoadSkinImage(const std::string& upperName, Bitmap32& out, bool& hasAlpha) const {
  std::vector<uint8_t> bytes;
  const std::vector<uint8_t>* data = &bytes;
  const TacFileItem* f = SkinIsPacked && sc ? sc->FindByUpperName(upperName) : nullptr;
  if (f)
    data = &f->Stream->Bytes();  // decoded in place, not copied
  else if (!ReadSkinFile(upperName, bytes))
    return false;
  try {
    TImageFormat fmt = ImageFormatFromName(upperName);
    TDecodedImage d = DecodeImage(data->data(), data->size(), fmt);
    hasAlpha = d.HasAlpha;
    out = std::move(d.Bmp);
  } catch (const std::exception&) {
    return false;  // an image that cannot be read is dropped
  }
  if (!hasAlpha) MakeKeyTransparent(out);
  return !out.Empty();
}

std::vector<TacSkinFont> TacSkinManagerCore::CollectSkinFonts() const {
  std::vector<TacSkinFont> fonts;
  int count = std::clamp(OptionsDat.ReadInteger(kGlobal, "FontCount", 0), 0, 256);
  auto file = [&](int n) { return OptionsDat.ReadString(kGlobal, "FontFile" + std::to_string(n), ""); };
  auto face = [&](int n) { return OptionsDat.ReadString(kGlobal, "FontName" + std::to_string(n), ""); };
  if (SkinIsPacked && sc) {
    for (int i = 0; i < std::min<int>(sc->FileCount, static_cast<int>(sc->Files.size())); ++i) {
      const TacFileItem& f = sc->Files[static_cast<size_t>(i)];
      if (f.FileType != ftFont) continue;
      TacSkinFont font{f.AnsiName, "", f.Stream->Bytes()};
      for (int n = 0; n < count; ++n)
        if (file(n) == f.AnsiName) {
          font.FaceName = face(n);
          break;
        }
      fonts.push_back(std::move(font));
    }
  } else if (!SkinPath.empty()) {
    for (int n = 0; n < count; ++n) {
      std::string name = file(n);
      std::vector<uint8_t> bytes;
      std::u16string path = SkinPath + Host.FromAnsi(name);
      if (!name.empty() && Host.FileExists(path) && Host.ReadWholeFile(path, bytes))
        fonts.push_back({name, face(n), std::move(bytes)});
    }
  }
  return fonts;
}

void TacSkinManagerCore::LoadCommonData() {
  MasterBitmap.reset();
  std::string master = OptionsDat.ReadString(kGlobal, "MASTERBITMAP", "");
  if (!master.empty()) {
    std::vector<uint8_t> bytes;
    const std::vector<uint8_t>* data = nullptr;
    if (SkinIsPacked && sc) {
      if (const TacFileItem* f = sc->FindByUpperName(master)) data = &f->Stream->Bytes();
    } else if (!SkinPath.empty()) {
      std::u16string path = SkinPath + Host.FromAnsi(master);
      if (Host.FileExists(path) && Host.ReadWholeFile(path, bytes)) data = &bytes;
    }
    if (data) {
      bool png = AnsiUpper(master).find(".PNG") != std::string::npos;
      try {
        TDecodedImage d = png ? DecodePng(data->data(), data->size()) : DecodeBmp(data->data(), data->size());
        auto bmp = std::make_unique<Bitmap32>(std::move(d.Bmp));
        if (d.HasAlpha)
          ClearOpaqueKey(*bmp);
        else
          MakeKeyTransparent(*bmp);
        if (!bmp->Empty()) MasterBitmap = std::move(bmp);
      } catch (const std::exception&) {
        // No master image: masks that point into it are dropped.
      }
    }
  }
  TsSkinCommonInfo& ci = SkinCommonInfo;
  ci.Author = OptionsDat.ReadString(kGlobal, "AUTHOR", "");
  ci.Description = OptionsDat.ReadString(kGlobal, "DESCRIPTION", "");
  ci.MainFont = OptionsDat.ReadString(kGlobal, "MainFont", "");
  ci.UseAeroBluring = OptionsDat.ReadInteger(kGlobal, "AEROBLUR", 0) != 0;
  ci.BrightMin = OptionsDat.ReadInteger(kGlobal, "BRIGHTMIN", -50);
  ci.BrightMax = OptionsDat.ReadInteger(kGlobal, "BRIGHTMAX", 50);
  ci.BIVAlign = OptionsDat.ReadInteger(kGlobal, "BIVALIGN", 0);
  ci.BIKeepHUE = OptionsDat.ReadInteger(kGlobal, "BIKEEPHUE", 0);
  ci.Shadow1Color = OptionsDat.ReadInteger(kGlobal, "SHADOW1COLOR", 0);
  ci.ArrowStyle = OptionsDat.ReadInteger(kGlobal, "ARROWSTYLE", 0);
  ci.Version = ReadVersion(OptionsDat.ReadString(kGlobal, "VERSION", "0"));
  ci.SkinPath = std::string(SkinPath.begin(), SkinPath.end());
  if (ci.Version >= 10.26 && ci.Version > 14.99 && !PreviewMode)
    Host.ShowMessage(u"This version of the skin has not complete support by used Lumiskin package release.\r\n"
                     u"Components must be updated to latest version for using this skin.",
                     TacMsgKind::mkWarning);
}

bool TacSkinManagerCore::ReloadSkin(TacSkinData& d) {
  if (!FActive) return false;
  if (!InitSkinFile()) return false;
  LoadCommonData();
  d.LoadParams();
  d.LoadAllMasks();
  d.LoadAllGeneralData();
  d.InitConstantIndexes();
  d.InitMaskIndexes();
  d.InitMaskParams();
  InitSkinParams(d);
  d.CheckShadows();
  return true;
}

void TacSkinManagerCore::InitSkinParams(TacSkinData& d) {
  const TacMemIni& ini = OptionsDat;
  auto gi = [&](const char* key, uint32_t def) {
    return static_cast<uint32_t>(ini.ReadInteger(kGlobal, key, static_cast<int32_t>(def)));
  };
  auto gi64 = [&](const char* key, uint32_t def) {
    std::string v = ini.ReadString(kGlobal, key, "");
    int64_t x;
    return !v.empty() && TryStrToInt64(v, x) ? static_cast<uint32_t>(x) : def;
  };
  auto state = [&](const char* section, int st, uint32_t& color, uint32_t& font) {
    int i = GetSkinIndex(section, &d);
    if (i < 0) return false;
    const TsGeneralData& g = d.gd[static_cast<size_t>(i)];
    const TsGenState& s = g.Props[static_cast<size_t>(st < 2 || g.States >= 2 ? st : 0)];
    color = static_cast<uint32_t>(s.Color);
    font = static_cast<uint32_t>(s.FontColor.Color);
    return true;
  };
  auto& P = Palette;
  P[pcMainColor] = gi("COLOR", Host.SysColor(scBtnFace));
  P[pcLabelText] = gi("FONTCOLOR", 0);
  P[pcWebText] = gi("TCBOTTOM", 0xFF0000);
  P[pcWebTextHot] = gi("TCTOP", 0x0000FF);
  uint32_t c, f;
  if (state("EDIT", 0, c, f)) {
    P[pcEditBG] = c;
    P[pcEditText] = f;
  } else {
    P[pcEditBG] = Host.SysColor(scWindow);
    P[pcEditText] = Host.SysColor(scWindowText);
  }
  for (int focused = 0; focused < 2; ++focused) {
    uint32_t bg = 0, text = 0xFFFFFFFFu;
    state("SELECTION", focused, bg, text);
    if (text == 0xFFFFFFFFu || text == clMagenta) {
      if (!state("MENUITEM", 1, bg, text) || text == 0xFFFFFFFFu || text == clMagenta) {
        bg = Host.SysColor(scHighlight);
        text = Host.SysColor(scHighlightText);
      }
    }
    P[focused ? pcSelectionBG_Focused : pcSelectionBG] = bg;
    P[focused ? pcSelectionText_Focused : pcSelectionText] = text;
  }
  uint32_t editBG = P[pcEditBG], editText = P[pcEditText];
  P[pcEditBG_Inverted] = gi("EDITBG_INV", editText);
  P[pcEditText_Inverted] = gi("EDITTEXT_INV", editBG);
  P[pcEditBG_OddRow] = gi("EDITBG_ODD", editBG);
  P[pcEditBG_EvenRow] = gi("EDITBG_EVEN", MixTwoColours(editText, editBG, 13));
  P[pcEditText_Ok] = gi("EDITTEXT_OK", 0x404000);
  P[pcEditText_Warning] = gi("EDITTEXT_WARN", 0x4C4C);
  P[pcEditText_Alert] = P[pcEditText_Caution] = P[pcEditText_Bypassed] = gi("EDITTEXT_ALERT", 0x6C);
  P[pcEditBG_Ok] = gi("EDITBG_OK", 0xC9FFD2);
  P[pcEditBG_Warning] = gi("EDITBG_WARN", 0xBAFFFF);
  P[pcEditBG_Alert] = P[pcEditBG_Caution] = P[pcEditBG_Bypassed] = gi("EDITBG_ALERT", 0xDBDBFF);
  P[pcEditText_Highlight1] = gi("EDITTEXT_H1", 0);
  P[pcEditText_Highlight2] = gi("EDITTEXT_H2", 0);
  P[pcEditText_Highlight3] = gi("EDITTEXT_H3", 0);
  uint32_t main = P[pcMainColor] & 0xFFFFFF, border = gi("BORDERCOLOR", 0), font = P[pcLabelText];
  const uint32_t opaque = 0xFF000000u;
  P[pcBtnColor1Active] = gi64("BTNCOLOR1ACTIVE", MixTwoColours(main, 0xFFFFFF, 177) | opaque);
  P[pcBtnColor2Active] = gi64("BTNCOLOR2ACTIVE", main | opaque);
  P[pcBtnBorderActive] = gi("BTNBORDERACTIVE", border);
  P[pcBtnFontActive] = gi("BTNFONTACTIVE", font);
  P[pcBtnColor1Normal] = gi64("BTNCOLOR1NORMAL", main | opaque);
  P[pcBtnColor2Normal] = gi64("BTNCOLOR2NORMAL", MixTwoColours(main, 0, 244) | opaque);
  P[pcBtnBorderNormal] = gi("BTNBORDERNORMAL", border);
  P[pcBtnFontNormal] = gi("BTNFONTNORMAL", font);
  P[pcBtnColor1Pressed] = gi64("BTNCOLOR1PRESSED", MixTwoColours(main, 0, 233) | opaque);
  P[pcBtnColor2Pressed] = gi64("BTNCOLOR2PRESSED", MixTwoColours(main, 0, 233) | opaque);
  P[pcBtnBorderPressed] = gi("BTNBORDERPRESSED", border);
  P[pcBtnFontPressed] = gi("BTNFONTPRESSED", font);
  struct Tone {
    const char* key;
    uint32_t tone;
    const char* textKey;
    const char* textActiveKey;
    uint32_t text;
  };
  static const Tone tones[4] = {
      {"COLORTONERED", 0xD5D5FF, "COLORTONEREDTEXT", "COLORTONEREDTEXTACTIVE", 0xB4},
      {"COLORTONEGREEN", 0xE1FFD2, "COLORTONEGREENTEXT", "COLORTONEGREENTEXTACTIVE", 0x28851A},
      {"COLORTONEBLUE", 0xFFEDC9, "COLORTONEBLUETEXT", "COLORTONEBLUETEXTActive", 0xAE7400},
      {"COLORTONEYELLOW", 0xCAF3FF, "COLORTONEYELLOWTEXT", "COLORTONEYELLOWTEXTActive", 0xA5D7}};
  for (int i = 0; i < 4; ++i) {
    uint32_t tone = gi(tones[i].key, tones[i].tone);
    P[static_cast<size_t>(pcBtnToneRed + 2 * i)] = tone;
    P[static_cast<size_t>(pcBtnToneRedActive + 2 * i)] = gi((std::string(tones[i].key) + "ACTIVE").c_str(), tone);
    uint32_t text = gi(tones[i].textKey, tones[i].text);
    P[static_cast<size_t>(pcBtnRedText + 2 * i)] = text;
    P[static_cast<size_t>(pcBtnRedTextActive + 2 * i)] = gi(tones[i].textActiveKey, text);
  }
  P[pcBorder] = border;
  int32_t grid = ini.ReadInteger(kGlobal, "GRIDLINE", -1);
  P[pcGrid] = grid == -1 ? MixTwoColours(editText, editBG, 30) : static_cast<uint32_t>(grid);
  if (state("HINT", 0, c, f)) {
    P[pcHintBG] = c;
    P[pcHintText] = f;
  } else {
    P[pcHintBG] = Host.SysColor(scInfoBk);
    P[pcHintText] = Host.SysColor(scInfoText);
  }
}

TacSkinData* TacSkinManagerCore::CommonSkinData(int aPPI) {
  int index = ScaleIndexOfPPI(aPPI);
  if (!FActive && !SkinChanging) {
    TacSkinData* d = FEmptyData[static_cast<size_t>(index)].get();
    d->SetPPI(aPPI);
    return d;
  }
  if (SkinDataArray.size() <= static_cast<size_t>(index)) SkinDataArray.resize(static_cast<size_t>(index) + 1);
  auto& slot = SkinDataArray[static_cast<size_t>(index)];
  if (!slot) {
    slot = std::make_unique<TacSkinData>(this, aPPI);
    slot->Init();
  }
  return slot.get();
}

void TacSkinManagerCore::ResetSkinData() {
  SkinCommonInfo.Sections.fill(-1);
  SkinCommonInfo.IndexGlobalInfo = -1;
  SkinCommonInfo.Active = false;
  SkinDataGeneration = ++gLastGeneration;
  SkinDataArray.clear();
}

const TacSkinData* TacSkinManagerCore::Data(const TacSkinData* sd) const {
  if (sd) return sd;
  if (!SkinDataArray.empty() && SkinDataArray[0]) return SkinDataArray[0].get();
  return FEmptyData[0].get();
}

int TacSkinManagerCore::GetSkinIndex(const std::string& name, const TacSkinData* sd) const {
  if (name.empty()) return -1;
  return Data(sd)->SectionIndexOf(name);
}

namespace {

// Sections already visited along a parent chain; chains are short, so a
// linear search of a fixed array beats a hash set that allocates.
struct ChainGuard {
  std::array<int, kMaxChain> seen;
  size_t n = 0;
  // False on a loop or when the chain is too long.
  bool Enter(int idx) {
    if (n >= seen.size() || std::find(seen.begin(), seen.begin() + static_cast<std::ptrdiff_t>(n), idx) !=
                                seen.begin() + static_cast<std::ptrdiff_t>(n))
      return false;
    seen[n++] = idx;
    return true;
  }
};

// The first mask of a section with that name (and, for textures, that type).
int OwnMask(const TacSkinData* d, int skinIndex, const std::string& name, bool texture) {
  for (int i : d->MasksOfSection(skinIndex)) {
    const TsMaskData& m = d->ma[static_cast<size_t>(i)];
    if ((!texture || m.ImgType == itisaTexture) && m.PropertyName == name) return i;
  }
  return -1;
}

}  // namespace

int TacSkinManagerCore::GetMaskIndex(int skinIndex, const std::string& mask, const TacSkinData* sd) const {
  const TacSkinData* d = Data(sd);
  ChainGuard chain;
  for (int idx = skinIndex; idx >= 0 && idx < static_cast<int>(d->gd.size()) && chain.Enter(idx);) {
    if (int i = OwnMask(d, idx, mask, false); i >= 0) return i;
    const TsGeneralData& g = d->gd[static_cast<size_t>(idx)];
    if (g.ParentClass.empty() || g.ParentClass == g.ClassName) break;
    idx = d->ParentIndexOf(idx);
  }
  return -1;
}

int TacSkinManagerCore::GetMaskIndex(int skinIndex, const std::string& skinSection, const std::string& mask,
                                     const TacSkinData* sd) const {
  const TacSkinData* d = Data(sd);
  if (skinIndex < 0 || skinIndex >= static_cast<int>(d->gd.size())) return -1;
  if (int i = OwnMask(d, skinIndex, mask, false); i >= 0) return i;
  const TsGeneralData& g = d->gd[static_cast<size_t>(skinIndex)];
  if (g.ParentClass.empty() || g.ParentClass == skinSection || g.ParentClass == g.ClassName) return -1;
  return GetMaskIndex(d->ParentIndexOf(skinIndex), mask, d);
}

int TacSkinManagerCore::GetMaskIndex(const std::string& section, const std::string& mask,
                                     const TacSkinData* sd) const {
  const auto& ma = Data(sd)->ma;
  for (size_t i = 0; i < ma.size(); ++i)
    if (ma[i].ClassName == section && ma[i].PropertyName == mask) return static_cast<int>(i);
  return -1;
}

int TacSkinManagerCore::GetTextureIndex(int aSkinIndex, const std::string& section, const std::string& prop,
                                        const TacSkinData* sd) const {
  const TacSkinData* d = Data(sd);
  for (size_t i = 0; i < d->ma.size(); ++i)
    if (d->ma[i].ImgType == itisaTexture && d->ma[i].PropertyName == prop && d->ma[i].ClassName == section)
      return static_cast<int>(i);
  if (aSkinIndex < 0 || aSkinIndex >= static_cast<int>(d->gd.size())) return -1;
  const TsGeneralData& g = d->gd[static_cast<size_t>(aSkinIndex)];
  if (g.ParentClass.empty() || g.ParentClass == section || g.ParentClass == g.ClassName) return -1;
  return GetTextureIndex(d->ParentIndexOf(aSkinIndex), prop, d);
}

int TacSkinManagerCore::GetTextureIndex(int aSkinIndex, const std::string& prop, const TacSkinData* sd) const {
  const TacSkinData* d = Data(sd);
  ChainGuard chain;
  for (int idx = aSkinIndex; idx >= 0 && idx < static_cast<int>(d->gd.size()) && chain.Enter(idx);) {
    if (int i = OwnMask(d, idx, prop, true); i >= 0) return i;
    const TsGeneralData& g = d->gd[static_cast<size_t>(idx)];
    if (g.ParentClass.empty() || g.ParentClass == g.ClassName) break;
    idx = d->ParentIndexOf(idx);
  }
  return -1;
}

bool TacSkinManagerCore::IsValidSkinIndex(int i) const { return i >= 0 && i < static_cast<int>(Data(nullptr)->gd.size()); }
bool TacSkinManagerCore::IsValidImgIndex(int i) const { return i >= 0 && i < static_cast<int>(Data(nullptr)->ma.size()); }

std::vector<std::string> TacSkinManagerCore::GetSkinSections(const TacSkinData* sd) const {
  std::vector<std::string> r;
  if (!FActive) return r;
  for (const TsGeneralData& g : Data(sd)->gd) r.push_back(g.ClassName);
  return r;
}

int TacSkinManagerCore::GetScaledMaskData(const std::string& section, const std::string& prop, TsMaskData& md,
                                          int aMulPPI, std::unique_ptr<Bitmap32>& ownBmp) {
  if (!FActive) return -1;
  int variant = -1;
  std::optional<std::string> value;
  for (int i = 0; i <= 3 && !value; ++i)
    if (PPIOfScaleIndex(i) > aMulPPI)
      if (auto v = OptionsDat.Value(section, prop + ScaleSuffix(i)); v && !v->empty()) value = v, variant = i;
  for (int i = 3; i >= 0 && !value; --i)
    if (PPIOfScaleIndex(i) <= aMulPPI)
      if (auto v = OptionsDat.Value(section, prop + ScaleSuffix(i)); v && !v->empty()) value = v, variant = i;
  if (!value) return -1;
  TacImageRef ref = ImageRefOf(*value);
  md = MaskRecordOf(ref, section, prop, 0, this, aMulPPI, PPIOfScaleIndex(variant));
  md.ImageCount = static_cast<uint16_t>(std::max<int>(md.ImageCount, 1));
  bool smooth = md.ImgType == itisaTexture || md.ImgType == itisaGlow;
  auto scaled = [&](const Bitmap32& src) {
    return ScaleFrames(src, md.ImageCount, md.MaskType + 1, md.MulPPi, md.DivPPI, smooth);
  };
  Bitmap32 img;
  // A file is always taken to the density; a piece of the master only
  // unless it keeps its drawn size. Its borders go with the image.
  bool scale = md.MulPPi != md.DivPPI;
  TRect part;  // a rectangle the reference names in a file, else all of it
  if (!ref.FileName.empty()) {
    bool hasAlpha = false;
    if (!LoadSkinImage(ref.FileName, img, hasAlpha) || img.Empty()) return -1;
    if (!md.R.IsAllZero()) {
      if (md.R.Left < 0 || md.R.Top < 0 || md.R.Width() <= 0 || md.R.Height() <= 0 || md.R.Right > img.Width() ||
          md.R.Bottom > img.Height())
        return -1;
      part = md.R;
    }
    if (scale) img = scaled(img);
  } else {
    if (!MasterBitmap || md.R.Left < 0 || md.R.Top < 0 || md.R.Width() <= 0 || md.R.Height() <= 0 ||
        md.R.Right > MasterBitmap->Width() || md.R.Bottom > MasterBitmap->Height())
      return -1;
    Bitmap32 piece = MasterBitmap->View(BmpRect(md.R.Left, md.R.Top, md.R.Right, md.R.Bottom)).Clone();
    scale = scale && !(md.DrawMode & dmKeepSize);
    img = scale ? scaled(piece) : std::move(piece);
  }
  if (scale) {
    ScaleMaskBorders(md, md.MulPPi, md.DivPPI);
    if (!part.IsAllZero())
      part = {part.Left * md.MulPPi / md.DivPPI, part.Top * md.MulPPi / md.DivPPI,
              part.Right * md.MulPPi / md.DivPPI, part.Bottom * md.MulPPi / md.DivPPI};
  }
  ownBmp = std::make_unique<Bitmap32>(std::move(img));
  md.Bmp = ownBmp.get();
  md.R = part.IsAllZero() ? TRect{0, 0, ownBmp->Width(), ownBmp->Height()}
                          : TRect::Intersection(part, TRect{0, 0, ownBmp->Width(), ownBmp->Height()});
  if (md.R.HasNoArea()) return -1;
  md.Width = md.R.Width() / md.ImageCount;
  md.Height = md.R.Height() / (md.MaskType + 1);
  if (md.ImgType == itisaBorder && HasKeyedCorners(*ownBmp, md)) md.Cfg |= cfgKeyCorners;
  return aMulPPI;
}

bool TacSkinManagerCore::SkinColorsActive() const { return (FActive && SkinCommonInfo.Active) || SkinChanging; }

bool TacSkinManagerCore::SectionColors(TacColorSection section, int state, uint32_t& color,
                                       uint32_t& fontColor) const {
  int i = SkinCommonInfo.Sections[section == TacColorSection::FormTitle ? ssFormTitle : ssHint];
  const TacSkinData* d = Data(nullptr);
  if (i < 0 || i >= static_cast<int>(d->gd.size())) return false;
  const TsGenState& s = d->gd[static_cast<size_t>(i)].Props[static_cast<size_t>(std::clamp(state, 0, 2))];
  color = static_cast<uint32_t>(s.Color);
  fontColor = static_cast<uint32_t>(s.FontColor.Color);
  return true;
}

}  // namespace cb
