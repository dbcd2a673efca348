#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

namespace survseq::bounds {

// The standard normal law in double precision, from the C library, for the recursions
// that need no single-precision reproduction (binding futility, the analytic power).
inline double standardNormalDensity(double x) {
  return std::exp(-0.5 * x * x) / std::sqrt(2.0 * std::numbers::pi);
}
inline double standardNormalUpperTail(double x) { return 0.5 * std::erfc(x / std::sqrt(2.0)); }
inline double standardNormalLowerTail(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// ln(sqrt(2 pi)) as a single-precision value.
inline constexpr float kLogRootTwoPi = 0.9189385f;
// exp() of anything at or below this would underflow single precision.
inline constexpr float kDensityExponentCutoff = -87.0f;

// Standard normal density; exactly 0 once the exponent falls to -87 or below. It is
// densityOfExponent(densityExponent(x)); the vectorised sums of propagation_kernel.h
// take the same two steps lane by lane.
float normalDensity(float x);

// -x^2/2 - ln(sqrt(2 pi)), rounded to single precision.
float densityExponent(float x);

// exp(exponent) rounded to single precision; 0 when the exponent is -87 or below or
// not a number.
float densityOfExponent(float exponent);

// P(Z > x) when `upper`, else P(Z < x) (Hill's algorithm AS 66).
float normalTailArea(float x, bool upper);

// The z with P(Z < z) = p (Odeh and Evans, AS 70). `fault` is 0 on success and 1 with
// result 0 when p is too close to 0 or 1 (or not a number).
float normalQuantile(float p, int32_t& fault);

}  // namespace survseq::bounds
