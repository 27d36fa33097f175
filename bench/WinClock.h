// Wall-clock seconds for the Windows benchmarks, from the performance counter.
#pragma once
#include <windows.h>

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

}  // namespace cb::bench
