#include "bounds/combination_boundaries.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "bounds/boundary_computation.h"
#include "bounds/lattice_rules.h"
#include "bounds/multivariate_normal.h"
#include "bounds/normal_distribution.h"
#include "bounds/normal_quantile.h"

// The probabilities are normal box probabilities (multivariate_normal.h): the earlier
// looks that could reject are the fixed block, the look in hand the moving block, so the
// root search in c moves over the same lattice points throughout and sees a smooth
// function. The search works on log P(cross at look k) - log(target): first on few points
// from one statistic's quantile, by a Newton step with the normal hazard as slope, secant
// steps and the Illinois variant of regula falsi; then, while the error (the crossing's
// and the earlier looks') is above 1e-5, on more points from the root and slope found, by
// a Newton step first.

namespace survseq::bounds {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// What the crossing probabilities aim at; the lattice may grow to the largest rule.
constexpr double kTargetError = 1.0e-5;
constexpr double kTolerance = 1.0e-6;  // on c
// The search stops once the crossing probability is this close to its target, relatively.
constexpr double kRelativeTolerance = 1.0e-4;
// The least step outwards while the root is not bracketed.
constexpr double kLeastWidth = 0.05;
constexpr int32_t kMostSteps = 60;
// How far the slope of log crossing in c, found by secant steps on the first rule, is taken
// to be from the slope on more points, relatively, with one earlier look and with more.
// Measured on the max-combo example's trials (one- and two-sided, with its effect and with
// none; 200, 100, 60 and 40 trials): within 3.0 % at second looks and 7.0 % at third.
constexpr double kSlopeErrorAfterOneLook = 0.05;
constexpr double kSlopeErrorAfterMore = 0.10;
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
  double slope;                  // of log crossing in c, from the last two values tried
};

// Finds c with crossing(c) = target, crossing decreasing in c, starting from `first` and a
// Newton step from it with `slope`, the slope of log crossing in c (negative; otherwise a
// step of kLeastWidth the way the gap points); then secant steps outwards until the root
// is bracketed, and the Illinois variant of regula falsi on log crossing - log target.
// Nothing when crossing(kBoundaryCap) is still above the target.
template <class Crossing>
std::optional<Root> solve(Crossing crossing, double target, double first, double slope,
                          std::optional<ProbabilityEstimate> atFirst = {}) {
  struct Point {
    double c, gap;
    ProbabilityEstimate at;
  };
  const auto pointAt = [&](double c, const ProbabilityEstimate& at) {
    return Point{c, std::log(std::max(at.value, 1e-300) / target), at};
  };
  const auto point = [&](double c) { return pointAt(c, crossing(c)); };
  const auto close = [](const Point& x) { return std::fabs(x.gap) <= kRelativeTolerance; };
  Point a = atFirst ? pointAt(first, *atFirst) : point(first);
  if (close(a)) return Root{a.c, a.at, slope};
  const double second =
      slope < 0.0 ? a.c - a.gap / slope : a.c + (a.gap > 0.0 ? kLeastWidth : -kLeastWidth);
  Point b = point(std::clamp(second, 0.0, double(kBoundaryCap)));
  if (close(b)) return Root{b.c, b.at, (b.gap - a.gap) / (b.c - a.c)};
  // Outwards by secant steps (at least kLeastWidth, at most twice the last step) until
  // the gaps differ in sign.
  while ((a.gap > 0.0) == (b.gap > 0.0)) {
    const bool up = b.gap > 0.0;  // crossing too likely: c must grow
    const Point& far = up == (b.c > a.c) ? b : a;
    if (up && !(far.c < kBoundaryCap)) return std::nullopt;
    if (!up && !(far.c > 0.0)) return Root{far.c, far.at, slope};
    const double width = std::fabs(b.c - a.c);
    const double secant = b.gap != a.gap ? std::fabs(far.gap * (b.c - a.c) / (b.gap - a.gap)) : width;
    const double step = std::clamp(secant, kLeastWidth, 2.0 * width + kLeastWidth);
    const Point next = point(std::clamp(far.c + (up ? step : -step), 0.0, double(kBoundaryCap)));
    if (close(next)) return Root{next.c, next.at, (next.gap - far.gap) / (next.c - far.c)};
    a = far;
    b = next;
  }
  Point low = a.gap > 0.0 ? a : b, high = a.gap > 0.0 ? b : a;
  // The slope handed on is the secant of the last two points evaluated, nearest the root;
  // not that of the bracket, whose gaps the Illinois rule may have halved.
  Point before = a, latest = b;
  const auto latestSecant = [&] { return (latest.gap - before.gap) / (latest.c - before.c); };
  int32_t side = 0;
  for (int32_t step = 0; step < kMostSteps && high.c - low.c > kTolerance; ++step) {
    const Point x = point(high.c - high.gap * (high.c - low.c) / (high.gap - low.gap));
    before = latest;
    latest = x;
    if (close(x)) return Root{x.c, x.at, latestSecant()};
    if (x.gap > 0.0) {
      low = x;
      if (side == 1) high.gap /= 2.0;
      side = 1;
    } else {
      high = x;
      if (side == -1) low.gap /= 2.0;
      side = -1;
    }
  }
  return -low.gap < high.gap ? Root{low.c, low.at, latestSecant()}
                             : Root{high.c, high.at, latestSecant()};
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
  state.crossedBy[analysis] = std::numeric_limits<float>::quiet_NaN();
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
  // The chance of crossing at an earlier look: as estimated when the last look that took
  // part found its critical value, whose error was bounded there; otherwise (an earlier
  // critical value given by the design) from the fixed block, its error adding to the
  // crossing's.
  const int32_t last = fixed > 0 ? c.look[fixed - 1] : 0;
  const bool carried = last == 0 || !std::isnan(state.crossedBy[last]);
  // A first search on few points, then Newton steps from the root found, with the slope
  // found, on more points, as many as the error asks for.
  double value = std::nan(""), slope = 0.0;
  for (;;) {
    const ProbabilityEstimate stayed =
        !carried ? box.fixedBlock()
                 : ProbabilityEstimate{last == 0 ? 1.0 : 1.0 - double(state.crossedBy[last]), 0.0};
    const double target = double(cumulativeError) - (1.0 - stayed.value);
    if (!(target > 0.0)) return result;
    std::optional<Root> root;
    if (std::isnan(value)) {
      // One statistic's quantile lies about below the root; from it a Newton step with the
      // slope of one normal's log tail there, minus its hazard (the maximum's log tail falls
      // about as fast): on 200 of the max-combo example's trials, 4 first-rule evaluations
      // a look instead of 6 from a second start at Bonferroni's bound.
      const double single =
          std::min(double(kBoundaryCap), standardNormalQuantile(1.0 - target / sides));
      root = solve(crossing, target, single,
                   -standardNormalDensity(single) / standardNormalUpperTail(single));
    } else {
      // On more points the root moves little: one evaluation at the root found on fewer, and
      // a Newton step from it with the slope found there, taken without evaluating again
      // when what a slope wrong by slopeError would make of it is within the error.
      const ProbabilityEstimate at = crossing(value);
      const double gap = std::log(std::max(at.value, 1e-300) / target);
      const double slopeError = fixed <= J ? kSlopeErrorAfterOneLook : kSlopeErrorAfterMore;
      const double stepError = slopeError * std::fabs(gap) * target;
      const double step = slope < 0.0 ? value - gap / slope : -1.0;
      const bool stepInside = step > 0.0 && step < kBoundaryCap;
      if (stepInside &&
          std::hypot(at.standardError, stepError, stayed.standardError) <= kTargetError) {
        root = Root{step, {target, std::hypot(at.standardError, stepError)}, slope};
      } else if (stepInside && std::hypot(at.standardError, stayed.standardError) > kTargetError &&
                 box.pointsPerShift() < largestLatticeRule()) {
        // These points are too few whatever the root: the step is where the next, larger
        // rule starts from, and solving on these would be work thrown away.
        root = Root{step, at, slope};
      } else {
        root = solve(crossing, target, value, slope, at);
      }
    }
    if (!root) return result;
    value = root->value;
    if (root->slope < 0.0) slope = root->slope;
    const double error = std::hypot(root->crossing.standardError, stayed.standardError);
    if (error <= kTargetError || box.pointsPerShift() >= largestLatticeRule()) {
      state.largestError = std::max(state.largestError, static_cast<float>(error));
      state.crossedBy[analysis] = static_cast<float>((1.0 - stayed.value) + root->crossing.value);
      break;
    }
    // From the first rule the errors fall about as the number of points to the power -0.7
    // to -0.8 (measured on the max-combo example's own trials at two and three looks, the
    // highly correlated scores making the integrand steep): ask at once for what -0.65
    // says, at least twice as many points, at most 64 times. Erring towards one rule too
    // many costs less than a second step, which walks the fixed block anew (200 of the
    // example's trials: 9.0 s against 10 to 12 s with -0.8).
    const double more = std::clamp(std::pow(error / kTargetError, 1.0 / 0.65), 2.0, 64.0);
    // A request beyond the largest rule gets the largest rule.
    box.growTo(static_cast<int32_t>(more * box.pointsPerShift()));
  }
  result = static_cast<float>(value);
  return result;
}

}  // namespace survseq::bounds
