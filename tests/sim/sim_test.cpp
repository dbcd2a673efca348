// The generator's stream, the survival curves, and trials as they are drawn: the draws per
// patient, the entry law, the arms, the analysis data and the looks at event counts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "build_kind.h"
#include "input/seed_limits.h"
#include "report/run_error.h"
#include "sim/event_look_times.h"
#include "sim/reference.h"
#include "sim/survival_functions.h"

namespace survseq::sim {
namespace {

std::vector<float> draws(int32_t seed, size_t count) {
  UniformGenerator g;
  std::vector<float> values(count);
  for (float& u : values) u = g.nextUniform(seed);
  return values;
}

const std::vector<float> ref = draws(-123457, 2000);  // the stream every trial below draws from

TEST(UniformGenerator, DocumentedStreamsRestartAndBothEnds) {
  EXPECT_EQ(std::vector(ref.begin(), ref.begin() + 3),
            (std::vector{0.150876433f, 0.0923406035f, 0.994098902f}));
  EXPECT_EQ(draws(0, 3), (std::vector{0.533923864f, 0.323008806f, 0.401103973f}));
  EXPECT_EQ(draws(5, 200), draws(-5, 200));
  // Beyond the seed constant the start is negative and the seed is used unchanged (values
  // of an independent reading of the algorithm).
  EXPECT_EQ(draws(999999999, 6), (std::vector{0.769620359f, 0.930898428f, 0.769186854f,
                                              0.0441254117f, 0.24634476f, 0.206469908f}));
  EXPECT_EQ(draws(-999999999, 6), draws(999999999, 6));
  UniformGenerator g;  // the seed is rewritten to 1; a positive one continues, a negative restarts
  std::vector<int32_t> seeds{-123457, 777, 777, -123457};
  std::vector<float> stream;
  for (int32_t& seed : seeds) stream.push_back(g.nextUniform(seed));
  EXPECT_EQ(stream, (std::vector{ref[0], ref[1], ref[2], ref[0]}));
  EXPECT_EQ(seeds, (std::vector{1, 777, 777, 1}));
  EXPECT_EQ(UniformGenerator::toUnitInterval(0), 0.0f);
  EXPECT_EQ(UniformGenerator::toUnitInterval(999999999), 1.0f);
}

TEST(UniformGenerator, TheReadersRefuseExactlyTheSeedsWhoseStreamLeavesTheUnitInterval) {
  // The check decides on 56 draws; here 3000 of the stream decide, for seeds around the
  // magnitude at which the start turns negative. 2^31 - 1 leaves [0, 1] at draws 16 and 40
  // (of an independent reading of the algorithm).
  std::vector<int32_t> seeds{INT32_MAX, INT32_MIN, 999999999, 161803398, 161803399, -161803399};
  for (int32_t i = 0; i < 60; ++i) seeds.push_back(161803398 + i * 33'000'013);
  int refused = 0;
  for (const int32_t seed : seeds) {
    const auto stream = draws(seed, 3000);
    const bool leaves =
        std::any_of(stream.begin(), stream.end(), [](float u) { return !(u >= 0 && u <= 1); });
    bool thrown = false;
    try {
      input::requireSeedWithinStream(seed, 17);
    } catch (const RunError& error) {
      thrown = error.line() == 17;
    }
    EXPECT_EQ(thrown, leaves) << seed;
    refused += thrown;
  }
  EXPECT_GT(refused, 3);  // the table holds both kinds of seed
}

TEST(SurvivalCurves, DocumentedTimesAndNeverReached) {
  const auto one = curve({0, 10}, {1, 0.5f});  // beyond the points, the last hazard goes on
  for (auto [c, t, s] : {std::tuple{one, 20.0f, 0.25f},
                         {curve({0, 10, 20}, {1, 0.5f, 0.05f}), 30.0f, 0.005f}})
    EXPECT_FLOAT_EQ(survivalAt(c, t), s) << t;
  for (auto [c, u, t] : {std::tuple{one, 0.25f, 20.0f}, {one, 1.0f, 0.0f}, {one, 0.0f, INFINITY},
                         {curve({0, 5, 10}, {1, 0.5f, 0.5f}), 0.3f, INFINITY}})  // flat at the end
    EXPECT_FLOAT_EQ(timeAtSurvival(c, u), t) << u;
  const auto half = design({10}, {0.5f}), ones = design({3, 8, 12}, {1, 1, 1});
  std::ostringstream report;
  for (float u : {0.99f, 0.6f, 0.45f, 0.1f, 1e-4f, 0.0f})  // ratios of 1: the baseline's times
    EXPECT_EQ(hazardRatioTimeAtSurvival(ones, u, report), timeAtSurvival(ones.baselineCurve, u));
  for (auto [u, t] : {std::pair{0.8f, 6.4386f}, {0.5f, 15.0f}, {1.0f, 0.0f}})  // S1 = S0^0.5 to 10
    EXPECT_NEAR(hazardRatioTimeAtSurvival(half, u, report), t, 1e-4f) << u;
}

// Draws a trial of n from the stream `ref`; returns the number of uniforms it took.
long drawsToGenerate(const input::DesignParameters& d, int32_t n, SimulatedTrial& trial) {
  UniformGenerator g;
  int32_t seed = -123457;
  std::ostringstream report;
  generateTrial(d, n, g, seed, trial, report);
  return std::find(ref.begin(), ref.end(), g.nextUniform(seed)) - ref.begin();
}

TEST(GenerateTrial, DrawsPerPatientAndTheirOrder) {
  auto d = design();
  SimulatedTrial t(10);
  EXPECT_EQ(drawsToGenerate(d, 1, t), 3);  // the one patient is treated; nothing past it
  EXPECT_EQ(std::tie(t.group[0], t.entryTime[0], t.eventTime[0], t.censoringTime[0]),
            std::tuple(1.0f, ref[0] * 10, timeAtSurvival(d.alternativeCurve, ref[1]),
                       timeAtSurvival(d.censoringTreatment, ref[2])));
  EXPECT_EQ(t.eventTime[1], 0.0f);
  EXPECT_EQ(drawsToGenerate(d, 0, t), 0);
  EXPECT_EQ(drawsToGenerate(d, 5, t), 15);
  // Each switch point passed costs a draw: rate 0 at 0 (no draw is 0) is passed, 1e30 is not.
  d.dropInCount = d.dropOutCount = 2;
  d.dropOutTimes = {0, 0, 1e30f};
  EXPECT_EQ(drawsToGenerate(d, 10, t), 5 * (3 + 2) + 5 * (3 + 1));
}

TEST(GenerateTrial, TheFirstRoundedShareOfThePatientsAreControls) {
  // round(N / (1 + r)) with halves rounded down, worked by hand.
  for (auto [patients, ratio, controls] :
       {std::tuple{421, 1.0f, 210}, {420, 2.0f, 140}, {422, 2.0f, 141}, {10, 1.5f, 4},
        {5, 1.0f, 2}, {3, 3.0f, 1}, {7, 0.5f, 5}, {1, 1.0f, 0}}) {
    auto d = design();
    d.allocationRatio = ratio;
    SimulatedTrial trial(patients);
    drawsToGenerate(d, patients, trial);
    EXPECT_EQ(std::count(trial.group.begin(), trial.group.end(), 0.0f), controls) << patients;
    EXPECT_TRUE(std::is_sorted(trial.group.begin(), trial.group.end())) << "controls first";
  }
}

TEST(GenerateTrial, ASwitchWithNoChanceBeyondItsTimeGivesUpAfterAMillionDraws) {
  // The curve switched to has S(10) = 1e-50: only a uniform of exactly 0 gets beyond the
  // switch point at 10. The first patient of the arm has its event after 10 and switches.
  auto dropIn = design(), dropOut = design();
  dropIn.alternativeCurve = dropOut.baselineCurve = curve({0, 1}, {1, 0.00001f});
  dropIn.dropInCount = dropOut.dropOutCount = 1;
  dropIn.dropInTimes[1] = dropOut.dropOutTimes[1] = 10;
  dropIn.dropInRates[1] = dropOut.dropOutRates[1] = 1;
  const float next = draws(-123457, 1'000'004).back();  // entry, event, switch, a million tries
  for (auto [d, n, line, text] :
       {std::tuple{dropIn, 2, 142, "drop-in"}, {dropOut, 1, 150, "drop-out"}}) {
    SimulatedTrial trial(2);
    UniformGenerator g;
    int32_t seed = -123457;
    std::ostringstream report;
    try {
      generateTrial(d, n, g, seed, trial, report);
      ADD_FAILURE() << text << " ended";
    } catch (const RunError& error) {
      EXPECT_EQ(error.line(), line);  // the message: tests/search/edge_designs_test.cpp
    }
    EXPECT_EQ(g.nextUniform(seed), next) << text;
  }
}

TEST(AccrualPieces, EntryTimesFollowThePiecewiseUniformLaw) {
  // Pearson's chi-square over 24 bins of width 1 (23 degrees of freedom: mean 23, standard
  // deviation 6.8); 60 lies above 5 standard deviations, a chance below 1e-4 under the law.
  // A wrong piece (say, rates swapped) gives thousands.
  const int32_t n = testing::kSanitizedBuild ? 4000 : 40000;
  SimulatedTrial trial(n);
  using Pieces = std::vector<float>;
  for (const auto& [durations, rates] : {std::pair<Pieces, Pieces>{{6, 18}, {0.25f, 1}},
                                         {{4, 4, 16}, {2, 0, 1}}, {{24}, {1}}}) {
    auto d = design();
    d.accrualPeriod = 24;
    d.accrualPieceCount = static_cast<int32_t>(durations.size());
    std::copy(durations.begin(), durations.end(), d.accrualPieceDurations.begin() + 1);
    std::copy(rates.begin(), rates.end(), d.accrualRelativeRates.begin() + 1);
    drawsToGenerate(d, n, trial);
    const auto share = [&](double t) {  // of the entries by time t, from the pieces directly
      double start = 0, below = 0, total = 0;
      for (size_t i = 0; i < durations.size(); start += durations[i++]) {
        below += rates[i] * std::clamp(t - start, 0.0, double(durations[i]));
        total += rates[i] * durations[i];
      }
      return below / total;
    };
    std::vector<int> counts(24);
    for (const float entry : trial.entryTime) ++counts[std::min(size_t(entry), size_t{23})];
    double chiSquare = 0;
    for (size_t b = 0; b < 24; ++b) {
      const double expected = n * (share(b + 1.0) - share(b));
      if (expected == 0) EXPECT_EQ(counts[b], 0) << "bin " << b;  // a piece at rate 0
      else chiSquare += std::pow(counts[b] - expected, 2) / expected;
    }
    EXPECT_LT(chiSquare, 60.0) << durations.size() << " pieces";
  }
}

TEST(AccrualPieces, OnePieceAtFullRateDrawsTheOriginalTrialBitForBit) {
  auto onePiece = design();
  onePiece.accrualPieceCount = 1;
  onePiece.accrualPieceDurations[1] = 10;
  onePiece.accrualRelativeRates[1] = 1;
  SimulatedTrial a(501), b(501);
  drawsToGenerate(design(), 501, a);
  drawsToGenerate(onePiece, 501, b);
  for (auto field : {&SimulatedTrial::entryTime, &SimulatedTrial::eventTime,
                     &SimulatedTrial::censoringTime, &SimulatedTrial::group})
    EXPECT_EQ(std::memcmp((a.*field).data(), (b.*field).data(), 4 * 501), 0);
}

TEST(CollectAnalysisData, EntryAtTheAnalysisIsNotSeenAndAnEventAtTheEndOfFollowUpIs) {
  SimulatedTrial trial(4);
  trial.entryTime = {10, 4, 4, 1};     // enters at the analysis time 10: left out
  trial.eventTime = {1, 6, 7, 50};     // follow-up 6: the event at 6 is seen
  trial.censoringTime = {9, 9, 9, 0};  // lost at time 0: left out
  trial.group = {0, 1, 0, 1};
  AnalysisData data(4);
  collectAnalysisData(trial, 4, 10.0f, data);
  ASSERT_EQ(data.enteredCount, 2);
  EXPECT_EQ(std::tuple(data.observedTime[0], data.observedTime[1], data.eventIndicator[0],
                       data.eventIndicator[1], data.observedGroup[0], data.observedGroup[1]),
            std::tuple(6.0f, 6.0f, 1, 0, 1.0f, 0.0f));
}

TEST(Sim, RefusesMorePatientsThanTheArraysHold) {
  for (auto [trialSize, dataSize, generation] : {std::tuple{4, 5, true}, {5, 4, false}}) {
    SimulatedTrial trial(trialSize);  // five patients: the cut needs room in both
    AnalysisData data(dataSize);
    if (generation) EXPECT_THROW(drawsToGenerate(design(), 5, trial), RunError);
    else EXPECT_NO_THROW(drawsToGenerate(design(), 5, trial));
    EXPECT_THROW(collectAnalysisData(trial, 5, 10, data), RunError) << trialSize << dataSize;
  }
}

// Each look at the first calendar time at which the analysis data show its target number of
// events; a trial whose events run out ends at its last.
TEST(EventLookTimes, EveryLookAtItsTargetEventAndAShortTrialEndsAtItsLastEvent) {
  constexpr int32_t n = 300;
  const input::AnalysisCounts targets{0, 60, 150, 228, 236};  // 233 +- 7 events in all
  SimulatedTrial trial(n);
  AnalysisData data(n);
  const auto eventsAt = [&](float t) {
    collectAnalysisData(trial, n, t, data);
    return std::count(data.eventIndicator.begin(), data.eventIndicator.begin() + data.enteredCount, 1);
  };
  std::vector<float> scratch;
  UniformGenerator g;
  int32_t seed = 20261207;
  std::ostringstream report;
  int shortTrials = 0;
  for (int number = 1; number <= 200; ++number) {
    generateTrial(design(), n, g, seed, trial, report);
    const long all = eventsAt(1e30f);  // beyond every event
    EventLooks looks;
    eventLookTimes(trial, n, targets, 4, 24.0f, scratch, looks);
    ASSERT_EQ(looks.eventCount, all);
    ASSERT_EQ(looks.finalLook, std::find_if(targets.begin() + 1, targets.begin() + 4,
                                            [&](int32_t k) { return k >= all; }) - targets.begin());
    for (int32_t k = 1; k <= looks.finalLook; ++k) {  // reached at the look, not before
      const long target = std::min<long>(targets[k], all);
      EXPECT_GE(eventsAt(looks.time[k]), target) << "trial " << number;
      EXPECT_LT(eventsAt(std::nextafter(looks.time[k], -1.0f)), target) << "trial " << number;
    }
    shortTrials += looks.finalLook < 4;
  }
  EXPECT_GT(shortTrials, 20);  // the table reaches both kinds of trial
  EXPECT_LT(shortTrials, 180);
}

TEST(EventLookTimes, ATrialWithoutEventsLooksOnceAtTheEndOfAccrual) {
  SimulatedTrial trial(3);
  trial.entryTime = {1, 2, 3};
  trial.eventTime = {5, 5, INFINITY};
  trial.censoringTime = {4, 4, INFINITY};  // lost before
  std::vector<float> scratch;
  EventLooks looks;
  eventLookTimes(trial, 3, {0, 1, 2}, 2, 24.0f, scratch, looks);
  EXPECT_EQ(std::tuple(looks.finalLook, looks.eventCount, looks.time[1]), std::tuple(1, 0, 24.0f));
}

}  // namespace
}  // namespace survseq::sim
