#pragma once
// Rounding to nearest with ties to even, the rule every fade level, glyph size
// and gradient step of the skin uses. Written out rather than left to
// nearbyint, whose result follows the thread's floating-point rounding mode,
// which a loaded DLL may change.

#include <cmath>

inline double RoundEvenValue(double V) {
  const double F = std::floor(V);
  const double D = V - F;
  if (D > 0.5 || (D == 0.5 && std::fmod(F, 2.0) != 0)) return F + 1;
  return F;
}

inline int RoundEven(double V) { return static_cast<int>(RoundEvenValue(V)); }
