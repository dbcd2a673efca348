// The program as a user runs it: parameter file in, console text and report out.
// Expected outputs live in tests/search/golden; each was reviewed line by line
// against the report layouts. Run with SURVSEQ_UPDATE_GOLDEN=1 to rewrite them after
// an intended change, then review the diff.

#include <gtest/gtest.h>

#include <algorithm>
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

// Names the case in test output instead of dumping its bytes.
void PrintTo(const GoldenCase& golden, std::ostream* out) { *out << golden.name; }

fs::path goldenPath(const std::string& name, const char* extension) {
  return fs::path(SURVSEQ_SOURCE_DIR) / "tests" / "search" / "golden" / (name + extension);
}

// A successful run writes nothing on standard error but warnings; the designs that draw
// any keep them in a third golden file.
void expectMatchesGolden(const GoldenCase& golden) {
  const ProgramRun run = runProgram(golden.parameterFile, golden.reportName);
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  const fs::path warnings = goldenPath(golden.name, ".warnings");
  if (std::getenv("SURVSEQ_UPDATE_GOLDEN") != nullptr) {
    writeFile(goldenPath(golden.name, ".console"), run.console);
    writeFile(goldenPath(golden.name, ".report"), run.report);
    if (!run.errors.empty()) writeFile(warnings, run.errors);
    return;
  }
  EXPECT_EQ(run.console, readFile(goldenPath(golden.name, ".console")));
  EXPECT_EQ(run.report, readFile(goldenPath(golden.name, ".report")));
  EXPECT_EQ(run.errors, fs::exists(warnings) ? readFile(warnings) : "");
}

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, ConsoleAndReportMatchTheReviewedOutput) { expectMatchesGolden(GetParam()); }

std::string example(const std::string& name) { return exampleFile(name); }

std::string testCase(const std::string& name) {
  return readFile(fs::path(SURVSEQ_SOURCE_DIR) / "tests" / "search" / "cases" / name);
}

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

// Designs made to reach each outcome and each unusual layout of the report.
INSTANTIATE_TEST_SUITE_P(
    PurposeBuilt, Golden,
    ::testing::Values(
        // Every trial's outcome is fixed by its size, so power steps from 0 to 1 and the
        // interpolation closes in on the step without ever meeting the target.
        GoldenCase{"iteration_limit", testCase("step_in_power.par"), "step.out"},
        GoldenCase{"lower_bound_too_big",
                   replaceLines(example("four_look_obrien_fleming.par"), {{37, "200"}, {88, "24 25 30"}}),
                   "four_look_obf.out"},
        // b = 1.5 spends too much at the interim looks: b is raised until a final
        // critical value exists, and the success block warns about it.
        GoldenCase{"haybittle_b_raised",
                   replaceLines(example("haybittle.par"), {{37, "200"}, {54, "1.5"}}), "haybittle.out"},
        GoldenCase{"five_statistics",
                   replaceLines(example("delayed_effect_two_statistics.par"),
                                {{26, "5"}, {30, "0 0 1 1 0.5"}, {33, "0 1 0 1 0.5"}, {37, "100"}}),
                   "delayed_effect.out"},
        GoldenCase{"fifteen_analyses",
                   replaceLines(example("four_look_obrien_fleming.par"),
                                {{20, "15"},
                                 {23, "8 12 16 20 24 28 32 36 40 44 48 52 56 60 64"},
                                 {37, "100"},
                                 {49, "15*0"},
                                 {61, "15*0"}}),
                   "four_look_obf.out"},
        // Nobody has entered by the first look at time 0; no effect, so the search ends
        // after one iteration.
        GoldenCase{"no_entry_note",
                   replaceLines(example("error_split.par"),
                                {{20, "2"}, {23, "0 30"}, {37, "5"}, {49, "0.01 0.04"}, {61, "0 0"}, {113, "1.0"}}),
                   "error_split.out"},
        // A harmful treatment in a two-sided test rejects on the negative side only.
        GoldenCase{"negative_side",
                   replaceLines(example("given_boundaries.par"), {{37, "200"}, {43, "2"}, {113, "1.6"}}),
                   "given_boundaries.out"}),
    [](const auto& info) { return info.param.name; });

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
