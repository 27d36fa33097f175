// Wall-clock seconds for the Windows benchmarks, from the performance counter.
#pragma once
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace cb::bench {

inline double Now() {
  static const LARGE_INTEGER F = [] {
    LARGE_INTEGER X;
    QueryPerformanceFrequency(&X);
    return X;
  }();
  LARGE_INTEGER C;
  QueryPerformanceCounter(&C);
  return static_cast<double>(C.QuadPart) / static_cast<double>(F.QuadPart);
}

// Seconds the calling thread has run on a processor. The system's thread
// times count in scheduler ticks (10 ms under Wine), too coarse for one step;
// under Wine the kernel's nanosecond count of the Unix thread is read instead.
// Only the main thread can be found that way (its Unix thread id is the
// process id); on another thread, or where that fails, the ticks are the answer.
class TThreadClock {
public:
  TThreadClock() : FStat(OpenOwnSchedStat()) {}
  ~TThreadClock() {
    if (FStat != INVALID_HANDLE_VALUE) CloseHandle(FStat);
  }
  TThreadClock(const TThreadClock&) = delete;
  TThreadClock& operator=(const TThreadClock&) = delete;
  bool Exact() const { return FStat != INVALID_HANDLE_VALUE; }
  double Seconds() const {
    if (FStat != INVALID_HANDLE_VALUE) {
      // The kernel adds a running thread's time at its scheduling points
      // only: a yield is one, so the reading is up to date.
      SwitchToThread();
      if (const long long Ns = Read(FStat); Ns >= 0) return static_cast<double>(Ns) / 1e9;
    }
    FILETIME C, E, K, U;
    GetThreadTimes(GetCurrentThread(), &C, &E, &K, &U);
    auto S = [](FILETIME T) { return static_cast<double>((ULONGLONG(T.dwHighDateTime) << 32) | T.dwLowDateTime) / 1e7; };
    return S(K) + S(U);
  }

private:
  // The Unix process whose command line names this program and whose main
  // thread's count moves while this thread spins.
  static HANDLE OpenOwnSchedStat() {
    wchar_t Exe[MAX_PATH];
    const DWORD Len = GetModuleFileNameW(nullptr, Exe, MAX_PATH);
    if (!Len || Len >= MAX_PATH) return INVALID_HANDLE_VALUE;
    const wchar_t* Base = std::wcsrchr(Exe, L'\\');
    char Name[MAX_PATH];
    if (!WideCharToMultiByte(CP_UTF8, 0, Base ? Base + 1 : Exe, -1, Name, MAX_PATH, nullptr, nullptr))
      return INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW D;
    HANDLE F = FindFirstFileW(L"Z:\\proc\\*", &D);
    if (F == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    HANDLE Found = INVALID_HANDLE_VALUE;
    do {
      if (D.cFileName[0] < L'0' || D.cFileName[0] > L'9') continue;
      const std::wstring Dir = std::wstring(L"Z:\\proc\\") + D.cFileName;
      HANDLE C = CreateFileW((Dir + L"\\cmdline").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
      if (C == INVALID_HANDLE_VALUE) continue;
      char B[4096] = {};
      DWORD N = 0;
      ReadFile(C, B, sizeof B - 1, &N, nullptr);
      CloseHandle(C);
      for (DWORD I = 0; I < N; ++I)
        if (!B[I]) B[I] = ' ';
      if (!std::strstr(B, Name)) continue;
      HANDLE S = CreateFileW((Dir + L"\\task\\" + D.cFileName + L"\\schedstat").c_str(), GENERIC_READ,
                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (S != INVALID_HANDLE_VALUE && Spins(S)) {
        Found = S;
        break;
      }
      if (S != INVALID_HANDLE_VALUE) CloseHandle(S);
    } while (FindNextFileW(F, &D));
    FindClose(F);
    return Found;
  }
  static long long Read(HANDLE S) {
    char B[64] = {};
    DWORD N = 0;
    SetFilePointer(S, 0, nullptr, FILE_BEGIN);
    return ReadFile(S, B, sizeof B - 1, &N, nullptr) && N ? std::atoll(B) : -1;
  }
  // Spinning here for 50 ms must show there, even on a busy machine.
  static bool Spins(HANDLE S) {
    const long long A = Read(S);
    const double T0 = Now();
    while (Now() - T0 < 0.05) {
    }
    const long long B = Read(S);
    return A >= 0 && B - A >= 5'000'000;
  }
  HANDLE FStat = INVALID_HANDLE_VALUE;
};

}  // namespace cb::bench
