// src/sim: the observed covariances of the weighted scores, by hand on a small risk set
// and against the statistics' own variances on a simulated trial.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/analysis_data.h"
#include "sim/score_covariance.h"
#include "sim/sim_fixtures.h"

namespace survseq::sim {
namespace {

TEST(ScoreCovariance, ByHandOnThreeRecords) {
  // Sorted: a treatment event, a control event, a censored control. At the first event
  // n = 3, one treated: S = 3/4 and n0 n1 / n^2 = 2/9; at the second nobody treated is
  // left at risk, so it adds nothing.
  AnalysisData data(3);
  data.enteredCount = 3;
  data.observedTime = {1.0f, 2.0f, 3.0f};
  data.observedGroup = {1.0f, 0.0f, 0.0f};
  data.eventIndicator = {1, 1, 0};
  input::StatisticValues rho{}, tau{};
  rho = {0, 0, 0, 1, 2};  // statistics 1..4: FH(0,0), FH(0,1), FH(1,0), FH(2,2)
  tau = {0, 0, 1, 0, 2};
  ScoreCovariance covariance;
  computeScoreCovariance(data, {1, 2, 3, 4}, 4, rho, tau, covariance);
  const double s = 0.75, v = 2.0 / 9.0;
  const double w[4] = {1.0, 1.0 - s, s, s * s * (1.0 - s) * (1.0 - s)};
  ASSERT_EQ(covariance.count, 4);
  for (int32_t a = 0; a < 4; ++a) {
    for (int32_t b = 0; b < 4; ++b) EXPECT_FLOAT_EQ(covariance(a, b), w[a] * w[b] * v) << a << b;
  }
}

TEST(ScoreCovariance, DiagonalIsTheInformationAndCorrelationsAreAtMostOne) {
  constexpr int32_t n = 400;
  SimulatedTrial trial(n);
  generate(design(), n, trial);
  AnalysisData data(n);
  StatisticResults results;
  input::StatisticValues rho{}, tau{};
  rho = {0, 0, 0, 1, 1, 0};
  tau = {0, 0, 1, 0, 1, 0};  // statistic 5 repeats statistic 1
  for (float analysisTime : {6.0f, 12.0f, 30.0f}) {
    collectAnalysisData(trial, n, analysisTime, data);
    sortAnalysisData(data);
    computeStatistics(data, 5, rho, tau, results);
    ScoreCovariance covariance;
    // In a chosen order, so that entry (a, b) must follow the list, not the numbering.
    const std::array<int32_t, input::MaxStatistics> chosen = {3, 1, 4, 2, 5};
    computeScoreCovariance(data, chosen, 5, rho, tau, covariance);
    for (int32_t a = 0; a < 5; ++a) {
      EXPECT_NEAR(covariance(a, a), results.statisticVariance[chosen[a]],
                  2e-5 * results.statisticVariance[chosen[a]])
          << analysisTime << " " << a;
      for (int32_t b = 0; b < 5; ++b) {
        const double bound = std::sqrt(double(covariance(a, a)) * covariance(b, b));
        EXPECT_LE(std::fabs(covariance(a, b)), bound * (1.0 + 1e-6));
        EXPECT_EQ(covariance(a, b), covariance(b, a));
      }
    }
    // The same weights twice: correlation 1.
    EXPECT_NEAR(covariance(1, 4), covariance(1, 1), 1e-6 * covariance(1, 1));
    EXPECT_GT(results.eventCount, 0);
  }
}

}  // namespace
}  // namespace survseq::sim
