#pragma once

// The seed and the run's random stream: the start table and the step of the portable
// subtractive generator (modulus 1e9, lags 55 and 24) that sim::UniformGenerator runs,
// kept here so that the readers can try a seed on a scratch copy before accepting it.
//
// A seed above 161803398 in magnitude gives a negative start value, used as it stands;
// for about one such seed in five the table then holds values outside [0, 1e9) and the
// stream yields numbers outside [0, 1]. Once every entry of the table has been replaced
// by a draw inside the range, every later draw stays inside, so 56 draws decide.

#include <array>
#include <cstddef>
#include <cstdint>

namespace survseq::input {

inline constexpr int32_t kGeneratorModulus = 1000000000;
inline constexpr int32_t kGeneratorTableSize = 55;
using GeneratorTable = std::array<int32_t, kGeneratorTableSize + 1>;  // [1..55]

// The table of `seed` after its warm-up; the next draws use the indices 1 and 32.
void buildGeneratorTable(int32_t seed, GeneratorTable& table);

// a - b in 32-bit arithmetic that wraps around, as hardware subtraction does (a negative
// start can drive the table out of range, and then differences wrap).
inline int32_t wrappingDifference(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// One step of the generator: advances both indices (1..55, cyclic), replaces the entry
// at the first and returns it, a residue in [0, 1e9) for every sound table.
// The indices are worked on in locals: as references they could alias the table's
// entries, and the compiler would reload them after every store.
inline int32_t nextGeneratorResidue(GeneratorTable& table, int32_t& index, int32_t& indexP) {
  int32_t i = index + 1;
  int32_t j = indexP + 1;
  if (i > kGeneratorTableSize) i = 1;
  if (j > kGeneratorTableSize) j = 1;
  int32_t residue =
      wrappingDifference(table[static_cast<size_t>(i)], table[static_cast<size_t>(j)]);
  if (residue < 0) residue += kGeneratorModulus;
  table[static_cast<size_t>(i)] = residue;
  index = i;
  indexP = j;
  return residue;
}

// Index values from which the first step draws.
inline constexpr int32_t kFirstIndex = 0;
inline constexpr int32_t kFirstIndexP = 31;

// Throws RunError naming `line` when `seed` gives numbers outside [0, 1].
void requireSeedWithinStream(int32_t seed, int32_t line);

}  // namespace survseq::input
