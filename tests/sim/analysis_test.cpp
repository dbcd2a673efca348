// The analysis data sorted and the statistics computed, against the exchange passes that
// define the order and the statistics written out with the library's pow.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "counted_allocations.h"
#include "sim/analysis_data.h"
#include "sim/tie_order.h"
#include "sim_fixtures.h"

namespace survseq::sim {
namespace {


// The defining sort, written as it is defined: halve the gap, pass until no exchange.
void exchangePassSort(AnalysisData& d) {
  auto& time = d.observedTime;
  const int32_t m = d.enteredCount;
  for (int32_t gap = m / 2; gap >= 1; gap /= 2)
    for (bool exchanged = true; exchanged;) {
      exchanged = false;
      for (int32_t i = 0; i + gap < m; ++i) {
        if (!(time[i] > time[i + gap])) continue;
        std::swap(time[i], time[i + gap]);
        std::swap(d.observedGroup[i], d.observedGroup[i + gap]);
        std::swap(d.eventIndicator[i], d.eventIndicator[i + gap]);
        exchanged = true;
      }
    }
}

bool sameRecords(const AnalysisData& a, const AnalysisData& b) {  // bit for bit
  const auto bits = [](float x) { return std::bit_cast<uint32_t>(x); };
  return a.enteredCount == b.enteredCount && a.eventIndicator == b.eventIndicator &&
         std::ranges::equal(a.observedTime, b.observedTime, {}, bits, bits) &&
         std::ranges::equal(a.observedGroup, b.observedGroup, {}, bits, bits);
}

TEST(SortAnalysisData, InsertionAndTieOrderAreTheExchangePassesOnEveryArrayOfUpToTen) {
  // Every array of up to ten records over the times 0, 1 and 2. The tie order's keys order as
  // the times; it gives the records of each time in the passes' order.
  const auto key = [](float t) { return uint64_t(t + 1) << 32 | 77; };
  for (size_t m = 0; m <= 10 && !HasFailure(); ++m) {
    std::vector<float> times(m);
    std::vector<uint64_t> keys(m), order(m);
    std::vector<int32_t> work(m + 2);
    for (int code = 0, codes = static_cast<int>(std::pow(3, m)); code < codes; ++code) {
      for (int rest = code, i = 0; float& t : times) {
        t = static_cast<float>(rest % 3);
        keys[i++] = key(t);
        rest /= 3;
      }
      AnalysisData sorted(static_cast<int32_t>(m)), insertion(0);
      sorted.enteredCount = static_cast<int32_t>(m);
      sorted.observedTime = times;
      for (size_t i = 0; i < m; ++i) sorted.observedGroup[i] = float(i);  // indices as groups
      insertion = sorted;
      exchangePassSort(sorted);
      gapHalvingSort(insertion);
      ASSERT_TRUE(sameRecords(sorted, insertion)) << code;
      for (float value : {0.0f, 1.0f, 2.0f}) {  // the block of `value` as the passes leave it
        gapHalvingTieOrder(keys, key(value), key(value + 1), order, work);
        const auto& time = sorted.observedTime;
        const size_t first = std::ranges::find(time, value) - time.begin();
        for (size_t r = first; r < m && time[r] == value; ++r)
          EXPECT_EQ(order[r - first], uint64_t(sorted.observedGroup[r])) << code;
      }
    }
  }
}

// m records with times from `alphabet` (or continuous ones, tying now and then), a share NaN,
// and a group and event of their own or of the time (equal times, equal records); every 50th
// in the odd group, if not 0.
AnalysisData draw(const std::vector<float>& alphabet, bool recordFollowsTime, float nanShare,
                  float oddGroup, int32_t m, std::mt19937& rng) {
  AnalysisData data(0);  // arrays replaced: the sort must grow its working space
  data.enteredCount = m;
  std::uniform_int_distribution<size_t> pick(0, std::max<size_t>(alphabet.size(), 1) - 1);
  std::uniform_real_distribution<float> continuous(0.0f, 60.0f), share(0.0f, 1.0f);
  for (int32_t i = 0; i < m; ++i) {
    float t = alphabet.empty() ? continuous(rng) : alphabet[pick(rng)];
    if (share(rng) < nanShare) t = NAN;
    const uint32_t bits = std::bit_cast<uint32_t>(t) * 2654435761u;  // the time's own record
    const uint32_t own = recordFollowsTime ? bits >> 30 : static_cast<uint32_t>(rng()) & 3;
    data.observedTime.push_back(t);
    data.observedGroup.push_back(oddGroup != 0 && i % 50 == 7 ? oddGroup : own >> 1);
    data.eventIndicator.push_back(static_cast<int32_t>(own & 1));
  }
  return data;
}

// The radix path, with ties only among equal records or with up to 32 blocks of ties to order,
// and the ways back to insertion (more blocks, NaN, an odd group), against the exchange passes.
TEST(SortAnalysisData, FastSortGivesTheExchangePassesRecords) {
  const float tiny = std::numeric_limits<float>::denorm_min(), inf = INFINITY;
  const std::vector<float> extremes{-inf, -3.5f, -tiny, -0.0f, 0.0f, tiny, 1e-30f, 0.5f,
                                    7.0f, 1e30f, std::numeric_limits<float>::max(), inf};
  std::vector<float> whole(400);
  for (size_t i = 0; i < whole.size(); ++i) whole[i] = float(i / 10);  // 40 times
  const std::tuple<std::vector<float>, bool, float, float> shapes[] = {
      {{}, false, 0, 0},          {whole, false, 0, 0},      {whole, true, 0, 0},
      {{12.5f}, true, 0, 0},      {extremes, true, 0, 0},    {extremes, false, 0, 0},
      {{0, -0.0f}, false, 0, 0},  {{1, 2, 3, 4, 5, 6, 7}, false, 0, 0},
      {whole, true, 0.002f, 0},   {{1, 2, 3, 4, 5}, false, 0.3f, 0},  {whole, true, 0, 0.5f}};
  std::mt19937 rng(11);
  for (const auto& [alphabet, follows, nanShare, odd] : shapes) {
    for (int32_t m : {0, 1, 47, 48, 49, 50, 201, 1000, 2499, 2500, 7100}) {
      AnalysisData fast = draw(alphabet, follows, nanShare, odd, m, rng), defining = fast;
      sortAnalysisData(fast);
      exchangePassSort(defining);
      ASSERT_TRUE(sameRecords(fast, defining)) << alphabet.size() << " times, " << m;
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
  generate(design(), n, trial);
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
