#pragma once

// How a search without a bracket moves from rate to rate: it starts at the analytic rate,
// and each next rate is where the analytic power curve, shifted on the normal-quantile
// scale by the gap between the simulated and the analytic powers seen so far, reaches the
// desired power. The gap of iteration i is
//   g_i = Phi^-1(simulated power_i) - Phi^-1(analytic power at rate_i),
// and the shift is their mean weighted by 1 / var(g_i), with the delta method's
// var(g_i) = se_i^2 / phi(Phi^-1(simulated power_i))^2 (a simulated power of 0 or 1 is
// taken as half a trial from it).

#include <cstdint>
#include <vector>

#include "search/report.h"

namespace survseq::search {

struct SteeringPoint {
  double analyticPower = 0.0;  // at the iteration's rate
  PowerEstimate simulated;
  int32_t trials = 0;
};

class AnalyticSteering {
 public:
  void add(const SteeringPoint& point);

  // The pooled gap on the normal-quantile scale.
  double gap() const;

  // The analytic power at which the shifted curve reaches `desiredPower`:
  // Phi(Phi^-1(desiredPower) - gap), kept within [1e-4, 1 - 1e-4].
  double analyticTarget(double desiredPower) const;

 private:
  double weightedGaps_ = 0.0;
  double weights_ = 0.0;
};

// True when the simulated power lies within two of its standard errors of the desired.
bool withinTwoStandardErrors(const PowerEstimate& simulated, double desiredPower);

}  // namespace survseq::search
