#pragma once

// The trials of a pass in flight on several threads. The draws of the trials are taken
// one trial after the other on the calling thread, since they all come from the one
// random stream and the order of draws is part of the result; the rest of a trial (its
// patients made from the draws, and its analysis) runs on any thread, the calling thread
// included; and what each contributes is merged on the calling thread in trial order.
// So every count, every sum (single-precision sums depend on the order of addition) and
// every line written is the same for any number of threads.
//
// At most a fixed window of trials is in flight; the slots that hold them, and the
// working arrays of each thread, are allocated once, when the pipeline is made, and
// reused by every pass. The worker threads live as long as the pipeline and wait
// between passes.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "report/held_output.h"
#include "search/report.h"
#include "search/trial_analysis.h"
#include "sim/simulated_trial.h"
#include "sim/trial_draws.h"

namespace survseq::search {

// One trial in flight: its draws, its patients, what it writes (held until its turn comes), and
// what it contributes.
struct TrialSlot {
  explicit TrialSlot(int32_t patientCapacity) : draws(patientCapacity), trial(patientCapacity) {}

  int32_t trialNumber = 0;
  sim::TrialDraws draws;
  sim::SimulatedTrial trial;
  // The trial's console lines and report lines, held until its turn; `report` writes
  // into them.
  report::HeldOutput console;
  report::HeldOutput file;
  Report report{console.stream(), file.stream()};
  TrialOutcome outcome;
  std::exception_ptr failure;  // what ended the trial early, raised in its turn
};

// The three steps of a trial, as the pipeline calls them.
class TrialWork {
 public:
  // On the calling thread, in trial order; slot.trialNumber is set. Only what the stream
  // needs in order belongs here: the rest of the trial's work belongs to analyse.
  virtual void generate(TrialSlot& slot) = 0;
  // On any thread, each trial once, never two at once in the same workspace.
  virtual void analyse(TrialSlot& slot, TrialWorkspace& workspace) = 0;
  // On the calling thread, in trial order, after the slot's lines have been handed on;
  // only for trials that did not fail.
  virtual void merge(const TrialSlot& slot) = 0;

 protected:
  ~TrialWork() = default;
};

// The CPU time the threads of a pipeline spent on its passes, each from the thread's
// own clock: what measures how much of the work the stream's sequential step is.
struct ThreadCpu {
  double streamSeconds = 0.0;       // the calling thread in TrialWork::generate
  std::vector<double> threadSeconds;  // every thread over the passes; [0] the calling thread
};

class TrialPipeline {
 public:
  // threadCount >= 1 threads in all: the calling thread and threadCount - 1 workers.
  TrialPipeline(int32_t patientCapacity, int32_t threadCount);
  ~TrialPipeline();
  TrialPipeline(const TrialPipeline&) = delete;
  TrialPipeline& operator=(const TrialPipeline&) = delete;

  int32_t threadCount() const { return static_cast<int32_t>(workspaces_.size()); }
  int32_t windowSize() const { return static_cast<int32_t>(slots_.size()); }

  // Runs trials 1..trialCount through `work`. The lines each trial writes reach
  // report.console() and report.file() in trial order. When a step of trial n throws,
  // the lines of trials 1..n-1 and those trial n wrote before the throw are handed on,
  // nothing after, and the exception comes out of run() once no thread works on the pass.
  void run(int32_t trialCount, TrialWork& work, Report& report);

  // From now on run() adds to `account` (null: no longer). Reading the clocks costs a
  // system call per trial, so it is off unless asked for.
  void accountCpu(ThreadCpu* account) { account_ = account; }

 private:
  TrialSlot& slotOf(int32_t trialNumber) {
    return *slots_[static_cast<size_t>((trialNumber - 1) % windowSize())];
  }
  static void analyseSlot(TrialWork& work, TrialSlot& slot, TrialWorkspace& workspace);
  void workerLoop(TrialWorkspace& workspace);
  // Waits until no worker is analysing, and leaves nothing for them to take.
  void settle(std::unique_lock<std::mutex>& lock);
  void runTrials(int32_t trialCount, TrialWork& work, Report& report);
  void generateSlot(TrialWork& work, TrialSlot& slot);
  std::vector<double> threadClocks();

  std::vector<std::unique_ptr<TrialSlot>> slots_;
  std::vector<std::unique_ptr<TrialWorkspace>> workspaces_;  // [0]: the calling thread's

  // Guarded by mutex_. Trials 1..generated_ have been generated, 1..claimed_ taken for
  // analysis, 1..merged_ merged; finished_[slot] marks an analysis that has ended.
  std::mutex mutex_;
  std::condition_variable trialReady_;     // workers wait for a trial to analyse
  std::condition_variable trialFinished_;  // the calling thread waits for an analysis
  TrialWork* work_ = nullptr;
  int32_t generated_ = 0;
  int32_t claimed_ = 0;
  int32_t merged_ = 0;
  int32_t analysing_ = 0;  // trials being analysed by workers
  std::vector<char> finished_;
  bool stopping_ = false;

  std::vector<std::thread> workers_;
  ThreadCpu* account_ = nullptr;
};

}  // namespace survseq::search
