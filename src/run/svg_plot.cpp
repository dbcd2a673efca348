#include "run/svg_plot.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "run/number_text.h"
#include "run/run_outcome.h"
#include "run/svg_canvas.h"

namespace survseq::run {

namespace {

// Colours that stay apart for the colour-blind (Okabe and Ito), one per statistic.
constexpr std::array<const char*, input::MaxStatistics> kStatisticColours = {
    "#0072B2", "#D55E00", "#009E73", "#CC79A7", "#E69F00"};
constexpr const char* kGrid = "#e4e4e4";
constexpr const char* kInk = "#222222";
constexpr const char* kTarget = "#666666";

struct Frame {
  double left, top, right, bottom;
};

constexpr Frame kSearchFrame{60, 72, 370, 350};
constexpr Frame kRejectedFrame{470, 72, 780, 180};
constexpr Frame kCriticalFrame{470, 230, 780, 350};
constexpr double kLegendRow = 408;
constexpr double kLegendStep = 18;

std::string formatted(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string rateText(float rate) { return formatted("%.4g", double(rate)); }

// Only a search that reached the power ends at a rate to use; a given rate is its own.
std::string rateLabel(const OutcomeFigures& outcome) {
  switch (outcome.kind) {
    case search::SearchOutcome::WithinTwoStandardErrors:
      return "final rate";
    case search::SearchOutcome::FixedRate:
      return "given rate";
    default:
      return "last rate";
  }
}

double tickStep(const Axis& axis) {
  return axis.ticks.size() > 1 ? axis.ticks[1] - axis.ticks[0] : 1.0;
}

// Grid, axis lines, ticks with their values, tick labels and the axis titles of a panel.
void drawAxes(SvgCanvas& svg, const Frame& f, const Axis& x, const Axis& y,
              const std::string& xTitle, const std::string& yTitle) {
  for (double value : y.ticks) {
    const double py = y.pixel(value);
    svg.line(f.left, py, f.right, py, kGrid);
    svg.line(f.left - 5, py, f.left, py, kInk,
             {{"class", "tick"}, {"data-axis", "y"}, {"data-value", formatted("%.10g", value)}});
    svg.text(f.left - 8, py + 4, tickLabel(value, tickStep(y)), {{"text-anchor", "end"}});
  }
  for (double value : x.ticks) {
    const double px = x.pixel(value);
    svg.line(px, f.bottom, px, f.bottom + 5, kInk,
             {{"class", "tick"}, {"data-axis", "x"}, {"data-value", formatted("%.10g", value)}});
    svg.text(px, f.bottom + 18, tickLabel(value, tickStep(x)), {{"text-anchor", "middle"}});
  }
  svg.line(f.left, f.bottom, f.right, f.bottom, kInk);
  svg.line(f.left, f.top, f.left, f.bottom, kInk);
  if (!xTitle.empty()) {
    svg.text((f.left + f.right) / 2, f.bottom + 36, xTitle, {{"text-anchor", "middle"}});
  }
  const std::string middle = px((f.top + f.bottom) / 2);
  svg.text(f.left - 44, (f.top + f.bottom) / 2, yTitle,
           {{"text-anchor", "middle"},
            {"transform", "rotate(-90 " + px(f.left - 44) + " " + middle + ")"}});
}

void circle(SvgCanvas& svg, double x, double y, double r, const std::string& fill,
            const std::string& stroke) {
  svg.element("circle",
              {{"cx", px(x)}, {"cy", px(y)}, {"r", px(r)}, {"fill", fill}, {"stroke", stroke}});
}

void drawSearchPath(SvgCanvas& svg, const input::DesignParameters& design,
                    const search::RunRecord& record, const OutcomeFigures& outcome) {
  const Frame& f = kSearchFrame;
  double low = design.accrualRateLower;
  double high = design.accrualRateUpper;
  for (const auto& iteration : record.iterations) {
    low = std::min(low, double(iteration.accrualRate));
    high = std::max(high, double(iteration.accrualRate));
  }
  const Axis x = roundAxis(low, high, f.left, f.right, 6);
  const Axis y = roundAxis(0.0, 1.0, f.bottom, f.top, 5);

  svg.text(f.left, f.top - 10, "Power of statistic 1 at each rate visited",
           {{"font-weight", "bold"}});
  svg.open("g", {{"class", "panel"}, {"data-panel", "search-path"}});
  drawAxes(svg, f, x, y, "accrual rate (patients per time unit)", "simulated power");

  // A run at a given size aims at no power.
  const bool hasTarget = outcome.kind != search::SearchOutcome::FixedRate;
  if (hasTarget) {
    const double target = y.pixel(design.desiredPower);
    svg.line(f.left, target, f.right, target, kTarget,
             {{"class", "target-power"},
              {"data-power", shortestText(design.desiredPower)},
              {"stroke-dasharray", "6 4"},
              {"stroke-width", "1.5"}});
    svg.text(f.right - 4, target - 5, "target " + shortestText(design.desiredPower),
             {{"text-anchor", "end"}, {"fill", kTarget}});
  }

  const double finalX = x.pixel(outcome.accrualRate);
  svg.line(finalX, f.bottom, finalX, f.top, kInk,
           {{"class", "final-rate-line"},
            {"data-rate", shortestText(outcome.accrualRate)},
            {"stroke-dasharray", "2 3"}});

  std::string path;
  for (const auto& iteration : record.iterations) {
    const auto& estimate = iteration.statistics.front().summary.estimate;
    path += px(x.pixel(iteration.accrualRate)) + "," + px(y.pixel(estimate.power)) + " ";
  }
  svg.element("polyline", {{"class", "search-path"},
                           {"points", path},
                           {"fill", "none"},
                           {"stroke", "#999999"},
                           {"stroke-width", "1"}});

  const std::string colour = kStatisticColours[0];
  std::vector<std::pair<double, double>> labels;  // where iteration numbers already stand
  for (const auto& iteration : record.iterations) {
    const auto& estimate = iteration.statistics.front().summary.estimate;
    const double px0 = x.pixel(iteration.accrualRate);
    const double twoSe = 2.0 * double(estimate.standardError);
    const std::string number = std::to_string(iteration.iterationNumber);
    svg.line(px0, y.pixel(estimate.power + twoSe), px0, y.pixel(estimate.power - twoSe), colour,
             {{"class", "error-bar"}, {"data-iteration", number}, {"stroke-width", "1.5"}});
    svg.element("circle", {{"class", "search-point"},
                           {"data-iteration", number},
                           {"data-rate", shortestText(iteration.accrualRate)},
                           {"data-power", shortestText(estimate.power)},
                           {"data-standard-error", shortestText(estimate.standardError)},
                           {"cx", px(px0)},
                           {"cy", px(y.pixel(estimate.power))},
                           {"r", "3.5"},
                           {"fill", colour}});
    const double lx = px0 + 5;
    const double ly = y.pixel(estimate.power) - 6;
    const bool crowded = std::any_of(labels.begin(), labels.end(), [&](const auto& p) {
      return std::fabs(p.first - lx) < 14 && std::fabs(p.second - ly) < 11;
    });
    if (!crowded) {
      svg.text(lx, ly, number, {{"font-size", "10"}, {"fill", "#555555"}});
      labels.emplace_back(lx, ly);
    }
  }
  svg.element("circle", {{"class", "final-rate"},
                         {"data-rate", shortestText(outcome.accrualRate)},
                         {"data-power", shortestText(outcome.estimate.power)},
                         {"cx", px(finalX)},
                         {"cy", px(y.pixel(outcome.estimate.power))},
                         {"r", "7"},
                         {"fill", "none"},
                         {"stroke", kInk},
                         {"stroke-width", "1.5"}});
  svg.close("g");

  // Legend under the panel.
  const double row1 = kLegendRow;
  const double row2 = kLegendRow + kLegendStep;
  svg.line(f.left + 6, row1 - 9, f.left + 6, row1 + 3, colour, {{"stroke-width", "1.5"}});
  circle(svg, f.left + 6, row1 - 3, 3.5, colour, "none");
  svg.text(f.left + 18, row1, "power \u00b1 2 standard errors, numbered in visiting order");
  double rateKey = f.left + 6;
  if (hasTarget) {
    svg.line(f.left, row2 - 4, f.left + 14, row2 - 4, kTarget,
             {{"stroke-dasharray", "6 4"}, {"stroke-width", "1.5"}});
    svg.text(f.left + 18, row2, "target power");
    rateKey = f.left + 118;
  }
  circle(svg, rateKey, row2 - 4, 6, "none", kInk);
  svg.text(rateKey + 12, row2, rateLabel(outcome) + " " + rateText(outcome.accrualRate));
}

// The last iteration, one line per statistic in each of the two right-hand panels.
void drawLastIteration(SvgCanvas& svg, const input::DesignParameters& design,
                       const search::IterationRecord& last) {
  const int32_t K = design.analysisCount;
  const size_t statistics = last.statistics.size();
  double highestCritical = 0.0;
  for (const auto& statistic : last.statistics) {
    for (int32_t k = 1; k <= K; ++k) {
      const auto& look = statistic.looks[static_cast<size_t>(k)];
      if (look.reachedCount > 0 && std::isfinite(look.meanCriticalValue)) {
        highestCritical = std::max(highestCritical, double(look.meanCriticalValue));
      }
    }
  }
  const double lastTime = last.lookTime(design, K);
  const Axis rejectedX = roundAxis(0.0, lastTime, kRejectedFrame.left, kRejectedFrame.right, 6);
  const Axis rejectedY = roundAxis(0.0, 1.0, kRejectedFrame.bottom, kRejectedFrame.top, 5);
  const Axis criticalX = roundAxis(0.0, lastTime, kCriticalFrame.left, kCriticalFrame.right, 6);
  // Some room above the highest value, which is often the cap of 5 at an early look.
  const Axis criticalY = roundAxis(0.0, std::max(1.1 * highestCritical, 1.0), kCriticalFrame.bottom,
                                   kCriticalFrame.top, 4);

  svg.text(kRejectedFrame.left, kRejectedFrame.top - 10,
           "Trials rejected by each look (cumulative)", {{"font-weight", "bold"}});
  svg.open("g", {{"class", "panel"}, {"data-panel", "rejected-share"}});
  drawAxes(svg, kRejectedFrame, rejectedX, rejectedY, "", "share of trials");
  svg.close("g");
  svg.text(kCriticalFrame.left, kCriticalFrame.top - 10, "Mean critical value at each look",
           {{"font-weight", "bold"}});
  svg.open("g", {{"class", "panel"}, {"data-panel", "critical-value"}});
  drawAxes(svg, kCriticalFrame, criticalX, criticalY,
           "analysis time (time units of the parameter file)", "critical value");
  svg.close("g");

  for (size_t i = 0; i < statistics; ++i) {
    const std::string colour = kStatisticColours[i];
    const std::string s = std::to_string(i + 1);
    std::string rejectedPath;
    std::string criticalPath;
    int32_t stopped = 0;
    svg.open("g", {{"class", "statistic"}, {"data-statistic", s}});
    for (int32_t k = 1; k <= K; ++k) {
      const auto& look = last.statistics[i].looks[static_cast<size_t>(k)];
      const float time = last.lookTime(design, k);
      stopped += look.stoppedCount;
      const float share = static_cast<float>(double(stopped) / design.simulationCount);
      const double rx = rejectedX.pixel(time);
      const double ry = rejectedY.pixel(share);
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
      const double cx = criticalX.pixel(time);
      const double cy = criticalY.pixel(look.meanCriticalValue);
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
      svg.element(
          "polyline",
          {{"points", *points}, {"fill", "none"}, {"stroke", colour}, {"stroke-width", "1.5"}});
    }
    svg.close("g");

    // Legend: two statistics a row under the panels.
    const double lx = kCriticalFrame.left + (i % 2 == 0 ? 0 : 160);
    const double ly = kLegendRow + kLegendStep * static_cast<double>(i / 2);
    svg.line(lx, ly - 4, lx + 14, ly - 4, colour, {{"stroke-width", "1.5"}});
    circle(svg, lx + 7, ly - 4, 3, colour, "none");
    svg.text(lx + 18, ly,
             "statistic " + s + " (\u03c1 " + shortestText(last.statistics[i].summary.rho) +
                 ", \u03c4 " + shortestText(last.statistics[i].summary.tau) + ")");
  }
}

}  // namespace

std::string searchPlotSvg(const input::DesignParameters& design, const search::RunRecord& record) {
  const OutcomeFigures outcome = outcomeFigures(record);
  // A design laid out as a positional one keeps the positional run's plot.
  const AdviceWording wording =
      input::usesKeyedOnlyFeatures(design) ? AdviceWording::Keys : AdviceWording::Lines;
  std::string headline = outcomeWords(outcome.kind, wording) + ": " + rateLabel(outcome) + " " +
                         rateText(outcome.accrualRate) + " (" +
                         std::to_string(outcome.patientCount) + " patients)";
  headline[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(headline[0])));
  SvgCanvas svg(kPlotWidth, kPlotHeight, headline);
  svg.text(20, 24, headline, {{"font-size", "14"}, {"font-weight", "bold"}});
  svg.text(20, 42,
           std::to_string(design.simulationCount) +
               " simulated trials per rate. Right: the last "
               "iteration, rate " +
               rateText(outcome.accrualRate) + ", report " + design.outputFileName,
           {{"font-size", "11"}, {"fill", "#444444"}});
  if (!record.iterations.empty()) {
    drawSearchPath(svg, design, record, outcome);
    drawLastIteration(svg, design, record.iterations.back());
  }
  return svg.finish();
}

}  // namespace survseq::run
