// The pipeline with scripted trials whose analyses take uneven times, so that they end
// out of order on several threads: the lines, the merges and a failure must still come
// in trial order, as from one thread.

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <sstream>
#include <thread>

#include "report/run_error.h"
#include "search/trial_pipeline.h"

namespace survseq::search {
namespace {

// The lines a trial's generation or analysis writes; the step of trial `failAt` writes
// "partial n" and fails.
bool step(int32_t n, bool generating, int32_t failAt, std::ostream& console, std::ostream& file) {
  if (generating && n % 3 == 0) file << "drawn " << n << '\n';
  if (!generating && n % 4 == 0) console << "looked at " << n << '\n';
  if (!generating && n % 5 == 0) file << "note " << n << '\n';
  if (n == failAt) file << "partial " << n << '\n';
  return n != failAt;
}

class ScriptedWork final : public TrialWork {
 public:
  ScriptedWork(int32_t failGeneratingAt, int32_t failAnalysingAt)
      : failGeneratingAt_(failGeneratingAt), failAnalysingAt_(failAnalysingAt) {}

  void generate(TrialSlot& slot) override {
    const int32_t n = slot.trialNumber;
    generated.push_back(n);
    offTheCallingThread |= std::this_thread::get_id() != caller_;
    slot.trial.entryTime[0] = static_cast<float>(n);  // what the analysis will read
    if (!step(n, true, failGeneratingAt_, slot.report.console(), slot.report.file())) {
      throw RunError("generating trial " + std::to_string(n) + " failed");
    }
  }

  void analyse(TrialSlot& slot, TrialWorkspace& /*workspace*/) override {
    const auto n = static_cast<int32_t>(slot.trial.entryTime[0]);
    std::this_thread::sleep_for(std::chrono::microseconds((n * 7919 % 13) * 20));
    if (!step(n, false, failAnalysingAt_, slot.report.console(), slot.report.file())) {
      throw RunError("analysing trial " + std::to_string(n) + " failed");
    }
    slot.outcome.lookCount = n;
  }

  void merge(const TrialSlot& slot) override {
    merged.push_back(slot.trialNumber);
    offTheCallingThread |= std::this_thread::get_id() != caller_;
    analysedItsOwnTrial &= slot.outcome.lookCount == slot.trialNumber;
  }

  std::vector<int32_t> generated, merged;
  bool offTheCallingThread = false;
  bool analysedItsOwnTrial = true;

 private:
  int32_t failGeneratingAt_, failAnalysingAt_;
  std::thread::id caller_ = std::this_thread::get_id();
};

// Runs `trials` scripted trials through `pipeline`, checks it against one thread doing the
// steps in order, and returns the failure, if any.
std::string runAndCheck(TrialPipeline& pipeline, int32_t trials, int32_t failGeneratingAt = 0,
                        int32_t failAnalysingAt = 0) {
  std::ostringstream console, file, expectedConsole, expectedFile;
  int32_t n = 1;
  while (n <= trials && step(n, true, failGeneratingAt, expectedConsole, expectedFile) &&
         step(n, false, failAnalysingAt, expectedConsole, expectedFile)) {
    ++n;
  }
  Report report(console, file);
  ScriptedWork work(failGeneratingAt, failAnalysingAt);
  std::string failure;
  try {
    pipeline.run(trials, work, report);
  } catch (const RunError& error) {
    failure = error.what();
  }
  EXPECT_EQ(console.str(), expectedConsole.str());
  EXPECT_EQ(file.str(), expectedFile.str());
  std::vector<int32_t> before(static_cast<size_t>(n - 1));
  std::iota(before.begin(), before.end(), 1);
  EXPECT_EQ(work.merged, before);
  if (failure.empty()) {
    EXPECT_EQ(work.generated, before);
  }
  EXPECT_FALSE(work.offTheCallingThread);
  EXPECT_TRUE(work.analysedItsOwnTrial);
  return failure;
}

TEST(TrialPipeline, LinesMergesAndAFailureComeInTrialOrderOnTheCallingThread) {
  const struct {
    int32_t failGeneratingAt, failAnalysingAt;
    const char* failure;
  } cases[] = {{0, 0, ""},
               {0, 57, "analysing trial 57 failed"},
               {0, 1, "analysing trial 1 failed"},
               {0, 200, "analysing trial 200 failed"},
               {90, 0, "generating trial 90 failed"},
               {61, 70, "generating trial 61 failed"}};
  for (const auto& c : cases) {
    for (const int32_t threads : {1, 2, 3, 8}) {
      SCOPED_TRACE(std::string(c.failure) + ", threads " + std::to_string(threads));
      TrialPipeline pipeline(100, threads);
      EXPECT_EQ(runAndCheck(pipeline, 200, c.failGeneratingAt, c.failAnalysingAt), c.failure);
      // The next pass reuses the slots and threads, and finds nothing of this one in them.
      EXPECT_EQ(runAndCheck(pipeline, 50), "");
    }
  }
}

}  // namespace
}  // namespace survseq::search
