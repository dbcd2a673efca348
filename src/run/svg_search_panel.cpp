// The search panel of the plot: the simulated power of the trial's test (statistic 1, or
// the combination of statistics when the design has one) at each rate visited,
// with its bars of two standard errors, the analytic power curve, the target power and
// the rate where the search ended.

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "run/number_text.h"
#include "run/svg_plot_parts.h"

namespace survseq::run {

namespace {

// Where labels already stand, as boxes, so that the next one can keep clear of them.
class LabelBoxes {
 public:
  void add(double left, double top, double right, double bottom) {
    boxes_.push_back({left, top, right, bottom});
  }
  bool clear(double left, double top, double right, double bottom) const {
    return std::none_of(boxes_.begin(), boxes_.end(), [&](const Frame& b) {
      return left < b.right && b.left < right && top < b.bottom && b.top < bottom;
    });
  }

 private:
  std::vector<Frame> boxes_;
};

// The power axis: the bars of every rate visited and the target (when there is one), with
// a margin, within [0, 1] (the analytic curve is cut at the frame).
Axis powerAxis(const search::RunRecord& record, std::optional<double> target, const Frame& f) {
  double low = target.value_or(1.0);
  double high = target.value_or(0.0);
  for (const auto& iteration : record.iterations) {
    const auto& estimate = iteration.testedEstimate();
    const double twoSe = 2.0 * double(estimate.standardError);
    low = std::min(low, double(estimate.power) - twoSe);
    high = std::max(high, double(estimate.power) + twoSe);
  }
  const double margin = std::max(0.02, 0.08 * (high - low));
  return roundAxis(std::max(0.0, low - margin), std::min(1.0, high + margin), f.bottom, f.top, 5);
}

void drawAnalyticCurve(SvgCanvas& svg, const AnalyticPowerCurve& analytic, const Axis& x,
                       const Axis& y) {
  std::string points;
  std::string rates;
  std::string powers;
  for (const AnalyticPowerPoint& point : analytic) {
    points += px(x.pixel(point.accrualRate)) + "," + px(y.pixel(point.power)) + " ";
    rates += (rates.empty() ? "" : " ") + shortestText(point.accrualRate);
    powers += (powers.empty() ? "" : " ") + shortestText(static_cast<float>(point.power));
  }
  svg.element("polyline", {{"class", "analytic-power"},
                           {"data-rates", rates},
                           {"data-powers", powers},
                           {"points", points},
                           {"fill", "none"},
                           {"stroke", kInk},
                           {"stroke-width", "1.5"},
                           {"stroke-dasharray", "1 3"},
                           {"stroke-linecap", "round"},
                           {"clip-path", "url(#search-frame)"}});
}

}  // namespace

void drawSearchPath(SvgCanvas& svg, const input::DesignParameters& design,
                    const search::RunRecord& record, const OutcomeFigures& outcome,
                    const AnalyticPowerCurve& analytic) {
  const Frame& f = kSearchFrame;
  const Axis x = searchRateAxis(design, record, f.left, f.right);
  // A run at a given size aims at no power.
  const bool hasTarget = outcome.kind != search::SearchOutcome::FixedRate;
  const Axis y = powerAxis(
      record, hasTarget ? std::optional<double>(design.desiredPower) : std::nullopt, f);

  svg.text(f.left, f.top - 10,
           input::usesCombination(design) ? "Power of the combination at each rate visited"
                                          : "Power of statistic 1 at each rate visited",
           {{"font-weight", "bold"}});
  svg.open("g", {{"class", "panel"}, {"data-panel", "search-path"}});
  svg.open("clipPath", {{"id", "search-frame"}});
  svg.element("rect", {{"x", px(f.left)},
                       {"y", px(f.top)},
                       {"width", px(f.right - f.left)},
                       {"height", px(f.bottom - f.top)}});
  svg.close("clipPath");
  drawAxes(svg, f, x, y, "accrual rate (patients per time unit)", "simulated power");
  if (!analytic.empty()) drawAnalyticCurve(svg, analytic, x, y);

  LabelBoxes labels;
  labels.add(f.left, f.top - 24, f.right, f.top - 2);  // the panel's title
  if (hasTarget) {
    const double target = y.pixel(design.desiredPower);
    svg.line(f.left, target, f.right, target, kTarget,
             {{"class", "target-power"},
              {"data-power", shortestText(design.desiredPower)},
              {"stroke-dasharray", "6 4"},
              {"stroke-width", "1.5"}});
    // The target's label stands at the right end, above the line or, where the points are
    // there, below it.
    const std::string targetText = "target " + shortestText(design.desiredPower);
    const double targetWidth = 6.5 * double(targetText.size());
    bool above = true;
    for (const auto& iteration : record.iterations) {
      const double px0 = x.pixel(iteration.accrualRate);
      const double py0 = y.pixel(iteration.testedEstimate().power);
      if (px0 > f.right - targetWidth - 20 && py0 < target && py0 > target - 24) above = false;
    }
    const double targetY = above ? target - 5 : target + 14;
    svg.text(f.right - 4, targetY, targetText, {{"text-anchor", "end"}, {"fill", kTarget}});
    labels.add(f.right - 4 - targetWidth, targetY - 11, f.right - 4, targetY + 2);
  }

  const double finalX = x.pixel(outcome.accrualRate);
  const double finalY = y.pixel(outcome.estimate.power);
  labels.add(finalX - 8, finalY - 8, finalX + 8, finalY + 8);  // the ring of the final rate
  svg.line(finalX, f.bottom, finalX, f.top, kInk,
           {{"class", "final-rate-line"},
            {"data-rate", shortestText(outcome.accrualRate)},
            {"stroke-dasharray", "2 3"}});

  std::string path;
  for (const auto& iteration : record.iterations) {
    const auto& estimate = iteration.testedEstimate();
    path += px(x.pixel(iteration.accrualRate)) + "," + px(y.pixel(estimate.power)) + " ";
  }
  svg.element("polyline", {{"class", "search-path"},
                           {"points", path},
                           {"fill", "none"},
                           {"stroke", "#999999"},
                           {"stroke-width", "1"}});

  // The points and their bars stand where no label may.
  for (const auto& iteration : record.iterations) {
    const auto& estimate = iteration.testedEstimate();
    const double px0 = x.pixel(iteration.accrualRate);
    const double twoSe = 2.0 * double(estimate.standardError);
    labels.add(px0 - 4, y.pixel(estimate.power + twoSe), px0 + 4,
               y.pixel(estimate.power - twoSe));
    labels.add(px0 - 4, y.pixel(estimate.power) - 4, px0 + 4, y.pixel(estimate.power) + 4);
  }
  const std::string colour = kStatisticColours[0];
  for (const auto& iteration : record.iterations) {
    const auto& estimate = iteration.testedEstimate();
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
    // The number beside the point, right or left, above or below, wherever it overlaps no
    // other label.
    const double width = 6.0 * double(number.size());
    const double py0 = y.pixel(estimate.power);
    for (const auto& [lx, ly] : {std::pair{px0 + 9, py0 - 6}, std::pair{px0 + 9, py0 + 13},
                                 std::pair{px0 - 9 - width, py0 - 6},
                                 std::pair{px0 - 9 - width, py0 + 13}}) {
      if (!labels.clear(lx, ly - 9, lx + width, ly + 1)) continue;
      svg.text(lx, ly, number, {{"font-size", "10"}, {"fill", "#555555"}});
      labels.add(lx, ly - 9, lx + width, ly + 1);
      break;
    }
  }
  svg.element("circle", {{"class", "final-rate"},
                         {"data-rate", shortestText(outcome.accrualRate)},
                         {"data-power", shortestText(outcome.estimate.power)},
                         {"cx", px(finalX)},
                         {"cy", px(finalY)},
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
  if (hasTarget) {
    svg.line(f.left, row2 - 4, f.left + 14, row2 - 4, kTarget,
             {{"stroke-dasharray", "6 4"}, {"stroke-width", "1.5"}});
    svg.text(f.left + 18, row2, "target");
  }
  if (!analytic.empty()) {
    svg.line(f.left + 62, row2 - 4, f.left + 76, row2 - 4, kInk,
             {{"stroke-dasharray", "1 3"}, {"stroke-width", "1.5"}, {"stroke-linecap", "round"}});
    svg.text(f.left + 80, row2, "analytic");
  }
  circle(svg, f.left + 150, row2 - 4, 6, "none", kInk);
  svg.text(f.left + 162, row2, rateLabel(outcome) + " " + rateText(outcome.accrualRate));
}

}  // namespace survseq::run
