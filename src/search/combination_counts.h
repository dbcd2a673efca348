#pragma once

// The combination of statistics over the trials of a pass: its counts and sums, merged
// trial by trial in trial order, and the record the outputs are written from.

#include <array>
#include <cstdint>

#include "bounds/planned_boundaries.h"
#include "input/design_parameters.h"
#include "search/run_record.h"
#include "search/trial_analysis.h"

namespace survseq::search {

// Rejections, stopping times and per look the trials stopped (for efficacy and for
// futility), reached and their critical values summed; the largest standard error of a
// crossing probability behind a critical value; and the CPU time the trials spent finding
// critical values, summed over the threads (a measurement, not part of any result).
struct CombinationSums {
  int32_t rejectionCount = 0;
  double stoppingTimeSum = 0.0;
  std::array<LookSums, input::MaxAnalyses + 1> lookSums{};
  float largestError = 0.0f;
  double probabilitySeconds = 0.0;
};

// Adds one trial's combination looks; every sum gets at most one term per trial and look.
void mergeCombination(const TrialOutcome& outcome, CombinationSums& sums);

// The pass's record of the combination, with its planned bounds.
CombinationRecord combinationRecord(const input::DesignParameters& design,
                                    const CombinationSums& sums,
                                    const bounds::PlannedLooks& plannedLooks);

}  // namespace survseq::search
