// The library's one window message and its command codes. WParam carries the
// command in the high word and a small argument in the low word; LParam a
// pointer or a value; the result depends on the command.
#pragma once

#include <cstdint>

namespace cb {

constexpr unsigned SKM_COMMAND = 0xA100;

enum TacSkinCommand : std::uint16_t {
  SKC_SKINLOADED = 1,
  SKC_SKINREMOVED = 2,
  SKC_REFRESH = 3,
  SKC_GETPROVIDER = 4,
  SKC_UPDATEDONE = 6,
  SKC_ISSKINNED = 7,
  SKC_SETUPDATING = 8,
  SKC_GETDEFINDEX = 9,
  SKC_ISUPDATING = 10,
  SKC_ISHALFVISIBLE = 11,
  SKC_GETWRAPPER = 12,
  SKC_SECTIONCHANGED = 13,
  SKC_SETSECTION = 15,
  SKC_STOPANIM = 16,
  SKC_BGCHANGED = 17,
  SKC_INVALIDATE = 18,
  SKC_ISBGCOMPLEX = 19,
  SKC_REPAINTIFMOVED = 20,
  SKC_GETBGCOLOR = 21,
  SKC_SETHALFVISIBLE = 22,
  SKC_PREPARECACHE = 23,
  SKC_CONTROLADDED = 25,
  SKC_GETSKININDEX = 26,
  SKC_GETMANAGER = 27,
  SKC_SETACTIVE = 30,
  SKC_BEGINUPDATE = 31,
  SKC_ENDUPDATE = 32,
  SKC_FREECACHE = 33,
  SKC_GETBG = 34,
  SKC_FONTCHANGED = 36,
  SKC_GETCOMMONDATA = 37,
  SKC_SETPRINTDC = 38,
  SKC_PAINTOUTER = 40,
  // Between the menu painter and the menu-window wrapper: paint the window's
  // frame now; whether the window's region changed since asked last; the
  // frame has been shown.
  SKC_MENUFRAME = 51,
  SKC_ISREGIONCHANGED = 52,
  SKC_MENUSHOWN = 55,
  SKC_SCROLLCHANGED = 53,
  SKC_GETCOLORTONE = 54,  // result: the tone of the owner's glow, 0 for its own
  SKC_GETAPP = 60,
  SKC_TITLECHANGED = 62,
  SKC_GETFONTSECTION = 66,
  // Between the form, border, menu and dialog wrappers: the system frame's width
  // (low word 1: the sizing frame's, 2: the fixed frame's, else as the window has it).
  SKC_GETFRAMEWIDTH = 67,
  SKC_SCALECHANGED = 68,
  SKC_GETPPI = 69,
  SKC_GETBOUNDS = 70,
  SKC_APPLYPREVIEW = 71,  // posted to the application window: a skin editor's preview arrived
  SKC_SKINCHANGED = 74,      // to skin-selection controls: the current skin changed
  SKC_SKINLISTCHANGED = 75,  // to skin-selection controls: the skin list changed
  SKC_SKINLISTLOADING = 97,  // to every form: LParam 1 while the skin list fills, 0 when done
  SKC_DRAWNONCLIENT = 83,  // LParam: the manager's new DrawNonClientArea
  SKC_ISOPAQUE = 85,
  SKC_GETSKINDATA = 86,
  SKC_GETDEFSECTION = 88,
};

// WParam of a command with its small argument.
constexpr std::uintptr_t SkinCommand(TacSkinCommand Code, std::uint16_t Low = 0) {
  return (static_cast<std::uintptr_t>(Code) << 16) | Low;
}
constexpr TacSkinCommand CommandOf(std::uintptr_t WParam) {
  return static_cast<TacSkinCommand>((WParam >> 16) & 0xFFFF);
}
constexpr std::uint16_t CommandArg(std::uintptr_t WParam) { return static_cast<std::uint16_t>(WParam & 0xFFFF); }

}  // namespace cb
