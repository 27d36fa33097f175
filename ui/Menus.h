// Popup menus. The chosen item's OnClick runs after Popup has returned, from a
// posted command message, as the platform's own menus deliver it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/Classes.h"
#include "ui/Graphics.h"

class TPopupMenu;

using TOwnerDrawState = std::uint32_t;
constexpr TOwnerDrawState odSelected = 1, odGrayed = 2, odDisabled = 4, odChecked = 8, odFocused = 16,
                          odDefault = 32;
using TMenuMeasureItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;
using TMenuDrawItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State)>;

class TMenuItem : public TComponent {
  CB_CLASS(TMenuItem, TComponent)
public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;  // frees its sub-items

  const std::wstring& Caption() const { return FCaption; }  // "-" is a separator
  void SetCaption(const std::wstring& Value) { FCaption = Value; }
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value) { FChecked = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value) { FVisible = Value; }
  bool Default() const { return FDefault; }
  void SetDefault(bool Value) { FDefault = Value; }
  bool IsLine() const { return FCaption == L"-"; }

  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int Index) const { return FItems[Index]; }
  TMenuItem* ParentItem() const { return FParentItem; }
  void Add(TMenuItem* Item);
  void Insert(int Index, TMenuItem* Item);
  void Remove(TMenuItem* Item);
  int MenuIndex() const;
  // The popup menu the item belongs to (through its parents).
  TPopupMenu* GetParentMenu() const;
  // Command identifier while the menu is shown.
  UINT Command() const { return FCommand; }

  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;
  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override;

  virtual void Click();
  // Owner-draw hooks (used when the menu's OwnerDraw is true).
  virtual void MeasureItem(TCanvas* ACanvas, int& Width, int& Height);
  virtual void DrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State);

  TNotifyEvent OnClick;
  TMenuMeasureItemEvent OnMeasureItem;
  TMenuDrawItemEvent OnDrawItem;
  TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;

  static void PublishProperties(TPublisher& P);

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  friend class TPopupMenu;
  void SetParentMenu(TPopupMenu* Menu) { FMenu = Menu; }
  std::wstring FCaption;
  bool FChecked = false, FEnabled = true, FVisible = true, FDefault = false;
  std::vector<TMenuItem*> FItems;
  TMenuItem* FParentItem = nullptr;
  TPopupMenu* FMenu = nullptr;  // set on the root item only
  UINT FCommand = 0;
};

class TPopupMenu : public TComponent {
  CB_CLASS(TPopupMenu, TComponent)
public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  TMenuItem* Items() const { return FItems.get(); }
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool Value) { FOwnerDraw = Value; }
  // Shows the menu at X, Y (screen coordinates) and returns when it closes.
  virtual void Popup(int X, int Y);
  // The window that owns shown menus and receives their messages.
  static HWND PopupListWindow();
  // The menu handle while shown (nullptr otherwise).
  HMENU Handle() const { return FHandle; }

  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override;

  TNotifyEvent OnPopup;

  static void PublishProperties(TPublisher& P);

private:
  HMENU BuildMenu(TMenuItem* Item);
  std::unique_ptr<TMenuItem> FItems;
  bool FOwnerDraw = false;
  HMENU FHandle = nullptr;
};

// Called with each popup menu as it is about to be shown, after OnPopup: a
// skinning engine makes its items owner-drawn there. One for the program;
// the framework knows nothing of what it does.
using TPopupMenuHook = std::function<void(TPopupMenu* Menu)>;
void SetPopupMenuHook(TPopupMenuHook Hook);

// Finds the item of a shown menu by its command identifier.
TMenuItem* FindMenuItemByCommand(UINT Command);
