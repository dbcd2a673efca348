#include "sim/analysis_data.h"

#include <array>
#include <bit>
#include <cmath>

#include "report/run_error.h"
#include "sim/probability_powers.h"

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

namespace {

// Where the statistics find the factors of their weights S^rho (1-S)^tau and
// S^(2 rho) (1-S)^(2 tau) at an event: in a table of powers filled once per event. Its
// first entries are what the plain shortcuts give (1, S, S^2, 1 - S); after them come
// the other powers, each distinct one once.
class WeightPowers {
 public:
  WeightPowers(int32_t statisticCount, const input::StatisticValues& rho,
               const input::StatisticValues& tau) {
    for (int32_t i = 1; i <= statisticCount; ++i) {
      const double r = rho[i];
      const double t = tau[i];
      factors_[i] = {placeOf(r, false), placeOf(t, true), placeOf(2.0 * r, false),
                     placeOf(2.0 * t, true)};
    }
  }

  // The table at the survival estimate s, which must lie in the shortcuts' range (the
  // caller takes each power itself otherwise).
  void fill(float s) {
    const double survival = s;
    const double complement = 1.0 - survival;
    table_[kOne] = 1.0;
    table_[kSurvival] = survival;
    table_[kSurvivalSquared] = survival * survival;
    table_[kComplement] = complement;
    for (size_t k = kFirstOther; k < count_; ++k) {
      table_[k] = shortcutPower(shortcuts_[k], s, complements_[k] ? complement : survival,
                                exponents_[k]);
    }
  }

  double weight(int32_t i) const { return table_[factors_[i][0]] * table_[factors_[i][1]]; }
  double varianceWeight(int32_t i) const {
    return table_[factors_[i][2]] * table_[factors_[i][3]];
  }

 private:
  static constexpr size_t kOne = 0, kSurvival = 1, kSurvivalSquared = 2, kComplement = 3;
  static constexpr size_t kFirstOther = 4;
  static constexpr size_t kMost = kFirstOther + 4 * input::MaxStatistics;

  size_t placeOf(double exponent, bool complement) {
    const PowerShortcut shortcut =
        complement ? complementShortcut(exponent) : probabilityShortcut(exponent);
    switch (shortcut) {
      case PowerShortcut::One: return kOne;
      case PowerShortcut::Base: return complement ? kComplement : kSurvival;
      case PowerShortcut::ExactSquare: return kSurvivalSquared;
      default: break;
    }
    // Exponents are compared as bit patterns: equal ones give equal powers.
    for (size_t k = kFirstOther; k < count_; ++k) {
      if (complements_[k] == complement &&
          std::bit_cast<uint64_t>(exponents_[k]) == std::bit_cast<uint64_t>(exponent)) {
        return k;
      }
    }
    exponents_[count_] = exponent;
    complements_[count_] = complement;
    shortcuts_[count_] = shortcut;
    return count_++;
  }

  std::array<std::array<size_t, 4>, input::MaxStatistics + 1> factors_{};
  std::array<double, kMost> exponents_{};
  std::array<bool, kMost> complements_{};
  std::array<PowerShortcut, kMost> shortcuts_{};
  size_t count_ = kFirstOther;
  std::array<double, kMost> table_{};
};

}  // namespace

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
