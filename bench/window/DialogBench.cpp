// A notice box from the call until it is fully painted, with the skin's frame
// and shadow, beside the same box unskinned, in one run; and Wine's own floor
// for the window operations a skinned box adds (a layered window made,
// given its picture and shown). 95th percentiles over 100 boxes each.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "acDialogWnd.h"
#include "acSkinHook.h"
#include "acSubclassIds.h"
#include "bench/WinClock.h"
#include "BenchManager.h"
#include "sSkinManager.h"
#include "skin/paint/DibBitmap.h"
#include "tests/support/MetroUIResource.h"
#include "ui/FormStreaming.h"
#include "ui/FormText.h"

using namespace cb;

namespace {

using cb::bench::MakeManager;

double Ms() { return cb::bench::Now() * 1e3; }

double P95(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  return V[std::min(V.size() - 1, (V.size() * 95 + 99) / 100 - 1)];
}
double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  return V[V.size() / 2];
}

double gStart = 0, gShown = 0;
bool gWantSkin = false;

// A timer's message comes only once nothing is left to paint (the system's
// box asks for no idle messages, so its loop cannot tell us): the box is fully
// painted the first time it fires with the box shown (and, skinned, its
// border window). Wine's timers tick in steps of 10 ms at best; both kinds
// of box pay the same step.
void CALLBACK Check(HWND, UINT, UINT_PTR Id, DWORD) {
  HWND Box = FindWindowW(L"#32770", L"提示");
  if (!Box || GetQueueStatus(QS_PAINT)) return;
  bool Ready = IsWindowVisible(Box) != FALSE;
  if (gWantSkin) {
    auto* D = static_cast<TacDialogWnd*>(FindForeignWrapper(Box, siDialog));
    Ready = Ready && D && D->BorderForm && D->BorderForm->Handle() && IsWindowVisible(D->BorderForm->Handle());
  }
  if (!Ready && Ms() - gStart < 3000) return;
  if (Ready) gShown = Ms();
  KillTimer(nullptr, Id);
  PostMessageW(Box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

LRESULT CALLBACK OwnerProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

double OneBox(HWND Owner, bool Skinned) {
  gWantSkin = Skinned;
  gShown = 0;
  gStart = Ms();
  const UINT_PTR T = SetTimer(nullptr, 0, 1, Check);
  MessageBoxW(Owner, L"计算器 卸载完成！", L"提示", MB_OK | MB_ICONINFORMATION);
  KillTimer(nullptr, T);
  return gShown ? gShown - gStart : -1;
}

// Wine's cost of what the border window is: a layered window made, handed a
// picture of the box's frame size and shown, then destroyed.
double LayeredFloor(const TDibBitmap& Pic) {
  const double T0 = Ms();
  HWND W = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP, 300, 200,
                           Pic.Width(), Pic.Height(), nullptr, nullptr, nullptr, nullptr);
  HDC Screen = GetDC(nullptr);
  HDC Mem = CreateCompatibleDC(Screen);
  HGDIOBJ Old = SelectObject(Mem, Pic.Handle());
  POINT Pos{300, 200}, Src{0, 0};
  SIZE Size{Pic.Width(), Pic.Height()};
  BLENDFUNCTION B{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(W, Screen, &Pos, &Size, Mem, &Src, 0, &B, ULW_ALPHA);
  ShowWindow(W, SW_SHOWNOACTIVATE);
  GdiFlush();
  MSG Msg;
  while (PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&Msg);
  const double T = Ms() - T0;
  SelectObject(Mem, Old);
  DeleteDC(Mem);
  ReleaseDC(nullptr, Screen);
  DestroyWindow(W);
  return T;
}

}  // namespace

int main() {
  Application->Initialize();
  InstallFormSkinning();
  auto M = MakeManager();
  WNDCLASSW WC{};
  WC.lpfnWndProc = OwnerProc;
  WC.hInstance = GetModuleHandleW(nullptr);
  WC.lpszClassName = L"DialogBenchOwner";
  RegisterClassW(&WC);
  HWND Owner = CreateWindowExW(0, WC.lpszClassName, L"Clearbay", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 420, 320,
                               nullptr, nullptr, nullptr, nullptr);
  const int Rounds = 100;
  std::vector<double> Skin, Plain, Floor;
  // The first of each kind makes what is kept (fonts, the skin's pictures at this size).
  OneBox(Owner, true);
  M->SetSkinningRules(srStdForms);
  OneBox(Owner, false);
  for (int I = 0; I < Rounds; ++I) {
    // Alternated, so both see the same machine.
    M->SetSkinningRules(srStdForms | srStdDialogs | srThirdParty);
    Skin.push_back(OneBox(Owner, true));
    M->SetSkinningRules(srStdForms);
    Plain.push_back(OneBox(Owner, false));
  }
  TDibBitmap Pic(186, 140);  // the notice's frame with its shadow at 100 %
  for (int I = 0; I < Rounds; ++I) Floor.push_back(LayeredFloor(Pic));
  const bool Failed = std::any_of(Skin.begin(), Skin.end(), [](double T) { return T < 0; }) ||
                      std::any_of(Plain.begin(), Plain.end(), [](double T) { return T < 0; });
  std::printf("notice box, call to fully painted (ms, %d each):\n", Rounds);
  std::printf("  skinned, frame and shadow shown   p95 %7.1f  median %7.1f  (limit 150)\n", P95(Skin), Median(Skin));
  std::printf("  unskinned                         p95 %7.1f  median %7.1f\n", P95(Plain), Median(Plain));
  std::printf("  floor: layered window made, given its picture, shown  p95 %7.1f  median %7.1f\n", P95(Floor),
              Median(Floor));
  if (Failed) std::printf("  SOME BOXES NEVER SHOWED PAINTED\n");
  DestroyWindow(Owner);
  M.reset();
  return Failed ? 1 : 0;
}
