#include "acSkinHook.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "acMenuWnd.h"
#include "acSubclassIds.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"

namespace cb {

namespace {

// Never destroyed: the application object frees its forms after the
// program's static objects are gone, and their providers leave this list then.
// The list owns nothing; a provider enters it when made and leaves it when freed.
std::vector<TacProvider*>& Attached() {
  static auto* List = new std::vector<TacProvider*>;
  return *List;
}

// Sorted, as the search expects.
const wchar_t* const ExcludedFormClasses[] = {
    L"TApplication",
    L"TcxComboBoxPopupWindow",
    L"TcxCustomPopupWindow",
    L"TcxDateEditPopupWindow",
    L"TcxGridFilterPopup",
    L"TdxPopupEditForm",
    L"TfcPopup",
};

std::wstring ClassOf(HWND Wnd) {
  wchar_t Buf[256] = {};
  GetClassNameW(Wnd, Buf, 255);
  return Buf;
}

std::wstring Lower(std::wstring S) {
  for (auto& C : S) C = static_cast<wchar_t>(std::towlower(C));
  return S;
}

BOOL CALLBACK FindToolbar(HWND Child, LPARAM P) {
  if (Lower(ClassOf(Child)) == L"toolbarwindow32") {
    *reinterpret_cast<bool*>(P) = true;
    return FALSE;
  }
  return TRUE;
}

bool HasToolbarChild(HWND Wnd) {
  bool Found = false;
  // EnumChildWindows visits every depth.
  EnumChildWindows(Wnd, FindToolbar, reinterpret_cast<LPARAM>(&Found));
  return Found;
}

int VisibleDialogs() {
  // Dead entries go first.
  std::vector<TacProvider*> Dead;
  for (TacProvider* P : Attached())
    if (!P->Form && P->DialogDead()) Dead.push_back(P);
  for (TacProvider* P : Dead) delete P;
  return static_cast<int>(std::count_if(Attached().begin(), Attached().end(), [](const TacProvider* P) {
    return !P->Form && IsWindowVisible(P->CtrlHandle);
  }));
}

TCustomForm* FormOf(HWND Wnd) {
  if (!Screen) return nullptr;
  const auto& Forms = Screen->FormList();
  for (auto It = Forms.rbegin(); It != Forms.rend(); ++It)
    if ((*It)->WindowHandle() == Wnd) return *It;
  return nullptr;
}

bool AttachForm(TCustomForm* F, HWND Wnd, TsSkinManager* M) {
  if ((F->Tag() & acExcludeTag) == acExcludeTag) return false;
  const std::wstring Class = F->ClassName();
  if (std::binary_search(std::begin(ExcludedFormClasses), std::end(ExcludedFormClasses), Class,
                         [](const std::wstring& A, const std::wstring& B) { return A < B; }))
    return false;
  const TacSkinningRules Need = Class == L"TMessageForm" ? srStdDialogs : srStdForms;
  if (!(M->SkinningRules() & Need)) return false;
  auto* P = new TacProvider(F, Wnd);
  try {
    P->sp = std::make_unique<TsSkinProvider>(F);
  } catch (...) {
    delete P;
    throw;
  }
  P->sp->UseGlobalColor = false;  // the form keeps its own colour
  P->sp->MakeSkinMenu = false;
  TsSkinProvider* SP = P->sp.get();
  // Controls of a form made before the skin learn of it now.
  SendMessageW(Wnd, SKM_COMMAND, SkinCommand(SKC_SKINLOADED), reinterpret_cast<LPARAM>(M));
  if (IsWindowVisible(Wnd)) {
    if (SP->Frame) SP->Frame->FormActive = GetActiveWindow() == Wnd;
    RedrawWindow(Wnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE | RDW_FRAME);
  }
  return true;
}

bool AttachDialog(HWND Wnd, TsSkinManager* M) {
  const std::wstring Class = ClassOf(Wnd);
  if (Class != L"#32770" && Class != L"NativeHWNDHost") return false;
  if ((GetWindowLongW(Wnd, GWL_STYLE) & WS_CHILD) && GetParent(Wnd)) return false;
  if (!(M->SkinningRules() & srStdDialogs) || !StdDialogsSkinned()) return false;
  if (VisibleDialogs() >= acMaxVisibleDialogs && !HasToolbarChild(Wnd)) return false;
  auto* P = new TacProvider(nullptr, Wnd);
  if (!P->InitDialog()) {
    delete P;
    return false;
  }
  return true;
}

void OnCreateWnd(HWND Wnd, const CBT_CREATEWNDW* CW) {
  const CREATESTRUCTW* CS = CW ? CW->lpcs : nullptr;
  if (!CS) return;
  const auto ClassAtom = reinterpret_cast<std::uintptr_t>(CS->lpszClass);
  if (ClassAtom <= 0xFFFF) {
    if (ClassAtom == 0x8002) {
      AttachWindow(Wnd);
    } else if (ClassAtom == 0x8000) {
      TsSkinManager* M = DefaultManager();
      const DWORD Major = LOBYTE(LOWORD(GetVersion()));
      if (M && Major >= 6 && M->SkinnedPopups()) WrapMenuWindow(Wnd);
    }
    return;
  }
  if (std::wstring(CS->lpszClass) == L"TPUtilWindow") return;
  if (CS->style == 0 || CS->dwExStyle == 0) return;
  TCustomForm* Main = Application ? Application->MainForm() : nullptr;
  if (Main && Main->WindowHandle() == Wnd) return;
  if ((CS->style & WS_CHILD) && CS->hwndParent) return;
  AttachWindow(Wnd);
}

void OnDestroyWnd(HWND Wnd) {
  if (TacProvider* P = FindAttached(Wnd)) {
    // A dialog's wrapper comes off with its window; nothing is put back on a window that goes.
    P->WindowGoing = true;
    delete P;
  }
}

void HookHandler(int Code, WPARAM WParam, LPARAM LParam) {
  if (!Application || (Application->ComponentState() & csDestroying)) return;
  switch (Code) {
    case HCBT_ACTIVATE: AttachWindow(reinterpret_cast<HWND>(WParam)); break;
    case HCBT_CREATEWND:
      OnCreateWnd(reinterpret_cast<HWND>(WParam), reinterpret_cast<const CBT_CREATEWNDW*>(LParam));
      break;
    case HCBT_DESTROYWND: OnDestroyWnd(reinterpret_cast<HWND>(WParam)); break;
    default: break;
  }
}

}  // namespace

TacProvider::TacProvider(TCustomForm* AForm, HWND AHandle) : TComponent(AForm), CtrlHandle(AHandle), Form(AForm) {
  Attached().push_back(this);
}

TacProvider::~TacProvider() {
  // Out of the list before the skinning comes off, so nothing it does on the way finds it.
  std::erase(Attached(), this);
  sp.reset();
  if (!WindowGoing && !DialogDead()) ListSW->Detach();
}

bool TacProvider::InitDialog() {
  auto W = std::make_unique<TacDialogWnd>(CtrlHandle);
  TacDialogWnd* Raw = W.get();
  if (!AddForeignHook(CtrlHandle, siDialog, std::move(W))) return false;
  ListSW = Raw;
  Raw->Attach();
  SendMessageW(CtrlHandle, SKM_COMMAND, SkinCommand(SKC_REFRESH), 0);
  return !DialogDead();
}

bool TacProvider::DialogDead() const {
  // Only while its hook is on is the wrapper known to be alive.
  return !ListSW || !IsWindow(CtrlHandle) || FindForeignWrapper(CtrlHandle, siDialog) != ListSW ||
         ListSW->Destroyed;
}

bool AttachWindow(HWND Wnd) {
  TsSkinManager* M = DefaultManager();
  if (!M || !M->SkinCommonInfo.Active || !Wnd || (Application && Application->Terminated())) return false;
  if (FindAttached(Wnd) || ProviderOfWindow(Wnd)) return false;
  const LONG Style = GetWindowLongW(Wnd, GWL_STYLE);
  // Borderless popups (hints, drop-downs, layered helpers) stay as they are.
  if ((Style & WS_POPUP) && !(Style & WS_BORDER)) return false;
  if (TCustomForm* F = FormOf(Wnd)) return AttachForm(F, Wnd, M);
  return AttachDialog(Wnd, M);
}

const std::vector<TacProvider*>& AttachedWindows() { return Attached(); }

TacProvider* FindAttached(HWND Wnd) {
  for (TacProvider* P : Attached())
    if (P->CtrlHandle == Wnd) return P;
  return nullptr;
}

void ReleaseAttachedWindows() {
  TsSkinManager* M = DefaultManager();
  while (!Attached().empty()) {
    TacProvider* P = Attached().front();
    // The form's controls hear of the skin going while their form still passes news on.
    if (P->Form && P->sp && !(P->Form->ComponentState() & csDestroying))
      BroadcastSkinCommand(P->Form, SKC_SKINREMOVED, reinterpret_cast<LPARAM>(M));
    delete P;  // leaves the list and its form
  }
}

void InstallFormSkinning() {
  SetCreationHookHandler(HookHandler);
  SetCreationHookRemovedHandler(ReleaseAttachedWindows);
  InstallMenuSkinning();
}

}  // namespace cb
