// Form animations: the frames of the main window's fade-in as they reach the
// window system (their spacing, the work of each on the GUI thread, beside
// Wine's own cost of showing a layered picture of that size), at 100 % and
// at twice the size in each direction (200 %); the time from Show to a
// visible, idle window with the animation and without it; and the
// reliability figures: an About-sized dialog shown and hidden 1,000 times and
// the main window minimised and restored 100 times, with what the process
// holds before and after.
//   scripts/wine-run.sh build/win64/bin/animation_bench.exe [cycles]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchManager.h"
#include "acAnimations.h"
#include "acSkinHook.h"
#include "bench/WinClock.h"
#include "sSkinProvider.h"
#include "sSpeedButton.h"
#include "skin/paint/DibBitmap.h"
#include "tests/support/ResourceCounts.h"

using namespace cb;

namespace {

double Ms() { return cb::bench::Now() * 1e3; }

using cb::bench::Drain;

void PumpFor(double Span) {
  const double End = Ms() + Span;
  while (Ms() < End) {
    Drain();
    Sleep(1);
  }
}

double Pct(std::vector<double> V, int P) {
  if (V.empty()) return 0;
  std::sort(V.begin(), V.end());
  return V[std::min(V.size() - 1, (V.size() * P + 99) / 100 - (P ? 1 : 0))];
}

// The program's main window: 33 app buttons on a form of its size.
class TMainLike : public TForm {
public:
  explicit TMainLike(int Scale) : TForm(nullptr) {
    SetBorderStyle(bsSingle);
    SetBorderIcons(biSystemMenu | biMinimize);
    SetPosition(poDesigned);
    SetCaption(L"Clearbay");
    SetBounds(200, 120, 436 * Scale, 330 * Scale);
    Font()->SetName(L"微软雅黑");
    Font()->SetHeight(-12 * Scale);
    for (int I = 0; I < 33; ++I) {
      auto* B = new TsSpeedButton(this);
      B->SetBounds((20 + (I % 4) * 70) * Scale, (12 + (I / 4) * 28) * Scale, 66 * Scale, 22 * Scale);
      B->SetCaption(L"按钮" + std::to_wstring(I));
      B->SetParent(this);
    }
  }
};

class TAboutLike : public TForm {
public:
  TAboutLike() : TForm(nullptr) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetPosition(poDesigned);
    SetCaption(L"关于");
    SetBounds(300, 200, 307, 148);
  }
};

struct TShot {
  HWND Wnd;
  double At;
  int Opacity;
};
std::vector<TShot>* gShots = nullptr;
void Observe(HWND Wnd, const TDibBitmap&, POINT, int Opacity) {
  if (gShots) gShots->push_back({Wnd, Ms(), Opacity});
}

// Visible, its border window shown, nothing left to paint.
bool Idle(TForm& F) {
  TsSkinProvider* P = ProviderOfWindow(F.WindowHandle());
  return IsWindowVisible(F.WindowHandle()) && P && P->BorderForm && P->BorderForm->Handle() &&
         IsWindowVisible(P->BorderForm->Handle()) && !GetQueueStatus(QS_PAINT);
}

double ShowUntilIdle(TForm& F) {
  const double T0 = Ms();
  F.Show();
  while (!Idle(F) && Ms() - T0 < 3000) {
    Drain();
    Sleep(0);
  }
  return Ms() - T0;
}

// The fade-in of the main window at one scale: frame spacing and per-frame work.
void FrameFigures(TsSkinManager& M, int Scale) {
  M.AnimEffects()->FormShow()->SetTime(100);
  std::vector<double> Gaps, Draw, Present, Floor;
  int Late = 0, Frames = 0, Shows = 0;
  for (int Run = 0; Run < 10; ++Run) {
    TMainLike F(Scale);
    F.HandleNeeded();
    std::vector<TShot> Shots;
    gShots = &Shots;
    ShowUntilIdle(F);
    gShots = nullptr;
    // The border window carries the animation: after its clear pictures, up to the first whole one.
    TsSkinProvider* P = ProviderOfWindow(F.WindowHandle());
    const HWND Border = P && P->BorderForm ? P->BorderForm->Handle() : nullptr;
    std::vector<double> At;
    for (const TShot& S : Shots) {
      if (S.Wnd != Border || S.Opacity == 0) continue;
      At.push_back(S.At);
      if (S.Opacity == 255) break;
    }
    ++Shows;
    Frames += static_cast<int>(At.size());
    for (size_t I = 1; I < At.size(); ++I) {
      Gaps.push_back(At[I] - At[I - 1]);
      Late += At[I] - At[I - 1] > 16.0;
    }
    // One frame's work alone: the zoomed picture drawn and handed to the window system.
    std::unique_ptr<TDibBitmap> Pic = P ? P->MakeWindowPicture() : nullptr;
    if (Pic) {
      TDibBitmap Out(Pic->Width(), Pic->Height());
      TacLayeredSurface S(nullptr, nullptr);
      for (int I = 0; I < 9; ++I) {
        double T0 = Ms();
        DrawZoomed(Out, *Pic, Pic->Width() / 32.0 * (8 - I) / 8, Pic->Height() / 32.0 * (8 - I) / 8);
        Draw.push_back(Ms() - T0);
        T0 = Ms();
        S.Present(Out, POINT{200, 120}, 26 * (I + 1));
        Present.push_back(Ms() - T0);
        // Wine's floor: the same picture handed over again without drawing it.
        T0 = Ms();
        S.Present(Out, POINT{200, 120}, 26 * (I + 1) + 1);
        Floor.push_back(Ms() - T0);
      }
      if (Run == 0)
        std::printf("  picture %d x %d pixels\n", Pic->Width(), Pic->Height());
    }
    F.Hide();
    PumpFor(50);
  }
  std::printf("  %d shows, %d frames; gaps between frames ms: min %.2f median %.2f p95 %.2f max %.2f; "
              "later than 16 ms: %d\n",
              Shows, Frames, Pct(Gaps, 0), Pct(Gaps, 50), Pct(Gaps, 95), Pct(Gaps, 100), Late);
  std::printf("  GUI-thread work per frame ms: drawing median %.2f p95 %.2f, handing over median %.2f p95 %.2f; "
              "Wine's floor for handing over %.2f\n",
              Pct(Draw, 50), Pct(Draw, 95), Pct(Present, 50), Pct(Present, 95), Pct(Floor, 50));
}

void ShowTimes(TsSkinManager& M) {
  for (int Time : {100, 0}) {
    M.AnimEffects()->FormShow()->SetTime(Time);
    std::vector<double> T;
    for (int Run = 0; Run < 15; ++Run) {
      TMainLike F(1);
      F.HandleNeeded();
      T.push_back(ShowUntilIdle(F));
      F.Hide();
      PumpFor(30);
    }
    std::printf("  Show to visible and idle, animation %s: median %.1f ms, p95 %.1f ms\n", Time ? "on " : "off",
                Pct(T, 50), Pct(T, 95));
  }
}

int LayeredLeft() {
  int N = 0;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND W, LPARAM P) -> BOOL {
        wchar_t C[64]{};
        GetClassNameW(W, C, 64);
        if (!std::wcscmp(C, TacLayeredSurface::ClassName)) ++*reinterpret_cast<int*>(P);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&N));
  return N;
}

void Holdings(const char* What) {
  std::printf("  %-28s GDI %5d  USER %4d  layered %d  private %8llu KB\n", What, cb::test::GdiObjectCount(),
              cb::test::UserObjectCount(), LayeredLeft(),
              static_cast<unsigned long long>(cb::test::PrivateBytes() / 1024));
}

void Reliability(TsSkinManager& M, int Cycles) {
  M.AnimEffects()->FormShow()->SetTime(100);
  M.AnimEffects()->FormHide()->SetTime(100);
  TMainLike Main(1);
  ShowUntilIdle(Main);
  TAboutLike About;
  About.HandleNeeded();
  // A few rounds first: caches and the system's own first-use costs.
  auto Cycle = [&] {
    ShowUntilIdle(About);
    About.Hide();
    while (HideTimer().Busy()) {
      Drain();
      Sleep(1);
    }
  };
  for (int I = 0; I < 5; ++I) Cycle();
  Holdings("About, before:");
  const double T0 = Ms();
  for (int I = 0; I < Cycles; ++I) Cycle();
  Drain();
  Holdings("About, after show/hide:");
  std::printf("  %d cycles in %.1f s\n", Cycles, (Ms() - T0) / 1000);
  Holdings("main, before:");
  for (int I = 0; I < 100; ++I) {
    SendMessageW(Main.WindowHandle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    TsSkinProvider* P = ProviderOfWindow(Main.WindowHandle());
    while (P && P->MinTimer() && P->MinTimer()->Busy()) {
      Drain();
      Sleep(1);
    }
    SendMessageW(Main.WindowHandle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    while (P && P->MinTimer() && P->MinTimer()->Busy()) {
      Drain();
      Sleep(1);
    }
  }
  PumpFor(100);
  Holdings("main, after 100 min/restore:");
}

}  // namespace

int main(int Argc, char** Argv) {
  const int Cycles = Argc > 1 ? std::atoi(Argv[1]) : 1000;
  InstallFormSkinning();
  Application->SetMainFormOnTaskBar(true);
  auto M = cb::bench::MakeManager();
  TacLayeredSurface::PresentObserver = &Observe;
  std::printf("Show animation of the main window, 100 %%:\n");
  FrameFigures(*M, 1);
  std::printf("Show animation of the main window, 200 %% (twice the size each way):\n");
  FrameFigures(*M, 2);
  ShowTimes(*M);
  std::printf("Reliability:\n");
  Reliability(*M, Cycles);
  TacLayeredSurface::PresentObserver = nullptr;
  M.reset();
  return 0;
}
