#include "bounds/binding_futility.h"

#include <array>
#include <cmath>

#include "bounds/boundary_computation.h"
#include "bounds/fixed_sample.h"
#include "bounds/gauss_legendre.h"
#include "bounds/normal_distribution.h"

// The group-sequential recursion of Armitage, McPherson and Rowe (1969) for a one-sided
// test with a lower (futility) and an upper (efficacy) bound at each interim analysis, as
// in Jennison and Turnbull (2000), chapter 19.
//
// Under the null hypothesis the score S(tau) is a Brownian motion on the information scale
// tau (the information as a fraction of that of analysis k), and Z_i = S(tau_i) / sqrt(tau_i).
// A path continues past analysis i while l_i < Z_i < c_i, that is while S(tau_i) lies in
// (a_i, b_i) = sqrt(tau_i) (l_i, c_i). The sub-density g_i of S(tau_i) over the paths that
// continued at every earlier analysis is
//
//   g_1(y) = phi(y / sqrt(tau_1)) / sqrt(tau_1),
//   g_i(y) = integral over (a_(i-1), b_(i-1)) of g_(i-1)(x) phi((y - x) / s) / s dx,
//
// s^2 = tau_i - tau_(i-1), and the probability of crossing the upper bound at analysis i
// is the same integral with 1 - Phi((b_i - x) / s) in place of the normal density. The
// continuation regions are not symmetric, so each integral is taken by the full 24-point
// Gauss-Legendre rule (gauss_legendre.h) on its own region. The crossings at the earlier
// analyses are summed, and c_k is the value at which the crossing at analysis k spends
// what remains of errorSplit[k], found by bisection.

namespace survseq::bounds {

namespace {

// Bisection steps on [0, kBoundaryCap]: the bracket shrinks below 1e-9.
constexpr int kBisectionSteps = 33;


// The sub-density of one analysis at the 24 nodes of its continuation region, each value
// already multiplied by its quadrature weight (so sums over the nodes are the integrals).
struct WeightedSubDensity {
  std::array<double, 2 * kQuadratureNodes> node{};
  std::array<double, 2 * kQuadratureNodes> mass{};
};

// The nodes of the rule on (lower, upper): the midpoint plus and minus the half-width
// times u(m); the half-width scales the weights.
template <typename Density>
WeightedSubDensity onRegion(double lower, double upper, Density density) {
  WeightedSubDensity g;
  const double middle = 0.5 * (lower + upper);
  const double half = upper > lower ? 0.5 * (upper - lower) : 0.0;
  for (int m = 0; m < kQuadratureNodes; ++m) {
    for (int side = 0; side < 2; ++side) {
      const auto n = static_cast<size_t>(2 * m + side);
      g.node[n] = middle + (side == 0 ? half : -half) * double(kQuadratureNode[m]);
      g.mass[n] = half * double(kQuadratureWeight[m]) * density(g.node[n]);
    }
  }
  return g;
}

// The probability that a path continued at the analysis of g and crosses the score bound
// `bound` after a further increment of standard deviation s.
double crossing(const WeightedSubDensity& g, double s, double bound) {
  double p = 0.0;
  for (size_t n = 0; n < g.node.size(); ++n) {
    p += g.mass[n] * standardNormalUpperTail((bound - g.node[n]) / s);
  }
  return p;
}

// The continuation region of analysis i on the score scale: the futility bound is kept
// above -kBoundaryCap, below which no path comes back to cross.
double scoreLower(float fraction, float futility, float critical) {
  const double l = std::fmin(std::fmax(double(futility), -double(kBoundaryCap)), double(critical));
  return std::sqrt(double(fraction)) * l;
}

}  // namespace

void computeBindingBoundary(int32_t k, const input::AnalysisValues& t,
                            const input::AnalysisValues& errorSplit,
                            const input::AnalysisValues& futilityZ, int32_t& boundaryFailed,
                            input::AnalysisValues& c) {
  boundaryFailed = 0;
  input::AnalysisValues fraction{};
  if (k > 1) informationFractions(k, t, fraction);
  int32_t first = 1;
  while (first < k && !(fraction[first] >= kSmallestFraction)) ++first;
  if (first == k) {  // no earlier analysis has information: k is in effect the first
    c[k] = fixedSampleCriticalValue(errorSplit[k], 1);
    return;
  }

  const double rootFirst = std::sqrt(double(fraction[first]));
  double spent = standardNormalUpperTail(double(c[first]));
  WeightedSubDensity g =
      onRegion(scoreLower(fraction[first], futilityZ[first], c[first]),
               rootFirst * double(c[first]),
               [&](double y) { return standardNormalDensity(y / rootFirst) / rootFirst; });
  float retainedFraction = fraction[first];
  for (int32_t i = first + 1; i < k; ++i) {
    const float increment = fraction[i] - retainedFraction;
    if (increment < kSmallestIncrement) continue;
    const double s = std::sqrt(double(increment));
    const double upper = std::sqrt(double(fraction[i])) * double(c[i]);
    spent += crossing(g, s, upper);
    const WeightedSubDensity previous = g;
    g = onRegion(scoreLower(fraction[i], futilityZ[i], c[i]), upper, [&](double y) {
      double density = 0.0;
      for (size_t n = 0; n < previous.node.size(); ++n) {
        density += previous.mass[n] * standardNormalDensity((y - previous.node[n]) / s);
      }
      return density / s;
    });
    retainedFraction = fraction[i];
  }

  // At analysis k (fraction 1) score and statistic coincide: the crossing of c is a
  // decreasing function of c, which must meet the error left to spend below the cap.
  const double s = std::sqrt(1.0 - double(retainedFraction));
  const double target = double(errorSplit[k]) - spent;
  if (!(s > 0.0) || !(target > 0.0) || crossing(g, s, double(kBoundaryCap)) > target) {
    c[k] = kBoundaryCap;
    boundaryFailed = 1;
    return;
  }
  double lower = 0.0, upper = kBoundaryCap;
  for (int step = 0; step < kBisectionSteps; ++step) {
    const double middle = 0.5 * (lower + upper);
    (crossing(g, s, middle) > target ? lower : upper) = middle;
  }
  c[k] = static_cast<float>(0.5 * (lower + upper));
}

}  // namespace survseq::bounds
