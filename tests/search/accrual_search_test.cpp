#include "search/accrual_search.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "search/simulation_pass.h"

namespace survseq::search {
namespace {

// Drives the search with a fake pass whose rejection count is chosen per rate.
class SearchWithFakePass : public ::testing::Test {
 protected:
  SearchWithFakePass() : report(console, file) {
    design.simulationCount = 100;
    design.accrualRateLower = 10.0f;
    design.accrualRateUpper = 50.0f;
    design.accrualRate = 50.0f;
    design.desiredPower = 0.8f;
    design.boundaryMethod = input::LanDeMets;
  }

  template <typename Rejections>
  SearchOutcome runSearch(Rejections rejectionsAt) {
    AccrualSearch search(design, report);
    RunRecord record = search.run([&](input::DesignParameters& d) -> const IterationRecord& {
      visitedRates.push_back(d.accrualRate);
      pass = IterationRecord{};
      pass.statistics.push_back(
          {{0.0f, 0.0f, estimatePower(rejectionsAt(d.accrualRate), d.simulationCount), 0.0f}, {}});
      return pass;
    });
    EXPECT_EQ(record.iterations.size(), visitedRates.size());
    return record.outcome;
  }

  input::DesignParameters design;
  std::ostringstream console;
  std::ostringstream file;
  Report report;
  std::vector<float> visitedRates;
  IterationRecord pass;
};

// The outcomes reached at the upper bound (0.5 + 2 * 0.05 < 0.8; 0.8 exactly), and the
// iteration limit: a step in power that no rate meets within two standard errors, so that
// the bracket closes in on the step for ever.
TEST_F(SearchWithFakePass, OutcomesAtTheUpperBoundAndTheIterationLimit) {
  struct Case {
    int32_t (*rejectionsAt)(float);
    SearchOutcome outcome;
    size_t iterations;
    const char* closing;
  };
  const Case cases[] = {
      {[](float) { return 50; }, SearchOutcome::UpperBoundTooSmall, 1,
       " The upper bound on the accrual rate is too small for"},
      {[](float) { return 80; }, SearchOutcome::WithinTwoStandardErrors, 1,
       " At the accrual rate of   50.0 the simulated power of\n"
       " the first statistic is   0.800. Since the standard   \n"
       " error of this simulated power is  0.0400, you have \n"},
      {[](float rate) { return rate > 23.0f ? 100 : 0; }, SearchOutcome::IterationLimit,
       kMaxIterations, "  The maximum number of 20  iterations has been\n"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.closing);
    file.str("");
    visitedRates.clear();
    design.accrualRateLower = 10.0f;
    design.accrualRateUpper = design.accrualRate = 50.0f;
    EXPECT_EQ(runSearch(c.rejectionsAt), c.outcome);
    ASSERT_EQ(visitedRates.size(), c.iterations);
    EXPECT_EQ(visitedRates[0], 50.0f);
    EXPECT_NE(file.str().find(c.closing), std::string::npos);
    if (c.outcome == SearchOutcome::WithinTwoStandardErrors) {
      EXPECT_EQ(design.accrualRateLower, 50.0f);
    }
  }
}

TEST_F(SearchWithFakePass, ExactEqualityAtUpperBoundSimulatesTheUpperBoundAgain) {
  // 50 of 100: p + 2 se rounds to exactly the single-precision 0.6.
  design.desiredPower = 0.6f;
  const PowerEstimate e = estimatePower(50, 100);
  ASSERT_EQ(static_cast<float>(double(e.power) + 2.0 * e.standardError), 0.6f);

  int pass = 0;
  const auto outcome = runSearch([&](float) { return ++pass == 1 ? 50 : 60; });
  EXPECT_EQ(outcome, SearchOutcome::WithinTwoStandardErrors);
  EXPECT_EQ(visitedRates, (std::vector<float>{50.0f, 50.0f}));
}

// Powers above the target all the way down: four rates, each the one before times the
// step factor (0.3333 falls short of a third, so the fourth lies a hair above the bound);
// with equal bounds the same rate four times.
TEST_F(SearchWithFakePass, DescentThatStaysAboveTargetEndsAtTheFourthRate) {
  for (const float lower : {10.0f, 50.0f}) {
    design.accrualRateLower = lower;
    design.accrualRateUpper = design.accrualRate = 50.0f;
    visitedRates.clear();
    EXPECT_EQ(runSearch([](float) { return 100; }), SearchOutcome::LowerBoundTooBig);
    const float f = descentStepFactor(lower, 50.0f);
    EXPECT_EQ(visitedRates, (std::vector<float>{50.0f, 50.0f * f, 50.0f * f * f, 50.0f * f * f * f}));
    EXPECT_GE(visitedRates[3], lower);
    EXPECT_NEAR(visitedRates[3], lower, 0.01f);
  }
}

TEST_F(SearchWithFakePass, BracketIsInterpolatedLinearly) {
  // Above target at 50, clearly below at 50 f: the next rate interpolates the powers
  // 0.95 at the upper end and 0.5 at the lower end.
  const auto outcome = runSearch([&](float rate) {
    if (rate == 50.0f) return 95;
    if (visitedRates.size() == 2) return 50;
    return 80;
  });
  EXPECT_EQ(outcome, SearchOutcome::WithinTwoStandardErrors);
  ASSERT_EQ(visitedRates.size(), 3u);
  const double lower = visitedRates[1];
  const double expected = ((0.95 - 0.8f) * lower + (0.8f - 0.5) * 50.0) / (0.95 - 0.5);
  EXPECT_NEAR(visitedRates[2], expected, 1e-4);
  EXPECT_EQ(design.accrualRateUpper, 50.0f);
}

}  // namespace
}  // namespace survseq::search
