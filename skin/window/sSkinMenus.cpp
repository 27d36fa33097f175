#include "sSkinMenus.h"

#include <algorithm>

#include "acMenuWnd.h"
#include "acRegion.h"
#include "sSkinManager.h"
#include "skin/binding/sMessages.h"
#include "skin/binding/sSkinText.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/section/sGraphUtils.h"

namespace cb {

namespace {

const char* const kGlobal = "GLOBALINFO";

TsSkinableMenus* ActivePainter() {
  TsSkinManager* M = DefaultManager();
  return M && M->SkinCommonInfo.Active && M->SkinnedPopups() ? SkinableMenus(M) : nullptr;
}

bool FirstVisible(const TMenuItem* I) {
  const TMenuItem* P = I->ParentItem();
  if (!P) return true;
  for (int K = 0; K < P->Count(); ++K)
    if (P->Items(K)->Visible()) return P->Items(K) == I;
  return false;
}

TacMenuItemInfo InfoOf(const TMenuItem* I) {
  TacMenuItemInfo R;
  R.Caption = I->Caption();
  R.Line = I->IsLine();
  R.Enabled = I->Enabled();
  R.Checked = I->Checked();
  R.Default = I->Default();
  R.First = FirstVisible(I);
  R.Command = I->Command();
  if (TPopupMenu* PM = I->GetParentMenu()) R.SysMenu = PM->Name().rfind(L"acSysMenu", 0) == 0;
  return R;
}

// The painter's handlers are plain functions, so an item can tell them from
// its own and they never hold a painter that may be gone.
void MeasureHandler(TObject* Sender, TCanvas* C, int& W, int& H) {
  auto* I = dynamic_cast<TMenuItem*>(Sender);
  if (TsSkinableMenus* P = ActivePainter(); P && I) P->Measure(C->Handle(), InfoOf(I), W, H);
}

void DrawHandler(TObject* Sender, TCanvas* C, const TRect& R, TOwnerDrawState S) {
  auto* I = dynamic_cast<TMenuItem*>(Sender);
  TsSkinableMenus* P = ActivePainter();
  if (!P || !I) return;
  UINT State = 0;
  if (S & odSelected) State |= ODS_SELECTED;
  if (S & odGrayed) State |= ODS_GRAYED;
  if (S & odDisabled) State |= ODS_DISABLED;
  if (S & odChecked) State |= ODS_CHECKED;
  TPopupMenu* PM = I->GetParentMenu();
  P->Draw(C->Handle(), InfoOf(I), ToRECT(R), State, PM ? PM->Handle() : nullptr);
}

using TMeasureFn = void (*)(TObject*, TCanvas*, int&, int&);
using TDrawFn = void (*)(TObject*, TCanvas*, const TRect&, TOwnerDrawState);

bool IsOurs(const TMenuItem* I) {
  const TMeasureFn* M = I->OnMeasureItem.target<TMeasureFn>();
  return M && *M == &MeasureHandler;
}

// Skin data for menus of a density: the manager's data for it.
int ScreenPPI() {
  HDC DC = GetDC(nullptr);
  const int P = GetDeviceCaps(DC, LOGPIXELSY);
  ReleaseDC(nullptr, DC);
  return P > 0 ? P : 96;
}

TacTitleGlyph GlyphOfCommand(UINT Cmd, bool Small) {
  switch (Cmd & 0xFFF0) {
    case SC_CLOSE: return Small ? tgSmallClose : tgClose;
    case SC_MAXIMIZE: return Small ? tgSmallMax : tgMax;
    case SC_MINIMIZE: return Small ? tgSmallMin : tgMin;
    case SC_RESTORE: return Small ? tgSmallNormal : tgNormal;
    default: return tgNone;
  }
}

}  // namespace

TsSkinableMenus::TsSkinableMenus(TsSkinManager* AOwner) : TComponent(AOwner), FManager(AOwner) {}

TsSkinableMenus::~TsSkinableMenus() {
  if (FFont) DeleteObject(FFont);
}

TsSkinableMenus* SkinableMenus(TsSkinManager* M) {
  if (!M) return nullptr;
  for (int I = 0; I < M->ComponentCount(); ++I)
    if (auto* P = dynamic_cast<TsSkinableMenus*>(M->Components(I))) return P;
  return new TsSkinableMenus(M);  // owned by the manager
}

void InstallMenuSkinning() {
  SetPopupMenuHook([](TPopupMenu* Menu) {
    TsSkinManager* M = DefaultManager();
    // Hooked once, a menu keeps the handlers: they come off when it shows unskinned.
    const bool Skinned = M && M->SkinCommonInfo.Active && M->SkinnedPopups();
    if (M) SkinableMenus(M)->HookPopupMenu(Menu, Skinned);
  });
}

// ---------------------------------------------------------------------------
// Hooking

namespace {
bool AnyDrawnByItself(const TMenuItem* Item) {
  for (int K = 0; K < Item->Count(); ++K) {
    const TMenuItem* I = Item->Items(K);
    if (I->OnMeasureItem || I->OnAdvancedDrawItem || I->OnDrawItem || AnyDrawnByItself(I)) return true;
  }
  return false;
}
}  // namespace

void TsSkinableMenus::HookPopupMenu(TPopupMenu* Menu, bool Active) {
  if (!Menu) return;
  InitItem(Menu->Items(), Active);
  // Owner-drawn while some item draws itself, the painter's or its own.
  Menu->SetOwnerDraw(Active || AnyDrawnByItself(Menu->Items()));
}

void TsSkinableMenus::InitItem(TMenuItem* Item, bool Active) {
  for (int K = 0; K < Item->Count(); ++K) {
    TMenuItem* I = Item->Items(K);
    if (Active && !I->OnMeasureItem && !I->OnAdvancedDrawItem && !I->OnDrawItem) {
      I->OnMeasureItem = TMeasureFn(&MeasureHandler);
      I->OnAdvancedDrawItem = TDrawFn(&DrawHandler);
    } else if (!Active && IsOurs(I)) {
      I->OnMeasureItem = nullptr;
      I->OnAdvancedDrawItem = nullptr;
    }
    InitItem(I, Active);
  }
}

void TsSkinableMenus::HookMenu(HMENU Menu, bool SysMenu) {
  auto& Items = FHandItems[Menu];
  Items.clear();
  for (int K = 0, N = GetMenuItemCount(Menu); K < N; ++K) {
    wchar_t Buf[256] = {};
    MENUITEMINFOW MI{};
    MI.cbSize = sizeof MI;
    MI.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
    MI.dwTypeData = Buf;
    MI.cch = 255;
    if (!GetMenuItemInfoW(Menu, static_cast<UINT>(K), TRUE, &MI)) continue;
    auto H = std::make_unique<THandItem>();
    H->Info.Caption = Buf;
    H->Info.Line = (MI.fType & MFT_SEPARATOR) != 0;
    H->Info.Enabled = !(MI.fState & (MFS_GRAYED | MFS_DISABLED));
    H->Info.Checked = (MI.fState & MFS_CHECKED) != 0;
    H->Info.Radio = (MI.fType & MFT_RADIOCHECK) != 0;
    H->Info.Default = (MI.fState & MFS_DEFAULT) != 0;
    H->Info.First = K == 0;
    H->Info.SysMenu = SysMenu;
    H->Info.Command = MI.wID;
    MENUITEMINFOW Set{};
    Set.cbSize = sizeof Set;
    Set.fMask = MIIM_FTYPE | MIIM_DATA;
    Set.fType = (MI.fType & (MFT_SEPARATOR | MFT_RADIOCHECK)) | MFT_OWNERDRAW;
    Set.dwItemData = reinterpret_cast<ULONG_PTR>(H.get());
    SetMenuItemInfoW(Menu, static_cast<UINT>(K), TRUE, &Set);
    Items.push_back(std::move(H));
  }
}

void TsSkinableMenus::UnhookMenu(HMENU Menu) { FHandItems.erase(Menu); }

bool TsSkinableMenus::HandleOwnerMessage(TMessage& M) {
  auto Find = [this](ULONG_PTR Data) -> THandItem* {
    for (auto& [Menu, Items] : FHandItems)
      for (auto& I : Items)
        if (reinterpret_cast<ULONG_PTR>(I.get()) == Data) return I.get();
    return nullptr;
  };
  if (M.Msg == WM_MEASUREITEM) {
    auto* MI = reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam);
    THandItem* I = MI && MI->CtlType == ODT_MENU ? Find(MI->itemData) : nullptr;
    if (!I) return false;
    HDC DC = GetDC(nullptr);
    int W = 0, H = 0;
    Measure(DC, I->Info, W, H);
    ReleaseDC(nullptr, DC);
    MI->itemWidth = static_cast<UINT>(W);
    MI->itemHeight = static_cast<UINT>(H);
    M.Result = TRUE;
    return true;
  }
  if (M.Msg == WM_DRAWITEM) {
    auto* DI = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
    THandItem* I = DI && DI->CtlType == ODT_MENU ? Find(DI->itemData) : nullptr;
    if (!I) return false;
    Draw(DI->hDC, I->Info, DI->rcItem, DI->itemState, reinterpret_cast<HMENU>(DI->hwndItem));
    M.Result = TRUE;
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Measuring and painting

TacSkinData* TsSkinableMenus::SkinDataFor(int APPI) const {
  TsSkinManager* M = Manager();
  if (!M || !M->SkinCommonInfo.Active) return nullptr;
  TacSkinData* D = M->CommonSkinData(APPI);
  return D && D->Active() ? D : nullptr;
}

int TsSkinableMenus::CurrentPPI() const { return PPI > 0 ? PPI : ScreenPPI(); }

HFONT TsSkinableMenus::FontFor(int APPI) {
  if (FFont && FFontPPI == APPI) return FFont;
  if (FFont) DeleteObject(FFont);
  NONCLIENTMETRICSW NCM{};
  NCM.cbSize = sizeof NCM;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof NCM, &NCM, 0);
  LOGFONTW LF = NCM.lfMenuFont;
  const std::wstring Name = Manager() ? Manager()->CurrentFontName() : std::wstring();
  if (!Name.empty()) {
    std::fill(std::begin(LF.lfFaceName), std::end(LF.lfFaceName), L'\0');
    Name.copy(LF.lfFaceName, LF_FACESIZE - 1);
  }
  LF.lfHeight = -MulDiv(12, APPI, 96);
  LF.lfWidth = 0;
  LF.lfCharSet = DEFAULT_CHARSET;
  FFont = CreateFontIndirectW(&LF);
  FFontPPI = APPI;
  return FFont;
}

void TsSkinableMenus::Measure(HDC DC, const TacMenuItemInfo& Item, int& Width, int& Height) {
  const int P = CurrentPPI();
  const int M = Scale(Margin, P), S = Scale(Spacing, P), G = GlyphSize(P);
  const int GlyphCol = G + M + S;
  if (Item.Line) {
    Width = GlyphCol + 2 * M;
    Height = 2 * M + Scale(3, P);
    return;
  }
  HGDIOBJ Old = SelectObject(DC, FontFor(P));
  const size_t Tab = Item.Caption.find(L'\t');
  const std::wstring Cap = Item.Caption.substr(0, Tab);
  const std::wstring Short = Tab == std::wstring::npos ? std::wstring() : Item.Caption.substr(Tab + 1);
  RECT RC{0, 0, 0, 0}, RS{0, 0, 0, 0};
  {
    TacFontFallback Fallback(DC, Cap);
    DrawTextW(DC, Cap.c_str(), static_cast<int>(Cap.size()), &RC, DT_CALCRECT | DT_SINGLELINE);
  }
  if (!Short.empty()) {
    TacFontFallback Fallback(DC, Short);
    DrawTextW(DC, Short.c_str(), static_cast<int>(Short.size()), &RS, DT_CALCRECT | DT_SINGLELINE);
  }
  TEXTMETRICW TM{};
  GetTextMetricsW(DC, &TM);
  SelectObject(DC, Old);
  Width = GlyphCol + RC.right + S + M + (Short.empty() ? 0 : 2 * S + RS.right);
  Height = std::max<int>(G, TM.tmHeight) + 2 * M + Scale(4, P);
}

const Bitmap32* TsSkinableMenus::LevelPicture(HWND MenuWnd) const {
  auto It = FLevels.find(MenuWnd);
  return It == FLevels.end() || !It->second.Picture ? nullptr : &It->second.Picture->Bmp();
}

void TsSkinableMenus::ForgetWindow(HWND MenuWnd) { FLevels.erase(MenuWnd); }

void TsSkinableMenus::BuildPicture(HWND MenuWnd, TLevel& L, int W, int H) {
  (void)MenuWnd;
  if (!L.Picture) L.Picture = std::make_unique<TDibBitmap>();
  L.Picture->SetSize(W, H);
  Bitmap32& Bmp = L.Picture->Bmp();
  FillPixels32(Bmp, Bmp.Bounds(), 0, 0);
  TacSkinData* D = SkinDataFor(L.PPI);
  TsSkinManager* M = Manager();
  const int Idx = M ? M->SkinCommonInfo.Sections[ssMainMenu] : -1;
  if (D && Idx >= 0) {
    TCacheInfo None;
    PaintSectionByIndex(Idx, None, -1, -1, D, Bmp, BmpPoint(0, 0), Bmp.Bounds(), 0);
  } else {
    FillPixels32(Bmp, Bmp.Bounds(), ColorToPixel(GetSysColor(COLOR_MENU), 255), 255);
  }
  // The glyph column, inside the frame, from the section the menu support names.
  const std::wstring Column = M && M->MenuSupport() ? M->MenuSupport()->IcoLineSkin() : std::wstring();
  const int ColIdx = D && !Column.empty() ? M->GetSkinIndex(std::string(Column.begin(), Column.end()), D) : -1;
  if (ColIdx >= 0) {
    const int B = acMenuFrameWidth;
    const int Width = GlyphSize(L.PPI) + Scale(Margin, L.PPI) + Scale(Spacing, L.PPI);
    const BmpRect Band(B, B, std::min(W - B, B + Width), H - B);
    if (Band.Width() > 0 && Band.Height() > 0)
      PaintSectionByIndex(ColIdx, MakeCacheInfo(Bmp), -1, -1, D, Bmp, BmpPoint(0, 0), Band, 0);
  }
}

const Bitmap32* TsSkinableMenus::EnsureLevelPicture(HWND MenuWnd) {
  RECT WR{};
  if (!MenuWnd || !GetWindowRect(MenuWnd, &WR)) return nullptr;
  const int W = WR.right - WR.left, H = WR.bottom - WR.top;
  TLevel& L = FLevels[MenuWnd];
  const int P = CurrentPPI();
  if (!L.Picture || L.Picture->Bmp().Width() != W || L.Picture->Bmp().Height() != H || L.PPI != P) {
    L.PPI = P;
    BuildPicture(MenuWnd, L, W, H);
  }
  return &L.Picture->Bmp();
}

void TsSkinableMenus::SetRegion(HWND MenuWnd, const Bitmap32& Pic) {
  // Rows of opaque pixels; a row like the one above only lengthens its rectangles.
  TacRgn Rgn(0, 0, 0, 0);
  bool Any = false;
  for (int Y = 0; Y < Pic.Height(); ++Y) {
    const std::uint32_t* Line = Pic.Line(Y);
    for (int X = 0; X < Pic.Width();) {
      while (X < Pic.Width() && !(Line[X] >> 24)) ++X;
      const int From = X;
      while (X < Pic.Width() && (Line[X] >> 24)) ++X;
      if (X > From) {
        Rgn.AddRect(From, Y, X, Y + 1);
        Any = true;
      }
    }
  }
  if (!Any) Rgn.AddRect(0, 0, 1, 1);
  // The same region again would only repaint the window, while its first item is drawn.
  if (Rgn.SameAs(MenuWnd)) return;
  if (Rgn.SetTo(MenuWnd, false))
    if (TacMnuWnd* W = MenuWrapperOf(MenuWnd)) W->RgnChanged = true;
}

void TsSkinableMenus::DrawDivider(Bitmap32& Bmp, const RECT& R, TacSkinData* D, int P) {
  TsSkinManager* M = Manager();
  const int Idx = M && D ? M->SkinCommonInfo.Sections[ssDivider] : -1;
  const int Mg = Scale(Margin, P), G = GlyphSize(P) + Mg + Scale(Spacing, P);
  const int H = std::max(1, Scale(1, P));
  const int Top = (R.bottom - R.top - H) / 2;
  const BmpRect Band(G + Mg, Top, R.right - R.left - Mg, Top + H);
  if (Band.Width() <= 0) return;
  if (Idx >= 0)
    PaintSectionByIndex(Idx, MakeCacheInfo(Bmp), -1, -1, D, Bmp, BmpPoint(0, 0), Band, 0);
  else
    FillPixels32(Bmp, Band, ColorToPixel(GetSysColor(COLOR_GRAYTEXT), 255), 255);
}

void TsSkinableMenus::DrawCheck(Bitmap32& Bmp, const TacMenuItemInfo& Item, const RECT& Gl, TacSkinData* D,
                                bool Enabled) {
  TsSkinManager* M = Manager();
  if (!M || !D) return;
  const int Idx = M->GetMaskIndex(kGlobal, Item.Radio ? "RADIOCHECKED" : "CHECK", D);
  if (Idx < 0 || Idx >= static_cast<int>(D->ma.size())) return;
  const TsMaskData& Mk = D->ma[static_cast<size_t>(Idx)];
  const BmpPoint At((Gl.left + Gl.right - Mk.Width) / 2, (Gl.top + Gl.bottom - Mk.Height) / 2);
  DrawCornerImage(Bmp, At, 0, MakeCacheInfo(Bmp), Mk, Enabled ? 1 : 0);
}

void TsSkinableMenus::DrawSysGlyph(Bitmap32& Bmp, const TacMenuItemInfo& Item, const RECT& Gl, TacSkinData* D,
                                   UINT State) {
  if (!D) return;
  int Idx = -1;
  for (bool Small : {true, false}) {
    const TacTitleGlyph T = GlyphOfCommand(Item.Command, Small);
    if (T == tgNone) return;
    Idx = D->TitleGlyphs[static_cast<size_t>(T)];
    if (Idx >= 0) break;
  }
  if (Idx < 0 || Idx >= static_cast<int>(D->ma.size())) return;
  const TsMaskData& Mk = D->ma[static_cast<size_t>(Idx)];
  const BmpPoint At((Gl.left + Gl.right - Mk.Width) / 2, (Gl.top + Gl.bottom - Mk.Height) / 2);
  const bool Hot = (State & ODS_SELECTED) && Item.Enabled;
  DrawCornerImage(Bmp, At, Hot ? 1 : 0, MakeCacheInfo(Bmp), Mk, Item.Enabled ? 1 : 0);
}

void TsSkinableMenus::Draw(HDC DC, const TacMenuItemInfo& Item, const RECT& R, UINT State, HMENU Menu) {
  const int W = R.right - R.left, H = R.bottom - R.top;
  if (W <= 0 || H <= 0) return;
  const int P = CurrentPPI();
  TacSkinData* D = SkinDataFor(P);
  TsSkinManager* Mgr = Manager();
  HWND MenuWnd = FindMenuWindow(DC, Menu);
  const bool Enabled = Item.Enabled && !(State & (ODS_GRAYED | ODS_DISABLED));
  const bool Hot = (State & ODS_SELECTED) && Enabled && !Item.Line;

  // The level's picture, new on its first item; then the frame and the region follow it.
  if (MenuWnd && Item.First) ForgetWindow(MenuWnd);
  const Bitmap32* Pic = MenuWnd ? EnsureLevelPicture(MenuWnd) : nullptr;
  POINT Client{0, 0};
  if (MenuWnd) {
    RECT WR{};
    GetWindowRect(MenuWnd, &WR);
    ClientToScreen(MenuWnd, &Client);
    Client.x -= WR.left;
    Client.y -= WR.top;
  }
  if (MenuWnd && Item.First && Pic) {
    SendMessageW(MenuWnd, SKM_COMMAND, SkinCommand(SKC_MENUFRAME), 0);
    SetRegion(MenuWnd, *Pic);
  }

  TDibBitmap Piece(W, H);
  if (Piece.Empty()) return;
  Bitmap32& Bmp = Piece.Bmp();
  if (Pic)
    CopyPiece(Bmp, BmpPoint(0, 0), *Pic,
              BmpRect(R.left + Client.x, R.top + Client.y, R.left + Client.x + W, R.top + Client.y + H));
  else if (D && Mgr && Mgr->SkinCommonInfo.Sections[ssMainMenu] >= 0)
    PaintSectionBackground(Mgr->SkinCommonInfo.Sections[ssMainMenu], TCacheInfo(), 0, 0xFF00FF, -1, -1, D, Bmp,
                           BmpPoint(0, 0), Bmp.Bounds());
  else
    FillPixels32(Bmp, Bmp.Bounds(), ColorToPixel(GetSysColor(COLOR_MENU), 255), 255);

  const int Mg = Scale(Margin, P), G = GlyphSize(P);
  const RECT Glyph{Mg, (H - G) / 2, Mg + G, (H - G) / 2 + G};
  const int ItemIdx = D ? D->MenuItem.SkinIndex : -1;
  if (Item.Line) {
    DrawDivider(Bmp, R, D, P);
  } else {
    if (Hot && ItemIdx >= 0)
      PaintSectionByIndex(ItemIdx, MakeCacheInfo(Bmp), -1, -1, D, Bmp, BmpPoint(0, 0), Bmp.Bounds(), 1);
    if (Item.Checked || (State & ODS_CHECKED)) DrawCheck(Bmp, Item, Glyph, D, Enabled);
    if (Item.SysMenu) DrawSysGlyph(Bmp, Item, Glyph, D, State);
    // Caption left (or as aligned), the shortcut after the tab right-aligned.
    HDC PDC = Piece.Canvas();
    HGDIOBJ Old = SelectObject(PDC, FontFor(P));
    const size_t Tab = Item.Caption.find(L'\t');
    const std::wstring Cap = Item.Caption.substr(0, Tab);
    const std::wstring Short = Tab == std::wstring::npos ? std::wstring() : Item.Caption.substr(Tab + 1);
    RECT T{G + Mg + Scale(Spacing, P), Mg, W - Mg - Scale(Spacing, P), H - Mg};
    UINT Flags = Cap.find(L'\r') != std::wstring::npos ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER;
    if (State & ODS_NOACCEL) Flags |= DT_HIDEPREFIX;
    const UINT Align = Alignment == 1 ? DT_RIGHT : Alignment == 2 ? DT_CENTER : DT_LEFT;
    const int TextState = Hot ? 1 : 0;
    if (ItemIdx >= 0) {
      DrawSectionText(PDC, Cap, Enabled, Mgr, TextState, ItemIdx, D, Flags | Align, T);
      if (!Short.empty()) DrawSectionText(PDC, Short, Enabled, Mgr, TextState, ItemIdx, D, Flags | DT_RIGHT, T);
    } else {
      const COLORREF C = GetSysColor(!Enabled ? COLOR_GRAYTEXT : Hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
      DrawPlainText(PDC, Cap, true, Flags | Align, T, C);
      if (!Short.empty()) DrawPlainText(PDC, Short, true, Flags | DT_RIGHT, T, C);
    }
    SelectObject(PDC, Old);
    GdiFlush();
  }
  // Text leaves no alpha behind; the item is opaque.
  for (int Y = 0; Y < H; ++Y)
    for (std::uint32_t* L = Bmp.Line(Y), *E = L + W; L < E; ++L) *L |= 0xFF000000u;
  BitBlt(DC, R.left, R.top, W, H, Piece.Canvas(), 0, 0, SRCCOPY);
}

}  // namespace cb
