#pragma once

#include <cstdint>

namespace survseq::bounds {

// Standard normal density; exactly 0 once the exponent falls to -87 or below.
float normalDensity(float x);

// P(Z > x) when `upper`, else P(Z < x) (Hill's algorithm AS 66).
float normalTailArea(float x, bool upper);

// The z with P(Z < z) = p (Odeh and Evans, AS 70). `fault` is 0 on success and 1 with
// result 0 when p is too close to 0 or 1 (or not a number).
float normalQuantile(float p, int32_t& fault);

}  // namespace survseq::bounds
