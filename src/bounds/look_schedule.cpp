#include "bounds/look_schedule.h"

// The event targets and planned times of event-driven analyses (from the expected events,
// bounds/expected_events.h), and the expected null variance of a weighted log-rank score
// under any accrual pieces and allocation ratio (the integral of bounds/null_variance.cpp
// with the entered share and the arm shares made general; Gauss-Legendre by parts,
// bounds/entry_integral.h).

#include <cmath>
#include <string>
#include <vector>

#include "bounds/entry_integral.h"
#include "bounds/expected_events.h"
#include "bounds/null_variance.h"
#include "input/accrual_profile.h"
#include "report/message_text.h"
#include "report/run_error.h"
#include "sim/survival_functions.h"

namespace survseq::bounds {

namespace {

using input::DesignParameters;

std::string analysisText(int32_t k) { return "analysis " + std::to_string(k); }

// The baseline event density as nullVariances takes it: the survival drop of a piece over
// its width up to the last point, the last interval's hazard times S beyond it.
double nullDensity(const sim::CurveHazards& baseline, double u) {
  const input::SurvivalCurve& curve = *baseline.curve;
  for (int32_t p = 1; p <= curve.count; ++p) {
    if (u <= double(curve.x[p])) {
      return (double(curve.s[p - 1]) - double(curve.s[p])) /
             (double(curve.x[p]) - double(curve.x[p - 1]));
    }
  }
  return hazardAt(baseline, u) * double(sim::survivalAt(baseline, static_cast<float>(u)));
}

double generalNullVariance(const DesignParameters& design, float rate, float rho, float tau,
                           double time) {
  const sim::NullVarianceCurves curves(design);
  const double q0 = input::controlShare(design);
  const double q1 = input::treatmentShare(design);
  const auto integrand = [&](double u) {
    const auto t = static_cast<float>(u);
    // nullVarianceIntegrand holds w^2 a b / (a + b), the 1:1 form.
    const double equalShares = double(sim::nullVarianceIntegrand(curves, t, rho, tau));
    if (equalShares == 0.0) return 0.0;
    const double a = double(sim::survivalAt(curves.censoringControl, t));
    const double b = double(sim::survivalAt(curves.censoringTreatment, t));
    return nullDensity(curves.baseline, u) * equalShares * q0 * q1 * (a + b) / (q0 * a + q1 * b);
  };
  const double integral =
      integrateOverEntries(design, time, controlAndCensoringCuts(design), integrand);
  return double(rate) * input::accrualWeight(design) * integral;
}

}  // namespace

LookSchedule lookSchedule(const DesignParameters& design, float rate) {
  LookSchedule looks;
  looks.time = design.analysisTimes;
  if (design.analysisTiming == input::AnalysisTiming::Calendar) return looks;
  const int32_t K = design.analysisCount;
  for (int32_t k = 1; k <= K; ++k) {
    looks.eventTarget[k] =
        design.analysisTiming == input::AnalysisTiming::FixedEvents
            ? design.analysisEvents[k]
            : static_cast<int32_t>(
                  std::lround(expectedEvents(design, rate, double(design.analysisTimes[k]))));
    const int32_t floor = k == 1 ? 1 : looks.eventTarget[k - 1] + 1;
    if (looks.eventTarget[k] < floor) {
      throw RunError("the event targets must increase from at least 1, but " + analysisText(k) +
                     " has " + std::to_string(looks.eventTarget[k]) +
                     (k == 1 ? std::string() : " after " + std::to_string(looks.eventTarget[k - 1])) +
                     " at the accrual rate " + report::numberText(rate));
    }
    const double time = timeOfExpectedEvents(design, rate, double(looks.eventTarget[k]));
    if (!std::isfinite(time)) {
      throw RunError("the expected events never reach the target " +
                     std::to_string(looks.eventTarget[k]) + " of " + analysisText(k) + " with " +
                     std::to_string(input::patientsAtRate(design, rate)) + " patients");
    }
    looks.time[k] = static_cast<float>(time);
  }
  return looks;
}

void plannedNullVariances(const DesignParameters& design, float rate, float rho, float tau,
                          const input::AnalysisValues& times, input::AnalysisValues& variances) {
  if (design.accrualPieceCount == 0 && design.allocationRatio == 1.0f) {
    if (times == design.analysisTimes) {
      nullVariances(design, rate, rho, tau, variances);
      return;
    }
    DesignParameters atTimes = design;
    atTimes.analysisTimes = times;
    nullVariances(atTimes, rate, rho, tau, variances);
    return;
  }
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    variances[k] = static_cast<float>(generalNullVariance(design, rate, rho, tau, double(times[k])));
  }
}

}  // namespace survseq::bounds
