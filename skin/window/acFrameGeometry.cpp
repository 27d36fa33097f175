#include "acFrameGeometry.h"

#include <algorithm>

namespace cb {

TacFrameMetrics FrameMetrics(const TacFrameSizes& S) {
  TacFrameMetrics FM;
  FM.SF = std::max(0, S.SF);
  FM.SC = std::max(0, S.SC);
  FM.Extended = S.Extended;
  if (S.Extended && S.HaveSkin) {
    FM.BW = std::max(1, S.ExBorderWidth);
    FM.TH = FM.SC ? (S.Zoomed ? S.ExMaxHeight : S.ExTitleHeight) : 0;
    FM.L = std::max(0, S.Shadow.Left);
    FM.T = std::max(0, S.Shadow.Top);
    FM.R = std::max(0, S.Shadow.Right);
    FM.B = std::max(0, S.Shadow.Bottom);
    // The skin's frame replaces the system's: the image grows by the
    // difference of the two, and by the shadow around it.
    FM.Width = S.FormW + 2 * (FM.BW - FM.SF) + FM.L + FM.R;
    FM.Height = S.FormH + (FM.TH - FM.SC - FM.SF) + (FM.BW - FM.SF) + FM.T + FM.B;
  } else {
    FM.BW = FM.SF;
    FM.TH = FM.SC;
    FM.Width = S.FormW;
    FM.Height = S.FormH;
  }
  FM.FormW = S.FormW;
  FM.FormH = S.FormH;
  return FM;
}

TacTitleLayout LayoutTitle(const TacTitleInput& In) {
  TacTitleLayout Out;
  const TacFrameMetrics& FM = In.FM;
  const TacBorderStyle BS = In.Border;
  const bool Sys = (In.Icons & acbiSystemMenu) && BS != acbsNone;
  const bool Tool = BS == acbsToolWindow || BS == acbsSizeToolWin;
  const bool MinMaxStyle = BS == acbsSingle || BS == acbsSizeable;
  Out.BigButtons = BS == acbsSingle || BS == acbsSizeable || BS == acbsDialog;
  auto& Close = Out.Buttons[tbClose];
  auto& Max = Out.Buttons[tbMax];
  auto& Min = Out.Buttons[tbMin];
  auto& Help = Out.Buttons[tbHelp];
  Min.Visible = Sys && (In.Icons & acbiMinimize) && (MinMaxStyle || In.Iconic);
  Max.Visible = Sys && (In.Icons & acbiMaximize) && MinMaxStyle;
  Close.Visible = Sys;
  Help.Visible = Sys && (In.Icons & acbiHelp);
  const bool Alone = !Min.Visible && !Max.Visible;
  Close.Glyph = Tool ? tgSmallClose : Alone ? tgCloseAlone : tgClose;
  Max.Glyph = Tool ? (In.Zoomed ? tgSmallNormal : tgSmallMax) : (In.Zoomed ? tgNormal : tgMax);
  Min.Glyph = Tool ? tgSmallMin : (In.Iconic && !In.MainForm ? tgNormal : tgMin);
  Help.Glyph = Tool ? tgSmallHelp : tgHelp;
  for (auto& B : Out.Buttons) B.HaveAlignment = !Tool;

  const int L = FM.Extended ? FM.L + In.BILeftMargin : 0;
  const int X0 = FM.BW + L;
  const int X1 = FM.Width - std::max(4, FM.BW) - (FM.Extended ? FM.R + In.BIRightMargin : 0);
  Out.HeaderHeight = FM.Extended ? FM.TH + FM.T : FM.SF + FM.TH + FM.T;
  // A maximised title of its own height is centred without the skin's offset.
  Out.VCenter =
      FM.Extended ? Out.HeaderHeight - FM.TH / 2 + (In.OwnMaxHeight && In.Zoomed ? 0 : In.ExCenterOffs) : FM.SC / 2 + FM.SF / 2;
  if (In.Zoomed) Out.VCenter += 2;

  const TSize CloseSize = In.GlyphSizes[static_cast<size_t>(Close.Glyph)];
  int X = X1;
  for (TacTitleButtonPlace* B : {&Close, &Max, &Min, &Help}) {
    if (!B->Visible) continue;
    if (B == &Help) X -= In.Spacing;
    const TSize S = In.GlyphSizes[static_cast<size_t>(B->Glyph)];
    const int Top = In.ButtonsTopAligned && B->HaveAlignment ? FM.T + In.BITopMargin : Out.VCenter - CloseSize.cy / 2;
    B->Rect = TRect(X - S.cx, Top, X, Top + S.cy);
    X -= S.cx + (Out.BigButtons ? In.BISpacing : 0);
  }

  if (In.ShowIcon && (BS == acbsSingle || BS == acbsSizeable) && FM.TH > 0) {
    const int Avail = FM.TH - In.BITopMargin;
    const int Size = Avail < 48 ? 16 : Avail <= 64 ? 24 : 32;
    Out.Icon = TRect(X0, Out.VCenter - Size / 2, X0 + Size, Out.VCenter - Size / 2 + Size);
  } else {
    Out.Icon = TRect(X0, 0, X0, 0);
  }

  // The caption between the icon and the buttons.
  const bool HasIcon = Out.Icon.Right > Out.Icon.Left;
  const int CaptionLeft = HasIcon ? Out.Icon.Right + In.Spacing + In.BILeftMargin : Out.Icon.Left + In.Spacing;
  int CaptionRight = FM.Width - FM.R - FM.BW;
  for (const auto& B : Out.Buttons)
    if (B.Visible) CaptionRight = std::min(CaptionRight, B.Rect.Left);
  Out.Caption = TRect(CaptionLeft, FM.T, CaptionRight - In.Spacing, Out.HeaderHeight);
  return Out;
}

int FrameHitTest(TPoint P, const TacFrameMetrics& FM, const TacTitleLayout& L, const TacHitInput& In) {
  for (int I : {tbClose, tbMax, tbMin, tbHelp}) {
    const TacTitleButtonPlace& B = L.Buttons[static_cast<size_t>(I)];
    if (!B.Visible || !B.Rect.Contains(P)) continue;
    const bool Enabled = In.Enabled[static_cast<size_t>(I)];
    switch (I) {
      case tbClose: return Enabled ? htClose : htCaption;
      case tbMax: return Enabled ? htMaxButton : htCaption;
      case tbMin: return Enabled || In.Iconic ? htMinButton : htCaption;
      default: return htHelp;
    }
  }
  const TRect Frame = FM.Frame();
  if (In.Sizable) {
    const int C = FM.Extended ? std::max(FM.BW, 6) : FM.BW;
    const bool Left = P.X < Frame.Left + C, Right = P.X >= Frame.Right - C;
    const bool Top = P.Y < Frame.Top + C, Bottom = P.Y >= Frame.Bottom - C;
    if (Top && Left) return htTopLeft;
    if (Top && Right) return htTopRight;
    if (Bottom && Left) return htBottomLeft;
    if (Bottom && Right) return htBottomRight;
    if (Left) return htLeft;
    if (Right) return htRight;
    if (Top) return htTop;
    if (Bottom) return htBottom;
  }
  const int CaptionBottom = FM.Extended ? FM.T + FM.TH : FM.SF + FM.SC;
  if (P.Y < CaptionBottom && FM.TH > 0) return L.Icon.Contains(P) ? htSysMenu : htCaption;
  if (Frame.Contains(P)) return In.Client.Contains(P) ? htClient : htBorder;
  return htTransparent;
}

}  // namespace cb
