// Forms, the application object and the screen.
//
// A form class is declared with CB_CLASS, publishes its component fields and
// handlers by registering them in its constructor, and ends the constructor
// with InitializeForm(), which reads the description resource named after the
// class (type "FORMTEXT"), then runs OnCreate:
//
//   class TForm1 : public TForm {
//     CB_CLASS(TForm1, TForm)
//   public:
//     explicit TForm1(TComponent* AOwner) : TForm(AOwner) {
//       RegisterField(L"btn1", btn1);
//       RegisterMethod(L"btn1Click", &TForm1::btn1Click);
//       InitializeForm();
//     }
//     TSpeedButton* btn1 = nullptr;
//     void btn1Click(TObject* Sender);
//   };
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/Controls.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderIcons = std::uint32_t;
constexpr TBorderIcons biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8;
enum TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

using TModalResult = int;
constexpr TModalResult mrNone = 0, mrOk = IDOK, mrCancel = IDCANCEL, mrAbort = IDABORT,
                       mrRetry = IDRETRY, mrIgnore = IDIGNORE, mrYes = IDYES, mrNo = IDNO,
                       mrClose = 8;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// The resource type of form descriptions.
constexpr const wchar_t* FormResourceType = L"FORMTEXT";

class TCustomForm : public TWinControl {
  CB_CLASS(TCustomForm, TWinControl)
public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  // Reads the description resource named after the class from the program
  // module (EResNotFound when missing), then runs OnCreate.
  void InitializeForm();
  // The same from a description text (UTF-8).
  void InitializeFormFromText(std::string_view Text);

  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  TWindowState WindowState() const;
  void SetWindowState(TWindowState Value);
  // Density the description was made for (96); positions are scaled from it.
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }
  int TextHeight() const { return FTextHeight; }  // stored, informative
  void SetTextHeight(int Value) { FTextHeight = Value; }

  void SetClientWidth(int Value) override;
  void SetClientHeight(int Value) override;
  TRect ClientRect() const override;

  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  // Shows the form, disables the other windows of the thread and runs a
  // message loop until ModalResult is set or the form closes.
  virtual TModalResult ShowModal();
  bool Modal() const { return FModal; }
  // Asks OnCloseQuery, then OnClose decides (caHide by default). Closing the
  // main form ends the application.
  void Close();
  // Frees the form once the messages in the queue are handled.
  void Release();
  bool Active() const;
  // Shows the window without making it the active one.
  void ShowNoActivate();

  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Value);

  // Draws on the client area: in OnPaint, or at any other time on the window.
  TCanvas* Canvas() const { return FCanvas.get(); }

  TNotifyEvent OnCreate;
  TNotifyEvent OnPaint;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

  static void PublishProperties(TPublisher& P);

protected:
  void WndProc(TMessage& Message) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  bool WantsVisibleWindow() const override;
  void SetVisible(bool Value) override;
  void ChangeScale(int M, int D) override;
  void PaintWindow(HDC DC) override;
  virtual void Paint();  // runs OnPaint
  virtual void DoCreate();
  virtual void DoShow();
  virtual void DoHide();
  virtual bool CloseQuery();
  void Loaded() override;
  // Centres or places the window according to Position (first showing).
  void ApplyPosition();

private:
  void CloseModal();
  static void SetDesignPPI(TControl* C, int PPI);
  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition FPosition = poDefaultPosOnly;
  int FPixelsPerInch = DesignPPI;
  int FTextHeight = 13;
  int FClientWidth = -1, FClientHeight = -1;  // stored client size until the window exists
  TModalResult FModalResult = mrNone;
  bool FModal = false;
  bool FPositioned = false;
  bool FShowing = false;
  bool FActivateOnShow = true;
  bool FDestroyedNotified = false;
  TWinControl* FActiveControl = nullptr;
  std::unique_ptr<TCanvas> FCanvas;
  friend class TApplication;
};

class TForm : public TCustomForm {
  CB_CLASS(TForm, TCustomForm)
public:
  using TCustomForm::TCustomForm;
};

// Receives the application window's messages before the application does;
// returns true when it handled the message (Message.Result is then used).
using TWindowHook = std::function<bool(TMessage& Message)>;
using TExceptionEvent = std::function<void(TObject* Sender, const std::wstring& Message)>;

class TApplication : public TComponent {
  CB_CLASS(TApplication, TComponent)
public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  void Initialize();
  // Creates the form; the first form created becomes MainForm.
  template <class T> void CreateForm(T*& Reference) {
    T* Form = new T(this);
    Reference = Form;
    // The main form's window is made before it is the main form, so hooks
    // that watch window creation see it as any other form.
    if (!FMainForm) {
      Form->HandleNeeded();
      FMainForm = Form;
    }
  }
  // Shows MainForm (OnShow runs before any input is handled) and runs the
  // message loop until Terminate.
  void Run();
  void ProcessMessages();
  void HandleMessage();  // one message, or waits for one
  void Terminate();
  bool Terminated() const { return FTerminated; }

  TCustomForm* MainForm() const { return FMainForm; }
  bool MainFormOnTaskBar() const { return FMainFormOnTaskBar; }
  void SetMainFormOnTaskBar(bool Value) { FMainFormOnTaskBar = Value; }
  bool ShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool Value) { FShowMainForm = Value; }
  const std::wstring& Title() const { return FTitle; }
  void SetTitle(const std::wstring& Value);
  // Whether hints may show (controls switch them off while a button is held).
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value) { FShowHint = Value; }
  std::wstring ExeName() const;

  // The hidden application window (created on first use, GUI thread).
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Adds a hook; the returned id removes it. Hooks run newest first.
  int HookMainWindow(TWindowHook Hook);
  void UnhookMainWindow(int Id);

  // The window message boxes and dialogs belong to: the active form of this
  // thread, else the main form's window.
  HWND ActiveFormHandle() const;
  int MessageBox(const std::wstring& Text, const std::wstring& Caption, UINT Flags = MB_OK);
  // The program's own text for a button of the boxes it shows, by command id
  // (IDOK, IDCANCEL, IDYES, IDNO): the system would word them in its own
  // language. Buttons without one keep the system's text.
  void SetMessageButtonCaption(int Id, const std::wstring& Caption);

  // Shows the text of the exception being handled (call inside a catch block),
  // or passes it to OnException when set.
  void HandleException(TObject* Sender);
  void ShowException(const std::wstring& Message);
  TExceptionEvent OnException;

  // Runs the steps worker threads handed to the GUI thread.
  void CheckSynchronize();

  // Notification hook for forms.
  void FormDestroying(TCustomForm* Form);

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  static LRESULT CALLBACK AppWndProc(HWND, UINT, WPARAM, LPARAM);
  void WndProc(TMessage& Message);
  bool ProcessMessage(MSG& Msg);
  bool IsDialogKey(MSG& Msg);
  HWND FHandle = nullptr;
  TCustomForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FMainFormOnTaskBar = false;
  bool FShowMainForm = true;
  bool FRunning = false;
  bool FShowHint = true;
  std::wstring FTitle;
  std::vector<std::pair<int, std::wstring>> FButtonCaptions;
  std::vector<std::pair<int, TWindowHook>> FHooks;
  int FNextHookId = 1;
};

class TScreen : public TComponent {
  CB_CLASS(TScreen, TComponent)
public:
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;

  int FormCount() const { return static_cast<int>(FForms.size()); }
  TCustomForm* Forms(int Index) const { return FForms[Index]; }
  const std::vector<TCustomForm*>& FormList() const { return FForms; }
  TCustomForm* ActiveForm() const { return FActiveForm; }
  // The form whose window is Wnd (also while it is being created).
  TCustomForm* FormOfHandle(HWND Wnd) const;

  // Overrides every control's shape while not crDefault.
  TCursor Cursor() const { return FCursor.load(); }
  // May be set from any thread; the pointer changes on the GUI thread.
  void SetCursor(TCursor Value);
  HCURSOR Cursors(TCursor Value) const { return CursorHandle(Value); }

  int PixelsPerInch() const;   // the system density
  int Width() const;
  int Height() const;
  TRect WorkAreaRect() const;  // of the primary monitor
  TRect DesktopRect() const;   // all monitors

  // Kept by forms.
  void AddForm(TCustomForm* Form);
  void RemoveForm(TCustomForm* Form);
  void SetActiveForm(TCustomForm* Form);

private:
  std::vector<TCustomForm*> FForms;
  TCustomForm* FActiveForm = nullptr;
  std::atomic<TCursor> FCursor{crDefault};
};

extern TApplication* Application;
extern TScreen* Screen;
// The thread that created the application object (the GUI thread).
extern DWORD MainThreadID;
// The module whose resources hold the form descriptions (the program file).
extern HINSTANCE HInstance;
