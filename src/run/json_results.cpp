#include "run/json_results.h"

#include <nlohmann/json.hpp>

#include "run/json_design.h"
#include "run/number_text.h"
#include "run/run_outcome.h"

namespace survseq::run {

namespace {

using json = nlohmann::ordered_json;

// A mean over the trials that reached the analysis; none when no trial did.
json meanOver(const search::LookFigures& look, float mean) {
  return look.reachedCount > 0 ? json(shortestDouble(mean)) : json(nullptr);
}

json lookJson(const input::DesignParameters& design, const search::IterationRecord& iteration,
              int32_t s, int32_t k) {
  const auto& look = iteration.statistics[static_cast<size_t>(s - 1)].looks[static_cast<size_t>(k)];
  const float stoppedShare = static_cast<float>(double(look.stoppedCount) / design.simulationCount);
  const float futilityShare =
      static_cast<float>(double(look.futilityStoppedCount) / design.simulationCount);
  json figures = {{"look", k},
            {"time", shortestDouble(iteration.lookTime(design, k))},
            {design.plannedInformation == input::PlannedInformation::Original
                 ? "null_variance"
                 : "planned_information",
             shortestDouble(
                 iteration.plannedInformation[static_cast<size_t>(s)][static_cast<size_t>(k)])},
            {"stopped", look.stoppedCount},
            {"stopped_share", shortestDouble(stoppedShare)},
            {"futility_stopped", look.futilityStoppedCount},
            {"futility_stopped_share", shortestDouble(futilityShare)},
            {"reached", look.reachedCount},
            {"mean_critical_value", meanOver(look, look.meanCriticalValue)},
            {"mean_events", meanOver(look, look.meanEventCount)},
            {"mean_information", meanOver(look, look.meanInformation)}};
  if (design.analysisTiming != input::AnalysisTiming::Calendar) {
    const auto i = static_cast<size_t>(k);
    figures["event_target"] = iteration.eventTargets[i];
    figures["mean_time"] = iteration.lookTakenCount[i] > 0
                               ? json(shortestDouble(iteration.meanLookTime[i]))
                               : json(nullptr);
  }
  return figures;
}

// The boundaries planned for the statistic at the iteration's planned information.
json plannedLooksJson(const input::DesignParameters& design, const bounds::PlannedLooks& planned) {
  json looks = json::array();
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    const bounds::PlannedLook& look = planned[static_cast<size_t>(k)];
    looks.push_back({{"look", k},
                     {"information_fraction", shortestDouble(look.informationFraction)},
                     {"efficacy_z", shortestDouble(look.efficacyZ)},
                     {"nominal_p", shortestDouble(look.nominalP)},
                     {"futility_z", look.hasFutilityBound ? json(shortestDouble(look.futilityZ))
                                                          : json(nullptr)}});
  }
  return looks;
}

// The combination of statistics over the trials of a pass.
json combinationJson(const input::DesignParameters& design,
                     const search::CombinationRecord& combination) {
  json chosen = json::array();
  for (int32_t i = 0; i < design.combinationCount; ++i)
    chosen.push_back(design.combinationStatistics[static_cast<size_t>(i)]);
  json looks = json::array();
  for (int32_t k = 1; k <= design.analysisCount; ++k) {
    const search::LookFigures& look = combination.looks[static_cast<size_t>(k)];
    const auto share = [&](int32_t count) {
      return shortestDouble(static_cast<float>(double(count) / design.simulationCount));
    };
    looks.push_back({{"look", k},
                     {"stopped", look.stoppedCount},
                     {"stopped_share", share(look.stoppedCount)},
                     {"futility_stopped", look.futilityStoppedCount},
                     {"futility_stopped_share", share(look.futilityStoppedCount)},
                     {"reached", look.reachedCount},
                     {"mean_critical_value", meanOver(look, look.meanCriticalValue)}});
  }
  return {{"statistics", chosen},
          {"power", shortestDouble(combination.estimate.power)},
          {"standard_error", shortestDouble(combination.estimate.standardError)},
          {"average_stopping_time", shortestDouble(combination.averageStoppingTime)},
          {"largest_crossing_error", shortestDouble(combination.largestError)},
          {"looks", looks},
          {"planned_looks", plannedLooksJson(design, combination.plannedLooks)}};
}

json iterationJson(const input::DesignParameters& design,
                   const search::IterationRecord& iteration) {
  json statistics = json::array();
  for (size_t i = 0; i < iteration.statistics.size(); ++i) {
    const search::StatisticSummary& summary = iteration.statistics[i].summary;
    const auto s = static_cast<int32_t>(i + 1);
    json looks = json::array();
    for (int32_t k = 1; k <= design.analysisCount; ++k)
      looks.push_back(lookJson(design, iteration, s, k));
    statistics.push_back({{"statistic", s},
                          {"rho", shortestDouble(summary.rho)},
                          {"tau", shortestDouble(summary.tau)},
                          {"power", shortestDouble(summary.estimate.power)},
                          {"standard_error", shortestDouble(summary.estimate.standardError)},
                          {"average_stopping_time", shortestDouble(summary.averageStoppingTime)},
                          {"looks", looks},
                          {"planned_looks",
                           plannedLooksJson(design, iteration.statistics[i].plannedLooks)}});
  }
  json figures = {{"iteration", iteration.iterationNumber},
                  {"accrual_rate", shortestDouble(iteration.accrualRate)},
                  {"patients", iteration.patientCount},
                  {"statistics", statistics}};
  if (iteration.combination) figures["combination"] = combinationJson(design, *iteration.combination);
  return figures;
}

json outcomeJson(const search::RunRecord& record, std::optional<float> analyticRate,
                 std::optional<double> analyticPower) {
  const OutcomeFigures outcome = outcomeFigures(record);
  return {{"kind", outcomeKey(outcome.kind)},
          {"iteration", outcome.iterationNumber},
          {"accrual_rate", shortestDouble(outcome.accrualRate)},
          {"patients", outcome.patientCount},
          {"power", shortestDouble(outcome.estimate.power)},
          {"standard_error", shortestDouble(outcome.estimate.standardError)},
          {"analytic_accrual_rate", analyticRate ? json(shortestDouble(*analyticRate)) : json()},
          {"analytic_power",
           analyticPower ? json(shortestDouble(static_cast<float>(*analyticPower))) : json()}};
}

// The pass under the null hypothesis: each statistic's share of trials rejecting, overall
// and at each look.
json underNullJson(const input::DesignParameters& design, const search::IterationRecord& pass) {
  json statistics = json::array();
  for (size_t i = 0; i < pass.statistics.size(); ++i) {
    const search::StatisticRecord& statistic = pass.statistics[i];
    json looks = json::array();
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      const auto& look = statistic.looks[static_cast<size_t>(k)];
      looks.push_back({{"look", k},
                       {"stopped_share", shortestDouble(static_cast<float>(
                                             double(look.stoppedCount) / design.simulationCount))}});
    }
    statistics.push_back({{"statistic", static_cast<int32_t>(i + 1)},
                          {"rejection_share", shortestDouble(statistic.summary.estimate.power)},
                          {"standard_error",
                           shortestDouble(statistic.summary.estimate.standardError)},
                          {"looks", looks}});
  }
  json figures = {{"accrual_rate", shortestDouble(pass.accrualRate)},
                  {"patients", pass.patientCount},
                  {"statistics", statistics}};
  if (pass.combination) {
    json looks = json::array();
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      const auto& look = pass.combination->looks[static_cast<size_t>(k)];
      looks.push_back({{"look", k},
                       {"stopped_share", shortestDouble(static_cast<float>(
                                             double(look.stoppedCount) / design.simulationCount))}});
    }
    figures["combination"] = {
        {"rejection_share", shortestDouble(pass.combination->estimate.power)},
        {"standard_error", shortestDouble(pass.combination->estimate.standardError)},
        {"looks", looks}};
  }
  return figures;
}

}  // namespace

std::string resultsJson(const input::DesignParameters& design, const search::RunRecord& record,
                        std::string_view programVersion, std::optional<float> analyticRate,
                        std::optional<double> analyticPower) {
  json iterations = json::array();
  for (const search::IterationRecord& iteration : record.iterations) {
    iterations.push_back(iterationJson(design, iteration));
  }
  json results = {{"schema_version", kResultsSchemaVersion},
                  {"program", {{"name", "survseq"}, {"version", programVersion}}},
                  {"design", designJson(design)},
                  {"iterations", iterations},
                  {"outcome", outcomeJson(record, analyticRate, analyticPower)}};
  if (record.underNull) results["under_null"] = underNullJson(design, *record.underNull);
  // A report name that is not UTF-8 must not sink the file: such bytes become U+FFFD.
  return results.dump(2, ' ', false, json::error_handler_t::replace) + '\n';
}

}  // namespace survseq::run
