// The built-in skin archive as a Windows test program carries it: the
// resource METROUI of the program (see cb_embed_skin in tests/win).
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

namespace cb::test {

inline std::vector<std::uint8_t> MetroUIArchive() {
  HRSRC R = FindResourceW(nullptr, L"METROUI", reinterpret_cast<LPCWSTR>(RT_RCDATA));
  if (!R) return {};
  auto* P = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, R)));
  return {P, P + SizeofResource(nullptr, R)};
}

}  // namespace cb::test
