#include "plan/analytic_power.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include <ostream>

#include "bounds/planned_information.h"
#include "bounds/planned_boundaries.h"
#include "bounds/trial_boundaries.h"
#include "input/accrual_profile.h"
#include "plan/boundary_parameter.h"
#include "plan/crossing_probability.h"
#include "report/run_error.h"

// The analytic power of analytic_power.h. On the scale of the score per root patient,
// W_k = -U_k / sqrt(N), the looks of a statistic have independent increments with mean
// sqrt(N) m_k and variance v_k, the information per patient (under the null: mean 0 and
// the null's information), and "Z_k >= c" is "W_k >= c sqrt(v_k)".

namespace survseq::plan {

namespace {

// The critical values a trial computes when it observes `observed` at its looks, on the
// planned information scale `planned` (its floor and ceiling), by the trials' own update.
input::AnalysisValues trialCriticalValues(const input::DesignParameters& design,
                                          const input::AnalysisValues& planned,
                                          const input::AnalysisValues& observed) {
  const int32_t K = design.analysisCount;
  input::AnalysisValues critical{};
  if (design.boundaryMethod == input::GivenBoundaries) {
    for (int32_t k = 1; k <= K; ++k) critical[k] = design.boundaryValues[k];
    return critical;
  }
  input::DesignParameters trial = design;
  trial.statisticCount = 1;
  trial.informationFloor[1] = bounds::kInformationFloorShare * planned[1];
  trial.informationCeiling[1] = planned[K];
  bounds::TrialBoundaryState state;
  std::ostream silent(nullptr);
  for (int32_t k = 1; k <= K; ++k) {
    state.observedInformation(1, k) = observed[k];
    bounds::updateTrialBoundaries(k, trial, state, silent);
    critical[k] = state.boundaries.criticalValue(1, k);
  }
  return critical;
}

}  // namespace

double patientsOf(const input::DesignParameters& design, double rate) {
  return rate * input::accrualWeight(design);
}

double rateOf(const input::DesignParameters& design, double patients) {
  return patients / input::accrualWeight(design);
}

AnalyticModel::AnalyticModel(const input::DesignParameters& design, double patients)
    : design_(&design) {
  const int32_t K = design.analysisCount;
  // The rate at which a trial has the model's patients, so that the looks and the planned
  // information are those of the simulation at the same size.
  const float rate = input::rateForPatients(
      design, static_cast<int32_t>(std::max(1.0, std::round(patients))));
  const bounds::LookSchedule looks = bounds::lookSchedule(design, rate);
  const bounds::PlannedInformationTable planned = bounds::plannedInformation(design, rate, looks);
  const law::ExpectedMoments alternative(design, law::Hypothesis::Alternative);
  const law::ExpectedMoments null(design, law::Hypothesis::Null);

  const float b = boundaryParameter(design, planned);
  input::DesignParameters withB = design;
  withB.haybittleB = b;
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    StatisticModel& model = statistics_[static_cast<size_t>(s)];
    const input::AnalysisValues& plan = planned[static_cast<size_t>(s)];
    const bounds::PlannedLooks bounds = bounds::plannedBoundaries(design, plan, b);
    input::AnalysisValues observedAlternative{};
    input::AnalysisValues observedNull{};
    for (int32_t k = 1; k <= K; ++k) {
      const auto i = static_cast<size_t>(k);
      model.alternative[i] = alternative.at(looks.time[k], design.rho[s], design.tau[s]);
      model.null[i] = null.at(looks.nullTime[k], design.rho[s], design.tau[s]);
      observedAlternative[k] = static_cast<float>(patients * model.alternative[i].information);
      observedNull[k] = static_cast<float>(patients * model.null[i].information);
      AnalyticLook& look = model.looks[i];
      const bounds::PlannedLook& b = bounds[i];
      look.expectedTime = looks.time[k];
      look.informationFraction = b.informationFraction;
      look.efficacyZ = b.efficacyZ;
      look.nominalP = b.nominalP;
      look.hasFutilityBound = b.hasFutilityBound && design.sides == 1;
      look.futilityZ = b.futilityZ;
    }
    model.alternativeCritical = trialCriticalValues(withB, plan, observedAlternative);
    model.nullCritical = trialCriticalValues(withB, plan, observedNull);
  }
}

void AnalyticModel::crossings(const StatisticModel& model, double patients,
                              AnalyticStatistic& out, bool underNullToo) const {
  const int32_t K = design_->analysisCount;
  const bool twoSided = design_->sides == 2;
  const double none = -std::numeric_limits<double>::infinity();
  ScoreLooks alternative{};
  ScoreLooks null{};
  for (int32_t k = 1; k <= K; ++k) {
    const auto i = static_cast<size_t>(k);
    const AnalyticLook& look = model.looks[i];
    const law::PatientMoments& a = model.alternative[i];
    const law::PatientMoments& h = model.null[i];
    const double rootA = std::sqrt(a.information);
    const double rootH = std::sqrt(h.information);
    const double futility = look.hasFutilityBound ? double(look.futilityZ) : none;
    const double cA = model.alternativeCritical[k];
    const double cH = model.nullCritical[k];
    alternative[i] = {std::sqrt(patients) * a.drift, a.information, cA * rootA,
                      (twoSided ? -cA : futility) * rootA};
    null[i] = {0.0, h.information, cH * rootH, (twoSided ? -cH : futility) * rootH};
    // A look before any event carries no information, and a trial cannot stop there.
    for (ScoreLook* at : {&alternative[i], &null[i]}) {
      if (!(at->variance > 0.0)) *at = {at->mean, 0.0, -none, none};
    }
  }
  const Crossings underAlternative = crossingProbabilities(alternative, K);
  const Crossings underNull = underNullToo ? crossingProbabilities(null, K) : Crossings{};
  double power = 0.0;
  double typeOneError = 0.0;
  double stopAlternative = 0.0;
  double stopNull = 0.0;
  for (int32_t k = 1; k <= K; ++k) {
    const auto i = static_cast<size_t>(k);
    power += underAlternative[i].upper + (twoSided ? underAlternative[i].lower : 0.0);
    typeOneError += underNull[i].upper + (twoSided ? underNull[i].lower : 0.0);
    stopAlternative += underAlternative[i].upper + underAlternative[i].lower;
    stopNull += underNull[i].upper + underNull[i].lower;
    out.looks[i] = model.looks[i];
    out.looks[i].expectedEvents = patients * model.alternative[i].events;
    out.looks[i].cumulativePower = power;
    out.looks[i].cumulativeTypeOneError = typeOneError;
    out.looks[i].cumulativeStopAlternative = stopAlternative;
    out.looks[i].cumulativeStopNull = stopNull;
  }
  out.power = power;
}

double AnalyticModel::power(int32_t statistic, double patients) const {
  AnalyticStatistic out;
  crossings(statistics_[static_cast<size_t>(statistic)], patients, out, false);
  return out.power;
}

AnalyticPlan AnalyticModel::plan(float rate, double patients) const {
  AnalyticPlan plan;
  plan.accrualRate = rate;
  plan.patients = static_cast<int32_t>(std::trunc(patients));
  plan.statisticCount = design_->statisticCount;
  plan.analysisCount = design_->analysisCount;
  for (int32_t s = 1; s <= design_->statisticCount; ++s) {
    AnalyticStatistic& out = plan.statistics[static_cast<size_t>(s)];
    out.rho = design_->rho[s];
    out.tau = design_->tau[s];
    crossings(statistics_[static_cast<size_t>(s)], patients, out, true);
  }
  return plan;
}

}  // namespace survseq::plan
