#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "sim/analysis_data.h"
#include "sim/reference.h"
#include "sim/tie_order.h"

namespace survseq::sim {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

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
  AnalysisData data(m);
  data.enteredCount = m;
  std::uniform_int_distribution<size_t> pick(0, shape.alphabet.empty() ? 0 : shape.alphabet.size() - 1);
  std::uniform_real_distribution<float> continuous(0.0f, 60.0f);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  for (size_t i = 0; i < static_cast<size_t>(m); ++i) {
    float t = shape.alphabet.empty() ? continuous(rng) : shape.alphabet[pick(rng)];
    if (share(rng) < shape.nanShare) t = NAN;
    const uint32_t bits = std::bit_cast<uint32_t>(t) * 2654435761u;  // the time's own record
    const uint32_t own = shape.recordFollowsTime ? bits >> 30 : static_cast<uint32_t>(rng()) & 3;
    data.observedTime[i] = t;
    data.observedGroup[i] = static_cast<float>(own >> 1);
    data.eventIndicator[i] = static_cast<int32_t>(own & 1);
    if (shape.oddGroup != 0 && i % 50 == 7) data.observedGroup[i] = shape.oddGroup;
  }
  return data;
}

std::vector<float> wholeTimes(int count) {
  std::vector<float> times;
  for (int i = 1; i <= count; ++i) times.push_back(static_cast<float>(i));
  return times;
}

bool sameRecords(const AnalysisData& a, const AnalysisData& b) {
  const auto m = static_cast<size_t>(a.enteredCount);
  return a.enteredCount == b.enteredCount &&
         (m == 0 || (std::memcmp(a.observedTime.data(), b.observedTime.data(), 4 * m) == 0 &&
                     std::memcmp(a.observedGroup.data(), b.observedGroup.data(), 4 * m) == 0 &&
                     std::memcmp(a.eventIndicator.data(), b.eventIndicator.data(), 4 * m) == 0));
}

TEST(SortAnalysisData, GapHalvingInsertionIsTheExchangePassesOnTiesAndNaN) {
  std::mt19937 rng(7);
  const Shape ties{"ties and NaN", wholeTimes(6), false, 0.1};
  for (int32_t m : {0, 1, 2, 3, 5, 8, 13, 64, 300}) {
    for (int repeat = 0; repeat < 20; ++repeat) {
      AnalysisData fast = draw(ties, m, rng), defining = fast;
      gapHalvingSort(fast);
      exchangePassSort(defining);
      ASSERT_TRUE(sameRecords(fast, defining)) << m;
    }
  }
}

// Where the exchange sort leaves the records of time `value`: their indices, carried
// through the sort in the group field.
std::vector<uint64_t> sortedIndicesOf(const std::vector<float>& times, float value) {
  AnalysisData data(static_cast<int32_t>(times.size()));
  data.enteredCount = static_cast<int32_t>(times.size());
  data.observedTime = times;
  for (size_t i = 0; i < times.size(); ++i) data.observedGroup[i] = static_cast<float>(i);
  gapHalvingSort(data);
  std::vector<uint64_t> indices;
  for (size_t i = 0; i < times.size(); ++i)
    if (data.observedTime[i] == value) indices.push_back(static_cast<uint64_t>(data.observedGroup[i]));
  return indices;
}

// The same by gapHalvingTieOrder, with keys that order as the times (whole numbers, and
// -0 beside +0) and the range of keys equal to `value`.
std::vector<uint64_t> tieOrder(const std::vector<float>& times, float value) {
  std::vector<uint64_t> keys, order(times.size());
  std::vector<int32_t> work(times.size() + 2);
  auto key = [](float t) { return uint64_t(2 * t + 3 - std::signbit(t)) << 32 | 77; };
  for (float t : times) keys.push_back(key(t));
  const uint64_t low = key(value == 0 ? -0.0f : value), high = key(value == 0 ? 0.0f : value);
  gapHalvingTieOrder(keys, low, (high | 0xFFFFFFFFu) + 1, order, work);
  order.resize(static_cast<size_t>(std::count(times.begin(), times.end(), value)));
  return order;
}

TEST(GapHalvingTieOrder, EveryArrayOfUpToTenRecordsOverThreeTimes) {
  for (size_t m = 0; m <= 10; ++m) {
    std::vector<float> times(m);
    for (int code = 0, codes = static_cast<int>(std::pow(3, m)); code < codes; ++code) {
      for (int rest = code; float& t : times) t = static_cast<float>(rest % 3), rest /= 3;
      for (float value : {0.0f, 1.0f, 2.0f}) {
        ASSERT_EQ(tieOrder(times, value), sortedIndicesOf(times, value)) << m << " " << code;
      }
    }
  }
}

TEST(GapHalvingTieOrder, LongArraysOfEveryLengthParity) {
  std::mt19937 rng(3);
  for (int32_t m = 11; m < 3000; m += 1 + m / 8) {
    for (size_t alphabet : {2u, 7u, 300u}) {
      std::uniform_int_distribution<size_t> pick(0, alphabet - 1);
      std::vector<float> times(static_cast<size_t>(m));
      for (float& t : times) t = static_cast<float>(pick(rng));
      times[static_cast<size_t>(m) / 3] = -0.0f;  // equal to 0
      for (float value : {0.0f, 1.0f, times[static_cast<size_t>(m) - 1]}) {
        ASSERT_EQ(tieOrder(times, value), sortedIndicesOf(times, value)) << m << " " << alphabet;
      }
    }
  }
}

// The fast sort against the exchange sort, record for record and statistic for statistic,
// on data that take the radix path (ties only among equal records) and data that must
// fall back (ties of different records, NaN, -0 beside +0, an odd group).
TEST(SortAnalysisData, FastSortGivesTheExchangeSortsRecordsAndStatistics) {
  const input::StatisticValues rho{0, 0, 1, 0, 0.5f, 2}, tau{0, 0, 0, 1, 0.5f, 1.5f};
  const float tiny = std::numeric_limits<float>::denorm_min();
  const std::vector<float> extremes{-kInf, -3.5f, -tiny, -0.0f, 0.0f, tiny, 1e-30f, 0.5f,
                                    7.0f,  1e30f, std::numeric_limits<float>::max(), kInf};
  const Shape shapes[] = {
      {"continuous times", {}, false},
      {"whole times, records of their own", wholeTimes(40), false},
      {"whole times, equal records", wholeTimes(40), true},
      {"one time, equal records", {12.5f}, true},
      {"extremes, equal records", extremes, true},
      {"extremes, records of their own", extremes, false},
      {"equal records and a NaN", wholeTimes(40), true, 0.002},
      {"many NaN", wholeTimes(5), false, 0.3},
      {"an odd group", wholeTimes(400), true, 0, 0.5f},
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

TEST(SortAnalysisData, GrowsItsWorkingSpaceWhenTheArraysWereReplaced) {
  AnalysisData data(0);
  data.observedTime = wholeTimes(100);
  std::reverse(data.observedTime.begin(), data.observedTime.end());
  data.observedGroup.assign(100, 1.0f);
  data.eventIndicator.assign(100, 1);
  data.enteredCount = 100;
  sortAnalysisData(data);
  EXPECT_EQ(data.observedTime, wholeTimes(100));
}

}  // namespace
}  // namespace survseq::sim
