// The skin manager component: owns the active skin, loads it once per density
// in use, tells every window when it changes, and carries the option objects
// that painting, window skinning and the controls read.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acSkinList.h"
#include "acPreviewRecord.h"
#include "sSkinManagerCore.h"
#include "sSkinOptionObjects.h"
#include "sStoredSkinLinks.h"
#include "ui/ExtCtrls.h"

class TControl;
class TWinControl;

namespace cb {

// The platform services of the portable core, answered by Windows.
class TacWinSkinHost : public TacSkinHost {
public:
  void ShowMessage(const std::u16string& text, TacMsgKind kind) override;
  bool FileExists(const std::u16string& path) override;
  bool DirectoryExists(const std::u16string& path) override;
  bool CreateDir(const std::u16string& path) override;
  bool ReadWholeFile(const std::u16string& path, std::vector<uint8_t>& out) override;
  bool WriteWholeFile(const std::u16string& path, const std::vector<uint8_t>& data) override;
  std::u16string ExeDirectory() override;
  uint32_t SysColor(int index) override;
  int SizingFrameWidth(int ppi) override;
  bool CompositionEnabled() override { return true; }  // always on from Windows 8
  std::u16string FromAnsi(const std::string& s) override;
  // Message boxes go here instead when set (tests).
  std::function<void(const std::u16string&, TacMsgKind)> OnShowMessage;
};

// Transient phases of the manager.
using TacManagerState = std::uint32_t;
constexpr TacManagerState msFontChanging = 1, msScaleChanging = 2, msSkinRemoving = 4, msSkinChanging = 8,
                          msBroadCasting = 16, msAnimScaling = 32, msFormScaling = 64, msRTLFlipped = 128;

using TacSkinsFilter = std::uint32_t;
constexpr TacSkinsFilter sfiInternal = 1, sfiExternal = 2;
using TacSkinningRules = std::uint32_t;
constexpr TacSkinningRules srStdForms = 1, srStdDialogs = 2, srThirdParty = 4;

struct TScaleChangeData {
  TacScaleMode OldScaleMode, NewScaleMode;
  int OldScalePercent, NewScalePercent, OldPPI, NewPPI;
};

using TacSkinChangingEvent = std::function<void(TObject* Sender, const std::wstring& NewSkinName, bool& AllowChanging)>;
using TacFontChangedEvent =
    std::function<void(TObject* Sender, const std::wstring& DefOldFontName, const std::wstring& FontName)>;
using TacScaleModeChangeEvent = std::function<void(TObject* Sender, TScaleChangeData& Data)>;

class TsSkinManager;

// The manager every skinned window consults (the first one made).
TsSkinManager* DefaultManager();
// The library-wide scale mode (the default manager's).
TacScaleMode LibraryScaleMode();
// Removes every hover glow; the glows register it (they live with the controls' code).
void SetGlowsFreer(void (*Freer)());
// Whether system dialogs may be skinned now.
bool StdDialogsSkinned();

// The thread hook through which new windows are skinned; window skinning
// registers what it does with the creation notices.
using TacCreationHookHandler = std::function<void(int Code, WPARAM WParam, LPARAM LParam)>;
void SetCreationHookHandler(TacCreationHookHandler Handler);
// What window skinning does with the application window's messages that
// drive form animations, the system menu and menu borders (minimising and
// restoring, the task bar's menu, thumbnails, the private menu messages);
// true when handled.
using TacAppMessageHandler = std::function<bool(TMessage& Message)>;
void SetAppMessageHandler(TacAppMessageHandler Handler);

// The WM_COPYDATA kind of a skin editor's preview record (acPreviewRecord.h).
constexpr WPARAM kPreviewCopyDataKind = 7;

// How the last system command asked to show the program.
enum TacShowAction { saIgnore, saMinimize, saRestore };
// Called once the hook is off (the skin deactivated or the manager going), so
// window skinning can let go of what it attached.
void SetCreationHookRemovedHandler(std::function<void()> Handler);

namespace detail {
// Runs the core's constructor on a host that lives as long as the manager.
struct TacHostHolder {
  TacWinSkinHost FHost;
};
}  // namespace detail

class TsSkinManager : private detail::TacHostHolder, public TComponent, public TacSkinManagerCore {
  CB_CLASS(TsSkinManager, TComponent)
public:
  explicit TsSkinManager(TComponent* AOwner);
  ~TsSkinManager() override;
  void BeforeDestruction() override;

  TacWinSkinHost& WinHost() { return FHost; }

  // Published values.
  TacSkinsFilter SkinsFilter() const { return FSkinsFilter; }
  void SetSkinsFilter(TacSkinsFilter V) { FSkinsFilter = V; }
  TacSkinEffects* Effects() const { return FEffects.get(); }
  TacAnimEffects* AnimEffects() const { return FAnimEffects.get(); }
  TacButtonsSupport* ButtonsOptions() const { return FButtonsOptions.get(); }
  bool GetActive() const { return FActive; }
  void SetActive(bool Value);
  bool ExtendedBordersValue() const { return ExtendedBorders; }
  void SetExtendedBorders(bool Value);
  bool IsDefault() const { return FIsDefault; }
  void SetIsDefault(bool Value);
  bool SkinnedPopups() const { return FSkinnedPopups; }
  void SetSkinnedPopups(bool V) { FSkinnedPopups = V; }
  int GetBrightness() const { return Brightness; }
  void SetBrightness(int Value);
  int HueOffset() const { return FHueOffset; }
  void SetHueOffset(int Value);
  int Saturation() const { return FSaturation; }
  void SetSaturation(int Value);
  std::vector<std::wstring> GetCommonSections() const;
  void SetCommonSections(const std::vector<std::wstring>& Lines);
  TacStoredSkinLinks* GetInternalSkins() const { return FInternalSkins.get(); }
  TacLabelsSupport* LabelsOptions() const { return FLabelsOptions.get(); }
  TacMenuSupport* MenuSupport() const { return FMenuSupport.get(); }
  TacOptions* Options() const { return FOptions.get(); }
  TacFonts* Fonts() const { return FFonts.get(); }
  TacScrollBarsSupport* ScrollsOptions() const { return FScrollsOptions.get(); }
  std::wstring GetSkinDirectory() const { return {SkinDirectory.begin(), SkinDirectory.end()}; }
  void SetSkinDirectory(const std::wstring& V);
  std::wstring GetSkinName() const { return {SkinName.begin(), SkinName.end()}; }
  void SetSkinName(const std::wstring& Value);
  // "14.01" while a skin is active, "N/A" otherwise.
  std::wstring SkinInfo() const;
  void SetSkinInfo(const std::wstring&) {}  // read only
  TacSkinningRules SkinningRules() const { return FSkinningRules; }
  void SetSkinningRules(TacSkinningRules V);
  TsThirdPartyList* ThirdParty() const { return FThirdParty.get(); }
  // Each list of ThirdParty, one class name per entry (exact case).
  const std::vector<std::wstring>& ThirdLists(int Index) const { return FThirdLists[static_cast<size_t>(Index)]; }
  static std::wstring Version() { return L"14.31"; }

  TNotifyEvent OnActivate, OnAfterChange, OnBeforeChange, OnDeactivate, OnScaleChanged, OnSkinListChanged,
      OnSkinLoading, OnGetMenuExtraLineData, OnGetPopupItemData, OnSysDlgInit;
  TacScaleModeChangeEvent OnScaleModeChange;
  TacFontChangedEvent OnFontChanged;
  TacSkinChangingEvent OnSkinChanging;

  static void PublishProperties(TPublisher& P);

  // Run-time state.
  TacManagerState ManagerState() const { return FManagerState; }
  bool NoAutoUpdate() const { return FNoAutoUpdate; }
  int SysFontScale() const { return FSysFontScale; }
  TControl* ActiveControl() const { return FActiveControl; }
  TControl* ActiveGraphControl() const { return FActiveGraphControl; }
  // The control under the pointer (the binding marks it); a control that goes
  // clears itself here.
  void SetActiveControl(TControl* C) { FActiveControl = C; }
  void SetActiveGraphControl(TControl* C) { FActiveGraphControl = C; }
  void ForgetControl(const TControl* C);
  bool GlobalHookInstalled() const { return FHookInstalled; }
  const TTimer* TimerCheckHot() const { return FTimerCheckHot.get(); }
  // Brushes of the first six palette colours (class backgrounds).
  HBRUSH Brush(int Index) const { return FBrushes[static_cast<size_t>(Index)]; }

  void UpdateSkin(bool Repaint = false);
  void RepaintForms(bool DoLockForms = true);
  void UpdateSkinSection(const std::wstring& SectionName);
  void BeginUpdate() { FNoAutoUpdate = true; }
  void EndUpdate(bool Repaint = false, bool AllowAnimation = true);
  // The skin data of a density, created and loaded on demand.
  TacSkinData* CommonSkinData(int aPPI = 96);
  // Fills one skin data; false when there is no skin.
  bool ReloadSkin(TacSkinData& Data);
  int GetScale() const;
  int ScaleInt(int Value, int SysScale = -1) const;
  int ScalePPI(int Value, int aPPI = 0) const;
  void ChangeAppFont(const std::wstring& FontName, bool DoLockForms = true);
  std::wstring CurrentFontName() const { return FCurrentFontName; }
  void InstallHook();
  void UnInstallHook();
  // Scales a form to a new density (0: the one the manager's mode gives).
  void UpdateScale(TWinControl* Ctrl, int iCurrentPPI = 0, int iNewDPI = 0);
  // Mirrors the title glyphs for right-to-left programs, or back.
  void FlipImages(bool RTL);
  // Set by the application window's WM_SYSCOMMAND.
  TacShowAction ShowAction() const { return FShowAction; }
  // The skins this manager can offer, with their previews.
  TacSkinListController& SkinListController() { return *FSkinListController; }
  std::wstring GetSkinNames(TStringList& sl, bool CreateDataObject = false, TacSkinTypes SkinType = stAllSkins);
  std::wstring GetExternalSkinNames(TStringList& sl, bool CreateDataObject = false, TacSkinTypes SkinType = stAllSkins);
  std::wstring GetRandomSkin();
  // Number of private fonts the loaded skin brought.
  int EmbeddedFontCount() const { return static_cast<int>(FFontHandles.size()); }

protected:
  void Loaded() override;

private:
  friend class TacSkinListController;
  void LoadForCurrentDensity();
  bool ReadsRightToLeft() const;
  std::vector<TacSkinData*> LoadedData() const;
  void BroadcastNewSkin(bool Repaint);
  void RemoveSkin();
  void SendToForms(std::uint16_t Command, LPARAM LParam, std::uint16_t Low = 0);
  void UpdateStdDialogsFlag();
  void ReloadRecoloured();
  void LoadFonts();
  void ClearFonts();
  void UpdateBrushes();
  void CheckHot();
  void ApplyFontMode();
  void SetScaleMode(TacScaleMode Value);
  void SetCustomPPI(int Value);
  void RescaleAll();
  void OptionFlagChanged(TacOptionFlag Flag, bool Value);
  bool MainWindowHook(TMessage& Message);
  bool TakePreview(const COPYDATASTRUCT* Data, WPARAM Kind);
  void ApplyPreview();
  bool Designing() const { return (ComponentState() & csDesigning) != 0; }
  bool IsLoading() const { return (ComponentState() & csLoading) != 0; }

  TacSkinsFilter FSkinsFilter = sfiInternal | sfiExternal;
  std::unique_ptr<TacSkinEffects> FEffects = std::make_unique<TacSkinEffects>();
  std::unique_ptr<TacAnimEffects> FAnimEffects = std::make_unique<TacAnimEffects>();
  std::unique_ptr<TacButtonsSupport> FButtonsOptions = std::make_unique<TacButtonsSupport>();
  bool FIsDefault = false;
  bool FSkinnedPopups = true;
  int FHueOffset = 0, FSaturation = 0;
  std::unique_ptr<TacStoredSkinLinks> FInternalSkins;
  std::unique_ptr<TacLabelsSupport> FLabelsOptions = std::make_unique<TacLabelsSupport>();
  std::unique_ptr<TacMenuSupport> FMenuSupport = std::make_unique<TacMenuSupport>();
  std::unique_ptr<TacOptions> FOptions = std::make_unique<TacOptions>();
  std::unique_ptr<TacFonts> FFonts = std::make_unique<TacFonts>();
  std::unique_ptr<TacScrollBarsSupport> FScrollsOptions = std::make_unique<TacScrollBarsSupport>();
  TacSkinningRules FSkinningRules = srStdForms | srStdDialogs | srThirdParty;
  std::unique_ptr<TsThirdPartyList> FThirdParty = std::make_unique<TsThirdPartyList>();
  std::array<std::vector<std::wstring>, ThirdListCount> FThirdLists;

  TacManagerState FManagerState = 0;
  bool FNoAutoUpdate = false;
  bool FSkipAnimationOnce = false;
  int FSysFontScale = 0;
  TControl* FActiveControl = nullptr;
  TControl* FActiveGraphControl = nullptr;
  bool FHookInstalled = false;
  int FMainWindowHook = 0;
  std::unique_ptr<TTimer> FTimerCheckHot;
  std::array<HBRUSH, 6> FBrushes{};
  std::vector<HANDLE> FFontHandles;
  std::wstring FDefStoredFontName, FCurrentFontName;
  TacShowAction FShowAction = saIgnore;
  std::optional<TacPreviewRecord> FPendingPreview;
  bool FTakingPreview = false;
  std::unique_ptr<TacSkinListController> FSkinListController = std::make_unique<TacSkinListController>(this);
};

// At start-up, before any form: "/acver" among the parameters (any case)
// shows the library's version once.
void ShowVersionBannerIfAsked(const std::vector<std::wstring>& Params);

// Called, when set, as a skin load begins and ends (the start-up breakdown of bench/startup).
extern void (*SkinLoadMark)(const char* Name);
// Registers the manager's classes for form descriptions.
void RegisterSkinManagerClasses();

}  // namespace cb
