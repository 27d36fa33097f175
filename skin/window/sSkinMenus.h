// The menu painter: popup menus become owner-drawn and each item is painted
// from the skin over a picture of its whole menu level, which the menu-window
// wrapper also shows as the window's frame. One per skin manager.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "skin/paint/DibBitmap.h"
#include "ui/Controls.h"
#include "ui/Menus.h"

namespace cb {

class TsSkinManager;
class TacSkinData;

// What the painter needs of one item, whoever holds it (a framework menu
// item or a plain menu handle's item).
struct TacMenuItemInfo {
  std::wstring Caption;  // a tab parts the caption from the shortcut
  bool Line = false, Enabled = true, Checked = false, Radio = false, Default = false;
  bool First = false;  // the first item of its level
  bool SysMenu = false;  // an item of the skinned system menu: the title glyph of its command
  UINT Command = 0;
};

class TsSkinableMenus : public TComponent {
  CB_CLASS(TsSkinableMenus, TComponent)
public:
  explicit TsSkinableMenus(TsSkinManager* AOwner);
  ~TsSkinableMenus() override;
  bool IsRunTimeOnly() const override { return true; }

  // Published settings, in pixels at 96 ppi.
  int Margin = 2, Spacing = 8, BorderWidth = 3, BevelWidth = 0, SkinBorderWidth = -1;
  int Alignment = 0;  // 0 left, 1 right, 2 centred
  // The density menus are drawn for; 0: the screen's.
  int PPI = 0;
  int CurrentPPI() const;

  // Items get the painter's measure and draw handlers and the menu becomes
  // owner-drawn (items with handlers of their own keep them); with Active
  // false the painter's handlers come off again.
  void HookPopupMenu(TPopupMenu* Menu, bool Active);
  void InitItem(TMenuItem* Item, bool Active);
  // The same for a menu made by hand (the system menu); its items' records
  // stay here until UnhookMenu. The window that owns it while shown passes
  // WM_MEASUREITEM and WM_DRAWITEM to HandleOwnerMessage.
  void HookMenu(HMENU Menu, bool SysMenu);
  void UnhookMenu(HMENU Menu);
  bool HandleOwnerMessage(TMessage& M);

  void Measure(HDC DC, const TacMenuItemInfo& Item, int& Width, int& Height);
  // State: ODS_ flags. DC belongs to the menu window (WindowFromDC finds it).
  // Menu: the menu the item is in, to find its window when DC is not the window's.
  void Draw(HDC DC, const TacMenuItemInfo& Item, const RECT& R, UINT State, HMENU Menu);

  // The picture of the whole menu window (frame included); null before its first item is drawn.
  const Bitmap32* LevelPicture(HWND MenuWnd) const;
  // Builds the picture for a menu window of that size when it has none.
  const Bitmap32* EnsureLevelPicture(HWND MenuWnd);
  // The menu window is gone.
  void ForgetWindow(HWND MenuWnd);
  // Skin data for a density (null without an active skin).
  TacSkinData* SkinDataFor(int PPI) const;
  int Scale(int Value, int PPI) const { return MulDiv(Value, PPI, 96); }
  std::size_t OpenLevels() const { return FLevels.size(); }

private:
  struct TLevel {
    std::unique_ptr<TDibBitmap> Picture;
    int PPI = 96;
  };
  struct THandItem {
    TacMenuItemInfo Info;
  };
  TsSkinManager* Manager() const { return FManager; }
  HFONT FontFor(int PPI);
  void BuildPicture(HWND MenuWnd, TLevel& L, int W, int H);
  void SetRegion(HWND MenuWnd, const Bitmap32& Pic);
  void DrawDivider(Bitmap32& Bmp, const RECT& R, TacSkinData* D, int PPI);
  void DrawCheck(Bitmap32& Bmp, const TacMenuItemInfo& Item, const RECT& Glyph, TacSkinData* D, bool Enabled);
  void DrawSysGlyph(Bitmap32& Bmp, const TacMenuItemInfo& Item, const RECT& Glyph, TacSkinData* D, UINT State);
  int GlyphSize(int PPI) const { return Scale(16, PPI); }

  TsSkinManager* FManager;
  std::map<HWND, TLevel> FLevels;
  std::map<HMENU, std::vector<std::unique_ptr<THandItem>>> FHandItems;
  HFONT FFont = nullptr;
  int FFontPPI = 0;
};

// The painter of a manager, made on first use and freed with the manager.
TsSkinableMenus* SkinableMenus(TsSkinManager* M);
// Draws the items of the framework's popup menus while popups are skinned.
void InstallMenuSkinning();

}  // namespace cb
