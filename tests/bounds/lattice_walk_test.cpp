// The vectorised walks of the box probabilities against a walk of one point at a time, bit
// for bit, on every instruction set that they were compiled for and this processor runs.
#include "bounds/lattice_walk.h"

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "bounds/multivariate_normal.h"
#include "bounds/normal_quantile.h"

namespace survseq::bounds {
namespace {

using Reals = std::vector<double>;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The walk of one point, row by row, as the separation of variables states it.
struct Walk {
  double probability = 1.0, leaving = 0.0, upwards = 0.0;
};

double lowerTail(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }
double quantileInside(double p) {
  return standardNormalQuantile(std::clamp(p, 1.0e-300, 1.0 - 1.0e-16));
}

Walk walkPoint(const WalkFactor& f, int32_t begin, int32_t end, const double* base,
               const double* lower, const double* upper, const double* w, double* draws,
               bool tilted, bool summed) {
  const int32_t n = f.dimension;
  const auto partial = [&](int32_t r, int32_t i) {
    double sum = base[r - begin];
    for (int32_t m = begin; m < i; ++m) sum += f.cholesky[r * n + m] * draws[m];
    return sum;
  };
  Walk result;
  for (int32_t i = begin; i < end && result.probability > 0.0; ++i) {
    draws[i] = 0.0;
    if (f.attachedTo[i] >= 0) continue;
    const double pivot = f.cholesky[i * n + i];
    const double mean = partial(i, i);
    if (pivot == 0.0) {
      if (!(mean >= lower[i - begin] && mean <= upper[i - begin])) {
        result.leaving += result.probability;
        if (mean > upper[i - begin]) result.upwards += result.probability;
        result.probability = 0.0;
      }
      continue;
    }
    double a = (lower[i - begin] - mean) / pivot, b = (upper[i - begin] - mean) / pivot;
    bool aFromUpper = false, bFromUpper = true;
    for (const int32_t r : f.attached[i]) {
      const double coefficient = f.cholesky[r * n + i];
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
      result.leaving += result.probability;
      if (a + b < 0.0 ? bFromUpper : aFromUpper) result.upwards += result.probability;
      result.probability = 0.0;
      return result;
    }
    const double theta = tilted && f.drawn[i] ? f.tilt[i] : 0.0;
    double d = 0.0, e = 1.0;
    if (summed || theta == 0.0) {
      d = lowerTail(a);
      e = lowerTail(b);
      result.leaving += result.probability * ((1.0 - e) + d);
      result.upwards +=
          result.probability * ((bFromUpper ? 1.0 - e : 0.0) + (aFromUpper ? d : 0.0));
    }
    if (theta == 0.0 && i != f.stratifiedRow) {
      result.probability *= e - d;
      if (f.drawn[i]) draws[i] = quantileInside(d + w[i - begin] * (e - d));
      continue;
    }
    const double spread = theta == 0.0 ? 1.0 : i < f.fixedCount ? kFixedSpread : kMovingSpread;
    const double dTilted = theta == 0.0 ? d : lowerTail((a - theta) / spread);
    const double eTilted = theta == 0.0 ? e : lowerTail((b - theta) / spread);
    const auto ratio = [&](double x, double z) { return spread * std::exp(0.5 * (z * z - x * x)); };
    if (i == f.stratifiedRow) {
      std::array<double, kMaxNormalDimension> restBase{};
      const double start = result.probability;
      result.probability = 0.0;
      for (int32_t k = 0; k < kLastDrawStrata; ++k) {
        const double u = (k + w[i - begin]) / kLastDrawStrata;
        const double z = quantileInside(dTilted + u * (eTilted - dTilted));
        draws[i] = theta + spread * z;
        const double weight = start * (eTilted - dTilted) * ratio(draws[i], z) / kLastDrawStrata;
        for (int32_t r = i + 1; r < end; ++r) restBase[r - i - 1] = partial(r, i + 1);
        const int32_t skip = i + 1 - begin;
        const Walk rest = walkPoint(f, i + 1, end, restBase.data(), lower + skip, upper + skip,
                                    w + skip, draws, tilted, summed);
        result.probability += weight * rest.probability;
        result.leaving += weight * rest.leaving;
        result.upwards += weight * rest.upwards;
      }
      return result;
    }
    const double z = quantileInside(dTilted + w[i - begin] * (eTilted - dTilted));
    draws[i] = theta + spread * z;
    result.probability *= (eTilted - dTilted) * ratio(draws[i], z);
  }
  return result;
}

// The correlations of weighted log-rank scores at `looks` looks with independent increments:
// four statistics, the first the sum of the second and third (as FH(0,0) is of FH(0,1) and
// FH(1,0)), driven by three independent normals per look.
Reals scoreCorrelations(int32_t looks, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> loading(0.2, 1.0);
  const int32_t J = 4, n = J * looks;
  std::vector<Reals> cumulative;  // J x J after each look
  Reals sum(J * J, 0.0);
  for (int32_t k = 0; k < looks; ++k) {
    std::array<std::array<double, 3>, J> g{};
    for (int32_t j = 1; j < J; ++j)
      for (double& x : g[j]) x = loading(rng);
    for (int32_t c = 0; c < 3; ++c) g[0][c] = g[1][c] + g[2][c];
    for (int32_t a = 0; a < J; ++a)
      for (int32_t b = 0; b < J; ++b)
        for (int32_t c = 0; c < 3; ++c) sum[a * J + b] += g[a][c] * g[b][c];
    cumulative.push_back(sum);
  }
  Reals correlation(static_cast<size_t>(n) * n);
  for (int32_t x = 0; x < n; ++x) {
    for (int32_t y = 0; y < n; ++y) {
      const int32_t kx = x / J, ky = y / J, jx = x % J, jy = y % J;
      const Reals& shared = cumulative[std::min(kx, ky)];
      correlation[x * n + y] = shared[jx * J + jy] /
                               std::sqrt(cumulative[kx][jx * J + jx] * cumulative[ky][jy * J + jy]);
    }
  }
  return correlation;
}

bool sameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

struct Case {
  const char* name;
  int32_t looks;
  int sides;
  bool tilted;  // the moving block's limits given to the box, which tilts its draws to them
};

// Boxes of the max-combo test's kind: the earlier looks fixed below their critical values,
// one- or two-sided, the last look moving, tilted and stratified when its limits are given,
// untilted and in the given order when not. Each walk at 1,003 random points (not a multiple
// of any vector's lanes) and at the far corners of the cube equals the point-by-point walk.
TEST(LatticeWalk, EveryLaneWalksAsItsPointWalksAlone) {
  const Case cases[] = {
      {"one look, one-sided", 1, 1, true},
      {"two looks, one-sided", 2, 1, true},
      {"three looks, one-sided", 3, 1, true},
      {"three looks, two-sided", 3, 2, true},
      {"three looks, one-sided, untilted", 3, 1, false},
      {"two looks, two-sided, untilted", 2, 2, false},
  };
  const Reals critical = {3.3, 2.7, 2.4};
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  const std::vector<int64_t> targets = hwy::SupportedAndGeneratedTargets();
  ASSERT_FALSE(targets.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int32_t J = 4, n = J * c.looks, p = n - J;
    const Reals correlation = scoreCorrelations(c.looks, rng);
    Reals fixedLower, fixedUpper;
    for (int32_t i = 0; i < p; ++i) {
      fixedUpper.push_back(critical[i / J]);
      fixedLower.push_back(c.sides == 2 ? -critical[i / J] : -kInfinity);
    }
    const Reals high(J, critical[2]), low(J, c.sides == 2 ? -critical[2] : -kInfinity);
    const bool limits = c.tilted;
    BoxProbability box(correlation, n, J, fixedLower, fixedUpper, limits ? low : Reals{},
                       limits ? high : Reals{});
    const WalkFactor& f = box.walkFactor();
    const bool tilted = std::any_of(f.tilt.begin(), f.tilt.end(), [](double t) { return t > 0.0; });
    EXPECT_EQ(tilted, limits);
    // FH(0,0)'s row has no variance of its own: its limits bound an earlier row's draw.
    const auto attached = [](int32_t r) { return r >= 0; };
    EXPECT_GE(std::count_if(f.attachedTo.begin(), f.attachedTo.end(), attached), c.looks);
    if (limits && c.looks > 1) {
      EXPECT_GE(f.stratifiedRow, p);
    }

    const size_t count = 1003, stride = paddedPoints(count);
    Reals points(stride * n, 0.5);
    for (size_t q = 0; q < count; ++q)
      for (int32_t i = 0; i < n; ++i) points[i * stride + q] = uniform(rng);
    for (int32_t i = 0; i < n; ++i) {  // the corners 0 and 1 of every coordinate
      points[i * stride + 0] = 0.0;
      points[i * stride + 1] = 1.0;
    }
    // The point-by-point walks: the fixed block, then the moving block both ways.
    const Reals zeros(n, 0.0);
    // stay and mean feed the moving walks, which read whole vectors: padded like the points.
    Reals stay(stride, 0.0), leaving(count), mean(stride * J, 0.0), inside(count), outside(count);
    const bool symmetric = c.sides == 2 && limits;
    for (size_t q = 0; q < count; ++q) {
      Reals w(n), draws(n, 0.0);
      for (int32_t i = 0; i < n; ++i) w[i] = points[i * stride + q];
      const Walk fixed = walkPoint(f, 0, p, zeros.data(), f.fixedLower.data(), f.fixedUpper.data(),
                                   w.data(), draws.data(), tilted, tilted);
      stay[q] = fixed.probability;
      leaving[q] = symmetric ? 2.0 * fixed.upwards : fixed.leaving;
      for (int32_t r = 0; r < J; ++r) {
        double sum = 0.0;
        if (stay[q] > 0.0)
          for (int32_t j = 0; j < p; ++j) sum += f.cholesky[(p + r) * n + j] * draws[j];
        mean[r * stride + q] = sum;
      }
      Reals base(J);
      for (int32_t r = 0; r < J; ++r) base[r] = mean[r * stride + q];
      const Walk in = walkPoint(f, p, n, base.data(), low.data(), high.data(), w.data() + p,
                                draws.data(), false, false);
      const Walk out = walkPoint(f, p, n, base.data(), low.data(), high.data(), w.data() + p,
                                 draws.data(), true, true);
      inside[q] = stay[q] > 0.0 ? stay[q] * in.probability : 0.0;
      outside[q] = stay[q] > 0.0 ? stay[q] * (symmetric ? 2.0 * out.upwards : out.leaving) : 0.0;
    }
    for (int64_t target : targets) {
      hwy::SetSupportedTargetsForTest(target);
      EXPECT_STREQ(latticeWalkTarget(), hwy::TargetName(target));
      Reals vStay(stride), vLeaving(stride), vMean(stride * J), vInside(stride), vOutside(stride);
      walkFixedPoints(f, points.data(), stride, count, tilted, tilted, symmetric, vStay.data(),
                      vLeaving.data(), vMean.data(), stride);
      Reals movingPoints(points.begin() + p * stride, points.end());
      walkMovingPoints(f, low.data(), high.data(), stay.data(), mean.data(), movingPoints.data(),
                       stride, count, false, false, vInside.data());
      walkMovingPoints(f, low.data(), high.data(), stay.data(), mean.data(), movingPoints.data(),
                       stride, count, true, symmetric, vOutside.data());
      int differ = 0;
      for (size_t q = 0; q < count; ++q) {
        bool same = sameBits(vStay[q], stay[q]) && sameBits(vInside[q], inside[q]) &&
                    sameBits(vOutside[q], outside[q]);
        if (tilted) same = same && sameBits(vLeaving[q], leaving[q]);
        for (int32_t r = 0; r < J; ++r)
          same = same && sameBits(vMean[r * stride + q], mean[r * stride + q]);
        if (!same && ++differ <= 3) {
          ADD_FAILURE() << hwy::TargetName(target) << " point " << q << ": " << vStay[q] << " "
                        << stay[q] << ", " << vOutside[q] << " " << outside[q];
        }
      }
      EXPECT_EQ(differ, 0) << hwy::TargetName(target);
    }
    hwy::SetSupportedTargetsForTest(0);
  }
}

}  // namespace
}  // namespace survseq::bounds
