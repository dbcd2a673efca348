#include "bounds/planned_combination.h"

#include "bounds/boundary_computation.h"
#include "bounds/normal_distribution.h"
#include "bounds/trial_boundaries.h"
#include "input/accrual_profile.h"

namespace survseq::bounds {

CombinationCovariances expectedCombinationCovariances(const input::DesignParameters& design,
                                                      const law::ExpectedMoments& moments,
                                                      const input::AnalysisValues& times,
                                                      double patients) {
  CombinationCovariances covariances{};
  const int32_t J = design.combinationCount;
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    sim::ScoreCovariance& covariance = covariances[static_cast<size_t>(k)];
    covariance.count = J;
    for (int32_t a = 0; a < J; ++a) {
      for (int32_t b = 0; b <= a; ++b) {
        const int32_t s = design.combinationStatistics[a];
        const int32_t t = design.combinationStatistics[b];
        const law::PatientMoments m = moments.at(double(times[k]), (design.rho[s] + design.rho[t]) / 2.0f,
                                                 (design.tau[s] + design.tau[t]) / 2.0f);
        covariance(a, b) = covariance(b, a) = static_cast<float>(patients * m.information);
      }
    }
  }
  return covariances;
}

input::AnalysisValues combinationCriticalValues(const input::DesignParameters& design,
                                                const CombinationCovariances& covariances,
                                                const input::AnalysisValues& firstInformation,
                                                const input::AnalysisValues& firstPlanned,
                                                float b) {
  const int32_t K = design.analysisCount;
  input::AnalysisValues critical{};
  // The design as the pass sets it for the trials: the first statistic's planned scale.
  input::DesignParameters trial = design;
  const int32_t first = design.combinationStatistics[0];
  trial.haybittleB = b;
  trial.informationFloor[first] = kInformationFloorShare * firstPlanned[1];
  trial.informationCeiling[first] = firstPlanned[K];
  CombinationState state;
  for (int32_t k = 1; k <= K; ++k) {
    state.covariance[k] = covariances[static_cast<size_t>(k)];
    if (design.boundaryMethod == input::GivenBoundaries) {
      critical[k] = state.criticalValue[k] = design.boundaryValues[k];
    } else if (design.boundaryMethod == input::Haybittle && k < K) {
      critical[k] = state.criticalValue[k] = b;
    } else {
      const float error = combinationCumulativeError(trial, k, firstInformation[k]);
      critical[k] = combinationCriticalValue(k, error, design.sides, state);
    }
  }
  return critical;
}

PlannedLooks plannedCombinationBoundaries(const input::DesignParameters& design, float rate,
                                          const LookSchedule& looks,
                                          const PlannedInformationTable& planned, float b) {
  const bool underNull = design.plannedInformation != input::PlannedInformation::Alternative;
  const law::ExpectedMoments moments(
      design, underNull ? law::Hypothesis::Null : law::Hypothesis::Alternative);
  const bool nullTimes = design.plannedInformation == input::PlannedInformation::Null;
  const CombinationCovariances covariances = expectedCombinationCovariances(
      design, moments, nullTimes ? looks.nullTime : looks.time, input::patientsAtRate(design, rate));
  const input::AnalysisValues& first = planned[static_cast<size_t>(design.combinationStatistics[0])];
  const input::AnalysisValues critical = combinationCriticalValues(design, covariances, first, first, b);
  const int32_t K = design.analysisCount;
  PlannedLooks table{};
  for (int32_t k = 1; k <= K; ++k) {
    PlannedLook& look = table[static_cast<size_t>(k)];
    look.informationFraction = static_cast<float>(double(first[k]) / double(first[K]));
    look.efficacyZ = critical[k];
    look.nominalP = normalTailArea(look.efficacyZ, true);
    look.hasFutilityBound = design.futility && k < K;
    if (look.hasFutilityBound) look.futilityZ = design.futilityZ[k];
  }
  return table;
}

}  // namespace survseq::bounds
