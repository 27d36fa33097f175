// Objects found from their window's handle on every message that window
// receives: a locked map rather than a window property, since under Wine each
// property read is a round trip to the server.
#pragma once
#include <windows.h>

#include <mutex>
#include <unordered_map>

template <class T>
class TWindowMap {
public:
  T* Find(HWND Wnd) {
    std::lock_guard<std::mutex> L(FLock);
    auto It = FMap.find(Wnd);
    return It == FMap.end() ? nullptr : It->second;
  }
  // Null takes the window out.
  void Set(HWND Wnd, T* Object) {
    std::lock_guard<std::mutex> L(FLock);
    if (Object)
      FMap[Wnd] = Object;
    else
      FMap.erase(Wnd);
  }

private:
  std::mutex FLock;
  std::unordered_map<HWND, T*> FMap;
};
