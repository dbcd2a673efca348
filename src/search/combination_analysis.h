#pragma once

// The combination of statistics at one look of one trial (the max-combo test): the
// observed covariances of the combined scores, M_k = max_j Z_jk (two-sided max_j |Z_jk|)
// with each Z oriented so that large values mean benefit, the critical value c_k from the
// trial's own covariances at looks 1..k (bounds/combination_boundaries.h), rejection when
// M_k >= c_k and, at an interim look, a stop for futility when M_k lies below the
// futility bound.

#include <cstdint>

#include "bounds/combination_boundaries.h"
#include "input/design_parameters.h"
#include "sim/analysis_data.h"

namespace survseq::search {

struct CombinationLook {
  int32_t analysis = 0;
  float criticalValue = 0.0f;
  float maximum = 0.0f;  // M_k
  bool rejected = false;
  bool futilityStopped = false;
};

// Look `analysis` of the design `run` (as the trial runs it) from the sorted analysis data
// and the statistics computed from it; `data` null for a look before anybody entered,
// which cannot reject. Adds the CPU time spent finding c_k to `probabilitySeconds`.
CombinationLook analyseCombinationLook(const input::DesignParameters& run, int32_t analysis,
                                       const sim::AnalysisData* data,
                                       const sim::StatisticResults& statistics,
                                       bounds::CombinationState& state,
                                       double& probabilitySeconds);

}  // namespace survseq::search
