#include "ui/Classes.h"

#include <algorithm>
#include <mutex>

#include "ui/Threads.h"
#include "ui/UiText.h"

namespace {

bool SameName(std::wstring_view A, std::wstring_view B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    wchar_t a = A[i], b = B[i];
    if (a >= L'A' && a <= L'Z') a = wchar_t(a + 32);
    if (b >= L'A' && b <= L'Z') b = wchar_t(b + 32);
    if (a != b) return false;
  }
  return true;
}

std::map<std::wstring, const TClassInfo*>& Registry() {
  // Never destroyed: forms are freed while static objects go, and still use it.
  static auto* R = new std::map<std::wstring, const TClassInfo*>;
  return *R;
}
std::mutex& RegistryLock() {
  // Never destroyed: forms are freed while static objects go, and still use it.
  static auto* M = new std::mutex;
  return *M;
}

bool IsIdent(std::wstring_view S) {
  if (S.empty()) return false;
  for (size_t i = 0; i < S.size(); ++i) {
    wchar_t c = S[i];
    bool Alpha = (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_';
    bool Digit = c >= L'0' && c <= L'9';
    if (!(Alpha || (i > 0 && Digit))) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

bool TClassInfo::InheritsFrom(const TClassInfo& Other) const {
  for (const TClassInfo* C = this; C; C = C->Parent)
    if (C == &Other) return true;
  return false;
}

const TPropInfo* TClassInfo::FindProp(std::wstring_view PropName) const {
  // Descendants may republish a name; the most derived one wins.
  for (const TClassInfo* C = this; C; C = C->Parent)
    for (const TPropInfo& P : C->Props)
      if (SameName(P.Name, PropName)) return &P;
  return nullptr;
}

void TClassInfo::ForEachProp(const std::function<void(const TPropInfo&)>& Proc) const {
  std::vector<const TClassInfo*> Chain;
  for (const TClassInfo* C = this; C; C = C->Parent) Chain.push_back(C);
  std::vector<std::wstring> Seen;
  for (auto It = Chain.rbegin(); It != Chain.rend(); ++It)
    for (const TPropInfo& P : (*It)->Props) {
      // A republished property keeps its first place but the latest description.
      if (std::any_of(Seen.begin(), Seen.end(), [&](const std::wstring& S) { return SameName(S, P.Name); }))
        continue;
      Seen.push_back(P.Name);
      Proc(*FindProp(P.Name));
    }
}

void RegisterClassInfo(const TClassInfo& Info) {
  std::lock_guard<std::mutex> L(RegistryLock());
  Registry()[TComponent::FoldName(Info.Name)] = &Info;
}

const TClassInfo* FindClassInfo(std::wstring_view ClassName) {
  std::lock_guard<std::mutex> L(RegistryLock());
  auto It = Registry().find(TComponent::FoldName(ClassName));
  return It == Registry().end() ? nullptr : It->second;
}

const TClassInfo& TObject::StaticClassInfo() {
  static const TClassInfo Info = [] {
    TClassInfo I;
    I.Name = L"TObject";
    return I;
  }();
  return Info;
}

TPropInfo& TPublisher::Add(const wchar_t* Name, TPropKind Kind) {
  TPropInfo& P = FInfo.Props.emplace_back();
  P.Name = Name;
  P.Kind = Kind;
  return P;
}

// ---------------------------------------------------------------------------

void TObject::operator delete(TObject* Object, std::destroying_delete_t) {
  Object->BeforeDestruction();
  void* Memory = dynamic_cast<void*>(Object);
  Object->~TObject();
  ::operator delete(Memory);
}

// ---------------------------------------------------------------------------

void TPersistent::Assign(const TPersistent* Source) {
  std::string Msg = "Cannot assign a " + (Source ? WideToUtf8(Source->ClassName()) : std::string("nil")) +
                    " to a " + WideToUtf8(ClassName());
  throw EConvertError(Msg);
}

void TPersistent::DefineProperties(TFiler&) {}

// ---------------------------------------------------------------------------

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

void TComponent::BeforeDestruction() { FComponentState |= csDestroying; }

TComponent::~TComponent() {
  FComponentState |= csDestroying;
  // Steps queued for this component by worker threads must not run any more.
  TThread::RemoveQueuedEvents(this);
  // Whoever keeps a link to this component hears of its end first.
  std::vector<TComponent*> Linked;
  Linked.swap(FFreeNotifies);
  for (TComponent* C : Linked) {
    C->FFreeNotifies.erase(std::remove(C->FFreeNotifies.begin(), C->FFreeNotifies.end(), this),
                           C->FFreeNotifies.end());
    C->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount()) throw EComponentError("Component index out of range");
  return FComponents[static_cast<size_t>(Index)];
}

int TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto& L = FOwner->FComponents;
  auto It = std::find(L.begin(), L.end(), this);
  return It == L.end() ? -1 : static_cast<int>(It - L.begin());
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this) return;
  if (!AComponent->FName.empty() && FindComponent(AComponent->FName))
    throw EComponentError("A component named " + WideToUtf8(AComponent->FName) + " already exists");
  if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  NotifyAll(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  auto It = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (It == FComponents.end()) return;
  // Siblings drop references while the component is still whole enough to ask.
  NotifyAll(AComponent, opRemove);
  It = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (It != FComponents.end()) FComponents.erase(It);
  AComponent->FOwner = nullptr;
}

void TComponent::NotifyAll(TComponent* AComponent, TOperation Operation) {
  Notification(AComponent, Operation);
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* C = FComponents.back();
    // Leave the list before the destructor runs so re-entrant lookups never see it.
    FComponents.pop_back();
    C->FOwner = nullptr;
    Notification(C, opRemove);
    delete C;
  }
}

void TComponent::SetName(const std::wstring& NewName) {
  if (NewName == FName) return;
  if (!NewName.empty() && !IsIdent(NewName))
    throw EComponentError("\"" + WideToUtf8(NewName) + "\" is not a valid component name");
  if (!NewName.empty() && FOwner) {
    TComponent* Other = FOwner->FindComponent(NewName);
    if (Other && Other != this)
      throw EComponentError("A component named " + WideToUtf8(NewName) + " already exists");
  }
  FName = NewName;
}

TComponent* TComponent::FindComponent(std::wstring_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* C : FComponents)
    if (SameName(C->FName, AName)) return C;
  return nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
    FFreeNotifies.push_back(AComponent);
  if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
      AComponent->FFreeNotifies.end())
    AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent), FFreeNotifies.end());
  AComponent->FFreeNotifies.erase(
      std::remove(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this),
      AComponent->FFreeNotifies.end());
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // Owned components may hold references to a sibling that goes away.
  for (size_t i = 0; i < FComponents.size(); ++i)
    if (FComponents[i] != AComponent) FComponents[i]->Notification(AComponent, Operation);
}

void TComponent::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) {
  // A root nests the components it owns that have no parent of their own.
  if (Root != this) return;
  for (TComponent* C : FComponents)
    if (!C->IsRunTimeOnly() && (!C->HasParent() || !C->GetParentComponent())) Proc(C);
}

const std::any* TComponent::FindMethod(std::wstring_view MethodName) const {
  auto It = FMethods.find(FoldName(MethodName));
  return It == FMethods.end() ? nullptr : &It->second;
}

bool TComponent::AssignField(const std::wstring& ComponentName, TComponent* C) {
  auto It = FFields.find(FoldName(ComponentName));
  if (It == FFields.end()) return true;
  return It->second(C);
}

void TComponent::SetEventBinding(const std::wstring& PropName, const std::wstring& MethodName) {
  if (MethodName.empty())
    FEventBindings.erase(FoldName(PropName));
  else
    FEventBindings[FoldName(PropName)] = MethodName;
}

const std::wstring* TComponent::EventBinding(std::wstring_view PropName) const {
  auto It = FEventBindings.find(FoldName(PropName));
  return It == FEventBindings.end() ? nullptr : &It->second;
}

void TComponent::Loaded() { FComponentState &= ~(csLoading | csReading); }

void TComponent::SetComponentStateFlag(TComponentState Flag, bool On) {
  if (On)
    FComponentState |= Flag;
  else
    FComponentState &= ~Flag;
}

std::wstring TComponent::FoldName(std::wstring_view S) {
  std::wstring R(S);
  for (wchar_t& c : R)
    if (c >= L'A' && c <= L'Z') c = wchar_t(c + 32);
  return R;
}

void TComponent::PublishProperties(TPublisher& P) {
  P.Int(L"Tag", &TComponent::Tag, &TComponent::SetTag, 0);
}

// ---------------------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* ACollection) : FCollection(ACollection) {
  if (FCollection) {
    FCollection->FItems.push_back(this);
    FCollection->Changed(nullptr);
  }
}

TCollectionItem::~TCollectionItem() {
  if (FCollection) {
    auto& L = FCollection->FItems;
    L.erase(std::remove(L.begin(), L.end(), this), L.end());
    FCollection->Changed(nullptr);
  }
}

int TCollectionItem::Index() const {
  if (!FCollection) return -1;
  auto& L = FCollection->FItems;
  auto It = std::find(L.begin(), L.end(), this);
  return It == L.end() ? -1 : static_cast<int>(It - L.begin());
}

void TCollectionItem::SetIndex(int Value) {
  int Cur = Index();
  if (Cur < 0 || Value == Cur || Value < 0 || Value >= FCollection->Count()) return;
  auto& L = FCollection->FItems;
  L.erase(L.begin() + Cur);
  L.insert(L.begin() + Value, this);
  FCollection->Changed(nullptr);
}

std::wstring TCollectionItem::DisplayName() const { return ClassName(); }

TPersistent* TCollectionItem::GetOwner() const { return FCollection; }

void TCollectionItem::Changed(bool AllItems) {
  if (FCollection) FCollection->Changed(AllItems ? nullptr : this);
}

TCollection::TCollection(const TClassInfo& ItemClass, TPersistent* AOwner)
    : FItemClass(&ItemClass), FOwner(AOwner) {}

TCollection::~TCollection() {
  ++FUpdateCount;
  Clear();
}

TCollectionItem* TCollection::Add() {
  if (!FItemClass->CreateItem)
    throw EComponentError("Items of class " + WideToUtf8(FItemClass->Name) + " cannot be created");
  return FItemClass->CreateItem(this);
}

TCollectionItem* TCollection::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EComponentError("Collection index out of range");
  return FItems[static_cast<size_t>(Index)];
}

void TCollection::Delete(int Index) { delete Items(Index); }

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  while (!FItems.empty()) delete FItems.back();
  EndUpdate();
}

void TCollection::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed(nullptr);
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Changed(TCollectionItem* Item) {
  if (FUpdateCount == 0) Update(Item);
}
