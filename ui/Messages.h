// Window messages as the framework delivers them, and the framework's own
// notifications. Every control receives messages through its WindowProc: a chain
// of stacked hooks (see TControl::AddWindowHook) that ends in WndProc, so a
// wrapper can act before the default handling and pass the rest on.
#pragma once
#include <windows.h>

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// Change notifications, numbered as the platform's component library numbers
// them (skin code written against those numbers must meet the same messages).
// Mouse enter/leave: LParam 0 (or the control itself) is the control's own
// event; a parent is told with LParam naming the descendant it happened to.
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;            // form became active
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_GOTFOCUS = CM_BASE + 2;
constexpr UINT CM_LOSTFOCUS = CM_BASE + 3;
constexpr UINT CM_CANCELMODE = CM_BASE + 4;
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;           // WParam: virtual key
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_HITTEST = CM_BASE + 10;            // LParam: point (client); Result 0 = transparent
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;     // WParam: new Visible
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;        // Caption changed
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_MENUCHANGED = CM_BASE + 21;        // a menu's items changed
constexpr UINT CM_BUTTONPRESSED = CM_BASE + 24;      // WParam: group index, LParam: the button
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;     // WParam: 1 about to show, 0 about to hide
constexpr UINT CM_ENTER = CM_BASE + 26;              // focus entered the control
constexpr UINT CM_EXIT = CM_BASE + 27;               // focus left it
constexpr UINT CM_RELEASE = CM_BASE + 33;            // posted by TCustomForm::Release
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;  // WParam: control, LParam: 1 inserted, 0 removing
constexpr UINT CM_RECREATEWND = CM_BASE + 51;        // default handling recreates the window
constexpr UINT CM_INVALIDATE = CM_BASE + 52;
constexpr UINT CM_SYSFONTCHANGED = CM_BASE + 53;     // the system's message font changed
constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;      // WParam: control, LParam: 1 inserted
constexpr UINT CM_BORDERCHANGED = CM_BASE + 59;
constexpr UINT CM_BIDIMODECHANGED = CM_BASE + 60;

// The framework's own messages, well away from the numbers above.
constexpr UINT CM_FRAMEWORK_BASE = 0xB800;
constexpr UINT CM_SCALECHANGED = CM_FRAMEWORK_BASE + 0;  // WParam: old PPI, LParam: new PPI (after scaling)
constexpr UINT CM_SYNCHRONIZE = CM_FRAMEWORK_BASE + 1;   // application window: run queued thread steps
constexpr UINT CM_MENUCOMMAND = CM_FRAMEWORK_BASE + 2;   // internal: chosen popup item

// Notifications that a parent window reflects to the child that sent them:
// the base plus the original message number.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;  // WParam: DC, Result: brush
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;

// Whether a mouse enter/leave notice is the control's own event rather than a
// notice about one of its descendants.
inline bool IsOwnMouseNotice(const void* Control, const TMessage& M) {
  return M.LParam == 0 || reinterpret_cast<const void*>(M.LParam) == Control;
}
