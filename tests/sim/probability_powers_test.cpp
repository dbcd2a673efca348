#include "sim/probability_powers.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "build_kind.h"
#include "sim/reference.h"

namespace survseq::sim {
namespace {

using survseq::testing::kSanitizedBuild;

// Every float p in [kSmallestShortcutBase, 1], about a quarter of a billion, for each
// exponent with a shortcut: p^e and (1 - p)^e must be the library's powers, bit for bit.
// Some seconds; the sanitised build checks every 4099th float.
TEST(ProbabilityPowers, ShortcutsOfEveryFloatProbabilityAndComplementAreTheLibrarysPowers) {
  const uint32_t last = std::bit_cast<uint32_t>(1.0f);
  const uint32_t stride = kSanitizedBuild ? 4099 : 1;
  int64_t failures[2][4] = {};
  const double exponents[4] = {0.0, 1.0, 2.0, 0.5};
  for (uint32_t bits = std::bit_cast<uint32_t>(kSmallestShortcutBase); bits <= last;
       bits += stride) {
    const float p = std::bit_cast<float>(bits);
    for (int e = 0; e < 4; ++e) {
      failures[0][e] += !sameBits(powerOfProbability(p, exponents[e]), libraryPow(p, exponents[e]));
      failures[1][e] +=
          !sameBits(powerOfComplement(p, exponents[e]), libraryPow(1.0 - double(p), exponents[e]));
    }
  }
  for (int e = 0; e < 4; ++e) {
    EXPECT_EQ(failures[0][e], 0) << "p^" << exponents[e];
    EXPECT_EQ(failures[1][e], 0) << "(1 - p)^" << exponents[e];
  }
}

// The plain product and square root are not enough: the library rounds some squares of
// the complement and some roots otherwise. Outside the shortcut range, and for other
// exponents, the result is the library's.
TEST(ProbabilityPowers, TheLibraryRoundsSomeSquaresAndRootsOtherwise) {
  int32_t squares = 0, roots = 0;
  for (float p = 0.001f; p < 1.0f; p += 0.0001f) {
    const double x = 1.0 - double(p);
    squares += sameBits(x * x, libraryPow(x, 2.0)) ? 0 : 1;
    roots += sameBits(std::sqrt(double(p)), libraryPow(double(p), 0.5)) ? 0 : 1;
  }
  EXPECT_GT(squares, 0);
  EXPECT_GT(roots, 0);
  for (float p : {0.0f, 0x1p-31f, 1.5f, -0.25f, 0.3f}) {
    for (double exponent : {0.0, 1.0, 2.0, 0.5, 3.0, 1.5}) {
      EXPECT_TRUE(sameBits(powerOfProbability(p, exponent), libraryPow(p, exponent))) << p;
      EXPECT_TRUE(sameBits(powerOfComplement(p, exponent), libraryPow(1.0 - p, exponent))) << p;
    }
  }
}

}  // namespace
}  // namespace survseq::sim
