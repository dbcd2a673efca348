#include "sim/survival_functions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace survseq::sim {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

input::SurvivalCurve curve(std::initializer_list<float> x, std::initializer_list<float> s) {
  input::SurvivalCurve c;
  c.count = static_cast<int32_t>(x.size()) - 1;
  std::copy(x.begin(), x.end(), c.x.begin());
  std::copy(s.begin(), s.end(), c.s.begin());
  return c;
}

// Baseline (0, 10), (1, 0.5) and one hazard-ratio interval ending at 10 with ratio 0.5.
input::DesignParameters halfHazardDesign() {
  input::DesignParameters design;
  design.baselineCurve = curve({0.0f, 10.0f}, {1.0f, 0.5f});
  design.hazardRatioCount = 1;
  design.hazardRatioCuts[1] = 10.0f;
  design.hazardRatios[1] = 0.5f;
  return design;
}

TEST(SurvivalCurves, ExponentialBetweenAndBeyondThePoints) {
  const auto c = curve({0.0f, 10.0f, 20.0f}, {1.0f, 0.5f, 0.05f});  // hazards ln2/10, ln10/10
  EXPECT_EQ(survivalAt(c, 0.0f), 1.0f);
  EXPECT_FLOAT_EQ(survivalAt(c, 10.0f), 0.5f);
  EXPECT_FLOAT_EQ(survivalAt(c, 5.0f), static_cast<float>(std::sqrt(0.5)));
  EXPECT_FLOAT_EQ(survivalAt(c, 15.0f), static_cast<float>(0.5 / std::sqrt(10.0)));
  EXPECT_FLOAT_EQ(survivalAt(c, 30.0f), 0.005f);
  const auto single = curve({0.0f, 10.0f}, {1.0f, 0.5f});
  EXPECT_FLOAT_EQ(survivalAt(single, 20.0f), 0.25f);
  EXPECT_FLOAT_EQ(timeAtSurvival(single, 0.25f), 20.0f);
  EXPECT_FLOAT_EQ(timeAtSurvival(single, 0.5f), 10.0f);
  EXPECT_EQ(timeAtSurvival(single, 1.0f), 0.0f);
  for (float t : {0.5f, 7.0f, 13.0f, 41.0f}) {
    EXPECT_NEAR(timeAtSurvival(c, survivalAt(c, t)), t, 2e-5f * t);
  }
}

TEST(SurvivalCurves, NeverReachedGivesInfinity) {
  const auto flatEnd = curve({0.0f, 5.0f, 10.0f}, {1.0f, 0.5f, 0.5f});
  EXPECT_EQ(timeAtSurvival(flatEnd, 0.3f), kInfinity);
  EXPECT_EQ(timeAtSurvival(flatEnd, 0.0f), kInfinity);
  EXPECT_EQ(timeAtSurvival(curve({0.0f, 20.0f}, {1.0f, 1.0f}), 0.999f), kInfinity);
  EXPECT_EQ(timeAtSurvival(curve({0.0f, 10.0f}, {1.0f, 0.5f}), 0.0f), kInfinity);
}

TEST(HazardRatioTimeAtSurvival, DocumentedCases) {
  std::ostringstream report;
  // S1 = S0^0.5 up to 10, so S1 = 0.8 at 10 ln(0.64)/ln(0.5); S1(10) = sqrt(0.5), then
  // the baseline hazard ln2/10 halves that again 5 units later.
  EXPECT_NEAR(hazardRatioTimeAtSurvival(halfHazardDesign(), 0.8f, report), 6.4386f, 1e-4f);
  EXPECT_NEAR(hazardRatioTimeAtSurvival(halfHazardDesign(), 0.5f, report), 15.0f, 1e-4f);
  EXPECT_EQ(hazardRatioTimeAtSurvival(halfHazardDesign(), 1.0f, report), 0.0f);
  EXPECT_EQ(hazardRatioTimeAtSurvival(halfHazardDesign(), 0.0f, report), kInfinity);
  EXPECT_TRUE(report.str().empty());
}

TEST(HazardRatioTimeAtSurvival, RatiosOfOneGiveTheBaselineTimes) {
  input::DesignParameters design;
  design.baselineCurve = curve({0.0f, 4.0f, 9.0f, 15.0f}, {1.0f, 0.8f, 0.45f, 0.3f});
  design.hazardRatioCount = 3;
  design.hazardRatioCuts = {0.0f, 3.0f, 8.0f, 12.0f};
  design.hazardRatios = {0.0f, 1.0f, 1.0f, 1.0f};
  std::ostringstream report;
  for (float u : {0.99f, 0.8f, 0.6f, 0.45f, 0.1f, 1e-4f, 0.0f}) {
    EXPECT_EQ(hazardRatioTimeAtSurvival(design, u, report),
              timeAtSurvival(design.baselineCurve, u));
  }
}

// S1(t) = exp(-H1(t)), H1 summed interval by interval from the baseline's cumulative
// hazard H0 = -ln S0 with the ratio of each interval, ratio 1 beyond the last cut.
double hazardRatioSurvival(const input::DesignParameters& design, double t) {
  const auto h0 = [&](double time) {
    return -std::log(double(survivalAt(design.baselineCurve, static_cast<float>(time))));
  };
  double cumulative = 0.0;
  double from = 0.0;
  for (int k = 1; k <= design.hazardRatioCount && from < t; ++k) {
    const double to = std::min(t, double(design.hazardRatioCuts[k]));
    cumulative += design.hazardRatios[k] * (h0(to) - h0(from));
    from = to;
  }
  if (t > from) cumulative += h0(t) - h0(from);
  return std::exp(-cumulative);
}

TEST(HazardRatioTimeAtSurvival, InvertsThePiecewiseProportionalHazards) {
  input::DesignParameters design;
  design.baselineCurve = curve({0.0f, 5.0f, 10.0f}, {1.0f, 0.7f, 0.4f});
  design.hazardRatioCount = 3;
  design.hazardRatioCuts = {0.0f, 2.0f, 6.0f, 11.0f};
  design.hazardRatios = {0.0f, 0.5f, 1.5f, 0.8f};
  std::ostringstream report;
  for (float u : {0.97f, 0.75f, 0.45f, 0.1f, 0.01f}) {
    const float t = hazardRatioTimeAtSurvival(design, u, report);
    EXPECT_NEAR(hazardRatioSurvival(design, t), u, 2e-6 + 2e-6 * u) << "u = " << u;
  }
}

TEST(HazardRatioTimeAtSurvival, WarnsEachTimeAConditionHolds) {
  // S0(10) = 1e-5 and S0(20) = 1e-10; ratios 2 then 0.5 carry P = S0(10)^1.5 past 10.
  input::DesignParameters design;
  design.baselineCurve = curve({0.0f, 10.0f}, {1.0f, 1e-5f});
  design.hazardRatioCount = 2;
  design.hazardRatioCuts = {0.0f, 10.0f, 20.0f};
  design.hazardRatios = {0.0f, 2.0f, 0.5f};
  std::ostringstream report;
  hazardRatioTimeAtSurvival(design, 0.5f, report);
  EXPECT_EQ(report.str(), "");
  const float t = hazardRatioTimeAtSurvival(design, 1e-20f, report);
  hazardRatioTimeAtSurvival(design, 1e-20f, report);
  EXPECT_EQ(report.str(), " tmpp too small\n rmlp too small\n tmpp too small\n rmlp too small\n");
  EXPECT_NEAR(hazardRatioSurvival(design, t) / 1e-20, 1.0, 1e-4);
}

TEST(NullVarianceIntegrand, WeightedHarmonicTermOfTheCensoring) {
  input::DesignParameters design = halfHazardDesign();
  design.censoringControl = curve({0.0f, 10.0f}, {1.0f, 0.5f});
  design.censoringTreatment = curve({0.0f, 20.0f}, {1.0f, 1.0f});
  // At 10: a = 0.5, b = 1, a b / (a + b) = 1/3; S = 0.5, so S^2 = (1 - S)^2 = 1/4.
  EXPECT_FLOAT_EQ(nullVarianceIntegrand(design, 10.0f, 0.0f, 0.0f), 1.0f / 3.0f);
  EXPECT_FLOAT_EQ(nullVarianceIntegrand(design, 10.0f, 1.0f, 0.0f), 0.25f / 3.0f);
  EXPECT_FLOAT_EQ(nullVarianceIntegrand(design, 10.0f, 0.0f, 1.0f), 0.25f / 3.0f);
  EXPECT_EQ(nullVarianceIntegrand(design, 0.0f, 0.0f, 1.0f), 0.0f);
  // Both censoring survivals 4e-6 at 10: their sum is below 1e-5.
  design.censoringControl = design.censoringTreatment = curve({0.0f, 10.0f}, {1.0f, 4e-6f});
  EXPECT_EQ(nullVarianceIntegrand(design, 10.0f, 0.0f, 0.0f), 0.0f);
  EXPECT_GT(nullVarianceIntegrand(design, 9.0f, 0.0f, 0.0f), 0.0f);
}

}  // namespace
}  // namespace survseq::sim
