#pragma once

// What the tests of the simulation compare against: the library's pow, the defining sort,
// bitwise equality, and designs written briefly.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "input/design_parameters.h"
#include "sim/analysis_data.h"

namespace survseq::sim {

// The library's pow through a pointer the compiler cannot see through, so that it cannot
// turn pow(x, 2.0) into x * x on its own.
inline double (*volatile libraryPow)(double, double) =
    static_cast<double (*)(double, double)>(std::pow);

template <class T>
bool sameBits(T a, T b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The curve through (x[i], s[i]); x[0] = 0 and s[0] = 1 are given too.
inline input::SurvivalCurve curve(std::initializer_list<float> x, std::initializer_list<float> s) {
  input::SurvivalCurve c{static_cast<int32_t>(x.size()) - 1, {}, {}};
  std::copy(x.begin(), x.end(), c.x.begin());
  std::copy(s.begin(), s.end(), c.s.begin());
  return c;
}

// Medians 10 and 5, censoring medians 20 and 40, accrual over 10; the hazard ratios of the
// law by cut points, if given.
inline input::DesignParameters design(std::initializer_list<float> cuts = {},
                                      std::initializer_list<float> ratios = {}) {
  input::DesignParameters d;
  d.baselineCurve = curve({0, 10}, {1, 0.5f});
  d.alternativeCurve = curve({0, 10}, {1, 0.25f});
  d.censoringControl = curve({0, 20}, {1, 0.5f});
  d.censoringTreatment = curve({0, 40}, {1, 0.5f});
  d.accrualPeriod = 10;
  d.hazardRatioCount = static_cast<int32_t>(cuts.size());
  std::copy(cuts.begin(), cuts.end(), d.hazardRatioCuts.begin() + 1);
  std::copy(ratios.begin(), ratios.end(), d.hazardRatios.begin() + 1);
  return d;
}

// The defining sort, written as it is defined: halve the gap, pass until no exchange.
inline void exchangePassSort(AnalysisData& d) {
  auto& time = d.observedTime;
  const int32_t m = d.enteredCount;
  for (int32_t gap = m / 2; gap >= 1; gap /= 2)
    for (bool exchanged = true; exchanged;) {
      exchanged = false;
      for (int32_t i = 0; i + gap < m; ++i) {
        if (!(time[i] > time[i + gap])) continue;
        std::swap(time[i], time[i + gap]);
        std::swap(d.observedGroup[i], d.observedGroup[i + gap]);
        std::swap(d.eventIndicator[i], d.eventIndicator[i + gap]);
        exchanged = true;
      }
    }
}

}  // namespace survseq::sim
