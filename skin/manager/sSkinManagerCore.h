#pragma once
// The portable part of the skin manager: where a skin comes from, its options
// file and images, the skin data per density, the palette and the lookups.
// The Windows skin manager derives from it and adds windows, messages, fonts
// and broadcasting.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sSkinOptions.h"
#include "acSkinArchive.h"
#include "sSkinData.h"
#include "sSkinHost.h"
#include "sStoredSkins.h"
#include "skin/paint/SkinColors.h"

namespace cb {

struct TsSkinCommonInfo {
  bool Active = false;
  bool UseAeroBluring = false;
  double Version = 0;
  std::string Author, SkinPath, MainFont, Description;
  int32_t FXColor = 0, Shadow1Color = 0, SysInactiveBorderColor = 0;
  int ArrowStyle = 0, BIVAlign = 0, BIKeepHUE = 0, BrightMin = -50, BrightMax = 50;
  int IndexGlobalInfo = -1;
  std::array<int, ssSectionCount> Sections;
  TsSkinCommonInfo() { Sections.fill(-1); }
};

// A font carried by a skin, for the platform to register while the skin is in use.
struct TacSkinFont {
  std::string FileName;
  std::string FaceName;
  std::vector<uint8_t> Data;
};

extern const char* const SFormatErrorBegin;  // "Internal format error in the "
extern const char* const SFormatErrorEnd;    // " skin. Please, update this skin to latest version."

class TacSkinManagerCore : public ISkinColorSource {
public:
  explicit TacSkinManagerCore(TacSkinHost& host);
  ~TacSkinManagerCore() override;

  TacSkinHost& Host;

  // Settings (published by the Windows manager).
  std::u16string SkinName;
  std::u16string SkinDirectory = u"c:\\Skins";
  TsStoredSkins InternalSkins;
  std::string CommonSections;  // INI text laid over every skin
  int Brightness = 0;
  bool ExtendedBorders = false;
  bool CustomPPIMode = false;  // the custom density scale mode
  int PixelsPerInch = 96;
  bool FActive = true;
  bool SkinChanging = false;  // msSkinChanging
  // Options text handed over by a skin editor, used instead of the skin's files.
  bool PreviewPending = false;
  // The program runs as a skin editor preview ("/acpreview").
  bool PreviewMode = false;
  std::string PreviewText;

  // The loaded skin.
  TacMemIni OptionsDat;
  TacMemIni* SkinFile = nullptr;
  std::unique_ptr<TacSkinConvertor> sc;
  bool SkinIsPacked = false;
  std::u16string SkinPath;
  std::unique_ptr<Bitmap32> MasterBitmap;
  TsSkinCommonInfo SkinCommonInfo;
  std::array<uint32_t, pcPaletteCount> Palette{};
  std::vector<std::unique_ptr<TacSkinData>> SkinDataArray;  // by scale index
  // Changes whenever SkinDataArray is emptied: a pointer taken into it is good
  // only while this has not changed.
  std::uint32_t SkinDataGeneration;

  // Stores a skin name, dropping a ".asz" extension (any case) from names
  // longer than 4 characters.
  static std::u16string NameWithoutAsz(const std::u16string& value);
  // A directory with a trailing backslash ("" stays "", "D" becomes "D:\").
  static std::u16string NormalizeDir(const std::u16string& dir);
  std::u16string GetFullSkinDirectory() const;

  bool InitSkinFile();
  void CloseSkinFile();
  void ExtractInternalSkin(const std::u16string& nameOfSkin, const std::u16string& destDir);
  void ExtractByIndex(int index, const std::u16string& destDir);

  // The fonts of the loaded skin: archive entries of font type (named by the
  // FontFileN whose FontNameN gives the face), or the FontFileN files that
  // exist beside an unpacked skin.
  std::vector<TacSkinFont> CollectSkinFonts() const;

  // Master image and skin-wide values of [GLOBALINFO].
  void LoadCommonData();
  // Resolves the files and fills one skin data; false when there is no skin.
  bool ReloadSkin(TacSkinData& data);
  // The palette from the loaded options and the skin data.
  void InitSkinParams(TacSkinData& data);
  // Skin data for a density: loaded on first demand while active; an empty
  // object otherwise.
  TacSkinData* CommonSkinData(int aPPI = 96);
  void ResetSkinData();

  // Reads an image file of the skin: the archive entry whose upper-cased name
  // is upperName, else the file in SkinPath. Empty when there is none.
  bool ReadSkinFile(const std::string& upperName, std::vector<uint8_t>& out) const;
  // Decodes an image of the skin for masks: 32 bits, key colour transparent.
  bool LoadSkinImage(const std::string& upperName, Bitmap32& out, bool& hasAlpha) const;

  // Lookups; a null skin data means the one for 96 pixels per inch.
  int GetSkinIndex(const std::string& skinSection, const TacSkinData* sd = nullptr) const;
  int GetMaskIndex(int skinIndex, const std::string& mask, const TacSkinData* sd = nullptr) const;
  int GetMaskIndex(int skinIndex, const std::string& skinSection, const std::string& mask,
                   const TacSkinData* sd = nullptr) const;
  int GetMaskIndex(const std::string& skinSection, const std::string& mask, const TacSkinData* sd = nullptr) const;
  int GetTextureIndex(int aSkinIndex, const std::string& skinSection, const std::string& propName,
                      const TacSkinData* sd = nullptr) const;
  int GetTextureIndex(int aSkinIndex, const std::string& propName, const TacSkinData* sd = nullptr) const;
  bool IsValidSkinIndex(int skinIndex) const;
  bool IsValidImgIndex(int imageIndex) const;
  std::vector<std::string> GetSkinSections(const TacSkinData* sd = nullptr) const;
  uint32_t GetGlobalColor() const { return Palette[pcMainColor]; }
  uint32_t GetGlobalFontColor() const { return Palette[pcLabelText]; }
  uint32_t GetActiveEditColor() const { return Palette[pcEditBG]; }
  uint32_t GetActiveEditFontColor() const { return Palette[pcEditText]; }
  uint32_t GetHighLightColor(bool focused) const {
    return Palette[focused ? pcSelectionBG_Focused : pcSelectionBG];
  }
  uint32_t GetHighLightFontColor(bool focused) const {
    return Palette[focused ? pcSelectionText_Focused : pcSelectionText];
  }
  // One mask record outside the loaded skin data, for density aMulPPI; md
  // owns its image in ownBmp. -1 when inactive or the image is missing.
  int GetScaledMaskData(const std::string& aSectionName, const std::string& aPropName, TsMaskData& md,
                        int aMulPPI, std::unique_ptr<Bitmap32>& ownBmp);

  bool Active() const { return FActive; }

  // ISkinColorSource
  bool SkinColorsActive() const override;
  uint32_t PaletteColor(TacPaletteColors index) const override { return Palette[index]; }
  bool SectionColors(TacColorSection section, int state, uint32_t& color, uint32_t& fontColor) const override;

private:
  const TacSkinData* Data(const TacSkinData* sd) const;
  std::array<std::unique_ptr<TacSkinData>, 4> FEmptyData;
};

}  // namespace cb
