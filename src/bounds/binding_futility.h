#pragma once

#include <cstdint>

#include "input/design_parameters.h"

namespace survseq::bounds {

// The critical value c[k] of analysis k of a one-sided test with binding futility bounds:
// at every interim analysis i < k the paths with Z_i below futilityZ[i] have stopped
// without rejecting, as have those above c[i]. t[1..k] is the information, errorSplit[k]
// the cumulative type-I error to be spent by analysis k, c[1..k-1] the values already
// fixed. boundaryFailed is 1 when the target cannot be reached below kBoundaryCap.
void computeBindingBoundary(int32_t k, const input::AnalysisValues& t,
                            const input::AnalysisValues& errorSplit,
                            const input::AnalysisValues& futilityZ, int32_t& boundaryFailed,
                            input::AnalysisValues& c);

}  // namespace survseq::bounds
