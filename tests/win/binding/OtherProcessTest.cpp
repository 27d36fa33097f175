// Windows of another process: a pointer found in their properties is never
// used, and no skin command reaches them, sent or broadcast.
#include "BindingFixture.h"

namespace {

using namespace cb;
using namespace cb::test;

// The helper program beside this one, started with a parent window (or none).
struct TForeign {
  PROCESS_INFORMATION PI{};
  HWND Wnd = nullptr;
  explicit TForeign(HWND Parent) {
    wchar_t Exe[MAX_PATH];
    GetModuleFileNameW(nullptr, Exe, MAX_PATH);
    std::wstring Path(Exe);
    Path = Path.substr(0, Path.find_last_of(L"\\/") + 1) + L"foreign_window.exe";
    wchar_t Arg[32];
    swprintf(Arg, 32, L" %llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(Parent)));
    std::wstring Cmd = L"\"" + Path + L"\"" + Arg;
    STARTUPINFOW SI{};
    SI.cb = sizeof SI;
    if (!CreateProcessW(Path.c_str(), Cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &SI, &PI)) return;
    // Messages are handled meanwhile: a child's creation notice comes to our window.
    PumpUntil([&] {
      Wnd = Parent ? FindWindowExW(Parent, nullptr, L"CbForeignWindow", nullptr)
                   : FindWindowW(L"CbForeignWindow", nullptr);
      // Ready once its creation is over (the property is set while it is created).
      return Wnd != nullptr && GetPropW(Wnd, L"ACSDATA") != nullptr;
    }, 10000);
  }
  ~TForeign() {
    if (Wnd) PostMessageW(Wnd, WM_CLOSE, 0, 0);
    if (PI.hProcess) {
      if (WaitForSingleObject(PI.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(PI.hProcess, 1);
      CloseHandle(PI.hProcess);
      CloseHandle(PI.hThread);
    }
  }
  LRESULT CommandsReceived() const {
    DWORD_PTR R = 0;
    SendMessageTimeoutW(Wnd, WM_APP, 0, 0, SMTO_BLOCK, 5000, &R);
    return static_cast<LRESULT>(R);
  }
};

TEST(OtherProcess, APointerInAnotherProcesssWindowIsNeverUsedAndNoCommandIsSentThere) {
  TForeign F(nullptr);
  ASSERT_TRUE(F.Wnd) << "the helper's window";
  ASSERT_NE(GetPropW(F.Wnd, L"ACSDATA"), nullptr) << "it does carry a value";
  EXPECT_FALSE(IsOwnProcessWindow(F.Wnd));
  EXPECT_EQ(CommonDataOfWindow(F.Wnd), nullptr);
  ASSERT_NE(GetPropW(F.Wnd, L"ClearbayControl"), nullptr);
  EXPECT_EQ(TWinControl::FindControl(F.Wnd), nullptr) << "the framework's own property is not trusted either";
  EXPECT_EQ(SendSkinCommand(F.Wnd, SKC_GETCOMMONDATA), 0);
  EXPECT_EQ(SendSkinCommand(F.Wnd, SKC_SKINLOADED), 0);
  EXPECT_EQ(F.CommandsReceived(), 0);
}

TEST(OtherProcess, AChildWindowOfAnotherProcessIsNeitherAnnouncedNorBroadcastTo) {
  TLog Log;
  TScene S;
  auto M = MakeManager();
  Record(&S.F, Log, "form");
  S.F.Show();
  Pump(30);
  TForeign F(S.Panel->WindowHandle());
  ASSERT_TRUE(F.Wnd) << "the helper's child window in the panel";
  Pump(30);
  M->UpdateSkin(true);
  Pump(30);
  EXPECT_EQ(F.CommandsReceived(), 0) << "the skin's broadcast stays in this process";
  for (const std::string& E : Log)
    EXPECT_NE(E, "form skc " + std::to_string(SKC_CONTROLADDED)) << "a window of another process is no control of ours";
}

}  // namespace
