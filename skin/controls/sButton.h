// The push button drawn from the skin: a real button window whose drawing
// the control takes over, with cross-fades, the focus rectangle and a pressed
// look that a quick click still shows.
#pragma once
#include <memory>

#include "skin/paint/PixelOps.h"
#include "skin/binding/acThdTimer.h"
#include "skin/binding/sCommonData.h"
#include "ui/StdCtrls.h"

namespace cb {

class TsButton : public TButton {
  CB_CLASS(TsButton, TButton)
public:
  explicit TsButton(TComponent* AOwner);
  ~TsButton() override;

  TsCommonData* SkinData() const { return FCommonData.get(); }
  // 0 normal, 1 hot, 2 pressed, 3 default button.
  int CurrentState() const;
  // The state painted (limited to what the section has).
  int PaintedState() const;
  bool PrepareCache();

  bool Down() const { return FDown; }
  void SetDown(bool Value);
  bool ShowFocus() const { return FShowFocus; }
  void SetShowFocus(bool Value);
  int FocusMargin() const { return FFocusMargin; }
  void SetFocusMargin(int Value);
  int ContentMargin() const { return FContentMargin; }
  void SetContentMargin(int Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  // How a disabled button is dimmed (dkBlended, dkGrayed).
  unsigned DisabledKind() const { return FDisabledKind; }
  void SetDisabledKind(unsigned Value);
  TacAnimatEvents AnimatEvents() const { return FAnimatEvents; }
  void SetAnimatEvents(TacAnimatEvents Value) { FAnimatEvents = Value; }

  // The caption's rectangle and the focus rectangle of the last cache build
  // (an empty focus rectangle when none was drawn).
  RECT LastCaptionRect() const { return FCaptionRect; }
  RECT LastFocusRect() const { return FFocusRect; }

  static void PublishProperties(TPublisher& P);

protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;
  void Loaded() override;

private:
  bool SkinCommand(TMessage& Message);
  void WMPaint(TMessage& Message);
  void PaintTo(HDC DC);
  void DrawUnskinned(const DRAWITEMSTRUCT& Item);
  void ChangeState(int NewState, TacAnimEvent Event, bool WithGlow);
  void RedrawNow();
  bool Pushed() const;

  std::unique_ptr<TsCommonData> FCommonData;
  bool FDown = false;
  bool FShowFocus = true;
  bool FMouseClicked = false;
  bool FForcePressed = false;
  bool FWordWrap = true;
  int FFocusMargin = 1;
  int FContentMargin = 6;
  unsigned FDisabledKind = dkBlended;
  TacAnimatEvents FAnimatEvents = aeGlobalDef;
  RECT FCaptionRect{0, 0, 0, 0}, FFocusRect{0, 0, 0, 0};
};

}  // namespace cb
