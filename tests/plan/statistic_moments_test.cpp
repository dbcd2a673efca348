#include "plan/statistic_moments.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bounds/expected_events.h"
#include "bounds/look_schedule.h"
#include "bounds/null_variance.h"
#include "input/accrual_profile.h"
#include "plan/plan_designs.h"

namespace survseq::plan {
namespace {

using testing::exponentialDesign;
using testing::hazardOfMedian;

// The boundaries' and the moments' expected events, and the times at which they reach a
// target, against the exponential closed form: a patient entering uniformly over [a, b]
// with event hazard l and loss hazard m has an event seen by T with probability
// l / k ((s2 - s1) - (exp(-k s1) - exp(-k s2)) / k) / (b - a), k = l + m,
// s1 = max(0, T - b), s2 = max(0, T - a).
TEST(ExpectedEvents, MatchTheExponentialClosedFormAndReachTheirTargets) {
  struct Case {
    float ratio, censoringMedian, allocation, time;
    bool curveGiven;  // the treatment's curve rather than a hazard ratio
    std::vector<float> durations = {24}, rates = {1};
  };
  for (const Case& c : {Case{0.7f, 1e6f, 1, 48, false}, Case{0.5f, 30, 1, 12, false},
                        Case{0.7f, 30, 2, 48, true, {6, 18}, {0.25f, 1}},
                        Case{1, 60, 0.5f, 30, false, {4, 4, 16}, {2, 0, 1}},
                        Case{0.7f, 40, 1, 200, true}}) {
    input::DesignParameters d = exponentialDesign(c.ratio, 0.0f, c.censoringMedian);
    d.allocationRatio = c.allocation;
    d.accrualPieceCount = c.durations.size() > 1 ? int32_t(c.durations.size()) : 0;
    std::copy(c.durations.begin(), c.durations.end(), d.accrualPieceDurations.begin() + 1);
    std::copy(c.rates.begin(), c.rates.end(), d.accrualRelativeRates.begin() + 1);
    if (c.curveGiven) {
      d.alternativeKind = 1;
      d.alternativeCurve = testing::exponentialCurve(12.0f / c.ratio);
    }
    const auto seen = [&](double l) {
      const double k = l + hazardOfMedian(c.censoringMedian);
      double start = 0.0, weight = 0.0, sum = 0.0;
      for (size_t i = 0; i < c.durations.size(); ++i) {
        const double s1 = std::max(0.0, c.time - start - c.durations[i]);
        const double s2 = std::max(0.0, c.time - start);
        start += c.durations[i];
        weight += c.rates[i] * c.durations[i];
        sum += c.rates[i] * l / k * ((s2 - s1) - (std::exp(-k * s1) - std::exp(-k * s2)) / k);
      }
      return sum / weight;
    };
    const double share = c.allocation / (1.0 + c.allocation), l0 = hazardOfMedian(12.0);
    const double perPatient = (1 - share) * seen(l0) + share * seen(c.ratio * l0);
    const float rate = input::rateForPatients(d, 420);
    const double events = bounds::expectedEvents(d, rate, c.time);
    EXPECT_NEAR(events, 420 * perPatient, 2e-5 * 420 * perPatient) << c.time;
    EXPECT_NEAR(MomentIntegrator(d, false, c.time).eventsBy(c.time), perPatient, 1e-6 * perPatient);
    // Where the events have all but stopped (at 200) the time is known only roughly.
    const double found = bounds::timeOfExpectedEvents(d, rate, events);
    EXPECT_NEAR(bounds::expectedEvents(d, rate, found), events, 1e-6 * events);
    const double tolerance = c.time < 100 ? 1e-5 * c.time : 1;
    EXPECT_NEAR(found, c.time, tolerance);
    EXPECT_NEAR(timeOfExpectedEvents(d, 420, events), c.time, tolerance);
    EXPECT_TRUE(std::isinf(bounds::timeOfExpectedEvents(d, rate, 421.0)));
    EXPECT_LT(timeOfExpectedEvents(d, 420, 460.0), 0.0);  // more events than patients
  }
}

// Independent integrals of the null information: nullVariances (1:1, no pieces), the one
// over accrual pieces and arm shares, and the moments' trapezoid. The first two take the
// event density as constant between the curve's points: 20 points cost them up to 5e-3.
TEST(StatisticMoments, NullInformationAgreesWithThePlannedNullVariance) {
  struct Case { float rho, tau, time; };
  input::DesignParameters d = exponentialDesign(0.7f, 0.0f, 40.0f);
  d.baselineCurve.count = 20;
  for (int32_t i = 1; i <= 20; ++i) {
    d.baselineCurve.x[i] = 2.4f * float(i);
    d.baselineCurve.s[i] = static_cast<float>(std::exp(-hazardOfMedian(12.0) * 2.4 * i));
  }
  d.censoringTreatment = testing::exponentialCurve(25.0f);
  d.accrualPieceCount = 1;  // the whole 24 at the full rate, as a piece
  d.accrualPieceDurations[1] = 24;
  d.accrualRelativeRates[1] = 1;
  for (float allocation : {1.0f, 2.0f}) {
    d.allocationRatio = allocation;
    const MomentIntegrator integrator(d, true, 48.0);
    for (const Case& c :
         {Case{0, 0, 48}, Case{0, 0, 12}, Case{1, 0, 36}, Case{0, 1, 48}, Case{0.5f, 2, 30}}) {
      d.analysisTimes[1] = c.time;
      input::AnalysisValues planned{}, general{};
      bounds::nullVariances(d, 10.0f, c.rho, c.tau, planned);
      bounds::plannedNullVariances(d, 10.0f, c.rho, c.tau, d.analysisTimes, general);
      const PatientMoments m = integrator.at(c.time, c.rho, c.tau);
      EXPECT_NEAR(m.information * 240.0, general[1], 6e-3 * general[1]) << c.rho << " " << c.tau;
      EXPECT_NEAR(planned[1], allocation == 1 ? general[1] : planned[1], 2e-3 * planned[1]);
      EXPECT_NEAR(m.drift, 0.0, 1e-12);
    }
  }
}

}  // namespace
}  // namespace survseq::plan
