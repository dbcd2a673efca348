#include "bounds/multivariate_normal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "bounds/lattice_rules.h"
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
// The largest tilt of a standardised draw: a shift t multiplies the variance of the weights
// by up to exp(t^2), and a small pivot could ask for a large one.
constexpr double kMostTilt = 3.0;

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
    : movingCount_(movingCount) {
  WalkFactor& f = factor_;
  f.dimension = dimension;
  f.fixedCount = dimension - movingCount;
  const bool orderMoving = !movingLower.empty();
  if (dimension < 1 || dimension > kMaxNormalDimension || movingCount < 0 ||
      movingCount > dimension ||
      covariance.size() != static_cast<size_t>(dimension) * dimension ||
      fixedLower.size() != static_cast<size_t>(f.fixedCount) ||
      fixedUpper.size() != static_cast<size_t>(f.fixedCount) ||
      (orderMoving && (movingLower.size() != static_cast<size_t>(movingCount) ||
                       movingUpper.size() != static_cast<size_t>(movingCount)))) {
    throw RunError("a normal box probability was asked with inconsistent sizes");
  }
  f.fixedLower.assign(fixedLower.begin(), fixedLower.end());
  f.fixedUpper.assign(fixedUpper.begin(), fixedUpper.end());
  f.fixedLower.insert(f.fixedLower.end(), movingLower.begin(), movingLower.end());
  f.fixedUpper.insert(f.fixedUpper.end(), movingUpper.begin(), movingUpper.end());
  f.fixedLower.resize(static_cast<size_t>(dimension), -INFINITY);
  f.fixedUpper.resize(static_cast<size_t>(dimension), INFINITY);
  std::vector<int32_t> order;
  f.cholesky = orderedCholesky({covariance.begin(), covariance.end()}, dimension, f.fixedCount,
                               orderMoving, f.fixedLower, f.fixedUpper, order);
  f.fixedLower.resize(static_cast<size_t>(f.fixedCount));
  f.fixedUpper.resize(static_cast<size_t>(f.fixedCount));
  for (int32_t r = 0; r < movingCount; ++r) {
    movingOrder_.push_back(order[f.fixedCount + r] - f.fixedCount);
  }
  const int32_t n = dimension;
  f.attachedTo.assign(static_cast<size_t>(n), -1);
  f.attached.resize(static_cast<size_t>(n));
  f.drawn.assign(static_cast<size_t>(n), 0);
  for (int32_t r = 0; r < n; ++r) {
    const double scale = std::sqrt(covariance[order[r] * (n + 1)]);
    if (f.cholesky[r * n + r] > 0.0) continue;
    const int32_t begin = r < f.fixedCount ? 0 : f.fixedCount;
    for (int32_t m = r - 1; m >= begin; --m) {
      if (f.cholesky[m * n + m] > 0.0 &&
          std::fabs(f.cholesky[r * n + m]) > kNoCoefficient * scale) {
        f.attachedTo[r] = m;
        f.attached[m].push_back(r);
        break;
      }
    }
  }
  // A row reads the draws before it, an attached row those before the row it is attached to.
  for (int32_t r = 0; r < n; ++r) {
    const double scale = std::sqrt(covariance[order[r] * (n + 1)]);
    const int32_t read = f.attachedTo[r] >= 0 ? f.attachedTo[r] : r;
    for (int32_t m = 0; m < read; ++m) {
      if (std::fabs(f.cholesky[r * n + m]) > kNoCoefficient * scale) f.drawn[m] = 1;
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
  f.tilt.assign(static_cast<size_t>(n), 0.0);
  const bool finite = orderMoving && std::all_of(movingUpper.begin(), movingUpper.end(),
                                                 [](double x) { return std::isfinite(x); });
  const bool below = std::all_of(movingLower.begin(), movingLower.end(),
                                 [](double x) { return x == -INFINITY; });
  symmetric_ = finite;
  for (int32_t r = 0; r < movingCount; ++r) {
    symmetric_ = symmetric_ && movingLower[r] == -movingUpper[r];
  }
  for (int32_t i = 0; i < f.fixedCount; ++i) {
    symmetric_ = symmetric_ && f.fixedLower[i] == -f.fixedUpper[i];
  }
  const bool upwards = finite && (below || symmetric_);
  if (upwards) {
    double limit = 0.0, variance = 0.0;
    for (const double x : movingUpper) limit += x / movingCount;
    for (int32_t a = f.fixedCount; a < n; ++a)
      for (int32_t b = f.fixedCount; b < n; ++b) variance += covariance[order[a] * n + order[b]];
    const double slope = variance > 0.0 ? limit * movingCount / variance : 0.0;
    for (int32_t i = 0; i < n; ++i) {
      if (!(f.cholesky[i * n + i] > 0.0) || f.attachedTo[i] >= 0) continue;
      double tilt = 0.0;
      if (i < f.fixedCount) {
        // The fixed block's mean at slope * Cov(fixed, moving) 1, which is L_ff L_mf' 1 *
        // slope in the factor's blocks, asks of its standardised draws slope * L_mf' 1: the
        // moving rows' coefficients on the row. Read off the factor, each row's tilt is
        // bounded by theirs; solved row by row, a row with a small pivot after rows whose
        // tilts were clamped would make up for them (on a trial's own covariances, a pivot of
        // 0.04 asked for the largest tilt and two-sided third looks stopped with errors of
        // 5e-5 to 2e-4 at 32,749 points).
        for (int32_t b = f.fixedCount; b < n; ++b) tilt += f.cholesky[b * n + i];
        tilt *= slope;
      } else {
        double sum = movingUpper[movingOrder_[i - f.fixedCount]];
        for (int32_t m = 0; m < i; ++m) sum -= f.cholesky[i * n + m] * f.tilt[m];
        tilt = sum / f.cholesky[i * n + i];
      }
      // Never downwards: a moving row whose limit the tilts before it already pass (its tilt
      // comes out negative) would be drawn away from it, and by far when its pivot is small,
      // which on a trial's own covariances left standard errors of 3e-5 at 32,749 points.
      f.tilt[i] = std::clamp(tilt, 0.0, kMostTilt);
    }
  }
  component_ = componentsByShare(f.cholesky, covariance, order, n);
  // The row before the moving block's last row with a pivot: the chance of leaving through
  // the last row carries most of the moving block's error, and its draw is where it comes
  // from (conditional on the fixed block, only the draws of the moving rows vary).
  std::vector<int32_t> pivoted;
  for (int32_t i = f.fixedCount; i < n; ++i) {
    if (f.cholesky[i * n + i] > 0.0 && f.attachedTo[i] < 0) pivoted.push_back(i);
  }
  if (pivoted.size() >= 2 && f.drawn[pivoted[pivoted.size() - 2]]) {
    f.stratifiedRow = pivoted[pivoted.size() - 2];
  }
  std::mt19937_64 uniforms(kShiftSeed);
  shifts_.resize(static_cast<size_t>(kLatticeShifts) * kMaxNormalDimension);
  for (double& shift : shifts_) shift = double(uniforms() >> 11) * 0x1.0p-53;
  growTo(kFirstPoints);
}

void BoxProbability::growTo(int32_t points) {
  const LatticeRule rule = latticeRuleFor(points);
  if (rule.points == points_) return;
  points_ = rule.points;
  generator_ = rule.generator;
  walkFixedBlock();
}

void BoxProbability::walkFixedBlock() {
  const int32_t n = factor_.dimension, p = factor_.fixedCount, m = movingCount_;
  const size_t total = static_cast<size_t>(kLatticeShifts) * points_;
  stride_ = paddedPoints(total);
  fixedFactor_.assign(stride_, 0.0);
  const bool summed = tilted() && leavingAsked_;
  fixedLeaving_.assign(summed ? stride_ : 0, 0.0);
  movingMean_.assign(stride_ * m, 0.0);
  movingPoint_.assign(stride_ * m, 0.0);
  // The points' coordinates, a chunk of points at a time, row by row. The lanes of a last
  // vector past the chunk's points walk whatever points of the cube the chunk held before,
  // and what they give is never read.
  constexpr size_t kChunk = 16 * kPointPadding;
  std::vector<double> chunk(kChunk * n);
  // Row i's lattice coordinate q z_j mod n, stepped from point to point by adding z_j.
  std::vector<int32_t> turn(static_cast<size_t>(n));
  size_t first = 0;  // the chunk's first point
  const auto walkChunk = [&](size_t count) {
    walkFixedPoints(factor_, chunk.data(), kChunk, count, tilted(), summed, symmetric_,
                    fixedFactor_.data() + first, summed ? fixedLeaving_.data() + first : nullptr,
                    movingMean_.data() + first, stride_);
    for (int32_t r = 0; r < m; ++r) {
      std::copy_n(&chunk[(p + r) * kChunk], count, &movingPoint_[r * stride_ + first]);
    }
    first += count;
  };
  for (int32_t s = 0; s < kLatticeShifts; ++s) {
    const double* shift = &shifts_[static_cast<size_t>(s) * kMaxNormalDimension];
    std::fill(turn.begin(), turn.end(), 0);
    for (int32_t q = 0; q < points_; ++q) {
      const size_t at = static_cast<size_t>(s) * points_ + q - first;
      // The lattice point under the baker's transformation |2x - 1|.
      for (int32_t i = 0; i < n; ++i) {
        const int32_t j = component_[i];
        const double x = double(turn[i]) / points_ + shift[j];
        chunk[i * kChunk + at] = std::fabs(2.0 * (x - std::floor(x)) - 1.0);
        turn[i] += generator_[j];
        if (turn[i] >= points_) turn[i] -= points_;
      }
      if (at + 1 == kChunk) walkChunk(kChunk);
    }
  }
  if (first < total) walkChunk(total - first);
}

template <bool Outside>
ProbabilityEstimate BoxProbability::moving(std::span<const double> lower,
                                           std::span<const double> upper) {
  const int32_t m = movingCount_;
  std::array<double, kMaxNormalDimension> low{}, high{};
  for (int32_t r = 0; r < m; ++r) {
    low[r] = lower[movingOrder_[r]];
    high[r] = upper[movingOrder_[r]];
  }
  bool doubled = symmetric_;
  for (int32_t r = 0; r < m; ++r) doubled = doubled && low[r] == -high[r];
  values_.resize(stride_);
  walkMovingPoints(factor_, low.data(), high.data(), fixedFactor_.data(), movingMean_.data(),
                   movingPoint_.data(), stride_, static_cast<size_t>(kLatticeShifts) * points_,
                   Outside, doubled, values_.data());
  return overShifts(points_, [&](size_t at) { return values_[at]; });
}

bool BoxProbability::tilted() const {
  return std::any_of(factor_.tilt.begin(), factor_.tilt.end(), [](double t) { return t != 0.0; });
}

ProbabilityEstimate BoxProbability::fixedBlock() {
  // Tilted, the fixed block is summed as the chance of leaving it, which the tilt is for;
  // those chances are summed from the first time they are asked for.
  if (tilted() && !leavingAsked_) {
    leavingAsked_ = true;
    walkFixedBlock();
  }
  if (!fixedLeaving_.empty()) {
    return overShifts(points_, [&](size_t at) { return 1.0 - fixedLeaving_[at]; });
  }
  return overShifts(points_, [&](size_t at) { return fixedFactor_[at]; });
}

ProbabilityEstimate BoxProbability::inside(std::span<const double> lower,
                                           std::span<const double> upper) {
  return moving<false>(lower, upper);
}

ProbabilityEstimate BoxProbability::outside(std::span<const double> lower,
                                            std::span<const double> upper) {
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
