#include "ui/Menus.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "ui/ExtCtrls.h"
#include "ui/Forms.h"

namespace {

// Command identifiers of items, valid for as long as the item lives, so a
// command posted after the menu closed still finds its item (or nothing).
std::map<UINT, TMenuItem*>& Commands() {
  static auto* M = new std::map<UINT, TMenuItem*>;
  return *M;
}
UINT gNextCommand = 100;

UINT CommandFor(TMenuItem* Item) {
  for (auto& [Id, I] : Commands())
    if (I == Item) return Id;
  UINT Id = gNextCommand++;
  if (gNextCommand >= 0xF000) gNextCommand = 100;  // stay below the system commands
  Commands()[Id] = Item;
  return Id;
}

void ForgetCommand(TMenuItem* Item) {
  for (auto It = Commands().begin(); It != Commands().end();)
    It = It->second == Item ? Commands().erase(It) : std::next(It);
}

TMenuItem* ItemOfData(ULONG_PTR Data) {
  auto* Item = reinterpret_cast<TMenuItem*>(Data);
  for (auto& [Id, I] : Commands())
    if (I == Item) return Item;
  return nullptr;
}

HWND gPopupList = nullptr;

TPopupMenuHook& PopupMenuHook() {
  static auto* H = new TPopupMenuHook;
  return *H;
}

void PopupListProc(TMessage& M) {
  switch (M.Msg) {
    case WM_COMMAND:
      if (HIWORD(M.WParam) == 0)
        if (TMenuItem* Item = FindMenuItemByCommand(LOWORD(M.WParam))) Item->Click();
      return;
    case WM_MEASUREITEM: {
      auto* MI = reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam);
      if (MI->CtlType != ODT_MENU) break;
      if (TMenuItem* Item = ItemOfData(MI->itemData)) {
        HDC DC = GetDC(gPopupList);
        TCanvas C;
        C.SetHandle(DC);
        int W = static_cast<int>(MI->itemWidth), H = static_cast<int>(MI->itemHeight);
        Item->MeasureItem(&C, W, H);
        C.SetHandle(nullptr);
        ReleaseDC(gPopupList, DC);
        MI->itemWidth = static_cast<UINT>(std::max(W, 0));
        MI->itemHeight = static_cast<UINT>(std::max(H, 0));
        M.Result = TRUE;
        return;
      }
      break;
    }
    case WM_DRAWITEM: {
      auto* DI = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
      if (DI->CtlType != ODT_MENU) break;
      if (TMenuItem* Item = ItemOfData(DI->itemData)) {
        TCanvas C;
        C.SetHandle(DI->hDC);
        TOwnerDrawState S = 0;
        if (DI->itemState & ODS_SELECTED) S |= odSelected;
        if (DI->itemState & ODS_GRAYED) S |= odGrayed;
        if (DI->itemState & ODS_DISABLED) S |= odDisabled;
        if (DI->itemState & ODS_CHECKED) S |= odChecked;
        if (DI->itemState & ODS_FOCUS) S |= odFocused;
        if (DI->itemState & ODS_DEFAULT) S |= odDefault;
        Item->DrawItem(&C, FromRECT(DI->rcItem), S);
        C.SetHandle(nullptr);
        M.Result = TRUE;
        return;
      }
      break;
    }
    default:
      break;
  }
  M.Result = DefWindowProcW(gPopupList, M.Msg, M.WParam, M.LParam);
}

}  // namespace

void SetPopupMenuHook(TPopupMenuHook Hook) { PopupMenuHook() = std::move(Hook); }

TMenuItem* FindMenuItemByCommand(UINT Command) {
  auto It = Commands().find(Command);
  return It == Commands().end() ? nullptr : It->second;
}

HWND TPopupMenu::PopupListWindow() {
  if (!gPopupList || !IsWindow(gPopupList)) gPopupList = AllocateHWnd(PopupListProc);
  return gPopupList;
}

// ---------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  SetComponentStateFlag(csDestroying, true);
  while (!FItems.empty()) delete FItems.back();
  if (FParentItem) FParentItem->Remove(this);
  ForgetCommand(this);
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int Index, TMenuItem* Item) {
  if (!Item || Item == this) return;
  if (Item->FParentItem) Item->FParentItem->Remove(Item);
  Index = std::clamp(Index, 0, Count());
  FItems.insert(FItems.begin() + Index, Item);
  Item->FParentItem = this;
}

void TMenuItem::Remove(TMenuItem* Item) {
  auto It = std::find(FItems.begin(), FItems.end(), Item);
  if (It == FItems.end()) return;
  FItems.erase(It);
  Item->FParentItem = nullptr;
}

int TMenuItem::MenuIndex() const {
  if (!FParentItem) return -1;
  auto& L = FParentItem->FItems;
  return static_cast<int>(std::find(L.begin(), L.end(), this) - L.begin());
}

TPopupMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* I = this;
  while (I->FParentItem) I = I->FParentItem;
  return I->FMenu;
}

TComponent* TMenuItem::GetParentComponent() const {
  if (FParentItem && FParentItem->FMenu) return FParentItem->FMenu;
  return FParentItem;
}

void TMenuItem::SetParentComponent(TComponent* Value) {
  if (auto* M = dynamic_cast<TPopupMenu*>(Value))
    M->Items()->Add(this);
  else if (auto* I = dynamic_cast<TMenuItem*>(Value))
    I->Add(this);
}

void TMenuItem::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) {
  for (TMenuItem* I : FItems)
    if (I->Owner() == Root) Proc(I);
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
}

void TMenuItem::Click() {
  if (FEnabled && OnClick) OnClick(this);
}

void TMenuItem::MeasureItem(TCanvas* ACanvas, int& Width, int& Height) {
  if (OnMeasureItem) {
    OnMeasureItem(this, ACanvas, Width, Height);
    return;
  }
  if (IsLine()) {
    Width = 20;
    Height = 8;
    return;
  }
  NONCLIENTMETRICSW NCM{};
  NCM.cbSize = sizeof NCM;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof NCM, &NCM, 0);
  HFONT F = CreateFontIndirectW(&NCM.lfMenuFont);
  HGDIOBJ Old = SelectObject(ACanvas->Handle(), F);
  SIZE S{0, 0};
  GetTextExtentPoint32W(ACanvas->Handle(), FCaption.c_str(), static_cast<int>(FCaption.size()), &S);
  SelectObject(ACanvas->Handle(), Old);
  DeleteObject(F);
  Width = S.cx + 24;
  Height = std::max<int>(S.cy + 6, GetSystemMetrics(SM_CYMENU));
}

void TMenuItem::DrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State) {
  if (OnAdvancedDrawItem) {
    OnAdvancedDrawItem(this, ACanvas, ARect, State);
    return;
  }
  if (OnDrawItem) {
    OnDrawItem(this, ACanvas, ARect, (State & odSelected) != 0);
    return;
  }
  bool Sel = (State & odSelected) != 0;
  ACanvas->Brush()->SetColor(Sel ? clHighlight : clMenu);
  ACanvas->FillRect(ARect);
  if (IsLine()) {
    RECT R = ToRECT(ARect);
    R.top += (R.bottom - R.top) / 2;
    DrawEdge(ACanvas->Handle(), &R, EDGE_ETCHED, BF_TOP);
    return;
  }
  ACanvas->Font()->SetColor(!FEnabled ? clGrayText : Sel ? clHighlightText : clMenuText);
  ACanvas->Brush()->SetStyle(bsClear);
  TRect T = ARect;
  T.Left += 16;
  ACanvas->DrawText(FCaption, T, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
}

void TMenuItem::PublishProperties(TPublisher& P) {
  P.Str(L"Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
  P.Bool(L"Checked", &TMenuItem::Checked, &TMenuItem::SetChecked, false);
  P.Bool(L"Default", &TMenuItem::Default, &TMenuItem::SetDefault, false);
  P.Bool(L"Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled, true);
  P.Bool(L"Visible", &TMenuItem::Visible, &TMenuItem::SetVisible, true);
  P.Event(L"OnClick", &TMenuItem::OnClick);
  P.Event(L"OnMeasureItem", &TMenuItem::OnMeasureItem);
  P.Event(L"OnDrawItem", &TMenuItem::OnDrawItem);
  P.Event(L"OnAdvancedDrawItem", &TMenuItem::OnAdvancedDrawItem);
}

// ---------------------------------------------------------------------------

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), FItems(std::make_unique<TMenuItem>(nullptr)) {
  FItems->SetParentMenu(this);
}

TPopupMenu::~TPopupMenu() {
  SetComponentStateFlag(csDestroying, true);
  if (FHandle) DestroyMenu(FHandle);
  FItems.reset();
}

void TPopupMenu::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) {
  FItems->GetChildren(Proc, Root);
}

HMENU TPopupMenu::BuildMenu(TMenuItem* Parent) {
  HMENU Menu = CreatePopupMenu();
  for (int i = 0; i < Parent->Count(); ++i) {
    TMenuItem* I = Parent->Items(i);
    if (!I->Visible()) continue;
    UINT Flags = 0;
    if (I->IsLine()) {
      Flags = MF_SEPARATOR | (FOwnerDraw ? MF_OWNERDRAW : 0);
      AppendMenuW(Menu, Flags, CommandFor(I), FOwnerDraw ? reinterpret_cast<LPCWSTR>(I) : nullptr);
      continue;
    }
    Flags = (FOwnerDraw ? MF_OWNERDRAW : MF_STRING) | (I->Checked() ? MF_CHECKED : 0) | (I->Enabled() ? 0 : MF_GRAYED);
    LPCWSTR Data = FOwnerDraw ? reinterpret_cast<LPCWSTR>(I) : I->Caption().c_str();
    I->FCommand = CommandFor(I);
    if (I->Count() > 0)
      AppendMenuW(Menu, Flags | MF_POPUP, reinterpret_cast<UINT_PTR>(BuildMenu(I)), Data);
    else
      AppendMenuW(Menu, Flags, I->FCommand, Data);
    if (I->Default()) SetMenuDefaultItem(Menu, I->FCommand, FALSE);
  }
  return Menu;
}

void TPopupMenu::Popup(int X, int Y) {
  if (OnPopup) OnPopup(this);
  if (PopupMenuHook()) PopupMenuHook()(this);
  HWND Owner = PopupListWindow();
  if (FHandle) DestroyMenu(FHandle);
  FHandle = BuildMenu(FItems.get());
  UINT Cmd = static_cast<UINT>(
      TrackPopupMenuEx(FHandle, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD, X, Y, Owner, nullptr));
  DestroyMenu(FHandle);
  FHandle = nullptr;
  // The item's action runs after Popup has returned, as a posted command.
  if (Cmd) PostMessageW(Owner, WM_COMMAND, MAKEWPARAM(Cmd, 0), 0);
}

void TPopupMenu::PublishProperties(TPublisher& P) {
  P.Bool(L"OwnerDraw", &TPopupMenu::OwnerDraw, &TPopupMenu::SetOwnerDraw, false);
  P.Event(L"OnPopup", &TPopupMenu::OnPopup);
}
