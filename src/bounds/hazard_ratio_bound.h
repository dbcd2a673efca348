#pragma once

// A bound on Z read on the hazard-ratio scale: the observed hazard ratio (treatment over
// control) at which the log-rank statistic meets the bound z at a look with d events,
// the arms holding the shares q0 and q1 of the patients. The log-rank score has null
// variance q0 q1 d and Z is about -log(HR) sqrt(q0 q1 d) (Schoenfeld 1981, Biometrika
// 68:316-319), so
//   HR = exp(-z / sqrt(q0 q1 d)).
// Only the log-rank statistic (rho = tau = 0) has this reading; a weighted statistic's Z
// does not map to one hazard ratio.

#include <cmath>
#include <limits>

namespace survseq::bounds {

inline bool isLogRank(float rho, float tau) { return rho == 0.0f && tau == 0.0f; }

// NaN when there are no events.
inline double hazardRatioAtBound(double z, double events, double controlShare) {
  const double shares = controlShare * (1.0 - controlShare);
  if (!(events > 0.0) || !(shares > 0.0)) return std::numeric_limits<double>::quiet_NaN();
  return std::exp(-z / std::sqrt(shares * events));
}

}  // namespace survseq::bounds
