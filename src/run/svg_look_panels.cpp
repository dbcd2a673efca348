// The right-hand panels of the plot, from the last iteration: per statistic (and for the
// combination of statistics, when the design has one) and look the
// cumulative share of trials rejected (and, under a futility rule, stopped for futility)
// and the mean critical value over the trials that reached the look.

#include <algorithm>
#include <array>
#include <cmath>

#include "run/number_text.h"
#include "run/svg_plot_parts.h"

namespace survseq::run {

namespace {

struct LookAxes {
  Axis rejectedX, rejectedY, criticalX, criticalY;
};

LookAxes lookAxes(const input::DesignParameters& design, const search::IterationRecord& last) {
  const int32_t K = design.analysisCount;
  double highestCritical = 0.0;
  const auto raiseTo = [&](const std::array<search::LookFigures, input::MaxAnalyses + 1>& looks) {
    for (int32_t k = 1; k <= K; ++k) {
      const auto& look = looks[static_cast<size_t>(k)];
      if (look.reachedCount > 0 && std::isfinite(look.meanCriticalValue)) {
        highestCritical = std::max(highestCritical, double(look.meanCriticalValue));
      }
    }
  };
  for (const auto& statistic : last.statistics) raiseTo(statistic.looks);
  if (last.combination) raiseTo(last.combination->looks);
  const double lastTime = last.lookTime(design, K);
  // Some room above the highest critical value, which is often the cap of 5 at an early look.
  return {roundAxis(0.0, lastTime, kRejectedFrame.left, kRejectedFrame.right, 6),
          roundAxis(0.0, 1.0, kRejectedFrame.bottom, kRejectedFrame.top, 5),
          roundAxis(0.0, lastTime, kCriticalFrame.left, kCriticalFrame.right, 6),
          roundAxis(0.0, std::max(1.1 * highestCritical, 1.0), kCriticalFrame.bottom,
                    kCriticalFrame.top, 4)};
}

// The cumulative share of the trials stopped for futility by each look, as a dashed line
// with open points.
using LookRecords = std::array<search::LookFigures, input::MaxAnalyses + 1>;

void drawFutilityStops(SvgCanvas& svg, const input::DesignParameters& design,
                       const LookRecords& looks, const search::IterationRecord& last,
                       const LookAxes& axes, const std::string& colour, const std::string& s) {
  std::string path;
  int32_t stopped = 0;
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    const float time = last.lookTime(design, k);
    stopped += looks[static_cast<size_t>(k)].futilityStoppedCount;
    const float share = static_cast<float>(double(stopped) / design.simulationCount);
    const double fx = axes.rejectedX.pixel(time);
    const double fy = axes.rejectedY.pixel(share);
    path += px(fx) + "," + px(fy) + " ";
    svg.element("circle", {{"class", "futility-share"},
                           {"data-statistic", s},
                           {"data-look", std::to_string(k)},
                           {"data-time", shortestText(time)},
                           {"data-cumulative-share", shortestText(share)},
                           {"cx", px(fx)},
                           {"cy", px(fy)},
                           {"r", "3"},
                           {"fill", "white"},
                           {"stroke", colour}});
  }
  svg.element("polyline", {{"points", path},
                           {"fill", "none"},
                           {"stroke", colour},
                           {"stroke-width", "1.5"},
                           {"stroke-dasharray", "5 3"}});
}

// One series of the two panels: a statistic's, or the combination's (`s` "combination").
void drawLookSeries(SvgCanvas& svg, const input::DesignParameters& design,
                    const search::IterationRecord& last, const LookRecords& looks,
                    const LookAxes& axes, const std::string& colour, const std::string& s) {
  std::string rejectedPath;
  std::string criticalPath;
  int32_t stopped = 0;
  svg.open("g", {{"class", "statistic"}, {"data-statistic", s}});
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    const auto& look = looks[static_cast<size_t>(k)];
    const float time = last.lookTime(design, k);
    stopped += look.stoppedCount;
    const float share = static_cast<float>(double(stopped) / design.simulationCount);
    const double rx = axes.rejectedX.pixel(time);
    const double ry = axes.rejectedY.pixel(share);
    rejectedPath += px(rx) + "," + px(ry) + " ";
    svg.element("circle", {{"class", "rejected-share"},
                           {"data-statistic", s},
                           {"data-look", std::to_string(k)},
                           {"data-time", shortestText(time)},
                           {"data-cumulative-share", shortestText(share)},
                           {"cx", px(rx)},
                           {"cy", px(ry)},
                           {"r", "3"},
                           {"fill", colour}});
    if (look.reachedCount == 0 || !std::isfinite(look.meanCriticalValue)) continue;
    const double cx = axes.criticalX.pixel(time);
    const double cy = axes.criticalY.pixel(look.meanCriticalValue);
    criticalPath += px(cx) + "," + px(cy) + " ";
    svg.element("circle", {{"class", "critical-value"},
                           {"data-statistic", s},
                           {"data-look", std::to_string(k)},
                           {"data-time", shortestText(time)},
                           {"data-critical-value", shortestText(look.meanCriticalValue)},
                           {"cx", px(cx)},
                           {"cy", px(cy)},
                           {"r", "3"},
                           {"fill", colour}});
  }
  for (const std::string* points : {&rejectedPath, &criticalPath}) {
    svg.element("polyline",
                {{"points", *points}, {"fill", "none"}, {"stroke", colour}, {"stroke-width", "1.5"}});
  }
  if (design.futility) drawFutilityStops(svg, design, looks, last, axes, colour, s);
  svg.close("g");
}

// Legend: two series a row under the panels.
void legend(SvgCanvas& svg, size_t i, const std::string& colour, const std::string& text) {
  const double lx = kCriticalFrame.left + (i % 2 == 0 ? 0 : 160);
  const double ly = kLegendRow + kLegendStep * static_cast<double>(i / 2);
  svg.line(lx, ly - 4, lx + 14, ly - 4, colour, {{"stroke-width", "1.5"}});
  circle(svg, lx + 7, ly - 4, 3, colour, "none");
  svg.text(lx + 18, ly, text);
}

}  // namespace

void drawLastIteration(SvgCanvas& svg, const input::DesignParameters& design,
                       const search::IterationRecord& last) {
  const size_t statistics = last.statistics.size();
  const LookAxes axes = lookAxes(design, last);

  svg.text(kRejectedFrame.left, kRejectedFrame.top - 10,
           design.futility ? "Rejected (solid), stopped for futility (dashed)"
                           : "Trials rejected by each look (cumulative)",
           {{"font-weight", "bold"}});
  svg.open("g", {{"class", "panel"}, {"data-panel", "rejected-share"}});
  drawAxes(svg, kRejectedFrame, axes.rejectedX, axes.rejectedY, "", "share of trials");
  svg.close("g");
  svg.text(kCriticalFrame.left, kCriticalFrame.top - 10, "Mean critical value at each look",
           {{"font-weight", "bold"}});
  svg.open("g", {{"class", "panel"}, {"data-panel", "critical-value"}});
  drawAxes(svg, kCriticalFrame, axes.criticalX, axes.criticalY,
           "analysis time (time units of the design)", "critical value");
  svg.close("g");

  for (size_t i = 0; i < statistics; ++i) {
    const std::string s = std::to_string(i + 1);
    drawLookSeries(svg, design, last, last.statistics[i].looks, axes, kStatisticColours[i], s);
    legend(svg, i, kStatisticColours[i],
           "statistic " + s + " (\u03c1 " + shortestText(last.statistics[i].summary.rho) +
               ", \u03c4 " + shortestText(last.statistics[i].summary.tau) + ")");
  }
  if (last.combination) {
    drawLookSeries(svg, design, last, last.combination->looks, axes, kCombinationColour,
                   "combination");
    legend(svg, statistics, kCombinationColour, "combination (max Z)");
  }
}

}  // namespace survseq::run
