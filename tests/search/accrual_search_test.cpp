// The search's logic, driven by a fake pass, and the layouts of its report that the golden
// runs do not reach.

#include "search/accrual_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "report/output_line.h"
#include "search/analytic_steering.h"
#include "search/simulation_pass.h"

namespace survseq::search {
namespace {

// The search driven by a fake pass: the rejections of 100 trials chosen per rate.
struct FakeSearch {
  input::DesignParameters design;
  std::ostringstream console, file;
  std::vector<float> visitedRates;

  RunRecord run(const std::function<int32_t(float)>& rejectionsAt, float desiredPower = 0.8f,
                float lower = 10.0f) {
    design.simulationCount = 100;
    design.accrualRateLower = lower;
    design.accrualRateUpper = design.accrualRate = 50.0f;
    design.desiredPower = desiredPower;
    design.boundaryMethod = input::LanDeMets;
    Report report(console, file);
    IterationRecord pass;
    RunRecord record = AccrualSearch(design, report).run([&](input::DesignParameters& d) -> auto& {
      visitedRates.push_back(d.accrualRate);
      pass = IterationRecord{};
      const PowerEstimate power = estimatePower(rejectionsAt(d.accrualRate), d.simulationCount);
      pass.statistics.push_back({{0.0f, 0.0f, power, 0.0f}, {}});
      return pass;
    });
    EXPECT_EQ(record.iterations.size(), visitedRates.size());
    return record;
  }
};

// The outcomes reached at the upper bound (0.5 + 2 * 0.05 < 0.8; 0.8 exactly; 0.5 + 2 se
// rounds to exactly the single-precision 0.6, which simulates the bound again), the
// iteration limit (a step in power that no rate meets within two standard errors, so that
// the bracket closes in on the step for ever), and a given rate: one iteration, no search.
TEST(AccrualSearch, OutcomesAtTheUpperBoundTheIterationLimitAndAGivenRate) {
  int passes = 0;
  const struct {
    std::function<int32_t(float)> rejectionsAt;
    float desiredPower;
    SearchOutcome outcome;
    size_t iterations;
    const char* closing;
    input::AccrualForm form = input::AccrualForm::Bracket;
  } cases[] = {
      {[](float) { return 50; }, 0.8f, SearchOutcome::UpperBoundTooSmall, 1,
       " The upper bound on the accrual rate is too small for"},
      {[](float) { return 80; }, 0.8f, SearchOutcome::WithinTwoStandardErrors, 1,
       " At the accrual rate of   50.0 the simulated power of\n"
       " the first statistic is   0.800. Since the standard   \n"
       " error of this simulated power is  0.0400, you have \n"},
      {[&](float) { return ++passes == 1 ? 50 : 60; }, 0.6f, SearchOutcome::WithinTwoStandardErrors,
       2, " At the accrual rate of   50.0"},
      {[](float rate) { return rate > 23.0f ? 100 : 0; }, 0.8f, SearchOutcome::IterationLimit,
       kMaxIterations, "  The maximum number of 20  iterations has been\n"},
      {[](float) { return 10; }, 0.8f, SearchOutcome::FixedRate, 1, "",
       input::AccrualForm::GivenRate}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.closing);
    FakeSearch search;
    search.design.accrualForm = c.form;
    EXPECT_EQ(search.run(c.rejectionsAt, c.desiredPower).outcome, c.outcome);
    ASSERT_EQ(search.visitedRates.size(), c.iterations);
    EXPECT_EQ(search.visitedRates[c.iterations == 2], 50.0f);
    EXPECT_NE(search.file.str().find(c.closing), std::string::npos);
    if (c.outcome == SearchOutcome::WithinTwoStandardErrors) {
      EXPECT_EQ(search.design.accrualRateLower, 50.0f);
    }
  }
}

// The steering without a bracket: no gap leaves the desired power as the analytic
// target; a simulated power above the analytic one lowers the target, below raises it; a
// pooled gap lies between its points' gaps, nearer the more precise; a power of 1 still
// gives a finite gap.
TEST(AnalyticSteering, ShiftsTheTargetByTheGapPooledOverIterations) {
  const auto gapOf = [](std::vector<SteeringPoint> points) {
    AnalyticSteering steering;
    for (const SteeringPoint& p : points) steering.add(p);
    return std::pair{steering.gap(), steering.analyticTarget(0.9)};
  };
  const auto point = [](double analytic, float simulated, int32_t trials) {
    return SteeringPoint{analytic, estimatePower(int32_t(simulated * trials), trials), trials};
  };
  EXPECT_NEAR(gapOf({point(0.8, 0.8f, 1000)}).first, 0.0, 1e-6);
  EXPECT_NEAR(gapOf({point(0.8, 0.8f, 1000)}).second, 0.9, 1e-6);
  const auto [above, lowered] = gapOf({point(0.9, 0.93f, 2000)});
  EXPECT_GT(above, 0.1);
  EXPECT_LT(lowered, 0.88);
  const auto [below, raised] = gapOf({point(0.9, 0.87f, 2000)});
  EXPECT_LT(below, -0.1);
  EXPECT_GT(raised, 0.91);
  const double pooled = gapOf({point(0.9, 0.93f, 2000), point(0.9, 0.87f, 8000)}).first;
  EXPECT_GT(pooled, below);
  EXPECT_LT(pooled, (above + below) / 2.0);
  EXPECT_TRUE(std::isfinite(gapOf({point(0.9, 1.0f, 500)}).first));
  EXPECT_TRUE(withinTwoStandardErrors({0.91f, 0.006f}, 0.9));
  EXPECT_FALSE(withinTwoStandardErrors({0.914f, 0.006f}, 0.9));
}

TEST(ReportLayout, UseFunctionsSpendingFamiliesAndFutilityBoundsAreEchoed) {
  input::DesignParameters design;
  design.analysisCount = 3;
  design.statisticCount = 1;
  design.boundaryMethod = input::Haybittle;
  design.useFunction = 7;  // unknown: echoed as the linear one, and only under Lan-DeMets
  const auto echo = [&design] {
    std::ostringstream console, file;
    Report(console, file).writeDesignEcho(design);
    return file.str();
  };
  EXPECT_EQ(echo().find("use function"), std::string::npos);
  design.boundaryMethod = input::LanDeMets;
  EXPECT_NE(echo().find("\n The linear use function is specified.\n"), std::string::npos);
  design.spendingGamma = design.spendingExponent = -4.0f;
  design.futility = true;
  design.futilityZ = {0, 0.0f, 0.5f};
  const std::string gamma = report::formatPlainReal(-4.0f) + " is specified.\nThe ";
  using enum input::SpendingFamily;
  for (const auto& [family, binding, line] :
       {std::tuple{HwangShihDeCani, false,
                   " The Hwang-Shih-DeCani use function with gamma =" + gamma + "non-binding"},
        std::tuple{KimDeMets, true,
                   " The Kim-DeMets use function with exponent =" + gamma + "binding"}}) {
    design.spendingFamily = family;
    design.futilityBinding = binding;
    EXPECT_NE(echo().find(line + " futility bounds of the interim looks are:\n   0.00   0.50\n"),
              std::string::npos)
        << echo();
  }
}

}  // namespace
}  // namespace survseq::search
