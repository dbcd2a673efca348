// `survseq plan`: its output as goldens (SURVSEQ_UPDATE_GOLDEN=1 rewrites them), no report
// or other file, the reader's repair lines kept off standard output, and the JSON file
// holding the same plan.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "search/program_runner.h"

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

}  // namespace
}  // namespace survseq::testing
