// The plot read back as XML: every point must carry the JSON file's numbers, and must
// stand where its axes put those numbers.

#include "run/svg_plot.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "run/svg_canvas.h"
#include "search/program_runner.h"

namespace survseq::run {
namespace {

using nlohmann::json;
using tinyxml2::XMLElement;

float asFloat(const json& value) { return static_cast<float>(value.get<double>()); }

std::string attribute(const XMLElement* e, const char* name) {
  const char* value = e->Attribute(name);
  return value != nullptr ? value : "";
}

float floatAttribute(const XMLElement* e, const char* name) { return e->FloatAttribute(name); }
double doubleAttribute(const XMLElement* e, const char* name) { return e->DoubleAttribute(name); }

// The parsed plot: its elements in document order, and the pixel of a data value on each
// axis of each panel (the group with a data-panel), from the panel's first and last ticks.
class Plot {
 public:
  explicit Plot(const std::string& svg) {
    EXPECT_EQ(document_.Parse(svg.c_str()), tinyxml2::XML_SUCCESS) << document_.ErrorStr();
    if (root() != nullptr) collect(root(), "");
  }

  const XMLElement* root() const { return document_.RootElement(); }
  const std::vector<const XMLElement*>& elements() const { return elements_; }
  std::vector<const XMLElement*> ofClass(const std::string& name) const {
    std::vector<const XMLElement*> found;
    for (const XMLElement* e : elements_)
      if (attribute(e, "class") == name) found.push_back(e);
    return found;
  }
  double pixel(const std::string& panel, char axis, double value) const {
    const std::vector<std::pair<double, double>>& t = ticks_.at(panel + axis);  // value, pixel
    return t.front().second + (value - t.front().first) / (t.back().first - t.front().first) *
                                  (t.back().second - t.front().second);
  }

 private:
  void collect(const XMLElement* e, std::string panel) {
    if (e->Attribute("data-panel") != nullptr) panel = attribute(e, "data-panel");
    elements_.push_back(e);
    if (attribute(e, "class") == "tick") {
      const bool x = attribute(e, "data-axis") == "x";
      ticks_[panel + (x ? 'x' : 'y')].emplace_back(doubleAttribute(e, "data-value"),
                                                   doubleAttribute(e, x ? "x1" : "y1"));
    }
    for (auto* child = e->FirstChildElement(); child != nullptr; child = child->NextSiblingElement())
      collect(child, panel);
  }

  tinyxml2::XMLDocument document_;
  std::vector<const XMLElement*> elements_;
  std::map<std::string, std::vector<std::pair<double, double>>> ticks_;
};

// Coordinates are written to a tenth of a pixel.
constexpr double kPixelTolerance = 0.051;

void expectAt(const Plot& plot, const std::string& panel, const XMLElement* e, double x, double y,
              const char* xName = "cx", const char* yName = "cy") {
  EXPECT_NEAR(doubleAttribute(e, xName), plot.pixel(panel, 'x', x), kPixelTolerance) << xName;
  EXPECT_NEAR(doubleAttribute(e, yName), plot.pixel(panel, 'y', y), kPixelTolerance) << yName;
}

TEST(SvgPlot, PointsAreTheJsonNumbersWhereTheAxesPutThem) {
  const testing::ProgramRun run = testing::runProgram(
      testing::replaceLines(testing::exampleFile("delayed_effect_two_statistics.par"),
                            {{37, "100"}}),
      "delayed_effect.out", {{"--json", "results.json", "--plot", "search.svg"}});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  const json results = json::parse(run.files.at("results.json"));
  const json& design = results["design"];
  const json& iterations = results["iterations"];
  const Plot plot(run.files.at("search.svg"));
  ASSERT_NE(plot.root(), nullptr);

  EXPECT_EQ(attribute(plot.root(), "width"), "800");
  EXPECT_EQ(attribute(plot.root(), "height"), "450");
  for (const XMLElement* e : plot.elements()) {  // nothing outside the file
    EXPECT_EQ(e->Attribute("href"), nullptr);
    EXPECT_EQ(e->Attribute("xlink:href"), nullptr);
  }

  // The search path, in visiting order.
  const auto points = plot.ofClass("search-point");
  const auto bars = plot.ofClass("error-bar");
  ASSERT_EQ(points.size(), iterations.size());
  ASSERT_EQ(bars.size(), iterations.size());
  for (size_t i = 0; i < points.size(); ++i) {
    SCOPED_TRACE("iteration " + std::to_string(i + 1));
    const json& iteration = iterations[i];
    const json& first = iteration["statistics"][0];
    EXPECT_EQ(attribute(points[i], "data-iteration"), std::to_string(i + 1));
    EXPECT_EQ(floatAttribute(points[i], "data-rate"), asFloat(iteration["accrual_rate"]));
    EXPECT_EQ(floatAttribute(points[i], "data-power"), asFloat(first["power"]));
    EXPECT_EQ(floatAttribute(points[i], "data-standard-error"), asFloat(first["standard_error"]));
    const double rate = asFloat(iteration["accrual_rate"]);
    const double power = asFloat(first["power"]);
    const double twoSe = 2.0 * double(asFloat(first["standard_error"]));
    expectAt(plot, "search-path", points[i], rate, power);
    expectAt(plot, "search-path", bars[i], rate, power + twoSe, "x1", "y1");
    expectAt(plot, "search-path", bars[i], rate, power - twoSe, "x2", "y2");
  }
  const auto target = plot.ofClass("target-power");
  ASSERT_EQ(target.size(), 1u);
  EXPECT_EQ(floatAttribute(target[0], "data-power"), asFloat(design["desired_power"]));
  EXPECT_NEAR(doubleAttribute(target[0], "y1"),
              plot.pixel("search-path", 'y', asFloat(design["desired_power"])),
              kPixelTolerance);
  const auto finalRate = plot.ofClass("final-rate");
  ASSERT_EQ(finalRate.size(), 1u);
  EXPECT_EQ(floatAttribute(finalRate[0], "data-rate"), asFloat(results["outcome"]["accrual_rate"]));
  expectAt(plot, "search-path", finalRate[0], asFloat(results["outcome"]["accrual_rate"]),
           asFloat(results["outcome"]["power"]));

  // The last iteration: cumulative share rejected and mean critical value at each look.
  const json& last = iterations.back();
  const int32_t trials = design["simulations_per_iteration"].get<int32_t>();
  const auto shares = plot.ofClass("rejected-share");
  const auto criticals = plot.ofClass("critical-value");
  size_t share = 0;
  size_t critical = 0;
  for (const json& statistic : last["statistics"]) {
    int32_t stopped = 0;
    for (const json& look : statistic["looks"]) {
      SCOPED_TRACE("statistic " + statistic["statistic"].dump() + " look " + look["look"].dump());
      stopped += look["stopped"].get<int32_t>();
      const float cumulative = static_cast<float>(double(stopped) / trials);
      ASSERT_LT(share, shares.size());
      const XMLElement* point = shares[share++];
      EXPECT_EQ(attribute(point, "data-statistic"), statistic["statistic"].dump());
      EXPECT_EQ(attribute(point, "data-look"), look["look"].dump());
      EXPECT_EQ(floatAttribute(point, "data-cumulative-share"), cumulative);
      expectAt(plot, "rejected-share", point, asFloat(look["time"]), cumulative);
      if (look["mean_critical_value"].is_null()) continue;
      ASSERT_LT(critical, criticals.size());
      point = criticals[critical++];
      EXPECT_EQ(floatAttribute(point, "data-critical-value"), asFloat(look["mean_critical_value"]));
      expectAt(plot, "critical-value", point, asFloat(look["time"]),
               asFloat(look["mean_critical_value"]));
    }
  }
  EXPECT_EQ(share, shares.size());
  EXPECT_EQ(critical, criticals.size());
}

TEST(SvgPlot, TickLabelsShowTheDecimalsOfTheirStep) {
  for (const auto& [value, step, label] : {std::tuple{10.0, 5.0, "10"}, {0.25, 0.05, "0.25"},
                                           {0.4, 0.2, "0.4"}, {1e-9, 0.1, "0.0"}, {-2.0, 1.0, "-2"}})
    EXPECT_EQ(tickLabel(value, step), label) << value << ' ' << step;
}

TEST(SvgPlot, NamesAreEscapedAndLooksNoTrialReachedHaveNoCriticalValue) {
  input::DesignParameters design;
  design.outputFileName = "a&b <c>\".out";
  design.analysisCount = 2;
  design.analysisTimes = {0, 10, 20};
  design.simulationCount = 10;
  design.accrualRateLower = 10;
  design.accrualRateUpper = 50;
  design.desiredPower = 0.8f;
  search::RunRecord record;
  search::IterationRecord iteration;
  iteration.iterationNumber = 1;
  iteration.accrualRate = 50;
  search::StatisticRecord statistic{{0, 0, {1.0f, 0.0f}, 10.0f}, {}};
  statistic.looks[1] = {10, 10, 2.5f, 30.0f, 7.5f};  // every trial stops at the first look
  statistic.looks[2] = {0, 0, 0.0f, 0.0f, 0.0f};
  iteration.statistics.push_back(statistic);
  record.iterations.push_back(iteration);
  record.outcome = search::SearchOutcome::LowerBoundTooBig;

  const std::string svg = searchPlotSvg(design, record);
  const Plot plot(svg);
  EXPECT_NE(svg.find("a&amp;b &lt;c&gt;&quot;.out"), std::string::npos);
  EXPECT_EQ(plot.ofClass("rejected-share").size(), 2u);
  ASSERT_EQ(plot.ofClass("critical-value").size(), 1u);
  EXPECT_EQ(attribute(plot.ofClass("critical-value")[0], "data-look"), "1");
}

}  // namespace
}  // namespace survseq::run
