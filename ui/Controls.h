// Controls: windowless (TGraphicControl) and windowed (TWinControl) ones.
//
// Every message a control receives goes through WindowProc: the stacked
// window hooks, newest first, each passing the message on with Next, and at
// the end WndProc. Subclasses override WndProc, handle what they need and call
// inherited::WndProc for the rest; the default of a windowed control ends in
// the window class's own procedure.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Classes.h"
#include "ui/Graphics.h"
#include "ui/Messages.h"

class TWinControl;
class TCustomForm;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
using TAnchors = std::uint32_t;
constexpr TAnchors akLeft = 1, akTop = 2, akRight = 4, akBottom = 8;

// Pointer shapes. crDefault: the parent's (or the class's) shape.
using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                  crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10,
                  crHourGlass = -11, crNo = -13, crAppStart = -19, crHelp = -20,
                  crHandPoint = -21, crSizeAll = -22;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = std::uint32_t;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// A hook on a control's messages. Next hands the message to the hook below
// (older ones, then WndProc): whatever sits below at the moment of the call,
// so hooks may come off in any order, even while a message is under way.
// A plain reference to a callable, not a copy: passing a message down the
// chain allocates nothing (it runs for every message of a skinned control).
class TWindowHookNext {
public:
  template <class F>
  explicit TWindowHookNext(F& Callable)
      : FObject(&Callable), FCall([](void* O, TMessage& M) { (*static_cast<F*>(O))(M); }) {}
  void operator()(TMessage& Message) const { FCall(FObject, Message); }

private:
  void* FObject;
  void (*FCall)(void*, TMessage&);
};
using TWindowHookProc = std::function<void(TMessage& Message, const TWindowHookNext& Next)>;

// Run-time state of a control.
using TControlState = std::uint32_t;
constexpr TControlState csLButtonDown = 1u << 0;  // left button went down on it
constexpr TControlState csClicked = 1u << 1;
constexpr TControlState csCreating = 1u << 2;     // its window is being created
constexpr TControlState csPaintCopy = 1u << 3;    // painting into another DC (PaintTo)
constexpr TControlState csCustomPaint = 1u << 4;
constexpr TControlState csDestroyingHandle = 1u << 5;
constexpr TControlState csAlignmentNeeded = 1u << 6;
constexpr TControlState csScaling = 1u << 7;      // ChangeScale under way

// Fixed traits of a control class.
using TControlStyle = std::uint32_t;
constexpr TControlStyle csAcceptsControls = 1u << 0;
constexpr TControlStyle csCaptureMouse = 1u << 1;   // holds the mouse while a button is down
constexpr TControlStyle csClickEvents = 1u << 2;    // button up inside gives Click
constexpr TControlStyle csOpaque = 1u << 3;         // paints its whole area
constexpr TControlStyle csSetCaption = 1u << 4;     // Name changes set the caption
constexpr TControlStyle csParentBackground = 1u << 5;

// 96 DPI is the design density of every description.
constexpr int DesignPPI = 96;
int MulDivRound(int Value, int Numerator, int Denominator);  // rounds halves away from zero

class TControl : public TComponent {
  CB_CLASS(TControl, TComponent)
public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;
  // Before any destructor: csDestroying, and no longer the parent's hovered or
  // capturing child, so broadcasts and paints pass it by.
  void BeforeDestruction() override;

  // The windowed control this is, or null. Windowed or not is asked on every
  // paint and move; a failed dynamic_cast walks the class tree comparing names.
  virtual TWinControl* AsWinControl() { return nullptr; }
  const TWinControl* AsWinControl() const { return const_cast<TControl*>(this)->AsWinControl(); }

  // Parent: windowless controls are painted and fed with mouse input by it.
  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* AParent);
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  virtual TRect ClientRect() const;
  int ClientWidth() const { return ClientRect().Width(); }
  int ClientHeight() const { return ClientRect().Height(); }
  virtual void SetClientWidth(int Value);
  virtual void SetClientHeight(int Value);
  TPoint ClientOrigin() const;  // screen position of the client area's top left
  TPoint ClientToScreen(TPoint P) const;
  TPoint ScreenToClient(TPoint P) const;

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible and every parent showing (a form's window shown).
  virtual bool Showing() const;
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);

  // Caption and Text are the same value.
  std::wstring Caption() const { return GetText(); }
  void SetCaption(const std::wstring& Value) { SetText(Value); }
  std::wstring Text() const { return GetText(); }
  void SetText(const std::wstring& Value);

  TFont* Font() const { return FFont.get(); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);
  TCursor Cursor() const { return FCursor.load(); }
  // May be set from any thread; the pointer changes on the GUI thread.
  void SetCursor(TCursor Value);
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value);
  bool MouseInControl() const { return FMouseInControl; }
  TBiDiMode BiDiMode() const { return FBiDiMode; }
  void SetBiDiMode(TBiDiMode Value);

  TControlState ControlState() const { return FControlState; }
  void SetControlState(TControlState Value) { FControlState = Value; }
  TControlStyle ControlStyle() const { return FControlStyle; }
  void SetControlStyle(TControlStyle Value) { FControlStyle = Value; }

  // Message delivery: through the hooks, then WndProc.
  void WindowProc(TMessage& Message);
  LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  // Installs Proc on top of the chain under Id (an Id already there is replaced
  // in place). False from RemoveWindowHook when no hook has that Id.
  void AddWindowHook(std::uintptr_t Id, TWindowHookProc Proc);
  bool RemoveWindowHook(std::uintptr_t Id);
  bool HasWindowHook(std::uintptr_t Id) const;
  virtual void DefaultHandler(TMessage& Message);

  virtual void Invalidate();
  virtual void Update();
  virtual void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();

  // Paints the control (and its children) into DC at X, Y with csPaintCopy set.
  virtual void PaintTo(HDC DC, int X, int Y);

  // Density: the control's current pixels per inch (96 until scaled).
  int CurrentPPI() const { return FCurrentPPI; }
  // Scales positions, sizes and fonts from CurrentPPI to NewPPI, children too.
  virtual void ScaleForPPI(int NewPPI);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  virtual void Click();

  static void PublishProperties(TPublisher& P);

protected:
  // Runs Body with DC's origin moved to (X, Y), clipped to Width x Height and
  // csPaintCopy set; DC and state are restored however Body ends.
  void PaintCopy(HDC DC, int X, int Y, int Width, int Height, const std::function<void()>& Body);
  // Binds Canvas to DC with this control's font and colour for one Paint call.
  void PaintOnCanvas(TCanvas& Canvas, HDC DC, const std::function<void()>& Paint);
  virtual void WndProc(TMessage& Message);
  virtual std::wstring GetText() const { return FText; }
  virtual void SetTextValue(const std::wstring& Value);  // stores; windowed controls update the window
  virtual void ChangeScale(int M, int D);
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
  virtual void MouseMove(TShiftState Shift, int X, int Y);
  virtual void FontChanged();
  virtual void VisibleChanging() {}
  void Loaded() override;
  void SetCurrentPPI(int Value) { FCurrentPPI = Value; }
  void Destroying() { SetComponentStateFlag(csDestroying, true); }
  // Records the distances that akRight / akBottom keep to the parent's edges.
  void UpdateAnchorRules();
  // Whether font/colour follow the parent's now (ParentFont / ParentColor).
  void SyncWithParent();
  void InvalidateRect(const TRect& R);

  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  std::wstring FText;
  TControlState FControlState = 0;
  TControlStyle FControlStyle = csCaptureMouse | csClickEvents | csSetCaption;
  bool FMouseInControl = false;

private:
  friend class TWinControl;
  struct THook {
    std::uintptr_t Id;
    TWindowHookProc Proc;
    bool Removed = false;
  };
  void CallHooks(const std::shared_ptr<THook>* Chain, std::size_t Count, std::size_t From, TMessage& Message);
  void HandleMouse(TMessage& Message);
  void MouseNotice(TMessage& Message, bool Enter);
  std::vector<std::shared_ptr<THook>> FHooks;  // newest first
  void FontOnChange();
  bool FVisible = true;
  bool FEnabled = true;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  bool FParentColor = false;
  bool FSyncingFont = false;
  TColor FColor = clBtnFace;
  std::atomic<TCursor> FCursor{crDefault};
  TAlign FAlign = alNone;
  TAnchors FAnchors = akLeft | akTop;
  TBiDiMode FBiDiMode = bdLeftToRight;
  int FCurrentPPI = DesignPPI;
  // Distance to the parent's right and bottom edges, for akRight/akBottom.
  int FAnchorRight = 0, FAnchorBottom = 0;
  bool FAnchorsKnown = false;
  friend class TCustomForm;
};

// csPaintCopy set for a scope: the picture goes somewhere other than the screen.
struct TPaintCopyScope {
  explicit TPaintCopyScope(TControlState& AState) : State(AState), Old(AState) { State |= csPaintCopy; }
  ~TPaintCopyScope() { State = (State & ~csPaintCopy) | (Old & csPaintCopy); }
  TPaintCopyScope(const TPaintCopyScope&) = delete;
  TPaintCopyScope& operator=(const TPaintCopyScope&) = delete;
  TControlState& State;
  TControlState Old;
};

// Parameters of CreateWindowExW, adjusted by CreateParams overrides.
struct TCreateParams {
  std::wstring Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  WNDCLASSEXW WindowClass{};
  std::wstring WinClassName;        // the class registered for this control
  std::wstring SysClassName;        // non-empty: a system class (BUTTON...) taken over
};

// Whether a window belongs to this process: pointers found in window
// properties, and messages that carry pointers, are for no other.
bool IsOwnProcessWindow(HWND Wnd);

class TWinControl : public TControl {
  CB_CLASS(TWinControl, TControl)
public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;
  using TControl::AsWinControl;
  TWinControl* AsWinControl() override { return this; }

  HWND Handle();                        // creates the window (and parents) on demand
  bool HandleAllocated() const { return FHandle != nullptr; }
  HWND WindowHandle() const { return FHandle; }  // nullptr while there is no window; never creates
  void HandleNeeded() { Handle(); }
  void DestroyHandle();
  void RecreateWnd();                   // through CM_RECREATEWND

  int ControlCount() const { return static_cast<int>(FControls.size()); }
  TControl* Controls(int Index) const { return FControls[Index]; }
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);
  void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) override;
  // The windowless or windowed child whose area holds P (client coordinates).
  TControl* ControlAtPos(TPoint P, bool AllowDisabled = false, bool AllowWinControls = false) const;
  // Sends Message to every child until one sets Result.
  void Broadcast(TMessage& Message);

  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int Value);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value);
  bool Focused() const;
  bool CanFocus() const;
  virtual void SetFocus();

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  TRect ClientRect() const override;
  bool Showing() const override;
  void Invalidate() override;
  void Update() override;
  void Repaint() override;
  void PaintTo(HDC DC, int X, int Y) override;
  void ScaleForPPI(int NewPPI) override;

  // Arranges aligned and anchored children; runs after size changes.
  void Realign();
  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();

  // The windowless child under the mouse (nullptr: none).
  TControl* HoverControl() const { return FHoverControl; }
  // The windowless child holding the mouse while a button is down.
  TControl* CaptureControl() const { return FCaptureControl; }

  // The control that owns a window of this framework; nullptr for foreign windows.
  static TWinControl* FindControl(HWND Wnd);
  // The control whose window is being created right now on this thread (its
  // handle is known from the creation hook on; for hooks that see the window
  // before CreateWindowExW returns).
  static TWinControl* CreatingControl();

protected:
  void WndProc(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  virtual void CreateParams(TCreateParams& Params);
  virtual void CreateWnd();      // registers the class, creates the window, children
  virtual void CreateWindowHandle(const TCreateParams& Params);
  virtual void DestroyWnd();
  virtual void CreateHandle();
  virtual void PaintWindow(HDC DC);  // the control's own picture; default: the class procedure
  void PaintHandler(TMessage& Message);
  void PaintControls(HDC DC, TControl* First);
  void SetTextValue(const std::wstring& Value) override;
  std::wstring GetText() const override;
  void ChangeScale(int M, int D) override;
  virtual void AlignControls(TRect& Rect);
  void Loaded() override;
  void UpdateShowing();
  // Whether the window itself should be visible now.
  virtual bool WantsVisibleWindow() const;
  WNDPROC DefWndProc() const { return FDefWndProc; }

  HWND FHandle = nullptr;

private:
  friend LRESULT CALLBACK ControlWndProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK CreationHookProc(int, WPARAM, LPARAM);
  void AttachHandle(HWND Wnd);
  void RecordAnchorRules();
  bool RouteToChild(TMessage& Message);
  void SetHover(TControl* C);
  bool HandleSetCursor(TMessage& Message);
  // The child's input leaves this window: no longer hovered, no capture held for it.
  void ForgetChildInput(TControl* AControl);
  std::vector<TWinControl*> WindowedChildrenBottomUp() const;
  bool OwnsPainting() const;  // our own class, not a system one taken over
  bool HasVisibleGraphicChildren() const;
  void WMPaint(TMessage& Message);
  void WMPrint(TMessage& Message);
  void WMPrintClient(TMessage& Message);
  void WMEraseBkgnd(TMessage& Message);
  void WMMouse(TMessage& Message);
  void WMMouseLeave(TMessage& Message);
  void WMCaptureChanged(TMessage& Message);
  void WMWindowPosChanged(TMessage& Message);
  // Notifications of child windows go back to the child as CN_ messages.
  bool ReflectToChild(TMessage& Message);
  bool Reflect(TMessage& Message, HWND From, UINT Notification, bool OnlyWhenAnswered);
  void CMFontChanged();
  void CMColorChanged();
  void CMRecreateWnd();
  std::vector<TControl*> FControls;  // z-order: first painted first
  TControl* FHoverControl = nullptr;
  TControl* FCaptureControl = nullptr;
  bool FTrackingLeave = false;
  POINT FHitPoint{0, 0};  // where the last WM_NCHITTEST asked about
  bool FHitPointFresh = false;  // no WM_SETCURSOR since
  int FTabOrder = -1;
  bool FTabStop = false;
  int FAlignLevel = 0;
  WNDPROC FDefWndProc = nullptr;
  friend class TControl;
};

// A control's canvas: the paint context while the control paints, else a
// context of its window (a windowless control's is its parent's, offset and
// clipped to the control), given back when the application is next idle.
class TControlCanvas : public TCanvas {
  CB_CLASS(TControlCanvas, TCanvas)
public:
  explicit TControlCanvas(TControl* AControl) : FControl(AControl) {}
  ~TControlCanvas() override;
  void SetHandle(HDC Value) override;
  // Gives back a context the canvas got for itself.
  void FreeHandle();
  // Every canvas's own context (the application calls it when idle).
  static void FreeDeviceContexts();

protected:
  void CreateHandle() override;

private:
  TControl* FControl;
  HWND FWindow = nullptr;
  HDC FOwnDC = nullptr;
};

// A windowless control painted by its parent window.
class TGraphicControl : public TControl {
  CB_CLASS(TGraphicControl, TControl)
public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return FCanvas.get(); }

protected:
  void WndProc(TMessage& Message) override;
  virtual void Paint() {}

private:
  std::unique_ptr<TCanvas> FCanvas;
};

// A windowed control of its own class that paints itself through Paint().
class TCustomControl : public TWinControl {
  CB_CLASS(TCustomControl, TWinControl)
public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return FCanvas.get(); }

protected:
  void PaintWindow(HDC DC) override;
  virtual void Paint();  // default: fills with Color

private:
  std::unique_ptr<TCanvas> FCanvas;
};

// The form a control sits on (nullptr when it has none).
TCustomForm* GetParentForm(const TControl* Control);
// The windowed control C is, or null (also for a null C).
inline TWinControl* WinControlOf(TControl* C) { return C ? C->AsWinControl() : nullptr; }
inline const TWinControl* WinControlOf(const TControl* C) { return C ? C->AsWinControl() : nullptr; }
// Shift state from the message's key flags.
TShiftState KeysToShiftState(WPARAM Keys);
HCURSOR CursorHandle(TCursor Cursor);
