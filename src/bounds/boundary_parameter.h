#pragma once

// The parameter b of the Haybittle boundary and of the use function with parameter b, and
// the rule that raises it: in steps of 0.1, until the Haybittle boundary has a last
// critical value, or until the use function spends no more than the type-I error by the
// largest information ratio. The simulation pass applies the rule at each pass's null
// variances, the analytic power at the planned ones.

#include "input/design_parameters.h"

namespace survseq::bounds {

// A b below this is unusable for the use function; it starts from kDefaultB instead.
inline constexpr float kSmallestUsableB = 0.001f;
inline constexpr float kDefaultB = 3.0f;

// b one step higher. A RunError naming line 54 past 50: with a type-I error too small
// for any b the loops that raise b would never end.
float raisedB(float b);

// Error spent by the use function with parameter b at the largest information ratio e^m:
// 4 phi(b)/b + (b - 1/b) phi(b) m.
float useFunctionBError(float b, float m);

// The Haybittle boundary at information v[1..K]: critical[k] = b at the interim analyses
// and, at the last, the value that spends what is left of alpha / 3 (errorSplit[K] is set
// to it). False when the interim values already spend too much and no last value exists.
bool haybittleBoundary(const input::DesignParameters& design, const input::AnalysisValues& v,
                       float b, input::AnalysisValues& errorSplit,
                       input::AnalysisValues& critical);

}  // namespace survseq::bounds
