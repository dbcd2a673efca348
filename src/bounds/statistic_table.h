#pragma once

#include <array>
#include <cstdint>

#include "input/design_parameters.h"

namespace survseq::bounds {

// A value per statistic (1..MaxStatistics) and analysis (1..MaxAnalyses), stored
// with the statistic index varying fastest.
class StatisticAnalysisTable {
 public:
  float& operator()(int32_t statistic, int32_t analysis) {
    return entries_[index(statistic, analysis)];
  }
  float operator()(int32_t statistic, int32_t analysis) const {
    return entries_[index(statistic, analysis)];
  }

 private:
  static size_t index(int32_t statistic, int32_t analysis) {
    return static_cast<size_t>((statistic - 1) + input::MaxStatistics * (analysis - 1));
  }
  std::array<float, input::MaxStatistics * input::MaxAnalyses> entries_{};
};

// The critical value with which each statistic is compared at each analysis.
struct BoundarySet {
  StatisticAnalysisTable criticalValue;
};

}  // namespace survseq::bounds
