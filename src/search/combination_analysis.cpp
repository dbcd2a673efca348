#include "search/combination_analysis.h"

#include <cmath>
#include <ctime>
#include <limits>

#include "bounds/boundary_computation.h"

namespace survseq::search {

namespace {

// The CPU time of the calling thread, in seconds: what the probabilities cost is summed
// per thread, so it does not depend on how busy the other threads are.
double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1.0e-9 * double(now.tv_nsec);
}

float criticalValueAt(const input::DesignParameters& run, int32_t k, float information,
                      bounds::CombinationState& state, double& probabilitySeconds) {
  state.crossedBy[k] = std::numeric_limits<float>::quiet_NaN();  // unless searched below
  if (run.boundaryMethod == input::GivenBoundaries) {
    return state.criticalValue[k] = run.boundaryValues[k];
  }
  if (run.boundaryMethod == input::Haybittle && k < run.analysisCount) {
    return state.criticalValue[k] = run.haybittleB;
  }
  const float cumulativeError = bounds::combinationCumulativeError(run, k, information);
  const double start = threadSeconds();
  const float value = bounds::combinationCriticalValue(k, cumulativeError, run.sides, state);
  probabilitySeconds += threadSeconds() - start;
  return value;
}

}  // namespace

CombinationLook analyseCombinationLook(const input::DesignParameters& run, int32_t analysis,
                                       const sim::AnalysisData* data,
                                       const sim::StatisticResults& statistics,
                                       bounds::CombinationState& state,
                                       double& probabilitySeconds) {
  CombinationLook look;
  look.analysis = analysis;
  const int32_t J = run.combinationCount;
  sim::ScoreCovariance& covariance = state.covariance[analysis];
  if (data == nullptr) {
    covariance = sim::ScoreCovariance{};
    covariance.count = J;
    state.criticalValue[analysis] = bounds::kBoundaryCap;
    look.criticalValue = bounds::kBoundaryCap;
    look.maximum = std::numeric_limits<float>::quiet_NaN();
    return look;
  }
  sim::computeScoreCovariance(*data, run.combinationStatistics, J, run.rho, run.tau, covariance);
  const int32_t first = run.combinationStatistics[0];
  look.criticalValue = criticalValueAt(run, analysis, statistics.statisticVariance[first], state,
                                       probabilitySeconds);
  // A statistic that is not a number does not count towards the maximum.
  float maximum = -std::numeric_limits<float>::infinity();
  for (int32_t j = 0; j < J; ++j) {
    const float z = statistics.statisticValue[run.combinationStatistics[j]];
    const float oriented = run.sides == 2 ? std::fabs(z) : z;
    if (oriented > maximum) maximum = oriented;
  }
  look.maximum = maximum;
  look.rejected = maximum >= look.criticalValue;
  look.futilityStopped = run.futility && analysis < run.analysisCount && !look.rejected &&
                         maximum < run.futilityZ[analysis];
  return look;
}

}  // namespace survseq::search
