// Trials as they are run: under the null hypothesis every spending family, futility rule
// and trial that runs out of events keeps its type-I error; and trials whose events run out
// before a target end there. (The event_driven_looks golden run shows every target met.)

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "build_kind.h"
#include "input/parameter_file.h"
#include "program_runner.h"
#include "search/simulation_pass.h"
#include "search/trial_analysis.h"

namespace survseq::search {
namespace {

// One-sided 2.5 %, three looks at 24, 36 and 48 of a 24-month accrual of 120 patients,
// hazard ratio 1 throughout: some 50 to 60 events by the last look. `lines` replace more.
input::DesignParameters nullDesign(int32_t trials, std::map<int, std::string> lines = {},
                                   const input::AnalysisCounts& eventTargets = {}) {
  lines.insert({{20, "3"}, {23, "24 36 48"}, {37, std::to_string(trials)}, {49, "0 0 0"},
                {61, "0 0 0"}, {88, "24 5 5"}, {108, "2"}, {113, "1 1 1"}});
  std::istringstream in(
      testing::replaceLines(testing::exampleFile("four_look_obrien_fleming.par"), lines));
  std::ostringstream console;
  input::DesignParameters design;
  input::readParameterFile(in, console, console, design, [](const std::string&, int32_t) {});
  design.accrualRate = design.accrualRateUpper;
  if (eventTargets[1] > 0) {
    design.accrualForm = input::AccrualForm::GivenRate;
    design.analysisTiming = input::AnalysisTiming::FixedEvents;
    design.analysisEvents = eventTargets;
  }
  return design;
}

// 300 patients, an exponential control arm with median 12 and half the patients lost to
// follow-up by 24: some 190 to 200 events for ever, so that many trials never reach a target
// near that.
const std::map<int, std::string> kShortTrials = {{74, "1"},   {78, "12"},   {83, "0.5"},
                                                 {88, "24 12.5 12.5"}, {100, "1"},
                                                 {103, "1000"}, {124, "0.5"}, {135, "0.5"}};

IterationRecord runPass(input::DesignParameters design) {
  std::ostringstream console, file;
  Report report(console, file);
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);
  return SimulationPass(patientCapacityFor(design), 2).run(design, generator, report);
}

TEST(TypeOneError, NullDesignsRejectAtTheirAlphaWithinThreeStandardErrors) {
  if (testing::kSanitizedBuild) GTEST_SKIP() << "statistical: optimised build only";
  // 20000 trials: the Monte Carlo error of a rate near alpha = 0.025 is
  // sqrt(0.025 * 0.975 / 20000) = 0.0011 (0.0015 near 0.05); every rate lies within three.
  constexpr int32_t kTrials = 20000;
  enum Futility { None, NonBinding, Binding };
  using enum input::SpendingFamily;
  const struct {
    const char* what;
    std::map<int, std::string> lines;
    input::SpendingFamily family;
    float parameter;
    Futility futility;
    double alpha;
    input::AnalysisCounts eventTargets;
  } cases[] = {
      {"O'Brien-Fleming, four looks, two-sided 5 %",
       {{20, "4"}, {23, "24 36 48 60"}, {40, "0.05"}, {43, "2"}, {49, "0 0 0 0"}, {61, "0 0 0 0"}},
       Coded, 0.0f, None, 0.05, {}},
      {"Hwang-Shih-DeCani -4", {}, HwangShihDeCani, -4.0f, None, 0.025, {}},
      {"Kim-DeMets 3", {}, KimDeMets, 3.0f, None, 0.025, {}},
      {"non-binding futility", {}, Coded, 0.0f, NonBinding, 0.025, {}},
      {"binding futility", {}, Coded, 0.0f, Binding, 0.025, {}},
      // Some 12 % of the trials end at look 2 and 40 % at look 3 short of its target; their
      // final looks spend what is left of alpha.
      {"events run out", kShortTrials, Coded, 0.0f, None, 0.025, {0, 100, 190, 198}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    input::DesignParameters design = nullDesign(kTrials, c.lines, c.eventTargets);
    design.spendingFamily = c.family;
    design.spendingGamma = design.spendingExponent = c.parameter;
    design.futility = c.futility != None;
    design.futilityBinding = c.futility == Binding;
    design.futilityZ = {0, 0.0f, 0.5f};
    const IterationRecord pass = runPass(design);
    const StatisticRecord& statistic = pass.statistics[0];
    double rate = statistic.summary.estimate.power;
    int32_t futilityStops = 0;
    for (const LookFigures& look : statistic.looks) futilityStops += look.futilityStoppedCount;
    // Under the null about 60 % stop for futility.
    EXPECT_EQ(futilityStops > kTrials / 2, design.futility) << futilityStops;
    if (c.futility == NonBinding) {
      // Obeyed, a non-binding rule can only lower the error; the same trials without it (the
      // same efficacy bounds) keep alpha.
      design.futility = false;
      const double ignored = runPass(design).statistics[0].summary.estimate.power;
      EXPECT_LE(rate, ignored);
      rate = ignored;
    }
    if (c.eventTargets[1] > 0) {
      // Every trial has the 100 events of look 1 and takes it there; many end before look 3.
      EXPECT_EQ(statistic.looks[1].meanEventCount, 100.0f);
      EXPECT_LT(statistic.looks[3].reachedCount, kTrials * 9 / 10);
    }
    EXPECT_NEAR(rate, c.alpha, 3.0 * std::sqrt(c.alpha * (1 - c.alpha) / kTrials));
  }
}

TEST(EventTargets, ATrialWhoseEventsRunOutEndsThereWithAFinalAnalysis) {
  // Haybittle: b = 3 at an interim look, the recursion's value at the final one. With an
  // effect 187.5 events are expected for ever, give or take 8: many trials never reach 180.
  std::map<int, std::string> lines = kShortTrials;
  lines.insert({{11, "3"}, {113, "0.7"}});
  input::DesignParameters d = nullDesign(1, lines, {0, 100, 180, 185});
  std::ostringstream console, file;
  Report report(console, file);
  sim::UniformGenerator generator;
  generator.nextUniform(d.seed);
  SimulationPass(patientCapacityFor(d)).run(d, generator, report);  // fixes the scale and b
  sim::SimulatedTrial trial(300);
  TrialWorkspace workspace(300);
  int32_t seed = 99, shortAtTwo = 0;
  for (int number = 1; number <= 100; ++number) {
    sim::generateTrial(d, 300, generator, seed, trial, file);
    TrialOutcome outcome;
    analyseTrial(d, trial, 300, number, workspace, report, outcome, &d.analysisEvents);
    const sim::EventLooks& looks = workspace.eventLooks;
    if (looks.finalLook != 2) continue;
    ++shortAtTwo;
    const TrialOutcome::Look& last = outcome.looks[size_t(outcome.lookCount - 1)];
    EXPECT_EQ(last.analysis, outcome.takenLooks);  // nothing after the final look
    if (outcome.takenLooks < 2) continue;           // stopped at the first look
    EXPECT_EQ(last.analysis, 2);
    EXPECT_EQ(last.eventCount, looks.eventCount);  // all its events
    EXPECT_LT(last.criticalValue, 2.5f);           // a final analysis, not b = 3
    EXPECT_EQ(outcome.stoppingTime[1], looks.time[2]);
  }
  EXPECT_GT(shortAtTwo, 5);
}

}  // namespace
}  // namespace survseq::search
