#pragma once

// The results of a run as one JSON document, for other programs: the schema version, the
// program version, the design after the reader's repairs, every iteration of the search
// with its per-analysis figures, and the outcome. Every key is described in
// docs/results-json.md. Written from the same records as the report, never recomputed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "input/design_parameters.h"
#include "search/run_record.h"

namespace survseq::run {

// Raised whenever a key changes meaning or goes away; new keys keep the number.
inline constexpr int32_t kResultsSchemaVersion = 2;

// `design` as it stood after reading (before the search moved its bracket);
// `analyticRate` the analytic accrual rate, none when the design has none; `analyticPower`
// the analytic power of statistic 1 at the last iteration's patients, none when unknown.
std::string resultsJson(const input::DesignParameters& design, const search::RunRecord& record,
                        std::string_view programVersion,
                        std::optional<float> analyticRate = std::nullopt,
                        std::optional<double> analyticPower = std::nullopt);

}  // namespace survseq::run
