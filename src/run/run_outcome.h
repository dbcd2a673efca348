#pragma once

// How a search ended, in the figures every view of the run shows (the closing progress
// line, the JSON file, the plot).

#include <cstdint>
#include <string>
#include <string_view>

#include "search/report.h"
#include "search/run_record.h"

namespace survseq::run {

struct OutcomeFigures {
  search::SearchOutcome kind = search::SearchOutcome::IterationLimit;
  int32_t iterationNumber = 0;
  float accrualRate = 0.0f;
  int32_t patientCount = 0;        // per trial: trunc(rate x accrual period)
  search::PowerEstimate estimate;  // of the first statistic
};

// The figures of the last iteration, where the search ended. When the desired power was
// reached they are the rate, power and standard error that the report's closing block
// names: that block names the lower end of the bracket, which the last iteration has just
// set. For the other outcomes the closing block names no rate; the last one visited is
// what the advice of the block is about.
OutcomeFigures outcomeFigures(const search::RunRecord& record);

// "within_two_standard_errors", "upper_bound_too_small", "lower_bound_too_big",
// "iteration_limit", "fixed_rate".
std::string_view outcomeKey(search::SearchOutcome outcome);

// How a view names what to change: by the line of the positional file (the views of a
// design laid out as a positional one, which stay byte for byte those of the positional
// run), or by the key of the keyed file.
enum class AdviceWording { Lines, Keys };

// A few words for people: "desired power reached", "upper bound of the accrual rate too
// small (line 88)" or "... (accrual.rate_upper)", ...
std::string outcomeWords(search::SearchOutcome outcome,
                         AdviceWording wording = AdviceWording::Lines);

}  // namespace survseq::run
