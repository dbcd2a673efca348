#pragma once

#include <cstdint>
#include <span>

namespace survseq::sim {

// The indices of the records whose time equals `value` (compared as floats), in the
// order in which the gap-halving exchange sort of all `time` leaves them, written to the
// start of `order`, which must have room for them all. No time may be NaN. `work` must
// hold at least time.size() + 2 entries.
void gapHalvingTieOrder(std::span<const float> time, float value, std::span<uint64_t> order,
                        std::span<int32_t> work);

}  // namespace survseq::sim
