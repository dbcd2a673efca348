// --under-null: the design as planned, its trials drawn with the treatment arm following
// the control arm's law, rejects at the type-I error. 40,000 trials a design: at alpha
// 0.025 the standard error is 0.00078, and three of them are allowed. Calendar and
// event-driven looks, each on the information expected under the alternative and under
// the null.

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

#include "build_kind.h"
#include "search/program_runner.h"

namespace survseq::testing {
namespace {

TEST(UnderNull, TheDesignAsPlannedRejectsAtItsTypeOneError) {
  if (kSanitizedBuild) GTEST_SKIP() << "statistical check";
  struct Case { const char* looks; const char* scale; };
  for (const Case& c : {Case{"analysis_times = [18.0, 30.0, 42.0]", "alternative"},
                        Case{"analysis_times = [18.0, 30.0, 42.0]", "null"},
                        Case{"analysis_events = [120, 180, 240]", "alternative"},
                        Case{"analysis_events = [120, 180, 240]", "null"}}) {
    const std::string design = std::string(c.looks) + "\nplanned_information = \"" + c.scale +
                               "\"\nseed = 31\nsimulations_per_iteration = 40000\n"
                               "type_one_error = 0.025\nsides = 1\n"
                               "[accrual]\nperiod = 24\npatients = 320\n"
                               "[baseline_survival]\nmedian = 12\n"
                               "[alternative]\nhazard_ratio = 0.7\n";
    const ProgramRun run =
        runProgram(design, "survseq.out",
                   {{"--format", "toml", "--under-null", "--json", "r.json", "--progress"}});
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto underNull = nlohmann::json::parse(run.files.at("r.json"))["under_null"];
    const double share = underNull["statistics"][0]["rejection_share"].get<double>();
    EXPECT_NEAR(share, 0.025, 3 * std::sqrt(0.025 * 0.975 / 40000)) << c.looks << " " << c.scale;
    double looks = 0.0;
    for (const auto& look : underNull["statistics"][0]["looks"]) looks += look["stopped_share"].get<double>();
    EXPECT_NEAR(looks, share, 1e-6);
    EXPECT_NE(run.report.find("Under the null hypothesis"), std::string::npos);
    EXPECT_NE(run.errors.find("type-I error"), std::string::npos);
  }
}

}  // namespace
}  // namespace survseq::testing
