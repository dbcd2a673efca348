// Simulation passes of a four-look design built here: with no treatment effect it must
// reject about as often as its type-I error says (the whole chain of trial generation,
// statistics and observed-information boundaries against the nominal level); and the
// information scale of a pass (the floor below which a statistic is not tested and the
// planned maximum that turns observed information into fractions) belongs to the rate the
// pass simulates, not to whichever rate the search happened to try first.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "build_kind.h"
#include "search/report.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace survseq::search {
namespace {

// Looks at 10, 20, 30 and 40, accrual over 20, O'Brien-Fleming spending, the control
// curve with median 10, no loss to follow-up and nobody switching arms, no effect.
input::DesignParameters fourLookDesign() {
  input::DesignParameters d;
  d.boundaryMethod = input::LanDeMets;
  d.useFunction = input::OBrienFleming;
  d.seed = -123457;
  d.analysisCount = 4;
  d.analysisTimes = {0.0f, 10.0f, 20.0f, 30.0f, 40.0f};
  d.statisticCount = 1;
  d.typeIError = 0.05f;
  d.sides = 2;
  d.accrualPeriod = 20.0f;
  d.accrualRate = d.accrualRateUpper = d.accrualRateLower = 10.0f;  // 200 patients
  d.baselineCurve = input::SurvivalCurve{1, {0.0f, 10.0f}, {1.0f, 0.5f}};
  d.hazardRatioCount = 1;
  d.hazardRatioCuts[1] = 10.0f;
  d.alternativeKind = 1.0f;
  d.alternativeCurve = d.baselineCurve;
  d.censoringControl = input::SurvivalCurve{1, {0.0f, 20.0f}, {1.0f, 1.0f}};
  d.censoringTreatment = d.censoringControl;
  d.dropInCount = d.dropOutCount = 1;
  return d;
}

struct PassAtRate {
  IterationRecord record;
  PassResults results;
  input::StatisticValues floor, ceiling;
  std::string console;
};

// Runs a pass of `design` at `rate` on the stream of its seed, after passes at
// `earlierRates` that draw from a stream of their own.
PassAtRate passAfter(input::DesignParameters design, std::initializer_list<float> earlierRates,
                     float rate) {
  std::ostringstream console, file;
  Report report(console, file);
  SimulationPass pass(patientCapacityFor(design));
  const int32_t seed = design.seed;
  sim::UniformGenerator earlierStream;
  for (float earlier : earlierRates) {
    design.accrualRate = earlier;
    pass.run(design, earlierStream, report);
  }
  design.accrualRate = rate;
  design.seed = seed;
  sim::UniformGenerator stream;
  stream.nextUniform(design.seed);
  const IterationRecord& record = pass.run(design, stream, report);
  return {record, pass.results(), design.informationFloor, design.informationCeiling,
          console.str()};
}

TEST(TypeOneError, FourLookTwoSidedDesignRejectsAtTheNominalRateUnderTheNull) {
  if (testing::kSanitizedBuild) GTEST_SKIP() << "statistical check: run in the optimised build only";
  constexpr int32_t kTrials = 20000;
  input::DesignParameters design = fourLookDesign();
  design.simulationCount = kTrials;
  const PassAtRate pass = passAfter(design, {}, 10.0f);
  const int32_t rejections = pass.results.rejectionCount[1];
  RecordProperty("rejections", rejections);
  EXPECT_NEAR(double(rejections) / kTrials, 0.05, 3.0 * std::sqrt(0.05 * 0.95 / kTrials))
      << "rejections: " << rejections;
  EXPECT_EQ(pass.console, "");  // enough information at every look: no v0 line
}

TEST(InformationScale, APassAtARateUsesTheSameScaleAndBoundariesWhateverPassesCameBefore) {
  // Two statistics (log-rank and a weighted one), one-sided, a treatment effect.
  input::DesignParameters design = fourLookDesign();
  design.seed = -2718;
  design.statisticCount = 2;
  design.rho = {0.0f, 0.0f, 1.0f};
  design.simulationCount = 200;
  design.typeIError = 0.025f;
  design.sides = 1;
  design.accrualRateLower = 4.0f;
  design.accrualRateUpper = 30.0f;
  design.baselineCurve = input::SurvivalCurve{2, {0.0f, 10.0f, 20.0f}, {1.0f, 0.5f, 0.3f}};
  design.hazardRatioCuts[1] = 40.0f;
  design.alternativeKind = 2.0f;
  design.hazardRatios[1] = 0.6f;
  design.censoringControl = input::SurvivalCurve{1, {0.0f, 40.0f}, {1.0f, 0.9f}};
  design.censoringTreatment = design.censoringControl;

  const PassAtRate first = passAfter(design, {}, 10.0f);
  ASSERT_GT(first.ceiling[2], first.floor[2]);
  for (const auto& earlier : {std::initializer_list<float>{30.0f},
                              std::initializer_list<float>{4.0f, 30.0f}}) {
    const PassAtRate later = passAfter(design, earlier, 10.0f);
    for (size_t s = 1; s <= 2; ++s) {
      SCOPED_TRACE("statistic " + std::to_string(s) + " after " +
                   std::to_string(earlier.size()) + " passes");
      EXPECT_EQ(later.floor[s], first.floor[s]);
      EXPECT_EQ(later.ceiling[s], first.ceiling[s]);
      const StatisticRecord& a = first.record.statistics[s - 1];
      const StatisticRecord& b = later.record.statistics[s - 1];
      EXPECT_EQ(b.summary.estimate.power, a.summary.estimate.power);
      EXPECT_EQ(b.summary.averageStoppingTime, a.summary.averageStoppingTime);
      for (size_t k = 1; k <= 4; ++k) {
        EXPECT_EQ(b.looks[k].meanCriticalValue, a.looks[k].meanCriticalValue) << "look " << k;
        EXPECT_EQ(b.looks[k].stoppedCount, a.looks[k].stoppedCount) << "look " << k;
      }
    }
  }
}

}  // namespace
}  // namespace survseq::search
