// What the default manager does with the application window's messages: a
// skin editor's live preview (another program's data), the show state of
// system commands, theme changes and the invalidate request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "../ui/UiTestUtil.h"
#include "TinySkin.h"
#include "skin/binding/sMessages.h"

namespace {

using namespace cb;
using namespace cb::test;

std::vector<std::uint8_t> Record(const std::string& Name, const std::wstring& Dir, const std::string& Text,
                                 std::uint32_t Magic = kPreviewMagic) {
  std::vector<std::uint8_t> R(kPreviewSize, 0);
  std::memcpy(R.data(), &Magic, 4);
  std::memcpy(R.data() + kPreviewNameAt, Name.data(), Name.size());
  const std::string D(Dir.begin(), Dir.end());  // the temporary folder's name is ASCII
  std::memcpy(R.data() + kPreviewDirAt, D.data(), D.size());
  std::memcpy(R.data() + kPreviewTextAt, Text.data(), std::min(Text.size(), kPreviewTextSize));
  return R;
}

LRESULT Send(const std::vector<std::uint8_t>& Data, WPARAM Kind = kPreviewCopyDataKind, DWORD Size = 0) {
  COPYDATASTRUCT CD{0, Size ? Size : static_cast<DWORD>(Data.size()), const_cast<std::uint8_t*>(Data.data())};
  return SendMessageW(Application->Handle(), WM_COPYDATA, Kind, reinterpret_cast<LPARAM>(&CD));
}

// Has the probe send the record with WM_COPYDATA from its own process (as a
// skin editor does) while this thread serves the window; the probe's answer.
LRESULT SendFromProbe(const std::vector<std::uint8_t>& Data, WPARAM Kind = kPreviewCopyDataKind, DWORD Size = kPreviewSize) {
  wchar_t Exe[MAX_PATH], Tmp[MAX_PATH];
  GetModuleFileNameW(nullptr, Exe, MAX_PATH);
  std::wstring Probe = Exe;
  Probe = Probe.substr(0, Probe.find_last_of(L'\\')) + L"\\..\\..\\doubles\\probe.exe";
  GetTempPathW(MAX_PATH, Tmp);
  static int Serial = 0;
  const std::wstring In = std::wstring(Tmp) + L"cb_preview_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                          std::to_wstring(++Serial) + L".bin";
  HANDLE F = CreateFileW(In.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD W = 0;
  WriteFile(F, Data.data(), DWORD(Data.size()), &W, nullptr);
  CloseHandle(F);
  SECURITY_ATTRIBUTES SA{sizeof SA, nullptr, TRUE};
  HANDLE Read = nullptr, O = nullptr;
  CreatePipe(&Read, &O, &SA, 0);
  SetHandleInformation(Read, HANDLE_FLAG_INHERIT, 0);
  std::wstring Cmd = L"\"" + Probe + L"\" copydata --hwnd " +
                     std::to_wstring(reinterpret_cast<std::intptr_t>(Application->Handle())) + L" --file \"" + In +
                     L"\" --kind " + std::to_wstring(Kind) + L" --size " + std::to_wstring(Size);
  STARTUPINFOW SI{};
  SI.cb = sizeof SI;
  SI.dwFlags = STARTF_USESTDHANDLES;
  SI.hStdOutput = SI.hStdError = O;
  PROCESS_INFORMATION PI{};
  const bool Started = CreateProcessW(nullptr, Cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &SI, &PI);
  CloseHandle(O);
  EXPECT_TRUE(Started) << "the probe at " << std::string(Probe.begin(), Probe.end());
  LRESULT Answer = -1;
  if (Started) {
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(PI.hProcess, 0) == WAIT_OBJECT_0; }, 15000));
    CloseHandle(PI.hThread);
    CloseHandle(PI.hProcess);
    char Buf[256] = {};
    DWORD Got = 0;
    ReadFile(Read, Buf, sizeof Buf - 1, &Got, nullptr);
    const std::string Text(Buf, Got);
    const auto At = Text.find("\"result\":");
    if (At != std::string::npos) Answer = std::atoi(Text.c_str() + At + 9);
  }
  CloseHandle(Read);
  DeleteFileW(In.c_str());
  return Answer;
}

const std::string kPreviewOptions =
    "[GLOBALINFO]\r\nVERSION=14.01\r\nMASTERBITMAP=MASTER.BMP\r\nCOLOR=255\r\n"
    "[SPEEDBUTTON]\r\nSTATES=3\r\nCOLOR=4660\r\n";

struct THookFixture : ::testing::Test {
  std::unique_ptr<TTinySkin> Skin;
  std::unique_ptr<TsSkinManager> M;
  void SetUp() override {
    RegisterSkinManagerClasses();
    Skin = std::make_unique<TTinySkin>();
    M.reset(Skin->Load(nullptr));
    ASSERT_EQ(DefaultManager(), M.get());
    ASSERT_EQ(M->SkinInfo(), L"14.01");
  }
  std::uint32_t ButtonColour() {
    const int I = M->GetSkinIndex("SPEEDBUTTON");
    return I < 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(M->SkinDataArray[0]->gd[static_cast<size_t>(I)].Props[0].Color);
  }
};

TEST_F(THookFixture, APreviewRecordLoadsItsOptionsTextInPlaceOfTheSkinsFile) {
  ASSERT_EQ(ButtonColour(), 3316172u) << "the file's colour";
  int Changes = 0;
  M->OnAfterChange = [&](TObject*) { ++Changes; };
  EXPECT_EQ(Send(Record("Tiny", Skin->Dir, kPreviewOptions)), 1);
  EXPECT_EQ(ButtonColour(), 3316172u) << "applied later, from the posted command";
  ASSERT_TRUE(PumpUntil([&] { return Changes > 0; }));
  EXPECT_EQ(ButtonColour(), 4660u);
  EXPECT_EQ(M->Palette[pcMainColor], 255u);
  EXPECT_EQ(M->GetSkinName(), L"Tiny");
  EXPECT_FALSE(M->PreviewPending) << "the text is used for this load only";
  EXPECT_TRUE(M->MasterBitmap) << "images still come from the skin's folder";
}

TEST_F(THookFixture, APreviewOfAnUnknownSkinStillLoadsFromItsText) {
  int Changes = 0;
  M->OnAfterChange = [&](TObject*) { ++Changes; };
  Send(Record("Ghost", Skin->Dir, kPreviewOptions));
  ASSERT_TRUE(PumpUntil([&] { return Changes > 0; }));
  EXPECT_EQ(M->GetSkinName(), L"Ghost");
  EXPECT_EQ(M->SkinInfo(), L"14.01");
  EXPECT_EQ(ButtonColour(), 4660u);
  EXPECT_FALSE(M->MasterBitmap) << "no such folder: no images";
}

TEST_F(THookFixture, OtherCopyDataIsSwallowedAndNothingIsReadBeyondWhatCame) {
  int Changes = 0;
  M->OnAfterChange = [&](TObject*) { ++Changes; };
  EXPECT_EQ(Send(Record("Ghost", Skin->Dir, kPreviewOptions, 0xA401)), 0);
  EXPECT_EQ(Send(Record("Ghost", Skin->Dir, kPreviewOptions), 8), 0);
  // Only the magic arrives: the rest of the record is empty, nothing is read past it.
  std::vector<std::uint8_t> Short(4);
  const std::uint32_t Magic = kPreviewMagic;
  std::memcpy(Short.data(), &Magic, 4);
  EXPECT_EQ(Send(Short, kPreviewCopyDataKind, 2), 0) << "too short for a magic";
  Pump(50);
  EXPECT_EQ(Changes, 0);
  EXPECT_EQ(M->GetSkinName(), L"Tiny");
  EXPECT_EQ(ButtonColour(), 3316172u);
}

TEST_F(THookFixture, AnotherProgramsRecordIsShownOnlyWhenItCameWholeAndAnnouncedItself) {
  const TTinySkin Other;  // the record's directory, with images of its own
  int Changes = 0;
  M->OnAfterChange = [&](TObject*) { ++Changes; };
  const std::vector<std::uint8_t> R = Record("Tiny", Other.Dir, kPreviewOptions);
  EXPECT_EQ(SendFromProbe(R, kPreviewCopyDataKind, kPreviewSize - 1), 0) << "one byte short";
  EXPECT_EQ(SendFromProbe(Record("Tiny", Other.Dir, kPreviewOptions, 0xA401)), 0) << "wrong magic";
  EXPECT_EQ(SendFromProbe(R, 6), 0) << "wrong kind";
  Pump(50);
  EXPECT_EQ(Changes, 0);
  EXPECT_EQ(M->GetSkinDirectory(), Skin->Dir);
  EXPECT_EQ(ButtonColour(), 3316172u);

  EXPECT_EQ(SendFromProbe(R), 1);
  ASSERT_TRUE(PumpUntil([&] { return Changes > 0; }));
  EXPECT_EQ(M->InternalSkins.IndexOf(u"Tiny"), -1) << "not an internal skin";
  EXPECT_EQ(M->GetSkinName(), L"Tiny");
  EXPECT_EQ(M->GetSkinDirectory(), Other.Dir);
  EXPECT_EQ(ButtonColour(), 4660u) << "the options come from the record";
  EXPECT_EQ(M->Palette[pcMainColor], 255u);
  EXPECT_TRUE(M->MasterBitmap) << "the images come from the record's directory";
  EXPECT_FALSE(M->PreviewPending);
}

TEST_F(THookFixture, SystemCommandsRecordTheShowStateAndThemeChangesStopAtTheManager) {
  bool AppSawTheme = false;
  // Hooks run newest first: one added before the manager's sees only what it passes on.
  M.reset();
  const int Id = Application->HookMainWindow([&](TMessage& Msg) {
    AppSawTheme |= Msg.Msg == WM_THEMECHANGED;
    return false;
  });
  M.reset(Skin->Load(nullptr));
  SendMessageW(Application->Handle(), WM_THEMECHANGED, 0, 0);
  EXPECT_FALSE(AppSawTheme);
  SendMessageW(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(M->ShowAction(), saMinimize);
  SendMessageW(Application->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_EQ(M->ShowAction(), saRestore);
  SendMessageW(Application->Handle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
  EXPECT_EQ(M->ShowAction(), saIgnore);
  M.reset();
  SendMessageW(Application->Handle(), WM_THEMECHANGED, 0, 0);
  EXPECT_TRUE(AppSawTheme) << "the manager's hook went with it";
  Application->UnhookMainWindow(Id);
}

// Records the skin commands its window receives.
class TCommandSpy : public TForm {
public:
  using TForm::TForm;
  std::vector<int> Commands;

protected:
  void WndProc(TMessage& Msg) override {
    if (Msg.Msg == SKM_COMMAND) Commands.push_back(CommandOf(Msg.WParam));
    TForm::WndProc(Msg);
  }
};

TEST_F(THookFixture, TheActivateRequestInvalidatesEveryForm) {
  TCommandSpy A(nullptr), B(nullptr);
  A.HandleNeeded();
  B.HandleNeeded();
  SendMessageW(Application->Handle(), CM_ACTIVATE, 0, 0);
  EXPECT_EQ(A.Commands, (std::vector<int>{SKC_INVALIDATE}));
  EXPECT_EQ(B.Commands, (std::vector<int>{SKC_INVALIDATE}));
}

}  // namespace
