#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "build_kind.h"
#include "sim/probability_powers.h"

namespace survseq::sim {
namespace {

using survseq::testing::kSanitizedBuild;

// The library's pow reached through a pointer the compiler cannot see through, so that it
// cannot turn pow(x, 2.0) into x * x on its own.
double (*volatile libraryPow)(double, double) = static_cast<double (*)(double, double)>(std::pow);

// Runs `check(p)` on every float p in [kSmallestShortcutBase, 1] and counts the failures.
template <class Check>
int64_t failuresOverTheShortcutRange(Check check) {
  int64_t failures = 0;
  const uint32_t last = std::bit_cast<uint32_t>(1.0f);
  for (uint32_t bits = std::bit_cast<uint32_t>(kSmallestShortcutBase); bits <= last; ++bits) {
    failures += check(std::bit_cast<float>(bits)) ? 0 : 1;
  }
  return failures;
}

bool same(double a, double b) { return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b); }

// About a quarter of a billion floats, a few powers each: some seconds per test.
TEST(ProbabilityPowers, ShortcutsOfEveryFloatProbabilityAreTheLibrarysPowers) {
  if (kSanitizedBuild) GTEST_SKIP() << "exhaustive check: run in the optimised build only";
  EXPECT_EQ(failuresOverTheShortcutRange([](float p) {
              const double x = p;
              return same(powerOfProbability(p, 0.0), libraryPow(x, 0.0)) &&
                     same(powerOfProbability(p, 1.0), libraryPow(x, 1.0)) &&
                     same(powerOfProbability(p, 2.0), libraryPow(x, 2.0));
            }),
            0);
}

TEST(ProbabilityPowers, ShortcutsOfEveryFloatComplementAreTheLibrarysPowers) {
  if (kSanitizedBuild) GTEST_SKIP() << "exhaustive check: run in the optimised build only";
  EXPECT_EQ(failuresOverTheShortcutRange([](float p) {
              const double x = 1.0 - double(p);
              return same(powerOfComplement(p, 0.0), libraryPow(x, 0.0)) &&
                     same(powerOfComplement(p, 1.0), libraryPow(x, 1.0)) &&
                     same(powerOfComplement(p, 2.0), libraryPow(x, 2.0));
            }),
            0);
}

TEST(ProbabilityPowers, SquareRootsOfEveryFloatProbabilityAndComplementAreTheLibrarysPowers) {
  if (kSanitizedBuild) GTEST_SKIP() << "exhaustive check: run in the optimised build only";
  EXPECT_EQ(failuresOverTheShortcutRange([](float p) {
              return same(powerOfProbability(p, 0.5), libraryPow(double(p), 0.5)) &&
                     same(powerOfComplement(p, 0.5), libraryPow(1.0 - double(p), 0.5));
            }),
            0);
}

// The plain product and square root are not enough: the library rounds some squares of
// the complement and some roots otherwise. Outside the shortcut range, and for other
// exponents, the result is the library's.
TEST(ProbabilityPowers, TheLibraryRoundsSomeSquaresAndRootsOtherwise) {
  int32_t squares = 0, roots = 0;
  for (float p = 0.001f; p < 1.0f; p += 0.0001f) {
    const double x = 1.0 - double(p);
    squares += same(x * x, libraryPow(x, 2.0)) ? 0 : 1;
    roots += same(std::sqrt(double(p)), libraryPow(double(p), 0.5)) ? 0 : 1;
    ASSERT_TRUE(same(powerOfComplement(p, 2.0), libraryPow(x, 2.0))) << p;
    ASSERT_TRUE(same(powerOfProbability(p, 0.5), libraryPow(double(p), 0.5))) << p;
  }
  EXPECT_GT(squares, 0);
  EXPECT_GT(roots, 0);
  for (float p : {0.0f, 0x1p-31f, 1.5f, -0.25f}) {
    for (double exponent : {0.0, 1.0, 2.0, 0.5, 3.0}) {
      EXPECT_TRUE(same(powerOfProbability(p, exponent), libraryPow(p, exponent))) << p;
      EXPECT_TRUE(same(powerOfComplement(p, exponent), libraryPow(1.0 - p, exponent))) << p;
    }
  }
  EXPECT_TRUE(same(powerOfProbability(0.3f, 1.5), libraryPow(double(0.3f), 1.5)));
}

}  // namespace
}  // namespace survseq::sim
