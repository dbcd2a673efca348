// The command line as a user meets it: refusals, standard input and progress on a
// terminal, and the JSON and plot files of a run that fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "golden_cases.h"
#include "program_runner.h"

namespace survseq::testing {
namespace {

std::string golden(const char* extension) {
  return readFile(goldenPath("iteration_limit", extension));
}

TEST(CommandLine, HelpAndTemplate) {
  const ProgramRun help = runWithArguments({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.console.find("Usage: survseq [OPTIONS] [FILE]"), std::string::npos);
  EXPECT_EQ(runWithArguments({"--template"}).console, exampleFile("defaults.par"));
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

TEST(CommandLine, StandardInputOnATerminalGetsTheUsageInsteadOfAWait) {
  const ProgramRun run = runProgram("", "", {{}, ParameterInput::None, true});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(run.errors.rfind("usage: survseq [OPTIONS] [FILE]\r\n", 0), 0u) << run.errors;
  EXPECT_NE(run.errors.find("survseq --template toml > design.toml"), std::string::npos);
}

// The warnings the step design draws while it is read come first on standard error,
// whatever the options; a terminal ends their lines with \r\n. Returns what follows them.
std::string afterWarnings(const std::string& errors, bool terminal) {
  std::string warnings;
  for (const char c : golden(".warnings")) {
    if (terminal && c == '\n') warnings += '\r';
    warnings += c;
  }
  EXPECT_EQ(errors.substr(0, warnings.size()), warnings);
  return errors.substr(std::min(errors.size(), warnings.size()));
}

// Progress goes to a terminal on standard error, each iteration's line redrawn in place
// and the closing line after the last; --quiet silences it; standard output is as ever.
TEST(CommandLine, ProgressOnATerminalIsRedrawnInPlaceAndQuietSilencesIt) {
  for (const bool quiet : {false, true}) {
    Invocation invocation{{}, ParameterInput::FileArgument, true};
    if (quiet) invocation.options = {"--quiet"};
    const ProgramRun run = runProgram(caseFile("step_in_power.par"), "step.out", invocation);
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.console, golden(".console"));
    const std::string progress = afterWarnings(run.errors, true);
    if (quiet) {
      EXPECT_EQ(progress, "");
      continue;
    }
    EXPECT_TRUE(progress.starts_with("\riteration  1  rate 50       trials  0 of 10  ")) << progress;
    for (const char* line :
         {"\riteration 20  rate 5.001    trials 10 of 10  power 1.0000 \u00b1 0.0000  ",
          "\r\nall 20 iterations used: last rate 5.001 (5 patients), power 1.0000 \u00b1 0.0000, "
          "analytic rate 6.312, report step.out, "})
      EXPECT_NE(progress.find(line), std::string::npos) << line << progress;
  }
}

TEST(CommandLine, ViewsThatCannotBeWrittenFailAtOnceAndAFailedRunLeavesNoneAndKeepsEarlierOnes) {
  const std::string step = caseFile("step_in_power.par");
  const ProgramRun noDirectory = runProgram(step, "step.out", {{"--json", "missing/results.json"}});
  EXPECT_EQ(noDirectory.exitStatus, 1);
  EXPECT_EQ(noDirectory.errors, "survseq: cannot open the JSON file 'missing/results.json' for "
                                "writing: No such file or directory\n");
  EXPECT_TRUE(noDirectory.files.empty());  // not even the report: the search never started

  const ProgramRun full = runProgram(step, "step.out", {{"--plot", "/dev/full"}});
  EXPECT_EQ(full.exitStatus, 1);
  EXPECT_EQ(afterWarnings(full.errors, false),
            "survseq: could not write the plot '/dev/full': No space left on device\n");

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

}  // namespace
}  // namespace survseq::testing
