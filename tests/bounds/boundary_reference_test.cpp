// The critical values of computeBoundary compared with an independent computation in
// double precision: the sub-densities of the score carried on a fine uniform grid by
// Simpson's rule, with the last analysis integrated in closed form through erfc.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bounds/boundary_computation.h"

namespace survseq::bounds {
namespace {

using input::AnalysisValues;

constexpr int kGridIntervals = 400;  // even, for Simpson's rule

double phi(double x) { return std::exp(-0.5 * x * x) / std::sqrt(2.0 * M_PI); }
double Phi(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// The null distribution of the score at the last of `fractions` (the last being 1),
// over the paths that stayed inside (-sqrt(f) c, sqrt(f) c) at every earlier analysis.
class GridReference {
 public:
  GridReference(const std::vector<double>& fractions, const std::vector<double>& critical) {
    double previous = fractions[0];
    setGrid(std::sqrt(previous) * critical[0]);
    for (size_t n = 0; n < points_.size(); ++n) {
      density_[n] = phi(points_[n] / std::sqrt(previous)) / std::sqrt(previous);
    }
    for (size_t i = 1; i + 1 < fractions.size(); ++i) {
      const double sigma = std::sqrt(fractions[i] - previous);
      const std::vector<double> from = points_, weighted = weightedDensity();
      setGrid(std::sqrt(fractions[i]) * critical[i]);
      for (size_t n = 0; n < points_.size(); ++n) {
        double sum = 0.0;
        for (size_t m = 0; m < from.size(); ++m) sum += weighted[m] * phi((points_[n] - from[m]) / sigma);
        density_[n] = sum / sigma;
      }
      previous = fractions[i];
    }
    lastSigma_ = std::sqrt(1.0 - previous);
  }

  // P(score at the last analysis in (a, b), no earlier crossing).
  double mass(double a, double b) const {
    const std::vector<double> weighted = weightedDensity();
    double sum = 0.0;
    for (size_t m = 0; m < points_.size(); ++m) {
      sum += weighted[m] * (Phi((b - points_[m]) / lastSigma_) - Phi((a - points_[m]) / lastSigma_));
    }
    return sum;
  }

 private:
  void setGrid(double boundary) {
    points_.resize(kGridIntervals + 1);
    density_.resize(kGridIntervals + 1);
    step_ = 2.0 * boundary / kGridIntervals;
    for (int n = 0; n <= kGridIntervals; ++n) points_[n] = -boundary + n * step_;
  }
  std::vector<double> weightedDensity() const {
    std::vector<double> result(points_.size());
    for (size_t n = 0; n < points_.size(); ++n) {
      const double simpson = (n == 0 || n == points_.size() - 1) ? 1.0 : (n % 2 ? 4.0 : 2.0);
      result[n] = simpson * step_ / 3.0 * density_[n];
    }
    return result;
  }
  std::vector<double> points_, density_;
  double step_ = 0.0;
  double lastSigma_ = 1.0;
};

// The c at which the probability of crossing by the last analysis is alpha, by
// bisection: for a two-sided test crossing either boundary; for a one-sided test
// crossing the upper one, the earlier boundaries being symmetric (a path that crosses
// below earlier has stopped and cannot cross above).
double referenceBoundary(const std::vector<double>& fractions, const std::vector<double>& critical,
                         double alpha, int sides) {
  const GridReference reference(fractions, critical);
  constexpr double kFar = 40.0;
  const double earlierUpperCrossing = 0.5 * (1.0 - reference.mass(-kFar, kFar));
  double low = 0.0, high = 6.0;
  for (int iteration = 0; iteration < 60; ++iteration) {
    const double c = 0.5 * (low + high);
    const double crossing = sides == 2 ? 1.0 - reference.mass(-c, c)
                                       : earlierUpperCrossing + reference.mass(c, kFar);
    (crossing > alpha ? low : high) = c;
  }
  return 0.5 * (low + high);
}

struct Case {
  std::vector<float> information;
  std::vector<float> interim;
  float alpha;
  int32_t sides;
};

float computed(const Case& design) {
  AnalysisValues t{}, split{}, c{};
  const auto k = static_cast<int32_t>(design.information.size());
  for (int32_t i = 1; i <= k; ++i) t[i] = design.information[i - 1];
  for (size_t i = 0; i < design.interim.size(); ++i) c[i + 1] = design.interim[i];
  split[k] = design.alpha;
  int32_t failed = -1;
  computeBoundary(k, t, split, design.sides, failed, c);
  EXPECT_EQ(failed, 0);
  return c[k];
}

double reference(const Case& design) {
  std::vector<double> fractions, critical;
  for (float t : design.information) fractions.push_back(double(t) / double(design.information.back()));
  for (float c : design.interim) critical.push_back(c);
  return referenceBoundary(fractions, critical, design.alpha, design.sides);
}

// The single-precision recursion (float densities, a float running sum over about 400
// trapezoids) agrees with the double reference to a few 1e-5 in c.
constexpr double kAgreement = 1e-4;

TEST(BoundaryReference, TwoLooks) {
  for (const Case& design : {Case{{0.5f, 1}, {2.797f}, 0.05f, 2}, Case{{3, 10}, {2.2f}, 0.05f, 2},
                             Case{{80, 100}, {3.0f}, 0.01f, 2}, Case{{0.5f, 1}, {2.5f}, 0.025f, 1}}) {
    EXPECT_NEAR(computed(design), reference(design), kAgreement) << design.information[0];
  }
}

TEST(BoundaryReference, SeveralUnevenLooks) {
  for (const Case& design : {Case{{1, 2, 3, 4}, {3, 3, 3}, 0.05f, 2},
                             Case{{0.15f, 0.4f, 0.55f, 1}, {4.0f, 2.9f, 2.4f}, 0.05f, 2},
                             Case{{0.3f, 0.6f, 1}, {3.2f, 2.6f}, 0.025f, 1}}) {
    EXPECT_NEAR(computed(design), reference(design), kAgreement) << design.information.size();
  }
}

TEST(BoundaryReference, FifteenLooks) {
  // The full capacity of the design record, values fixed by successive calls.
  Case design{{}, {}, 0.05f, 2};
  AnalysisValues t{}, split{}, c{};
  for (int32_t k = 1; k <= input::MaxAnalyses; ++k) {
    t[k] = static_cast<float>(k);
    split[k] = spentError(input::Pocock, 0.05f, static_cast<float>(k) / 15.0f, 0.0f, 0.0f, 0.0f);
    int32_t failed = -1;
    computeBoundary(k, t, split, 2, failed, c);
    EXPECT_EQ(failed, 0) << k;
    design.information.push_back(t[k]);
    if (k < input::MaxAnalyses) design.interim.push_back(c[k]);
  }
  // With 15 looks each step of the score (sigma 0.26) is narrower than the spacing of
  // the 24 nodes over (-E, E), and the rule itself costs about 2e-4 in c.
  EXPECT_NEAR(c[15], reference(design), 5e-4);
}

}  // namespace
}  // namespace survseq::bounds
