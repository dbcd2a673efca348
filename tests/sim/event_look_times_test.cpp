// Event-driven looks: each look of each trial at the calendar time at which the analysis
// data first show its target number of events, and the final look of a trial whose events
// run out.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "sim/analysis_data.h"
#include "sim/event_look_times.h"
#include "sim/reference.h"

namespace survseq::sim {
namespace {

input::DesignParameters design() {
  input::DesignParameters d;
  d.baselineCurve = curve({0, 10}, {1, 0.5f});
  d.alternativeCurve = curve({0, 10}, {1, 0.6f});
  d.censoringControl = d.censoringTreatment = curve({0, 20}, {1, 0.7f});
  d.accrualPeriod = 24;
  return d;
}

// Events the analysis data show at t.
int32_t eventsAt(const SimulatedTrial& trial, int32_t n, float t, AnalysisData& data) {
  collectAnalysisData(trial, n, t, data);
  int32_t events = 0;
  for (int32_t m = 0; m < data.enteredCount; ++m) events += data.eventIndicator[static_cast<size_t>(m)];
  return events;
}

// Reaches target k at time t: at least k events then, fewer just before.
void expectFirstTimeOf(int32_t events, const SimulatedTrial& trial, int32_t n, float t,
                       AnalysisData& data, int trialNumber) {
  EXPECT_GE(eventsAt(trial, n, t, data), events) << "trial " << trialNumber;
  EXPECT_LT(eventsAt(trial, n, std::nextafter(t, -1.0f), data), events) << "trial " << trialNumber;
}

TEST(EventLookTimes, EveryLookAtItsTargetEventAndAShortTrialEndsAtItsLastEvent) {
  constexpr int32_t n = 300;
  const auto d = design();
  SimulatedTrial trial(n);
  AnalysisData data(n);
  std::vector<float> scratch;
  UniformGenerator g;
  int32_t seed = 20261207;
  std::ostringstream report;
  int shortTrials = 0;
  for (int number = 1; number <= 200; ++number) {
    generateTrial(d, n, g, seed, trial, report);
    // Events for ever, from the analysis data at a time beyond every event.
    const int32_t all = eventsAt(trial, n, 1e30f, data);
    const input::AnalysisCounts targets{0, 60, 150, 228, 236};  // 230 +- 7 events in all
    EventLooks looks;
    eventLookTimes(trial, n, targets, 4, 24.0f, scratch, looks);
    ASSERT_EQ(looks.eventCount, all);
    int32_t expectedFinal = 4;
    for (int32_t k = 4; k >= 1; --k) if (targets[k] >= all) expectedFinal = k;
    ASSERT_EQ(looks.finalLook, expectedFinal) << "trial " << number;
    for (int32_t k = 1; k <= looks.finalLook; ++k) {
      expectFirstTimeOf(std::min(targets[k], all), trial, n, looks.time[k], data, number);
    }
    shortTrials += looks.finalLook < 4 ? 1 : 0;
  }
  EXPECT_GT(shortTrials, 20);  // the table reaches both kinds of trial
  EXPECT_LT(shortTrials, 180);
}

TEST(EventLookTimes, ATrialWithoutEventsLooksOnceAtTheEndOfAccrual) {
  SimulatedTrial trial(3);
  trial.entryTime = {1, 2, 3};
  trial.eventTime = {5, 5, std::numeric_limits<float>::infinity()};
  trial.censoringTime = {4, 4, std::numeric_limits<float>::infinity()};  // lost before
  std::vector<float> scratch;
  EventLooks looks;
  eventLookTimes(trial, 3, {0, 1, 2}, 2, 24.0f, scratch, looks);
  EXPECT_EQ(std::tuple(looks.finalLook, looks.eventCount, looks.time[1]), std::tuple(1, 0, 24.0f));
}

}  // namespace
}  // namespace survseq::sim
