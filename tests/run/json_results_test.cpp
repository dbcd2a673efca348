// The JSON file of a run read back: every number the report prints must be there, the
// per-look figures must add up to the report's power and stopping time, and the design
// and outcome must be the report's.

#include "run/json_results.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "report/output_line.h"
#include "search/program_runner.h"

namespace survseq::run {
namespace {

using nlohmann::json;
using report::formatFixed;
using report::formatInteger;
using report::plainLine;
using testing::ProgramRun;

float asFloat(const json& value) { return static_cast<float>(value.get<double>()); }

struct DesignCase {
  std::string name;
  std::string parameterFile;
  std::string reportName;
};

void PrintTo(const DesignCase& c, std::ostream* out) { *out << c.name; }

// Finds each expected piece of the report after the one before.
class ReportReader {
 public:
  explicit ReportReader(const std::string& report) : report_(report) {}
  void expect(const std::string& piece) {
    const size_t at = report_.find(piece, position_);
    ASSERT_NE(at, std::string::npos) << "not found after offset " << position_ << ":\n" << piece;
    position_ = at + piece.size();
  }

 private:
  const std::string& report_;
  size_t position_ = 0;
};

void expectIterationInReport(const json& iteration, int32_t analysisCount, ReportReader& report) {
  report.expect(
      plainLine({"This is the result of iteration:", iteration["iteration"].get<int32_t>()}) +
      "\n");
  report.expect(plainLine({"The present accrual rate is:", asFloat(iteration["accrual_rate"])}) +
                "\n");
  for (const json& statistic : iteration["statistics"]) {
    std::string variances = " ";
    for (const json& look : statistic["looks"])
      variances += formatFixed(asFloat(look["null_variance"]), 7, 2) + "  ";
    report.expect("The variance under the null are:\n" + variances + "\n");
  }
  report.expect("The number of subjects simulated in this iteration =" +
                formatInteger(iteration["patients"].get<int32_t>(), 5) + "\n");
  for (const json& statistic : iteration["statistics"]) {
    report.expect("rho =" + formatFixed(asFloat(statistic["rho"]), 4, 1) +
                  "   tau =" + formatFixed(asFloat(statistic["tau"]), 4, 1) +
                  "    power =" + formatFixed(asFloat(statistic["power"]), 6, 4) +
                  "   s.d. = " + formatFixed(asFloat(statistic["standard_error"]), 7, 5) + "\n");
    report.expect("The average stopping time = " +
                  formatFixed(asFloat(statistic["average_stopping_time"]), 6, 3) + "\n");
    ASSERT_EQ(statistic["looks"].size(), static_cast<size_t>(analysisCount));
  }
}

// What the per-look figures must add up to: every trial reaches the first look, those
// that stop (by rejecting or for futility) leave, the rejections make the power, and stops
// and survivors make the average stopping time. Given critical values are the mean at
// every look reached. The planned table ends at information fraction 1 and gives each
// bound's nominal p.
void expectLooksAddUp(const json& statistic, const json& design) {
  const json& boundary = design["boundary"];
  const bool given = boundary["method"] == "given_critical_values";
  const int32_t trials = design["simulations_per_iteration"].get<int32_t>();
  const json& times = design["analysis_times"];
  int32_t reached = trials;
  int32_t stopped = 0;
  double stoppingTimes = 0.0;
  for (size_t k = 0; k < statistic["looks"].size(); ++k) {
    const json& look = statistic["looks"][k];
    SCOPED_TRACE("look " + std::to_string(k + 1));
    EXPECT_EQ(look["look"].get<size_t>(), k + 1);
    EXPECT_EQ(asFloat(look["time"]), asFloat(times[k]));
    EXPECT_EQ(look["reached"].get<int32_t>(), reached);
    const int32_t stoppedHere = look["stopped"].get<int32_t>();
    const int32_t futile = look["futility_stopped"].get<int32_t>();
    EXPECT_EQ(asFloat(look["stopped_share"]), static_cast<float>(double(stoppedHere) / trials));
    EXPECT_EQ(asFloat(look["futility_stopped_share"]), static_cast<float>(double(futile) / trials));
    const bool last = k + 1 == statistic["looks"].size();
    stoppingTimes += (last ? reached : stoppedHere + futile) * double(asFloat(times[k]));
    stopped += stoppedHere;
    reached -= stoppedHere + futile;

    const json& planned = statistic["planned_looks"][k];
    EXPECT_EQ(planned["look"].get<size_t>(), k + 1);
    if (last) {  // the last look has no futility bound
      EXPECT_EQ(planned["information_fraction"], 1.0);
      EXPECT_TRUE(planned["futility_z"].is_null());
    }
    EXPECT_NEAR(planned["nominal_p"].get<double>(),
                0.5 * std::erfc(planned["efficacy_z"].get<double>() / std::sqrt(2.0)), 1e-7);
    if (look["reached"].get<int32_t>() == 0) {
      EXPECT_TRUE(look["mean_critical_value"].is_null());
    } else {
      EXPECT_GT(look["mean_critical_value"].get<double>(), 0.0);
      if (given) {
        EXPECT_EQ(look["mean_critical_value"], boundary["critical_values"][k]);
      }
      EXPECT_GE(look["mean_events"].get<double>(), 0.0);
      EXPECT_GE(look["mean_information"].get<double>(), 0.0);
    }
  }
  EXPECT_EQ(asFloat(statistic["power"]), static_cast<float>(stopped) / static_cast<float>(trials));
  EXPECT_NEAR(statistic["average_stopping_time"].get<double>(), stoppingTimes / trials, 1e-4);
}

void expectOutcomeInReport(const json& results, ReportReader& report) {
  const json& outcome = results["outcome"];
  const json& last = results["iterations"].back();
  EXPECT_EQ(outcome["iteration"], last["iteration"]);
  EXPECT_EQ(outcome["accrual_rate"], last["accrual_rate"]);
  EXPECT_EQ(outcome["patients"], last["patients"]);
  EXPECT_EQ(outcome["power"], last["statistics"][0]["power"]);
  EXPECT_EQ(outcome["standard_error"], last["statistics"][0]["standard_error"]);
  const std::string kind = outcome["kind"];
  if (kind == "within_two_standard_errors") {
    // The closing block names the rate, power and standard error of the outcome.
    report.expect(" At the accrual rate of" + formatFixed(asFloat(outcome["accrual_rate"]), 7, 1) +
                  " the simulated power of\n the first statistic is " +
                  formatFixed(asFloat(outcome["power"]), 7, 3) + ". Since the standard   \n" +
                  " error of this simulated power is " +
                  formatFixed(asFloat(outcome["standard_error"]), 7, 4) + ", you have \n");
    return;
  }
  const std::map<std::string, std::string> closing = {
      {"upper_bound_too_small", " The upper bound on the accrual rate is too small for\n"},
      {"lower_bound_too_big", " The lower bound on the accrual rate is too big for\n"},
      {"iteration_limit", "  The maximum number of 20  iterations has been\n"}};
  ASSERT_EQ(closing.count(kind), 1u) << kind;
  EXPECT_EQ(results["iterations"].size() == 20u, kind == "iteration_limit");
  report.expect(closing.at(kind));
}

class JsonResults : public ::testing::TestWithParam<DesignCase> {};

TEST_P(JsonResults, HoldEveryNumberOfTheReportAndFiguresThatAddUpToIt) {
  const DesignCase& c = GetParam();
  const ProgramRun run =
      testing::runProgram(c.parameterFile, c.reportName,
                          {{"--json", "results.json"}, testing::ParameterInput::FileArgument});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  const json results = json::parse(run.files.at("results.json"));

  EXPECT_EQ(results["schema_version"], kResultsSchemaVersion);
  EXPECT_EQ(results["program"]["name"], "survseq");
  EXPECT_EQ(testing::runWithArguments({"--version"}).console,
            "survseq " + results["program"]["version"].get<std::string>() + "\n");

  const json& design = results["design"];
  EXPECT_EQ(design["report_file"], c.reportName);
  if (c.name == "given_boundaries") {
    EXPECT_EQ(design["boundary"]["method"], "given_critical_values");
  }
  ReportReader report(run.report);
  report.expect("The seed = " + formatInteger(design["seed"].get<int32_t>(), 10) + "\n");
  std::string times = "Times of the interim analysis = ";
  for (const json& t : design["analysis_times"]) times += " " + formatFixed(asFloat(t), 5, 2);
  report.expect(times + "\n");
  report.expect("The number of simulations in each iteration= " +
                formatInteger(design["simulations_per_iteration"].get<int32_t>(), 8) + "\n");

  const auto analysisCount = static_cast<int32_t>(design["analysis_times"].size());
  int32_t number = 0;
  for (const json& iteration : results["iterations"]) {
    SCOPED_TRACE("iteration " + std::to_string(++number));
    EXPECT_EQ(iteration["iteration"].get<int32_t>(), number);
    EXPECT_EQ(iteration["statistics"].size(), design["statistics"].size());
    expectIterationInReport(iteration, analysisCount, report);
    for (const json& statistic : iteration["statistics"]) expectLooksAddUp(statistic, design);
  }
  expectOutcomeInReport(results, report);
}

std::string example(const std::string& name) { return testing::exampleFile(name); }

INSTANTIATE_TEST_SUITE_P(
    Designs, JsonResults,
    ::testing::Values(
        // Two statistics, three looks, hazard ratios, drop-in and drop-out.
        DesignCase{
            "two_statistics",
            testing::replaceLines(example("delayed_effect_two_statistics.par"), {{37, "100"}}),
            "delayed_effect.out"},
        DesignCase{"given_boundaries",
                   testing::replaceLines(example("given_boundaries.par"), {{37, "200"}}),
                   "given_boundaries.out"},
        DesignCase{"upper_bound_too_small", example("defaults.par"), "defaults.out"},
        DesignCase{"iteration_limit", testing::caseFile("step_in_power.par"), "step.out"}),
    [](const auto& info) { return info.param.name; });

TEST(JsonResults, BoundaryMethodsAndAlternativesAreNamed) {
  struct Case {
    const char* file;
    json boundary;
    const char* alternative;
  };
  const Case cases[] = {
      {"four_look_obrien_fleming.par",
       {{"method", "lan_demets"}, {"use_function", "obrien_fleming"}},
       "survival_curve"},
      {"delayed_effect_two_statistics.par",
       {{"method", "lan_demets"}, {"use_function", "pocock"}},
       "hazard_ratios"},
      {"haybittle.par", {{"method", "haybittle"}, {"b", 3.0}}, "hazard_ratios"},
      // The file gives shares, the reader keeps running sums, the JSON file gives the
      // differences of those sums, as the report does: 0.05f - 0.02f is 0.029999997f.
      {"error_split.par",
       {{"method", "error_split"}, {"error_shares", {0.005, 0.015, 0.029999997}}},
       "hazard_ratios"},
  };
  for (const Case& c : cases) {
    // A single trial per rate is enough to read the design back.
    const ProgramRun run = testing::runProgram(testing::replaceLines(example(c.file), {{37, "1"}}),
                                               "", {{"--json", "r.json"}});
    ASSERT_EQ(run.exitStatus, 0) << c.file << run.errors;
    const json design = json::parse(run.files.at("r.json"))["design"];
    EXPECT_EQ(design["boundary"], c.boundary) << c.file;
    EXPECT_EQ(design["alternative"]["kind"], c.alternative) << c.file;
  }
}

}  // namespace
}  // namespace survseq::run
