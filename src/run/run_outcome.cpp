#include "run/run_outcome.h"

#include "search/accrual_search.h"

namespace survseq::run {

OutcomeFigures outcomeFigures(const search::RunRecord& record) {
  OutcomeFigures figures;
  figures.kind = record.outcome;
  if (record.iterations.empty()) return figures;
  const search::IterationRecord& last = record.iterations.back();
  figures.iterationNumber = last.iterationNumber;
  figures.accrualRate = last.accrualRate;
  figures.patientCount = last.patientCount;
  if (!last.statistics.empty()) figures.estimate = last.testedEstimate();
  return figures;
}

std::string_view outcomeKey(search::SearchOutcome outcome) {
  switch (outcome) {
    case search::SearchOutcome::UpperBoundTooSmall:
      return "upper_bound_too_small";
    case search::SearchOutcome::LowerBoundTooBig:
      return "lower_bound_too_big";
    case search::SearchOutcome::WithinTwoStandardErrors:
      return "within_two_standard_errors";
    case search::SearchOutcome::FixedRate:
      return "fixed_rate";
    case search::SearchOutcome::IterationLimit:
      break;
  }
  return "iteration_limit";
}

std::string outcomeWords(search::SearchOutcome outcome, AdviceWording wording) {
  const bool keys = wording == AdviceWording::Keys;
  switch (outcome) {
    case search::SearchOutcome::UpperBoundTooSmall:
      return std::string("upper bound of the accrual rate too small (") +
             (keys ? "accrual.rate_upper" : "line 88") + ")";
    case search::SearchOutcome::LowerBoundTooBig:
      return std::string("lower bound of the accrual rate too big (") +
             (keys ? "accrual.rate_lower" : "line 88") + ")";
    case search::SearchOutcome::WithinTwoStandardErrors:
      return "desired power reached";
    case search::SearchOutcome::FixedRate:
      return "power at the given size";
    case search::SearchOutcome::IterationLimit:
      break;
  }
  return "all " + std::to_string(search::kMaxIterations) + " iterations used";
}

}  // namespace survseq::run
