#include "bounds/gauss_legendre.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace survseq::bounds {
namespace {

constexpr int kOrder = 2 * kQuadratureNodes;

// P_24(x) and its derivative by the three-term recurrence.
std::pair<double, double> legendre(double x) {
  double previous = 1.0;
  double current = x;
  for (int n = 2; n <= kOrder; ++n) {
    const double next = ((2.0 * n - 1.0) * x * current - (n - 1.0) * previous) / n;
    previous = current;
    current = next;
  }
  const double derivative = kOrder * (x * current - previous) / (x * x - 1.0);
  return {current, derivative};
}

TEST(GaussLegendre, NodesAndWeightsAreThoseOfTheLegendrePolynomial) {
  for (int m = 0; m < kQuadratureNodes; ++m) {
    // The m-th positive root counted from 0 is the (12 - m)-th counted from 1; start
    // Newton's method from the usual cosine estimate.
    const int fromTop = kQuadratureNodes - m;
    double x = std::cos(M_PI * (fromTop - 0.25) / (kOrder + 0.5));
    for (int iteration = 0; iteration < 50; ++iteration) {
      const auto [value, derivative] = legendre(x);
      x -= value / derivative;
    }
    const double weight = 2.0 / ((1.0 - x * x) * std::pow(legendre(x).second, 2));
    EXPECT_NEAR(kQuadratureNode[m], x, 1e-7) << m;
    EXPECT_NEAR(kQuadratureWeight[m], weight, 1e-8) << m;
  }
}

TEST(GaussLegendre, IntegratesEvenPowersUpTo46) {
  // The 24-point rule is exact for polynomials of degree 47; the float weights and
  // nodes leave an error of a few 1e-7.
  for (int power = 0; power <= 46; power += 2) {
    double sum = 0.0;
    for (int m = 0; m < kQuadratureNodes; ++m) {
      sum += double(kQuadratureWeight[m]) * 2.0 * std::pow(double(kQuadratureNode[m]), power);
    }
    EXPECT_NEAR(sum, 2.0 / (power + 1), 1e-6) << power;
  }
}

}  // namespace
}  // namespace survseq::bounds
