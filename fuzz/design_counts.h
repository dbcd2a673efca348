#pragma once

// What every design a reader accepts must satisfy, whatever bytes it was given: each count
// fits the table it indexes.

#include "input/design_parameters.h"

namespace survseq::fuzzing {

inline bool countsFitTables(const input::DesignParameters& d) {
  using namespace survseq::input;
  const auto within = [](int32_t count, int32_t maximum) { return count >= 1 && count <= maximum; };
  return within(d.analysisCount, MaxAnalyses) && within(d.statisticCount, MaxStatistics) &&
         within(d.baselineCurve.count, MaxIntervals) && within(d.hazardRatioCount, MaxIntervals) &&
         within(d.censoringControl.count, MaxIntervals) &&
         within(d.censoringTreatment.count, MaxIntervals) && within(d.dropInCount, MaxDropPoints) &&
         within(d.dropOutCount, MaxDropPoints) && d.accrualPieceCount >= 0 &&
         d.accrualPieceCount <= MaxAccrualPieces;
}

}  // namespace survseq::fuzzing
