#pragma once

// The design of a run, after the reader's repairs, as the "design" object of the JSON
// results (docs/results-json.md).

#include <nlohmann/json.hpp>

#include "input/design_parameters.h"

namespace survseq::run {

nlohmann::ordered_json designJson(const input::DesignParameters& design);

}  // namespace survseq::run
