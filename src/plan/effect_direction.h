#pragma once

// Whether the design's alternative gives the first statistic anything to find: the
// treatment arm may have the control arm's hazard throughout (no effect at all), or, in a
// one-sided test, an effect in the other direction than the test looks for. Either way no
// number of patients reaches the desired power, and the advice to widen the bracket of
// the accrual rate cannot help.
//
// Method: no effect is read off the design (every hazard ratio 1, or the treatment curve
// the control curve point for point); the direction is the sign of the drift of statistic
// 1 at the looks (law/expected_moments.h), positive when the treatment arm has fewer events,
// which is what a one-sided test rejects for: harm at the last look and benefit at none.

#include <string>

#include "input/design_parameters.h"

namespace survseq::plan {

enum class EffectFault { None, NoEffect, OtherDirection };

// Looks at calendar times only (planned from them or not); None for fixed event targets,
// which run at a given size.
EffectFault effectFault(const input::DesignParameters& design);

// A few words for a closing line: "no effect", "an effect in the other direction than the
// one-sided test looks for".
std::string effectFaultWords(EffectFault fault);

// The whole cause, for an error or a warning: what is wrong and why no size helps.
std::string effectFaultText(EffectFault fault);

}  // namespace survseq::plan
