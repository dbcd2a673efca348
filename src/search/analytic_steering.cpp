#include "search/analytic_steering.h"

#include <algorithm>
#include <cmath>

#include "bounds/normal_distribution.h"

namespace survseq::search {

namespace {

constexpr double kLowestTarget = 1e-4;

double quantileOf(double p) {
  int32_t fault = 0;
  return double(bounds::normalQuantile(static_cast<float>(p), fault));
}

}  // namespace

void AnalyticSteering::add(const SteeringPoint& point) {
  const double half = 0.5 / point.trials;
  const double simulated = std::clamp(double(point.simulated.power), half, 1.0 - half);
  const double analytic = std::clamp(point.analyticPower, kLowestTarget, 1.0 - kLowestTarget);
  const double z = quantileOf(simulated);
  const double standardError = std::sqrt(simulated * (1.0 - simulated) / point.trials) /
                               bounds::standardNormalDensity(z);
  const double weight = 1.0 / (standardError * standardError);
  weightedGaps_ += weight * (z - quantileOf(analytic));
  weights_ += weight;
}

double AnalyticSteering::gap() const { return weights_ > 0.0 ? weightedGaps_ / weights_ : 0.0; }

double AnalyticSteering::analyticTarget(double desiredPower) const {
  const double target = bounds::standardNormalLowerTail(quantileOf(desiredPower) - gap());
  return std::clamp(target, kLowestTarget, 1.0 - kLowestTarget);
}

bool withinTwoStandardErrors(const PowerEstimate& simulated, double desiredPower) {
  return std::fabs(double(simulated.power) - desiredPower) <= 2.0 * double(simulated.standardError);
}

}  // namespace survseq::search
