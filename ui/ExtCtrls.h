// Timer and panel.
#pragma once
#include <windows.h>

#include "ui/Controls.h"

// Fires OnTimer every Interval milliseconds on the GUI thread while Enabled
// (OnTimer may be assigned at any time).
class TTimer : public TComponent {
  CB_CLASS(TTimer, TComponent)
public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned Value);
  TNotifyEvent OnTimer;
  void SetOnTimer(TNotifyEvent Value);

  static void PublishProperties(TPublisher& P);
  // The hidden window all timers tick through (nullptr before the first starts).
  static HWND SharedWindow();
  void Tick();  // a tick arrived

protected:
  void Loaded() override;
  virtual void Timer();

private:
  void UpdateTimer();
  bool FEnabled = true;
  unsigned FInterval = 1000;
  const UINT_PTR FId;
  bool FRunning = false;
};

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomPanel : public TCustomControl {
  CB_CLASS(TCustomPanel, TCustomControl)
public:
  explicit TCustomPanel(TComponent* AOwner);
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut Value);
  TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut Value);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool ShowCaption() const { return FShowCaption; }
  void SetShowCaption(bool Value);

  static void PublishProperties(TPublisher& P);

protected:
  void Paint() override;
  void WndProc(TMessage& Message) override;

private:
  TBevelCut FBevelOuter = bvRaised, FBevelInner = bvNone;
  int FBevelWidth = 1;
  TAlignment FAlignment = taCenter;
  bool FShowCaption = true;
};

class TPanel : public TCustomPanel {
  CB_CLASS(TPanel, TCustomPanel)
public:
  using TCustomPanel::TCustomPanel;
};

// A hidden window of the class "TPUtilWindow" whose messages go to Proc;
// timers and popup menus use them.
HWND AllocateHWnd(std::function<void(TMessage&)> Proc);
void DeallocateHWnd(HWND Wnd);
