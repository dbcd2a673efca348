#include "plan/analytic_power.h"

#include <gtest/gtest.h>

#include <cmath>

#include "plan/analytic_rate.h"
#include "plan/plan_designs.h"

namespace survseq::plan {
namespace {

using testing::exponentialDesign;

// A fixed log-rank design needs (z_a + z_b)^2 / (p (1 - p) log^2 HR) events (Schoenfeld
// 1981), a local approximation: its gap to the exact limit grows with |log HR|, and with
// unequal allocation, whose shares at risk drift apart over time, already at first order.
TEST(AnalyticPower, FixedLogRankDesignNeedsSchoenfeldsEvents) {
  struct Case {
    float ratio, allocation, power;
    double tolerance;
  } cases[] = {{0.9f, 1.0f, 0.9f, 0.005}, {0.9f, 2.0f, 0.8f, 0.02}, {0.7f, 1.0f, 0.9f, 0.02}};
  for (const Case& c : cases) {
    input::DesignParameters d = exponentialDesign(c.ratio, 0.0f, 40.0f, {48});
    d.allocationRatio = c.allocation;
    d.desiredPower = c.power;
    const double rate = analyticAccrualRate(d);
    const double patients = patientsOf(d, rate);
    const AnalyticPlan plan = AnalyticModel(d, patients).plan(float(rate), patients);
    const double p = c.allocation / (1.0 + c.allocation);
    const double zb = c.power > 0.85f ? 1.2815516 : 0.8416212;
    const double schoenfeld =
        std::pow(1.9599640 + zb, 2) / (p * (1 - p) * std::pow(std::log(double(c.ratio)), 2));
    EXPECT_NEAR(plan.statistics[1].looks[1].expectedEvents, schoenfeld, c.tolerance * schoenfeld)
        << c.ratio << " " << c.allocation;
    EXPECT_NEAR(plan.statistics[1].power, c.power, 1e-6);
    EXPECT_NEAR(plan.statistics[1].looks[1].cumulativeTypeOneError, 0.025, 1e-4);
  }
}

// The planned boundaries spend the type-I error under the null hypothesis; a bracket
// from the analytic rate has powers beyond the desired one's margin at its ends.
TEST(AnalyticPower, NullCrossingsSpendAlphaAndTheBracketStraddlesTheTarget) {
  struct Case {
    int32_t useFunction, sides;
  } cases[] = {{input::OBrienFleming, 1}, {input::Pocock, 1}, {input::OBrienFleming, 2}};
  for (const Case& c : cases) {
    input::DesignParameters d = exponentialDesign(0.7f, 0.0f, 60.0f, {20, 30, 40, 50});
    d.useFunction = c.useFunction;
    d.sides = c.sides;
    d.typeIError = c.sides == 2 ? 0.05f : 0.025f;
    const double rate = analyticAccrualRate(d);
    const double patients = patientsOf(d, rate);
    const AnalyticPlan plan = AnalyticModel(d, patients).plan(float(rate), patients);
    EXPECT_NEAR(plan.statistics[1].looks[4].cumulativeTypeOneError, d.typeIError, 2e-4)
        << c.useFunction << " " << c.sides;
    const RateBracket bracket = analyticBracket(d, rate);
    const AnalyticModel model(d, patients);
    EXPECT_LT(model.power(1, patientsOf(d, bracket.lower)), d.desiredPower - 0.03);
    EXPECT_GT(model.power(1, patientsOf(d, bracket.upper)), d.desiredPower + 0.02);
  }
}

}  // namespace
}  // namespace survseq::plan
