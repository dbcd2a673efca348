#pragma once

// The analytic power of statistic 1 (plan/analytic_power.h) at a handful of accrual rates
// evenly spread over the rates the plot's search panel shows, for the plot to draw beside
// the simulated powers. Worked out only when a plot is asked for; a rate the analytic
// power cannot treat (its event targets out of reach) is left out.

#include <cstdint>
#include <vector>

#include "input/design_parameters.h"
#include "run/svg_canvas.h"
#include "search/run_record.h"

namespace survseq::run {

struct AnalyticPowerPoint {
  float accrualRate = 0.0f;
  double power = 0.0;
};
using AnalyticPowerCurve = std::vector<AnalyticPowerPoint>;

// The accrual-rate axis of the search panel, from pixelLow to pixelHigh: the bracket as
// given and every rate visited, widened to round ends.
Axis searchRateAxis(const input::DesignParameters& design, const search::RunRecord& record,
                    double pixelLow, double pixelHigh);

inline constexpr int32_t kAnalyticCurvePoints = 25;

// At `points` rates evenly spread from rates.low to rates.high.
AnalyticPowerCurve analyticPowerCurve(const input::DesignParameters& design, const Axis& rates,
                                      int32_t points = kAnalyticCurvePoints);

}  // namespace survseq::run
