#pragma once

// The critical values of a combination of weighted log-rank statistics (the max-combo
// test) from one trial's own covariances: M_k = max_j Z_jk (two-sided max_j |Z_jk|) has
// critical value c_k with P0(M_1 < c_1, ..., M_(k-1) < c_(k-1), M_k >= c_k) equal to the
// error spent between looks k-1 and k, where under the null the scores are jointly normal
// with Cov(U_j at look k, U_j' at look k') the observed covariance of j and j' at look
// min(k, k'), standardised to correlations.

#include <array>
#include <cstdint>

#include "input/design_parameters.h"
#include "sim/score_covariance.h"

namespace survseq::bounds {

// The combination's working state within one trial, held per thread like
// TrialBoundaryState; the looks 1..k-1 of the trial in hand are read at look k.
struct CombinationState {
  std::array<sim::ScoreCovariance, input::MaxAnalyses + 1> covariance{};  // [1..k]
  input::AnalysisValues criticalValue{};                                  // [1..k]
  // P0(crossing at a look up to k) as estimated when c_k was searched for; NaN where it
  // was not (a critical value the design gives, or the cap for want of information).
  input::AnalysisValues crossedBy{};
  // The largest standard error of a crossing probability the trial's searches ended with.
  float largestError = 0.0f;
};

// The cumulative type-I error the design allows the combination at `analysis`, the
// spending time being `information` (the combination's first statistic's) over that
// statistic's planned information; the last analysis spends all of alpha. A Haybittle
// design's interim looks take b itself and are not asked here.
float combinationCumulativeError(const input::DesignParameters& design, int32_t analysis,
                                 float information);

// c_k for look `analysis` (1-based) from state.covariance[1..analysis] and the critical
// values of the earlier looks, spending `cumulativeError` in all by this look; kBoundaryCap
// when the error left is not enough to reach below it, or a statistic has no information
// yet. Writes state.criticalValue[analysis].
float combinationCriticalValue(int32_t analysis, float cumulativeError, int32_t sides,
                               CombinationState& state);

}  // namespace survseq::bounds
