#include "plan/statistic_moments.h"

#include <cmath>

#include "input/accrual_profile.h"
#include "plan/arm_laws.h"

// The integrals of statistic_moments.h by the trapezoidal rule. Everything that does
// not depend on the analysis time (the arms' shares at risk and event rates, and the
// pooled survival) is laid on the grid once; an analysis at T then weighs each grid
// point by the share G(T - t) of patients enrolled early enough to be followed for t.

namespace survseq::plan {

namespace {

constexpr int32_t kGridSteps = 20000;
// Shares at risk below this count as none: the pooled hazard keeps its last value.
constexpr double kNoneAtRisk = 1e-300;
// The horizon of the search for an event target grows up to this calendar time.
constexpr double kLongestHorizon = 1e5;

double weightOf(double pooledSurvival, float rho, float tau) {
  double w = 1.0;
  if (rho != 0.0f) w *= std::pow(pooledSurvival, double(rho));
  if (tau != 0.0f) w *= std::pow(1.0 - pooledSurvival, double(tau));
  return w;
}

}  // namespace

MomentIntegrator::MomentIntegrator(const input::DesignParameters& design, bool nullHypothesis,
                                   double horizon)
    : design_(&design), horizon_(horizon), step_(horizon / kGridSteps) {
  const EventLaws laws(design, nullHypothesis);
  const ArmLaw control(design, laws, false);
  const ArmLaw treatment(design, laws, true);
  const double pi0 = input::controlShare(design);
  const double pi1 = input::treatmentShare(design);

  grid_.resize(static_cast<size_t>(kGridSteps) + 1);
  double cumulativeHazard = 0.0;
  double previousHazard = 0.0;
  for (int32_t j = 0; j <= kGridSteps; ++j) {
    const double t = step_ * j;
    const ArmPoint a0 = control.at(t);
    const ArmPoint a1 = treatment.at(t);
    const double c0 = curveSurvival(design.censoringControl, t);
    const double c1 = curveSurvival(design.censoringTreatment, t);
    GridPoint& point = grid_[static_cast<size_t>(j)];
    point.q0 = pi0 * c0 * a0.survival;
    point.q1 = pi1 * c1 * a1.survival;
    point.r0 = pi0 * c0 * a0.density;
    point.r1 = pi1 * c1 * a1.density;
    const double atRisk = point.q0 + point.q1;
    const double hazard = atRisk > kNoneAtRisk ? (point.r0 + point.r1) / atRisk : previousHazard;
    if (j > 0) cumulativeHazard += step_ * (previousHazard + hazard) / 2.0;
    previousHazard = hazard;
    point.pooledSurvival = std::exp(-cumulativeHazard);
  }
}

PatientMoments MomentIntegrator::at(double analysisTime, float rho, float tau) const {
  PatientMoments sums;
  if (!(analysisTime > 0.0)) return sums;
  const auto last = std::min<int64_t>(kGridSteps, static_cast<int64_t>(analysisTime / step_));
  for (int64_t j = 0; j <= last; ++j) {
    const GridPoint& p = grid_[static_cast<size_t>(j)];
    const double t = step_ * double(j);
    // Trapezoid weights: half at both ends of [0, t_last]; the piece (t_last, T] ends
    // where G(T - t) = 0, so it adds half its width at t_last.
    double width = (j == 0 || j == last) ? step_ / 2.0 : step_;
    if (j == last) width += (analysisTime - t) / 2.0;
    const double g = input::enrolledShareBy(*design_, analysisTime - t) * width;
    if (g == 0.0) continue;
    const double atRisk = p.q0 + p.q1;
    sums.events += g * (p.r0 + p.r1);
    if (!(atRisk > kNoneAtRisk)) continue;
    const double w = weightOf(p.pooledSurvival, rho, tau);
    const double squared = atRisk * atRisk;
    sums.drift += g * w * (p.q1 * p.r0 - p.q0 * p.r1) / atRisk;
    sums.information += g * w * w * p.q0 * p.q1 * (p.r0 + p.r1) / squared;
  }
  return sums;
}

double MomentIntegrator::eventsBy(double analysisTime) const {
  return at(analysisTime, 0.0f, 0.0f).events;
}

double timeOfExpectedEvents(const input::DesignParameters& design, double patients,
                            double events) {
  double horizon = std::max(1.0, input::entryTimeAtShare(design, 1.0));
  for (; horizon <= kLongestHorizon; horizon *= 2.0) {
    const MomentIntegrator integrator(design, false, horizon);
    if (patients * integrator.eventsBy(horizon) < events) continue;
    double low = 0.0;
    double high = horizon;
    for (int32_t i = 0; i < 60; ++i) {
      const double middle = (low + high) / 2.0;
      (patients * integrator.eventsBy(middle) < events ? low : high) = middle;
    }
    return high;
  }
  return -1.0;
}

}  // namespace survseq::plan
