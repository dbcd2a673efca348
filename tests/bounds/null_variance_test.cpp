#include "bounds/null_variance.h"

#include <gtest/gtest.h>

namespace survseq::bounds {
namespace {

using input::DesignParameters;
using input::SurvivalCurve;

SurvivalCurve curve(float end, float survival) {
  SurvivalCurve c;
  c.count = 1;
  c.x[0] = 0.0f;
  c.s[0] = 1.0f;
  c.x[1] = end;
  c.s[1] = survival;
  return c;
}

// No loss to follow-up in either arm, so that for rho = tau = 0 the integrand is the
// constant 1 * 1 / (1 + 1) = 1/2. The baseline falls from 1 to 0.5 over [0, 10]: its
// event density for this purpose is 0.05.
DesignParameters flatCensoringDesign(float accrualPeriod, std::initializer_list<float> times) {
  DesignParameters d;
  d.baselineCurve = curve(10.0f, 0.5f);
  d.censoringControl = curve(10.0f, 1.0f);
  d.censoringTreatment = curve(10.0f, 1.0f);
  d.accrualPeriod = accrualPeriod;
  d.analysisCount = 0;
  for (float t : times) d.analysisTimes[++d.analysisCount] = t;
  return d;
}

TEST(NullVariance, IntegratesTheEntryWindowOverTheEventDensity) {
  // V = rate/2 * 0.05 * 1/2 * integral of min(D, T - u) over [0, min(T, 10)].
  const DesignParameters longAccrual = flatCensoringDesign(10.0f, {10.0f, 5.0f});
  input::AnalysisValues v{};
  nullVariances(longAccrual, 8.0f, 0.0f, 0.0f, v);
  EXPECT_NEAR(v[1], 8.0 * 0.0125 * 50.0, 1e-3 * v[1]);  // integral of 10 - u
  EXPECT_NEAR(v[2], 8.0 * 0.0125 * 12.5, 1e-3 * v[2]);  // integral of 5 - u over [0, 5]

  // A short accrual period: weight D until T - D, then T - u: 9 + 1/2.
  const DesignParameters shortAccrual = flatCensoringDesign(1.0f, {10.0f});
  nullVariances(shortAccrual, 8.0f, 0.0f, 0.0f, v);
  EXPECT_NEAR(v[1], 8.0 * 0.0125 * 9.5, 1e-3 * v[1]);
}

TEST(NullVariance, StopsAtTheLastCutPointButWeighsByTheAnalysisTime) {
  // T = 20: events count only up to 10, each with the full window min(10, 20 - u) = 10.
  const DesignParameters d = flatCensoringDesign(10.0f, {20.0f});
  input::AnalysisValues v{};
  nullVariances(d, 8.0f, 0.0f, 0.0f, v);
  EXPECT_NEAR(v[1], 8.0 * 0.0125 * 100.0, 1e-3 * v[1]);
}

TEST(NullVariance, IsProportionalToTheAccrualRate) {
  DesignParameters d = flatCensoringDesign(6.0f, {3.0f, 7.5f, 12.0f});
  d.baselineCurve.count = 2;
  d.baselineCurve.x[2] = 15.0f;
  d.baselineCurve.s[2] = 0.2f;
  input::AnalysisValues single{}, doubled{};
  nullVariances(d, 40.0f, 1.0f, 0.5f, single);
  nullVariances(d, 80.0f, 1.0f, 0.5f, doubled);
  for (int32_t i = 1; i <= 3; ++i) {
    EXPECT_GT(single[i], 0.0f) << i;
    EXPECT_EQ(doubled[i], 2.0f * single[i]) << i;
  }
}

TEST(NullVariancePiece, AddsARemainderWeightedByItsOwnWidth) {
  // [0, 0.025] is two steps of 0.01 (midpoints 0.005, 0.015) and a remainder of 0.005
  // (midpoint 0.0225). With T = 0.025 and D = 0.013 the window is 0.013 up to 0.012 and
  // T - u after, so the three midpoints weigh 0.013, 0.01 and 0.0025:
  //   1/2 * (0.01 * 0.013 + 0.01 * 0.01 + 0.005 * 0.0025) = 0.00012125,
  // against 0.00012025 for the exact integral.
  const DesignParameters d = flatCensoringDesign(0.013f, {0.025f});
  const float piece = integrateNullVariancePiece(d, 0.0f, 0.025f, 0.025f, 0.013f, 0.0f, 0.0f);
  EXPECT_NEAR(piece, 0.00012125, 2e-10);
}

TEST(NullVariancePiece, RestartsItsGridAtTheLowerLimit) {
  // Starting at 0.003 the midpoints are 0.008 and 0.018 (weights 0.013 and 0.007) and the
  // remainder [0.023, 0.025] has midpoint 0.024 (weight 0.001).
  const DesignParameters d = flatCensoringDesign(0.013f, {0.025f});
  const float piece = integrateNullVariancePiece(d, 0.003f, 0.025f, 0.025f, 0.013f, 0.0f, 0.0f);
  EXPECT_NEAR(piece, 0.5 * (0.01 * 0.013 + 0.01 * 0.007 + 0.002 * 0.001), 2e-10);
  // A piece of no width adds nothing.
  EXPECT_EQ(integrateNullVariancePiece(d, 0.02f, 0.02f, 0.025f, 0.013f, 0.0f, 0.0f), 0.0f);
}

}  // namespace
}  // namespace survseq::bounds
