#include "ui/StdCtrls.h"

#include "ui/Forms.h"

// ---------------------------------------------------------------------------
// TLabel

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle |= csSetCaption;
  SetParentColor(true);
  FWidth = 65;
  FHeight = 17;
}

void TLabel::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  AdjustBounds();
}

void TLabel::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Invalidate();
}

void TLabel::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout Value) {
  if (Value == FLayout) return;
  FLayout = Value;
  Invalidate();
}

void TLabel::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  AdjustBounds();
  Invalidate();
}

void TLabel::SetShowAccelChar(bool Value) {
  if (Value == FShowAccelChar) return;
  FShowAccelChar = Value;
  AdjustBounds();
  Invalidate();
}

UINT TLabel::TextFlags() const {
  UINT F = DT_EXPANDTABS;
  if (FWordWrap) F |= DT_WORDBREAK;
  if (!FShowAccelChar) F |= DT_NOPREFIX;
  if (FAlignment == taRightJustify)
    F |= DT_RIGHT;
  else if (FAlignment == taCenter)
    F |= DT_CENTER;
  return F;
}

void TLabel::AdjustBounds() {
  if (!FAutoSize || (ComponentState() & csLoading)) return;
  // Measured by the same routine that draws, on a screen context.
  TCanvas* C = Canvas();
  HDC Previous = C->HandleAllocated() ? C->Handle() : nullptr;
  HDC DC = GetDC(nullptr);
  C->SetHandle(DC);
  C->Font()->Assign(Font());
  TRect R(0, 0, FWordWrap ? FWidth : 0, 0);
  struct TGiveBack {
    TCanvas* C;
    HDC Previous, DC;
    ~TGiveBack() {
      C->SetHandle(Previous);
      ReleaseDC(nullptr, DC);
    }
  } GiveBack{C, Previous, DC};
  DoDrawText(R, TextFlags() | DT_CALCRECT);
  int W = R.Width(), H = R.Height();
  // Right-aligned text grows to the left, centred text both ways.
  int L = FLeft;
  if (!FWordWrap) {
    if (FAlignment == taRightJustify) L = FLeft + FWidth - W;
    else if (FAlignment == taCenter) L = FLeft + (FWidth - W) / 2;
  }
  SetBounds(L, FTop, FWordWrap ? FWidth : W, H);
}

void TLabel::DoDrawText(TRect& R, UINT Flags) {
  TCanvas* C = Canvas();
  std::wstring Text = Caption();
  if ((Flags & DT_CALCRECT) && Text.empty()) Text = L" ";
  if (!Enabled() && !(Flags & DT_CALCRECT)) C->Font()->SetColor(clGrayText);
  C->Brush()->SetStyle(bsClear);
  C->DrawText(Text, R, Flags);
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TLabel::ChangeScale(int M, int D) {
  TGraphicControl::ChangeScale(M, D);
  AdjustBounds();  // measured at the new font, not merely scaled
}

void TLabel::WndProc(TMessage& M) {
  TGraphicControl::WndProc(M);
  if (M.Msg == CM_TEXTCHANGED || M.Msg == CM_FONTCHANGED) AdjustBounds();
}

void TLabel::Paint() {
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  if (!FTransparent) {
    C->Brush()->SetColor(Color());
    C->FillRect(R);
  }
  UINT Flags = TextFlags();
  if (FLayout != tlTop) {
    TRect Calc = R;
    DoDrawText(Calc, Flags | DT_CALCRECT);
    int Off = FLayout == tlBottom ? R.Height() - Calc.Height() : (R.Height() - Calc.Height()) / 2;
    R.Top += Off;
  }
  DoDrawText(R, Flags);
}

void TLabel::PublishProperties(TPublisher& P) {
  P.Enum(L"Alignment", &TLabel::Alignment, &TLabel::SetAlignment, {L"taLeftJustify", L"taRightJustify", L"taCenter"},
         taLeftJustify);
  P.Bool(L"AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true);
  P.Bool(L"ParentColor", &TLabel::ParentColor, &TLabel::SetParentColor, true);
  P.Enum(L"Layout", &TLabel::Layout, &TLabel::SetLayout, {L"tlTop", L"tlCenter", L"tlBottom"}, tlTop);
  P.Bool(L"ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar, true);
  P.Bool(L"Transparent", &TLabel::Transparent, &TLabel::SetTransparent, true);
  P.Bool(L"WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, false);
}

// ---------------------------------------------------------------------------
// TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 75;
  FHeight = 25;
  SetTabStop(true);
}

void TButton::CreateParams(TCreateParams& P) {
  TWinControl::CreateParams(P);
  P.SysClassName = L"BUTTON";
  P.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool Value) {
  if (Value == FDefault) return;
  FDefault = Value;
  if (HandleAllocated())
    SendMessageW(WindowHandle(), BM_SETSTYLE, Value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  if (FModalResult != mrNone)
    if (TCustomForm* F = GetParentForm(this)) F->SetModalResult(FModalResult);
  TWinControl::Click();
}

void TButton::WndProc(TMessage& M) {
  if (M.Msg == CN_COMMAND) {
    if (HIWORD(M.WParam) == BN_CLICKED) Click();
    return;
  }
  TWinControl::WndProc(M);
}

void TButton::PublishProperties(TPublisher& P) {
  P.Bool(L"Cancel", &TButton::Cancel, &TButton::SetCancel, false);
  P.Bool(L"Default", &TButton::Default, &TButton::SetDefault, false);
  P.Int(L"ModalResult", &TButton::ModalResult, &TButton::SetModalResult, 0);
  P.Int(L"TabOrder", &TButton::TabOrder, &TButton::SetTabOrder, -1).HasDefault = false;
  P.Bool(L"TabStop", &TButton::TabStop, &TButton::SetTabStop, true);
}

// ---------------------------------------------------------------------------
// TCheckBox

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetParentColor(true);
  FWidth = 97;
  FHeight = 17;
  SetTabStop(true);
}

void TCheckBox::CreateParams(TCreateParams& P) {
  TWinControl::CreateParams(P);
  P.SysClassName = L"BUTTON";
  P.Style |= BS_CHECKBOX;
}

void TCheckBox::CreateWnd() {
  TWinControl::CreateWnd();
  SendMessageW(WindowHandle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TCheckBox::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  if (HandleAllocated()) SendMessageW(WindowHandle(), BM_SETCHECK, Value ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!(ComponentState() & csLoading)) Click();
}

void TCheckBox::WndProc(TMessage& M) {
  if (M.Msg == CN_COMMAND) {
    // The state belongs to this object, so a click toggles it here.
    if (HIWORD(M.WParam) == BN_CLICKED) SetChecked(!FChecked);
    return;
  }
  if (M.Msg == CN_CTLCOLORSTATIC || M.Msg == CN_CTLCOLORBTN) {
    HDC DC = reinterpret_cast<HDC>(M.WParam);
    SetBkColor(DC, ColorToRGB(Color()));
    SetTextColor(DC, ColorToRGB(Font()->Color()));
    M.Result = reinterpret_cast<LRESULT>(GetSysColorBrush(IsSystemColor(Color()) ? SystemColorIndex(Color()) : COLOR_BTNFACE));
    return;
  }
  TWinControl::WndProc(M);
}

void TCheckBox::PublishProperties(TPublisher& P) {
  P.Bool(L"Checked", &TCheckBox::Checked, &TCheckBox::SetChecked, false);
  P.Bool(L"ParentColor", &TCheckBox::ParentColor, &TCheckBox::SetParentColor, true);
  P.Int(L"TabOrder", &TCheckBox::TabOrder, &TCheckBox::SetTabOrder, -1).HasDefault = false;
  P.Bool(L"TabStop", &TCheckBox::TabStop, &TCheckBox::SetTabStop, true);
}
