#pragma once

// What a protocol cites of a design's plan, per statistic: for each look its calendar
// time, the events it needs, the patients enrolled by then, its bounds on the Z scale
// and, for the log-rank statistic, on the hazard-ratio scale (bounds/hazard_ratio_bound.h);
// and over the trial the expected events, duration and patients enrolled when the
// statistic stops, under the alternative and under the null (plan/stop_expectations.h).
// `survseq plan` shows it from the analytic plan, a run from its last iteration.

#include <cstdint>
#include <vector>

#include "input/design_parameters.h"
#include "plan/analytic_power.h"
#include "plan/stop_expectations.h"
#include "search/run_record.h"

namespace survseq::run {

struct ProtocolLook {
  int32_t look = 0;
  double time = 0.0;
  double events = 0.0;
  double patients = 0.0;  // enrolled by the look's time
  float informationFraction = 0.0f;
  float efficacyZ = 0.0f;
  float nominalP = 0.0f;
  double efficacyHazardRatio = 0.0;  // NaN: none (not the log-rank statistic, or no reject)
  bool hasFutilityBound = false;
  float futilityZ = 0.0f;
  double futilityHazardRatio = 0.0;  // NaN: none
};

struct ProtocolStatistic {
  int32_t statistic = 0;
  float rho = 0.0f;
  float tau = 0.0f;
  std::vector<ProtocolLook> looks;
  bool hasExpectations = false;  // false when the analytic plan cannot treat the design
  plan::StopExpectations expected;
};

struct ProtocolTable {
  float accrualRate = 0.0f;
  int32_t patients = 0;
  std::vector<ProtocolStatistic> statistics;
};

// From the analytic plan of `design`.
ProtocolTable protocolTableOfPlan(const input::DesignParameters& design,
                                  const plan::AnalyticPlan& plan);

// From the last iteration of a run: its planned boundaries, look times and the mean events
// of the trials at each look; the expectations from the analytic plan at its rate.
ProtocolTable protocolTableOfRun(const input::DesignParameters& design,
                                 const search::RunRecord& record);

}  // namespace survseq::run
