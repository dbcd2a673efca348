#pragma once

// DIR/results.csv: one row per scenario, in scenario order. The columns, described in
// docs/grid.md, are the scenario number, one per axis, the outcome, the rate and the
// patients, then power, standard error and average stopping time of each statistic.

#include <functional>
#include <string>
#include <vector>

#include "grid/grid_file.h"
#include "grid/scenario_result.h"

namespace survseq::grid {

// One column: its header and its cell for scenario `number` (1-based).
struct TableColumn {
  std::string header;
  std::function<std::string(int32_t number, const ScenarioResult& result)> cell;
};

// The columns for `grid`, whose scenarios gave `results` (scenario n at n - 1).
std::vector<TableColumn> tableColumns(const GridFile& grid,
                                      const std::vector<ScenarioResult>& results);

// The whole table, as comma-separated values with a header line.
std::string resultsCsv(const GridFile& grid, const std::vector<ScenarioResult>& results);

// `text` as a CSV field: quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text);

}  // namespace survseq::grid
