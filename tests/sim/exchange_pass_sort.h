#pragma once

#include <utility>

#include "sim/analysis_data.h"

namespace survseq::sim {

// The defining sort, written as it is defined: halve the gap, pass until no exchange.
inline void exchangePassSort(AnalysisData& d) {
  auto& time = d.observedTime;
  auto& group = d.observedGroup;
  auto& event = d.eventIndicator;
  const int32_t m = d.enteredCount;
  for (int32_t gap = m / 2; gap >= 1; gap /= 2)
    for (bool exchanged = true; exchanged;) {
      exchanged = false;
      for (int32_t i = 0; i + gap < m; ++i) {
        if (!(time[i] > time[i + gap])) continue;
        std::swap(time[i], time[i + gap]);
        std::swap(group[i], group[i + gap]);
        std::swap(event[i], event[i + gap]);
        exchanged = true;
      }
    }
}

}  // namespace survseq::sim
