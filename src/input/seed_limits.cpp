#include "input/seed_limits.h"

#include <string>

#include "report/run_error.h"

namespace survseq::input {

namespace {

constexpr int32_t kSeedConstant = 161803398;
constexpr int32_t kWarmUpPasses = 4;

}  // namespace

void buildGeneratorTable(int32_t seed, GeneratorTable& table) {
  // |seed| of the most negative seed does not fit 32 bits, hence the 64-bit start.
  const int64_t magnitude = seed < 0 ? -int64_t{seed} : int64_t{seed};
  int32_t mj = static_cast<int32_t>((int64_t{kSeedConstant} - magnitude) % kGeneratorModulus);

  // Spread the start value and a Fibonacci-like sequence of differences over the
  // table in the scattered order 21 i mod 55.
  table[kGeneratorTableSize] = mj;
  int32_t mk = 1;
  for (int32_t i = 1; i < kGeneratorTableSize; ++i) {
    const auto ii = static_cast<size_t>((21 * i) % kGeneratorTableSize);
    table[ii] = mk;
    mk = wrappingDifference(mj, mk);
    if (mk < 0) mk += kGeneratorModulus;
    mj = table[ii];
  }
  // Warm up so that the first numbers no longer show the simple start pattern.
  for (int32_t pass = 1; pass <= kWarmUpPasses; ++pass) {
    for (int32_t i = 1; i <= kGeneratorTableSize; ++i) {
      const auto at = static_cast<size_t>(i);
      table[at] = wrappingDifference(table[at], table[static_cast<size_t>(1 + (i + 30) % 55)]);
      if (table[at] < 0) table[at] += kGeneratorModulus;
    }
  }
}

void requireSeedWithinStream(int32_t seed, int32_t line) {
  GeneratorTable table{};
  buildGeneratorTable(seed, table);
  int32_t index = kFirstIndex;
  int32_t indexP = kFirstIndexP;
  for (int32_t draw = 0; draw <= kGeneratorTableSize; ++draw) {
    const int32_t residue = nextGeneratorResidue(table, index, indexP);
    if (residue >= 0 && residue < kGeneratorModulus) continue;
    throw RunError("the seed " + std::to_string(seed) +
                       " gives random numbers outside [0, 1]; choose a seed between -" +
                       std::to_string(kSeedConstant) + " and " + std::to_string(kSeedConstant),
                   line);
  }
}

}  // namespace survseq::input
