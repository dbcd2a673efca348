// The tabulated generating vectors are the component-by-component rules they claim to be:
// for the smaller rules every component is rebuilt here from the criterion alone (the
// squared worst-case error in the weighted Korobov space of smoothness 2, product weights
// 1/j^2), the lowest z winning ties.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bounds/lattice_rules.h"

namespace survseq::bounds {
namespace {

std::vector<int32_t> componentByComponent(int32_t n) {
  std::vector<double> b2(static_cast<size_t>(n));  // 2 pi^2 B2(k / n)
  for (int32_t k = 0; k < n; ++k) {
    const double x = double(k) / n;
    b2[k] = 2.0 * M_PI * M_PI * (x * x - x + 1.0 / 6.0);
  }
  std::vector<double> product(static_cast<size_t>(n), 1.0);
  std::vector<int32_t> z;
  for (int32_t j = 1; j <= kLatticeCoordinates; ++j) {
    const double weight = 1.0 / (double(j) * j);
    int32_t best = 1;
    if (j > 1) {
      double smallest = INFINITY;
      for (int32_t candidate = 1; candidate <= (n - 1) / 2; ++candidate) {
        double sum = 0.0;
        for (int64_t k = 0; k < n; ++k) sum += product[k] * b2[(k * candidate) % n];
        if (sum < smallest) {
          smallest = sum;
          best = candidate;
        }
      }
    }
    for (int64_t k = 0; k < n; ++k) product[k] *= 1.0 + weight * b2[(k * best) % n];
    z.push_back(best);
  }
  return z;
}

TEST(LatticeRules, SmallRulesAreRebuiltComponentByComponent) {
  for (const int32_t points : {127, 251, 509, 1021}) {
    const LatticeRule rule = latticeRuleFor(points);
    ASSERT_EQ(rule.points, points);
    const std::vector<int32_t> rebuilt = componentByComponent(points);
    for (int32_t j = 0; j < kLatticeCoordinates; ++j) {
      EXPECT_EQ(rule.generator[j], rebuilt[j]) << points << " points, component " << j + 1;
    }
  }
}

}  // namespace
}  // namespace survseq::bounds
