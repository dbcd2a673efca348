// Where the gap-halving exchange sort puts the records of one time among themselves,
// found in time linear in the number of records instead of by running the sort. (The
// records "of one time" are those with a key in one range; the times are keys here.)
//
// Each gap of the sort leaves every residue class modulo the gap in stable sorted order
// (see gapHalvingSort). For the records of one time v, call the others "below" (time < v)
// and "above". A stable sort of a class puts its below records first, then its v records
// in the order they came, then its above records - whatever the times below and above v
// are among themselves. So the positions of the v records after every gap follow from two
// things only: where they stood before, and how many below records each class holds. And
// after a gap g a class c holds its below records in its first slots, c, c + g, c + 2g,
// ..., so the counts of the next gap h = g / 2 follow from those of gap g alone:
//  - g = 2h: slot c + 2hj stays in class c mod h, so class c' of h gathers classes c' and
//    c' + h of g;
//  - g = 2h + 1: slot c + (2h + 1)j lies in class (c + j) mod h, so the below records of
//    class c of g fall on consecutive classes of h from c mod h on, round and round.
// That costs a pass over the records for the first gap and then work in proportion to the
// gaps, m / 2 + m / 4 + ... < m, besides reordering the few v records at each gap.

#include "sim/tie_order.h"

#include <algorithm>

namespace survseq::sim {

namespace {

// An equal record during the sort: its position in the high half, its index in the low.
uint64_t tracked(uint64_t position, uint64_t index) { return position << 32 | index; }
int32_t positionOf(uint64_t record) { return static_cast<int32_t>(record >> 32); }

// The below counts of the classes of gap h, from those of gap g = 2h or 2h + 1.
// `counts` holds the g counts on entry and the h counts on return; `spread` has room for
// h + 1 entries.
void countsOfNextGap(int32_t g, int32_t h, int32_t* counts, int32_t* spread) {
  if (g == 2 * h) {
    for (int32_t c = 0; c < h; ++c) counts[c] += counts[c + h];
    return;
  }
  // Every class of h receives `whole` from each full round; the rest of a class of g lands
  // on a run of consecutive classes, added into `spread` as differences.
  int32_t whole = 0;
  std::fill(spread, spread + h + 1, 0);
  for (int32_t c = 0, start = 0; c < g; ++c, start = start + 1 == h ? 0 : start + 1) {
    int32_t rest = counts[c];
    if (rest >= h) {
      whole += rest / h;
      rest %= h;
    }
    if (rest == 0) continue;
    ++spread[start];
    if (start + rest <= h) {
      --spread[start + rest];
    } else {
      --spread[h];
      ++spread[0];
      --spread[start + rest - h];
    }
  }
  for (int32_t c = 0, running = 0; c < h; ++c) {
    running += spread[c];
    counts[c] = whole + running;
  }
}

}  // namespace

void gapHalvingTieOrder(std::span<const uint64_t> keys, uint64_t low, uint64_t high,
                        std::span<uint64_t> order, std::span<int32_t> work) {
  const auto m = static_cast<int32_t>(keys.size());
  int32_t g = m / 2;
  int32_t* counts = work.data();
  int32_t* spread = work.data() + g;
  int32_t equalCount = 0;
  std::fill(counts, counts + g, 0);
  for (int32_t p = 0, c = 0; p < m; ++p, c = c + 1 == g ? 0 : c + 1) {
    const uint64_t key = keys[static_cast<size_t>(p)];
    counts[c] += key < low ? 1 : 0;
    if (key >= low && key < high) {
      const auto index = static_cast<uint64_t>(p);
      order[static_cast<size_t>(equalCount++)] = tracked(index, index);
    }
  }
  const auto equal = order.first(static_cast<size_t>(equalCount));
  for (; g >= 1; g /= 2) {
    // By class, and within a class in the order of position, the order the stable sort
    // of the class keeps; the r-th of class c goes to slot counts[c] + r of the class.
    std::sort(equal.begin(), equal.end(), [g](uint64_t a, uint64_t b) {
      const int32_t ca = positionOf(a) % g, cb = positionOf(b) % g;
      return ca != cb ? ca < cb : a < b;
    });
    int32_t previousClass = -1, rank = 0;
    for (uint64_t& record : equal) {
      const int32_t c = positionOf(record) % g;
      rank = c == previousClass ? rank + 1 : 0;
      previousClass = c;
      record = tracked(static_cast<uint64_t>(c + g * (counts[c] + rank)), record & 0xFFFFFFFFu);
    }
    if (g > 1) countsOfNextGap(g, g / 2, counts, spread);
  }
  // After the last gap, 1, the records stand in the order of their positions.
  for (uint64_t& record : equal) record &= 0xFFFFFFFFu;
}

}  // namespace survseq::sim
