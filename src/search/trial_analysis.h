#pragma once

// One simulated trial from its generated patients to what it contributes to the pass:
// for every analysis, while some statistic is still running, the data as seen at that
// time, the statistics, the critical values from the trial's own information, and the
// reject-and-stop decision of each statistic (or its stop for futility). The design is only read, so trials can be
// analysed on any thread; what a trial contributes is merged in trial order by the pass.

#include <array>
#include <cstdint>
#include <vector>

#include "bounds/combination_boundaries.h"
#include "bounds/trial_boundaries.h"
#include "input/design_parameters.h"
#include "search/combination_analysis.h"
#include "search/report.h"
#include "sim/analysis_data.h"
#include "sim/event_look_times.h"
#include "sim/simulated_trial.h"

namespace survseq::search {

// What one trial contributes to the counts and sums of its pass.
struct TrialOutcome {
  // A statistic still running at an analysis of the trial, in the order the trial met
  // them (analysis by analysis, statistic by statistic).
  struct Look {
    int32_t statistic = 0;
    int32_t analysis = 0;
    float criticalValue = 0.0f;
    int32_t eventCount = 0;  // 0 when nobody had entered
    float information = 0.0f;
    bool rejected = false;
    bool futilityStopped = false;  // below the futility bound of an interim look
  };
  std::array<Look, input::MaxStatistics * input::MaxAnalyses> looks{};
  int32_t lookCount = 0;
  // The time each statistic adds to its stopping-time sum, if any: the analysis time of
  // an interim rejection or futility stop, or the last analysis time for a statistic that
  // got there.
  std::array<bool, input::MaxStatistics + 1> addsStoppingTime{};
  input::StatisticValues stoppingTime{};
  // Event-driven analyses only: the looks the trial took (1..takenLooks) and their
  // calendar times.
  int32_t takenLooks = 0;
  input::AnalysisValues lookTime{};
  // A design with a combination only: its looks (1..combinationLookCount), when it
  // stopped the trial, the largest standard error of a crossing probability behind its
  // critical values, and the CPU time spent finding them.
  std::array<CombinationLook, input::MaxAnalyses + 1> combinationLooks{};
  int32_t combinationLookCount = 0;
  float combinationStoppingTime = 0.0f;
  float combinationLargestError = 0.0f;
  double probabilitySeconds = 0.0;
};

// The working arrays of one thread that analyses trials; sized once, reused for every
// trial it is given.
struct TrialWorkspace {
  explicit TrialWorkspace(int32_t patientCapacity) : analysisData(patientCapacity) {}

  sim::AnalysisData analysisData;
  sim::StatisticResults statistics;
  bounds::TrialBoundaryState boundaries;
  bounds::CombinationState combination;
  // Event-driven analyses only: the trial's looks, and the event times they are found from
  // (grown at the first such trial).
  sim::EventLooks eventLooks;
  std::vector<float> eventTimes;
};

// Analyses trial `trialNumber` (patients 1..subjectCount of `trial`) into `outcome`.
// Its notes ("no life enters before") go to report.file(), the "v0" lines to
// report.console(). With `eventTargets` (event-driven analyses) look k takes place at the
// calendar time of the trial's eventTargets[k]-th event; a trial whose events run out
// before a target takes that look at its last event as its final analysis, which spends
// all the type-I error not yet spent, and takes no later look.
// With a combination of statistics the combination is the trial's test: it stops the
// trial at its rejection or futility stop. Each statistic is still tested on its own
// beside it, at every look, as if it alone were the trial's test, so that its figures are
// those of the same design without the combination (the trial goes on to the next look
// while the combination or any statistic is still running).
void analyseTrial(const input::DesignParameters& design, const sim::SimulatedTrial& trial,
                  int32_t subjectCount, int32_t trialNumber, TrialWorkspace& workspace,
                  Report& report, TrialOutcome& outcome,
                  const input::AnalysisCounts* eventTargets = nullptr);

}  // namespace survseq::search
