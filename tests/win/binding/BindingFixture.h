// Test controls standing where the skinned ones will: a windowed panel and a
// windowless button bound to PANEL and SPEEDBUTTON, painting from the skin
// through their caches, and a form that passes the manager's news on.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../skin/TinySkin.h"
#include "../ui/UiTestUtil.h"
#include "sSkinManager.h"
#include "tests/support/MetroUIResource.h"
#include "skin/binding/acThdTimer.h"
#include "skin/binding/sCommonData.h"
#include "ui/FormStreaming.h"
#include "ui/FormText.h"

namespace cb::test {

inline std::unique_ptr<TsSkinManager> MakeManager() {
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

inline std::string Name(const TMessage& M) {
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
inline void Record(TControl* C, TLog& Log, const std::string& Who) {
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
  bool Pressed = false;

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
    if (M.Msg == SKM_COMMAND && CommandOf(M.WParam) == SKC_PREPARECACHE) {
      SD.BGChanged = true;
      PaintThroughCache(*this, SD, PaintState());
      return;
    }
    if ((M.Msg == CM_MOUSEENTER || M.Msg == CM_MOUSELEAVE) && IsOwnMouseNotice(this, M)) {
      TGraphicControl::WndProc(M);
      AnimateStateChange(SD, M.Msg == CM_MOUSEENTER ? 1 : 0, nullptr, false, false, true);
      return;
    }
    TGraphicControl::WndProc(M);
  }
  int PaintState() const { return Pressed ? 2 : SD.ControlState(); }
  void Paint() override {
    if (!SD.Skinned()) {
      Canvas()->FillRect(ClientRect());
      return;
    }
    // While an animation runs, its picture is what shows.
    if (TacFadeTimer* T = SD.AnimTimer(); T && T->State != -1 && T->BmpOut && T->BmpOut->Width() == Width() &&
                                              T->BmpOut->Height() == Height()) {
      T->BmpOut->CopyTo(Canvas()->Handle(), 0, 0);
      return;
    }
    const int State = PaintState();
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
      switch (CommandOf(M.WParam)) {
        case SKC_SKINLOADED:
        case SKC_SKINREMOVED:
        case SKC_REFRESH:
        case SKC_FONTCHANGED:
        case SKC_STOPANIM:
          BroadcastSkinCommand(this, CommandOf(M.WParam), M.LParam, CommandArg(M.WParam));
          Invalidate();
          return;
        default: break;  // questions a form without a skin does not answer
      }
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

// The test scene under the small test skin, loaded before each test. Members
// that recorders write into must be declared before the scene by derived fixtures.
struct TTinySceneFixture : ::testing::Test {
  std::unique_ptr<TTinySkin> Skin;
  std::unique_ptr<TScene> S;
  std::unique_ptr<TsSkinManager> M;
  void SetUp() override {
    RegisterSkinManagerClasses();
    Skin = std::make_unique<TTinySkin>();
    S = std::make_unique<TScene>();
    M.reset(Skin->Load(nullptr));
    ASSERT_EQ(M->SkinInfo(), L"14.01");
  }
  void TearDown() override {
    M.reset();
    S.reset();
  }
};

// A 32-bit picture, W x H, of what Draw puts into a memory DC; colour only.
template <class TDraw>
std::vector<std::uint32_t> Capture32(int W, int H, TDraw Draw) {
  BITMAPINFO BI{};
  BI.bmiHeader = {sizeof(BITMAPINFOHEADER), W, -H, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* Bits = nullptr;
  HDC DC = CreateCompatibleDC(nullptr);
  HBITMAP B = CreateDIBSection(DC, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
  HGDIOBJ Old = SelectObject(DC, B);
  Draw(DC);
  GdiFlush();
  std::vector<std::uint32_t> Out(static_cast<const std::uint32_t*>(Bits), static_cast<const std::uint32_t*>(Bits) + W * H);
  SelectObject(DC, Old);
  DeleteObject(B);
  DeleteDC(DC);
  for (auto& P : Out) P &= 0xFFFFFF;
  return Out;
}

// A 32-bit picture of a window through WM_PRINT.
inline std::vector<std::uint32_t> Print(HWND Wnd, int W, int H) {
  return Capture32(W, H, [&](HDC DC) {
    SendMessageW(Wnd, WM_PRINT, reinterpret_cast<WPARAM>(DC), PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  });
}

inline RECT WindowRect(HWND W) {
  RECT R{};
  GetWindowRect(W, &R);
  return R;
}

inline RECT ClientOnScreen(HWND W) {
  RECT C{};
  GetClientRect(W, &C);
  MapWindowPoints(W, nullptr, reinterpret_cast<POINT*>(&C), 2);
  return C;
}

}  // namespace cb::test
