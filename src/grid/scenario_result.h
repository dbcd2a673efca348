#pragma once

// What the results table and the grid picture show of one scenario, read back from the
// JSON results in its folder: the outcome of the search and, at the iteration where it
// ended, the rate, the patients and each statistic's power, standard error and average
// stopping time (and the combination's, for a design with one); and the analytic rate and
// power beside them.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace survseq::grid {

struct StatisticResult {
  float power = 0.0f;
  float standardError = 0.0f;
  float averageStoppingTime = 0.0f;
};

struct ScenarioResult {
  std::string outcome;  // the JSON's outcome.kind: "within_two_standard_errors", ...
  float accrualRate = 0.0f;
  int32_t patients = 0;
  std::optional<float> analyticAccrualRate;  // none where the JSON has null
  std::optional<float> analyticPower;
  std::vector<StatisticResult> statistics;  // statistic 1 first
  std::optional<StatisticResult> combination;  // a design with a combination of statistics
};

// Reads `jsonFile`; throws RunError when it is missing or not the program's results.
ScenarioResult readScenarioResult(const std::filesystem::path& jsonFile);

}  // namespace survseq::grid
