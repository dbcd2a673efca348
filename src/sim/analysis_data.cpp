#include "sim/analysis_data.h"

#include <cmath>

#include "report/run_error.h"
#include "sim/probability_powers.h"
#include "sim/weight_powers.h"

namespace survseq::sim {

void collectAnalysisData(const SimulatedTrial& trial, int32_t subjectCount, float analysisTime,
                         AnalysisData& data) {
  if (subjectCount > trial.capacity() ||
      subjectCount > static_cast<int32_t>(data.observedTime.size())) {
    throw RunError("a simulated trial has more patients than the analysis arrays can hold");
  }
  int32_t m = 0;
  for (int32_t j = 0; j < subjectCount; ++j) {
    // Follow-up ends at the analysis or at loss to follow-up, whichever comes first.
    float followUp = analysisTime - trial.entryTime[j];
    if (followUp > trial.censoringTime[j]) {
      followUp = trial.censoringTime[j];
    }
    // Not yet entered (entry at or after the analysis), or lost at time 0: not seen.
    if (!(followUp > 0.0f)) {
      continue;
    }
    data.observedGroup[m] = trial.group[j];
    if (followUp < trial.eventTime[j]) {
      data.observedTime[m] = followUp;
      data.eventIndicator[m] = 0;
    } else {
      // An event exactly at the end of follow-up is seen.
      data.observedTime[m] = trial.eventTime[j];
      data.eventIndicator[m] = 1;
    }
    ++m;
  }
  data.enteredCount = m;
}

void computeStatistics(const AnalysisData& data, int32_t statisticCount,
                       const input::StatisticValues& rho, const input::StatisticValues& tau,
                       StatisticResults& results) {
  const int32_t m = data.enteredCount;
  float atRisk = static_cast<float>(m);
  float treatmentAtRisk = 0.0f;
  for (int32_t j = 0; j < m; ++j) {
    treatmentAtRisk += data.observedGroup[j];
  }
  float survival = 1.0f;
  results.eventCount = 0;
  for (int32_t i = 1; i <= statisticCount; ++i) {
    results.statisticValue[i] = 0.0f;
    results.statisticVariance[i] = 0.0f;
  }
  WeightPowers powers(statisticCount, rho, tau);

  // Each record is a risk set of its own, in sorted order: tied records after an
  // event are still at risk for it, tied records before it are not.
  for (int32_t j = 0; j < m; ++j) {
    if (data.eventIndicator[j] == 1) {
      const double n = atRisk;
      const double nT = treatmentAtRisk;
      // Pooled survival estimate, updated before use with n/(n+1) so that 1 - S is
      // positive from the first event on.
      survival = static_cast<float>(n * double(survival) / (n + 1.0));
      ++results.eventCount;
      // Observed minus expected treatment events, and its hypergeometric variance.
      const float d = static_cast<float>(double(data.observedGroup[j]) - nT / n);
      const float v = static_cast<float>((n - nT) * nT / n / n);
      const bool shortcuts = shortcutApplies(survival);
      if (shortcuts) powers.fill(survival);
      for (int32_t i = 1; i <= statisticCount; ++i) {
        const double r = rho[i];
        const double t = tau[i];
        const double weight = shortcuts ? powers.weight(i)
                                        : powerOfProbability(survival, r) *
                                              powerOfComplement(survival, t);
        const double varianceWeight =
            shortcuts ? powers.varianceWeight(i)
                      : powerOfProbability(survival, 2.0 * r) *
                            powerOfComplement(survival, 2.0 * t);
        results.statisticValue[i] =
            static_cast<float>(double(results.statisticValue[i]) + weight * double(d));
        results.statisticVariance[i] =
            static_cast<float>(double(results.statisticVariance[i]) + varianceWeight * double(v));
      }
    }
    atRisk -= 1.0f;
    treatmentAtRisk -= data.observedGroup[j];
  }
  if (results.eventCount == 0) {
    return;
  }
  // Standardise; the sign makes fewer treatment events than expected positive. With
  // events but no variance (only one arm ever at risk) this is 0/0 = NaN, which lies
  // beyond no boundary.
  for (int32_t i = 1; i <= statisticCount; ++i) {
    results.statisticValue[i] = static_cast<float>(-double(results.statisticValue[i]) /
                                                   std::sqrt(double(results.statisticVariance[i])));
  }
}

}  // namespace survseq::sim
