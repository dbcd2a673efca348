// The expected events, duration and patients at the stop, against closed forms of
// exponential designs with uniform accrual: the events by T per patient enrolled over A
// with hazard h are (T - (1 - exp(-h T)) / h) / A for T <= A and
// 1 - (exp(-h (T - A)) - exp(-h T)) / (h A) beyond; a look with given critical value c
// stops a null trial with probability 1 - Phi(c) (no earlier look).

#include <gtest/gtest.h>

#include <cmath>

#include "plan/analytic_power.h"
#include "plan/stop_expectations.h"
#include "law/law_designs.h"

namespace survseq::plan {
namespace {

using law::testing::exponentialDesign;
using law::testing::hazardOfMedian;

double eventsPerPatient(double hazard, double time, double accrual) {
  if (time <= accrual) return (time - (1.0 - std::exp(-hazard * time)) / hazard) / accrual;
  return 1.0 - (std::exp(-hazard * (time - accrual)) - std::exp(-hazard * time)) / (hazard * accrual);
}

double upperTail(double z) { return 0.5 * std::erfc(z / std::sqrt(2.0)); }

AnalyticPlan planOf(const input::DesignParameters& design, double patients) {
  return AnalyticModel(design, patients).plan(static_cast<float>(patients / 24.0), patients);
}

// The integrals are trapezoidal sums on 20000 steps and the censoring has median 1e6
// (hazard 7e-7): both leave relative errors below 1e-4.
constexpr double kRelative = 1e-4;

TEST(StopExpectations, OneLookSpendsItsTimeItsEventsAndEveryPatient) {
  const double h = hazardOfMedian(12.0);
  for (const float ratio : {0.6f, 1.0f, 1.5f}) {
    const input::DesignParameters design = exponentialDesign(ratio);
    const AnalyticPlan plan = planOf(design, 360.0);
    const StopExpectations e = stopExpectations(design, plan, looksUnderNull(design, plan), 1);
    const double alternative =
        360.0 * (eventsPerPatient(h, 48, 24) + eventsPerPatient(ratio * h, 48, 24)) / 2.0;
    EXPECT_NEAR(e.alternative.events, alternative, kRelative * alternative) << ratio;
    EXPECT_NEAR(e.null.events, 360.0 * eventsPerPatient(h, 48, 24), kRelative * 360.0) << ratio;
    for (const StopExpectation& each : {e.alternative, e.null}) {
      EXPECT_DOUBLE_EQ(each.duration, 48.0);
      EXPECT_DOUBLE_EQ(each.patients, 360.0);
    }
  }
}

TEST(StopExpectations, UnderTheNullAnEarlyLookStopsAsItsCriticalValueSays) {
  input::DesignParameters design = exponentialDesign(0.7f, 0.0f, 1.0e6f, {12, 48});
  design.boundaryMethod = input::GivenBoundaries;
  const double h = hazardOfMedian(12.0);
  for (const float c1 : {1.5f, 2.5f, 3.0f}) {
    design.boundaryValues[1] = c1;
    design.boundaryValues[2] = 2.0f;
    const AnalyticPlan plan = planOf(design, 360.0);
    const StopExpectations e = stopExpectations(design, plan, looksUnderNull(design, plan), 1);
    const double early = upperTail(c1);
    // Half the patients have entered by 12, all by 24.
    EXPECT_NEAR(e.null.duration, early * 12.0 + (1.0 - early) * 48.0, 1e-4) << c1;
    EXPECT_NEAR(e.null.patients, 360.0 * (early * 0.5 + (1.0 - early)), 1e-3) << c1;
    const double events =
        360.0 * (early * eventsPerPatient(h, 12, 24) + (1.0 - early) * eventsPerPatient(h, 48, 24));
    EXPECT_NEAR(e.null.events, events, kRelative * events) << c1;
    // The effect stops more trials early: shorter and smaller under the alternative.
    EXPECT_LT(e.alternative.duration, e.null.duration);
    EXPECT_LT(e.alternative.patients, e.null.patients);
  }
}

TEST(StopExpectations, AtAnEventTargetTheNullLooksWhenItsEventsReachIt) {
  const double h = hazardOfMedian(12.0);
  for (const int32_t target : {40, 150, 300}) {
    input::DesignParameters design = exponentialDesign(0.6f);
    design.analysisTiming = input::AnalysisTiming::FixedEvents;
    design.analysisEvents[1] = target;
    const AnalyticPlan plan = planOf(design, 360.0);
    const LooksUnderNull null = looksUnderNull(design, plan);
    const StopExpectations e = stopExpectations(design, plan, null, 1);
    EXPECT_DOUBLE_EQ(e.null.events, target);
    EXPECT_NEAR(360.0 * eventsPerPatient(h, e.null.duration, 24), target, kRelative * target);
    // The null has more events than the alternative's ratio 0.6: it reaches the target sooner.
    EXPECT_LT(e.null.duration, e.alternative.duration) << target;
    EXPECT_NEAR(e.null.patients, 360.0 * std::min(1.0, e.null.duration / 24.0), 1e-3);
  }
  // A target the null never reaches has no time: with censoring of median 24 a control
  // patient has an event with probability 2/3 (240 of 360), a treatment patient at the
  // ratio 1.5 with 3/4 (255 in all under the alternative).
  input::DesignParameters design = exponentialDesign(1.5f, 0.0f, 24.0f);
  design.analysisTiming = input::AnalysisTiming::FixedEvents;
  design.analysisEvents[1] = 250;
  const AnalyticPlan plan = planOf(design, 360.0);
  EXPECT_TRUE(std::isnan(looksUnderNull(design, plan)[1].time));
}

}  // namespace
}  // namespace survseq::plan
