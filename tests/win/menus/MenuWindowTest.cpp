// The wrapper of popup-menu windows: what a menu window goes through from its
// creation to its end, and the wrapper list, regions and handles over a
// thousand openings closed by real keys.
#include "MenuFixture.h"

#include "acRegion.h"
#include "tests/support/ResourceCounts.h"

namespace {

using namespace cb;
using namespace cb::test;

struct TMenuScene : TSkinnedScene {
  TLog Log;
  TFrameForm F{bsSingle, biSystemMenu | biMinimize, L"Clearbay"};
  TsSkinProvider* P = nullptr;
  TMenuScene() {
    ShowAndSettle(F);
    P = ProviderOf(F);
  }
  ~TMenuScene() { F.RemoveWindowHook(0xF0F1); }
};

// The system menu of a skinned form: made transparent before it shows, its
// frame painted by the skin, its items by the painter, opaque once the first
// picture is up, and quiet after that: a region is set only when it changes,
// as one set again (with a redraw) while the first item is drawn starts
// another round of painting.
TEST(MenuWindow, SysMenuWindowFromCreationToDestruction) {
  TMenuScene S;
  ASSERT_TRUE(S.P);
  TMenuRecorder R(S.Log);
  RecordItems(&S.F, S.Log);
  const std::size_t Wrappers = MenuWrappers().size();
  LONG ExStyle = -1;
  bool Skinned = false;
  int RegionKind = -1;
  LRESULT RegionChanged = -1;
  WhileMenuShows({[&](HWND M) {
    ExStyle = GetWindowLongW(M, GWL_EXSTYLE);
    Skinned = SendMessageW(M, SKM_COMMAND, SkinCommand(SKC_ISSKINNED), 0) == 1;
    // The skin's menu picture covers the whole window: no region was ever needed.
    HRGN Rgn = CreateRectRgn(0, 0, 0, 0);
    RegionKind = GetWindowRgn(M, Rgn);
    DeleteObject(Rgn);
    RegionChanged = SendMessageW(M, SKM_COMMAND, SkinCommand(SKC_ISREGIONCHANGED), 0);
    Key(VK_ESCAPE);
  }}, 400);
  EXPECT_FALSE(S.P->Frame->DropSysMenu(300, 300));
  Pump(50);
  ExpectStory(S.Log, {"create wrapped", "showing transparent", "ncpaint", "drawitem+", "layered off", "ncpaint?",
                      "drawitem*", "ncdestroy"});
  EXPECT_FALSE(ExStyle & WS_EX_LAYERED);
  EXPECT_TRUE(Skinned);
  EXPECT_EQ(RegionKind, ERROR);
  EXPECT_EQ(RegionChanged, 0);
  EXPECT_EQ(MenuWrappers().size(), Wrappers);
}

// A thousand app menus, each closed by the Escape key: the wrapper list, the
// painter's pictures, regions, GDI and USER objects and private memory all
// end where they began.
TEST(MenuWindow, AThousandOpeningsLeaveNothingBehind) {
  TMenuScene S;
  ASSERT_TRUE(S.P);
  TPopupMenu Menu(&S.F);
  for (const wchar_t* C : {L"卸载", L"安装"}) {
    auto* I = new TMenuItem(&S.F);
    I->SetCaption(C);
    Menu.Items()->Add(I);
  }
  auto Open = [&] {
    WhileMenuShows({[](HWND) { Key(VK_ESCAPE); }}, 10);
    Menu.Popup(300, 300);
  };
  Open();  // the painter, its font and the skin data for menus come once
  Pump(50);
  const std::size_t Wrappers = MenuWrappers().size();
  const long Regions = TacRgn::Alive();
  const long Pictures = TDibBitmap::Alive();
  const int Gdi = GdiObjectCount(), User = UserObjectCount();
  const std::uint64_t Private = PrivateBytes();
  for (int I = 0; I < 1000; ++I) Open();
  Pump(100);
  EXPECT_EQ(MenuWrappers().size(), Wrappers);
  EXPECT_EQ(SkinableMenus(S.M.get())->OpenLevels(), 0u);
  EXPECT_EQ(TacRgn::Alive(), Regions);
  EXPECT_EQ(TDibBitmap::Alive(), Pictures);
  EXPECT_EQ(GdiObjectCount(), Gdi);
  EXPECT_EQ(UserObjectCount(), User);
  EXPECT_LT(PrivateBytes(), Private + 256 * 1024) << "private bytes grew";
}

}  // namespace
