// The on/off switch: a skinned track with a thumb panel that glides to the
// other end on a click and follows the pointer when dragged.
#pragma once
#include <functional>

#include "sPanel.h"

namespace cb {

using TacOnChangingEvent = std::function<void(TObject* Sender, bool& CanChange)>;

class TsSlider : public TsPanel {
  CB_CLASS(TsSlider, TsPanel)
public:
  explicit TsSlider(TComponent* AOwner);
  ~TsSlider() override;

  bool SliderOn() const { return FSliderOn; }
  void SetSliderOn(bool Value);
  bool Reversed() const { return FReversed; }
  void SetReversed(bool Value);
  int ThumbSizeInPercent() const { return FThumbSizeInPercent; }
  void SetThumbSizeInPercent(int Value);
  bool KeepThumbAspectRatio() const { return FKeepThumbAspectRatio; }
  void SetKeepThumbAspectRatio(bool Value);
  TsButtonPanel* Thumb() const { return FButton; }

  TacOnChangingEvent OnChanging;
  TNotifyEvent OnSliderChange;

  void Click() override;
  void BeginUpdate() { ++UpdateCount; }
  void EndUpdate(bool DoRepaint);
  // Puts the thumb at its resting place for the state.
  void UpdateThumb();
  bool PrepareCache() override;
  bool OurPaint(HDC DC, bool SendUpdated) override;

  // Drag and toggle state, for those who watch it.
  bool Dragged = false;
  bool Capturing = false;
  bool Changing = false;
  int UpdateCount = 0;

  static void PublishProperties(TPublisher& P);

protected:
  void WndProc(TMessage& Message) override;
  void Loaded() override;
  void ChangeScale(int M, int D) override;

private:
  int Margin(int Side) const;  // 0 left, 1 top, 2 right, 3 bottom
  bool ThumbAtStart() const { return FSliderOn != FReversed; }
  bool OnFromPosition() const;
  bool AskChanging();
  void ChangeValue(bool Value);
  void AnimatedToggle();
  void UpdateThumbSection();
  void SnapBack();
  void ThumbDown(TMouseButton Button, int X, int Y);
  void ThumbMove(int X, int Y);
  void ThumbUp(TMouseButton Button);
  void ThumbCancel();
  void PaintThumbAlong();

  bool FSliderOn = true;
  bool FReversed = false;
  bool FKeepThumbAspectRatio = true;
  int FThumbSizeInPercent = 50;
  TsButtonPanel* FButton = nullptr;
  TPoint MouseDownSpot, ClickPoint;
};

}  // namespace cb
