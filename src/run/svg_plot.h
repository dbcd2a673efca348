#pragma once

// A picture of the run for a slide or a report: one self-contained SVG of 800 x 450.
// Left, the search path: the simulated power of the first statistic at each accrual rate
// visited, numbered in visiting order, with bars of two standard errors either side, the
// analytic power curve beside them, the target power as a line and the final rate marked;
// its power axis spans the powers shown, so that the bars can be told apart. Right, the
// last iteration: for each statistic the cumulative share of trials rejected by each look
// (and, under a futility rule, of those stopped for futility), and the mean critical
// value at each look over the trials that reached it.
//
// Every plotted point carries its numbers in data-* attributes, written as the JSON file
// writes them, and every tick its value in data-value, so that a program can check the
// picture against the results.

#include <string>

#include "input/design_parameters.h"
#include "run/analytic_power_curve.h"
#include "search/run_record.h"

namespace survseq::run {

inline constexpr int kPlotWidth = 800;
inline constexpr int kPlotHeight = 450;

// `design` as it stood after reading (the bracket of the search as given); `analytic` the
// analytic power over the rates of searchRateAxis (empty: none drawn).
std::string searchPlotSvg(const input::DesignParameters& design, const search::RunRecord& record,
                          const AnalyticPowerCurve& analytic);

}  // namespace survseq::run
