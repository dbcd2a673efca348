#pragma once

#include <cstdint>
#include <span>

namespace survseq::sim {

// The gap-halving exchange sort compares the records by a key; here the key is any
// unsigned number whose order is the order of the sort's comparison. The records with a
// key in [low, high) count as equal: the indices of these records, in the order in which
// the exchange sort of all `keys` leaves them, are written to the start of `order`, which
// must have room for them all. `work` must hold at least keys.size() + 2 entries.
void gapHalvingTieOrder(std::span<const uint64_t> keys, uint64_t low, uint64_t high,
                        std::span<uint64_t> order, std::span<int32_t> work);

}  // namespace survseq::sim
