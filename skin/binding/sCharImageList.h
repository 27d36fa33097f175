// Symbols drawn from icon fonts: single characters rendered into 32-bit
// images whose alpha is the glyph's coverage, and the library's standard list
// of 25 symbols built at start from the icon font the program carries.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "skin/paint/Bitmap32.h"

namespace cb {

struct TacCharListItem {
  std::uint16_t Char = 0;
  std::wstring FontName = L"FontAwesome";
  std::uint32_t Color = clNoColor;        // clNoColor: the list's foreground colour
  std::uint32_t SecondColor = clNoColor;  // set: a vertical gradient from Color to it
  int Charset = DEFAULT_CHARSET;
  int Pitch = DEFAULT_PITCH;
  bool Bold = false, Italic = false;
  double ScalingFactor = 1.0;
  bool DrawContour = false;
  int OffsetY = 0;
  int Angle = 0;
  // The last rendered image and what it was rendered for.
  std::unique_ptr<Bitmap32> CacheBmp;
  std::uint32_t CacheColor = clNoColor;
  int CacheGlyphHeight = 0;
};

class TsCharImageList {
public:
  int Width = 26, Height = 24;
  std::uint32_t BkColor = clNoColor;
  std::uint8_t BlendValue = 255;
  int State = 0;
  int SavedScale = 0;  // scale step the list was generated for (0..3)
  std::vector<TacCharListItem> Items;

  TacCharListItem& AddItem(std::uint16_t Char, double ScalingFactor = 1.0, int OffsetY = 0,
                           const std::wstring& FontName = L"FontAwesome");
  // A new image of item Index, W x H, glyph height GlyphHeight (0: the list's
  // own for its scale), in CharColor (clNoColor: the item's colour); null for
  // an invalid index.
  std::unique_ptr<Bitmap32> CreateBitmap32Color(int Index, int W, int GlyphHeight, std::uint32_t CharColor, int H);
  // Renders every item at the density's size into its cache.
  void GenerateStdList(int PPI);
  bool ItemIsCached(int Index) const;
  void ClearCache();
  int ScaledWidth() const;
  int ScaledHeight() const;

private:
  void Render(const TacCharListItem& Item, Bitmap32& Out, int GlyphHeight, std::uint32_t Color) const;
};

// Registers the program's icon font (resource "awFont") for this process once;
// false when the resource is missing.
bool RegisterIconFont();
// The standard symbol list (built on first use at the screen's density).
TsCharImageList& StdCharList();

}  // namespace cb
