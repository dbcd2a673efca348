#pragma once

// The designs, curves and draws the simulation tests share, and the library's pow.

#include <algorithm>
#include <bit>
#include <cmath>
#include <sstream>
#include <vector>

#include "sim/analysis_data.h"
#include "sim/survival_functions.h"

namespace survseq::sim {

// The library's pow, out of the compiler's sight: it may not turn pow(x, 2.0) into x * x.
inline double (*volatile libraryPow)(double, double) =
    static_cast<double (*)(double, double)>(std::pow);

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

// Medians 10 and 5, censoring 20 and 40, accrual over 10, hazard ratios by cut points if given.
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

inline std::vector<float> draws(int32_t seed, size_t count) {
  UniformGenerator g;
  std::vector<float> values(count);
  for (float& u : values) u = g.nextUniform(seed);
  return values;
}

// Draws a trial of n from the stream of the seed -123457.
inline void generate(const input::DesignParameters& d, int32_t n, SimulatedTrial& trial) {
  UniformGenerator g;
  int32_t seed = -123457;
  std::ostringstream report;
  generateTrial(d, n, g, seed, trial, report);
}
}  // namespace survseq::sim
