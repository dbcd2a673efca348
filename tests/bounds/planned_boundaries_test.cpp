// The planned boundary table against the independent recursion, one-sided.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "bounds/boundary_computation.h"
#include "bounds/planned_boundaries.h"
#include "bounds/reference_recursion.h"

namespace survseq::bounds {
namespace {

using Three = std::array<double, 3>;
using testing::upperTail;

// The Z bounds at the fractions 0.5, 0.75 and 1 that spend `spent` in all (or are
// `fixed`), the paths below `lower` (Z) stopping at the first two looks.
Three referenceBounds(Three spent, Three lower, Three fixed = {NAN, NAN, NAN}) {
  const Three t = {0.5, 0.75, 1.0};
  std::vector<testing::ReferenceLook> looks;
  for (int i = 0; i < 3; ++i) {
    const double root = std::sqrt(t[i]);
    looks.push_back({0, t[i], root * fixed[i], root * lower[i], spent[i]});
  }
  testing::referenceCrossings(looks);
  return {looks[0].upper / std::sqrt(0.5), looks[1].upper / std::sqrt(0.75), looks[2].upper};
}

TEST(PlannedBoundaries, MatchTheReferenceRecursion) {
  const double alpha = 0.025, zHalfAlpha = 2.241402727604947;  // Phi^-1(1 - alpha/2)
  const std::function<double(double)> obrienFleming = [&](double f) {
    return 2.0 * upperTail(zHalfAlpha / std::sqrt(f));
  };
  const std::function<double(double)> hsd1 = [&](double f) {
    return alpha * std::expm1(-f) / std::expm1(-1.0);
  };
  struct Case {
    const char* what;
    input::SpendingFamily family;
    std::function<double(double)> spent;
    bool futility = false, binding = false;
  };
  for (const Case& c : {Case{"O'Brien-Fleming", input::SpendingFamily::Coded, obrienFleming},
                        Case{"non-binding futility", input::SpendingFamily::Coded, obrienFleming, true},
                        Case{"binding futility", input::SpendingFamily::Coded, obrienFleming, true, true},
                        Case{"binding futility, Hwang-Shih-DeCani 1",
                             input::SpendingFamily::HwangShihDeCani, hsd1, true, true}}) {
    SCOPED_TRACE(c.what);
    input::DesignParameters d;
    d.boundaryMethod = input::LanDeMets;
    d.analysisCount = 3;
    d.typeIError = static_cast<float>(alpha);
    d.sides = 1;
    d.useFunction = input::OBrienFleming;
    d.spendingFamily = c.family;
    d.spendingGamma = 1;
    d.futility = c.futility;
    d.futilityBinding = c.binding;
    d.futilityZ = {0, 0.0f, 0.5f};
    const PlannedLooks looks = plannedBoundaries(d, {0, 40, 60, 80}, 0.0f);
    const Three expected = referenceBounds({c.spent(0.5), c.spent(0.75), alpha},
                                           c.binding ? Three{0, 0.5} : Three{-INFINITY, -INFINITY});
    for (int32_t k = 1; k <= 3; ++k) {
      const PlannedLook& look = looks[static_cast<size_t>(k)];
      EXPECT_NEAR(look.informationFraction, 0.25 + 0.25 * k, 1e-7) << k;
      EXPECT_NEAR(look.efficacyZ, expected[k - 1], 1e-3) << k;
      EXPECT_NEAR(look.nominalP, upperTail(look.efficacyZ), 1e-7) << k;
      EXPECT_EQ(look.hasFutilityBound ? look.futilityZ : -1, c.futility && k < 3 ? d.futilityZ[k] : -1);
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
  const Three none = {-INFINITY, -INFINITY};
  struct Case { int32_t method; Three expected; };
  for (const Case& c : {Case{input::Haybittle, referenceBounds({0, 0, 0.025}, none, {3, 3, NAN})},
                        Case{input::ErrorSplit, referenceBounds({0.002, 0.01, 0.025}, none)},
                        Case{input::GivenBoundaries, {3.1, 2.6, 2.1}}}) {
    d.boundaryMethod = c.method;
    const PlannedLooks looks = plannedBoundaries(d, {0, 40, 60, 80}, 3.0f);
    for (int32_t k = 1; k <= 3; ++k) {
      EXPECT_NEAR(looks[static_cast<size_t>(k)].efficacyZ, c.expected[k - 1], 1e-3) << c.method << k;
    }
  }
}

}  // namespace
}  // namespace survseq::bounds
