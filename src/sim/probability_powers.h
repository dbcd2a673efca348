#pragma once

// Powers of a probability p held in single precision, and of its complement 1 - p, for the
// weights of the statistics, the null-variance integrand and the hazard-ratio alternative:
// exactly what std::pow returns for the base double(p) or 1.0 - double(p), bit for bit.
//
// Shortcuts skip the call where the result is known. x^0 is 1 and x^1 is x itself. p^2 is
// the double product p * p, exact for a single-precision p (two 24-bit significands make
// at most 48 bits). The complement has up to 53 significant bits, so its square must be
// rounded, and so must every square root; std::pow, accurate to a small fraction of a
// unit in the last place (ulp) but not always correctly rounded, can round otherwise than
// the product or std::sqrt when the exact value lies very near the midpoint between two
// doubles. Those two shortcuts therefore work out how far the exact value lies from that
// midpoint (with the exact rounding error of a product) and are taken only beyond
// kMidpointMargin ulp of it; nearer, std::pow is called.
//
// The tests compare every shortcut with std::pow on every float in [kSmallestShortcutBase,
// 1]; outside that range std::pow is always called.

#include <bit>
#include <cmath>
#include <cstdint>

namespace survseq::sim {

inline constexpr float kSmallestShortcutBase = 0x1p-30f;
// The largest distance from a midpoint at which std::pow was seen to round otherwise than
// the correctly rounded result is 0.0085 ulp; this margin is about twice that.
inline constexpr double kMidpointMargin = 1.0 / 64.0;

inline bool shortcutApplies(float p) { return p >= kSmallestShortcutBase && p <= 1.0f; }

// What the power comes to on the shortcut range: 1, the base, its exact square, its
// rounded square or square root where the midpoint is far enough, or only std::pow.
enum class PowerShortcut { One, Base, ExactSquare, Square, SquareRoot, None };

constexpr PowerShortcut probabilityShortcut(double exponent) {
  return exponent == 0.0   ? PowerShortcut::One
         : exponent == 1.0 ? PowerShortcut::Base
         : exponent == 2.0 ? PowerShortcut::ExactSquare
         : exponent == 0.5 ? PowerShortcut::SquareRoot
                           : PowerShortcut::None;
}

constexpr PowerShortcut complementShortcut(double exponent) {
  return exponent == 2.0 ? PowerShortcut::Square : probabilityShortcut(exponent);
}

// std::pow, out of line: a compiler that saw a constant exponent of 2 would put in the
// product of its own accord.
double libraryPower(double base, double exponent);

namespace detail {

// a * a - product exactly, for the rounded product of a with itself (Dekker's product:
// a split into halves of 26 bits whose products are exact).
inline double squareError(double a, double product) {
  const double split = 134217729.0 * a;  // 2^27 + 1
  const double high = split - (split - a);
  const double low = a - high;
  return ((high * high - product) + 2.0 * high * low) + low * low;
}

// The unit in the last place of a positive normal double.
inline double ulpOf(double x) {
  return std::bit_cast<double>(std::bit_cast<uint64_t>(x) & 0x7FF0000000000000u) * 0x1p-52;
}

inline constexpr double kSafeShare = 0.5 - kMidpointMargin;

}  // namespace detail

inline double shortcutPower(PowerShortcut shortcut, float p, double base, double exponent) {
  if (shortcutApplies(p)) {
    switch (shortcut) {
      case PowerShortcut::One: return 1.0;
      case PowerShortcut::Base: return base;
      case PowerShortcut::ExactSquare: return base * base;
      case PowerShortcut::Square: {
        // The exact square lies |error| from the product; the midpoints half an ulp.
        const double square = base * base;
        if (std::fabs(detail::squareError(base, square)) < detail::kSafeShare * detail::ulpOf(square)) {
          return square;
        }
        break;
      }
      case PowerShortcut::SquareRoot: {
        // The exact root lies (base - root^2) / (2 root) from the rounded root, to first order.
        const double root = std::sqrt(base);
        const double square = root * root;
        const double residual = (base - square) - detail::squareError(root, square);
        if (std::fabs(residual) < detail::kSafeShare * 2.0 * root * detail::ulpOf(root)) {
          return root;
        }
        break;
      }
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
