// The information scale of a pass (the floor below which a statistic is not tested and
// the planned maximum that turns observed information into fractions) belongs to the
// rate the pass simulates, not to whichever rate the search happened to try first.

#include <gtest/gtest.h>

#include <sstream>

#include "search/report.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace survseq::search {
namespace {

// Four looks, two statistics (log-rank and a weighted one), a treatment effect.
input::DesignParameters fourLookDesign() {
  input::DesignParameters d;
  d.boundaryMethod = input::LanDeMets;
  d.useFunction = input::OBrienFleming;
  d.seed = -2718;
  d.analysisCount = 4;
  d.analysisTimes = {0.0f, 10.0f, 20.0f, 30.0f, 40.0f};
  d.statisticCount = 2;
  d.rho = {0.0f, 0.0f, 1.0f};
  d.simulationCount = 200;
  d.typeIError = 0.025f;
  d.sides = 1;
  d.accrualPeriod = 20.0f;
  d.accrualRateLower = 4.0f;
  d.accrualRateUpper = 30.0f;
  d.baselineCurve = input::SurvivalCurve{2, {0.0f, 10.0f, 20.0f}, {1.0f, 0.5f, 0.3f}};
  d.hazardRatioCount = 1;
  d.hazardRatioCuts[1] = 40.0f;
  d.alternativeKind = 2.0f;
  d.hazardRatios[1] = 0.6f;
  d.censoringControl = input::SurvivalCurve{1, {0.0f, 40.0f}, {1.0f, 0.9f}};
  d.censoringTreatment = d.censoringControl;
  d.dropInCount = d.dropOutCount = 1;
  return d;
}

struct PassAtRate {
  IterationRecord record;
  input::StatisticValues floor, ceiling;
};

// Runs a pass at `rate` on the random stream (`generator`, `seed`) given, after the
// passes at `earlierRates`, which draw from a stream of their own.
PassAtRate passAfter(std::initializer_list<float> earlierRates, float rate,
                     const sim::UniformGenerator& generator, int32_t seed) {
  input::DesignParameters design = fourLookDesign();
  std::ostringstream console, file;
  Report report(console, file);
  SimulationPass pass(patientCapacityFor(design));
  sim::UniformGenerator earlierStream;
  for (float earlier : earlierRates) {
    design.accrualRate = earlier;
    pass.run(design, earlierStream, report);
  }
  design.accrualRate = rate;
  design.seed = seed;
  sim::UniformGenerator stream = generator;
  PassAtRate result{pass.run(design, stream, report), design.informationFloor,
                    design.informationCeiling};
  return result;
}

TEST(InformationScale, APassAtARateUsesTheSameScaleAndBoundariesWhateverPassesCameBefore) {
  sim::UniformGenerator generator;
  int32_t seed = fourLookDesign().seed;
  generator.nextUniform(seed);
  const PassAtRate first = passAfter({}, 10.0f, generator, seed);
  ASSERT_GT(first.ceiling[2], first.floor[2]);
  for (const auto& earlier : {std::initializer_list<float>{30.0f},
                              std::initializer_list<float>{4.0f, 30.0f}}) {
    const PassAtRate later = passAfter(earlier, 10.0f, generator, seed);
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
