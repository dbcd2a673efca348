#pragma once

// Curves that the program accepts as given but whose planned information would be
// poor: each is announced by a warning on the warnings stream, and the run goes on.

#include <cstdint>
#include <iosfwd>
#include <string_view>

#include "input/design_parameters.h"

namespace survseq::input {

// Line 83: the planned information takes the control survival as linear within each
// interval, while the trials follow its exponential shape; where an interval ends below
// half of its starting survival the two part ways and the planned information comes out
// too low. One warning per such interval.
// `where` names the values, e.g. "line 83" or "design.toml:9:1: baseline_survival.survival".
void warnOfSteepControlIntervals(const DesignParameters& design, std::ostream& warnings,
                                 std::string_view where);

// Hazard ratios on intervals hold up to the last interval's end and are 1 beyond it: an
// end before the last analysis (at calendar times) leaves the last looks without the
// effect, which is seldom what was meant. One warning, at `where` (the interval ends).
void warnOfEffectEndingEarly(const DesignParameters& design, std::ostream& warnings,
                             std::string_view where);

}  // namespace survseq::input
