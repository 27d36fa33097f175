// Skinned frames against the same windows without the skin, in one run:
// opening a dialog until it is painted, and one step of dragging a window.
// Then the reliability figures: many openings and activations, and the skin
// switched off and on, with windows, regions and private bytes before and after.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "acRegion.h"
#include "bench/WinClock.h"
#include "BenchManager.h"
#include "acSkinHook.h"
#include "sSkinManager.h"
#include "sSkinProvider.h"
#include "skin/paint/DibBitmap.h"
#include "tests/support/MetroUIResource.h"
#include "tests/support/ResourceCounts.h"
#include "ui/FormStreaming.h"
#include "ui/FormText.h"

using namespace cb;

namespace {

using cb::bench::MakeManager;

class TDialog : public TForm {
public:
  TDialog() : TForm(nullptr) {
    SetBorderStyle(bsDialog);
    SetBorderIcons(biSystemMenu);
    SetPosition(poDesigned);
    SetCaption(L"关于");
    SetBounds(300, 200, 307, 148);
  }
};

// Microseconds.
double Now() { return cb::bench::Now() * 1e6; }

using cb::bench::Drain;

double Median(std::vector<double> V) {
  std::sort(V.begin(), V.end());
  return V[V.size() / 2];
}

// Microseconds the GUI thread has run on a processor so far.
const cb::bench::TThreadClock* gClock = nullptr;
double ThreadTime() { return gClock->Seconds() * 1e6; }

struct TTimes {
  std::vector<double> Wall, Cpu;
  void Add(double W, double C) {
    Wall.push_back(W);
    Cpu.push_back(C);
  }
};

// Microseconds from Show until every paint of the dialog (frame and shadow
// included) is done; the main window is the active one before, as when the
// user opens the dialog from it.
void OpenUntilPainted(TForm& Main, TForm& D, TTimes& Into) {
  SetForegroundWindow(Main.WindowHandle());
  Drain();
  const double C0 = ThreadTime(), T0 = Now();
  D.Show();
  UpdateWindow(D.WindowHandle());
  Drain();
  GdiFlush();
  Into.Add(Now() - T0, ThreadTime() - C0);
  D.Hide();
  Drain();
}

// Microseconds of one move of the main window (window, frame image, border
// window), as the system's move loop makes it: wall and GUI-thread time.
void MoveStep(TForm& F, int I, TTimes& Into) {
  const double C0 = ThreadTime(), T0 = Now();
  SetWindowPos(F.WindowHandle(), nullptr, 100 + (I % 40) * 3, 80 + (I % 40) * 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Drain();
  Into.Add(Now() - T0, ThreadTime() - C0);
}

void Figures(const char* What) {
  std::printf("  %-34s windows %4d  regions %ld  attached %zu  private %8llu KB\n", What, cb::test::ThreadWindows(),
              TacRgn::Alive(), AttachedWindows().size(),
              static_cast<unsigned long long>(cb::test::PrivateBytes() / 1024));
}

// What the window system charges for each step of a layered window's life,
// on a picture of the dialog's size: a guide to which steps are worth saving.
LRESULT CALLBACK PlainProc(HWND W, UINT M, WPARAM WP, LPARAM LP) { return DefWindowProcW(W, M, WP, LP); }

// A layered window's whole picture from Pic, blended by its own alpha.
struct TPictureUpdate {
  POINT Src{0, 0};
  BLENDFUNCTION BF{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UPDATELAYEREDWINDOWINFO Info{};
  explicit TPictureUpdate(TDibBitmap& Pic) {
    Info.cbSize = sizeof Info;
    Info.hdcSrc = Pic.Canvas();
    Info.pptSrc = &Src;
    Info.pblend = &BF;
    Info.dwFlags = ULW_ALPHA;
  }
  TPictureUpdate(const TPictureUpdate&) = delete;
  TPictureUpdate& operator=(const TPictureUpdate&) = delete;
};

// One way of bringing a layered window on screen with its picture and region;
// microseconds until the window system is done with it.
double BringUp(TDibBitmap& Pic, int Order) {
  const int W = Pic.Width(), H = Pic.Height();
  POINT Pos{300, 200};
  SIZE Size{W, H};
  TPictureUpdate Up(Pic);
  UPDATELAYEREDWINDOWINFO& Info = Up.Info;
  auto Region = [&](HWND L) {
    HRGN R = CreateRectRgn(0, 0, W, H), C = CreateRectRgn(17, 41, W - 17, H - 19);
    CombineRgn(R, R, C, RGN_XOR);
    DeleteObject(C);
    SetWindowRgn(L, R, FALSE);
  };
  const bool Sized = Order != 0;
  const double T = Now();
  HWND L = CreateWindowExW(WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, L"BenchLayered", L"",
                           WS_POPUP | (Order == 3 ? WS_VISIBLE : 0), Sized ? Pos.x : 0, Sized ? Pos.y : 0,
                           Sized ? W : 0, Sized ? H : 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  Info.pptDst = Sized ? nullptr : &Pos;
  Info.psize = Sized ? nullptr : &Size;
  switch (Order) {
    case 0:  // picture with place and size, region, show
    case 1:  // made in place: picture, region, show
      UpdateLayeredWindowIndirect(L, &Info);
      Region(L);
      SetWindowPos(L, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOZORDER);
      break;
    case 2:  // made in place: region, picture, show
      Region(L);
      UpdateLayeredWindowIndirect(L, &Info);
      SetWindowPos(L, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOZORDER);
      break;
    case 3:  // made visible in place: region, picture
      Region(L);
      UpdateLayeredWindowIndirect(L, &Info);
      break;
    case 4:  // made in place: show, region, picture
      SetWindowPos(L, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOZORDER);
      Region(L);
      UpdateLayeredWindowIndirect(L, &Info);
      break;
    case 5:  // made in place: picture, show, no region
      UpdateLayeredWindowIndirect(L, &Info);
      SetWindowPos(L, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_NOZORDER);
      break;
  }
  Drain();
  GdiFlush();
  const double Took = Now() - T;
  DestroyWindow(L);
  Drain();
  return Took;
}

void LayeredCosts() {
  WNDCLASSW WC{};
  WC.lpfnWndProc = PlainProc;
  WC.hInstance = GetModuleHandleW(nullptr);
  WC.lpszClassName = L"BenchLayered";
  RegisterClassW(&WC);
  const int W = 341, H = 208;
  TDibBitmap Pic(W, H);
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X)
      Pic.Bmp().Line(Y)[X] = (X < 13 || Y < 11 || X >= W - 13 || Y >= H - 15) ? 0x30000000u : 0xFFE0E0E0u;
  const char* Names[] = {"pos+size picture, region, show",  "in place: picture, region, show",
                         "in place: region, picture, show", "visible in place: region, picture",
                         "in place: show, region, picture", "in place: picture, show (no region)"};
  std::vector<double> T[6];
  for (int I = 0; I < 20; ++I)
    for (int O = 0; O < 6; ++O) T[O].push_back(BringUp(Pic, O));
  std::printf("layered window brought up (us, median of 20, %dx%d):\n", W, H);
  for (int O = 0; O < 6; ++O) std::printf("  %-40s %6.0f\n", Names[O], Median(T[O]));
  // A picture again on a shown window, whole and with a small dirty rectangle.
  HWND L = CreateWindowExW(WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, L"BenchLayered", L"", WS_POPUP, 300,
                           200, W, H, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  TPictureUpdate Up(Pic);
  UPDATELAYEREDWINDOWINFO& Info = Up.Info;
  UpdateLayeredWindowIndirect(L, &Info);
  ShowWindow(L, SW_SHOWNOACTIVATE);
  Drain();
  std::vector<double> Whole, Dirty, Move;
  RECT D{W - 60, 15, W - 20, 35};
  for (int I = 0; I < 30; ++I) {
    Info.prcDirty = nullptr;
    double T0 = Now();
    UpdateLayeredWindowIndirect(L, &Info);
    Whole.push_back(Now() - T0);
    Info.prcDirty = &D;
    T0 = Now();
    UpdateLayeredWindowIndirect(L, &Info);
    Dirty.push_back(Now() - T0);
    T0 = Now();
    SetWindowPos(L, nullptr, 300 + (I & 1), 200, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOREDRAW);
    Move.push_back(Now() - T0);
  }
  std::printf("  picture again %.0f, with a 40x20 dirty rectangle %.0f, move %.0f\n", Median(Whole), Median(Dirty),
              Median(Move));
  // A move costs the same for any top-level window: a skinned one moves two.
  auto Moves = [&](HWND X, const char* What) {
    std::vector<double> Mv;
    for (int I = 0; I < 60; ++I) {
      double T0 = Now();
      SetWindowPos(X, nullptr, 300 + (I % 20) * 3, 200 + (I % 20) * 2, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOREDRAW);
      Drain();
      Mv.push_back(Now() - T0);
    }
    std::printf("  move %-30s %.0f\n", What, Median(Mv));
  };
  Moves(L, "layered");
  {
    HRGN R = CreateRectRgn(0, 0, W, H), C = CreateRectRgn(17, 41, W - 17, H - 19);
    CombineRgn(R, R, C, RGN_XOR);
    DeleteObject(C);
    SetWindowRgn(L, R, FALSE);
  }
  Moves(L, "layered with region");
  DestroyWindow(L);
  HWND P = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, L"BenchLayered", L"", WS_POPUP, 300,
                           200, W, H, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(P, SW_SHOWNOACTIVATE);
  Drain();
  Moves(P, "plain popup");
  DestroyWindow(P);
}

// The messages of one opening, with when each began and how long it took
// (sent ones nested as they run), for finding work done twice.
struct TTraceEntry {
  HWND Wnd;
  UINT Msg;
  int Depth;
  double Start, Took;
  bool Posted;
};
std::vector<TTraceEntry> gTrace;
std::vector<size_t> gOpen;
double gT0 = 0;

LRESULT CALLBACK TraceCall(int Code, WPARAM WP, LPARAM LP) {
  if (Code == HC_ACTION) {
    auto* C = reinterpret_cast<CWPSTRUCT*>(LP);
    gOpen.push_back(gTrace.size());
    gTrace.push_back({C->hwnd, C->message, static_cast<int>(gOpen.size()) - 1, Now() - gT0, 0, false});
  }
  return CallNextHookEx(nullptr, Code, WP, LP);
}

LRESULT CALLBACK TraceRet(int Code, WPARAM WP, LPARAM LP) {
  if (Code == HC_ACTION && !gOpen.empty()) {
    TTraceEntry& E = gTrace[gOpen.back()];
    E.Took = Now() - gT0 - E.Start;
    gOpen.pop_back();
  }
  return CallNextHookEx(nullptr, Code, WP, LP);
}

LRESULT CALLBACK TraceGet(int Code, WPARAM WP, LPARAM LP) {
  if (Code == HC_ACTION && WP == PM_REMOVE) {
    auto* M = reinterpret_cast<MSG*>(LP);
    gTrace.push_back({M->hwnd, M->message, static_cast<int>(gOpen.size()), Now() - gT0, 0, true});
  }
  return CallNextHookEx(nullptr, Code, WP, LP);
}

// Microseconds the main window's deactivation and the dialog's activation
// took in the last traced opening (their WM_NCACTIVATE, everything inside).
double gMainOff = 0, gDialogOn = 0, gTotal = 0;

void TraceOpen(TForm& Main, TForm& Dialog, bool Print = true) {
  const DWORD Tid = GetCurrentThreadId();
  HHOOK H1 = SetWindowsHookExW(WH_CALLWNDPROC, TraceCall, nullptr, Tid);
  HHOOK H2 = SetWindowsHookExW(WH_CALLWNDPROCRET, TraceRet, nullptr, Tid);
  HHOOK H3 = SetWindowsHookExW(WH_GETMESSAGE, TraceGet, nullptr, Tid);
  gTrace.clear();
  gT0 = Now();
  Dialog.Show();
  UpdateWindow(Dialog.WindowHandle());
  Drain();
  GdiFlush();
  const double Total = Now() - gT0;
  UnhookWindowsHookEx(H1);
  UnhookWindowsHookEx(H2);
  UnhookWindowsHookEx(H3);
  gTotal = Total;
  gMainOff = gDialogOn = 0;
  for (const TTraceEntry& E : gTrace)
    if (E.Msg == WM_NCACTIVATE && !E.Posted) {
      if (E.Wnd == Main.WindowHandle()) gMainOff += E.Took;
      if (E.Wnd == Dialog.WindowHandle()) gDialogOn += E.Took;
    }
  if (!Print) return;
  auto Name = [&](HWND W) -> std::string {
    if (W == Main.WindowHandle()) return "main";
    if (W == Dialog.WindowHandle()) return "dialog";
    wchar_t C[64] = {};
    GetClassNameW(W, C, 63);
    if (!wcscmp(C, L"TacGlowForm")) return GetWindow(W, GW_OWNER) ? "border" : "border?";
    char B[32];
    std::snprintf(B, sizeof B, "%p", static_cast<void*>(W));
    return B;
  };
  for (const TTraceEntry& E : gTrace)
    std::printf("%8.0f %*s%s%-7s %04x  %6.0f\n", E.Start, E.Depth * 2, "", E.Posted ? "post " : "", Name(E.Wnd).c_str(),
                E.Msg, E.Took);
  std::printf("total %.0f us\n", Total);
}

// A form framed and sized as the program's main window, shown.
void ShowMainLike(TForm& Main) {
  Main.SetBorderStyle(bsSingle);
  Main.SetBorderIcons(biSystemMenu | biMinimize);
  Main.SetCaption(L"Clearbay");
  Main.SetPosition(poDesigned);
  Main.SetBounds(100, 80, 428, 329);
  Main.Show();
  Drain();
}

}  // namespace

// "frame_bench.exe speed" leaves out the reliability rounds; "layered" times
// the window system's steps of a layered window alone; "trace" prints the
// messages of a few openings, "trace stats" the medians of their costly parts.
int main(int argc, char** argv) {
  const cb::bench::TThreadClock Clock;
  gClock = &Clock;
  const bool SpeedOnly = argc > 1 && std::string(argv[1]) == "speed";
  if (argc > 1 && std::string(argv[1]) == "layered") {
    LayeredCosts();
    return 0;
  }
  InstallFormSkinning();
  Application->SetMainFormOnTaskBar(true);
  auto M = MakeManager();
  if (argc > 1 && std::string(argv[1]) == "trace") {
    TForm Main(nullptr);
    ShowMainLike(Main);
    TDialog D;
    if (argc > 2 && std::string(argv[2]) == "stats") {
      // Medians over many openings of the one dialog, skinned.
      std::vector<double> Off, On, Total;
      for (int I = 0; I < 41; ++I) {
        SetForegroundWindow(Main.WindowHandle());
        Drain();
        TraceOpen(Main, D, false);
        D.Hide();
        Drain();
        if (I == 0) continue;  // the first builds what later ones find
        Off.push_back(gMainOff);
        On.push_back(gDialogOn);
        Total.push_back(gTotal);
      }
      std::printf("median of 40 openings: main deactivation %.0f us, dialog activation %.0f us, opening %.0f us\n",
                  Median(Off), Median(On), Median(Total));
      // What one build of each frame image costs (each change of activation builds one).
      for (TForm* F : {static_cast<TForm*>(&Main), static_cast<TForm*>(&D)}) {
        if (F == &D) D.Show();
        Drain();
        TsSkinProvider* P = ProviderOfWindow(F->WindowHandle());
        std::vector<double> Build;
        for (int I = 0; P && I < 40; ++I) {
          P->FCommonData->BGChanged = true;
          const double T0 = Now();
          P->Frame->PaintAll();
          Build.push_back(Now() - T0);
        }
        if (!Build.empty())
          std::printf("  frame image of the %s: %.0f us\n", F == &D ? "dialog" : "main window", Median(Build));
      }
      return 0;
    }
    for (int I = 0; I < 5; ++I) {
      if (I == 3) M->SetActive(false);
      SetForegroundWindow(Main.WindowHandle());
      Drain();
      Sleep(100);
      Drain();
      std::printf("--- opening %d\n", I + 1);
      TraceOpen(Main, D);
      D.Hide();
      Drain();
    }
    return 0;
  }
  const int Rounds = 40;
  TTimes OpenSkin, OpenPlain, FreshSkin, FreshPlain;
  TTimes MoveSkin, MovePlain;
  TForm Main(nullptr);
  ShowMainLike(Main);
  TDialog About;
  for (int Pass = 0; Pass < 2; ++Pass) {
    // Alternating, so both see the same machine.
    for (int I = 0; I < Rounds; ++I) {
      M->SetActive(true);
      AttachWindow(Main.Handle());  // as its next activation would
      Drain();
      OpenUntilPainted(Main, About, OpenSkin);
      {
        TDialog Fresh;
        OpenUntilPainted(Main, Fresh, FreshSkin);
      }
      for (int K = 0; K < 5; ++K) MoveStep(Main, I * 5 + K, MoveSkin);
      M->SetActive(false);
      Drain();
      OpenUntilPainted(Main, About, OpenPlain);
      {
        TDialog Fresh;
        OpenUntilPainted(Main, Fresh, FreshPlain);
      }
      for (int K = 0; K < 5; ++K) MoveStep(Main, I * 5 + K, MovePlain);
    }
  }
  // Wall time waits on the window server and the display as well; the
  // GUI thread's own time is the measure, the wall time a cross-check.
  auto Report = [&](const char* What, const TTimes& S, const TTimes& P, double Limit) {
    const double WS = Median(S.Wall), WP = Median(P.Wall), CS = Median(S.Cpu), CP = Median(P.Cpu);
    std::printf("%s: GUI thread skinned %.0f us, plain %.0f us, ratio %.2f (limit %.1f); wall %.0f / %.0f us, "
                "ratio %.2f\n",
                What, CS, CP, CS / CP, Limit, WS, WP, WS / WP);
  };
  if (!gClock->Exact()) std::printf("(thread times in scheduler ticks: only their sums mean anything)\n");
  // The program makes its About form once and shows it again at each opening.
  Report("open the About dialog until painted", OpenSkin, OpenPlain, 1.5);
  Report("open a newly made dialog until painted", FreshSkin, FreshPlain, 1.5);
  Report("drag step of the main window", MoveSkin, MovePlain, 2);
  if (SpeedOnly) return 0;

  M->SetActive(true);
  AttachWindow(Main.Handle());
  Drain();
  std::printf("reliability:\n");
  Figures("start");
  for (int I = 0; I < 1000; ++I) {
    TDialog D;
    D.Show();
    Drain();
    D.Hide();
  }
  Drain();
  Figures("after 1000 dialog openings");
  TDialog Other;
  Other.Show();
  for (int I = 0; I < 1000; ++I) {
    SetForegroundWindow((I & 1) ? Other.WindowHandle() : Main.WindowHandle());
    Drain();
  }
  Figures("after 1000 activations");
  for (int I = 0; I < 100; ++I) {
    M->SetActive(false);
    Drain();
    M->SetActive(true);
    SetForegroundWindow((I & 1) ? Other.WindowHandle() : Main.WindowHandle());
    Drain();
  }
  Figures("after 100 skin off/on");
  M->SetActive(false);
  Drain();
  const bool Clean = AttachedWindows().empty() && FindWindowW(L"TacGlowForm", nullptr) == nullptr &&
                     !Main.HasWindowHook(TsSkinProvider::HookId) && !Other.HasWindowHook(TsSkinProvider::HookId);
  Figures("skin off");
  std::printf("  every hook, provider and border window gone with the skin: %s\n", Clean ? "yes" : "NO");
  return Clean ? 0 : 1;
}
