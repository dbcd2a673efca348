#include "sim/simulated_trial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "input/run_error.h"
#include "sim/survival_functions.h"

namespace survseq::sim {
namespace {

constexpr int32_t kSeed = -123457;

input::SurvivalCurve oneInterval(float end, float survival) {
  input::SurvivalCurve curve;
  curve.count = 1;
  curve.x[1] = end;
  curve.s = {1.0f, survival};
  return curve;
}

// Medians 10 (control), 5 (treatment), 20 (censoring); no switch point is ever passed.
input::DesignParameters exponentialDesign() {
  input::DesignParameters design;
  design.accrualPeriod = 10.0f;
  design.baselineCurve = oneInterval(10.0f, 0.5f);
  design.alternativeKind = 1.0f;
  design.alternativeCurve = oneInterval(10.0f, 0.25f);
  design.censoringControl = design.censoringTreatment = oneInterval(20.0f, 0.5f);
  design.dropInCount = design.dropOutCount = 1;
  design.dropInTimes[1] = design.dropOutTimes[1] = 1e30f;
  return design;
}

const std::vector<float>& reference() {  // the stream of a fresh generator
  static const std::vector<float> values = [] {
    UniformGenerator generator;
    int32_t seed = kSeed;
    std::vector<float> v(2000);
    for (float& u : v) u = generator.nextUniform(seed);
    return v;
  }();
  return values;
}

struct Generated {
  SimulatedTrial trial{16};
  UniformGenerator generator;
  int32_t seed = kSeed;
  std::ostringstream report;

  Generated(int32_t subjectCount, const input::DesignParameters& design) {
    std::fill(trial.eventTime.begin(), trial.eventTime.end(), -7.0f);
    generateTrial(design, subjectCount, generator, seed, trial, report);
  }

  // Draws made so far: where the generator's next values sit in the reference stream.
  long drawsMade() {
    std::vector<float> next(8);
    for (float& u : next) u = generator.nextUniform(seed);
    const auto at = std::search(reference().begin(), reference().end(), next.begin(), next.end());
    return at == reference().end() ? -1 : at - reference().begin();
  }
};

TEST(GenerateTrial, ArmsByPositionThreeDrawsEachWithoutSwitching) {
  auto design = exponentialDesign();
  design.censoringTreatment = oneInterval(20.0f, 0.9f);
  const auto& r = reference();
  EXPECT_EQ(Generated(0, design).drawsMade(), 0);
  Generated one(1, design);  // the only patient is in the treatment arm
  EXPECT_EQ(one.trial.group[0], 1.0f);
  EXPECT_EQ(one.trial.eventTime[0], timeAtSurvival(design.alternativeCurve, r[1]));
  EXPECT_EQ(one.trial.eventTime[1], -7.0f);

  Generated five(5, design);
  for (int j = 0; j < 5; ++j) {
    const bool control = j < 2;
    EXPECT_EQ(five.trial.group[j], control ? 0.0f : 1.0f);
    EXPECT_EQ(five.trial.entryTime[j], r[3 * j] * 10.0f);
    EXPECT_EQ(
        five.trial.eventTime[j],
        timeAtSurvival(control ? design.baselineCurve : design.alternativeCurve, r[3 * j + 1]));
    EXPECT_EQ(five.trial.censoringTime[j],
              timeAtSurvival(control ? design.censoringControl : design.censoringTreatment,
                             r[3 * j + 2]));
  }
  EXPECT_EQ(five.trial.eventTime[5], -7.0f);
  EXPECT_EQ(five.drawsMade(), 15);
}

TEST(GenerateTrial, HazardRatioAlternativeServesTheTreatmentArm) {
  auto design = exponentialDesign();
  design.alternativeKind = 2.0f;
  design.hazardRatioCount = 1;
  design.hazardRatioCuts[1] = 10.0f;
  design.hazardRatios[1] = 0.5f;
  std::ostringstream unused;
  EXPECT_EQ(Generated(2, design).trial.eventTime[1],
            hazardRatioTimeAtSurvival(design, reference()[4], unused));
}

TEST(GenerateTrial, EveryPassedSwitchPointCostsOneDraw) {
  // Rate 0 at time 0 is passed by everyone and taken by nobody (no draw of exactly 0
  // among the first 2000); a point at 1e30 is passed by nobody.
  auto design = exponentialDesign();
  design.dropInCount = design.dropOutCount = 2;
  design.dropInTimes = {};
  design.dropOutTimes = {0.0f, 0.0f, 1e30f};
  EXPECT_EQ(Generated(10, design).drawsMade(), 5 * (3 + 2) + 5 * (3 + 1));
}

TEST(GenerateTrial, CertainSwitchAtTimeZeroReusesTheEventUniform) {
  auto design = exponentialDesign();
  design.dropInTimes[1] = design.dropOutTimes[1] = 0.0f;
  design.dropInRates[1] = design.dropOutRates[1] = 1.0f;
  Generated two(2, design);
  const auto& r = reference();  // entry, u, switch draw, censoring for each patient
  EXPECT_EQ(two.trial.eventTime[0], timeAtSurvival(design.alternativeCurve, r[1]));
  EXPECT_EQ(two.trial.censoringTime[0], timeAtSurvival(design.censoringControl, r[3]));
  EXPECT_EQ(two.trial.eventTime[1], timeAtSurvival(design.baselineCurve, r[5]));
  EXPECT_EQ(two.drawsMade(), 8);
}

TEST(GenerateTrial, SwitchRejectsTimesNotBeyondTheSwitchPoint) {
  // The control patient's own time lies beyond the drop-in point, the treatment time of
  // the same u before it: fresh uniforms follow until one gives a time beyond it.
  auto design = exponentialDesign();
  const auto& r = reference();
  const float own = timeAtSurvival(design.baselineCurve, r[1]);
  const float switched = timeAtSurvival(design.alternativeCurve, r[1]);
  ASSERT_LT(switched, own);
  design.dropInTimes[1] = 0.5f * (own + switched);
  design.dropInRates[1] = 1.0f;
  size_t accepted = 3;  // after entry, u and the switch draw
  while (!(timeAtSurvival(design.alternativeCurve, r.at(accepted)) > design.dropInTimes[1])) {
    ++accepted;
  }
  ASSERT_GT(accepted, 3u);
  Generated two(2, design);
  EXPECT_EQ(two.trial.eventTime[0], timeAtSurvival(design.alternativeCurve, r[accepted]));
  EXPECT_EQ(two.trial.entryTime[1], r[accepted + 2] * 10.0f);
  EXPECT_EQ(two.drawsMade(), static_cast<long>(accepted) + 2 + 3);
}

TEST(GenerateTrial, RefusesMorePatientsThanTheArraysHold) {
  SimulatedTrial trial(4);
  UniformGenerator generator;
  int32_t seed = kSeed;
  std::ostringstream report;
  EXPECT_THROW(generateTrial(exponentialDesign(), 5, generator, seed, trial, report), RunError);
  EXPECT_EQ(seed, kSeed);
  EXPECT_NO_THROW(generateTrial(exponentialDesign(), 4, generator, seed, trial, report));
}

TEST(GenerateTrial, SampleMediansMatchTheCurves) {
  // The share of a sample at or below the true median is binomial(n, 1/2): it lies
  // within 4 standard errors sqrt(1/(4n)) of 1/2 unless the draws are wrong.
  constexpr int32_t kPatients = 6000;
  SimulatedTrial trial(kPatients);
  UniformGenerator generator;
  int32_t seed = kSeed;
  std::ostringstream report;
  generateTrial(exponentialDesign(), kPatients, generator, seed, trial, report);
  const auto share = [](auto first, auto last, double median) {
    return double(std::count_if(first, last, [&](float v) { return v <= median; })) /
           double(last - first);
  };
  const auto& events = trial.eventTime;
  const auto half = events.begin() + kPatients / 2;
  const double armTolerance = 4.0 * std::sqrt(0.25 / (kPatients / 2));  // about 0.037
  const double allTolerance = 4.0 * std::sqrt(0.25 / kPatients);
  EXPECT_NEAR(share(events.begin(), half, 10.0), 0.5, armTolerance);
  EXPECT_NEAR(share(half, events.end(), 5.0), 0.5, armTolerance);
  EXPECT_NEAR(share(trial.censoringTime.begin(), trial.censoringTime.end(), 20.0), 0.5,
              allTolerance);
  EXPECT_NEAR(share(trial.entryTime.begin(), trial.entryTime.end(), 5.0), 0.5, allTolerance);
  // Medians 25-30% off are caught: F(13) = 0.594 and F(7.5) = 0.405 for the control.
  EXPECT_GT(std::abs(share(events.begin(), half, 13.0) - 0.5), armTolerance);
  EXPECT_GT(std::abs(share(events.begin(), half, 7.5) - 0.5), armTolerance);
}

}  // namespace
}  // namespace survseq::sim
