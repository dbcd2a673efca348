#include "bounds/trial_boundaries.h"

#include <ostream>

#include "bounds/boundary_computation.h"
#include "bounds/fixed_sample.h"
#include "report/output_line.h"

// The boundaries of a simulated trial follow its observed information: at each analysis
// every statistic turns its information so far into a fraction of the planned maximum,
// spends error accordingly and gets its critical value from the recursion, given the
// values it was assigned at the earlier analyses of the same trial.

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

// The value from the recursion, for the cumulative error in design.errorSplit[analysis].
float recursiveCriticalValue(int32_t analysis, const input::DesignParameters& design,
                             StatisticRow& row, int32_t& boundaryFailed) {
  computeBoundary(analysis, row.information, design.errorSplit, design.sides, boundaryFailed,
                  row.critical);
  return row.critical[analysis];
}

float lanDeMetsCriticalValue(int32_t statistic, int32_t analysis,
                             input::DesignParameters& design, StatisticRow& row,
                             StatisticAnalysisTable& observedInformation,
                             int32_t& boundaryFailed) {
  if (analysis == design.analysisCount) {
    design.errorSplit[analysis] = design.typeIError;
    return recursiveCriticalValue(analysis, design, row, boundaryFailed);
  }
  const float information = row.information[analysis];
  const float fraction =
      informationFraction(information, design.informationCeiling[statistic]);
  if (fraction < kNearlyComplete) {
    design.errorSplit[analysis] =
        spentError(design.useFunction, design.typeIError, fraction, information,
                   design.informationFloor[statistic], design.haybittleB);
    return recursiveCriticalValue(analysis, design, row, boundaryFailed);
  }
  // Nearly all the information is in: no error is spent here, and the information of
  // this analysis is drawn back to the midpoint with the previous one, so that the next
  // analysis, itself near the planned maximum, still comes clearly after it on the
  // information scale. A first analysis has no previous one and keeps its own.
  if (analysis > 1) {
    observedInformation(statistic, analysis) = static_cast<float>(
        (double(observedInformation(statistic, analysis)) +
         double(observedInformation(statistic, analysis - 1))) /
        2.0);
  }
  return kBoundaryCap;
}

float criticalValueOf(int32_t statistic, int32_t analysis, input::DesignParameters& design,
                      const BoundarySet& boundaries,
                      StatisticAnalysisTable& observedInformation, int32_t& boundaryFailed,
                      std::ostream& console) {
  if (observedInformation(statistic, analysis) < design.informationFloor[statistic]) {
    return untestableCriticalValue(statistic, analysis, design, console);
  }

  StatisticRow row;
  loadRow(statistic, analysis, boundaries, observedInformation, row);

  switch (design.boundaryMethod) {
    case input::LanDeMets:
      return lanDeMetsCriticalValue(statistic, analysis, design, row, observedInformation,
                                    boundaryFailed);
    case input::Haybittle:
      // A constant interim value b; all of alpha is accounted for at the last analysis.
      if (analysis < design.analysisCount) return design.haybittleB;
      design.errorSplit[analysis] = design.typeIError;
      return recursiveCriticalValue(analysis, design, row, boundaryFailed);
    default:  // ErrorSplit: the cumulative split as read
      return recursiveCriticalValue(analysis, design, row, boundaryFailed);
  }
}

}  // namespace

void updateTrialBoundaries(int32_t analysis, input::DesignParameters& design,
                           BoundarySet& boundaries,
                           StatisticAnalysisTable& observedInformation,
                           int32_t& boundaryFailed, std::ostream& console) {
  for (int32_t statistic = 1; statistic <= design.statisticCount; ++statistic) {
    // Only a search that fails for this statistic at this analysis may cap its value.
    boundaryFailed = 0;
    const float critical = criticalValueOf(statistic, analysis, design, boundaries,
                                           observedInformation, boundaryFailed, console);
    boundaries.criticalValue(statistic, analysis) = boundaryFailed == 1 ? kBoundaryCap : critical;
  }
}

void recordSkippedAnalysis(int32_t analysis, int32_t statisticCount, BoundarySet& boundaries,
                           StatisticAnalysisTable& observedInformation) {
  for (int32_t statistic = 1; statistic <= statisticCount; ++statistic) {
    observedInformation(statistic, analysis) = 0.0f;
    boundaries.criticalValue(statistic, analysis) = kBoundaryCap;
  }
}

}  // namespace survseq::bounds
