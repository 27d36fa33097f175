// The geometry of a skinned frame: its sizes, the title bar's layout and the
// hit codes, worked out from numbers alone. A form provider and a dialog
// wrapper share it; it has no window of its own, so it is tested natively.
#pragma once

#include <array>

#include "base/Geometry.h"
#include "sSkinData.h"

namespace cb {

// The kind of frame a window has.
enum TacBorderStyle { acbsDialog, acbsSingle, acbsNone, acbsSizeable, acbsToolWindow, acbsSizeToolWin };

// Border icons: the framework's bits.
constexpr unsigned acbiSystemMenu = 1, acbiMinimize = 2, acbiMaximize = 4, acbiHelp = 8;

// Hit codes, with the platform's values.
enum TacHitCode : int {
  htTransparent = -1,
  htNowhere = 0,
  htClient = 1,
  htCaption = 2,
  htSysMenu = 3,
  htMinButton = 8,
  htMaxButton = 9,
  htLeft = 10,
  htRight = 11,
  htTop = 12,
  htTopLeft = 13,
  htTopRight = 14,
  htBottom = 15,
  htBottomLeft = 16,
  htBottomRight = 17,
  htBorder = 18,
  htObject = 19,  // over a border window's frame: the system does nothing, the owner decides
  htClose = 20,
  htHelp = 21,
};

// The frame's sizes for a window, skin and density.
struct TacFrameMetrics {
  bool Extended = false;
  int SF = 0, SC = 0;              // the system's frame width and caption height
  int BW = 0, TH = 0;              // the skin's border width and title height
  int L = 0, T = 0, R = 0, B = 0;  // shadow margins
  int Width = 0, Height = 0;       // the frame image
  int FormW = 0, FormH = 0;        // the window they were measured for
  // The frame inside the shadow, in image coordinates.
  TRect Frame() const { return TRect(L, T, Width - R, Height - B); }
};

// What the sizes are made from.
struct TacFrameSizes {
  int FormW = 0, FormH = 0;  // the window's rectangle
  int SF = 0, SC = 0;        // the system's frame and caption as the window has them (SC 0: no caption)
  bool Extended = false;     // a border window shows the frame
  bool Zoomed = false;
  bool HaveSkin = false;     // without skin data an extended frame keeps the system's sizes
  int ExBorderWidth = 4, ExTitleHeight = 30, ExMaxHeight = 30;
  TMargins Shadow;
};

TacFrameMetrics FrameMetrics(const TacFrameSizes& S);

// Title buttons in the order they are laid out from the right.
enum TacTitleButtonSlot { tbClose, tbMax, tbMin, tbHelp, tbCount };

struct TacTitleButtonPlace {
  bool Visible = false;
  TacTitleGlyph Glyph = tgNone;
  bool HaveAlignment = false;  // may be top-aligned by the skin
  TRect Rect;                  // image coordinates; empty when not visible
};

struct TacTitleInput {
  TacFrameMetrics FM;
  TacBorderStyle Border = acbsSingle;
  unsigned Icons = acbiSystemMenu;
  bool Iconic = false, Zoomed = false;
  bool MainForm = false;  // its minimise button never stands for restoring
  bool ShowIcon = true;   // the owner wants an icon and the window has a system menu
  // Each glyph's size in the skin (21 x 21 where the skin has none).
  std::array<TSize, tgNone + 1> GlyphSizes{};
  int Spacing = 4, BILeftMargin = 0, BIRightMargin = 0, BISpacing = 0, BITopMargin = 0, ExCenterOffs = 0;
  bool ButtonsTopAligned = false;  // the skin aligns big buttons to the top
  bool OwnMaxHeight = false;       // the skin's maximised title height differs from the normal one
};

struct TacTitleLayout {
  std::array<TacTitleButtonPlace, tbCount> Buttons{};
  TRect Icon;        // empty (zero width) when there is none; its left is where the caption starts then
  TRect Caption;     // where the caption text may go
  int VCenter = 0;   // the title's centre line
  int HeaderHeight = 0;
  bool BigButtons = false;
};

TacTitleLayout LayoutTitle(const TacTitleInput& In);

// What a hit test needs beyond the layout.
struct TacHitInput {
  std::array<bool, tbCount> Enabled{};
  bool Iconic = false;
  bool Sizable = false;  // a sizing frame, not maximised
  TRect Client;          // the client area in image coordinates
};

// The hit code of an image point over a frame.
int FrameHitTest(TPoint P, const TacFrameMetrics& FM, const TacTitleLayout& L, const TacHitInput& In);

}  // namespace cb
