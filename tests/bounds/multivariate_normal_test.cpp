// src/bounds: the double-precision normal quantile and the normal box probabilities,
// against closed forms and one-dimensional integrals on a fine grid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "bounds/multivariate_normal.h"
#include "bounds/normal_quantile.h"
#include "bounds/reference_recursion.h"

namespace survseq::bounds {
namespace {

using Reals = std::vector<double>;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

using testing::lowerTail;
using testing::phi;

// Simpson's rule on [lower, upper] (by default [-12, 12]) in 24,000 steps: the integrals
// below are smooth and their integrands negligible beyond, so the grid is exact far below
// the tolerances used.
template <class F>
double integrateOverLine(F f, double upper = 12.0, double lower = -12.0) {
  return testing::simpson(f, lower, upper, 24000);
}

// Equicorrelated coordinates X_i = sqrt(rho) Z + sqrt(1 - rho) E_i: given Z they are
// independent, so the box probability is one integral over Z.
double equicorrelatedBox(int n, double rho, double lower, double upper) {
  return integrateOverLine([&](double z) {
    const double sd = std::sqrt(1.0 - rho);
    const double inner = lowerTail((upper - std::sqrt(rho) * z) / sd) -
                         lowerTail((lower - std::sqrt(rho) * z) / sd);
    return phi(z) * std::pow(inner, n);
  });
}

Reals equicorrelation(int n, double rho) {
  Reals sigma(static_cast<size_t>(n) * n, rho);
  for (int i = 0; i < n; ++i) sigma[i * n + i] = 1.0;
  return sigma;
}

TEST(NormalQuantile, InvertsTheTailAreaInEveryBranch) {
  // Centre, the near tail and the far tail (sqrt(-log p) beyond 5), on both sides.
  for (double p : {1e-300, 1e-100, 1e-20, 1e-12, 1e-5, 0.01, 0.07, 0.075, 0.3, 0.5, 0.6,
                   0.925, 0.93, 0.999, 1.0 - 1e-9}) {
    const double z = standardNormalQuantile(p);
    const double back = z < 0.0 ? lowerTail(z) : 1.0 - lowerTail(-z);
    EXPECT_NEAR(back, p, 1e-13 * std::min(p, 1.0 - p) + 1e-16) << p;
  }
  EXPECT_NEAR(standardNormalQuantile(0.975), 1.959963984540054, 1e-14);
  EXPECT_EQ(standardNormalQuantile(0.0), -kInfinity);
  EXPECT_EQ(standardNormalQuantile(1.0), kInfinity);
  EXPECT_TRUE(std::isnan(standardNormalQuantile(std::nan(""))));
}

// Every check: within 1e-4 of the reference, and the stated error at most 1e-5 and
// consistent with the miss: four standard errors, or 5e-7 (a twentieth of the error aimed
// at), as an error estimated from ten shifted copies is itself uncertain when tiny.
void expectClose(ProbabilityEstimate estimate, double reference, const char* what) {
  EXPECT_NEAR(estimate.value, reference, 1e-4) << what;
  EXPECT_LE(estimate.standardError, 1e-5) << what;
  EXPECT_LE(std::fabs(estimate.value - reference), 4.0 * estimate.standardError + 5e-7) << what;
}

TEST(BoxProbability, IndependentCoordinatesGiveTheProductOfTheirLaws) {
  const Reals variances = {1.0, 4.0, 0.25, 2.0, 1.0, 9.0};
  const Reals lower = {-1.0, -kInfinity, -0.3, 0.5, -2.0, -1.0};
  const Reals upper = {1.5, 1.0, kInfinity, 3.0, 0.0, 8.0};
  for (int n = 1; n <= 6; ++n) {
    Reals sigma(static_cast<size_t>(n) * n, 0.0);
    double product = 1.0;
    for (int i = 0; i < n; ++i) {
      sigma[i * n + i] = variances[i];
      const double sd = std::sqrt(variances[i]);
      product *= lowerTail(upper[i] / sd) - lowerTail(lower[i] / sd);
    }
    expectClose(boxProbability(sigma, n, Reals(lower.begin(), lower.begin() + n),
                               Reals(upper.begin(), upper.begin() + n)),
                product, "independent");
  }
}

TEST(BoxProbability, EquicorrelatedOrthantIsOneOverDimensionPlusOne) {
  for (int n : {2, 3, 5, 8, 12}) {
    expectClose(boxProbability(equicorrelation(n, 0.5), n, Reals(n, -kInfinity), Reals(n, 0.0)),
                1.0 / (n + 1.0), "orthant");
  }
}

TEST(BoxProbability, EquicorrelatedBoxesUpToTheLargestDimension) {
  struct Case {
    int n;
    double rho, lower, upper;
  };
  for (const Case& c : {Case{4, 0.3, -kInfinity, 2.2}, Case{4, 0.8, -2.5, 2.5},
                        Case{12, 0.6, -kInfinity, 2.6}, Case{12, 0.9, -2.8, 2.8},
                        Case{75, 0.5, -kInfinity, 4.0}}) {
    expectClose(boxProbability(equicorrelation(c.n, c.rho), c.n, Reals(c.n, c.lower),
                               Reals(c.n, c.upper)),
                equicorrelatedBox(c.n, c.rho, c.lower, c.upper), "equicorrelated");
  }
}

TEST(BoxProbability, BivariateAgainstOneIntegral) {
  // P(X1 < a, X2 < b) = integral to a of phi(x) Phi((b - rho x) / sqrt(1 - rho^2)).
  struct Case {
    double rho, a, b;
  };
  for (const Case& c : {Case{-0.9, 0.5, 1.0}, Case{-0.3, -1.0, 2.0}, Case{0.2, 0.0, 0.0},
                        Case{0.7, 1.5, -0.5}, Case{0.99, 2.0, 2.1}}) {
    const double reference = integrateOverLine(
        [&](double x) {
          return phi(x) * lowerTail((c.b - c.rho * x) / std::sqrt(1.0 - c.rho * c.rho));
        },
        c.a);
    const Reals sigma = {1.0, c.rho, c.rho, 1.0};
    expectClose(boxProbability(sigma, 2, Reals{-kInfinity, -kInfinity}, Reals{c.a, c.b}),
                reference, "bivariate");
  }
}

TEST(BoxProbability, CoordinatesWithNoVarianceLeftFollowTheEarlierOnes) {
  // X2 = X1 and X3 = 2 X1: the box is X1 < min(a, b, c / 2).
  const Reals sigma = {1.0, 1.0, 2.0, 1.0, 1.0, 2.0, 2.0, 2.0, 4.0};
  expectClose(boxProbability(sigma, 3, Reals(3, -kInfinity), Reals{1.0, 0.4, 1.2}),
              lowerTail(0.4), "singular");
}

TEST(BoxProbability, MovingBlockSplitsTheSameBox) {
  // Four coordinates, the last two moving: inside and outside add up to the fixed block,
  // point by point, and inside agrees with the box taken whole.
  const int n = 4;
  const Reals sigma = {1.0, 0.6, 0.4, 0.3, 0.6, 1.0, 0.5, 0.6, 0.4, 0.5, 1.0, 0.7, 0.3, 0.6,
                       0.7, 1.0};
  BoxProbability box(sigma, n, 2, Reals{-kInfinity, -1.0}, Reals{1.8, 2.0});
  box.growTo(1 << 15);
  const Reals lower = {-kInfinity, -2.2}, upper = {2.0, 2.2};
  const ProbabilityEstimate inside = box.inside(lower, upper);
  const ProbabilityEstimate outside = box.outside(lower, upper);
  EXPECT_NEAR(inside.value + outside.value, box.fixedBlock().value, 1e-14);
  // The whole box's estimate has its own error: the two together are allowed four of theirs.
  const ProbabilityEstimate whole = boxProbability(
      sigma, n, Reals{-kInfinity, -1.0, -kInfinity, -2.2}, Reals{1.8, 2.0, 2.0, 2.2});
  EXPECT_LE(std::fabs(inside.value - whole.value),
            4.0 * std::hypot(inside.standardError, whole.standardError) + 1e-9);
  const Reals open(2, kInfinity);
  EXPECT_EQ(box.inside(Reals(2, -kInfinity), open).value, box.fixedBlock().value);
  // The same points at every evaluation: a larger upper limit never gives less.
  double previous = 0.0;
  for (double c = 0.0; c <= 4.0; c += 0.05) {
    const double value = box.inside(Reals{-kInfinity, -c}, Reals{c, c}).value;
    EXPECT_GE(value, previous) << c;
    previous = value;
  }
}

TEST(BoxProbability, TiltedDrawsKeepTheProbabilities) {
  // Moving limits given to the constructor as upper limits only, or symmetric with a fixed
  // block, tilt the draws towards them; outside() is then summed as the first exit row by
  // row (a symmetric box's upwards, twice). Against integrals: one statistic over two
  // looks (correlation r: P(X1 in its interval, X2 beyond c) is one integral), one- and
  // two-sided, and the largest of four equicorrelated coordinates at one look.
  struct Case {
    double r, a, c;
    int sides;
  };
  for (const Case& t : {Case{0.5, 2.5, 2.2, 1}, Case{0.8, 3.0, 2.0, 1}, Case{0.95, 2.2, 2.4, 1},
                        Case{0.6, 2.8, 2.1, 2}, Case{0.9, 2.4, 2.5, 2}}) {
    const double s = std::sqrt(1.0 - t.r * t.r);
    const double lowerA = t.sides == 2 ? -t.a : -kInfinity;
    const double lowerC = t.sides == 2 ? -t.c : -kInfinity;
    const double reference = integrateOverLine(
        [&](double x) {
          const double staying = lowerTail((t.c - t.r * x) / s) -
                                 (t.sides == 2 ? lowerTail((-t.c - t.r * x) / s) : 0.0);
          return phi(x) * (1.0 - staying);
        },
        t.a, std::max(lowerA, -12.0));
    BoxProbability box(Reals{1.0, t.r, t.r, 1.0}, 2, 1, Reals{lowerA}, Reals{t.a},
                       Reals{t.sides == 2 ? 0.1 - t.c : -kInfinity}, Reals{t.c - 0.1});
    expectClose(box.outside(Reals{lowerC}, Reals{t.c}), reference, "two looks");
  }
  for (double c : {1.8, 2.3, 2.9}) {
    BoxProbability box(equicorrelation(4, 0.7), 4, 4, Reals{}, Reals{}, Reals(4, -kInfinity),
                       Reals(4, 2.3));
    box.growTo(1021);
    expectClose(box.outside(Reals(4, -kInfinity), Reals(4, c)),
                1.0 - equicorrelatedBox(4, 0.7, -kInfinity, c), "one look");
  }
}

TEST(BoxProbability, DependentCoordinateLeftThroughEitherLimit) {
  // FH(0,0)'s score is FH(0,1)'s plus FH(1,0)'s: X3 = (X1 + X2) / s, s = sqrt(2 + 2r), has
  // no variance left. With X3's interval the narrowest it is drawn first, and X2 = s X3 - X1
  // limits the draw of X1 from the other side: a walk can leave through X2's lower limit
  // while that draw goes above its interval. Given X1 = x, X2 ~ N(r x, 1 - r^2) must lie
  // in [max(-c, -d s - x), min(c, d s - x)] (one-sided, no lower limits): one integral.
  struct Case {
    double r, c, d;
    int sides;
  };
  // Correlations as weighted log-rank scores have them (their weights are not negative):
  // the tilt towards the upper limits serves strongly correlated coordinates.
  for (const Case& t : {Case{0.8, 2.6, 2.4, 2}, Case{0.95, 3.0, 2.9, 2}, Case{0.6, 2.6, 2.2, 2},
                        Case{0.8, 2.6, 2.4, 1}, Case{0.6, 2.6, 2.2, 1}}) {
    const double s = std::sqrt(2.0 + 2.0 * t.r), spread = std::sqrt(1.0 - t.r * t.r);
    const double low = t.sides == 2 ? -1.0 : -kInfinity;  // times the upper limit
    const double staying = integrateOverLine(
        [&](double x) {
          const double high = std::min(t.c, t.d * s - x);
          const double from = std::max(low * t.c, low * t.d * s - x);
          if (!(from < high)) return 0.0;
          return phi(x) * (lowerTail((high - t.r * x) / spread) -
                               lowerTail((from - t.r * x) / spread));
        },
        t.c, std::max(low * t.c, -12.0));
    const double shared = (1.0 + t.r) / s;
    const Reals sigma = {1.0, t.r, shared, t.r, 1.0, shared, shared, shared, 1.0};
    const Reals upper = {t.c, t.c, t.d}, lower = {low * t.c, low * t.c, low * t.d};
    BoxProbability box(sigma, 3, 3, Reals{}, Reals{}, lower, upper);
    box.growTo(1021);
    expectClose(box.outside(lower, upper), 1.0 - staying,
                (std::to_string(t.sides) + "-sided, r " + std::to_string(t.r)).c_str());
  }
}

}  // namespace
}  // namespace survseq::bounds
