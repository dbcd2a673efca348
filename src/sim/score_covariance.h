#pragma once

#include <array>
#include <cstdint>

#include "input/design_parameters.h"
#include "sim/analysis_data.h"

namespace survseq::sim {

// The observed covariances of the weighted scores of several statistics at one analysis:
// for statistics j and j', the sum over event times of w_j w_j' (n0 n1 / n^2), the same
// at-risk variance term the statistics' information sums with w_j^2. Entry (a, b) belongs
// to the a-th and b-th statistic of the list it was computed for (0-based).
struct ScoreCovariance {
  int32_t count = 0;
  std::array<float, input::MaxStatistics * input::MaxStatistics> value{};
  float operator()(int32_t a, int32_t b) const { return value[a * input::MaxStatistics + b]; }
  float& operator()(int32_t a, int32_t b) { return value[a * input::MaxStatistics + b]; }
};

// The covariances of statistics statistics[0..count-1] (1-based numbers into rho and tau)
// from sorted analysis data, walking the risk sets as computeStatistics does. Only the
// combination of statistics needs them, so computeStatistics stays as it is and this
// second walk runs only for designs that combine.
void computeScoreCovariance(const AnalysisData& data, const std::array<int32_t, input::MaxStatistics>& statistics,
                            int32_t count, const input::StatisticValues& rho,
                            const input::StatisticValues& tau, ScoreCovariance& covariance);

}  // namespace survseq::sim
