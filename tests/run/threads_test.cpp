// The whole run on 1, 2, 3 and 8 threads gives the reviewed console and report of every
// golden design, byte for byte; and the thread count a run asks for.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "report/run_error.h"
#include "run/design_run.h"
#include "run/thread_count.h"
#include "search/golden_cases.h"
#include "search/program_runner.h"

namespace survseq::run {
namespace {

namespace fs = std::filesystem;
using testing::GoldenCase;

struct ThreadedCase {
  GoldenCase golden;
  int32_t threads;
};

void PrintTo(const ThreadedCase& c, std::ostream* out) {
  *out << c.golden.name << " on " << c.threads << " threads";
}

std::vector<ThreadedCase> everyGoldenOnThreads() {
  std::vector<GoldenCase> goldens = testing::exampleGoldenCases();
  for (GoldenCase& golden : testing::purposeBuiltGoldenCases()) goldens.push_back(golden);
  std::vector<ThreadedCase> cases;
  for (const GoldenCase& golden : goldens) {
    for (const int32_t threads : {1, 2, 3, 8}) cases.push_back({golden, threads});
  }
  return cases;
}

// The run writes its report into the working directory: each case gets a fresh one.
class GoldenOnThreads : public ::testing::TestWithParam<ThreadedCase> {
 protected:
  void SetUp() override {
    home_ = fs::current_path();
    directory_ = fs::temp_directory_path() /
                 ("survseq_threads_" + std::to_string(getpid()) + "_" + GetParam().golden.name +
                  "_" + std::to_string(GetParam().threads));
    fs::remove_all(directory_);
    fs::create_directories(directory_);
    fs::current_path(directory_);
  }
  void TearDown() override {
    fs::current_path(home_);
    fs::remove_all(directory_);
  }

 private:
  fs::path home_;
  fs::path directory_;
};

TEST_P(GoldenOnThreads, ConsoleAndReportMatchTheReviewedOutput) {
  const ThreadedCase& c = GetParam();
  std::istringstream parameters(c.golden.parameterFile);
  std::ostringstream console, errors;
  RunOptions options;
  options.threads = c.threads;
  ASSERT_EQ(runDesign(parameters, console, errors, options), 0) << errors.str();
  const fs::path warnings = testing::goldenPath(c.golden.name, ".warnings");
  EXPECT_EQ(errors.str(), fs::exists(warnings) ? testing::readFile(warnings) : "");
  EXPECT_EQ(console.str(), testing::readFile(testing::goldenPath(c.golden.name, ".console")));
  EXPECT_EQ(testing::readFile(c.golden.reportName),
            testing::readFile(testing::goldenPath(c.golden.name, ".report")));
}

INSTANTIATE_TEST_SUITE_P(Goldens, GoldenOnThreads, ::testing::ValuesIn(everyGoldenOnThreads()),
                         [](const auto& info) {
                           return info.param.golden.name + "_" + std::to_string(info.param.threads);
                         });

TEST(ThreadCount, ZeroMeansEveryUsableCoreAndOnlySensibleCountsAreTaken) {
  EXPECT_GE(usableCores(), 1);
  EXPECT_EQ(threadsToUse(0), usableCores());
  for (const int32_t threads : {1, 2, 7, kMaxThreads}) EXPECT_EQ(threadsToUse(threads), threads);
  for (const int32_t threads : {-1, kMaxThreads + 1}) {
    EXPECT_THROW(threadsToUse(threads), RunError) << threads;
  }
}

TEST(ThreadCount, AnUnusableCountEndsTheRunBeforeAnythingIsRead) {
  std::istringstream parameters(testing::exampleFile("haybittle.par"));
  std::ostringstream console, errors;
  RunOptions options;
  options.threads = -2;
  EXPECT_EQ(runDesign(parameters, console, errors, options), 1);
  EXPECT_EQ(errors.str(),
            "survseq: the number of threads must lie between 0 (every core) and 256, not -2\n");
  EXPECT_EQ(console.str(), "");
}

}  // namespace
}  // namespace survseq::run
