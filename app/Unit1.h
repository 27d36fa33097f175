// The main window: one button per app, the app menu, the bulk commands, the
// notice switch, and the update check when first shown.
#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "Catalogue.h"
#include "base/StringList.h"
#include "ui/Forms.h"
#include "ui/Menus.h"
#include "acSlider.h"
#include "sLabel.h"
#include "sSpeedButton.h"
#include "sSkinManager.h"

namespace cb {

// A notice on its way from a worker thread to the main window.
class TStrMsgObject {
 public:
  explicit TStrMsgObject(const std::wstring& aMsg) : fMsg(aMsg) { ++FLive; }
  ~TStrMsgObject() { --FLive; }
  TStrMsgObject(const TStrMsgObject&) = delete;
  TStrMsgObject& operator=(const TStrMsgObject&) = delete;
  std::wstring fMsg;
  // Objects not yet freed; a notice must never be lost in a dead queue.
  static int Live() { return FLive.load(); }

 private:
  static inline std::atomic<int> FLive{0};
};

class TForm1;
struct TUpdateCheck;

// How long the window waits for the update check (connectivity test and
// download together) before it counts as finding no update.
constexpr unsigned kUpdateCheckLimitMs = 4500;

// What a bulk worker may touch of the main window. It outlives the window, so
// a worker that finishes after the window has gone finds it closed instead of
// reading freed memory or posting into a destroyed window.
struct TWindowLink : std::enable_shared_from_this<TWindowLink> {
  std::mutex Lock;
  HWND Wnd = nullptr;       // null once the window is going
  TForm1* Form = nullptr;   // read on the GUI thread only
  std::atomic<bool> NoticesOn{true};

  // Posts the notice when the window is still there; frees it otherwise.
  void PostNotice(std::unique_ptr<TStrMsgObject> Msg);
  // A run starts (true) or ends (false): the window shows the hourglass
  // while any run is under way. Carried out on the GUI thread.
  void SetBusy(bool Busy);
  // An operation has ended: the window asks for the apps' states again.
  void RefreshStates();
};

class TForm1 : public TForm {
  CB_CLASS(TForm1, TForm)
 public:
  explicit TForm1(TComponent* AOwner);
  ~TForm1() override;

  // Components of the stored description.
  std::array<TsSpeedButton*, kAppCount> AppButtons{};  // by Tag
  TsSpeedButton* btn23 = nullptr;
  TsSpeedButton* btn24 = nullptr;
  TsSpeedButton* btn25 = nullptr;
  TsLabel* lbl1 = nullptr;
  TsLabel* lbl2 = nullptr;
  TsSlider* sSlider1 = nullptr;
  TPopupMenu* pm1 = nullptr;
  TsSkinManager* sknmngr1 = nullptr;  // last in the description: the skin loads while it is read
  TMenuItem* p1 = nullptr;
  TMenuItem* N1 = nullptr;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void btn1Click(TObject* Sender);
  void btn23Click(TObject* Sender);
  void btn24Click(TObject* Sender);
  void btn25Click(TObject* Sender);
  void lbl1Click(TObject* Sender);
  void p1Click(TObject* Sender);
  void N1Click(TObject* Sender);
  // The update check: started, then waited for at most kUpdateCheckLimitMs
  // with the window alive; true when a newer version was found and shown.
  bool ProUpdate();
  std::shared_ptr<TUpdateCheck> StartUpdateCheck();
  bool FinishUpdateCheck(const std::shared_ptr<TUpdateCheck>& Check);
  // Counts runs under way; the hourglass shows while there is one.
  void BusyCursor(bool On);
  // Asks a worker which apps are installed; the answer comes back to
  // ApplyStates on the GUI thread. Never waits for it.
  void RefreshStates();
  // An answer to request Seq; answers older than the one shown are dropped.
  // A failed query (Ok false) shows every button as it is without states.
  void ApplyStates(std::uint64_t Seq, bool Ok, const std::array<bool, kAppCount>& Installed);

  // The bulk operations, run by worker threads. They reach the window only
  // through the link, which they hold for their whole run.
  static void RemoveALl(const std::shared_ptr<TWindowLink>& Link);
  static void InstallALL(const std::shared_ptr<TWindowLink>& Link);

  const std::wstring& AppName() const { return sAppName; }
  const std::wstring& DisName() const { return sDisName; }
  const TStringList* AppList() const { return sApplst.get(); }
  std::shared_ptr<TWindowLink> Link() const { return FLink; }

 protected:
  void WndProc(TMessage& Message) override;
  void WMStringMessage(TMessage& Message);

 private:
  void CloseLink();
  // The update check started by FormShow is decided once the window shows.
  void DecideUpdate();
  std::shared_ptr<TUpdateCheck> FUpdateCheck;

  std::unique_ptr<TStringList> sApplst;
  std::wstring sAppName;
  std::wstring sDisName;
  std::shared_ptr<TWindowLink> FLink;
  bool FPainted = false;  // the first paint is a start-up mark
  int FBusyRuns = 0;
  std::uint64_t FStateSeq = 0, FShownStateSeq = 0;
  // The buttons' hints ("已安装"/"未安装"), there while states are shown.
  HWND FHints = nullptr;
  void ShowHints(bool Ok, const std::array<bool, kAppCount>& Installed);
};

extern TForm1* Form1;

}  // namespace cb
