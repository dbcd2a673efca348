// The program as a user meets it: refusals, standard input and progress on a terminal, the
// JSON and plot files of a run that fails, and designs at the edges of the input space.

#include <gtest/gtest.h>

#include <algorithm>

#include "golden_cases.h"
#include "program_runner.h"

namespace survseq::testing {
namespace {

std::string golden(const char* extension) {
  return readFile(goldenPath("iteration_limit", extension));
}

// Wrong command lines (status 2), and parameter files that cannot be opened or read (status
// 1, with the line given here): one line on standard error, nothing else.
TEST(CommandLine, RefusalsAreOneLineOnStandardError) {
  using Arguments = std::vector<std::string>;
  const std::map<Arguments, std::string> unreadable = {
      {{"missing.par"},
       "survseq: could not open the parameter file 'missing.par': No such file or directory\n"},
      {{"."}, "survseq: the parameter file '.' is a directory\n"},
      {{}, "survseq: line "}};  // without a terminal, empty standard input is a file cut short
  for (const Arguments& arguments : {Arguments{"--bogus"}, {"--threads", "0"}, {"--threads", "two"},
                                     {"--threads", "-1"}, {"--json"}, {"a.par", "b.par"}, {"-x"},
                                     {"missing.par"}, {"."}, {}}) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const ProgramRun run = runWithArguments(arguments);
    const bool wrong = !unreadable.contains(arguments);
    EXPECT_EQ(run.exitStatus, wrong ? 2 : 1);
    EXPECT_EQ(run.console, "");
    EXPECT_EQ(run.errors.rfind(wrong ? "survseq: " : unreadable.at(arguments), 0), 0u)
        << run.errors;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    EXPECT_TRUE(run.files.empty());
  }
}

// A combination of statistics is read, but the trials cannot test it yet: refused at its
// table, before any report is written.
TEST(CommandLine, ACombinationIsRefusedRatherThanIgnored) {
  const std::filesystem::path directory = freshDirectory("combination");
  writeFile(directory / "d.toml",
            "analysis_times = [12, 24]\nsides = 1\n[[statistics]]\n[[statistics]]\nrho = 1\n"
            "[combination]\n[accrual]\nperiod = 24\nrate_lower = 10\nrate_upper = 50\n"
            "[baseline_survival]\nmedian = 12\n[alternative]\nhazard_ratio = 0.7\n");
  const ProgramRun run = runWithArguments({(directory / "d.toml").string()});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.errors.find("d.toml:6:1: combination: the trials of this build cannot test a "
                            "combination yet"),
            std::string::npos)
      << run.errors;
  EXPECT_FALSE(std::filesystem::exists(directory / "d.out"));
}

TEST(CommandLine, HelpTemplateAndTheUsageForStandardInputOnATerminalInsteadOfAWait) {
  const ProgramRun help = runWithArguments({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.console.find("Usage: survseq [OPTIONS] [FILE]"), std::string::npos);
  EXPECT_EQ(runWithArguments({"--template"}).console, exampleFile("defaults.par"));
  const ProgramRun run = runProgram("", "", {{}, ParameterInput::None, true});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(run.errors.rfind("usage: survseq [OPTIONS] [FILE]\r\n", 0), 0u) << run.errors;
  EXPECT_NE(run.errors.find("survseq --template toml > design.toml"), std::string::npos);
}

// The warnings the step design draws while it is read come first on standard error, their
// lines ended with \r\n on a terminal. Returns what follows them.
std::string afterTerminalWarnings(const std::string& errors) {
  std::string warnings;
  for (const char c : golden(".warnings"))
    warnings += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(errors.substr(0, warnings.size()), warnings);
  return errors.substr(std::min(errors.size(), warnings.size()));
}

// On a terminal each iteration's line is drawn after a carriage return and redrawn when it
// ends, then the closing line; --quiet silences them. (Their contents: the display's tests.)
TEST(CommandLine, ProgressOnATerminalIsRedrawnInPlaceAndQuietSilencesIt) {
  for (const bool quiet : {false, true}) {
    Invocation invocation{{}, ParameterInput::FileArgument, true};
    if (quiet) invocation.options = {"--quiet"};
    const ProgramRun run = runProgram(caseFile("step_in_power.par"), "step.out", invocation);
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.console, golden(".console"));
    const std::string progress = afterTerminalWarnings(run.errors);
    EXPECT_EQ(progress.empty(), quiet) << progress;
    if (quiet) continue;
    EXPECT_TRUE(progress.starts_with("\riteration  1  rate 50       trials  0 of 10  "));
    EXPECT_NE(progress.find("\riteration 20  rate 5.001    trials 10 of 10  power 1.0000 \u00b1 "
                            "0.0000  "), std::string::npos);
    EXPECT_NE(progress.find("\r\nall 20 iterations used: last rate 5.001 (5 patients)"),
              std::string::npos);
  }
}

TEST(CommandLine, ViewsThatCannotBeWrittenFailAtOnceAndAFailedRunLeavesNoneAndKeepsEarlierOnes) {
  const std::string step = caseFile("step_in_power.par");
  const ProgramRun noDirectory = runProgram(step, "step.out", {{"--json", "missing/results.json"}});
  EXPECT_EQ(noDirectory.exitStatus, 1);
  EXPECT_EQ(noDirectory.errors, "survseq: cannot open the JSON file 'missing/results.json' for "
                                "writing: No such file or directory\n");
  EXPECT_TRUE(noDirectory.files.empty());  // not even the report: the search never started

  // Results of an earlier run under the same names survive a run that fails.
  const std::filesystem::path directory = freshDirectory("views");
  const std::map<std::string, std::string> earlier = {{"results.json", "{\"earlier\": true}\n"},
                                                      {"search.svg", "<svg/>\n"}};
  for (const auto& [name, text] : earlier) writeFile(directory / name, text);
  const ProgramRun again = runProgramIn(directory, replaceLines(step, {{20, "16"}}), "step.out",
                                        {{"--json", "results.json", "--plot", "search.svg"}});
  EXPECT_EQ(again.exitStatus, 1);
  EXPECT_EQ(again.errors.rfind("survseq: line 20: ", 0), 0u) << again.errors;
  EXPECT_EQ(again.files, earlier);
  std::filesystem::remove_all(directory);
}

TEST(EdgeDesigns, UseFunctionCodesAboveFourAreTheFunctionWithParameterB) {
  // Two looks, b = 2 spending too much by the planned information: b is raised for code 5
  // as for 4, and every byte of the run is the same.
  const auto run = [](const char* code) {
    return runProgram(replaceLines(exampleFile("four_look_obrien_fleming.par"),
                                   {{20, "2"}, {23, "5 10"}, {37, "50"}, {54, "2"}, {70, code}}),
                      "four_look_obf.out");
  };
  const ProgramRun four = run("4"), five = run("5");
  ASSERT_EQ(five.exitStatus, 0) << five.errors;
  EXPECT_NE(five.console.find("\n  The present b is too small.\n  I will increase b by 0.1.\n"),
            std::string::npos);
  EXPECT_EQ(five.console, four.console);
  EXPECT_EQ(five.report, four.report);
}

// Haybittle looks with equal null variances have no last value for any b: the search for b
// used to run for ever and now ends with one error line naming the line to change.
TEST(EdgeDesigns, AHaybittleBThatNoValueCanMeetEndsTheRun) {
  const ProgramRun run =
      runProgram(replaceLines(exampleFile("haybittle.par"),
                              {{20, "2"}, {23, "30 40"}, {37, "5"}, {88, "5 20 60"}, {121, "10"},
                               {124, "0"}, {132, "10"}, {135, "0"}}),
                 "");
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.errors, "survseq: line 54: b was raised past 50 without meeting the type-I error "
                        "of line 40; the design cannot spend so little error\n");
}

}  // namespace
}  // namespace survseq::testing
