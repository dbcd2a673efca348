#pragma once

#include <iosfwd>

#include "input/design_parameters.h"
#include "search/report_file.h"

namespace survseq::input {

inline constexpr int kParameterFileLines = 152;

// Reads the 152-line parameter file from `in` into `design` (which must start
// zeroed), applying every default and repair right after its own line with the
// messages on `console`, and opens `report` right after line 14. Throws RunError,
// naming the line, for anything it cannot read or accept.
void readParameterFile(std::istream& in, std::ostream& console, DesignParameters& design,
                       search::ReportFile& report);

}  // namespace survseq::input
