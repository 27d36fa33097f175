// A thousand notice boxes opened and closed by their own messages, and the
// skin switched off and on a hundred times under an open box, leave the
// process as they found it. CB_RELIABILITY_BOXES sets the number of boxes.
#include "DialogFixture.h"

#include "skin/paint/acLayeredSurface.h"
#include "tests/support/ResourceCounts.h"

namespace {

using namespace cb;
using namespace cb::test;

struct TCounts {
  int Gdi, User;
  std::uint64_t Private;
};
TCounts Now() { return {GdiObjectCount(), UserObjectCount(), PrivateBytes()}; }

int SurfacesAlive() {
  int N = 0;
  for (HWND W = FindWindowExW(nullptr, nullptr, TacLayeredSurface::ClassName, nullptr); W;
       W = FindWindowExW(nullptr, W, TacLayeredSurface::ClassName, nullptr))
    ++N;
  return N;
}

TEST(DialogReliability, AThousandNoticeBoxesLeaveNothingBehind) {
  const char* Env = std::getenv("CB_RELIABILITY_BOXES");
  const int Boxes = Env ? std::atoi(Env) : 1000;
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay", 120, 100);
  ShowAndSettle(F);
  const size_t Listed = AttachedWindows().size();
  const int Surfaces = SurfacesAlive();
  int Skinned = 0;
  auto Round = [&] {
    WithBox(L"计算器 卸载完成！", L"提示", MB_OK | MB_ICONINFORMATION, [&](HWND Box) {
      Skinned += DialogOf(Box) && WrappedChildren(Box) == 3;
      // Pressed as a user's key press would: the button's own click.
      PostMessageW(GetDlgItem(Box, IDOK), BM_CLICK, 0, 0);
    }, 1);
  };
  // What a first box makes to keep (fonts, the skin's pictures at this size) is made before counting.
  for (int I = 0; I < 10; ++I) Round();
  Pump(50);
  const TCounts Before = Now();
  for (int I = 0; I < Boxes; ++I) Round();
  Pump(100);
  const TCounts After = Now();
  EXPECT_EQ(Skinned, Boxes + 10);
  EXPECT_EQ(After.Gdi, Before.Gdi);
  EXPECT_EQ(After.User, Before.User);
  EXPECT_LE(After.Private, Before.Private + 256 * 1024) << "grew by " << (After.Private - Before.Private);
  EXPECT_EQ(AttachedWindows().size(), Listed);
  EXPECT_EQ(SurfacesAlive(), Surfaces);  // no border window left
}

TEST(DialogReliability, TheSkinOffAndOnAHundredTimesUnderAnOpenBoxEndsSkinnedWithNoHookLeft) {
  TSkinnedScene S;
  TFrameForm F(bsSingle, biSystemMenu | biMinimize, L"Clearbay", 120, 100);
  ShowAndSettle(F);
  bool HooksLeft = false, EndsSkinned = false, OwnButtonsBetween = true;
  WithBox(L"是否继续？", L"提示", MB_YESNO | MB_ICONQUESTION, [&](HWND Box) {
    for (int I = 0; I < 100; ++I) {
      S.M->SetActive(false);
      Pump(2);
      HooksLeft |= HasForeignHook(Box, siDialog) || WrappedChildren(Box) > 0;
      OwnButtonsBetween &= (GetWindowLongW(Box, GWL_STYLE) & WS_SYSMENU) != 0;
      S.M->SetActive(true);
      // Taken again as it is next activated.
      SetForegroundWindow(F.WindowHandle());
      SetForegroundWindow(Box);
      Pump(2);
    }
    Pump(100);
    EndsSkinned = DialogOf(Box) && WrappedChildren(Box) == 4 && DialogOf(Box)->BorderForm &&
                  IsWindowVisible(DialogOf(Box)->BorderForm->Handle());
    PostMessageW(GetDlgItem(Box, IDNO), BM_CLICK, 0, 0);
  });
  EXPECT_FALSE(HooksLeft);
  EXPECT_TRUE(OwnButtonsBetween);  // its own caption buttons back while the skin is off
  EXPECT_TRUE(EndsSkinned);
}

}  // namespace
