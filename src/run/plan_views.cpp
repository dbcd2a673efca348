#include "run/plan_views.h"

#include <cstdio>

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

}  // namespace

std::string planText(const input::DesignParameters& design, const plan::AnalyticPlan& plan,
                     PlanBasis basis) {
  std::string text =
      "Analytic plan: asymptotic normal laws of the weighted log-rank statistics and their\n"
      "crossing probabilities (no simulation; see \"Analytic first, simulation to confirm\").\n";
  text += formatted("Accrual rate %.4f per unit of time, %d patients", double(plan.accrualRate),
                    plan.patients);
  if (basis == PlanBasis::DesiredPower) {
    text += formatted(
        ",\nthe fewest at which the analytic power of statistic 1 reaches the desired %g\n",
        double(design.desiredPower));
  } else {
    text += formatted(" as given: the analytic power of statistic 1 is %.4f\n",
                      plan.statistics[1].power);
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
  }
  return text;
}

json planJson(const plan::AnalyticPlan& plan, PlanBasis basis) {
  json statistics = json::array();
  for (int32_t s = 1; s <= plan.statisticCount; ++s) {
    const plan::AnalyticStatistic& statistic = plan.statistics[static_cast<size_t>(s)];
    json looks = json::array();
    for (int32_t k = 1; k <= plan.analysisCount; ++k) {
      const plan::AnalyticLook& look = statistic.looks[static_cast<size_t>(k)];
      looks.push_back(
          {{"look", k},
           {"expected_time", shortestSingle(look.expectedTime)},
           {"expected_events", shortestSingle(look.expectedEvents)},
           {"information_fraction", shortestDouble(look.informationFraction)},
           {"efficacy_z", shortestDouble(look.efficacyZ)},
           {"nominal_p", shortestDouble(look.nominalP)},
           {"futility_z", look.hasFutilityBound ? json(shortestDouble(look.futilityZ)) : json()},
           {"cumulative_power", shortestSingle(look.cumulativePower)},
           {"cumulative_type_one_error", shortestSingle(look.cumulativeTypeOneError)}});
    }
    statistics.push_back({{"statistic", s},
                          {"rho", shortestDouble(statistic.rho)},
                          {"tau", shortestDouble(statistic.tau)},
                          {"power", shortestSingle(statistic.power)},
                          {"looks", looks}});
  }
  return {{"basis", basis == PlanBasis::DesiredPower ? "desired_power" : "given_size"},
          {"accrual_rate", shortestDouble(plan.accrualRate)},
          {"patients", plan.patients},
          {"statistics", statistics}};
}

}  // namespace survseq::run
