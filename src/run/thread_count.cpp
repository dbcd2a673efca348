#include "run/thread_count.h"

#include <sched.h>

#include <string>
#include <thread>

#include "report/run_error.h"

namespace survseq::run {

int32_t usableCores() {
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
    const int count = CPU_COUNT(&cores);
    if (count > 0) return count;
  }
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? static_cast<int32_t>(hardware) : 1;
}

int32_t threadsToUse(int32_t requested) {
  if (requested < 0 || requested > kMaxThreads) {
    throw RunError("the number of threads must lie between 0 (every core) and " +
                   std::to_string(kMaxThreads) + ", not " + std::to_string(requested));
  }
  return requested == 0 ? usableCores() : requested;
}

}  // namespace survseq::run
