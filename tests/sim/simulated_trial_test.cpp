#include "sim/simulated_trial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "input/run_error.h"
#include "sim/survival_functions.h"
#include "sim/uniform_generator.h"

namespace survseq::sim {
namespace {

constexpr int32_t kDefaultSeed = -123457;
constexpr float kNeverPassed = 1e30f;

input::SurvivalCurve oneInterval(float end, float survival) {
  input::SurvivalCurve curve;
  curve.count = 1;
  curve.x[1] = end;
  curve.s[0] = 1.0f;
  curve.s[1] = survival;
  return curve;
}

// Median 10 under control, 5 under treatment, 20 for censoring; no switch point is
// ever passed.
input::DesignParameters exponentialDesign() {
  input::DesignParameters design;
  design.accrualPeriod = 10.0f;
  design.baselineCurve = oneInterval(10.0f, 0.5f);
  design.alternativeKind = 1.0f;
  design.alternativeCurve = oneInterval(10.0f, 0.25f);
  design.censoringControl = oneInterval(20.0f, 0.5f);
  design.censoringTreatment = oneInterval(20.0f, 0.5f);
  design.dropInCount = 1;
  design.dropInTimes[1] = kNeverPassed;
  design.dropOutCount = 1;
  design.dropOutTimes[1] = kNeverPassed;
  return design;
}

// The stream a fresh generator gives for the default seed, as reference.
std::vector<float> referenceStream(int count) {
  UniformGenerator generator;
  int32_t seed = kDefaultSeed;
  std::vector<float> values;
  for (int i = 0; i < count; ++i) values.push_back(generator.nextUniform(seed));
  return values;
}

// Number of draws the generator has made, found by matching its next values against
// the reference stream.
int drawsMade(UniformGenerator& generator, int32_t& seed) {
  const auto reference = referenceStream(2000);
  std::vector<float> next;
  for (int i = 0; i < 8; ++i) next.push_back(generator.nextUniform(seed));
  for (size_t start = 0; start + next.size() <= reference.size(); ++start) {
    if (std::equal(next.begin(), next.end(), reference.begin() + static_cast<long>(start))) {
      return static_cast<int>(start);
    }
  }
  return -1;
}

struct GeneratedTrial {
  SimulatedTrial trial{16};
  UniformGenerator generator;
  int32_t seed = kDefaultSeed;
  std::ostringstream report;

  explicit GeneratedTrial(int32_t subjectCount, const input::DesignParameters& design) {
    std::fill(trial.eventTime.begin(), trial.eventTime.end(), -7.0f);
    generateTrial(design, subjectCount, generator, seed, trial, report);
  }
};

TEST(GenerateTrial, NoPatientsDrawNothing) {
  GeneratedTrial run(0, exponentialDesign());
  EXPECT_EQ(run.seed, kDefaultSeed);  // the generator was never called
  EXPECT_EQ(run.trial.eventTime[0], -7.0f);
  EXPECT_EQ(drawsMade(run.generator, run.seed), 0);
}

TEST(GenerateTrial, ASinglePatientIsInTheTreatmentArm) {
  const auto design = exponentialDesign();
  GeneratedTrial run(1, design);
  const auto r = referenceStream(3);
  EXPECT_EQ(run.trial.group[0], 1.0f);
  EXPECT_EQ(run.trial.entryTime[0], r[0] * 10.0f);
  EXPECT_EQ(run.trial.eventTime[0], timeAtSurvival(design.alternativeCurve, r[1]));
  EXPECT_EQ(run.trial.censoringTime[0], timeAtSurvival(design.censoringTreatment, r[2]));
  EXPECT_EQ(run.trial.eventTime[1], -7.0f);  // nothing past subjectCount
  EXPECT_EQ(run.seed, 1);
}

TEST(GenerateTrial, ControlArmFirstThenTreatment) {
  auto design = exponentialDesign();
  design.censoringTreatment = oneInterval(20.0f, 0.9f);
  GeneratedTrial run(5, design);
  const auto r = referenceStream(15);
  for (int j = 0; j < 5; ++j) {
    const bool control = j < 2;
    EXPECT_EQ(run.trial.group[j], control ? 0.0f : 1.0f);
    EXPECT_EQ(run.trial.entryTime[j], r[3 * j] * 10.0f);
    EXPECT_EQ(run.trial.eventTime[j],
              timeAtSurvival(control ? design.baselineCurve : design.alternativeCurve,
                             r[3 * j + 1]));
    EXPECT_EQ(run.trial.censoringTime[j],
              timeAtSurvival(control ? design.censoringControl : design.censoringTreatment,
                             r[3 * j + 2]));
  }
  EXPECT_EQ(run.trial.eventTime[5], -7.0f);
  EXPECT_EQ(drawsMade(run.generator, run.seed), 15);
}

TEST(GenerateTrial, HazardRatioAlternativeServesTheTreatmentArm) {
  auto design = exponentialDesign();
  design.alternativeKind = 2.0f;
  design.hazardRatioCount = 1;
  design.hazardRatioCuts[1] = 10.0f;
  design.hazardRatios[1] = 0.5f;
  GeneratedTrial run(2, design);
  const auto r = referenceStream(6);
  std::ostringstream unused;
  EXPECT_EQ(run.trial.eventTime[1], hazardRatioTimeAtSurvival(design, r[4], unused));
  EXPECT_NE(run.trial.eventTime[1], timeAtSurvival(design.alternativeCurve, r[4]));
}

TEST(GenerateTrial, EveryPassedSwitchPointCostsOneDraw) {
  // Two points at time 0 with rate 0: every patient passes both and stays in its arm
  // (a switch would need a draw of exactly 0, which the first 2000 numbers lack).
  auto design = exponentialDesign();
  design.dropInCount = 2;
  design.dropInTimes = {};
  design.dropOutCount = 2;
  design.dropOutTimes = {};
  design.dropOutTimes[2] = kNeverPassed;  // passed by nobody: costs nothing
  GeneratedTrial run(10, design);
  EXPECT_EQ(drawsMade(run.generator, run.seed), 5 * (3 + 2) + 5 * (3 + 1));
  const auto r = referenceStream(8);
  EXPECT_EQ(run.trial.eventTime[0], timeAtSurvival(design.baselineCurve, r[1]));
  EXPECT_EQ(run.trial.censoringTime[0], timeAtSurvival(design.censoringControl, r[4]));
}

TEST(GenerateTrial, CertainSwitchAtTimeZeroReusesTheEventUniform) {
  auto design = exponentialDesign();
  design.dropInTimes[1] = 0.0f;
  design.dropInRates[1] = 1.0f;
  design.dropOutTimes[1] = 0.0f;
  design.dropOutRates[1] = 1.0f;
  GeneratedTrial run(2, design);
  const auto r = referenceStream(8);
  // Control: entry, u, switch draw, censoring; the treatment time of the same u.
  EXPECT_EQ(run.trial.eventTime[0], timeAtSurvival(design.alternativeCurve, r[1]));
  EXPECT_EQ(run.trial.censoringTime[0], timeAtSurvival(design.censoringControl, r[3]));
  // Treatment: the control time of its own u.
  EXPECT_EQ(run.trial.eventTime[1], timeAtSurvival(design.baselineCurve, r[5]));
  EXPECT_EQ(run.trial.group[0], 0.0f);
  EXPECT_EQ(run.trial.group[1], 1.0f);
  EXPECT_EQ(drawsMade(run.generator, run.seed), 8);
}

TEST(GenerateTrial, SwitchRejectsTimesNotBeyondTheSwitchPoint) {
  // One control patient whose own time lies beyond the drop-in point while the
  // treatment time of the same u falls before it: the first attempt fails and fresh
  // uniforms are drawn until a treatment time beyond the point comes up.
  auto design = exponentialDesign();
  const auto r = referenceStream(200);
  const float controlTime = timeAtSurvival(design.baselineCurve, r[1]);
  const float treatmentTime = timeAtSurvival(design.alternativeCurve, r[1]);
  ASSERT_LT(treatmentTime, controlTime);
  const float switchTime = 0.5f * (controlTime + treatmentTime);
  design.dropInTimes[1] = switchTime;
  design.dropInRates[1] = 1.0f;

  size_t next = 3;  // entry, u, switch draw
  while (next < r.size() && !(timeAtSurvival(design.alternativeCurve, r[next]) > switchTime)) {
    ++next;
  }
  ASSERT_LT(next + 2, r.size());
  ASSERT_GT(next, 3u);  // at least one rejection beyond the coupled first attempt

  GeneratedTrial run(2, design);
  EXPECT_EQ(run.trial.eventTime[0], timeAtSurvival(design.alternativeCurve, r[next]));
  EXPECT_EQ(run.trial.censoringTime[0], timeAtSurvival(design.censoringControl, r[next + 1]));
  EXPECT_EQ(run.trial.entryTime[1], r[next + 2] * 10.0f);
  EXPECT_EQ(drawsMade(run.generator, run.seed), static_cast<int>(next) + 2 + 3);
}

TEST(GenerateTrial, SameStateSameTrial) {
  auto design = exponentialDesign();
  design.dropInTimes[1] = 3.0f;
  design.dropInRates[1] = 0.3f;
  GeneratedTrial first(16, design);
  GeneratedTrial second(16, design);
  EXPECT_EQ(first.trial.entryTime, second.trial.entryTime);
  EXPECT_EQ(first.trial.eventTime, second.trial.eventTime);
  EXPECT_EQ(first.trial.censoringTime, second.trial.censoringTime);
  EXPECT_EQ(first.trial.group, second.trial.group);
}

TEST(GenerateTrial, RefusesMorePatientsThanTheArraysHold) {
  SimulatedTrial trial(4);
  UniformGenerator generator;
  int32_t seed = kDefaultSeed;
  std::ostringstream report;
  EXPECT_THROW(generateTrial(exponentialDesign(), 5, generator, seed, trial, report), RunError);
  EXPECT_EQ(seed, kDefaultSeed);
  EXPECT_NO_THROW(generateTrial(exponentialDesign(), 4, generator, seed, trial, report));
}

// Fraction of `values` at or below `median`: binomial(n, 1/2) when `median` is the true
// median, so it must lie within 4 standard errors sqrt(1/(4n)) of 1/2.
double shareAtOrBelow(const std::vector<float>& values, double median) {
  const auto count = std::count_if(values.begin(), values.end(),
                                   [&](float v) { return double(v) <= median; });
  return static_cast<double>(count) / static_cast<double>(values.size());
}

TEST(GenerateTrial, SampleMediansMatchTheCurves) {
  constexpr int32_t kPatients = 6000;
  const auto design = exponentialDesign();
  SimulatedTrial trial(kPatients);
  UniformGenerator generator;
  int32_t seed = kDefaultSeed;
  std::ostringstream report;
  generateTrial(design, kPatients, generator, seed, trial, report);

  const auto half = trial.eventTime.begin() + kPatients / 2;
  const std::vector<float> controlEvents(trial.eventTime.begin(), half);
  const std::vector<float> treatmentEvents(half, trial.eventTime.end());
  const std::vector<float> censoring(trial.censoringTime.begin(), trial.censoringTime.end());
  const double tolerance = 4.0 * std::sqrt(0.25 / (kPatients / 2));  // about 0.037

  EXPECT_NEAR(shareAtOrBelow(controlEvents, 10.0), 0.5, tolerance);
  EXPECT_NEAR(shareAtOrBelow(treatmentEvents, 5.0), 0.5, tolerance);
  EXPECT_NEAR(shareAtOrBelow(censoring, 20.0), 0.5, 4.0 * std::sqrt(0.25 / kPatients));
  EXPECT_NEAR(shareAtOrBelow(trial.entryTime, 5.0), 0.5, 4.0 * std::sqrt(0.25 / kPatients));

  // A median 25-30% off is caught: F(13) = 1 - 2^-1.3 = 0.594 and F(7.5) = 0.405
  // under the control curve, both more than twice the tolerance away from 1/2.
  EXPECT_GT(std::abs(shareAtOrBelow(controlEvents, 13.0) - 0.5), tolerance);
  EXPECT_GT(std::abs(shareAtOrBelow(controlEvents, 7.5) - 0.5), tolerance);
}

}  // namespace
}  // namespace survseq::sim
