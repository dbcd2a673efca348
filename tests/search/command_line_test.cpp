// The command line as a user meets it: help, version, template, refusals, standard input
// and progress on a terminal, and the JSON and plot files of a run that fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "golden_cases.h"
#include "program_runner.h"

namespace survseq::testing {
namespace {

std::string golden(const char* extension) { return readFile(goldenPath("iteration_limit", extension)); }

TEST(CommandLine, HelpListsEveryOptionTheVersionGivesItsNumberAndTheTemplateTheDefaults) {
  const ProgramRun help = runWithArguments({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_EQ(help.errors, "");
  for (const char* text : {"Usage: survseq [OPTIONS] [FILE]", "\n  -h,--help ", "\n  --version ",
                           "\n  --threads N ", "\n  --quiet ", "\n  --progress ", "\n  --json FILE ",
                           "\n  --plot FILE ", "\n  --template [toml] ", "\n  --format toml|par ",
                           "\n  FILE ", "\n  convert ",
                           "survseq --json results.json --plot search.svg design.toml"})
    EXPECT_NE(help.console.find(text), std::string::npos) << text << help.console;
  // "survseq 1.2.3", and " (git <hex>[-dirty])" when built from a checkout.
  const std::string version = runWithArguments({"--version"}).console;
  const size_t end = version.find_first_not_of("0123456789.", 8);
  EXPECT_EQ(version.rfind("survseq ", 0), 0u);
  EXPECT_EQ(std::count(version.begin() + 8, version.begin() + long(end), '.'), 2) << version;
  EXPECT_TRUE(version.substr(end) == "\n" || version.substr(end, 6) == " (git ") << version;
  EXPECT_EQ(runWithArguments({"--template"}).console, exampleFile("defaults.par"));
}

// Wrong command lines (status 2), and parameter files that cannot be opened or read (status
// 1): one line on standard error, nothing else.
TEST(CommandLine, RefusalsAreOneLineOnStandardError) {
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string error;  // the line, or its start
  } cases[] = {
      {{"--bogus"}, 2, "survseq: "}, {{"--threads", "0"}, 2, "survseq: "},
      {{"--threads", "two"}, 2, "survseq: "}, {{"--threads", "-1"}, 2, "survseq: "},
      {{"--json"}, 2, "survseq: "}, {{"a.par", "b.par"}, 2, "survseq: "}, {{"-x"}, 2, "survseq: "},
      {{"missing.par"}, 1,
       "survseq: could not open the parameter file 'missing.par': No such file or directory\n"},
      {{"."}, 1, "survseq: the parameter file '.' is a directory\n"},
      // Without a terminal an empty standard input is a file that ends early.
      {{}, 1, "survseq: line "}};
  for (const auto& c : cases) {
    const ProgramRun run = runWithArguments(c.arguments);
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    EXPECT_EQ(run.exitStatus, c.status);
    EXPECT_EQ(run.console, "");
    EXPECT_EQ(run.errors.rfind(c.error, 0), 0u) << run.errors;
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

TEST(CommandLine, ProgressOnATerminalIsRedrawnInPlaceAndQuietSilencesIt) {
  for (const bool quiet : {false, true}) {
    Invocation invocation{{}, ParameterInput::FileArgument, true};
    if (quiet) invocation.options = {"--quiet"};
    const ProgramRun run = runProgram(caseFile("step_in_power.par"), "step.out", invocation);
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const std::string progress = afterWarnings(run.errors, true);
    EXPECT_EQ(run.console, golden(".console"));
    EXPECT_EQ(run.report, golden(".report"));
    if (quiet) {
      EXPECT_EQ(progress, "");
      continue;
    }
    // Each iteration's line starts with a carriage return, is redrawn when it ends, and
    // keeps the power; the closing line follows the twentieth.
    EXPECT_EQ(progress.rfind("\riteration  1  rate 50       trials  0 of 10  ", 0), 0u) << progress;
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
