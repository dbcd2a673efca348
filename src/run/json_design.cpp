#include "run/json_design.h"

#include "run/number_text.h"

namespace survseq::run {

namespace {

using json = nlohmann::ordered_json;

// values[first..last] as a JSON array.
template <typename Values>
json reals(const Values& values, int32_t first, int32_t last) {
  json array = json::array();
  for (int32_t i = first; i <= last; ++i)
    array.push_back(shortestDouble(values[static_cast<size_t>(i)]));
  return array;
}

// A survival curve by its points after (0, 1), as the keyed design file gives it.
json curve(const input::SurvivalCurve& c) {
  return {{"times", reals(c.x, 1, c.count)}, {"survival", reals(c.s, 1, c.count)}};
}

json boundary(const input::DesignParameters& d) {
  const int32_t K = d.analysisCount;
  switch (d.boundaryMethod) {
    case input::ErrorSplit: {
      json shares = json::array();  // the reader keeps running sums; the file gives shares
      for (int32_t k = 1; k <= K; ++k) {
        shares.push_back(
            shortestDouble(static_cast<float>(double(d.errorSplit[static_cast<size_t>(k)]) -
                                              d.errorSplit[static_cast<size_t>(k - 1)])));
      }
      return {{"method", "error_split"}, {"error_shares", shares}};
    }
    case input::Haybittle:
      return {{"method", "haybittle"}, {"b", shortestDouble(d.haybittleB)}};
    case input::GivenBoundaries:
      return {{"method", "given_critical_values"},
              {"critical_values", reals(d.boundaryValues, 1, K)}};
    default:
      break;
  }
  if (d.spendingFamily == input::SpendingFamily::HwangShihDeCani) {
    return {{"method", "lan_demets"},
            {"use_function", "hwang_shih_decani"},
            {"gamma", shortestDouble(d.spendingGamma)}};
  }
  if (d.spendingFamily == input::SpendingFamily::KimDeMets) {
    return {{"method", "lan_demets"},
            {"use_function", "kim_demets"},
            {"exponent", shortestDouble(d.spendingExponent)}};
  }
  json lanDeMets = {{"method", "lan_demets"}};
  switch (d.useFunction) {
    case input::OBrienFleming:
      lanDeMets["use_function"] = "obrien_fleming";
      break;
    case input::Pocock:
      lanDeMets["use_function"] = "pocock";
      break;
    case input::Linear:
      lanDeMets["use_function"] = "linear";
      break;
    default:  // 4 and every larger code spend by the b-parameter function
      lanDeMets["use_function"] = "b_parameter";
      lanDeMets["b"] = shortestDouble(d.haybittleB);
      break;
  }
  return lanDeMets;
}

json alternative(const input::DesignParameters& d) {
  if (input::hazardRatiosGiven(d)) {
    return {{"kind", "hazard_ratios"},
            {"interval_ends", reals(d.hazardRatioCuts, 1, d.hazardRatioCount)},
            {"hazard_ratios", reals(d.hazardRatios, 1, d.hazardRatioCount)}};
  }
  const input::SurvivalCurve& c = d.alternativeCurve;
  return {{"kind", "survival_curve"},
          {"times", reals(c.x, 1, c.count)},
          {"survival", reals(c.s, 1, c.count)}};
}

// The accrual period, the form of the accrual (a bracket, a rate, a number of patients, or
// none: the search from the analytic rate) and its pieces when there are any.
json accrual(const input::DesignParameters& d) {
  json accrual = {{"period", shortestDouble(d.accrualPeriod)}};
  switch (d.accrualForm) {
    case input::AccrualForm::Bracket:
      accrual["rate_lower"] = shortestDouble(d.accrualRateLower);
      accrual["rate_upper"] = shortestDouble(d.accrualRateUpper);
      break;
    case input::AccrualForm::GivenRate:
      accrual["rate"] = shortestDouble(d.accrualRate);
      break;
    case input::AccrualForm::GivenPatients:
      accrual["patients"] = d.givenPatients;
      break;
    case input::AccrualForm::AnalyticStart:
      break;
  }
  if (d.accrualPieceCount > 0) {
    accrual["piece_durations"] = reals(d.accrualPieceDurations, 1, d.accrualPieceCount);
    accrual["relative_rates"] = reals(d.accrualRelativeRates, 1, d.accrualPieceCount);
  }
  return accrual;
}

json dropPoints(const input::DropPointValues& times, const input::DropPointValues& rates,
                int32_t count) {
  return {{"times", reals(times, 1, count)}, {"rates", reals(rates, 1, count)}};
}

}  // namespace

json designJson(const input::DesignParameters& d) {
  json statistics = json::array();
  for (int32_t s = 1; s <= d.statisticCount; ++s) {
    statistics.push_back({{"rho", shortestDouble(d.rho[static_cast<size_t>(s)])},
                          {"tau", shortestDouble(d.tau[static_cast<size_t>(s)])}});
  }
  // The keys of the keyed-only features appear only when a design uses them.
  json design = {{"report_file", d.outputFileName}, {"seed", d.seed}};
  if (d.analysisTiming == input::AnalysisTiming::FixedEvents) {
    json events = json::array();
    for (int32_t k = 1; k <= d.analysisCount; ++k)
      events.push_back(d.analysisEvents[static_cast<size_t>(k)]);
    design["analysis_events"] = events;
  } else {
    design["analysis_times"] = reals(d.analysisTimes, 1, d.analysisCount);
  }
  if (d.analysisTiming == input::AnalysisTiming::PlannedEvents) design["analysis_timing"] = "events";
  if (d.allocationRatio != 1.0f) design["allocation_ratio"] = shortestDouble(d.allocationRatio);
  design["statistics"] = statistics;
  design["simulations_per_iteration"] = d.simulationCount;
  design["type_one_error"] = shortestDouble(d.typeIError);
  design["sides"] = d.sides;
  design["boundary"] = boundary(d);
  if (d.futility) {
    design["futility"] = {{"z", reals(d.futilityZ, 1, d.analysisCount - 1)},
                          {"binding", d.futilityBinding}};
  }
  if (input::usesCombination(d)) {
    json chosen = json::array();
    for (int32_t i = 0; i < d.combinationCount; ++i)
      chosen.push_back(d.combinationStatistics[static_cast<size_t>(i)]);
    design["combination"] = {{"statistics", chosen}};
  }
  design["accrual"] = accrual(d);
  // A design of given size has no target power (the keyed reader refuses one).
  if (d.accrualForm != input::AccrualForm::GivenRate &&
      d.accrualForm != input::AccrualForm::GivenPatients) {
    design["desired_power"] = shortestDouble(d.desiredPower);
  }
  design["planned_information"] = plannedInformationName(d.plannedInformation);
  design["baseline_survival"] = curve(d.baselineCurve);
  design["alternative"] = alternative(d);
  design["censoring_control"] = curve(d.censoringControl);
  design["censoring_treatment"] = curve(d.censoringTreatment);
  design["drop_in"] = dropPoints(d.dropInTimes, d.dropInRates, d.dropInCount);
  design["drop_out"] = dropPoints(d.dropOutTimes, d.dropOutRates, d.dropOutCount);
  return design;
}

}  // namespace survseq::run
