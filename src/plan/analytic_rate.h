#pragma once

// The accrual rate at which the analytic power of the trial's test reaches the desired
// power, where a search by simulation without a bracket starts: the first statistic's
// (analytic_power.h), or the combination's where the design combines statistics
// (combination_power.h).

#include "input/design_parameters.h"
#include "plan/analytic_power.h"

namespace survseq::plan {

// The model of the design's analytic power at `rate` (at a thousand patients when the
// rate is 0): its looks and boundaries are those of a trial at that rate.
AnalyticModel analyticModelAt(const input::DesignParameters& design, double rate);

// The smallest rate whose analytic power of the trial's test is `desiredPower` (the power
// grows with the patients, as the drift grows with their root and nothing else moves),
// or the design's desired power. A RunError when no rate up to the largest trial
// reaches it.
double analyticAccrualRate(const input::DesignParameters& design, double desiredPower);
double analyticAccrualRate(const input::DesignParameters& design);

// The analytic power of the trial's test at `rate` with `patients`.
double analyticTestPower(const input::DesignParameters& design, double rate, double patients);

// The design's plan: at its given rate or patients, or else at the analytic rate,
// rounded up to whole patients (the smallest rate enrolling them).
AnalyticPlan planOfDesign(const input::DesignParameters& design);

inline bool hasGivenSize(const input::DesignParameters& design) {
  return design.accrualForm == input::AccrualForm::GivenRate ||
         design.accrualForm == input::AccrualForm::GivenPatients;
}

}  // namespace survseq::plan
