#pragma once

// What a trial is expected to have spent when one of its statistics stops: the events,
// the calendar time and the patients enrolled at the look where it stops (for efficacy,
// for futility, or at the last look), under the design's alternative and under the null
// hypothesis; and the events and time of each look under the null.
//
// Method: E[X] = sum over the looks k of P(stop at k) X_k, with P(stop at k) the analytic
// plan's crossing probabilities (analytic_power.h; the last look takes what is left) and
// X_k the look's expected figure under the same hypothesis (Jennison and Turnbull 2000,
// Group Sequential Methods, section 7.2, expected sample size). Under the alternative
// X_k is the plan's expected time and events of look k. Under the null both arms follow
// the baseline curve: a look at a calendar time keeps its time and has the null's
// expected events; a look at an event target keeps its target and comes when the null's
// expected events reach it. The patients enrolled by a time are N times the share
// enrolled by it (input/accrual_profile.h).

#include <array>
#include <cstdint>

#include "input/design_parameters.h"
#include "plan/analytic_power.h"

namespace survseq::plan {

// Expected figures of one hypothesis; NaN where a look's figure does not exist (the null
// never reaches an event target).
struct StopExpectation {
  double events = 0.0;
  double duration = 0.0;
  double patients = 0.0;
};

struct LookUnderNull {
  double time = 0.0;
  double events = 0.0;
};
using LooksUnderNull = std::array<LookUnderNull, input::MaxAnalyses + 1>;  // [1..K]

// The time and events of each look of `plan` under the null hypothesis.
LooksUnderNull looksUnderNull(const input::DesignParameters& design, const AnalyticPlan& plan);

struct StopExpectations {
  StopExpectation alternative;
  StopExpectation null;
};

// For statistic `statistic` of `plan` (whose looks under the null are `null`).
StopExpectations stopExpectations(const input::DesignParameters& design, const AnalyticPlan& plan,
                                  const LooksUnderNull& null, int32_t statistic);

}  // namespace survseq::plan
