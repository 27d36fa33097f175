// Stacked hooks on windows the framework does not own: a window of a class
// registered here, a system dialog and a static control inside it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ui/ForeignHooks.h"
#include "ui/Forms.h"

namespace {

constexpr UINT WM_PROBE = WM_APP + 7;
enum : std::uintptr_t { idA = 1, idB, idC, idD, idE };

std::vector<std::string> Log;

// The own procedures of the window and the dialog: each answers the probe with 7.
LRESULT CALLBACK PlainProc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg != WM_PROBE) return DefWindowProcW(W, Msg, WParam, LParam);
  Log.push_back("class " + std::to_string(WParam));
  return 7;
}

INT_PTR CALLBACK DialogProc(HWND D, UINT Msg, WPARAM WParam, LPARAM) {
  if (Msg == WM_CLOSE) {
    DestroyWindow(D);
    return TRUE;
  }
  if (Msg != WM_PROBE) return FALSE;
  Log.push_back("dialog " + std::to_string(WParam));
  SetWindowLongPtrW(D, DWLP_MSGRESULT, 7);
  return TRUE;
}

// Destroys the window when the test ends, however it ends, so no hook
// outlives the locals it writes to.
struct TWindow {
  HWND H;
  ~TWindow() {
    if (IsWindow(H)) DestroyWindow(H);
  }
  operator HWND() const { return H; }
};

HWND MakePlain() {
  static const ATOM Class = [] {
    WNDCLASSW C{};
    C.lpfnWndProc = PlainProc;
    C.hInstance = GetModuleHandleW(nullptr);
    C.lpszClassName = L"CbForeignProbe";
    return RegisterClassW(&C);
  }();
  return CreateWindowExW(0, MAKEINTATOM(Class), L"", WS_OVERLAPPED, 0, 0, 100, 80, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

HWND MakeDialog() {
  struct {
    DLGTEMPLATE T;
    WORD Menu, Class, Title;
  } Tpl{};
  Tpl.T.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  Tpl.T.cx = 80;
  Tpl.T.cy = 40;
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &Tpl.T, nullptr, DialogProc, 0);
}

HWND MakeStatic(HWND Parent) {
  return CreateWindowExW(0, L"static", L"text", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, Parent, nullptr, nullptr, nullptr);
}

TWindowHookProc Logging(std::string Name) {
  return [Name](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_PROBE) Log.push_back(Name);
    Next(M);
  };
}

// A wrapper that says when it is freed and can act on its messages.
class TProbeWrapper : public TForeignWrapper {
public:
  TProbeWrapper(std::string AName, bool& AFreed, std::function<void(TMessage&)> AOnMessage = nullptr)
      : FName(std::move(AName)), FFreed(AFreed), FOnMessage(std::move(AOnMessage)) {}
  ~TProbeWrapper() override { FFreed = true; }
  void WndProc(TMessage& M, const TWindowHookNext& Next) override {
    if (M.Msg == WM_PROBE) Log.push_back(FName + " " + std::to_string(M.WParam));
    if (M.Msg == WM_NCDESTROY) Log.push_back(FName + " ncdestroy");
    if (FOnMessage) FOnMessage(M);
    Next(M);
  }

private:
  std::string FName;
  bool& FFreed;
  std::function<void(TMessage&)> FOnMessage;
};

using TLog = std::vector<std::string>;

TLog Probe(HWND W, WPARAM Tag = 0) {
  Log.clear();
  LRESULT R = SendMessageW(W, WM_PROBE, Tag, 0);
  Log.push_back("= " + std::to_string(R));
  return Log;
}

WNDPROC ProcOf(HWND W) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(W, GWLP_WNDPROC)); }

TEST(ForeignHooks, StackNewestFirstDownToTheWindowsOwnProcedureAndComeOffInAnyOrder) {
  TWindow Plain{MakePlain()}, Dialog{MakeDialog()};
  HWND Static = MakeStatic(Dialog);
  ASSERT_TRUE(Plain && Dialog && Static);
  const std::pair<HWND, std::string> Cases[] = {{Plain, "class 0"}, {Dialog, "dialog 0"}, {Static, ""}};
  for (const auto& [W, Own] : Cases) {
    SCOPED_TRACE(Own);
    const std::string Answer = Own.empty() ? "= 0" : "= 7";  // a static answers nothing
    auto Expect = [&](TLog L) {
      if (!Own.empty()) L.push_back(Own);
      L.push_back(Answer);
      return L;
    };
    const WNDPROC Before = ProcOf(W);
    ASSERT_TRUE(AddForeignHook(W, idA, Logging("a")));
    ASSERT_TRUE(AddForeignHook(W, idB, Logging("b")));
    ASSERT_TRUE(AddForeignHook(W, idC, Logging("c")));
    EXPECT_EQ(Probe(W), Expect({"c", "b", "a"}));

    // The middle one goes first, then the oldest.
    EXPECT_TRUE(RemoveForeignHook(W, idB));
    EXPECT_EQ(Probe(W), Expect({"c", "a"}));
    EXPECT_TRUE(RemoveForeignHook(W, idA));
    EXPECT_FALSE(RemoveForeignHook(W, idA));
    EXPECT_EQ(Probe(W), Expect({"c"}));

    // The same id again replaces the hook where it stands.
    ASSERT_TRUE(AddForeignHook(W, idD, Logging("d")));
    ASSERT_TRUE(AddForeignHook(W, idC, Logging("c2")));
    EXPECT_EQ(Probe(W), Expect({"d", "c2"}));
    EXPECT_TRUE(HasForeignHook(W, idC));
    EXPECT_FALSE(HasForeignHook(W, idA));
    RemoveForeignHook(W, idC);
    RemoveForeignHook(W, idD);
    EXPECT_EQ(ProcOf(W), Before) << "the last hook off puts the window's own procedure back";
  }
}

TEST(ForeignHooks, HooksComeOffDuringAMessageAndWrappersGoOnlyWhenTheOutermostOneHasReturned) {
  bool LowFreed = false, TopFreed = false, LowFreedInside = true, TopFreedInside = true;
  TWindow W{MakePlain()};
  ASSERT_TRUE(W);
  ASSERT_TRUE(AddForeignHook(W, idA, std::make_unique<TProbeWrapper>("low", LowFreed, [&](TMessage& M) {
                               // In the nested message the lowest one takes itself off.
                               if (M.Msg == WM_PROBE && M.WParam == 1) RemoveForeignHook(W, idA);
                             })));
  ASSERT_TRUE(AddForeignHook(W, idB, Logging("mid")));
  ASSERT_TRUE(AddForeignHook(W, idD, Logging("side")));
  ASSERT_TRUE(AddForeignHook(W, idC, std::make_unique<TProbeWrapper>("top", TopFreed, [&](TMessage& M) {
                               if (M.Msg != WM_PROBE || M.WParam != 0) return;
                               // The top one takes itself and another off, replaces a third in
                               // place, adds one and sends the window a message of its own.
                               RemoveForeignHook(W, idC);
                               RemoveForeignHook(W, idB);
                               AddForeignHook(W, idD, Logging("side2"));
                               AddForeignHook(W, idE, Logging("late"));
                               SendMessageW(W, WM_PROBE, 1, 0);
                               LowFreedInside = LowFreed;
                               TopFreedInside = TopFreed;
                             })));
  EXPECT_EQ(Probe(W), (TLog{"top 0", "late", "side2", "low 1", "class 1", "class 0", "= 7"}))
      << "the nested message meets the hooks added before it; the outer one passes over everything taken off or "
         "put on since it began";
  EXPECT_FALSE(TopFreedInside) << "freed inside its own message";
  EXPECT_FALSE(LowFreedInside) << "freed while an outer message of its window was under way";
  EXPECT_TRUE(TopFreed && LowFreed) << "freed once the outermost message had returned";
  EXPECT_EQ(Probe(W), (TLog{"late", "side2", "class 0", "= 7"}));
  EXPECT_EQ(FindForeignWrapper(W, idA), nullptr);
  RemoveForeignHook(W, idE);
  RemoveForeignHook(W, idD);
}

WNDPROC gForeignPrev = nullptr;
LRESULT CALLBACK ForeignProc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_PROBE) Log.push_back("foreign");
  return CallWindowProcW(gForeignPrev, W, Msg, WParam, LParam);
}

TEST(ForeignHooks, TheOriginalProcedureComesBackOnlyWhileOursIsTheWindows) {
  // Somebody subclasses after us, then we come off: their procedure stays
  // the window's, and ours, still called by it, passes everything through.
  TWindow W{MakePlain()};
  ASSERT_TRUE(W);
  const WNDPROC Own = ProcOf(W);
  ASSERT_TRUE(AddForeignHook(W, idA, Logging("ours")));
  gForeignPrev = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForeignProc)));
  EXPECT_EQ(Probe(W), (TLog{"foreign", "ours", "class 0", "= 7"}));
  EXPECT_TRUE(RemoveForeignHook(W, idA));
  EXPECT_EQ(ProcOf(W), ForeignProc) << "their procedure was clobbered";
  EXPECT_EQ(Probe(W), (TLog{"foreign", "class 0", "= 7"}));
  // A hook added meanwhile goes on the subclass still in place, once.
  ASSERT_TRUE(AddForeignHook(W, idB, Logging("again")));
  EXPECT_EQ(Probe(W), (TLog{"foreign", "again", "class 0", "= 7"}));
  RemoveForeignHook(W, idB);

  // They come off in turn: ours is the window's again and steps down after
  // the next message.
  SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gForeignPrev));
  EXPECT_EQ(Probe(W), (TLog{"class 0", "= 7"}));
  EXPECT_EQ(ProcOf(W), Own);
}

TEST(ForeignHooks, NcDestroyTakesEveryHookOffAfterItAndTheWrappersGoOnceTheMessageHasReturned) {
  bool DialogFreed = false, ChildFreed = false, FreedInsideClose = true;
  TWindow Dialog{MakeDialog()};
  HWND Static = MakeStatic(Dialog);
  ASSERT_TRUE(Dialog && Static);
  ASSERT_TRUE(AddForeignHook(Static, idC, std::make_unique<TProbeWrapper>("child", ChildFreed)));
  ASSERT_TRUE(AddForeignHook(Dialog, idA, std::make_unique<TProbeWrapper>("dialog", DialogFreed)));
  ASSERT_TRUE(AddForeignHook(Dialog, idB, [&](TMessage& M, const TWindowHookNext& Next) {
    Next(M);  // on WM_CLOSE the dialog's own procedure destroys it in there
    if (M.Msg == WM_CLOSE) FreedInsideClose = DialogFreed;
    if (M.Msg == WM_NCDESTROY) Log.push_back("plain ncdestroy");
  }));
  Log.clear();
  SendMessageW(Dialog, WM_CLOSE, 0, 0);
  ASSERT_FALSE(IsWindow(Dialog));
  EXPECT_EQ(Log, (TLog{"child ncdestroy", "dialog ncdestroy", "plain ncdestroy"})) << "each saw it";
  EXPECT_FALSE(FreedInsideClose) << "freed while the message that destroyed the window was under way";
  EXPECT_TRUE(DialogFreed && ChildFreed);
  EXPECT_FALSE(HasForeignHook(Dialog, idA) || HasForeignHook(Dialog, idB) || HasForeignHook(Static, idC));

  // A window that lives on: its wrapper comes off and goes at once, the
  // window's own procedure is back.
  bool Freed = false;
  TWindow W{MakePlain()};
  const WNDPROC Own = ProcOf(W);
  ASSERT_TRUE(AddForeignHook(W, idA, std::make_unique<TProbeWrapper>("w", Freed)));
  EXPECT_EQ(Probe(W), (TLog{"w 0", "class 0", "= 7"}));
  EXPECT_TRUE(RemoveForeignHook(W, idA));
  EXPECT_TRUE(Freed);
  EXPECT_EQ(ProcOf(W), Own);
}

TEST(ForeignHooks, AnExceptionFromAHookStopsAtTheWindowProcedure) {
  std::vector<std::wstring> Reported;
  bool Freed = false;
  TWindow W{MakePlain()};
  ASSERT_TRUE(W);
  ASSERT_TRUE(AddForeignHook(W, idA, Logging("below")));
  ASSERT_TRUE(AddForeignHook(W, idB, [](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_PROBE && M.WParam == 1) throw std::runtime_error("hook failed");
    Next(M);
  }));
  ASSERT_TRUE(AddForeignHook(W, idC, std::make_unique<TProbeWrapper>("top", Freed, [](TMessage& M) {
                               if (M.Msg == WM_NCDESTROY) throw std::runtime_error("failed while going");
                             })));
  Application->OnException = [&](TObject*, const std::wstring& Text) { Reported.push_back(Text); };
  Probe(W, 1);
  EXPECT_EQ(Reported, (std::vector<std::wstring>{L"hook failed"}));
  EXPECT_EQ(Probe(W), (TLog{"top 0", "below", "class 0", "= 7"})) << "the window still works";
  DestroyWindow(W);
  Application->OnException = nullptr;
  EXPECT_EQ(Reported.back(), L"failed while going");
  EXPECT_TRUE(Freed) << "a failure on WM_NCDESTROY still takes the hooks off";
}

}  // namespace
