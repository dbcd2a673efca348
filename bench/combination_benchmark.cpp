// Cost of the max-combo test's critical values, the work done at every look of every
// simulated trial that combines statistics: three looks of the four statistics FH(0,0),
// FH(0,1), FH(1,0), FH(1,1) on covariances built as a trial builds them (the sum over
// event times of the product of the two weights times the at-risk variance term).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "bounds/combination_boundaries.h"

namespace {

using survseq::bounds::CombinationState;
using survseq::bounds::combinationCriticalValue;

constexpr int32_t kLooks = 3;
constexpr int32_t kStatistics = 4;
// The one-sided error spent by the looks at information fractions 1/2, 3/4 and 1 under
// Lan and DeMets' O'Brien-Fleming-type use function, alpha 0.025.
constexpr float kSpent[kLooks + 1] = {0.0f, 0.00153f, 0.00965f, 0.025f};

// Trial `trial`'s covariances: 600 patients in two equal arms, events in turn (the pooled
// survival before the i-th is 1 - i/600, each event's variance term 1/4), 180, 270 and
// 360 events at the looks give or take ten, varying from trial to trial.
CombinationState trialState(int64_t trial) {
  constexpr float rho[kStatistics] = {0.0f, 0.0f, 1.0f, 1.0f};
  constexpr float gamma[kStatistics] = {0.0f, 1.0f, 0.0f, 1.0f};
  CombinationState state;
  double sum[kStatistics][kStatistics] = {};
  int32_t event = 0;
  for (int32_t k = 1; k <= kLooks; ++k) {
    const int32_t events = 90 * (k + 1) + static_cast<int32_t>((trial * 7 + k * 3) % 21) - 10;
    for (; event < events; ++event) {
      const double survival = 1.0 - event / 600.0;
      double w[kStatistics];
      for (int32_t j = 0; j < kStatistics; ++j) {
        w[j] = std::pow(survival, rho[j]) * std::pow(1.0 - survival, gamma[j]);
      }
      for (int32_t a = 0; a < kStatistics; ++a)
        for (int32_t b = 0; b < kStatistics; ++b) sum[a][b] += 0.25 * w[a] * w[b];
    }
    state.covariance[k].count = kStatistics;
    for (int32_t a = 0; a < kStatistics; ++a)
      for (int32_t b = 0; b < kStatistics; ++b)
        state.covariance[k](a, b) = static_cast<float>(sum[a][b]);
  }
  return state;
}

// All the critical values of one trial, trial after trial, one- or two-sided.
void trialCriticalValues(benchmark::State& state) {
  const auto sides = static_cast<int32_t>(state.range(0));
  int64_t trial = 0;
  float largestError = 0.0f;
  for (auto _ : state) {
    CombinationState combination = trialState(trial++);
    for (int32_t k = 1; k <= kLooks; ++k) {
      benchmark::DoNotOptimize(combinationCriticalValue(k, kSpent[k], sides, combination));
    }
    largestError = std::max(largestError, combination.largestError);
  }
  state.counters["largestError"] = largestError;
}

// One look's critical value, the earlier looks' already found.
void lookCriticalValue(benchmark::State& state) {
  const auto look = static_cast<int32_t>(state.range(0));
  int64_t trial = 0;
  float largestError = 0.0f;
  for (auto _ : state) {
    state.PauseTiming();
    CombinationState combination = trialState(trial++);
    for (int32_t k = 1; k < look; ++k) combinationCriticalValue(k, kSpent[k], 1, combination);
    combination.largestError = 0.0f;
    state.ResumeTiming();
    benchmark::DoNotOptimize(combinationCriticalValue(look, kSpent[look], 1, combination));
    largestError = std::max(largestError, combination.largestError);
  }
  state.counters["largestError"] = largestError;
}

BENCHMARK(trialCriticalValues)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(lookCriticalValue)->DenseRange(1, kLooks)->Unit(benchmark::kMillisecond);

}  // namespace
