#pragma once

// The search's progress as R shows it: a cli progress bar per iteration (when asked for,
// in interactive sessions), and R's interrupt checked a few times a second, on the thread
// that runs the search, which is R's own. An interrupt throws RunInterrupted, which ends
// the search once every thread has stopped. The bar comes from cli's C interface, which
// needs cli's namespace loaded (the package imports from it).

#include <cpp11.hpp>

#include <chrono>
#include <cstdint>

#include "search/run_record.h"

namespace survseq::r {

class RProgress final : public search::SearchObserver {
 public:
  explicit RProgress(bool showBar) : showBar_(showBar) {}

  void iterationStarted(int32_t iterationNumber, float accrualRate, int32_t trialCount) override;
  void trialsFinished(int32_t finishedCount) override;
  void iterationFinished(const search::IterationRecord& record) override;

  // Ends the bar of an iteration that did not finish (after an interrupt or a fault).
  void close();

 private:
  // Throws RunInterrupted when R has an interrupt pending.
  static void checkInterrupt();

  bool showBar_;
  cpp11::sexp bar_ = R_NilValue;
  std::chrono::steady_clock::time_point lastCheck_ = std::chrono::steady_clock::now();
};

}  // namespace survseq::r
