#pragma once

#include <cstdint>
#include <vector>

#include "input/design_parameters.h"
#include "sim/simulated_trial.h"

namespace survseq::sim {

// One trial as seen at one analysis time; record m (1-based) at index m - 1.
struct AnalysisData {
  explicit AnalysisData(int32_t patientCapacity)
      : observedTime(static_cast<size_t>(patientCapacity)),
        observedGroup(static_cast<size_t>(patientCapacity)),
        eventIndicator(static_cast<size_t>(patientCapacity)),
        sortEntries(3 * static_cast<size_t>(patientCapacity)),
        sortCounts(static_cast<size_t>(patientCapacity) + 2) {}

  std::vector<float> observedTime;
  std::vector<float> observedGroup;
  std::vector<int32_t> eventIndicator;  // 1 event, 0 censored
  int32_t enteredCount = 0;
  // Working space of sortAnalysisData; its contents mean nothing between calls.
  std::vector<uint64_t> sortEntries;  // three per record
  std::vector<int32_t> sortCounts;    // one per record, and two
};

// Standardised weighted log-rank statistics and their variances, [1..statisticCount].
struct StatisticResults {
  input::StatisticValues statisticValue{};
  input::StatisticValues statisticVariance{};
  int32_t eventCount = 0;
};

// The patients who entered before `analysisTime`, with observed time and status.
// Throws RunError when subjectCount exceeds either set of arrays.
void collectAnalysisData(const SimulatedTrial& trial, int32_t subjectCount, float analysisTime,
                         AnalysisData& data);

// Orders the records by observed time exactly as the gap-halving exchange sort does;
// the order it leaves among equal times is part of the result.
void sortAnalysisData(AnalysisData& data);

// The gap-halving exchange sort itself: the reference that defines the order, and the
// path sortAnalysisData takes for few records or unusual data.
void gapHalvingSort(AnalysisData& data);

// For statistics 1..statisticCount: the weighted log-rank score with weight
// S^rho (1-S)^tau, standardised as -score / sqrt(variance), and its variance; every
// sorted record is a risk set of its own. With no event both stay 0; with events but
// no variance the value is NaN.
void computeStatistics(const AnalysisData& data, int32_t statisticCount,
                       const input::StatisticValues& rho, const input::StatisticValues& tau,
                       StatisticResults& results);

}  // namespace survseq::sim
