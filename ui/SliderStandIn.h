// A plain on/off switch under the name the skinned slider will take. It goes
// away when the skinned one exists; only SliderOn and the click behaviour are
// relied on.
#pragma once
#include "ui/Controls.h"

class TsSlider : public TCustomControl {
  CB_CLASS(TsSlider, TCustomControl)
public:
  explicit TsSlider(TComponent* AOwner);
  bool SliderOn() const { return FSliderOn; }
  void SetSliderOn(bool Value);
  TNotifyEvent OnChange;  // after SliderOn changed

  static void PublishProperties(TPublisher& P);

protected:
  void WndProc(TMessage& Message) override;
  void Paint() override;

private:
  bool FSliderOn = true;
};
