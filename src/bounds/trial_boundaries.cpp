#include "bounds/trial_boundaries.h"

#include <ostream>

#include "bounds/binding_futility.h"
#include "bounds/boundary_computation.h"
#include "bounds/fixed_sample.h"
#include "report/output_line.h"

// The boundaries of a simulated trial follow its observed information: at each analysis
// every statistic turns its information so far into a fraction of the planned maximum,
// spends error accordingly and gets its critical value from the recursion, given the
// values it was assigned at the earlier analyses of the same trial. Under binding futility
// the recursion also stops the paths below the futility bounds of the earlier analyses.

namespace survseq::bounds {

namespace {

// The adjusted information must rise by at least this much from analysis to analysis,
// so that the recursion always sees a forward step.
constexpr float kInformationRise = 1.0e-4f;
// An interim analysis with this fraction of the planned information spends no error.
constexpr float kNearlyComplete = 0.99f;

// The working rows of one statistic, handed to computeBoundary.
struct StatisticRow {
  input::AnalysisValues information{};  // adjusted information T(1..i)
  input::AnalysisValues critical{};     // C(1..i): earlier values restored, C(i) written
};

// Restores C(1..i-1) and builds T(1..i): the observed information, raised where needed
// to the previous value plus kInformationRise.
void loadRow(int32_t statistic, int32_t analysis, const BoundarySet& boundaries,
             const StatisticAnalysisTable& observedInformation, StatisticRow& row) {
  row.information[1] = observedInformation(statistic, 1);
  for (int32_t m = 1; m < analysis; ++m) {
    row.critical[m] = boundaries.criticalValue(statistic, m);
    const float observed = observedInformation(statistic, m + 1);
    const float least = row.information[m] + kInformationRise;
    row.information[m + 1] = observed >= least ? observed : least;
  }
}

float informationFraction(float information, float ceiling) {
  if (information <= ceiling) return static_cast<float>(double(information) / double(ceiling));
  return 1.0f;
}

// A statistic below its information floor is not tested at an interim analysis; at the
// last analysis of a sequential design it falls back to the fixed-sample value, and
// the console says so.
float untestableCriticalValue(int32_t statistic, int32_t analysis,
                              const input::DesignParameters& design, std::ostream& console) {
  const int32_t last = design.analysisCount;
  if (last > 1 && analysis == last) {
    report::writePlainLine(console, {"The", statistic, "   th v0 is too large."});
    return fixedSampleCriticalValue(design.typeIError, design.sides);
  }
  return kBoundaryCap;
}

// The value from the recursion, for the cumulative error `cumulativeError` at the
// analysis; the error is recorded in the trial's split first, as the recursion reads it
// from there.
float recursiveCriticalValue(int32_t analysis, float cumulativeError,
                             const input::DesignParameters& design, TrialBoundaryState& state,
                             StatisticRow& row) {
  state.errorSplit[analysis] = cumulativeError;
  if (design.futility && design.futilityBinding) {
    computeBindingBoundary(analysis, row.information, state.errorSplit, design.futilityZ,
                           state.boundaryFailed, row.critical);
  } else {
    computeBoundary(analysis, row.information, state.errorSplit, design.sides,
                    state.boundaryFailed, row.critical);
  }
  return row.critical[analysis];
}

float lanDeMetsCriticalValue(int32_t statistic, int32_t analysis,
                             const input::DesignParameters& design, TrialBoundaryState& state,
                             StatisticRow& row) {
  if (analysis == design.analysisCount) {
    return recursiveCriticalValue(analysis, design.typeIError, design, state, row);
  }
  const float information = row.information[analysis];
  const float fraction =
      informationFraction(information, design.informationCeiling[statistic]);
  if (fraction < kNearlyComplete) {
    const float spent =
        designSpentError(design, fraction, information, design.informationFloor[statistic]);
    return recursiveCriticalValue(analysis, spent, design, state, row);
  }
  // Nearly all the information is in: no error is spent here, and the information of
  // this analysis is drawn back to the midpoint with the previous one, so that the next
  // analysis, itself near the planned maximum, still comes clearly after it on the
  // information scale. A first analysis has no previous one and keeps its own.
  if (analysis > 1) {
    StatisticAnalysisTable& observed = state.observedInformation;
    observed(statistic, analysis) = static_cast<float>(
        (double(observed(statistic, analysis)) + double(observed(statistic, analysis - 1))) /
        2.0);
  }
  return kBoundaryCap;
}

float criticalValueOf(int32_t statistic, int32_t analysis, const input::DesignParameters& design,
                      TrialBoundaryState& state, std::ostream& console) {
  if (state.observedInformation(statistic, analysis) < design.informationFloor[statistic]) {
    return untestableCriticalValue(statistic, analysis, design, console);
  }

  StatisticRow row;
  loadRow(statistic, analysis, state.boundaries, state.observedInformation, row);

  switch (design.boundaryMethod) {
    case input::LanDeMets:
      return lanDeMetsCriticalValue(statistic, analysis, design, state, row);
    case input::Haybittle:
      // A constant interim value b; all of alpha is accounted for at the last analysis.
      if (analysis < design.analysisCount) return design.haybittleB;
      return recursiveCriticalValue(analysis, design.typeIError, design, state, row);
    default:  // ErrorSplit: the cumulative split as read
      return recursiveCriticalValue(analysis, design.errorSplit[analysis], design, state, row);
  }
}

}  // namespace

void updateTrialBoundaries(int32_t analysis, const input::DesignParameters& design,
                           TrialBoundaryState& state, std::ostream& console) {
  for (int32_t statistic = 1; statistic <= design.statisticCount; ++statistic) {
    // Only a search that fails for this statistic at this analysis may cap its value.
    state.boundaryFailed = 0;
    const float critical = criticalValueOf(statistic, analysis, design, state, console);
    state.boundaries.criticalValue(statistic, analysis) =
        state.boundaryFailed == 1 ? kBoundaryCap : critical;
  }
}

void recordSkippedAnalysis(int32_t analysis, int32_t statisticCount, TrialBoundaryState& state) {
  for (int32_t statistic = 1; statistic <= statisticCount; ++statistic) {
    state.observedInformation(statistic, analysis) = 0.0f;
    state.boundaries.criticalValue(statistic, analysis) = kBoundaryCap;
  }
}

}  // namespace survseq::bounds
