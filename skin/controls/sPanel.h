// A skinned container: its section painted over the parent's background into
// the binding's cache, an optional caption and side shadow, and its
// windowless children painted over that picture.
#pragma once
#include <functional>
#include <memory>

#include "skin/binding/sCommonData.h"
#include "ui/ExtCtrls.h"

namespace cb {

class TsCustomPanel;

enum TacSide { asLeft, asTop, asRight, asBottom };

// An optional shadow along one side of a panel.
class TacSideShadow : public TPersistent {
  CB_CLASS(TacSideShadow, TPersistent)
public:
  explicit TacSideShadow(TsCustomPanel* AOwner) : FOwner(AOwner) {}
  int Mode() const { return FMode; }
  void SetMode(int Value) { Set(FMode, Value); }
  TacSide Side() const { return FSide; }
  void SetSide(TacSide Value);
  int Blend() const { return FBlend; }
  void SetBlend(int Value) { Set(FBlend, Value); }
  int ShadowSize() const { return FShadowSize; }
  void SetShadowSize(int Value) { Set(FShadowSize, Value); }

private:
  void Set(int& Field, int Value);
  void Changed();
  TsCustomPanel* FOwner;
  int FMode = 0;
  TacSide FSide = asRight;
  int FBlend = 48;
  int FShadowSize = 6;
};

using TPanelPaintEvent = std::function<void(TObject* Sender, HDC DC)>;

class TsCustomPanel : public TCustomPanel {
  CB_CLASS(TsCustomPanel, TCustomPanel)
public:
  explicit TsCustomPanel(TComponent* AOwner);
  ~TsCustomPanel() override;

  TsCommonData* SkinData() const { return FCommonData.get(); }
  TacSideShadow* SideShadow() const { return FSideShadow.get(); }
  // Called after the panel's own painting, on the cache's context.
  TPanelPaintEvent OnPaint;

  // Builds the cache; false when the parent's background is not ready.
  virtual bool PrepareCache();
  // Shows the panel on DC: the cache and the windowless children over it;
  // false when nothing was painted (not showing, not skinned, not ready).
  virtual bool OurPaint(HDC DC, bool SendUpdated);
  virtual void WriteText(RECT R, HDC DC);
  // Frees the side shadow's picture (its settings changed).
  void ShadowChanged();

protected:
  void WndProc(TMessage& Message) override;
  void Loaded() override;
  void CreateWnd() override;
  bool SkinCommandHandled(TMessage& Message);
  void PaintSideShadow();
  void RebuildIfStale();

  std::unique_ptr<TsCommonData> FCommonData;
  std::unique_ptr<TacSideShadow> FSideShadow;
  std::unique_ptr<TDibBitmap> ShadowBmp;
  TBevelCut FOldBevel = bvRaised;
  // A disabled one is blended with its parent's background (the slider's
  // track and thumb; a plain panel looks the same either way).
  bool FDimsWhenDisabled = false;
};

class TsPanel : public TsCustomPanel {
  CB_CLASS(TsPanel, TsCustomPanel)
public:
  using TsCustomPanel::TsCustomPanel;
};

// The thumb of a slider switch: a panel painted over its track's picture.
class TsButtonPanel : public TsPanel {
  CB_CLASS(TsButtonPanel, TsPanel)
public:
  explicit TsButtonPanel(TComponent* AOwner);

protected:
  void WndProc(TMessage& Message) override;
};

}  // namespace cb
