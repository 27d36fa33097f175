#include "acMenuWnd.h"

#include <algorithm>

#include "acSubclassIds.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "skin/binding/sMessages.h"
#include "skin/paint/PixelOps.h"
#include "skin/paint/section/sGraphUtils.h"
#include "ui/Forms.h"

namespace cb {

namespace {

// Never destroyed: menu windows may go after the program's static objects.
std::vector<TacMnuWnd*>& Wrappers() {
  static auto* List = new std::vector<TacMnuWnd*>;
  return *List;
}

TsSkinableMenus* Painter() {
  TsSkinManager* M = DefaultManager();
  return M ? SkinableMenus(M) : nullptr;
}

constexpr UINT MN_GETHMENU_ = 0x01E1;

}  // namespace

TacMnuWnd::TacMnuWnd(HWND Wnd) : FWnd(Wnd) { Wrappers().push_back(this); }

TacMnuWnd::~TacMnuWnd() { std::erase(Wrappers(), this); }

const std::vector<TacMnuWnd*>& MenuWrappers() { return Wrappers(); }

TacMnuWnd* MenuWrapperOf(HWND Wnd) {
  for (TacMnuWnd* W : Wrappers())
    if (W->Handle() == Wnd && !W->Destroyed) return W;
  return nullptr;
}

bool WrapMenuWindow(HWND Wnd) {
  if (!Wnd || MenuWrapperOf(Wnd)) return false;
  return AddForeignHook(Wnd, siMenuWindow, std::make_unique<TacMnuWnd>(Wnd));
}

HWND FindMenuWindow(HDC DC, HMENU Menu) {
  if (HWND W = DC ? WindowFromDC(DC) : nullptr; W && MenuWrapperOf(W)) return W;
  // Printed into a memory DC: the window showing the menu.
  for (auto It = Wrappers().rbegin(); It != Wrappers().rend(); ++It)
    if (!(*It)->Destroyed && Menu &&
        reinterpret_cast<HMENU>(SendMessageW((*It)->Handle(), MN_GETHMENU_, 0, 0)) == Menu)
      return (*It)->Handle();
  return nullptr;
}

const Bitmap32* TacMnuWnd::Picture() {
  RECT WR{};
  GetWindowRect(FWnd, &WR);
  const int W = WR.right - WR.left, H = WR.bottom - WR.top;
  TsSkinableMenus* P = Painter();
  if (const Bitmap32* Pic = P ? P->LevelPicture(FWnd) : nullptr; Pic && Pic->Width() == W && Pic->Height() == H)
    return Pic;
  // Before the first item: the menu section alone.
  if (!FCache) FCache = std::make_unique<TDibBitmap>();
  if (FCache->Bmp().Width() != W || FCache->Bmp().Height() != H) {
    if (!FCache->SetSize(W, H)) return nullptr;
    Bitmap32& Bmp = FCache->Bmp();
    FillPixels32(Bmp, Bmp.Bounds(), 0, 0);
    TsSkinManager* M = DefaultManager();
    TacSkinData* D = P ? P->SkinDataFor(P->CurrentPPI()) : nullptr;
    const int Idx = M ? M->SkinCommonInfo.Sections[ssMainMenu] : -1;
    if (D && Idx >= 0) PaintSectionByIndex(Idx, TCacheInfo(), -1, -1, D, Bmp, BmpPoint(0, 0), Bmp.Bounds(), 0);
  }
  return &FCache->Bmp();
}

void TacMnuWnd::PaintFrame(HDC DC) {
  const Bitmap32* Pic = Picture();
  if (!Pic || !DC) return;
  TDibBitmap Out(Pic->Width(), Pic->Height());
  if (Out.Empty()) return;
  CopyPiece(Out.Bmp(), BmpPoint(0, 0), *Pic, Pic->Bounds());
  // The four sides only: the items inside are the menu's own painting.
  const int F = acMenuFrameWidth, W = Pic->Width(), H = Pic->Height();
  const RECT Sides[4] = {{0, 0, W, F}, {0, H - F, W, H}, {0, F, F, H - F}, {W - F, F, W, H - F}};
  for (const RECT& S : Sides)
    if (S.right > S.left && S.bottom > S.top)
      BitBlt(DC, S.left, S.top, S.right - S.left, S.bottom - S.top, Out.Canvas(), S.left, S.top, SRCCOPY);
}

void TacMnuWnd::OnShowing(const WINDOWPOS& WP) {
  if (!(WP.flags & SWP_SHOWWINDOW) || IsWindowVisible(FWnd)) return;
  const LONG Ex = GetWindowLongW(FWnd, GWL_EXSTYLE);
  if (Ex & WS_EX_LAYERED) return;
  SetWindowLongW(FWnd, GWL_EXSTYLE, Ex | WS_EX_LAYERED);
  SetLayeredWindowAttributes(FWnd, 0, 0, LWA_ALPHA);
  LayeredByUs = true;
}

void TacMnuWnd::FirstPictureUp() {
  if (!LayeredByUs) return;
  LayeredByUs = false;
  TsSkinManager* M = DefaultManager();
  const int Alpha = M && M->MenuSupport() ? M->MenuSupport()->AlphaBlend() : 255;
  if (Alpha >= 255) {
    SetWindowLongW(FWnd, GWL_EXSTYLE, GetWindowLongW(FWnd, GWL_EXSTYLE) & ~WS_EX_LAYERED);
    // What the transparent window drew is not kept by the opaque one.
    RedrawWindow(FWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  } else {
    SetLayeredWindowAttributes(FWnd, 0, static_cast<BYTE>(Alpha), LWA_ALPHA);
  }
}

void TacMnuWnd::RedrawOthers() {
  for (TacMnuWnd* W : Wrappers())
    if (W != this && !W->Destroyed && IsWindowVisible(W->FWnd))
      RedrawWindow(W->FWnd, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
}

void TacMnuWnd::OnCommand(TMessage& M) {
  switch (CommandOf(M.WParam)) {
    case SKC_ISSKINNED: M.Result = 1; break;
    case SKC_ISREGIONCHANGED:
      M.Result = RgnChanged;
      RgnChanged = false;
      break;
    case SKC_MENUSHOWN: FramePainted = true; break;
    case SKC_GETAPP: M.Result = reinterpret_cast<LRESULT>(Application); break;
    case SKC_MENUFRAME: {
      HDC DC = GetWindowDC(FWnd);
      PaintFrame(DC);
      ReleaseDC(FWnd, DC);
      FramePainted = true;
      break;
    }
    default: break;
  }
}

void TacMnuWnd::WndProc(TMessage& M, const TWindowHookNext& Next) {
  switch (M.Msg) {
    case WM_WINDOWPOSCHANGING:
      if (M.LParam) OnShowing(*reinterpret_cast<const WINDOWPOS*>(M.LParam));
      Next(M);
      return;
    case WM_NCPAINT: {
      // The whole frame is the skin's: the system's is never drawn.
      HDC DC = GetWindowDC(FWnd);
      PaintFrame(DC);
      ReleaseDC(FWnd, DC);
      FramePainted = true;
      M.Result = 0;
      return;
    }
    case WM_ERASEBKGND: {
      const Bitmap32* Pic = Picture();
      RECT WR{}, CR{};
      GetWindowRect(FWnd, &WR);
      GetClientRect(FWnd, &CR);
      POINT C{0, 0};
      ClientToScreen(FWnd, &C);
      if (Pic) {
        TDibBitmap Out(Pic->Width(), Pic->Height());
        if (!Out.Empty()) {
          CopyPiece(Out.Bmp(), BmpPoint(0, 0), *Pic, Pic->Bounds());
          BitBlt(reinterpret_cast<HDC>(M.WParam), 0, 0, CR.right, CR.bottom, Out.Canvas(), C.x - WR.left,
                 C.y - WR.top, SRCCOPY);
        }
      }
      M.Result = 1;
      return;
    }
    case WM_PAINT: {
      Next(M);
      // Where the menu draws its frame inside the client area, the skin's goes over it.
      HDC DC = GetWindowDC(FWnd);
      PaintFrame(DC);
      ReleaseDC(FWnd, DC);
      FramePainted = true;
      FirstPictureUp();
      return;
    }
    case WM_PRINT:
      Next(M);
      if (M.LParam & PRF_NONCLIENT) PaintFrame(reinterpret_cast<HDC>(M.WParam));
      return;
    case WM_NCDESTROY: {
      Next(M);
      Destroyed = true;
      if (TsSkinableMenus* P = Painter()) P->ForgetWindow(FWnd);
      RedrawOthers();
      return;
    }
    default:
      if (M.Msg == SKM_COMMAND) {
        OnCommand(M);
        return;
      }
      Next(M);
  }
}

}  // namespace cb
