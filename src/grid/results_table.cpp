#include "grid/results_table.h"

#include <algorithm>

#include "grid/scenarios.h"
#include "run/number_text.h"

namespace survseq::grid {

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::vector<TableColumn> tableColumns(const GridFile& grid,
                                      const std::vector<ScenarioResult>& results) {
  using run::shortestText;
  std::vector<TableColumn> columns;
  columns.push_back(
      {"scenario", [](int32_t n, const ScenarioResult&) { return std::to_string(n); }});
  for (size_t a = 0; a < grid.axes.size(); ++a) {
    columns.push_back({grid.axes[a].key, [&grid, a](int32_t n, const ScenarioResult&) {
                         return valueText(axisValue(grid, a, n));
                       }});
  }
  columns.push_back({"outcome", [](int32_t, const ScenarioResult& r) { return r.outcome; }});
  columns.push_back({"accrual_rate",
                     [](int32_t, const ScenarioResult& r) { return shortestText(r.accrualRate); }});
  columns.push_back(
      {"patients", [](int32_t, const ScenarioResult& r) { return std::to_string(r.patients); }});
  // The analytic answers beside the simulated ones; empty where there is none.
  // Powers to four decimals, the other figures as the JSON file holds them.
  const auto optionalCell = [](std::optional<float> ScenarioResult::*figure, bool power) {
    return [figure, power](int32_t, const ScenarioResult& r) {
      if (!(r.*figure)) return std::string();
      return power ? run::powerText(*(r.*figure)) : shortestText(*(r.*figure));
    };
  };
  columns.push_back(
      {"analytic_accrual_rate", optionalCell(&ScenarioResult::analyticAccrualRate, false)});
  columns.push_back({"analytic_power_1", optionalCell(&ScenarioResult::analyticPower, true)});

  size_t statistics = 0;
  for (const ScenarioResult& result : results) {
    statistics = std::max(statistics, result.statistics.size());
  }
  // A statistic a scenario does not have leaves its cells empty.
  const auto statisticCell = [](size_t s, float StatisticResult::*figure, bool power) {
    return [s, figure, power](int32_t, const ScenarioResult& r) {
      if (s >= r.statistics.size()) return std::string();
      return power ? run::powerText(r.statistics[s].*figure) : shortestText(r.statistics[s].*figure);
    };
  };
  for (size_t s = 0; s < statistics; ++s) {
    const std::string suffix = "_" + std::to_string(s + 1);
    columns.push_back({"power" + suffix, statisticCell(s, &StatisticResult::power, true)});
    columns.push_back(
        {"standard_error" + suffix, statisticCell(s, &StatisticResult::standardError, false)});
    columns.push_back({"average_stopping_time" + suffix,
                       statisticCell(s, &StatisticResult::averageStoppingTime, false)});
  }
  // The combination of statistics: only when a scenario has one.
  if (std::any_of(results.begin(), results.end(),
                  [](const ScenarioResult& r) { return r.combination.has_value(); })) {
    const auto combinationCell = [](float StatisticResult::*figure, bool power) {
      return [figure, power](int32_t, const ScenarioResult& r) {
        if (!r.combination) return std::string();
        return power ? run::powerText((*r.combination).*figure)
                     : shortestText((*r.combination).*figure);
      };
    };
    columns.push_back({"power_combination", combinationCell(&StatisticResult::power, true)});
    columns.push_back({"standard_error_combination",
                       combinationCell(&StatisticResult::standardError, false)});
    columns.push_back({"average_stopping_time_combination",
                       combinationCell(&StatisticResult::averageStoppingTime, false)});
  }
  return columns;
}

std::string resultsCsv(const GridFile& grid, const std::vector<ScenarioResult>& results) {
  const std::vector<TableColumn> columns = tableColumns(grid, results);
  std::string csv;
  for (size_t c = 0; c < columns.size(); ++c) {
    csv += (c > 0 ? "," : "") + csvField(columns[c].header);
  }
  csv += '\n';
  for (size_t i = 0; i < results.size(); ++i) {
    for (size_t c = 0; c < columns.size(); ++c) {
      csv +=
          (c > 0 ? "," : "") + csvField(columns[c].cell(static_cast<int32_t>(i + 1), results[i]));
    }
    csv += '\n';
  }
  return csv;
}

}  // namespace survseq::grid
