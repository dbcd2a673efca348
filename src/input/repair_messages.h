#pragma once

// The repair messages that carry a number. They are laid-out lines, written exactly
// as built here with no blank of their own in front; the messages made of text alone
// are plain lines written where their repairs happen.

#include <cstdint>
#include <iosfwd>

namespace survseq::input {

// All cut points of a curve were replaced by equally spaced ones ending at
// `largestCutPoint` (10 or 20).
void writeEqualSpacingMessage(std::ostream& console, int32_t largestCutPoint);

// Two lines: the last survival value of a curve was raised to 0.00001 at the curve's
// last cut point.
void writeSurvivalRepairMessage(std::ostream& console, float lastCutPoint);

// One hazard ratio, that of the interval ending at `cutPoint`, was set to 1.
void writeHazardRatioRepairMessage(std::ostream& console, float cutPoint);

}  // namespace survseq::input
