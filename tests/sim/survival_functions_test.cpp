#include "sim/survival_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <sstream>

namespace survseq::sim {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

input::SurvivalCurve makeCurve(std::initializer_list<float> x, std::initializer_list<float> s) {
  input::SurvivalCurve curve;
  curve.count = static_cast<int32_t>(x.size()) - 1;
  int i = 0;
  for (float value : x) curve.x[i++] = value;
  i = 0;
  for (float value : s) curve.s[i++] = value;
  return curve;
}

// Baseline (0, 10), (1, 0.5) and one hazard-ratio interval ending at 10 with ratio 0.5.
input::DesignParameters halfHazardDesign() {
  input::DesignParameters design;
  design.baselineCurve = makeCurve({0.0f, 10.0f}, {1.0f, 0.5f});
  design.hazardRatioCount = 1;
  design.hazardRatioCuts[1] = 10.0f;
  design.hazardRatios[1] = 0.5f;
  return design;
}

TEST(IntervalHazard, IsTheLogDropPerUnitOfTime) {
  const auto curve = makeCurve({0.0f, 10.0f, 30.0f}, {1.0f, 0.5f, 0.125f});
  EXPECT_FLOAT_EQ(intervalHazard(curve, 1), static_cast<float>(std::log(2.0) / 10.0));
  EXPECT_FLOAT_EQ(intervalHazard(curve, 2), static_cast<float>(2.0 * std::log(2.0) / 20.0));
}

TEST(SurvivalAt, HitsThePointsAndContinuesTheLastHazard) {
  const auto curve = makeCurve({0.0f, 10.0f}, {1.0f, 0.5f});
  EXPECT_EQ(survivalAt(curve, 0.0f), 1.0f);
  EXPECT_EQ(survivalAt(curve, -3.0f), 1.0f);
  EXPECT_FLOAT_EQ(survivalAt(curve, 10.0f), 0.5f);
  EXPECT_FLOAT_EQ(survivalAt(curve, 5.0f), static_cast<float>(std::sqrt(0.5)));
  EXPECT_FLOAT_EQ(survivalAt(curve, 20.0f), 0.25f);
}

TEST(SurvivalAt, UsesTheIntervalThatContainsTheTime) {
  // Hazard ln2/10 on (0, 10], then ln10/10 on (10, 20] and beyond.
  const auto curve = makeCurve({0.0f, 10.0f, 20.0f}, {1.0f, 0.5f, 0.05f});
  EXPECT_FLOAT_EQ(survivalAt(curve, 20.0f), 0.05f);
  EXPECT_FLOAT_EQ(survivalAt(curve, 15.0f), static_cast<float>(0.5 / std::sqrt(10.0)));
  EXPECT_FLOAT_EQ(survivalAt(curve, 30.0f), 0.005f);
}

TEST(TimeAtSurvival, InvertsSurvivalAt) {
  const auto curve = makeCurve({0.0f, 10.0f}, {1.0f, 0.5f});
  EXPECT_FLOAT_EQ(timeAtSurvival(curve, 0.25f), 20.0f);
  EXPECT_FLOAT_EQ(timeAtSurvival(curve, 0.5f), 10.0f);
  EXPECT_EQ(timeAtSurvival(curve, 1.0f), 0.0f);

  const auto twoStep = makeCurve({0.0f, 10.0f, 20.0f}, {1.0f, 0.5f, 0.05f});
  for (float t : {0.5f, 7.0f, 10.0f, 13.0f, 20.0f, 41.0f}) {
    EXPECT_NEAR(timeAtSurvival(twoStep, survivalAt(twoStep, t)), t, 2e-5f * t) << "t = " << t;
  }
}

TEST(TimeAtSurvival, ZeroIsNeverReached) {
  const auto curve = makeCurve({0.0f, 10.0f}, {1.0f, 0.5f});
  EXPECT_EQ(timeAtSurvival(curve, 0.0f), kInfinity);
  const auto flatEnd = makeCurve({0.0f, 5.0f, 10.0f}, {1.0f, 0.5f, 0.5f});
  EXPECT_EQ(timeAtSurvival(flatEnd, 0.0f), kInfinity);
}

TEST(TimeAtSurvival, FlatLastIntervalMeansNeverReachedBelowIt) {
  const auto flatEnd = makeCurve({0.0f, 5.0f, 10.0f}, {1.0f, 0.5f, 0.5f});
  EXPECT_EQ(timeAtSurvival(flatEnd, 0.3f), kInfinity);
  EXPECT_FLOAT_EQ(timeAtSurvival(flatEnd, 0.5f), 5.0f);

  // A censoring curve that stays at 1: nobody is lost to follow-up.
  const auto noLoss = makeCurve({0.0f, 20.0f}, {1.0f, 1.0f});
  EXPECT_EQ(timeAtSurvival(noLoss, 0.999f), kInfinity);
  EXPECT_EQ(timeAtSurvival(noLoss, 1.0f), 0.0f);
}

TEST(TimeAtSurvival, SkipsIntervalsThatDropByLessThanTheThreshold) {
  // The first interval drops by less than 1e-6 and is never chosen, although u lies
  // below its end; u is found on the second interval instead.
  const auto curve = makeCurve({0.0f, 10.0f, 20.0f}, {1.0f, 0.9999995f, 0.5f});
  const float u = 0.9f;
  const double lambda2 = (std::log(double(0.9999995f)) - std::log(0.5)) / 10.0;
  const double expected = 10.0 - std::log(double(u) / double(0.9999995f)) / lambda2;
  EXPECT_FLOAT_EQ(timeAtSurvival(curve, u), static_cast<float>(expected));
}

TEST(HazardRatioTimeAtSurvival, InsideTheRatioInterval) {
  std::ostringstream report;
  // S1 = S0^0.5 up to 10: S1(t) = 0.8 at t = 10 ln(0.64) / ln(0.5).
  EXPECT_NEAR(hazardRatioTimeAtSurvival(halfHazardDesign(), 0.8f, report), 6.4386f, 1e-4f);
  EXPECT_TRUE(report.str().empty());
}

TEST(HazardRatioTimeAtSurvival, BeyondTheLastCutTheRatioIsOne) {
  std::ostringstream report;
  // S1(10) = sqrt(0.5); then the baseline hazard ln2/10: S1 = 0.5 after 5 more units.
  EXPECT_NEAR(hazardRatioTimeAtSurvival(halfHazardDesign(), 0.5f, report), 15.0f, 1e-4f);
  EXPECT_TRUE(report.str().empty());
}

TEST(HazardRatioTimeAtSurvival, EndsOfTheUnitInterval) {
  std::ostringstream report;
  EXPECT_EQ(hazardRatioTimeAtSurvival(halfHazardDesign(), 1.0f, report), 0.0f);
  EXPECT_EQ(hazardRatioTimeAtSurvival(halfHazardDesign(), 0.0f, report), kInfinity);
}

TEST(HazardRatioTimeAtSurvival, RatiosOfOneGiveTheBaselineTimes) {
  input::DesignParameters design;
  design.baselineCurve = makeCurve({0.0f, 4.0f, 9.0f, 15.0f}, {1.0f, 0.8f, 0.45f, 0.3f});
  design.hazardRatioCount = 3;
  design.hazardRatioCuts = {0.0f, 3.0f, 8.0f, 12.0f};
  design.hazardRatios = {0.0f, 1.0f, 1.0f, 1.0f};
  std::ostringstream report;
  for (float u : {0.99f, 0.85f, 0.8f, 0.6f, 0.45f, 0.31f, 0.1f, 1e-4f, 0.0f}) {
    EXPECT_EQ(hazardRatioTimeAtSurvival(design, u, report),
              timeAtSurvival(design.baselineCurve, u))
        << "u = " << u;
  }
}

// S1(t) = exp(-H1(t)) with H1 built interval by interval from the baseline's cumulative
// hazard H0 = -ln S0: H1(t) = sum_k HR[k] (H0(min(t, T[k])) - H0(T[k-1])), ratio 1
// beyond T[m].
double hazardRatioSurvival(const input::DesignParameters& design, double t) {
  const auto h0 = [&](double time) {
    return -std::log(double(survivalAt(design.baselineCurve, static_cast<float>(time))));
  };
  double cumulative = 0.0;
  double previousCut = 0.0;
  for (int k = 1; k <= design.hazardRatioCount; ++k) {
    const double cut = design.hazardRatioCuts[k];
    const double end = std::min(t, cut);
    if (end > previousCut) cumulative += design.hazardRatios[k] * (h0(end) - h0(previousCut));
    previousCut = cut;
  }
  if (t > previousCut) cumulative += h0(t) - h0(previousCut);
  return std::exp(-cumulative);
}

TEST(HazardRatioTimeAtSurvival, InvertsThePiecewiseProportionalHazards) {
  input::DesignParameters design;
  design.baselineCurve = makeCurve({0.0f, 5.0f, 10.0f}, {1.0f, 0.7f, 0.4f});
  design.hazardRatioCount = 3;
  design.hazardRatioCuts = {0.0f, 2.0f, 6.0f, 11.0f};
  design.hazardRatios = {0.0f, 0.5f, 1.5f, 0.8f};
  std::ostringstream report;
  for (float u : {0.97f, 0.9f, 0.75f, 0.6f, 0.45f, 0.3f, 0.1f, 0.01f}) {
    const float t = hazardRatioTimeAtSurvival(design, u, report);
    EXPECT_NEAR(hazardRatioSurvival(design, t), u, 2e-6 + 2e-6 * u) << "u = " << u;
  }
  EXPECT_TRUE(report.str().empty());
}

TEST(HazardRatioTimeAtSurvival, WarnsOncePerConditionEachTimeItHolds) {
  // Baseline falls to 1e-5 at 10 (and to 1e-10 at 20). With ratios 2 then 0.5 the
  // survival carried past the first cut is P = S0(10)^1.5, about 3e-8.
  input::DesignParameters design;
  design.baselineCurve = makeCurve({0.0f, 10.0f}, {1.0f, 1e-5f});
  design.hazardRatioCount = 2;
  design.hazardRatioCuts = {0.0f, 10.0f, 20.0f};
  design.hazardRatios = {0.0f, 2.0f, 0.5f};

  std::ostringstream quiet;
  hazardRatioTimeAtSurvival(design, 0.5f, quiet);
  EXPECT_TRUE(quiet.str().empty());

  std::ostringstream report;
  const float t = hazardRatioTimeAtSurvival(design, 1e-20f, report);
  EXPECT_EQ(report.str(), " tmpp too small\n rmlp too small\n");
  EXPECT_NEAR(hazardRatioSurvival(design, t) / 1e-20, 1.0, 1e-4);

  hazardRatioTimeAtSurvival(design, 1e-20f, report);
  EXPECT_EQ(report.str(), " tmpp too small\n rmlp too small\n tmpp too small\n rmlp too small\n");
}

TEST(NullVarianceIntegrand, LogRankWeightIsTheCensoringHarmonicTerm) {
  input::DesignParameters design = halfHazardDesign();
  design.censoringControl = makeCurve({0.0f, 10.0f}, {1.0f, 0.5f});
  design.censoringTreatment = makeCurve({0.0f, 20.0f}, {1.0f, 1.0f});
  // At t = 10: a = 0.5, b = 1, so a b / (a + b) = 1/3.
  EXPECT_FLOAT_EQ(nullVarianceIntegrand(design, 10.0f, 0.0f, 0.0f), 1.0f / 3.0f);
  // With rho = 1 the weight S^2 = 0.25 multiplies it.
  EXPECT_FLOAT_EQ(nullVarianceIntegrand(design, 10.0f, 1.0f, 0.0f), 0.25f / 3.0f);
  // With tau = 1 the weight (1 - S)^2 = 0.25 as well, and 0 at t = 0.
  EXPECT_FLOAT_EQ(nullVarianceIntegrand(design, 10.0f, 0.0f, 1.0f), 0.25f / 3.0f);
  EXPECT_EQ(nullVarianceIntegrand(design, 0.0f, 0.0f, 1.0f), 0.0f);
}

TEST(NullVarianceIntegrand, NothingWhenBothArmsAreCensored) {
  input::DesignParameters design = halfHazardDesign();
  // Both censoring survivals at 4e-6 by t = 10: their sum is below 1e-5.
  design.censoringControl = makeCurve({0.0f, 10.0f}, {1.0f, 4e-6f});
  design.censoringTreatment = design.censoringControl;
  EXPECT_EQ(nullVarianceIntegrand(design, 10.0f, 0.0f, 0.0f), 0.0f);
  EXPECT_GT(nullVarianceIntegrand(design, 9.0f, 0.0f, 0.0f), 0.0f);
}

}  // namespace
}  // namespace survseq::sim
