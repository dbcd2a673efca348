#include "plan/combination_power.h"

#include <cmath>
#include <limits>
#include <vector>

#include "bounds/boundary_computation.h"
#include "bounds/multivariate_normal.h"
#include "bounds/planned_combination.h"
#include "law/expected_moments.h"
#include "plan/boundary_parameter.h"

namespace survseq::plan {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The standardised statistics of the looks that carry information, look by look.
struct JointLaw {
  std::vector<int32_t> look;
  std::vector<double> mean, correlation;
};

JointLaw jointLaw(const input::DesignParameters& design, const bounds::CombinationCovariances& covariance,
                  const std::array<std::array<double, input::MaxStatistics>, input::MaxAnalyses + 1>& mean) {
  JointLaw law;
  const int32_t J = design.combinationCount;
  std::vector<int32_t> statistic;
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    if (!(covariance[static_cast<size_t>(k)](0, 0) > 0.0f)) continue;
    for (int32_t j = 0; j < J; ++j) {
      law.look.push_back(k);
      statistic.push_back(j);
      law.mean.push_back(mean[static_cast<size_t>(k)][static_cast<size_t>(j)]);
    }
  }
  const size_t n = law.look.size();
  law.correlation.resize(n * n);
  for (size_t a = 0; a < n; ++a) {
    for (size_t b = 0; b < n; ++b) {
      const auto ka = static_cast<size_t>(law.look[a]), kb = static_cast<size_t>(law.look[b]);
      const int32_t ja = statistic[a], jb = statistic[b];
      law.correlation[a * n + b] = double(covariance[std::min(ka, kb)](ja, jb)) /
                                   std::sqrt(double(covariance[ka](ja, ja)) * covariance[kb](jb, jb));
    }
  }
  return law;
}

// P(every look i < k of `mask` below its futility bound, the others below c_i, and, when
// `withLook`, look k below c_k), the first looks' coordinates of the joint law.
double belowAll(const input::DesignParameters& design, const JointLaw& law,
                const input::AnalysisValues& critical, int32_t k, uint32_t mask, bool withLook) {
  std::vector<double> lower, upper, correlation;
  std::vector<size_t> kept;
  for (size_t a = 0; a < law.look.size(); ++a) {
    const int32_t i = law.look[a];
    if (i > k || (i == k && !withLook)) continue;
    const bool futile = i < k && (mask & (1u << (i - 1))) != 0;
    const double bound = futile ? design.futilityZ[i] : critical[i];
    upper.push_back(bound - law.mean[a]);
    lower.push_back((design.sides == 2 ? -bound : -kInfinity) - law.mean[a]);
    kept.push_back(a);
  }
  if (kept.empty()) return 1.0;
  const size_t n = law.look.size();
  for (size_t a : kept) {
    for (size_t b : kept) correlation.push_back(law.correlation[a * n + b]);
  }
  return bounds::boxProbability(correlation, static_cast<int32_t>(kept.size()), lower, upper).value;
}

}  // namespace

AnalyticCombination analyticCombination(const input::DesignParameters& design, float rate,
                                        double patients) {
  const int32_t K = design.analysisCount;
  const bounds::LookSchedule looks = bounds::lookSchedule(design, rate);
  const bounds::PlannedInformationTable planned = bounds::plannedInformation(design, rate, looks);
  const float b = boundaryParameter(design, planned);
  const bounds::PlannedLooks plannedLooks =
      bounds::plannedCombinationBoundaries(design, rate, looks, planned, b);

  const law::ExpectedMoments alternative(design, law::Hypothesis::Alternative);
  const bounds::CombinationCovariances covariance =
      bounds::expectedCombinationCovariances(design, alternative, looks.time, patients);
  std::array<std::array<double, input::MaxStatistics>, input::MaxAnalyses + 1> mean{};
  input::AnalysisValues firstInformation{};
  for (int32_t k = 1; k <= K; ++k) {
    firstInformation[k] = covariance[static_cast<size_t>(k)](0, 0);
    for (int32_t j = 0; j < design.combinationCount; ++j) {
      const int32_t s = design.combinationStatistics[static_cast<size_t>(j)];
      const law::PatientMoments m = alternative.at(looks.time[k], design.rho[s], design.tau[s]);
      mean[static_cast<size_t>(k)][static_cast<size_t>(j)] =
          m.information > 0.0 ? std::sqrt(patients) * m.drift / std::sqrt(m.information) : 0.0;
    }
  }
  const input::AnalysisValues critical = bounds::combinationCriticalValues(
      design, covariance, firstInformation,
      planned[static_cast<size_t>(design.combinationStatistics[0])], b);
  const JointLaw law = jointLaw(design, covariance, mean);
  const bool futility = design.futility && design.sides == 1;

  AnalyticCombination result;
  for (int32_t k = 1; k <= K; ++k) {
    // Reject at k: went on at every earlier look, and M_k >= c_k.
    double reject = 0.0;
    const uint32_t subsets = futility ? 1u << (k - 1) : 1u;
    for (uint32_t mask = 0; mask < subsets; ++mask) {
      const double sign = (__builtin_popcount(mask) % 2 == 0) ? 1.0 : -1.0;
      reject += sign * (belowAll(design, law, critical, k, mask, false) -
                        belowAll(design, law, critical, k, mask, true));
    }
    result.power += reject;
    AnalyticCombinationLook& look = result.looks[static_cast<size_t>(k)];
    look.efficacyZ = plannedLooks[static_cast<size_t>(k)].efficacyZ;
    look.nominalP = plannedLooks[static_cast<size_t>(k)].nominalP;
    look.alternativeCriticalValue = critical[k];
    look.cumulativePower = result.power;
  }
  return result;
}

}  // namespace survseq::plan
