#include "search/combination_counts.h"

#include <algorithm>

#include "search/simulation_pass.h"

namespace survseq::search {

void mergeCombination(const TrialOutcome& outcome, CombinationSums& sums) {
  for (int32_t i = 1; i <= outcome.combinationLookCount; ++i) {
    const CombinationLook& look = outcome.combinationLooks[static_cast<size_t>(i)];
    LookSums& at = sums.lookSums[static_cast<size_t>(look.analysis)];
    ++at.reachedCount;
    at.criticalValueSum += look.criticalValue;
    if (look.rejected) {
      ++sums.rejectionCount;
      ++at.stoppedCount;
    }
    if (look.futilityStopped) ++at.futilityStoppedCount;
  }
  sums.stoppingTimeSum += outcome.combinationStoppingTime;
  sums.largestError = std::max(sums.largestError, outcome.combinationLargestError);
  sums.probabilitySeconds += outcome.probabilitySeconds;
}

CombinationRecord combinationRecord(const input::DesignParameters& design,
                                    const CombinationSums& sums,
                                    const bounds::PlannedLooks& plannedLooks) {
  CombinationRecord combination;
  combination.estimate = estimatePower(sums.rejectionCount, design.simulationCount);
  combination.averageStoppingTime =
      static_cast<float>(sums.stoppingTimeSum / double(design.simulationCount));
  combination.largestError = sums.largestError;
  combination.plannedLooks = plannedLooks;
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    combination.looks[static_cast<size_t>(k)] = lookFigures(sums.lookSums[static_cast<size_t>(k)]);
  }
  return combination;
}

}  // namespace survseq::search
