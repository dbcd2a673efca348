#include "bounds/expected_events.h"

// Expected events by calendar time T in a trial of N patients (input::patientsAtRate):
//
//   E(T) = N * integral over 0 <= u <= T of [q0 f0(u) a(u) + q1 f1(u) b(u)] G(T - u) du,
//
// with q0, q1 the arm shares, f0 and f1 the event densities (hazard x survival) of the
// baseline and the alternative, a and b the censoring survival of the two arms (an event
// at u is seen when loss to follow-up comes later), and G the share of the patients
// entered by a time. The curves are piecewise exponential as in the simulation; a
// hazard-ratio alternative has hazard HR[k] x the baseline hazard on its k-th interval
// and the baseline hazard beyond its last cut. The integral is split where the integrand
// bends and taken by Gauss-Legendre (bounds/entry_integral.h); the time of a target is
// found by bisection, E being nondecreasing in T.

#include <cmath>
#include <limits>
#include <vector>

#include "bounds/entry_integral.h"
#include "input/accrual_profile.h"
#include "sim/survival_functions.h"

namespace survseq::bounds {

namespace {

using input::DesignParameters;

// The curves of the design with their hazards worked out once.
struct EventLaws {
  explicit EventLaws(const DesignParameters& design)
      : baseline(sim::withHazards(design.baselineCurve)),
        alternative(sim::withHazards(design.alternativeCurve)),
        censoringControl(sim::withHazards(design.censoringControl)),
        censoringTreatment(sim::withHazards(design.censoringTreatment)) {}
  sim::CurveHazards baseline;
  sim::CurveHazards alternative;
  sim::CurveHazards censoringControl;
  sim::CurveHazards censoringTreatment;
};

double densityAt(const sim::CurveHazards& curve, double u) {
  return hazardAt(curve, u) * double(sim::survivalAt(curve, static_cast<float>(u)));
}

// Density of the alternative's event time at u.
double alternativeDensity(const DesignParameters& design, const EventLaws& laws,
                          const sim::HazardRatioLaw* law, double u) {
  const auto t = static_cast<float>(u);
  if (law == nullptr) return densityAt(laws.alternative, u);
  const double baselineSurvival = double(sim::survivalAt(laws.baseline, t));
  const double baselineHazard = hazardAt(laws.baseline, u);
  for (int k = 1; k <= law->lastInterval; ++k) {
    if (t <= design.hazardRatioCuts[k]) {
      const double ratio = double(design.hazardRatios[k]);
      return ratio * baselineHazard * double(law->p[k]) * std::pow(baselineSurvival, ratio);
    }
  }
  return baselineHazard * double(law->pBeyond) * baselineSurvival;
}

}  // namespace

double expectedEvents(const DesignParameters& design, float rate, double time) {
  const bool ratiosGiven = input::hazardRatiosGiven(design);
  const sim::HazardRatioLaw law = ratiosGiven ? sim::hazardRatioLaw(design) : sim::HazardRatioLaw{};
  const EventLaws laws(design);
  const double q0 = input::controlShare(design);
  const double q1 = input::treatmentShare(design);

  std::vector<double> cuts = controlAndCensoringCuts(design);
  if (ratiosGiven) {
    for (int32_t k = 1; k <= design.hazardRatioCount; ++k) cuts.push_back(design.hazardRatioCuts[k]);
  } else {
    appendCurveCuts(design.alternativeCurve, cuts);
  }
  const double perPatient = integrateOverEntries(design, time, cuts, [&](double u) {
    const auto t = static_cast<float>(u);
    const double control =
        densityAt(laws.baseline, u) * double(sim::survivalAt(laws.censoringControl, t));
    const double treatment = alternativeDensity(design, laws, ratiosGiven ? &law : nullptr, u) *
                             double(sim::survivalAt(laws.censoringTreatment, t));
    return q0 * control + q1 * treatment;
  });
  return double(input::patientsAtRate(design, rate)) * perPatient;
}

double timeOfExpectedEvents(const DesignParameters& design, float rate, double events) {
  if (!(events > 0.0)) return 0.0;
  // Bracket the target, doubling from the end of accrual; a target still out of reach
  // ten thousand accrual periods on is never reached.
  double low = 0.0;
  double high = std::max(input::entryTimeAtShare(design, 1.0), 1.0);
  const double farthest = high * 1.0e4;
  // Not "below the target" but "not at it": beyond a hazard-ratio cut where the baseline
  // survival has underflowed, E is not a number, and no target is met there.
  while (!(expectedEvents(design, rate, high) >= events)) {
    low = high;
    high *= 2.0;
    if (high > farthest) return std::numeric_limits<double>::infinity();
  }
  while (high - low > 1.0e-9 * high) {
    const double middle = (low + high) / 2.0;
    (!(expectedEvents(design, rate, middle) >= events) ? low : high) = middle;
  }
  return high;
}

}  // namespace survseq::bounds
