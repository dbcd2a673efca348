#include "grid/scenario_result.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "report/run_error.h"

namespace survseq::grid {

namespace {

std::optional<float> optionalReal(const nlohmann::json& value) {
  return value.is_null() ? std::nullopt : std::optional<float>(value.get<float>());
}

}  // namespace

ScenarioResult readScenarioResult(const std::filesystem::path& jsonFile) {
  std::ifstream file(jsonFile, std::ios::binary);
  if (!file.is_open()) throw RunError("could not open '" + jsonFile.string() + "'");
  try {
    const nlohmann::json results = nlohmann::json::parse(file);
    const nlohmann::json& outcome = results.at("outcome");
    ScenarioResult result;
    result.outcome = outcome.at("kind").get<std::string>();
    result.accrualRate = outcome.at("accrual_rate").get<float>();
    result.patients = outcome.at("patients").get<int32_t>();
    result.analyticAccrualRate = optionalReal(outcome.at("analytic_accrual_rate"));
    result.analyticPower = optionalReal(outcome.at("analytic_power"));
    const auto iteration = outcome.at("iteration").get<size_t>();
    if (iteration == 0) return result;  // no iteration ran
    const auto figures = [](const nlohmann::json& test) {
      return StatisticResult{test.at("power").get<float>(), test.at("standard_error").get<float>(),
                             test.at("average_stopping_time").get<float>()};
    };
    const nlohmann::json& last = results.at("iterations").at(iteration - 1);
    for (const nlohmann::json& statistic : last.at("statistics")) {
      result.statistics.push_back(figures(statistic));
    }
    if (last.contains("combination")) result.combination = figures(last.at("combination"));
    return result;
  } catch (const nlohmann::json::exception& error) {
    throw RunError("'" + jsonFile.string() + "' is not a results file of survseq: " + error.what());
  }
}

}  // namespace survseq::grid
