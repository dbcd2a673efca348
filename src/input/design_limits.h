#pragma once

// The limits beyond which a design is refused rather than repaired: counts that would
// not fit the tables, codes with no meaning, accrual that cannot be simulated and a
// desired power the search cannot aim at. Each throws RunError naming `line`, the
// physical line of the parameter file that gave the value.

#include <cstdint>
#include <string_view>

#include "input/design_parameters.h"

namespace survseq::input {

// `count` (described as `what`, e.g. "the number of analyses") must be 1..maximum.
void requireCountWithin(int32_t count, int32_t maximum, std::string_view what, int32_t line);

// The boundary method, after its default, must be one of the codes 1..4.
void requireKnownBoundaryMethod(const DesignParameters& design, int32_t line);

// The planned information is integrated by the midpoint rule in single-precision steps
// of 0.01 from 0 to each analysis time: up to this time the grid advances and the work
// stays within seconds; far beyond it a step no longer moves a single-precision sum.
inline constexpr float kLatestAnalysisTime = 10'000.0f;

// After the repair of the last one, every analysis time must come after the one before,
// and the last must be at most kLatestAnalysisTime.
void requireIncreasingAnalysisTimes(const DesignParameters& design, int32_t line);

// The test must be one- or two-sided.
void requireKnownSides(const DesignParameters& design, int32_t line);

// After their defaults: no negative accrual value, a lower rate not above the upper
// one, and at most kMaxPatientsPerTrial patients at the upper rate.
void requireFeasibleAccrual(const DesignParameters& design, int32_t line);

// The desired power must lie strictly between 0 and 1.
void requireAttainablePower(const DesignParameters& design, int32_t line);

}  // namespace survseq::input
