#include "plan/crossing_probability.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bounds/reference_recursion.h"

namespace survseq::plan {
namespace {

using survseq::testing::upperTail;

// Equal information steps, no drift, the two-sided constant Z bounds of Jennison and
// Turnbull's tables 2.1 (Pocock) and 2.3 (O'Brien-Fleming, c sqrt(K / k)) at alpha 0.05:
// the crossings add up to 0.05 within the tables' three decimals.
TEST(CrossingProbability, PublishedTwoSidedBoundsSpendTheirAlpha) {
  struct Case { int32_t K; double c; bool obrienFleming; };
  for (const Case& c : {Case{2, 2.178, false}, Case{3, 2.289, false}, Case{5, 2.413, false},
                        Case{3, 2.004, true}, Case{4, 2.024, true}, Case{5, 2.040, true}}) {
    ScoreLooks looks{};
    for (int32_t k = 1; k <= c.K; ++k) {
      const double z = c.obrienFleming ? c.c * std::sqrt(double(c.K) / k) : c.c;
      looks[static_cast<size_t>(k)] = {0.0, double(k), z * std::sqrt(k), -z * std::sqrt(k)};
    }
    const Crossings crossings = crossingProbabilities(looks, c.K);
    double total = 0.0;
    for (int32_t k = 1; k <= c.K; ++k) {
      const Crossing& at = crossings[static_cast<size_t>(k)];
      total += at.upper + at.lower;
      EXPECT_NEAR(at.upper, at.lower, 1e-12);
    }
    EXPECT_NEAR(total, 0.05, 4e-4) << c.K << " " << c.c;
  }
}

// Two looks with a drift and perhaps a futility bound against the reference recursion; a
// look before any information (before any event) changes nothing.
TEST(CrossingProbability, TwoLooksWithDriftMatchTheReference) {
  struct Case { double m1, v1, m2, v2, a1, a2, f1; };
  for (const Case& c : {Case{1.0, 1.0, 2.5, 2.2, 2.8, 3.0, -INFINITY}, Case{0.3, 0.5, 0.9, 1.5, 1.6, 2.2, 0.0},
                        Case{2.0, 4.0, 3.0, 5.0, 5.9, 4.5, 1.0}}) {
    ScoreLooks looks{};
    looks[1] = {c.m1, c.v1, c.a1, c.f1};
    looks[2] = {c.m2, c.v2, c.a2, -INFINITY};
    const Crossings crossings = crossingProbabilities(looks, 2);
    std::vector<survseq::testing::ReferenceLook> reference = {{c.m1, c.v1, c.a1, c.f1},
                                                              {c.m2, c.v2, c.a2, -INFINITY}};
    const std::vector<double> up = survseq::testing::referenceCrossings(reference);
    EXPECT_NEAR(crossings[1].upper, up[0], 1e-12);
    EXPECT_NEAR(crossings[2].upper, up[1], 1e-6);
    EXPECT_NEAR(crossings[1].lower, 1.0 - upperTail((c.f1 - c.m1) / std::sqrt(c.v1)), 1e-12);
    const ScoreLooks later{ScoreLook{}, ScoreLook{0.0, 0.0, INFINITY, -INFINITY}, looks[1], looks[2]};
    const Crossings shifted = crossingProbabilities(later, 3);
    EXPECT_EQ(shifted[1].upper + shifted[1].lower, 0.0);
    EXPECT_NEAR(shifted[3].upper, crossings[2].upper, 1e-12);
  }
}

}  // namespace
}  // namespace survseq::plan
