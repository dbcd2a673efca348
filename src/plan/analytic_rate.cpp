#include "plan/analytic_rate.h"

#include <cmath>
#include <string>

#include "bounds/normal_distribution.h"
#include "input/accrual_profile.h"
#include "plan/analytic_power.h"
#include "plan/effect_direction.h"
#include "report/message_text.h"
#include "report/run_error.h"

// Bisection in the logarithm of the patients for the analytic rate, on one model of the
// design (its boundaries and moments per patient do not move with the rate); the
// bracket's ends step out by the factors 0.8 and 1.25.

namespace survseq::plan {

namespace {

constexpr double kFewestPatients = 1.0;
constexpr int32_t kBisections = 32;  // to a ratio of 2^(1/2^32) - 1, about 1.6e-10
constexpr double kLowerStep = 0.8;
constexpr double kUpperStep = 1.25;

double quantileOf(double power) {
  int32_t fault = 0;
  return double(bounds::normalQuantile(static_cast<float>(power), fault));
}

AnalyticModel modelOf(const input::DesignParameters& design) {
  if (design.analysisTiming == input::AnalysisTiming::FixedEvents) {
    throw RunError("fixed event targets need a given size: the analytic rate moves the looks");
  }
  return AnalyticModel(design, patientsOf(design, design.accrualRate > 0.0f ? design.accrualRate
                                                                             : 1.0f));
}

}  // namespace

double analyticAccrualRate(const input::DesignParameters& design) {
  const AnalyticModel model = modelOf(design);
  const double target = design.desiredPower;
  double high = kFewestPatients;
  while (model.power(1, high) < target) {
    high *= 2.0;
    if (high > input::kMaxPatientsPerTrial) {
      const EffectFault fault = effectFault(design);
      if (fault != EffectFault::None) throw RunError(effectFaultText(fault));
      throw RunError("the analytic power of the first statistic stays below the desired power " +
                     report::numberText(design.desiredPower) + " up to " +
                     std::to_string(int64_t(input::kMaxPatientsPerTrial)) +
                     " patients: the alternative hardly differs from the null for this statistic");
    }
  }
  double low = high / 2.0;
  if (model.power(1, low) >= target) return rateOf(design, low);
  for (int32_t i = 0; i < kBisections; ++i) {
    const double middle = std::sqrt(low * high);
    (model.power(1, middle) < target ? low : high) = middle;
  }
  return rateOf(design, high);
}

RateBracket analyticBracket(const input::DesignParameters& design, double analyticRate) {
  const AnalyticModel model = modelOf(design);
  const double target = quantileOf(design.desiredPower);
  const auto quantileAt = [&](double rate) {
    return quantileOf(std::min(model.power(1, patientsOf(design, rate)), 1.0 - 1e-7));
  };
  double lower = analyticRate * kLowerStep;
  while (quantileAt(lower) > target - kBracketMargin && patientsOf(design, lower) > 2.0) {
    lower *= kLowerStep;
  }
  double upper = analyticRate * kUpperStep;
  while (quantileAt(upper) < target + kBracketMargin &&
         patientsOf(design, upper * kUpperStep) <= input::kMaxPatientsPerTrial) {
    upper *= kUpperStep;
  }
  return {static_cast<float>(lower), static_cast<float>(upper)};
}

AnalyticPlan planOfDesign(const input::DesignParameters& design) {
  float rate = design.accrualRate;
  if (design.accrualForm == input::AccrualForm::GivenPatients) {
    rate = input::rateForPatients(design, design.givenPatients);
  } else if (!hasGivenSize(design)) {
    const double patients = std::ceil(patientsOf(design, analyticAccrualRate(design)) - 1e-9);
    rate = input::rateForPatients(design, static_cast<int32_t>(patients));
  }
  const double patients = input::patientsAtRate(design, rate);
  return AnalyticModel(design, patients).plan(rate, patients);
}

}  // namespace survseq::plan
