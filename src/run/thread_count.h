#pragma once

#include <cstdint>

namespace survseq::run {

// The most threads a run may ask for; more than the cores gains nothing.
inline constexpr int32_t kMaxThreads = 256;

// The cores this process may run on (its CPU affinity), at least 1.
int32_t usableCores();

// The threads a run uses for `requested`: 0 means usableCores(). Throws RunError for a
// negative number or one above kMaxThreads.
int32_t threadsToUse(int32_t requested);

}  // namespace survseq::run
