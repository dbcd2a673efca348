// The program as a user runs it: parameter file in, console text and report out.
// Expected outputs live in tests/search/golden; each was reviewed line by line
// against the report layouts. Run with SURVSEQ_UPDATE_GOLDEN=1 to rewrite them after
// an intended change, then review the diff.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "program_runner.h"

namespace survseq::testing {
namespace {

namespace fs = std::filesystem;

struct GoldenCase {
  std::string name;
  std::string parameterFile;
  std::string reportName;
};

fs::path goldenPath(const std::string& name, const char* extension) {
  return fs::path(SURVSEQ_SOURCE_DIR) / "tests" / "search" / "golden" / (name + extension);
}

void expectMatchesGolden(const GoldenCase& golden) {
  const ProgramRun run = runProgram(golden.parameterFile, golden.reportName);
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  EXPECT_EQ(run.errors, "");
  if (std::getenv("SURVSEQ_UPDATE_GOLDEN") != nullptr) {
    writeFile(goldenPath(golden.name, ".console"), run.console);
    writeFile(goldenPath(golden.name, ".report"), run.report);
    return;
  }
  EXPECT_EQ(run.console, readFile(goldenPath(golden.name, ".console")));
  EXPECT_EQ(run.report, readFile(goldenPath(golden.name, ".report")));
}

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, ConsoleAndReportMatchTheReviewedOutput) { expectMatchesGolden(GetParam()); }

std::string example(const std::string& name) { return exampleFile(name); }

INSTANTIATE_TEST_SUITE_P(
    Examples, Golden,
    ::testing::Values(
        GoldenCase{"defaults", example("defaults.par"), "defaults.out"},
        GoldenCase{"four_look_obrien_fleming", example("four_look_obrien_fleming.par"),
                   "four_look_obf.out"},
        GoldenCase{"delayed_effect_two_statistics", example("delayed_effect_two_statistics.par"),
                   "delayed_effect.out"},
        GoldenCase{"haybittle", example("haybittle.par"), "haybittle.out"},
        GoldenCase{"given_boundaries", example("given_boundaries.par"), "given_boundaries.out"},
        GoldenCase{"error_split", example("error_split.par"), "error_split.out"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace survseq::testing
