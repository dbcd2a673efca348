// src/bounds: the combination's critical values from a trial's covariances, against
// one-dimensional integrals (one look), two-dimensional ones (two looks of equicorrelated
// statistics), the independent group-sequential recursion (one statistic over several
// looks) and a Monte Carlo of normal vectors drawn from the covariance (several statistics
// over several looks).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "bounds/boundary_computation.h"
#include "bounds/combination_boundaries.h"
#include "bounds/reference_recursion.h"

namespace survseq::bounds {
namespace {

using testing::lowerTail;
using testing::simpson;

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
                   -12.0, 12.0, 24000);
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

// The trapezoidal rule in steps of 0.1 on [-8, 8] against the standard normal density:
// for such smooth, quickly vanishing integrands its error is far below 1e-9.
template <class F>
double normalMean(F f) {
  double sum = 0.0;
  for (int i = -80; i <= 80; ++i) sum += 0.1 * testing::phi(0.1 * i) * f(0.1 * i);
  return sum;
}

// P(X < h, Y < k) for standard normals with correlation r, by Simpson's rule in 400 steps
// over [-10, min(h, 10)] of the density of X times the conditional chance of Y.
double bivariateLower(double h, double k, double r) {
  const double s = std::sqrt(1.0 - r * r);
  const auto f = [&](double x) { return testing::phi(x) * lowerTail((k - r * x) / s); };
  return simpson(f, -10.0, std::clamp(h, -10.0, 10.0), 400);
}

// For `count` statistics whose scores are sqrt(rho) B0(t) + sqrt(1 - rho) Bj(t) for
// independent Brownian motions (covariance t at an information t, rho between them), the
// chance that the largest standardised statistic first reaches c1 at information t1, and
// that it first reaches c2 at t2: given the shared motion the statistics are independent,
// which leaves a two-dimensional integral over B0(t1) and B0(t2).
std::pair<double, double> equicorrelatedCrossings(int count, double rho, double t1, double t2,
                                                  double c1, double c2) {
  const double a = std::sqrt(rho), b = std::sqrt(1.0 - rho);
  const double r = std::sqrt(t1 / t2);
  const double first = 1.0 - normalMean([&](double z1) {
    return std::pow(lowerTail((c1 - a * z1) / b), count);
  });
  const double second = normalMean([&](double z1) {
    const double w1 = std::sqrt(t1) * z1;
    const double h1 = (c1 * std::sqrt(t1) - a * w1) / b / std::sqrt(t1);
    const double stayed = std::pow(lowerTail(h1), count);
    return stayed - normalMean([&](double z2) {
             const double w2 = w1 + std::sqrt(t2 - t1) * z2;
             const double h2 = (c2 * std::sqrt(t2) - a * w2) / b / std::sqrt(t2);
             return std::pow(bivariateLower(h1, h2, r), count);
           });
  });
  return {first, second};
}

TEST(CombinationBoundaries, TwoLooksSpendTheErrorAsAnIndependentIntegralFindsIt) {
  // Each look's crossing probability at the critical values found has error at most 1e-5
  // (the searches' largest standard error, checked): three such errors are allowed. A first
  // critical value given (a Haybittle-Peto look) leaves the second look to estimate the
  // chance of crossing at the first itself.
  struct Case { int32_t count; float rho, t1, t2, first, total, given; };
  for (const Case& c : {Case{2, 0.5f, 40.0f, 80.0f, 0.005f, 0.025f, 0.0f},
                        Case{3, 0.9f, 30.0f, 90.0f, 0.001f, 0.025f, 0.0f},
                        Case{4, 0.8f, 50.0f, 80.0f, 0.01f, 0.025f, 0.0f},
                        Case{3, 0.8f, 40.0f, 80.0f, 0.0f, 0.025f, 2.8f}}) {
    CombinationState state;
    state.covariance[1] = equicorrelated(c.count, c.t1, c.rho);
    state.covariance[2] = equicorrelated(c.count, c.t2, c.rho);
    float c1 = c.given;
    if (c.given > 0.0f) {
      state.criticalValue[1] = c.given;
      state.crossedBy[1] = std::numeric_limits<float>::quiet_NaN();
    } else {
      c1 = combinationCriticalValue(1, c.first, 1, state);
    }
    const float c2 = combinationCriticalValue(2, c.total, 1, state);
    EXPECT_LE(state.largestError, 1e-5f);
    const auto [first, second] = equicorrelatedCrossings(c.count, c.rho, c.t1, c.t2, c1, c2);
    if (c.given == 0.0f) {
      EXPECT_NEAR(first, c.first, 3e-5) << c.count << " statistics";
    }
    EXPECT_NEAR(first + second, c.total, 3e-5) << c.count << " statistics";
  }
}

TEST(CombinationBoundaries, SimulatedTrialsOwnCovariancesReachTheStatedError) {
  // Looks' covariances of FH(0,0), FH(0,1), FH(1,0), FH(1,1) in simulated trials of
  // bench/designs/max_combo.toml (delayed effect, looks at 30, 42 and 54 months) and the
  // cumulative errors their looks spent.
  // - One-sided, two looks: the second has a moving row with a small pivot whose tilt
  //   towards the upper limits came out negative; drawn downwards, its crossing stopped at
  //   the largest lattice rule with a standard error of 3e-5.
  // - Two-sided, three looks: the second look's FH(1,1) keeps a pivot of 0.04; solved row by
  //   row after clamped rows, its tilt came out at the largest, and the third look stopped
  //   at the largest rule with a standard error of 2e-4.
  struct Trial {
    int32_t sides;
    std::vector<float> spent;
    std::vector<std::array<float, 16>> looks;
  };
  const Trial trials[] = {
      {1,
       {0.0049f, 0.0175f},
       {{56.6146812f, 16.8965111f, 39.718174f, 9.89061928f, 16.8965111f, 7.00589132f,
         9.89061928f, 3.63393855f, 39.718174f, 9.89061928f, 29.8275528f, 6.25668049f,
         9.89061928f, 3.63393855f, 6.25668049f, 2.0347836f},
        {73.6913452f, 27.4874496f, 46.2038956f, 13.665803f, 27.4874496f, 13.8216467f,
         13.665803f, 5.92534256f, 46.2038956f, 13.665803f, 32.5380936f, 7.7404604f,
         13.665803f, 5.92534256f, 7.7404604f, 2.88387489f}}},
      {2,
       {0.00824328139f, 0.0195692275f, 0.025f},
       {{59.6422081f, 18.9703445f, 40.6718636f, 10.5412617f, 18.9703445f, 8.42908382f,
         10.5412617f, 4.05927372f, 40.6718636f, 10.5412617f, 30.1306019f, 6.48198795f,
         10.5412617f, 4.05927372f, 6.48198795f, 2.17217135f},
        {76.3852386f, 29.5066395f, 46.8785973f, 14.1878653f, 29.5066395f, 15.3187752f,
         14.1878653f, 6.29357004f, 46.8785973f, 14.1878653f, 32.6907349f, 7.89429522f,
         14.1878653f, 6.29357004f, 7.89429522f, 2.9849577f},
        {86.4206772f, 37.545578f, 48.8750954f, 15.7346306f, 37.545578f, 21.8109455f,
         15.7346306f, 7.50229502f, 48.8750954f, 15.7346306f, 33.1404648f, 8.23233604f,
         15.7346306f, 7.50229502f, 8.23233604f, 3.24117446f}}},
  };
  for (const Trial& trial : trials) {
    SCOPED_TRACE(::testing::Message() << trial.sides << "-sided, " << trial.looks.size()
                                      << " looks");
    CombinationState state;
    for (size_t k = 1; k <= trial.looks.size(); ++k) {
      state.covariance[k].count = 4;
      for (int32_t a = 0; a < 4; ++a)
        for (int32_t b = 0; b < 4; ++b) state.covariance[k](a, b) = trial.looks[k - 1][a * 4 + b];
      EXPECT_LT(combinationCriticalValue(static_cast<int32_t>(k), trial.spent[k - 1], trial.sides,
                                         state),
                kBoundaryCap);
    }
    EXPECT_LE(state.largestError, 1e-5f);
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

// The covariances of weighted log-rank scores as a trial sums them: 600 patients, events in
// turn (the pooled survival before the i-th 1 - i/600, variance term 1/4), `events[k]` by
// look k, the statistics FH(0,0), FH(0,1), FH(1,0), FH(1,1) in that order, the first
// `count`. FH(0,0)'s weight is FH(0,1)'s plus FH(1,0)'s, so from three on the scores are
// exactly dependent.
std::vector<sim::ScoreCovariance> trialCovariances(int32_t count, const std::vector<int>& events) {
  const double rho[4] = {0.0, 0.0, 1.0, 1.0}, gamma[4] = {0.0, 1.0, 0.0, 1.0};
  std::vector<sim::ScoreCovariance> looks(events.size());
  double sum[4][4] = {};
  int event = 0;
  for (size_t k = 0; k < events.size(); ++k) {
    for (; event < events[k]; ++event) {
      const double survival = 1.0 - event / 600.0;
      double w[4];
      for (int j = 0; j < 4; ++j) w[j] = std::pow(survival, rho[j]) * std::pow(1.0 - survival, gamma[j]);
      for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) sum[a][b] += 0.25 * w[a] * w[b];
    }
    looks[k].count = count;
    for (int a = 0; a < count; ++a)
      for (int b = 0; b < count; ++b) looks[k](a, b) = static_cast<float>(sum[a][b]);
  }
  return looks;
}

// The share of `draws` normal score vectors (Cov(U_j at k, U_j' at k') the covariance at
// min(k, k'), built look by look from independent increments) whose maximum standardised
// statistic first reaches its critical value at each look; a last entry for no look.
std::vector<double> simulatedCrossings(const std::vector<sim::ScoreCovariance>& looks,
                                       const std::vector<float>& critical, int32_t sides,
                                       int draws) {
  const auto K = looks.size();
  const int J = looks[0].count;
  // Cholesky factors (with a small ridge: the increments may be singular) of the increments.
  std::vector<std::vector<double>> factor(K, std::vector<double>(J * J, 0.0));
  for (size_t k = 0; k < K; ++k) {
    std::vector<double> c(J * J);
    for (int a = 0; a < J; ++a)
      for (int b = 0; b < J; ++b)
        c[a * J + b] = looks[k](a, b) - (k > 0 ? looks[k - 1](a, b) : 0.0) + (a == b ? 1e-9 : 0.0);
    std::vector<double>& l = factor[k];
    for (int i = 0; i < J; ++i) {
      for (int j = 0; j <= i; ++j) {
        double x = c[i * J + j];
        for (int m = 0; m < j; ++m) x -= l[i * J + m] * l[j * J + m];
        l[i * J + j] = i == j ? std::sqrt(std::max(x, 0.0)) : (l[j * J + j] > 0 ? x / l[j * J + j] : 0.0);
      }
    }
  }
  std::mt19937_64 generator(20261207);
  std::normal_distribution<double> normal;
  std::vector<double> crossings(K + 1, 0.0), score(J), z(J);
  for (int d = 0; d < draws; ++d) {
    std::fill(score.begin(), score.end(), 0.0);
    size_t first = K;
    for (size_t k = 0; k < K; ++k) {
      for (double& x : z) x = normal(generator);
      double largest = -1e300;
      for (int i = 0; i < J; ++i) {
        for (int m = 0; m <= i; ++m) score[i] += factor[k][i * J + m] * z[m];
        const double statistic = score[i] / std::sqrt(double(looks[k](i, i)));
        largest = std::max(largest, sides == 2 ? std::fabs(statistic) : statistic);
      }
      if (first == K && largest >= critical[k]) first = k;
    }
    crossings[first] += 1.0 / draws;
  }
  return crossings;
}

TEST(CombinationBoundaries, CrossingsOfDrawnScoresSpendTheErrorLookByLook) {
  // 200,000 draws: a crossing share p has Monte Carlo error sqrt(p (1 - p) / 200,000), at
  // most 3.5e-4 for the overall 0.025 (one-sided) or 0.05 (two-sided); three errors allowed,
  // the lattice's own (at most about 1e-5 per probability) negligible beside them.
  struct Case { int32_t count, sides; std::vector<int> events; std::vector<float> spent; };
  for (const Case& c : {Case{2, 1, {360}, {0.025f}}, Case{4, 2, {360}, {0.05f}},
                        Case{3, 1, {180, 360}, {0.005f, 0.025f}},
                        Case{2, 2, {180, 270, 360}, {0.003f, 0.02f, 0.05f}},
                        Case{4, 1, {180, 270, 360}, {0.0015f, 0.0096f, 0.025f}}}) {
    const std::vector<sim::ScoreCovariance> looks = trialCovariances(c.count, c.events);
    CombinationState state;
    std::vector<float> critical;
    for (size_t k = 0; k < looks.size(); ++k) {
      state.covariance[k + 1] = looks[k];
      critical.push_back(combinationCriticalValue(static_cast<int32_t>(k + 1), c.spent[k], c.sides, state));
    }
    const int draws = 200000;
    const std::vector<double> crossings = simulatedCrossings(looks, critical, c.sides, draws);
    double cumulative = 0.0;
    for (size_t k = 0; k < looks.size(); ++k) {
      const double wanted = c.spent[k] - (k > 0 ? c.spent[k - 1] : 0.0);
      cumulative += crossings[k];
      const double error = std::sqrt(wanted * (1.0 - wanted) / draws);
      EXPECT_NEAR(crossings[k], wanted, 3.0 * error) << c.count << " statistics, look " << k + 1;
    }
    EXPECT_NEAR(cumulative, c.spent.back(), 3.0 * std::sqrt(c.spent.back() / draws))
        << c.count << " statistics, " << looks.size() << " looks";
  }
}

}  // namespace
}  // namespace survseq::bounds
