#pragma once

// When the analyses are planned to take place and how much information each is planned
// to hold, for every analysis timing, allocation and accrual.

#include "input/design_parameters.h"

namespace survseq::bounds {

struct LookSchedule {
  // Event-driven analyses: the events at which each analysis takes place; 0 otherwise.
  input::AnalysisCounts eventTarget{};
  // The calendar time of each analysis, or for event-driven analyses the time at which
  // the expected events reach its target: where its planned information is taken.
  input::AnalysisValues time{};
};

// Calendar analyses: their times. Planned event targets: round(expectedEvents) at each
// analysis time at `rate`; fixed targets: as given. Throws a RunError when the targets do
// not strictly increase from at least 1, or when the expected events never reach one.
LookSchedule lookSchedule(const input::DesignParameters& design, float rate);

// The expected null variance of the statistic (rho, tau) at times[1..analysisCount].
// With one accrual piece and 1:1 allocation this is nullVariances at those times; else
// the same integral with the entered share G of the accrual pieces and the arm shares
// q0, q1 in place of 1/2 each:
//   V(T) = rate x accrualWeight x integral of f(u) w(u)^2 q0 q1 a b / (q0 a + q1 b) G(T - u) du,
// f the baseline density as nullVariances takes it.
void plannedNullVariances(const input::DesignParameters& design, float rate, float rho, float tau,
                          const input::AnalysisValues& times, input::AnalysisValues& variances);

}  // namespace survseq::bounds
