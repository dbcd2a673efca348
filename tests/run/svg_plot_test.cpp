// The plot read back as XML. Its bytes are reviewed goldens (tests/search/end_to_end_test.cpp);
// what a look at them cannot tell is checked here: every point stands where its panel's axes
// put the JSON file's numbers, nothing refers outside the file, names are escaped.

#include "run/svg_plot.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "run/svg_canvas.h"
#include "search/golden_cases.h"

namespace survseq::run {
namespace {

using nlohmann::json;
using tinyxml2::XMLElement;

float asFloat(const json& value) { return static_cast<float>(value.get<double>()); }

std::string attribute(const XMLElement* e, const char* name) {
  const char* value = e->Attribute(name);
  return value != nullptr ? value : "";
}

// The parsed plot: its elements by class, and the pixel of a value on each axis of each panel
// (the group with a data-panel) from its first and last tick. Nothing may refer outside it.
class Plot {
 public:
  explicit Plot(const std::string& svg) {
    EXPECT_EQ(document_.Parse(svg.c_str()), tinyxml2::XML_SUCCESS) << document_.ErrorStr();
    if (document_.RootElement() != nullptr) collect(document_.RootElement(), "");
  }
  std::map<std::string, std::vector<const XMLElement*>> byClass;

  double pixel(const std::string& panel, char axis, double value) const {
    const std::vector<std::pair<double, double>>& t = ticks_.at(panel + axis);  // value, pixel
    return t.front().second + (value - t.front().first) / (t.back().first - t.front().first) *
                                  (t.back().second - t.front().second);
  }

 private:
  void collect(const XMLElement* e, std::string panel) {
    if (e->Attribute("data-panel") != nullptr) panel = attribute(e, "data-panel");
    EXPECT_EQ(e->Attribute("href"), nullptr);
    EXPECT_EQ(e->Attribute("xlink:href"), nullptr);
    byClass[attribute(e, "class")].push_back(e);
    if (attribute(e, "class") == "tick") {
      const bool x = attribute(e, "data-axis") == "x";
      ticks_[panel + (x ? 'x' : 'y')].emplace_back(e->DoubleAttribute("data-value"),
                                                   e->DoubleAttribute(x ? "x1" : "y1"));
    }
    for (auto* child = e->FirstChildElement(); child != nullptr; child = child->NextSiblingElement())
      collect(child, panel);
  }
  tinyxml2::XMLDocument document_;
  std::map<std::string, std::vector<std::pair<double, double>>> ticks_;
};

// A point (circle) or vertical line of the plot in data units; NaN where nothing is checked.
// The points of the right-hand panels have the panel's name; the others stand in the left one.
struct Mark {
  std::string kind;
  double x, y, y2 = NAN;
};

std::vector<Mark> marksOf(const json& results) {
  std::vector<Mark> marks;
  for (const json& iteration : results["iterations"]) {
    const double rate = asFloat(iteration["accrual_rate"]);
    const double power = asFloat(iteration["statistics"][0]["power"]);
    const double twoSe = 2.0 * double(asFloat(iteration["statistics"][0]["standard_error"]));
    marks.push_back({"search-point", rate, power});
    marks.push_back({"error-bar", rate, power + twoSe, power - twoSe});
  }
  const json& outcome = results["outcome"];
  marks.push_back({"final-rate", asFloat(outcome["accrual_rate"]), asFloat(outcome["power"])});
  marks.push_back({"target-power", NAN, asFloat(results["design"]["desired_power"])});
  const double trials = results["design"]["simulations_per_iteration"].get<double>();
  for (const json& statistic : results["iterations"].back()["statistics"]) {
    int32_t stopped = 0;
    for (const json& look : statistic["looks"]) {
      // Looks at event counts come at each trial's own time: their heights alone are checked.
      const double time = look.contains("event_target") ? NAN : asFloat(look["time"]);
      stopped += look["stopped"].get<int32_t>();
      marks.push_back({"rejected-share", time, static_cast<float>(stopped / trials)});
      if (look["mean_critical_value"].is_null()) continue;
      marks.push_back({"critical-value", time, asFloat(look["mean_critical_value"])});
    }
  }
  return marks;
}

TEST(SvgPlot, EveryPointStandsWhereTheAxesPutTheJsonNumbers) {
  for (const testing::GoldenCase& golden : testing::allGoldenCases()) {
    SCOPED_TRACE(golden.name);
    Plot plot(testing::readFile(testing::goldenPath(golden.name, ".svg")));
    std::map<std::string, size_t> used;
    for (const Mark& mark : marksOf(json::parse(testing::readFile(
             testing::goldenPath(golden.name, ".json"))))) {
      SCOPED_TRACE(mark.kind + " " + std::to_string(used[mark.kind] + 1));
      const auto& drawn = plot.byClass[mark.kind];
      ASSERT_LT(used[mark.kind], drawn.size());
      const XMLElement* e = drawn[used[mark.kind]++];
      const bool right = mark.kind == "rejected-share" || mark.kind == "critical-value";
      const std::string panel = right ? mark.kind : "search-path";
      const bool circle = std::string(e->Name()) == "circle";
      const auto expectAt = [&](const char* name, char axis, double value) {
        if (std::isnan(value)) return;  // coordinates are written to a tenth of a pixel
        EXPECT_NEAR(e->DoubleAttribute(name), plot.pixel(panel, axis, value), 0.051) << name;
      };
      expectAt(circle ? "cx" : "x1", 'x', mark.x);
      expectAt(circle ? "cy" : "y1", 'y', mark.y);
      expectAt("y2", 'y', mark.y2);
    }
    for (const auto& [kind, count] : used) EXPECT_EQ(plot.byClass[kind].size(), count) << kind;
  }
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
  search::StatisticRecord statistic{{0, 0, {1.0f, 0.0f}, 10.0f}, {}};
  statistic.looks[1] = {10, 10, 2.5f, 30.0f, 7.5f};  // every trial stops at the first look
  search::RunRecord record;
  record.iterations.push_back({});
  record.iterations[0].statistics.push_back(statistic);

  const std::string svg = searchPlotSvg(design, record);
  EXPECT_NE(svg.find("a&amp;b &lt;c&gt;&quot;.out"), std::string::npos);
  Plot plot(svg);
  EXPECT_EQ(plot.byClass["rejected-share"].size(), 2u);
  ASSERT_EQ(plot.byClass["critical-value"].size(), 1u);
  EXPECT_EQ(attribute(plot.byClass["critical-value"][0], "data-look"), "1");
}

}  // namespace
}  // namespace survseq::run
