// Trials as they are run: a pass at a given size, looks at event targets, and trials whose
// events run out before a target.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "build_kind.h"
#include "input/accrual_profile.h"
#include "input/parameter_file.h"
#include "program_runner.h"
#include "search/accrual_search.h"
#include "search/simulation_pass.h"
#include "search/trial_analysis.h"

namespace survseq::search {
namespace {

using testing::exampleFile;
using testing::replaceLines;

// Three looks, exponential control arm with median 12, hazard ratio `ratio`, loss to
// follow-up with `retained` left at 24, accrual over 24, one-sided alpha 0.025, `method`
// (2 Lan-DeMets O'Brien-Fleming, 3 Haybittle b = 3), `trials` trials.
input::DesignParameters design(int trials, const char* ratio = "0.7", const char* retained = "1",
                               const char* method = "2") {
  const std::string text = replaceLines(
      exampleFile("four_look_obrien_fleming.par"),
      {{11, method}, {20, "3"}, {23, "30 40 50"}, {37, std::to_string(trials)}, {74, "1"},
       {78, "12"}, {83, "0.5"}, {100, "1"}, {103, "1000"}, {108, "2"}, {113, ratio},
       {121, "24"}, {124, retained}, {132, "24"}, {135, retained}});
  std::istringstream in(text);
  std::ostringstream console;
  input::DesignParameters d;
  input::readParameterFile(in, console, console, d, [](const std::string&, int32_t) {});
  return d;
}

struct FinishedRun {
  RunRecord record;
  std::string report;
};

FinishedRun run(input::DesignParameters d, int32_t threads = 2) {
  std::ostringstream console, file;
  Report report(console, file);
  sim::UniformGenerator generator;
  AccrualSearch search(d, report);
  search.start(generator);
  SimulationPass pass(patientCapacityFor(d), threads);
  FinishedRun result;
  result.record = search.run([&](input::DesignParameters& x) -> const IterationRecord& {
    return pass.run(x, generator, report);
  });
  result.report = file.str();
  return result;
}

TEST(GivenSize, OneIterationAtTheRateAndAClosingBlockWithEveryPower) {
  for (const auto& [patients, rate] : {std::pair{420, 0.0f}, {0, 12.3f}}) {
    auto d = design(200);
    d.accrualForm = patients > 0 ? input::AccrualForm::GivenPatients : input::AccrualForm::GivenRate;
    d.givenPatients = patients;
    if (rate > 0) d.accrualRate = rate;
    const FinishedRun r = run(d);
    ASSERT_EQ(r.record.iterations.size(), 1u);
    const IterationRecord& it = r.record.iterations.front();
    EXPECT_EQ(r.record.outcome, SearchOutcome::FixedRate);
    EXPECT_EQ(it.patientCount, patients > 0 ? patients : 295);  // trunc(12.3 x 24)
    EXPECT_EQ(r.record.estimate.power, it.statistics.front().summary.estimate.power);
    char power[16];
    std::snprintf(power, sizeof power, "power =%.4f", double(r.record.estimate.power));
    const auto closing = r.report.substr(r.report.find("Final Output"));
    EXPECT_NE(closing.find("patients per trial is      " + std::to_string(it.patientCount)),
              std::string::npos) << closing;
    EXPECT_NE(closing.find(power), std::string::npos) << closing;
  }
}

TEST(EventTargets, EveryLookAtItsTargetAndTheMeanTimesReported) {
  auto d = design(300);
  d.accrualForm = input::AccrualForm::GivenPatients;
  d.givenPatients = 420;
  d.analysisTiming = input::AnalysisTiming::FixedEvents;
  d.analysisEvents = {0, 165, 248, 330};
  const FinishedRun r = run(d);
  const IterationRecord& it = r.record.iterations.front();
  int32_t stopped = 0;
  for (int32_t k = 1; k <= 3; ++k) {
    const LookFigures& look = it.statistics.front().looks[static_cast<size_t>(k)];
    EXPECT_EQ(look.meanEventCount, float(d.analysisEvents[k])) << k;  // every trial has enough
    EXPECT_EQ(it.lookTakenCount[static_cast<size_t>(k)], look.reachedCount);
    EXPECT_GT(it.meanLookTime[static_cast<size_t>(k)], k == 1 ? 0.0f : it.meanLookTime[static_cast<size_t>(k - 1)]);
    stopped += look.stoppedCount;
  }
  EXPECT_FLOAT_EQ(float(stopped) / 300, r.record.estimate.power);
  const FinishedRun alone = run(d, 1);  // the same trials, merged in the same order
  EXPECT_EQ(alone.report, r.report);
  EXPECT_EQ(alone.record.iterations.front().meanLookTime, it.meanLookTime);
  EXPECT_NE(r.report.find("Event targets of the analyses =      165     248     330"), std::string::npos);
  EXPECT_NE(r.report.find("Mean calendar times of the analyses"), std::string::npos);
}

TEST(EventTargets, ATrialWhoseEventsRunOutEndsThereWithAFinalAnalysis) {
  // Half the patients are lost by 24: 187.5 events expected for ever in 300 patients, give
  // or take 8, so that many trials never reach 180 or 185. Haybittle: b = 3 at an interim look, the
  // recursion's value at the final one.
  auto d = design(1, "0.7", "0.5", "3");
  d.accrualForm = input::AccrualForm::GivenPatients;
  d.givenPatients = 300;
  d.analysisTiming = input::AnalysisTiming::FixedEvents;
  d.analysisEvents = {0, 100, 180, 185};
  std::ostringstream console, file;
  Report report(console, file);
  sim::UniformGenerator first, generator;
  AccrualSearch(d, report).start(first);
  SimulationPass(patientCapacityFor(d)).run(d, first, report);  // fixes the scale and b
  const input::AnalysisCounts targets = d.analysisEvents;
  sim::SimulatedTrial trial(300);
  TrialWorkspace workspace(300);
  int32_t seed = 99;
  int shortAtTwo = 0;
  for (int number = 1; number <= 100; ++number) {
    sim::generateTrial(d, 300, generator, seed, trial, file);
    TrialOutcome outcome;
    analyseTrial(d, trial, 300, number, workspace, report, outcome, &targets);
    const sim::EventLooks& looks = workspace.eventLooks;
    if (looks.finalLook != 2) continue;
    ++shortAtTwo;
    const TrialOutcome::Look& last = outcome.looks[static_cast<size_t>(outcome.lookCount - 1)];
    EXPECT_EQ(last.analysis, outcome.takenLooks);  // nothing after the final look
    if (outcome.takenLooks < 2) continue;           // stopped at the first look
    EXPECT_EQ(last.analysis, 2);
    EXPECT_EQ(last.eventCount, looks.eventCount);    // all its events
    EXPECT_NE(last.criticalValue, d.haybittleB);     // a final analysis
    EXPECT_LT(last.criticalValue, 2.5f);
    EXPECT_EQ(outcome.stoppingTime[1], looks.time[2]);
  }
  EXPECT_GT(shortAtTwo, 5);
}

TEST(EventTargets, TrialsWhoseEventsRunOutKeepTheTypeOneError) {
  if (testing::kSanitizedBuild) GTEST_SKIP() << "10000 trials";
  // No effect, half the patients lost by 24: about 200 events for ever in 300 patients, so
  // some 12% of the trials end at look 2 and 40% at look 3 short of its target. Their final
  // looks spend what is left of alpha, so the rejections stay at 0.025; 10000 trials give
  // a standard error of 0.0016, and 3 of them allow 0.0047.
  auto d = design(10000, "1", "0.5");
  d.accrualForm = input::AccrualForm::GivenPatients;
  d.givenPatients = 300;
  d.analysisTiming = input::AnalysisTiming::FixedEvents;
  d.analysisEvents = {0, 100, 190, 198};
  const FinishedRun r = run(d);
  const IterationRecord& it = r.record.iterations.front();
  EXPECT_LT(it.statistics.front().looks[3].reachedCount, 9000);  // many trials end early
  EXPECT_NEAR(r.record.estimate.power, 0.025, 0.0047);
}

}  // namespace
}  // namespace survseq::search
