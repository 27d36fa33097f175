// What the controls share: the parent's background with the answer's kind,
// and the disabled look over it.
#pragma once
#include "skin/paint/PixelOps.h"
#include "skin/binding/sCommonData.h"

namespace cb {

// Sets Field to Value; true when that changed it (a property setter then repaints).
template <class T>
bool ChangeValue(T& Field, const T& Value) {
  if (Field == Value) return false;
  Field = Value;
  return true;
}

// The background under Control in its parent. Kind is the parent's answer:
// btUnknown when it does not answer (a plain colour is used), btNotReady when
// its picture is not ready (CI is then unusable).
inline std::uint8_t ParentBG(TControl* Control, TCacheInfo& CI) {
  CI = TCacheInfo();
  TWinControl* P = Control->Parent();
  if (!P) return btNotReady;
  TacBGRequest R;
  SendSkinCommand(P, SKC_GETBG, reinterpret_cast<LPARAM>(&R));
  const std::uint8_t Kind = R.BGKind;
  if (Kind == btNotReady) return Kind;
  if (Kind == btUnknown) {
    R.BGKind = btFill;
    const LRESULT C = SendSkinCommand(P, SKC_GETBGCOLOR);
    R.Color = C ? static_cast<std::uint32_t>(C) : ColorToRGB(P->Color());
    R.FillRect = RECT{0, 0, Control->Width(), Control->Height()};
  } else if (Kind != btCache) {
    OffsetRect(&R.FillRect, -Control->Left(), -Control->Top());
  }
  R.Offset.x += Control->Left();
  R.Offset.y += Control->Top();
  CI = BGInfoToCI(R);
  return Kind;
}

// Dims a finished picture of Control over the background CI it was painted
// on (as ParentBG answered it: its offset already holds the control's place).
inline void DimDisabled(TControl* Control, const Bitmap32& Bmp, unsigned Kinds, const TCacheInfo& CI) {
  TWinControl* P = Control->Parent();
  auto ParentColor = [P]() -> std::uint32_t {
    if (!P) return 0xFFFFFF;
    const LRESULT C = SendSkinCommand(P, SKC_GETBGCOLOR);
    return C ? static_cast<std::uint32_t>(C) : ColorToRGB(P->Color());
  };
  DrawDisabled(Bmp, Kinds, ParentColor, BmpPoint(0, 0), CI);
}

}  // namespace cb
