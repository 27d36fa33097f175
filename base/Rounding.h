#pragma once
// Rounding to nearest with ties to even, the rule every fade level, glyph size
// and gradient step of the skin uses. Written out rather than left to
// nearbyint, whose result follows the thread's floating-point rounding mode,
// which a loaded DLL may change.

#include <cmath>
#include <cstdint>

inline double RoundEvenValue(double V) {
  // The floor of a positive value below 2^52 is its truncation, which needs no
  // call (a window shadow rounds thousands of levels as a skin loads).
  const double F = V > 0 && V < 4503599627370496.0 ? static_cast<double>(static_cast<std::int64_t>(V)) : std::floor(V);
  const double D = V - F;
  if (D > 0.5 || (D == 0.5 && std::fmod(F, 2.0) != 0)) return F + 1;
  return F;
}

inline int RoundEven(double V) { return static_cast<int>(RoundEvenValue(V)); }
