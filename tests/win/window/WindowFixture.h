// Forms skinned the way the program's are: a manager with the built-in skin
// and extended borders, the creation hook attaching providers, and helpers
// that record what a form receives and read what its border window shows.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../binding/BindingFixture.h"
#include "acBorderForm.h"
#include "acSkinHook.h"
#include "sSkinProvider.h"
#include "skin/paint/section/sGraphUtils.h"

namespace cb::test {

// A form of the program's kinds, positioned where the tests expect it.
class TFrameForm : public TForm {
public:
  TFrameForm(TFormBorderStyle BS, TBorderIcons BI, const std::wstring& Caption, int Left = 200, int Top = 150)
      : TForm(nullptr) {
    SetBorderStyle(BS);
    SetBorderIcons(BI);
    SetPosition(poDesigned);
    SetCaption(Caption);
    SetBounds(Left, Top, 420, 320);
  }
};

// The skin with extended borders and the hook, as the program has them.
struct TSkinnedScene {
  std::unique_ptr<TsSkinManager> M;
  TSkinnedScene() {
    InstallFormSkinning();
    Application->SetMainFormOnTaskBar(true);
    M = MakeManager();
    M->SetExtendedBorders(true);
  }
  ~TSkinnedScene() {
    M.reset();
    Pump(20);
  }
};

// The provider of a form (null when none).
inline TsSkinProvider* ProviderOf(TCustomForm& F) {
  return F.HandleAllocated() ? ProviderOfWindow(F.WindowHandle()) : nullptr;
}

inline TacBorderForm* BorderOf(TCustomForm& F) {
  TsSkinProvider* P = ProviderOf(F);
  return P ? P->BorderForm.get() : nullptr;
}

inline HWND BorderWnd(TCustomForm& F) {
  TacBorderForm* B = BorderOf(F);
  return B ? B->Handle() : nullptr;
}

inline void ShowAndSettle(TCustomForm& F) {
  F.Show();
  SetForegroundWindow(F.Handle());
  Pump(120);
}

// Names of the messages a form receives that tell the title bar's story.
inline std::string FrameMessageName(const TMessage& M) {
  switch (M.Msg) {
    case WM_NCACTIVATE: return M.WParam ? "ncactivate 1" : "ncactivate 0";
    case WM_NCLBUTTONDOWN: return "nclbuttondown";
    case WM_NCLBUTTONUP: return "nclbuttonup";
    case WM_LBUTTONUP: return "lbuttonup";
    case WM_CAPTURECHANGED: return "capturechanged";
    case WM_CANCELMODE: return "cancelmode";
    case WM_CLOSE: return "close";
    case WM_SYSCOMMAND:
      switch (M.WParam & 0xFFF0) {
        case SC_CLOSE: return "syscommand close";
        case SC_MINIMIZE: return "syscommand minimize";
        case SC_RESTORE: return "syscommand restore";
        case SC_MAXIMIZE: return "syscommand maximize";
        default: return "syscommand " + std::to_string(M.WParam & 0xFFF0);
      }
    default: return {};
  }
}

// Records, above the provider, what the form receives.
inline void RecordFrame(TControl* C, TLog& Log) {
  C->AddWindowHook(0xF0F0, [&Log](TMessage& M, const TWindowHookNext& Next) {
    std::string N = FrameMessageName(M);
    if (!N.empty()) Log.push_back(N);
    Next(M);
  });
}

// Screen position of an image point of a form.
inline POINT ImageToScreen(TsSkinProvider& P, POINT Image) {
  const POINT Origin = P.Frame->ScreenToImage(POINT{0, 0});
  return POINT{Image.x - Origin.x, Image.y - Origin.y};
}

inline POINT CentreOf(const RECT& R) { return POINT{(R.left + R.right) / 2, (R.top + R.bottom) / 2}; }

inline void MouseButton(DWORD Flags) {
  INPUT In{};
  In.type = INPUT_MOUSE;
  In.mi.dwFlags = Flags;
  SendInput(1, &In, sizeof In);
}

// The layered window's picture is the provider's frame image: a pixel of it, 0xAARRGGBB.
// A left click at a screen point, with the real pointer.
inline void Click(POINT P) {
  MovePointer(P.x, P.y);
  Pump(60);
  MouseButton(MOUSEEVENTF_LEFTDOWN);
  Pump(40);
  MouseButton(MOUSEEVENTF_LEFTUP);
}

// Two clicks within the double-click time. All four events are queued before
// any is handled: the first press may start a modal loop (a caption drag, a
// menu) that only the input still to come can end, as a hand would.
inline void DoubleClick(POINT P) {
  MovePointer(P.x, P.y);
  Pump(60);
  INPUT In[4]{};
  for (int I = 0; I < 4; ++I) {
    In[I].type = INPUT_MOUSE;
    In[I].mi.dwFlags = I % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
  }
  SendInput(4, In, sizeof(INPUT));
}

// A key pressed and let go while the given modifier is held.
inline void KeyWith(WORD Modifier, WORD Key) {
  INPUT In[4]{};
  for (INPUT& I : In) I.type = INPUT_KEYBOARD;
  In[0].ki.wVk = Modifier;
  In[1].ki.wVk = Key;
  In[2].ki.wVk = Key;
  In[2].ki.dwFlags = KEYEVENTF_KEYUP;
  In[3].ki.wVk = Modifier;
  In[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, In, sizeof(INPUT));
}

inline std::uint32_t ImagePixel(TsSkinProvider& P, int X, int Y) {
  TDibBitmap* B = P.Frame->FrameImage();
  return B && !B->Empty() ? B->Bmp().Pixel(X, Y) : 0;
}

// Sets a pixel of every state image of a section's border mask at a corner
// piece (0 top left, 1 top right, 2 bottom left, 3 bottom right) to the key
// colour, or to no alpha for a mask with its own alpha.
inline void ClearCornerPixel(TacSkinData& D, int Section, int Corner) {
  const TsMaskData& Mk = D.ma[size_t(D.gd[size_t(Section)].BorderIndex)];
  const Bitmap32* Src = MaskSource(Mk);
  ASSERT_TRUE(Src);
  const bool Alpha = Mk.MaskType == 0 && (Mk.DrawMode & 16);
  for (int I = 0; I < std::max<int>(1, Mk.ImageCount); ++I) {
    const int X = Mk.R.Left + I * Mk.Width + ((Corner & 1) ? Mk.Width - 1 : 0);
    const int Y = Mk.R.Top + ((Corner & 2) ? Mk.Height - 1 : 0);
    Src->SetPixel(X, Y, Alpha ? Src->Pixel(X, Y) & 0xFFFFFFu : 0xFFFF00FFu);
  }
}

}  // namespace cb::test
