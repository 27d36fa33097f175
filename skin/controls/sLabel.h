// A transparent label whose text takes its colour from the skin section under
// it, optionally over a section of its own.
#pragma once
#include <string>

#include "ui/StdCtrls.h"

namespace cb {

class TsSkinManager;

enum TEllipsisPosition { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };

class TsCustomLabel : public TLabel {
  CB_CLASS(TsCustomLabel, TLabel)
public:
  explicit TsCustomLabel(TComponent* AOwner);
  ~TsCustomLabel() override;

  TsSkinManager* SkinManager() const;
  void SetSkinManager(TsSkinManager* Value) { FSkinManager = Value; }
  const std::wstring& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const std::wstring& Value);
  bool TransparentForMouse() const { return FTransparentForMouse; }
  void SetTransparentForMouse(bool Value) { FTransparentForMouse = Value; }
  TEllipsisPosition EllipsisPosition() const { return FEllipsisPosition; }
  void SetEllipsisPosition(TEllipsisPosition Value);

  // The section painted behind the text (-1: none).
  int SkinIndex();
  // The colour the text is drawn in now.
  virtual TColor DrawColor();
  // The text shortened word by word, with "...", until the wrapped text fits
  // Height (or a single line); DC has the label's font.
  std::wstring FittedText(HDC DC, const std::wstring& Text, int Width, int Height, UINT Flags) const;

  static void PublishProperties(TPublisher& P);

protected:
  void WndProc(TMessage& Message) override;
  void Paint() override;
  void Loaded() override;
  void AdjustBounds() override;
  void DoDrawText(TRect& Rect, UINT Flags) override;
  bool SkinActive() const;
  std::uint32_t ParentBGColor() const;
  TColor Disabled(TColor C) const;

  std::wstring FSkinSection;
  int FSkinIndex = -1;
  TsSkinManager* FSkinManager = nullptr;
  bool FSavedParentFont = false;
  bool FTransparentForMouse = false;
  TEllipsisPosition FEllipsisPosition = epNone;
};

class TsLabel : public TsCustomLabel {
  CB_CLASS(TsLabel, TsCustomLabel)
public:
  explicit TsLabel(TComponent* AOwner) : TsCustomLabel(AOwner) {}
  bool UseSkinColor() const { return FUseSkinColor; }
  void SetUseSkinColor(bool Value);
  TColor DrawColor() override;

  static void PublishProperties(TPublisher& P);

private:
  bool FUseSkinColor = true;
};

}  // namespace cb
