#pragma once

// Temporary files that must not outlive a run ended by SIGINT, SIGTERM or SIGHUP. While
// such a file is recorded, those signals (unless ignored) first remove it and then end
// the process as they would have done without it.

#include <signal.h>

#include <string>

namespace survseq::report {

// Holds back the three signals in this thread while it lives, so that creating a file
// and recording it (or renaming it and forgetting it) happen as one step.
class InterruptHold {
 public:
  InterruptHold();
  ~InterruptHold();
  InterruptHold(const InterruptHold&) = delete;
  InterruptHold& operator=(const InterruptHold&) = delete;

 private:
  sigset_t previousMask_;
};

// Records `path` for removal on interrupt and returns its slot, or -1 when it cannot be
// recorded (too long a path, or too many files at once).
int removeOnInterrupt(const std::string& path);

// Forgets the file of `slot` (from removeOnInterrupt; -1 is ignored).
void forgetOnInterrupt(int slot);

}  // namespace survseq::report
