#include "bounds/multivariate_normal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

#include "bounds/normal_quantile.h"
#include "report/run_error.h"

namespace survseq::bounds {

namespace {

// The shifts' own generator and seed: fixed, so that every box gets the same shifts.
constexpr uint64_t kShiftSeed = 0x5eed'0f'1a77'1ce5ULL;
// A pivot at or below this share of its variance counts as no variance left.
constexpr double kSingularShare = 1.0e-12;
constexpr int32_t kMaxPoints = 1 << 20;
constexpr int32_t kFirstPoints = 256;

double lowerTail(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// The point whose lower tail is p, with p kept inside the open unit interval.
double quantileInside(double p) {
  constexpr double kLeast = 1.0e-300;
  constexpr double kMost = 1.0 - 1.0e-16;
  return standardNormalQuantile(std::clamp(p, kLeast, kMost));
}

// The first kMaxNormalDimension primes, by trial division.
std::array<int32_t, kMaxNormalDimension> firstPrimes() {
  std::array<int32_t, kMaxNormalDimension> primes{};
  int32_t found = 0;
  for (int32_t candidate = 2; found < kMaxNormalDimension; ++candidate) {
    bool prime = true;
    for (int32_t i = 0; i < found && primes[i] * primes[i] <= candidate; ++i) {
      if (candidate % primes[i] == 0) prime = false;
    }
    if (prime) primes[found++] = candidate;
  }
  return primes;
}

// The lower Cholesky factor of the covariance with the fixed block (the first p
// coordinates, limits lower and upper) put in the order of Genz and Bretz's
// prioritisation: at each step the coordinate whose interval is least likely given the
// truncated means of those before it. The permutation is applied to the limits; the moving
// block keeps its order. A pivot with no variance left makes its column zero.
std::vector<double> orderedCholesky(std::vector<double> sigma, int32_t n, int32_t p,
                                    std::vector<double>& lower, std::vector<double>& upper) {
  std::vector<double> l(static_cast<size_t>(n) * n, 0.0);
  std::vector<double> means(static_cast<size_t>(n), 0.0);
  const auto swap = [&](int32_t a, int32_t b) {
    for (int32_t m = 0; m < n; ++m) std::swap(sigma[a * n + m], sigma[b * n + m]);
    for (int32_t m = 0; m < n; ++m) std::swap(sigma[m * n + a], sigma[m * n + b]);
    for (int32_t m = 0; m < n; ++m) std::swap(l[a * n + m], l[b * n + m]);
    std::swap(lower[a], lower[b]);
    std::swap(upper[a], upper[b]);
  };
  for (int32_t i = 0; i < n; ++i) {
    if (i < p) {
      int32_t best = i;
      double least = 2.0;
      for (int32_t j = i; j < p; ++j) {
        double variance = sigma[j * n + j], mean = 0.0;
        for (int32_t m = 0; m < i; ++m) {
          variance -= l[j * n + m] * l[j * n + m];
          mean += l[j * n + m] * means[m];
        }
        const double sd = std::sqrt(std::max(variance, 0.0));
        const double chance = sd > 0.0 ? lowerTail((upper[j] - mean) / sd) -
                                             lowerTail((lower[j] - mean) / sd)
                                       : 1.0;
        if (chance < least) {
          least = chance;
          best = j;
        }
      }
      if (best != i) swap(i, best);
    }
    double pivot = sigma[i * n + i];
    for (int32_t m = 0; m < i; ++m) pivot -= l[i * n + m] * l[i * n + m];
    l[i * n + i] = pivot > kSingularShare * sigma[i * n + i] ? std::sqrt(pivot) : 0.0;
    for (int32_t j = i + 1; j < n; ++j) {
      double sum = sigma[j * n + i];
      for (int32_t m = 0; m < i; ++m) sum -= l[j * n + m] * l[i * n + m];
      l[j * n + i] = l[i * n + i] > 0.0 ? sum / l[i * n + i] : 0.0;
    }
    if (i < p && l[i * n + i] > 0.0) {
      // The mean of the standardised coordinate truncated to its interval.
      double shift = 0.0;
      for (int32_t m = 0; m < i; ++m) shift += l[i * n + m] * means[m];
      const double a = (lower[i] - shift) / l[i * n + i];
      const double b = (upper[i] - shift) / l[i * n + i];
      const double mass = lowerTail(b) - lowerTail(a);
      const auto density = [](double x) {
        return std::isfinite(x) ? std::exp(-0.5 * x * x) / std::sqrt(2.0 * std::numbers::pi) : 0.0;
      };
      means[i] = mass > 0.0 ? (density(a) - density(b)) / mass : (std::isfinite(a) ? a : b);
      if (!std::isfinite(means[i])) means[i] = 0.0;
    }
  }
  return l;
}

// P(lower <= mean + pivot Z <= upper) for one coordinate, and the conditional draw at the
// lattice coordinate w; with no pivot the coordinate is its mean.
struct Step {
  double probability;
  double draw;
};
Step step(double mean, double pivot, double lower, double upper, double w, bool drawn) {
  if (pivot == 0.0) return {mean >= lower && mean <= upper ? 1.0 : 0.0, 0.0};
  const double d = lowerTail((lower - mean) / pivot);
  const double e = lowerTail((upper - mean) / pivot);
  return {e - d, drawn ? quantileInside(d + w * (e - d)) : 0.0};
}

}  // namespace

BoxProbability::BoxProbability(std::span<const double> covariance, int32_t dimension,
                               int32_t movingCount, std::span<const double> fixedLower,
                               std::span<const double> fixedUpper)
    : dimension_(dimension), fixedCount_(dimension - movingCount), movingCount_(movingCount) {
  if (dimension < 1 || dimension > kMaxNormalDimension || movingCount < 0 ||
      movingCount > dimension ||
      covariance.size() != static_cast<size_t>(dimension) * dimension ||
      fixedLower.size() != static_cast<size_t>(fixedCount_) ||
      fixedUpper.size() != static_cast<size_t>(fixedCount_)) {
    throw RunError("a normal box probability was asked with inconsistent sizes");
  }
  fixedLower_.assign(fixedLower.begin(), fixedLower.end());
  fixedUpper_.assign(fixedUpper.begin(), fixedUpper.end());
  fixedLower_.resize(static_cast<size_t>(dimension));
  fixedUpper_.resize(static_cast<size_t>(dimension));
  cholesky_ = orderedCholesky({covariance.begin(), covariance.end()}, dimension, fixedCount_,
                              fixedLower_, fixedUpper_);
  fixedLower_.resize(static_cast<size_t>(fixedCount_));
  fixedUpper_.resize(static_cast<size_t>(fixedCount_));
  const auto primes = firstPrimes();
  for (int32_t i = 0; i < dimension; ++i) {
    const double root = std::sqrt(double(primes[i]));
    generator_.push_back(root - std::floor(root));
  }
  std::mt19937_64 uniforms(kShiftSeed);
  shifts_.resize(static_cast<size_t>(kLatticeShifts) * kMaxNormalDimension);
  for (double& shift : shifts_) shift = double(uniforms() >> 11) * 0x1.0p-53;
  fixedFactor_.resize(kLatticeShifts);
  movingMean_.resize(kLatticeShifts);
  movingPoint_.resize(kLatticeShifts);
  growTo(kFirstPoints);
}

void BoxProbability::growTo(int32_t points) {
  const int32_t n = dimension_;
  const int32_t p = fixedCount_;
  std::vector<double> w(static_cast<size_t>(n));
  std::vector<double> draws(static_cast<size_t>(n));
  for (int32_t s = 0; s < kLatticeShifts; ++s) {
    const double* shift = &shifts_[static_cast<size_t>(s) * kMaxNormalDimension];
    for (int32_t q = points_ + 1; q <= points; ++q) {
      // The lattice point under the baker's transformation |2x - 1|.
      for (int32_t i = 0; i < n; ++i) {
        const double x = double(q) * generator_[i] + shift[i];
        w[i] = std::fabs(2.0 * (x - std::floor(x)) - 1.0);
      }
      double factor = 1.0;
      for (int32_t i = 0; i < p && factor > 0.0; ++i) {
        double mean = 0.0;
        for (int32_t j = 0; j < i; ++j) mean += cholesky_[i * n + j] * draws[j];
        const Step one = step(mean, cholesky_[i * n + i], fixedLower_[i], fixedUpper_[i], w[i],
                              i + 1 < n);
        factor *= one.probability;
        draws[i] = one.draw;
      }
      fixedFactor_[s].push_back(factor);
      for (int32_t r = p; r < n; ++r) {
        double mean = 0.0;
        if (factor > 0.0) {
          for (int32_t j = 0; j < p; ++j) mean += cholesky_[r * n + j] * draws[j];
        }
        movingMean_[s].push_back(mean);
        if (r + 1 < n) movingPoint_[s].push_back(w[r]);
      }
    }
  }
  points_ = std::max(points_, points);
}

double BoxProbability::movingFactor(int32_t shift, int32_t point, std::span<const double> lower,
                                    std::span<const double> upper) const {
  const int32_t n = dimension_;
  const int32_t m = movingCount_;
  const double* mean = &movingMean_[shift][static_cast<size_t>(point) * m];
  const double* w = m > 1 ? &movingPoint_[shift][static_cast<size_t>(point) * (m - 1)] : nullptr;
  std::array<double, kMaxNormalDimension> draws{};
  double factor = 1.0;
  for (int32_t r = 0; r < m && factor > 0.0; ++r) {
    const int32_t row = fixedCount_ + r;
    double conditional = mean[r];
    for (int32_t j = 0; j < r; ++j) conditional += cholesky_[row * n + fixedCount_ + j] * draws[j];
    const Step one = step(conditional, cholesky_[row * n + row], lower[r], upper[r],
                          r + 1 < m ? w[r] : 0.0, r + 1 < m);
    factor *= one.probability;
    draws[r] = one.draw;
  }
  return factor;
}

template <class PointValue>
ProbabilityEstimate BoxProbability::average(PointValue value) const {
  std::array<double, kLatticeShifts> means{};
  double total = 0.0;
  for (int32_t s = 0; s < kLatticeShifts; ++s) {
    double sum = 0.0;
    for (int32_t q = 0; q < points_; ++q) sum += value(s, q);
    means[s] = sum / points_;
    total += means[s];
  }
  const double mean = total / kLatticeShifts;
  double squares = 0.0;
  for (double m : means) squares += (m - mean) * (m - mean);
  return {mean, std::sqrt(squares / (kLatticeShifts * (kLatticeShifts - 1.0)))};
}

ProbabilityEstimate BoxProbability::fixedBlock() const {
  return average([&](int32_t s, int32_t q) { return fixedFactor_[s][q]; });
}

ProbabilityEstimate BoxProbability::inside(std::span<const double> lower,
                                           std::span<const double> upper) const {
  return average([&](int32_t s, int32_t q) {
    const double factor = fixedFactor_[s][q];
    return factor > 0.0 ? factor * movingFactor(s, q, lower, upper) : 0.0;
  });
}

ProbabilityEstimate BoxProbability::outside(std::span<const double> lower,
                                            std::span<const double> upper) const {
  return average([&](int32_t s, int32_t q) {
    const double factor = fixedFactor_[s][q];
    return factor > 0.0 ? factor * (1.0 - movingFactor(s, q, lower, upper)) : 0.0;
  });
}

ProbabilityEstimate boxProbability(std::span<const double> covariance, int32_t dimension,
                                   std::span<const double> lower, std::span<const double> upper,
                                   double targetError) {
  BoxProbability box(covariance, dimension, 0, lower, upper);
  ProbabilityEstimate estimate = box.fixedBlock();
  while (estimate.standardError > targetError && box.pointsPerShift() < kMaxPoints) {
    box.growTo(2 * box.pointsPerShift());
    estimate = box.fixedBlock();
  }
  return estimate;
}

}  // namespace survseq::bounds
