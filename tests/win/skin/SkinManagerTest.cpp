// The skin manager component: loading while a description is read, telling
// the windows, activation and removal, the skin data per density.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../ui/UiTestUtil.h"
#include "sSkinManager.h"
#include "tests/support/MetroUIResource.h"
#include "skin/binding/sMessages.h"
#include "ui/ExtCtrls.h"
#include "ui/FormText.h"
#include "ui/StdCtrls.h"
#include "ui/UiText.h"

namespace {

using namespace cb;
using cb::test::MetroUIArchive;

// Records the skin commands its window receives, and whether it was still
// being read at the time.
class TSkinSpyForm : public TForm {
  CB_CLASS(TSkinSpyForm, TForm)
public:
  explicit TSkinSpyForm(TComponent* AOwner) : TForm(AOwner) {}
  std::vector<std::string> Log;
  TsSkinManager* Manager() const { return FindComponentAs<TsSkinManager>(L"sknmngr1"); }

protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == SKM_COMMAND) {
      std::string Entry = std::to_string(CommandOf(M.WParam));
      if (TsSkinManager* SM = Manager(); SM && (SM->ComponentState() & csLoading)) Entry += " while the manager is read";
      Log.push_back(Entry);
    }
    TForm::WndProc(M);
  }
};

std::string Description(const std::string& ManagerValues) {
  const std::vector<std::uint8_t> Data = MetroUIArchive();
  return "F: TSkinSpyForm {\n"
         "  ClientWidth = 200\n"
         "  ClientHeight = 100\n"
         "  sknmngr1: TsSkinManager {\n"
         "    ExtendedBorders = True\n" +
         ManagerValues +
         "    InternalSkins = <\n"
         "      {\n"
         "        Name = \"MetroUI (internal)\"\n"
         "        Data = base64 {\n" +
         EncodeBase64(Data.data(), Data.size()) +
         "\n        }\n"
         "      }\n"
         "    >\n"
         "    SkinDirectory = \"c:\\\\nowhere\"\n"
         "    SkinName = \"MetroUI\"\n"
         "  }\n"
         "}\n";
}

struct TManagerFixture : ::testing::Test {
  void SetUp() override {
    ASSERT_FALSE(MetroUIArchive().empty()) << "the archive resource";
    RegisterSkinManagerClasses();
    RegisterClasses<TSkinSpyForm>();
  }
  // A form with its window made before its description is read, so a
  // broadcast during reading would reach it.
  std::unique_ptr<TSkinSpyForm> Make(const std::string& ManagerValues = "") {
    auto F = std::make_unique<TSkinSpyForm>(nullptr);
    F->HandleNeeded();
    F->InitializeFormFromText(Description(ManagerValues));
    return F;
  }
};

TEST_F(TManagerFixture, TheDescriptionLoadsTheInternalSkinAndLoadedTellsTheWindowsOnce) {
  auto F = Make();
  TsSkinManager* M = F->Manager();
  ASSERT_NE(M, nullptr);
  EXPECT_EQ(F->Log, (std::vector<std::string>{std::to_string(SKC_SKINLOADED), std::to_string(SKC_SKINLISTLOADING)}))
      << "nothing while the manager is read; one broadcast from Loaded, then the skin list starts filling";
  EXPECT_EQ(M->GetSkinName(), L"MetroUI (internal)");
  EXPECT_EQ(M->SkinInfo(), L"14.01");
  EXPECT_TRUE(M->ExtendedBordersValue());
  EXPECT_EQ(DefaultManager(), M);
  EXPECT_TRUE(M->GlobalHookInstalled());
  EXPECT_TRUE(M->TimerCheckHot()->Enabled());
  ASSERT_FALSE(M->SkinDataArray.empty());
  EXPECT_FALSE(M->SkinDataArray[0]->gd.empty());
  EXPECT_GE(M->GetSkinIndex("BUTTON"), 0);
  EXPECT_EQ(M->ThirdLists(tlButtons), (std::vector<std::wstring>{L"TButton"}));
  EXPECT_EQ(M->ThirdLists(tlEdits), (std::vector<std::wstring>{L" "}));
}

TEST_F(TManagerFixture, RecolouringIsLimitedAndTheSameNameLoadsAgain) {
  auto F = Make();
  TsSkinManager* M = F->Manager();
  int Loads = 0;
  M->OnSkinLoading = [&](TObject*) { ++Loads; };
  F->Log.clear();
  M->SetSkinName(M->GetSkinName());
  EXPECT_EQ(Loads, 1);
  EXPECT_EQ(F->Log, (std::vector<std::string>{std::to_string(SKC_SKINLOADED)}));
  M->SetBrightness(150);
  EXPECT_EQ(M->GetBrightness(), 100);
  M->SetBrightness(-150);
  EXPECT_EQ(M->GetBrightness(), -100);
  EXPECT_EQ(M->SkinInfo(), L"14.01");
}

TEST_F(TManagerFixture, InactiveItOnlyStoresTheNameAndActiveAgainItLoads) {
  auto F = Make();
  TsSkinManager* M = F->Manager();
  int Deactivations = 0;
  M->OnDeactivate = [&](TObject*) { ++Deactivations; };
  F->Log.clear();
  M->SetActive(false);
  EXPECT_EQ(F->Log, (std::vector<std::string>{std::to_string(SKC_SKINREMOVED)}));
  EXPECT_EQ(M->SkinInfo(), L"N/A");
  EXPECT_EQ(Deactivations, 1);
  EXPECT_FALSE(M->GlobalHookInstalled());
  EXPECT_FALSE(M->TimerCheckHot()->Enabled());
  EXPECT_FALSE(StdDialogsSkinned());

  F->Log.clear();
  M->SetSkinName(L"MetroUI (internal)");
  EXPECT_TRUE(F->Log.empty()) << "an inactive manager only stores the name";
  EXPECT_EQ(M->SkinInfo(), L"N/A");
  M->SetActive(true);
  EXPECT_EQ(F->Log, (std::vector<std::string>{std::to_string(SKC_SKINLOADED)}));
  EXPECT_EQ(M->SkinInfo(), L"14.01");
  EXPECT_TRUE(StdDialogsSkinned());
}

TEST_F(TManagerFixture, ARefusedChangeKeepsTheOldNameAndTellsNobody) {
  auto F = Make();
  TsSkinManager* M = F->Manager();
  F->Log.clear();
  M->OnSkinChanging = [](TObject*, const std::wstring& Name, bool& Allow) { Allow = Name != L"Other"; };
  M->SetSkinName(L"Other");
  EXPECT_EQ(M->GetSkinName(), L"MetroUI (internal)");
  EXPECT_TRUE(F->Log.empty());
  EXPECT_FALSE(M->ManagerState() & msSkinChanging);
}

TEST_F(TManagerFixture, TheCreationHookGoesInOnceHoweverOftenTheSkinIsBroadcast) {
  auto F = Make();
  TsSkinManager* M = F->Manager();
  int Created = 0;
  SetCreationHookHandler([&](int Code, WPARAM, LPARAM) { Created += Code == HCBT_CREATEWND; });
  M->UpdateSkin(false);
  M->UpdateSkin(false);
  HWND W = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(W);
  EXPECT_EQ(Created, 1);
  M->UnInstallHook();
  W = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(W);
  EXPECT_EQ(Created, 1) << "one removal takes the hook off";
  SetCreationHookHandler(nullptr);
}

TEST_F(TManagerFixture, SkinDataPerDensityFollowsTheScaleRules) {
  auto F = Make();
  TsSkinManager* M = F->Manager();
  ASSERT_EQ(M->Options()->ScaleMode(), smVCL);
  const size_t Before = M->SkinDataArray.size();
  TacSkinData* D144 = M->CommonSkinData(144);
  ASSERT_EQ(M->SkinDataArray.size(), std::max<size_t>(Before, 3));
  EXPECT_EQ(M->SkinDataArray[2].get(), D144);
  EXPECT_EQ(D144->PPI, 144);
  EXPECT_FALSE(D144->gd.empty()) << "loaded at once, the 96 data having sections";
  if (Before < 2) {
    EXPECT_EQ(M->SkinDataArray[1], nullptr) << "no data for a density nobody asked for";
  }
  EXPECT_EQ(M->CommonSkinData(150), D144) << "the density's scale index decides";
  // Inactive: one of the empty data objects, at the asked density.
  M->SetActive(false);
  TacSkinData* Empty = M->CommonSkinData(120);
  EXPECT_TRUE(Empty->gd.empty());
  EXPECT_EQ(Empty->PPI, 120);
}

TEST_F(TManagerFixture, AManagerThatGoesRemovesTheSkinBeforeItsPartsAreFreed) {
  auto F = Make();
  TsSkinManager* M = F->Manager();
  int Deactivations = 0;
  M->OnDeactivate = [&](TObject*) { ++Deactivations; };
  F->Log.clear();
  delete M;
  EXPECT_EQ(F->Log, (std::vector<std::string>{std::to_string(SKC_SKINREMOVED)}));
  EXPECT_EQ(Deactivations, 1);
  EXPECT_EQ(DefaultManager(), nullptr);
  EXPECT_FALSE(StdDialogsSkinned());
}

TEST_F(TManagerFixture, AChangedSectionIsToldToEveryControlWindowedOrNotAtAnyDepth) {
  auto F = Make();
  TsSkinManager* M = F->Manager();
  ASSERT_NE(M, nullptr);
  auto* Outer = new TPanel(F.get());
  Outer->SetParent(F.get());
  auto* Inner = new TPanel(F.get());
  Inner->SetParent(Outer);
  auto* Label = new TLabel(F.get());
  Label->SetParent(Inner);
  std::vector<std::string> Heard;
  for (TControl* C : std::initializer_list<TControl*>{Outer, Inner, Label})
    C->AddWindowHook(0x5EC7, [&Heard, C, Outer, Inner](TMessage& Msg, const TWindowHookNext& Next) {
      if (Msg.Msg == SKM_COMMAND && CommandOf(Msg.WParam) == SKC_SECTIONCHANGED)
        Heard.push_back(std::string(C == Outer ? "outer " : C == Inner ? "inner " : "label ") +
                        WideToUtf8(reinterpret_cast<const wchar_t*>(Msg.LParam)));
      Next(Msg);
    });
  F->Log.clear();
  M->UpdateSkinSection(L"speedButton");
  EXPECT_EQ(F->Log, (std::vector<std::string>{std::to_string(SKC_SECTIONCHANGED)}));
  EXPECT_EQ(Heard, (std::vector<std::string>{"outer SPEEDBUTTON", "inner SPEEDBUTTON", "label SPEEDBUTTON"}));
  for (TControl* C : std::initializer_list<TControl*>{Outer, Inner, Label}) C->RemoveWindowHook(0x5EC7);
}

TEST(VersionBanner, AcverInAnyCaseShowsTheVersionOnce) {
  TBoxWatcher Box;
  Box.Start();
  ShowVersionBannerIfAsked({L"/x", L"/ACVER"});
  Box.Join();
  EXPECT_TRUE(Box.Seen);
  EXPECT_EQ(Box.Text, L"Lumiskin v14.31");
  TBoxWatcher Again;
  Again.Start();
  ShowVersionBannerIfAsked({L"/acver"});
  Pump(300);
  EXPECT_FALSE(Again.Seen) << "once per run";
  Again.Join();
}

}  // namespace
