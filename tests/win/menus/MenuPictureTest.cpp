// A menu as it shows, printed through WM_PRINT into a 32-bit picture at 96
// and 192 ppi over the built-in skin: the skin's frame all round, the hot item
// in the item section's hot colour with white text, a dimmed disabled item, a
// divider and a shortcut after a tab drawn right-aligned.
#include "MenuFixture.h"

#include "../controls/ControlsFixture.h"

namespace {

using namespace cb;
using namespace cb::test;

constexpr std::uint32_t Rgb(std::uint32_t BgrColor) { return SwapRB(BgrColor) & 0xFFFFFF; }
constexpr std::uint32_t kHot = Rgb(14330112), kText = Rgb(2105376), kWhite = 0xFFFFFF, kBack = 0xFFFFFF;
// The glyph column's section ("ICOLINE", which the menu support names).
constexpr std::uint32_t kColumn = Rgb(16250871);

struct TShot {
  std::vector<std::uint32_t> Px;
  int W = 0, H = 0;
  std::vector<RECT> Items;  // window coordinates
  std::uint32_t At(int X, int Y) const { return Px[size_t(Y * W + X)]; }
  int Equal(const RECT& R, std::uint32_t C) const { return Count(R, 0x1000000) - Count(R, C); }
  // Pixels of a row range of an item that differ from a colour.
  int Count(const RECT& R, std::uint32_t Not, int X0 = -1, int X1 = -1) const {
    int N = 0;
    for (int Y = R.top; Y < R.bottom; ++Y)
      for (int X = X0 < 0 ? R.left : X0; X < (X1 < 0 ? R.right : X1); ++X) N += At(X, Y) != Not;
    return N;
  }
};

void FillMenu(TCustomForm& F, TPopupMenu& Menu) {
  for (const wchar_t* C : {L"卸载", L"安装", L"-", L"停用", L"关于\tCtrl+A"}) {
    auto* I = new TMenuItem(&F);
    I->SetCaption(C);
    I->SetEnabled(std::wstring(C) != L"停用");
    Menu.Items()->Add(I);
  }
}

TShot ShootMenu(TPopupMenu& Menu, int PPI) {
  TsSkinableMenus* Painter = SkinableMenus(DefaultManager());
  Painter->PPI = PPI;
  TShot Shot;
  WhileMenuShows({[](HWND) {
                    Key(VK_DOWN);
                    Key(VK_DOWN);
                  },
                  [&](HWND M) {
                    RECT WR{};
                    GetWindowRect(M, &WR);
                    Shot.W = WR.right - WR.left;
                    Shot.H = WR.bottom - WR.top;
                    for (int I = 0; I < 5; ++I) {
                      RECT R{};
                      GetMenuItemRect(nullptr, Menu.Handle(), static_cast<UINT>(I), &R);
                      OffsetRect(&R, -WR.left, -WR.top);
                      Shot.Items.push_back(R);
                    }
                    Shot.Px = Capture32(Shot.W, Shot.H, [&](HDC DC) {
                      SendMessageW(M, WM_PRINT, reinterpret_cast<WPARAM>(DC),
                                   PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
                    });
                    Key(VK_ESCAPE);
                  }});
  Menu.Popup(300, 200);
  Pump(50);
  Painter->PPI = 0;
  return Shot;
}

TEST(MenuPicture, ItemsAndFrameAt96And192) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu, L"Clearbay");
  ShowAndSettle(F);
  TacSkinData* D = S.M->CommonSkinData(96);
  ASSERT_TRUE(D);
  const TsMaskData& Mk = D->ma[size_t(D->gd[size_t(S.M->SkinCommonInfo.Sections[ssMainMenu])].BorderIndex)];
  const std::uint32_t Frame = MaskSource(Mk)->Pixel(Mk.R.Left, Mk.R.Top) & 0xFFFFFF;
  TPopupMenu Menu(&F);
  FillMenu(F, Menu);
  for (int PPI : {96, 192}) {
    SCOPED_TRACE(PPI);
    const TShot Shot = ShootMenu(Menu, PPI);
    ASSERT_EQ(Shot.Items.size(), 5u);
    ASSERT_EQ(Shot.Px.size(), size_t(Shot.W * Shot.H));
    // The frame is the menu section's border all round, where the system draws its own.
    for (POINT P : {POINT{0, 0}, POINT{Shot.W - 1, 0}, POINT{0, Shot.H - 1}, POINT{Shot.W - 1, Shot.H - 1},
                    POINT{Shot.W / 2, 0}, POINT{0, Shot.H / 2}})
      EXPECT_EQ(Shot.At(P.x, P.y), Frame) << P.x << "," << P.y;
    const RECT& Normal = Shot.Items[0];
    const RECT& Hot = Shot.Items[1];
    const RECT& Line = Shot.Items[2];
    const RECT& Off = Shot.Items[3];
    const RECT& Tab = Shot.Items[4];
    // The hot item: its section's hot colour edge to edge, white text on it.
    EXPECT_EQ(Shot.At(Hot.left + 1, Hot.top + 1), kHot);
    EXPECT_EQ(Shot.At(Hot.right - 2, Hot.bottom - 2), kHot);
    EXPECT_GT(Shot.Equal(Hot, kHot), Shot.Count(Hot, 0x1000000) * 3 / 4);
    int White = 0, Dark = 0, Dimmed = 0;
    for (int Y = Hot.top; Y < Hot.bottom; ++Y)
      for (int X = Hot.left; X < Hot.right; ++X) White += Shot.At(X, Y) == kWhite;
    // Text is smoothed: its cores are the exact colours.
    for (int Y = Normal.top; Y < Normal.bottom; ++Y)
      for (int X = Normal.left; X < Normal.right; ++X) Dark += Shot.At(X, Y) == kText;
    EXPECT_GT(White, 2);
    EXPECT_EQ(Shot.Equal(Hot, kText), 0) << "dark text on the hot item";
    EXPECT_GT(Dark, 2);
    // Disabled: text dimmed, never in the normal text colour.
    for (int Y = Off.top; Y < Off.bottom; ++Y)
      for (int X = Off.left; X < Off.right; ++X) {
        Dimmed += Shot.At(X, Y) != kBack;
        EXPECT_NE(Shot.At(X, Y), kText);
      }
    EXPECT_GT(Dimmed, 10);
    // The divider: a line across, after the glyph column, inside the margins.
    const int Mid = (Line.top + Line.bottom) / 2;
    EXPECT_GT(Shot.Count(RECT{Line.left, Line.top, Line.right, Line.bottom}, kBack), 0);
    EXPECT_EQ(Shot.At(Line.left + 1, Mid), kColumn);
    EXPECT_EQ(Shot.At(Line.right - 1, Mid), kBack);
    // The shortcut ends at the item's right margin; the caption starts after the glyph column, which is
    // the column's section.
    const int Right = Tab.right - MulDiv(2 + 8, PPI, 96);
    EXPECT_GT(Shot.Count(Tab, kBack, Right - MulDiv(12, PPI, 96), Right), 0);
    EXPECT_EQ(Shot.Count(Tab, kBack, Right + 1, Tab.right), 0);
    EXPECT_EQ(Shot.Count(Tab, kColumn, Tab.left, Tab.left + MulDiv(16 + 2 + 8, PPI, 96) - 1), 0)
        << "the glyph column is not the column's section";
    // The whole picture, as accepted.
    TSheet One;
    One.W = Shot.W;
    One.H = Shot.H;
    One.Pieces.push_back(Shot.Px);
    ExpectAsAccepted("menu_" + std::to_string(PPI), One);
  }
}

// Popups switched off after a menu was drawn by the skin: the same menu
// shows as the system draws it again, not as empty owner-drawn items.
TEST(MenuPicture, AMenuOnceSkinnedShowsPlainWhenPopupsAreNoLongerSkinned) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu, L"Clearbay");
  ShowAndSettle(F);
  TPopupMenu Menu(&F);
  FillMenu(F, Menu);
  ShootMenu(Menu, 96);
  S.M->SetSkinnedPopups(false);
  const TShot Shot = ShootMenu(Menu, 96);
  S.M->SetSkinnedPopups(true);
  ASSERT_EQ(Shot.Items.size(), 5u);
  ASSERT_EQ(Shot.Px.size(), size_t(Shot.W * Shot.H));
  const RECT& Hot = Shot.Items[1];
  const std::uint32_t Highlight = Rgb(GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_GT(Shot.Equal(Hot, Highlight), Shot.Count(Hot, 0x1000000) / 2) << "no system highlight";
  EXPECT_FALSE(Menu.OwnerDraw());
}

}  // namespace
