#pragma once

// The accrual rate at which the analytic power (analytic_power.h) of the first
// statistic reaches the desired power, and the bracket a search by simulation takes
// from it when the design gives none.

#include "input/design_parameters.h"
#include "plan/analytic_power.h"

namespace survseq::plan {

// The model of the design's analytic power at `rate` (at a thousand patients when the
// rate is 0): its looks and boundaries are those of a trial at that rate.
AnalyticModel analyticModelAt(const input::DesignParameters& design, double rate);

// The smallest rate whose analytic power of statistic 1 is `desiredPower` (the power
// grows with the patients, as the drift grows with their root and nothing else moves),
// or the design's desired power. A RunError when no rate up to the largest trial
// reaches it.
double analyticAccrualRate(const input::DesignParameters& design, double desiredPower);
double analyticAccrualRate(const input::DesignParameters& design);

struct RateBracket {
  float lower = 0.0f;
  float upper = 0.0f;
};

// A bracket around the analytic rate x: [0.8 x, 1.25 x], each end pushed out by the same
// factor until its analytic power lies at least kBracketMargin from the desired power on
// the normal-quantile scale (power below at the lower end, above at the upper end). The
// simulated power differs from the analytic one by the asymptotic approximation (rarely
// more than 0.02 near 0.9, well under the margin there) and by the Monte Carlo error, so
// the simulated powers at the two ends straddle the desired power and the search's
// answer lies inside.
inline constexpr double kBracketMargin = 0.2;
RateBracket analyticBracket(const input::DesignParameters& design, double analyticRate);

// The design's plan: at its given rate or patients, or else at the analytic rate,
// rounded up to whole patients (the smallest rate enrolling them).
AnalyticPlan planOfDesign(const input::DesignParameters& design);

inline bool hasGivenSize(const input::DesignParameters& design) {
  return design.accrualForm == input::AccrualForm::GivenRate ||
         design.accrualForm == input::AccrualForm::GivenPatients;
}

}  // namespace survseq::plan
