#pragma once

// The shape every curve must have once its own repairs have run: cut points that rise
// strictly from above 0 and survival values that never rise. A curve of another shape
// has no meaning as a survival function, and drawing times from it can leave no time
// beyond a switch point, so it is refused. Each check throws RunError naming `line`,
// the physical line of the parameter file that gave the values, and the first point
// out of order.

#include <cstdint>
#include <string_view>

#include "input/design_parameters.h"

namespace survseq::input {

// Cut points 1..count of `what` (e.g. "the baseline curve") must be above 0 and each
// above the one before.
void requireRisingCutPoints(const IntervalValues& cutPoints, int32_t count, std::string_view what,
                            int32_t line);

// Survival values 1..count of `what` must each be at most the one before, starting
// from s[0] = 1; equal values are allowed (a flat stretch has no events).
void requireNonRisingSurvival(const SurvivalCurve& curve, std::string_view what, int32_t line);

}  // namespace survseq::input
