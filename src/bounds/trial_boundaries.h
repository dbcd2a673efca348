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

// For an analysis that a trial skips because nobody had entered before it: every
// statistic gets observed information 0 and cannot reject there (kBoundaryCap), so the
// later analyses of the trial read nothing left by an earlier trial.
void recordSkippedAnalysis(int32_t analysis, int32_t statisticCount, BoundarySet& boundaries,
                           StatisticAnalysisTable& observedInformation);

}  // namespace survseq::bounds
