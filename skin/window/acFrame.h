// The skinned frame of a top-level window: one image of the frame, title bar,
// icon, caption, title buttons and shadow; the title buttons with their fades;
// the pointer over the frame and the skinned system menu. A form provider and
// a dialog wrapper each own one and describe their window to it.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "acFrameGeometry.h"
#include "skin/paint/DibBitmap.h"
#include "skin/binding/sCommonData.h"

namespace cb {

struct TacCaptionFont;
class TsSkinableMenus;

// The fade of one title button: its hot look comes in and goes out in steps
// on a timer of the window.
struct TacSBAnimation {
  int Level = 0;  // opacity of the hot look, 0..255
  int Step = 0;   // signed change per tick
  UINT_PTR TimerId = 0;
};

struct TsCaptionButton {
  int cpState = 0;  // 0 normal, 1 hot, 2 pressed
  int cpGlowID = -1;
  RECT cpRect{0, 0, 0, 0};  // in image coordinates
  UINT cpHitCode = 0;
  std::unique_ptr<TacSBAnimation> cpTimer;
  bool cpHaveAlignment = false;
  TacTitleGlyph cpGlyphType = tgNone;
  bool Visible = false;
  bool Enabled = true;
};

// What a frame needs of the window it frames.
class TacFrameHost {
public:
  virtual HWND FrameHandle() const = 0;
  // The binding whose cache is the frame image; its section is the frame's.
  virtual TsCommonData* FrameData() const = 0;
  virtual bool FrameSkinned() const = 0;
  // A border window shows the frame (else the window's own non-client area).
  virtual bool FrameExtended() const = 0;
  virtual TacBorderStyle FrameBorderStyle() const = 0;
  virtual unsigned FrameBorderIcons() const = 0;
  virtual std::wstring FrameCaption() const = 0;
  // The caption's font: the name when the skin manager names none, and the charset.
  virtual std::wstring FrameFontName() const = 0;
  virtual int FrameFontCharset() const = 0;
  // Left, centred or right (0, 2, 1, as the framework's alignment).
  virtual int FrameCaptionAlignment() const = 0;
  virtual bool FrameShowsIcon() const = 0;
  // An icon of the owner's own for the title (windows without a system menu
  // have none of the system's); null: the window's.
  virtual HICON FrameIcon() const { return nullptr; }
  // The program's main window: its minimise button never restores.
  virtual bool FrameIsMainWindow() const = 0;
  // Called before the image is built: an owner that initialises lazily does it now.
  virtual void FrameEnsureReady() {}
  // The whole image changed: show it.
  virtual void FrameShow() = 0;
  // Only this part of the image changed (one title button): show that.
  virtual void FrameShowPart(const RECT& Part) = 0;
  // The clear corners of the image changed (the region without a border window follows them).
  virtual void FrameHolesChanged() = 0;

protected:
  ~TacFrameHost() = default;
};

class TacFrame {
public:
  explicit TacFrame(TacFrameHost& Host);
  ~TacFrame();
  TacFrame(const TacFrame&) = delete;
  TacFrame& operator=(const TacFrame&) = delete;

  // Section indexes of the title bar, a caption plate and the header band for
  // the current skin (-1: none).
  int FTitleSkinIndex = -1, FCaptionSkinIndex = -1, FHeaderIndex = -1;

  // The geometry as it is now.
  TacFrameMetrics Metrics();
  int CaptionHeight(bool CheckSkin);
  void ShadowSize(RECT& R);
  int OffsetX();
  int OffsetY();
  // Screen point to image coordinates.
  POINT ScreenToImage(POINT P);
  // Hit code of a point in image coordinates (the border window asks too).
  int ExHitTest(POINT P);

  // Rebuilds the image; false when it had to wait.
  bool PaintAll();
  // The image; null before the first paint.
  TDibBitmap* FrameImage();
  // Something the image shows changed: it is built again when next needed.
  void Changed();
  bool Stale() const;
  // Everything the geometry depends on besides the window's size changes
  // through messages the owner sees; those drop the cached metrics.
  void MetricsChanged() { FMetricsValid = false; }
  // The icon may be another now.
  void IconChanged() { FIconOf = nullptr; }
  // The window size the image was built for.
  SIZE ImageSize() const { return FImageSize; }
  // The masks' clear corners as rows of the image (cut out of the window without a border window).
  const std::vector<BmpRect>& Holes() const { return FHoles; }

  // The pointer over the frame: hover, press, release, double and right
  // clicks, the system menu by mouse and keyboard, the fades' ticks. True
  // when the message was answered; the caller passes the rest on (some with
  // their hit code filled in).
  bool HandleInput(TMessage& M);
  void HandleNCMouseMove(int HT);
  void HandleNCMouseLeave();
  void HandleNCButtonDown(int HT, POINT Screen);
  void HandleNCButtonUp(int HT, POINT Screen);
  void HandleNCDoubleClick(int HT);
  void HandleNCRightUp(int HT, POINT Screen);
  TsCaptionButton* ButtonOfHT(int HT);
  // Stops every title-button fade.
  void KillAnimations();
  // Ends a pending press and gives the capture back (the owner is going).
  void Release();

  // The system menu as the skinned one offers it (the caller destroys it).
  HMENU BuildSysMenu();
  // Shows the system menu with its top-left at a screen point; true when an
  // item was chosen. The window owns the menu while it shows: its owner hands
  // the window's messages to HandleInput, which answers the skinned items'
  // WM_MEASUREITEM and WM_DRAWITEM.
  bool DropSysMenu(int X, int Y);
  // Where the icon's click and Alt+Space show it: below the icon.
  bool DropSysMenuBelowIcon();

  bool FormActive = false;
  int CurrentHT = 0;
  bool biClicked = false;
  bool RightPressed = false;
  TsCaptionButton ButtonMin, ButtonMax, ButtonHelp, ButtonClose;
  RECT FIconRect{0, 0, 0, 0};
  int VCenter = 0, FHeaderHeight = 0;
  bool BigButtons = false;
  // The title strip behind the buttons, for redrawing one button alone.
  std::unique_ptr<TDibBitmap> TempBmp;
  int TempBmpTop = 0, TempBmpLeft = 0;
  // Frame images built so far (moves must not build one).
  int PaintCount = 0;
  // Changes whenever the image's pixels change; the border window renews its
  // picture only when it differs from the one it shows.
  unsigned ImageSerial = 0;
  // The part of the image the change with serial DirtySerial touched alone.
  unsigned DirtySerial = 0;
  RECT DirtyRect{0, 0, 0, 0};

private:
  HWND Wnd() const { return FHost.FrameHandle(); }
  TsCommonData* Data() const { return FHost.FrameData(); }
  TacSkinData* SkinData() const;
  bool ButtonEnabled(const TsCaptionButton& Btn) const;
  void LayoutTitle(const TacFrameMetrics& FM);
  void PaintTitle(Bitmap32& Bmp, const TacFrameMetrics& FM, int State);
  // The shadow around the frame, and below the frame's clear corners.
  void PaintShadow(Bitmap32& Bmp, const TacFrameMetrics& FM, const std::vector<BmpRect>& Clear);
  void PaintCaptionText(const TacFrameMetrics& FM, int State, const RECT& TextRect);
  void PaintIcon(Bitmap32& Bmp);
  void DrawButton(Bitmap32& Bmp, TsCaptionButton& Btn, bool FromStrip);
  void RepaintButton(TsCaptionButton& Btn);
  void SetHot(int HT);
  void StartFade(TsCaptionButton& Btn, bool Up);
  void FadeTick(UINT_PTR Id);
  void StopFade(TsCaptionButton& Btn);
  void CancelPress();
  void ReleaseAt(POINT Image);
  void DoCommand(WPARAM Cmd);
  // The pixels of the border masks' corners that let what lies below show,
  // as rows of the image.
  std::vector<BmpRect> CornerHoles(const TacFrameMetrics& FM, int State);
  void DrawIconPicture(Bitmap32& Bmp, HICON Icon, int S);

  TacFrameHost& FHost;
  // The painter of the system menu while it shows.
  TsSkinableMenus* FMenuPainter = nullptr;
  TacTitleLayout FLayout;
  std::vector<BmpRect> FHoles;
  SIZE FImageSize{0, 0};  // window size the image was built for
  TacFrameMetrics FMetrics;
  bool FMetricsValid = false;
  const TacSkinData* FMetricsSkin = nullptr;
  bool FInPaint = false;
  // The caption font, taken again only when its name, height or charset change.
  std::shared_ptr<TacCaptionFont> FCaptionFont;
  // The icon with its own alpha at the title's size (icons without alpha
  // draw against the title each time).
  HICON FIconOf = nullptr;
  int FIconSize = 0;
  bool FIconHasAlpha = false;
  Bitmap32 FIconPic;
};

}  // namespace cb
