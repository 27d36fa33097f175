// The form provider: one per skinned form. It builds the frame, title bar and
// shadow as one image, clips the real window to its client area, shows the
// image through the border window (or in the non-client area when extended
// borders are off), and answers the pointer on the title bar.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sSkinData.h"
#include "skin/paint/DibBitmap.h"
#include "skin/paint/sCommonData.h"
#include "ui/Forms.h"

namespace cb {

class TacBorderForm;
class TsSkinProvider;
struct TacCaptionFont;

// The fade of one title button: its hot look comes in and goes out in steps
// on a timer of the form's window.
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

// The frame's sizes for the current window, skin and density.
struct TacFrameMetrics {
  bool Extended = false;
  int SF = 0, SC = 0;              // the system's frame width and caption height
  int BW = 0, TH = 0;              // the skin's border width and title height
  int L = 0, T = 0, R = 0, B = 0;  // shadow margins
  int Width = 0, Height = 0;       // the frame image
  int FormW = 0, FormH = 0;        // the window they were measured for
};

// Hit codes of the skinned title bar that the system lacks.
constexpr int HTOBJECT_ = 19;

class TsSkinProvider {
public:
  // The run-time path the creation hook takes; the provider subclasses the
  // form through its window hooks at once.
  explicit TsSkinProvider(TCustomForm* AForm);
  ~TsSkinProvider();
  TsSkinProvider(const TsSkinProvider&) = delete;
  TsSkinProvider& operator=(const TsSkinProvider&) = delete;

  TCustomForm* Form;
  bool AllowExtBorders = true, DrawNonClientArea = true, DrawClientArea = true, ShowAppIcon = true;
  bool UseGlobalColor = true, MakeSkinMenu = false;
  TAlignment CaptionAlignment = taLeftJustify;
  // Moves that bring the visible frame within SnapBuffer pixels of the work
  // area's edges put it on them.
  bool ScreenSnap = false;
  int SnapBuffer = 10;

  // (Re)reads the skin for the form; safe to call repeatedly.
  void PrepareForm();
  // Rebuilds the frame image; false when it had to wait.
  bool PaintAll();
  int CaptionHeight(bool CheckSkin);
  void ShadowSize(RECT& R);
  int OffsetX();
  int OffsetY();
  // The frame geometry as it is now.
  TacFrameMetrics Metrics();
  // Shows the system menu with its top-left at a screen point; true when an
  // item was chosen.
  bool DropSysMenu(int X, int Y);
  // Where the icon's click and Alt+Space show it: below the icon.
  bool DropSysMenuBelowIcon();
  // Stops every title-button fade.
  void KillAnimations();
  LRESULT ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam);

  // Whether the frame is shown by the border window.
  bool ExtendedBorders();
  // Hit code of a point in image coordinates (the border window asks too).
  int ExHitTest(POINT P);
  // Screen point to image coordinates.
  POINT ScreenToImage(POINT P);
  // The image with the frame; null before the first paint.
  TDibBitmap* FrameImage() { return FCommonData ? FCommonData->CacheBmp() : nullptr; }
  bool Skinned() const;
  bool FormActive = false;
  int CurrentHT = 0;
  bool biClicked = false;
  bool RightPressed = false;
  TsCaptionButton ButtonMin, ButtonMax, ButtonHelp, ButtonClose;
  RECT FIconRect{0, 0, 0, 0};
  int VCenter = 0, FHeaderHeight = 0;
  bool BigButtons = false;
  int FTitleSkinIndex = -1, FCaptionSkinIndex = -1, FHeaderIndex = -1;
  std::unique_ptr<TsCommonData> FCommonData;
  std::unique_ptr<TacBorderForm> BorderForm;
  bool RTInit = true;
  bool RgnChanged = true;
  // The title strip behind the buttons, for redrawing one button alone.
  std::unique_ptr<TDibBitmap> TempBmp;
  int TempBmpTop = 0, TempBmpLeft = 0;
  // Keeps the border window in step with the form (shown, hidden, moved).
  void UpdateExBorders();
  // Handlers the border window forwards to.
  void HandleNCMouseMove(int HT);
  void HandleNCMouseLeave();
  void HandleNCButtonDown(int HT, POINT Screen);
  void HandleNCButtonUp(int HT, POINT Screen);
  void HandleNCDoubleClick(int HT);
  void HandleNCRightUp(int HT, POINT Screen);
  TsCaptionButton* ButtonOfHT(int HT);

  // The system menu as the skinned one offers it (the caller destroys it).
  HMENU BuildSysMenu();
  // Id of the provider's hook on the form's chain.
  static constexpr std::uintptr_t HookId = 0x5C1F0;
  // Frame images built so far (moves must not build one).
  int PaintCount = 0;
  // Changes whenever the frame image's pixels change; the border window
  // renews its picture only when it differs from the one it shows.
  unsigned ImageSerial = 0;
  // The part of the image the change with serial DirtySerial touched alone.
  unsigned DirtySerial = 0;
  RECT DirtyRect{0, 0, 0, 0};

private:
  void WndHook(TMessage& M, const TWindowHookNext& Next);
  bool HandleCommand(TMessage& M, const TWindowHookNext& Next);
  void InitRT();
  void LayoutTitle(const TacFrameMetrics& FM);
  void PaintTitle(Bitmap32& Bmp, const TacFrameMetrics& FM, int State);
  // The shadow around the frame, and below the frame's clear corners.
  void PaintShadow(Bitmap32& Bmp, const TacFrameMetrics& FM, const std::vector<BmpRect>& Clear);
  void PaintCaptionText(const TacFrameMetrics& FM, int State, const RECT& TextRect);
  void PaintIcon(Bitmap32& Bmp);
  void DrawButton(Bitmap32& Bmp, TsCaptionButton& Btn, bool FromStrip);
  void RepaintButton(TsCaptionButton& Btn);
  void ShowImage();
  void UpdateRegion();
  void RemoveRegion();
  void SetHot(int HT);
  void StartFade(TsCaptionButton& Btn, bool Up);
  void FadeTick(UINT_PTR Id);
  void StopFade(TsCaptionButton& Btn);
  void CancelPress();
  void ReleaseAt(POINT Image);
  void DoCommand(WPARAM Cmd);
  bool ButtonEnabled(const TsCaptionButton& Btn) const;
  void NCPaint();
  void EraseClient(TMessage& M);
  void AnswerBG(TacBGRequest& R);
  void Detach();
  HWND Wnd() const;
  TacSkinData* Data();
  TsSkinManager* Manager() const;

  // Something the image shows changed: it is built again when next needed.
  void FrameChanged();
  void FreeCaptionFont();
  // The pixels of the border masks' corners that let what lies below show,
  // as rows of the image; the region without extended borders leaves them out.
  std::vector<BmpRect> CornerHoles(const TacFrameMetrics& FM, int State);
  void Snap(WINDOWPOS& WP);
  void DrawIconPicture(Bitmap32& Bmp, HICON Icon, int S);
  // Everything the geometry depends on besides the window's size changes
  // through messages the provider sees; those drop the cached metrics.
  void MetricsChanged() { FMetricsValid = false; }

  // The corner holes of the image now shown (see CornerHoles).
  std::vector<BmpRect> FHoles;
  SIZE FImageSize{0, 0};  // form size the image was built for
  SIZE FRgnSize{0, 0};    // form size the region was made for
  TacFrameMetrics FMetrics;
  bool FMetricsValid = false;
  const TacSkinData* FMetricsSkin = nullptr;
  bool FDetached = false;
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

// The provider of a form of this process (null when it has none).
TsSkinProvider* ProviderOfWindow(HWND Wnd);

// Whether the system offers per-pixel layered windows (looked up once).
bool LayeredWindowsAvailable();

}  // namespace cb
