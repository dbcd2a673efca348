#include "plan/analytic_rate.h"

#include <cmath>
#include <string>

#include "input/accrual_profile.h"
#include "plan/analytic_power.h"
#include "plan/effect_direction.h"
#include "report/message_text.h"
#include "report/run_error.h"

// Bisection in the logarithm of the patients for the analytic rate, on one model of the
// design (its boundaries and moments per patient do not move with the rate).

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

}  // namespace

AnalyticModel analyticModelAt(const input::DesignParameters& design, double rate) {
  if (design.analysisTiming == input::AnalysisTiming::FixedEvents) {
    throw RunError("fixed event targets need a given size: the analytic rate moves the looks");
  }
  return AnalyticModel(design, rate > 0.0 ? patientsOf(design, rate) : kFirstModelPatients);
}

double analyticAccrualRate(const input::DesignParameters& design, double desiredPower) {
  double rate = design.accrualRate;
  for (int32_t round = 0; round < kModelRounds; ++round) {
    const double patients = patientsReaching(design, analyticModelAt(design, rate), desiredPower);
    const bool settled = rate > 0.0 && std::fabs(patients - patientsOf(design, rate)) < 0.5;
    rate = rateOf(design, patients);
    if (design.analysisTiming == input::AnalysisTiming::Calendar || settled) break;
  }
  return rate;
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
