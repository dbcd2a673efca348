#include "law/arm_laws.h"

#include <algorithm>
#include <cmath>

// Closed forms of the laws the simulation draws from (see arm_laws.h); the switching
// law is the exact marginal law of the simulation's coupled draw, not an approximation.

namespace survseq::law {

namespace {

double hazardOf(const input::SurvivalCurve& curve, int32_t i) {
  return (std::log(double(curve.s[i - 1])) - std::log(double(curve.s[i]))) /
         (double(curve.x[i]) - double(curve.x[i - 1]));
}

// The interval of t: the first i with t <= x[i], or count when t lies beyond the last point.
int32_t intervalOf(const input::SurvivalCurve& curve, double t) {
  for (int32_t i = 1; i <= curve.count; ++i) {
    if (t <= double(curve.x[i])) return i;
  }
  return curve.count;
}

// Length of (low, high) within (a, b).
double overlap(double low, double high, double a, double b) {
  return std::max(0.0, std::min(high, b) - std::max(low, a));
}

// The time at which the decreasing survival function `survival` falls to `level`, by
// bisection; a negative value when it never does (within a million time units).
template <typename Survival>
double timeOfSurvival(const Survival& survival, double level) {
  constexpr double kFarthest = 1.0e6;
  double low = 0.0;
  double high = 1.0;
  while (survival(high) > level) {
    low = high;
    high *= 2.0;
    if (high > kFarthest) return -1.0;
  }
  while (high - low > 1.0e-13 * high) {
    const double middle = (low + high) / 2.0;
    (survival(middle) > level ? low : high) = middle;
  }
  return high;
}

}  // namespace

double curveSurvival(const input::SurvivalCurve& curve, double t) {
  if (t <= 0.0 || curve.count < 1) return 1.0;
  const int32_t i = intervalOf(curve, t);
  return double(curve.s[i - 1]) * std::exp(-hazardOf(curve, i) * (t - double(curve.x[i - 1])));
}

double curveDensity(const input::SurvivalCurve& curve, double t) {
  if (t < 0.0 || curve.count < 1) return 0.0;
  return curveHazard(curve, t) * curveSurvival(curve, t);
}

double curveHazard(const input::SurvivalCurve& curve, double t) {
  if (curve.count < 1) return 0.0;
  return hazardOf(curve, intervalOf(curve, t));
}

EventLaws::EventLaws(const input::DesignParameters& design, bool nullHypothesis)
    : design_(&design), null_(nullHypothesis) {}

double EventLaws::controlSurvival(double t) const {
  return curveSurvival(design_->baselineCurve, t);
}

double EventLaws::controlDensity(double t) const {
  return curveDensity(design_->baselineCurve, t);
}

// HR of the interval of t, and the factor P of S1 = P S0^HR there.
double EventLaws::hazardRatioAt(double t, double& factor) const {
  const input::DesignParameters& d = *design_;
  factor = 1.0;
  for (int32_t k = 1; k <= d.hazardRatioCount; ++k) {
    const double ratio = double(d.hazardRatios[k]);
    if (t <= double(d.hazardRatioCuts[k])) return ratio;
    const double next = k < d.hazardRatioCount ? double(d.hazardRatios[k + 1]) : 1.0;
    factor *= std::pow(controlSurvival(double(d.hazardRatioCuts[k])), ratio - next);
  }
  return 1.0;
}

double EventLaws::treatmentSurvival(double t) const {
  if (null_) return controlSurvival(t);
  if (!input::hazardRatiosGiven(*design_)) return curveSurvival(design_->alternativeCurve, t);
  double factor = 1.0;
  const double ratio = hazardRatioAt(t, factor);
  return factor * std::pow(controlSurvival(t), ratio);
}

double EventLaws::treatmentDensity(double t) const {
  if (null_) return controlDensity(t);
  if (!input::hazardRatiosGiven(*design_)) return curveDensity(design_->alternativeCurve, t);
  double factor = 1.0;
  const double ratio = hazardRatioAt(t, factor);
  const double s0 = controlSurvival(t);
  // d/dt of P S0^HR = P HR S0^(HR - 1) f0.
  return factor * ratio * std::pow(s0, ratio - 1.0) * controlDensity(t);
}

ArmLaw::ArmLaw(const input::DesignParameters& design, const EventLaws& laws, bool treatment)
    : laws_(&laws), treatment_(treatment) {
  const int32_t count = treatment ? design.dropOutCount : design.dropInCount;
  const auto& times = treatment ? design.dropOutTimes : design.dropInTimes;
  const auto& rates = treatment ? design.dropOutRates : design.dropInRates;
  const auto own = [&](double t) {
    return treatment ? laws.treatmentSurvival(t) : laws.controlSurvival(t);
  };
  const auto other = [&](double t) {
    return treatment ? laws.controlSurvival(t) : laws.treatmentSurvival(t);
  };

  // A point is passed when the own time exceeds it, that is when u < S_own(point).
  std::array<double, input::MaxDropPoints + 2> cuts{};
  int32_t cutCount = 0;
  cuts[static_cast<size_t>(cutCount++)] = 1.0;
  for (int32_t k = 1; k <= count; ++k) {
    if (rates[k] > 0.0f) cuts[static_cast<size_t>(cutCount++)] = own(double(times[k]));
  }
  cuts[static_cast<size_t>(cutCount++)] = 0.0;
  std::sort(cuts.begin(), cuts.begin() + cutCount, std::greater<>());

  cellCount_ = 0;
  for (int32_t c = 0; c + 1 < cutCount; ++c) {
    const double high = cuts[static_cast<size_t>(c)];
    const double low = cuts[static_cast<size_t>(c + 1)];
    if (!(high > low)) continue;
    Cell& cell = cells_[static_cast<size_t>(cellCount_++)];
    cell = Cell{};
    cell.low = low;
    cell.high = high;
    for (int32_t k = 1; k <= count; ++k) {
      const double p = std::clamp(double(rates[k]), 0.0, 1.0);
      if (!(p > 0.0) || own(double(times[k])) < high) continue;  // not passed in this cell
      cell.switchProbability[static_cast<size_t>(cell.switchCount)] = p * cell.stay;
      cell.otherAtPoint[static_cast<size_t>(cell.switchCount)] = other(double(times[k]));
      ++cell.switchCount;
      cell.stay *= 1.0 - p;
    }
  }
}

void ArmLaw::appendJumps(std::vector<double>& times) const {
  const EventLaws& laws = *laws_;
  const auto other = [&](double t) {
    return treatment_ ? laws.controlSurvival(t) : laws.treatmentSurvival(t);
  };
  for (int32_t c = 0; c < cellCount_; ++c) {
    const Cell& cell = cells_[static_cast<size_t>(c)];
    if (cell.switchCount == 0) continue;
    for (const double bound : {cell.low, cell.high}) {
      if (!(bound > 0.0 && bound < 1.0)) continue;
      const double time = timeOfSurvival(other, bound);
      if (time > 0.0) times.push_back(time);
    }
  }
}

ArmPoint ArmLaw::at(double t) const {
  const EventLaws& laws = *laws_;
  const double ownS = treatment_ ? laws.treatmentSurvival(t) : laws.controlSurvival(t);
  const double ownF = treatment_ ? laws.treatmentDensity(t) : laws.controlDensity(t);
  if (cellCount_ == 1 && cells_[0].switchCount == 0) return {ownS, ownF};
  const double otherS = treatment_ ? laws.controlSurvival(t) : laws.treatmentSurvival(t);
  const double otherF = treatment_ ? laws.controlDensity(t) : laws.treatmentDensity(t);

  ArmPoint point{0.0, 0.0};
  for (int32_t c = 0; c < cellCount_; ++c) {
    const Cell& cell = cells_[static_cast<size_t>(c)];
    // No switch: the event comes after t when u < S_own(t).
    point.survival += cell.stay * overlap(cell.low, cell.high, 0.0, ownS);
    if (ownS > cell.low && ownS <= cell.high) point.density += cell.stay * ownF;
    for (int32_t k = 0; k < cell.switchCount; ++k) {
      const double p = cell.switchProbability[static_cast<size_t>(k)];
      const double e = cell.otherAtPoint[static_cast<size_t>(k)];
      // u < e: the same u's time under the other law, beyond the point; otherwise a
      // time of the other law given survival past the point.
      const double redrawn = overlap(cell.low, cell.high, e, 1.0);
      point.survival += p * (overlap(cell.low, cell.high, 0.0, std::min(e, otherS)) +
                             redrawn * std::min(otherS, e) / e);
      if (otherS < e) {
        const double coupled = otherS > cell.low && otherS <= cell.high ? 1.0 : 0.0;
        point.density += p * (coupled + redrawn / e) * otherF;
      }
    }
  }
  return point;
}

}  // namespace survseq::law
