// Window messages as the framework delivers them, and the framework's own
// notifications. Every control receives messages through its WindowProc, so a
// subclass (or a later wrapper that replaces WindowProc) can act before the
// default handling and pass the rest on.
#pragma once
#include <windows.h>

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// Change notifications. The range 0xB000-0xB0FF lies in WM_APP space and is used
// by nothing else in the program (the skin command message is 0xA100).
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;           // form became active
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 2;     // WParam: new Visible
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 3;
constexpr UINT CM_COLORCHANGED = CM_BASE + 4;
constexpr UINT CM_FONTCHANGED = CM_BASE + 5;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 6;        // Caption changed
constexpr UINT CM_MOUSEENTER = CM_BASE + 7;         // LParam: the control
constexpr UINT CM_MOUSELEAVE = CM_BASE + 8;         // LParam: the control
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 9;     // window about to be shown/hidden
constexpr UINT CM_BORDERCHANGED = CM_BASE + 10;
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 11; // WParam: control, LParam: 1 inserted, 0 removing
constexpr UINT CM_RECREATEWND = CM_BASE + 12;       // default handling recreates the window
constexpr UINT CM_BIDIMODECHANGED = CM_BASE + 13;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 14;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 15;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 16;
constexpr UINT CM_CONTROLCHANGE = CM_BASE + 17;     // WParam: control, LParam: 1 inserted
constexpr UINT CM_DIALOGKEY = CM_BASE + 18;         // WParam: virtual key
constexpr UINT CM_HITTEST = CM_BASE + 19;           // LParam: point (client); Result 0 = transparent
constexpr UINT CM_SCALECHANGED = CM_BASE + 20;      // WParam: old PPI, LParam: new PPI (after scaling)
constexpr UINT CM_RELEASE = CM_BASE + 21;           // posted by TCustomForm::Release
constexpr UINT CM_SYNCHRONIZE = CM_BASE + 22;       // application window: run queued thread steps
constexpr UINT CM_MENUCOMMAND = CM_BASE + 23;       // internal: chosen popup item

// Notifications that a parent window reflects to the child that sent them.
constexpr UINT CN_BASE = 0xB080;
constexpr UINT CN_COMMAND = CN_BASE + 0;     // from WM_COMMAND (control notification)
constexpr UINT CN_NOTIFY = CN_BASE + 1;      // from WM_NOTIFY
constexpr UINT CN_DRAWITEM = CN_BASE + 2;    // from WM_DRAWITEM
constexpr UINT CN_MEASUREITEM = CN_BASE + 3; // from WM_MEASUREITEM
constexpr UINT CN_CTLCOLORBTN = CN_BASE + 4; // from WM_CTLCOLORBTN; WParam: DC, Result: brush
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + 5;
constexpr UINT CN_KEYDOWN = CN_BASE + 6;
