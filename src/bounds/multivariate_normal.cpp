#include "bounds/multivariate_normal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "bounds/lattice_rules.h"
#include "bounds/normal_quantile.h"
#include "bounds/ordered_cholesky.h"
#include "report/run_error.h"

namespace survseq::bounds {

namespace {

static_assert(kMaxNormalDimension <= kLatticeCoordinates);

// The shifts' own generator and seed: fixed, so that every box gets the same shifts.
constexpr uint64_t kShiftSeed = 0x5eed'0f'1a77'1ce5ULL;
// A coefficient below this share of its row's scale counts as none (rounding leaves some
// near 1e-5 where a dependent row has none).
constexpr double kNoCoefficient = 1.0e-3;
// The first rule: it finds the root the larger rules start from, and a first look (a
// single look's rank) reaches its error on it. On 200 of the max-combo example's trials 127
// points took 6.7 s against 7.7 s with 251.
constexpr int32_t kFirstPoints = 127;
// Draws per lattice point of the row before the moving block's last row with a pivot
// (walk()): measured at three looks of four statistics, four strata cut the crossing's
// error at 4,093 points from 1.5e-5 to 7.9e-6 (eight: 6.9e-6) for 2.8 times the moving
// block's work.
constexpr int32_t kLastDrawStrata = 4;
// The largest tilt of a standardised draw: a shift t multiplies the variance of the weights
// by up to exp(t^2), and a small pivot could ask for a large one.
constexpr double kMostTilt = 3.0;
// The standard deviations of tilted standardised draws. Shifted alone, N(t, 1) has the
// standard normal's tails, and its weight exp(t^2 / 2 - t x) grows without bound below the
// shift; drawn with a larger spread s, the weight s exp(z^2 / 2 - x^2 / 2) at x = t + s z is
// bounded, the rule that an importance density's tails be no thinner than the integrand's
// (Geweke, 1989, Econometrica 57, 1317-1339). Measured on the max-combo example's own
// trials: the crossing's error at 4,093 points fell 2.5 times at second looks and at 8,191
// points 1.6 times at third looks, best near 1.3 for the earlier looks and 1.2 for the look
// in hand (1.2 to 1.5 differ little).
constexpr double kFixedSpread = 1.3;
constexpr double kMovingSpread = 1.2;

double lowerTail(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// The standard normal density at x over that of the draw's law, N(theta, spread^2), at x =
// theta + spread z.
double densityRatio(double x, double z, double spread) {
  return spread * std::exp(0.5 * (z * z - x * x));
}

// The point whose lower tail is p, with p kept inside the open unit interval.
double quantileInside(double p) {
  constexpr double kLeast = 1.0e-300;
  constexpr double kMost = 1.0 - 1.0e-16;
  return standardNormalQuantile(std::clamp(p, kLeast, kMost));
}

// The mean and standard error over the shifted copies of the means of value(at) over each
// copy's points, the copies laid out one after another.
template <class Value>
ProbabilityEstimate overShifts(int32_t points, Value value) {
  std::array<double, kLatticeShifts> means{};
  double total = 0.0;
  for (int32_t s = 0; s < kLatticeShifts; ++s) {
    double sum = 0.0;
    for (int32_t q = 0; q < points; ++q) sum += value(static_cast<size_t>(s) * points + q);
    means[s] = sum / points;
    total += means[s];
  }
  const double mean = total / kLatticeShifts;
  double squares = 0.0;
  for (double m : means) squares += (m - mean) * (m - mean);
  return {mean, std::sqrt(squares / (kLatticeShifts * (kLatticeShifts - 1.0)))};
}

// The lattice component each row draws from. The rules' components are built for
// importance falling with their index (weights 1/j^2), while the rows come look by look:
// a look's first row carries most of what is left of its scores' variance and the rows
// after it, highly correlated with it, little. So the rows take the components in the
// order of the share of their coordinate's standard deviation that their pivot leaves
// (rows with none, last): at three looks of four statistics that alone halves the error.
std::vector<int32_t> componentsByShare(const std::vector<double>& cholesky,
                                       std::span<const double> covariance,
                                       const std::vector<int32_t>& order, int32_t n) {
  std::vector<double> share(static_cast<size_t>(n));
  for (int32_t r = 0; r < n; ++r) {
    share[r] = cholesky[r * n + r] / std::sqrt(covariance[order[r] * (n + 1)]);
  }
  std::vector<int32_t> rows(static_cast<size_t>(n));
  for (int32_t r = 0; r < n; ++r) rows[r] = r;
  std::stable_sort(rows.begin(), rows.end(),
                   [&](int32_t a, int32_t b) { return share[a] > share[b]; });
  std::vector<int32_t> component(static_cast<size_t>(n));
  for (int32_t c = 0; c < n; ++c) component[rows[c]] = c;
  return component;
}

}  // namespace

BoxProbability::BoxProbability(std::span<const double> covariance, int32_t dimension,
                               int32_t movingCount, std::span<const double> fixedLower,
                               std::span<const double> fixedUpper,
                               std::span<const double> movingLower,
                               std::span<const double> movingUpper)
    : dimension_(dimension), fixedCount_(dimension - movingCount), movingCount_(movingCount) {
  const bool orderMoving = !movingLower.empty();
  if (dimension < 1 || dimension > kMaxNormalDimension || movingCount < 0 ||
      movingCount > dimension ||
      covariance.size() != static_cast<size_t>(dimension) * dimension ||
      fixedLower.size() != static_cast<size_t>(fixedCount_) ||
      fixedUpper.size() != static_cast<size_t>(fixedCount_) ||
      (orderMoving && (movingLower.size() != static_cast<size_t>(movingCount) ||
                       movingUpper.size() != static_cast<size_t>(movingCount)))) {
    throw RunError("a normal box probability was asked with inconsistent sizes");
  }
  fixedLower_.assign(fixedLower.begin(), fixedLower.end());
  fixedUpper_.assign(fixedUpper.begin(), fixedUpper.end());
  fixedLower_.insert(fixedLower_.end(), movingLower.begin(), movingLower.end());
  fixedUpper_.insert(fixedUpper_.end(), movingUpper.begin(), movingUpper.end());
  fixedLower_.resize(static_cast<size_t>(dimension), -INFINITY);
  fixedUpper_.resize(static_cast<size_t>(dimension), INFINITY);
  std::vector<int32_t> order;
  cholesky_ = orderedCholesky({covariance.begin(), covariance.end()}, dimension, fixedCount_,
                              orderMoving, fixedLower_, fixedUpper_, order);
  fixedLower_.resize(static_cast<size_t>(fixedCount_));
  fixedUpper_.resize(static_cast<size_t>(fixedCount_));
  for (int32_t r = 0; r < movingCount; ++r) movingOrder_.push_back(order[fixedCount_ + r] - fixedCount_);
  const int32_t n = dimension;
  attachedTo_.assign(static_cast<size_t>(n), -1);
  attached_.resize(static_cast<size_t>(n));
  drawn_.assign(static_cast<size_t>(n), 0);
  for (int32_t r = 0; r < n; ++r) {
    const double scale = std::sqrt(covariance[order[r] * (n + 1)]);
    if (cholesky_[r * n + r] > 0.0) continue;
    const int32_t begin = r < fixedCount_ ? 0 : fixedCount_;
    for (int32_t m = r - 1; m >= begin; --m) {
      if (cholesky_[m * n + m] > 0.0 && std::fabs(cholesky_[r * n + m]) > kNoCoefficient * scale) {
        attachedTo_[r] = m;
        attached_[m].push_back(r);
        break;
      }
    }
  }
  // A row reads the draws before it, an attached row those before the row it is attached to.
  for (int32_t r = 0; r < n; ++r) {
    const double scale = std::sqrt(covariance[order[r] * (n + 1)]);
    const int32_t read = attachedTo_[r] >= 0 ? attachedTo_[r] : r;
    for (int32_t m = 0; m < read; ++m) {
      if (std::fabs(cholesky_[r * n + m]) > kNoCoefficient * scale) drawn_[m] = 1;
    }
  }
  // Moving limits above, with none below or the box symmetric about 0: the draws that
  // matter lie near the upper limits, where the uniform lattice puts few points. They are
  // drawn tilted there (importance sampling by a shift and a widening of each standardised
  // draw, weighted back by the ratio of the densities): the fixed block towards its
  // regression on the moving block's mean at the mean of the moving limits, the moving
  // block towards its upper limits. A symmetric box is first left through a lower limit as
  // often as through an upper one (the law is centred, and x -> -x maps the one walk onto
  // the other), so only the leaving through upper limits, which the tilt draws towards, is
  // summed, twice: the leaving downwards lies where the tilted draws hardly go.
  tilt_.assign(static_cast<size_t>(n), 0.0);
  const bool finite = orderMoving && std::all_of(movingUpper.begin(), movingUpper.end(),
                                                 [](double x) { return std::isfinite(x); });
  const bool below = std::all_of(movingLower.begin(), movingLower.end(),
                                 [](double x) { return x == -INFINITY; });
  symmetric_ = finite;
  for (int32_t r = 0; r < movingCount; ++r) {
    symmetric_ = symmetric_ && movingLower[r] == -movingUpper[r];
  }
  for (int32_t i = 0; i < fixedCount_; ++i) {
    symmetric_ = symmetric_ && fixedLower_[i] == -fixedUpper_[i];
  }
  const bool upwards = finite && (below || symmetric_);
  if (upwards) {
    double limit = 0.0, variance = 0.0;
    for (const double x : movingUpper) limit += x / movingCount;
    for (int32_t a = fixedCount_; a < n; ++a)
      for (int32_t b = fixedCount_; b < n; ++b) variance += covariance[order[a] * n + order[b]];
    const double slope = variance > 0.0 ? limit * movingCount / variance : 0.0;
    for (int32_t i = 0; i < n; ++i) {
      if (!(cholesky_[i * n + i] > 0.0) || attachedTo_[i] >= 0) continue;
      double tilt = 0.0;
      if (i < fixedCount_) {
        // The fixed block's mean at slope * Cov(fixed, moving) 1, which is L_ff L_mf' 1 *
        // slope in the factor's blocks, asks of its standardised draws slope * L_mf' 1: the
        // moving rows' coefficients on the row. Read off the factor, each row's tilt is
        // bounded by theirs; solved row by row, a row with a small pivot after rows whose
        // tilts were clamped would make up for them (on a trial's own covariances, a pivot of
        // 0.04 asked for the largest tilt and two-sided third looks stopped with errors of
        // 5e-5 to 2e-4 at 32,749 points).
        for (int32_t b = fixedCount_; b < n; ++b) tilt += cholesky_[b * n + i];
        tilt *= slope;
      } else {
        double sum = movingUpper[movingOrder_[i - fixedCount_]];
        for (int32_t m = 0; m < i; ++m) sum -= cholesky_[i * n + m] * tilt_[m];
        tilt = sum / cholesky_[i * n + i];
      }
      // Never downwards: a moving row whose limit the tilts before it already pass (its tilt
      // comes out negative) would be drawn away from it, and by far when its pivot is small,
      // which on a trial's own covariances left standard errors of 3e-5 at 32,749 points.
      tilt_[i] = std::clamp(tilt, 0.0, kMostTilt);
    }
  }
  component_ = componentsByShare(cholesky_, covariance, order, n);
  // The row before the moving block's last row with a pivot: the chance of leaving through
  // the last row carries most of the moving block's error, and its draw is where it comes
  // from (conditional on the fixed block, only the draws of the moving rows vary).
  std::vector<int32_t> pivoted;
  for (int32_t i = fixedCount_; i < n; ++i) {
    if (cholesky_[i * n + i] > 0.0 && attachedTo_[i] < 0) pivoted.push_back(i);
  }
  if (pivoted.size() >= 2 && drawn_[pivoted[pivoted.size() - 2]]) {
    stratifiedRow_ = pivoted[pivoted.size() - 2];
  }
  std::mt19937_64 uniforms(kShiftSeed);
  shifts_.resize(static_cast<size_t>(kLatticeShifts) * kMaxNormalDimension);
  for (double& shift : shifts_) shift = double(uniforms() >> 11) * 0x1.0p-53;
  growTo(kFirstPoints);
}

BoxProbability::Walk BoxProbability::walk(int32_t begin, int32_t end, const double* base,
                                          const double* lower, const double* upper,
                                          const double* w, double* draws, bool tilted,
                                          bool summed) const {
  const int32_t n = dimension_;
  // The part of row r's mean from the draws begin..i-1.
  const auto partial = [&](int32_t r, int32_t i) {
    double sum = base[r - begin];
    for (int32_t m = begin; m < i; ++m) sum += cholesky_[r * n + m] * draws[m];
    return sum;
  };
  Walk result;
  for (int32_t i = begin; i < end && result.probability > 0.0; ++i) {
    draws[i] = 0.0;
    if (attachedTo_[i] >= 0) continue;
    const double pivot = cholesky_[i * n + i];
    const double mean = partial(i, i);
    if (pivot == 0.0) {
      if (!(mean >= lower[i - begin] && mean <= upper[i - begin])) {
        result.leaving += result.probability;
        if (mean > upper[i - begin]) result.upwards += result.probability;
        result.probability = 0.0;
      }
      continue;
    }
    // The standardised draw's limits from its own row and the rows attached to it, and
    // whether each is a coordinate's upper limit: a row attached with a negative
    // coefficient turns its upper limit into the draw's lower one.
    double a = (lower[i - begin] - mean) / pivot, b = (upper[i - begin] - mean) / pivot;
    bool aFromUpper = false, bFromUpper = true;
    for (const int32_t r : attached_[i]) {
      const double coefficient = cholesky_[r * n + i];
      const double rest = partial(r, i);
      double low = (lower[r - begin] - rest) / coefficient;
      double high = (upper[r - begin] - rest) / coefficient;
      const bool turned = coefficient < 0.0;
      if (turned) std::swap(low, high);
      if (low > a) {
        a = low;
        aFromUpper = turned;
      }
      if (high < b) {
        b = high;
        bFromUpper = !turned;
      }
    }
    if (!(a < b)) {
      // No room: the draw lies beyond the limit on the side of its centre, b when the
      // limits lie below it, and that limit's kind says which way the box is left (as
      // x -> -x asks: the mirrored walk leaves the other way).
      result.leaving += result.probability;
      if (a + b < 0.0 ? bFromUpper : aFromUpper) result.upwards += result.probability;
      result.probability = 0.0;
      return result;
    }
    const double theta = tilted && drawn_[i] ? tilt_[i] : 0.0;
    // The interval's untilted chances: for the chances of leaving and the untilted draw.
    double d = 0.0, e = 1.0;
    if (summed || theta == 0.0) {
      d = a == -INFINITY ? 0.0 : lowerTail(a);
      e = b == INFINITY ? 1.0 : lowerTail(b);
      result.leaving += result.probability * ((1.0 - e) + d);
      result.upwards +=
          result.probability * ((bFromUpper ? 1.0 - e : 0.0) + (aFromUpper ? d : 0.0));
    }
    if (theta == 0.0 && i != stratifiedRow_) {
      result.probability *= e - d;
      if (drawn_[i]) draws[i] = quantileInside(d + w[i - begin] * (e - d));
      continue;
    }
    const double spread = theta == 0.0 ? 1.0 : i < fixedCount_ ? kFixedSpread : kMovingSpread;
    const double dTilted =
        theta == 0.0 ? d : a == -INFINITY ? 0.0 : lowerTail((a - theta) / spread);
    const double eTilted = theta == 0.0 ? e : b == INFINITY ? 1.0 : lowerTail((b - theta) / spread);
    if (i == stratifiedRow_) {
      // The rest of the walk, one row and those attached to it, is averaged over
      // kLastDrawStrata draws of this row, one in each stratum of its lattice coordinate.
      std::array<double, kMaxNormalDimension> restBase{};
      const double start = result.probability;
      result.probability = 0.0;
      for (int32_t k = 0; k < kLastDrawStrata; ++k) {
        const double u = (k + w[i - begin]) / kLastDrawStrata;
        const double z = quantileInside(dTilted + u * (eTilted - dTilted));
        draws[i] = theta + spread * z;
        const double weight =
            start * (eTilted - dTilted) * densityRatio(draws[i], z, spread) / kLastDrawStrata;
        for (int32_t r = i + 1; r < end; ++r) restBase[r - i - 1] = partial(r, i + 1);
        const int32_t skip = i + 1 - begin;
        const Walk rest = walk(i + 1, end, restBase.data(), lower + skip, upper + skip, w + skip,
                               draws, tilted, summed);
        result.probability += weight * rest.probability;
        result.leaving += weight * rest.leaving;
        result.upwards += weight * rest.upwards;
      }
      return result;
    }
    const double z = quantileInside(dTilted + w[i - begin] * (eTilted - dTilted));
    draws[i] = theta + spread * z;
    result.probability *= (eTilted - dTilted) * densityRatio(draws[i], z, spread);
  }
  return result;
}

void BoxProbability::growTo(int32_t points) {
  const LatticeRule rule = latticeRuleFor(points);
  if (rule.points == points_) return;
  points_ = rule.points;
  generator_ = rule.generator;
  walkFixedBlock();
}

void BoxProbability::walkFixedBlock() {
  const int32_t n = dimension_, p = fixedCount_, m = movingCount_;
  const auto total = static_cast<size_t>(kLatticeShifts) * points_;
  fixedFactor_.assign(total, 0.0);
  const bool tilted = std::any_of(tilt_.begin(), tilt_.end(), [](double t) { return t != 0.0; });
  const bool summed = tilted && leavingAsked_;
  fixedLeaving_.assign(summed ? total : 0, 0.0);
  movingMean_.assign(total * m, 0.0);
  movingPoint_.assign(total * m, 0.0);
  const std::vector<double> zeros(static_cast<size_t>(p), 0.0);
  std::vector<double> w(static_cast<size_t>(n)), draws(static_cast<size_t>(n));
  // Row i's lattice coordinate q z_j mod n, stepped from point to point by adding z_j.
  std::vector<int32_t> turn(static_cast<size_t>(n));
  for (int32_t s = 0; s < kLatticeShifts; ++s) {
    const double* shift = &shifts_[static_cast<size_t>(s) * kMaxNormalDimension];
    std::fill(turn.begin(), turn.end(), 0);
    for (int32_t q = 0; q < points_; ++q) {
      const size_t at = static_cast<size_t>(s) * points_ + q;
      // The lattice point under the baker's transformation |2x - 1|.
      for (int32_t i = 0; i < n; ++i) {
        const int32_t j = component_[i];
        const double x = double(turn[i]) / points_ + shift[j];
        w[i] = std::fabs(2.0 * (x - std::floor(x)) - 1.0);
        turn[i] += generator_[j];
        if (turn[i] >= points_) turn[i] -= points_;
      }
      const Walk fixed = walk(0, p, zeros.data(), fixedLower_.data(), fixedUpper_.data(),
                              w.data(), draws.data(), tilted, summed);
      const double factor = fixed.probability;
      fixedFactor_[at] = factor;
      if (summed) fixedLeaving_[at] = symmetric_ ? 2.0 * fixed.upwards : fixed.leaving;
      for (int32_t r = 0; r < m; ++r) {
        double mean = 0.0;
        if (factor > 0.0) {
          for (int32_t j = 0; j < p; ++j) mean += cholesky_[(p + r) * n + j] * draws[j];
        }
        movingMean_[at * m + r] = mean;
        movingPoint_[at * m + r] = w[p + r];
      }
    }
  }
}

template <bool Outside>
ProbabilityEstimate BoxProbability::moving(std::span<const double> lower,
                                           std::span<const double> upper) const {
  const int32_t p = fixedCount_, m = movingCount_;
  std::array<double, kMaxNormalDimension> low{}, high{}, draws{};
  for (int32_t r = 0; r < m; ++r) {
    low[r] = lower[movingOrder_[r]];
    high[r] = upper[movingOrder_[r]];
  }
  bool doubled = symmetric_;
  for (int32_t r = 0; r < m; ++r) doubled = doubled && low[r] == -high[r];
  return overShifts(points_, [&](size_t at) {
    const double factor = fixedFactor_[at];
    if (!(factor > 0.0)) return 0.0;
    const Walk walked = walk(p, dimension_, &movingMean_[at * m], low.data(), high.data(),
                             &movingPoint_[at * m], draws.data(), Outside, Outside);
    if (!Outside) return factor * walked.probability;
    return factor * (doubled ? 2.0 * walked.upwards : walked.leaving);
  });
}

ProbabilityEstimate BoxProbability::fixedBlock() {
  // Tilted, the fixed block is summed as the chance of leaving it, which the tilt is for;
  // those chances are summed from the first time they are asked for.
  const bool tilted = std::any_of(tilt_.begin(), tilt_.end(), [](double t) { return t != 0.0; });
  if (tilted && !leavingAsked_) {
    leavingAsked_ = true;
    walkFixedBlock();
  }
  if (!fixedLeaving_.empty()) {
    return overShifts(points_, [&](size_t at) { return 1.0 - fixedLeaving_[at]; });
  }
  return overShifts(points_, [&](size_t at) { return fixedFactor_[at]; });
}

ProbabilityEstimate BoxProbability::inside(std::span<const double> lower,
                                           std::span<const double> upper) const {
  return moving<false>(lower, upper);
}

ProbabilityEstimate BoxProbability::outside(std::span<const double> lower,
                                            std::span<const double> upper) const {
  return moving<true>(lower, upper);
}

ProbabilityEstimate boxProbability(std::span<const double> covariance, int32_t dimension,
                                   std::span<const double> lower, std::span<const double> upper,
                                   double targetError) {
  BoxProbability box(covariance, dimension, 0, lower, upper);
  ProbabilityEstimate estimate = box.fixedBlock();
  while (estimate.standardError > targetError && box.pointsPerShift() < largestLatticeRule()) {
    box.growTo(2 * box.pointsPerShift());
    estimate = box.fixedBlock();
  }
  return estimate;
}

}  // namespace survseq::bounds
