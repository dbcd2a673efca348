#include "sim/analysis_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "input/run_error.h"

namespace survseq::sim {
namespace {

struct Record {
  float time;
  float group;
  int32_t event;
  bool operator==(const Record& o) const {  // bitwise on the time, so NaN compares too
    return std::bit_cast<uint32_t>(time) == std::bit_cast<uint32_t>(o.time) && group == o.group &&
           event == o.event;
  }
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

std::vector<Record> sorted(const std::vector<Record>& records) {
  auto data = dataOf(records);
  sortAnalysisData(data);
  return recordsOf(data);
}

TEST(CollectAnalysisData, FollowUpToTheAnalysisOrLossWhicheverIsFirst) {
  const float never = std::numeric_limits<float>::infinity();
  struct Patient {
    float entry, event, censoring, group;
  };
  const std::vector<Patient> patients{
      {2.0f, 5.0f, 100.0f, 0.0f},   // event at 5
      {4.0f, 9.0f, never, 1.0f},    // censored at the analysis: 10 - 4
      {1.0f, 9.0f, 3.0f, 0.0f},     // lost at 3
      {7.0f, 3.0f, 100.0f, 1.0f},   // event exactly at the end of follow-up: an event
      {10.0f, 1.0f, 100.0f, 0.0f},  // enters at the analysis: not seen
      {1.0f, 5.0f, 0.0f, 1.0f},     // lost at 0: not seen
      {3.0f, 0.0f, 100.0f, 1.0f},   // event at 0: seen
      {1.0f, never, 100.0f, 0.0f},  // beyond subjectCount
  };
  SimulatedTrial trial(8);
  for (size_t j = 0; j < patients.size(); ++j) {
    trial.entryTime[j] = patients[j].entry;
    trial.eventTime[j] = patients[j].event;
    trial.censoringTime[j] = patients[j].censoring;
    trial.group[j] = patients[j].group;
  }
  AnalysisData data(8);
  collectAnalysisData(trial, 7, 10.0f, data);
  EXPECT_EQ(
      recordsOf(data),
      (std::vector<Record>{
          {5.0f, 0.0f, 1}, {6.0f, 1.0f, 0}, {3.0f, 0.0f, 0}, {3.0f, 1.0f, 1}, {0.0f, 1.0f, 1}}));
  EXPECT_THROW(collectAnalysisData(trial, 9, 10.0f, data), RunError);
  AnalysisData small(4);
  EXPECT_THROW(collectAnalysisData(trial, 5, 10.0f, small), RunError);
}

TEST(SortAnalysisData, AscendingWithTheRecordsMovedTogether) {
  std::mt19937 engine(20240611);
  std::uniform_int_distribution<int> time(0, 40);
  std::vector<Record> records;
  for (int i = 0; i < 777; ++i) {  // group and status derived from the time
    const int t = time(engine);
    records.push_back({float(t), t < 20 ? 0.0f : 1.0f, t % 3 == 0});
  }
  const auto result = sorted(records);
  EXPECT_TRUE(std::is_sorted(result.begin(), result.end(),
                             [](const Record& a, const Record& b) { return a.time < b.time; }));
  for (const auto& r : result) {
    EXPECT_EQ(r, (Record{r.time, r.time < 20.0f ? 0.0f : 1.0f, int(r.time) % 3 == 0}));
  }
  EXPECT_EQ(sorted({}), std::vector<Record>{});
  EXPECT_EQ(sorted({{2.0f, 1.0f, 1}}), (std::vector<Record>{{2.0f, 1.0f, 1}}));
}

TEST(SortAnalysisData, OrderOfEqualTimes) {
  // Gap 1 only: 1 moves to the front past 5a and 5b, which are never exchanged.
  EXPECT_EQ(sorted({{5.0f, 1.0f, 1}, {5.0f, 0.0f, 0}, {1.0f, 0.0f, 1}}),
            (std::vector<Record>{{1.0f, 0.0f, 1}, {5.0f, 1.0f, 1}, {5.0f, 0.0f, 0}}));
  // Gap 2 exchanges 3a with the 1 in its residue class, landing 3a behind 3b; gap 1
  // leaves the tie alone, so it ends reversed, unlike a stable sort.
  EXPECT_EQ(
      sorted({{3.0f, 1.0f, 1}, {3.0f, 0.0f, 0}, {1.0f, 0.0f, 1}, {9.0f, 1.0f, 0}}),
      (std::vector<Record>{{1.0f, 0.0f, 1}, {3.0f, 0.0f, 0}, {3.0f, 1.0f, 1}, {9.0f, 1.0f, 0}}));
}

// The defining procedure: halve the gap from m down to 1, and at each gap repeat
// exchange passes until one exchanges nothing.
void exchangePassSort(std::vector<Record>& records) {
  const int m = static_cast<int>(records.size());
  for (int gap = m; gap > 1;) {
    gap /= 2;
    for (bool exchanged = true; exchanged;) {
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

TEST(SortAnalysisData, SameOrderAsTheExchangePassesWithTiesNaNAndInfinity) {
  std::mt19937 engine(99);
  std::uniform_int_distribution<int> time(0, 60);
  std::uniform_int_distribution<int> label(0, 1 << 20);  // tells equal times apart
  for (int size : {2, 3, 5, 16, 17, 100, 1001, 7100}) {
    std::vector<Record> records;
    for (int i = 0; i < size; ++i) {
      float t = static_cast<float>(time(engine));
      if (t == 0.0f) t = std::numeric_limits<float>::quiet_NaN();
      if (t == 1.0f) t = std::numeric_limits<float>::infinity();
      const int id = label(engine);
      records.push_back({t, static_cast<float>(id & 1), id >> 1});
    }
    const auto result = sorted(records);
    exchangePassSort(records);
    EXPECT_EQ(result, records) << "size " << size;
  }
}

StatisticResults statisticsOf(const std::vector<Record>& records, int32_t count,
                              const input::StatisticValues& rho = {},
                              const input::StatisticValues& tau = {}) {
  StatisticResults results;
  results.statisticValue.fill(99.0f);  // stale values of an earlier analysis
  results.statisticVariance.fill(99.0f);
  computeStatistics(dataOf(records), count, rho, tau, results);
  return results;
}

TEST(ComputeStatistics, WorkedExampleAndTiedCensoringOnBothSides) {
  // First event: n = 3, nT = 1, S = 3/4, d = 2/3, v = 2/9; second: n = 1, nT = 0,
  // d = v = 0. Z = -(2/3) / sqrt(2/9) = -sqrt(2).
  auto r = statisticsOf({{1.0f, 1.0f, 1}, {1.0f, 0.0f, 0}, {3.0f, 0.0f, 1}}, 1);
  EXPECT_EQ(r.eventCount, 2);
  EXPECT_FLOAT_EQ(r.statisticVariance[1], 2.0f / 9.0f);
  EXPECT_FLOAT_EQ(r.statisticValue[1], -std::sqrt(2.0f));
  // The tied censored record sorted before the event has left its risk set: n = 2,
  // nT = 1, d = 1/2, v = 1/4, Z = -1.
  r = statisticsOf({{1.0f, 0.0f, 0}, {1.0f, 1.0f, 1}, {3.0f, 0.0f, 1}}, 1);
  EXPECT_FLOAT_EQ(r.statisticVariance[1], 0.25f);
  EXPECT_FLOAT_EQ(r.statisticValue[1], -1.0f);
}

TEST(ComputeStatistics, WeightsFollowTheRunningSurvivalEstimate) {
  // Events (treatment, control), then two censored: n = 4, nT = 2 at the first event
  // (S = 4/5, d = 1/2, v = 1/4), n = 3, nT = 1 at the second (S = 3/5, d = -1/3,
  // v = 2/9). Weights 1, S and 1 - S give -1/sqrt(17), -1/sqrt(6) and +1/sqrt(41).
  const auto r = statisticsOf({{1.0f, 1.0f, 1}, {2.0f, 0.0f, 1}, {3.0f, 1.0f, 0}, {4.0f, 0.0f, 0}},
                              3, {0.0f, 0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 0.0f, 1.0f});
  EXPECT_FLOAT_EQ(r.statisticVariance[1], 17.0f / 36.0f);
  EXPECT_FLOAT_EQ(r.statisticVariance[2], 0.24f);
  EXPECT_FLOAT_EQ(r.statisticVariance[3], 41.0f / 900.0f);
  EXPECT_FLOAT_EQ(r.statisticValue[1], static_cast<float>(-1.0 / std::sqrt(17.0)));
  EXPECT_FLOAT_EQ(r.statisticValue[2], static_cast<float>(-1.0 / std::sqrt(6.0)));
  EXPECT_FLOAT_EQ(r.statisticValue[3], static_cast<float>(1.0 / std::sqrt(41.0)));
  EXPECT_EQ(r.statisticValue[4], 99.0f);  // beyond statisticCount
}

TEST(ComputeStatistics, NoEventsGiveZerosAndEventsWithoutVarianceNaN) {
  auto r = statisticsOf({{1.0f, 1.0f, 0}, {2.0f, 0.0f, 0}}, 2);
  EXPECT_EQ(r.eventCount, 0);
  EXPECT_EQ(r.statisticValue[2], 0.0f);
  EXPECT_EQ(r.statisticVariance[2], 0.0f);
  // One patient with an event: S = 1/2, d = v = 0, Z = 0/0, beyond neither boundary.
  r = statisticsOf({{1.0f, 1.0f, 1}}, 1);
  EXPECT_EQ(r.eventCount, 1);
  EXPECT_EQ(r.statisticVariance[1], 0.0f);
  EXPECT_TRUE(std::isnan(r.statisticValue[1]));
  EXPECT_FALSE(r.statisticValue[1] >= 1.96f || r.statisticValue[1] <= -1.96f);
}

// The defining formulas with every power taken.
StatisticResults straightforwardStatistics(const std::vector<Record>& records, int32_t count,
                                           const input::StatisticValues& rho,
                                           const input::StatisticValues& tau) {
  StatisticResults r;
  float n = float(records.size()), nT = 0.0f, s = 1.0f;
  for (const auto& record : records) nT += record.group;
  for (const auto& record : records) {
    if (record.event == 1) {
      s = float(double(n) * s / (double(n) + 1.0));
      ++r.eventCount;
      const float d = float(record.group - double(nT) / n);
      const float v = float((double(n) - nT) * nT / n / n);
      for (int i = 1; i <= count; ++i) {
        r.statisticValue[i] =
            float(r.statisticValue[i] +
                  std::pow(double(s), double(rho[i])) * std::pow(1.0 - s, double(tau[i])) * d);
        r.statisticVariance[i] =
            float(r.statisticVariance[i] +
                  std::pow(double(s), 2.0 * rho[i]) * std::pow(1.0 - s, 2.0 * tau[i]) * v);
      }
    }
    n -= 1.0f;
    nT -= record.group;
  }
  for (int i = 1; i <= count && r.eventCount > 0; ++i) {
    r.statisticValue[i] =
        float(-double(r.statisticValue[i]) / std::sqrt(double(r.statisticVariance[i])));
  }
  return r;
}

TEST(ComputeStatistics, BitIdenticalToTheStraightforwardFormulas) {
  const input::StatisticValues rho{0.0f, 0.0f, 1.0f, 0.0f, 0.5f, -0.5f};
  const input::StatisticValues tau{0.0f, 0.0f, 0.0f, 2.0f, 1.5f, 0.0f};
  std::mt19937 engine(7);
  std::bernoulli_distribution coin(0.5), event(0.7);
  for (int size : {1, 2, 5, 40, 1000}) {
    std::vector<Record> records;
    for (int i = 0; i < size; ++i)
      records.push_back({float(i), float(coin(engine)), event(engine)});
    const auto expected = straightforwardStatistics(records, 5, rho, tau);
    const auto actual = statisticsOf(records, 5, rho, tau);
    EXPECT_EQ(actual.eventCount, expected.eventCount);
    for (int i = 1; i <= 5; ++i) {
      EXPECT_EQ(std::bit_cast<uint32_t>(actual.statisticValue[i]),
                std::bit_cast<uint32_t>(expected.statisticValue[i]))
          << size << "/" << i;
      EXPECT_EQ(std::bit_cast<uint32_t>(actual.statisticVariance[i]),
                std::bit_cast<uint32_t>(expected.statisticVariance[i]))
          << size << "/" << i;
    }
  }
}

}  // namespace
}  // namespace survseq::sim
