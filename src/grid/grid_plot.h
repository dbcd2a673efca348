#pragma once

// DIR/grid.svg: the grid at a glance. The first axis runs across (its values in the
// order of the grid file, spaced by value when they are numbers), and each combination of
// the other axes is one line: the patients per trial when the scenarios search for the
// rate, the power of the trial's test when they are given their size (statistic 1's, or
// the combination's where a scenario combines statistics). A scenario whose search found
// no rate is an open circle off the line.

#include <string>
#include <vector>

#include "grid/grid_file.h"
#include "grid/scenario_result.h"

namespace survseq::grid {

enum class PlottedFigure { Patients, Power };

std::string gridSvg(const GridFile& grid, const std::vector<ScenarioResult>& results,
                    PlottedFigure figure);

}  // namespace survseq::grid
