#include "acSkinList.h"

#include <algorithm>
#include <cstdlib>

#include "acSkinArchive.h"
#include "base/Strings.h"
#include "sSkinManager.h"
#include "skin/binding/sMessages.h"
#include "skin/paint/ImageDecoders.h"
#include "skin/paint/Resample.h"
#include "ui/Controls.h"
#include "ui/Forms.h"

namespace cb {

namespace {

constexpr DWORD kStepMs = 12;

bool EndsWithAsz(const std::wstring& Name) {
  return Name.size() > 4 && Name.compare(Name.size() - 4, 4, L".asz") == 0;
}

// A preview the list can show: the image decoded and brought to the list's size.
bool PreviewImage(const TMemoryStream& Png, Bitmap32& Out) {
  try {
    TDecodedImage D = DecodePng(Png.Bytes().data(), Png.Bytes().size());
    if (D.Bmp.Width() == kSkinPreviewWidth && D.Bmp.Height() == kSkinPreviewHeight) {
      Out = std::move(D.Bmp);
      return true;
    }
    return Resample(D.Bmp, Out, BmpSize(kSkinPreviewWidth, kSkinPreviewHeight), 0);
  } catch (const EImageError&) {
    return false;  // a skin with a broken preview is listed without one
  }
}

}  // namespace

std::atomic<int> TacAddThread::FLive{0};

TacAddThread::TacAddThread(std::shared_ptr<TacAddThreadLink> Link)
    : TThread(true), FLink(std::move(Link)), FEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  ++FLive;
  SetFreeOnTerminate(true);
}

TacAddThread::~TacAddThread() {
  if (FEvent) CloseHandle(FEvent);
  --FLive;
}

void TacAddThread::Execute() {
  const std::shared_ptr<TacAddThreadLink> Link = FLink;
  while (!Terminated() && !Link->Terminated && WaitForSingleObject(FEvent, kStepMs) == WAIT_TIMEOUT) {
    Synchronize([Link] {
      if (Application && Application->Terminated()) Link->Terminated = true;
      if (!Link->Terminated && Link->Owner) Link->Owner->Step();
    });
  }
  // The controller forgets its worker (when the application is gone this does not run; nothing is left to tell).
  Synchronize([Link] {
    if (Link->Owner) Link->Owner->WorkerEnded(Link.get());
  });
}

TacSkinListController::TacSkinListController(TsSkinManager* Manager) : SkinManager(Manager) {}

TacSkinListController::~TacSkinListController() {
  StopWorker();
  CloseSearch();
}

bool TacSkinListController::InternalAllowed() const {
  return (SkinManager->SkinsFilter() & sfiInternal) != 0;
}
bool TacSkinListController::ExternalAllowed() const {
  return (SkinManager->SkinsFilter() & sfiExternal) != 0;
}

void TacSkinListController::StopWorker() {
  if (!FWorker) return;
  FWorker->Terminated = true;
  FWorker->Owner = nullptr;
  FWorker.reset();
}

void TacSkinListController::WorkerEnded(const TacAddThreadLink* Link) {
  if (FWorker.get() == Link) FWorker.reset();
}

void TacSkinListController::MarkStale() {
  StopWorker();
  UpdateNeeded = true;
}

void TacSkinListController::StartWorker() {
  StopWorker();
  FWorker = std::make_shared<TacAddThreadLink>();
  FWorker->Owner = this;
  auto* T = new TacAddThread(FWorker);
  SetThreadPriority(T->Handle(), THREAD_PRIORITY_BELOW_NORMAL);
  T->Start();
  SkinManager->SendToForms(SKC_SKINLISTLOADING, 1);
}

void TacSkinListController::CloseSearch() {
  if (FSearch != INVALID_HANDLE_VALUE) FindClose(FSearch);
  FSearch = INVALID_HANDLE_VALUE;
  FSearchPending = false;
}

void TacSkinListController::AddSkin(const std::wstring& AName, int IntIndex) {
  SkinList.push_back({IntIndex < 0 ? smExtPacked : smInternal, -1, AName});
  TacSkinListData& Item = SkinList.back();
  TMemoryStream Png;
  bool Found;
  if (IntIndex < 0) {
    Item.skName = EndsWithAsz(AName) ? AName.substr(0, AName.size() - 4) : AName;
    const std::wstring File = sPath + AName;
    Found = ExtractSkinPreview(Png, std::u16string(File.begin(), File.end()), SkinManager->WinHost());
  } else {
    Found = ExtractSkinPreview(Png, SkinManager->InternalSkins.Items(IntIndex).PackedData);
  }
  Bitmap32 Image;
  if (Found && PreviewImage(Png, Image)) {
    Images.push_back(std::move(Image));
    Item.skImageIndex = static_cast<int>(Images.size()) - 1;
  }
}

bool TacSkinListController::AddNextInternal() {
  if (!InternalAllowed() || CurrentInternalIndex >= SkinManager->InternalSkins.Count()) return false;
  const std::u16string& Name = SkinManager->InternalSkins.Items(CurrentInternalIndex).Name;
  AddSkin(std::wstring(Name.begin(), Name.end()), CurrentInternalIndex);
  ++CurrentInternalIndex;
  return true;
}

bool TacSkinListController::AddNextEntry() {
  if (FSearchDone) return false;
  if (FSearch == INVALID_HANDLE_VALUE) {
    // A directory that cannot be searched has nothing to add: the worker must not retry it forever.
    FSearch = FindFirstFileW((sPath + L"*").c_str(), &FFound);
    FSearchPending = FSearch != INVALID_HANDLE_VALUE;
  } else {
    FSearchPending = FindNextFileW(FSearch, &FFound) != 0;
  }
  if (!FSearchPending) {
    CloseSearch();
    FSearchDone = true;
    return false;
  }
  const std::wstring Name = FFound.cFileName;
  if (!(FFound.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !Name.empty() && Name[0] != L'.' && EndsWithAsz(Name))
    AddSkin(Name, -1);
  return true;
}

void TacSkinListController::Step() {
  if (AddNextInternal()) return;
  if (ExternalAllowed() && AddNextEntry()) return;
  // Exhausted: the worker ends after this step.
  FWorker->Terminated = true;
  FWorker->Owner = nullptr;
  FWorker.reset();
  UpdateNeeded = false;
  TellControls(SKC_SKINLISTCHANGED);
}

void TacSkinListController::Finish() {
  while (AddNextInternal()) {
  }
  while (ExternalAllowed() && AddNextEntry()) {
  }
  UpdateNeeded = false;
}

void TacSkinListController::CheckThread() {
  if (!FWorker) return;
  StopWorker();
  Finish();
  SkinManager->SendToForms(SKC_SKINLISTLOADING, 0);
  TellControls(SKC_SKINLISTCHANGED);
}

bool TacSkinListController::CopyFromDefault() {
  TsSkinManager* D = DefaultManager();
  if (!D || D == SkinManager || !SameText(D->SkinDirectory, SkinManager->SkinDirectory)) return false;
  TacSkinListController& From = D->SkinListController();
  From.CheckThread();
  SkinList = From.SkinList;
  Images.clear();
  for (const Bitmap32& B : From.Images) Images.push_back(B.Clone());
  return true;
}

bool TacSkinListController::UpdateData(bool UpdateNow) {
  if (SkinManager->ComponentState() & (csLoading | csDestroying)) return false;
  StopWorker();
  CloseSearch();
  SkinList.clear();
  Images.clear();
  CurrentInternalIndex = 0;
  FSearchDone = !ExternalAllowed();
  if (CopyFromDefault()) return true;
  bool NeedWorker = false;
  if (InternalAllowed() && SkinManager->InternalSkins.Count() > 0) {
    if (UpdateNow)
      while (AddNextInternal()) {
      }
    else
      NeedWorker = true;
  }
  if (ExternalAllowed()) {
    const std::u16string Dir = SkinManager->GetFullSkinDirectory();
    sPath.assign(Dir.begin(), Dir.end());
    if (!sPath.empty() && sPath.back() != L'\\') sPath += L'\\';
    if (UpdateNow)
      while (AddNextEntry()) {
      }
    else
      NeedWorker = true;
  }
  if (NeedWorker) {
    StartWorker();
  } else {
    UpdateNeeded = false;
    TellControls(SKC_SKINLISTCHANGED);
  }
  return true;
}

void TacSkinListController::UpdateIfNeeded(bool ForceUpdating) {
  if (UpdateNeeded && UpdateData(ForceUpdating) && !FWorker) UpdateNeeded = false;
}

void TacSkinListController::AddControl(TControl* Ctrl) {
  if (std::find(Controls.begin(), Controls.end(), Ctrl) == Controls.end()) Controls.push_back(Ctrl);
  Ctrl->Perform(SKM_COMMAND, SkinCommand(SKC_SKINLISTCHANGED), reinterpret_cast<LPARAM>(SkinManager));
}

void TacSkinListController::DelControl(TControl* Ctrl) {
  Controls.erase(std::remove(Controls.begin(), Controls.end(), Ctrl), Controls.end());
}

void TacSkinListController::TellControls(int Command) {
  const std::vector<TControl*> Targets = Controls;  // a control may go while it handles it
  for (TControl* C : Targets) {
    if (std::find(Controls.begin(), Controls.end(), C) == Controls.end()) continue;
    auto* W = dynamic_cast<TWinControl*>(C);
    if (Command == SKC_SKINCHANGED && W && W->HandleAllocated())
      PostMessageW(W->WindowHandle(), SKM_COMMAND, SkinCommand(SKC_SKINCHANGED), reinterpret_cast<LPARAM>(SkinManager));
    else
      C->Perform(SKM_COMMAND, SkinCommand(static_cast<TacSkinCommand>(Command)), reinterpret_cast<LPARAM>(SkinManager));
  }
}

void TacSkinListController::SkinChanged() { TellControls(SKC_SKINCHANGED); }

std::wstring TacSkinListController::GetSkinNames(TStringList& sl, bool CreateDataObject, TacSkinTypes SkinType) {
  CheckThread();
  UpdateIfNeeded(true);
  sl.Clear();
  for (const TacSkinListData& Item : SkinList) {
    const bool Internal = Item.skSkinMode == smInternal;
    if ((SkinType == stPacked && !Internal) || (SkinType == stUnpacked && Internal)) continue;
    const std::u16string Name(Item.skName.begin(), Item.skName.end());
    if (CreateDataObject)
      sl.AddObject(Name, reinterpret_cast<void*>(static_cast<std::intptr_t>(Item.skImageIndex) + 1));
    else
      sl.Add(Name);
  }
  if (sl.Count() == 0) return {};
  const std::u16string First = sl.Strings(0);
  return {First.begin(), First.end()};
}

}  // namespace cb
