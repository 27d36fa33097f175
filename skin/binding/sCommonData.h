// The binding of a control to a section of the active skin: its cached
// picture, the background its children paint on, hover and update state, and
// the library's command message.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "skin/paint/CacheInfo.h"
#include "skin/paint/DibBitmap.h"
#include "skin/binding/acThdTimer.h"
#include "skin/binding/sMessages.h"
#include "skin/paint/section/sGraphUtils.h"
#include "ui/Controls.h"

namespace cb {

class TsSkinManager;
class TsCommonData;

// Control kinds of the system's owners.
constexpr std::uint8_t COC_TsSlider = 34, COC_TsPanel = 51, COC_TsSpeedButton = 92, COC_TsButton = 93,
                       COC_TsSkinProvider = 224;

// Kind sets that decide behaviour.
bool KindNoHover(std::uint8_t Kind);
bool KindHoverIfAllowed(std::uint8_t Kind);
bool KindBGIgnoresHover(std::uint8_t Kind);
bool KindColorsFollowState(std::uint8_t Kind);
bool KindFrameOnRefresh(std::uint8_t Kind);
bool KindOwnGlow(std::uint8_t Kind);
// The global switch the HoverIfAllowed kinds wait for (off).
extern bool gHoverForStdKinds;

// What a child asks its parent for (command SKC_GETBG).
struct TacBGRequest {
  Bitmap32* Bmp = nullptr;
  std::uint32_t Color = 0;
  POINT Offset{0, 0};
  RECT R{0, 0, 0, 0};
  RECT FillRect{0, 0, 0, 0};
  std::uint8_t BGKind = 0;  // 0 no answer, 1 colour, 2 bitmap, 3 not ready
  std::uint8_t DrawRequested = 0;
  HDC TargetDC = nullptr;
};
constexpr std::uint8_t btUnknown = 0, btFill = 1, btCache = 2, btNotReady = 3;

// What a parent hands its children to paint their outer effects (shadows)
// into (command SKC_PAINTOUTER): its picture and where its client area starts in it.
struct TacOuterRequest {
  Bitmap32* Bmp = nullptr;
  POINT Offset{0, 0};
  int Kind = 2;
};
// Outer effect visibility.
constexpr int ovNone = 0, ovAlways = 1;

TCacheInfo BGInfoToCI(const TacBGRequest& Info);

// CtrlSkinState bits.
constexpr std::uint32_t ACS_PRINTING = 0x200, ACS_LOCKED = 0x800, ACS_FONTCHANGING = 0x2000,
                        ACS_WIDTHCHANGING = 0x8000, ACS_HEIGHTCHANGING = 0x10000;

// Sends a skin command to a window of this process: straight to the
// framework control that owns it, else by SendMessage; 0 for other processes.
LRESULT SendSkinCommand(HWND Wnd, TacSkinCommand Command, LPARAM LParam = 0, std::uint16_t Low = 0);
// Sends a skin command to a control, windowed or not.
LRESULT SendSkinCommand(TControl* Control, TacSkinCommand Command, LPARAM LParam = 0, std::uint16_t Low = 0);
// To each child not being destroyed; windowed children without a binding pass it on.
void BroadcastSkinCommand(TWinControl* Parent, TacSkinCommand Command, LPARAM LParam = 0, std::uint16_t Low = 0);
// The binding a window of this process carries in its "ACSDATA" property.
TsCommonData* CommonDataOfWindow(HWND Wnd);

class TsCommonData : public TPersistent, public ISectionBinding {
  CB_CLASS(TsCommonData, TPersistent)
public:
  // The binding puts itself in front of the owner's message handling.
  TsCommonData(TControl* AOwner, std::uint8_t AKind, bool CreateCacheBmp = true);
  ~TsCommonData() override;

  TControl* OwnerControl() const { return FOwnerControl; }
  std::uint8_t COC;
  TsSkinManager* SkinManager() const;
  void SetSkinManager(TsSkinManager* Value);
  const std::wstring& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const std::wstring& Value);
  // The owner kind's own section, used while SkinSection is empty.
  std::wstring DefaultSection;
  bool GetCustomColor() const { return FCustomColor; }
  void SetCustomColor(bool Value);
  bool CustomFont() const { return FCustomFont; }
  void SetCustomFont(bool Value);

  // The skin data the owner paints with.
  TacSkinData* CommonSkinData();
  void Loaded(bool UpdateColors = true);
  void UpdateIndexes(bool UpdateMain = true);
  bool Skinned(bool CheckSkinActive = false) const;
  HWND OwnerHandle() const;
  void BeginUpdate();
  void EndUpdate(bool Repaint = false);
  bool Updating() const;
  void Invalidate(bool UpdateNow = false);
  int ControlState() const;
  // Makes the cache a DIB of the owner's size.
  void PrepareCacheBmp();
  // The parent's background under the owner.
  void GetParentBG(TCacheInfo& CI);
  void ApplySkinColors(bool Repaint);
  bool RepaintIfMoved();
  // The running state animation (nullptr when none was ever started).
  TacFadeTimer* AnimTimer() const { return FAnimTimer; }
  TacFadeTimer* CreateAnimTimer();
  void TimerGone(const TacFadeTimer* Timer) {
    if (FAnimTimer == Timer) FAnimTimer = nullptr;
  }
  void StopAnimation();
  bool IsAnimating() const;

  // Answers a child's background request.
  void AnswerBGRequest(TacBGRequest& Request);
  // Colour of a state for children.
  std::uint32_t StateColor(int State);
  // The binding's own handling of a message; true when it consumed it.
  bool HandleMessage(TMessage& Message);

  TDibBitmap* CacheBmp() { return FCacheBmp.get(); }
  // Set by a windowless owner whose whole look is one picture of its size:
  // what it shows now, for its parent to copy in place of a paint through a
  // device context; nullptr when it has none to show.
  std::function<TDibBitmap*()> ShownPicture;
  // Called when what the owner's pictures were built from may have changed
  // (skin, section, scale, font, size, the parent's background): an owner
  // that keeps pictures beyond its cache drops them. A change of state alone
  // does not call it.
  std::function<void()> PicturesStale;
  bool BGChanged = true;
  int SkinIndex_ = -1;
  bool FFocused = false, FUpdating = false, FMouseAbove = false, HalfVisible = false, Loading = true;
  std::uint16_t BGType = 0;
  std::uint32_t CtrlSkinState = 0;
  int CurrentPPI = 96;
  int PPIIndex = -1;
  int GlowID = -1;  // the hover glow shown now (acGlow)
  int OuterVisibility = ovNone;
  // The parent's pixels under the outer effect, kept when it was painted.
  Bitmap32 FOuterCache;
  std::uint32_t FColorTone = 0x1FFFFFFF;
  int FHUEOffset = 0, FSaturation = 0;
  HDC PrintDC = nullptr;

  // ISectionBinding
  TacSkinData* SkinData() const override { return const_cast<TsCommonData*>(this)->CommonSkinData(); }
  int SkinIndex() const override { return SkinIndex_; }
  bool CustomColor() const override { return FCustomColor; }
  std::uint32_t OwnerColor() const override;
  std::uint32_t ColorTone() const override { return FColorTone; }
  int HUEOffset() const override { return FHUEOffset; }
  int Saturation() const override { return FSaturation; }
  bool ParentBackground(TCacheInfo& out) override;

private:
  void InitCommonProp();
  void RemoveCommonProp();
  LRESULT HandleCommand(TMessage& Message, bool& Handled);
  void AnnounceChild(HWND Child);
  void PaintOuter(const TacOuterRequest& Request);
  void ResolveSection();
  bool OwnerReady() const;
  bool OwnManager(LPARAM LParam) const;
  void MouseEnter();
  void MouseLeave();
  void ComputeBGType();
  void Stale() {
    if (PicturesStale) PicturesStale();
  }
  bool PaintBuffered();

  TControl* FOwnerControl;
  TsSkinManager* FSkinManager = nullptr;
  // Kept across calls; good only while the manager's data generation is
  // FDataGeneration (a reload frees the data before the windows are told).
  TacSkinData* FCommonSkinData = nullptr;
  std::uint32_t FDataGeneration = 0;
  TacSkinData* KeptSkinData(const TsSkinManager* M) const;
  std::wstring FSkinSection;
  bool FCustomColor = false, FCustomFont = false;
  std::unique_ptr<TDibBitmap> FCacheBmp;
  int FUpdateCount = 0;
  HWND FPropWindow = nullptr;
  TacFadeTimer* FAnimTimer = nullptr;  // owned by the control, freed with the binding
};

// Paints a section into a temporary bitmap and copies it to DC at Rect.
void PaintSectionToDC(int SkinIndex, const TCacheInfo& ParentBG, TacSkinData* SkinData, HDC DC, BmpPoint Offset,
                      const BmpRect& Rect, int State);
// Copies the cache of a windowed owner to DC, children that cover their part cut out.
void PaintCacheToDC(TWinControl* Control, TsCommonData& CommonData, POINT SourceOrigin, bool RestoreFirst, HDC DC,
                    const RECT& ClipRect);
// Paints the windowless children of Control into DC (at Offset) through an
// off-screen picture laid over the control's background.
void PaintWindowlessChildren(HDC DC, TWinControl* Control, POINT Offset);
// Has each visible skinned child of OwnerCtrl paint its outer effect into the
// cache of CommonData (OwnerCtrl's binding); Offset is where OwnerCtrl's client area starts in it.
void PaintOuterEffects(TsCommonData& CommonData, TWinControl* OwnerCtrl, POINT Offset);

}  // namespace cb
