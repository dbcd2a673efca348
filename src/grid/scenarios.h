#pragma once

// The scenarios of a grid: the cartesian product of its axes, numbered from 1 with the
// last axis changing fastest. Scenario n is the base design with each axis key replaced
// by that axis's value for n; everything else, the seed included unless it is an axis,
// is the base design's.

#include <toml++/toml.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "grid/grid_file.h"
#include "input/design_parameters.h"

namespace survseq::grid {

// The most scenarios a grid may have.
inline constexpr int64_t kMaxScenarios = 1'000'000;

// The number of scenarios; throws RunError above kMaxScenarios.
int32_t scenarioCount(const GridFile& grid);

// For scenario `number` (1..count), the index of its value on each axis.
std::vector<int32_t> axisIndices(const GridFile& grid, int32_t number);

// The value of `axis` in scenario `number`.
const toml::node& axisValue(const GridFile& grid, size_t axis, int32_t number);

// The base design with the axis values of scenario `number` in place.
toml::table scenarioDesign(const GridFile& grid, int32_t number);

// A value as the grid file writes it: 0.7, 'text', [12.0, 24.0], { times = [12.0] };
// every real as the shortest decimal that reads back as the same number.
std::string valueText(const toml::node& value);

// A key as TOML writes it: bare when it can be, quoted otherwise.
std::string keyText(std::string_view key);

// "alternative.hazard_ratio = 0.7, baseline_survival.median = 12.0"
std::string scenarioLabel(const GridFile& grid, int32_t number);

// Reads every scenario with the keyed design reader before anything runs, and shows each
// design read to `look` with its scenario number; throws RunError naming the first
// scenario refused, its axis values and the reader's message.
void checkScenarios(const GridFile& grid,
                    const std::function<void(int32_t, const input::DesignParameters&)>& look);

}  // namespace survseq::grid
