// The app menu opened on a skinned form until it is fully painted, against
// the same program's menu left to the system in the same run, and Wine's own
// cost of bringing a layered window up: wall and GUI-thread time, 95th
// percentile and median over 100 openings each.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "acSkinHook.h"
#include "bench/WinClock.h"
#include "BenchManager.h"
#include "sSkinManager.h"
#include "tests/support/MetroUIResource.h"
#include "ui/ForeignHooks.h"
#include "ui/FormStreaming.h"
#include "ui/FormText.h"
#include "ui/Menus.h"

using namespace cb;

namespace {

using cb::bench::MakeManager;

using cb::bench::Drain;

const cb::bench::TThreadClock* gClock = nullptr;
// Microseconds.
double Now() { return cb::bench::Now() * 1e6; }
double ThreadTime() { return gClock->Seconds() * 1e6; }

struct TTimes {
  std::vector<double> Wall, Cpu;
};

double Pct(std::vector<double> V, int P) {
  std::sort(V.begin(), V.end());
  return V[std::min(V.size() - 1, V.size() * size_t(P) / 100)];
}

// When the last paint of the open menu ended; once the window has nothing
// left to paint and is no longer transparent, the menu is ended.
double gLastPaintWall = 0, gLastPaintCpu = 0;
HWND gMenuWnd = nullptr;
RECT gMenuRect{0, 0, 80, 60};
HHOOK gHook = nullptr;

LRESULT CALLBACK WatchMenus(int Code, WPARAM WParam, LPARAM LParam) {
  const LRESULT R = CallNextHookEx(nullptr, Code, WParam, LParam);
  const auto* CW = reinterpret_cast<const CBT_CREATEWNDW*>(LParam);
  if (Code == HCBT_CREATEWND && reinterpret_cast<std::uintptr_t>(CW->lpcs->lpszClass) == 0x8000) {
    HWND W = reinterpret_cast<HWND>(WParam);
    gMenuWnd = W;
    AddForeignHook(W, 0xBE1C, [](TMessage& M, const TWindowHookNext& Next) {
      Next(M);
      if (M.Msg != WM_PAINT) return;
      gLastPaintWall = Now();
      gLastPaintCpu = ThreadTime();
      GetWindowRect(gMenuWnd, &gMenuRect);
      SetTimer(nullptr, 0, 40, [](HWND, UINT, UINT_PTR Id, DWORD) {
        RECT U;
        if (!gMenuWnd || GetUpdateRect(gMenuWnd, &U, FALSE) ||
            (GetWindowLongW(gMenuWnd, GWL_EXSTYLE) & WS_EX_LAYERED))
          return;
        KillTimer(nullptr, Id);
        EndMenu();
      });
    });
  }
  return R;
}

void OpenUntilPainted(TForm& F, TPopupMenu& Menu, TTimes& Into) {
  SetForegroundWindow(F.WindowHandle());
  Drain();
  gLastPaintWall = 0;
  const double C0 = ThreadTime(), T0 = Now();
  Menu.Popup(400, 300);
  if (gLastPaintWall > 0) {
    Into.Wall.push_back(gLastPaintWall - T0);
    Into.Cpu.push_back(gLastPaintCpu - C0);
  }
  gMenuWnd = nullptr;
  Drain();
}

LRESULT CALLBACK PlainProc(HWND W, UINT M, WPARAM WP, LPARAM LP) {
  if (M == WM_PAINT) {
    PAINTSTRUCT PS;
    HDC DC = BeginPaint(W, &PS);
    FillRect(DC, &PS.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EndPaint(W, &PS);
    return 0;
  }
  return DefWindowProcW(W, M, WP, LP);
}

// Wine's floor: a popup of the menu's size made layered and transparent,
// shown, painted, made opaque and painted again, as the wrapper has it done.
void LayeredFloor(int W, int H, TTimes& Into) {
  const double C0 = ThreadTime(), T0 = Now();
  HWND L = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"BenchMenuLike", L"", WS_POPUP, 400, 300, W, H,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongW(L, GWL_EXSTYLE, GetWindowLongW(L, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(L, 0, 0, LWA_ALPHA);
  SetWindowPos(L, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOZORDER);
  UpdateWindow(L);
  SetWindowLongW(L, GWL_EXSTYLE, GetWindowLongW(L, GWL_EXSTYLE) & ~WS_EX_LAYERED);
  RedrawWindow(L, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  Drain();
  GdiFlush();
  Into.Wall.push_back(Now() - T0);
  Into.Cpu.push_back(ThreadTime() - C0);
  DestroyWindow(L);
  Drain();
}

void Report(const char* What, const TTimes& T) {
  std::printf("  %-44s wall p95 %7.0f  median %7.0f   GUI thread p95 %7.0f  median %7.0f  (n=%zu)\n", What,
              Pct(T.Wall, 95), Pct(T.Wall, 50), Pct(T.Cpu, 95), Pct(T.Cpu, 50), T.Wall.size());
}

}  // namespace

int main() {
  const cb::bench::TThreadClock Clock;
  gClock = &Clock;
  InstallFormSkinning();
  Application->SetMainFormOnTaskBar(true);
  auto M = MakeManager();
  WNDCLASSW WC{};
  WC.lpfnWndProc = PlainProc;
  WC.hInstance = GetModuleHandleW(nullptr);
  WC.lpszClassName = L"BenchMenuLike";
  RegisterClassW(&WC);
  TForm F(nullptr);
  F.SetPosition(poDesigned);
  F.SetCaption(L"Clearbay");
  F.SetBounds(200, 150, 428, 329);
  F.Show();
  Drain();
  TPopupMenu Menu(&F);
  for (const wchar_t* C : {L"卸载", L"安装"}) {
    auto* I = new TMenuItem(&F);
    I->SetCaption(C);
    Menu.Items()->Add(I);
  }
  gHook = SetWindowsHookExW(WH_CBT, WatchMenus, nullptr, GetCurrentThreadId());
  const int N = 100;
  TTimes Skinned, Plain, Floor;
  for (int Round = 0; Round < N + 1; ++Round) {
    // Alternating, so both see the same machine.
    M->SetSkinnedPopups(true);
    TTimes S;
    OpenUntilPainted(F, Menu, S);
    M->SetSkinnedPopups(false);
    TTimes P;
    OpenUntilPainted(F, Menu, P);
    if (Round == 0) continue;  // the first builds what later ones find
    Skinned.Wall.insert(Skinned.Wall.end(), S.Wall.begin(), S.Wall.end());
    Skinned.Cpu.insert(Skinned.Cpu.end(), S.Cpu.begin(), S.Cpu.end());
    Plain.Wall.insert(Plain.Wall.end(), P.Wall.begin(), P.Wall.end());
    Plain.Cpu.insert(Plain.Cpu.end(), P.Cpu.begin(), P.Cpu.end());
  }
  for (int I = 0; I < N; ++I) LayeredFloor(gMenuRect.right - gMenuRect.left, gMenuRect.bottom - gMenuRect.top, Floor);
  UnhookWindowsHookEx(gHook);
  std::printf("app menu from Popup until fully painted (us, %s thread clock):\n", Clock.Exact() ? "exact" : "tick");
  if (Skinned.Wall.empty() || Plain.Wall.empty()) {
    std::printf("  no opening was measured\n");
    return 1;
  }
  Report("skinned (transparent first, frame, items)", Skinned);
  Report("left to the system, same program", Plain);
  Report("Wine: layered popup made, shown, made opaque", Floor);
  return 0;
}
