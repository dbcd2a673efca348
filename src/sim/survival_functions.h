#pragma once

// Survival curves between and beyond their points, inversion of a uniform number into
// a time, the hazard-ratio alternative, and the integrand of the expected null
// variance. Between two points a curve is exponential; beyond its last point it keeps
// the hazard of its last interval.

#include <array>
#include <iosfwd>

#include "input/design_parameters.h"

namespace survseq::sim {

// Constant hazard of interval i (1..count): (ln s[i-1] - ln s[i]) / (x[i] - x[i-1]).
float intervalHazard(const input::SurvivalCurve& curve, int i);

// S(t).
float survivalAt(const input::SurvivalCurve& curve, float t);

// The time t with S(t) = u; u >= 1 gives x[0], u = 0 gives +infinity.
float timeAtSurvival(const input::SurvivalCurve& curve, float u);

// A curve with the hazards of its intervals worked out once, for the many inversions
// of a trial; timeAtSurvival gives the same times with it as with the curve itself.
struct CurveHazards {
  const input::SurvivalCurve* curve;
  input::IntervalValues hazard;  // [1..count]
};
CurveHazards withHazards(const input::SurvivalCurve& curve);
float survivalAt(const CurveHazards& curve, float t);
float timeAtSurvival(const CurveHazards& curve, float u);

// The piece of the curve that timeAtSurvival inverts u on: 0 for u >= 1, the interval i
// (1..count) whose exponential decay gives the time, count + 1 for the extrapolation
// below every usable interval, count + 2 for u <= 0. It never increases as u grows, and
// on one piece the time is one exponential inversion.
int inversionPiece(const input::SurvivalCurve& curve, float u);

// The time t with S1(t) = u for the alternative given by hazard ratios to the
// baseline curve. Writes the warnings "tmpp too small" / "rmlp too small" to `report`.
float hazardRatioTimeAtSurvival(const input::DesignParameters& design, float u,
                                std::ostream& report);

// The hazard-ratio alternative with everything that does not depend on u worked out
// once: per interval k = 1..lastInterval the exponent 1 / HR[k], the baseline survival at
// the cut T[k] and the factor P_k, and P beyond the last cut. Gives the same times, and
// the same warnings, as the design itself.
struct HazardRatioLaw {
  CurveHazards baseline;
  int lastInterval;
  std::array<double, input::MaxIntervals + 1> exponent;
  input::IntervalValues survivalAtCut;
  input::IntervalValues p;
  float pBeyond;
};
HazardRatioLaw hazardRatioLaw(const input::DesignParameters& design);
float hazardRatioTimeAtSurvival(const HazardRatioLaw& law, float u, std::ostream& report);

// The step of that inversion that maps u to a baseline survival: the time is
// timeAtSurvival(law.baseline, survival). `interval` is 0 for u >= 1, the ratio's interval
// k (1..lastInterval) where the power of u / P_k passes the baseline survival at the cut,
// lastInterval + 1 beyond; it never increases as u grows, and on one interval the
// survival never decreases as u grows. The warnings go to `report` unless it is null.
struct HazardRatioTarget {
  int interval;
  float survival;
};
HazardRatioTarget hazardRatioTarget(const HazardRatioLaw& law, float u, std::ostream* report);
// Whether some u makes the inversion write a warning.
bool writesWarnings(const HazardRatioLaw& law);

// The three curves the null-variance density reads, with their hazards worked out once.
struct NullVarianceCurves {
  explicit NullVarianceCurves(const input::DesignParameters& design);
  CurveHazards baseline;
  CurveHazards censoringControl;
  CurveHazards censoringTreatment;
};

// The weighted null-variance density of a statistic with weight S^rho (1-S)^tau.
float nullVarianceIntegrand(const NullVarianceCurves& curves, float t, float rho, float tau);

}  // namespace survseq::sim
