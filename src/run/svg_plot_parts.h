#pragma once

// The parts of the run's plot (svg_plot.h) that its panels share: colours, frames, axes.

#include <array>
#include <string>

#include "input/design_parameters.h"
#include "run/analytic_power_curve.h"
#include "run/run_outcome.h"
#include "run/svg_canvas.h"
#include "search/run_record.h"

namespace survseq::run {

// Colours that stay apart for the colour-blind (Okabe and Ito), one per statistic.
inline constexpr std::array<const char*, input::MaxStatistics> kStatisticColours = {
    "#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00"};
// The combination of statistics, beside them.
inline constexpr const char* kCombinationColour = "#000000";
inline constexpr const char* kGrid = "#e4e4e4";
inline constexpr const char* kInk = "#222222";
inline constexpr const char* kTarget = "#666666";

struct Frame {
  double left, top, right, bottom;
};

inline constexpr Frame kSearchFrame{60, 72, 370, 350};
inline constexpr Frame kRejectedFrame{470, 72, 780, 180};
inline constexpr Frame kCriticalFrame{470, 230, 780, 350};
inline constexpr double kLegendRow = 408;
inline constexpr double kLegendStep = 18;

std::string formatted(const char* format, double value);
std::string rateText(float rate);
std::string rateLabel(const OutcomeFigures& outcome);

// Grid, axis lines, ticks with their values, tick labels and the axis titles of a panel.
void drawAxes(SvgCanvas& svg, const Frame& f, const Axis& x, const Axis& y,
              const std::string& xTitle, const std::string& yTitle);
void circle(SvgCanvas& svg, double x, double y, double r, const std::string& fill,
            const std::string& stroke);

// The left panel: the search path, with the analytic power curve beside it.
void drawSearchPath(SvgCanvas& svg, const input::DesignParameters& design,
                    const search::RunRecord& record, const OutcomeFigures& outcome,
                    const AnalyticPowerCurve& analytic);
// The two right panels: the last iteration per look.
void drawLastIteration(SvgCanvas& svg, const input::DesignParameters& design,
                       const search::IterationRecord& last);

}  // namespace survseq::run
