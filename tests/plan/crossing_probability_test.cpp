#include "plan/crossing_probability.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace survseq::plan {
namespace {

const double none = -std::numeric_limits<double>::infinity();

double upperTail(double x) { return 0.5 * std::erfc(x / std::sqrt(2.0)); }

// Equal information steps, no drift, the two-sided constant Z bounds of Jennison and
// Turnbull's tables 2.1 (Pocock) and 2.3 (O'Brien-Fleming, c sqrt(K / k)) at alpha 0.05:
// the crossings add up to 0.05 within the tables' three decimals.
TEST(CrossingProbability, PublishedTwoSidedBoundsSpendTheirAlpha) {
  struct Case {
    int32_t K;
    double c;
    bool obrienFleming;
  } cases[] = {{2, 2.178, false}, {3, 2.289, false}, {5, 2.413, false},
               {3, 2.004, true},  {4, 2.024, true},  {5, 2.040, true}};
  for (const Case& c : cases) {
    ScoreLooks looks{};
    for (int32_t k = 1; k <= c.K; ++k) {
      const double z = c.obrienFleming ? c.c * std::sqrt(double(c.K) / k) : c.c;
      looks[static_cast<size_t>(k)] = {0.0, double(k), z * std::sqrt(k), -z * std::sqrt(k)};
    }
    const Crossings crossings = crossingProbabilities(looks, c.K);
    double total = 0.0;
    for (int32_t k = 1; k <= c.K; ++k) {
      total += crossings[static_cast<size_t>(k)].upper + crossings[static_cast<size_t>(k)].lower;
      EXPECT_NEAR(crossings[static_cast<size_t>(k)].upper, crossings[static_cast<size_t>(k)].lower,
                  1e-12);
    }
    EXPECT_NEAR(total, 0.05, 4e-4) << c.K << " " << c.c;
  }
}

// Two looks with a drift and a futility bound, against the same probabilities by a fine
// trapezoid over the first look's score written here.
TEST(CrossingProbability, TwoLooksWithDriftMatchADirectIntegral) {
  struct Case {
    double m1, v1, m2, v2, a1, a2, f1;
  } cases[] = {{1.0, 1.0, 2.5, 2.2, 2.8, 3.0, none},
               {0.3, 0.5, 0.9, 1.5, 1.6, 2.2, 0.0},
               {2.0, 4.0, 3.0, 5.0, 5.9, 4.5, 1.0}};
  for (const Case& c : cases) {
    ScoreLooks looks{};
    looks[1] = {c.m1, c.v1, c.a1, c.f1};
    looks[2] = {c.m2, c.v2, c.a2, none};
    const Crossings crossings = crossingProbabilities(looks, 2);
    const double s1 = std::sqrt(c.v1);
    const double s = std::sqrt(c.v2 - c.v1);
    const double low = std::isfinite(c.f1) ? c.f1 : c.m1 - 12 * s1;
    const int n = 200000;
    const double h = (c.a1 - low) / n;
    double second = 0.0;
    for (int i = 0; i <= n; ++i) {
      const double x = low + h * i;
      const double g = std::exp(-0.5 * std::pow((x - c.m1) / s1, 2)) / (s1 * std::sqrt(2 * M_PI));
      second += (i == 0 || i == n ? 0.5 : 1.0) * h * g * upperTail((c.a2 - x - (c.m2 - c.m1)) / s);
    }
    EXPECT_NEAR(crossings[1].upper, upperTail((c.a1 - c.m1) / s1), 1e-12);
    if (std::isfinite(c.f1)) {
      EXPECT_NEAR(crossings[1].lower, 1.0 - upperTail((c.f1 - c.m1) / s1), 1e-12);
    }
    EXPECT_NEAR(crossings[2].upper, second, 1e-6);
    // A look before any information (a look before any event) changes nothing.
    ScoreLooks later{};
    later[1] = {0.0, 0.0, -none, none};
    later[2] = looks[1];
    later[3] = looks[2];
    const Crossings shifted = crossingProbabilities(later, 3);
    EXPECT_EQ(shifted[1].upper + shifted[1].lower, 0.0);
    EXPECT_NEAR(shifted[3].upper, crossings[2].upper, 1e-12);
  }
}

}  // namespace
}  // namespace survseq::plan
