#include "search/simulation_pass.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <string>

#include "bounds/boundary_computation.h"
#include "bounds/boundary_parameter.h"
#include "bounds/planned_combination.h"
#include "bounds/planned_information.h"
#include "bounds/trial_boundaries.h"
#include "input/accrual_profile.h"
#include "report/run_error.h"
#include "search/accrual_search.h"
#include "search/trial_analysis.h"
#include "sim/simulated_trial.h"
#include "sim/trial_draws.h"

namespace survseq::search {

namespace {

using input::DesignParameters;

// The trials of one pass as the pipeline runs them: uniforms drawn from the one stream,
// turned into patients and analysed against the read-only design on any thread, and added
// to the pass's counts in trial order. On one thread, or for a design whose switch checks
// cannot be decided on the draws, the patients are made whole on the stream's thread by
// the straightforward generation, which gives the same patients: with one thread there
// is nobody to hand the rest to.
class PassTrials final : public TrialWork {
 public:
  PassTrials(const DesignParameters& design, const DesignParameters& drawnFrom,
             int32_t subjectCount, sim::UniformGenerator& generator, PassResults& results,
             SearchObserver* observer, const input::AnalysisCounts* eventTargets,
             int32_t threadCount)
      : design_(design),
        drawnFrom_(drawnFrom),
        generation_(drawnFrom),
        split_(threadCount > 1 && generation_.usesSplit()),
        subjectCount_(subjectCount),
        generator_(generator),
        seed_(design.seed),
        results_(results),
        observer_(observer),
        eventTargets_(eventTargets) {}

  int32_t seed() const { return seed_; }

  void generate(TrialSlot& slot) override {
    if (split_) {
      generation_.drawUniforms(subjectCount_, generator_, seed_, slot.draws);
    } else {
      sim::generateTrial(drawnFrom_, subjectCount_, generator_, seed_, slot.trial,
                         slot.report.file());
    }
  }

  void analyse(TrialSlot& slot, TrialWorkspace& workspace) override {
    if (split_) {
      generation_.patientsFromUniforms(subjectCount_, slot.draws, slot.trial, slot.report.file());
    }
    analyseTrial(design_, slot.trial, subjectCount_, slot.trialNumber, workspace, slot.report,
                 slot.outcome, eventTargets_);
  }

  // Every count and sum gets at most one term from a trial, so adding the trials in
  // order adds every sum in the order of the trials.
  void merge(const TrialSlot& slot) override {
    const TrialOutcome& outcome = slot.outcome;
    for (int32_t i = 0; i < outcome.lookCount; ++i) {
      const TrialOutcome::Look& look = outcome.looks[static_cast<size_t>(i)];
      auto& sums =
          results_.lookSums[static_cast<size_t>(look.statistic)][static_cast<size_t>(look.analysis)];
      ++sums.reachedCount;
      sums.criticalValueSum += look.criticalValue;
      sums.eventCountSum += look.eventCount;
      sums.informationSum += look.information;
      if (look.rejected) {
        ++results_.rejectionCount[look.statistic];
        ++sums.stoppedCount;
      }
      if (look.futilityStopped) ++sums.futilityStoppedCount;
    }
    for (int32_t s = 1; s <= design_.statisticCount; ++s) {
      if (outcome.addsStoppingTime[s]) results_.stoppingTimeSum[s] += outcome.stoppingTime[s];
    }
    if (eventTargets_ != nullptr) {
      for (int32_t k = 1; k <= outcome.takenLooks; ++k) {
        ++results_.lookTakenCount[static_cast<size_t>(k)];
        results_.lookTimeSum[static_cast<size_t>(k)] += outcome.lookTime[k];
      }
    }
    if (input::usesCombination(design_)) mergeCombination(outcome, results_.combination);
    if (observer_ != nullptr) observer_->trialsFinished(slot.trialNumber);
  }

 private:
  const DesignParameters& design_;
  const DesignParameters& drawnFrom_;
  sim::SplitGeneration generation_;
  bool split_;
  int32_t subjectCount_;
  sim::UniformGenerator& generator_;
  int32_t seed_;
  PassResults& results_;
  SearchObserver* observer_;
  const input::AnalysisCounts* eventTargets_;  // null for calendar analyses
};

}  // namespace

int32_t patientCapacityFor(const DesignParameters& design) {
  const float largestRate = givenSize(design) ? design.accrualRate : design.accrualRateUpper;
  return input::patientsAtRate(design, largestRate) + 1;
}

PowerEstimate estimatePower(int32_t rejections, int32_t simulationCount) {
  const float trials = static_cast<float>(simulationCount);
  const float power = static_cast<float>(rejections) / trials;
  const float standardError =
      static_cast<float>(std::sqrt((1.0 - double(power)) * double(power) / double(trials)));
  return {power, standardError};
}

SimulationPass::SimulationPass(int32_t patientCapacity, int32_t threadCount)
    : patientCapacity_(patientCapacity), pipeline_(patientCapacity, threadCount) {}

const IterationRecord& SimulationPass::run(DesignParameters& design,
                                           sim::UniformGenerator& generator, Report& report,
                                           SearchObserver* observer,
                                           const DesignParameters* drawnFrom) {
  record_ = IterationRecord{};
  record_.accrualRate = design.accrualRate;
  const bool eventDriven = design.analysisTiming != input::AnalysisTiming::Calendar;
  if (design.analysisTiming == input::AnalysisTiming::FixedEvents &&
      (design.accrualForm == input::AccrualForm::Bracket ||
       design.accrualForm == input::AccrualForm::AnalyticStart)) {
    throw RunError("fixed event targets need a given accrual rate or number of patients: with "
                   "them the power hardly moves with the rate, so there is nothing to search");
  }
  const bounds::LookSchedule planned = bounds::lookSchedule(design, design.accrualRate);
  record_.eventTargets = planned.eventTarget;
  record_.plannedLookTime = planned.time;
  record_.plannedInformation = bounds::plannedInformation(design, design.accrualRate, planned);
  prepareStatistics(design, report);
  if (design.boundaryMethod == input::LanDeMets && input::usesHaybittleTypeFunction(design)) {
    checkUseFunctionB(design, report);
  }
  planBoundaries(design, planned);

  const int32_t subjectCount = input::patientsAtRate(design, design.accrualRate);
  if (subjectCount > patientCapacity_) {
    throw RunError("the accrual rate " + std::to_string(design.accrualRate) + " needs " +
                   std::to_string(subjectCount) + " patients per trial, more than the " +
                   std::to_string(patientCapacity_) + " the run was sized for");
  }
  report.writeSubjectCount(subjectCount);
  record_.patientCount = subjectCount;

  results_ = PassResults{};
  // From here until the trials are merged the design is only read: the generator state
  // moves in a copy of the seed.
  PassTrials trials(design, drawnFrom != nullptr ? *drawnFrom : design, subjectCount, generator,
                    results_, observer, eventDriven ? &record_.eventTargets : nullptr,
                    pipeline_.threadCount());
  pipeline_.run(design.simulationCount, trials, report);
  design.seed = trials.seed();
  writeResults(design, report);
  return record_;
}

const IterationRecord& SearchPasses::run(DesignParameters& design,
                                         sim::UniformGenerator& generator, Report& report,
                                         SearchObserver* observer,
                                         const DesignParameters* drawnFrom) {
  const int32_t needed =
      std::max(patientCapacityFor(design), input::patientsAtRate(design, design.accrualRate) + 1);
  if (!pass_ || pass_->patientCapacity() < needed) pass_.emplace(needed, threadCount_);
  return pass_->run(design, generator, report, observer, drawnFrom);
}

DesignParameters drawnUnderNull(const DesignParameters& design) {
  DesignParameters drawn = design;
  drawn.alternativeKind = float(input::SurvivalCurveGiven);
  drawn.alternativeCurve = design.baselineCurve;
  return drawn;
}

void SimulationPass::prepareStatistics(DesignParameters& design, Report& report) {
  const int32_t K = design.analysisCount;
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    const input::AnalysisValues& information = record_.plannedInformation[static_cast<size_t>(s)];

    Report::HaybittleValues haybittle{};
    const bool haybittleMethod = design.boundaryMethod == input::Haybittle;
    if (haybittleMethod) {
      fixHaybittleBoundary(design, information, report);
      haybittle = {design.haybittleB, design.boundaryValues[K]};
    }
    report.writePreSimulation(s, haybittleMethod ? &haybittle : nullptr,
                              design.plannedInformation,
                              std::span(information).subspan(1, static_cast<size_t>(K)));

    // The information scale of the trials follows the rate of this pass.
    design.informationFloor[s] = bounds::kInformationFloorShare * information[1];
    design.informationCeiling[s] = information[K];
  }
}

// The Haybittle design rejects at an interim analysis when |Z| passes b; the last
// critical value spends what is left, computed on the planned information. When the
// interim values already spend too much, b is raised until a last value exists.
void SimulationPass::fixHaybittleBoundary(DesignParameters& design,
                                          const input::AnalysisValues& plannedInformation,
                                          Report& report) {
  while (!bounds::haybittleBoundary(design, plannedInformation, design.haybittleB, design.errorSplit,
                                    design.boundaryValues)) {
    report.writeHaybittleBIncrease();
    design.haybittleB = bounds::raisedB(design.haybittleB);
  }
}

// The use function with parameter b must not spend more than the type-I error by the
// planned maximum information.
void SimulationPass::checkUseFunctionB(DesignParameters& design, Report& report) {
  if (design.haybittleB < bounds::kSmallestUsableB) {
    design.haybittleB = bounds::kDefaultB;
    report.writeUseFunctionBReset();
  }
  float largestLogRatio = 0.0f;
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    const float logRatio = static_cast<float>(
        std::log(double(design.informationCeiling[s]) / double(design.informationFloor[s])));
    if (logRatio > largestLogRatio) largestLogRatio = logRatio;
  }
  while (bounds::useFunctionBError(design.haybittleB, largestLogRatio) > design.typeIError) {
    report.writeUseFunctionBIncrease();
    design.haybittleB = bounds::raisedB(design.haybittleB);
  }
}

// The boundaries each statistic would have at its planned information, with the b of
// this pass.
void SimulationPass::planBoundaries(const DesignParameters& design,
                                    const bounds::LookSchedule& looks) {
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    plannedLooks_[static_cast<size_t>(s)] = bounds::plannedBoundaries(
        design, record_.plannedInformation[static_cast<size_t>(s)], design.haybittleB);
  }
  if (input::usesCombination(design)) {
    plannedCombination_ = bounds::plannedCombinationBoundaries(
        design, design.accrualRate, looks, record_.plannedInformation, design.haybittleB);
  }
}

void SimulationPass::writeResults(const DesignParameters& design, Report& report) {
  std::array<StatisticSummary, input::MaxStatistics> summaries{};
  const auto count = static_cast<size_t>(design.statisticCount);
  for (size_t i = 0; i < count; ++i) {
    const auto s = static_cast<int32_t>(i + 1);
    summaries[i].rho = design.rho[s];
    summaries[i].tau = design.tau[s];
    summaries[i].estimate = estimatePower(results_.rejectionCount[s], design.simulationCount);
    summaries[i].averageStoppingTime = static_cast<float>(
        double(results_.stoppingTimeSum[s]) / double(static_cast<float>(design.simulationCount)));

    StatisticRecord statistic{summaries[i], {}, plannedLooks_[i + 1]};
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      statistic.looks[static_cast<size_t>(k)] =
          lookFigures(results_.lookSums[i + 1][static_cast<size_t>(k)]);
    }
    record_.statistics.push_back(statistic);
  }
  report.writePassResults(design, std::span(summaries).first(count));
  if (design.analysisTiming != input::AnalysisTiming::Calendar) {
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      const auto i = static_cast<size_t>(k);
      record_.lookTakenCount[i] = results_.lookTakenCount[i];
      if (results_.lookTakenCount[i] > 0) {
        record_.meanLookTime[i] =
            static_cast<float>(results_.lookTimeSum[i] / results_.lookTakenCount[i]);
      }
    }
    report.writeEventLooks(design.analysisCount, record_.eventTargets, record_.meanLookTime);
  }
  if (input::usesKeyedOnlyFeatures(design)) {
    for (size_t i = 0; i < count; ++i) {
      report.writePlannedLooks(design, static_cast<int32_t>(i + 1), record_.statistics[i]);
    }
  }
  if (input::usesCombination(design)) {
    record_.combination = combinationRecord(design, results_.combination, plannedCombination_);
    report.writeCombination(design, *record_.combination);
  }
}

}  // namespace survseq::search
