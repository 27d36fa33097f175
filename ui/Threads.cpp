#include "ui/Threads.h"

#include <deque>
#include <exception>
#include <memory>
#include <mutex>

#include "ui/Classes.h"
#include "ui/Forms.h"
#include "ui/UiText.h"

void (*WakeMainThread)() = nullptr;

namespace {

struct TSyncItem {
  std::function<void()> Proc;
  const void* Tag = nullptr;
  HANDLE Done = nullptr;  // set for Synchronize: the caller waits on it
  std::exception_ptr Error;
  bool Ran = false;
};

struct TSyncState {
  std::mutex Lock;
  std::deque<std::shared_ptr<TSyncItem>> Queue;
};

// Never destroyed: forms freed at exit still remove their queued steps.
TSyncState& State() {
  static auto* S = new TSyncState;
  return *S;
}

void Wake() {
  if (WakeMainThread)
    WakeMainThread();
  else
    PostThreadMessageW(MainThreadID, WM_NULL, 0, 0);
  // A loop waiting without an application window still wakes up.
  PostThreadMessageW(MainThreadID, WM_NULL, 0, 0);
}

std::wstring TextOf(std::exception_ptr E) {
  try {
    std::rethrow_exception(E);
  } catch (const EClearbayError& X) {
    return ToWide(X.Message());
  } catch (const std::exception& X) {
    return Utf8ToWide(X.what());
  } catch (...) {
    return L"An unknown error occurred";
  }
}

class TAnonymousThread : public TThread {
public:
  explicit TAnonymousThread(std::function<void()> Proc) : TThread(true), FProc(std::move(Proc)) {
    SetFreeOnTerminate(true);
  }

protected:
  void Execute() override { FProc(); }

private:
  std::function<void()> FProc;
};

}  // namespace

bool TThread::IsMainThread() { return GetCurrentThreadId() == MainThreadID; }

TThread::TThread(bool CreateSuspended) {
  FHandle = CreateThread(nullptr, 0, ThreadProc, this, CREATE_SUSPENDED, &FThreadID);
  if (!FHandle) throw EInvalidOperation("Cannot create a thread (error " + std::to_string(GetLastError()) + ")");
  if (!CreateSuspended) Start();
}

TThread::~TThread() {
  if (!FStarted) {
    // Let the suspended thread run to its end without executing anything.
    FTerminated = true;
    FFreeOnTerminate = false;
    FStarted = true;
    FAbandoned = true;
    ResumeThread(FHandle);
    WaitForSingleObject(FHandle, INFINITE);
  } else if (!FFinished && GetCurrentThreadId() != FThreadID) {
    Terminate();
    WaitFor();
  }
  CloseHandle(FHandle);
}

TThread* TThread::CreateAnonymousThread(std::function<void()> Proc) { return new TAnonymousThread(std::move(Proc)); }

void TThread::Start() {
  if (FStarted) throw EInvalidOperation("The thread was already started");
  FStarted = true;
  ResumeThread(FHandle);
}

unsigned long __stdcall TThread::ThreadProc(void* Param) {
  auto* T = static_cast<TThread*>(Param);
  if (T->FAbandoned) return 0;
  try {
    T->Execute();
  } catch (...) {
    // A worker's error ends it quietly; the text stays for whoever asks.
    T->FFatalException = TextOf(std::current_exception());
  }
  bool FreeIt = T->FFreeOnTerminate;
  if (T->OnTerminate) {
    try {
      Synchronize([T] { T->OnTerminate(T); });
    } catch (...) {
    }
  }
  T->FFinished = true;
  int Result = T->FReturnValue;
  if (FreeIt) delete T;
  return static_cast<unsigned long>(Result);
}

int TThread::WaitFor() {
  if (FFreeOnTerminate) throw EInvalidOperation("Cannot wait for a thread that frees itself");
  if (!FStarted) throw EInvalidOperation("The thread was not started");
  if (IsMainThread()) {
    // Keep serving Synchronize calls of the thread while waiting for it.
    for (;;) {
      DWORD R = MsgWaitForMultipleObjects(1, &FHandle, FALSE, INFINITE, QS_ALLINPUT);
      if (R == WAIT_OBJECT_0) break;
      CheckSynchronize();
      MSG M;
      while (PeekMessageW(&M, nullptr, CM_SYNCHRONIZE, CM_SYNCHRONIZE, PM_REMOVE)) {
      }
      while (PeekMessageW(&M, nullptr, WM_NULL, WM_NULL, PM_REMOVE)) {
      }
      CheckSynchronize();
      if (WaitForSingleObject(FHandle, 10) == WAIT_OBJECT_0) break;
    }
  } else {
    WaitForSingleObject(FHandle, INFINITE);
  }
  return FReturnValue;
}

void TThread::Synchronize(const std::function<void()>& Proc) {
  if (IsMainThread()) {
    Proc();
    return;
  }
  auto Item = std::make_shared<TSyncItem>();
  Item->Proc = Proc;
  Item->Done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!Item->Done) throw EInvalidOperation("Cannot create an event");
  {
    std::lock_guard<std::mutex> L(State().Lock);
    State().Queue.push_back(Item);
  }
  Wake();
  WaitForSingleObject(Item->Done, INFINITE);
  CloseHandle(Item->Done);
  if (Item->Error) std::rethrow_exception(Item->Error);
}

void TThread::Queue(std::function<void()> Proc, const void* Tag) {
  if (IsMainThread()) {
    Proc();
    return;
  }
  auto Item = std::make_shared<TSyncItem>();
  Item->Proc = std::move(Proc);
  Item->Tag = Tag;
  {
    std::lock_guard<std::mutex> L(State().Lock);
    State().Queue.push_back(Item);
  }
  Wake();
}

void TThread::RemoveQueuedEvents(const void* Tag) {
  if (!Tag) return;
  std::lock_guard<std::mutex> L(State().Lock);
  auto& Q = State().Queue;
  for (auto It = Q.begin(); It != Q.end();) {
    if ((*It)->Tag == Tag && !(*It)->Done)
      It = Q.erase(It);
    else
      ++It;
  }
}

bool CheckSynchronize() {
  if (!TThread::IsMainThread()) return false;
  bool Any = false;
  for (;;) {
    std::shared_ptr<TSyncItem> Item;
    {
      std::lock_guard<std::mutex> L(State().Lock);
      if (State().Queue.empty()) break;
      Item = State().Queue.front();
      State().Queue.pop_front();
    }
    Any = true;
    try {
      Item->Proc();
      Item->Ran = true;
    } catch (...) {
      if (Item->Done)
        Item->Error = std::current_exception();
      else if (Application)
        Application->HandleException(nullptr);
    }
    if (Item->Done) SetEvent(Item->Done);
  }
  return Any;
}

void CancelPendingSynchronize() {
  std::lock_guard<std::mutex> L(State().Lock);
  for (auto& Item : State().Queue)
    if (Item->Done) SetEvent(Item->Done);
  State().Queue.clear();
}
