#pragma once

// How the repairs announce themselves on the console. A message of text alone is a
// plain line, so one blank stands before the text (which often begins with a blank of
// its own). The messages that carry a number, and the equal-spacing message, are
// laid-out lines, written exactly as built here.

#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace survseq::input {

void writeTextMessage(std::ostream& console, std::string_view text);

// All cut points of a curve were replaced by equally spaced ones ending at
// `largestCutPoint` (10 or 20).
void writeEqualSpacingMessage(std::ostream& console, int32_t largestCutPoint);

// Two lines: the last survival value of a curve was raised to 0.00001 at the curve's
// last cut point.
void writeSurvivalRepairMessage(std::ostream& console, float lastCutPoint);

// One hazard ratio, that of the interval ending at `cutPoint`, was set to 1.
void writeHazardRatioRepairMessage(std::ostream& console, float cutPoint);

}  // namespace survseq::input
