#include "ui/FormStreaming.h"

#include <exception>
#include <mutex>

#include "ui/Buttons.h"
#include "ui/ExtCtrls.h"
#include "ui/Menus.h"
#include "ui/ResourceStream.h"
#include "ui/StdCtrls.h"
#include "ui/UiText.h"

namespace {

bool SameName(std::wstring_view A, std::wstring_view B) {
  return TComponent::FoldName(A) == TComponent::FoldName(B);
}

[[noreturn]] void Fail(int Line, const std::string& What) {
  throw EFormError("Form description, line " + std::to_string(Line) + ": " + What);
}

struct TColorName {
  const wchar_t* Name;
  TColor Value;
};
const TColorName ColorNames[] = {
    {L"clBlack", clBlack}, {L"clMaroon", clMaroon}, {L"clGreen", clGreen}, {L"clOlive", clOlive},
    {L"clNavy", clNavy}, {L"clPurple", clPurple}, {L"clTeal", clTeal}, {L"clGray", clGray},
    {L"clSilver", clSilver}, {L"clRed", clRed}, {L"clLime", clLime}, {L"clYellow", clYellow},
    {L"clBlue", clBlue}, {L"clFuchsia", clFuchsia}, {L"clAqua", clAqua}, {L"clWhite", clWhite},
    {L"clNone", clNone}, {L"clDefault", clDefault}, {L"clScrollBar", clScrollBar},
    {L"clBackground", clBackground}, {L"clActiveCaption", clActiveCaption},
    {L"clInactiveCaption", clInactiveCaption}, {L"clMenu", clMenu}, {L"clWindow", clWindow},
    {L"clWindowFrame", clWindowFrame}, {L"clMenuText", clMenuText}, {L"clWindowText", clWindowText},
    {L"clCaptionText", clCaptionText}, {L"clActiveBorder", clActiveBorder},
    {L"clInactiveBorder", clInactiveBorder}, {L"clAppWorkSpace", clAppWorkSpace},
    {L"clHighlight", clHighlight}, {L"clHighlightText", clHighlightText}, {L"clBtnFace", clBtnFace},
    {L"clBtnShadow", clBtnShadow}, {L"clGrayText", clGrayText}, {L"clBtnText", clBtnText},
    {L"clInactiveCaptionText", clInactiveCaptionText}, {L"clBtnHighlight", clBtnHighlight},
    {L"cl3DDkShadow", cl3DDkShadow}, {L"cl3DLight", cl3DLight}, {L"clInfoText", clInfoText},
    {L"clInfoBk", clInfoBk}, {L"clHotLight", clHotLight},
    {L"clGradientActiveCaption", clGradientActiveCaption},
    {L"clGradientInactiveCaption", clGradientInactiveCaption}, {L"clMenuHighlight", clMenuHighlight},
    {L"clMenuBar", clMenuBar},
};

const char* KindText(TFormValue::TKind K) {
  switch (K) {
    case TFormValue::vkInteger: return "a number";
    case TFormValue::vkString: return "a string";
    case TFormValue::vkIdent: return "a name";
    case TFormValue::vkSet: return "a set";
    case TFormValue::vkLines: return "a list of lines";
    case TFormValue::vkBinary: return "a binary block";
    case TFormValue::vkItems: return "collection items";
    case TFormValue::vkReal: return "a real number";
  }
  return "a value";
}

// Hands a pending unpublished value to the DefineProperties entry of its name.
class TReaderFiler : public TFiler {
public:
  TReaderFiler(const std::wstring& Name, const TFormValue& Value, int Line)
      : FName(Name), FValue(Value), FLine(Line) {}
  bool Matched() const { return FMatched; }
  void DefineProperty(const wchar_t* Name, const std::function<void(TReader&)>& ReadData,
                      const std::function<void(TWriter&)>&, bool) override {
    if (FMatched || !SameName(Name, FName) || !ReadData) return;
    FMatched = true;
    TReader R(FValue);
    ReadData(R);
  }
  void DefineBinaryProperty(const wchar_t* Name, const std::function<void(TStream&)>& ReadData,
                            const std::function<void(TStream&)>&, bool) override {
    if (FMatched || !SameName(Name, FName) || !ReadData) return;
    FMatched = true;
    if (FValue.Kind != TFormValue::vkBinary) Fail(FLine, WideToUtf8(FName) + ": a binary block expected");
    TPointerStream S(FValue.Bytes.data(), FValue.Bytes.size());
    ReadData(S);
  }

private:
  const std::wstring& FName;
  const TFormValue& FValue;
  int FLine;
  bool FMatched = false;
};

class TWriterFiler : public TFiler {
public:
  explicit TWriterFiler(std::vector<TFormProp>& Props, const std::wstring& Prefix) : FProps(Props), FPrefix(Prefix) {}
  void DefineProperty(const wchar_t* Name, const std::function<void(TReader&)>&,
                      const std::function<void(TWriter&)>& WriteData, bool HasData) override {
    if (!HasData || !WriteData) return;
    TWriter W;
    WriteData(W);
    if (W.Written()) FProps.push_back(TFormProp{FPrefix + Name, W.Value(), 0});
  }
  void DefineBinaryProperty(const wchar_t* Name, const std::function<void(TStream&)>&,
                            const std::function<void(TStream&)>& WriteData, bool HasData) override {
    if (!HasData || !WriteData) return;
    TMemoryStream S;
    WriteData(S);
    TFormProp P;
    P.Name = FPrefix + Name;
    P.Value.Kind = TFormValue::vkBinary;
    P.Value.Bytes = S.Bytes();
    FProps.push_back(std::move(P));
  }

private:
  std::vector<TFormProp>& FProps;
  std::wstring FPrefix;
};

struct TFixup {
  TPersistent* Instance;
  const TPropInfo* Prop;
  std::wstring Target;
  int Line;
};

class TTreeReader {
public:
  explicit TTreeReader(TComponent* Root) : FRoot(Root) {}

  void Read(const TFormObject& D) {
    if (!SameName(D.ClassName, FRoot->ClassName()))
      Fail(D.Line, "the description is for " + WideToUtf8(D.ClassName) + ", not for " + WideToUtf8(FRoot->ClassName()));
    FRoot->BeginLoading();
    if (!D.Name.empty()) Guard(D.Line, "name", [&] { FRoot->SetName(D.Name); });
    ReadProps(FRoot, D.Props);
    FRoot->EndReading();
    for (const TFormObject& C : D.Children) ReadChild(FRoot, C);
    for (const TFixup& F : FFixups) {
      TComponent* Target = SameName(F.Target, FRoot->Name()) ? FRoot : FRoot->FindComponent(F.Target);
      if (!Target) Fail(F.Line, WideToUtf8(F.Prop->Name) + ": no component named " + WideToUtf8(F.Target));
      Guard(F.Line, WideToUtf8(F.Prop->Name), [&] { F.Prop->SetComponent(F.Instance, Target); });
    }
    // Every component gets its Loaded even when one of them fails.
    std::exception_ptr First;
    for (TComponent* C : FCreated) {
      try {
        C->Loaded();
      } catch (...) {
        if (!First) First = std::current_exception();
      }
    }
    try {
      FRoot->Loaded();
    } catch (...) {
      if (!First) First = std::current_exception();
    }
    if (First) {
      try {
        std::rethrow_exception(First);
      } catch (const EFormError&) {
        throw;
      } catch (const std::exception& E) {
        throw EFormError(std::string("Form description: after reading: ") + E.what());
      }
    }
  }

private:
  TComponent* FRoot;
  std::vector<TComponent*> FCreated;
  std::vector<TFixup> FFixups;

  template <class F> void Guard(int Line, const std::string& What, F&& Fn) {
    try {
      Fn();
    } catch (const EFormError&) {
      throw;
    } catch (const std::exception& E) {
      Fail(Line, What + ": " + E.what());
    }
  }

  void ReadChild(TComponent* Parent, const TFormObject& O) {
    const TClassInfo* Info = FindClassInfo(O.ClassName);
    if (!Info) Fail(O.Line, "class " + WideToUtf8(O.ClassName) + " is not registered");
    if (!Info->CreateComponent) Fail(O.Line, "class " + WideToUtf8(O.ClassName) + " is not a component class");
    TComponent* C = nullptr;
    Guard(O.Line, WideToUtf8(O.Name), [&] { C = Info->CreateComponent(FRoot); });
    C->BeginLoading();
    FCreated.push_back(C);
    Guard(O.Line, "name", [&] { C->SetName(O.Name); });
    if (!FRoot->AssignField(O.Name, C))
      Fail(O.Line, "the field " + WideToUtf8(O.Name) + " cannot hold a " + WideToUtf8(O.ClassName));
    Guard(O.Line, WideToUtf8(O.Name), [&] { C->SetParentComponent(Parent); });
    ReadProps(C, O.Props);
    C->EndReading();
    for (const TFormObject& Child : O.Children) ReadChild(C, Child);
  }

  void ReadProps(TPersistent* Instance, const std::vector<TFormProp>& Props) {
    for (const TFormProp& P : Props) SetProp(Instance, P.Name, P.Value, P.Line);
  }

  void SetProp(TPersistent* Instance, std::wstring_view Path, const TFormValue& V, int Line) {
    const TClassInfo& CI = Instance->ClassInfo();
    size_t Dot = Path.find(L'.');
    if (Dot != std::wstring_view::npos) {
      std::wstring Head(Path.substr(0, Dot));
      const TPropInfo* PI = CI.FindProp(Head);
      if (!PI || PI->Kind != TPropKind::Object)
        Fail(Line, WideToUtf8(CI.Name) + " has no object property " + WideToUtf8(Head));
      TPersistent* Sub = PI->GetObject(Instance);
      if (!Sub) Fail(Line, WideToUtf8(Head) + " is not assigned");
      SetProp(Sub, Path.substr(Dot + 1), V, Line);
      return;
    }
    std::wstring Name(Path);
    const TPropInfo* PI = CI.FindProp(Name);
    std::string PName = WideToUtf8(Name);
    if (!PI) {
      TReaderFiler F(Name, V, Line);
      Guard(Line, PName, [&] { Instance->DefineProperties(F); });
      if (!F.Matched()) Fail(Line, WideToUtf8(CI.Name) + " has no property " + PName);
      return;
    }
    auto Want = [&](TFormValue::TKind K) {
      if (V.Kind != K) Fail(Line, PName + ": " + KindText(K) + " expected, not " + KindText(V.Kind));
    };
    switch (PI->Kind) {
      case TPropKind::Integer:
        Want(TFormValue::vkInteger);
        // A value the property cannot hold is refused, not cut down to size.
        if (V.Int < PI->Min || V.Int > PI->Max) Fail(Line, PName + ": number out of range");
        Guard(Line, PName, [&] { PI->SetInt(Instance, V.Int); });
        break;
      case TPropKind::Bool: {
        Want(TFormValue::vkIdent);
        bool B;
        if (SameName(V.Str, L"true"))
          B = true;
        else if (SameName(V.Str, L"false"))
          B = false;
        else
          Fail(Line, PName + ": true or false expected");
        Guard(Line, PName, [&] { PI->SetInt(Instance, B); });
        break;
      }
      case TPropKind::Color: {
        std::int64_t C = 0;
        if (V.Kind == TFormValue::vkInteger) {
          C = V.Int;
        } else {
          Want(TFormValue::vkIdent);
          bool Found = false;
          for (const TColorName& N : ColorNames)
            if (SameName(N.Name, V.Str)) {
              C = N.Value;
              Found = true;
            }
          if (!Found) Fail(Line, PName + ": unknown colour " + WideToUtf8(V.Str));
        }
        if (C < 0 || C > 0xFFFFFFFFLL) Fail(Line, PName + ": colour out of range");
        Guard(Line, PName, [&] { PI->SetInt(Instance, C); });
        break;
      }
      case TPropKind::String:
        Want(TFormValue::vkString);
        Guard(Line, PName, [&] { PI->SetStr(Instance, V.Str); });
        break;
      case TPropKind::Real: {
        if (V.Kind != TFormValue::vkInteger) Want(TFormValue::vkReal);
        const double R = V.Kind == TFormValue::vkInteger ? double(V.Int) : V.Real;
        Guard(Line, PName, [&] { PI->SetReal(Instance, R); });
        break;
      }
      case TPropKind::Enum: {
        Want(TFormValue::vkIdent);
        std::int64_t Ord = -1;
        for (size_t i = 0; i < PI->Names.size(); ++i)
          if (SameName(PI->Names[i], V.Str)) Ord = static_cast<std::int64_t>(i);
        if (Ord < 0) Fail(Line, PName + ": " + WideToUtf8(V.Str) + " is not one of its values");
        Guard(Line, PName, [&] { PI->SetInt(Instance, Ord); });
        break;
      }
      case TPropKind::Set: {
        Want(TFormValue::vkSet);
        std::int64_t Bits = 0;
        for (const std::wstring& M : V.List) {
          bool Found = false;
          for (size_t i = 0; i < PI->Names.size(); ++i)
            if (SameName(PI->Names[i], M)) {
              Bits |= std::int64_t(1) << i;
              Found = true;
            }
          if (!Found) Fail(Line, PName + ": " + WideToUtf8(M) + " is not one of its members");
        }
        Guard(Line, PName, [&] { PI->SetInt(Instance, Bits); });
        break;
      }
      case TPropKind::Object:
        Fail(Line, PName + " is an object; set its properties as " + PName + ".Name");
      case TPropKind::Component:
        Want(TFormValue::vkIdent);
        if (SameName(V.Str, L"nil"))
          Guard(Line, PName, [&] { PI->SetComponent(Instance, nullptr); });
        else
          FFixups.push_back(TFixup{Instance, PI, V.Str, Line});
        break;
      case TPropKind::Lines:
        Want(TFormValue::vkLines);
        Guard(Line, PName, [&] { PI->SetLines(Instance, V.List); });
        break;
      case TPropKind::Collection: {
        Want(TFormValue::vkItems);
        auto* Coll = dynamic_cast<TCollection*>(PI->GetObject(Instance));
        if (!Coll) Fail(Line, PName + " is not a collection");
        Coll->BeginUpdate();
        try {
          Coll->Clear();
          for (const auto& Item : V.Items) {
            TCollectionItem* It = nullptr;
            Guard(Line, PName, [&] { It = Coll->Add(); });
            ReadProps(It, Item);
          }
        } catch (...) {
          Coll->EndUpdate();
          throw;
        }
        Coll->EndUpdate();
        break;
      }
      case TPropKind::Event: {
        Want(TFormValue::vkIdent);
        const std::any* M = FRoot->FindMethod(V.Str);
        if (!M) Fail(Line, PName + ": " + WideToUtf8(FRoot->ClassName()) + " has no method " + WideToUtf8(V.Str));
        if (!PI->SetEvent(Instance, *M))
          Fail(Line, PName + ": the method " + WideToUtf8(V.Str) + " does not fit this event");
        if (auto* C = dynamic_cast<TComponent*>(Instance)) C->SetEventBinding(PI->Name, V.Str);
        break;
      }
    }
  }
};

const wchar_t* ColorName(std::int64_t C) {
  for (const TColorName& N : ColorNames)
    if (N.Value == static_cast<TColor>(C)) return N.Name;
  return nullptr;
}

void WriteProps(TPersistent* Instance, const std::wstring& Prefix, std::vector<TFormProp>& Out, int Depth) {
  if (Depth > 32) throw EFormError("objects nested too deeply to be written");
  const std::size_t Start = Out.size();
  Instance->ClassInfo().ForEachProp([&](const TPropInfo& PI) {
    if (PI.Stored && !PI.Stored(Instance)) return;
    TFormProp P;
    P.Name = Prefix + PI.Name;
    TFormValue& V = P.Value;
    switch (PI.Kind) {
      case TPropKind::Integer:
      case TPropKind::Bool:
      case TPropKind::Color:
      case TPropKind::Enum:
      case TPropKind::Set: {
        std::int64_t I = PI.GetInt(Instance);
        if (PI.HasDefault && I == PI.IntDefault) return;
        if (PI.Kind == TPropKind::Integer) {
          V.Kind = TFormValue::vkInteger;
          V.Int = I;
        } else if (PI.Kind == TPropKind::Bool) {
          V.Kind = TFormValue::vkIdent;
          V.Str = I ? L"true" : L"false";
        } else if (PI.Kind == TPropKind::Color) {
          if (const wchar_t* N = ColorName(I)) {
            V.Kind = TFormValue::vkIdent;
            V.Str = N;
          } else {
            V.Kind = TFormValue::vkInteger;
            V.Int = I;
          }
        } else if (PI.Kind == TPropKind::Enum) {
          if (I < 0 || I >= static_cast<std::int64_t>(PI.Names.size()))
            throw EFormError(WideToUtf8(PI.Name) + ": value out of range");
          V.Kind = TFormValue::vkIdent;
          V.Str = PI.Names[static_cast<size_t>(I)];
        } else {
          V.Kind = TFormValue::vkSet;
          for (size_t i = 0; i < PI.Names.size() && i < 63; ++i)
            if (I & (std::int64_t(1) << i)) V.List.push_back(PI.Names[i]);
        }
        break;
      }
      case TPropKind::String: {
        std::wstring S = PI.GetStr(Instance);
        if (PI.HasDefault && S == PI.StrDefault) return;
        V.Kind = TFormValue::vkString;
        V.Str = S;
        break;
      }
      case TPropKind::Real: {
        const double R = PI.GetReal(Instance);
        if (PI.HasDefault && R == PI.RealDefault) return;
        V.Kind = TFormValue::vkReal;
        V.Real = R;
        break;
      }
      case TPropKind::Object: {
        if (TPersistent* Sub = PI.GetObject(Instance)) WriteProps(Sub, P.Name + L".", Out, Depth + 1);
        return;
      }
      case TPropKind::Collection: {
        auto* Coll = dynamic_cast<TCollection*>(PI.GetObject(Instance));
        if (!Coll || Coll->Count() == 0) return;
        V.Kind = TFormValue::vkItems;
        for (int i = 0; i < Coll->Count(); ++i) {
          std::vector<TFormProp> Item;
          WriteProps(Coll->Items(i), L"", Item, Depth + 1);
          V.Items.push_back(std::move(Item));
        }
        break;
      }
      case TPropKind::Component: {
        TComponent* C = PI.GetComponent(Instance);
        if (!C || C->Name().empty()) return;
        V.Kind = TFormValue::vkIdent;
        V.Str = C->Name();
        break;
      }
      case TPropKind::Lines: {
        std::vector<std::wstring> L = PI.GetLines(Instance);
        if (L.empty()) return;
        V.Kind = TFormValue::vkLines;
        V.List = std::move(L);
        break;
      }
      case TPropKind::Event: {
        auto* C = dynamic_cast<TComponent*>(Instance);
        if (!C || !PI.EventAssigned(Instance)) return;
        const std::wstring* M = C->EventBinding(PI.Name);
        if (!M) return;
        V.Kind = TFormValue::vkIdent;
        V.Str = *M;
        break;
      }
    }
    Out.push_back(std::move(P));
  });
  std::vector<TFormProp> Defined;
  TWriterFiler F(Defined, Prefix);
  Instance->DefineProperties(F);
  for (TFormProp& D : Defined) {
    const std::wstring After = Instance->DefinedPropertyPlace(D.Name.substr(Prefix.size()));
    auto At = Out.end();
    if (!After.empty()) {
      At = Out.begin() + static_cast<std::ptrdiff_t>(Start);
      for (auto It = At; It != Out.end(); ++It)
        if (It->Name == Prefix + After) At = It + 1;
    }
    Out.insert(At, std::move(D));
  }
}

TFormObject WriteObject(TComponent* C, TComponent* Root) {
  TFormObject O;
  O.Name = C->Name();
  O.ClassName = C->ClassName();
  WriteProps(C, L"", O.Props, 0);
  C->GetChildren([&](TComponent* Child) { O.Children.push_back(WriteObject(Child, Root)); }, Root);
  return O;
}

}  // namespace

std::wstring TReader::ReadString() const {
  if (FValue.Kind != TFormValue::vkString) throw EFormError("a string expected");
  return FValue.Str;
}
std::int64_t TReader::ReadInteger() const {
  if (FValue.Kind != TFormValue::vkInteger) throw EFormError("a number expected");
  return FValue.Int;
}
bool TReader::ReadBoolean() const {
  if (FValue.Kind == TFormValue::vkIdent && SameName(FValue.Str, L"true")) return true;
  if (FValue.Kind == TFormValue::vkIdent && SameName(FValue.Str, L"false")) return false;
  throw EFormError("true or false expected");
}
std::wstring TReader::ReadIdent() const {
  if (FValue.Kind != TFormValue::vkIdent) throw EFormError("a name expected");
  return FValue.Str;
}
std::vector<std::wstring> TReader::ReadLines() const {
  if (FValue.Kind != TFormValue::vkLines) throw EFormError("a list of lines expected");
  return FValue.List;
}

void TWriter::WriteString(const std::wstring& Value) {
  FValue = TFormValue{};
  FValue.Kind = TFormValue::vkString;
  FValue.Str = Value;
  FWritten = true;
}
void TWriter::WriteInteger(std::int64_t Value) {
  FValue = TFormValue{};
  FValue.Int = Value;
  FWritten = true;
}
void TWriter::WriteBoolean(bool Value) { WriteIdent(Value ? L"true" : L"false"); }
void TWriter::WriteIdent(const std::wstring& Value) {
  FValue = TFormValue{};
  FValue.Kind = TFormValue::vkIdent;
  FValue.Str = Value;
  FWritten = true;
}
void TWriter::WriteLines(const std::vector<std::wstring>& Value) {
  FValue = TFormValue{};
  FValue.Kind = TFormValue::vkLines;
  FValue.List = Value;
  FWritten = true;
}

void ReadComponentTree(TComponent* Root, const TFormObject& Description) {
  RegisterStandardClasses();
  TTreeReader(Root).Read(Description);
}

void ReadComponentFromText(TComponent* Root, std::string_view Text) {
  ReadComponentTree(Root, ParseFormText(Text));
}

bool ReadComponentResource(TComponent* Root, HINSTANCE Instance, const std::wstring& ResName) {
  HRSRC Res = FindResourceNoCase(Instance, ResName, L"FORMTEXT");
  if (!Res) return false;
  HGLOBAL Data = LoadResource(Instance, Res);
  const void* Ptr = Data ? LockResource(Data) : nullptr;
  if (!Ptr) return false;
  ReadComponentFromText(Root, std::string_view(static_cast<const char*>(Ptr), SizeofResource(Instance, Res)));
  return true;
}

TFormObject WriteComponentTree(TComponent* Root) { return WriteObject(Root, Root); }

std::string WriteComponentToText(TComponent* Root) { return FormatFormText(WriteComponentTree(Root)); }

void RegisterStandardClasses() {
  static std::once_flag Once;
  std::call_once(Once, [] {
    RegisterClasses<TLabel, TButton, TCheckBox, TSpeedButton, TPanel, TPopupMenu, TMenuItem,
                    TTimer>();
  });
}
