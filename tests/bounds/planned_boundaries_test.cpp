// The planned boundary table against an independent one-sided recursion on a fine grid.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "bounds/boundary_computation.h"
#include "bounds/planned_boundaries.h"

namespace survseq::bounds {
namespace {

using Doubles = std::vector<double>;

double phi(double x) { return std::exp(-0.5 * x * x) / std::sqrt(2.0 * M_PI); }
double upperTail(double x) { return 0.5 * std::erfc(x / std::sqrt(2.0)); }

// The decreasing function f's root in [lo, hi] by bisection.
double solveDecreasing(const std::function<double(double)>& f, double lo, double hi) {
  for (int i = 0; i < 60; ++i) {
    const double mid = 0.5 * (lo + hi);
    (f(mid) > 0 ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// Efficacy bounds c[i] of the one-sided test that spends cumulative error alpha[i] at the
// information fractions t[i] (or has the bound fixed[i] where that is a number), the paths
// below lower[i] (Z scale) stopping at the interim looks: the sub-density of the score S(t)
// on 1200 Simpson intervals of each continuation region, and each bound from the exact
// crossing integral of the last density.
Doubles referenceBounds(const Doubles& t, const Doubles& alpha, const Doubles& lower,
                        const Doubles& fixed = {NAN, NAN, NAN}) {
  constexpr int N = 1200;
  Doubles x{0.0}, w{1.0}, c;  // nodes and Simpson weight times density (first: a point mass)
  double previous = 0.0, spent = 0.0;
  for (size_t i = 0; i < t.size(); ++i) {
    const double sigma = std::sqrt(t[i] - previous), root = std::sqrt(t[i]);
    const auto crossing = [&](double z) {
      double p = 0.0;
      for (size_t m = 0; m < x.size(); ++m) p += w[m] * upperTail((root * z - x[m]) / sigma);
      return p;
    };
    const double target = alpha[i] - spent;
    c.push_back(std::isnan(fixed[i])
                    ? solveDecreasing([&](double z) { return crossing(z) - target; }, -2.0, 8.0)
                    : fixed[i]);
    spent += crossing(c.back());
    if (i + 1 == t.size()) break;
    const double a = root * lower[i], b = root * c.back(), h = (b - a) / N;
    Doubles y(N + 1), g(N + 1);
    for (int j = 0; j <= N; ++j) {
      y[j] = a + j * h;
      for (size_t m = 0; m < x.size(); ++m) g[j] += w[m] * phi((y[j] - x[m]) / sigma) / sigma;
      g[j] *= h / 3.0 * (j == 0 || j == N ? 1 : j % 2 ? 4 : 2);
    }
    x.swap(y);
    w.swap(g);
    previous = t[i];
  }
  return c;
}

TEST(PlannedBoundaries, MatchAnIndependentRecursion) {
  const Doubles t = {0.5, 0.75, 1.0};
  const double alpha = 0.025, none = -12.0;
  const double zHalfAlpha = 2.241402727604947;  // Phi^-1(1 - alpha/2)
  using Spending = std::function<double(double)>;
  const Spending obrienFleming = [&](double f) {
    return 2.0 * upperTail(zHalfAlpha / std::sqrt(f));
  };
  const Spending pocock = [&](double f) { return alpha * std::log(1.0 + (M_E - 1.0) * f); };
  const auto hsd = [&](double gamma) {
    return Spending([=](double f) { return alpha * std::expm1(-gamma * f) / std::expm1(-gamma); });
  };
  struct Case {
    const char* what;
    input::SpendingFamily family;
    int32_t useFunction;
    float parameter;
    Spending spent;
    Doubles futility;  // empty: none
    bool binding = false;
  };
  const Case cases[] = {
      {"O'Brien-Fleming", input::SpendingFamily::Coded, input::OBrienFleming, 0, obrienFleming, {}},
      {"Pocock", input::SpendingFamily::Coded, input::Pocock, 0, pocock, {}},
      {"Hwang-Shih-DeCani -4", input::SpendingFamily::HwangShihDeCani, 0, -4, hsd(-4), {}},
      {"Hwang-Shih-DeCani 1", input::SpendingFamily::HwangShihDeCani, 0, 1, hsd(1), {}},
      {"Kim-DeMets 3", input::SpendingFamily::KimDeMets, 0, 3,
       [&](double f) { return alpha * f * f * f; }, {}},
      {"non-binding futility", input::SpendingFamily::Coded, input::OBrienFleming, 0,
       obrienFleming, {0.0, 0.5}},
      {"binding futility", input::SpendingFamily::Coded, input::OBrienFleming, 0, obrienFleming,
       {0.0, 0.5}, true},
      {"binding futility, Hwang-Shih-DeCani 1", input::SpendingFamily::HwangShihDeCani, 0, 1,
       hsd(1), {0.0, 0.5}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    input::DesignParameters d;
    d.boundaryMethod = input::LanDeMets;
    d.analysisCount = 3;
    d.typeIError = static_cast<float>(alpha);
    d.sides = 1;
    d.useFunction = c.useFunction;
    d.spendingFamily = c.family;
    d.spendingGamma = d.spendingExponent = c.parameter;
    d.futility = !c.futility.empty();
    d.futilityBinding = c.binding;
    for (size_t i = 0; i < c.futility.size(); ++i) {
      d.futilityZ[i + 1] = static_cast<float>(c.futility[i]);
    }
    const PlannedLooks looks = plannedBoundaries(d, {0, 40, 60, 80}, 0.0f);

    Doubles spent, lower;
    for (double f : t) spent.push_back(f < 1 ? c.spent(f) : alpha);
    for (size_t i = 0; i + 1 < t.size(); ++i) lower.push_back(c.binding ? c.futility[i] : none);
    const Doubles expected = referenceBounds(t, spent, lower);
    for (int32_t k = 1; k <= 3; ++k) {
      const PlannedLook& look = looks[static_cast<size_t>(k)];
      EXPECT_NEAR(look.informationFraction, t[k - 1], 1e-7) << k;
      EXPECT_NEAR(look.efficacyZ, expected[k - 1], 1e-3) << k;
      EXPECT_NEAR(look.nominalP, upperTail(look.efficacyZ), 1e-7) << k;
      EXPECT_EQ(look.hasFutilityBound, d.futility && k < 3) << k;
      if (look.hasFutilityBound) {
        EXPECT_EQ(look.futilityZ, d.futilityZ[k]) << k;
      }
    }
  }
}

TEST(PlannedBoundaries, EveryBoundaryMethod) {
  input::DesignParameters d;
  d.analysisCount = 3;
  d.typeIError = 0.025f;
  d.sides = 1;
  d.errorSplit = {0, 0.002f, 0.01f, 0.025f};
  d.boundaryValues = {0, 3.1f, 2.6f, 2.1f};
  const double none = -12.0, nan = NAN;
  const Doubles t = {0.5, 0.75, 1};
  struct Case { int32_t method; Doubles expected; };
  const Case cases[] = {
      {input::Haybittle, referenceBounds(t, {nan, nan, 0.025}, {none, none}, {3, 3, nan})},
      {input::ErrorSplit, referenceBounds(t, {0.002, 0.01, 0.025}, {none, none})},
      {input::GivenBoundaries, {3.1, 2.6, 2.1}}};
  for (const Case& c : cases) {
    d.boundaryMethod = c.method;
    const PlannedLooks looks = plannedBoundaries(d, {0, 40, 60, 80}, 3.0f);
    for (int32_t k = 1; k <= 3; ++k) {
      EXPECT_NEAR(looks[static_cast<size_t>(k)].efficacyZ, c.expected[k - 1], 1e-3)
          << c.method << k;
    }
  }
}

}  // namespace
}  // namespace survseq::bounds
