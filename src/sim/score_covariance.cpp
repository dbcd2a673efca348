#include "sim/score_covariance.h"

#include "sim/probability_powers.h"

namespace survseq::sim {

void computeScoreCovariance(const AnalysisData& data,
                            const std::array<int32_t, input::MaxStatistics>& statistics,
                            int32_t count, const input::StatisticValues& rho,
                            const input::StatisticValues& tau, ScoreCovariance& covariance) {
  std::array<double, input::MaxStatistics * input::MaxStatistics> sum{};
  std::array<double, input::MaxStatistics> weight{};
  const int32_t m = data.enteredCount;
  float atRisk = static_cast<float>(m);
  float treatmentAtRisk = 0.0f;
  for (int32_t j = 0; j < m; ++j) treatmentAtRisk += data.observedGroup[j];
  float survival = 1.0f;
  // The risk sets, the pooled survival and the variance term as computeStatistics has them.
  for (int32_t j = 0; j < m; ++j) {
    if (data.eventIndicator[j] == 1) {
      const double n = atRisk;
      const double nT = treatmentAtRisk;
      survival = static_cast<float>(n * double(survival) / (n + 1.0));
      const double v = double(static_cast<float>((n - nT) * nT / n / n));
      for (int32_t a = 0; a < count; ++a) {
        const int32_t s = statistics[a];
        weight[a] = powerOfProbability(survival, rho[s]) * powerOfComplement(survival, tau[s]);
      }
      for (int32_t a = 0; a < count; ++a) {
        for (int32_t b = 0; b <= a; ++b) sum[a * input::MaxStatistics + b] += weight[a] * weight[b] * v;
      }
    }
    atRisk -= 1.0f;
    treatmentAtRisk -= data.observedGroup[j];
  }
  covariance.count = count;
  for (int32_t a = 0; a < count; ++a) {
    for (int32_t b = 0; b <= a; ++b) {
      const float value = static_cast<float>(sum[a * input::MaxStatistics + b]);
      covariance(a, b) = value;
      covariance(b, a) = value;
    }
  }
}

}  // namespace survseq::sim
