#pragma once

#include <cstdint>
#include <iosfwd>

#include "bounds/statistic_table.h"
#include "input/design_parameters.h"

namespace survseq::bounds {

// A statistic's information floor is this share of its planned information at the first
// analysis; below it the statistic is not tested.
inline constexpr float kInformationFloorShare = 0.5f;

// The working state of the boundary update within one simulated trial. Each thread that
// analyses trials holds its own, so the design stays read-only while trials run.
//
// Nothing in it carries from one trial to the next, and a trial may start from whatever
// an earlier trial (or another thread) left:
// - computeBoundary reads errorSplit at the analysis in hand only, and every branch that
//   calls it sets that entry just before, in the same call (the use function's or
//   alpha's cumulative error, or the split as read from the design);
// - entries 1..i-1 of both tables are written by the trial's own calls for its earlier
//   analyses, or by recordSkippedAnalysis when nobody had entered before one;
// - boundaryFailed is cleared for every statistic before its critical value is found.
// Checked over the examples, the golden designs and 300 random designs: no value written
// by one trial was ever read by another.
struct TrialBoundaryState {
  input::AnalysisValues errorSplit{};  // cumulative type-I error given to computeBoundary
  BoundarySet boundaries;
  StatisticAnalysisTable observedInformation;  // filled by the caller at each analysis
  int32_t boundaryFailed = 0;
};

// Fixes state.boundaries.criticalValue(j, analysis) of every statistic j from this
// trial's observed information at analyses 1..analysis (state.observedInformation), and
// may pull back observedInformation(j, analysis). The line "The j th v0 is too large."
// goes to `console`.
void updateTrialBoundaries(int32_t analysis, const input::DesignParameters& design,
                           TrialBoundaryState& state, std::ostream& console);

// For an analysis that a trial skips because nobody had entered before it: every
// statistic gets observed information 0 and cannot reject there (kBoundaryCap), so the
// later analyses of the trial read nothing left by an earlier trial.
void recordSkippedAnalysis(int32_t analysis, int32_t statisticCount, TrialBoundaryState& state);

}  // namespace survseq::bounds
