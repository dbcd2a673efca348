#include "input/design_limits.h"

#include <string>

#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::input {

void requireCountWithin(int32_t count, int32_t maximum, std::string_view what, int32_t line) {
  const std::string stated = std::string(what) + " is " + std::to_string(count);
  if (count < 1) throw RunError(stated + "; at least 1 is needed", line);
  if (count > maximum) {
    throw RunError(stated + "; at most " + std::to_string(maximum) + " are supported", line);
  }
}

void requireKnownBoundaryMethod(const DesignParameters& design, int32_t line) {
  if (design.boundaryMethod >= ErrorSplit && design.boundaryMethod <= GivenBoundaries) return;
  throw RunError("the boundary method is " + std::to_string(design.boundaryMethod) +
                     "; it must be 1, 2, 3 or 4",
                 line);
}

void requireIncreasingAnalysisTimes(const DesignParameters& design, int32_t line) {
  const AnalysisValues& times = design.analysisTimes;
  for (int32_t k = 2; k <= design.analysisCount; ++k) {
    if (times[k] > times[k - 1]) continue;
    throw RunError("the analysis times must increase: analysis " + std::to_string(k) + " (" +
                       report::numberText(times[k]) + ") is not after analysis " +
                       std::to_string(k - 1) + " (" + report::numberText(times[k - 1]) + ")",
                   line);
  }
  const float last = times[design.analysisCount];
  if (!(last <= kLatestAnalysisTime)) {
    throw RunError("the last analysis time is " + report::numberText(last) + "; at most " +
                       report::numberText(kLatestAnalysisTime) +
                       " time units are supported (the planned information is integrated "
                       "in steps of 0.01 up to it)",
                   line);
  }
}

void requireKnownSides(const DesignParameters& design, int32_t line) {
  if (design.sides == 1 || design.sides == 2) return;
  throw RunError("the number of sides is " + std::to_string(design.sides) + "; it must be 1 or 2",
                 line);
}

void requireFeasibleAccrual(const DesignParameters& design, int32_t line) {
  const auto refuseNegative = [line](float value, const char* what) {
    if (value < 0.0f)
      throw RunError(std::string(what) + " is negative (" + report::numberText(value) + ")", line);
  };
  refuseNegative(design.accrualPeriod, "the accrual period");
  refuseNegative(design.accrualRateLower, "the lower bound of the accrual rate");
  refuseNegative(design.accrualRateUpper, "the upper bound of the accrual rate");
  if (design.accrualRateLower > design.accrualRateUpper) {
    throw RunError("the lower bound of the accrual rate (" + report::numberText(design.accrualRateLower) +
                       ") is above the upper bound (" + report::numberText(design.accrualRateUpper) + ")",
                   line);
  }
  if (double(design.accrualRateUpper) * double(design.accrualPeriod) > kMaxPatientsPerTrial) {
    throw RunError(
        "the upper bound of the accrual rate (" + report::numberText(design.accrualRateUpper) +
            ") times the accrual period (" + report::numberText(design.accrualPeriod) + ") gives more than " +
            std::to_string(static_cast<int64_t>(kMaxPatientsPerTrial)) + " patients per trial",
        line);
  }
}

void requireAttainablePower(const DesignParameters& design, int32_t line) {
  if (design.desiredPower > 0.0f && design.desiredPower < 1.0f) return;
  throw RunError("the desired power is " + report::numberText(design.desiredPower) +
                     "; it must lie strictly between 0 and 1",
                 line);
}

}  // namespace survseq::input
