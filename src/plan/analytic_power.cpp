#include "plan/analytic_power.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include <ostream>

#include "bounds/look_schedule.h"
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

// The planned information of statistic s at the looks: the simulation's own null
// variance there, at `rate`. Its fractions, and so the boundaries, do not depend on the
// rate.
void plannedInformation(const input::DesignParameters& design,
                        const input::AnalysisValues& lookTimes, float rate, int32_t s,
                        input::AnalysisValues& planned) {
  bounds::plannedNullVariances(design, rate, design.rho[s], design.tau[s], lookTimes, planned);
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
  for (int32_t k = 1; k <= K; ++k) {
    if (design.analysisTiming != input::AnalysisTiming::FixedEvents) {
      lookTimes_[k] = design.analysisTimes[k];
      continue;
    }
    const double time = timeOfExpectedEvents(design, patients, double(design.analysisEvents[k]));
    if (time < 0.0) {
      throw RunError("look " + std::to_string(k) + " waits for " +
                     std::to_string(design.analysisEvents[k]) + " events, more than " +
                     std::to_string(int64_t(std::floor(patients))) +
                     " patients are expected to give");
    }
    lookTimes_[k] = static_cast<float>(time);
  }

  double horizon = 0.0;
  for (int32_t k = 1; k <= K; ++k) horizon = std::max(horizon, double(lookTimes_[k]));
  const MomentIntegrator alternative(design, false, horizon);
  const MomentIntegrator null(design, true, horizon);

  const float rate = static_cast<float>(rateOf(design, patients));
  PlannedInformation planned{};
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    plannedInformation(design, lookTimes_, rate, s, planned[static_cast<size_t>(s)]);
  }
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
      const double t = lookTimes_[k];
      model.alternative[static_cast<size_t>(k)] = alternative.at(t, design.rho[s], design.tau[s]);
      model.null[static_cast<size_t>(k)] = null.at(t, design.rho[s], design.tau[s]);
      observedAlternative[k] =
          static_cast<float>(patients * model.alternative[static_cast<size_t>(k)].information);
      observedNull[k] =
          static_cast<float>(patients * model.null[static_cast<size_t>(k)].information);
      AnalyticLook& look = model.looks[static_cast<size_t>(k)];
      const bounds::PlannedLook& b = bounds[static_cast<size_t>(k)];
      look.expectedTime = t;
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
    const PatientMoments& a = model.alternative[i];
    const PatientMoments& h = model.null[i];
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
