// The program as a user runs it: parameter file in, console text and report out.
// Expected outputs live in tests/search/golden; each was reviewed line by line
// against the report layouts. Run with SURVSEQ_UPDATE_GOLDEN=1 to rewrite them after
// an intended change, then review the diff.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "golden_cases.h"
#include "program_runner.h"

namespace survseq::testing {
namespace {

namespace fs = std::filesystem;

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

INSTANTIATE_TEST_SUITE_P(Examples, Golden, ::testing::ValuesIn(exampleGoldenCases()),
                         [](const auto& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(PurposeBuilt, Golden, ::testing::ValuesIn(purposeBuiltGoldenCases()),
                         [](const auto& info) { return info.param.name; });

std::string example(const std::string& name) { return exampleFile(name); }

TEST(EndToEnd, OneSidedTestIgnoresTheNegativeSide) {
  // The design of the negative_side case, tested one-sided: the harmful effect no
  // longer counts, the power at the upper bound is 0 and the search ends at once.
  const ProgramRun run = runProgram(
      replaceLines(example("given_boundaries.par"), {{37, "200"}, {43, "1"}, {113, "1.6"}}),
      "given_boundaries.out");
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  EXPECT_NE(run.report.find("power =0.0000"), std::string::npos);
  EXPECT_NE(run.report.find(" The upper bound on the accrual rate is too small for"), std::string::npos);
}

TEST(EndToEnd, SameFileTwiceGivesIdenticalBytes) {
  const std::string design = replaceLines(example("delayed_effect_two_statistics.par"), {{37, "100"}});
  const ProgramRun first = runProgram(design, "delayed_effect.out");
  const ProgramRun second = runProgram(design, "delayed_effect.out");
  ASSERT_EQ(first.exitStatus, 0);
  EXPECT_FALSE(first.report.empty());
  EXPECT_EQ(first.console, second.console);
  EXPECT_EQ(first.report, second.report);
}

TEST(EndToEnd, UnreadableFileEndsWithOneLineNamingTheLineAndStatusOne) {
  const ProgramRun run =
      runProgram(replaceLines(example("haybittle.par"), {{20, "three"}}), "haybittle.out");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.errors.rfind("survseq: line 20: ", 0), 0u) << run.errors;
  EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1);
  EXPECT_EQ(run.report, "");  // nothing after the failing line runs
}

TEST(EndToEnd, TruncatedFileIsAnErrorNotADefault) {
  const std::string whole = example("haybittle.par");
  const ProgramRun run = runProgram(whole.substr(0, whole.find("=== Drop-in")), "haybittle.out");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.errors.find("survseq: "), std::string::npos);
}

TEST(EndToEnd, ReportThatCannotBeWrittenIsAFailure) {
  // /dev/full accepts the open and refuses every write, as a full disk does.
  const ProgramRun run =
      runProgram(replaceLines(example("haybittle.par"), {{14, "'/dev/full'"}, {37, "20"}}), "");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.errors.find("could not write the output file '/dev/full'"), std::string::npos)
      << run.errors;
}

}  // namespace
}  // namespace survseq::testing
