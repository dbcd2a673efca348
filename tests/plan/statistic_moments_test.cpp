#include "plan/statistic_moments.h"

#include <gtest/gtest.h>

#include <cmath>

#include "bounds/null_variance.h"
#include "plan/arm_laws.h"
#include "plan/plan_designs.h"

namespace survseq::plan {
namespace {

using testing::exponentialDesign;
using testing::hazardOfMedian;

// Share of patients, entering uniformly over [0, A], whose event (hazard l, competing
// censoring hazard c) is seen by calendar time T.
double exponentialEventShare(double l, double c, double A, double T) {
  const double k = l + c;
  const double followed = T >= A ? A - (std::exp(-k * (T - A)) - std::exp(-k * T)) / k
                                 : T - (1.0 - std::exp(-k * T)) / k;
  return l / k * followed / A;
}

TEST(StatisticMoments, ExpectedEventsMatchTheExponentialClosedForm) {
  struct Case {
    float ratio, censoringMedian, allocation, time;
  } cases[] = {{0.7f, 1e6f, 1.0f, 48.0f}, {0.7f, 30.0f, 2.0f, 48.0f},
               {0.5f, 30.0f, 1.0f, 12.0f}, {1.0f, 60.0f, 0.5f, 30.0f}};
  for (const Case& c : cases) {
    input::DesignParameters d = exponentialDesign(c.ratio, 0.0f, c.censoringMedian);
    d.allocationRatio = c.allocation;
    const MomentIntegrator integrator(d, false, 60.0);
    const double l0 = hazardOfMedian(12.0);
    const double cens = hazardOfMedian(c.censoringMedian);
    const double pi1 = c.allocation / (1.0 + c.allocation);
    const double expected = (1.0 - pi1) * exponentialEventShare(l0, cens, 24.0, c.time) +
                            pi1 * exponentialEventShare(c.ratio * l0, cens, 24.0, c.time);
    EXPECT_NEAR(integrator.eventsBy(c.time), expected, 1e-6 * expected) << c.ratio << " " << c.time;
  }
}

TEST(StatisticMoments, ExpectedEventsFollowTheAccrualPieces) {
  // Enrolment at a quarter of the rate over [0, 6], then the full rate over (6, 24]:
  // a patient entering uniformly over [a, b] is seen to fail by T >= b with probability
  // l / k (1 - (exp(-k (T - b)) - exp(-k (T - a))) / (k (b - a))).
  input::DesignParameters d = exponentialDesign(1.0f, 0.0f, 30.0f);
  d.accrualPieceCount = 2;
  d.accrualPieceDurations[1] = 6.0f;
  d.accrualPieceDurations[2] = 18.0f;
  d.accrualRelativeRates[1] = 0.25f;
  d.accrualRelativeRates[2] = 1.0f;
  const double l = hazardOfMedian(12.0);
  const double k = l + hazardOfMedian(30.0);
  const auto seen = [&](double a, double b, double T) {
    return l / k * (1.0 - (std::exp(-k * (T - b)) - std::exp(-k * (T - a))) / (k * (b - a)));
  };
  const MomentIntegrator integrator(d, false, 40.0);
  const double expected = (1.5 * seen(0, 6, 40) + 18.0 * seen(6, 24, 40)) / 19.5;
  EXPECT_NEAR(integrator.eventsBy(40.0), expected, 1e-6 * expected);
}

TEST(ArmLaws, DropInAndDropOutFollowTheCoupledDrawsClosedForms) {
  // Control switches at 6 with probability 0.3 to the better treatment law: the same
  // u's treatment time, so S(t) = 0.7 S0(t) + 0.3 min(S1(t), S0(6)). Treatment switches
  // at 6 with probability 0.4 to the worse control law, where the same u often lands
  // before 6 and is redrawn: S(t) = 0.6 S1(t) + 0.4 S1(6) S0(t) / S0(6).
  input::DesignParameters d = exponentialDesign(0.7f);
  d.dropInTimes[1] = 6.0f;
  d.dropInRates[1] = 0.3f;
  d.dropOutTimes[1] = 6.0f;
  d.dropOutRates[1] = 0.4f;
  const EventLaws laws(d);
  const ArmLaw control(d, laws, false);
  const ArmLaw treatment(d, laws, true);
  const auto s0 = [](double t) { return std::exp(-hazardOfMedian(12.0) * t); };
  const auto s1 = [](double t) { return std::exp(-0.7 * hazardOfMedian(12.0) * t); };
  for (double t : {3.0, 6.0, 7.0, 9.0, 20.0, 50.0}) {
    const double c = t <= 6.0 ? s0(t) : 0.7 * s0(t) + 0.3 * std::min(s1(t), s0(6.0));
    const double r = t <= 6.0 ? s1(t) : 0.6 * s1(t) + 0.4 * s1(6.0) * s0(t) / s0(6.0);
    EXPECT_NEAR(control.at(t).survival, c, 1e-7 * c) << t;  // rates held in single precision
    EXPECT_NEAR(treatment.at(t).survival, r, 1e-7 * r) << t;
    // The densities are the slopes of the survivals (away from the kinks).
    const double h = 1e-5;
    for (const ArmLaw* arm : {&control, &treatment}) {
      const double slope = (arm->at(t - h).survival - arm->at(t + h).survival) / (2 * h);
      if (t != 6.0) {
        EXPECT_NEAR(arm->at(t).density, slope, 1e-7) << t;
      }
    }
  }
}

TEST(StatisticMoments, NullInformationAgreesWithThePlannedNullVariance) {
  // Two independent integrals of the same quantity: the planned information's midpoint
  // rule in single precision, and the trapezoid of the moments in double. The planned
  // information takes the event density as constant between the curve's points, so the
  // baseline curve is given at 20 points, where that costs it up to about 5e-3.
  struct Case {
    float rho, tau, time;
  } cases[] = {{0, 0, 48}, {0, 0, 12}, {1, 0, 36}, {0, 1, 48}, {0.5f, 2, 30}};
  input::DesignParameters d = exponentialDesign(0.7f, 0.0f, 40.0f);
  d.baselineCurve.count = 20;
  for (int32_t i = 1; i <= 20; ++i) {
    d.baselineCurve.x[i] = 2.4f * float(i);
    d.baselineCurve.s[i] = static_cast<float>(std::exp(-hazardOfMedian(12.0) * 2.4 * i));
  }
  d.censoringTreatment = testing::exponentialCurve(25.0f);
  const MomentIntegrator integrator(d, true, 48.0);
  for (const Case& c : cases) {
    d.analysisCount = 1;
    d.analysisTimes[1] = c.time;
    input::AnalysisValues planned{};
    bounds::nullVariances(d, 10.0f, c.rho, c.tau, planned);
    const PatientMoments m = integrator.at(c.time, c.rho, c.tau);
    EXPECT_NEAR(m.information * 240.0, planned[1], 6e-3 * planned[1]) << c.rho << " " << c.tau;
    EXPECT_NEAR(m.drift, 0.0, 1e-12);
  }
}

TEST(StatisticMoments, LogRankDriftIsSchoenfeldsNearTheNull) {
  // Under proportional hazards close to 1 the log-rank statistic's mean per root event is
  // -log(HR) sqrt(p (1 - p)), p the allocation share (Schoenfeld 1981).
  for (float allocation : {1.0f, 2.0f}) {
    input::DesignParameters d = exponentialDesign(0.97f, 0.0f, 50.0f);
    d.allocationRatio = allocation;
    const MomentIntegrator integrator(d, false, 48.0);
    const PatientMoments m = integrator.at(40.0, 0.0f, 0.0f);
    const double p = allocation / (1.0 + allocation);
    const double perRootEvent = m.drift / std::sqrt(m.information) / std::sqrt(m.events);
    EXPECT_NEAR(perRootEvent, -std::log(0.97) * std::sqrt(p * (1 - p)),
                0.01 * -std::log(0.97) * std::sqrt(p * (1 - p)));
  }
}

TEST(StatisticMoments, EventTargetsAreReachedWhereTheExpectedEventsCountThem) {
  const input::DesignParameters d = exponentialDesign(0.7f, 0.0f, 40.0f);
  const double time = timeOfExpectedEvents(d, 400.0, 200.0);
  const MomentIntegrator integrator(d, false, time);
  EXPECT_NEAR(400.0 * integrator.eventsBy(time), 200.0, 1e-6);
  EXPECT_LT(timeOfExpectedEvents(d, 400.0, 401.0), 0.0);  // more events than patients
}

}  // namespace
}  // namespace survseq::plan
