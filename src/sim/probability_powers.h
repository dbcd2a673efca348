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

inline bool shortcutApplies(float p) { return p >= kSmallestShortcutBase && p <= 1.0f; }

// What the power comes to on the shortcut range: 1, the base, the base squared, or only
// what std::pow says.
enum class PowerShortcut { One, Base, Square, None };

constexpr PowerShortcut probabilityShortcut(double exponent) {
  return exponent == 0.0 ? PowerShortcut::One
         : exponent == 1.0 ? PowerShortcut::Base
         : exponent == 2.0 ? PowerShortcut::Square
                           : PowerShortcut::None;
}

constexpr PowerShortcut complementShortcut(double exponent) {
  return exponent == 0.0 ? PowerShortcut::One
         : exponent == 1.0 ? PowerShortcut::Base
                           : PowerShortcut::None;
}

// std::pow, out of line: a compiler that saw a constant exponent of 2 would put in the
// product of its own accord.
double libraryPower(double base, double exponent);

inline double shortcutPower(PowerShortcut shortcut, float p, double base, double exponent) {
  if (shortcutApplies(p)) {
    switch (shortcut) {
      case PowerShortcut::One: return 1.0;
      case PowerShortcut::Base: return base;
      case PowerShortcut::Square: return base * base;
      case PowerShortcut::None: break;
    }
  }
  return libraryPower(base, exponent);
}

// p^exponent.
inline double powerOfProbability(float p, double exponent) {
  return shortcutPower(probabilityShortcut(exponent), p, double(p), exponent);
}

// (1 - p)^exponent.
inline double powerOfComplement(float p, double exponent) {
  return shortcutPower(complementShortcut(exponent), p, 1.0 - double(p), exponent);
}

}  // namespace survseq::sim
