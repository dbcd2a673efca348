#pragma once

// Designs of the analytic-power tests: exponential laws given by their medians, the
// treatment by a hazard ratio (or a delayed one), uniform accrual.

#include <cmath>

#include "input/design_parameters.h"

namespace survseq::plan::testing {

// An exponential curve with median `median` (one point at the median, then its hazard).
inline input::SurvivalCurve exponentialCurve(float median) {
  input::SurvivalCurve c;
  c.count = 1;
  c.s[0] = 1.0f;
  c.x[1] = median;
  c.s[1] = 0.5f;
  return c;
}

inline double hazardOfMedian(double median) { return std::log(2.0) / median; }

// Median 12 in control, hazard ratio `ratio` after `delay` (1 before it), censoring with
// median `censoringMedian` in both arms, accrual over 24, looks at `times`.
inline input::DesignParameters exponentialDesign(float ratio, float delay = 0.0f,
                                                 float censoringMedian = 1.0e6f,
                                                 std::initializer_list<float> times = {48}) {
  input::DesignParameters d;
  d.baselineCurve = exponentialCurve(12.0f);
  d.censoringControl = exponentialCurve(censoringMedian);
  d.censoringTreatment = exponentialCurve(censoringMedian);
  d.alternativeKind = 2.0f;
  if (delay > 0.0f) {
    d.hazardRatioCount = 2;
    d.hazardRatioCuts[1] = delay;
    d.hazardRatios[1] = 1.0f;
  } else {
    d.hazardRatioCount = 1;
  }
  d.hazardRatioCuts[d.hazardRatioCount] = 1.0e4f;
  d.hazardRatios[d.hazardRatioCount] = ratio;
  d.accrualPeriod = 24.0f;
  d.accrualRate = 15.0f;
  d.analysisCount = static_cast<int32_t>(times.size());
  int32_t k = 0;
  for (float t : times) d.analysisTimes[static_cast<size_t>(++k)] = t;
  d.statisticCount = 1;
  d.dropInCount = 1;
  d.dropOutCount = 1;
  d.typeIError = 0.025f;
  d.sides = 1;
  d.desiredPower = 0.9f;
  d.boundaryMethod = input::LanDeMets;
  d.useFunction = input::OBrienFleming;
  d.haybittleB = 3.0f;
  d.simulationCount = 1000;
  return d;
}

}  // namespace survseq::plan::testing
