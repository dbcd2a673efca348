#pragma once

#include <algorithm>
#include <cmath>

#include "input/design_parameters.h"

namespace survseq::law::testing {

// An exponential curve with median `median` (one point at the median, then its hazard).
inline input::SurvivalCurve exponentialCurve(float median) { return {1, {0, median}, {1, 0.5f}}; }

inline double hazardOfMedian(double median) { return std::log(2.0) / median; }

// Median 12 in control, hazard ratio `ratio` after `delay` (1 before it; the last cut at
// 1000, as far beyond the baseline survival underflows), censoring with median
// `censoringMedian`, accrual over 24, looks at `times`; one-sided O'Brien-Fleming at 2.5 %.
inline input::DesignParameters exponentialDesign(float ratio, float delay = 0.0f,
                                                 float censoringMedian = 1.0e6f,
                                                 std::initializer_list<float> times = {48}) {
  input::DesignParameters d;
  d.baselineCurve = exponentialCurve(12.0f);
  d.censoringControl = d.censoringTreatment = exponentialCurve(censoringMedian);
  d.alternativeKind = 2.0f;
  using Values = input::IntervalValues;
  d.hazardRatioCount = delay > 0.0f ? 2 : 1;
  d.hazardRatioCuts = delay > 0.0f ? Values{0, delay, 1000} : Values{0, 1000};
  d.hazardRatios = delay > 0.0f ? Values{0, 1.0f, ratio} : Values{0, ratio};
  d.accrualPeriod = 24.0f;
  d.accrualRate = 15.0f;
  d.analysisCount = static_cast<int32_t>(times.size());
  std::copy(times.begin(), times.end(), d.analysisTimes.begin() + 1);
  d.statisticCount = d.dropInCount = d.dropOutCount = 1;
  d.typeIError = 0.025f;
  d.sides = 1;
  d.desiredPower = 0.9f;
  d.boundaryMethod = input::LanDeMets;
  d.useFunction = input::OBrienFleming;
  d.haybittleB = 3.0f;
  return d;
}

}  // namespace survseq::law::testing
