#pragma once

// The records of a run and of an analytic plan as R data frames and lists. Every column
// is named as the key of the JSON results (docs/results-json.md, docs/plan-json.md) and
// holds the number the JSON file holds: a single-precision figure as the double nearest
// its shortest decimal; NA where the JSON has null.

#include <cpp11.hpp>

#include <optional>

#include "input/design_parameters.h"
#include "plan/analytic_power.h"
#include "run/protocol_table.h"
#include "search/run_record.h"

namespace survseq::r {

// One row per iteration and statistic: iteration, accrual_rate, patients, statistic, rho,
// tau, power, standard_error, average_stopping_time.
SEXP iterationFrame(const search::RunRecord& record);

// One row per iteration, statistic and look, the columns of the JSON's "looks" (and the
// event target and mean time of the looks only for event-driven analyses).
SEXP lookFrame(const input::DesignParameters& design, const search::RunRecord& record);

// One row per iteration, statistic and look: the planned boundaries.
SEXP plannedLookFrame(const input::DesignParameters& design, const search::RunRecord& record);

// A design with a combination of statistics: one row per iteration and look, the JSON's
// "combination" (power, standard_error, average_stopping_time, each look's figures and its
// planned efficacy_z and nominal_p).
SEXP combinationFrame(const input::DesignParameters& design, const search::RunRecord& record);

// The JSON's "outcome".
SEXP outcomeList(const search::RunRecord& record, std::optional<float> analyticRate,
                 std::optional<double> analyticPower);

// The JSON's "plan": basis, accrual_rate, patients, and the data frames statistics (one
// row per statistic) and looks (one row per statistic and look).
SEXP planList(const plan::AnalyticPlan& plan, const run::ProtocolTable& protocol,
              bool givenSize);

}  // namespace survseq::r
