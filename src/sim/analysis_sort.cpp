// Orders the records of an analysis by observed time. The order that defines the
// results is the one of the gap-halving exchange sort, including the order it leaves
// among equal times. A radix sort finds the order of the times, and the order of equal
// times is worked out where it shows (tie_order.cpp).

#include <algorithm>
#include <array>
#include <bit>
#include <span>
#include <utility>

#include "sim/analysis_data.h"
#include "sim/tie_order.h"

namespace survseq::sim {

// The defining procedure halves the gap from m down to 1 and at each gap repeats
// exchange passes (swap i and i + gap when time[i] > time[i + gap], strictly) until a
// pass changes nothing. A pass only ever compares positions of the same residue
// modulo the gap, so the residue classes are bubble-sorted independently, and
// repeating passes until none exchanges leaves each class in the one order a stable
// sort gives it (equal times are never exchanged; a NaN time is never exchanged and
// so splits its class into parts sorted separately). Straight insertion with the same
// strict comparison produces exactly that order in every class, so it reproduces the
// exchange passes element for element - including the order of equal times, which
// the statistics depend on - with far fewer comparisons.
void gapHalvingSort(AnalysisData& data) {
  const int32_t m = data.enteredCount;
  auto& time = data.observedTime;
  auto& group = data.observedGroup;
  auto& indicator = data.eventIndicator;
  for (int32_t gap = m / 2; gap >= 1; gap /= 2) {
    for (int32_t i = gap; i < m; ++i) {
      const float keyTime = time[i];
      const float keyGroup = group[i];
      const int32_t keyIndicator = indicator[i];
      int32_t j = i;
      while (j >= gap && time[j - gap] > keyTime) {
        time[j] = time[j - gap];
        group[j] = group[j - gap];
        indicator[j] = indicator[j - gap];
        j -= gap;
      }
      time[j] = keyTime;
      group[j] = keyGroup;
      indicator[j] = keyIndicator;
    }
  }
}

namespace {

// Below this many records the exchange sort is as quick as the radix sort's fixed costs.
constexpr int32_t kSmallestRadixSort = 48;
// From this many records on, three passes of 11-bit digits beat four of 8 bits despite
// their larger tables.
constexpr int32_t kSmallestWideDigitSort = 2500;
// Ordering one block of equal times costs about two passes over the records; beyond this
// many blocks the exchange sort is the quicker way.
constexpr int32_t kMostBlocksToOrder = 32;

constexpr uint32_t kSignBit = 0x80000000u;
constexpr uint32_t kOneBits = 0x3F800000u;  // 1.0f, the treatment group
constexpr uint32_t kInfinityBits = 0x7F800000u;  // above it, with the sign bit clear: NaN

// A record in one 64-bit entry: the time, mapped to an unsigned key whose order is the
// order of the (non-NaN) floats with -0 before +0, above the group (bit 1) and the event
// indicator (bit 0). Two entries are equal exactly when the records are equal bit for bit.
uint32_t keyOf(float time) {
  const auto bits = std::bit_cast<uint32_t>(time);
  return bits ^ (bits & kSignBit ? 0xFFFFFFFFu : kSignBit);
}

uint64_t entryOf(float time, uint32_t groupBits, uint32_t event) {
  return uint64_t{keyOf(time)} << 32 | uint32_t{groupBits == kOneBits} << 1 | event;
}

float timeOf(uint64_t entry) {
  const auto key = static_cast<uint32_t>(entry >> 32);
  return std::bit_cast<float>(key & kSignBit ? key ^ kSignBit : ~key);
}

// Least-significant-digit radix sort of the m entries of `entries` by their keys, in
// `digitCount` digits of `digitBits`, through the buffers `spare` and `other`; `entries`
// itself is only read. Passes in which every key has the same digit are skipped, and the
// last pass hands each entry with its place to `place` instead of storing it. With every
// pass skipped (all keys equal) nothing is placed and the entries stand as they are.
template <int digitBits, int digitCount, class Place>
void radixSort(const uint64_t* entries, uint64_t* spare, uint64_t* other, int32_t m, Place place) {
  constexpr uint32_t kBuckets = 1u << digitBits;
  std::array<std::array<uint32_t, kBuckets>, digitCount> counts{};
  auto digit = [](uint64_t entry, int d) { return (entry >> (32 + d * digitBits)) & (kBuckets - 1); };
  for (int32_t i = 0; i < m; ++i) {
    [&]<int... d>(std::integer_sequence<int, d...>) {
      (++counts[d][digit(entries[i], d)], ...);
    }(std::make_integer_sequence<int, digitCount>());
  }
  int lastPass = -1;
  for (int d = 0; d < digitCount; ++d) {
    if (counts[static_cast<size_t>(d)][digit(entries[0], d)] != static_cast<uint32_t>(m)) lastPass = d;
  }
  const uint64_t* from = entries;
  for (int d = 0; d <= lastPass; ++d) {
    auto& start = counts[static_cast<size_t>(d)];
    if (start[digit(entries[0], d)] == static_cast<uint32_t>(m)) continue;
    for (uint32_t total = 0; uint32_t& c : start) total += std::exchange(c, total);
    if (d == lastPass) {
      for (int32_t i = 0; i < m; ++i) place(start[digit(from[i], d)]++, from[i]);
      return;
    }
    for (int32_t i = 0; i < m; ++i) spare[start[digit(from[i], d)]++] = from[i];
    from = spare;
    std::swap(spare, other);
  }
}

}  // namespace

// Both sorts leave the times in ascending order (with no NaN the last exchange pass,
// at gap 1, sees every neighbouring pair in order), so they place the same blocks of
// equal times at the same positions and can differ only within a block. A block of
// records that are identical bit for bit shows no order; the records of any other block
// are put in the exchange sort's order by gapHalvingTieOrder. With a NaN time, a group
// other than 0 or 1 or an indicator other than 0 or 1 (none of which the simulation
// produces), or with very many blocks to order, the exchange sort runs instead.
void sortAnalysisData(AnalysisData& data) {
  const int32_t m = data.enteredCount;
  if (m < kSmallestRadixSort) {
    gapHalvingSort(data);
    return;
  }
  const auto records = static_cast<size_t>(m);
  if (data.sortEntries.size() < 3 * records) data.sortEntries.resize(3 * records);
  if (data.sortCounts.size() < records + 2) data.sortCounts.resize(records + 2);
  const std::span time(data.observedTime.data(), records);
  const std::span group(data.observedGroup.data(), records);
  const std::span indicator(data.eventIndicator.data(), records);

  // The records as entries, kept unchanged in the first third of the working space.
  const std::span entries(data.sortEntries.data(), records);
  uint32_t largestMagnitude = 0;
  uint32_t unusual = 0;
  for (size_t i = 0; i < records; ++i) {
    const auto timeBits = std::bit_cast<uint32_t>(time[i]);
    const auto groupBits = std::bit_cast<uint32_t>(group[i]);
    const auto event = static_cast<uint32_t>(indicator[i]);
    largestMagnitude = std::max(largestMagnitude, timeBits & ~kSignBit);
    unusual |= (groupBits ^ (groupBits == kOneBits ? kOneBits : 0u)) | (event & ~1u);
    entries[i] = entryOf(time[i], groupBits, event);
  }
  if (unusual != 0 || largestMagnitude > kInfinityBits) {
    gapHalvingSort(data);
    return;
  }
  auto write = [&](size_t i, uint64_t entry) {
    time[i] = timeOf(entry);
    group[i] = std::bit_cast<float>(static_cast<uint32_t>(entry >> 1 & 1) * kOneBits);
    indicator[i] = static_cast<int32_t>(entry & 1);
  };
  uint64_t* const spare = entries.data() + m;
  if (m < kSmallestWideDigitSort) {
    radixSort<8, 4>(entries.data(), spare, spare + m, m, write);
  } else {
    radixSort<11, 3>(entries.data(), spare, spare + m, m, write);
  }

  // The blocks of equal times: most analyses have none.
  bool equalNeighbours = false;
  for (size_t i = 1; i < records; ++i) equalNeighbours |= time[i] == time[i - 1];
  if (!equalNeighbours) return;
  const std::span order(spare, records);
  int32_t blocksToOrder = 0;
  for (size_t first = 0, end = 1; first < records; first = end++) {
    bool differ = false;
    for (; end < records && time[end] == time[first]; ++end) {
      differ |= std::bit_cast<uint32_t>(time[end]) != std::bit_cast<uint32_t>(time[first]) ||
                std::bit_cast<uint32_t>(group[end]) != std::bit_cast<uint32_t>(group[first]) ||
                indicator[end] != indicator[first];
    }
    if (!differ) continue;
    if (++blocksToOrder > kMostBlocksToOrder) {
      // The records still stand, in their first order, in the entries.
      for (size_t r = 0; r < records; ++r) write(r, entries[r]);
      gapHalvingSort(data);
      return;
    }
    // The block's keys run from its first record's to its last's (-0 comes before +0).
    gapHalvingTieOrder(entries, uint64_t{keyOf(time[first])} << 32,
                       (uint64_t{keyOf(time[end - 1])} + 1) << 32, order, data.sortCounts);
    for (size_t r = first; r < end; ++r) write(r, entries[order[r - first]]);
  }
}

}  // namespace survseq::sim
