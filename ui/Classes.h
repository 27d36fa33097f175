// Components, ownership, published properties and the class registry.
//
// A class takes part in reading and writing form descriptions by declaring
// CB_CLASS(Name, Base) at the top of its body and, when it publishes
// properties, a static PublishProperties(TPublisher&). Component classes that a
// description may create are registered once with RegisterClass<T>().
#pragma once

#include <any>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/Errors.h"
#include "base/Geometry.h"
#include "base/Stream.h"

class TObject;
class TPersistent;
class TComponent;
class TCollection;
class TCollectionItem;
class TReader;
class TWriter;
class TPublisher;
struct TClassInfo;

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Errors of the framework; messages are UTF-8 in what().
class EComponentError : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};
class EInvalidOperation : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};
class EResNotFound : public EClearbayError {
public:
  using EClearbayError::EClearbayError;
};

// ---------------------------------------------------------------------------
// Published property descriptions

enum class TPropKind { Integer, Bool, Color, String, Enum, Set, Object, Component, Lines, Collection, Event, Real };

struct TPropInfo {
  std::wstring Name;
  TPropKind Kind = TPropKind::Integer;
  std::vector<std::wstring> Names;  // identifiers of an Enum (by ordinal) or Set (by bit)
  std::int64_t IntDefault = 0;      // Integer, Bool, Color, Enum, Set
  std::wstring StrDefault;          // String
  double RealDefault = 0;           // Real
  bool HasDefault = true;           // false: always written
  std::int64_t Min = INT64_MIN;     // Integer: what the setter's type can hold
  std::int64_t Max = INT64_MAX;

  std::function<std::int64_t(const TPersistent*)> GetInt;
  std::function<void(TPersistent*, std::int64_t)> SetInt;
  std::function<double(const TPersistent*)> GetReal;
  std::function<void(TPersistent*, double)> SetReal;
  std::function<std::wstring(const TPersistent*)> GetStr;
  std::function<void(TPersistent*, const std::wstring&)> SetStr;
  std::function<std::vector<std::wstring>(const TPersistent*)> GetLines;
  std::function<void(TPersistent*, const std::vector<std::wstring>&)> SetLines;
  std::function<TPersistent*(const TPersistent*)> GetObject;  // Object and Collection
  std::function<TComponent*(const TPersistent*)> GetComponent;
  std::function<void(TPersistent*, TComponent*)> SetComponent;
  // Event: binds a registered method (std::any holding std::function<F>);
  // false when the method's signature does not fit.
  std::function<bool(TPersistent*, const std::any&)> SetEvent;
  std::function<bool(const TPersistent*)> EventAssigned;
  // Optional: whether the value is written at all (ParentFont, ParentColor...).
  std::function<bool(const TPersistent*)> Stored;
};

struct TClassInfo {
  std::wstring Name;
  const TClassInfo* Parent = nullptr;
  TComponent* (*CreateComponent)(TComponent* Owner) = nullptr;
  TCollectionItem* (*CreateItem)(TCollection* Collection) = nullptr;
  std::deque<TPropInfo> Props;  // own published properties, in declaration order

  bool InheritsFrom(const TClassInfo& Other) const;
  // Searches this class, then its ancestors (names compared without case).
  const TPropInfo* FindProp(std::wstring_view PropName) const;
  // Ancestors' properties first, each class in declaration order.
  void ForEachProp(const std::function<void(const TPropInfo&)>& Proc) const;

  template <class C, class B>
  static TClassInfo Build(const wchar_t* ClassName);
};

// Registry of classes a description can name.
void RegisterClassInfo(const TClassInfo& Info);
template <class T> void RegisterClass() { RegisterClassInfo(T::StaticClassInfo()); }
template <class... T> void RegisterClasses() { (RegisterClass<T>(), ...); }
const TClassInfo* FindClassInfo(std::wstring_view ClassName);  // nullptr when unknown

#define CB_CLASS(Name, Base)                                                             \
public:                                                                                  \
  using inherited = Base;                                                                \
  static const TClassInfo& StaticClassInfo() {                                           \
    static const TClassInfo Info = TClassInfo::Build<Name, Base>(L"" #Name);             \
    return Info;                                                                         \
  }                                                                                      \
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }             \
  const wchar_t* ClassName() const override { return L"" #Name; }

class TObject {
public:
  virtual ~TObject() = default;
  // 'delete' runs BeforeDestruction before any destructor, so that state which
  // derived destructors rely on (csDestroying, detached input) is already set.
  void operator delete(TObject* Object, std::destroying_delete_t);
  virtual void BeforeDestruction() {}
  static const TClassInfo& StaticClassInfo();
  virtual const TClassInfo& ClassInfo() const { return StaticClassInfo(); }
  virtual const wchar_t* ClassName() const { return L"TObject"; }
  bool InheritsFrom(const TClassInfo& Info) const { return ClassInfo().InheritsFrom(Info); }
  static void PublishProperties(TPublisher&) {}
  void Free() { delete this; }
};

// Filers hand DefineProperties the reader or writer of unpublished values.
class TFiler {
public:
  virtual ~TFiler() = default;
  // A value readable through TReader's Read* calls (string, integer, lines...).
  virtual void DefineProperty(const wchar_t* Name, const std::function<void(TReader&)>& ReadData,
                              const std::function<void(TWriter&)>& WriteData, bool HasData) = 0;
  // A block of bytes; ReadData gets a stream positioned at 0 over the whole block.
  virtual void DefineBinaryProperty(const wchar_t* Name, const std::function<void(TStream&)>& ReadData,
                                    const std::function<void(TStream&)>& WriteData, bool HasData) = 0;
};

class TPersistent : public TObject {
  CB_CLASS(TPersistent, TObject)
public:
  // Copies Source into this object; the default refuses with EConvertError.
  virtual void Assign(const TPersistent* Source);
  // Unpublished values stored with the object (binary blobs and the like).
  virtual void DefineProperties(TFiler& Filer);
  // Where a value of DefineProperties is written: after the published
  // property of that name (at the front when it is not written); empty, the
  // default, after all of them. Stored data may rely on the order.
  virtual std::wstring DefinedPropertyPlace(const std::wstring& /*Name*/) const { return {}; }
  virtual TPersistent* GetOwner() const { return nullptr; }
};

// ---------------------------------------------------------------------------
// Components

using TComponentState = std::uint32_t;
constexpr TComponentState csLoading = 1u << 0;    // between creation by a reader and Loaded
constexpr TComponentState csReading = 1u << 1;    // its properties are being read
constexpr TComponentState csWriting = 1u << 2;
constexpr TComponentState csDestroying = 1u << 3; // destructor under way
constexpr TComponentState csDesigning = 1u << 4;  // never set in this program
constexpr TComponentState csUpdating = 1u << 5;

enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
  CB_CLASS(TComponent, TPersistent)
public:
  explicit TComponent(TComponent* AOwner);
  // Notifies, frees owned components (last first), leaves the owner.
  ~TComponent() override;
  void BeforeDestruction() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int Index) const;
  int ComponentIndex() const;
  void InsertComponent(TComponent* AComponent);  // takes ownership (leaves the old owner)
  void RemoveComponent(TComponent* AComponent);  // gives it up, nothing freed
  void DestroyComponents();

  const std::wstring& Name() const { return FName; }
  // Empty, or an identifier unique (without case) among the owner's components.
  virtual void SetName(const std::wstring& NewName);
  std::intptr_t Tag() const { return FTag; }
  void SetTag(std::intptr_t Value) { FTag = Value; }
  TComponentState ComponentState() const { return FComponentState; }

  TComponent* FindComponent(std::wstring_view AName) const;  // owned, name without case
  template <class T> T* FindComponentAs(std::wstring_view AName) const {
    return dynamic_cast<T*>(FindComponent(AName));
  }

  // Links to components that are not owned: AComponent's freeing reaches
  // Notification(AComponent, opRemove) here.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);
  // The components that hear when this one is freed (or it when they are).
  const std::vector<TComponent*>& FreeNotifies() const { return FFreeNotifies; }

  // Made by the program while it runs (not by a description): never written
  // into one, so a form written and read back holds only what it was given.
  virtual bool IsRunTimeOnly() const { return false; }

  // Parent relations that are not ownership (controls in a window, items in a
  // menu); used by readers and writers of descriptions.
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent*) {}
  // Enumerates the components a description nests inside this one.
  virtual void GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root);

  // Handlers a description binds by name, registered by the root (a form).
  template <class C, class R, class... A>
  void RegisterMethod(const wchar_t* MethodName, R (C::*Method)(A...)) {
    C* Self = static_cast<C*>(this);
    FMethods[FoldName(MethodName)] =
        std::function<R(A...)>([Self, Method](A... Args) -> R { return (Self->*Method)(Args...); });
  }
  const std::any* FindMethod(std::wstring_view MethodName) const;
  // Fields the reader fills as soon as a component of that name is created.
  template <class T> void RegisterField(const wchar_t* ComponentName, T*& Field) {
    T** Slot = &Field;
    FFields[FoldName(ComponentName)] = [Slot](TComponent* C) {
      T* Typed = dynamic_cast<T*>(C);
      if (C && !Typed) return false;
      *Slot = Typed;
      return true;
    };
  }
  // Fills a registered field; false when the field's type does not fit.
  bool AssignField(const std::wstring& ComponentName, TComponent* C);

  // Which registered method an event property was bound to by name.
  void SetEventBinding(const std::wstring& PropName, const std::wstring& MethodName);
  const std::wstring* EventBinding(std::wstring_view PropName) const;

  // Reading state, set by the reader.
  void BeginLoading() { FComponentState |= csLoading | csReading; }
  void EndReading() { FComponentState &= ~csReading; }
  // Runs once after the whole description is read; clears csLoading.
  virtual void Loaded();

  static std::wstring FoldName(std::wstring_view S);  // ASCII lower case

  static void PublishProperties(TPublisher& P);

protected:
  // opRemove of an owned or linked component; the default passes it on to the
  // owned components and drops the link.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  void SetComponentStateFlag(TComponentState Flag, bool On);

private:
  void NotifyAll(TComponent* AComponent, TOperation Operation);

  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  std::wstring FName;
  std::intptr_t FTag = 0;
  TComponentState FComponentState = 0;
  std::map<std::wstring, std::any> FMethods;
  std::map<std::wstring, std::function<bool(TComponent*)>> FFields;
  std::map<std::wstring, std::wstring> FEventBindings;
};

// ---------------------------------------------------------------------------
// Collections

class TCollectionItem : public TPersistent {
  CB_CLASS(TCollectionItem, TPersistent)
public:
  explicit TCollectionItem(TCollection* ACollection);  // appends itself
  ~TCollectionItem() override;                          // leaves its collection
  TCollection* Collection() const { return FCollection; }
  int Index() const;
  void SetIndex(int Value);
  virtual std::wstring DisplayName() const;
  TPersistent* GetOwner() const override;

protected:
  void Changed(bool AllItems);

private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
};

class TCollection : public TPersistent {
  CB_CLASS(TCollection, TPersistent)
public:
  TCollection(const TClassInfo& ItemClass, TPersistent* AOwner = nullptr);
  ~TCollection() override;  // frees the items

  const TClassInfo& ItemClass() const { return *FItemClass; }
  TCollectionItem* Add();
  template <class T> T* AddItem() { return dynamic_cast<T*>(Add()); }
  int Count() const { return static_cast<int>(FItems.size()); }
  TCollectionItem* Items(int Index) const;
  void Delete(int Index);
  void Clear();
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }
  TPersistent* GetOwner() const override { return FOwner; }

protected:
  // An item changed (nullptr: the whole collection); not called while updating.
  virtual void Update(TCollectionItem* Item);

private:
  friend class TCollectionItem;
  void Changed(TCollectionItem* Item);
  const TClassInfo* FItemClass;
  TPersistent* FOwner;
  std::vector<TCollectionItem*> FItems;
  int FUpdateCount = 0;
};

// ---------------------------------------------------------------------------
// Publishing properties

using TIdentNames = std::vector<std::wstring>;

class TPublisher {
public:
  explicit TPublisher(TClassInfo& Info) : FInfo(Info) {}

  // Getter and setter may come from different classes of the chain (a setter
  // that a descendant overrides).
  template <class CG, class G, class CS, class S>
  TPropInfo& Int(const wchar_t* Name, G (CG::*Get)() const, void (CS::*Set)(S), std::int64_t Default = 0) {
    TPropInfo& P = Add(Name, TPropKind::Integer);
    P.IntDefault = Default;
    using V = std::remove_cvref_t<S>;
    if constexpr (std::is_integral_v<V> && sizeof(V) < sizeof(std::int64_t)) {
      P.Min = static_cast<std::int64_t>(std::numeric_limits<V>::min());
      P.Max = static_cast<std::int64_t>(std::numeric_limits<V>::max());
    } else if constexpr (std::is_integral_v<V> && std::is_unsigned_v<V>) {
      P.Min = 0;
    }
    P.GetInt = [Get](const TPersistent* O) { return static_cast<std::int64_t>((static_cast<const CG*>(O)->*Get)()); };
    P.SetInt = [Set](TPersistent* O, std::int64_t V) {
      (static_cast<CS*>(O)->*Set)(static_cast<std::remove_cvref_t<S>>(V));
    };
    return P;
  }
  template <class CG, class CS, class S>
  TPropInfo& Bool(const wchar_t* Name, bool (CG::*Get)() const, void (CS::*Set)(S), bool Default) {
    TPropInfo& P = Add(Name, TPropKind::Bool);
    P.IntDefault = Default;
    P.GetInt = [Get](const TPersistent* O) { return std::int64_t((static_cast<const CG*>(O)->*Get)()); };
    P.SetInt = [Set](TPersistent* O, std::int64_t V) { (static_cast<CS*>(O)->*Set)(V != 0); };
    return P;
  }
  template <class CG, class CS, class S>
  TPropInfo& Color(const wchar_t* Name, TColor (CG::*Get)() const, void (CS::*Set)(S), TColor Default) {
    TPropInfo& P = Int(Name, Get, Set, Default);
    P.Kind = TPropKind::Color;
    return P;
  }
  template <class CG, class G, class CS, class S>
  TPropInfo& Str(const wchar_t* Name, G (CG::*Get)() const, void (CS::*Set)(S), const wchar_t* Default = L"") {
    TPropInfo& P = Add(Name, TPropKind::String);
    P.StrDefault = Default;
    P.GetStr = [Get](const TPersistent* O) { return std::wstring((static_cast<const CG*>(O)->*Get)()); };
    P.SetStr = [Set](TPersistent* O, const std::wstring& V) { (static_cast<CS*>(O)->*Set)(V); };
    return P;
  }
  // A floating-point value; an integer in the description is taken too.
  template <class CG, class G, class CS, class S>
  TPropInfo& Real(const wchar_t* Name, G (CG::*Get)() const, void (CS::*Set)(S), double Default = 0) {
    TPropInfo& P = Add(Name, TPropKind::Real);
    P.RealDefault = Default;
    P.GetReal = [Get](const TPersistent* O) { return double((static_cast<const CG*>(O)->*Get)()); };
    P.SetReal = [Set](TPersistent* O, double V) { (static_cast<CS*>(O)->*Set)(V); };
    return P;
  }
  template <class CG, class E, class CS, class S>
  TPropInfo& Enum(const wchar_t* Name, E (CG::*Get)() const, void (CS::*Set)(S), const TIdentNames& Names, E Default) {
    TPropInfo& P = Int(Name, Get, Set, static_cast<std::int64_t>(Default));
    P.Kind = TPropKind::Enum;
    P.Names = Names;
    return P;
  }
  // A set is a bit mask; bit i is named Names[i].
  template <class CG, class G, class CS, class S>
  TPropInfo& Set(const wchar_t* Name, G (CG::*Get)() const, void (CS::*Set)(S), const TIdentNames& Names,
                 std::uint32_t Default) {
    TPropInfo& P = Int(Name, Get, Set, Default);
    P.Kind = TPropKind::Set;
    P.Names = Names;
    return P;
  }
  // A nested object owned by the instance (Font, option objects...).
  template <class C, class T>
  TPropInfo& Object(const wchar_t* Name, T* (C::*Get)() const) {
    TPropInfo& P = Add(Name, TPropKind::Object);
    P.GetObject = [Get](const TPersistent* O) -> TPersistent* { return (static_cast<const C*>(O)->*Get)(); };
    return P;
  }
  template <class C, class T>
  TPropInfo& Collection(const wchar_t* Name, T* (C::*Get)() const) {
    TPropInfo& P = Object(Name, Get);
    P.Kind = TPropKind::Collection;
    return P;
  }
  // A reference to another component of the same root, resolved after reading.
  template <class CG, class T, class CS>
  TPropInfo& Component(const wchar_t* Name, T* (CG::*Get)() const, void (CS::*Set)(T*)) {
    TPropInfo& P = Add(Name, TPropKind::Component);
    P.GetComponent = [Get](const TPersistent* O) -> TComponent* { return (static_cast<const CG*>(O)->*Get)(); };
    P.SetComponent = [Set](TPersistent* O, TComponent* V) {
      T* Typed = dynamic_cast<T*>(V);
      if (V && !Typed) throw EComponentError("the component does not fit this property");
      (static_cast<CS*>(O)->*Set)(Typed);
    };
    return P;
  }
  // A list of texts (string list values).
  template <class CG, class G, class CS, class S>
  TPropInfo& Lines(const wchar_t* Name, G (CG::*Get)() const, void (CS::*Set)(S)) {
    TPropInfo& P = Add(Name, TPropKind::Lines);
    P.GetLines = [Get](const TPersistent* O) { return std::vector<std::wstring>((static_cast<const CG*>(O)->*Get)()); };
    P.SetLines = [Set](TPersistent* O, const std::vector<std::wstring>& V) { (static_cast<CS*>(O)->*Set)(V); };
    return P;
  }
  // An event field of type std::function<F>; bound by method name.
  template <class C, class F>
  TPropInfo& Event(const wchar_t* Name, std::function<F> C::*Field) {
    TPropInfo& P = Add(Name, TPropKind::Event);
    P.HasDefault = false;
    P.SetEvent = [Field](TPersistent* O, const std::any& M) {
      const auto* Fn = std::any_cast<std::function<F>>(&M);
      if (!Fn) return false;
      static_cast<C*>(O)->*Field = *Fn;
      return true;
    };
    P.EventAssigned = [Field](const TPersistent* O) { return bool(static_cast<const C*>(O)->*Field); };
    return P;
  }

private:
  TPropInfo& Add(const wchar_t* Name, TPropKind Kind);
  TClassInfo& FInfo;
};

template <class C, class B>
TClassInfo TClassInfo::Build(const wchar_t* ClassName) {
  TClassInfo Info;
  Info.Name = ClassName;
  Info.Parent = &B::StaticClassInfo();
  if constexpr (std::is_base_of_v<TComponent, C> && !std::is_abstract_v<C> &&
                std::is_constructible_v<C, TComponent*>) {
    Info.CreateComponent = [](TComponent* Owner) -> TComponent* { return new C(Owner); };
  }
  if constexpr (std::is_base_of_v<TCollectionItem, C> && !std::is_abstract_v<C> &&
                std::is_constructible_v<C, TCollection*>) {
    Info.CreateItem = [](TCollection* Coll) -> TCollectionItem* { return new C(Coll); };
  }
  if (&C::PublishProperties != &B::PublishProperties) {
    TPublisher P(Info);
    C::PublishProperties(P);
  }
  return Info;
}
