// The sort of the analysis data against the defining exchange passes, and the statistics
// against worked examples and against every power taken by the library's pow.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "counted_allocations.h"
#include "sim/reference.h"
#include "sim/simulated_trial.h"
#include "sim/tie_order.h"

namespace survseq::sim {
namespace {

bool sameRecords(const AnalysisData& a, const AnalysisData& b) {
  const auto bytes = 4 * static_cast<size_t>(a.enteredCount);
  return a.enteredCount == b.enteredCount &&
         (bytes == 0 || (std::memcmp(a.observedTime.data(), b.observedTime.data(), bytes) == 0 &&
                         std::memcmp(a.observedGroup.data(), b.observedGroup.data(), bytes) == 0 &&
                         std::memcmp(a.eventIndicator.data(), b.eventIndicator.data(), bytes) == 0));
}

// The records of `times` with their indices as groups, sorted by the exchange passes, and
// by insertion, which must give the same records.
AnalysisData exchangeSorted(const std::vector<float>& times) {
  AnalysisData data(static_cast<int32_t>(times.size())), insertion(0);
  data.enteredCount = static_cast<int32_t>(times.size());
  data.observedTime = times;
  for (size_t i = 0; i < times.size(); ++i) data.observedGroup[i] = static_cast<float>(i);
  insertion = data;
  exchangePassSort(data);
  gapHalvingSort(insertion);
  EXPECT_TRUE(sameRecords(data, insertion)) << times.size() << " records";
  return data;
}

// The records of time `value` by gapHalvingTieOrder, with keys that order as the times
// (whole numbers, and -0 beside +0), and as the exchange passes leave them.
void expectTieOrder(const std::vector<float>& times, const AnalysisData& sorted, float value) {
  std::vector<uint64_t> keys, order(times.size()), want;
  std::vector<int32_t> work(times.size() + 2);
  auto key = [](float t) { return uint64_t(2 * t + 3 - std::signbit(t)) << 32 | 77; };
  for (float t : times) keys.push_back(key(t));
  const uint64_t low = key(value == 0 ? -0.0f : value), high = key(value == 0 ? 0.0f : value);
  gapHalvingTieOrder(keys, low, (high | 0xFFFFFFFFu) + 1, order, work);
  for (size_t i = 0; i < times.size(); ++i)
    if (sorted.observedTime[i] == value) want.push_back(uint64_t(sorted.observedGroup[i]));
  order.resize(want.size());
  EXPECT_EQ(order, want) << times.size() << " records, time " << value;
}

TEST(SortAnalysisData, InsertionAndTieOrderAreTheExchangePassesOnEveryArrayOfUpToTen) {
  // Every array of up to ten records over the times 0, 1 and 2, and over 0, 1 and NaN.
  for (size_t m = 0; m <= 10 && !HasFailure(); ++m) {
    std::vector<float> times(m), withNaN(m);
    for (int code = 0, codes = static_cast<int>(std::pow(3, m)); code < codes; ++code) {
      for (int rest = code, i = 0; float& t : times) {
        t = static_cast<float>(rest % 3);
        withNaN[i++] = t == 2 ? NAN : t;
        rest /= 3;
      }
      const AnalysisData sorted = exchangeSorted(times);
      exchangeSorted(withNaN);
      for (float value : {0.0f, 1.0f, 2.0f}) expectTieOrder(times, sorted, value);
    }
  }
}

TEST(SortAnalysisData, InsertionAndTieOrderAreTheExchangePassesOnLongArraysOfEveryParity) {
  std::mt19937 rng(3);
  for (int32_t m = 11; m < 3000 && !HasFailure(); m += 1 + m / 8) {
    for (size_t alphabet : {2u, 7u, 300u}) {
      std::uniform_int_distribution<size_t> pick(0, alphabet - 1);
      std::vector<float> times(static_cast<size_t>(m));
      for (float& t : times) t = static_cast<float>(pick(rng));
      times[times.size() / 3] = -0.0f;  // equal to 0
      const AnalysisData sorted = exchangeSorted(times);
      for (float value : {0.0f, 1.0f, times.back()}) expectTieOrder(times, sorted, value);
      times[times.size() / 5] = NAN;
      exchangeSorted(times);
    }
  }
}

// How the records of a data set are drawn: times from `alphabet` (or, when it is empty,
// continuous times that tie only now and then), and either a group and event of their
// own or the ones that belong to the time (then equal times are equal records).
struct Shape {
  const char* what;
  std::vector<float> alphabet;
  bool recordFollowsTime;
  double nanShare = 0;
  float oddGroup = 0;  // a group other than 0 and 1 for every 50th record, if not 0
};

AnalysisData draw(const Shape& shape, int32_t m, std::mt19937& rng) {
  AnalysisData data(0);  // arrays replaced: the sort must grow its working space
  data.enteredCount = m;
  std::uniform_int_distribution<size_t> pick(0, std::max<size_t>(shape.alphabet.size(), 1) - 1);
  std::uniform_real_distribution<float> continuous(0.0f, 60.0f), share(0.0f, 1.0f);
  for (int32_t i = 0; i < m; ++i) {
    float t = shape.alphabet.empty() ? continuous(rng) : shape.alphabet[pick(rng)];
    if (share(rng) < shape.nanShare) t = NAN;
    const uint32_t bits = std::bit_cast<uint32_t>(t) * 2654435761u;  // the time's own record
    const uint32_t own = shape.recordFollowsTime ? bits >> 30 : static_cast<uint32_t>(rng()) & 3;
    data.observedTime.push_back(t);
    data.observedGroup.push_back(shape.oddGroup != 0 && i % 50 == 7 ? shape.oddGroup : own >> 1);
    data.eventIndicator.push_back(static_cast<int32_t>(own & 1));
  }
  return data;
}

// The radix path (ties only among equal records) and the ways back to insertion (ties of
// different records, NaN, -0 beside +0, an odd group), record for record and statistic
// for statistic.
TEST(SortAnalysisData, FastSortGivesTheInsertionSortsRecordsAndStatistics) {
  const input::StatisticValues rho{0, 0, 1, 0, 0.5f, 2}, tau{0, 0, 0, 1, 0.5f, 1.5f};
  const float tiny = std::numeric_limits<float>::denorm_min(), inf = INFINITY;
  const std::vector<float> extremes{-inf, -3.5f, -tiny, -0.0f, 0.0f, tiny, 1e-30f, 0.5f,
                                    7.0f, 1e30f, std::numeric_limits<float>::max(), inf};
  std::vector<float> whole(400);
  for (size_t i = 0; i < whole.size(); ++i) whole[i] = float(i + 1);
  const std::vector<float> forty(whole.begin(), whole.begin() + 40);
  const Shape shapes[] = {
      {"continuous times", {}, false},
      {"whole times, records of their own", forty, false},
      {"whole times, equal records", forty, true},
      {"one time, equal records", {12.5f}, true},
      {"extremes, equal records", extremes, true},
      {"extremes, records of their own", extremes, false},
      {"equal records and a NaN", forty, true, 0.002},
      {"many NaN", {1, 2, 3, 4, 5}, false, 0.3},
      {"an odd group", whole, true, 0, 0.5f},
  };
  std::mt19937 rng(11);
  StatisticResults got, want;
  for (const Shape& shape : shapes) {
    for (int32_t m : {0, 1, 47, 48, 49, 50, 200, 1000, 7100}) {
      for (int repeat = 0; repeat < 4; ++repeat) {
        AnalysisData fast = draw(shape, m, rng), defining = fast;
        sortAnalysisData(fast);
        gapHalvingSort(defining);
        ASSERT_TRUE(sameRecords(fast, defining)) << shape.what << ", " << m << " records";
        computeStatistics(fast, 5, rho, tau, got);
        computeStatistics(defining, 5, rho, tau, want);
        ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << shape.what << ", " << m;
      }
    }
  }
}

TEST(ComputeStatistics, WorkedExamples) {
  // n = 3, nT = 1: d = 2/3, v = 2/9, then n = 1: d = v = 0, so Z = -sqrt(2). The tied
  // censored record sorted first has left: n = 2, d = 1/2, v = 1/4. One patient: S = 1/2, 0/0.
  struct Case { const char* what; std::vector<float> time, group; std::vector<int32_t> event;
                int32_t events; float z, v; };
  for (const Case& c : {Case{"tie after", {1, 1, 3}, {1, 0, 0}, {1, 0, 1}, 2, -1.4142136f, 2 / 9.f},
                        Case{"tie before", {1, 1, 3}, {0, 1, 0}, {0, 1, 1}, 2, -1, 0.25f},
                        Case{"one patient", {1}, {1}, {1}, 1, NAN, 0},
                        Case{"no events", {1, 2}, {1, 0}, {0, 0}, 0, 0, 0}}) {
    SCOPED_TRACE(c.what);
    AnalysisData data(0);
    std::tie(data.observedTime, data.observedGroup, data.eventIndicator, data.enteredCount) =
        std::tuple(c.time, c.group, c.event, int32_t(c.time.size()));
    StatisticResults got{{99, 99, 99, 99, 99, 99}, {99, 99, 99, 99, 99, 99}};  // stale values
    computeStatistics(data, 1, {}, {}, got);
    EXPECT_EQ(got.eventCount, c.events);
    EXPECT_FLOAT_EQ(got.statisticVariance[1], c.v);
    if (std::isnan(c.z)) EXPECT_TRUE(std::isnan(got.statisticValue[1]));
    else EXPECT_FLOAT_EQ(got.statisticValue[1], c.z);
    EXPECT_EQ(got.statisticValue[2], 99.0f);  // nothing past the count
  }
}

StatisticResults straightforward(const AnalysisData& data, const input::StatisticValues& rho,
                                 const input::StatisticValues& tau) {  // every power taken
  StatisticResults r;
  float n = float(data.enteredCount), nT = 0, s = 1;
  for (int32_t j = 0; j < data.enteredCount; ++j) nT += data.observedGroup[j];
  for (int32_t j = 0; j < data.enteredCount; n -= 1, nT -= data.observedGroup[j], ++j) {
    if (data.eventIndicator[j] != 1) continue;
    s = float(double(n) * s / (double(n) + 1.0));
    ++r.eventCount;
    const double d = float(data.observedGroup[j] - double(nT) / n);
    const double v = float((double(n) - nT) * nT / n / n);
    for (int i = 1; i <= 5; ++i) {
      r.statisticValue[i] += libraryPow(double(s), rho[i]) * libraryPow(1.0 - s, tau[i]) * d;
      r.statisticVariance[i] +=
          libraryPow(double(s), 2.0 * rho[i]) * libraryPow(1.0 - s, 2.0 * tau[i]) * v;
    }
  }
  for (int i = 1; i <= 5 && r.eventCount > 0; ++i)
    r.statisticValue[i] = float(-r.statisticValue[i] / std::sqrt(double(r.statisticVariance[i])));
  return r;
}

TEST(FullTrial, NoAllocationSampleMedianAndTheDefiningSortAndStatistics) {
  constexpr int32_t n = 7100;  // the largest trial
  const input::StatisticValues rho{0, 0, 1, 0, 0.5f, -0.5f}, tau{0, 0, 0, 1, 1.5f, 2};
  SimulatedTrial trial(n);
  AnalysisData data(n), defining(n);
  StatisticResults results;
  const long start = allocations;
  UniformGenerator g;
  int32_t seed = -123457;
  std::ostringstream report;  // stays empty
  generateTrial(design(), n, g, seed, trial, report);
  // Within 4 binomial standard errors, 2/sqrt(m), of half of the m controls if the draws are right.
  for (auto [median, holds] : {std::pair{10.0, true}, {13.0, false}, {7.5, false}}) {  // 25-30% off
    const auto first = trial.eventTime.begin();
    const double share = std::count_if(first, first + n / 2, [&](float t) { return t <= median; });
    EXPECT_EQ(std::abs(share / (n / 2) - 0.5) <= 2 / std::sqrt(n / 2), holds) << median;
  }
  for (int32_t j = 0; j < n; ++j) {  // whole times give the sort ties; some are NaN
    trial.entryTime[j] = std::floor(trial.entryTime[j]);
    trial.eventTime[j] = j % 97 ? std::floor(trial.eventTime[j]) : NAN;
  }
  for (float analysisTime : {4.0f, 8.0f, 12.0f}) {
    collectAnalysisData(trial, n, analysisTime, data);
    defining = data;  // same sizes: no allocation
    sortAnalysisData(data);
    computeStatistics(data, 5, rho, tau, results);
    exchangePassSort(defining);
    EXPECT_TRUE(sameRecords(data, defining));
    const auto want = straightforward(defining, rho, tau);  // values, variances, events, bitwise
    EXPECT_EQ(std::memcmp(&results, &want, sizeof results), 0) << analysisTime;
  }
  EXPECT_EQ(allocations.load(), start);  // nothing above allocates, the references included
  EXPECT_GT(start, 0);  // the counter does count
}

}  // namespace
}  // namespace survseq::sim
