#include "sim/uniform_generator.h"

namespace survseq::sim {

namespace {

constexpr int32_t kTableSize = 55;
// table[i] is combined with table[i + 31], i.e. the values 55 and 24 draws back.
constexpr int32_t kSecondIndexStart = 31;
constexpr int32_t kWarmUpPasses = 4;

// a - b in 32-bit arithmetic that wraps around. With a start of 0 or more every value
// stays in [0, kModulus) and nothing wraps; a negative start can drive the table out of
// that range, and then the difference wraps as 32-bit hardware arithmetic does.
int32_t difference(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace

float UniformGenerator::toUnitInterval(int32_t residue) {
  return static_cast<float>(double(residue) * double(kScale));
}

void UniformGenerator::initialise(int32_t seed) {
  initialised_ = true;
  // |seed| of the most negative seed does not fit 32 bits, hence the 64-bit start.
  const int64_t magnitude = seed < 0 ? -int64_t{seed} : int64_t{seed};
  // A seed larger in magnitude than kSeedConstant gives a negative start, which is used
  // as it stands: the table then holds values outside [0, kModulus), and so may the
  // numbers drawn from it.
  int32_t mj = static_cast<int32_t>((int64_t{kSeedConstant} - magnitude) % kModulus);

  // Spread the start value and a Fibonacci-like sequence of differences over the
  // table in the scattered order 21 i mod 55.
  table_[kTableSize] = mj;
  int32_t mk = 1;
  for (int32_t i = 1; i < kTableSize; ++i) {
    const int32_t ii = (21 * i) % kTableSize;
    table_[ii] = mk;
    mk = difference(mj, mk);
    if (mk < 0) {
      mk += kModulus;
    }
    mj = table_[ii];
  }
  // Warm up so that the first numbers no longer show the simple start pattern.
  for (int32_t pass = 1; pass <= kWarmUpPasses; ++pass) {
    for (int32_t i = 1; i <= kTableSize; ++i) {
      table_[i] = difference(table_[i], table_[1 + (i + 30) % kTableSize]);
      if (table_[i] < 0) {
        table_[i] += kModulus;
      }
    }
  }
  nextIndex_ = 0;
  nextIndexP_ = kSecondIndexStart;
}

float UniformGenerator::nextUniform(int32_t& seed) {
  if (!initialised_ || seed < 0) {
    initialise(seed);
    seed = 1;
  }
  if (++nextIndex_ > kTableSize) {
    nextIndex_ = 1;
  }
  if (++nextIndexP_ > kTableSize) {
    nextIndexP_ = 1;
  }
  int32_t mj = difference(table_[nextIndex_], table_[nextIndexP_]);
  if (mj < 0) {
    mj += kModulus;
  }
  table_[nextIndex_] = mj;
  return toUnitInterval(mj);
}

}  // namespace survseq::sim
