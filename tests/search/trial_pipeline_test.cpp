// The pipeline with scripted trials whose analyses take uneven times, so that they end
// out of order on several threads: the lines, the merges and a failure must still come
// in trial order, as from one thread.

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "report/run_error.h"
#include "search/trial_pipeline.h"

namespace survseq::search {
namespace {

struct Script {
  int32_t trials = 0;
  int32_t failGeneratingAt = 0;
  int32_t failAnalysingAt = 0;
};

// Trial n writes "drawn n" to the report while it is generated when n % 3 == 0, and while
// analysed "looked at n" to the console when n % 4 == 0 and "note n" to the report when
// n % 5 == 0. A failing step writes "partial n" and returns false.
bool step(const Script& script, int32_t n, bool generating, std::ostream& console,
          std::ostream& file) {
  if (generating && n % 3 == 0) file << "drawn " << n << '\n';
  if (!generating && n % 4 == 0) console << "looked at " << n << '\n';
  if (!generating && n % 5 == 0) file << "note " << n << '\n';
  if (n != (generating ? script.failGeneratingAt : script.failAnalysingAt)) return true;
  file << "partial " << n << '\n';
  return false;
}

class ScriptedWork final : public TrialWork {
 public:
  explicit ScriptedWork(const Script& script) : script_(script) {}

  void generate(TrialSlot& slot) override {
    const int32_t n = slot.trialNumber;
    generated.push_back(n);
    offTheCallingThread |= std::this_thread::get_id() != caller_;
    slot.trial.entryTime[0] = static_cast<float>(n);  // what the analysis will read
    if (!step(script_, n, true, slot.report.console(), slot.report.file())) {
      throw RunError("generating trial " + std::to_string(n) + " failed");
    }
  }

  void analyse(TrialSlot& slot, TrialWorkspace& /*workspace*/) override {
    const auto n = static_cast<int32_t>(slot.trial.entryTime[0]);
    std::this_thread::sleep_for(std::chrono::microseconds((n * 7919 % 13) * 20));
    if (!step(script_, n, false, slot.report.console(), slot.report.file())) {
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
  Script script_;
  std::thread::id caller_ = std::this_thread::get_id();
};

std::vector<int32_t> oneTo(int32_t last) {
  std::vector<int32_t> numbers(static_cast<size_t>(last));
  std::iota(numbers.begin(), numbers.end(), 1);
  return numbers;
}

// Runs `script` through `pipeline` and checks that it wrote what one thread doing the steps
// in order writes, generated and merged on the calling thread, and merged trials 1 to
// `lastMerged`; returns the failure, if any.
std::string runAndCheck(TrialPipeline& pipeline, const Script& script, int32_t lastMerged) {
  std::ostringstream console, file, expectedConsole, expectedFile;
  for (int32_t n = 1; n <= script.trials; ++n) {
    if (!step(script, n, true, expectedConsole, expectedFile) ||
        !step(script, n, false, expectedConsole, expectedFile)) {
      break;
    }
  }
  Report report(console, file);
  ScriptedWork work(script);
  std::string failure;
  try {
    pipeline.run(script.trials, work, report);
  } catch (const RunError& error) {
    failure = error.what();
  }
  EXPECT_EQ(console.str(), expectedConsole.str());
  EXPECT_EQ(file.str(), expectedFile.str());
  EXPECT_EQ(work.merged, oneTo(lastMerged));
  EXPECT_FALSE(work.offTheCallingThread);
  EXPECT_TRUE(work.analysedItsOwnTrial);
  if (failure.empty()) EXPECT_EQ(work.generated, oneTo(script.trials));
  return failure;
}

TEST(TrialPipeline, LinesMergesAndAFailureComeInTrialOrderOnTheCallingThread) {
  const struct {
    Script script;
    const char* failure;
    int32_t lastMerged;
  } cases[] = {{{200, 0, 0}, "", 200},
               {{200, 0, 57}, "analysing trial 57 failed", 56},
               {{200, 0, 1}, "analysing trial 1 failed", 0},
               {{200, 0, 200}, "analysing trial 200 failed", 199},
               {{200, 90, 0}, "generating trial 90 failed", 89},
               {{200, 61, 70}, "generating trial 61 failed", 60}};
  for (const auto& c : cases) {
    for (const int32_t threads : {1, 2, 3, 8}) {
      SCOPED_TRACE(std::string(c.failure) + ", threads " + std::to_string(threads));
      TrialPipeline pipeline(100, threads);
      EXPECT_EQ(pipeline.threadCount(), threads);
      EXPECT_EQ(pipeline.windowSize(), threads == 1 ? 1 : 4 * threads);
      EXPECT_EQ(runAndCheck(pipeline, c.script, c.lastMerged), c.failure);
      // The next pass reuses the slots and threads, and finds nothing of this one in them.
      EXPECT_EQ(runAndCheck(pipeline, {50, 0, 0}, 50), "");
    }
  }
}

}  // namespace
}  // namespace survseq::search
