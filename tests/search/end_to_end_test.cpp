// The program as a user runs it: design file in; console text, report, JSON results and plot
// out, on any number of threads. Expected outputs live in tests/search/golden; each was
// reviewed against the layouts. Run with SURVSEQ_UPDATE_GOLDEN=1 to rewrite them after an
// intended change, then review the diff.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "golden_cases.h"
#include "program_runner.h"

namespace survseq::testing {
namespace {

size_t countOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
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

// The run leaves the files asked for and nothing else. Standard error holds the warnings
// first, kept in a golden file of their own, then nothing, or with --progress (not a
// terminal) one line per iteration and the closing line.
void expectMatchesGolden(GoldenCase golden) {
  std::vector<std::string>& options = golden.invocation.options;
  if (golden.keyed) options.insert(options.begin(), {"--format", "toml"});
  const auto has = [&](const char* option) {
    return std::find(options.begin(), options.end(), option) != options.end();
  };
  ProgramRun run = runProgram(golden.parameterFile, golden.reportName, golden.invocation);
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  std::set<std::string> written, asked{golden.reportName};
  for (const auto& [name, text] : run.files) written.insert(name);
  size_t warningsEnd = 0;
  while (run.errors.compare(warningsEnd, 18, "survseq: warning: ") == 0) {
    warningsEnd = run.errors.find('\n', warningsEnd) + 1;
  }
  std::map<std::string, std::string> outputs{{".console", run.console},
                                             {".report", run.report},
                                             {".warnings", run.errors.substr(0, warningsEnd)}};
  if (has("--json")) asked.insert("results.json");
  if (has("--json")) outputs[".json"] = withoutVersion(run.files["results.json"]);
  if (has("--plot")) asked.insert("search.svg");
  if (has("--plot")) outputs[".svg"] = run.files["search.svg"];
  for (const auto& [extension, text] : outputs) {
    const auto path = goldenPath(golden.name, extension.c_str());
    if (std::getenv("SURVSEQ_UPDATE_GOLDEN") == nullptr) {
      EXPECT_EQ(text, readFile(path)) << extension;  // no .warnings file: none
    } else if (!text.empty() || extension != ".warnings") {
      writeFile(path, text);
    }
  }
  EXPECT_EQ(written, asked);
  const std::string progress = run.errors.substr(warningsEnd);
  if (!has("--progress") || has("--quiet")) {
    EXPECT_EQ(progress, "");
    return;
  }
  EXPECT_EQ(countOf(progress, "\n"), countOf(run.report, "This is the result of iteration:") + 1);
  EXPECT_EQ(progress.rfind("iteration  1  rate ", 0), 0u) << progress;
  EXPECT_NE(progress.find(", report " + golden.reportName + ", "), std::string::npos) << progress;
  EXPECT_EQ(progress.find('\r'), std::string::npos);
}

class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, OutputsMatchTheReviewedOnes) { expectMatchesGolden(GetParam()); }

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
std::vector<GoldenCase> onEveryThreadCount(std::vector<GoldenCase> cases, size_t mix) {
  std::vector<GoldenCase> runs;
  for (GoldenCase& golden : cases) {
    for (const char* threads : {"1", "2", "3", "8"}) {
      golden.invocation = kOptionMixes[mix++ % kOptionMixes.size()];
      golden.invocation.options.insert(golden.invocation.options.end(), {"--threads", threads});
      runs.push_back(golden);
    }
  }
  return runs;
}

// The step case is quick: every subset of the options, with each way of passing the file.
std::vector<GoldenCase> everyMixOfOptions() {
  const std::vector<std::vector<std::string>> options = {
      {"--quiet"}, {"--progress"}, {"--json", "results.json"}, {"--plot", "search.svg"}};
  std::vector<GoldenCase> runs;
  for (unsigned subset = 0; subset < (1u << options.size()); ++subset) {
    for (ParameterInput input : {ParameterInput::StandardInput, ParameterInput::FileArgument,
                                 ParameterInput::DashArgument}) {
      runs.push_back({"iteration_limit", caseFile("step_in_power.par"), "step.out", {{}, input}});
      for (size_t i = 0; i < options.size(); ++i) {
        if ((subset >> i & 1u) == 0) continue;
        runs.back().invocation.options.insert(runs.back().invocation.options.end(),
                                              options[i].begin(), options[i].end());
      }
    }
  }
  return runs;
}

const auto kRunName = [](const auto& info) {
  return info.param.name + "_" + std::to_string(info.index);
};
INSTANTIATE_TEST_SUITE_P(Examples, Golden, ::testing::ValuesIn(onEveryThreadCount(
                                               exampleGoldenCases(), 0)), kRunName);
INSTANTIATE_TEST_SUITE_P(PurposeBuilt, Golden, ::testing::ValuesIn(onEveryThreadCount(
                                                   purposeBuiltGoldenCases(), 3)), kRunName);
INSTANTIATE_TEST_SUITE_P(Keyed, Golden,
                         ::testing::ValuesIn(onEveryThreadCount(keyedGoldenCases(), 5)), kRunName);
INSTANTIATE_TEST_SUITE_P(Options, Golden, ::testing::ValuesIn(everyMixOfOptions()), kRunName);

}  // namespace
}  // namespace survseq::testing
