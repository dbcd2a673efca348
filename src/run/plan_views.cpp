#include "run/plan_views.h"

#include <cmath>
#include <cstdio>

#include "bounds/hazard_ratio_bound.h"
#include "run/number_text.h"

namespace survseq::run {

namespace {

using json = nlohmann::ordered_json;

template <typename... Values>
std::string formatted(const char* format, Values... values) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

// A real that may be missing (NaN): null in JSON, "-" in the text.
json optionalRounded(double value) { return std::isnan(value) ? json() : json(shortestSingle(value)); }
std::string optionalFixed(const char* format, double value) {
  return std::isnan(value) ? "-" : formatted(format, value);
}

// What a protocol cites of one statistic: per look the events it needs, the patients
// enrolled by then and the bounds as hazard ratios; the expected figures at the stop.
std::string protocolText(const ProtocolStatistic& statistic) {
  bool futility = false;
  for (const ProtocolLook& look : statistic.looks) futility = futility || look.hasFutilityBound;
  std::string text = "\n look  events needed  patients enrolled  efficacy bound as HR";
  text += futility ? "  futility bound as HR\n" : "\n";
  for (const ProtocolLook& look : statistic.looks) {
    text += formatted("%5d %14.2f %18.1f %21s", look.look, look.events, look.patients,
                      optionalFixed("%.4f", look.efficacyHazardRatio).c_str());
    if (futility) {
      const double hr = look.hasFutilityBound ? look.futilityHazardRatio : std::nan("");
      text += formatted(" %21s", optionalFixed("%.4f", hr).c_str());
    }
    text += "\n";
  }
  if (!bounds::isLogRank(statistic.rho, statistic.tau)) {
    text += " (a bound reads as a hazard ratio for the log-rank statistic only)\n";
  }
  const plan::StopExpectations& e = statistic.expected;
  text += " When the statistic stops, expected       under the alternative  under the null\n";
  const auto row = [&](const char* what, const char* format, double alternative, double null) {
    text += formatted("   %-39s%21s %15s\n", what, optionalFixed(format, alternative).c_str(),
                      optionalFixed(format, null).c_str());
  };
  row("events", "%.2f", e.alternative.events, e.null.events);
  row("duration (time units of the design)", "%.3f", e.alternative.duration, e.null.duration);
  row("patients enrolled", "%.1f", e.alternative.patients, e.null.patients);
  return text;
}

json expectationJson(const plan::StopExpectation& e) {
  return {{"events", optionalRounded(e.events)},
          {"duration", optionalRounded(e.duration)},
          {"patients", optionalRounded(e.patients)}};
}

// The combination of statistics: its planned bounds, the critical values of a trial that
// observes the covariances expected under the alternative, and its cumulative power.
std::string combinationText(const input::DesignParameters& design,
                            const plan::AnalyticCombination& combination, int32_t analysisCount) {
  std::string text = "\nThe combination of statistics";
  for (int32_t i = 0; i < design.combinationCount; ++i) {
    text += formatted(" %d", design.combinationStatistics[static_cast<size_t>(i)]);
  }
  text += formatted(" (%s): analytic power %.4f\n", design.sides == 2 ? "max |Z|" : "max Z",
                    combination.power);
  text += " look  efficacy z  nominal p  critical z alt  P(reject) alt\n";
  for (int32_t k = 1; k <= analysisCount; ++k) {
    const plan::AnalyticCombinationLook& look = combination.looks[static_cast<size_t>(k)];
    text += formatted("%5d %11.4f %10.5f %15.4f %14.4f\n", k, double(look.efficacyZ),
                      double(look.nominalP), double(look.alternativeCriticalValue),
                      look.cumulativePower);
  }
  text += " (efficacy z: at the covariances expected on the planned information; critical z\n"
          " alt: a trial's that observes those expected under the alternative)\n";
  return text;
}

json combinationJson(const input::DesignParameters& design,
                     const plan::AnalyticCombination& combination, int32_t analysisCount) {
  json chosen = json::array();
  for (int32_t i = 0; i < design.combinationCount; ++i)
    chosen.push_back(design.combinationStatistics[static_cast<size_t>(i)]);
  json looks = json::array();
  for (int32_t k = 1; k <= analysisCount; ++k) {
    const plan::AnalyticCombinationLook& look = combination.looks[static_cast<size_t>(k)];
    looks.push_back({{"look", k},
                     {"efficacy_z", shortestDouble(look.efficacyZ)},
                     {"nominal_p", shortestDouble(look.nominalP)},
                     {"alternative_critical_value", shortestDouble(look.alternativeCriticalValue)},
                     {"cumulative_power", shortestSingle(look.cumulativePower)}});
  }
  return {{"statistics", chosen}, {"power", shortestSingle(combination.power)}, {"looks", looks}};
}

}  // namespace

std::string planText(const input::DesignParameters& design, const plan::AnalyticPlan& plan,
                     PlanBasis basis, const ProtocolTable& protocol) {
  std::string text =
      "Analytic plan: asymptotic normal laws of the weighted log-rank statistics and their\n"
      "crossing probabilities (no simulation; see \"Analytic first, simulation to confirm\").\n";
  text += formatted("Accrual rate %.4f per unit of time, %d patients", double(plan.accrualRate),
                    plan.patients);
  // The trial's test: the combination where the design combines statistics.
  const bool combined = plan.combination.has_value();
  const char* test = combined ? "the combination of statistics" : "statistic 1";
  if (basis == PlanBasis::DesiredPower) {
    text += formatted(",\nthe fewest at which the analytic power of %s reaches the desired %g\n",
                      test, double(design.desiredPower));
  } else {
    text += formatted(" as given: the analytic power of %s is %.4f\n", test,
                      combined ? plan.combination->power : plan.statistics[1].power);
  }
  for (int32_t s = 1; s <= plan.statisticCount; ++s) {
    const plan::AnalyticStatistic& statistic = plan.statistics[static_cast<size_t>(s)];
    text += formatted("\nStatistic %d (rho %g, tau %g): analytic power %.4f\n", s,
                      double(statistic.rho), double(statistic.tau), statistic.power);
    text +=
        " look      time    events  fraction  efficacy z  nominal p  futility z  "
        "P(reject) alt  P(reject) null\n";
    for (int32_t k = 1; k <= plan.analysisCount; ++k) {
      const plan::AnalyticLook& look = statistic.looks[static_cast<size_t>(k)];
      const std::string futility =
          look.hasFutilityBound ? formatted("%10.4f", double(look.futilityZ)) : "         -";
      text += formatted("%5d %9.3f %9.2f %9.4f %11.4f %10.5f  %s %14.4f %15.5f\n", k,
                        look.expectedTime, look.expectedEvents, double(look.informationFraction),
                        double(look.efficacyZ), double(look.nominalP), futility.c_str(),
                        look.cumulativePower, look.cumulativeTypeOneError);
    }
    text += protocolText(protocol.statistics[static_cast<size_t>(s - 1)]);
  }
  if (plan.combination) text += combinationText(design, *plan.combination, plan.analysisCount);
  return text;
}

json planJson(const input::DesignParameters& design, const plan::AnalyticPlan& plan,
              PlanBasis basis, const ProtocolTable& protocol) {
  json statistics = json::array();
  for (int32_t s = 1; s <= plan.statisticCount; ++s) {
    const plan::AnalyticStatistic& statistic = plan.statistics[static_cast<size_t>(s)];
    const ProtocolStatistic& cited = protocol.statistics[static_cast<size_t>(s - 1)];
    json looks = json::array();
    for (int32_t k = 1; k <= plan.analysisCount; ++k) {
      const plan::AnalyticLook& look = statistic.looks[static_cast<size_t>(k)];
      const ProtocolLook& row = cited.looks[static_cast<size_t>(k - 1)];
      looks.push_back(
          {{"look", k},
           {"expected_time", shortestSingle(look.expectedTime)},
           {"expected_events", shortestSingle(look.expectedEvents)},
           {"information_fraction", shortestDouble(look.informationFraction)},
           {"efficacy_z", shortestDouble(look.efficacyZ)},
           {"nominal_p", shortestDouble(look.nominalP)},
           {"futility_z", look.hasFutilityBound ? json(shortestDouble(look.futilityZ)) : json()},
           {"cumulative_power", shortestSingle(look.cumulativePower)},
           {"cumulative_type_one_error", shortestSingle(look.cumulativeTypeOneError)},
           {"events_needed", shortestSingle(row.events)},
           {"patients_enrolled", shortestSingle(row.patients)},
           {"efficacy_hazard_ratio", optionalRounded(row.efficacyHazardRatio)},
           {"futility_hazard_ratio", optionalRounded(row.futilityHazardRatio)}});
    }
    statistics.push_back({{"statistic", s},
                          {"rho", shortestDouble(statistic.rho)},
                          {"tau", shortestDouble(statistic.tau)},
                          {"power", shortestSingle(statistic.power)},
                          {"looks", looks},
                          {"expected_at_stop",
                           {{"alternative", expectationJson(cited.expected.alternative)},
                            {"null", expectationJson(cited.expected.null)}}}});
  }
  json figures = {{"basis", basis == PlanBasis::DesiredPower ? "desired_power" : "given_size"},
                  {"accrual_rate", shortestDouble(plan.accrualRate)},
                  {"patients", plan.patients},
                  {"statistics", statistics}};
  if (plan.combination) {
    figures["combination"] = combinationJson(design, *plan.combination, plan.analysisCount);
  }
  return figures;
}

}  // namespace survseq::run
