#include "input/curve_warnings.h"

#include <string>

#include "report/message_text.h"

namespace survseq::input {

namespace {

constexpr float kHalf = 0.5f;

}  // namespace

void warnOfSteepControlIntervals(const DesignParameters& design, std::ostream& warnings,
                                 std::string_view where) {
  const SurvivalCurve& curve = design.baselineCurve;
  for (int32_t i = 1; i <= curve.count; ++i) {
    const float start = curve.s[static_cast<size_t>(i - 1)];
    const float end = curve.s[static_cast<size_t>(i)];
    if (!(end < kHalf * start)) continue;
    const std::string interval = "(" + report::numberText(curve.x[static_cast<size_t>(i - 1)]) +
                                 ", " + report::numberText(curve.x[static_cast<size_t>(i)]) + "]";
    report::writeWarning(warnings, where,
                         "the control survival falls from " + report::numberText(start) + " to " +
                             report::numberText(end) + " on the interval " + interval +
                             ", below half; the planned information takes it as linear there "
                             "and comes out too low: add cut points inside " + interval);
  }
}

void warnOfEffectEndingEarly(const DesignParameters& design, std::ostream& warnings,
                             std::string_view where) {
  // Looks at event targets have no calendar time to compare with.
  if (!hazardRatiosGiven(design) || design.analysisTiming == AnalysisTiming::FixedEvents) return;
  const auto last = static_cast<size_t>(design.hazardRatioCount);
  const float end = design.hazardRatioCuts[last];
  const float lastLook = design.analysisTimes[static_cast<size_t>(design.analysisCount)];
  if (!(end < lastLook) || design.hazardRatios[last] == 1.0f) return;
  const std::string shownEnd = report::numberText(end);
  report::writeWarning(warnings, where,
                       "the last interval ends at " + shownEnd + ", before the last analysis at " +
                           report::numberText(lastLook) + ": beyond " + shownEnd +
                           " the hazard ratio is 1 (no effect); extend the last interval to " +
                           report::numberText(lastLook) + " if the effect lasts");
}

}  // namespace survseq::input
