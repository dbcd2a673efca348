#include "search/trial_analysis.h"

#include <optional>

namespace survseq::search {

namespace {

// The design as a trial whose events run out at look `finalLook` sees it: that look is
// its last analysis and spends the whole type-I error.
input::DesignParameters endingAt(const input::DesignParameters& design, int32_t finalLook) {
  input::DesignParameters shortened = design;
  shortened.analysisCount = finalLook;
  if (design.boundaryMethod == input::ErrorSplit) {
    shortened.errorSplit[finalLook] = design.typeIError;
  }
  return shortened;
}

void addLook(TrialOutcome& outcome, int32_t statistic, int32_t analysis, float criticalValue,
             int32_t eventCount, float information, bool rejected, bool futilityStopped = false) {
  TrialOutcome::Look& look = outcome.looks[static_cast<size_t>(outcome.lookCount++)];
  look.statistic = statistic;
  look.analysis = analysis;
  look.criticalValue = criticalValue;
  look.eventCount = eventCount;
  look.information = information;
  look.rejected = rejected;
  look.futilityStopped = futilityStopped;
}

}  // namespace

void analyseTrial(const input::DesignParameters& design, const sim::SimulatedTrial& trial,
                  int32_t subjectCount, int32_t trialNumber, TrialWorkspace& workspace,
                  Report& report, TrialOutcome& outcome,
                  const input::AnalysisCounts* eventTargets) {
  const input::AnalysisValues* lookTimes = &design.analysisTimes;
  std::optional<input::DesignParameters> shortened;
  if (eventTargets != nullptr) {
    sim::EventLooks& looks = workspace.eventLooks;
    sim::eventLookTimes(trial, subjectCount, *eventTargets, design.analysisCount,
                        design.accrualPeriod, workspace.eventTimes, looks);
    lookTimes = &looks.time;
    outcome.lookTime = looks.time;
    if (looks.finalLook < design.analysisCount) shortened = endingAt(design, looks.finalLook);
  }
  // The design as this trial runs it.
  const input::DesignParameters& run = shortened ? *shortened : design;
  const int32_t K = run.analysisCount;
  const int32_t statisticCount = design.statisticCount;
  // Given critical values hold for every trial; otherwise each trial finds its own.
  const bool givenBoundaries = design.boundaryMethod == input::GivenBoundaries;
  sim::AnalysisData& data = workspace.analysisData;
  sim::StatisticResults& statistics = workspace.statistics;
  bounds::TrialBoundaryState& boundaries = workspace.boundaries;
  const auto criticalValueAt = [&](int32_t s, int32_t k) {
    return givenBoundaries ? run.boundaryValues[k] : boundaries.boundaries.criticalValue(s, k);
  };

  outcome.lookCount = 0;
  outcome.addsStoppingTime.fill(false);
  std::array<bool, input::MaxStatistics + 1> stopped{};
  int32_t stoppedCount = 0;
  bool combinationRunning = input::usesCombination(design);
  outcome.combinationLookCount = 0;
  outcome.combinationLargestError = 0.0f;
  outcome.probabilitySeconds = 0.0;
  workspace.combination.largestError = 0.0f;
  const auto analyseCombination = [&](int32_t k, float t, const sim::AnalysisData* seen) {
    if (!combinationRunning) return;
    const CombinationLook look = analyseCombinationLook(
        run, k, seen, statistics, workspace.combination, outcome.probabilitySeconds);
    outcome.combinationLooks[static_cast<size_t>(++outcome.combinationLookCount)] = look;
    if (look.rejected || look.futilityStopped || k == K) {
      combinationRunning = false;
      outcome.combinationStoppingTime = t;
    }
    outcome.combinationLargestError = workspace.combination.largestError;
  };

  for (int32_t k = 1; k <= K && (stoppedCount < statisticCount || combinationRunning); ++k) {
    const float t = (*lookTimes)[k];
    outcome.takenLooks = k;
    sim::collectAnalysisData(trial, subjectCount, t, data);
    if (data.enteredCount == 0) {
      report.writeNoEntryNote(t, trialNumber);
      if (!givenBoundaries) bounds::recordSkippedAnalysis(k, statisticCount, boundaries);
      for (int32_t s = 1; s <= statisticCount; ++s) {
        if (!stopped[s]) addLook(outcome, s, k, criticalValueAt(s, k), 0, 0.0f, false);
      }
      analyseCombination(k, t, nullptr);
      continue;
    }
    sim::sortAnalysisData(data);
    sim::computeStatistics(data, statisticCount, design.rho, design.tau, statistics);

    if (!givenBoundaries) {
      for (int32_t s = 1; s <= statisticCount; ++s) {
        boundaries.observedInformation(s, k) = statistics.statisticVariance[s];
      }
      bounds::updateTrialBoundaries(k, run, boundaries, report.console());
    }
    analyseCombination(k, t, &data);

    for (int32_t s = 1; s <= statisticCount; ++s) {
      if (stopped[s]) continue;
      const float z = statistics.statisticValue[s];
      const float criticalValue = criticalValueAt(s, k);
      // A statistic that is not a number fails both comparisons and never rejects.
      const bool rejects = z >= criticalValue || (design.sides == 2 && z <= -criticalValue);
      // At an interim look a statistic below its futility bound stops without rejecting.
      const bool futile = design.futility && k < K && !rejects && z < design.futilityZ[k];
      addLook(outcome, s, k, criticalValue, statistics.eventCount,
              statistics.statisticVariance[s], rejects, futile);
      if (rejects || futile) {
        stopped[s] = true;
        ++stoppedCount;
      }
      // A statistic stops at an interim rejection or futility stop, or at the last analysis.
      if (k == K || rejects || futile) {
        outcome.addsStoppingTime[s] = true;
        outcome.stoppingTime[s] = t;
      }
    }
  }
}

}  // namespace survseq::search
