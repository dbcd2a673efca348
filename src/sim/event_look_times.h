#pragma once

// The calendar times of event-driven analyses in one simulated trial: look k takes place
// when the trial has observed its target number of events, counted exactly as the
// analysis data count them.

#include <cstdint>
#include <vector>

#include "input/design_parameters.h"
#include "sim/simulated_trial.h"

namespace survseq::sim {

struct EventLooks {
  input::AnalysisValues time{};  // [1..finalLook]: calendar time of look k
  // The look that is the trial's final analysis: the last planned one, or the first whose
  // target the trial's events cannot pass. That look is taken at the target's event or,
  // when the events run out before it, at the trial's last event. Later looks are not taken.
  int32_t finalLook = 0;
  int32_t eventCount = 0;  // events the trial shows if followed for ever
};

// The earliest calendar time at which collectAnalysisData sees patient j's event
// (0-based), computed in the same single-precision arithmetic; +infinity when it never
// does (lost to follow-up first, or no event time).
float eventObservationTime(const SimulatedTrial& trial, int32_t j);

// Looks 1..analysisCount of patients 0..subjectCount-1 at the strictly increasing targets
// [1..analysisCount]. `scratch` is working space, grown as needed. A trial with no event
// at all takes its only look at the end of accrual, `accrualEnd`.
void eventLookTimes(const SimulatedTrial& trial, int32_t subjectCount,
                    const input::AnalysisCounts& targets, int32_t analysisCount, float accrualEnd,
                    std::vector<float>& scratch, EventLooks& looks);

}  // namespace survseq::sim
