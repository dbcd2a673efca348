#include "bounds/boundary_computation.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace survseq::bounds {
namespace {

using input::AnalysisValues;

// Published boundaries are given to three decimals.
constexpr double kThreeDecimals = 0.0015;

AnalysisValues values(std::initializer_list<float> list) {
  AnalysisValues result{};
  int32_t i = 1;
  for (float v : list) result[i++] = v;
  return result;
}

// Critical values of K equally spaced analyses by successive calls, as a trial's
// boundaries are built up.
AnalysisValues useFunctionBoundaries(int32_t useFunction, float alpha, int32_t sides, int32_t K) {
  AnalysisValues t{}, error{}, c{};
  for (int32_t k = 1; k <= K; ++k) {
    t[k] = static_cast<float>(k);
    error[k] = spentError(useFunction, alpha, static_cast<float>(k) / static_cast<float>(K),
                          0.0f, 0.0f, 0.0f);
    int32_t failed = -1;
    computeBoundary(k, t, error, sides, failed, c);
    EXPECT_EQ(failed, 0) << k;
  }
  return c;
}

// c(k) for the given information and fixed earlier values.
float boundaryAt(int32_t k, const AnalysisValues& t, AnalysisValues c, float error,
                 int32_t sides, int32_t* failedOut = nullptr) {
  AnalysisValues split{};
  split[k] = error;
  int32_t failed = -1;
  computeBoundary(k, t, split, sides, failed, c);
  if (failedOut) *failedOut = failed;
  return c[k];
}

TEST(BoundaryComputation, OneSidedObrienFleming) {
  // The algorithm gives 4.3319 at the first analysis: 1 - 7.4e-6 held in single
  // precision leaves the tail accurate only to about 1 %.
  const AnalysisValues c = useFunctionBoundaries(input::OBrienFleming, 0.025f, 1, 4);
  const double expected[] = {4.333, 2.963, 2.359, 2.014};
  for (int32_t k = 1; k <= 4; ++k) EXPECT_NEAR(c[k], expected[k - 1], kThreeDecimals) << k;
}

TEST(BoundaryComputation, TwoSidedObrienFleming) {
  const AnalysisValues c = useFunctionBoundaries(input::OBrienFleming, 0.05f, 2, 4);
  const double expected[] = {3.920, 2.774, 2.298, 2.043};
  for (int32_t k = 1; k <= 4; ++k) EXPECT_NEAR(c[k], expected[k - 1], kThreeDecimals) << k;
}

TEST(BoundaryComputation, TwoSidedPocock) {
  const AnalysisValues c = useFunctionBoundaries(input::Pocock, 0.05f, 2, 4);
  const double expected[] = {2.368, 2.368, 2.358, 2.350};
  for (int32_t k = 1; k <= 4; ++k) EXPECT_NEAR(c[k], expected[k - 1], kThreeDecimals) << k;
}

TEST(BoundaryComputation, FixedInterimValues) {
  const AnalysisValues t = values({1, 2, 3, 4});
  int32_t failed = -1;
  EXPECT_NEAR(boundaryAt(4, t, values({3, 3, 3}), 0.05f, 2, &failed), 1.983, kThreeDecimals);
  EXPECT_EQ(failed, 0);
}

TEST(BoundaryComputation, FailsWhenEarlierValuesSpendTooMuch) {
  // |Z| >= 1.5 three times over already has far more than 5 % chance.
  const AnalysisValues t = values({1, 2, 3, 4});
  int32_t failed = 0;
  EXPECT_EQ(boundaryAt(4, t, values({1.5f, 1.5f, 1.5f}), 0.05f, 2, &failed), kBoundaryCap);
  EXPECT_EQ(failed, 1);
}

TEST(BoundaryComputation, FirstAnalysisIsTheFixedSampleQuantile) {
  const AnalysisValues t = values({10});
  int32_t failed = -1;
  EXPECT_NEAR(boundaryAt(1, t, {}, 0.05f, 2, &failed), 1.959964, 1e-6);
  EXPECT_EQ(failed, 0);
  EXPECT_NEAR(boundaryAt(1, t, {}, 0.05f, 1), 1.644854, 1e-6);
  // Nothing to spend: no quantile, and the analysis cannot reject.
  failed = -1;
  EXPECT_EQ(boundaryAt(1, t, {}, 0.0f, 2, &failed), kBoundaryCap);
  EXPECT_EQ(failed, 0);
}

TEST(BoundaryComputation, LeadingAnalysesWithoutInformationAreDropped) {
  const AnalysisValues earlier = values({9, 9, 2.5f});
  const float twoLooks = boundaryAt(2, values({0.5f, 1}), values({2.5f}), 0.05f, 2);
  EXPECT_EQ(boundaryAt(4, values({0, 0, 0.5f, 1}), earlier, 0.05f, 2), twoLooks);
  // None left before the last: it is treated as a first analysis.
  int32_t failed = -1;
  EXPECT_NEAR(boundaryAt(4, values({0, 0, 0, 1}), earlier, 0.05f, 2, &failed), 1.959964, 1e-6);
  EXPECT_EQ(failed, 0);
}

TEST(BoundaryComputation, TinyLastInformationMeansEqualSpacing) {
  const AnalysisValues c = values({3.5f, 2.8f, 2.4f});
  const float evenlySpaced = boundaryAt(4, values({1, 2, 3, 4}), c, 0.05f, 2);
  EXPECT_EQ(boundaryAt(4, values({7e-5f, 8e-5f, 9e-5f, 1e-4f}), c, 0.05f, 2), evenlySpaced);
  // Just above the threshold the given spacing counts.
  EXPECT_NE(boundaryAt(4, values({7e-5f, 8e-5f, 9e-5f, 1.01e-4f}), c, 0.05f, 2), evenlySpaced);
}

TEST(BoundaryComputation, AnalysisTooCloseToThePreviousIsIgnored) {
  const float without = boundaryAt(3, values({0.25f, 0.5f, 1}), values({3, 2.5f}), 0.05f, 2);
  EXPECT_EQ(boundaryAt(4, values({0.25f, 0.5f, 0.500001f, 1}), values({3, 2.5f, 1.0f}), 0.05f, 2),
            without);
}

TEST(BoundaryComputation, DependsOnlyOnInformationRatios) {
  const AnalysisValues c = values({3.2f, 2.7f, 2.3f});
  const AnalysisValues t = values({0.2f, 0.45f, 0.7f, 1.0f});
  AnalysisValues scaled{};
  for (int32_t k = 1; k <= 4; ++k) scaled[k] = t[k] * 10.0f;
  EXPECT_NEAR(boundaryAt(4, scaled, c, 0.05f, 2), boundaryAt(4, t, c, 0.05f, 2), 1e-5);
}

TEST(BoundaryComputation, LastAnalysisWithoutNewInformationFails) {
  int32_t failed = 0;
  EXPECT_EQ(boundaryAt(2, values({1, 1}), values({2.5f}), 0.05f, 2, &failed), kBoundaryCap);
  EXPECT_EQ(failed, 1);
  // Less information than before cannot be integrated either.
  failed = 0;
  EXPECT_EQ(boundaryAt(2, values({2, 1}), values({2.5f}), 0.05f, 2, &failed), kBoundaryCap);
  EXPECT_EQ(failed, 1);
}

TEST(BoundaryComputation, ReadsOnlyItsOwnAnalysis) {
  AnalysisValues t = values({1, 2, 3, 4});
  AnalysisValues c = values({3, 3, 3});
  AnalysisValues split{};
  split[4] = 0.05f;
  int32_t failed = 0;
  computeBoundary(4, t, split, 2, failed, c);
  AnalysisValues noisy = split;
  noisy[1] = noisy[2] = noisy[3] = noisy[5] = 0.7f;
  AnalysisValues other = values({3, 3, 3, 0, 42});
  computeBoundary(4, t, noisy, 2, failed, other);
  EXPECT_EQ(other[4], c[4]);
  EXPECT_EQ(other[5], 42.0f);
}

}  // namespace
}  // namespace survseq::bounds
