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
  return {
      {"report_file", d.outputFileName},
      {"seed", d.seed},
      {"analysis_times", reals(d.analysisTimes, 1, d.analysisCount)},
      {"statistics", statistics},
      {"simulations_per_iteration", d.simulationCount},
      {"type_one_error", shortestDouble(d.typeIError)},
      {"sides", d.sides},
      {"boundary", boundary(d)},
      {"accrual",
       {{"period", shortestDouble(d.accrualPeriod)},
        {"rate_lower", shortestDouble(d.accrualRateLower)},
        {"rate_upper", shortestDouble(d.accrualRateUpper)}}},
      {"desired_power", shortestDouble(d.desiredPower)},
      {"baseline_survival", curve(d.baselineCurve)},
      {"alternative", alternative(d)},
      {"censoring_control", curve(d.censoringControl)},
      {"censoring_treatment", curve(d.censoringTreatment)},
      {"drop_in", dropPoints(d.dropInTimes, d.dropInRates, d.dropInCount)},
      {"drop_out", dropPoints(d.dropOutTimes, d.dropOutRates, d.dropOutCount)},
  };
}

}  // namespace survseq::run
