#pragma once

#include <cstdint>

namespace survseq::bounds {

// The critical value of a single analysis that spends `error` (split over `sides`
// tails): the quantile 1 - error/sides, or kBoundaryCap when there is no usable
// quantile (no error to spend).
float fixedSampleCriticalValue(float error, int32_t sides);

}  // namespace survseq::bounds
