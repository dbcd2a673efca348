#include "run/analytic_comparison.h"

#include <cmath>
#include <cstdio>

#include "input/accrual_profile.h"
#include "plan/analytic_power.h"
#include "plan/analytic_rate.h"
#include "report/run_error.h"

namespace survseq::run {

namespace {

constexpr double kWarningStandardErrors = 3.0;

template <typename... Values>
std::string formatted(const char* format, Values... values) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

}  // namespace

AnalyticComparison compareWithAnalytic(const input::DesignParameters& design,
                                       const search::RunRecord& record) {
  AnalyticComparison comparison;
  try {
    if (design.desiredPower > 0.0f && !plan::hasGivenSize(design)) {
      comparison.accrualRate = static_cast<float>(plan::analyticAccrualRate(design));
    }
    if (!record.iterations.empty()) {
      const double patients = record.iterations.back().patientCount;
      if (patients > 0) {
        comparison.powerAtFinalRate = plan::AnalyticModel(design, patients).power(1, patients);
      }
    }
  } catch (const RunError&) {
    // The analytic power does not reach the target, or the looks wait for more events
    // than the patients give: the run shows no analytic figure rather than a wrong one.
  }
  return comparison;
}

std::string analyticDistanceWarning(const AnalyticComparison& comparison,
                                    const OutcomeFigures& outcome) {
  if (!comparison.powerAtFinalRate) return "";
  const double analytic = *comparison.powerAtFinalRate;
  const double simulated = outcome.estimate.power;
  const double standardError = outcome.estimate.standardError;
  if (!(standardError > 0.0) ||
      std::fabs(simulated - analytic) <= kWarningStandardErrors * standardError) {
    return "";
  }
  return formatted(
      "at rate %.4g the simulated power of statistic 1, %.4f, lies more than three standard "
      "errors (%.4f) from the analytic power %.4f; the usual causes are too few events for "
      "the asymptotic normal law, and the planned information, which takes each curve as "
      "linear between its points; add cut points where the curves fall steeply, raise the "
      "number of trials to see whether the gap stays, and trust the simulation when it does "
      "(see \"Analytic first, simulation to confirm\" in the README)",
      double(outcome.accrualRate), simulated, standardError, analytic);
}

std::string takeAnalyticBracket(input::DesignParameters& design) {
  const double rate = plan::analyticAccrualRate(design);
  const plan::RateBracket bracket = plan::analyticBracket(design, rate);
  const float lower = bracket.lower;
  const float upper = std::fmin(bracket.upper, static_cast<float>(input::kMaxPatientsPerTrial /
                                                                  input::accrualWeight(design)));
  design.accrualRateLower = lower;
  design.accrualRateUpper = upper;
  design.accrualRate = upper;
  return formatted(
      " The accrual rate is searched between %.4g and %.4g, around the analytic rate %.4g: "
      "0.8 and 1.25 times it, each end moved out until its analytic power lies %.2g on the "
      "normal scale beyond the desired power.",
      double(lower), double(upper), rate, plan::kBracketMargin);
}

}  // namespace survseq::run
