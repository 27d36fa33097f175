#include "ui/Buttons.h"

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 23;
  FHeight = 22;
  FControlStyle |= csCaptureMouse;
  // The click comes from MouseUp, not from the generic click path.
  FControlStyle &= ~csClickEvents;
  SetParentColor(true);
}

void TSpeedButton::SetFlat(bool Value) {
  if (Value == FFlat) return;
  FFlat = Value;
  Invalidate();
}

void TSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  if (FDown && !FAllowAllUp) return;
  FDown = Value;
  FState = Value ? bsExclusive : bsUp;
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout Value) {
  if (Value == FLayout) return;
  FLayout = Value;
  Invalidate();
}

void TSpeedButton::SetMargin(int Value) {
  if (Value == FMargin) return;
  FMargin = Value;
  Invalidate();
}

void TSpeedButton::SetSpacing(int Value) {
  if (Value == FSpacing) return;
  FSpacing = Value;
  Invalidate();
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  // Only the left button presses a speed button.
  if (Button != mbLeft || !Enabled()) return;
  if (!FDown) {
    FState = bsDown;
    Invalidate();
  }
  FDragging = true;
}

void TSpeedButton::MouseMove(TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  bool Inside = X >= 0 && Y >= 0 && X < FWidth && Y < FHeight;
  TButtonState New = FDown ? bsExclusive : (Inside ? bsDown : bsUp);
  if (New != FState) {
    FState = New;
    Invalidate();
  }
}

void TSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft || !FDragging) return;
  FDragging = false;
  bool Inside = X >= 0 && Y >= 0 && X < FWidth && Y < FHeight;
  if (FGroupIndex == 0) {
    FState = bsUp;
    Invalidate();
  } else if (Inside) {
    SetDown(!FDown);
  }
  if (Inside) Click();
}

void TSpeedButton::WndProc(TMessage& M) {
  switch (M.Msg) {
    case WM_CANCELMODE:
      if (FDragging) {
        FDragging = false;
        FState = FDown ? bsExclusive : bsUp;
        Invalidate();
      }
      break;
    case CM_ENABLEDCHANGED:
      FState = Enabled() ? (FDown ? bsExclusive : bsUp) : bsDisabled;
      break;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      if (FFlat) Invalidate();
      break;
    default:
      break;
  }
  TGraphicControl::WndProc(M);
}

void TSpeedButton::Paint() {
  TCanvas* C = Canvas();
  RECT R{0, 0, FWidth, FHeight};
  bool Pressed = FState == bsDown || FState == bsExclusive;
  if (!FFlat || Pressed || MouseInControl()) {
    DrawFrameControl(C->Handle(), &R, DFC_BUTTON, DFCS_BUTTONPUSH | (Pressed ? DFCS_PUSHED : 0));
  } else {
    C->Brush()->SetColor(Color());
    C->FillRect(TRect(0, 0, FWidth, FHeight));
  }
  TRect T(0, 0, FWidth, FHeight);
  if (Pressed) T.Offset(1, 1);
  C->Brush()->SetStyle(bsClear);
  if (!Enabled()) C->Font()->SetColor(clGrayText);
  C->DrawText(Caption(), T, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void TSpeedButton::PublishProperties(TPublisher& P) {
  P.Bool(L"AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp, false);
  P.Int(L"GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex, 0);
  P.Bool(L"Down", &TSpeedButton::Down, &TSpeedButton::SetDown, false);
  P.Bool(L"ParentColor", &TSpeedButton::ParentColor, &TSpeedButton::SetParentColor, true);
  P.Bool(L"Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat, false);
  P.Enum(L"Layout", &TSpeedButton::Layout, &TSpeedButton::SetLayout,
         {L"blGlyphLeft", L"blGlyphRight", L"blGlyphTop", L"blGlyphBottom"}, blGlyphLeft);
  P.Int(L"Margin", &TSpeedButton::Margin, &TSpeedButton::SetMargin, -1);
  P.Int(L"Spacing", &TSpeedButton::Spacing, &TSpeedButton::SetSpacing, 4);
}
