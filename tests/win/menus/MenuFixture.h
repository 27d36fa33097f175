// Menus opened on a skinned form as the program opens them, with what their
// windows receive recorded above the wrapper, in order.
#pragma once

#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "../window/WindowFixture.h"
#include "acMenuWnd.h"
#include "acSubclassIds.h"
#include "sSkinMenus.h"

namespace cb::test {

// The names the story of a menu window is told in.
inline std::string MenuMessageName(HWND Wnd, const TMessage& M) {
  switch (M.Msg) {
    case WM_WINDOWPOSCHANGING: {
      const auto* WP = reinterpret_cast<const WINDOWPOS*>(M.LParam);
      if (!(WP->flags & SWP_SHOWWINDOW)) return {};
      BYTE Alpha = 255;
      DWORD Flags = 0;
      const bool Layered = GetWindowLongW(Wnd, GWL_EXSTYLE) & WS_EX_LAYERED;
      if (Layered) GetLayeredWindowAttributes(Wnd, nullptr, &Alpha, &Flags);
      return Layered && (Flags & LWA_ALPHA) && Alpha == 0 ? "showing transparent" : "showing";
    }
    case WM_NCPAINT: return "ncpaint";
    case WM_STYLECHANGED: {
      const auto* S = reinterpret_cast<const STYLESTRUCT*>(M.LParam);
      if (M.WParam == static_cast<WPARAM>(GWL_EXSTYLE) && (S->styleOld & WS_EX_LAYERED) &&
          !(S->styleNew & WS_EX_LAYERED))
        return "layered off";
      return {};
    }
    case WM_NCDESTROY: return "ncdestroy";
    default: return {};
  }
}

// Every menu window made while it lives gets a recorder on top of its
// chain (after the skin's hook has had its turn) and "create" in the log.
struct TMenuRecorder {
  static inline TLog* Log = nullptr;
  static inline HHOOK Hook = nullptr;
  explicit TMenuRecorder(TLog& L) {
    Log = &L;
    Hook = SetWindowsHookExW(WH_CBT, Proc, nullptr, GetCurrentThreadId());
  }
  ~TMenuRecorder() {
    UnhookWindowsHookEx(Hook);
    Log = nullptr;
  }
  static LRESULT CALLBACK Proc(int Code, WPARAM WParam, LPARAM LParam) {
    const LRESULT R = CallNextHookEx(nullptr, Code, WParam, LParam);
    const auto* CW = reinterpret_cast<const CBT_CREATEWNDW*>(LParam);
    if (Code == HCBT_CREATEWND && reinterpret_cast<std::uintptr_t>(CW->lpcs->lpszClass) == 0x8000) {
      HWND W = reinterpret_cast<HWND>(WParam);
      if (Log) Log->push_back(HasForeignHook(W, siMenuWindow) ? "create wrapped" : "create");
      AddForeignHook(W, 0xF0F0, [W](TMessage& M, const TWindowHookNext& Next) {
        Next(M);
        const std::string N = MenuMessageName(W, M);
        if (!N.empty() && Log) Log->push_back(N);
      });
    }
    return R;
  }
};

// Owner-drawn items as their owner hears of them.
inline void RecordItems(TControl* Owner, TLog& Log) {
  Owner->AddWindowHook(0xF0F1, [&Log](TMessage& M, const TWindowHookNext& Next) {
    if (M.Msg == WM_DRAWITEM) Log.push_back("drawitem");
    Next(M);
  });
}

// A key pressed and let go, as the user types it.
inline void Key(WORD Vk) {
  INPUT In[2]{};
  In[0].type = In[1].type = INPUT_KEYBOARD;
  In[0].ki.wVk = In[1].ki.wVk = Vk;
  In[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, In, sizeof(INPUT));
}

// Runs the steps one per tick of a timer of the menu's loop once the menu
// window shows (input sent in one step is handled before the next); the last
// step ends the menu (real input, or EndMenu).
inline void WhileMenuShows(std::vector<std::function<void(HWND)>> Steps, UINT Every = 150) {
  static std::vector<std::function<void(HWND)>> Pending;
  Pending = std::move(Steps);
  SetTimer(nullptr, 0, Every, [](HWND, UINT, UINT_PTR Id, DWORD) {
    HWND Menu = FindWindowW(L"#32768", nullptr);
    if (!Menu || !IsWindowVisible(Menu)) return;
    if (Pending.empty()) {
      KillTimer(nullptr, Id);
      return;
    }
    auto Step = std::move(Pending.front());
    Pending.erase(Pending.begin());
    if (Pending.empty()) KillTimer(nullptr, Id);
    Step(Menu);
  });
}

// An ordered story: the log joined, against a pattern of entries where "x?"
// may be missing, "x+" repeats and "x*" both.
inline void ExpectStory(const TLog& Log, const std::vector<std::string>& Pattern) {
  std::string Text, Re;
  for (const auto& L : Log) Text += L + ";";
  for (std::string P : Pattern) {
    char Mod = 0;
    if (!P.empty() && (P.back() == '?' || P.back() == '+' || P.back() == '*')) {
      Mod = P.back();
      P.pop_back();
    }
    Re += "(" + P + ";)";
    if (Mod) Re += Mod;
  }
  EXPECT_TRUE(std::regex_match(Text, std::regex(Re))) << Text;
}

}  // namespace cb::test
