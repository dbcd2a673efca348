// The keyed file runs through the same engine: every golden design, converted from its
// positional file, and every example's hand-written keyed twin give the reviewed report
// byte for byte and the reviewed console without the repair lines.

#include <gtest/gtest.h>

#include "build_kind.h"
#include "golden_cases.h"
#include "program_runner.h"

namespace survseq::testing {
namespace {

ProgramRun convert(const std::string& parameterFile) {
  const std::filesystem::path directory = freshDirectory("convert");
  writeFile(directory / "design.par", parameterFile);
  ProgramRun run = runWithArguments({"convert", (directory / "design.par").string()});
  std::filesystem::remove_all(directory);
  EXPECT_EQ(run.exitStatus, 0) << run.errors;
  return run;
}

void expectGoldenRun(const std::string& keyed, const GoldenCase& golden, const char* threads) {
  SCOPED_TRACE(golden.name + " on " + threads + " threads");
  const ProgramRun run =
      runProgram(keyed, golden.reportName, {{"--threads", threads, "--format", "toml"}});
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  EXPECT_EQ(run.report, readFile(goldenPath(golden.name, ".report")));
  // The repair lines come while the file is read, before the notice that names the
  // report; a keyed run writes none of them.
  const std::string console = readFile(goldenPath(golden.name, ".console"));
  const size_t notice = console.find(" The output is stored in the file named below:");
  EXPECT_EQ(run.console, notice == std::string::npos ? console : console.substr(notice));
}

class KeyedRoundTrip : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(KeyedRoundTrip, ConvertedDesignGivesTheGoldenReportAndConsole) {
  const std::string keyed = convert(GetParam().parameterFile).console;
  // The sanitised build takes one thread count: the golden tests show the count is no matter.
  expectGoldenRun(keyed, GetParam(), "2");
  if (!kSanitizedBuild) expectGoldenRun(keyed, GetParam(), "1");
}

const auto kCaseName = [](const auto& info) { return info.param.name; };
INSTANTIATE_TEST_SUITE_P(Examples, KeyedRoundTrip, ::testing::ValuesIn(exampleGoldenCases()),
                         kCaseName);
INSTANTIATE_TEST_SUITE_P(PurposeBuilt, KeyedRoundTrip,
                         ::testing::ValuesIn(purposeBuiltGoldenCases()), kCaseName);

TEST(KeyedTwins, EachExampleTwinGivesItsExamplesReport) {
  // defaults.toml is the keyed template: the keyed file has no design of all defaults.
  for (const GoldenCase& golden : exampleGoldenCases()) {
    if (golden.name != "defaults") expectGoldenRun(exampleFile(golden.name + ".toml"), golden, "2");
  }
}

TEST(KeyedConversion, WhatTheKeyedFileCannotHoldIsSaidOnStandardError) {
  const std::map<std::map<int, std::string>, std::string> warnings{
      {{{11, "3"}, {54, "0.5"}}, "Haybittle b was read as 0.5 and replaced by 3"},
      {{{11, "1"}, {49, "0.01 0.01 0.01 0.01"}},
       "the error shares add up to 0.04, not to the type-I error 0.025"},
      {{{30, "-1"}}, "statistic 1 has a negative rho or tau"},
      {{{144, "1.5"}}, "[drop_in] has a time out of order or a rate outside"}};
  for (const auto& [lines, warning] : warnings) {
    const std::string errors =
        convert(replaceLines(exampleFile("four_look_obrien_fleming.par"), lines)).errors;
    EXPECT_TRUE(errors.starts_with("survseq: warning: " + warning)) << errors;
  }
}

}  // namespace
}  // namespace survseq::testing
