#include "law/expected_moments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

#include "input/accrual_profile.h"
#include "law/law_designs.h"
#include "law/null_variance.h"
#include "law/panel_rule.h"
#include "sim/simulated_trial.h"

// The expected events and information of the design's law against closed forms for
// exponential curves and against an independent fine-grid Simpson integration, and the
// original null variance against its own closed form.

namespace survseq::law {
namespace {

using testing::exponentialDesign;
using testing::hazardOfMedian;

// integral over 0 < t < T of G(T - t) exp(-a t) dt for uniform entry over [0, D].
double enteredExponential(double a, double T, double D) {
  if (T <= D) return (T / a - (1.0 - std::exp(-a * T)) / (a * a)) / D;
  const double c = T - D;
  return 1.0 / a - (std::exp(-a * c) - std::exp(-a * T)) / (a * a * D);
}

// Composite Simpson over each part between `cuts`, with 10^5 intervals a part, its ends
// taken from inside the part (a hazard may jump at a cut); the first part in s = sqrt(t),
// where (1 - S)^tau with a fractional tau is smooth.
double simpson(const std::function<double(double)>& f, std::vector<double> cuts) {
  std::sort(cuts.begin(), cuts.end());
  constexpr int kIntervals = 100000;
  double sum = 0.0;
  for (size_t p = 1; p < cuts.size(); ++p) {
    const bool root = p == 1;
    const double a = root ? std::sqrt(cuts[0]) : cuts[p - 1];
    const double b = root ? std::sqrt(cuts[1]) : cuts[p];
    const auto g = [&](double x) { return root ? f(x * x) * 2.0 * x : f(x); };
    const double h = (b - a) / kIntervals;
    double part = g(std::nextafter(a, b)) + g(std::nextafter(b, a));
    for (int i = 1; i < kIntervals; ++i) part += (i % 2 == 1 ? 4.0 : 2.0) * g(a + i * h);
    sum += part * h / 3.0;
  }
  return sum;
}

TEST(PanelRule, IsExactForPolynomialsOfDegreeThirtyOne) {
  double weights = 0.0, degree30 = 0.0, degree31 = 0.0;
  forEachPanelNode(0.0, 2.0, [&](double t, double w) {
    weights += w;
    degree30 += w * std::pow(t, 30);
    degree31 += w * std::pow(t - 1.0, 31);
  });
  EXPECT_NEAR(weights, 2.0, 1e-14);
  EXPECT_NEAR(degree30, std::pow(2.0, 31) / 31.0, 1e-13 * std::pow(2.0, 31) / 31.0);
  EXPECT_NEAR(degree31, 0.0, 1e-13);
}

// A patient entering uniformly over [a, b] with event hazard l and loss hazard m has an
// event seen by T with probability l / k ((s2 - s1) - (exp(-k s1) - exp(-k s2)) / k) /
// (b - a), k = l + m, s1 = max(0, T - b), s2 = max(0, T - a).
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
    // A given curve has the median 12 / ratio as a float holds it.
    const double l1 = c.curveGiven ? hazardOfMedian(12.0f / c.ratio) : c.ratio * l0;
    const double perPatient = (1 - share) * seen(l0) + share * seen(l1);
    const ExpectedMoments moments(d, Hypothesis::Alternative);
    EXPECT_NEAR(moments.eventsBy(c.time), perPatient, 1e-10 * perPatient) << c.time;
    const double events = 420 * perPatient;
    // Where the events have all but stopped (at 200) the time is known only roughly.
    const double found = moments.timeOfEvents(420, events);
    EXPECT_NEAR(420 * moments.eventsBy(found), events, 1e-9 * events);
    EXPECT_NEAR(found, c.time, c.time < 100 ? 1e-8 * c.time : 1);
    EXPECT_TRUE(std::isinf(moments.timeOfEvents(420, 421.0)));  // more events than patients
  }
}

// Under the null, with the same exponential loss m in both arms, the information is
// pi0 pi1 times the integral of G(T - t) C(t) w(S)^2 f(t), S the control curve: with an
// integer weight a sum of entered exponentials.
TEST(ExpectedInformation, UnderTheNullMatchesTheExponentialClosedForm) {
  struct Case { float rho, tau, allocation, time; };
  const double l = hazardOfMedian(12.0), m = hazardOfMedian(40.0);
  input::DesignParameters d = exponentialDesign(0.6f, 0.0f, 40.0f);
  for (const Case& c : {Case{0, 0, 1, 48}, Case{0, 0, 2, 12}, Case{0, 1, 1, 36},
                        Case{1, 0, 0.5f, 48}, Case{1, 1, 1, 20}}) {
    d.allocationRatio = c.allocation;
    const double shares = c.allocation / ((1.0 + c.allocation) * (1.0 + c.allocation));
    // w^2 f = l S^(2 rho + 1) (1 - S)^(2 tau), the binomial sum for 2 tau in {0, 2}.
    const auto I = [&](double j) { return enteredExponential(m + j * l, c.time, 24.0); };
    const double r = 2 * c.rho + 1;
    const double closed = shares * l * (c.tau == 0 ? I(r) : I(r) - 2 * I(r + 1) + I(r + 2));
    const PatientMoments got = ExpectedMoments(d, Hypothesis::Null).at(c.time, c.rho, c.tau);
    EXPECT_NEAR(got.information, closed, 1e-10 * closed) << c.rho << " " << c.tau;
    EXPECT_NEAR(got.drift, 0.0, 1e-15);
  }
}

// Under the alternative, without loss to follow-up, the pooled survival is the mixture
// pi0 S0 + pi1 S1 of the arms; the drift and the information against Simpson's rule on
// that closed form, also with an effect that starts after 6 months.
TEST(ExpectedInformation, UnderTheAlternativeMatchesAFineGridIntegration) {
  struct Case { float ratio, delay, rho, tau, allocation, time; };
  const double l = hazardOfMedian(12.0), D = 24.0;
  for (const Case& c : {Case{0.7f, 0, 0, 0, 1, 48}, Case{0.5f, 0, 0, 1, 2, 36},
                        Case{0.7f, 0, 1, 0, 1, 12}, Case{0.6f, 6, 0, 1, 1, 48},
                        Case{0.6f, 6, 0.5f, 0.5f, 0.5f, 60}, Case{0.7f, 0, 0, 0.5f, 1, 30}}) {
    input::DesignParameters d = exponentialDesign(c.ratio, c.delay);
    d.censoringControl = d.censoringTreatment = {1, {0, 1}, {1, 1}};  // no loss at all
    d.allocationRatio = c.allocation;
    const double pi1 = c.allocation / (1.0 + c.allocation), pi0 = 1.0 - pi1;
    const auto s1 = [&](double t) {  // hazard l before the delay, ratio x l after it
      return t <= c.delay ? std::exp(-l * t)
                          : std::exp(-l * c.delay - c.ratio * l * (t - c.delay));
    };
    const auto f1 = [&](double t) { return (t <= c.delay ? l : c.ratio * l) * s1(t); };
    const auto integrand = [&](double t, bool information) {
      const double entered = std::min(1.0, (c.time - t) / D);
      const double q0 = pi0 * std::exp(-l * t), q1 = pi1 * s1(t);
      const double r0 = l * q0, r1 = pi1 * f1(t);
      const double pooled = q0 + q1;
      const double w = std::pow(pooled, c.rho) * std::pow(1.0 - pooled, c.tau);
      return entered * (information ? w * w * q0 * q1 * (r0 + r1) / (pooled * pooled)
                                    : w * (q1 * r0 - q0 * r1) / pooled);
    };
    std::vector<double> cuts = {0.0, c.time};
    if (c.time > D) cuts.push_back(c.time - D);
    if (c.delay > 0) cuts.push_back(c.delay);
    const double information = simpson([&](double t) { return integrand(t, true); }, cuts);
    const double drift = simpson([&](double t) { return integrand(t, false); }, cuts);
    const PatientMoments got =
        ExpectedMoments(d, Hypothesis::Alternative).at(c.time, c.rho, c.tau);
    EXPECT_NEAR(got.information, information, 1e-9 * information) << c.ratio << " " << c.tau;
    EXPECT_NEAR(got.drift, drift, 1e-9 * std::fabs(drift)) << c.ratio << " " << c.tau;
  }
}

// Drop-in and drop-out: each arm's exact marginal law against the event times the
// simulation draws (2 x 10^5 patients an arm: a share's standard error is at most 0.0011,
// and three of them are allowed), and the expected events against a midpoint rule of
// 2 x 10^6 steps over that law, which each jump of a switching arm's density costs up to
// half a step times the jump, about 1e-7 in all (the panels must be cut at the jumps:
// uncut, the events were 2e-4 off).
TEST(SwitchingArms, FollowTheSimulatedDrawsAndIntegrateAcrossTheirJumps) {
  input::DesignParameters d = exponentialDesign(0.6f, 0.0f, 1e6f, {30});
  d.censoringControl = d.censoringTreatment = {1, {0, 1}, {1, 1}};  // no loss at all
  d.dropInCount = 2;
  d.dropInTimes = {0, 4, 10};
  d.dropInRates = {0, 0.2f, 0.3f};
  d.dropOutCount = 2;
  d.dropOutTimes = {0, 3, 12};
  d.dropOutRates = {0, 0.25f, 0.15f};
  const EventLaws laws(d, false);
  const ArmLaw control(d, laws, false), treatment(d, laws, true);

  constexpr int32_t kPatients = 400000;
  sim::SimulatedTrial trial(kPatients);
  sim::UniformGenerator generator;
  int32_t seed = -2718;
  std::ostringstream notes;
  sim::generateTrial(d, kPatients, generator, seed, trial, notes);
  for (const double t : {2.0, 5.0, 11.0, 20.0, 40.0}) {
    for (const bool treated : {false, true}) {
      int32_t arm = 0, surviving = 0;
      for (int32_t j = 0; j < kPatients; ++j) {
        if ((trial.group[static_cast<size_t>(j)] == 1.0f) != treated) continue;
        ++arm;
        surviving += trial.eventTime[static_cast<size_t>(j)] > t ? 1 : 0;
      }
      const double exact = (treated ? treatment : control).at(t).survival;
      const double share = double(surviving) / arm;
      EXPECT_NEAR(share, exact, 3 * std::sqrt(exact * (1 - exact) / arm)) << t << treated;
    }
  }

  const double T = 30.0, steps = 2e6, h = T / steps;
  double midpoint = 0.0;
  for (int32_t i = 0; i < steps; ++i) {
    const double t = (i + 0.5) * h;
    const double entered = std::min(1.0, (T - t) / 24.0);
    midpoint += h * entered * (control.at(t).density + treatment.at(t).density) / 2.0;
  }
  EXPECT_NEAR(ExpectedMoments(d, Hypothesis::Alternative).eventsBy(T), midpoint, 1e-6 * midpoint);
}

// The original planned information takes the event density as constant between the
// control curve's points: against the exact null information of a curve given at 20
// points it is off by up to 5e-3, its general form (accrual pieces, arm shares) alike.
TEST(OriginalNullVariance, ApproximatesTheExactNullInformation) {
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
    const ExpectedMoments exact(d, Hypothesis::Null);
    for (const Case& c :
         {Case{0, 0, 48}, Case{0, 0, 12}, Case{1, 0, 36}, Case{0, 1, 48}, Case{0.5f, 2, 30}}) {
      d.analysisTimes[1] = c.time;
      input::AnalysisValues planned{}, general{};
      nullVariances(d, 10.0f, c.rho, c.tau, planned);
      plannedNullVariances(d, 10.0f, c.rho, c.tau, d.analysisTimes, general);
      const double expected = 240.0 * exact.at(c.time, c.rho, c.tau).information;
      EXPECT_NEAR(general[1], expected, 6e-3 * expected) << c.rho << " " << c.tau;
      EXPECT_NEAR(planned[1], allocation == 1 ? general[1] : planned[1], 2e-3 * planned[1]);
    }
  }
}

// Under the null, without loss to follow-up, each event adds 1/4 to the variance of the
// score: V(T) = E(T) / 4 = r (D - integral of S over [T - D, T]) / 4. Beyond its last cut
// x(n) a curve keeps the hazard h of its last interval; every T here has T - D >= x(n).
TEST(OriginalNullVariance, IsAQuarterOfTheExpectedEventsAlsoAfterTheLastCutPoint) {
  input::DesignParameters d;
  d.baselineCurve = {2, {0, 4, 10}, {1, 0.8f, 0.6f}};
  d.censoringControl = d.censoringTreatment = {1, {0, 10}, {1, 1}};
  d.accrualPeriod = 12;
  d.analysisCount = 3;
  d.analysisTimes = {0, 22, 30, 50};
  input::AnalysisValues v{};
  nullVariances(d, 19.0f, 0, 0, v);
  const double h = std::log(double(0.8f) / double(0.6f)) / 6.0;
  const auto survival = [&](double u) { return double(0.6f) * std::exp(-h * (u - 10)); };
  for (int32_t i = 1; i <= 3; ++i) {
    const double T = d.analysisTimes[i];
    const double quarter = 19.0 * (12 - (survival(T - 12) - survival(T)) / h) / 4.0;
    EXPECT_NEAR(v[i], quarter, 1e-4 * quarter) << "T = " << T;
  }
  EXPECT_EQ(integrateNullVarianceTail(d, 10.0f, 12.0f, 0, 0), 0.0f);  // up to x(n): nothing
  EXPECT_GT(integrateNullVarianceTail(d, 10.5f, 12.0f, 0, 0), 0.0f);
}

}  // namespace
}  // namespace survseq::law
