#include "bounds/trial_boundaries.h"

#include <gtest/gtest.h>

#include <sstream>

#include "bounds/boundary_computation.h"

namespace survseq::bounds {
namespace {

using input::DesignParameters;

class TrialBoundaries : public ::testing::Test {
 protected:
  // One statistic, planned information 100, floor 1.
  DesignParameters design(int32_t method, int32_t analyses, float alpha, int32_t sides) {
    DesignParameters d;
    d.boundaryMethod = method;
    d.useFunction = input::OBrienFleming;
    d.analysisCount = analyses;
    d.typeIError = alpha;
    d.sides = sides;
    d.statisticCount = 1;
    d.informationFloor[1] = 1.0f;
    d.informationCeiling[1] = 100.0f;
    d.haybittleB = 3.0f;
    return d;
  }

  void analyse(DesignParameters& d, int32_t analysis, std::initializer_list<float> information) {
    int32_t statistic = 1;
    for (float value : information) observed(statistic++, analysis) = value;
    updateTrialBoundaries(analysis, d, boundaries, observed, failed, console);
  }

  float critical(int32_t analysis, int32_t statistic = 1) const {
    return boundaries.criticalValue(statistic, analysis);
  }

  BoundarySet boundaries;
  StatisticAnalysisTable observed;
  int32_t failed = 0;
  std::ostringstream console;
};

TEST_F(TrialBoundaries, ObrienFlemingOnPlannedInformation) {
  DesignParameters d = design(input::LanDeMets, 4, 0.025f, 1);
  const double expected[] = {4.333, 2.963, 2.359, 2.014};  // 4.3319 at the first: see the
                                                           // computeBoundary tests
  for (int32_t i = 1; i <= 4; ++i) {
    analyse(d, i, {25.0f * static_cast<float>(i)});
    EXPECT_NEAR(critical(i), expected[i - 1], 0.0015) << i;
  }
  EXPECT_EQ(d.errorSplit[4], 0.025f);
  EXPECT_TRUE(console.str().empty());
}

TEST_F(TrialBoundaries, FallingInformationIsRaisedAboveThePrevious) {
  DesignParameters d = design(input::LanDeMets, 3, 0.05f, 2);
  d.useFunction = input::Linear;
  analyse(d, 1, {30.0f});
  analyse(d, 2, {20.0f});
  // The linear function spends alpha * (30 + 1e-4) / 100, not alpha * 20 / 100.
  EXPECT_NEAR(d.errorSplit[2], 0.05 * 0.300001, 1e-9);
  // Only the working copy is raised; the trial's table keeps what was observed.
  EXPECT_EQ(observed(1, 2), 20.0f);
}

TEST_F(TrialBoundaries, InformationAboveThePlanCountsAsComplete) {
  DesignParameters d = design(input::LanDeMets, 3, 0.05f, 2);
  analyse(d, 1, {40.0f});
  d.errorSplit[2] = 0.123f;
  analyse(d, 2, {120.0f});
  EXPECT_EQ(critical(2), kBoundaryCap);
  EXPECT_EQ(d.errorSplit[2], 0.123f);  // nothing spent
  EXPECT_EQ(observed(1, 2), 80.0f);    // drawn back to the midpoint with 40
}

TEST_F(TrialBoundaries, NinetyNinePercentAtAnInterimSpendsNothing) {
  DesignParameters d = design(input::LanDeMets, 3, 0.05f, 2);
  analyse(d, 1, {40.0f});
  analyse(d, 2, {98.9f});
  EXPECT_LT(critical(2), kBoundaryCap);
  EXPECT_EQ(observed(1, 2), 98.9f);
  analyse(d, 2, {99.0f});
  EXPECT_EQ(critical(2), kBoundaryCap);
  EXPECT_EQ(observed(1, 2), 69.5f);
  // The last analysis then works from the pulled-back information.
  analyse(d, 3, {100.0f});
  EXPECT_GT(critical(3), 1.96f);
  EXPECT_LT(critical(3), 2.1f);
}

TEST_F(TrialBoundaries, FirstAnalysisWithNearlyAllInformationKeepsIt) {
  DesignParameters d = design(input::LanDeMets, 2, 0.05f, 2);
  analyse(d, 1, {99.5f});
  EXPECT_EQ(critical(1), kBoundaryCap);
  EXPECT_EQ(observed(1, 1), 99.5f);
}

TEST_F(TrialBoundaries, TooLittleInformationAtTheLastAnalysisFallsBackAndSaysSo) {
  DesignParameters d = design(input::LanDeMets, 3, 0.05f, 2);
  d.statisticCount = 2;
  d.informationFloor[2] = 10.0f;
  d.informationCeiling[2] = 100.0f;
  analyse(d, 1, {30.0f, 30.0f});
  analyse(d, 2, {60.0f, 5.0f});
  EXPECT_EQ(critical(2, 2), kBoundaryCap);  // an interim analysis: just not tested
  EXPECT_TRUE(console.str().empty());
  analyse(d, 3, {100.0f, 5.0f});
  EXPECT_NEAR(critical(3, 2), 1.959964, 1e-6);
  EXPECT_EQ(console.str(), " The           2   th v0 is too large.\n");
}

TEST_F(TrialBoundaries, TooLittleInformationInASingleAnalysisIsNotTested) {
  DesignParameters d = design(input::LanDeMets, 1, 0.05f, 2);
  d.informationFloor[1] = 10.0f;
  analyse(d, 1, {5.0f});
  EXPECT_EQ(critical(1), kBoundaryCap);
  EXPECT_TRUE(console.str().empty());
}

TEST_F(TrialBoundaries, HaybittleFixesTheInterimValues) {
  DesignParameters d = design(input::Haybittle, 3, 0.05f, 2);
  analyse(d, 1, {30.0f});
  analyse(d, 2, {60.0f});
  analyse(d, 3, {100.0f});
  EXPECT_EQ(critical(1), 3.0f);
  EXPECT_EQ(critical(2), 3.0f);
  EXPECT_EQ(d.errorSplit[3], 0.05f);
  // Two looks at 3.0 use up little of alpha: the last value is a little above 1.96.
  EXPECT_GT(critical(3), 1.96f);
  EXPECT_LT(critical(3), 2.0f);
}

TEST_F(TrialBoundaries, ErrorSplitSpendsTheGivenRunningSums) {
  DesignParameters d = design(input::ErrorSplit, 2, 0.05f, 2);
  d.errorSplit[1] = 0.01f;
  d.errorSplit[2] = 0.05f;
  analyse(d, 1, {50.0f});
  EXPECT_NEAR(critical(1), 2.575829, 2e-6);  // two-sided 1 %
  analyse(d, 2, {100.0f});
  EXPECT_NEAR(critical(2), 2.0, 0.03);
  EXPECT_EQ(d.errorSplit[1], 0.01f);
}

TEST_F(TrialBoundaries, AFailedSearchRecordsTheCap) {
  DesignParameters d = design(input::Haybittle, 2, 0.05f, 2);
  d.haybittleB = 1.5f;
  analyse(d, 1, {50.0f});
  analyse(d, 2, {100.0f});
  EXPECT_EQ(critical(1), 1.5f);
  EXPECT_EQ(failed, 1);
  EXPECT_EQ(critical(2), kBoundaryCap);
}

TEST_F(TrialBoundaries, AStaleFailureNeverCapsAFixedValue) {
  DesignParameters d = design(input::Haybittle, 2, 0.05f, 2);
  failed = 1;  // left over from an earlier analysis
  analyse(d, 1, {50.0f});
  EXPECT_EQ(critical(1), 3.0f);

  // Statistic 1 fails its search; statistic 2, below its floor, keeps its fixed value.
  DesignParameters split = design(input::ErrorSplit, 2, 0.05f, 2);
  split.statisticCount = 2;
  split.informationFloor[2] = 10.0f;
  split.informationCeiling[2] = 100.0f;
  split.errorSplit[1] = 0.04f;
  split.errorSplit[2] = 0.01f;  // less than already spent
  analyse(split, 1, {50.0f, 50.0f});
  analyse(split, 2, {100.0f, 5.0f});
  EXPECT_EQ(critical(2, 1), kBoundaryCap);
  EXPECT_NEAR(critical(2, 2), 1.959964, 1e-6);
}

TEST_F(TrialBoundaries, ASkippedAnalysisReadsNothingFromAnEarlierTrial) {
  DesignParameters d = design(input::LanDeMets, 2, 0.05f, 2);
  recordSkippedAnalysis(1, 1, boundaries, observed);
  analyse(d, 2, {100.0f});
  const float fresh = critical(2);
  EXPECT_EQ(critical(1), kBoundaryCap);
  EXPECT_EQ(observed(1, 1), 0.0f);

  // Values left by an earlier trial are overwritten before they are read.
  boundaries.criticalValue(1, 1) = 1.2f;
  observed(1, 1) = 70.0f;
  recordSkippedAnalysis(1, 1, boundaries, observed);
  analyse(d, 2, {100.0f});
  EXPECT_EQ(critical(2), fresh);
  EXPECT_NEAR(fresh, 1.959964, 1e-3);  // an analysis with no information spends nothing
}

}  // namespace
}  // namespace survseq::bounds
