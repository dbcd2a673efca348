#include "run/analytic_comparison.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "input/accrual_profile.h"
#include "plan/analytic_power.h"
#include "plan/analytic_rate.h"
#include "report/run_error.h"

namespace survseq::run {

namespace {

constexpr double kWarningStandardErrors = 3.0;

// The messages here run to about 500 characters: sized to fit, never cut.
template <typename... Values>
std::string formatted(const char* format, Values... values) {
  const int size = std::snprintf(nullptr, 0, format, values...);
  std::string text(static_cast<size_t>(std::max(size, 0)), '\0');
  std::snprintf(text.data(), text.size() + 1, format, values...);
  return text;
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
      const search::IterationRecord& last = record.iterations.back();
      const double patients = last.patientCount;
      if (patients > 0 && input::usesCombination(design)) {
        comparison.ofCombination = true;
        comparison.powerAtFinalRate =
            plan::analyticCombination(design, last.accrualRate, patients).power;
      } else if (patients > 0) {
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
      "at rate %.4g the simulated power of %s, %.4f, lies more than three standard "
      "errors (%.4f) from the analytic power %.4f; the usual causes are too few events for "
      "the asymptotic normal law, and the planned information, which takes each curve as "
      "linear between its points; add cut points where the curves fall steeply, raise the "
      "number of trials to see whether the gap stays, and trust the simulation when it does "
      "(see \"Analytic first, simulation to confirm\" in the README)",
      double(outcome.accrualRate),
      comparison.ofCombination ? "the combination of statistics" : "statistic 1", simulated,
      standardError, analytic);
}

std::string takeAnalyticStart(input::DesignParameters& design) {
  const double rate = plan::analyticAccrualRate(design);
  const double patients = std::ceil(plan::patientsOf(design, rate) - 1e-9);
  design.accrualRate = input::rateForPatients(design, static_cast<int32_t>(patients));
  design.accrualRateLower = design.accrualRateUpper = design.accrualRate;
  return formatted(
      " The search starts at the analytic rate %.4g, where the analytic power of %s "
      "is the desired power; each next rate is where the analytic power curve, shifted on "
      "the normal scale by the gap between the simulated and the analytic powers so far, "
      "reaches it.",
      double(design.accrualRate),
      input::usesCombination(design) ? "the combination of statistics" : "statistic 1");
}

}  // namespace survseq::run
