// Entry times under accrual pieces and the arms under unequal allocation, as the trials
// draw them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "build_kind.h"
#include "sim/reference.h"
#include "sim/simulated_trial.h"

namespace survseq::sim {
namespace {

input::DesignParameters design(std::vector<float> durations = {}, std::vector<float> rates = {}) {
  input::DesignParameters d;
  d.baselineCurve = curve({0, 10}, {1, 0.5f});
  d.alternativeCurve = curve({0, 10}, {1, 0.25f});
  d.censoringControl = d.censoringTreatment = curve({0, 20}, {1, 0.5f});
  d.accrualPeriod = 0.0f;
  d.accrualPieceCount = static_cast<int32_t>(durations.size());
  for (size_t i = 0; i < durations.size(); ++i) {
    d.accrualPieceDurations[i + 1] = durations[i];
    d.accrualRelativeRates[i + 1] = rates[i];
    d.accrualPeriod += durations[i];
  }
  return d;
}

void generate(const input::DesignParameters& d, int32_t n, SimulatedTrial& trial) {
  UniformGenerator g;
  int32_t seed = 20261207;
  std::ostringstream report;
  generateTrial(d, n, g, seed, trial, report);
}

// The share of the entries by time t, written from the pieces directly.
double pieceLaw(const std::vector<float>& durations, const std::vector<float>& rates, double t) {
  double start = 0.0, below = 0.0, total = 0.0;
  for (size_t i = 0; i < durations.size(); ++i) {
    below += rates[i] * std::clamp(t - start, 0.0, double(durations[i]));
    total += rates[i] * durations[i];
    start += durations[i];
  }
  return below / total;
}

TEST(AccrualPieces, EntryTimesFollowThePiecewiseUniformLaw) {
  // Pearson's chi-square over 24 equal-width bins of the accrual (23 degrees of freedom:
  // mean 23, standard deviation 6.8); 60 lies above 5 standard deviations, a chance below
  // 1e-4 under the law. A wrong piece (say, rates swapped) gives thousands.
  const int32_t n = testing::kSanitizedBuild ? 4000 : 40000;
  constexpr int bins = 24;
  struct Case {
    std::vector<float> durations, rates;
  };
  for (const Case& c : {Case{{6, 18}, {0.25f, 1}}, Case{{4, 4, 16}, {2, 0, 1}}, Case{{24}, {1}}}) {
    const auto d = design(c.durations, c.rates);
    SimulatedTrial trial(n);
    generate(d, n, trial);
    std::vector<int> counts(bins);
    const double width = d.accrualPeriod / bins;
    for (int32_t j = 0; j < n; ++j) {
      ++counts[static_cast<size_t>(std::min(int(trial.entryTime[j] / width), bins - 1))];
    }
    double chiSquare = 0.0;
    for (int b = 0; b < bins; ++b) {
      const double expected =
          n * (pieceLaw(c.durations, c.rates, (b + 1) * width) - pieceLaw(c.durations, c.rates, b * width));
      if (expected == 0.0) {
        EXPECT_EQ(counts[static_cast<size_t>(b)], 0) << "bin " << b;  // a piece at rate 0
        continue;
      }
      chiSquare += std::pow(counts[static_cast<size_t>(b)] - expected, 2) / expected;
    }
    EXPECT_LT(chiSquare, 60.0) << c.durations.size() << " pieces";
  }
}

TEST(AccrualPieces, OnePieceAtFullRateDrawsTheOriginalTrialBitForBit) {
  const auto original = design({}, {});
  auto onePiece = design({24}, {1});
  auto plain = original;
  plain.accrualPeriod = 24;
  SimulatedTrial a(501), b(501);
  generate(plain, 501, a);
  generate(onePiece, 501, b);
  for (size_t j = 0; j < 501; ++j) {
    ASSERT_TRUE(sameBits(a.entryTime[j], b.entryTime[j]) && sameBits(a.eventTime[j], b.eventTime[j]) &&
                sameBits(a.censoringTime[j], b.censoringTime[j]) && a.group[j] == b.group[j])
        << "patient " << j;
  }
}

TEST(Allocation, TheFirstRoundedShareOfThePatientsAreControls) {
  // round(N / (1 + r)) with halves rounded down, worked by hand.
  struct Case {
    int32_t patients;
    float ratio;
    int32_t controls;
  };
  for (const Case& c : {Case{421, 1, 210}, {420, 2, 140}, {422, 2, 141}, {10, 1.5f, 4}, {5, 1, 2},
                        {3, 3, 1}, {7, 0.5f, 5}, {1, 1, 0}}) {
    auto d = design({24}, {1});
    d.allocationRatio = c.ratio;
    SimulatedTrial trial(c.patients);
    generate(d, c.patients, trial);
    const auto controls = std::count(trial.group.begin(), trial.group.end(), 0.0f);
    EXPECT_EQ(controls, c.controls) << c.patients << " patients at " << c.ratio;
    EXPECT_TRUE(std::is_sorted(trial.group.begin(), trial.group.end())) << "controls first";
  }
}

}  // namespace
}  // namespace survseq::sim
