// The creation hook's attach rules: which forms, dialogs and menu windows it
// takes, and when.
#include "WindowFixture.h"
#include "acSubclassIds.h"
#include "ui/ForeignHooks.h"

#include <commctrl.h>

namespace {

using namespace cb;
using namespace cb::test;

// The framework's message dialog goes by this class name.
class TMessageForm : public TForm {
  CB_CLASS(TMessageForm, TForm)
public:
  TMessageForm() : TForm(nullptr) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetPosition(poDesigned);
    SetBounds(300, 200, 300, 150);
  }
};

TEST(Hook, AFormWithAllBitsOfTheExclusionTagIsNeverSkinned) {
  TSkinnedScene S;
  for (std::intptr_t Tag : {0x100, 0x1FF, 0x80, 0}) {
    SCOPED_TRACE(Tag);
    TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Tagged");
    F.SetTag(Tag);
    F.HandleNeeded();
    const bool Excluded = (Tag & 0x100) == 0x100;
    // Attached as its window is made, before it shows.
    EXPECT_EQ(FindAttached(F.WindowHandle()) != nullptr, !Excluded);
    ShowAndSettle(F);  // activation does not attach it either
    EXPECT_EQ(ProviderOf(F) != nullptr, !Excluded);
  }
}

TEST(Hook, TheMessageFormIsSkinnedOnlyUnderTheStandardDialogsRule) {
  TSkinnedScene S;
  for (TacSkinningRules Rules : {srStdForms | srStdDialogs, srStdForms, srStdDialogs}) {
    SCOPED_TRACE(Rules);
    S.M->SetSkinningRules(Rules);
    TMessageForm Box;
    TFrameForm Plain(bsSingle, biSystemMenu, L"Plain", 600, 400);
    ShowAndSettle(Box);
    ShowAndSettle(Plain);
    EXPECT_EQ(ProviderOf(Box) != nullptr, (Rules & srStdDialogs) != 0);
    EXPECT_EQ(ProviderOf(Plain) != nullptr, (Rules & srStdForms) != 0);
  }
}

TEST(Hook, ABorderlessPopupIsNeverAttached) {
  TSkinnedScene S;
  TFrameForm F(bsNone, 0, L"");
  ShowAndSettle(F);
  EXPECT_EQ(FindAttached(F.WindowHandle()), nullptr);
  EXPECT_FALSE(AttachWindow(F.WindowHandle()));
  EXPECT_EQ(ProviderOf(F), nullptr);
}

TEST(Hook, AFormMadeBeforeTheSkinIsAttachedWhenItIsActivated) {
  InstallFormSkinning();
  TFrameForm Early(bsSingle, biSystemMenu | biMinimize, L"Early");
  TFrameForm Other(bsSingle, biSystemMenu | biMinimize, L"Other", 650, 400);
  ShowAndSettle(Other);
  Early.HandleNeeded();
  auto M = MakeManager();
  M->SetExtendedBorders(true);
  EXPECT_EQ(ProviderOf(Early), nullptr);
  TLog Log;
  Record(&Early, Log, "early");
  ShowAndSettle(Early);
  ASSERT_NE(ProviderOf(Early), nullptr);
  // Its controls are told of the skin as it is attached.
  EXPECT_NE(std::find(Log.begin(), Log.end(), "early skc " + std::to_string(SKC_SKINLOADED)), Log.end());
  Early.RemoveWindowHook(0x5EC);
  M.reset();
}

// A visible system dialog, optionally with a tool bar inside (as file dialogs have).
HWND MakeDialog(int X, bool WithToolbar) {
  struct {
    DLGTEMPLATE T;
    WORD Menu, Class, Title;
  } Tpl{};
  Tpl.T.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  Tpl.T.x = static_cast<short>(X);
  Tpl.T.y = 30;
  Tpl.T.cx = 80;
  Tpl.T.cy = 40;
  HWND D = CreateDialogIndirectParamW(
      GetModuleHandleW(nullptr), &Tpl.T, nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  if (D && WithToolbar) {
    HWND Panel = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, D, nullptr, nullptr, nullptr);
    CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, Panel, nullptr, nullptr, nullptr);
  }
  if (D) ShowWindow(D, SW_SHOWNOACTIVATE);
  return D;
}

TEST(Hook, AThirdSystemDialogStaysUnskinnedUnlessItHoldsAToolBar) {
  INITCOMMONCONTROLSEX ICC{sizeof ICC, ICC_BAR_CLASSES};
  InitCommonControlsEx(&ICC);
  TSkinnedScene S;
  ASSERT_TRUE(StdDialogsSkinned());
  HWND D1 = MakeDialog(10, false), D2 = MakeDialog(120, false);
  // Dialogs are taken as they are made.
  EXPECT_NE(FindAttached(D1), nullptr);
  EXPECT_NE(FindAttached(D2), nullptr);
  HWND D3 = MakeDialog(230, false);
  EXPECT_EQ(FindAttached(D3), nullptr);
  EXPECT_FALSE(AttachWindow(D3));
  HWND D4 = MakeDialog(340, true);
  EXPECT_TRUE(AttachWindow(D4));
  // One of the two closes: room again.
  DestroyWindow(D1);
  EXPECT_EQ(FindAttached(D1), nullptr);
  EXPECT_FALSE(AttachWindow(D3));  // D2 and D4 still show
  ShowWindow(D4, SW_HIDE);
  EXPECT_TRUE(AttachWindow(D3));
  for (HWND D : {D2, D3, D4}) DestroyWindow(D);
  EXPECT_TRUE(std::none_of(AttachedWindows().begin(), AttachedWindows().end(), [](const auto& P) { return !P->sp; }));
}

TEST(Hook, PopupMenuWindowsAreTakenOnlyWhileSkinnedPopupsAreOn) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu, L"Menus");
  ShowAndSettle(F);
  for (bool On : {true, false}) {
    SCOPED_TRACE(On);
    S.M->SetSkinnedPopups(On);
    static bool Taken;
    Taken = false;
    HMENU Menu = CreatePopupMenu();
    AppendMenuW(Menu, MF_STRING, 1, L"卸载");
    UINT_PTR T = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR, DWORD) {
      HWND MenuWnd = FindWindowW(L"#32768", nullptr);
      Taken = MenuWnd && HasForeignHook(MenuWnd, siMenuWindow);
      EndMenu();
    });
    TrackPopupMenu(Menu, TPM_RETURNCMD, 300, 300, 0, F.WindowHandle(), nullptr);
    KillTimer(nullptr, T);
    DestroyMenu(Menu);
    EXPECT_EQ(Taken, On);
  }
  S.M->SetSkinnedPopups(true);
}

}  // namespace
