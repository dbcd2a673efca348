#include "search/accrual_search.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

#include "search/simulation_pass.h"

namespace survseq::search {
namespace {

// The search driven by a fake pass whose rejection count (of 100 trials) is chosen per
// rate; the bracket is `lower` to 50.
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
// rounds to exactly the single-precision 0.6, which simulates the bound again), and the
// iteration limit: a step in power that no rate meets within two standard errors, so that
// the bracket closes in on the step for ever.
TEST(AccrualSearch, OutcomesAtTheUpperBoundAndTheIterationLimit) {
  int passes = 0;
  const struct {
    std::function<int32_t(float)> rejectionsAt;
    float desiredPower;
    SearchOutcome outcome;
    size_t iterations;
    const char* closing;
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
       kMaxIterations, "  The maximum number of 20  iterations has been\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.closing);
    FakeSearch search;
    EXPECT_EQ(search.run(c.rejectionsAt, c.desiredPower).outcome, c.outcome);
    ASSERT_EQ(search.visitedRates.size(), c.iterations);
    EXPECT_EQ(search.visitedRates[c.iterations == 2], 50.0f);
    EXPECT_NE(search.file.str().find(c.closing), std::string::npos);
    if (c.outcome == SearchOutcome::WithinTwoStandardErrors) {
      EXPECT_EQ(search.design.accrualRateLower, 50.0f);
    }
  }
}

// Powers above the target all the way down: four rates, each the one before times the
// step factor (0.3333 falls short of a third, so the fourth lies a hair above the bound);
// with equal bounds the same rate four times.
TEST(AccrualSearch, DescentThatStaysAboveTargetEndsAtTheFourthRate) {
  for (const float lower : {10.0f, 50.0f}) {
    FakeSearch search;
    EXPECT_EQ(search.run([](float) { return 100; }, 0.8f, lower).outcome,
              SearchOutcome::LowerBoundTooBig);
    const float f = descentStepFactor(lower, 50.0f);
    EXPECT_EQ(search.visitedRates, (std::vector<float>{50.0f, 50 * f, 50 * f * f, 50 * f * f * f}));
    EXPECT_GE(search.visitedRates[3], lower);
    EXPECT_NEAR(search.visitedRates[3], lower, 0.01f);
  }
}

TEST(AccrualSearch, BracketIsInterpolatedLinearly) {
  // Above target at 50, clearly below at 50 f: the next rate interpolates the powers 0.95
  // at the upper end and 0.5 at the lower end.
  FakeSearch search;
  const RunRecord record = search.run([&](float rate) {
    return rate == 50.0f ? 95 : search.visitedRates.size() == 2 ? 50 : 80;
  });
  EXPECT_EQ(record.outcome, SearchOutcome::WithinTwoStandardErrors);
  ASSERT_EQ(search.visitedRates.size(), 3u);
  const double lower = search.visitedRates[1];
  EXPECT_NEAR(search.visitedRates[2], ((0.95 - 0.8f) * lower + (0.8f - 0.5) * 50) / (0.95 - 0.5),
              1e-4);
  EXPECT_EQ(search.design.accrualRateUpper, 50.0f);
}

// A given rate is one iteration at that rate, whatever its power, and no search.
TEST(AccrualSearch, AGivenRateIsOneIterationAtThatRate) {
  FakeSearch search;
  search.design.accrualForm = input::AccrualForm::GivenRate;
  const RunRecord record = search.run([](float) { return 10; });
  EXPECT_EQ(record.outcome, SearchOutcome::FixedRate);
  EXPECT_EQ(search.visitedRates, std::vector<float>{50.0f});
  EXPECT_EQ(record.estimate.power, 0.1f);
}

}  // namespace
}  // namespace survseq::search
