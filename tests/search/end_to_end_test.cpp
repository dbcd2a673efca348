// The program as a user runs it: design file in; console text, report, JSON and plot out, on
// any number of threads, each output as reviewed in tests/search/golden. After an intended
// change, SURVSEQ_UPDATE_GOLDEN=1 rewrites them: then review the diff.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
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
  const size_t at = json.find(value);
  return at == std::string::npos ? json : json.replace(at, value.size(), "\"-\"");
}

// The run leaves the files asked for and nothing else. Standard error holds the warnings
// first, kept in a golden file of their own, then nothing, or with --progress (not a
// terminal) one line per iteration and the closing line.
class Golden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, OutputsMatchTheReviewedOnes) {
  GoldenCase golden = GetParam();
  std::vector<std::string>& options = golden.invocation.options;
  if (golden.keyed) options.insert(options.begin(), {"--format", "toml"});
  const auto has = [&](const char* o) { return std::count(options.begin(), options.end(), o) > 0; };
  ProgramRun run = runProgram(golden.parameterFile, golden.reportName, golden.invocation);
  ASSERT_EQ(run.exitStatus, 0) << run.errors;
  size_t warningsEnd = 0;
  while (run.errors.compare(warningsEnd, 18, "survseq: warning: ") == 0) {
    warningsEnd = run.errors.find('\n', warningsEnd) + 1;
  }
  std::map<std::string, std::string> outputs{{".console", run.console},
                                             {".report", run.report},
                                             {".warnings", run.errors.substr(0, warningsEnd)}};
  if (has("--json")) outputs[".json"] = withoutVersion(run.files.at("results.json"));
  if (has("--plot")) outputs[".svg"] = run.files.at("search.svg");
  EXPECT_EQ(run.files.size(), 1u + has("--json") + has("--plot"));  // with the report
  for (const auto& [extension, text] : outputs) {
    const auto path = goldenPath(golden.name, extension.c_str());
    if (std::getenv("SURVSEQ_UPDATE_GOLDEN") == nullptr) {
      EXPECT_EQ(text, readFile(path)) << extension;  // no .warnings file: none
    } else if (!text.empty() || extension != ".warnings") {
      writeFile(path, text);
    }
  }
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

// Every golden case on 1, 2, 3 and 8 threads: the same bytes whatever the thread count.
// Run m takes the subset m + m / 4 (mod 16) of the options below, which must leave the
// console and the report alone, and the (m mod 3)th way of passing the design file. So the
// four runs of a case hold --plot and --json, every thread count writes them for several
// cases, and the twenty cases meet all 48 mixes.
std::vector<GoldenCase> onEveryThreadCount() {
  const std::vector<std::vector<std::string>> options = {
      {"--plot", "search.svg"}, {"--json", "results.json"}, {"--progress"}, {"--quiet"}};
  std::vector<GoldenCase> runs;
  for (const GoldenCase& golden : allGoldenCases()) {
    for (const char* threads : {"1", "2", "3", "8"}) {
      const size_t m = runs.size();
      runs.push_back(golden);
      runs.back().invocation = {{"--threads", threads}, static_cast<ParameterInput>(m % 3)};
      for (size_t i = 0; i < options.size(); ++i) {
        if (((m + m / 4) >> i & 1u) == 0) continue;
        runs.back().invocation.options.insert(runs.back().invocation.options.end(),
                                              options[i].begin(), options[i].end());
      }
    }
  }
  return runs;
}

INSTANTIATE_TEST_SUITE_P(Runs, Golden, ::testing::ValuesIn(onEveryThreadCount()),
                         [](const auto& info) {
                           return info.param.name + "_" + info.param.invocation.options[1];
                         });

}  // namespace
}  // namespace survseq::testing
