#include "Unit1.h"

#include <commctrl.h>

#include <utility>

#include "Commands.h"
#include "RunErrors.h"
#include "Unit2.h"
#include "Unit3.h"
#include "ui/Threads.h"
#include "sControls.h"
#include "uCommonFunc.h"
#include "uAppRuns.h"
#include "uBusy.h"
#include "uStartupTrace.h"
#include "uUpdate.h"

namespace cb {

TForm1* Form1 = nullptr;

namespace {

// The hourglass for the length of one run.
struct TBusyRun {
  explicit TBusyRun(TForm1& Form) : F(Form) { F.BusyCursor(true); }
  ~TBusyRun() { F.BusyCursor(false); }
  TBusyRun(const TBusyRun&) = delete;
  TBusyRun& operator=(const TBusyRun&) = delete;
  TForm1& F;
};

}  // namespace

// What the update check found, shared with its thread: the window stops
// waiting for it after kUpdateCheckLimitMs, and a thread that the network
// holds on to ends by itself later, reading and writing only this.
struct TUpdateCheck {
  TUpdateCheck() : Done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~TUpdateCheck() {
    if (Done) CloseHandle(Done);
  }
  TUpdateCheck(const TUpdateCheck&) = delete;
  TUpdateCheck& operator=(const TUpdateCheck&) = delete;
  HANDLE Done;
  bool Need = false;
  std::wstring NewVer, LocalVer, Url;
};

namespace {

DWORD WINAPI UpdateCheckThread(void* Param) {
  std::unique_ptr<std::shared_ptr<TUpdateCheck>> Held(static_cast<std::shared_ptr<TUpdateCheck>*>(Param));
  TUpdateCheck& C = **Held;
  try {
    TUrlUpdate update(2, u'&');
    if (update.IsHasNet() && update.IsNeedUpdate()) {
      const auto& c = update.RemoteContent();
      C.NewVer = ToWide(c.N_Ver);
      C.LocalVer = ToWide(c.L_Ver);
      C.Url = ToWide(c.D_Url);
      C.Need = true;
    }
  } catch (...) {
    // A check that fails finds no update.
  }
  SetEvent(C.Done);
  return 0;
}

}  // namespace

void TWindowLink::PostNotice(std::unique_ptr<TStrMsgObject> Msg) {
  std::lock_guard<std::mutex> guard(Lock);
  // Posting under the lock: the window drains its queue only after it has
  // closed the link, so every posted object is either shown or freed.
  if (Wnd && PostMessageW(Wnd, WM_USER, 0, reinterpret_cast<LPARAM>(Msg.get()))) Msg.release();
}

void TWindowLink::SetBusy(bool Busy) {
  // Window properties belong to the GUI thread.
  // The step holds the link: it may run after the worker has let go of it.
  TThread::Queue(
      [self = shared_from_this(), Busy] {
        if (self->Form) self->Form->BusyCursor(Busy);
      },
      this);
}

void TWindowLink::RefreshStates() {
  TThread::Queue(
      [self = shared_from_this()] {
        if (self->Form) self->Form->RefreshStates();
      },
      this);
}

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner), FLink(std::make_shared<TWindowLink>()) {
  FLink->Form = this;
  for (const auto& b : kAppButtons) {
    std::wstring name(b.name, b.name + strlen(b.name));
    RegisterField(name.c_str(), AppButtons[size_t(b.tag)]);
  }
  RegisterField(L"btn23", btn23);
  RegisterField(L"btn24", btn24);
  RegisterField(L"btn25", btn25);
  RegisterField(L"lbl1", lbl1);
  RegisterField(L"lbl2", lbl2);
  RegisterField(L"sSlider1", sSlider1);
  RegisterField(L"pm1", pm1);
  RegisterField(L"p1", p1);
  RegisterField(L"N1", N1);
  RegisterField(L"sknmngr1", sknmngr1);
  RegisterSkinManagerClasses();
  RegisterMethod(L"FormCreate", &TForm1::FormCreate);
  RegisterMethod(L"FormShow", &TForm1::FormShow);
  RegisterMethod(L"FormClose", &TForm1::FormClose);
  RegisterMethod(L"btn1Click", &TForm1::btn1Click);
  RegisterMethod(L"btn23Click", &TForm1::btn23Click);
  RegisterMethod(L"btn24Click", &TForm1::btn24Click);
  RegisterMethod(L"btn25Click", &TForm1::btn25Click);
  RegisterMethod(L"lbl1Click", &TForm1::lbl1Click);
  RegisterMethod(L"p1Click", &TForm1::p1Click);
  RegisterMethod(L"N1Click", &TForm1::N1Click);
  RegisterSkinControlClasses();
  InitializeForm();
  StartupMark("main form read");
  FLink->Wnd = Handle();
  if (sSlider1) {
    FLink->NoticesOn = sSlider1->SliderOn();
    sSlider1->OnSliderChange = [this](TObject*) { FLink->NoticesOn = sSlider1->SliderOn(); };
  }
}

TForm1::~TForm1() { CloseLink(); }

void TForm1::CloseLink() {
  if (!FLink) return;
  HWND wnd;
  {
    std::lock_guard<std::mutex> guard(FLink->Lock);
    wnd = FLink->Wnd;
    FLink->Wnd = nullptr;
    FLink->Form = nullptr;
  }
  TThread::RemoveQueuedEvents(FLink.get());
  // Notices that were posted but not shown are freed here, not lost.
  MSG msg;
  if (wnd)
    while (PeekMessageW(&msg, wnd, WM_USER, WM_USER, PM_REMOVE))
      delete reinterpret_cast<TStrMsgObject*>(msg.lParam);
}

void TForm1::FormCreate(TObject*) {
  sApplst = std::make_unique<TStringList>();
  sApplst->SetDelimiter(u',');
  sApplst->SetDelimitedText(kCatalogueText);
}

void TForm1::FormShow(TObject*) {
  StartupMark("update check");
  // Decided once the window is on screen (WndProc), so that it paints meanwhile.
  FUpdateCheck = StartUpdateCheck();
}

void TForm1::DecideUpdate() {
  if (!FUpdateCheck) return;
  bool newer = FinishUpdateCheck(std::exchange(FUpdateCheck, nullptr));
  StartupMark("update checked");
  if (newer)
    Application->Terminate();
  else
    RefreshStates();
}

void TForm1::RefreshStates() {
  const std::uint64_t Seq = ++FStateSeq;
  auto link = FLink;
  TThread::CreateAnonymousThread([link, Seq] {
    std::array<bool, kAppCount> installed{};
    const bool ok = QueryApps(kInstalledQueryCommand, installed);
    TThread::Queue(
        [link, Seq, ok, installed] {
          if (link->Form) link->Form->ApplyStates(Seq, ok, installed);
        },
        link.get());
  })->Start();
}

void TForm1::ApplyStates(std::uint64_t Seq, bool Ok, const std::array<bool, kAppCount>& Installed) {
  if (Seq <= FShownStateSeq) return;
  FShownStateSeq = Seq;
  for (size_t i = 0; i < AppButtons.size(); ++i)
    if (AppButtons[i]) AppButtons[i]->SetMutedCaption(Ok && !Installed[i]);
  ShowHints(Ok, Installed);
}

void TForm1::ShowHints(bool Ok, const std::array<bool, kAppCount>& Installed) {
  if (!FHints && Ok) {
    FHints = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  }
  if (!FHints) return;
  for (size_t i = 0; i < AppButtons.size(); ++i) {
    TsSpeedButton* b = AppButtons[i];
    if (!b) continue;
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = Handle();
    ti.uId = i;
    SendMessageW(FHints, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    if (!Ok) continue;
    // The rectangle as the button is now (the window may have been scaled).
    const TRect r = b->BoundsRect();
    ti.rect = RECT{r.Left, r.Top, r.Right, r.Bottom};
    ti.lpszText = const_cast<wchar_t*>(Installed[i] ? L"已安装" : L"未安装");
    SendMessageW(FHints, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
}

void TForm1::FormClose(TObject*, TCloseAction&) {
  sApplst.reset();
  // Workers still running must not reach this window any more.
  CloseLink();
}

void TForm1::btn1Click(TObject* Sender) {
  auto* button = dynamic_cast<TControl*>(Sender);
  if (!button || !sApplst) return;
  POINT p{};
  GetCursorPos(&p);
  // The chosen item runs only after Popup has returned (posted command), so
  // these are always the values of this click.
  pm1->Popup(p.x - 30, p.y + 12);
  intptr_t tag = static_cast<TComponent*>(button)->Tag();
  if (tag >= 0 && tag < sApplst->Count()) {
    const std::u16string& key = (*sApplst)[int(tag)];
    sAppName.assign(key.begin(), key.end());
  }
  sDisName = button->Caption();
}

void TForm1::p1Click(TObject*) {
  if (sAppName.empty()) return;
  // The run is waited for here, but the window stays alive meanwhile; a close
  // asked for during it comes after the notice.
  TBusyWindow busy(this);
  TRunResult result;
  {
    TBusyRun run(*this);
    result = UninstallApp(ToU16(sAppName));
  }
  RefreshStates();
  if (sSlider1->SliderOn())
    ShowMsg(ToWide(UninstallNotice(ToU16(sDisName), result.Code, result.Errors)), ToWide(kNoticeCaption), false);
}

void TForm1::N1Click(TObject*) {
  TBusyWindow busy(this);
  TRunResult result;
  {
    TBusyRun busyRun(*this);
    TScriptRun run(sAppName);
    result = RunInstallScript(run, FindApp(ToU16(sAppName)));
  }
  RefreshStates();
  if (sSlider1->SliderOn()) ShowMsg(ToWide(InstallNotice(ToU16(sDisName), result)), ToWide(kNoticeCaption), false);
}

void TForm1::BusyCursor(bool On) {
  FBusyRuns += On ? 1 : -1;
  SetCursor(FBusyRuns > 0 ? crHourGlass : crDefault);
}

void TForm1::btn23Click(TObject*) {
  // Everything of the current user goes, the Store too, and an app whose
  // files Windows has cleaned away cannot be brought back.
  if (!ShowMsg(ToWide(kUninstallAllQuestion), ToWide(kConfirmCaption), true)) return;
  auto link = FLink;
  TThread::CreateAnonymousThread([link] { RemoveALl(link); })->Start();
}

void TForm1::btn24Click(TObject*) {
  auto link = FLink;
  TThread::CreateAnonymousThread([link] { InstallALL(link); })->Start();
}

void TForm1::RemoveALl(const std::shared_ptr<TWindowLink>& Link) {
  Link->SetBusy(true);
  TRunResult result;
  try {
    result = UninstallEverything();
  } catch (...) {
    // No turn to be had: the notice tells of a run that did not start.
  }
  Link->SetBusy(false);
  Link->RefreshStates();
  if (Link->NoticesOn)
    Link->PostNotice(std::make_unique<TStrMsgObject>(ToWide(UninstallAllNotice(result.Code, result.Errors))));
}

void TForm1::InstallALL(const std::shared_ptr<TWindowLink>& Link) {
  // Opening the resource and writing the file come first: when they fail the
  // thread ends here, silently, with the pointer left as it was.
  TScriptRun run(L"installallapp");
  Link->SetBusy(true);
  const TRunResult result = RunInstallScript(run, nullptr);
  Link->SetBusy(false);
  Link->RefreshStates();
  if (Link->NoticesOn)
    Link->PostNotice(std::make_unique<TStrMsgObject>(ToWide(InstallAllNotice(result.Code, result.Errors))));
}

void TForm1::WndProc(TMessage& Message) {
  if (Message.Msg == WM_USER) {
    WMStringMessage(Message);
    return;
  }
  if (FHints && Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST) {
    // The buttons have no windows of their own: their hints learn of the
    // pointer from the form's messages.
    MSG m{Handle(), Message.Msg, Message.WParam, Message.LParam, 0, {}};
    SendMessageW(FHints, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
  }
  if (Message.Msg == WM_QUERYENDSESSION) {
    Message.Result = TRUE;
    return;
  }
  if (Message.Msg == WM_ENDSESSION) {
    // The process ends soon after this returns, without the program's own
    // exit: a script run under way must not leave the machine at Bypass with
    // the script in the temporary folder.
    if (Message.WParam) FinishScriptRuns(kScriptRunEndSessionWaitMs);
    Message.Result = 0;
    return;
  }
  // The showing itself (window, frame, activation) as a step of its own.
  const bool showing = Message.Msg == CM_SHOWINGCHANGED && Message.WParam && !FPainted;
  if (showing) StartupMark("show");
  inherited::WndProc(Message);
  if (showing) {
    StartupMark("shown");
    DecideUpdate();
  }
  if (Message.Msg == WM_PAINT && !FPainted) {
    FPainted = true;
    StartupMark("first paint");
  }
}

void TForm1::WMStringMessage(TMessage& Message) {
  std::unique_ptr<TStrMsgObject> msg(reinterpret_cast<TStrMsgObject*>(Message.LParam));
  if (!msg) return;
  std::wstring text;
  if (Message.WParam == 0)
    text = msg->fMsg;
  else if (Message.WParam == 1)
    text += msg->fMsg;
  ShowMsg(text, ToWide(kNoticeCaption), false);
}

void TForm1::btn25Click(TObject*) { Form2->ShowModal(); }

void TForm1::lbl1Click(TObject*) { OpenUrl(kMakerPageUrl); }

bool TForm1::ProUpdate() { return FinishUpdateCheck(StartUpdateCheck()); }

std::shared_ptr<TUpdateCheck> TForm1::StartUpdateCheck() {
  // The system's own time-outs for a network that accepts a connection and
  // never answers are minutes long; the window must not stop answering for
  // them. So the check runs on a thread, and past the limit it has found no
  // update.
  auto check = std::make_shared<TUpdateCheck>();
  if (!check->Done) return nullptr;
  auto* param = new std::shared_ptr<TUpdateCheck>(check);
  HANDLE thread = CreateThread(nullptr, 0, UpdateCheckThread, param, 0, nullptr);
  if (!thread) {
    delete param;
    return nullptr;
  }
  CloseHandle(thread);
  return check;
}

bool TForm1::FinishUpdateCheck(const std::shared_ptr<TUpdateCheck>& Check) {
  if (!Check) return false;
  // Until the check decides, the window paints and moves but its buttons do
  // nothing, so that the program never acts before the check.
  bool decided;
  {
    TBusyWindow busy(this);
    decided = busy.Wait(Check->Done, kUpdateCheckLimitMs);
  }
  if (!decided || !Check->Need) return false;
  ShowNewVersion(Check->NewVer, Check->LocalVer, Check->Url);
  return true;
}

}  // namespace cb
