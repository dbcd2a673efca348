#include "plan/analytic_rate.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "bounds/normal_quantile.h"
#include "input/accrual_profile.h"
#include "plan/analytic_power.h"
#include "plan/effect_direction.h"
#include "report/message_text.h"
#include "report/run_error.h"

// Bisection in the logarithm of the patients for the analytic rate, on one model of the
// design (its boundaries and moments per patient do not move with the rate). Where the
// design combines statistics, secant steps from there to the combination's rate.

namespace survseq::plan {

namespace {

constexpr double kFewestPatients = 1.0;
constexpr int32_t kBisections = 32;  // to a ratio of 2^(1/2^32) - 1, about 1.6e-10
// Event targets planned from calendar times move a little with the patients (they are
// rounded to whole events), so the model is made again at the patients it gives, until
// they settle; with calendar looks one model serves every size.
constexpr int32_t kModelRounds = 4;
// The patients of the first model when the design gives no rate to start from.
constexpr double kFirstModelPatients = 1000.0;
// The combination's secant steps: at most this many, until the patients move by less than
// kSettledPatients; the quantile of the power must then lie within kQuantileTolerance of
// the target's (a fifth of a patient at typical sizes).
constexpr int32_t kSecantSteps = 12;
constexpr double kSettledPatients = 0.01;
constexpr double kQuantileTolerance = 1.0e-3;

// The smallest number of patients whose analytic power of statistic 1 in `model` reaches
// `target`.
double patientsReaching(const input::DesignParameters& design, const AnalyticModel& model,
                        double target) {
  double high = kFewestPatients;
  while (model.power(1, high) < target) {
    high *= 2.0;
    if (high > input::kMaxPatientsPerTrial) {
      const EffectFault fault = effectFault(design);
      if (fault != EffectFault::None) throw RunError(effectFaultText(fault));
      throw RunError("the analytic power of the first statistic stays below the desired power " +
                     report::numberText(static_cast<float>(target)) + " up to " +
                     std::to_string(int64_t(input::kMaxPatientsPerTrial)) +
                     " patients: the alternative hardly differs from the null for this statistic");
    }
  }
  double low = high / 2.0;
  if (model.power(1, low) >= target) return low;
  for (int32_t i = 0; i < kBisections; ++i) {
    const double middle = std::sqrt(low * high);
    (model.power(1, middle) < target ? low : high) = middle;
  }
  return high;
}

// The rate at which the combination's analytic power reaches `target`, by secant steps
// from statistic 1's rate `start` on the normal quantile of the power against the root of
// the patients: the means of the combined statistics grow as that root and their
// correlations, hence the critical values, do not move, so the quantile is close to
// linear in it. Each step costs a whole analytic combination (its multivariate normal
// probabilities), which bisection would take thirty times.
double combinationRateReaching(const input::DesignParameters& design, double start,
                               double target) {
  const double aim = bounds::standardNormalQuantile(target);
  const double most = std::sqrt(double(input::kMaxPatientsPerTrial));
  const auto gap = [&](double root) {
    const double patients = root * root;
    const double power = analyticCombination(design, static_cast<float>(rateOf(design, patients)),
                                             patients).power;
    return bounds::standardNormalQuantile(std::clamp(power, 1e-12, 1.0 - 1e-12)) - aim;
  };
  double x0 = std::sqrt(patientsOf(design, start)), g0 = gap(x0);
  double x1 = x0 * (g0 > 0.0 ? 0.9 : 1.1), g1 = gap(x1);
  for (int32_t step = 0; step < kSecantSteps && g1 != g0; ++step) {
    const double x2 = std::clamp(x1 - g1 * (x1 - x0) / (g1 - g0), 1.0, most);
    x0 = x1;
    g0 = g1;
    x1 = x2;
    g1 = gap(x1);
    if (std::fabs(x1 - x0) * (x1 + x0) < kSettledPatients) break;
  }
  if (!(std::fabs(g1) <= kQuantileTolerance)) {
    throw RunError("the analytic power of the combination of statistics does not reach the "
                   "desired power " + report::numberText(static_cast<float>(target)) +
                   " at any size up to " + std::to_string(int64_t(input::kMaxPatientsPerTrial)) +
                   " patients");
  }
  return rateOf(design, x1 * x1);
}

// The rate at which statistic 1's analytic power reaches `target`: the model is made again
// at the patients found until they settle (event-driven looks move with them).
double firstStatisticRate(const input::DesignParameters& design, double target) {
  double rate = design.accrualRate;
  for (int32_t round = 0; round < kModelRounds; ++round) {
    const double patients = patientsReaching(design, analyticModelAt(design, rate), target);
    const bool settled = rate > 0.0 && std::fabs(patients - patientsOf(design, rate)) < 0.5;
    rate = rateOf(design, patients);
    if (design.analysisTiming == input::AnalysisTiming::Calendar || settled) break;
  }
  return rate;
}

}  // namespace

AnalyticModel analyticModelAt(const input::DesignParameters& design, double rate) {
  if (design.analysisTiming == input::AnalysisTiming::FixedEvents) {
    throw RunError("fixed event targets need a given size: the analytic rate moves the looks");
  }
  return AnalyticModel(design, rate > 0.0 ? patientsOf(design, rate) : kFirstModelPatients);
}

double analyticAccrualRate(const input::DesignParameters& design, double desiredPower) {
  if (!input::usesCombination(design)) return firstStatisticRate(design, desiredPower);
  // Statistic 1's rate is only where the combination's search starts: a statistic that
  // sees no effect (FH(1,0) under a late one) may never reach the power the others reach.
  double start = 0.0;
  try {
    start = firstStatisticRate(design, desiredPower);
  } catch (const RunError&) {
    start = rateOf(design, kFirstModelPatients);
  }
  return combinationRateReaching(design, start, desiredPower);
}

double analyticTestPower(const input::DesignParameters& design, double rate, double patients) {
  if (input::usesCombination(design)) {
    return analyticCombination(design, static_cast<float>(rate), patients).power;
  }
  return analyticModelAt(design, rate).power(1, patients);
}

double analyticAccrualRate(const input::DesignParameters& design) {
  return analyticAccrualRate(design, design.desiredPower);
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
  AnalyticPlan plan = AnalyticModel(design, patients).plan(rate, patients);
  if (input::usesCombination(design)) plan.combination = analyticCombination(design, rate, patients);
  return plan;
}

}  // namespace survseq::plan
