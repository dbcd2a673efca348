#include "r_progress.h"

#include <cli/progress.h>

#include <cstdio>
#include <string>

#include "engine_call.h"

namespace survseq::r {

namespace {

// Often enough that an interrupt stops a run well within a second.
constexpr auto kCheckInterval = std::chrono::milliseconds(100);

void checkUserInterrupt(void*) { R_CheckUserInterrupt(); }

}  // namespace

void RProgress::checkInterrupt() {
  // R_CheckUserInterrupt jumps on an interrupt; at top level the jump ends here instead,
  // and the engine unwinds by an exception.
  if (R_ToplevelExec(checkUserInterrupt, nullptr) == FALSE) throw RunInterrupted{};
}

void RProgress::iterationStarted(int32_t iterationNumber, float accrualRate,
                                 int32_t trialCount) {
  checkInterrupt();
  lastCheck_ = std::chrono::steady_clock::now();
  if (!showBar_) return;
  close();
  char name[96];
  std::snprintf(name, sizeof name, "Iteration %d, accrual rate %.4g", iterationNumber,
                double(accrualRate));
  cpp11::writable::list config({cpp11::named_arg("name") = std::string(name),
                                cpp11::named_arg("clear") = false});
  bar_ = cpp11::safe[cli_progress_bar](double(trialCount), config);
}

void RProgress::trialsFinished(int32_t finishedCount) {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastCheck_ < kCheckInterval) return;
  lastCheck_ = now;
  checkInterrupt();
  if (bar_ != R_NilValue) {
    const SEXP bar = bar_;
    cpp11::unwind_protect([&] { cli_progress_set(bar, double(finishedCount)); });
  }
}

void RProgress::iterationFinished(const search::IterationRecord&) { close(); }

void RProgress::close() {
  if (bar_ == R_NilValue) return;
  const SEXP bar = bar_;
  cpp11::unwind_protect([&] { cli_progress_done(bar); });
  bar_ = R_NilValue;
}

}  // namespace survseq::r
