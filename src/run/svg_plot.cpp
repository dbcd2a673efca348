#include "run/svg_plot.h"

#include <cctype>
#include <cstdio>

#include "run/svg_plot_parts.h"

namespace survseq::run {

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

namespace {

double tickStep(const Axis& axis) {
  return axis.ticks.size() > 1 ? axis.ticks[1] - axis.ticks[0] : 1.0;
}

}  // namespace

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

std::string searchPlotSvg(const input::DesignParameters& design, const search::RunRecord& record,
                          const AnalyticPowerCurve& analytic) {
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
    drawSearchPath(svg, design, record, outcome, analytic);
    drawLastIteration(svg, design, record.iterations.back());
  }
  return svg.finish();
}

}  // namespace survseq::run
