#include "plan/crossing_probability.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "bounds/normal_distribution.h"

// The recursion of crossing_probability.h: g_k, the sub-density of W_k over the paths
// still running, lives on an odd grid of its continuation region, cut to eight standard
// deviations around the mean of W_k; its integrals against the normal law of the next
// increment give the next crossings and the next sub-density.

namespace survseq::plan {

namespace {

constexpr double kSpan = 8.0;         // standard deviations kept on each side
constexpr double kPointsPerSd = 8.0;   // grid points per standard deviation of an increment
constexpr int32_t kMostPoints = 4001;

using bounds::standardNormalDensity;
using bounds::standardNormalLowerTail;
using bounds::standardNormalUpperTail;

struct SubDensity {
  std::vector<double> point;
  std::vector<double> weight;  // Simpson weight times the sub-density
};

// An odd Simpson grid over (low, high) with spacing at most `spacing`.
std::vector<double> simpsonGrid(double low, double high, double spacing,
                                std::vector<double>& simpson) {
  auto intervals = static_cast<int32_t>(std::ceil((high - low) / spacing));
  intervals = std::clamp(intervals + intervals % 2, 2, kMostPoints - 1);
  const double h = (high - low) / intervals;
  std::vector<double> points(static_cast<size_t>(intervals) + 1);
  simpson.assign(points.size(), 0.0);
  for (int32_t i = 0; i <= intervals; ++i) {
    points[static_cast<size_t>(i)] = low + h * i;
    const double factor = (i == 0 || i == intervals) ? 1.0 : (i % 2 == 1 ? 4.0 : 2.0);
    simpson[static_cast<size_t>(i)] = factor * h / 3.0;
  }
  return points;
}

}  // namespace

Crossings crossingProbabilities(const ScoreLooks& looks, int32_t analysisCount) {
  Crossings crossings{};
  SubDensity previous;
  bool atOrigin = true;  // no look has added information yet: W is 0
  double previousMean = 0.0;
  double previousVariance = 0.0;
  for (int32_t k = 1; k <= analysisCount; ++k) {
    const ScoreLook& look = looks[static_cast<size_t>(k)];
    // A look that adds no information and cannot stop is no look at all.
    if (!(look.variance > previousVariance) && std::isinf(look.upper) && std::isinf(look.lower)) {
      continue;
    }
    const double drift = look.mean - previousMean;
    const double sd = std::sqrt(std::max(look.variance - previousVariance, 1e-300));
    Crossing& crossing = crossings[static_cast<size_t>(k)];

    const auto each = [&](auto&& add) {
      if (atOrigin) {
        add(0.0, 1.0);
      } else {
        for (size_t i = 0; i < previous.point.size(); ++i) {
          add(previous.point[i], previous.weight[i]);
        }
      }
    };
    each([&](double x, double w) {
      crossing.upper += w * standardNormalUpperTail((look.upper - x - drift) / sd);
      if (std::isfinite(look.lower)) {
        crossing.lower += w * standardNormalLowerTail((look.lower - x - drift) / sd);
      }
    });
    if (k == analysisCount) break;

    const double totalSd = std::sqrt(look.variance);
    const double low = std::max(look.lower, look.mean - kSpan * totalSd);
    const double high = std::min(look.upper, look.mean + kSpan * totalSd);
    const double nextSd =
        std::sqrt(std::max(looks[static_cast<size_t>(k + 1)].variance - look.variance, 1e-300));
    SubDensity next;
    if (high > low) {
      std::vector<double> simpson;
      next.point = simpsonGrid(low, high, std::min(sd, nextSd) / kPointsPerSd, simpson);
      next.weight.assign(next.point.size(), 0.0);
      for (size_t j = 0; j < next.point.size(); ++j) {
        double g = 0.0;
        const double y = next.point[j];
        each([&](double x, double w) {
          g += w * standardNormalDensity((y - x - drift) / sd) / sd;
        });
        next.weight[j] = g * simpson[j];
      }
    }
    previous = std::move(next);
    atOrigin = false;
    previousMean = look.mean;
    previousVariance = look.variance;
  }
  return crossings;
}

}  // namespace survseq::plan
