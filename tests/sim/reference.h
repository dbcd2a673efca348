#pragma once

// What the tests of the simulation compare against: the library's pow, the defining sort,
// bitwise equality, and survival curves written as lists.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "input/design_parameters.h"
#include "sim/analysis_data.h"

namespace survseq::sim {

// The library's pow reached through a pointer the compiler cannot see through, so that it
// cannot turn pow(x, 2.0) into x * x on its own.
inline double (*volatile libraryPow)(double, double) =
    static_cast<double (*)(double, double)>(std::pow);

inline bool sameBits(float a, float b) {
  return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}
inline bool sameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

// The curve through (x[i], s[i]); x[0] = 0 and s[0] = 1 are given too.
inline input::SurvivalCurve curve(std::initializer_list<float> x, std::initializer_list<float> s) {
  input::SurvivalCurve c{static_cast<int32_t>(x.size()) - 1, {}, {}};
  std::copy(x.begin(), x.end(), c.x.begin());
  std::copy(s.begin(), s.end(), c.s.begin());
  return c;
}

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
