#include "sim/analysis_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "input/run_error.h"

namespace survseq::sim {
namespace {

struct Patient {
  float entry;
  float event;
  float censoring;
  float group;
};

SimulatedTrial trialOf(const std::vector<Patient>& patients, int32_t capacity) {
  SimulatedTrial trial(capacity);
  for (size_t j = 0; j < patients.size(); ++j) {
    trial.entryTime[j] = patients[j].entry;
    trial.eventTime[j] = patients[j].event;
    trial.censoringTime[j] = patients[j].censoring;
    trial.group[j] = patients[j].group;
  }
  return trial;
}

struct Record {
  float time;
  float group;
  int32_t event;
};

AnalysisData dataOf(const std::vector<Record>& records) {
  AnalysisData data(static_cast<int32_t>(records.size()) + 2);
  for (size_t m = 0; m < records.size(); ++m) {
    data.observedTime[m] = records[m].time;
    data.observedGroup[m] = records[m].group;
    data.eventIndicator[m] = records[m].event;
  }
  data.enteredCount = static_cast<int32_t>(records.size());
  return data;
}

std::vector<Record> recordsOf(const AnalysisData& data) {
  std::vector<Record> records;
  for (int32_t m = 0; m < data.enteredCount; ++m) {
    records.push_back({data.observedTime[m], data.observedGroup[m], data.eventIndicator[m]});
  }
  return records;
}

bool operator==(const Record& a, const Record& b) {
  return a.time == b.time && a.group == b.group && a.event == b.event;
}

StatisticResults statisticsOf(const std::vector<Record>& records, int32_t count,
                              const input::StatisticValues& rho,
                              const input::StatisticValues& tau) {
  StatisticResults results;
  results.statisticValue.fill(99.0f);  // stale values of an earlier analysis
  results.statisticVariance.fill(99.0f);
  results.eventCount = 99;
  computeStatistics(dataOf(records), count, rho, tau, results);
  return results;
}

// --- who is in the analysis ------------------------------------------------------

TEST(CollectAnalysisData, FollowUpEndsAtTheAnalysisOrAtLossToFollowUp) {
  const auto trial = trialOf({{2.0f, 5.0f, 100.0f, 0.0f},    // event at 5, seen by 10
                              {4.0f, 9.0f, 100.0f, 1.0f},    // censored at 10 - 4 = 6
                              {1.0f, 9.0f, 3.0f, 0.0f},      // lost at 3
                              {7.0f, 3.0f, 100.0f, 1.0f}},   // event exactly at 10 - 7
                             8);
  AnalysisData data(8);
  collectAnalysisData(trial, 4, 10.0f, data);
  EXPECT_EQ(data.enteredCount, 4);
  const std::vector<Record> expected{
      {5.0f, 0.0f, 1}, {6.0f, 1.0f, 0}, {3.0f, 0.0f, 0}, {3.0f, 1.0f, 1}};
  EXPECT_EQ(recordsOf(data), expected);
}

TEST(CollectAnalysisData, LeavesOutPatientsWithNoFollowUp) {
  const auto trial = trialOf({{10.0f, 5.0f, 100.0f, 0.0f},   // enters at the analysis
                              {12.0f, 5.0f, 100.0f, 0.0f},   // enters after it
                              {1.0f, 5.0f, 0.0f, 1.0f},      // lost at time 0
                              {3.0f, 0.0f, 100.0f, 1.0f},    // event at 0: seen
                              {9.5f, 8.0f, 100.0f, 0.0f},    // half a unit of follow-up
                              {0.0f, 1.0f, 1.0f, 0.0f}},     // beyond subjectCount
                             8);
  AnalysisData data(8);
  collectAnalysisData(trial, 5, 10.0f, data);
  const std::vector<Record> expected{{0.0f, 1.0f, 1}, {0.5f, 0.0f, 0}};
  EXPECT_EQ(recordsOf(data), expected);

  collectAnalysisData(trial, 0, 10.0f, data);
  EXPECT_EQ(data.enteredCount, 0);
}

TEST(CollectAnalysisData, InfiniteTimesAreNeverReached) {
  const float never = std::numeric_limits<float>::infinity();
  const auto trial = trialOf({{1.0f, never, never, 0.0f}, {2.0f, 4.0f, never, 1.0f}}, 2);
  AnalysisData data(2);
  collectAnalysisData(trial, 2, 10.0f, data);
  const std::vector<Record> expected{{9.0f, 0.0f, 0}, {4.0f, 1.0f, 1}};
  EXPECT_EQ(recordsOf(data), expected);
}

TEST(CollectAnalysisData, RefusesMorePatientsThanTheArraysHold) {
  SimulatedTrial trial(10);
  AnalysisData data(4);
  EXPECT_THROW(collectAnalysisData(trial, 5, 10.0f, data), RunError);
  EXPECT_THROW(collectAnalysisData(SimulatedTrial(4), 5, 10.0f, data), RunError);
}

// --- order by observed time --------------------------------------------------------

TEST(SortAnalysisData, OrdersByTimeAndMovesTheRecordsTogether) {
  std::mt19937 engine(20240611);
  std::uniform_int_distribution<int> time(0, 40);  // many ties
  std::vector<Record> records;
  for (int i = 0; i < 777; ++i) {
    const float t = static_cast<float>(time(engine));
    // Group and status are functions of the time, so records stay recognisable.
    records.push_back({t, t < 20.0f ? 0.0f : 1.0f, static_cast<int32_t>(t) % 3 == 0});
  }
  auto data = dataOf(records);
  sortAnalysisData(data);
  auto sorted = recordsOf(data);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(),
                             [](const Record& a, const Record& b) { return a.time < b.time; }));
  for (const auto& r : sorted) {
    EXPECT_EQ(r.group, r.time < 20.0f ? 0.0f : 1.0f);
    EXPECT_EQ(r.event, static_cast<int32_t>(r.time) % 3 == 0);
  }
  EXPECT_EQ(data.observedTime.size(), 779u);  // nothing allocated or resized
}

TEST(SortAnalysisData, EqualTimesMayChangeOrderThroughTheWideGaps) {
  // Times 3a, 3b, 1, 9. With gap 2 the 1 is exchanged with 3a (same residue class),
  // which lands 3a behind 3b; gap 1 then only moves unequal records, so the tie ends
  // up reversed - unlike a stable sort.
  auto data = dataOf({{3.0f, 1.0f, 1}, {3.0f, 0.0f, 0}, {1.0f, 0.0f, 1}, {9.0f, 1.0f, 0}});
  sortAnalysisData(data);
  const std::vector<Record> expected{
      {1.0f, 0.0f, 1}, {3.0f, 0.0f, 0}, {3.0f, 1.0f, 1}, {9.0f, 1.0f, 0}};
  EXPECT_EQ(recordsOf(data), expected);
}

TEST(SortAnalysisData, EqualTimesInOneClassKeepTheirOrder) {
  // Times 5a, 5b, 1 (m = 3, gap 1 only): 1 bubbles to the front past both, and 5a, 5b
  // are never exchanged with each other.
  auto data = dataOf({{5.0f, 1.0f, 1}, {5.0f, 0.0f, 0}, {1.0f, 0.0f, 1}});
  sortAnalysisData(data);
  const std::vector<Record> expected{{1.0f, 0.0f, 1}, {5.0f, 1.0f, 1}, {5.0f, 0.0f, 0}};
  EXPECT_EQ(recordsOf(data), expected);
}

TEST(SortAnalysisData, ShortInputs) {
  auto empty = dataOf({});
  sortAnalysisData(empty);
  EXPECT_EQ(empty.enteredCount, 0);
  auto one = dataOf({{2.0f, 1.0f, 1}});
  sortAnalysisData(one);
  EXPECT_EQ(recordsOf(one), (std::vector<Record>{{2.0f, 1.0f, 1}}));
  auto two = dataOf({{2.0f, 1.0f, 1}, {1.0f, 0.0f, 0}});
  sortAnalysisData(two);
  EXPECT_EQ(recordsOf(two), (std::vector<Record>{{1.0f, 0.0f, 0}, {2.0f, 1.0f, 1}}));
}

// The defining procedure: halve the gap from m down to 1, and at each gap repeat
// exchange passes until one exchanges nothing.
void exchangePassSort(std::vector<Record>& records) {
  const int m = static_cast<int>(records.size());
  int gap = m;
  while (gap > 1) {
    gap /= 2;
    bool exchanged = true;
    while (exchanged) {
      exchanged = false;
      for (int i = 0; i + gap < m; ++i) {
        if (records[i].time > records[i + gap].time) {
          std::swap(records[i], records[i + gap]);
          exchanged = true;
        }
      }
    }
  }
}

bool sameBits(const std::vector<Record>& a, const std::vector<Record>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::bit_cast<uint32_t>(a[i].time) != std::bit_cast<uint32_t>(b[i].time) ||
        a[i].group != b[i].group || a[i].event != b[i].event) {
      return false;
    }
  }
  return true;
}

TEST(SortAnalysisData, SameOrderAsTheExchangePassesIncludingTiesAndNaN) {
  std::mt19937 engine(99);
  std::uniform_int_distribution<int> time(0, 60);
  std::uniform_int_distribution<int> label(0, 1 << 20);
  for (int size : {2, 3, 4, 5, 7, 16, 17, 100, 1001, 7100}) {
    for (bool withSpecials : {false, true}) {
      std::vector<Record> records;
      for (int i = 0; i < size; ++i) {
        float t = static_cast<float>(time(engine));
        if (withSpecials && t == 0.0f) t = std::numeric_limits<float>::quiet_NaN();
        if (withSpecials && t == 1.0f) t = std::numeric_limits<float>::infinity();
        // The label tells equal times apart.
        const int id = label(engine);
        records.push_back({t, static_cast<float>(id & 1), id >> 1});
      }
      auto data = dataOf(records);
      exchangePassSort(records);
      sortAnalysisData(data);
      EXPECT_TRUE(sameBits(recordsOf(data), records))
          << "size " << size << (withSpecials ? " with NaN and infinity" : "");
    }
  }
}

// --- the statistics ----------------------------------------------------------------

constexpr input::StatisticValues kZeros{};

TEST(ComputeStatistics, WorkedLogRankExample) {
  // First event: n = 3, nT = 1, S = 3/4, d = 2/3, v = 2/9. Second: n = 1, nT = 0, so
  // d = v = 0. Z = -(2/3) / sqrt(2/9) = -sqrt(2).
  const auto results =
      statisticsOf({{1.0f, 1.0f, 1}, {2.0f, 0.0f, 0}, {3.0f, 0.0f, 1}}, 1, kZeros, kZeros);
  EXPECT_EQ(results.eventCount, 2);
  EXPECT_FLOAT_EQ(results.statisticVariance[1], 2.0f / 9.0f);
  EXPECT_FLOAT_EQ(results.statisticValue[1], -std::sqrt(2.0f));
}

TEST(ComputeStatistics, TiedCensoringBeforeAnEventLeavesItsRiskSet) {
  // The worked example with the censored record moved in front of the first event
  // (same time): the event then sees n = 2, nT = 1, so S = 2/3, d = 1/2, v = 1/4,
  // and Z = -(1/2) / sqrt(1/4) = -1.
  const auto results =
      statisticsOf({{1.0f, 0.0f, 0}, {1.0f, 1.0f, 1}, {3.0f, 0.0f, 1}}, 1, kZeros, kZeros);
  EXPECT_EQ(results.eventCount, 2);
  EXPECT_FLOAT_EQ(results.statisticVariance[1], 0.25f);
  EXPECT_FLOAT_EQ(results.statisticValue[1], -1.0f);
}

TEST(ComputeStatistics, WeightsFollowTheRunningSurvivalEstimate) {
  // Events (treatment, control) then two censored records: n = 4, nT = 2 at the first
  // event (S = 4/5, d = 1/2, v = 1/4), n = 3, nT = 1 at the second (S = 3/5, d = -1/3,
  // v = 2/9). Weights 1, S and 1 - S give -1/sqrt(17), -1/sqrt(6) and +1/sqrt(41).
  const input::StatisticValues rho{0.0f, 0.0f, 1.0f, 0.0f};
  const input::StatisticValues tau{0.0f, 0.0f, 0.0f, 1.0f};
  const auto results = statisticsOf(
      {{1.0f, 1.0f, 1}, {2.0f, 0.0f, 1}, {3.0f, 1.0f, 0}, {4.0f, 0.0f, 0}}, 3, rho, tau);
  EXPECT_EQ(results.eventCount, 2);
  EXPECT_FLOAT_EQ(results.statisticVariance[1], 17.0f / 36.0f);
  EXPECT_FLOAT_EQ(results.statisticVariance[2], 0.24f);
  EXPECT_FLOAT_EQ(results.statisticVariance[3], 41.0f / 900.0f);
  EXPECT_FLOAT_EQ(results.statisticValue[1], static_cast<float>(-1.0 / std::sqrt(17.0)));
  EXPECT_FLOAT_EQ(results.statisticValue[2], static_cast<float>(-1.0 / std::sqrt(6.0)));
  EXPECT_FLOAT_EQ(results.statisticValue[3], static_cast<float>(1.0 / std::sqrt(41.0)));
  EXPECT_EQ(results.statisticValue[4], 99.0f);  // beyond statisticCount: untouched
}

TEST(ComputeStatistics, FewerTreatmentEventsThanExpectedArePositive) {
  // Ten control events, then ten censored treatment records.
  std::vector<Record> records;
  for (int i = 0; i < 10; ++i) records.push_back({float(i), 0.0f, 1});
  for (int i = 0; i < 10; ++i) records.push_back({float(10 + i), 1.0f, 0});
  EXPECT_GT(statisticsOf(records, 1, kZeros, kZeros).statisticValue[1], 2.0f);
}

TEST(ComputeStatistics, NoEventsLeaveZeros) {
  const auto results = statisticsOf({{1.0f, 1.0f, 0}, {2.0f, 0.0f, 0}}, 2, kZeros, kZeros);
  EXPECT_EQ(results.eventCount, 0);
  for (int i : {1, 2}) {
    EXPECT_EQ(results.statisticValue[i], 0.0f);
    EXPECT_EQ(results.statisticVariance[i], 0.0f);
  }
}

TEST(ComputeStatistics, EventsWithoutVarianceGiveNaNThatCrossesNoBoundary) {
  // One patient with an event: S = 1/2, d = 0, v = 0, and Z = 0/0.
  const auto results = statisticsOf({{1.0f, 1.0f, 1}}, 1, kZeros, kZeros);
  EXPECT_EQ(results.eventCount, 1);
  EXPECT_EQ(results.statisticVariance[1], 0.0f);
  const float z = results.statisticValue[1];
  EXPECT_TRUE(std::isnan(z));
  EXPECT_FALSE(z >= 1.96f);
  EXPECT_FALSE(z <= -1.96f);
}

// The defining formulas with every power taken, record by record.
StatisticResults straightforwardStatistics(const std::vector<Record>& records, int32_t count,
                                           const input::StatisticValues& rho,
                                           const input::StatisticValues& tau) {
  StatisticResults r;
  float n = static_cast<float>(records.size());
  float nT = 0.0f;
  for (const auto& record : records) nT += record.group;
  float s = 1.0f;
  for (const auto& record : records) {
    if (record.event == 1) {
      s = static_cast<float>(double(n) * double(s) / (double(n) + 1.0));
      ++r.eventCount;
      const float d = static_cast<float>(double(record.group) - double(nT) / double(n));
      const float v = static_cast<float>((double(n) - double(nT)) * double(nT) / double(n) /
                                         double(n));
      for (int i = 1; i <= count; ++i) {
        r.statisticValue[i] = static_cast<float>(
            double(r.statisticValue[i]) + std::pow(double(s), double(rho[i])) *
                                              std::pow(1.0 - double(s), double(tau[i])) *
                                              double(d));
        r.statisticVariance[i] = static_cast<float>(
            double(r.statisticVariance[i]) +
            std::pow(double(s), 2.0 * double(rho[i])) *
                std::pow(1.0 - double(s), 2.0 * double(tau[i])) * double(v));
      }
    }
    n = n - 1.0f;
    nT = nT - record.group;
  }
  if (r.eventCount == 0) return r;
  for (int i = 1; i <= count; ++i) {
    r.statisticValue[i] = static_cast<float>(-double(r.statisticValue[i]) /
                                             std::sqrt(double(r.statisticVariance[i])));
  }
  return r;
}

TEST(ComputeStatistics, BitIdenticalToTheStraightforwardFormulas) {
  const input::StatisticValues rho{0.0f, 0.0f, 1.0f, 0.0f, 0.5f, -0.5f};
  const input::StatisticValues tau{0.0f, 0.0f, 0.0f, 2.0f, 1.5f, 0.0f};
  std::mt19937 engine(7);
  std::bernoulli_distribution coin(0.5);
  std::bernoulli_distribution event(0.7);
  for (int size : {1, 2, 5, 40, 1000}) {
    std::vector<Record> records;
    for (int i = 0; i < size; ++i) {
      records.push_back({float(i), coin(engine) ? 1.0f : 0.0f, event(engine) ? 1 : 0});
    }
    const auto expected = straightforwardStatistics(records, 5, rho, tau);
    const auto actual = statisticsOf(records, 5, rho, tau);
    EXPECT_EQ(actual.eventCount, expected.eventCount);
    for (int i = 1; i <= 5; ++i) {
      // Bit patterns, so that NaN results are compared too.
      EXPECT_EQ(std::bit_cast<uint32_t>(actual.statisticValue[i]),
                std::bit_cast<uint32_t>(expected.statisticValue[i]))
          << "size " << size << ", statistic " << i;
      EXPECT_EQ(std::bit_cast<uint32_t>(actual.statisticVariance[i]),
                std::bit_cast<uint32_t>(expected.statisticVariance[i]))
          << "size " << size << ", statistic " << i;
    }
  }
}

}  // namespace
}  // namespace survseq::sim
