#pragma once

// The analytic answer beside the simulated one: the analytic accrual rate of the design
// (plan/analytic_rate.h) and the analytic power at the rate where the search ended, for
// the closing line, the JSON file and the warning when the two powers disagree; and the
// bracket of a design that gives none.

#include <optional>
#include <string>

#include "input/design_parameters.h"
#include "run/run_outcome.h"
#include "search/run_record.h"

namespace survseq::run {

struct AnalyticComparison {
  std::optional<float> accrualRate;        // none when the analytic power never reaches the target
  // Of the trial's test, at the last rate simulated: statistic 1's, or the combination of
  // statistics' for a design with one (plan/combination_power.h).
  std::optional<double> powerAtFinalRate;
  bool ofCombination = false;
};

// Worked out after the search, once; a design the analytic power cannot treat gets none.
AnalyticComparison compareWithAnalytic(const input::DesignParameters& design,
                                       const search::RunRecord& record);

// The warning line (without the "survseq: warning: " prefix) when the simulated power
// of the trial's test at the final rate lies more than three standard errors from the
// analytic power there; empty otherwise.
std::string analyticDistanceWarning(const AnalyticComparison& comparison,
                                    const OutcomeFigures& outcome);

// For a design whose accrual form is AnalyticStart: sets the first rate to the analytic
// rate (whole patients, rounded up), and returns the report's line saying so.
std::string takeAnalyticStart(input::DesignParameters& design);

}  // namespace survseq::run
