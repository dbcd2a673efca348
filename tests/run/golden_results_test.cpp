// What a look at the golden runs' JSON files and plots cannot tell: the per-look figures add
// up to the power and the average stopping time, every point of the plot stands where its
// panel's axes put the JSON numbers, nothing refers outside the plot, and the design object,
// written as TOML, is a keyed design file of the same design.

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "input/keyed_design_file.h"
#include "run/json_design.h"
#include "run/svg_canvas.h"
#include "search/golden_cases.h"

namespace survseq::run {
namespace {

using nlohmann::json;
using tinyxml2::XMLElement;

float asFloat(const json& value) { return static_cast<float>(value.get<double>()); }

// A JSON value as TOML: objects become inline tables; numbers, strings and arrays read alike.
std::string toml(const json& value) {
  if (!value.is_object() && !value.is_array()) return value.dump();
  std::string text;
  for (const auto& [key, member] : value.items()) {
    text += (text.empty() ? "" : ", ") + (value.is_object() ? key + " = " : "") + toml(member);
  }
  return value.is_object() ? "{" + text + "}" : "[" + text + "]";
}

json keyedDesignJson(const std::string& keyedFile) {
  std::istringstream text(keyedFile);
  input::DesignParameters design;
  input::readKeyedDesign(input::parseKeyedDesign(text, "d.toml"), "d.toml", design);
  return json::parse(designJson(design).dump());
}

void expectReadsBack(const json& design) {
  std::string document;
  for (const auto& [key, value] : design.items()) document += key + " = " + toml(value) + "\n";
  EXPECT_EQ(keyedDesignJson(document).dump(), design.dump()) << document;
}

// The parsed plot: its elements by class, and the ticks (value, pixel) of each axis of each
// panel, the group with a data-panel.
struct Plot {
  explicit Plot(const std::string& svg) {
    EXPECT_EQ(document.Parse(svg.c_str()), tinyxml2::XML_SUCCESS) << document.ErrorStr();
    if (document.RootElement() != nullptr) collect(document.RootElement(), "");
  }
  void collect(const XMLElement* e, std::string panel) {
    EXPECT_EQ(e->Attribute("href"), nullptr);
    EXPECT_EQ(e->Attribute("xlink:href"), nullptr);
    if (e->Attribute("data-panel") != nullptr) panel = e->Attribute("data-panel");
    byClass[e->Attribute("class") != nullptr ? e->Attribute("class") : ""].push_back(e);
    if (e->Attribute("class", "tick") != nullptr) {
      const bool x = e->Attribute("data-axis", "x") != nullptr;
      ticks[panel + (x ? 'x' : 'y')].emplace_back(e->DoubleAttribute("data-value"),
                                                  e->DoubleAttribute(x ? "x1" : "y1"));
    }
    for (auto* child = e->FirstChildElement(); child != nullptr; child = child->NextSiblingElement())
      collect(child, panel);
  }
  // Where the panel's first and last ticks put `value` on `axis`.
  double pixel(const std::string& panel, char axis, double value) {
    const std::vector<std::pair<double, double>>& t = ticks.at(panel + axis);
    return t.front().second + (value - t.front().first) / (t.back().first - t.front().first) *
                                  (t.back().second - t.front().second);
  }
  tinyxml2::XMLDocument document;
  std::map<std::string, std::vector<const XMLElement*>> byClass;
  std::map<std::string, std::vector<std::pair<double, double>>> ticks;
};

TEST(GoldenResults, LooksAddUpThePlotShowsTheJsonNumbersAndTheDesignReadsBack) {
  for (const testing::GoldenCase& golden : testing::allGoldenCases()) {
    SCOPED_TRACE(golden.name);
    Plot plot(testing::readFile(testing::goldenPath(golden.name, ".svg")));
    const json results = json::parse(testing::readFile(testing::goldenPath(golden.name, ".json")));
    expectReadsBack(results["design"]);
    // The points in data units, by class; each class but the left panel's names its panel.
    std::map<std::string, std::vector<std::pair<double, double>>> points;
    for (const json& iteration : results["iterations"]) {
      points["search-point"].emplace_back(asFloat(iteration["accrual_rate"]),
                                          asFloat(iteration["statistics"][0]["power"]));
    }
    points["final-rate"] = {{asFloat(results["outcome"]["accrual_rate"]),
                             asFloat(results["outcome"]["power"])}};
    // Every trial reaches the first look; those that stop (rejecting or for futility) leave,
    // the rejections make the power, and stops and survivors the average stopping time.
    const auto trials = results["design"]["simulations_per_iteration"].get<int32_t>();
    for (const json& statistic : results["iterations"].back()["statistics"]) {
      const json& looks = statistic["looks"];
      int32_t reached = trials;
      int32_t rejected = 0;
      int32_t futile = 0;
      double stoppingTimes = 0.0;
      for (size_t k = 0; k < looks.size(); ++k) {
        EXPECT_EQ(looks[k]["reached"], reached);
        const auto stopped = looks[k]["stopped"].get<int32_t>();
        const int32_t leaving = stopped + looks[k]["futility_stopped"].get<int32_t>();
        stoppingTimes += (k + 1 == looks.size() ? reached : leaving) * asFloat(looks[k]["time"]);
        rejected += stopped;
        reached -= leaving;
        const json& planned = statistic["planned_looks"][k];
        EXPECT_NEAR(planned["nominal_p"].get<double>(),
                    0.5 * std::erfc(planned["efficacy_z"].get<double>() / std::sqrt(2.0)), 1e-7);
        const double time = asFloat(looks[k]["time"]);
        points["rejected-share"].emplace_back(time, static_cast<float>(double(rejected) / trials));
        futile += looks[k]["futility_stopped"].get<int32_t>();
        if (results["design"].contains("futility")) {
          points["futility-share"].emplace_back(time, static_cast<float>(double(futile) / trials));
        }
        if (looks[k]["mean_critical_value"].is_null()) continue;
        points["critical-value"].emplace_back(time, asFloat(looks[k]["mean_critical_value"]));
      }
      EXPECT_EQ(asFloat(statistic["power"]), float(rejected) / float(trials));
      if (!looks[0].contains("event_target")) {
        EXPECT_NEAR(statistic["average_stopping_time"].get<double>(), stoppingTimes / trials, 1e-4);
      }
    }
    for (const auto& [kind, expected] : points) {
      const bool left = kind == "search-point" || kind == "final-rate";
      const std::string panel = left ? "search-path" : kind == "futility-share" ? "rejected-share" : kind;
      ASSERT_EQ(plot.byClass[kind].size(), expected.size()) << kind;
      for (size_t i = 0; i < expected.size(); ++i) {
        const XMLElement* e = plot.byClass[kind][i];
        SCOPED_TRACE(kind + " " + std::to_string(i + 1));  // written to a tenth of a pixel
        EXPECT_NEAR(e->DoubleAttribute("cx"), plot.pixel(panel, 'x', expected[i].first), 0.051);
        EXPECT_NEAR(e->DoubleAttribute("cy"), plot.pixel(panel, 'y', expected[i].second), 0.051);
      }
    }
    // The power axis holds every bar of two standard errors and the target, and the analytic
    // curve passes through the analytic power the JSON gives at the last rate.
    const auto& powerTicks = plot.ticks.at("search-pathy");
    const double top = powerTicks.back().first;
    const double bottom = powerTicks.front().first;
    for (const json& iteration : results["iterations"]) {
      const double power = asFloat(iteration["statistics"][0]["power"]);
      const double twoSe = 2.0 * asFloat(iteration["statistics"][0]["standard_error"]);
      EXPECT_LE(std::min(1.0, power + twoSe), top + 1e-6);  // the axis ends at 0 and 1
      EXPECT_GE(std::max(0.0, power - twoSe), bottom - 1e-6);
    }
    if (results["design"].contains("desired_power")) {  // a given size aims at no power
      const double target = asFloat(results["design"]["desired_power"]);
      EXPECT_TRUE(target >= bottom && target <= top) << target;
    }
    const json& analytic = results["outcome"]["analytic_power"];
    ASSERT_EQ(plot.byClass["analytic-power"].size(), 1u);
    std::istringstream rateText(plot.byClass["analytic-power"][0]->Attribute("data-rates"));
    std::istringstream powerText(plot.byClass["analytic-power"][0]->Attribute("data-powers"));
    std::vector<std::pair<double, double>> curve;
    for (double r = 0, p = 0; rateText >> r && powerText >> p;) curve.emplace_back(r, p);
    const double lastRate = asFloat(results["iterations"].back()["accrual_rate"]);
    for (size_t i = 1; i < curve.size() && !analytic.is_null(); ++i) {
      if (curve[i - 1].first > lastRate || curve[i].first < lastRate) continue;
      // The power rises with the rate: between the curve's points on either side (the last
      // rate's whole patients lie a fraction of a patient below its real ones).
      const auto [low, high] = std::minmax(curve[i - 1].second, curve[i].second);
      EXPECT_GE(analytic.get<double>(), low - 0.002) << lastRate;
      EXPECT_LE(analytic.get<double>(), high + 0.002) << lastRate;
    }
  }
}

TEST(GoldenResults, KeyedOnlyBoundariesFutilityAndCombinationReadBackFromTheDesignObject) {
  for (const char* keyedOnly : {"[boundary]\nuse_function = \"kim_demets\"\nexponent = 3\n"
                                "[futility]\nz = [0.5]\nbinding = true\n",
                                "[boundary]\nuse_function = \"hwang_shih_decani\"\ngamma = -4\n",
                                "[[statistics]]\n[[statistics]]\nrho = 1\n[[statistics]]\ntau = 1\n"
                                "[combination]\nstatistics = [3, 1]\n"}) {
    expectReadsBack(keyedDesignJson("analysis_times = [12, 24]\nsides = 1\n" +
                                    std::string(keyedOnly) +
                                    "[accrual]\nperiod = 24\n[baseline_survival]\nmedian = 12\n"
                                    "[alternative]\nhazard_ratio = 0.7\n"));
  }
}

// A keyed design that says more than a positional file is shown in its own terms: no line
// of the positional file, no number too wide for its field (a field of asterisks beside
// digits), and, for a run at a given size, no target power in the plot.
TEST(GoldenResults, KeyedOnlyDesignsNameKeysFitTheirFieldsAndAGivenSizeHasNoTarget) {
  // A field too narrow for its number is asterisks beside digits.
  const auto overflows = [](const std::string& line) {
    return line.find('*') != std::string::npos &&
           line.find_first_of("0123456789") != std::string::npos;
  };
  for (const testing::GoldenCase& golden : testing::keyedGoldenCases()) {
    SCOPED_TRACE(golden.name);
    for (const char* extension : {".report", ".console", ".svg"}) {
      const std::string text = testing::readFile(testing::goldenPath(golden.name, extension));
      EXPECT_FALSE(testing::citesPositionalLine(text)) << extension;
      std::istringstream lines(text);
      for (std::string line; std::getline(lines, line);)
        EXPECT_FALSE(overflows(line)) << extension << ": " << line;
    }
    const json results = json::parse(testing::readFile(testing::goldenPath(golden.name, ".json")));
    const bool givenSize = results["outcome"]["kind"] == "fixed_rate";
    EXPECT_EQ(results["design"].contains("desired_power"), !givenSize);
    Plot plot(testing::readFile(testing::goldenPath(golden.name, ".svg")));
    EXPECT_EQ(plot.byClass["target-power"].size(), givenSize ? 0u : 1u);
  }
}

TEST(GoldenResults, TickLabelsShowTheDecimalsOfTheirStep) {
  for (const auto& [value, step, label] : {std::tuple{10.0, 5.0, "10"}, {0.25, 0.05, "0.25"},
                                           {0.4, 0.2, "0.4"}, {1e-9, 0.1, "0.0"}, {-2.0, 1.0, "-2"}})
    EXPECT_EQ(tickLabel(value, step), label) << value << ' ' << step;
}

}  // namespace
}  // namespace survseq::run
