#pragma once

// The boundaries a protocol cites: for one statistic, the efficacy (and futility) Z bound
// and nominal p of every look, at the information the design plans for it.

#include <array>

#include "input/design_parameters.h"

namespace survseq::bounds {

struct PlannedLook {
  float informationFraction = 0.0f;
  float efficacyZ = 0.0f;   // kBoundaryCap where the look cannot reject
  float nominalP = 0.0f;    // one-sided nominal p of efficacyZ: 1 - Phi(efficacyZ)
  bool hasFutilityBound = false;
  float futilityZ = 0.0f;
};
using PlannedLooks = std::array<PlannedLook, input::MaxAnalyses + 1>;  // [1..K]

// The boundaries planned for one statistic at its planned information v[1..K] (the null
// variances at the looks) by the design's boundary method and spending function, b being
// the pass's b (Haybittle and the b-parameter use function).
PlannedLooks plannedBoundaries(const input::DesignParameters& design,
                               const input::AnalysisValues& plannedInformation, float b);

}  // namespace survseq::bounds
