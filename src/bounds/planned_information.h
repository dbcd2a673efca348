#pragma once

// When the analyses are planned to take place, and how much information each statistic
// is planned to hold there: the scale on which every trial spends its type-I error.

#include <array>

#include "input/design_parameters.h"

namespace survseq::bounds {

struct LookSchedule {
  // Event-driven analyses: the events at which each analysis takes place; 0 otherwise.
  input::AnalysisCounts eventTarget{};
  // The calendar time of each analysis, or for event-driven analyses the time at which
  // the events expected under the design's alternative reach its target.
  input::AnalysisValues time{};
  // The same under the null hypothesis: event-driven analyses come sooner there (NaN for
  // a target the null never reaches).
  input::AnalysisValues nullTime{};
};

// Calendar analyses: their times. Planned event targets: round(expected events) at each
// analysis time at `rate`; fixed targets: as given. The expected events are those of the
// exact law the trials are drawn from (law/expected_moments.h), with the patients a trial
// has at `rate`. Throws a RunError when the targets do not strictly increase from at
// least 1, or when the expected events never reach one.
LookSchedule lookSchedule(const input::DesignParameters& design, float rate);

// The planned information of each statistic [1..statisticCount] at each look [1..K].
using PlannedInformationTable =
    std::array<input::AnalysisValues, input::MaxStatistics + 1>;

// The information planned at the looks of `looks` at `rate`, on the design's scale:
// - Alternative: N v(T_k), the information a trial of N patients is expected to have
//   under the alternative at the time T_k its look is expected;
// - Null: the same under the null hypothesis, at the time the look is expected there;
// - Original: the original null variance (law/null_variance.h) at T_k.
PlannedInformationTable plannedInformation(const input::DesignParameters& design, float rate,
                                           const LookSchedule& looks);

}  // namespace survseq::bounds
