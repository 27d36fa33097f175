// Ownership, names and free notification.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/Classes.h"

namespace {

std::vector<std::wstring> gLog;

// Keeps a link to a component it does not own and records what it hears.
class TWatcher : public TComponent {
  CB_CLASS(TWatcher, TComponent)
public:
  using TComponent::TComponent;
  ~TWatcher() override { gLog.push_back(L"destroy " + Name()); }
  TComponent* Link = nullptr;
  std::vector<std::wstring> Heard;

protected:
  void Notification(TComponent* C, TOperation Op) override {
    TComponent::Notification(C, Op);
    if (Op == opRemove) {
      Heard.push_back(C->Name());
      if (C == Link) Link = nullptr;
    }
  }
};

TEST(Components, OwnerFreesOwnedComponentsLastFirst) {
  gLog.clear();
  auto* Root = new TComponent(nullptr);
  auto* A = new TWatcher(Root);
  A->SetName(L"a");
  auto* B = new TWatcher(Root);
  B->SetName(L"b");
  auto* C = new TWatcher(B);  // owned by b, not by the root
  C->SetName(L"c");
  EXPECT_EQ(Root->ComponentCount(), 2);
  EXPECT_EQ(B->ComponentCount(), 1);
  EXPECT_EQ(C->Owner(), B);
  EXPECT_EQ(B->ComponentIndex(), 1);
  delete Root;
  EXPECT_EQ(gLog, (std::vector<std::wstring>{L"destroy b", L"destroy c", L"destroy a"}));
}

TEST(Components, FreeingAnOwnedComponentLeavesItsOwnerAndTellsSiblings) {
  TComponent Root(nullptr);
  auto* A = new TWatcher(&Root);
  A->SetName(L"a");
  auto* B = new TWatcher(&Root);
  B->SetName(L"b");
  A->Link = B;
  delete B;
  EXPECT_EQ(Root.ComponentCount(), 1);
  EXPECT_EQ(Root.FindComponent(L"b"), nullptr);
  EXPECT_EQ(A->Link, nullptr) << "a sibling must hear that b is gone";
  ASSERT_EQ(A->Heard.size(), 1u);
}

TEST(Components, FreeNotificationReachesComponentsOfOtherOwners) {
  TComponent RootA(nullptr), RootB(nullptr);
  auto* W = new TWatcher(&RootA);
  W->SetName(L"w");
  auto* T = new TWatcher(&RootB);
  T->SetName(L"target");
  W->Link = T;
  W->FreeNotification(T);
  delete T;
  EXPECT_EQ(W->Link, nullptr);
  ASSERT_FALSE(W->Heard.empty());
  EXPECT_EQ(W->Heard.back(), L"target");

  // After RemoveFreeNotification nothing more arrives.
  auto* U = new TWatcher(&RootB);
  U->SetName(L"u");
  W->FreeNotification(U);
  W->RemoveFreeNotification(U);
  size_t Before = W->Heard.size();
  delete U;
  EXPECT_EQ(W->Heard.size(), Before);
}

TEST(Components, LinkedComponentFreedFirstDoesNotLeaveADanglingLink) {
  auto* T = new TWatcher(nullptr);
  T->SetName(L"t");
  {
    TWatcher W(nullptr);
    W.FreeNotification(T);
    ASSERT_EQ(T->FreeNotifies(), (std::vector<TComponent*>{&W}));
  }  // W gone: T's list must no longer name it
  EXPECT_TRUE(T->FreeNotifies().empty());
  delete T;
}

TEST(Components, NamesAreIdentifiersUniqueWithoutCase) {
  TComponent Root(nullptr);
  auto* A = new TComponent(&Root);
  A->SetName(L"btn1");
  auto* B = new TComponent(&Root);
  EXPECT_THROW(B->SetName(L"BTN1"), EComponentError);
  EXPECT_THROW(B->SetName(L"1btn"), EComponentError);
  EXPECT_THROW(B->SetName(L"a b"), EComponentError);
  B->SetName(L"btn2");
  EXPECT_EQ(Root.FindComponent(L"BTN2"), B);
  EXPECT_EQ(Root.FindComponentAs<TComponent>(L"btn1"), A);
  A->SetName(L"");  // unnamed is allowed, any number of times
  B->SetName(L"");
  EXPECT_EQ(Root.FindComponent(L""), nullptr);
}

TEST(Components, InsertComponentMovesOwnership) {
  TComponent RootA(nullptr), RootB(nullptr);
  auto* C = new TComponent(&RootA);
  C->SetName(L"c");
  RootB.InsertComponent(C);
  EXPECT_EQ(C->Owner(), &RootB);
  EXPECT_EQ(RootA.ComponentCount(), 0);
  auto* D = new TComponent(&RootA);
  D->SetName(L"c");
  EXPECT_THROW(RootB.InsertComponent(D), EComponentError) << "a second c under the same owner";
  EXPECT_EQ(D->Owner(), &RootA);
}

TEST(Components, DestroyingStateIsVisibleToNotifiedComponents) {
  class TProbe : public TComponent {
  public:
    using TComponent::TComponent;
    bool SawDestroying = false;

  protected:
    void Notification(TComponent* C, TOperation Op) override {
      TComponent::Notification(C, Op);
      if (Op == opRemove) SawDestroying = (C->ComponentState() & csDestroying) != 0;
    }
  };
  TComponent Root(nullptr);
  auto* P = new TProbe(&Root);
  auto* X = new TComponent(&Root);
  delete X;
  EXPECT_TRUE(P->SawDestroying);
}

class TItem : public TCollectionItem {
  CB_CLASS(TItem, TCollectionItem)
public:
  using TCollectionItem::TCollectionItem;
};

class TItems : public TCollection {
public:
  TItems() : TCollection(TItem::StaticClassInfo()) {}
  int Updates = 0;

protected:
  void Update(TCollectionItem*) override { ++Updates; }
};

TEST(Collections, ItemsKnowTheirIndexAndUpdatesAreBatched) {
  TItems C;
  TItem* A = C.AddItem<TItem>();
  TItem* B = C.AddItem<TItem>();
  EXPECT_EQ(C.Count(), 2);
  EXPECT_EQ(B->Index(), 1);
  B->SetIndex(0);
  EXPECT_EQ(C.Items(0), B);
  EXPECT_EQ(A->Index(), 1);
  int Before = C.Updates;
  C.BeginUpdate();
  C.AddItem<TItem>();
  C.AddItem<TItem>();
  EXPECT_EQ(C.Updates, Before);
  C.EndUpdate();
  EXPECT_EQ(C.Updates, Before + 1);
  delete A;
  EXPECT_EQ(C.Count(), 3);
  EXPECT_THROW(C.Items(3), EComponentError);
  C.Clear();
  EXPECT_EQ(C.Count(), 0);
}

}  // namespace
