#pragma once

// The keyed design file of a design read from a positional parameter file: every value
// after the repairs, a short comment above each key, and only the keys the design's
// method uses, so that reading it back gives the same design record and the same report.

#include <iosfwd>

#include "input/design_parameters.h"

namespace survseq::input {

// Writes the keyed file of `design` to `out`. What the keyed file cannot hold as the
// positional run showed it (a Haybittle b read at or below 1, error shares that do not
// add up to the type-I error, ...) is said on `warnings`, one line each.
void writeKeyedDesign(const DesignParameters& design, std::ostream& out, std::ostream& warnings);

}  // namespace survseq::input
