#pragma once

#include <cstdint>
#include <iosfwd>

#include "bounds/statistic_table.h"
#include "input/design_parameters.h"

namespace survseq::bounds {

// Fixes criticalValue(j, analysis) of every statistic j from this trial's observed
// information at analyses 1..analysis. Writes design.errorSplit at the analysis (use
// functions) or at K, and may pull back observedInformation(j, analysis). The line
// "The j th v0 is too large." goes to `console`.
void updateTrialBoundaries(int32_t analysis, input::DesignParameters& design,
                           BoundarySet& boundaries,
                           StatisticAnalysisTable& observedInformation,
                           int32_t& boundaryFailed, std::ostream& console);

}  // namespace survseq::bounds
