#include "input/curve_limits.h"

#include <string>

#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::input {

namespace {

// "cut point 3 (4.5)"
std::string numbered(const char* kind, int32_t index, float value) {
  return std::string(kind) + " " + std::to_string(index) + " (" + report::numberText(value) + ")";
}

}  // namespace

void requireRisingCutPoints(const IntervalValues& cutPoints, int32_t count, std::string_view what,
                            int32_t line) {
  const std::string rule =
      "the cut points of " + std::string(what) + " must increase from above 0: ";
  if (!(cutPoints[1] > 0.0f)) {
    throw RunError(rule + numbered("cut point", 1, cutPoints[1]) + " is not above 0", line);
  }
  for (int32_t i = 2; i <= count; ++i) {
    const auto at = static_cast<size_t>(i);
    if (cutPoints[at] > cutPoints[at - 1]) continue;
    throw RunError(rule + numbered("cut point", i, cutPoints[at]) + " is not above " +
                       numbered("cut point", i - 1, cutPoints[at - 1]),
                   line);
  }
}

void requireNonRisingSurvival(const SurvivalCurve& curve, std::string_view what, int32_t line) {
  const std::string rule = "the survival values of " + std::string(what) + " must not rise: ";
  for (int32_t i = 1; i <= curve.count; ++i) {
    const auto at = static_cast<size_t>(i);
    if (curve.s[at] <= curve.s[at - 1]) continue;
    const std::string previous =
        i == 1 ? std::string("1") : numbered("survival value", i - 1, curve.s[at - 1]);
    throw RunError(rule + numbered("survival value", i, curve.s[at]) + " is above " + previous,
                   line);
  }
}

}  // namespace survseq::input
