#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "input/design_parameters.h"
#include "search/report.h"
#include "search/run_record.h"
#include "sim/uniform_generator.h"

namespace survseq::search {

enum class SearchPhase { Descending = 1, Interpolating = 2 };

inline constexpr int32_t kMaxIterations = 20;

// Where the search stands between iterations. accrualRateUpper and accrualRateLower
// of the design hold the ends of the bracket.
struct SearchState {
  SearchPhase phase = SearchPhase::Descending;
  int32_t iterationIndex = 0;  // iterations finished before the present one
  float stepFactor = 1.0f;
  float upperEndPower = 0.0f;
  float upperEndStandardError = 0.0f;
  float lowerEndPower = 0.0f;
  float lowerEndStandardError = 0.0f;
};

// (lower / upper)^0.3333: three steps take the upper bound to a hair above the lower.
float descentStepFactor(float accrualRateLower, float accrualRateUpper);

// Applies the power found at design.accrualRate to the search: either ends it with an
// outcome, or moves design.accrualRate (and the bracket) to the next rate to simulate.
std::optional<SearchOutcome> advanceSearch(SearchState& state, input::DesignParameters& design,
                                           const PowerEstimate& estimate);

// True when the design gives the accrual rate or the number of patients: one iteration at
// that rate and no search.
bool givenSize(const input::DesignParameters& design);

// The whole run after reading: design echo, the iterations, the closing block.
class AccrualSearch {
 public:
  // Runs one simulation pass at design.accrualRate and returns its record; the power of
  // the first statistic steers the search.
  using PassRunner = std::function<const IterationRecord&(input::DesignParameters&)>;

  AccrualSearch(input::DesignParameters& design, Report& report,
                SearchObserver* observer = nullptr)
      : design_(design), report_(report), observer_(observer) {}

  // Writes the design echo and run header, seeding `generator` on the way.
  void start(sim::UniformGenerator& generator);

  // Iterates until the search ends and writes the closing block; with a given size,
  // runs the one iteration at that rate. Without a bracket the search starts at
  // design.accrualRate, the analytic rate (run/analytic_comparison.h).
  RunRecord run(const PassRunner& runPass);

 private:
  RunRecord runGivenSize(const PassRunner& runPass);
  // Without a bracket: from the analytic rate, steered by the analytic power curve
  // (analytic_steering.h), until a power lies within two standard errors of the desired
  // one or the iterations run out.
  RunRecord runFromAnalyticRate(const PassRunner& runPass);
  const IterationRecord& runIteration(int32_t iterationNumber, const PassRunner& runPass,
                                      RunRecord& record);
  void close(SearchOutcome outcome, const ClosingValues& closing, RunRecord& record);

  input::DesignParameters& design_;
  Report& report_;
  SearchObserver* observer_;
};

}  // namespace survseq::search
