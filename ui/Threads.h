// Worker threads and hand-over of steps to the GUI thread.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>

class TThread {
public:
  explicit TThread(bool CreateSuspended = true);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // A thread that runs Proc and frees itself when it ends (FreeOnTerminate).
  static TThread* CreateAnonymousThread(std::function<void()> Proc);

  void Start();
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  bool Finished() const { return FFinished; }
  // Waits for the end; not for self-freeing threads. Returns ReturnValue.
  int WaitFor();
  bool FreeOnTerminate() const { return FFreeOnTerminate; }
  void SetFreeOnTerminate(bool Value) { FFreeOnTerminate = Value; }
  DWORD ThreadID() const { return FThreadID; }
  HANDLE Handle() const { return FHandle; }
  // Text of the exception that ended Execute, empty when none.
  const std::wstring& FatalException() const { return FFatalException; }
  int ReturnValue() const { return FReturnValue; }

  // Runs Proc on the GUI thread and waits for it (runs at once when called
  // there). When the application is gone, Proc is not run.
  static void Synchronize(const std::function<void()>& Proc);
  // Runs Proc on the GUI thread later without waiting. With a Tag, the step is
  // dropped when RemoveQueuedEvents(Tag) runs first (a component does so when
  // it is freed, so a step aimed at a closed form never runs).
  static void Queue(std::function<void()> Proc, const void* Tag = nullptr);
  static void RemoveQueuedEvents(const void* Tag);
  static bool IsMainThread();

  // Runs on the GUI thread after Execute (not for self-freeing threads whose
  // application is gone).
  std::function<void(TThread*)> OnTerminate;

protected:
  virtual void Execute() = 0;
  void SetReturnValue(int Value) { FReturnValue = Value; }

private:
  static unsigned long __stdcall ThreadProc(void* Param);
  HANDLE FHandle = nullptr;
  DWORD FThreadID = 0;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  bool FFreeOnTerminate = false;
  bool FStarted = false;
  bool FAbandoned = false;
  int FReturnValue = 0;
  std::wstring FFatalException;
};

// Runs the steps handed to the GUI thread; the application window calls it.
// Returns whether anything ran.
bool CheckSynchronize();
// Wakes the GUI thread when steps are waiting (set by the application object).
extern void (*WakeMainThread)();
// Drops every waiting step and releases threads waiting in Synchronize
// (application shutdown).
void CancelPendingSynchronize();
