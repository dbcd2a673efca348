#include "bounds/ordered_cholesky.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace survseq::bounds {

namespace {

double lowerTail(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

double density(double x) {
  return std::isfinite(x) ? std::exp(-0.5 * x * x) / std::sqrt(2.0 * std::numbers::pi) : 0.0;
}

}  // namespace

std::vector<double> orderedCholesky(std::vector<double> sigma, int32_t n, int32_t p,
                                    bool orderRest, std::vector<double>& lower,
                                    std::vector<double>& upper, std::vector<int32_t>& order) {
  std::vector<double> l(static_cast<size_t>(n) * n, 0.0);
  std::vector<double> means(static_cast<size_t>(n), 0.0);
  order.resize(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  const auto swap = [&](int32_t a, int32_t b) {
    for (int32_t m = 0; m < n; ++m) std::swap(sigma[a * n + m], sigma[b * n + m]);
    for (int32_t m = 0; m < n; ++m) std::swap(sigma[m * n + a], sigma[m * n + b]);
    for (int32_t m = 0; m < n; ++m) std::swap(l[a * n + m], l[b * n + m]);
    std::swap(lower[a], lower[b]);
    std::swap(upper[a], upper[b]);
    std::swap(order[a], order[b]);
  };
  for (int32_t i = 0; i < n; ++i) {
    const bool ordered = i < p || orderRest;
    const int32_t end = i < p ? p : n;
    if (ordered) {
      int32_t best = i;
      double least = 2.0;
      for (int32_t j = i; j < end; ++j) {
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
    if (ordered && l[i * n + i] > 0.0) {
      // The mean of the standardised coordinate truncated to its interval.
      double shift = 0.0;
      for (int32_t m = 0; m < i; ++m) shift += l[i * n + m] * means[m];
      const double a = (lower[i] - shift) / l[i * n + i];
      const double b = (upper[i] - shift) / l[i * n + i];
      const double mass = lowerTail(b) - lowerTail(a);
      means[i] = mass > 0.0 ? (density(a) - density(b)) / mass : (std::isfinite(a) ? a : b);
      if (!std::isfinite(means[i])) means[i] = 0.0;
    }
  }
  return l;
}

}  // namespace survseq::bounds
