#include "search/trial_analysis.h"

namespace survseq::search {

namespace {

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
                  Report& report, TrialOutcome& outcome) {
  const int32_t K = design.analysisCount;
  const int32_t statisticCount = design.statisticCount;
  // Given critical values hold for every trial; otherwise each trial finds its own.
  const bool givenBoundaries = design.boundaryMethod == input::GivenBoundaries;
  sim::AnalysisData& data = workspace.analysisData;
  sim::StatisticResults& statistics = workspace.statistics;
  bounds::TrialBoundaryState& boundaries = workspace.boundaries;
  const auto criticalValueAt = [&](int32_t s, int32_t k) {
    return givenBoundaries ? design.boundaryValues[k] : boundaries.boundaries.criticalValue(s, k);
  };

  outcome.lookCount = 0;
  outcome.addsStoppingTime.fill(false);
  std::array<bool, input::MaxStatistics + 1> stopped{};
  int32_t stoppedCount = 0;

  for (int32_t k = 1; k <= K && stoppedCount < statisticCount; ++k) {
    const float t = design.analysisTimes[k];
    sim::collectAnalysisData(trial, subjectCount, t, data);
    if (data.enteredCount == 0) {
      report.writeNoEntryNote(t, trialNumber);
      if (!givenBoundaries) bounds::recordSkippedAnalysis(k, statisticCount, boundaries);
      for (int32_t s = 1; s <= statisticCount; ++s) {
        if (!stopped[s]) addLook(outcome, s, k, criticalValueAt(s, k), 0, 0.0f, false);
      }
      continue;
    }
    sim::sortAnalysisData(data);
    sim::computeStatistics(data, statisticCount, design.rho, design.tau, statistics);

    if (!givenBoundaries) {
      for (int32_t s = 1; s <= statisticCount; ++s) {
        boundaries.observedInformation(s, k) = statistics.statisticVariance[s];
      }
      bounds::updateTrialBoundaries(k, design, boundaries, report.console());
    }

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
        outcome.stoppingTime[s] = k < K ? t : design.analysisTimes[K];
      }
    }
  }
}

}  // namespace survseq::search
