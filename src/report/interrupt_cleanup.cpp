#include "report/interrupt_cleanup.h"

#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <mutex>

namespace survseq::report {

namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
constexpr size_t kSlotCount = 4;

// The handler reads only these, and only through lock-free atomics and unlink, which
// are safe in a signal handler.
struct Slot {
  std::atomic<bool> used{false};
  char path[PATH_MAX] = {};
};
static_assert(std::atomic<bool>::is_always_lock_free);
std::array<Slot, kSlotCount> slots;
std::array<struct sigaction, kSignals.size()> previousActions{};
std::array<bool, kSignals.size()> handled{};

std::mutex recordingMutex;
int recordedCount = 0;

sigset_t interruptSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kSignals) sigaddset(&set, signal);
  return set;
}

void removeRecordedAndEnd(int signal) {
  for (Slot& slot : slots) {
    if (slot.used.load()) ::unlink(slot.path);
  }
  // The signal is held back until the handler returns; by then the action it had
  // before is back in place and ends the process (or does whatever it was set to do).
  for (size_t i = 0; i < kSignals.size(); ++i) {
    if (kSignals[i] == signal) ::sigaction(signal, &previousActions[i], nullptr);
  }
  ::raise(signal);
}

void installHandlers() {
  struct sigaction action {};
  action.sa_handler = removeRecordedAndEnd;
  action.sa_mask = interruptSignals();
  for (size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], nullptr, &previousActions[i]);
    // A signal the caller ignores (as under nohup) stays ignored.
    handled[i] = previousActions[i].sa_handler != SIG_IGN;
    if (handled[i]) ::sigaction(kSignals[i], &action, nullptr);
  }
}

void restoreHandlers() {
  for (size_t i = 0; i < kSignals.size(); ++i) {
    if (handled[i]) ::sigaction(kSignals[i], &previousActions[i], nullptr);
  }
}

}  // namespace

InterruptHold::InterruptHold() {
  const sigset_t signals = interruptSignals();
  ::pthread_sigmask(SIG_BLOCK, &signals, &previousMask_);
}

InterruptHold::~InterruptHold() { ::pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr); }

int removeOnInterrupt(const std::string& path) {
  if (path.size() >= PATH_MAX) return -1;
  const std::lock_guard<std::mutex> lock(recordingMutex);
  for (size_t i = 0; i < slots.size(); ++i) {
    if (slots[i].used.load()) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].used.store(true);
    if (recordedCount++ == 0) installHandlers();
    return static_cast<int>(i);
  }
  return -1;
}

void forgetOnInterrupt(int slot) {
  if (slot < 0) return;
  const std::lock_guard<std::mutex> lock(recordingMutex);
  slots[static_cast<size_t>(slot)].used.store(false);
  if (--recordedCount == 0) restoreHandlers();
}

}  // namespace survseq::report
