// With no treatment effect a group-sequential design must reject about as often as
// its type-I error says. This checks the whole chain (trial generation, statistics,
// observed-information boundaries) against the nominal level.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "build_kind.h"
#include "search/report.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace survseq::search {
namespace {

input::DesignParameters fourLookDesignWithoutEffect(int32_t trials) {
  input::DesignParameters d;
  d.boundaryMethod = input::LanDeMets;
  d.useFunction = input::OBrienFleming;
  d.seed = -123457;
  d.analysisCount = 4;
  d.analysisTimes = {0.0f, 10.0f, 20.0f, 30.0f, 40.0f};
  d.statisticCount = 1;
  d.simulationCount = trials;
  d.typeIError = 0.05f;
  d.sides = 2;
  d.accrualPeriod = 20.0f;
  d.accrualRate = d.accrualRateUpper = d.accrualRateLower = 10.0f;  // 200 patients
  // The treatment arm follows the control curve: median 10.
  d.baselineCurve = input::SurvivalCurve{1, {0.0f, 10.0f}, {1.0f, 0.5f}};
  d.hazardRatioCount = 1;
  d.hazardRatioCuts[1] = 10.0f;
  d.alternativeKind = 1.0f;
  d.alternativeCurve = d.baselineCurve;
  // No loss to follow-up and nobody switching arms.
  d.censoringControl = input::SurvivalCurve{1, {0.0f, 20.0f}, {1.0f, 1.0f}};
  d.censoringTreatment = d.censoringControl;
  d.dropInCount = d.dropOutCount = 1;
  return d;
}

using survseq::testing::kSanitizedBuild;

TEST(TypeOneError, FourLookTwoSidedDesignRejectsAtTheNominalRateUnderTheNull) {
  if (kSanitizedBuild) GTEST_SKIP() << "statistical check: run in the optimised build only";
  constexpr int32_t kTrials = 20000;
  input::DesignParameters design = fourLookDesignWithoutEffect(kTrials);
  std::ostringstream console;
  std::ostringstream file;
  Report report(console, file);
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);

  SimulationPass pass(patientCapacityFor(design));
  pass.run(design, generator, report);
  const PassResults& results = pass.results();

  RecordProperty("rejections", results.rejectionCount[1]);
  const double rate = double(results.rejectionCount[1]) / kTrials;
  const double standardError = std::sqrt(0.05 * 0.95 / kTrials);
  EXPECT_NEAR(rate, 0.05, 3.0 * standardError) << "rejections: " << results.rejectionCount[1];
  EXPECT_EQ(console.str(), "");  // enough information at every look: no v0 line
}

// The per-analysis figures of the record account for every trial: a statistic is still
// running at a look in every trial that has not stopped before it, and its stops add
// up to its rejections.
TEST(IterationRecord, PerAnalysisFiguresAccountForEveryTrial) {
  constexpr int32_t kTrials = 200;
  input::DesignParameters design = fourLookDesignWithoutEffect(kTrials);
  design.alternativeCurve = input::SurvivalCurve{1, {0.0f, 10.0f}, {1.0f, 0.7f}};  // an effect
  std::ostringstream console;
  std::ostringstream file;
  Report report(console, file);
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);

  SimulationPass pass(patientCapacityFor(design));
  const IterationRecord& record = pass.run(design, generator, report);
  ASSERT_EQ(record.statistics.size(), 1u);
  EXPECT_EQ(record.patientCount, 200);
  const StatisticRecord& statistic = record.statistics[0];
  int32_t running = kTrials;
  int32_t stops = 0;
  for (size_t k = 1; k <= 4; ++k) {
    const LookFigures& look = statistic.looks[k];
    EXPECT_EQ(look.reachedCount, running) << "look " << k;
    running -= look.stoppedCount;
    stops += look.stoppedCount;
    EXPECT_GT(look.meanEventCount, 0.0f);
    EXPECT_GT(look.meanInformation, 0.0f);
    EXPECT_GT(look.meanCriticalValue, 1.9f);
    // Later looks come from the boundary search, which stops at the cap 5; the first is
    // the normal quantile of the error spent there, above 5 when that is below 3e-7.
    if (k > 1) {
      EXPECT_LE(look.meanCriticalValue, 5.0f);
    }
    if (k > 1) {
      EXPECT_GT(look.meanEventCount, statistic.looks[k - 1].meanEventCount);
    }
  }
  EXPECT_EQ(stops, pass.results().rejectionCount[1]);
  EXPECT_GT(stops, 0);
  EXPECT_FLOAT_EQ(statistic.summary.estimate.power, float(stops) / kTrials);
  EXPECT_GT(record.nullVariances[1][4], record.nullVariances[1][1]);
}

}  // namespace
}  // namespace survseq::search
