// Worker threads, hand-over to the GUI thread, resource streams.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "UiTestUtil.h"
#include "ui/Forms.h"
#include "ui/ResourceStream.h"
#include "ui/Threads.h"

namespace {

class TCountedThread : public TThread {
public:
  TCountedThread(std::atomic<int>* Destroyed, bool Throw) : TThread(true), FDestroyed(Destroyed), FThrow(Throw) {}
  ~TCountedThread() override { ++*FDestroyed; }

protected:
  void Execute() override {
    if (FThrow) throw EClearbayError("worker failed");
    SetReturnValue(7);
  }

private:
  std::atomic<int>* FDestroyed;
  bool FThrow;
};

TEST(Threads, AnonymousThreadHandsStepsToTheGuiThreadAndFreesItself) {
  std::atomic<bool> Done{false};
  DWORD SyncThread = 0, QueueThread = 0, Worker = 0;
  int Order = 0, SyncOrder = 0, QueueOrder = 0;
  TThread* T = TThread::CreateAnonymousThread([&] {
    Worker = GetCurrentThreadId();
    TThread::Synchronize([&] {
      SyncThread = GetCurrentThreadId();
      SyncOrder = ++Order;
    });
    TThread::Queue([&] {
      QueueThread = GetCurrentThreadId();
      QueueOrder = ++Order;
      Done = true;
    });
  });
  EXPECT_TRUE(T->FreeOnTerminate());
  T->Start();
  ASSERT_TRUE(PumpUntil([&] { return Done.load(); }));
  EXPECT_NE(Worker, MainThreadID);
  EXPECT_EQ(SyncThread, MainThreadID);
  EXPECT_EQ(QueueThread, MainThreadID);
  EXPECT_EQ(SyncOrder, 1);
  EXPECT_EQ(QueueOrder, 2);
}

TEST(Threads, SelfFreeingThreadsAreFreedAndErrorsEndThemSilently) {
  std::atomic<int> Destroyed{0};
  bool Reported = false;
  Application->OnException = [&](TObject*, const std::wstring&) { Reported = true; };
  auto* A = new TCountedThread(&Destroyed, false);
  A->SetFreeOnTerminate(true);
  A->Start();
  auto* B = new TCountedThread(&Destroyed, true);
  B->SetFreeOnTerminate(true);
  B->Start();
  ASSERT_TRUE(PumpUntil([&] { return Destroyed.load() == 2; }));
  Application->OnException = nullptr;
  EXPECT_FALSE(Reported) << "a worker's error is not shown";

  // A thread that is waited for keeps its error text and result.
  TCountedThread C(&Destroyed, true);
  C.Start();
  C.WaitFor();
  EXPECT_EQ(C.FatalException(), L"worker failed");
  TCountedThread D(&Destroyed, false);
  D.Start();
  EXPECT_EQ(D.WaitFor(), 7);
  EXPECT_TRUE(D.FatalException().empty());
}

TEST(Threads, SynchronizeCarriesErrorsBackToTheWorker) {
  std::atomic<bool> Done{false};
  std::string Caught;
  TThread::CreateAnonymousThread([&] {
    try {
      TThread::Synchronize([] { throw EClearbayError("gui step failed"); });
    } catch (const std::exception& E) {
      Caught = E.what();
    }
    Done = true;
  })->Start();
  ASSERT_TRUE(PumpUntil([&] { return Done.load(); }));
  EXPECT_EQ(Caught, "gui step failed");
}

TEST(Threads, QueuedStepsForAFreedComponentNeverRun) {
  auto* Target = new TComponent(nullptr);
  std::atomic<bool> Queued{false};
  bool Ran = false, OtherRan = false;
  TThread::CreateAnonymousThread([&] {
    TThread::Queue([&] { Ran = true; }, Target);
    TThread::Queue([&] { OtherRan = true; });
    Queued = true;
  })->Start();
  // Wait without handling messages, so the steps are still waiting.
  while (!Queued) Sleep(1);
  delete Target;
  ASSERT_TRUE(PumpUntil([&] { return OtherRan; }));
  EXPECT_FALSE(Ran);
}

TEST(Threads, WaitForOnTheGuiThreadStillServesSynchronize) {
  class TSyncing : public TThread {
  public:
    TSyncing() : TThread(true) {}
    bool Ran = false;

  protected:
    void Execute() override { Synchronize([this] { Ran = true; }); }
  } T;
  T.Start();
  T.WaitFor();
  EXPECT_TRUE(T.Ran);
}

TEST(Threads, PointerShapeSetByAWorkerArrivesOnTheGuiThread) {
  TForm F(nullptr);
  std::atomic<bool> Set{false};
  TThread::CreateAnonymousThread([&] {
    F.SetCursor(crHourGlass);
    Set = true;
  })->Start();
  ASSERT_TRUE(PumpUntil([&] { return Set.load(); }));
  Pump(20);
  EXPECT_EQ(F.Cursor(), crHourGlass);
  F.SetCursor(crDefault);
}

TEST(Resources, StreamsFindResourcesWithoutRegardToCase) {
  TResourceStream S(HInstance, L"sampledata", L"testdata");
  EXPECT_EQ(S.ReadAll(), "sample resource data\r\n");
  TResourceStream Upper(HInstance, L"SAMPLEDATA", L"TESTDATA");
  EXPECT_EQ(Upper.Size(), S.Size());
  TResourceStream Form(HInstance, L"tModalForm", L"FormText");
  EXPECT_GT(Form.Size(), 0);
  EXPECT_THROW(TResourceStream(HInstance, L"nosuch", L"testdata"), EResNotFound);
  EXPECT_THROW(TResourceStream(HInstance, L"sampledata", L"nosuchtype"), EResNotFound);
  EXPECT_TRUE(ResourceExists(HInstance, L"SampleData", L"TestData"));
  // Read-only: writing is refused.
  char B = 0;
  EXPECT_EQ(S.Write(&B, 1), 0u);
}

}  // namespace
