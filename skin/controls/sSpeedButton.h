// The windowless speed button drawn from the skin: its section painted over
// the parent's background into a cache, the caption on top, and cross-fades
// between the normal, hot and pressed looks.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "skin/paint/PixelOps.h"
#include "skin/binding/acThdTimer.h"
#include "skin/binding/sCommonData.h"
#include "ui/Buttons.h"

namespace cb {

class TsSpeedButton : public TSpeedButton {
  CB_CLASS(TsSpeedButton, TSpeedButton)
public:
  explicit TsSpeedButton(TComponent* AOwner);
  ~TsSpeedButton() override;

  TsCommonData* SkinData() const { return FCommonData.get(); }
  // 0 normal, 1 hot, 2 pressed: the look painted now.
  int CurrentState() const;
  // Paints the section and caption into the cache; false when the parent's
  // background is not ready yet.
  bool PrepareCache();
  // Shows the cache (or the running fade's picture) without invalidating.
  void RepaintNow();
  // The look shown now (the cache or the running fade's picture); nullptr
  // when there is none to show.
  TDibBitmap* ShownPicture();
  void Invalidate() override;

  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  bool UseEllipsis() const { return FUseEllipsis; }
  void SetUseEllipsis(bool Value);
  bool ShowCaption() const { return FShowCaption; }
  void SetShowCaption(bool Value);
  int TextOffset() const { return FTextOffset; }
  void SetTextOffset(int Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TAlignment TextAlignment() const { return FTextAlignment; }
  void SetTextAlignment(TAlignment Value);
  // How a disabled button is dimmed (dkBlended, dkGrayed).
  unsigned DisabledKind() const { return FDisabledKind; }
  void SetDisabledKind(unsigned Value);
  // A muted caption is drawn in the skin's disabled-text colour while the
  // button stays enabled, unchanged otherwise.
  bool MutedCaption() const { return FMutedCaption; }
  void SetMutedCaption(bool Value);
  TacAnimatEvents AnimatEvents() const { return FAnimatEvents; }
  void SetAnimatEvents(TacAnimatEvents Value) { FAnimatEvents = Value; }

  // The caption's rectangle in the cache (after the last cache build).
  RECT LastCaptionRect() const { return FCaptionRect; }
  // The button whose press keeps the application's hints off (nullptr: none).
  static TsSpeedButton* HintHolder();
  // How many times a look was painted (not copied from a kept picture).
  int LooksPainted() const { return FLooksPainted; }

  static void PublishProperties(TPublisher& P);

protected:
  void WndProc(TMessage& Message) override;
  void Paint() override;
  void Loaded() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
  bool SkinCommand(TMessage& Message);
  void SkinnedMouseEnter();
  void SkinnedMouseLeave();
  void ChangeState(int NewState, TacAnimEvent Event, bool WithGlow);
  bool ContentShifted() const;
  UINT MeasureFlags() const;
  int Scaled(int Value) const;
  void HoldHints();
  void ReleaseHints();
  void UpdateOpaque();
  void DropLooks();
  void LooksChanged();

  std::unique_ptr<TsCommonData> FCommonData;
  bool FStdParent = false;
  bool FStoredDown = false;
  bool FPartlyVisible = false;
  bool FWordWrap = true;
  bool FUseEllipsis = true;
  bool FShowCaption = true;
  bool FMutedCaption = false;
  int FTextOffset = 0;
  TAlignment FAlignment = taCenter;
  TAlignment FTextAlignment = taCenter;
  unsigned FDisabledKind = dkBlended;
  TacAnimatEvents FAnimatEvents = aeGlobalDef;
  TButtonLayout FOldLayout = blGlyphLeft;
  int FOldMargin = -1;
  bool FOldFlat = false;
  RECT FCaptionRect{0, 0, 0, 0};
  // Each look as last painted, over the background it was painted on: a hover
  // that only changes the look copies it instead of painting section and
  // caption again. Dropped whenever their inputs may have changed.
  struct TLook {
    Bitmap32 Pixels;
    RECT CaptionRect{0, 0, 0, 0};
    bool Valid = false;
  };
  TLook FLooks[3];
  struct TLookInputs {
    std::vector<std::int64_t> Scalars;
    std::wstring Caption;
    std::vector<std::uint32_t> Parent;
    bool operator==(const TLookInputs& O) const {
      return Scalars == O.Scalars && Caption == O.Caption && Parent == O.Parent;
    }
  };
  TLookInputs LookInputs(const TCacheInfo& CI) const;
  TLookInputs FLooksInputs;
  int FLooksPainted = 0;
};

}  // namespace cb
