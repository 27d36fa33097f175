// The form provider: one per skinned form. It hooks the form, owns the form's
// frame (the image of frame, title bar and shadow, and the pointer over it),
// clips the real window to its client area with a region, and keeps the
// border window that shows the frame (or shows it in the non-client area
// when extended borders are off).
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acAnimations.h"
#include "acBorderForm.h"
#include "acFrame.h"
#include "sSkinData.h"
#include "skin/paint/DibBitmap.h"
#include "skin/binding/sCommonData.h"
#include "ui/Forms.h"

namespace cb {


class TsSkinProvider : private TacFrameHost, private TacBorderOwner {
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
  LRESULT ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam);

  // Whether the frame is shown by the border window.
  bool ExtendedBorders() const;
  bool Skinned() const;
  std::unique_ptr<TsCommonData> FCommonData;
  // The frame: its image, geometry, title buttons and the pointer over it.
  // Made with the binding; null for a second, inert provider.
  std::unique_ptr<TacFrame> Frame;
  std::unique_ptr<TacBorderForm> BorderForm;
  bool RTInit = true;
  bool RgnChanged = true;
  // Keeps the border window in step with the form (shown, hidden, moved).
  void UpdateExBorders();

  // Animations: the form may fade in, out, to the task bar and back; with
  // AllowBlendOnMoving it may turn translucent while dragged.
  bool AllowAnimation = true, AllowBlendOnMoving = true;
  // An animation runs: painting and border updates wait for its end.
  bool FInAnimation = false;
  // The next minimise or restore command is not animated.
  bool SkipAnimation = false;
  std::function<void()> OnAfterAnimation;
  // The whole window as it shows: the frame image with the client area and
  // every visible child painted into it (null without a frame image).
  std::unique_ptr<TDibBitmap> MakeWindowPicture();
  // Where that picture's top left lies on the screen.
  POINT PicturePos();
  TacMinTimer* MinTimer() const { return FMinTimer.get(); }
  TacMoveTimer* MoveTimer() const { return FMoveTimer.get(); }

  // Id of the provider's hook on the form's chain.
  static constexpr std::uintptr_t HookId = 0x5C1F0;

private:
  // The frame's host.
  HWND FrameHandle() const override { return Wnd(); }
  TsCommonData* FrameData() const override { return FCommonData.get(); }
  bool FrameSkinned() const override { return Skinned(); }
  bool FrameExtended() const override { return ExtendedBorders(); }
  TacBorderStyle FrameBorderStyle() const override;
  unsigned FrameBorderIcons() const override { return Form->BorderIcons(); }
  std::wstring FrameCaption() const override { return Form->Caption(); }
  std::wstring FrameFontName() const override;
  int FrameFontCharset() const override;
  int FrameCaptionAlignment() const override { return static_cast<int>(CaptionAlignment); }
  bool FrameShowsIcon() const override { return ShowAppIcon; }
  bool FrameIsMainWindow() const override;
  void FrameEnsureReady() override;
  void FrameShow() override { ShowImage(); }
  void FrameShowPart(const RECT& Part) override;
  void FrameHolesChanged() override { RgnChanged = true; }
  // The border window's owner.
  HWND BorderOwnerHandle() const override { return Wnd(); }
  bool BorderOwnerSkinned() const override { return Skinned(); }
  TacFrame& BorderFrame() override { return *Frame; }

  void WndHook(TMessage& M, const TWindowHookNext& Next);
  bool HandleCommand(TMessage& M, const TWindowHookNext& Next);
  void InitRT();
  void ShowImage();
  void UpdateRegion();
  void RemoveRegion();
  void NCPaint();
  void EraseClient(TMessage& M);
  void AnswerBG(TacBGRequest& R);
  void Detach();
  HWND Wnd() const;
  TacSkinData* Data();
  TsSkinManager* Manager() const;
  void Snap(WINDOWPOS& WP);

  // Animations.
  bool ShowAnimationWanted();
  bool HideAnimationWanted();
  bool MinimizeAnimationWanted();
  void ShowAnimated(TMessage& M, const TWindowHookNext& Next);
  void RunShowAnimation(std::unique_ptr<TacLayeredSurface>& Surface);
  void EndShowAnimation(std::unique_ptr<TacLayeredSurface> Surface, bool AddedLayered);
  void HideAnimated(TMessage& M, const TWindowHookNext& Next);
  void CaptureOnClose(TMessage& M, const TWindowHookNext& Next);
  bool SysCommandAnimated(TMessage& M, const TWindowHookNext& Next);
  void MinimizeAnimated(TMessage& M, const TWindowHookNext& Next);
  void RestoreAnimated(TMessage& M, const TWindowHookNext& Next);
  bool BlendOnMoving(TMessage& M, const TWindowHookNext& Next);
  std::unique_ptr<TacLayeredSurface> AnimationSurface(bool FromBorder);
  void MakeTransparent(bool& AddedLayered);
  void LiftTransparency(bool AddedLayered);
  void StopFormTimers();

  SIZE FRgnSize{0, 0};  // form size the region was made for
  bool FDetached = false;
  // Whether the provider still lives after a message that may free it.
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
  // The window's picture taken when it was asked to close, for its hiding.
  std::unique_ptr<TDibBitmap> FClosePicture;
  std::unique_ptr<TacMinTimer> FMinTimer;
  std::unique_ptr<TacMoveTimer> FMoveTimer;
  bool FRestoreLayered = false;  // the restore animation made the form layered
  int FBorderBlend = 255;        // the border window's opacity (clear while the form fades in)
};

// The provider of a form of this process (null when it has none).
TsSkinProvider* ProviderOfWindow(HWND Wnd);

// Whether the system offers per-pixel layered windows (looked up once).
bool LayeredWindowsAvailable();

}  // namespace cb
