// The pipeline with scripted trials whose analyses take uneven times, so that they end
// out of order on several threads: the lines, the merges and a failure must still come
// in trial order, as from one thread.

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "report/run_error.h"
#include "search/trial_pipeline.h"

namespace survseq::search {
namespace {

// Trial n writes "drawn n" to the report while it is generated when n % 3 == 0, and
// while analysed "looked at n" to the console when n % 4 == 0 and "note n" to the
// report when n % 5 == 0. A failing step first writes "partial n".
struct Script {
  int32_t trials = 0;
  int32_t failGeneratingAt = 0;
  int32_t failAnalysingAt = 0;
};

struct Texts {
  std::string console;
  std::string file;
};

// What one thread doing the steps in order writes.
Texts inOrder(const Script& script) {
  std::ostringstream console, file;
  for (int32_t n = 1; n <= script.trials; ++n) {
    if (n % 3 == 0) file << "drawn " << n << '\n';
    if (n == script.failGeneratingAt) {
      file << "partial " << n << '\n';
      break;
    }
    if (n % 4 == 0) console << "looked at " << n << '\n';
    if (n % 5 == 0) file << "note " << n << '\n';
    if (n == script.failAnalysingAt) {
      file << "partial " << n << '\n';
      break;
    }
  }
  return {console.str(), file.str()};
}

class ScriptedWork final : public TrialWork {
 public:
  explicit ScriptedWork(const Script& script) : script_(script) {}

  void generate(TrialSlot& slot) override {
    const int32_t n = slot.trialNumber;
    generated.push_back(n);
    offTheCallingThread |= std::this_thread::get_id() != caller_;
    slot.trial.entryTime[0] = static_cast<float>(n);  // what the analysis will read
    if (n % 3 == 0) slot.report.file() << "drawn " << n << '\n';
    if (n == script_.failGeneratingAt) {
      slot.report.file() << "partial " << n << '\n';
      throw RunError("generating trial " + std::to_string(n) + " failed");
    }
  }

  void analyse(TrialSlot& slot, TrialWorkspace& /*workspace*/) override {
    const auto n = static_cast<int32_t>(slot.trial.entryTime[0]);
    std::this_thread::sleep_for(std::chrono::microseconds((n * 7919 % 13) * 20));
    if (n % 4 == 0) slot.report.console() << "looked at " << n << '\n';
    if (n % 5 == 0) slot.report.file() << "note " << n << '\n';
    if (n == script_.failAnalysingAt) {
      slot.report.file() << "partial " << n << '\n';
      throw RunError("analysing trial " + std::to_string(n) + " failed");
    }
    slot.outcome.lookCount = n;
  }

  void merge(const TrialSlot& slot) override {
    merged.push_back(slot.trialNumber);
    offTheCallingThread |= std::this_thread::get_id() != caller_;
    analysedItsOwnTrial &= slot.outcome.lookCount == slot.trialNumber;
  }

  std::vector<int32_t> generated;
  std::vector<int32_t> merged;
  bool offTheCallingThread = false;
  bool analysedItsOwnTrial = true;

 private:
  Script script_;
  std::thread::id caller_ = std::this_thread::get_id();
};

std::vector<int32_t> oneTo(int32_t last) {
  std::vector<int32_t> numbers;
  for (int32_t n = 1; n <= last; ++n) numbers.push_back(n);
  return numbers;
}

constexpr int32_t kThreadCounts[] = {1, 2, 3, 8};

// Runs `script` through `pipeline` and checks that it wrote what one thread doing the steps
// in order writes, and merged trials 1 to `lastMerged`; returns the failure, if any.
std::string runAndCheck(TrialPipeline& pipeline, const Script& script, int32_t lastMerged) {
  SCOPED_TRACE("threads " + std::to_string(pipeline.threadCount()));
  std::ostringstream console, file;
  Report report(console, file);
  ScriptedWork work(script);
  std::string failure;
  try {
    pipeline.run(script.trials, work, report);
  } catch (const RunError& error) {
    failure = error.what();
  }
  const Texts expected = inOrder(script);
  EXPECT_EQ(console.str(), expected.console);
  EXPECT_EQ(file.str(), expected.file);
  EXPECT_EQ(work.merged, oneTo(lastMerged));
  EXPECT_FALSE(work.offTheCallingThread);
  EXPECT_TRUE(work.analysedItsOwnTrial);
  if (failure.empty()) {
    EXPECT_EQ(work.generated, oneTo(script.trials));
  }
  return failure;
}

TEST(TrialPipeline, GeneratesAndMergesInTrialOrderOnTheCallingThread) {
  for (int32_t threads : kThreadCounts) {
    TrialPipeline pipeline(100, threads);
    EXPECT_EQ(pipeline.threadCount(), threads);
    EXPECT_EQ(pipeline.windowSize(), threads == 1 ? 1 : 4 * threads);
    for (int pass = 1; pass <= 2; ++pass) {  // the second pass reuses slots and threads
      EXPECT_EQ(runAndCheck(pipeline, {200, 0, 0}, 200), "");
    }
  }
}

TEST(TrialPipeline, AFailureComesAfterTheEarlierTrialsAndNothingLater) {
  struct Case {
    Script script;
    const char* message;
    int32_t lastMerged;
  };
  for (const Case& c : {Case{{200, 0, 57}, "analysing trial 57 failed", 56},
                        Case{{200, 0, 1}, "analysing trial 1 failed", 0},
                        Case{{200, 0, 200}, "analysing trial 200 failed", 199},
                        Case{{200, 90, 0}, "generating trial 90 failed", 89},
                        Case{{200, 61, 70}, "generating trial 61 failed", 60}}) {
    SCOPED_TRACE(c.message);
    for (int32_t threads : kThreadCounts) {
      TrialPipeline pipeline(100, threads);
      EXPECT_EQ(runAndCheck(pipeline, c.script, c.lastMerged), c.message);
      // Nothing of the failed pass is left in the slots for the next one.
      EXPECT_EQ(runAndCheck(pipeline, {50, 0, 0}, 50), "");
    }
  }
}

}  // namespace
}  // namespace survseq::search
