// A search in the bracket around the analytic rate against one in the design's own, and the
// warning when the simulated power strays from the analytic one.

#include "run/analytic_comparison.h"

#include <gtest/gtest.h>

#include <sstream>

#include "build_kind.h"
#include "input/parameter_file.h"
#include "search/accrual_search.h"
#include "search/program_runner.h"
#include "search/simulation_pass.h"

namespace survseq::run {
namespace {

search::RunRecord search(input::DesignParameters design) {
  std::ostringstream console, report;
  search::Report out(console, report);
  sim::UniformGenerator generator;
  search::AccrualSearch accrualSearch(design, out);
  accrualSearch.start(generator);
  search::SimulationPass pass(search::patientCapacityFor(design), 2);
  return accrualSearch.run([&](input::DesignParameters& d) -> const search::IterationRecord& {
    return pass.run(d, generator, out, nullptr);
  });
}

TEST(AnalyticComparison, ABracketFromTheAnalyticRateEndsSoonerAtTheSameAnswer) {
  if (survseq::testing::kSanitizedBuild) GTEST_SKIP() << "simulates two searches";
  // Rates 10 to 20, 2000 trials an iteration: the standard error of a power near 0.8 is 0.009.
  std::istringstream file(testing::replaceLines(
      testing::exampleFile("four_look_obrien_fleming.par"), {{37, "2000"}}));
  std::ostringstream ignored;
  input::DesignParameters bracketed;
  input::readParameterFile(file, ignored, ignored, bracketed, [](const std::string&, int32_t) {});
  input::DesignParameters analytic = bracketed;
  analytic.accrualForm = input::AccrualForm::AnalyticBracket;
  EXPECT_NE(takeAnalyticBracket(analytic).find("around the analytic rate"), std::string::npos);

  const search::RunRecord fromBracket = search(bracketed);
  const search::RunRecord fromAnalytic = search(analytic);
  for (const auto* run : {&fromBracket, &fromAnalytic})
    ASSERT_EQ(run->outcome, search::SearchOutcome::WithinTwoStandardErrors);
  EXPECT_LT(fromAnalytic.iterations.size(), fromBracket.iterations.size());
  // Both end where the simulated power is within two standard errors (0.018) of the
  // desired; near 0.8 the power moves by 0.018 when the rate moves by about 4.6 %.
  const double rate = fromBracket.accrualRate;
  EXPECT_NEAR(fromAnalytic.accrualRate, rate, 0.06 * rate);
  const AnalyticComparison comparison = compareWithAnalytic(bracketed, fromBracket);
  ASSERT_TRUE(comparison.accrualRate && comparison.powerAtFinalRate);
  EXPECT_NEAR(*comparison.accrualRate, rate, 0.06 * rate);
  EXPECT_EQ(analyticDistanceWarning(comparison, outcomeFigures(fromBracket)), "");
  // The same figures with a simulated power four standard errors off draw the warning.
  search::RunRecord strayed = fromBracket;
  search::PowerEstimate& estimate = strayed.iterations.back().statistics.front().summary.estimate;
  estimate.standardError = 0.009f;
  estimate.power = static_cast<float>(*comparison.powerAtFinalRate - 4 * 0.009);
  EXPECT_NE(analyticDistanceWarning(comparison, outcomeFigures(strayed)).find("three standard"),
            std::string::npos);
}

}  // namespace
}  // namespace survseq::run
