#include "search/trial_pipeline.h"

#include <pthread.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <system_error>

#include "report/run_error.h"

namespace survseq::search {

namespace {

// Trials in flight per thread: enough that a worker seldom waits for the oldest trial to
// be merged while a long trial holds it up.
constexpr int32_t kSlotsPerThread = 4;
// Past this much patient data in flight the window shrinks, though never below one
// trial per thread and one more being generated.
constexpr double kWindowBytes = 256.0 * 1024 * 1024;

int32_t windowFor(int32_t patientCapacity, int32_t threadCount) {
  if (threadCount == 1) return 1;
  // Per patient: four floats of the trial, three uniforms and a switch mark of its draws.
  const double slotBytes = (7.0 * sizeof(float) + 1.0) * std::max(patientCapacity, 1);
  const auto affordable = static_cast<int32_t>(
      std::min(kWindowBytes / slotBytes, double(kSlotsPerThread) * threadCount));
  return std::max(threadCount + 1, affordable);
}

double cpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

}  // namespace

// The CPU time of every thread so far: the calling thread's, then each worker's.
std::vector<double> TrialPipeline::threadClocks() {
  std::vector<double> seconds{cpuSeconds(CLOCK_THREAD_CPUTIME_ID)};
  for (std::thread& worker : workers_) {
    clockid_t clock{};
    pthread_getcpuclockid(worker.native_handle(), &clock);
    seconds.push_back(cpuSeconds(clock));
  }
  return seconds;
}

void TrialPipeline::generateSlot(TrialWork& work, TrialSlot& slot) {
  if (account_ == nullptr) {
    work.generate(slot);
    return;
  }
  const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  work.generate(slot);
  account_->streamSeconds += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
}

TrialPipeline::TrialPipeline(int32_t patientCapacity, int32_t threadCount) {
  const int32_t threads = std::max(threadCount, 1);
  const int32_t window = windowFor(patientCapacity, threads);
  for (int32_t i = 0; i < window; ++i) slots_.push_back(std::make_unique<TrialSlot>(patientCapacity));
  finished_.assign(static_cast<size_t>(window), 0);
  for (int32_t i = 0; i < threads; ++i) {
    workspaces_.push_back(std::make_unique<TrialWorkspace>(patientCapacity));
  }
  try {
    for (size_t i = 1; i < workspaces_.size(); ++i) {
      workers_.emplace_back([this, i] { workerLoop(*workspaces_[i]); });
    }
  } catch (const std::system_error& error) {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    trialReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    throw RunError("could not start " + std::to_string(threads) +
                   " threads for the simulated trials (" + error.what() + ")");
  }
}

TrialPipeline::~TrialPipeline() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  trialReady_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void TrialPipeline::analyseSlot(TrialWork& work, TrialSlot& slot, TrialWorkspace& workspace) {
  if (slot.failure) return;  // its generation failed: nothing to analyse
  try {
    work.analyse(slot, workspace);
  } catch (...) {
    slot.failure = std::current_exception();
  }
}

void TrialPipeline::workerLoop(TrialWorkspace& workspace) {
  std::unique_lock lock(mutex_);
  for (;;) {
    trialReady_.wait(lock, [this] { return stopping_ || claimed_ < generated_; });
    if (stopping_) return;
    const int32_t trialNumber = ++claimed_;
    ++analysing_;
    TrialWork& work = *work_;
    lock.unlock();
    analyseSlot(work, slotOf(trialNumber), workspace);
    lock.lock();
    finished_[static_cast<size_t>((trialNumber - 1) % windowSize())] = 1;
    --analysing_;
    trialFinished_.notify_one();
  }
}

void TrialPipeline::settle(std::unique_lock<std::mutex>& lock) {
  claimed_ = generated_;  // what was generated and not yet taken is dropped
  trialFinished_.wait(lock, [this] { return analysing_ == 0; });
  work_ = nullptr;
  generated_ = claimed_ = merged_ = 0;
  std::fill(finished_.begin(), finished_.end(), 0);
}

void TrialPipeline::run(int32_t trialCount, TrialWork& work, Report& report) {
  if (account_ == nullptr) {
    runTrials(trialCount, work, report);
    return;
  }
  const std::vector<double> before = threadClocks();
  runTrials(trialCount, work, report);
  const std::vector<double> after = threadClocks();
  account_->threadSeconds.resize(after.size());
  for (size_t i = 0; i < after.size(); ++i) account_->threadSeconds[i] += after[i] - before[i];
}

void TrialPipeline::runTrials(int32_t trialCount, TrialWork& work, Report& report) {
  std::unique_lock lock(mutex_);
  work_ = &work;
  bool generationFailed = false;
  try {
    while (merged_ < trialCount) {
      // The oldest trial in flight, once analysed, is merged first: that frees its slot.
      const int32_t oldest = merged_ + 1;
      if (oldest <= generated_ && finished_[static_cast<size_t>((oldest - 1) % windowSize())]) {
        lock.unlock();
        TrialSlot& slot = slotOf(oldest);
        slot.console.handOn(report.console());
        slot.file.handOn(report.file());
        if (slot.failure) std::rethrow_exception(slot.failure);
        work.merge(slot);
        lock.lock();
        finished_[static_cast<size_t>((oldest - 1) % windowSize())] = 0;
        ++merged_;
        continue;
      }
      // Next, keep the stream going: every other thread waits on generated trials.
      if (!generationFailed && generated_ < trialCount && generated_ - merged_ < windowSize()) {
        const int32_t trialNumber = generated_ + 1;
        lock.unlock();
        TrialSlot& slot = slotOf(trialNumber);
        slot.trialNumber = trialNumber;
        slot.failure = nullptr;
        slot.console.clear();  // a pass that ended early may have left lines here
        slot.file.clear();
        try {
          generateSlot(work, slot);
        } catch (...) {
          slot.failure = std::current_exception();
          generationFailed = true;  // the stream stops here, as it would in order
        }
        lock.lock();
        generated_ = trialNumber;
        trialReady_.notify_one();
        continue;
      }
      // Otherwise analyse a trial here rather than wait.
      if (claimed_ < generated_) {
        const int32_t trialNumber = ++claimed_;
        lock.unlock();
        analyseSlot(work, slotOf(trialNumber), *workspaces_[0]);
        lock.lock();
        finished_[static_cast<size_t>((trialNumber - 1) % windowSize())] = 1;
        continue;
      }
      trialFinished_.wait(lock);
    }
  } catch (...) {
    if (!lock.owns_lock()) lock.lock();
    settle(lock);
    throw;
  }
  settle(lock);
}

}  // namespace survseq::search
