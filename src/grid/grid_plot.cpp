#include "grid/grid_plot.h"

#include <algorithm>
#include <array>
#include <limits>

#include "grid/scenarios.h"
#include "run/number_text.h"
#include "run/svg_canvas.h"

namespace survseq::grid {

namespace {

using run::px;

// Okabe and Ito's colours, then the same with dashes.
constexpr std::array<const char*, 8> kLineColours = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                                     "#E69F00", "#56B4E9", "#000000", "#F0E442"};
constexpr const char* kInk = "#222222";
constexpr const char* kGridLine = "#e4e4e4";
constexpr double kLeft = 80, kTop = 60, kRight = 620, kBottom = 360;
constexpr double kLegendTop = 410, kLegendStep = 18;

bool searchFoundNoRate(const ScenarioResult& result) {
  return result.outcome == "upper_bound_too_small" || result.outcome == "lower_bound_too_big" ||
         result.outcome == "iteration_limit";
}

// The power of a scenario's test: its combination's where it combines statistics.
double plotted(const ScenarioResult& result, PlottedFigure figure) {
  if (figure == PlottedFigure::Patients) return result.patients;
  if (result.combination) return double(result.combination->power);
  return result.statistics.empty() ? 0.0 : double(result.statistics.front().power);
}

std::string powerTitle(const std::vector<ScenarioResult>& results) {
  const auto combined = std::count_if(results.begin(), results.end(),
                                      [](const ScenarioResult& r) { return r.combination.has_value(); });
  if (combined == 0) return "power of statistic 1";
  if (combined == static_cast<std::ptrdiff_t>(results.size())) return "power of the combination";
  return "power of the trial's test";
}

}  // namespace

std::string gridSvg(const GridFile& grid, const std::vector<ScenarioResult>& results,
                    PlottedFigure figure) {
  const GridAxis& across = grid.axes.front();
  const auto columns = static_cast<int32_t>(across.values.size());
  const int32_t lines = static_cast<int32_t>(results.size()) / columns;

  // Numbers are placed by value, anything else one step apart.
  bool numeric = true;
  for (const toml::node& value : across.values) numeric = numeric && value.is_number();
  std::vector<double> positions;
  for (int32_t c = 0; c < columns; ++c) {
    const toml::node& value = *across.values.get(static_cast<size_t>(c));
    positions.push_back(numeric ? value.value<double>().value_or(0.0) : double(c));
  }
  const auto [xLow, xHigh] = std::minmax_element(positions.begin(), positions.end());
  double yLow = figure == PlottedFigure::Power ? 0.0 : std::numeric_limits<double>::max();
  double yHigh = figure == PlottedFigure::Power ? 1.0 : 0.0;
  for (const ScenarioResult& result : results) {
    yLow = std::min(yLow, plotted(result, figure));
    yHigh = std::max(yHigh, plotted(result, figure));
  }
  const run::Axis x = run::roundAxis(*xLow, *xHigh, kLeft, kRight, 6);
  const run::Axis y = run::roundAxis(yLow, yHigh, kBottom, kTop, 5);
  const double xStep = x.ticks.size() > 1 ? x.ticks[1] - x.ticks[0] : 1.0;
  const double yStep = y.ticks.size() > 1 ? y.ticks[1] - y.ticks[0] : 1.0;

  const int height = static_cast<int>(kLegendTop + kLegendStep * (lines > 1 ? lines : 0) + 20);
  const std::string yTitle =
      figure == PlottedFigure::Patients ? "patients per trial" : powerTitle(results);
  run::SvgCanvas svg(700, height, yTitle + " across the grid");
  svg.text(kLeft, kTop - 24, yTitle + " by " + across.key, {{"font-weight", "bold"}});
  for (double value : y.ticks) {
    svg.line(kLeft, y.pixel(value), kRight, y.pixel(value), kGridLine);
    svg.text(kLeft - 8, y.pixel(value) + 4, run::tickLabel(value, yStep), {{"text-anchor", "end"}});
  }
  for (int32_t c = 0; c < columns; ++c) {
    const double at = x.pixel(positions[static_cast<size_t>(c)]);
    svg.line(at, kBottom, at, kBottom + 5, kInk);
    const std::string label = numeric ? run::tickLabel(positions[static_cast<size_t>(c)], xStep)
                                      : valueText(*across.values.get(static_cast<size_t>(c)));
    svg.text(at, kBottom + 18, label, {{"text-anchor", "middle"}});
  }
  svg.line(kLeft, kBottom, kRight, kBottom, kInk);
  svg.line(kLeft, kTop, kLeft, kBottom, kInk);
  svg.text((kLeft + kRight) / 2, kBottom + 38, across.key, {{"text-anchor", "middle"}});
  svg.text(kLeft - 56, (kTop + kBottom) / 2, yTitle,
           {{"text-anchor", "middle"},
            {"transform", "rotate(-90 " + px(kLeft - 56) + " " + px((kTop + kBottom) / 2) + ")"}});

  for (int32_t line = 0; line < lines; ++line) {
    const std::string colour = kLineColours[static_cast<size_t>(line) % kLineColours.size()];
    const std::string dashes = line < int32_t(kLineColours.size()) ? "none" : "6 3";
    std::string points;
    const auto flush = [&] {
      if (points.find(' ') != points.rfind(' ')) {  // two points or more
        svg.element("polyline", {{"points", points},
                                 {"fill", "none"},
                                 {"stroke", colour},
                                 {"stroke-width", "1.5"},
                                 {"stroke-dasharray", dashes}});
      }
      points.clear();
    };
    for (int32_t c = 0; c < columns; ++c) {
      const int32_t number = c * lines + line + 1;
      const ScenarioResult& result = results[static_cast<size_t>(number - 1)];
      const double cx = x.pixel(positions[static_cast<size_t>(c)]);
      const double cy = y.pixel(plotted(result, figure));
      const bool found = figure == PlottedFigure::Power || !searchFoundNoRate(result);
      svg.element("circle", {{"class", "scenario"},
                             {"data-scenario", std::to_string(number)},
                             {"cx", px(cx)},
                             {"cy", px(cy)},
                             {"r", "3.5"},
                             {"fill", found ? colour : "white"},
                             {"stroke", colour}});
      if (found) {
        points += px(cx) + "," + px(cy) + " ";
      } else {
        flush();
      }
    }
    flush();
    if (lines > 1) {
      std::string label;
      for (size_t a = 1; a < grid.axes.size(); ++a) {
        if (a > 1) label += ", ";
        label += grid.axes[a].key + " = " + valueText(axisValue(grid, a, line + 1));
      }
      const double row = kLegendTop + kLegendStep * line;
      svg.line(kLeft, row - 4, kLeft + 24, row - 4, colour,
               {{"stroke-width", "1.5"}, {"stroke-dasharray", dashes}});
      svg.text(kLeft + 32, row, label);
    }
  }
  return svg.finish();
}

}  // namespace survseq::grid
