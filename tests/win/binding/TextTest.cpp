// Captions in the skin's colours and symbols from the icon font.
#include <set>

#include "BindingFixture.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/SkinColors.h"
#include "skin/binding/sCharImageList.h"
#include "skin/binding/sSkinText.h"
#include "tests/support/ScopedHook.h"

namespace {

using namespace cb;
using namespace cb::test;

// A white 32-bit picture with a font that is never smoothed, so every pixel
// is either the background or one of the colours drawn.
struct TTextTarget {
  TDibBitmap Bmp{120, 30};
  HFONT Font = CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, L"Tahoma");
  TTextTarget() {
    Bmp.Bmp().Fill(0xFFFFFFFF);
    SelectObject(Bmp.Canvas(), Font);
  }
  ~TTextTarget() {
    SelectObject(Bmp.Canvas(), GetStockObject(SYSTEM_FONT));
    DeleteObject(Font);
  }
  std::set<std::uint32_t> Colours() {
    GdiFlush();
    std::set<std::uint32_t> S;
    for (int Y = 0; Y < Bmp.Height(); ++Y)
      for (int X = 0; X < Bmp.Width(); ++X) S.insert(SwapRB(Bmp.Bmp().Pixel(X, Y)) & 0xFFFFFF);
    return S;
  }
};

// The button straight on the (unskinned) form: its own section gives the colours.
struct TTextFixture : ::testing::Test {
  TScene S;
  std::unique_ptr<TsSkinManager> M = MakeManager();
  TTextFixture() { S.Button->SetParent(&S.F); }
  TsGenState& State0() {
    TacSkinData* D = S.Button->SD.CommonSkinData();
    return D->gd[size_t(S.Button->SD.SkinIndex())].Props[0];
  }
};

TEST_F(TTextFixture, ACaptionWithoutShadowsIsDrawnOnceInItsColourAndShadowsAddTheirs) {
  ASSERT_TRUE(S.Button->SD.Skinned());
  TsGenState& P = State0();
  P.FontColor = TsFontColor{0x000080, -1, -1, -1, -1};
  {
    TTextTarget T;
    DrawSkinnedText(T.Bmp.Canvas(), L"Declutra", true, false, M.get(), 0, S.Button->SD, DT_SINGLELINE, RECT{4, 4, 116, 26});
    EXPECT_EQ(T.Colours(), (std::set<std::uint32_t>{0xFFFFFF, 0x000080}));
  }
  P.FontColor = TsFontColor{0x000080, -1, -1, 0x00C000, 0xC00000};
  {
    TTextTarget T;
    DrawSkinnedText(T.Bmp.Canvas(), L"Declutra", true, false, M.get(), 0, S.Button->SD, DT_SINGLELINE, RECT{4, 4, 116, 26});
    EXPECT_EQ(T.Colours(), (std::set<std::uint32_t>{0xFFFFFF, 0x000080, 0x00C000, 0xC00000}));
  }
}

// Colours are 0x00BBGGRR. The tone is a system colour, so it must come from
// the skin's palette; each channel is tone * (the colour's largest channel) >> 8.
TEST_F(TTextFixture, TheControlsToneIsTheSkinsColourScaledByEachColoursLargestChannel) {
  M->Palette[pcMainColor] = 0xFFC040;
  S.Button->SD.FColorTone = 0xFF00000F;  // the button face
  State0().FontColor = TsFontColor{0x000080, -1, -1, -1, 0x00C000};
  TTextTarget T;
  DrawSkinnedText(T.Bmp.Canvas(), L"Declutra", true, false, M.get(), 0, S.Button->SD, DT_SINGLELINE,
                  RECT{4, 4, 116, 26});
  // Largest 0x80: 0x40*128>>8, 0xC0*128>>8, 0xFF*128>>8; largest 0xC0: 0x40*192>>8, 0xC0*192>>8, 0xFF*192>>8.
  EXPECT_EQ(T.Colours(), (std::set<std::uint32_t>{0xFFFFFF, 0x7F6020, 0xBF9030}));
}

// A section below that answers 0 hands the text to its control's font.
TEST_F(TTextFixture, WhenTheSectionBelowAnswersZeroTheTextTakesTheParentsFontColour) {
  S.Button->SetParent(S.Panel);
  S.Panel->Font()->SetColor(static_cast<TColor>(0x3366CC));
  S.Button->Font()->SetColor(static_cast<TColor>(0x0C0A08));
  ASSERT_NE(M->GetGlobalFontColor() & 0xFFFFFF, 0x3366CCu);
  auto AnswerZero = [](TMessage& Msg, const TWindowHookNext& Next) {
    if (Msg.Msg != SKM_COMMAND || CommandOf(Msg.WParam) != SKC_GETFONTSECTION) return Next(Msg);
    reinterpret_cast<TacFontSectionRequest*>(Msg.LParam)->Index = 0;
    Msg.Result = 1;
  };
  const int Button = S.Button->SD.SkinIndex();
  {
    TScopedHook Below(S.Panel, 0xF05, AnswerZero);
    EXPECT_EQ(TextColorFor(S.Button, Button, M.get(), S.Button->SD, 0), 0x3366CCu);
  }
  S.Button->SetParent(nullptr);
  TScopedHook Own(S.Button, 0xF05, AnswerZero);
  EXPECT_EQ(TextColorFor(S.Button, Button, M.get(), S.Button->SD, 0), 0x0C0A08u) << "no parent: its own font";
}

TEST_F(TTextFixture, ADisabledCaptionIsOneMixedColourNeverEmbossed) {
  TsGenState& P = State0();
  P.FontColor = TsFontColor{0x000080, 0x00C000, 0x00C000, 0x00C000, 0x00C000};
  TTextTarget T;
  DrawSkinnedText(T.Bmp.Canvas(), L"Declutra", false, false, M.get(), 0, S.Button->SD, DT_SINGLELINE, RECT{4, 4, 116, 26});
  const std::uint32_t Mixed = MixTwoColours(0x000080, M->GetGlobalColor(), DisabledSettings().Blend) & 0xFFFFFF;
  EXPECT_EQ(T.Colours(), (std::set<std::uint32_t>{0xFFFFFF, Mixed}));
}

TEST_F(TTextFixture, ACaptionOnASeeThroughButtonTakesTheColourOfThePanelUnderIt) {
  S.Button->SetParent(S.Panel);
  TacSkinData* D = S.Button->SD.CommonSkinData();
  const int Button = S.Button->SD.SkinIndex(), Panel = M->GetSkinIndex("PANEL");
  ASSERT_TRUE(SectionIsSeeThrough(*D, Button, 0)) << "MetroUI's speed button lets the panel show";
  ASSERT_FALSE(SectionIsSeeThrough(*D, Panel, 0));
  EXPECT_EQ(TextSectionFor(S.Button, Button, M.get(), 0, D), Panel);
  D->gd[size_t(Panel)].Props[0].FontColor = TsFontColor{0x123456, -1, -1, -1, -1};
  TTextTarget T;
  DrawSkinnedText(T.Bmp.Canvas(), L"Declutra", true, false, M.get(), 0, S.Button->SD, DT_SINGLELINE, RECT{4, 4, 116, 26});
  EXPECT_EQ(T.Colours(), (std::set<std::uint32_t>{0xFFFFFF, 0x123456}));
}

TEST_F(TTextFixture, WithoutASkinTheTextIsPlainAndADisabledOneEmbossed) {
  M->SetActive(false);
  TTextTarget T;
  DrawSkinnedText(T.Bmp.Canvas(), L"Declutra", false, false, M.get(), 0, S.Button->SD, DT_SINGLELINE, RECT{4, 4, 116, 26});
  const std::set<std::uint32_t> C = T.Colours();
  EXPECT_TRUE(C.count(GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF));
  EXPECT_GE(C.size(), 2u);
}

TEST(Symbols, TheCheckMarkAt11PixelsInRedIsRedWithItsCoverageAsAlpha) {
  ASSERT_TRUE(RegisterIconFont()) << "the awFont resource";
  TsCharImageList& L = StdCharList();
  ASSERT_EQ(L.Items.size(), 25u);
  std::unique_ptr<Bitmap32> B = L.CreateBitmap32Color(19, 11, 11, 0x0000FF, 11);
  ASSERT_TRUE(B);
  ASSERT_EQ(B->Width(), 11);
  int Opaque = 0, Clear = 0, Partial = 0;
  for (int Y = 0; Y < 11; ++Y)
    for (int X = 0; X < 11; ++X) {
      const std::uint32_t P = B->Pixel(X, Y), A = P >> 24;
      if (A == 0) {
        ++Clear;
        continue;
      }
      EXPECT_EQ(P & 0xFFFFFF, 0xFF0000u) << X << "," << Y << " is red in pixel order";
      if (A >= 200)
        ++Opaque;
      else
        ++Partial;
    }
  EXPECT_GT(Opaque, 3) << "the strokes";
  EXPECT_GT(Clear, 30) << "around them";
  EXPECT_GT(Partial, 0) << "smoothed edges";
  // The same request again is the cached image; another colour is rendered anew.
  EXPECT_TRUE(L.ItemIsCached(19));
  std::unique_ptr<Bitmap32> G = L.CreateBitmap32Color(19, 11, 11, 0x00FF00, 11);
  EXPECT_EQ(G->Pixel(5, 5) >> 24, B->Pixel(5, 5) >> 24);
  EXPECT_EQ(L.CreateBitmap32Color(25, 11, 11, 0, 11), nullptr) << "no such item";
}

TEST(Symbols, EveryStandardSymbolHasAGlyph) {
  TsCharImageList& L = StdCharList();
  for (int I = 0; I < 25; ++I) {
    std::unique_ptr<Bitmap32> B = L.CreateBitmap32Color(I, 16, 14, 0, 14);
    ASSERT_TRUE(B) << I;
    int Covered = 0;
    for (int Y = 0; Y < B->Height(); ++Y)
      for (int X = 0; X < B->Width(); ++X) Covered += (B->Pixel(X, Y) >> 24) > 0;
    EXPECT_GT(Covered, 4) << "symbol " << I << " drew nothing: its font is missing";
  }
}

}  // namespace

namespace {

// The picture of "计算器" drawn plainly in a font of the given face.
std::vector<std::uint32_t> DrawnIn(const wchar_t* Face) {
  TDibBitmap Bmp{80, 24};
  Bmp.Bmp().Fill(0xFFFFFFFF);
  HFONT Font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, NONANTIALIASED_QUALITY, 0, Face);
  HGDIOBJ Old = SelectObject(Bmp.Canvas(), Font);
  DrawPlainText(Bmp.Canvas(), L"计算器", true, DT_SINGLELINE, RECT{2, 2, 78, 22}, 0);
  SelectObject(Bmp.Canvas(), Old);
  DeleteObject(Font);
  GdiFlush();
  const Bitmap32& B = Bmp.Bmp();
  std::vector<std::uint32_t> Px;
  for (int Y = 0; Y < B.Height(); ++Y) Px.insert(Px.end(), B.Line(Y), B.Line(Y) + B.Width());
  return Px;
}

}  // namespace

// Chinese text in a face without Chinese glyphs (and no link to one) comes
// out in the program's fallback face, not as empty boxes; without a fallback
// face it stays as the font draws it.
TEST(Text, ChineseInALatinFaceIsDrawnInTheFallbackFace) {
  const auto Chinese = DrawnIn(L"微软雅黑");
  const auto Latin = DrawnIn(L"Courier New");
  ASSERT_NE(Latin, Chinese) << "this face shows Chinese itself here; the test needs one that does not";
  SetTextFallbackFace(L"微软雅黑");
  const auto Fallen = DrawnIn(L"Courier New");
  SetTextFallbackFace(L"");
  EXPECT_EQ(Fallen, Chinese);
  EXPECT_EQ(DrawnIn(L"Courier New"), Latin);
}
