// System dialogs and message boxes drawn by the skin. The dialog wrapper gives
// a dialog window the frame, title bar, close button and border window a form
// gets, paints its client area from the "DIALOG" section, and wraps the
// children a message box holds (text and icon statics, push buttons). Every
// wrapper sits on its window as a foreign hook; everything it changes on the
// window it puts back when it comes off.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "acBorderForm.h"
#include "acFrame.h"
#include "skin/binding/sCommonData.h"
#include "ui/ForeignHooks.h"

namespace cb {

class TacDialogWnd;

// The base of the handle wrappers: the window, and whether it is still ours.
class TacMainWnd : public TForeignWrapper {
public:
  explicit TacMainWnd(HWND Wnd) : CtrlHandle(Wnd) {}
  HWND CtrlHandle;
  bool Destroyed = false;
};

// The wrapper of one child control of a skinned dialog.
class TacChildWnd : public TacMainWnd {
public:
  TacChildWnd(HWND Wnd, TacDialogWnd& Dialog) : TacMainWnd(Wnd), FDialog(Dialog) {}
  void WndProc(TMessage& M, const TWindowHookNext& Next) override;

protected:
  // Paints the whole control into Bmp, which holds the dialog's background under it.
  virtual void PaintTo(TDibBitmap& Bmp) = 0;
  // After the control's own handling of a message: whether its look may have changed.
  virtual bool Restyles(UINT Msg) const;
  void Paint(HDC DC);
  TacDialogWnd& FDialog;
};

// Prints the visible children of Parent into DC (its client origin at DC's
// origin) in z-order, each through WM_PRINT, grandchildren after their parent.
void PrintHwndControls(HWND Parent, HDC DC);

// The child classes a message box holds get wrappers; others stay as they
// are, coloured by the dialog's answers to WM_CTLCOLOR*. Null for none.
std::unique_ptr<TacChildWnd> MakeChildWrapper(HWND Child, TacDialogWnd& Dialog);

class TacDialogWnd : public TacMainWnd, private TacFrameHost, private TacBorderOwner {
public:
  explicit TacDialogWnd(HWND Wnd);
  ~TacDialogWnd() override;

  // Takes the window: styles, class style and rendering policy changed, the
  // hook on. False (nothing changed) when the window refuses the hook.
  bool Attach();
  // Puts everything back and takes every hook off (freed once no message of
  // the dialog is under way). Marks the wrapper dead.
  void Detach();
  // Wraps the children once; false when one could not be wrapped (the
  // dialog is then given back whole).
  bool InitChildren();
  void FitMessageText();
  // The skin may paint the box's lower part in another colour, a band behind
  // its buttons that grows with the box; a long text must end above it, so
  // the box is made taller until it does.
  void KeepTextAboveBand();
  // The first row of the client area, below FromY, where the skin's
  // background turns into a band of another colour; -1 when there is none.
  int BandTop(int FromY);

  void WndProc(TMessage& M, const TWindowHookNext& Next) override;

  bool Initialized = false;
  TsCommonData SkinData;
  std::unique_ptr<TacFrame> Frame;
  std::unique_ptr<TacBorderForm> BorderForm;
  TacBorderStyle BorderStyle = acbsSingle;
  HICON TitleIcon = nullptr;  // our copy, destroyed with the wrapper
  HFONT TitleFont = nullptr;
  std::wstring TitleFontName;
  int TitleFontCharset = DEFAULT_CHARSET;
  // Client background at a child's place: false before the frame image exists.
  bool ChildBackground(HWND Child, TDibBitmap& Into);
  // Section used for text drawn on the client area, and the skin data.
  int ClientSection() const { return SkinData.SkinIndex(); }
  TacSkinData* Skin() { return SkinData.CommonSkinData(); }
  HBRUSH ClientBrush();
  std::vector<HWND> WrappedChildren;

private:
  HWND FrameHandle() const override { return CtrlHandle; }
  TsCommonData* FrameData() const override { return const_cast<TsCommonData*>(&SkinData); }
  bool FrameSkinned() const override;
  bool FrameExtended() const override;
  TacBorderStyle FrameBorderStyle() const override { return BorderStyle; }
  unsigned FrameBorderIcons() const override { return acbiSystemMenu; }
  std::wstring FrameCaption() const override;
  std::wstring FrameFontName() const override { return TitleFontName; }
  int FrameFontCharset() const override { return TitleFontCharset; }
  int FrameCaptionAlignment() const override { return 0; }
  bool FrameShowsIcon() const override { return true; }
  HICON FrameIcon() const override { return TitleIcon; }
  bool FrameIsMainWindow() const override { return false; }
  void FrameShow() override { UpdateExBorders(); }
  void FrameShowPart(const RECT&) override { UpdateExBorders(); }
  void FrameHolesChanged() override { FRgnChanged = true; }
  HWND BorderOwnerHandle() const override { return CtrlHandle; }
  bool BorderOwnerSkinned() const override { return FrameSkinned(); }
  TacFrame& BorderFrame() override { return *Frame; }

  void PrepareSkin();
  void UpdateExBorders();
  void UpdateRegion();
  void EraseClient(TMessage& M);
  bool CloseByOnlyButton();
  void NCActivate(TMessage& M, const TWindowHookNext& Next);

  LONG FOldStyle = 0;
  bool FHoldsClass = false;
  bool FRgnChanged = true, FOwnRgn = false, FPolicySet = false;
  SIZE FRgnSize{0, 0};
  HBRUSH FBrush = nullptr;
  COLORREF FBrushColor = 0;
};

}  // namespace cb
