#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "bounds/planned_boundaries.h"
#include "input/design_parameters.h"
#include "search/combination_counts.h"
#include "search/report.h"
#include "search/run_record.h"
#include "search/trial_pipeline.h"
#include "sim/uniform_generator.h"

namespace survseq::search {

// Rejections and summed stopping times of each statistic over the trials of a pass, and
// the sums behind the per-analysis figures of the iteration record.
struct PassResults {
  std::array<int32_t, input::MaxStatistics + 1> rejectionCount{};  // [1..statisticCount]
  input::StatisticValues stoppingTimeSum{};

  // lookSums[s][k]
  std::array<std::array<LookSums, input::MaxAnalyses + 1>, input::MaxStatistics + 1> lookSums{};
  // Event-driven analyses only: the trials that took look k, and their calendar times summed.
  std::array<int32_t, input::MaxAnalyses + 1> lookTakenCount{};
  std::array<double, input::MaxAnalyses + 1> lookTimeSum{};
  // A design with a combination of statistics only.
  CombinationSums combination;
};

// The patients a trial of the run can need at most: the search never visits a rate
// above the upper bound it was given, and a given rate is the only one visited.
int32_t patientCapacityFor(const input::DesignParameters& design);

// Power and its binomial standard error from a rejection count.
PowerEstimate estimatePower(int32_t rejections, int32_t simulationCount);

// One iteration of the search: simulates simulationCount trials at the present
// accrual rate and runs every statistic through the group-sequential analyses. The
// trial arrays and the threads are made once, here, and reused by every pass; the
// results do not depend on the number of threads.
class SimulationPass {
 public:
  explicit SimulationPass(int32_t patientCapacity, int32_t threadCount = 1);

  // Writes the pre-simulation, subject-count and result blocks of the iteration and
  // returns its record (the iteration number is the search's to fill in). May raise
  // design.haybittleB and sets the information floor and ceiling of every statistic from
  // the planned information at this pass's rate; the design is only read while the trials
  // run. `observer`, when given, hears of every finished trial, in order, on the calling
  // thread.
  // `drawnFrom`, when given, is the design the trials are drawn from (the same but for
  // the treatment arm's law); everything planned comes from `design`.
  const IterationRecord& run(input::DesignParameters& design, sim::UniformGenerator& generator,
                             Report& report, SearchObserver* observer = nullptr,
                             const input::DesignParameters* drawnFrom = nullptr);

  int32_t patientCapacity() const { return patientCapacity_; }

  // The counts of the last pass.
  const PassResults& results() const { return results_; }

  // From now on the passes add their threads' CPU time to `account` (null: no longer).
  void accountCpu(ThreadCpu* account) { pipeline_.accountCpu(account); }

 private:
  void prepareStatistics(input::DesignParameters& design, Report& report);
  void fixHaybittleBoundary(input::DesignParameters& design,
                            const input::AnalysisValues& plannedInformation, Report& report);
  void checkUseFunctionB(input::DesignParameters& design, Report& report);
  void planBoundaries(const input::DesignParameters& design, const bounds::LookSchedule& looks);
  void writeResults(const input::DesignParameters& design, Report& report);

  int32_t patientCapacity_;
  TrialPipeline pipeline_;
  PassResults results_;
  IterationRecord record_;
  std::array<bounds::PlannedLooks, input::MaxStatistics + 1> plannedLooks_{};
  bounds::PlannedLooks plannedCombination_{};
};

// The passes of one search on the same threads, the trial arrays sized for the first rate
// and grown when a later rate needs more patients (a search steered from the analytic
// rate has no upper end to size them for).
class SearchPasses {
 public:
  explicit SearchPasses(int32_t threadCount) : threadCount_(threadCount) {}
  const IterationRecord& run(input::DesignParameters& design, sim::UniformGenerator& generator,
                             Report& report, SearchObserver* observer = nullptr,
                             const input::DesignParameters* drawnFrom = nullptr);

 private:
  int32_t threadCount_;
  std::optional<SimulationPass> pass_;
};

// The design as the trials draw it under the null hypothesis: the treatment arm follows
// the control arm's curve (its own censoring, drop-out and allocation kept).
input::DesignParameters drawnUnderNull(const input::DesignParameters& design);

}  // namespace survseq::search
