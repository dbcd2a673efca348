// With no treatment effect a group-sequential design must reject about as often as
// its type-I error says. This checks the whole chain (trial generation, statistics,
// observed-information boundaries) against the nominal level.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

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

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizedBuild = true;
#else
constexpr bool kSanitizedBuild = false;
#endif

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
  const PassResults& results = pass.run(design, generator, report);

  RecordProperty("rejections", results.rejectionCount[1]);
  const double rate = double(results.rejectionCount[1]) / kTrials;
  const double standardError = std::sqrt(0.05 * 0.95 / kTrials);
  EXPECT_NEAR(rate, 0.05, 3.0 * standardError) << "rejections: " << results.rejectionCount[1];
  EXPECT_EQ(console.str(), "");  // enough information at every look: no v0 line
}

}  // namespace
}  // namespace survseq::search
