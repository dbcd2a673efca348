#pragma once

// The search of a design once it has been read: what `survseq FILE` runs between reading
// the design and writing the views, and what the R package calls in process.

#include <cstdint>
#include <iosfwd>
#include <string>

#include "input/design_parameters.h"
#include "search/run_record.h"

namespace survseq::run {

// Writes the design echo, every iteration's blocks and the closing block to `report`, the
// search's console lines to `console`, and returns the record of the run; `bracketNote`,
// when not empty, is the report's line about the analytic start, after the echo. The
// search moves `design`'s rate and bracket. `observer` (may be null) hears of the
// progress on the calling thread; an exception it throws ends the search, with every
// thread stopped, and comes out of this call. With `underNull`, one more pass at the
// final rate on the same stream draws the treatment arm from the control arm's law,
// everything planned as designed (RunRecord::underNull), and the report gets its block.
search::RunRecord searchDesign(input::DesignParameters& design, std::ostream& console,
                               std::ostream& report, int32_t threads,
                               search::SearchObserver* observer,
                               const std::string& bracketNote = "", bool underNull = false);

}  // namespace survseq::run
