#pragma once

// Survival curves between and beyond their points, inversion of a uniform number into
// a time, the hazard-ratio alternative, and the integrand of the expected null
// variance. Between two points a curve is exponential; beyond its last point it keeps
// the hazard of its last interval.

#include <iosfwd>

#include "input/design_parameters.h"

namespace survseq::sim {

// Constant hazard of interval i (1..count): (ln s[i-1] - ln s[i]) / (x[i] - x[i-1]).
float intervalHazard(const input::SurvivalCurve& curve, int i);

// S(t).
float survivalAt(const input::SurvivalCurve& curve, float t);

// The time t with S(t) = u; u >= 1 gives x[0], u = 0 gives +infinity.
float timeAtSurvival(const input::SurvivalCurve& curve, float u);

// The time t with S1(t) = u for the alternative given by hazard ratios to the
// baseline curve. Writes the warnings "tmpp too small" / "rmlp too small" to `report`.
float hazardRatioTimeAtSurvival(const input::DesignParameters& design, float u,
                                std::ostream& report);

// The weighted null-variance density of a statistic with weight S^rho (1-S)^tau.
float nullVarianceIntegrand(const input::DesignParameters& design, float t, float rho, float tau);

}  // namespace survseq::sim
