// The skins a manager can offer to skin-selection controls: its internal
// skins and the packed files of its skin directory, each with a preview.
// A worker fills the list in small steps so that start-up is not held up;
// every step runs on the GUI thread, so the list is only ever used there.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/StringList.h"
#include "skin/paint/Bitmap32.h"
#include "ui/Threads.h"

class TControl;

namespace cb {

class TsSkinManager;
class TacSkinListController;

enum TacSkinMode { smInternal, smExtPacked, smExtUnpacked };
enum TacSkinTypes { stUnpacked, stPacked, stAllSkins };

struct TacSkinListData {
  TacSkinMode skSkinMode = smInternal;
  int skImageIndex = -1;
  std::wstring skName;
};

inline constexpr int kSkinPreviewWidth = 140, kSkinPreviewHeight = 100;

// What a worker and its controller share. The worker is freed when it ends,
// whenever that is; the controller may go first. Neither holds the other:
// Owner is set and cleared on the GUI thread only, where the steps run.
struct TacAddThreadLink {
  TacSkinListController* Owner = nullptr;
  std::atomic<bool> Terminated{false};
};

class TacAddThread : public TThread {
public:
  explicit TacAddThread(std::shared_ptr<TacAddThreadLink> Link);
  ~TacAddThread() override;
  // Workers not yet freed, all controllers together.
  static int LiveCount() { return FLive.load(); }

protected:
  void Execute() override;

private:
  std::shared_ptr<TacAddThreadLink> FLink;
  HANDLE FEvent;  // never set: the wait is the 12 ms step timer
  static std::atomic<int> FLive;
};

class TacSkinListController {
public:
  explicit TacSkinListController(TsSkinManager* Manager);
  ~TacSkinListController();
  TacSkinListController(const TacSkinListController&) = delete;
  TacSkinListController& operator=(const TacSkinListController&) = delete;

  TsSkinManager* SkinManager;
  std::wstring sPath;
  std::vector<TacSkinListData> SkinList;
  std::vector<Bitmap32> Images;  // previews, kSkinPreviewWidth x kSkinPreviewHeight
  std::vector<TControl*> Controls;
  bool UpdateNeeded = true;
  int CurrentInternalIndex = 0;

  bool UpdateData(bool UpdateNow);
  void UpdateIfNeeded(bool ForceUpdating);
  void AddControl(TControl* Ctrl);
  void DelControl(TControl* Ctrl);
  // Completes the list at once when the worker is still adding.
  void CheckThread();
  bool WorkerRunning() const { return FWorker != nullptr; }
  // The list is stale: a worker still adding stops.
  void MarkStale();
  // Tells the registered controls that the current skin changed.
  void SkinChanged();

  // sl gets the names (with CreateDataObject each carries its preview's
  // index, see SkinImageIndexOf); the result is the first name or empty.
  std::wstring GetSkinNames(TStringList& sl, bool CreateDataObject, TacSkinTypes SkinType);

private:
  friend class TacAddThread;
  void Step();
  void AddSkin(const std::wstring& AName, int IntIndex);
  bool AddNextInternal();
  // False once the directory has nothing more (or cannot be searched).
  bool AddNextEntry();
  void CloseSearch();
  void Finish();
  void StartWorker();
  void StopWorker();
  void WorkerEnded(const TacAddThreadLink* Link);
  bool InternalAllowed() const;
  bool ExternalAllowed() const;
  bool CopyFromDefault();
  void TellControls(int Command);

  std::shared_ptr<TacAddThreadLink> FWorker;
  HANDLE FSearch = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW FFound{};
  bool FSearchPending = false;  // FFound holds an entry not yet taken
  bool FSearchDone = false;
};

// The preview index a name of GetSkinNames carries, -1 without one.
inline int SkinImageIndexOf(const TStringList& sl, int Index) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(sl.Objects(Index))) - 1;
}

}  // namespace cb
