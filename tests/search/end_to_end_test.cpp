// The program as a user runs it: design file in; console text, report, JSON results and plot
// out, on any number of threads. Expected outputs live in tests/search/golden; each was
// reviewed against the layouts. Run with SURVSEQ_UPDATE_GOLDEN=1 to rewrite them after an
// intended change, then review the diff.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "golden_cases.h"
#include "program_runner.h"

namespace survseq::testing {
namespace {

namespace fs = std::filesystem;

size_t countOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

bool has(const Invocation& invocation, const std::string& option) {
  return std::find(invocation.options.begin(), invocation.options.end(), option) !=
         invocation.options.end();
}

// Standard error: nothing, or with --progress (not a terminal) one line per iteration and
// the closing line. The other files: the ones asked for, and nothing else.
void expectOnlyWhatWasAskedFor(const Invocation& invocation, const ProgramRun& run,
                               const std::string& reportName) {
  if (has(invocation, "--progress") && !has(invocation, "--quiet")) {
    const size_t iterations = countOf(run.report, "This is the result of iteration:");
    EXPECT_EQ(countOf(run.errors, "\n"), iterations + 1) << run.errors;
    EXPECT_EQ(countOf(run.errors, "\niteration "), iterations - 1) << run.errors;
    EXPECT_EQ(run.errors.rfind("iteration  1  rate ", 0), 0u) << run.errors;
    EXPECT_NE(run.errors.find(", report " + reportName + ", "), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find('\r'), std::string::npos);
  } else {
    EXPECT_EQ(run.errors, "");
  }
  std::set<std::string> expected{reportName};
  if (has(invocation, "--json")) expected.insert("results.json");
  if (has(invocation, "--plot")) expected.insert("search.svg");
  std::set<std::string> written;
  for (const auto& [name, text] : run.files) written.insert(name);
  EXPECT_EQ(written, expected);
}

// Warnings, the only lines a successful run writes on standard error by itself, come
// first; the designs that draw any keep them in a golden file of their own.
std::string warningLines(const std::string& errors) {
  std::string warnings;
  std::istringstream lines(errors);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("survseq: warning: ", 0) == 0) warnings += line + '\n';
  }
  return warnings;
}

// The version, which names the build, is the one thing in the outputs that may differ
// between builds; it must be the one the program says it is.
std::string withoutVersion(std::string json) {
  static const std::string version = runWithArguments({"--version"}).console;  // survseq V
  const std::string value = "\"" + version.substr(8, version.size() - 9) + "\"";
  if (const size_t at = json.find(value); at != std::string::npos) {
    json.replace(at, value.size(), "\"-\"");
  }
  return json;
}

void expectMatchesGolden(GoldenCase golden) {
  if (golden.keyed) golden.invocation.options.insert(golden.invocation.options.begin(),
                                                     {"--format", "toml"});
  ProgramRun run = runProgram(golden.parameterFile, golden.reportName, golden.invocation);
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  std::map<std::string, std::string> outputs{{".console", run.console}, {".report", run.report}};
  if (run.files.count("results.json") != 0) {
    outputs[".json"] = withoutVersion(run.files.at("results.json"));
  }
  if (run.files.count("search.svg") != 0) outputs[".svg"] = run.files.at("search.svg");
  const fs::path warnings = goldenPath(golden.name, ".warnings");
  if (std::getenv("SURVSEQ_UPDATE_GOLDEN") != nullptr) {
    for (const auto& [extension, text] : outputs) {
      writeFile(goldenPath(golden.name, extension.c_str()), text);
    }
    if (const std::string drawn = warningLines(run.errors); !drawn.empty()) {
      writeFile(warnings, drawn);
    }
    return;
  }
  const std::string expectedWarnings = fs::exists(warnings) ? readFile(warnings) : "";
  ASSERT_EQ(run.errors.substr(0, expectedWarnings.size()), expectedWarnings);
  run.errors.erase(0, expectedWarnings.size());
  expectOnlyWhatWasAskedFor(golden.invocation, run, golden.reportName);
  for (const auto& [extension, text] : outputs) {
    EXPECT_EQ(text, readFile(goldenPath(golden.name, extension.c_str()))) << extension;
  }
}

// A golden case on a number of threads, with one of the option mixes below.
struct ThreadedGolden {
  GoldenCase golden;
  std::string threads;
};

void PrintTo(const ThreadedGolden& c, std::ostream* out) {
  *out << c.golden.name << " on " << c.threads << " threads";
}

class Golden : public ::testing::TestWithParam<ThreadedGolden> {};

TEST_P(Golden, OutputsMatchTheReviewedOnesOnEveryThreadCount) {
  GoldenCase golden = GetParam().golden;
  golden.invocation.options.insert(golden.invocation.options.end(),
                                   {"--threads", GetParam().threads});
  expectMatchesGolden(golden);
}

// The options that must leave the console and the report alone, and the three ways of
// passing the design file. The runs of the golden cases take these in turn, so that every
// option meets several designs; any four in a row hold --json and --plot, so every case
// compares its JSON and plot too, and every thread count writes them for some cases.
const std::vector<Invocation> kOptionMixes = {
    {{}, ParameterInput::StandardInput},
    {{"--progress", "--json", "results.json", "--plot", "search.svg"}, ParameterInput::FileArgument},
    {{"--quiet", "--json", "results.json"}, ParameterInput::DashArgument},
    {{"--plot", "search.svg"}, ParameterInput::FileArgument},
    {{"--progress", "--quiet"}, ParameterInput::StandardInput},
    {{"--progress", "--json", "results.json"}, ParameterInput::DashArgument},
    {{"--plot", "search.svg", "--json", "results.json"}, ParameterInput::StandardInput},
};

// Every golden case on 1, 2, 3 and 8 threads: the same bytes whatever the thread count.
std::vector<ThreadedGolden> onEveryThreadCount(const std::vector<GoldenCase>& cases,
                                               size_t firstMix) {
  std::vector<ThreadedGolden> runs;
  for (GoldenCase golden : cases) {
    for (const char* threads : {"1", "2", "3", "8"}) {
      golden.invocation = kOptionMixes[(firstMix + runs.size()) % kOptionMixes.size()];
      runs.push_back({golden, threads});
    }
  }
  return runs;
}

const auto kRunName = [](const auto& info) {
  return info.param.golden.name + "_" + info.param.threads;
};
INSTANTIATE_TEST_SUITE_P(Examples, Golden,
                         ::testing::ValuesIn(onEveryThreadCount(exampleGoldenCases(), 0)),
                         kRunName);
INSTANTIATE_TEST_SUITE_P(PurposeBuilt, Golden,
                         ::testing::ValuesIn(onEveryThreadCount(purposeBuiltGoldenCases(), 3)),
                         kRunName);
INSTANTIATE_TEST_SUITE_P(Keyed, Golden,
                         ::testing::ValuesIn(onEveryThreadCount(keyedGoldenCases(), 5)), kRunName);

TEST(EndToEnd, EveryMixOfOptionsLeavesConsoleAndReportAlone) {
  // The step case is quick: every subset of the options, with each way of passing the file.
  const std::vector<std::vector<std::string>> options = {
      {"--quiet"}, {"--progress"}, {"--json", "results.json"}, {"--plot", "search.svg"}};
  for (unsigned subset = 0; subset < (1u << options.size()); ++subset) {
    for (ParameterInput input : {ParameterInput::StandardInput, ParameterInput::FileArgument,
                                 ParameterInput::DashArgument}) {
      GoldenCase golden{"iteration_limit", caseFile("step_in_power.par"), "step.out", {{}, input}};
      for (size_t i = 0; i < options.size(); ++i) {
        if ((subset >> i & 1u) != 0) {
          golden.invocation.options.insert(golden.invocation.options.end(), options[i].begin(),
                                           options[i].end());
        }
      }
      SCOPED_TRACE(::testing::PrintToString(golden.invocation.options) + " input " +
                   std::to_string(static_cast<int>(input)));
      expectMatchesGolden(golden);
    }
  }
}

}  // namespace
}  // namespace survseq::testing
