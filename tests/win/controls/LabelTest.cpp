// The skinned label: its text colour from what lies under it, the disabled
// mix, sizing that keeps the right edge, and the ellipsis that always ends.
#include "ControlsFixture.h"
#include "sLabel.h"

namespace {

using namespace cb;
using namespace cb::test;

struct TLabelScene {
  TTestForm F{nullptr};
  TTestPanel* Panel = new TTestPanel(&F);
  TsLabel* OnForm = new TsLabel(&F);
  TsLabel* OnPanel = new TsLabel(&F);
  std::unique_ptr<TsSkinManager> M;
  TLabelScene() {
    F.Font()->SetName(L"微软雅黑");
    F.Font()->SetHeight(-12);
    Panel->SetBounds(20, 80, 200, 60);
    Panel->SetParent(&F);
    OnForm->SetBounds(20, 20, 80, 17);
    OnForm->SetCaption(L"提示");
    OnForm->SetParent(&F);
    OnPanel->SetBounds(10, 10, 80, 17);
    OnPanel->SetCaption(L"请多多支持~");
    OnPanel->SetParent(Panel);
    F.HandleNeeded();
    Panel->SD.Loaded();
    M = MakeManager();
    F.Show();
    Pump(50);
  }
  TacSkinData* D() { return M->CommonSkinData(96); }
  TColor FontColorOf(const char* Section) {
    return static_cast<TColor>(D()->gd[size_t(M->GetSkinIndex(Section))].Props[0].FontColor.Color & 0xFFFFFF);
  }
};

TEST(Label, TheTextColourComesFromTheSkinUnderTheLabelNotFromItsFont) {
  TLabelScene S;
  S.OnPanel->Font()->SetColor(clRed);
  S.OnForm->Font()->SetColor(clRed);
  // On a skinned panel: the panel's section's font colour.
  EXPECT_EQ(S.OnPanel->DrawColor(), S.FontColorOf("PANEL"));
  // On a form that answers nothing: the skin's label text colour.
  EXPECT_EQ(S.OnForm->DrawColor(), static_cast<TColor>(S.M->GetGlobalFontColor() & 0xFFFFFF));
  // Its own solid section wins; a section the skin lacks changes nothing.
  S.OnPanel->SetSkinSection(L"button");
  EXPECT_EQ(S.OnPanel->DrawColor(), S.FontColorOf("BUTTON"));
  S.OnPanel->SetSkinSection(L"NO_SUCH_SECTION");
  EXPECT_EQ(S.OnPanel->DrawColor(), S.FontColorOf("PANEL"));
  // Without the skin's colour, or without a skin: the font's.
  S.OnPanel->SetUseSkinColor(false);
  EXPECT_EQ(S.OnPanel->DrawColor(), clRed);
  S.OnPanel->SetUseSkinColor(true);
  S.M->SetActive(false);
  EXPECT_EQ(S.OnPanel->DrawColor(), clRed);
}

TEST(Label, ADisabledLabelMixesItsColourWithTheBackground) {
  TLabelScene S;
  S.OnPanel->SetUseSkinColor(false);
  S.OnPanel->Font()->SetColor(static_cast<TColor>(0x0000FF));
  S.OnPanel->SetEnabled(false);
  const std::uint32_t BG = static_cast<std::uint32_t>(SendSkinCommand(S.Panel, SKC_GETBGCOLOR)) & 0xFFFFFF;
  std::uint32_t Want = 0;
  for (int Shift = 0; Shift <= 16; Shift += 8)
    Want |= ((((0x0000FFu >> Shift) & 0xFF) * 100 + ((BG >> Shift) & 0xFF) * 155) >> 8) << Shift;
  EXPECT_EQ(static_cast<std::uint32_t>(S.OnPanel->DrawColor()), Want);
  EXPECT_NE(Want, 0x0000FFu);
}

// Labels paint one after another into the form's one composing context: each
// leaves it as it found it (font, text colour, background mode), and paints
// with the same font object every time rather than making one per paint.
TEST(Label, APaintLeavesTheContextAsItFoundItAndKeepsItsFontObject) {
  TLabelScene S;
  HFONT Own = S.OnForm->Font()->Handle();
  std::vector<std::uint32_t> First;
  for (int Round = 0; Round < 2; ++Round) {
    const std::vector<std::uint32_t> Pic = Capture32(80, 17, [&](HDC DC) {
      HFONT Other = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
      SelectObject(DC, Other);
      SetTextColor(DC, RGB(1, 2, 3));
      SetBkMode(DC, OPAQUE);
      PatBlt(DC, 0, 0, 80, 17, WHITENESS);
      S.OnForm->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
      EXPECT_EQ(GetCurrentObject(DC, OBJ_FONT), Other);
      EXPECT_EQ(GetTextColor(DC), RGB(1, 2, 3));
      EXPECT_EQ(GetBkMode(DC), OPAQUE);
    });
    if (Round == 0) First = Pic;
    EXPECT_EQ(Pic, First);
    EXPECT_NE(std::count(Pic.begin(), Pic.end(), 0xFFFFFFu), static_cast<long>(Pic.size())) << "the text was drawn";
    EXPECT_EQ(S.OnForm->Font()->Handle(), Own);
  }
}

TEST(Label, AutoSizeKeepsOneLineWhenEmptyAndTheRightEdgeWhenRightAligned) {
  TLabelScene S;
  const int OneLine = S.OnForm->Height();
  ASSERT_GT(OneLine, 0);
  S.OnForm->SetCaption(L"");
  EXPECT_EQ(S.OnForm->Height(), OneLine) << "an empty label keeps a line's height";
  S.OnForm->SetCaption(L"提示");
  S.OnForm->SetAlignment(taRightJustify);
  const int Right = S.OnForm->Left() + S.OnForm->Width();
  S.OnForm->SetCaption(L"当前版本：1.0  服务器版本：1.1");
  EXPECT_GT(S.OnForm->Width(), 60);
  EXPECT_EQ(S.OnForm->Left() + S.OnForm->Width(), Right);
  S.OnForm->SetCaption(L"短");
  EXPECT_EQ(S.OnForm->Left() + S.OnForm->Width(), Right);
  S.OnForm->SetAlignment(taLeftJustify);
  const int Left = S.OnForm->Left();
  S.OnForm->SetCaption(L"请多多支持~ 请多多支持~");
  EXPECT_EQ(S.OnForm->Left(), Left) << "others keep their left edge";
}

TEST(Label, TheEllipsisShortensEveryPassAndEndsEvenWithoutBlanks) {
  TLabelScene S;
  HDC DC = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, S.OnForm->Font()->Handle());
  const UINT F = DT_WORDBREAK | DT_END_ELLIPSIS;
  // Chinese text has no blanks: one character less per pass, until one line is left.
  const std::wstring Chinese = L"有新版本更新\n当前版本服务器版本\n请多多支持";
  std::wstring Out = S.OnForm->FittedText(DC, Chinese, 200, 18, F);
  EXPECT_EQ(Out, L"有新版本更新...");
  // With blanks: cut at the last one, word by word.
  Out = S.OnForm->FittedText(DC, L"one two\nthree four five", 200, 18, F);
  EXPECT_EQ(Out, L"one...");  // "one two\nthree", then "one"
  // Nothing fits: the loop ends with nothing left but the dots.
  EXPECT_EQ(S.OnForm->FittedText(DC, L"\n\n\n\n", 60, 0, F), L"...");
  EXPECT_EQ(S.OnForm->FittedText(DC, L"fits", 200, 40, F), L"fits");
  SelectObject(DC, Old);
  DeleteDC(DC);
  // Painted through: a wrapped, cut label paints and returns.
  S.OnForm->SetAutoSize(false);
  S.OnForm->SetWordWrap(true);
  S.OnForm->SetEllipsisPosition(epEndEllipsis);
  S.OnForm->SetBounds(20, 20, 40, 17);
  S.OnForm->SetCaption(Chinese);
  const std::vector<std::uint32_t> P = Print(S.F.Handle(), S.F.ClientWidth(), S.F.ClientHeight());
  EXPECT_FALSE(P.empty());
}

TEST(Label, ALabelTransparentForTheMouseLetsClicksThrough) {
  TLabelScene S;
  EXPECT_EQ(S.F.ControlAtPos(TPoint(25, 25)), S.OnForm);
  S.OnForm->SetTransparentForMouse(true);
  EXPECT_EQ(S.F.ControlAtPos(TPoint(25, 25)), nullptr);
}

void LabelLooksAt(int PPI) {
  TLabelScene S;
  S.Panel->SD.SetSkinSection(L"BUTTON");  // a gradient under the text
  if (PPI != 96) {
    S.F.ScaleForPPI(PPI);
    SendSkinCommand(S.Panel, SKC_SCALECHANGED, PPI);
  }
  Pump(30);
  TSheet Sheet{S.OnPanel->Width(), S.OnPanel->Height(), {}};
  for (bool Enabled : {true, false}) {
    S.OnPanel->SetEnabled(Enabled);
    const std::vector<std::uint32_t> Pic = Print(S.Panel->Handle(), S.Panel->Width(), S.Panel->Height());
    Sheet.Pieces.push_back(Crop(Pic, S.Panel->Width(), S.OnPanel->Left(), S.OnPanel->Top(), Sheet.W, Sheet.H));
  }
  EXPECT_NE(Sheet.Pieces[0], Sheet.Pieces[1]);
  ExpectAsAccepted("label_gradient_" + std::to_string(PPI), Sheet);
}

TEST(Label, RegressionGuardEnabledAndDisabledAsAcceptedAt96Dpi) { LabelLooksAt(96); }
TEST(Label, RegressionGuardEnabledAndDisabledAsAcceptedAt192Dpi) { LabelLooksAt(192); }

}  // namespace
