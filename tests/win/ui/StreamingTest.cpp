// Form descriptions: reading in stored order, writing back, errors.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ui/Buttons.h"
#include "ui/Forms.h"
#include "ui/FormStreaming.h"
#include "ui/Menus.h"
#include "ui/StdCtrls.h"
#include "ui/UiText.h"

namespace {

std::vector<std::wstring> gEvents;

enum TKind { kNone, kSome, kAll };

class TOptions : public TPersistent {
  CB_CLASS(TOptions, TPersistent)
public:
  int Time() const { return FTime; }
  void SetTime(int V) { FTime = V; }
  bool Active() const { return FActive; }
  void SetActive(bool V) { FActive = V; }
  static void PublishProperties(TPublisher& P) {
    P.Int(L"Time", &TOptions::Time, &TOptions::SetTime, 0);
    P.Bool(L"Active", &TOptions::Active, &TOptions::SetActive, true);
  }

private:
  int FTime = 0;
  bool FActive = true;
};

// A stored archive: published name, binary data and an extra string through
// DefineProperties, as the skin manager's stored skins will be.
class TBlobItem : public TCollectionItem {
  CB_CLASS(TBlobItem, TCollectionItem)
public:
  using TCollectionItem::TCollectionItem;
  const std::wstring& Title() const { return FTitle; }
  void SetTitle(const std::wstring& V) { FTitle = V; }
  std::vector<std::uint8_t> Data;
  std::wstring Origin;
  int DataReads = 0;
  static void PublishProperties(TPublisher& P) { P.Str(L"Title", &TBlobItem::Title, &TBlobItem::SetTitle); }
  void DefineProperties(TFiler& F) override {
    F.DefineBinaryProperty(
        L"Data",
        [this](TStream& S) {
          ++DataReads;
          Data.resize(static_cast<size_t>(S.Size()));
          if (!Data.empty()) S.ReadBuffer(Data.data(), Data.size());
        },
        [this](TStream& S) {
          if (!Data.empty()) S.WriteBuffer(Data.data(), Data.size());
        },
        !Data.empty());
    F.DefineProperty(
        L"OriginName", [this](TReader& R) { Origin = R.ReadString(); },
        [this](TWriter& W) { W.WriteString(Origin); }, !Origin.empty());
  }

private:
  std::wstring FTitle;
};

class TBlobs : public TCollection {
public:
  TBlobs() : TCollection(TBlobItem::StaticClassInfo()) {}
};

// Records the order in which the reader touches it.
class TRecorder : public TComponent {
  CB_CLASS(TRecorder, TComponent)
public:
  explicit TRecorder(TComponent* AOwner) : TComponent(AOwner) {}
  int First() const { return FFirst; }
  void SetFirst(int V) {
    FFirst = V;
    gEvents.push_back(L"First " + Name());
  }
  int Second() const { return FSecond; }
  void SetSecond(int V) {
    FSecond = V;
    FirstWhenSecondSet = FFirst;
    LoadingWhenSet = (ComponentState() & csLoading) != 0;
    gEvents.push_back(L"Second " + Name());
  }
  std::wstring Text() const { return FText; }
  void SetText(const std::wstring& V) { FText = V; }
  TKind Kind() const { return FKind; }
  void SetKind(TKind V) { FKind = V; }
  std::uint32_t Flags() const { return FFlags; }
  void SetFlags(std::uint32_t V) { FFlags = V; }
  TColor Shade() const { return FShade; }
  void SetShade(TColor V) { FShade = V; }
  double Ratio() const { return FRatio; }
  void SetRatio(double V) { FRatio = V; }
  std::vector<std::wstring> Names() const { return FNames; }
  void SetNames(const std::vector<std::wstring>& V) { FNames = V; }
  TOptions* Options() const { return FOptions.get(); }
  TBlobs* Blobs() const { return FBlobs.get(); }
  TRecorder* Buddy() const { return FBuddy; }
  void SetBuddy(TRecorder* V) {
    FBuddy = V;
    if (V) V->FreeNotification(this);
  }
  TNotifyEvent OnFire;

  int FirstWhenSecondSet = -1;
  bool LoadingWhenSet = false;
  bool LoadedSawLast = false;
  bool LoadedSawBuddy = false;
  int LoadedCalls = 0;

  static void PublishProperties(TPublisher& P) {
    P.Int(L"First", &TRecorder::First, &TRecorder::SetFirst, 0);
    P.Int(L"Second", &TRecorder::Second, &TRecorder::SetSecond, 0);
    P.Str(L"Text", &TRecorder::Text, &TRecorder::SetText);
    P.Enum(L"Kind", &TRecorder::Kind, &TRecorder::SetKind, {L"kNone", L"kSome", L"kAll"}, kNone);
    P.Set(L"Flags", &TRecorder::Flags, &TRecorder::SetFlags, {L"fA", L"fB", L"fC"}, 0);
    P.Color(L"Shade", &TRecorder::Shade, &TRecorder::SetShade, clNone);
    P.Real(L"Ratio", &TRecorder::Ratio, &TRecorder::SetRatio, 0);
    P.Lines(L"Names", &TRecorder::Names, &TRecorder::SetNames);
    P.Object(L"Options", &TRecorder::Options);
    P.Collection(L"Blobs", &TRecorder::Blobs);
    P.Component(L"Buddy", &TRecorder::Buddy, &TRecorder::SetBuddy);
    P.Event(L"OnFire", &TRecorder::OnFire);
  }

protected:
  void Loaded() override {
    TComponent::Loaded();
    ++LoadedCalls;
    LoadedSawLast = Owner() && Owner()->FindComponent(L"last") != nullptr;
    LoadedSawBuddy = FBuddy != nullptr;
    gEvents.push_back(L"Loaded " + Name());
  }
  void Notification(TComponent* C, TOperation Op) override {
    TComponent::Notification(C, Op);
    if (Op == opRemove && C == FBuddy) FBuddy = nullptr;
  }

private:
  int FFirst = 0, FSecond = 0;
  std::wstring FText;
  TKind FKind = kNone;
  std::uint32_t FFlags = 0;
  TColor FShade = clNone;
  double FRatio = 0;
  std::vector<std::wstring> FNames;
  std::unique_ptr<TOptions> FOptions = std::make_unique<TOptions>();
  std::unique_ptr<TBlobs> FBlobs = std::make_unique<TBlobs>();
  TRecorder* FBuddy = nullptr;
};

class TStreamForm : public TForm {
  CB_CLASS(TStreamForm, TForm)
public:
  explicit TStreamForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterField(L"rec1", rec1);
    RegisterField(L"btn1", btn1);
    RegisterMethod(L"FormCreate", &TStreamForm::FormCreate);
    RegisterMethod(L"Fire", &TStreamForm::Fire);
    RegisterMethod(L"btn1Click", &TStreamForm::btn1Click);
    RegisterMethod(L"WrongShape", &TStreamForm::WrongShape);
  }
  TRecorder* rec1 = nullptr;
  TSpeedButton* btn1 = nullptr;
  int Fired = 0, Clicked = 0, Created = 0;
  bool FieldSetBeforeCreate = false;
  void FormCreate(TObject*) {
    ++Created;
    FieldSetBeforeCreate = rec1 != nullptr;
  }
  void Fire(TObject*) { ++Fired; }
  void btn1Click(TObject*) { ++Clicked; }
  void WrongShape(TObject*, int) {}

protected:
  void Loaded() override {
    TForm::Loaded();
    gEvents.push_back(L"Loaded form");
  }
};

struct Registered {
  Registered() { RegisterClasses<TRecorder>(); }
} gRegistered;

const char* kDescription = R"(# everything the reader knows
StreamForm: TStreamForm {
  Caption = "Stream \"test\" 中文"
  ClientWidth = 300
  ClientHeight = 200
  Font.Name = "Tahoma"
  Font.Height = -12
  OnCreate = FormCreate
  rec1: TRecorder {
    First = 1
    Second = 2
    Text = "a" "b" "\u4E2D"
    Kind = kAll
    Flags = [fA, fC]
    Shade = clBtnFace
    Ratio = 14.01
    Names = ( "TButton" "TBitBtn" )
    Options.Time = 100
    Options.Active = false
    Buddy = last
    OnFire = Fire
    Blobs = <
      {
        Title = "one"
        Data = hex { 41 53 7A 66 }
        OriginName = "one.asz"
      }
      {
        Title = "two"
      }
    >
  }
  rec2: TRecorder {
    Second = 5
    First = 7
    Ratio = -3
  }
  btn1: TSpeedButton {
    Left = 17
    Top = 8
    Width = 66
    Height = 22
    Caption = "3D建模"
    Tag = 0x7F
    OnClick = btn1Click
  }
  last: TRecorder {
  }
}
)";

TEST(Streaming, ComponentsAndPropertiesAreReadInStoredOrder) {
  gEvents.clear();
  TStreamForm F(nullptr);
  F.InitializeFormFromText(kDescription);
  ASSERT_NE(F.rec1, nullptr) << "fields are filled by name";
  ASSERT_NE(F.btn1, nullptr);
  EXPECT_EQ(F.Name(), L"StreamForm");
  EXPECT_EQ(F.Caption(), L"Stream \"test\" \u4E2D\u6587");
  EXPECT_EQ(F.ClientWidth(), 300);
  EXPECT_EQ(F.Font()->Height(), -12);

  TRecorder* R1 = F.rec1;
  auto* R2 = F.FindComponentAs<TRecorder>(L"rec2");
  ASSERT_NE(R2, nullptr);
  EXPECT_EQ(R1->FirstWhenSecondSet, 1) << "a setter sees the properties stored before it";
  EXPECT_EQ(R2->FirstWhenSecondSet, 0) << "and not those stored after it";
  EXPECT_TRUE(R1->LoadingWhenSet);
  EXPECT_EQ(R1->Text(), L"ab\u4E2D");
  EXPECT_EQ(R1->Kind(), kAll);
  EXPECT_EQ(R1->Flags(), 5u);
  EXPECT_EQ(R1->Shade(), clBtnFace);
  EXPECT_EQ(R1->Ratio(), 14.01);
  EXPECT_EQ(R2->Ratio(), -3.0) << "a whole number is a real too";
  EXPECT_EQ(R1->Names(), (std::vector<std::wstring>{L"TButton", L"TBitBtn"}));
  EXPECT_EQ(R1->Options()->Time(), 100);
  EXPECT_FALSE(R1->Options()->Active());
  ASSERT_EQ(R1->Blobs()->Count(), 2);
  auto* B0 = static_cast<TBlobItem*>(R1->Blobs()->Items(0));
  EXPECT_EQ(B0->Title(), L"one");
  EXPECT_EQ(B0->Data, (std::vector<std::uint8_t>{'A', 'S', 'z', 'f'}));
  EXPECT_EQ(B0->Origin, L"one.asz");
  EXPECT_TRUE(static_cast<TBlobItem*>(R1->Blobs()->Items(1))->Data.empty());

  // Components in stored order, owned by the form; the button sits on it.
  ASSERT_EQ(F.ComponentCount(), 4);
  EXPECT_EQ(F.Components(0)->Name(), L"rec1");
  EXPECT_EQ(F.Components(3)->Name(), L"last");
  EXPECT_EQ(F.btn1->Parent(), &F);
  EXPECT_EQ(F.btn1->Tag(), 0x7F);
  EXPECT_EQ(F.btn1->Caption(), L"3D\u5EFA\u6A21");
  EXPECT_EQ(F.btn1->BoundsRect(), TRect(17, 8, 83, 30));

  // Events bound by name to the form's methods.
  ASSERT_TRUE(R1->OnFire);
  R1->OnFire(R1);
  EXPECT_EQ(F.Fired, 1);
  F.btn1->Click();
  EXPECT_EQ(F.Clicked, 1);
  EXPECT_EQ(F.Created, 1);
  EXPECT_TRUE(F.FieldSetBeforeCreate);

  // References resolve after the whole tree is read; Loaded runs after that,
  // once per component, the form last.
  EXPECT_EQ(R1->Buddy(), F.FindComponent(L"last"));
  EXPECT_TRUE(R1->LoadedSawLast);
  EXPECT_TRUE(R1->LoadedSawBuddy);
  EXPECT_EQ(R1->LoadedCalls, 1);
  EXPECT_FALSE(R1->ComponentState() & csLoading);
  std::vector<std::wstring> Tail(gEvents.end() - 4, gEvents.end());
  EXPECT_EQ(Tail, (std::vector<std::wstring>{L"Loaded rec1", L"Loaded rec2", L"Loaded last", L"Loaded form"}));
  std::vector<std::wstring> Head(gEvents.begin(), gEvents.begin() + 4);
  EXPECT_EQ(Head, (std::vector<std::wstring>{L"First rec1", L"Second rec1", L"Second rec2", L"First rec2"}));

  // The linked buddy going away clears the reference.
  delete F.FindComponent(L"last");
  EXPECT_EQ(R1->Buddy(), nullptr);
}

TEST(Streaming, WrittenTextReadsBackToTheSameText) {
  TStreamForm A(nullptr);
  A.InitializeFormFromText(kDescription);
  std::string T1 = WriteComponentToText(&A);
  TStreamForm B(nullptr);
  B.InitializeFormFromText(T1);
  std::string T2 = WriteComponentToText(&B);
  EXPECT_EQ(T1, T2);
  // And it is the data of the original, not merely stable.
  EXPECT_NE(T1.find("Second = 2"), std::string::npos);
  EXPECT_NE(T1.find("OnFire = Fire"), std::string::npos);
  EXPECT_NE(T1.find("Buddy = last"), std::string::npos);
  EXPECT_NE(T1.find("Flags = [fA, fC]"), std::string::npos);
  EXPECT_NE(T1.find("Options.Time = 100"), std::string::npos);
  EXPECT_NE(T1.find("Ratio = 14.01\n"), std::string::npos);
  EXPECT_NE(T1.find("Ratio = -3.0\n"), std::string::npos);
  EXPECT_EQ(B.rec1->Ratio(), 14.01);
  EXPECT_NE(T1.find("OriginName = \"one.asz\""), std::string::npos);
  EXPECT_EQ(T1.find("First = 0"), std::string::npos) << "defaults are not written";
  EXPECT_EQ(B.rec1->Names(), A.rec1->Names());
  EXPECT_EQ(static_cast<TBlobItem*>(B.rec1->Blobs()->Items(0))->Data,
            static_cast<TBlobItem*>(A.rec1->Blobs()->Items(0))->Data);
  EXPECT_EQ(B.btn1->Caption(), A.btn1->Caption());
}

TEST(Streaming, LargeBinaryPropertyRoundTripsIntact) {
  // A tree built in code: one item carrying 60 KB of arbitrary bytes.
  TStreamForm A(nullptr);
  A.SetName(L"Big");
  auto* R = new TRecorder(&A);
  R->SetName(L"rec1");
  auto* Item = R->Blobs()->AddItem<TBlobItem>();
  Item->SetTitle(L"MetroUI (internal)");
  std::mt19937 Gen(42);
  Item->Data.resize(60 * 1024 + 7);
  for (auto& B : Item->Data) B = static_cast<std::uint8_t>(Gen());
  std::string Text = WriteComponentToText(&A);

  TStreamForm B(nullptr);
  B.InitializeFormFromText(Text);
  ASSERT_NE(B.rec1, nullptr);
  ASSERT_EQ(B.rec1->Blobs()->Count(), 1);
  auto* Read = static_cast<TBlobItem*>(B.rec1->Blobs()->Items(0));
  EXPECT_EQ(Read->DataReads, 1);
  EXPECT_EQ(Read->Data, Item->Data);
  EXPECT_EQ(WriteComponentToText(&B), Text);
}

TEST(Streaming, MenusNestTheirItems) {
  const char* Text = R"(StreamForm: TStreamForm {
  pm1: TPopupMenu {
    p1: TMenuItem {
      Caption = "Uninstall"
      OnClick = Fire
    }
    N1: TMenuItem {
      Caption = "Install"
    }
  }
}
)";
  TStreamForm F(nullptr);
  F.InitializeFormFromText(Text);
  auto* Pm = F.FindComponentAs<TPopupMenu>(L"pm1");
  ASSERT_NE(Pm, nullptr);
  ASSERT_EQ(Pm->Items()->Count(), 2);
  EXPECT_EQ(Pm->Items()->Items(0)->Caption(), L"Uninstall");
  EXPECT_EQ(Pm->Items()->Items(1)->Name(), L"N1");
  Pm->Items()->Items(0)->Click();
  EXPECT_EQ(F.Fired, 1);
  std::string Written = WriteComponentToText(&F);
  EXPECT_NE(Written.find("  pm1: TPopupMenu {\n    p1: TMenuItem {\n      Caption = \"Uninstall\"\n      OnClick = Fire\n    }\n"),
            std::string::npos)
      << Written;
  TStreamForm G(nullptr);
  G.InitializeFormFromText(Written);
  EXPECT_EQ(WriteComponentToText(&G), Written);
}

// Each faulty description is refused with its line named.
TEST(Streaming, FaultyDescriptionsAreRefusedWithTheirLine) {
  struct TCase {
    const char* Text;
    const char* Expect;
  };
  const TCase Cases[] = {
      {"StreamForm: TStreamForm {\n  x: TNoSuchClass {\n  }\n}\n", "line 2"},
      {"StreamForm: TStreamForm {\n  Caption = 12\n}\n", "a string expected"},
      {"StreamForm: TStreamForm {\n  Bogus = 1\n}\n", "has no property Bogus"},
      {"StreamForm: TStreamForm {\n  OnCreate = Missing\n}\n", "has no method Missing"},
      {"StreamForm: TStreamForm {\n  OnCreate = WrongShape\n}\n", "does not fit"},
      {"StreamForm: TStreamForm {\n  Caption = \"open\n}\n", "line 2"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Blobs = <\n      {\n        Data = base64 { QQ*= }\n      }\n    >\n  }\n}\n",
       "line 5"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n  }\n  rec1: TRecorder {\n  }\n}\n", "line 4"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Kind = kMany\n  }\n}\n", "kMany"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Buddy = nobody\n  }\n}\n", "nobody"},
      {"StreamForm: TStreamForm {\n  btn1: TRecorder {\n  }\n}\n", "cannot hold"},
      {"Other: TOtherForm {\n}\n", "not for TStreamForm"},
      {"StreamForm: TStreamForm {\n  Tag = 99999999999999999999\n}\n", "out of range"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Second = 3000000000\n  }\n}\n", "Second: number out of range"},
      {"StreamForm: TStreamForm {\n  ClientWidth = -2147483649\n}\n", "out of range"},
      {"StreamForm: TStreamForm {\n", "end of the text"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Ratio = \"1\"\n  }\n}\n", "a real number expected"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    First = 1.5\n  }\n}\n", "a number expected"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Ratio = 1.\n  }\n}\n", "line 3: bad number"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Ratio = .5\n  }\n}\n", "line 3"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Ratio = 1e\n  }\n}\n", "line 3: bad number"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Ratio = 2.5x\n  }\n}\n", "line 3: bad number"},
      {"StreamForm: TStreamForm {\n  rec1: TRecorder {\n    Ratio = 1e999\n  }\n}\n", "line 3: number out of range"},
      {"StreamForm: TStreamForm {\n}\ntrailing", "after the end"},
  };
  for (const TCase& C : Cases) {
    TStreamForm F(nullptr);
    try {
      F.InitializeFormFromText(C.Text);
      ADD_FAILURE() << "accepted: " << C.Text;
    } catch (const EFormError& E) {
      EXPECT_NE(std::string(E.what()).find(C.Expect), std::string::npos) << E.what() << "\nfor: " << C.Text;
    }
  }
}

TEST(Streaming, DeepNestingIsRefusedNotOverflowed) {
  std::string Text = "StreamForm: TStreamForm {\n";
  for (int i = 0; i < 5000; ++i) Text += "p" + std::to_string(i) + ": TPanel {\n";
  for (int i = 0; i < 5000; ++i) Text += "}\n";
  Text += "}\n";
  TStreamForm F(nullptr);
  EXPECT_THROW(F.InitializeFormFromText(Text), EFormError);
}

TEST(Streaming, ADescriptionMadeAtAnotherDensityScalesFromIt) {
  TStreamForm F(nullptr);
  F.InitializeFormFromText(R"(StreamForm: TStreamForm {
  PixelsPerInch = 120
  ClientWidth = 500
  ClientHeight = 250
  btn1: TSpeedButton {
    Left = 20
    Top = 10
    Width = 100
    Height = 30
  }
}
)");
  EXPECT_EQ(F.CurrentPPI(), 120);
  EXPECT_EQ(F.btn1->CurrentPPI(), 120);
  F.ScaleForPPI(96);
  EXPECT_EQ(F.btn1->BoundsRect(), TRect(16, 8, 96, 32));
  EXPECT_EQ(F.ClientWidth(), 400);
  EXPECT_EQ(F.ClientHeight(), 200);
}

class TModalForm : public TForm {
  CB_CLASS(TModalForm, TForm)
public:
  explicit TModalForm(TComponent* AOwner) : TForm(AOwner) {
    RegisterField(L"btnOk", btnOk);
    RegisterMethod(L"FormCreate", &TModalForm::FormCreate);
    RegisterMethod(L"FormClose", &TModalForm::FormClose);
    RegisterMethod(L"btnOkClick", &TModalForm::btnOkClick);
    InitializeForm();
  }
  TButton* btnOk = nullptr;
  bool Created = false;
  void FormCreate(TObject*) { Created = true; }
  void FormClose(TObject*, TCloseAction&) {}
  void btnOkClick(TObject*) {}
};

TEST(Streaming, FormsReadTheResourceNamedAfterTheirClass) {
  TModalForm F(nullptr);
  EXPECT_TRUE(F.Created);
  ASSERT_NE(F.btnOk, nullptr);
  EXPECT_TRUE(F.btnOk->Default());
  EXPECT_EQ(F.btnOk->ModalResult(), mrOk);
  EXPECT_EQ(F.BorderStyle(), bsDialog);
  EXPECT_EQ(F.BorderIcons(), biSystemMenu);
  // A form without a description says so.
  EXPECT_THROW({ TStreamForm G(nullptr); G.InitializeForm(); }, EResNotFound);
}

}  // namespace
