// Expected events against a closed form and against simulated trials, the time at which
// they reach a target, the planned information under accrual pieces and allocation, and
// the event targets a design may not have.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "bounds/expected_events.h"
#include "build_kind.h"
#include "bounds/null_variance.h"
#include "bounds/look_schedule.h"
#include "input/accrual_profile.h"
#include "report/run_error.h"
#include "sim/analysis_data.h"
#include "sim/simulated_trial.h"

namespace survseq::bounds {
namespace {

constexpr double kMedian = 10.0, kCensoringAt20 = 0.7;

input::SurvivalCurve exponential(float x, float s) {
  input::SurvivalCurve c;
  c.count = 1;
  c.x = {0, x};
  c.s = {1, s};
  return c;
}

struct Case {
  double time;
  float ratio;
  bool hazardRatioGiven;
  std::vector<float> durations, rates;  // none: the whole 24 at the full rate
};

// Exponential control (median 10), treatment with hazard ratio 0.7, loss to follow-up
// exponential with 70% left at 20; 420 patients.
input::DesignParameters design(const Case& c) {
  input::DesignParameters d;
  d.baselineCurve = exponential(10, 0.5f);
  d.censoringControl = d.censoringTreatment = exponential(20, float(kCensoringAt20));
  if (c.hazardRatioGiven) {
    d.alternativeKind = 2;
    d.hazardRatioCount = 1;
    d.hazardRatioCuts[1] = 1000;
    d.hazardRatios[1] = 0.7f;
  } else {
    d.alternativeKind = 1;
    d.alternativeCurve = exponential(10, float(std::pow(0.5, 0.7)));
  }
  d.allocationRatio = c.ratio;
  d.accrualPeriod = 24;
  d.accrualPieceCount = static_cast<int32_t>(c.durations.size());
  for (size_t i = 0; i < c.durations.size(); ++i) {
    d.accrualPieceDurations[i + 1] = c.durations[i];
    d.accrualRelativeRates[i + 1] = c.rates[i];
  }
  return d;
}

// Closed form: an arm with event hazard l and loss hazard m, entries uniform within each
// piece; an event by s after entry has probability l/(l+m) (1 - exp(-(l+m) s)).
double armShareWithEvent(double l, const Case& c, double t) {
  const double m = -std::log(kCensoringAt20) / 20.0, theta = l + m;
  std::vector<float> durations = c.durations, rates = c.rates;
  if (durations.empty()) durations = {24}, rates = {1};
  double start = 0.0, weight = 0.0, sum = 0.0;
  for (size_t i = 0; i < durations.size(); ++i) {
    const double a = start, b = start + durations[i];
    start = b;
    weight += rates[i] * durations[i];
    const double s1 = std::max(0.0, t - b), s2 = std::max(0.0, t - a);
    const double integral = l / theta * ((s2 - s1) - (std::exp(-theta * s1) - std::exp(-theta * s2)) / theta);
    sum += rates[i] * integral;  // rate x duration x the mean over the piece
  }
  return sum / weight;
}

double closedForm(const Case& c) {
  const double l0 = std::log(2.0) / kMedian;
  const double q0 = 1.0 / (1.0 + c.ratio);
  return 420.0 * (q0 * armShareWithEvent(l0, c, c.time) + (1 - q0) * armShareWithEvent(0.7 * l0, c, c.time));
}

const std::vector<Case> kCases = {
    {12, 1, true, {}, {}},
    {40, 2, false, {6, 18}, {0.25f, 1}},
    {30, 0.5f, true, {4, 4, 16}, {2, 0, 1}},
    {200, 1, false, {}, {}},
};

TEST(ExpectedEvents, ClosedFormAndTheTimeOfATarget) {
  for (const Case& c : kCases) {
    const auto d = design(c);
    const float rate = input::rateForPatients(d, 420);
    const double events = expectedEvents(d, rate, c.time);
    EXPECT_NEAR(events, closedForm(c), 2e-5 * closedForm(c)) << c.time;
    // Where the events have all but stopped (at 200) the time is known only roughly.
    const double found = timeOfExpectedEvents(d, rate, events);
    EXPECT_NEAR(expectedEvents(d, rate, found), events, 1e-6 * events);
    if (c.time < 100) {
      EXPECT_NEAR(found, c.time, 1e-5 * c.time);
    }
    EXPECT_TRUE(std::isinf(timeOfExpectedEvents(d, rate, 421.0)));
  }
}

TEST(ExpectedEvents, MatchTheMeanEventsOfSimulatedTrials) {
  // 1500 trials each (300 under the sanitiser): the tolerance is 3 standard errors of the
  // mean, from the trials' own spread (about 8 events, so some 0.6 events).
  const int trials = testing::kSanitizedBuild ? 300 : 1500;
  for (const Case& c : {kCases[0], kCases[1], kCases[2]}) {
    const auto d = design(c);
    const float rate = input::rateForPatients(d, 420);
    sim::SimulatedTrial trial(420);
    sim::AnalysisData data(420);
    sim::UniformGenerator g;
    int32_t seed = 20261207;
    std::ostringstream report;
    double sum = 0.0, squares = 0.0;
    for (int i = 0; i < trials; ++i) {
      sim::generateTrial(d, 420, g, seed, trial, report);
      sim::collectAnalysisData(trial, 420, static_cast<float>(c.time), data);
      double events = 0.0;
      for (int32_t m = 0; m < data.enteredCount; ++m) events += data.eventIndicator[static_cast<size_t>(m)];
      sum += events;
      squares += events * events;
    }
    const double mean = sum / trials;
    const double standardError = std::sqrt((squares / trials - mean * mean) / trials);
    EXPECT_NEAR(mean, expectedEvents(d, rate, c.time), 3 * standardError) << c.time;
  }
}

TEST(PlannedInformation, FollowsTheEntryLawAndTheArmShares) {
  Case plain{0, 1, true, {}, {}};
  Case onePiece{0, 1, true, {24}, {1}};
  auto original = design(plain);
  const auto general = design(onePiece);
  original.analysisCount = 4;
  original.analysisTimes = {0, 12, 24, 36, 60};
  for (auto [rho, tau] : {std::pair{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}}) {
    input::AnalysisValues expected{}, found{};
    nullVariances(original, 17.5f, rho, tau, expected);
    auto withPiece = general;
    withPiece.analysisCount = 4;
    plannedNullVariances(withPiece, 17.5f, rho, tau, original.analysisTimes, found);
    // nullVariances takes its midpoint rule in single precision with steps of 0.01.
    for (int k = 1; k <= 4; ++k) EXPECT_NEAR(found[k], expected[k], 2e-3 * expected[k]) << k;
  }
  // Without loss to follow-up the arm shares scale the variance by 4 q0 q1 (8/9 at 2:1).
  auto equal = general, unequal = general;
  equal.censoringControl = equal.censoringTreatment = exponential(20, 1);
  unequal.censoringControl = unequal.censoringTreatment = exponential(20, 1);
  equal.analysisCount = unequal.analysisCount = 1;
  unequal.allocationRatio = 2;
  input::AnalysisValues times{0, 30}, v1{}, v2{};
  plannedNullVariances(equal, 17.5f, 0, 0, times, v1);
  plannedNullVariances(unequal, 17.5f, 0, 0, times, v2);
  EXPECT_NEAR(v2[1] / v1[1], 8.0 / 9.0, 1e-6);
}

TEST(LookSchedule, TargetsThatCannotBePlannedAreRefused) {
  struct Refused {
    input::AnalysisTiming timing;
    input::AnalysisCounts events;
    input::AnalysisValues times;
  };
  const auto fixed = input::AnalysisTiming::FixedEvents;
  const auto planned = input::AnalysisTiming::PlannedEvents;
  for (const Refused& r : {Refused{fixed, {0, 100, 100}, {}}, Refused{fixed, {0, 0, 100}, {}},
                           Refused{fixed, {0, 100, 400}, {}},  // 420 patients, 340 events at most
                           Refused{planned, {}, {0, 0.01f, 20}},
                           Refused{planned, {}, {0, 20, 20.001f}}}) {
    auto d = design(kCases[0]);
    d.analysisCount = 2;
    d.analysisTiming = r.timing;
    d.analysisEvents = r.events;
    d.analysisTimes = r.times;
    EXPECT_THROW(lookSchedule(d, input::rateForPatients(d, 420)), RunError)
        << r.events[2] << ' ' << r.times[2];
  }
}

}  // namespace
}  // namespace survseq::bounds
