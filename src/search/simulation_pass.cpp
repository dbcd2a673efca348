#include "search/simulation_pass.h"

#include <cmath>
#include <span>
#include <string>

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"
#include "bounds/null_variance.h"
#include "bounds/trial_boundaries.h"
#include "report/run_error.h"

namespace survseq::search {

namespace {

using input::DesignParameters;

// The floor is this share of the null variance at the first analysis.
constexpr float firstLookVarianceShare = 0.5f;

constexpr float kBStep = 0.1f;
constexpr float kSmallestUsableB = 0.001f;
constexpr float kDefaultB = 3.0f;
// With a type-I error too small for any b the loops that raise b would never end.
constexpr float kLargestB = 50.0f;
constexpr int32_t kHaybittleBLine = 54;

void raiseB(DesignParameters& design) {
  design.haybittleB = design.haybittleB + kBStep;
  if (design.haybittleB > kLargestB) {
    throw RunError("b was raised past " + std::to_string(static_cast<int>(kLargestB)) +
                       " without meeting the type-I error of line 40; the design cannot spend so "
                       "little error",
                   kHaybittleBLine);
  }
}

// Spent error of the use function with parameter b at the largest information
// ratio e^m: 4 phi(b)/b + (b - 1/b) phi(b) m.
float useFunctionBError(float b, float m) {
  const double phi = bounds::normalDensity(b);
  return static_cast<float>(4.0 * phi / b + (double(b) - 1.0 / double(b)) * phi * m);
}

}  // namespace

int32_t patientCapacityFor(const DesignParameters& design) {
  return static_cast<int32_t>(std::trunc(double(design.accrualRateUpper) * design.accrualPeriod)) + 1;
}

PowerEstimate estimatePower(int32_t rejections, int32_t simulationCount) {
  const float trials = static_cast<float>(simulationCount);
  const float power = static_cast<float>(rejections) / trials;
  const float standardError =
      static_cast<float>(std::sqrt((1.0 - double(power)) * double(power) / double(trials)));
  return {power, standardError};
}

SimulationPass::SimulationPass(int32_t patientCapacity)
    : trial_(patientCapacity), analysisData_(patientCapacity) {}

const IterationRecord& SimulationPass::run(DesignParameters& design,
                                           sim::UniformGenerator& generator, Report& report,
                                           SearchObserver* observer) {
  record_ = IterationRecord{};
  record_.accrualRate = design.accrualRate;
  prepareStatistics(design, report);
  if (design.boundaryMethod == input::LanDeMets && input::usesHaybittleTypeFunction(design)) {
    checkUseFunctionB(design, report);
  }
  if (design.boundaryMethod == input::GivenBoundaries) {
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      for (int32_t s = 1; s <= design.statisticCount; ++s) {
        boundaries_.criticalValue(s, k) = design.boundaryValues[k];
      }
    }
  }

  const int32_t subjectCount =
      static_cast<int32_t>(std::trunc(double(design.accrualRate) * design.accrualPeriod));
  if (subjectCount > trial_.capacity()) {
    throw RunError("the accrual rate " + std::to_string(design.accrualRate) + " needs " +
                   std::to_string(subjectCount) + " patients per trial, more than the " +
                   std::to_string(trial_.capacity()) + " the run was sized for");
  }
  report.writeSubjectCount(subjectCount);
  record_.patientCount = subjectCount;

  results_ = PassResults{};
  boundaryFailed_ = 0;
  for (int32_t trialNumber = 1; trialNumber <= design.simulationCount; ++trialNumber) {
    simulateTrial(design, trialNumber, subjectCount, generator, report);
    if (observer != nullptr) observer->trialsFinished(trialNumber);
  }
  writeResults(design, report);
  return record_;
}

void SimulationPass::prepareStatistics(DesignParameters& design, Report& report) {
  const int32_t K = design.analysisCount;
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    input::AnalysisValues& variances = record_.nullVariances[static_cast<size_t>(s)];
    bounds::nullVariances(design, design.accrualRate, design.rho[s], design.tau[s], variances);

    Report::HaybittleValues haybittle{};
    const bool haybittleMethod = design.boundaryMethod == input::Haybittle;
    if (haybittleMethod) {
      fixHaybittleBoundary(design, variances, report);
      haybittle = {design.haybittleB, design.boundaryValues[K]};
    }
    report.writePreSimulation(s, haybittleMethod ? &haybittle : nullptr,
                              std::span(variances).subspan(1, static_cast<size_t>(K)));

    // The information scale of the trials follows the rate of this pass.
    design.informationFloor[s] = firstLookVarianceShare * variances[1];
    design.informationCeiling[s] = variances[K];
  }
}

// The Haybittle design rejects at an interim analysis when |Z| passes b; the last
// critical value spends what is left, computed on the null variances. When the
// interim values already spend too much, b is raised until a last value exists.
void SimulationPass::fixHaybittleBoundary(DesignParameters& design,
                                          const input::AnalysisValues& nullVariances,
                                          Report& report) {
  const int32_t K = design.analysisCount;
  design.errorSplit[K] = static_cast<float>(double(design.typeIError) / 3.0);
  for (;;) {
    for (int32_t k = 1; k <= K; ++k) design.boundaryValues[k] = design.haybittleB;
    boundaryFailed_ = 0;
    bounds::computeBoundary(K, nullVariances, design.errorSplit, design.sides, boundaryFailed_,
                            design.boundaryValues);
    if (boundaryFailed_ != 1) return;
    report.writeHaybittleBIncrease();
    raiseB(design);
  }
}

// The use function with parameter b must not spend more than the type-I error by the
// planned maximum information.
void SimulationPass::checkUseFunctionB(DesignParameters& design, Report& report) {
  if (design.haybittleB < kSmallestUsableB) {
    design.haybittleB = kDefaultB;
    report.writeUseFunctionBReset();
  }
  float largestLogRatio = 0.0f;
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    const float logRatio = static_cast<float>(
        std::log(double(design.informationCeiling[s]) / double(design.informationFloor[s])));
    if (logRatio > largestLogRatio) largestLogRatio = logRatio;
  }
  while (useFunctionBError(design.haybittleB, largestLogRatio) > design.typeIError) {
    report.writeUseFunctionBIncrease();
    raiseB(design);
  }
}

void SimulationPass::simulateTrial(DesignParameters& design, int32_t trialNumber,
                                   int32_t subjectCount, sim::UniformGenerator& generator,
                                   Report& report) {
  const int32_t K = design.analysisCount;
  sim::generateTrial(design, subjectCount, generator, design.seed, trial_, report.file());
  stopped_.fill(false);
  int32_t stoppedCount = 0;

  for (int32_t k = 1; k <= K && stoppedCount < design.statisticCount; ++k) {
    const float t = design.analysisTimes[k];
    sim::collectAnalysisData(trial_, subjectCount, t, analysisData_);
    if (analysisData_.enteredCount == 0) {
      report.writeNoEntryNote(t, trialNumber);
      if (design.boundaryMethod != input::GivenBoundaries) {  // given values hold for the pass
        bounds::recordSkippedAnalysis(k, design.statisticCount, boundaries_, observedInformation_);
      }
      for (int32_t s = 1; s <= design.statisticCount; ++s) {
        if (!stopped_[s]) recordLook(s, k, boundaries_.criticalValue(s, k), 0, 0.0f);
      }
      continue;
    }
    sim::sortAnalysisData(analysisData_);
    sim::computeStatistics(analysisData_, design.statisticCount, design.rho, design.tau, statistics_);

    if (design.boundaryMethod != input::GivenBoundaries) {
      for (int32_t s = 1; s <= design.statisticCount; ++s) {
        observedInformation_(s, k) = statistics_.statisticVariance[s];
      }
      bounds::updateTrialBoundaries(k, design, boundaries_, observedInformation_, boundaryFailed_,
                                    report.console());
    }

    for (int32_t s = 1; s <= design.statisticCount; ++s) {
      if (stopped_[s]) continue;
      const float z = statistics_.statisticValue[s];
      const float criticalValue = boundaries_.criticalValue(s, k);
      recordLook(s, k, criticalValue, statistics_.eventCount, statistics_.statisticVariance[s]);
      // A statistic that is not a number fails both comparisons and never rejects.
      const bool rejects = z >= criticalValue || (design.sides == 2 && z <= -criticalValue);
      if (rejects) {
        ++results_.rejectionCount[s];
        ++results_.lookSums[static_cast<size_t>(s)][static_cast<size_t>(k)].stoppedCount;
        stopped_[s] = true;
        ++stoppedCount;
      }
      if (k < K) {
        if (rejects) results_.stoppingTimeSum[s] += t;
      } else {
        results_.stoppingTimeSum[s] += design.analysisTimes[K];
      }
    }
  }
}

void SimulationPass::recordLook(int32_t statistic, int32_t analysis, float criticalValue,
                                int32_t eventCount, float information) {
  auto& sums = results_.lookSums[static_cast<size_t>(statistic)][static_cast<size_t>(analysis)];
  ++sums.reachedCount;
  sums.criticalValueSum += criticalValue;
  sums.eventCountSum += eventCount;
  sums.informationSum += information;
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

    StatisticRecord statistic{summaries[i], {}};
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      const PassResults::LookSums& sums = results_.lookSums[i + 1][static_cast<size_t>(k)];
      LookFigures& look = statistic.looks[static_cast<size_t>(k)];
      look.stoppedCount = sums.stoppedCount;
      look.reachedCount = sums.reachedCount;
      if (sums.reachedCount > 0) {
        look.meanCriticalValue = static_cast<float>(sums.criticalValueSum / sums.reachedCount);
        look.meanEventCount = static_cast<float>(sums.eventCountSum / sums.reachedCount);
        look.meanInformation = static_cast<float>(sums.informationSum / sums.reachedCount);
      }
    }
    record_.statistics.push_back(statistic);
  }
  report.writePassResults(design, std::span(summaries).first(count));
}

}  // namespace survseq::search
