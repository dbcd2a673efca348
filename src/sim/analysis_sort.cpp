// Orders the records of an analysis by observed time. The order that defines the
// results is the one of the gap-halving exchange sort, including the order it leaves
// among equal times. A radix sort finds the order of the times, and the order of equal
// times is worked out where it shows (tie_order.cpp).

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
// Ordering one block of equal times costs about two passes over the records; beyond this
// many blocks the exchange sort is the quicker way.
constexpr int32_t kMostBlocksToOrder = 32;

constexpr int kDigitBits = 8;
constexpr int kDigitCount = 32 / kDigitBits;
constexpr uint32_t kBucketCount = 1u << kDigitBits;

constexpr uint32_t kSignBit = 0x80000000u;
constexpr uint32_t kOneBits = 0x3F800000u;  // 1.0f, the treatment group

// A record in one 64-bit entry: the time, mapped to an unsigned key whose order is the
// order of the (non-NaN) floats with -0 before +0, above the group (bit 1) and the event
// indicator (bit 0). Two entries are equal exactly when the records are equal bit for bit.
uint64_t entryOf(uint32_t timeBits, uint32_t treatment, uint32_t event) {
  const uint32_t key = timeBits ^ (timeBits & kSignBit ? 0xFFFFFFFFu : kSignBit);
  return uint64_t{key} << 32 | treatment << 1 | event;
}

float timeOf(uint64_t entry) {
  const auto key = static_cast<uint32_t>(entry >> 32);
  return std::bit_cast<float>(key & kSignBit ? key ^ kSignBit : ~key);
}

// Least-significant-digit radix sort of the entries by their keys; passes in which every
// key has the same digit are skipped. Returns the buffer that holds the result.
uint64_t* radixSort(uint64_t* entries, uint64_t* spare, int32_t m,
                    std::array<std::array<uint32_t, kBucketCount>, kDigitCount>& counts) {
  for (int d = 0; d < kDigitCount; ++d) {
    const int shift = 32 + d * kDigitBits;
    auto& count = counts[static_cast<size_t>(d)];
    if (count[(entries[0] >> shift) & (kBucketCount - 1)] == static_cast<uint32_t>(m)) continue;
    uint32_t start = 0;
    for (uint32_t& c : count) {
      const uint32_t n = c;
      c = start;
      start += n;
    }
    for (int32_t i = 0; i < m; ++i) {
      const uint64_t entry = entries[i];
      spare[count[(entry >> shift) & (kBucketCount - 1)]++] = entry;
    }
    std::swap(entries, spare);
  }
  return entries;
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
  if (data.sortEntries.size() < 2 * records) data.sortEntries.resize(2 * records);
  if (data.sortCounts.size() < records + 2) data.sortCounts.resize(records + 2);
  const std::span time(data.observedTime.data(), records);
  const std::span group(data.observedGroup.data(), records);
  const std::span indicator(data.eventIndicator.data(), records);

  uint64_t* entries = data.sortEntries.data();
  std::array<std::array<uint32_t, kBucketCount>, kDigitCount> counts{};
  uint32_t unusual = 0;
  for (size_t i = 0; i < records; ++i) {
    const auto timeBits = std::bit_cast<uint32_t>(time[i]);
    const auto groupBits = std::bit_cast<uint32_t>(group[i]);
    const auto event = static_cast<uint32_t>(indicator[i]);
    unusual |= static_cast<uint32_t>((timeBits & ~kSignBit) > 0x7F800000u) |
               static_cast<uint32_t>(groupBits != 0 && groupBits != kOneBits) | (event & ~1u);
    const uint64_t entry = entryOf(timeBits, groupBits == kOneBits, event);
    entries[i] = entry;
    for (int d = 0; d < kDigitCount; ++d) {
      ++counts[static_cast<size_t>(d)][(entry >> (32 + d * kDigitBits)) & (kBucketCount - 1)];
    }
  }
  if (unusual != 0) {
    gapHalvingSort(data);
    return;
  }
  uint64_t* sorted = radixSort(entries, entries + m, m, counts);
  const std::span spare(sorted == entries ? entries + m : entries, records);

  int32_t blocksToOrder = 0;
  for (int32_t i = 1; i < m; ++i) {
    // Only a key at most one above its neighbour's can be an equal float (-0 and +0).
    if ((sorted[i] >> 32) - (sorted[i - 1] >> 32) > 1) continue;
    const float value = timeOf(sorted[i - 1]);
    if (timeOf(sorted[i]) != value) continue;
    const int32_t first = i - 1;
    bool differ = false;
    for (; i < m && timeOf(sorted[i]) == value; ++i) differ |= sorted[i] != sorted[first];
    if (!differ) continue;
    if (++blocksToOrder > kMostBlocksToOrder) {
      gapHalvingSort(data);
      return;
    }
    gapHalvingTieOrder(time, value, spare, data.sortCounts);
    for (int32_t r = first; r < i; ++r) {
      const size_t j = spare[static_cast<size_t>(r - first)];
      sorted[r] = entryOf(std::bit_cast<uint32_t>(time[j]),
                          std::bit_cast<uint32_t>(group[j]) == kOneBits,
                          static_cast<uint32_t>(indicator[j]));
    }
  }
  for (size_t i = 0; i < records; ++i) {
    const uint64_t entry = sorted[i];
    time[i] = timeOf(entry);
    group[i] = entry & 2 ? 1.0f : 0.0f;
    indicator[i] = static_cast<int32_t>(entry & 1);
  }
}

}  // namespace survseq::sim
