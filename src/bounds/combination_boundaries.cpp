#include "bounds/combination_boundaries.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "bounds/boundary_computation.h"
#include "bounds/multivariate_normal.h"
#include "bounds/normal_quantile.h"

// The probabilities are normal box probabilities (multivariate_normal.h): the earlier
// looks that could reject are the fixed block, the look in hand the moving block, so the
// root search in c moves over the same lattice points throughout and sees a smooth
// function. The search works on log P(cross at look k) - log(target) by the Illinois
// variant of regula falsi, which needs only that the function be continuous.

namespace survseq::bounds {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// What the crossing probabilities aim at, and the points per shift the lattice may grow to.
constexpr double kTargetError = 1.0e-5;
constexpr int32_t kMostPoints = 1 << 14;
constexpr double kTolerance = 1.0e-6;  // on c
// The search stops once the crossing probability is this close to its target, relatively.
constexpr double kRelativeTolerance = 1.0e-4;
// The least widening of a bracket, and the half-width of the bracket about an earlier root.
constexpr double kLeastWidth = 0.05;
constexpr double kNearWidth = 0.02;
constexpr int32_t kMostSteps = 60;
// An interim look with this share of the planned information spends no error.
constexpr float kNearlyComplete = 0.99f;

// The earlier looks that took part in the test (their critical value below the cap) and
// the look in hand, in that order, with the correlations of their standardised scores.
struct Coordinates {
  std::vector<int32_t> look, statistic;
  std::vector<double> correlation;
};

Coordinates coordinatesOf(int32_t analysis, const CombinationState& state) {
  Coordinates c;
  const int32_t J = state.covariance[analysis].count;
  for (int32_t k = 1; k <= analysis; ++k) {
    if (k < analysis && !(state.criticalValue[k] < kBoundaryCap)) continue;
    for (int32_t j = 0; j < J; ++j) {
      c.look.push_back(k);
      c.statistic.push_back(j);
    }
  }
  const size_t n = c.look.size();
  c.correlation.resize(n * n);
  for (size_t a = 0; a < n; ++a) {
    for (size_t b = 0; b < n; ++b) {
      const int32_t ka = c.look[a], kb = c.look[b], ja = c.statistic[a], jb = c.statistic[b];
      const double shared = state.covariance[std::min(ka, kb)](ja, jb);
      c.correlation[a * n + b] =
          shared / std::sqrt(double(state.covariance[ka](ja, ja)) * state.covariance[kb](jb, jb));
    }
  }
  return c;
}

struct Root {
  double value;
  ProbabilityEstimate crossing;  // at value
};

// Finds c with crossing(c) = target, crossing decreasing in c, from the bracket [low, high]
// widened as needed; nothing when crossing(kBoundaryCap) is still above the target. The
// search works on log crossing - log target by the Illinois variant of regula falsi.
template <class Crossing>
std::optional<Root> solve(Crossing crossing, double target, double low, double high) {
  const auto gap = [&](const ProbabilityEstimate& e) {
    return std::log(std::max(e.value, 1e-300) / target);
  };
  ProbabilityEstimate atHigh = crossing(high);
  double gapHigh = gap(atHigh);
  while (gapHigh > 0.0) {
    if (!(high < kBoundaryCap)) return std::nullopt;
    high = std::min(double(kBoundaryCap), high + std::max(2.0 * (high - low), kLeastWidth));
    atHigh = crossing(high);
    gapHigh = gap(atHigh);
  }
  ProbabilityEstimate atLow = crossing(low);
  double gapLow = gap(atLow);
  while (gapLow < 0.0 && low > 0.0) {
    low = std::max(0.0, low - std::max(2.0 * (high - low), kLeastWidth));
    atLow = crossing(low);
    gapLow = gap(atLow);
  }
  if (gapLow <= 0.0) return Root{low, atLow};
  int32_t side = 0;
  for (int32_t step = 0; step < kMostSteps && high - low > kTolerance; ++step) {
    const double c = high - gapHigh * (high - low) / (gapHigh - gapLow);
    const ProbabilityEstimate at = crossing(c);
    const double g = gap(at);
    if (std::fabs(g) <= kRelativeTolerance) return Root{c, at};
    if (g > 0.0) {
      low = c;
      gapLow = g;
      atLow = at;
      if (side == 1) gapHigh /= 2.0;
      side = 1;
    } else {
      high = c;
      gapHigh = g;
      atHigh = at;
      if (side == -1) gapLow /= 2.0;
      side = -1;
    }
  }
  return -gapLow < gapHigh ? Root{low, atLow} : Root{high, atHigh};
}

}  // namespace

float combinationCumulativeError(const input::DesignParameters& design, int32_t analysis,
                                 float information) {
  if (analysis == design.analysisCount) return design.typeIError;
  if (design.boundaryMethod == input::ErrorSplit) return design.errorSplit[analysis];
  const int32_t first = design.combinationStatistics[0];
  const float ceiling = design.informationCeiling[first];
  const float fraction =
      information <= ceiling ? static_cast<float>(double(information) / double(ceiling)) : 1.0f;
  // Nearly all the information is in: nothing is spent here (what was allowed by now is at
  // most what the earlier looks could cross with, so the look is not tested).
  if (!(fraction < kNearlyComplete)) return 0.0f;
  return designSpentError(design, fraction, information, design.informationFloor[first]);
}

float combinationCriticalValue(int32_t analysis, float cumulativeError, int32_t sides,
                               CombinationState& state) {
  float& result = state.criticalValue[analysis];
  result = kBoundaryCap;
  const int32_t J = state.covariance[analysis].count;
  for (int32_t j = 0; j < J; ++j) {
    if (!(state.covariance[analysis](j, j) > 0.0f)) return result;
  }
  const Coordinates c = coordinatesOf(analysis, state);
  const auto n = static_cast<int32_t>(c.look.size());
  const int32_t fixed = n - J;
  std::vector<double> lower(static_cast<size_t>(fixed)), upper(static_cast<size_t>(fixed));
  for (int32_t i = 0; i < fixed; ++i) {
    upper[i] = state.criticalValue[c.look[i]];
    lower[i] = sides == 2 ? -upper[i] : -kInfinity;
  }
  // The moving block is ordered, and the fixed block tilted, for limits near where the
  // root will be: Bonferroni's bound on what is allowed by now.
  const double guess = standardNormalQuantile(1.0 - double(cumulativeError) / (sides * J));
  const std::vector<double> guessUpper(static_cast<size_t>(J), guess);
  const std::vector<double> guessLower(static_cast<size_t>(J), sides == 2 ? -guess : -kInfinity);
  BoxProbability box(c.correlation, n, J, lower, upper, guessLower, guessUpper);
  std::vector<double> movingLower(static_cast<size_t>(J)), movingUpper(static_cast<size_t>(J));
  const auto crossing = [&](double criticalValue) {
    std::fill(movingUpper.begin(), movingUpper.end(), criticalValue);
    std::fill(movingLower.begin(), movingLower.end(), sides == 2 ? -criticalValue : -kInfinity);
    return box.outside(movingLower, movingUpper);
  };
  // A first search on few points, then searches near the root found on more, as many as
  // the error asks for.
  double value = std::nan("");
  for (;;) {
    // What is left to spend: the error allowed by now less the chance of crossing earlier,
    // whose estimate's error adds to the crossing's.
    const ProbabilityEstimate earlier = box.fixedBlock();
    const double target = double(cumulativeError) - (1.0 - earlier.value);
    if (!(target > 0.0)) return result;
    // Bonferroni's bound lies above the root, one statistic's quantile about below it.
    const double bonferroni = standardNormalQuantile(1.0 - target / (sides * J));
    const double high = std::isnan(value) ? std::min(double(kBoundaryCap), bonferroni)
                                          : std::min(double(kBoundaryCap), value + kNearWidth);
    const double low = std::isnan(value) ? std::min(high, standardNormalQuantile(1.0 - target / sides))
                                         : std::max(0.0, value - kNearWidth);
    const std::optional<Root> root = solve(crossing, target, low, high);
    if (!root) return result;
    value = root->value;
    const double error = std::hypot(root->crossing.standardError, earlier.standardError);
    if (error <= kTargetError || box.pointsPerShift() >= kMostPoints) {
      state.largestError = std::max(state.largestError, static_cast<float>(error));
      break;
    }
    // Lattice errors fall at least as the number of points to the power -1.5 here.
    const double more = std::clamp(std::pow(error / kTargetError, 1.0 / 1.5), 2.0, 16.0);
    box.growTo(static_cast<int32_t>(std::min(double(kMostPoints), more * box.pointsPerShift())));
  }
  result = static_cast<float>(value);
  return result;
}

}  // namespace survseq::bounds
