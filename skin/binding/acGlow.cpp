#include "skin/binding/acGlow.h"
#include "base/Rounding.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "sSkinManager.h"
#include "skin/paint/PixelOps.h"
#include "skin/binding/acThdTimer.h"
#include "skin/binding/sCommonData.h"
#include "skin/paint/section/sGraphUtils.h"
#include "ui/Forms.h"

namespace cb {

namespace {

// Ids index this list. A freed place is taken by the next glow, so the list
// is only as long as the most glows shown at once; an id goes stale only with
// its glow, and the owner's GlowID is cleared then.
std::vector<std::unique_ptr<TacGlowEffect>>& Glows() {
  // Never destroyed: forms are freed while static objects go, and still use it.
  static auto* List = new std::vector<std::unique_ptr<TacGlowEffect>>;
  return *List;
}

// The visible part of the control on screen: its rectangle cut to its parent's client area.
bool VisibleScreenRect(TControl* C, RECT& Out) {
  if (!C || !C->Visible() || C->Width() <= 0 || C->Height() <= 0) return false;
  const TPoint O = C->ClientToScreen(TPoint(0, 0));
  Out = {O.X, O.Y, O.X + C->Width(), O.Y + C->Height()};
  if (TWinControl* P = C->Parent()) {
    if (!P->HandleAllocated()) return false;
    const TPoint PO = P->ClientToScreen(TPoint(0, 0));
    RECT PR{PO.X, PO.Y, PO.X + P->ClientWidth(), PO.Y + P->ClientHeight()};
    if (!IntersectRect(&Out, &Out, &PR)) return false;
  }
  return true;
}

HWND WindowOf(TControl* C) {
  for (TControl* X = C; X; X = X->Parent())
    if (auto* W = WinControlOf(X); W && W->HandleAllocated()) return W->WindowHandle();
  return nullptr;
}

void Present(TacGlowEffect& G) {
  if (G.Surface && G.AlphaBmp) G.Surface->Present(*G.AlphaBmp, POINT{G.Bounds.left, G.Bounds.top}, G.Alpha);
}

// Layered windows take colours multiplied by their alpha.
void Premultiply(Bitmap32& B) {
  for (int Y = 0; Y < B.Height(); ++Y) {
    std::uint8_t* P = reinterpret_cast<std::uint8_t*>(B.Line(Y));
    for (int X = 0; X < B.Width(); ++X, P += 4) {
      const unsigned A = P[3];
      if (A == 255) continue;
      P[0] = static_cast<std::uint8_t>(P[0] * A / 255);
      P[1] = static_cast<std::uint8_t>(P[1] * A / 255);
      P[2] = static_cast<std::uint8_t>(P[2] * A / 255);
    }
  }
}

void FreeGlow(int& GlowID, bool StopAnimation) {
  auto& L = Glows();
  if (GlowID < 0 || GlowID >= static_cast<int>(L.size()) || !L[static_cast<size_t>(GlowID)]) {
    GlowID = -1;
    return;
  }
  std::unique_ptr<TacGlowEffect> G = std::move(L[static_cast<size_t>(GlowID)]);
  G->Destroyed = true;
  TsCommonData* D = G->SkinData;
  GlowID = -1;
  if (D) {
    D->GlowID = -1;
    if (StopAnimation) D->StopAnimation();
  }
}

// The glow-only fade on the owner's timer: the level falls by GlowStep per tick.
bool GlowFadeStep(TsCommonData* D, int) {
  if (!D || !D->AnimTimer()) return false;
  TacFadeTimer& T = *D->AnimTimer();
  T.Glow -= T.GlowStep;
  const int V = std::clamp(RoundEven(T.Glow), 0, 255);
  if (T.Iteration < T.Iterations && V >= 10) {
    SetGlowAlpha(D->GlowID, V);
    return true;
  }
  FreeGlow(D->GlowID, false);
  T.ThreadType = 0;
  T.StopAnimation();
  return false;
}

// The manager removes every glow when a skin comes or goes. (The list's own
// end frees what is left at exit.)
[[maybe_unused]] const bool GlowsRegistered = (SetGlowsFreer(&FreeAllGlows), true);

}  // namespace

TacGlowEffect* GlowEffect(int GlowID) {
  auto& L = Glows();
  return GlowID >= 0 && GlowID < static_cast<int>(L.size()) ? L[static_cast<size_t>(GlowID)].get() : nullptr;
}

int GlowsShown() {
  int N = 0;
  for (const auto& G : Glows()) N += G != nullptr;
  return N;
}

int GlowListSize() { return static_cast<int>(Glows().size()); }

int ShowGlow(TsCommonData& D, int Alpha) {
  if (GlowEffect(D.GlowID)) {
    SetGlowAlpha(D.GlowID, Alpha);
    return D.GlowID;
  }
  D.GlowID = -1;
  TsSkinManager* M = D.SkinManager();
  TControl* C = D.OwnerControl();
  if (!M || !C || !D.Skinned() || (C->ComponentState() & csDestroying)) return -1;
  if (!M->Effects()->AllowGlowing() || M->Options()->NoMouseHover()) return -1;
  TacSkinData* SD = D.CommonSkinData();
  if (!SD) return -1;
  const TsGeneralData& Sec = SD->gd[static_cast<size_t>(D.SkinIndex())];
  // The capture last: asking for it is a round trip to the window server under Wine.
  if (Sec.GlowCount < 1 || GetCapture()) return -1;
  const int Mask = M->GetMaskIndex(D.SkinIndex(), "GLOW0", SD);
  if (Mask < 0) return -1;
  const TsMaskData& Md = SD->ma[static_cast<size_t>(Mask)];
  RECT R;
  if (!VisibleScreenRect(C, R)) return -1;
  // Grown so that the mask's border lies outside the control.
  const int Margin = Sec.GlowMargin;
  R = {R.left + Margin - Md.WL, R.top + Margin - Md.WT, R.right - Margin + Md.WR, R.bottom - Margin + Md.WB};
  if (R.right <= R.left || R.bottom <= R.top) return -1;

  auto G = std::make_unique<TacGlowEffect>();
  G->Margin = Margin;
  G->MaskIndex = Mask;
  G->SkinManager = M;
  G->SkinData = &D;
  G->Bounds = R;
  G->Alpha = std::clamp(Alpha, 0, 255);
  G->AlphaBmp = std::make_unique<TDibBitmap>(R.right - R.left, R.bottom - R.top);
  if (G->AlphaBmp->Empty()) return -1;
  Bitmap32& B = G->AlphaBmp->Bmp();
  TCacheInfo None;
  None.FillColor = 0;
  DrawBorderMask(B, B.Bounds(), None, false, 0, Md);
  std::uint32_t Tone = D.FColorTone;
  if (LRESULT Asked = SendSkinCommand(C, SKC_GETCOLORTONE)) Tone = static_cast<std::uint32_t>(Asked);
  ApplyColourEffects(B, Tone, D.FHUEOffset, D.FSaturation, M);
  Premultiply(B);
  // Just behind the control's top-level window, the only window a popup can
  // be placed against. Owned by that window it would lie above it, so it
  // shares that window's owner instead. Topmost when the window is, or when
  // the control has none.
  HWND Form = WindowOf(C);
  HWND Root = Form ? GetAncestor(Form, GA_ROOT) : nullptr;
  DWORD Ex = WS_EX_TRANSPARENT;
  if (!Root || (GetWindowLongW(Root, GWL_EXSTYLE) & WS_EX_TOPMOST)) Ex |= WS_EX_TOPMOST;
  G->Surface = std::make_unique<TacLayeredSurface>(nullptr, Root ? GetWindow(Root, GW_OWNER) : nullptr, Ex);
  if (!G->Wnd()) return -1;
  Present(*G);
  SetWindowPos(G->Wnd(), Root ? Root : HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  auto& L = Glows();
  const auto Free = std::find(L.begin(), L.end(), nullptr);
  D.GlowID = static_cast<int>(Free - L.begin());
  if (Free == L.end())
    L.push_back(std::move(G));
  else
    *Free = std::move(G);
  return D.GlowID;
}

void SetGlowAlpha(int GlowID, int Alpha) {
  TacGlowEffect* G = GlowEffect(GlowID);
  if (!G || G->Destroyed) return;
  Alpha = std::clamp(Alpha, 0, 255);
  if (Alpha == G->Alpha) return;
  G->Alpha = Alpha;
  Present(*G);
}

void HideGlow(int& GlowID, bool Animated) {
  TacGlowEffect* G = GlowEffect(GlowID);
  if (!G) {
    GlowID = -1;
    return;
  }
  TsCommonData* D = G->SkinData;
  const bool Terminating = Application && Application->Terminated();
  TsSkinManager* M = G->SkinManager;
  if (Animated && D && !Terminating && M && M->Effects()->AllowAnimation() && !gAnimationsSuppressed) {
    TacFadeTimer* T = D->AnimTimer();
    // A state animation towards normal fades the glow itself.
    if (T && T->Enabled() && T->State == 0) return;
    if (!T || !T->Enabled()) {
      T = D->CreateAnimTimer();
      T->Glow = G->Alpha;
      T->InitData(D, 0, GlowFadeStep, 0, false);
      T->ThreadType = 1;
      T->Iteration = 0;
      T->Iterations = 18;
      T->GlowStep = T->Glow / T->Iterations;
      return;
    }
  }
  FreeGlow(GlowID, true);
}

void DropGlow(int& GlowID) { FreeGlow(GlowID, false); }

void FreeAllGlows() {
  auto& L = Glows();
  for (int I = 0; I < static_cast<int>(L.size()); ++I)
    if (L[static_cast<size_t>(I)]) {
      int Id = I;
      FreeGlow(Id, true);
    }
}

}  // namespace cb
