// Plain label, push button and check box.
#pragma once
#include "ui/Controls.h"

// Windowless text. With AutoSize the bounds follow the caption and font.
class TLabel : public TGraphicControl {
  CB_CLASS(TLabel, TGraphicControl)
public:
  explicit TLabel(TComponent* AOwner);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value);

  static void PublishProperties(TPublisher& P);

protected:
  void WndProc(TMessage& Message) override;
  void Paint() override;
  void Loaded() override;
  void ChangeScale(int M, int D) override;
  // Sizes the control to its text when AutoSize is on.
  virtual void AdjustBounds();
  // Draws the caption into Rect, or with DT_CALCRECT measures it there.
  virtual void DoDrawText(TRect& Rect, UINT Flags);
  UINT TextFlags() const;

private:
  bool FAutoSize = true;
  bool FTransparent = true;  // as the themed platform's labels: the parent's picture shows
  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FWordWrap = false;
  bool FShowAccelChar = true;
};

// A system push button. Clicking sets the parent form's ModalResult to
// ModalResult when that is not mrNone. Default answers Enter on its form.
class TButton : public TWinControl {
  CB_CLASS(TButton, TWinControl)
public:
  explicit TButton(TComponent* AOwner);
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int Value) { FModalResult = Value; }
  bool Default() const { return FDefault; }
  void SetDefault(bool Value);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  void Click() override;

  static void PublishProperties(TPublisher& P);

protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;

private:
  int FModalResult = 0;
  bool FDefault = false;
  bool FCancel = false;
};

// A system check box; Checked follows the user's clicks.
class TCheckBox : public TWinControl {
  CB_CLASS(TCheckBox, TWinControl)
public:
  explicit TCheckBox(TComponent* AOwner);
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);

  static void PublishProperties(TPublisher& P);

protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void WndProc(TMessage& Message) override;

private:
  bool FChecked = false;
};
