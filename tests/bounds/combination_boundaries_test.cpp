// src/bounds: the combination's critical values from a trial's covariances, against
// one-dimensional integrals (one look) and the independent group-sequential recursion
// (one statistic over several looks).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "bounds/boundary_computation.h"
#include "bounds/combination_boundaries.h"
#include "bounds/reference_recursion.h"

namespace survseq::bounds {
namespace {

double lowerTail(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// Simpson's rule in 24,000 steps on [a, b].
template <class F>
double simpson(F f, double a, double b) {
  const int steps = 24000;
  const double h = (b - a) / steps;
  double sum = f(a) + f(b);
  for (int i = 1; i < steps; ++i) sum += (i % 2 == 1 ? 4.0 : 2.0) * f(a + i * h);
  return sum * h / 3.0;
}

// P(M >= c) for n equicorrelated standard normals: given the shared part they are
// independent, so P(M < c) is one integral.
double maxTail(int n, double rho, double c, int sides) {
  const double sd = std::sqrt(1.0 - rho);
  return 1.0 - simpson(
                   [&](double z) {
                     const double centre = std::sqrt(rho) * z;
                     const double inner = lowerTail((c - centre) / sd) -
                                          (sides == 2 ? lowerTail((-c - centre) / sd) : 0.0);
                     return testing::phi(z) * std::pow(inner, n);
                   },
                   -12.0, 12.0);
}

// A look's covariances: variance v of every statistic, covariance rho v between them.
sim::ScoreCovariance equicorrelated(int32_t count, float variance, float rho) {
  sim::ScoreCovariance covariance;
  covariance.count = count;
  for (int32_t a = 0; a < count; ++a)
    for (int32_t b = 0; b < count; ++b) covariance(a, b) = a == b ? variance : rho * variance;
  return covariance;
}

TEST(CombinationBoundaries, OneLookSpendsAlphaOnTheMaximum) {
  // The single-look p-value of the critical value against the integral, to 1e-4 of alpha's
  // scale: the probabilities themselves carry a standard error of at most 1e-5.
  struct Case { int32_t count; float rho; int32_t sides; float alpha; };
  for (const Case& c : {Case{2, 0.5f, 1, 0.025f}, Case{2, 0.9f, 2, 0.05f},
                        Case{3, 0.3f, 1, 0.01f}, Case{4, 0.7f, 1, 0.025f},
                        Case{4, 0.7f, 2, 0.05f}, Case{5, 0.95f, 1, 0.001f}}) {
    CombinationState state;
    state.covariance[1] = equicorrelated(c.count, 37.0f, c.rho);
    const float critical = combinationCriticalValue(1, c.alpha, c.sides, state);
    EXPECT_EQ(state.criticalValue[1], critical);
    EXPECT_NEAR(maxTail(c.count, c.rho, critical, c.sides), c.alpha, 1e-4)
        << c.count << " " << c.rho << " " << c.sides;
    EXPECT_LE(state.largestError, 1e-5f);
  }
}

TEST(CombinationBoundaries, OneStatisticFollowsTheGroupSequentialRecursion) {
  // With one statistic the combination is the statistic itself: its critical values over
  // three looks are those of the recursion for the same information and spent error.
  const std::vector<double> information = {20.0, 45.0, 80.0};
  const std::vector<double> spent = {0.001, 0.01, 0.025};
  std::vector<testing::ReferenceLook> looks;
  for (size_t k = 0; k < 3; ++k) {
    looks.push_back({0.0, information[k], std::nan(""),
                     -std::numeric_limits<double>::infinity(), spent[k]});
  }
  testing::referenceCrossings(looks);
  CombinationState state;
  for (int32_t k = 1; k <= 3; ++k) {
    state.covariance[k] = equicorrelated(1, static_cast<float>(information[k - 1]), 0.0f);
    const float critical = combinationCriticalValue(k, static_cast<float>(spent[k - 1]), 1, state);
    EXPECT_NEAR(critical, looks[k - 1].upper / std::sqrt(information[k - 1]), 2e-3) << k;
  }
}

TEST(CombinationBoundaries, NoInformationOrNoErrorLeftCannotReject) {
  CombinationState state;
  state.covariance[1] = equicorrelated(2, 0.0f, 0.5f);
  EXPECT_EQ(combinationCriticalValue(1, 0.025f, 1, state), kBoundaryCap);
  state.covariance[1] = equicorrelated(2, 10.0f, 0.5f);
  EXPECT_EQ(combinationCriticalValue(1, 0.0f, 1, state), kBoundaryCap);
  // A first look that spent 0.02: at the second, a cumulative 0.015 leaves nothing.
  combinationCriticalValue(1, 0.02f, 1, state);
  state.covariance[2] = equicorrelated(2, 20.0f, 0.5f);
  EXPECT_EQ(combinationCriticalValue(2, 0.015f, 1, state), kBoundaryCap);
  EXPECT_LT(combinationCriticalValue(2, 0.025f, 1, state), kBoundaryCap);
}

}  // namespace
}  // namespace survseq::bounds
