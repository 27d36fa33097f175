// The control binding with plain test controls standing where the skinned
// ones will: a windowed panel and a windowless button bound to PANEL and
// SPEEDBUTTON, painting from the skin through their caches.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../ui/UiTestUtil.h"
#include "sSkinManager.h"
#include "skin/paint/sCommonData.h"
#include "ui/FormStreaming.h"
#include "ui/FormText.h"

namespace {

using namespace cb;

std::vector<std::uint8_t> MetroUIArchive() {
  HRSRC R = FindResourceW(nullptr, L"METROUI", reinterpret_cast<LPCWSTR>(RT_RCDATA));
  if (!R) return {};
  auto* P = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, R)));
  return {P, P + SizeofResource(nullptr, R)};
}

std::unique_ptr<TsSkinManager> MakeManager() {
  RegisterSkinManagerClasses();
  auto M = std::make_unique<TsSkinManager>(nullptr);
  const std::vector<std::uint8_t> Data = MetroUIArchive();
  std::string Text = "M: TsSkinManager {\n  InternalSkins = <\n    {\n      Name = \"MetroUI (internal)\"\n"
                     "      Data = base64 {\n" +
                     EncodeBase64(Data.data(), Data.size()) +
                     "\n      }\n    }\n  >\n  SkinDirectory = \"c:\\\\nowhere\"\n  SkinName = \"MetroUI\"\n}\n";
  ReadComponentFromText(M.get(), Text);
  return M;
}

using TLog = std::vector<std::string>;

std::string Name(const TMessage& M) {
  if (M.Msg == SKM_COMMAND) {
    // Questions asked on the way (is it skinned, its binding, its section) are not steps.
    const TacSkinCommand C = CommandOf(M.WParam);
    if (C == SKC_ISSKINNED || C == SKC_GETCOMMONDATA || C == SKC_GETDEFINDEX) return {};
    return "skc " + std::to_string(C);
  }
  if (M.Msg == CM_MOUSEENTER) return "enter";
  if (M.Msg == CM_MOUSELEAVE) return "leave";
  if (M.Msg == WM_PAINT) return "paint";
  return {};
}

// Records, on top of everything, the skin commands and notices a control receives.
void Record(TControl* C, TLog& Log, const std::string& Who) {
  C->AddWindowHook(0x5EC, [&Log, Who](TMessage& M, const TWindowHookNext& Next) {
    std::string N = Name(M);
    if (!N.empty()) Log.push_back(Who + " " + N);
    Next(M);
  });
}

// Paints its section into its cache over the parent's background, then shows the cache.
template <class Base>
void PaintThroughCache(Base& Owner, TsCommonData& SD, int State) {
  if (!SD.BGChanged && SD.CacheBmp() && !SD.CacheBmp()->Empty()) return;
  SD.PrepareCacheBmp();
  TCacheInfo CI;
  SD.GetParentBG(CI);
  Bitmap32& B = SD.CacheBmp()->Bmp();
  PaintSection(SD, CI, true, State, B, BmpPoint(0, 0), B.Bounds());
  SD.BGChanged = false;
  (void)Owner;
}

class TTestPanel : public TCustomControl {
public:
  explicit TTestPanel(TComponent* AOwner) : TCustomControl(AOwner), SD(this, COC_TsPanel) {
    SD.DefaultSection = L"PANEL";
  }
  TsCommonData SD;

protected:
  void WndProc(TMessage& M) override {
    switch (M.Msg) {
      case SKM_COMMAND:
        switch (CommandOf(M.WParam)) {
          case SKC_GETDEFINDEX:
            M.Result = SD.SkinManager() ? SD.SkinManager()->GetSkinIndex("PANEL") + 1 : 0;
            return;
          case SKC_PREPARECACHE: PaintThroughCache(*this, SD, SD.ControlState()); return;
          case SKC_SKINLOADED:
          case SKC_SKINREMOVED:
          case SKC_REFRESH:
            BroadcastSkinCommand(this, CommandOf(M.WParam), M.LParam);
            Invalidate();
            return;
          default: break;
        }
        break;
      case WM_ERASEBKGND:
        if (!SD.Skinned()) break;
        M.Result = 1;
        return;
      case WM_PAINT:
        if (!SD.Skinned()) break;
        {
          PAINTSTRUCT PS{};
          HDC DC = M.WParam ? reinterpret_cast<HDC>(M.WParam) : BeginPaint(WindowHandle(), &PS);
          PaintThroughCache(*this, SD, SD.ControlState());
          RECT R{0, 0, Width(), Height()};
          PaintCacheToDC(this, SD, POINT{0, 0}, false, DC, R);
          PaintWindowlessChildren(DC, this, POINT{0, 0});
          if (!M.WParam) EndPaint(WindowHandle(), &PS);
        }
        return;
      default: break;
    }
    TCustomControl::WndProc(M);
  }
};

class TTestButton : public TGraphicControl {
public:
  explicit TTestButton(TComponent* AOwner) : TGraphicControl(AOwner), SD(this, COC_TsSpeedButton) {
    SD.DefaultSection = L"SPEEDBUTTON";
  }
  TsCommonData SD;
  int LastState = -1;

protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == SKM_COMMAND) {
      switch (CommandOf(M.WParam)) {
        case SKC_GETDEFINDEX:
          M.Result = SD.SkinManager() ? SD.SkinManager()->GetSkinIndex("SPEEDBUTTON") + 1 : 0;
          return;
        case SKC_INVALIDATE: Repaint(); return;
        default: break;
      }
    }
    if (M.Msg == CM_MOUSEENTER || M.Msg == CM_MOUSELEAVE) {
      TGraphicControl::WndProc(M);
      SD.BGChanged = true;
      Repaint();
      return;
    }
    TGraphicControl::WndProc(M);
  }
  void Paint() override {
    if (!SD.Skinned()) {
      Canvas()->FillRect(ClientRect());
      return;
    }
    const int State = SD.ControlState();
    if (State != LastState) SD.BGChanged = true;
    LastState = State;
    PaintThroughCache(*this, SD, State);
    SD.CacheBmp()->CopyTo(Canvas()->Handle(), 0, 0);
  }
};

// Stands in for a form's skin provider: passes the manager's news on.
class TTestForm : public TForm {
public:
  explicit TTestForm(TComponent* AOwner) : TForm(AOwner) {
    SetBorderStyle(bsSingle);
    SetPosition(poDesigned);
    SetBounds(100, 100, 360, 240);
  }

protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == SKM_COMMAND) {
      BroadcastSkinCommand(this, CommandOf(M.WParam), M.LParam, CommandArg(M.WParam));
      Invalidate();
      return;
    }
    TForm::WndProc(M);
  }
};

struct TScene {
  TTestForm F{nullptr};
  TTestPanel* Panel = new TTestPanel(&F);
  TTestButton* Button = new TTestButton(&F);
  TScene() {
    Panel->SetBounds(20, 20, 200, 120);
    Panel->SetParent(&F);
    Button->SetBounds(30, 40, 87, 22);
    Button->SetParent(Panel);
    F.HandleNeeded();
    Panel->SD.Loaded();
    Button->SD.Loaded();
  }
};

// A 32-bit picture of a window through WM_PRINT.
std::vector<std::uint32_t> Print(HWND Wnd, int W, int H) {
  BITMAPINFO BI{};
  BI.bmiHeader = {sizeof(BITMAPINFOHEADER), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* Bits = nullptr;
  HDC DC = CreateCompatibleDC(nullptr);
  HBITMAP B = CreateDIBSection(DC, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
  HGDIOBJ Old = SelectObject(DC, B);
  SendMessageW(Wnd, WM_PRINT, reinterpret_cast<WPARAM>(DC), PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  GdiFlush();
  std::vector<std::uint32_t> Out(static_cast<const std::uint32_t*>(Bits), static_cast<const std::uint32_t*>(Bits) + W * H);
  SelectObject(DC, Old);
  DeleteObject(B);
  DeleteDC(DC);
  for (auto& P : Out) P &= 0xFFFFFF;
  return Out;
}

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
  EXPECT_EQ(S.Button->SD.ControlState(), 1);
  EXPECT_EQ(M->ActiveGraphControl(), S.Button);
  const std::vector<std::uint32_t> Hot = Print(S.Panel->Handle(), W, H);
  EXPECT_NE(At(Hot, CX, CY), At(Normal, CX, CY)) << "the hot look differs";
  EXPECT_EQ(At(Hot, 5, 5), At(Normal, 5, 5)) << "the panel around it does not";

  TPoint Away = S.F.ClientToScreen(TPoint(300, 200));
  MovePointer(Away.X, Away.Y);
  ASSERT_TRUE(PumpUntil([&] { return !S.Button->SD.FMouseAbove; }));
  EXPECT_EQ(S.Button->SD.ControlState(), 0);
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
