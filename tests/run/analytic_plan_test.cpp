// The analytic plan: what `survseq plan` prints (goldens, which SURVSEQ_UPDATE_GOLDEN=1
// rewrites) and writes; a search from the analytic rate against one in the design's own
// bracket, and the warning when the simulated power strays from the analytic one.

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "build_kind.h"
#include "input/keyed_design_file.h"
#include "input/parameter_file.h"
#include "run/analytic_comparison.h"
#include "search/accrual_search.h"
#include "search/program_runner.h"
#include "search/simulation_pass.h"

namespace survseq::testing {
namespace {

TEST(PlanCommand, PrintsThePlanOfEachExampleAsItsGolden) {
  for (const std::string name : {"four_look_obrien_fleming", "delayed_effect_two_statistics",
                                 "haybittle"}) {
    const ProgramRun run =
        runProgram(exampleFile(name + ".par"), "", {{"plan"}, ParameterInput::FileArgument});
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_TRUE(run.files.empty()) << "no report, no other file";
    const std::string golden = SURVSEQ_SOURCE_DIR "/tests/run/golden/" + name + ".plan";
    if (std::getenv("SURVSEQ_UPDATE_GOLDEN") != nullptr) writeFile(golden, run.console);
    EXPECT_EQ(run.console, readFile(golden)) << name;
  }
}

// `survseq plan` and a run's planned table take the same looks and the same planned
// information: for event-driven looks the time at which the rounded target is expected.
TEST(PlanCommand, ThePlanAndTheSimulationsPlannedTableAgree) {
  for (const char* looks : {"analysis_times = [20.0, 30.0, 40.0]\nanalysis_timing = \"events\"",
                            "analysis_events = [150, 220, 290]",
                            "analysis_times = [20.0, 30.0, 40.0]"}) {
    for (const char* scale : {"alternative", "null", "original"}) {
      const std::string design = std::string(looks) + "\nplanned_information = \"" + scale +
                                  "\"\nsimulations_per_iteration = 10\ntype_one_error = 0.025\n"
                                  "sides = 1\n[accrual]\nperiod = 24\npatients = 400\n"
                                  "[baseline_survival]\nmedian = 24\n"
                                  "[alternative]\nhazard_ratio = 0.7\n";
      const ProgramRun run = runProgram(design, "survseq.out",
                                        {{"--format", "toml", "--json", "r.json"}});
      const ProgramRun plan =
          runProgram(design, "", {{"plan", "--format", "toml", "--json", "p.json", "-"}});
      ASSERT_EQ(run.exitStatus, 0) << run.errors;
      ASSERT_EQ(plan.exitStatus, 0) << plan.errors;
      const auto simulated =
          nlohmann::json::parse(run.files.at("r.json"))["iterations"][0]["statistics"][0];
      const auto planned = nlohmann::json::parse(plan.files.at("p.json"))["plan"]["statistics"][0];
      for (size_t k = 0; k < 3; ++k) {
        for (const char* key : {"information_fraction", "efficacy_z"}) {
          EXPECT_NEAR(planned["looks"][k][key].get<double>(),
                      simulated["planned_looks"][k][key].get<double>(), 1e-5)
              << looks << " " << scale << " look " << k + 1 << " " << key;
        }
        EXPECT_NEAR(planned["looks"][k]["expected_time"].get<double>(),
                    simulated["looks"][k]["time"].get<double>(), 1e-3)
            << looks << " " << scale << " look " << k + 1;
      }
    }
  }
}

TEST(PlanCommand, RepairLinesGoToStandardErrorAndTheJsonHoldsThePlan) {
  // Line 20 of 0 analyses is repaired to one, with its message.
  const ProgramRun run =
      runProgram(replaceLines(exampleFile("four_look_obrien_fleming.par"), {{20, "0"}}), "",
                 {{"plan", "--json", "plan.json"}, ParameterInput::FileArgument});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  EXPECT_NE(run.errors.find("non-sequential"), std::string::npos) << run.errors;
  EXPECT_EQ(run.console.find("non-sequential"), std::string::npos);
  const auto document = nlohmann::json::parse(run.files.at("plan.json"));
  EXPECT_EQ(document["design"]["analysis_times"].size(), 1u);
  const auto& plan = document["plan"];
  EXPECT_NE(run.console.find(std::to_string(plan["patients"].get<int>()) + " patients"),
            std::string::npos);
  const auto& look = plan["statistics"][0]["looks"].at(0);
  for (const char* key : {"look", "expected_time", "expected_events", "information_fraction",
                          "efficacy_z", "nominal_p"}) {
    EXPECT_TRUE(look.contains(key)) << key;
  }
  EXPECT_TRUE(look.at("futility_z").is_null());
  EXPECT_NEAR(look.at("cumulative_power").get<double>(),
              plan["statistics"][0]["power"].get<double>(), 1e-6);
  EXPECT_NEAR(look.at("cumulative_type_one_error").get<double>(), 0.025, 1e-4);
}

// The lines of a CSV file, each split at its commas (no field here is quoted).
std::vector<std::vector<std::string>> csvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    rows.emplace_back();
    std::istringstream fields(line + ",");
    for (std::string field; std::getline(fields, field, ',');) rows.back().push_back(field);
  }
  return rows;
}

TEST(PlanCommand, TheBoundsReadAsHazardRatiosAndTheTableFileHoldsThePlan) {
  // Allocation 2:1 (shares 1/3, 2/3), a futility rule, the log-rank and a weighted statistic.
  const std::string design = exampleFile("unequal_allocation.toml") +
                             "[futility]\nz = [0.0, 0.5]\n[[statistics]]\nrho = 1\ntau = 0\n";
  const ProgramRun run = runProgram(
      design, "", {{"plan", "--format", "toml", "--json", "p.json", "--table", "t.csv"},
                   ParameterInput::FileArgument});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  const auto statistics = nlohmann::json::parse(run.files.at("p.json"))["plan"]["statistics"];
  const auto rows = csvRows(run.files.at("t.csv"));
  ASSERT_EQ(rows.size(), 1u + 2u * (3u + 2u));  // header, per statistic 3 looks and 2 expectations
  for (const auto& row : rows) EXPECT_EQ(row.size(), rows[0].size());
  for (size_t k = 0; k < 3; ++k) {
    const auto& look = statistics[0]["looks"][k];
    // Z = -log(HR) sqrt(q0 q1 d) at the bound, with d the events the look needs.
    const double d = look["events_needed"].get<double>();
    for (const char* bound : {"efficacy", "futility"}) {
      const auto hr = look[std::string(bound) + "_hazard_ratio"];
      if (k == 2 && std::string(bound) == "futility") {
        EXPECT_TRUE(hr.is_null());
        continue;
      }
      const double z = look[std::string(bound) + "_z"].get<double>();
      EXPECT_NEAR(-std::log(hr.get<double>()) * std::sqrt(2.0 / 9.0 * d), z, 1e-4) << k << bound;
    }
    EXPECT_LT(look["efficacy_hazard_ratio"].get<double>(), 1.0);
    EXPECT_TRUE(statistics[1]["looks"][k]["efficacy_hazard_ratio"].is_null());  // weighted
    // The CSV row of the look holds the JSON's numbers.
    const auto& row = rows[1 + k];
    EXPECT_EQ(row[3], std::to_string(k + 1));
    EXPECT_NEAR(std::stod(row[10]), look["efficacy_hazard_ratio"].get<double>(), 1e-6);
    EXPECT_EQ(rows[6 + k][10], "");  // the weighted statistic has none
  }
  const auto& expected = statistics[0]["expected_at_stop"];
  EXPECT_EQ(rows[4][3], "expected_alternative");
  EXPECT_NEAR(std::stod(rows[4][4]), expected["alternative"]["duration"].get<double>(), 1e-4);
  EXPECT_NEAR(std::stod(rows[5][5]), expected["null"]["events"].get<double>(), 1e-3);
  // The effect and the futility rule shorten the trial below its last look at 48.
  EXPECT_LT(expected["alternative"]["duration"].get<double>(), 48.0);
  EXPECT_LT(expected["null"]["duration"].get<double>(), 48.0);

  // The same table in Markdown; a name of another kind is refused and nothing is written.
  const ProgramRun markdown = runProgram(
      design, "", {{"plan", "--format", "toml", "--table", "t.md"}, ParameterInput::FileArgument});
  ASSERT_EQ(markdown.exitStatus, 0) << markdown.errors;
  for (const char* part : {"## Statistic 1 (rho 0, tau 0)", "| look | time | events |",
                           "futility bound as hazard ratio |", "| expected duration | "})
    EXPECT_NE(markdown.files.at("t.md").find(part), std::string::npos) << part;
  for (const std::vector<std::string>& options :
       {std::vector<std::string>{"plan", "--format", "toml", "--table", "t.txt"},
        std::vector<std::string>{"--format", "toml", "--json", "r.json", "--table", "t.mdx"}}) {
    const ProgramRun refused = runProgram(design, "unequal_allocation.out",
                                          {options, ParameterInput::FileArgument});
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.errors.find("must end in .md (a Markdown table) or .csv"), std::string::npos)
        << refused.errors;
    EXPECT_TRUE(refused.files.empty() && refused.report.empty());
  }
}

TEST(RunTable, ARunWritesThePlannedTableOfItsLastIteration) {
  // A given size, one pass of 400 trials; allocation 2:1 (shares 1/3 and 2/3).
  std::string design = exampleFile("unequal_allocation.toml");
  design.replace(design.find("rate_lower"), design.find("rate_upper = 30") + 15 -
                                                design.find("rate_lower"), "patients = 300");
  design.replace(design.find("= 2000"), 6, "= 400");
  design.erase(design.find("desired_power"), design.find('\n', design.find("desired_power")) -
                                                 design.find("desired_power"));
  const ProgramRun run =
      runProgram(design, "unequal_allocation.out",
                 {{"--format", "toml", "--json", "r.json", "--table", "t.csv"},
                  ParameterInput::FileArgument});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  const auto last = nlohmann::json::parse(run.files.at("r.json"))["iterations"].back();
  const auto rows = csvRows(run.files.at("t.csv"));
  ASSERT_EQ(rows.size(), 1u + 3u + 2u);
  for (size_t k = 0; k < 3; ++k) {
    const auto& look = last["statistics"][0]["looks"][k];
    const auto& planned = last["statistics"][0]["planned_looks"][k];
    const auto& row = rows[1 + k];
    EXPECT_NEAR(std::stod(row[5]), look["mean_events"].get<double>(), 1e-3);
    EXPECT_NEAR(std::stod(row[8]), planned["efficacy_z"].get<double>(), 1e-6);
    // The bound as the hazard ratio at those events.
    EXPECT_NEAR(-std::log(std::stod(row[10])) * std::sqrt(2.0 / 9.0 * std::stod(row[5])),
                planned["efficacy_z"].get<double>(), 1e-4);
  }
  EXPECT_EQ(rows[4][3], "expected_alternative");
  EXPECT_NE(run.report.find("HR bound"), std::string::npos);
}

}  // namespace
}  // namespace survseq::testing

namespace survseq::run {
namespace {

search::RunRecord search(input::DesignParameters design) {
  std::ostringstream console, report;
  search::Report out(console, report);
  sim::UniformGenerator generator;
  search::AccrualSearch accrualSearch(design, out);
  accrualSearch.start(generator);
  search::SearchPasses passes(2);
  return accrualSearch.run([&](input::DesignParameters& d) -> const search::IterationRecord& {
    return passes.run(d, generator, out, nullptr);
  });
}

TEST(AnalyticComparison, ASearchFromTheAnalyticRateEndsSoonerAtTheSameAnswer) {
  if (survseq::testing::kSanitizedBuild) GTEST_SKIP() << "simulates two searches";
  // Rates 10 to 20, 2000 trials an iteration: the standard error of a power near 0.8 is 0.009.
  std::istringstream file(testing::replaceLines(
      testing::exampleFile("four_look_obrien_fleming.par"), {{37, "2000"}}));
  std::ostringstream ignored;
  input::DesignParameters bracketed;
  input::readParameterFile(file, ignored, ignored, bracketed, [](const std::string&, int32_t) {});
  input::DesignParameters analytic = bracketed;
  analytic.accrualForm = input::AccrualForm::AnalyticStart;
  EXPECT_NE(takeAnalyticStart(analytic).find("starts at the analytic rate"), std::string::npos);

  const search::RunRecord fromBracket = search(bracketed);
  const search::RunRecord fromAnalytic = search(analytic);
  for (const auto* run : {&fromBracket, &fromAnalytic})
    ASSERT_EQ(run->outcome, search::SearchOutcome::WithinTwoStandardErrors);
  EXPECT_LT(fromAnalytic.iterations.size(), fromBracket.iterations.size());
  // Both end where the simulated power is within two standard errors (0.018) of the
  // desired; near 0.8 the power moves by 0.018 when the rate moves by about 4.6 %.
  const double rate = fromBracket.accrualRate;
  EXPECT_NEAR(fromAnalytic.accrualRate, rate, 0.06 * rate);
  const AnalyticComparison comparison = compareWithAnalytic(bracketed, fromBracket);
  ASSERT_TRUE(comparison.accrualRate && comparison.powerAtFinalRate);
  EXPECT_NEAR(*comparison.accrualRate, rate, 0.06 * rate);
  EXPECT_EQ(analyticDistanceWarning(comparison, outcomeFigures(fromBracket)), "");
  // The same figures with a simulated power four standard errors off draw the warning.
  search::RunRecord strayed = fromBracket;
  search::PowerEstimate& estimate = strayed.iterations.back().statistics.front().summary.estimate;
  estimate.standardError = 0.009f;
  estimate.power = static_cast<float>(*comparison.powerAtFinalRate - 4 * 0.009);
  EXPECT_NE(analyticDistanceWarning(comparison, outcomeFigures(strayed)).find("three standard"),
            std::string::npos);
}

// Without a bracket the search starts at the analytic rate and ends within three
// iterations on log-rank and FH(0,1) designs, proportional and delayed effects, calendar
// and event-driven looks (2000 trials an iteration, the seeds of the designs fixed).
TEST(AnalyticComparison, ASearchWithoutBracketEndsWithinThreeIterations) {
  if (survseq::testing::kSanitizedBuild) GTEST_SKIP() << "simulates searches";
  struct Case { const char* name; const char* keys; };
  for (const Case& c :
       {Case{"log-rank", ""}, Case{"FH(0,1), delayed", "[[statistics]]\nrho = 0\ntau = 1\n"},
        Case{"log-rank, event looks", "analysis_timing = \"events\"\n"}}) {
    const bool delayed = std::string(c.name).find("delayed") != std::string::npos;
    std::istringstream text(std::string(std::string(c.keys).starts_with("analysis_timing") ? c.keys : "") +
                            "seed = 99\nanalysis_times = [24.0, 36.0, 48.0]\n"
                            "simulations_per_iteration = 2000\ntype_one_error = 0.025\n"
                            "sides = 1\ndesired_power = 0.85\n" +
                            (std::string(c.keys).starts_with("[[") ? c.keys : "") +
                            "[accrual]\nperiod = 24.0\n[baseline_survival]\nmedian = 12\n" +
                            (delayed ? "[alternative]\ninterval_ends = [6.0, 48.0]\n"
                                       "hazard_ratios = [1.0, 0.6]\n"
                                     : "[alternative]\nhazard_ratio = 0.7\n"));
    input::DesignParameters design;
    input::readKeyedDesign(input::parseKeyedDesign(text, "d.toml"), "d.toml", design);
    ASSERT_EQ(design.accrualForm, input::AccrualForm::AnalyticStart) << c.name;
    takeAnalyticStart(design);
    const search::RunRecord record = search(design);
    EXPECT_EQ(record.outcome, search::SearchOutcome::WithinTwoStandardErrors) << c.name;
    EXPECT_LE(record.iterations.size(), 3u) << c.name;
  }
}

}  // namespace
}  // namespace survseq::run
