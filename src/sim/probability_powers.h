#pragma once

// Powers of a probability p held in single precision, and of its complement 1 - p, for the
// weights of the statistics, the null-variance integrand and the hazard-ratio alternative:
// exactly what std::pow returns for the base double(p) or 1.0 - double(p), bit for bit.
// Shortcuts skip the call where the result is known: x^0 is 1, x^1 is x itself, and p^2
// is the double product p * p, exact for a single-precision p (two 24-bit significands
// make at most 48 bits). The complement has up to 53 significant bits and its square must
// be rounded, which std::pow does differently from the product for some p: no shortcut.
// The tests compare every shortcut with std::pow on every float in [kSmallestShortcutBase,
// 1]; outside that range std::pow is always called.

namespace survseq::sim {

inline constexpr float kSmallestShortcutBase = 0x1p-30f;

// std::pow, out of line: a compiler that saw a constant exponent of 2 would put in the
// product of its own accord.
double libraryPower(double base, double exponent);

inline bool shortcutApplies(float p) { return p >= kSmallestShortcutBase && p <= 1.0f; }

inline double powerOfProbability(float p, double exponent) {
  const double base = p;
  if (shortcutApplies(p)) {
    if (exponent == 0.0) return 1.0;
    if (exponent == 1.0) return base;
    if (exponent == 2.0) return base * base;
  }
  return libraryPower(base, exponent);
}

inline double powerOfComplement(float p, double exponent) {
  const double base = 1.0 - double(p);
  if (shortcutApplies(p)) {
    if (exponent == 0.0) return 1.0;
    if (exponent == 1.0) return base;
  }
  return libraryPower(base, exponent);
}

}  // namespace survseq::sim
