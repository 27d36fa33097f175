// The skinned panel: its section by bevel, the caption, the side shadow, the
// commands it answers and passes on, and its windowless children.
#include "ControlsFixture.h"
#include "sPanel.h"
#include "sSpeedButton.h"

namespace {

using namespace cb;
using namespace cb::test;

struct TPanelScene {
  TTestForm F{nullptr};
  TsPanel* P = new TsPanel(&F);
  TsSpeedButton* Child = new TsSpeedButton(&F);
  std::unique_ptr<TsSkinManager> M;
  TPanelScene() {
    F.Font()->SetName(L"微软雅黑");
    F.Font()->SetHeight(-12);
    P->SetBounds(20, 20, 200, 80);
    P->SetParent(&F);
    Child->SetBounds(10, 48, 87, 22);
    Child->SetCaption(L"关于");
    Child->SetParent(P);
    F.HandleNeeded();
    P->SkinData()->Loaded();
    Child->SkinData()->Loaded();
    M = MakeManager();
    F.Show();
    Pump(50);
  }
  std::vector<std::uint32_t> Picture() { return Print(P->Handle(), P->Width(), P->Height()); }
  std::vector<std::uint32_t> Cache() {
    P->SkinData()->BGChanged = true;
    EXPECT_TRUE(P->PrepareCache());
    const Bitmap32& B = P->SkinData()->CacheBmp()->Bmp();
    std::vector<std::uint32_t> Out;
    for (int Y = 0; Y < B.Height(); ++Y)
      for (int X = 0; X < B.Width(); ++X) Out.push_back(B.Pixel(X, Y) & 0xFFFFFF);
    return Out;
  }
};

TEST(Panel, TheBevelChoosesTheSectionAndABorderChangeSwitchesIt) {
  TPanelScene S;
  EXPECT_EQ(S.P->SkinData()->SkinIndex(), S.M->GetSkinIndex("PANEL"));
  S.P->SetBevelOuter(bvLowered);
  EXPECT_EQ(S.P->SkinData()->SkinIndex(), S.M->GetSkinIndex("PANEL_LOW"));
  S.P->SetBevelOuter(bvNone);
  EXPECT_EQ(S.P->SkinData()->SkinIndex(), S.M->GetSkinIndex("TRANSPARENT"));
  S.P->SetBevelOuter(bvRaised);
  EXPECT_EQ(S.P->SkinData()->SkinIndex(), S.M->GetSkinIndex("PANEL"));
  EXPECT_EQ(SendSkinCommand(S.P, SKC_ISSKINNED), 1);
}

TEST(Panel, NoCaptionOrShowCaptionOffLeavesTheSectionAsPainted) {
  TPanelScene S;
  S.P->SetCaption(L"");
  const auto Bare = S.Cache();
  S.P->SetCaption(L"提示");
  const auto With = S.Cache();
  EXPECT_NE(With, Bare);
  S.P->SetShowCaption(false);
  EXPECT_EQ(S.Cache(), Bare);
}

TEST(Panel, ASideShadowInModeOneDarkensOnlyItsBandAndModeZeroNothing) {
  TPanelScene S;
  S.P->SetCaption(L"");
  const auto Bare = S.Cache();
  S.P->SideShadow()->SetMode(0);
  S.P->SideShadow()->SetBlend(100);
  EXPECT_EQ(S.Cache(), Bare);
  S.P->SideShadow()->SetMode(1);
  const auto Shadowed = S.Cache();
  const int W = S.P->Width();
  EXPECT_EQ(Shadowed[size_t(40 * W + 100)], Bare[size_t(40 * W + 100)]) << "outside the band";
  EXPECT_LT(Shadowed[size_t(40 * W + W - 1)] & 0xFF, Bare[size_t(40 * W + W - 1)] & 0xFF) << "the edge is darker";
}

TEST(Panel, AnEraseFromTheSystemPaintsNothingAndIsAnswered) {
  TPanelScene S;
  TDibBitmap B(S.P->Width(), S.P->Height());
  B.Bmp().Fill(0xFF123456);
  const LRESULT R = SendMessageW(S.P->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(B.Canvas()), 0);
  GdiFlush();
  EXPECT_EQ(R, 1);
  EXPECT_EQ(B.Bmp().Pixel(5, 5), 0xFF123456u);
}

TEST(Panel, SkinNewsReachesTheChildrenAfterThePanel) {
  TLog Log;
  TPanelScene S;
  Record(S.P, Log, "panel");
  Record(S.Child, Log, "button");
  S.M->SetActive(false);
  S.M->SetActive(true);
  const std::string Removed = "skc " + std::to_string(SKC_SKINREMOVED), Loaded = "skc " + std::to_string(SKC_SKINLOADED);
  auto At = [&](const std::string& E) { return std::find(Log.begin(), Log.end(), E) - Log.begin(); };
  ASSERT_LT(At("panel " + Removed), At("button " + Removed));
  ASSERT_LT(At("button " + Removed), At("panel " + Loaded));
  ASSERT_LT(At("panel " + Loaded), At("button " + Loaded));
  EXPECT_LT(At("button " + Loaded), static_cast<long>(Log.size()));
  EXPECT_TRUE(S.Child->SkinData()->Skinned());
}

void PanelLooksAt(int PPI) {
  TPanelScene S;
  S.P->SetCaption(L"提示");
  S.P->SideShadow()->SetMode(1);
  if (PPI != 96) {
    S.F.ScaleForPPI(PPI);
    SendSkinCommand(S.P, SKC_SCALECHANGED, PPI);
    Pump(30);
  }
  S.P->SkinData()->BGChanged = true;
  TSheet Sheet{S.P->Width(), S.P->Height(), {S.Picture()}};
  ExpectAsAccepted("panel_" + std::to_string(PPI), Sheet);
}

TEST(Panel, RegressionGuardCaptionShadowAndChildAsAcceptedAt96Dpi) { PanelLooksAt(96); }
TEST(Panel, RegressionGuardCaptionShadowAndChildAsAcceptedAt192Dpi) { PanelLooksAt(192); }

}  // namespace
