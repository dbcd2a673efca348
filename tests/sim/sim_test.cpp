// The simulation against references of its own: the generator's documented stream, the
// prepared laws and power shortcuts bit for bit against their definitions, and trials as drawn.

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "build_kind.h"
#include "input/seed_limits.h"
#include "report/output_line.h"
#include "report/run_error.h"
#include "sim/event_look_times.h"
#include "sim/probability_powers.h"
#include "sim_fixtures.h"

namespace survseq::sim {
namespace {


TEST(UniformGenerator, DocumentedStreamsRestartBothEndsAndTheSeedsRefused) {
  const std::vector<float> ref = draws(-123457, 3);
  EXPECT_EQ(ref, (std::vector{0.150876433f, 0.0923406035f, 0.994098902f}));
  EXPECT_EQ(draws(0, 3), (std::vector{0.533923864f, 0.323008806f, 0.401103973f}));
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
  // The readers refuse exactly the seeds whose stream leaves [0, 1]: the check decides on 56
  // draws, 3000 here (2^31 - 1 leaves at draws 16 and 40; 999999999 stays).
  std::vector<int32_t> large{INT32_MAX, INT32_MIN, 999999999, 161803398, 161803399, -161803399};
  for (int32_t i = 0; i < 60; ++i) large.push_back(161803398 + i * 33'000'013);
  for (const int32_t seed : large) {
    const auto drawn = draws(seed, 3000);
    if (std::any_of(drawn.begin(), drawn.end(), [](float u) { return u < 0 || u > 1; }))
      EXPECT_THROW(input::requireSeedWithinStream(seed, 17), RunError) << seed;
    else
      EXPECT_NO_THROW(input::requireSeedWithinStream(seed, 17)) << seed;
  }
}

TEST(SurvivalCurves, DocumentedTimesAndNeverReached) {
  const auto one = curve({0, 10}, {1, 0.5f});  // beyond the points, the last hazard goes on
  for (auto [c, t, s] : {std::tuple{one, 20.0f, 0.25f},
                         {curve({0, 10, 20}, {1, 0.5f, 0.05f}), 30.0f, 0.005f}})
    EXPECT_FLOAT_EQ(survivalAt(c, t), s) << t;
  for (auto [c, u, t] : {std::tuple{one, 0.25f, 20.0f}, {one, 1.0f, 0.0f}, {one, 0.0f, INFINITY},
                         {curve({0, 5, 10}, {1, 0.5f, 0.5f}), 0.3f, INFINITY}})  // flat at the end
    EXPECT_FLOAT_EQ(timeAtSurvival(c, u), t) << u;
  std::ostringstream report;
  for (auto [u, t] : {std::pair{0.8f, 6.4386f}, {0.5f, 15.0f}, {1.0f, 0.0f}})  // S1 = S0^0.5 to 10
    EXPECT_NEAR(hazardRatioTimeAtSurvival(design({10}, {0.5f}), u, report), t, 1e-4f) << u;
}

// Probabilities as the generator gives them, and the ends and a few very small ones.
std::vector<float> probabilities() {
  std::vector<float> u = draws(4711, 20000);
  u.insert(u.end(), {0.0f, 1.0f, 1e-9f, 2e-9f, 1e-7f, 0x1p-30f, 0x1p-31f, 0.5f});
  return u;
}

// The hazard-ratio inversion as defined: every constant taken afresh.
float definedHazardRatioTime(const input::DesignParameters& d, float u, std::ostream& report) {
  if (u >= 1.0f) return d.baselineCurve.x[0];
  const int m = d.hazardRatioCount;
  float p = 1.0f;
  for (int k = 1;; ++k) {
    const float q = float(std::pow(double(u) / double(p), 1.0 / double(d.hazardRatios[k])));
    const float sT = survivalAt(d.baselineCurve, d.hazardRatioCuts[k]);
    if (q >= sT) return timeAtSurvival(d.baselineCurve, q);
    if (sT < 1e-6f) report::writePlainLine(report, {"tmpp too small"});
    if (p < 1e-6f) report::writePlainLine(report, {"rmlp too small"});
    if (k + 1 > m) {
      p = float(double(p) * std::pow(double(sT), double(d.hazardRatios[m]) - 1.0));
      return timeAtSurvival(d.baselineCurve, u <= 0.0f ? 0.0f : float(double(u) / double(p)));
    }
    p = float(double(p) *
              std::pow(double(sT), double(d.hazardRatios[k]) - double(d.hazardRatios[k + 1])));
  }
}

TEST(PreparedLaws, CurvesAndHazardRatioLawsGiveTheDefinedTimesSurvivalsAndWarnings) {
  const std::pair<input::SurvivalCurve, input::DesignParameters> cases[] = {
      {curve({0, 10}, {1, 0.5f}), design({10}, {0.5f})},
      {curve({0, 10}, {1, 0.5f}), design({10}, {2.0f})},
      {curve({0, 10}, {1, 0.5f}), design({3, 8, 12}, {1, 1, 1})},
      {curve({0, 6, 12, 24}, {1, 0.85f, 0.72f, 0.5f}), design({6, 60}, {1.0f, 0.7f})},
      {curve({0, 5, 10}, {1, 0.7f, 0.3f}), design({4, 9, 20}, {0.6f, 1.3f, 0.8f})},
      {curve({0, 5, 10}, {1, 0.5f, 0.5f}), design({7}, {0.8f})},            // flat at the end
      {curve({0, 5, 10, 15}, {1, 0.6f, 0.7f, 0.4f}), design({5}, {0.6f})},  // rising in the middle
      {curve({0, 1, 2}, {1, 1 - 1e-7f, 1e-5f}), design({1}, {1.5f})},  // a drop too small to use
      {curve({0, 24}, {1, 1}), design({12}, {0.5f})},                   // nobody lost
      {curve({0, 10}, {1, 1e-7f}), design({10, 20}, {1.0f, 1.0f})}};  // warns beyond the first cut
  int32_t warned = 0;
  for (auto [baseline, d] : cases) {
    d.baselineCurve = baseline;
    const CurveHazards prepared = withHazards(baseline);
    const HazardRatioLaw law = hazardRatioLaw(d);
    std::ostringstream got, want;
    for (float u : probabilities()) {
      ASSERT_TRUE(sameBits(timeAtSurvival(prepared, u), timeAtSurvival(baseline, u))) << u;
      ASSERT_TRUE(sameBits(survivalAt(prepared, u * 40), survivalAt(baseline, u * 40))) << u;
      ASSERT_TRUE(sameBits(hazardRatioTimeAtSurvival(law, u, got),
                           definedHazardRatioTime(d, u, want)))
          << u << " with " << d.hazardRatioCount << " cuts";
    }
    EXPECT_EQ(got.str(), want.str());
    warned += !got.str().empty();
  }
  EXPECT_EQ(warned, 1);
}

TEST(PreparedLaws, NullVarianceIntegrandIsTheDefinedOne) {
  auto d = design();
  d.baselineCurve = curve({0, 6, 12, 24}, {1, 0.85f, 0.72f, 0.5f});
  d.censoringControl = curve({0, 24}, {1, 0.01f});
  d.censoringTreatment = curve({0, 20}, {1, 1e-6f});  // the sum falls below 1e-5 at last
  const NullVarianceCurves curves(d);
  int32_t zeros = 0;
  for (float rho : {0.0f, 0.5f, 1.0f, 2.0f})
    for (float tau : {0.0f, 0.5f, 1.0f, 1.5f})
      for (float t = 0.0f; t < 200.0f; t += 0.37f) {
        const float a = survivalAt(d.censoringControl, t), b = survivalAt(d.censoringTreatment, t);
        const double s = survivalAt(d.baselineCurve, t);
        const double weight = std::pow(s, 2.0 * rho) * std::pow(1.0 - s, 2.0 * tau);
        const float want =
            a + b < 1e-5f ? 0.0f : float(weight * double(a) * double(b) / double(a + b));
        ASSERT_TRUE(sameBits(nullVarianceIntegrand(curves, t, rho, tau), want)) << t << " " << rho;
        zeros += want == 0.0f;
      }
  EXPECT_GT(zeros, 0);
}

// Every float p in [kSmallestShortcutBase, 1], about a quarter of a billion (the sanitised
// build takes every 4099th), for each exponent with a shortcut, and some p outside and
// exponents without: p^e and (1 - p)^e must be the library's powers, bit for bit. The plain
// product and square root would not do: the library rounds some of them otherwise.
TEST(ProbabilityPowers, ShortcutsOfEveryFloatProbabilityAndComplementAreTheLibrarysPowers) {
  int64_t failures = 0;
  const auto check = [&](float p, double e) {
    failures += !sameBits(powerOfProbability(p, e), libraryPow(p, e));
    failures += !sameBits(powerOfComplement(p, e), libraryPow(1.0 - double(p), e));
  };
  const uint32_t last = std::bit_cast<uint32_t>(1.0f), step = testing::kSanitizedBuild ? 4099 : 1;
  for (uint32_t bits = std::bit_cast<uint32_t>(kSmallestShortcutBase); bits <= last; bits += step)
    for (double e : {0.0, 1.0, 2.0, 0.5}) check(std::bit_cast<float>(bits), e);
  for (float p : {0.0f, 0x1p-31f, 1.5f, -0.25f, 0.3f})
    for (double e : {0.0, 1.0, 2.0, 0.5, 3.0, 1.5}) check(p, e);
  EXPECT_EQ(failures, 0);
}

TEST(GenerateTrial, TheFirstRoundedShareOfThePatientsAreControls) {
  // round(N / (1 + r)) with halves rounded down, worked by hand.
  for (auto [patients, ratio, controls] :
       {std::tuple{421, 1.0f, 210}, {420, 2.0f, 140}, {422, 2.0f, 141}, {10, 1.5f, 4},
        {5, 1.0f, 2}, {3, 3.0f, 1}, {7, 0.5f, 5}, {1, 1.0f, 0}}) {
    auto d = design();
    d.allocationRatio = ratio;
    SimulatedTrial trial(patients);
    generate(d, patients, trial);
    EXPECT_EQ(std::count(trial.group.begin(), trial.group.end(), 0.0f), controls) << patients;
    EXPECT_TRUE(std::is_sorted(trial.group.begin(), trial.group.end())) << "controls first";
  }
}

TEST(GenerateTrial, ASwitchWithNoChanceBeyondItsTimeGivesUpAfterAMillionDraws) {
  // The curve switched to has S(10) = 1e-50: only a uniform of exactly 0 gets beyond the
  // switch point at 10. The first patient of the arm has its event after 10 and switches.
  const auto steep = curve({0, 1}, {1, 0.00001f});
  auto dropIn = design(), dropOut = design();
  dropIn.alternativeCurve = dropOut.baselineCurve = steep;
  dropIn.dropInCount = dropOut.dropOutCount = 1;
  dropIn.dropInTimes = dropOut.dropOutTimes = {0, 10};
  dropIn.dropInRates = dropOut.dropOutRates = {0, 1};
  const float afterAMillion = draws(-123457, 1'000'004).back();  // entry, event, switch draw
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
      EXPECT_EQ(error.line(), line);
      EXPECT_EQ(std::string(error.what()).rfind("no event time after the " + std::string(text) +
                                                " time 10 (point 1) in 1000000 draws", 0), 0u);
    }
    EXPECT_EQ(g.nextUniform(seed), afterAMillion) << text;
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
    generate(d, n, trial);
    std::vector<double> rate;  // of each bin, from the pieces directly
    for (size_t i = 0; i < durations.size(); ++i)
      rate.resize(rate.size() + size_t(durations[i]), rates[i]);
    const double total = std::accumulate(rate.begin(), rate.end(), 0.0);
    std::vector<int> counts(24);
    for (const float entry : trial.entryTime) ++counts[std::min(size_t(entry), size_t{23})];
    double chiSquare = 0;
    for (size_t b = 0; b < 24; ++b) {
      const double expected = n * rate[b] / total;
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
  generate(design(), 501, a);
  generate(onePiece, 501, b);
  for (auto field : {&SimulatedTrial::entryTime, &SimulatedTrial::eventTime,
                     &SimulatedTrial::censoringTime, &SimulatedTrial::group})
    EXPECT_EQ(std::memcmp((a.*field).data(), (b.*field).data(), 4 * 501), 0);
}

TEST(CollectAnalysisData, EntryAtTheAnalysisIsNotSeenAnEventAtTheEndOfFollowUpIs) {
  SimulatedTrial trial(4);
  trial.entryTime = {10, 4, 4, 1};     // enters at the analysis time 10: left out
  trial.eventTime = {1, 6, 7, 50};     // follow-up 6: the event at 6 is seen
  trial.censoringTime = {9, 9, 9, 0};  // lost at time 0: left out
  trial.group = {0, 1, 0, 1};
  AnalysisData data(4), small(3), large(5);
  collectAnalysisData(trial, 4, 10.0f, data);
  ASSERT_EQ(data.enteredCount, 2);
  EXPECT_EQ(std::tuple(data.observedTime[0], data.observedTime[1], data.eventIndicator[0],
                       data.eventIndicator[1], data.observedGroup[0], data.observedGroup[1]),
            std::tuple(6.0f, 6.0f, 1, 0, 1.0f, 0.0f));
  // More patients than the arrays hold are refused.
  EXPECT_THROW(collectAnalysisData(trial, 5, 10, large), RunError);
  EXPECT_THROW(collectAnalysisData(trial, 4, 10, small), RunError);
  EXPECT_THROW(generate(design(), 5, trial), RunError);
}

// A trial whose events run out ends at its last event; one without events at the accrual's end.
TEST(EventLookTimes, EveryLookAtItsTargetEventAndAShortTrialEndsAtItsLastEvent) {
  constexpr int32_t n = 300;
  const input::AnalysisCounts targets{0, 60, 150, 228, 236};  // 233 +- 7 events in all
  SimulatedTrial trial(n);
  AnalysisData data(n);
  const auto eventsAt = [&](float t) {
    collectAnalysisData(trial, n, t, data);
    return std::count(data.eventIndicator.begin(), data.eventIndicator.begin() + data.enteredCount,
                      1);
  };
  std::vector<float> scratch;
  EventLooks looks;
  UniformGenerator g;
  int32_t seed = 20261207;
  std::ostringstream report;
  int shortTrials = 0;
  for (int number = 1; number <= 200; ++number) {
    generateTrial(design(), n, g, seed, trial, report);
    const long all = eventsAt(1e30f);  // beyond every event
    eventLookTimes(trial, n, targets, 4, 24.0f, scratch, looks);
    ASSERT_EQ(looks.eventCount, all);
    ASSERT_EQ(looks.finalLook, std::find_if(targets.begin() + 1, targets.begin() + 4,
                                            [&](int32_t k) { return k >= all; }) -
                                   targets.begin());
    for (int32_t k = 1; k <= looks.finalLook; ++k) {  // reached at the look, not before
      const long target = std::min<long>(targets[k], all);
      EXPECT_GE(eventsAt(looks.time[k]), target) << "trial " << number;
      EXPECT_LT(eventsAt(std::nextafter(looks.time[k], -1.0f)), target) << "trial " << number;
    }
    shortTrials += looks.finalLook < 4;
  }
  EXPECT_GT(shortTrials, 20);  // the table reaches both kinds of trial
  EXPECT_LT(shortTrials, 180);
  trial.eventTime.assign(n, INFINITY);
  eventLookTimes(trial, n, targets, 4, 24.0f, scratch, looks);
  EXPECT_EQ(std::tuple(looks.finalLook, looks.eventCount, looks.time[1]), std::tuple(1, 0, 24.0f));
}

}  // namespace
}  // namespace survseq::sim
