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
      // A keyed file is a design file, and every command gives the system's reason.
      {{"missing.toml"},
       "survseq: could not open the design file 'missing.toml': No such file or directory\n"},
      {{"plan", "missing.toml"},
       "survseq: could not open the design file 'missing.toml': No such file or directory\n"},
      {{"convert", "missing.par"},
       "survseq: could not open the parameter file 'missing.par': No such file or directory\n"},
      {{"plan", "."}, "survseq: the parameter file '.' is a directory\n"},
      // Without a terminal, empty standard input is an empty design, not a wrong command line.
      {{}, "survseq: <stdin>: empty: there is no design to read\n"}};
  for (const Arguments& arguments :
       {Arguments{"--bogus"}, {"--threads", "0"}, {"--threads", "two"}, {"--threads", "-1"},
        {"--json"}, {"a.par", "b.par"}, {"-x"}, {"missing.par"}, {"."}, {"missing.toml"},
        {"plan", "missing.toml"}, {"convert", "missing.par"}, {"plan", "."}, {}}) {
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

TEST(CommandLine, HelpTemplateAndTheUsageForStandardInputOnATerminalInsteadOfAWait) {
  const ProgramRun help = runWithArguments({"--help"});
  EXPECT_EQ(help.exitStatus, 0);
  EXPECT_NE(help.console.find("Usage: survseq [OPTIONS] [FILE]"), std::string::npos);
  EXPECT_EQ(runWithArguments({"--template"}).console, exampleFile("defaults.par"));
  // Each subcommand's help shows examples of that subcommand, not the design run's.
  for (const std::string command : {"convert", "plan", "grid"}) {
    const ProgramRun sub = runWithArguments({command, "--help"});
    EXPECT_EQ(sub.exitStatus, 0);
    EXPECT_NE(sub.console.find("Examples:\n  survseq " + command + " "), std::string::npos)
        << sub.console;
    EXPECT_EQ(sub.console.find("--plot search.svg"), std::string::npos) << sub.console;
  }
  const ProgramRun run = runProgram("", "", {{}, ParameterInput::None, true});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(run.errors.rfind("usage: survseq [OPTIONS] [FILE]\r\n", 0), 0u) << run.errors;
  EXPECT_NE(run.errors.find("survseq --template toml > design.toml"), std::string::npos);
}

// A design read in the other dialect than it is written in is named as such, by every
// command, and nothing is written.
TEST(CommandLine, ADesignInTheOtherDialectIsSaidToBeOne) {
  const std::string keyed = exampleFile("four_look_obrien_fleming.toml");
  const std::string positional = exampleFile("four_look_obrien_fleming.par");
  const std::string keyedHint =
      "this looks like a keyed design file; name it .toml or pass --format toml\n";
  const std::string positionalHint =
      "this looks like a positional parameter file; name it .par or pass --format par\n";
  const std::map<std::string, std::string> files = {
      {"base.toml", keyed}, {"keyed.par", keyed}, {"fourlook.par", positional}};
  struct Case {
    std::vector<std::string> arguments;
    std::string error;
  };
  const Case cases[] = {
      {{"keyed.par"}, "survseq: keyed.par: " + keyedHint},
      {{"plan", "keyed.par"}, "survseq: keyed.par: " + keyedHint},
      {{"--format", "par", "base.toml"}, "survseq: base.toml: " + keyedHint},
      {{"convert", "base.toml"}, "survseq: base.toml: this looks like a keyed design file "
                                 "already; convert reads a positional parameter file\n"},
      {{"--format", "toml", "fourlook.par"}, "survseq: fourlook.par: " + positionalHint},
      {{"plan", "--format", "toml", "fourlook.par"}, "survseq: fourlook.par: " + positionalHint},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    const std::filesystem::path directory = freshDirectory("dialect");
    for (const auto& [name, text] : files) writeFile(directory / name, text);
    const ProgramRun run = runProgramIn(directory, "", "", {c.arguments, ParameterInput::None});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.console, "");
    EXPECT_EQ(run.errors, c.error);
    EXPECT_EQ(run.files, files);
    std::filesystem::remove_all(directory);
  }
  const ProgramRun piped = runProgram(keyed, "four_look_obf.out");  // survseq < base.toml
  EXPECT_EQ(piped.exitStatus, 1);
  EXPECT_EQ(piped.errors, "survseq: <stdin>: " + keyedHint);
  EXPECT_TRUE(piped.files.empty());
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

// A keyed design is told what is wrong with it in its own terms: an effect that no size can
// find, an effect that ends before the last look, a bracket to widen; never a line of the
// positional file.
TEST(EdgeDesigns, KeyedDesignsAreToldTheRealCauseByKey) {
  const auto design = [](const std::string& sides, const std::string& accrual,
                         const std::string& alternative) {
    return "analysis_times = [12.0, 24.0, 36.0]\nsimulations_per_iteration = 20\n"
           "type_one_error = 0.025\nreport_file = \"d.out\"\n" + sides +
           "\n[accrual]\nperiod = 24.0\n" + accrual +
           "\n[baseline_survival]\nmedian = 12.0\n[alternative]\n" + alternative + "\n";
  };
  const std::string bracket = "rate_lower = 1.0\nrate_upper = 2.0";
  const std::string noEffect =
      "alternative.hazard_ratio: no effect: the treatment arm has the control arm's hazard at "
      "every time (the alternative is the null hypothesis), so no number of patients reaches "
      "the desired power";
  const std::string otherWay =
      "alternative.hazard_ratio: an effect in the other direction than the one-sided test "
      "looks for: the treatment arm is expected to have more events than the control arm";
  struct Case {
    std::string design;
    std::vector<std::string> options;
    int status;
    std::vector<std::string> said;  // on standard error, or in the report
  };
  const Case cases[] = {
      {design("sides = 1", bracket, "hazard_ratio = 1.0"), {"--progress"}, 0,
       {"survseq: warning: <stdin>:", noEffect + "; the search will end at the upper end of its",
        "\nno rate reaches the desired power: no effect: last rate 2 (48 patients)"}},
      {design("sides = 1", "", "hazard_ratio = 1.0"), {}, 1, {"survseq: <stdin>:", noEffect}},
      {design("sides = 1", "", "hazard_ratio = 70"), {"plan"}, 1, {otherWay}},
      {design("sides = 2", "", "hazard_ratio = 70"), {"plan"}, 0, {}},
      // Harm by the last look after a benefit that the first look can find: plannable.
      {design("sides = 1", "", "interval_ends = [12.0, 36.0]\nhazard_ratios = [0.3, 3.0]"),
       {"plan"}, 0, {}},
      {design("sides = 1", "patients = 100",
              "interval_ends = [6.0, 24.0]\nhazard_ratios = [1.0, 0.7]"),
       {}, 0,
       {"alternative.interval_ends: the last interval ends at 24, before the last analysis at "
        "36: beyond 24 the hazard ratio is 1 (no effect); extend the last interval to 36"}},
      // An effect that holds beyond every look, and times too wide for the positional
      // layout: what they mean, and every number whole.
      {design("sides = 1\n[drop_in]\ntimes = [100.0, 12000.0]\nrates = [0.01, 0.02]",
              "patients = 100", "interval_ends = [6.0, 20000.0]\nhazard_ratios = [1.0, 0.7]"),
       {}, 0,
       {" hazard ratio in (   0.00    6.00) is   1.0000\n hazard ratio from    6.00 on is   0.7000\n",
        "  ( 100.000   0.010)\n ( 12000.000   0.020)\n"}},
      // Unequal allocation only the keyed file states: its report names the key to change.
      {design("sides = 1\nallocation_ratio = 2", bracket, "hazard_ratio = 0.7"), {"--progress"},
       0,
       {"\nupper bound of the accrual rate too small (accrual.rate_upper): last rate 2",
        "Increase the upper bound on the\naccrual rate (accrual.rate_upper of the design file)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.design);
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"--format", "toml"});
    if (options.front() == "plan") options.push_back("-");  // plan names its design
    const ProgramRun run = runProgram(c.design, "d.out", {options});
    EXPECT_EQ(run.exitStatus, c.status) << run.errors;
    for (const std::string& said : c.said)
      EXPECT_NE((run.errors + run.report).find(said), std::string::npos) << said << run.errors;
    EXPECT_FALSE(citesPositionalLine(run.errors)) << run.errors;
    if (c.status == 1) {
      EXPECT_TRUE(run.files.empty());
    }
  }
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
  EXPECT_EQ(run.errors, "survseq: line 54: b was raised past 50 without meeting the type-I error; "
                        "the design cannot spend so little error\n");
}

// A type-I error of 1 or more is taken as the positional file always took it, but every
// command that reads the file says that it is no probability of error; standard output
// holds what it always held.
TEST(EdgeDesigns, ATypeIErrorOfOneOrMoreIsWarnedOfByEveryCommand) {
  const std::string design = replaceLines(exampleFile("haybittle.par"), {{37, "20"}, {40, "1.5"}});
  const std::string warning =
      "survseq: warning: line 40: the type-I error is 1 or more (1.5); it must lie between 0 "
      "and 1, and the boundaries and powers worked out from it mean nothing\n";
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"--quiet"}, {"plan"}, {"convert"}}) {
    SCOPED_TRACE(command.front());
    const ProgramRun run =
        runProgram(design, "haybittle.out", {command, ParameterInput::FileArgument});
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(run.errors.substr(0, warning.size()), warning);
    EXPECT_EQ(run.errors.find(warning, 1), std::string::npos) << run.errors;
    EXPECT_EQ(run.console.find("warning"), std::string::npos);
  }
}

}  // namespace
}  // namespace survseq::testing
