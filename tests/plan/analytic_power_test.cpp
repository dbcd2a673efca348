// The analytic power and its crossing probabilities.
#include "plan/analytic_power.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bounds/reference_recursion.h"
#include "plan/analytic_rate.h"
#include "plan/crossing_probability.h"
#include "law/law_designs.h"

namespace survseq::plan {
namespace {

using survseq::testing::upperTail;
using law::testing::exponentialDesign;

// A fixed log-rank design needs (z_a + z_b)^2 / (p (1 - p) log^2 HR) events (Schoenfeld
// 1981), a local approximation: its gap to the exact limit grows with |log HR|, and with
// unequal allocation, whose shares at risk drift apart over time, already at first order.
TEST(AnalyticPower, FixedLogRankDesignNeedsSchoenfeldsEvents) {
  struct Case { float ratio, allocation, power; double tolerance; };
  for (const Case& c :
       {Case{0.9f, 1, 0.9f, 0.005}, Case{0.9f, 2, 0.8f, 0.02}, Case{0.7f, 1, 0.9f, 0.02}}) {
    input::DesignParameters d = exponentialDesign(c.ratio, 0.0f, 40.0f, {48});
    d.allocationRatio = c.allocation;
    d.desiredPower = c.power;
    const double rate = analyticAccrualRate(d), patients = patientsOf(d, rate);
    const AnalyticPlan plan = AnalyticModel(d, patients).plan(float(rate), patients);
    const double p = c.allocation / (1 + c.allocation), zb = c.power > 0.85 ? 1.2815516 : 0.8416212;
    const double events = std::pow((1.9599640 + zb) / std::log(double(c.ratio)), 2) / (p * (1 - p));
    EXPECT_NEAR(plan.statistics[1].looks[1].expectedEvents, events, c.tolerance * events);
    EXPECT_NEAR(plan.statistics[1].power, c.power, 1e-6);
    EXPECT_NEAR(plan.statistics[1].looks[1].cumulativeTypeOneError, 0.025, 1e-4);
  }
}

// The planned boundaries spend the type-I error under the null hypothesis, and the
// analytic rate gives the desired power.
TEST(AnalyticPower, NullCrossingsSpendAlphaAtTheAnalyticRate) {
  for (const auto& [useFunction, sides] :
       {std::pair{input::OBrienFleming, 1}, {input::Pocock, 1}, {input::OBrienFleming, 2}}) {
    input::DesignParameters d = exponentialDesign(0.7f, 0.0f, 60.0f, {20, 30, 40, 50});
    d.useFunction = useFunction;
    d.sides = sides;
    d.typeIError = sides == 2 ? 0.05f : 0.025f;
    const double rate = analyticAccrualRate(d), patients = patientsOf(d, rate);
    const AnalyticModel model(d, patients);
    EXPECT_NEAR(model.plan(float(rate), patients).statistics[1].looks[4].cumulativeTypeOneError,
                d.typeIError, 2e-4) << useFunction << " " << sides;
    EXPECT_NEAR(analyticModelAt(d, d.accrualRate).power(1, patients), d.desiredPower, 1e-6);
  }
}

// Equal information steps, no drift, the two-sided constant Z bounds of Jennison and
// Turnbull's tables 2.1 (Pocock) and 2.3 (O'Brien-Fleming, c sqrt(K / k)) at alpha 0.05:
// the crossings add up to 0.05 within the tables' three decimals.
TEST(CrossingProbability, PublishedTwoSidedBoundsSpendTheirAlpha) {
  struct Case { int32_t K; double c; bool obrienFleming; };
  for (const Case& c : {Case{2, 2.178, false}, Case{3, 2.289, false}, Case{5, 2.413, false},
                        Case{3, 2.004, true}, Case{4, 2.024, true}, Case{5, 2.040, true}}) {
    ScoreLooks looks{};
    for (int32_t k = 1; k <= c.K; ++k) {
      const double z = c.obrienFleming ? c.c * std::sqrt(double(c.K) / k) : c.c;
      looks[static_cast<size_t>(k)] = {0.0, double(k), z * std::sqrt(k), -z * std::sqrt(k)};
    }
    const Crossings crossings = crossingProbabilities(looks, c.K);
    double total = 0.0;
    for (int32_t k = 1; k <= c.K; ++k) {
      const Crossing& at = crossings[static_cast<size_t>(k)];
      total += at.upper + at.lower;
      EXPECT_NEAR(at.upper, at.lower, 1e-12);
    }
    EXPECT_NEAR(total, 0.05, 4e-4) << c.K << " " << c.c;
  }
}

// Two looks with a drift and perhaps a futility bound against the reference recursion; a
// look before any information (before any event) changes nothing.
TEST(CrossingProbability, TwoLooksWithDriftMatchTheReference) {
  struct Case { double m1, v1, m2, v2, a1, a2, f1; };
  for (const Case& c : {Case{1.0, 1.0, 2.5, 2.2, 2.8, 3.0, -INFINITY},
                        Case{0.3, 0.5, 0.9, 1.5, 1.6, 2.2, 0.0},
                        Case{2.0, 4.0, 3.0, 5.0, 5.9, 4.5, 1.0}}) {
    ScoreLooks looks{};
    looks[1] = {c.m1, c.v1, c.a1, c.f1};
    looks[2] = {c.m2, c.v2, c.a2, -INFINITY};
    const Crossings crossings = crossingProbabilities(looks, 2);
    std::vector<survseq::testing::ReferenceLook> reference = {{c.m1, c.v1, c.a1, c.f1},
                                                              {c.m2, c.v2, c.a2, -INFINITY}};
    const std::vector<double> up = survseq::testing::referenceCrossings(reference);
    EXPECT_NEAR(crossings[1].upper, up[0], 1e-12);
    EXPECT_NEAR(crossings[2].upper, up[1], 1e-6);
    EXPECT_NEAR(crossings[1].lower, 1 - upperTail((c.f1 - c.m1) / std::sqrt(c.v1)), 1e-12);
    const ScoreLooks later{ScoreLook{}, {0.0, 0.0, INFINITY, -INFINITY}, looks[1], looks[2]};
    const Crossings shifted = crossingProbabilities(later, 3);
    EXPECT_EQ(shifted[1].upper + shifted[1].lower, 0.0);
    EXPECT_NEAR(shifted[3].upper, crossings[2].upper, 1e-12);
  }
}

}  // namespace
}  // namespace survseq::plan
