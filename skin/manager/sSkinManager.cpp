#include "sSkinManager.h"

#include <algorithm>
#include <cstring>

#include "sSkinRecolour.h"
#include "base/StringList.h"
#include "base/Strings.h"
#include "skin/binding/sMessages.h"
#include "ui/Forms.h"
#include "ui/UiText.h"

namespace cb {

namespace {

TsSkinManager* gDefaultManager = nullptr;
TacScaleMode gScaleMode = smVCL;
bool gStdDialogs = false;
// Never destroyed: forms (and their windows, whose destruction the hook sees)
// go after the program's static objects.
TacCreationHookHandler& gHookHandler = *new TacCreationHookHandler;
std::function<void()>& gHookRemovedHandler = *new std::function<void()>;
HHOOK gCreationHook = nullptr;
void (*gGlowsFreer)() = nullptr;
TacAppMessageHandler& gAppMessageHandler = *new TacAppMessageHandler;

void FreeGlows() {
  if (gGlowsFreer) gGlowsFreer();
}

int ScreenPPI() { return Screen ? Screen->PixelsPerInch() : 96; }

LRESULT CALLBACK CreationHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code >= 0 && gHookHandler) {
    try {
      gHookHandler(Code, WParam, LParam);
    } catch (...) {
      // Never unwind through the system's frames.
    }
  }
  return CallNextHookEx(gCreationHook, Code, WParam, LParam);
}

// A description's lines (one class name or section each), as the lists keep them.
std::vector<std::wstring> SplitLines(const std::wstring& Text) {
  TStringList L;
  L.SetText(ToU16(Text));
  std::vector<std::wstring> Lines;
  for (int I = 0; I < L.Count(); ++I) Lines.push_back(ToWide(L[I]));
  return Lines;
}

}  // namespace

TsSkinManager* DefaultManager() { return gDefaultManager; }
TacScaleMode LibraryScaleMode() { return gScaleMode; }
bool StdDialogsSkinned() { return gStdDialogs; }
void SetCreationHookHandler(TacCreationHookHandler Handler) { gHookHandler = std::move(Handler); }
void SetGlowsFreer(void (*Freer)()) { gGlowsFreer = Freer; }
void SetAppMessageHandler(TacAppMessageHandler Handler) { gAppMessageHandler = std::move(Handler); }
void SetCreationHookRemovedHandler(std::function<void()> Handler) { gHookRemovedHandler = std::move(Handler); }

// ---------------------------------------------------------------------------
// The host

void TacWinSkinHost::ShowMessage(const std::u16string& Text, TacMsgKind Kind) {
  if (OnShowMessage) return OnShowMessage(Text, Kind);
  // A box of the system: the skinning of system dialogs stays off meanwhile.
  bool Saved = gStdDialogs;
  gStdDialogs = false;
  UINT Icon = Kind == TacMsgKind::mkError ? MB_ICONERROR
              : Kind == TacMsgKind::mkWarning ? MB_ICONWARNING
                                              : MB_ICONINFORMATION;
  HWND Owner = Application ? Application->ActiveFormHandle() : nullptr;
  MessageBoxW(Owner, ToWide(Text).c_str(), Application ? Application->Title().c_str() : L"", MB_OK | Icon);
  gStdDialogs = Saved;
}

bool TacWinSkinHost::FileExists(const std::u16string& Path) {
  DWORD A = GetFileAttributesW(ToWide(Path).c_str());
  return A != INVALID_FILE_ATTRIBUTES && !(A & FILE_ATTRIBUTE_DIRECTORY);
}

bool TacWinSkinHost::DirectoryExists(const std::u16string& Path) {
  DWORD A = GetFileAttributesW(ToWide(Path).c_str());
  return A != INVALID_FILE_ATTRIBUTES && (A & FILE_ATTRIBUTE_DIRECTORY);
}

bool TacWinSkinHost::CreateDir(const std::u16string& Path) { return CreateDirectoryW(ToWide(Path).c_str(), nullptr) != 0; }

bool TacWinSkinHost::ReadWholeFile(const std::u16string& Path, std::vector<uint8_t>& Out) {
  HANDLE F = CreateFileW(ToWide(Path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (F == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER Size{};
  bool Ok = GetFileSizeEx(F, &Size) && Size.QuadPart >= 0 && Size.QuadPart < (1LL << 30);
  if (Ok) {
    Out.resize(static_cast<size_t>(Size.QuadPart));
    size_t Done = 0;
    while (Ok && Done < Out.size()) {
      DWORD Got = 0;
      DWORD Want = static_cast<DWORD>(std::min<size_t>(Out.size() - Done, 1u << 20));
      Ok = ReadFile(F, Out.data() + Done, Want, &Got, nullptr) && Got > 0;
      Done += Got;
    }
  }
  CloseHandle(F);
  return Ok;
}

bool TacWinSkinHost::WriteWholeFile(const std::u16string& Path, const std::vector<uint8_t>& Data) {
  HANDLE F = CreateFileW(ToWide(Path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (F == INVALID_HANDLE_VALUE) return false;
  size_t Done = 0;
  bool Ok = true;
  while (Ok && Done < Data.size()) {
    DWORD Put = 0;
    DWORD Want = static_cast<DWORD>(std::min<size_t>(Data.size() - Done, 1u << 20));
    Ok = WriteFile(F, Data.data() + Done, Want, &Put, nullptr) && Put > 0;
    Done += Put;
  }
  CloseHandle(F);
  return Ok;
}

std::u16string TacWinSkinHost::ExeDirectory() {
  std::wstring Exe = Application ? Application->ExeName() : L"";
  size_t Slash = Exe.find_last_of(L"\\/");
  return ToU16(Slash == std::wstring::npos ? std::wstring() : Exe.substr(0, Slash + 1));
}

uint32_t TacWinSkinHost::SysColor(int Index) { return GetSysColor(Index); }

int TacWinSkinHost::SizingFrameWidth(int PPI) {
  return GetSystemMetricsForDpi(SM_CXSIZEFRAME, static_cast<UINT>(PPI)) +
         GetSystemMetricsForDpi(SM_CXPADDEDBORDER, static_cast<UINT>(PPI));
}

std::u16string TacWinSkinHost::FromAnsi(const std::string& S) {
  if (S.empty()) return {};
  int N = MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), nullptr, 0);
  std::wstring R(static_cast<size_t>(N), L'\0');
  MultiByteToWideChar(CP_ACP, 0, S.data(), static_cast<int>(S.size()), R.data(), N);
  return ToU16(R);
}

// ---------------------------------------------------------------------------
// Construction and loading

TsSkinManager::TsSkinManager(TComponent* AOwner)
    : TComponent(AOwner),
      TacSkinManagerCore(FHost),
      FInternalSkins(std::make_unique<TacStoredSkinLinks>(InternalSkins, this)) {
  ExtendedBorders = false;
  FActive = true;
  FSysFontScale = ScaleIndexOfPPI(ScreenPPI());
  SkinCommonInfo.SysInactiveBorderColor = static_cast<int32_t>(GetSysColor(COLOR_INACTIVEBORDER));
  FOptions->OnFlagChanged = [this](TacOptionFlag F, bool V) { OptionFlagChanged(F, V); };
  FOptions->OnScaleModeChanging = [this](TacScaleMode M) { SetScaleMode(M); };
  FOptions->OnPixelsPerInchChanging = [this](int V) { SetCustomPPI(V); };
  FFonts->OnChange = [this] { ApplyFontMode(); };
  InternalSkins.OnItemCreated = [this] { FSkinListController->MarkStale(); };
  FThirdParty->OnChange = [this] {
    for (int I = 0; I < ThirdListCount; ++I) FThirdLists[static_cast<size_t>(I)] = SplitLines(FThirdParty->List(I));
  };
  FThirdParty->FillEmpty();
  FThirdParty->OnChange();
  if (!gDefaultManager) {
    gDefaultManager = this;
    FIsDefault = true;
    gScaleMode = FOptions->ScaleMode();
    if (Application && !Designing())
      FMainWindowHook = Application->HookMainWindow([this](TMessage& M) { return MainWindowHook(M); });
  }
  FTimerCheckHot = std::make_unique<TTimer>(nullptr);
  FTimerCheckHot->SetEnabled(false);  // runs while a skin is active
  FTimerCheckHot->SetInterval(100);
  FTimerCheckHot->OnTimer = [this](TObject*) { CheckHot(); };
  if (SkinDirectory.empty()) SkinDirectory = u"c:\\Skins";
}

void TsSkinManager::BeforeDestruction() {
  TComponent::BeforeDestruction();
  // Nothing may tick or paint from a manager on its way out: the timer stops,
  // the skin goes (hook off, windows told) before anything it owns is freed.
  FTimerCheckHot.reset();
  if (FActive && SkinCommonInfo.Active) RemoveSkin();  // tells OnDeactivate
  UnInstallHook();
}

TsSkinManager::~TsSkinManager() {
  FTimerCheckHot.reset();
  UnInstallHook();
  ClearFonts();
  for (HBRUSH& B : FBrushes)
    if (B) {
      DeleteObject(B);
      B = nullptr;
    }
  // The hook calls this manager: it goes whether or not the manager is still the default.
  if (Application && FMainWindowHook) Application->UnhookMainWindow(FMainWindowHook);
  FMainWindowHook = 0;
  if (gDefaultManager == this) {
    gDefaultManager = nullptr;
    gStdDialogs = false;
  }
}

void TsSkinManager::Loaded() {
  TComponent::Loaded();
  if (SkinDirectory.empty()) SkinDirectory = u"c:\\Skins";
  if (FMenuSupport->IcoLineSkin().empty()) FMenuSupport->SetIcoLineSkin(L"ICOLINE");
  FThirdParty->FillEmpty();
  FThirdParty->OnChange();
  bool BecameActive = FActive && !SkinName.empty() && SkinCommonInfo.Active;
  if (FActive && !SkinName.empty()) BroadcastNewSkin(false);
  UpdateStdDialogsFlag();
  if (BecameActive && OnActivate && !Designing()) OnActivate(this);
  if (FOptions->ScaleMode() == smVCL && Application && Application->MainForm())
    FOptions->StorePixelsPerInch(Application->MainForm()->CurrentPPI());
  // Filled by the worker while the program starts; a directory that is not there ends it at once.
  if (!Designing()) FSkinListController->UpdateData(false);
}

void TsSkinManager::SetSkinDirectory(const std::wstring& V) {
  SkinDirectory.assign(V.begin(), V.end());
  FSkinListController->MarkStale();
}

std::wstring TsSkinManager::GetSkinNames(TStringList& sl, bool CreateDataObject, TacSkinTypes SkinType) {
  return FSkinListController->GetSkinNames(sl, CreateDataObject, SkinType);
}

std::wstring TsSkinManager::GetExternalSkinNames(TStringList& sl, bool CreateDataObject, TacSkinTypes) {
  return FSkinListController->GetSkinNames(sl, CreateDataObject, stUnpacked);
}

std::wstring TsSkinManager::GetRandomSkin() {
  TStringList sl;
  GetSkinNames(sl);
  if (sl.Count() == 0) return {};
  const std::u16string& Name = sl.Strings(std::rand() % sl.Count());
  return {Name.begin(), Name.end()};
}

// ---------------------------------------------------------------------------
// Activation

void TsSkinManager::LoadForCurrentDensity() {
  ResetSkinData();
  switch (FOptions->ScaleMode()) {
    case smVCL: {
      CommonSkinData(96);
      int Sys = ScreenPPI();
      if (ScaleIndexOfPPI(Sys) != 0) CommonSkinData(PPIOfScaleIndex(ScaleIndexOfPPI(Sys)));
      break;
    }
    case smCustomPPI: CommonSkinData(FOptions->PixelsPerInch()); break;
    default: CommonSkinData(PPIOfScaleIndex(GetScale())); break;
  }
  FlipImages(ReadsRightToLeft());
  // Once per loaded skin, not per density or per broadcast.
  if (FActive) LoadFonts();
}

bool TsSkinManager::ReadsRightToLeft() const {
  const TControl* Form = Application ? Application->MainForm() : nullptr;
  if (!Form) Form = dynamic_cast<const TControl*>(Owner());
  return Form && Form->BiDiMode() != bdLeftToRight;
}

std::vector<TacSkinData*> TsSkinManager::LoadedData() const {
  std::vector<TacSkinData*> All;
  for (const auto& D : SkinDataArray)
    if (D) All.push_back(D.get());
  return All;
}

void TsSkinManager::FlipImages(bool RTL) {
  if (!FButtonsOptions->AllowRTLSysButtons()) return;
  if (RTL == ((FManagerState & msRTLFlipped) != 0)) return;
  FManagerState ^= msRTLFlipped;
  FlipTitleGlyphs(*this, LoadedData());
}

void TsSkinManager::SetSkinName(const std::wstring& Value) {
  const std::u16string Old = SkinName;
  SkinName = ToU16(Value);
  const bool WasActive = SkinCommonInfo.Active;
  if (!FActive) {
    if (OnSkinListChanged) OnSkinListChanged(this);
    return;
  }
  if (OnBeforeChange) OnBeforeChange(this);
  FManagerState &= ~msRTLFlipped;
  if (OnSkinChanging) {
    bool Allow = true;
    OnSkinChanging(this, Value, Allow);
    if (!Allow) {
      SkinName = Old;
      return;
    }
  }
  FManagerState |= msSkinChanging;
  SkinChanging = true;
  SkinName = NameWithoutAsz(SkinName);
  // The transient states end however loading ends, so the manager is never
  // left "changing".
  auto EndChange = [this] {
    FManagerState &= ~(msSkinChanging | msBroadCasting);
    SkinChanging = false;
  };
  try {
    LoadForCurrentDensity();
  } catch (const std::exception& E) {
    SkinName = Old;
    EndChange();
    FHost.ShowMessage(ToU16(Utf8ToWide(E.what())), TacMsgKind::mkError);
    return;
  }
  try {
    if (!FActive)
      RemoveSkin();
    else if (!FNoAutoUpdate)
      BroadcastNewSkin(false);
    else
      SkinCommonInfo.Active = !SkinDataArray.empty() && SkinDataArray[0] && !SkinDataArray[0]->gd.empty();
  } catch (...) {
    EndChange();
    throw;
  }
  if (!WasActive && SkinCommonInfo.Active && OnActivate && !Designing() && !IsLoading()) OnActivate(this);
  EndChange();
  if (!FNoAutoUpdate && OnAfterChange) OnAfterChange(this);
  if (OnSkinListChanged) OnSkinListChanged(this);
  FSkinListController->SkinChanged();
  UpdateStdDialogsFlag();
}

void TsSkinManager::BroadcastNewSkin(bool Repaint) {
  // A manager that is still being read waits for Loaded.
  if (IsLoading() || (ComponentState() & csReading)) {
    SkinCommonInfo.Active = !SkinDataArray.empty() && SkinDataArray[0] && !SkinDataArray[0]->gd.empty();
    return;
  }
  FManagerState |= msBroadCasting;
  struct TEnd {
    TsSkinManager& M;
    ~TEnd() { M.FManagerState &= ~msBroadCasting; }
  } End{*this};
  if (FIsDefault) FreeGlows();
  SkinCommonInfo.Active = false;
  UpdateBrushes();
  SendToForms(SKC_SKINLOADED, reinterpret_cast<LPARAM>(this));
  SkinCommonInfo.Active = !SkinDataArray.empty() && SkinDataArray[0] && !SkinDataArray[0]->gd.empty();
  if (FIsDefault) InstallHook();
  if (FFonts->MainMode() == fmFromSkin) ApplyFontMode();
  if (Repaint) RepaintForms(true);
  if (FTimerCheckHot) FTimerCheckHot->SetEnabled(true);
}

void TsSkinManager::SetActive(bool Value) {
  if (Value == FActive) {
    if (Value && !SkinCommonInfo.Active && !SkinName.empty() && !IsLoading()) SetSkinName(GetSkinName());
    return;
  }
  if (!Value) {
    if (FIsDefault) gScaleMode = smVCL;
    const bool WasActive = SkinCommonInfo.Active;
    FActive = false;
    if (!IsLoading() && WasActive) {
      RemoveSkin();
    } else {
      ResetSkinData();
      UpdateStdDialogsFlag();
      if (WasActive && OnDeactivate && !Designing()) OnDeactivate(this);
    }
  } else {
    FActive = true;
    if (FIsDefault) gScaleMode = FOptions->ScaleMode();
    if (!IsLoading()) SetSkinName(GetSkinName());
  }
  if (OnSkinListChanged) OnSkinListChanged(this);
}

void TsSkinManager::RemoveSkin() {
  FManagerState |= msSkinRemoving;
  if (FFonts->MainMode() == fmFromSkin && !FDefStoredFontName.empty() && !(Application && Application->Terminated()))
    ChangeAppFont(FDefStoredFontName, false);
  FreeGlows();
  UnInstallHook();
  ResetSkinData();
  SendToForms(SKC_SKINREMOVED, reinterpret_cast<LPARAM>(this));
  MasterBitmap.reset();
  ClearFonts();
  if (FTimerCheckHot) FTimerCheckHot->SetEnabled(false);
  FActiveControl = FActiveGraphControl = nullptr;
  FManagerState &= ~msSkinRemoving;
  if (OnDeactivate && !Designing()) OnDeactivate(this);
  UpdateStdDialogsFlag();
}

void TsSkinManager::SetIsDefault(bool Value) {
  if (!Value) {
    // The default stays while there is one.
    if (gDefaultManager && gDefaultManager != this) FIsDefault = false;
    return;
  }
  if (gDefaultManager == this && FIsDefault) return;
  gDefaultManager = this;
  FIsDefault = true;
  gScaleMode = FOptions->ScaleMode();
  if (IsLoading()) return;
  if (FActive && !SkinName.empty())
    BroadcastNewSkin(true);
  else
    RemoveSkin();
}

void TsSkinManager::UpdateStdDialogsFlag() {
  if (gDefaultManager == this) gStdDialogs = FIsDefault && (FSkinningRules & srStdDialogs) && FActive;
}

void TsSkinManager::SetSkinningRules(TacSkinningRules V) {
  FSkinningRules = V;
  UpdateStdDialogsFlag();
}

std::wstring TsSkinManager::SkinInfo() const {
  if (!FActive || !SkinCommonInfo.Active) return L"N/A";
  wchar_t Buf[32];
  swprintf(Buf, 32, L"%.2f", SkinCommonInfo.Version);
  return Buf;
}

// ---------------------------------------------------------------------------
// Skin data per density

int TsSkinManager::GetScale() const {
  if (Designing()) return 0;
  switch (FOptions->ScaleMode()) {
    case smOldMode:
    case smVCL: return 0;
    case smAuto: return FSysFontScale;
    case smCustomPPI: return ScaleIndexOfPPI(FOptions->PixelsPerInch());
    default: return static_cast<int>(FOptions->ScaleMode());
  }
}

int TsSkinManager::ScaleInt(int Value, int SysScale) const {
  switch (FOptions->ScaleMode()) {
    case smCustomPPI: return Value * FOptions->PixelsPerInch() / 96;
    case smOldMode: return Value;
    default: {
      int Index = SysScale < 0 ? GetScale() : std::min(SysScale, 3);
      return Value * PPIOfScaleIndex(Index) / 96;
    }
  }
}

int TsSkinManager::ScalePPI(int Value, int aPPI) const {
  if (FOptions->ScaleMode() == smOldMode) return 0;
  int PPI = aPPI ? aPPI : FOptions->ScaleMode() == smVCL ? ScreenPPI() : PPIOfScaleIndex(GetScale());
  return Value * PPI / 96;
}

TacSkinData* TsSkinManager::CommonSkinData(int aPPI) {
  if (aPPI <= 0) aPPI = 96;
  const bool VCL = FOptions->ScaleMode() == smVCL && !Designing();
  const int Index = VCL ? ScaleIndexOfPPI(aPPI) : 0;
  const bool Changing = (FManagerState & (msSkinChanging | msBroadCasting)) != 0 || SkinChanging;
  if (!FActive && !Changing) return TacSkinManagerCore::CommonSkinData(aPPI);  // an empty one
  auto FirstHasSections = [this] { return !SkinDataArray.empty() && SkinDataArray[0] && !SkinDataArray[0]->gd.empty(); };
  if (VCL && SkinDataArray.empty()) {
    SkinDataArray.emplace_back(std::make_unique<TacSkinData>(this, 96));
  }
  if (SkinDataArray.size() <= static_cast<size_t>(Index)) SkinDataArray.resize(static_cast<size_t>(Index) + 1);
  auto& Slot = SkinDataArray[static_cast<size_t>(Index)];
  if (!Slot) {
    const int PPI = VCL ? PPIOfScaleIndex(Index) : aPPI;
    // Made empty: whether it is filled now is decided here, not by the data.
    Slot = std::make_unique<TacSkinData>(this, PPI);
    if ((PPI != 96 && FirstHasSections()) || (Changing && Index == 0 && !FirstHasSections())) ReloadSkin(*Slot);
  } else if (Changing && Index == 0 && !FirstHasSections()) {
    ReloadSkin(*Slot);
  }
  return Slot.get();
}

void (*SkinLoadMark)(const char* Name) = nullptr;

bool TsSkinManager::ReloadSkin(TacSkinData& Data) {
  if (!FActive) return false;
  if (SkinLoadMark) SkinLoadMark("skin load");
  struct Done {
    ~Done() {
      if (SkinLoadMark) SkinLoadMark("skin loaded");
    }
  } done;
  if (!TacSkinManagerCore::ReloadSkin(Data)) return false;
  const std::vector<TacSkinData*> All = LoadedData();
  const TacRecolour Settings{FHueOffset, FSaturation, Brightness};
  RecolourSkin(*this, Data, All, Settings);
  // The window shadows are cut from the border image: cut them again from its new colours.
  if (Settings.Any()) Data.CheckShadows();
  // The load decoded the master image afresh; what was mirrored stays mirrored.
  if (FManagerState & msRTLFlipped) {
    FlipTitleGlyphs(*this, All, true);
    FlipTitleGlyphsOwnImages(*this, Data);
  }
  if (OnSkinLoading) OnSkinLoading(this);
  return true;
}

// ---------------------------------------------------------------------------
// Telling the windows

void TsSkinManager::SendToForms(std::uint16_t Command, LPARAM LParam, std::uint16_t Low) {
  if (!Screen) return;
  // A copy: a form may go while it handles the command.
  std::vector<HWND> Targets;
  for (TCustomForm* F : Screen->FormList())
    if (F->HandleAllocated() && !(F->ComponentState() & csDestroying)) Targets.push_back(F->WindowHandle());
  for (HWND Wnd : Targets)
    if (IsWindow(Wnd) && IsOwnProcessWindow(Wnd))
      SendMessageW(Wnd, SKM_COMMAND, SkinCommand(static_cast<TacSkinCommand>(Command), Low), LParam);
}

void TsSkinManager::UpdateSkin(bool Repaint) {
  if (!FActive) return;
  BroadcastNewSkin(Repaint);
}

void TsSkinManager::RepaintForms(bool DoLockForms) {
  if (Designing()) return;
  SendToForms(SKC_STOPANIM, 0);
  if (!Screen) return;
  std::vector<HWND> Targets;
  for (TCustomForm* F : Screen->FormList())
    if (F->HandleAllocated()) Targets.push_back(F->WindowHandle());
  const bool Lock = DoLockForms && !IsLoading();
  for (HWND Wnd : Targets) {
    if (!IsWindow(Wnd)) continue;
    if (Lock) SendMessageW(Wnd, WM_SETREDRAW, FALSE, 0);
    SendMessageW(Wnd, SKM_COMMAND, SkinCommand(SKC_REFRESH), reinterpret_cast<LPARAM>(this));
    if (Lock) {
      SendMessageW(Wnd, WM_SETREDRAW, TRUE, 0);
      RedrawWindow(Wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
  }
}

namespace {

// Every control inside a parent, windowed or not, at any depth: a skinned
// container keeps this command to itself.
void SendToEveryControl(TWinControl* Parent, WPARAM WParam, LPARAM LParam) {
  for (int I = 0; I < Parent->ControlCount(); ++I) {
    TControl* C = Parent->Controls(I);
    if (C->ComponentState() & csDestroying) continue;
    C->Perform(SKM_COMMAND, WParam, LParam);
    if (TWinControl* W = WinControlOf(C)) SendToEveryControl(W, WParam, LParam);
  }
}

}  // namespace

void TsSkinManager::UpdateSkinSection(const std::wstring& SectionName) {
  const std::wstring Upper = ToWide(UpperCase(ToU16(SectionName)));
  const WPARAM Cmd = SkinCommand(SKC_SECTIONCHANGED);
  const auto Name = reinterpret_cast<LPARAM>(Upper.c_str());
  if (!Screen) return;
  // A copy: a form may go while it handles the command.
  const std::vector<TCustomForm*> Forms = Screen->FormList();
  for (TCustomForm* F : Forms) {
    const auto& Now = Screen->FormList();
    if (std::find(Now.begin(), Now.end(), F) == Now.end() || (F->ComponentState() & csDestroying)) continue;
    F->Perform(SKM_COMMAND, Cmd, Name);
    SendToEveryControl(F, Cmd, Name);
  }
}

void TsSkinManager::EndUpdate(bool Repaint, bool AllowAnimation) {
  FNoAutoUpdate = false;
  FSkipAnimationOnce = !AllowAnimation;
  UpdateSkin(Repaint);
  FSkipAnimationOnce = false;
  if (OnAfterChange) OnAfterChange(this);
}

// ---------------------------------------------------------------------------
// Recolouring, borders, options

void TsSkinManager::ReloadRecoloured() {
  if (IsLoading() || !FActive || SkinName.empty()) return;
  SkinChanging = true;
  FManagerState |= msSkinChanging;
  try {
    LoadForCurrentDensity();
  } catch (...) {
    SkinChanging = false;
    FManagerState &= ~msSkinChanging;
    throw;
  }
  SkinChanging = false;
  FManagerState &= ~msSkinChanging;
  BroadcastNewSkin(true);
  if (OnAfterChange) OnAfterChange(this);
}

void TsSkinManager::SetBrightness(int Value) {
  Value = std::clamp(Value, -100, 100);
  if (Value == Brightness) return;
  Brightness = Value;
  ReloadRecoloured();
}

void TsSkinManager::SetHueOffset(int Value) {
  if (Value == FHueOffset) return;
  FHueOffset = Value;
  ReloadRecoloured();
}

void TsSkinManager::SetSaturation(int Value) {
  if (Value == FSaturation) return;
  FSaturation = Value;
  ReloadRecoloured();
}

void TsSkinManager::SetExtendedBorders(bool Value) {
  if (Value == ExtendedBorders) return;
  ExtendedBorders = Value;
  if (!FActive || IsLoading() || Designing()) return;
  FManagerState |= msSkinChanging;
  for (auto& D : SkinDataArray)
    if (D) D->CheckShadows();
  FManagerState &= ~msSkinChanging;
  RepaintForms(true);
}

std::vector<std::wstring> TsSkinManager::GetCommonSections() const { return SplitLines(Utf8ToWide(CommonSections)); }

void TsSkinManager::SetCommonSections(const std::vector<std::wstring>& Lines) {
  std::wstring Text;
  for (const auto& L : Lines) Text += L + L"\r\n";
  CommonSections = WideToUtf8(Text);
}

void TsSkinManager::OptionFlagChanged(TacOptionFlag Flag, bool Value) {
  if (Flag == ofDrawNonClientArea && !IsLoading())
    SendToForms(SKC_DRAWNONCLIENT, static_cast<LPARAM>(Value));
}

void TsSkinManager::SetScaleMode(TacScaleMode Value) {
  const TacScaleMode Old = FOptions->ScaleMode();
  if (Value == Old) return;
  auto Percent = [this](TacScaleMode M) {
    switch (M) {
      case smVCL: return PPIOfScaleIndex(ScaleIndexOfPPI(ScreenPPI())) * 100 / 96;
      case smCustomPPI: return FOptions->PixelsPerInch() * 100 / 96;
      case smAuto: return PPIOfScaleIndex(FSysFontScale) * 100 / 96;
      case smOldMode: return 100;
      default: return PPIOfScaleIndex(static_cast<int>(M)) * 100 / 96;
    }
  };
  if (FIsDefault) gScaleMode = Value;
  if (IsLoading() || Designing()) {
    FOptions->StoreScaleMode(Value);
    return;
  }
  TScaleChangeData D{Old, Value, Percent(Old), Percent(Value), Percent(Old) * 96 / 100, Percent(Value) * 96 / 100};
  FManagerState |= msScaleChanging;
  if (OnScaleModeChange) OnScaleModeChange(this, D);
  FOptions->StoreScaleMode(Value);
  if (Value != smVCL) FOptions->StorePixelsPerInch(D.NewPPI);
  RescaleAll();
  FManagerState &= ~(msScaleChanging | msAnimScaling);
}

void TsSkinManager::SetCustomPPI(int Value) {
  if (FOptions->ScaleMode() != smCustomPPI || IsLoading()) {
    FOptions->StorePixelsPerInch(Value);
    return;
  }
  FOptions->StorePixelsPerInch(Value);
  RescaleAll();
}

void TsSkinManager::RescaleAll() {
  // One update: the skin for the new density, every form scaled, then one repaint.
  const bool Pending = FNoAutoUpdate;
  if (!Pending) BeginUpdate();
  if (FActive && !SkinName.empty()) {
    SkinChanging = true;
    LoadForCurrentDensity();
    SkinChanging = false;
  }
  if (Screen)
    for (TCustomForm* F : Screen->FormList()) UpdateScale(F, 96, 0);
  if (OnScaleChanged) OnScaleChanged(this);
  if (!Pending) EndUpdate(true, false);
}

void TsSkinManager::UpdateScale(TWinControl* Ctrl, int iCurrentPPI, int iNewDPI) {
  if (!Ctrl) return;
  if (FOptions->ScaleMode() == smVCL && (iNewDPI == 0 || iNewDPI == iCurrentPPI)) return;
  int Current = iCurrentPPI;
  if (!iNewDPI) {
    LRESULT Answer = Ctrl->HandleAllocated()
                         ? SendMessageW(Ctrl->WindowHandle(), SKM_COMMAND, SkinCommand(SKC_GETPPI), 0)
                         : 0;
    if (Answer == -1) return;
    Current = Answer ? static_cast<int>(Answer) : 96;
  }
  int Target = iNewDPI ? iNewDPI
               : FOptions->ScaleMode() == smCustomPPI ? FOptions->PixelsPerInch()
                                                       : PPIOfScaleIndex(GetScale());
  if (Target == Current || Target == Ctrl->CurrentPPI()) return;
  FManagerState |= msFormScaling;
  Ctrl->ScaleForPPI(Target);
  if (Ctrl->HandleAllocated())
    SendMessageW(Ctrl->WindowHandle(), SKM_COMMAND, SkinCommand(SKC_SCALECHANGED), static_cast<LPARAM>(Target));
  FManagerState &= ~msFormScaling;
}

// ---------------------------------------------------------------------------
// Fonts

void TsSkinManager::LoadFonts() {
  ClearFonts();
  for (const TacSkinFont& F : CollectSkinFonts()) {
    if (F.Data.empty()) continue;
    DWORD Count = 0;
    HANDLE H = AddFontMemResourceEx(const_cast<uint8_t*>(F.Data.data()), static_cast<DWORD>(F.Data.size()), nullptr,
                                    &Count);
    if (H) FFontHandles.push_back(H);
  }
}

void TsSkinManager::ClearFonts() {
  for (HANDLE H : FFontHandles) RemoveFontMemResourceEx(H);
  FFontHandles.clear();
}

void TsSkinManager::ChangeAppFont(const std::wstring& FontName, bool DoLockForms) {
  if (Designing() || FontName == FCurrentFontName) return;
  FManagerState |= msFontChanging;
  const std::wstring Old = FCurrentFontName;
  if (FDefStoredFontName.empty() && Application && Application->MainForm())
    FDefStoredFontName = Application->MainForm()->Font()->Name();
  FCurrentFontName = FontName;
  (void)DoLockForms;
  SendToForms(SKC_FONTCHANGED, reinterpret_cast<LPARAM>(this));
  if (OnFontChanged) OnFontChanged(this, Old, FontName);
  FManagerState &= ~msFontChanging;
}

void TsSkinManager::ApplyFontMode() {
  if (IsLoading()) return;
  switch (FFonts->MainMode()) {
    case fmDefault:
      if (!FDefStoredFontName.empty()) ChangeAppFont(FDefStoredFontName, true);
      break;
    case fmFromSkin: {
      std::wstring Skin = Utf8ToWide(SkinCommonInfo.MainFont);
      if (!Skin.empty())
        ChangeAppFont(Skin, true);
      else if (!FDefStoredFontName.empty())
        ChangeAppFont(FDefStoredFontName, true);
      break;
    }
    case fmCustom: ChangeAppFont(FFonts->MainFont(), true); break;
  }
}

// ---------------------------------------------------------------------------
// Hooks, brushes, hover

void TsSkinManager::InstallHook() {
  // Once per manager however often its skin is broadcast.
  if (FHookInstalled || Designing()) return;
  if (!gCreationHook) gCreationHook = SetWindowsHookExW(WH_CBT, CreationHook, nullptr, GetCurrentThreadId());
  FHookInstalled = gCreationHook != nullptr;
}

void TsSkinManager::UnInstallHook() {
  if (!FHookInstalled) return;
  FHookInstalled = false;
  if (gCreationHook) {
    UnhookWindowsHookEx(gCreationHook);
    gCreationHook = nullptr;
  }
  if (gHookRemovedHandler) gHookRemovedHandler();
}

void TsSkinManager::UpdateBrushes() {
  for (size_t I = 0; I < FBrushes.size(); ++I) {
    if (FBrushes[I]) DeleteObject(FBrushes[I]);
    FBrushes[I] = CreateSolidBrush(Palette[I] & 0xFFFFFF);
  }
}

void TsSkinManager::ForgetControl(const TControl* C) {
  if (FActiveControl == C) FActiveControl = nullptr;
  if (FActiveGraphControl == C) FActiveGraphControl = nullptr;
}

void TsSkinManager::CheckHot() {
  POINT P;
  if (!GetCursorPos(&P)) return;
  if (auto* W = WinControlOf(FActiveControl)) {
    HWND Under = WindowFromPoint(P);
    if (!W->HandleAllocated() || (Under != W->WindowHandle() && !IsChild(W->WindowHandle(), Under)))
      FActiveControl = nullptr;
  }
  if (TControl* G = FActiveGraphControl) {
    TWinControl* Parent = G->Parent();
    bool Over = false;
    if (Parent && Parent->HandleAllocated() && WindowFromPoint(P) == Parent->WindowHandle()) {
      TPoint L = G->ScreenToClient(TPoint(P.x, P.y));
      Over = L.X >= 0 && L.Y >= 0 && L.X < G->Width() && L.Y < G->Height();
    }
    if (!Over) {
      FActiveGraphControl = nullptr;
      G->Perform(SKM_COMMAND, SkinCommand(SKC_SETACTIVE), reinterpret_cast<LPARAM>(this));
    }
  }
}

// ---------------------------------------------------------------------------
// The application window's messages

bool TsSkinManager::MainWindowHook(TMessage& M) {
  switch (M.Msg) {
    case WM_COPYDATA: {
      // One at a time; one arriving meanwhile is the application's.
      if (FTakingPreview) return false;
      FTakingPreview = true;
      M.Result = TakePreview(reinterpret_cast<const COPYDATASTRUCT*>(M.LParam), M.WParam) ? 1 : 0;
      FTakingPreview = false;
      return true;
    }
    case SKM_COMMAND:
      if (CommandOf(M.WParam) != SKC_APPLYPREVIEW) break;
      ApplyPreview();
      M.Result = 0;
      return true;
    case WM_THEMECHANGED: M.Result = 0; return true;
    case CM_ACTIVATE:
      if (Screen)
        for (TCustomForm* F : Screen->FormList())
          if (F->HandleAllocated()) SendMessageW(F->WindowHandle(), SKM_COMMAND, SkinCommand(SKC_INVALIDATE), 0);
      return false;
    case WM_SYSCOMMAND: {
      const WPARAM Cmd = M.WParam & 0xFFF0;
      FShowAction = Cmd == SC_MINIMIZE ? saMinimize : Cmd == SC_RESTORE ? saRestore : saIgnore;
      break;
    }
    default: break;
  }
  return gAppMessageHandler && gAppMessageHandler(M);
}

bool TsSkinManager::TakePreview(const COPYDATASTRUCT* Data, WPARAM Kind) {
  // Another program's data: only what it really sent is read, and only a
  // record that announces itself is kept.
  if (Kind != kPreviewCopyDataKind || !Data || !IsPreviewRecord(Data->lpData, Data->cbData)) return false;
  FPendingPreview = ReadPreviewRecord(Data->lpData, Data->cbData);
  if (!FPendingPreview) return false;
  if (Application) PostMessageW(Application->Handle(), SKM_COMMAND, SkinCommand(SKC_APPLYPREVIEW), 0);
  return true;
}

void TsSkinManager::ApplyPreview() {
  if (!FPendingPreview) return;
  const TacPreviewRecord R = std::move(*FPendingPreview);
  FPendingPreview.reset();
  BeginUpdate();
  PreviewText = R.Text;
  PreviewPending = true;
  struct TDrop {
    TsSkinManager& M;
    ~TDrop() {
      M.PreviewPending = false;
      M.PreviewText.clear();
    }
  } Drop{*this};
  SkinDirectory = FHost.FromAnsi(R.Dir);
  SetSkinName(ToWide(FHost.FromAnsi(R.Name)));
  EndUpdate(true, false);
}

// ---------------------------------------------------------------------------
// Publishing

void TsSkinManager::PublishProperties(TPublisher& P) {
  using C = TsSkinManager;
  P.Event(L"OnActivate", &C::OnActivate);
  P.Event(L"OnScaleModeChange", &C::OnScaleModeChange);
  P.Set(L"SkinsFilter", &C::SkinsFilter, &C::SetSkinsFilter, {L"sfiInternal", L"sfiExternal"},
        sfiInternal | sfiExternal);
  P.Object(L"Effects", &C::Effects);
  P.Object(L"AnimEffects", &C::AnimEffects);
  P.Object(L"ButtonsOptions", &C::ButtonsOptions);
  P.Bool(L"Active", &C::GetActive, &C::SetActive, true);
  P.Bool(L"ExtendedBorders", &C::ExtendedBordersValue, &C::SetExtendedBorders, false);
  P.Bool(L"IsDefault", &C::IsDefault, &C::SetIsDefault, true);
  P.Bool(L"SkinnedPopups", &C::SkinnedPopups, &C::SetSkinnedPopups, true);
  P.Int(L"Brightness", &C::GetBrightness, &C::SetBrightness, 0);
  P.Int(L"HueOffset", &C::HueOffset, &C::SetHueOffset, 0);
  P.Int(L"Saturation", &C::Saturation, &C::SetSaturation, 0);
  P.Lines(L"CommonSections", &C::GetCommonSections, &C::SetCommonSections);
  P.Collection(L"InternalSkins", &C::GetInternalSkins);
  P.Object(L"LabelsOptions", &C::LabelsOptions);
  P.Object(L"MenuSupport", &C::MenuSupport);
  P.Object(L"Options", &C::Options);
  P.Object(L"Fonts", &C::Fonts);
  P.Object(L"ScrollsOptions", &C::ScrollsOptions);
  P.Str(L"SkinDirectory", &C::GetSkinDirectory, &C::SetSkinDirectory);
  P.Str(L"SkinName", &C::GetSkinName, &C::SetSkinName);
  P.Str(L"SkinInfo", &C::SkinInfo, &C::SetSkinInfo).Stored = [](const TPersistent*) { return false; };
  P.Set(L"SkinningRules", &C::SkinningRules, &C::SetSkinningRules, {L"srStdForms", L"srStdDialogs", L"srThirdParty"},
        srStdForms | srStdDialogs | srThirdParty);
  P.Object(L"ThirdParty", &C::ThirdParty);
  P.Event(L"OnGetMenuExtraLineData", &C::OnGetMenuExtraLineData);
  P.Event(L"OnGetPopupItemData", &C::OnGetPopupItemData);
  P.Event(L"OnSysDlgInit", &C::OnSysDlgInit);
  P.Event(L"OnAfterChange", &C::OnAfterChange);
  P.Event(L"OnBeforeChange", &C::OnBeforeChange);
  P.Event(L"OnDeactivate", &C::OnDeactivate);
  P.Event(L"OnFontChanged", &C::OnFontChanged);
  P.Event(L"OnScaleChanged", &C::OnScaleChanged);
  P.Event(L"OnSkinListChanged", &C::OnSkinListChanged);
  P.Event(L"OnSkinLoading", &C::OnSkinLoading);
  P.Event(L"OnSkinChanging", &C::OnSkinChanging);
}

void ShowVersionBannerIfAsked(const std::vector<std::wstring>& Params) {
  static bool Shown = false;
  for (std::wstring P : Params) {
    CharLowerBuffW(P.data(), static_cast<DWORD>(P.size()));
    if (P == L"/acver" && !Shown) {
      Shown = true;
      MessageBoxW(nullptr, L"Lumiskin v14.31", L"", MB_OK | MB_ICONINFORMATION);
      return;
    }
  }
}

void RegisterSkinManagerClasses() {
  RegisterClasses<TsSkinManager>();
}

}  // namespace cb
