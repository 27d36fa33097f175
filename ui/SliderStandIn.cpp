#include "ui/SliderStandIn.h"

TsSlider::TsSlider(TComponent* AOwner) : TCustomControl(AOwner) {
  FWidth = 60;
  FHeight = 20;
  SetTabStop(true);
  SetParentColor(true);
}

void TsSlider::SetSliderOn(bool Value) {
  if (Value == FSliderOn) return;
  FSliderOn = Value;
  Invalidate();
  if (!(ComponentState() & csLoading) && OnChange) OnChange(this);
}

void TsSlider::WndProc(TMessage& M) {
  switch (M.Msg) {
    case WM_LBUTTONUP: {
      bool Held = (ControlState() & csLButtonDown) != 0;
      int X = static_cast<short>(LOWORD(M.LParam)), Y = static_cast<short>(HIWORD(M.LParam));
      TCustomControl::WndProc(M);
      if (Held && Enabled() && X >= 0 && Y >= 0 && X < Width() && Y < Height()) SetSliderOn(!FSliderOn);
      return;
    }
    case WM_KEYDOWN:
      if (M.WParam == VK_SPACE) {
        SetSliderOn(!FSliderOn);
        return;
      }
      break;
    case WM_GETDLGCODE:
      M.Result = DLGC_WANTCHARS;
      return;
    case WM_ERASEBKGND:
      M.Result = 1;
      return;
    default:
      break;
  }
  TCustomControl::WndProc(M);
}

void TsSlider::Paint() {
  TCanvas* C = Canvas();
  TRect R = ClientRect();
  C->Brush()->SetColor(Color());
  C->FillRect(R);
  int H = R.Height();
  C->Pen()->SetColor(clGrayText);
  C->Brush()->SetColor(FSliderOn ? TColor(0x00B050) : clBtnShadow);
  C->RoundRect(R, H, H);
  int Knob = H - 4;
  int X = FSliderOn ? R.Right - 2 - Knob : R.Left + 2;
  C->Brush()->SetColor(clWhite);
  C->Ellipse(TRect(X, 2, X + Knob, 2 + Knob));
}

void TsSlider::PublishProperties(TPublisher& P) {
  P.Bool(L"ParentColor", &TsSlider::ParentColor, &TsSlider::SetParentColor, true);
  P.Bool(L"SliderOn", &TsSlider::SliderOn, &TsSlider::SetSliderOn, true);
  P.Int(L"TabOrder", &TsSlider::TabOrder, &TsSlider::SetTabOrder, -1).HasDefault = false;
  P.Event(L"OnChange", &TsSlider::OnChange);
}
