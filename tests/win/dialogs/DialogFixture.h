// Message boxes shown as the program shows them, under the skin with its
// creation hook: each box is handed to a step that runs inside the box's own
// modal loop and must end it.
#pragma once

#include <functional>

#include "WindowFixture.h"
#include "acSubclassIds.h"
#include "ui/ForeignHooks.h"

namespace cb::test {

// Shows a box as the program does; Step runs once the box is up and ends it.
// Returns what the box returned.
inline int WithBox(const std::wstring& Text, const std::wstring& Caption, UINT Flags,
                   std::function<void(HWND Box)> Step, UINT DelayMs = 150) {
  static std::function<void(HWND)> Pending;
  static std::wstring PendingCaption;
  Pending = std::move(Step);
  PendingCaption = Caption;
  const UINT_PTR T = SetTimer(nullptr, 0, DelayMs, [](HWND, UINT, UINT_PTR Id, DWORD) {
    KillTimer(nullptr, Id);
    HWND Box = FindWindowW(L"#32770", PendingCaption.c_str());
    auto Run = std::move(Pending);
    Pending = nullptr;
    if (Box && Run) Run(Box);
  });
  const int Result = Application->MessageBox(Text, Caption, Flags);
  KillTimer(nullptr, T);
  return Result;
}

// Log equals Expected, whose entries starting with '?' may be missing.
inline ::testing::AssertionResult InOrder(const TLog& Log, const TLog& Expected) {
  size_t J = 0;
  for (const std::string& E : Log) {
    while (J < Expected.size() && Expected[J][0] == '?' && Expected[J].substr(1) != E) ++J;
    if (J == Expected.size() || (Expected[J] != E && Expected[J] != "?" + E))
      return ::testing::AssertionFailure() << "unexpected \"" << E << "\" at step " << J;
    ++J;
  }
  while (J < Expected.size() && Expected[J][0] == '?') ++J;
  if (J < Expected.size()) return ::testing::AssertionFailure() << "missing \"" << Expected[J] << "\"";
  return ::testing::AssertionSuccess();
}

// Children of a window carrying a dialog-child wrapper.
inline int WrappedChildren(HWND Box) {
  int N = 0;
  for (HWND C = GetWindow(Box, GW_CHILD); C; C = GetWindow(C, GW_HWNDNEXT)) N += HasForeignHook(C, siDialogChild);
  return N;
}

inline TacDialogWnd* DialogOf(HWND Box) {
  return static_cast<TacDialogWnd*>(FindForeignWrapper(Box, siDialog));
}

}  // namespace cb::test
