// The skinned controls as the program's windows get them: read from a form
// description, after which each is bound to its section and drawn from it.
#include "ControlsFixture.h"
#include "acSlider.h"
#include "sButton.h"
#include "sControls.h"
#include "sLabel.h"
#include "sSpeedButton.h"

namespace {

using namespace cb;
using namespace cb::test;

TEST(Streaming, ControlsReadFromADescriptionAreSkinnedOnceLoaded) {
  auto M = MakeManager();
  RegisterStandardClasses();
  RegisterSkinControlClasses();
  TForm F(nullptr);
  ReadComponentFromText(&F, "F: TForm {\n"
                            "  ClientWidth = 300\n  ClientHeight = 120\n"
                            "  b: TsButton {\n    Left = 200\n    Top = 80\n    Width = 75\n    Height = 25\n"
                            "    Caption = \"确定\"\n    TabOrder = 0\n  }\n"
                            "  s: TsSpeedButton {\n    Left = 20\n    Top = 80\n    Width = 61\n    Height = 22\n"
                            "    Caption = \"检查更新\"\n  }\n"
                            "  l: TsLabel {\n    Left = 20\n    Top = 20\n    Caption = \"请多多支持~\"\n  }\n"
                            "  sw: TsSlider {\n    Left = 200\n    Top = 20\n    Width = 33\n    Height = 15\n  }\n"
                            "}\n");
  auto* B = dynamic_cast<TsButton*>(F.FindComponent(L"b"));
  auto* S = dynamic_cast<TsSpeedButton*>(F.FindComponent(L"s"));
  auto* L = dynamic_cast<TsLabel*>(F.FindComponent(L"l"));
  auto* SW = dynamic_cast<TsSlider*>(F.FindComponent(L"sw"));
  ASSERT_TRUE(B && S && L && SW);
  EXPECT_TRUE(B->SkinData()->Skinned());
  EXPECT_TRUE(S->SkinData()->Skinned());
  EXPECT_TRUE(SW->SkinData()->Skinned());
  EXPECT_TRUE(SW->SliderOn());
  EXPECT_EQ(SW->Thumb()->BoundsRect(), TRect(1, 1, 14, 14));
  EXPECT_TRUE(L->Transparent());
  EXPECT_EQ(SW->Caption(), L"") << "the track shows no name";
  F.Show();
  Pump(50);
  // The push button draws itself: its picture is not the form's plain face.
  const std::vector<std::uint32_t> P = Print(B->Handle(), B->Width(), B->Height());
  const std::uint32_t Face = ColorToRGB(F.Color());
  const std::uint32_t FacePx = ((Face & 0xFF) << 16) | (Face & 0xFF00) | ((Face >> 16) & 0xFF);
  EXPECT_NE(std::count(P.begin(), P.end(), FacePx), static_cast<long>(P.size()));
  EXPECT_NE(P[0], FacePx) << "the section's frame";
}

}  // namespace
