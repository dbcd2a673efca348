#pragma once

// The results of a run as records: one per iteration of the search and one for the whole
// run. The report blocks, the JSON file and the plot are all written from these.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "bounds/planned_boundaries.h"
#include "bounds/planned_information.h"
#include "input/design_parameters.h"
#include "search/report.h"

namespace survseq::search {

// What one statistic showed at one analysis over the trials of a pass.
struct LookFigures {
  int32_t stoppedCount = 0;  // trials in which the statistic rejected here
  int32_t reachedCount = 0;  // trials in which the statistic was still running here
  // Means over the trials that reached the analysis (0 when none did).
  float meanCriticalValue = 0.0f;
  float meanEventCount = 0.0f;
  float meanInformation = 0.0f;
  int32_t futilityStoppedCount = 0;  // trials in which the statistic stopped here for futility
};

// The sums behind one look's figures over the trials of a pass (a statistic's or the
// combination's), in double: ten thousand single-precision terms would lose the last
// digits of the means.
struct LookSums {
  int32_t stoppedCount = 0;
  int32_t futilityStoppedCount = 0;
  int32_t reachedCount = 0;
  double criticalValueSum = 0.0;
  double eventCountSum = 0.0;
  double informationSum = 0.0;
};

// The look's figures from its sums: the counts, and the means over the trials that
// reached it.
inline LookFigures lookFigures(const LookSums& sums) {
  LookFigures look;
  look.stoppedCount = sums.stoppedCount;
  look.futilityStoppedCount = sums.futilityStoppedCount;
  look.reachedCount = sums.reachedCount;
  if (sums.reachedCount > 0) {
    look.meanCriticalValue = static_cast<float>(sums.criticalValueSum / sums.reachedCount);
    look.meanEventCount = static_cast<float>(sums.eventCountSum / sums.reachedCount);
    look.meanInformation = static_cast<float>(sums.informationSum / sums.reachedCount);
  }
  return look;
}

// One statistic over the trials of a pass: the report's figures and the per-analysis ones.
struct StatisticRecord {
  StatisticSummary summary;
  std::array<LookFigures, input::MaxAnalyses + 1> looks{};  // [1..analysisCount]
  bounds::PlannedLooks plannedLooks{};  // at the pass's planned information
};

// The combination of statistics over the trials of a pass: its power, the mean time at
// which it stopped the trials, per look the trials it stopped (stoppedCount,
// futilityStoppedCount), those that reached the look and their mean critical value, its
// planned bounds, and the largest standard error of a crossing probability behind a
// trial's critical value.
struct CombinationRecord {
  PowerEstimate estimate;
  float averageStoppingTime = 0.0f;
  std::array<LookFigures, input::MaxAnalyses + 1> looks{};  // [1..analysisCount]
  bounds::PlannedLooks plannedLooks{};
  float largestError = 0.0f;
};

// One iteration of the search.
struct IterationRecord {
  int32_t iterationNumber = 0;
  float accrualRate = 0.0f;
  int32_t patientCount = 0;  // per trial: input::patientsAtRate
  // The information planned for statistic s at analysis k, on the design's scale:
  // plannedInformation[s][k].
  bounds::PlannedInformationTable plannedInformation{};
  std::vector<StatisticRecord> statistics;  // statistic s at index s - 1
  // Event-driven analyses only: the event target of each look, the calendar time at which
  // it is expected under the alternative, how many trials took the look and their mean
  // time of it (0 when none did).
  input::AnalysisCounts eventTargets{};
  input::AnalysisValues plannedLookTime{};
  std::array<int32_t, input::MaxAnalyses + 1> lookTakenCount{};
  input::AnalysisValues meanLookTime{};
  // A design with a combination only.
  std::optional<CombinationRecord> combination;

  // The power of the trial's test: the combination's when there is one, else the first
  // statistic's.
  const PowerEstimate& testedEstimate() const {
    return combination ? combination->estimate : statistics.front().summary.estimate;
  }

  // The calendar time of look k: the design's, or for event-driven looks the time at which
  // it is expected under the alternative.
  float lookTime(const input::DesignParameters& design, int32_t k) const {
    const auto i = static_cast<size_t>(k);
    return design.analysisTiming == input::AnalysisTiming::Calendar ? design.analysisTimes[i]
                                                                    : plannedLookTime[i];
  }
};

// The whole search: every iteration in visiting order and how it ended.
struct RunRecord {
  std::vector<IterationRecord> iterations;
  SearchOutcome outcome = SearchOutcome::IterationLimit;
  float accrualRate = 0.0f;  // the rate of the closing block
  PowerEstimate estimate;    // at that rate
  // When asked for: one more pass at that rate whose trials draw the treatment arm from
  // the control arm's law, everything planned as designed; its powers are type-I errors.
  std::optional<IterationRecord> underNull;
};

// Told of the search's progress as it happens (progress display); every call comes from
// the thread that runs the search, in order.
class SearchObserver {
 public:
  virtual ~SearchObserver() = default;
  virtual void iterationStarted(int32_t /*iterationNumber*/, float /*accrualRate*/,
                                int32_t /*trialCount*/) {}
  virtual void trialsFinished(int32_t /*finishedCount*/) {}
  virtual void iterationFinished(const IterationRecord& /*record*/) {}
};

}  // namespace survseq::search
