// The program's main window, made from its stored description as the program
// makes it: (a) a paint of the whole window from cold caches against the floor
// of copying the same pixels from one 32-bit bitmap to the window; (b) real
// pointer moves (SetCursorPos, which Wine turns into input like a mouse's)
// across all 36 speed buttons at 60 a second, with the GUI thread's processor
// time (TThreadClock) and its busy time (QueryPerformanceCounter around the
// handling of each message) as shares of the wall time.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/WinClock.h"
#include "Unit1.h"
#include "acSlider.h"
#include "sSpeedButton.h"
#include "skin/binding/sCharImageList.h"
#include "skin/binding/acThdTimer.h"
#include "skin/binding/sCommonData.h"
#include "skin/window/acSkinHook.h"

using namespace cb;

namespace {

using cb::bench::Now;

const cb::bench::TThreadClock* gClock = nullptr;
double ThreadSeconds() { return gClock->Seconds(); }

// GUI-thread time by what it was spent on, when asked for ("hover N split").
struct TSplit {
  std::map<std::string, std::pair<double, int>> Parts;
  std::map<std::string, std::vector<double>> Each;
  void Add(const char* What, double Seconds) {
    auto& P = Parts[What];
    P.first += Seconds;
    ++P.second;
    Each[What].push_back(Seconds);
  }
};
TSplit* gSplit = nullptr;

// Handles what is queued; the seconds spent handling it.
double Pump() {
  double Busy = 0;
  MSG M;
  for (;;) {
    const double T0 = Now();
    const double C0 = gSplit ? ThreadSeconds() : 0;
    const bool Got = PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE);
    const double C1 = gSplit ? ThreadSeconds() : 0;
    if (gSplit) gSplit->Add(Got ? "taking a message (sent ones handled inside)" : "finding the queue empty", C1 - C0);
    if (!Got) {
      Busy += Now() - T0;
      return Busy;
    }
    TranslateMessage(&M);
    DispatchMessageW(&M);
    if (gSplit) gSplit->Add(M.message == WM_TIMER ? "WM_TIMER (the fades' clock and others)"
                            : M.message == WM_MOUSEMOVE ? "WM_MOUSEMOVE"
                            : M.message == WM_PAINT ? "WM_PAINT"
                                                    : "other posted messages",
                            ThreadSeconds() - C1);
    Busy += Now() - T0;
  }
}

double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  return V[V.size() / 2];
}

std::vector<TsSpeedButton*> Buttons(TForm1& F) {
  std::vector<TsSpeedButton*> B(F.AppButtons.begin(), F.AppButtons.end());
  B.insert(B.end(), {F.btn23, F.btn24, F.btn25});
  return B;
}

// Every skinned control's cache is marked stale and its kept looks dropped,
// and the window's own through the skin's refresh, so the next paint builds
// every picture again, as the first paint after start does.
void MakeCold(TForm1& F) {
  SendSkinCommand(F.WindowHandle(), SKC_REFRESH, reinterpret_cast<LPARAM>(F.sknmngr1));
  // The refresh's own repaint first: marked after it, the caches stay cold
  // for the paint that is measured.
  Pump();
  for (TsSpeedButton* S : Buttons(F)) {
    S->SkinData()->BGChanged = true;
    if (S->SkinData()->PicturesStale) S->SkinData()->PicturesStale();  // the kept looks too
  }
  F.sSlider1->SkinData()->BGChanged = true;
  F.sSlider1->Thumb()->SkinData()->BGChanged = true;
}

// An unskinned window of the main window's size and place, painted by the
// system alone (its class brush and Wine's own frame): what Wine spends on a
// repaint and on pointer input where the program adds nothing.
HWND PlainWindow(TForm1& F) {
  WNDCLASSW C{};
  C.lpfnWndProc = DefWindowProcW;
  C.hInstance = GetModuleHandleW(nullptr);
  C.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  C.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  C.lpszClassName = L"ClearbayBenchPlain";
  RegisterClassW(&C);
  RECT R;
  GetWindowRect(F.WindowHandle(), &R);
  HWND W = CreateWindowExW(WS_EX_TOPMOST, C.lpszClassName, L"plain", WS_POPUP | WS_CAPTION | WS_SYSMENU, R.left, R.top,
                           R.right - R.left, R.bottom - R.top, nullptr, nullptr, C.hInstance, nullptr);
  return W;
}

void PaintBench(TForm1& F) {
  const HWND Wnd = F.WindowHandle();
  RECT R;
  GetWindowRect(Wnd, &R);
  const int W = R.right - R.left, H = R.bottom - R.top;
  std::vector<double> Cold, Warm, Client, Floor, Plain, PlainClient, ColdCpu, FloorCpu, PlainCpu;
  int LooksPainted = 1 << 30;  // the fewest button looks painted by a cold paint
  const HWND PlainWnd = PlainWindow(F);
  // Beside the main window, so that neither covers the other.
  SetWindowPos(PlainWnd, nullptr, R.right + 8, R.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  Pump();
  // The floor: one 32-bit bitmap of the window's size copied onto it.
  BITMAPINFO BI{};
  BI.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  BI.bmiHeader.biWidth = W;
  BI.bmiHeader.biHeight = -H;
  BI.bmiHeader.biPlanes = 1;
  BI.bmiHeader.biBitCount = 32;
  void* Bits = nullptr;
  HBITMAP Bmp = CreateDIBSection(nullptr, &BI, DIB_RGB_COLORS, &Bits, nullptr, 0);
  HDC Mem = CreateCompatibleDC(nullptr);
  HGDIOBJ Old = SelectObject(Mem, Bmp);
  for (int Run = 0; Run < 60; ++Run) {
    MakeCold(F);
    int Looks = 0;
    for (TsSpeedButton* S : Buttons(F)) Looks -= S->LooksPainted();
    double C0 = ThreadSeconds(), T0 = Now();
    RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    Cold.push_back(Now() - T0);
    ColdCpu.push_back(ThreadSeconds() - C0);
    for (TsSpeedButton* S : Buttons(F)) Looks += S->LooksPainted();
    LooksPainted = std::min(LooksPainted, Looks);
    T0 = Now();
    RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    Warm.push_back(Now() - T0);
    MakeCold(F);  // where the time goes: the client area alone, without the frame
    T0 = Now();
    RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    GdiFlush();
    Client.push_back(Now() - T0);
    HDC DC = GetWindowDC(Wnd);
    BitBlt(Mem, 0, 0, W, H, DC, 0, 0, SRCCOPY);  // the window's own pixels, not a flat colour
    C0 = ThreadSeconds();
    T0 = Now();
    BitBlt(DC, 0, 0, W, H, Mem, 0, 0, SRCCOPY);
    GdiFlush();
    Floor.push_back(Now() - T0);
    FloorCpu.push_back(ThreadSeconds() - C0);
    ReleaseDC(Wnd, DC);
    C0 = ThreadSeconds();
    T0 = Now();
    RedrawWindow(PlainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    GdiFlush();
    Plain.push_back(Now() - T0);
    PlainCpu.push_back(ThreadSeconds() - C0);
    T0 = Now();
    RedrawWindow(PlainWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    GdiFlush();
    PlainClient.push_back(Now() - T0);
  }
  DestroyWindow(PlainWnd);
  SelectObject(Mem, Old);
  DeleteDC(Mem);
  DeleteObject(Bmp);
  const double C = Median(Cold), Wm = Median(Warm), Fl = Median(Floor);
  std::printf("whole main window %dx%d from cold caches: median %.2f ms; floor (one 32-bit bitmap copied to the "
              "window): median %.3f ms; ratio %.2f (target at most 4); again with warm caches %.2f ms (ratio %.2f)\n",
              W, H, C * 1e3, Fl * 1e3, C / Fl, Wm * 1e3, Wm / Fl);
  // A reading of the thread clock costs time of its own: taken off each figure.
  std::vector<double> Empty;
  for (int I = 0; I < 60; ++I) {
    const double C0 = ThreadSeconds();
    Empty.push_back(ThreadSeconds() - C0);
  }
  const double Own = Median(Empty);
  const double CC = Median(ColdCpu) - Own, FC = Median(FloorCpu) - Own, PC = Median(PlainCpu) - Own;
  std::printf("  GUI thread alone (medians, less %.3f ms a clock reading costs): cold paint %.3f ms, bitmap copy "
              "%.3f ms, ratio %.2f; Wine's repaint of the empty window %.3f ms, %.1f times the copy\n",
              Own * 1e3, CC * 1e3, FC * 1e3, CC / FC, PC * 1e3, PC / FC);
  std::printf("  of which the client area alone from cold caches: median %.2f ms; each cold paint painted at least %d "
              "button looks\n", Median(Client) * 1e3, LooksPainted);
  const double Pl = Median(Plain);
  const double PlC = Median(PlainClient);
  std::printf(
      "  Wine's own repaint of an unskinned empty window of that size (RedrawWindow, class brush, Wine's "
      "frame): median %.3f ms = %.1f times the bitmap copy, its client area alone %.3f ms = %.1f times; the "
      "main window from cold caches is %.2f times this repaint, its client area %.2f times the plain one's\n",
      Pl * 1e3, Pl / Fl, PlC * 1e3, PlC / Fl, C / Pl, Median(Client) / PlC);
}

// Where a warm paint's time goes: each part alone. The form's client area is
// painted as the program paints it (its windowless children composed off the
// screen, one copy to the window) and, for comparison, with each windowless
// child painting through the window's own context, as it does when the form
// has an OnPaint handler.
void PaintParts(TForm1& F) {
  const HWND Wnd = F.WindowHandle();
  auto Time = [](auto&& Part) {
    std::vector<double> V;
    for (int Run = 0; Run < 60; ++Run) {
      const double T0 = Now();
      Part();
      GdiFlush();
      V.push_back(Now() - T0);
    }
    return Median(V) * 1e3;
  };
  // Without RDW_ALLCHILDREN the switch's windows are left out.
  auto Client = [&] { RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); };
  const double Frame = Time([&] { SendMessageW(Wnd, WM_NCPAINT, 1, 0); });
  const double OnePass = Time(Client);
  F.OnPaint = [](TObject*) {};
  const double EachChild = Time(Client);
  F.OnPaint = nullptr;
  const HWND Switch = F.sSlider1->WindowHandle();
  const double SwitchWnd = Time(
      [&] { RedrawWindow(Switch, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW); });
  std::printf(
      "  parts of a warm paint (medians): frame %.3f ms; client area with its windowless children %.3f ms "
      "(each child through the window's context instead: %.3f ms); the switch's two windows %.3f ms\n",
      Frame, OnePass, EachChild, SwitchWnd);
}

// The path runs through the middle of each button in turn, six moves per leg, twice.
std::vector<POINT> SweepPath(TForm1& F) {
  std::vector<POINT> Path;
  std::vector<TsSpeedButton*> B = Buttons(F);
  auto Centre = [&](TsSpeedButton* S) {
    POINT P{S->Left() + S->Width() / 2, S->Top() + S->Height() / 2};
    ClientToScreen(F.WindowHandle(), &P);
    return P;
  };
  for (int Sweep = 0; Sweep < 2; ++Sweep)
    for (size_t I = 0; I + 1 < B.size(); ++I) {
      const POINT A = Centre(B[I]), Z = Centre(B[I + 1]);
      for (int K = 0; K < 6; ++K) Path.push_back({A.x + (Z.x - A.x) * K / 6, A.y + (Z.y - A.y) * K / 6});
      if (I + 2 == B.size()) Path.push_back(Z);
    }
  return Path;
}

struct TSweep {
  double Wall = 0, Cpu = 0, Busy = 0;
};

// Moves the pointer along Path at 60 moves a second, handling messages in
// between; AfterMove looks at the state after each move.
template <class F>
TSweep Sweep(const std::vector<POINT>& Path, F&& AfterMove) {
  const double Period = 1.0 / 60;
  TSweep S;
  const double Cpu0 = ThreadSeconds(), Wall0 = Now();
  for (size_t I = 0; I < Path.size(); ++I) {
    double T0 = Now();
    double C0 = gSplit ? ThreadSeconds() : 0;
    SetCursorPos(Path[I].x, Path[I].y);
    if (gSplit) gSplit->Add("SetCursorPos (the bench's input)", ThreadSeconds() - C0);
    S.Busy += Now() - T0;
    const double Due = Wall0 + Period * static_cast<double>(I + 1);
    for (double T = Now(); T < Due; T = Now()) {
      C0 = gSplit ? ThreadSeconds() : 0;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>((Due - T) * 1e3) + 1, QS_ALLINPUT);
      if (gSplit) gSplit->Add("waiting (MsgWaitForMultipleObjects)", ThreadSeconds() - C0);
      S.Busy += Pump();
    }
    AfterMove();
  }
  S.Wall = Now() - Wall0;
  S.Cpu = ThreadSeconds() - Cpu0;
  return S;
}

void PointerBench(TForm1& F, bool Animated) {
  F.sknmngr1->Effects()->SetAllowAnimation(Animated);
  const std::vector<POINT> Path = SweepPath(F);
  std::vector<TsSpeedButton*> B = Buttons(F);
  std::vector<bool> SeenHot(B.size());
  int HotAtOnceMax = 0, Fading = 0;
  const TSweep S = Sweep(Path, [&] {
    int Hot = 0;
    bool AnyFade = false;
    for (size_t K = 0; K < B.size(); ++K) {
      TacFadeTimer* T = B[K]->SkinData()->AnimTimer();
      AnyFade = AnyFade || (T && T->Enabled());
      if (B[K]->CurrentState() == 1) {
        SeenHot[K] = true;
        ++Hot;
      }
    }
    Fading += AnyFade;
    HotAtOnceMax = std::max(HotAtOnceMax, Hot);
  });
  F.sknmngr1->Effects()->SetAllowAnimation(true);
  std::printf(
      "%s: pointer across the %zu buttons, %zu moves at 60 a second over %.2f s: GUI thread processor time "
      "%.1f ms = %.2f %% of wall time; busy handling messages %.1f ms = %.2f %% (target at most 5 %%); "
      "buttons seen hot %d of %zu, at most %d hot at once; a fade running after %d of the moves\n",
      Animated ? "with the fades" : "for comparison, the fades turned off", B.size(), Path.size(), S.Wall, S.Cpu * 1e3,
      S.Cpu / S.Wall * 100, S.Busy * 1e3, S.Busy / S.Wall * 100,
      static_cast<int>(std::count(SeenHot.begin(), SeenHot.end(), true)), B.size(), HotAtOnceMax, Fading);
}

// The same sweep over an unskinned empty window in the main window's place:
// what Wine itself spends on the pointer's input.
void PointerFloor(TForm1& F) {
  const std::vector<POINT> Path = SweepPath(F);
  const HWND Plain = PlainWindow(F);
  ShowWindow(Plain, SW_SHOW);
  SetForegroundWindow(Plain);
  for (int I = 0; I < 10; ++I) {
    Pump();
    Sleep(10);
  }
  const TSweep S = Sweep(Path, [] {});
  DestroyWindow(Plain);
  Pump();
  SetForegroundWindow(F.WindowHandle());
  std::printf(
      "floor: the same sweep over an unskinned empty window: GUI thread processor time %.1f ms = %.2f %% of "
      "wall time; busy handling messages %.1f ms = %.2f %%\n",
      S.Cpu * 1e3, S.Cpu / S.Wall * 100, S.Busy * 1e3, S.Busy / S.Wall * 100);
}

// One part again and again, for a profiler or a count of the requests to the
// Wine server (WINEDEBUG=+server; the two atom look-ups mark where the part
// starts and ends): "switch", "client", "hover" (the pointer across the
// buttons, with the fades) or "floor" (the same over an unskinned window);
// "split" after the count divides a sweep's time by what it was spent on.
void Loop(TForm1& F, const char* Part, int Times, bool Split) {
  const HWND Wnd = F.WindowHandle();
  const std::string P = Part;
  if (P == "hover" || P == "floor") {
    const std::vector<POINT> Path = SweepPath(F);
    HWND Plain = nullptr;
    if (P == "floor") {
      Plain = PlainWindow(F);
      ShowWindow(Plain, SW_SHOW);
      SetForegroundWindow(Plain);
      for (int I = 0; I < 10; ++I) {
        Pump();
        Sleep(10);
      }
    }
    TSplit Parts;
    if (Split) gSplit = &Parts;
    GlobalFindAtomW(L"CBMARKSTART");
    TSweep All;
    for (int I = 0; I < Times; ++I) {
      const TSweep S = Sweep(Path, [] {});
      All.Wall += S.Wall;
      All.Cpu += S.Cpu;
      All.Busy += S.Busy;
    }
    GlobalFindAtomW(L"CBMARKEND");
    gSplit = nullptr;
    if (Plain) DestroyWindow(Plain);
    std::printf("%s, %d sweeps: GUI thread processor time %.2f %% of wall time, busy %.2f %%\n", Part, Times,
                All.Cpu / All.Wall * 100, All.Busy / All.Wall * 100);
    // Each reading of the clock costs a few microseconds: the parts add up to more than the whole.
    for (const auto& [What, P] : Parts.Parts)
      std::printf("  %-46s %6d times, %7.1f ms = %.2f %% of wall time, %.1f us each (median %.1f)\n", What.c_str(),
                  P.second, P.first * 1e3, P.first / All.Wall * 100, P.first / P.second * 1e6,
                  Median(Parts.Each[What]) * 1e6);
    return;
  }
  const HWND Target = P == "switch" ? F.sSlider1->WindowHandle() : Wnd;
  const UINT Flags = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | (P == "switch" ? RDW_ALLCHILDREN : 0);
  GlobalFindAtomW(L"CBMARKSTART");
  std::vector<double> V;
  const double Cpu0 = ThreadSeconds(), Wall0 = Now();
  for (int I = 0; I < Times; ++I) {
    const double T0 = Now();
    RedrawWindow(Target, nullptr, nullptr, Flags);
    GdiFlush();
    V.push_back(Now() - T0);
  }
  const double Cpu = ThreadSeconds() - Cpu0, Wall = Now() - Wall0;
  GlobalFindAtomW(L"CBMARKEND");
  std::printf("%s, %d repaints: median %.3f ms, mean %.3f ms; GUI thread processor time %.3f ms each\n", Part, Times,
              Median(V) * 1e3, Wall / Times * 1e3, Cpu / Times * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  const cb::bench::TThreadClock Clock;
  gClock = &Clock;
  if (!Clock.Exact()) std::printf("(GUI thread times in scheduler ticks, 10 ms each)\n");
  Application->Initialize();
  StdCharList();
  InstallFormSkinning();
  auto* F = new TForm1(Application);
  F->OnShow = nullptr;  // no update check
  F->Show();
  for (int I = 0; I < 20; ++I) {
    Pump();
    Sleep(10);
  }
  SetForegroundWindow(F->WindowHandle());
  if (argc > 2) {
    Loop(*F, argv[1], std::atoi(argv[2]), argc > 3 && std::string(argv[3]) == "split");
    delete F;
    return 0;
  }
  PaintBench(*F);
  PaintParts(*F);
  PointerBench(*F, true);
  PointerBench(*F, false);
  PointerFloor(*F);
  delete F;
  return 0;
}
