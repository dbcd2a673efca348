#include "bounds/planned_boundaries.h"

#include <ostream>

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"
#include "bounds/trial_boundaries.h"

// The planned table is the boundary of a trial that observes exactly the planned
// information: the looks are run one by one through the same update as a simulated
// trial's (trial_boundaries.h), so the table and the trials share every rule of the
// recursion, the spending and the information scale.

namespace survseq::bounds {

PlannedLooks plannedBoundaries(const input::DesignParameters& design,
                               const input::AnalysisValues& plannedInformation, float b) {
  const int32_t K = design.analysisCount;

  // The design as one statistic whose information scale is the planned one, as the pass
  // sets it for the trials.
  input::DesignParameters planned = design;
  planned.statisticCount = 1;
  planned.haybittleB = b;
  planned.informationFloor[1] = kInformationFloorShare * plannedInformation[1];
  planned.informationCeiling[1] = plannedInformation[K];

  TrialBoundaryState state;
  std::ostream silent(nullptr);  // the planned information never falls below its floor
  PlannedLooks looks{};
  for (int32_t k = 1; k <= K; ++k) {
    PlannedLook& look = looks[static_cast<size_t>(k)];
    look.informationFraction =
        static_cast<float>(double(plannedInformation[k]) / double(plannedInformation[K]));
    if (design.boundaryMethod == input::GivenBoundaries) {
      look.efficacyZ = design.boundaryValues[k];
    } else {
      state.observedInformation(1, k) = plannedInformation[k];
      updateTrialBoundaries(k, planned, state, silent);
      look.efficacyZ = state.boundaries.criticalValue(1, k);
    }
    look.nominalP = normalTailArea(look.efficacyZ, true);
    look.hasFutilityBound = design.futility && k < K;
    if (look.hasFutilityBound) look.futilityZ = design.futilityZ[k];
  }
  return looks;
}

}  // namespace survseq::bounds
