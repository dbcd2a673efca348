// src/bounds: normal law, use functions, critical values, the planned information and the plan.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

#include "bounds/binding_futility.h"
#include "bounds/boundary_computation.h"
#include "bounds/planned_information.h"
#include "bounds/normal_distribution.h"
#include "bounds/planned_boundaries.h"
#include "bounds/reference_recursion.h"
#include "bounds/trial_boundaries.h"
#include "input/accrual_profile.h"
#include "law/law_designs.h"
#include "report/run_error.h"

namespace survseq::bounds {
namespace {

using Floats = std::vector<float>;
using testing::phi;
using testing::upperTail;

// Against erfc across the branches, and the cut-offs, far tails and faults.
TEST(NormalDistribution, DensityTailAreaAndQuantile) {
  EXPECT_NEAR(normalDensity(-1.96f), phi(1.96f), 4e-7 * phi(1.96f));
  EXPECT_GT(normalDensity(13.0f), 0.0f);  // the exponent passes -87 at |x| ~ 13.121
  for (float x : {13.2f, -13.2f, INFINITY, NAN}) EXPECT_EQ(normalDensity(x), 0.0f) << x;
  const float aboveSeam = std::nextafter(1.28f, 2.0f);
  for (float x : {-3.5f, -1.0f, 0.0f, 0.3f, 1.0f, 1.28f, aboveSeam, 1.5f, 2.5f, 4.0f, 6.0f}) {
    EXPECT_NEAR(normalTailArea(x, true), upperTail(x), 2e-7) << x;
    EXPECT_NEAR(normalTailArea(x, false), 1.0 - upperTail(x), 2e-7) << x;
  }
  struct Tail { float x; bool upper; double expected, tol = 0; };
  for (const Tail& c : {Tail{8, true, 6.22e-16, 1e-18}, Tail{8, false, 1}, Tail{-8, true, 1},
                        Tail{19, true, 0}, Tail{-19, false, 0}})
    EXPECT_NEAR(normalTailArea(c.x, c.upper), c.expected, c.tol) << c.x;
  struct Case { float p; double z, tolerance = 0; int32_t fault = 0; };
  for (const Case& c : {Case{0.975f, 1.959964, 1e-6}, Case{0.025f, -1.959964, 1e-6}, Case{0.5f, 0},
                        Case{1e-19f, -9.0, 0.05}, Case{1e-21f, 0, 0, 1}, Case{0, 0, 0, 1},
                        Case{1, 0, 0, 1}, Case{2, 0, 0, 1}, Case{NAN, 0, 0, 1}}) {
    int32_t fault = -1;
    EXPECT_NEAR(normalQuantile(c.p, fault), c.z, c.tolerance) << c.p;
    EXPECT_EQ(fault, c.fault) << c.p;
  }
}

// The coded shapes give the published boundaries below. The Haybittle type (b 3, floor 20)
// grows with log(I / floor) whatever the fraction or code; the families, at their edges too.
TEST(UseFunctions, HaybittleTypeAndSpendingFamilies) {
  const double atFloor = 4.0 * phi(3.0) / 3.0;
  const double doubled = atFloor + (3.0 - 1.0 / 3.0) * phi(3.0) * std::log(2.0);
  EXPECT_NEAR(spentError(input::HaybittleType, 0.05f, 0.3f, 20, 20, 3), atFloor, 3e-7 * atFloor);
  EXPECT_NEAR(spentError(input::HaybittleType, 0.05f, 0.5f, 40, 20, 3), doubled, 3e-7 * doubled);
  EXPECT_NEAR(spentError(7, 0.05f, 0.9f, 40, 20, 3), doubled, 3e-7 * doubled);
  using enum input::SpendingFamily;
  struct Case { input::SpendingFamily family; float parameter, fraction; double expected; };
  const Case cases[] = {
      {HwangShihDeCani, -4, 0.5f, 0.025 * std::expm1(2) / std::expm1(4)},
      {HwangShihDeCani, 0, 0.3f, 0.0075}, {HwangShihDeCani, 1e-7f, 0.3f, 0.0075},
      {HwangShihDeCani, -1000, 0.999f, 0.025 * std::exp(-1.0)},
      {HwangShihDeCani, -1000, 1, 0.025}, {HwangShihDeCani, 1000, 0.1f, 0.025},
      {KimDeMets, 3, 0.5f, 0.025 / 8}, {KimDeMets, 0.5f, 0.25f, 0.0125}};
  for (const Case& c : cases) {
    input::DesignParameters d;
    d.typeIError = 0.025f;
    d.spendingFamily = c.family;
    d.spendingGamma = d.spendingExponent = c.parameter;
    EXPECT_NEAR(designSpentError(d, c.fraction, 0, 0), c.expected, 1e-4 * c.expected)
        << c.parameter << ' ' << c.fraction;
  }
}

// c(k) at the last of the analyses with information t, given the earlier values c.
float boundaryAt(const Floats& t, const Floats& c, float alpha = 0.05f, int32_t sides = 2,
                 int32_t* failed = nullptr) {
  const auto k = static_cast<int32_t>(t.size());
  input::AnalysisValues information{}, split{}, critical{};
  for (int32_t i = 1; i <= k; ++i) information[i] = t[i - 1];
  for (int32_t i = 1; i < k; ++i) critical[i] = c[i - 1];
  split[k] = alpha;
  int32_t unused = -1;
  computeBoundary(k, information, split, sides, failed ? *failed : unused, critical);
  return critical[k];
}

TEST(BoundaryComputation, ValuesFailuresAndEquivalentInformation) {
  const Floats c3 = {3.5f, 2.8f, 2.4f}, equal = {1, 2, 3, 4};
  struct Case { const char* what; Floats t, c; double expected, tol = 0;
                int32_t failed = 0, sides = 2; float alpha = 0.05f; };
  for (const Case& c : {
           Case{"interim values 1.5 spend too much", equal, {1.5f, 1.5f, 1.5f}, 5, 0, 1},
           Case{"first analysis", {10}, {}, 1.959964, 1e-6},
           Case{"nothing to spend: no quantile", {10}, {}, 5, 0, 0, 2, 0},
           Case{"no earlier information", {0, 0, 0, 1}, c3, 1.959964, 1e-6},
           Case{"infinite information: fractions not a number", {INFINITY, INFINITY, INFINITY},
                {2.5f, 2.5f}, 1.959964, 1e-6},
           Case{"no new information", {1, 1}, {2.5f}, 5, 0, 1},
           Case{"less information than before", {2, 1}, {2.5f}, 5, 0, 1},
           Case{"leading zeros", {0, 0, 0.5f, 1}, {9, 9, 2.5f}, boundaryAt({0.5f, 1}, {2.5f})},
           Case{"t(k) <= 1e-4", {7e-5f, 8e-5f, 9e-5f, 1e-4f}, c3, boundaryAt(equal, c3)},
           Case{"0.500001 ignored", {0.5f, 0.500001f, 1}, {2.5f, 1}, boundaryAt({0.5f, 1}, {2.5f})},
           Case{"scale", {2, 4.5f, 7, 10}, c3, boundaryAt({0.2f, 0.45f, 0.7f, 1}, c3), 1e-5}}) {
    SCOPED_TRACE(c.what);
    int32_t failed = -1;
    EXPECT_NEAR(boundaryAt(c.t, c.c, c.alpha, c.sides, &failed), c.expected, c.tol);
    EXPECT_EQ(failed, c.failed);
  }
  EXPECT_NE(boundaryAt({7e-5f, 8e-5f, 9e-5f, 1.01e-4f}, c3), boundaryAt(equal, c3));  // > 1e-4
}

// With binding futility bounds as without: a last look with nothing left to spend, or
// with no information beyond an earlier one, gets the cap and is a failure.
TEST(BindingBoundary, NothingToSpendOrNoNewInformationIsTheCapAndAFailure) {
  for (const auto& [information, split] : {std::pair{50.0f, 0.005f}, {100.0f, 0.02f}}) {
    const input::AnalysisValues t{0, information, 100}, errorSplit{0, 0.01f, split}, futility{};
    input::AnalysisValues c{0, 2.326348f};
    int32_t failed = -1;
    computeBindingBoundary(2, t, errorSplit, futility, failed, c);
    EXPECT_EQ(c[2], kBoundaryCap) << information;
    EXPECT_EQ(failed, 1) << information;
  }
}

// One trial's boundaries of a single statistic: planned information 100, floor 1.
struct OneTrial {
  OneTrial(int32_t K, float alpha, int32_t useFunction) {
    d.boundaryMethod = input::LanDeMets;
    d.analysisCount = K;
    d.typeIError = alpha;
    d.sides = alpha < 0.03f ? 1 : 2;  // one-sided at 2.5 %
    d.useFunction = useFunction;
    d.statisticCount = 1;
    d.informationFloor[1] = 1;
    d.informationCeiling[1] = 100;
  }
  float analyse(int32_t analysis, float information) {  // c(analysis)
    std::ostringstream console;
    state.observedInformation(1, analysis) = information;
    updateTrialBoundaries(analysis, d, state, console);
    return state.boundaries.criticalValue(1, analysis);
  }
  input::DesignParameters d;
  TrialBoundaryState state;
};

// The error spent by each look against the reference (one-sided tests also stop below
// -c(k)). One-sided, c(1) is 4.3319: 1 - 7.4e-6 in single precision leaves ~1 % of the tail.
TEST(TrialBoundaries, UseFunctionDesignsMatchThePublishedValuesAndTheReference) {
  struct Case { int32_t useFunction, K; float alpha; std::vector<double> published; };
  for (const Case& p : {Case{input::OBrienFleming, 4, 0.025f, {4.333, 2.963, 2.359, 2.014}},
                        Case{input::OBrienFleming, 4, 0.05f, {3.920, 2.774, 2.298, 2.043}},
                        Case{input::Pocock, 4, 0.05f, {2.368, 2.368, 2.358, 2.350}},
                        Case{input::Pocock, input::MaxAnalyses, 0.05f, {}}}) {
    OneTrial trial(p.K, p.alpha, p.useFunction);
    std::vector<testing::ReferenceLook> looks;
    for (int32_t i = 1; i <= p.K; ++i) {
      const float t = p.K == 4 ? 25.0f * i : 100.0f * i * (15 + i) / 450.0f;
      const float c = trial.analyse(i, t);
      looks.push_back({0, t / 100.0, std::sqrt(t / 100.0) * c, -std::sqrt(t / 100.0) * c});
      EXPECT_NEAR(c, size_t(i) <= p.published.size() ? p.published[i - 1] : c, 0.0015) << i;
    }
    double spent = 0.0;
    const std::vector<double> up = testing::referenceCrossings(looks);
    for (int32_t i = 1; i <= p.K; ++i) {
      EXPECT_NEAR(trial.d.sides * (spent += up[i - 1]), trial.state.errorSplit[i], 5e-6) << i;
    }
  }
}

TEST(TrialBoundaries, FallingAndNearlyCompleteInformation) {
  OneTrial nearlyComplete(2, 0.05f, input::OBrienFleming);
  // A first analysis with 99 % keeps its information and spends nothing.
  EXPECT_EQ(nearlyComplete.analyse(1, 99.5f), kBoundaryCap);
  EXPECT_EQ(nearlyComplete.state.observedInformation(1, 1), 99.5f);
  OneTrial trial(3, 0.05f, input::Linear);
  const float first = trial.analyse(1, 40.0f);
  // Falling: raised in the working copy only. Capped: drawn back to the midpoint with 40.
  struct Case { float information, kept, split; };  // split 0.123: untouched, capped
  for (const Case& c : {Case{30, 30, 0.05f * 0.400001f}, Case{98.9f, 98.9f, 0.05f * 0.989f},
                        Case{120, 80, 0.123f}, Case{99, 69.5f, 0.123f}}) {
    trial.state.errorSplit[2] = 0.123f;
    EXPECT_EQ(trial.analyse(2, c.information) == kBoundaryCap, c.split == 0.123f) << c.information;
    EXPECT_EQ(trial.state.observedInformation(1, 2), c.kept) << c.information;
    EXPECT_FLOAT_EQ(trial.state.errorSplit[2], c.split) << c.information;
  }
  EXPECT_EQ(trial.analyse(3, 100.0f), boundaryAt({40, 69.5f, 100}, {first, 5}));
}

// One-sided; the other boundary methods are covered by the golden runs.
TEST(PlannedBoundaries, MatchTheReferenceRecursion) {
  const double alpha = 0.025, zHalfAlpha = 2.241402727604947;  // Phi^-1(1 - alpha/2)
  using Spending = std::function<double(double)>;
  const Spending obrienFleming = [&](double f) { return 2 * upperTail(zHalfAlpha / sqrt(f)); };
  const Spending hsd1 = [&](double f) { return alpha * std::expm1(-f) / std::expm1(-1.0); };
  using enum input::SpendingFamily;
  struct Case { const char* what; input::SpendingFamily family; Spending spent;
                bool futility, binding; };
  for (const Case& c : {Case{"O'Brien-Fleming", Coded, obrienFleming, false, false},
                        Case{"non-binding futility", Coded, obrienFleming, true, false},
                        Case{"binding futility", Coded, obrienFleming, true, true},
                        Case{"binding, Hwang-Shih-DeCani 1", HwangShihDeCani, hsd1, true, true}}) {
    SCOPED_TRACE(c.what);
    input::DesignParameters d;
    d.boundaryMethod = input::LanDeMets;
    d.analysisCount = 3;
    d.typeIError = static_cast<float>(alpha);
    d.sides = 1;
    d.useFunction = input::OBrienFleming;
    d.spendingFamily = c.family;
    d.spendingGamma = 1;
    d.futility = c.futility;
    d.futilityBinding = c.binding;
    d.futilityZ = {0, 0.0f, 0.5f};
    const PlannedLooks looks = plannedBoundaries(d, {0, 40, 60, 80}, 0.0f);
    // The reference's bounds at the fractions 0.5, 0.75 and 1, the paths below the binding
    // futility bounds stopping.
    std::vector<testing::ReferenceLook> reference;
    for (int32_t k = 1; k <= 3; ++k) {
      const double t = 0.25 + 0.25 * k, lower = c.binding && k < 3 ? d.futilityZ[k] : -INFINITY;
      reference.push_back({0, t, NAN, std::sqrt(t) * lower, k < 3 ? c.spent(t) : alpha});
    }
    testing::referenceCrossings(reference);
    for (int32_t k = 1; k <= 3; ++k) {
      const PlannedLook& look = looks[static_cast<size_t>(k)];
      const double t = 0.25 + 0.25 * k;
      EXPECT_NEAR(look.informationFraction, t, 1e-7) << k;
      EXPECT_NEAR(look.efficacyZ, reference[k - 1].upper / std::sqrt(t), 1e-3) << k;
      EXPECT_NEAR(look.nominalP, upperTail(look.efficacyZ), 1e-7) << k;
      EXPECT_EQ(look.hasFutilityBound ? look.futilityZ : -1,
                c.futility && k < 3 ? d.futilityZ[k] : -1) << k;
    }
  }
}

// Event targets that round to 0 or to the same count, or out of reach (targets that do not
// increase as given are refused by the readers already).
TEST(LookSchedule, TargetsThatCannotBePlannedAreRefused) {
  auto d = law::testing::exponentialDesign(0.7f, 0.0f, 40.0f, {0.01f, 20});
  d.analysisTiming = input::AnalysisTiming::PlannedEvents;
  EXPECT_THROW(lookSchedule(d, input::rateForPatients(d, 420)), RunError);
  d.analysisTimes = {0, 20, 20.001f};
  EXPECT_THROW(lookSchedule(d, input::rateForPatients(d, 420)), RunError);
  d.analysisTiming = input::AnalysisTiming::FixedEvents;
  d.analysisEvents = {0, 100, 400};  // 420 patients: 310 events at most
  for (const float lastCut : {1000.0f, 1.0e4f}) {  // S(1e4) underflows: E is NaN beyond it
    d.hazardRatioCuts[1] = lastCut;
    EXPECT_THROW(lookSchedule(d, input::rateForPatients(d, 420)), RunError) << lastCut;
  }
}

}  // namespace
}  // namespace survseq::bounds
