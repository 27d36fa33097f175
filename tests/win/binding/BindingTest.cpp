// The control binding with plain test controls standing where the skinned
// ones will: a windowed panel and a windowless button bound to PANEL and
// SPEEDBUTTON, painting from the skin through their caches.
#include "BindingFixture.h"

namespace {

using namespace cb;
using namespace cb::test;

TEST(Binding, ALoadedSkinReachesEveryBoundControlInOrderAndResolvesTheirSections) {
  TLog Log;  // first: the recorders write into it until the scene is gone
  TScene S;
  Record(S.Panel, Log, "panel");
  Record(S.Button, Log, "button");
  EXPECT_FALSE(S.Button->SD.Skinned());
  auto M = MakeManager();
  ASSERT_EQ(M->SkinInfo(), L"14.01");
  // The form passes the news to the panel, which passes it to its button.
  const std::string Loaded = "skc " + std::to_string(SKC_SKINLOADED);
  ASSERT_GE(Log.size(), 2u);
  EXPECT_EQ(Log[0], "panel " + Loaded);
  auto Button = std::find(Log.begin(), Log.end(), "button " + Loaded);
  EXPECT_NE(Button, Log.end());
  EXPECT_EQ(S.Panel->SD.SkinIndex(), M->GetSkinIndex("PANEL"));
  EXPECT_EQ(S.Button->SD.SkinIndex(), M->GetSkinIndex("SPEEDBUTTON"));
  EXPECT_TRUE(S.Button->SD.Skinned(true));

  // Removed: both go back to unskinned.
  Log.clear();
  M->SetActive(false);
  EXPECT_EQ(S.Panel->SD.SkinIndex(), -1);
  EXPECT_EQ(S.Button->SD.SkinIndex(), -1);
  EXPECT_EQ(Log.front(), "panel skc " + std::to_string(SKC_SKINREMOVED));
}

TEST(Binding, AButtonPaintsItsSectionOverThePanelsPictureAndTurnsHotUnderThePointer) {
  TLog Log;
  TScene S;
  auto M = MakeManager();
  S.F.Show();
  SetForegroundWindow(S.F.Handle());
  Pump(80);
  Record(S.Panel, Log, "panel");
  S.Button->SD.BGChanged = true;
  S.Button->Repaint();
  // The button asked its parent for the background while painting.
  EXPECT_NE(std::find(Log.begin(), Log.end(), "panel skc " + std::to_string(SKC_GETBG)), Log.end());

  const int W = S.Panel->Width(), H = S.Panel->Height();
  const std::vector<std::uint32_t> Normal = Print(S.Panel->Handle(), W, H);
  auto At = [&](const std::vector<std::uint32_t>& P, int X, int Y) { return P[size_t(Y * W + X)]; };
  // Inside the button the picture is the section's, not the panel's.
  TacSkinData* D = M->CommonSkinData(96);
  const std::uint32_t PanelColor = static_cast<std::uint32_t>(D->gd[size_t(M->GetSkinIndex("PANEL"))].Props[0].Color) & 0xFFFFFF;
  EXPECT_EQ(SwapRB(At(Normal, 5, 5)), PanelColor);
  const int CX = S.Button->Left() + S.Button->Width() / 2, CY = S.Button->Top() + S.Button->Height() / 2;

  TPoint P = S.Button->ClientToScreen(TPoint(40, 11));
  MovePointer(P.X, P.Y);
  ASSERT_TRUE(PumpUntil([&] { return S.Button->SD.FMouseAbove; })) << "real pointer over the button";
  auto Settled = [&] { return !S.Button->SD.AnimTimer() || S.Button->SD.AnimTimer()->State == -1; };
  ASSERT_TRUE(PumpUntil(Settled)) << "the fade in ends";
  EXPECT_EQ(S.Button->SD.ControlState(), 1);
  EXPECT_EQ(M->ActiveGraphControl(), S.Button);
  const std::vector<std::uint32_t> Hot = Print(S.Panel->Handle(), W, H);
  EXPECT_NE(At(Hot, CX, CY), At(Normal, CX, CY)) << "the hot look differs";
  EXPECT_EQ(At(Hot, 5, 5), At(Normal, 5, 5)) << "the panel around it does not";

  TPoint Away = S.F.ClientToScreen(TPoint(300, 200));
  MovePointer(Away.X, Away.Y);
  ASSERT_TRUE(PumpUntil([&] { return !S.Button->SD.FMouseAbove; }));
  EXPECT_EQ(S.Button->SD.ControlState(), 0);
  ASSERT_TRUE(PumpUntil(Settled)) << "the fade out ends";
  EXPECT_EQ(Print(S.Panel->Handle(), W, H), Normal) << "back to the normal look exactly";
}

TEST(Binding, AnOwnerThatGoesIsNoLongerTheManagersActiveControl) {
  TScene S;
  auto M = MakeManager();
  S.Button->Perform(CM_MOUSEENTER);
  ASSERT_EQ(M->ActiveGraphControl(), S.Button);
  delete S.Button;
  S.Button = nullptr;
  EXPECT_EQ(M->ActiveGraphControl(), nullptr);
}

TEST(Binding, SectionNamesAreStoredUpperCaseAndTheSameTextChangesNothing) {
  TLog Log;
  TScene S;
  auto M = MakeManager();
  Record(S.Button, Log, "button");
  S.Button->SD.SetSkinSection(L"button");
  EXPECT_EQ(S.Button->SD.SkinSection(), L"BUTTON");
  EXPECT_EQ(S.Button->SD.SkinIndex(), M->GetSkinIndex("BUTTON"));
  const TLog Refresh{"button skc " + std::to_string(SKC_REFRESH), "button skc " + std::to_string(SKC_INVALIDATE)};
  EXPECT_EQ(Log, Refresh);
  Log.clear();
  S.Button->SD.SetSkinSection(L"BUTTON");
  EXPECT_TRUE(Log.empty()) << "exactly the stored text: nothing to do";
  S.Button->SD.SetSkinSection(L"button");
  EXPECT_EQ(Log, Refresh) << "other text is a change, even for the same section";
}

TEST(Binding, OnlyTheOutermostEndUpdateTellsTheOwner) {
  TLog Log;
  TScene S;
  auto M = MakeManager();
  Record(S.Button, Log, "button");
  S.Button->SD.BeginUpdate();
  S.Button->SD.BeginUpdate();
  EXPECT_TRUE(S.Button->SD.Updating());
  S.Button->SD.EndUpdate(true);
  EXPECT_EQ(Log, (TLog{"button skc " + std::to_string(SKC_BEGINUPDATE)}));
  S.Button->SD.EndUpdate(false);
  EXPECT_EQ(Log, (TLog{"button skc " + std::to_string(SKC_BEGINUPDATE), "button skc " + std::to_string(SKC_ENDUPDATE)}));
  EXPECT_FALSE(S.Button->SD.FUpdating);
}

}  // namespace
