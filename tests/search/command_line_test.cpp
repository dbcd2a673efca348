// The command line as a user meets it: help, version, template, the parameter file as an
// argument, standard input on a terminal, progress on a terminal, wrong options, and the
// JSON and plot files of a run that fails.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "golden_cases.h"
#include "program_runner.h"

namespace survseq::testing {
namespace {

std::string stepCase() { return caseFile("step_in_power.par"); }

std::string golden(const std::string& name, const char* extension) {
  return readFile(goldenPath(name, extension));
}

TEST(CommandLine, HelpListsEveryOptionOnALineOfItsOwnAndTheVersionItsNumber) {
  const ProgramRun run = runWithArguments({"--help"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.errors, "");
  for (const char* text : {"Usage: survseq [OPTIONS] [FILE]", "\n  -h,--help ", "\n  --version ",
                           "\n  --threads N ", "\n  --quiet ", "\n  --progress ", "\n  --json FILE ",
                           "\n  --plot FILE ", "\n  --template [toml] ", "\n  --format toml|par ",
                           "\n  FILE ", "\n  convert ",
                           "survseq --json results.json --plot search.svg design.toml"})
    EXPECT_NE(run.console.find(text), std::string::npos) << text << run.console;
  // "survseq 1.2.3", and " (git <hex>[-dirty])" when built from a checkout.
  const std::string version = runWithArguments({"--version"}).console;
  const size_t end = version.find_first_not_of("0123456789.", 8);
  EXPECT_EQ(version.rfind("survseq ", 0), 0u);
  EXPECT_EQ(std::count(version.begin() + 8, version.begin() + long(end), '.'), 2) << version;
  EXPECT_TRUE(version.substr(end) == "\n" || version.substr(end, 6) == " (git ") << version;
}

// Wrong command lines (status 2), and parameter files that cannot be opened (status 1):
// one line on standard error, nothing else.
TEST(CommandLine, WrongCommandLinesAndUnopenableFilesGiveOneLine) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string error;  // the whole line, or empty for any line that names the program
  };
  const Case cases[] = {
      {{"--bogus"}, 2, ""}, {{"--threads", "0"}, 2, ""}, {{"--threads", "two"}, 2, ""},
      {{"--threads", "-1"}, 2, ""}, {{"--json"}, 2, ""}, {{"a.par", "b.par"}, 2, ""}, {{"-x"}, 2, ""},
      {{"missing.par"}, 1,
       "survseq: could not open the parameter file 'missing.par': No such file or directory\n"},
      {{"."}, 1, "survseq: the parameter file '.' is a directory\n"}};
  for (const Case& c : cases) {
    const ProgramRun run = runWithArguments(c.arguments);
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    EXPECT_EQ(run.exitStatus, c.status);
    EXPECT_EQ(run.console, "");
    EXPECT_EQ(run.errors.rfind("survseq: ", 0), 0u) << run.errors;
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    if (!c.error.empty()) {
      EXPECT_EQ(run.errors, c.error);
    }
    EXPECT_TRUE(run.files.empty());
  }
}

TEST(CommandLine, TemplateIsTheAnnotatedDefaultsFile) {
  EXPECT_EQ(runWithArguments({"--template"}).console, exampleFile("defaults.par"));
}

TEST(CommandLine, StandardInputOnATerminalGetsTheUsageInsteadOfAWait) {
  const ProgramRun run = runProgram("", "", {{}, ParameterInput::None, true});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(run.errors.rfind("usage: survseq [OPTIONS] [FILE]\r\n", 0), 0u) << run.errors;
  EXPECT_NE(run.errors.find("survseq --template toml > design.toml"), std::string::npos);

  // Without a terminal an empty standard input is read as today: a file that ends early.
  const ProgramRun empty = runProgram("", "", {{}, ParameterInput::None});
  EXPECT_EQ(empty.exitStatus, 1);
  EXPECT_EQ(empty.errors.rfind("survseq: line ", 0), 0u) << empty.errors;
}

// The warnings the step design draws while it is read come first on standard error,
// whatever the options; a terminal ends their lines with \r\n. Returns what follows them.
std::string afterWarnings(const std::string& errors, bool terminal) {
  std::string warnings;
  for (const char c : golden("iteration_limit", ".warnings")) {
    if (c == '\n' && terminal) warnings += '\r';
    warnings += c;
  }
  EXPECT_EQ(errors.substr(0, warnings.size()), warnings);
  return errors.substr(std::min(errors.size(), warnings.size()));
}

TEST(CommandLine, ProgressOnATerminalIsRedrawnInPlaceAndQuietSilencesIt) {
  for (bool quiet : {false, true}) {
    Invocation invocation{{}, ParameterInput::FileArgument, true};
    if (quiet) invocation.options = {"--quiet"};
    ProgramRun run = runProgram(stepCase(), "step.out", invocation);
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    run.errors = afterWarnings(run.errors, true);
    EXPECT_EQ(run.console, golden("iteration_limit", ".console"));
    EXPECT_EQ(run.report, golden("iteration_limit", ".report"));
    if (quiet) {
      EXPECT_EQ(run.errors, "");
      continue;
    }
    // Each iteration's line starts with a carriage return, is redrawn when it ends, and
    // keeps the power; the closing line follows the twentieth.
    EXPECT_EQ(run.errors.rfind("\riteration  1  rate 50       trials  0 of 10  ", 0), 0u)
        << run.errors;
    EXPECT_NE(run.errors.find("\riteration 20  rate 5.001    trials 10 of 10  power 1.0000 \u00b1 "
                              "0.0000  "),
              std::string::npos)
        << run.errors;
    EXPECT_NE(run.errors.find("\r\nall 20 iterations used: last rate 5.001 (5 patients), power "
                              "1.0000 \u00b1 0.0000, analytic rate 6.312, report step.out, "),
              std::string::npos)
        << run.errors;
  }
}

TEST(CommandLine, ViewsThatCannotBeWrittenFailAtOnceAndAFailedRunLeavesNoneAndKeepsEarlierOnes) {
  const ProgramRun noDirectory =
      runProgram(stepCase(), "step.out", {{"--json", "missing/results.json"}});
  EXPECT_EQ(noDirectory.exitStatus, 1);
  EXPECT_EQ(noDirectory.errors,
            "survseq: cannot open the JSON file 'missing/results.json' for writing: No such file "
            "or directory\n");
  EXPECT_TRUE(noDirectory.files.empty());  // not even the report: the search never started

  const ProgramRun full = runProgram(stepCase(), "step.out", {{"--plot", "/dev/full"}});
  EXPECT_EQ(full.exitStatus, 1);
  EXPECT_EQ(afterWarnings(full.errors, false),
            "survseq: could not write the plot '/dev/full': No space left on device\n");

  // Results of an earlier run under the same names survive a run that fails.
  const std::filesystem::path directory = freshDirectory("views");
  writeFile(directory / "results.json", "{\"earlier\": true}\n");
  writeFile(directory / "search.svg", "<svg/>\n");
  const ProgramRun again = runProgramIn(directory, replaceLines(stepCase(), {{20, "16"}}),
                                        "step.out",
                                        {{"--json", "results.json", "--plot", "search.svg"}});
  EXPECT_EQ(again.exitStatus, 1);
  EXPECT_EQ(again.errors.rfind("survseq: line 20: ", 0), 0u) << again.errors;
  EXPECT_EQ(again.files, (std::map<std::string, std::string>{
                             {"results.json", "{\"earlier\": true}\n"}, {"search.svg", "<svg/>\n"}}));
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace survseq::testing
