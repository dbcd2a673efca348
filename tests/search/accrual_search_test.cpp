#include "search/accrual_search.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <vector>

#include "search/simulation_pass.h"

namespace survseq::search {
namespace {

// Drives the search with a fake pass whose rejection count (of 100 trials) is chosen per
// rate; the bracket is 10 to 50 and the target power 0.8 unless a test says otherwise.
struct FakeSearch {
  input::DesignParameters design = [] {
    input::DesignParameters d;
    d.simulationCount = 100;
    d.accrualRateLower = 10.0f;
    d.accrualRateUpper = d.accrualRate = 50.0f;
    d.desiredPower = 0.8f;
    d.boundaryMethod = input::LanDeMets;
    return d;
  }();
  std::ostringstream console, file;
  std::vector<float> visitedRates;

  RunRecord run(const std::function<int32_t(float)>& rejectionsAt) {
    Report report(console, file);
    IterationRecord pass;
    RunRecord record = AccrualSearch(design, report).run([&](input::DesignParameters& d) -> const IterationRecord& {
      visitedRates.push_back(d.accrualRate);
      pass = IterationRecord{};
      pass.statistics.push_back(
          {{0.0f, 0.0f, estimatePower(rejectionsAt(d.accrualRate), d.simulationCount), 0.0f}, {}});
      return pass;
    });
    EXPECT_EQ(record.iterations.size(), visitedRates.size());
    return record;
  }
};

// The outcomes reached at the upper bound (0.5 + 2 * 0.05 < 0.8; 0.8 exactly), and the
// iteration limit: a step in power that no rate meets within two standard errors, so that
// the bracket closes in on the step for ever.
TEST(AccrualSearch, OutcomesAtTheUpperBoundAndTheIterationLimit) {
  const struct {
    int32_t (*rejectionsAt)(float);
    SearchOutcome outcome;
    size_t iterations;
    const char* closing;
  } cases[] = {
      {[](float) { return 50; }, SearchOutcome::UpperBoundTooSmall, 1,
       " The upper bound on the accrual rate is too small for"},
      {[](float) { return 80; }, SearchOutcome::WithinTwoStandardErrors, 1,
       " At the accrual rate of   50.0 the simulated power of\n"
       " the first statistic is   0.800. Since the standard   \n"
       " error of this simulated power is  0.0400, you have \n"},
      {[](float rate) { return rate > 23.0f ? 100 : 0; }, SearchOutcome::IterationLimit,
       kMaxIterations, "  The maximum number of 20  iterations has been\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.closing);
    FakeSearch search;
    EXPECT_EQ(search.run(c.rejectionsAt).outcome, c.outcome);
    ASSERT_EQ(search.visitedRates.size(), c.iterations);
    EXPECT_EQ(search.visitedRates[0], 50.0f);
    EXPECT_NE(search.file.str().find(c.closing), std::string::npos);
    if (c.outcome == SearchOutcome::WithinTwoStandardErrors) {
      EXPECT_EQ(search.design.accrualRateLower, 50.0f);
    }
  }
}

TEST(AccrualSearch, ExactEqualityAtUpperBoundSimulatesTheUpperBoundAgain) {
  // 50 of 100: p + 2 se rounds to exactly the single-precision 0.6.
  FakeSearch search;
  search.design.desiredPower = 0.6f;
  const PowerEstimate e = estimatePower(50, 100);
  ASSERT_EQ(static_cast<float>(double(e.power) + 2.0 * e.standardError), 0.6f);
  int pass = 0;
  EXPECT_EQ(search.run([&](float) { return ++pass == 1 ? 50 : 60; }).outcome,
            SearchOutcome::WithinTwoStandardErrors);
  EXPECT_EQ(search.visitedRates, (std::vector<float>{50.0f, 50.0f}));
}

// Powers above the target all the way down: four rates, each the one before times the
// step factor (0.3333 falls short of a third, so the fourth lies a hair above the bound);
// with equal bounds the same rate four times.
TEST(AccrualSearch, DescentThatStaysAboveTargetEndsAtTheFourthRate) {
  for (const float lower : {10.0f, 50.0f}) {
    FakeSearch search;
    search.design.accrualRateLower = lower;
    EXPECT_EQ(search.run([](float) { return 100; }).outcome, SearchOutcome::LowerBoundTooBig);
    const float f = descentStepFactor(lower, 50.0f);
    EXPECT_EQ(search.visitedRates, (std::vector<float>{50.0f, 50.0f * f, 50.0f * f * f, 50.0f * f * f * f}));
    EXPECT_GE(search.visitedRates[3], lower);
    EXPECT_NEAR(search.visitedRates[3], lower, 0.01f);
  }
}

TEST(AccrualSearch, BracketIsInterpolatedLinearly) {
  // Above target at 50, clearly below at 50 f: the next rate interpolates the powers 0.95
  // at the upper end and 0.5 at the lower end.
  FakeSearch search;
  const RunRecord record = search.run([&](float rate) {
    if (rate == 50.0f) return 95;
    return search.visitedRates.size() == 2 ? 50 : 80;
  });
  EXPECT_EQ(record.outcome, SearchOutcome::WithinTwoStandardErrors);
  ASSERT_EQ(search.visitedRates.size(), 3u);
  const double lower = search.visitedRates[1];
  EXPECT_NEAR(search.visitedRates[2], ((0.95 - 0.8f) * lower + (0.8f - 0.5) * 50.0) / (0.95 - 0.5), 1e-4);
  EXPECT_EQ(search.design.accrualRateUpper, 50.0f);
}

// A given rate, or a number of patients (420 over an accrual period of 24), is one iteration
// at that rate, whatever its power, and no search.
TEST(AccrualSearch, AGivenSizeIsOneIterationAtItsRate) {
  for (const auto& [form, rate] : {std::pair{input::AccrualForm::GivenRate, 12.3f},
                                   std::pair{input::AccrualForm::GivenPatients, 17.5f}}) {
    FakeSearch search;
    search.design.accrualForm = form;
    search.design.accrualRate = 12.3f;
    search.design.accrualPeriod = 24.0f;
    search.design.givenPatients = 420;
    sim::UniformGenerator generator;
    Report report(search.console, search.file);
    AccrualSearch(search.design, report).start(generator);
    const RunRecord record = search.run([](float) { return 10; });
    EXPECT_EQ(record.outcome, SearchOutcome::FixedRate);
    EXPECT_EQ(search.visitedRates, std::vector<float>{rate});
    EXPECT_EQ(record.estimate.power, 0.1f);
  }
}

}  // namespace
}  // namespace survseq::search
